#include "uiframework/shadow.h"

#include <algorithm>
#include <cmath>

#include "uiframework/attributes.h"
#include "uiframework/painter.h"
#include "uiframework/window.h"

namespace Ui {

bool WindowShadow::SetSize(int size) {
    if (size < -20 || size > 20)
        return false;
    size_ = size;
    return true;
}

bool WindowShadow::SetSharpness(int sharpness) {
    if (sharpness < 0 || sharpness > 20)
        return false;
    sharpness_ = sharpness;
    return true;
}

bool WindowShadow::SetDarkness(int darkness) {
    if (darkness < 0 || darkness > 255)
        return false;
    darkness_ = darkness;
    return true;
}

bool WindowShadow::SetPosition(int x, int y) {
    if (x < -20 || x > 20 || y < -20 || y > 20)
        return false;
    position_ = {x, y};
    return true;
}

Rect WindowShadow::Margin() const {
    int grow = std::max(0, size_) + sharpness_;
    return {std::max(0, grow - position_.x), std::max(0, grow - position_.y),
            std::max(0, grow + position_.x), std::max(0, grow + position_.y)};
}

cairo_surface_t* WindowShadow::Compose() const {
    if (!window_ || !window_->Frame())
        return nullptr;
    Size s = window_->GetClientSize();
    Rect m = Margin();
    int w = s.cx + m.left + m.right, h = s.cy + m.top + m.bottom;
    cairo_surface_t* out = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(out);
    Rect win{m.left, m.top, m.left + s.cx, m.top + s.cy};
    if (!image_.empty()) {
        Painter p(*window_, cr, {0, 0, w, h});
        ImageSpec imageAttr;
        imageAttr.file = image_;
        imageAttr.corner = corner_;
        p.DrawImageSpec({0, 0, w, h}, imageAttr);
    } else {
        // The window's shape grown by `size` and moved by `position` at full darkness,
        // then `sharpness` one-pixel rings around it whose opacity falls off linearly.
        Rect core{win.left - size_ + position_.x, win.top - size_ + position_.y,
                  win.right + size_ + position_.x, win.bottom + size_ + position_.y};
        double r = ((color_ >> 16) & 0xFF) / 255.0, g = ((color_ >> 8) & 0xFF) / 255.0,
               b = (color_ & 0xFF) / 255.0;
        double peak = darkness_ / 255.0;
        Ui::Size round = window_->GetRoundCorner();
        auto grown = [&](int i) {
            return Rect{core.left - i, core.top - i, core.right + i, core.bottom + i};
        };
        auto roundFor = [&](int i) {
            return Ui::Size{round.cx > 0 ? round.cx + 2 * i : 0,
                            round.cy > 0 ? round.cy + 2 * i : 0};
        };
        cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
        for (int i = 1; i <= sharpness_; ++i) {
            cairo_set_source_rgba(cr, r, g, b, peak * (sharpness_ + 1 - i) / (sharpness_ + 1));
            RoundedRectPath(cr, grown(i), roundFor(i));
            RoundedRectPath(cr, grown(i - 1), roundFor(i - 1));
            cairo_fill(cr);
        }
        cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
        cairo_set_source_rgba(cr, r, g, b, peak);
        RoundedRectPath(cr, core, round);
        cairo_fill(cr);
    }
    // The window itself covers the shadow under it.
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    RoundedRectPath(cr, win, window_->GetRoundCorner());
    cairo_fill(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    cairo_set_source_surface(cr, window_->Frame(), win.left, win.top);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(out);
    return out;
}

}  // namespace Ui
