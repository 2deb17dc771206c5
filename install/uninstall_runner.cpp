#include "install/uninstall_runner.h"

#include <unistd.h>

#include <utility>

#include "install/account_state.h"
#include "install/hidden_child.h"
#include "install/output_protocol.h"
#include "utils/text.h"
#include "utils/trace_log.h"

namespace {

const wchar_t* Bool(bool value) {
    return value ? L"true" : L"false";
}

}  // namespace

std::vector<std::wstring> UninstallArguments(const std::wstring& uninstallerPath,
                                             const std::wstring& oldFolder, bool consoleUserIsAdmin,
                                             bool processIsElevated) {
    return {uninstallerPath,
            L"/S",
            std::wstring(L"-adminact=") + Bool(consoleUserIsAdmin),
            std::wstring(L"-authorizationact=") + Bool(processIsElevated),
            L"-console=show",
            L"_?=" + oldFolder};
}

std::wstring UninstallCommandLine(const std::wstring& uninstallerPath,
                                  const std::wstring& oldFolder, bool consoleUserIsAdmin,
                                  bool processIsElevated) {
    return L"\"" + uninstallerPath + L"\" /S -adminact=" + Bool(consoleUserIsAdmin) +
           L" -authorizationact=" + Bool(processIsElevated) + L" -console=show _?=" + oldFolder;
}

CUninstallRunner::CUninstallRunner(InstallCallback callback, std::wstring uninstallerPath,
                                   std::wstring oldFolder)
    : callback_(std::move(callback)),
      uninstallerPath_(std::move(uninstallerPath)),
      oldFolder_(std::move(oldFolder)) {}

CUninstallRunner::~CUninstallRunner() {
    if (worker_)
        worker_->Join();
}

void CUninstallRunner::Start() {
    AccountState accounts = CurrentAccountState();
    arguments_ = UninstallArguments(uninstallerPath_, oldFolder_, accounts.consoleUserIsAdmin,
                                    accounts.processIsElevated);
    commandLine_ = UninstallCommandLine(uninstallerPath_, oldFolder_, accounts.consoleUserIsAdmin,
                                        accounts.processIsElevated);
    if (worker_)
        worker_->Join();
    worker_ = std::make_unique<Utils::Thread>(this, L"UnInstaller", [](void* self) -> uint32_t {
        static_cast<CUninstallRunner*>(self)->Run();
        return 0;
    });
    if (!worker_->Joinable() || !worker_->Resume()) {
        TRACE(L"UnInstaller thread could not be started\r\n");
    }
}

void CUninstallRunner::Run() {
    auto raise = [this](int32_t code, double value, const wchar_t* text) {
        if (callback_)
            callback_(code, value, text);
    };
    std::string path = Utils::ToNarrow(uninstallerPath_, Utils::kCodePageSystem);
    if (path.empty() || ::access(path.c_str(), F_OK) != 0) {
        TRACE(L"uninstaller missing: %ls\r\n", uninstallerPath_.c_str());
        raise(UNIST_CODE_FAIL, 1.0, L"可执行卸载文件不存在");
        return;
    }
    raise(UNIST_CODE_PROGRESS, 0.0, L"");
    child_.reset();
    child_ = LaunchHiddenChild(arguments_, commandLine_);
    if (!child_) {
        TRACE(L"uninstaller could not be started: %ls\r\n", commandLine_.c_str());
        raise(UNIST_CODE_FAIL, 2.0, L"");
        return;
    }
    TRACE(L"uninstaller started: %ls\r\n", commandLine_.c_str());
    codePage_ = 0;
    bool noFinalState = Utils::PumpOutput(
        *child_, codePage_,
        [this](const std::wstring& line) {
            return ParseUninstallOutput(line, callback_, codePage_);
        },
        Utils::PumpVariant::kUninstaller, std::chrono::milliseconds(0));
    child_.reset();
    if (noFinalState)
        raise(UNIST_CODE_SUCCESS, 1.0, L"");
}
