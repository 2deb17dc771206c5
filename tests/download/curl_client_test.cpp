// CurlClient against a real glyphora-distserver: the 1 MiB boundary, size probes with a bad
// status, resumption, transfer failures, abort, replacement of the target and 64-bit offsets.

#include "download/curl_client.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include "download/task_report.h"
#include "tests/download/test_support.h"
#include "utils/md5.h"

namespace {

using namespace DownloadTest;
using namespace std::chrono_literals;

struct TaskRecord {
    std::wstring event, reason, ab;
    double elapsed;
};

// Installs a reporter that records the task events for the life of the object.
class TaskRecorder {
public:
    TaskRecorder() {
        Download::SetTaskReporter([this](const std::wstring& event, const std::wstring& reason,
                                         double elapsed, const std::wstring& ab) {
            std::lock_guard<std::mutex> lock(mutex_);
            records_.push_back({event, reason, ab, elapsed});
        });
    }
    ~TaskRecorder() { Download::SetTaskReporter({}); }
    std::vector<TaskRecord> Records() {
        std::lock_guard<std::mutex> lock(mutex_);
        return records_;
    }

private:
    std::mutex mutex_;
    std::vector<TaskRecord> records_;
};

struct ProgressLog {
    std::mutex mutex;
    std::vector<double> percents;
    static void Receive(void* owner, double, double percent) {
        auto* self = static_cast<ProgressLog*>(owner);
        std::lock_guard<std::mutex> lock(self->mutex);
        self->percents.push_back(percent);
    }
};

TEST(CurlClient, LengthBoundaryAtOneMebibyte) {
    struct Case {
        uint64_t size;
        int expected;
    } cases[] = {{1048576, 0}, {1048575, CurlClient::kLengthMissing}, {255, -998}};
    for (const Case& c : cases) {
        SCOPED_TRACE("size " + std::to_string(c.size));
        DistServer server({"--size", std::to_string(c.size)});
        ASSERT_TRUE(server.Ok());
        TempDir dir;
        ProgressLog progress;
        FakePacing fake;
        CurlClient client(Wide(server.Url("/software/259")), dir.WFile("pkg.bin"), &progress,
                          &ProgressLog::Receive, fake.pacing);
        EXPECT_EQ(client.Start(), c.expected);
        if (c.expected == 0) {
            EXPECT_EQ(Utils::GetFileMd5(dir.File("pkg.bin")), server.Md5());
            EXPECT_EQ(client.FileDigest(), server.Md5()) << "hashed while written";
            EXPECT_FALSE(Exists(dir.File("pkg.bin.part")));
            EXPECT_EQ(client.TotalLength(), double(c.size));
            // The real URL is the final address with the digest segment.
            EXPECT_EQ(Utils::GetUrlMd5(client.RealUrl()), server.Md5());
        } else {
            EXPECT_FALSE(Exists(dir.File("pkg.bin")));
        }
    }
}

TEST(CurlClient, BadStatusOnSizeProbeIsReportedPerLengthQuery) {
    DistServer server({"--size", "2000000"});
    ASSERT_TRUE(server.Ok());
    TaskRecorder tasks;
    TempDir dir;
    CurlClient client(Wide(server.Url("/fault/status=404/software/259")), dir.WFile("pkg.bin"),
                      nullptr, nullptr);
    EXPECT_EQ(client.Start(), CurlClient::kLengthMissing);
    auto records = tasks.Records();
    ASSERT_EQ(records.size(), 2u) << "one report per length query";
    for (const auto& r : records) {
        EXPECT_EQ(r.event, L"下载失败原因");
        EXPECT_EQ(r.reason, L"1.获取文件大小的状态码为=404；");
        EXPECT_EQ(r.ab, L"IN");
        EXPECT_EQ(r.elapsed, 0);
    }
    // The next attempt probes again (the length is still unknown) and reports again.
    EXPECT_EQ(client.Start(), CurlClient::kLengthMissing);
    EXPECT_EQ(tasks.Records().size(), 4u);
    EXPECT_FALSE(Exists(dir.File("pkg.bin")));
}

TEST(CurlClient, ResumesFromPartialFileAndCountsItsBytes) {
    const uint64_t size = 8 * 1048576;
    DistServer server({"--size", std::to_string(size), "--rate", "4000000"});
    ASSERT_TRUE(server.Ok());
    TempDir dir;
    ASSERT_TRUE(WriteFile(dir.File("pkg.bin.part"), PatternBytes(0, 3000000)));
    ProgressLog progress;
    FakePacing fake;
    CurlClient client(Wide(server.Url("/software/259")), dir.WFile("pkg.bin"), &progress,
                      &ProgressLog::Receive, fake.pacing);
    ASSERT_EQ(client.Start(), 0);
    EXPECT_EQ(client.ResumeOffset(), 3000000);
    EXPECT_EQ(Utils::GetFileMd5(dir.File("pkg.bin")), server.Md5());
    EXPECT_EQ(client.FileDigest(), server.Md5()) << "the digest covers the resumed bytes";

    bool resumed = false;
    for (const auto& line : server.Log()) {
        if (line.rfind("GET /pkg/", 0) != 0)
            continue;
        EXPECT_NE(line.find("bytes=3000000-"), std::string::npos) << line;
        resumed = true;
    }
    EXPECT_TRUE(resumed);
    std::lock_guard<std::mutex> lock(progress.mutex);
    ASSERT_FALSE(progress.percents.empty());
    EXPECT_GE(progress.percents.front(), 3000000.0 / double(size) * 100.0)
        << "the first report already includes the resumed bytes";
    for (double p : progress.percents)
        EXPECT_LE(p, 100.0);
}

// The digest computed while the file is written must describe the file on disk, whatever
// the partial file held and however many attempts it took, and is only kept when the real
// URL carries a digest to compare it with.
TEST(CurlClient, StreamedDigestDescribesTheFileOnDisk) {
    struct Case {
        const char* name;
        std::string path;
        std::string prefill;  // partial file before the first attempt
        int64_t truncateTo;   // partial file cut to this size after the first attempt
        int attempts;         // Start calls until the result is 0
        bool matchesServer;   // the finished file is the server's package
        bool computed;        // a digest is offered at all
    } cases[] = {
        {"fresh", "/software/259", "", -1, 1, true, true},
        {"resumed after correct bytes", "/software/259", PatternBytes(0, 700001), -1, 1, true,
         true},
        // Different bytes that the client resumes after: the digest must be that of the
        // file written, which then fails the owner's comparison, not the server's.
        {"resumed after wrong bytes", "/software/259", std::string(700001, 'x'), -1, 1, false,
         true},
        {"connection cut: four attempts continue one stream", "/fault/cut=500000/software/259", "",
         -1, 4, true, true},
        {"partial file shortened between attempts: its bytes are read back",
         "/fault/cut=500000/software/259", "", 123457, 5, true, true},
        {"wrong digest in the URL: still the file's own", "/fault/digest=wrong/software/259", "",
         -1, 1, true, true},
        {"no digest in the URL: not computed", "/fault/digest=none/software/259", "", -1, 1, true,
         false},
    };
    DistServer server({"--size", "2000000"});
    ASSERT_TRUE(server.Ok());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        if (!c.prefill.empty()) {
            ASSERT_TRUE(WriteFile(dir.File("pkg.bin.part"), c.prefill));
        }
        CurlClient client(Wide(server.Url(c.path)), dir.WFile("pkg.bin"), nullptr, nullptr);
        int attempts = 1;
        int result = client.Start();
        if (c.truncateTo >= 0) {
            ASSERT_EQ(result, 18);
            std::filesystem::resize_file(dir.File("pkg.bin.part"), uintmax_t(c.truncateTo));
        }
        while (result != 0 && attempts < 10) {
            EXPECT_EQ(client.FileDigest(), "") << "nothing finished yet";
            result = client.Start();
            ++attempts;
        }
        ASSERT_EQ(result, 0);
        EXPECT_EQ(attempts, c.attempts);
        const std::string onDisk = Utils::GetFileMd5(dir.File("pkg.bin"));
        EXPECT_EQ(onDisk == server.Md5(), c.matchesServer);
        EXPECT_EQ(client.FileDigest(), c.computed ? onDisk : "");
    }
}

