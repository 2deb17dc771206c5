// The uninstaller and package runners against the scripted fake programs (real processes).
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "app/launch_options.h"
#include "install/package_runner.h"
#include "install/uninstall_runner.h"
#include "tests/install/test_support.h"
#include "utils/text.h"

namespace {

using namespace install_test;
using namespace std::chrono_literals;

// Runs the fake package with `script` into `folder` and returns the recorded events once
// a final installation event arrived.
std::vector<Event> RunPackage(const TempDir& dir, const std::string& script,
                              const std::string& folder, const std::string& package = "") {
    WriteFile(dir.Join("script"), script);
    ScopedEnv env("GLYPHORA_FAKE_PACKAGE_SCRIPT", dir.Join("script"));
    EventRecorder recorder;
    std::string program = package.empty() ? BinPath("glyphora-fake-package") : package;
    {
        CPackageRunner runner(recorder.Callback(), L"\"" + W(program) + L"\"", W(folder));
        runner.SetPumpPause(1ms);
        runner.Start();
        EXPECT_TRUE(recorder.WaitForAny({IST_CODE_SUCCESS, IST_CODE_FAIL})) << recorder.Dump();
    }  // joins the worker: no event can follow
    return recorder.Events();
}

std::vector<Event> Finals(const std::vector<Event>& events) {
    std::vector<Event> out;
    for (const Event& e : events) {
        if (e.code == IST_CODE_SUCCESS || e.code == IST_CODE_FAIL || e.code == UNIST_CODE_SUCCESS ||
            e.code == UNIST_CODE_FAIL || e.code == UNIST_CODE_ERROR) {
            out.push_back(e);
        }
    }
    return out;
}

TEST(PackageCommandLineTest, ExactLineWithAndWithoutInstCmdAndFolder) {
    const std::wstring pkg = L"\"/i/G/__Package_Glyphora.exe\"";
    PackageSwitches all{true, true, true, true};
    PackageSwitches none{false, false, false, false};
    struct {
        PackageSwitches switches;
        std::wstring instCmd, folder, expected;
    } cases[] = {
        {all, L"", L"/i/G",
         pkg + L" /S -console=show -version=1.0.0 -adminact=true -authorizationact=true "
               L"-dsc=true -ssc=true -instdir=\"/i/G\" /D=/i/G"},
        {none, L"", L"",
         pkg + L" /S -console=show -version=1.0.0 -adminact=false -authorizationact=false "
               L"-dsc=false -ssc=false"},
        {none, L"-lang=zh", L"/i/G",
         pkg + L" /S -console=show -version=1.0.0 -adminact=false -authorizationact=false "
               L"-dsc=false -ssc=false -lang=zh -instdir=\"/i/G\" /D=/i/G"},
        {all, L"-a=1 -b", L"",
         pkg + L" /S -console=show -version=1.0.0 -adminact=true -authorizationact=true "
               L"-dsc=true -ssc=true -a=1 -b"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PackageCommandLine(pkg, c.switches, c.instCmd, c.folder), c.expected);
    }
    std::vector<std::wstring> args = PackageArguments(pkg, all, L"-x=\"a b\"", L"/i/My  Apps/G");
    std::vector<std::wstring> expected = {L"/i/G/__Package_Glyphora.exe",
                                          L"/S",
                                          L"-console=show",
                                          L"-version=1.0.0",
                                          L"-adminact=true",
                                          L"-authorizationact=true",
                                          L"-dsc=true",
                                          L"-ssc=true",
                                          L"-x=a b",
                                          L"-instdir=/i/My  Apps/G",
                                          L"/D=/i/My  Apps/G"};
    EXPECT_EQ(args, expected);
}

TEST(UninstallCommandLineTest, PathQuotedFolderLast) {
    EXPECT_EQ(UninstallCommandLine(L"/t/Glyphora_un_asa.exe", L"/o/My Apps/G", false, true),
              L"\"/t/Glyphora_un_asa.exe\" /S -adminact=false -authorizationact=true "
              L"-console=show _?=/o/My Apps/G");
    std::vector<std::wstring> expected = {L"/t/u",           L"/S",
                                          L"-adminact=true", L"-authorizationact=false",
                                          L"-console=show",  L"_?=/o/My  Apps/G"};
    EXPECT_EQ(UninstallArguments(L"/t/u", L"/o/My  Apps/G", true, false), expected);
}

TEST(PackageRunnerTest, FinalStatesAndValues) {
    struct {
        const char* name;
        std::string script;
        int32_t code;
        double value;
        std::wstring text;
    } cases[] = {
        {"state success", "print Progress=0.5\nprint State=Success\n", IST_CODE_SUCCESS, 0.0, L""},
        {"no state", "print Progress=0.5\nexit 3\n", IST_CODE_SUCCESS, 1.0, L""},
        {"exit code 259 without state", "exit 259\n", IST_CODE_SUCCESS, 1.0, L""},
        {"state fail", "print State=Fail\n", IST_CODE_FAIL, 0.0, L"安装包安装失败"},
        {"error line", "print Error=disk full\nexit 0\n", IST_CODE_FAIL, 1000.0, L"disk full"},
        {"last line without line feed", "write Error=tail", IST_CODE_FAIL, 1000.0, L"tail"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        std::vector<Event> events = RunPackage(dir, c.script, dir.Join("G"));
        ASSERT_GE(events.size(), 2u) << c.name;
        EXPECT_EQ(events[0].code, IST_CODE_START) << c.name;
        EXPECT_EQ(events[1].code, IST_CODE_PROGRESS) << c.name;
        EXPECT_EQ(events[1].value, 0.0) << c.name;
        std::vector<Event> finals = Finals(events);
        ASSERT_EQ(finals.size(), 1u) << c.name;
        EXPECT_EQ(finals[0].code, c.code) << c.name;
        EXPECT_EQ(finals[0].value, c.value) << c.name;
        EXPECT_EQ(finals[0].text, c.text) << c.name;
    }
}

TEST(PackageRunnerTest, MissingPackageFailsWithTwo) {
    TempDir dir;
    std::vector<Event> events = RunPackage(dir, "", dir.Join("G"), dir.Join("nothing.exe"));
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[2].code, IST_CODE_FAIL);
    EXPECT_EQ(events[2].value, 2.0);
    EXPECT_EQ(events[2].text, L"");
}

TEST(PackageRunnerTest, SplitLineReachesParserWhole) {
    // An "Error=" line cut in two by the child's writes must still fail the installation.
    TempDir dir;
    std::vector<Event> events =
        RunPackage(dir,
                   "write Progress=0.3\\nErr\nsleep 150\nwrite or=bro\nsleep 150\n"
                   "print ken\n",
                   dir.Join("G"));
    std::vector<Event> finals = Finals(events);
    ASSERT_EQ(finals.size(), 1u) << Dump(events);
    EXPECT_EQ(finals[0].code, IST_CODE_FAIL);
    EXPECT_EQ(finals[0].text, L"broken");
}

TEST(PackageRunnerTest, GbkAfterEncodeAndSplitMultibyteCharacter) {
    // "你好" in GBK is C4 E3 BA C3; the second character arrives in two writes.
    TempDir dir;
    std::vector<Event> events =
        RunPackage(dir,
                   "print Encode=936\nwrite Message=\\xC4\\xE3\\xBA\nsleep 150\n"
                   "print \\xC3\nprint Encode=UTF8\nprint Message=\\xE4\\xBD\\xA0\n",
                   dir.Join("G"));
    std::vector<std::wstring> messages;
    for (const Event& e : events) {
        if (e.code == IST_CODE_MESSAGE)
            messages.push_back(e.text);
    }
    EXPECT_EQ(messages, (std::vector<std::wstring>{L"你好", L"你"}));
}

TEST(PackageRunnerTest, ManyLinesInOneWriteArriveInOrder) {
    TempDir dir;
    std::vector<Event> events = RunPackage(
        dir, "write Progress=0.1\\nProgress=0.2\\nInstPath=/p\\nProgress=0.3\\n\n", dir.Join("G"));
    std::vector<double> progress;
    std::vector<int32_t> codes;
    for (const Event& e : events)
        codes.push_back(e.code);
    EXPECT_EQ(codes, (std::vector<int32_t>{2001, 2002, 2002, 2002, 3000, 2002, 2003}));
}

TEST(PackageRunnerTest, MegabytesOnStandardErrorDoNotBlock) {
    TempDir dir;
    auto start = std::chrono::steady_clock::now();
    std::vector<Event> events = RunPackage(dir, "stderr 8\nprint State=Success\n", dir.Join("G"));
    EXPECT_EQ(Finals(events).size(), 1u);
    EXPECT_EQ(Finals(events)[0].code, IST_CODE_SUCCESS);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 15s);
}

