#pragma once
// What a user does with a chart read from a form, short of changing it:
// paints, a zoom and its undo, panning, wheel scrolls and their undo, all
// with the mouse through the handlers the chart's control calls. None of it
// may change what the chart writes; the form tests and the form fuzzer
// compare the form written before with the one written after.

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Chart.h"
#include "ChartControl.h"
#include "ChartFormData.h"
#include "ChartLegend.h"
#include "ChartTools.h"

namespace formuse {

// The tools are off while the mouse acts: what a tool does with the mouse
// (a cursor that follows it, a line drawn) is the user changing that tool.
// They are on again for the paints, which they take part in.
template <class F>
void WithoutTools(TCustomChart& chart, F&& act) {
    std::vector<TPlotCustomTool*> off;
    for (int i = 0; i < chart.Tools().Count(); ++i) {
        TPlotCustomTool* t = chart.Tools()[i];
        if (t->Active()) off.push_back(t), t->SetActive(false);
    }
    act();
    for (TPlotCustomTool* t : off)
        if (chart.Tools().IndexOf(t) >= 0) t->SetActive(true);
}

// Paints, zooms into the plot with the zoom button and undoes it with the
// reverse drag, pans with the scroll button, turns the wheel both ways and
// undoes that, painting between the steps; returns the form written afterwards.
inline std::string UseAndWrite(TCustomChart& chart, int width = 160, int height = 120) {
    const int width0 = chart.Width(), height0 = chart.Height();
    auto paint = [&] { (void)RenderToBitmap(chart, width, height); };
    const TPlotZoom& zoom = chart.Zoom();
    // a band larger than the least one zooms, even on a plot smaller than that
    const int reach = zoom.MinimumPixels < 4096 ? std::max(zoom.MinimumPixels + 1, 1) : 0;
    // A drag from a point of the plot as last painted, by (sx, sy) bands, or
    // (0, 0): a quarter of the plot toward its centre. A press on the plot
    // zooms or pans only where there are series drawn against axes; one on a
    // legend item would switch its check box (a change the user makes).
    // False when there is no point to press.
    auto drag = [&](TMouseButton button, TShiftState shift, int sx, int sy) {
        if (chart.ActiveSeriesCount() == 0 || !chart.SeriesUseAxes()) return false;
        const TRect plot = chart.PlotRect();
        const int cx = (plot.Left + plot.Right) / 2, cy = (plot.Top + plot.Bottom) / 2;
        const int dx = (plot.Right - plot.Left) / 4, dy = (plot.Bottom - plot.Top) / 4;
        for (const std::pair<int, int>& point :
             {std::pair{cx, cy}, {cx - dx, cy - dy}, {cx + dx, cy - dy}, {cx - dx, cy + dy}, {cx + dx, cy + dy}}) {
            const int x = point.first, y = point.second;
            if (x < plot.Left || x >= plot.Right || y < plot.Top || y >= plot.Bottom) continue;
            if (chart.Legend().Visible() && chart.Legend().Clicked(x, y) != -1) continue;
            const int x1 = sx ? x + sx * std::max(2 * dx, reach) : x < cx ? x + dx : x - dx;
            const int y1 = sy ? y + sy * std::max(2 * dy, reach) : y < cy ? y + dy : y - dy;
            WithoutTools(chart, [&] {
                chart.HostMouseDown(button, shift, x, y);
                chart.HostMouseMove(shift, (x + x1) / 2, (y + y1) / 2);
                chart.HostMouseMove(shift, x1, y1);
                chart.HostMouseUp(button, shift, x1, y1);
            });
            paint();
            return true;
        }
        return false;
    };
    auto wheel = [&](int delta) {
        const TRect plot = chart.PlotRect();
        const int cx = (plot.Left + plot.Right) / 2, cy = (plot.Top + plot.Bottom) / 2;
        WithoutTools(chart, [&] { chart.HostMouseWheel(0, delta, cx, cy); });
        paint();
    };
    paint();
    const bool zooms = reach > 0 && zoom.Allow;
    if (zooms && drag(zoom.MouseButton, zoom.KeyShift, 1, 1)) drag(zoom.MouseButton, zoom.KeyShift, -1, -1);
    // panning stops where the pointer leaves the plot
    drag(chart.ScrollMouseButton(), 0, 0, 0);
    wheel(-120);
    wheel(240);
    // where the mouse cannot undo, the program does
    if (!zooms || !drag(zoom.MouseButton, zoom.KeyShift, -1, -1)) chart.UndoZoom();
    paint();
    WithoutTools(chart, [&] { chart.HostMouseLeave(); });
    // the size is the window's, which the paints above chose
    chart.SetSize(width0, height0);
    return WriteChartForm(chart);
}

// Pixels in which the chart draws otherwise than a chart read from form does:
// what a paint leaves behind must not show in the next one.
inline int DrawnOtherwise(TCustomChart& chart, const std::string& form, int width = 160, int height = 120) {
    const std::unique_ptr<TBitmap> used = RenderToBitmap(chart, width, height);
    const std::unique_ptr<TBitmap> fresh = RenderToBitmap(*ReadChartForm(form), width, height);
    int differ = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) differ += used->GetPixel(x, y) != fresh->GetPixel(x, y);
    return differ;
}

}  // namespace formuse
