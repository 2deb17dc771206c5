// A stopwatch on a millisecond tick counter.
#pragma once

#include <cstdint>
#include <functional>

namespace Utils {

/// Milliseconds of the steady clock, cut to 32 bits (it wraps after about 49.7 days, as
/// the tick counter of the original design does).
uint32_t TickCountMs();

class Stopwatch {
public:
    using TickSource = std::function<uint32_t()>;

    /// `ticks` is the clock (tests pass their own); the default is TickCountMs.
    explicit Stopwatch(TickSource ticks = TickCountMs) : ticks_(std::move(ticks)) {}

    /// Stores the current tick and starts running.
    void Start();
    /// (now - start) / 1000 while running, 0 otherwise. The difference is unsigned, so a
    /// wrap of the counter between the two reads still gives the true span.
    float ElapsedSeconds() const;
    bool Running() const { return running_; }

private:
    TickSource ticks_;
    uint32_t startTick_ = 0;
    bool running_ = false;
};

}  // namespace Utils
