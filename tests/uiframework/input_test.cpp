#include <gtest/gtest.h>

#include "tests/uiframework/ui_test_support.h"
#include "uiframework/backend.h"

namespace {

using uitest::UiTest;

constexpr uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF, kGrey = 0xFF808080;

const char kInputXml[] = R"(<Window size="300,200" caption="0,0,0,30">
  <Font id="0" name="微软雅黑" size="14" default="true"/>
  <VerticalLayout bkcolor="#FFFFFFFF">
    <HorizontalLayout height="40">
      <Button name="btn" width="60" normalimage="res/red.png" hotimage="res/green.png" pushedimage="res/blue.png"/>
      <Button name="off" width="60" enabled="false" normalimage="res/red.png" disabledimage="res/grey.png"/>
      <CheckBox name="cb" width="60" normalimage="res/red.png" selectedimage="file='res/blue.png' dest='0,0,10,10'"/>
      <Control/>
    </HorizontalLayout>
    <Edit name="ed" height="30" maxchar="12"/>
    <Button name="colours" height="30" text="文字" bkcolor="#FF000001" hotbkcolor="#FF000002" pushedbkcolor="#FF000003"/>
    <Control/>
  </VerticalLayout></Window>)";

class InputTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        AddFile(L"res/red.png", uitest::SolidPng(4, 4, kRed));
        AddFile(L"res/green.png", uitest::SolidPng(4, 4, kGreen));
        AddFile(L"res/blue.png", uitest::SolidPng(4, 4, kBlue));
        AddFile(L"res/grey.png", uitest::SolidPng(4, 4, kGrey));
        w_ = Open(L"input.xml", kInputXml);
    }
    void TearDown() override {
        w_.reset();
        UiTest::TearDown();
    }
    uint32_t At(const wchar_t* name, int dx = 30, int dy = 20) {
        Ui::TestDriver d(*w_);
        const Ui::Rect& r = w_->FindControl(name)->GetPos();
        return d.Pixel(r.left + dx, r.top + dy);
    }
    int Clicks(const wchar_t* name) const {
        int n = 0;
        for (const auto& note : w_->notes)
            n += note.type == L"click" && note.sender == name;
        return n;
    }
    std::unique_ptr<uitest::TestWindow> w_;
};

TEST_F(InputTest, HoverPressClickSequence) {
    Ui::TestDriver d(*w_);
    Ui::Point c = d.CenterOf(L"btn");
    EXPECT_EQ(At(L"btn"), kRed);
    d.MouseMove(c);
    EXPECT_EQ(At(L"btn"), kGreen) << "hot";
    d.MouseDown(c);
    EXPECT_EQ(At(L"btn"), kBlue) << "pushed";
    EXPECT_EQ(Clicks(L"btn"), 0) << "a press alone is no click";
    d.MouseUp(c);
    EXPECT_EQ(Clicks(L"btn"), 1);
    EXPECT_EQ(At(L"btn"), kGreen) << "still hot after the click";
    d.MouseMove({150, 150});
    EXPECT_EQ(At(L"btn"), kRed);
}

TEST_F(InputTest, ClickNeedsPressAndReleaseOnTheSameControl) {
    Ui::TestDriver d(*w_);
    Ui::Point btn = d.CenterOf(L"btn"), away{150, 150};
    d.MouseMove(btn);
    d.MouseDown(btn);
    d.MouseMove(away);
    EXPECT_EQ(At(L"btn"), kRed) << "pressed but outside: not shown pushed";
    d.MouseMove(btn);
    EXPECT_EQ(At(L"btn"), kBlue) << "back inside while held: pushed again";
    d.MouseMove(away);
    d.MouseUp(away);
    d.MouseDown(away);
    d.MouseMove(btn);
    d.MouseUp(btn);
    EXPECT_EQ(Clicks(L"btn"), 0);
    // The state colours of a button follow the same states.
    Ui::Point col = d.CenterOf(L"colours");
    d.MouseMove(col);
    EXPECT_EQ(d.Pixel(col.x - 100, col.y), 0xFF000002u);
    d.MouseDown(col);
    EXPECT_EQ(d.Pixel(col.x - 100, col.y), 0xFF000003u);
    d.MouseUp(col);
    d.MouseLeave();
    EXPECT_EQ(d.Pixel(col.x - 100, col.y), 0xFF000001u);
}

