#include "SinCos.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
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

Real StepDouble(Real X, int Steps) {
    double D = double(X);
    for (; Steps > 0; --Steps) D = std::nextafter(D, INFINITY);
    for (; Steps < 0; ++Steps) D = std::nextafter(D, -INFINITY);
    return D;
}

// The arguments the beam takes: pi/4 plus a mirror angle in float precision
// anywhere on the circle, and, a few units in the last place around them, the
// edges. Those of the general path's reduction, taken in long double: the odd
// multiples of pi/4 and the points halfway between multiples of 1/64 on both
// sides of every multiple of pi/2. And those taken from the argument rounded
// to double, so stepped in both precisions: the table points j/64 and the
// points halfway between them over the whole range, the ends of the stretches
// around the multiples of pi/2 left to the general path, and the end of the
// table.
std::vector<Real> Arguments() {
    std::vector<Real> X;
    for (int I = 0; I <= 200000; ++I) X.push_back(Pi / 4 + float(2 * Pi * I / 200000));
    for (float Tm = 0; Tm < 1e-6f; Tm = std::nextafter(Tm, 1.0f) * 1.5f) X.push_back(Pi / 4 + Tm);
    std::vector<Real> Reduction, Table;
    for (int M = 1; M <= 10; M += 2) Reduction.push_back(M * Pi / 4);
    for (int K = 0; K <= 5; ++K)
        for (int J = 0; J <= 50; ++J) {
            Reduction.push_back(K * Pi / 2 + (J + 0.5L) / 64);
            if (K > 0) Reduction.push_back(K * Pi / 2 - (J + 0.5L) / 64);
        }
    for (int K = 1; K <= 5; ++K) Reduction.push_back(K * Pi / 2);
    for (int J = 50; J <= 454; ++J) Table.insert(Table.end(), {J / 64.0L, (J + 0.5L) / 64});
    for (int K = 1; K <= 4; ++K)
        Table.insert(Table.end(), {K * Pi / 2 - SinCosDetail::AxisMargin, K * Pi / 2 + SinCosDetail::AxisMargin});
    Table.push_back(SinCosDetail::Limit);
    for (int S = -3; S <= 3; ++S) {
        for (Real E : Reduction) X.push_back(Step(E, S));
        for (Real E : Table) X.insert(X.end(), {Step(E, S), StepDouble(E, S)});
    }
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

#if defined(__SIZEOF_FLOAT128__) && !defined(__clang__)
// The table path against sine and cosine summed from their series in 113-bit
// arithmetic: below 7.1 no term exceeds some 2^8, so the sums hold some 2^-104
// absolutely, far finer than the 2^-69 of a unit of a result near 2^-5. Its
// worst lies at the ends of the stretches next to the multiples of pi/2,
// where sine or cosine falls just below 2^-5 and a unit halves: there, around
// the worst point the header states, and at random along the path.
TEST(SinCosExtended, TablePathStaysWithinItsStatedUnits) {
    if (FLT_EVAL_METHOD != 0 || !SinCosDetail::ExtendedNearestNow())
        GTEST_SKIP() << "this target leaves every argument to the general path";
    using Quad = __float128;
    auto Reference = [](Real X, Quad& S, Quad& C) {
        const Quad Q = X;
        Quad T = 1;
        S = C = 0;
        for (int N = 0; N < 80; ++N) {
            (N % 2 ? S : C) += N % 4 < 2 ? T : -T;
            T = T * Q / Quad(N + 1);
        }
    };
    auto UlpsOf = [](Real A, Quad B) {
        const Real Near = Real(B), Unit = std::nextafter(std::fabs(Near), Real(INFINITY)) - std::fabs(Near);
        const Quad D = Quad(A) - B;
        return Real((D < 0 ? -D : D) / Quad(Unit));
    };
    const Real Stated = 0.76L, WorstPoint = 0xc.50fdaa22167b641p-3L;
    std::vector<Real> X = {WorstPoint, 1.5395463267948966L};
    for (int S = -300; S <= 300; ++S) X.push_back(Step(WorstPoint, S));
    std::uint64_t Seed = 12345;
    auto Next = [&] { return (Seed = Seed * 6364136223846793005ULL + 1442695040888963407ULL) >> 11; };
    for (int K = 1; K <= 4; ++K)
        for (int Side : {-1, 1})
            for (int I = 0; I < 500; ++I)
                X.push_back(K * Pi / 2 + Side * (SinCosDetail::AxisMargin + Real(Next()) * 0x1p-53L * 2e-4L));
    for (int I = 0; I < 4000; ++I) X.push_back(Real(Next()) * 0x1p-53L * SinCosDetail::Limit);
    Real Worst = 0, At = 0;
    for (Real A : X) {
        Real S, C;
        Quad Sq, Cq;
        SinCosExtended(A, S, C);
        Reference(A, Sq, Cq);
        for (Real U : {UlpsOf(S, Sq), UlpsOf(C, Cq)})
            if (U > Worst) Worst = U, At = A;
    }
    EXPECT_LE(Worst, Stated) << "at " << double(At);
    EXPECT_GT(Worst, 0.75L) << "the worst point no longer where the header says";
    std::printf("table path: largest distance %.4Lf units in the last place, at %.21Lg\n", Worst, At);
}
#endif

// Whatever the beam never passes still gets the sine and cosine: negative,
// beyond the table, beyond the general path's reduction, not finite; zeros
// and tiny arguments of either sign, whose sine is the argument itself, so
// that the sign, which a distance in units cannot see, is compared as well.
TEST(SinCosExtended, AgreesWithTheCRuntimeBeyondTheBeamsArguments) {
    // Around 3.4e9 the nearest multiple of pi/2 no longer fits an int.
    std::vector<Real> X = {0.0L,   -0.0L,  -1e-30L, 7.1L,    30,    63.99L, 64,     1e6L,
                           3.3e9L, 3.4e9L, 3.5e9L,  -3.5e9L, 1e19L, 1e300L, -1e300L};
    for (int I = 1; I <= 2000; ++I) X.insert(X.end(), {-I / 283.0L, 7 + I / 31.0L});
    // Down through the subnormals to the smallest long double.
    for (int E = -16445; E <= -2; E += 87) X.insert(X.end(), {std::ldexp(1.3L, E), -std::ldexp(1.7L, E)});
    for (Real A : X) {
        SCOPED_TRACE(double(A));
        Real S, C;
        SinCosExtended(A, S, C);
        EXPECT_EQ(std::signbit(S), std::signbit(std::sin(A)));
        if (std::fabs(A) < 0x1p-33L) {
            // sin A = A (1 - A^2/6 ...) rounds to A, cos A to 1.
            EXPECT_EQ(S, A);
            EXPECT_EQ(std::signbit(S), std::signbit(A));
            EXPECT_EQ(C, 1);
        }
#if defined(__GLIBC__)
        EXPECT_LE(Ulps(S, std::sin(A)), 1);
        EXPECT_LE(Ulps(C, std::cos(A)), 1);
#endif
        EXPECT_LE(std::fabs(S - std::sin(A)), 0x1p-63L);
        EXPECT_LE(std::fabs(C - std::cos(A)), 0x1p-63L);
    }
    for (Real A : {Real(INFINITY), -Real(INFINITY), Real(NAN)}) {
        Real S, C;
        SinCosExtended(A, S, C);
        EXPECT_TRUE(std::isnan(S) && std::isnan(C)) << double(A);
    }
}

#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
// A host that cut the x87 precision to that of a double, or rounds another
// way, gets the C runtime's sine and cosine: the reduction's exact steps and
// the cancellation near the zeros rely on both.
TEST(SinCosExtended, LeavesAnotherX87SettingToTheCRuntime) {
    std::uint16_t Saved;
    __asm__ volatile("fnstcw %0" : "=m"(Saved));
    const std::uint16_t Double = 0x200, Down = 0x700, Up = 0xB00, Zero = 0xF00;
    for (std::uint16_t Setting : {Double, Down, Up, Zero})
        for (Real Unfolded : {2.5L, 3 * Pi / 2 + 0x1p-40L, 6.28L}) {
            volatile Real Kept = Unfolded;  // the C runtime's sine, not the compiler's
            const Real X = Kept;
            const std::uint16_t Changed = std::uint16_t((Saved & ~0xF00) | Setting);
            __asm__ volatile("fldcw %0" : : "m"(Changed));
            Real S, C;
            SinCosExtended(X, S, C);
            const Real SinX = std::sin(X), CosX = std::cos(X);
            __asm__ volatile("fldcw %0" : : "m"(Saved));
            EXPECT_EQ(S, SinX) << Setting << " at " << double(X);
            EXPECT_EQ(C, CosX) << Setting << " at " << double(X);
        }
}
#endif

}  // namespace
