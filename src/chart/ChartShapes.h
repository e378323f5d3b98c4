#pragma once
// Framed shapes: every boxed element of a chart (titles, walls, legend, marks)
// is a rectangle or round rectangle with pen, brush or gradient, bevel, shadow,
// font and transparency, and repaints its panel when a setting changes.

#include <memory>

#include "ChartAttributes.h"
#include "Graphics.h"

class TCustomPlotPanel;
class TCanvas3D;

enum TBevelCut { bvNone, bvLowered, bvRaised };
enum TChartObjectShapeStyle { fosRectangle, fosRoundRectangle };

// Draws a bevel of the given kind inside r (r comes back inset by the width);
// with a corner radius the bevel is one round rectangle instead.
void DrawBevelInside(TCanvas3D& canvas, TRect& r, TBevelCut kind, int width, int cornerRadius = 0);

class TPlotCustomShapeBrushPen : public TPersistent {
public:
    explicit TPlotCustomShapeBrushPen(TCustomPlotPanel* parent);
    void Assign(const TPersistent* source) override;

    TCustomPlotPanel* ParentChart() const { return FParent; }
    // Reattaches the shape (and the sub-objects' change reports) to a panel.
    void SetParentChart(TCustomPlotPanel* value) { FParent = value; }
    TChartBrush& Brush() { return FBrush; }
    const TChartBrush& Brush() const { return FBrush; }
    void SetBrush(const TChartBrush* value) { FBrush.Assign(value); }
    TChartPen& Pen() { return *FPen; }
    const TChartPen& Pen() const { return *FPen; }
    void SetPen(const TChartPen* value) { FPen->Assign(value); }
    bool Visible() const { return FVisible; }
    void SetVisible(bool value) { SetValue(FVisible, value); }
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }

    // Invalidates the owning panel.
    void Repaint() const;

protected:
    template <class T>
    void SetValue(T& field, const T& value) {
        if (field != value) {
            field = value;
            Repaint();
        }
    }
    TNotifyEvent ChangeHandler() const;
    // Descendants with another pen kind replace the pen before any use.
    void ReplacePen(std::unique_ptr<TChartPen> pen);

private:
    TCustomPlotPanel* FParent;
    TChartBrush FBrush;
    std::unique_ptr<TChartPen> FPen;
    bool FVisible = true;
};

class TPlotCustomShape : public TPlotCustomShapeBrushPen {
public:
    explicit TPlotCustomShape(TCustomPlotPanel* parent);
    ~TPlotCustomShape() override;
    void Assign(const TPersistent* source) override;

    TBevelCut Bevel() const { return FBevel; }
    void SetBevel(TBevelCut value) { SetValue(FBevel, value); }
    int BevelWidth() const { return FBevelWidth; }
    void SetBevelWidth(int value) { SetValue(FBevelWidth, value); }
    TColor Color() const { return FColor; }
    void SetColor(TColor value) { SetValue(FColor, value); }
    TPlotFont& Font() { return FFont; }
    void SetFont(const TPlotFont* value) { FFont.Assign(value); }
    // Created on first access; SetGradient(nullptr) frees it.
    TPlotGradient& Gradient();
    TPlotGradient* GradientIfAny() const { return FGradient.get(); }
    void SetGradient(const TPlotGradient* value);
    TPlotShadow& Shadow() { return FShadow; }
    void SetShadow(const TPlotShadow* value) { FShadow.Assign(value); }
    TChartObjectShapeStyle ShapeStyle() const { return FShapeStyle; }
    void SetShapeStyle(TChartObjectShapeStyle value) { SetValue(FShapeStyle, value); }
    int Transparency() const { return FTransparency; }
    void SetTransparency(int value);
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool value) { SetValue(FTransparent, value); }
    // Legacy form-data properties.
    void SetShadowColor(TColor value) { FShadow.SetColor(value); }
    void SetShadowSize(int value) { FShadow.SetShadowExtent(value); }

    const TRect& ShapeBounds() const { return FShapeBounds; }
    void SetShapeBounds(const TRect& r) { FShapeBounds = r; }

    // Draws the shape over r rotated by angle degrees at depth z on the panel's canvas.
    void DrawShape(TCanvas3D& canvas, const TRect& r, int angle = 0, int z = 0);
    // What DrawShape covers of an upright r: the box and its shadow, moved by the pen too.
    TRect DrawnBounds(const TRect& r) const;
    // At the shape bounds, angle 0.
    void Draw(TCanvas3D& canvas) { DrawShape(canvas, FShapeBounds, 0, 0); }

protected:
    // Gradient kind a descendant prefers (legend, marks).
    virtual std::unique_ptr<TPlotGradient> NewGradient() const;
    TRect FShapeBounds{};

private:
    TBevelCut FBevel = bvNone;
    int FBevelWidth = 2;
    TColor FColor = clWhite;
    TPlotFont FFont;
    std::unique_ptr<TPlotGradient> FGradient;
    TPlotShadow FShadow;
    TChartObjectShapeStyle FShapeStyle = fosRectangle;
    int FTransparency = 0;
    bool FTransparent = false;
};

class TPlotShape : public TPlotCustomShape {
public:
    using TPlotCustomShape::TPlotCustomShape;
};

class TPlotCustomShapePosition : public TPlotCustomShape {
public:
    using TPlotCustomShape::TPlotCustomShape;
    void Assign(const TPersistent* source) override;
    bool CustomPosition() const { return FCustomPosition; }
    void SetCustomPosition(bool value) { SetValue(FCustomPosition, value); }
    int Left() const { return FShapeBounds.Left; }
    void SetLeft(int value);
    int Top() const { return FShapeBounds.Top; }
    void SetTop(int value);

private:
    bool FCustomPosition = false;
};

// The positioned shape as published (the annotation tool's box).
class TPlotShapePosition : public TPlotCustomShapePosition {
public:
    using TPlotCustomShapePosition::TPlotCustomShapePosition;
};
