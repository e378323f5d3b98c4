// The chart's mouse pointer: series that claim the point show their own, zooming, panning
// and leaving the chart bring back the chart's saved one.

#include <gtest/gtest.h>

#include <vector>

#include "LineSeries.h"
#include "RecordingChart.h"

namespace {

struct CursorChart : RecordingChart {
    TLineSeries* series;
    std::vector<TCursor> shown;
    CursorChart() {
        SetView3D(false);
        Legend().SetVisible(false);
        SetSize(400, 300);
        series = new TLineSeries(this);
        series->SetParentChart(this);
        for (int i = 0; i <= 10; ++i) series->AddPoint(i, 50);
        DrawNow();
        RequestCursor = [this](TCursor c) { shown.push_back(c); };
    }
    TPoint PointPixel(int i) const { return TPoint{series->PointScreenX(i), series->PointScreenY(i)}; }
};

TEST(MouseCursor, SeriesClaimsThePointAndTheChartTakesItBack) {
    CursorChart chart;
    chart.series->SetCursor(crHandPoint);
    int enters = 0, leaves = 0;
    chart.series->OnMouseEnter = [&](TChartSeries*) { ++enters; };
    chart.series->OnMouseLeave = [&](TChartSeries*) { ++leaves; };
    const TPoint on = chart.PointPixel(3);
    chart.MouseMove(0, on.x, on.y);
    chart.MouseMove(0, on.x + 1, on.y);
    EXPECT_EQ(chart.MouseCursor(), crHandPoint);
    EXPECT_EQ(enters, 1);
    chart.MouseMove(0, on.x, on.y - 40);
    EXPECT_EQ(chart.MouseCursor(), crDefault);
    EXPECT_EQ(leaves, 1);
    EXPECT_EQ(chart.shown, (std::vector<TCursor>{crHandPoint, crDefault}));

    // a series that goes takes its pointer with it
    chart.MouseMove(0, on.x, on.y);
    EXPECT_EQ(chart.MouseCursor(), crHandPoint);
    chart.series->SetParentChart(nullptr);
    EXPECT_EQ(chart.MouseCursor(), crDefault);
    chart.series->SetParentChart(&chart);
}

TEST(MouseCursor, ZoomPanningAndLeavingRestoreTheSavedPointer) {
    CursorChart chart;
    const TPoint p = chart.PointPixel(5);
    for (TMouseButton button : {mbLeft, mbRight}) {
        SCOPED_TRACE(button == mbLeft ? "zoom" : "panning");
        chart.SetMouseCursor(crCross);
        chart.MouseDown(button, 0, p.x, p.y - 20);
        EXPECT_EQ(chart.MouseCursor(), crDefault);
        chart.MouseUp(button, 0, p.x, p.y - 20);
    }
    chart.SetSavedCursor(crSizeAll);
    chart.SetMouseCursor(crCross);
    chart.MouseDown(mbRight, 0, p.x, p.y - 20);
    EXPECT_EQ(chart.MouseCursor(), crSizeAll);
    chart.SetMouseCursor(crHandPoint);
    chart.MouseLeave();
    EXPECT_EQ(chart.MouseCursor(), crSizeAll);
    // leaving ended the panning: a move pans nothing
    const double lo = chart.BottomAxis()->Minimum();
    chart.MouseMove(0, p.x + 30, p.y - 20);
    EXPECT_DOUBLE_EQ(chart.BottomAxis()->Minimum(), lo);
}

}  // namespace
