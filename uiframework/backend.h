// Internal: the contract between the portable framework and a back end (SDL2 or
// headless). Portable code never includes SDL.
#pragma once

#include <cairo.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "uiframework/geometry.h"
#include "uiframework/message.h"

namespace Ui {

/// Framework messages that only back ends produce.
enum : uint32_t {
    kMsgExpose = 0xC004,  // the native window needs its whole frame shown again
};

class NativeWindow {
public:
    virtual ~NativeWindow() = default;
    virtual void Show(bool show) = 0;
    /// Copies `area` of the frame (ARGB32, premultiplied, window size) to the screen.
    virtual void Present(cairo_surface_t* frame, const Rect& area) = 0;
    virtual Point GetPosition() const = 0;
    virtual void Move(Point topLeft) = 0;
    virtual void Minimize() = 0;
    virtual void Raise() = 0;
    /// `icon`: ARGB32 premultiplied.
    virtual bool SetIcon(cairo_surface_t* icon) = 0;
    /// Text input (and the input method) on or off; `caret` places the candidate window.
    virtual void SetTextInput(bool on, const Rect& caret) = 0;
};

class Backend {
public:
    virtual ~Backend() = default;
    virtual bool IsHeadless() const = 0;
    /// A hidden window of `size` for the framework window `handle`, shaped to a rounded
    /// rectangle when `roundCorner` is not zero (where the platform can). `isCaption` answers
    /// whether a press at a client point drags the window (called on the UI thread).
    virtual std::unique_ptr<NativeWindow> CreateNativeWindow(
        WindowHandle handle, Size size, Size roundCorner, const std::wstring& title,
        std::function<bool(Point)> isCaption) = 0;
    virtual Size ScreenSize() const = 0;
    /// Any thread: makes a Wait in progress (or the next one) return.
    virtual void Wake() = 0;
    /// UI thread: waits up to `timeoutMs` (negative: no limit) for native input or a Wake,
    /// appending translated native input to `out`. True when woken or input arrived.
    virtual bool Wait(int timeoutMs, std::vector<Message>& out) = 0;
    /// UI thread: appends native input already waiting, without blocking.
    virtual void Poll(std::vector<Message>& out) = 0;
    virtual bool GetClipboard(std::wstring& text) = 0;
    virtual void SetClipboard(const std::wstring& text) = 0;
    virtual void ShowErrorBox(const std::wstring& title, const std::wstring& text) = 0;
};

/// The SDL2 back end, or null when SDL's video can not start (traced).
std::unique_ptr<Backend> CreateSdlBackend();
std::unique_ptr<Backend> CreateHeadlessBackend();
/// Whether a display is there to open (DISPLAY or WAYLAND_DISPLAY set).
bool DisplayAvailable();

}  // namespace Ui
