// glyphora-fetch as a child process: one line per event, exit status 0 only after success,
// the installer's restart on DL_CODE_RETRY, HTTPS trusted through CURL_CA_BUNDLE, bad usage.

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "tests/download/test_support.h"
#include "utils/md5.h"

namespace {

using namespace DownloadTest;

struct ToolRun {
    int status;
    std::vector<std::string> lines;
};

// Runs the tool (bounded by timeout(1)) with `env` prepended; progress lines are left out.
ToolRun Fetch(const std::string& env, const std::string& args) {
    const char* bin = std::getenv("GLYPHORA_BIN");
    const std::string command = env + " GLYPHORA_TRACE=off timeout 60 " +
                                std::string(bin ? bin : "build/bin") + "/glyphora-fetch " + args +
                                " 2>/dev/null";
    ToolRun run{-1, {}};
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return run;
    char line[4096];
    while (std::fgets(line, sizeof line, pipe)) {
        std::string text(line);
        if (!text.empty() && text.back() == '\n')
            text.pop_back();
        if (text.rfind("1002 ", 0) != 0)
            run.lines.push_back(text);
    }
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST(FetchTool, PrintsEventsAndExitsZeroOnlyAfterSuccess) {
    DistServer server({"--size", "1500000"});
    ASSERT_TRUE(server.Ok());
    TempDir dir;
    const std::string url = server.Url("/software/259");
    struct Case {
        std::string args;
        int status;
        std::vector<std::string> lines;
    } cases[] = {
        {"--type 1 " + url, 0, {"1001 1 ", "1003 0 LibCurl"}},
        {"--type 2 " + url, 0, {"1001 1 ", "1003 0 URLDownloadToFile"}},
        {"--type 3 " + url, 0, {"1001 1 ", "1003 0 LibCurl"}},
        {"--type 3 " + server.Url("/fault/digest=wrong/software/259"),
         1,
         {"1001 1 ", "1006 0 mtcurl文件md5校验失败", "1005 0 LibCurl", "1001 1 ",
          "1006 0 mtcurl文件md5校验失败", "1004 0 LibCurl"}},
        {"--type 2 " + server.Url("/fault/status=404/software/259"),
         1,
         {"1001 1 ", "1004 -2146697211 URLDownloadToFile"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        std::remove(dir.File("out.bin").c_str());
        const ToolRun run = Fetch("", c.args + " " + dir.File("out.bin"));
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.lines, c.lines);
        if (c.status == 0) {
            EXPECT_EQ(Utils::GetFileMd5(dir.File("out.bin")), server.Md5());
        }
    }
}

TEST(FetchTool, HttpsTrustedThroughCurlCaBundle) {
    DistServer server({"--size", "1500000", "--https"});
    ASSERT_TRUE(server.Ok());
    ASSERT_FALSE(server.Certificate().empty());
    TempDir dir;
    for (const char* type : {"1", "2", "3"}) {
        SCOPED_TRACE(type);
        std::remove(dir.File("out.bin").c_str());
        const std::string args = std::string("--no-progress --type ") + type + " " +
                                 server.Url("/software/259") + " " + dir.File("out.bin");
        EXPECT_EQ(Fetch("CURL_CA_BUNDLE=" + server.Certificate(), args).status, 0);
        EXPECT_EQ(Utils::GetFileMd5(dir.File("out.bin")), server.Md5());
        std::remove(dir.File("out.bin").c_str());
        EXPECT_EQ(Fetch("CURL_CA_BUNDLE=/dev/null", args).status, 1) << "untrusted certificate";
        EXPECT_FALSE(Exists(dir.File("out.bin")));
    }
}

TEST(FetchTool, BadUsageExitsTwo) {
    for (const char* args : {"", "onlyurl", "--type", "--type x http://a b", "--bogus a b"}) {
        SCOPED_TRACE(args);
        EXPECT_EQ(Fetch("", args).status, 2);
    }
}

}  // namespace
