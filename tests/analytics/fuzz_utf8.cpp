// isWellFormedUtf8 against an independent decoder: decode code points by their bit
// patterns, then apply the collector's rules (allowed ASCII, shortest form, no surrogates,
// at most U+10FFFF).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "analytics/core/validation.h"

namespace {

bool Reference(const uint8_t* p, size_t n) {
    size_t i = 0;
    while (i < n) {
        uint8_t c = p[i];
        if (c < 0x80) {
            if (!(c == 0x09 || c == 0x0A || c == 0x0D || (c >= 0x20 && c <= 0x7E)))
                return false;
            ++i;
            continue;
        }
        int len;
        uint32_t cp;
        if ((c & 0xE0) == 0xC0) {
            len = 2;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + static_cast<size_t>(len) > n)
            return false;
        for (int k = 1; k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        static const uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += static_cast<size_t>(len);
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    if (analytics_core::isWellFormedUtf8(text) != Reference(data, size))
        std::abort();
    return 0;
}
