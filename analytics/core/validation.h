// Validation rules of the analytics core and its diagnostic line output.
//
// Diagnostics are single text lines written to the process's standard error stream, each
// ended by a newline; they do not go through the trace log. A windowed process without a
// console simply loses them.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace analytics_core {

/// Longest accepted event name or property key, in bytes.
constexpr size_t kMaxVariableNameBytes = 100;
/// Longest accepted string value, in bytes.
constexpr size_t kMaxStringValueBytes = 8192;
/// Longest accepted distinct or original id, in bytes.
constexpr size_t kMaxIdentityBytes = 255;

/// True when `text` consists only of the byte classes the collector accepts: 0x09, 0x0A,
/// 0x0D, 0x20..0x7E, and well-formed UTF-8 sequences of 2 to 4 bytes (no overlongs, no
/// surrogates, nothing above U+10FFFF). Every other control byte (0x7F included) and any
/// sequence cut off by the end of the text fail.
bool isWellFormedUtf8(std::string_view text);

/// Checks an event name or property key: 1..100 bytes, first byte a letter, "$" or "_",
/// the rest letters, digits, "$" or "_". On failure writes the message for `name`
/// ("Event Name" or "Property Key") and returns false.
bool isVariableName(std::string_view value, std::string_view name);

/// The identity rule for a distinct or original id: non-empty, at most 255 bytes. On failure
/// writes the message for `name` ("Distinct ID" or "Original ID") and returns false.
bool checkIdentity(std::string_view value, std::string_view name);

/// Writes one diagnostic line (a newline is added) to the error stream or to the sink set by
/// SetDiagnosticSink. Thread-safe; lines never interleave.
void WriteDiagnostic(const std::string& line);

/// Replaces the error-stream output (tests capture lines with it); an empty function
/// restores standard error. Thread-safe.
void SetDiagnosticSink(std::function<void(const std::string&)> sink);

}  // namespace analytics_core
