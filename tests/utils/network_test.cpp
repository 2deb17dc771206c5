#include "utils/network.h"

#include <gtest/gtest.h>

namespace {

TEST(ComposeNetworkResult, FlagsAndVerdicts) {
    struct Case {
        Utils::NetworkFacts facts;
        uint32_t expected;
    } cases[] = {
        {{false, false, false, false}, 1u << 16},
        {{false, false, true, true}, 1u << 16},          // routes without an address: nothing
        {{true, false, false, false}, 2u << 16 | 0x20},  // LAN, no internet
        {{true, true, false, false}, 2u << 16 | 0x220},
        {{true, false, true, false}, 0x20 | 0x40},
        {{true, true, true, true}, 0x20 | 0x40 | 0x200 | 0x400},
        {{false, true, false, true}, 0x200 | 0x400},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Utils::ComposeNetworkResult(c.facts), c.expected)
            << c.facts.ipv4Local << c.facts.ipv6Local << c.facts.ipv4Default << c.facts.ipv6Default;
    }
}

TEST(DefaultRoutes, ParsedFromProcText) {
    const char* header =
        "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";
    struct Case {
        std::string text;
        bool expected;
    } v4[] = {
        {std::string(header) + "eth0\t00000000\t0102A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n",
         true},
        {std::string(header) + "eth0\t0002A8C0\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0\n",
         false},
        {std::string(header) + "eth0\t00000000\t0102A8C0\t0002\t0\t0\t100\t00000000\t0\t0\t0\n",
         false},
        {std::string(header) + "lo\t00000000\t00000000\t0001\t0\t0\t0\t00000000\t0\t0\t0\n", false},
        {"", false},
        {"garbage\n\x01\x02 line", false},
    };
    for (const Case& c : v4)
        EXPECT_EQ(Utils::HasDefaultRouteV4(c.text), c.expected) << c.text;

    const std::string zero(32, '0');
    Case v6[] = {
        {zero + " 00 " + zero +
             " 00 fe800000000000000000000000000001 00000400 00000001 00000000 00000003     eth0\n",
         true},
        {zero + " 00 " + zero + " 00 " + zero + " ffffffff 00000001 00000000 00200200       lo\n",
         false},
        {zero + " 00 " + zero + " 00 " + zero + " ffffffff 00000001 00000000 00200201     eth0\n",
         false},
        {"fe800000000000000000000000000000 40 " + zero + " 00 " + zero +
             " 00000100 00000001 00000000 00000001     eth0\n",
         false},
    };
    for (const Case& c : v6)
        EXPECT_EQ(Utils::HasDefaultRouteV6(c.text), c.expected) << c.text;
}

TEST(CheckNetwork, ResultHasTheDocumentedLayout) {
    uint32_t r = Utils::CheckNetwork();
    uint32_t verdict = r >> 16, flags = r & 0xFFFF;
    EXPECT_LE(verdict, 2u);
    EXPECT_EQ(flags & ~0x660u, 0u);  // only the flags this probe sets
    if (verdict == 1) {
        EXPECT_EQ(flags, 0u);
    }
    if (verdict == 2) {
        EXPECT_EQ(flags & 0x440u, 0u);
    }
}

}  // namespace
