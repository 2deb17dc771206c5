// The framework's own controls: labels, buttons, check boxes, edits, progress bars and the
// layouts (vertical, horizontal, tab). Markup element names map to these classes; any
// other element name is offered to the window's factory (SkinWindow::CreateControl).
//
// State-dependent drawing, as a table:
//   control   | state     | background colour        | image          | text colour
//   Button    | normal    | bkcolor                  | normalimage    | textcolor
//             | hot       | hotbkcolor (else bkcolor)| hotimage (else normal) | hottextcolor (else
//             textcolor) | pushed    | pushedbkcolor (else hot) | pushedimage (else hot) |
//             pushedtextcolor (else hot) | disabled  | bkcolor                  | disabledimage
//             (else normal) | disabledtextcolor (else textcolor)
//   CheckBox  | selected  | as Button                | selectedimage over the state image |
//   selectedtextcolor (else textcolor) Progress  | any       | bkcolor, bkimage         | foreimage
//   clipped to the value's share of the width
// "Hot" is the pointer over the control; "pushed" is a press on it that has not ended and
// the pointer is still over it. A click is a press and a release on the same enabled
// control; a disabled control ignores the mouse.
#pragma once

#include <memory>
#include <vector>

#include "uiframework/control.h"

namespace Ui {

/// Text in the control's font. Attributes: text, font, textcolor, disabledtextcolor, align,
/// valign, textpadding, multiline (wraps; otherwise one line, clipped), showhtml ignored.
class Label : public Control {
public:
    std::wstring_view GetClass() const override { return L"Label"; }
    Control* GetInterface(std::wstring_view name) override;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;
    void PaintText(Painter& painter) override;

    /// Font index of the window's font table; -1 = the window's default font.
    int GetFont() const { return font_; }
    void SetFont(int index);
    Color GetTextColor() const { return textColor_; }
    void SetTextColor(Color c);
    void SetDisabledTextColor(Color c) { disabledTextColor_ = c; }
    HAlign GetAlign() const { return align_; }
    VAlign GetVAlign() const { return valign_; }
    void SetAlign(HAlign a);
    const Rect& GetTextPadding() const { return textPadding_; }
    void SetTextPadding(const Rect& r);
    bool IsMultiLine() const { return multiLine_; }
    void SetMultiLine(bool on);
    /// Size of the text in this label's font (one line unless multiline, where `maxWidth`
    /// bounds the lines); textpadding not included.
    Size MeasureText(int maxWidth = -1) const;

protected:
    /// The colour the text is drawn in now (state dependent in derived controls).
    virtual Color CurrentTextColor() const;
    void DrawTextIn(Painter& painter, Color color);

    int font_ = -1;
    Color textColor_ = 0;
    Color disabledTextColor_ = 0;
    HAlign align_ = HAlign::kLeft;
    VAlign valign_ = VAlign::kCenter;
    Rect textPadding_;
    bool multiLine_ = false;
};

class Button : public Label {
public:
    Button() { align_ = HAlign::kCenter; }
    std::wstring_view GetClass() const override { return L"Button"; }
    Control* GetInterface(std::wstring_view name) override;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;
    void DoEvent(Event& event) override;
    void PaintBkColor(Painter& painter) override;
    void PaintStatusImage(Painter& painter) override;
    bool AcceptsCaptionDrag() const override { return false; }
    void SetEnabled(bool enabled) override;

    bool IsHot() const { return hot_; }
    bool IsPushed() const { return pushed_ && hot_; }
    void SetNormalImage(std::wstring_view s);
    void SetHotImage(std::wstring_view s);
    void SetPushedImage(std::wstring_view s);
    void SetDisabledImage(std::wstring_view s);
    const std::wstring& GetNormalImage() const { return normalImage_; }
    /// Raises "click" (synchronously) as a completed click does.
    virtual void Activate();

protected:
    Color CurrentTextColor() const override;
    /// The image string for the current state, empty when none applies.
    const std::wstring& CurrentStateImage() const;

    std::wstring normalImage_, hotImage_, pushedImage_, disabledImage_;
    Color hotBkColor_ = 0, pushedBkColor_ = 0;
    Color hotTextColor_ = 0, pushedTextColor_ = 0;
    bool hot_ = false;
    bool pushed_ = false;
};

/// A button with a check mark. Attributes: selected, selectedimage, selectedtextcolor,
/// group ignored. A click toggles the mark and raises "selectchanged" after "click".
class CheckBox : public Button {
public:
    CheckBox() { align_ = HAlign::kLeft; }
    std::wstring_view GetClass() const override { return L"CheckBox"; }
    Control* GetInterface(std::wstring_view name) override;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;
    void PaintStatusImage(Painter& painter) override;
    void Activate() override;

