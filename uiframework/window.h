// A skinned window: one native window (or a headless frame) whose content is a tree of
// windowless controls built from an XML description.
//
// Making a window class:
//   class CMyDialog : public Ui::SkinWindow {
//     protected:
//       std::wstring GetSkinFile() const override { return L"MessageBox1Wnd.xml"; }
//       std::unique_ptr<Ui::Control> CreateControl(std::wstring_view cls) override {
//           if (EqualsNoCase(cls, L"SequenceLabel")) return std::make_unique<SeqLabel>();
//           return nullptr;                       // unknown element: no control
//       }
//       void OnWindowReady() override { ok_ = FindControlAs<Ui::Button>(L"okBtn"); }
//       void OnNotify(Ui::Notify& n) override {
//           if (n.type == L"click" && n.sender == ok_) { result_ = 0; Close(0); return; }
//           SkinWindow::OnNotify(n);             // closebtn closes, minbtn minimises
//       }
//       bool OnKeyMessage(Ui::Message& m) override {
//           return m.id == Ui::kMsgKeyDown && m.wParam == Ui::kVkEscape;  // swallowed
//       }
//   };
//   CMyDialog d; if (d.Create(owner, L"消息框")) { d.CenterWindow(); int r = d.ShowModal(); }
//
// Create: reads the description through the runtime's resource source, builds the control
// tree (framework element names first, then CreateControl for any other name), reads the
// root's size, caption, roundcorner and fonts, keeps every other root attribute as a custom
// attribute (GetCustomAttribute: the shadow attributes are read from there), creates the
// native window hidden, calls DoInit on every control, then OnWindowReady. A description
// that is missing, unreadable, empty, larger than 4 MiB or not well-formed XML stops the
// creation: error box kResourceLoadFailedText (standard error without a display) and exit
// code 1 (RuntimeOptions::exitOnResourceFailure).
//
// Message order for one message: OnKeyMessage (key messages only) -> OnWindowMessage ->
// the framework (input to controls, kMsgClose closes, kMsgNotify to OnNotify, timers to
// their control). A hook returning true ends the handling. Custom messages (kMsgUser and
// above) reach only OnWindowMessage.
//
// Closing: Close(result) posts kMsgClose with the result; when it is handled (not swallowed
// by a hook) the window hides, calls OnClose, ends its modal loop with the result and
// releases its native window. The object itself belongs to its creator and may be reused
// only by creating again.
//
// Modal: ShowModal disables the owner (its input is ignored; its posted messages and
// timers still run), shows the window and runs a loop until the window closes; returns the
// close result. A quit message ends the loop too (-1) and is passed to the enclosing loop.
#pragma once

#include <cairo.h>

#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "uiframework/control.h"
#include "uiframework/geometry.h"
#include "uiframework/message.h"

namespace Ui {

class NativeWindow;
class Container;

struct FontInfo {
    std::wstring name;  // face name ("微软雅黑" resolves to an installed CJK font)
    int size = 12;      // pixel height
    bool bold = false;
    bool underline = false;
    bool italic = false;
};

class SkinWindow {
public:
    SkinWindow();
    virtual ~SkinWindow();
    SkinWindow(const SkinWindow&) = delete;
    SkinWindow& operator=(const SkinWindow&) = delete;

    // ---- what the window is built from ---------------------------------------------------
    /// The description's resource name ("MainWnd.xml").
    virtual std::wstring GetSkinFile() const = 0;
    /// Default: the skin file name up to its last ".".
    virtual std::wstring GetWindowClassName() const;

    // ---- life -----------------------------------------------------------------------------
    /// Builds and creates the window (see above), hidden. `owner` may be null. False only
    /// when the description fails and exitOnResourceFailure is off, or the back end cannot
    /// make a window (traced).
    bool Create(SkinWindow* owner, std::wstring_view title);
    /// Created and not yet closed.
    bool IsWindow() const { return handle_.load() != 0; }
    /// Any thread. 0 before Create and after the window closed.
    WindowHandle Handle() const { return handle_.load(); }
    SkinWindow* Owner() const { return owner_; }
    void ShowWindow(bool show = true);
    bool IsShown() const { return shown_; }
    int ShowModal();
    /// Posts kMsgClose with `result` (any thread's view: uses the handle only).
    void Close(int result = 1);
    /// Centres on the owner when there is one, else on the screen (headless: 1920 x 1080).
    void CenterWindow();
    void Minimize();
    bool IsMinimized() const { return minimized_; }
    void BringToFront();
    /// Window icon from an image resource (PNG). False when it can not be loaded.
    bool SetIcon(std::wstring_view imageName);
    /// Enables or disables input to the whole window (modal owners are disabled).
    void EnableWindow(bool enable);
    bool IsWindowEnabled() const { return enabled_; }
    /// Outer position on the screen (headless: as last moved or centred).
    Point GetPosition() const;
    void MoveTo(Point topLeft);
    const std::wstring& GetTitle() const { return title_; }

    // ---- markup results -------------------------------------------------------------------
    Control* GetRoot() const { return root_.get(); }
    Control* FindControl(std::wstring_view name) const;
    template <typename T>
    T* FindControlAs(std::wstring_view name) const {
        return dynamic_cast<T*>(FindControl(name));
    }
    /// The deepest visible control at `pt`, or null.
    Control* FindControlAt(Point pt) const;
    /// A root attribute the framework does not use ("showshadow", ...), or null.
    const std::wstring* GetCustomAttribute(std::wstring_view name) const;
    const std::vector<std::pair<std::wstring, std::wstring>>& CustomAttributes() const {
        return customAttributes_;
    }
    Size GetClientSize() const { return clientSize_; }
    Rect GetCaptionRect() const { return caption_; }
    Size GetRoundCorner() const { return roundCorner_; }
    /// Whether a press at `pt` would drag the window (the caption rule of the markup: l <= x
    /// < width - r and t <= y < b, and the control there accepts caption drags).
    bool IsCaptionPoint(Point pt) const;

