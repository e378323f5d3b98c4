// The encoder arithmetic's quick way in doubles against the extended one it
// stands in for: every angle it gives must have the same bits, over headers
// and counts of every size, the float halfway points of each of its three
// roundings, and the edges where it hands over to the extended way.

#include "EncoderAngle.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

struct TCounts {
    std::uint16_t LEFC = 0;
    std::uint32_t LEFCO = 0;
    std::uint16_t LEPC = 1, LECC = 0;
    std::uint32_t LAO = 0;
};

TKQMHeader Header(std::uint32_t StartPulse, std::uint32_t LACC, std::uint8_t NF, std::uint16_t LACR) {
    TKQMHeader H;
    H.PositionStartPulse = StartPulse;
    H.LACC = LACC;
    H.NF = NF;
    H.LACR = LACR;
    return H;
}

std::uint32_t Bits(float F) {
    std::uint32_t B;
    std::memcpy(&B, &F, 4);
    return B;
}

class TCheck {
public:
    explicit TCheck(const TKQMHeader& H) : FHeader(H) { UpdateAngleConstants(FHeader, FK); }

    // The same bits both ways; whether the quick way took it.
    bool operator()(const TCounts& C) {
        float Pos;
        const bool Took = EncoderPosition(FHeader, FK.Period, C.LEFC, C.LEFCO, C.LEPC, C.LECC, C.LAO, Pos);
        Quick += Took;
        ++Count;
        const float Got = EncoderAngle(FHeader, FK, C.LEFC, C.LEFCO, C.LEPC, C.LECC, C.LAO);
        const float Want = EncoderAngleExtended(FHeader, FK, C.LEFC, C.LEFCO, C.LEPC, C.LECC, C.LAO);
        if (Bits(Got) != Bits(Want) && Differ++ == 0)
            ADD_FAILURE() << "start pulse " << FHeader.PositionStartPulse << ", LACC " << FHeader.LACC << ", NF "
                          << int(FHeader.NF) << ", LACR " << FHeader.LACR << "; counts " << C.LEFC << ", " << C.LEFCO
                          << ", " << C.LEPC << ", " << C.LECC << ", " << C.LAO << ": " << Got << " instead of " << Want;
        return Took;
    }

    int Count = 0, Quick = 0, Differ = 0;

private:
    TKQMHeader FHeader;
    TKQMAngleConstants FK;
};

struct TRandom {
    std::uint64_t State = 0x9E3779B97F4A7C15ULL;
    std::uint32_t Next() {
        State = State * 6364136223846793005ULL + 1442695040888963407ULL;
        return std::uint32_t(State >> 32);
    }
};

}  // namespace

#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
// Where the x87 computes as hosts run it, the quick way takes nearly every
// angle a recording gives, and gives the same.
TEST(EncoderAngle, QuickWayGivesTheExtendedBitsOverEveryHeader) {
    const std::uint32_t Circles[] = {65536, 60000, 36000, 10000, 4096, 7, 1};
    const std::uint8_t Facets[] = {1, 3, 4, 6, 7};
    const std::uint16_t Ratios[] = {1, 3, 64, 1000, 65535};
    const std::uint32_t Pulses[] = {0, 3, 5, 10, 12345, 987654321, 0xFFFFFFFF};
    TRandom Rnd;
    int Count = 0, Quick = 0, Typical = 0, TypicalQuick = 0;
    for (std::uint32_t LACC : Circles)
        for (std::uint8_t NF : Facets)
            for (std::uint16_t LACR : Ratios)
                for (std::uint32_t Pulse : Pulses) {
                    if (LACC < NF) continue;
                    TCheck Check(Header(Pulse, LACC, NF, LACR));
                    for (int I = 0; I < 400; ++I) {
                        TCounts C;
                        C.LEFC = std::uint16_t(Rnd.Next());
                        C.LEPC = std::uint16_t(Rnd.Next() % 65535 + 1);
                        C.LECC = std::uint16_t(Rnd.Next());
                        // Offsets small and within the circle, as recordings have them, and of any size.
                        const bool Wild = I % 4 == 0;
                        C.LEFCO = Wild ? Rnd.Next() : Rnd.Next() % 64;
                        C.LAO = Wild ? Rnd.Next() : Rnd.Next() % LACC;
                        if (I % 8 == 1) C.LEFC = std::uint16_t(C.LEPC - 1 - Rnd.Next() % 4);  // a fine count at its end
                        const bool Took = Check(C);
                        if (!Wild && LACR == 1 && LACC >= 4096 && Pulse < 1000000) ++Typical, TypicalQuick += Took;
                    }
                    Count += Check.Count, Quick += Check.Quick;
                    EXPECT_EQ(Check.Differ, 0);
                }
    EXPECT_GE(TypicalQuick * 100, Typical * 99);
    std::printf("%d angles, %.1f %% the quick way; of those a recording gives, %.2f %%\n", Count, 100.0 * Quick / Count,
                100.0 * TypicalQuick / Typical);
}

