#pragma once
// Interactive chart tools: cursor lines, dragged marks, axis scroll arrows and
// lines the user draws. A tool draws at the chart's last drawing stage and
// takes a mouse event for itself by setting the chart's CancelMouse.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ChartSeries.h"

class TChartAxis;
class TCanvas3D;
struct TSeriesMarkPosition;

// Lets a tool notice that an event handler freed it (or its chart) while it ran.
class TToolLife {
public:
    std::weak_ptr<bool> Token() const { return FAlive; }

private:
    std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
};

// ---------------------------------------------------------------------------
enum TCursorToolStyle { cssHorizontal, cssVertical, cssBoth };
// What the pressed mouse button holds of a cursor.
enum TCursorPart { cpNone = 0, cpHorizontal = 1, cpVertical = 2, cpBoth = 3 };

class TCursorTool;
using TCursorToolChangeEvent = std::function<void(TCursorTool* sender, int x, int y, double xValue, double yValue,
                                                  TChartSeries* series, int valueIndex)>;

// Horizontal and/or vertical lines the user drags or that follow the mouse,
// optionally snapping to the points of a series.
class TCursorTool : public TPlotCustomToolSeries {
public:
    static const TClassInfo ClassInfo;
    explicit TCursorTool(TComponent* owner);
    std::string EditorClassName() const override { return "TCursorToolEditor"; }
    std::string DisplayText() const override;
    void SetSeries(TChartSeries* value) override;
    void ChartStageNotify(TChartToolStage stage) override;
    void ChartMouseNotify(TPlotMouseEventKind kind, TMouseButton button, TShiftState shift, int x, int y) override;
    // Reports a move; valueIndex is the snapped point or -1.
    virtual void CursorChanged(int valueIndex);

    TCursorToolStyle Style() const { return FStyle; }
    void SetStyle(TCursorToolStyle value);
    bool FollowMouse() const { return FFollowMouse; }
    void SetFollowMouse(bool value) { SetValue(FFollowMouse, value); }
    bool Snap() const { return FSnap; }
    void SetSnap(bool value) { SetValue(FSnap, value); }
    // A value set before the cursor is first placed is where it is placed.
    double XValue() const { return FXValue; }
    void SetXValue(double value) {
        FXValueSet = true;
        SetValue(FXValue, value);
    }
    double YValue() const { return FYValue; }
    void SetYValue(double value) {
        FYValueSet = true;
        SetValue(FYValue, value);
    }
    // -1 until the first drawing places the cursor.
    int CursorX() const { return FCursorX; }
    int CursorY() const { return FCursorY; }
    TCursorPart DraggedPart() const { return FDraggedPart; }
    TCursorToolChangeEvent OnChange;

    void ValuesFromPixels(int x, int y);
    void PlaceCursor();
    // The index snapped to, or -1.
    int SnapToSeries();
    int ClosestPointIndex() const;
    // The series' visible index range; false when there is none.
    bool VisibleIndexRange(int& first, int& last) const;
    TRect CursorRect() const;
    // Exclusive-or lines: drawing twice erases. With show, the picture is
    // brought to the screen at once (between drawings of the chart).
    void DrawCursor(bool show = false);
    TCursorPart HitTestCursor(int x, int y) const;

private:
    void MouseMove(int x, int y);
    // A flag of its own: a placed cursor's value may lie at pixel -1.
    bool Placed() const { return FPlaced; }

    TCursorToolStyle FStyle = cssBoth;
    bool FFollowMouse = false;
    bool FSnap = false;
    double FXValue = 0;
    double FYValue = 0;
    bool FXValueSet = false;
    bool FYValueSet = false;
    int FCursorX = -1;
    int FCursorY = -1;
    bool FPlaced = false;
    TCursorPart FDraggedPart = cpNone;
    TToolLife FLife;
};

// ---------------------------------------------------------------------------
// Drags the marks of series to places of the user's choosing.
class TDragMarksTool : public TPlotCustomToolSeries {
public:
    static const TClassInfo ClassInfo;
    explicit TDragMarksTool(TComponent* owner) : TPlotCustomToolSeries(owner) {}
    std::string EditorClassName() const override { return "TDragMarksToolEditor"; }
    std::string DisplayText() const override;
    void ChartMouseNotify(TPlotMouseEventKind kind, TMouseButton button, TShiftState shift, int x, int y) override;
    bool Dragging() const { return FDragSeries != nullptr; }

private:
    // The mark under the point: the series it belongs to and its index, or none.
    TChartSeries* MarkAt(int x, int y, int& index) const;

    TChartSeries* FDragSeries = nullptr;
    int FDragIndex = -1;
    TPoint FLastMouse{};
};

// ---------------------------------------------------------------------------
enum TAxisArrowToolPosition { aaStart, aaEnd, aaBoth };

class TAxisArrowTool;
using TAxisArrowClickEvent = std::function<void(TAxisArrowTool* sender, bool atStart)>;

// Arrows at the ends of an axis; a click on one scrolls the axis.
class TAxisArrowTool : public TPlotCustomToolAxis {
public:
    static const TClassInfo ClassInfo;
    explicit TAxisArrowTool(TComponent* owner);
    std::string EditorClassName() const override { return "TAxisArrowToolEditor"; }
    std::string DisplayText() const override;
    void ChartStageNotify(TChartToolStage stage) override;
    void ChartMouseNotify(TPlotMouseEventKind kind, TMouseButton button, TShiftState shift, int x, int y) override;

    int Length() const { return FLength; }
    void SetLength(int value) { SetValue(FLength, value); }
    TAxisArrowToolPosition Position() const { return FPosition; }
    void SetPosition(TAxisArrowToolPosition value) { SetValue(FPosition, value); }
    int ScrollPercent() const { return FScrollPercent; }
    void SetScrollPercent(int value) { SetValue(FScrollPercent, value); }
    bool ScrollInverted() const { return FScrollInverted; }
    void SetScrollInverted(bool value) { SetValue(FScrollInverted, value); }
    TAxisArrowClickEvent OnClick;

