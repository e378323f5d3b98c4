#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "AxisPanel.h"
#include "ChartAxis.h"
#include "ChartSeries.h"
#include "ChartUtils.h"
#include "DateFormat.h"
#include "RecordingChart.h"

namespace {

std::vector<double> Values(const TChartValueList* list) {
    std::vector<double> v;
    for (int i = 0; i < list->Count(); ++i) v.push_back(list->ValueAt(i));
    return v;
}

TEST(ValueList, SortedInsertKeepsOrderAndCarriesY) {
    TChartSeries s(nullptr);
    s.AddPoint(3, 30);
    s.AddPoint(1, 10);
    s.AddPoint(2, 20);
    s.AddPoint(2, 21);  // equal X goes after the existing equal ones
    EXPECT_EQ(Values(s.XValues()), (std::vector<double>{1, 2, 2, 3}));
    EXPECT_EQ(Values(s.YValues()), (std::vector<double>{10, 20, 21, 30}));

    s.XValues()->SetOrder(loDescending);
    s.ClearPoints();
    for (double x : {1.0, 3.0, 2.0, 3.0}) s.AddPoint(x, x * 10 + s.PointCount());
    EXPECT_EQ(Values(s.XValues()), (std::vector<double>{3, 3, 2, 1}));
    EXPECT_EQ(Values(s.YValues()), (std::vector<double>{31, 33, 22, 10}));

    s.XValues()->SetOrder(loNone);
    s.ClearPoints();
    for (double x : {5.0, 1.0, 3.0}) s.AddPoint(x, 0);
    EXPECT_EQ(Values(s.XValues()), (std::vector<double>{5, 1, 3}));
}

TEST(ValueList, GrowsInFixedStepsAndDeletes) {
    TChartSeries s(nullptr);
    s.AddPoint(0, 0);
    EXPECT_EQ(s.XValues()->Capacity(), 1000);
    for (int i = 1; i <= 1000; ++i) s.AppendValue(i);
    EXPECT_EQ(s.PointCount(), 1001);
    EXPECT_EQ(s.XValues()->Capacity(), 2000);
    s.XValues()->DeleteRange(10, 5000);  // a count past the end stops at the end
    EXPECT_EQ(s.XValues()->Count(), 10);
    s.XValues()->ClearValues();
    EXPECT_EQ(s.XValues()->Capacity(), 0);
}

TEST(ValueList, LazyStatisticsSkipNonFiniteValues) {
    TChartSeries s(nullptr);
    EXPECT_EQ(s.YValues()->LowestValue(), 0);
    EXPECT_EQ(s.YValues()->HighestValue(), 0);
    EXPECT_EQ(s.YValues()->ValueSum(), 0);
    EXPECT_EQ(s.YValues()->AbsValueSum(), 0);

    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (double y : {nan, -4.0, inf, 2.0, -inf, 7.0}) s.AppendValue(y);
    EXPECT_TRUE(s.YValues()->StatsStale());
    EXPECT_EQ(s.YValues()->LowestValue(), -4);
    EXPECT_FALSE(s.YValues()->StatsStale());
    EXPECT_EQ(s.YValues()->HighestValue(), 7);
    EXPECT_EQ(s.YValues()->ValueSum(), 5);
    EXPECT_EQ(s.YValues()->AbsValueSum(), 13);
    EXPECT_EQ(s.YValues()->Spread(), 11);

    s.YValues()->SetValue(1, 100);
    EXPECT_TRUE(s.YValues()->StatsStale());
    EXPECT_EQ(s.YValues()->HighestValue(), 100);

    TChartSeries only(nullptr);
    only.AppendValue(nan);
    EXPECT_EQ(only.YValues()->LowestValue(), 0);
    EXPECT_EQ(only.YValues()->HighestValue(), 0);
}

TEST(ValueList, AccessorsAreBoundsChecked) {
    TChartSeries s(nullptr);
    s.AppendValue(1);
    EXPECT_EQ(ExceptionText([&] { s.YValues()->ValueAt(1); }), "Value index 1 out of bounds (0 to 0).");
    EXPECT_THROW(s.YValues()->ValueAt(-1), ChartException);
    EXPECT_THROW(s.PointColor(5), ChartException);
    EXPECT_THROW(s.XValueAt(2), ChartException);
    TChartSeries empty(nullptr);
    EXPECT_THROW(empty.XValues()->FirstValue(), ChartException);
    EXPECT_THROW(empty.XValues()->LastValue(), ChartException);
}

TEST(ValueList, AssignCopiesSettingsOnly) {
    TChartSeries a(nullptr), b(nullptr);
    a.AddPoint(1, 1);
    a.YValues()->SetOrder(loDescending);
    a.YValues()->SetDateTime(true);
    b.YValues()->Assign(a.YValues());
    EXPECT_EQ(b.YValues()->Order(), loDescending);
    EXPECT_TRUE(b.YValues()->DateTime());
    EXPECT_EQ(b.YValues()->Count(), 0);
}

TEST(SeriesPoints, ColourListIsLazyAndNullPointsCount) {
    TCustomAxisPanel chart(nullptr);
    TChartSeries s(nullptr);
    s.SetParentChart(&chart);
    s.SetSeriesColor(0x123456);
    s.AddPoint(0, 1);
    s.AddPoint(1, 2);
    EXPECT_FALSE(s.HasColorList());
    s.AddPoint(2, 3, "", clRed);
    ASSERT_TRUE(s.HasColorList());
    EXPECT_EQ(s.ColorListEntry(0), SeriesDefaultColor);
    EXPECT_EQ(s.ColorListEntry(1), SeriesDefaultColor);
    EXPECT_EQ(s.PointColor(0), 0x123456u);
    EXPECT_EQ(s.PointColor(2), clRed);

    s.AddNullPoint(3, 4);
    EXPECT_EQ(s.PointCount(), 4);
    EXPECT_EQ(s.PointColor(3), clNone);

    s.SetColorEachPoint(true);
    EXPECT_EQ(s.PointColor(1), PaletteColor(1));
    EXPECT_EQ(s.PointColor(2), clRed);
}

TEST(SeriesPoints, LabelsPadAndStayParallel) {
    TChartSeries s(nullptr);
    s.AddPoint(0, 0);
    s.AddPoint(1, 0);
    EXPECT_EQ(s.PointLabels().Count(), 0);
    s.AddPoint(5, 0, "five");
    EXPECT_EQ(s.PointLabels().Count(), 3);
    s.AddPoint(2, 0);  // inserted before "five": the labels move with it
    EXPECT_EQ(s.PointLabels().Label(3), "five");
    EXPECT_EQ(s.PointLabels().Label(2), "");
}

TEST(SeriesPoints, BeforeAddVetoAndAfterAdd) {
    TChartSeries s(nullptr);
    std::vector<int> added;
    s.OnAfterAdd = [&](TChartSeries*, int index) { added.push_back(index); };
    s.OnBeforeAdd = [](TChartSeries* sender) { return sender->XValues()->PendingValue() < 10; };
    EXPECT_EQ(s.AddPoint(5, 1), 0);
    EXPECT_EQ(s.AddPoint(50, 1), -1);
    EXPECT_EQ(s.PointCount(), 1);
    EXPECT_EQ(s.AddPoint(1, 1), 0);
    EXPECT_EQ(added, (std::vector<int>{0, 0}));
}

TEST(SeriesPoints, DeleteChecksAndClamps) {
    TChartSeries s(nullptr);
    for (int i = 0; i < 3; ++i) s.AddPoint(i, i * 10);
    EXPECT_EQ(ExceptionText([&] { s.DeletePoint(3); }), "Series Delete: ValueIndex 3 out of bounds (0 to 2).");
    EXPECT_EQ(ExceptionText([&] { s.DeletePoint(-1); }), "Series Delete: ValueIndex -1 out of bounds (0 to 2).");
    s.DeletePoint(1);
    EXPECT_EQ(Values(s.YValues()), (std::vector<double>{0, 20}));

    TChartSeries t(nullptr);
    for (int i = 0; i < 6; ++i) t.AddPoint(i * 2, i, "", i == 4 ? clRed : SeriesDefaultColor);
    t.DeletePoints(4, 100);  // past the end: deletes to the end
    EXPECT_EQ(t.PointCount(), 4);
    EXPECT_TRUE(t.HasColorList());
    t.DeletePoints(10, 2);  // start past the end: nothing
    EXPECT_EQ(t.PointCount(), 4);
    t.DeletePoints(1, 2, true);
    EXPECT_EQ(Values(t.XValues()), (std::vector<double>{0, 1}));
    t.DeletePoints(0, 2);
    EXPECT_FALSE(t.HasColorList());
}

TEST(SeriesPoints, SortMovesColoursAndLabelsTogether) {
    TChartSeries s(nullptr);
    s.YValues()->SetOrder(loNone);
    s.AddPoint(0, 3, "c", clRed);
    s.AddPoint(1, 1, "a");
    s.AddPoint(2, 2, "b", clBlue);
    s.YValues()->SetOrder(loAscending);
    s.YValues()->SortValues();
    EXPECT_EQ(Values(s.YValues()), (std::vector<double>{1, 2, 3}));
    EXPECT_EQ(Values(s.XValues()), (std::vector<double>{1, 2, 0}));
    EXPECT_EQ(s.PointLabels().Label(0), "a");
    EXPECT_EQ(s.PointLabels().Label(2), "c");
    EXPECT_EQ(s.ColorListEntry(1), clBlue);
    EXPECT_EQ(s.ColorListEntry(2), clRed);
}

TEST(SeriesPoints, DependentsSeeAWholeSwap) {
    TCustomAxisPanel chart(nullptr);
    TChartSeries src(nullptr), dep(nullptr);
    src.SetParentChart(&chart);
    dep.SetParentChart(&chart);
    src.XValues()->SetOrder(loNone);
    dep.XValues()->SetOrder(loNone);
    src.AddPoint(0, 10, "a", clRed);
    src.AddPoint(1, 11, "b");
    src.AddPoint(2, 12, "c", clBlue);
    dep.SetDataSource(&src);
    src.SwapPoints(0, 2);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(dep.XValues()->ValueAt(i), src.XValues()->ValueAt(i));
        EXPECT_EQ(dep.YValues()->ValueAt(i), src.YValues()->ValueAt(i));
        EXPECT_EQ(dep.ColorListEntry(i), src.ColorListEntry(i));
        EXPECT_EQ(dep.PointLabels().Label(i), src.PointLabels().Label(i));
    }
    EXPECT_EQ(src.PointLabels().Label(0), "c");
    EXPECT_THROW(src.SwapPoints(0, 3), ChartException);
}

