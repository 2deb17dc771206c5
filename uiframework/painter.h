// Drawing into a window's frame image with cairo and pango, for controls' Paint methods.
//
// A Painter is valid only during SkinWindow's paint pass; the cairo context is already
// clipped to the part of the frame being repainted. Fonts come from the window's font
// table (<Font id=.. name=.. size=.. underline=.. default=..>), sizes being pixel heights.
#pragma once

#include <cairo.h>

#include <string>
#include <string_view>

#include "uiframework/control.h"
#include "uiframework/geometry.h"

namespace Ui {

class SkinWindow;
struct ImageSpec;

struct TextStyle {
    HAlign align = HAlign::kLeft;
    VAlign valign = VAlign::kCenter;
    bool multiLine = false;
    bool underline = false;  // in addition to the font's own underline
};

/// Adds a rectangle path to `cr` whose corners are ellipses of the full size `round`
/// (the markup's "borderround" and "roundcorner" give the ellipse, not the radius).
void RoundedRectPath(cairo_t* cr, const Rect& rect, Size round);

class Painter {
public:
    Painter(SkinWindow& window, cairo_t* cr, const Rect& dirty)
        : window_(window), cr_(cr), dirty_(dirty) {}

    cairo_t* Cr() const { return cr_; }
    /// The part of the frame being repainted (client coordinates).
    const Rect& Dirty() const { return dirty_; }
    SkinWindow& Window() const { return window_; }

    /// Fills `rect` with an AARRGGBB colour, with rounded corners when `round` is not 0.
    void FillRect(const Rect& rect, Color color, Size round = {});
    /// Strokes a border of `width` pixels inside `rect`.
    void StrokeRect(const Rect& rect, Color color, int width, Size round = {});
    /// Draws an image string (attributes.h) into `controlRect`. False when the image
    /// can not be found or decoded: then nothing is drawn.
    bool DrawImage(const Rect& controlRect, std::wstring_view imageString);
    bool DrawImageSpec(const Rect& controlRect, const ImageSpec& imageAttr);
    /// Draws text in font `fontIndex` (-1 = default) inside `rect`, clipped to it.
    void DrawText(const Rect& rect, std::wstring_view text, int fontIndex, Color color,
                  const TextStyle& style);

private:
    SkinWindow& window_;
    cairo_t* cr_;
    Rect dirty_;
};

}  // namespace Ui
