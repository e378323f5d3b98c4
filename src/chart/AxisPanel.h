#pragma once
// The chart-side part that series and axes rely on: the series list, the
// axes, the tools, paging and the data-source checks. The chart panel with
// its canvas and draw sequence builds on this class.

#include <functional>
#include <string>
#include <vector>

#include "ChartPanel.h"
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
enum TPlotSeriesEventKind {
    seAdd = 0,
    seRemove = 1,
    seChangeTitle = 2,
    seChangeColor = 3,
    seSwap = 4,
    seChangeActive = 5,
    seDataChanged = 6
};

class TCustomAxisPanel;

// The chart's series in drawing order. The list does not own them: the chart frees the
// series listed when it goes (see TCustomAxisPanel::FreeAllSeries).
class TChartSeriesList {
public:
    using const_iterator = std::vector<TChartSeries*>::const_iterator;
    using const_reverse_iterator = std::vector<TChartSeries*>::const_reverse_iterator;
    int Count() const { return static_cast<int>(FItems.size()); }
    // Bounds-checked: ChartException outside the list.
    TChartSeries* SeriesAt(int index) const;
    int IndexOf(const TChartSeries* series) const;
    const_iterator begin() const { return FItems.begin(); }
    const_iterator end() const { return FItems.end(); }
    const_reverse_iterator rbegin() const { return FItems.rbegin(); }
    const_reverse_iterator rend() const { return FItems.rend(); }
    std::size_t size() const { return FItems.size(); }
    bool empty() const { return FItems.empty(); }
    TChartSeries* front() const { return FItems.front(); }
    TChartSeries* operator[](std::size_t index) const { return FItems[index]; }
    operator const std::vector<TChartSeries*>&() const { return FItems; }

private:
    friend class TCustomAxisPanel;
    std::vector<TChartSeries*> FItems;
};

// The chart's extra axes. They follow the five standard axes in the axes list, which owns
// them; assigning copies every axis of the source into new axes of this chart.
class TChartCustomAxes {
public:
    explicit TChartCustomAxes(TCustomAxisPanel& chart) : FChart(chart) {}
    TChartCustomAxes(const TChartCustomAxes&) = delete;
    TChartCustomAxes& operator=(const TChartCustomAxes&) = delete;
    int Count() const;
    // Bounds-checked: ChartException outside the collection.
    TChartAxis* Items(int index) const;
    TChartAxis* Add();
    void Clear();
    void Assign(const TChartCustomAxes& source);

private:
    TCustomAxisPanel& FChart;
};

// Broadcast to the chart's listeners when the page or the points per page change.
struct TChartChangePage : TPlotEvent {};

// Broadcast to the chart's listeners when a series is added or removed, or its
// colour, activity or data change.
struct TPlotSeriesEvent : TPlotEvent {
    TPlotSeriesEventKind Event = seAdd;
    TChartSeries* Series = nullptr;
};

using TAxisOnGetLabel =
    std::function<void(TChartAxis* sender, TChartSeries* series, int valueIndex, std::string& labelText)>;
using TAxisOnGetNextLabel = std::function<void(TChartAxis* sender, int labelIndex, double& labelValue, bool& stop)>;
using TSeriesEventListener = std::function<void(TChartSeries* series, TPlotSeriesEventKind kind)>;

class TCustomAxisPanel : public TCustomPlotPanelExtended {
public:
    explicit TCustomAxisPanel(TComponent* owner);
    ~TCustomAxisPanel() override;

