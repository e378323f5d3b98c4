#include "ChartAxis.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "AxisPanel.h"
#include "ChartMessages.h"
#include "ChartSeries.h"
#include "ChartUtils.h"
#include "DateFormat.h"
#include "FloatFormat.h"
#include "Format.h"
#include "Rounding.h"

const double DateTimeStepTable[DateTimeStepCount] = {
    1.0 / 86400000000.0,
    1.0 / 86400000.0,
    1.0 / 86400.0,
    5.0 / 86400.0,
    10.0 / 86400.0,
    15.0 / 86400.0,
    30.0 / 86400.0,
    60.0 / 86400.0,
    300.0 / 86400.0,
    600.0 / 86400.0,
    900.0 / 86400.0,
    1800.0 / 86400.0,
    3600.0 / 86400.0,
    7200.0 / 86400.0,
    21600.0 / 86400.0,
    43200.0 / 86400.0,
    1,
    2,
    3,
    7,
    15,
    30,
    60,
    90,
    120,
    182,
    365,
};

namespace {

constexpr int kOneSecond = 2;
constexpr double kMinLabelStep = 1e-12;
constexpr double kMaxLabelQuotient = 2147483647.0;

// Rounds a pixel position to the nearest, ties to even, never past the
// position limit; NaN gives 0. Adding and taking away 1.5 * 2^52 leaves the
// value rounded in the processor's default mode, which is exact for every
// clamped position and keeps the per-point mapping free of branches.
int ClampRound(double v) {
    constexpr double kLimit = PositionLimit;
    constexpr double kShift = 6755399441055744.0;
    if (!(v >= -kLimit)) return std::isnan(v) ? 0 : -PositionLimit;
    if (v > kLimit) return PositionLimit;
    return static_cast<int>((v + kShift) - kShift);
}

// Rounds into the int range; the unclamped positions still must fit one.
int SaturateRound(double v) {
    if (std::isnan(v)) return 0;
    constexpr double lim = 2147483520.0;  // below INT32_MAX with room for an added offset
    v = std::clamp(v, -lim / 2, lim / 2);
    return static_cast<int>(RoundHalfEven(v));
}

}  // namespace

double NextNiceStep(double x) {
    // A step of 0, a negative or a non-finite step has no next one: the
    // ladder would never reach the 1..10 decade.
    if (std::isnan(x) || std::isinf(x)) return x;
    if (x <= 0) return kMinLabelStep;
    // below this the decade scale itself would underflow
    if (x < 1e-300) return 1e-300;
    // The decade factor is applied once per level, innermost first, so that
    // steps such as 0.05 come out as the same doubles a level-by-level
    // computation gives.
    int up = 0, down = 0;
    while (x >= 10) {
        x *= 0.1;
        ++up;
    }
    while (x < 1) {
        x *= 10;
        ++down;
    }
    double next = x < 2 ? 2 : (x < 5 ? 5 : 10);
    while (up-- > 0) next *= 10;
    while (down-- > 0) next *= 0.1;
    return next;
}

double NextDateTimeStep(double x) {
    for (int i = 25; i >= 0; --i)
        if (x >= DateTimeStepTable[i]) return DateTimeStepTable[i + 1];
    return DateTimeStepTable[26];
}

// ---------------------------------------------------------------------------
TChartAxisTitle::TChartAxisTitle(TCustomPlotPanel* parent) : TPlotCustomShape(parent) { SetTransparent(true); }

void TChartAxisTitle::Assign(const TPersistent* source) {
    if (auto* s = dynamic_cast<const TChartAxisTitle*>(source)) {
        FAngle = s->FAngle;
        FCaption = s->FCaption;
    }
    TPlotCustomShape::Assign(source);
    Repaint();
}

// ---------------------------------------------------------------------------
TAxisGridPen::TAxisGridPen(TNotifyEvent onChange) : TDottedGrayPen(std::move(onChange)) {}

void TAxisGridPen::Assign(const TPersistent* source) {
    if (auto* s = dynamic_cast<const TAxisGridPen*>(source)) {
        FCentered = s->FCentered;
        FZPosition = s->FZPosition;
    }
    TDottedGrayPen::Assign(source);
}

