// glyphora-skinart: draws every image of the installer's skin package.
//
//   glyphora-skinart OUTPUT_FOLDER      (normally ui/skin, so images land in ui/skin/res/...)
//
// All artwork is vector drawing with cairo and text with pango, so restyling the installer
// means editing the palette or a drawing function below and running the tool again
// (`cmake --build <build> --target skinart` regenerates ui/skin/res in the source tree).
// The output is deterministic for a given cairo, pango and font installation.
//
// Index
// [SECTION] Palette and drawing helpers
// [SECTION] Common title-bar buttons
// [SECTION] Main window: backgrounds, logos, controls
// [SECTION] Main window: installing animation
// [SECTION] Dialog icons and buttons
// [SECTION] Entry point

#include <cairo.h>
#include <pango/pangocairo.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

namespace {

namespace fs = std::filesystem;

// [SECTION] Palette and drawing helpers

struct Rgba {
    double r, g, b, a;
};

constexpr Rgba Hex(unsigned rgb, double a = 1.0) {
    return {((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0, a};
}

// The brand teal and its hot / pushed shades are the ones the markup uses for its
// colour-only buttons, so image buttons and colour buttons match exactly.
constexpr Rgba kTeal = Hex(0x00B0A6);
constexpr Rgba kTealHot = Hex(0x4BC6BF);
constexpr Rgba kTealPushed = Hex(0x038A82);
constexpr Rgba kTealPale = Hex(0xE6F7F6);
constexpr Rgba kInk = Hex(0x303F56);
constexpr Rgba kInkSoft = Hex(0x8991AF);
constexpr Rgba kLine = Hex(0xDCE3EA);
constexpr Rgba kWhite = Hex(0xFFFFFF);
constexpr Rgba kAmber = Hex(0xFFA43A);
constexpr Rgba kSky = Hex(0x3A9BE8);

const char* const kFontFamily = "WenQuanYi Micro Hei";
constexpr double kPi = 3.14159265358979323846;

void SetColor(cairo_t* cr, Rgba c) {
    cairo_set_source_rgba(cr, c.r, c.g, c.b, c.a);
}

Rgba WithAlpha(Rgba c, double a) {
    return {c.r, c.g, c.b, a};
}

Rgba Mix(Rgba a, Rgba b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t,
            a.a + (b.a - a.a) * t};
}

void RoundRect(cairo_t* cr, double x, double y, double w, double h, double r) {
    r = std::min(r, std::min(w, h) / 2);
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -kPi / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, kPi / 2);
    cairo_arc(cr, x + r, y + h - r, r, kPi / 2, kPi);
    cairo_arc(cr, x + r, y + r, r, kPi, 3 * kPi / 2);
    cairo_close_path(cr);
}

enum class Align { Left, Center, Right };

struct TextStyle {
    double px = 14;
    Rgba color = kInk;
    Align align = Align::Center;
    PangoWeight weight = PANGO_WEIGHT_NORMAL;
    const char* family = kFontFamily;
};

// Draws UTF-8 text in the box (x, y, w, h), vertically centred on the box.
void DrawText(cairo_t* cr, const std::string& utf8, double x, double y, double w, double h,
              const TextStyle& style) {
    PangoLayout* layout = pango_cairo_create_layout(cr);
    PangoFontDescription* desc = pango_font_description_new();
    pango_font_description_set_family(desc, style.family);
    pango_font_description_set_weight(desc, style.weight);
    pango_font_description_set_absolute_size(desc, style.px * PANGO_SCALE);
    pango_layout_set_font_description(layout, desc);
    pango_layout_set_text(layout, utf8.c_str(), -1);
    pango_layout_set_width(layout, static_cast<int>(w * PANGO_SCALE));
    pango_layout_set_alignment(layout, style.align == Align::Left    ? PANGO_ALIGN_LEFT
                                       : style.align == Align::Right ? PANGO_ALIGN_RIGHT
                                                                     : PANGO_ALIGN_CENTER);
    PangoRectangle ink, logical;
    pango_layout_get_pixel_extents(layout, &ink, &logical);
    if (pango_layout_get_unknown_glyphs_count(layout) != 0) {
        std::fprintf(stderr, "skinart: missing glyphs in \"%s\"\n", utf8.c_str());
    }
    SetColor(cr, style.color);
    cairo_move_to(cr, x, y + (h - logical.height) / 2.0);
    pango_cairo_show_layout(cr, layout);
    pango_font_description_free(desc);
    g_object_unref(layout);
}

// Soft drop shadow under a rounded rectangle: a few widening translucent outlines.
void SoftShadow(cairo_t* cr, double x, double y, double w, double h, double r, double spread,
                Rgba color) {
    const int steps = static_cast<int>(spread);
    for (int i = steps; i >= 1; --i) {
        const double t = static_cast<double>(i) / steps;
        RoundRect(cr, x - i, y - i + spread * 0.35, w + 2 * i, h + 2 * i, r + i);
        SetColor(cr, WithAlpha(color, color.a * (1 - t) * (1 - t) / steps * 2.2));
        cairo_fill(cr);
    }
}

class Canvas {
public:
    Canvas(int w, int h)
        : surface_(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h)),
          cr_(cairo_create(surface_)) {
        cairo_set_antialias(cr_, CAIRO_ANTIALIAS_BEST);
    }
    ~Canvas() {
        cairo_destroy(cr_);
        cairo_surface_destroy(surface_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    cairo_t* cr() const { return cr_; }
    int width() const { return cairo_image_surface_get_width(surface_); }
    int height() const { return cairo_image_surface_get_height(surface_); }

    bool Save(const fs::path& file) const {
        cairo_surface_flush(surface_);
        std::error_code ec;
        fs::create_directories(file.parent_path(), ec);
        const cairo_status_t status = cairo_surface_write_to_png(surface_, file.c_str());
        if (status != CAIRO_STATUS_SUCCESS) {
            std::fprintf(stderr, "skinart: cannot write %s: %s\n", file.c_str(),
                         cairo_status_to_string(status));
            return false;
        }
        return true;
    }

private:
    cairo_surface_t* surface_;
    cairo_t* cr_;
};

// Every image is produced by one call of Emit, so a failure anywhere is counted once.
struct Output {
    fs::path root;
    int written = 0;
    int failed = 0;

    void Emit(const std::string& name, int w, int h, const std::function<void(cairo_t*)>& draw) {
        Canvas canvas(w, h);
        draw(canvas.cr());
        if (canvas.Save(root / name)) {
            ++written;
        } else {
            ++failed;
        }
    }
};

// Three button states share one drawing with a state index: 0 normal, 1 hot, 2 pushed.
constexpr int kStates = 3;

// [SECTION] Common title-bar buttons

Rgba TitleGlyphColor(int state) {
    return state == 0 ? Hex(0x7A8499) : state == 1 ? kTeal : kTealPushed;
}

void DrawMinimize(cairo_t* cr, int state) {
    if (state > 0) {
        RoundRect(cr, 0, 0, 16, 16, 3);
        SetColor(cr, WithAlpha(kTeal, state == 1 ? 0.10 : 0.18));
        cairo_fill(cr);
    }
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, 1.6);
    SetColor(cr, TitleGlyphColor(state));
    cairo_move_to(cr, 3.5, 8.5);
    cairo_line_to(cr, 12.5, 8.5);
    cairo_stroke(cr);
}

void DrawClose(cairo_t* cr, int state, Rgba normal) {
    if (state > 0) {
        RoundRect(cr, 0, 0, 16, 16, 3);
        SetColor(cr, WithAlpha(kTeal, state == 1 ? 0.10 : 0.18));
        cairo_fill(cr);
    }
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, 1.6);
    SetColor(cr, state == 0 ? normal : TitleGlyphColor(state));
    cairo_move_to(cr, 4, 4);
    cairo_line_to(cr, 12, 12);
    cairo_move_to(cr, 12, 4);
    cairo_line_to(cr, 4, 12);
    cairo_stroke(cr);
}