// Doubles every Y value of its source.
class TDoubler : public TPlotFunction {
public:
    explicit TDoubler(TComponent* owner) : TPlotFunction(owner) {}
    void AddPoints(TChartSeries* source) override {
        for (int i = 0; source && i < source->PointCount(); ++i)
            ParentSeries()->AddPoint(source->XValueAt(i), 2 * source->YValueAt(i));
    }
};

TEST(SeriesFunction, ComputesFromTheSourceAndCanBeFreed) {
    TCustomAxisPanel chart(nullptr);
    TChartSeries src(nullptr), fn(nullptr);
    src.SetParentChart(&chart);
    fn.SetParentChart(&chart);
    src.AddPoint(1, 5);
    src.XValues()->SetDateTime(true);
    auto* doubler = new TDoubler(nullptr);
    fn.SetSeriesFunction(doubler);
    EXPECT_EQ(doubler->Owner(), &fn);
    fn.SetDataSource(&src);
    ASSERT_EQ(fn.PointCount(), 1);
    EXPECT_EQ(fn.YValueAt(0), 10);
    EXPECT_TRUE(fn.XValues()->DateTime());
    src.AddPoint(2, 7);  // a function series is refilled, not appended to
    EXPECT_EQ(fn.PointCount(), 1);
    src.SuspendNotify();
    src.ResumeNotify();
    EXPECT_EQ(fn.PointCount(), 2);
    delete doubler;
    EXPECT_EQ(fn.SeriesFunction(), nullptr);
    fn.SetSeriesFunction(new TDoubler(nullptr));  // the series frees it
}

