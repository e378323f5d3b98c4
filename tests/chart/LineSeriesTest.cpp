#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "Chart.h"
#include "ChartAxis.h"
#include "ChartControl.h"
#include "GuiApplication.h"
#include "LineSeries.h"
#include "ChartMessages.h"
#include "ChartUtils.h"
#include "RecordingChart.h"
#include "SeriesFunction.h"
#include "SeriesMarks.h"

namespace {

// A flat chart with fixed axis ranges, so pixel positions are known after one draw.
class SeriesChart : public RecordingChart {
public:
    SeriesChart() {
        SetView3D(false);
        Legend().SetVisible(false);
        SetSize(400, 300);
    }
    // Lays the chart out, then records only what the series draws.
    void DrawSeries(TChartSeries& s) {
        Draw(nullptr, GetRectangle());
        Recorder->Clear();
        DrawSeriesValues(&s);
    }
};

std::vector<const RecordedCall*> CallsOf(const RecordingCanvas& r, const std::string& op) {
    std::vector<const RecordedCall*> out;
    for (const auto& c : r.Calls)
        if (c.op == op) out.push_back(&c);
    return out;
}

template <class S>
S* AddSeries(SeriesChart& chart, const std::vector<double>& xs, const std::vector<double>& ys,
             const std::vector<bool>& nulls = {}) {
    auto* s = new S(&chart);
    s->SetParentChart(&chart);
    s->SetSeriesColor(clRed);
    for (std::size_t i = 0; i < xs.size(); ++i) {
        if (i < nulls.size() && nulls[i])
            s->AddNullPoint(xs[i], ys[i]);
        else
            s->AddPoint(xs[i], ys[i]);
    }
    return s;
}

void FixAxes(SeriesChart& chart, double xmin, double xmax, double ymin, double ymax) {
    chart.BottomAxis()->SetAxisRange(xmin, xmax);
    chart.LeftAxis()->SetAxisRange(ymin, ymax);
}

TEST(PointSeries, EveryNonNullPointGetsItsMarker) {
    struct Case {
        const char* what;
        std::vector<double> xs;
        std::vector<bool> nulls;
        std::vector<int> marked;
    } cases[] = {
        {"no nulls", {0, 1, 2, 3}, {}, {0, 1, 2, 3}},
        {"isolated point between nulls, point before a null",
         {0, 1, 2, 3, 4},
         {false, true, false, true, false},
         {0, 2, 4}},
        {"last point after a null", {0, 1, 2}, {false, true, false}, {0, 2}},
        {"first point null", {0, 1, 2}, {true, false, false}, {1, 2}},
        {"two last points share a pixel", {0, 1, 2, 2.00001}, {}, {0, 1, 2, 3}},
        {"single point", {5}, {}, {0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SeriesChart chart;
        std::vector<double> ys(c.xs.size(), 5.0);
        auto* s = AddSeries<TPointSeries>(chart, c.xs, ys, c.nulls);
        s->Pointer().SetHorizSize(1);
        s->Pointer().SetVertSize(1);
        FixAxes(chart, -1, 6, 0, 10);
        chart.DrawSeries(*s);
        const auto rects = CallsOf(*chart.Recorder, "DrawRectangle");
        ASSERT_EQ(rects.size(), c.marked.size());
        for (std::size_t k = 0; k < rects.size(); ++k) {
            const int x = s->PointScreenX(c.marked[k]), y = s->PointScreenY(c.marked[k]);
            // size 1 fills a 3 x 3 square centred on the point
            EXPECT_EQ(rects[k]->args, (std::vector<long long>{x - 1, y - 1, x + 2, y + 2}));
            EXPECT_EQ(rects[k]->brushColor, clRed);
        }
        EXPECT_TRUE(Segments(*chart.Recorder).empty());
    }
}

TEST(LineSeries, NullPointBreaksTheLine) {
    SeriesChart chart;
    auto* s = AddSeries<TLineSeries>(chart, {0, 1, 2, 3, 4}, {1, 3, 2, 4, 1}, {false, false, true, false, false});
    FixAxes(chart, 0, 4, 0, 5);
    chart.DrawSeries(*s);
    auto px = [&](int i) { return std::vector<long long>{s->PointScreenX(i), s->PointScreenY(i)}; };
    const auto segs = Segments(*chart.Recorder);
    ASSERT_EQ(segs.size(), 2u);
    EXPECT_EQ(segs[0], (std::vector<long long>{px(0)[0], px(0)[1], px(1)[0], px(1)[1]}));
    EXPECT_EQ(segs[1], (std::vector<long long>{px(3)[0], px(3)[1], px(4)[0], px(4)[1]}));
    EXPECT_EQ(chart.Recorder->Count("DrawRectangle"), 0);  // a line series hides its markers
}

TEST(LineSeries, StairsAndMarkersAfterTheLine) {
    SeriesChart chart;
    auto* s = AddSeries<TLineSeries>(chart, {0, 1, 2}, {1, 3, 2});
    s->SetStairs(true);
    s->Pointer().SetVisible(true);
    FixAxes(chart, 0, 2, 0, 4);
    chart.DrawSeries(*s);
    const int x0 = s->PointScreenX(0), x1 = s->PointScreenX(1), y0 = s->PointScreenY(0), y1 = s->PointScreenY(1);
    const auto segs = Segments(*chart.Recorder);
    ASSERT_EQ(segs.size(), 4u);
    EXPECT_EQ(segs[0], (std::vector<long long>{x0, y0, x1, y0}));  // horizontal part first
    EXPECT_EQ(segs[1], (std::vector<long long>{x1, y0, x1, y1}));
    // each marker once, after the line that leaves it
    std::vector<std::string> order;
    for (const auto& c : chart.Recorder->Calls)
        if (c.op == "LineToPoint" || c.op == "DrawRectangle") order.push_back(c.op);
    EXPECT_EQ(order, (std::vector<std::string>{"LineToPoint", "LineToPoint", "DrawRectangle", "LineToPoint",
                                               "LineToPoint", "DrawRectangle", "DrawRectangle"}));

    s->SetInvertedStairs(true);
    chart.DrawSeries(*s);
    EXPECT_EQ(Segments(*chart.Recorder)[0], (std::vector<long long>{x0, y0, x0, y1}));  // vertical part first
}

TEST(LineSeries, LineEntersFromThePlotEdge) {
    SeriesChart chart;
    // y = 10 x: between points 3 and 4 the line crosses x = 3.5 at y = 35
    auto* s = AddSeries<TLineSeries>(chart, {0, 1, 2, 3, 4, 5, 6}, {0, 10, 20, 30, 40, 50, 60});
    s->XValues()->SetOrder(loAscending);
    FixAxes(chart, 3.5, 6, 0, 60);
    chart.DrawSeries(*s);
    ASSERT_EQ(s->FirstVisible(), 4);
    const auto segs = Segments(*chart.Recorder);
    ASSERT_FALSE(segs.empty());
    EXPECT_EQ(segs[0][0], chart.PlotRect().Left);
    EXPECT_EQ(segs[0][1], chart.LeftAxis()->ValueToPixel(35));
    EXPECT_EQ(segs[0][2], s->PointScreenX(4));

    s->SetStairs(true);
    chart.DrawSeries(*s);
    EXPECT_EQ(Segments(*chart.Recorder)[0][1], s->PointScreenY(3));  // stairs enter at point 3's height

    // a null point before the edge leaves nothing to enter from
    s->SetStairs(false);
    s->SetPointColor(3, clNone);
    chart.DrawSeries(*s);
    EXPECT_EQ(Segments(*chart.Recorder)[0][0], s->PointScreenX(4));
}

TEST(LineSeries, BothEndsReachThePlotEdgesInEveryDirection) {
    std::vector<double> xs, ys;
    for (int i = 0; i <= 10; ++i) {
        xs.push_back(10.0 * i);
        ys.push_back((i * 37) % 100);
    }
    for (int k = 0; k < 16; ++k) {
        const bool hInv = k & 1, vInv = k & 2, stairs = k & 4, pointer = k & 8;
        SCOPED_TRACE(testing::Message() << "h inverted " << hInv << ", v inverted " << vInv << ", stairs " << stairs
                                        << ", pointer " << pointer);
        SeriesChart chart;
        auto* s = AddSeries<TLineSeries>(chart, xs, ys);
        s->SetStairs(stairs);
        s->Pointer().SetVisible(pointer);
        FixAxes(chart, 25, 75, 0, 100);
        chart.BottomAxis()->SetInverted(hInv);
        chart.LeftAxis()->SetInverted(vInv);
        chart.DrawSeries(*s);
        const TRect& r = chart.PlotRect();
        const auto segs = Segments(*chart.Recorder);
        ASSERT_FALSE(segs.empty());
        long long lo = segs[0][0], hi = lo;
        bool atEntry = false;
        // x = 25 lies between (20, 74) and (30, 11): the straight line crosses it at y = 42.5
        const int edgeX = hInv ? r.Right : r.Left;
        const int edgeY = chart.LeftAxis()->ValueToPixel(42.5);
        for (const auto& g : segs) {
            lo = std::min({lo, g[0], g[2]});
            hi = std::max({hi, g[0], g[2]});
            for (int e : {0, 2})
                if (g[e] == edgeX && (stairs || g[e + 1] == edgeY)) atEntry = true;
        }
        EXPECT_LE(lo, r.Left);
        EXPECT_GE(hi, r.Right);
        EXPECT_TRUE(atEntry);
        // the markers still come after every line
        std::string lastDrawn;
        for (const auto& c : chart.Recorder->Calls)
            if (c.op == "LineToPoint" || c.op == "DrawPolyline" || c.op == "DrawRectangle") lastDrawn = c.op;
        if (pointer) {
            EXPECT_EQ(lastDrawn, "DrawRectangle");
        }
    }
}

// Steps belong to the data: an inverted horizontal axis shows the mirror image of the steps
// the same data draws on an axis that is not, also where the line enters at the plot's edges.
TEST(LineSeries, StairsOnAnInvertedAxisAreTheMirrorImage) {
    EnsureGuiApplication();
    const TColor ink = RGB(0xD0, 0x10, 0x20);
    for (const bool invertedStairs : {false, true})
        for (const double from : {-0.5, 1.5}) {
            SCOPED_TRACE(std::to_string(invertedStairs) + " from " + std::to_string(from));
            TChart chart;
            chart.SetView3D(false);
            auto* s = new TLineSeries(&chart);
            s->SetParentChart(&chart);
            s->SetSeriesColor(ink);
            s->SetStairs(true);
            s->SetInvertedStairs(invertedStairs);
            for (int i = 0; i <= 8; ++i) s->AddPoint(i, (i * 7) % 5 + 0.5 * i);
            chart.BottomAxis()->SetAxisRange(from, 8 - from);
            const auto plain = RenderToBitmap(chart, 400, 300);
            chart.BottomAxis()->SetInverted(true);
            const auto mirrored = RenderToBitmap(chart, 400, 300);
            const TRect r = chart.PlotRect();
            // within a pixel across, as the two round their pixels from opposite ends
            auto inked = [&](const TBitmap& b, int x, int y) {
                return b.GetPixel(x - 1, y) == ink || b.GetPixel(x, y) == ink || b.GetPixel(x + 1, y) == ink;
            };
            int drawn = 0, unmatched = 0;
            for (int y = r.Top; y <= r.Bottom; ++y)
                for (int x = r.Left, m = r.Right; x <= r.Right; ++x, --m) {
                    drawn += plain->GetPixel(x, y) == ink;
                    unmatched += (plain->GetPixel(x, y) == ink && !inked(*mirrored, m, y)) +
                                 (mirrored->GetPixel(m, y) == ink && !inked(*plain, x, y));
                }
            EXPECT_GT(drawn, 400);
            // a line leaves out its last pixel, and the two are drawn toward opposite ends
            EXPECT_LE(unmatched, 2);
        }
}

TEST(LineSeries, SingleVisiblePointDrawsOnlyItsMarker) {
    SeriesChart chart;
    auto* s = AddSeries<TLineSeries>(chart, {1}, {2});
    s->Pointer().SetVisible(true);
    FixAxes(chart, 0, 2, 0, 4);
    chart.DrawSeries(*s);
    EXPECT_TRUE(Segments(*chart.Recorder).empty());
    EXPECT_EQ(chart.Recorder->Count("DrawRectangle"), 1);
}

TEST(LineSeries, OutlinePassDrawsWiderInItsOwnColour) {
    SeriesChart chart;
    auto* s = AddSeries<TLineSeries>(chart, {0, 1}, {1, 2});
    s->LinePen()->SetWidth(3);
    s->OutLine().SetVisible(true);
    s->OutLine().SetWidth(1);
    s->OutLine().SetColor(clBlue);
    FixAxes(chart, 0, 1, 0, 3);
    chart.DrawSeries(*s);
    const auto lines = CallsOf(*chart.Recorder, "DrawPolyline");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0]->penWidth, 4);
    EXPECT_EQ(lines[0]->penColor, clBlue);
    EXPECT_EQ(lines[1]->penWidth, 3);
    EXPECT_EQ(lines[1]->penColor, clRed);
    EXPECT_EQ(s->LinePen()->Width(), 3);
    EXPECT_EQ(s->SeriesColor(), clRed);
}

TEST(SeriesPointer, ShapesOfEveryStyle) {
    struct Case {
        TSeriesPointerStyle style;
        std::vector<std::string> ops;
    } cases[] = {
        {psRectangle, {"DrawRectangle(7,17,14,24)"}},
        {psCircle, {"DrawEllipse(7,17,13,23)"}},
        {psTriangle, {"DrawPolygon(7,23,13,23,10,17)"}},
        {psDownTriangle, {"DrawPolygon(7,17,13,17,10,23)"}},
        {psCross, {"MoveToPoint(10,17)", "LineToPoint(10,24)", "MoveToPoint(7,20)", "LineToPoint(14,20)"}},
        {psDiagCross, {"MoveToPoint(7,17)", "LineToPoint(14,24)", "MoveToPoint(13,17)", "LineToPoint(6,24)"}},
        {psStar,
         {"MoveToPoint(10,17)", "LineToPoint(10,24)", "MoveToPoint(7,20)", "LineToPoint(14,20)", "MoveToPoint(7,17)",
          "LineToPoint(14,24)", "MoveToPoint(13,17)", "LineToPoint(6,24)"}},
        {psDiamond, {"DrawPolygon(7,20,10,17,13,20,10,23)"}},
        {psSmallDot, {"SetPixelColor(10,20,255)"}},
        {psNothing, {}},
        {psLeftTriangle, {"DrawPolygon(7,20,13,23,13,17)"}},
        {psRightTriangle, {"DrawPolygon(13,20,7,23,7,17)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.style);
        RecordingCanvas canvas;
        TPointSeries series(nullptr);
        series.Pointer().PrepareCanvas(canvas, clRed);
        canvas.Clear();
        series.Pointer().DrawPointer(canvas, false, 10, 20, 3, 3, clRed, c.style);
        EXPECT_EQ(canvas.Trace(), c.ops);
    }
}

TEST(SeriesPointer, CanvasTakesThePointColourWhereAsked) {
    RecordingCanvas canvas;
    TPointSeries series(nullptr);
    TSeriesPointer& p = series.Pointer();
    p.Pen().SetColor(SeriesDefaultColor);
    p.PrepareCanvas(canvas, clGreen);
    p.DrawPointer(canvas, false, 5, 5, 2, 2, clGreen, psRectangle);
    EXPECT_EQ(canvas.Calls.back().penColor, clGreen);
    EXPECT_EQ(canvas.Calls.back().brushColor, clGreen);

    p.Pen().SetColor(clBlack);
    p.Brush().SetColor(clYellow);
    p.PrepareCanvas(canvas, clGreen);
    p.DrawPointer(canvas, false, 5, 5, 2, 2, clGreen, psRectangle);
    EXPECT_EQ(canvas.Calls.back().penColor, clBlack);
    EXPECT_EQ(canvas.Calls.back().brushColor, clYellow);

    p.Pen().SetVisible(false);
    p.PrepareCanvas(canvas, clGreen);
    p.DrawPointer(canvas, false, 5, 5, 2, 2, clGreen, psRectangle);
    EXPECT_EQ(canvas.Calls.back().penStyle, psClear);
}

TEST(SeriesPointer, SizeMustBePositive) {
    TPointSeries series(nullptr);
    for (int bad : {0, -3}) {
        try {
            series.Pointer().SetHorizSize(bad);
            ADD_FAILURE() << "no exception for " << bad;
        } catch (const ChartException& e) {
            EXPECT_EQ(e.Message(), "Pointer size must be greater than zero");
        }
        EXPECT_THROW(series.Pointer().SetVertSize(bad), ChartException);
    }
    EXPECT_EQ(series.Pointer().HorizSize(), 4);
    EXPECT_EQ(series.Pointer().VertSize(), 4);
}

TEST(CustomSeries, KindsAndMargins) {
    TLineSeries line(nullptr);
    TPointSeries points(nullptr);
    EXPECT_TRUE(line.DrawLine());
    EXPECT_FALSE(line.Pointer().Visible());
    EXPECT_FALSE(line.SinglePointResult());
    EXPECT_TRUE(line.ClickableLine());
    EXPECT_FALSE(points.DrawLine());
    EXPECT_TRUE(points.Pointer().Visible());
    EXPECT_FALSE(points.ClickableLine());
    EXPECT_EQ(points.EditorClassName(), "TSeriesPointerEditor");

    int a = -1, b = -1;
    line.GetHorizMargins(a, b);
    EXPECT_EQ(a, 0);
    line.SetStairs(true);
    line.LinePen()->SetWidth(3);
    line.GetVertMargins(a, b);
    EXPECT_EQ(a, 3);
    points.GetHorizMargins(a, b);
    EXPECT_EQ(a, 5);
    EXPECT_EQ(b, 5);
    points.Pointer().SetInflateMargins(false);
    points.GetVertMargins(a, b);
    EXPECT_EQ(a, 0);

    // assigning a point series into a line series hides the markers again
    line.Assign(&points);
    EXPECT_FALSE(line.Pointer().Visible());
    TPointSeries other(nullptr);
    other.Assign(&line);
    EXPECT_TRUE(other.Pointer().Visible());
    EXPECT_FALSE(other.DrawLine());

    points.SetColorEachPoint(true);
    EXPECT_EQ(points.Pointer().Brush().Color(), SeriesDefaultColor);
}

TEST(CustomSeries, HitTestOnMarkersAndLines) {
    SeriesChart chart;
    auto* s = AddSeries<TLineSeries>(chart, {0, 10}, {0, 10});
    s->Pointer().SetVisible(true);
    FixAxes(chart, 0, 10, 0, 10);
    chart.DrawSeries(*s);
    int clicked = -1;
    s->OnClickPointer = [&](TChartSeries*, int index, int, int) { clicked = index; };
    const int x1 = s->PointScreenX(1), y1 = s->PointScreenY(1);
    EXPECT_EQ(s->PointAtPixel(x1 + 3, y1 - 3), 1);
    EXPECT_EQ(clicked, -1);  // a hit test is no click
    EXPECT_EQ(s->PointClicked(x1 + 3, y1 - 3), 1);
    EXPECT_EQ(clicked, 1);
    EXPECT_EQ(s->PointAtPixel(x1 + 4, y1), -1);  // strictly inside the half size
    const int mx = (s->PointScreenX(0) + x1) / 2, my = (s->PointScreenY(0) + y1) / 2;
    EXPECT_EQ(s->PointAtPixel(mx, my), 0);  // on the line leaving point 0

    s->Pointer().SetStyle(psNothing);
    clicked = -1;
    EXPECT_EQ(s->PointAtPixel(x1, y1 + 3), -1);  // beside the line, inside the old marker
    EXPECT_EQ(s->PointClicked(x1, y1), 1);
    EXPECT_EQ(clicked, -1);  // the exact pixel, but no marker to click
}

TEST(CustomSeries, StackedValuesAddUp) {
    SeriesChart chart;
    auto* a = AddSeries<TLineSeries>(chart, {0, 1}, {2, 4});
    auto* b = AddSeries<TLineSeries>(chart, {0, 1}, {3, -1});
    b->SetStacked(cssStack);
    EXPECT_EQ(a->Stacked(), cssStack);
    EXPECT_DOUBLE_EQ(b->HighestY(), 5);  // 2 + 3; a negative value adds nothing
    a->SetStacked(cssStack100);
    EXPECT_DOUBLE_EQ(b->HighestY(), 100);
    EXPECT_DOUBLE_EQ(b->LowestY(), 0);
}

}  // namespace

namespace {

TEST(CustomSeries, MarkerChangesRepaintTheChartItIsOn) {
    SeriesChart chart;
    auto* s = new TPointSeries(nullptr);
    chart.AddSeries(s);  // taken by the chart directly
    int before = chart.InvalidateCount();
    s->Pointer().SetStyle(psCircle);
    EXPECT_GT(chart.InvalidateCount(), before);
    chart.RemoveSeries(s);
    before = chart.InvalidateCount();
    s->Pointer().SetStyle(psDiamond);  // no longer reaches the chart
    EXPECT_EQ(chart.InvalidateCount(), before);
    delete s;
}

TEST(CustomSeries, LegendSymbolOfALineWithMarkers) {
    SeriesChart chart;
    auto* s = AddSeries<TLineSeries>(chart, {0, 1}, {0, 1});
    s->Pointer().SetVisible(true);
    chart.Draw(nullptr, chart.GetRectangle());
    chart.Recorder->Clear();
    s->DrawLegendShape(-1, TRect{10, 20, 22, 29});
    // the line through the middle, then a marker no larger than a third of the box (4 across, 3 down)
    EXPECT_EQ(chart.Recorder->Trace(),
              (std::vector<std::string>{"MoveToPoint(10,24)", "LineToPoint(22,24)", "DrawRectangle(12,21,21,28)"}));
}

}  // namespace

namespace {

// A series class of a program's own stacks with the class it derives from.
class TOwnLineSeries : public TLineSeries {
public:
    using TLineSeries::TLineSeries;
};

TEST(CustomSeries, StackingPartnersSegmentHitsAndTheLegendsOwnPen) {
    SeriesChart chart;
    auto* a = AddSeries<TLineSeries>(chart, {0, 10}, {2, 4});
    auto* own = AddSeries<TOwnLineSeries>(chart, {0, 10}, {3, 1});
    auto* points = AddSeries<TPointSeries>(chart, {0, 10}, {10, 10});
    own->SetStacked(cssStack);
    EXPECT_EQ(a->Stacked(), cssStack);
    EXPECT_EQ(points->Stacked(), cssNone);
    EXPECT_DOUBLE_EQ(own->HighestY(), 5);  // on the line series, not on the points

    // a click hits a segment only between its ends
    FixAxes(chart, 0, 10, 0, 10);
    chart.DrawSeries(*a);
    const int x0 = a->PointScreenX(0), x1 = a->PointScreenX(1), y0 = a->PointScreenY(0), y1 = a->PointScreenY(1);
    EXPECT_EQ(a->PointAtPixel((x0 + x1) / 2, (y0 + y1) / 2), 0);
    EXPECT_EQ(a->PointAtPixel(x1 + 1, y1), -1);

    // a hidden legend pen sizes the marker as if no line ran through it: half the box plus one
    a->Pointer().SetVisible(true);
    TChartPen hidden;
    hidden.SetVisible(false);
    chart.LegendPen = &hidden;
    chart.Recorder->Clear();
    a->DrawLegendShape(-1, TRect{10, 20, 22, 29});
    EXPECT_EQ(chart.Recorder->Trace().back(), "DrawRectangle(12,20,21,29)");
    chart.LegendPen = nullptr;
}

TEST(CustomSeries, GalleryPreviewSettings) {
    SeriesChart chart;
    auto* line = AddSeries<TLineSeries>(chart, {0}, {0});
    auto* points = AddSeries<TPointSeries>(chart, {0}, {0});
    TSmoothingFunction().PrepareGalleryChart(&chart);
    TSeriesMarks& m = points->Marks();
    EXPECT_EQ(std::tuple(line->PointCount(), m.Visible(), m.Font().Size(), m.Callout().Length(), m.DrawEvery()),
              std::tuple(4, false, 7, 4, 2));
    EXPECT_EQ(std::tuple(line->SeriesColor(), points->SeriesColor()), std::tuple(PaletteColor(0), PaletteColor(3)));
    EXPECT_EQ(std::tuple(points->Pointer().HorizSize(), points->Pointer().Style()), std::tuple(6, psTriangle));
    chart.SetSize(40, 40);
    points->PrepareForGallery(false);
    EXPECT_EQ(std::tuple(points->SeriesColor(), points->Pointer().VertSize()), std::tuple(clSilver, 4));
    for (TChartSeries* s : {static_cast<TChartSeries*>(line), static_cast<TChartSeries*>(points)}) {
        int marks = -1, i = 0;
        s->EnumSubStyles([&](const std::string& name) { marks = name == PlotConst().StyleMarks ? i : marks, ++i; });
        s->ApplySubStyle(s, marks);
        EXPECT_TRUE(s->Marks().Visible());
    }
}

}  // namespace
