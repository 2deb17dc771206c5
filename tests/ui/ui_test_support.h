// Shared set-up of the window tests: a headless UI runtime on a virtual clock, and a frame
// class that builds any description of the embedded skin with the main window's factory.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>

#include "ui/sequence_controls.h"
#include "ui/skin_frame.h"
#include "uiframework/runtime.h"
#include "uiframework/test_driver.h"
#include "utils/text.h"

namespace Ui {
inline std::ostream& operator<<(std::ostream& os, const Rect& r) {
    return os << "{" << r.left << "," << r.top << "," << r.right << "," << r.bottom << "}";
}
}  // namespace Ui

inline std::string NarrowText(std::wstring_view w) {
    return Utils::ToNarrow(w, Utils::kCodePageUtf8);
}

/// A headless runtime for one test: virtual clock, no process exit on skin failures, and a
/// loop that gives up after 5 s of real idleness instead of hanging a forgotten dialog.
class HeadlessUiTest : public ::testing::Test {
protected:
    void SetUp() override {
        clock_ = std::make_shared<Ui::VirtualClock>();
        Ui::RuntimeOptions options;
        options.backend = Ui::BackendKind::kHeadless;
        options.clock = clock_;
        options.exitOnResourceFailure = false;
        options.headlessIdleLimitMs = 5000;
        runtime_ = std::make_unique<Ui::Runtime>(options);
    }
    void TearDown() override { runtime_.reset(); }

    std::shared_ptr<Ui::VirtualClock> clock_;
    std::unique_ptr<Ui::Runtime> runtime_;
};

/// Any description of the embedded package, with the sequence controls available as in
/// the main window.
class TestFrame : public CSkinFrame {
public:
    explicit TestFrame(std::wstring skinFile, int kind = SkinSource::kKindZipResource)
        : CSkinFrame([&] {
              SkinSource source = SkinSource::ForFile(std::move(skinFile));
              source.resourceKind = kind;
              return source;
          }()) {}

    int readyCalls = 0;

    /// The frame's key filter, as the framework calls it: true = handled (swallowed).
    bool FilterKey(uint32_t id, uint32_t vk) {
        Ui::Message message{Handle(), id, vk, 0, {}};
        return OnKeyMessage(message);
    }

protected:
    std::unique_ptr<Ui::Control> CreateControl(std::wstring_view className) override {
        return CreateSequenceControl(className);
    }
    void OnWindowReady() override {
        CSkinFrame::OnWindowReady();
        ++readyCalls;
    }
};
