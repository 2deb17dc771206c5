#include "uiframework/control.h"

#include <algorithm>

#include "uiframework/attributes.h"
#include "uiframework/painter.h"
#include "uiframework/window.h"

namespace Ui {

Control::Control() = default;

Control::~Control() {
    if (window_)
        window_->ControlDestroyed(this);
}

Control* Control::GetInterface(std::wstring_view name) {
    return name == L"Control" ? this : nullptr;
}

Control* Control::FindControl(std::wstring_view name) {
    if (name_ == name)
        return this;
    for (size_t i = 0; i < ChildCount(); ++i) {
        if (Control* found = ChildAt(i)->FindControl(name))
            return found;
    }
    return nullptr;
}

void Control::SetAttribute(std::wstring_view name, std::wstring_view value) {
    if (name == L"name") {
        name_ = value;
    } else if (name == L"text") {
        SetText(value);
    } else if (name == L"userdata") {
        userData_ = value;
    } else if (name == L"visible") {
        SetVisible(ParseBool(value));
    } else if (name == L"enabled") {
        SetEnabled(ParseBool(value));
    } else if (name == L"bkcolor") {
        SetBkColor(ParseColor(value));
    } else if (name == L"bkimage") {
        SetBkImage(value);
    } else if (name == L"bordersize") {
        borderSize_ = std::clamp(ParseInt(value), 0, kMaxCoordinate);
    } else if (name == L"bordercolor") {
        borderColor_ = ParseColor(value);
    } else if (name == L"borderround") {
        borderRound_ = ParseSize(value);
    } else if (name == L"width") {
        SetFixedWidth(ParseInt(value));
    } else if (name == L"height") {
        SetFixedHeight(ParseInt(value));
    } else if (name == L"pos") {
        Rect r = ParseRect(value);
        SetFixedWidth(r.right - r.left);
        SetFixedHeight(r.bottom - r.top);
    } else if (name == L"padding") {
        SetPadding(ParseRect(value));
    }
    // Anything else is not part of the vocabulary: ignored.
}

void Control::SetText(std::wstring_view text) {
    if (text_ == text)
        return;
    text_ = text;
    Invalidate();
}

bool Control::IsReallyVisible() const {
    for (const Control* c = this; c; c = c->parent_) {
        if (!c->visible_)
            return false;
    }
    return true;
}

void Control::SetVisible(bool visible) {
    if (visible_ == visible)
        return;
    visible_ = visible;
    if (window_) {
        if (!visible && window_->GetFocus() && (window_->GetFocus() == this)) {
            window_->SetFocus(nullptr);
        }
        NeedUpdate();
    }
}

void Control::SetEnabled(bool enabled) {
    if (enabled_ == enabled)
        return;
    enabled_ = enabled;
    Invalidate();
}

bool Control::IsFocused() const {
    return window_ && window_->GetFocus() == this;
}

void Control::SetFocus() {
    if (window_)
        window_->SetFocus(this);
}

void Control::SetBkColor(Color c) {
    if (bkColor_ == c)
        return;
    bkColor_ = c;
    Invalidate();
}

void Control::SetBkImage(std::wstring_view image) {
    if (bkImage_ == image)
        return;
    bkImage_ = image;
    Invalidate();
}

void Control::SetFixedWidth(int cx) {
    cx = std::clamp(cx, 0, kMaxCoordinate);
    if (fixedWidth_ == cx)
        return;
    fixedWidth_ = cx;
    NeedUpdate();
}

void Control::SetFixedHeight(int cy) {
    cy = std::clamp(cy, 0, kMaxCoordinate);
    if (fixedHeight_ == cy)
        return;
    fixedHeight_ = cy;
    NeedUpdate();
}

void Control::SetPadding(const Rect& padding) {
    padding_ = {ClampCoordinate(padding.left), ClampCoordinate(padding.top),
                ClampCoordinate(padding.right), ClampCoordinate(padding.bottom)};
    NeedUpdate();
}

void Control::SetPos(const Rect& pos) {
    if (pos_ == pos)
        return;
    Invalidate();
    pos_ = pos;
    Invalidate();
}

void Control::NeedUpdate() {
    if (window_) {
        window_->NeedLayout();
    }
}

void Control::Invalidate() {
    if (window_ && !pos_.IsEmpty())
        window_->Invalidate(pos_);
}

void Control::DoEvent(Event& event) {
    if (!window_)
        return;
    switch (event.type) {
        case EventType::kTimer:
            window_->SendNotify(this, L"timer", event.wParam, event.lParam);
            break;
        case EventType::kSetFocus:
            window_->SendNotify(this, L"setfocus");
            break;
        case EventType::kKillFocus:
            window_->SendNotify(this, L"killfocus");
            break;
        default:
            break;
    }
}

void Control::DoPaint(Painter& painter) {
    PaintBkColor(painter);
    PaintBkImage(painter);
    PaintStatusImage(painter);
    PaintText(painter);
    PaintBorder(painter);
}

void Control::PaintBkColor(Painter& painter) {
    painter.FillRect(pos_, bkColor_, borderRound_);
}

void Control::PaintBkImage(Painter& painter) {
    painter.DrawImage(pos_, bkImage_);
}

void Control::PaintBorder(Painter& painter) {
    painter.StrokeRect(pos_, borderColor_, borderSize_, borderRound_);
}

bool Control::SetTimer(uint32_t id, uint32_t elapseMs) {
    return window_ && window_->SetTimer(this, id, elapseMs);
}

bool Control::KillTimer(uint32_t id) {
    return window_ && window_->KillTimer(this, id);
}

void Control::Attach(SkinWindow* window, Control* parent) {
    window_ = window;
    parent_ = parent;
}

}  // namespace Ui
