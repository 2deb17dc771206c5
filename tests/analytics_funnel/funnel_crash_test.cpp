// The crash reporter in a process that really crashes: the report runs once, the process
// still dies of its signal, and the installer's crash reports reach a collector.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/analytics/test_support.h"
#include "tests/analytics/tracker_test_support.h"

extern char** environ;

namespace {

using analytics_test::BinPath;

// Runs `args` with the current environment overridden by `extra` ("NAME=value"); returns the wait
// status, or -1 when it could not start or did not end within 30 s (it is killed then).
int RunChild(const std::vector<std::string>& args, const std::vector<std::string>& extra) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        std::string entry = *e;
        bool replaced = false;
        for (const auto& x : extra) {
            replaced |= entry.compare(0, x.find('=') + 1, x, 0, x.find('=') + 1) == 0;
        }
        if (!replaced)
            env.push_back(entry);
    }
    env.insert(env.end(), extra.begin(), extra.end());
    std::vector<char*> argv, envp;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (const auto& e : env)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data()) != 0)
        return -1;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return status;
}

TEST(FunnelCrash, ReportsOnceThenDiesOfTheSameSignal) {
    struct Case {
        const char* mode;
        int signal;
    };
    const Case cases[] = {
        {"segv", SIGSEGV}, {"abort", SIGABRT}, {"fpe", SIGFPE}, {"throw", SIGABRT}};
    for (const Case& c : cases) {
        analytics_test::TempDir dir;
        std::string marker = dir.file("marker");
        int status =
            RunChild({BinPath("analytics_crash_child"), c.mode}, {"CRASH_MARKER=" + marker});
        ASSERT_NE(status, -1) << c.mode;
        EXPECT_TRUE(WIFSIGNALED(status)) << c.mode << " status " << status;
        if (WIFSIGNALED(status)) {
            EXPECT_EQ(WTERMSIG(status), c.signal) << c.mode;
        }
        EXPECT_EQ(analytics_test::ReadFile(marker), "reported\n") << c.mode;
    }
}

TEST(FunnelCrash, InstallerCrashReportsReachTheCollector) {
    analytics_test::Collector collector;
    ASSERT_TRUE(collector.ok()) << collector.stderrText();
    analytics_test::TempDir dir;
    int status =
        RunChild({BinPath("analytics_crash_child"), "segv"},
                 {"CURL_CA_BUNDLE=" + collector.cert(), "GLYPHORA_ANALYTICS_URL=" + collector.url(),
                  "XDG_DATA_HOME=" + dir.path()});
    ASSERT_NE(status, -1);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGSEGV) << status;
    auto records = collector.waitForRecords(3, std::chrono::seconds(20));
    ASSERT_EQ(records.size(), 3u) << collector.stderrText();
    EXPECT_EQ(tracker_test::EventOf(records[0]), "OvEventClick");
    EXPECT_TRUE(tracker_test::HasProperty(records[1], "ov_task_name", "\"崩溃退出\""));
    EXPECT_TRUE(tracker_test::HasProperty(records[1], "ovc_ab", "\"IN\""));
    EXPECT_EQ(tracker_test::EventOf(records[2]), "AppCrashed");
    EXPECT_TRUE(tracker_test::HasProperty(records[2], "app_crashed_reason", "\"崩溃\""));
}

TEST(FunnelCrash, DisabledAnalyticsReportsNoCrash) {
    analytics_test::Collector collector;
    ASSERT_TRUE(collector.ok()) << collector.stderrText();
    analytics_test::TempDir dir;
    int status =
        RunChild({BinPath("analytics_crash_child"), "segv", "-isenableanalytics=no"},
                 {"CURL_CA_BUNDLE=" + collector.cert(), "GLYPHORA_ANALYTICS_URL=" + collector.url(),
                  "XDG_DATA_HOME=" + dir.path()});
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGSEGV) << status;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(collector.records().empty());
    std::error_code ec;
    EXPECT_TRUE(std::filesystem::is_empty(dir.path(), ec)) << "no identity file";
}

}  // namespace
