// Inputs the fuzz harnesses of tests/fuzz found faults with, kept small and
// run with every build so that the faults stay fixed.

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "IndexWriter.h"
#include "KQMIndex.h"
#include "TempDir.h"

// Eight-byte external times may lie further apart than a signed 64-bit
// difference reaches; finding a time between them must still interpolate
// (it overflowed, which the sanitizer build reports as undefined behaviour).
TEST(FuzzRegression, FindBetweenEightByteTimesFarApart) {
    TTempDir Dir;
    TIndexFile F;
    F.Major = 4;
    F.Minor = 0;
    // From -4.6e18 to 8.7e18 in steps of 7e17, as two's-complement words.
    const auto Time = [](int I) {
        return std::uint64_t(-4557430888798830400LL) + std::uint64_t(I) * 700000000000000000;
    };
    for (int I = 0; I < 20; ++I) F.Entries.push_back({Time(I), 100 * (I + 1), 0});
    F.Write(Dir.File("far.idx"));
    TIndex Index(Dir.File("far.idx"));
    EXPECT_EQ(Index.Find(5764607523034234896LL), 1600);
    EXPECT_EQ(Index.GetTimeStamp(), std::int64_t(Time(15)));
    EXPECT_EQ(Index.Find(std::numeric_limits<std::int64_t>::min()), 100);
}
