#include "uiframework/dispatcher.h"

#include <algorithm>
#include <chrono>

#include "uiframework/backend.h"
#include "uiframework/runtime.h"
#include "uiframework/window.h"
#include "utils/trace_log.h"

namespace Ui {

namespace {
// The system's limits for timer periods (USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM).
constexpr uint32_t kTimerMinimumMs = 10;
constexpr uint32_t kTimerMaximumMs = 2147483647u;
}  // namespace

Dispatcher::~Dispatcher() = default;

bool Dispatcher::Post(Message m) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (m.window != 0 && !live_.count(m.window))
            return false;  // m (and its payload) freed
        queue_.push_back(std::move(m));
    }
    runtime_.GetBackend().Wake();
    return true;
}

WindowHandle Dispatcher::Register(SkinWindow* window) {
    WindowHandle h;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        h = nextHandle_++;
        live_.insert(h);
    }
    byHandle_[h] = window;
    windows_.push_back(window);
    return h;
}

void Dispatcher::Unregister(WindowHandle handle) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        live_.erase(handle);
    }
    auto it = byHandle_.find(handle);
    if (it == byHandle_.end())
        return;
    windows_.erase(std::remove(windows_.begin(), windows_.end(), it->second), windows_.end());
    byHandle_.erase(it);
}

SkinWindow* Dispatcher::Lookup(WindowHandle handle) const {
    auto it = byHandle_.find(handle);
    return it == byHandle_.end() ? nullptr : it->second;
}

bool Dispatcher::SetTimer(SkinWindow* window, Control* control, uint32_t id, uint32_t elapseMs) {
    uint32_t period = std::clamp(elapseMs, kTimerMinimumMs, kTimerMaximumMs);
    uint64_t due = runtime_.GetClock().NowMs() + period;
    for (Timer& t : timers_) {
        if (t.control == control && t.id == id) {
            t.window = window;
            t.period = period;
            t.due = due;
            t.seq = ++timerSeq_;
            return true;
        }
    }
    timers_.push_back({window, control, id, period, due, ++timerSeq_});
    return true;
}

bool Dispatcher::KillTimer(Control* control, uint32_t id) {
    auto it = std::find_if(timers_.begin(), timers_.end(),
                           [&](const Timer& t) { return t.control == control && t.id == id; });
    if (it == timers_.end())
        return false;
    timers_.erase(it);
    return true;
}

void Dispatcher::KillTimers(Control* control) {
    timers_.erase(std::remove_if(timers_.begin(), timers_.end(),
                                 [&](const Timer& t) { return t.control == control; }),
                  timers_.end());
}

void Dispatcher::KillWindowTimers(SkinWindow* window) {
    timers_.erase(std::remove_if(timers_.begin(), timers_.end(),
                                 [&](const Timer& t) { return t.window == window; }),
                  timers_.end());
}

bool Dispatcher::HasTimer(Control* control, uint32_t id) const {
    return std::any_of(timers_.begin(), timers_.end(),
                       [&](const Timer& t) { return t.control == control && t.id == id; });
}

std::optional<uint64_t> Dispatcher::NextTimerDue() const {
    std::optional<uint64_t> next;
    for (const Timer& t : timers_) {
        if (!next || t.due < *next)
            next = t.due;
    }
    return next;
}

bool Dispatcher::FireOneTimer() {
    uint64_t now = runtime_.GetClock().NowMs();
    const Timer* best = nullptr;
    for (const Timer& t : timers_) {
        if (t.due <= now &&
            (!best || t.due < best->due || (t.due == best->due && t.seq < best->seq))) {
            best = &t;
        }
    }
    if (!best)
        return false;
    // Late ticks are not caught up: the next one is a full period from now.
    Timer& t = const_cast<Timer&>(*best);
    t.due = now + t.period;
    t.seq = ++timerSeq_;
    SkinWindow* w = t.window;
    Control* c = t.control;
    uint32_t id = t.id;
    if (w && w->IsWindow())
        w->DispatchTimer(c, id);
    return true;
}

void Dispatcher::GatherNative(bool wait, int timeoutMs) {
    std::vector<Message> native;
    if (wait)
        runtime_.GetBackend().Wait(timeoutMs, native);
    else
        runtime_.GetBackend().Poll(native);
    if (native.empty())
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    for (Message& m : native)
        queue_.push_back(std::move(m));
}

