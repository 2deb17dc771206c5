#include <gtest/gtest.h>

#include "tests/uiframework/ui_test_support.h"

namespace {

using uitest::UiTest;

const char kLayoutXml[] = R"(<?xml version="1.0" encoding="utf-8"?>
<Window size="300,200" caption="0,0,0,30" roundcorner="4,4" showshadow="true" shadowsize="6" mininfo="1,1">
  <Font id="0" name="微软雅黑" size="14" default="true"/>
  <Font id="1" name="微软雅黑" size="20" underline="true"/>
  <VerticalLayout name="root" bkcolor="#FFFFFFFF">
    <HorizontalLayout name="title" height="30">
      <Control width="10"/>
      <Label name="titleLbl" width="100" text="标题"/>
      <Control name="titleFlex"/>
      <Button name="closebtn" width="16" height="16" padding="0,7,8,0"/>
    </HorizontalLayout>
    <Control name="gap" height="10"/>
    <HorizontalLayout name="row" height="40" padding="5,0,5,0">
      <Label name="a"/>
      <Label name="b" width="50"/>
      <Label name="c"/>
    </HorizontalLayout>
    <Label name="flex1"/>
    <Label name="flex2" padding="0,5,0,5" frobnicate="1"/>
    <Label name="hidden" height="50" visible="false"/>
    <TabLayout name="tabs" height="40">
      <Label name="page0"/>
      <HorizontalLayout name="page1"><Label name="p1a" pos="0,0,20,10"/><Label name="p1b"/></HorizontalLayout>
    </TabLayout>
  </VerticalLayout>
</Window>)";

TEST_F(UiTest, LayoutRectangles) {
    auto w = Open(L"layout.xml", kLayoutXml);
    ASSERT_TRUE(w->IsWindow());
    struct Case {
        const wchar_t* name;
        Ui::Rect want;
    } cases[] = {
        {L"root", {0, 0, 300, 200}},
        {L"title", {0, 0, 300, 30}},
        {L"titleLbl", {10, 0, 110, 30}},
        {L"titleFlex", {110, 0, 276, 30}},
        {L"closebtn", {276, 7, 292, 23}},  // padding moves it, fixed 16 x 16
        {L"gap", {0, 30, 300, 40}},
        {L"row", {5, 40, 295, 80}},  // horizontal padding narrows it
        {L"a", {5, 40, 125, 80}},    // (290 - 50) shared by a and c
        {L"b", {125, 40, 175, 80}},
        {L"c", {175, 40, 295, 80}},
        {L"flex1", {0, 80, 300, 115}},   // 200 - 130 fixed = 70, two flexible
        {L"flex2", {0, 120, 300, 155}},  // its own padding 5 above and below
        {L"tabs", {0, 160, 300, 200}},   // the hidden label takes no room
        {L"page0", {0, 160, 300, 200}},
    };
    for (const auto& c : cases) {
        Ui::Control* ctl = w->FindControl(c.name);
        ASSERT_NE(ctl, nullptr) << std::string(c.name, c.name + wcslen(c.name));
        const Ui::Rect& r = ctl->GetPos();
        EXPECT_EQ(r, c.want) << std::string(c.name, c.name + wcslen(c.name)) << " is {" << r.left
                             << "," << r.top << "," << r.right << "," << r.bottom << "}";
    }
}

TEST_F(UiTest, TabLayoutShowsExactlyOnePage) {
    auto w = Open(L"layout.xml", kLayoutXml);
    auto* tabs = w->FindControlAs<Ui::TabLayout>(L"tabs");
    ASSERT_NE(tabs, nullptr);
    EXPECT_TRUE(w->FindControl(L"page0")->IsVisible());
    EXPECT_FALSE(w->FindControl(L"page1")->IsVisible());
    EXPECT_TRUE(tabs->SelectItem(1));
    w->Render();
    EXPECT_FALSE(w->FindControl(L"page0")->IsVisible());
    EXPECT_TRUE(w->FindControl(L"p1a")->IsReallyVisible());
    EXPECT_EQ(w->FindControl(L"p1a")->GetPos(), (Ui::Rect{0, 160, 20, 170}));  // "pos" = fixed size
    EXPECT_EQ(w->FindControl(L"p1b")->GetPos(), (Ui::Rect{20, 160, 300, 200}));
    ASSERT_FALSE(w->notes.empty());
    EXPECT_EQ(w->notes.back().type, L"tabselect");
    EXPECT_EQ(w->notes.back().sender, L"tabs");
    EXPECT_EQ(w->notes.back().wParam, 1u);
    size_t before = w->notes.size();
    EXPECT_TRUE(tabs->SelectItem(1));  // already shown: no second notification
    EXPECT_FALSE(tabs->SelectItem(2));
    EXPECT_FALSE(tabs->SelectItem(-1));
    EXPECT_EQ(w->notes.size(), before);
    EXPECT_EQ(tabs->GetCurSel(), 1);
    // A point on page 0's place now hits page 1's controls.
    EXPECT_EQ(w->FindControlAt({5, 165}), w->FindControl(L"p1a"));
}

