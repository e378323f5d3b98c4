#include "ChartSeries.h"

#include "SeriesMarks.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <ctime>
#include <random>

#include "AxisPanel.h"
#include "Chart.h"
#include "ChartAxis.h"
#include "ChartMessages.h"
#include "ChartUtils.h"
#include "DateFormat.h"
#include "FloatFormat.h"
#include "Format.h"
#include "Rounding.h"
#include "ScopeExit.h"

namespace {

// Values grow in fixed steps: appends stay cheap without doubling memory of
// large series.
constexpr int kGrowStep = 1000;

[[noreturn]] void RaiseIndex(int index, int count) {
    throw ChartException(Format("Value index %d out of bounds (0 to %d).", index, count - 1));
}

}  // namespace

// ---------------------------------------------------------------------------
TChartValueList::TChartValueList(TOwnerKey, TChartSeries* owner, std::string name)
    : FOwner(owner), FName(std::move(name)) {}

void TChartValueList::CheckIndex(int index) const {
    if (index < 0 || index >= FValueCount) RaiseIndex(index, FValueCount);
}

void TChartValueList::Grow() {
    if (FValueCount >= Capacity()) FValueArray.resize(FValueArray.size() + kGrowStep);
}

int TChartValueList::InsertSorted(double value) {
    int n = FValueCount;
    int index = n;
    if (FOrder == loAscending) {
        if (n > 0 && !(value >= FValueArray[static_cast<std::size_t>(n - 1)])) {
            int i = n - 1;
            while (i >= 0 && value < FValueArray[static_cast<std::size_t>(i)]) --i;
            index = i + 1;
        }
    } else if (FOrder == loDescending) {
        if (n > 0 && !(value <= FValueArray[static_cast<std::size_t>(n - 1)])) {
            int i = n - 1;
            while (i >= 0 && !(FValueArray[static_cast<std::size_t>(i)] >= value)) --i;
            index = i + 1;
        }
    }
    InsertAt(index, value);
    return index;
}

void TChartValueList::ClearValues() {
    FValueArray.clear();
    FValueArray.shrink_to_fit();
    FValueCount = 0;
    FStatsStale = true;
}

void TChartValueList::InsertAt(int index, double value) {
    if (index < 0 || index > FValueCount) RaiseIndex(index, FValueCount + 1);
    Grow();
    auto first = FValueArray.begin() + index;
    std::copy_backward(first, FValueArray.begin() + FValueCount, FValueArray.begin() + FValueCount + 1);
    *first = value;
    ++FValueCount;
    FStatsStale = true;
}

void TChartValueList::DeleteAt(int index) { DeleteRange(index, 1); }

void TChartValueList::DeleteRange(int index, int count) {
    CheckIndex(index);
    count = std::min(count, FValueCount - index);
    if (count <= 0) return;
    std::copy(FValueArray.begin() + index + count, FValueArray.begin() + FValueCount, FValueArray.begin() + index);
    FValueCount -= count;
    FStatsStale = true;
}

double TChartValueList::ValueAt(int index) const {
    CheckIndex(index);
    return FValueArray[static_cast<std::size_t>(index)];
}

void TChartValueList::SetValue(int index, double value) {
    CheckIndex(index);
    FValueArray[static_cast<std::size_t>(index)] = value;
    FStatsStale = true;
}

void TChartValueList::RecalcStats() const {
    // NaN and infinities would poison every later comparison and sum; they
    // are left out, like points that are not there.
    FLowest = FHighest = FSum = FAbsSum = 0;
    FAnyFinite = false;
    bool first = true;
    for (int i = 0; i < FValueCount; ++i) {
        double v = FValueArray[static_cast<std::size_t>(i)];
        if (!std::isfinite(v)) continue;
        if (first) {
            FLowest = FHighest = FSum = v;
            FAbsSum = std::fabs(v);
            first = false;
            FAnyFinite = true;
            continue;
        }
        if (v < FLowest)
            FLowest = v;
        else if (v > FHighest)
            FHighest = v;
        FSum += v;
        FAbsSum += std::fabs(v);
    }
    FStatsStale = false;
}

bool TChartValueList::HasFiniteValue() const {
    if (FStatsStale) RecalcStats();
    return FAnyFinite;
}

double TChartValueList::LowestValue() const {
    if (FStatsStale) RecalcStats();
    return FLowest;
}

double TChartValueList::HighestValue() const {
    if (FStatsStale) RecalcStats();
    return FHighest;
}

double TChartValueList::ValueSum() const {
    if (FStatsStale) RecalcStats();
    return FSum;
}

double TChartValueList::AbsValueSum() const {
    if (FStatsStale) RecalcStats();
    return FAbsSum;
}

void TChartValueList::RotateLeft() {
    if (FValueCount < 2) return;
    std::rotate(FValueArray.begin(), FValueArray.begin() + 1, FValueArray.begin() + FValueCount);
    FStatsStale = true;
}

void TChartValueList::FillSequence() {
    for (int i = 0; i < FValueCount; ++i) FValueArray[static_cast<std::size_t>(i)] = i;
    FStatsStale = true;
    if (FOwner) FOwner->NotifyDependents(snModified, 0);
}

void TChartValueList::ExchangeValues(int a, int b) {
    CheckIndex(a);
    CheckIndex(b);
    std::swap(FValueArray[static_cast<std::size_t>(a)], FValueArray[static_cast<std::size_t>(b)]);
    FStatsStale = true;
    if (FOwner) FOwner->NotifyDependents(snModified, a);
}

void TChartValueList::SortValues() {
    if (FOrder == loNone || FValueCount < 2 || !FOwner) return;
    const double* v = FValueArray.data();
    const int sign = FOrder == loDescending ? -1 : 1;
    // Every swap would refill the dependents; they are refilled once at the end.
    FOwner->SuspendNotify();
    try {
        SortRange(
            0, FValueCount - 1,
            [&](int a, int b) {
                double x = v[a], y = v[b];
                return sign * (x < y ? -1 : (x > y ? 1 : 0));
            },
            [&](int a, int b) { FOwner->SwapPoints(a, b); });
    } catch (...) {
        FOwner->ResumeNotify();
        throw;
    }
    FOwner->ResumeNotify();
}

void TChartValueList::Assign(const TPersistent* source) {
    if (auto* s = dynamic_cast<const TChartValueList*>(source)) {
        FOrder = s->FOrder;
        FDateTime = s->FDateTime;
        FValueSource = s->FValueSource;
    } else {
        TPersistent::Assign(source);
    }
}

void TChartValueList::SetDateTime(bool value) {
    if (FDateTime == value) return;
    FDateTime = value;
    if (FOwner) FOwner->RepaintChart();
}

void TChartValueList::SetOrder(TChartListOrder value) {
    if (FOrder == value) return;
    FOrder = value;
    if (FOwner) FOwner->RepaintChart();
}

void TChartValueList::SetValueSource(const std::string& value) {
    if (FValueSource == value) return;
    FValueSource = value;
    if (FOwner && FOwner->ParentChart()) FOwner->ParentChart()->RefreshSeriesData(FOwner);
}

