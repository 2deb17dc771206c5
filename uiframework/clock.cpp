#include "uiframework/clock.h"

#include <chrono>

namespace Ui {

uint64_t SteadyClock::NowMs() const {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}

}  // namespace Ui
