// CMTCurlDownloader: the split, the range requests, event sequences with the owner's
// restart, resumption of complete parts, servers that misanswer ranges, the write callback's
// range bound, TLS verification and destruction while parts transfer.

#include "download/mt_curl_downloader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "tests/download/test_support.h"
#include "utils/md5.h"

namespace {

using namespace DownloadTest;
using namespace std::chrono_literals;

// The Range headers of the GET requests the server saw, in order.
std::vector<std::string> Ranges(const DistServer& server) {
    std::vector<std::string> ranges;
    for (const auto& line : server.Log()) {
        if (line.rfind("GET ", 0) != 0)
            continue;
        const size_t at = line.find(" bytes=");
        ranges.push_back(at == std::string::npos ? "" : line.substr(at + 7));
    }
    std::sort(ranges.begin(), ranges.end());
    return ranges;
}

const std::wstring kMismatch = L"mtcurl文件md5校验失败";
const std::wstring kNoDigest = L"mtcurl获取url-md5失败";
// A wrong digest twice: reason and retry, then reason and fail.
const std::vector<Expected> kMismatchRestartMismatch = {
    {1001, 1, L""}, {1006, 0, kMismatch}, {1005, 0, L"LibCurl"},
    {1001, 1, L""}, {1006, 0, kMismatch}, {1004, 0, L"LibCurl"}};

TEST(MtCurlDownloader, PlanSplitsAt20MiB) {
    struct Case {
        int64_t length;
        std::vector<std::pair<int64_t, int64_t>> parts;  // offset, size
    } cases[] = {
        {256, {{0, 256}}},
        {20971519, {{0, 20971519}}},
        {20971520, {{0, 10485760}, {10485760, 10485760}}},
        {20971521, {{0, 10485760}, {10485760, 10485761}}},
        {2147483647, {{0, 1073741823}, {1073741823, 1073741824}}},
        {5368709121, {{0, 2684354560}, {2684354560, 2684354561}}},  // 5 GiB + 1
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        const auto plan = CMTCurlDownloader::PlanParts(c.length);
        ASSERT_EQ(plan.size(), c.parts.size());
        for (size_t i = 0; i < plan.size(); ++i) {
            EXPECT_EQ(plan[i].offset, c.parts[i].first);
            EXPECT_EQ(plan[i].size, c.parts[i].second);
        }
    }
}

TEST(MtCurlDownloader, RangesRequestedForOneAndTwoParts) {
    struct Case {
        uint64_t size;
        std::vector<std::string> ranges;
    } cases[] = {
        {20971519, {"0-20971518"}},
        {20971520, {"0-10485759", "10485760-20971519"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        DistServer server({"--size", std::to_string(c.size)});
        ASSERT_TRUE(server.Ok());
        TempDir dir;
        FakePacing fake;
        Recorder recorder;
        CMTCurlDownloader downloader(recorder.Callback(), Wide(server.Url("/software/259")),
                                     dir.WFile("pkg.bin"), fake.pacing);
        downloader.Start();
        ASSERT_TRUE(recorder.WaitFinal());
        ExpectSequence(recorder.Events(), {{1001, 1, L""}, {1003, 0, L"LibCurl"}});
        EXPECT_EQ(Ranges(server), c.ranges);
        EXPECT_EQ(Utils::GetFileMd5(dir.File("pkg.bin")), server.Md5());
        EXPECT_FALSE(Exists(dir.File("pkg.bin_0")));
        EXPECT_FALSE(Exists(dir.File("pkg.bin_1")));
        EXPECT_EQ(downloader.Length(), int64_t(c.size));

        // Progress: fractions in steps of at least one point, never above 1.
        double last = 0;
        for (const auto& e : recorder.Events()) {
            if (e.code != DL_CODE_PROGRESS)
                continue;
            EXPECT_GE(e.value - last, 0.01 - 1e-12);
            EXPECT_LE(e.value, 1.0);
            last = e.value;
        }
    }
}

TEST(MtCurlDownloader, EventSequences) {
    struct Case {
        const char* name;
        std::string size;
        std::string path;
        std::vector<Expected> events;
        bool fileMatches;
    } cases[] = {
        {"no digest segment: reason, then success",
         "3000000",
         "/fault/digest=none/software/259",
         {{1001, 1, L""}, {1006, 0, kNoDigest}, {1003, 0, L"LibCurl"}},
         true},
        {"wrong digest: reason, retry; again: reason, fail", "3000000",
         "/fault/digest=wrong/software/259", kMismatchRestartMismatch, false},
        {"upper-case digest is a mismatch", "3000000", "/fault/digest=upper/software/259",
         kMismatchRestartMismatch, false},
        {"255-byte source: fail without restart",
         "255",
         "/software/259",
         {{1001, 1, L""}, {1004, 0, L"LibCurl"}},
         false},
        {"404 on the probe: fail without restart",
         "3000000",
         "/fault/status=404/software/259",
         {{1001, 1, L""}, {1004, 0, L"LibCurl"}},
         false},
        {"parts answered 500: retry, then fail, with the part's status",
         "3000000",
         "/fault/get-status=500/software/259",
         {{1001, 1, L""}, {1005, 22, L"LibCurl"}, {1001, 1, L""}, {1004, 22, L"LibCurl"}},
         false},
        // The excess is cut off (write error 23); the part's retries then ask for an empty
        // range (416, result 22). The complete part file survives into the restart, which
        // merges it without a request.
        {"server sends more than the range",
         "3000000",
         "/fault/overrun=100/software/259",
         {{1001, 1, L""}, {1005, 22, L"LibCurl"}, {1001, 1, L""}, {1003, 0, L"LibCurl"}},
         true},
        // Part 0 receives the whole file from byte 0 and keeps its range (then as above);
        // part 1 must not append the file's first bytes after its offset: result 33.
        {"ranges refused, two parts: the later part fails",
         "21000000",
         "/fault/no-ranges=1/software/259",
         {{1001, 1, L""}, {1005, 22, L"LibCurl"}, {1001, 1, L""}, {1004, 33, L"LibCurl"}},
         false},
        {"ranges refused, one part: the whole file is the range",
         "3000000",
         "/fault/no-ranges=1/software/259",
         {{1001, 1, L""}, {1003, 0, L"LibCurl"}},
         true},
        {"connections cut mid-way: recovered within the part budgets",
         "21000000",
         "/fault/cut=3000000/software/259",
         {{1001, 1, L""}, {1003, 0, L"LibCurl"}},
         true},
        // The digest of two merged parts: part 0 hashed as it arrived, part 1 as it is
        // copied behind it; a wrong URL digest is still caught.
        {"wrong digest, two parts: reason, retry; again: reason, fail", "21000000",
         "/fault/digest=wrong/software/259", kMismatchRestartMismatch, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DistServer server({"--size", c.size});
        ASSERT_TRUE(server.Ok());
        TempDir dir;
        FakePacing fake;
        Recorder recorder;
        TraceCapture traces;
        ASSERT_NO_FATAL_FAILURE(RunWithRestart<CMTCurlDownloader>(
            recorder, Wide(server.Url(c.path)), dir.WFile("pkg.bin"), fake, 90s));
        ExpectSequence(recorder.Events(), c.events);
        EXPECT_EQ(Exists(dir.File("pkg.bin")), c.fileMatches);
        if (c.fileMatches) {
            EXPECT_EQ(Utils::GetFileMd5(dir.File("pkg.bin")), server.Md5());
        }
        // The digest came from the transfer and the merge, never from reading the file.
        EXPECT_EQ(traces.Count(L"read back from the file"), 0);
    }
}

// Downloads `path` of a 21000000-byte server whose first attempt fails with status 22 after
// progress, so the part files survive into the owner's restart, which succeeds. Expects those
// events, the server's file and a digest computed without reading the file back; `ranges`
// receives the Range headers the server saw.
void RunFailedThenRestarted(const std::string& path, std::vector<std::string>& ranges) {
    DistServer server({"--size", "21000000"});
    ASSERT_TRUE(server.Ok());
    TempDir dir;
    FakePacing fake;
    Recorder recorder;
    TraceCapture traces;
    ASSERT_NO_FATAL_FAILURE(RunWithRestart<CMTCurlDownloader>(recorder, Wide(server.Url(path)),
                                                              dir.WFile("pkg.bin"), fake, 90s));
    ExpectSequence(recorder.Events(),
                   {{1001, 1, L""}, {1005, 22, L"LibCurl"}, {1001, 1, L""}, {1003, 0, L"LibCurl"}});
    EXPECT_EQ(Utils::GetFileMd5(dir.File("pkg.bin")), server.Md5());
    EXPECT_EQ(traces.Count(L"read back from the file"), 0);
    ranges = Ranges(server);
}

TEST(MtCurlDownloader, CompletePartIsKeptAcrossTheRestartAndNotFetchedAgain) {
    // Part 1 (from byte 10500000) fails all seven attempts; part 0 completes and progress is
    // reported, so the part files survive into the restart. Part 0 was hashed as it arrived
    // in the first attempt; that stream is continued.
    std::vector<std::string> ranges;
    ASSERT_NO_FATAL_FAILURE(
        RunFailedThenRestarted("/fault/fail-from=10500000,fail-times=7/software/259", ranges));
    int firstPart = 0, secondPart = 0;
    for (const auto& range : ranges) {
        firstPart += range == "0-10499999";
        secondPart += range == "10500000-20999999";
    }
    EXPECT_EQ(firstPart, 1) << "the complete part gets no new request";
    EXPECT_EQ(secondPart, 8) << "seven failed attempts, then one on the restart";
}

TEST(MtCurlDownloader, PartResumedOnTheRestartIsVerifiedWithItsEarlierBytes) {
    // Part 0's first response is cut after 4000000 bytes and every request from there on
    // (part 0's seven retries, part 1's seven attempts) is answered 500: the attempt fails
    // after progress was reported, so the part files survive into the restart, which resumes
    // part 0 after its 4000000 bytes. Those bytes are only on disk; the digest must include
    // them.
    std::vector<std::string> ranges;
    ASSERT_NO_FATAL_FAILURE(RunFailedThenRestarted(
        "/fault/cut=4000000,fail-from=4000000,fail-times=14/software/259", ranges));
    int resumed = 0;
    for (const auto& range : ranges)
        resumed += range == "4000000-10499999";
    EXPECT_EQ(resumed, 8) << "seven refused retries, then the restart's request";
}

TEST(MtCurlDownloader, WriteCallbackNeverPassesTheRangesLastByte) {
    TempDir dir;
    struct Case {
        int64_t next, last;
        size_t block;
        size_t written;  // returned and appended
    } cases[] = {
        {0, 99, 50, 50},    // inside the range
        {0, 99, 100, 100},  // ends exactly on the last byte
        {0, 99, 99, 99},    // ends one byte before it ...
        {99, 99, 1, 1},     // ... and the next block carries that byte
        {50, 99, 80, 50},   // runs past the range: cut, so the transfer fails
        {100, 99, 10, 0},   // range already complete
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.next) + ".." + std::to_string(c.last) + " block " +
                     std::to_string(c.block));
        DownloadPartNode part;
        part.partPath = dir.File("part");
        std::remove(part.partPath.c_str());
        part.file.reset(std::fopen(part.partPath.c_str(), "ab+"));
        ASSERT_TRUE(part.file);
        part.nextByte = c.next;
        part.lastByte = c.last;
        part.rangeChecked = true;
        std::string block(c.block, 'b');
        EXPECT_EQ(CMTCurlDownloader::writePartData(block.data(), 1, block.size(), &part),
                  c.written);
        EXPECT_EQ(part.nextByte, c.next + int64_t(c.written));
        EXPECT_EQ(part.downloaded.load(), int64_t(c.written));
        part.file.reset();
        EXPECT_EQ(FileSize(part.partPath), int64_t(c.written));
    }
    DownloadPartNode closed;  // no open file: refused
    char byte = 'x';
    EXPECT_EQ(CMTCurlDownloader::writePartData(&byte, 1, 1, &closed), 0u);
}

TEST(MtCurlDownloader, VerifiesTlsCertificates) {
    DistServer server({"--size", "3000000", "--https"});
    ASSERT_TRUE(server.Ok());
    ASSERT_FALSE(server.Certificate().empty());
    struct Case {
        bool trusted;
        std::vector<int32_t> codes;
    } cases[] = {{false, {1001, 1004}}, {true, {1001, 1003}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.trusted ? "trusted through CURL_CA_BUNDLE" : "untrusted certificate");
        if (c.trusted) {
            setenv("CURL_CA_BUNDLE", server.Certificate().c_str(), 1);
        } else {
            // An empty trust store, so the test does not depend on the machine's.
            setenv("CURL_CA_BUNDLE", "/dev/null", 1);
        }
        TempDir dir;
        FakePacing fake;
        Recorder recorder;
        CMTCurlDownloader downloader(recorder.Callback(), Wide(server.Url("/software/259")),
                                     dir.WFile("pkg.bin"), fake.pacing);
        downloader.Start();
        ASSERT_TRUE(recorder.WaitFinal());
        EXPECT_EQ(recorder.Codes(), c.codes);
        EXPECT_EQ(Exists(dir.File("pkg.bin")), c.trusted);
        unsetenv("CURL_CA_BUNDLE");
    }
}

TEST(MtCurlDownloader, DestructionStopsStalledPartsPromptly) {
    DistServer server({"--size", "21000000", "--stall", "1000000", "--stall-seconds", "120"});
    ASSERT_TRUE(server.Ok());
    TempDir dir;
    Recorder recorder;
    auto downloader = std::make_unique<CMTCurlDownloader>(
        recorder.Callback(), Wide(server.Url("/software/259")), dir.WFile("pkg.bin"));
    downloader->Start();
    ASSERT_TRUE(recorder.WaitFor(DL_CODE_START));
    for (int i = 0; i < 200 && (FileSize(dir.File("pkg.bin_0")) < 900000 ||
                                FileSize(dir.File("pkg.bin_1")) < 900000);
         ++i) {
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_GE(FileSize(dir.File("pkg.bin_1")), 900000) << "both parts are transferring";
    ExpectPromptDestruction(downloader);
    for (const auto& e : recorder.Events())
        EXPECT_NE(e.code, DL_CODE_FAIL);
    EXPECT_FALSE(Exists(dir.File("pkg.bin")));
}

TEST(MtCurlDownloader, PlacesThatCannotBeWrittenFailTheAttempt) {
    // A non-empty folder where a part file or the target belongs cannot be removed, opened
    // or replaced. The part gets status -2 (no thread); a merged file that cannot be moved
    // onto the target is a failed attempt (-4), never a success.
    struct Case {
        const char* name;
        const char* blocked;
        int32_t value;
    } cases[] = {
        {"part file cannot be opened", "pkg.bin_1", -2},
        {"merged file cannot replace the target", "pkg.bin", CMTCurlDownloader::kRenameFailed},
    };
    DistServer server({"--size", "21000000"});
    ASSERT_TRUE(server.Ok());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        std::filesystem::create_directories(dir.File(c.blocked) + "/keep");
        FakePacing fake;
        Recorder recorder;
        CMTCurlDownloader downloader(recorder.Callback(), Wide(server.Url("/software/259")),
                                     dir.WFile("pkg.bin"), fake.pacing);
        recorder.restart = [&downloader] { downloader.Start(); };
        downloader.Start();
        ASSERT_TRUE(recorder.WaitFinal(90s)) << Describe(recorder.Events());
        ExpectSequence(recorder.Events(), {{1001, 1, L""},
                                           {1005, double(c.value), L"LibCurl"},
                                           {1001, 1, L""},
                                           {1004, double(c.value), L"LibCurl"}});
        EXPECT_TRUE(std::filesystem::is_directory(dir.File(c.blocked) + "/keep"));
    }
}

}  // namespace
