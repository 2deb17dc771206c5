// Internal: fonts and text through pango.
#pragma once

#include <cairo.h>
#include <pango/pangocairo.h>

#include <string_view>

#include "uiframework/geometry.h"
#include "uiframework/window.h"

namespace Ui {

/// Once per process, before pango makes its font map: teaches fontconfig that the face
/// names of the skins ("微软雅黑", "Microsoft YaHei") mean an installed CJK font.
void EnsureFontConfig();

/// A layout of `text` in `font`, `width` pixels wide when wrapping (multiLine), else one
/// unbounded line. The caller unrefs it.
PangoLayout* MakeTextLayout(cairo_t* cr, const FontInfo& font, std::wstring_view text,
                            bool multiLine, int width, bool extraUnderline = false);

/// Logical extent of the text (one line unless multiLine with width > 0).
Size MeasureTextExtent(const FontInfo& font, std::wstring_view text, bool multiLine = false,
                       int width = -1);

/// Glyphs of `text` that the chosen fonts can not show (0 = all characters drawable).
int CountUnknownGlyphs(const FontInfo& font, std::wstring_view text);

/// The family pango resolves `font` to ("WenQuanYi Micro Hei").
std::string ResolvedFamily(const FontInfo& font);

}  // namespace Ui
