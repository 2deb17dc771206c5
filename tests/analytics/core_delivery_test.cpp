// Delivery through a real glyphora-collector process over HTTPS on 127.0.0.1.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <atomic>
#include <chrono>
#include <set>
#include <thread>

#include "analytics/core/batch_sender.h"
#include "analytics/core/flush.h"
#include "analytics/core/http_post_client.h"
#include "analytics/core/sdk.h"
#include "tests/analytics/test_support.h"
#include "utils/trace_log.h"

extern char** environ;

namespace analytics_core {
namespace {

using analytics_test::BinPath;
using analytics_test::Collector;
using analytics_test::DiagnosticCapture;
using analytics_test::ReadFile;
using analytics_test::ScopedEnv;
using analytics_test::TempDir;
using namespace std::chrono_literals;

// Collects trace lines while alive.
class TraceCapture {
public:
    TraceCapture() {
        Utils::SetTraceSink([this](const std::wstring& line) {
            std::lock_guard<std::mutex> lock(mutex_);
            lines_.push_back(line);
        });
    }
    ~TraceCapture() { Utils::SetTraceSink(nullptr); }
    bool contains(const std::wstring& text) {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& l : lines_)
            if (l.find(text) != std::wstring::npos)
                return true;
        return false;
    }

private:
    std::mutex mutex_;
    std::vector<std::wstring> lines_;
};

void EmitFunnel(int count) {
    for (int i = 0; i < count; ++i) {
        PropertiesNode p;
        p.setString("ov_name", "\xE5\xAE\x89\xE8\xA3\x85\xE4\xB8\xAD step\t" + std::to_string(i));
        p.setInteger("ov_index", i);
        p.setNumber("ov_fraction", i / 3.0);
        p.setDateTime("ov_when", 1700000000 + i, i % 1000);
        Sdk::emitTrack("installer_task", p);
    }
    Sdk::emitProfileAppend("ov_tags", "a\"b");
    Sdk::emitProfileIncrement("ov_count", 3);
}

class CoreDelivery : public ::testing::Test {
protected:
    void TearDown() override {
        Sdk::shutdown();
        EXPECT_TRUE(WaitForDetachedFlushJobs(20s));
        SetLastSendOk(false);
    }
};

TEST_F(CoreDelivery, RecordsArriveDecodedAndEqual) {
    Collector collector;
    ASSERT_TRUE(collector.ok()) << collector.stderrText();
    ScopedEnv ca("CURL_CA_BUNDLE", collector.cert().c_str());
    ASSERT_TRUE(Sdk::Init("", collector.url(), "a1", false));
    EmitFunnel(40);
    auto sent = Sdk::queuedRecords();
    ASSERT_EQ(sent.size(), 42u);
    EXPECT_TRUE(Sdk::flushAll());
    EXPECT_TRUE(LastSendOk());
    EXPECT_TRUE(Sdk::queuedRecords().empty());
    EXPECT_EQ(collector.waitForRecords(sent.size(), 10s), sent);
}

TEST_F(CoreDelivery, CertificateIsVerified) {
    Collector collector;
    Collector other;
    ASSERT_TRUE(collector.ok() && other.ok());
    HttpPostClient client;
    std::string body;
    ASSERT_TRUE(BuildBatchBody("[]", body));
    struct Case {
        const char* name;
        const char* bundle;  // null: libcurl's default bundle
        long status;
    } cases[] = {
        {"collector's own certificate", collector.cert().c_str(), 200},
        {"another collector's certificate", other.cert().c_str(), -1},
        {"default bundle", nullptr, -1},
    };
    for (const auto& c : cases) {
        ScopedEnv ca("CURL_CA_BUNDLE", c.bundle);
        HttpResponse r = client.post(collector.url(), body);
        EXPECT_EQ(r.status, c.status) << c.name << ": " << r.body;
        if (c.status == 200) {
            EXPECT_EQ(r.body, "ok\n");
            EXPECT_EQ(r.headers["Content-Type"], "text/plain");
        } else {
            EXPECT_FALSE(r.body.empty()) << c.name;  // the transfer error text
        }
    }
}

TEST_F(CoreDelivery, SlowCollectorHitsTheTransferLimit) {
    // The answer would come after 3.5 s; the client gives up at its 3 s limit.
    Collector collector({"--delay-ms", "3500"});
    ASSERT_TRUE(collector.ok());
    ScopedEnv ca("CURL_CA_BUNDLE", collector.cert().c_str());
    std::string body;
    ASSERT_TRUE(BuildBatchBody("[]", body));
    HttpResponse r = HttpPostClient().post(collector.url(), body);
    EXPECT_EQ(r.status, -1);
    EXPECT_NE(r.body.find("Timeout"), std::string::npos) << r.body;
}

TEST_F(CoreDelivery, FailedSendKeepsRecordsForLaterFlush) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
    } cases[] = {
        {"status 500 once", {"--fail-status", "500", "--fault-count", "1"}},
        {"connection closed once", {"--close", "--fault-count", "1"}},
    };
    for (const auto& c : cases) {
        Collector collector(c.args);
        ASSERT_TRUE(collector.ok());
        ScopedEnv ca("CURL_CA_BUNDLE", collector.cert().c_str());
        DiagnosticCapture capture;
        TraceCapture trace;
        ASSERT_TRUE(Sdk::Init("", collector.url(), "a1", false));
        EmitFunnel(5);
        auto queued = Sdk::queuedRecords();
        EXPECT_FALSE(Sdk::flushAll()) << c.name;
        EXPECT_FALSE(LastSendOk());
        EXPECT_EQ(Sdk::queuedRecords(), queued) << c.name;
        EXPECT_TRUE(capture.contains("Analytics SDK send failed: ")) << c.name;
        EXPECT_TRUE(trace.contains(L"[analytics] Analytics SDK send failed")) << c.name;
        EXPECT_TRUE(Sdk::flushAll()) << c.name;
        EXPECT_EQ(collector.waitForRecords(queued.size(), 10s), queued) << c.name;
        Sdk::shutdown();
    }
}