// Fine positions (StartPulse/10 + LEFC + LEFCO)/LEPC + LECC exactly halfway
// between two floats and a tenth of a count either side; positions on the
// circle halfway between two floats; whole numbers of facet periods and a
// count either side; and the limits of the quick way.
TEST(EncoderAngle, HalfwayPointsAndEdgesRoundAsTheExtendedWay) {
    TRandom Rnd;
    {
        // With LEPC = 2^14, LEFC = LECC = 0 the fine position is
        // (Pulse + 10 LEFCO) / (10 * 2^14): for Pulse = 0 and odd LEFCO
        // between 2^24 and 2^25 a float halfway point.
        std::vector<TCheck> Checks;
        for (std::uint32_t Pulse = 0; Pulse < 10; ++Pulse) Checks.emplace_back(Header(Pulse, 65536, 4, 1));
        for (int I = 0; I < 20000; ++I) {
            const std::uint32_t M = (1u << 24) + (Rnd.Next() % (1u << 24) | 1);
            for (int D = -9; D <= 9; ++D) {
                TCounts C;
                C.LEPC = 16384;
                C.LEFCO = D < 0 ? M - 1 : M;
                Checks[std::size_t((D + 10) % 10)](C);
            }
        }
        for (const TCheck& C : Checks) {
            EXPECT_EQ(C.Differ, 0);
            EXPECT_EQ(C.Quick, C.Count);
        }
    }
    {
        // LACR * A + LAO between 2^25 and 2^26, where floats lie 4 apart:
        // every other whole sum is a halfway point.
        TCheck Check(Header(0, 1u << 31, 1, 3));
        for (int I = 0; I < 20000; ++I) {
            TCounts C;
            C.LECC = std::uint16_t(Rnd.Next());
            C.LAO = (1u << 25) + Rnd.Next() % (1u << 24);
            Check(C);
        }
        EXPECT_EQ(Check.Differ, 0);
        EXPECT_EQ(Check.Quick, Check.Count);
    }
    // Whole numbers of a period of whole counts and of one that is not
    // (10000 / 3 rounds to float), and a count either side, up to quotients
    // past 2^14, where the quick way hands over.
    for (std::uint8_t NF : {4, 3}) {
        TCheck Check(Header(0, NF == 4 ? 65536 : 10000, NF, 1));
        const double Period = NF == 4 ? 16384 : double(float(10000.0L / 3));
        for (std::uint32_t K = 1; K < 20000; ++K)
            for (int D = -2; D <= 2; ++D) {
                TCounts C;
                C.LAO = std::uint32_t(std::int64_t(Period * K + 0.5) + D);
                Check(C);
            }
        EXPECT_EQ(Check.Differ, 0);
        EXPECT_LT(Check.Quick, Check.Count);
        EXPECT_GT(Check.Quick, Check.Count / 2);
    }
    {
        // A position on the circle no double holds: LACR * A = 64 - 2^-24
        // (LACR = 21483 = 3^2 * 7 * 11 * 31, A = 49981 / 2^24) above
        // 2^30 + 128, just below the halfway point 2^30 + 192; rounded to a
        // double first, it would become that point and round up to even.
        const float A = 49981 / 16777216.0f;
        std::uint32_t Pulse = 0;
        std::uint16_t LEPC = 65535;
        for (; LEPC > 0 && !Pulse; --LEPC) {
            const std::uint32_t N = std::uint32_t(double(A) * 10 * LEPC + 0.5);
            if (float(double(N) / (10.0 * LEPC)) == A) Pulse = N, ++LEPC;
        }
        ASSERT_NE(Pulse, 0u);
        TCheck Check(Header(Pulse, 1u << 31, 1, 21483));
        TCounts C;
        C.LEPC = LEPC;
        C.LAO = (1u << 30) + 128;
        EXPECT_FALSE(Check(C));
        // Positions far beyond 2^14 periods go the extended way too.
        TCheck Far(Header(7, 65536, 4, 65535));
        for (std::uint32_t LEFCO : {0xFFFFFFFFu, 0x7FFFFFFFu, 1u << 28}) {
            C.LEFCO = LEFCO;
            C.LAO = 0xFFFFFFFF;
            EXPECT_FALSE(Far(C));
        }
        EXPECT_EQ(Check.Differ + Far.Differ, 0);
    }
}

// Products just off a point halfway between two floats, where a double sum
// of the parts lands on that point and would round it to even: 2^-60 above
// 1 + 2^-24 (the x87 rounds up), and 2^-60 below 1 - 2^-25, halfway to the
// float below 1, where the gap is half as wide (the x87 rounds down). And
// any other product the same as the x87's.
TEST(EncoderAngle, ProductsBesideHalfwayPointsGoTheExtendedWay) {
    auto Extended = [](const double(&R)[3], float Pos) {
        return float((static_cast<long double>(R[0]) + R[1] + R[2]) * Pos);
    };
    float Angle = 0;
    const double Above[3] = {1, 0x1p-24, 0x1p-60}, Below[3] = {1, -0x1p-25, -0x1p-60};
    EXPECT_FALSE(AngleOfPosition(Above, 1, Angle)) << Angle << " for " << Extended(Above, 1);
    EXPECT_FALSE(AngleOfPosition(Below, 1, Angle)) << Angle << " for " << Extended(Below, 1);
    TRandom Rnd;
    int Taken = 0;
    for (int I = 0; I < 200000; ++I) {
        const long double Radians = std::ldexp(
            static_cast<long double>(Rnd.Next() | 0x80000000u) * 0x1p32L + Rnd.Next(), -63 - int(Rnd.Next() % 32));
        const long double R1 = float(Radians), R2 = float(Radians - R1);
        const double R[3] = {double(R1), double(R2), double(Radians - R1 - R2)};
        const float Pos = float(Rnd.Next() % 100000) / float(Rnd.Next() % 1000 + 1);
        if (!AngleOfPosition(R, Pos, Angle)) continue;
        ++Taken;
        ASSERT_EQ(Bits(Angle), Bits(float(Radians * Pos))) << double(Radians) << " * " << Pos;
    }
    EXPECT_GT(Taken, 199000);
}
#endif