void EmitCommon(Output& out) {
    for (int s = 0; s < kStates; ++s) {
        const std::string n = std::to_string(s + 1);
        out.Emit("res/common/minbtn" + n + ".png", 16, 16,
                 [s](cairo_t* cr) { DrawMinimize(cr, s); });
        out.Emit("res/common/closebtn" + n + ".png", 16, 16,
                 [s](cairo_t* cr) { DrawClose(cr, s, Hex(0x7A8499)); });
        out.Emit("res/common/closebtnM_" + n + ".png", 16, 16,
                 [s](cairo_t* cr) { DrawClose(cr, s, Hex(0x9AA3B5)); });
    }
}

// [SECTION] Main window: backgrounds, logos, controls

// Strokes the four corner brackets of a scanner frame around (x0, y0)-(x1, y1), each arm
// `arm` long, with the current colour, width and joins.
void ScanBrackets(cairo_t* cr, double x0, double y0, double x1, double y1, double arm) {
    cairo_move_to(cr, x0, y0 + arm);
    cairo_line_to(cr, x0, y0);
    cairo_line_to(cr, x0 + arm, y0);
    cairo_move_to(cr, x1 - arm, y0);
    cairo_line_to(cr, x1, y0);
    cairo_line_to(cr, x1, y0 + arm);
    cairo_move_to(cr, x1, y1 - arm);
    cairo_line_to(cr, x1, y1);
    cairo_line_to(cr, x1 - arm, y1);
    cairo_move_to(cr, x0 + arm, y1);
    cairo_line_to(cr, x0, y1);
    cairo_line_to(cr, x0, y1 - arm);
    cairo_stroke(cr);
}