TEST_F(UiTest, WindowAttributesFontsAndCustomAttributes) {
    auto w = Open(L"layout.xml", kLayoutXml);
    EXPECT_EQ(w->GetClientSize(), (Ui::Size{300, 200}));
    EXPECT_EQ(w->GetCaptionRect(), (Ui::Rect{0, 0, 0, 30}));
    EXPECT_EQ(w->GetRoundCorner(), (Ui::Size{4, 4}));
    ASSERT_NE(w->GetCustomAttribute(L"showshadow"), nullptr);
    EXPECT_EQ(*w->GetCustomAttribute(L"showshadow"), L"true");
    EXPECT_EQ(*w->GetCustomAttribute(L"shadowsize"), L"6");
    EXPECT_EQ(*w->GetCustomAttribute(L"mininfo"), L"1,1");
    EXPECT_EQ(w->GetCustomAttribute(L"size"), nullptr);  // the framework's own
    EXPECT_EQ(w->GetFont(1).size, 20);
    EXPECT_TRUE(w->GetFont(1).underline);
    EXPECT_EQ(w->GetFont(-1).size, 14);  // default
    EXPECT_EQ(w->GetFont(42).size, 14);  // unknown index: default
    EXPECT_EQ(w->GetWindowClassName(), L"layout");
    EXPECT_EQ(w->readyCalls, 1);
    // Caption: the title strip drags, except over the close button.
    EXPECT_TRUE(w->IsCaptionPoint({50, 10}));
    EXPECT_FALSE(w->IsCaptionPoint({280, 10}));
    EXPECT_FALSE(w->IsCaptionPoint({50, 30}));
    // Wider text measures wider in the same font, and a bigger font is taller.
    Ui::Size small = w->MeasureText(L"Lexivo", 0), big = w->MeasureText(L"Lexivo", 1);
    EXPECT_GT(small.cx, 0);
    EXPECT_GT(big.cx, small.cx);
    EXPECT_GT(big.cy, small.cy);
}

class Fancy : public Ui::Label {
public:
    std::wstring_view GetClass() const override { return L"Fancy"; }
    void SetAttribute(std::wstring_view n, std::wstring_view v) override {
        if (n == L"sparkle")
            sparkle = v;
        else
            Label::SetAttribute(n, v);
    }
    void DoInit() override { ++inits; }
    std::wstring sparkle;
    int inits = 0;
};

TEST_F(UiTest, WindowFactoryCreatesOtherElements) {
    const char xml[] = R"(<Window size="100,100"><HorizontalLayout>
        <fancy name="f" sparkle="yes" width="30"/>
        <Unknown name="u"><Label name="inner"/></Unknown>
        <Label name="after"/>
      </HorizontalLayout></Window>)";
    AddFile(L"f.xml", xml);
    uitest::TestWindow w(L"f.xml");
    std::vector<std::wstring> asked;
    w.factory = [&](std::wstring_view cls) -> std::unique_ptr<Ui::Control> {
        asked.emplace_back(cls);
        if (Ui::EqualsNoCase(cls, L"Fancy"))
            return std::make_unique<Fancy>();
        return nullptr;
    };
    ASSERT_TRUE(w.Create(nullptr, L"t"));
    w.Render();
    auto* f = w.FindControlAs<Fancy>(L"f");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->sparkle, L"yes");
    EXPECT_EQ(f->inits, 1);
    EXPECT_EQ(f->GetPos(), (Ui::Rect{0, 0, 30, 100}));
    EXPECT_EQ(w.FindControl(L"u"), nullptr);
    EXPECT_EQ(w.FindControl(L"inner"), nullptr);  // skipped with its element
    EXPECT_EQ(w.FindControl(L"after")->GetPos(), (Ui::Rect{30, 0, 100, 100}));
    EXPECT_EQ(asked, (std::vector<std::wstring>{L"fancy", L"Unknown"}));
}

TEST_F(UiTest, ShowAndHideRelayouts) {
    auto w = Open(L"layout.xml", kLayoutXml);
    w->FindControl(L"hidden")->SetVisible(true);
    w->Render();
    EXPECT_EQ(w->FindControl(L"flex1")->GetPos(),
              (Ui::Rect{0, 80, 300, 90}));  // 70 - 50 = 20 shared
    EXPECT_EQ(w->FindControl(L"hidden")->GetPos(), (Ui::Rect{0, 110, 300, 160}));
    w->FindControl(L"b")->SetFixedWidth(90);
    w->Render();
    EXPECT_EQ(w->FindControl(L"c")->GetPos(), (Ui::Rect{195, 40, 295, 80}));
}

}  // namespace

namespace {

// Values at the edge of the integer range (found by fuzzing) lay out and paint without
// overflowing: sizes are clamped, an impossible window size is ignored.
TEST_F(UiTest, ExtremeMarkupValuesStayBounded) {
    const char xml[] = R"(<Window size="2147483647,5">
      <Font id="0" name="x" size="2147483647" default="true"/>
      <HorizontalLayout>
        <Label name="wide" width="2147483647" text="很大" multiline="true" textpadding="-2147483648,0,0,0"/>
        <Label name="pad" padding="2147483647,2147483647,0,0" bkimage="file='a.png' dest='2147483647,0,5,5' corner='9999999,0,0,0'"/>
        <Progress name="p" width="10" min="-2147483647" max="2147483647" value="2147483647" foreimage="a.png"/>
      </HorizontalLayout></Window>)";
    AddFile(L"a.png", uitest::SolidPng(2, 2, 0xFF00FF00));
    auto w = Open(L"x.xml", xml);
    ASSERT_TRUE(w->IsWindow());
    EXPECT_EQ(w->GetClientSize(), (Ui::Size{100, 100})) << "impossible size ignored";
    EXPECT_EQ(w->FindControl(L"wide")->GetFixedWidth(), Ui::kMaxCoordinate);
    EXPECT_LE(w->FindControl(L"pad")->GetPos().right, Ui::kMaxCoordinate);
    EXPECT_EQ(w->GetFont(0).size, 1000);
    EXPECT_EQ(w->FindControlAs<Ui::Progress>(L"p")->GetValue(), 2147483647);
    w->Render();
}

}  // namespace
