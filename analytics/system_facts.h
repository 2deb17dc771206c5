// The system facts that every analytics record carries: operating-system name and version,
// the user-agent text, the locale, the screen size, and fresh distinct ids.
//
// The probes report this machine as it is. The Windows version naming of the analytics
// side is kept as a pure function so the names the collection side knows stay testable.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace orvan::analytics {

/// The analytics version name for Windows version numbers (build: low 16 bits count):
/// "2K", "XP", "XP64", "Server 2003" / "Server 2003 R2", "XP+", "Vista64" / "Vista",
/// "7" / "7-32", "8" / "8-32", "8.1", "8.1+", "10" (build below 22000) / "11", "11+",
/// "major.minor.build" for other majors above 4, and "XP-" for 4 or less.
std::string WindowsAnalyticsVersionName(uint32_t major, uint32_t minor, uint32_t build,
                                        bool is64Bit, bool serverR2);

struct OsFacts {
    std::string name;     // "Linux" here ("Windows" on the original platform)
    std::string version;  // the kernel release here
    bool is64Bit = false;
};

/// This machine's facts (uname).
OsFacts ProbeOs();

/// "Mozilla/5.0(" + name + " " + version + "; " + tag + ("64;)" or "32;)"), where the tag
/// is "Win" for Windows and the OS name otherwise: "Mozilla/5.0(Windows 10; Win64;)".
std::string UserAgentText(const OsFacts& os);

struct LocaleFacts {
    std::string locale, language, country;  // "zh_CN", "zh", "CN"; all empty when unknown
};

/// With an override that contains "_": locale = override, language = the part before the
/// first "_", country = the part after it. Otherwise the user's default locale.
LocaleFacts ResolveLocale(const std::string& overrideLocale);

/// The language and country of a POSIX locale name such as "zh_CN.UTF-8@euro": ("zh",
/// "CN") -> "zh_CN". All empty for "C", "POSIX", an empty name or a name without a country.
LocaleFacts ParsePosixLocale(const std::string& name);

struct ScreenSize {
    int32_t width = 0, height = 0;  // 0 when no screen is known
};

/// The primary screen's size: the first mode of the first connected display connector the
/// kernel lists; 0 x 0 on a machine without one (a server, a build machine).
ScreenSize ProbeScreenSize();

/// Fills 16 GUID bytes (Data1, Data2, Data3 in little-endian memory order, then Data4);
/// false when the source failed.
using GuidSource = std::function<bool(uint8_t bytes[16])>;

/// The OS random source with the version-4 and variant bits set.
bool SystemGuid(uint8_t bytes[16]);

/// A new distinct id: up to 11 requests to `source`, the first success printed as
/// "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X". When every request fails, a text
/// from eight draws of the process's Mersenne Twister (default seed, never reseeded).
std::string NewDistinctId(const GuidSource& source = SystemGuid);

}  // namespace orvan::analytics
