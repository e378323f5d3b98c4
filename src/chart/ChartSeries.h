#pragma once
// Series and their point storage: parallel value lists of doubles, point
// colours and labels, data sources and dependent series, and the base
// classes of chart tools.

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ChartAttributes.h"
#include "ChartComponent.h"
#include "ChartControl.h"
#include "ChartError.h"
#include "Graphics.h"

class TChartSeries;
class TCustomAxisPanel;
class TChartAxis;
class TPlotFunction;
class TSeriesMarks;
struct TSeriesMarkPosition;
class TCanvas;

enum TChartListOrder { loNone, loAscending, loDescending };

// One coordinate of all points of a series.
class TChartValueList : public TPersistent {
public:
    // Only a series makes its value lists (TChartSeries::AddValueList) and owns them.
    class TOwnerKey {
        friend class TChartSeries;
        TOwnerKey() = default;
    };
    TChartValueList(TOwnerKey, TChartSeries* owner, std::string name);
    ~TChartValueList() override = default;

    virtual int InsertSorted(double value);
    virtual void ClearValues();
    virtual void InsertAt(int index, double value);
    virtual void DeleteAt(int index);

    void DeleteRange(int index, int count);
    // Bounds-checked; ChartException outside 0 .. Count - 1.
    double ValueAt(int index) const;
    void SetValue(int index, double value);
    double FirstValue() const { return ValueAt(0); }
    double LastValue() const { return ValueAt(FValueCount - 1); }
    int Count() const { return FValueCount; }
    int Capacity() const { return static_cast<int>(FValueArray.size()); }
    const double* Data() const { return FValueArray.data(); }

    // Statistics over the finite values; 0 when there are none.
    double LowestValue() const;
    double HighestValue() const;
    double ValueSum() const;
    double AbsValueSum() const;
    double Spread() const { return HighestValue() - LowestValue(); }
    // Whether any value is a finite number: a list of NaN and infinities holds no data.
    bool HasFiniteValue() const;
    void RecalcStats() const;
    bool StatsStale() const { return FStatsStale; }

    void RotateLeft();
    void FillSequence();
    void ExchangeValues(int a, int b);
    void SortValues();
    // Copies the settings (order, date-time flag, value source), never the values.
    void Assign(const TPersistent* source) override;

    bool DateTime() const { return FDateTime; }
    // The flag changes how the values read in labels and marks: repaints on a change.
    void SetDateTime(bool value);
    const std::string& Name() const { return FName; }
    void SetName(std::string value) { FName = std::move(value); }
    TChartListOrder Order() const { return FOrder; }
    // The order also says which points the drawing may skip: repaints on a change.
    void SetOrder(TChartListOrder value);
    TChartSeries* OwnerSeries() const { return FOwner; }
    const std::string& ValueSource() const { return FValueSource; }
    void SetValueSource(const std::string& value);
    double PendingValue() const { return FPendingValue; }
    void SetPendingValue(double value) { FPendingValue = value; }

private:
    void Grow();
    void CheckIndex(int index) const;

    TChartSeries* FOwner;
    std::string FName;
    bool FDateTime = false;
    TChartListOrder FOrder = loNone;
    std::string FValueSource;
    double FPendingValue = 0;
    std::vector<double> FValueArray;
    int FValueCount = 0;
    mutable bool FStatsStale = true;
    mutable double FLowest = 0, FHighest = 0, FSum = 0, FAbsSum = 0;
    mutable bool FAnyFinite = false;
};

// The value lists of one series in creation order; owns them.
class TChartValueLists {
public:
    TChartValueLists() = default;
    TChartValueLists(const TChartValueLists&) = delete;
    TChartValueLists& operator=(const TChartValueLists&) = delete;
    int Count() const { return static_cast<int>(FItems.size()); }
    TChartValueList* operator[](int index) const { return FItems.at(static_cast<std::size_t>(index)).get(); }
    void Add(std::unique_ptr<TChartValueList> list) { FItems.push_back(std::move(list)); }
    void Clear() { FItems.clear(); }

private:
    std::vector<std::unique_ptr<TChartValueList>> FItems;
};

