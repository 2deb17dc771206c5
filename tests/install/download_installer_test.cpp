// The orchestrator end to end in this process: glyphora-distserver serves the fake package,
// the real downloader fetches it, the fake package installs and the fake uninstaller removes.
#include "install/download_installer.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "app/launch_options.h"
#include "tests/install/test_support.h"
#include "utils/text.h"

namespace {

using namespace install_test;
using namespace std::chrono_literals;

size_t IndexOf(const std::vector<int32_t>& codes, int32_t code) {
    return static_cast<size_t>(std::find(codes.begin(), codes.end(), code) - codes.begin());
}

class DownloadInstallerTest : public ::testing::Test {
protected:
    void SetUp() override { GetLaunchOptions().DownloadType = 1; }

    // Runs one start and waits for the run's last event.
    void Run(CDownloadInstaller& installer, EventRecorder& recorder) {
        installer.SetDownloadPacing({[](std::chrono::milliseconds) {}, {}});
        installer.SetPackagePumpPause(1ms);
        installer.Start();
        EXPECT_TRUE(recorder.WaitForAny(
            {IST_CODE_SUCCESS, IST_CODE_FAIL, DL_CODE_FAIL, UNIST_CODE_FAIL, UNIST_CODE_ERROR},
            60s))
            << recorder.Dump();
    }

