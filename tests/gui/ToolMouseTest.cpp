// Chart tools in a chart in its control, driven by the toolkit's own mouse events.

#include <gtest/gtest.h>

#include <vector>

#include <QApplication>
#include <QCursor>
#include <QImage>
#include <QMouseEvent>
#include <QWidget>

#include "Chart.h"
#include "ChartAxis.h"
#include "ChartControl.h"
#include "ChartTools.h"
#include "ChartWidgetFixture.h"
#include "../chart/RecordingChart.h"
#include "LineSeries.h"
#include "SeriesMarks.h"

namespace {

const bool kWidgetApplication = (EnsureWidgetApplication(), true);

// A flat chart of a line series through (0, 0) .. (100, 100) with fixed axes.
struct ToolChart : ChartWidgetFixture {
    ToolChart() {
        series = new TLineSeries(&chart);
        series->SetParentChart(&chart);
        for (int i = 0; i <= 10; ++i) series->AddPoint(i * 10, i * 10);
        chart.BottomAxis()->SetAxisRange(0, 100);
        chart.LeftAxis()->SetAxisRange(0, 100);
        Show();
    }
    TLineSeries* series = nullptr;
};

TEST(CursorTool, PlacedInTheMiddleAtTheFirstDrawing) {
    ASSERT_TRUE(kWidgetApplication);
    ToolChart c;
    auto* tool = new TCursorTool(&c.chart);
    int changes = 0;
    TPoint reported{};
    tool->OnChange = [&](TCursorTool*, int x, int y, double, double, TChartSeries*, int index) {
        ++changes;
        reported = TPoint{x, y};
        EXPECT_EQ(index, -1);
    };
    tool->SetParentChart(&c.chart);
    c.Paint();
    const TChartAxis* h = c.chart.BottomAxis();
    const TChartAxis* v = c.chart.LeftAxis();
    const TPoint centre{(h->StartPixel() + h->EndPixel()) / 2, (v->StartPixel() + v->EndPixel()) / 2};
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(reported, centre);
    EXPECT_EQ((TPoint{tool->CursorX(), tool->CursorY()}), centre);
    EXPECT_NEAR(tool->XValue(), h->PixelToValue(centre.x), 1e-9);
    // later drawings keep the values; the pixels follow the axes
    const double x = tool->XValue();
    c.chart.BottomAxis()->SetAxisRange(0, 200);
    c.Paint();
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(tool->XValue(), x);
    EXPECT_EQ(tool->CursorX(), h->ValueToPixel(x));
}

// Given its series before the chart was ever laid out, a cursor waits for the first
// drawing with axis pixels and is placed in the middle of the plot then, reported once.
TEST(CursorTool, GivenItsSeriesBeforeTheFirstLayout) {
    ChartWidgetFixture c;
    auto* series = new TLineSeries(&c.chart);
    series->SetParentChart(&c.chart);
    series->AddPoint(0, 0), series->AddPoint(100, 100);
    auto* tool = new TCursorTool(&c.chart);
    std::vector<TPoint> reported;
    tool->OnChange = [&](TCursorTool*, int x, int y, double, double, TChartSeries*, int) {
        reported.push_back(TPoint{x, y});
    };
    tool->SetParentChart(&c.chart);
    tool->SetSeries(series);
    EXPECT_TRUE(reported.empty());
    EXPECT_EQ(tool->CursorX(), -1);
    c.Show();
    const TChartAxis* h = c.chart.BottomAxis();
    const TChartAxis* v = c.chart.LeftAxis();
    ASSERT_LT(h->StartPixel(), h->EndPixel());
    const TPoint centre{(h->StartPixel() + h->EndPixel()) / 2, (v->StartPixel() + v->EndPixel()) / 2};
    EXPECT_EQ(reported, std::vector<TPoint>{centre});
    EXPECT_EQ((TPoint{tool->CursorX(), tool->CursorY()}), centre);
}

TEST(CursorTool, SnapsToTheNearestPointTieToTheLowerIndex) {
    ToolChart c;
    auto* tool = new TCursorTool(&c.chart);
    tool->SetParentChart(&c.chart);
    c.Paint();
    tool->SetStyle(cssVertical);
    tool->SetSnap(true);
    tool->SetYValue(33);
    tool->SetXValue(15);  // as far from x = 10 (index 1) as from x = 20 (index 2)
    tool->SetSeries(c.series);
    EXPECT_EQ(tool->XValue(), 10);
    EXPECT_EQ(tool->YValue(), 33);
    // both directions measure in axis values
    tool->SetStyle(cssBoth);
    tool->SetXValue(52);
    tool->SetYValue(47);
    EXPECT_EQ(tool->SnapToSeries(), 5);
    EXPECT_EQ(tool->XValue(), 50);
    EXPECT_EQ(tool->YValue(), 50);
    // no points: no snap, values kept
    c.series->ClearPoints();
    tool->SetXValue(7);
    EXPECT_EQ(tool->SnapToSeries(), -1);
    EXPECT_EQ(tool->XValue(), 7);
}

TEST(CursorTool, GrabbedTwoPixelsBesideALineButNotThree) {
    for (int offset : {2, 3}) {
        SCOPED_TRACE(offset);
        ToolChart c;
        auto* tool = new TCursorTool(&c.chart);
        tool->SetStyle(cssVertical);
        tool->SetParentChart(&c.chart);
        c.Paint();
        const int x = tool->CursorX(), y = tool->CursorY();
        const double before = tool->XValue();
        c.Press(x + offset, y);
        EXPECT_EQ(tool->DraggedPart(), offset == 2 ? cpVertical : cpNone);
        // a grab takes the press: no zoom band starts
        EXPECT_EQ(c.chart.Zoom().Active, offset != 2);
        c.Move(x + 40, y + 10, Qt::LeftButton);
        c.Release(x + 40, y + 10);
        EXPECT_EQ(tool->DraggedPart(), cpNone);
        if (offset == 2) {
            EXPECT_EQ(tool->CursorX(), x + 40);
            EXPECT_NEAR(tool->XValue(), c.chart.BottomAxis()->PixelToValue(x + 40), 1e-9);
        } else {
            EXPECT_EQ(tool->XValue(), before);
        }
    }
}

TEST(CursorTool, FollowsTheMouseWithoutRedrawingTheChart) {
    ToolChart c;
    auto* tool = new TCursorTool(&c.chart);
    tool->SetFollowMouse(true);
    tool->SetParentChart(&c.chart);
    c.Paint();
    int changes = 0;
    tool->OnChange = [&](TCursorTool*, int, int, double, double, TChartSeries*, int) { ++changes; };
    const int invalidates = c.chart.InvalidateCount();
    const TPoint p = c.Pixel(30, 60);
    c.Move(p.x, p.y);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ((TPoint{tool->CursorX(), tool->CursorY()}), p);
    EXPECT_EQ(c.chart.InvalidateCount(), invalidates);
    // the lines are in the picture: the pixel on the vertical line differs from its neighbour's
    const QImage shown = c.widget->grab().toImage();
    EXPECT_NE(shown.pixel(p.x, p.y + 20), shown.pixel(p.x + 5, p.y + 20));
    // outside the axes the cursor stays
    c.Move(1, 1);
    EXPECT_EQ(changes, 1);
}

TEST(CursorTool, HoverShapesAndFreedInItsOwnEvent) {
    ToolChart c;
    auto* tool = new TCursorTool(&c.chart);
    tool->SetParentChart(&c.chart);
    c.Paint();
    const int x = tool->CursorX(), y = tool->CursorY();
    c.Move(x + 50, y + 1);
    EXPECT_EQ(c.widget->cursor().shape(), Qt::SplitVCursor);
    c.Move(x, y);
    EXPECT_EQ(c.widget->cursor().shape(), Qt::SizeAllCursor);
    c.Move(x + 50, y + 50);
    EXPECT_EQ(c.widget->cursor().shape(), Qt::ArrowCursor);

    tool->SetFollowMouse(true);
    tool->OnChange = [&](TCursorTool* sender, int, int, double, double, TChartSeries*, int) { delete sender; };
    c.Move(x + 10, y + 10);
    EXPECT_EQ(c.chart.Tools().Count(), 0);
    c.Move(x + 12, y + 12);
    c.Paint();
}

TEST(AxisArrowTool, ClicksScrollTheAxis) {
    struct Case {
        bool inverted, refuse;
        int percent;
        double minimum, maximum;
        int scrolls, clicks;
    } cases[] = {
        {false, false, 10, 10, 110, 1, 1},
        {true, false, 10, -10, 90, 1, 1},
        {false, true, 10, 0, 100, 0, 1},
        {false, false, 0, 0, 100, 0, 0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(std::to_string(k.inverted) + std::to_string(k.refuse) + std::to_string(k.percent));
        ToolChart c;
        auto* tool = new TAxisArrowTool(&c.chart);
        tool->SetAxis(c.chart.BottomAxis());
        tool->SetScrollInverted(k.inverted);
        tool->SetScrollPercent(k.percent);
        int scrolls = 0, clicks = 0;
        bool atStart = false;
        c.chart.OnScroll = [&](TObject*) { ++scrolls; };
        c.chart.OnAllowScroll = [&](TChartAxis*, double&, double&, bool& allow) { allow = !k.refuse; };
        tool->OnClick = [&](TAxisArrowTool*, bool start) {
            ++clicks;
            atStart = start;
        };
        c.Paint();
        const TChartAxis* a = c.chart.BottomAxis();
        c.Press(a->StartPixel() + 5, a->AxisLinePos + 2);
        c.Release(a->StartPixel() + 5, a->AxisLinePos + 2);
        ExpectRange(a, k.minimum, k.maximum);
        EXPECT_EQ(scrolls, k.scrolls);
        EXPECT_EQ(clicks, k.clicks);
        EXPECT_EQ(atStart, k.clicks == 1);
        EXPECT_FALSE(c.chart.Zoom().Active && k.percent != 0);
    }
}

TEST(AxisArrowTool, EndArrowHitAndAFreedAxis) {
    ToolChart c;
    auto* tool = new TAxisArrowTool(&c.chart);
    TChartAxis* custom = c.chart.AddCustomAxis();
    tool->SetAxis(c.chart.LeftAxis());
    tool->SetPosition(aaEnd);
    c.Paint();
    const TChartAxis* a = c.chart.LeftAxis();
    EXPECT_EQ(tool->ArrowHitTest(a->AxisLinePos, a->StartPixel() + 5), -1);
    EXPECT_EQ(tool->ArrowHitTest(a->AxisLinePos, a->EndPixel() - 5), 1);
    EXPECT_EQ(tool->ArrowHitTest(a->AxisLinePos + 3, a->EndPixel() - 5), -1);
    c.Press(a->AxisLinePos, a->EndPixel() - 5);
    c.Release(a->AxisLinePos, a->EndPixel() - 5);
    ExpectRange(a, -10, 90);
    tool->SetAxis(custom);
    delete custom;
    EXPECT_EQ(tool->Axis(), nullptr);
    c.Paint();
    c.Press(10, 10);
    c.Release(10, 10);
}

TEST(DrawLineTool, DrawSelectMoveAndReshape) {
    ToolChart c;
    auto* tool = new TDrawLineTool(&c.chart);
    tool->SetParentChart(&c.chart);
    int added = 0, selected = 0, dragged = 0;
    tool->OnNewLine = [&](TObject*) { ++added; };
    tool->OnSelect = [&](TObject*) { ++selected; };
    tool->OnDraggedLine = [&](TObject*) { ++dragged; };
    c.Paint();

    // a press and release at one pixel draws nothing
    const TPoint a = c.Pixel(20, 20), b = c.Pixel(60, 40);
    c.Drag(a.x, a.y, a.x, a.y);
    EXPECT_EQ(tool->Lines().Count(), 0);
    EXPECT_EQ(added, 0);

    c.Drag(a.x, a.y, b.x, b.y);
    ASSERT_EQ(tool->Lines().Count(), 1);
    EXPECT_EQ(added, 1);
    TDrawLine* line = tool->Lines()[0];
    EXPECT_NEAR(line->X0(), c.chart.BottomAxis()->PixelToValue(a.x), 1e-9);
    EXPECT_NEAR(line->Y1(), c.chart.LeftAxis()->PixelToValue(b.y), 1e-9);
    EXPECT_FALSE(c.chart.Zoomed());
    c.Paint();

    // a click on the line selects it
    const TPoint mid{(a.x + b.x) / 2, (a.y + b.y) / 2};
    c.Press(mid.x, mid.y);
    c.Release(mid.x, mid.y);
    EXPECT_EQ(tool->SelectedLine(), line);
    EXPECT_EQ(selected, 1);
    c.Paint();

    // the end handle moves only the end
    const double x0 = line->X0(), y0 = line->Y0();
    c.Drag(b.x + 2, b.y - 2, b.x + 40, b.y + 10);
    EXPECT_EQ(line->X0(), x0);
    EXPECT_EQ(line->Y0(), y0);
    EXPECT_NEAR(line->X1(), c.chart.BottomAxis()->PixelToValue(b.x + 40), 1e-9);
    EXPECT_EQ(dragged, 1);  // the selecting click dragged nothing
    c.Paint();

    // between the handles the whole line moves
    const TPoint s = c.Pixel(line->X0(), line->Y0()), e = c.Pixel(line->X1(), line->Y1());
    const TPoint m{(s.x + e.x) / 2, (s.y + e.y) / 2};
    c.Drag(m.x, m.y, m.x - 10, m.y + 20);
    EXPECT_EQ(c.Pixel(line->X0(), line->Y0()), (TPoint{s.x - 10, s.y + 20}));
    EXPECT_EQ(c.Pixel(line->X1(), line->Y1()), (TPoint{e.x - 10, e.y + 20}));

    // a click beside every line clears the selection
    c.Press(5, 5);
    c.Release(5, 5);
    EXPECT_EQ(tool->SelectedLine(), nullptr);
}

// A line keeps the values it was given, which its pixels only approximate, until the
// user really drags it.
TEST(DrawLineTool, AClickLeavesTheLineAsItWas) {
    ToolChart c;
    auto* tool = new TDrawLineTool(&c.chart);
    tool->SetParentChart(&c.chart);
    TDrawLine* line = tool->Lines().Add();
    line->SetX0(10.123), line->SetY0(20.456), line->SetX1(60.789), line->SetY1(80.321);
    int dragged = 0, selected = 0;
    tool->OnDraggedLine = [&](TObject*) { ++dragged; };
    tool->OnSelect = [&](TObject*) { ++selected; };
    c.Paint();
    auto unchanged = [&] {
        EXPECT_EQ(line->X0(), 10.123);
        EXPECT_EQ(line->Y0(), 20.456);
        EXPECT_EQ(line->X1(), 60.789);
        EXPECT_EQ(line->Y1(), 80.321);
    };
    const TPoint s = c.Pixel(10.123, 20.456), e = c.Pixel(60.789, 80.321);
    const TPoint m{(s.x + e.x) / 2, (s.y + e.y) / 2};
    // selecting, clicking the selected line, clicking either handle
    for (TPoint p : {m, m, s, e}) {
        c.Press(p.x, p.y);
        c.Release(p.x, p.y);
        EXPECT_EQ(tool->SelectedLine(), line);
        EXPECT_EQ(tool->LineDragPart(), ldNone);
        unchanged();
    }
    // a move that comes back to where it started leaves the values too
    c.Press(m.x, m.y);
    c.Move(m.x + 15, m.y, Qt::LeftButton);
    c.Move(m.x, m.y, Qt::LeftButton);
    c.Release(m.x, m.y);
    unchanged();
    EXPECT_EQ(selected, 1);
    EXPECT_EQ(dragged, 1);
    // dragging the end moves only the end
    c.Drag(e.x, e.y, e.x + 20, e.y);
    EXPECT_EQ(line->X0(), 10.123);
    EXPECT_EQ(line->Y0(), 20.456);
    EXPECT_NEAR(line->X1(), c.chart.BottomAxis()->PixelToValue(e.x + 20), 1e-9);
    EXPECT_EQ(dragged, 2);
}

// Emptying the lines takes them off the screen at the next paint.
TEST(DrawLineTool, LinesReplacedByNoneLeaveTheScreen) {
    ToolChart c;
    auto* tool = new TDrawLineTool(&c.chart);
    tool->SetParentChart(&c.chart);
    tool->Pen()->SetColor(RGB(0x12, 0x34, 0x56));
    TDrawLine* line = tool->Lines().Add();
    line->SetX0(20), line->SetY0(80), line->SetX1(80), line->SetY1(80);
    tool->SetSelectedLine(line);
    auto inked = [&](const QImage& image) {
        const TPoint p = c.Pixel(50, 80);
        return (image.pixel(p.x, p.y) & 0xFFFFFF) == 0x123456u;
    };
    EXPECT_TRUE(inked(c.Paint()));
    const TDrawLines none(nullptr);
    tool->SetLines(none);
    EXPECT_EQ(tool->Lines().Count(), 0);
    EXPECT_EQ(tool->SelectedLine(), nullptr);
    EXPECT_FALSE(inked(c.Paint()));
}

// The handles show the selection: a click beside every line takes them off the screen,
// and so does clearing the selection in code.
TEST(DrawLineTool, ClearingTheSelectionTakesTheHandlesAway) {
    ToolChart c;
    auto* tool = new TDrawLineTool(&c.chart);
    tool->SetParentChart(&c.chart);
    TDrawLine* line = tool->Lines().Add();
    line->SetX0(20), line->SetY0(20), line->SetX1(80), line->SetY1(60);
    const TPoint s = c.Pixel(20, 20), e = c.Pixel(80, 60), m{(s.x + e.x) / 2, (s.y + e.y) / 2};
    // below and right of each end lies inside its handle and off the line
    auto handles = [&](const QImage& image) {
        return (image.pixel(s.x + 2, s.y + 2) & 0xFFFFFF) == 0 && (image.pixel(e.x + 2, e.y + 2) & 0xFFFFFF) == 0;
    };
    EXPECT_FALSE(handles(c.Paint()));
    for (const bool byMouse : {true, false}) {
        SCOPED_TRACE(byMouse ? "a click beside the line" : "SetSelectedLine(nullptr)");
        c.Press(m.x, m.y);
        c.Release(m.x, m.y);
        ASSERT_EQ(tool->SelectedLine(), line);
        EXPECT_TRUE(handles(c.Paint()));
        if (byMouse) {
            const TPoint empty = c.Pixel(30, 30);
            c.Press(empty.x, empty.y);
            c.Release(empty.x, empty.y);
        } else {
            tool->SetSelectedLine(nullptr);
        }
        EXPECT_EQ(tool->SelectedLine(), nullptr);
        EXPECT_FALSE(handles(c.Paint()));
    }
}

TEST(DrawLineTool, ARefusedSelectionStartsNoDrag) {
    ToolChart c;
    auto* tool = new TDrawLineTool(&c.chart);
    tool->SetParentChart(&c.chart);
    TDrawLine* line = tool->Lines().Add();
    line->SetX0(10), line->SetY0(10), line->SetX1(90), line->SetY1(90);
    tool->OnSelecting = [](TDrawLineTool*, TDrawLine*, bool& allow) { allow = false; };
    c.Paint();
    const TPoint m = c.Pixel(50, 50);
    c.Drag(m.x, m.y, m.x + 30, m.y);
    EXPECT_EQ(tool->SelectedLine(), nullptr);
    EXPECT_EQ(tool->LineDragPart(), ldNone);
    EXPECT_EQ(line->X0(), 10);
    EXPECT_EQ(line->X1(), 90);
    EXPECT_EQ(tool->Lines().Count(), 1);
    // deleting the selected line clears the selection
    tool->OnSelecting = nullptr;
    c.Press(m.x, m.y);
    c.Release(m.x, m.y);
    ASSERT_EQ(tool->SelectedLine(), line);
    tool->Lines().Delete(0);
    EXPECT_EQ(tool->SelectedLine(), nullptr);
    c.Paint();
}

// A tool selects only its own lines: another tool's line, freed there, is never drawn here.
TEST(DrawLineTool, RefusesALineOfAnotherTool) {
    ToolChart c;
    TDrawLineTool* tools[2];
    for (TDrawLineTool*& t : tools) {
        t = new TDrawLineTool(&c.chart);
        t->SetParentChart(&c.chart);
        t->Lines().Add()->SetX1(50);
    }
    EXPECT_EQ(ExceptionText([&] { tools[0]->SetSelectedLine(tools[1]->Lines()[0]); }),
              "The selected line must be one of the tool's Lines");
    EXPECT_EQ(tools[0]->SelectedLine(), nullptr);
    tools[1]->Lines().Clear();
    c.Paint();
}

TEST(DragMarksTool, AMarkDraggedToANewPlaceStaysThere) {
    ToolChart c;
    c.series->Marks().SetVisible(true);
    auto* tool = new TDragMarksTool(&c.chart);
    tool->SetParentChart(&c.chart);
    c.Paint();
    const TSeriesMarkPosition* p = c.series->Marks().Positions().Position(5);
    ASSERT_NE(p, nullptr);
    const TPoint box = p->BoxTopLeft;
    const TPoint grab{box.x + 3, box.y + 3};
    c.Move(grab.x, grab.y);
    EXPECT_EQ(c.widget->cursor().shape(), Qt::PointingHandCursor);
    c.Drag(grab.x, grab.y, grab.x + 25, grab.y - 15);
    EXPECT_FALSE(c.chart.Zoomed());
    c.Paint();
    p = c.series->Marks().Positions().Position(5);
    EXPECT_TRUE(p->IsCustom);
    EXPECT_EQ(p->BoxTopLeft, (TPoint{box.x + 25, box.y - 15}));
    // the point moves; its mark does not
    c.series->YValues()->SetValue(5, 80);
    c.Paint();
    EXPECT_EQ(c.series->Marks().Positions().Position(5)->BoxTopLeft, (TPoint{box.x + 25, box.y - 15}));
}

}  // namespace
