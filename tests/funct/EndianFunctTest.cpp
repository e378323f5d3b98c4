#include "EndianFunct.h"

#include "Exception.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <vector>

namespace {

TEST(EndianFunctTest, BigEndianBytesToHostIntegers) {
    // One byte in front so that every multi-byte read is misaligned.
    const std::uint8_t raw[] = {0xEE, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};
    const std::uint8_t* b = raw + 1;
    EXPECT_EQ(Swap1(b), 0x01u);
    EXPECT_EQ(Swap2(b), 0x0102u);
    EXPECT_EQ(Swap3(b), 66051u);
    EXPECT_EQ(Swap4(b), 0x01020304u);
    EXPECT_EQ(Swap8(b), 0x0102030405060708ull);
    const std::uint8_t high[] = {0xFF, 0xFE, 0xFD, 0xFC, 0xFB, 0xFA, 0xF9, 0xF8};
    EXPECT_EQ(Swap2(high), 0xFFFEu);
    EXPECT_EQ(Swap3(high), 0xFFFEFDu);
    EXPECT_EQ(Swap4(high), 0xFFFEFDFCu);
    EXPECT_EQ(Swap8(high), 0xFFFEFDFCFBFAF9F8ull);
}

TEST(EndianFunctTest, SignedValuesOfAnyWidthAreSignExtended) {
    const std::uint8_t fffe[] = {0xFF, 0xFE};
    const std::uint8_t x7f[] = {0x7F};
    const std::uint8_t x80[] = {0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    const std::uint8_t pos40[] = {0x12, 0x34, 0x56, 0x78, 0x9A};
    const std::uint8_t neg40[] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFE};
    EXPECT_EQ(BEToInt32(fffe, 2), -2);
    EXPECT_EQ(BEToInt64(x7f, 1), 127);
    EXPECT_EQ(BEToInt32(x7f, 1), 127);
    EXPECT_EQ(BEToInt32(x80, 1), -128);
    EXPECT_EQ(BEToInt32(x80, 4), INT32_MIN);
    EXPECT_EQ(BEToInt32(fffe, 1), -1);
    EXPECT_EQ(BEToInt64(x80, 8), INT64_MIN);
    EXPECT_EQ(BEToInt64(pos40, 5), 0x123456789All);
    EXPECT_EQ(BEToInt64(neg40, 5), -2);
    EXPECT_EQ(BEToInt32(pos40, 3), 0x123456);
}

TEST(EndianFunctTest, WidthsOutsideTheResultRaise) {
    const std::uint8_t b[9] = {};
    EXPECT_THROW(BEToInt32(b, 0), Exception);
    EXPECT_THROW(BEToInt32(b, 5), Exception);
    EXPECT_THROW(BEToInt64(b, 9), Exception);
    EXPECT_THROW(BEToInt64(b, -1), Exception);
}

TEST(EndianFunctTest, SwapNReversesInPlace) {
    std::uint8_t odd[] = {1, 2, 3, 4, 5};
    SwapN(odd, 5);
    EXPECT_EQ(std::vector<int>(odd, odd + 5), (std::vector<int>{5, 4, 3, 2, 1}));
    std::uint8_t even[] = {1, 2, 3, 4, 9};
    SwapN(even, 4);
    EXPECT_EQ(std::vector<int>(even, even + 5), (std::vector<int>{4, 3, 2, 1, 9})) << "only N bytes are touched";
    SwapN(even, 1);
    SwapN(even, 0);
    EXPECT_EQ(even[0], 4);
    // Reversing a big-endian double gives the host value on a little-endian machine.
    const double v = -1234.5;
    std::uint8_t be[8];
    std::memcpy(be, &v, 8);
    SwapN(be, 8);
    EXPECT_EQ(Swap8(be), std::bit_cast<std::uint64_t>(v));
}

}  // namespace
