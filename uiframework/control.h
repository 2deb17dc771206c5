// Windowless controls: the base class every control of a skinned window derives from.
//
// A window (SkinWindow, window.h) owns one tree of controls built from its XML
// description. Controls have no native window: the window lays them out, hit-tests them,
// sends them events and paints them into its frame image. All of it runs on the UI thread.
//
// Writing a custom control (for a window's own factory, SkinWindow::CreateControl):
//   class SequenceLabel : public Ui::Label {
//     public:
//       std::wstring_view GetClass() const override { return L"SequenceLabel"; }
//       Ui::Control* GetInterface(std::wstring_view n) override {
//           return n == L"SequenceLabel" ? this : Label::GetInterface(n); }
//       void SetAttribute(std::wstring_view n, std::wstring_view v) override {
//           if (n == L"sequencecount") ... else Label::SetAttribute(n, v); }
//       void DoInit() override { if (autoStart_) SetTimer(2100, span_); }
//       void DoEvent(Ui::Event& e) override {
//           Label::DoEvent(e);                    // a timer event raises "timer" first
//           if (e.type == Ui::EventType::kTimer && e.wParam == 2100) {
//               SetBkImage(NextFrameName());      // repaints this control only
//           }
//       }
//       void PaintStatusImage(Ui::Painter&) override {}  // draw nothing there
//   };
// The markup builder calls SetAttribute for every attribute of the element in document
// order, adds the control to its parent, and calls DoInit once the whole window is built.
// Destroying a control kills its timers.
//
// Paint order of DoPaint: background colour, background image, status image, text, border.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "uiframework/geometry.h"

namespace Ui {

class SkinWindow;
class Painter;
class Control;

/// Colours are 32-bit AARRGGBB values (alpha first); 0 means "not set" where a control
/// falls back to another colour.
using Color = uint32_t;

enum class HAlign { kLeft, kCenter, kRight };
enum class VAlign { kTop, kCenter, kBottom };

enum class EventType {
    kMouseEnter,  // the pointer moved onto the control
    kMouseLeave,  // the pointer left it (or a press captured elsewhere ended)
    kMouseMove,
    kButtonDown,  // left button pressed over the control
    kButtonUp,    // left button released; sent to the control that got the press
    kKeyDown,     // key: virtual key, modifiers: kMod* bits; to the focused control
    kChar,        // text: typed or composed text; to the focused control
    kSetFocus,
    kKillFocus,
    kTimer,        // wParam: timer id
    kComposition,  // text: the input method's text being composed (empty: none)
};

struct Event {
    Event() = default;
    explicit Event(EventType t, Point p = {}) : type(t), pt(p) {}

    EventType type = EventType::kMouseMove;
    Point pt;  // client coordinates of the window
    uint32_t key = 0;
    uint32_t modifiers = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
    std::wstring text;
};

/// A string-typed notification from a control to its window (SkinWindow::OnNotify).
/// Types raised by the framework: "click", "selectchanged" (check box), "tabselect"
/// (wParam new index, lParam old index), "timer" (wParam timer id), "setfocus",
/// "killfocus", "textchanged" (edit), "return" (Enter in an edit). Windows raise their own
/// ("install", "checknet") with SendNotify / PostNotify.
struct Notify {
    std::wstring type;
    Control* sender = nullptr;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
};

class Control {
public:
    Control();
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    // ---- identity -----------------------------------------------------------------------
    /// The class name ("Control", "Label", "Button", ...).
    virtual std::wstring_view GetClass() const { return L"Control"; }
    /// `this` when the control is, or derives from, the named kind ("Control", "Label",
    /// "Button", "CheckBox", "Edit", "Progress", "Container", "VerticalLayout",
    /// "HorizontalLayout", "TabLayout"); null otherwise. Compared exactly.
    virtual Control* GetInterface(std::wstring_view name);
    const std::wstring& GetName() const { return name_; }
    void SetName(std::wstring name) { name_ = std::move(name); }

    // ---- tree ---------------------------------------------------------------------------
    Control* GetParent() const { return parent_; }
    SkinWindow* GetWindow() const { return window_; }
    virtual size_t ChildCount() const { return 0; }
    virtual Control* ChildAt(size_t) const { return nullptr; }
    /// This control or the first descendant (depth first, document order) named `name`.
    Control* FindControl(std::wstring_view name);

