// Where a frame's skin comes from: a zipped-resource frame switches the runtime to the
// embedded package, after which nothing is read from the disk; a package that can not be
// opened leaves no other source to fall back on.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/ui/ui_test_support.h"
#include "tests/utils/temp_dir.h"
#include "ui/skin_package_source.h"

namespace {

class SkinSourceTest : public HeadlessUiTest {
protected:
    // A folder with a description and an image of the same names as the package's, but
    // different content, installed as the runtime's source.
    void UseDecoyFolder() {
        ASSERT_FALSE(dir_.path().empty());
        std::filesystem::create_directories(dir_.File("res/mainWnd"));
        dir_.Write("mainWnd.xml", "<Window size=\"100,100\"><Control name=\"decoy\"/></Window>");
        dir_.Write("MessageBox1Wnd.xml", "<Window size=\"50,50\"><Control/></Window>");
        runtime_->SetResources(std::make_shared<Ui::FolderResourceSource>(dir_.path()));
    }
    TestSupport::TempDir dir_;
};

TEST_F(SkinSourceTest, ZippedResourceFrameReadsThePackageOnly) {
    UseDecoyFolder();
    // A folder-kind frame uses the runtime's source as it is: the decoy.
    TestFrame loose(L"mainWnd.xml", SkinSource::kKindFolder);
    ASSERT_TRUE(loose.Create(nullptr, L"t"));
    EXPECT_EQ(loose.GetClientSize(), (Ui::Size{100, 100}));
    // The installer's frames (kind 4) switch to the embedded package.
    TestFrame packaged(L"MainWnd.xml");
    ASSERT_TRUE(packaged.Create(nullptr, L"t"));
    EXPECT_EQ(packaged.GetClientSize(), (Ui::Size{600, 400}));
    EXPECT_EQ(packaged.FindControl(L"decoy"), nullptr);
    auto* source = dynamic_cast<Ui::SkinPackageSource*>(&runtime_->Resources());
    ASSERT_NE(source, nullptr);
    std::string bytes;
    EXPECT_TRUE(source->Read(L"RES\\mainWnd\\BG1.png", bytes));
    EXPECT_FALSE(bytes.empty());
    EXPECT_FALSE(source->Read(L"res\\mainWnd\\installPrg3.png", bytes));
    EXPECT_TRUE(bytes.empty());
    // From now on even folder-kind frames see the package, not the disk.
    TestFrame later(L"MessageBox1Wnd.xml", SkinSource::kKindFolder);
    ASSERT_TRUE(later.Create(nullptr, L"t"));
    EXPECT_EQ(later.GetClientSize(), (Ui::Size{360, 180}));
}

TEST_F(SkinSourceTest, MissingPackageLeavesNothingToRead) {
    UseDecoyFolder();
    SkinSource source = SkinSource::ForFile(L"mainWnd.xml");
    source.resourceId = 148;  // no such resource in this executable
    EXPECT_FALSE(Ui::UseEmbeddedSkinPackage(148));
    std::string bytes;
    EXPECT_FALSE(runtime_->Resources().Read(L"mainWnd.xml", bytes))
        << "the loose file must not stand in for the package";
    struct Frame : CSkinFrame {
        explicit Frame(SkinSource s) : CSkinFrame(std::move(s)) {}
    } frame(source);
    EXPECT_FALSE(frame.Create(nullptr, L"t"));
}

}  // namespace
