#pragma once
// The panel a chart is drawn on: size, frame, margins, 3D settings, the canvas,
// the paint path (Invalidate, Paint, Draw), the plot rectangle, the background
// with gradient, back image, bevels and border, and the listeners of panel events.

#include <array>
#include <memory>
#include <vector>

#include "ChartAttributes.h"
#include "ChartAxis.h"
#include "ChartComponent.h"
#include "ChartControl.h"
#include "ChartShapes.h"
#include "Graphics.h"
#include "PlotCanvas.h"

class TCustomPlotPanel;

// A panel: a control with a colour, bevels and a border width.
class TCustomPanelNoCaption : public TComponent {
public:
    explicit TCustomPanelNoCaption(TComponent* owner) : TComponent(owner) {}

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    // Changes the size; a changed size repaints.
    void SetSize(int width, int height);
    TColor Color() const { return FColor; }
    void SetColor(TColor value) { SetValue(FColor, value); }
    TBevelCut BevelInner() const { return FBevelInner; }
    void SetBevelInner(TBevelCut value) { SetValue(FBevelInner, value); }
    TBevelCut BevelOuter() const { return FBevelOuter; }
    void SetBevelOuter(TBevelCut value) { SetValue(FBevelOuter, value); }
    int BevelWidth() const { return FBevelWidth; }
    void SetBevelWidth(int value) { SetValue(FBevelWidth, value); }
    int BorderWidth() const { return FBorderWidth; }
    void SetBorderWidth(int value) { SetValue(FBorderWidth, value); }
    // Whether the panel sits in a window; the client rectangle then follows the window.
    bool HasParent() const { return FHasParent; }
    void SetHasParent(bool value) { FHasParent = value; }
    // Brush colour of the window the panel sits in; the panel's shadow shows it.
    TColor ParentColor() const { return FParentColor; }
    void SetParentColor(TColor value) { SetValue(FParentColor, value); }
    TRect ClientRect() const { return TRect{0, 0, FWidth, FHeight}; }

    virtual void Invalidate() = 0;

protected:
    virtual void Resized() {}
    // Stores a changed value and repaints; an unchanged one costs nothing.
    template <class T>
    void SetValue(T& field, const T& value) {
        if (field != value) {
            field = value;
            Invalidate();
        }
    }

private:
    int FWidth = 400;
    int FHeight = 250;
    TColor FColor = clBtnFace;
    TBevelCut FBevelInner = bvNone;
    TBevelCut FBevelOuter = bvRaised;
    int FBevelWidth = 1;
    int FBorderWidth = 0;
    bool FHasParent = false;
    TColor FParentColor = clBtnFace;
};

// Events handed to the panel's listeners.
struct TPlotEvent {
    virtual ~TPlotEvent() = default;
    TCustomPlotPanel* Sender = nullptr;
};
// Listeners number mouse events 0 down, 1 up, 2 move (tools are told other numbers).
enum TPlotMouseEventType { pmtDown = 0, pmtUp = 1, pmtMove = 2 };
struct TPlotMouseEvent : TPlotEvent {
    TPlotMouseEventType Event = pmtDown;
    TMouseButton Button = mbLeft;
    TShiftState Shift = 0;
    int X = 0;
    int Y = 0;
};
struct TPlotView3DEvent : TPlotEvent {};

class TPlotEventListener {
public:
    virtual ~TPlotEventListener() = default;
    virtual void PlotEvent(TPlotEvent& event) = 0;
};

class TCustomPlotPanel : public TCustomPanelNoCaption, public TPaintHost {
public:
    explicit TCustomPlotPanel(TComponent* owner);
    ~TCustomPlotPanel() override;
    void Assign(const TPersistent* source) override;

