#include "utils/md5.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace Utils {
namespace {

// Block size fed to the digest, and size of each read from the file.
constexpr size_t kReadBlock = 1024;
constexpr size_t kReadBuffer = 256 * 1024;

inline uint32_t Rotl(uint32_t x, int c) {
    return (x << c) | (x >> (32 - c));
}

inline uint32_t Load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);  // little-endian host, as the digest is defined
    return v;
}

// The four auxiliary functions of RFC 1321 in cheaper equivalent forms. Each step adds
// the message word and the constant first, which do not depend on the previous step, so
// the processor overlaps them with it. G is written as the sum of its two disjoint halves,
// (c & ~d) + (b & d): the first half does not wait for b, the newest word.
#define MD5_F(x, y, z) ((z) ^ ((x) & ((y) ^ (z))))
#define MD5_H(x, y, z) ((x) ^ (y) ^ (z))
#define MD5_I(x, y, z) ((y) ^ ((x) | ~(z)))
#define MD5_STEP(f, a, b, c, d, x, t, s) \
    (a) += (x) + (t);                    \
    (a) += f((b), (c), (d));             \
    (a) = Rotl((a), (s)) + (b);
#define MD5_STEP_G(a, b, c, d, x, t, s) \
    (a) += (x) + (t);                   \
    (a) += (c) & ~(d);                  \
    (a) += (b) & (d);                   \
    (a) = Rotl((a), (s)) + (b);

}  // namespace

void Md5::Init() {
    count_[0] = count_[1] = 0;
    state_[0] = 0x67452301;
    state_[1] = 0xefcdab89;
    state_[2] = 0x98badcfe;
    state_[3] = 0x10325476;
}

