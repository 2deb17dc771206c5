// glyphora-installer -silent end to end with analytics: the distribution server serves the
// fake package on loopback, glyphora-collector receives the funnel.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "install/silent_install.h"
#include "tests/analytics/test_support.h"
#include "tests/analytics/tracker_test_support.h"
#include "tests/install/test_support.h"
#include "utils/profile.h"
#include "utils/text.h"

namespace {

using tracker_test::EventOf;
using tracker_test::HasKey;
using tracker_test::HasProperty;
using tracker_test::Quoted;

class SilentFunnel : public ::testing::Test {
protected:
    // Silent runs look for a running "Glyphora_un_asa.exe", which other tests run.
    install_test::ProcessNameLock lock_;
    install_test::TempDir dir_;
    std::string target_ = dir_.Join("Lexivo Apps");
    std::string data_ = dir_.Join("data");

    install_test::ProcessResult Install(const std::string& downloadUrl, const std::string& cert,
                                        const std::string& analyticsUrl,
                                        std::vector<std::string> extraArgs = {}) {
        std::vector<std::string> argv = {install_test::BinPath("glyphora-installer"), "-silent",
                                         "-installdir=" + target_, "-downloadurl=" + downloadUrl};
        argv.insert(argv.end(), extraArgs.begin(), extraArgs.end());
        return install_test::RunProcess(argv, {{"XDG_CONFIG_HOME", dir_.Join("config")},
                                               {"APPDATA", dir_.Join("appdata")},
                                               {"XDG_RUNTIME_DIR", dir_.path()},
                                               {"TMPDIR", dir_.path()},
                                               {"XDG_DATA_HOME", data_},
                                               {"CURL_CA_BUNDLE", cert},
                                               {"GLYPHORA_ANALYTICS_URL", analyticsUrl}});
    }
    std::string IdentityFile() const {
        return data_ + "/OVLocal/Glyphora.downloader/Glyphora.downloader_OVSConfigure.ini";
    }
    std::string DistinctId() const {
        return Utils::ToNarrow(
            Utils::ReadProfileString(IdentityFile(), L"Base", L"DistinctId", L""),
            Utils::kCodePageUtf8);
    }
};

TEST_F(SilentFunnel, RecordsArriveWithTheInstallersIdentityInOrder) {
    install_test::DistServer server(install_test::BinPath("glyphora-fake-package"));
    ASSERT_FALSE(server.Url().empty());
    analytics_test::Collector collector;
    ASSERT_TRUE(collector.ok()) << collector.stderrText();
    auto r = Install(server.Url(), collector.cert(), collector.url(), {"-dlappversion=3.1.4"});
    ASSERT_EQ(r.exitCode, kSilentSuccess) << r.output;

    std::string distinctId = DistinctId();
    ASSERT_FALSE(distinctId.empty());
    auto records = collector.waitForRecords(4, std::chrono::seconds(20));
    const char* expected[] = {"下载器启动", "开始下载大包", "大包下载完毕", "安装成功"};
    ASSERT_EQ(records.size(), 4u) << collector.stderrText();
    for (size_t i = 0; i < 4; ++i) {
        const std::string& rec = records[i];
        EXPECT_EQ(EventOf(rec), "OvEventTask") << rec;
        EXPECT_TRUE(HasProperty(rec, "ov_task_name", Quoted(expected[i]))) << rec;
        EXPECT_TRUE(HasProperty(rec, "ov_task_result", Quoted("Success"))) << rec;
        EXPECT_TRUE(HasProperty(rec, "ovc_ab", Quoted("IN"))) << rec;
        EXPECT_TRUE(HasProperty(rec, "$is_first_time", "true")) << rec;
        EXPECT_NE(rec.find("\"distinct_id\":\"" + distinctId + "\""), std::string::npos) << rec;
        EXPECT_TRUE(HasProperty(rec, "ov_app_id", Quoted("Glyphora.downloader"))) << rec;
        EXPECT_TRUE(HasProperty(rec, "$app_id", Quoted("Glyphora.downloader"))) << rec;
        EXPECT_TRUE(HasProperty(rec, "$app_version", Quoted("1.7.9"))) << rec;
        EXPECT_TRUE(HasProperty(rec, "ov_app_store", Quoted("glyphora-installer"))) << rec;
        EXPECT_TRUE(HasProperty(rec, "ov_dlapp_id", Quoted("Glyphora"))) << rec;
        EXPECT_TRUE(HasProperty(rec, "ov_dlapp_version", Quoted("3.1.4"))) << rec;
        EXPECT_TRUE(HasProperty(rec, "ov_track_type", Quoted("Client"))) << rec;
        EXPECT_TRUE(HasProperty(rec, "$lib", Quoted("cpp"))) << rec;
    }
    EXPECT_EQ(Utils::ReadProfileString(IdentityFile(), L"UninstallInfo", L"AppStore", L""),
              L"glyphora-installer");
}

TEST_F(SilentFunnel, DisabledAnalyticsSendsNothingAndWritesNoIdentity) {
    install_test::DistServer server(install_test::BinPath("glyphora-fake-package"));
    ASSERT_FALSE(server.Url().empty());
    analytics_test::Collector collector;
    ASSERT_TRUE(collector.ok()) << collector.stderrText();
    for (const char* value : {"false", "yes", "TRUE1"}) {
        auto r = Install(server.Url(), collector.cert(), collector.url(),
                         {std::string("-isenableanalytics=") + value});
        ASSERT_EQ(r.exitCode, kSilentSuccess) << value << "\n" << r.output;
    }
    EXPECT_TRUE(collector.records().empty());
    EXPECT_FALSE(std::filesystem::exists(data_)) << "an identity was written";
}

TEST_F(SilentFunnel, RecordsQueuedWhileTheCollectorIsDownArriveInALaterRun) {
    install_test::DistServer server(install_test::BinPath("glyphora-fake-package"));
    ASSERT_FALSE(server.Url().empty());
    std::string port, url;
    {
        analytics_test::Collector first;  // only to learn a free port; stopped at once
        ASSERT_TRUE(first.ok());
        port = std::to_string(first.port());
        url = first.url();
    }
    auto down = Install(server.Url(), "/nonexistent.pem", url);
    ASSERT_EQ(down.exitCode, kSilentSuccess) << down.output;
    std::string distinctId = DistinctId();

    analytics_test::Collector collector({"--port", port});
    ASSERT_TRUE(collector.ok()) << collector.stderrText();
    // The second run fails its download: its own funnel follows the first run's records.
    auto r = Install(server.Base() + "/fault/digest=wrong/software/259", collector.cert(), url);
    EXPECT_EQ(r.exitCode, kSilentDownloadFailed) << r.output;
    auto records = collector.waitForRecords(7, std::chrono::seconds(20));
    ASSERT_GE(records.size(), 7u) << collector.stderrText();
    const char* expected[] = {"下载器启动", "开始下载大包", "大包下载完毕",
                              "安装成功",   "下载器启动",   "开始下载大包"};
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_TRUE(HasProperty(records[i], "ov_task_name", Quoted(expected[i]))) << records[i];
        EXPECT_NE(records[i].find("\"distinct_id\":\"" + distinctId + "\""), std::string::npos);
    }
    // The rest: a restarted download and its failure reasons, the diagnostic among them.
    bool diagnostic = false;
    for (size_t i = 6; i < records.size(); ++i) {
        EXPECT_TRUE(HasProperty(records[i], "ov_task_name", Quoted("下载失败原因")) ||
                    HasProperty(records[i], "ov_task_name", Quoted("开始下载大包")))
            << records[i];
        diagnostic |=
            records[i].find("4.缓存读写权限=可读；5.服务器连接状态code=") != std::string::npos;
    }
    EXPECT_TRUE(diagnostic) << "no download-failure diagnostic arrived";
}

}  // namespace

