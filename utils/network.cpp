#include "utils/network.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <net/route.h>
#include <netinet/in.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "utils/trace_log.h"

namespace Utils {
namespace {

std::string ReadSmallFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Splits a line into blank-separated fields.
std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> out;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        size_t b = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t')
            ++i;
        if (i > b)
            out.push_back(line.substr(b, i - b));
    }
    return out;
}

template <typename F>
void ForEachLine(std::string_view text, F f) {
    size_t start = 0;
    while (start < text.size()) {
        size_t nl = text.find('\n', start);
        if (nl == std::string_view::npos)
            nl = text.size();
        f(text.substr(start, nl - start));
        start = nl + 1;
    }
}

}  // namespace

uint32_t ComposeNetworkResult(const NetworkFacts& f) {
    uint32_t flags = 0;
    if (f.ipv4Local)
        flags |= kNlmIpv4LocalNetwork;
    if (f.ipv6Local)
        flags |= kNlmIpv6LocalNetwork;
    if (f.ipv4Local && f.ipv4Default)
        flags |= kNlmIpv4Internet;
    if (f.ipv6Local && f.ipv6Default)
        flags |= kNlmIpv6Internet;
    if (flags == 0) {
        TRACE(L"GetConnectivity %d\r\n", 0);
        return kNetVerdictNone << 16;
    }
    bool internet = (flags & (kNlmIpv4Internet | kNlmIpv6Internet)) != 0;
    if (!internet) {
        TRACE(L"get_IsConnectedToInternet:%d\r\n", 0);
        return kNetVerdictNoInternet << 16 | flags;
    }
    return kNetVerdictInternet << 16 | flags;
}

bool HasDefaultRouteV4(std::string_view text) {
    // Iface Destination Gateway Flags RefCnt Use Metric Mask ... (hexadecimal fields)
    bool found = false;
    ForEachLine(text, [&](std::string_view line) {
        auto f = Fields(line);
        if (f.size() < 8 || f[0] == "Iface" || f[0] == "lo")
            return;
        unsigned long flags = std::strtoul(std::string(f[3]).c_str(), nullptr, 16);
        if (f[1] == "00000000" && f[7] == "00000000" && (flags & RTF_UP) != 0)
            found = true;
    });
    return found;
}

bool HasDefaultRouteV6(std::string_view text) {
    // dest destlen src srclen nexthop metric refcnt use flags iface
    bool found = false;
    ForEachLine(text, [&](std::string_view line) {
        auto f = Fields(line);
        if (f.size() < 10 || f[9] == "lo")
            return;
        unsigned long flags = std::strtoul(std::string(f[8]).c_str(), nullptr, 16);
        bool anyDest = f[0].find_first_not_of('0') == std::string_view::npos && f[1] == "00";
        // RTF_REJECT marks the kernel's "unreachable" placeholder routes.
        if (anyDest && (flags & RTF_UP) != 0 && (flags & RTF_REJECT) == 0)
            found = true;
    });
    return found;
}

uint32_t CheckNetwork() {
    NetworkFacts facts;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) {
        TRACE(L"getifaddrs failed errno=%d\r\n", errno);
        return 0;  // nothing could be asked: the whole result is 0
    }
    for (ifaddrs* a = list; a != nullptr; a = a->ifa_next) {
        if (a->ifa_addr == nullptr || (a->ifa_flags & IFF_UP) == 0 ||
            (a->ifa_flags & IFF_LOOPBACK) != 0) {
            continue;
        }
        if (a->ifa_addr->sa_family == AF_INET)
            facts.ipv4Local = true;
        if (a->ifa_addr->sa_family == AF_INET6) {
            const auto* in6 = reinterpret_cast<const sockaddr_in6*>(a->ifa_addr);
            if (!IN6_IS_ADDR_LINKLOCAL(&in6->sin6_addr))
                facts.ipv6Local = true;
        }
    }
    ::freeifaddrs(list);
    facts.ipv4Default = HasDefaultRouteV4(ReadSmallFile("/proc/net/route"));
    facts.ipv6Default = HasDefaultRouteV6(ReadSmallFile("/proc/net/ipv6_route"));
    return ComposeNetworkResult(facts);
}

}  // namespace Utils