// ---------------------------------------------------------------------------
const std::string& TLabelsList::Label(int index) const {
    static const std::string empty;
    if (index < 0 || index >= Count()) return empty;
    return FItems[static_cast<std::size_t>(index)];
}

void TLabelsList::SetLabel(int index, const std::string& text) {
    if (index < 0) RaiseIndex(index, Count());
    if (index >= Count()) FItems.resize(static_cast<std::size_t>(index) + 1);
    FItems[static_cast<std::size_t>(index)] = text;
}

void TLabelsList::Insert(int index, const std::string& text) {
    if (index < 0) RaiseIndex(index, Count());
    if (index > Count()) FItems.resize(static_cast<std::size_t>(index));
    FItems.insert(FItems.begin() + index, text);
}

void TLabelsList::Delete(int index) {
    if (index >= 0 && index < Count()) FItems.erase(FItems.begin() + index);
}

void TLabelsList::DeleteRange(int index, int count) {
    if (index < 0 || index >= Count() || count <= 0) return;
    count = std::min(count, Count() - index);
    FItems.erase(FItems.begin() + index, FItems.begin() + index + count);
}

void TLabelsList::Exchange(int a, int b) {
    int need = std::max(a, b) + 1;
    if (std::min(a, b) < 0) RaiseIndex(std::min(a, b), Count());
    if (need > Count()) FItems.resize(static_cast<std::size_t>(need));
    std::swap(FItems[static_cast<std::size_t>(a)], FItems[static_cast<std::size_t>(b)]);
}

// ---------------------------------------------------------------------------
TCustomChartElement::TCustomChartElement(TComponent* owner)
    : TComponent(owner),
      FBrush(std::make_unique<TChartBrush>([this](TObject*) { RepaintChart(); })),
      FPen(std::make_unique<TChartPen>([this](TObject*) { RepaintChart(); })) {}

TCustomChartElement::~TCustomChartElement() = default;

void TCustomChartElement::SetBrush(const TChartBrush* value) { FBrush->Assign(value); }

void TCustomChartElement::RepaintChart() {
    if (FParent) FParent->Invalidate();
}

void TCustomChartElement::SetActive(bool value) { SetValue(FActive, value); }

void TCustomChartElement::SetParentChart(TCustomAxisPanel* value) { FParent = value; }

void TCustomChartElement::SetPen(const TChartPen* value) { FPen->Assign(value); }

// ---------------------------------------------------------------------------
TChartSeries::TChartSeries(TComponent* owner)
    : TCustomChartSeries(owner),
      FXValues(AddValueList(PlotConst().NameXValues)),
      FYValues(AddValueList(PlotConst().NameYValues)),
      FPercentFormat(PlotConst().FormatPercent),
      FValueFormat(PlotConst().FormatValues),
      FMarks(std::make_unique<TSeriesMarks>(this)) {
    FXValues->SetOrder(loAscending);
}

TChartSeries::~TChartSeries() {
    Destroying();
    delete FSeriesFunction;
    FSeriesFunction = nullptr;
    // A source this series owns goes with it; the others only forget it.
    std::vector<TComponent*> owned;
    for (TComponent* c : FSourceList)
        if (c->Owner() == this) owned.push_back(c);
    DetachSources();
    for (TComponent* c : owned) delete c;
    // The dependents lose their source but keep the points they copied from it:
    // only a source that is taken away (set to none) takes its points along.
    std::vector<TChartSeries*> dependents = FDependents;
    FDependents.clear();
    for (TChartSeries* d : dependents) {
        auto& list = d->FSourceList;
        list.erase(std::remove(list.begin(), list.end(), static_cast<TComponent*>(this)), list.end());
        if (d->ParentChart() && !d->IsDestroying()) d->ParentChart()->RefreshSeriesData(d);
    }
    ClearPoints();
    FColorList.reset();
    if (FParent) FParent->RemoveSeries(this);
    FParent = nullptr;
}

TChartValueList* TChartSeries::AddValueList(std::string name) {
    FValueLists.Add(std::make_unique<TChartValueList>(TChartValueList::TOwnerKey{}, this, std::move(name)));
    return FValueLists[FValueLists.Count() - 1];
}

void TChartSeries::RepaintChart() { TCustomChartSeries::RepaintChart(); }

void TChartSeries::SetActive(bool value) {
    if (FActive == value) return;
    FActive = value;
    RepaintChart();
    if (FParent) FParent->BroadcastSeriesEvent(this, seChangeActive);
}

void TChartSeries::SetParentChart(TCustomAxisPanel* value) {
    if (FParent == value) return;
    if (FParent) FParent->RemoveSeries(this);
    FParent = value;
    if (FParent) FParent->AddSeries(this);
}

void TChartSeries::SetMarks(const TSeriesMarks* value) { FMarks->Assign(value); }

int TChartSeries::WidestMarkWidth() const {
    int widest = 0;
    for (int i = 0; i < PointCount(); ++i) {
        const TPlotCustomShape* shape = FMarks->Items().ItemIfAny(i);
        if (!(shape ? shape : FMarks.get())->Visible()) continue;
        widest = std::max(widest, FMarks->MarkTextWidth(i));
    }
    return widest;
}

void TChartSeries::SetPen(const TChartPen* value) { TCustomChartSeries::SetPen(value); }

void TChartSeries::GetHorizMargins(int& left, int& right) { left = right = 0; }

void TChartSeries::GetVertMargins(int& top, int& bottom) { top = bottom = 0; }

int TChartSeries::CopyValueFrom(TChartSeries* source, int index) {
    double x = source->FXValues->ValueAt(index);
    double y = source->FYValues->ValueAt(index);
    if (source->FValuesVertical != FValuesVertical) std::swap(x, y);
    int at = FXValues->InsertSorted(x);
    FYValues->InsertAt(at, y);
    for (int i = 2; i < FValueLists.Count(); ++i) {
        double v = i < source->FValueLists.Count() ? source->FValueLists[i]->ValueAt(index) : 0.0;
        FValueLists[i]->InsertAt(at, v);
    }
    return at;
}

void TChartSeries::AddFromSource(TChartSeries* source, int index) {
    int at = CopyValueFrom(source, index);
    // The colour and label lists stay parallel to the values even when the
    // source has no entry for this point.
    if (source->FColorList && index < static_cast<int>(source->FColorList->size())) {
        TColor c = (*source->FColorList)[static_cast<std::size_t>(index)];
        if (!FColorList) FColorList.emplace(static_cast<std::size_t>(PointCount() - 1), SeriesDefaultColor);
        FColorList->insert(FColorList->begin() + at, c);
    } else if (FColorList) {
        FColorList->insert(FColorList->begin() + at, SeriesDefaultColor);
    }
    const std::string& label = source->FPointLabels.Label(index);
    if (!label.empty() || FPointLabels.Count() > 0) FPointLabels.Insert(at, label);
    AfterAdd(this, at);
}