    // ---- markup -------------------------------------------------------------------------
    /// Applies one markup attribute; unknown names are ignored. Derived controls handle
    /// their own names first and pass the rest to their base.
    virtual void SetAttribute(std::wstring_view name, std::wstring_view value);

    // ---- state --------------------------------------------------------------------------
    const std::wstring& GetText() const { return text_; }
    virtual void SetText(std::wstring_view text);
    const std::wstring& GetUserData() const { return userData_; }
    void SetUserData(std::wstring_view data) { userData_ = data; }
    bool IsVisible() const { return visible_; }
    /// Visible and every ancestor visible (a tab layout hides its other pages).
    bool IsReallyVisible() const;
    virtual void SetVisible(bool visible);
    bool IsEnabled() const { return enabled_; }
    virtual void SetEnabled(bool enabled);
    bool IsFocused() const;
    /// Gives this control the keyboard focus of its window.
    void SetFocus();
    /// Whether a press on it may start a window drag inside the caption area. Buttons,
    /// check boxes and edits answer false.
    virtual bool AcceptsCaptionDrag() const { return true; }

    Color GetBkColor() const { return bkColor_; }
    void SetBkColor(Color c);
    const std::wstring& GetBkImage() const { return bkImage_; }
    /// An image string (see attributes.h: a package name or "file='..' dest='..' ...").
    void SetBkImage(std::wstring_view image);
    int GetBorderSize() const { return borderSize_; }
    Size GetBorderRound() const { return borderRound_; }

    // ---- layout -------------------------------------------------------------------------
    /// Fixed size; 0 means "share the free space of the parent layout".
    int GetFixedWidth() const { return fixedWidth_; }
    int GetFixedHeight() const { return fixedHeight_; }
    void SetFixedWidth(int cx);
    void SetFixedHeight(int cy);
    /// Outer margin inside the parent layout (l, t, r, b).
    const Rect& GetPadding() const { return padding_; }
    void SetPadding(const Rect& padding);
    /// The control's rectangle in client coordinates, as last laid out.
    const Rect& GetPos() const { return pos_; }
    /// Places the control (and lays out its children); repaints old and new places.
    virtual void SetPos(const Rect& pos);
    /// Marks the window's layout stale; the next paint lays everything out again.
    void NeedUpdate();

    // ---- behaviour ----------------------------------------------------------------------
    /// Once, after the window's whole tree is built and attached.
    virtual void DoInit() {}
    /// Input, focus and timer events. The base sends "timer" for kTimer and
    /// "setfocus"/"killfocus"; derived controls call it for what they do not handle.
    virtual void DoEvent(Event& event);

    // ---- painting -----------------------------------------------------------------------
    virtual void DoPaint(Painter& painter);
    virtual void PaintBkColor(Painter& painter);
    virtual void PaintBkImage(Painter& painter);
    virtual void PaintStatusImage(Painter&) {}
    virtual void PaintText(Painter&) {}
    virtual void PaintBorder(Painter& painter);
    /// Asks for this control's rectangle to be repainted with the next frame.
    void Invalidate();

    // ---- timers -------------------------------------------------------------------------
    /// Arms (or re-arms, never doubling) timer `id` of this control with a period in
    /// milliseconds (clamped to 10 .. 2147483647). Its ticks arrive as kTimer events.
    /// False when the control is not in a live window.
    bool SetTimer(uint32_t id, uint32_t elapseMs);
    bool KillTimer(uint32_t id);

    // ---- framework internals ------------------------------------------------------------
    /// Called by containers and the window when the control joins a tree.
    virtual void Attach(SkinWindow* window, Control* parent);

protected:
    std::wstring name_;
    std::wstring text_;
    std::wstring userData_;
    std::wstring bkImage_;
    Color bkColor_ = 0;
    Color borderColor_ = 0;
    int borderSize_ = 0;
    Size borderRound_;
    int fixedWidth_ = 0;
    int fixedHeight_ = 0;
    Rect padding_;
    Rect pos_;
    bool visible_ = true;
    bool enabled_ = true;

private:
    SkinWindow* window_ = nullptr;
    Control* parent_ = nullptr;
};

}  // namespace Ui
