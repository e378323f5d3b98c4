#pragma once
// Sine and cosine in extended precision (long double), the same bits on every
// x86 target whatever its C runtime provides.

#include <cfloat>
#include <cmath>
#include <cstdint>

#include "FloatControl.h"

namespace SinCosDetail {

// sin and cos of j/64 for j = 0..455, straight over [0, 7.1]: the value
// rounded to a double and the rest rounded to a double, 106 bits together.
// Doubles, not long doubles, because the x87 loads them in one cheap step or
// takes them straight as operands, where an 80-bit load is slow.
struct TPoint {
    double SinHi, CosHi, SinLo, CosLo;
};
extern const TPoint Points[456];

// The table serves arguments in [0, Limit); near a zero of sine or cosine it
// would lose relative precision to cancellation (see SinCosExtended).
constexpr double Limit = 7.1;
constexpr double AxisMargin = 2.0 / 64;
constexpr double HalfPi = 1.5707963267948966;
constexpr double TwoOverPi = 0.6366197723675814;

// The general path: any argument and any x87 setting, the C runtime's
// sine and cosine beyond |X| < 64 and under a changed x87 setting.
void Reduced(long double X, long double& S, long double& C);

// Both paths take exact steps that need the x87 at its full 64-bit
// significand, and the general path exact sums that need rounding to nearest,
// as does the same result on every target; a host may have changed either.
inline bool ExtendedNearestNow() {
#if NARVI_HAS_X87
    return ExtendedNearest(X87Control());
#else
    return false;
#endif
}

}  // namespace SinCosDetail

// S := sin(X), C := cos(X) for |X| below 64 within 0.76 units in the last
// place of a long double on the table path below and within one unit on the
// general path (0.98 at worst measured against 200-bit values); the nearest
// long double in all but some 0.4 % of cases, but near a zero of sine or
// cosine (within 1/32 of one), where the reduction's error weighs more, in
// only some 91 %.
// Larger or non-finite arguments, and a host that lowered the x87 precision
// or rounds another way, are left to the C runtime.
//
// Inline for the arguments the beam geometry passes, pi/4 plus a mirror angle
// (0.785 to 7.07). With j/64 the multiple of 1/64 nearest to double(X),
// D = X - j/64 is exact in long double, |D| a little above 1/128 at most, and
// with Z = D^2
//   sin X = Sh + Sh Z CosQ + Ch (D + D Z SinP) + (Sl cos D + Cl sin D),
// where sin(j/64) = Sh + Sl, cos(j/64) = Ch + Cl, SinP = (sin D - D) / D^3
// and CosQ = (cos D - 1) / D^2, both series in Z; the like for cos X. D Z SinP
// is below 2^-23 and Z CosQ below 2^-14, so SinP and CosQ + 1/2 go in double,
// from double(X) - j/64, which is within 2^-51 of D: their errors stay below
// 2^-75 in the sum. The first left-out terms, D^9/9! and Z^5/10!, are below
// 2^-81. Sl and Cl are below 2^-53, so their products go in double too. All
// else is summed in long double, smallest first; the largest rounding error
// before the last addition, some 2^-70, is a quarter unit in the last place
// of a result of 2^-5 or more, but half a unit of one just below 2^-5, as the
// sine or cosine is at the ends of the stretches next to the multiples of
// pi/2 (sin 1/32 = 0.03124...): 0.753 units at worst measured there against
// 113-bit values, the last rounding included (x = 1.539546326794889182, a
// little over 1/32 below pi/2). Within AxisMargin of a multiple of pi/2 the
// sine or cosine falls below that, and the general path takes over.
inline void SinCosExtended(long double X, long double& S, long double& C) {
    using namespace SinCosDetail;
    const double Xd = double(X);
    // Double arithmetic done in long double (a 32-bit build without SSE math)
    // would not round to multiples of 1/64 below.
    constexpr bool DoubleInDouble = FLT_EVAL_METHOD == 0;
    // The range is tested before the nearest axis is taken as an int: that
    // conversion is undefined for NaN, infinity and beyond some 3.4e9.
    if (!DoubleInDouble || !(Xd >= 0 && Xd < Limit) || !ExtendedNearestNow()) {
        Reduced(X, S, C);
        return;
    }
    const double Axis = double(int(Xd * TwoOverPi + 0.5)) * HalfPi;
    if (std::fabs(Xd - Axis) < AxisMargin) {
        Reduced(X, S, C);
        return;
    }
    const double Jd = (Xd + 0x1.8p46) - 0x1.8p46;  // the nearest multiple of 1/64
    const TPoint& P = Points[int(Jd * 64)];
    const long double D = X - Jd;  // exact
    const double Dd = Xd - Jd, Zd = Dd * Dd;
    const double SinP = -1.0 / 6 + Zd * (1.0 / 120 + Zd * (-1.0 / 5040));
    const double CosP = Zd * (1.0 / 24 + Zd * (-1.0 / 720 + Zd * (1.0 / 40320)));
    const double SinD = Dd + Dd * Zd * SinP, CosD = 1 + Zd * (CosP - 0.5);
    const double RestS = P.SinLo * CosD + P.CosLo * SinD, RestC = P.CosLo * CosD - P.SinLo * SinD;
    const long double Z = D * D;
    const long double CosQ = CosP - 0.5L;
    const long double A = P.CosHi * D, B = P.SinHi * D;
    S = P.SinHi + (A + (Z * (P.SinHi * CosQ + A * SinP) + RestS));
    C = P.CosHi - (B - (Z * (P.CosHi * CosQ - B * SinP) + RestC));
}