void TChartSeries::RefillFromSource(TChartSeries* source) {
    SuspendNotify();
    try {
        ClearPoints();
        if (FSeriesFunction) {
            if (source) {
                FXValues->SetDateTime(source->FXValues->DateTime());
                FYValues->SetDateTime(source->FYValues->DateTime());
            }
            FSeriesFunction->AddPoints(source);
        } else if (source && source != this) {
            for (int i = 0; i < source->PointCount(); ++i) AddFromSource(source, i);
        }
    } catch (...) {
        ResumeNotify();
        throw;
    }
    ResumeNotify();
}

void TChartSeries::CalcZOrder() {
    if (!FParent) return;
    if (FZOrderSetting == -1) {
        if (FParent->View3D()) {
            FParent->SetMaxZOrder(FParent->MaxZOrder() + 1);
            FComputedZOrder = FParent->MaxZOrder();
        } else {
            FComputedZOrder = 0;
        }
    } else {
        FParent->SetMaxZOrder(std::max(FParent->MaxZOrder(), FZOrderSetting));
    }
}

void TChartSeries::ClearStorage() {
    for (int i = 0; i < FValueLists.Count(); ++i) FValueLists[i]->ClearValues();
    FColorList.reset();
    FPointLabels.Clear();
    FMarks->ClearMarkPositions();
}

void TChartSeries::EnumSubStyles(const std::function<void(const std::string&)>& callback) {
    if (callback) callback(PlotConst().StyleNormal);
}

void TChartSeries::DeleteFromSource(TChartSeries* source, int index) {
    (void)source;
    DeletePoint(index);
}

void TChartSeries::DoAfterDrawValues() {
    if (AfterDrawValues) AfterDrawValues(this);
}

void TChartSeries::DoBeforeDrawValues() {
    if (BeforeDrawValues) BeforeDrawValues(this);
}

void TChartSeries::DrawVisibleValues() {
    if (FFirstVisible < 0) return;
    if (DrawsForward()) {
        for (int i = FFirstVisible; i <= FLastVisible; ++i) DrawPoint(i);
    } else {
        for (int i = FLastVisible; i >= FFirstVisible; --i) DrawPoint(i);
    }
}

void TChartSeries::DrawLegendShape(int index, const TRect& rect) {
    (void)index;
    if (!FParent) return;
    TCanvas3D& canvas = FParent->Canvas();
    TCanvas* device = canvas.Canvas();
    if (!device) return;
    canvas.DrawRectangle(rect);
    // a symbol in the chart's own back colour would vanish: outline it
    const TColor back = FParent->BackColor();
    if (device->Brush().Color() == back) {
        const TColor penColor = device->Pen().Color();
        if (back == clBlack) device->Pen().SetColor(clWhite);
        device->Brush().SetStyle(bsClear);
        canvas.DrawRectangle(rect);
        device->Pen().SetColor(penColor);
    }
}

void TChartSeries::DrawMark(int index, const std::string& text, TSeriesMarkPosition* position) {
    if (position) FMarks->DrawOneMark(index, PointColor(index), *position, text);
}

TColor TChartSeries::ColorListEntry(int index) const {
    if (index < 0 || index >= PointCount()) RaiseIndex(index, PointCount());
    if (!FColorList || index >= static_cast<int>(FColorList->size())) return SeriesDefaultColor;
    return (*FColorList)[static_cast<std::size_t>(index)];
}

void TChartSeries::SetPointColor(int index, TColor color) {
    if (index < 0 || index >= PointCount()) RaiseIndex(index, PointCount());
    if (!FColorList) {
        if (color == SeriesDefaultColor) return;
        FColorList.emplace(static_cast<std::size_t>(PointCount()), SeriesDefaultColor);
    }
    (*FColorList)[static_cast<std::size_t>(index)] = color;
    RepaintChart();
}

TColor TChartSeries::PointColor(int index) const {
    TColor c = ColorListEntry(index);
    // A point whose position or value is no finite number is no data: it is a null
    // point, so it gets no marker, breaks its line and shows no mark.
    const auto at = static_cast<std::size_t>(index);
    if (!std::isfinite(FXValues->Data()[at]) || !std::isfinite(FYValues->Data()[at])) return clNone;
    if (c != SeriesDefaultColor) return c;
    return FColorEachPoint ? PaletteColor(index) : FSeriesColor;
}

double TChartSeries::XValueAt(int index) const { return FXValues->ValueAt(index); }

double TChartSeries::YValueAt(int index) const { return FYValues->ValueAt(index); }

void TChartSeries::AfterAdd(TObject* sender, int index) {
    (void)sender;
    if (OnAfterAdd) OnAfterAdd(this, index);
    NotifyDependents(snAdd, index);
    if (FActive) RepaintChart();
}

void TChartSeries::NotifyDependents(TSeriesNotify kind, int index) {
    if (FUpdateDepth > 0 || FDependents.empty()) return;
    // a dependent may leave the list while it is told
    std::vector<TChartSeries*> dependents = FDependents;
    for (TChartSeries* d : dependents) {
        if (std::find(FDependents.begin(), FDependents.end(), d) == FDependents.end()) continue;
        const std::uint8_t flags = d->FSourceFollowFlags;
        switch (kind) {
        case snClear:
            if (flags & sfClear) d->ClearPoints();
            break;
        case snAdd:
            if ((flags & sfAdd) && !d->FSeriesFunction) d->AddFromSource(this, index);
            break;
        case snDelete:
            if ((flags & sfDelete) && !d->FSeriesFunction) {
                // a deleted range has no single index to mirror
                if (index < 0)
                    d->RefillFromSource(this);
                else
                    d->DeleteFromSource(this, index);
            }
            break;
        case snRefill:
            d->RefillFromSource(this);
            break;
        case snModified:
            if (flags & sfModify) d->RefillFromSource(this);
            break;
        }
    }
}

bool TChartSeries::SharesZWithOther() const {
    if (!FParent || !FParent->StackSeriesInDepth()) return false;
    for (TChartSeries* s : FParent->SeriesList())
        if (s != this && s->Active() && !s->HasZValues() && s->ZOrder() == ZOrder()) return true;
    return false;
}

void TChartSeries::PrepareLegendSymbol(int index, TColor& backColor, TBrushStyle& brushStyle) {
    (void)index, (void)backColor, (void)brushStyle;
}

void TChartSeries::SetColorEachPoint(bool value) { SetValue(FColorEachPoint, value); }

void TChartSeries::SetSeriesColor(TColor value) {
    if (FSeriesColor == value) return;
    FSeriesColor = value;
    // In a chart "no colour" means the chart's next free one, as when the series
    // joins it: kept as is, it would draw nothing and be written as no colour at all.
    if (FSeriesColor == SeriesDefaultColor && FParent) FSeriesColor = FParent->FirstFreeSeriesColor(true);
    RepaintChart();
    if (FParent) FParent->BroadcastSeriesEvent(this, seChangeColor);
}

void TChartSeries::ApplySubStyle(TChartSeries* series, int index) { (void)series, (void)index; }

