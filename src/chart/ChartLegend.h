#pragma once
// The legend: a framed shape listing the series or the values of one series,
// with a symbol per item, in one column beside the plot or in rows above or
// below it, taking its room from the plot rectangle.

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "ChartShapes.h"

class TCustomChart;
class TChartSeries;

enum TLegendAlignment { laLeft, laRight, laTop, laBottom };
enum TLegendStyle { lsAuto, lsSeries, lsValues, lsLastValues };
enum TLegendTextStyle {
    ltsPlain,
    ltsLeftValue,
    ltsRightValue,
    ltsLeftPercent,
    ltsRightPercent,
    ltsXValue,
    ltsValue,
    ltsPercent,
    ltsXAndValue,
    ltsXAndPercent
};
enum TLegendSymbolSize { lcsPercent, lcsPixels };
enum TLegendSymbolPosition { spLeft, spRight };

// Separator of the two text columns of an item.
inline constexpr char LegendColumnSeparator = '\x06';

using TOnGetLegendText = std::function<void(TCustomChart* sender, TLegendStyle style, int index, std::string& text)>;
using TOnGetLegendPos = std::function<void(TCustomChart* sender, int index, int& x, int& y, int& xColor)>;
using TOnGetLegendRect = std::function<void(TCustomChart* sender, TRect& rect)>;

class TChartLegend;

class TLegendSymbol : public TPersistent {
public:
    explicit TLegendSymbol(TChartLegend* legend);
    void Assign(const TPersistent* source) override;

    bool Visible() const { return FVisible; }
    void SetVisible(bool value) { Set(FVisible, value); }
    int Width() const { return FWidth; }
    void SetWidth(int value) { Set(FWidth, value); }
    TLegendSymbolSize WidthUnits() const { return FWidthUnits; }
    void SetWidthUnits(TLegendSymbolSize value) { Set(FWidthUnits, value); }
    TLegendSymbolPosition Position() const { return FPosition; }
    void SetPosition(TLegendSymbolPosition value) { Set(FPosition, value); }
    bool Squared() const { return FSquared; }
    void SetSquared(bool value) { Set(FSquared, value); }
    bool Continuous() const { return FContinuous; }
    void SetContinuous(bool value) { Set(FContinuous, value); }
    bool DefaultPen() const { return FDefaultPen; }
    void SetDefaultPen(bool value) { Set(FDefaultPen, value); }
    TChartPen& Pen() { return FPen; }

private:
    template <class T>
    void Set(T& field, const T& value) {
        if (field != value) {
            field = value;
            Changed();
        }
    }
    void Changed();
    TChartLegend* FLegend;
    bool FVisible = true;
    int FWidth = 20;
    TLegendSymbolSize FWidthUnits = lcsPercent;
    TLegendSymbolPosition FPosition = spLeft;
    bool FSquared = false;
    bool FContinuous = false;
    bool FDefaultPen = true;
    TChartPen FPen;
};

class TChartLegendGradient : public TPlotGradient {
public:
    explicit TChartLegendGradient(TNotifyEvent onChange = {});
};

class TChartLegend : public TPlotCustomShapePosition {
public:
    explicit TChartLegend(TCustomChart* chart);
    void Assign(const TPersistent* source) override;

