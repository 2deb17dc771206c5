// Frame-sequence controls: the stepping rule as a table, attribute parsing, pattern safety,
// and the controls running on a window's timers (virtual clock), painting their frames.
#include "ui/sequence_controls.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/ui/ui_test_support.h"
#include "uiframework/resource_source.h"

namespace {

// Frame numbers shown by `ticks` ticks, -1 for a tick that showed nothing; `stoppedAt` gets
// the tick (1-based) that asked to stop the timer, 0 when none did.
std::vector<int> RunTicks(FrameSequence& sequence, int ticks, int* stoppedAt = nullptr) {
    std::vector<int> shown;
    if (stoppedAt != nullptr) {
        *stoppedAt = 0;
    }
    for (int i = 0; i < ticks; ++i) {
        bool stop = false;
        std::optional<std::wstring> name = sequence.Tick(stop);
        shown.push_back(name ? std::stoi(name->substr(1)) : -1);
        if (stop) {
            if (stoppedAt != nullptr && *stoppedAt == 0) {
                *stoppedAt = i + 1;
            }
            break;  // the control kills its timer: no further ticks arrive
        }
    }
    return shown;
}

FrameSequence Make(int count, bool loop, bool round) {
    FrameSequence s(30, false);
    s.SetAttribute(L"sequencebkimage", L"f%d");
    s.SetAttribute(L"sequencecount", std::to_wstring(count));
    s.SetAttribute(L"sequenceloop", loop ? L"true" : L"false");
    s.SetAttribute(L"sequenceround", round ? L"true" : L"false");
    return s;
}

TEST(FrameSequenceTest, SequencesOfTheFourModes) {
    const struct {
        int count;
        bool loop, round;
        int ticks;
        std::vector<int> frames;
        int stoppedAt;
    } cases[] = {
        {3, true, true, 9, {0, 1, 2, 1, 0, 1, 2, 1, 0}, 0},
        {3, true, false, 7, {0, 1, 2, 0, 1, 2, 0}, 0},
        {3, false, false, 6, {0, 1, 2, -1}, 4},
        {4, false, true, 8, {0, 1, 2, 3, 2, 1, -1}, 7},
        {2, true, true, 5, {0, 1, 0, 1, 0}, 0},
        {1, true, false, 3, {0, 0, 0}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("count " + std::to_string(c.count) + " loop " + std::to_string(c.loop) +
                     " round " + std::to_string(c.round));
        FrameSequence s = Make(c.count, c.loop, c.round);
        int stoppedAt = 0;
        EXPECT_EQ(RunTicks(s, c.ticks, &stoppedAt), c.frames);
        EXPECT_EQ(stoppedAt, c.stoppedAt);
    }
}

TEST(FrameSequenceTest, HundredFramesWithoutLoopStopOnTheLast) {
    FrameSequence s = Make(100, false, false);
    int stoppedAt = 0;
    const std::vector<int> shown = RunTicks(s, 150, &stoppedAt);
    ASSERT_EQ(shown.size(), 101u);
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(shown[i], i);
    }
    EXPECT_EQ(shown[100], -1);  // the tick after 99 shows nothing and stops
    EXPECT_EQ(stoppedAt, 101);
}

TEST(FrameSequenceTest, AttributeRules) {
    FrameSequence s(30, false);
    EXPECT_TRUE(s.Loop());
    EXPECT_FALSE(s.Round());
    EXPECT_FALSE(s.AutoStart());
    EXPECT_EQ(s.GetSpan(), 30);
    // Only exactly "false" switches off.
    for (const wchar_t* value : {L"False", L"FALSE", L"0", L"no", L""}) {
        s.SetAttribute(L"sequenceloop", L"false");
        s.SetAttribute(L"SequenceLoop", value);
        EXPECT_TRUE(s.Loop()) << NarrowText(value);
    }
    s.SetAttribute(L"sequenceloop", L"false");
    EXPECT_FALSE(s.Loop());
    EXPECT_TRUE(s.SetAttribute(L"AUTOSTART", L"true"));
    EXPECT_TRUE(s.AutoStart());
    EXPECT_TRUE(s.SetAttribute(L"SequenceRound", L"yes"));
    EXPECT_TRUE(s.Round());
    // Numbers: leading digits, none gives 0.
    const struct {
        const wchar_t* value;
        int count;
    } numbers[] = {{L"100", 100}, {L"12px", 12}, {L"", 0}, {L"x5", 0}, {L"007", 7}};
    for (const auto& n : numbers) {
        s.SetAttribute(L"SEQUENCECOUNT", n.value);
        EXPECT_EQ(s.GetCount(), n.count) << NarrowText(n.value);
    }
    s.SetAttribute(L"sequencespan", L"45");
    EXPECT_EQ(s.GetSpan(), 45);
    // The pattern's attribute name is compared exactly.
    EXPECT_FALSE(s.SetAttribute(L"SequenceBkImage", L"x%d"));
    EXPECT_TRUE(s.GetPattern().empty());
    EXPECT_TRUE(s.SetAttribute(L"sequencebkimage", L"x%d"));
    EXPECT_EQ(s.GetPattern(), L"x%d");
    EXPECT_FALSE(s.SetAttribute(L"bkimage", L"y.png"));
}

TEST(FrameSequenceTest, FrameNamesAndUnplayableSettings) {
    FrameSequence s(30, false);
    s.SetCount(100);
    const struct {
        const wchar_t* pattern;
        uint32_t index;
        const wchar_t* name;  // null: no name
    } names[] = {
        {L"res\\mainWnd\\installBtnAnimate\\%.3d.png", 7,
         L"res\\mainWnd\\installBtnAnimate\\007.png"},
        {L"res\\mainWnd\\installBtnAnimate\\%.3d.png", 99,
         L"res\\mainWnd\\installBtnAnimate\\099.png"},
        {L"file='f%02d.png' fade='200'", 5, L"file='f05.png' fade='200'"},
        {L"100%%_%d", 3, L"100%_3"},
        {L"%x", 255, L"ff"},
        {L"%s.png", 1, nullptr},     // not an integer conversion
        {L"%d_%d.png", 1, nullptr},  // two conversions
        {L"%n.png", 1, nullptr},     // writes memory in printf
        {L"frame.png", 1, nullptr},  // no conversion at all
        {L"%.3", 1, nullptr},        // cut off
        {L"%ld.png", 1, nullptr},    // length modifiers are not accepted
    };
    for (const auto& n : names) {
        s.SetPattern(n.pattern);
        const std::optional<std::wstring> name = s.FrameName(n.index);
        if (n.name == nullptr) {
            EXPECT_FALSE(name.has_value()) << NarrowText(n.pattern);
            EXPECT_FALSE(s.IsPlayable()) << NarrowText(n.pattern);
        } else {
            ASSERT_TRUE(name.has_value()) << NarrowText(n.pattern);
            EXPECT_EQ(*name, n.name);
        }
    }
    // 259 characters fit with the terminator; 260 do not.
    s.SetPattern(std::wstring(256, L'a') + L"%d");
    s.SetCount(100);
    EXPECT_TRUE(s.FrameName(999).has_value());
    EXPECT_FALSE(s.FrameName(1000).has_value());
    EXPECT_FALSE(s.IsPlayable() && s.FrameName(1000).has_value());
    s.SetCount(1001);
    EXPECT_FALSE(s.IsPlayable()) << "the last frame's name would not fit";

    // Counts below the limits: no animation, and a tick asks to stop.
    const struct {
        int count;
        bool round;
        bool playable;
    } counts[] = {
        {0, false, false}, {-3, false, false}, {1, true, false}, {1, false, true}, {2, true, true}};
    for (const auto& c : counts) {
        FrameSequence t = Make(c.count, true, c.round);
        EXPECT_EQ(t.IsPlayable(), c.playable) << c.count << " " << c.round;
        if (!c.playable) {
            int stoppedAt = 0;
            EXPECT_EQ(RunTicks(t, 3, &stoppedAt), std::vector<int>{-1});
            EXPECT_EQ(stoppedAt, 1);
        }
    }
    // An empty pattern shows nothing but keeps the timer.
    FrameSequence empty(30, false);
    empty.SetCount(5);
    bool stop = true;
    EXPECT_FALSE(empty.Tick(stop).has_value());
    EXPECT_FALSE(stop);
}

TEST(FrameSequenceTest, FactoryAndNames) {
    auto label = CreateSequenceControl(L"sequencelabel");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->GetClass(), L"SequenceLabel");
    EXPECT_EQ(label->GetInterface(L"SequenceLabel"), label.get());
    EXPECT_NE(label->GetInterface(L"Label"), nullptr);
    EXPECT_EQ(label->GetInterface(L"sequencelabel"), nullptr);  // interface names are exact
    EXPECT_EQ(label->GetInterface(L"Button"), nullptr);
    auto button = CreateSequenceControl(L"SEQUENCEBUTTON");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->GetClass(), L"SequenceButton");
    EXPECT_EQ(button->GetInterface(L"SequenceButton"), button.get());
    EXPECT_NE(button->GetInterface(L"Button"), nullptr);
    EXPECT_EQ(CreateSequenceControl(L"Label"), nullptr);
    EXPECT_EQ(CreateSequenceControl(L"SequenceLabelX"), nullptr);
    // Defaults differ: the button runs at 60 ms and ping-pongs.
    auto* b = dynamic_cast<CSequenceButtonUI*>(button.get());
    auto* l = dynamic_cast<CSequenceLabelUI*>(label.get());
    ASSERT_TRUE(b && l);
    EXPECT_EQ(l->GetSequenceSpan(), 30);
    EXPECT_FALSE(l->Sequence().Round());
    EXPECT_EQ(b->GetSequenceSpan(), 60);
    EXPECT_TRUE(b->Sequence().Round());
}

