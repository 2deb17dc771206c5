// Internal: the message queue, the window registry, timers and the loops.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "uiframework/message.h"

namespace Ui {

class Runtime;
class SkinWindow;
class Control;

class Dispatcher {
public:
    explicit Dispatcher(Runtime& runtime) : runtime_(runtime) {}
    ~Dispatcher();

    // ---- any thread ---------------------------------------------------------------------
    /// Appends; false (payload freed) when `m.window` is not 0 and not a live window.
    bool Post(Message m);

    // ---- UI thread ----------------------------------------------------------------------
    WindowHandle Register(SkinWindow* window);
    void Unregister(WindowHandle handle);
    SkinWindow* Lookup(WindowHandle handle) const;
    const std::vector<SkinWindow*>& Windows() const { return windows_; }

    bool SetTimer(SkinWindow* window, Control* control, uint32_t id, uint32_t elapseMs);
    bool KillTimer(Control* control, uint32_t id);
    void KillTimers(Control* control);
    void KillWindowTimers(SkinWindow* window);
    bool HasTimer(Control* control, uint32_t id) const;
    size_t TimerCount() const { return timers_.size(); }
    /// Due time of the earliest timer, if any.
    std::optional<uint64_t> NextTimerDue() const;

    enum class RunResult { kDone, kQuit, kDeadline, kIdleLimit, kWindowGone };
    /// Runs until `done` (tested after every dispatched message or timer tick and after
    /// every wait) is true, a quit message arrives (re-posted, code in *quitCode), the
    /// clock reaches `deadlineMs`, or (headless) the idle limit passes.
    RunResult Run(const std::function<bool()>& done, std::optional<uint64_t> deadlineMs,
                  int* quitCode);
    /// Dispatches what is queued now and the timers due now, renders; never waits.
    int DispatchPending();
    /// Renders every window that needs it.
    void RenderAll();

private:
    struct Timer {
        SkinWindow* window;
        Control* control;
        uint32_t id;
        uint32_t period;
        uint64_t due;
        uint64_t seq;
    };
    void GatherNative(bool wait, int timeoutMs);
    bool PopMessage(Message& m);
    /// Dispatches one message; returns false for a quit message (code stored).
    bool DispatchOne(Message& m, int* quitCode);
    /// Fires at most one due timer; true when one fired.
    bool FireOneTimer();

    Runtime& runtime_;
    mutable std::mutex mutex_;
    std::deque<Message> queue_;
    std::unordered_set<WindowHandle> live_;
    WindowHandle nextHandle_ = 1;

    std::unordered_map<WindowHandle, SkinWindow*> byHandle_;
    std::vector<SkinWindow*> windows_;
    std::vector<Timer> timers_;
    uint64_t timerSeq_ = 0;
};

}  // namespace Ui
