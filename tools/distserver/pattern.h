// The generated package bytes of glyphora-distserver: a deterministic pseudo-random stream,
// so any range can be produced (and checked) without storing the file. Header-only, shared
// with the tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace DistServer {

inline uint64_t PatternWord(uint64_t index) {
    uint64_t z = index + 0x9E3779B97F4A7C15ull;  // splitmix64
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

/// Fills `out` with the `length` bytes of the stream starting at byte `offset`.
inline void FillPattern(uint64_t offset, char* out, size_t length) {
    while (length > 0) {
        const uint64_t word = PatternWord(offset / 8);
        unsigned char bytes[8];
        for (int i = 0; i < 8; ++i)
            bytes[i] = static_cast<unsigned char>(word >> (8 * i));
        const size_t skip = offset % 8;
        size_t take = 8 - skip;
        if (take > length)
            take = length;
        std::memcpy(out, bytes + skip, take);
        out += take;
        offset += take;
        length -= take;
    }
}

}  // namespace DistServer