TEST_F(CoreDelivery, After500TheNextFlushNowIsDetached) {
    Collector collector({"--fail-status", "500"});
    ASSERT_TRUE(collector.ok());
    ScopedEnv ca("CURL_CA_BUNDLE", collector.cert().c_str());
    ASSERT_TRUE(Sdk::Init("", collector.url(), "a1", false));
    EmitFunnel(3);
    auto pending = std::make_shared<PendingCounter>(1);

    // After a success the job runs on the caller's thread: three failing attempts.
    SetLastSendOk(true);
    {
        TraceCapture trace;
        RequestFlush(true, pending);
        EXPECT_FALSE(trace.contains(L"Sending messages asynchronously"));
        EXPECT_EQ(DetachedFlushJobs(), 0);
    }
    EXPECT_FALSE(LastSendOk());
    EXPECT_EQ(pending->load(), 1);  // attempts exhausted: unchanged
    EXPECT_EQ(Sdk::queuedRecords().size(), 5u);

    TraceCapture trace;
    RequestFlush(true, pending);
    EXPECT_TRUE(trace.contains(L"[analytics] Sending messages asynchronously"));
    EXPECT_TRUE(WaitForDetachedFlushJobs(20s));
    EXPECT_EQ(Sdk::queuedRecords().size(), 5u);
    EXPECT_TRUE(collector.records().empty());
}

TEST_F(CoreDelivery, DeferredAndFlushNowJobs) {
    Collector collector;
    ASSERT_TRUE(collector.ok());
    ScopedEnv ca("CURL_CA_BUNDLE", collector.cert().c_str());
    ASSERT_TRUE(Sdk::Init("", collector.url(), "a1", false));
    auto pending = std::make_shared<PendingCounter>(0);
    SetLastSendOk(true);
    EmitFunnel(1);
    RequestFlush(false, pending);  // deferred: counter up, nothing sent
    EXPECT_EQ(pending->load(), 1);
    EXPECT_TRUE(collector.records().empty());
    RequestFlush(true, pending);  // on this thread, since the last send succeeded
    EXPECT_EQ(pending->load(), 0);
    EXPECT_EQ(collector.records().size(), 3u);
    // Counter at 0: a flush-now job has nothing to do.
    EmitFunnel(1);
    RequestFlush(true, pending);
    EXPECT_EQ(Sdk::queuedRecords().size(), 3u);
}