// One optional text per point; shorter than the point count until a label
// is stored.
class TLabelsList {
public:
    int Count() const { return static_cast<int>(FItems.size()); }
    // Empty text past the end.
    const std::string& Label(int index) const;
    void SetLabel(int index, const std::string& text);
    void Insert(int index, const std::string& text);
    void Delete(int index);
    void DeleteRange(int index, int count);
    void Exchange(int a, int b);
    void Clear() { FItems.clear(); }

private:
    std::vector<std::string> FItems;
};

// Common base of series and tools.
class TCustomChartElement : public TComponent {
public:
    explicit TCustomChartElement(TComponent* owner);
    ~TCustomChartElement() override;

    bool Active() const { return FActive; }
    TChartBrush* Brush() const { return FBrush.get(); }
    TChartPen* Pen() const { return FPen.get(); }
    TCustomAxisPanel* ParentChart() const { return FParent; }
    void SetBrush(const TChartBrush* value);

    virtual void RepaintChart();
    virtual std::string EditorClassName() const { return {}; }
    virtual void SetActive(bool value);
    virtual void SetParentChart(TCustomAxisPanel* value);
    virtual void SetPen(const TChartPen* value);

protected:
    // Stores a changed value and repaints.
    template <class T>
    void SetValue(T& field, const T& value) {
        if (field != value) {
            field = value;
            RepaintChart();
        }
    }
    bool FActive = true;
    TCustomAxisPanel* FParent = nullptr;

private:
    std::unique_ptr<TChartBrush> FBrush;
    std::unique_ptr<TChartPen> FPen;
};

class TCustomChartSeries : public TCustomChartElement {
public:
    explicit TCustomChartSeries(TComponent* owner) : TCustomChartElement(owner) {}
    bool ShowInLegend() const { return FShowInLegend; }
    void SetShowInLegend(bool value) { SetValue(FShowInLegend, value); }
    const std::string& Title() const { return FTitle; }
    void SetTitle(const std::string& value) { SetValue(FTitle, value); }
    const std::string& Identifier() const { return FIdentifier; }
    void SetIdentifier(const std::string& value) { FIdentifier = value; }
    int Style() const { return FStyle; }
    void SetStyle(int value) { FStyle = value & 0x3F; }

private:
    bool FShowInLegend = true;
    std::string FTitle;
    std::string FIdentifier;
    int FStyle = 0;
};

enum THorizAxis { aTopAxis, aBottomAxis, aBothHorizAxis, aCustomHorizAxis };
enum TVertAxis { aLeftAxis, aRightAxis, aBothVertAxis, aCustomVertAxis };

// Kinds of change a series passes on to the series that use it as a source.
enum TSeriesNotify { snClear = 0, snAdd = 1, snDelete = 2, snRefill = 3, snModified = 4 };

// Bits of SourceFollowFlags.
inline constexpr std::uint8_t sfDelete = 1, sfModify = 2, sfAdd = 4, sfClear = 8;

using TSeriesEvent = std::function<void(TChartSeries* sender)>;
using TSeriesClick =
    std::function<void(TChartSeries* sender, int valueIndex, TMouseButton button, TShiftState shift, int x, int y)>;
using TSeriesOnBeforeAdd = std::function<bool(TChartSeries* sender)>;
using TSeriesOnAfterAdd = std::function<void(TChartSeries* sender, int valueIndex)>;
using TSeriesOnGetMarkText = std::function<void(TChartSeries* sender, int valueIndex, std::string& markText)>;

class TChartSeries : public TCustomChartSeries {
public:
    explicit TChartSeries(TComponent* owner);
    ~TChartSeries() override;

