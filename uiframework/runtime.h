// The UI runtime of the process: back end (native SDL2 window or headless), clock,
// resource source, image cache and the message queue with its loops.
//
// One Runtime exists at a time; the thread that constructs it is the UI thread. Every
// window, control, timer and loop lives on that thread. Any thread may post (PostMessage,
// PostTask, PostNotify, PostQuitMessage): posting only appends to the queue under a short
// lock and wakes the loop; it never waits for the UI thread and never touches window
// state. Messages are dispatched in the order they were posted.
//
// Start-up:
//   Ui::RuntimeOptions o;
//   o.resources = std::make_shared<MySevenZipSource>(bytes);   // or FolderResourceSource
//   Ui::Runtime runtime(o);                                     // back end chosen here
//   CMainWnd w; w.Create(nullptr, L"Lexivo"); w.CenterWindow(); w.ShowModal();
//
// Back ends: kSdl opens a native window per frame through SDL2 (needs a display); kHeadless
// draws into images only. kAuto takes the environment variable GLYPHORA_UI_BACKEND
// ("sdl" or "headless") when set, else SDL when a display is available, else headless.
// Both run the same windows, layout, painting and message handling.
//
// Loops: a modal loop (SkinWindow::ShowModal) and Utils::PumpMessages dispatch every
// message of the thread: posted messages in order, native input, due timers; then they
// repaint what changed. A loop nested in another one does the same; the outer resumes when
// the inner ends.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "uiframework/clock.h"
#include "uiframework/message.h"
#include "uiframework/resource_source.h"

namespace Ui {

class SkinWindow;
class Backend;
class ImageCache;
class Dispatcher;

enum class BackendKind { kAuto, kHeadless, kSdl };

struct RuntimeOptions {
    BackendKind backend = BackendKind::kAuto;
    /// Default: SteadyClock. Tests pass a VirtualClock.
    std::shared_ptr<Clock> clock;
    /// Default: a FolderResourceSource on the executable's folder.
    std::shared_ptr<ResourceSource> resources;
    /// Headless only: a loop that has had nothing to do for this long (real time) ends,
    /// tracing why, instead of waiting for ever (a test that forgot to close a dialog
    /// fails instead of hanging). 0 = no limit.
    uint32_t headlessIdleLimitMs = 0;
    /// A window whose description can not be loaded shows the error box
    /// kResourceLoadFailedText and ends the process with exit code 1. Tests may turn this
    /// off: Create then returns false.
    bool exitOnResourceFailure = true;
};

/// The text of the error box shown when a window description can not be loaded.
extern const wchar_t kResourceLoadFailedText[];

class Runtime {
public:
    explicit Runtime(RuntimeOptions options = {});
    ~Runtime();
    Runtime(const Runtime&) = delete;
    Runtime& operator=(const Runtime&) = delete;

    /// The runtime of the process, or null.
    static Runtime* Current();

    bool IsHeadless() const;
    Clock& GetClock() const { return *clock_; }
    /// The clock as VirtualClock, or null with the real clock.
    VirtualClock* GetVirtualClock() const;
    ResourceSource& Resources() const { return *resources_; }
    /// Switches the resource source (and empties the image cache). UI thread.
    void SetResources(std::shared_ptr<ResourceSource> resources);
    ImageCache& Images() const { return *images_; }
    Backend& GetBackend() const { return *backend_; }
    Dispatcher& GetDispatcher() const { return *dispatcher_; }
    const RuntimeOptions& Options() const { return options_; }

private:
    RuntimeOptions options_;
    std::shared_ptr<Clock> clock_;
    std::shared_ptr<ResourceSource> resources_;
    std::unique_ptr<ImageCache> images_;
    std::unique_ptr<Backend> backend_;
    std::unique_ptr<Dispatcher> dispatcher_;
};

/// Any thread. Appends a message for `window` (0: for the UI thread itself). False when
/// there is no runtime or no live window with that handle; the payload is then freed.
bool PostMessage(WindowHandle window, uint32_t id, uintptr_t wParam = 0, intptr_t lParam = 0,
                 std::shared_ptr<void> payload = {});
/// Any thread. Runs `task` on the UI thread, in order with posted messages.
bool PostTask(std::function<void()> task);
/// Any thread. Ends the innermost running loop with `exitCode`; every enclosing loop ends
/// as well (each passes the quit on), as a quit message does.
void PostQuitMessage(int exitCode);

}  // namespace Ui
