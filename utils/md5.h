// MD5 (RFC 1321) and the two digest helpers the downloaders use to verify a package.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace Utils {

/// The RFC 1321 context: two 32-bit bit-count words, four state words, a 64-byte block.
class Md5 {
public:
    Md5() { Init(); }
    void Init();
    void Update(const void* data, size_t length);
    /// Writes the 16 digest bytes; the context must be re-initialised before further use.
    void Final(uint8_t digest[16]);

    /// 32 lower-case hexadecimal characters of a digest.
    static std::string ToHex(const uint8_t digest[16]);
    /// Digest of a whole buffer, as hex.
    static std::string OfBytes(std::string_view bytes);

private:
    void Transform(const uint8_t* block);

    uint32_t count_[2];  // bit count, low word first
    uint32_t state_[4];
    uint8_t buffer_[64];
};

/// The file's MD5 as 32 lower-case hex characters, read sequentially in 1024-byte blocks;
/// empty when the path is empty, the file cannot be opened or a read fails.
std::string GetFileMd5(const std::string& path);

/// The expected digest carried by a download address: the text between the second-to-last
/// and the last "/" of the whole string (a "/" in a query counts too); empty when the URL is
/// empty or has fewer than two "/".
std::string GetUrlMd5(const std::string& url);

}  // namespace Utils