void TChartSeries::PrepareForGallery(bool enabled) {
    FillSampleValues(4);
    FMarks->SetVisible(false);
    FMarks->Font().SetSize(7);
    FMarks->Callout().SetLength(4);
    FMarks->SetDrawEvery(2);
    SetColorEachPoint(false);
    const bool first = !FParent || FParent->SeriesIndexOf(this) == 0;
    SetSeriesColor(enabled ? PaletteColor(first ? 0 : 3) : clSilver);
}

int TChartSeries::AppendValue(double value, const std::string& label, TColor color) {
    if (FValuesVertical) return AddPoint(FXValues->Count(), value, label, color);
    return AddPoint(value, FYValues->Count(), label, color);
}

int TChartSeries::AppendNull(double value) { return AppendValue(value, {}, clNone); }

int TChartSeries::AddNullPoint(double x, double y, const std::string& label) { return AddPoint(x, y, label, clNone); }

int TChartSeries::AddPoint(double x, double y, const std::string& label, TColor color) {
    FXValues->SetPendingValue(x);
    FYValues->SetPendingValue(y);
    if (OnBeforeAdd && !OnBeforeAdd(this)) return -1;
    int index = FXValues->InsertSorted(x);
    FYValues->InsertAt(index, y);
    for (int i = 2; i < FValueLists.Count(); ++i) FValueLists[i]->InsertAt(index, FValueLists[i]->PendingValue());
    if (FColorList) {
        FColorList->insert(FColorList->begin() + index, color);
    } else if (color != SeriesDefaultColor) {
        FColorList.emplace(static_cast<std::size_t>(PointCount()), SeriesDefaultColor);
        (*FColorList)[static_cast<std::size_t>(index)] = color;
    }
    if (!label.empty() || FPointLabels.Count() > 0) FPointLabels.Insert(index, label);
    if (FUpdateDepth == 0) AfterAdd(this, index);
    return index;
}

bool TChartSeries::UsesAxis(const TChartAxis* axis) const {
    if (!axis || !ParticipatesInAxes()) return false;
    if (axis->Horizontal())
        return axis == FHorizAxisRef || (FHorizAxis == aBothHorizAxis && FParent &&
                                         (axis == FParent->TopAxis() || axis == FParent->BottomAxis()));
    return axis == FVertAxisRef ||
           (FVertAxis == aBothVertAxis && FParent && (axis == FParent->LeftAxis() || axis == FParent->RightAxis()));
}

void TChartSeries::ClearPoints() {
    ClearStorage();
    if (OnClearValues) OnClearValues(this);
    NotifyDependents(snClear, 0);
    if (FActive && FParent && !FParent->IsDestroying()) RepaintChart();
}

void TChartSeries::CheckPointIndex(int index) const {
    if (index < 0 || index >= PointCount())
        throw ChartException(Format(PlotConst().ErrSeriesDeleteIndex, index, PointCount() - 1));
}

void TChartSeries::DeletePoint(int index) {
    CheckPointIndex(index);
    for (int i = 0; i < FValueLists.Count(); ++i) FValueLists[i]->DeleteAt(index);
    if (FColorList && index < static_cast<int>(FColorList->size())) FColorList->erase(FColorList->begin() + index);
    FPointLabels.Delete(index);
    FMarks->DeletePoints(index, 1);
    NotifyDependents(snDelete, index);
    if (FActive) RepaintChart();
}

void TChartSeries::DeletePoints(int start, int count, bool renumber) {
    if (start >= PointCount() || count <= 0) return;
    CheckPointIndex(start);
    // a count past the end deletes up to the end
    count = std::min(count, PointCount() - start);
    for (int i = 0; i < FValueLists.Count(); ++i) FValueLists[i]->DeleteRange(start, count);
    if (FColorList) {
        int n = static_cast<int>(FColorList->size());
        if (start < n) FColorList->erase(FColorList->begin() + start, FColorList->begin() + std::min(n, start + count));
        if (FColorList->empty()) {
            FColorList.reset();
        }
    }
    FPointLabels.DeleteRange(start, count);
    FMarks->DeletePoints(start, count);
    NotifyDependents(snDelete, -1);
    if (FActive) RepaintChart();
    if (renumber) SecondaryValues()->FillSequence();
}

std::string TChartSeries::LegendItemText(int style, int index) const {
    index = LegendToValueIndex(index);
    if (index < 0 || index >= PointCount()) return {};
    const std::string separator(1, '\x06');  // the legend's column separator
    const std::string& label = FPointLabels.Label(index);
    const double v = PrimaryValueAt(index);
    auto valueText = [&] {
        if (PrimaryValues()->DateTime()) return FormatDateTime(DefaultDateTimeFormat(v), v);
        return FormatValueText(FValueFormat, v);
    };
    auto percentText = [&] {
        const double total = PrimaryValues()->AbsValueSum();
        return FormatFloat(FPercentFormat, total == 0 ? 100 : v * 100 / total);
    };
    auto xText = [&] {
        const double x = FXValues->ValueAt(index);
        return FHorizAxisRef ? FHorizAxisRef->FormatAxisLabel(x) : FormatValueText(FValueFormat, x);
    };
    switch (style) {
    case ltsPlain:
        return label;
    case ltsLeftValue:
        return label.empty() ? valueText() : valueText() + separator + label;
    case ltsRightValue:
        return label.empty() ? valueText() : label + separator + valueText();
    case ltsLeftPercent:
        return label.empty() ? percentText() : percentText() + separator + label;
    case ltsRightPercent:
        return label.empty() ? percentText() : label + separator + percentText();
    case ltsXValue:
        return xText();
    case ltsValue:
        return valueText();
    case ltsPercent:
        return percentText();
    case ltsXAndValue:
        return xText() + separator + valueText();
    case ltsXAndPercent:
        return xText() + separator + percentText();
    default:
        return label;
    }
}

double TChartSeries::HighestX() const { return FXValues->HighestValue(); }
double TChartSeries::HighestY() const { return FYValues->HighestValue(); }
double TChartSeries::HighestZ() const { return ZOrder(); }
double TChartSeries::LowestX() const { return FXValues->LowestValue(); }
double TChartSeries::LowestY() const { return FYValues->LowestValue(); }
double TChartSeries::LowestZ() const { return ZOrder(); }

int TChartSeries::PointScreenX(int index) const {
    double v = XValueAt(index);
    return FHorizAxisRef ? FHorizAxisRef->ValueToPixel(v) : 0;
}

int TChartSeries::PointScreenY(int index) const {
    double v = YValueAt(index);
    return FVertAxisRef ? FVertAxisRef->ValueToPixel(v) : 0;
}

TChartValueList* TChartSeries::ValueListByName(const std::string& name) const {
    for (int i = 2; i < FValueLists.Count(); ++i) {
        const std::string& n = FValueLists[i]->Name();
        if (n.size() == name.size() && std::equal(n.begin(), n.end(), name.begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
            }))
            return FValueLists[i];
    }
    return FYValues;
}

int TChartSeries::PointAtPixel(int x, int y) const {
    (void)x, (void)y;
    return -1;
}

