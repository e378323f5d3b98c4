#pragma once
// Series drawn as connected lines and as point markers, and the marker itself.

#include <functional>
#include <memory>
#include <vector>

#include "ChartSeries.h"
#include "ChartShapes.h"

class TCanvas3D;

enum TSeriesPointerStyle {
    psRectangle,
    psCircle,
    psTriangle,
    psDownTriangle,
    psCross,
    psDiagCross,
    psStar,
    psDiamond,
    psSmallDot,
    psNothing,
    psLeftTriangle,
    psRightTriangle
};

// The marker drawn at each point of a series. Sizes are half-extents in pixels.
class TSeriesPointer : public TPlotCustomShapeBrushPen {
public:
    explicit TSeriesPointer(TChartSeries* series);
    void Assign(const TPersistent* source) override;

    bool Dark3D() const { return FDark3D; }
    void SetDark3D(bool value) { SetValue(FDark3D, value); }
    bool Draw3D() const { return FDraw3D; }
    void SetDraw3D(bool value) { SetValue(FDraw3D, value); }
    TPlotGradient& Gradient() { return FGradient; }
    const TPlotGradient& Gradient() const { return FGradient; }
    void SetGradient(const TPlotGradient* value) { FGradient.Assign(value); }
    int HorizSize() const { return FHorizSize; }
    // Sizes of 0 or less raise ChartException and keep the old size.
    void SetHorizSize(int value);
    int VertSize() const { return FVertSize; }
    void SetVertSize(int value);
    bool InflateMargins() const { return FInflateMargins; }
    void SetInflateMargins(bool value) { SetValue(FInflateMargins, value); }
    TSeriesPointerStyle Style() const { return FStyle; }
    void SetStyle(TSeriesPointerStyle value) { SetValue(FStyle, value); }
    TChartSeries* Series() const { return FSeries; }
    // For a drawing pass that hides the markers without repainting.
    void SetVisibleQuietly(bool value) { FHidden = !value; }
    bool Shown() const { return Visible() && !FHidden; }

    // Pen and brush of a marker of colour C on the canvas.
    void PrepareCanvas(TCanvas3D& canvas, TColor color);
    // The marker centred on (x, y) with half sizes h and v; z is the depth on a 3D chart.
    void DrawPointer(TCanvas3D& canvas, bool is3D, int x, int y, int h, int v, TColor color, TSeriesPointerStyle style,
                     int z = 0);
    // The gradient one point is drawn with: a copy, so that drawing leaves the
    // stored gradient as it was.
    void PointGradient(TColor color, TPlotGradient& out) const;

protected:
    // Whether the gradient ends in the point's colour; a marker with colours of
    // its own keeps its gradient as given.
    virtual bool GradientTakesPointColor() const { return true; }

private:
    void FillGradient(TCanvas3D& canvas, const TRect& r, TColor color, const TPoint* clip, int count, bool ellipse);

    TChartSeries* FSeries;
    bool FDark3D = true;
    bool FDraw3D = true;
    TPlotGradient FGradient;
    int FHorizSize = 4;
    int FVertSize = 4;
    bool FInflateMargins = true;
    TSeriesPointerStyle FStyle = psRectangle;
    bool FHidden = false;
};

enum TCustomSeriesStack { cssNone, cssOverlap, cssStack, cssStack100 };

using TSeriesClickPointerEvent = std::function<void(TChartSeries* sender, int valueIndex, int x, int y)>;
using TOnGetPointerStyle = std::function<TSeriesPointerStyle(TChartSeries* sender, int valueIndex)>;

class TCustomLineSeries : public TChartSeries {
public:
    using TChartSeries::TChartSeries;
};

class TCustomSeries : public TCustomLineSeries {
public:
    explicit TCustomSeries(TComponent* owner);
    ~TCustomSeries() override;
    void Assign(const TPersistent* source) override;

    std::string EditorClassName() const override { return "TCustomSeriesEditor"; }
    void SetParentChart(TCustomAxisPanel* value) override;
    void AddedToChart() override;
    void RemovedFromChart() override;
    void GetHorizMargins(int& left, int& right) override;
    void GetVertMargins(int& top, int& bottom) override;
    void CalcZOrder() override;
    void DrawVisibleValues() override;
    void DrawLegendShape(int index, const TRect& rect) override;
    void DrawPoint(int index) override;
    void DrawMark(int index, const std::string& text, TSeriesMarkPosition* position) override;
    double HighestX() const override;
    double HighestY() const override;
    double LowestX() const override;
    double LowestY() const override;
    int PointScreenX(int index) const override;
    int PointScreenY(int index) const override;
    int PointAtPixel(int x, int y) const override;
    // A press on a marker raises OnClickPointer.
    int PointClicked(int x, int y) override;
    bool TakesClicks() const override { return TCustomLineSeries::TakesClicks() || OnClickPointer; }
    virtual bool PointerHit(int index, int px, int py, int x, int y) const;
    virtual void DrawPointer(int x, int y, int index, TColor color);
    virtual int OriginPosition(int index) const;
    virtual bool PointStylesInGallery() const { return false; }

