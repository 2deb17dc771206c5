#include "utils/profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <vector>

#include "utils/number_text.h"
#include "utils/text.h"
#include "utils/trace_log.h"

namespace Utils {
namespace {

constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\v' || c == L'\f';
}

std::wstring_view Trim(std::wstring_view s) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b]))
        ++b;
    while (e > b && IsBlank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i])))
            return false;
    }
    return true;
}

// What one line of a profile file is.
struct LineInfo {
    enum Kind { kOther, kSection, kKey } kind = kOther;
    std::wstring_view name;   // section or key name, trimmed
    std::wstring_view value;  // key value, trimmed, quotes still on
};

LineInfo Classify(std::wstring_view line) {
    LineInfo info;
    std::wstring_view t = Trim(line);
    if (t.empty() || t[0] == L';')
        return info;
    if (t[0] == L'[') {
        size_t close = t.find(L']');
        info.kind = LineInfo::kSection;
        info.name = Trim(t.substr(1, close == std::wstring_view::npos ? t.npos : close - 1));
        return info;
    }
    info.kind = LineInfo::kKey;
    size_t eq = t.find(L'=');
    if (eq == std::wstring_view::npos) {
        info.name = t;
    } else {
        info.name = Trim(t.substr(0, eq));
        info.value = Trim(t.substr(eq + 1));
    }
    return info;
}

std::wstring Unquote(std::wstring_view v) {
    if (v.size() >= 2 && (v.front() == L'"' || v.front() == L'\'') && v.back() == v.front()) {
        v = v.substr(1, v.size() - 2);
    }
    return std::wstring(v);
}

std::wstring CutToBuffer(std::wstring s, size_t bufferChars) {
    if (bufferChars == 0)
        return {};
    if (s.size() > bufferChars - 1)
        s.resize(bufferChars - 1);
    return s;
}

// Splits raw bytes at "\n"; `finalNewline` tells whether the last line had one.
std::vector<std::string> SplitLines(const std::string& text, bool* finalNewline) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t nl = text.find('\n', start);
        if (nl == std::string::npos) {
            lines.push_back(text.substr(start));
            *finalNewline = false;
            return lines;
        }
        lines.push_back(text.substr(start, nl - start));
        start = nl + 1;
    }
    *finalNewline = true;
    return lines;
}

std::wstring DecodeLine(const std::string& raw, bool first) {
    std::string_view v(raw);
    if (first && v.substr(0, 3) == kUtf8Bom)
        v.remove_prefix(3);
    return ToWide(v, kCodePageUtf8);
}

// Result of reading the file: false only for errors other than "does not exist".
bool ReadWholeFile(const std::string& path, std::string* out, bool* exists) {
    out->clear();
    *exists = false;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return true;
        TRACE(L"open %s failed errno=%d\r\n", path.c_str(), errno);
        return false;
    }
    *exists = true;
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof(buf));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            TRACE(L"read %s failed errno=%d\r\n", path.c_str(), errno);
            ::close(fd);
            return false;
        }
        if (n == 0)
            break;
        out->append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return true;
}

// Writes `text` to a temporary file beside `path` and renames it over `path`.
bool ReplaceFile(const std::string& path, const std::string& text) {
    mode_t mode = 0;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    std::string tmp = path + ".XXXXXX";
    int fd = ::mkostemp(tmp.data(), O_CLOEXEC);
    if (fd < 0) {
        TRACE(L"cannot create a temporary file beside %s errno=%d\r\n", path.c_str(), errno);
        return false;
    }
    bool ok = ::fchmod(fd, mode) == 0;
    const char* p = text.data();
    size_t left = text.size();
    while (ok && left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    ok = ok && ::fsync(fd) == 0;
    int err = errno;
    ok = (::close(fd) == 0) && ok;
    if (ok && ::rename(tmp.c_str(), path.c_str()) != 0) {
        err = errno;
        ok = false;
    }
    if (!ok) {
        ::unlink(tmp.c_str());
        TRACE(L"writing %s failed errno=%d\r\n", path.c_str(), err);
    }
    return ok;
}

std::string OneLine(std::wstring_view s) {
    std::wstring w(s);
    for (wchar_t& c : w) {
        if (c == L'\r' || c == L'\n')
            c = L' ';
    }
    return ToNarrow(w, kCodePageUtf8);
}

// Finds the key in the section. Returns false when the section is missing. On return
// `keyLine` is the index of the first line of the key (or npos) and `insertAt` the index
// after the section's last non-blank line.
bool Locate(const std::vector<std::string>& lines, std::wstring_view section, std::wstring_view key,
            std::vector<size_t>* keyLines, size_t* insertAt) {
    bool inSection = false, found = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::wstring text = DecodeLine(lines[i], i == 0);
        LineInfo info = Classify(text);
        if (info.kind == LineInfo::kSection) {
            if (found)
                break;  // only the first section of the name counts
            inSection = EqualsNoCase(info.name, section);
            if (inSection) {
                found = true;
                *insertAt = i + 1;
            }
            continue;
        }
        if (!inSection)
            continue;
        if (!Trim(text).empty())
            *insertAt = i + 1;
        if (info.kind == LineInfo::kKey && EqualsNoCase(info.name, key))
            keyLines->push_back(i);
    }
    return found;
}

