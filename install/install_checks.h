// The window-free half of starting an installation: the folder rules, the checks before an
// installation (in their fixed order, answering which one refused), the process lookup and
// the rules for starting the installed product. The main window maps a refusal to its
// dialog; the silent installer maps it to an exit code.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

/// The product's program name; a running one blocks an installation.
inline constexpr wchar_t kProductExeName[] = L"Glyphora.exe";

/// The process id of the first running process whose executable file name, or whose
/// argv[0] file name, equals `name` exactly (for a script run through an interpreter, the
/// script's file name counts); 0 when there is none. Reads /proc.
pid_t FindProcessByName(std::wstring_view name);

/// Everything the default folder depends on.
struct FolderFacts {
    std::wstring existingInstallDir;       ///< from the registry record
    std::wstring existingUninstallerPath;  ///< from the registry record
    bool existingUninstallerExists = false;
    bool consoleUserIsAdmin = false;
    bool processIsAdmin = false;
    std::optional<std::wstring> appData;  ///< $APPDATA when set (at most 260 characters)
    std::wstring programFilesX86;         ///< the 32-bit program files folder, may be empty
    std::wstring programFiles;            ///< fallback when the former is empty
};

/// The facts as the system states them now.
FolderFacts CurrentFolderFacts(const std::wstring& existingInstallDir,
                               const std::wstring& existingUninstallerPath);

/// The existing installation's folder when its uninstaller file exists; else, for an
/// administrator console user in an elevated installer with APPDATA set,
/// APPDATA/brisko/Glyphora; else the program files folder joined with "Glyphora".
std::wstring DefaultInstallFolder(const FolderFacts& facts);

/// The default folder when `edited` names the same folder; otherwise `edited` joined with
/// "Glyphora" (a folder the user picked gets its own subfolder).
std::wstring ChosenInstallFolder(const std::wstring& defaultFolder, const std::wstring& edited);

/// Which check refused an installation, in the order the checks run.
enum class InstallRefusal {
    kNone,
    kUninstallerRunning,  ///< "Glyphora_un_asa.exe" is running
    kProductRunning,      ///< "Glyphora.exe" is running
    kInvalidFolder,       ///< the folder cannot be created (or is over 260 characters)
    kLowDiskSpace,        ///< less than 1 GiB free for the user
    kPoorNetwork,         ///< the connectivity probe's verdict is not "internet"
};

/// The system facilities the checks use; tests replace some.
struct CheckProbes {
    std::function<pid_t(std::wstring_view)> findProcess = FindProcessByName;
    std::function<bool(std::wstring_view)> createFolder;  ///< Utils::CreateDirectoryTree
    /// Bytes free for the user on the folder's volume; false when the query fails.
    std::function<bool(std::wstring_view, uint64_t*)> freeBytes;
    std::function<uint32_t()> checkNetwork;  ///< Utils::CheckNetwork
};

/// Runs the checks in order and stops at the first refusal: uninstaller running, product
/// running, folder created with all missing levels, at least 1.0 GiB free (exactly 1.0
/// passes; a failed query counts as 0), and the network only when `checkNetwork`.
InstallRefusal CheckBeforeInstall(const std::wstring& folder, bool checkNetwork,
                                  const CheckProbes& probes = {});

/// A short English name of a refusal ("low disk space").
const char* RefusalName(InstallRefusal refusal);

/// What starting the product does, so the window and tests can supply the effects.
struct LaunchActions {
    std::function<bool(const std::wstring&)> openUrl;       ///< the desktop's URL opener
    std::function<void()> pumpMessages;                     ///< dispatch for >= 100 ms
    std::function<bool(const std::wstring&)> startProgram;  ///< detached, new session
};

/// Opens `startUrl` when it is longer than 5 characters; then, when the file `exePath`
/// exists, pumps messages and starts it detached. Returns true when the program was
/// started. Missing actions use the system ones (no message pump).
bool LaunchProduct(const std::wstring& startUrl, const std::wstring& exePath,
                   const LaunchActions& actions = {});

/// Opens a URL or document with the desktop's opener (xdg-open), detached.
bool OpenWithDesktop(const std::wstring& target);
/// Starts an executable detached in a new session, with the installer's working folder and
/// standard streams on /dev/null. True when it was started.
bool StartDetached(const std::wstring& program);