    TCustomChart* Chart() const { return FChart; }
    TLegendAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TLegendAlignment value) { SetValue(FAlignment, value); }
    bool CheckBoxes() const { return FCheckBoxes; }
    void SetCheckBoxes(bool value) { SetValue(FCheckBoxes, value); }
    int ColorWidth() const { return FSymbol.Width(); }
    void SetColorWidth(int value) { FSymbol.SetWidth(value); }
    bool CurrentPage() const { return FCurrentPage; }
    void SetCurrentPage(bool value) { SetValue(FCurrentPage, value); }
    TChartHiddenPen& DividingLines() { return FDividingLines; }
    int FirstValue() const { return FFirstValue; }
    // Below 0: LegendException, the value unchanged.
    void SetFirstValue(int value);
    bool FontSeriesColor() const { return FFontSeriesColor; }
    void SetFontSeriesColor(bool value) { SetValue(FFontSeriesColor, value); }
    TChartPen& Frame() { return Pen(); }
    int HorizMargin() const { return FHorizMargin; }
    void SetHorizMargin(int value) { SetValue(FHorizMargin, value); }
    int VertMargin() const { return FVertMargin; }
    void SetVertMargin(int value) { SetValue(FVertMargin, value); }
    bool Inverted() const { return FInverted; }
    void SetInverted(bool value) { SetValue(FInverted, value); }
    TLegendStyle LegendStyle() const { return FLegendStyle; }
    // lsAuto is resolved at once.
    void SetLegendStyle(TLegendStyle value);
    int MaxNumRows() const { return FMaxNumRows; }
    void SetMaxNumRows(int value) { SetValue(FMaxNumRows, value); }
    bool ResizeChart() const { return FResizeChart; }
    void SetResizeChart(bool value) { SetValue(FResizeChart, value); }
    TLegendSymbol& Symbol() { return FSymbol; }
    TLegendTextStyle TextStyle() const { return FTextStyle; }
    void SetTextStyle(TLegendTextStyle value) { SetValue(FTextStyle, value); }
    int TopPos() const { return FTopPos; }
    void SetTopPos(int value) { SetValue(FTopPos, value); }
    int VertSpacing() const { return FVertSpacing; }
    void SetVertSpacing(int value) { SetValue(FVertSpacing, value); }
    // The series whose values a value legend lists; nil: the first active one.
    TChartSeries* Series() const { return FSeries; }
    void SetSeries(TChartSeries* value) { SetValue(FSeries, value); }

    TLegendStyle ResolvedStyle() const;
    bool CheckBoxesShown() const { return FCheckBoxes && ResolvedStyle() != lsValues; }
    bool ShowsSomething() const;
    bool Vertical() const { return FAlignment == laLeft || FAlignment == laRight; }
    // Item height with the legend font selected on the chart's canvas.
    int ItemHeight();
    int ItemCount() const;
    // The item's text before it is split into columns.
    std::string ItemText(int index) const;
    // The series listed at a legend position (counting all series with check boxes).
    TChartSeries* SeriesAt(int index) const;
    TChartSeries* ValueSeries() const;

    void DrawLegend();
    // Item position under the point, or -1.
    int Clicked(int x, int y);
    // Inverts Active of the series whose check box lies under the point.
    bool ToggleCheckBoxAt(int x, int y);

    // Layout of the last draw.
    int Rows() const { return FRows; }
    int Columns() const { return FColumns; }
    int LastValue() const { return FLastValue; }
    int SymbolWidth() const { return FSymbolWidth; }
    int TextWidth() const { return FTextWidth; }
    const std::vector<std::array<std::string, 2>>& Texts() const { return FTexts; }

protected:
    std::unique_ptr<TPlotGradient> NewGradient() const override;

private:
    // Item texts from FirstValue to the last value; with measure, also the column widths.
    void MakeTexts(bool measure);
    int CalcSymbolWidth(int textWidth) const;
    // Items from value index first on.
    int ItemCountFrom(int first) const;
    void DrawItem(int valueIndex, int position);
    void ReducePlot();

    TCustomChart* FChart;
    TLegendAlignment FAlignment = laRight;
    bool FCheckBoxes = false;
    bool FCurrentPage = true;
    TChartHiddenPen FDividingLines;
    int FFirstValue = 0;
    bool FFontSeriesColor = false;
    int FHorizMargin = 0;
    int FVertMargin = 0;
    bool FInverted = false;
    TLegendStyle FLegendStyle = lsAuto;
    int FMaxNumRows = 10;
    bool FResizeChart = true;
    TLegendSymbol FSymbol;
    TLegendTextStyle FTextStyle = ltsLeftValue;
    int FTopPos = 10;
    int FVertSpacing = 0;
    TChartSeries* FSeries = nullptr;

    // Working state of a draw.
    TLegendStyle FStyle = lsSeries;
    // The first value drawn: FirstValue, or the page's first.
    int FDrawFirst = 0;
    int FItemCount = 0;
    int FLastValue = -1;
    int FColumns = 0;
    int FRows = 0;
    int FItemHeight = 0;
    int FSymbolWidth = 0;
    int FColumnWidth[2] = {0, 0};
    int FTextWidth = 0;
    int FBlankWidth = 0;
    int FSymbolX = 0;
    int FTextX = 0;
    int FCheckX = 0;
    std::vector<std::array<std::string, 2>> FTexts;
};
