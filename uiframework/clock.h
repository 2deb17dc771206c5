// Clocks of the UI framework: the real steady clock, and a virtual one that tests advance.
//
// Timers and Utils::PumpMessages read time only through the runtime's clock, so a test can
// make a 3000 ms timer fire at once and exactly once.
#pragma once

#include <atomic>
#include <cstdint>

namespace Ui {

class Clock {
public:
    virtual ~Clock() = default;
    /// Milliseconds on a monotonic scale; any thread.
    virtual uint64_t NowMs() const = 0;
    /// True for a clock that moves only when told (VirtualClock).
    virtual bool IsVirtual() const { return false; }
};

/// The system's steady clock in milliseconds (the stand-in of GetTickCount/timeGetTime).
class SteadyClock final : public Clock {
public:
    uint64_t NowMs() const override;
};

/// A clock that stands still until Advance or Set. With `autoAdvance`, a message loop that
/// has nothing to do jumps the clock to its next timer instead of waiting, so modal loops
/// with timers run to their end without real waiting.
class VirtualClock final : public Clock {
public:
    explicit VirtualClock(uint64_t startMs = 1000, bool autoAdvance = false)
        : now_(startMs), autoAdvance_(autoAdvance) {}
    uint64_t NowMs() const override { return now_.load(); }
    bool IsVirtual() const override { return true; }
    /// Moves the clock forward; it never runs backwards. Timers fire only when a loop or the
    /// test driver next runs (TestDriver::Advance does both).
    void Advance(uint64_t ms) { now_ += ms; }
    void Set(uint64_t ms) {
        if (ms > now_.load())
            now_ = ms;
    }
    bool AutoAdvance() const { return autoAdvance_; }
    void SetAutoAdvance(bool on) { autoAdvance_ = on; }

private:
    std::atomic<uint64_t> now_;
    std::atomic<bool> autoAdvance_;
};

}  // namespace Ui
