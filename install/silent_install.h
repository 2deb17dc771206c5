// The silent mode of the installer ("-silent"): one installation without any window, with
// the launch options as they are, the same checks and the same records as the window.
#pragma once

#include <string>
#include <vector>

#include "app/launch_options.h"

/// Exit codes of a silent run. Stable: codes are only ever appended.
enum SilentExitCode : int {
    kSilentSuccess = 0,          ///< installed (or, with "-installdir", into that folder)
    kSilentAnotherInstance = 1,  ///< another installer holds the single-instance lock
    kSilentProductRunning = 2,   ///< the product or the old version's uninstaller runs
    kSilentInvalidFolder = 3,    ///< the target folder cannot be created
    kSilentLowDiskSpace = 4,     ///< less than 1 GiB free for the target folder
    kSilentPoorNetwork = 5,      ///< connectivity check failed (IsCheckNet only)
    kSilentDownloadFailed = 6,   ///< the package could not be downloaded or verified
    kSilentRemovalFailed = 7,    ///< the old version's uninstaller failed
    kSilentInstallFailed = 8,    ///< the package reported a failure or did not start
};

/// The switch that selects the silent mode, and the target-folder switch.
inline constexpr wchar_t kSilentSwitch[] = L"-silent";
inline constexpr wchar_t kInstallDirSwitch[] = L"-installdir";

/// True when the arguments (main()'s, program path first) hold "-silent".
bool IsSilentRun(int argc, char** argv);

/// Runs one installation: "-installdir=" names the target folder (a relative one is taken
/// from the current folder; default: the default folder rules); an existing installation
/// is removed first unless its settings keep it; progress shows as one updating line on
/// standard output; the product is not started. Returns a SilentExitCode.
int RunSilentInstall(const LaunchOptions& options, const std::vector<std::wstring>& arguments);

/// The same with main()'s arguments.
int RunSilentInstall(const LaunchOptions& options, int argc, char** argv);