void TAxisGridPen::SetCentered(bool value) {
    if (StoreChanged(FCentered, value)) Changed();
}

void TAxisGridPen::SetZPosition(double value) {
    if (StoreChanged(FZPosition, value)) Changed();
}

// ---------------------------------------------------------------------------
TAxisItem::TAxisItem(TChartAxis* axis, TCustomPlotPanel* parent, double value, std::string text)
    : TPlotCustomShape(parent), FAxis(axis), FValue(value), FText(std::move(text)) {
    SetTransparent(true);
}

void TAxisItem::SetValue(double value) {
    if (StoreChanged(FValue, value)) FAxis->Repaint();
}

void TAxisItem::SetText(const std::string& value) {
    if (StoreChanged(FText, value)) FAxis->Repaint();
}

TAxisItems::TAxisItems(TChartAxis* axis, TCustomPlotPanel* parent) : FAxis(axis), FParent(parent), FFormat(parent) {
    FFormat.SetTransparent(true);
}

TAxisItem* TAxisItems::Add(double value) { return Add(value, {}); }

TAxisItem* TAxisItems::Add(double value, const std::string& text) {
    FItems.push_back(std::make_unique<TAxisItem>(FAxis, FParent, value, text));
    FAxis->Repaint();
    return FItems.back().get();
}

void TAxisItems::Clear() {
    FItems.clear();
    FAxis->Repaint();
}

TAxisItem* TAxisItems::operator[](int index) const {
    if (index < 0 || index >= Count())
        throw AxisException(::Format("Axis item index %d out of bounds (0 to %d).", index, Count() - 1));
    return FItems[static_cast<std::size_t>(index)].get();
}

void TAxisItems::Assign(const TAxisItems& source) {
    if (&source == this) return;
    FFormat.Assign(&source.FFormat);
    FItems.clear();
    for (const auto& item : source.FItems) {
        FItems.push_back(std::make_unique<TAxisItem>(FAxis, FParent, item->Value(), item->Text()));
        // the item's own font, frame and visibility go with it
        FItems.back()->Assign(item.get());
    }
    FAxis->Repaint();
}

// ---------------------------------------------------------------------------
TChartAxis::TChartAxis(TCustomAxisPanel* chart)
    : FChart(chart),
      FAxisPen(ChangeHandler()),
      FAxisValuesFormat(PlotConst().FormatValues),
      FGrid(ChangeHandler()),
      FMinorGrid(ChangeHandler()),
      FMinorTicks(ChangeHandler()),
      FTicks(ChangeHandler()),
      FTicksInner(ChangeHandler()),
      FTitle(chart),
      FItems(this, chart) {
    SelectValueToPixel();
}

TChartAxis::~TChartAxis() {
    if (!FChart) return;
    for (TChartSeries* s : FChart->SeriesList()) {
        if (s->CustomHorizAxis() == this) s->SetCustomHorizAxis(nullptr);
        if (s->CustomVertAxis() == this) s->SetCustomVertAxis(nullptr);
    }
    for (TPlotCustomTool* t : std::vector<TPlotCustomTool*>(FChart->Tools().Items()))
        if (auto* a = dynamic_cast<TPlotCustomToolAxis*>(t); a && a->Axis() == this) a->SetAxis(nullptr);
    FChart->AxesList().Remove(this);
}

TNotifyEvent TChartAxis::ChangeHandler() {
    return [this](TObject*) { Repaint(); };
}

void TChartAxis::Repaint() {
    if (FChart) FChart->Invalidate();
}

bool TChartAxis::ChartLoading() const { return FChart && FChart->IsLoading(); }