void Md5::Transform(const uint8_t* block) {
    uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
    uint32_t x[16];
    for (int i = 0; i < 16; ++i)
        x[i] = Load32(block + 4 * i);

    MD5_STEP(MD5_F, a, b, c, d, x[0], 0xd76aa478, 7)
    MD5_STEP(MD5_F, d, a, b, c, x[1], 0xe8c7b756, 12)
    MD5_STEP(MD5_F, c, d, a, b, x[2], 0x242070db, 17)
    MD5_STEP(MD5_F, b, c, d, a, x[3], 0xc1bdceee, 22)
    MD5_STEP(MD5_F, a, b, c, d, x[4], 0xf57c0faf, 7)
    MD5_STEP(MD5_F, d, a, b, c, x[5], 0x4787c62a, 12)
    MD5_STEP(MD5_F, c, d, a, b, x[6], 0xa8304613, 17)
    MD5_STEP(MD5_F, b, c, d, a, x[7], 0xfd469501, 22)
    MD5_STEP(MD5_F, a, b, c, d, x[8], 0x698098d8, 7)
    MD5_STEP(MD5_F, d, a, b, c, x[9], 0x8b44f7af, 12)
    MD5_STEP(MD5_F, c, d, a, b, x[10], 0xffff5bb1, 17)
    MD5_STEP(MD5_F, b, c, d, a, x[11], 0x895cd7be, 22)
    MD5_STEP(MD5_F, a, b, c, d, x[12], 0x6b901122, 7)
    MD5_STEP(MD5_F, d, a, b, c, x[13], 0xfd987193, 12)
    MD5_STEP(MD5_F, c, d, a, b, x[14], 0xa679438e, 17)
    MD5_STEP(MD5_F, b, c, d, a, x[15], 0x49b40821, 22)

    MD5_STEP_G(a, b, c, d, x[1], 0xf61e2562, 5)
    MD5_STEP_G(d, a, b, c, x[6], 0xc040b340, 9)
    MD5_STEP_G(c, d, a, b, x[11], 0x265e5a51, 14)
    MD5_STEP_G(b, c, d, a, x[0], 0xe9b6c7aa, 20)
    MD5_STEP_G(a, b, c, d, x[5], 0xd62f105d, 5)
    MD5_STEP_G(d, a, b, c, x[10], 0x02441453, 9)
    MD5_STEP_G(c, d, a, b, x[15], 0xd8a1e681, 14)
    MD5_STEP_G(b, c, d, a, x[4], 0xe7d3fbc8, 20)
    MD5_STEP_G(a, b, c, d, x[9], 0x21e1cde6, 5)
    MD5_STEP_G(d, a, b, c, x[14], 0xc33707d6, 9)
    MD5_STEP_G(c, d, a, b, x[3], 0xf4d50d87, 14)
    MD5_STEP_G(b, c, d, a, x[8], 0x455a14ed, 20)
    MD5_STEP_G(a, b, c, d, x[13], 0xa9e3e905, 5)
    MD5_STEP_G(d, a, b, c, x[2], 0xfcefa3f8, 9)
    MD5_STEP_G(c, d, a, b, x[7], 0x676f02d9, 14)
    MD5_STEP_G(b, c, d, a, x[12], 0x8d2a4c8a, 20)

    MD5_STEP(MD5_H, a, b, c, d, x[5], 0xfffa3942, 4)
    MD5_STEP(MD5_H, d, a, b, c, x[8], 0x8771f681, 11)
    MD5_STEP(MD5_H, c, d, a, b, x[11], 0x6d9d6122, 16)
    MD5_STEP(MD5_H, b, c, d, a, x[14], 0xfde5380c, 23)
    MD5_STEP(MD5_H, a, b, c, d, x[1], 0xa4beea44, 4)
    MD5_STEP(MD5_H, d, a, b, c, x[4], 0x4bdecfa9, 11)
    MD5_STEP(MD5_H, c, d, a, b, x[7], 0xf6bb4b60, 16)
    MD5_STEP(MD5_H, b, c, d, a, x[10], 0xbebfbc70, 23)
    MD5_STEP(MD5_H, a, b, c, d, x[13], 0x289b7ec6, 4)
    MD5_STEP(MD5_H, d, a, b, c, x[0], 0xeaa127fa, 11)
    MD5_STEP(MD5_H, c, d, a, b, x[3], 0xd4ef3085, 16)
    MD5_STEP(MD5_H, b, c, d, a, x[6], 0x04881d05, 23)
    MD5_STEP(MD5_H, a, b, c, d, x[9], 0xd9d4d039, 4)
    MD5_STEP(MD5_H, d, a, b, c, x[12], 0xe6db99e5, 11)
    MD5_STEP(MD5_H, c, d, a, b, x[15], 0x1fa27cf8, 16)
    MD5_STEP(MD5_H, b, c, d, a, x[2], 0xc4ac5665, 23)

    MD5_STEP(MD5_I, a, b, c, d, x[0], 0xf4292244, 6)
    MD5_STEP(MD5_I, d, a, b, c, x[7], 0x432aff97, 10)
    MD5_STEP(MD5_I, c, d, a, b, x[14], 0xab9423a7, 15)
    MD5_STEP(MD5_I, b, c, d, a, x[5], 0xfc93a039, 21)
    MD5_STEP(MD5_I, a, b, c, d, x[12], 0x655b59c3, 6)
    MD5_STEP(MD5_I, d, a, b, c, x[3], 0x8f0ccc92, 10)
    MD5_STEP(MD5_I, c, d, a, b, x[10], 0xffeff47d, 15)
    MD5_STEP(MD5_I, b, c, d, a, x[1], 0x85845dd1, 21)
    MD5_STEP(MD5_I, a, b, c, d, x[8], 0x6fa87e4f, 6)
    MD5_STEP(MD5_I, d, a, b, c, x[15], 0xfe2ce6e0, 10)
    MD5_STEP(MD5_I, c, d, a, b, x[6], 0xa3014314, 15)
    MD5_STEP(MD5_I, b, c, d, a, x[13], 0x4e0811a1, 21)
    MD5_STEP(MD5_I, a, b, c, d, x[4], 0xf7537e82, 6)
    MD5_STEP(MD5_I, d, a, b, c, x[11], 0xbd3af235, 10)
    MD5_STEP(MD5_I, c, d, a, b, x[2], 0x2ad7d2bb, 15)
    MD5_STEP(MD5_I, b, c, d, a, x[9], 0xeb86d391, 21)

    state_[0] += a;
    state_[1] += b;
    state_[2] += c;
    state_[3] += d;
}

