#include "utils/command_line.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "tests/utils/temp_dir.h"
#include "utils/number_text.h"

namespace {

using Args = std::vector<std::wstring>;

std::string Show(const Args& a) {
    std::string s = "[";
    for (const auto& x : a)
        s += "<" + std::string(x.begin(), x.end()) + ">";
    return s + "]";
}

TEST(SplitCommandLine, FollowsTheWindowsRules) {
    struct Case {
        const wchar_t* line;
        Args expected;
    } cases[] = {
        {L"prog a b", {L"prog", L"a", L"b"}},
        {L"  prog \t a\t\tb   ", {L"prog", L"a", L"b"}},
        {L"", {}},
        {L" \t ", {}},
        // The program path: quotes only group, backslashes are literal even before a quote.
        {L"\"C:\\Program Files\\x.exe\" -a", {L"C:\\Program Files\\x.exe", L"-a"}},
        {L"\"C:\\dir\\\" next", {L"C:\\dir\\", L"next"}},
        {L"C:\\a\"b c", {L"C:\\a\"b", L"c"}},
        {L"\"prog with space\"x y", {L"prog with space", L"x", L"y"}},
        // Quotes group blanks and disappear.
        {L"p \"a b\" c", {L"p", L"a b", L"c"}},
        {L"p a\"b c\"d", {L"p", L"ab cd"}},
        {L"p \"\"", {L"p", L""}},
        {L"p \"unterminated arg", {L"p", L"unterminated arg"}},
        // Backslashes: literal unless they precede a quote.
        {L"p a\\\\b", {L"p", L"a\\\\b"}},
        {L"p \\", {L"p", L"\\"}},
        {L"p a\\\"b", {L"p", L"a\"b"}},
        {L"p a\\\\\\\"b c", {L"p", L"a\\\"b", L"c"}},
        {L"p a\\\\\\\\\"b c\" d", {L"p", L"a\\\\b c", L"d"}},
        {L"p \"ab\\\\\"", {L"p", L"ab\\"}},
        {L"p \"hello\\\"there\"", {L"p", L"hello\"there"}},
        // Two quotes inside a quoted part: one literal quote, and the quoted part ends.
        {L"p \"a\"\"b c\"", {L"p", L"a\"b", L"c"}},  // the last quote opens a part
        {L"p \"a\"\"\"b c\"", {L"p", L"a\"b c"}},
        // Switch values with blanks and further "=" signs.
        {L"p \"-instcmd=/S /D=C:\\a b\"", {L"p", L"-instcmd=/S /D=C:\\a b"}},
        {L"p -instcmd=\"/S /D=C:\\a b\"", {L"p", L"-instcmd=/S /D=C:\\a b"}},
    };
    for (const Case& c : cases) {
        Args got = Utils::SplitCommandLine(c.line);
        EXPECT_EQ(got, c.expected) << "line: " << std::string(c.line, c.line + wcslen(c.line))
                                   << "\n got " << Show(got) << "\n want " << Show(c.expected);
    }
}

TEST(JoinCommandLine, SplitGivesTheArgumentsBack) {
    const Args args = {L"/opt/my tools/prog",
                       L"plain",
                       L"",
                       L"a b",
                       L"a\"b",
                       L"a\\",
                       L"a\\\\",
                       L"a\\\"b",
                       L"\\\"",
                       L"\"",
                       L"\"\"",
                       L"tab\there",
                       L"ends with space ",
                       L"-instcmd=/S /D=C:\\a b\\",
                       L"\\\\server\\share"};
    std::wstring line = Utils::JoinCommandLine(args);
    EXPECT_EQ(Utils::SplitCommandLine(line), args) << std::string(line.begin(), line.end());
}

TEST(CommandLine, KeysValuesAndRepeats) {
    Utils::CommandLine cl(
        L"C:\\x\\setup.exe -downloadurl=http://h/a?b=c=d -downloadtype=2 -downloadtype=3 "
        L"-DownloadUrl=zzz downloadtype=5 -flag \"-instcmd=/S /D=C:\\Program Files\\L\" -e=");
    struct Case {
        const wchar_t* key;
        bool present;
        const wchar_t* value;
    } cases[] = {
        {L"C:\\x\\setup.exe", true, L""},              // the program path is a key like any other
        {L"-downloadurl", true, L"http://h/a?b=c=d"},  // only the first "=" separates
        {L"-downloadtype", true, L"2"},                // first occurrence wins
        {L"-DownloadUrl", true, L"zzz"},               // keys are case-sensitive
        {L"downloadtype=5", true, L""},                // no "-": the whole argument is the key
        {L"downloadtype", false, L""},
        {L"-flag", true, L""},
        {L"-instcmd", true, L"/S /D=C:\\Program Files\\L"},
        {L"-e", true, L""},
        {L"-missing", false, L""},
    };
    for (const Case& c : cases) {
        std::string k(c.key, c.key + wcslen(c.key));
        EXPECT_EQ(cl.Has(c.key), c.present) << k;
        EXPECT_EQ(cl.GetString(c.key), c.value) << k;
    }
    EXPECT_EQ(cl.GetInt(L"-downloadtype"), 2);
}

TEST(CommandLine, ConversionsOfValues) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const wchar_t* value;  // nullptr: the key is absent
        int32_t asInt;
        double asDouble;  // NaN: the fallback
        bool asBool;
    } cases[] = {
        {L"3", 3, 3.0, false},
        {L"  42xyz", 42, 42.0, false},
        {L"+5", 5, 5.0, false},
        {L"-7", -7, -7.0, false},
        {L"x", 0, nan, false},
        {L"", 0, nan, false},
        {L"0.5abc", 0, 0.5, false},
        {L"  .25", 0, 0.25, false},
        {L"2147483647", 2147483647, 2147483647.0, false},
        {L"2147483648", 0, 2147483648.0, false},  // out of int32 range: like no number
        {L"-2147483649", 0, -2147483649.0, false},
        {L"99999999999999999999999", 0, 1e23, false},
        {L"1e999", 1, nan, false},   // double overflow: like no number
        {L"1e-400", 1, nan, false},  // underflow too
        {L"true", 0, nan, true},
        {L"True", 0, nan, false},
        {L"TRUE", 0, nan, false},
        {L"true ", 0, nan, false},
        {L"1", 1, 1.0, false},
        {nullptr, 0, nan, false},
    };
    for (const Case& c : cases) {
        std::wstring line = L"p";
        if (c.value != nullptr)
            line += L" \"-k=" + std::wstring(c.value) + L"\"";
        Utils::CommandLine cl(line);
        std::string shown = c.value ? std::string(c.value, c.value + wcslen(c.value)) : "(absent)";
        EXPECT_EQ(cl.GetInt(L"-k"), c.asInt) << shown;
        double d = cl.GetDouble(L"-k", nan);
        if (std::isnan(c.asDouble)) {
            EXPECT_TRUE(std::isnan(d)) << shown << " gave " << d;
        } else {
            EXPECT_DOUBLE_EQ(d, c.asDouble) << shown;
        }
        EXPECT_EQ(cl.GetDouble(L"-k", 9.0), std::isnan(c.asDouble) ? 9.0 : d) << shown;
        EXPECT_EQ(cl.GetBool(L"-k"), c.asBool) << shown;
    }
}

