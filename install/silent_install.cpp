#include "install/silent_install.h"

#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <mutex>

#include "analytics/funnel.h"
#include "download/install_callback.h"
#include "install/download_installer.h"
#include "install/install_checks.h"
#include "install/install_record.h"
#include "install/progress_percent.h"
#include "utils/command_line.h"
#include "utils/text.h"
#include "utils/trace_log.h"

namespace {

struct Notice {
    int32_t code;
    double value;
    std::wstring text;
};

// Events cross from the orchestrator's threads to the main thread here, as the window's
// posted notices do.
class NoticeQueue {
public:
    void Post(int32_t code, double value, const wchar_t* text) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            notices_.push_back({code, value, text ? text : L""});
        }
        cv_.notify_one();
    }
    Notice Take() {
        std::unique_lock<std::mutex> lock(mutex_);
        cv_.wait(lock, [this] { return !notices_.empty(); });
        Notice notice = std::move(notices_.front());
        notices_.pop_front();
        return notice;
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<Notice> notices_;
};

std::string Utf8(const std::wstring& text) {
    return Utils::ToNarrow(text, Utils::kCodePageUtf8);
}

// The terminal's progress line: rewritten in place on a terminal, one line per change
// otherwise (a log file then shows every step).
class ProgressLine {
public:
    ProgressLine() : tty_(::isatty(STDOUT_FILENO) == 1) {}
    void Show(int percent) {
        if (percent == last_)
            return;
        last_ = percent;
        std::printf(tty_ ? "\rInstalling: %d%%" : "Installing: %d%%\n", percent);
        std::fflush(stdout);
        open_ = tty_;
    }
    void Say(const std::string& line) {
        if (open_)
            std::printf("\n");
        open_ = false;
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    }

private:
    bool tty_;
    bool open_ = false;
    int last_ = -1;
};

int RefusalExitCode(InstallRefusal refusal) {
    switch (refusal) {
        case InstallRefusal::kUninstallerRunning:
        case InstallRefusal::kProductRunning:
            return kSilentProductRunning;
        case InstallRefusal::kInvalidFolder:
            return kSilentInvalidFolder;
        case InstallRefusal::kLowDiskSpace:
            return kSilentLowDiskSpace;
        case InstallRefusal::kPoorNetwork:
            return kSilentPoorNetwork;
        case InstallRefusal::kNone:
            break;
    }
    return kSilentSuccess;
}

}  // namespace

namespace {

std::vector<std::wstring> WideArguments(int argc, char** argv) {
    std::vector<std::wstring> arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.push_back(Utils::ToWide(argv[i] ? argv[i] : "", Utils::kCodePageSystem));
    }
    return arguments;
}

}  // namespace

bool IsSilentRun(int argc, char** argv) {
    return Utils::CommandLine(WideArguments(argc, argv)).Has(kSilentSwitch);
}

int RunSilentInstall(const LaunchOptions& options, int argc, char** argv) {
    return RunSilentInstall(options, WideArguments(argc, argv));
}

int RunSilentInstall(const LaunchOptions& options, const std::vector<std::wstring>& arguments) {
    Utils::CommandLine commandLine(arguments);
    InstallRecord existing = ReadInstallRecord();
    FolderFacts facts = CurrentFolderFacts(existing.folder, existing.uninstallerPath);

    std::wstring folder = commandLine.GetString(kInstallDirSwitch);
    if (folder.empty()) {
        folder = DefaultInstallFolder(facts);
    } else {
        std::error_code ec;
        std::filesystem::path absolute =
            std::filesystem::absolute(std::filesystem::path(folder), ec);
        if (!ec)
            folder = absolute.lexically_normal().wstring();
        while (folder.size() > 1 && folder.back() == L'/')
            folder.pop_back();
    }
    ProgressLine progress;
    if (!existing.folder.empty())
        progress.Say("Existing installation: " + Utf8(existing.folder));
    progress.Say("Installing Lexivo into " + Utf8(folder));

    InstallRefusal refusal = CheckBeforeInstall(folder, options.IsCheckNet);
    if (refusal != InstallRefusal::kNone) {
        progress.Say(std::string("Not installed: ") + RefusalName(refusal));
        return RefusalExitCode(refusal);
    }
    std::wstring oldUninstaller =
        KeepsOldVersion(existing.folder, folder) ? std::wstring() : existing.uninstallerPath;

    NoticeQueue queue;
    // The installation's analytics funnel, tagged as reports made outside the window.
    orvan::analytics::InstallFunnel funnel(options.EventTag,
                                           CDownloadInstaller::PackagePath(folder));
    CDownloadInstaller installer([&queue](int32_t code, double value,
                                          const wchar_t* text) { queue.Post(code, value, text); },
                                 L"", L"", L"", true, true, true);
    installer.Init(options.DownloadUrl, existing.folder, oldUninstaller, folder, true, true,
                   facts.consoleUserIsAdmin, facts.processIsAdmin);
    installer.Start();

    std::wstring installDir = folder, childUninstaller, failReason;
    InstallProgress installProgress;
    for (;;) {
        Notice n = queue.Take();
        funnel.OnEvent(n.code, n.value, n.text);
        switch (n.code) {
            case DL_CODE_START:
                progress.Show(0);
                break;
            case DL_CODE_PROGRESS:
                progress.Show(DownloadPercent(n.value, options.DownloadScale));
                break;
            case DL_CODE_FAIL_REASON:
                failReason = n.text;
                break;
            case DL_CODE_FAIL:
                progress.Say("Download failed" +
                             (failReason.empty() ? std::string() : ": " + Utf8(failReason)));
                return kSilentDownloadFailed;
            case IST_CODE_START:
                WriteProductSettings(installDir);
                break;
            case IST_CODE_PROGRESS:
                progress.Show(installProgress.Next(n.value, options.DownloadScale));
                break;
            case IST_CODE_INSTPATH:
                installDir = n.text;
                break;
            case IST_CODE_UNINSTEP:
                childUninstaller = n.text;
                break;
            case IST_CODE_MESSAGE:
                progress.Say("Message: " + Utf8(n.text));
                break;
            case IST_CODE_SUCCESS:
                progress.Show(100);
                WriteInstallRecord(installDir, childUninstaller);
                WriteProductSettings(installDir);
                progress.Say("Installed Lexivo into " + Utf8(installDir));
                return kSilentSuccess;
            case IST_CODE_FAIL:
                progress.Say("Installation failed: " +
                             (n.text.empty() ? std::string("安装失败") : Utf8(n.text)));
                return kSilentInstallFailed;
            case UNIST_CODE_FAIL:
            case UNIST_CODE_ERROR:
                progress.Say("Removing the old version failed" +
                             (n.text.empty() ? std::string() : ": " + Utf8(n.text)));
                return kSilentRemovalFailed;
            default:
                break;
        }
    }
}
