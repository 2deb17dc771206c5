// A program that installs the crash reporter and then crashes the way its first argument
// says: "segv", "abort", "fpe" or "throw" (an uncaught exception). With the environment
// variable CRASH_MARKER the report appends one line to that file; otherwise the report is
// the installer's own (analytics started from the launch options, GLYPHORA_ANALYTICS_URL).
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#include "analytics/funnel.h"
#include "app/crash_reporter.h"
#include "app/launch_options.h"

namespace {

void WriteMarker() {
    const char* path = std::getenv("CRASH_MARKER");
    int fd = ::open(path, O_WRONLY | O_CREAT | O_APPEND, 0600);
    if (fd < 0)
        return;
    const char line[] = "reported\n";
    ssize_t n = ::write(fd, line, sizeof(line) - 1);
    (void)n;
    ::close(fd);
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    if (argc < 2)
        return 2;
    std::string mode = argv[1];
    bool analytics = std::getenv("CRASH_MARKER") == nullptr;
    InstallCrashReporter(analytics ? &orvan::analytics::ReportCrashAndFlush : &WriteMarker);
    if (analytics) {
        ApplyCommandLine(argc, argv);
        orvan::analytics::StartAnalytics(GetLaunchOptions());
        orvan::analytics::ReportClick(orvan::analytics::kClickQuickInstall,
                                      orvan::analytics::AbTag(L"IN"));
    }
    if (mode == "segv") {
        volatile int* null = nullptr;
        *null = 1;
    } else if (mode == "abort") {
        std::abort();
    } else if (mode == "fpe") {
        ::raise(SIGFPE);
    } else if (mode == "throw") {
        throw std::runtime_error("uncaught");
    } else if (mode == "none") {
        if (analytics)
            orvan::analytics::StopAnalytics(GetLaunchOptions());
        return 0;
    }
    return 3;
}
