#include "analytics/core/validation.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/analytics/test_support.h"

namespace analytics_core {
namespace {

using analytics_test::DiagnosticCapture;

TEST(CoreValidation, VariableNames) {
    const std::string tooLong = "The Property Key is empty or too long, max length is 100";
    const std::string badByte = "The Property Key need to be a valid variable name.";
    struct Case {
        std::string key;
        bool ok;
        std::string message;
    } cases[] = {
        {"a", true, ""},         {std::string(100, 'k'), true, ""},
        {"$time", true, ""},     {"_x9$", true, ""},
        {"Zz09", true, ""},      {std::string(101, 'k'), false, tooLong},
        {"", false, tooLong},    {"1abc", false, badByte},
        {"a-b", false, badByte}, {"a b", false, badByte},
        {"a.b", false, badByte}, {"\xC3\xA9", false, badByte},
    };
    for (const auto& c : cases) {
        DiagnosticCapture capture;
        EXPECT_EQ(isVariableName(c.key, "Property Key"), c.ok) << "key '" << c.key << "'";
        if (c.ok) {
            EXPECT_TRUE(capture.lines().empty()) << c.key;
        } else {
            ASSERT_EQ(capture.lines().size(), 1u) << c.key;
            EXPECT_EQ(capture.lines()[0], c.message);
        }
    }
}

TEST(CoreValidation, Utf8ByteClasses) {
    struct Case {
        const char* name;
        std::string bytes;
        bool ok;
    } cases[] = {
        {"tab newline return", "\t\n\r", true},
        {"printable range", " ~azAZ09", true},
        {"empty", "", true},
        {"NUL", std::string(1, '\0'), false},
        {"0x01", "\x01", false},
        {"0x1F", "\x1F", false},
        {"DEL", "\x7F", false},
        {"C2 80", "\xC2\x80", true},
        {"DF BF", "\xDF\xBF", true},
        {"overlong C0 80", "\xC0\x80", false},
        {"overlong C1 BF", "\xC1\xBF", false},
        {"lone continuation 80", "\x80", false},
        {"C2 followed by ASCII",
         "\xC2"
         "A",
         false},
        {"E0 A0 80", "\xE0\xA0\x80", true},
        {"overlong E0 9F BF", "\xE0\x9F\xBF", false},
        {"E1 80 80", "\xE1\x80\x80", true},
        {"EC BF BF", "\xEC\xBF\xBF", true},
        {"ED 9F BF", "\xED\x9F\xBF", true},
        {"surrogate ED A0 80", "\xED\xA0\x80", false},
        {"surrogate ED BF BF", "\xED\xBF\xBF", false},
        {"EE 80 80", "\xEE\x80\x80", true},
        {"EF BF BF", "\xEF\xBF\xBF", true},
        {"F0 90 80 80", "\xF0\x90\x80\x80", true},
        {"overlong F0 8F BF BF", "\xF0\x8F\xBF\xBF", false},
        {"F1 80 80 80", "\xF1\x80\x80\x80", true},
        {"F3 BF BF BF", "\xF3\xBF\xBF\xBF", true},
        {"F4 8F BF BF", "\xF4\x8F\xBF\xBF", true},
        {"above U+10FFFF F4 90 80 80", "\xF4\x90\x80\x80", false},
        {"F5", "\xF5\x80\x80\x80", false},
        {"FF", "\xFF", false},
        {"cut two-byte", "ab\xC2", false},
        {"cut three-byte", "\xE1\x80", false},
        {"cut four-byte", "\xF0\x90\x80", false},
        {"Chinese", "\xE5\xAE\x89\xE8\xA3\x85\xE4\xB8\xAD", true},
        {"emoji between ASCII", "a\xF0\x9F\x98\x80z", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(isWellFormedUtf8(c.bytes), c.ok) << c.name;
}

TEST(CoreValidation, IdentityRule) {
    struct Case {
        std::string id;
        bool ok;
        std::string message;
    } cases[] = {
        {"a", true, ""},
        {std::string(255, 'i'), true, ""},
        {std::string(256, 'i'), false, "The Distinct ID is too long, max length is 255."},
        {"", false, "The Distinct ID is empty."},
    };
    for (const auto& c : cases) {
        DiagnosticCapture capture;
        EXPECT_EQ(checkIdentity(c.id, "Distinct ID"), c.ok) << c.id.size();
        if (!c.ok) {
            ASSERT_EQ(capture.lines().size(), 1u);
            EXPECT_EQ(capture.lines()[0], c.message);
        }
    }
}

}  // namespace
}  // namespace analytics_core
