#pragma once
// Further chart tools: the point nearest the mouse, coloured bands and lines at
// axis values, 3D rotation with the mouse, a picture over a series' range, mark
// texts as hints, text annotations, animated series values and bands between
// the grid lines.

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Chart.h"
#include "ChartSeries.h"
#include "ChartShapes.h"
#include "ChartTools.h"
#include "SeriesMarks.h"

class TChartAxis;

// ---------------------------------------------------------------------------
// Alternating bands between the tick positions of an axis, drawn under its grid.
class TGridBandBrush : public TChartBrush {
public:
    explicit TGridBandBrush(TNotifyEvent onChange = {}) : TChartBrush(std::move(onChange)) {}
    TColor BackColor() const { return FBackColor; }
    void SetBackColor(TColor value);
    int Transparency() const { return FTransparency; }
    // A percent: held to 0 .. 100 as the shapes' is.
    void SetTransparency(int value);

private:
    TColor FBackColor = clNone;
    int FTransparency = 0;
};

class TGridBandTool : public TPlotCustomToolAxis {
public:
    static const TClassInfo ClassInfo;
    explicit TGridBandTool(TComponent* owner);
    ~TGridBandTool() override;
    std::string EditorClassName() const override { return "TGridBandToolEdit"; }
    std::string DisplayText() const override;
    // Moves the band drawing from the old axis' grid to the new one's.
    void SetAxis(TChartAxis* value) override;

    TGridBandBrush& Band1() { return FBand1; }
    TGridBandBrush& Band2() { return FBand2; }
    // The bands of the axis' current tick positions.
    void DrawBands(TChartAxis* axis);

private:
    static bool Paints(const TGridBandBrush& band);
    void DrawBand(TChartAxis* axis, const TGridBandBrush& band, int p0, int p1);
    // Leaves the axis' grid hook to the other grid-band tools on it, if any.
    void ReleaseGridHook();

    TGridBandBrush FBand1;
    TGridBandBrush FBand2;
};

// ---------------------------------------------------------------------------
// A coloured band between two values of an axis.
class TColorBandTool : public TPlotCustomToolAxis {
public:
    static const TClassInfo ClassInfo;
    explicit TColorBandTool(TComponent* owner);
    std::string EditorClassName() const override { return "TColorBandToolEditor"; }
    std::string DisplayText() const override;
    void ChartStageNotify(TChartToolStage stage) override;

    TColor Color() const { return FColor; }
    void SetColor(TColor value) { SetValue(FColor, value); }
    bool DrawBehind() const { return FDrawBehind; }
    void SetDrawBehind(bool value) { SetValue(FDrawBehind, value); }
    double StartValue() const { return FStartValue; }
    void SetStartValue(double value) { SetValue(FStartValue, value); }
    double EndValue() const { return FEndValue; }
    void SetEndValue(double value) { SetValue(FEndValue, value); }
    TPlotGradient& Gradient() { return FGradient; }
    int Transparency() const { return FTransparency; }
    // A percent: held to 0 .. 100 as the shapes' is.
    void SetTransparency(int value) { SetValue(FTransparency, std::clamp(value, 0, 100)); }
    // The band's rectangle on the screen; false when the band lies outside the axis range.
    bool BandRect(TRect& r) const;

private:
    void PaintBand();

    TColor FColor = clWhite;
    bool FDrawBehind = true;
    double FStartValue = 0;
    double FEndValue = 0;
    TPlotGradient FGradient;
    int FTransparency = 0;
};

// ---------------------------------------------------------------------------
enum TColorLineStyle { clCustom, clMaximum, clCenter, clMinimum };

class TColorLineTool;
using TColorLineEvent = std::function<void(TColorLineTool* sender)>;

// A line at an axis value that the user may drag.
class TColorLineTool : public TPlotCustomToolAxis {
public:
    static const TClassInfo ClassInfo;
    explicit TColorLineTool(TComponent* owner);
    std::string EditorClassName() const override { return "TColorLineToolEditor"; }
    std::string DisplayText() const override;
    void ChartStageNotify(TChartToolStage stage) override;
    void ChartMouseNotify(TPlotMouseEventKind kind, TMouseButton button, TShiftState shift, int x, int y) override;
    virtual void DoEndDragLine();