    // Virtual operations, in the order later series kinds rely on.
    void RepaintChart() override;
    std::string EditorClassName() const override { return {}; }
    void SetActive(bool value) override;
    // The chart set here lists the series and frees it with itself (and in
    // FreeAllSeries); setting none takes it out of the list, and the caller
    // or the series' owner frees it.
    void SetParentChart(TCustomAxisPanel* value) override;
    void SetPen(const TChartPen* value) override;
    virtual void GetHorizMargins(int& left, int& right);
    virtual void GetVertMargins(int& top, int& bottom);
    virtual void SeriesHook() {}
    virtual int CopyValueFrom(TChartSeries* source, int index);
    virtual void AddFromSource(TChartSeries* source, int index);
    virtual void RefillFromSource(TChartSeries* source);
    virtual void CalcZOrder();
    virtual void ClearStorage();
    virtual void EnumSubStyles(const std::function<void(const std::string&)>& callback);
    virtual void DeleteFromSource(TChartSeries* source, int index);
    virtual void DoAfterDrawValues();
    virtual void DoBeforeDrawValues();
    virtual void DrawVisibleValues();
    virtual void DrawLegendShape(int index, const TRect& rect);
    virtual void DrawMark(int index, const std::string& text, TSeriesMarkPosition* position);
    virtual void DrawPoint(int index) { (void)index; }
    virtual TColor PointColor(int index) const;
    virtual double XValueAt(int index) const;
    virtual double YValueAt(int index) const;
    virtual void AfterAdd(TObject* sender, int index);
    virtual void NotifyDependents(TSeriesNotify kind, int index);
    virtual bool SharesZWithOther() const;
    virtual void PrepareLegendSymbol(int index, TColor& backColor, TBrushStyle& brushStyle);
    virtual void SetColorEachPoint(bool value);
    virtual void SetSeriesColor(TColor value);
    virtual void ApplySubStyle(TChartSeries* series, int index);
    // Readies the series for a small gallery preview: four sample points, small
    // hidden marks, and the palette's first colour for the chart's first series
    // (its fourth for the others), or silver when the preview is disabled.
    virtual void PrepareForGallery(bool enabled);
    virtual int AppendValue(double value, const std::string& label = {}, TColor color = SeriesDefaultColor);
    virtual int AppendNull(double value);
    virtual int AddNullPoint(double x, double y, const std::string& label = {});
    virtual int AddPoint(double x, double y, const std::string& label = {}, TColor color = SeriesDefaultColor);
    virtual bool UsesAxis(const TChartAxis* axis) const;
    virtual void ClearPoints();
    virtual int LegendCount() const { return PointCount(); }
    virtual void DeletePoint(int index);
    virtual void DeletePoints(int start, int count, bool renumber = false);
    virtual int LegendToValueIndex(int index) const { return index; }
    virtual TColor LegendItemColor(int index) const { return PointColor(index); }
    virtual std::string LegendItemText(int style, int index) const;
    virtual double HighestX() const;
    virtual double HighestY() const;
    virtual double HighestZ() const;
    virtual double LowestX() const;
    virtual double LowestY() const;
    virtual double LowestZ() const;
    virtual int PointScreenX(int index) const;
    virtual int PointScreenY(int index) const;
    virtual TChartValueList* ValueListByName(const std::string& name) const;
    // The point under the pixel, or -1; a hit test only, raising nothing, so
    // that hovering, tips and tools may ask it freely.
    virtual int PointAtPixel(int x, int y) const;
    // The point a mouse press lands on: the hit test, plus what a press on a
    // point means to the series itself.
    virtual int PointClicked(int x, int y) { return PointAtPixel(x, y); }
    // The series has handlers of its own for a press on its points.
    virtual bool TakesClicks() const { return OnClick || OnDblClick; }
    virtual double MarkValue(int index) const { return PrimaryValueAt(index); }
    virtual double PrimaryValueAt(int index) const;
    virtual bool DrawsForward() const;
    virtual bool DrawsInFront() const;
    virtual void DrawLegendItem(int index, const TRect& rect);
    virtual bool ParticipatesInAxes() const { return true; }
    // The series takes the function as an owned component and frees the one
    // it had; a function freed elsewhere is forgotten through its free notification.
    virtual void SetSeriesFunction(TPlotFunction* function);

    // Non-virtual operations.
    int PointCount() const { return FXValues->Count(); }
    void CalcVisibleRange();
    void SuspendNotify() { ++FUpdateDepth; }
    // An unmatched call leaves the depth at 0.
    void ResumeNotify();
    TComponent* DataSource() const { return FSourceList.empty() ? nullptr : FSourceList[0]; }
    void SetDataSource(TComponent* value);
    void FillSampleValues(int count = 0);
    void SwapPoints(int a, int b);
    std::string SeriesTitle() const;
    // Value texts of a point: the series' value format, or a date-time text.
    std::string XValueText(int index) const;
    std::string YValueText(int index) const;
    // Copies settings, then the sources or (outside design mode) the points.
    void Assign(const TPersistent* source) override;

