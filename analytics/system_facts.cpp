#include "analytics/system_facts.h"

#include <dirent.h>
#include <sys/random.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <random>
#include <vector>

#include "utils/os_info.h"
#include "utils/text.h"

namespace orvan::analytics {

std::string WindowsAnalyticsVersionName(uint32_t major, uint32_t minor, uint32_t build,
                                        bool is64Bit, bool serverR2) {
    build &= 0xFFFF;
    if (major <= 4)
        return "XP-";
    if (major == 5) {
        if (minor == 0)
            return "2K";
        if (minor == 1)
            return "XP";
        if (minor == 2)
            return is64Bit ? "XP64" : (serverR2 ? "Server 2003 R2" : "Server 2003");
        return "XP+";
    }
    if (major == 6) {
        switch (minor) {
            case 0:
                return is64Bit ? "Vista64" : "Vista";
            case 1:
                return is64Bit ? "7" : "7-32";
            case 2:
                return is64Bit ? "8" : "8-32";
            case 3:
                return "8.1";
            default:
                return "8.1+";
        }
    }
    if (major == 10) {
        if (minor == 0)
            return build < 22000 ? "10" : "11";
        return "11+";
    }
    return std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(build);
}

OsFacts ProbeOs() {
    auto [family, release] = Utils::GetOsName();
    OsFacts facts;
    facts.name = Utils::ToNarrow(family, Utils::kCodePageUtf8);
    facts.version = Utils::ToNarrow(release, Utils::kCodePageUtf8);
    facts.is64Bit = Utils::GetOsBitness() == 64;
    return facts;
}

std::string UserAgentText(const OsFacts& os) {
    std::string tag = os.name == "Windows" ? "Win" : os.name;
    return "Mozilla/5.0(" + os.name + " " + os.version + "; " + tag +
           (os.is64Bit ? "64;)" : "32;)");
}

LocaleFacts ParsePosixLocale(const std::string& name) {
    // language[_territory][.codeset][@modifier]
    std::string base = name.substr(0, name.find_first_of(".@"));
    size_t underscore = base.find('_');
    if (underscore == std::string::npos || underscore == 0 || underscore + 1 == base.size()) {
        return {};
    }
    LocaleFacts facts;
    facts.language = base.substr(0, underscore);
    facts.country = base.substr(underscore + 1);
    // The ISO names are read into 16-byte buffers on the original platform.
    if (facts.language.size() > 15 || facts.country.size() > 15)
        return {};
    facts.locale = facts.language + "_" + facts.country;
    return facts;
}

LocaleFacts ResolveLocale(const std::string& overrideLocale) {
    size_t underscore = overrideLocale.find('_');
    if (!overrideLocale.empty() && underscore != std::string::npos) {
        return {overrideLocale, overrideLocale.substr(0, underscore),
                overrideLocale.substr(underscore + 1)};
    }
    // The user's default locale: the first of the variables that name it.
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && value[0] != '\0')
            return ParsePosixLocale(value);
    }
    return {};
}

ScreenSize ProbeScreenSize() {
    constexpr char kDrm[] = "/sys/class/drm";
    DIR* dir = ::opendir(kDrm);
    if (dir == nullptr)
        return {};
    std::vector<std::string> connectors;
    while (dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name.rfind("card", 0) == 0 && name.find('-') != std::string::npos) {
            connectors.push_back(name);
        }
    }
    ::closedir(dir);
    std::sort(connectors.begin(), connectors.end());
    for (const std::string& connector : connectors) {
        std::string base = std::string(kDrm) + "/" + connector;
        std::ifstream status(base + "/status");
        std::string state;
        if (!std::getline(status, state) || state != "connected")
            continue;
        std::ifstream modes(base + "/modes");
        std::string mode;
        int width = 0, height = 0;
        if (std::getline(modes, mode) && std::sscanf(mode.c_str(), "%dx%d", &width, &height) == 2 &&
            width > 0 && height > 0) {
            return {width, height};
        }
    }
    return {};
}

bool SystemGuid(uint8_t bytes[16]) {
    size_t filled = 0;
    while (filled < 16) {
        ssize_t n = ::getrandom(bytes + filled, 16 - filled, 0);
        if (n <= 0)
            return false;
        filled += static_cast<size_t>(n);
    }
    bytes[7] = static_cast<uint8_t>((bytes[7] & 0x0F) | 0x40);  // Data3 high byte: version 4
    bytes[8] = static_cast<uint8_t>((bytes[8] & 0x3F) | 0x80);  // variant 10xx
    return true;
}

std::string NewDistinctId(const GuidSource& source) {
    constexpr int kRequests = 11;
    uint8_t b[16] = {};
    for (int i = 0; i < kRequests; ++i) {
        if (source && source(b)) {
            uint32_t data1 =
                b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
            unsigned data2 = b[4] | (b[5] << 8);
            unsigned data3 = b[6] | (b[7] << 8);
            char text[40];
            std::snprintf(text, sizeof(text), "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X",
                          data1, data2, data3, b[8], b[9], b[10], b[11], b[12], b[13], b[14],
                          b[15]);
            return text;
        }
    }
    // Fallback: one generator for the whole process with its default seed.
    static std::mutex mutex;
    static std::mt19937 generator;
    std::uniform_int_distribution<uint32_t> draw(0, 2147483646);
    uint32_t v[8];
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (uint32_t& value : v)
            value = draw(generator);
    }
    v[3] = (v[3] & 0xFFF) | 0x4000;
    v[4] = v[4] % 0x3FFF + 0x8000;
    char text[80];
    std::snprintf(text, sizeof(text), "%x%x-%x-%x-%x-%x%x%x", v[0], v[1], v[2], v[3], v[4], v[5],
                  v[6], v[7]);
    return text;
}

}  // namespace orvan::analytics
