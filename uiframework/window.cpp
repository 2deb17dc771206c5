#include "uiframework/window.h"

#include <pugixml.hpp>

#include <cstdio>
#include <cstdlib>

#include "uiframework/attributes.h"
#include "uiframework/backend.h"
#include "uiframework/controls.h"
#include "uiframework/dispatcher.h"
#include "uiframework/image_cache.h"
#include "uiframework/markup.h"
#include "uiframework/painter.h"
#include "uiframework/runtime.h"
#include "uiframework/text_layout.h"
#include "utils/text.h"
#include "utils/trace_log.h"

namespace Ui {

// [SECTION] description loading ---------------------------------------------------------------

const wchar_t* DescriptionErrorName(DescriptionError e) {
    switch (e) {
        case DescriptionError::kNone:
            return L"ok";
        case DescriptionError::kMissing:
            return L"missing";
        case DescriptionError::kEmpty:
            return L"empty";
        case DescriptionError::kTooLarge:
            return L"too large";
        case DescriptionError::kMalformed:
            return L"malformed";
    }
    return L"?";
}

DescriptionError LoadDescription(ResourceSource& source, std::wstring_view name, std::string& xml) {
    xml.clear();
    std::string bytes;
    if (!source.Read(name, bytes))
        return DescriptionError::kMissing;
    if (bytes.empty())
        return DescriptionError::kEmpty;
    if (bytes.size() > kMaxDescriptionBytes)
        return DescriptionError::kTooLarge;
    pugi::xml_document doc;
    pugi::xml_parse_result r =
        doc.load_buffer(bytes.data(), bytes.size(), pugi::parse_default, pugi::encoding_utf8);
    if (!r || std::string_view(doc.document_element().name()) != "Window") {
        return DescriptionError::kMalformed;
    }
    xml = std::move(bytes);
    return DescriptionError::kNone;
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        wchar_t x = a[i], y = b[i];
        if (x >= L'A' && x <= L'Z')
            x = static_cast<wchar_t>(x - L'A' + L'a');
        if (y >= L'A' && y <= L'Z')
            y = static_cast<wchar_t>(y - L'A' + L'a');
        if (x != y)
            return false;
    }
    return true;
}

// [SECTION] markup builder --------------------------------------------------------------------

namespace {

constexpr int kMaxWindowSide = 16384;
constexpr int kMaxFontPixels = 1000;

std::wstring Wide(const char* utf8) {
    return Utils::ToWide(utf8, Utils::kCodePageUtf8);
}

std::unique_ptr<Control> MakeFrameworkControl(std::wstring_view cls) {
    if (cls == L"Control")
        return std::make_unique<Control>();
    if (cls == L"Label" || cls == L"Text")
        return std::make_unique<Label>();
    if (cls == L"Button")
        return std::make_unique<Button>();
    if (cls == L"CheckBox" || cls == L"Option")
        return std::make_unique<CheckBox>();
    if (cls == L"Edit")
        return std::make_unique<Edit>();
    if (cls == L"Progress")
        return std::make_unique<Progress>();
    if (cls == L"Container")
        return std::make_unique<Container>();
    if (cls == L"VerticalLayout")
        return std::make_unique<VerticalLayout>();
    if (cls == L"HorizontalLayout")
        return std::make_unique<HorizontalLayout>();
    if (cls == L"TabLayout")
        return std::make_unique<TabLayout>();
    return nullptr;
}

void InitTree(Control* c) {
    c->DoInit();
    for (size_t i = 0; i < c->ChildCount(); ++i)
        InitTree(c->ChildAt(i));
}

}  // namespace

class MarkupBuilder {
public:
    explicit MarkupBuilder(SkinWindow& w) : w_(w) {}

