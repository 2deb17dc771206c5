// The installer's report operations: reason texts and the download-failure diagnostic, the
// funnel of one installation in order through a real glyphora-collector, the A/B tag, the
// download engine's hook, and the analytics switch.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "analytics/core/sdk.h"
#include "analytics/funnel.h"
#include "download/install_callback.h"
#include "download/task_report.h"
#include "install/install_events.h"
#include "tests/analytics/tracker_test_support.h"
#include "utils/profile.h"
#include "utils/text.h"

namespace orvan::analytics {
namespace {

using tracker_test::EventOf;
using tracker_test::HasKey;
using tracker_test::HasProperty;
using tracker_test::Quoted;

std::string U8(const std::wstring& text) {
    return Utils::ToNarrow(text, Utils::kCodePageUtf8);
}

TEST(FunnelReasons, Texts) {
    EXPECT_EQ(NoticeFailureReason(3, L"磁盘已满"), L":1.code=3；2.msg=磁盘已满");
    EXPECT_EQ(NoticeFailureReason(-2, L""), L":1.code=-2；2.msg=");
    EXPECT_EQ(ProbeStatusReason(404), L"1.获取文件大小的状态码为=404；");
    EXPECT_EQ(FormatDownloadDiagnostic(1, L"timeout", 12.5, true, 0),
              L"1.code=1；2.msg=timeout；3.缓存磁盘容量=12.50G；4.缓存读写权限=可读；"
              L"5.服务器连接状态code=0");
    EXPECT_EQ(FormatDownloadDiagnostic(7, L"x", 0.004, false, 65536),
              L"1.code=7；2.msg=x；3.缓存磁盘容量=0.00G；4.缓存读写权限=无权限；"
              L"5.服务器连接状态code=65536");
    // Texts beyond the 200 characters of the original buffers are kept whole.
    std::wstring longText(500, L'长');
    std::wstring reason = NoticeFailureReason(1, longText);
    EXPECT_EQ(reason.size(), 500u + 16u);
    EXPECT_EQ(reason.substr(reason.size() - 500), longText);
    std::wstring diagnostic = FormatDownloadDiagnostic(1, longText, 1, true, 0);
    EXPECT_NE(diagnostic.find(longText + L"；3."), std::wstring::npos);
}

TEST(FunnelReasons, WriteTestAndDiagnosticOfThisMachine) {
    analytics_test::TempDir dir;
    std::wstring package = Utils::ToWide(dir.file("__Package_Glyphora.exe"), 0);
    EXPECT_TRUE(WriteTest(package));
    EXPECT_FALSE(std::filesystem::exists(dir.file("__Package_Glyphora.exe")));
    analytics_test::WriteFile(dir.file("__Package_Glyphora.exe"), "old");
    EXPECT_TRUE(WriteTest(package)) << "a deletable leftover does not fail the test";
    EXPECT_FALSE(WriteTest(Utils::ToWide(dir.file("missing/p.exe"), 0)));
    EXPECT_FALSE(WriteTest(L""));
    if (::geteuid() != 0) {  // permissions do not stop root
        std::filesystem::create_directory(dir.file("ro"));
        std::filesystem::permissions(dir.file("ro"), std::filesystem::perms::owner_read |
                                                         std::filesystem::perms::owner_exec);
        EXPECT_FALSE(WriteTest(Utils::ToWide(dir.file("ro/p.exe"), 0)));
        std::filesystem::permissions(dir.file("ro"), std::filesystem::perms::owner_all);
    }
    std::wstring text = DownloadFailureDiagnostic(1004, L"broken", package);
    EXPECT_EQ(text.rfind(L"1.code=1004；2.msg=broken；3.缓存磁盘容量=", 0), 0u) << U8(text);
    EXPECT_NE(text.find(L"G；4.缓存读写权限=可读；5.服务器连接状态code="), std::wstring::npos)
        << U8(text);
}

// Analytics as the installer starts it, reporting to a collector on loopback, with a
// private data folder.
class Funnel : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(collector_.ok()) << collector_.stderrText();
        ca_ = std::make_unique<analytics_test::ScopedEnv>("CURL_CA_BUNDLE",
                                                          collector_.cert().c_str());
        url_ = std::make_unique<analytics_test::ScopedEnv>(kAnalyticsUrlVariable,
                                                           collector_.url().c_str());
        options_.ExeName = L"glyphora-installer";
        options_.DlAppVersion = L"2.0.1";
        saved_ = GetLaunchOptions().IsEnableAnalytics;
    }
    void TearDown() override {
        StopAnalytics(options_);
        GetLaunchOptions().IsEnableAnalytics = saved_;
    }

