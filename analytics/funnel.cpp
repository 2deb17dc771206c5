#include "analytics/funnel.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include "analytics/core/flush.h"
#include "download/install_callback.h"
#include "download/task_report.h"
#include "install/install_events.h"
#include "utils/disk_space.h"
#include "utils/network.h"
#include "utils/text.h"
#include "utils/trace_log.h"

namespace orvan::analytics {
namespace {

// How long the crash reporter waits for its reports to leave (the transfer limit is 3 s).
constexpr int kCrashFlushWaitMs = 5000;

std::string Utf8(const std::wstring& text) {
    return Utils::ToNarrow(text, Utils::kCodePageUtf8);
}

// Reports only while analytics is enabled and a tracker is published.
std::shared_ptr<Tracker> ActiveTracker() {
    if (!GetLaunchOptions().IsEnableAnalytics)
        return nullptr;
    return globalTracker();
}

// The context of one report: "ovc_ab" from the "AB" entry for `type`. An invalid tag is
// left out (with a trace line) rather than failing the report: reports come from worker
// threads and the crash reporter, where nothing may escape.
OvContextProperties ContextFor(EventType type, const ExtraProperties& extra) {
    OvContextProperties context;
    auto it = extra.find(kAbKey);
    if (it == extra.end())
        return context;
    std::string tag = Utf8(it->second);
    try {
        if (isValidABValue(tag))
            context.setProperty({type}, kAbPropertyKey, tag);
    } catch (const OvException& e) {
        TRACE(L"analytics: AB tag \"%ls\" left out: %s\r\n", it->second.c_str(), e.what());
    }
    return context;
}

std::wstring Number(const wchar_t* format, int64_t value) {
    wchar_t text[32];
    std::swprintf(text, 32, format, static_cast<long long>(value));
    return text;
}

}  // namespace

TrackerConfig InstallerTrackerConfig(const LaunchOptions& options) {
    TrackerConfig config;
    config.appName = Utf8(options.AppName + options.DlAppNameSuffix);
    config.appVersion = Utf8(options.AppVersion);
    config.appStore = Utf8(options.ExeName);
    config.dlAppId = Utf8(options.AppName);
    config.dlAppVersion = Utf8(options.DlAppVersion);
    config.edition = 0;
    if (const char* url = std::getenv(kAnalyticsUrlVariable); url != nullptr) {
        config.serverUrl = url;
    }
    return config;
}

void StartAnalytics(const LaunchOptions& options) {
    if (!options.IsEnableAnalytics)
        return;
    Tracker::create(InstallerTrackerConfig(options));
    Download::SetTaskReporter([](const std::wstring& event, const std::wstring& reason,
                                 double elapsed, const std::wstring& ab) {
        ReportTask(event, reason, static_cast<float>(elapsed), AbTag(ab));
    });
}

void StopAnalytics(const LaunchOptions& options) {
    if (!options.IsEnableAnalytics)
        return;
    Download::SetTaskReporter({});
    Tracker::release();
}

ExtraProperties AbTag(const std::wstring& tag) {
    return {{kAbKey, tag}};
}

void ReportTask(const std::wstring& name, const std::wstring& reason, float elapsed,
                const ExtraProperties& extra) {
    auto tracker = ActiveTracker();
    if (!tracker)
        return;
    OvEventTask task;
    task.name = Utf8(name);
    task.reason = Utf8(reason);
    task.elapsed = elapsed;
    task.result = OvResult::Success;
    tracker->trackTask(task, ContextFor(EventType::Task, extra));
}

void ReportClick(const std::wstring& name, const ExtraProperties& extra) {
    auto tracker = ActiveTracker();
    if (!tracker)
        return;
    OvEventClick click;
    click.name = Utf8(name);
    click.clickType = ClickType::Others;
    tracker->trackClick(click, ContextFor(EventType::Click, extra));
}

void ReportView(const ExtraProperties& extra) {
    auto tracker = ActiveTracker();
    if (!tracker)
        return;
    OvEventView view;
    view.name = Utf8(kViewInstalling);
    tracker->trackView(view, ContextFor(EventType::View, extra));
}

void ReportCrash() {
    auto tracker = ActiveTracker();
    if (!tracker)
        return;
    tracker->trackCrash(Utf8(kCrashReason));
}

void ReportCrashExit(int flushWaitMs) {
    ReportTask(kEventCrashExit, L"", 0, AbTag(kTagOutsideWindow));
    ReportCrash();
    analytics_core::WaitForDetachedFlushJobs(std::chrono::milliseconds(flushWaitMs));
}

void ReportCrashAndFlush() {
    ReportCrashExit(kCrashFlushWaitMs);
}

void ReportCurlInitFailed() {
    ReportTask(kEventCurlInitFailed, L"", 0, AbTag(kTagOutsideWindow));
}

std::wstring NoticeFailureReason(int64_t code, const std::wstring& text) {
    return Number(L":1.code=%lld", code) + L"；2.msg=" + text;
}

std::wstring ProbeStatusReason(int64_t status) {
    return Number(L"1.获取文件大小的状态码为=%lld", status) + L"；";
}

std::wstring FormatDownloadDiagnostic(int64_t code, const std::wstring& text, double freeGiB,
                                      bool writable, int32_t connection) {
    wchar_t capacity[64];
    std::swprintf(capacity, 64, L"%.2f", freeGiB);
    return Number(L"1.code=%lld", code) + L"；2.msg=" + text + L"；3.缓存磁盘容量=" + capacity +
           L"G；4.缓存读写权限=" + (writable ? L"可读" : L"无权限") +
           Number(L"；5.服务器连接状态code=%lld", connection);
}

bool WriteTest(const std::wstring& path) {
    std::string narrow = Utils::ToNarrow(path, Utils::kCodePageSystem);
    if (narrow.empty())
        return false;
    struct stat st {};
    if (::lstat(narrow.c_str(), &st) == 0 && ::unlink(narrow.c_str()) != 0)
        return false;
    int fd = ::open(narrow.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0)
        return false;
    ::close(fd);
    ::unlink(narrow.c_str());
    return true;
}

std::wstring DownloadFailureDiagnostic(int64_t code, const std::wstring& text,
                                       const std::wstring& packagePath) {
    int32_t connection = static_cast<int32_t>(Utils::CheckNetwork());
    bool writable = WriteTest(packagePath);
    std::wstring folder = packagePath.substr(0, packagePath.find_last_of(L'/') + 1);
    Utils::HardDiskManager disk;
    double freeGiB = disk.CheckFreeSpace(folder.empty() ? packagePath : folder)
                         ? static_cast<double>(disk.FreeBytesForUser()) / Utils::kBytesPerGiB
                         : 0.0;
    return FormatDownloadDiagnostic(code, text, freeGiB, writable, connection);
}

InstallFunnel::InstallFunnel(std::wstring tag, std::wstring packagePath, Utils::Stopwatch stopwatch)
    : tag_(std::move(tag)),
      packagePath_(std::move(packagePath)),
      stopwatch_(std::move(stopwatch)) {}

void InstallFunnel::OnDownloaderStarted() {
    if (downloaderReported_)
        return;
    downloaderReported_ = true;
    ReportTask(kEventDownloaderStarted, L"", 0, AbTag(tag_));
}

void InstallFunnel::OnEvent(int32_t code, double value, const std::wstring& text) {
    const ExtraProperties tag = AbTag(tag_);
    switch (code) {
        case DL_CODE_START:
            OnDownloaderStarted();
            stopwatch_.Start();
            ReportTask(kEventDownloadStart, L"", 0, tag);
            break;
        case DL_CODE_SUCCESS:
            ReportTask(kEventDownloadDone, L"", stopwatch_.ElapsedSeconds(), tag);
            break;
        case DL_CODE_FAIL:
            ReportTask(kEventDownloadFailReason,
                       DownloadFailureDiagnostic(static_cast<int64_t>(value), text, packagePath_),
                       0, tag);
            break;
        case DL_CODE_FAIL_REASON:
            ReportTask(kEventDownloadFailReason,
                       NoticeFailureReason(static_cast<int64_t>(value), text), 0, tag);
            break;
        case IST_CODE_FAIL:
            ReportTask(kEventInstallFailReason,
                       NoticeFailureReason(static_cast<int64_t>(value), text), 0, tag);
            break;
        case IST_CODE_SUCCESS:
            ReportTask(kEventInstallSuccess, L"", 0, tag);
            break;
        default:
            break;
    }
}

}  // namespace orvan::analytics