    // The point data of the form stream ("Data"): a flags byte, an int32
    // count and per point the values, colour, label and extra values, all
    // little-endian. Reading replaces the points and marks them ManualData;
    // malformed data raises ChartException and leaves the points as they were.
    std::vector<std::uint8_t> WritePointData() const;
    void ReadPointData(const std::uint8_t* data, std::size_t size);
    // Z order in use: the setting, or the computed one when automatic.
    int ZOrder() const { return FZOrderSetting == -1 ? FComputedZOrder : FZOrderSetting; }

    // Appends a further coordinate of the points, owned by the series; made
    // before points are added, as the lists stay parallel.
    TChartValueList* AddValueList(std::string name);
    TChartValueList* XValues() const { return FXValues; }
    TChartValueList* YValues() const { return FYValues; }
    TChartValueList* PrimaryValues() const { return FValuesVertical ? FYValues : FXValues; }
    TChartValueList* SecondaryValues() const { return FValuesVertical ? FXValues : FYValues; }
    const TChartValueLists& ValueLists() const { return FValueLists; }
    TChartValueLists& ValueLists() { return FValueLists; }
    TLabelsList& PointLabels() { return FPointLabels; }
    const TLabelsList& PointLabels() const { return FPointLabels; }
    bool HasColorList() const { return FColorList.has_value(); }
    // The stored colour of a point (SeriesDefaultColor without a colour list).
    TColor ColorListEntry(int index) const;
    void SetPointColor(int index, TColor color);
    const std::vector<TComponent*>& SourceList() const { return FSourceList; }
    const std::vector<TChartSeries*>& Dependents() const { return FDependents; }
    bool ValuesVertical() const { return FValuesVertical; }
    void SetValuesVertical(bool value) { FValuesVertical = value; }

    bool ColorEachPoint() const { return FColorEachPoint; }
    TColor SeriesColor() const { return FSeriesColor; }
    const std::string& ColorSource() const { return FColorSource; }
    void SetColorSource(const std::string& value) { FColorSource = value; }
    int Cursor() const { return FCursor; }
    void SetCursor(int value) { FCursor = value; }
    int Depth() const { return FDepth; }
    void SetDepth(int value) { SetValue(FDepth, value); }
    THorizAxis HorizAxis() const { return FHorizAxis; }
    void SetHorizAxis(THorizAxis value);
    TVertAxis VertAxis() const { return FVertAxis; }
    void SetVertAxis(TVertAxis value);
    TChartAxis* CustomHorizAxis() const { return FCustomHorizAxis; }
    void SetCustomHorizAxis(TChartAxis* value);
    TChartAxis* CustomVertAxis() const { return FCustomVertAxis; }
    void SetCustomVertAxis(TChartAxis* value);
    TChartAxis* GetHorizAxis() const { return FHorizAxisRef; }
    TChartAxis* GetVertAxis() const { return FVertAxisRef; }
    // Resolves the axis references from the chart's axes.
    void RecalcGetAxis();
    const std::string& PercentFormat() const { return FPercentFormat; }
    void SetPercentFormat(const std::string& value) { SetValue(FPercentFormat, value); }
    const std::string& ValueFormat() const { return FValueFormat; }
    void SetValueFormat(const std::string& value) { SetValue(FValueFormat, value); }
    const std::string& XLabelsSource() const { return FXLabelsSource; }
    void SetXLabelsSource(const std::string& value) { FXLabelsSource = value; }
    int ZOrderSetting() const { return FZOrderSetting; }
    void SetZOrderSetting(int value) { SetValue(FZOrderSetting, value); }
    int ComputedZOrder() const { return FComputedZOrder; }
    void SetComputedZOrder(int value) { FComputedZOrder = value; }
    int FirstVisible() const { return FFirstVisible; }
    int LastVisible() const { return FLastVisible; }
    std::uint8_t SourceFollowFlags() const { return FSourceFollowFlags; }
    void SetSourceFollowFlags(std::uint8_t value) { FSourceFollowFlags = value; }
    TPlotFunction* SeriesFunction() const { return FSeriesFunction; }
    int UpdateDepth() const { return FUpdateDepth; }
    bool ManualData() const { return FManualData; }
    void SetManualData(bool value) { FManualData = value; }
    int SampleCount() const { return FSampleCount; }
    void SetSampleCount(int value) { FSampleCount = value; }
    bool CalcVisiblePoints() const { return FCalcVisiblePoints; }
    void SetCalcVisiblePoints(bool value) { FCalcVisiblePoints = value; }
    bool DrawBetweenPoints() const { return FDrawBetweenPoints; }
    void SetDrawBetweenPoints(bool value) { FDrawBetweenPoints = value; }
    bool SinglePointResult() const { return FSinglePointResult; }
    void SetSinglePointResult(bool value) { FSinglePointResult = value; }
    bool StoreXValues() const { return FStoreXValues; }
    void SetStoreXValues(bool value) { FStoreXValues = value; }
    // Series kinds that keep their own slot in depth set this.
    bool HasZValues() const { return FHasZValues; }
    int SeriesStartZ = 0;
    int SeriesMiddleZ = 0;
    int SeriesEndZ = 0;

