// Runs the old version's uninstaller silently and follows its progress lines.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "install/install_events.h"
#include "utils/child_process.h"
#include "utils/thread.h"

/// The file name of the uninstaller's temporary copy in the installer's temporary folder.
/// The pre-install checks look for a running process of this name.
inline constexpr wchar_t kUninstallerCopyName[] = L"Glyphora_un_asa.exe";

/// The uninstaller's arguments: the program, "/S", the two account switches,
/// "-console=show" and "_?=" followed by the old folder, which stays one argument (and the
/// last one) whatever blanks it holds.
std::vector<std::wstring> UninstallArguments(const std::wstring& uninstallerPath,
                                             const std::wstring& oldFolder, bool consoleUserIsAdmin,
                                             bool processIsElevated);

/// The same as one command line: the uninstaller path in double quotes, the folder after
/// "_?=" unquoted as the rest of the line.
std::wstring UninstallCommandLine(const std::wstring& uninstallerPath,
                                  const std::wstring& oldFolder, bool consoleUserIsAdmin,
                                  bool processIsElevated);

/// Removes the old version: runs the uninstaller at `uninstallerPath` (the temporary copy)
/// on its own thread "UnInstaller" and raises UNIST_CODE_* events there:
/// - missing file: UNIST_CODE_FAIL 1.0 "可执行卸载文件不存在";
/// - otherwise UNIST_CODE_PROGRESS 0.0, then the events of its output lines; a process that
///   cannot be started gives UNIST_CODE_FAIL 2.0; a run without a final state ends with
///   UNIST_CODE_SUCCESS 1.0.
/// The uninstaller's exit code is never consulted.
class CUninstallRunner {
public:
    CUninstallRunner(InstallCallback callback, std::wstring uninstallerPath,
                     std::wstring oldFolder);
    /// Joins the worker (waits without limit).
    ~CUninstallRunner();
    CUninstallRunner(const CUninstallRunner&) = delete;
    CUninstallRunner& operator=(const CUninstallRunner&) = delete;

    /// Builds the command line (account values computed afresh) and starts the worker;
    /// returns at once. Nothing happens when the thread cannot be created.
    void Start();

    const std::wstring& CommandLine() const { return commandLine_; }

private:
    void Run();

    InstallCallback callback_;
    std::wstring commandLine_;
    std::vector<std::wstring> arguments_;
    std::wstring uninstallerPath_;
    std::wstring oldFolder_;
    int32_t codePage_ = 0;
    std::unique_ptr<Utils::Thread> worker_;
    std::unique_ptr<Utils::ChildProcess> child_;
};
