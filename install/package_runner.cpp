#include "install/package_runner.h"

#include <utility>

#include "app/launch_options.h"
#include "install/hidden_child.h"
#include "install/output_protocol.h"
#include "utils/command_line.h"
#include "utils/trace_log.h"

namespace {

const wchar_t* Bool(bool value) {
    return value ? L"true" : L"false";
}

std::wstring HeadOfLine(const std::wstring& quotedPackage, const PackageSwitches& switches,
                        const std::wstring& instCmd) {
    std::wstring line = quotedPackage;
    line += L" /S -console=show -version=1.0.0";
    line += std::wstring(L" -adminact=") + Bool(switches.consoleUserIsAdmin);
    line += std::wstring(L" -authorizationact=") + Bool(switches.processIsElevated);
    line += std::wstring(L" -dsc=") + Bool(switches.desktopShortcut);
    line += std::wstring(L" -ssc=") + Bool(switches.quickLaunchShortcut);
    if (!instCmd.empty())
        line += L" " + instCmd;
    return line;
}

}  // namespace

std::wstring PackageCommandLine(const std::wstring& quotedPackage, const PackageSwitches& switches,
                                const std::wstring& instCmd, const std::wstring& folder) {
    std::wstring line = HeadOfLine(quotedPackage, switches, instCmd);
    if (!folder.empty())
        line += L" -instdir=\"" + folder + L"\" /D=" + folder;
    return line;
}

std::vector<std::wstring> PackageArguments(const std::wstring& quotedPackage,
                                           const PackageSwitches& switches,
                                           const std::wstring& instCmd,
                                           const std::wstring& folder) {
    std::vector<std::wstring> arguments =
        Utils::SplitCommandLine(HeadOfLine(quotedPackage, switches, instCmd));
    if (!folder.empty()) {
        arguments.push_back(L"-instdir=" + folder);
        arguments.push_back(L"/D=" + folder);
    }
    return arguments;
}

CPackageRunner::CPackageRunner(InstallCallback callback, std::wstring quotedPackage,
                               std::wstring folder)
    : callback_(std::move(callback)),
      package_(std::move(quotedPackage)),
      folder_(std::move(folder)) {}

CPackageRunner::~CPackageRunner() {
    if (worker_)
        worker_->Join();
}

void CPackageRunner::Start() {
    const std::wstring& instCmd = GetLaunchOptions().InstCmd;
    commandLine_ = PackageCommandLine(package_, switches_, instCmd, folder_);
    arguments_ = PackageArguments(package_, switches_, instCmd, folder_);
    if (worker_) {
        worker_->Join();
        worker_.reset();
    }
    worker_ = std::make_unique<Utils::Thread>(this, L"ABDEF", [](void* self) -> uint32_t {
        static_cast<CPackageRunner*>(self)->Run();
        return 0;
    });
    if (!worker_->Joinable() || !worker_->Resume()) {
        TRACE(L"package thread could not be started\r\n");
    }
}

void CPackageRunner::Run() {
    auto raise = [this](int32_t code, double value, const wchar_t* text) {
        if (callback_)
            callback_(code, value, text);
    };
    raise(IST_CODE_START, 0.0, L"");
    raise(IST_CODE_PROGRESS, 0.0, L"");
    child_.reset();
    child_ = LaunchHiddenChild(arguments_, commandLine_);
    if (!child_) {
        TRACE(L"package could not be started: %ls\r\n", commandLine_.c_str());
        raise(IST_CODE_FAIL, 2.0, L"");
        return;
    }
    TRACE(L"package started: %ls\r\n", commandLine_.c_str());
    codePage_ = 0;
    bool noFinalState = Utils::PumpOutput(
        *child_, codePage_,
        [this](const std::wstring& line) { return ParsePackageOutput(line, callback_, codePage_); },
        Utils::PumpVariant::kPackage, pumpPause_);
    child_.reset();
    if (noFinalState)
        raise(IST_CODE_SUCCESS, 1.0, L"");
}
