// Runs the downloaded package silently and follows its progress lines.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "install/install_events.h"
#include "utils/child_process.h"
#include "utils/thread.h"

/// What the package is told besides its folder.
struct PackageSwitches {
    bool consoleUserIsAdmin = false;   ///< "-adminact"
    bool processIsElevated = true;     ///< "-authorizationact"
    bool desktopShortcut = false;      ///< "-dsc"
    bool quickLaunchShortcut = false;  ///< "-ssc"
};

/// The package's command line: the quoted package path, " /S -console=show -version=1.0.0",
/// the four switches, then, when not empty, a blank and `instCmd` verbatim, then, when the
/// folder is not empty, " -instdir=" with the folder in double quotes and " /D=" with the
/// folder unquoted as the last item.
std::wstring PackageCommandLine(const std::wstring& quotedPackage, const PackageSwitches& switches,
                                const std::wstring& instCmd, const std::wstring& folder);

/// The arguments the package receives for that line: everything up to `instCmd` split with
/// the command-line rules, then "-instdir=" + folder and "/D=" + folder as one argument
/// each, whatever blanks the folder holds.
std::vector<std::wstring> PackageArguments(const std::wstring& quotedPackage,
                                           const PackageSwitches& switches,
                                           const std::wstring& instCmd, const std::wstring& folder);

/// Installs the product: runs the package on its own thread "ABDEF" and raises there
/// IST_CODE_START 0.0, IST_CODE_PROGRESS 0.0, then the events of its output lines; a
/// process that cannot be started gives IST_CODE_FAIL 2.0; a run without a final state
/// ends with IST_CODE_SUCCESS 1.0. Parsing stops at the first final state; the runner then
/// waits for the package to end. The package's exit code is never consulted.
class CPackageRunner {
public:
    /// `quotedPackage` is the package path enclosed in double quotes.
    CPackageRunner(InstallCallback callback, std::wstring quotedPackage, std::wstring folder);
    /// Joins the worker (waits without limit).
    ~CPackageRunner();
    CPackageRunner(const CPackageRunner&) = delete;
    CPackageRunner& operator=(const CPackageRunner&) = delete;

    /// Set by the orchestrator before every start.
    void SetFolder(std::wstring folder) { folder_ = std::move(folder); }
    void SetSwitches(const PackageSwitches& switches) { switches_ = switches; }
    /// The pause of the output pump between reads (100 ms; tests shorten it).
    void SetPumpPause(std::chrono::milliseconds pause) { pumpPause_ = pause; }

    /// Builds the command line (with InstCmd of the launch options), joins an earlier
    /// worker, starts a new one and returns. Called from a download thread.
    void Start();

    const std::wstring& CommandLine() const { return commandLine_; }
    const std::wstring& QuotedPackage() const { return package_; }

private:
    void Run();

    InstallCallback callback_;
    std::wstring package_;
    std::wstring folder_;
    std::wstring commandLine_;
    std::vector<std::wstring> arguments_;
    PackageSwitches switches_;
    int32_t codePage_ = 0;
    std::chrono::milliseconds pumpPause_ = Utils::kPackagePumpPause;
    std::unique_ptr<Utils::Thread> worker_;
    std::unique_ptr<Utils::ChildProcess> child_;
};
