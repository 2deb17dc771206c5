#include <gtest/gtest.h>

#include <chrono>

#include "tests/uiframework/ui_test_support.h"
#include "uiframework/shadow.h"

namespace {

using uitest::UiTest;

const char kPlainXml[] = R"(<Window size="100,60"><VerticalLayout bkcolor="#FFFFFFFF"/></Window>)";

uint32_t At(cairo_surface_t* s, int x, int y) {
    cairo_surface_flush(s);
    return *reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(s) +
                                              y * cairo_image_surface_get_stride(s) + x * 4);
}

TEST_F(UiTest, ShadowSettingsRefuseValuesOutOfRange) {
    Ui::WindowShadow s;
    struct Case {
        bool (Ui::WindowShadow::*set)(int);
        int value;
        bool ok;
    } cases[] = {
        {&Ui::WindowShadow::SetSize, 20, true},       {&Ui::WindowShadow::SetSize, -20, true},
        {&Ui::WindowShadow::SetSize, 21, false},      {&Ui::WindowShadow::SetSharpness, 0, true},
        {&Ui::WindowShadow::SetSharpness, 21, false}, {&Ui::WindowShadow::SetSharpness, -1, false},
        {&Ui::WindowShadow::SetDarkness, 255, true},  {&Ui::WindowShadow::SetDarkness, 256, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ((s.*c.set)(c.value), c.ok) << c.value;
    EXPECT_EQ(s.GetSize(), -20) << "a refused value keeps the old one";
    EXPECT_EQ(s.Sharpness(), 0);
    EXPECT_EQ(s.Darkness(), 255);
    EXPECT_TRUE(s.SetPosition(-20, 20));
    EXPECT_FALSE(s.SetPosition(0, 21));
    EXPECT_EQ(s.Position(), (Ui::Point{-20, 20}));
}

TEST_F(UiTest, ShadowComposesAroundTheWindow) {
    auto w = Open(L"plain.xml", kPlainXml);
    Ui::WindowShadow s;
    EXPECT_EQ(s.Compose(), nullptr) << "detached: nothing";
    s.Attach(w.get());
    s.SetSize(4);
    s.SetSharpness(3);
    s.SetDarkness(200);
    s.SetPosition(1, 1);
    s.SetColor(0xFF000000);
    EXPECT_EQ(s.Margin(), (Ui::Rect{6, 6, 8, 8}));
    cairo_surface_t* img = s.Compose();
    ASSERT_NE(img, nullptr);
    EXPECT_EQ(cairo_image_surface_get_width(img), 114);
    EXPECT_EQ(cairo_image_surface_get_height(img), 74);
    EXPECT_EQ(At(img, 6 + 50, 6 + 30), 0xFFFFFFFFu) << "the window itself";
    EXPECT_EQ(At(img, 6 + 100 + 3, 40) >> 24, 200u) << "inside size + position: full darkness";
    uint32_t ring1 = At(img, 6 + 100 + 5, 40) >> 24, ring3 = At(img, 6 + 100 + 7, 40) >> 24;
    EXPECT_NEAR(ring1, 150, 2);  // 200 * 3/4
    EXPECT_NEAR(ring3, 50, 2);   // 200 * 1/4: fading out
    // Offset 1,1: the dark core reaches 3 pixels left of the window and 5 to its right.
    EXPECT_EQ(At(img, 3, 40) >> 24, 200u);
    EXPECT_NEAR(At(img, 2, 40) >> 24, 150u, 2);
    EXPECT_NEAR(At(img, 0, 40) >> 24, 50u, 2);
    EXPECT_EQ(At(img, 6 + 100 + 4, 40) >> 24, 200u);
    cairo_surface_destroy(img);
}

TEST_F(UiTest, CentringIconAndMinimise) {
    auto main = Open(L"plain.xml", kPlainXml);
    main->CenterWindow();
    EXPECT_EQ(main->GetPosition(), (Ui::Point{(1920 - 100) / 2, (1080 - 60) / 2}));
    AddFile(L"dlg.xml", R"(<Window size="40,20"><Control/></Window>)");
    uitest::TestWindow dlg(L"dlg.xml");
    ASSERT_TRUE(dlg.Create(main.get(), L"dlg"));
    dlg.CenterWindow();
    EXPECT_EQ(dlg.GetPosition(), (Ui::Point{910 + 30, 510 + 20})) << "centred on its owner";
    AddFile(L"res/icon.png", uitest::SolidPng(32, 32, 0xFF00B0A6));
    EXPECT_TRUE(main->SetIcon(L"RES\\icon.png"));
    EXPECT_FALSE(main->SetIcon(L"res/none.png"));
    main->Minimize();
    EXPECT_TRUE(main->IsMinimized());
    main->ShowWindow(true);
    EXPECT_FALSE(main->IsMinimized());
    EXPECT_EQ(dlg.GetWindowClassName(), L"dlg");
}

TEST(HeadlessIdleTest, ForgottenDialogEndsInsteadOfHanging) {
    auto src = std::make_shared<Ui::MemoryResourceSource>();
    src->Add(L"plain.xml", kPlainXml);
    Ui::RuntimeOptions o;
    o.backend = Ui::BackendKind::kHeadless;
    o.resources = src;
    o.headlessIdleLimitMs = 200;
    Ui::Runtime rt(o);
    uitest::TestWindow w(L"plain.xml");
    ASSERT_TRUE(w.Create(nullptr, L"t"));
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(w.ShowModal(), -1);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                  std::chrono::steady_clock::now() - start)
                  .count();
    EXPECT_GE(ms, 200);
    EXPECT_LT(ms, 3000);
    EXPECT_TRUE(w.IsWindow());
}

TEST_F(UiTest, RecreatingAWindowAfterItClosed) {
    auto w = Open(L"plain.xml", kPlainXml);
    Ui::WindowHandle first = w->Handle();
    w->Close(1);
    Ui::TestDriver(*w).Pump();
    ASSERT_FALSE(w->IsWindow());
    EXPECT_FALSE(Ui::PostMessage(first, Ui::kMsgUser)) << "a stale handle finds no window";
    ASSERT_TRUE(w->Create(nullptr, L"again"));
    EXPECT_NE(w->Handle(), first) << "handles are not reused";
    EXPECT_EQ(w->readyCalls, 2);
}

}  // namespace