// The options are read after start-up switched to the user's locale; a locale that writes
// "0,7" must not change how "0.7" reads. The locale is compiled into a private folder when
// the machine has none installed.
TEST(NumberText, DecimalPointIgnoresTheLocale) {
    TestSupport::TempDir dir;
    std::string cmd =
        "localedef -i de_DE -f UTF-8 '" + dir.File("de_DE.UTF-8") + "' >/dev/null 2>&1";
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) {
        ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
        ::setenv("LOCPATH", dir.path().c_str(), 1);
        ASSERT_NE(std::setlocale(LC_NUMERIC, "de_DE.UTF-8"), nullptr);
        ::unsetenv("LOCPATH");
    }
    const std::string point = std::localeconv()->decimal_point;
    double v = 0;
    bool ok = Utils::ParseLeadingDouble(L"0.7", &v);
    double commaValue = 0;
    bool commaOk = Utils::ParseLeadingDouble(L"0,7", &commaValue);
    std::setlocale(LC_NUMERIC, "C");
    ASSERT_EQ(point, ",");  // the locale really is in force
    EXPECT_TRUE(ok);
    EXPECT_DOUBLE_EQ(v, 0.7);
    EXPECT_TRUE(commaOk);
    EXPECT_DOUBLE_EQ(commaValue, 0.0);  // "0" then trailing text
}

}  // namespace