double TChartSeries::PrimaryValueAt(int index) const { return PrimaryValues()->ValueAt(index); }

bool TChartSeries::DrawsForward() const {
    bool reversed = FParent && FParent->ReversedView();
    if (FValuesVertical) {
        bool inv = FHorizAxisRef && FHorizAxisRef->Inverted();
        return reversed ? inv : !inv;
    }
    return !(FVertAxisRef && FVertAxisRef->Inverted());
}

bool TChartSeries::DrawsInFront() const { return !(FParent && FParent->ReversedView()); }

void TChartSeries::DrawLegendItem(int index, const TRect& rect) {
    if (index == -1 && FColorEachPoint) return;
    if (!FParent) return;
    TCanvas3D& canvas = FParent->Canvas();
    TCanvas* device = canvas.Canvas();
    if (!device) return;
    const TColor color = index == -1 ? FSeriesColor : LegendItemColor(index);
    device->Brush().SetColor(color);
    if (color == clNone) return;
    canvas.SelectPen(*Pen());
    auto* chart = dynamic_cast<TCustomChart*>(FParent);
    TColor backColor = chart ? chart->LegendColor : FParent->BackColor();
    TBrushStyle brushStyle = Brush()->Style();
    PrepareLegendSymbol(index, backColor, brushStyle);
    if (chart && chart->LegendPen) canvas.SelectPen(*chart->LegendPen);
    if (backColor == SeriesDefaultColor) backColor = FParent->BackColor();
    // the symbol style is the series brush's only while the symbol is drawn
    const TBrushStyle oldStyle = Brush()->Style();
    const bool restyle = Brush()->Bitmap() == nullptr && brushStyle != oldStyle;
    const bool repaint = FParent->AutoRepaint();
    FParent->SetAutoRepaint(false);
    if (restyle) Brush()->SetStyle(brushStyle);
    const ScopeExit restore([&] {
        if (restyle) Brush()->SetStyle(oldStyle);
        FParent->SetAutoRepaint(repaint);
    });
    canvas.SelectBrush(*Brush(), color, backColor);
    DrawLegendShape(index, rect);
}

void TChartSeries::SetSeriesFunction(TPlotFunction* function) {
    if (FSeriesFunction == function) return;
    delete FSeriesFunction;
    FSeriesFunction = function;
    if (FSeriesFunction) {
        InsertComponent(FSeriesFunction);
        // freed by someone else, the function must not be left behind here
        FreeNotification(FSeriesFunction);
        FSeriesFunction->SetParentSeries(this);
    }
    // Points a form gave before its function stay the form's: nothing read
    // them from a source, and a series that did not write them back would
    // lose them on the next save.
    if (!IsLoading()) FManualData = false;
    if (FParent) FParent->RefreshSeriesData(this);
}

void TChartSeries::ResumeNotify() {
    if (FUpdateDepth <= 0) return;
    if (--FUpdateDepth == 0) {
        NotifyDependents(snRefill, 0);
        if (FParent) FParent->BroadcastSeriesEvent(this, seDataChanged);
    }
}

void TChartSeries::CalcVisibleRange() {
    FFirstVisible = FLastVisible = -1;
    int count = PointCount();
    if (count == 0) return;
    int last = count - 1;
    TChartValueList* sec = SecondaryValues();
    TChartAxis* axis = FValuesVertical ? FHorizAxisRef : FVertAxisRef;
    if (!FCalcVisiblePoints || sec->Order() == loNone || !axis || !FParent) {
        FFirstVisible = 0;
        FLastVisible = last;
        return;
    }
    const TRect& r = FParent->PlotRect();
    int startEdge, endEdge;
    if (FValuesVertical) {
        startEdge = axis->Inverted() ? r.Right : r.Left;
        endEdge = axis->Inverted() ? r.Left : r.Right;
    } else {
        startEdge = axis->Inverted() ? r.Top : r.Bottom;
        endEdge = axis->Inverted() ? r.Bottom : r.Top;
    }
    const double* v = sec->Data();
    double startValue = axis->PixelToValue(startEdge);
    int first = 0;
    while (first < count && !(v[first] >= startValue)) ++first;
    if (first == count) return;
    FFirstVisible = first;
    double endValue = axis->PixelToValue(endEdge);
    if (!(v[last] > endValue)) {
        FLastVisible = last;
        return;
    }
    int i = first;
    while (i < last && !(v[i] >= endValue)) ++i;
    if (!FDrawBetweenPoints && v[i] > endValue) --i;
    FLastVisible = i;
}

void TChartSeries::DetachSources() {
    for (TComponent* c : FSourceList) {
        if (auto* s = dynamic_cast<TChartSeries*>(c)) {
            s->RemoveDependent(this);
        } else {
            RemoveFreeNotification(c);
            // an unbound source must not fill a series that may be gone
            if (auto* src = dynamic_cast<TPlotSeriesSource*>(c); src && src->FSeries == this) src->FSeries = nullptr;
        }
    }
    FSourceList.clear();
}

void TChartSeries::AddDependent(TChartSeries* series) {
    if (std::find(FDependents.begin(), FDependents.end(), series) == FDependents.end()) FDependents.push_back(series);
}

void TChartSeries::RemoveDependent(TChartSeries* series) {
    FDependents.erase(std::remove(FDependents.begin(), FDependents.end(), series), FDependents.end());
}

void TChartSeries::SetDataSource(TComponent* value) {
    if (!value) {
        if (IsDestroying()) return;
        if (FParent && DataSource()) FParent->RemovedDataSource(this, DataSource());
        // points copied from a source go with it
        const bool hadSource = !FSourceList.empty();
        DetachSources();
        if (hadSource && !FManualData) ClearPoints();
        if (FParent) FParent->RefreshSeriesData(this);
        return;
    }
    AssignSources({value});
}

void TChartSeries::AssignSources(const std::vector<TComponent*>& sources) {
    // a copy: taking over a series source changes the list it came from
    const std::vector<TComponent*> list = sources;
    bool attached = false;
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (!CheckNewSource(list[i])) continue;
        // a new first source replaces what the series had
        if (i == 0 && !IsLoading()) {
            DetachSources();
            if (!FManualData) ClearPoints();
        }
        AttachSource(list[i]);
        attached = true;
    }
    if (attached) FParent->RefreshSeriesData(this);
}

bool TChartSeries::CheckNewSource(TComponent* value) {
    if (!FParent) throw ChartException(PlotConst().ErrNoParentChartForSource);
    if (!FParent->IsValidDataSource(this, value))
        throw ChartException(Format(PlotConst().ErrInvalidDataSource, value->Name()));
    if (std::find(FSourceList.begin(), FSourceList.end(), value) != FSourceList.end()) return false;
    if (auto* series = dynamic_cast<TChartSeries*>(value)) FParent->CheckDataSource(series, this);
    return true;
}

