// Entry point of the installer: start-up, the main window's modal loop, ordered teardown.
//
// The order is fixed: hardening, crash reporter, libcurl, single instance, command line,
// analytics, UI framework and window; teardown stops analytics, cleans up libcurl,
// destroys the window (and the orchestrator it owns) and only then releases the mutex, so
// a second copy cannot start while this one still works.
#include <clocale>

#include "analytics/funnel.h"
#include "app/crash_reporter.h"
#include "app/launch_options.h"
#include "app/startup.h"
#include "install/silent_install.h"
#include "ui/skin_package.h"
#include "utils/instance_mutex.h"
#include "utils/trace_log.h"

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    LaunchOptions& options = GetLaunchOptions();  // defaults + configuration file

    HardenLibrarySearch();
    // Fatal signals and std::terminate report "崩溃退出" and the crash, then re-raise.
    InstallCrashReporter(&orvan::analytics::ReportCrashAndFlush);
    if (InitCurl(options) != 0) {
        // Dropped: no tracker exists yet (analytics starts after the command line).
        orvan::analytics::ReportCurlInitFailed();
    }

    Utils::InstanceMutex instance(kInstanceMutexBaseName);
    instance.Acquire();
    if (!instance.Held()) {
        CleanupCurl(options);
        return IsSilentRun(argc, argv) ? kSilentAnotherInstance : kExitAlreadyRunning;
    }

    ApplyCommandLine(argc, argv);
    TRACE(L"launch options: url=%ls type=%d checknet=%d analytics=%d scale=%f\r\n",
          options.DownloadUrl.c_str(), options.DownloadType, options.IsCheckNet ? 1 : 0,
          options.IsEnableAnalytics ? 1 : 0, options.DownloadScale);

    orvan::analytics::StartAnalytics(options);  // only when options.IsEnableAnalytics
    // A "-silent" run (no window) branches off here.
    if (IsSilentRun(argc, argv)) {
        int code = RunSilentInstall(options, argc, argv);
        orvan::analytics::StopAnalytics(options);  // final flushes
        CleanupCurl(options);
        return code;
    }
    // UI framework set-up: the skin package embedded as ("ZIPRES", 147) is decoded once
    // for every window of the run. Main window creation and its modal loop attach after it,
    // in place of the stand-in below.
    if (auto skin = Ui::ProcessSkinPackage(); skin != nullptr) {
        TRACE(L"skin package: %zu entries, %llu bytes\r\n", skin->Entries().size(),
              static_cast<unsigned long long>(skin->TotalBytes()));
    }
    HoldWhileTesting();

    // Teardown, in this order: analytics shutdown (final flushes), libcurl, the window
    // object with its orchestrator, then the mutex (released by `instance` on return).
    orvan::analytics::StopAnalytics(options);
    CleanupCurl(options);
    return kExitOk;
}
