#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "ChartAxis.h"
#include "ChartError.h"
#include "ChartFormData.h"
#include "ChartToolsExtra.h"
#include "ChartUtils.h"
#include "LineSeries.h"
#include "RecordingChart.h"

namespace {

// A flat chart with fixed axes over 0..100 both ways.
class ToolsChart : public RecordingChart {
public:
    ToolsChart() {
        SetView3D(false);
        Legend().SetVisible(false);
        SetSize(400, 300);
        BottomAxis()->SetAxisRange(0, 100);
        LeftAxis()->SetAxisRange(0, 100);
    }
    std::vector<std::vector<long long>> Rectangles() const {
        std::vector<std::vector<long long>> out;
        for (const auto& c : Recorder->Calls)
            if (c.op == "DrawRectangle") out.push_back(c.args);
        return out;
    }
};

TEST(GridBandTool, BandsAlternateBetweenTheTicks) {
    ToolsChart chart;
    auto* tool = new TGridBandTool(&chart);
    tool->SetAxis(chart.BottomAxis());
    tool->Band1().SetColor(clRed);
    tool->Band2().SetColor(clBlue);
    chart.SetPlotRect(TRect{10, 20, 110, 120});
    chart.BottomAxis()->CalcAxisPixels();
    ASSERT_EQ(chart.BottomAxis()->StartPixel(), 10);
    ASSERT_EQ(chart.BottomAxis()->EndPixel(), 110);
    chart.BottomAxis()->TickPositions = {100, 60, 20};
    chart.Recorder->Clear();
    tool->DrawBands(chart.BottomAxis());
    struct Band {
        long long from, to;
        TColor color;
    } expected[] = {{109, 100, clRed}, {100, 60, clBlue}, {60, 20, clRed}, {20, 10, clBlue}};
    std::vector<const RecordedCall*> drawn;
    for (const auto& c : chart.Recorder->Calls)
        if (c.op == "DrawRectangle") drawn.push_back(&c);
    ASSERT_EQ(drawn.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        // oriented, the right edge one pixel further, over the plot's height
        EXPECT_EQ(drawn[i]->args, (std::vector<long long>{std::min(expected[i].from, expected[i].to), 20,
                                                          std::max(expected[i].from, expected[i].to) + 1, 120}));
        EXPECT_EQ(drawn[i]->brushColor, expected[i].color);
    }

    // no ticks: nothing, and nothing read
    chart.BottomAxis()->TickPositions.clear();
    chart.Recorder->Clear();
    tool->DrawBands(chart.BottomAxis());
    EXPECT_EQ(chart.Recorder->Count("DrawRectangle"), 0);

    // the axis' grid calls the bands; a freed tool leaves the axis alone
    chart.BottomAxis()->TickPositions = {20, 60, 100};
    chart.Recorder->Clear();
    ASSERT_TRUE(chart.BottomAxis()->GridHook);
    chart.BottomAxis()->GridHook(chart.BottomAxis());
    EXPECT_EQ(chart.Recorder->Count("DrawRectangle"), 4);
    delete tool;
    EXPECT_FALSE(chart.BottomAxis()->GridHook);
    chart.DrawNow();
}

TEST(ChartTools, RegisteredInOrderWithTheirNames) {
    const std::vector<std::string> names = {
        "TCursorTool",     "TDragMarksTool",       "TAxisArrowTool", "TDrawLineTool",   "TNearestTool",
        "TColorBandTool",  "TColorLineTool",       "TRotateTool",    "TChartImageTool", "TMarksTipTool",
        "TAnnotationTool", "TSeriesAnimationTool", "TGridBandTool"};
    std::vector<std::string> registered;
    for (int i = 0; i < PlotToolTypes().Count(); ++i) registered.push_back(PlotToolTypes().Items(i)->Name);
    EXPECT_EQ(registered, names);
    TChart chart;
    TObject* made = FindClass("TAnnotationTool")->Create(&chart);
    auto* tool = dynamic_cast<TAnnotationTool*>(made);
    ASSERT_NE(tool, nullptr);
    EXPECT_EQ(tool->DisplayText(), "Annotation");
    EXPECT_EQ(tool->EditorClassName(), "TAnnotationToolEdit");
    EXPECT_EQ(TGridBandTool(nullptr).DisplayText(), "Grid Band");
}

TEST(AxisTools, StoredByTheirAxisIndex) {
    ToolsChart chart;
    TChartAxis* custom = chart.AddCustomAxis();
    auto* tool = new TColorBandTool(&chart);
    tool->SetAxis(custom);
    EXPECT_EQ(tool->AxisID(), 5);  // bottom, top, left, right, depth, then the custom axes
    TColorLineTool copy(nullptr);
    copy.SetParentChart(&chart);
    copy.SetAxisID(tool->AxisID());
    EXPECT_EQ(copy.Axis(), custom);
    copy.SetAxisID(99);
    EXPECT_EQ(copy.Axis(), nullptr);
    EXPECT_EQ(copy.AxisID(), -1);
    copy.SetParentChart(nullptr);
}

TEST(ColorBandTool, OrderedAndClippedToTheAxis) {
    ToolsChart chart;
    auto* tool = new TColorBandTool(&chart);
    tool->SetAxis(chart.BottomAxis());
    chart.DrawNow();
    const TChartAxis* a = chart.BottomAxis();
    struct Case {
        double start, end;
        bool drawn;
        double from, to;
    } cases[] = {{10, 5, true, 5, 10}, {5, 10, true, 5, 10}, {-20, 50, true, 0, 50}, {120, 150, false, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.start) + ".." + std::to_string(c.end));
        tool->SetStartValue(c.start);
        tool->SetEndValue(c.end);
        TRect r;
        ASSERT_EQ(tool->BandRect(r), c.drawn);
        if (!c.drawn) continue;
        EXPECT_EQ(r.Left, std::max(a->StartPixel(), a->ValueToPixel(c.from)));
        EXPECT_EQ(r.Right, a->ValueToPixel(c.to));
        EXPECT_EQ(r.Top, chart.PlotRect().Top);
    }
}