void TChartSeries::AttachSource(TComponent* value) {
    auto* series = dynamic_cast<TChartSeries*>(value);
    FSourceList.push_back(value);
    FManualData = false;
    if (series) {
        series->AddDependent(this);
    } else {
        FreeNotification(value);
        if (auto* src = dynamic_cast<TPlotSeriesSource*>(value)) {
            if (src->Series() != this) {
                bool wasActive = src->Active();
                if (wasActive) src->SetSourceActive(false);
                TChartSeries* old = src->Series();
                if (old && src->Owner() == old) InsertComponent(src);
                if (old) {
                    old->RemoveFreeNotification(src);
                    auto& l = old->FSourceList;
                    l.erase(std::remove(l.begin(), l.end(), value), l.end());
                }
                src->FSeries = this;
                src->FreeNotification(this);
                if (wasActive) src->SetSourceActive(true);
            }
        }
    }
}

void TChartSeries::Notification(TComponent* component, TOperation operation) {
    TCustomChartSeries::Notification(component, operation);
    if (operation != opRemove) return;
    if (component == FSeriesFunction) FSeriesFunction = nullptr;
    auto it = std::find(FSourceList.begin(), FSourceList.end(), component);
    if (it != FSourceList.end()) {
        FSourceList.erase(it);
        if (IsDestroying()) return;
        if (!FManualData) ClearPoints();
        if (FParent) FParent->RefreshSeriesData(this);
    }
}

void TChartSeries::SwapPoints(int a, int b) {
    CheckPointIndex(a);
    CheckPointIndex(b);
    // The dependents hear of the swap once it is whole: told after the first
    // list, they would copy points whose values and colours are half swapped.
    ++FUpdateDepth;
    for (int i = 0; i < FValueLists.Count(); ++i) FValueLists[i]->ExchangeValues(a, b);
    if (FColorList) std::swap((*FColorList)[static_cast<std::size_t>(a)], (*FColorList)[static_cast<std::size_t>(b)]);
    if (FPointLabels.Count() > 0) FPointLabels.Exchange(a, b);
    --FUpdateDepth;
    NotifyDependents(snModified, a);
}

std::string TChartSeries::SeriesTitle() const {
    if (!Title().empty()) return Title();
    if (!Name().empty()) return Name();
    if (FParent) return PlotConst().TextSeriesPrefix + std::to_string(FParent->SeriesIndexOf(this) + 1);
    return {};
}

namespace {

std::string ValueText(const TChartValueList* list, const std::string& format, int index) {
    double v = list->ValueAt(index);
    if (list->DateTime()) return FormatDateTime(DefaultDateTimeFormat(v), v);
    return FormatValueText(format, v);
}

}  // namespace

std::string TChartSeries::XValueText(int index) const { return ValueText(FXValues, FValueFormat, index); }

std::string TChartSeries::YValueText(int index) const { return ValueText(FYValues, FValueFormat, index); }

void TChartSeries::Assign(const TPersistent* source) {
    auto* s = dynamic_cast<const TChartSeries*>(source);
    if (!s) {
        TCustomChartSeries::Assign(source);
        return;
    }
    SetTitle(s->Title());
    SetShowInLegend(s->ShowInLegend());
    SetIdentifier(s->Identifier());
    SetStyle(s->Style());
    SetActive(s->Active());
    Brush()->Assign(s->Brush());
    Pen()->Assign(s->Pen());
    for (int i = 0; i < std::min(FValueLists.Count(), s->FValueLists.Count()); ++i)
        FValueLists[i]->Assign(s->FValueLists[i]);
    FColorEachPoint = s->FColorEachPoint;
    FSeriesColor = s->FSeriesColor;
    FColorSource = s->FColorSource;
    FValueFormat = s->FValueFormat;
    FPercentFormat = s->FPercentFormat;
    FHorizAxis = s->FHorizAxis;
    FVertAxis = s->FVertAxis;
    FCustomHorizAxis = s->FCustomHorizAxis;
    FCustomVertAxis = s->FCustomVertAxis;
    RecalcGetAxis();
    FZOrderSetting = s->FZOrderSetting;
    FDepth = s->FDepth;
    FMarks->Assign(s->FMarks.get());
    if (!FSeriesFunction && s->FSeriesFunction) {
        std::unique_ptr<TPlotFunction> copy = s->FSeriesFunction->NewOfSameKind();
        copy->Assign(s->FSeriesFunction);
        SetSeriesFunction(copy.release());
    }
    FManualData = s->FManualData;
    auto* self = const_cast<TChartSeries*>(s);
    if (s->DataSource()) {
        if (FParent && s != this) AssignSources(s->FSourceList);
    } else if (!IsDesigning() && s != this) {
        SuspendNotify();
        try {
            ClearPoints();
            for (int i = 0; i < s->PointCount(); ++i) AddFromSource(self, i);
        } catch (...) {
            ResumeNotify();
            throw;
        }
        ResumeNotify();
    }
    RepaintChart();
}

