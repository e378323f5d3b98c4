// Presses on the markers of a series in a chart in its control, driven by the
// toolkit's own pointer moves and clicks.

#include <gtest/gtest.h>

#include <QTest>
#include <vector>

#include "ChartWidgetFixture.h"
#include "LineSeries.h"
#include "SeriesMarks.h"

namespace {

const bool kWidgetApplication = (EnsureWidgetApplication(), true);

TEST(PointerClick, OnePerClickOnAMarkerNoneOnMoves) {
    ASSERT_TRUE(kWidgetApplication);
    ChartWidgetFixture c;
    auto* series = new TLineSeries(&c.chart);
    series->SetParentChart(&c.chart);
    series->Pointer().SetVisible(true);
    for (int i = 0; i <= 10; ++i) series->AddPoint(i * 10, i * 10);
    c.chart.BottomAxis()->SetAxisRange(0, 100);
    c.chart.LeftAxis()->SetAxisRange(0, 100);
    std::vector<int> clicks;
    series->OnClickPointer = [&](TChartSeries*, int index, int, int) { clicks.push_back(index); };
    // enter/leave handlers make the chart test the series on every move
    int entered = 0;
    series->OnMouseEnter = [&](TChartSeries*) { ++entered; };
    c.Show();
    auto at = [&](double x, double y) { return QPoint(c.Pixel(x, y).x, c.Pixel(x, y).y); };

    for (const QPoint d : {QPoint(0, 0), QPoint(2, 0), QPoint(0, 2)}) QTest::mouseMove(c.widget, at(50, 50) + d);
    EXPECT_EQ(entered, 1) << "the moves reached the series";
    EXPECT_TRUE(clicks.empty());

    // OnClickPointer alone makes the series take clicks; the line and the empty plot are no marker
    for (const QPoint p : {at(30, 30) + QPoint(2, -2), at(55, 55), at(80, 20)})
        QTest::mouseClick(c.widget, Qt::LeftButton, Qt::NoModifier, p);
    EXPECT_EQ(clicks, (std::vector<int>{3}));

    // with OnClick too, each handler hears the click once
    int own = 0;
    series->OnClick = [&](TChartSeries*, int, TMouseButton, TShiftState, int, int) { ++own; };
    QTest::mouseClick(c.widget, Qt::LeftButton, Qt::NoModifier, at(70, 70));
    EXPECT_EQ(clicks, (std::vector<int>{3, 7}));
    EXPECT_EQ(own, 1);
}

// Nothing is drawn for a null point nor for the segments that end on it: clicks there
// reach the chart, which starts its zoom.
TEST(PointerClick, NoneOnANullPointNorOnTheSegmentsItBreaks) {
    ASSERT_TRUE(kWidgetApplication);
    ChartWidgetFixture c;
    auto* series = new TLineSeries(&c.chart);
    series->SetParentChart(&c.chart);
    series->Pointer().SetVisible(true);
    for (int i = 0; i <= 4; ++i) {
        if (i == 2)
            series->AddNullPoint(i * 25, 50);
        else
            series->AddPoint(i * 25, 50);
    }
    c.chart.BottomAxis()->SetAxisRange(0, 100);
    c.chart.LeftAxis()->SetAxisRange(0, 100);
    std::vector<int> clicks;
    int own = 0;
    series->OnClickPointer = [&](TChartSeries*, int index, int, int) { clicks.push_back(index); };
    // the series' handler takes every click it hears, so no zoom starts there
    series->OnClick = [&](TChartSeries*, int index, TMouseButton, TShiftState, int, int) {
        own += 10 + index;
        c.chart.CancelMouse = true;
    };
    c.Show();
    auto at = [&](double x, double y) { return QPoint(c.Pixel(x, y).x, c.Pixel(x, y).y); };

    for (const QPoint p : {at(50, 50), at(37.5, 50), at(62.5, 50)})
        QTest::mouseClick(c.widget, Qt::LeftButton, Qt::NoModifier, p);
    EXPECT_TRUE(clicks.empty());
    EXPECT_EQ(own, 0);
    // the drawn segment and markers beside it still take clicks
    QTest::mouseClick(c.widget, Qt::LeftButton, Qt::NoModifier, at(12.5, 50));
    QTest::mouseClick(c.widget, Qt::LeftButton, Qt::NoModifier, at(75, 50));
    EXPECT_EQ(clicks, (std::vector<int>{3}));
    EXPECT_EQ(own, 10 + 0 + 10 + 3);

    const QPoint from = at(50, 50);
    QTest::mousePress(c.widget, Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(c.widget, from + QPoint(40, 40));
    QTest::mouseRelease(c.widget, Qt::LeftButton, Qt::NoModifier, from + QPoint(40, 40));
    EXPECT_TRUE(c.chart.Zoomed());
}

// A mark takes presses on its box only while drawn there: once its point has scrolled away,
// or the whole series out of sight, the old box answers nothing and a drag from it zooms.
TEST(PointerClick, OnlyTheMarksOfTheLastPaintTakeClicks) {
    ASSERT_TRUE(kWidgetApplication);
    ChartWidgetFixture c;
    auto* series = new TLineSeries(&c.chart);
    series->SetParentChart(&c.chart);
    for (int i = 0; i <= 10; ++i) series->AddPoint(i, 5 + i % 3);
    series->Marks().SetVisible(true);
    c.chart.OnClickSeries = [](TCustomChart*, TChartSeries*, int, TMouseButton, TShiftState, int, int) {};
    c.chart.BottomAxis()->SetAxisRange(0, 10);
    c.chart.LeftAxis()->SetAxisRange(0, 10);
    c.Show();
    auto middle = [&](int i) {
        const TRect b = series->Marks().Positions().Position(i)->Bounds();
        return TPoint{(b.Left + b.Right) / 2, (b.Top + b.Bottom) / 2};
    };
    const TPoint one = middle(1);
    EXPECT_EQ(series->Marks().MarkAtPixel(one.x, one.y), 1);
    c.Drag(one.x, one.y, one.x + 60, one.y + 60);
    EXPECT_FALSE(c.chart.Zoomed()) << "the drawn mark holds the press";

    c.chart.BottomAxis()->SetAxisRange(5, 10);
    c.Paint();
    const TPoint six = middle(6);
    EXPECT_EQ(series->Marks().MarkAtPixel(one.x, one.y), -1);
    EXPECT_EQ(series->Marks().MarkAtPixel(six.x, six.y), 6);
    c.chart.BottomAxis()->SetAxisRange(20, 30);
    c.Paint();
    EXPECT_EQ(series->Marks().MarkAtPixel(six.x, six.y), -1);
    c.Drag(one.x, one.y, one.x + 60, one.y + 60);
    EXPECT_TRUE(c.chart.Zoomed());
}

}  // namespace