    bool AllowDrag() const { return FAllowDrag; }
    void SetAllowDrag(bool value) { SetValue(FAllowDrag, value); }
    bool DragRepaint() const { return FDragRepaint; }
    void SetDragRepaint(bool value) { SetValue(FDragRepaint, value); }
    bool Draw3D() const { return FDraw3D; }
    void SetDraw3D(bool value) { SetValue(FDraw3D, value); }
    bool DrawBehind() const { return FDrawBehind; }
    void SetDrawBehind(bool value) { SetValue(FDrawBehind, value); }
    bool NoLimitDrag() const { return FNoLimitDrag; }
    void SetNoLimitDrag(bool value) { SetValue(FNoLimitDrag, value); }
    TColorLineStyle Style() const { return FStyle; }
    void SetStyle(TColorLineStyle value) { SetValue(FStyle, value); }
    double Value() const { return FValue; }
    // Switches the style to clCustom.
    void SetValue(double value);
    bool Dragging() const { return FDragging; }
    // Where the line stands in the current style.
    double LineValue() const;
    bool Clicked(int x, int y) const;
    TColorLineEvent OnDragLine;
    TColorLineEvent OnEndDragLine;

private:
    // The value kept inside the axis' visible ends.
    double LimitValue(double value) const;
    double DrawnValue() const;
    void DrawColorLine(bool back);
    void DrawDragLine();
    using TPlotCustomToolAxis::SetValue;

    bool FAllowDrag = true;
    bool FDragRepaint = false;
    bool FDraw3D = true;
    bool FDrawBehind = false;
    bool FNoLimitDrag = false;
    TColorLineStyle FStyle = clCustom;
    double FValue = 0;
    bool FDragging = false;
    // The drag's line stands in not-XOR mode over the last full picture.
    bool FDragLineShown = false;
    TToolLife FLife;
};

// ---------------------------------------------------------------------------
enum TNearestToolStyle { hsNone, hsCircle, hsRectangle, hsDiamond };

// Highlights the point of a series nearest the mouse.
class TNearestTool : public TPlotCustomToolSeries {
public:
    static const TClassInfo ClassInfo;
    explicit TNearestTool(TComponent* owner);
    std::string EditorClassName() const override { return "TNearestToolEdit"; }
    std::string DisplayText() const override;
    void ChartStageNotify(TChartToolStage stage) override;
    void ChartMouseNotify(TPlotMouseEventKind kind, TMouseButton button, TShiftState shift, int x, int y) override;

    bool DrawLine() const { return FDrawLine; }
    void SetDrawLine(bool value) { SetValue(FDrawLine, value); }
    bool FullRepaint() const { return FFullRepaint; }
    void SetFullRepaint(bool value) { SetValue(FFullRepaint, value); }
    int Size() const { return FSize; }
    void SetSize(int value) { SetValue(FSize, value); }
    TNearestToolStyle Style() const { return FStyle; }
    void SetStyle(TNearestToolStyle value) { SetValue(FStyle, value); }
    // The highlighted point, -1 for none.
    int Point() const { return FPoint; }
    TNotifyEvent OnChange;

    // The visible point inside the plot nearest (x, y), or -1.
    int GetNearestPoint(int x, int y) const;

private:
    void PaintHint(bool exclusiveOr);

    bool FDrawLine = true;
    bool FFullRepaint = true;
    int FSize = 20;
    TNearestToolStyle FStyle = hsCircle;
    int FPoint = -1;
    TPoint FMouse{};
    TToolLife FLife;
};

// ---------------------------------------------------------------------------
enum TAnnotationPosition { ppLeftTop, ppLeftBottom, ppRightTop, ppRightBottom };

