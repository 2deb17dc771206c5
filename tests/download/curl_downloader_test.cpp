// CCurlDownloader and the downloader factory: exact event sequences, retry budgets and
// pauses, digest checks with the owner's restart, progress, empty path and destruction.

#include "download/curl_downloader.h"

#include <gtest/gtest.h>

#include <thread>

#include "download/mt_curl_downloader.h"
#include "download/win_downloader.h"
#include "tests/download/test_support.h"
#include "utils/md5.h"

namespace {

using namespace DownloadTest;
using namespace std::chrono_literals;

const std::wstring kMd5Mismatch = L"curl文件md5校验失败";
const std::wstring kNoUrlMd5 = L"curl获取url-md5失败";
// A wrong digest twice: reason and retry, then reason and fail.
const std::vector<Expected> kMismatchRestartMismatch = {
    {1001, 1, L""}, {1006, 0, kMd5Mismatch}, {1005, 0, L"LibCurl"},
    {1001, 1, L""}, {1006, 0, kMd5Mismatch}, {1004, 0, L"LibCurl"}};

TEST(CurlDownloader, EventSequences) {
    struct Case {
        const char* name;
        std::string path;
        std::vector<Expected> events;
        std::vector<int64_t> pauses;  // retry pauses requested, in ms
        bool fileMatches;
    } cases[] = {
        {"healthy", "/software/259", {{1001, 1, L""}, {1003, 0, L"LibCurl"}}, {}, true},
        {"no digest segment",
         "/fault/digest=none/software/259",
         {{1001, 1, L""}, {1006, 0, kNoUrlMd5}, {1003, 0, L"LibCurl"}},
         {},
         true},
        {"wrong digest, restart, wrong again",
         "/fault/digest=wrong/software/259",
         kMismatchRestartMismatch,
         {},
         true},
        {"upper-case digest is a mismatch",
         "/fault/digest=upper/software/259",
         kMismatchRestartMismatch,
         {},
         true},
        {"status 500: six attempts, value 22",
         "/fault/get-status=500/software/259",
         {{1001, 1, L""}, {1004, 22, L"LibCurl"}},
         {500, 500, 500, 500, 500},
         false},
        {"status 404 on every request: -998 after six attempts",
         "/fault/status=404/software/259",
         {{1001, 1, L""}, {1004, -998, L"LibCurl"}},
         {500, 500, 500, 500, 500},
         false},
        {"connection cut every 400000 bytes: resumed within the budget",
         "/fault/cut=400000/software/259",
         {{1001, 1, L""}, {1003, 0, L"LibCurl"}},
         {500, 500, 500, 500, 500},  // six attempts carry 2400000 bytes
         true},
        {"cut every 100000 bytes: twelve attempts of result 18, then fail",
         "/fault/cut=100000/software/259",
         {{1001, 1, L""}, {1004, 18, L"LibCurl"}},
         std::vector<int64_t>(11, 500),
         false},
    };
    DistServer server({"--size", "2200000"});
    ASSERT_TRUE(server.Ok());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        FakePacing fake;
        Recorder recorder;
        TraceCapture traces;
        ASSERT_NO_FATAL_FAILURE(RunWithRestart<CCurlDownloader>(recorder, Wide(server.Url(c.path)),
                                                                dir.WFile("pkg.bin"), fake, 60s));
        ExpectSequence(recorder.Events(), c.events);
        EXPECT_EQ(fake.Pauses(), c.pauses);
        EXPECT_EQ(Utils::GetFileMd5(dir.File("pkg.bin")) == server.Md5(), c.fileMatches);
        // Every comparison above used the digest computed during the transfer (resumed
        // attempts and restarts included), never a second read of the file.
        EXPECT_EQ(traces.Count(L"read back from the file"), 0);
    }
}