    // Properties.
    TChartHiddenPen& Border() { return FBorder; }
    void SetBorder(const TChartPen* value) { FBorder.Assign(value); }
    int BorderRound() const { return FBorderRound; }
    void SetBorderRound(int value) { SetValue(FBorderRound, value); }
    int Chart3DPercent() const { return FChart3DPercent; }
    // Outside 1..100: an exception, the value unchanged.
    void SetChart3DPercent(int value);
    int Margin(int index) const { return FMargins.at(static_cast<std::size_t>(index)); }
    void SetMargin(int index, int value) { SetValue(FMargins.at(static_cast<std::size_t>(index)), value); }
    int MarginLeft() const { return FMargins[0]; }
    void SetMarginLeft(int value) { SetMargin(0, value); }
    int MarginTop() const { return FMargins[1]; }
    void SetMarginTop(int value) { SetMargin(1, value); }
    int MarginRight() const { return FMargins[2]; }
    void SetMarginRight(int value) { SetMargin(2, value); }
    int MarginBottom() const { return FMargins[3]; }
    void SetMarginBottom(int value) { SetMargin(3, value); }
    TPlotUnits MarginUnits() const { return FMarginUnits; }
    void SetMarginUnits(TPlotUnits value) { SetValue(FMarginUnits, value); }
    const std::array<int, 4>& PrintMargins() const { return FPrintMargins; }
    void SetPrintMargins(const std::array<int, 4>& value) { FPrintMargins = value; }
    bool IsPrintMarginsStored() const;
    bool PrintProportional() const { return FPrintProportional; }
    void SetPrintProportional(bool value) { FPrintProportional = value; }
    TPlotShadow& Shadow() { return FShadow; }
    bool View3D() const { return FView3D; }
    void SetView3D(bool value);
    TView3DOptions& View3DOptions() { return FView3DOptions; }
    bool Monochrome() const { return FCanvas->GetMonochrome(); }
    void SetMonochrome(bool value);
    bool AutoRepaint() const { return FAutoRepaint; }
    void SetAutoRepaint(bool value) { FAutoRepaint = value; }
    bool CancelMouse = false;
    // The mouse pointer over the chart; tools and series set it while the mouse moves.
    TCursor MouseCursor() const { return FMouseCursor; }
    void SetMouseCursor(TCursor value);
    // The pointer mouse operations end with (the chart's own, from construction on).
    TCursor SavedCursor() const { return FSavedCursor; }
    void SetSavedCursor(TCursor value) { FSavedCursor = value; }
    // The hint shown at the mouse (empty: none).
    const std::string& Hint() const { return FHint; }
    bool ShowHint() const { return FShowHint; }
    // Shows a hint at a point of the panel; an empty text hides it.
    void SetHint(const std::string& text, int x, int y);
    bool StackSeriesInDepth() const { return FStackSeriesInDepth; }
    void SetStackSeriesInDepth(bool value) { SetValue(FStackSeriesInDepth, value); }
    bool Printing() const { return FPrinting; }
    void SetPrinting(bool value) { FPrinting = value; }

    TCanvas3D& Canvas() const { return *FCanvas; }
    // Replaces the drawing canvas (a recording canvas in checks, a 3D renderer later).
    void SetCanvas(std::unique_ptr<TCanvas3D> canvas);

    // Geometry of the current draw.
    const TRect& PanelRect() const { return FPanelRect; }
    const TRect& PlotRect() const { return FPlotRect; }
    void SetPlotRect(const TRect& value) { FPlotRect = value; }
    int PlotWidth() const { return FPlotRect.Width(); }
    int PlotHeight() const { return FPlotRect.Height(); }
    TPoint PlotCenter() const {
        return TPoint{(FPlotRect.Left + FPlotRect.Right) / 2, (FPlotRect.Top + FPlotRect.Bottom) / 2};
    }
    void CalcPlotRect();
    void RecalcPlotSize();

    // Repainting.
    void Invalidate() override;
    // Invalidates and, in a control, paints at once: each frame of a loop shows.
    void Repaint();
    int InvalidateCount() const { return FInvalidateCount; }
    // The control's paint: from the buffer when it is valid, else a full draw.
    void Paint(TCanvas& target, const TRect& client);
    virtual void Draw(TCanvas* target, const TRect& r);
    virtual TRect GetRectangle() const;
    // Draws the panel into a new bitmap of its size, without the buffered display.
    std::unique_ptr<TBitmap> DrawToBitmap();

    // Painters.
    virtual TColor BackColor() const { return Color(); }
    virtual void InternalDraw(const TRect& r) = 0;
    virtual void SubObjectChanged() { Invalidate(); }
    virtual void FillPanelBackground(const TRect& r);
    virtual void PaintBackground(const TRect& r);
    virtual void DrawPanelBevels(TRect r);

    // Listeners.
    void AddListener(TPlotEventListener* listener);
    void RemoveListener(TPlotEventListener* listener);
    int ListenerCount() const { return static_cast<int>(FListeners.size()); }
    void BroadcastEvent(TPlotEvent& event);

    // Mouse input; descendants extend these (zoom, panning, tools, clicks).
    virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseMove(TShiftState shift, int x, int y);
    virtual bool MouseWheel(TShiftState shift, int delta, int x, int y);
    virtual void MouseLeave();

