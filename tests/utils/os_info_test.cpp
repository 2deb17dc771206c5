#include "utils/os_info.h"

#include <gtest/gtest.h>

namespace {

TEST(WindowsVersionName, NamingTable) {
    struct Case {
        uint32_t major, minor, build;
        bool r2;
        const wchar_t* expected;
    } cases[] = {
        {0, 0, 0, false, L"XP-"},
        {4, 10, 0, false, L"XP-"},
        {5, 0, 2195, false, L"2K"},
        {5, 1, 2600, false, L"XP"},
        {5, 2, 3790, false, L"Server 2003"},  // also Windows XP x64
        {5, 2, 3790, true, L"Server 2003 R2"},
        {5, 3, 0, false, L"XP+"},
        {6, 0, 6002, false, L"Vista"},
        {6, 1, 7601, false, L"7"},
        {6, 2, 9200, false, L"8"},
        {6, 3, 9600, false, L"8.1"},
        {6, 4, 0, false, L"8.1+"},
        {10, 0, 19045, false, L"10"},
        {10, 0, 22000, false, L"10"},  // Windows 11 reads 10
        {10, 1, 0, false, L"10+"},
        {11, 0, 22000, false, L"11.0.22000"},
        {7, 2, 5, false, L"7.2.5"},
        {12, 3, 0x12345678, false, L"12.3.22136"},  // low 16 bits
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Utils::WindowsVersionName(c.major, c.minor, c.build, c.r2), c.expected)
            << c.major << "." << c.minor << "." << c.build;
    }
}

TEST(GetOsName, ReportsThisMachineTruthfully) {
    auto [family, version] = Utils::GetOsName();
    EXPECT_EQ(family, L"Linux");
    EXPECT_FALSE(version.empty());
    EXPECT_EQ(version.find(L"XP"), std::wstring::npos);
    int bits = Utils::GetOsBitness();
    EXPECT_TRUE(bits == 32 || bits == 64);
    if (sizeof(void*) == 8) {
        EXPECT_EQ(bits, 64);
    }
}

}  // namespace
