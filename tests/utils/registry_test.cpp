#include "utils/registry.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/utils/temp_dir.h"

namespace {

using namespace std::string_literals;
using TestSupport::ScopedEnv;
using TestSupport::TempDir;

TEST(Registry, KeyFileFollowsXdgConfigHome) {
    TempDir dir;
    ScopedEnv env("XDG_CONFIG_HOME", dir.path());
    EXPECT_EQ(Utils::RegistryKeyFile(), dir.path() + "/OrvanSoft/Glyphora.reg");
    EXPECT_EQ(Utils::RegistryKeyFile(L"Software\\A\\B\\C"), dir.path() + "/A/B/C.reg");
    EXPECT_EQ(Utils::RegistryKeyFile(L"Software\\..\\x"), "");
    EXPECT_EQ(Utils::RegistryKeyFile(L"Software\\a/b"), "");
    EXPECT_EQ(Utils::RegistryKeyFile(L""), "");
    ScopedEnv relative("XDG_CONFIG_HOME", "relative/dir");  // ignored, as XDG says
    ScopedEnv home("HOME", dir.path() + "/home");
    EXPECT_EQ(Utils::RegistryKeyFile(), dir.path() + "/home/.config/OrvanSoft/Glyphora.reg");
}

TEST(Registry, RoundTripOfTexts) {
    TempDir dir;
    ScopedEnv env("XDG_CONFIG_HOME", dir.path());
    const std::wstring texts[] = {
        L"D:\\Tools",    L"",        L"/opt/Lexivo 7/bin",     L"tab\tnew\nline\rback\\slash",
        L"\u6587\u5b57", L"=\t=\\t", std::wstring(5000, L'x'),
    };
    int n = 0;
    for (const std::wstring& text : texts) {
        std::wstring name = L"Value" + std::to_wstring(n++);
        ASSERT_TRUE(Utils::WriteRegString(name, text));
    }
    n = 0;
    for (const std::wstring& text : texts) {
        std::wstring name = L"Value" + std::to_wstring(n++);
        uint32_t type = 0;
        std::wstring got = L"untouched";
        ASSERT_TRUE(Utils::ReadRegString(name, &type, &got));
        EXPECT_EQ(type, Utils::kRegSz);
        EXPECT_EQ(got, text);
    }
}

TEST(Registry, NamesIgnoreCaseAndOverwriteInPlace) {
    TempDir dir;
    ScopedEnv env("XDG_CONFIG_HOME", dir.path());
    ASSERT_TRUE(Utils::WriteRegString(L"InstallPath", L"/a"));
    ASSERT_TRUE(Utils::WriteRegString(L"UnInstallEp", L"/a/uninst.ep"));
    ASSERT_TRUE(Utils::WriteRegString(L"INSTALLPATH", L"/b"));
    std::wstring text;
    uint32_t type = 0;
    ASSERT_TRUE(Utils::ReadRegString(L"installpath", &type, &text));
    EXPECT_EQ(text, L"/b");
    ASSERT_TRUE(Utils::ReadRegString(L"UnInstallEp", &type, &text));
    EXPECT_EQ(text, L"/a/uninst.ep");
    // Two values, not three.
    std::string file = TestSupport::ReadFile(Utils::RegistryKeyFile());
    EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), 2);
}

TEST(Registry, MissingKeyOrValueReadsFalse) {
    TempDir dir;
    ScopedEnv env("XDG_CONFIG_HOME", dir.path());
    std::wstring text = L"untouched";
    uint32_t type = 7;
    EXPECT_FALSE(Utils::ReadRegString(L"InstallPath", &type, &text));
    ASSERT_TRUE(Utils::WriteRegString(L"Other", L"x"));
    EXPECT_FALSE(Utils::ReadRegString(L"InstallPath", &type, &text));
    EXPECT_EQ(text, L"untouched");
    EXPECT_EQ(type, 7u);
}

TEST(Registry, DamagedFileLosesOnlyDamagedLines) {
    TempDir dir;
    ScopedEnv env("XDG_CONFIG_HOME", dir.path());
    std::filesystem::create_directories(dir.path() + "/OrvanSoft");
    dir.Write("OrvanSoft/Glyphora.reg",
              "garbage without tabs\n\xff\xfe\x00\nInstallPath\t1\t/x\nhalf\t1"s);
    std::wstring text;
    uint32_t type = 0;
    ASSERT_TRUE(Utils::ReadRegString(L"InstallPath", &type, &text));
    EXPECT_EQ(text, L"/x");
    ASSERT_TRUE(Utils::WriteRegString(L"UnInstallEp", L"/y"));
    ASSERT_TRUE(Utils::ReadRegString(L"InstallPath", &type, &text));
    EXPECT_EQ(text, L"/x");
}

TEST(Registry, WriteFailsWhenTheFolderCannotBeMade) {
    TempDir dir;
    dir.Write("file", "x");
    ScopedEnv env("XDG_CONFIG_HOME", dir.File("file"));  // a file where the folder should be
    EXPECT_FALSE(Utils::WriteRegString(L"InstallPath", L"/a"));
}

TEST(Registry, StoredSizeIsTwoBytesPerUnitWithoutTerminator) {
    EXPECT_EQ(Utils::RegStringByteSize(L"D:\\Tools"), 16u);
    EXPECT_EQ(Utils::RegStringByteSize(L""), 0u);
    EXPECT_EQ(Utils::RegStringByteSize(L"\U0001F600"), 4u);  // a surrogate pair on Windows
}

}  // namespace