    TempDir dir;
    ScopedEnv tmp{"TMPDIR", dir.path()};
};

TEST_F(DownloadInstallerTest, FreshInstallDownloadsFirstAndRemovesThePackage) {
    DistServer server(BinPath("glyphora-fake-package"));
    ASSERT_FALSE(server.Url().empty());
    std::string folder = dir.Join("Lexivo");
    EventRecorder recorder;
    {
        CDownloadInstaller installer(recorder.Callback(), L"", L"", L"", true, true, true);
        installer.Init(W(server.Url()), L"", L"", W(folder), true, false, false, true);
        Run(installer, recorder);
    }
    std::vector<int32_t> codes = recorder.Codes();
    ASSERT_FALSE(codes.empty());
    EXPECT_EQ(codes.front(), DL_CODE_START);
    // The owner sees DL_CODE_SUCCESS before the installation it triggers starts.
    EXPECT_LT(IndexOf(codes, DL_CODE_SUCCESS), IndexOf(codes, IST_CODE_START)) << recorder.Dump();
    EXPECT_EQ(codes.back(), IST_CODE_SUCCESS) << recorder.Dump();
    EXPECT_TRUE(Exists(folder + "/Glyphora.exe"));
    EXPECT_TRUE(Exists(folder + "/uninst.ep"));
    EXPECT_FALSE(Exists(folder + "/__Package_Glyphora.exe"));
}

TEST_F(DownloadInstallerTest, RemovalRunsFirstAndTheDownloadOnlyAfterItsSuccess) {
    ProcessNameLock lock;  // runs "Glyphora_un_asa.exe"
    DistServer server(BinPath("glyphora-fake-package"));
    ASSERT_FALSE(server.Url().empty());
    std::string old = dir.Join("Old Lexivo");
    {
        // An old installation made by the fake package itself.
        EventRecorder first;
        CDownloadInstaller installer(first.Callback(), L"", L"", L"", true, true, true);
        installer.Init(W(server.Url()), L"", L"", W(old), true, true, false, true);
        Run(installer, first);
        ASSERT_EQ(first.Codes().back(), IST_CODE_SUCCESS) << first.Dump();
    }
    WriteFile(old + "/leftover.txt", "from the old version");
    std::string target = dir.Join("New");
    WriteFile(dir.Join("uscript"), "print Progress=0.5\nsleep 100\nremove\nprint State=Success\n");
    ScopedEnv script("GLYPHORA_FAKE_UNINSTALL_SCRIPT", dir.Join("uscript"));
    EventRecorder recorder;
    {
        CDownloadInstaller installer(recorder.Callback(), L"", L"", L"", true, true, true);
        installer.Init(W(server.Url()), W(old), W(old + "/uninst.ep"), W(target), true, true, false,
                       true);
        Run(installer, recorder);
    }
    std::vector<int32_t> codes = recorder.Codes();
    ASSERT_FALSE(codes.empty());
    EXPECT_EQ(codes.front(), UNIST_CODE_PROGRESS) << recorder.Dump();
    EXPECT_LT(IndexOf(codes, UNIST_CODE_SUCCESS), IndexOf(codes, DL_CODE_START)) << recorder.Dump();
    EXPECT_EQ(codes.back(), IST_CODE_SUCCESS) << recorder.Dump();
    EXPECT_FALSE(Exists(old)) << "the old folder was not removed";
    EXPECT_TRUE(Exists(target + "/Glyphora.exe"));
    // The uninstaller ran as its executable copy in the installer's temporary folder.
    std::string copy = dir.Join("~OrvanTemp.92482B06FB471E17/Glyphora_un_asa.exe");
    EXPECT_EQ(::access(copy.c_str(), X_OK), 0);
}

TEST_F(DownloadInstallerTest, FailedRemovalStopsTheRunEvenIfSuccessFollows) {
    ProcessNameLock lock;
    DistServer server(BinPath("glyphora-fake-package"));
    std::string old = dir.Join("Old");
    WriteFile(dir.Join("uscript"), "print Error=in use\nsleep 50\nprint State=Success\n");
    ScopedEnv script("GLYPHORA_FAKE_UNINSTALL_SCRIPT", dir.Join("uscript"));
    ::mkdir(old.c_str(), 0755);
    ASSERT_EQ(
        std::system(
            ("cp '" + BinPath("glyphora-fake-uninstaller") + "' '" + old + "/uninst.ep'").c_str()),
        0);
    EventRecorder recorder;
    {
        CDownloadInstaller installer(recorder.Callback(), L"", L"", L"", true, true, true);
        installer.Init(W(server.Url()), W(old), W(old + "/uninst.ep"), W(dir.Join("New")), true,
                       true, false, true);
        Run(installer, recorder);
        std::this_thread::sleep_for(300ms);  // room for a wrongly started download
    }
    std::vector<int32_t> codes = recorder.Codes();
    EXPECT_EQ(codes,
              (std::vector<int32_t>{UNIST_CODE_PROGRESS, UNIST_CODE_ERROR, UNIST_CODE_SUCCESS}))
        << recorder.Dump();
}

TEST_F(DownloadInstallerTest, TwoFailedDownloadsInARowLeaveNoPackageFile) {
    DistServer server(BinPath("glyphora-fake-package"));
    ASSERT_FALSE(server.Base().empty());
    // Every GET of the package fails; the size probe succeeds.
    std::string url = server.Base() + "/fault/get-status=500/software/259";
    std::string first = dir.Join("A"), second = dir.Join("B");
    for (const std::string& folder : {first, second}) {
        EventRecorder recorder;
        CDownloadInstaller installer(recorder.Callback(), L"", L"", L"", true, true, true);
        installer.Init(W(url), L"", L"", W(folder), true, true, false, true);
        Run(installer, recorder);
        EXPECT_EQ(recorder.Codes().back(), DL_CODE_FAIL) << recorder.Dump();
        EXPECT_FALSE(Exists(folder + "/__Package_Glyphora.exe"));
        // A package file left behind in the first folder (by anything) goes with the next
        // failure, which remembers the last failed path.
        if (folder == first)
            WriteFile(first + "/__Package_Glyphora.exe", "stale");
    }
    EXPECT_FALSE(Exists(first + "/__Package_Glyphora.exe"));
    EXPECT_FALSE(Exists(second + "/__Package_Glyphora.exe"));
}

TEST_F(DownloadInstallerTest, PackageFailureDeletesThePackageAndEndsTheRun) {
    DistServer server(BinPath("glyphora-fake-package"));
    WriteFile(dir.Join("pscript"), "print Progress=0.4\nprint Error=磁盘已满\n");
    ScopedEnv script("GLYPHORA_FAKE_PACKAGE_SCRIPT", dir.Join("pscript"));
    std::string folder = dir.Join("G");
    EventRecorder recorder;
    {
        CDownloadInstaller installer(recorder.Callback(), L"", L"", L"", true, true, true);
        installer.Init(W(server.Url()), L"", L"", W(folder), true, true, false, true);
        Run(installer, recorder);
    }
    std::vector<Event> events = recorder.Events();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back().code, IST_CODE_FAIL);
    EXPECT_EQ(events.back().value, 1000.0);
    EXPECT_EQ(events.back().text, L"磁盘已满");
    EXPECT_FALSE(Exists(folder + "/__Package_Glyphora.exe"));
}

}  // namespace
