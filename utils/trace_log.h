// Diagnostic trace lines.
//
// Every subsystem traces what it does as single lines on the process's debug channel.
// A line is "<P%05d><T%05d><YYYY-MM-DD hh:mm:ss.mmm>(Function)<%04d>: " followed by the
// caller's printf-style message and "\r\n" unless the message format already ends with a
// line feed. Widths are minimums; nothing is ever truncated.
//
// On this OS the debug channel is standard error, one write(2) per line, so lines of
// different threads interleave whole. The environment variable GLYPHORA_TRACE redirects it:
// unset or empty = standard error, "off" = dropped (as when no debugger listens), any other
// text = a file appended to.
//
// Wide formats follow this OS's wide printf: "%ls" takes a wide string, "%s" a narrow one.
#pragma once

#include <cstdarg>
#include <functional>
#include <string>

namespace Utils {

/// Local time, process and thread of one trace statement.
struct TraceStamp {
    unsigned pid = 0;
    unsigned tid = 0;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};

/// The current stamp: local time read once, process id, kernel thread id.
TraceStamp CurrentTraceStamp();

/// Formats one complete trace line (prefix, message, terminator rule). Returns an empty
/// string when the format cannot be formatted. Pure: used by TraceLog and by tests.
std::wstring FormatTraceLine(const TraceStamp& stamp, const wchar_t* function, int line,
                             const wchar_t* format, va_list args);

/// The one trace operation. Never throws; a line that cannot be formatted is dropped.
void TraceLog(const wchar_t* function, int line, const wchar_t* format, ...);

/// Replaces the output of TraceLog (tests capture lines with it); an empty function restores
/// the debug channel. Not for use while other threads trace.
void SetTraceSink(std::function<void(const std::wstring&)> sink);

/// "Ns::Class::Method" out of a compiler's pretty function signature: the return type and
/// the parameter list are dropped; a lambda keeps its "<lambda...>" part.
std::wstring QualifiedFunctionName(const char* prettyFunction);

}  // namespace Utils

/// TRACE(L"format %d", value): a trace line naming the enclosing function and line.
#define TRACE(...)                                                                 \
    do {                                                                           \
        static const std::wstring glyphora_trace_fn_ =                             \
            ::Utils::QualifiedFunctionName(__PRETTY_FUNCTION__);                   \
        ::Utils::TraceLog(glyphora_trace_fn_.c_str(), __LINE__, __VA_ARGS__);      \
    } while (0)