void Md5::Update(const void* data, size_t length) {
    const auto* in = static_cast<const uint8_t*>(data);
    size_t index = (count_[0] >> 3) & 0x3F;
    uint64_t bits =
        (static_cast<uint64_t>(count_[1]) << 32 | count_[0]) + (static_cast<uint64_t>(length) << 3);
    count_[0] = static_cast<uint32_t>(bits);
    count_[1] = static_cast<uint32_t>(bits >> 32);

    size_t partLen = 64 - index;
    size_t i = 0;
    if (length >= partLen) {
        std::memcpy(&buffer_[index], in, partLen);
        Transform(buffer_);
        for (i = partLen; i + 63 < length; i += 64)
            Transform(&in[i]);
        index = 0;
    }
    std::memcpy(&buffer_[index], &in[i], length - i);
}

void Md5::Final(uint8_t digest[16]) {
    uint8_t bits[8];
    for (int i = 0; i < 4; ++i) {
        bits[i] = static_cast<uint8_t>(count_[0] >> (8 * i));
        bits[i + 4] = static_cast<uint8_t>(count_[1] >> (8 * i));
    }
    static const uint8_t kPadding[64] = {0x80};
    size_t index = (count_[0] >> 3) & 0x3F;
    size_t padLen = index < 56 ? 56 - index : 120 - index;
    Update(kPadding, padLen);
    Update(bits, 8);
    for (int i = 0; i < 4; ++i) {
        for (int k = 0; k < 4; ++k)
            digest[4 * i + k] = static_cast<uint8_t>(state_[i] >> (8 * k));
    }
    std::memset(buffer_, 0, sizeof(buffer_));
}

std::string Md5::ToHex(const uint8_t digest[16]) {
    static const char kHex[] = "0123456789abcdef";
    std::string out(32, '0');
    for (int i = 0; i < 16; ++i) {
        out[2 * i] = kHex[digest[i] >> 4];
        out[2 * i + 1] = kHex[digest[i] & 15];
    }
    return out;
}

std::string Md5::OfBytes(std::string_view bytes) {
    Md5 ctx;
    ctx.Update(bytes.data(), bytes.size());
    uint8_t d[16];
    ctx.Final(d);
    return ToHex(d);
}

std::string GetFileMd5(const std::string& path) {
    if (path.empty())
        return {};
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    // The file is read sequentially in large reads straight into one fixed buffer (no
    // stdio copy), and each read is fed to the digest in 1024-byte blocks. Memory use does
    // not depend on the file size.
    std::vector<uint8_t> buffer(kReadBuffer);
    Md5 ctx;
    bool ok = true;
    for (;;) {
        ssize_t n = ::read(fd, buffer.data(), kReadBuffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ok = false;  // EISDIR for a folder, EIO, ...
            break;
        }
        if (n == 0)
            break;
        for (size_t off = 0; off < static_cast<size_t>(n); off += kReadBlock) {
            size_t len = static_cast<size_t>(n) - off < kReadBlock ? static_cast<size_t>(n) - off
                                                                   : kReadBlock;
            ctx.Update(buffer.data() + off, len);
        }
    }
    ::close(fd);
    if (!ok)
        return {};
    uint8_t digest[16];
    ctx.Final(digest);
    return Md5::ToHex(digest);
}

std::string GetUrlMd5(const std::string& url) {
    if (url.empty())
        return {};
    size_t last = url.rfind('/');
    if (last == std::string::npos || last == 0)
        return {};
    size_t prev = url.rfind('/', last - 1);
    if (prev == std::string::npos)
        return {};
    return url.substr(prev + 1, last - prev - 1);
}

}  // namespace Utils