TEST(SeriesTitle, FallsBackToNameAndPosition) {
    TCustomAxisPanel chart(nullptr);
    auto* a = new TChartSeries(&chart);
    auto* b = new TChartSeries(&chart);
    a->SetParentChart(&chart);
    b->SetParentChart(&chart);
    EXPECT_EQ(a->SeriesTitle(), "Series1");
    EXPECT_EQ(b->SeriesTitle(), "Series2");
    b->SetName("Points");
    EXPECT_EQ(b->SeriesTitle(), "Points");
    b->SetTitle("Shot");
    EXPECT_EQ(b->SeriesTitle(), "Shot");
    // a series added with the default colour takes the next free palette colour
    EXPECT_EQ(a->SeriesColor(), PaletteColor(0));
    EXPECT_EQ(b->SeriesColor(), PaletteColor(1));
}

struct SourceFixture : ::testing::Test {
    TCustomAxisPanel chart{nullptr};
    TChartSeries* points = new TChartSeries(&chart);
    TChartSeries* line = new TChartSeries(&chart);
    void SetUp() override {
        points->SetName("points");
        points->SetParentChart(&chart);
        line->SetParentChart(&chart);
        for (int i = 0; i < 3; ++i)
            points->AddPoint(i, i * i, i == 1 ? "one" : "", i == 2 ? clRed : SeriesDefaultColor);
    }
};

