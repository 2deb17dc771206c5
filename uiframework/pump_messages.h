// Utils::PumpMessages: dispatches the calling thread's messages for a short while.
#pragma once

#include "uiframework/message.h"

namespace Utils {

/// UI thread. Retrieves and dispatches messages of the UI runtime (posted messages, input,
/// timers, repaints) until more than 100 ms of the runtime's clock have passed since the
/// call began, tested after each dispatched message and whenever the wait for a message
/// ends; returns true then. Returns false at once when `window` (non-zero) no longer exists,
/// or when a quit message arrives (which is posted again so the caller's own loop ends
/// too), or when there is no runtime. `window` may be 0.
///
/// Waiting is bounded: with no message arriving the call still returns after the 100 ms.
bool PumpMessages(Ui::WindowHandle window);

}  // namespace Utils