namespace {

// kDataLongLabels: each label has a 4-byte length, for labels the length byte cannot hold.
constexpr std::uint8_t kDataSecondary = 1, kDataColor = 2, kDataLabel = 4, kDataMarkPosition = 8, kDataLongLabels = 16;
constexpr std::size_t kMarkPositionSize = 34;

void PutBytes(std::vector<std::uint8_t>& out, std::uint64_t v, int count) {
    for (int i = 0; i < count; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void PutDouble(std::vector<std::uint8_t>& out, double v) {
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    PutBytes(out, bits, 8);
}

class TDataReader {
public:
    TDataReader(const std::uint8_t* data, std::size_t size) : FData(data), FSize(size) {}
    std::uint64_t Bytes(int count) {
        Need(static_cast<std::size_t>(count));
        std::uint64_t v = 0;
        for (int i = 0; i < count; ++i) v |= static_cast<std::uint64_t>(FData[FPos++]) << (8 * i);
        return v;
    }
    double Double() {
        std::uint64_t bits = Bytes(8);
        double v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }
    std::string Text(std::size_t length) {
        Need(length);
        std::string s(reinterpret_cast<const char*>(FData + FPos), length);
        FPos += length;
        return s;
    }
    void Skip(std::size_t count) {
        Need(count);
        FPos += count;
    }
    std::size_t Left() const { return FSize - FPos; }

private:
    void Need(std::size_t count) const {
        if (FSize - FPos < count) throw ChartException("Point data ends early");
    }
    const std::uint8_t* FData;
    std::size_t FSize;
    std::size_t FPos = 0;
};

}  // namespace

std::vector<std::uint8_t> TChartSeries::WritePointData() const {
    const int n = PointCount();
    const TChartValueList* prim = PrimaryValues();
    const TChartValueList* sec = SecondaryValues();
    // Every point decides, not only the first ones: a flag left clear would
    // drop that part of every later point.
    std::uint8_t flags = 0;
    for (int i = 0; i < n && FStoreXValues; ++i)
        if (sec->ValueAt(i) != i) {
            flags |= kDataSecondary;
            break;
        }
    // A colour equal to the series colour is kept too: the point has it as its
    // own, and keeps it when the series colour changes or another series copies it.
    for (int i = 0; i < n && FColorList; ++i)
        if (ColorListEntry(i) != SeriesDefaultColor) {
            flags |= kDataColor;
            break;
        }
    for (int i = 0; i < FPointLabels.Count(); ++i) {
        const std::size_t length = FPointLabels.Label(i).size();
        if (length > 0) flags |= kDataLabel;
        if (length > 255) flags |= kDataLongLabels;
    }
    if (FMarks->Positions().ExistCustom()) flags |= kDataMarkPosition;
    std::vector<std::uint8_t> out;
    out.push_back(flags);
    PutBytes(out, static_cast<std::uint32_t>(n), 4);
    for (int i = 0; i < n; ++i) {
        if (flags & kDataSecondary) PutDouble(out, sec->ValueAt(i));
        PutDouble(out, prim->ValueAt(i));
        if (flags & kDataColor) PutBytes(out, ColorListEntry(i), 4);
        if (flags & kDataLabel) {
            const std::string& label = FPointLabels.Label(i);
            PutBytes(out, label.size(), (flags & kDataLongLabels) ? 4 : 1);
            out.insert(out.end(), label.begin(), label.end());
        }
        for (int k = 2; k < FValueLists.Count(); ++k) PutDouble(out, FValueLists[k]->ValueAt(i));
        if (flags & kDataMarkPosition) {
            // a box drawing placed is not the series' data: only custom places are kept
            const TSeriesMarkPosition* p = FMarks->Positions().Position(i);
            (p && p->IsCustom ? *p : TSeriesMarkPosition{}).Write(out);
        }
    }
    return out;
}

void TChartSeries::ReadPointData(const std::uint8_t* data, std::size_t size) {
    struct TStoredPoint {
        double Secondary, Primary;
        TColor Color;
        std::string Label;
        std::vector<double> Extra;
        TSeriesMarkPosition Mark;
    };
    TDataReader r(data, size);
    const auto flags = static_cast<std::uint8_t>(r.Bytes(1));
    const auto count = static_cast<std::int32_t>(static_cast<std::uint32_t>(r.Bytes(4)));
    if (count < 0) throw ChartException(Format("Invalid point count %d in point data", count));
    const int extra = std::max(0, FValueLists.Count() - 2);
    const std::size_t minimum = 8 * (1 + static_cast<std::size_t>(extra));
    if (static_cast<std::size_t>(count) > r.Left() / minimum)
        throw ChartException(Format("Invalid point count %d in point data", count));
    // everything is read before the series changes, so bad data loses nothing
    std::vector<TStoredPoint> points(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        TStoredPoint& p = points[static_cast<std::size_t>(i)];
        p.Secondary = (flags & kDataSecondary) ? r.Double() : i;
        p.Primary = r.Double();
        p.Color = (flags & kDataColor) ? static_cast<TColor>(r.Bytes(4)) : SeriesDefaultColor;
        if (flags & kDataLabel) p.Label = r.Text(static_cast<std::size_t>(r.Bytes((flags & kDataLongLabels) ? 4 : 1)));
        for (int k = 0; k < extra; ++k) p.Extra.push_back(r.Double());
        if (flags & kDataMarkPosition) {
            const std::string raw = r.Text(kMarkPositionSize);
            p.Mark.Read(reinterpret_cast<const std::uint8_t*>(raw.data()));
            if (!p.Mark.InRange()) throw ChartException(Format("Invalid mark position of point %d in point data", i));
        }
    }
    // what follows the points would be dropped without a word, and a form
    // that holds it is not one this series wrote
    if (r.Left() != 0) throw ChartException("Point data goes on after its last point");
    ClearPoints();
    SuspendNotify();
    try {
        for (const TStoredPoint& p : points) {
            for (int k = 0; k < extra; ++k) FValueLists[k + 2]->SetPendingValue(p.Extra[static_cast<std::size_t>(k)]);
            const int at = FValuesVertical ? AddPoint(p.Secondary, p.Primary, p.Label, p.Color)
                                           : AddPoint(p.Primary, p.Secondary, p.Label, p.Color);
            if ((flags & kDataMarkPosition) && at >= 0 && p.Mark.IsCustom) FMarks->Positions().Set(at, p.Mark);
        }
    } catch (...) {
        ResumeNotify();
        throw;
    }
    ResumeNotify();
    FManualData = true;
}

void TChartSeries::SetHorizAxis(THorizAxis value) {
    if (FHorizAxis == value) return;
    FHorizAxis = value;
    if (value != aCustomHorizAxis && !IsLoading()) FCustomHorizAxis = nullptr;
    RecalcGetAxis();
    RepaintChart();
}

void TChartSeries::SetVertAxis(TVertAxis value) {
    if (FVertAxis == value) return;
    FVertAxis = value;
    if (value != aCustomVertAxis && !IsLoading()) FCustomVertAxis = nullptr;
    RecalcGetAxis();
    RepaintChart();
}

void TChartSeries::SetCustomHorizAxis(TChartAxis* value) {
    FCustomHorizAxis = value;
    FHorizAxis = value ? aCustomHorizAxis : aBottomAxis;
    RecalcGetAxis();
    RepaintChart();
}

void TChartSeries::SetCustomVertAxis(TChartAxis* value) {
    FCustomVertAxis = value;
    FVertAxis = value ? aCustomVertAxis : aLeftAxis;
    RecalcGetAxis();
    RepaintChart();
}

void TChartSeries::RecalcGetAxis() {
    if (!FParent) {
        FHorizAxisRef = FVertAxisRef = nullptr;
        return;
    }
    FHorizAxisRef = FParent->BottomAxis();
    if (FHorizAxis == aTopAxis)
        FHorizAxisRef = FParent->TopAxis();
    else if (FHorizAxis == aCustomHorizAxis && FCustomHorizAxis)
        FHorizAxisRef = FCustomHorizAxis;
    FVertAxisRef = FParent->LeftAxis();
    if (FVertAxis == aRightAxis)
        FVertAxisRef = FParent->RightAxis();
    else if (FVertAxis == aCustomVertAxis && FCustomVertAxis)
        FVertAxisRef = FCustomVertAxis;
}

void TChartSeries::AddedToChart() {
    // the marks follow the series, however the chart took it
    FMarks->SetParentChart(FParent);
    if (FSeriesColor == SeriesDefaultColor) FSeriesColor = FParent->FirstFreeSeriesColor(true);
    RecalcGetAxis();
    FParent->RefreshSeriesData(this);
}

bool TChartSeries::CheckMouse(int x, int y) {
    if (FCursor == 0 && !OnMouseEnter && !OnMouseLeave) return false;
    if (PointAtPixel(x, y) == -1) {
        if (FMouseInside) {
            FMouseInside = false;
            if (OnMouseLeave) OnMouseLeave(this);
        }
        return false;
    }
    if (FCursor != 0 && FParent) FParent->SetMouseCursor(static_cast<TCursor>(FCursor));
    if (!FMouseInside) {
        FMouseInside = true;
        if (OnMouseEnter) OnMouseEnter(this);
    }
    return true;
}

void TChartSeries::RemovedFromChart() {
    // the chart shows its own pointer again rather than that of a series it no longer has
    if (FParent && FCursor != 0 && FParent->MouseCursor() == static_cast<TCursor>(FCursor))
        FParent->SetMouseCursor(FParent->SavedCursor());
    FMouseInside = false;
    FMarks->SetParentChart(nullptr);
    DetachSources();
    FHorizAxisRef = FVertAxisRef = nullptr;
}

void TChartSeries::FillSampleValues(int count) {
    if (count < 0) throw ChartException(PlotConst().ErrSampleValueCount);
    if (count == 0) count = FSampleCount > 0 ? FSampleCount : NumSampleValues();
    ClearPoints();
    SuspendNotify();
    try {
        AddSampleValues(count);
        if (PrimaryValues()->Order() != loNone) {
            PrimaryValues()->SortValues();
            if (SecondaryValues()->ValueSource().empty()) SecondaryValues()->FillSequence();
        }
    } catch (...) {
        ResumeNotify();
        throw;
    }
    ResumeNotify();
    FManualData = false;
}

void TChartSeries::AddSampleValues(int count) {
    static std::mt19937 seeder(static_cast<unsigned>(std::time(nullptr)));
    std::mt19937 rnd(std::uniform_int_distribution<unsigned>(0, 7774443)(seeder));
    auto random = [&](double below) {
        if (below < 1) return 0.0;
        return std::floor(std::uniform_real_distribution<double>(0, below)(rnd));
    };
    double minValue = 0, spread = 1000, minPos = 0, posRange = count - 1;
    bool fromChart = false;
    if (FParent)
        for (TChartSeries* s : FParent->SeriesList())
            if (s != this && s->Active() && s->PointCount() > 0) fromChart = true;
    if (fromChart && FParent) {
        TChartAxis* valueAxis = FValuesVertical ? FParent->LeftAxis() : FParent->BottomAxis();
        TChartAxis* posAxis = FValuesVertical ? FParent->BottomAxis() : FParent->LeftAxis();
        minValue = valueAxis->Minimum();
        spread = valueAxis->Maximum() - minValue;
        if (spread == 0) spread = minValue == 0 ? 1000 : minValue;
        minPos = posAxis->Minimum();
        posRange = posAxis->Maximum() - minPos;
        if (posRange == 0) posRange = minPos == 0 ? count - 1 : minPos;
    } else if (FXValues->DateTime()) {
        minPos = std::floor(static_cast<double>(std::time(nullptr)) / 86400.0) + 25569;
    }
    spread = std::min(std::fabs(spread), 2147483647.0);
    double step = count > 1 ? posRange / (count - 1) : 0;
    double q = std::floor(std::nearbyint(spread) / 4);
    double value = random(spread) + minValue;
    for (int i = 0; i < count; ++i) {
        double pos = minPos + i * step;
        if (i > 0) value = std::fabs(value) + random(q) - std::trunc(q / 2);
        if (FValuesVertical)
            AddPoint(pos, value);
        else
            AddPoint(value, pos);
    }
}

// ---------------------------------------------------------------------------
TPlotSeriesSource::~TPlotSeriesSource() {
    Destroying();
    if (FSeries) {
        TChartSeries* s = FSeries;
        FSeries = nullptr;
        auto& l = s->FSourceList;
        l.erase(std::remove(l.begin(), l.end(), static_cast<TComponent*>(this)), l.end());
    }
}

void TPlotSeriesSource::SetSourceActive(bool value) {
    if (FActive == value) return;
    FActive = value;
    if (!FSeries) return;
    if (value) {
        if (!IsLoading()) FillSeries();
    } else if (!IsDestroying() && !FSeries->IsDestroying()) {
        FSeries->ClearPoints();
    }
}

bool TPlotSeriesSource::FeedsSeries(TChartSeries* series) const {
    auto* src = series ? dynamic_cast<TPlotSeriesSource*>(series->DataSource()) : nullptr;
    return src && src->ClassName() == ClassName();
}

void TPlotSeriesSource::Deactivate() {
    if (!IsLoading() && !IsDestroying()) SetSourceActive(false);
}

void TPlotSeriesSource::SetSeries(TChartSeries* value) {
    if (FSeries == value) return;
    Deactivate();
    if (FSeries) {
        TChartSeries* old = FSeries;
        FSeries = nullptr;
        RemoveFreeNotification(old);
        old->SetDataSource(nullptr);
    }
    if (value) value->SetDataSource(this);
}

void TPlotSeriesSource::Refresh() {
    if (FActive && FSeries) {
        FSeries->SuspendNotify();
        try {
            FSeries->ClearPoints();
            FillSeries();
        } catch (...) {
            FSeries->ResumeNotify();
            throw;
        }
        FSeries->ResumeNotify();
    }
}

void TPlotSeriesSource::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation == opRemove && component == FSeries) {
        FSeries = nullptr;
        FActive = false;
    }
}