void TChartAxis::Assign(const TPersistent* source) {
    auto* s = dynamic_cast<const TChartAxis*>(source);
    if (!s) {
        TPersistent::Assign(source);
        return;
    }
    FAxisPen.Assign(&s->FAxisPen);
    FItems.Assign(s->FItems);
    FLabelsAlign = s->FLabelsAlign;
    FLabelsAngle = s->FLabelsAngle;
    FLabelsExponent = s->FLabelsExponent;
    FLabelsMultiLine = s->FLabelsMultiLine;
    FLabelsOnAxis = s->FLabelsOnAxis;
    FLabelsSeparation = s->FLabelsSeparation;
    FLabelsSize = s->FLabelsSize;
    FLabelStyle = s->FLabelStyle;
    FTicks.Assign(&s->FTicks);
    FTicksInner.Assign(&s->FTicksInner);
    FMinorTicks.Assign(&s->FMinorTicks);
    FGrid.Assign(&s->FGrid);
    FMinorGrid.Assign(&s->FMinorGrid);
    FTickLength = s->FTickLength;
    FTickInnerLength = s->FTickInnerLength;
    FMinorTickLength = s->FMinorTickLength;
    FMinorTickCount = s->FMinorTickCount;
    FAxisValuesFormat = s->FAxisValuesFormat;
    FIncrement = s->FIncrement;
    FMaximum = s->FMaximum;
    FMinimum = s->FMinimum;
    FMinimumOffset = s->FMinimumOffset;
    FMaximumOffset = s->FMaximumOffset;
    FAutomatic = s->FAutomatic;
    FAutomaticMinimum = s->FAutomaticMinimum;
    FAutomaticMaximum = s->FAutomaticMaximum;
    FTitle.Assign(&s->FTitle);
    FDateTimeFormat = s->FDateTimeFormat;
    FLogarithmic = s->FLogarithmic;
    FLogarithmicBase = s->FLogarithmicBase;
    FInverted = s->FInverted;
    FExactDateTime = s->FExactDateTime;
    FRoundFirstLabel = s->FRoundFirstLabel;
    FTickOnLabelsOnly = s->FTickOnLabelsOnly;
    FIsDepthAxis = s->FIsDepthAxis;
    FStartPosition = s->FStartPosition;
    FEndPosition = s->FEndPosition;
    FPositionPercent = s->FPositionPercent;
    FPositionUnits = s->FPositionUnits;
    FVisible = s->FVisible;
    FHorizontal = s->FHorizontal;
    FOtherSide = s->FOtherSide;
    SelectValueToPixel();
    Repaint();
}

TAxisLabelStyle TChartAxis::CalcLabelStyle() const {
    if (!FChart) return talNone;
    bool used = false;
    for (TChartSeries* s : FChart->SeriesList()) {
        if (!s->Active() || !s->UsesAxis(this)) continue;
        // points without one finite value along the axis give it nothing to label
        if (s->PointCount() > 0 && !(FHorizontal ? s->XValues() : s->YValues())->HasFiniteValue()) continue;
        used = true;
        bool alongX = s->ValuesVertical() == FHorizontal;
        if (alongX && s->PointLabels().Count() > 0 && !s->PointLabels().Label(0).empty()) return talText;
    }
    return used ? talValue : talNone;
}

TAxisLabelStyle TChartDepthAxis::CalcLabelStyle() const {
    if (ParentChart())
        for (TChartSeries* s : ParentChart()->SeriesList())
            if (s->Active() && (s->HasZValues() || s->HighestZ() != s->LowestZ())) return talValue;
    return talText;
}

bool TChartAxis::IsDateTime() const {
    if (!FChart) return false;
    for (TChartSeries* s : FChart->SeriesList())
        if (s->Active() && s->UsesAxis(this)) return FHorizontal ? s->XValues()->DateTime() : s->YValues()->DateTime();
    return false;
}

// ---------------------------------------------------------------------------
void TChartAxis::SetAutomatic(bool value) {
    SetValue(FAutomatic, value);
    if (!ChartLoading()) {
        FAutomaticMinimum = value;
        FAutomaticMaximum = value;
    }
}

void TChartAxis::SetAutomaticMaximum(bool value) {
    SetValue(FAutomaticMaximum, value);
    if (!value)
        FAutomatic = false;
    else if (FAutomaticMinimum)
        FAutomatic = true;
}

void TChartAxis::SetAutomaticMinimum(bool value) {
    SetValue(FAutomaticMinimum, value);
    if (!value)
        FAutomatic = false;
    else if (FAutomaticMaximum)
        FAutomatic = true;
}