std::string JoinLines(const std::vector<std::string>& lines, bool finalNewline) {
    std::string out;
    for (size_t i = 0; i < lines.size(); ++i) {
        out += lines[i];
        if (i + 1 < lines.size() || finalNewline)
            out.push_back('\n');
    }
    return out;
}

}  // namespace

std::wstring ReadProfileStringFromText(std::string_view fileText, std::wstring_view section,
                                       std::wstring_view key, std::wstring_view defaultValue,
                                       size_t bufferChars) {
    if (fileText.substr(0, 3) == kUtf8Bom)
        fileText.remove_prefix(3);
    bool inSection = false, seenSection = false;
    size_t start = 0;
    while (start <= fileText.size()) {
        size_t nl = fileText.find('\n', start);
        std::string_view raw =
            fileText.substr(start, nl == std::string_view::npos ? fileText.npos : nl - start);
        start = nl == std::string_view::npos ? fileText.size() + 1 : nl + 1;
        // Cheap skip of lines that cannot matter before decoding them.
        if (!inSection && raw.find('[') == std::string_view::npos)
            continue;
        std::wstring line = ToWide(raw, kCodePageUtf8);
        LineInfo info = Classify(line);
        if (info.kind == LineInfo::kSection) {
            if (seenSection)
                break;
            inSection = EqualsNoCase(info.name, section);
            seenSection = inSection;
        } else if (inSection && info.kind == LineInfo::kKey && EqualsNoCase(info.name, key)) {
            return CutToBuffer(Unquote(info.value), bufferChars);
        }
    }
    std::wstring_view def = defaultValue;
    while (!def.empty() && IsBlank(def.back()))
        def.remove_suffix(1);
    return CutToBuffer(std::wstring(def), bufferChars);
}

std::wstring ReadProfileString(const std::string& path, std::wstring_view section,
                               std::wstring_view key, std::wstring_view defaultValue,
                               size_t bufferChars) {
    std::string text;
    bool exists = false;
    ReadWholeFile(path, &text, &exists);
    return ReadProfileStringFromText(text, section, key, defaultValue, bufferChars);
}

int32_t ReadProfileInt(const std::string& path, std::wstring_view section, std::wstring_view key,
                       int32_t defaultValue) {
    // The system reads the value into a small buffer first; a value that long is no number.
    std::wstring value = ReadProfileString(path, section, key, L"", 32);
    if (value.empty())
        return defaultValue;
    int32_t v = 0;
    return ParseLeadingInt32(value, &v) ? v : 0;
}

std::string UpdateProfileText(std::string_view fileText, std::wstring_view section,
                              std::wstring_view key, const std::wstring_view* value) {
    bool finalNewline = true;
    std::vector<std::string> lines = SplitLines(std::string(fileText), &finalNewline);
    std::vector<size_t> keyLines;
    size_t insertAt = 0;
    const bool found = Locate(lines, section, key, &keyLines, &insertAt);
    if (value == nullptr) {
        if (!found || keyLines.empty())
            return std::string(fileText);
        for (auto it = keyLines.rbegin(); it != keyLines.rend(); ++it) {
            lines.erase(lines.begin() + static_cast<long>(*it));
        }
        if (lines.empty())
            finalNewline = true;
        return JoinLines(lines, finalNewline);
    }
    bool crlf = !lines.empty() && !lines[0].empty() && lines[0].back() == '\r';
    const std::string cr = crlf ? "\r" : "";
    std::string entry = OneLine(key) + "=" + OneLine(*value) + cr;
    if (found) {
        if (!keyLines.empty()) {
            lines[keyLines[0]] = entry;
        } else {
            lines.insert(lines.begin() + static_cast<long>(insertAt), entry);
            if (insertAt == lines.size() - 1)
                finalNewline = true;
        }
    } else {
        lines.push_back("[" + OneLine(section) + "]" + cr);
        lines.push_back(entry);
        finalNewline = true;
    }
    return JoinLines(lines, finalNewline);
}

bool WriteProfileString(const std::string& path, std::wstring_view section, std::wstring_view key,
                        std::wstring_view value) {
    std::string text;
    bool exists = false;
    if (!ReadWholeFile(path, &text, &exists))
        return false;
    return ReplaceFile(path, UpdateProfileText(text, section, key, &value));
}

bool DeleteProfileKey(const std::string& path, std::wstring_view section, std::wstring_view key) {
    std::string text;
    bool exists = false;
    if (!ReadWholeFile(path, &text, &exists))
        return false;
    if (!exists)
        return true;
    std::string updated = UpdateProfileText(text, section, key, nullptr);
    return updated == text || ReplaceFile(path, updated);
}

}  // namespace Utils