TEST(PackageRunnerTest, StopsReadingAfterFinalStateButWaitsForTheChild) {
    TempDir dir;
    auto start = std::chrono::steady_clock::now();
    std::vector<Event> events =
        RunPackage(dir, "print State=Success\nsleep 400\nprint Error=late\nprint Progress=0.9\n",
                   dir.Join("G"));
    // The runner's destructor returned only after the package ended.
    EXPECT_GE(std::chrono::steady_clock::now() - start, 380ms);
    std::vector<Event> finals = Finals(events);
    ASSERT_EQ(finals.size(), 1u) << Dump(events);
    EXPECT_EQ(finals[0].value, 0.0);
    EXPECT_EQ(events.back().code, IST_CODE_SUCCESS);
}

TEST(PackageRunnerTest, RealInstallReportsPathsAndTheFolderHoldsBlanks) {
    TempDir dir;
    std::string folder = dir.Join("My  Apps/Glyphora");
    ScopedEnv argsLog("GLYPHORA_FAKE_ARGS_LOG", dir.Join("args"));
    GetLaunchOptions().InstCmd = L"-lang=zh \"-note=a b\"";
    std::vector<Event> events = RunPackage(dir, "install\nprint State=Success\n", folder);
    GetLaunchOptions().InstCmd.clear();
    EXPECT_TRUE(Exists(folder + "/Glyphora.exe"));
    EXPECT_TRUE(Exists(folder + "/uninst.ep"));
    std::wstring instPath, exePath, uninstEp;
    for (const Event& e : events) {
        if (e.code == IST_CODE_INSTPATH)
            instPath = e.text;
        if (e.code == IST_CODE_EXEPATH)
            exePath = e.text;
        if (e.code == IST_CODE_UNINSTEP)
            uninstEp = e.text;
    }
    EXPECT_EQ(instPath, W(folder));
    EXPECT_EQ(exePath, W(folder + "/Glyphora.exe"));
    EXPECT_EQ(uninstEp, W(folder + "/uninst.ep"));
    std::string args = ReadFile(dir.Join("args"));
    // The launch options' extra switches stand between "-ssc" and the folder switches.
    EXPECT_NE(args.find("\n-ssc=false\n-lang=zh\n-note=a b\n-instdir=" + folder + "\n/D=" + folder +
                        "\n--\n"),
              std::string::npos)
        << args;
}

