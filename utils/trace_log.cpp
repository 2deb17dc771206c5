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

namespace {

// A copy of `s` in which the symbol characters of operator names ("operator<",
// "operator()", "operator->") are replaced by 'X', so bracket counting on it sees only
// real brackets.
std::string MaskOperatorSymbols(const std::string& s) {
    std::string mask = s;
    static const std::string kSymbols = "<>=!+-*/%^&|~,[]";
    for (size_t i = s.find("operator"); i != std::string::npos; i = s.find("operator", i + 1)) {
        if (i > 0 && s[i - 1] != ':' && s[i - 1] != ' ')
            continue;  // part of a longer name
        size_t j = i + 8;
        if (s.compare(j, 2, "()") == 0) {
            mask[j] = mask[j + 1] = 'X';
            continue;
        }
        while (j < s.size() && kSymbols.find(s[j]) != std::string::npos)
            mask[j++] = 'X';
    }
    return mask;
}

bool EndsWith(const std::string& s, const char* tail) {
    size_t n = std::strlen(tail);
    return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

bool IsNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '>';
}

}  // namespace

std::wstring QualifiedFunctionName(const char* pretty) {
    if (pretty == nullptr)
        return {};
    std::string s(pretty);
    // GCC's template arguments: "... [with T = int]".
    size_t with = s.find(" [with ");
    if (with != std::string::npos && s.back() == ']')
        s.resize(with);
    // Qualifiers after the parameter list.
    for (bool again = true; again;) {
        again = false;
        for (const char* q : {" const", " volatile", " &&", " &", " noexcept"}) {
            if (EndsWith(s, q)) {
                s.resize(s.size() - std::strlen(q));
                again = true;
            }
        }
    }
    std::string mask = MaskOperatorSymbols(s);
    // The function's own parameter list: the bracket group that ends the text.
    if (!mask.empty() && mask.back() == ')') {
        int depth = 0;
        for (size_t i = mask.size(); i-- > 0;) {
            if (mask[i] == ')')
                ++depth;
            if (mask[i] == '(' && --depth == 0) {
                s.resize(i);
                mask.resize(i);
                break;
            }
        }
    }
    // Parameter lists of enclosing functions, "f()::<lambda()>" -> "f::<lambda()>": a group
    // right after a name and right before "::". Generated names such as "(lambda at x:1:2)"
    // follow "::" and stay.
    std::string name, nameMask;
    for (size_t i = 0; i < mask.size(); ++i) {
        if (mask[i] == '(' && i > 0 && IsNameChar(mask[i - 1])) {
            int depth = 0;
            size_t k = i;
            for (; k < mask.size(); ++k) {
                if (mask[k] == '(')
                    ++depth;
                if (mask[k] == ')' && --depth == 0)
                    break;
            }
            if (k < mask.size() && mask.compare(k + 1, 2, "::") == 0) {
                i = k;
                continue;
            }
        }
        name.push_back(s[i]);
        nameMask.push_back(mask[i]);
    }
    // The return type ends at the last blank outside brackets, unless that blank belongs to
    // a conversion operator ("operator bool").
    int angle = 0, paren = 0;
    size_t start = 0;
    for (size_t i = 0; i < nameMask.size(); ++i) {
        char c = nameMask[i];
        if (c == '<')
            ++angle;
        if (c == '>' && angle > 0)
            --angle;
        if (c == '(')
            ++paren;
        if (c == ')' && paren > 0)
            --paren;
        if (c == ' ' && angle == 0 && paren == 0 &&
            !(i >= 8 && nameMask.compare(i - 8, 8, "operator") == 0)) {
            start = i + 1;
        }
    }
    std::string result = name.substr(start);
    return std::wstring(result.begin(), result.end());
}

}  // namespace Utils
