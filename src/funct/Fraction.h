#pragma once
// Fractional parts in extended precision (long double), for angles that
// come in turns of a period.

#include <cmath>

// Whole part of X, rounded towards zero, as std::trunc gives it. The x87
// store that truncates ignores the rounding mode, where std::trunc changes
// the mode twice for the same result (or, rounding in the mode in force,
// mispredicts a branch on every other angle). The sign goes back on, so that
// zero keeps its sign.
inline long double Trunc(long double X) {
#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
    static const bool Truncating = __builtin_cpu_supports("sse3");
    if (Truncating && std::fabs(X) < 9223372036854775808.0L) {
        long long Whole;
        __asm__("fisttpll %0" : "=m"(Whole) : "t"(X) : "st");
        return std::copysign(static_cast<long double>(Whole), X);
    }
#endif
    return std::trunc(X);
}

// Frac keeps the sign of its argument.
inline long double Frac(long double X) { return X - Trunc(X); }

// The same as Frac for 0 <= X < 2^63, with the full 64-bit significand and
// rounding to nearest: the addition of 2^63 rounds X to the nearest whole
// number; the difference to it is exact, and so is the step up by one where
// it rounded up. It stays in the floating-point registers, where the
// truncating store goes through memory, and takes no branch, which the
// angles would take at random.
inline long double FracOfPositive(long double X) {
    static constexpr long double Wrap[2] = {0, 1};
    constexpr long double Two63 = 0x8000000000000000p0L;
    const long double Near = (X + Two63) - Two63;
    const long double Rest = X - Near;
    return Rest + Wrap[Rest < 0];
}