TEST(ColorLineTool, FollowsItsStyleAndStaysInRange) {
    ToolsChart chart;
    auto* tool = new TColorLineTool(&chart);
    tool->SetAxis(chart.LeftAxis());
    tool->SetStyle(clMaximum);
    EXPECT_EQ(tool->LineValue(), 100);
    tool->SetStyle(clCenter);
    EXPECT_EQ(tool->LineValue(), 50);
    tool->SetValue(250);
    EXPECT_EQ(tool->Style(), clCustom);
    chart.DrawNow();
    // drawn and hit at the axis' visible end, while the value stays the one set
    EXPECT_EQ(tool->Value(), 250);
    EXPECT_TRUE(tool->Clicked(200, chart.LeftAxis()->ValueToPixel(100)));
    tool->SetNoLimitDrag(true);
    tool->SetValue(250);
    chart.DrawNow();
    EXPECT_EQ(tool->Value(), 250);
}

TEST(SeriesAnimationTool, FramesGroupsAndExactEnds) {
    struct Case {
        int steps, drawEvery, points;
        std::vector<int> groupEnds;  // the index of the last point of each group
        int shown;                   // the steps shown: no more than can differ on a 400 px chart
    } cases[] = {{100, 0, 7, {6}, 100},
                 {100, 3, 7, {2, 5, 6}, 100},
                 {0, 0, 4, {3}, 1},
                 {3, 2, 4, {1, 3}, 3},
                 {399, 0, 4, {3}, 399},
                 {401, 0, 4, {3}, 400},
                 {2000000000, 0, 4, {3}, 400},
                 {2000000000, 3, 7, {2, 5, 6}, 400}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.steps) + "/" + std::to_string(c.drawEvery));
        ToolsChart chart;
        auto* s = new TLineSeries(&chart);
        s->SetParentChart(&chart);
        for (int i = 0; i < c.points; ++i) s->AddPoint(i, 0.1 * (i + 1) + 3);
        auto* tool = new TSeriesAnimationTool(&chart);
        tool->SetSeries(s);
        tool->SetSteps(c.steps);
        tool->SetDrawEvery(c.drawEvery);
        tool->SetStartAtMin(false);
        // a start that rounds on the way, so that only the last frame's own values end exact
        const double start = 0.7;
        tool->SetStartValue(start);
        int frames = 0;
        tool->ShowFrame = [&](TCustomAxisPanel*) { ++frames; };
        std::vector<int> stepsSeen, groupDone;
        tool->OnStep = [&](TSeriesAnimationTool*, int step) {
            stepsSeen.push_back(step);
            if (step == c.shown) {
                // the group's last point has reached its value; the next one still shows the start
                int last = 0;
                while (last + 1 < c.points && s->YValues()->ValueAt(last + 1) != start) ++last;
                groupDone.push_back(last);
                for (int i = 0; i <= last; ++i) EXPECT_EQ(s->YValues()->ValueAt(i), 0.1 * (i + 1) + 3) << i;
            }
        };
        tool->RunAnimation();
        ASSERT_EQ(std::max(chart.Width(), chart.Height()), 400);
        const int perGroup = c.shown + 1;
        EXPECT_EQ(frames, 1 + perGroup * static_cast<int>(c.groupEnds.size()));
        EXPECT_EQ(groupDone, c.groupEnds);
        // every group runs its steps from the start (0) to the values (Steps, at least 1)
        std::vector<int> wantSteps;
        for (std::size_t g = 0; g < c.groupEnds.size(); ++g)
            for (int d = 0; d <= c.shown; ++d) wantSteps.push_back(d);
        EXPECT_EQ(stepsSeen, wantSteps);
        for (int i = 0; i < c.points; ++i) EXPECT_EQ(s->YValues()->ValueAt(i), 0.1 * (i + 1) + 3);
        EXPECT_FALSE(tool->Running());
        EXPECT_EQ(s->UpdateDepth(), 0);
    }
}