    TSeriesEvent AfterDrawValues;
    TSeriesEvent BeforeDrawValues;
    TSeriesOnAfterAdd OnAfterAdd;
    TSeriesOnBeforeAdd OnBeforeAdd;
    TSeriesEvent OnClearValues;
    TSeriesClick OnClick;
    TSeriesClick OnDblClick;
    TSeriesEvent OnMouseEnter;
    TSeriesEvent OnMouseLeave;

    // Mouse tracking while the mouse moves over the chart: whether the series claims the
    // point. A series with a Cursor then shows it; entering and leaving fire the events.
    bool CheckMouse(int x, int y);
    // May replace the text of a point's mark.
    TSeriesOnGetMarkText OnGetMarkText;

    // The marks, owned by the series.
    TSeriesMarks& Marks() { return *FMarks; }
    const TSeriesMarks& Marks() const { return *FMarks; }
    void SetMarks(const TSeriesMarks* value);
    // The widest mark text of the points whose mark is shown.
    int WidestMarkWidth() const;

    // The chart's notifications: the series was added to or removed from it.
    virtual void AddedToChart();
    virtual void RemovedFromChart();
    // Default number of sample points of the kind.
    virtual int NumSampleValues() const { return 25; }

protected:
    void Notification(TComponent* component, TOperation operation) override;
    // Adds Count sample points; series kinds with other coordinates override it.
    virtual void AddSampleValues(int count);
    bool FHasZValues = false;

private:
    friend class TChartValueList;
    friend class TCustomAxisPanel;
    friend class TPlotSeriesSource;
    void DetachSources();
    // Checks a source to be added (false when it is listed already) and adds it.
    bool CheckNewSource(TComponent* value);
    void AttachSource(TComponent* value);
    // Takes every source of a list that is not taken yet, the first as DataSource
    // (a new one replaces the sources the series had), and refreshes once.
    void AssignSources(const std::vector<TComponent*>& sources);
    void RemoveDependent(TChartSeries* series);
    void AddDependent(TChartSeries* series);
    void CheckPointIndex(int index) const;

    TChartValueLists FValueLists;
    TChartValueList* FXValues;
    TChartValueList* FYValues;
    TLabelsList FPointLabels;
    // One colour per point once a point has its own; none before.
    std::optional<std::vector<TColor>> FColorList;
    std::vector<TComponent*> FSourceList;
    std::vector<TChartSeries*> FDependents;
    bool FValuesVertical = true;
    bool FColorEachPoint = false;
    TColor FSeriesColor = SeriesDefaultColor;
    std::string FColorSource;
    int FCursor = 0;
    bool FMouseInside = false;
    int FDepth = -1;
    THorizAxis FHorizAxis = aBottomAxis;
    TVertAxis FVertAxis = aLeftAxis;
    TChartAxis* FCustomHorizAxis = nullptr;
    TChartAxis* FCustomVertAxis = nullptr;
    TChartAxis* FHorizAxisRef = nullptr;
    TChartAxis* FVertAxisRef = nullptr;
    std::string FPercentFormat;
    std::string FValueFormat;
    std::string FXLabelsSource;
    int FZOrderSetting = -1;
    int FComputedZOrder = 0;
    int FFirstVisible = -1;
    int FLastVisible = -1;
    std::uint8_t FSourceFollowFlags = 15;
    TPlotFunction* FSeriesFunction = nullptr;
    int FUpdateDepth = 0;
    bool FManualData = false;
    int FSampleCount = 0;
    bool FCalcVisiblePoints = true;
    bool FDrawBetweenPoints = false;
    bool FSinglePointResult = true;
    bool FStoreXValues = true;
    std::unique_ptr<TSeriesMarks> FMarks;
};

