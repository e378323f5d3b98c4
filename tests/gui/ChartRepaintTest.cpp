// What a chart in its window shows while it changes: the frames of an animated zoom,
// a panel without a colour, and a colour line dragged without full repaints.

#include <gtest/gtest.h>

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QPalette>
#include <QWidget>
#include <cstdlib>

#include "Chart.h"
#include "ChartAxis.h"
#include "ChartControl.h"
#include "ChartToolsExtra.h"
#include "ChartWidgetFixture.h"
#include "LineSeries.h"

namespace {

const bool kWidgetApplication = (EnsureWidgetApplication(), true);

struct ShownChart : ChartWidgetFixture {
    ShownChart() {
        series = new TLineSeries(&chart);
        series->SetParentChart(&chart);
        for (int i = 0; i <= 10; ++i) series->AddPoint(i * 10, i * 10);
        Show();
    }
    // Pixels of the colour in a column of the plot, away from its edges.
    static int ColumnCount(const QImage& image, int x, const TRect& plot, QRgb color) {
        int n = 0;
        for (int y = plot.Top + 5; y < plot.Bottom - 5; ++y) n += (image.pixel(x, y) & 0xFFFFFF) == (color & 0xFFFFFF);
        return n;
    }
    // Saves a picture for a look at it when NARVI_SCREENSHOTS names a folder.
    static void Keep(const QImage& image, const char* name) {
        if (const char* dir = std::getenv("NARVI_SCREENSHOTS")) image.save(QString(dir) + "/" + name);
    }
    TLineSeries* series;
};

TEST(ChartRepaint, EveryStepOfAnAnimatedZoomIsPainted) {
    ASSERT_TRUE(kWidgetApplication);
    ShownChart c;
    c.chart.Zoom().Animated = true;
    c.chart.Zoom().AnimatedSteps = 8;
    const int before = c.control.PaintCount();
    c.chart.ZoomToValues(0, 1, 60, 70, 40, 50, 0, 1);
    // seven frames on the way, painted before the zoom returns
    EXPECT_EQ(c.control.PaintCount() - before, 7);
}

TEST(ChartRepaint, APanelWithoutColourShowsTheWindowBehindIt) {
    ShownChart c;
    QPalette palette = c.widget->palette();
    palette.setColor(QPalette::Window, QColor(0, 200, 0));
    c.widget->setPalette(palette);
    c.chart.SetColor(clNone);
    c.chart.BackWall().SetTransparent(true);
    c.chart.BottomAxis()->SetAxisRange(0, 100);
    c.chart.LeftAxis()->SetAxisRange(0, 100);
    c.Paint();
    c.series->ClearPoints();
    c.series->AddPoint(20, 0);
    c.series->AddPoint(20, 100);
    c.series->SetSeriesColor(clRed);
    const QImage first = c.Paint();
    const int x = c.chart.BottomAxis()->ValueToPixel(20);
    const TRect plot = c.chart.PlotRect();
    ASSERT_GT(ShownChart::ColumnCount(first, x, plot, qRgb(255, 0, 0)), 100);
    c.series->XValues()->SetValue(0, 70);
    c.series->XValues()->SetValue(1, 70);
    c.series->RepaintChart();
    const QImage moved = c.Paint();
    ShownChart::Keep(moved, "transparent-panel.png");
    EXPECT_EQ(ShownChart::ColumnCount(moved, x, plot, qRgb(255, 0, 0)), 0);
    EXPECT_GT(ShownChart::ColumnCount(moved, x, plot, qRgb(0, 200, 0)), 100);
}

TEST(ChartRepaint, AColourLineDraggedWithTheMouseShowsWhereItIs) {
    ShownChart c;
    c.chart.SetColor(clWhite);
    c.chart.BottomAxis()->SetAxisRange(0, 100);
    c.chart.LeftAxis()->SetAxisRange(0, 100);
    const QImage without = c.Paint();
    auto* line = new TColorLineTool(&c.chart);
    line->SetAxis(c.chart.BottomAxis());
    line->Pen()->SetColor(clBlue);
    line->Pen()->SetWidth(1);
    line->SetValue(30);
    c.Paint();
    const TRect plot = c.chart.PlotRect();
    const int y = plot.Top + 20;
    const int from = c.chart.BottomAxis()->ValueToPixel(30);
    c.Press(from, y);
    QImage image;
    for (double to : {45.0, 65.0, 55.0}) {
        SCOPED_TRACE(to);
        const int x = c.chart.BottomAxis()->ValueToPixel(to);
        c.Move(x, y, Qt::LeftButton);
        image = c.Paint();
        EXPECT_GT(ShownChart::ColumnCount(image, x, plot, qRgb(0, 0, 255)), 100);
        EXPECT_EQ(ShownChart::ColumnCount(image, from, plot, qRgb(0, 0, 255)), 0);
        // where the line stood, the grid and series show again as they were
        for (int row = plot.Top + 5; row < plot.Bottom - 5; ++row)
            ASSERT_EQ(image.pixel(from, row), without.pixel(from, row)) << row;
    }
    ShownChart::Keep(image, "colour-line-drag.png");
    c.Release(c.chart.BottomAxis()->ValueToPixel(55), y);
    EXPECT_NEAR(line->Value(), 55, 0.5);
}

}  // namespace