TEST_F(SourceFixture, DependentFollowsItsSource) {
    line->SetDataSource(points);
    EXPECT_EQ(line->DataSource(), points);
    EXPECT_EQ(Values(line->YValues()), (std::vector<double>{0, 1, 4}));
    EXPECT_EQ(line->PointLabels().Label(1), "one");
    EXPECT_EQ(line->PointColor(2), clRed);

    points->AddPoint(1.5, 9);
    EXPECT_EQ(Values(line->XValues()), (std::vector<double>{0, 1, 1.5, 2}));
    EXPECT_EQ(line->ColorListEntry(2), SeriesDefaultColor);  // the colour list stays parallel
    EXPECT_EQ(line->PointColor(3), clRed);

    points->DeletePoint(0);
    EXPECT_EQ(Values(line->XValues()), (std::vector<double>{1, 1.5, 2}));
    points->DeletePoints(0, 2);  // a range: the dependent is refilled
    EXPECT_EQ(Values(line->XValues()), (std::vector<double>{2}));

    line->SetSourceFollowFlags(sfAdd | sfDelete | sfModify);
    points->ClearPoints();
    EXPECT_EQ(line->PointCount(), 1);  // clearing not followed
    line->SetSourceFollowFlags(15);
    points->AddPoint(7, 7);
    points->ClearPoints();
    EXPECT_EQ(line->PointCount(), 0);
}

TEST_F(SourceFixture, SuspendedSourceRefillsOnceAndResumeIsBalanced) {
    line->SetDataSource(points);
    int refills = 0;
    line->OnClearValues = [&](TChartSeries*) { ++refills; };
    points->SuspendNotify();
    for (int i = 10; i < 20; ++i) points->AddPoint(i, i);
    EXPECT_EQ(line->PointCount(), 3);
    points->ResumeNotify();
    EXPECT_EQ(refills, 1);
    EXPECT_EQ(line->PointCount(), 13);
    points->ResumeNotify();  // unmatched
    EXPECT_EQ(points->UpdateDepth(), 0);
    points->AddPoint(30, 30);
    EXPECT_EQ(line->PointCount(), 14);
    line->OnClearValues = nullptr;
}

TEST_F(SourceFixture, FreeingTheSourceKeepsTheCopiedPoints) {
    line->SetDataSource(points);
    delete points;
    points = nullptr;
    EXPECT_EQ(line->DataSource(), nullptr);
    EXPECT_EQ(Values(line->XValues()), (std::vector<double>{0, 1, 2}));
    EXPECT_EQ(Values(line->YValues()), (std::vector<double>{0, 1, 4}));
    EXPECT_EQ(line->PointLabels().Label(1), "one");
    EXPECT_EQ(line->PointColor(2), clRed);
    EXPECT_EQ(chart.SeriesCount(), 1);
    // the copy is the series' own now: it grows and a later source replaces it
    line->AddPoint(3, 9);
    EXPECT_EQ(line->PointCount(), 4);
    auto* other = new TChartSeries(&chart);
    other->SetParentChart(&chart);
    other->AddPoint(5, 5);
    line->SetDataSource(other);
    EXPECT_EQ(Values(line->XValues()), (std::vector<double>{5}));
}

