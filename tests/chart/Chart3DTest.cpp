// Whole charts in 3D: clicks on bands and axes at their depth, the legend symbol, and views
// at the edges of the projection settings.

#include <gtest/gtest.h>

#include <chrono>

#include "ChartAxis.h"
#include "ChartControl.h"
#include "GuiApplication.h"
#include "LineSeries.h"
#include "RecordingChart.h"

namespace {

TLineSeries* AddLine(TChart& chart, std::initializer_list<double> ys) {
    auto* s = new TLineSeries(&chart);
    s->SetParentChart(&chart);
    int x = 0;
    for (double y : ys) s->AddPoint(x++, y);
    return s;
}

struct Chart3D {
    TChart chart;
    TLineSeries* series;
    Chart3D() {
        EnsureGuiApplication();
        chart.Legend().SetVisible(false);
        series = AddLine(chart, {10, 10, 90, 50});
        chart.LeftAxis()->SetAutomatic(false);
        chart.LeftAxis()->SetAxisRange(0, 100);
    }
    void Render(int width = 400, int height = 300) { RenderToBitmap(chart, width, height); }
    // The screen pixel of the world point at depth z.
    TPoint Screen(int x, int y, int z) { return chart.Canvas().WorldToScreen(x, y, z); }
};

TEST(Chart3D, ClickOnABandSelectsItsPointAndBesideItDoesNot) {
    for (bool orthogonal : {true, false}) {
        SCOPED_TRACE(orthogonal ? "orthogonal" : "rotated");
        Chart3D c;
        c.chart.View3DOptions().SetOrthogonal(orthogonal);
        c.Render();
        TLineSeries& s = *c.series;
        ASSERT_LT(s.SeriesStartZ, s.SeriesEndZ);
        // the middle of the flat first segment, half way through the depth slot
        const int x = (s.PointScreenX(0) + s.PointScreenX(1)) / 2;
        const int y = s.PointScreenY(0);
        const TPoint onBand = c.Screen(x, y, s.SeriesMiddleZ);
        EXPECT_EQ(s.PointAtPixel(onBand.x, onBand.y), 0);
        // well above the band, and the front-plane pixel of the line moved off the slot
        const TPoint above = c.Screen(x, y - 30, s.SeriesMiddleZ);
        EXPECT_EQ(s.PointAtPixel(above.x, above.y), -1);
        const TPoint beyond = c.Screen(x, y, s.SeriesEndZ + 25);
        EXPECT_EQ(s.PointAtPixel(beyond.x, beyond.y), -1);
    }
}

TEST(Chart3D, AxisClickIsTakenAtTheDepthTheAxisIsDrawnAt) {
    Chart3D c;
    c.chart.RightAxis()->SetVisible(true);
    c.series->SetVertAxis(aRightAxis);
    c.Render();
    TChartAxis& right = *c.chart.RightAxis();
    ASSERT_GT(right.ZPixel(), 0);
    const int mid = (right.StartPixel() + right.EndPixel()) / 2;
    const TPoint onLine = c.Screen(right.AxisLinePos + 2, mid, right.ZPixel());
    EXPECT_TRUE(right.AxisClicked(onLine.x, onLine.y));
    // the same pixel without the depth lies beside the drawn axis
    const TPoint front = c.Screen(right.AxisLinePos - 10, mid, 0);
    EXPECT_FALSE(right.AxisClicked(front.x, front.y));
}

TEST(Chart3D, LineWithoutMarkersShowsARectangleInTheLegend) {
    RecordingChart chart;
    auto* s = AddLine(chart, {1, 2});
    s->Pointer().SetVisible(false);
    chart.SetView3D(true);
    chart.Recorder->Clear();
    s->DrawLegendShape(-1, TRect{10, 10, 30, 20});
    EXPECT_EQ(chart.Recorder->Trace(), (std::vector<std::string>{"DrawRectangle(10,10,30,20)"}));
    chart.SetView3D(false);
    chart.Recorder->Clear();
    s->DrawLegendShape(-1, TRect{10, 10, 30, 20});
    EXPECT_EQ(chart.Recorder->Trace(), (std::vector<std::string>{"MoveToPoint(10,15)", "LineToPoint(30,15)"}));
}

TEST(Chart3D, ViewsAtTheEdgesOfTheSettingsDrawInBoundedTime) {
    EnsureGuiApplication();
    const auto start = std::chrono::steady_clock::now();
    for (bool orthogonal : {true, false})
        for (int angle : {0, 90, 270, 360})
            for (int perspective : {0, 100})
                for (int width : {400, 1}) {
                    SCOPED_TRACE(testing::Message()
                                 << orthogonal << " " << angle << " " << perspective << " " << width);
                    TChart chart;
                    TLineSeries* s = AddLine(chart, {1e300, -1e300, 0, 5});
                    s->Pointer().SetVisible(true);
                    TView3DOptions& o = chart.View3DOptions();
                    o.SetOrthogonal(orthogonal);
                    o.SetOrthoAngle(angle);
                    o.SetElevation(angle);
                    o.SetRotation(angle);
                    o.SetPerspective(perspective);
                    std::unique_ptr<TBitmap> image = RenderToBitmap(chart, width, 120);
                    EXPECT_EQ(image->Width(), width);
                }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

TEST(Chart3D, RotatedViewsKeepTheWholeBoxInsideThePanel) {
    for (int perspective : {0, 40}) {
        SCOPED_TRACE(perspective);
        Chart3D c;
        c.chart.View3DOptions().SetOrthogonal(false);
        c.chart.View3DOptions().SetPerspective(perspective);
        // without labels the axes take little room: the box itself must make way
        for (TChartAxis* a : c.chart.AxesList().Items()) a->SetLabels(false);
        c.Render(320, 220);
        const TRect& plot = c.chart.PlotRect();
        // inside the panel's margins (3 % and 4 % of its size) and its one-pixel bevel
        const TRect room{320 * 3 / 100 + 1, 220 * 4 / 100 + 1, 320 - 320 * 3 / 100 - 1, 220 - 220 * 4 / 100 - 1};
        for (int z : {0, c.chart.ChartDepth3D()})
            for (TPoint corner : {TPoint{plot.Left, plot.Top}, TPoint{plot.Right, plot.Top},
                                  TPoint{plot.Right, plot.Bottom}, TPoint{plot.Left, plot.Bottom}}) {
                const TPoint p = c.Screen(corner.x, corner.y, z);
                EXPECT_TRUE(p.x >= room.Left && p.x <= room.Right && p.y >= room.Top && p.y <= room.Bottom)
                    << p.x << "," << p.y << " at " << z;
            }
    }
}

TEST(Chart3D, SwitchingBetweenFlatAnd3DKeepsRangesAndSeries) {
    Chart3D c;
    c.chart.SetView3D(false);
    c.Render();
    const double lo = c.chart.BottomAxis()->Minimum(), hi = c.chart.BottomAxis()->Maximum();
    for (int i = 0; i < 40; ++i) {
        c.chart.SetView3D(i % 2 == 0);
        c.Render();
    }
    c.chart.SetView3D(false);
    c.Render();
    EXPECT_EQ(c.chart.SeriesCount(), 1);
    EXPECT_EQ(c.series->PointCount(), 4);
    EXPECT_DOUBLE_EQ(c.chart.BottomAxis()->Minimum(), lo);
    EXPECT_DOUBLE_EQ(c.chart.BottomAxis()->Maximum(), hi);
    EXPECT_DOUBLE_EQ(c.chart.LeftAxis()->Minimum(), 0);
    EXPECT_DOUBLE_EQ(c.chart.LeftAxis()->Maximum(), 100);
}

}  // namespace