// The product mark: a rounded teal tile with a document whose lines are being read by a
// scan bracket. Scaled to any square size.
void DrawLogo(cairo_t* cr, double size) {
    cairo_save(cr);
    cairo_scale(cr, size / 70.0, size / 70.0);
    cairo_pattern_t* grad = cairo_pattern_create_linear(0, 0, 70, 70);
    cairo_pattern_add_color_stop_rgb(grad, 0, 0x2C / 255.0, 0xD3 / 255.0, 0xC4 / 255.0);
    cairo_pattern_add_color_stop_rgb(grad, 1, 0x00 / 255.0, 0x94 / 255.0, 0x96 / 255.0);
    RoundRect(cr, 1, 1, 68, 68, 16);
    cairo_set_source(cr, grad);
    cairo_fill(cr);
    cairo_pattern_destroy(grad);
    // Gloss on the upper half.
    cairo_pattern_t* gloss = cairo_pattern_create_linear(0, 0, 0, 40);
    cairo_pattern_add_color_stop_rgba(gloss, 0, 1, 1, 1, 0.22);
    cairo_pattern_add_color_stop_rgba(gloss, 1, 1, 1, 1, 0.0);
    RoundRect(cr, 1, 1, 68, 68, 16);
    cairo_set_source(cr, gloss);
    cairo_fill(cr);
    cairo_pattern_destroy(gloss);
    // Scan brackets.
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_width(cr, 4);
    SetColor(cr, kWhite);
    ScanBrackets(cr, 14, 14, 56, 56, 11);
    // Text lines being recognised.
    cairo_set_line_width(cr, 4.2);
    const double lines[][2] = {{24, 46}, {24, 40}, {24, 43}};
    for (int i = 0; i < 3; ++i) {
        SetColor(cr, WithAlpha(kWhite, i == 1 ? 1.0 : 0.9));
        cairo_move_to(cr, lines[i][0], 27 + i * 8);
        cairo_line_to(cr, lines[i][1], 27 + i * 8);
        cairo_stroke(cr);
    }
    cairo_restore(cr);
}