    void Build(const pugi::xml_node& window) {
        for (pugi::xml_attribute a : window.attributes()) {
            std::wstring name = Wide(a.name()), value = Wide(a.value());
            if (name == L"size") {
                Size s = ParseSize(value);
                // A frame image beyond this is refused by cairo; such a size is ignored.
                if (s.cx > 0 && s.cy > 0 && s.cx <= kMaxWindowSide && s.cy <= kMaxWindowSide) {
                    w_.clientSize_ = s;
                }
            } else if (name == L"caption") {
                w_.caption_ = ParseRect(value);
            } else if (name == L"roundcorner") {
                w_.roundCorner_ = ParseSize(value);
            } else {
                w_.customAttributes_.emplace_back(std::move(name), std::move(value));
            }
        }
        for (pugi::xml_node n : window.children()) {
            if (n.type() != pugi::node_element)
                continue;
            std::string_view tag = n.name();
            if (tag == "Font") {
                AddFont(n);
            } else if (!w_.root_) {
                w_.root_ = MakeControl(n);
            } else {
                TRACE(L"%ls: a second root control <%s> is ignored", w_.GetSkinFile().c_str(),
                      n.name());
            }
        }
    }

private:
    void AddFont(const pugi::xml_node& n) {
        FontInfo f;
        f.name = Wide(n.attribute("name").value());
        f.size = ParseInt(Wide(n.attribute("size").value()));
        if (f.size <= 0)
            f.size = 12;
        f.size = std::min(f.size, kMaxFontPixels);
        f.bold = ParseBool(Wide(n.attribute("bold").value()));
        f.underline = ParseBool(Wide(n.attribute("underline").value()));
        f.italic = ParseBool(Wide(n.attribute("italic").value()));
        int id = n.attribute("id") ? ParseInt(Wide(n.attribute("id").value()))
                                   : static_cast<int>(w_.fonts_.size());
        w_.fonts_[id] = f;
        if (ParseBool(Wide(n.attribute("default").value())))
            w_.defaultFont_ = f;
    }

    std::unique_ptr<Control> MakeControl(const pugi::xml_node& n) {
        std::wstring cls = Wide(n.name());
        std::unique_ptr<Control> c = MakeFrameworkControl(cls);
        if (!c)
            c = w_.CreateControl(cls);
        if (!c) {
            TRACE(L"%ls: no control for <%ls>; element skipped", w_.GetSkinFile().c_str(),
                  cls.c_str());
            return nullptr;
        }
        c->Attach(&w_, nullptr);
        for (pugi::xml_attribute a : n.attributes())
            c->SetAttribute(Wide(a.name()), Wide(a.value()));
        if (auto* container = dynamic_cast<Container*>(c.get())) {
            for (pugi::xml_node child : n.children()) {
                if (child.type() != pugi::node_element)
                    continue;
                if (auto made = MakeControl(child))
                    container->Add(std::move(made));
            }
        }
        return c;
    }

    SkinWindow& w_;
};

// [SECTION] life ------------------------------------------------------------------------------

SkinWindow::SkinWindow() {
    defaultFont_.name = L"微软雅黑";
}

SkinWindow::~SkinWindow() {
    if (IsWindow())
        DestroyNative(1, false);
    dying_ = true;
    root_.reset();
    if (frame_)
        cairo_surface_destroy(frame_);
}

std::wstring SkinWindow::GetWindowClassName() const {
    std::wstring file = GetSkinFile();
    size_t dot = file.rfind(L'.');
    return dot == std::wstring::npos ? file : file.substr(0, dot);
}

std::unique_ptr<Control> SkinWindow::CreateControl(std::wstring_view) {
    return nullptr;
}

