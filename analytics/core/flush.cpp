#include "analytics/core/flush.h"

#include <condition_variable>
#include <thread>

#include "analytics/core/batch_sender.h"
#include "analytics/core/sdk.h"
#include "analytics/core/validation.h"
#include "utils/trace_log.h"

namespace analytics_core {
namespace {

constexpr auto kRetryPause = std::chrono::milliseconds(1);

// Never destroyed: detached jobs may still run while the process exits.
struct DetachedJobs {
    std::mutex mutex;
    std::condition_variable idle;
    int running = 0;
};
DetachedJobs& Jobs() {
    static auto* j = new DetachedJobs;
    return *j;
}

}  // namespace

std::mutex& FlushMutex() {
    static auto* m = new std::mutex;
    return *m;
}

void FlushJob(bool flushNow, const PendingCounterPtr& pending) {
    if (!pending)
        return;
    try {
        std::lock_guard<std::mutex> lock(FlushMutex());
        if (flushNow) {
            for (int attempt = 0; attempt < kFlushAttempts && pending->load() > 0; ++attempt) {
                if (Sdk::exists() && Sdk::flushAll()) {
                    pending->exchange(0);
                    break;
                }
                std::this_thread::sleep_for(kRetryPause);
            }
        } else {
            std::this_thread::sleep_for(kRetryPause);
            pending->fetch_add(1);
        }
    } catch (const std::exception& e) {
        // A job may run on a detached thread, where an escaping exception would end the
        // process; the records stay queued for a later flush.
        WriteDiagnostic(std::string("Exception when flush failed: (") + e.what() + ") ");
    }
}

void RequestFlush(bool flushNow, PendingCounterPtr pending) {
    if (!pending)
        return;
    if (LastSendOk()) {
        FlushJob(flushNow, pending);
        return;
    }
    TRACE(L"[analytics] Sending messages asynchronously");
    {
        std::lock_guard<std::mutex> lock(Jobs().mutex);
        ++Jobs().running;
    }
    try {
        std::thread([flushNow, pending = std::move(pending)] {
            FlushJob(flushNow, pending);
            std::lock_guard<std::mutex> lock(Jobs().mutex);
            --Jobs().running;
            Jobs().idle.notify_all();
        }).detach();
    } catch (const std::system_error& e) {
        // No thread could be started: the records stay queued for a later flush.
        WriteDiagnostic(std::string("Couldn't start the flush thread: ") + e.what());
        std::lock_guard<std::mutex> lock(Jobs().mutex);
        --Jobs().running;
        Jobs().idle.notify_all();
    }
}

int DetachedFlushJobs() {
    std::lock_guard<std::mutex> lock(Jobs().mutex);
    return Jobs().running;
}

bool WaitForDetachedFlushJobs(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(Jobs().mutex);
    return Jobs().idle.wait_for(lock, timeout, [] { return Jobs().running == 0; });
}

}  // namespace analytics_core
