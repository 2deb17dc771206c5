#include "uiframework/test_driver.h"

#include "uiframework/dispatcher.h"
#include "uiframework/runtime.h"
#include "utils/trace_log.h"

namespace Ui {

namespace {
Message Input(SkinWindow& w, uint32_t id, uintptr_t wParam, intptr_t lParam) {
    return Message{w.Handle(), id, wParam, lParam, {}};
}
}  // namespace

Point TestDriver::CenterOf(std::wstring_view controlName) const {
    window_.Render();  // lay out first, so positions are current
    Control* c = window_.FindControl(controlName);
    if (!c || !c->IsReallyVisible() || c->GetPos().IsEmpty())
        return {-1, -1};
    return c->GetPos().Center();
}

bool TestDriver::Click(std::wstring_view controlName) {
    Point p = CenterOf(controlName);
    if (p.x < 0) {
        TRACE(L"no visible control %ls to click", std::wstring(controlName).c_str());
        return false;
    }
    MouseMove(p);
    MouseDown(p);
    MouseUp(p);
    return true;
}

bool TestDriver::Hover(std::wstring_view controlName) {
    Point p = CenterOf(controlName);
    if (p.x < 0)
        return false;
    MouseMove(p);
    return true;
}

void TestDriver::MouseMove(Point pt) {
    window_.SendMessage(Input(window_, kMsgMouseMove, 0, MakePointParam(pt.x, pt.y)));
}
void TestDriver::MouseDown(Point pt) {
    window_.SendMessage(Input(window_, kMsgLButtonDown, 0, MakePointParam(pt.x, pt.y)));
}
void TestDriver::MouseUp(Point pt) {
    window_.SendMessage(Input(window_, kMsgLButtonUp, 0, MakePointParam(pt.x, pt.y)));
}
void TestDriver::MouseLeave() {
    window_.SendMessage(Input(window_, kMsgMouseLeave, 0, 0));
}

void TestDriver::KeyDown(uint32_t vk, uint32_t modifiers) {
    window_.SendMessage(Input(window_, kMsgKeyDown, vk, static_cast<intptr_t>(modifiers)));
}

void TestDriver::PressKey(uint32_t vk, uint32_t modifiers) {
    KeyDown(vk, modifiers);
    window_.SendMessage(Input(window_, kMsgKeyUp, vk, static_cast<intptr_t>(modifiers)));
}

void TestDriver::TypeText(std::wstring_view text) {
    if (text.empty())
        return;
    Message m = Input(window_, kMsgChar, static_cast<uintptr_t>(text[0]), 0);
    m.payload = std::make_shared<std::wstring>(text);
    window_.SendMessage(std::move(m));
}

void TestDriver::Compose(std::wstring_view text) {
    Message m = Input(window_, kMsgComposition, 0, 0);
    m.payload = std::make_shared<std::wstring>(text);
    window_.SendMessage(std::move(m));
}

bool TestDriver::ClickAndType(std::wstring_view controlName, std::wstring_view text) {
    if (!Click(controlName))
        return false;
    TypeText(text);
    return true;
}

int TestDriver::Pump() {
    Runtime* rt = Runtime::Current();
    if (!rt)
        return 0;
    int n = rt->GetDispatcher().DispatchPending();
    window_.Render();
    return n;
}

bool TestDriver::Advance(uint64_t ms) {
    Runtime* rt = Runtime::Current();
    VirtualClock* clock = rt ? rt->GetVirtualClock() : nullptr;
    if (!clock)
        return false;
    uint64_t target = clock->NowMs() + ms;
    Pump();
    while (true) {
        std::optional<uint64_t> next = rt->GetDispatcher().NextTimerDue();
        if (!next || *next > target)
            break;
        clock->Set(*next);
        Pump();
    }
    clock->Set(target);
    Pump();
    return true;
}

uint32_t TestDriver::Pixel(int x, int y) {
    window_.Render();
    cairo_surface_t* f = window_.Frame();
    if (!f || x < 0 || y < 0 || x >= cairo_image_surface_get_width(f) ||
        y >= cairo_image_surface_get_height(f)) {
        return 0;
    }
    cairo_surface_flush(f);
    const unsigned char* data = cairo_image_surface_get_data(f);
    uint32_t p =
        *reinterpret_cast<const uint32_t*>(data + y * cairo_image_surface_get_stride(f) + x * 4);
    uint32_t a = p >> 24;
    if (a == 0)
        return 0;
    auto un = [&](uint32_t c) { return std::min<uint32_t>(255, (c * 255 + a / 2) / a); };
    return (a << 24) | (un((p >> 16) & 0xFF) << 16) | (un((p >> 8) & 0xFF) << 8) | un(p & 0xFF);
}

bool TestDriver::SavePng(const std::string& path) {
    window_.Render();
    return window_.SaveFramePng(path);
}

}  // namespace Ui
