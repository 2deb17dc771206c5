#include "uiframework/painter.h"

#include <algorithm>

#include "uiframework/attributes.h"
#include "uiframework/image_cache.h"
#include "uiframework/runtime.h"
#include "uiframework/text_layout.h"
#include "uiframework/window.h"

namespace Ui {

namespace {

void SetColor(cairo_t* cr, Color c) {
    cairo_set_source_rgba(cr, ((c >> 16) & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0,
                          (c & 0xFF) / 255.0, ((c >> 24) & 0xFF) / 255.0);
}

}  // namespace

void RoundedRectPath(cairo_t* cr, const Rect& r, Size round) {
    double rx = std::min(round.cx / 2.0, r.Width() / 2.0);
    double ry = std::min(round.cy / 2.0, r.Height() / 2.0);
    if (rx <= 0 || ry <= 0) {
        cairo_rectangle(cr, r.left, r.top, r.Width(), r.Height());
        return;
    }
    cairo_new_sub_path(cr);
    const double pi = 3.14159265358979323846;
    auto corner = [&](double cx, double cy, double a0, double a1) {
        cairo_save(cr);
        cairo_translate(cr, cx, cy);
        cairo_scale(cr, rx, ry);
        cairo_arc(cr, 0, 0, 1, a0, a1);
        cairo_restore(cr);
    };
    corner(r.right - rx, r.top + ry, -pi / 2, 0);
    corner(r.right - rx, r.bottom - ry, 0, pi / 2);
    corner(r.left + rx, r.bottom - ry, pi / 2, pi);
    corner(r.left + rx, r.top + ry, pi, 3 * pi / 2);
    cairo_close_path(cr);
}

namespace {

// Draws the `src` part of `image` into `dst`, stretched, or tiled along the axes asked.
void DrawCell(cairo_t* cr, cairo_surface_t* image, const Rect& src, const Rect& dst, double alpha,
              bool xTiled, bool yTiled) {
    if (src.IsEmpty() || dst.IsEmpty())
        return;
    cairo_save(cr);
    cairo_rectangle(cr, dst.left, dst.top, dst.Width(), dst.Height());
    cairo_clip(cr);
    int stepX = xTiled ? src.Width() : dst.Width();
    int stepY = yTiled ? src.Height() : dst.Height();
    for (int y = dst.top; y < dst.bottom; y += stepY) {
        for (int x = dst.left; x < dst.right; x += stepX) {
            cairo_save(cr);
            cairo_translate(cr, x, y);
            cairo_scale(cr, static_cast<double>(stepX) / src.Width(),
                        static_cast<double>(stepY) / src.Height());
            cairo_surface_t* part = cairo_surface_create_for_rectangle(image, src.left, src.top,
                                                                       src.Width(), src.Height());
            cairo_set_source_surface(cr, part, 0, 0);
            // PAD keeps the edges of a stretched cell from fading into transparency.
            cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
            cairo_rectangle(cr, 0, 0, src.Width(), src.Height());
            cairo_clip(cr);
            cairo_paint_with_alpha(cr, alpha);
            cairo_surface_destroy(part);
            cairo_restore(cr);
        }
    }
    cairo_restore(cr);
}

}  // namespace

void Painter::FillRect(const Rect& rect, Color color, Size round) {
    if ((color >> 24) == 0 || rect.IsEmpty())
        return;
    cairo_save(cr_);
    SetColor(cr_, color);
    RoundedRectPath(cr_, rect, round);
    cairo_fill(cr_);
    cairo_restore(cr_);
}

void Painter::StrokeRect(const Rect& rect, Color color, int width, Size round) {
    if ((color >> 24) == 0 || width <= 0 || rect.IsEmpty())
        return;
    cairo_save(cr_);
    SetColor(cr_, color);
    cairo_set_line_width(cr_, width);
    double h = width / 2.0;
    Rect inner{rect.left, rect.top, rect.right, rect.bottom};
    cairo_translate(cr_, h, h);
    inner.right -= width;
    inner.bottom -= width;
    RoundedRectPath(cr_, inner, round);
    cairo_stroke(cr_);
    cairo_restore(cr_);
}

bool Painter::DrawImage(const Rect& controlRect, std::wstring_view imageString) {
    if (imageString.empty())
        return false;
    return DrawImageSpec(controlRect, ParseImageSpec(imageString));
}

bool Painter::DrawImageSpec(const Rect& controlRect, const ImageSpec& imageAttr) {
    if (imageAttr.file.empty())
        return false;
    Runtime* rt = Runtime::Current();
    if (!rt)
        return false;
    std::shared_ptr<Image> image =
        rt->Images().Get(rt->Resources(), imageAttr.file, imageAttr.hasMask, imageAttr.mask);
    if (!image)
        return false;
    Rect dst = controlRect;
    if (!imageAttr.dest.IsEmpty()) {
        dst = imageAttr.dest.Offset(controlRect.left, controlRect.top).Intersect(controlRect);
    }
    Rect src{0, 0, image->Width(), image->Height()};
    if (!imageAttr.source.IsEmpty())
        src = imageAttr.source.Intersect(src);
    if (dst.IsEmpty() || src.IsEmpty())
        return true;
    double alpha = imageAttr.fade / 255.0;
    const Rect& c = imageAttr.corner;
    cairo_surface_t* s = image->Surface();
    if (c.left <= 0 && c.top <= 0 && c.right <= 0 && c.bottom <= 0) {
        if (!imageAttr.hole)
            DrawCell(cr_, s, src, dst, alpha, imageAttr.xTiled, imageAttr.yTiled);
        return true;
    }
    // Nine cells: the corners keep their size, the edges stretch along one axis, the
    // centre along both (or is tiled, or left out with "hole").
    int sx[4] = {src.left, src.left + c.left, src.right - c.right, src.right};
    int sy[4] = {src.top, src.top + c.top, src.bottom - c.bottom, src.bottom};
    int dx[4] = {dst.left, dst.left + c.left, dst.right - c.right, dst.right};
    int dy[4] = {dst.top, dst.top + c.top, dst.bottom - c.bottom, dst.bottom};
    if (dx[1] > dx[2])
        dx[1] = dx[2] = dst.left + dst.Width() * c.left / std::max(1, c.left + c.right);
    if (dy[1] > dy[2])
        dy[1] = dy[2] = dst.top + dst.Height() * c.top / std::max(1, c.top + c.bottom);
    for (int j = 0; j < 3; ++j) {
        for (int i = 0; i < 3; ++i) {
            bool centre = i == 1 && j == 1;
            if (centre && imageAttr.hole)
                continue;
            Rect sc{sx[i], sy[j], sx[i + 1], sy[j + 1]};
            Rect dc{dx[i], dy[j], dx[i + 1], dy[j + 1]};
            DrawCell(cr_, s, sc, dc, alpha, centre && imageAttr.xTiled, centre && imageAttr.yTiled);
        }
    }
    return true;
}

void Painter::DrawText(const Rect& rect, std::wstring_view text, int fontIndex, Color color,
                       const TextStyle& style) {
    if (text.empty() || rect.IsEmpty() || (color >> 24) == 0)
        return;
    const FontInfo& font = window_.GetFont(fontIndex);
    PangoLayout* layout =
        MakeTextLayout(cr_, font, text, style.multiLine, rect.Width(), style.underline);
    if (style.multiLine) {
        pango_layout_set_alignment(layout, style.align == HAlign::kCenter  ? PANGO_ALIGN_CENTER
                                           : style.align == HAlign::kRight ? PANGO_ALIGN_RIGHT
                                                                           : PANGO_ALIGN_LEFT);
    }
    PangoRectangle logical;
    pango_layout_get_pixel_extents(layout, nullptr, &logical);
    double x = rect.left;
    if (!style.multiLine) {
        if (style.align == HAlign::kCenter)
            x = rect.left + (rect.Width() - logical.width) / 2;
        else if (style.align == HAlign::kRight)
            x = rect.right - logical.width;
    }
    double y = rect.top;
    if (style.valign == VAlign::kCenter)
        y = rect.top + (rect.Height() - logical.height) / 2;
    else if (style.valign == VAlign::kBottom)
        y = rect.bottom - logical.height;
    cairo_save(cr_);
    cairo_rectangle(cr_, rect.left, rect.top, rect.Width(), rect.Height());
    cairo_clip(cr_);
    SetColor(cr_, color);
    cairo_move_to(cr_, static_cast<int>(x) - (style.multiLine ? 0 : logical.x),
                  static_cast<int>(y));
    pango_cairo_show_layout(cr_, layout);
    cairo_restore(cr_);
    g_object_unref(layout);
}

}  // namespace Ui