bool SkinWindow::Create(SkinWindow* owner, std::wstring_view title) {
    Runtime* rt = Runtime::Current();
    if (!rt) {
        TRACE(L"no UI runtime: %ls not created", GetSkinFile().c_str());
        return false;
    }
    if (IsWindow())
        return true;
    std::wstring file = GetSkinFile();
    std::string xml;
    DescriptionError err = LoadDescription(rt->Resources(), file, xml);
    if (err != DescriptionError::kNone) {
        TRACE(L"description %ls from %ls: %ls", file.c_str(), rt->Resources().Describe().c_str(),
              DescriptionErrorName(err));
        rt->GetBackend().ShowErrorBox(L"", kResourceLoadFailedText);
        if (rt->Options().exitOnResourceFailure)
            std::exit(1);
        return false;
    }
    pugi::xml_document doc;
    doc.load_buffer(xml.data(), xml.size(), pugi::parse_default, pugi::encoding_utf8);

    root_.reset();
    fonts_.clear();
    customAttributes_.clear();
    owner_ = owner;
    title_ = title;
    MarkupBuilder(*this).Build(doc.document_element());
    if (!root_)
        root_ = std::make_unique<Container>();
    root_->Attach(this, nullptr);

    if (frame_)
        cairo_surface_destroy(frame_);
    frame_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, clientSize_.cx, clientSize_.cy);
    handle_ = rt->GetDispatcher().Register(this);
    native_ = rt->GetBackend().CreateNativeWindow(handle_, clientSize_, roundCorner_, title_,
                                                  [this](Point p) { return IsCaptionPoint(p); });
    if (!native_) {
        TRACE(L"the back end could not create a window for %ls", file.c_str());
        rt->GetDispatcher().Unregister(handle_);
        handle_ = 0;
        return false;
    }
    needLayout_ = true;
    invalid_ = {0, 0, clientSize_.cx, clientSize_.cy};
    enabled_ = true;
    minimized_ = false;
    modalDone_ = false;
    InitTree(root_.get());
    OnWindowReady();
    return true;
}

void SkinWindow::DestroyNative(int result, bool callHooks) {
    if (!IsWindow() || closing_)
        return;
    closing_ = true;
    if (callHooks)
        OnClose();
    Runtime* rt = Runtime::Current();
    if (rt)
        rt->GetDispatcher().KillWindowTimers(this);
    if (focus_ && native_)
        native_->SetTextInput(false, {});
    focus_ = hot_ = captured_ = nullptr;
    if (native_)
        native_->Show(false);
    native_.reset();
    if (rt)
        rt->GetDispatcher().Unregister(handle_);
    handle_ = 0;
    shown_ = false;
    modalResult_ = result;
    modalDone_ = true;
    closing_ = false;
}

void SkinWindow::ShowWindow(bool show) {
    if (!IsWindow())
        return;
    shown_ = show;
    if (show)
        minimized_ = false;
    native_->Show(show);
    if (show)
        Invalidate({0, 0, clientSize_.cx, clientSize_.cy});
}

int SkinWindow::ShowModal() {
    Runtime* rt = Runtime::Current();
    if (!rt || !IsWindow())
        return -1;
    SkinWindow* owner = owner_ && owner_->IsWindow() ? owner_ : nullptr;
    if (owner)
        owner->EnableWindow(false);
    ShowWindow(true);
    modalDone_ = false;
    ++modalDepth_;
    int quitCode = 0;
    Dispatcher::RunResult r = rt->GetDispatcher().Run([this] { return modalDone_ || !IsWindow(); },
                                                      std::nullopt, &quitCode);
    --modalDepth_;
    if (owner && owner->IsWindow()) {
        owner->EnableWindow(true);
        owner->BringToFront();
    }
    if (r == Dispatcher::RunResult::kDone)
        return modalResult_;
    TRACE(L"modal loop of %ls ended without a close (%d)", GetSkinFile().c_str(),
          static_cast<int>(r));
    return -1;
}

void SkinWindow::Close(int result) {
    PostMessage(kMsgClose, static_cast<uintptr_t>(result));
}

void SkinWindow::CenterWindow() {
    Runtime* rt = Runtime::Current();
    if (!rt || !IsWindow())
        return;
    Point pos;
    if (owner_ && owner_->IsWindow()) {
        Point o = owner_->GetPosition();
        Size os = owner_->GetClientSize();
        pos = {o.x + (os.cx - clientSize_.cx) / 2, o.y + (os.cy - clientSize_.cy) / 2};
    } else {
        Size screen = rt->GetBackend().ScreenSize();
        pos = {(screen.cx - clientSize_.cx) / 2, (screen.cy - clientSize_.cy) / 2};
    }
    MoveTo({std::max(0, pos.x), std::max(0, pos.y)});
}

void SkinWindow::Minimize() {
    if (!IsWindow())
        return;
    minimized_ = true;
    native_->Minimize();
}

void SkinWindow::BringToFront() {
    if (!IsWindow())
        return;
    minimized_ = false;
    native_->Raise();
}

