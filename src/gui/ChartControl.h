#pragma once
// The on-screen control that hosts a chart. The chart engine lives above this
// layer, so the control talks to its chart through TPaintHost: it hands the
// chart its paint target, size changes and mouse input, and the chart asks
// back for repaints. Qt stays inside ChartControl.cpp.

#include <functional>
#include <memory>
#include <string>

#include "Graphics.h"

class QWidget;

enum TMouseButton { mbLeft, mbRight, mbMiddle };
enum TShiftStateFlag : unsigned {
    ssShift = 1,
    ssAlt = 2,
    ssCtrl = 4,
    ssLeft = 8,
    ssRight = 16,
    ssMiddle = 32,
    ssDouble = 64
};
using TShiftState = unsigned;
// What a mouse event reports; the numbers are the kinds chart tools are told.
enum TPlotMouseEventKind { pmeDown = 0, pmeMove = 1, pmeUp = 2 };

// Mouse pointer shapes a host may ask its control for; crChartHand is the chart's own hand,
// registered with the control under its number. Any other number shows the plain arrow.
enum TCursor : int {
    crDefault = 0,
    crCross = -3,
    crHSplit = -14,
    crVSplit = -15,
    crHandPoint = -21,
    crSizeAll = -22,
    crChartHand = 2020
};

// What a control needs of the element drawn in it.
class TPaintHost {
public:
    virtual ~TPaintHost() = default;
    // Draws into target (the control's own canvas) over the client rectangle.
    virtual void HostPaint(TCanvas& target, const TRect& client) = 0;
    virtual void HostResize(int width, int height) = 0;
    // Whether the host now sits inside a window (size follows the control).
    virtual void HostSetParented(bool value) = 0;
    virtual void HostMouseDown(TMouseButton button, TShiftState shift, int x, int y) = 0;
    virtual void HostMouseUp(TMouseButton button, TShiftState shift, int x, int y) = 0;
    virtual void HostMouseMove(TShiftState shift, int x, int y) = 0;
    // delta in wheel units (120 per notch); true when the host used it.
    virtual bool HostMouseWheel(TShiftState shift, int delta, int x, int y) = 0;
    virtual void HostMouseLeave() = 0;
    // Corner radius of the window's shape; 0 or less: a plain rectangle.
    virtual int HostCornerRadius() const { return 0; }
    // Whether the host paints only some pixels and the window's background shows elsewhere.
    virtual bool HostTransparent() const { return false; }
    // Whether the arrow keys stay with the control while it has the focus
    // rather than going on to the windows around it.
    virtual bool HostWantsArrowKeys() const { return false; }
    // The system's colours changed: whatever the host keeps of its picture is stale.
    virtual void HostSystemColorsChanged() {}

    // Set by the control: schedules a repaint of the control.
    std::function<void()> RequestRepaint;
    // Set by the control: paints the control before returning (frames shown in a loop).
    std::function<void()> RequestRepaintNow;
    // Set by the control: shows this mouse pointer over the control.
    std::function<void(TCursor cursor)> RequestCursor;
    // Set by the control: shows a hint text at a point of the control; an empty text hides it.
    std::function<void(const std::string& text, int x, int y)> RequestHint;
};

// A Qt widget presenting a host. The widget keeps a bitmap of its size that the
// host paints into and that is then shown; the host is not owned.
class TChartControl {
public:
    explicit TChartControl(TPaintHost& host, QWidget* parent = nullptr);
    ~TChartControl();
    TChartControl(const TChartControl&) = delete;
    TChartControl& operator=(const TChartControl&) = delete;

    QWidget* Widget() const;
    TPaintHost& Host() const { return FHost; }
    // Number of paints the widget has served (for checks of repaint requests).
    int PaintCount() const;

    struct Impl;

private:
    TPaintHost& FHost;
    std::unique_ptr<Impl> FImpl;
};

// Creates the widget application when there is no toolkit application yet.
// A control needs one; a plain graphics application made earlier cannot host
// widgets, which TChartControl then reports as an Exception.
void EnsureWidgetApplication();

// Draws a host at the given size into a new bitmap, without a window.
std::unique_ptr<TBitmap> RenderToBitmap(TPaintHost& host, int width, int height);

// PNG files of bitmaps (opaque RGB). Both return false on failure.
bool SaveBitmapToPng(const TBitmap& bitmap, const std::string& fileName);
bool LoadBitmapFromPng(TBitmap& bitmap, const std::string& fileName);
