#include "Format.h"

#include "../support/TempDir.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <locale>
#include <string>

// glibc keeps the locale search path it parses from LOCPATH for the life of
// the process; that is not ours to free.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
    return "leak:__argz_add_sep\n";
}

namespace {

// Every directive the system's messages use, plus the flags around them.
std::string Cases(int& checked) {
    struct Row {
        std::string got;
        const char* want;
    };
    const std::int64_t big = -9000000000LL;
    const Row rows[] = {
        {Format("Position %d: x", 42), "Position 42: x"},
        {Format("%d", -7), "-7"},
        {Format("%d", big), "-9000000000"},
        {Format("%d", std::numeric_limits<std::int64_t>::min()), "-9223372036854775808"},
        {Format("%d", std::uint32_t{4000000000u}), "4000000000"},
        {Format("%u", std::uint32_t{4294967295u}), "4294967295"},
        {Format("%u", -1), "4294967295"},
        {Format("%u", std::int16_t{-1}), "65535"},
        {Format("%8d|", 42), "      42|"},
        {Format("%-8d|", 42), "42      |"},
        {Format("%08d", -42), "-0000042"},
        {Format("%3d, %.3f, %.0f", 7, 1.5, 2.5), "  7, 1.500, 2"},
        {Format("%.3d", 5), "005"},
        {Format("%8.8x", 1u), "00000001"},
        {Format("0x%8.8x", 0x00574152u), "0x00574152"},
        {Format("0x%4.4x", 0xABCu), "0x0abc"},
        {Format("%x", -1), "ffffffff"},
        {Format("%X", 255), "FF"},
        {Format("%#x", 255), "0xff"},
        {Format("%s", "abc"), "abc"},
        {Format("%s", std::string()), ""},
        {Format("[%5s]", "ab"), "[   ab]"},
        {Format("[%-5s]", "ab"), "[ab   ]"},
        {Format("[%.2s]", "abcdef"), "[ab]"},
        {Format("    %-24.24s : %s;", "Short", "DWORD"), "    Short                    : DWORD;"},
        {Format("%-24.24s|", "ABCDEFGHIJKLMNOPQRSTUVWXYZ"), "ABCDEFGHIJKLMNOPQRSTUVWX|"},
        {Format("%.9f", 0.1), "0.100000000"},
        {Format("%.9f", -1234.5), "-1234.500000000"},
        {Format("%.6f", 1.0 / 3.0), "0.333333"},
        {Format("%f", 2.5), "2.500000"},
        {Format("%.0f", 0.5), "0"},
        {Format("%.0f", 1.5), "2"},
        {Format("%.3f", -0.0004), "-0.000"},
        {Format("%10.3f|", 3.14159), "     3.142|"},
        {Format("%010.3f", -3.14159), "-00003.142"},
        {Format("%+.1f", 1.0), "+1.0"},
        {Format("%.3f", 7), "7.000"},
        {Format("%e", 12345.678), "1.234568e+04"},
        {Format("%.2E", 0.000123), "1.23E-04"},
        {Format("%g", 0.0001), "0.0001"},
        {Format("%g", 1e20), "1e+20"},
        {Format("%g", 100000.0), "100000"},
        {Format("%.3g", 3.14159), "3.14"},
        {Format("%f", std::numeric_limits<double>::infinity()), "inf"},
        {Format("%5.1f|", -std::numeric_limits<double>::infinity()), " -inf|"},
        {Format("%.1f", 1e300).size() == 303 ? std::string("ok") : std::string("bad"), "ok"},
        {Format("100%%"), "100%"},
        {Format("%*d|%.*f", 4, 7, 2, 1.0), "   7|1.00"},
        {Format("%s=%d (%s)", "a", 1, "b"), "a=1 (b)"},
        {Format("no directives"), "no directives"},
        {Format("%ld %lu", 1L, 2UL), "1 2"},
    };
    std::string failures;
    for (const Row& r : rows) {
        ++checked;
        if (r.got != r.want) {
            failures += "got \"" + r.got + "\" want \"" + r.want + "\"\n";
        }
    }
    return failures;
}

TEST(FormatTest, DirectivesFlagsWidthAndPrecision) {
    int checked = 0;
    EXPECT_EQ(Cases(checked), "");
    EXPECT_GT(checked, 40);
}

// The quick way into a buffer gives the full way's text, or declines.
template <class... A>
void ExpectSameOrDeclined(bool MustTakeQuickWay, std::string_view Fmt, const A&... Args) {
    const FormatArg List[] = {FormatArg(Args)...};
    char Buf[96];
    const std::size_t N = FormatTo(Buf, sizeof Buf, Fmt, List);
    SCOPED_TRACE(std::string(Fmt));
    if (N == FormatNoRoom) {
        EXPECT_FALSE(MustTakeQuickWay);
        return;
    }
    EXPECT_EQ(std::string(Buf, N), FormatV(Fmt, List));
    EXPECT_EQ(Buf[N], '\0');
}

TEST(FormatTest, IntoABufferAsTheFullWayFormats) {
    // Ties of the decimal rounding go to even, as in the full way.
    for (double V : {0.5, 1.5, 2.5, 0.0009765625, 0.0029296875, 1.0 / 1024 / 1024, 999999.9999999995, 0.9999999996,
                     -0.0, 1e-320, 4503599627370495.5, 9007199254740991.0}) {
        for (const char* F : {"%.0f", "%.1f", "%.6f", "%.9f", "x=%f!"}) ExpectSameOrDeclined(true, F, V);
        ExpectSameOrDeclined(true, "%.9f", -V);
    }
    // Random doubles of every size the log lines see, and around them.
    std::uint64_t State = 42;
    for (int I = 0; I < 20000; ++I) {
        State = State * 6364136223846793005ULL + 1442695040888963407ULL;
        const double M = double(State >> 11) / 9007199254740992.0;
        const double V = std::ldexp(M, int(State % 80) - 40) * ((State & 2) ? -1 : 1);
        ExpectSameOrDeclined(std::fabs(V) < 1e15, "t1=(%.9f, %.6f, %.3f)", V, V, V);
    }
    // Beyond its reach (NaN, infinities, 2^53 and up, flags, other
    // directives) it declines, or agrees.
    for (double V : {double(NAN), -double(INFINITY), 9007199254740992.0, 1e300}) ExpectSameOrDeclined(false, "%.9f", V);
    ExpectSameOrDeclined(true, "Block: %d, %8d|%d", std::int64_t(-9000000000LL), 42, std::uint32_t(4000000000u));
    ExpectSameOrDeclined(true, "100%% %s", "done");
    ExpectSameOrDeclined(false, "%-8d|%08d|%x|%u|%5.2f|%e", 1, 2, 3, 4, 5.0, 6.0);
    ExpectSameOrDeclined(false, "%.12f", 0.1);

    // Too little room, or arguments left over, is declined too.
    char Small[8];
    const FormatArg Two[] = {FormatArg(1.0), FormatArg(2)};
    EXPECT_EQ(FormatTo(Small, sizeof Small, "%.9f", std::span(Two, 1)), FormatNoRoom);
    EXPECT_EQ(FormatTo(Small, sizeof Small, "%.0f", Two), FormatNoRoom);
    EXPECT_EQ(FormatTo(Small, sizeof Small, "1234567", {}), 7u);
    EXPECT_EQ(FormatTo(Small, sizeof Small, "12345678", {}), FormatNoRoom);
}

TEST(FormatTest, MalformedFormatsAndMismatchedArgumentsRaise) {
    EXPECT_THROW(Format("%d"), Exception);
    EXPECT_THROW(Format("%d %d", 1), Exception);
    EXPECT_THROW(Format("%d", "text"), Exception);
    EXPECT_THROW(Format("%s", 5), Exception);
    EXPECT_THROW(Format("%.3f", "text"), Exception);
    EXPECT_THROW(Format("%q", 1), Exception);
    EXPECT_THROW(Format("trailing %"), Exception);
    EXPECT_THROW(Format("%99999999d", 1), Exception);
    try {
        Format("value %d", "x");
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Format 'value %d' invalid or incompatible with argument");
    }
    // Surplus arguments are ignored, as printf does.
    EXPECT_EQ(Format("%d", 1, 2), "1");
}

// A host such as the GUI switches the process to the user's locale; messages
// and exported texts must keep "." as the decimal separator regardless.
#ifdef _WIN32
constexpr const char* CommaLocale = "German_Germany.1252";
#else
constexpr const char* CommaLocale = "de_DE.UTF-8";
#endif

class FormatLocaleTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (std::setlocale(LC_ALL, CommaLocale)) {
            std::setlocale(LC_ALL, "C");
            Available = true;
            return;
        }
#ifndef _WIN32  // localedef and LOCPATH are glibc's
        Dir = new TTempDir();
        const std::string cmd = "localedef -i de_DE -f UTF-8 '" + Dir->File("de_DE.UTF-8") + "' >/dev/null 2>&1";
        if (std::system(cmd.c_str()) == 0) {
            ::setenv("LOCPATH", Dir->Path().c_str(), 1);
            Available = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
            std::setlocale(LC_ALL, "C");
        }
#endif
    }
    static void TearDownTestSuite() {
        std::setlocale(LC_ALL, "C");
#ifndef _WIN32
        ::unsetenv("LOCPATH");
#endif
        delete Dir;
        Dir = nullptr;
    }
    void SetUp() override {
        if (!Available) {
            GTEST_SKIP() << "no locale with a decimal comma (" << CommaLocale << ") and localedef could not build one";
        }
        std::setlocale(LC_ALL, CommaLocale);
#ifndef _WIN32  // the C++ library of the Windows build knows no locale but "C"
        std::locale::global(std::locale(CommaLocale));
#endif
    }
    void TearDown() override {
        std::locale::global(std::locale::classic());
        std::setlocale(LC_ALL, "C");
    }
    static inline TTempDir* Dir = nullptr;
    static inline bool Available = false;
};

TEST_F(FormatLocaleTest, DecimalSeparatorStaysPointUnderCommaLocale) {
    char probe[32];
    std::snprintf(probe, sizeof probe, "%.3f", 1.5);
    ASSERT_STREQ(probe, "1,500") << "the locale did not take effect, the test would prove nothing";
    int checked = 0;
    EXPECT_EQ(Cases(checked), "");
}

}  // namespace
