// Clicks on the markers of a series in a chart in its control, driven by the
// toolkit's own pointer moves and clicks.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QWidget>

#include <vector>

#include "Chart.h"
#include "ChartAxis.h"
#include "ChartControl.h"
#include "ChartWidgetFixture.h"
#include "LineSeries.h"

namespace {

const bool kWidgetApplication = (EnsureWidgetApplication(), true);

// A line with markers through (0, 0) .. (100, 100) with fixed axes, which
// counts every OnClickPointer it raises.
struct MarkerChart : ChartWidgetFixture {
    MarkerChart() {
        series = new TLineSeries(&chart);
        series->SetParentChart(&chart);
        series->Pointer().SetVisible(true);
        for (int i = 0; i <= 10; ++i) series->AddPoint(i * 10, i * 10);
        chart.BottomAxis()->SetAxisRange(0, 100);
        chart.LeftAxis()->SetAxisRange(0, 100);
        series->OnClickPointer = [this](TChartSeries*, int index, int, int) { clicks.push_back(index); };
        Show();
    }
    QPoint At(double x, double y) const {
        const TPoint p = Pixel(x, y);
        return QPoint(p.x, p.y);
    }
    TLineSeries* series = nullptr;
    std::vector<int> clicks;
};

TEST(PointerClick, MovesOverAMarkerRaiseNothing) {
    ASSERT_TRUE(kWidgetApplication);
    MarkerChart c;
    // a pointer of its own and enter/leave handlers make the chart test the series on every move
    int entered = 0;
    c.series->SetCursor(crHandPoint);
    c.series->OnMouseEnter = [&](TChartSeries*) { ++entered; };
    c.series->OnMouseLeave = [](TChartSeries*) {};
    const QPoint marker = c.At(50, 50);
    QTest::mouseMove(c.widget, marker);
    QTest::mouseMove(c.widget, marker + QPoint(2, 0));
    QTest::mouseMove(c.widget, marker + QPoint(0, 2));
    EXPECT_EQ(entered, 1) << "the moves were seen over the series";
    EXPECT_TRUE(c.clicks.empty());
}

TEST(PointerClick, OneEventPerClickOnAMarker) {
    MarkerChart c;
    QTest::mouseClick(c.widget, Qt::LeftButton, Qt::NoModifier, c.At(30, 30) + QPoint(2, -2));
    EXPECT_EQ(c.clicks, (std::vector<int>{3})) << "OnClickPointer alone makes the series take clicks";

    // the line between markers, and the empty plot, are no marker
    QTest::mouseClick(c.widget, Qt::LeftButton, Qt::NoModifier, c.At(55, 55));
    QTest::mouseClick(c.widget, Qt::LeftButton, Qt::NoModifier, c.At(80, 20));
    EXPECT_EQ(c.clicks, (std::vector<int>{3}));

    // with OnClick too, each handler hears the click once
    int own = 0;
    c.series->OnClick = [&](TChartSeries*, int index, TMouseButton, TShiftState, int, int) {
        EXPECT_EQ(index, 7);
        ++own;
    };
    QTest::mouseClick(c.widget, Qt::LeftButton, Qt::NoModifier, c.At(70, 70));
    EXPECT_EQ(c.clicks, (std::vector<int>{3, 7}));
    EXPECT_EQ(own, 1);

    // an inactive series takes no clicks
    c.series->SetActive(false);
    c.Paint();
    QTest::mouseClick(c.widget, Qt::LeftButton, Qt::NoModifier, c.At(70, 70));
    EXPECT_EQ(c.clicks, (std::vector<int>{3, 7}));
}

}  // namespace