// Runs the fake uninstaller on `folder` and returns the events after the runner is gone.
std::vector<Event> RunUninstaller(const TempDir& dir, const std::string& script,
                                  const std::string& program, const std::string& folder) {
    WriteFile(dir.Join("uscript"), script);
    ScopedEnv env("GLYPHORA_FAKE_UNINSTALL_SCRIPT", dir.Join("uscript"));
    EventRecorder recorder;
    {
        CUninstallRunner runner(recorder.Callback(), W(program), W(folder));
        runner.Start();
        EXPECT_TRUE(recorder.WaitForAny({UNIST_CODE_SUCCESS, UNIST_CODE_FAIL, UNIST_CODE_ERROR}))
            << recorder.Dump();
    }
    return recorder.Events();
}

TEST(UninstallRunnerTest, EventsOfTypicalRuns) {
    struct {
        const char* name;
        std::string script;
        std::vector<int32_t> codes;
        std::vector<double> values;
    } cases[] = {
        {"silent exit", "exit 0\n", {5002, 5003}, {0.0, 1.0}},
        {"state success", "print State=Success\nexit 2\n", {5002, 5003}, {0.0, 0.0}},
        {"error then success",
         "print Error=busy\nsleep 50\nprint State=Success\n",
         {5002, 5005, 5003},
         {0.0, 0.0, 0.0}},
        {"state fail",
         "print Progress=0.5\nprint State=Fail\n",
         {5002, 5002, 5005},
         {0.0, 0.5, 0.0}},
    };
    for (const auto& c : cases) {
        TempDir dir;
        std::vector<Event> events =
            RunUninstaller(dir, c.script, BinPath("glyphora-fake-uninstaller"), dir.Join("old"));
        std::vector<int32_t> codes;
        std::vector<double> values;
        for (const Event& e : events)
            codes.push_back(e.code), values.push_back(e.value);
        EXPECT_EQ(codes, c.codes) << c.name << "\n" << Dump(events);
        EXPECT_EQ(values, c.values) << c.name;
    }
}

TEST(UninstallRunnerTest, MissingUninstallerAndUnstartableOne) {
    TempDir dir;
    std::vector<Event> events = RunUninstaller(dir, "", dir.Join("none.exe"), dir.Join("old"));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].code, UNIST_CODE_FAIL);
    EXPECT_EQ(events[0].value, 1.0);
    EXPECT_EQ(events[0].text, L"可执行卸载文件不存在");

    WriteFile(dir.Join("not-executable"), "data");
    events = RunUninstaller(dir, "", dir.Join("not-executable"), dir.Join("old"));
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1].code, UNIST_CODE_FAIL);
    EXPECT_EQ(events[1].value, 2.0);
}

TEST(UninstallRunnerTest, RemovesAFolderWithBlanks) {
    TempDir dir;
    std::string folder = dir.Join("Old  Apps/Glyphora");
    // A real installation by the fake package first.
    RunPackage(dir, "install\nprint State=Success\n", folder);
    ASSERT_TRUE(Exists(folder + "/uninst.ep"));
    ScopedEnv argsLog("GLYPHORA_FAKE_ARGS_LOG", dir.Join("args"));
    std::vector<Event> events =
        RunUninstaller(dir, "remove\nprint State=Success\n", folder + "/uninst.ep", folder);
    EXPECT_FALSE(Exists(folder)) << Dump(events);
    EXPECT_NE(ReadFile(dir.Join("args")).find("\n_?=" + folder + "\n--\n"), std::string::npos);
}

}  // namespace
