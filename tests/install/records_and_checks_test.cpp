// Installation records over the registry and profile stand-ins, the folder rules, the
// pre-install checks and the product launch rules.
#include <gtest/gtest.h>
#include <unistd.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cmath>
#include <csignal>
#include <regex>
#include <string>

#include "install/install_checks.h"
#include "install/install_record.h"
#include "install/progress_percent.h"
#include "tests/install/test_support.h"
#include "utils/profile.h"
#include "utils/registry.h"
#include "utils/text.h"

namespace {

using namespace install_test;

// A private registry, analytics folder and temporary folder for one test.
class RecordsTest : public ::testing::Test {
protected:
    TempDir dir;
    ScopedEnv config{"XDG_CONFIG_HOME", dir.Join("config")};
    ScopedEnv appData{"APPDATA", dir.Join("appdata")};
    ScopedEnv tmp{"TMPDIR", dir.path()};
};

TEST_F(RecordsTest, ReadInstallRecordCases) {
    EXPECT_EQ(ReadInstallRecord().folder, L"");
    EXPECT_EQ(ReadInstallRecord().uninstallerPath, L"");

    ASSERT_TRUE(Utils::WriteRegString(L"InstallPath", L"/opt/G"));
    EXPECT_EQ(ReadInstallRecord().folder, L"/opt/G");
    EXPECT_EQ(ReadInstallRecord().uninstallerPath, L"/opt/G/uninst.ep");

    ASSERT_TRUE(Utils::WriteRegString(L"UnInstallEp", L"/elsewhere/u.ep"));
    EXPECT_EQ(ReadInstallRecord().uninstallerPath, L"/elsewhere/u.ep");
}

TEST_F(RecordsTest, KeepsOldVersionCases) {
    std::string folder = dir.Join("G");
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    auto setOverride = [&](const char* value) {
        if (value)
            WriteFile(folder + "/set.ini", std::string("[Uninstall]\nIsOverride=") + value + "\n");
        else
            ::unlink((folder + "/set.ini").c_str());
    };
    struct {
        const char* isOverride;  // nullptr: no file
        std::string existing, target;
        bool keeps;
    } cases[] = {
        {"false", folder, folder, true},
        {"false", folder + "/", folder, true},
        {"false", folder + "/../G", folder, true},
        {"FALSE", folder, folder, false},
        {"no", folder, folder, false},
        {"", folder, folder, false},
        {nullptr, folder, folder, false},
        {"false", dir.Join("Other"), folder, false},
        {"false", "", folder, false},
    };
    for (const auto& c : cases) {
        setOverride(c.isOverride);
        EXPECT_EQ(KeepsOldVersion(W(c.existing), W(c.target)), c.keeps)
            << (c.isOverride ? c.isOverride : "(no file)") << " " << c.existing;
    }
}

TEST_F(RecordsTest, WriteInstallRecordKeepsOldEntryWhenFileMissing) {
    std::string folder = dir.Join("G");
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    ASSERT_TRUE(Utils::WriteRegString(L"UnInstallEp", L"/old/uninst.ep"));
    WriteInstallRecord(W(folder), L"");
    EXPECT_EQ(Reg(L"InstallPath"), W(folder));
    EXPECT_EQ(Reg(L"UnInstallEp"), L"/old/uninst.ep");

    WriteFile(folder + "/uninst.ep", "x");
    WriteInstallRecord(W(folder), L"");
    EXPECT_EQ(Reg(L"UnInstallEp"), W(folder + "/uninst.ep"));

    WriteFile(dir.Join("custom.ep"), "x");
    WriteInstallRecord(W(folder), W(dir.Join("custom.ep")));
    EXPECT_EQ(Reg(L"UnInstallEp"), W(dir.Join("custom.ep")));
}

TEST_F(RecordsTest, WriteProductSettingsWritesKeysStampAndNewDeviceId) {
    std::string folder = dir.Join("G");
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    WriteFile(folder + "/set.ini", "[Uninstall]\nIsOverride=false\n");
    WriteProductSettings(W(folder));
    std::string ini = folder + "/set.ini";
    EXPECT_EQ(Ini(ini, L"Install", L"AppName"), L"Glyphora");
    EXPECT_EQ(Ini(ini, L"Install", L"APPStore"), L"install_tests");
    EXPECT_EQ(Ini(ini, L"Uninstall", L"IsOverride"), L"false");  // the product's section stays
    std::string analytics = dir.Join("appdata/OrvanData/Glyphora/VIVuvadadUzudovezu.ini");
    EXPECT_EQ(Ini(ini, L"Install", L"VIVuvadadUzudovezuIni"), W(analytics));
    std::string stamp = Utils::ToNarrow(Ini(analytics, L"Init", L"UpdateTime"), 65001);
    EXPECT_TRUE(std::regex_match(stamp, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)"))) << stamp;
    std::wstring first = Ini(ini, L"Install", L"DeviceID");
    EXPECT_TRUE(std::regex_match(Utils::ToNarrow(first, 65001), std::regex("[0-9A-Fa-f]{32}")));
    WriteProductSettings(W(folder));
    EXPECT_NE(Ini(ini, L"Install", L"DeviceID"), first);
}

TEST_F(RecordsTest, UnavailableAnalyticsFolderSkipsItsKeys) {
    std::string folder = dir.Join("G");
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    WriteFile(dir.Join("blocker"), "a file where a folder must go");
    ScopedEnv blocked("APPDATA", dir.Join("blocker"));
    WriteProductSettings(W(folder));
    std::string ini = folder + "/set.ini";
    EXPECT_EQ(Ini(ini, L"Install", L"AppName"), L"Glyphora");
    EXPECT_EQ(Ini(ini, L"Install", L"VIVuvadadUzudovezuIni"), L"<missing>");
}

TEST(FolderRulesTest, DefaultInstallFolder) {
    FolderFacts base;
    base.programFilesX86 = L"/opt";
    base.programFiles = L"/usr/local";
    struct {
        const char* name;
        FolderFacts facts;
        std::wstring expected;
    } cases[] = {
        {"fresh machine", base, L"/opt/Glyphora"},
        {"no x86 folder",
         [&] {
             auto f = base;
             f.programFilesX86.clear();
             return f;
         }(),
         L"/usr/local/Glyphora"},
        {"existing with uninstaller",
         [&] {
             auto f = base;
             f.existingInstallDir = L"/srv/G";
             f.existingUninstallerExists = true;
             return f;
         }(),
         L"/srv/G"},
        {"existing without uninstaller",
         [&] {
             auto f = base;
             f.existingInstallDir = L"/srv/G";
             return f;
         }(),
         L"/opt/Glyphora"},
        {"admin console user, elevated, APPDATA",
         [&] {
             auto f = base;
             f.consoleUserIsAdmin = f.processIsAdmin = true;
             f.appData = L"/home/u/AppData";
             return f;
         }(),
         L"/home/u/AppData/brisko/Glyphora"},
        {"elevated but standard console user",
         [&] {
             auto f = base;
             f.processIsAdmin = true;
             f.appData = L"/home/u/AppData";
             return f;
         }(),
         L"/opt/Glyphora"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DefaultInstallFolder(c.facts), c.expected) << c.name;
}

TEST(FolderRulesTest, ChosenInstallFolder) {
    struct {
        std::wstring def, edited, expected;
    } cases[] = {
        {L"/opt/Glyphora", L"/opt/Glyphora", L"/opt/Glyphora"},
        {L"/opt/Glyphora", L"/opt/Glyphora/", L"/opt/Glyphora"},
        {L"/opt/Glyphora", L"/opt/./Glyphora", L"/opt/Glyphora"},
        {L"/opt/Glyphora", L"/opt", L"/opt/Glyphora"},  // the parent gets its subfolder
        {L"/opt/Glyphora", L"/data/apps", L"/data/apps/Glyphora"},
        {L"/opt/Glyphora", L"/data/apps/", L"/data/apps/Glyphora"},
        {L"/opt/Glyphora", L"", L"/Glyphora"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ChosenInstallFolder(c.def, c.edited), c.expected)
            << Utils::ToNarrow(c.edited, 65001);
    }
}

TEST(InstallChecksTest, OrderAndThresholds) {
    TempDir dir;
    std::wstring folder = W(dir.Join("a/b/G"));
    const uint64_t gib = 1073741824;
    struct {
        const char* name;
        const wchar_t* running;  // process name reported as running
        uint64_t freeBytes;
        bool queryFails;
        bool checkNet;
        uint32_t network;
        InstallRefusal expected;
    } cases[] = {
        {"all good", nullptr, 5 * gib, false, false, 0, InstallRefusal::kNone},
        {"exactly 1.0 GiB passes", nullptr, gib, false, false, 0, InstallRefusal::kNone},
        {"one byte less", nullptr, gib - 1, false, false, 0, InstallRefusal::kLowDiskSpace},
        {"failed query counts as 0", nullptr, 5 * gib, true, false, 0,
         InstallRefusal::kLowDiskSpace},
        {"uninstaller copy running", L"Glyphora_un_asa.exe", 5 * gib, false, false, 0,
         InstallRefusal::kUninstallerRunning},
        {"product running", L"Glyphora.exe", 0, false, false, 0, InstallRefusal::kProductRunning},
        {"poor network", nullptr, 5 * gib, false, true, (2u << 16) | 0x20,
         InstallRefusal::kPoorNetwork},
        {"network not asked", nullptr, 5 * gib, false, false, 1u << 16, InstallRefusal::kNone},
        {"good network", nullptr, 5 * gib, false, true, 0x60, InstallRefusal::kNone},
    };
    for (const auto& c : cases) {
        CheckProbes probes;
        probes.findProcess = [&](std::wstring_view name) -> pid_t {
            return c.running && name == c.running ? 1234 : 0;
        };
        probes.freeBytes = [&](std::wstring_view, uint64_t* bytes) {
            *bytes = c.freeBytes;
            return !c.queryFails;
        };
        probes.checkNetwork = [&] { return c.network; };
        EXPECT_EQ(CheckBeforeInstall(folder, c.checkNet, probes), c.expected) << c.name;
    }
    // Missing levels were created, and stay even though later checks refused.
    EXPECT_TRUE(Exists(dir.Join("a/b/G")));
}

TEST(InstallChecksTest, UncreatableAndOverlongFoldersAreInvalid) {
    TempDir dir;
    WriteFile(dir.Join("file"), "x");
    CheckProbes probes;
    probes.findProcess = [](std::wstring_view) -> pid_t { return 0; };
    EXPECT_EQ(CheckBeforeInstall(W(dir.Join("file/G")), false, probes),
              InstallRefusal::kInvalidFolder);
    std::wstring overlong = W(dir.path()) + L"/" + std::wstring(261, L'x');
    EXPECT_EQ(CheckBeforeInstall(overlong, false, probes), InstallRefusal::kInvalidFolder);
    // The real free-space query on an existing folder of this machine.
    EXPECT_NE(CheckBeforeInstall(W(dir.Join("ok")), false, probes), InstallRefusal::kInvalidFolder);
}

TEST(FindProcessByNameTest, FindsByExecutableArgvZeroAndScriptName) {
    TempDir dir;
    // A copy of sleep under a name unique to this test run.
    std::string name = "glyphora-probe-" + std::to_string(::getpid()) + ".exe";
    std::string copy = dir.Join(name);
    ASSERT_EQ(std::system(("cp /bin/sleep '" + copy + "'").c_str()), 0);
    std::string script = dir.Join("probe-script-" + std::to_string(::getpid()) + ".exe");
    WriteFile(script, "#!/bin/sh\nsleep 3\n");
    ::chmod(script.c_str(), 0755);
    EXPECT_EQ(FindProcessByName(W(name)), 0);

    pid_t byExe = ::fork();
    if (byExe == 0) {
        execl(copy.c_str(), "renamed-argv0", "3", (char*)nullptr);
        _exit(127);
    }
    pid_t byScript = ::fork();
    if (byScript == 0) {
        execl(script.c_str(), script.c_str(), (char*)nullptr);
        _exit(127);
    }
    usleep(200000);
    EXPECT_EQ(FindProcessByName(W(name)), byExe);
    EXPECT_EQ(FindProcessByName(L"renamed-argv0"), byExe);
    EXPECT_NE(FindProcessByName(W(script.substr(script.rfind('/') + 1))), 0);
    EXPECT_EQ(FindProcessByName(W(name.substr(0, name.size() - 1))), 0);  // exact names only
    ::kill(byExe, SIGKILL);
    ::kill(byScript, SIGKILL);
    waitpid(byExe, nullptr, 0);
    waitpid(byScript, nullptr, 0);
}

TEST(LaunchProductTest, Rules) {
    TempDir dir;
    WriteFile(dir.Join("Glyphora.exe"), "x");
    struct {
        std::wstring url, exe;
        bool opensUrl, starts;
    } cases[] = {
        {L"http://example.invalid/welcome", W(dir.Join("Glyphora.exe")), true, true},
        {L"http:", W(dir.Join("Glyphora.exe")), false, true},  // 5 characters: not opened
        {L"abcdef", W(dir.Join("missing.exe")), true, false},
        {L"", L"", false, false},
    };
    for (const auto& c : cases) {
        std::vector<std::string> calls;
        LaunchActions actions;
        actions.openUrl = [&](const std::wstring&) {
            calls.push_back("url");
            return true;
        };
        actions.pumpMessages = [&] { calls.push_back("pump"); };
        actions.startProgram = [&](const std::wstring&) {
            calls.push_back("start");
            return true;
        };
        EXPECT_EQ(LaunchProduct(c.url, c.exe, actions), c.starts);
        std::vector<std::string> expected;
        if (c.opensUrl)
            expected.push_back("url");
        if (c.starts)
            expected.push_back("pump"), expected.push_back("start");
        EXPECT_EQ(calls, expected);
    }
}

TEST(LaunchProductTest, StartDetachedRunsTheProgram) {
    TempDir dir;
    std::string marker = dir.Join("started");
    std::string program = dir.Join("prog.sh");
    WriteFile(program, "#!/bin/sh\ntouch '" + marker + "'\n");
    ::chmod(program.c_str(), 0755);
    EXPECT_TRUE(StartDetached(W(program)));
    for (int i = 0; i < 100 && !Exists(marker); ++i)
        usleep(20000);
    EXPECT_TRUE(Exists(marker));
    EXPECT_FALSE(StartDetached(W(dir.Join("missing"))));
}

TEST(ProgressPercentTest, DownloadAndInstallShares) {
    EXPECT_EQ(DownloadPercent(1.0, 0.7), 70);
    EXPECT_EQ(DownloadPercent(0.99, 0.7), 69);
    EXPECT_EQ(DownloadPercent(0.5, std::nan("")), 0);
    InstallProgress p;
    std::vector<int> seen;
    for (int i = 0; i < 8; ++i)
        seen.push_back(p.Next(0.0, 0.7));
    EXPECT_EQ(seen, (std::vector<int>{74, 78, 83, 88, 92, 97, 98, 98}));
    InstallProgress q;
    q.Next(0.3, 0.7);
    EXPECT_EQ(q.Next(0.5, 0.7), 85);  // F = 0.5, not 0.45
    EXPECT_DOUBLE_EQ(q.Fraction(), 0.5);
    EXPECT_EQ(q.Next(1.0, 0.7), 100);
}

}  // namespace
