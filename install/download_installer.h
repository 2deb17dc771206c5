// CDownloadInstaller: one installation, in phases chained by events. Optionally the old
// version's removal, then the package download, then the package run, then the package
// file's removal.
//
// Every event of the components is forwarded unchanged to the owner callback first; the
// orchestrator's own reaction (start the next phase, clean up) follows. Reactions run on
// the thread that raised the event: download threads for 1001-1006, the "UnInstaller"
// worker for 5001-5005, the package worker for 2001-3009. The owner must not call Init or
// Start while a run is in progress.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <string>

#include "download/downloader.h"
#include "download/pacing.h"
#include "install/install_events.h"
#include "install/package_runner.h"
#include "install/uninstall_runner.h"

class CDownloadInstaller {
public:
    CDownloadInstaller(InstallCallback owner, std::wstring url, std::wstring uninstallerPath,
                       std::wstring folder, bool desktopShortcut, bool quickLaunchShortcut,
                       bool consoleUserIsAdmin);
    /// Destroys the downloader (stopping it), then the package runner, then the uninstaller
    /// runner (each joining its worker), then the callback.
    ~CDownloadInstaller();
    CDownloadInstaller(const CDownloadInstaller&) = delete;
    CDownloadInstaller& operator=(const CDownloadInstaller&) = delete;

    /// Stores the values for the next Start. `existingFolder` plays no part in the run.
    void Init(std::wstring url, std::wstring existingFolder, std::wstring uninstallerPath,
              std::wstring folder, bool desktopShortcut, bool quickLaunchShortcut,
              bool consoleUserIsAdmin, bool processIsElevated);

    /// Starts a run and returns at once. The first start creates the downloader (by the
    /// launch option DownloadType) and the package runner; later starts reuse them with the
    /// URL and package path they were created with. When the uninstaller path names an
    /// existing file, its copy "Glyphora_un_asa.exe" in the temporary folder runs first and
    /// the download starts on UNIST_CODE_SUCCESS; otherwise the download starts now.
    void Start();

    /// folder + "/__Package_Glyphora.exe".
    static std::wstring PackagePath(const std::wstring& folder);

    /// Test seams: the downloader's waits, and the package pump's pause.
    void SetDownloadPacing(Download::Pacing pacing) { pacing_ = std::move(pacing); }
    void SetPackagePumpPause(std::chrono::milliseconds pause) { pumpPause_ = pause; }

private:
    void OnDownloadEvent(int32_t code, double value, const wchar_t* text);
    void OnRemovalEvent(int32_t code, double value, const wchar_t* text);
    void OnInstallEvent(int32_t code, double value, const wchar_t* text);
    void StartRemoval();

    // The first removal outcome of a run decides: only a success starts the download, and
    // only once, whatever the uninstaller prints afterwards.
    std::atomic<bool> removalSettled_{false};

    std::unique_ptr<CUninstallRunner> uninstaller_;
    std::unique_ptr<CDownloader> downloader_;
    std::unique_ptr<CPackageRunner> packageRunner_;
    std::wstring url_;
    std::wstring uninstallerPath_;
    std::wstring folder_;
    std::wstring packagePath_;
    bool desktopShortcut_;
    bool quickLaunchShortcut_;
    bool consoleUserIsAdmin_;
    bool processIsElevated_ = true;
    InstallCallback owner_;

    Download::Pacing pacing_;
    std::chrono::milliseconds pumpPause_ = Utils::kPackagePumpPause;
};
