#pragma once
// What a user does with a chart read from a form, short of changing it:
// paints, a zoom and its undo, wheel scrolls and their undo. None of
// it may change what the chart writes; the form tests and the form fuzzer
// compare the form written before with the one written after.

#include <memory>
#include <string>

#include "Chart.h"
#include "ChartControl.h"
#include "ChartFormData.h"

namespace formuse {

// Paints, zooms into the middle of the plot and undoes it, scrolls both ways and undoes that,
// painting between the steps; returns the form written afterwards.
inline std::string UseAndWrite(TCustomChart& chart, int width = 160, int height = 120) {
    const int width0 = chart.Width(), height0 = chart.Height();
    auto paint = [&] { (void)RenderToBitmap(chart, width, height); };
    paint();
    const TRect plot = chart.PlotRect();
    const int cx = (plot.Left + plot.Right) / 2, cy = (plot.Top + plot.Bottom) / 2;
    const int dx = (plot.Right - plot.Left) / 4, dy = (plot.Bottom - plot.Top) / 4;
    // through the chart's own zoom and wheel, not the mouse buttons, which a
    // tool under the pointer may take for itself (and change what it holds)
    TPlotZoom& zoom = chart.Zoom();
    zoom.X0 = cx - dx, zoom.Y0 = cy - dy, zoom.X1 = cx + dx, zoom.Y1 = cy + dy;
    chart.ZoomToRect();
    paint();
    chart.UndoZoom();
    paint();
    chart.MouseWheel(0, -120, cx, cy);
    paint();
    chart.MouseWheel(0, 240, cx, cy);
    paint();
    chart.UndoZoom();
    paint();
    // the size is the window's, which the paints above chose
    chart.SetSize(width0, height0);
    return WriteChartForm(chart);
}

}  // namespace formuse
