#include "CRCXS.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

constexpr char kCheck[] = "123456789";

TEST(CRCXSTest, ShiftRegisterCrcsGiveTheirCheckValues) {
    EXPECT_EQ(CRC16(kCheck, 9, CRC16INIT, CRC16POLY), 0x29B1);
    EXPECT_EQ(CRC32(kCheck, 9, CRC32INIT, CRC_32), 0x0376E6E7u);
    EXPECT_EQ(CRC8(kCheck, 9, CRC8INIT, CRC8POLY), 0xF7);
    EXPECT_EQ(CRC16(kCheck, 9, 0, CRC_XMODEM), 0x31C3) << "XMODEM starts from zero";
    // Byte steps chain into the buffer form.
    std::uint32_t c = CRC32INIT;
    for (int i = 0; i < 9; ++i) {
        c = CRC32(static_cast<std::uint8_t>(kCheck[i]), c, CRC_32);
    }
    EXPECT_EQ(c, 0x0376E6E7u);
    EXPECT_EQ(CRC16(kCheck, 0, 0x1234, CRC16POLY), 0x1234) << "no bytes leave the register alone";
    EXPECT_EQ(CRC8(nullptr, 5, 0x55, CRC8POLY), 0x55);
}

TEST(CRCXSTest, AccumulatorClassesAddPiecewiseAndReset) {
    TCRC32 c32(CRC_32, CRC32INIT);
    c32.Add(kCheck, 4);
    EXPECT_EQ(c32.Add(kCheck + 4, 5), 0x0376E6E7u);
    EXPECT_EQ(c32.Reset(), CRC32INIT);
    EXPECT_EQ(c32.Add(kCheck, 9), 0x0376E6E7u);
    TCRC16 c16(CRC16POLY, CRC16INIT);
    c16.Add(kCheck, 1);
    EXPECT_EQ(c16.Add(kCheck + 1, 8), 0x29B1);
    EXPECT_EQ(c16.Reset(), CRC16INIT);
}

TEST(CRCXSTest, RecordChecksumIsAOnesComplementWordSum) {
    std::int64_t check = 12345;
    EXPECT_TRUE(ChkStart(check));
    EXPECT_EQ(check, 0);
    EXPECT_EQ(ChkFinal(0), 0xFFFFFFFFu);

    const std::uint8_t one[] = {0x00, 0x00, 0x00, 0x01};
    ASSERT_TRUE(ChkAdd(one, 4, check, true));
    EXPECT_EQ(ChkFinal(check), 0xFFFFFFFEu);

    const std::uint8_t carry[] = {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x02};
    ChkStart(check);
    ASSERT_TRUE(ChkAdd(carry, 8, check, true));
    EXPECT_EQ(check, 0x100000001LL);
    EXPECT_EQ(ChkFinal(check), 0xFFFFFFFDu);
    EXPECT_TRUE(ChkValid(check, 0xFFFFFFFDLL));
    EXPECT_FALSE(ChkValid(check, 0xFFFFFFFCLL));
    EXPECT_FALSE(ChkValid(check, -3)) << "the stored value is compared zero-extended";

    // Sums whose first fold carries again.
    EXPECT_EQ(ChkFinal(0x1FFFFFFFFLL), 0xFFFFFFFEu);
    EXPECT_EQ(ChkFinal(0xFFFFFFFF00000001LL), 0xFFFFFFFFu - 1u);
}

TEST(CRCXSTest, WordsAreTakenInTheRequestedOrderAndOnlyWhole) {
    const std::uint8_t bytes[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06};
    std::int64_t be = 0;
    std::int64_t host = 0;
    ASSERT_TRUE(ChkAdd(bytes, 4, be, true));
    ASSERT_TRUE(ChkAdd(bytes, 4, host, false));
    std::uint32_t hostWord;
    std::memcpy(&hostWord, bytes, 4);
    EXPECT_EQ(be, 0x01020304);
    EXPECT_EQ(host, static_cast<std::int64_t>(hostWord));

    std::int64_t check = 77;
    EXPECT_FALSE(ChkAdd(bytes, 6, check, true));
    EXPECT_EQ(check, 77) << "a partial word adds nothing at all";
    EXPECT_FALSE(ChkAdd(bytes, -4, check, true));
    EXPECT_TRUE(ChkAdd(bytes, 0, check, true));
    EXPECT_EQ(check, 77);

    // Many large words accumulate without losing the carries.
    std::vector<std::uint8_t> ff(4 * 1000, 0xFF);
    ChkStart(check);
    ASSERT_TRUE(ChkAdd(ff.data(), static_cast<std::int32_t>(ff.size()), check, true));
    EXPECT_EQ(check, 1000LL * 0xFFFFFFFFLL);
    EXPECT_EQ(ChkFinal(check), 0u) << "a sum of all-ones words is all ones, its complement zero";
}