    // Series list; a series' ParentChart setter adds and removes it. The
    // chart frees the series listed when it goes, and in FreeAllSeries.
    void AddSeries(TChartSeries* series);
    void RemoveSeries(TChartSeries* series);
    // Frees every series, or only those the filter accepts (see FreeAllSeriesOf).
    void FreeAllSeries(const std::function<bool(const TChartSeries&)>& filter = {});
    // Frees the series of kind T and of the kinds derived from it.
    template <class T>
    void FreeAllSeriesOf() {
        FreeAllSeries([](const TChartSeries& s) { return dynamic_cast<const T*>(&s) != nullptr; });
    }
    int SeriesCount() const { return static_cast<int>(FSeriesList.size()); }
    // Bounds-checked; ChartException outside the list.
    TChartSeries* Series(int index) const;
    int SeriesIndexOf(const TChartSeries* series) const;
    const TChartSeriesList& SeriesList() const { return FSeriesList; }
    int ActiveSeriesCount() const;
    int MaxPointCount() const;
    TChartSeries* FirstSeriesOfAxis(const TChartAxis* axis) const;
    TChartSeries* LongestSeriesOfAxis(const TChartAxis* axis) const;
    TColor FirstFreeSeriesColor(bool checkAll = true) const;
    // Whether no series uses the colour (all series, or only the active ones).
    virtual bool IsFreeSeriesColor(TColor color, bool checkAll) const;
    // Tells the panel's listeners, then the series-change listener OnSeriesEvent.
    void BroadcastSeriesEvent(TChartSeries* series, TPlotSeriesEventKind kind);

    // Data sources.
    bool IsValidDataSource(TChartSeries* series, TComponent* component) const;
    void CheckDataSource(TChartSeries* series, TComponent* component) const;
    virtual void RefreshSeriesData(TChartSeries* series);
    // A series let go of its data source; nothing to do here, descendants that
    // track sources hear of it.
    virtual void RemovedDataSource(TChartSeries* series, TComponent* source) {
        (void)series;
        (void)source;
    }

    // Axes.
    TChartAxis* BottomAxis() const { return FBottomAxis; }
    TChartAxis* TopAxis() const { return FTopAxis; }
    TChartAxis* LeftAxis() const { return FLeftAxis; }
    TChartAxis* RightAxis() const { return FRightAxis; }
    // Assigning copies the settings into the chart's own axis, which stays owned here.
    void SetBottomAxis(const TChartAxis* value) { FBottomAxis->Assign(value); }
    void SetTopAxis(const TChartAxis* value) { FTopAxis->Assign(value); }
    void SetLeftAxis(const TChartAxis* value) { FLeftAxis->Assign(value); }
    void SetRightAxis(const TChartAxis* value) { FRightAxis->Assign(value); }
    TChartDepthAxis* DepthAxis() const { return FDepthAxis; }
    TChartAxes& AxesList() { return FAxes; }
    const TChartAxes& AxesList() const { return FAxes; }
    // Appends a custom axis (owned by the chart).
    TChartAxis* AddCustomAxis();
    TChartCustomAxes& CustomAxes() { return FCustomAxes; }
    const TChartCustomAxes& CustomAxes() const { return FCustomAxes; }
    void SetCustomAxes(const TChartCustomAxes* value) {
        if (value && value != &FCustomAxes) FCustomAxes.Assign(*value);
    }
    bool IsAxisShown(const TChartAxis* axis) const;
    bool AxisVisible() const { return FAxisVisible; }
    void SetAxisVisible(bool value) { SetValue(FAxisVisible, value); }
    // Lowest or highest value of the series along an axis.
    double SeriesExtremeForAxis(const TChartAxis* axis, bool maximum) const;
    // The same for a horizontal (X) or vertical (Y) axis, by the names callers know.
    double MinXValue(const TChartAxis* axis) const { return SeriesExtremeForAxis(axis, false); }
    double MaxXValue(const TChartAxis* axis) const { return SeriesExtremeForAxis(axis, true); }
    double MinYValue(const TChartAxis* axis) const { return SeriesExtremeForAxis(axis, false); }
    double MaxYValue(const TChartAxis* axis) const { return SeriesExtremeForAxis(axis, true); }
    // Which axes the series add to: the first page whose X values decide.
    bool AxisRunsAlongX(const TChartAxis* axis) const;

    // Tools.
    TChartTools& Tools() { return FTools; }
    void NotifyTools(TChartToolStage stage);