TEST(SeriesAnimationTool, StopsWhenTheSeriesOrTheToolGoes) {
    ToolsChart chart;
    auto* s = new TLineSeries(&chart);
    s->SetParentChart(&chart);
    for (int i = 0; i < 5; ++i) s->AddPoint(i, i);
    auto* tool = new TSeriesAnimationTool(&chart);
    tool->SetSeries(s);
    tool->SetSteps(10);
    int frames = 0;
    tool->ShowFrame = [&](TCustomAxisPanel*) {
        if (++frames == 3) delete s;
    };
    tool->RunAnimation();
    EXPECT_EQ(frames, 3);
    EXPECT_EQ(tool->Series(), nullptr);
    EXPECT_FALSE(tool->Running());

    auto* t = new TLineSeries(&chart);
    t->SetParentChart(&chart);
    t->AddPoint(0, 1);
    t->AddPoint(1, 2);
    tool->SetSeries(t);
    tool->ShowFrame = [&](TCustomAxisPanel*) {};
    tool->OnStep = [&](TSeriesAnimationTool* sender, int step) {
        if (step == 2) delete sender;
    };
    tool->RunAnimation();
    EXPECT_EQ(chart.Tools().Count(), 0);
    // the series gets its own values back and takes notifications again
    EXPECT_EQ(t->UpdateDepth(), 0);
    EXPECT_EQ(t->YValues()->ValueAt(1), 2);
}

// Whatever a handler does half-way, the series is left with its own values, never a frame:
// points it deleted or added end the run, and every point keeps the value it has.
TEST(SeriesAnimationTool, TheSeriesKeepsItsOwnValuesWhateverAHandlerDoes) {
    using Act = std::function<void(TSeriesAnimationTool&, TLineSeries&, TLineSeries&)>;
    const std::vector<double> own{10, 20, 30, 40, 50, 60, 70};
    const std::vector<std::pair<Act, std::vector<double>>> cases{
        {[](auto&, TLineSeries& s, auto&) { s.DeletePoint(6); }, {10, 20, 30, 40, 50, 60}},
        {[](auto&, TLineSeries& s, auto&) { s.DeletePoint(0); }, {20, 30, 40, 50, 60, 70}},
        {[](auto&, TLineSeries& s, auto&) { s.DeletePoints(2, 2); }, {10, 20, 50, 60, 70}},
        {[](auto&, TLineSeries& s, auto&) { s.AddPoint(2.5, 99); }, {10, 20, 30, 99, 40, 50, 60, 70}},
        {[](auto&, TLineSeries& s, auto&) { s.ClearPoints(); }, {}},
        {[](auto&, auto&, auto&) -> void { throw ChartException("stop"); }, own},
        {[](TSeriesAnimationTool& t, auto&, TLineSeries& other) { t.SetSeries(&other); }, own},
    };
    for (const auto& [act, values] : cases) {
        SCOPED_TRACE(&act - &cases[0].first);
        ToolsChart chart;
        TLineSeries* s[2];
        for (TLineSeries*& t : s) {
            t = new TLineSeries(&chart);
            t->SetParentChart(&chart);
        }
        for (int i = 0; i < 7; ++i) s[0]->AddPoint(i, own[static_cast<std::size_t>(i)]);
        auto* tool = new TSeriesAnimationTool(&chart);
        tool->SetSeries(s[0]);
        tool->SetSteps(7);
        tool->ShowFrame = [](TCustomAxisPanel*) {};
        int last = -1;
        tool->OnStep = [&](TSeriesAnimationTool* sender, int step) {
            if ((last = step) == 2) act(*sender, *s[0], *s[1]);
        };
        ExceptionText([&] { tool->RunAnimation(); });  // the handler's own exception goes on
        EXPECT_EQ(last, 2);
        std::vector<double> now;
        for (int i = 0; i < s[0]->PointCount(); ++i) now.push_back(s[0]->YValues()->ValueAt(i));
        EXPECT_EQ(now, values);
        EXPECT_FALSE(tool->Running());
        EXPECT_EQ(s[0]->UpdateDepth(), 0);
    }
}