bool TChartAxis::IsAxisValuesFormatStored() const { return FAxisValuesFormat != PlotConst().FormatValues; }

void TChartAxis::SetHorizontal(bool value) {
    if (FHorizontal == value) return;
    FHorizontal = value;
    SelectValueToPixel();
    Repaint();
}

void TChartAxis::SetIncrement(double value) {
    if (!(value >= 0)) throw AxisException(PlotConst().ErrAxisIncrement);
    SetValue(FIncrement, value);
}

void TChartAxis::SetLabelsSeparation(int value) {
    if (value < 0) throw AxisException(PlotConst().ErrLabelSeparation);
    SetValue(FLabelsSeparation, value);
}

void TChartAxis::SetMinimum(double value) {
    // NaN is refused too: it is no value a range could start at
    if (!ChartLoading() && !(value <= FMaximum)) throw AxisException(PlotConst().ErrAxisMinimum);
    SetValue(FMinimum, value);
}

void TChartAxis::SetMaximum(double value) {
    if (!ChartLoading() && !(value >= FMinimum)) throw AxisException(PlotConst().ErrAxisMaximum);
    SetValue(FMaximum, value);
}

void TChartAxis::SetLogarithmic(bool value) {
    if (value == FLogarithmic) return;
    if (value) {
        if (IsDateTime()) throw AxisException(PlotConst().ErrDateTimeLogAxis);
        AdjustAxisRange();
        if (FScaleMinimum < 0 || FScaleMaximum < 0) throw AxisException(PlotConst().ErrLogAxisNegative);
    }
    FLogarithmic = value;
    SelectValueToPixel();
    Repaint();
}

void TChartAxis::SetAxisRange(double minimum, double maximum) {
    FAutomatic = FAutomaticMinimum = FAutomaticMaximum = false;
    if (minimum > maximum) std::swap(minimum, maximum);
    FMinimum = minimum;
    FMaximum = maximum;
    if (FMaximum - FMinimum < MinAxisRange) FMaximum = FMinimum + MinAxisRange;
    Repaint();
}

void TChartAxis::RestoreScale(bool automatic, bool automaticMinimum, bool automaticMaximum, double minimum,
                              double maximum) {
    FAutomatic = automatic;
    FAutomaticMinimum = automaticMinimum;
    FAutomaticMaximum = automaticMaximum;
    FMinimum = minimum;
    FMaximum = maximum;
    Repaint();
}

void TChartAxis::ScrollAxis(double offset, bool checkLimits) {
    bool scroll = !checkLimits;
    if (checkLimits && FChart) {
        if (offset > 0 && FChart->SeriesExtremeForAxis(this, true) > FMaximum) scroll = true;
        if (offset < 0 && FChart->SeriesExtremeForAxis(this, false) < FMinimum) scroll = true;
    }
    if (!scroll) return;
    FAutomatic = FAutomaticMinimum = FAutomaticMaximum = false;
    FMaximum += offset;
    FMinimum += offset;
    Repaint();
}

void TChartAxis::AdjustAxisRange() {
    if (FChart) {
        if (FAutomatic || FAutomaticMaximum) FMaximum = FChart->SeriesExtremeForAxis(this, true);
        if (FAutomatic || FAutomaticMinimum) FMinimum = FChart->SeriesExtremeForAxis(this, false);
    }
    FScaleMaximum = FMaximum;
    FScaleMinimum = FMinimum;
    CalcAxisScales();
}

void TChartAxis::CalcAxisPixels() {
    int origin = 0, size = 0;
    if (FChart) {
        const TRect& r = FChart->PlotRect();
        if (FIsDepthAxis) {
            size = FChart->ChartDepth3D();
        } else if (FHorizontal) {
            origin = r.Left;
            size = r.Width();
        } else {
            origin = r.Top;
            size = r.Height();
        }
    }
    FStartPixel = origin + ClampRound(size * 0.01 * FStartPosition);
    FEndPixel = origin + ClampRound(size * 0.01 * FEndPosition);
    FAxisLength = FEndPixel - FStartPixel;
    FCenterPixel = (FStartPixel + FEndPixel) / 2;
    CalcAxisScales();
}

