#include "utils/text.h"

#include <iconv.h>
#include <langinfo.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace Utils {
namespace {

constexpr wchar_t kReplacement = 0xFFFD;

bool IsUtf8Name(const std::string& name) {
    return strcasecmp(name.c_str(), "UTF-8") == 0 || strcasecmp(name.c_str(), "UTF8") == 0;
}

// Decodes UTF-8 without iconv: the hot path for child output and URLs. Invalid or
// truncated sequences, overlongs, surrogates and values above U+10FFFF each become one
// U+FFFD per offending byte.
std::wstring DecodeUtf8(std::string_view s) {
    std::wstring out;
    out.reserve(s.size());
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    size_t n = s.size();
    size_t i = 0;
    while (i < n) {
        unsigned c = p[i];
        if (c < 0x80) {
            out.push_back(static_cast<wchar_t>(c));
            ++i;
            continue;
        }
        int len = 0;
        unsigned cp = 0, min = 0;
        if ((c & 0xE0) == 0xC0) {
            len = 2, cp = c & 0x1F, min = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3, cp = c & 0x0F, min = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4, cp = c & 0x07, min = 0x10000;
        } else {
            out.push_back(kReplacement);
            ++i;
            continue;
        }
        if (i + len > n) {
            out.push_back(kReplacement);
            ++i;
            continue;
        }
        bool ok = true;
        for (int k = 1; k < len; ++k) {
            unsigned cc = p[i + k];
            if ((cc & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (cc & 0x3F);
        }
        if (!ok || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out.push_back(kReplacement);
            ++i;
            continue;
        }
        out.push_back(static_cast<wchar_t>(cp));
        i += static_cast<size_t>(len);
    }
    return out;
}

void AppendUtf8(std::string& out, unsigned cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) cp = '?';
    if (cp > 0x10FFFF) cp = '?';
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

std::string EncodeUtf8(std::wstring_view s) {
    std::string out;
    out.reserve(s.size());
    for (wchar_t ch : s) AppendUtf8(out, static_cast<unsigned>(ch));
    return out;
}

// One iconv conversion; `step` bytes of input are skipped and `replacement` written when
// the input holds something the target cannot take.
template <typename Out>
bool IconvAll(const char* to, const char* from, const char* in, size_t inLen, size_t step,
              const char* replacement, size_t replacementLen, Out& out) {
    iconv_t cd = ::iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    char buf[4096];
    auto* src = const_cast<char*>(in);
    size_t left = inLen;
    bool ok = true;
    while (left > 0) {
        char* dst = buf;
        size_t room = sizeof(buf);
        size_t r = ::iconv(cd, &src, &left, &dst, &room);
        out.append(reinterpret_cast<const typename Out::value_type*>(buf),
                   static_cast<size_t>(dst - buf) / sizeof(typename Out::value_type));
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG) continue;
            if (errno == EILSEQ || errno == EINVAL) {
                // EINVAL: a truncated sequence at the end; EILSEQ: an invalid one.
                size_t skip = step < left ? step : left;
                src += skip;
                left -= skip;
                out.append(reinterpret_cast<const typename Out::value_type*>(replacement),
                           replacementLen / sizeof(typename Out::value_type));
                continue;
            }
            ok = false;
            break;
        }
    }
    // Flush any shift state.
    char* dst = buf;
    size_t room = sizeof(buf);
    ::iconv(cd, nullptr, nullptr, &dst, &room);
    out.append(reinterpret_cast<const typename Out::value_type*>(buf),
               static_cast<size_t>(dst - buf) / sizeof(typename Out::value_type));
    ::iconv_close(cd);
    return ok;
}

}  // namespace

std::string CodePageName(unsigned codePage) {
    switch (codePage) {
        case kCodePageSystem: {
            const char* cs = ::nl_langinfo(CODESET);
            // The plain C/POSIX locale reports ASCII; treat it as UTF-8, like C.UTF-8.
            if (cs == nullptr || *cs == '\0' || std::strcmp(cs, "ANSI_X3.4-1968") == 0 ||
                std::strcmp(cs, "ASCII") == 0) {
                return "UTF-8";
            }
            return cs;
        }
        case kCodePageUtf8:
            return "UTF-8";
        case kCodePageGbk:
            return "GBK";
        default:
            return "CP" + std::to_string(codePage);
    }
}

std::wstring ToWide(std::string_view text, unsigned codePage) {
    if (text.empty()) return {};
    std::string name = CodePageName(codePage);
    if (IsUtf8Name(name)) return DecodeUtf8(text);
    std::wstring out;
    static const wchar_t kRep[] = {kReplacement};
    if (!IconvAll("WCHAR_T", name.c_str(), text.data(), text.size(), 1,
                  reinterpret_cast<const char*>(kRep), sizeof(kRep), out)) {
        return {};
    }
    return out;
}

std::string ToNarrow(std::wstring_view text, unsigned codePage) {
    if (text.empty()) return {};
    std::string name = CodePageName(codePage);
    if (IsUtf8Name(name)) return EncodeUtf8(text);
    std::string out;
    if (!IconvAll(name.c_str(), "WCHAR_T", reinterpret_cast<const char*>(text.data()),
                  text.size() * sizeof(wchar_t), sizeof(wchar_t), "?", 1, out)) {
        return {};
    }
    return out;
}

std::wstring UrlEncode(std::wstring_view text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string utf8 = EncodeUtf8(text);
    std::string out;
    out.reserve(utf8.size() * 3);
    for (unsigned char b : utf8) {
        if (b >= 33 && b <= 126) {
            out.push_back(static_cast<char>(b));
        } else if (b == ' ') {
            out.push_back('+');
        } else {
            out.push_back('%');
            out.push_back(kHex[b >> 4]);
            out.push_back(kHex[b & 15]);
        }
    }
    return DecodeUtf8(out);
}

}  // namespace Utils