TEST(RotateTool, NeverShowsTheBackOfASoftwareView) {
    struct Case {
        int rotation, delta, expected;
    } turns[] = {{350, 5, 355}, {355, 10, 5},   {85, 10, 90}, {80, 100, 90}, {275, -10, 270},
                 {5, -10, 355}, {270, -1, 270}, {90, 1, 90},  {10, 0, 10}};
    for (const Case& c : turns) {
        SCOPED_TRACE(std::to_string(c.rotation) + "+" + std::to_string(c.delta));
        EXPECT_EQ(TRotateTool::TurnRotation(c.rotation, c.delta), c.expected);
    }
    EXPECT_EQ(TRotateTool::TurnElevation(345, 30), 360);
    EXPECT_EQ(TRotateTool::TurnElevation(280, -30), 270);
    EXPECT_EQ(TRotateTool::TurnElevation(300, 10), 310);
}

// the box is published under the positioned shape's own name
static_assert(std::is_same_v<decltype(std::declval<TAnnotationTool&>().Shape()), TPlotShapePosition&>);

TEST(AnnotationTool, EmptyTextStillHasABox) {
    ToolsChart chart;
    auto* tool = new TAnnotationTool(&chart);
    tool->SetParentChart(&chart);
    chart.DrawNow();
    const int cw = RecordingCanvas::CharWidth, lh = RecordingCanvas::LineHeight;
    EXPECT_EQ(tool->Bounds(), (TRect{6, 8, 10 + cw + 2, 10 + lh + 2}));
    tool->SetText("ab\rcde");
    tool->SetPosition(ppRightBottom);
    chart.DrawNow();
    const int w = 3 * cw, h = 2 * lh;
    EXPECT_EQ(tool->Bounds(), (TRect{400 - w - 8 - 4, 300 - h - 8 - 2, 400 - 8 + 2, 300 - 8 + 2}));
    // the callout runs from the box side nearest its target
    tool->Callout().Arrow().SetVisible(true);
    tool->Callout().SetXPosition(20);
    tool->Callout().SetYPosition(20);
    chart.DrawNow();
    const RecordedCall* line = chart.Recorder->Find("DrawSegment");
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->args, (std::vector<long long>{tool->Bounds().Left, tool->Bounds().Top, 20, 20}));
}

// The annotation's text alignment is the runtime's own alignment type, and the form
// data keeps each of its values.
TEST(AnnotationTool, TextAlignmentIsTheRuntimesAlignment) {
    static_assert(std::is_same_v<decltype(TAnnotationTool(nullptr).TextAlignment()), TAlignment>);
    for (TAlignment alignment : {taRightJustify, taCenter, taLeftJustify}) {
        SCOPED_TRACE(alignment);
        TChart chart;
        auto* tool = new TAnnotationTool(&chart);
        tool->SetParentChart(&chart);
        tool->SetText("note");
        tool->SetTextAlignment(alignment);
        const std::string form = WriteChartForm(chart);
        EXPECT_EQ(form.find("TextAlignment") != std::string::npos, alignment != taLeftJustify);
        std::unique_ptr<TCustomChart> copy = ReadChartForm(form);
        ASSERT_EQ(copy->Tools().Count(), 1);
        auto* read = dynamic_cast<TAnnotationTool*>(copy->Tools()[0]);
        ASSERT_NE(read, nullptr);
        EXPECT_EQ(read->TextAlignment(), alignment);
    }
}

TEST(NearestTool, NothingInsideThePlotGivesNoPoint) {
    ToolsChart chart;
    auto* s = new TLineSeries(&chart);
    s->SetParentChart(&chart);
    s->AddPoint(50, 50);
    s->AddPoint(500, 50);  // beyond the axis
    auto* tool = new TNearestTool(&chart);
    tool->SetSeries(s);
    chart.DrawNow();
    const TPoint p{s->PointScreenX(0), s->PointScreenY(0)};
    EXPECT_EQ(tool->GetNearestPoint(p.x + 3, p.y + 4), 0);
    EXPECT_EQ(tool->GetNearestPoint(2000000000, -2000000000), -1);  // 10000 pixels or more away
    s->YValues()->SetValue(0, 500);
    chart.DrawNow();
    EXPECT_EQ(tool->GetNearestPoint(p.x, p.y), -1);
}

}  // namespace
