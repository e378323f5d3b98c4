#pragma once
// The x87 control word, where there is an x87: its precision and rounding
// fields decide every extended-precision result.

#include <cstdint>

#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
#define NARVI_HAS_X87 1
inline std::uint16_t X87Control() {
    std::uint16_t W;
    __asm__ volatile("fnstcw %0" : "=m"(W));
    return W;
}
#else
#define NARVI_HAS_X87 0
#endif

// The full 64-bit significand and rounding to nearest: what the exact steps
// in extended precision need, and what gives the same results on every target.
constexpr bool ExtendedNearest(std::uint16_t Control) { return (Control & 0xF00) == 0x300; }
