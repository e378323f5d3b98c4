// 3D charts without text (orthogonal, rotated, perspective, thick walls with line and point
// series) rendered headless and compared pixel by pixel with the PNGs under
// tests/chart/golden/. After an intended change of the drawing, regenerate them with
// NARVI_UPDATE_GOLDEN=1 set while running chart_tests, and review the new pictures before
// committing them.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "Chart.h"
#include "ChartControl.h"
#include "GoldenCompare.h"
#include "GuiApplication.h"
#include "LineSeries.h"

namespace {

void Prepare(TChart& chart) {
    chart.Legend().SetVisible(false);
    for (TChartAxis* a : chart.AxesList().Items()) {
        a->SetLabels(false);
        a->SetLabelStyle(talValue);
        a->SetTickOnLabelsOnly(false);
    }
    chart.BottomAxis()->SetAutomatic(false);
    chart.BottomAxis()->SetAxisRange(0, 10);
    chart.LeftAxis()->SetAutomatic(false);
    chart.LeftAxis()->SetAxisRange(0, 100);
    chart.BackWall().SetTransparent(false);
    chart.BackWall().SetColor(0xF0F0F0);
}

// Two line series with markers and a point series, each in its own depth slot.
void AddSeries(TChart& chart, TSeriesPointerStyle pointStyle) {
    const double ys[3][11] = {{20, 35, 30, 60, 55, 80, 70, 75, 50, 45, 40},
                              {10, 15, 25, 20, 40, 35, 30, 55, 65, 60, 85},
                              {50, 45, 70, 65, 90, 60, 30, 25, 35, 20, 15}};
    const TColor colors[3] = {0x2040E0, 0x30A030, 0xC06020};
    for (int s = 0; s < 3; ++s) {
        TCustomSeries* series = s < 2 ? static_cast<TCustomSeries*>(new TLineSeries(&chart))
                                      : static_cast<TCustomSeries*>(new TPointSeries(&chart));
        series->SetParentChart(&chart);
        series->SetSeriesColor(colors[s]);
        series->Pointer().SetVisible(true);
        series->Pointer().SetHorizSize(3);
        series->Pointer().SetVertSize(3);
        if (s == 2) series->Pointer().SetStyle(pointStyle);
        for (int i = 0; i <= 10; ++i) series->AddPoint(i, ys[s][i]);
    }
}

struct GoldenCase {
    const char* name;
    std::function<void(TChart&)> setUp;
};

const GoldenCase Cases[] = {
    {"ortho3d", [](TChart& c) { AddSeries(c, psTriangle); }},
    {"rotated3d",
     [](TChart& c) {
         c.View3DOptions().SetOrthogonal(false);
         c.View3DOptions().SetPerspective(0);
         AddSeries(c, psCircle);
     }},
    {"perspective3d",
     [](TChart& c) {
         c.View3DOptions().SetOrthogonal(false);
         c.View3DOptions().SetPerspective(40);
         AddSeries(c, psDiamond);
     }},
    {"thickwalls3d",
     [](TChart& c) {
         c.BackWall().SetSize(6);
         c.LeftWall().SetSize(6);
         c.BottomWall().SetSize(6);
         c.LeftWall().SetColor(0xC0FFC0);
         c.BackWall().Gradient().SetVisible(true);
         c.BackWall().Gradient().SetStartColor(0xFFF0E0);
         c.BackWall().Gradient().SetEndColor(0xC09060);
         c.LeftWall().Gradient().SetVisible(true);
         c.LeftWall().Gradient().SetDirection(gdLeftRight);
         AddSeries(c, psRectangle);
     }},
};

TEST(Golden3DImages, ChartsInEveryProjectionPixelExact) {
    EnsureGuiApplication();
    for (const GoldenCase& c : Cases) {
        SCOPED_TRACE(c.name);
        TChart chart;
        Prepare(chart);
        c.setUp(chart);
        std::unique_ptr<TBitmap> image = RenderToBitmap(chart, 320, 220);
        ASSERT_FALSE(image->Empty());
        golden::Check(*image, c.name);
    }
}

}  // namespace
