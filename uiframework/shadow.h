// The drop shadow of a window.
//
// Settings follow the markup's shadow attributes; each setter refuses (returns false and
// keeps the old value) a value outside its range: size -20..20, sharpness 0..20, darkness
// 0..255, each position coordinate -20..20. Colour is AARRGGBB; its alpha is not used
// (darkness is the opacity). An image shadow ("shadowimage" with "shadowcorner") is drawn
// nine-sliced instead of computed.
//
// What is drawn where: this OS gives an undecorated X11 window no per-pixel transparency
// without a compositor, so the native window shows no shadow (a grey box around the frame
// would look worse than none). Compose() renders the window with its shadow into one
// image (used by headless pictures and tests): the window's rounded shape grown by `size`
// pixels, moved by `position`, faded out over `sharpness` pixels.
#pragma once

#include <cairo.h>

#include <string>

#include "uiframework/control.h"
#include "uiframework/geometry.h"

namespace Ui {

class SkinWindow;

class WindowShadow {
public:
    /// Attaches to (or, with null, detaches from) a window; a detached shadow draws nothing.
    void Attach(SkinWindow* window) { window_ = window; }
    bool IsAttached() const { return window_ != nullptr; }

    bool SetSize(int size);
    bool SetSharpness(int sharpness);
    bool SetDarkness(int darkness);
    bool SetPosition(int x, int y);
    void SetColor(Color color) { color_ = color; }
    /// An image resource drawn nine-sliced around the window, `corner` unscaled.
    void SetImage(std::wstring image, Rect corner) {
        image_ = std::move(image);
        corner_ = corner;
    }

    int GetSize() const { return size_; }
    int Sharpness() const { return sharpness_; }
    int Darkness() const { return darkness_; }
    Point Position() const { return position_; }
    Color GetColor() const { return color_; }

    /// Margin the shadow adds on each side of the window (l, t, r, b >= 0).
    Rect Margin() const;
    /// The window's frame over its shadow, in one new image grown by Margin(); null when
    /// not attached or the window has no frame. The caller destroys the surface.
    cairo_surface_t* Compose() const;

private:
    SkinWindow* window_ = nullptr;
    int size_ = 0;
    int sharpness_ = 5;
    int darkness_ = 150;
    Point position_;
    Color color_ = 0xFF000000;
    std::wstring image_;
    Rect corner_;
};

}  // namespace Ui