// ---- on a window -------------------------------------------------------------------------

// A solid 10 x 10 PNG of one colour (opaque).
std::string SolidPng(uint32_t rgb, int size = 10) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
    cairo_t* cr = cairo_create(s);
    cairo_set_source_rgb(cr, ((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0,
                         (rgb & 0xFF) / 255.0);
    cairo_paint(cr);
    cairo_destroy(cr);
    std::string png;
    cairo_surface_write_to_png_stream(
        s,
        [](void* closure, const unsigned char* data, unsigned int length) {
            static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
            return CAIRO_STATUS_SUCCESS;
        },
        &png);
    cairo_surface_destroy(s);
    return png;
}

class SequenceWindowTest : public HeadlessUiTest {
protected:
    void SetUp() override {
        HeadlessUiTest::SetUp();
        auto source = std::make_shared<Ui::MemoryResourceSource>();
        source->Add(L"seq.xml", R"(<?xml version="1.0" encoding="UTF-8"?>
<Window size="300,40">
  <HorizontalLayout>
    <SequenceLabel name="pp" width="40" sequencebkimage="f%d" sequencecount="3" sequenceround="true" sequencespan="40" />
    <SequenceLabel name="once" width="40" sequencebkimage="g%.3d" sequencecount="100" sequenceloop="false" autostart="true" />
    <SequenceLabel name="capital" width="40" sequencebkimage="c%d" sequencecount="2" sequenceloop="False" sequencespan="50" autostart="true" />
    <SequenceLabel name="empty" width="40" bkimage="keep.png" sequencecount="5" autostart="true" />
    <SequenceLabel name="unsafe" width="40" bkimage="keep.png" sequencebkimage="%s%s%n" sequencecount="5" autostart="true" />
    <SequenceLabel name="painted" width="10" height="10" sequencebkimage="red%d.png" sequencecount="2" sequencespan="100" autostart="true" normalimage="green.png" />
    <SequenceButton name="button" width="10" height="10" sequencebkimage="red%d.png" sequencecount="2" sequencespan="100" autostart="true" normalimage="file='green.png' dest='0,0,5,5'" />
    <Control />
  </HorizontalLayout>
</Window>)");
        source->Add(L"red0.png", SolidPng(0xFF0000));
        source->Add(L"red1.png", SolidPng(0x0000FF));
        source->Add(L"green.png", SolidPng(0x00FF00));
        runtime_->SetResources(source);
        window_ = std::make_unique<TestFrame>(L"seq.xml", SkinSource::kKindFolder);
        ASSERT_TRUE(window_->Create(nullptr, L"t"));
        window_->ShowWindow(true);
        driver_ = std::make_unique<Ui::TestDriver>(*window_);
        driver_->Pump();
    }
    void TearDown() override {
        driver_.reset();
        window_.reset();
        HeadlessUiTest::TearDown();
    }

    std::wstring Image(const wchar_t* name) { return window_->FindControl(name)->GetBkImage(); }

    std::unique_ptr<TestFrame> window_;
    std::unique_ptr<Ui::TestDriver> driver_;
};

TEST_F(SequenceWindowTest, PingPongWithLoopOnTheTimer) {
    auto* pp = window_->FindControlAs<CSequenceLabelUI>(L"pp");
    ASSERT_NE(pp, nullptr);
    driver_->Advance(400);
    EXPECT_TRUE(Image(L"pp").empty()) << "no auto start: nothing runs";
    pp->Start();
    std::vector<std::wstring> shown;
    for (int i = 0; i < 9; ++i) {
        driver_->Advance(40);
        shown.push_back(Image(L"pp"));
    }
    const std::vector<std::wstring> expected = {L"f0", L"f1", L"f2", L"f1", L"f0",
                                                L"f1", L"f2", L"f1", L"f0"};
    EXPECT_EQ(shown, expected);
}

TEST_F(SequenceWindowTest, RestartGoesBackToFrameZeroWithoutASecondTimer) {
    auto* pp = window_->FindControlAs<CSequenceLabelUI>(L"pp");
    pp->Start();
    driver_->Advance(40);
    driver_->Advance(40);
    EXPECT_EQ(Image(L"pp"), L"f1");
    pp->Start();
    pp->Start();
    driver_->Advance(39);
    EXPECT_EQ(Image(L"pp"), L"f1") << "restarting re-arms the period";
    driver_->Advance(1);
    EXPECT_EQ(Image(L"pp"), L"f0");
    driver_->Advance(40);
    EXPECT_EQ(Image(L"pp"), L"f1") << "one tick per period: a second timer would skip frames";
    EXPECT_TRUE(pp->KillTimer(TIMER_SEQUENCE_FRAME));
    EXPECT_FALSE(pp->KillTimer(TIMER_SEQUENCE_FRAME));
}

TEST_F(SequenceWindowTest, NonLoopingSequenceStopsOnItsLastFrame) {
    auto* once = window_->FindControlAs<CSequenceLabelUI>(L"once");
    driver_->Advance(30);
    EXPECT_EQ(Image(L"once"), L"g000");
    driver_->Advance(99 * 30);
    EXPECT_EQ(Image(L"once"), L"g099");
    driver_->Advance(30 * 20);
    EXPECT_EQ(Image(L"once"), L"g099");
    EXPECT_FALSE(once->KillTimer(TIMER_SEQUENCE_FRAME)) << "the timer should have stopped itself";
}

TEST_F(SequenceWindowTest, CapitalFalseStillLoops) {
    std::vector<std::wstring> shown;
    for (int i = 0; i < 5; ++i) {
        driver_->Advance(50);
        shown.push_back(Image(L"capital"));
    }
    EXPECT_EQ(shown, (std::vector<std::wstring>{L"c0", L"c1", L"c0", L"c1", L"c0"}));
}

TEST_F(SequenceWindowTest, EmptyOrUnsafePatternsNeverChangeTheBackground) {
    driver_->Advance(1000);
    EXPECT_EQ(Image(L"empty"), L"keep.png");
    EXPECT_EQ(Image(L"unsafe"), L"keep.png");
    auto* unsafe = window_->FindControlAs<CSequenceLabelUI>(L"unsafe");
    unsafe->Start();
    driver_->Advance(1000);
    EXPECT_EQ(Image(L"unsafe"), L"keep.png");
    EXPECT_FALSE(unsafe->KillTimer(TIMER_SEQUENCE_FRAME)) << "an unplayable sequence arms no timer";
}

// The frame is the control's background image; the label paints no state image over it,
// the button paints its normal image over it.
TEST_F(SequenceWindowTest, FramesArePaintedUnderTheButtonImage) {
    const Ui::Rect label = window_->FindControl(L"painted")->GetPos();
    const Ui::Rect button = window_->FindControl(L"button")->GetPos();
    driver_->Advance(100);
    EXPECT_EQ(driver_->Pixel(label.left + 2, label.top + 2), 0xFFFF0000u);
    EXPECT_EQ(driver_->Pixel(label.left + 8, label.top + 8), 0xFFFF0000u);
    EXPECT_EQ(driver_->Pixel(button.left + 2, button.top + 2), 0xFF00FF00u);
    EXPECT_EQ(driver_->Pixel(button.left + 8, button.top + 8), 0xFFFF0000u);
    driver_->Advance(100);
    EXPECT_EQ(driver_->Pixel(label.left + 8, label.top + 8), 0xFF0000FFu);
    EXPECT_EQ(driver_->Pixel(button.left + 2, button.top + 2), 0xFF00FF00u);
    EXPECT_EQ(driver_->Pixel(button.left + 8, button.top + 8), 0xFF0000FFu);
}

// The shipped main window: the animation runs from the moment the window is built and
// cycles through the package's 100 frames.
TEST_F(HeadlessUiTest, MainWindowAnimationCyclesThroughThePackageFrames) {
    TestFrame window(L"MainWnd.xml");
    ASSERT_TRUE(window.Create(nullptr, L"Lexivo"));
    window.ShowWindow(true);
    Ui::TestDriver driver(window);
    auto* animation = window.FindControlAs<CSequenceLabelUI>(L"progressAnLb");
    ASSERT_NE(animation, nullptr);
    EXPECT_EQ(animation->GetSequenceCount(), 100);
    EXPECT_EQ(animation->GetSequenceSpan(), 30);
    driver.Advance(30);
    EXPECT_EQ(animation->GetBkImage(), L"res\\mainWnd\\installBtnAnimate\\000.png");
    driver.Advance(99 * 30);
    EXPECT_EQ(animation->GetBkImage(), L"res\\mainWnd\\installBtnAnimate\\099.png");
    driver.Advance(30);
    EXPECT_EQ(animation->GetBkImage(), L"res\\mainWnd\\installBtnAnimate\\000.png");
    // Frames really differ on screen once the installing page shows.
    window.FindControlAs<Ui::TabLayout>(L"mainTabLt")->SelectItem(2);
    const Ui::Point center = animation->GetPos().Center();
    driver.Advance(30);
    uint32_t changed = 0;
    std::vector<uint32_t> before;
    for (int dx = -70; dx <= 70; dx += 7) {
        before.push_back(driver.Pixel(center.x + dx, center.y - 68));
    }
    driver.Advance(25 * 30);
    size_t i = 0;
    for (int dx = -70; dx <= 70; dx += 7, ++i) {
        changed += driver.Pixel(center.x + dx, center.y - 68) != before[i];
    }
    EXPECT_GT(changed, 0u);
}

}  // namespace