    // TPaintHost.
    void HostPaint(TCanvas& target, const TRect& client) override { Paint(target, client); }
    void HostResize(int width, int height) override { SetSize(width, height); }
    void HostSetParented(bool value) override { SetHasParent(value); }
    void HostMouseDown(TMouseButton b, TShiftState s, int x, int y) override { MouseDown(b, s, x, y); }
    void HostMouseUp(TMouseButton b, TShiftState s, int x, int y) override { MouseUp(b, s, x, y); }
    void HostMouseMove(TShiftState s, int x, int y) override { MouseMove(s, x, y); }
    bool HostMouseWheel(TShiftState s, int delta, int x, int y) override { return MouseWheel(s, delta, x, y); }
    void HostMouseLeave() override { MouseLeave(); }
    int HostCornerRadius() const override { return HasParent() ? BorderRound() : 0; }
    bool HostTransparent() const override { return Color() == clNone; }
    bool HostWantsArrowKeys() const override { return true; }
    void HostSystemColorsChanged() override { Invalidate(); }

protected:
    TNotifyEvent ChangeHandler() {
        return [this](TObject*) { SubObjectChanged(); };
    }
    // The frame width taken by bevels, border width and border pen.
    int FrameWidth() const;
    // After drawing onto a caller's canvas: never keep pointing at it.
    void DetachTarget(TCanvas* target, TCanvas* previous);
    TRect FPanelRect{};
    TRect FPlotRect{};

private:
    TChartHiddenPen FBorder;
    int FBorderRound = 0;
    int FChart3DPercent = 15;
    std::array<int, 4> FMargins{3, 4, 3, 4};
    TPlotUnits FMarginUnits = muPercent;
    std::array<int, 4> FPrintMargins{15, 15, 15, 15};
    bool FPrintProportional = true;
    TPlotShadow FShadow;
    bool FView3D = true;
    TView3DOptions FView3DOptions;
    bool FAutoRepaint = true;
    bool FStackSeriesInDepth = true;
    bool FPrinting = false;
    std::unique_ptr<TCanvas3D> FCanvas;
    std::vector<TPlotEventListener*> FListeners;
    int FInvalidateCount = 0;
    TCursor FMouseCursor = crDefault;
    TCursor FSavedCursor = crDefault;
    std::string FHint;
    bool FShowHint = false;
};

enum TPlotBackImageMode { pbmStretch, pbmTile, pbmCenter };
enum TPanningMode { pmNone, pmHorizontal, pmVertical, pmBoth };

class TCustomPlotPanelExtended : public TCustomPlotPanel {
public:
    explicit TCustomPlotPanelExtended(TComponent* owner) : TCustomPlotPanel(owner) {}
    ~TCustomPlotPanelExtended() override;
    void Assign(const TPersistent* source) override;

    // Created on first access; SetBackImage(nullptr) frees it.
    TPicture& BackImage();
    TPicture* BackImageIfAny() const { return FBackImage.get(); }
    void SetBackImage(const TPicture* value);
    bool BackImageInside() const { return FBackImageInside; }
    void SetBackImageInside(bool value) { SetValue(FBackImageInside, value); }
    TPlotBackImageMode BackImageMode() const { return FBackImageMode; }
    void SetBackImageMode(TPlotBackImageMode value) { SetValue(FBackImageMode, value); }
    // The Transparent flag of the back image's bitmap; false, and not settable, without one.
    bool BackImageTransp() const;
    void SetBackImageTransp(bool value);
    // Created on first access; SetGradient(nullptr) frees it.
    TPlotGradient& Gradient();
    TPlotGradient* GradientIfAny() const { return FGradient.get(); }
    void SetGradient(const TPlotGradient* value);
    TPanningMode AllowPanning() const { return FAllowPanning; }
    void SetAllowPanning(TPanningMode value) { FAllowPanning = value; }
    bool Zoomed() const { return FZoomed; }
    void SetZoomed(bool value) { FZoomed = value; }
    // Raises OnUndoZoom, repaints and clears the zoomed flag; charts first restore their axes.
    virtual void UndoZoom();
    TNotifyEvent OnUndoZoom;

    TNotifyEvent OnAfterDraw;

    void FillPanelBackground(const TRect& r) override;
    void PaintBackground(const TRect& r) override;
    // Draws the back image over r at depth z in the current mode.
    void DrawBackImage(const TRect& r, int z);
    // The chart's 3D depth; the axis panel computes it.
    virtual int BackImageDepth() const { return 0; }

private:
    std::unique_ptr<TPicture> FBackImage;
    bool FBackImageInside = false;
    TPlotBackImageMode FBackImageMode = pbmStretch;
    std::unique_ptr<TPlotGradient> FGradient;
    TPanningMode FAllowPanning = pmBoth;
    bool FZoomed = false;
};
