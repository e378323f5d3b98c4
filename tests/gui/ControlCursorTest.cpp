// The control shows the pointer its host asks for, the chart's own hand included, and
// stops taking requests when it goes.

#include <gtest/gtest.h>

#include <QWidget>

#include "ChartControl.h"

namespace {

struct QuietHost : TPaintHost {
    void HostPaint(TCanvas&, const TRect&) override {}
    void HostResize(int, int) override {}
    void HostSetParented(bool) override {}
    void HostMouseDown(TMouseButton, TShiftState, int, int) override {}
    void HostMouseUp(TMouseButton, TShiftState, int, int) override {}
    void HostMouseMove(TShiftState, int, int) override {}
    bool HostMouseWheel(TShiftState, int, int, int) override { return false; }
    void HostMouseLeave() override {}
};

TEST(ControlCursor, ShowsTheHostsPointer) {
    EnsureWidgetApplication();
    QuietHost host;
    {
        TChartControl control(host);
        ASSERT_TRUE(host.RequestCursor);
        for (auto [cursor, shape] : {std::pair{crChartHand, Qt::OpenHandCursor},
                                     {crHandPoint, Qt::PointingHandCursor},
                                     {crCross, Qt::CrossCursor},
                                     {crDefault, Qt::ArrowCursor}}) {
            host.RequestCursor(cursor);
            EXPECT_EQ(control.Widget()->cursor().shape(), shape) << cursor;
        }
    }
    EXPECT_FALSE(host.RequestCursor);
}

}  // namespace
