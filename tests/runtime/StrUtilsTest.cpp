#include "Rounding.h"
#include "StrUtils.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(StrUtilsTest, TrimRemovesSpacesAndControlCharactersOnlyAtTheEnds) {
    EXPECT_EQ(Trim("  a b \t\r\n"), "a b");
    EXPECT_EQ(Trim(std::string("\0x\0", 3)), "x");
    EXPECT_EQ(Trim(" \t "), "");
    EXPECT_EQ(Trim(""), "");
    EXPECT_EQ(TrimLeft("  a  "), "a  ");
    EXPECT_EQ(TrimRight("  a  "), "  a");
    // Bytes above 0x7F are text (UTF-8), not white space.
    EXPECT_EQ(Trim("\xC3\xA4 "), "\xC3\xA4");
}

TEST(StrUtilsTest, CaseMappingIsAsciiOnly) {
    EXPECT_EQ(UpperCase("kqm.Idx-1"), "KQM.IDX-1");
    EXPECT_EQ(LowerCase("KQM.Idx"), "kqm.idx");
    EXPECT_EQ(UpperCase("\xC3\xA4"), "\xC3\xA4");
    EXPECT_TRUE(SameText(".KQM", ".kqm"));
    EXPECT_FALSE(SameText(".kqm", ".kq"));
    EXPECT_FALSE(SameText(".hxt", ".kqm"));
    EXPECT_EQ(IntToStr(-9000000000LL), "-9000000000");
    EXPECT_EQ(IntToStr(0), "0");
}

TEST(RoundingTest, TiesGoToTheEvenNeighbour) {
    const struct {
        double in;
        std::int64_t out;
    } rows[] = {
        {0.5, 0},
        {1.5, 2},
        {2.5, 2},
        {3.5, 4},
        {-0.5, 0},
        {-1.5, -2},
        {-2.5, -2},
        {2.4999999, 2},
        {2.5000001, 3},
        {-2.5000001, -3},
        {0.0, 0},
        {-0.0, 0},
        {4503599627370495.5, 4503599627370496},
        {4503599627370497.0, 4503599627370497},
        {-9223372036854775808.0, std::numeric_limits<std::int64_t>::min()},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(RoundHalfEven(r.in), r.out) << r.in;
    }
    EXPECT_EQ(RoundHalfEven32(-2147483648.4), std::numeric_limits<std::int32_t>::min());
}

TEST(RoundingTest, ValuesWithoutAnIntegerResultRaise) {
    EXPECT_THROW(RoundHalfEven(std::nan("")), EInvalidOp);
    EXPECT_THROW(RoundHalfEven(std::numeric_limits<double>::infinity()), EInvalidOp);
    EXPECT_THROW(RoundHalfEven(9223372036854775808.0), EInvalidOp);
    EXPECT_THROW(RoundHalfEven(-1e19), EInvalidOp);
    EXPECT_THROW(RoundHalfEven32(2147483647.5), EInvalidOp);
}

}  // namespace
