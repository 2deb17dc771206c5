#include "uiframework/resource_source.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "tests/uiframework/ui_test_support.h"
#include "uiframework/markup.h"

namespace {

namespace fs = std::filesystem;

TEST(ResourceNameTest, LookupRule) {
    struct Case {
        const wchar_t* a;
        const wchar_t* b;
        bool same;
    } cases[] = {
        {L"ExitTipWnd.xml", L"exitTipWnd.xml", true},
        {L"MainWnd.xml", L"mainWnd.xml", true},
        {L"res\\MessageBoxWnd\\yesBtn1.png", L"res/MessageBoxWnd/yesBtn1.png", true},
        {L"RES\\mainwnd\\BG1.PNG", L"res/mainWnd/bg1.png", true},
        {L"mainWnd.xm", L"mainWnd.xml", false},  // same prefix, different length
        {L"mainWnd.xml ", L"mainWnd.xml", false},
        {L"res/a.png", L"res/b.png", false},
        {L"", L"", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Ui::SameResourceName(c.a, c.b), c.same)
            << std::string(fs::path(c.a).string()) << " vs " << fs::path(c.b).string();
    }
    EXPECT_EQ(Ui::NormalizeResourceName(L"res\\a\\b.png"), L"res/a/b.png");
}

TEST(ResourceSourceTest, MemoryFirstMatchWins) {
    Ui::MemoryResourceSource src;
    src.Add(L"res\\A.png", "first");
    src.Add(L"res/a.png", "second");
    std::string bytes;
    ASSERT_TRUE(src.Read(L"RES/a.PNG", bytes));
    EXPECT_EQ(bytes, "first");
    EXPECT_FALSE(src.Read(L"res/a.pn", bytes));
    EXPECT_TRUE(bytes.empty());
    EXPECT_FALSE(src.Read(L"res", bytes));  // folders are not entries
}

class FolderSourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/uifw-folder-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        root_ = tmpl;
        fs::create_directories(root_ / "skin" / "res" / "mainWnd");
        std::ofstream(root_ / "skin" / "mainWnd.xml") << "<Window/>";
        std::ofstream(root_ / "skin" / "res" / "mainWnd" / "bg1.png") << "png";
        std::ofstream(root_ / "secret.txt") << "outside";
    }
    void TearDown() override { fs::remove_all(root_); }
    fs::path root_;
};

TEST_F(FolderSourceTest, FindsFilesRegardlessOfCaseAndSeparator) {
    Ui::FolderResourceSource src(root_ / "skin");
    std::string bytes;
    ASSERT_TRUE(src.Read(L"MainWnd.xml", bytes));
    EXPECT_EQ(bytes, "<Window/>");
    ASSERT_TRUE(src.Read(L"RES\\MAINWND\\BG1.png", bytes));
    EXPECT_EQ(bytes, "png");
    EXPECT_FALSE(src.Read(L"res/mainWnd", bytes)) << "a folder is not a resource";
    EXPECT_FALSE(src.Read(L"missing.xml", bytes));
    EXPECT_FALSE(src.Read(L"../secret.txt", bytes)) << "no way out of the folder";
    EXPECT_FALSE(src.Read(L"/etc/passwd", bytes));
    EXPECT_FALSE(src.Read(L"res//mainWnd/bg1.png", bytes));
}

TEST(DescriptionTest, LoadChecks) {
    Ui::MemoryResourceSource src;
    src.Add(L"ok.xml",
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Window size=\"10,10\"></Window>");
    src.Add(L"bom.xml", "\xEF\xBB\xBF<Window size=\"10,10\"/>");
    src.Add(L"empty.xml", "");
    src.Add(L"big.xml", "<Window>" + std::string(Ui::kMaxDescriptionBytes, ' ') + "</Window>");
    src.Add(L"exact.xml", [] {
        std::string s = "<Window></Window>";
        s.resize(Ui::kMaxDescriptionBytes, ' ');
        return s;
    }());
    src.Add(L"bad.xml", "<Window><Label></Window>");
    src.Add(L"other.xml", "<Dialog/>");
    struct Case {
        const wchar_t* name;
        Ui::DescriptionError want;
    } cases[] = {
        {L"OK.xml", Ui::DescriptionError::kNone},
        {L"bom.xml", Ui::DescriptionError::kNone},
        {L"exact.xml", Ui::DescriptionError::kNone},
        {L"nothere.xml", Ui::DescriptionError::kMissing},
        {L"empty.xml", Ui::DescriptionError::kEmpty},
        {L"big.xml", Ui::DescriptionError::kTooLarge},
        {L"bad.xml", Ui::DescriptionError::kMalformed},
        {L"other.xml", Ui::DescriptionError::kMalformed},
    };
    for (const auto& c : cases) {
        std::string xml;
        EXPECT_EQ(Ui::LoadDescription(src, c.name, xml), c.want)
            << fs::path(c.name).string() << ": got "
            << fs::path(Ui::DescriptionErrorName(Ui::LoadDescription(src, c.name, xml))).string();
    }
}

// A window whose description does not load ends the process with exit code 1 after
// showing the error text (on standard error without a display).
TEST(DescriptionDeathTest, BadDescriptionExitsWithCode1) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto run = [](const char* xml) {
        auto src = std::make_shared<Ui::MemoryResourceSource>();
        if (xml)
            src->Add(L"w.xml", xml);
        Ui::RuntimeOptions o;
        o.backend = Ui::BackendKind::kHeadless;
        o.resources = src;
        Ui::Runtime rt(o);
        uitest::TestWindow w(L"w.xml");
        w.Create(nullptr, L"t");
        std::fprintf(stderr, "still running\n");
        std::exit(7);
    };
    EXPECT_EXIT(run(nullptr), ::testing::ExitedWithCode(1), "加载资源文件失败");
    EXPECT_EXIT(run(""), ::testing::ExitedWithCode(1), "加载资源文件失败");
    EXPECT_EXIT(run("<Window><oops></Window>"), ::testing::ExitedWithCode(1), "加载资源文件失败");
    EXPECT_EXIT(run("<Window size=\"10,10\"/>"), ::testing::ExitedWithCode(7), "still running");
}

}  // namespace