bool SkinWindow::SetIcon(std::wstring_view imageName) {
    Runtime* rt = Runtime::Current();
    if (!rt || !IsWindow())
        return false;
    std::shared_ptr<Image> image = rt->Images().Get(rt->Resources(), imageName, false, 0);
    return image && native_->SetIcon(image->Surface());
}

void SkinWindow::EnableWindow(bool enable) {
    if (enabled_ == enable)
        return;
    enabled_ = enable;
    if (!enable) {
        if (hot_) {
            Event e{EventType::kMouseLeave};
            Control* old = hot_;
            hot_ = nullptr;
            old->DoEvent(e);
        }
        captured_ = nullptr;
    }
}

Point SkinWindow::GetPosition() const {
    return native_ ? native_->GetPosition() : Point{};
}

void SkinWindow::MoveTo(Point topLeft) {
    if (native_)
        native_->Move(topLeft);
}

// [SECTION] controls and fonts ----------------------------------------------------------------

Control* SkinWindow::FindControl(std::wstring_view name) const {
    return root_ && !name.empty() ? root_->FindControl(name) : nullptr;
}

namespace {
Control* HitTest(Control* c, Point pt) {
    if (!c->IsVisible() || !c->GetPos().Contains(pt))
        return nullptr;
    for (size_t i = c->ChildCount(); i-- > 0;) {
        if (Control* hit = HitTest(c->ChildAt(i), pt))
            return hit;
    }
    return c;
}

bool EnabledChain(const Control* c) {
    for (; c; c = c->GetParent()) {
        if (!c->IsEnabled())
            return false;
    }
    return true;
}
}  // namespace

Control* SkinWindow::FindControlAt(Point pt) const {
    return root_ ? HitTest(root_.get(), pt) : nullptr;
}

const std::wstring* SkinWindow::GetCustomAttribute(std::wstring_view name) const {
    for (const auto& [n, v] : customAttributes_) {
        if (n == name)
            return &v;
    }
    return nullptr;
}

bool SkinWindow::IsCaptionPoint(Point pt) const {
    const Rect& c = caption_;
    if (!(pt.x >= c.left && pt.x < clientSize_.cx - c.right && pt.y >= c.top && pt.y < c.bottom)) {
        return false;
    }
    Control* hit = FindControlAt(pt);
    return !hit || hit->AcceptsCaptionDrag();
}

const FontInfo& SkinWindow::GetFont(int index) const {
    if (index >= 0) {
        auto it = fonts_.find(index);
        if (it != fonts_.end())
            return it->second;
    }
    return defaultFont_;
}

Size SkinWindow::MeasureText(std::wstring_view text, int fontIndex) const {
    return MeasureTextExtent(GetFont(fontIndex), text);
}

void SkinWindow::SetFocus(Control* control) {
    if (control == focus_)
        return;
    Control* old = focus_;
    focus_ = control;
    if (old) {
        Event e{EventType::kKillFocus};
        old->DoEvent(e);
    }
    if (control && focus_ == control) {
        Event e{EventType::kSetFocus};
        control->DoEvent(e);
    }
}

void SkinWindow::ControlDestroyed(Control* control) {
    if (focus_ == control)
        focus_ = nullptr;
    if (hot_ == control)
        hot_ = nullptr;
    if (captured_ == control)
        captured_ = nullptr;
    if (Runtime* rt = Runtime::Current())
        rt->GetDispatcher().KillTimers(control);
}

// [SECTION] notifications, messages, timers ---------------------------------------------------

void SkinWindow::SendNotify(Control* sender, std::wstring_view type, uintptr_t wParam,
                            intptr_t lParam) {
    Notify n{std::wstring(type), sender ? sender : root_.get(), wParam, lParam};
    OnNotify(n);
}

bool SkinWindow::PostNotify(Control* sender, std::wstring_view type, uintptr_t wParam,
                            intptr_t lParam) const {
    auto n = std::make_shared<Notify>(Notify{std::wstring(type), sender, wParam, lParam});
    return Ui::PostMessage(Handle(), kMsgNotify, 0, 0, std::move(n));
}

