#include "install/download_installer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <mutex>
#include <utility>

#include "app/launch_options.h"
#include "utils/folders.h"
#include "utils/text.h"
#include "utils/trace_log.h"

namespace {

// The package file of the last failed download, kept for the whole process so a later
// failure removes it too.
std::mutex g_lastFailedMutex;
std::wstring g_lastFailedPackage;

std::string Narrow(const std::wstring& text) {
    return Utils::ToNarrow(text, Utils::kCodePageSystem);
}

bool FileExists(const std::wstring& path) {
    std::string narrow = Narrow(path);
    return !narrow.empty() && ::access(narrow.c_str(), F_OK) == 0;
}

void DeleteFile(const std::wstring& path) {
    std::string narrow = Narrow(path);
    if (!narrow.empty() && ::unlink(narrow.c_str()) == 0) {
        TRACE(L"deleted %ls\r\n", path.c_str());
    }
}

// Windows runs any ".exe"; this OS needs the execute bits.
void MakeExecutable(const std::wstring& path) {
    std::string narrow = Narrow(path);
    struct stat info;
    if (narrow.empty() || ::stat(narrow.c_str(), &info) != 0)
        return;
    ::chmod(narrow.c_str(), info.st_mode | S_IXUSR | S_IXGRP | S_IXOTH);
}

// Copies over `to` through a temporary file and a rename: a running copy from an earlier
// removal keeps its file, and a half-written copy never carries the final name.
bool CopyReplacing(const std::wstring& from, const std::wstring& to) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path target(Narrow(to));
    fs::path temp = target;
    temp += ".tmp";
    fs::copy_file(fs::path(Narrow(from)), temp, fs::copy_options::overwrite_existing, ec);
    if (ec) {
        TRACE(L"copy %ls failed: %s\r\n", from.c_str(), ec.message().c_str());
        fs::remove(temp, ec);
        return false;
    }
    fs::rename(temp, target, ec);
    if (ec) {
        TRACE(L"rename to %ls failed: %s\r\n", to.c_str(), ec.message().c_str());
        fs::remove(temp, ec);
        return false;
    }
    return true;
}

std::wstring ParentFolder(const std::wstring& path) {
    size_t slash = path.find_last_of(L'/');
    if (slash == std::wstring::npos)
        return {};
    return path.substr(0, slash);
}

}  // namespace

CDownloadInstaller::CDownloadInstaller(InstallCallback owner, std::wstring url,
                                       std::wstring uninstallerPath, std::wstring folder,
                                       bool desktopShortcut, bool quickLaunchShortcut,
                                       bool consoleUserIsAdmin)
    : url_(std::move(url)),
      uninstallerPath_(std::move(uninstallerPath)),
      folder_(std::move(folder)),
      desktopShortcut_(desktopShortcut),
      quickLaunchShortcut_(quickLaunchShortcut),
      consoleUserIsAdmin_(consoleUserIsAdmin),
      owner_(std::move(owner)) {}

CDownloadInstaller::~CDownloadInstaller() {
    downloader_.reset();
    packageRunner_.reset();
    uninstaller_.reset();
    owner_ = nullptr;
}

std::wstring CDownloadInstaller::PackagePath(const std::wstring& folder) {
    std::wstring name = std::wstring(L"__Package_") + L"Glyphora" + L".exe";
    if (!folder.empty() && folder.back() == L'/')
        return folder + name;
    return folder + L"/" + name;
}

void CDownloadInstaller::Init(std::wstring url, std::wstring existingFolder,
                              std::wstring uninstallerPath, std::wstring folder,
                              bool desktopShortcut, bool quickLaunchShortcut,
                              bool consoleUserIsAdmin, bool processIsElevated) {
    (void)existingFolder;  // plays no part in the sequence
    url_ = std::move(url);
    uninstallerPath_ = std::move(uninstallerPath);
    folder_ = std::move(folder);
    desktopShortcut_ = desktopShortcut;
    quickLaunchShortcut_ = quickLaunchShortcut;
    consoleUserIsAdmin_ = consoleUserIsAdmin;
    processIsElevated_ = processIsElevated;
}

