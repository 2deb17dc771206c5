#include "uiframework/pump_messages.h"

#include "uiframework/dispatcher.h"
#include "uiframework/runtime.h"
#include "uiframework/window.h"

namespace Utils {

namespace {
constexpr uint64_t kPumpMs = 100;
}

bool PumpMessages(Ui::WindowHandle window) {
    Ui::Runtime* rt = Ui::Runtime::Current();
    if (!rt)
        return false;
    Ui::Dispatcher& d = rt->GetDispatcher();
    auto gone = [&] { return window != 0 && d.Lookup(window) == nullptr; };
    if (gone())
        return false;
    const uint64_t start = rt->GetClock().NowMs();
    // The original waited without limit for a message after the time was up; here the wait
    // ends at the deadline, so a quiet queue cannot hold the caller.
    int quit = 0;
    Ui::Dispatcher::RunResult r = d.Run(gone, start + kPumpMs + 1, &quit);
    switch (r) {
        case Ui::Dispatcher::RunResult::kDeadline:
            return true;
        default:
            return false;  // window gone, quit (re-posted by the loop), or idle limit
    }
}

}  // namespace Utils