TEST_F(InputTest, DisabledControlsIgnoreClicks) {
    Ui::TestDriver d(*w_);
    EXPECT_EQ(At(L"off"), kGrey);
    EXPECT_TRUE(d.Click(L"off"));
    EXPECT_EQ(Clicks(L"off"), 0);
    auto* btn = w_->FindControlAs<Ui::Button>(L"btn");
    btn->SetEnabled(false);
    EXPECT_TRUE(d.Click(L"btn"));
    EXPECT_EQ(Clicks(L"btn"), 0);
    EXPECT_EQ(At(L"btn"), kRed) << "no disabled image: the normal one";
    btn->SetEnabled(true);
    EXPECT_TRUE(d.Click(L"btn"));
    EXPECT_EQ(Clicks(L"btn"), 1);
    // A hidden control can not be clicked at all.
    btn->SetVisible(false);
    EXPECT_FALSE(d.Click(L"btn"));
    // A disabled window (the owner of a modal dialog) takes no input.
    btn->SetVisible(true);
    w_->EnableWindow(false);
    d.Click(L"btn");
    EXPECT_EQ(Clicks(L"btn"), 1);
}

TEST_F(InputTest, CheckBoxTogglesAndNotifies) {
    Ui::TestDriver d(*w_);
    auto* cb = w_->FindControlAs<Ui::CheckBox>(L"cb");
    EXPECT_FALSE(cb->IsSelected());
    d.Click(L"cb");
    EXPECT_TRUE(cb->IsSelected());
    EXPECT_EQ(w_->Trail(),
              (std::vector<std::wstring>{L"setfocus:cb", L"click:cb", L"selectchanged:cb"}));
    const Ui::Rect& r = cb->GetPos();
    EXPECT_EQ(d.Pixel(r.left + 5, r.top + 5), kBlue) << "selected image in its dest";
    w_->notes.clear();
    cb->SetSelected(false);
    EXPECT_EQ(w_->Trail(), (std::vector<std::wstring>{L"selectchanged:cb"}));
    cb->SetSelected(false);
    EXPECT_EQ(w_->notes.size(), 1u) << "no change, no notification";
    cb->SetSelected(true, false);
    EXPECT_EQ(w_->notes.size(), 1u);
}

TEST_F(InputTest, EditTypingSelectionAndClipboard) {
    Ui::TestDriver d(*w_);
    auto* ed = w_->FindControlAs<Ui::Edit>(L"ed");
    ASSERT_TRUE(d.ClickAndType(L"ed", L"abc中文"));
    EXPECT_TRUE(ed->IsFocused());
    EXPECT_EQ(ed->GetText(), L"abc中文");
    d.PressKey(Ui::kVkBack);
    EXPECT_EQ(ed->GetText(), L"abc中");
    d.PressKey(Ui::kVkHome);
    d.PressKey(Ui::kVkRight, Ui::kModShift);
    d.PressKey(Ui::kVkRight, Ui::kModShift);
    EXPECT_EQ(ed->GetSelText(), L"ab");
    d.TypeText(L"X");
    EXPECT_EQ(ed->GetText(), L"Xc中");
    EXPECT_EQ(ed->GetCaret(), 1u);
    d.PressKey(Ui::kVkDelete);
    EXPECT_EQ(ed->GetText(), L"X中");
    d.PressKey(Ui::kVkA, Ui::kModCtrl);
    EXPECT_EQ(ed->GetSelText(), L"X中");
    d.PressKey(Ui::kVkC, Ui::kModCtrl);
    d.PressKey(Ui::kVkEnd);
    d.PressKey(Ui::kVkV, Ui::kModCtrl);
    EXPECT_EQ(ed->GetText(), L"X中X中");
    runtime_->GetBackend().SetClipboard(L"line1\r\nline2 and more text");
    d.PressKey(Ui::kVkV, Ui::kModCtrl);
    EXPECT_EQ(ed->GetText(), L"X中X中line1lin") << "line breaks dropped, cut at maxchar 12";
    // Mouse selection: drag from the start to the end selects everything.
    const Ui::Rect& r = ed->GetPos();
    d.MouseMove({r.left + 1, r.top + 10});
    d.MouseDown({r.left + 1, r.top + 10});
    d.MouseMove({r.right - 2, r.top + 10});
    d.MouseUp({r.right - 2, r.top + 10});
    EXPECT_EQ(ed->GetSelText(), ed->GetText());
    int changes = 0;
    for (const auto& n : w_->notes)
        changes += n.type == L"textchanged";
    EXPECT_EQ(changes, 6);
    // Clicking elsewhere takes the focus away.
    d.Click(L"btn");
    EXPECT_FALSE(ed->IsFocused());
    d.TypeText(L"zzz");
    EXPECT_EQ(ed->GetText(), L"X中X中line1lin");
}

