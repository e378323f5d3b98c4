#pragma once
// Big-endian byte sequences to host integers. Every function takes the
// address of the first (most significant) byte; nothing needs alignment.

#include <cstdint>
#include <cstring>

inline std::uint8_t Swap1(const void* X) { return *static_cast<const std::uint8_t*>(X); }

inline std::uint16_t Swap2(const void* X) {
    const auto* b = static_cast<const std::uint8_t*>(X);
    return static_cast<std::uint16_t>((b[0] << 8) | b[1]);
}

inline std::uint32_t Swap3(const void* X) {
    const auto* b = static_cast<const std::uint8_t*>(X);
    return (std::uint32_t{b[0]} << 16) | (std::uint32_t{b[1]} << 8) | b[2];
}

inline std::uint32_t Swap4(const void* X) {
    std::uint32_t v;
    std::memcpy(&v, X, 4);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    return v;
#else
    return __builtin_bswap32(v);
#endif
}

inline std::uint64_t Swap8(const void* X) {
    std::uint64_t v;
    std::memcpy(&v, X, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    return v;
#else
    return __builtin_bswap64(v);
#endif
}

// Reverses N bytes in place.
void SwapN(void* X, int N);

// Signed value of N big-endian bytes, sign-extended from the top bit of the
// first byte. N outside 1..4 (1..8) raises Exception rather than reading or
// writing past the value.
std::int32_t BEToInt32(const void* X, int N);
std::int64_t BEToInt64(const void* X, int N);
