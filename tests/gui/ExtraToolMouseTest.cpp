// The nearest-point, colour-line, rotate and mark-tip tools in a chart in its
// control, driven by the toolkit's own mouse events.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QMouseEvent>
#include <QToolTip>
#include <QWidget>

#include "Chart.h"
#include "ChartAxis.h"
#include "ChartControl.h"
#include "ChartToolsExtra.h"
#include "ChartWidgetFixture.h"
#include "LineSeries.h"

namespace {

const bool kWidgetApplication = (EnsureWidgetApplication(), true);

struct ExtraChart : ChartWidgetFixture {
    ExtraChart() {
        series = new TPointSeries(&chart);
        series->SetParentChart(&chart);
        for (int i = 0; i <= 10; ++i) series->AddPoint(i * 10, i * 10, "p" + std::to_string(i));
        chart.BottomAxis()->SetAxisRange(0, 100);
        chart.LeftAxis()->SetAxisRange(0, 100);
        Show();
    }
    TPointSeries* series = nullptr;
};

TEST(NearestTool, FollowsTheMouse) {
    ASSERT_TRUE(kWidgetApplication);
    for (bool full : {true, false}) {
        SCOPED_TRACE(full ? "full repaint" : "exclusive-or marker");
        ExtraChart c;
        auto* tool = new TNearestTool(&c.chart);
        tool->SetSeries(c.series);
        tool->SetFullRepaint(full);
        tool->SetParentChart(&c.chart);
        int changes = 0;
        tool->OnChange = [&](TObject*) { ++changes; };
        c.Paint();
        const int invalidates = c.chart.InvalidateCount();
        const TPoint p = c.Pixel(30, 30);
        c.Move(p.x + 4, p.y - 3);
        EXPECT_EQ(tool->Point(), 3);
        EXPECT_EQ(changes, 1);
        EXPECT_EQ(c.chart.InvalidateCount() > invalidates, full);
        c.Paint();
    }
}

TEST(ColorLineTool, DraggedWithinTheAxis) {
    ExtraChart c;
    auto* tool = new TColorLineTool(&c.chart);
    tool->SetAxis(c.chart.BottomAxis());
    tool->SetStyle(clMaximum);
    int drags = 0, ends = 0;
    tool->OnDragLine = [&](TColorLineTool*) { ++drags; };
    tool->OnEndDragLine = [&](TColorLineTool*) { ++ends; };
    c.Paint();
    const TPoint top = c.Pixel(100, 50);
    c.Move(top.x - 1, top.y);
    EXPECT_EQ(c.widget->cursor().shape(), Qt::SplitHCursor);
    c.Press(top.x - 1, top.y);
    EXPECT_TRUE(tool->Dragging());
    const TPoint to = c.Pixel(40, 50);
    c.Move(to.x, to.y, Qt::LeftButton);
    EXPECT_EQ(tool->Style(), clCustom);
    EXPECT_NEAR(tool->Value(), c.chart.BottomAxis()->PixelToValue(to.x), 1e-9);
    c.Move(to.x + 5000, to.y, Qt::LeftButton);  // far beyond the axis' end
    EXPECT_NEAR(tool->Value(), c.chart.BottomAxis()->PixelToValue(c.chart.BottomAxis()->EndPixel()), 1e-9);
    c.Release(to.x, to.y);
    EXPECT_FALSE(tool->Dragging());
    EXPECT_EQ(drags, 2);
    EXPECT_EQ(ends, 1);
    EXPECT_FALSE(c.chart.Zoomed());
}

// The column of the plot's middle row that holds the colour, -1 when none.
int ColumnOf(const QImage& image, const TChart& chart, QRgb colour) {
    const TRect& plot = chart.PlotRect();
    const int y = (plot.Top + plot.Bottom) / 2;
    for (int x = plot.Left + 2; x < plot.Right - 1; ++x)
        if ((image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF)) return x;
    return -1;
}

// A line standing at the axis' end, given the value it had stored, moves to that value.
TEST(ColorLineTool, SettingTheStoredValueMovesALineOffTheAxisEnd) {
    ExtraChart c;
    auto* tool = new TColorLineTool(&c.chart);
    tool->SetAxis(c.chart.BottomAxis());
    tool->Pen()->SetColor(RGB(0x12, 0x34, 0x56));
    tool->SetValue(30);
    tool->SetStyle(clCenter);
    const QRgb ink = qRgb(0x12, 0x34, 0x56);
    EXPECT_EQ(ColumnOf(c.Paint(), c.chart, ink), c.Pixel(50, 50).x);
    const int invalidates = c.chart.InvalidateCount();
    tool->SetValue(30);
    EXPECT_EQ(tool->Style(), clCustom);
    EXPECT_GT(c.chart.InvalidateCount(), invalidates);
    EXPECT_EQ(ColumnOf(c.Paint(), c.chart, ink), c.Pixel(30, 50).x);
    // the same value in the same style changes nothing
    const int settled = c.chart.InvalidateCount();
    tool->SetValue(30);
    EXPECT_EQ(c.chart.InvalidateCount(), settled);
}

TEST(RotateTool, DragTurnsTheView) {
    ExtraChart c;
    auto* tool = new TRotateTool(&c.chart);
    tool->SetParentChart(&c.chart);
    int rotations = 0;
    tool->OnRotate = [&](TRotateTool*) { ++rotations; };
    c.chart.View3DOptions().SetRotation(350);
    c.chart.View3DOptions().SetElevation(350);
    c.Paint();
    c.Press(100, 100);
    for (int i = 1; i <= 30; ++i) {
        c.Move(100 + 20 * i, 100 - 20 * i, Qt::LeftButton);
        const int r = c.chart.View3DOptions().Rotation(), e = c.chart.View3DOptions().Elevation();
        EXPECT_FALSE(r >= 91 && r <= 269) << r;
        EXPECT_TRUE(e >= 270 && e <= 360) << e;
    }
    c.Release(700, 100);
    EXPECT_TRUE(c.chart.View3D());
    EXPECT_FALSE(c.chart.View3DOptions().Orthogonal());
    EXPECT_EQ(rotations, 30);
    EXPECT_FALSE(c.chart.Zoomed());
    c.Paint();
}

TEST(MarksTipTool, HintShowsTheMarkText) {
    ExtraChart c;
    auto* tool = new TMarksTipTool(&c.chart);
    tool->SetParentChart(&c.chart);
    tool->OnGetText = [](TMarksTipTool*, std::string& text) { text += "!"; };
    const TPoint p = c.Pixel(40, 40);
    c.Move(p.x + 1, p.y);
    EXPECT_EQ(c.chart.Hint(), "p4!");
    tool->SetStyle(smsValue);
    c.Move(p.x, p.y + 1);
    EXPECT_EQ(c.chart.Hint(), "40!");
    c.Move(5, 5);
    EXPECT_EQ(c.chart.Hint(), "");
    EXPECT_EQ(c.series->Marks().Style(), smsLabel);
    // the control shows the hint once the mouse has rested for the pause
    tool->SetMouseDelay(0);
    c.Move(p.x + 1, p.y);
    QApplication::processEvents();
    EXPECT_EQ(QToolTip::text().toStdString(), "40!");
    tool->SetMouseDelay(500);
    EXPECT_EQ(tool->MouseDelay(), 500);
}

}  // namespace