    // Paging.
    int MaxPointsPerPage() const { return FMaxPointsPerPage; }
    void SetMaxPointsPerPage(int value);
    int Page() const { return FPage; }
    void SetPage(int value);
    bool ScaleLastPage() const { return FScaleLastPage; }
    void SetScaleLastPage(bool value) { SetValue(FScaleLastPage, value); }
    int PageCount() const;
    TNotifyEvent OnPageChange;

    // 3D geometry of the last draw.
    int ChartDepth3D() const { return FChartDepth3D; }
    void SetChartDepth3D(int value) { FChartDepth3D = value; }
    int ChartHeight3D() const { return FChartHeight3D; }
    int SeriesDepth3D() const { return FSeriesDepth3D; }
    int SeriesHeight3D() const { return FSeriesHeight3D; }
    bool ReversedView() const { return FReversedView; }
    void SetReversedView(bool value) { FReversedView = value; }
    int MaxZOrder() const { return FMaxZOrder; }
    void SetMaxZOrder(int value) { FMaxZOrder = value; }
    void CalcDepth3D();
    int BackImageDepth() const override { return FChartDepth3D; }

    // Draw sequence.
    bool AxisBehind() const { return FAxisBehind; }
    void SetAxisBehind(bool value) { SetValue(FAxisBehind, value); }
    bool ClipPoints() const { return FClipPoints; }
    void SetClipPoints(bool value) { SetValue(FClipPoints, value); }
    bool View3DWalls() const { return FView3DWalls; }
    void SetView3DWalls(bool value) { SetValue(FView3DWalls, value); }
    void InternalDraw(const TRect& r) override;
    // Every shown axis, when axes are visible at all.
    void DrawAxes();
    void DrawSeriesValues(TChartSeries* series);
    // The marks of a series after its points; the series marks fill it in.
    virtual void DrawSeriesMarks(TChartSeries* series);
    // The widest mark text of the active series.
    int MaxMarkWidth() const;
    // Whether the series are drawn against axes (also when none is active).
    bool SeriesUseAxes() const;
    // Non-zero, and new at every draw, while the series report their margins: what they
    // measure for one axis holds for the others in the same pass.
    unsigned MarginsPass() const { return FMarginsPass; }
    // Changes at every draw (never 0 once drawn): what was drawn belongs to the draw it names.
    unsigned DrawCount() const { return FMarginsPasses; }
    virtual void DrawTitlesAndLegend(bool beforeSeries) { (void)beforeSeries; }
    // The boxes of what was placed before the axes (titles, legend), that the
    // axes' texts keep clear of.
    virtual void PlacedTexts(std::vector<TRect>& boxes) { (void)boxes; }
    virtual void DrawWalls() {}
    virtual void CalcWallsRect() { CalcDepth3D(); }
    virtual int WallSizeForAxis(const TChartAxis* axis) const {
        (void)axis;
        return 0;
    }
    // How far the walls as drawn reach past the plot's edge on an axis' side, seen at the
    // axis' depth, and how much room the walls' reduction of the plot took on that side.
    struct TWallReach {
        int Reach = 0;
        int Taken = 0;
    };
    virtual TWallReach WallReachForAxis(const TChartAxis* axis) { return TWallReach{WallSizeForAxis(axis), 0}; }
    // The blocks the walls are drawn as, in plot coordinates with their depths.
    struct TWallBlock {
        TRect r;
        int z0, z1;
    };
    virtual std::vector<TWallBlock> WallBlocks() { return {}; }
    // The zoom rubber band, when one is being dragged.
    virtual void DrawZoomRectangle() {}
    // From the last series to the first, the active ones track the mouse until one claims
    // the point; reports whether one did.
    bool MouseOverSeries(int x, int y);
    // Widest point label of all series, measured with the chart's canvas.
    int MaxPointLabelWidth() const;
    // The chart's replacement text of a legend item (empty: none).
    virtual std::string FormattedLegend(int seriesOrValueIndex) const {
        (void)seriesOrValueIndex;
        return {};
    }
    // The i-th series shown in the legend (only active ones when asked), nil when none.
    TChartSeries* SeriesForLegend(int index, bool activeOnly) const;
    std::string SeriesTitleForLegend(int index, bool activeOnly) const;
    void Assign(const TPersistent* source) override;

