// A chart in its control, driven by the toolkit's own mouse and wheel events.

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>

#include "Chart.h"
#include "ChartAxis.h"
#include "ChartControl.h"
#include "LineSeries.h"

namespace {

const bool kWidgetApplication = (EnsureWidgetApplication(), true);

struct ChartInControl {
    ChartInControl() : control(chart) {
        chart.SetView3D(false);
        chart.Legend().SetVisible(false);
        auto* s = new TLineSeries(&chart);
        s->SetParentChart(&chart);
        for (int i = 0; i <= 10; ++i) s->AddPoint(i * 10, i * 10);
        widget = control.Widget();
        widget->resize(500, 400);
        widget->show();
        Paint();
    }
    // Paints the widget, so that the chart lays itself out at the widget's size.
    QImage Paint() {
        QApplication::processEvents();
        return widget->grab().toImage();
    }
    // Sizes the widget so that the bottom axis spans exactly 400 pixels.
    void FitBottomAxis() {
        for (int round = 0; round < 5 && chart.BottomAxis()->AxisLength() != 400; ++round) {
            widget->resize(widget->width() + 400 - chart.BottomAxis()->AxisLength(), 400);
            Paint();
        }
        ASSERT_EQ(chart.BottomAxis()->AxisLength(), 400);
    }
    void Press(Qt::MouseButton b, int x, int y) {
        QMouseEvent e(QEvent::MouseButtonPress, QPointF(x, y), QPointF(x, y), b, b, Qt::NoModifier);
        QApplication::sendEvent(widget, &e);
    }
    void Move(Qt::MouseButton b, int x, int y) {
        QMouseEvent e(QEvent::MouseMove, QPointF(x, y), QPointF(x, y), Qt::NoButton, b, Qt::NoModifier);
        QApplication::sendEvent(widget, &e);
    }
    void Release(Qt::MouseButton b, int x, int y) {
        QMouseEvent e(QEvent::MouseButtonRelease, QPointF(x, y), QPointF(x, y), b, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &e);
    }
    void Wheel(int delta) {
        QWheelEvent e(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
        QApplication::sendEvent(widget, &e);
    }
    TChart chart;
    TChartControl control;
    QWidget* widget = nullptr;
};

void ExpectRange(const TChartAxis* a, double minimum, double maximum) {
    EXPECT_NEAR(a->Minimum(), minimum, 1e-9);
    EXPECT_NEAR(a->Maximum(), maximum, 1e-9);
}

TEST(ChartMouse, RightDragPansTheAxes) {
    ASSERT_TRUE(kWidgetApplication);
    ChartInControl c;
    c.chart.BottomAxis()->SetAxisRange(0, 100);
    c.chart.LeftAxis()->SetAxisRange(0, 100);
    c.FitBottomAxis();
    const TPoint p = c.chart.PlotCenter();
    c.Press(Qt::RightButton, p.x, p.y);
    c.Move(Qt::RightButton, p.x + 10, p.y);
    c.Release(Qt::RightButton, p.x + 10, p.y);
    ExpectRange(c.chart.BottomAxis(), -2.5, 97.5);
    ExpectRange(c.chart.LeftAxis(), 0, 100);
}

TEST(ChartMouse, WheelScrollsVerticalAxesAndUndoBringsBackAutomaticRanges) {
    ChartInControl c;
    c.chart.LeftAxis()->SetAxisRange(0, 100);
    c.Wheel(-120);
    ExpectRange(c.chart.LeftAxis(), 3, 103);
    c.Wheel(120);
    c.Wheel(120);
    ExpectRange(c.chart.LeftAxis(), -3, 97);
    EXPECT_TRUE(c.chart.BottomAxis()->Automatic());

    ChartInControl automatic;
    automatic.Wheel(-120);
    EXPECT_FALSE(automatic.chart.LeftAxis()->Automatic());
    automatic.chart.UndoZoom();
    EXPECT_TRUE(automatic.chart.LeftAxis()->Automatic());
}

TEST(ChartMouse, LeftDragZoomsAndTheBandLeavesNoTrace) {
    ChartInControl c;
    c.chart.Zoom().Pen().SetColor(clBlack);
    const TPoint p = c.chart.PlotCenter();
    const QImage before = c.Paint();
    c.Press(Qt::LeftButton, p.x, p.y);
    c.Move(Qt::LeftButton, p.x + 16, p.y + 16);
    const QImage banded = c.Paint();
    EXPECT_NE(banded, before) << "the band shows while dragging";
    c.Release(Qt::LeftButton, p.x + 16, p.y + 16);
    EXPECT_FALSE(c.chart.Zoomed());
    EXPECT_EQ(c.Paint(), before) << "drawn twice, the band is gone";

    c.Press(Qt::LeftButton, p.x, p.y);
    c.Move(Qt::LeftButton, p.x + 17, p.y + 17);
    c.Release(Qt::LeftButton, p.x + 17, p.y + 17);
    EXPECT_TRUE(c.chart.Zoomed());
    EXPECT_FALSE(c.chart.BottomAxis()->Automatic());

    c.Paint();
    c.Press(Qt::LeftButton, p.x, p.y);
    c.Move(Qt::LeftButton, p.x - 40, p.y - 40);
    c.Release(Qt::LeftButton, p.x - 40, p.y - 40);
    EXPECT_FALSE(c.chart.Zoomed());
    EXPECT_TRUE(c.chart.BottomAxis()->Automatic());
}

}  // namespace