TEST_F(SourceFixture, DataSourceErrors) {
    TChartSeries orphan(nullptr);
    EXPECT_EQ(ExceptionText([&] { orphan.SetDataSource(points); }), "No ParentChart to validate DataSource");
    EXPECT_EQ(ExceptionText([&] { points->SetDataSource(points); }), "No valid DataSource: points");
    TComponent other(nullptr);
    other.SetName("other");
    EXPECT_EQ(ExceptionText([&] { line->SetDataSource(&other); }), "No valid DataSource: other");

    line->SetDataSource(points);
    EXPECT_EQ(ExceptionText([&] { points->SetDataSource(line); }), "Circular Series dependences are not allowed");
    auto* third = new TChartSeries(&chart);
    third->SetParentChart(&chart);
    third->SetDataSource(line);
    EXPECT_EQ(ExceptionText([&] { points->SetDataSource(third); }), "Circular Series dependences are not allowed");
    EXPECT_EQ(points->DataSource(), nullptr);
    EXPECT_EQ(points->PointCount(), 3);
}

TEST_F(SourceFixture, SetDataSourceToNoneDetaches) {
    line->SetDataSource(points);
    line->SetDataSource(nullptr);
    EXPECT_TRUE(points->Dependents().empty());
    EXPECT_EQ(line->PointCount(), 0);
    points->AddPoint(10, 10);
    EXPECT_EQ(line->PointCount(), 0);
}

TEST(SeriesSampleValues, FillsSortedPointsAndRejectsNegativeCounts) {
    TChartSeries s(nullptr);
    EXPECT_EQ(ExceptionText([&] { s.FillSampleValues(-1); }), "FillSampleValues NumValues must be > 0");
    s.FillSampleValues();
    EXPECT_EQ(s.PointCount(), 25);
    s.FillSampleValues(7);
    EXPECT_EQ(Values(s.XValues()), (std::vector<double>{0, 1, 2, 3, 4, 5, 6}));
    EXPECT_FALSE(s.ManualData());
}

TEST(SeriesZOrder, CountsInThreeDimensionsOnly) {
    TCustomAxisPanel chart(nullptr);
    TChartSeries a(nullptr), b(nullptr), c(nullptr);
    for (TChartSeries* s : {&a, &b, &c}) s->SetParentChart(&chart);
    c.SetZOrderSetting(5);
    chart.SetMaxZOrder(-1);
    chart.SetView3D(true);
    for (TChartSeries* s : {&a, &b, &c}) s->CalcZOrder();
    EXPECT_EQ(a.ComputedZOrder(), 0);
    EXPECT_EQ(b.ComputedZOrder(), 1);
    EXPECT_EQ(chart.MaxZOrder(), 5);
    EXPECT_EQ(c.ZOrder(), 5);
    chart.SetView3D(false);
    b.CalcZOrder();
    EXPECT_EQ(b.ComputedZOrder(), 0);
}

struct VisibleFixture : ::testing::Test {
    TCustomAxisPanel chart{nullptr};
    TChartSeries s{nullptr};
    void SetUp() override {
        s.SetParentChart(&chart);
        chart.SetPlotRect(Rect(0, 0, 100, 100));
        for (int i = 0; i < 10; ++i) s.AddPoint(i * 10, i);
    }
    void Range(double lo, double hi) {
        chart.BottomAxis()->SetAxisRange(lo, hi);
        chart.BottomAxis()->AdjustAxisRange();
        chart.BottomAxis()->CalcAxisPixels();
    }
};

