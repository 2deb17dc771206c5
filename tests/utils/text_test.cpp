#include "utils/text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>

#include "tests/utils/temp_dir.h"

namespace {

using namespace std::string_literals;

TEST(Text, RoundTripsThroughCodePages) {
    struct Case {
        unsigned codePage;
        std::wstring wide;
        std::string narrow;
    } cases[] = {
        {65001, L"abc", "abc"},
        {65001, L"\u6587\u5b57 \U0001F600", "\xe6\x96\x87\xe5\xad\x97 \xf0\x9f\x98\x80"},
        {936, L"\u6587\u5b57", "\xce\xc4\xd7\xd6"},
        {936, L"ab", "ab"},
        {1252, L"caf\u00e9 \u20ac", "caf\xe9 \x80"},
        {0, L"plain", "plain"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Utils::ToNarrow(c.wide, c.codePage), c.narrow) << c.codePage;
        EXPECT_EQ(Utils::ToWide(c.narrow, c.codePage), c.wide) << c.codePage;
    }
}

TEST(Text, BadInputAndUnknownCodePages) {
    EXPECT_EQ(Utils::ToWide("a\xff"
                            "b",
                            65001),
              L"a\ufffdb");
    EXPECT_EQ(Utils::ToWide("\xe6\x96", 65001), L"\ufffd\ufffd");            // truncated sequence
    EXPECT_EQ(Utils::ToWide("\xc0\xaf", 65001), L"\ufffd\ufffd");            // overlong "/"
    EXPECT_EQ(Utils::ToWide("\xed\xa0\x80", 65001), L"\ufffd\ufffd\ufffd");  // surrogate
    EXPECT_EQ(Utils::ToWide("a\xce", 936), L"a\ufffd");                      // truncated GBK pair
    EXPECT_EQ(Utils::ToNarrow(L"a\u20acb", 936),
              "a\x80"
              "b");                                            // GBK has the euro sign
    EXPECT_EQ(Utils::ToNarrow(L"a\U0001F600b", 1252), "a?b");  // not in the code page
    EXPECT_EQ(Utils::ToWide("abc", 99999), L"");
    EXPECT_EQ(Utils::ToNarrow(L"abc", 99999), "");
    EXPECT_EQ(Utils::ToWide("", 65001), L"");
    EXPECT_EQ(Utils::ToWide("a\0b"s, 65001), std::wstring(L"a\0b", 3));
}

TEST(Text, SystemCodePageFollowsTheLocale) {
    std::setlocale(LC_CTYPE, "C");
    EXPECT_EQ(Utils::CodePageName(0), "UTF-8");  // the plain locale counts as UTF-8
    EXPECT_EQ(Utils::ToNarrow(L"\u6587", 0), "\xe6\x96\x87");

    // Under a GBK locale, code page 0 is GBK. The locale is compiled into a private folder
    // when the machine has none installed.
    TestSupport::TempDir dir;
    if (std::setlocale(LC_CTYPE, "zh_CN.GBK") == nullptr) {
        std::string cmd =
            "localedef -i zh_CN -f GBK '" + dir.File("zh_CN.GBK") + "' >/dev/null 2>&1";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
        ::setenv("LOCPATH", dir.path().c_str(), 1);
        ASSERT_NE(std::setlocale(LC_CTYPE, "zh_CN.GBK"), nullptr);
        ::unsetenv("LOCPATH");
    }
    std::string name = Utils::CodePageName(0);
    std::string narrow = Utils::ToNarrow(L"\u6587\u5b57", 0);
    std::wstring wide = Utils::ToWide("\xce\xc4\xd7\xd6", 0);
    std::setlocale(LC_CTYPE, "C");
    EXPECT_EQ(name, "GBK");
    EXPECT_EQ(narrow, "\xce\xc4\xd7\xd6");
    EXPECT_EQ(wide, L"\u6587\u5b57");
}

TEST(UrlEncode, KeepsPrintableAsciiOnly) {
    struct Case {
        std::wstring in;
        std::wstring out;
    } cases[] = {
        {L"abc-_.~!*'()", L"abc-_.~!*'()"},
        {L"a b", L"a+b"},
        {L"a+b&c=d/e?f%", L"a+b&c=d/e?f%"},  // bytes 33..126 stay, even reserved ones
        {L"\u6587", L"%E6%96%87"},
        {L"\t\n\x7f", L"%09%0A%7F"},
        {L"", L""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Utils::UrlEncode(c.in), c.out);
}

}  // namespace
