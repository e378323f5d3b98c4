// Defects that showed when the viewer's own waveform scene was rendered: text
// over a stale background, non-finite values drawn as data, bottom labels that
// overlap or leave the panel, huge values, points left behind by a data source.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "ChartControl.h"
#include "GuiApplication.h"
#include "RecordingChart.h"
#include "ViewerScene.h"

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

int CountPixels(const TBitmap& b, TColor c, const TRect& r) {
    int n = 0;
    for (int y = r.Top; y < r.Bottom; ++y)
        for (int x = r.Left; x < r.Right; ++x) n += b.GetPixel(x, y) == c;
    return n;
}

int Differing(const TBitmap& a, const TBitmap& b) {
    int n = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x) n += a.GetPixel(x, y) != b.GetPixel(x, y);
    return n;
}

TEST(TextBackground, EveryTextHonoursTheModeInForceWhenItIsDrawn) {
    EnsureGuiApplication();
    TBitmap bmp(120, 40);
    TCanvas& c = bmp.Canvas();
    // an opaque shape leaves the device with an opaque red background behind it
    c.SetBackgroundMode(OPAQUE);
    c.SetBackgroundColor(clRed);
    c.Brush().SetColor(clWhite);
    c.Pen().SetColor(clWhite);
    c.Rectangle(0, 0, 120, 40);
    c.Font().SetColor(clBlack);
    c.SetBackgroundMode(TRANSPARENT);
    c.TextOut(4, 4, "Wave");
    EXPECT_EQ(CountPixels(bmp, clRed, TRect{0, 0, 120, 40}), 0);
    // and an opaque text gets its box
    c.SetBackgroundMode(OPAQUE);
    c.TextOut(60, 4, "Wave");
    EXPECT_GT(CountPixels(bmp, clRed, TRect{60, 0, 120, 40}), 20);
}

TEST(TextBackground, FirstPaintEqualsEveryLaterOne) {
    EnsureGuiApplication();
    TChart chart;
    viewerscene::Build(chart);
    const auto first = RenderToBitmap(chart, 833, 500);
    chart.ZoomToValues(0, 0, viewerscene::BlockStart(0), viewerscene::BlockStart(1), 0, 100, 0, 0);
    RenderToBitmap(chart, 833, 500);
    chart.UndoZoom();
    const auto again = RenderToBitmap(chart, 833, 500);
    EXPECT_EQ(Differing(*first, *again), 0);
    // legend entries and the title are drawn on the panel, not on a series colour
    const TRect legendAndTitle{0, 0, 833, 130};
    for (TColor c : viewerscene::BlockColors) {
        SCOPED_TRACE(c);
        EXPECT_LT(CountPixels(*first, c, legendAndTitle), 200);
    }
}

}  // namespace