bool SkinWindow::PostMessage(uint32_t id, uintptr_t wParam, intptr_t lParam,
                             std::shared_ptr<void> payload) const {
    WindowHandle h = Handle();
    if (h == 0)
        return false;
    return Ui::PostMessage(h, id, wParam, lParam, std::move(payload));
}

void SkinWindow::SendMessage(Message message) {
    message.window = Handle();
    DispatchMessage(message);
}

void SkinWindow::OnNotify(Notify& notify) {
    if (notify.type != L"click" || !notify.sender)
        return;
    const std::wstring& name = notify.sender->GetName();
    if (name == L"closebtn")
        Close(1);
    else if (name == L"minbtn")
        Minimize();
    // "maxbtn" and "restorebtn": these frames have a fixed size; nothing to do.
}

void SkinWindow::DispatchMessage(Message& m) {
    if (!IsWindow())
        return;
    bool key =
        m.id == kMsgKeyDown || m.id == kMsgKeyUp || m.id == kMsgChar || m.id == kMsgComposition;
    bool mouse = m.id == kMsgMouseMove || m.id == kMsgLButtonDown || m.id == kMsgLButtonUp ||
                 m.id == kMsgMouseLeave;
    if ((key || mouse) && !enabled_)
        return;  // a disabled window (a modal owner) gets no input
    if (key && OnKeyMessage(m))
        return;
    if (OnWindowMessage(m))
        return;
    switch (m.id) {
        case kMsgMouseMove:
        case kMsgLButtonDown:
        case kMsgLButtonUp:
        case kMsgMouseLeave:
            HandleMouse(m);
            break;
        case kMsgKeyDown:
        case kMsgKeyUp:
        case kMsgChar:
        case kMsgComposition:
            HandleKey(m);
            break;
        case kMsgClose:
            DestroyNative(static_cast<int>(m.wParam), true);
            break;
        case kMsgNotify:
            if (Notify* n = m.PayloadAs<Notify>()) {
                Notify copy = *n;
                if (!copy.sender)
                    copy.sender = root_.get();
                OnNotify(copy);
            }
            break;
        case kMsgTask:
            if (auto* fn = m.PayloadAs<std::function<void()>>())
                (*fn)();
            break;
        case kMsgTimer: {
            auto* control = reinterpret_cast<Control*>(m.lParam);
            Runtime* rt = Runtime::Current();
            // The timer may have been killed after this tick was queued.
            if (control && rt &&
                rt->GetDispatcher().HasTimer(control, static_cast<uint32_t>(m.wParam))) {
                Event e{EventType::kTimer};
                e.wParam = m.wParam;
                control->DoEvent(e);
            }
            break;
        }
        case kMsgExpose:
            Invalidate({0, 0, clientSize_.cx, clientSize_.cy});
            break;
        default:
            break;
    }
}

void SkinWindow::SetHot(Control* c, Point pt) {
    if (c == hot_)
        return;
    Control* old = hot_;
    hot_ = c;
    if (old) {
        Event e{EventType::kMouseLeave, pt};
        old->DoEvent(e);
    }
    if (c && hot_ == c) {
        Event e{EventType::kMouseEnter, pt};
        c->DoEvent(e);
    }
}

void SkinWindow::HandleMouse(Message& m) {
    Point pt{PointParamX(m.lParam), PointParamY(m.lParam)};
    if (m.id == kMsgMouseLeave) {
        SetHot(nullptr, pt);
        return;
    }
    Control* hit = FindControlAt(pt);
    Control* target = hit && EnabledChain(hit) ? hit : nullptr;  // disabled: inert
    switch (m.id) {
        case kMsgMouseMove: {
            SetHot(captured_ ? (captured_ == target ? target : nullptr) : target, pt);
            Control* to = captured_ ? captured_ : target;
            if (to) {
                Event e{EventType::kMouseMove, pt};
                to->DoEvent(e);
            }
            break;
        }
        case kMsgLButtonDown: {
            SetHot(target, pt);
            if (!target)
                break;
            captured_ = target;
            SetFocus(target);
            if (captured_ != target)
                break;  // a focus handler changed the window
            Event e{EventType::kButtonDown, pt};
            target->DoEvent(e);
            break;
        }
        case kMsgLButtonUp: {
            Control* c = captured_;
            captured_ = nullptr;
            if (c) {
                Event e{EventType::kButtonUp, pt};
                c->DoEvent(e);  // may open a modal dialog: nothing of `this` is used after it
            }
            break;
        }
        default:
            break;
    }
}