    TChartBrush* LineBrushObject() const { return Brush(); }
    TBrushStyle LineBrush() const { return Brush()->Style(); }
    void SetLineBrush(TBrushStyle value) { Brush()->SetStyle(value); }
    TChartPen* LinePen() const { return Pen(); }
    void SetLinePen(const TChartPen* value) { SetPen(value); }
    bool ClickableLine() const { return FClickableLine; }
    void SetClickableLine(bool value) { FClickableLine = value; }
    bool ColorEachLine() const { return FColorEachLine; }
    void SetColorEachLine(bool value) { SetValue(FColorEachLine, value); }
    bool Dark3D() const { return FDark3D; }
    void SetDark3D(bool value) { SetValue(FDark3D, value); }
    bool InvertedStairs() const { return FInvertedStairs; }
    void SetInvertedStairs(bool value) { SetValue(FInvertedStairs, value); }
    int LineHeight() const { return FLineHeight; }
    void SetLineHeight(int value) { SetValue(FLineHeight, value); }
    TChartHiddenPen& OutLine() { return FOutLine; }
    void SetOutLine(const TChartPen* value) { FOutLine.Assign(value); }
    TSeriesPointer& Pointer() { return *FPointer; }
    const TSeriesPointer& Pointer() const { return *FPointer; }
    TCustomSeriesStack Stacked() const { return FStacked; }
    // Stored in every series of the chart of this kind or a base kind of it.
    void SetStacked(TCustomSeriesStack value);
    bool Stairs() const { return FStairs; }
    void SetStairs(bool value) { SetValue(FStairs, value); }
    bool DrawLine() const { return FDrawLine; }
    bool DrawArea() const { return FDrawArea; }

    TSeriesClickPointerEvent OnClickPointer;
    TOnGetPointerStyle OnGetPointerStyle;

protected:
    TSeriesPointerStyle PointerStyleOf(int index) const;
    // The hit test; onMarker tells whether the point was hit on its marker.
    int HitPoint(int x, int y, bool& onMarker) const;
    // The stacked value coordinate of a point.
    double StackedValue(int index) const;
    bool FDrawLine = false;
    bool FDrawArea = false;

private:
    void DrawSegment(int index, int x, int y, TColor color, bool withPointers, bool last);
    void DrawBands(TCanvas3D& canvas, int x, int y, TColor color);
    TPoint LineEntryPoint(int index, const TChartAxis& h, const TChartAxis& v) const;
    // The corner of the step from (PrevX, PrevY) to (x, y).
    TPoint StepCorner(int x, int y) const;
    void DrawLineExit(int index, int x, int y, TColor color);
    void SelectLinePen(TCanvas3D& canvas, TColor color);
    // Draws the connected segments gathered so far as one polyline.
    void FlushRun();
    // Series of the chart stacked with this one, this one included.
    bool StacksWith(const TChartSeries* other) const;
    // Whether other is of this series' class or of a class derived from it; each
    // series class answers for its own, so that series of one class, or of a class
    // and one derived from it, stack together.
    virtual bool IsOfKind(const TCustomSeries* other) const { return other != nullptr; }
    double StackTotal(int index, bool upToThis) const;
    bool Stacks() const { return FStacked == cssStack || FStacked == cssStack100; }
    // The top of the stack along the value axis: 100 for a stack in percent.
    double StackedHighest() const;

    std::unique_ptr<TSeriesPointer> FPointer;
    TChartHiddenPen FOutLine;
    bool FClickableLine = true;
    bool FColorEachLine = true;
    bool FDark3D = true;
    bool FInvertedStairs = false;
    int FLineHeight = 0;
    TCustomSeriesStack FStacked = cssNone;
    bool FStairs = false;

    // State carried from one point to the next within one drawing pass.
    int PrevX = 0;
    int PrevY = 0;
    TColor PrevColor = clNone;
    int PrevIndex = -1;
    bool PrevPointerPending = false;
    int OriginPos = 0;
    int PrevOriginPos = 0;
    double DarkSlope = 1;
    bool FOutlinePass = false;
    // Consecutive 2D segments of one colour without markers between them,
    // drawn together: one pen selection and one polyline instead of one per point.
    std::vector<TPoint> FRun;
    TColor FRunColor = clNone;
    // The device pen and brush as the last marker left them, so that markers of
    // one colour in a row skip preparing the canvas again.
    struct TPreparedMarker {
        TColor color, penColor, brushColor;
        int penWidth;
        TPenStyle penStyle;
        TPenMode penMode;
        TBrushStyle brushStyle;
        bool operator==(const TPreparedMarker&) const = default;
    };
    bool FMarkerPrepared = false;
    TPreparedMarker FMarker{};
};

class TLineSeries : public TCustomSeries {
public:
    explicit TLineSeries(TComponent* owner = nullptr);
    void Assign(const TPersistent* source) override;
    bool IsOfKind(const TCustomSeries* other) const override { return dynamic_cast<const TLineSeries*>(other); }
    void EnumSubStyles(const std::function<void(const std::string&)>& callback) override;
    void ApplySubStyle(TChartSeries* series, int index) override;
    void PrepareLegendSymbol(int index, TColor& backColor, TBrushStyle& brushStyle) override;
};

class TPointSeries : public TCustomSeries {
public:
    explicit TPointSeries(TComponent* owner = nullptr);
    void Assign(const TPersistent* source) override;
    std::string EditorClassName() const override { return "TSeriesPointerEditor"; }
    void EnumSubStyles(const std::function<void(const std::string&)>& callback) override;
    void ApplySubStyle(TChartSeries* series, int index) override;
    void SetColorEachPoint(bool value) override;
    bool PointStylesInGallery() const override { return true; }
    bool IsOfKind(const TCustomSeries* other) const override { return dynamic_cast<const TPointSeries*>(other); }
    // Markers of 6 pixels (4 on a chart narrower than 50), triangles for the chart's second series.
    void PrepareForGallery(bool enabled) override;

private:
    void ApplyPointSettings();
};
