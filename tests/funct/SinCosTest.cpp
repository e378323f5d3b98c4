#include "SinCos.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numbers>
#include <vector>

namespace {

using Real = long double;
constexpr Real Pi = std::numbers::pi_v<long double>;

// Distance of A from B in units of the last place of B.
Real Ulps(Real A, Real B) {
    const Real Unit = std::nextafter(std::fabs(B), Real(INFINITY)) - std::fabs(B);
    return std::fabs(A - B) / Unit;
}

Real Step(Real X, int Steps) {
    for (; Steps > 0; --Steps) X = std::nextafter(X, Real(INFINITY));
    for (; Steps < 0; ++Steps) X = std::nextafter(X, -Real(INFINITY));
    return X;
}

// The arguments the beam takes: pi/4 plus a mirror angle in float precision
// anywhere on the circle, and, a few units in the last place around them,
// the edges of the reduction: odd multiples of pi/4 (where the quarter turn
// taken off changes) and the points halfway between multiples of 1/64 on
// both sides of every multiple of pi/2 (where the table entry changes).
std::vector<Real> Arguments() {
    std::vector<Real> X;
    for (int I = 0; I <= 200000; ++I) X.push_back(Pi / 4 + float(2 * Pi * I / 200000));
    for (float Tm = 0; Tm < 1e-6f; Tm = std::nextafter(Tm, 1.0f) * 1.5f) X.push_back(Pi / 4 + Tm);
    std::vector<Real> Edges;
    for (int M = 1; M <= 10; M += 2) Edges.push_back(M * Pi / 4);
    for (int K = 0; K <= 5; ++K)
        for (int J = 0; J <= 50; ++J) {
            Edges.push_back(K * Pi / 2 + (J + 0.5L) / 64);
            if (K > 0) Edges.push_back(K * Pi / 2 - (J + 0.5L) / 64);
        }
    for (int K = 1; K <= 5; ++K) Edges.push_back(K * Pi / 2);
    for (Real E : Edges)
        for (int S = -3; S <= 3; ++S) X.push_back(Step(E, S));
    return X;
}

// glibc's sine and cosine are within a unit in the last place of the true
// value; other C runtimes reduce with a shorter pi and lose relative
// precision near the zeros, where only the absolute error stays small (the
// beam adds sine and cosine to values near 1, so that is what it sees).
TEST(SinCosExtended, AgreesWithTheCRuntimeOverTheMirrorAngles) {
    Real WorstSin = 0, WorstCos = 0, WorstAbsolute = 0;
    std::size_t Equal = 0, Count = 0;
    for (Real X : Arguments()) {
        Real S, C;
        SinCosExtended(X, S, C);
        const Real Ws = Ulps(S, std::sin(X)), Wc = Ulps(C, std::cos(X));
        const Real Absolute = std::max(std::fabs(S - std::sin(X)), std::fabs(C - std::cos(X))) / 0x1p-64L;
        WorstSin = std::max(WorstSin, Ws);
        WorstCos = std::max(WorstCos, Wc);
        WorstAbsolute = std::max(WorstAbsolute, Absolute);
        Equal += (Ws == 0) + (Wc == 0);
        Count += 2;
#if defined(__GLIBC__)
        ASSERT_LE(std::max(Ws, Wc), 1) << "at " << double(X);
#endif
        ASSERT_LE(Absolute, 2) << "at " << double(X);
    }
    std::printf(
        "%zu of %zu values equal to the C runtime's; largest distance %.3Lg ulp (sine), %.3Lg ulp (cosine), "
        "%.3Lg units of 2^-64\n",
        Equal, Count, WorstSin, WorstCos, WorstAbsolute);
}

#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
// A host that cut the x87 precision to that of a double gets the C runtime's.
TEST(SinCosExtended, LeavesALoweredPrecisionToTheCRuntime) {
    std::uint16_t Saved, Cut;
    __asm__ volatile("fnstcw %0" : "=m"(Saved));
    Cut = std::uint16_t((Saved & ~0x300) | 0x200);
    __asm__ volatile("fldcw %0" : : "m"(Cut));
    volatile Real Unfolded = 2.5L;  // the C runtime's sine, not the compiler's
    const Real X = Unfolded;
    Real S, C;
    SinCosExtended(X, S, C);
    const Real SinX = std::sin(X), CosX = std::cos(X);
    __asm__ volatile("fldcw %0" : : "m"(Saved));
    EXPECT_EQ(S, SinX);
    EXPECT_EQ(C, CosX);
}
#endif

}  // namespace