void SkinWindow::HandleKey(Message& m) {
    if (m.id == kMsgKeyDown && m.wParam == kVkF4 && (m.lParam & kModAlt)) {
        Close(1);  // the system's close request, as Alt+F4 is
        return;
    }
    if (!focus_ || !EnabledChain(focus_))
        return;
    if (m.id == kMsgKeyDown) {
        Event e{EventType::kKeyDown};
        e.key = static_cast<uint32_t>(m.wParam);
        e.modifiers = static_cast<uint32_t>(m.lParam);
        focus_->DoEvent(e);
    } else if (m.id == kMsgComposition) {
        Event e(EventType::kComposition);
        if (auto* text = m.PayloadAs<std::wstring>())
            e.text = *text;
        focus_->DoEvent(e);
    } else if (m.id == kMsgChar) {
        Event e{EventType::kChar};
        if (auto* text = m.PayloadAs<std::wstring>())
            e.text = *text;
        else
            e.text = std::wstring(1, static_cast<wchar_t>(m.wParam));
        focus_->DoEvent(e);
    }
}

bool SkinWindow::SetTimer(Control* control, uint32_t id, uint32_t elapseMs) {
    Runtime* rt = Runtime::Current();
    return rt && IsWindow() && control && rt->GetDispatcher().SetTimer(this, control, id, elapseMs);
}

bool SkinWindow::KillTimer(Control* control, uint32_t id) {
    Runtime* rt = Runtime::Current();
    return rt && rt->GetDispatcher().KillTimer(control, id);
}

void SkinWindow::KillTimers(Control* control) {
    if (Runtime* rt = Runtime::Current())
        rt->GetDispatcher().KillTimers(control);
}

void SkinWindow::DispatchTimer(Control* control, uint32_t id) {
    Message m{Handle(), kMsgTimer, id, reinterpret_cast<intptr_t>(control), {}};
    DispatchMessage(m);
}

// [SECTION] painting --------------------------------------------------------------------------

void SkinWindow::Invalidate(const Rect& rect) {
    invalid_ = invalid_.Union(rect.Intersect({0, 0, clientSize_.cx, clientSize_.cy}));
}

bool SkinWindow::NeedsRender() const {
    return IsWindow() && (needLayout_ || !invalid_.IsEmpty());
}

void SkinWindow::Render() {
    if (!frame_ || !root_)
        return;
    Rect full{0, 0, clientSize_.cx, clientSize_.cy};
    if (needLayout_) {
        needLayout_ = false;
        root_->SetPos(full);
        // Layout may move anything; the frame is repainted whole.
        invalid_ = full;
    }
    if (invalid_.IsEmpty())
        return;
    Rect dirty = invalid_.Intersect(full);
    invalid_ = {};
    cairo_t* cr = cairo_create(frame_);
    cairo_rectangle(cr, dirty.left, dirty.top, dirty.Width(), dirty.Height());
    cairo_clip(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    cairo_paint(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    if (roundCorner_.cx > 0 && roundCorner_.cy > 0) {
        // The window's shape: what lies outside the rounded corners stays transparent.
        RoundedRectPath(cr, full, roundCorner_);
        cairo_clip(cr);
    }
    lastPainted_ = 0;
    if (root_->IsVisible()) {
        Painter painter(*this, cr, dirty);
        NoteControlPainted(root_.get());
        root_->DoPaint(painter);
    }
    cairo_destroy(cr);
    cairo_surface_flush(frame_);
    lastPaintedRect_ = dirty;
    ++frames_;
    if (native_ && shown_)
        native_->Present(frame_, dirty);
}

bool SkinWindow::SaveFramePng(const std::string& path) const {
    return frame_ && cairo_surface_write_to_png(frame_, path.c_str()) == CAIRO_STATUS_SUCCESS;
}

}  // namespace Ui