    analytics_test::Collector collector_;
    tracker_test::DataHome home_;
    std::unique_ptr<analytics_test::ScopedEnv> ca_, url_;
    LaunchOptions options_;
    bool saved_ = true;
};

TEST_F(Funnel, InstallationReportsArriveInOrderWithTheInstallerIdentity) {
    GetLaunchOptions().IsEnableAnalytics = true;
    StartAnalytics(options_);
    ASSERT_NE(globalTracker(), nullptr);
    std::string identity = home_.identityFile("Glyphora.downloader");
    std::string distinctId = U8(Utils::ReadProfileString(identity, L"Base", L"DistinctId", L""));
    ASSERT_FALSE(distinctId.empty());

    uint32_t now = 1000;
    InstallFunnel funnel(L"IN", L"/nonexistent/__Package_Glyphora.exe",
                         Utils::Stopwatch([&] { return now; }));
    ReportClick(kClickQuickInstall, AbTag(L"IN"));
    ReportView(AbTag(L"IN"));
    funnel.OnDownloaderStarted();
    funnel.OnEvent(DL_CODE_START, 0, L"");  // "下载器启动" was reported already
    funnel.OnEvent(DL_CODE_PROGRESS, 0.5, L"");
    Download::ReportTask(Download::kDownloadFailReasonEvent, ProbeStatusReason(503), 0, L"IN");
    funnel.OnEvent(DL_CODE_START, 0, L"");  // a restart: no second "下载器启动"
    now = 3500;
    funnel.OnEvent(DL_CODE_SUCCESS, 0, L"");
    funnel.OnEvent(IST_CODE_FAIL, 1000, L"Error=磁盘");
    funnel.OnEvent(IST_CODE_SUCCESS, 0, L"");
    ReportTask(L"坏标签", L"", 0, AbTag(L"bad"));  // an invalid tag is left out, not fatal
    EXPECT_TRUE(collector_.records().empty()) << "task, click and view reports are deferred";
    StopAnalytics(options_);
    EXPECT_EQ(globalTracker(), nullptr);

    auto records = collector_.waitForRecords(10, std::chrono::seconds(20));
    ASSERT_EQ(records.size(), 10u) << collector_.stderrText();
    struct Expected {
        const char* event;
        std::string name;
        std::string nameKey;
    };
    const Expected expected[] = {
        {"OvEventClick", "立即安装", "ov_name"},
        {"OvEventView", "安装中", "ov_name"},
        {"OvEventTask", "下载器启动", "ov_task_name"},
        {"OvEventTask", "开始下载大包", "ov_task_name"},
        {"OvEventTask", "下载失败原因", "ov_task_name"},
        {"OvEventTask", "开始下载大包", "ov_task_name"},
        {"OvEventTask", "大包下载完毕", "ov_task_name"},
        {"OvEventTask", "安装失败原因", "ov_task_name"},
        {"OvEventTask", "安装成功", "ov_task_name"},
        {"OvEventTask", "坏标签", "ov_task_name"},
    };
    for (size_t i = 0; i < records.size(); ++i) {
        const std::string& r = records[i];
        EXPECT_EQ(EventOf(r), expected[i].event) << i << ": " << r;
        EXPECT_TRUE(HasProperty(r, expected[i].nameKey, Quoted(expected[i].name))) << i << r;
        EXPECT_NE(r.find("\"distinct_id\":\"" + distinctId + "\""), std::string::npos) << r;
        EXPECT_TRUE(HasProperty(r, "$is_first_time", "true")) << r;
        EXPECT_TRUE(HasProperty(r, "ov_app_id", Quoted("Glyphora.downloader"))) << r;
        EXPECT_TRUE(HasProperty(r, "$app_version", Quoted("1.7.9"))) << r;
        EXPECT_TRUE(HasProperty(r, "ov_app_store", Quoted("glyphora-installer"))) << r;
        EXPECT_TRUE(HasProperty(r, "ov_dlapp_id", Quoted("Glyphora"))) << r;
        EXPECT_TRUE(HasProperty(r, "ov_dlapp_version", Quoted("2.0.1"))) << r;
        if (i + 1 < records.size()) {
            EXPECT_TRUE(HasProperty(r, "ovc_ab", Quoted("IN"))) << r;
        } else {
            EXPECT_FALSE(HasKey(r, "ovc_ab")) << r;
        }
        if (std::string(expected[i].event) == "OvEventTask") {
            EXPECT_TRUE(HasProperty(r, "ov_task_result", Quoted("Success"))) << r;
            EXPECT_TRUE(HasKey(r, "ov_task_elapsed")) << r;
        }
    }
    EXPECT_TRUE(HasProperty(records[0], "ov_click_type", Quoted("Others")));
    EXPECT_TRUE(HasProperty(records[4], "ov_reason", Quoted("1.获取文件大小的状态码为=503；")));
    EXPECT_TRUE(HasProperty(records[6], "ov_task_elapsed", "2.5")) << records[6];
    EXPECT_TRUE(HasProperty(records[7], "ov_reason", Quoted(":1.code=1000；2.msg=Error=磁盘")));
    EXPECT_FALSE(HasKey(records[8], "ov_reason"));
}

