#include "Fraction.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// Whole numbers, halves, and a unit in the last place on both sides of each,
// from zero and the tiniest values up to just below 2^63; and arbitrary
// values in between.
std::vector<long double> Values() {
    std::vector<long double> V = {0.0L, 0x1p-16445L, 1e-30L, 0.25L, 0.5L, 0.75L, 0x1p63L};
    for (long double Base = 1; Base < 0x1p63L; Base *= 3) {
        for (long double B : {Base, Base + 0.5L, std::floor(Base * 1.7L)}) {
            V.push_back(B);
            V.push_back(std::nextafter(B, 0.0L));
            V.push_back(std::nextafter(B, 0x1p64L));
        }
    }
    V.push_back(std::nextafter(0x1p63L, 0.0L));
    std::uint64_t State = 7;
    for (int I = 0; I < 20000; ++I) {
        State = State * 6364136223846793005ULL + 1442695040888963407ULL;
        V.push_back(std::ldexp(static_cast<long double>(State >> 1), int(State % 100) - 90));
    }
    return V;
}

bool SameBits(long double A, long double B) { return std::memcmp(&A, &B, 10) == 0; }

// The quick way gives the truncating way's bits, zero's sign included.
TEST(Fraction, OfAPositiveValueAsByTruncation) {
    int Differ = 0;
    long double First = -1;
    for (long double X : Values()) {
        volatile long double In = X;
        if (X < 0x1p63L && !SameBits(FracOfPositive(In), Frac(In)) && Differ++ == 0) First = X;
    }
    EXPECT_EQ(Differ, 0) << "first at " << double(First);
    EXPECT_TRUE(SameBits(FracOfPositive(-0.0L), Frac(-0.0L)));
    EXPECT_EQ(Frac(-2.75L), -0.75L);
}

}  // namespace
