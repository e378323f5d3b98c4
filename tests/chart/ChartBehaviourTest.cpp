// Behaviour a user sees across the chart's parts: stacked points, pointer and callout
// gradients, legend text colours, shape defaults, axis label events, grid and colour
// bands, and the texts of the tables.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "Chart.h"
#include "ChartAxis.h"
#include "ChartLegend.h"
#include "ChartMessages.h"
#include "ChartToolsExtra.h"
#include "GuiApplication.h"
#include "LineSeries.h"
#include "RecordingChart.h"
#include "ScopeExit.h"
#include "SeriesMarks.h"

namespace {

constexpr TColor Red = 0x0000FF;
constexpr TColor Green = 0x00FF00;

TEST(Stacking, AStackedSumBeyondTheAxisStaysOnItsEnd) {
    RecordingChart chart;
    chart.SetView3D(false);
    chart.LeftAxis()->SetAxisRange(0, 100);
    auto* below = new TLineSeries(&chart);
    below->SetParentChart(&chart);
    auto* above = new TLineSeries(&chart);
    above->SetParentChart(&chart);
    below->AddPoint(0, 70);
    above->AddPoint(0, 60);
    below->AddPoint(1, 20);
    above->AddPoint(1, 30);
    above->SetStacked(cssStack);
    chart.DrawNow();
    const TChartAxis* left = chart.LeftAxis();
    EXPECT_EQ(above->PointScreenY(0), left->StartPixel());  // 130 on a 0..100 axis
    EXPECT_EQ(above->PointScreenY(1), left->ValueToPixel(50));
    EXPECT_EQ(below->PointScreenY(0), left->ValueToPixel(70));
}

TEST(Pointer, TheGradientEndsInThePointColourButACalloutKeepsItsOwn) {
    TSeriesPointer pointer(nullptr);
    TCallout callout(nullptr);
    for (TSeriesPointer* p : {&pointer, static_cast<TSeriesPointer*>(&callout)}) {
        p->Gradient().SetVisible(true);
        p->Gradient().SetStartColor(clYellow);
        p->Gradient().SetEndColor(clBlue);
    }
    RecordingCanvas canvas;
    pointer.DrawPointer(canvas, false, 20, 20, 4, 4, Red, psRectangle, 0);
    callout.DrawPointer(canvas, false, 40, 20, 4, 4, Red, psRectangle, 0);
    ASSERT_EQ(canvas.Count("FillGradient"), 2);
    EXPECT_EQ(canvas.Find("FillGradient", 0)->args[7], static_cast<long long>(Red));
    EXPECT_EQ(canvas.Find("FillGradient", 1)->args[7], static_cast<long long>(clBlue));
    EXPECT_EQ(callout.Gradient().EndColor(), clBlue);
}

TEST(Legend, FontSeriesColorWritesEachItemInItsSeriesColour) {
    // reddish pixels of the legend: its text (and its symbol, which is there either way)
    auto redPixels = [](bool fontSeriesColor) {
        EnsureGuiApplication();
        TChart chart;
        chart.SetView3D(false);
        chart.Legend().SetVisible(true);
        chart.Legend().SetFontSeriesColor(fontSeriesColor);
        chart.Legend().SetLegendStyle(lsSeries);
        auto* s = new TLineSeries(&chart);
        s->SetParentChart(&chart);
        s->SetTitle("WWWWWW");
        s->SetSeriesColor(Red);
        s->AddPoint(0, 10);
        const std::unique_ptr<TBitmap> b = chart.DrawToBitmap();
        const TRect r = chart.Legend().ShapeBounds();
        int n = 0;
        for (int y = r.Top; y < r.Bottom; ++y)
            for (int x = r.Left; x < r.Right; ++x) {
                const TColor c = b->GetPixel(x, y);
                n += (c & 0xFF) > 0x80 && ((c >> 8) & 0xFF) < 0x60 && ((c >> 16) & 0xFF) < 0x60;
            }
        return n;
    };
    EXPECT_GT(redPixels(true), redPixels(false) + 20);
}

TEST(Shapes, TheShadowsDefaultsAreBlackAndThreeAndNotStored) {
    RecordingChart chart;
    TPlotShadow& shadow = chart.Title().Shadow();
    EXPECT_EQ(shadow.Color(), clBlack);
    EXPECT_EQ(shadow.HorizSize(), 3);
    EXPECT_FALSE(shadow.IsColorStored());
    EXPECT_FALSE(shadow.IsHorizSizeStored());
    EXPECT_FALSE(shadow.IsVertSizeStored());
    shadow.SetColor(clSilver);
    EXPECT_TRUE(shadow.IsColorStored());
}

TEST(Gradient, FourPointsTakeTheMidColourAsARectangleDoes) {
    TPlotGradient g;
    g.SetVisible(true);
    g.SetStartColor(clYellow);
    g.SetMidColor(Green);
    g.SetEndColor(clBlue);
    RecordingCanvas onRect, onPoints;
    g.Draw(onRect, TRect{0, 0, 40, 40});
    const TPoint corners[4] = {{0, 0}, {39, 0}, {39, 39}, {0, 39}};
    g.Draw(onPoints, corners, 0);
    std::vector<std::string> rect, points;
    for (const RecordedCall& c : onRect.Calls)
        if (c.op == "FillGradient") rect.push_back(c.Str());
    for (const RecordedCall& c : onPoints.Calls)
        if (c.op == "FillGradient") points.push_back(c.Str());
    ASSERT_EQ(rect.size(), 2u);
    EXPECT_EQ(points, rect);
    EXPECT_EQ(onPoints.Ops().front(), "ClipToPolygon");
    EXPECT_EQ(onPoints.Ops().back(), "RemoveClipping");
}

TEST(AxisLabels, AHandlerThatClearsStopOnceGoesOnUntilItsValueLeavesTheAxis) {
    RecordingChart chart;
    chart.SetView3D(false);
    chart.LeftAxis()->SetAxisRange(0, 100);
    auto* s = new TLineSeries(&chart);
    s->SetParentChart(&chart);
    s->AddPoint(0, 50);
    int calls = 0;
    chart.OnGetNextAxisLabel = [&](TChartAxis* axis, int i, double& v, bool& stop) {
        if (axis != chart.LeftAxis()) return;
        ++calls;
        if (i == 0) stop = false;
        v = i * 20.0;  // 0, 20, .. 100, then 120 ends the labels
    };
    chart.DrawNow();
    EXPECT_EQ(calls, 7);
    EXPECT_EQ(chart.LeftAxis()->TickPositions.size(), 6u);
}

TEST(GridBandTool, TwoToolsOnOneAxisKeepTheirBandsWhenEitherGoes) {
    for (bool firstGoes : {true, false}) {
        SCOPED_TRACE(firstGoes);
        RecordingChart chart;
        chart.SetView3D(false);
        std::vector<TGridBandTool*> tools;
        for (TColor c : {Red, Green}) {
            auto* t = new TGridBandTool(&chart);
            t->SetAxis(chart.BottomAxis());
            t->Band1().SetColor(c);
            t->Band1().SetStyle(bsSolid);
            tools.push_back(t);
        }
        auto bandColours = [&] {
            chart.BottomAxis()->TickPositions = {20, 60, 100};
            chart.Recorder->Clear();
            std::vector<TColor> colours;
            if (chart.BottomAxis()->GridHook) chart.BottomAxis()->GridHook(chart.BottomAxis());
            for (const RecordedCall& c : chart.Recorder->Calls)
                if (c.op == "DrawRectangle") colours.push_back(c.brushColor);
            return colours;
        };
        auto count = [](const std::vector<TColor>& v, TColor c) { return std::count(v.begin(), v.end(), c); };
        const std::vector<TColor> both = bandColours();
        ASSERT_GT(count(both, Red), 0);
        EXPECT_EQ(count(both, Green), count(both, Red));
        delete tools[firstGoes ? 0 : 1];
        const std::vector<TColor> left = bandColours();
        const TColor kept = firstGoes ? Green : Red;
        EXPECT_EQ(count(left, kept), count(both, kept));
        EXPECT_EQ(count(left, firstGoes ? Red : Green), 0);
        EXPECT_EQ(left.size() * 2, both.size());
        delete tools[firstGoes ? 1 : 0];
        EXPECT_FALSE(chart.BottomAxis()->GridHook);
    }
}

TEST(ColorBandTool, TheGradientNeedsAnOrthogonalView) {
    for (bool orthogonal : {true, false}) {
        SCOPED_TRACE(orthogonal);
        RecordingChart chart;
        chart.SetView3D(false);
        chart.View3DOptions().SetOrthogonal(orthogonal);
        auto* band = new TColorBandTool(&chart);
        band->SetAxis(chart.LeftAxis());
        band->SetStartValue(2);
        band->SetEndValue(8);
        band->Gradient().SetVisible(true);
        auto* s = new TLineSeries(&chart);
        s->SetParentChart(&chart);
        s->AddPoint(0, 0);
        s->AddPoint(10, 10);
        chart.DrawNow();
        EXPECT_EQ(chart.Recorder->Count("FillGradient") > 0, orthogonal);
    }
}

TEST(Tables, MarksAndFontsReadTheTextsAtTheTimeOfUse) {
    TPlotConst& texts = PlotConst();
    const TPlotConst saved = texts;
    const ScopeExit restore([&] { texts = saved; });
    TChart chart;
    auto* s = new TLineSeries(&chart);
    s->SetParentChart(&chart);
    s->AddPoint(0, 1);
    s->AddPoint(1, 3);
    s->Marks().SetStyle(smsPercentTotal);
    EXPECT_EQ(s->Marks().GetMarkText(1), "75 % of 4");
    texts.TextValueOfTotal = "%s from %s";
    texts.TextValueOfTotalMultiLine = "%s\r/ %s";
    EXPECT_EQ(s->Marks().GetMarkText(1), "75 % from 4");
    s->Marks().SetMultiLine(true);
    EXPECT_EQ(s->Marks().GetMarkText(1), "75 %\r/ 4");

    texts.DefaultFontName = "Courier New";
    texts.DefaultFontSize = "11";
    const TPlotFont font;
    EXPECT_EQ(font.Name(), "Courier New");
    EXPECT_EQ(font.Size(), 11);
    EXPECT_FALSE(font.IsNameStored());
}

}  // namespace
