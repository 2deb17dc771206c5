#include "analytics/core/object_node.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <limits>

#include "tests/analytics/test_support.h"

namespace analytics_core {
namespace {

using analytics_test::DiagnosticCapture;
using analytics_test::ScopedEnv;

std::string Render(const PropertyValue& v) {
    std::string out;
    EXPECT_TRUE(AppendJson(v, out));
    return out;
}

TEST(CoreObjectNode, ValueRendering) {
    utils::ObjectNode nested;
    nested.setInteger("b", int32_t{2});
    nested.setString("a", "x");
    struct Case {
        const char* name;
        PropertyValue value;
        std::string json;
    } cases[] = {
        {"pi to 6 digits", PropertyValue(3.14159265), "3.14159"},
        {"million", PropertyValue(1e6), "1e+06"},
        {"two and a half", PropertyValue(2.5), "2.5"},
        {"small", PropertyValue(0.0001), "0.0001"},
        {"negative", PropertyValue(-12.75), "-12.75"},
        {"NaN is not JSON", PropertyValue(std::nan("")), "null"},
        {"infinity is not JSON", PropertyValue(std::numeric_limits<double>::infinity()), "null"},
        {"integer exact", PropertyValue(int64_t{1234567}), "1234567"},
        {"integer min", PropertyValue(std::numeric_limits<int64_t>::min()), "-9223372036854775808"},
        {"escapes", PropertyValue(std::string("\b\t\n\f\r\"\\")), R"("\b\t\n\f\r\"\\")"},
        {"slash and UTF-8 unchanged", PropertyValue(std::string("a/\xC3\xA9")), "\"a/\xC3\xA9\""},
        {"other control byte", PropertyValue(std::string("a\x01z")), R"("a\u0001z")"},
        {"list", PropertyValue(std::vector<std::string>{"a", "b\"c"}), R"(["a","b\"c"])"},
        {"empty list", PropertyValue(std::vector<std::string>{}), "[]"},
        {"true", PropertyValue(true), "true"},
        {"false", PropertyValue(false), "false"},
        {"object, keys sorted", PropertyValue(std::make_shared<const utils::ObjectNode>(nested)),
         R"({"a":"x","b":2})"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Render(c.value), c.json) << c.name;
}

TEST(CoreObjectNode, DateTimeUsesLocalTime) {
    struct Case {
        const char* tz;
        DateTime dt;
        std::string json;
    } cases[] = {
        {"UTC0", {0, 5}, "\"1970-01-01 00:00:00.005\""},
        {"CST-8", {0, 0}, "\"1970-01-01 08:00:00.000\""},
        {"UTC0", {1700000000, 999}, "\"2023-11-14 22:13:20.999\""},
        {"EST5", {1700000000, 42}, "\"2023-11-14 17:13:20.042\""},
    };
    for (const auto& c : cases) {
        ScopedEnv tz("TZ", c.tz);
        ::tzset();
        EXPECT_EQ(Render(PropertyValue(c.dt)), c.json) << c.tz;
    }
    ::tzset();
}

TEST(CoreObjectNode, KeysInByteOrderAndReplaced) {
    utils::ObjectNode node;
    for (const char* k : {"b", "a1", "_", "B", "$a", "a"})
        node.setInteger(k, int32_t{1});
    node.setInteger("b", int32_t{7});  // replaces
    EXPECT_EQ(node.toJson(), R"({"$a":1,"B":1,"_":1,"a":1,"a1":1,"b":7})");
}

TEST(CoreObjectNode, StringChecks) {
    DiagnosticCapture capture;
    utils::ObjectNode node;
    EXPECT_TRUE(node.setString("max", std::string(8192, 'v')));
    std::string over(8193, 'v');
    EXPECT_FALSE(node.setString("over", over));
    EXPECT_FALSE(node.setString("bad", "x\xC0\x80"));
    EXPECT_TRUE(node.setString("ws", "a\tb\nc\rd"));
    EXPECT_EQ(node.find("over"), nullptr);
    EXPECT_EQ(node.find("bad"), nullptr);
    ASSERT_NE(node.find("max"), nullptr);
    EXPECT_EQ(node.find("max")->string()->size(), 8192u);
    ASSERT_EQ(capture.lines().size(), 2u);
    EXPECT_EQ(capture.lines()[0], "String property 'over' is too long, value: " + over);
    EXPECT_EQ(capture.lines()[1],
              "String property 'bad' is not valid UTF-8 string, value: x\xC0\x80");

    // A refused value leaves an earlier value of the key in place.
    EXPECT_TRUE(node.setString("k", "old"));
    EXPECT_FALSE(node.setString("k", "\x01"));
    EXPECT_EQ(*node.find("k")->string(), "old");
}

TEST(CoreObjectNode, PropertiesNodeIgnoresObjectsAndMergeOverwrites) {
    PropertiesNode props;
    utils::ObjectNode inner;
    inner.setBoolean("x", true);
    props.setObject("nested", inner);
    EXPECT_TRUE(props.empty());
    utils::ObjectNode& asBase = props;
    asBase.setObject("nested", inner);  // the virtual slot, through the base
    EXPECT_TRUE(props.empty());

    utils::ObjectNode record;
    record.setObject("props", props);
    EXPECT_EQ(record.toJson(), R"({"props":{}})");

    PropertiesNode a, b;
    a.setInteger("k", int32_t{1});
    a.setInteger("only_a", int32_t{1});
    b.setString("k", "b wins");
    a.merge(b);
    EXPECT_EQ(a.toJson(), R"({"k":"b wins","only_a":1})");
}

TEST(CoreObjectNode, DateTimeMillisecondsCarry) {
    struct Case {
        int64_t seconds;
        int ms;
        DateTime stored;
    } cases[] = {
        {10, 999, {10, 999}},
        {10, 1000, {11, 0}},
        {10, 2500, {12, 500}},
        {10, -1, {9, 999}},
    };
    for (const auto& c : cases) {
        utils::ObjectNode node;
        node.setDateTime("t", c.seconds, c.ms);
        EXPECT_EQ(*node.find("t")->dateTime(), c.stored) << c.seconds << " " << c.ms;
    }
}

TEST(CoreObjectNode, UnrenderableDateTimeGivesEmptyText) {
    utils::ObjectNode node;
    node.setDateTime("t", std::numeric_limits<int64_t>::max() / 2, 0);
    EXPECT_EQ(node.toJson(), "");
}

TEST(CoreObjectNode, KeysAreEscaped) {
    utils::ObjectNode node;
    node.setInteger("a\"b", int32_t{1});
    EXPECT_EQ(node.toJson(), R"({"a\"b":1})");
}

}  // namespace
}  // namespace analytics_core