void TChartAxis::CalcAxisScales() {
    FScaleRange = FScaleMaximum - FScaleMinimum;
    // Finite ends more than the largest double apart: the range is taken as the
    // largest finite one; the scale comes from the half range, and values are
    // placed in two steps (ScaleOffset).
    const bool beyond = std::isinf(FScaleRange) && std::isfinite(FScaleMinimum) && std::isfinite(FScaleMaximum);
    if (beyond) FScaleRange = std::numeric_limits<double>::max();
    // an unbounded range maps like an empty one: no value can be placed on it
    FRangeIsZero = FScaleRange == 0 || !std::isfinite(FScaleRange);
    FPixelsPerUnit = FRangeIsZero ? 0 : FAxisLength / FScaleRange;
    if (beyond) FPixelsPerUnit = FAxisLength / (FScaleMaximum * 0.5 - FScaleMinimum * 0.5) * 0.5;
    if (FLogarithmic) {
        FLogMinimum = FScaleMinimum > 0 ? std::log(FScaleMinimum) : 0;
        FLogMaximum = FScaleMaximum > 0 ? std::log(FScaleMaximum) : 0;
        FLogRange = FLogMaximum - FLogMinimum;
        FPixelsPerLogUnit = FLogRange == 0 || !std::isfinite(FLogRange) ? 0 : FAxisLength / FLogRange;
    }
    if (FChart) {
        double depth = FIsDepthAxis ? FChart->PlotHeight() : FChart->ChartDepth3D();
        FZPixel = ClampRound(depth * FZPosition * 0.01);
    }
}

void TChartAxis::InflateAxisRange(const TRect& margins) {
    const int first = FHorizontal ? margins.Left : margins.Top;
    const int second = FHorizontal ? margins.Right : margins.Bottom;
    const int oldStart = FStartPixel, oldEnd = FEndPixel;
    FStartPixel += first;
    FEndPixel -= second;
    FAxisLength = FEndPixel - FStartPixel;
    CalcAxisScales();
    double a = PixelToValue(oldStart);
    double b = PixelToValue(oldEnd);
    CalcAxisPixels();
    FScaleMaximum = a;
    FScaleMinimum = b;
    if (FScaleMinimum > FScaleMaximum) std::swap(FScaleMinimum, FScaleMaximum);
    CalcAxisScales();
}

// ---------------------------------------------------------------------------
void TChartAxis::SelectValueToPixel() {
    if (FIsDepthAxis)
        FValueToPixel = &TChartAxis::DepthValue;
    else if (FLogarithmic)
        FValueToPixel = FHorizontal ? &TChartAxis::LogHorizontal : &TChartAxis::LogVertical;
    else
        FValueToPixel = FHorizontal ? &TChartAxis::LinearHorizontal : &TChartAxis::LinearVertical;
}

int TChartAxis::ValueToPixel(double value) const {
    if (std::isnan(value)) return FCenterPixel;
    if (FIsDepthAxis) return DepthValue(value);
    if (!FLogarithmic && FChart && FChart->AxesList().UnclampedPositions)
        return FHorizontal ? LinearHorizontalUnclamped(value) : LinearVerticalUnclamped(value);
    return (this->*FValueToPixel)(value);
}

// Pixels from the scale's minimum to a value. A distance beyond the largest double
// (on a range spanning nearly all doubles) is scaled before it is taken.
double TChartAxis::ScaleOffset(double value) const {
    const double d = (value - FScaleMinimum) * FPixelsPerUnit;
    if (std::isinf(d) && std::isfinite(value)) return value * FPixelsPerUnit - FScaleMinimum * FPixelsPerUnit;
    return d;
}

int TChartAxis::LinearHorizontal(double value) const {
    if (FRangeIsZero) return FCenterPixel;
    double d = ScaleOffset(value);
    return ClampRound(FInverted ? FEndPixel - d : FStartPixel + d);
}

int TChartAxis::LinearVertical(double value) const {
    if (FRangeIsZero) return FCenterPixel;
    double d = ScaleOffset(value);
    return ClampRound(FInverted ? FStartPixel + d : FEndPixel - d);
}

