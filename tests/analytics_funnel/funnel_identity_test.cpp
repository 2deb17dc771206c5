// The "Set.ini" override beside the running executable: a copy of a small program that
// starts the installer's analytics, placed in a private folder with a Set.ini, keeps its
// identity file, track log and unsent records where Set.ini says.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>

#include "tests/analytics/test_support.h"
#include "tests/install/test_support.h"
#include "utils/profile.h"

namespace {

TEST(FunnelIdentity, SetIniBesideTheExecutableNamesTheIdentityFile) {
    analytics_test::TempDir dir;
    std::string program = dir.file("installer-copy");
    std::filesystem::copy_file(analytics_test::BinPath("analytics_crash_child"), program);
    std::string named = dir.path() + "/shared/VIVuvadadUzudovezu.ini";
    analytics_test::WriteFile(dir.file("Set.ini"),
                              "[Install]\nVIVuvadadUzudovezuIni=" + named + "\n");

    auto r = install_test::RunProcess(
        {program, "none"}, {{"XDG_DATA_HOME", dir.file("data")},
                            {"GLYPHORA_ANALYTICS_URL", "https://127.0.0.1:1/sa?project=pc"}});
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_FALSE(std::filesystem::exists(dir.file("data"))) << "the default folder was used";
    EXPECT_EQ(Utils::ReadProfileString(named, L"Base", L"DistinctId", L"").size(), 36u);
    EXPECT_EQ(Utils::ReadProfileString(named, L"UninstallInfo", L"AppName", L""),
              L"Glyphora.downloader");
    EXPECT_TRUE(std::filesystem::exists(dir.path() + "/shared/Glyphora.downloader_OVSLog.txt"));
    // The click could not be sent: it waits beside the identity file for the next run.
    auto staged =
        analytics_test::ReadLines(dir.path() + "/shared/Glyphora.downloader_OVSQueue.txt");
    ASSERT_EQ(staged.size(), 1u);
    EXPECT_NE(staged[0].find("\"event\":\"OvEventClick\""), std::string::npos) << staged[0];
}

}  // namespace