bool Dispatcher::PopMessage(Message& m) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (queue_.empty())
        return false;
    m = std::move(queue_.front());
    queue_.pop_front();
    return true;
}

bool Dispatcher::DispatchOne(Message& m, int* quitCode) {
    if (m.id == kMsgQuit) {
        if (quitCode)
            *quitCode = static_cast<int>(m.wParam);
        return false;
    }
    if (m.id == kMsgWake)
        return true;
    if (m.window == 0) {
        if (m.id == kMsgTask) {
            if (auto* fn = m.PayloadAs<std::function<void()>>())
                (*fn)();
        }
        return true;
    }
    if (SkinWindow* w = Lookup(m.window))
        w->DispatchMessage(m);
    return true;
}

void Dispatcher::RenderAll() {
    // Copy: rendering never opens windows, but a present may not invalidate the list.
    std::vector<SkinWindow*> windows = windows_;
    for (SkinWindow* w : windows) {
        if (Lookup(w->Handle()) == w && w->NeedsRender())
            w->Render();
    }
}

int Dispatcher::DispatchPending() {
    GatherNative(false, 0);
    size_t count;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        count = queue_.size();
    }
    int dispatched = 0;
    Message m;
    for (size_t i = 0; i < count && PopMessage(m); ++i) {
        int quit = 0;
        if (!DispatchOne(m, &quit)) {
            PostQuitMessage(quit);  // leave it for a loop to end on
            break;
        }
        ++dispatched;
    }
    while (FireOneTimer()) {
        ++dispatched;
        if (dispatched > 100000)
            break;  // a runaway timer storm can not freeze a test
    }
    RenderAll();
    return dispatched;
}

Dispatcher::RunResult Dispatcher::Run(const std::function<bool()>& done,
                                      std::optional<uint64_t> deadlineMs, int* quitCode) {
    Clock& clock = runtime_.GetClock();
    auto* virtualClock = runtime_.GetVirtualClock();
    const uint32_t idleLimit = runtime_.IsHeadless() ? runtime_.Options().headlessIdleLimitMs : 0;
    auto lastActivity = std::chrono::steady_clock::now();
    while (true) {
        if (done())
            return RunResult::kDone;
        GatherNative(false, 0);
        bool worked = false;
        Message m;
        while (PopMessage(m)) {
            worked = true;
            int quit = 0;
            if (!DispatchOne(m, &quit)) {
                if (quitCode)
                    *quitCode = quit;
                PostQuitMessage(quit);  // the enclosing loop ends as well
                RenderAll();
                return RunResult::kQuit;
            }
            if (done()) {
                RenderAll();
                return RunResult::kDone;
            }
        }
        while (FireOneTimer()) {
            worked = true;
            if (done()) {
                RenderAll();
                return RunResult::kDone;
            }
            // Posted messages come before further timer ticks.
            std::lock_guard<std::mutex> lock(mutex_);
            if (!queue_.empty())
                break;
        }
        RenderAll();
        uint64_t now = clock.NowMs();
        if (deadlineMs && now >= *deadlineMs)
            return RunResult::kDeadline;
        if (worked) {
            lastActivity = std::chrono::steady_clock::now();
            continue;
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!queue_.empty())
                continue;
        }
        std::optional<uint64_t> wakeAt = NextTimerDue();
        if (deadlineMs && (!wakeAt || *deadlineMs < *wakeAt))
            wakeAt = deadlineMs;
        if (virtualClock && virtualClock->AutoAdvance() && wakeAt) {
            virtualClock->Set(*wakeAt);  // nothing to do before then: jump
            continue;
        }
        int timeout = -1;
        if (wakeAt && !virtualClock)
            timeout = static_cast<int>(std::min<uint64_t>(*wakeAt - now, 1u << 30));
        if (idleLimit) {
            auto idle = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - lastActivity)
                            .count();
            if (idle >= idleLimit) {
                TRACE(L"headless loop idle for %u ms with nothing to do; ending it", idleLimit);
                return RunResult::kIdleLimit;
            }
            int left = static_cast<int>(idleLimit - idle);
            timeout = timeout < 0 ? left : std::min(timeout, left);
        }
        if (virtualClock && timeout < 0)
            timeout = 50;  // re-check the virtual clock now and then
        else if (virtualClock)
            timeout = std::min(timeout, 50);
        GatherNative(true, timeout);
    }
}

}  // namespace Ui
