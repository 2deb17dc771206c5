#include "utils/trace_log.h"

#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <cwchar>
#include <mutex>
#include <vector>

#include "utils/text.h"

namespace Utils {
namespace {

// A line longer than this many wide characters is dropped instead of allocated: far beyond
// any message the installer writes, it only guards against a runaway format.
constexpr size_t kMaxLineChars = size_t{64} << 20;

constexpr wchar_t kPrefixFormat[] =
    L"<P%05u><T%05u><%04d-%02d-%02d %02d:%02d:%02d.%03d>(%ls)<%04d>: ";

std::mutex g_sinkMutex;
std::function<void(const std::wstring&)> g_sink;

bool EndsWithLineFeed(const wchar_t* format) {
    size_t n = std::wcslen(format);
    return n > 0 && format[n - 1] == L'\n';
}

// Where lines go when no sink is set: resolved once from GLYPHORA_TRACE.
int ChannelFd() {
    static const int fd = [] {
        const char* target = std::getenv("GLYPHORA_TRACE");
        if (target == nullptr || *target == '\0')
            return 2;
        if (std::strcmp(target, "off") == 0)
            return -1;
        int f = ::open(target, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        return f >= 0 ? f : 2;
    }();
    return fd;
}

void WriteAll(int fd, const std::string& bytes) {
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
}

}  // namespace

TraceStamp CurrentTraceStamp() {
    TraceStamp s;
    s.pid = static_cast<unsigned>(::getpid());
    s.tid = static_cast<unsigned>(::syscall(SYS_gettid));
    timeval tv{};
    ::gettimeofday(&tv, nullptr);
    std::tm tm{};
    time_t secs = tv.tv_sec;
    ::localtime_r(&secs, &tm);
    s.year = tm.tm_year + 1900;
    s.month = tm.tm_mon + 1;
    s.day = tm.tm_mday;
    s.hour = tm.tm_hour;
    s.minute = tm.tm_min;
    s.second = tm.tm_sec;
    s.millisecond = static_cast<int>(tv.tv_usec / 1000);
    return s;
}

std::wstring FormatTraceLine(const TraceStamp& stamp, const wchar_t* function, int line,
                             const wchar_t* format, va_list args) {
    if (format == nullptr)
        return {};
    // The prefix is formatted with its own arguments, then the message with the caller's;
    // the result is what one joined format would give (a literal percent sign in a message
    // is still written "%%").
    std::wstring prefix;
    {
        wchar_t pbuf[256];
        const wchar_t* fn = function != nullptr ? function : L"";
        size_t fnLen = std::wcslen(fn);
        std::vector<wchar_t> big;
        wchar_t* out = pbuf;
        size_t cap = sizeof(pbuf) / sizeof(pbuf[0]);
        if (fnLen + 128 > cap) {
            big.resize(fnLen + 128);
            out = big.data();
            cap = big.size();
        }
        int n = std::swprintf(out, cap, kPrefixFormat, stamp.pid, stamp.tid, stamp.year,
                              stamp.month, stamp.day, stamp.hour, stamp.minute, stamp.second,
                              stamp.millisecond, fn, line);
        if (n < 0)
            return {};
        prefix.assign(out, static_cast<size_t>(n));
    }
    // One formatting pass into a stream that grows as needed: the exact length without a
    // guessing loop, and a format that cannot be formatted (an encoding error, for
    // example a narrow argument that is not text in the locale's codeset) fails once
    // instead of being retried with ever larger buffers.
    std::wstring message;
    {
        wchar_t* data = nullptr;
        size_t size = 0;
        FILE* stream = ::open_wmemstream(&data, &size);
        if (stream == nullptr)
            return {};
        va_list copy;
        va_copy(copy, args);
        int n = std::vfwprintf(stream, format, copy);
        va_end(copy);
        int closed = std::fclose(stream);  // also when formatting failed: frees the stream
        bool ok = n >= 0 && closed == 0;
        if (ok && size <= kMaxLineChars)
            message.assign(data, size);
        std::free(data);
        if (!ok || size > kMaxLineChars)
            return {};
    }
    std::wstring lineText = prefix + message;
    if (!EndsWithLineFeed(format))
        lineText += L"\r\n";
    return lineText;
}

void TraceLog(const wchar_t* function, int line, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::wstring text = FormatTraceLine(CurrentTraceStamp(), function, line, format, args);
    va_end(args);
    if (text.empty())
        return;
    {
        std::lock_guard<std::mutex> lock(g_sinkMutex);
        if (g_sink) {
            g_sink(text);
            return;
        }
    }
    int fd = ChannelFd();
    if (fd < 0)
        return;
    WriteAll(fd, ToNarrow(text, 65001));
}

void SetTraceSink(std::function<void(const std::wstring&)> sink) {
    std::lock_guard<std::mutex> lock(g_sinkMutex);
    g_sink = std::move(sink);
}

std::wstring QualifiedFunctionName(const char* pretty) {
    if (pretty == nullptr)
        return {};
    std::string s(pretty);
    // Find the parameter list: the first '(' outside template brackets that is not part of
    // "operator()" and not inside a "<lambda(...)>" name.
    int angle = 0;
    size_t paren = std::string::npos;
    for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (c == '<') {
            ++angle;
        } else if (c == '>' && angle > 0) {
            --angle;
        } else if (c == '(' && angle == 0) {
            if (i >= 8 && s.compare(i - 8, 8, "operator") == 0 && i + 1 < s.size() &&
                s[i + 1] == ')') {
                ++i;  // "operator()": the next '(' opens the parameters
                continue;
            }
            paren = i;
            break;
        }
    }
    std::string head = paren == std::string::npos ? s : s.substr(0, paren);
    // Inside a lambda GCC spells "Outer::fn()::<lambda(int)>": keep the lambda part.
    size_t lambda = s.find("::<lambda");
    if (lambda != std::string::npos && paren != std::string::npos && paren < lambda) {
        head = s.substr(0, paren) + s.substr(s.find(')', paren) + 1);
    }
    // Drop the return type: the last blank outside template brackets.
    angle = 0;
    size_t start = 0;
    for (size_t i = 0; i < head.size(); ++i) {
        char c = head[i];
        if (c == '<') {
            ++angle;
        } else if (c == '>' && angle > 0) {
            --angle;
        } else if (c == ' ' && angle == 0) {
            start = i + 1;
        }
    }
    std::string name = head.substr(start);
    return std::wstring(name.begin(), name.end());
}

}  // namespace Utils
