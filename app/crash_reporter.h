// The last-chance crash reporter: on a fatal signal (SIGSEGV, SIGBUS, SIGFPE, SIGILL,
// SIGABRT) or an uncaught C++ exception (std::terminate) it runs one report function, then
// lets the process die the way it would have without the reporter.
//
// The report runs on the crashing thread; for signals on the thread that installed the
// reporter it runs on an alternate signal stack, so a stack overflow there is reported too.
// It is bounded: an alarm ends the process (SIGALRM) should the report itself hang, for
// example on a lock the crashing thread held. Only the first crash of a process is reported.
#pragma once

/// The report function; it must not return control to the crashing code by other means.
using CrashReportFunction = void (*)();

/// Seconds the report may take before the process is ended anyway.
constexpr unsigned kCrashReportSeconds = 10;

/// Installs the signal handlers and the terminate handler. Calling it again replaces the
/// report function. `report` may be null (the reporter then only restores and re-raises).
void InstallCrashReporter(CrashReportFunction report);