TEST(CurlClient, TransferFailuresKeepThePartialFile) {
    struct Case {
        const char* name;
        std::string path;
        size_t prefill;
        int expected;
    } cases[] = {
        {"status 500 on GET", "/fault/get-status=500/software/259", 0, 22},
        {"ranges refused", "/fault/no-ranges=1/software/259", 1000, 33},
        {"already complete (416)", "/software/259", 2000000, 22},
        {"connection cut", "/fault/cut=500000/software/259", 0, 18},
    };
    DistServer server({"--size", "2000000"});
    ASSERT_TRUE(server.Ok());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        if (c.prefill) {
            ASSERT_TRUE(WriteFile(dir.File("pkg.bin.part"), PatternBytes(0, c.prefill)));
        }
        CurlClient client(Wide(server.Url(c.path)), dir.WFile("pkg.bin"), nullptr, nullptr);
        EXPECT_EQ(client.Start(), c.expected);
        EXPECT_FALSE(Exists(dir.File("pkg.bin")));
        EXPECT_TRUE(Exists(dir.File("pkg.bin.part")));
        if (c.expected == 18) {
            EXPECT_EQ(FileSize(dir.File("pkg.bin.part")), 500000);
            // The next attempt resumes after the bytes that arrived.
            EXPECT_EQ(client.Start(), 18);
            EXPECT_EQ(FileSize(dir.File("pkg.bin.part")), 1000000);
        }
    }
}