class TAnnotationCallout : public TCallout {
public:
    explicit TAnnotationCallout(TChartSeries* series);
    void Assign(const TPersistent* source) override;
    int XPosition() const { return FXPosition; }
    void SetXPosition(int value) { SetValue(FXPosition, value); }
    int YPosition() const { return FYPosition; }
    void SetYPosition(int value) { SetValue(FYPosition, value); }
    int ZPosition() const { return FZPosition; }
    void SetZPosition(int value) { SetValue(FZPosition, value); }

private:
    int FXPosition = 0;
    int FYPosition = 0;
    int FZPosition = 0;
};

class TAnnotationTool;
using TAnnotationClick =
    std::function<void(TAnnotationTool* sender, TMouseButton button, TShiftState shift, int x, int y)>;

// A framed text at a corner of the chart or a place of its own, with a callout.
class TAnnotationTool : public TPlotCustomTool {
public:
    static const TClassInfo ClassInfo;
    explicit TAnnotationTool(TComponent* owner);
    std::string EditorClassName() const override { return "TAnnotationToolEdit"; }
    std::string DisplayText() const override;
    void SetParentChart(TCustomAxisPanel* value) override;
    void ChartStageNotify(TChartToolStage stage) override;
    void ChartMouseNotify(TPlotMouseEventKind kind, TMouseButton button, TShiftState shift, int x, int y) override;

    const std::string& Text() const { return FText; }
    void SetText(const std::string& value) { SetValue(FText, value); }
    TAlignment TextAlignment() const { return FTextAlignment; }
    void SetTextAlignment(TAlignment value) { SetValue(FTextAlignment, value); }
    TAnnotationPosition Position() const { return FPosition; }
    // Also gives up the shape's own position.
    void SetPosition(TAnnotationPosition value);
    TPlotShapePosition& Shape() { return FShape; }
    TAnnotationCallout& Callout() { return FCallout; }
    int Cursor() const { return FCursor; }
    void SetCursor(int value) { SetValue(FCursor, value); }
    TAnnotationClick OnClick;

    // The box drawn last.
    const TRect& Bounds() const { return FShape.ShapeBounds(); }

private:
    void DrawText();

    std::string FText;
    TAlignment FTextAlignment = taLeftJustify;
    TAnnotationPosition FPosition = ppLeftTop;
    TPlotShapePosition FShape;
    TAnnotationCallout FCallout;
    int FCursor = 0;
};

// ---------------------------------------------------------------------------
class TSeriesAnimationTool;
using TAnimationStepEvent = std::function<void(TSeriesAnimationTool* sender, int step)>;

// Grows a series' values from a start value to their own, step by step.
class TSeriesAnimationTool : public TPlotCustomToolSeries {
public:
    static const TClassInfo ClassInfo;
    explicit TSeriesAnimationTool(TComponent* owner);
    ~TSeriesAnimationTool() override;
    std::string EditorClassName() const override { return "TSeriesAnimToolEditor"; }
    std::string DisplayText() const override;

    int DrawEvery() const { return FDrawEvery; }
    void SetDrawEvery(int value) { SetValue(FDrawEvery, value); }
    bool StartAtMin() const { return FStartAtMin; }
    void SetStartAtMin(bool value) { SetValue(FStartAtMin, value); }
    double StartValue() const { return FStartValue; }
    void SetStartValue(double value) { SetValue(FStartValue, value); }
    int Steps() const { return FSteps; }
    void SetSteps(int value) { SetValue(FSteps, value); }
    bool Running() const { return !FIdle; }
    TAnimationStepEvent OnStep;
    // Shows a frame: repaints and lets the window system draw it. Replaceable
    // (checks count frames without a window).
    std::function<void(TCustomAxisPanel* chart)> ShowFrame;

    // Runs the animation once; nothing while it runs already.
    virtual void RunAnimation();
    void SetSeries(TChartSeries* value) override;

protected:
    void Notification(TComponent* component, TOperation operation) override;

private:
    // Lets go of the series being animated: its notifications resume, and with restore
    // its points take their own values again.
    void EndRun(bool restore);
    void RestoreValues(TChartSeries& series) const;