TEST_F(CoreDelivery, ConcurrentEmitsAndFlushesLoseNothing) {
    Collector collector;
    ASSERT_TRUE(collector.ok());
    ScopedEnv ca("CURL_CA_BUNDLE", collector.cert().c_str());
    ASSERT_TRUE(Sdk::Init("", collector.url(), "a1", false));
    constexpr int kThreads = 4, kEach = 100;
    std::atomic<bool> done{false};
    std::vector<std::thread> emitters;
    for (int t = 0; t < kThreads; ++t) {
        emitters.emplace_back([t] {
            for (int i = 0; i < kEach; ++i) {
                PropertiesNode p;
                p.setInteger("seq", t * 1000 + i);
                Sdk::emitTrack("concurrent", p);
                if (t == 0 && i == kEach / 2)
                    Sdk::emitSignup("u1");
            }
        });
    }
    std::thread flusher([&] {
        while (!done)
            Sdk::flushAll();
    });
    for (auto& e : emitters)
        e.join();
    done = true;
    flusher.join();
    EXPECT_TRUE(Sdk::flushAll());
    auto got = collector.waitForRecords(kThreads * kEach + 1, 20s);
    ASSERT_EQ(got.size(), size_t{kThreads * kEach + 1});
    std::set<std::string> seqs;
    for (const auto& r : got) {
        auto at = r.find("\"seq\":");
        if (at != std::string::npos)
            seqs.insert(r.substr(at, r.find_first_of(",}", at) - at));
    }
    EXPECT_EQ(seqs.size(), size_t{kThreads * kEach});
}

TEST_F(CoreDelivery, StagingFileCarriesRecordsToTheNextProcess) {
    TempDir dir;
    std::string staging = dir.file("staging.jsonl");
    std::string emitter = BinPath("analytics_stage_emitter");
    ASSERT_FALSE(emitter.empty());
    std::vector<std::string> args = {emitter, staging, "35"};
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    ASSERT_EQ(posix_spawn(&pid, emitter.c_str(), nullptr, nullptr, argv.data(), environ), 0);
    int status = -1;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    auto staged = analytics_test::ReadLines(staging);
    ASSERT_EQ(staged.size(), 35u);

    Collector collector;
    ASSERT_TRUE(collector.ok());
    ScopedEnv ca("CURL_CA_BUNDLE", collector.cert().c_str());
    ASSERT_TRUE(Sdk::Init(staging, collector.url(), "a2", false));
    Sdk::emitTrack("this_run", PropertiesNode());
    EXPECT_TRUE(Sdk::flushAll());
    auto got = collector.waitForRecords(36, 10s);
    ASSERT_EQ(got.size(), 36u);
    EXPECT_EQ(std::vector<std::string>(got.begin(), got.begin() + 35), staged);
    EXPECT_NE(got[35].find("\"this_run\""), std::string::npos);
    EXPECT_EQ(ReadFile(staging), "");
    Sdk::shutdown();
    EXPECT_EQ(ReadFile(staging), "");
}

TEST_F(CoreDelivery, ShutdownWaitsForRunningDetachedFlush) {
    // The collector answers after 1.5 s (within the 3 s transfer limit). Shutting down while
    // the detached job is on the wire must wait for it rather than free the queue under it.
    Collector collector({"--delay-ms", "1500"});
    ASSERT_TRUE(collector.ok());
    ScopedEnv ca("CURL_CA_BUNDLE", collector.cert().c_str());
    TempDir dir;
    std::string staging = dir.file("staging.jsonl");
    ASSERT_TRUE(Sdk::Init(staging, collector.url(), "a1", false));
    EmitFunnel(40);
    auto queued = Sdk::queuedRecords();
    auto pending = std::make_shared<PendingCounter>(1);
    SetLastSendOk(false);
    RequestFlush(true, pending);
    // Wait until the detached job has taken its first batch off the queue (it is then on
    // the wire, holding the flush mutex).
    auto deadline = std::chrono::steady_clock::now() + 10s;
    while (Sdk::queuedRecords().size() == queued.size() &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
    ASSERT_LT(Sdk::queuedRecords().size(), queued.size());
    Sdk::shutdown();
    // Shutdown returned only after the job's transfers ended: everything was delivered and
    // nothing was left for the staging file.
    EXPECT_EQ(collector.records(), queued);
    EXPECT_EQ(ReadFile(staging), "");
    EXPECT_EQ(pending->load(), 0);
}

}  // namespace
}  // namespace analytics_core
