#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "AxisPanel.h"
#include "ChartAxis.h"
#include "ChartMessages.h"
#include "ChartUtils.h"
#include "LineSeries.h"
#include "RecordingChart.h"
#include "SeriesFunction.h"

namespace {

// Sums the Y values of a group and remembers which groups it was asked for.
class TSumFunction : public TPlotFunction {
public:
    explicit TSumFunction(TComponent* owner = nullptr) : TPlotFunction(owner) {}
    double ComputeValue(TChartSeries* source, int first, int last) override {
        Groups.push_back({first, last});
        if (first < 0) {
            first = 0;
            last = source->PointCount() - 1;
        }
        double sum = 0;
        for (int i = first; i <= last; ++i) sum += source->YValueAt(i);
        return sum;
    }
    std::vector<std::pair<int, int>> Groups;
};

struct Fixture {
    explicit Fixture(const std::vector<double>& xs, bool lineResult = false) {
        source = new TPointSeries(&chart);
        source->SetParentChart(&chart);
        for (std::size_t i = 0; i < xs.size(); ++i) source->AddPoint(xs[i], static_cast<double>(i + 1));
        result = lineResult ? static_cast<TChartSeries*>(new TLineSeries(&chart)) : new TPointSeries(&chart);
        result->SetParentChart(&chart);
        function = new TSumFunction();
        result->SetSeriesFunction(function);
    }
    std::vector<std::pair<double, double>> Points() const {
        std::vector<std::pair<double, double>> out;
        for (int i = 0; i < result->PointCount(); ++i) out.push_back({result->XValueAt(i), result->YValueAt(i)});
        return out;
    }
    TCustomAxisPanel chart{nullptr};
    TChartSeries* source;
    TChartSeries* result;
    TSumFunction* function;
};

using Points = std::vector<std::pair<double, double>>;

TEST(PlotFunction, GroupsOfPointsByCount) {
    struct Case {
        TFunctionPeriodAlign align;
        Points expected;
    } cases[] = {
        {paFirst, {{10, 6}, {13, 15}}},
        {paCenter, {{11, 6}, {14, 15}}},
        {paLast, {{12, 6}, {15, 15}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.align);
        Fixture f({10, 11, 12, 13, 14, 15, 16});
        f.function->SetPeriodAlign(c.align);
        f.function->SetPeriod(3);
        f.result->SetDataSource(f.source);
        // a last group of fewer than three points adds nothing
        EXPECT_EQ(f.Points(), c.expected);
        EXPECT_EQ(f.function->Groups.back(), (std::pair<int, int>{3, 5}));
    }
}

TEST(PlotFunction, WholeRangeIsALevelLineOrOnePoint) {
    Fixture line({2, 4, 10}, true);
    line.result->SetDataSource(line.source);
    EXPECT_EQ(line.Points(), (Points{{2, 6}, {10, 6}}));

    Fixture point({2, 4, 10}, false);
    point.result->SetDataSource(point.source);
    EXPECT_EQ(point.Points(), (Points{{6, 6}}));
    EXPECT_EQ(point.function->Groups, (std::vector<std::pair<int, int>>{{-1, -1}}));
}

TEST(PlotFunction, RangesOfValues) {
    Fixture f({0, 0.5, 1, 3.2});
    f.function->SetPeriodStyle(psRange);
    f.function->SetPeriodAlign(paFirst);
    f.function->SetPeriod(1);
    f.result->SetDataSource(f.source);
    // [0,1) holds two points, [1,2) one, [2,3) none (value 0), [3,4) one
    EXPECT_EQ(f.Points(), (Points{{0, 3}, {1, 3}, {2, 0}, {3, 4}}));
}

TEST(PlotFunction, PeriodsThatNeverAdvanceStop) {
    Fixture count({1, 2, 3});
    count.result->SetDataSource(count.source);
    count.function->SetPeriod(0.4);  // rounds to groups of no points
    EXPECT_EQ(count.result->PointCount(), 0);

    Fixture range({1e20, 1e20 + 1e5});
    range.function->SetPeriodStyle(psRange);
    range.result->SetDataSource(range.source);
    range.function->SetPeriod(1e-3);  // lost in the precision of the values
    EXPECT_EQ(range.result->PointCount(), 0);

    // a period of a half point rounds to even: no group either
    count.function->SetPeriod(0.5);
    EXPECT_EQ(count.result->PointCount(), 0);
    count.function->SetPeriod(1.5);
    EXPECT_EQ(count.result->PointCount(), 1);  // groups of two
}

TEST(PlotFunction, NegativePeriodIsRefused) {
    TSumFunction f;
    f.SetPeriod(2);
    try {
        f.SetPeriod(-1);
        ADD_FAILURE() << "no exception";
    } catch (const ChartException& e) {
        EXPECT_EQ(e.Message(), "Function Period should be >= 0");
    }
    EXPECT_EQ(f.Period(), 2);
    TSumFunction g;
    g.Assign(&f);
    EXPECT_EQ(g.Period(), 2);
    EXPECT_EQ(g.PeriodAlign(), paCenter);
    EXPECT_EQ(g.EditorClassName(), "TPlotFunctionEditor");
}

TEST(SmoothingFunction, CurveThroughTheSourcePoints) {
    TCustomAxisPanel chart(nullptr);
    auto* source = new TPointSeries(&chart);
    source->SetParentChart(&chart);
    for (int i = 0; i < 200; ++i) source->AddPoint(i, std::sin(i * 0.1));
    auto* smooth = new TLineSeries(&chart);
    smooth->SetParentChart(&chart);
    auto* f = new TSmoothingFunction();
    EXPECT_EQ(f->Period(), 1.0);
    EXPECT_EQ(f->EditorClassName(), "TSmoothFuncEditor");
    smooth->SetSeriesFunction(f);
    smooth->SetDataSource(source);
    ASSERT_EQ(smooth->PointCount(), 601);  // 200 x 4 capped at 600 steps, plus one
    EXPECT_NEAR(smooth->XValueAt(0), 0, 1e-9);
    EXPECT_NEAR(smooth->YValueAt(0), 0, 1e-9);
    EXPECT_NEAR(smooth->XValueAt(600), 199, 1e-9);
    EXPECT_NEAR(smooth->YValueAt(600), std::sin(19.9), 1e-9);

    f->SetFactor(0);
    EXPECT_EQ(f->Factor(), 1);
    source->ClearPoints();
    for (int i = 0; i < 3; ++i) source->AddPoint(i, i == 1 ? 1 : 0);
    f->SetInterpolate(false);
    smooth->RefillFromSource(source);
    ASSERT_EQ(smooth->PointCount(), 4);  // three steps
    // The approximating curve is a weighted mean of the points: a third of the way along
    // (at 2/3 of the first cubic piece, ends mirrored) it lies at (2/3, 46/81), below the
    // middle point it would pass through otherwise; the other step mirrors it.
    EXPECT_NEAR(smooth->XValueAt(1), 2.0 / 3, 1e-12);
    EXPECT_NEAR(smooth->YValueAt(1), 46.0 / 81, 1e-12);
    EXPECT_NEAR(smooth->XValueAt(2), 4.0 / 3, 1e-12);
    EXPECT_NEAR(smooth->YValueAt(2), 46.0 / 81, 1e-12);

    source->ClearPoints();
    smooth->RefillFromSource(source);
    EXPECT_EQ(smooth->PointCount(), 0);
}

// A curve needs two points; one must still show the data, never the origin.
TEST(SmoothingFunction, OneOrTwoSourcePoints) {
    RecordingChart chart;
    auto* source = new TPointSeries(&chart);
    source->SetParentChart(&chart);
    source->AddPoint(5, 7);
    auto* smooth = new TLineSeries(&chart);
    smooth->SetParentChart(&chart);
    smooth->SetSeriesFunction(new TSmoothingFunction());
    smooth->SetDataSource(source);
    ASSERT_EQ(smooth->PointCount(), 1);
    EXPECT_EQ(smooth->XValueAt(0), 5);
    EXPECT_EQ(smooth->YValueAt(0), 7);
    chart.SetSize(400, 300);
    chart.DrawNow();
    EXPECT_GT(chart.LeftAxis()->Minimum(), 0);  // the axes stay around the point

    // two points: a straight line of 2 x Factor steps
    source->AddPoint(9, -1);
    smooth->RefillFromSource(source);
    ASSERT_EQ(smooth->PointCount(), 9);
    EXPECT_NEAR(smooth->XValueAt(2), 6, 1e-12);
    EXPECT_NEAR(smooth->YValueAt(2), 5, 1e-12);
}

TEST(SmoothingFunction, ListedInTheGallery) {
    bool found = false;
    for (int i = 0; i < PlotSeriesTypes().Count(); ++i) {
        const TPlotSeriesType& t = PlotSeriesTypes().Items(i);
        if (t.FunctionClass == &TSmoothingFunction::ClassInfo) {
            found = true;
            EXPECT_EQ(t.SeriesClass, nullptr);
            EXPECT_EQ(t.Description, "Smoothing");
            EXPECT_EQ(t.GalleryPage, "Extended");
        }
    }
    EXPECT_TRUE(found);
}

}  // namespace
