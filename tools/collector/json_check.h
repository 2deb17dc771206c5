// A strict JSON reader (RFC 8259 grammar) that checks a text and gives it back without
// insignificant white space. Used by the collector to check batches and by tests to prove
// that rendered records parse; written apart from the renderer so that it cannot share its
// mistakes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace collector {

/// Deepest nesting accepted; deeper texts are refused rather than risking the stack.
constexpr int kMaxJsonDepth = 256;

/// True when `text` is exactly one JSON value (white space around it allowed). `compact`,
/// when given, receives the value with all white space outside strings removed. `error`
/// receives the reason and byte offset on failure. Bytes 0x80 and above inside strings are
/// accepted as they are (their UTF-8 form is not checked).
bool ParseJson(std::string_view text, std::string* compact = nullptr, std::string* error = nullptr);

/// True when `text` is a JSON array whose every element is an object; `objects` receives
/// each element in compact form, in order.
bool ParseJsonArrayOfObjects(std::string_view text, std::vector<std::string>& objects,
                             std::string* error = nullptr);

}  // namespace collector
