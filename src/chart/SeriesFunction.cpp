#include "SeriesFunction.h"

#include <algorithm>
#include <cmath>

#include "AxisPanel.h"
#include "BSpline.h"
#include "ChartAxis.h"
#include "ChartMessages.h"
#include "ChartUtils.h"

// ---------------------------------------------------------------------------
void TPlotFunction::Assign(const TPersistent* source) {
    if (const auto* f = dynamic_cast<const TPlotFunction*>(source)) {
        FPeriod = f->FPeriod;
        FPeriodStyle = f->FPeriodStyle;
        FPeriodAlign = f->FPeriodAlign;
        return;
    }
    TComponent::Assign(source);
}

void TPlotFunction::Recalculate() {
    if (FSuspended || !FParent) return;
    if (TCustomAxisPanel* chart = FParent->ParentChart())
        chart->RefreshSeriesData(FParent);
    else if (auto* source = dynamic_cast<TChartSeries*>(FParent->DataSource()))
        FParent->RefillFromSource(source);
}

void TPlotFunction::SetPeriod(double value) {
    if (value < 0) throw ChartException(PlotConst().ErrFunctionPeriod);
    if (FPeriod == value) return;
    FPeriod = value;
    Recalculate();
}

void TPlotFunction::SetPeriodAlign(TFunctionPeriodAlign value) {
    if (StoreChanged(FPeriodAlign, value)) Recalculate();
}

void TPlotFunction::SetPeriodStyle(TFunctionPeriodStyle value) {
    if (StoreChanged(FPeriodStyle, value)) Recalculate();
}

double TPlotFunction::ComputeValue(TChartSeries* source, int first, int last) {
    (void)source, (void)first, (void)last;
    return 0;
}

double TPlotFunction::ComputeMany(const std::vector<TChartSeries*>& sources, int index) {
    (void)sources, (void)index;
    return 0;
}

TChartValueList* TPlotFunction::ValueListOf(TChartSeries* source) const {
    const std::string& name = FParent ? FParent->PrimaryValues()->ValueSource() : std::string();
    return name.empty() ? source->PrimaryValues() : source->ValueListByName(name);
}

void TPlotFunction::AddFunctionPoint(bool vertical, double value, double position) {
    if (!FParent) return;
    if (vertical)
        FParent->AddPoint(position, value);
    else
        FParent->AddPoint(value, position);
}

void TPlotFunction::ComputePeriod(TChartSeries* source, int first, int last, double position) {
    AddFunctionPoint(source->ValuesVertical(), ComputeValue(source, first, last), position);
}

void TPlotFunction::ComputeWhole(TChartSeries* source, TChartValueList* list) {
    if (!FParent) return;
    const double v = ComputeValue(source, -1, -1);
    if (!FParent->SinglePointResult()) {
        // a level line across the source's range
        AddFunctionPoint(source->ValuesVertical(), v, list->LowestValue());
        AddFunctionPoint(source->ValuesVertical(), v, list->HighestValue());
        return;
    }
    const double middle = list->Spread() * 0.5 + list->LowestValue();
    if (FParent->ValuesVertical())
        FParent->AddPoint(middle, v);
    else
        FParent->AddPoint(v, middle);
}

namespace {

// Index of the calendar or table step a period matches, dtNone when none.
int FindDateTimeStep(double period) {
    for (int i = DateTimeStepCount - 1; i >= 0; --i)
        if (std::abs(DateTimeStepTable[i] - period) <= 1e-10 * std::max(1.0, period)) return i;
    return dtNone;
}

}  // namespace

void TPlotFunction::ComputeByPeriod(TChartSeries* source, TChartValueList* list) {
    const int n = source->PointCount();
    if (n == 0 || list->Count() < n) return;
    const double* v = list->Data();
    auto place = [this](double start, double end) {
        switch (FPeriodAlign) {
        case paFirst:
            return start;
        case paLast:
            return end;
        default:
            return (start + end) / 2;
        }
    };
    if (FPeriodStyle == psNumPoints) {
        // round half to even, as everywhere in the chart engine
        const double groupSize = std::nearbyint(FPeriod);
        // a group of no points would never move on
        if (!(groupSize >= 1)) return;
        for (long long e = 0; e + static_cast<long long>(groupSize) - 1 < n;) {
            const int first = static_cast<int>(e);
            const int last = static_cast<int>(e + static_cast<long long>(groupSize) - 1);
            ComputePeriod(source, first, last, place(v[first], v[last]));
            e = last + 1LL;
        }
        return;
    }
    TChartAxis* axis = FParent ? FParent->GetHorizAxis() : nullptr;
    const bool dateTime = axis ? axis->IsDateTime() : list->DateTime();
    const int step = FindDateTimeStep(FPeriod);
    double c = v[0];
    int e = 0;
    while (e <= n - 1) {
        const double start = c;
        StepDateTime(true, c, FPeriod, dateTime, step);
        // a range that does not move (a zero period, or one lost in the
        // value's precision) would repeat for ever
        if (!(c > start)) return;
        const double end = c - 0.001 * FPeriod;
        int i = e;
        while (i + 1 < n && v[i + 1] < c) ++i;
        const bool holdsPoints = !(v[e] >= c);
        if (holdsPoints) {
            ComputePeriod(source, e, i, place(start, end));
            e = i + 1;
        } else {
            AddFunctionPoint(source->ValuesVertical(), 0, place(start, end));
        }
    }
}

