// Series marks and the interactive tools, rendered headless and compared pixel by
// pixel with the PNGs under tests/chart/golden/ (regenerate with NARVI_UPDATE_GOLDEN=1
// and review the pictures before committing them).

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "Chart.h"
#include "ChartAxis.h"
#include "ChartControl.h"
#include "ChartTools.h"
#include "ChartToolsExtra.h"
#include "GoldenCompare.h"
#include "GuiApplication.h"
#include "LineSeries.h"
#include "SeriesMarks.h"

namespace {

// A flat chart without axis labels over 0..10 and 0..100, with a line series.
TLineSeries* PlainChart(TChart& chart) {
    chart.SetView3D(false);
    chart.Legend().SetVisible(false);
    for (TChartAxis* a : chart.AxesList().Items()) {
        a->SetLabels(false);
        a->SetLabelStyle(talValue);
        a->SetTickOnLabelsOnly(false);
    }
    chart.BottomAxis()->SetAxisRange(0, 10);
    chart.LeftAxis()->SetAxisRange(0, 100);
    auto* s = new TLineSeries(&chart);
    s->SetParentChart(&chart);
    s->SetSeriesColor(clNavy);
    const double ys[] = {20, 45, 30, 70, 55, 85};
    for (int i = 0; i < 6; ++i) s->AddPoint(1 + i * 1.6, ys[i]);
    return s;
}

struct ToolCase {
    const char* name;
    std::function<void(TChart&, TLineSeries*)> setUp;
    // What needs the laid-out chart (a mouse position); the picture is drawn again after it.
    std::function<void(TChart&, TLineSeries*)> afterLayout = {};
};

const ToolCase Cases[] = {
    {"marks",
     [](TChart&, TLineSeries* s) {
         TSeriesMarks& m = s->Marks();
         m.SetVisible(true);
         m.SetStyle(smsValue);
         m.Font().SetSize(7);
         m.Arrow().SetColor(clBlack);
         m.Callout().SetLength(12);
         m.Callout().SetArrowHead(ahSolid);
         m.Callout().SetArrowHeadSize(5);
         m.SetDrawEvery(2);
         m.Items().Item(4).SetColor(0xC0FFC0);
     }},
    {"cursor",
     [](TChart& c, TLineSeries* s) {
         auto* tool = new TCursorTool(&c);
         tool->Pen()->SetColor(clRed);
         tool->SetSnap(true);
         tool->SetSeries(s);
         tool->SetParentChart(&c);
     },
     // the first drawing places the cursor in the middle; then it is moved by its values
     [](TChart& c, TLineSeries*) {
         auto* tool = dynamic_cast<TCursorTool*>(c.Tools()[0]);
         tool->SetXValue(4.2);
         tool->SetYValue(30);
     }},
    {"axisarrows",
     [](TChart& c, TLineSeries*) {
         auto* tool = new TAxisArrowTool(&c);
         tool->Brush()->SetColor(clYellow);
         tool->SetAxis(c.BottomAxis());
         auto* left = new TAxisArrowTool(&c);
         left->SetPosition(aaEnd);
         left->SetAxis(c.LeftAxis());
     }},
    {"drawlines",
     [](TChart& c, TLineSeries*) {
         auto* tool = new TDrawLineTool(&c);
         tool->Pen()->SetColor(clMaroon);
         tool->SetParentChart(&c);
         TDrawLine* a = tool->Lines().Add();
         a->SetX0(1), a->SetY0(90), a->SetX1(6), a->SetY1(10);
         TDrawLine* b = tool->Lines().Add();
         b->SetStyle(dlHorizParallel);
         b->SetX0(5), b->SetY0(40), b->SetX1(9), b->SetY1(60);
         tool->SetSelectedLine(b);
     }},
    {"gridband",
     [](TChart& c, TLineSeries*) {
         auto* tool = new TGridBandTool(&c);
         tool->SetAxis(c.LeftAxis());
         tool->Band1().SetColor(0xE0F0FF);
         tool->Band2().SetColor(0xFFF0E0);
     }},
    {"colorband",
     [](TChart& c, TLineSeries*) {
         auto* behind = new TColorBandTool(&c);
         behind->SetAxis(c.BottomAxis());
         behind->SetColor(0xC0FFFF);
         behind->SetStartValue(6);
         behind->SetEndValue(3);
         auto* front = new TColorBandTool(&c);
         front->SetAxis(c.LeftAxis());
         front->SetDrawBehind(false);
         front->SetColor(clBlue);
         front->SetTransparency(70);
         front->SetStartValue(60);
         front->SetEndValue(75);
     }},
    {"colorline",
     [](TChart& c, TLineSeries*) {
         auto* v = new TColorLineTool(&c);
         v->SetAxis(c.BottomAxis());
         v->Pen()->SetColor(clGreen);
         v->SetValue(7.5);
         auto* h = new TColorLineTool(&c);
         h->SetAxis(c.LeftAxis());
         h->Pen()->SetColor(clRed);
         h->SetStyle(clCenter);
     }},
    {"annotation",
     [](TChart& c, TLineSeries*) {
         auto* tool = new TAnnotationTool(&c);
         tool->SetParentChart(&c);
         tool->SetText("Echo\rpeak");
         tool->SetPosition(ppRightTop);
         tool->Shape().SetColor(0xE0FFFF);
         tool->Callout().Arrow().SetVisible(true);
         tool->Callout().Arrow().SetColor(clBlack);
         tool->Callout().SetArrowHead(ahSolid);
         tool->Callout().SetXPosition(120);
         tool->Callout().SetYPosition(60);
     }},
    {"image",
     [](TChart& c, TLineSeries* s) {
         auto* tool = new TChartImageTool(&c);
         tool->SetParentChart(&c);
         tool->SetSeries(s);
         TBitmap& b = tool->Picture().Bitmap();
         b.SetSize(4, 4);
         for (int y = 0; y < 4; ++y)
             for (int x = 0; x < 4; ++x) b.SetPixel(x, y, (x + y) % 2 ? 0xFFE0C0 : 0xC0E0FF);
     }},
    {"nearest",
     [](TChart& c, TLineSeries* s) {
         auto* tool = new TNearestTool(&c);
         tool->SetParentChart(&c);
         tool->SetSeries(s);
         tool->Pen()->SetColor(clRed);
         tool->SetSize(8);
     },
     [](TChart& c, TLineSeries* s) {
         c.Tools()[0]->ChartMouseNotify(pmeMove, mbLeft, 0, s->PointScreenX(3) - 20, s->PointScreenY(3) + 15);
     }},
};

TEST(GoldenImages, MarksAndToolsPixelExact) {
    EnsureGuiApplication();
    for (const ToolCase& c : Cases) {
        SCOPED_TRACE(c.name);
        TChart chart;
        TLineSeries* series = PlainChart(chart);
        c.setUp(chart, series);
        std::unique_ptr<TBitmap> image = RenderToBitmap(chart, 240, 160);
        if (c.afterLayout) {
            c.afterLayout(chart, series);
            image = RenderToBitmap(chart, 240, 160);
        }
        ASSERT_FALSE(image->Empty());
        golden::Check(*image, std::string("tool_") + c.name);
    }
}

// Whether two pictures hold the same pixels.
bool SamePicture(const TBitmap& a, const TBitmap& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            if (a.GetPixel(x, y) != b.GetPixel(x, y)) return false;
    return true;
}

// Grid bands whose brushes keep "the owner's colour" leave the chart as it is: the back
// wall and both grids show as without the tool (bands given colours are in the goldens).
TEST(GridBandTool, ABandWithoutAColourLeavesThePlotAsItIs) {
    EnsureGuiApplication();
    auto render = [](const std::function<void(TChart&)>& setUp) {
        TChart chart;
        PlainChart(chart);
        chart.BackWall().SetTransparent(false);
        chart.BackWall().SetColor(0xF0FFF0);
        setUp(chart);
        return RenderToBitmap(chart, 240, 160);
    };
    const std::unique_ptr<TBitmap> plain = render([](TChart&) {});
    for (bool horizontal : {false, true}) {
        SCOPED_TRACE(horizontal ? "bottom axis" : "left axis");
        const std::unique_ptr<TBitmap> banded = render([&](TChart& c) {
            auto* tool = new TGridBandTool(&c);
            tool->SetAxis(horizontal ? c.BottomAxis() : c.LeftAxis());
        });
        EXPECT_TRUE(SamePicture(*banded, *plain));
    }
}

// Axis arrows without a colour of their own are filled in the colour of their axis line.
TEST(AxisArrowTool, ArrowsWithoutAColourTakeTheAxisColour) {
    EnsureGuiApplication();
    TChart chart;
    PlainChart(chart);
    chart.LeftAxis()->Axis().SetColor(clRed);
    auto* tool = new TAxisArrowTool(&chart);
    tool->SetAxis(chart.LeftAxis());
    tool->SetLength(30);
    std::unique_ptr<TBitmap> image = RenderToBitmap(chart, 240, 160);
    const TChartAxis* a = chart.LeftAxis();
    // inside the arrow head at the axis' top end, beside the axis line itself
    EXPECT_EQ(image->GetPixel(a->AxisLinePos + 2, a->StartPixel() + 6), clRed);
}

}  // namespace
