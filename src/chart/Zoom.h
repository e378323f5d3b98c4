#pragma once
// Zoom and panning state of a chart: the rubber band's corners, the zoom
// settings, and the axis scales saved before the first zoom or pan.

#include <functional>
#include <memory>
#include <vector>

#include "ChartAttributes.h"
#include "ChartControl.h"

class TChartAxis;

// Where a drag started (X0, Y0) and the last pointer position (X1, Y1), in panel pixels.
class TZoomPanning {
public:
    bool Active = false;
    int X0 = 0, Y0 = 0, X1 = 0, Y1 = 0;
    void Activate(int x, int y) {
        X0 = X1 = x;
        Y0 = Y1 = y;
        Active = true;
    }
    // Smaller X and smaller Y first.
    void Check();
};

enum TPlotZoomDirection { tzdHorizontal, tzdVertical, tzdBoth };

class TPlotZoomPen : public TChartPen {
public:
    explicit TPlotZoomPen(TNotifyEvent onChange = {});
    bool IsColorStored() const { return Color() != clWhite; }
};

class TPlotZoomBrush : public TChartBrush {
public:
    explicit TPlotZoomBrush(TNotifyEvent onChange = {});
};

class TPlotZoom : public TZoomPanning, public TPersistent {
public:
    TPlotZoom() = default;
    void Assign(const TPersistent* source) override;

    bool Allow = true;
    bool Animated = false;
    int AnimatedSteps = 8;
    TPlotZoomDirection Direction = tzdBoth;
    TShiftState KeyShift = 0;
    int MinimumPixels = 16;
    TMouseButton MouseButton = mbLeft;

    // Created on first access; setting nothing frees them.
    TPlotZoomPen& Pen();
    TPlotZoomPen* PenIfAny() const { return FPen.get(); }
    void SetPen(const TChartPen* value);
    TPlotZoomBrush& Brush();
    TPlotZoomBrush* BrushIfAny() const { return FBrush.get(); }
    void SetBrush(const TChartBrush* value);

private:
    std::unique_ptr<TPlotZoomPen> FPen;
    std::unique_ptr<TPlotZoomBrush> FBrush;
};

// The scales of one axis as they were before the first zoom or pan.
struct TAxisSavedScales {
    TChartAxis* Axis = nullptr;
    bool Automatic = true;
    bool AutomaticMinimum = true;
    bool AutomaticMaximum = true;
    double Minimum = 0;
    double Maximum = 0;
};
using TAllAxisSavedScales = std::vector<TAxisSavedScales>;

using TChartAllowScrollEvent =
    std::function<void(TChartAxis* axis, double& minimum, double& maximum, bool& allowScroll)>;
