#include "utils/guid.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <set>

namespace {

TEST(GuidText, ThirdGroupLowerCaseOthersUpper) {
    // {1A2B3C4D-5E6F-4AF7-8BCD-EF0123456789} in memory order.
    const uint8_t bytes[16] = {0x4D, 0x3C, 0x2B, 0x1A, 0x6F, 0x5E, 0xF7, 0x4A,
                               0x8B, 0xCD, 0xEF, 0x01, 0x23, 0x45, 0x67, 0x89};
    EXPECT_EQ(Utils::GuidText(bytes), L"1A2B3C4D5E6F4af78BCDEF0123456789");
    const uint8_t zeros[16] = {};
    EXPECT_EQ(Utils::GuidText(zeros), std::wstring(32, L'0'));
}

TEST(NewGuidText, FreshVersion4Texts) {
    std::set<std::wstring> seen;
    for (int i = 0; i < 200; ++i) {
        std::wstring g = Utils::NewGuidText();
        ASSERT_EQ(g.size(), 32u);
        for (size_t k = 0; k < 32; ++k) {
            wchar_t c = g[k];
            ASSERT_TRUE(std::iswxdigit(static_cast<wint_t>(c))) << k;
            if (std::iswalpha(static_cast<wint_t>(c))) {
                bool third = k >= 12 && k < 16;
                EXPECT_EQ(std::iswlower(static_cast<wint_t>(c)) != 0, third) << k;
            }
        }
        EXPECT_EQ(g[12], L'4');                                            // version 4
        EXPECT_NE(std::wstring(L"89AB").find(g[16]), std::wstring::npos);  // variant 10xx
        seen.insert(g);
    }
    EXPECT_EQ(seen.size(), 200u);
}

}  // namespace
