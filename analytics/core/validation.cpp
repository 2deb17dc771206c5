#include "analytics/core/validation.h"

#include <unistd.h>

#include <cerrno>
#include <mutex>

namespace analytics_core {
namespace {

// Never destroyed: detached flush threads may still write a line while the process exits.
std::mutex& SinkMutex() {
    static auto* m = new std::mutex;
    return *m;
}
std::function<void(const std::string&)>& Sink() {
    static auto* s = new std::function<void(const std::string&)>;
    return *s;
}

bool InRange(unsigned char c, unsigned char lo, unsigned char hi) {
    return c >= lo && c <= hi;
}

bool IsLetter(unsigned char c) {
    return InRange(c, 'a', 'z') || InRange(c, 'A', 'Z');
}

}  // namespace

bool isWellFormedUtf8(std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    size_t i = 0;
    // `Tail(k, lo, hi)`: the byte at i + k exists and lies in lo..hi.
    auto tail = [&](size_t k, unsigned char lo, unsigned char hi) {
        return i + k < n && InRange(p[i + k], lo, hi);
    };
    while (i < n) {
        const unsigned char c = p[i];
        if (c == 0x09 || c == 0x0A || c == 0x0D || InRange(c, 0x20, 0x7E)) {
            i += 1;
        } else if (InRange(c, 0xC2, 0xDF)) {
            if (!tail(1, 0x80, 0xBF))
                return false;
            i += 2;
        } else if (c == 0xE0) {
            if (!tail(1, 0xA0, 0xBF) || !tail(2, 0x80, 0xBF))
                return false;
            i += 3;
        } else if (InRange(c, 0xE1, 0xEC) || InRange(c, 0xEE, 0xEF)) {
            if (!tail(1, 0x80, 0xBF) || !tail(2, 0x80, 0xBF))
                return false;
            i += 3;
        } else if (c == 0xED) {
            if (!tail(1, 0x80, 0x9F) || !tail(2, 0x80, 0xBF))
                return false;
            i += 3;
        } else if (c == 0xF0) {
            if (!tail(1, 0x90, 0xBF) || !tail(2, 0x80, 0xBF) || !tail(3, 0x80, 0xBF))
                return false;
            i += 4;
        } else if (InRange(c, 0xF1, 0xF3)) {
            if (!tail(1, 0x80, 0xBF) || !tail(2, 0x80, 0xBF) || !tail(3, 0x80, 0xBF))
                return false;
            i += 4;
        } else if (c == 0xF4) {
            if (!tail(1, 0x80, 0x8F) || !tail(2, 0x80, 0xBF) || !tail(3, 0x80, 0xBF))
                return false;
            i += 4;
        } else {
            return false;
        }
    }
    return true;
}

bool isVariableName(std::string_view value, std::string_view name) {
    if (value.empty() || value.size() > kMaxVariableNameBytes) {
        WriteDiagnostic("The " + std::string(name) + " is empty or too long, max length is " +
                        std::to_string(kMaxVariableNameBytes));
        return false;
    }
    for (size_t i = 0; i < value.size(); ++i) {
        const auto c = static_cast<unsigned char>(value[i]);
        bool ok = IsLetter(c) || c == '$' || c == '_' || (i > 0 && InRange(c, '0', '9'));
        if (!ok) {
            WriteDiagnostic("The " + std::string(name) + " need to be a valid variable name.");
            return false;
        }
    }
    return true;
}

bool checkIdentity(std::string_view value, std::string_view name) {
    if (value.empty()) {
        WriteDiagnostic("The " + std::string(name) + " is empty.");
        return false;
    }
    if (value.size() > kMaxIdentityBytes) {
        WriteDiagnostic("The " + std::string(name) + " is too long, max length is " +
                        std::to_string(kMaxIdentityBytes) + ".");
        return false;
    }
    return true;
}

void WriteDiagnostic(const std::string& line) {
    std::lock_guard<std::mutex> lock(SinkMutex());
    if (Sink()) {
        Sink()(line);
        return;
    }
    std::string text = line + "\n";
    const char* p = text.data();
    size_t left = text.size();
    while (left > 0) {
        ssize_t n = ::write(2, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
}

void SetDiagnosticSink(std::function<void(const std::string&)> sink) {
    std::lock_guard<std::mutex> lock(SinkMutex());
    Sink() = std::move(sink);
}

}  // namespace analytics_core
