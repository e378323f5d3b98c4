#pragma once
// The chart-side part that series and axes rely on: the series list, the
// axes, the tools, paging and the data-source checks. The chart panel with
// its canvas and draw sequence builds on this class.

#include <functional>
#include <string>
#include <vector>

#include "ChartSeries.h"

class TChartAxis;
class TChartDepthAxis;

// Every axis of a chart in creation order: bottom, top, left, right, depth,
// then custom axes. Owns them.
class TChartAxes : public TOwnedList<TChartAxis> {
public:
    // Selects the value-to-pixel variants that neither clamp nor round first.
    bool UnclampedPositions = false;
};

// Kinds of series events broadcast to the chart's listeners.
enum TPlotSeriesEventKind { seAdd = 0, seRemove = 1, seChangeTitle = 2, seChangeColor = 3, seSwap = 4, seChangeActive = 5, seDataChanged = 6 };

using TAxisOnGetLabel = std::function<void(TChartAxis* sender, TChartSeries* series, int valueIndex, std::string& labelText)>;
using TAxisOnGetNextLabel = std::function<void(TChartAxis* sender, int labelIndex, double& labelValue, bool& stop)>;
using TSeriesEventListener = std::function<void(TChartSeries* series, TPlotSeriesEventKind kind)>;

class TCustomAxisPanel : public TComponent {
public:
    explicit TCustomAxisPanel(TComponent* owner);
    ~TCustomAxisPanel() override;

    // Series list.
    void AddSeries(TChartSeries* series);
    void RemoveSeries(TChartSeries* series);
    void FreeAllSeries();
    int SeriesCount() const { return static_cast<int>(FSeriesList.size()); }
    // Bounds-checked; ChartException outside the list.
    TChartSeries* Series(int index) const;
    int SeriesIndexOf(const TChartSeries* series) const;
    const std::vector<TChartSeries*>& SeriesList() const { return FSeriesList; }
    int ActiveSeriesCount() const;
    int MaxPointCount() const;
    TChartSeries* FirstSeriesOfAxis(const TChartAxis* axis) const;
    TChartSeries* LongestSeriesOfAxis(const TChartAxis* axis) const;
    TColor FirstFreeSeriesColor(bool checkAll = true) const;
    // Whether no series uses the colour (all series, or only the active ones).
    virtual bool IsFreeSeriesColor(TColor color, bool checkAll) const;
    void BroadcastSeriesEvent(TChartSeries* series, TPlotSeriesEventKind kind);

    // Data sources.
    bool IsValidDataSource(TChartSeries* series, TComponent* component) const;
    void CheckDataSource(TChartSeries* series, TComponent* component) const;
    virtual void RefreshSeriesData(TChartSeries* series);

    // Axes.
    TChartAxis* BottomAxis() const { return FBottomAxis; }
    TChartAxis* TopAxis() const { return FTopAxis; }
    TChartAxis* LeftAxis() const { return FLeftAxis; }
    TChartAxis* RightAxis() const { return FRightAxis; }
    TChartDepthAxis* DepthAxis() const { return FDepthAxis; }
    TChartAxes& AxesList() { return FAxes; }
    const TChartAxes& AxesList() const { return FAxes; }
    // Appends a custom axis (owned by the chart).
    TChartAxis* AddCustomAxis();
    bool IsAxisShown(const TChartAxis* axis) const;
    bool AxisVisible() const { return FAxisVisible; }
    void SetAxisVisible(bool value) { SetValue(FAxisVisible, value); }
    // Lowest or highest value of the series along an axis.
    double SeriesExtremeForAxis(const TChartAxis* axis, bool maximum) const;
    // Which axes the series add to: the first page whose X values decide.
    bool AxisRunsAlongX(const TChartAxis* axis) const;

    // Tools.
    TChartTools& Tools() { return FTools; }
    void NotifyTools(int stage);

    // Paging.
    int MaxPointsPerPage() const { return FMaxPointsPerPage; }
    void SetMaxPointsPerPage(int value);
    int Page() const { return FPage; }
    void SetPage(int value);
    bool ScaleLastPage() const { return FScaleLastPage; }
    void SetScaleLastPage(bool value) { SetValue(FScaleLastPage, value); }
    int PageCount() const;
    TNotifyEvent OnPageChange;

    // Geometry of the last draw.
    const TRect& PlotRect() const { return FPlotRect; }
    void SetPlotRect(const TRect& value) { FPlotRect = value; }
    int PlotWidth() const { return FPlotRect.Width(); }
    int PlotHeight() const { return FPlotRect.Height(); }
    int ChartDepth3D() const { return FChartDepth3D; }
    void SetChartDepth3D(int value) { FChartDepth3D = value; }
    bool View3D() const { return FView3D; }
    void SetView3D(bool value) { SetValue(FView3D, value); }
    bool ReversedView() const { return FReversedView; }
    void SetReversedView(bool value) { FReversedView = value; }
    bool StackSeriesInDepth() const { return FStackSeriesInDepth; }
    void SetStackSeriesInDepth(bool value) { SetValue(FStackSeriesInDepth, value); }
    int MaxZOrder() const { return FMaxZOrder; }
    void SetMaxZOrder(int value) { FMaxZOrder = value; }

    // Texts measured with the chart's canvas; 0 without one.
    virtual int TextWidth(const std::string& text) const { (void)text; return 0; }
    virtual int FontHeight() const { return 0; }
    // Width of the widest line of a text split at the line separator.
    int MultiLineTextWidth(const std::string& text, int& lines) const;

    // Repainting: a changed property asks for a new paint.
    virtual void Invalidate();
    bool AutoRepaint() const { return FAutoRepaint; }
    void SetAutoRepaint(bool value) { FAutoRepaint = value; }
    int InvalidateCount() const { return FInvalidateCount; }

    TAxisOnGetLabel OnGetAxisLabel;
    TAxisOnGetNextLabel OnGetNextAxisLabel;
    TSeriesEventListener OnSeriesEvent;

protected:
    template <class T>
    void SetValue(T& field, const T& value) {
        if (field != value) {
            field = value;
            Invalidate();
        }
    }

private:
    std::vector<TChartSeries*> FSeriesList;
    TChartAxes FAxes;
    TChartTools FTools;
    TChartAxis* FBottomAxis = nullptr;
    TChartAxis* FTopAxis = nullptr;
    TChartAxis* FLeftAxis = nullptr;
    TChartAxis* FRightAxis = nullptr;
    TChartDepthAxis* FDepthAxis = nullptr;
    bool FAxisVisible = true;
    int FMaxPointsPerPage = 0;
    int FPage = 1;
    bool FScaleLastPage = true;
    TRect FPlotRect{};
    int FChartDepth3D = 0;
    bool FView3D = false;
    bool FReversedView = false;
    bool FStackSeriesInDepth = true;
    int FMaxZOrder = 0;
    bool FAutoRepaint = true;
    int FInvalidateCount = 0;
};
