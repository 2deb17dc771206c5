// Drives a live window from a test: clicks, pointer moves, keys, typing, the virtual clock
// and pictures. Works with either back end (input is injected as messages, the same ones
// native input produces), on the UI thread.
//
//   Ui::RuntimeOptions o;
//   o.backend = Ui::BackendKind::kHeadless;
//   o.clock = std::make_shared<Ui::VirtualClock>();
//   o.resources = std::make_shared<Ui::FolderResourceSource>(fixtureDir);
//   o.headlessIdleLimitMs = 5000;          // a forgotten dialog fails instead of hanging
//   Ui::Runtime runtime(o);
//   MyWindow w; ASSERT_TRUE(w.Create(nullptr, L"t"));
//   Ui::TestDriver d(w);
//   EXPECT_TRUE(d.Click(L"okBtn"));         // move, press, release at the control's centre
//   d.Advance(3000);                        // timers due within 3 s fire, in order
//   d.SavePng("/tmp/x/w.png");
//
// A modal loop blocks the test's thread, so work meant to run inside it is posted first:
//   Ui::PostTask([&] { Ui::TestDriver(dialog).Click(L"okBtn"); });
//   int r = dialog.ShowModal();
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "uiframework/geometry.h"
#include "uiframework/window.h"

namespace Ui {

class TestDriver {
public:
    explicit TestDriver(SkinWindow& window) : window_(window) {}

    /// Moves the pointer to the centre of the named control, presses and releases there.
    /// False (traced) when the control does not exist or is not visible.
    bool Click(std::wstring_view controlName);
    /// Moves the pointer over the named control.
    bool Hover(std::wstring_view controlName);
    /// The centre of the named control, or {-1, -1}.
    Point CenterOf(std::wstring_view controlName) const;
    void MouseMove(Point pt);
    void MouseDown(Point pt);
    void MouseUp(Point pt);
    void MouseLeave();
    /// Key down and up of a virtual key with modifier bits (kMod*).
    void PressKey(uint32_t vk, uint32_t modifiers = 0);
    void KeyDown(uint32_t vk, uint32_t modifiers = 0);
    /// Text input to the focused control (as the input method delivers it).
    void TypeText(std::wstring_view text);
    /// Text the input method is composing (shown, not yet typed); "" ends the composition.
    void Compose(std::wstring_view text);
    /// Focuses the named control by clicking it, then types.
    bool ClickAndType(std::wstring_view controlName, std::wstring_view text);

    /// Dispatches everything queued now (posted messages, due timers) without waiting,
    /// then renders. Returns the number of messages and timer ticks dispatched.
    int Pump();
    /// Virtual clock only: moves time forward `ms` in steps, stopping at every timer due
    /// on the way so each fires at its own time and as often as its period says; pumps at
    /// every step. False with the real clock (nothing done).
    bool Advance(uint64_t ms);

    /// Renders, then returns the pixel as unpremultiplied AARRGGBB.
    uint32_t Pixel(int x, int y);
    bool SavePng(const std::string& path);

private:
    SkinWindow& window_;
};

}  // namespace Ui
