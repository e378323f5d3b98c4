#include "SinCos.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace SinCosDetail {

const TPoint Points[] = {
#include "SinCosTable.inc"
};
static_assert(sizeof Points / sizeof Points[0] > int(Limit * 64 + 0.5));

}  // namespace SinCosDetail

namespace {

using Real = long double;
using SinCosDetail::Points;

// pi/2 in three parts: the first two with 58 significant bits, so that an
// integer below 64 times either is exact; the third rounded.
constexpr Real HalfPi1 = 0xC90FDAA22168C240p-63L;
constexpr Real HalfPi2 = -0xB3B399D747F23E40p-123L;
constexpr Real HalfPi3 = 0xD129024E088A67CCp-183L;
constexpr Real TwoOverPiExtended = 0xA2F9836E4E44152Ap-64L;
constexpr Real ReducedLimit = 64;

// A + B exactly as Hi + Lo.
void TwoSum(Real A, Real B, Real& Hi, Real& Lo) {
    Hi = A + B;
    const Real Bv = Hi - A;
    Lo = (A - (Hi - Bv)) + (B - Bv);
}

// A table value as the long double nearest to it and the rest.
struct TSplit {
    Real Hi, Lo;
    TSplit(double Value, double Rest) : Hi(Real(Value) + Rest), Lo(Rest - (Hi - Value)) {}
};

}  // namespace

// The argument is reduced by the nearest multiple k of pi/2 to R (a rounded
// value and the rounded rest), R by the nearest multiple A of 1/64 to D; then
// sin(A + D) = sin A cos D + cos A sin D, with sin A and cos A from the table
// in twice the precision and the series of sin D and cos D - 1 short enough
// for |D| <= 1/128. Everything beside the leading table value is a
// correction far below it, so the result stays within one unit in the last
// place. Away from the zeros of sine and cosine the last rounding is all but
// always the nearest; near them the reduction's error of some 2^-70 is a
// sizeable part of a unit of the small result, and about one result in twelve
// there is the neighbour of the nearest. A reduction rounded in any direction
// stays below j = 101, well inside the table.
void SinCosDetail::Reduced(Real X, Real& S, Real& C) {
    if (!(std::fabs(X) < ReducedLimit) || !ExtendedNearestNow()) {
        S = std::sin(X);
        C = std::cos(X);
        return;
    }
    // Nearest integer to X * 2/pi by the addition of 1.5 * 2^63: the
    // significand's low bits then hold it, as two's complement.
    const Real Shift = 0xC000000000000000p0L;
    const Real Big = X * TwoOverPiExtended + Shift;
    std::uint64_t Significand;
    std::memcpy(&Significand, &Big, sizeof Significand);
    const unsigned Quadrant = unsigned(Significand & 3);
    const Real K = Big - Shift;

    // X - K * pi/2: the first two steps are exact. Below pi/4 nothing is taken
    // away, and taking away a zero multiple would turn -0 into +0 (-0 + +0 is
    // +0), where the sine of -0 is -0.
    Real R = X, RLo = 0;
    if (K != 0) {
        Real Hi, Lo;
        TwoSum(X - K * HalfPi1, -(K * HalfPi2), Hi, Lo);
        Lo -= K * HalfPi3;
        R = Hi + Lo;
        RLo = Lo - (R - Hi);
    }

    const bool Negative = std::signbit(R);
    const Real Rabs = Negative ? -R : R;
    if (Negative) RLo = -RLo;
    // The nearest multiple of 1/64, by the same addition.
    const Real Big64 = Rabs * 64 + Shift;
    std::memcpy(&Significand, &Big64, sizeof Significand);
    const unsigned J = unsigned(Significand & 127);
    const SinCosDetail::TPoint& Entry = Points[J > 101 ? 101 : J];
    const TSplit Sine(Entry.SinHi, Entry.SinLo), Cosine(Entry.CosHi, Entry.CosLo);
    const Real D = Rabs - (Big64 - Shift) / 64;  // exact
    const Real Z = D * D;
    const Real SinTail = D * Z * (-1 / 6.0L + Z * (1 / 120.0L + Z * (-1 / 5040.0L)));  // sin D - D
    const Real CosM1 = Z * (-1 / 2.0L + Z * (1 / 24.0L + Z * (-1 / 720.0L + Z * (1 / 40320.0L))));
    const Real Tail = SinTail + RLo;  // sin(D + RLo) - D, to the precision that matters
    Real Sin = Sine.Hi + ((((Sine.Lo + Cosine.Lo * D) + Cosine.Hi * Tail) + Sine.Hi * CosM1) + Cosine.Hi * D);
    const Real Cos = Cosine.Hi + ((((Cosine.Lo - Sine.Lo * D) - Sine.Hi * Tail) + Cosine.Hi * CosM1) - Sine.Hi * D);
    if (Negative) Sin = -Sin;

    switch (Quadrant) {
    case 0:
        S = Sin, C = Cos;
        break;
    case 1:
        S = Cos, C = -Sin;
        break;
    case 2:
        S = -Sin, C = -Cos;
        break;
    default:
        S = -Cos, C = Sin;
        break;
    }
}