    TNotifyEvent OnBeforeDrawChart;
    TNotifyEvent OnBeforeDrawAxes;
    TNotifyEvent OnBeforeDrawSeries;

    // The draw sequence fires its four events through these, so that a descendant
    // can draw at those stages without taking the events from the user.
    virtual void DoAfterDraw() {
        if (OnAfterDraw) OnAfterDraw(this);
    }
    virtual void DoBeforeDrawAxes() {
        if (OnBeforeDrawAxes) OnBeforeDrawAxes(this);
    }
    virtual void DoBeforeDrawChart() {
        if (OnBeforeDrawChart) OnBeforeDrawChart(this);
    }
    virtual void DoBeforeDrawSeries() {
        if (OnBeforeDrawSeries) OnBeforeDrawSeries(this);
    }

    // Texts measured with the chart's canvas while one is attached; 0 otherwise.
    virtual int TextWidth(const std::string& text) const;
    virtual int FontHeight() const;
    // Width of the widest line of a text split at the line separator.
    int MultiLineTextWidth(const std::string& text, int& lines) const;

    TAxisOnGetLabel OnGetAxisLabel;
    TAxisOnGetNextLabel OnGetNextAxisLabel;
    TSeriesEventListener OnSeriesEvent;

private:
    // The phases of InternalDraw, in order.
    // Background, then the tools and handlers of the first stage.
    void DrawBackgroundStage(const TRect& r);
    // Depth slots of the series stacked in depth.
    void CalcSeriesZOrder(const std::vector<TChartSeries*>& series);
    // Scales the axes and shrinks the plot box by the room the shown axes take.
    // keepFloors: the labels keep the room across an earlier take of this layout found
    void CalcAxesRoom(bool keepFloors);
    void FitEndLabels(const TRect& outer, const std::vector<TRect>& placed, TRect& room);
    // Each axis takes the room for its texts from room, leaving out what has none.
    void TakeAxesRoom(const TRect& outer, TRect& room);
    void ShiftTitles(const TRect& outer);
    // moved, when given, tells whether axes moved their texts out beyond the walls
    TRect TextsOverrun(const TRect& start, const TRect& inner, const std::vector<TRect>& placed, bool leaveOut,
                       bool* moved = nullptr);
    void WallOutlines(std::vector<std::vector<std::pair<double, double>>>& outlines, TRect& bound);
    int OffWalls(TChartAxis& a, const std::vector<std::vector<std::pair<double, double>>>& walls, const TRect& bound,
                 const TRect& box, const std::vector<std::pair<double, double>>& outline);
    void CalcSeriesDepths(const std::vector<TChartSeries*>& series);
    // Widens an automatic scale by the pixels the series need beyond their
    // extreme points, and by the axis' offsets.
    // Whether the series' margins widened the axis' scale.
    bool InflateForSeriesMargins(TChartAxis* axis, const std::vector<TChartSeries*>& series);
    // Walls, axes, series, titles and legend, with the tools' later stages.
    void DrawPlotStage(const std::vector<TChartSeries*>& series);

    TChartSeriesList FSeriesList;
    TChartCustomAxes FCustomAxes{*this};
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
    int FChartDepth3D = 0;
    int FChartHeight3D = 0;
    int FSeriesDepth3D = 0;
    int FSeriesHeight3D = 0;
    bool FReversedView = false;
    int FMaxZOrder = 0;
    bool FAxisBehind = true;
    bool FClipPoints = true;
    bool FView3DWalls = true;
    unsigned FMarginsPass = 0;
    // what the axes' texts keep inside in this layout: the plot before the axes took
    // their room, the panel's frame and the legend and titles
    TRect FTextsStart{}, FTextsInner{};
    std::vector<TRect> FTextsPlaced;
    unsigned FMarginsPasses = 0;
};
