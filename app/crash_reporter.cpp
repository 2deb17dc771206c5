#include "app/crash_reporter.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <exception>

namespace {

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
// Room for the report (record building, JSON, a libcurl transfer) on the alternate stack.
constexpr size_t kAltStackBytes = 256 * 1024;

std::atomic<CrashReportFunction> g_report{nullptr};
std::atomic<bool> g_reported{false};

// Runs the report once per process, bounded by an alarm.
void ReportOnce() {
    if (g_reported.exchange(true))
        return;
    CrashReportFunction report = g_report.load();
    if (report == nullptr)
        return;
    ::signal(SIGALRM, SIG_DFL);
    ::alarm(kCrashReportSeconds);
    report();
    ::alarm(0);
}

void OnSignal(int sig) {
    ReportOnce();
    // The default disposition, then the same signal again: the process ends (or dumps core)
    // exactly as it would have without the reporter.
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}

void OnTerminate() {
    ReportOnce();
    std::abort();  // SIGABRT: the handler finds the report done and re-raises
}

}  // namespace

void InstallCrashReporter(CrashReportFunction report) {
    g_report.store(report);
    static char* altStack = [] {
        char* stack = static_cast<char*>(std::malloc(kAltStackBytes));
        if (stack != nullptr) {
            stack_t ss{};
            ss.ss_sp = stack;
            ss.ss_size = kAltStackBytes;
            ::sigaltstack(&ss, nullptr);
        }
        return stack;
    }();
    (void)altStack;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_ONSTACK;
    for (int sig : kSignals)
        ::sigaction(sig, &action, nullptr);
    std::set_terminate(OnTerminate);
}