// Page background: a clean white page with a pale teal wash, soft shapes in the corners and
// a hairline frame. `variant` 0..3 selects the page (start, custom, installing, finished).
void DrawBackground(cairo_t* cr, int variant) {
    const double w = 600, h = 400;
    cairo_pattern_t* base = cairo_pattern_create_linear(0, 0, 0, h);
    cairo_pattern_add_color_stop_rgb(base, 0, 0xF1 / 255.0, 0xFA / 255.0, 0xFA / 255.0);
    cairo_pattern_add_color_stop_rgb(base, 0.45, 1, 1, 1);
    cairo_pattern_add_color_stop_rgb(base, 1, 1, 1, 1);
    cairo_rectangle(cr, 0, 0, w, h);
    cairo_set_source(cr, base);
    cairo_fill(cr);
    cairo_pattern_destroy(base);

    // Large soft circle behind the top-right corner.
    cairo_pattern_t* glow = cairo_pattern_create_radial(560, -20, 10, 560, -20, 260);
    cairo_pattern_add_color_stop_rgba(glow, 0, kTeal.r, kTeal.g, kTeal.b, 0.16);
    cairo_pattern_add_color_stop_rgba(glow, 1, kTeal.r, kTeal.g, kTeal.b, 0.0);
    cairo_rectangle(cr, 0, 0, w, h);
    cairo_set_source(cr, glow);
    cairo_fill(cr);
    cairo_pattern_destroy(glow);

    // Rings in the top-right corner.
    cairo_set_line_width(cr, 1.2);
    for (int i = 0; i < 3; ++i) {
        SetColor(cr, WithAlpha(kTeal, 0.10 - i * 0.025));
        cairo_arc(cr, 590, 10, 70 + i * 34, 0, 2 * kPi);
        cairo_stroke(cr);
    }

    // Two overlapping waves along the bottom edge.
    const double waveTop = variant == 1 ? 338 : 328;
    for (int layer = 0; layer < 2; ++layer) {
        const double y0 = waveTop + layer * 16;
        cairo_move_to(cr, 0, y0 + 18);
        cairo_curve_to(cr, 150, y0 - 22 + layer * 12, 300, y0 + 52 - layer * 10, 450, y0 + 14);
        cairo_curve_to(cr, 520, y0 - 4, 570, y0 + 2, 600, y0 + 10 - layer * 6);
        cairo_line_to(cr, 600, h);
        cairo_line_to(cr, 0, h);
        cairo_close_path(cr);
        cairo_pattern_t* wave = cairo_pattern_create_linear(0, 0, w, 0);
        const double a = layer == 0 ? 0.07 : 0.11;
        cairo_pattern_add_color_stop_rgba(wave, 0, kTeal.r, kTeal.g, kTeal.b, a * 0.6);
        cairo_pattern_add_color_stop_rgba(wave, 1, kTealHot.r, kTealHot.g, kTealHot.b, a);
        cairo_set_source(cr, wave);
        cairo_fill(cr);
        cairo_pattern_destroy(wave);
    }

    // Dot grid on the left, under the title bar.
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 6; ++col) {
            SetColor(cr, WithAlpha(kTeal, 0.16));
            cairo_arc(cr, 26 + col * 12, 70 + row * 12, 1.3, 0, 2 * kPi);
            cairo_fill(cr);
        }
    }

    // Title: the small mark and the product name; page 1 leaves the corner to its back button.
    if (variant != 1) {
        cairo_save(cr);
        cairo_translate(cr, 14, 14);
        DrawLogo(cr, 18);
        cairo_restore(cr);
        TextStyle title{13, kInk, Align::Left, PANGO_WEIGHT_NORMAL};
        DrawText(cr, "Lexivo 安装向导", 38, 13, 200, 20, title);
    }

    if (variant == 3) {
        // Finished page: a few floating sparkles around the headline.
        const double sparks[][3] = {{150, 95, 4},  {462, 80, 3},    {498, 150, 5},
                                    {118, 170, 3}, {420, 200, 2.5}, {180, 226, 2}};
        for (const auto& s : sparks) {
            SetColor(cr, WithAlpha(kTeal, 0.35));
            cairo_arc(cr, s[0], s[1], s[2], 0, 2 * kPi);
            cairo_fill(cr);
        }
        cairo_set_line_width(cr, 1.6);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
        const double crosses[][2] = {{205, 70}, {410, 120}, {470, 240}};
        for (const auto& c : crosses) {
            SetColor(cr, WithAlpha(kTealHot, 0.55));
            cairo_move_to(cr, c[0] - 4, c[1]);
            cairo_line_to(cr, c[0] + 4, c[1]);
            cairo_move_to(cr, c[0], c[1] - 4);
            cairo_line_to(cr, c[0], c[1] + 4);
            cairo_stroke(cr);
        }
    }

    // Hairline frame; the window's own rounded corners cut the outermost pixels.
    cairo_rectangle(cr, 0.5, 0.5, w - 1, h - 1);
    cairo_set_line_width(cr, 1);
    SetColor(cr, Hex(0xD5DEE6));
    cairo_stroke(cr);
}

void DrawFinishedMark(cairo_t* cr) {
    cairo_pattern_t* grad = cairo_pattern_create_linear(0, 0, 40, 40);
    cairo_pattern_add_color_stop_rgb(grad, 0, 0x2C / 255.0, 0xD3 / 255.0, 0xC4 / 255.0);
    cairo_pattern_add_color_stop_rgb(grad, 1, kTealPushed.r, kTealPushed.g, kTealPushed.b);
    cairo_arc(cr, 20, 20, 19, 0, 2 * kPi);
    cairo_set_source(cr, grad);
    cairo_fill(cr);
    cairo_pattern_destroy(grad);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_width(cr, 3.4);
    SetColor(cr, kWhite);
    cairo_move_to(cr, 11.5, 20.5);
    cairo_line_to(cr, 17.5, 26.5);
    cairo_line_to(cr, 29, 14.5);
    cairo_stroke(cr);
}