    bool IsSelected() const { return selected_; }
    /// Sets the mark; when it changes and `notify` is true, raises "selectchanged"
    /// synchronously (also from inside another control's handler).
    void SetSelected(bool selected, bool notify = true);

protected:
    Color CurrentTextColor() const override;
    std::wstring selectedImage_;
    Color selectedTextColor_ = 0;
    bool selected_ = false;
};

/// One-line text entry: caret, selection (mouse drag, Shift+arrows, Ctrl+A), typing and
/// composed input from the input method (kChar), Backspace/Delete, Home/End, Ctrl+C/X/V
/// through the clipboard. Attributes: maxchar (default 255), readonly, password ignored.
/// Raises "textchanged" after every edit and "return" on Enter.
class Edit : public Label {
public:
    std::wstring_view GetClass() const override { return L"Edit"; }
    Control* GetInterface(std::wstring_view name) override;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;
    void DoEvent(Event& event) override;
    void PaintText(Painter& painter) override;
    bool AcceptsCaptionDrag() const override { return false; }
    void SetText(std::wstring_view text) override;

    /// Selection as character offsets [start, end) with the caret at `caret`.
    size_t GetSelStart() const;
    size_t GetSelEnd() const;
    size_t GetCaret() const { return caret_; }
    /// Selects [anchor, caret) (either order); offsets are clamped to the text.
    void SetSel(size_t anchor, size_t caret);
    std::wstring GetSelText() const;
    /// Replaces the selection with `text` (cut to maxchar), as typing does.
    void ReplaceSel(std::wstring_view text);
    void SetMaxChar(size_t n) { maxChar_ = n; }
    void SetReadOnly(bool on) { readOnly_ = on; }
    /// The caret's rectangle in client coordinates (the input method places its window
    /// there).
    Rect CaretRect() const;
    /// Text the input method is composing, drawn underlined at the caret (not yet part of
    /// the text).
    const std::wstring& GetComposition() const { return composition_; }

private:
    std::wstring composition_;
    size_t OffsetAt(Point pt) const;
    size_t anchor_ = 0;
    size_t caret_ = 0;
    size_t maxChar_ = 255;
    bool readOnly_ = false;
    bool dragging_ = false;
};

/// Attributes: foreimage, min (0), max (100), value (0), hor ignored (always horizontal),
/// isstretchfore ignored. The fore image is drawn over the full control and clipped to the
/// filled share (value - min) / (max - min) from the left.
class Progress : public Label {
public:
    std::wstring_view GetClass() const override { return L"Progress"; }
    Control* GetInterface(std::wstring_view name) override;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;
    void PaintStatusImage(Painter& painter) override;

    int GetValue() const { return value_; }
    /// Clamped to [min, max].
    void SetValue(int value);
    int GetMinValue() const { return min_; }
    int GetMaxValue() const { return max_; }
    void SetRange(int min, int max);
    void SetForeImage(std::wstring_view image);
    const std::wstring& GetForeImage() const { return foreImage_; }

private:
    std::wstring foreImage_;
    int min_ = 0, max_ = 100, value_ = 0;
};

/// A control with children. Children are owned; they are laid out by the derived layout.
class Container : public Control {
public:
    std::wstring_view GetClass() const override { return L"Container"; }
    Control* GetInterface(std::wstring_view name) override;
    size_t ChildCount() const override { return children_.size(); }
    Control* ChildAt(size_t i) const override {
        return i < children_.size() ? children_[i].get() : nullptr;
    }
    /// Appends a child (attached to this window); returns it.
    Control* Add(std::unique_ptr<Control> child);
    void Attach(SkinWindow* window, Control* parent) override;
    void DoPaint(Painter& painter) override;
    void SetPos(const Rect& pos) override;

protected:
    /// The rectangle left for the children: pos minus nothing (no inset in this
    /// vocabulary); each layout places its children inside it.
    virtual void LayoutChildren(const Rect& area);
    std::vector<std::unique_ptr<Control>> children_;
};

/// Children top to bottom. A child's height is its fixed height (or "pos" height); the
/// height left after fixed children and vertical paddings is shared equally by the visible
/// children without a fixed height, the last of them taking the rounding remainder. A
/// child's width is its fixed width, else the area's width less its horizontal padding;
/// children start at the left edge plus their left padding.
class VerticalLayout : public Container {
public:
    std::wstring_view GetClass() const override { return L"VerticalLayout"; }
    Control* GetInterface(std::wstring_view name) override;

protected:
    void LayoutChildren(const Rect& area) override;
};

/// Children left to right; the same rules with width and height exchanged.
class HorizontalLayout : public Container {
public:
    std::wstring_view GetClass() const override { return L"HorizontalLayout"; }
    Control* GetInterface(std::wstring_view name) override;

protected:
    void LayoutChildren(const Rect& area) override;
};

/// Shows exactly one child (attribute "selectedid", default 0), each child filling the
/// area less its padding. SelectItem raises "tabselect" (wParam new, lParam old index).
class TabLayout : public Container {
public:
    std::wstring_view GetClass() const override { return L"TabLayout"; }
    Control* GetInterface(std::wstring_view name) override;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;
    void DoInit() override;

    int GetCurSel() const { return curSel_; }
    /// Shows child `index`; false when out of range. Selecting the current page again
    /// raises nothing.
    bool SelectItem(int index);

protected:
    void LayoutChildren(const Rect& area) override;

private:
    int curSel_ = 0;
};

}  // namespace Ui