    bool FIdle = true;
    // The series being animated, until the run ends or it is freed.
    TChartSeries* FAnimated = nullptr;
    // The values being reached while running, and the points' other values that tell
    // the points apart.
    std::vector<double> FTarget;
    std::vector<double> FKeys;
    int FDrawEvery = 0;
    bool FStartAtMin = true;
    double FStartValue = 0;
    int FSteps = 100;
    TToolLife FLife;
};

// ---------------------------------------------------------------------------
enum TRotateToolStyles { rsAll, rsRotation, rsElevation };

class TRotateTool;
using TRotateEvent = std::function<void(TRotateTool* sender)>;

// Turns the 3D view with the mouse.
class TRotateTool : public TPlotCustomTool {
public:
    static const TClassInfo ClassInfo;
    explicit TRotateTool(TComponent* owner);
    std::string EditorClassName() const override { return "TRotateToolEditor"; }
    std::string DisplayText() const override;
    void ChartMouseNotify(TPlotMouseEventKind kind, TMouseButton button, TShiftState shift, int x, int y) override;

    TMouseButton Button() const { return FButton; }
    void SetButton(TMouseButton value) { SetValue(FButton, value); }
    bool Inverted() const { return FInverted; }
    void SetInverted(bool value) { SetValue(FInverted, value); }
    TRotateToolStyles Style() const { return FStyle; }
    void SetStyle(TRotateToolStyles value) { SetValue(FStyle, value); }
    bool Dragging() const { return FDragging; }
    TRotateEvent OnRotate;

    // The rotation after turning by delta on a canvas that cannot show the back (never 91..269).
    static int TurnRotation(int rotation, int delta);
    // The elevation after turning by delta, kept within 270..360.
    static int TurnElevation(int elevation, int delta);

private:
    void MouseMove(int x, int y);
    void DrawOutline();

    TMouseButton FButton = mbLeft;
    bool FInverted = false;
    TRotateToolStyles FStyle = rsAll;
    bool FDragging = false;
    bool FFirstMove = false;
    bool FOldAutoRepaint = true;
    TPoint FLast{};
    TToolLife FLife;
};

// ---------------------------------------------------------------------------
// A picture stretched over a series' value range (or the axes' ranges).
class TChartImageTool : public TPlotCustomToolSeries {
public:
    static const TClassInfo ClassInfo;
    explicit TChartImageTool(TComponent* owner);
    std::string EditorClassName() const override { return "TChartImageToolEditor"; }
    std::string DisplayText() const override;
    void ChartStageNotify(TChartToolStage stage) override;

    TPicture& Picture() { return FPicture; }
    void SetPicture(const TPicture* value) { FPicture.Assign(value); }
    // The rectangle the picture fills.
    TRect ImageRect() const;

private:
    TPicture FPicture;
};

// ---------------------------------------------------------------------------
enum TMarkToolMouseAction { mtmMove, mtmClick };

class TMarksTipTool;
using TMarksTipGetText = std::function<void(TMarksTipTool* sender, std::string& text)>;

// Shows a point's mark text as the chart's hint.
class TMarksTipTool : public TPlotCustomToolSeries {
public:
    static const TClassInfo ClassInfo;
    explicit TMarksTipTool(TComponent* owner);
    std::string EditorClassName() const override { return "TMarksTipToolEdit"; }
    std::string DisplayText() const override;
    void SetActive(bool value) override;
    void ChartMouseNotify(TPlotMouseEventKind kind, TMouseButton button, TShiftState shift, int x, int y) override;

    TMarkToolMouseAction MouseAction() const { return FMouseAction; }
    void SetMouseAction(TMarkToolMouseAction value);
    int MouseDelay() const;
    void SetMouseDelay(int value);
    TSeriesMarksStyle Style() const { return FStyle; }
    void SetStyle(TSeriesMarksStyle value) { SetValue(FStyle, value); }
    TMarksTipGetText OnGetText;

private:
    void ShowTip(int x, int y);
    void ClearHint();

    TMarkToolMouseAction FMouseAction = mtmMove;
    TSeriesMarksStyle FStyle = smsLabel;
    TToolLife FLife;
};
