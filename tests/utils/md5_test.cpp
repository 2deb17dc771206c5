#include "utils/md5.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <memory>
#include <string>

#include "tests/utils/temp_dir.h"

namespace {

using TestSupport::TempDir;

TEST(Md5, Rfc1321TestSuite) {
    struct Case {
        std::string input;
        const char* digest;
    } cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Utils::Md5::OfBytes(c.input), c.digest) << '"' << c.input << '"';
        // The same digest when the input arrives one byte at a time.
        Utils::Md5 ctx;
        for (char ch : c.input)
            ctx.Update(&ch, 1);
        uint8_t d[16];
        ctx.Final(d);
        EXPECT_EQ(Utils::Md5::ToHex(d), c.digest) << '"' << c.input << '"';
    }
}

// The reference digest of a file from the system's md5sum.
std::string Md5sum(const std::string& path) {
    std::string cmd = "md5sum '" + path + "'";
    std::unique_ptr<FILE, int (*)(FILE*)> p(::popen(cmd.c_str(), "r"), &::pclose);
    if (!p)
        return "popen failed";
    char buf[64] = {};
    if (std::fgets(buf, 33, p.get()) == nullptr)
        return "no output";
    return buf;
}

TEST(GetFileMd5, SizesAroundTheBlockBoundaries) {
    TempDir dir;
    const size_t sizes[] = {
        0,      1,      55,     56,     57,   63,   64,   65,   119,  120,
        127,    128,    129,    1023,   1024, 1025, 2047, 2048, 2049, 1024 * 64 + 63,
        262143, 262144, 262145, 1000003};
    for (size_t n : sizes) {
        std::string bytes(n, '\0');
        uint32_t x = static_cast<uint32_t>(n) * 2654435761u + 1;
        for (char& b : bytes) {
            x = x * 1103515245u + 12345u;
            b = static_cast<char>(x >> 24);
        }
        std::string path = dir.Write("f" + std::to_string(n), bytes);
        std::string got = Utils::GetFileMd5(path);
        EXPECT_EQ(got, Md5sum(path)) << n << " bytes";
        EXPECT_EQ(got, Utils::Md5::OfBytes(bytes)) << n << " bytes";
    }
}

TEST(GetFileMd5, FailuresGiveAnEmptyText) {
    TempDir dir;
    EXPECT_EQ(Utils::GetFileMd5(""), "");
    EXPECT_EQ(Utils::GetFileMd5(dir.File("missing")), "");
    EXPECT_EQ(Utils::GetFileMd5(dir.path()), "");  // a folder opens but cannot be read
    std::string path = dir.Write("locked", "abc");
    ::chmod(path.c_str(), 0);
    if (::access(path.c_str(), R_OK) != 0) {  // root reads it anyway
        EXPECT_EQ(Utils::GetFileMd5(path), "");
    }
    EXPECT_EQ(Utils::GetFileMd5(dir.Write("abc", "abc")), "900150983cd24fb0d6963f7d28e17f72");
}

TEST(GetUrlMd5, SecondToLastSegment) {
    struct Case {
        const char* url;
        const char* expected;
    } cases[] = {
        {"http://h/software/259/0123456789abcdef0123456789abcdef/Lexivo_7.exe",
         "0123456789abcdef0123456789abcdef"},
        {"http://h/a/b/", "b"},
        {"http://h", ""},  // "//" only: the segment between them is empty
        {"a/b", ""},
        {"abc", ""},
        {"", ""},
        {"/", ""},
        {"//", ""},
        {"x//", ""},
        {"http://h/p/f.exe?x=1/2", "f.exe?x=1"},  // a "/" in the query counts
    };
    for (const Case& c : cases)
        EXPECT_EQ(Utils::GetUrlMd5(c.url), c.expected) << c.url;
}

}  // namespace