TEST_F(Funnel, DisabledAnalyticsSendsAndWritesNothing) {
    options_.IsEnableAnalytics = false;
    GetLaunchOptions().IsEnableAnalytics = false;
    StartAnalytics(options_);
    EXPECT_EQ(globalTracker(), nullptr);
    ReportClick(kClickQuickInstall, AbTag(L"IN"));
    ReportTask(kEventInstallSuccess, L"", 0, AbTag(L"IN"));
    ReportCrash();
    Download::ReportTask(Download::kDownloadFailReasonEvent, ProbeStatusReason(500), 0, L"IN");
    StopAnalytics(options_);
    std::error_code ec;
    EXPECT_TRUE(std::filesystem::is_empty(home_.dir().path(), ec)) << "no identity file";

    // Even a tracker created by someone else receives nothing while the switch is off.
    GetLaunchOptions().IsEnableAnalytics = true;
    options_.IsEnableAnalytics = true;
    StartAnalytics(options_);
    GetLaunchOptions().IsEnableAnalytics = false;
    ReportTask(kEventInstallSuccess, L"", 0, AbTag(L"IN"));
    GetLaunchOptions().IsEnableAnalytics = true;
    ReportTask(kEventDownloadStart, L"", 0, AbTag(L"IN"));
    StopAnalytics(options_);
    auto records = collector_.waitForRecords(1, std::chrono::seconds(20));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    records = collector_.records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_TRUE(HasProperty(records[0], "ov_task_name", Quoted("开始下载大包")));
}

TEST_F(Funnel, CrashReportFlushesAtOnce) {
    GetLaunchOptions().IsEnableAnalytics = true;
    StartAnalytics(options_);
    ReportClick(kClickTryNow, AbTag(L"IN"));
    ReportCrashExit(20000);
    auto records = collector_.waitForRecords(3, std::chrono::seconds(20));
    ASSERT_EQ(records.size(), 3u) << collector_.stderrText();
    EXPECT_EQ(EventOf(records[0]), "OvEventClick");
    EXPECT_TRUE(HasProperty(records[1], "ov_task_name", Quoted("崩溃退出")));
    EXPECT_EQ(EventOf(records[2]), "AppCrashed");
    EXPECT_TRUE(HasProperty(records[2], "app_crashed_reason", Quoted("崩溃")));
    EXPECT_FALSE(HasKey(records[2], "ovc_ab"));
}

}  // namespace
}  // namespace orvan::analytics