// ---------------------------------------------------------------------------
TPlotCustomTool::~TPlotCustomTool() {
    if (FParent) FParent->Tools().Remove(this);
    FParent = nullptr;
}

void TPlotCustomTool::SetParentChart(TCustomAxisPanel* value) {
    if (FParent == value) return;
    if (FParent) {
        FParent->Tools().Remove(this);
        if (!value) FParent->Invalidate();
    }
    FParent = value;
    if (FParent) {
        FParent->Tools().Adopt(this);
        FParent->Invalidate();
    }
}

void TPlotCustomToolSeries::SetSeries(TChartSeries* value) {
    if (FSeries == value) return;
    if (FSeries) RemoveFreeNotification(FSeries);
    FSeries = value;
    if (FSeries) FreeNotification(FSeries);
    RepaintChart();
}

TChartAxis* TPlotCustomToolSeries::GetHorizAxis() const {
    if (FSeries) return FSeries->GetHorizAxis();
    return FParent ? FParent->BottomAxis() : nullptr;
}

TChartAxis* TPlotCustomToolSeries::GetVertAxis() const {
    if (FSeries) return FSeries->GetVertAxis();
    return FParent ? FParent->LeftAxis() : nullptr;
}

void TPlotCustomToolSeries::Notification(TComponent* component, TOperation operation) {
    TPlotCustomTool::Notification(component, operation);
    if (operation == opRemove && component == FSeries) FSeries = nullptr;
}

void TPlotCustomToolAxis::SetAxis(TChartAxis* value) {
    if (FAxis == value) return;
    FAxis = value;
    if (value) SetParentChart(value->ParentChart());
    RepaintChart();
}

int TPlotCustomToolAxis::AxisID() const {
    if (!FAxis || !FAxis->ParentChart()) return -1;
    return FAxis->ParentChart()->AxesList().IndexOf(FAxis);
}

void TPlotCustomToolAxis::SetAxisID(int value) {
    TCustomAxisPanel* chart = ParentChart();
    const bool known = chart && value >= 0 && value < chart->AxesList().Count();
    SetAxis(known ? chart->AxesList()[value] : nullptr);
}
