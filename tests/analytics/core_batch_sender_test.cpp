#include "analytics/core/batch_sender.h"

#include <gtest/gtest.h>

#include "tools/collector/batch_codec.h"

namespace analytics_core {
namespace {

TEST(CoreBatchSender, Base64) {
    struct Case {
        std::string in, out;
    } cases[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
        {"\xFB\xFF", "+/8="},
        {std::string("\0\0\0", 3), "AAAA"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Base64Encode(c.in), c.out) << c.in;
        std::string back;
        ASSERT_TRUE(collector::Base64Decode(c.out, back));
        EXPECT_EQ(back, c.in);
    }
}

TEST(CoreBatchSender, PercentEncoding) {
    struct Case {
        std::string in, out;
    } cases[] = {
        {"aZ09-._~", "aZ09-._~"},
        {"+/=", "%2B%2F%3D"},
        {" &%", "%20%26%25"},
        {"\xFF\x01", "%FF%01"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PercentEncode(c.in), c.out) << c.in;
}

TEST(CoreBatchSender, BodyOfEmptyBatch) {
    std::string body;
    ASSERT_TRUE(BuildBatchBody("[]", body));
    const std::string head = "data_list=", tail = "&gzip=1";
    ASSERT_GT(body.size(), head.size() + tail.size());
    EXPECT_EQ(body.substr(0, head.size()), head);
    EXPECT_EQ(body.substr(body.size() - tail.size()), tail);
    std::string middle = body.substr(head.size(), body.size() - head.size() - tail.size());
    EXPECT_EQ(middle.find_first_of("+/="), std::string::npos) << middle;

    std::string base64, gz, text;
    ASSERT_TRUE(collector::PercentDecode(middle, base64));
    ASSERT_TRUE(collector::Base64Decode(base64, gz));
    // gzip member header: magic, deflate, and XFL 2 = "maximum compression" (level 9).
    ASSERT_GE(gz.size(), 18u);
    EXPECT_EQ(static_cast<unsigned char>(gz[0]), 0x1F);
    EXPECT_EQ(static_cast<unsigned char>(gz[1]), 0x8B);
    EXPECT_EQ(gz[2], 8);
    EXPECT_EQ(gz[8], 2);
    ASSERT_TRUE(collector::GunzipBounded(gz, text));
    EXPECT_EQ(text, "[]");
}

TEST(CoreBatchSender, LargeBatchRoundTrip) {
    // Larger than one 32 KiB output chunk even after compression.
    std::string text = "[";
    unsigned x = 12345;
    for (int i = 0; i < 20000; ++i) {
        x = x * 1103515245u + 12345u;
        text += (i ? "," : "") + std::to_string(x);
    }
    text += "]";
    std::string gz, back;
    ASSERT_TRUE(GzipCompress(text, gz));
    EXPECT_GT(gz.size(), 32768u);
    ASSERT_TRUE(collector::GunzipBounded(gz, back));
    EXPECT_EQ(back, text);
}

}  // namespace
}  // namespace analytics_core
