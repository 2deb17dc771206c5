// glyphora-distserver itself: the redirect chain, HEAD, range forms, fault answers and
// usage errors, as the downloaders, the installation tests and the demo rely on them.

#include <curl/curl.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/download/test_support.h"

namespace {

using namespace DownloadTest;

struct Reply {
    long status = 0;
    std::string body;
    std::string contentRange;
    std::string effectiveUrl;
    curl_off_t length = -1;
};

size_t Collect(char* data, size_t size, size_t count, void* out) {
    static_cast<std::string*>(out)->append(data, size * count);
    return size * count;
}

size_t Header(char* data, size_t size, size_t count, void* out) {
    std::string line(data, size * count);
    if (line.rfind("Content-Range:", 0) == 0) {
        *static_cast<std::string*>(out) = line.substr(15, line.find_last_not_of("\r\n") - 14);
    }
    return size * count;
}

Reply Get(const std::string& url, const char* range = nullptr, bool head = false) {
    Reply reply;
    CURL* h = curl_easy_init();
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_TIMEOUT, 20L);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &reply.body);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, Header);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &reply.contentRange);
    if (range)
        curl_easy_setopt(h, CURLOPT_RANGE, range);
    if (head)
        curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
    curl_easy_perform(h);
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &reply.status);
    curl_easy_getinfo(h, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &reply.length);
    char* effective = nullptr;
    curl_easy_getinfo(h, CURLINFO_EFFECTIVE_URL, &effective);
    if (effective)
        reply.effectiveUrl = effective;
    curl_easy_cleanup(h);
    return reply;
}

TEST(DistServer, RedirectsToTheDigestAddress) {
    DistServer server({"--size", "1000", "--hops", "3"});
    ASSERT_TRUE(server.Ok());
    const std::string final = server.Url("/pkg/" + server.Md5() + "/package.bin");
    struct Case {
        std::string path;
        std::string effective;
    } cases[] = {
        {"/software/259", final},
        {"/software/259/anything", final},
        {"/fault/digest=none/software/259", server.Url("/fault/digest=none/pkg/package.bin")},
        {"/fault/hops=0/software/259", server.Url("/fault/hops=0/software/259")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const Reply head = Get(server.Url(c.path), nullptr, true);
        EXPECT_EQ(head.status, 200);
        EXPECT_EQ(head.length, 1000);
        EXPECT_EQ(head.effectiveUrl, c.effective);
        const Reply body = Get(server.Url(c.path));
        EXPECT_TRUE(body.body == PatternBytes(0, 1000));
    }
    int hops = 0;
    for (const auto& line : server.Log())
        hops += line.find("/hop/") != std::string::npos;
    // Three hops pass two intermediate addresses; three of the four cases redirect, each
    // with a HEAD and a GET.
    EXPECT_EQ(hops, 2 * 2 * 3);
    EXPECT_EQ(Get(server.Url("/elsewhere")).status, 404);
}

TEST(DistServer, RangesAndFaultAnswers) {
    DistServer server({"--size", "1000"});
    ASSERT_TRUE(server.Ok());
    const std::string pkg = server.Url("/pkg/x/package.bin");
    struct Case {
        std::string url;
        const char* range;
        long status;
        std::string contentRange;
        uint64_t offset;
        size_t length;  // body bytes expected (pattern from offset)
    } cases[] = {
        {pkg, "100-199", 206, "bytes 100-199/1000", 100, 100},
        {pkg, "990-", 206, "bytes 990-999/1000", 990, 10},
        {pkg, "-5", 206, "bytes 995-999/1000", 995, 5},
        {pkg, "900-5000", 206, "bytes 900-999/1000", 900, 100},
        {pkg, "1000-", 416, "bytes */1000", 0, 0},
        {pkg, "0-1,5-6", 200, "", 0, 1000},  // several ranges: the whole file
        {server.Url("/fault/no-ranges=1/pkg/x/p"), "100-199", 200, "", 0, 1000},
        {server.Url("/fault/overrun=7/pkg/x/p"), "100-199", 206, "bytes 100-199/1000", 100, 107},
        {server.Url("/fault/cut=300/pkg/x/p"), nullptr, 200, "", 0, 300},
        {server.Url("/fault/status=416/pkg/x/p"), nullptr, 416, "bytes */1000", 0, 0},
        {server.Url("/fault/get-status=500/pkg/x/p"), nullptr, 500, "", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url + " " + (c.range ? c.range : "-"));
        const Reply reply = Get(c.url, c.range);
        EXPECT_EQ(reply.status, c.status);
        EXPECT_EQ(reply.contentRange, c.contentRange);
        if (c.length) {
            ASSERT_EQ(reply.body.size(), c.length);
            const size_t inFile = std::min<size_t>(c.length, 1000 - c.offset);
            EXPECT_TRUE(reply.body.substr(0, inFile) == PatternBytes(c.offset, inFile));
        }
    }
    // HEAD of a GET-only fault still answers with the length (the probe passes).
    const Reply head = Get(server.Url("/fault/get-status=500/pkg/x/p"), nullptr, true);
    EXPECT_EQ(head.status, 200);
    EXPECT_EQ(head.length, 1000);
    const Reply bad = Get(server.Url("/fault/bogus=1/software/259"));
    EXPECT_EQ(bad.status, 400);
    EXPECT_NE(bad.body.find("unknown fault"), std::string::npos);
}

TEST(DistServer, CutTimesCountsPerPrefix) {
    DistServer server({"--size", "1000"});
    ASSERT_TRUE(server.Ok());
    const std::string url = server.Url("/fault/cut=10,cut-times=2/pkg/x/p");
    EXPECT_EQ(Get(url).body.size(), 10u);
    EXPECT_EQ(Get(url).body.size(), 10u);
    EXPECT_EQ(Get(url).body.size(), 1000u);
    EXPECT_EQ(Get(server.Url("/fault/cut-times=2,cut=10/pkg/x/p")).body.size(), 10u)
        << "another prefix has its own count";
}

TEST(DistServer, UsageErrorsExitTwo) {
    const char* bin = std::getenv("GLYPHORA_BIN");
    const std::string program = std::string(bin ? bin : "build/bin") + "/glyphora-distserver";
    for (const char* args : {"--size", "--size -1", "--port 70000", "--digest odd", "--rate x",
                             "--file a --size 3", "--entry nope", "--bogus 1", "stray"}) {
        SCOPED_TRACE(args);
        const std::string command = "timeout 20 " + program + " " + args + " >/dev/null 2>&1";
        const int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 2);
    }
    const std::string missing = "timeout 20 " + program + " --file /nonexistent/x >/dev/null 2>&1";
    const int status = std::system(missing.c_str());
    EXPECT_EQ(WEXITSTATUS(status), 1);
}

}  // namespace
