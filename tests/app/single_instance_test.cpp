// The single-instance rule with real installer processes: build/bin/glyphora-installer,
// started with XDG_RUNTIME_DIR pointed at a private folder so the lock file is this test's.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "tests/utils/temp_dir.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;
using TestSupport::TempDir;

constexpr char kLockName[] = "D1A547DB89C0BC61_Installer_Glyphora";

std::string InstallerPath() {
    const char* bin = std::getenv("GLYPHORA_BIN");
    return std::string(bin != nullptr ? bin : "build/bin") + "/glyphora-installer";
}

struct Child {
    pid_t pid = -1;
    std::string out, err;  // files that receive its standard output and error
};

Child Start(const TempDir& dir, const std::string& tag, int holdMs) {
    Child c;
    c.out = dir.File(tag + ".out");
    c.err = dir.File(tag + ".err");
    std::vector<std::string> env = {"XDG_RUNTIME_DIR=" + dir.path(), "GLYPHORA_TRACE=off",
                                    "HOME=" + dir.path()};
    if (holdMs > 0)
        env.push_back("GLYPHORA_TEST_HOLD_MS=" + std::to_string(holdMs));
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string exe = InstallerPath();
    char* argv[] = {exe.data(), nullptr};
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, c.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&fa, 2, c.err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (posix_spawn(&c.pid, exe.c_str(), &fa, nullptr, argv, envp.data()) != 0)
        c.pid = -1;
    posix_spawn_file_actions_destroy(&fa);
    return c;
}

// The exit status, or -2 when the child did not end within `limit` (it is killed then).
int Wait(const Child& c, std::chrono::milliseconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        int status = 0;
        pid_t r = ::waitpid(c.pid, &status, WNOHANG);
        if (r == c.pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(c.pid, SIGKILL);
            ::waitpid(c.pid, &status, 0);
            return -2;
        }
        std::this_thread::sleep_for(5ms);
    }
}

bool Running(const Child& c) {
    int status = 0;
    return ::waitpid(c.pid, &status, WNOHANG) == 0;
}

// True once some process holds the lock file (bounded by `limit`).
bool LockHeld(const TempDir& dir, std::chrono::milliseconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        int fd = ::open(dir.File(kLockName).c_str(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
            ::close(fd);  // releases our own lock when we got it
            if (held)
                return true;
        }
        std::this_thread::sleep_for(5ms);
    }
    return false;
}

class SingleInstance : public ::testing::Test {
protected:
    void SetUp() override {
        if (::access(InstallerPath().c_str(), X_OK) != 0) {
            GTEST_FAIL() << "installer not built at " << InstallerPath();
        }
    }
    TempDir dir_;
};

TEST_F(SingleInstance, SecondCopyExitsAtOnceWithMinusOneAndSaysNothing) {
    Child first = Start(dir_, "first", 20000);
    ASSERT_GT(first.pid, 0);
    ASSERT_TRUE(LockHeld(dir_, 10s));
    Child second = Start(dir_, "second", 0);
    ASSERT_GT(second.pid, 0);
    EXPECT_EQ(Wait(second, 10s), 255);  // -1 as the OS shows it
    EXPECT_TRUE(Running(first)) << "the second copy must not wait for the first";
    EXPECT_EQ(TestSupport::ReadFile(second.out), "");
    EXPECT_EQ(TestSupport::ReadFile(second.err), "");
    ::kill(first.pid, SIGTERM);
    Wait(first, 10s);

    // The holder is gone (even though it was killed): the mutex is free again.
    Child third = Start(dir_, "third", 0);
    EXPECT_EQ(Wait(third, 10s), 0);
    EXPECT_EQ(TestSupport::ReadFile(third.out), "");
}

TEST_F(SingleInstance, TwoCopiesRacingExactlyOneWins) {
    for (int round = 0; round < 3; ++round) {
        Child a = Start(dir_, "a", 3000);
        Child b = Start(dir_, "b", 3000);
        ASSERT_GT(a.pid, 0);
        ASSERT_GT(b.pid, 0);
        int ra = Wait(a, 20s), rb = Wait(b, 20s);
        EXPECT_TRUE((ra == 0 && rb == 255) || (ra == 255 && rb == 0))
            << "round " << round << ": " << ra << " and " << rb;
    }
}

TEST_F(SingleInstance, NormalExitReleasesTheMutex) {
    for (int i = 0; i < 3; ++i) {
        Child c = Start(dir_, "run" + std::to_string(i), 0);
        EXPECT_EQ(Wait(c, 10s), 0) << i;
    }
}

}  // namespace
