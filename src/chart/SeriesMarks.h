#pragma once
// Series marks: the framed text boxes a series draws beside its points, each
// optionally joined to its point by an arrow (a callout), with per-point shapes
// and positions the user may fix.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ChartShapes.h"
#include "Graphics.h"
#include "LineSeries.h"

class TChartSeries;
class TCustomAxisPanel;
class TCanvas3D;

enum TSeriesMarksStyle {
    smsValue,
    smsPercent,
    smsLabel,
    smsLabelPercent,
    smsLabelValue,
    smsLegend,
    smsPercentTotal,
    smsLabelPercentTotal,
    smsXValue,
    smsXY
};

enum TArrowHeadStyle { ahNone, ahLine, ahSolid };

// Where one mark was drawn, or is to be drawn when the position is custom.
struct TSeriesMarkPosition {
    TPoint ArrowStart{};
    bool ArrowStartFixed = false;
    TPoint ArrowEnd{};
    bool IsCustom = false;
    int BoxHeight = 0;
    TPoint BoxTopLeft{};
    int BoxWidth = 0;

    TRect Bounds() const {
        return TRect{BoxTopLeft.x, BoxTopLeft.y, BoxTopLeft.x + BoxWidth, BoxTopLeft.y + BoxHeight};
    }
    // The stored form: 34 little-endian bytes.
    static constexpr std::size_t StoredSize = 34;
    void Write(std::vector<std::uint8_t>& out) const;
    // Reads StoredSize bytes from data.
    void Read(const std::uint8_t* data);
    // Whether every coordinate and size lies within MaxStoredOffset pixels of
    // the chart's corner, as a drawable mark's do; others would overflow
    // the sums drawing makes of them.
    static constexpr int MaxStoredOffset = 32768;
    bool InRange() const;
};

// One entry or none per point index; owns its entries.
class TSeriesMarksPositions {
public:
    int Count() const { return static_cast<int>(FItems.size()); }
    // None past the end or for a point without a position.
    TSeriesMarkPosition* Position(int index) const;
    // The point's entry, made (not custom) when missing.
    TSeriesMarkPosition& Ensure(int index);
    void Set(int index, const TSeriesMarkPosition& value) { Ensure(index) = value; }
    void Delete(int index);
    void DeleteRange(int index, int count);
    void Clear() { FItems.clear(); }
    bool ExistCustom() const;

private:
    std::vector<std::unique_ptr<TSeriesMarkPosition>> FItems;
};

// The shape of one point's mark.
class TMarksItem : public TPlotCustomShape {
public:
    explicit TMarksItem(TCustomPlotPanel* parent);
};

// One optional shape per point index; owns them.
class TMarksItems {
public:
    explicit TMarksItems(TCustomPlotPanel* parent) : FParent(parent) {}
    int Count() const { return static_cast<int>(FItems.size()); }
    // The point's shape, made when missing.
    TMarksItem& Item(int index);
    // None past the end or when the point has no shape of its own.
    TMarksItem* ItemIfAny(int index) const;
    void Delete(int index);
    void DeleteRange(int index, int count);
    // Frees the shapes and repaints when there were any.
    void Clear();
    void SetParentChart(TCustomPlotPanel* parent);
    // The shapes came from stored form data and survive a clearing of the points.
    bool ItemsLoaded = false;

private:
    TCustomPlotPanel* FParent;
    std::vector<std::unique_ptr<TMarksItem>> FItems;
};

// A marker at the start of an arrow that runs from a point to somewhere else.
class TCallout : public TSeriesPointer {
public:
    explicit TCallout(TChartSeries* series);
    void Assign(const TPersistent* source) override;

    TChartPen& Arrow() { return FArrow; }
    const TChartPen& Arrow() const { return FArrow; }
    void SetArrow(const TChartPen* value) { FArrow.Assign(value); }
    TArrowHeadStyle ArrowHead() const { return FArrowHead; }
    void SetArrowHead(TArrowHeadStyle value) { SetValue(FArrowHead, value); }
    int ArrowHeadSize() const { return FArrowHeadSize; }
    void SetArrowHeadSize(int value) { SetValue(FArrowHeadSize, value); }
    int Distance() const { return FDistance; }
    void SetDistance(int value) { SetValue(FDistance, value); }

    // The arrow from start to end and, without an arrow head, the marker at
    // the start; z is the depth on a 3D chart.
    void Draw(TCanvas3D& canvas, bool is3D, TColor color, const TPoint& start, const TPoint& end, int z);

protected:
    // A callout's pointer keeps the colours its own gradient was given.
    bool GradientTakesPointColor() const override { return false; }

private:
    TWhitePen FArrow;
    TArrowHeadStyle FArrowHead = ahNone;
    int FArrowHeadSize = 8;
    int FDistance = 0;
};

class TMarksCallout : public TCallout {
public:
    explicit TMarksCallout(TChartSeries* series);
    void Assign(const TPersistent* source) override;
    int Length() const { return FLength; }
    void SetLength(int value) { SetValue(FLength, value); }

private:
    int FLength = 8;
};

class TSeriesMarksGradient : public TPlotGradient {
public:
    TSeriesMarksGradient();
};

class TSeriesMarks : public TPlotCustomShape {
public:
    // The series owns its marks.
    explicit TSeriesMarks(TChartSeries* series);
    ~TSeriesMarks() override;
    void Assign(const TPersistent* source) override;
    // Follows the series into another chart (with the callout and the shapes).
    void SetParentChart(TCustomAxisPanel* chart);