namespace {

TEST_F(SilentFunnel, SizeProbeFailuresReachTheCollectorThroughTheDownloadHook) {
    install_test::DistServer server(install_test::BinPath("glyphora-fake-package"));
    ASSERT_FALSE(server.Url().empty());
    analytics_test::Collector collector;
    ASSERT_TRUE(collector.ok()) << collector.stderrText();
    auto r = Install(server.Base() + "/fault/status=503/software/259", collector.cert(),
                     collector.url());
    EXPECT_EQ(r.exitCode, kSilentDownloadFailed) << r.output;
    auto records = collector.waitForRecords(4, std::chrono::seconds(20));
    ASSERT_GE(records.size(), 4u) << collector.stderrText();
    EXPECT_TRUE(HasProperty(records[0], "ov_task_name", Quoted("下载器启动")));
    EXPECT_TRUE(HasProperty(records[1], "ov_task_name", Quoted("开始下载大包")));
    EXPECT_TRUE(HasProperty(records[2], "ov_task_name", Quoted("下载失败原因")));
    EXPECT_TRUE(HasProperty(records[2], "ov_reason", Quoted("1.获取文件大小的状态码为=503；")))
        << records[2];
    EXPECT_TRUE(HasProperty(records[2], "ovc_ab", Quoted("IN")));
    // The download's own failure closes the funnel with the diagnostic.
    EXPECT_NE(records.back().find("2.msg="), std::string::npos) << records.back();
    EXPECT_NE(records.back().find("4.缓存读写权限=可读"), std::string::npos) << records.back();
}

}  // namespace
