#include "download/pacing.h"

#include <ctime>

namespace Download {

int64_t Pacing::NowSeconds() const {
    if (nowSeconds)
        return nowSeconds();
    return static_cast<int64_t>(std::time(nullptr));
}

void StopSignal::Raise() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        raised_.store(true, std::memory_order_release);
    }
    cv_.notify_all();
}

bool StopSignal::Sleep(const Pacing& pacing, std::chrono::milliseconds duration) {
    if (Raised())
        return false;
    if (pacing.sleep) {
        pacing.sleep(duration);
    } else {
        std::unique_lock<std::mutex> lock(mutex_);
        cv_.wait_for(lock, duration, [this] { return Raised(); });
    }
    return !Raised();
}

}  // namespace Download
