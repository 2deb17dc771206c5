#include "utils/registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cwctype>
#include <filesystem>
#include <vector>

#include "utils/text.h"
#include "utils/trace_log.h"

namespace Utils {
namespace {

constexpr wchar_t kSoftwarePrefix[] = L"Software\\";

struct Value {
    std::wstring name;
    uint32_t type = kRegSz;
    std::wstring text;
};

std::wstring Escape(std::wstring_view s) {
    std::wstring out;
    for (wchar_t c : s) {
        switch (c) {
            case L'\\':
                out += L"\\\\";
                break;
            case L'\t':
                out += L"\\t";
                break;
            case L'\n':
                out += L"\\n";
                break;
            case L'\r':
                out += L"\\r";
                break;
            default:
                out.push_back(c);
        }
    }
    return out;
}

std::wstring Unescape(std::wstring_view s) {
    std::wstring out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != L'\\' || i + 1 == s.size()) {
            out.push_back(s[i]);
            continue;
        }
        wchar_t c = s[++i];
        out.push_back(c == L't' ? L'\t' : c == L'n' ? L'\n' : c == L'r' ? L'\r' : c);
    }
    return out;
}

bool SameName(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i])))
            return false;
    }
    return true;
}

// Reads all values; false when the file is missing or unreadable. Lines that do not parse
// are skipped, so a damaged file loses only its damaged lines.
bool LoadValues(const std::string& file, std::vector<Value>* values) {
    int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    std::string bytes;
    char buf[8192];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof(buf));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        bytes.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    std::wstring text = ToWide(bytes, kCodePageUtf8);
    size_t start = 0;
    while (start < text.size()) {
        size_t nl = text.find(L'\n', start);
        std::wstring_view line(text.data() + start,
                               (nl == std::wstring::npos ? text.size() : nl) - start);
        start = nl == std::wstring::npos ? text.size() : nl + 1;
        size_t t1 = line.find(L'\t');
        if (t1 == std::wstring_view::npos)
            continue;
        size_t t2 = line.find(L'\t', t1 + 1);
        if (t2 == std::wstring_view::npos)
            continue;
        Value v;
        v.name = Unescape(line.substr(0, t1));
        v.type = static_cast<uint32_t>(
            std::wcstoul(std::wstring(line.substr(t1 + 1, t2 - t1 - 1)).c_str(), nullptr, 10));
        v.text = Unescape(line.substr(t2 + 1));
        values->push_back(std::move(v));
    }
    return true;
}

bool StoreValues(const std::string& file, const std::vector<Value>& values) {
    std::wstring text;
    for (const Value& v : values) {
        text += Escape(v.name) + L"\t" + std::to_wstring(v.type) + L"\t" + Escape(v.text) + L"\n";
    }
    std::string bytes = ToNarrow(text, kCodePageUtf8);
    std::string tmp = file + ".XXXXXX";
    int fd = ::mkostemp(tmp.data(), O_CLOEXEC);
    if (fd < 0) {
        TRACE(L"cannot create a temporary file beside %s errno=%d\r\n", file.c_str(), errno);
        return false;
    }
    bool ok = ::fchmod(fd, 0600) == 0;
    size_t done = 0;
    while (ok && done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            ok = false;
        else
            done += static_cast<size_t>(n);
    }
    ok = ::fsync(fd) == 0 && ok;
    int err = errno;
    ok = ::close(fd) == 0 && ok;
    if (ok && ::rename(tmp.c_str(), file.c_str()) != 0) {
        err = errno;
        ok = false;
    }
    if (!ok) {
        ::unlink(tmp.c_str());
        TRACE(L"writing %s failed errno=%d\r\n", file.c_str(), err);
    }
    return ok;
}

// Serialises read-modify-write cycles of processes that share the key.
class KeyLock {
public:
    explicit KeyLock(const std::string& file) {
        fd_ = ::open((file + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd_ >= 0) {
            while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
            }
        }
    }
    ~KeyLock() {
        if (fd_ >= 0)
            ::close(fd_);  // closing releases the lock
    }
    KeyLock(const KeyLock&) = delete;
    KeyLock& operator=(const KeyLock&) = delete;

private:
    int fd_ = -1;
};

}  // namespace

std::string RegistryKeyFile(std::wstring_view keyPath) {
    std::string base;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (home == nullptr || home[0] == '\0')
            return {};
        base = std::string(home) + "/.config";
    }
    std::wstring_view rest = keyPath;
    if (rest.size() >= 9 && SameName(rest.substr(0, 9), kSoftwarePrefix))
        rest.remove_prefix(9);
    std::string relative;
    size_t start = 0;
    while (start <= rest.size()) {
        size_t sep = rest.find(L'\\', start);
        std::wstring_view part =
            rest.substr(start, sep == std::wstring_view::npos ? rest.npos : sep - start);
        start = sep == std::wstring_view::npos ? rest.size() + 1 : sep + 1;
        if (part.empty())
            continue;
        if (part == L"." || part == L".." || part.find(L'/') != std::wstring_view::npos)
            return {};
        if (!relative.empty())
            relative += '/';
        relative += ToNarrow(part, kCodePageUtf8);
    }
    if (relative.empty())
        return {};
    return base + "/" + relative + ".reg";
}

uint32_t RegStringByteSize(std::wstring_view text) {
    uint32_t units = 0;
    for (wchar_t c : text)
        units += static_cast<uint32_t>(c) > 0xFFFF ? 2 : 1;
    return 2 * units;
}

bool WriteRegString(std::wstring_view name, std::wstring_view text, std::wstring_view keyPath) {
    std::string file = RegistryKeyFile(keyPath);
    if (file.empty()) {
        TRACE(L"no registry file for key %ls\r\n", std::wstring(keyPath).c_str());
        return false;
    }
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(file).parent_path(), ec);
    if (ec) {
        TRACE(L"cannot create the folder of %s: %s\r\n", file.c_str(), ec.message().c_str());
        return false;
    }
    KeyLock lock(file);
    std::vector<Value> values;
    LoadValues(file, &values);
    bool replaced = false;
    for (Value& v : values) {
        if (SameName(v.name, name)) {
            v.type = kRegSz;
            v.text = std::wstring(text);
            replaced = true;
            break;
        }
    }
    if (!replaced)
        values.push_back(Value{std::wstring(name), kRegSz, std::wstring(text)});
    return StoreValues(file, values);
}

bool ReadRegString(std::wstring_view name, uint32_t* type, std::wstring* text,
                   std::wstring_view keyPath) {
    std::string file = RegistryKeyFile(keyPath);
    if (file.empty())
        return false;
    std::vector<Value> values;
    if (!LoadValues(file, &values))
        return false;
    for (const Value& v : values) {
        if (SameName(v.name, name)) {
            if (type != nullptr)
                *type = v.type;
            if (text != nullptr)
                *text = v.text;
            return true;
        }
    }
    return false;
}

}  // namespace Utils
