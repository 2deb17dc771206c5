// Dialogs: ShowMessageBox over an owner, its labels, every way out and the DialogResult it
// returns, the swallowed Escape key, and the frame's shadow and class name from the skin.
#include "ui/message_box_wnd.h"

#include <gtest/gtest.h>

#include <functional>

#include "tests/ui/ui_test_support.h"
#include "ui/skin_package.h"
#include "uiframework/controls.h"
#include "uiframework/message.h"

namespace {

// What the test does inside the dialog's modal loop.
enum class Action { kClickOk, kClickCancel, kClickClose, kCloseWithoutClick, kEscapeThenClose };

const char* ActionName(Action a) {
    switch (a) {
        case Action::kClickOk:
            return "okBtn";
        case Action::kClickCancel:
            return "cancelBtn";
        case Action::kClickClose:
            return "closebtn";
        case Action::kCloseWithoutClick:
            return "close without click";
        case Action::kEscapeThenClose:
            return "Escape, then close without click";
    }
    return "?";
}

struct Seen {
    bool shown = false;
    std::wstring title;
    std::wstring text;
    std::wstring caption;
    bool ownerEnabled = true;
    bool openAfterEscape = false;
    bool clicked = false;
};

class MessageBoxTest : public HeadlessUiTest {
protected:
    void SetUp() override {
        HeadlessUiTest::SetUp();
        owner_ = std::make_unique<TestFrame>(L"MainWnd.xml");
        ASSERT_TRUE(owner_->Create(nullptr, L"Lexivo"));
        owner_->ShowWindow(true);
    }
    void TearDown() override {
        SetMessageBoxObserver({});
        owner_.reset();
        HeadlessUiTest::TearDown();
    }

    // Shows the dialog and performs `action` from inside its modal loop.
    int Show(const wchar_t* file, const wchar_t* text, const wchar_t* caption, Action action,
             Seen& seen) {
        SetMessageBoxObserver([&, action](CMessageBoxWnd& dialog) {
            seen.shown = true;
            seen.title = dialog.GetTitle();
            if (auto* t = dialog.m_TextLbl)
                seen.text = t->GetText();
            if (auto* c = dialog.m_CaptionLbl)
                seen.caption = c->GetText();
            Ui::PostTask([&, action, d = &dialog] {
                seen.ownerEnabled = owner_->IsWindowEnabled();
                Ui::TestDriver driver(*d);
                switch (action) {
                    case Action::kClickOk:
                        seen.clicked = driver.Click(L"okBtn");
                        break;
                    case Action::kClickCancel:
                        seen.clicked = driver.Click(L"cancelBtn");
                        break;
                    case Action::kClickClose:
                        seen.clicked = driver.Click(L"closebtn");
                        break;
                    case Action::kCloseWithoutClick:
                        d->Close(7);
                        break;
                    case Action::kEscapeThenClose:
                        driver.PressKey(Ui::kVkEscape);
                        driver.Pump();
                        seen.openAfterEscape = d->IsWindow() && d->IsShown();
                        d->Close(7);
                        break;
                }
            });
        });
        return ShowMessageBox(owner_.get(), SkinSource::ForFile(file), text, caption);
    }

