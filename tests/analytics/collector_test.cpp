// glyphora-collector: decoding, JSON checks and the running server.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "analytics/core/batch_sender.h"
#include "analytics/core/http_post_client.h"
#include "tests/analytics/test_support.h"
#include "tools/collector/batch_codec.h"
#include "tools/collector/json_check.h"

extern char** environ;

namespace {

using analytics_core::Base64Encode;
using analytics_core::BuildBatchBody;
using analytics_core::GzipCompress;
using analytics_core::HttpPostClient;
using analytics_core::HttpResponse;
using analytics_core::PercentEncode;
using analytics_test::Collector;
using analytics_test::ScopedEnv;
using namespace std::chrono_literals;

std::string BodyOfRaw(const std::string& bytes, bool gzip = true) {
    return "data_list=" + PercentEncode(Base64Encode(bytes)) + (gzip ? "&gzip=1" : "");
}

std::string BodyOfText(const std::string& text) {
    std::string gz;
    EXPECT_TRUE(GzipCompress(text, gz));
    return BodyOfRaw(gz);
}

TEST(CollectorJson, Grammar) {
    struct Case {
        std::string text;
        bool ok;
        std::string compact;
    } cases[] = {
        {R"({"a":1})", true, R"({"a":1})"},
        {" [ 1 , -0.5e+3 , \"x\\u00e9\\n\" , true , null , {} ] ", true,
         R"([1,-0.5e+3,"x\u00e9\n",true,null,{}])"},
        {"\"\xE5\xAE\x89\"", true, "\"\xE5\xAE\x89\""},
        {"", false, ""},
        {"{", false, ""},
        {R"({"a":1,})", false, ""},
        {R"({"a" 1})", false, ""},
        {"[01]", false, ""},
        {"[1.]", false, ""},
        {"[.5]", false, ""},
        {"\"a\x01\"", false, ""},
        {R"("\x")", false, ""},
        {R"("\u12G4")", false, ""},
        {"nul", false, ""},
        {"{} {}", false, ""},
        {"{'a':1}", false, ""},
        {std::string(300, '[') + std::string(300, ']'), false, ""},
        {std::string(200, '[') + std::string(200, ']'), true,
         std::string(200, '[') + std::string(200, ']')},
    };
    for (const auto& c : cases) {
        std::string compact, error;
        EXPECT_EQ(collector::ParseJson(c.text, &compact, &error), c.ok) << c.text << " " << error;
        if (c.ok) {
            EXPECT_EQ(compact, c.compact);
        }
    }
}

TEST(CollectorCodec, MalformedBodies) {
    std::string gzJunk;
    ASSERT_TRUE(GzipCompress("[1,2]", gzJunk));
    std::string cut = gzJunk.substr(0, gzJunk.size() - 4);
    // 65 MiB of zeros inflate beyond the limit from a body of about 64 KiB.
    std::string bomb;
    ASSERT_TRUE(GzipCompress(std::string(size_t{65} << 20, '\0'), bomb));
    struct Case {
        const char* name;
        std::string body;
        std::string error;
    } cases[] = {
        {"empty body", "", "no data_list field"},
        {"not a form", "hello", "no data_list field"},
        {"bad percent escape", "data_list=%G1&gzip=1", "malformed percent escape"},
        {"cut percent escape", "data_list=AAA%2", "malformed percent escape"},
        {"not Base64", "data_list=!!!!&gzip=1", "not valid Base64"},
        {"Base64 length", "data_list=AAA&gzip=1", "not valid Base64"},
        {"raw plus turns into space", "data_list=ab+c&gzip=1", "not valid Base64"},
        {"not gzip", BodyOfRaw("plain text"), "not a complete gzip stream"},
        {"cut gzip", BodyOfRaw(cut), "not a complete gzip stream"},
        {"gzip bomb", BodyOfRaw(bomb), "inflates beyond"},
        {"not JSON", BodyOfText("[{\"a\":1}"), "not a JSON array of records"},
        {"JSON object, not array", BodyOfText("{\"a\":1}"), "not a JSON array"},
        {"array of numbers", BodyOfText("[1,2]"), "array element is not an object"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> records;
        std::string error;
        EXPECT_FALSE(collector::DecodeBatchRecords(c.body, records, error)) << c.name;
        EXPECT_NE(error.find(c.error), std::string::npos) << c.name << ": " << error;
    }
    std::vector<std::string> records;
    std::string error;
    EXPECT_TRUE(collector::DecodeBatchRecords(
        "gzip=0&data_list=" + PercentEncode(Base64Encode("[ {\"a\" : 1} ,{}]")), records, error))
        << error;
    EXPECT_EQ(records, (std::vector<std::string>{"{\"a\":1}", "{}"}));
}

TEST(CollectorServer, RejectsBadRequestsAndKeepsServing) {
    Collector collector;
    ASSERT_TRUE(collector.ok());
    ScopedEnv ca("CURL_CA_BUNDLE", collector.cert().c_str());
    HttpPostClient client;
    std::string base = "https://127.0.0.1:" + std::to_string(collector.port());
    struct Case {
        const char* name;
        std::string url;
        std::string body;
        long status;
    } cases[] = {
        {"garbage body", collector.url(), "\x01\x02garbage", 400},
        {"not Base64", collector.url(), "data_list=@@@@&gzip=1", 400},
        {"array of strings", collector.url(), BodyOfText("[\"a\"]"), 400},
        {"other project", base + "/sa?project=mobile", BodyOfText("[]"), 400},
        {"other path", base + "/other?project=pc", BodyOfText("[]"), 404},
        {"valid", collector.url(), BodyOfText("[{\"ok\":true}]"), 200},
    };
    for (const auto& c : cases) {
        HttpResponse r = client.post(c.url, c.body);
        EXPECT_EQ(r.status, c.status) << c.name << ": " << r.body;
    }
    EXPECT_EQ(collector.waitForRecords(1, 5s), std::vector<std::string>{"{\"ok\":true}"});
    std::string err = collector.stderrText();
    EXPECT_NE(err.find("rejected 127.0.0.1:"), std::string::npos) << err;
    EXPECT_NE(err.find("not valid Base64"), std::string::npos) << err;
    EXPECT_NE(err.find("array element is not an object"), std::string::npos) << err;
    EXPECT_NE(err.find("unknown project 'mobile'"), std::string::npos) << err;
}

TEST(CollectorServer, RecordsOnStandardOutput) {
    Collector collector({}, /*toStdout=*/true);
    ASSERT_TRUE(collector.ok());
    ScopedEnv ca("CURL_CA_BUNDLE", collector.cert().c_str());
    std::string body;
    ASSERT_TRUE(BuildBatchBody("[{\"a\":1},\n {\"b\": \"x y\"}]", body));
    EXPECT_EQ(HttpPostClient().post(collector.url(), body).status, 200);
    EXPECT_EQ(collector.waitForRecords(2, 5s),
              (std::vector<std::string>{"{\"a\":1}", "{\"b\":\"x y\"}"}));
}

TEST(CollectorServer, FaultCountThenAccepts) {
    Collector collector({"--fail-status", "503", "--fault-count", "2"});
    ASSERT_TRUE(collector.ok());
    ScopedEnv ca("CURL_CA_BUNDLE", collector.cert().c_str());
    HttpPostClient client;
    std::string body = BodyOfText("[{\"n\":1}]");
    EXPECT_EQ(client.post(collector.url(), body).status, 503);
    EXPECT_EQ(client.post(collector.url(), body).status, 503);
    EXPECT_EQ(client.post(collector.url(), body).status, 200);
    EXPECT_EQ(collector.waitForRecords(1, 5s).size(), 1u);
}

int RunCollector(std::vector<std::string> args, std::string& out) {
    std::string exe = analytics_test::BinPath("glyphora-collector");
    args.insert(args.begin(), exe);
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    analytics_test::TempDir dir;
    std::string outPath = dir.file("out");
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, outPath.c_str(), O_WRONLY | O_CREAT, 0644);
    posix_spawn_file_actions_addopen(&fa, 2, outPath.c_str(), O_WRONLY | O_CREAT, 0644);
    pid_t pid = -1;
    int rc = posix_spawn(&pid, exe.c_str(), &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    if (rc != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    out = analytics_test::ReadFile(outPath);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(CollectorServer, CommandLine) {
    struct Case {
        std::vector<std::string> args;
        int exit;
        std::string text;
    } cases[] = {
        {{"--help"}, 0, "Usage: glyphora-collector"},
        {{"--bogus"}, 2, "unknown option --bogus"},
        {{"--port"}, 2, "--port needs a number"},
        {{"--port", "70000"}, 2, "bad value for --port"},
        {{"--fail-status", "abc"}, 2, "bad value for --fail-status"},
        {{"--cert", "/nonexistent.pem"}, 2, "--cert and --key go together"},
        {{"--cert", "/nonexistent.pem", "--key", "/nonexistent.key"},
         1,
         "cannot use the certificate"},
    };
    for (const auto& c : cases) {
        std::string out;
        EXPECT_EQ(RunCollector(c.args, out), c.exit) << c.args[0];
        EXPECT_NE(out.find(c.text), std::string::npos) << c.args[0] << ": " << out;
    }
}

}  // namespace