TEST(CurlDownloader, ProgressIsAFractionOfTheWholeFile) {
    DistServer server({"--size", "6000000", "--rate", "6000000"});
    ASSERT_TRUE(server.Ok());
    TempDir dir;
    FakePacing fake;
    Recorder recorder;
    CCurlDownloader downloader(recorder.Callback(), Wide(server.Url("/software/259")),
                               dir.WFile("pkg.bin"), fake.pacing);
    downloader.Start();
    ASSERT_TRUE(recorder.WaitFinal());
    std::vector<double> fractions;
    for (const auto& e : recorder.Events()) {
        if (e.code == DL_CODE_PROGRESS) {
            fractions.push_back(e.value);
            EXPECT_EQ(e.text, L"");
        }
    }
    ASSERT_GE(fractions.size(), 3u) << "a one-second transfer with a clock that ticks per call";
    for (size_t i = 0; i < fractions.size(); ++i) {
        EXPECT_GT(fractions[i], 0.0);
        EXPECT_LE(fractions[i], 1.0);
        if (i > 0) {
            EXPECT_GE(fractions[i], fractions[i - 1]);
        }
    }
    EXPECT_EQ(recorder.Codes(), (std::vector<int32_t>{1001, 1003}));
}

TEST(CurlDownloader, EmptyPathFailsAtOnce) {
    Recorder recorder;
    CCurlDownloader downloader(recorder.Callback(), L"http://127.0.0.1:9/software/259", L"");
    downloader.Start();
    ASSERT_TRUE(recorder.WaitFinal(10s));
    ExpectSequence(recorder.Events(), {{1001, 1, L""}, {1004, 1, L""}});
}

TEST(CurlDownloader, DestructionStopsAStalledTransferPromptly) {
    DistServer server({"--size", "4000000", "--stall", "1000000", "--stall-seconds", "120"});
    ASSERT_TRUE(server.Ok());
    TempDir dir;
    Recorder recorder;
    auto downloader = std::make_unique<CCurlDownloader>(
        recorder.Callback(), Wide(server.Url("/software/259")), dir.WFile("pkg.bin"));
    downloader->Start();
    ASSERT_TRUE(recorder.WaitFor(DL_CODE_START));
    for (int i = 0; i < 200 && FileSize(dir.File("pkg.bin.part")) < 900000; ++i) {
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_GE(FileSize(dir.File("pkg.bin.part")), 900000);
    ExpectPromptDestruction(downloader);
    EXPECT_EQ(recorder.Codes(), (std::vector<int32_t>{1001})) << "no event after destruction";
    EXPECT_FALSE(Exists(dir.File("pkg.bin.part"))) << "the client removes its partial file";
    EXPECT_FALSE(Exists(dir.File("pkg.bin")));
}

TEST(CurlDownloader, StaleAndRestartedPartialFiles) {
    DistServer server({"--size", "1500000"});
    ASSERT_TRUE(server.Ok());
    TempDir dir;
    // A partial file of an earlier run holds other bytes: it is discarded at construction.
    ASSERT_TRUE(WriteFile(dir.File("pkg.bin.part"), std::string(700000, 'x')));
    Recorder recorder;
    FakePacing fake;
    CCurlDownloader downloader(recorder.Callback(), Wide(server.Url("/software/259")),
                               dir.WFile("pkg.bin"), fake.pacing);
    EXPECT_FALSE(Exists(dir.File("pkg.bin.part")));
    downloader.Start();
    ASSERT_TRUE(recorder.WaitFinal());
    EXPECT_EQ(Utils::GetFileMd5(dir.File("pkg.bin")), server.Md5());
    // Start again from the owner's thread: a new attempt that reuses the probe.
    downloader.Start();
    ASSERT_TRUE(recorder.WaitFinal(60s, 2));
    EXPECT_EQ(recorder.Codes(), (std::vector<int32_t>{1001, 1003, 1001, 1003}));
    int heads = 0;
    for (const auto& line : server.Log())
        heads += line.rfind("HEAD ", 0) == 0;
    EXPECT_EQ(heads, 3) << "one probe (a redirect chain of three addresses) for both attempts";
}

TEST(DownloaderFactory, TypeSelectsTheVariant) {
    struct Case {
        int32_t type;
        const char* variant;
    } cases[] = {{0, "curl"}, {1, "curl"}, {4, "curl"}, {-1, "curl"}, {2, "win"}, {3, "mt"}};
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        auto downloader = CreateDownloader(c.type, {}, L"http://127.0.0.1:9/", dir.WFile("x"));
        const char* variant = dynamic_cast<CCurlDownloader*>(downloader.get())     ? "curl"
                              : dynamic_cast<CWinDownloader*>(downloader.get())    ? "win"
                              : dynamic_cast<CMTCurlDownloader*>(downloader.get()) ? "mt"
                                                                                   : "none";
        EXPECT_STREQ(variant, c.variant);
    }
}

}  // namespace