    std::unique_ptr<TestFrame> owner_;
};

TEST_F(MessageBoxTest, ResultsOfEveryDialog) {
    const struct {
        const wchar_t* file;
        Action action;
        int result;
    } cases[] = {
        {L"ExitTipWnd.xml", Action::kClickOk, 0},
        {L"ExitTipWnd.xml", Action::kClickCancel, 1},
        {L"ExitTipWnd.xml", Action::kClickClose, 2},
        {L"ExitTipWnd.xml", Action::kCloseWithoutClick, 1},
        {L"InstalledPathTipWnd.xml", Action::kClickOk, 0},
        {L"InstalledPathTipWnd.xml", Action::kClickCancel, 1},
        {L"InstalledPathTipWnd.xml", Action::kClickClose, 2},
        {L"InstalledPathTipWnd.xml", Action::kCloseWithoutClick, 1},
        {L"NetworkTipWnd.xml", Action::kClickOk, 0},
        {L"NetworkTipWnd.xml", Action::kClickCancel, 1},
        {L"NetworkTipWnd.xml", Action::kClickClose, 2},
        {L"NetworkTipWnd.xml", Action::kCloseWithoutClick, 1},
        {L"MessageBox1Wnd.xml", Action::kClickClose, 2},
        {L"MessageBox1Wnd.xml", Action::kCloseWithoutClick, 1},
        {L"MessageBox2Wnd.xml", Action::kClickClose, 2},
        {L"MessageBox2Wnd.xml", Action::kCloseWithoutClick, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(NarrowText(c.file) + " " + ActionName(c.action));
        Seen seen;
        const int result = Show(c.file, nullptr, nullptr, c.action, seen);
        EXPECT_TRUE(seen.shown);
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(seen.title, L"消息框");
        EXPECT_FALSE(seen.ownerEnabled) << "owner must be disabled while the dialog runs";
        EXPECT_TRUE(owner_->IsWindowEnabled()) << "owner enabled again afterwards";
        if (c.action != Action::kCloseWithoutClick) {
            EXPECT_TRUE(seen.clicked);
        }
    }
}

TEST_F(MessageBoxTest, TextAndCaptionFillTheLabels) {
    const wchar_t* text = L"安装程序检测到Lexivo\r\n正在运行，请退出程序后再安装";
    for (const wchar_t* file : {L"MessageBox1Wnd.xml", L"MessageBox2Wnd.xml"}) {
        SCOPED_TRACE(NarrowText(file));
        Seen seen;
        EXPECT_EQ(Show(file, text, L"温馨提示", Action::kClickClose, seen), 2);
        EXPECT_EQ(seen.text, text);
        EXPECT_EQ(seen.caption, L"温馨提示");
        // Null arguments keep the skin's own placeholders.
        Seen untouched;
        EXPECT_EQ(Show(file, nullptr, nullptr, Action::kCloseWithoutClick, untouched), 1);
        EXPECT_EQ(untouched.text, L"TEXT");
        EXPECT_EQ(untouched.caption, L"CAPTION");
    }
    // Dialogs without the labels ignore the arguments.
    Seen seen;
    EXPECT_EQ(Show(L"ExitTipWnd.xml", L"x", L"y", Action::kClickOk, seen), 0);
    EXPECT_TRUE(seen.text.empty());
}

TEST_F(MessageBoxTest, EscapeClosesNoDialog) {
    for (const wchar_t* file : {L"MessageBox1Wnd.xml", L"MessageBox2Wnd.xml", L"ExitTipWnd.xml",
                                L"InstalledPathTipWnd.xml", L"NetworkTipWnd.xml"}) {
        SCOPED_TRACE(NarrowText(file));
        Seen seen;
        EXPECT_EQ(Show(file, nullptr, nullptr, Action::kEscapeThenClose, seen), 1);
        EXPECT_TRUE(seen.openAfterEscape);
    }
}

TEST_F(MessageBoxTest, EscapeDoesNotCloseTheMainWindow) {
    // The frame marks Escape handled, whatever the framework's default would do with it;
    // other keys reach the framework.
    EXPECT_TRUE(owner_->FilterKey(Ui::kMsgKeyDown, Ui::kVkEscape));
    EXPECT_FALSE(owner_->FilterKey(Ui::kMsgKeyDown, Ui::kVkReturn));
    EXPECT_FALSE(owner_->FilterKey(Ui::kMsgKeyDown, Ui::kVkF4));
    EXPECT_FALSE(owner_->FilterKey(Ui::kMsgKeyUp, Ui::kVkEscape));
    Ui::TestDriver driver(*owner_);
    driver.PressKey(Ui::kVkEscape);
    driver.Pump();
    EXPECT_TRUE(owner_->IsWindow());
    EXPECT_TRUE(owner_->IsShown());
}

TEST_F(MessageBoxTest, FrameReadsItsSkinSource) {
    const SkinSource source = SkinSource::ForFile(L"MessageBox1Wnd.xml");
    EXPECT_EQ(source.resourceKind, 4);
    EXPECT_EQ(source.resourceId, 147);
    EXPECT_TRUE(source.skinFolder.empty());
    EXPECT_EQ(source.windowClassName, L"MessageBox1Wnd");
    EXPECT_EQ(SkinClassNameOf(L"MainWnd.xml"), L"MainWnd");
    EXPECT_EQ(SkinClassNameOf(L"a.b.xml"), L"a.b");
    EXPECT_EQ(SkinClassNameOf(L"noext"), L"noext");
    EXPECT_EQ(owner_->GetWindowClassName(), L"MainWnd");
    EXPECT_EQ(owner_->readyCalls, 1);
}

TEST_F(MessageBoxTest, ShadowComesFromTheRootElement) {
    const struct {
        const wchar_t* file;
        int darkness;
        Ui::Color color;
    } cases[] = {
        {L"MainWnd.xml", 20, 0x26003B76},
        {L"ExitTipWnd.xml", 20, 0x26003B76},
        {L"InstalledPathTipWnd.xml", 10, 0xFFEDF0F4},
        {L"NetworkTipWnd.xml", 20, 0x26003B76},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(NarrowText(c.file));
        TestFrame frame(c.file);
        ASSERT_TRUE(frame.Create(nullptr, L"t"));
        const Ui::WindowShadow& shadow = frame.Shadow();
        EXPECT_TRUE(shadow.IsAttached());
        EXPECT_EQ(shadow.GetSize(), 6);
        EXPECT_EQ(shadow.Sharpness(), 10);
        EXPECT_EQ(shadow.Darkness(), c.darkness);
        EXPECT_EQ(shadow.Position(), (Ui::Point{1, 1}));
        EXPECT_EQ(shadow.GetColor(), c.color);
    }
}

// A skin without "showshadow" gets no shadow; values out of range keep the defaults.
TEST_F(MessageBoxTest, ShadowAttributesOutOfRangeAreIgnored) {
    Ui::MemoryResourceSource* memory = nullptr;
    auto source = std::make_shared<Ui::MemoryResourceSource>();
    memory = source.get();
    memory->Add(L"plain.xml", "<Window size=\"100,50\"><Control/></Window>");
    memory->Add(L"wild.xml",
                "<Window size=\"100,50\" showshadow=\"TRUE\" shadowsize=\"21\" "
                "shadowsharpness=\"-1\" shadowdarkness=\"256\" shadowposition=\"3,-21\" "
                "shadowcolor=\"#FF112233\" shadowholeoffset=\"1,1\"><Control/></Window>");
    runtime_->SetResources(source);
    TestFrame plain(L"plain.xml", SkinSource::kKindFolder);
    ASSERT_TRUE(plain.Create(nullptr, L"t"));
    EXPECT_FALSE(plain.Shadow().IsAttached());
    TestFrame wild(L"wild.xml", SkinSource::kKindFolder);
    ASSERT_TRUE(wild.Create(nullptr, L"t"));
    const Ui::WindowShadow defaults;
    EXPECT_TRUE(wild.Shadow().IsAttached());  // "TRUE" counts, compared without case
    EXPECT_EQ(wild.Shadow().GetSize(), defaults.GetSize());
    EXPECT_EQ(wild.Shadow().Sharpness(), defaults.Sharpness());
    EXPECT_EQ(wild.Shadow().Darkness(), defaults.Darkness());
    EXPECT_EQ(wild.Shadow().Position(), defaults.Position());
    EXPECT_EQ(wild.Shadow().GetColor(), 0xFF112233u);
}

// Several windows share the one decoded package.
TEST_F(MessageBoxTest, PackageIsDecodedOnceForAllWindows) {
    const unsigned before = Ui::SkinPackage::DecodeCount();
    for (int i = 0; i < 3; ++i) {
        Seen seen;
        Show(L"ExitTipWnd.xml", nullptr, nullptr, Action::kClickOk, seen);
    }
    TestFrame another(L"NetworkTipWnd.xml");
    ASSERT_TRUE(another.Create(nullptr, L"t"));
    EXPECT_EQ(Ui::SkinPackage::DecodeCount(), before);
    EXPECT_LE(before, 1u) << "the package was decoded more than once in this process";
}

// A missing description fails the creation (the runtime of the tests does not exit).
TEST_F(MessageBoxTest, MissingDescriptionFailsCleanly) {
    Seen seen;
    SetMessageBoxObserver([&](CMessageBoxWnd&) { seen.shown = true; });
    EXPECT_EQ(ShowMessageBox(owner_.get(), SkinSource::ForFile(L"NoSuchWnd.xml"), L"t", L"c"), 1);
    EXPECT_FALSE(seen.shown);
    EXPECT_TRUE(owner_->IsWindowEnabled());
}

}  // namespace
