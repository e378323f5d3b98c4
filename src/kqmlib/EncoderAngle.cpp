#include "EncoderAngle.h"

#include <cfenv>
#include <cmath>
#include <cstring>
#include <numbers>

#include "FloatControl.h"
#include "Fraction.h"

namespace {

using Real = long double;
constexpr Real Pi = std::numbers::pi_v<long double>;

// The state of everything the floating-point results depend on: the x87
// control word (rounding and precision) and, above it, the SSE rounding
// mode and flush-to-zero bits, where there are such.
std::uint32_t FloatControl() {
#if NARVI_HAS_X87
    return X87Control() | std::uint32_t(__builtin_ia32_stmxcsr() & 0xFFC0) << 16;
#else
    return std::uint32_t(std::fegetround());
#endif
}

}  // namespace

const TKQMAngleConstants& UpdateAngleConstants(const TKQMHeader& H, TKQMAngleConstants& K) {
    const std::uint32_t Control = FloatControl();
    if (K.Ready && K.Control == Control) return K;
    K.StartPulse = Real(H.PositionStartPulse) / 10;
    K.Period = float(Real(H.LACC) / H.NF);
    K.Radians = 2 * Pi / H.LACC;
    // Every part times a float is exact in a double; whatever way the parts
    // were rounded, their sum is Radians exactly.
    const Real Radians1 = float(K.Radians), Rest = K.Radians - Radians1, Radians2 = float(Rest);
    K.RadiansParts[0] = double(Radians1);
    K.RadiansParts[1] = double(Radians2);
    K.RadiansParts[2] = double(Rest - Radians2);
    K.Control = Control;
#if NARVI_HAS_X87
    K.QuickFrac = ExtendedNearest(std::uint16_t(Control));
    // Round to nearest, neither flushing nor taking denormals as zero.
    K.ExactDoubles = K.QuickFrac && (Control >> 16 & 0xE040) == 0;
#endif
    K.Ready = true;
    return K;
}

// The position within the facet, in coarse counts, as EncoderAngleExtended
// rounds it to float, where doubles can give it: false where they cannot
// promise the same bits. The extended-precision steps round three values to
// float; each of them is known exactly, or known to lie far enough from the
// nearest point where float rounding changes direction, that one double
// operation, far cheaper than the x87's, rounds it the same way.
//
// 1. (StartPulse + LEFC + LEFCO) / LEPC + LECC, with StartPulse a tenth of
//    the header's count, is the fraction N / Den below, N < 2^37 and Den =
//    10 LEPC < 2^20. Unless it is halfway between two floats, it lies at
//    least 1 / Den, or 2^-25 / Den of its value below 2^24, from every such
//    halfway point: farther than the five extended roundings (together at
//    most 5 * 2^-64 of the value) or the double division (2^-53 of it) can
//    move it. A halfway point N / Den = M / 2^j needs N, and so the start
//    pulse count, to be a multiple of 5; then every step is exact in both.
// 2. LACR * A + LAO: the product of 16 and 24 bits is exact in both; where
//    the sum is exact in a double, it is exact in 64 bits too.
// 3. Frac(B / Period) * Period is B mod Period exactly while B / Period <
//    2^14: the quotient's rounding moves the remainder by at most B * 2^-64
//    (plus the product's own 2^-64), below half a float unit of any nonzero
//    remainder, which is a multiple of Period's unit (> Period * 2^-24). A
//    whole quotient is exact, and gives zero in both. The double quotient
//    is off by less than 2^-39, and a quotient that is not whole lies at
//    least 2^-24 from the next whole number: truncated, it is the number of
//    whole periods, and the remainder is exact.
bool EncoderPosition(const TKQMHeader& H, float Period, std::uint16_t LEFC, std::uint32_t LEFCO, std::uint16_t LEPC,
                     std::uint16_t LECC, std::uint32_t LAO, float& Pos) {
    const std::uint64_t N = H.PositionStartPulse + 10 * (std::uint64_t(LEFC) + LEFCO + std::uint64_t(LEPC) * LECC);
    const std::uint32_t Den = 10 * std::uint32_t(LEPC);
    const float A = float(double(N) / Den);

    const double Product = double(H.LACR) * A, Offset = LAO;
    const double Sum = Product + Offset;
    const double Part = Sum - Product;
    if ((Product - (Sum - Part)) + (Offset - Part) != 0) return false;  // the sum was rounded
    const double B = float(Sum);

    const double P = Period;
    if (!(B < P * 16384)) return false;
    const double Rest = B - std::int32_t(B / P) * P;
    Pos = float(Rest);
    return true;
}

// float(Radians * Pos) as the x87 gives it, through a 64-bit product, where
// doubles can promise the same bits. The exact product is the sum of the
// three parts' exact products; the double sum lies within 2^-52 of it, the
// x87's within 2^-64. Unless a point halfway between two floats lies that
// close, the float nearest to either is the float nearest to the product.
bool AngleOfPosition(const double (&Radians)[3], float Pos, float& Angle) {
    const double P = Pos;
    const double Sum = (P * Radians[0] + P * Radians[1]) + P * Radians[2];
    const float F = float(Sum);
    std::uint32_t Bits;
    std::memcpy(&Bits, &F, sizeof Bits);
    const std::uint32_t PowerBits = Bits & 0x7F800000;
    float Power;
    std::memcpy(&Power, &PowerBits, sizeof Power);
    // Half the gaps to the floats above and below F; at a power of two the
    // one below is half as wide.
    const double Up = double(Power) * 0x1p-24, Down = (Bits & 0x7FFFFF) != 0 ? Up : Up / 2;
    const double Off = Sum - double(F);
    if (!(std::fmin(Up - Off, Down + Off) > Sum * 0x1p-50)) return false;
    Angle = F;
    return true;
}

float EncoderAngle(const TKQMHeader& H, const TKQMAngleConstants& K, std::uint16_t LEFC, std::uint32_t LEFCO,
                   std::uint16_t LEPC, std::uint16_t LECC, std::uint32_t LAO) {
    float Pos, Angle;
    if (K.ExactDoubles && EncoderPosition(H, K.Period, LEFC, LEFCO, LEPC, LECC, LAO, Pos))
        return AngleOfPosition(K.RadiansParts, Pos, Angle) ? Angle : float(K.Radians * Pos);
    return EncoderAngleExtended(H, K, LEFC, LEFCO, LEPC, LECC, LAO);
}

float EncoderAngleExtended(const TKQMHeader& H, const TKQMAngleConstants& K, std::uint16_t LEFC, std::uint32_t LEFCO,
                           std::uint16_t LEPC, std::uint16_t LECC, std::uint32_t LAO) {
    float Pos = float((K.StartPulse + LEFC + LEFCO) / LEPC + LECC);
    Pos = float(Real(H.LACR) * Pos + LAO);
    const Real Turns = Real(Pos) / K.Period;
    const bool Quick = K.QuickFrac && Turns >= 0 && Turns < 0x8000000000000000p0L;
    Pos = float((Quick ? FracOfPositive(Turns) : Frac(Turns)) * K.Period);
    return float(K.Radians * Pos);
}
