#include "utils/stopwatch.h"

#include <chrono>

namespace Utils {

uint32_t TickCountMs() {
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    return static_cast<uint32_t>(ms.count());
}

void Stopwatch::Start() {
    startTick_ = ticks_();
    running_ = true;
}

float Stopwatch::ElapsedSeconds() const {
    if (!running_)
        return 0.0f;
    uint32_t span = ticks_() - startTick_;
    return static_cast<float>(span) / 1000.0f;
}

}  // namespace Utils