// Reminder bubble above the licence row, pointing down at the check box.
void DrawTip(cairo_t* cr) {
    const double w = 116, bodyH = 26;
    SoftShadow(cr, 2, 1, w - 4, bodyH - 3, 4, 3, Hex(0x303F56, 0.25));
    cairo_new_path(cr);
    RoundRect(cr, 1, 1, w - 2, bodyH - 2, 4);
    cairo_move_to(cr, 14, bodyH - 1.5);
    cairo_line_to(cr, 20, 31);
    cairo_line_to(cr, 26, bodyH - 1.5);
    cairo_close_path(cr);
    SetColor(cr, Hex(0x3A4A63));
    cairo_fill(cr);
    TextStyle style{12, kWhite, Align::Center};
    DrawText(cr, "请先同意用户协议", 0, 1, w, bodyH - 2, style);
}

void DrawEditFrame(cairo_t* cr) {
    RoundRect(cr, 0.5, 0.5, 339, 39, 4);
    SetColor(cr, kWhite);
    cairo_fill_preserve(cr);
    cairo_set_line_width(cr, 1);
    SetColor(cr, Hex(0xCFD8E0));
    cairo_stroke(cr);
}

void DrawProgressTrack(cairo_t* cr, bool fore) {
    RoundRect(cr, 0, 0, 410, 8, 4);
    if (fore) {
        cairo_pattern_t* grad = cairo_pattern_create_linear(0, 0, 410, 0);
        cairo_pattern_add_color_stop_rgb(grad, 0, 0x2C / 255.0, 0xD3 / 255.0, 0xC4 / 255.0);
        cairo_pattern_add_color_stop_rgb(grad, 1, kTeal.r, kTeal.g, kTeal.b);
        cairo_set_source(cr, grad);
        cairo_fill(cr);
        cairo_pattern_destroy(grad);
        // Light highlight on the top half.
        RoundRect(cr, 1, 1, 408, 3, 1.5);
        SetColor(cr, WithAlpha(kWhite, 0.25));
        cairo_fill(cr);
    } else {
        SetColor(cr, Hex(0xE4EAEF));
        cairo_fill(cr);
    }
}

void DrawCheckBox(cairo_t* cr, bool ticked) {
    if (ticked) {
        RoundRect(cr, 0.5, 0.5, 15, 15, 3);
        SetColor(cr, kTeal);
        cairo_fill(cr);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
        cairo_set_line_width(cr, 1.9);
        SetColor(cr, kWhite);
        cairo_move_to(cr, 4, 8.2);
        cairo_line_to(cr, 7, 11.2);
        cairo_line_to(cr, 12.2, 5.2);
        cairo_stroke(cr);
    } else {
        RoundRect(cr, 1, 1, 14, 14, 2.5);
        SetColor(cr, kWhite);
        cairo_fill_preserve(cr);
        cairo_set_line_width(cr, 1.2);
        SetColor(cr, Hex(0xB8C2CE));
        cairo_stroke(cr);
    }
}

// Text-and-chevron link buttons (back and custom install): the text belongs to the image,
// the markup gives them none. state 3 is the disabled look.
Rgba LinkColor(int state, Rgba normal) {
    switch (state) {
        case 0:
            return normal;
        case 1:
            return Hex(0x59CB8F);
        case 2:
            return Hex(0x11A557);
        default:
            return Hex(0xC3C9D4);
    }
}

void DrawBackButton(cairo_t* cr, int state) {
    const Rgba c = LinkColor(state, kInk);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_width(cr, 1.7);
    SetColor(cr, c);
    cairo_move_to(cr, 8, 4.5);
    cairo_line_to(cr, 3.5, 9);
    cairo_line_to(cr, 8, 13.5);
    cairo_stroke(cr);
    TextStyle style{13, c, Align::Left};
    DrawText(cr, "返回", 14, 0, 32, 18, style);
}

void DrawCustomButton(cairo_t* cr, int state) {
    const Rgba c = LinkColor(state, kInkSoft);
    TextStyle style{12, c, Align::Right};
    DrawText(cr, "自定义安装", 0, 0, 74, 18, style);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_width(cr, 1.5);
    SetColor(cr, c);
    cairo_move_to(cr, 79, 5.5);
    cairo_line_to(cr, 82.5, 9);
    cairo_line_to(cr, 79, 12.5);
    cairo_stroke(cr);
}

Rgba FillForState(int state) {
    return state == 0 ? kTeal : state == 1 ? kTealHot : kTealPushed;
}

