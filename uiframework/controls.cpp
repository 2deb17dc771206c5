#include "uiframework/controls.h"

#include <algorithm>

#include "uiframework/attributes.h"
#include "uiframework/backend.h"
#include "uiframework/painter.h"
#include "uiframework/runtime.h"
#include "uiframework/text_layout.h"
#include "uiframework/window.h"

namespace Ui {

namespace {

constexpr Color kDefaultTextColor = 0xFF000000;
constexpr Color kDefaultDisabledTextColor = 0xFFA7A6AA;

Rect Deflate(const Rect& r, const Rect& by) {
    return {r.left + by.left, r.top + by.top, r.right - by.right, r.bottom - by.bottom};
}

}  // namespace

// ---- Label ----------------------------------------------------------------------------------

Control* Label::GetInterface(std::wstring_view name) {
    return name == L"Label" ? this : Control::GetInterface(name);
}

void Label::SetAttribute(std::wstring_view name, std::wstring_view value) {
    if (name == L"font") {
        SetFont(ParseInt(value));
    } else if (name == L"textcolor") {
        SetTextColor(ParseColor(value));
    } else if (name == L"disabledtextcolor") {
        disabledTextColor_ = ParseColor(value);
    } else if (name == L"align") {
        if (value.find(L"center") != std::wstring_view::npos)
            align_ = HAlign::kCenter;
        else if (value.find(L"right") != std::wstring_view::npos)
            align_ = HAlign::kRight;
        else if (value.find(L"left") != std::wstring_view::npos)
            align_ = HAlign::kLeft;
    } else if (name == L"valign") {
        if (value.find(L"center") != std::wstring_view::npos ||
            value.find(L"vcenter") != std::wstring_view::npos)
            valign_ = VAlign::kCenter;
        else if (value.find(L"top") != std::wstring_view::npos)
            valign_ = VAlign::kTop;
        else if (value.find(L"bottom") != std::wstring_view::npos)
            valign_ = VAlign::kBottom;
    } else if (name == L"textpadding") {
        SetTextPadding(ParseRect(value));
    } else if (name == L"multiline") {
        SetMultiLine(ParseBool(value));
    } else {
        Control::SetAttribute(name, value);
    }
}

void Label::SetFont(int index) {
    font_ = index;
    Invalidate();
}

void Label::SetTextColor(Color c) {
    textColor_ = c;
    Invalidate();
}

void Label::SetAlign(HAlign a) {
    align_ = a;
    Invalidate();
}

void Label::SetTextPadding(const Rect& r) {
    textPadding_ = {ClampCoordinate(r.left), ClampCoordinate(r.top), ClampCoordinate(r.right),
                    ClampCoordinate(r.bottom)};
    Invalidate();
}

void Label::SetMultiLine(bool on) {
    multiLine_ = on;
    Invalidate();
}

Size Label::MeasureText(int maxWidth) const {
    SkinWindow* w = GetWindow();
    if (!w)
        return {};
    return MeasureTextExtent(w->GetFont(font_), text_, multiLine_, maxWidth);
}

Color Label::CurrentTextColor() const {
    if (!IsEnabled())
        return disabledTextColor_ ? disabledTextColor_ : kDefaultDisabledTextColor;
    return textColor_ ? textColor_ : kDefaultTextColor;
}

void Label::DrawTextIn(Painter& painter, Color color) {
    TextStyle style;
    style.align = align_;
    style.valign = valign_;
    style.multiLine = multiLine_;
    painter.DrawText(Deflate(pos_, textPadding_), text_, font_, color, style);
}

void Label::PaintText(Painter& painter) {
    DrawTextIn(painter, CurrentTextColor());
}

// ---- Button ---------------------------------------------------------------------------------

Control* Button::GetInterface(std::wstring_view name) {
    return name == L"Button" ? this : Label::GetInterface(name);
}

void Button::SetAttribute(std::wstring_view name, std::wstring_view value) {
    if (name == L"normalimage")
        SetNormalImage(value);
    else if (name == L"hotimage")
        SetHotImage(value);
    else if (name == L"pushedimage")
        SetPushedImage(value);
    else if (name == L"disabledimage")
        SetDisabledImage(value);
    else if (name == L"hotbkcolor")
        hotBkColor_ = ParseColor(value);
    else if (name == L"pushedbkcolor")
        pushedBkColor_ = ParseColor(value);
    else if (name == L"hottextcolor")
        hotTextColor_ = ParseColor(value);
    else if (name == L"pushedtextcolor")
        pushedTextColor_ = ParseColor(value);
    else
        Label::SetAttribute(name, value);
}

void Button::SetNormalImage(std::wstring_view s) {
    normalImage_ = s;
    Invalidate();
}
void Button::SetHotImage(std::wstring_view s) {
    hotImage_ = s;
    Invalidate();
}
void Button::SetPushedImage(std::wstring_view s) {
    pushedImage_ = s;
    Invalidate();
}
void Button::SetDisabledImage(std::wstring_view s) {
    disabledImage_ = s;
    Invalidate();
}

void Button::SetEnabled(bool enabled) {
    if (!enabled) {
        hot_ = false;
        pushed_ = false;
    }
    Label::SetEnabled(enabled);
}

void Button::DoEvent(Event& event) {
    switch (event.type) {
        case EventType::kMouseEnter:
            if (IsEnabled()) {
                hot_ = true;
                Invalidate();
            }
            return;
        case EventType::kMouseLeave:
            if (hot_) {
                hot_ = false;
                Invalidate();
            }
            return;
        case EventType::kMouseMove: {
            bool inside = pos_.Contains(event.pt);
            if (pushed_ && inside != hot_) {
                hot_ = inside;
                Invalidate();
            }
            return;
        }
        case EventType::kButtonDown:
            if (IsEnabled()) {
                pushed_ = true;
                hot_ = pos_.Contains(event.pt);
                Invalidate();
            }
            return;
        case EventType::kButtonUp: {
            bool wasPushed = pushed_;
            pushed_ = false;
            Invalidate();
            if (wasPushed && IsEnabled() && pos_.Contains(event.pt))
                Activate();
            return;
        }
        default:
            Label::DoEvent(event);
    }
}

void Button::Activate() {
    if (!IsEnabled() || !GetWindow())
        return;
    GetWindow()->SendNotify(this, L"click");
}

void Button::PaintBkColor(Painter& painter) {
    Color c = bkColor_;
    if (IsEnabled()) {
        if (IsPushed())
            c = pushedBkColor_ ? pushedBkColor_ : (hotBkColor_ ? hotBkColor_ : bkColor_);
        else if (hot_ && hotBkColor_)
            c = hotBkColor_;
    }
    painter.FillRect(pos_, c, borderRound_);
}

const std::wstring& Button::CurrentStateImage() const {
    if (!IsEnabled())
        return disabledImage_.empty() ? normalImage_ : disabledImage_;
    if (IsPushed()) {
        if (!pushedImage_.empty())
            return pushedImage_;
        return hotImage_.empty() ? normalImage_ : hotImage_;
    }
    if (hot_ && !hotImage_.empty())
        return hotImage_;
    return normalImage_;
}

void Button::PaintStatusImage(Painter& painter) {
    const std::wstring& image = CurrentStateImage();
    // A state image that is missing from the package falls back to the normal one, so a
    // disabled button without a disabled image still shows.
    if (!painter.DrawImage(pos_, image) && &image != &normalImage_) {
        painter.DrawImage(pos_, normalImage_);
    }
}

Color Button::CurrentTextColor() const {
    if (IsEnabled()) {
        if (IsPushed() && pushedTextColor_)
            return pushedTextColor_;
        if (IsPushed() && hotTextColor_)
            return hotTextColor_;
        if (hot_ && hotTextColor_)
            return hotTextColor_;
    }
    return Label::CurrentTextColor();
}

// ---- CheckBox -------------------------------------------------------------------------------

Control* CheckBox::GetInterface(std::wstring_view name) {
    if (name == L"CheckBox" || name == L"Option")
        return this;
    return Button::GetInterface(name);
}

void CheckBox::SetAttribute(std::wstring_view name, std::wstring_view value) {
    if (name == L"selected")
        SetSelected(ParseBool(value), false);
    else if (name == L"selectedimage") {
        selectedImage_ = value;
        Invalidate();
    } else if (name == L"selectedtextcolor")
        selectedTextColor_ = ParseColor(value);
    else
        Button::SetAttribute(name, value);
}

void CheckBox::SetSelected(bool selected, bool notify) {
    if (selected_ == selected)
        return;
    selected_ = selected;
    Invalidate();
    if (notify && GetWindow())
        GetWindow()->SendNotify(this, L"selectchanged");
}

void CheckBox::Activate() {
    if (!IsEnabled() || !GetWindow())
        return;
    Button::Activate();
    SetSelected(!selected_);
}

void CheckBox::PaintStatusImage(Painter& painter) {
    if (selected_ && !selectedImage_.empty()) {
        if (painter.DrawImage(pos_, selectedImage_))
            return;
    }
    Button::PaintStatusImage(painter);
}

Color CheckBox::CurrentTextColor() const {
    if (selected_ && selectedTextColor_ && IsEnabled())
        return selectedTextColor_;
    return Button::CurrentTextColor();
}

// ---- Edit -----------------------------------------------------------------------------------

Control* Edit::GetInterface(std::wstring_view name) {
    return name == L"Edit" ? this : Label::GetInterface(name);
}

void Edit::SetAttribute(std::wstring_view name, std::wstring_view value) {
    if (name == L"maxchar")
        maxChar_ = static_cast<size_t>(std::max(0, ParseInt(value)));
    else if (name == L"readonly")
        readOnly_ = ParseBool(value);
    else
        Label::SetAttribute(name, value);
}

void Edit::SetText(std::wstring_view text) {
    Label::SetText(text.substr(0, std::min(text.size(), maxChar_)));
    anchor_ = caret_ = text_.size();
}

size_t Edit::GetSelStart() const {
    return std::min(anchor_, caret_);
}
size_t Edit::GetSelEnd() const {
    return std::max(anchor_, caret_);
}

void Edit::SetSel(size_t anchor, size_t caret) {
    anchor_ = std::min(anchor, text_.size());
    caret_ = std::min(caret, text_.size());
    Invalidate();
}

std::wstring Edit::GetSelText() const {
    return text_.substr(GetSelStart(), GetSelEnd() - GetSelStart());
}

void Edit::ReplaceSel(std::wstring_view text) {
    if (readOnly_)
        return;
    // Control characters (line breaks of a pasted block) do not belong in a one-line edit.
    std::wstring clean;
    for (wchar_t c : text) {
        if (c >= 0x20 && c != 0x7F)
            clean.push_back(c);
    }
    size_t start = GetSelStart(), end = GetSelEnd();
    std::wstring next = text_.substr(0, start);
    size_t room =
        maxChar_ > text_.size() - (end - start) ? maxChar_ - (text_.size() - (end - start)) : 0;
    if (clean.size() > room)
        clean.resize(room);
    next += clean;
    next += text_.substr(end);
    bool changed = next != text_;
    text_ = next;
    anchor_ = caret_ = start + clean.size();
    Invalidate();
    if (changed && GetWindow())
        GetWindow()->SendNotify(this, L"textchanged");
}

size_t Edit::OffsetAt(Point pt) const {
    SkinWindow* w = GetWindow();
    if (!w)
        return text_.size();
    Rect area = Deflate(pos_, textPadding_);
    int x = pt.x - area.left;
    const FontInfo& font = w->GetFont(font_);
    // Nearest character boundary by measuring prefixes (texts are short: maxchar 255).
    size_t best = 0;
    int bestDist = x < 0 ? -x : x;
    for (size_t i = 1; i <= text_.size(); ++i) {
        int width = MeasureTextExtent(font, std::wstring_view(text_).substr(0, i)).cx;
        int d = width > x ? width - x : x - width;
        if (d < bestDist) {
            best = i;
            bestDist = d;
        }
    }
    return best;
}

Rect Edit::CaretRect() const {
    Rect area = Deflate(pos_, textPadding_);
    SkinWindow* w = GetWindow();
    if (!w)
        return area;
    const FontInfo& font = w->GetFont(font_);
    int x = area.left + MeasureTextExtent(font, std::wstring_view(text_).substr(0, caret_)).cx;
    int h = MeasureTextExtent(font, L"Ag").cy;
    int top = area.top + (area.Height() - h) / 2;
    return {x, top, x + 1, top + h};
}

void Edit::DoEvent(Event& event) {
    SkinWindow* w = GetWindow();
    switch (event.type) {
        case EventType::kButtonDown:
            if (!IsEnabled())
                return;
            dragging_ = true;
            SetSel(OffsetAt(event.pt), OffsetAt(event.pt));
            return;
        case EventType::kMouseMove:
            if (dragging_)
                SetSel(anchor_, OffsetAt(event.pt));
            return;
        case EventType::kButtonUp:
            dragging_ = false;
            return;
        case EventType::kSetFocus:
            if (w && w->Native())
                w->Native()->SetTextInput(true, CaretRect());
            Invalidate();
            Label::DoEvent(event);
            return;
        case EventType::kKillFocus:
            if (w && w->Native())
                w->Native()->SetTextInput(false, {});
            dragging_ = false;
            composition_.clear();
            Invalidate();
            Label::DoEvent(event);
            return;
        case EventType::kChar:
            composition_.clear();
            ReplaceSel(event.text);
            return;
        case EventType::kComposition:
            if (composition_ != event.text) {
                composition_ = event.text;
                Invalidate();
            }
            return;
        case EventType::kKeyDown: {
            bool shift = event.modifiers & kModShift;
            bool ctrl = event.modifiers & kModCtrl;
            size_t len = text_.size();
            Runtime* rt = Runtime::Current();
            switch (event.key) {
                case kVkLeft:
                    if (!shift && anchor_ != caret_)
                        SetSel(GetSelStart(), GetSelStart());
                    else
                        SetSel(shift ? anchor_ : caret_ - (caret_ > 0),
                               caret_ > 0 ? caret_ - 1 : 0);
                    break;
                case kVkRight:
                    if (!shift && anchor_ != caret_)
                        SetSel(GetSelEnd(), GetSelEnd());
                    else
                        SetSel(shift ? anchor_ : std::min(caret_ + 1, len),
                               std::min(caret_ + 1, len));
                    break;
                case kVkHome:
                    SetSel(shift ? anchor_ : 0, 0);
                    break;
                case kVkEnd:
                    SetSel(shift ? anchor_ : len, len);
                    break;
                case kVkBack:
                    if (anchor_ == caret_ && caret_ > 0)
                        SetSel(caret_ - 1, caret_);
                    ReplaceSel(L"");
                    break;
                case kVkDelete:
                    if (anchor_ == caret_ && caret_ < len)
                        SetSel(caret_, caret_ + 1);
                    ReplaceSel(L"");
                    break;
                case kVkA:
                    if (ctrl)
                        SetSel(0, len);
                    break;
                case kVkC:
                case kVkX:
                    if (ctrl && rt && anchor_ != caret_) {
                        rt->GetBackend().SetClipboard(GetSelText());
                        if (event.key == kVkX)
                            ReplaceSel(L"");
                    }
                    break;
                case kVkV:
                    if (ctrl && rt) {
                        std::wstring clip;
                        if (rt->GetBackend().GetClipboard(clip))
                            ReplaceSel(clip);
                    }
                    break;
                case kVkReturn:
                    if (w)
                        w->SendNotify(this, L"return");
                    break;
                default:
                    break;
            }
            if (w && w->Native() && IsFocused())
                w->Native()->SetTextInput(true, CaretRect());
            return;
        }
        default:
            Label::DoEvent(event);
    }
}

void Edit::PaintText(Painter& painter) {
    SkinWindow* w = GetWindow();
    if (!w)
        return;
    Rect area = Deflate(pos_, textPadding_);
    const FontInfo& font = w->GetFont(font_);
    if (IsFocused() && anchor_ != caret_) {
        int x0 = MeasureTextExtent(font, std::wstring_view(text_).substr(0, GetSelStart())).cx;
        int x1 = MeasureTextExtent(font, std::wstring_view(text_).substr(0, GetSelEnd())).cx;
        Rect caret = CaretRect();
        painter.FillRect(
            Rect{area.left + x0, caret.top, area.left + x1, caret.bottom}.Intersect(area),
            0xFF99C9EF);
    }
    TextStyle style;
    style.align = HAlign::kLeft;  // caret arithmetic assumes left-aligned text
    style.valign = valign_;
    if (composition_.empty()) {
        painter.DrawText(area, text_, font_, CurrentTextColor(), style);
        if (IsFocused())
            painter.FillRect(CaretRect().Intersect(area), CurrentTextColor());
        return;
    }
    // The text being composed sits at the caret, underlined, the rest moved after it.
    std::wstring before = text_.substr(0, caret_), after = text_.substr(caret_);
    int x0 = MeasureTextExtent(font, before).cx;
    int x1 = x0 + MeasureTextExtent(font, composition_).cx;
    painter.DrawText(area, before, font_, CurrentTextColor(), style);
    TextStyle underlined = style;
    underlined.underline = true;
    painter.DrawText(Rect{area.left + x0, area.top, area.right, area.bottom}.Intersect(area),
                     composition_, font_, CurrentTextColor(), underlined);
    painter.DrawText(Rect{area.left + x1, area.top, area.right, area.bottom}.Intersect(area), after,
                     font_, CurrentTextColor(), style);
}

// ---- Progress -------------------------------------------------------------------------------

Control* Progress::GetInterface(std::wstring_view name) {
    return name == L"Progress" ? this : Label::GetInterface(name);
}

void Progress::SetAttribute(std::wstring_view name, std::wstring_view value) {
    if (name == L"foreimage")
        SetForeImage(value);
    else if (name == L"min")
        SetRange(ParseInt(value), max_);
    else if (name == L"max")
        SetRange(min_, ParseInt(value));
    else if (name == L"value")
        SetValue(ParseInt(value));
    else
        Label::SetAttribute(name, value);
}

void Progress::SetValue(int value) {
    value = std::clamp(value, min_, std::max(min_, max_));
    if (value == value_)
        return;
    value_ = value;
    Invalidate();
}

void Progress::SetRange(int min, int max) {
    min_ = min;
    max_ = max < min ? min : max;
    value_ = std::clamp(value_, min_, max_);
    Invalidate();
}

void Progress::SetForeImage(std::wstring_view image) {
    foreImage_ = image;
    Invalidate();
}

void Progress::PaintStatusImage(Painter& painter) {
    if (foreImage_.empty() || max_ <= min_ || value_ <= min_)
        return;
    long long span = static_cast<long long>(max_) - min_;
    int filled = static_cast<int>(static_cast<long long>(pos_.Width()) *
                                  (static_cast<long long>(value_) - min_) / span);
    cairo_t* cr = painter.Cr();
    cairo_save(cr);
    cairo_rectangle(cr, pos_.left, pos_.top, filled, pos_.Height());
    cairo_clip(cr);
    painter.DrawImage(pos_, foreImage_);
    cairo_restore(cr);
}

// ---- Containers -----------------------------------------------------------------------------

Control* Container::GetInterface(std::wstring_view name) {
    return name == L"Container" ? this : Control::GetInterface(name);
}

Control* Container::Add(std::unique_ptr<Control> child) {
    Control* raw = child.get();
    raw->Attach(GetWindow(), this);
    children_.push_back(std::move(child));
    NeedUpdate();
    return raw;
}

void Container::Attach(SkinWindow* window, Control* parent) {
    Control::Attach(window, parent);
    for (auto& c : children_)
        c->Attach(window, this);
}

void Container::DoPaint(Painter& painter) {
    Control::DoPaint(painter);
    for (auto& c : children_) {
        if (!c->IsVisible())
            continue;
        Rect r = c->GetPos().Intersect(painter.Dirty());
        if (r.IsEmpty())
            continue;
        Painter inner(painter.Window(), painter.Cr(), painter.Dirty());
        cairo_save(painter.Cr());
        // A child draws only inside itself and its parent.
        Rect clip = c->GetPos().Intersect(GetPos());
        cairo_rectangle(painter.Cr(), clip.left, clip.top, clip.Width(), clip.Height());
        cairo_clip(painter.Cr());
        painter.Window().NoteControlPainted(c.get());
        c->DoPaint(inner);
        cairo_restore(painter.Cr());
    }
}

void Container::SetPos(const Rect& pos) {
    Control::SetPos(pos);
    LayoutChildren(pos);
}

void Container::LayoutChildren(const Rect& area) {
    for (auto& c : children_)
        c->SetPos(Deflate(area, c->GetPadding()));
}

namespace {

// Places the visible children of a stacking layout one after another along the main axis
// (down the area when `vertical`, else across it from the left), with the rules of
// VerticalLayout: the main-axis length left after fixed lengths and main-axis paddings is
// shared equally by the children without a fixed length, the last of them taking the
// rounding remainder; a child's cross-axis length is its fixed one, else the area's less
// its cross-axis padding. HorizontalLayout is the same with width and height exchanged.
void StackChildren(const std::vector<std::unique_ptr<Control>>& children, const Rect& area,
                   bool vertical) {
    auto fixedLength = [vertical](Control& c) {
        return vertical ? c.GetFixedHeight() : c.GetFixedWidth();
    };
    auto fixedAcross = [vertical](Control& c) {
        return vertical ? c.GetFixedWidth() : c.GetFixedHeight();
    };
    auto padBefore = [vertical](const Rect& p) { return vertical ? p.top : p.left; };
    auto padAfter = [vertical](const Rect& p) { return vertical ? p.bottom : p.right; };
    auto padAcrossBefore = [vertical](const Rect& p) { return vertical ? p.left : p.top; };
    auto padAcrossAfter = [vertical](const Rect& p) { return vertical ? p.right : p.bottom; };
    const int areaStart = vertical ? area.top : area.left;
    const int areaLength = vertical ? area.Height() : area.Width();
    const int areaAcrossStart = vertical ? area.left : area.top;
    const int areaAcross = vertical ? area.Width() : area.Height();

    long long fixed = 0;
    int adjustable = 0;
    for (auto& c : children) {
        if (!c->IsVisible())
            continue;
        const Rect& p = c->GetPadding();
        fixed += padBefore(p) + padAfter(p);
        if (fixedLength(*c) > 0)
            fixed += fixedLength(*c);
        else
            ++adjustable;
    }
    int free = static_cast<int>(std::max<long long>(0, areaLength - fixed));
    int share = adjustable ? free / adjustable : 0;
    int at = areaStart, seen = 0;
    for (auto& c : children) {
        if (!c->IsVisible())
            continue;
        const Rect& p = c->GetPadding();
        int length = fixedLength(*c);
        if (length <= 0)
            length = ++seen == adjustable ? free - share * (adjustable - 1) : share;
        const int room = areaAcross - padAcrossBefore(p) - padAcrossAfter(p);
        int across = fixedAcross(*c) > 0 ? fixedAcross(*c) : room;
        across = std::max(0, std::min(across, room));
        at = ClampCoordinate(at + padBefore(p));
        const int acrossStart = areaAcrossStart + padAcrossBefore(p);
        if (vertical)
            c->SetPos({acrossStart, at, acrossStart + across, ClampCoordinate(at + length)});
        else
            c->SetPos({at, acrossStart, ClampCoordinate(at + length), acrossStart + across});
        at = ClampCoordinate(at + length + padAfter(p));
    }
}

}  // namespace

Control* VerticalLayout::GetInterface(std::wstring_view name) {
    return name == L"VerticalLayout" ? this : Container::GetInterface(name);
}

void VerticalLayout::LayoutChildren(const Rect& area) {
    StackChildren(children_, area, /*vertical=*/true);
}

Control* HorizontalLayout::GetInterface(std::wstring_view name) {
    return name == L"HorizontalLayout" ? this : Container::GetInterface(name);
}

void HorizontalLayout::LayoutChildren(const Rect& area) {
    StackChildren(children_, area, /*vertical=*/false);
}

Control* TabLayout::GetInterface(std::wstring_view name) {
    return name == L"TabLayout" ? this : Container::GetInterface(name);
}

void TabLayout::SetAttribute(std::wstring_view name, std::wstring_view value) {
    if (name == L"selectedid")
        curSel_ = ParseInt(value);
    else
        Container::SetAttribute(name, value);
}

void TabLayout::DoInit() {
    if (curSel_ < 0 || curSel_ >= static_cast<int>(children_.size()))
        curSel_ = 0;
    for (size_t i = 0; i < children_.size(); ++i)
        children_[i]->SetVisible(static_cast<int>(i) == curSel_);
}

bool TabLayout::SelectItem(int index) {
    if (index < 0 || index >= static_cast<int>(children_.size()))
        return false;
    if (index == curSel_ && children_[index]->IsVisible())
        return true;
    int old = curSel_;
    curSel_ = index;
    for (size_t i = 0; i < children_.size(); ++i)
        children_[i]->SetVisible(static_cast<int>(i) == curSel_);
    NeedUpdate();
    Invalidate();
    if (GetWindow())
        GetWindow()->SendNotify(this, L"tabselect", static_cast<uintptr_t>(index), old);
    return true;
}

void TabLayout::LayoutChildren(const Rect& area) {
    for (auto& c : children_) {
        const Rect& p = c->GetPadding();
        Rect r = Deflate(area, p);
        if (c->GetFixedWidth() > 0)
            r.right = std::min(r.right, r.left + c->GetFixedWidth());
        if (c->GetFixedHeight() > 0)
            r.bottom = std::min(r.bottom, r.top + c->GetFixedHeight());
        c->SetPos(r);
    }
}

}  // namespace Ui