enum TFunctionPeriodAlign { paFirst, paCenter, paLast };
enum TFunctionPeriodStyle { psNumPoints, psRange };

// The function frame that computes a series from its sources, over the whole
// range or period by period (SeriesFunction.cpp); the function kinds derive from it.
class TPlotFunction : public TComponent {
public:
    explicit TPlotFunction(TComponent* owner) : TComponent(owner) {}
    void Assign(const TPersistent* source) override;
    // A new function of this kind with the default settings and no owner.
    virtual std::unique_ptr<TPlotFunction> NewOfSameKind() const { return std::make_unique<TPlotFunction>(nullptr); }
    TChartSeries* ParentSeries() const { return FParent; }
    void SetParentSeries(TChartSeries* value) { FParent = value; }
    // Whether the function can compute from this source series.
    virtual bool IsValidSource(TChartSeries* source) const { return source != nullptr; }
    // Whether the function computes its points without a source.
    virtual bool NoSourceRequired() const { return false; }
    // Computes the points of the parent series from Source (none: from nothing).
    virtual void AddPoints(TChartSeries* source);
    // Readies every series of a gallery preview chart.
    virtual void PrepareGalleryChart(TCustomAxisPanel* chart);

    virtual void ComputePeriod(TChartSeries* source, int first, int last, double position);
    virtual void ComputeWhole(TChartSeries* source, TChartValueList* list);
    virtual void ComputeByPeriod(TChartSeries* source, TChartValueList* list);
    virtual void Calculate(TChartSeries* source, TChartValueList* list);
    virtual std::string EditorClassName() const { return "TPlotFunctionEditor"; }
    // Value over the points first..last (-1, -1: all) of one source.
    virtual double ComputeValue(TChartSeries* source, int first, int last);
    // Value at one point index from several sources.
    virtual double ComputeMany(const std::vector<TChartSeries*>& sources, int index);

    // 0 means the whole range; a negative period raises ChartException.
    double Period() const { return FPeriod; }
    void SetPeriod(double value);
    TFunctionPeriodAlign PeriodAlign() const { return FPeriodAlign; }
    void SetPeriodAlign(TFunctionPeriodAlign value);
    TFunctionPeriodStyle PeriodStyle() const { return FPeriodStyle; }
    void SetPeriodStyle(TFunctionPeriodStyle value);
    bool Suspended() const { return FSuspended; }
    void SetSuspended(bool value) { FSuspended = value; }

protected:
    // Adds a computed value at a position along the source's other coordinate.
    void AddFunctionPoint(bool vertical, double value, double position);
    // The source's value list the function reads.
    TChartValueList* ValueListOf(TChartSeries* source) const;
    // Asks the series to compute its points again.
    void Recalculate();

private:
    TChartSeries* FParent = nullptr;
    double FPeriod = 0;
    TFunctionPeriodAlign FPeriodAlign = paCenter;
    TFunctionPeriodStyle FPeriodStyle = psNumPoints;
    bool FSuspended = false;
};

// A component that fills one series from an outside source.
class TPlotSeriesSource : public TComponent {
public:
    explicit TPlotSeriesSource(TComponent* owner) : TComponent(owner) {}
    ~TPlotSeriesSource() override;

    virtual void SetSourceActive(bool value);
    virtual bool AcceptsChart(TCustomAxisPanel* chart) const {
        (void)chart;
        return true;
    }
    virtual std::string DisplayText() const { return {}; }
    virtual void* EditorForm() const { return nullptr; }
    virtual bool OffersNew() const { return false; }
    virtual bool FeedsSeries(TChartSeries* series) const;
    virtual void Deactivate();
    virtual void FillSeries() = 0;
    virtual void Activate() { SetSourceActive(true); }
    // Class name of the kind, compared by FeedsSeries.
    virtual std::string ClassName() const { return "TPlotSeriesSource"; }

    bool Active() const { return FActive; }
    TChartSeries* Series() const { return FSeries; }
    void SetSeries(TChartSeries* value);
    // Reloads the series when active.
    void Refresh();

protected:
    void Notification(TComponent* component, TOperation operation) override;

private:
    friend class TChartSeries;
    bool FActive = false;
    TChartSeries* FSeries = nullptr;
};

// The stages of a chart drawing at which the tools are called, in the order
// they come: after the background, before the series, after everything else.
enum TChartToolStage { ctsBeforeDraw = 2, ctsBeforeSeries = 1, ctsAfterDraw = 0 };

