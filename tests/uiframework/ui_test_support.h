// Shared fixtures of the UI framework tests: a headless runtime on a virtual clock with
// resources in memory, PNG images made on the fly, and a window class that records what
// reaches its hooks.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "uiframework/controls.h"
#include "uiframework/runtime.h"
#include "uiframework/test_driver.h"
#include "uiframework/window.h"

namespace uitest {

/// PNG bytes of a w x h image whose pixel (x, y) is colour(x, y) (AARRGGBB, straight).
std::string MakePng(int w, int h, const std::function<uint32_t(int, int)>& colour);
std::string SolidPng(int w, int h, uint32_t argb);

struct Recorded {
    std::wstring type;
    std::wstring sender;
    uintptr_t wParam = 0;
};

class TestWindow : public Ui::SkinWindow {
public:
    explicit TestWindow(std::wstring file) : file_(std::move(file)) {}
    std::wstring GetSkinFile() const override { return file_; }

    std::vector<Recorded> notes;
    std::function<void(Ui::Notify&)> onNotify;
    std::function<bool(Ui::Message&)> onKey;
    std::function<bool(Ui::Message&)> onMessage;
    std::function<std::unique_ptr<Ui::Control>(std::wstring_view)> factory;
    int readyCalls = 0;

    /// Types of the recorded notifications, "type:sender" each.
    std::vector<std::wstring> Trail() const;

protected:
    std::unique_ptr<Ui::Control> CreateControl(std::wstring_view cls) override {
        return factory ? factory(cls) : nullptr;
    }
    void OnWindowReady() override { ++readyCalls; }
    void OnNotify(Ui::Notify& n) override {
        notes.push_back({n.type, n.sender ? n.sender->GetName() : L"", n.wParam});
        if (onNotify)
            onNotify(n);
        SkinWindow::OnNotify(n);
    }
    bool OnKeyMessage(Ui::Message& m) override { return onKey && onKey(m); }
    bool OnWindowMessage(Ui::Message& m) override { return onMessage && onMessage(m); }

private:
    std::wstring file_;
};

/// A headless runtime on a virtual clock whose resources are `files` (name -> bytes).
class UiTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    void AddFile(const std::wstring& name, std::string bytes) {
        source_->Add(name, std::move(bytes));
    }
    /// Adds `xml` as `name` and creates a window from it (failing the test when it can't).
    std::unique_ptr<TestWindow> Open(const std::wstring& name, const std::string& xml);
    Ui::VirtualClock& Clock() { return *clock_; }

    std::shared_ptr<Ui::MemoryResourceSource> source_;
    std::shared_ptr<Ui::VirtualClock> clock_;
    std::unique_ptr<Ui::Runtime> runtime_;
};

}  // namespace uitest
