#include "utils/thread.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "utils/trace_log.h"

namespace {

using namespace std::chrono_literals;

TEST(Thread, StartsSuspendedRunsOnResumeAndJoins) {
    std::atomic<int> runs{0};
    std::atomic<void*> seen{nullptr};
    int param = 7;
    char name[16] = {};
    Utils::Thread t(&param, L"ABDEF", [&](void* p) -> uint32_t {
        seen = p;
        pthread_getname_np(pthread_self(), name, sizeof(name));
        ++runs;
        return 0;
    });
    EXPECT_NE(t.ThreadId(), static_cast<uint32_t>(-1));
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(runs.load(), 0) << "the function must not run before Resume";
    EXPECT_TRUE(t.Resume());
    EXPECT_FALSE(t.Resume());  // only once
    t.Join();
    EXPECT_EQ(runs.load(), 1);
    EXPECT_EQ(seen.load(), &param);
    EXPECT_STREQ(name, "ABDEF");
    EXPECT_EQ(t.ThreadId(), static_cast<uint32_t>(-1));
    EXPECT_FALSE(t.Resume());
    t.Join();  // a second join is harmless
}

TEST(Thread, NamesAreCutOrDerivedFromTheId) {
    struct Case {
        std::wstring name;
        std::string expectedPrefix;  // "" for "t<id>"
    } cases[] = {
        {L"UnInstaller", "UnInstaller"},
        {L"AVeryLongThreadNameIndeed", "AVeryLongThread"},  // 15 bytes
        {L"", ""},
    };
    for (const Case& c : cases) {
        char name[16] = {};
        Utils::Thread t(nullptr, c.name, [&](void*) -> uint32_t {
            pthread_getname_np(pthread_self(), name, sizeof(name));
            return 0;
        });
        uint32_t id = t.ThreadId();
        t.Resume();
        t.Join();
        std::string want = c.expectedPrefix.empty() ? "t" + std::to_string(id) : c.expectedPrefix;
        EXPECT_EQ(std::string(name), want.substr(0, 15));
    }
}

TEST(Thread, NeverResumedThreadIsCancelledOnDestruction) {
    std::atomic<int> runs{0};
    {
        Utils::Thread t(nullptr, L"idle", [&](void*) -> uint32_t { return ++runs; });
    }
    EXPECT_EQ(runs.load(), 0);
}

TEST(Thread, DestructionWaitsForTheFunction) {
    std::atomic<bool> done{false};
    {
        Utils::Thread t(nullptr, L"slow", [&](void*) -> uint32_t {
            std::this_thread::sleep_for(50ms);
            done = true;
            return 0;
        });
        t.Resume();
    }
    EXPECT_TRUE(done.load());
}

TEST(Thread, TracesBeginAndEnd) {
    std::vector<std::wstring> lines;
    std::mutex m;
    Utils::SetTraceSink([&](const std::wstring& l) {
        std::lock_guard<std::mutex> lock(m);
        lines.push_back(l);
    });
    {
        Utils::Thread t(nullptr, L"x", [](void*) -> uint32_t { return 0; });
        t.Resume();
    }
    Utils::SetTraceSink(nullptr);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find(L"THREAD BEGIN\r\n"), std::wstring::npos);
    EXPECT_NE(lines[1].find(L"THREAD END\r\n"), std::wstring::npos);
}

}  // namespace
