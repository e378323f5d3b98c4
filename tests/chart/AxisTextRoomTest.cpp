// Axis texts in whole rendered charts: the letters of a text are the pixels that
// change when only that text's colour changes, so each check holds for what is
// really painted, whatever the layout computed.

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>

#include "Chart.h"
#include "ChartControl.h"
#include "GoldenCompare.h"
#include "GuiApplication.h"
#include "LineSeries.h"
#include "TextPixels.h"

namespace {

using textpixels::Mask;

// The pixels that differ once recolour() has changed some colours (kept changed).
Mask Changed(TChart& chart, int w, int h, const std::function<void()>& recolour) {
    return textpixels::Changed(chart, w, h, [&recolour](bool on) {
        if (on) recolour();
    });
}

Mask Letters(TChart& chart, int w, int h, TPlotFont& font) { return textpixels::Letters(chart, w, h, font); }

TLineSeries* Line(TChart& chart, double step, double slope, int count = 11) {
    chart.SetView3D(false);
    chart.Legend().SetVisible(false);
    auto* s = new TLineSeries(&chart);
    s->SetParentChart(&chart);
    for (int i = 0; i < count; ++i) s->AddPoint(i * step, i * slope);
    return s;
}

// How far pixels reach toward the plot past the free pixel between the ticks' ends
// and the labels' room (0 or less: clear of the axis line and its ticks). Text
// turned half round lands a pixel early, in that free one.
int IntoPlot(const TChartAxis& a, const Mask& m) {
    const Mask::Box p = m.Bounds();
    if (a.Horizontal()) return a.OtherSide() ? p.maxY - a.LabelsPos : a.LabelsPos - 1 - p.minY;
    return a.OtherSide() ? a.LabelsPos - 1 - p.minX : p.maxX - a.LabelsPos;
}

// Bottom, top, left and right, each with a series on it.
TChartAxis* AxisOf(TChart& chart, int side) {
    TChartAxis* a[] = {chart.BottomAxis(), chart.TopAxis(), chart.LeftAxis(), chart.RightAxis()};
    return a[side];
}

bool CutAtEdge(const Mask& m, int w, int h) {
    const Mask::Box p = m.Bounds();
    return p.minX <= 0 || p.minY <= 0 || p.maxX >= w - 1 || p.maxY >= h - 1;
}

TEST(AxisTextRoom, TitlesStandBeyondEveryLabelOfTheStep) {
    EnsureGuiApplication();
    // values whose middle labels are wider than the two ends ("2.5" between "0" and "5")
    for (double slope : {0.5, 0.25, 0.05, 25.0}) {
        for (int height : {180, 250, 400}) {
            SCOPED_TRACE(std::to_string(slope) + " at height " + std::to_string(height));
            TChart chart;
            Line(chart, 1, slope);
            chart.LeftAxis()->Title().SetCaption("Volts");
            const Mask labels = Letters(chart, 400, height, chart.LeftAxis()->LabelsFont());
            const Mask title = Letters(chart, 400, height, chart.LeftAxis()->Title().Font());
            ASSERT_GT(labels.Count(), 0);
            EXPECT_LT(title.Bounds().maxX, labels.Bounds().minX);
        }
    }
    // the labels' room follows a change of their font or format at the next draw
    TChart chart;
    Line(chart, 1, 0.5);
    chart.LeftAxis()->Title().SetCaption("Volts");
    RenderToBitmap(chart, 400, 250);
    for (const auto& change : std::initializer_list<std::function<void(TChartAxis&)>>{
             [](TChartAxis& a) { a.LabelsFont().SetSize(16); },
             [](TChartAxis& a) { a.SetAxisValuesFormat("0.000"); }}) {
        change(*chart.LeftAxis());
        const Mask labels = Letters(chart, 400, 250, chart.LeftAxis()->LabelsFont());
        const Mask title = Letters(chart, 400, 250, chart.LeftAxis()->Title().Font());
        EXPECT_LT(title.Bounds().maxX, labels.Bounds().minX);
    }
    // bottom labels read upward over -5..5: "-2.5" is longer than either end
    for (int width : {200, 300, 400, 600}) {
        SCOPED_TRACE(width);
        TChart chart;
        TLineSeries* s = Line(chart, 0.1, 1, 101);
        for (int i = 0; i < s->PointCount(); ++i) s->XValues()->SetValue(i, i * 0.1 - 5.0);
        chart.BottomAxis()->SetLabelsAngle(90);
        chart.BottomAxis()->Title().SetCaption("Time");
        const Mask labels = Letters(chart, width, 250, chart.BottomAxis()->LabelsFont());
        const Mask title = Letters(chart, width, 250, chart.BottomAxis()->Title().Font());
        ASSERT_GT(labels.Count(), 0);
        EXPECT_LT(labels.Bounds().maxY, title.Bounds().minY);
    }
}

TEST(AxisTextRoom, LabelsAtEveryAngleStayOutsideTheirAxisAndThePanel) {
    EnsureGuiApplication();
    for (int side = 0; side < 4; ++side) {
        for (int angle = 0; angle < 360; angle += 15) {
            TChart chart;
            TLineSeries* s = Line(chart, 1000, 1000);
            TChartAxis* a = AxisOf(chart, side);
            if (a == chart.TopAxis()) s->SetHorizAxis(aTopAxis);
            if (a == chart.RightAxis()) s->SetVertAxis(aRightAxis);
            a->SetLabelsAngle(angle);
            a->Title().SetCaption("Title");
            SCOPED_TRACE((a->Horizontal()  ? a->OtherSide() ? "top " : "bottom "
                          : a->OtherSide() ? "right "
                                           : "left ") +
                         std::to_string(angle));
            const Mask labels = Letters(chart, 500, 350, a->LabelsFont());
            ASSERT_GT(labels.Count(), 0);
            EXPECT_LE(IntoPlot(*a, labels), 0);
            EXPECT_FALSE(CutAtEdge(labels, 500, 350));
            // and the title beyond them
            const Mask title = Letters(chart, 500, 350, a->Title().Font());
            EXPECT_FALSE(labels.BoxesMeet(title));
        }
    }
}

// A turned 3D view draws the axes' texts where the projection puts them: the title
// stays off its labels, the labels off the walls, and nothing is cut by the panel.
TEST(AxisTextRoom, TurnedViewKeepsTitlesOffTheirLabels) {
    EnsureGuiApplication();
    for (const int walls : {0, 6}) {
        for (const int rotation : {300, 330, 20}) {
            SCOPED_TRACE("rotation " + std::to_string(rotation) + " walls " + std::to_string(walls));
            TChart chart;
            Line(chart, 1, 5, 12);
            Line(chart, 1, -5, 12)->YValues()->SetValue(0, 1070);
            chart.SetView3D(true);
            chart.View3DOptions().SetOrthogonal(false);
            chart.View3DOptions().SetRotation(rotation);
            chart.View3DOptions().SetElevation(340);
            chart.LeftAxis()->Title().SetCaption("Left title");
            chart.BottomAxis()->Title().SetCaption("Bottom title");
            if (walls) {
                chart.BackWall().SetTransparent(false);
                for (TCustomChartWall* w : {static_cast<TCustomChartWall*>(&chart.LeftWall()),
                                            static_cast<TCustomChartWall*>(&chart.BottomWall())})
                    w->SetSize(walls);
            }
            for (TChartAxis* a : {chart.LeftAxis(), chart.BottomAxis()}) {
                const Mask labels = Letters(chart, 500, 400, a->LabelsFont());
                const Mask title = Letters(chart, 500, 400, a->Title().Font());
                EXPECT_EQ((labels.Grown() & title).Count(), 0);
                EXPECT_FALSE(CutAtEdge(labels, 500, 400));
                EXPECT_FALSE(CutAtEdge(title, 500, 400));
                // a text left out for want of room is no fault, but these have room
                EXPECT_GT(labels.Count(), 0);
                EXPECT_GT(title.Count(), 0);
            }
        }
    }
}

TEST(AxisTextRoom, FramedLabelsTakeTheirBoxAndShadow) {
    EnsureGuiApplication();
    for (int side = 0; side < 4; ++side) {
        for (int angle : {0, 90, 45, 300}) {
            for (int shadow : {0, 4, -3}) {
                TChart chart;
                TLineSeries* s = Line(chart, 1, 1);
                TChartAxis* a = AxisOf(chart, side);
                if (a == chart.TopAxis()) s->SetHorizAxis(aTopAxis);
                if (a == chart.RightAxis()) s->SetVertAxis(aRightAxis);
                a->SetLabelsAngle(angle);
                a->Title().SetCaption("Title");
                TPlotShape& f = a->Items().Format();
                f.SetTransparent(false);
                f.SetColor(clYellow);
                f.Shadow().SetHorizSize(shadow);
                f.Shadow().SetVertSize(shadow);
                f.Pen().SetWidth(shadow == 4 ? 3 : 1);
                SCOPED_TRACE(std::to_string(angle) + " shadow " + std::to_string(shadow) + " on " +
                             (a->Horizontal() ? "horizontal " : "vertical ") + (a->OtherSide() ? "other side" : ""));
                const Mask boxes = Changed(chart, 400, 300, [&f] {
                    f.SetColor(clAqua);
                    f.Shadow().SetColor(clGreen);
                    f.Pen().SetColor(clFuchsia);
                });
                ASSERT_GT(boxes.Count(), 0);
                EXPECT_LE(IntoPlot(*a, boxes), 0);
                const Mask title = Letters(chart, 400, 300, a->Title().Font());
                EXPECT_FALSE(boxes.BoxesMeet(title));
            }
        }
    }
}

// A default chart with a title on its left axis.
TEST(GoldenImages, LeftTitleBesideItsLabels) {
    EnsureGuiApplication();
    TChart chart;
    Line(chart, 1, 0.5);
    chart.LeftAxis()->Title().SetCaption("Volts");
    golden::Check(*RenderToBitmap(chart, 400, 250), "lefttitle");
}

}  // namespace