// A solid teal button face of any size (text comes from the markup unless given).
void DrawSolidButton(cairo_t* cr, double w, double h, int state, double radius,
                     const char* text = nullptr, double px = 14) {
    const Rgba fill = FillForState(state);
    cairo_pattern_t* grad = cairo_pattern_create_linear(0, 0, 0, h);
    const Rgba top = Mix(fill, kWhite, state == 2 ? 0.0 : 0.10);
    cairo_pattern_add_color_stop_rgb(grad, 0, top.r, top.g, top.b);
    cairo_pattern_add_color_stop_rgb(grad, 1, fill.r, fill.g, fill.b);
    RoundRect(cr, 0, 0, w, h, radius);
    cairo_set_source(cr, grad);
    cairo_fill(cr);
    cairo_pattern_destroy(grad);
    if (text != nullptr) {
        TextStyle style{px, kWhite, Align::Center, PANGO_WEIGHT_NORMAL};
        DrawText(cr, text, 0, 0, w, h, style);
    }
}

// A white button with a teal outline; hot and pushed tint the face.
void DrawOutlineButton(cairo_t* cr, double w, double h, int state, double radius,
                       const char* text = nullptr, double px = 14) {
    RoundRect(cr, 0.5, 0.5, w - 1, h - 1, radius);
    SetColor(cr, state == 0 ? kWhite : state == 1 ? kTealPale : Hex(0xCDEFEC));
    cairo_fill_preserve(cr);
    cairo_set_line_width(cr, 1);
    SetColor(cr, state == 2 ? kTealPushed : kTeal);
    cairo_stroke(cr);
    if (text != nullptr) {
        TextStyle style{px, state == 2 ? kTealPushed : kTeal, Align::Center};
        DrawText(cr, text, 0, 0, w, h, style);
    }
}

void EmitMainWindow(Output& out) {
    for (int v = 0; v < 4; ++v) {
        out.Emit("res/mainWnd/bg" + std::to_string(v + 1) + ".png", 600, 400,
                 [v](cairo_t* cr) { DrawBackground(cr, v); });
    }
    out.Emit("res/mainWnd/logo.png", 70, 70, [](cairo_t* cr) { DrawLogo(cr, 70); });
    out.Emit("res/mainWnd/ilogo.png", 20, 20, [](cairo_t* cr) { DrawLogo(cr, 20); });
    out.Emit("res/mainWnd/finished.png", 40, 40, DrawFinishedMark);
    out.Emit("res/mainWnd/tipLbl.png", 116, 32, DrawTip);
    out.Emit("res/mainWnd/installDirEdit.png", 340, 40, DrawEditFrame);
    out.Emit("res/mainWnd/installPrg1.png", 410, 8,
             [](cairo_t* cr) { DrawProgressTrack(cr, false); });
    out.Emit("res/mainWnd/installPrg2.png", 410, 8,
             [](cairo_t* cr) { DrawProgressTrack(cr, true); });
    out.Emit("res/mainWnd/Cb1.png", 16, 16, [](cairo_t* cr) { DrawCheckBox(cr, false); });
    out.Emit("res/mainWnd/Cb2.png", 16, 16, [](cairo_t* cr) { DrawCheckBox(cr, true); });
    for (int s = 0; s < 4; ++s) {
        out.Emit("res/mainWnd/backBtn" + std::to_string(s + 1) + ".png", 46, 18,
                 [s](cairo_t* cr) { DrawBackButton(cr, s); });
    }
    for (int s = 0; s < kStates; ++s) {
        const std::string n = std::to_string(s + 1);
        out.Emit("res/mainWnd/customeBtn" + n + ".png", 88, 18,
                 [s](cairo_t* cr) { DrawCustomButton(cr, s); });
        out.Emit("res/mainWnd/editBtn" + n + ".png", 80, 40,
                 [s](cairo_t* cr) { DrawSolidButton(cr, 80, 40, s, 4); });
        // Alternative folder button with its own label, kept for skins that want it.
        out.Emit("res/mainWnd/chDirBtn" + n + ".png", 80, 40,
                 [s](cairo_t* cr) { DrawOutlineButton(cr, 80, 40, s, 4, "浏览", 14); });
        out.Emit("res/mainWnd/experienceBtn" + n + ".png", 234, 50,
                 [s](cairo_t* cr) { DrawSolidButton(cr, 234, 50, s, 4, "立即体验", 22); });
        out.Emit("res/mainWnd/installBtn" + n + ".png", 234, 50,
                 [s](cairo_t* cr) { DrawSolidButton(cr, 234, 50, s, 4, "立即安装", 22); });
    }
}

// [SECTION] Main window: installing animation