// The word sum, one big-endian word after the other.
std::uint64_t WordByWord(const std::uint8_t* p, std::int32_t count, std::uint64_t sum) {
    for (std::int32_t i = 0; i < count; i += 4)
        sum +=
            (std::uint32_t{p[i]} << 24) | (std::uint32_t{p[i + 1]} << 16) | (std::uint32_t{p[i + 2]} << 8) | p[i + 3];
    return sum;
}

TEST(CRCXSTest, BigEndianSumMatchesWordByWordAtAnyLengthAndAlignment) {
    std::mt19937 rng(1234);
    std::vector<std::uint8_t> bytes(70000 + 16);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
    const std::uint64_t starts[] = {0, 1, 0xFFFFFFFFull, 0xFFFFFFFFFFFFFF00ull};
    for (int round = 0; round < 600; ++round) {
        const std::size_t offset = rng() % 16;
        // Short sums (a sync word) take another path than long ones.
        const std::int32_t count = round < 200 ? (round % 40) * 4 : static_cast<std::int32_t>(rng() % 70000) & ~3;
        const std::uint64_t start = starts[round % 4];
        std::int64_t check = static_cast<std::int64_t>(start);
        ASSERT_TRUE(ChkAdd(bytes.data() + offset, count, check, true));
        const std::uint64_t expected = WordByWord(bytes.data() + offset, count, start);
        ASSERT_EQ(static_cast<std::uint64_t>(check), expected) << "offset " << offset << ", " << count << " bytes";
        // Every vector width the processor has sums alike, not just the one ChkAdd takes here.
        for (const int width : {16, 32, 64}) {
            std::uint64_t sum = start;
            if (CRCXS::WordSum(width, bytes.data() + offset, count, sum)) {
                ASSERT_EQ(sum, expected) << width << "-byte vectors, offset " << offset << ", " << count << " bytes";
            }
        }
    }

    // Longer than one column run: the columns must not overflow.
    std::vector<std::uint8_t> ff((1 << 24) + 4 * 3, 0xFF);
    std::int64_t check = 0;
    ASSERT_TRUE(ChkAdd(ff.data(), static_cast<std::int32_t>(ff.size()), check, true));
    EXPECT_EQ(check, static_cast<std::int64_t>((ff.size() / 4) * 0xFFFFFFFFull));
    // Whole runs, and around the most words a run sums without masking its lanes.
    for (const int width : {16, 32, 64}) {
        for (const std::int32_t count : {static_cast<std::int32_t>(ff.size()), 1024, 1040, 1088}) {
            std::uint64_t sum = 0;
            if (CRCXS::WordSum(width, ff.data(), count, sum)) {
                EXPECT_EQ(sum, std::uint64_t(count / 4) * 0xFFFFFFFFull) << width << "-byte vectors, " << count;
            }
        }
    }
}

TEST(CRCXSTest, SplitAndByteReversal) {
    std::uint32_t h = 0;
    std::uint32_t l = 0;
    Split(0x123456789ABCDEF0LL, h, l);
    EXPECT_EQ(h, 0x12345678u);
    EXPECT_EQ(l, 0x9ABCDEF0u);
    Split(-1, h, l);
    EXPECT_EQ(h, 0xFFFFFFFFu);
    EXPECT_EQ(l, 0xFFFFFFFFu);
    static_assert(CRCXS::Swap4(0x11223344u) == 0x44332211u);
    EXPECT_EQ(CRCXS::Swap4(0x000000FFu), 0xFF000000u);
}

}  // namespace