    int Angle() const { return FAngle; }
    void SetAngle(int value) { SetValue(FAngle, value); }
    TChartPen& Arrow() { return FCallout.Arrow(); }
    int ArrowLength() const { return FCallout.Length(); }
    void SetArrowLength(int value) { FCallout.SetLength(value); }
    TColor BackColor() const { return Color(); }
    void SetBackColor(TColor value) { SetColor(value); }
    TMarksCallout& Callout() { return FCallout; }
    const TMarksCallout& Callout() const { return FCallout; }
    bool Clip() const { return FClip; }
    void SetClip(bool value) { SetValue(FClip, value); }
    int DrawEvery() const { return FDrawEvery; }
    // Values below 1 draw every mark.
    void SetDrawEvery(int value);
    bool MultiLine() const { return FMultiLine; }
    void SetMultiLine(bool value) { SetValue(FMultiLine, value); }
    TSeriesMarksStyle Style() const { return FStyle; }
    void SetStyle(TSeriesMarksStyle value) { SetValue(FStyle, value); }
    TChartSeries* Series() const { return FSeries; }

    TSeriesMarksPositions& Positions() { return FPositions; }
    const TSeriesMarksPositions& Positions() const { return FPositions; }
    TMarksItems& Items() { return FItems; }
    const TMarksItems& Items() const { return FItems; }
    // Depth at which the marks are drawn.
    int MarkDepth = 0;

    // The text of a point's mark in the current style, after the series' OnGetMarkText.
    std::string GetMarkText(int index) const;
    // The marks of the visible points, every DrawEvery-th, skipping null points.
    void DrawMarks();
    void DrawOneMark(int index, TColor color, TSeriesMarkPosition& position, const std::string& text);
    // The first mark drawn by the chart's last draw whose box holds the pixel, or -1.
    int MarkAtPixel(int x, int y) const;
    // Width of the widest line of the point's mark text in the chart's current font.
    int MarkTextWidth(int index) const;
    // How far the drawn boxes of the marks DrawMarks would draw stand out from the point
    // their box is put on (before the callout's length moves it): above, below, to the left
    // and to the right, with frame and shadow, turned by Angle. All 0 without such marks.
    struct TBoxReach {
        int Above = 0, Below = 0, Left = 0, Right = 0;
    };
    TBoxReach BoxReach();
    // Moves the box and the arrow's end up by Length + Distance and its start by Distance.
    void ApplyArrowLength(TSeriesMarkPosition& position) const;
    // Forgets the positions, and the shapes unless they came from stored data.
    void ClearMarkPositions();
    // A point was deleted: its position and shape go with it.
    void DeletePoints(int index, int count);

protected:
    std::unique_ptr<TPlotGradient> NewGradient() const override;

private:
    std::string ValueText(int index) const;
    std::string PercentText(int index) const;
    std::string PercentTotalText(int index) const;
    std::string XText(int index) const;
    std::string LegendText(int index) const;
    // Width and height of the box around a text with the canvas' current font.
    void BoxSize(TCanvas3D& canvas, const TPlotCustomShape& shape, const std::string& text, int& width,
                 int& height) const;
    void DrawText(TCanvas3D& canvas, const TPlotCustomShape& shape, const TRect& box, const std::string& text);
    // The shape of point i's mark when DrawMarks draws one for it, else none.
    TPlotCustomShape* DrawnShape(int index, std::string& text);
    // Selects the shape's font as the marks are drawn with it and measures it.
    void SelectMarkFont(TCanvas3D& canvas, TPlotCustomShape& shape);
    // Calls visit(index, shape, text) for each point of first..last whose mark is drawn,
    // with the mark's font selected (points of one shape share one selection).
    template <typename Visit>
    void ForEachDrawnMark(TCanvas3D& canvas, int first, int last, Visit visit);
    // What the shape covers when drawn in the box: turned, with its shadow and frame.
    TRect CoveredBounds(TPlotCustomShape& shape, const TRect& box) const;
    // Moves a computed box into the plot as drawn at MarkDepth; false when the mark is
    // left out (no room, or its point is clipped away).
    bool KeepInsidePlot(int index, TPlotCustomShape& shape, TSeriesMarkPosition& position) const;
    // The box of a text as DrawMarks places it on a point at (0, 0).
    TSeriesMarkPosition PlaceBox(TCanvas3D& canvas, const TPlotCustomShape& shape, const std::string& text,
                                 const TPoint& point) const;

    TChartSeries* FSeries;
    int FAngle = 0;
    TMarksCallout FCallout;
    bool FClip = false;
    int FDrawEvery = 1;
    bool FMultiLine = false;
    TSeriesMarksStyle FStyle = smsLabel;
    TSeriesMarksPositions FPositions;
    TMarksItems FItems;
    // The width of "W" and the line height in the font of the shape being drawn,
    // while DrawMarks runs (-1: not measured).
    struct TFontMetrics {
        int WideChar = -1;
        int LineHeight = -1;
    };
    TFontMetrics FFontMetrics;
    // The points whose marks the chart's draw FDrawnIn drew, in drawing order.
    std::vector<int> FDrawn;
    unsigned FDrawnIn = 0;
    // BoxReach of the chart's margins pass it was measured in.
    unsigned FReachPass = 0;
    TBoxReach FReach;
};

// The lines of a text split at the line separator, each kept whole.
std::vector<std::string> SplitMarkLines(const std::string& text);
