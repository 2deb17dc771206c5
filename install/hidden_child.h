// Starting the hidden child program (uninstaller or package) whose output the runners read.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "utils/child_process.h"

/// Creates a child process with its error, output and input pipes (in that order) and
/// launches it with `arguments`, `commandLine` being the line shown in traces. Returns the
/// running child, or null when it could not be started; the caller traces and reports
/// either outcome, so that its own trace lines keep naming it.
std::unique_ptr<Utils::ChildProcess> LaunchHiddenChild(const std::vector<std::wstring>& arguments,
                                                       const std::wstring& commandLine);
