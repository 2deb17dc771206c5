#include "utils/guid.h"

#include <sys/random.h>

#include <cerrno>
#include <cwchar>

#include "utils/trace_log.h"

namespace Utils {

std::wstring GuidText(const uint8_t b[16]) {
    const uint32_t data1 =
        uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
    const unsigned data2 = unsigned{b[4]} | unsigned{b[5]} << 8;
    const unsigned data3 = unsigned{b[6]} | unsigned{b[7]} << 8;
    wchar_t buf[40];
    std::swprintf(buf, 40, L"%08X%04X%04x%02X%02X%02X%02X%02X%02X%02X%02X",
                  static_cast<unsigned>(data1), data2, data3, b[8], b[9], b[10], b[11], b[12],
                  b[13], b[14], b[15]);
    return buf;
}

std::wstring NewGuidText() {
    uint8_t b[16];
    size_t got = 0;
    while (got < sizeof(b)) {
        ssize_t n = ::getrandom(b + got, sizeof(b) - got, 0);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            TRACE(L"getrandom failed errno=%d\r\n", errno);
            return {};
        }
        got += static_cast<size_t>(n);
    }
    b[7] = static_cast<uint8_t>((b[7] & 0x0F) | 0x40);  // version 4: high nibble of Data3
    b[8] = static_cast<uint8_t>((b[8] & 0x3F) | 0x80);  // variant 10xx
    return GuidText(b);
}

}  // namespace Utils
