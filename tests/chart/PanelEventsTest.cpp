// What the chart tells others: series and mouse events to its listeners, the
// draw hooks, and settings that repaint only when they change.

#include <gtest/gtest.h>

#include <functional>
#include <tuple>
#include <string>
#include <utility>
#include <vector>

#include "ChartTools.h"
#include "ChartToolsExtra.h"
#include "LineSeries.h"
#include "RecordingChart.h"

namespace {

struct EventLog : TPlotEventListener {
    std::vector<std::pair<int, TChartSeries*>> series;
    int mouse = 0, view3D = 0;
    bool cancel = false;
    void PlotEvent(TPlotEvent& event) override {
        if (auto* s = dynamic_cast<TPlotSeriesEvent*>(&event)) series.emplace_back(s->Event, s->Series);
        if (dynamic_cast<TPlotMouseEvent*>(&event)) {
            ++mouse;
            if (cancel) event.Sender->CancelMouse = true;
        }
        view3D += dynamic_cast<TPlotView3DEvent*>(&event) != nullptr;
    }
};

TEST(PanelEvents, SeriesChangesReachEveryListenerAndTheSeriesListener) {
    RecordingChart chart;
    EventLog first, second;
    first.cancel = true;  // stops mouse events only
    chart.AddListener(&first);
    chart.AddListener(&second);
    std::vector<int> told;
    chart.OnSeriesEvent = [&](TChartSeries*, TPlotSeriesEventKind kind) { told.push_back(kind); };

    auto* s = new TLineSeries(&chart);
    s->SetParentChart(&chart);
    s->SetSeriesColor(0x123456);
    s->SetSeriesColor(0x123456);  // unchanged: no event
    s->SetActive(false);
    s->SuspendNotify();
    s->AddPoint(1, 1);
    s->ResumeNotify();
    s->SetParentChart(nullptr);
    const std::vector<std::pair<int, TChartSeries*>> expected = {
        {seAdd, s}, {seChangeColor, s}, {seChangeActive, s}, {seDataChanged, s}, {seRemove, s}};
    EXPECT_EQ(first.series, expected);
    EXPECT_EQ(second.series, expected);
    EXPECT_EQ(told, (std::vector<int>{seAdd, seChangeColor, seChangeActive, seDataChanged, seRemove}));
    delete s;

    // a listener that takes the mouse keeps it from the listeners after it
    chart.MouseMove(0, 10, 10);
    EXPECT_EQ(first.mouse, 1);
    EXPECT_EQ(second.mouse, 0);
    first.cancel = false;
    chart.MouseMove(0, 10, 10);
    EXPECT_EQ(second.mouse, 1);

    chart.SetView3D(!chart.View3D());
    chart.SetView3D(chart.View3D());
    EXPECT_EQ(second.view3D, 1);
    chart.RemoveListener(&first);
    chart.RemoveListener(&second);
}

// The draw hooks go through virtual slots: a descendant draws at those stages
// and still lets the events fire.
class HookedChart : public RecordingChart {
public:
    std::vector<std::string> Stages;
    void DoBeforeDrawChart() override { Stage("chart"); }
    void DoBeforeDrawAxes() override { Stage("axes"); }
    void DoBeforeDrawSeries() override { Stage("series"); }
    void DoAfterDraw() override { Stage("after"); }

private:
    void Stage(const std::string& name) {
        Stages.push_back(name);
        if (name == "chart") RecordingChart::DoBeforeDrawChart();
        if (name == "after") RecordingChart::DoAfterDraw();
    }
};

TEST(PanelEvents, DrawHooksRunThroughTheirSlotsInDrawOrder) {
    HookedChart chart;
    int fired = 0;
    chart.OnBeforeDrawChart = [&](TObject*) { ++fired; };
    chart.OnAfterDraw = [&](TObject*) { ++fired; };
    chart.OnBeforeDrawAxes = [&](TObject*) { fired += 100; };  // the override does not pass it on
    auto* s = new TLineSeries(&chart);
    s->SetParentChart(&chart);
    s->AddPoint(0, 1);
    chart.DrawNow();
    EXPECT_EQ(chart.Stages, (std::vector<std::string>{"chart", "axes", "series", "after"}));
    EXPECT_EQ(fired, 2);
    chart.SetAxisBehind(false);
    chart.Stages.clear();
    chart.DrawNow();
    EXPECT_EQ(chart.Stages, (std::vector<std::string>{"chart", "series", "axes", "after"}));
}

TEST(PanelEvents, AxesPensAndExtremesAreSetAndReadByTheirNames) {
    RecordingChart chart, other;
    other.BottomAxis()->SetAxisRange(3, 7);
    other.BottomAxis()->Ticks().SetColor(clRed);
    TChartAxis* own = chart.BottomAxis();
    chart.SetBottomAxis(other.BottomAxis());
    EXPECT_EQ(chart.BottomAxis(), own);  // copied into the chart's own axis
    EXPECT_EQ(own->Maximum(), 7);
    EXPECT_EQ(own->Ticks().Color(), clRed);
    chart.SetLeftAxis(other.LeftAxis());
    EXPECT_FALSE(chart.LeftAxis()->Horizontal());

    TChartPen pen;
    pen.SetColor(clLime);
    pen.SetWidth(3);
    for (auto [name, set, get] :
         std::vector<std::tuple<const char*, void (TChartAxis::*)(const TChartPen*), std::function<TChartPen&()>>>{
             {"Ticks", &TChartAxis::SetTicks, [&]() -> TChartPen& { return own->Ticks(); }},
             {"TicksInner", &TChartAxis::SetTicksInner, [&]() -> TChartPen& { return own->TicksInner(); }},
             {"MinorTicks", &TChartAxis::SetMinorTicks, [&]() -> TChartPen& { return own->MinorTicks(); }},
             {"MinorGrid", &TChartAxis::SetMinorGrid, [&]() -> TChartPen& { return own->MinorGrid(); }}}) {
        SCOPED_TRACE(name);
        TChartPen* before = &get();
        const int repaints = chart.InvalidateCount();
        (own->*set)(&pen);
        EXPECT_EQ(&get(), before);
        EXPECT_EQ(get().Color(), clLime);
        EXPECT_EQ(get().Width(), 3);
        EXPECT_GT(chart.InvalidateCount(), repaints);
    }

    auto* s = new TLineSeries(&chart);
    s->SetParentChart(&chart);
    s->AddPoint(2, 40);
    s->AddPoint(5, -10);
    EXPECT_EQ(chart.MinXValue(chart.BottomAxis()), 2);
    EXPECT_EQ(chart.MaxXValue(chart.BottomAxis()), 5);
    EXPECT_EQ(chart.MinYValue(chart.LeftAxis()), -10);
    EXPECT_EQ(chart.MaxYValue(chart.LeftAxis()), 40);
}

TEST(PanelEvents, ToolSettersRepaintOnlyOnAChange) {
    RecordingChart chart;
    auto* line = new TColorLineTool(&chart);
    auto* rotate = new TRotateTool(&chart);
    auto* note = new TAnnotationTool(&chart);
    auto* cursor = new TCursorTool(&chart);
    auto* draw = new TDrawLineTool(&chart);
    for (TPlotCustomTool* t : std::vector<TPlotCustomTool*>{line, rotate, note, cursor, draw})
        t->SetParentChart(&chart);
    const std::vector<std::pair<const char*, std::function<void()>>> setters = {
        {"AllowDrag", [&] { line->SetAllowDrag(!line->AllowDrag()); }},
        {"DragRepaint", [&] { line->SetDragRepaint(!line->DragRepaint()); }},
        {"RotateButton", [&] { rotate->SetButton(rotate->Button() == mbLeft ? mbRight : mbLeft); }},
        {"Inverted", [&] { rotate->SetInverted(!rotate->Inverted()); }},
        {"Style", [&] { rotate->SetStyle(rotate->Style() == rsAll ? rsRotation : rsAll); }},
        {"Cursor", [&] { note->SetCursor(note->Cursor() + 1); }},
        {"FollowMouse", [&] { cursor->SetFollowMouse(!cursor->FollowMouse()); }},
        {"Snap", [&] { cursor->SetSnap(!cursor->Snap()); }},
        {"DrawButton", [&] { draw->SetButton(draw->Button() == mbLeft ? mbRight : mbLeft); }},
        {"EnableDraw", [&] { draw->SetEnableDraw(!draw->EnableDraw()); }},
        {"Axis", [&] { line->SetAxis(line->Axis() == chart.LeftAxis() ? chart.BottomAxis() : chart.LeftAxis()); }},
    };
    for (const auto& [name, flip] : setters) {
        SCOPED_TRACE(name);
        int n = chart.InvalidateCount();
        flip();
        EXPECT_GT(chart.InvalidateCount(), n);
    }
    const int n = chart.InvalidateCount();
    line->SetAllowDrag(line->AllowDrag());
    rotate->SetStyle(rotate->Style());
    cursor->SetSnap(cursor->Snap());
    line->SetAxis(line->Axis());
    EXPECT_EQ(chart.InvalidateCount(), n);
}

}  // namespace