void TPlotFunction::Calculate(TChartSeries* source, TChartValueList* list) {
    if (FPeriod != 0)
        ComputeByPeriod(source, list);
    else
        ComputeWhole(source, list);
}

void TPlotFunction::PrepareGalleryChart(TCustomAxisPanel* chart) {
    if (!chart) return;
    for (TChartSeries* s : std::vector<TChartSeries*>(chart->SeriesList())) s->PrepareForGallery(true);
}

void TPlotFunction::AddPoints(TChartSeries* source) {
    if (FSuspended || !source || !FParent) return;
    std::vector<TChartSeries*> sources;
    for (TComponent* c : FParent->SourceList())
        if (auto* s = dynamic_cast<TChartSeries*>(c)) sources.push_back(s);
    if (sources.size() > 1) {
        TChartSeries* longest = source;
        for (TChartSeries* s : sources)
            if (s->PointCount() > longest->PointCount()) longest = s;
        for (int i = 0; i < longest->PointCount(); ++i) {
            double x = longest->SecondaryValues()->ValueAt(i);
            double y = ComputeMany(sources, i);
            if (!longest->ValuesVertical()) std::swap(x, y);
            FParent->AddPoint(x, y, longest->PointLabels().Label(i));
        }
        return;
    }
    if (source->PointCount() > 0) Calculate(source, source->SecondaryValues());
}

// ---------------------------------------------------------------------------
namespace {

TObject* CreateSmoothing(TObject* owner) { return new TSmoothingFunction(dynamic_cast<TComponent*>(owner)); }

// The gallery lists the smoothing function from program start to shutdown.
struct SmoothingRegistration {
    SmoothingRegistration() {
        RegisterPlotFunction(&TSmoothingFunction::ClassInfo, PlotExtConst().FunctionNameSmoothing,
                             PlotExtConst().PageExtended);
    }
    ~SmoothingRegistration() { UnRegisterPlotFunction(&TSmoothingFunction::ClassInfo); }
};

}  // namespace

const TClassInfo TSmoothingFunction::ClassInfo{"TSmoothingFunction", CreateSmoothing};

namespace {
const SmoothingRegistration smoothingRegistration;
}  // namespace

TSmoothingFunction::TSmoothingFunction(TComponent* owner) : TPlotFunction(owner) { SetPeriod(1.0); }

void TSmoothingFunction::Assign(const TPersistent* source) {
    if (const auto* f = dynamic_cast<const TSmoothingFunction*>(source)) {
        FFactor = f->FFactor;
        FInterpolate = f->FInterpolate;
    }
    TPlotFunction::Assign(source);
}

void TSmoothingFunction::SetFactor(int value) {
    value = std::max(value, 1);
    if (FFactor == value) return;
    FFactor = value;
    Recalculate();
}

void TSmoothingFunction::SetInterpolate(bool value) {
    if (StoreChanged(FInterpolate, value)) Recalculate();
}

void TSmoothingFunction::AddPoints(TChartSeries* source) {
    TChartSeries* series = ParentSeries();
    if (!series || Suspended()) return;
    series->ClearPoints();
    if (!source) return;
    TBSpline spline;
    TChartValueList* values = ValueListOf(source);
    const int n = std::min(source->PointCount(), values->Count());
    if (n == 0) return;
    for (int i = 0; i < n; ++i) {
        spline.AddSplinePoint(source->XValues()->ValueAt(i), values->ValueAt(i));
        spline.SetCorner(i + 1, false);
    }
    spline.SetPassThroughPoints(FInterpolate);
    const long long steps = static_cast<long long>(n) * FFactor;
    spline.SetStepCount(static_cast<int>(std::min<long long>(steps, TBSpline::MaxStepCount)));
    // the curve through one point has no length: it is sampled once
    const int count = n == 1 ? 0 : spline.StepCount();
    const bool vertical = series->ValuesVertical();
    for (int k = 0; k <= count; ++k) {
        const TSplinePoint p = spline.PointAt(count == 0 ? 0.0 : static_cast<double>(k) / count);
        if (vertical)
            series->AddPoint(p.X, p.Y);
        else
            series->AddPoint(p.Y, p.X);
    }
}
