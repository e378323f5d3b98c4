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
#include "ChartWidgetFixture.h"
#include "LineSeries.h"

namespace {

const bool kWidgetApplication = (EnsureWidgetApplication(), true);

struct ChartInControl : ChartWidgetFixture {
    ChartInControl() {
        auto* s = new TLineSeries(&chart);
        s->SetParentChart(&chart);
        for (int i = 0; i <= 10; ++i) s->AddPoint(i * 10, i * 10);
        Show();
    }
    // Sizes the widget so that the bottom axis spans exactly 400 pixels.
    void FitBottomAxis() {
        for (int round = 0; round < 5 && chart.BottomAxis()->AxisLength() != 400; ++round) {
            widget->resize(widget->width() + 400 - chart.BottomAxis()->AxisLength(), 400);
            Paint();
        }
        ASSERT_EQ(chart.BottomAxis()->AxisLength(), 400);
    }
    void Wheel(int delta) {
        QWheelEvent e(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
        QApplication::sendEvent(widget, &e);
    }
};

TEST(ChartMouse, RightDragPansTheAxes) {
    ASSERT_TRUE(kWidgetApplication);
    ChartInControl c;
    c.chart.BottomAxis()->SetAxisRange(0, 100);
    c.chart.LeftAxis()->SetAxisRange(0, 100);
    c.FitBottomAxis();
    const TPoint p = c.chart.PlotCenter();
    c.Press(p.x, p.y, Qt::RightButton);
    c.Move(p.x + 10, p.y, Qt::RightButton);
    c.Release(p.x + 10, p.y, Qt::RightButton);
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

// The 3 % step belongs to a notch of 120 units, however the wheel or touch pad
// cuts the notches into events.
TEST(ChartMouse, WheelStepsOncePerNotch) {
    ChartInControl c;
    c.chart.LeftAxis()->SetAxisRange(0, 100);
    for (int i = 0; i < 7; ++i) c.Wheel(-15);
    ExpectRange(c.chart.LeftAxis(), 0, 100);  // seven eighths of a notch
    c.Wheel(-15);
    ExpectRange(c.chart.LeftAxis(), 3, 103);
    c.Wheel(-240);  // two notches in one event
    ExpectRange(c.chart.LeftAxis(), 9, 109);

    // turning back takes back what is left of a notch
    c.Wheel(-60);
    c.Wheel(60);
    c.Wheel(-90);
    ExpectRange(c.chart.LeftAxis(), 9, 109);
    c.Wheel(-30);
    ExpectRange(c.chart.LeftAxis(), 12, 112);
    c.Wheel(300);  // two and a half notches up: the half waits
    ExpectRange(c.chart.LeftAxis(), 6, 106);
    c.Wheel(60);
    ExpectRange(c.chart.LeftAxis(), 3, 103);
}

TEST(ChartMouse, LeftDragZoomsAndTheBandLeavesNoTrace) {
    ChartInControl c;
    c.chart.Zoom().Pen().SetColor(clBlack);
    const TPoint p = c.chart.PlotCenter();
    const QImage before = c.Paint();
    c.Press(p.x, p.y, Qt::LeftButton);
    c.Move(p.x + 16, p.y + 16, Qt::LeftButton);
    const QImage banded = c.Paint();
    EXPECT_NE(banded, before) << "the band shows while dragging";
    c.Release(p.x + 16, p.y + 16, Qt::LeftButton);
    EXPECT_FALSE(c.chart.Zoomed());
    EXPECT_EQ(c.Paint(), before) << "drawn twice, the band is gone";

    c.Press(p.x, p.y, Qt::LeftButton);
    c.Move(p.x + 17, p.y + 17, Qt::LeftButton);
    c.Release(p.x + 17, p.y + 17, Qt::LeftButton);
    EXPECT_TRUE(c.chart.Zoomed());
    EXPECT_FALSE(c.chart.BottomAxis()->Automatic());

    c.Paint();
    c.Press(p.x, p.y, Qt::LeftButton);
    c.Move(p.x - 40, p.y - 40, Qt::LeftButton);
    c.Release(p.x - 40, p.y - 40, Qt::LeftButton);
    EXPECT_FALSE(c.chart.Zoomed());
    EXPECT_TRUE(c.chart.BottomAxis()->Automatic());
}

}  // namespace