int TChartAxis::LinearHorizontalUnclamped(double value) const {
    if (FRangeIsZero) return FCenterPixel;
    int d = SaturateRound(ScaleOffset(value));
    return FInverted ? FEndPixel - d : FStartPixel + d;
}

int TChartAxis::LinearVerticalUnclamped(double value) const {
    if (FRangeIsZero) return FCenterPixel;
    int d = SaturateRound(ScaleOffset(value));
    return FInverted ? FStartPixel + d : FEndPixel - d;
}

int TChartAxis::LogHorizontal(double value) const {
    if (FRangeIsZero || FLogRange == 0) return FCenterPixel;
    if (value <= 0) return FInverted ? FEndPixel : FStartPixel;
    double l = std::log(value);
    if (FInverted) return FStartPixel + ClampRound(FPixelsPerLogUnit * (FLogMaximum - l));
    return FStartPixel + ClampRound(FPixelsPerLogUnit * (l - FLogMinimum));
}

int TChartAxis::LogVertical(double value) const {
    if (FRangeIsZero || FLogRange == 0) return FCenterPixel;
    if (value <= 0) return FInverted ? FStartPixel : FEndPixel;
    double l = std::log(value);
    if (FInverted) return FEndPixel - ClampRound(FPixelsPerLogUnit * (FLogMaximum - l));
    return FEndPixel - ClampRound((l - FLogMinimum) * FPixelsPerLogUnit);
}

int TChartAxis::DepthValue(double value) const {
    if (FRangeIsZero) return FCenterPixel;
    if (FInverted) return ClampRound((FScaleMaximum - value) * FPixelsPerUnit);
    return ClampRound((value - FScaleMinimum) * FPixelsPerUnit);
}

double TChartAxis::PixelToValue(int pixel) const {
    const bool horizontal = FHorizontal || FIsDepthAxis;
    if (!FLogarithmic) {
        if (FAxisLength < 1) return 0;
        const int along = FInverted ? FEndPixel - pixel : pixel - FStartPixel;
        const double c = along * FScaleRange / FAxisLength;
        const double v = horizontal ? FScaleMinimum + c : FScaleMaximum - c;
        if (std::isfinite(v) || !std::isfinite(FScaleMinimum) || !std::isfinite(FScaleMaximum)) return v;
        // a distance past the largest double: the value is taken between the ends instead
        const double f = static_cast<double>(along) / FAxisLength;
        const double g = horizontal ? f : 1 - f;
        return FScaleMinimum * (1 - g) + FScaleMaximum * g;
    }
    const bool maxAtStart = (horizontal && FInverted) || (!horizontal && !FInverted);
    if (pixel == FStartPixel) return maxAtStart ? FScaleMaximum : FScaleMinimum;
    if (pixel == FEndPixel) return maxAtStart ? FScaleMinimum : FScaleMaximum;
    if (FLogRange == 0 || FAxisLength == 0) return FScaleMinimum;
    double f = (FInverted ? FEndPixel - pixel : pixel - FStartPixel) * FLogRange / FAxisLength;
    return horizontal ? std::exp(FLogMinimum + f) : std::exp(FLogMaximum - f);
}

bool TChartAxis::AxisClicked(int x, int y) const {
    if (!FChart || !FChart->IsAxisShown(this)) return false;
    // On a 3D chart the axis lies at its own depth: the click is taken back to that depth.
    if (FChart->View3D() && !FIsDepthAxis) FChart->Canvas().ScreenToWorld(x, y, FZPixel);
    int along = FHorizontal ? x : y;
    int across = FHorizontal ? y : x;
    int a0 = std::min(FStartPixel, FEndPixel), a1 = std::max(FStartPixel, FEndPixel);
    int c0 = std::min(AxisLinePos, LabelsPos), c1 = std::max(AxisLinePos, LabelsPos);
    if (AxisLinePos <= LabelsPos)
        c0 -= 3;
    else
        c1 += 3;
    return along >= a0 && along <= a1 && across >= c0 && across <= c1;
}

