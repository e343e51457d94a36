// Tests on eight bytes at once, for scans that skip long runs of bytes they do not look for
// (the classic word tricks: exact about whether a word holds such a byte, not where).
#pragma once

#include <cstdint>
#include <cstring>

namespace util {

constexpr uint64_t kByteOnes = 0x0101010101010101ULL;
constexpr uint64_t kByteHighs = 0x8080808080808080ULL;

inline uint64_t LoadWord(const char* bytes) {
    uint64_t w;
    std::memcpy(&w, bytes, sizeof w);
    return w;
}

// Whether a byte of `w` is below `n` (n <= 128).
inline bool AnyByteBelow(uint64_t w, unsigned n) {
    return ((w - kByteOnes * n) & ~w & kByteHighs) != 0;
}

inline bool AnyByteEqual(uint64_t w, unsigned char c) {
    return AnyByteBelow(w ^ (kByteOnes * c), 1);
}

}  // namespace util