// One frame of the installing animation, t in [0, 1): a document being read by a scan beam
// inside an orbiting arc. Every moving part is periodic in t, so frame 99 runs into frame 0
// without a jump.
void DrawAnimationFrame(cairo_t* cr, double t) {
    const double c = 79;
    // Track and orbiting arc.
    cairo_set_line_width(cr, 5);
    SetColor(cr, Hex(0xE3F3F2));
    cairo_arc(cr, c, c, 68, 0, 2 * kPi);
    cairo_stroke(cr);
    const double start = -kPi / 2 + 4 * kPi * t;
    const double sweep = kPi * (0.55 + 0.3 * std::sin(2 * kPi * t));
    // The tail fades in short butt-ended pieces (round caps would overlap and show as dots).
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    const int pieces = 48;
    for (int i = 0; i < pieces; ++i) {
        const double a0 = start + sweep * i / pieces;
        const double a1 = start + sweep * (i + 1) / pieces;
        SetColor(cr, WithAlpha(kTeal, 0.15 + 0.85 * (i + 1) / pieces));
        cairo_arc(cr, c, c, 68, a0, a1);
        cairo_stroke(cr);
    }
    // Bright head of the arc.
    const double head = start + sweep;
    SetColor(cr, kTeal);
    cairo_arc(cr, c + 68 * std::cos(head), c + 68 * std::sin(head), 4.2, 0, 2 * kPi);
    cairo_fill(cr);

    // Soft halo inside the ring.
    cairo_pattern_t* halo = cairo_pattern_create_radial(c, c, 10, c, c, 62);
    cairo_pattern_add_color_stop_rgba(halo, 0, kTeal.r, kTeal.g, kTeal.b, 0.10);
    cairo_pattern_add_color_stop_rgba(halo, 1, kTeal.r, kTeal.g, kTeal.b, 0.0);
    cairo_arc(cr, c, c, 62, 0, 2 * kPi);
    cairo_set_source(cr, halo);
    cairo_fill(cr);
    cairo_pattern_destroy(halo);

    // The document card.
    const double dw = 56, dh = 70, dx = c - dw / 2, dy = c - dh / 2;
    SoftShadow(cr, dx, dy, dw, dh, 6, 6, Hex(0x1E5A66, 0.30));
    RoundRect(cr, dx, dy, dw, dh, 6);
    SetColor(cr, kWhite);
    cairo_fill(cr);

    // Scan beam position: down and back up once per cycle.
    const double top = dy + 8, bottom = dy + dh - 8;
    const double beam = top + (bottom - top) * (0.5 - 0.5 * std::cos(2 * kPi * t));

    // Lines of text; the part above the beam is "recognised" and turns teal.
    const double lengths[] = {38, 30, 40, 34, 24};
    cairo_set_line_width(cr, 4);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    for (int i = 0; i < 5; ++i) {
        const double y = dy + 15 + i * 10.5;
        const bool read = y < beam;
        SetColor(cr, read ? WithAlpha(kTeal, 0.85) : Hex(0xDCE3EA));
        cairo_move_to(cr, dx + 9, y);
        cairo_line_to(cr, dx + 9 + lengths[i], y);
        cairo_stroke(cr);
    }

    // Beam with a glow trail.
    cairo_pattern_t* glow = cairo_pattern_create_linear(0, beam - 12, 0, beam + 12);
    cairo_pattern_add_color_stop_rgba(glow, 0, kTeal.r, kTeal.g, kTeal.b, 0.0);
    cairo_pattern_add_color_stop_rgba(glow, 0.5, kTeal.r, kTeal.g, kTeal.b, 0.22);
    cairo_pattern_add_color_stop_rgba(glow, 1, kTeal.r, kTeal.g, kTeal.b, 0.0);
    cairo_rectangle(cr, dx - 6, beam - 12, dw + 12, 24);
    cairo_set_source(cr, glow);
    cairo_fill(cr);
    cairo_pattern_destroy(glow);
    cairo_set_line_width(cr, 2);
    SetColor(cr, kTeal);
    cairo_move_to(cr, dx - 5, beam);
    cairo_line_to(cr, dx + dw + 5, beam);
    cairo_stroke(cr);

    // Scan brackets around the card.
    cairo_set_line_width(cr, 2.6);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    SetColor(cr, kTeal);
    const double m = 7;
    ScanBrackets(cr, dx - m, dy - m, dx + dw + m, dy + dh + m, 10);
}

constexpr int kAnimationFrames = 100;

