#pragma once
// Sine and cosine in extended precision (long double), the same bits on every
// x86 target whatever its C runtime provides.

#include <cmath>
#include <cstdint>

namespace SinCosDetail {

// sin and cos of j/64 for j = 0..455, straight over [0, 7.1]: the rounded
// value and the rounded rest, which is some 2^-64 of the value, so that a
// double holds it to far more than the sum needs.
struct TPoint {
    long double SinHi, CosHi;
    double SinLo, CosLo;
};
extern const TPoint Points[456];

// The table serves arguments in [0, Limit); near a zero of sine or cosine it
// would lose relative precision to cancellation (see SinCosExtended).
constexpr double Limit = 7.1;
constexpr double AxisMargin = 2.0 / 64;
constexpr double HalfPi = 1.5707963267948966;
constexpr double TwoOverPi = 0.6366197723675814;

// The general path: any argument and any x87 control setting.
void Reduced(long double X, long double& S, long double& C);

// The table path needs the x87 at its full 64-bit significand and rounding
// to nearest; a host may have changed either.
inline bool ExtendedNearest() {
#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
    std::uint16_t Control;
    __asm__("fnstcw %0" : "=m"(Control));
    return (Control & 0xF00) == 0x300;
#else
    return false;
#endif
}

}  // namespace SinCosDetail

// S := sin(X), C := cos(X), accurate to about half a unit in the last place
// of a long double for |X| below 64; larger or non-finite arguments, and a
// host that lowered the x87 precision, are left to the C runtime.
//
// Inline for the arguments the beam geometry passes, pi/4 plus a mirror angle
// (0.785 to 7.07): X = j/64 + D with j the nearest whole number to 64 X, which
// double precision finds well enough, and D exact in long double, |D| a
// little above 1/128 at most. Then sin X = sin(j/64) (1 + Z CosQ) +
// cos(j/64) (D + D Z SinP) with Z = D^2, SinP = (sin D - D) / D^3 and
// CosQ = (cos D - 1) / D^2, both series in Z. D Z SinP is below 2^-23 and
// Z CosQ below 2^-14, so that SinP and CosQ + 1/2, computed in double, err by
// less than 2^-76 in the sum; the first left-out terms, D^9/9! and Z^5/10!,
// are below 2^-81. All else is summed in long double, smallest first; the
// largest rounding error before the last addition, some 2^-70, is a quarter
// unit in the last place of a result of 2^-5 or more. Within AxisMargin of a
// multiple of pi/2 the sine or cosine falls below that, and the general path
// takes over.
inline void SinCosExtended(long double X, long double& S, long double& C) {
    using namespace SinCosDetail;
    const double Xd = double(X);
    const double Axis = double(int(Xd * TwoOverPi + 0.5)) * HalfPi;
    if (!(Xd >= 0 && Xd < Limit) || std::fabs(Xd - Axis) < AxisMargin || !ExtendedNearest()) {
        Reduced(X, S, C);
        return;
    }
    const int J = int(Xd * 64 + 0.5);
    const TPoint& P = Points[J];
    const long double D = X - double(J) / 64;  // exact
    const double Dd = double(D), Zd = Dd * Dd;
    const double SinP = -1.0 / 6 + Zd * (1.0 / 120 + Zd * (-1.0 / 5040));
    const double CosP = Zd * (1.0 / 24 + Zd * (-1.0 / 720 + Zd * (1.0 / 40320)));
    const long double Z = D * D;
    const long double CosQ = CosP - 0.5L;
    const long double A = P.CosHi * D, B = P.SinHi * D;
    S = P.SinHi + (A + (Z * (P.SinHi * CosQ + A * SinP) + (P.SinLo + P.CosLo * Dd)));
    C = P.CosHi - (B - (Z * (P.CosHi * CosQ - B * SinP) + (P.CosLo - P.SinLo * Dd)));
}
