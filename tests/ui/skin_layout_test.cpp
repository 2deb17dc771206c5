// The six descriptions laid out by the framework: the named controls sit where the
// installer's layout puts them (client coordinates, window 600 x 400 or 360 x 180).
#include <gtest/gtest.h>

#include "tests/ui/ui_test_support.h"
#include "uiframework/controls.h"

namespace {

struct Placement {
    const wchar_t* control;
    Ui::Rect rect;
};

struct PageLayout {
    int page;  // main window page to show first; -1 for dialogs
    std::vector<Placement> placements;
};

void ExpectPlacements(TestFrame& window, const std::vector<Placement>& placements) {
    window.Render();
    for (const Placement& p : placements) {
        Ui::Control* control = window.FindControl(p.control);
        ASSERT_NE(control, nullptr) << NarrowText(p.control);
        EXPECT_EQ(control->GetPos(), p.rect)
            << NarrowText(window.GetSkinFile()) << " " << NarrowText(p.control);
    }
}

class SkinLayoutTest : public HeadlessUiTest {};

TEST_F(SkinLayoutTest, MainWindowPages) {
    TestFrame window(L"MainWnd.xml");
    ASSERT_TRUE(window.Create(nullptr, L"Lexivo"));
    EXPECT_EQ(window.GetClientSize(), (Ui::Size{600, 400}));
    EXPECT_EQ(window.GetCaptionRect(), (Ui::Rect{0, 0, 0, 35}));
    EXPECT_EQ(window.GetRoundCorner(), (Ui::Size{2, 2}));
    const std::vector<PageLayout> pages = {
        {0,
         {{L"winCtn", {0, 0, 600, 400}},
          {L"titleTabLt", {10, 0, 210, 45}},
          {L"titleGrpCtn", {526, 17, 598, 41}},
          {L"minbtn", {526, 17, 542, 33}},
          {L"closebtn", {562, 17, 578, 33}},
          {L"mainTabLt", {1, 45, 599, 400}},
          {L"defaultInstallBtn", {183, 236, 417, 286}},
          {L"tipLbl", {11, 325, 127, 357}},
          {L"customeBtn", {491, 361, 579, 379}}}},
        {1,
         {{L"backBtn", {10, 17, 56, 35}},
          {L"installDirEdit", {129, 171, 469, 211}},
          {L"chDirBtn", {479, 171, 559, 211}},
          {L"createDSCb", {125, 239, 263, 257}},
          {L"createQSCb", {283, 239, 421, 257}},
          {L"customeInstallBtn", {183, 302, 417, 352}}}},
        {2,
         {{L"progressAnLb", {221, 81, 379, 239}},
          {L"progressLb", {120, 307, 480, 331}},
          {L"installPrg", {95, 351, 505, 359}}}},
        {3, {{L"openProduceBtn", {183, 246, 417, 296}}, {L"bTitleLbl3", {250, 354, 380, 374}}}},
    };
    // Hidden controls are not laid out; the main window shows these two when needed.
    EXPECT_FALSE(window.FindControl(L"tipLbl")->IsVisible());
    EXPECT_FALSE(window.FindControl(L"createQSCb")->IsVisible());
    window.FindControl(L"tipLbl")->SetVisible(true);
    window.FindControl(L"createQSCb")->SetVisible(true);
    auto* tabs = window.FindControlAs<Ui::TabLayout>(L"mainTabLt");
    ASSERT_NE(tabs, nullptr);
    EXPECT_EQ(tabs->ChildCount(), 4u);
    for (const PageLayout& page : pages) {
        SCOPED_TRACE("page " + std::to_string(page.page));
        tabs->SelectItem(page.page);
        if (page.page == 1) {
            window.FindControlAs<Ui::TabLayout>(L"titleTabLt")->SelectItem(1);
        }
        ExpectPlacements(window, page.placements);
    }
    // Initial states the main window relies on.
    EXPECT_TRUE(window.FindControlAs<Ui::CheckBox>(L"treatyCb")->IsSelected());
    EXPECT_TRUE(window.FindControlAs<Ui::CheckBox>(L"treatyBtn")->IsSelected());
    EXPECT_TRUE(window.FindControlAs<Ui::CheckBox>(L"createDSCb")->IsSelected());
    EXPECT_TRUE(window.FindControlAs<Ui::CheckBox>(L"createQSCb")->IsSelected());
    EXPECT_FALSE(window.FindControl(L"treatyCb")->GetParent()->IsVisible());
    EXPECT_EQ(window.FindControl(L"progressLb")->GetText(), L"正在安装中:0%，请稍候...");
    EXPECT_EQ(window.FindControl(L"defaultInstallBtn")->GetBkColor(), 0xFF00B0A6u);
    EXPECT_EQ(window.FindControlAs<Ui::TabLayout>(L"titleTabLt")->ChildCount(), 3u);
}

TEST_F(SkinLayoutTest, Dialogs) {
    const struct {
        const wchar_t* file;
        Ui::Size roundCorner;
        std::vector<Placement> placements;
    } dialogs[] = {
        {L"MessageBox1Wnd.xml",
         {2, 2},
         {{L"captionLbl", {10, 0, 169, 30}},
          {L"closebtn", {328, 7, 344, 23}},
          {L"textLbl", {1, 30, 359, 180}}}},
        {L"MessageBox2Wnd.xml",
         {2, 2},
         {{L"captionLbl", {10, 0, 167, 30}},
          {L"closebtn", {324, 7, 340, 23}},
          {L"textLbl", {1, 31, 359, 179}}}},
        {L"ExitTipWnd.xml",
         {4, 4},
         {{L"closebtn", {324, 7, 340, 23}},
          {L"okBtn", {129, 131, 229, 161}},
          {L"cancelBtn", {239, 131, 339, 161}}}},
        {L"InstalledPathTipWnd.xml",
         {4, 4},
         {{L"closebtn", {324, 7, 340, 23}},
          {L"cancelBtn", {53, 131, 191, 161}},
          {L"okBtn", {201, 131, 339, 161}}}},
        {L"NetworkTipWnd.xml",
         {2, 2},
         {{L"closebtn", {324, 7, 340, 23}},
          {L"cancelBtn", {134, 130, 234, 160}},
          {L"okBtn", {244, 130, 344, 160}}}},
    };
    for (const auto& dialog : dialogs) {
        SCOPED_TRACE(NarrowText(dialog.file));
        TestFrame window(dialog.file);
        ASSERT_TRUE(window.Create(nullptr, L"消息框"));
        EXPECT_EQ(window.GetClientSize(), (Ui::Size{360, 180}));
        EXPECT_EQ(window.GetCaptionRect(), (Ui::Rect{0, 0, 0, 30}));
        EXPECT_EQ(window.GetRoundCorner(), dialog.roundCorner);
        ExpectPlacements(window, dialog.placements);
    }
}

}  // namespace