void EmitAnimation(Output& out) {
    for (int i = 0; i < kAnimationFrames; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "res/mainWnd/installBtnAnimate/%03d.png", i);
        const double t = static_cast<double>(i) / kAnimationFrames;
        out.Emit(name, 158, 158, [t](cairo_t* cr) { DrawAnimationFrame(cr, t); });
    }
}

// [SECTION] Dialog icons and buttons

void DrawBadge(cairo_t* cr, Rgba color) {
    cairo_pattern_t* grad = cairo_pattern_create_linear(0, 0, 0, 40);
    const Rgba top = Mix(color, kWhite, 0.18);
    cairo_pattern_add_color_stop_rgb(grad, 0, top.r, top.g, top.b);
    cairo_pattern_add_color_stop_rgb(grad, 1, color.r, color.g, color.b);
    cairo_arc(cr, 20, 20, 19, 0, 2 * kPi);
    cairo_set_source(cr, grad);
    cairo_fill(cr);
    cairo_pattern_destroy(grad);
}

void DrawQuestionIcon(cairo_t* cr) {
    DrawBadge(cr, kTeal);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, 3.4);
    SetColor(cr, kWhite);
    cairo_arc(cr, 20, 15.5, 5.8, -kPi * 0.95, kPi * 0.35);
    cairo_curve_to(cr, 22, 21, 20, 21.5, 20, 24);
    cairo_stroke(cr);
    cairo_arc(cr, 20, 30, 2.2, 0, 2 * kPi);
    cairo_fill(cr);
}

void DrawWarningIcon(cairo_t* cr) {
    DrawBadge(cr, kAmber);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, 3.6);
    SetColor(cr, kWhite);
    cairo_move_to(cr, 20, 10.5);
    cairo_line_to(cr, 20, 23.5);
    cairo_stroke(cr);
    cairo_arc(cr, 20, 30, 2.3, 0, 2 * kPi);
    cairo_fill(cr);
}

void DrawNetworkIcon(cairo_t* cr) {
    DrawBadge(cr, kSky);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, 2.8);
    SetColor(cr, kWhite);
    const double cx = 20, cy = 28;
    for (int i = 0; i < 3; ++i) {
        const double r = 6 + i * 6;
        cairo_new_sub_path(cr);
        cairo_arc(cr, cx, cy, r, -kPi * 0.78, -kPi * 0.22);
        cairo_stroke(cr);
    }
    cairo_arc(cr, cx, cy, 2.4, 0, 2 * kPi);
    cairo_fill(cr);
}

void EmitDialogs(Output& out) {
    out.Emit("res/MessageBoxWnd/icoQuest.png", 40, 40, DrawQuestionIcon);
    out.Emit("res/MessageBoxWnd/icoWarn.png", 40, 40, DrawWarningIcon);
    out.Emit("res/MessageBoxWnd/icoNetwork.png", 40, 40, DrawNetworkIcon);
    // The markup writes the dialog button texts: the "yes" and "latest" faces carry teal
    // text (outlined), the "no" and "open" faces white text (filled).
    for (int s = 0; s < kStates; ++s) {
        const std::string n = std::to_string(s + 1);
        out.Emit("res/MessageBoxWnd/yesBtn" + n + ".png", 100, 30,
                 [s](cairo_t* cr) { DrawOutlineButton(cr, 100, 30, s, 3); });
        out.Emit("res/MessageBoxWnd/noBtn" + n + ".png", 100, 30,
                 [s](cairo_t* cr) { DrawSolidButton(cr, 100, 30, s, 3); });
        out.Emit("res/MessageBoxWnd/openBtn" + n + ".png", 138, 30,
                 [s](cairo_t* cr) { DrawSolidButton(cr, 138, 30, s, 3); });
        out.Emit("res/MessageBoxWnd/latestBtn" + n + ".png", 138, 30,
                 [s](cairo_t* cr) { DrawOutlineButton(cr, 138, 30, s, 3); });
    }
}

}  // namespace

// [SECTION] Entry point

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    if (argc != 2) {
        std::fprintf(stderr,
                     "usage: glyphora-skinart OUTPUT_FOLDER\n"
                     "  draws every skin image into OUTPUT_FOLDER/res/...\n");
        return 2;
    }
    Output out{fs::path(argv[1])};
    EmitCommon(out);
    EmitMainWindow(out);
    EmitAnimation(out);
    EmitDialogs(out);
    std::printf("skinart: %d images written to %s, %d failed\n", out.written, argv[1], out.failed);
    return out.failed == 0 ? 0 : 1;
}
