// glyphora-installer -silent end to end: real processes, glyphora-distserver on 127.0.0.1,
// the fake package and uninstaller, and the records they leave.
#include "install/silent_install.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "app/startup.h"
#include "tests/install/test_support.h"
#include "utils/instance_mutex.h"
#include "utils/profile.h"
#include "utils/registry.h"
#include "utils/text.h"

namespace {

using namespace install_test;

class SilentInstallTest : public ::testing::Test {
protected:
    // Every silent run looks for a running "Glyphora_un_asa.exe", which other tests run.
    ProcessNameLock lock;
    TempDir dir;
    std::string target = dir.Join("Lexivo Apps");
    // The same private folders for this process (to read the records) and the installer.
    ScopedEnv config{"XDG_CONFIG_HOME", dir.Join("config")};
    ScopedEnv appData{"APPDATA", dir.Join("appdata")};
    ScopedEnv runtime{"XDG_RUNTIME_DIR", dir.path()};
    ScopedEnv tmp{"TMPDIR", dir.path()};

    ProcessResult Install(const std::string& url,
                          std::vector<std::pair<std::string, std::string>> env = {},
                          const std::string& installDir = "") {
        env.push_back({"GLYPHORA_TRACE", dir.Join("trace.log")});
        return RunProcess(
            {BinPath("glyphora-installer"), "-silent",
             "-installdir=" + (installDir.empty() ? target : installDir), "-downloadurl=" + url},
            env);
    }
};

TEST_F(SilentInstallTest, FreshInstallLeavesProductAndRecords) {
    DistServer server(BinPath("glyphora-fake-package"));
    ASSERT_FALSE(server.Url().empty());
    ProcessResult r = Install(server.Url());
    ASSERT_EQ(r.exitCode, kSilentSuccess) << r.output;
    EXPECT_NE(r.output.find("Installed Lexivo into " + target), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("Installing: 100%"), std::string::npos) << r.output;
    EXPECT_TRUE(Exists(target + "/Glyphora.exe"));
    EXPECT_FALSE(Exists(target + "/__Package_Glyphora.exe"));
    EXPECT_EQ(Reg(L"InstallPath"), W(target));
    EXPECT_EQ(Reg(L"UnInstallEp"), W(target + "/uninst.ep"));
    std::string ini = target + "/set.ini";
    EXPECT_EQ(Ini(ini, L"Install", L"AppName"), L"Glyphora");
    EXPECT_EQ(Ini(ini, L"Install", L"APPStore"), L"glyphora-installer");
    EXPECT_EQ(Ini(ini, L"Install", L"DeviceID").size(), 32u);
    EXPECT_NE(
        Ini(dir.Join("appdata/OrvanData/Glyphora/VIVuvadadUzudovezu.ini"), L"Init", L"UpdateTime"),
        L"<missing>");
}

TEST_F(SilentInstallTest, EveryDownloaderVariantInstalls) {
    DistServer server(BinPath("glyphora-fake-package"));
    ASSERT_FALSE(server.Url().empty());
    for (const char* type : {"1", "2", "3"}) {
        std::string folder = dir.Join(std::string("type") + type);
        ProcessResult r =
            RunProcess({BinPath("glyphora-installer"), "-silent", "-installdir=" + folder,
                        "-downloadurl=" + server.Url(), std::string("-downloadtype=") + type},
                       {{"GLYPHORA_TRACE", "off"}});
        EXPECT_EQ(r.exitCode, kSilentSuccess) << "type " << type << "\n" << r.output;
        EXPECT_TRUE(Exists(folder + "/Glyphora.exe")) << "type " << type;
        EXPECT_FALSE(Exists(folder + "/__Package_Glyphora.exe")) << "type " << type;
    }
}

TEST_F(SilentInstallTest, UpgradeRunsTheOldUninstallerFirst) {
    DistServer server(BinPath("glyphora-fake-package"));
    ASSERT_EQ(Install(server.Url()).exitCode, kSilentSuccess);
    WriteFile(target + "/old-version.txt", "1.0");
    std::string argsLog = dir.Join("args");
    ProcessResult r = Install(server.Url(), {{"GLYPHORA_FAKE_ARGS_LOG", argsLog}});
    ASSERT_EQ(r.exitCode, kSilentSuccess) << r.output;
    EXPECT_NE(r.output.find("Existing installation: " + target), std::string::npos);
    EXPECT_FALSE(Exists(target + "/old-version.txt")) << "the old version was not removed";
    EXPECT_TRUE(Exists(target + "/Glyphora.exe"));
    // The uninstaller ran before the package, on the whole folder (it holds a blank).
    std::string log = ReadFile(argsLog);
    size_t uninstaller = log.find("uninstaller\n");
    size_t package = log.find("package\n");
    ASSERT_NE(uninstaller, std::string::npos) << log;
    EXPECT_LT(uninstaller, package) << log;
    EXPECT_NE(log.find("Glyphora_un_asa.exe\n/S\n"), std::string::npos) << log;
    EXPECT_NE(log.find("\n_?=" + target + "\n--\n"), std::string::npos) << log;
    EXPECT_EQ(Reg(L"InstallPath"), W(target));
}

TEST_F(SilentInstallTest, KeptOldVersionIsNotRemoved) {
    DistServer server(BinPath("glyphora-fake-package"));
    ASSERT_EQ(Install(server.Url()).exitCode, kSilentSuccess);
    Utils::WriteProfileString(target + "/set.ini", L"Uninstall", L"IsOverride", L"false");
    std::string argsLog = dir.Join("args");
    ProcessResult r = Install(server.Url(), {{"GLYPHORA_FAKE_ARGS_LOG", argsLog}});
    ASSERT_EQ(r.exitCode, kSilentSuccess) << r.output;
    EXPECT_EQ(ReadFile(argsLog).find("uninstaller\n"), std::string::npos);
}

TEST_F(SilentInstallTest, DigestMismatchFailsTheDownload) {
    DistServer server(BinPath("glyphora-fake-package"));
    ProcessResult r = Install(server.Base() + "/fault/digest=wrong/software/259");
    EXPECT_EQ(r.exitCode, kSilentDownloadFailed) << r.output;
    EXPECT_NE(r.output.find("Download failed"), std::string::npos) << r.output;
    EXPECT_FALSE(Exists(target + "/__Package_Glyphora.exe"));
    EXPECT_FALSE(Exists(target + "/Glyphora.exe"));
    EXPECT_EQ(Reg(L"InstallPath"), L"<missing>");
}

TEST_F(SilentInstallTest, PackageErrorFailsTheInstallation) {
    DistServer server(BinPath("glyphora-fake-package"));
    WriteFile(dir.Join("pscript"), "print Progress=0.3\nwrite Error=no \nprint room\n");
    ProcessResult r =
        Install(server.Url(), {{"GLYPHORA_FAKE_PACKAGE_SCRIPT", dir.Join("pscript")}});
    EXPECT_EQ(r.exitCode, kSilentInstallFailed) << r.output;
    EXPECT_NE(r.output.find("Installation failed: no room"), std::string::npos) << r.output;
    EXPECT_FALSE(Exists(target + "/__Package_Glyphora.exe"));
    EXPECT_EQ(Reg(L"InstallPath"), L"<missing>");
    // The settings are written when the package starts, as the window does.
    EXPECT_EQ(Ini(target + "/set.ini", L"Install", L"AppName"), L"Glyphora");
}

TEST_F(SilentInstallTest, RefusalsAndAnotherInstance) {
    DistServer server(BinPath("glyphora-fake-package"));
    WriteFile(dir.Join("file"), "x");
    ProcessResult invalid = Install(server.Url(), {}, dir.Join("file/sub"));
    EXPECT_EQ(invalid.exitCode, kSilentInvalidFolder) << invalid.output;

    Utils::InstanceMutex other(kInstanceMutexBaseName);
    other.Acquire();
    ASSERT_TRUE(other.Held());
    ProcessResult second = Install(server.Url());
    EXPECT_EQ(second.exitCode, kSilentAnotherInstance) << second.output;
    EXPECT_FALSE(Exists(target));
}

}  // namespace
