#include "FloatFormat.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <cmath>
#include <limits>

namespace {

struct TPatternCase {
    const char* Pattern;
    double Value;
    const char* Expected;
};

const TPatternCase kCases[] = {
    // the viewer's patterns
    {"### ##0.000 000", 1234.5, "1 234.500 000"},
    {"### ##0.000 000", 0.0000005, "0.000 001"},
    {"### ##0.000 000", 987654.25, "987 654.250 000"},
    {"### ### ##0.000 000", 12.0, "12.000 000"},
    {"### ### ##0.000 000", 123456789.0, "123 456 789.000 000"},
    {"# ##0", 234, "234"},
    {"# ##0", 1234, "1 234"},
    {"# ##0", 1234567, "1234 567"},
    {"# ##0", 0, "0"},
    {"# ##0", -1234, "-1 234"},
    {"# ##0.000", 1234.5678, "1 234.568"},
    {"# ##0.000", -0.25, "-0.250"},
    {"0.000 000 000", 1.5, "1.500 000 000"},
    {"0.000 000 000", 0.000123456789, "0.000 123 457"},
    // default value format: grouping, optional decimals
    {"#,##0.###", 0, "0"},
    {"#,##0.###", 1234567.891, "1,234,567.891"},
    {"#,##0.###", 1.5, "1.5"},
    {"#,##0.###", 1000, "1,000"},
    {"#,##0.###", 999.9996, "1,000"},
    {"#,##0.###", -12345.6, "-12,345.6"},
    {"##0.## %", 12.345, "12.35 %"},
    {"##0.## %", 12, "12 %"},
    // rounding works on 15 significant digits, halves away from zero
    {"0.00", 2.675, "2.68"},
    {"0.00", 1.005, "1.01"},
    {"0", 0.5, "1"},
    {"0", 1.5, "2"},
    {"0", 2.5, "3"},
    {"0.##", 9.999, "10"},
    // optional decimals drop literals between the dropped digits
    {"0.000 ###", 1.5, "1.500"},
    {"0.000 ###", 1.5001, "1.500 1"},
    {"#.##", 0.5, ".5"},
    {"00000", 42, "00042"},
    // exponent
    {"0.00E+00", 12345, "1.23E+04"},
    {"0.00E+00", 0.00012345, "1.23E-04"},
    {"0.0E-0", 12345, "1.2E4"},
    {"0.00E+00", 9.999e9, "1.00E+10"},
    {"0.00E+00", 0, "0.00E+00"},
    // sections and literal text
    {"0.0;(0.0);'zero'", -2.5, "(2.5)"},
    {"0.0;(0.0);'zero'", 0, "zero"},
    {"0.0;(0.0);'zero'", 2.5, "2.5"},
    {"'x='0", 3, "x=3"},
    {"\"a;b\"0", 3, "a;b3"},
    {"", 1.5, "1.5"},
};

TEST(FloatFormat, PatternTable) {
    for (const TPatternCase& c : kCases) {
        EXPECT_EQ(FormatFloat(c.Pattern, c.Value), c.Expected) << "pattern \"" << c.Pattern << "\" value " << c.Value;
    }
}

TEST(FloatFormat, NeverWritesMinusZero) {
    const char* patterns[] = {"0", "#,##0.###", "# ##0", "0.00", "#"};
    const double values[] = {-0.0, -0.0001, -1e-300, -0.0004999};
    for (const char* p : patterns) {
        for (double v : values) {
            std::string s = FormatFloat(p, v);
            EXPECT_EQ(s.find('-'), std::string::npos) << p << " " << v << " -> " << s;
        }
    }
    EXPECT_EQ(FormatFloat("0.000", -0.0004), "0.000");
    EXPECT_EQ(FormatFloat("0.00E+00", -0.0), "0.00E+00");
    EXPECT_EQ(FormatFloat("0.000", -0.0005), "-0.001");
}

TEST(FloatFormat, NonFiniteAndHugeValues) {
    EXPECT_EQ(FormatFloat("#,##0.###", std::numeric_limits<double>::quiet_NaN()), "NAN");
    EXPECT_EQ(FormatFloat("#,##0.###", std::numeric_limits<double>::infinity()), "INF");
    EXPECT_EQ(FormatFloat("#,##0.###", -std::numeric_limits<double>::infinity()), "-INF");
    EXPECT_EQ(FormatFloat("0", 1e20), "100000000000000000000");
    EXPECT_EQ(FormatFloat("0.00E+00", 1.7976931348623157e308), "1.80E+308");
    EXPECT_EQ(FormatFloat("0.###", 5e-324), "0");
}

TEST(FloatFormat, DecimalPointIgnoresLocale) {
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    std::string saved = old ? old : "C";
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) std::setlocale(LC_NUMERIC, "C");
    EXPECT_EQ(FormatFloat("#,##0.###", 1234.5), "1,234.5");
    EXPECT_EQ(FloatToStr(0.25), "0.25");
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(FloatFormat, FloatToStrUsesFifteenDigits) {
    const std::pair<double, const char*> cases[] = {
        {0, "0"},
        {1.5, "1.5"},
        {-2, "-2"},
        {0.1 + 0.2, "0.3"},
        {1e20, "1E20"},
        {1e15, "1E15"},
        {123456789012345, "123456789012345"},
        {0.0001, "0.0001"},
        {0.00001, "1E-5"},
        {-1.25e-7, "-1.25E-7"},
        {1.0 / 3, "0.333333333333333"},
    };
    for (const auto& [v, text] : cases) EXPECT_EQ(FloatToStr(v), text) << v;
}

}  // namespace

namespace {

// Any pattern and any value give some text: no crash, no endless loop.
TEST(FloatFormat, ArbitraryPatternsAreSafe) {
    const char alphabet[] = "0#.,E+-e'\"; x%";
    std::uint32_t seed = 99;
    auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
    const double values[] = {0,
                             -0.0,
                             1,
                             -1,
                             0.5,
                             1234.5678,
                             -98765.4321,
                             1e-300,
                             1e300,
                             -1e18,
                             5e-324,
                             std::numeric_limits<double>::max(),
                             std::numeric_limits<double>::quiet_NaN()};
    for (int round = 0; round < 3000; ++round) {
        std::string pattern;
        for (int n = static_cast<int>(next() % 16); n > 0; --n) pattern += alphabet[next() % (sizeof alphabet - 1)];
        for (double v : values) {
            std::string s = FormatFloat(pattern, v);
            EXPECT_LT(s.size(), 4096u) << pattern;
        }
    }
}

}  // namespace