    // 0 the start arrow, 1 the end arrow, -1 none.
    int ArrowHitTest(int x, int y) const;
    void PaintAxisArrow();
    void ScrollByArrow(double offset);

private:
    int FLength = 16;
    TAxisArrowToolPosition FPosition = aaBoth;
    int FScrollPercent = 10;
    bool FScrollInverted = false;
    TToolLife FLife;
};

// ---------------------------------------------------------------------------
enum TDrawLineStyle { dlLine, dlHorizParallel, dlVertParallel };
// What the pressed mouse button drags of a line.
enum TLineDragPart { ldNone = 0, ldStart = 1, ldEnd = 2, ldWhole = 3 };

class TDrawLineTool;

// A line in the values of the tool's axes.
class TDrawLine : public TPersistent {
public:
    explicit TDrawLine(TDrawLineTool* tool) : FTool(tool) {}
    // Destroying the selected line clears the tool's selection.
    ~TDrawLine() override;
    void Assign(const TPersistent* source) override;

    TDrawLineStyle Style() const { return FStyle; }
    void SetStyle(TDrawLineStyle value) { Change(FStyle, value); }
    double X0() const { return FX0; }
    void SetX0(double value) { Change(FX0, value); }
    double Y0() const { return FY0; }
    void SetY0(double value) { Change(FY0, value); }
    double X1() const { return FX1; }
    void SetX1(double value) { Change(FX1, value); }
    double Y1() const { return FY1; }
    void SetY1(double value) { Change(FY1, value); }
    TDrawLineTool* Tool() const { return FTool; }

    TRect StartHandleRect() const;
    TRect EndHandleRect() const;
    void DrawHandles();

private:
    template <class T>
    void Change(T& field, const T& value);

    TDrawLineTool* FTool;
    TDrawLineStyle FStyle = dlLine;
    double FX0 = 0, FY0 = 0, FX1 = 0, FY1 = 0;
};

// The lines of a draw-line tool, in drawing order; owns them.
class TDrawLines {
public:
    explicit TDrawLines(TDrawLineTool* tool) : FTool(tool) {}
    int Count() const { return static_cast<int>(FItems.size()); }
    TDrawLine* operator[](int index) const { return FItems.at(static_cast<std::size_t>(index)).get(); }
    TDrawLine* Add();
    void Delete(int index);
    void Clear();
    int IndexOf(const TDrawLine* line) const;
    // Copies the lines of another collection.
    void Assign(const TDrawLines& other);

private:
    TDrawLineTool* FTool;
    std::vector<std::unique_ptr<TDrawLine>> FItems;
};

using TDrawLineSelecting = std::function<void(TDrawLineTool* sender, TDrawLine* line, bool& allowSelect)>;

// Lets the user draw straight lines on the chart, then select, move and reshape them.
class TDrawLineTool : public TPlotCustomToolSeries {
public:
    static const TClassInfo ClassInfo;
    explicit TDrawLineTool(TComponent* owner);
    ~TDrawLineTool() override;
    std::string EditorClassName() const override { return "TDrawLineEdit"; }
    std::string DisplayText() const override;
    void ChartStageNotify(TChartToolStage stage) override;
    void ChartMouseNotify(TPlotMouseEventKind kind, TMouseButton button, TShiftState shift, int x, int y) override;

    TMouseButton Button() const { return FButton; }
    void SetButton(TMouseButton value) { SetValue(FButton, value); }
    bool EnableDraw() const { return FEnableDraw; }
    void SetEnableDraw(bool value) { SetValue(FEnableDraw, value); }
    bool EnableSelect() const { return FEnableSelect; }
    void SetEnableSelect(bool value);
    TDrawLines& Lines() { return FLines; }
    void SetLines(const TDrawLines& value) { FLines.Assign(value); }
    TDrawLine* SelectedLine() const { return FSelected; }
    // None or one of Lines; ChartException for any other line (the selection stays).
    void SetSelectedLine(TDrawLine* value);
    bool IsDrawing() const { return FIsDrawing; }
    TLineDragPart LineDragPart() const { return FLineDragPart; }

    TNotifyEvent OnDraggedLine;
    TNotifyEvent OnDragLine;
    TNotifyEvent OnNewLine;
    TNotifyEvent OnSelect;
    TDrawLineSelecting OnSelecting;

    void PaintLineShape(const TPoint& start, const TPoint& end, TDrawLineStyle style);
    // The line whose part (0 the line, 1 its start handle, 2 its end handle) is under the point.
    TDrawLine* LineAt(int x, int y, int part) const;
    TDrawLine* LineUnderPoint(int x, int y) const;
    void DrawRubberLine(bool show = false);
    TPoint LinePointToPixel(double x, double y) const;
    void PixelToLinePoint(const TPoint& p, double& x, double& y) const;
    virtual void ClipToLineArea();

private:
    friend class TDrawLine;
    void MouseDown(int x, int y);
    void MouseMove(int x, int y);
    void MouseUp();
    void DrawLines();

    TMouseButton FButton = mbLeft;
    bool FEnableDraw = true;
    bool FEnableSelect = true;
    TDrawLines FLines;
    TDrawLine* FSelected = nullptr;
    bool FIsDrawing = false;
    TLineDragPart FLineDragPart = ldNone;
    TPoint FRubberStart{};
    TPoint FRubberEnd{};
    TPoint FLastMouse{};
    // the pointer left the point where the line was grabbed
    bool FDragMoved = false;
    TToolLife FLife;
};
