// CWinDownloader and the system-download stand-in: URL encoding, the bind callback's slots,
// attempts and HRESULTs, a second Start, and destruction while transferring.

#include "download/win_downloader.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <thread>

#include "tests/download/test_support.h"
#include "utils/md5.h"
#include "utils/text.h"

namespace {

using namespace DownloadTest;
using namespace std::chrono_literals;
using namespace Download;

// A loopback port with nothing listening: bind, read the port back, close.
int ClosedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (fd >= 0)
            ::close(fd);
        return 0;
    }
    ::close(fd);
    return ntohs(address.sin_port);
}

TEST(WinDownloader, EncodesUrlsLikeTheSystemDownloadExpects) {
    struct Case {
        std::wstring in, out;
    } cases[] = {
        {L"http://h/a b/中文?x=1&y=%41", L"http://h/a+b/%E4%B8%AD%E6%96%87?x=1&y=%41"},
        {L"http://h/tab\there", L"http://h/tab%09here"},
        {L"file:///tmp/a b/中文", L"file:///tmp/a b/中文"},
        {L"http://127.0.0.1:8080/software/259", L"http://127.0.0.1:8080/software/259"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CWinDownloader::EncodeUrl(c.in), c.out);
}

TEST(WinDownloader, BindCallbackSlots) {
    std::vector<std::pair<int32_t, double>> events;
    CWinDownloader::CBindCallback callback;
    callback.SetCallback([&](int32_t code, double value, const wchar_t*) {
        events.push_back({code, value});
    });
    IBindStatusCallbackEx& slots = callback;
    EXPECT_EQ(slots.QueryInterface(nullptr, nullptr), E_NOTIMPL);
    EXPECT_EQ(slots.AddRef(), 0u);
    EXPECT_EQ(slots.Release(), 0u);
    EXPECT_EQ(slots.OnStartBinding(0, nullptr), E_NOTIMPL);
    EXPECT_EQ(slots.GetPriority(nullptr), E_NOTIMPL);
    EXPECT_EQ(slots.OnLowResource(0), E_NOTIMPL);
    EXPECT_EQ(slots.OnStopBinding(S_OK, nullptr), E_NOTIMPL);
    EXPECT_EQ(slots.OnDataAvailable(0, 0, nullptr, nullptr), E_NOTIMPL);
    EXPECT_EQ(slots.OnObjectAvailable(nullptr, nullptr), E_NOTIMPL);
    EXPECT_EQ(slots.GetBindInfoEx(nullptr, nullptr, nullptr, nullptr), E_NOTIMPL);
    BINDINFO info;
    EXPECT_EQ(slots.GetBindInfo(nullptr, &info), E_NOTIMPL);
    EXPECT_EQ(info.dwCodePage, 65001u);
    EXPECT_EQ(slots.GetBindInfo(nullptr, nullptr), E_NOTIMPL);

    struct Case {
        uint32_t progress, max;
        bool event;
        double value;
    } cases[] = {{5, 10, true, 0.5},
                 {0, 0, false, 0},
                 {4000000000u, 4000000000u, true, 1.0},
                 {1, 3, true, 1.0 / 3}};
    for (const Case& c : cases) {
        events.clear();
        EXPECT_EQ(slots.OnProgress(c.progress, c.max, BINDSTATUS_DOWNLOADINGDATA, nullptr), S_OK);
        ASSERT_EQ(events.size(), c.event ? 1u : 0u);
        if (c.event) {
            EXPECT_EQ(events[0].first, DL_CODE_PROGRESS);
            EXPECT_DOUBLE_EQ(events[0].second, c.value);
        }
    }
    callback.Cancel();
    events.clear();
    EXPECT_EQ(slots.OnProgress(1, 2, BINDSTATUS_DOWNLOADINGDATA, nullptr), E_ABORT);
    EXPECT_TRUE(events.empty());
}

TEST(WinDownloader, EventSequences) {
    DistServer server({"--size", "3000000"});
    ASSERT_TRUE(server.Ok());
    const double notFound = double(INET_E_RESOURCE_NOT_FOUND);
    const double failure = double(INET_E_DOWNLOAD_FAILURE);
    struct Case {
        const char* name;
        std::string url;
        std::vector<std::pair<int32_t, double>> events;  // progress left out
        std::wstring finalText;
        size_t pauses;
    } cases[] = {
        {"healthy", server.Url("/software/259"), {{1001, 1}, {1003, 0}}, L"URLDownloadToFile", 0},
        {"404",
         server.Url("/fault/status=404/software/259"),
         {{1001, 1}, {1004, notFound}},
         L"URLDownloadToFile",
         3},
        {"500",
         server.Url("/fault/status=500/software/259"),
         {{1001, 1}, {1004, failure}},
         L"URLDownloadToFile",
         3},
        {"unreachable",
         "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/software/259",
         {{1001, 1}, {1004, notFound}},
         L"URLDownloadToFile",
         3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        FakePacing fake;
        Recorder recorder;
        CWinDownloader downloader(recorder.Callback(), Wide(c.url), dir.WFile("pkg.bin"),
                                  fake.pacing);
        downloader.Start();
        ASSERT_TRUE(recorder.WaitFinal(30s));
        std::vector<std::pair<int32_t, double>> got;
        std::wstring finalText;
        double lastFraction = 0;
        for (const auto& e : recorder.Events()) {
            if (e.code == DL_CODE_PROGRESS) {
                EXPECT_GE(e.value, lastFraction);
                EXPECT_LE(e.value, 1.0);
                lastFraction = e.value;
                continue;
            }
            got.push_back({e.code, e.value});
            finalText = e.text;
        }
        EXPECT_EQ(got, c.events);
        EXPECT_EQ(finalText, c.finalText);
        EXPECT_EQ(fake.Pauses(), std::vector<int64_t>(c.pauses, 1000));
        const bool success = c.events.back().first == DL_CODE_SUCCESS;
        EXPECT_EQ(Exists(dir.File("pkg.bin")), success);
        EXPECT_FALSE(Exists(dir.File("pkg.bin.~dl")));
        if (success) {
            EXPECT_EQ(Utils::GetFileMd5(dir.File("pkg.bin")), server.Md5());
            EXPECT_EQ(lastFraction, 1.0);
        }
    }
}

TEST(WinDownloader, SecondStartIsANewAttempt) {
    DistServer server({"--size", "2000000"});
    ASSERT_TRUE(server.Ok());
    TempDir dir;
    Recorder recorder;
    CWinDownloader downloader(recorder.Callback(), Wide(server.Url("/software/259")),
                              dir.WFile("pkg.bin"));
    downloader.Start();
    ASSERT_TRUE(recorder.WaitFinal());
    std::remove(dir.File("pkg.bin").c_str());
    downloader.Start();
    ASSERT_TRUE(recorder.WaitFinal(60s, 2));
    EXPECT_EQ(recorder.Codes(), (std::vector<int32_t>{1001, 1003, 1001, 1003}));
    EXPECT_EQ(Utils::GetFileMd5(dir.File("pkg.bin")), server.Md5());
}

TEST(WinDownloader, EncodedUrlIsWhatTravels) {
    DistServer server({"--size", "1500000", "--hops", "0"});
    ASSERT_TRUE(server.Ok());
    TempDir dir;
    Recorder recorder;
    const std::wstring url = Utils::ToWide(server.Url("/software/259/a b/中文"), 65001);
    CWinDownloader downloader(recorder.Callback(), url, dir.WFile("pkg.bin"));
    downloader.Start();
    ASSERT_TRUE(recorder.WaitFinal());
    EXPECT_EQ(recorder.Codes(), (std::vector<int32_t>{1001, 1003}));
    const auto log = server.Log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], "GET /software/259/a+b/%E4%B8%AD%E6%96%87");
}