// Base of chart tools.
class TPlotCustomTool : public TCustomChartElement {
public:
    explicit TPlotCustomTool(TComponent* owner) : TCustomChartElement(owner) {}
    ~TPlotCustomTool() override;
    // The chart set here owns the tool and frees it with itself; setting
    // another chart moves it there, setting none hands it back to the caller.
    void SetParentChart(TCustomAxisPanel* value) override;
    // Called at each stage of every chart drawing.
    virtual void ChartStageNotify(TChartToolStage stage) { (void)stage; }
    // Called for every mouse event until a tool sets the chart's CancelMouse.
    virtual void ChartMouseNotify(TPlotMouseEventKind kind, TMouseButton button, TShiftState shift, int x, int y) {
        (void)kind, (void)button, (void)shift, (void)x, (void)y;
    }
    virtual std::string DisplayText() const { return {}; }
};

class TPlotCustomToolSeries : public TPlotCustomTool {
public:
    explicit TPlotCustomToolSeries(TComponent* owner) : TPlotCustomTool(owner) {}
    std::string EditorClassName() const override { return "TSeriesToolEditor"; }
    TChartSeries* Series() const { return FSeries; }
    virtual void SetSeries(TChartSeries* value);
    // The series' axes, or the chart's bottom and left axes without a series.
    TChartAxis* GetHorizAxis() const;
    TChartAxis* GetVertAxis() const;

protected:
    void Notification(TComponent* component, TOperation operation) override;

private:
    TChartSeries* FSeries = nullptr;
};

class TPlotCustomToolAxis : public TPlotCustomTool {
public:
    explicit TPlotCustomToolAxis(TComponent* owner) : TPlotCustomTool(owner) {}
    std::string EditorClassName() const override { return "TAxisToolEditor"; }
    TChartAxis* Axis() const { return FAxis; }
    virtual void SetAxis(TChartAxis* value);
    // The axis as stored form data keeps it ("AxisID"): its index in the chart's
    // axes list, -1 without one. Reading finds it again in the tool's chart; an
    // index the list does not have leaves the tool without an axis.
    int AxisID() const;
    void SetAxisID(int value);

private:
    TChartAxis* FAxis = nullptr;
};

// Typed lists of tools and axes that own their elements. An element leaves
// the list through Remove, which gives up ownership without freeing it: its
// destructor calls it, and so does a tool's ParentChart setter when the tool
// moves to another chart. Clearing frees the elements from index 0 on.
template <class T>
class TOwnedList {
public:
    TOwnedList() = default;
    TOwnedList(const TOwnedList&) = delete;
    TOwnedList& operator=(const TOwnedList&) = delete;
    ~TOwnedList() { Clear(); }
    int Count() const { return static_cast<int>(FItems.size()); }
    T* operator[](int index) const { return FItems.at(static_cast<std::size_t>(index)).get(); }
    T* Add(std::unique_ptr<T> item) {
        FItems.push_back(std::move(item));
        return FItems.back().get();
    }
    // Takes ownership of an element that joins the list by itself (a tool
    // whose ParentChart is set).
    void Adopt(T* item) { Add(std::unique_ptr<T>(item)); }
    void Remove(T* item) {
        auto it =
            std::find_if(FItems.begin(), FItems.end(), [&](const std::unique_ptr<T>& p) { return p.get() == item; });
        if (it == FItems.end()) return;
        (void)it->release();
        FItems.erase(it);
    }
    int IndexOf(const T* item) const {
        for (std::size_t i = 0; i < FItems.size(); ++i)
            if (FItems[i].get() == item) return static_cast<int>(i);
        return -1;
    }
    // An element is out of the list before its destructor runs.
    void Clear() {
        while (!FItems.empty()) {
            std::unique_ptr<T> item = std::move(FItems.front());
            FItems.erase(FItems.begin());
            item.reset();
        }
    }
    // A snapshot: elements may come and go while a caller walks it.
    std::vector<T*> Items() const {
        std::vector<T*> items;
        items.reserve(FItems.size());
        for (const std::unique_ptr<T>& p : FItems) items.push_back(p.get());
        return items;
    }

private:
    std::vector<std::unique_ptr<T>> FItems;
};

using TChartTools = TOwnedList<TPlotCustomTool>;