TEST_F(VisibleFixture, CalcVisibleRangeNarrowsToTheAxis) {
    Range(25, 55);
    s.CalcVisibleRange();
    EXPECT_EQ(s.FirstVisible(), 3);
    EXPECT_EQ(s.LastVisible(), 5);
    s.SetDrawBetweenPoints(true);
    s.CalcVisibleRange();
    EXPECT_EQ(s.LastVisible(), 6);
    s.SetDrawBetweenPoints(false);
    chart.BottomAxis()->SetInverted(true);
    Range(25, 55);
    s.CalcVisibleRange();
    EXPECT_EQ(s.FirstVisible(), 3);
    EXPECT_EQ(s.LastVisible(), 5);
    chart.BottomAxis()->SetInverted(false);

    Range(0, 500);
    s.CalcVisibleRange();
    EXPECT_EQ(s.FirstVisible(), 0);
    EXPECT_EQ(s.LastVisible(), 9);

    // no point between the edges: the range is empty
    Range(25, 28);
    s.CalcVisibleRange();
    EXPECT_LT(s.LastVisible(), s.FirstVisible());

    Range(200, 300);
    s.CalcVisibleRange();
    EXPECT_EQ(s.FirstVisible(), -1);
    EXPECT_EQ(s.LastVisible(), -1);

    Range(25, 55);
    s.SetCalcVisiblePoints(false);
    s.CalcVisibleRange();
    EXPECT_EQ(s.FirstVisible(), 0);
    EXPECT_EQ(s.LastVisible(), 9);

    s.ClearPoints();
    s.CalcVisibleRange();
    EXPECT_EQ(s.FirstVisible(), -1);
    EXPECT_EQ(s.LastVisible(), -1);
}

TEST(ChartSeriesList, AddRemoveAndPaging) {
    TCustomAxisPanel chart(nullptr);
    auto* s = new TChartSeries(&chart);
    s->SetParentChart(&chart);
    s->SetParentChart(&chart);
    EXPECT_EQ(chart.SeriesCount(), 1);
    EXPECT_THROW(chart.Series(1), ChartException);
    for (int i = 0; i < 25; ++i) s->AddPoint(i, i);
    EXPECT_EQ(ExceptionText([&] { chart.SetMaxPointsPerPage(-1); }), "MaxPointsPerPage must be >= 0");
    chart.SetMaxPointsPerPage(10);
    EXPECT_EQ(chart.PageCount(), 3);
    chart.SetPage(7);
    EXPECT_EQ(chart.Page(), 3);
    chart.SetPage(0);
    EXPECT_EQ(chart.Page(), 1);
    TChartSeries stranger(nullptr);
    chart.RemoveSeries(&stranger);
    EXPECT_EQ(chart.SeriesCount(), 1);
    delete s;
    EXPECT_EQ(chart.SeriesCount(), 0);
}

}  // namespace

