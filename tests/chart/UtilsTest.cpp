#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "ChartUtils.h"
#include "RecordingCanvas.h"

namespace {

TEST(Palette, RepeatsAfterTwentyAndWrapsNegativeIndices) {
    EXPECT_EQ(PaletteColor(0), 0x0000FFu);
    EXPECT_EQ(PaletteColor(20), PaletteColor(0));
    EXPECT_EQ(PaletteColor(15), 0x000000u);
    EXPECT_EQ(PaletteColor(19), 0xA4A0A0u);
    EXPECT_EQ(PaletteColor(41), PaletteColor(1));
    // Negative indices land on a palette entry too (no read outside the table).
    EXPECT_EQ(PaletteColor(-1), PaletteColor(19));
    EXPECT_EQ(PaletteColor(-20), PaletteColor(0));
    EXPECT_EQ(PaletteColor(-2147483647 - 1), PaletteColor(12));
}

TEST(Tokens, StringTokenPiecesAndEdges) {
    const std::string text = "a;b;c";
    EXPECT_EQ(StringToken(text, 1), "a");
    EXPECT_EQ(StringToken(text, 2), "b");
    EXPECT_EQ(StringToken(text, 3), "c");
    EXPECT_EQ(StringToken(text, 7), "c");  // the rest when fewer separators follow
    EXPECT_EQ(StringToken(text, 0), "");
    EXPECT_EQ(StringToken(text, -3), "");
    EXPECT_EQ(StringToken("", 1), "");
    EXPECT_EQ(StringToken(";x", 1), "");
    EXPECT_EQ(StringToken(";x", 2), "x");
    EXPECT_EQ(StringTokenSep("1|22|333", 2, "|"), "22");
    EXPECT_EQ(StringTokenSep("1<>22", 2, "<>"), "22");
    EXPECT_EQ(TextPieceSeparator, ";");  // the default stays
    EXPECT_EQ(ReplaceChar("a\rb\rc", '\r', ' '), "a b c");
    EXPECT_EQ(ReplaceChar("a\rb", '\r', '\0'), "ab");
}

TEST(Geometry, PointInsidePolygonEvenOdd) {
    const std::vector<TPoint> square = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
    EXPECT_FALSE(PointInsidePolygon(TPoint{5, 5}, std::vector<TPoint>{}));
    EXPECT_TRUE(PointInsidePolygon(TPoint{5, 5}, square));
    EXPECT_TRUE(PointInsidePolygon(TPoint{0, 5}, square));    // left edge inside
    EXPECT_FALSE(PointInsidePolygon(TPoint{10, 5}, square));  // right edge outside
    EXPECT_FALSE(PointInsidePolygon(TPoint{-1, 5}, square));
    EXPECT_FALSE(PointInsidePolygon(TPoint{5, 10}, square));
    // A self-crossing outline: the inner overlap counts twice, so outside.
    const std::vector<TPoint> star = {{0, 0}, {20, 0}, {20, 20}, {5, 20}, {5, 5}, {15, 5}, {15, 15}, {0, 15}};
    EXPECT_TRUE(PointInsidePolygon(TPoint{2, 2}, star));
}

TEST(Geometry, PointOnSegmentWithTolerance) {
    const TPoint a{0, 0}, b{10, 5};
    EXPECT_TRUE(PointOnSegment(TPoint{4, 2}, a, b));
    EXPECT_TRUE(PointOnSegment(a, a, b));
    EXPECT_TRUE(PointOnSegment(b, a, b));
    EXPECT_FALSE(PointOnSegment(TPoint{4, 5}, a, b));
    EXPECT_FALSE(PointOnSegment(TPoint{12, 6}, a, b));  // on the line, beyond the end
    EXPECT_TRUE(PointOnSegmentTolerance(TPoint{12, 6}, a, b, 2));
    EXPECT_FALSE(PointOnSegmentTolerance(TPoint{-4, -2}, a, b, 3));
    // Reversed segment: beyond A on the side away from B fails.
    EXPECT_FALSE(PointOnSegmentTolerance(TPoint{12, 6}, b, a, 1));
    EXPECT_FALSE(PointOnSegment(TPoint{3, 3}, TPoint{3, 3}, TPoint{3, 3}));  // no length
}

TEST(Geometry, RotateRectangle) {
    const auto same = RotateRectangle(TRect{0, 0, 10, 4}, 0);
    EXPECT_EQ(same[0], (TPoint{0, 0}));
    EXPECT_EQ(same[2], (TPoint{10, 4}));
    const auto quarter = RotateRectangle(TRect{0, 0, 10, 4}, 90);
    // Relative to the centre (5, 2): (a, b) -> (b, -a).
    EXPECT_EQ(quarter[0], (TPoint{3, 7}));
    EXPECT_EQ(quarter[1], (TPoint{3, -3}));
    EXPECT_EQ(quarter[2], (TPoint{7, -3}));
    EXPECT_EQ(quarter[3], (TPoint{7, 7}));
}

TEST(SortRange, SortsThroughCallbacksWithDuplicatesAndOrder) {
    std::mt19937 rng(12345);
    for (int n : {0, 1, 2, 3, 10, 257, 2000}) {
        for (int distinct : {3, 1000}) {
            std::vector<int> v(static_cast<std::size_t>(n));
            for (int& x : v) x = static_cast<int>(rng() % static_cast<unsigned>(distinct));
            std::vector<int> expected = v;
            std::sort(expected.begin(), expected.end());
            std::vector<int> tag(v.size());
            for (std::size_t i = 0; i < tag.size(); ++i) tag[i] = v[i] * 7;  // moves along
            SortRange(
                0, n - 1, [&](int a, int b) { return v[a] < v[b]   ? -1
                                                     : v[a] > v[b] ? 1
                                                                   : 0; },
                [&](int a, int b) {
                    std::swap(v[a], v[b]);
                    std::swap(tag[a], tag[b]);
                });
            EXPECT_EQ(v, expected) << n;
            for (std::size_t i = 0; i < v.size(); ++i) ASSERT_EQ(tag[i], v[i] * 7);
        }
    }
    // Already sorted and descending inputs, and a sub-range that leaves the rest alone.
    std::vector<int> w = {9, 5, 4, 3, 2, 1, 0};
    SortRange(
        1, 5, [&](int a, int b) { return w[a] - w[b]; }, [&](int a, int b) { std::swap(w[a], w[b]); });
    EXPECT_EQ(w, (std::vector<int>{9, 1, 2, 3, 4, 5, 0}));
}

TEST(Calendar, EncodeDecodeAndRoundingDown) {
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
    EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
    EXPECT_EQ(EncodeDate(2000, 1, 1), 36526.0);
    int y, m, d;
    DecodeDate(36526.75, y, m, d);
    EXPECT_EQ((std::vector<int>{y, m, d}), (std::vector<int>{2000, 1, 1}));

    const double t = EncodeDate(2024, 3, 20) + 0.6;
    EXPECT_EQ(RoundDateDown(t, 5), EncodeDate(2024, 3, 20));  // time of day dropped for every step
    EXPECT_EQ(RoundDateDown(t, dtHalfMonth), EncodeDate(2024, 3, 15));
    EXPECT_EQ(RoundDateDown(EncodeDate(2024, 3, 14), dtHalfMonth), EncodeDate(2024, 3, 1));
    EXPECT_EQ(RoundDateDown(t, dtThreeMonths), EncodeDate(2024, 3, 1));
    EXPECT_EQ(RoundDateDown(t, dtOneYear), EncodeDate(2024, 1, 1));
    EXPECT_EQ(RoundDateDown(1.5, dtOneYear), 1.5);  // up to 1 January 1900: unchanged
    EXPECT_EQ(RoundDateDown(2.0, dtOneYear), 2.0);
}

TEST(Calendar, SteppingByCalendarSteps) {
    auto step = [](double v, bool up, int s) {
        StepDateTime(up, v, 0.5, true, s);
        return v;
    };
    // Half months downwards: 20 March, 15 March, 1 March, 15 February.
    double v = EncodeDate(2024, 3, 20);
    v = step(v, false, dtHalfMonth);
    EXPECT_EQ(v, EncodeDate(2024, 3, 15));
    v = step(v, false, dtHalfMonth);
    EXPECT_EQ(v, EncodeDate(2024, 3, 1));
    v = step(v, false, dtHalfMonth);
    EXPECT_EQ(v, EncodeDate(2024, 2, 15));
    // Upwards always moves forward: 20 March -> 1 April -> 15 April -> 1 May.
    v = step(EncodeDate(2024, 3, 20), true, dtHalfMonth);
    EXPECT_EQ(v, EncodeDate(2024, 4, 1));
    v = step(v, true, dtHalfMonth);
    EXPECT_EQ(v, EncodeDate(2024, 4, 15));
    EXPECT_EQ(step(v, true, dtHalfMonth), EncodeDate(2024, 5, 1));

    EXPECT_EQ(step(EncodeDate(2024, 1, 31), true, dtOneMonth), EncodeDate(2024, 2, 1));
    EXPECT_EQ(step(EncodeDate(2024, 1, 1), false, dtOneMonth), EncodeDate(2023, 12, 1));
    EXPECT_EQ(step(EncodeDate(2024, 11, 10), true, dtThreeMonths), EncodeDate(2025, 2, 1));
    EXPECT_EQ(step(EncodeDate(2024, 2, 10), false, dtSixMonths), EncodeDate(2023, 8, 1));
    EXPECT_EQ(step(EncodeDate(2023, 5, 6), true, dtOneYear), EncodeDate(2024, 5, 6));
    EXPECT_EQ(step(EncodeDate(2024, 2, 29), true, dtOneYear), EncodeDate(2025, 2, 28));
    // Other steps, and plain values, move by the step's length.
    EXPECT_EQ(step(10.0, true, 5), 10.5);
    double plain = 100.0;
    StepDateTime(false, plain, 30.0, false, dtOneMonth);
    EXPECT_EQ(plain, 70.0);
}

TEST(Formats, DefaultDateTimeFormatByRange) {
    EXPECT_EQ(DefaultDateTimeFormat(2.0), ShortDateFormat);
    EXPECT_EQ(DefaultDateTimeFormat(1.0), ShortTimeFormat);
    EXPECT_EQ(DefaultDateTimeFormat(0.01), ShortTimeFormat);
}

TObject* makeNothing(TObject*) { return nullptr; }
const TClassInfo SeriesA{"TTestSeriesA", makeNothing};
const TClassInfo SeriesB{"TTestSeriesB", makeNothing};
const TClassInfo FunctionF{"TTestFunctionF", makeNothing};
const TClassInfo ToolT{"TTestToolT", makeNothing};
const TClassInfo ToolU{"TTestToolU", makeNothing};

TEST(Registries, SeriesFunctionsAndTools) {
    TPlotSeriesTypes& types = PlotSeriesTypes();
    const int base = types.Count();
    RegisterPlotSeries(&SeriesA, nullptr, "A", "Standard");
    RegisterPlotSeries(&SeriesA, nullptr, "A again", "Standard");  // same pair: one entry
    RegisterPlotSeries(&SeriesA, &FunctionF, "A with F", "Functions");
    RegisterPlotFunction(&FunctionF, "F", "Functions");
    RegisterPlotSeries(&SeriesB, "B", "Standard", 2);
    EXPECT_EQ(types.Count(), base + 4);
    ASSERT_NE(types.Find(&SeriesB), nullptr);
    EXPECT_EQ(types.Find(&SeriesB)->NumGallerySeries, 2);
    EXPECT_EQ(types.Find(&SeriesA)->Description, "A");
    EXPECT_EQ(FindClass("TTestSeriesA"), &SeriesA);  // registered for creation by name
    EXPECT_EQ(FindClass("TTestFunctionF"), &FunctionF);
    EXPECT_EQ(FindClass("TNoSuchClass"), nullptr);

    UnRegisterPlotFunction(&FunctionF);  // both entries with F go
    EXPECT_EQ(types.Count(), base + 2);
    UnRegisterPlotSeries(&SeriesA);
    EXPECT_EQ(types.Find(&SeriesA), nullptr);
    UnRegisterPlotSeries(&SeriesB);
    EXPECT_EQ(types.Count(), base);

    TPlotToolTypes& tools = PlotToolTypes();
    const int toolBase = tools.Count();
    RegisterPlotTools({&ToolT, &ToolU, &ToolT, nullptr});
    EXPECT_EQ(tools.Count(), toolBase + 2);
    EXPECT_EQ(FindClass("TTestToolU"), &ToolU);
    UnRegisterPlotTools({&ToolT});
    EXPECT_EQ(tools.IndexOf(&ToolT), -1);
    EXPECT_GE(tools.IndexOf(&ToolU), 0);
    UnRegisterPlotTools({&ToolU});
    EXPECT_EQ(tools.Count(), toolBase);
}

TEST(CheckBox, DrawsWithinThirteenPixels) {
    RecordingCanvas canvas;
    DrawCheckBox(10, 20, canvas, false);
    const int unchecked = static_cast<int>(canvas.Calls.size());
    ASSERT_GT(unchecked, 0);
    EXPECT_EQ(canvas.Trace().front(), "DrawRectangle(10,20,23,33)");
    canvas.Clear();
    DrawCheckBox(10, 20, canvas, true);
    EXPECT_GT(static_cast<int>(canvas.Calls.size()), unchecked);
    for (const auto& c : canvas.Calls) {
        for (std::size_t i = 0; i < c.args.size(); i += 2) {
            EXPECT_GE(c.args[i], 10);
            EXPECT_LE(c.args[i], 23);
            EXPECT_GE(c.args[i + 1], 20);
            EXPECT_LE(c.args[i + 1], 33);
        }
    }
    // The canvas's pen and brush come back as they were.
    EXPECT_EQ(canvas.GetDeviceHandle()->Pen().Color(), clBlack);
    EXPECT_EQ(canvas.GetDeviceHandle()->Brush().Color(), clWhite);
}

}  // namespace
