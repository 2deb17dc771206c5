// Time seams of the downloaders: the waits between retries and the seconds clock that
// rate-limits progress work.
//
// Production uses the real clock and waits that a stop request cuts short (so destroying a
// downloader never sits out a retry pause). Tests inject a sleep that only records the
// requested pauses and a clock that advances on demand, so retry budgets and progress
// events are checked exactly and instantly.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

namespace Download {

struct Pacing {
    /// Called instead of a real pause when set; runs on the waiting thread.
    std::function<void(std::chrono::milliseconds)> sleep;
    /// Whole seconds since the epoch; the system clock when unset.
    std::function<int64_t()> nowSeconds;

    int64_t NowSeconds() const;
};

/// A stop request shared by a downloader and its threads. Once raised it stays raised.
class StopSignal {
public:
    void Raise();
    bool Raised() const { return raised_.load(std::memory_order_acquire); }

    /// Pauses for `duration` through `pacing` (or really, ending early when the signal is
    /// raised). Returns false when the signal is raised, before or after the pause.
    bool Sleep(const Pacing& pacing, std::chrono::milliseconds duration);

private:
    std::atomic<bool> raised_{false};
    std::mutex mutex_;
    std::condition_variable cv_;
};

}  // namespace Download