namespace {

TEST(SeriesPointData, RoundTripsEveryPart) {
    TChartSeries a(nullptr);
    a.AddValueList("Z");  // an extra coordinate
    a.SetSeriesColor(clBlue);
    for (int i = 0; i < 12000; ++i) {
        a.ValueLists()[2]->SetPendingValue(i * 0.5);
        // the deviations lie past the first points, where a partial check would miss them
        a.AddPoint(i < 11000 ? i : i + 0.25, i * 2.0, i == 11500 ? std::string(300, 'x') : "",
                   i == 11999 ? clRed : SeriesDefaultColor);
    }
    std::vector<std::uint8_t> data = a.WritePointData();
    ASSERT_EQ(data[0], 1 | 2 | 4 | 16);  // 16: the long label takes 4-byte lengths

    TChartSeries b(nullptr);
    b.AddValueList("Z");
    b.ReadPointData(data.data(), data.size());
    ASSERT_EQ(b.PointCount(), 12000);
    EXPECT_TRUE(b.ManualData());
    EXPECT_EQ(b.XValues()->ValueAt(11999), 11999.25);
    EXPECT_EQ(b.YValues()->ValueAt(11999), 23998);
    EXPECT_EQ(b.ValueLists()[2]->ValueAt(7), 3.5);
    EXPECT_EQ(b.ColorListEntry(11999), clRed);
    EXPECT_EQ(b.PointLabels().Label(11500), std::string(300, 'x'));  // kept whole

    TChartSeries plain(nullptr);
    for (int i = 0; i < 3; ++i) plain.AppendValue(i * 10);
    data = plain.WritePointData();
    EXPECT_EQ(data.size(), 1u + 4 + 3 * 8);
    EXPECT_EQ(data[0], 0);
    TChartSeries c(nullptr);
    c.SetValuesVertical(false);
    c.ReadPointData(data.data(), data.size());
    EXPECT_EQ(c.XValues()->ValueAt(2), 20);  // the primary values are X here
    EXPECT_EQ(c.YValues()->ValueAt(2), 2);
}

TEST(SeriesPointData, MalformedDataChangesNothing) {
    TChartSeries a(nullptr);
    for (int i = 0; i < 4; ++i) a.AddPoint(i * 3, i, "p");
    std::vector<std::uint8_t> good = a.WritePointData();
    TChartSeries b(nullptr);
    b.AddPoint(100, 100);
    for (std::size_t cut = 0; cut < good.size(); ++cut) {
        EXPECT_THROW(b.ReadPointData(good.data(), cut), ChartException) << cut;
        EXPECT_EQ(b.PointCount(), 1);
    }
    std::vector<std::uint8_t> huge = {0, 0xFF, 0xFF, 0xFF, 0x7F};
    EXPECT_THROW(b.ReadPointData(huge.data(), huge.size()), ChartException);
    std::vector<std::uint8_t> negative = {0, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_THROW(b.ReadPointData(negative.data(), negative.size()), ChartException);
    std::vector<std::uint8_t> marks = {8, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F};
    EXPECT_THROW(b.ReadPointData(marks.data(), marks.size()), ChartException);  // its 34 position bytes are missing
    marks.resize(marks.size() + 34);
    b.ReadPointData(marks.data(), marks.size());
    EXPECT_EQ(b.YValues()->ValueAt(0), 1);
}

TEST(SeriesAssign, CopiesSettingsAndPoints) {
    TCustomAxisPanel chart(nullptr);
    TChartSeries a(nullptr);
    a.SetParentChart(&chart);
    a.SetTitle("shot");
    a.SetValueFormat("0.0");
    a.SetVertAxis(aRightAxis);
    a.XValues()->SetDateTime(true);
    a.AddPoint(1, 2, "one", clRed);
    TChartSeries b(nullptr);
    b.SetParentChart(&chart);
    b.Assign(&a);
    EXPECT_EQ(b.Title(), "shot");
    EXPECT_EQ(b.GetVertAxis(), chart.RightAxis());
    EXPECT_TRUE(b.XValues()->DateTime());
    ASSERT_EQ(b.PointCount(), 1);
    EXPECT_EQ(b.PointColor(0), clRed);
    EXPECT_EQ(b.PointLabels().Label(0), "one");
    EXPECT_EQ(b.YValueText(0), "2.0");
    EXPECT_EQ(b.XValueText(0), FormatDateTime(ShortTimeFormat, 1));  // one day after the epoch: a time

    TChartSeries line(nullptr);
    line.SetParentChart(&chart);
    line.SetDataSource(&a);
    TChartSeries copy(nullptr);
    copy.SetParentChart(&chart);
    copy.Assign(&line);
    EXPECT_EQ(copy.DataSource(), &a);
}

// Fills its series with a count of points when active.
class TCountSource : public TPlotSeriesSource {
public:
    explicit TCountSource(TComponent* owner) : TPlotSeriesSource(owner) {}
    int Count = 3;
    void FillSeries() override {
        for (int i = 0; i < Count; ++i) Series()->AppendValue(i);
    }
};

TEST(SeriesSource, FillsWhenActiveAndLetsGo) {
    TCustomAxisPanel chart(nullptr);
    auto* s = new TChartSeries(&chart);
    s->SetParentChart(&chart);
    auto* src = new TCountSource(&chart);
    src->SetSeries(s);
    EXPECT_EQ(s->DataSource(), src);
    EXPECT_EQ(s->PointCount(), 0);
    src->Activate();
    EXPECT_EQ(s->PointCount(), 3);
    src->Count = 5;
    chart.RefreshSeriesData(s);
    EXPECT_EQ(s->PointCount(), 5);
    EXPECT_TRUE(src->FeedsSeries(s));
    src->Deactivate();
    EXPECT_EQ(s->PointCount(), 0);

    src->Activate();
    delete s;  // the source forgets the series
    EXPECT_EQ(src->Series(), nullptr);
    auto* t = new TChartSeries(&chart);
    t->SetParentChart(&chart);
    src->SetSeries(t);
    delete src;  // the series forgets the source
    EXPECT_EQ(t->DataSource(), nullptr);
}

class TStageTool : public TPlotCustomToolSeries {
public:
    explicit TStageTool(TComponent* owner) : TPlotCustomToolSeries(owner) {}
    std::vector<int> Stages;
    void ChartStageNotify(TChartToolStage stage) override { Stages.push_back(stage); }
};

TEST(ChartTools, JoinTheChartAndForgetFreedSeries) {
    TCustomAxisPanel chart(nullptr);
    auto* tool = new TStageTool(nullptr);
    tool->SetParentChart(&chart);
    EXPECT_EQ(chart.Tools().Count(), 1);
    EXPECT_EQ(tool->GetHorizAxis(), chart.BottomAxis());
    auto* s = new TChartSeries(nullptr);
    s->SetParentChart(&chart);
    s->SetHorizAxis(aTopAxis);
    tool->SetSeries(s);
    EXPECT_EQ(tool->GetHorizAxis(), chart.TopAxis());
    delete s;
    EXPECT_EQ(tool->Series(), nullptr);
    chart.NotifyTools(ctsBeforeDraw);
    tool->SetActive(false);
    chart.NotifyTools(ctsBeforeSeries);
    EXPECT_EQ(tool->Stages, (std::vector<int>{2}));
    EXPECT_EQ(tool->EditorClassName(), "TSeriesToolEditor");
    tool->SetParentChart(nullptr);
    EXPECT_EQ(chart.Tools().Count(), 0);
    tool->SetParentChart(&chart);  // the chart frees its tools
}

}  // namespace

namespace {

// Random edits on a source with two dependents: every list stays parallel,
// X stays sorted, and the dependents mirror the source.
TEST(SeriesInvariants, RandomEditsKeepListsParallel) {
    TCustomAxisPanel chart(nullptr);
    auto* src = new TChartSeries(&chart);
    auto* dep = new TChartSeries(&chart);
    auto* dep2 = new TChartSeries(&chart);
    for (TChartSeries* s : {src, dep, dep2}) s->SetParentChart(&chart);
    dep->SetDataSource(src);
    dep2->SetDataSource(dep);
    std::mt19937 rnd(7);
    auto check = [](const TChartSeries& s) {
        const int n = s.PointCount();
        ASSERT_EQ(s.YValues()->Count(), n);
        if (s.HasColorList()) {
            for (int i = 0; i < n; ++i) s.ColorListEntry(i);
        }
        EXPECT_LE(s.PointLabels().Count(), n);
        for (int i = 1; i < n; ++i) ASSERT_LE(s.XValues()->ValueAt(i - 1), s.XValues()->ValueAt(i));
    };
    for (int step = 0; step < 3000; ++step) {
        const int n = src->PointCount();
        switch (rnd() % 8) {
        case 0:
        case 1:
        case 2:
            src->AddPoint(rnd() % 50, rnd() % 100, rnd() % 5 == 0 ? "l" : "",
                          rnd() % 6 == 0 ? clRed : SeriesDefaultColor);
            break;
        case 3:
            if (n > 0) src->DeletePoint(static_cast<int>(rnd() % static_cast<unsigned>(n)));
            break;
        case 4:
            src->DeletePoints(static_cast<int>(rnd() % 20), static_cast<int>(rnd() % 5));
            break;
        case 5:
            if (n > 1) src->YValues()->SetOrder(loNone), src->SwapPoints(0, n - 1), src->XValues()->SortValues();
            break;
        case 6:
            src->SuspendNotify();
            src->AddPoint(rnd() % 50, 1);
            src->ResumeNotify();
            break;
        case 7:
            if (rnd() % 20 == 0) src->ClearPoints();
            break;
        }
        check(*src);
        check(*dep);
        ASSERT_EQ(dep->PointCount(), src->PointCount()) << step;
        ASSERT_EQ(dep2->PointCount(), src->PointCount()) << step;
        for (int i = 0; i < src->PointCount(); ++i) ASSERT_EQ(dep->ColorListEntry(i), src->ColorListEntry(i)) << step;
    }
    for (int i = 0; i < src->PointCount(); ++i) {
        EXPECT_EQ(dep->XValues()->ValueAt(i), src->XValues()->ValueAt(i));
        EXPECT_EQ(dep2->ColorListEntry(i), src->ColorListEntry(i));
        EXPECT_EQ(dep2->PointLabels().Label(i), src->PointLabels().Label(i));
    }
}

}  // namespace
