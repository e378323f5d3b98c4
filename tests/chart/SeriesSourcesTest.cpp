// Copying a series with its function and sources, letting a source go, and the
// design-time behaviour a design environment switches on for the whole process.

#include <gtest/gtest.h>

#include <vector>

#include "LineSeries.h"
#include "RecordingChart.h"
#include "ScopeExit.h"
#include "SeriesFunction.h"

namespace {

TEST(SeriesSources, AssignCopiesTheFunctionAndEverySource) {
    RecordingChart chart;
    auto make = [&] {
        auto* s = new TLineSeries(&chart);
        s->SetParentChart(&chart);
        return s;
    };
    TLineSeries *a = make(), *b = make(), *from = make(), *to = make(), *owned = make();
    a->AddPoint(0, 1);
    b->AddPoint(0, 2);
    auto* smooth = new TSmoothingFunction();
    smooth->SetFactor(7);
    from->SetSeriesFunction(smooth);
    from->SetLoading(true);  // a stored chart brings several sources at once
    from->SetDataSource(a);
    from->SetDataSource(b);
    from->SetLoading(false);
    ASSERT_EQ(from->SourceList().size(), 2u);

    to->Assign(from);
    EXPECT_EQ(to->SourceList(), (std::vector<TComponent*>{a, b}));
    EXPECT_EQ(b->Dependents(), (std::vector<TChartSeries*>{from, to}));
    auto* copy = dynamic_cast<TSmoothingFunction*>(to->SeriesFunction());
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, smooth);
    EXPECT_EQ(copy->Factor(), 7);
    EXPECT_EQ(copy->ParentSeries(), to);

    // a series with a function of its own keeps it
    auto* mine = new TSmoothingFunction();
    owned->SetSeriesFunction(mine);
    owned->Assign(from);
    EXPECT_EQ(owned->SeriesFunction(), mine);
    EXPECT_EQ(mine->Factor(), 4);
}

class SourceWatchingChart : public RecordingChart {
public:
    std::vector<std::pair<TChartSeries*, TComponent*>> Removed;
    void RemovedDataSource(TChartSeries* series, TComponent* source) override { Removed.emplace_back(series, source); }
};

TEST(SeriesSources, DroppingASourceTellsTheChartAndDesignTimeFillsSamples) {
    SourceWatchingChart chart;
    auto* source = new TLineSeries(&chart);
    source->SetParentChart(&chart);
    source->AddPoint(1, 1);
    auto* s = new TLineSeries(&chart);
    s->SetParentChart(&chart);
    s->SetDataSource(nullptr);  // had none: nothing to tell
    EXPECT_TRUE(chart.Removed.empty());
    EXPECT_EQ(s->PointCount(), 0);
    s->SetDataSource(source);
    s->SetDataSource(nullptr);
    EXPECT_EQ(chart.Removed, (std::vector<std::pair<TChartSeries*, TComponent*>>{{s, source}}));

    SetProcessDesigning(true);
    const ScopeExit reset([] { SetProcessDesigning(false); });
    s->SetDataSource(source);
    s->SetDataSource(nullptr);
    EXPECT_EQ(s->PointCount(), s->NumSampleValues());
    TChart designed;
    ASSERT_EQ(designed.Title().Text().size(), 1u);
    EXPECT_EQ(designed.Title().Text()[0], "TChart");
    SetProcessDesigning(false);
    TChart running;
    EXPECT_TRUE(running.Title().Text().empty());
}

}  // namespace