// ---------------------------------------------------------------------------
double TChartAxis::CalcLabelIncrement(int labelCount) const {
    const int n = labelCount;
    const bool dateTime = IsDateTime();
    if (n < 1) return dateTime ? DateTimeStepTable[0] : kMinLabelStep;
    if (!dateTime) {
        double step;
        if (FIncrement > 0) {
            step = FIncrement;
        } else if (FScaleRange == 0) {
            step = 1;
        } else {
            step = std::fabs(FScaleRange) / (n + 1.0);
            if (FChart)
                for (TChartSeries* s : FChart->SeriesList())
                    if (s->Active() && s->UsesAxis(this) && s->ValuesVertical() == FHorizontal &&
                        s->PointCount() <= n) {
                        step = std::max(step, 1.0);
                        break;
                    }
        }
        if (FLabelsSeparation >= 0) {
            double k = n + 1.0;
            while (true) {
                // a step that is no positive number never grows to an end
                if (!(step > 0) || std::isinf(step)) break;
                double q = FScaleRange / step;
                if (std::fabs(q) < kMaxLabelQuotient) {
                    k = std::nearbyint(q);
                    if (k > n) step = NextNiceStep(step);
                } else {
                    step = NextNiceStep(step);
                }
                if (k <= n || step > FScaleRange || std::isinf(step)) break;
            }
        }
        if (std::isinf(step)) return FScaleRange;
        if (!(step >= kMinLabelStep)) return kMinLabelStep;
        return step;
    }
    double step = std::max(DateTimeStepTable[0], FIncrement);
    if (FScaleRange / step > 1000000) step = FScaleRange / 1000000;
    while (n < std::nearbyint(FScaleRange / step) && std::isfinite(step) && step > 0) {
        if (step >= DateTimeStepTable[26])
            step *= 2;
        else if (step >= DateTimeStepTable[kOneSecond])
            step = NextDateTimeStep(step);
        else
            step = NextNiceStep(step);
    }
    if (!(step >= DateTimeStepTable[0])) return DateTimeStepTable[0];
    return step;
}

double TChartAxis::CalcMaxLabelCount(int labelSize) const {
    if (labelSize <= 0) return CalcLabelIncrement(1);
    int gap = labelSize;
    if (FLabelsSeparation != 0) gap += ClampRound(FLabelsSeparation * 0.01 * labelSize);
    // an axis with data shows at least one label, however wide
    const int n = std::max(1, ClampRound(static_cast<double>(FAxisLength) / gap));
    double step = CalcLabelIncrement(n);
    // The count is rounded, so the step may still bring labels closer than their
    // width and separation: the next steps are taken until neighbours keep clear.
    if (!IsDateTime() && !FLogarithmic && !FRangeIsZero && FAxisLength > 0) {
        const double pixelsPerUnit = std::fabs(FPixelsPerUnit);
        for (int i = 0; i < 64 && step * pixelsPerUnit < gap && std::isfinite(step); ++i) step = NextNiceStep(step);
    }
    return step;
}

int TChartAxis::LabelTextSize(double value) const {
    if (!FChart) return 0;
    int lines = 0;
    int width = FChart->MultiLineTextWidth(FormatAxisLabel(value), lines);
    // -90 is drawn as 270
    const int angle = (FLabelsAngle % 360 + 360) % 360;
    bool across = FHorizontal ? (angle == 90 || angle == 270) : (angle == 0 || angle == 180);
    return across ? FChart->FontHeight() * lines : width;
}

double TChartAxis::CurrentLabelIncrement() const {
    return CalcMaxLabelCount(std::max(LabelTextSize(FScaleMaximum), LabelTextSize(FScaleMinimum)));
}

std::string TChartAxis::FormatAxisLabel(double value) const {
    std::string text;
    if (!IsDateTime()) {
        text = FormatValueText(FAxisValuesFormat, value);
    } else if (value >= 0) {
        text = FormatDateTime(!FDateTimeFormat.empty() ? FDateTimeFormat : DefaultDateTimeFormat(FScaleRange), value);
    }
    if (FChart && FChart->OnGetAxisLabel) FChart->OnGetAxisLabel(const_cast<TChartAxis*>(this), nullptr, -1, text);
    if (FLabelsMultiLine) std::replace(text.begin(), text.end(), ' ', LineSeparator);
    return text;
}
