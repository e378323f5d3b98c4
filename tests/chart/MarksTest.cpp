#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <string>
#include <vector>

#include "ChartAxis.h"
#include "ChartControl.h"
#include "ChartMessages.h"
#include "GuiApplication.h"
#include "LineSeries.h"
#include "RecordingChart.h"
#include "SeriesMarks.h"

namespace {

// A flat chart with fixed axes and a line series whose marks are shown.
class MarksChart : public RecordingChart {
public:
    MarksChart() {
        SetView3D(false);
        Legend().SetVisible(false);
        SetSize(400, 300);
        BottomAxis()->SetAxisRange(0, 10);
        LeftAxis()->SetAxisRange(0, 10);
        Series = new TLineSeries(this);
        Series->SetParentChart(this);
        Series->Marks().SetVisible(true);
    }
    TLineSeries* Series;
};

TEST(SeriesMarks, TextsOfEveryStyle) {
    TChart chart;
    auto* s = new TLineSeries(&chart);
    s->SetParentChart(&chart);
    s->AddPoint(0, 1, "one");
    s->AddPoint(1, 2);
    s->AddPoint(2, 3, "three");
    struct Case {
        TSeriesMarksStyle style;
        bool multiLine;
        int index;
        std::string text;
    } cases[] = {
        {smsValue, false, 0, "1"},
        {smsPercent, false, 0, "16.67 %"},
        {smsPercent, false, 1, "33.33 %"},
        {smsPercent, false, 2, "50 %"},
        {smsLabel, false, 0, "one"},
        {smsLabel, false, 1, "2"},  // no label: the value
        {smsLabelPercent, false, 2, "three 50 %"},
        {smsLabelValue, false, 0, "one 1"},
        {smsLabelValue, true, 0, "one\r1"},
        {smsLegend, false, 0, "1 one"},  // the legend's columns, never its separator
        {smsPercentTotal, false, 1, "33.33 % of 6"},
        {smsPercentTotal, true, 1, "33.33 %\rof 6"},
        {smsLabelPercentTotal, false, 0, "one 16.67 % of 6"},
        {smsXValue, false, 2, "2"},
        {smsXY, false, 1, "1 2"},
        {smsXY, true, 1, "1\r2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.style) + " at " + std::to_string(c.index));
        s->Marks().SetStyle(c.style);
        s->Marks().SetMultiLine(c.multiLine);
        EXPECT_EQ(s->Marks().GetMarkText(c.index), c.text);
    }

    // whatever columns the legend shows, the mark separates them with a blank
    s->Marks().SetStyle(smsLegend);
    s->Marks().SetMultiLine(false);
    chart.Legend().SetTextStyle(ltsRightPercent);
    EXPECT_EQ(s->Marks().GetMarkText(2), "three 50 %");

    // all values zero: every point is the whole, nothing is divided by zero
    TLineSeries zeros(nullptr);
    zeros.AddPoint(0, 0);
    zeros.AddPoint(1, 0);
    zeros.Marks().SetStyle(smsPercent);
    EXPECT_EQ(zeros.Marks().GetMarkText(1), "100 %");
    zeros.Marks().SetStyle(smsValue);
    zeros.OnGetMarkText = [](TChartSeries*, int index, std::string& text) { text += "#" + std::to_string(index); };
    EXPECT_EQ(zeros.Marks().GetMarkText(1), "0#1");
}

// The stored box of every point that has one.
std::vector<int> DrawnMarks(const TSeriesMarks& marks) {
    std::vector<int> out;
    for (int i = 0; i < marks.Positions().Count(); ++i)
        if (marks.Positions().Position(i)) out.push_back(i);
    return out;
}

TEST(SeriesMarks, DrawEverySkipsNullPointsAndBoxesFitTheText) {
    MarksChart chart;
    TLineSeries* s = chart.Series;
    for (int i = 0; i < 5; ++i)
        if (i == 2)
            s->AddNullPoint(i, 5);
        else
            s->AddPoint(i, 5);
    s->Marks().SetDrawEvery(0);  // below 1 counts as 1
    EXPECT_EQ(s->Marks().DrawEvery(), 1);
    chart.DrawNow();
    EXPECT_EQ(DrawnMarks(s->Marks()), (std::vector<int>{0, 1, 3, 4}));

    s->Marks().ClearMarkPositions();
    s->Marks().SetDrawEvery(2);
    chart.DrawNow();
    EXPECT_EQ(DrawnMarks(s->Marks()), (std::vector<int>{0, 4}));

    // two lines "ab" and "5": widest line + "W", two line heights, both plus the frame on each side
    s->PointLabels().SetLabel(0, "ab");
    s->PointLabels().SetLabel(4, "ab");
    s->Marks().SetStyle(smsLabelValue);
    s->Marks().SetMultiLine(true);
    chart.DrawNow();
    const TSeriesMarkPosition* p = s->Marks().Positions().Position(4);
    ASSERT_NE(p, nullptr);
    const int cw = RecordingCanvas::CharWidth, lh = RecordingCanvas::LineHeight;
    EXPECT_EQ(p->BoxWidth, 2 * cw + cw + 2);
    EXPECT_EQ(p->BoxHeight, 2 * lh + 2);
    const TPoint at{s->PointScreenX(4), s->PointScreenY(4)};
    // the callout's length lifts the box and the arrow's end above the point
    EXPECT_EQ(p->ArrowStart, at);
    EXPECT_EQ(p->ArrowEnd, (TPoint{at.x, at.y - 8}));
    EXPECT_EQ(p->BoxTopLeft, (TPoint{at.x - p->BoxWidth / 2, at.y - p->BoxHeight + 1 - 8}));
    int texts = 0;
    for (const auto& c : chart.Recorder->Calls)
        if (c.op == "WriteText" && (c.text == "ab" || c.text == "5")) ++texts;
    EXPECT_EQ(texts, 4);  // two lines of the marks of points 0 and 4
    EXPECT_EQ(s->Marks().MarkAtPixel(p->BoxTopLeft.x + 1, p->BoxTopLeft.y + 1), 4);
    EXPECT_EQ(s->Marks().MarkAtPixel(p->BoxTopLeft.x - 1, p->BoxTopLeft.y), -1);
    // point 0 stands on the fixed range's left end: its box is moved into the plot, not
    // over the left labels, and keeps its height above the point
    const TSeriesMarkPosition* first = s->Marks().Positions().Position(0);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->BoxTopLeft.x - 1, chart.PlotRect().Left);
    EXPECT_EQ(first->BoxTopLeft.y, p->BoxTopLeft.y);
}

TEST(SeriesMarks, LongLinesAreKeptWhole) {
    MarksChart chart;
    chart.SetSize(2400, 300);  // room for the long line's box
    chart.Series->AddPoint(5, 5);
    chart.Series->OnGetMarkText = [](TChartSeries*, int, std::string& text) {
        text = "first\r" + std::string(300, 'x');
    };
    chart.DrawNow();
    bool whole = false;
    for (const auto& c : chart.Recorder->Calls) whole |= c.op == "WriteText" && c.text.size() == 300;
    EXPECT_TRUE(whole);
}

TEST(SeriesMarks, CalloutsLongerThanTheAxisKeepBoxesInThePlot) {
    for (int length : {100, 290, 100000}) {
        SCOPED_TRACE("callout length " + std::to_string(length));
        MarksChart chart;
        chart.LeftAxis()->SetAutomatic(true);
        TLineSeries* s = chart.Series;
        for (int i = 1; i < 10; i += 4) s->AddPoint(i, i);
        s->Marks().Callout().SetLength(length);
        chart.DrawNow();
        const TRect& plot = chart.PlotRect();
        for (int i = 0; i < s->PointCount(); ++i) {
            const int y = s->PointScreenY(i);
            EXPECT_TRUE(y >= plot.Top && y <= plot.Bottom) << "point " << i << " at " << y;
            if (const TSeriesMarkPosition* p = s->Marks().Positions().Position(i)) {
                EXPECT_TRUE(p->BoxTopLeft.y >= plot.Top && p->BoxTopLeft.y + p->BoxHeight <= plot.Bottom);
            }
        }
    }
}

TEST(SeriesMarks, CustomPositionsStayWhileThePointMoves) {
    for (bool fixedStart : {false, true}) {
        SCOPED_TRACE(fixedStart ? "arrow start follows the point" : "arrow start stays");
        MarksChart chart;
        TLineSeries* s = chart.Series;
        s->AddPoint(5, 5);
        chart.DrawNow();
        TSeriesMarkPosition* p = s->Marks().Positions().Position(0);
        ASSERT_NE(p, nullptr);
        p->IsCustom = true;
        p->ArrowStartFixed = fixedStart;
        p->BoxTopLeft = TPoint{30, 40};
        const TPoint oldStart = p->ArrowStart;
        s->YValues()->SetValue(0, 8);
        chart.DrawNow();
        p = s->Marks().Positions().Position(0);
        EXPECT_EQ(p->BoxTopLeft, (TPoint{30, 40}));
        const TPoint newPoint{s->PointScreenX(0), s->PointScreenY(0)};
        ASSERT_NE(newPoint, oldStart);
        // the callout is drawn from the kept or the new point
        const RecordedCall* line = chart.Recorder->Find("DrawSegment");
        ASSERT_NE(line, nullptr);
        const TPoint drawnStart{static_cast<int>(line->args[0]), static_cast<int>(line->args[1])};
        EXPECT_EQ(drawnStart, fixedStart ? newPoint : oldStart);
    }
}

TEST(SeriesMarks, PositionsFollowDeletionsClearingAndTheStoredForm) {
    MarksChart chart;
    TLineSeries* s = chart.Series;
    for (int i = 0; i < 4; ++i) s->AddPoint(i, i + 1);
    chart.DrawNow();
    TSeriesMarkPosition* p = s->Marks().Positions().Position(2);
    ASSERT_NE(p, nullptr);
    p->IsCustom = true;
    p->BoxTopLeft = TPoint{-7, 23456};
    p->BoxWidth = 33;
    s->DeletePoint(0);
    ASSERT_NE(s->Marks().Positions().Position(1), nullptr);
    EXPECT_TRUE(s->Marks().Positions().Position(1)->IsCustom);

    s->SetManualData(true);
    const std::vector<std::uint8_t> data = s->WritePointData();
    EXPECT_EQ(data[0] & 8, 8);
    TLineSeries copy(nullptr);
    copy.ReadPointData(data.data(), data.size());
    ASSERT_EQ(copy.PointCount(), 3);
    const TSeriesMarkPosition* q = copy.Marks().Positions().Position(1);
    ASSERT_NE(q, nullptr);
    EXPECT_TRUE(q->IsCustom);
    EXPECT_EQ(q->BoxTopLeft, (TPoint{-7, 23456}));
    EXPECT_EQ(q->BoxWidth, 33);

    s->Marks().Items().Item(1).SetColor(clRed);
    s->ClearPoints();
    EXPECT_EQ(s->Marks().Positions().Count(), 0);
    EXPECT_EQ(s->Marks().Items().Count(), 0);
}

TEST(SeriesMarks, MarginsCalloutsAndItems) {
    MarksChart chart;
    TLineSeries* s = chart.Series;
    s->AddPoint(1, 1);
    s->AddPoint(2, 2);
    s->Pointer().SetVisible(false);
    // the margins are measured against the laid-out axes
    chart.DrawNow();
    int top = 0, bottom = 0;
    // above the callout's length the box itself: one line of 12 in a frame of 1, which
    // stands a pixel out of the box's bounds
    const int box = 12 + 2 * 1;
    s->GetVertMargins(top, bottom);
    EXPECT_EQ(top, 8 + box);
    s->Marks().Callout().SetDistance(3);
    s->GetVertMargins(top, bottom);
    EXPECT_EQ(top, 11 + box);

    TPointSeries points(nullptr);
    EXPECT_EQ(points.Marks().Callout().Length(), 0);

    // one point with a hidden shape of its own gets no mark; an arrow head draws an arrow
    s->Marks().ClearMarkPositions();
    s->Marks().Items().Item(1).SetVisible(false);
    s->Marks().Callout().SetArrowHead(ahSolid);
    chart.DrawNow();
    EXPECT_EQ(DrawnMarks(s->Marks()), (std::vector<int>{0}));
    EXPECT_EQ(chart.Recorder->Count("DrawArrow"), 1);

    // the marks' settings repaint the chart the series is in, and none after it left
    const int before = chart.InvalidateCount();
    s->Marks().SetAngle(90);
    EXPECT_GT(chart.InvalidateCount(), before);
    chart.RemoveSeries(s);
    const int after = chart.InvalidateCount();
    s->Marks().SetAngle(45);
    EXPECT_EQ(chart.InvalidateCount(), after);
    chart.AddSeries(s);

    TLineSeries other(nullptr);
    other.Marks().Assign(&s->Marks());
    EXPECT_EQ(other.Marks().Callout().ArrowHead(), ahSolid);
    ASSERT_NE(other.Marks().Items().ItemIfAny(1), nullptr);
    EXPECT_FALSE(other.Marks().Items().ItemIfAny(1)->Visible());
}

// Marks take room beside the data, never the data's own: at any size the points spread over
// at least half of each axis, and every mark drawn stands inside the plot.
TEST(SeriesMarks, MarksLeaveTheDataTheLargerPartOfEachAxis) {
    EnsureGuiApplication();
    for (const int width : {200, 260, 400})
        for (const int k : {0, 1, 2, 3}) {  // flat or 3D, one line on 200 px or two on 110 px
            SCOPED_TRACE(std::to_string(width) + " wide, case " + std::to_string(k));
            TChart chart;
            chart.SetView3D(k & 1);
            auto* s = new TLineSeries(&chart);
            s->SetParentChart(&chart);
            for (int i = 0; i < 8; ++i) s->AddPoint(i, 100 + 30 * std::sin(i), "lbl" + std::to_string(i));
            s->Marks().SetVisible(true);
            s->Marks().SetStyle(smsLabelValue);
            s->Marks().SetMultiLine(k & 2);
            RenderToBitmap(chart, width, k & 2 ? 110 : 200);
            const TRect plot = chart.PlotRect();
            const auto spread = [&](int (TChartSeries::*at)(int) const) {
                int lo = INT_MAX, hi = INT_MIN;
                for (int i = 0; i < 8; ++i) lo = std::min(lo, (s->*at)(i)), hi = std::max(hi, (s->*at)(i));
                return hi - lo;
            };
            EXPECT_GE(2 * spread(&TChartSeries::PointScreenX) + 2, plot.Width());
            EXPECT_GE(2 * spread(&TChartSeries::PointScreenY) + 2, plot.Height());
            for (int i = 0; i < 8 && !(k & 1); ++i) {
                const TSeriesMarkPosition* p = s->Marks().Positions().Position(i);
                const TRect b = p ? p->Bounds() : plot;
                EXPECT_TRUE(b.Left >= plot.Left && b.Top >= plot.Top && b.Right <= plot.Right &&
                            b.Bottom <= plot.Bottom)
                    << i;
            }
        }
}

}  // namespace
