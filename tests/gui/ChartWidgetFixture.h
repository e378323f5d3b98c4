#pragma once
// A flat chart shown in its control's widget, driven by the toolkit's own mouse events.
// A test's fixture adds its series and axis ranges, then calls Show().

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QWidget>

#include "Chart.h"
#include "ChartAxis.h"
#include "ChartControl.h"

struct ChartWidgetFixture {
    ChartWidgetFixture() : control(chart) {
        chart.SetView3D(false);
        chart.Legend().SetVisible(false);
    }
    // Shows the widget at 500 x 400 and paints it once, so that the chart is laid out.
    void Show() {
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
    // A press holds its button, a move holds b without changing any, a release holds none.
    void Send(QEvent::Type type, Qt::MouseButton b, int x, int y) {
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(b);
        QMouseEvent e(type, QPointF(x, y), QPointF(x, y), type == QEvent::MouseMove ? Qt::NoButton : b, held,
                      Qt::NoModifier);
        QApplication::sendEvent(widget, &e);
    }
    void Press(int x, int y, Qt::MouseButton b = Qt::LeftButton) { Send(QEvent::MouseButtonPress, b, x, y); }
    void Move(int x, int y, Qt::MouseButton b = Qt::NoButton) { Send(QEvent::MouseMove, b, x, y); }
    void Release(int x, int y, Qt::MouseButton b = Qt::LeftButton) { Send(QEvent::MouseButtonRelease, b, x, y); }
    void Drag(int x0, int y0, int x1, int y1) {
        Press(x0, y0);
        Move(x1, y1, Qt::LeftButton);
        Release(x1, y1);
    }
    TPoint Pixel(double x, double y) const {
        return TPoint{chart.BottomAxis()->ValueToPixel(x), chart.LeftAxis()->ValueToPixel(y)};
    }
    TChart chart;
    TChartControl control;
    QWidget* widget = nullptr;
};

// The axis shows minimum .. maximum.
inline void ExpectRange(const TChartAxis* a, double minimum, double maximum) {
    EXPECT_NEAR(a->Minimum(), minimum, 1e-9);
    EXPECT_NEAR(a->Maximum(), maximum, 1e-9);
}