TEST(WinDownloader, EmptyPathFailsAtOnce) {
    Recorder recorder;
    CWinDownloader downloader(recorder.Callback(), L"http://127.0.0.1:9/", L"");
    downloader.Start();
    ASSERT_TRUE(recorder.WaitFinal(10s));
    EXPECT_EQ(recorder.Codes(), (std::vector<int32_t>{1001, 1004}));
    EXPECT_EQ(recorder.Events().back().value, 1.0);
}

TEST(WinDownloader, DestructionCancelsAStalledDownloadPromptly) {
    DistServer server({"--size", "4000000", "--stall", "1000000", "--stall-seconds", "120"});
    ASSERT_TRUE(server.Ok());
    TempDir dir;
    Recorder recorder;
    auto downloader = std::make_unique<CWinDownloader>(
        recorder.Callback(), Wide(server.Url("/software/259")), dir.WFile("pkg.bin"));
    downloader->Start();
    ASSERT_TRUE(recorder.WaitFor(DL_CODE_PROGRESS));
    for (int i = 0; i < 200 && FileSize(dir.File("pkg.bin.~dl")) < 900000; ++i) {
        std::this_thread::sleep_for(50ms);
    }
    ExpectPromptDestruction(downloader);
    for (const auto& e : recorder.Events())
        EXPECT_NE(e.code, DL_CODE_FAIL);
    EXPECT_FALSE(Exists(dir.File("pkg.bin")));
    EXPECT_FALSE(Exists(dir.File("pkg.bin.~dl")));
}

// The stand-in itself: a cancelling callback gets E_ABORT and no file; a local file URL works.
class CancelAfterData : public CWinDownloader::CBindCallback {
public:
    HRESULT OnProgress(uint32_t progress, uint32_t max, uint32_t status,
                       const wchar_t* text) override {
        if (max != 0)
            return E_ABORT;
        return CBindCallback::OnProgress(progress, max, status, text);
    }
};

TEST(UrlMoniker, CancelAndLocalFiles) {
    DistServer server({"--size", "2000000"});
    ASSERT_TRUE(server.Ok());
    TempDir dir;
    CancelAfterData cancel;
    EXPECT_EQ(URLDownloadToFileW(nullptr, Wide(server.Url("/software/259")).c_str(),
                                 dir.WFile("a").c_str(), 0, &cancel),
              E_ABORT);
    EXPECT_FALSE(Exists(dir.File("a")));

    ASSERT_TRUE(WriteFile(dir.File("source file"), "local bytes"));
    const std::wstring url = L"file://" + dir.WFile("source file");
    EXPECT_EQ(URLDownloadToFileW(nullptr, url.c_str(), dir.WFile("b").c_str(), 0, nullptr), S_OK);
    EXPECT_EQ(FileSize(dir.File("b")), 11);
    EXPECT_EQ(URLDownloadToFileW(nullptr, (url + L".missing").c_str(), dir.WFile("c").c_str(), 0,
                                 nullptr),
              INET_E_RESOURCE_NOT_FOUND);
    EXPECT_EQ(URLDownloadToFileW(nullptr, L"", dir.WFile("d").c_str(), 0, nullptr), E_INVALIDARG);
}

}  // namespace
