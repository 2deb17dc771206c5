#include "uiframework/text_layout.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <mutex>

#include "utils/text.h"
#include "utils/trace_log.h"

namespace Ui {

namespace {

// The skins name a Windows face; these families stand in for it, in order of preference.
const char kFontAliases[] = R"(<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <alias binding="same"><family>微软雅黑</family>
    <prefer><family>WenQuanYi Micro Hei</family><family>Noto Sans CJK SC</family></prefer></alias>
  <alias binding="same"><family>Microsoft YaHei</family>
    <prefer><family>WenQuanYi Micro Hei</family><family>Noto Sans CJK SC</family></prefer></alias>
</fontconfig>
)";

cairo_t* MeasureContext() {
    // One 1x1 surface per thread for measuring; fonts do not depend on the target.
    thread_local cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    thread_local cairo_t* cr = cairo_create(surface);
    return cr;
}

}  // namespace

void EnsureFontConfig() {
    static std::once_flag once;
    std::call_once(once, [] {
        FcConfig* config = FcInitLoadConfigAndFonts();
        if (!config) {
            TRACE(L"fontconfig could not load its configuration");
            return;
        }
        if (!FcConfigParseAndLoadFromMemory(config, reinterpret_cast<const FcChar8*>(kFontAliases),
                                            FcTrue)) {
            TRACE(L"fontconfig refused the face-name aliases");
        }
        FcConfigSetCurrent(config);
        FcConfigDestroy(config);  // the current configuration keeps its own reference
    });
}

PangoLayout* MakeTextLayout(cairo_t* cr, const FontInfo& font, std::wstring_view text,
                            bool multiLine, int width, bool extraUnderline) {
    EnsureFontConfig();
    PangoLayout* layout = pango_cairo_create_layout(cr);
    PangoFontDescription* desc = pango_font_description_new();
    std::string family = Utils::ToNarrow(font.name, Utils::kCodePageUtf8);
    pango_font_description_set_family(desc, family.empty() ? "sans-serif" : family.c_str());
    int px = font.size > 0 ? std::min(font.size, 1000) : 12;
    pango_font_description_set_absolute_size(desc, static_cast<double>(px) * PANGO_SCALE);
    if (font.bold)
        pango_font_description_set_weight(desc, PANGO_WEIGHT_BOLD);
    if (font.italic)
        pango_font_description_set_style(desc, PANGO_STYLE_ITALIC);
    pango_layout_set_font_description(layout, desc);
    pango_font_description_free(desc);
    if (font.underline || extraUnderline) {
        PangoAttrList* attrs = pango_attr_list_new();
        pango_attr_list_insert(attrs, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
        pango_layout_set_attributes(layout, attrs);
        pango_attr_list_unref(attrs);
    }
    std::string utf8 = Utils::ToNarrow(text, Utils::kCodePageUtf8);
    if (multiLine) {
        if (width > 0) {
            pango_layout_set_width(layout, std::min(width, kMaxCoordinate) * PANGO_SCALE);
            pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
        }
    } else {
        pango_layout_set_single_paragraph_mode(layout, TRUE);
    }
    pango_layout_set_text(layout, utf8.data(), static_cast<int>(utf8.size()));
    return layout;
}

Size MeasureTextExtent(const FontInfo& font, std::wstring_view text, bool multiLine, int width) {
    PangoLayout* layout = MakeTextLayout(MeasureContext(), font, text, multiLine, width);
    PangoRectangle logical;
    pango_layout_get_pixel_extents(layout, nullptr, &logical);
    g_object_unref(layout);
    return {logical.width, logical.height};
}

int CountUnknownGlyphs(const FontInfo& font, std::wstring_view text) {
    PangoLayout* layout = MakeTextLayout(MeasureContext(), font, text, true, -1);
    int unknown = pango_layout_get_unknown_glyphs_count(layout);
    g_object_unref(layout);
    return unknown;
}

std::string ResolvedFamily(const FontInfo& font) {
    EnsureFontConfig();
    PangoLayout* layout = MakeTextLayout(MeasureContext(), font, L"安", false, -1);
    std::string family;
    PangoLayoutIter* iter = pango_layout_get_iter(layout);
    PangoLayoutRun* run = pango_layout_iter_get_run_readonly(iter);
    if (run && run->item && run->item->analysis.font) {
        PangoFontDescription* d = pango_font_describe(run->item->analysis.font);
        if (const char* f = pango_font_description_get_family(d))
            family = f;
        pango_font_description_free(d);
    }
    pango_layout_iter_free(iter);
    g_object_unref(layout);
    return family;
}

}  // namespace Ui
