// Connectivity probe.
//
// The result keeps the layout of the Windows network-list query: the connectivity flags
// (NLM_CONNECTIVITY) in the low 16 bits, a verdict from bit 16 up:
//   0 - connected to the internet (or nothing could be asked),
//   1 - no connectivity at all,
//   2 - connectivity, but not to the internet.
// On this OS the flags come from the interfaces: a non-loopback interface that is up with
// an IPv4 (IPv6) address sets the IPv4 (IPv6) local-network flag; a default route of a
// family sets that family's internet flag, and any default route means "connected to the
// internet".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace Utils {

constexpr uint32_t kNlmIpv4LocalNetwork = 0x20;
constexpr uint32_t kNlmIpv4Internet = 0x40;
constexpr uint32_t kNlmIpv6LocalNetwork = 0x200;
constexpr uint32_t kNlmIpv6Internet = 0x400;

constexpr uint32_t kNetVerdictInternet = 0;
constexpr uint32_t kNetVerdictNone = 1;
constexpr uint32_t kNetVerdictNoInternet = 2;

/// What the probe learned from the system.
struct NetworkFacts {
    bool ipv4Local = false;    // a non-loopback interface is up with an IPv4 address
    bool ipv6Local = false;    // ... with an IPv6 address that is not link-local
    bool ipv4Default = false;  // a default IPv4 route exists
    bool ipv6Default = false;  // a default IPv6 route exists
};

/// Result word from facts (pure; traces the verdicts 1 and 2 as the design does).
uint32_t ComposeNetworkResult(const NetworkFacts& facts);

/// True when the text of /proc/net/route names an up default route on an interface other
/// than "lo".
bool HasDefaultRouteV4(std::string_view procNetRoute);
/// The same for the text of /proc/net/ipv6_route.
bool HasDefaultRouteV6(std::string_view procNetIpv6Route);

/// Probes this machine (getifaddrs, /proc/net/route, /proc/net/ipv6_route).
uint32_t CheckNetwork();

}  // namespace Utils
