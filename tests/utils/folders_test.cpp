#include "utils/folders.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "tests/utils/temp_dir.h"
#include "utils/text.h"

namespace {

using TestSupport::ScopedEnv;
using TestSupport::TempDir;
namespace fs = std::filesystem;

std::wstring W(const std::string& s) {
    return Utils::ToWide(s, Utils::kCodePageUtf8);
}

TEST(CreateDirectoryTree, CreatesTheMissingLevels) {
    struct Case {
        const char* label;
        const char* existing;  // folder made before the call, relative; "" for none
        const char* path;      // relative to the temp folder
        bool ok;
    } cases[] = {
        {"partly existing", "a", "a/b/c", true},
        {"trailing separator", "", "x/y/", true},
        {"everything exists", "p/q", "p/q", true},
        {"doubled separators", "", "m//n///o", true},
        {"non-ASCII names", "", "\xe6\x96\x87/\xe5\xad\x97", true},
    };
    for (const Case& c : cases) {
        TempDir dir;
        if (*c.existing)
            fs::create_directories(dir.File(c.existing));
        EXPECT_EQ(Utils::CreateDirectoryTree(W(dir.File(c.path))), c.ok) << c.label;
        EXPECT_TRUE(fs::is_directory(dir.File(c.path))) << c.label;
    }
}

TEST(CreateDirectoryTree, FileInTheWayFails) {
    TempDir dir;
    dir.Write("a", "file");
    EXPECT_FALSE(Utils::CreateDirectoryTree(W(dir.File("a/b/c"))));
    EXPECT_FALSE(Utils::CreateDirectoryTree(W(dir.File("a"))));
    EXPECT_FALSE(fs::exists(dir.File("a/b")));
}

TEST(CreateDirectoryTree, LengthLimitIs260) {
    TempDir dir;
    std::string base = dir.path() + "/";
    ASSERT_LT(base.size(), 200u);
    auto pathOfLength = [&](size_t n) {
        std::string p = base + "d/";
        while (p.size() < n)
            p += (n - p.size() > 1) ? "e" : "f";
        p.resize(n);
        return p;
    };
    std::string p260 = pathOfLength(260), p261 = pathOfLength(261);
    ASSERT_EQ(p260.size(), 260u);
    ASSERT_EQ(p261.size(), 261u);
    EXPECT_FALSE(Utils::CreateDirectoryTree(W(p261)));
    EXPECT_FALSE(fs::exists(base + "d")) << "nothing is created for a path that is too long";
    EXPECT_TRUE(Utils::CreateDirectoryTree(W(p260)));
    EXPECT_TRUE(fs::is_directory(p260));
    EXPECT_FALSE(Utils::CreateDirectoryTree(L""));
}

TEST(GetTempFolder, CreatedOncePrivateAndEndingInSeparator) {
    TempDir dir;
    ScopedEnv env("TMPDIR", dir.path());
    std::wstring t = Utils::GetTempFolder();
    EXPECT_EQ(t, W(dir.path() + "/~OrvanTemp.92482B06FB471E17/"));
    struct stat st {};
    ASSERT_EQ(::stat(dir.File("~OrvanTemp.92482B06FB471E17").c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 077, 0u);
    EXPECT_EQ(Utils::GetTempFolder(), t);  // existing folder: same answer
}

TEST(GetTempFolder, RefusesWhatIsNotOurFolder) {
    {
        TempDir dir;
        ScopedEnv env("TMPDIR", dir.path());
        dir.Write("~OrvanTemp.92482B06FB471E17", "a file");
        EXPECT_EQ(Utils::GetTempFolder(), L"");
    }
    {
        TempDir dir;
        ScopedEnv env("TMPDIR", dir.path());
        fs::create_directory(dir.File("elsewhere"));
        fs::create_directory_symlink(dir.File("elsewhere"),
                                     dir.File("~OrvanTemp.92482B06FB471E17"));
        EXPECT_EQ(Utils::GetTempFolder(), L"");  // a planted link
    }
    {
        TempDir dir;
        ScopedEnv env("TMPDIR", dir.File("missing/deeper"));
        EXPECT_EQ(Utils::GetTempFolder(), L"");
    }
}

TEST(GetModulePath, NamesThisTestProgram) {
    std::string exe = Utils::GetModulePath();
    EXPECT_EQ(fs::path(exe).filename(), "utils_tests");
    EXPECT_TRUE(fs::exists(exe));
}

TEST(GetSpecialFolder, FollowsXdgDataHome) {
    TempDir dir;
    ScopedEnv env("XDG_DATA_HOME", dir.path());
    EXPECT_EQ(Utils::GetSpecialFolder(Utils::SpecialFolder::kLocalAppData), W(dir.path()));
    EXPECT_EQ(Utils::GetSpecialFolder(Utils::SpecialFolder::kCommonDocuments), W(dir.path()));
    EXPECT_EQ(Utils::GetSpecialFolder(Utils::SpecialFolder::kProgramFiles),
              ::geteuid() == 0 ? L"/opt" : W(dir.path()));
}

}  // namespace
