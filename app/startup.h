// The process-wide steps of start-up and teardown, in the order main() runs them.
#pragma once

#include "app/launch_options.h"

/// Exit codes of the installer process.
constexpr int kExitOk = 0;
constexpr int kExitAlreadyRunning = -1;  // another instance holds the mutex (shows as 255)

/// The base name of the single-instance mutex ("D1A547DB89C0BC61_" is prefixed).
inline constexpr wchar_t kInstanceMutexBaseName[] = L"Installer_Glyphora";

/// Library search hardening. Nothing to do on this OS: the dynamic loader never searches
/// the current folder, and the libraries the design preloads from the system folder do
/// not exist here. The step keeps its place in the sequence.
void HardenLibrarySearch();

/// curl_global_init for the whole process. On failure clears options.CurlReady and writes
/// a trace line; start-up goes on either way. Returns the libcurl result code.
int InitCurl(LaunchOptions& options);

/// curl_global_cleanup; a no-op when InitCurl failed.
void CleanupCurl(const LaunchOptions& options);

/// Until the main window exists, this stands in for its modal loop: when the environment
/// variable GLYPHORA_TEST_HOLD_MS holds a number of milliseconds (at most 60000), the
/// process waits that long while it holds the single-instance mutex, so tests can start a
/// second copy against a running first one. Without the variable it returns at once.
void HoldWhileTesting();