    // ---- fonts ----------------------------------------------------------------------------
    /// Font `index` of the table; -1 or an unknown index gives the default font.
    const FontInfo& GetFont(int index) const;
    /// Extent of `text` on one line in font `index`.
    Size MeasureText(std::wstring_view text, int fontIndex) const;

    // ---- focus ----------------------------------------------------------------------------
    Control* GetFocus() const { return focus_; }
    void SetFocus(Control* control);

    // ---- notifications and messages -------------------------------------------------------
    /// UI thread: calls OnNotify now. A null sender means the root.
    void SendNotify(Control* sender, std::wstring_view type, uintptr_t wParam = 0,
                    intptr_t lParam = 0);
    /// Any thread: OnNotify runs later on the UI thread. A null sender means the root.
    bool PostNotify(Control* sender, std::wstring_view type, uintptr_t wParam = 0,
                    intptr_t lParam = 0) const;
    /// Any thread: posts a message to this window.
    bool PostMessage(uint32_t id, uintptr_t wParam = 0, intptr_t lParam = 0,
                     std::shared_ptr<void> payload = {}) const;
    /// UI thread: handles `message` now, as if it had been dispatched.
    void SendMessage(Message message);

    // ---- timers ---------------------------------------------------------------------------
    bool SetTimer(Control* control, uint32_t id, uint32_t elapseMs);
    bool KillTimer(Control* control, uint32_t id);
    void KillTimers(Control* control);

    // ---- painting -------------------------------------------------------------------------
    /// Marks a client rectangle for repainting.
    void Invalidate(const Rect& rect);
    void NeedLayout() { needLayout_ = true; }
    /// Lays out if needed and repaints what is invalid, then shows it. Loops call this
    /// after dispatching; tests may call it directly.
    void Render();
    /// The frame image (ARGB32, premultiplied, client size); null before Create.
    cairo_surface_t* Frame() const { return frame_; }
    /// The frame as it would look on the screen: corners outside "roundcorner" cut away
    /// (transparent).
    bool SaveFramePng(const std::string& path) const;
    /// Controls painted by the last Render and the area they covered (tests, benchmarks).
    int LastPaintedControls() const { return lastPainted_; }
    Rect LastPaintedRect() const { return lastPaintedRect_; }
    uint64_t FramesRendered() const { return frames_; }

    // ---- framework internals (dispatcher, controls) ---------------------------------------
    void DispatchMessage(Message& message);
    void DispatchTimer(Control* control, uint32_t id);
    void ControlDestroyed(Control* control);
    bool NeedsRender() const;
    NativeWindow* Native() const { return native_.get(); }
    void NoteControlPainted(Control*) { ++lastPainted_; }

protected:
    /// The factory for element names the framework does not know. Null: no control (the
    /// element and its children are skipped).
    virtual std::unique_ptr<Control> CreateControl(std::wstring_view className);
    /// Once, after the tree is built and DoInit ran, before the window is shown.
    virtual void OnWindowReady() {}
    /// Notifications. The base handles "click" of controls named "closebtn" (Close(1)),
    /// "minbtn" (Minimize), "maxbtn" and "restorebtn" (no effect on a fixed-size frame).
    virtual void OnNotify(Notify& notify);
    /// Every message before the framework's handling; true = handled.
    virtual bool OnWindowMessage(Message&) { return false; }
    /// Key messages, before everything else; true = handled.
    virtual bool OnKeyMessage(Message&) { return false; }
    /// The window is closing (kMsgClose accepted); its controls still exist.
    virtual void OnClose() {}

private:
    friend class MarkupBuilder;
    void HandleMouse(Message& m);
    void HandleKey(Message& m);
    void SetHot(Control* c, Point pt);
    void PaintControl(Control* c, cairo_t* cr, const Rect& dirty);

    void DestroyNative(int result, bool callHooks);

    std::atomic<WindowHandle> handle_{0};
    SkinWindow* owner_ = nullptr;
    std::unique_ptr<NativeWindow> native_;
    std::unique_ptr<Control> root_;
    std::vector<std::pair<std::wstring, std::wstring>> customAttributes_;
    std::map<int, FontInfo> fonts_;
    FontInfo defaultFont_;
    Size clientSize_{100, 100};
    Rect caption_;
    Size roundCorner_;
    std::wstring title_;
    Control* focus_ = nullptr;
    Control* hot_ = nullptr;
    Control* captured_ = nullptr;
    cairo_surface_t* frame_ = nullptr;
    Rect invalid_;
    bool needLayout_ = true;
    bool shown_ = false;
    bool minimized_ = false;
    bool enabled_ = true;
    bool closing_ = false;
    int modalResult_ = 1;
    int modalDepth_ = 0;
    bool modalDone_ = false;
    bool dying_ = false;
    int lastPainted_ = 0;
    Rect lastPaintedRect_;
    uint64_t frames_ = 0;
};

/// Case-insensitive comparison of ASCII letters (class and attribute names).
bool EqualsNoCase(std::wstring_view a, std::wstring_view b);

}  // namespace Ui
