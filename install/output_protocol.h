// The line protocol spoken by the product's uninstaller and package on their standard
// output: "Key=value" lines that become installation events or change the decoding of
// the lines that follow.
#pragma once

#include <cstdint>
#include <string_view>

#include "install/install_events.h"

/// Result of a parser call: no final state, or the last final state reported.
enum : int {
    kNoFinalState = 0,
    kFinalSuccess = 1,
    kFinalFailure = 1000,
};

/// Longest text value passed on; a longer value is cut to this many characters.
constexpr size_t kMaxValueLength = 771;

/// Parses decoded uninstaller output (one or more lines separated by line feeds) and raises
/// the removal events through `callback` in line order. "Encode=" sets `codePage` to 65001
/// for "UTF8" and to 0 for anything else. Returns kNoFinalState, or the last final state
/// of the text (kFinalSuccess for "State=Success", kFinalFailure for "Error=" and
/// "State=Fail").
int ParseUninstallOutput(std::wstring_view text, const InstallCallback& callback,
                         int32_t& codePage);

/// The same for the package's output, with the package's keys; "Encode=" sets `codePage` to
/// 65001 for "UTF8", 0 for "ACP", else the word read as a decimal number (0 when it is none).
int ParsePackageOutput(std::wstring_view text, const InstallCallback& callback, int32_t& codePage);
