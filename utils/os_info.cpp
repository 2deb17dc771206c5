#include "utils/os_info.h"

#include <sys/utsname.h>

#include <cstring>

#include "utils/text.h"

namespace Utils {

std::wstring WindowsVersionName(uint32_t major, uint32_t minor, uint32_t build, bool serverR2) {
    build &= 0xFFFF;
    if (major <= 4)
        return L"XP-";
    if (major == 5) {
        if (minor == 0)
            return L"2K";
        if (minor == 1)
            return L"XP";
        if (minor == 2)
            return serverR2 ? L"Server 2003 R2" : L"Server 2003";
        return L"XP+";
    }
    if (major == 6) {
        switch (minor) {
            case 0:
                return L"Vista";
            case 1:
                return L"7";
            case 2:
                return L"8";
            case 3:
                return L"8.1";
            default:
                return L"8.1+";
        }
    }
    if (major == 10)
        return minor == 0 ? L"10" : L"10+";
    return std::to_wstring(major) + L"." + std::to_wstring(minor) + L"." + std::to_wstring(build);
}

std::pair<std::wstring, std::wstring> GetOsName() {
    struct utsname u {};
    if (::uname(&u) != 0)
        return {L"Linux", L""};
    return {L"Linux", ToWide(u.release, kCodePageUtf8)};
}

int GetOsBitness() {
    struct utsname u {};
    if (::uname(&u) != 0)
        return sizeof(void*) * 8;
    static const char* const k64[] = {"x86_64",  "aarch64", "ppc64",       "ppc64le", "s390x",
                                      "riscv64", "mips64",  "loongarch64", "sparc64", "alpha"};
    for (const char* m : k64) {
        if (std::strcmp(u.machine, m) == 0)
            return 64;
    }
    return 32;
}

}  // namespace Utils