void CDownloadInstaller::Start() {
    packagePath_ = PackagePath(folder_);
    const int32_t downloadType = GetLaunchOptions().DownloadType;
    TRACE(L"DL_TYPE=%d\r\n", downloadType);
    if (!downloader_) {
        downloader_ = CreateDownloader(
            downloadType,
            [this](int32_t code, double value, const wchar_t* text) {
                OnDownloadEvent(code, value, text);
            },
            url_, packagePath_, pacing_);
    }
    if (!packageRunner_) {
        packageRunner_ = std::make_unique<CPackageRunner>(
            [this](int32_t code, double value, const wchar_t* text) {
                OnInstallEvent(code, value, text);
            },
            L"\"" + packagePath_ + L"\"", folder_);
    }
    packageRunner_->SetFolder(folder_);
    packageRunner_->SetSwitches(
        {consoleUserIsAdmin_, processIsElevated_, desktopShortcut_, quickLaunchShortcut_});
    packageRunner_->SetPumpPause(pumpPause_);

    if (!uninstallerPath_.empty() && FileExists(uninstallerPath_)) {
        StartRemoval();
    } else {
        downloader_->Start();
    }
}

void CDownloadInstaller::StartRemoval() {
    std::wstring tempFolder = Utils::GetTempFolder();
    std::wstring copy = tempFolder.empty() ? std::wstring() : tempFolder + kUninstallerCopyName;
    if (!copy.empty() && CopyReplacing(uninstallerPath_, copy))
        MakeExecutable(copy);
    std::wstring oldFolder = ParentFolder(uninstallerPath_);
    removalSettled_ = false;
    uninstaller_ = std::make_unique<CUninstallRunner>(
        [this](int32_t code, double value, const wchar_t* text) {
            OnRemovalEvent(code, value, text);
        },
        copy, oldFolder);
    uninstaller_->Start();
}

void CDownloadInstaller::OnDownloadEvent(int32_t code, double value, const wchar_t* text) {
    if (owner_)
        owner_(code, value, text);
    switch (code) {
        case DL_CODE_START:
            TRACE(L"DL_CODE_START\r\n");
            Utils::CreateDirectoryTree(folder_);
            break;
        case DL_CODE_PROGRESS:
            TRACE(L"DL_CODE_PROGRESS\r\n");
            break;
        case DL_CODE_SUCCESS:
            TRACE(L"DOWNLOAD_SUCCESS\r\n");
            MakeExecutable(packagePath_);
            packageRunner_->Start();
            TRACE(L"DL_CODE_SUCCESS\r\n");
            break;
        case DL_CODE_FAIL: {
            TRACE(L"DL_CODE_FAIL\r\n");
            DeleteFile(packagePath_);
            std::lock_guard<std::mutex> lock(g_lastFailedMutex);
            if (!g_lastFailedPackage.empty())
                DeleteFile(g_lastFailedPackage);
            g_lastFailedPackage = packagePath_;
            break;
        }
        case DL_CODE_RETRY:
            TRACE(L"DL_CODE_RETRY\r\n");
            downloader_->Start();
            break;
        default:
            break;
    }
}

void CDownloadInstaller::OnRemovalEvent(int32_t code, double value, const wchar_t* text) {
    if (owner_)
        owner_(code, value, text);
    if (code >= UNIST_CODE_START && code <= UNIST_CODE_ERROR) {
        TRACE(L"%ls\r\n", InstallEventName(code));
    }
    if (code != UNIST_CODE_SUCCESS && code != UNIST_CODE_FAIL && code != UNIST_CODE_ERROR)
        return;
    if (removalSettled_.exchange(true)) {
        TRACE(L"removal already settled; %ls ignored\r\n", InstallEventName(code));
        return;
    }
    if (code == UNIST_CODE_SUCCESS)
        downloader_->Start();
}

void CDownloadInstaller::OnInstallEvent(int32_t code, double value, const wchar_t* text) {
    if (owner_)
        owner_(code, value, text);
    switch (code) {
        case IST_CODE_START:
            TRACE(L"IST_CODE_START\r\n");
            break;
        case IST_CODE_SUCCESS:
            TRACE(L"INSTALL_SUCCESS\r\n");
            DeleteFile(packagePath_);
            break;
        case IST_CODE_FAIL:
            TRACE(L"IST_CODE_FAIL\r\n");
            DeleteFile(packagePath_);
            break;
        default:
            break;
    }
}
