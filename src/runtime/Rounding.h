#pragma once
// Rounding to the nearest integer, ties to the even neighbour, whatever the
// rounding mode of the floating-point environment.

#include "Exception.h"

#include <cmath>
#include <cstdint>

class EInvalidOp : public Exception {
public:
    using Exception::Exception;
};

// Throws EInvalidOp for NaN, infinities and values outside the int64 range,
// where a plain conversion would be undefined.
inline std::int64_t RoundHalfEven(double value) {
    // 2^63 is exactly representable; anything at or beyond it does not fit.
    constexpr double kLimit = 9223372036854775808.0;
    if (!(value >= -kLimit && value < kLimit)) {
        throw EInvalidOp("Invalid floating point operation");
    }
    const double floor = std::floor(value);
    const double frac = value - floor;  // exact for every double
    double result = floor;
    if (frac > 0.5) {
        result = floor + 1.0;
    } else if (frac == 0.5) {
        result = std::fmod(floor, 2.0) == 0.0 ? floor : floor + 1.0;
    }
    if (result >= kLimit) {
        throw EInvalidOp("Invalid floating point operation");
    }
    return static_cast<std::int64_t>(result);
}

// The same rounding for values that must fit a 32-bit integer.
inline std::int32_t RoundHalfEven32(double value) {
    const std::int64_t r = RoundHalfEven(value);
    if (r < INT32_MIN || r > INT32_MAX) {
        throw EInvalidOp("Invalid floating point operation");
    }
    return static_cast<std::int32_t>(r);
}