TEST_F(InputTest, KeyHookSwallowsEscapeAndMessageHookSwallowsClose) {
    Ui::TestDriver d(*w_);
    int escapes = 0, otherKeys = 0;
    w_->onKey = [&](Ui::Message& m) {
        if (m.id == Ui::kMsgKeyDown && m.wParam == Ui::kVkEscape) {
            ++escapes;
            return true;
        }
        ++otherKeys;
        return false;
    };
    int closesSeen = 0;
    bool refuseClose = true;
    w_->onMessage = [&](Ui::Message& m) {
        if (m.id == Ui::kMsgClose) {
            ++closesSeen;
            return refuseClose;
        }
        return false;
    };
    d.ClickAndType(L"ed", L"ab");
    d.KeyDown(Ui::kVkEscape);
    EXPECT_EQ(escapes, 1);
    EXPECT_EQ(w_->FindControlAs<Ui::Edit>(L"ed")->GetText(), L"ab");
    d.PressKey(Ui::kVkF4, Ui::kModAlt);  // the system's close request
    d.Pump();
    EXPECT_EQ(closesSeen, 1);
    EXPECT_TRUE(w_->IsWindow()) << "the hook refused the close";
    refuseClose = false;
    w_->Close(4);
    d.Pump();
    EXPECT_FALSE(w_->IsWindow());
    EXPECT_EQ(closesSeen, 2);
    EXPECT_GT(otherKeys, 0);
    EXPECT_NE(w_->GetRoot(), nullptr) << "controls outlive the native window";
}

TEST_F(InputTest, DefaultClickHandling) {
    const char xml[] = R"(<Window size="100,40"><HorizontalLayout>
        <Button name="minbtn" width="20"/><Button name="closebtn" width="20"/><Control/></HorizontalLayout></Window>)";
    auto w = Open(L"d.xml", xml);
    Ui::TestDriver d(*w);
    d.Click(L"minbtn");
    EXPECT_TRUE(w->IsMinimized());
    d.Click(L"closebtn");
    EXPECT_TRUE(w->IsWindow()) << "closing is posted";
    d.Pump();
    EXPECT_FALSE(w->IsWindow());
}

}  // namespace

namespace {

// Input-method composition is shown at the caret but is not text until committed.
TEST_F(InputTest, InputMethodCompositionShownUntilCommitted) {
    Ui::TestDriver d(*w_);
    auto* ed = w_->FindControlAs<Ui::Edit>(L"ed");
    d.ClickAndType(L"ed", L"ab");
    d.PressKey(Ui::kVkLeft);
    const Ui::Rect& r = ed->GetPos();
    auto ink = [&] {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                n += ((d.Pixel(x, y) >> 8) & 0xFF) < 128;
        return n;
    };
    int plain = ink();
    d.Compose(L"zhong");
    EXPECT_EQ(ed->GetComposition(), L"zhong");
    EXPECT_EQ(ed->GetText(), L"ab") << "composition is not text yet";
    EXPECT_GT(ink(), plain) << "composition drawn";
    d.TypeText(L"中");  // the input method commits
    EXPECT_EQ(ed->GetText(), L"a中b");
    EXPECT_TRUE(ed->GetComposition().empty());
    d.Compose(L"x");
    d.Click(L"btn");  // losing the focus drops an unfinished composition
    EXPECT_TRUE(ed->GetComposition().empty());
    EXPECT_EQ(ed->GetText(), L"a中b");
}

}  // namespace