TEST(CurlClient, AbortStopsARunningTransferWithResult42) {
    DistServer server({"--size", "4000000", "--stall", "1500000", "--stall-seconds", "60"});
    ASSERT_TRUE(server.Ok());
    TempDir dir;
    CurlClient client(Wide(server.Url("/software/259")), dir.WFile("pkg.bin"), nullptr, nullptr);
    auto result = std::async(std::launch::async, [&] { return client.Start(); });
    // Wait until the stall: the partial file holds most of what was sent before it (the
    // rest sits in the stream's buffer).
    for (int i = 0; i < 200 && FileSize(dir.File("pkg.bin.part")) < 1400000; ++i) {
        std::this_thread::sleep_for(50ms);
    }
    const int64_t held = FileSize(dir.File("pkg.bin.part"));
    const auto aborted = std::chrono::steady_clock::now();
    client.Abort();
    EXPECT_GE(held, 1400000);
    ASSERT_EQ(result.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(result.get(), 42);
    EXPECT_LT(std::chrono::steady_clock::now() - aborted, 3s);
    EXPECT_FALSE(Exists(dir.File("pkg.bin")));
}

TEST(CurlClient, SuccessReplacesAnExistingTargetAndFailedMoveIsReported) {
    DistServer server({"--size", "1500000"});
    ASSERT_TRUE(server.Ok());
    TempDir dir;
    ASSERT_TRUE(WriteFile(dir.File("pkg.bin"), "old contents"));
    {
        CurlClient client(Wide(server.Url("/software/259")), dir.WFile("pkg.bin"), nullptr,
                          nullptr);
        EXPECT_EQ(client.Start(), 0);
        EXPECT_EQ(Utils::GetFileMd5(dir.File("pkg.bin")), server.Md5());
    }
    // A target that cannot be replaced (a non-empty folder) is a failure, not a success.
    std::filesystem::create_directories(dir.File("busy/inside"));
    CurlClient client(Wide(server.Url("/software/259")), dir.WFile("busy"), nullptr, nullptr);
    EXPECT_EQ(client.Start(), CurlClient::kRenameFailed);
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("busy/inside")));
    EXPECT_EQ(FileSize(dir.File("busy.part")), 1500000) << "the downloaded bytes are kept";
}

TEST(CurlClient, ResumeOffsetsBeyond2GiB) {
    // A sparse partial file of more than 2^31 bytes: only the tail travels.
    const uint64_t held = 2147483648ull + 1000;
    const uint64_t size = held + 1048576;
    DistServer server(
        {"--size", std::to_string(size), "--md5", "0123456789abcdef0123456789abcdef"});
    ASSERT_TRUE(server.Ok());
    TempDir dir;
    {
        std::ofstream part(dir.File("big.part"), std::ios::binary);
        part.seekp(std::streamoff(held - 1));
        part.put('\0');
        ASSERT_TRUE(bool(part));
    }
    ProgressLog progress;
    FakePacing fake;
    CurlClient client(Wide(server.Url("/software/259")), dir.WFile("big"), &progress,
                      &ProgressLog::Receive, fake.pacing);
    ASSERT_EQ(client.Start(), 0);
    EXPECT_EQ(client.ResumeOffset(), int64_t(held));
    EXPECT_EQ(FileSize(dir.File("big")), int64_t(size));
    std::ifstream in(dir.File("big"), std::ios::binary);
    in.seekg(std::streamoff(held));
    std::string tail(1048576, '\0');
    in.read(tail.data(), std::streamsize(tail.size()));
    EXPECT_TRUE(tail == PatternBytes(held, tail.size())) << "tail bytes differ";
    bool ranged = false;
    for (const auto& line : server.Log()) {
        if (line.find("bytes=2147484648-") != std::string::npos)
            ranged = true;
    }
    EXPECT_TRUE(ranged);
    std::lock_guard<std::mutex> lock(progress.mutex);
    if (!progress.percents.empty()) {
        EXPECT_GT(progress.percents.front(), 99.0);
    }
}

}  // namespace
