// The chart's series list and custom axes, freeing series by kind, page-change events,
// label angles, the widest point label and the legend-text hook.

#include <gtest/gtest.h>

#include "ChartAxis.h"
#include "LineSeries.h"
#include "RecordingChart.h"

namespace {

TEST(ChartLists, SeriesListIsBoundsCheckedAndFreeingFiltersByKind) {
    RecordingChart chart;
    auto* line = new TLineSeries(&chart);
    auto* points = new TPointSeries(&chart);
    auto* plain = new TChartSeries(&chart);
    for (TChartSeries* s : {static_cast<TChartSeries*>(line), static_cast<TChartSeries*>(points), plain})
        s->SetParentChart(&chart);
    const TChartSeriesList& list = chart.SeriesList();
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.SeriesAt(1), points);
    EXPECT_EQ(list.IndexOf(plain), 2);
    EXPECT_EQ(ExceptionText([&] { list.SeriesAt(3); }), "Series index 3 out of bounds (0 to 2).");
    EXPECT_EQ(ExceptionText([&] { list.SeriesAt(-1); }), "Series index -1 out of bounds (0 to 2).");
    // a point series is a custom series too: both line and point series go
    chart.FreeAllSeriesOf<TCustomSeries>();
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.SeriesAt(0), plain);
    chart.FreeAllSeries();
    EXPECT_EQ(list.Count(), 0);
}

TEST(ChartLists, CustomAxesFollowTheStandardOnesAndAreCopiedByAssign) {
    RecordingChart a, b;
    TChartCustomAxes& axes = a.CustomAxes();
    EXPECT_EQ(axes.Count(), 0);
    TChartAxis* first = axes.Add();
    TChartAxis* second = axes.Add();
    second->SetHorizontal(true);
    second->SetAutomatic(false);
    second->SetAxisRange(-5, 5);
    EXPECT_EQ(axes.Count(), 2);
    EXPECT_EQ(axes.Items(0), first);
    EXPECT_EQ(a.AxesList()[6], second);
    EXPECT_EQ(ExceptionText([&] { axes.Items(2); }), "Axis index 2 out of bounds (0 to 1).");

    b.CustomAxes().Add();
    b.Assign(&a);
    ASSERT_EQ(b.CustomAxes().Count(), 2);
    EXPECT_NE(b.CustomAxes().Items(1), second);
    EXPECT_TRUE(b.CustomAxes().Items(1)->Horizontal());
    EXPECT_DOUBLE_EQ(b.CustomAxes().Items(1)->Minimum(), -5);
    EXPECT_DOUBLE_EQ(b.CustomAxes().Items(1)->Maximum(), 5);
    EXPECT_EQ(b.AxesList().Count(), 7);

    axes.Clear();
    EXPECT_EQ(axes.Count(), 0);
    EXPECT_EQ(a.AxesList().Count(), 5);
}

struct PageListener : TPlotEventListener {
    int pages = 0;
    void PlotEvent(TPlotEvent& event) override { pages += dynamic_cast<TChartChangePage*>(&event) != nullptr; }
};

TEST(ChartLists, PagingBroadcastsEveryChange) {
    RecordingChart chart;
    auto* s = new TLineSeries(&chart);
    s->SetParentChart(&chart);
    for (int i = 0; i < 25; ++i) s->AddPoint(i, i);
    PageListener listener;
    chart.AddListener(&listener);
    int fired = 0;
    chart.OnPageChange = [&](TObject*) { ++fired; };
    chart.SetMaxPointsPerPage(10);
    EXPECT_EQ(listener.pages, 1);
    chart.SetPage(3);
    EXPECT_EQ(listener.pages, 2);
    EXPECT_EQ(fired, 1);
    chart.SetPage(7);  // limited to 3: no change, no event
    EXPECT_EQ(listener.pages, 2);
    EXPECT_EQ(fired, 1);
    chart.RemoveListener(&listener);
}

TEST(ChartLists, AnglesKeepTheirSignAndTheLegendHookGivesTheItemText) {
    RecordingChart chart;
    TChartAxis& axis = *chart.LeftAxis();
    for (auto [set, stored] : {std::pair{450, 90}, {-30, -30}, {-390, -30}, {360, 0}}) {
        axis.SetLabelsAngle(set);
        EXPECT_EQ(axis.LabelsAngle(), stored) << set;
        axis.Title().SetAngle(set);
        EXPECT_EQ(axis.Title().Angle(), stored) << set;
    }

    auto* s = new TLineSeries(&chart);
    s->SetParentChart(&chart);
    s->SetTitle("Echo");
    s->AddPoint(0, 1, "ab");
    s->AddPoint(1, 2, "abcd\rx");
    chart.Legend().SetLegendStyle(lsSeries);
    chart.OnGetLegendText = [](TCustomChart*, TLegendStyle, int, std::string& text) { text += "!"; };
    EXPECT_EQ(chart.FormattedLegend(0), "Echo!");
    // the widest line of any label, at the recording canvas' six pixels a character
    EXPECT_EQ(chart.MaxPointLabelWidth(), 24);
}

}  // namespace
