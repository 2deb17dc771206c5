// The installer's own use of the tracker: start and stop with the installer's identity, the
// four report operations, the A/B tag, the funnel's event names and reason texts, and the
// funnel of one installation as its events arrive.
//
// Every report operation does nothing while the launch option IsEnableAnalytics is false or
// no tracker is published, and never fails visibly. Names and texts are wide here and are
// sent as UTF-8.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "analytics/tracker.h"
#include "app/launch_options.h"
#include "utils/stopwatch.h"

namespace orvan::analytics {

/// Extra properties of a report: only "AB" is read; its value becomes "ovc_ab".
using ExtraProperties = std::map<std::wstring, std::wstring>;
inline constexpr wchar_t kAbKey[] = L"AB";
/// The tag of reports made outside the main window.
inline constexpr wchar_t kTagOutsideWindow[] = L"IN";

/// Points analytics at another collection endpoint (tests, people running their own
/// collector); unset or empty: DefaultServerUrl().
inline constexpr char kAnalyticsUrlVariable[] = "GLYPHORA_ANALYTICS_URL";

// Funnel event names.
inline constexpr wchar_t kEventCurlInitFailed[] = L"libcurl初始化失败";
inline constexpr wchar_t kEventCrashExit[] = L"崩溃退出";
inline constexpr wchar_t kCrashReason[] = L"崩溃";
inline constexpr wchar_t kEventDownloaderStarted[] = L"下载器启动";
inline constexpr wchar_t kEventDownloadStart[] = L"开始下载大包";
inline constexpr wchar_t kEventDownloadDone[] = L"大包下载完毕";
inline constexpr wchar_t kEventDownloadFailReason[] = L"下载失败原因";
inline constexpr wchar_t kEventInstallFailReason[] = L"安装失败原因";
inline constexpr wchar_t kEventInstallSuccess[] = L"安装成功";
inline constexpr wchar_t kViewInstalling[] = L"安装中";
inline constexpr wchar_t kClickQuickInstall[] = L"立即安装";
inline constexpr wchar_t kClickCustomInstall[] = L"自定义安装";
inline constexpr wchar_t kClickCustomInstallNow[] = L"自定义安装_立即安装";
inline constexpr wchar_t kClickTryNow[] = L"立即体验";

/// The installer's tracker identity: app name AppName + DlAppNameSuffix, version
/// AppVersion, store ExeName, download-app id AppName and version DlAppVersion, edition 0,
/// server from kAnalyticsUrlVariable (else the default).
TrackerConfig InstallerTrackerConfig(const LaunchOptions& options);

/// When IsEnableAnalytics: creates the tracker and routes the download engine's task
/// reports (Download::ReportTask) to ReportTask.
void StartAnalytics(const LaunchOptions& options);
/// When IsEnableAnalytics: detaches the download hook and releases the tracker, whose
/// shutdown makes the final flushes.
void StopAnalytics(const LaunchOptions& options);

/// ExtraProperties holding "AB" = `tag`.
ExtraProperties AbTag(const std::wstring& tag);

/// trackTask {name, reason, elapsed, result Success}. Any thread.
void ReportTask(const std::wstring& name, const std::wstring& reason, float elapsed,
                const ExtraProperties& extra);
/// trackClick {name, click type Others}.
void ReportClick(const std::wstring& name, const ExtraProperties& extra);
/// trackView {name "安装中"}.
void ReportView(const ExtraProperties& extra);
/// trackCrash with the reason "崩溃".
void ReportCrash();

/// The crash reporter's two reports ("崩溃退出", then the crash), then a wait of at most
/// `flushWaitMs` for the flush they start, so they leave before the process ends.
void ReportCrashExit(int flushWaitMs);
/// ReportCrashExit with a 5-second wait: the report function of InstallCrashReporter.
void ReportCrashAndFlush();

/// "libcurl初始化失败", tagged "IN". Start-up calls it before analytics starts, so it is
/// dropped; it keeps its place so the report exists should the order ever change.
void ReportCurlInitFailed();

/// ":1.code=<code>；2.msg=<text>" (installation failure, download failure detail).
std::wstring NoticeFailureReason(int64_t code, const std::wstring& text);
/// "1.获取文件大小的状态码为=<status>；" (the HTTP client's size probe).
std::wstring ProbeStatusReason(int64_t status);
/// The download-failure diagnostic from its parts:
/// "1.code=..；2.msg=..；3.缓存磁盘容量=<GiB, 2 decimals>G；4.缓存读写权限=<可读|无权限>；
/// 5.服务器连接状态code=<connection>". Texts of any length are kept whole.
std::wstring FormatDownloadDiagnostic(int64_t code, const std::wstring& text, double freeGiB,
                                      bool writable, int32_t connection);
/// Whether a file can be created (and removed) at `path`; an existing file there that cannot
/// be deleted fails the test.
bool WriteTest(const std::wstring& path);
/// The diagnostic for this machine: free space of the package's folder, write test at the
/// package path, connectivity code.
std::wstring DownloadFailureDiagnostic(int64_t code, const std::wstring& text,
                                       const std::wstring& packagePath);

/// The funnel of one installation, fed with its events in arrival order on one thread: the
/// downloader start (once), each download start, the download's end with its duration, the
/// failure reasons and the installation's success, all with the given tag.
class InstallFunnel {
public:
    InstallFunnel(std::wstring tag, std::wstring packagePath,
                  Utils::Stopwatch stopwatch = Utils::Stopwatch());
    void OnEvent(int32_t code, double value, const std::wstring& text);
    /// "下载器启动", once per funnel: the first of this call (the window's downloader-started
    /// message) and the first download start.
    void OnDownloaderStarted();

private:
    std::wstring tag_;
    std::wstring packagePath_;
    Utils::Stopwatch stopwatch_;
    bool downloaderReported_ = false;
};

}  // namespace orvan::analytics
