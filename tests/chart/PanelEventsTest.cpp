// What the chart tells others and copies: events to its listeners, the draw hooks,
// settings that repaint only when they change, series copied with their sources.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ChartTools.h"
#include "ChartToolsExtra.h"
#include "LineSeries.h"
#include "RecordingChart.h"
#include "ScopeExit.h"
#include "SeriesFunction.h"

namespace {

struct EventLog : TPlotEventListener {
    std::vector<int> series, mouse;
    int view3D = 0;
    void PlotEvent(TPlotEvent& event) override {
        if (auto* s = dynamic_cast<TPlotSeriesEvent*>(&event)) series.push_back(s->Event);
        if (auto* m = dynamic_cast<TPlotMouseEvent*>(&event)) {
            mouse.push_back(m->Event);
            event.Sender->CancelMouse = true;
        }
        view3D += dynamic_cast<TPlotView3DEvent*>(&event) != nullptr;
    }
};

class TestChart : public RecordingChart {
public:
    std::string Stages;
    std::vector<TComponent*> Removed;
    // a descendant draws at the hook stages; the events fire only when it passes them on
    void DoBeforeDrawChart() override { Stages += "c"; }
    void DoBeforeDrawAxes() override { Stages += "a"; }
    void DoBeforeDrawSeries() override { Stages += "s"; }
    void DoAfterDraw() override { Stages += "d", RecordingChart::DoAfterDraw(); }
    void RemovedDataSource(TChartSeries*, TComponent* source) override { Removed.push_back(source); }
    TLineSeries* Add() {
        auto* s = new TLineSeries(this);
        s->SetParentChart(this);
        return s;
    }
};

TEST(PanelEvents, ListenersHearOfSeriesMouseAndViewAndHooksRunInDrawOrder) {
    std::vector<int> told;  // outlives the chart, which tells it of the series it frees
    TestChart chart;
    EventLog first, second;  // the first takes every mouse event
    chart.AddListener(&first);
    chart.AddListener(&second);
    chart.OnSeriesEvent = [&](TChartSeries*, TPlotSeriesEventKind kind) { told.push_back(kind); };
    TLineSeries* s = chart.Add();
    s->SetSeriesColor(0x123456);
    s->SetSeriesColor(0x123456);
    s->SetActive(false);
    s->SuspendNotify();
    s->ResumeNotify();
    s->SetParentChart(nullptr);
    const std::vector<int> expected = {seAdd, seChangeColor, seChangeActive, seDataChanged, seRemove};
    EXPECT_EQ(second.series, expected);
    EXPECT_EQ(told, expected);
    // listeners number the mouse events 0 down, 1 up, 2 move
    chart.MouseDown(mbLeft, 0, 10, 10);
    chart.MouseMove(0, 12, 10);
    chart.MouseUp(mbLeft, 0, 12, 10);
    chart.SetView3D(!chart.View3D());
    chart.SetView3D(chart.View3D());
    EXPECT_EQ(first.mouse, (std::vector<int>{0, 2, 1}));
    EXPECT_TRUE(second.mouse.empty());
    EXPECT_EQ(second.view3D, 1);
    chart.RemoveListener(&first);
    chart.RemoveListener(&second);

    int fired = 0;
    chart.OnBeforeDrawChart = chart.OnAfterDraw = [&](TObject*) { ++fired; };
    chart.DrawNow();
    chart.SetAxisBehind(false);
    chart.DrawNow();
    EXPECT_EQ(chart.Stages, "casdcsad");
    EXPECT_EQ(fired, 2);
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
    auto setAll = [&](bool v) {
        line->SetAllowDrag(v), line->SetDragRepaint(v), line->SetAxis(v ? chart.BottomAxis() : chart.LeftAxis());
        rotate->SetInverted(v), rotate->SetStyle(v ? rsRotation : rsAll), rotate->SetButton(v ? mbRight : mbLeft);
        note->SetCursor(v), cursor->SetFollowMouse(v), cursor->SetSnap(v);
        draw->SetButton(v ? mbRight : mbLeft), draw->SetEnableDraw(v);
    };
    setAll(true);
    const int n = chart.InvalidateCount();
    setAll(true);
    EXPECT_EQ(chart.InvalidateCount(), n);
    setAll(false);
    EXPECT_EQ(chart.InvalidateCount(), n + 11);  // one repaint for each change
}

TEST(PanelEvents, SeriesCopiesTakeTheFunctionAndEverySourceAndDesignTimeFillsSamples) {
    TestChart chart;
    TLineSeries *a = chart.Add(), *b = chart.Add(), *from = chart.Add(), *to = chart.Add(), *own = chart.Add();
    auto* smooth = new TSmoothingFunction();
    smooth->SetFactor(7);
    from->SetSeriesFunction(smooth);
    from->SetLoading(true);  // a stored chart brings several sources at once
    from->SetDataSource(a);
    from->SetDataSource(b);
    from->SetLoading(false);
    to->Assign(from);
    EXPECT_EQ(to->SourceList(), (std::vector<TComponent*>{a, b}));
    EXPECT_EQ(b->Dependents(), (std::vector<TChartSeries*>{from, to}));
    auto* copy = dynamic_cast<TSmoothingFunction*>(to->SeriesFunction());
    ASSERT_TRUE(copy && copy != smooth);
    EXPECT_EQ(copy->Factor(), 7);
    auto* mine = new TSmoothingFunction();
    own->SetSeriesFunction(mine);
    own->Assign(from);
    EXPECT_EQ(own->SeriesFunction(), mine);  // a function of its own stays
    to->SetDataSource(nullptr);
    to->SetDataSource(nullptr);  // none left: nothing to tell
    EXPECT_EQ(chart.Removed, std::vector<TComponent*>{a});

    EXPECT_EQ(to->PointCount(), 0);
    SetProcessDesigning(true);
    const ScopeExit reset([] { SetProcessDesigning(false); });
    to->SetDataSource(nullptr);
    EXPECT_EQ(to->PointCount(), to->NumSampleValues());
    EXPECT_EQ(TChart().Title().Text(), std::vector<std::string>{"TChart"});
}

}  // namespace
