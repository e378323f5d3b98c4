// Drawing an axis: label values, label texts, axis line, ticks, grid, minor
// ticks and minor grid; and the room an axis takes from the plot rectangle.

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <type_traits>

#include "AxisPanel.h"
#include "SeriesMarks.h"
#include "ChartAxis.h"
#include "ChartMessages.h"
#include "ChartSeries.h"
#include "ChartUtils.h"
#include "FloatFormat.h"
#include "Rounding.h"
#include "ScopeExit.h"

namespace {

// Hard bound of every label loop, whatever the scale and the events do.
constexpr int kMaxLabelSteps = 10000;
constexpr int kMaxEventLabels = 2000;
// the date-time table's step of one second
constexpr int kOneSecondStep = 2;

int Round(double v) {
    if (!std::isfinite(v)) return 0;
    return static_cast<int>(RoundHalfEven(std::clamp(v, -2147483520.0, 2147483520.0)));
}

// The general float-to-text conversion with 15 significant digits.
std::string DefaultText(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15G", v);
    return buf;
}

// Date step index whose table entry lies within one microsecond of the increment.
int FindDateTimeStep(double increment) {
    constexpr double microsecond = 1.0 / 86400000000.0;
    for (int k = DateTimeStepCount - 1; k >= 0; --k)
        if (std::fabs(DateTimeStepTable[k] - increment) < microsecond) return k;
    return dtNone;
}

}  // namespace

// The drawing state of one DrawAxis call and the room calculation; a friend of
// the axis so that the scale can be adjusted for logarithmic labels.
class TAxisDrawer {
public:
    explicit TAxisDrawer(TChartAxis& axis) : A(axis), C(*axis.FChart), V(axis.FChart->Canvas()) {}

    TAxisLabelStyle EffectiveStyle() const { return A.FLabelStyle == talAuto ? A.CalcLabelStyle() : A.FLabelStyle; }

    int PositionShift(int a, const TRect& r) const {
        if (A.FPositionPercent == 0) return a;
        int d = A.FPositionUnits == muPixels
                    ? Round(A.FPositionPercent)
                    : Round(A.FPositionPercent * 0.01 * (A.FHorizontal ? r.Height() : r.Width()));
        if (A.FOtherSide) d = -d;
        return A.FHorizontal ? a - d : a + d;
    }

    // +1 when the axis' outer side runs toward higher coordinates.
    int Outward() const {
        if (A.FHorizontal) return A.FOtherSide ? -1 : 1;
        return A.FOtherSide ? 1 : -1;
    }

    int& SideEdge(TRect& r) const {
        if (A.FHorizontal) return A.FOtherSide ? r.Top : r.Bottom;
        return A.FOtherSide ? r.Right : r.Left;
    }

    void Draw(bool place) {
        const TRect& plot = C.PlotRect();
        if (place) {
            TRect r = plot;
            A.AxisLinePos = PositionShift(SideEdge(r), plot);
            if (A.FIsDepthAxis) PlaceDepthTexts(A.AxisLinePos, plot);
        }
        DrawTitle();
        A.TickPositions.clear();
        DrawLabels();
        DrawLines();
    }

    void DrawTitle() {
        TChartAxisTitle& t = A.FTitle;
        if (!t.Visible() || t.Caption().empty() || A.TitleLeftOut) return;
        V.SelectFont(t.Font());
        if (A.FIsDepthAxis) {
            const int y = C.PlotRect().Bottom + A.DepthTextsDrop, z = C.ChartDepth3D() / 2;
            if (FMeasured) {
                int n = 0;
                const int w = C.MultiLineTextWidth(t.Caption(), n);
                const TPoint at = V.WorldToScreen(A.TitlePos, y, z);
                // a pixel more around, for the letters' rims
                FMeasured->push_back(
                    TRect{at.x - 1, at.y - 1, at.x + w + 1, at.y + V.TextLineHeight() * std::max(1, n) + 1});
                return;
            }
            TransparentText();
            V.SetTextAlignment(TA_LEFT);
            V.WriteText3D(A.TitlePos, y, t.Caption(), z);
            return;
        }
        FExponent = false;
        if (t.Angle() % 90 != 0)
            AngledTitle();
        else if (A.FHorizontal)
            Label(A.FCenterPixel + A.TitleShift, A.TitlePos, &t, t.Caption(), t.Angle());
        else
            Label(A.TitlePos, A.FCenterPixel + A.TitleShift, &t, t.Caption(), t.Angle());
        FExponent = true;
    }

    // A title at a slant lies wholly inside its room (TitlePos is the room's edge
    // toward the plot), centred along the axis.
    void AngledTitle() {
        TChartAxisTitle& t = A.FTitle;
        int n = 0;
        const int w = C.MultiLineTextWidth(t.Caption(), n);
        const Extent e = InkExtent(t, w, V.TextLineHeight() * n, t.Angle());
        int x, y;
        if (A.FHorizontal) {
            x = A.FCenterPixel + A.TitleShift - Round((e.minX + e.maxX) / 2);
            y = A.TitlePos - Round(A.FOtherSide ? e.maxY : e.minY);
        } else {
            y = A.FCenterPixel + A.TitleShift - Round((e.minY + e.maxY) / 2);
            x = A.TitlePos - Round(A.FOtherSide ? e.minX : e.maxX);
        }
        Lines(x, y, &t, t.Caption(), t.Angle(), TA_LEFT, n);
    }

    void DrawLabels() {
        if (A.FItems.Count() > 0) {
            DrawCustomItems();
            return;
        }
        const TAxisLabelStyle style = EffectiveStyle();
        if (style == talNone) return;
        V.SelectFont(A.LabelsFont());
        // only drawing moves a logarithmic scale's end off zero, before the labels are planned
        if (style == talValue && A.FLogarithmic && A.FIncrement == 0) LogMinimum(true);
        if (!FollowPlan()) return;
        switch (style) {
        case talValue:
            if (C.OnGetNextAxisLabel)
                DrawEventLabels();
            else
                DrawValueLabels();
            break;
        case talMark:
            DrawSeriesLabels(true);
            break;
        case talText:
            if (A.FIsDepthAxis)
                DrawSeriesTitleLabels();
            else
                DrawSeriesLabels(false);
            break;
        default:
            break;
        }
    }

    // The step the labels start from, for the labels font in the canvas; false when
    // no labels can be drawn. The plan grows it until every label keeps clear.
    bool ChooseStep() {
        FEndLength = EndLabelsLength();
        const double s = A.CalcMaxLabelCount(FEndLength);
        int k = dtNone;
        if (A.IsDateTime() && A.FExactDateTime && A.FIncrement != 0) {
            k = FindDateTimeStep(A.FIncrement);
            if (k != dtNone)
                while (k < dtOneYear && s > DateTimeStepTable[k]) ++k;
        }
        FStep = s;
        FStepIndex = k;
        FPower = 1;
        return (s > 0 || (k >= dtHalfMonth && k <= dtOneYear)) && A.FScaleMaximum >= A.FScaleMinimum;
    }

    // Whether a series along the axis has no more points than the labels' step came
    // from: its values are steps of whole numbers, as the step from its count keeps.
    bool FewPoints() const {
        const int length = FEndLength;
        const double n = A.FAxisLength / std::max(1.0, length * (1 + 0.01 * A.FLabelsSeparation));
        for (TChartSeries* s : C.SeriesList())
            if (s->Active() && s->UsesAxis(&A) && s->ValuesVertical() == A.FHorizontal && s->PointCount() <= n + 1)
                return true;
        return false;
    }

    // What the labels at the range's ends take along the axis as drawn (turned, in
    // their box), the longer of the two: the plan measures every label so, and a step
    // started from a longer measure would never come down to one that fits.
    int EndLabelsLength() {
        V.SelectFont(A.LabelsFont());
        TPlotCustomShape& box = A.FItems.Format();
        const int angle = NormalAngle(A.FLabelsAngle);
        int most = 0;
        for (double v : {A.FScaleMaximum, A.FScaleMinimum}) {
            // the kept texts stand for the ends too, but for 0 (a map takes -0 for 0)
            // and what is not a number
            int lines = 0, w = 0;
            if (std::isfinite(v) && v != 0) {
                const TChartAxis::LabelText& t = Measured(v);
                w = t.width;
                lines = t.lines;
            } else {
                w = C.MultiLineTextWidth(A.FormatAxisLabel(v), lines);
            }
            const int height = V.TextLineHeight() * std::max(lines, 1);
            const auto [at, lo, hi] = AlongTheAxis(InkExtent(box, w, height, angle), w, height, angle);
            (void)at;
            most = std::max(most, static_cast<int>(std::ceil(hi - lo)));
        }
        return most;
    }

    // Takes the step of the axis' plan; false when no labels can be drawn.
    bool FollowPlan() {
        const TChartAxis::LabelPlan& p = Plan();
        FStep = p.step;
        FStepIndex = p.stepIndex;
        FPower = p.power;
        return p.any;
    }

    // Where the labels stand on the screen for a pixel along the axis.
    TPoint WorldAt(int p) const {
        return A.FHorizontal ? V.WorldToScreen(p, A.LabelsPos, A.FZPixel) : V.WorldToScreen(A.LabelsPos, p, A.FZPixel);
    }

    // The plan of the value labels for the axis as it stands now: a kept one when
    // nothing it was made from has changed.
    const TChartAxis::LabelPlan& Plan() {
        // The plan is made of the labels' own texts: measuring must not run the chart's
        // label event, which may change them as they are drawn.
        TAxisOnGetLabel saved = std::move(C.OnGetAxisLabel);
        C.OnGetAxisLabel = nullptr;
        const ScopeExit restore([&] { C.OnGetAxisLabel = std::move(saved); });
        const std::string& key = LabelsKey();
        // the kept texts hold for one font, format and device; emptied between plans
        // only, as a plan holds on to the texts it measured
        if (A.FLabelTextsDevice != V.GetDeviceHandle() || A.FLabelTextsFont != key || A.FLabelTexts.size() > 4096) {
            A.FLabelTexts.clear();
            A.FLabelTextsDevice = V.GetDeviceHandle();
            A.FLabelTextsFont = key;
        }
        const bool any = ChooseStep();
        TPlotCustomShape& box = A.FItems.Format();
        const TPoint a = WorldAt(A.FStartPixel), b = WorldAt(A.FEndPixel), m = WorldAt(A.FCenterPixel);
        const double inputs[]{
            any ? 1.0 : 0.0,
            FStep,
            static_cast<double>(FStepIndex),
            A.FScaleMinimum,
            A.FScaleMaximum,
            static_cast<double>(A.FStartPixel),
            static_cast<double>(A.FEndPixel),
            static_cast<double>(a.x),
            static_cast<double>(a.y),
            static_cast<double>(b.x),
            static_cast<double>(b.y),
            static_cast<double>(m.x),
            static_cast<double>(m.y),
            static_cast<double>(A.FLabelsAngle),
            static_cast<double>(A.FLabelsSeparation),
            static_cast<double>(box.Transparent()),
            static_cast<double>(box.Shadow().HorizSize()),
            static_cast<double>(box.Shadow().VertSize()),
            static_cast<double>(box.Pen().Visible() ? box.Pen().Width() : -1),
            static_cast<double>(box.Brush().Style()),
            A.FLogarithmic ? A.FLogarithmicBase : 0.0,
            static_cast<double>(A.FLabelsOnAxis + 2 * A.FRoundFirstLabel + 4 * A.FHorizontal + 8 * A.FInverted +
                                16 * A.Labels() + 32 * A.LabelsLeftOut + 64 * A.FIsDepthAxis + 128 * A.LabelsLimited),
            static_cast<double>(A.LabelsFrom),
            static_cast<double>(A.LabelsTo),
            static_cast<double>(A.LabelsAcross)};
        TChartAxis::LabelPlan* plans = A.FLabelPlans;
        constexpr int kept = std::extent_v<decltype(A.FLabelPlans)>;
        for (int i = 0; i < kept; ++i)
            if (plans[i].device == V.GetDeviceHandle() &&
                std::equal(plans[i].inputs.begin(), plans[i].inputs.end(), std::begin(inputs), std::end(inputs)) &&
                plans[i].font == key) {
                // the last one asked for stays first
                std::rotate(plans, plans + i, plans + i + 1);
                return plans[0];
            }
        std::rotate(plans, plans + kept - 1, plans + kept);
        TChartAxis::LabelPlan& p = plans[0];
        p = TChartAxis::LabelPlan{};
        p.inputs.assign(std::begin(inputs), std::end(inputs));
        p.font = key;
        p.device = V.GetDeviceHandle();
        p.any = any;
        if (any) MakePlan(p);
        p.step = FStep;
        p.stepIndex = FStepIndex;
        p.power = FPower;
        return p;
    }

    // The text of a value label as measured (the plan runs without the label event) and
    // its size in the labels' font, kept for the font and format.
    const TChartAxis::LabelText& Measured(double v) {
        auto [it, added] = A.FLabelTexts.try_emplace(v);
        if (added) {
            it->second.text = A.FormatAxisLabel(v);
            it->second.width = C.MultiLineTextWidth(it->second.text, it->second.lines);
            it->second.lines = std::max(it->second.lines, 1);
        }
        return it->second;
    }

    // Fills the plan's values: the step grows to the next one until every label of it
    // keeps clear of its neighbours by LabelsSeparation percent of the longer one's
    // length along the axis, and no two neighbours read the same. Labels at the ends
    // that would reach past where the layout lets them are left out, one by one.
    void MakePlan(TChartAxis::LabelPlan& p) {
        V.SelectFont(A.LabelsFont());
        const bool drawn = A.Labels() && !A.LabelsLeftOut;
        const bool clear = drawn && !A.FIsDepthAxis && A.FLabelsSeparation > 0;
        TPlotCustomShape& box = A.FItems.Format();
        const int angle = NormalAngle(A.FLabelsAngle);
        const int lineHeight = V.TextLineHeight();
        const int pad = box.Transparent() ? 0 : V.MeasureTextWidth("W") / 2;
        // a separation past any screen keeps a single label, without overflow
        const double share = std::min(0.01 * A.FLabelsSeparation, 1e4);
        struct Span {
            double from, to;
        };
        // labels planned after the layout stay in the room it gave them across the axis
        const int blank = A.LabelsAcross > 0 ? V.MeasureTextWidth(" ") : 0;
        auto tooWide = [&](const TChartAxis::LabelText& t) {
            if (A.LabelsAcross <= 0 || A.FIsDepthAxis) return false;
            const Extent e = InkExtent(box, t.width + blank, lineHeight * t.lines, angle, pad);
            return std::ceil(A.FHorizontal ? e.maxY - e.minY : e.maxX - e.minX) > A.LabelsAcross;
        };
        auto span = [&](double v, const TChartAxis::LabelText& t) {
            const int height = lineHeight * t.lines;
            const auto [at, lo, hi] = AlongTheAxis(InkExtent(box, t.width, height, angle, pad), t.width, height, angle);
            const TPoint on = WorldAt(A.ValueToPixel(v));
            const int q = A.FHorizontal ? on.x : on.y;
            return Span{q + lo - at, q + hi - at};
        };
        std::vector<double> values, before;
        // whether the labels of the current step crowd, their values in values
        auto crowds = [&] {
            values.clear();
            bool crowded = false;
            const TChartAxis::LabelText* last = nullptr;
            Span lastSpan{0, 0};
            ForEachValueLabel(
                [&](double v) {
                    const int px = A.ValueToPixel(v);
                    if (crowded || !(A.FLabelsOnAxis || (A.FStartPixel < px && px < A.FEndPixel))) return;
                    values.push_back(v);
                    if (!drawn) return;
                    const TChartAxis::LabelText& t = Measured(v);
                    // an empty text shows nothing and takes no room
                    if (t.text.empty()) return;
                    if (last && t.text == last->text) crowded = true;
                    if (tooWide(t)) crowded = p.squeezed = true;
                    if (clear) {
                        const Span here = span(v, t);
                        if (last) {
                            const double gap = share * std::max(here.to - here.from, lastSpan.to - lastSpan.from);
                            if (here.to + gap > lastSpan.from && here.from - gap < lastSpan.to) crowded = true;
                        }
                        lastSpan = here;
                    }
                    last = &t;
                },
                false);
            return crowded;
        };
        if (!crowds()) {
            // The count of labels the step came from is rounded, and measured from the
            // range's ends, whose texts may be longer than any label's: on a short axis a
            // single label may stand where two fit. The step comes down the nice ladder
            // while its labels keep clear, until two stand.
            const double least = std::max(A.FIncrement, FewPoints() ? 1.0 : 0.0);
            for (int i = 0;
                 i < 4 && drawn && values.size() < 2 && !A.IsDateTime() && !(A.FLogarithmic && A.FIncrement == 0);
                 ++i) {
                const double s = FStep, m = s / std::pow(10.0, std::floor(std::log10(s)));
                const double lower = m < 3 ? s / 2 : s * 0.4;
                if (!(lower >= least) || !(lower > 0) || std::fabs(A.FScaleRange / lower) > 200) break;
                before = values;
                FStep = lower;
                if (crowds()) {
                    FStep = s;
                    values = before;
                    break;
                }
            }
            before.clear();
        } else {
            for (int round = 0; round < 64; ++round) {
                before = values;
                if (!WidenStep() || !crowds()) break;
            }
        }
        // A step too wide for two labels in the range may leave none: one of the
        // closer step stands alone, the one nearest the middle.
        if (values.empty() && !before.empty()) values.push_back(before[before.size() / 2]);
        if (drawn && A.LabelsLimited && !A.FIsDepthAxis) {
            const auto outside = [&](double v) {
                const TChartAxis::LabelText& t = Measured(v);
                if (t.text.empty()) return false;
                const Span s = span(v, t);
                return s.from < A.LabelsFrom || s.to > A.LabelsTo;
            };
            while (!values.empty() && outside(values.front())) values.erase(values.begin());
            while (!values.empty() && outside(values.back())) values.pop_back();
        }
        int width = 0, lines = 1;
        for (double v : values) {
            const TChartAxis::LabelText& t = Measured(v);
            width = std::max(width, t.width);
            lines = std::max(lines, t.lines);
        }
        p.width = width + V.MeasureTextWidth(" ");
        p.lines = lines;
        p.values = std::move(values);
    }

    // The next step of the labels: the next nice number, the next date-time step, or
    // on a logarithmic axis the next power of the base; false when there is none.
    bool WidenStep() {
        if (A.FLogarithmic && A.FIncrement == 0) return ++FPower < 64;
        if (A.IsDateTime() && FStepIndex != dtNone) {
            if (FStepIndex >= dtOneYear) return false;
            FStep = DateTimeStepTable[++FStepIndex];
            return true;
        }
        if (A.IsDateTime())
            FStep = FStep >= DateTimeStepTable[dtOneYear]        ? FStep * 2
                    : FStep >= DateTimeStepTable[kOneSecondStep] ? NextDateTimeStep(FStep)
                                                                 : NextNiceStep(FStep);
        else
            FStep = NextNiceStep(FStep);
        return std::isfinite(FStep) && FStep > 0;
    }

    void DrawValueLabels() {
        const bool log = A.FLogarithmic && A.FIncrement == 0;
        const bool minorGrid = log && A.FMinorGrid.Visible();
        const TChartAxis::LabelPlan& p = Plan();
        const std::vector<double> values = p.values;
        // the minor grid of a logarithmic axis runs on a step past either end
        const double b = std::pow(A.FLogarithmicBase, FPower);
        if (minorGrid && std::isfinite(b) && b > 1) {
            const double lo = values.empty() ? A.FScaleMinimum : values.front();
            if (lo / b < A.FScaleMinimum || values.empty()) A.TickPositions.push_back(A.ValueToPixel(lo / b));
        }
        FPlanned = true;
        for (double v : values) LabelAt(v);
        FPlanned = false;
        if (minorGrid && std::isfinite(b) && b > 1) {
            const double hi = (values.empty() ? A.FScaleMinimum : values.back()) * b;
            if (hi > A.FScaleMaximum) A.TickPositions.push_back(A.ValueToPixel(hi));
        }
    }

    // Calls at(v) for every value of the chosen step in the range, in drawing order.
    template <class F>
    void ForEachValueLabel(F&& at, bool) {
        if (A.FLogarithmic && A.FIncrement == 0)
            LogLabels(at);
        else
            LinearLabels(at);
    }

    void StepDown(double& v) const {
        if (A.IsDateTime() && A.FExactDateTime && FStepIndex >= dtHalfMonth && FStepIndex != dtNone)
            StepDateTime(false, v, FStep, true, FStepIndex);
        else
            v -= FStep;
        // what stepping leaves of zero is zero (it would show as a tiny number)
        if (std::fabs(v) < FStep * 1e-9) v = 0;
    }

    // How far past an end of the range a label may lie and still count as on it:
    // what the stepping's rounding leaves, which at large values is many times
    // the 1e-12 of the values' own size. Half a pixel, and never half a step,
    // so that no label of the step before or after is admitted.
    double EndTolerance() const {
        const double pixel = A.FAxisLength > 0 ? std::fabs(A.FScaleRange) / A.FAxisLength : 0;
        const double t = std::min(0.5 * FStep, 0.5 * pixel);
        // a range beyond the largest double would admit every step down to minus infinity
        return std::isfinite(t) ? t : 0;
    }

    template <class F>
    void LinearLabels(F&& at) {
        const double s = FStep;
        const double lo = A.FScaleMinimum, hi = A.FScaleMaximum;
        if (!(s > 0) || std::fabs(A.FScaleRange / s) >= kMaxLabelSteps) return;
        const double tolerance = EndTolerance();
        double v;
        if (A.IsDateTime() && A.FExactDateTime && FStepIndex != dtNone && FStepIndex >= 16) {
            v = RoundDateDown(hi, FStepIndex);
        } else if (DefaultText(lo) == DefaultText(hi) || !A.FRoundFirstLabel) {
            v = hi;
        } else {
            // a maximum on a multiple of the step may come out of the division just below it
            const double k = std::trunc(hi / s);
            v = (k + 1) * s <= hi + tolerance ? (k + 1) * s : k * s;
        }
        for (int n = 0; v > hi + tolerance && n < kMaxLabelSteps; ++n) StepDown(v);
        if (A.FRangeIsZero || std::fabs(hi - lo) < MinAxisRange || DefaultText(v) == DefaultText(v - s)) {
            at(v);
            return;
        }
        const double limit = lo - tolerance;
        for (int n = 0; v >= limit && n < kMaxLabelSteps; ++n) {
            at(v);
            StepDown(v);
        }
    }

    // A logarithmic scale starting at zero or below has its labels start above it;
    // drawing moves the scale's end there.
    double LogMinimum(bool drawing) {
        double lo = A.FScaleMinimum;
        if (lo <= 0) {
            lo = lo == 0 ? 0.1 : 1e-10;
            if (drawing && A.FLogarithmicBase > 1 && A.FScaleMinimum != A.FScaleMaximum) {
                A.FScaleMinimum = lo;
                A.CalcAxisScales();
            }
        }
        return lo;
    }

    template <class F>
    void LogLabels(F&& at) {
        const double b = std::pow(A.FLogarithmicBase, FPower);
        // a base of 1 or less never climbs through the range
        if (!(b > 1) || !std::isfinite(b) || !(A.FLogarithmicBase > 1)) return;
        if (A.FScaleMinimum == A.FScaleMaximum) return;
        const double lo = LogMinimum(false);
        // The labels climb from the minimum by whole powers of the base. The product's
        // rounding may pass a maximum it should meet (0.07 times 10^5 against 7000).
        const double hi = A.FScaleMaximum * (1 + 1e-9);
        double v = lo;
        for (int n = 0; v <= hi && n < kMaxLabelSteps && std::isfinite(v); ++n) {
            at(v);
            v *= b;
        }
    }

    void DrawEventLabels() {
        double v = A.FScaleMinimum;
        // set once: a handler that clears it keeps the loop going until it sets it again
        bool stop = true;
        for (int i = 0; i <= kMaxEventLabels; ++i) {
            C.OnGetNextAxisLabel(&A, i, v, stop);
            if (stop) {
                if (i == 0) DrawLinearOrLog();
                return;
            }
            if (v >= A.FScaleMinimum - 1e-7 && v <= A.FScaleMaximum + 1e-7)
                LabelAt(v);
            else
                return;
        }
    }

    void DrawLinearOrLog() { DrawValueLabels(); }

    void LabelAt(double v) {
        const int p = A.ValueToPixel(v);
        if (!(A.FLabelsOnAxis || (A.FStartPixel < p && p < A.FEndPixel))) return;
        if (!A.FTickOnLabelsOnly) A.TickPositions.push_back(p);
        if (A.Labels()) DrawOneLabel(p, FPlanned ? PlannedText(v) : A.FormatAxisLabel(v));
    }

    // A planned label's text as the plan measured it, which is the one to draw where no
    // label event changes it; formatted where the plan kept none, and for 0 (the kept
    // texts do not tell it from -0) and what is not a number.
    std::string PlannedText(double v) {
        if (!C.OnGetAxisLabel && v != 0 && std::isfinite(v))
            if (const auto it = A.FLabelTexts.find(v); it != A.FLabelTexts.end()) return it->second.text;
        return A.FormatAxisLabel(v);
    }

    // A custom item brings its own font and frame; other labels use the labels' Format shape.
    void DrawOneLabel(int p, const std::string& text, TAxisItem* item = nullptr) {
        // a label left out for its neighbour has no tick of its own either
        if (!A.FIsDepthAxis && !A.LabelsLeftOut && !FPlanned && !LabelKeepsClear(p, text, item)) return;
        if (A.FTickOnLabelsOnly) A.TickPositions.push_back(p);
        if (A.LabelsLeftOut) return;
        V.SelectFont(item ? item->Font() : A.LabelsFont());
        if (A.FIsDepthAxis) {
            const TRect& plot = C.PlotRect();
            const int y = DepthLabelsY(plot.Bottom);
            int lines = 0;
            const int w = C.MultiLineTextWidth(text, lines);
            const int x = DepthLabelX(plot, p, w, V.TextLineHeight() * std::max(1, lines));
            if (!DepthLabelKeepsClear(x, y, p, text)) return;
            if (FMeasured) {
                const TRect& b = FLastDepthLabelDrawn;
                FMeasured->push_back(TRect{b.Left - 1, b.Top - 1, b.Right + 1, b.Bottom + 1});
                return;
            }
            TransparentText();
            V.SetTextAlignment(TA_LEFT);
            V.WriteText3D(x, y, text, p);
        } else if (A.FHorizontal) {
            Label(p, A.LabelsPos, item, text, A.FLabelsAngle);
        } else {
            Label(A.LabelsPos, p, item, text, A.FLabelsAngle);
        }
    }

    // A label without a step (a mark, a point's text, a custom item, one the label
    // event chose) that would overlap the last one drawn along the axis is left out.
    // What a label takes along the axis is what it draws there: its
    // turned box, the frame around it and the frame's shadow. A later label is grown
    // on either side by LabelsSeparation percent of that length (the first stands as
    // drawn); with a separation of 0 every label is drawn.
    bool LabelKeepsClear(int p, const std::string& text, TAxisItem* item) {
        // an empty text shows nothing and takes no room
        if (A.FLabelsSeparation == 0 || text.empty()) return true;
        V.SelectFont(item ? item->Font() : A.LabelsFont());
        TPlotCustomShape& shape = item ? static_cast<TPlotCustomShape&>(*item) : A.FItems.Format();
        const int angle = NormalAngle(A.FLabelsAngle);
        int lines = 0;
        const int w = C.MultiLineTextWidth(text, lines);
        const int height = V.TextLineHeight() * std::max(1, lines);
        const auto [at, lo, hi] = AlongTheAxis(InkExtent(shape, w, height, angle), w, height, angle);
        // the labels stand where the projection puts them, nearer each other in perspective
        const TPoint on = WorldAt(p);
        const int q = A.FHorizontal ? on.x : on.y;
        const double from = q + lo - at, to = q + hi - at;
        if (!FLabelDrawn) {
            FLabelDrawn = true;
            FLastLabelFrom = from;
            FLastLabelTo = to;
            return true;
        }
        // a separation past any screen keeps every label but the first out, without overflow
        const double grow = std::trunc((to - from) * std::min(0.02 * std::max(A.FLabelsSeparation, 0), 1e4)) / 2;
        if (to + grow > FLastLabelFrom && from - grow < FLastLabelTo) return false;
        FLastLabelFrom = from - grow;
        FLastLabelTo = to + grow;
        return true;
    }

    // Depth labels stand one behind the other, shifted by the projection: one that would
    // overlap the last one drawn (grown by LabelsSeparation, as the other labels are) is
    // left out.
    bool DepthLabelKeepsClear(int x, int y, int z, const std::string& text) {
        int lines = 0;
        const int w = C.MultiLineTextWidth(text, lines);
        const int h = V.TextLineHeight() * std::max(1, lines);
        const TPoint at = V.WorldToScreen(x, y, z);
        FLastDepthLabelDrawn = TRect{at.x, at.y, at.x + w, at.y + h};
        // an empty text shows nothing and takes no room
        if (A.FLabelsSeparation == 0 || text.empty()) return true;
        // a separation past any screen keeps every label but the first out, without overflow
        const double grow = std::min(0.01 * A.FLabelsSeparation, 1e4);
        const int gx = static_cast<int>(std::trunc(w * grow));
        const int gy = static_cast<int>(std::trunc(h * grow));
        const TRect box{at.x - gx, at.y - gy, at.x + w + gx, at.y + h + gy};
        const TRect& last = FLastDepthLabel;
        if (FDepthLabelDrawn && box.Left < last.Right && last.Left < box.Right && box.Top < last.Bottom &&
            last.Top < box.Bottom)
            return false;
        FLastDepthLabel = box;
        FDepthLabelDrawn = true;
        return true;
    }

    void DrawSeriesLabels(bool marks) {
        std::vector<TChartSeries*> series;
        for (TChartSeries* s : C.SeriesList())
            if (s->Active() && s->UsesAxis(&A)) series.push_back(s);
        int lo = -1, hi = -1;
        for (TChartSeries* s : series) {
            s->CalcVisibleRange();
            if (s->FirstVisible() == -1) continue;
            lo = lo == -1 ? s->FirstVisible() : std::min(lo, s->FirstVisible());
            hi = std::max(hi, s->LastVisible());
        }
        if (lo == -1) return;
        for (int i = lo; i <= hi; ++i) {
            TChartSeries* from = nullptr;
            std::string text;
            for (TChartSeries* s : series) {
                if (s->FirstVisible() == -1 || i < s->FirstVisible() || i > s->LastVisible()) continue;
                text = marks ? MarkText(*s, i) : s->PointLabels().Label(i);
                if (!text.empty()) {
                    from = s;
                    break;
                }
            }
            if (!from) continue;
            if (C.OnGetAxisLabel) C.OnGetAxisLabel(&A, from, i, text);
            const double value = A.FHorizontal ? from->XValueAt(i) : from->YValueAt(i);
            if (!(value >= A.FScaleMinimum && value <= A.FScaleMaximum)) continue;
            const int p = A.ValueToPixel(value);
            if (!A.FTickOnLabelsOnly) A.TickPositions.push_back(p);
            if (!A.Labels()) continue;
            DrawOneLabel(p, text);
        }
    }

    // The text of a point's mark, as its marks show it.
    static std::string MarkText(const TChartSeries& s, int i) { return s.Marks().GetMarkText(i); }

    void DrawSeriesTitleLabels() {
        if (C.ActiveSeriesCount() == 0) return;
        const long first = static_cast<long>(std::trunc(std::max(A.FScaleMinimum, -1e9)));
        const long last = static_cast<long>(std::trunc(std::min(A.FScaleMaximum, 1e9)));
        for (long v = first; v <= last && v - first < kMaxLabelSteps; ++v) {
            const int p = A.ValueToPixel(A.FScaleMaximum - static_cast<double>(v) - 0.5);
            if (!A.FTickOnLabelsOnly) A.TickPositions.push_back(p);
            if (!A.Labels()) continue;
            std::string text = C.SeriesTitleForLegend(static_cast<int>(v), true);
            if (C.OnGetAxisLabel) C.OnGetAxisLabel(&A, nullptr, static_cast<int>(v), text);
            DrawOneLabel(p, text);
        }
    }

    void DrawCustomItems() {
        for (int i = 0; i < A.FItems.Count(); ++i) {
            TAxisItem* item = A.FItems[i];
            if (item->Value() < A.FMinimum || item->Value() > A.FMaximum) continue;
            const int p = A.ValueToPixel(item->Value());
            if (!A.FTickOnLabelsOnly) A.TickPositions.push_back(p);
            if (item->Visible()) DrawOneLabel(p, ItemText(*item), item);
        }
    }

    std::string ItemText(const TAxisItem& item) const {
        return item.Text().empty() ? A.FormatAxisLabel(item.Value()) : item.Text();
    }

    // Text is written over whatever lies beneath it: an element drawn before (a
    // legend symbol, a framed box) may have left a solid brush and an opaque text
    // background in the canvas, which would paint a box behind every letter.
    void TransparentText() {
        if (TCanvas* device = V.GetDeviceHandle()) device->Brush().SetStyle(bsClear);
        V.SetBackgroundMode(TRANSPARENT);
    }

    // The box of a text of w x height pixels written left-aligned at the origin and
    // turned by angle about it (y grows downward): its extent on either screen axis.
    struct Extent {
        double minX, maxX, minY, maxY;
    };
    static Extent TurnedExtent(int w, int height, int angle) { return TurnedRect(0, 0, w, height, angle); }

    // A point of the text's own plane turned by angle about its origin.
    static std::pair<double, double> Turned(double px, double py, int angle) {
        const double a = angle * std::numbers::pi / 180.0;
        const double c = std::cos(a), s = std::sin(a);
        return {px * c + py * s, -px * s + py * c};
    }

    static Extent TurnedRect(double left, double top, double right, double bottom, int angle) {
        Extent e{1e300, -1e300, 1e300, -1e300};
        for (const auto& [px, py] : {std::pair{left, top}, {right, top}, {left, bottom}, {right, bottom}}) {
            const auto [x, y] = Turned(px, py, angle);
            e.minX = std::min(e.minX, x);
            e.maxX = std::max(e.maxX, x);
            e.minY = std::min(e.minY, y);
            e.maxY = std::max(e.maxY, y);
        }
        return e;
    }

    // What a text of w x height written at the origin and turned by angle covers:
    // the text, and when the shape is framed its box (half a "W" wider on either
    // side), the box's pen and its shadow, as LabelBox draws them. The current
    // font is the text's.
    Extent InkExtent(TPlotCustomShape& shape, int w, int height, int angle) {
        return InkExtent(shape, w, height, angle, shape.Transparent() ? 0 : V.MeasureTextWidth("W") / 2);
    }
    // The same with the half "W" measured already.
    Extent InkExtent(TPlotCustomShape& shape, int w, int height, int angle, int pad) {
        return InkExtentAt(shape, 0, 0, w, height, angle, pad);
    }

    // The same for a text whose box begins at (left, top) of its own plane.
    Extent InkExtentAt(TPlotCustomShape& shape, int left, int top, int w, int height, int angle, int pad) {
        if (shape.Transparent()) return TurnedRect(left, top, left + w, top + height, angle);
        // a pen of one pixel lies on the box's edge; a wider one half outside it
        const int pen = shape.Pen().Visible() ? shape.Pen().Width() / 2 : 0;
        Extent e = TurnedRect(left - pad - pen, top - pen, left + w + pad + pen, top + height + pen, angle);
        // a turned box is a polygon, whose outline also paints the pixels of its far edges,
        // and whose smoothing reaches a pixel past its near ones
        if (angle % 360 != 0 && shape.Pen().Visible()) {
            e.maxX += 1;
            e.maxY += 1;
            if (angle % 90 != 0) {
                e.minX -= 1;
                e.minY -= 1;
            }
        }
        int hs = shape.Shadow().HorizSize(), vs = shape.Shadow().VertSize();
        if ((hs != 0 || vs != 0) && shape.Brush().Style() != bsClear) {
            if (std::max(hs, vs) > 0 && shape.Pen().Visible()) {
                hs += shape.Pen().Width();
                vs += shape.Pen().Width();
            }
            // the shadow is the box moved on the screen, not along the text
            e.minX = std::min(e.minX, e.minX + hs);
            e.maxX = std::max(e.maxX, e.maxX + hs);
            e.minY = std::min(e.minY, e.minY + vs);
            e.maxY = std::max(e.maxY, e.maxY + vs);
        }
        return e;
    }

    // The corner of a slanted text's box nearest the plot: a slanted label points
    // at its value with it.
    std::pair<double, double> InnerCorner(int w, int height, int angle) const {
        std::pair<double, double> best{0, 0};
        double most = -1e300;
        for (const auto& [px, py] : {std::pair{0, 0}, {w, 0}, {0, height}, {w, height}}) {
            const auto c = Turned(px, py, angle);
            const double inward = -Outward() * (A.FHorizontal ? c.second : c.first);
            if (inward > most + 1e-9) {
                most = inward;
                best = c;
            }
        }
        return best;
    }

    // How far the ink of e reaches from the origin toward the plot (a negative
    // value lies outward) and outward from it, across the axis.
    double InkInward(const Extent& e) const {
        if (A.FHorizontal) return Outward() > 0 ? -e.minY : e.maxY;
        return Outward() > 0 ? -e.minX : e.maxX;
    }

    // Where the unturned letters of text stand about the point it is written at,
    // by its alignment: left and top offsets, the widest line's width, one line's height.
    struct TTextBox {
        int left, top, w, h;
    };
    TTextBox TextBoxAt(const std::string& text, int align) {
        const int h = V.TextLineHeight();
        int lines = 0;
        const int w = C.MultiLineTextWidth(text, lines);
        int left = 0;
        if ((align & TA_CENTER) == TA_CENTER)
            left = -w / 2;
        else if ((align & TA_CENTER) == TA_RIGHT)
            left = -w;
        return {left, (align & TA_BOTTOM) ? -h : 0, w, h};
    }

    // Frames a text before it is written. (x, y) is where its first line goes; the
    // box spans the n lines (each one line height further along the text's own
    // downward direction), widened by half a "W" on either side, and turns with
    // rotated text about (x, y) so that it stays around the text.
    void LabelBox(TPlotCustomShape* shape, int x, int y, const std::string& text, int angle, int align, int n) {
        TPlotCustomShape& s = shape ? *shape : A.FItems.Format();
        if (s.Transparent()) return;
        const auto [left, top, w, h] = TextBoxAt(text, align);
        const int pad = V.MeasureTextWidth("W") / 2;
        const double a = angle * std::numbers::pi / 180.0;
        const double cx = left + w / 2.0, cy = top + h * n / 2.0;
        // the box centre turned about (x, y) as the text turns (y grows downward)
        int mx = x + Round(cx * std::cos(a) + cy * std::sin(a));
        int my = y + Round(-cx * std::sin(a) + cy * std::cos(a));
        if (!V.IsHardware3D()) {
            const TPoint at = V.WorldToScreen(x, y, A.FZPixel);
            mx += at.x - x;
            my += at.y - y;
        }
        const int bw = w + 2 * pad, bh = h * n;
        const TRect box{mx - bw / 2, my - bh / 2, mx - bw / 2 + bw, my - bh / 2 + bh};
        s.DrawShape(V, box, angle, A.FZPixel);
    }

    // Writes a possibly multi-line text at (x, y) rotated by angle, over the
    // box of shape (the labels' Format shape when null) unless it is transparent.
    void Label(int x, int y, TPlotCustomShape* shape, const std::string& text, int angle) {
        angle = NormalAngle(angle);
        const int h = V.TextLineHeight();
        const int n = 1 + static_cast<int>(std::count(text.begin(), text.end(), LineSeparator));
        if (angle % 90 != 0) {
            SlantedLabel(x, y, shape, text, angle, n);
            return;
        }
        const bool other = A.FOtherSide;
        int align = TA_LEFT;
        if (A.FHorizontal) {
            switch (angle) {
            case 0:
                align = other ? TA_CENTER | TA_BOTTOM : TA_CENTER;
                break;
            case 90:
                align = other ? TA_LEFT : TA_RIGHT;
                x -= h / 2;
                break;
            case 180:
                align = other ? TA_CENTER : TA_CENTER | TA_BOTTOM;
                break;
            case 270:
                align = other ? TA_RIGHT : TA_LEFT;
                x += h / 2;
                break;
            default:
                break;
            }
        } else {
            switch (angle) {
            case 0:
                if (A.FLabelsAlign == alDefault) {
                    align = other ? TA_LEFT : TA_RIGHT;
                } else {
                    if (FLabelsRoom < 0) FLabelsRoom = AxisLabelSizeOfLabels();
                    const int room = FLabelsRoom;
                    align = other ? TA_RIGHT : TA_LEFT;
                    x += other ? room : -room;
                }
                y -= h / 2;
                break;
            case 90:
                align = other ? TA_CENTER : TA_CENTER | TA_BOTTOM;
                break;
            case 180:
                align = other ? TA_RIGHT : TA_LEFT;
                y += h / 2;
                break;
            case 270:
                align = other ? TA_CENTER | TA_BOTTOM : TA_CENTER;
                break;
            default:
                break;
            }
        }
        // Upright and quarter-turned texts step one line before each line, so their
        // start is set back here; at other angles the first line stays at (x, y).
        const int d = (angle == 180 || angle == 270) ? -h : h;
        if (A.FHorizontal) {
            if (angle == 0)
                y -= other ? d * n : d;
            else if (angle == 90 || angle == 270)
                x -= Round(d * 0.5 * (n + 1));
            else if (angle == 180)
                y -= other ? d : Round(static_cast<double>(d) * n);
        } else {
            if (angle == 0 || angle == 180)
                y -= Round(d * 0.5 * (n + 1));
            else if (angle == 90)
                x -= other ? d : Round(static_cast<double>(d) * n);
            else if (angle == 270)
                x -= other ? Round(static_cast<double>(d) * n) : d;
        }
        const TPoint step = LineStep(angle, h);
        x += step.x;
        y += step.y;
        // A framed text's box, pen and shadow stand out past its letters: the text
        // moves outward by what would reach toward the plot, as its room counts it.
        TPlotCustomShape& s = shape ? *shape : A.FItems.Format();
        if (!s.Transparent()) {
            int lines = 0;
            const int w = C.MultiLineTextWidth(text, lines);
            const int shift = static_cast<int>(
                std::ceil(InkInward(InkExtent(s, w, h * n, angle)) - InkInward(TurnedExtent(w, h * n, angle))));
            if (shift > 0) (A.FHorizontal ? y : x) += Outward() * shift;
        }
        Lines(x, y, shape, text, angle, align, n);
    }

    // A slanted text points at its value with the corner of its box nearest the
    // plot, all of it (box and shadow too) outside (x, y)'s edge of the room.
    void SlantedLabel(int x, int y, TPlotCustomShape* shape, const std::string& text, int angle, int n) {
        int lines = 0;
        const int w = C.MultiLineTextWidth(text, lines);
        const int height = V.TextLineHeight() * n;
        const Extent ink = InkExtent(shape ? *shape : A.FItems.Format(), w, height, angle);
        const auto [cx, cy] = InnerCorner(w, height, angle);
        const int clear = static_cast<int>(std::ceil(InkInward(ink)));
        if (A.FHorizontal) {
            x -= Round(cx);
            y += Outward() * clear;
        } else {
            y -= Round(cy);
            x += Outward() * clear;
        }
        Lines(x, y, shape, text, angle, TA_LEFT, n);
    }

    // Angles as the switch above knows them: -90 is 270.
    static int NormalAngle(int angle) { return angle < 0 ? angle % 360 + 360 : angle % 360; }

    // One line height h along the text's own downward direction.
    static TPoint LineStep(int angle, int h) {
        const double a = angle * std::numbers::pi / 180.0;
        return TPoint{Round(h * std::sin(a)), Round(h * std::cos(a))};
    }

    // Writes the n lines of text from (x, y), the first line's place, each next
    // line one line height further along the text's downward direction.
    void Lines(int x, int y, TPlotCustomShape* shape, const std::string& text, int angle, int align, int n) {
        if (FMeasured) {
            Measure(x, y, shape ? *shape : A.FItems.Format(), text, angle, align, n);
            return;
        }
        V.SetTextAlignment(align);
        LabelBox(shape, x, y, text, angle, align, n);
        TransparentText();
        // measured only for a second line: most labels have one
        const TPoint step =
            text.find(LineSeparator) == std::string::npos ? TPoint{} : LineStep(angle, V.TextLineHeight());
        std::size_t start = 0;
        while (true) {
            const std::size_t end = text.find(LineSeparator, start);
            const std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
            if (angle == 0) {
                if (A.FLabelsExponent && FExponent)
                    Exponent(x, y, line);
                else
                    V.WriteText3D(x, y, line, A.FZPixel);
            } else {
                V.WriteRotatedText3D(x, y, angle, line, A.FZPixel);
            }
            if (end == std::string::npos) break;
            start = end + 1;
            x += step.x;
            y += step.y;
        }
        V.SetTextAlignment(TA_LEFT);
    }

    // The screen box of what Lines would draw: letters, frame and shadow, placed
    // as LabelBox places the frame.
    void Measure(int x, int y, TPlotCustomShape& shape, const std::string& text, int angle, int align, int n) {
        const auto [left, top, w, h] = TextBoxAt(text, align);
        const Extent e =
            InkExtentAt(shape, left, top, w, h * n, angle, shape.Transparent() ? 0 : V.MeasureTextWidth("W") / 2);
        const TPoint at = V.IsHardware3D() ? TPoint{x, y} : V.WorldToScreen(x, y, A.FZPixel);
        FMeasured->push_back(
            TRect{at.x + static_cast<int>(std::floor(e.minX)), at.y + static_cast<int>(std::floor(e.minY)),
                  at.x + static_cast<int>(std::ceil(e.maxX)), at.y + static_cast<int>(std::ceil(e.maxY))});
        if (!FOutlines) return;
        // the box's corners turned, a pixel out for the smoothing, and moved by the shadow
        const int pad = shape.Transparent() ? 0 : V.MeasureTextWidth("W") / 2 + 1;
        const int hs = shape.Transparent() ? 0 : shape.Shadow().HorizSize(),
                  vs = shape.Transparent() ? 0 : shape.Shadow().VertSize();
        std::vector<std::pair<double, double>> corners;
        for (const auto& [px, py] : {std::pair{left - pad - 1, top - 1},
                                     {left + w + pad + 1, top - 1},
                                     {left - pad - 1, top + h * n + 1},
                                     {left + w + pad + 1, top + h * n + 1}}) {
            const auto [tx, ty] = Turned(px, py, angle);
            corners.emplace_back(at.x + tx, at.y + ty);
            if (hs != 0 || vs != 0) corners.emplace_back(at.x + tx + hs, at.y + ty + vs);
        }
        FOutlines->push_back(std::move(corners));
    }

    // The screen boxes of the title and the labels as the axis draws them now, one
    // per text. Measuring runs no label event and leaves the ticks as they were;
    // labels a handler chooses are not measured (it would run twice).
    std::vector<TRect> TextBoxes(std::size_t& titles,
                                 std::vector<std::vector<std::pair<double, double>>>* outlines = nullptr) {
        std::vector<TRect> boxes;
        FOutlines = outlines;
        TAxisOnGetLabel saved = std::move(C.OnGetAxisLabel);
        C.OnGetAxisLabel = nullptr;
        std::vector<int> ticks = std::move(A.TickPositions);
        const ScopeExit restore([&] {
            C.OnGetAxisLabel = std::move(saved);
            A.TickPositions = std::move(ticks);
            FMeasured = nullptr;
            FOutlines = nullptr;
        });
        FMeasured = &boxes;
        // each measure starts afresh, as each draw does
        FDepthLabelDrawn = FLabelDrawn = false;
        A.TickPositions.clear();
        DrawTitle();
        titles = boxes.size();
        if (!C.OnGetNextAxisLabel) DrawLabels();
        return boxes;
    }

    // A box around every text of the axis in a flat view, from the measures of the
    // final layout: the labels' turned boxes past the ends and across their room,
    // the title across its own. False where no such measure is at hand.
    bool FlatTextsBound(TRect& r) {
        if (A.FIsDepthAxis || A.FLabelsSize != 0 || A.FTitleSize != 0 || A.FItems.Count() > 0) return false;
        const bool titled = A.FTitle.Visible() && !A.FTitle.Caption().empty() && !A.TitleLeftOut;
        const bool labelled = A.Labels() && !A.LabelsLeftOut;
        int lo = std::min(A.FStartPixel, A.FEndPixel), hi = std::max(A.FStartPixel, A.FEndPixel);
        int from = A.LabelsPos, to = A.LabelsPos;
        if (labelled) {
            lo -= A.FFinalFit.before;
            hi += A.FFinalFit.after;
            to = A.LabelsPos + Outward() * std::max(A.FFinalFit.across, A.FKeptFit.across);
        }
        if (titled) {
            const int length = TitleLength() + 1, start = A.FCenterPixel + A.TitleShift - length / 2;
            lo = std::min(lo, start);
            hi = std::max(hi, start + length);
            to =
                A.TitlePos + Outward() * AxisLabelSize(A.FTitle.Font(), A.FTitle.Angle(), 0, A.FTitle.Caption(), false);
        }
        const int a = std::min(from, to), b = std::max(from, to);
        r = A.FHorizontal ? TRect{lo, a, hi, b} : TRect{a, lo, b, hi};
        return true;
    }

    // In a turned view the projection draws the room between the labels and the title
    // shorter than the texts' own size on the screen, which stays as it is: the title
    // moves outward until its box is clear of every label's.
    void ClearTitleOfLabels() {
        if (A.FIsDepthAxis || A.TitleLeftOut || A.LabelsLeftOut || !A.Labels()) return;
        std::size_t titles = 0;
        const std::vector<TRect> boxes = TextBoxes(titles);
        if (titles == 0 || titles == boxes.size()) return;
        // where the title stands on the screen moved t pixels outward: in perspective a
        // move outward brings it ever less far
        const int c = A.FCenterPixel, unit = 100;
        auto moved = [&](int t) {
            const int p = A.TitlePos + Outward() * t;
            return A.FHorizontal ? V.WorldToScreen(c, p, A.FZPixel) : V.WorldToScreen(p, c, A.FZPixel);
        };
        const TPoint p0 = moved(0), p1 = moved(unit);
        const double dx = static_cast<double>(p1.x - p0.x) / unit, dy = static_cast<double>(p1.y - p0.y) / unit;
        auto meets = [&](int t) {
            const TPoint q = moved(t);
            const int mx = q.x - p0.x, my = q.y - p0.y;
            // past where the projection turns back, no place further out is a clear one
            if (mx * dx + my * dy < 0) return true;
            for (std::size_t i = 0; i < titles; ++i)
                for (std::size_t j = titles; j < boxes.size(); ++j) {
                    const TRect& a = boxes[i];
                    const TRect& b = boxes[j];
                    // a pixel apart, for the letters' rims
                    if (a.Left + mx < b.Right + 1 && b.Left - 1 < a.Right + mx && a.Top + my < b.Bottom + 1 &&
                        b.Top - 1 < a.Bottom + my)
                        return true;
                }
            return false;
        };
        // seen nearly edge on, no move would clear the labels: a title still on them
        // has no room and is left out
        if (std::hypot(dx, dy) < 0.05) {
            if (meets(0)) A.TitleLeftOut = true;
            return;
        }
        int t = 0;
        const int most = C.PanelRect().Width() + C.PanelRect().Height();
        while (t < most && meets(t)) t += 1;
        if (t < most)
            A.TitlePos += Outward() * t;
        else
            A.TitleLeftOut = true;
    }

    void Exponent(int x, int y, const std::string& text) {
        TransparentText();
        const std::size_t e = text.find_first_of("Ee");
        if (e == std::string::npos) {
            V.WriteText3D(x, y, text, A.FZPixel);
            return;
        }
        const std::string mantissa = text.substr(0, e);
        const std::string exponent = text.substr(e + 1);
        const int h = V.TextLineHeight();
        TCanvas* device = V.GetDeviceHandle();
        const int savedSize = device ? device->Font().Size() : 0;
        const int mantissaWidth = V.MeasureTextWidth(mantissa);
        if (device) device->Font().SetSize(savedSize - savedSize / 4);
        const int exponentWidth = V.MeasureTextWidth(exponent);
        const int raise = (h - 1) / 2 - 2;
        const bool right = (V.GetTextAlignment() & TA_CENTER) == TA_RIGHT;
        if (right) {
            V.WriteText3D(x, y - raise, exponent, A.FZPixel);
            if (device) device->Font().SetSize(savedSize);
            V.WriteText3D(x - exponentWidth - 1, y, mantissa, A.FZPixel);
        } else {
            V.WriteText3D(x + mantissaWidth + 1, y - raise, exponent, A.FZPixel);
            if (device) device->Font().SetSize(savedSize);
            V.WriteText3D(x, y, mantissa, A.FZPixel);
        }
    }

    // ---- lines ---------------------------------------------------------
    void Tick(int p, int e, int length, int w) {
        const int z = A.FZPixel;
        if (A.FIsDepthAxis) {
            V.DrawLineAtDepth(A.AxisLinePos + e, C.PlotRect().Bottom, A.AxisLinePos + e + length, C.PlotRect().Bottom,
                              p);
        } else if (A.FHorizontal) {
            if (A.FOtherSide) {
                const int y0 = A.AxisLinePos - e;
                V.DrawVerticalLine3D(p, y0, y0 - length, z);
            } else {
                const int y0 = A.AxisLinePos + e + w;
                V.DrawVerticalLine3D(p, y0, y0 + length, z);
            }
        } else {
            if (A.FOtherSide) {
                const int x0 = A.AxisLinePos + e + w;
                V.DrawHorizontalLine3D(x0, x0 + length, p, z);
            } else {
                const int x0 = A.AxisLinePos - e - w;
                V.DrawHorizontalLine3D(x0, x0 - length, p, z);
            }
        }
    }

    void Ticks(TChartPen& pen, int e, int length, int w) {
        if (!pen.Visible()) return;
        V.SelectPen(pen);
        for (int p : A.TickPositions) Tick(p, e, length, w);
    }

    void GridLine(int p) {
        const TRect& r = C.PlotRect();
        const bool threeD = C.View3D();
        if (A.FIsDepthAxis) {
            V.DrawVerticalLine3D(r.Left, r.Top, r.Bottom, p);
            V.DrawHorizontalLine3D(r.Left, r.Right, r.Bottom, p);
            return;
        }
        if (!threeD) {
            if (A.FHorizontal)
                V.DrawVerticalLine(p, r.Top + 1, r.Bottom);
            else
                V.DrawHorizontalLine(r.Left + 1, r.Right, p);
            return;
        }
        const int depth = C.ChartDepth3D();
        if (!C.AxisBehind()) {
            if (A.FHorizontal)
                V.DrawVerticalLine3D(p, r.Top + 1, r.Bottom, 0);
            else
                V.DrawHorizontalLine3D(r.Left + 1, r.Right, p, 0);
            return;
        }
        if (!A.OverWalls) {
            if (A.FHorizontal)
                V.DrawVerticalLine3D(p, r.Top + 1, r.Bottom, depth);
            else
                V.DrawHorizontalLine3D(r.Left + 1, r.Right, p, depth);
        }
        const int c = Round(depth * A.FGrid.ZPosition() * 0.01);
        if (c != depth) {
            if (A.FHorizontal)
                V.DrawDepthLine(p, A.AxisLinePos, c, depth);
            else
                V.DrawDepthLine(A.AxisLinePos, p, c, depth);
        }
    }

    bool Inside(int p) const { return A.FStartPixel < p && p < A.FEndPixel; }

    void DrawGrid() {
        if (A.GridHook) A.GridHook(&A);
        if (!A.FGrid.Visible()) return;
        V.SelectPen(A.FGrid, A.FGrid.Color() == SeriesDefaultColor ? clGray : A.FGrid.Color());
        const std::vector<int>& t = A.TickPositions;
        if (A.FGrid.Centered()) {
            for (std::size_t i = 1; i < t.size(); ++i) {
                const int p = (t[i - 1] + t[i]) / 2;
                if (Inside(p)) GridLine(p);
            }
        } else {
            for (int p : t)
                if (Inside(p)) GridLine(p);
        }
    }

    // Positions between the ticks (and one step beyond each end on linear axes).
    std::vector<int> MinorPositions() {
        std::vector<int> out;
        const std::vector<int>& t = A.TickPositions;
        if (t.empty() || A.FMinorTickCount <= 0) return out;
        // no more minor ticks between two major ones than pixels: closer ones would not show
        auto countBetween = [this](int a, int b) { return std::min(A.FMinorTickCount, std::abs(b - a)); };
        if (!A.FLogarithmic && t.size() >= 2) {
            const int count = countBetween(t[0], t[1]);
            const double c = (t[1] - t[0]) / (count + 1.0);
            for (int j = 1; j <= count; ++j) {
                out.push_back(t.front() - Round(c * j));
                out.push_back(t.back() + Round(c * j));
            }
        }
        for (std::size_t i = 1; i < t.size(); ++i) {
            const int count = countBetween(t[i - 1], t[i]);
            const double f = 1.0 / (count + 1.0);
            if (A.FLogarithmic) {
                double v = A.PixelToValue(t[i - 1]);
                const double step = f * (v * A.FLogarithmicBase - v);
                for (int j = 1; j <= count; ++j) {
                    v += step;
                    if (v > A.FScaleMaximum) break;
                    out.push_back(A.ValueToPixel(v));
                }
            } else {
                for (int j = 1; j <= count; ++j) out.push_back(t[i] - Round(j * f * (t[i] - t[i - 1])));
            }
        }
        return out;
    }

    void DrawLines() {
        TCanvas* device = V.GetDeviceHandle();
        if (device) device->Brush().SetStyle(bsClear);
        V.SetBackgroundMode(TRANSPARENT);
        const int w = C.WallSizeForAxis(&A);
        const TRect& r = C.PlotRect();
        if (A.FAxisPen.Visible()) {
            V.SelectPen(A.FAxisPen);
            const int z = A.FZPixel;
            const int bottomWall = C.WallSizeForAxis(C.BottomAxis());
            if (A.FIsDepthAxis) {
                V.DrawDepthLine(A.AxisLinePos, r.Bottom + bottomWall - z, A.FStartPixel, A.FEndPixel);
            } else if (!A.FHorizontal) {
                const int x = A.FOtherSide ? A.AxisLinePos + w : A.AxisLinePos - w;
                V.DrawVerticalLine3D(x, A.FStartPixel, A.FEndPixel + bottomWall, z);
            } else if (A.FOtherSide) {
                V.DrawHorizontalLine3D(A.FStartPixel, A.FEndPixel, A.AxisLinePos, z);
            } else {
                V.DrawHorizontalLine3D(A.FStartPixel - C.WallSizeForAxis(C.LeftAxis()),
                                       A.FEndPixel + C.WallSizeForAxis(C.RightAxis()), A.AxisLinePos + w, z);
            }
        }
        Ticks(A.FTicks, 1, A.FTickLength, w);
        DrawGrid();
        Ticks(A.FTicksInner, -1, -A.FTickInnerLength, w);
        const bool ticks = A.FMinorTicks.Visible();
        const bool grid = A.FMinorGrid.Visible();
        if (!ticks && !grid) return;
        const std::vector<int> minor = MinorPositions();
        if (ticks) {
            V.SelectPen(A.FMinorTicks);
            for (int p : minor)
                if (Inside(p)) Tick(p, 1, A.FMinorTickLength, w);
        }
        if (grid) {
            V.SelectPen(A.FMinorGrid);
            for (int p : minor)
                if (Inside(p)) GridLine(p);
        }
    }

    // ---- room ----------------------------------------------------------
    int TicksSize() const {
        int s = (A.FAxisPen.Visible() ? A.FAxisPen.Width() + 1 : 0) + (A.FTicks.Visible() ? A.FTickLength : 0);
        if (A.FMinorTicks.Visible()) s = std::max(s, A.FMinorTickLength);
        return s;
    }

    int AxisLabelSizeOfLabels() {
        if (A.FLabelsSize != 0) return A.FLabelsSize;
        return FitLabels().across;
    }

    // The labels' room, its measure kept for LabelsPastEnds.
    int KeptLabelsRoom() {
        A.FKeptFit = FitLabels();
        A.FKeptFit.across = std::max(A.FKeptFit.across, A.LabelsRoomFloor);
        A.FFitKept = true;
        return A.FLabelsSize != 0 ? A.FLabelsSize : A.FKeptFit.across;
    }

    // The room's measure came before the plot's final length chose the step, whose
    // labels may be wider: they would reach into the title's room or past the panel.
    bool WidenLabelsRoom() {
        if (A.FLabelsSize != 0 || A.FIsDepthAxis || !A.Labels() || A.LabelsLeftOut) return false;
        A.FFinalFit = FitLabels();
        // where the plan passed over a step for labels wider than the room they were
        // given, what that step's labels need
        if (A.LabelsAcross > 0 && Plan().squeezed) {
            const int across = A.LabelsAcross;
            A.LabelsAcross = 0;
            A.FFinalFit = FitLabels();
            A.LabelsAcross = across;
        }
        const int need = A.FFinalFit.across;
        if (need <= A.FKeptFit.across) return false;
        A.LabelsRoomFloor = need;
        return true;
    }

    // A box drawn after a text hides what it covers, and one drawn before it runs
    // up to its letters: a framed title or framed labels keep two pixels between them (one for the letters' rims).
    int TitleGap() const {
        const bool titled = A.FTitle.Visible() && !A.FTitle.Caption().empty() && !A.TitleLeftOut;
        if (!titled || !A.Labels() || A.LabelsLeftOut) return 0;
        return A.FTitle.Transparent() && A.FItems.Format().Transparent() ? 0 : 2;
    }

    // Room across the axis that a text of w x (n lines) needs at angle with the
    // shape's frame: the extent across of all it covers.
    int AcrossOf(TPlotCustomShape& shape, int w, int n, int angle) {
        const Extent e = InkExtent(shape, w, V.TextLineHeight() * n, angle);
        return static_cast<int>(std::ceil(A.FHorizontal ? e.maxY - e.minY : e.maxX - e.minX));
    }

    // Room across the axis: every line of a text that runs along it; the width of
    // one that stands across it; at a slant, its turned box; a framed text's box
    // and shadow too.
    int AxisLabelSize(TPlotFont& font, int angle, int fixed, const std::string& text, bool labels) {
        if (fixed != 0) return fixed;
        if (labels) return FitLabels().across;
        angle = NormalAngle(angle);
        const bool along = A.FHorizontal ? (angle == 0 || angle == 180) : (angle == 90 || angle == 270);
        V.SelectFont(font);
        const int lines = 1 + static_cast<int>(std::count(text.begin(), text.end(), LineSeparator));
        // a plain title along the axis needs its lines, not its width
        if (along && A.FTitle.Transparent()) return V.TextLineHeight() * lines;
        int n = 0;
        return AcrossOf(A.FTitle, C.MultiLineTextWidth(text, n), lines, angle);
    }

    // What the labels the axis will draw need: room across the axis, and how far
    // they stand out past its ends toward the lower and the higher coordinates.
    // The widest and tallest of them stand for all: a box's extent grows with both.
    TChartAxis::LabelsFit FitLabels() {
        TChartAxis::LabelsFit f;
        if (A.FItems.Count() > 0) {
            for (int i = 0; i < A.FItems.Count(); ++i) {
                TAxisItem* item = A.FItems[i];
                V.SelectFont(item->Font());
                int lines = 0;
                const int w = C.MultiLineTextWidth(ItemText(*item), lines);
                Fit(*item, w, std::max(lines, 1), f);
            }
            V.SelectFont(A.LabelsFont());
            return f;
        }
        V.SelectFont(A.LabelsFont());
        int w = 0, lines = 1;
        switch (EffectiveStyle()) {
        case talValue:
            ValueLabelsSize(w, lines);
            break;
        case talMark:
            w = C.MaxMarkWidth();
            lines = MaxLabelLines();
            break;
        case talText:
            w = A.FIsDepthAxis ? SeriesTitleWidth() : C.MaxPointLabelWidth();
            lines = MaxLabelLines();
            break;
        default:
            // no labels: a line's height along the axis all the same, as ever
            break;
        }
        Fit(A.FItems.Format(), w, lines, f);
        return f;
    }

    // Where a label of w x height at angle, covering ink, stands along the axis from
    // the pixel of its value: a slanted label's inner corner stands at its value, any
    // other its middle.
    struct Along {
        double at, lo, hi;
    };
    Along AlongTheAxis(const Extent& ink, int w, int height, int angle) {
        const Extent box = TurnedExtent(w, height, angle);
        if (A.FHorizontal)
            return {angle % 90 != 0 ? InnerCorner(w, height, angle).first : (box.minX + box.maxX) / 2, ink.minX,
                    ink.maxX};
        return {angle % 90 != 0 ? InnerCorner(w, height, angle).second : (box.minY + box.maxY) / 2, ink.minY, ink.maxY};
    }

    // Widens f to a label of w x (n lines) drawn with the shape's frame.
    void Fit(TPlotCustomShape& shape, int w, int n, TChartAxis::LabelsFit& f) {
        const int angle = NormalAngle(A.FLabelsAngle);
        const int height = V.TextLineHeight() * n;
        const Extent ink = InkExtent(shape, w, height, angle);
        f.across =
            std::max(f.across, static_cast<int>(std::ceil(A.FHorizontal ? ink.maxY - ink.minY : ink.maxX - ink.minX)));
        const auto [at, lo, hi] = AlongTheAxis(ink, w, height, angle);
        f.before = std::max(f.before, static_cast<int>(std::ceil(at - lo)));
        f.after = std::max(f.after, static_cast<int>(std::ceil(hi - at)));
    }

    // The most lines of any mark or point label the axis can draw.
    int MaxLabelLines() {
        int most = 1;
        auto count = [&most](const std::string& text) {
            most = std::max(most, 1 + static_cast<int>(std::count(text.begin(), text.end(), LineSeparator)));
        };
        switch (EffectiveStyle()) {
        case talMark:
            for (TChartSeries* s : C.SeriesList())
                if (s->Active())
                    for (int i = 0; i < s->PointCount(); ++i) count(s->Marks().GetMarkText(i));
            break;
        case talText:
            if (A.FIsDepthAxis) break;
            for (TChartSeries* s : C.SeriesList())
                for (int i = 0; i < s->PointLabels().Count(); ++i) count(s->PointLabels().Label(i));
            break;
        default:
            break;
        }
        return most;
    }

    int MaxLabelWidth() {
        if (A.FItems.Count() > 0) {
            int w = 0;
            for (int i = 0; i < A.FItems.Count(); ++i) {
                TAxisItem* item = A.FItems[i];
                V.SelectFont(item->Font());
                int lines = 0;
                w = std::max(w, C.MultiLineTextWidth(ItemText(*item), lines));
            }
            V.SelectFont(A.LabelsFont());
            return w;
        }
        V.SelectFont(A.LabelsFont());
        switch (EffectiveStyle()) {
        case talValue: {
            int w = 0, lines = 1;
            ValueLabelsSize(w, lines);
            return w;
        }
        case talMark:
            return C.MaxMarkWidth();
        case talText:
            return A.FIsDepthAxis ? SeriesTitleWidth() : C.MaxPointLabelWidth();
        default:
            return 0;
        }
    }

    // The depth axis labels its rows with the titles of the active series.
    int SeriesTitleWidth() {
        int widest = 0, lines = 0;
        for (int v = 0; v < C.ActiveSeriesCount(); ++v)
            widest = std::max(widest, C.MultiLineTextWidth(C.SeriesTitleForLegend(v, true), lines));
        return widest;
    }

    // The widest value label the chosen step draws (plus a blank, that labels
    // across the axis keep clear of their ticks) and the most lines of any.
    // The two ends serve choosing the step; the room is that of every label,
    // as "2.5" between "0" and "5" needs more than either.
    // What the labels' texts and their widths depend on, besides the values.
    // Built in one piece: every plan asked for, kept or not, builds it.
    std::string LabelsKey() {
        TPlotFont& font = A.LabelsFont();
        const TPlotShadow* shadow = font.ShadowIfAny();
        const bool dateTime = A.IsDateTime();
        const std::string byRange = dateTime && A.FDateTimeFormat.empty() ? DefaultDateTimeFormat(A.FScaleRange) : "";
        const std::string& format = !dateTime ? A.FAxisValuesFormat : byRange.empty() ? A.FDateTimeFormat : byRange;
        std::string key;
        key.reserve(font.Name().size() + format.size() + 48);
        key += font.Name();
        key += '\n';
        const auto number = [&key](long long n) {
            char digits[24];
            key.append(digits, std::to_chars(digits, digits + sizeof digits, n).ptr);
        };
        number(font.Height());
        key += ' ';
        number(font.Style());
        key += ' ';
        number(font.PixelsPerInch());
        key += ' ';
        number(shadow ? shadow->HorizSize() : 0);
        key += A.FLabelsMultiLine ? " m\n" : " s\n";
        if (dateTime) key += '\t';
        key += format;
        return key;
    }

    void ValueLabelsSize(int& width, int& lines) {
        V.SelectFont(A.LabelsFont());
        const TChartAxis::LabelPlan& p = Plan();
        width = p.any ? p.width : 0;
        lines = p.any ? p.lines : 1;
    }

    void LabelsPastEnds(int& before, int& after, double& beforeShare, double& afterShare) {
        // the room measured them a moment ago, in this very layout
        const bool kept = A.FFitKept;
        A.FFitKept = false;
        before = after = 0;
        beforeShare = afterShare = 0;
        if (!A.Labels() || A.LabelsLeftOut || A.FIsDepthAxis || (A.FItems.Count() == 0 && EffectiveStyle() == talNone))
            return;
        const TChartAxis::LabelsFit f = kept ? A.FKeptFit : FitLabels();
        before = f.before;
        after = f.after;
        // Value labels need not fall on the ends: what lies between an end and the
        // label nearest it, as a share of the axis, is room the label has already.
        // Not so when the label a step further out lies so close past the end (within
        // its own overhang and half a step) that the series' margins, added later,
        // or another step for the final length may bring one onto the end.
        V.SelectFont(A.LabelsFont());
        const TChartAxis::LabelPlan& plan = Plan();
        const std::vector<double> values = plan.values;
        const int length = std::abs(A.FEndPixel - A.FStartPixel);
        if (A.FItems.Count() > 0 || EffectiveStyle() != talValue || values.empty() || length == 0) return;
        std::vector<int> at;
        at.reserve(values.size());
        for (double v : values) at.push_back(A.ValueToPixel(v));
        std::sort(at.begin(), at.end());
        int stepLo = 0, stepHi = 0;
        if (at.size() > 1) {
            stepLo = at[1] - at[0];
            stepHi = at.back() - at[at.size() - 2];
        } else if (!A.FLogarithmic && !A.IsDateTime() && plan.any) {
            stepLo = stepHi = std::abs(A.ValueToPixel(values.front() + plan.step) - at.front());
        }
        const int start = std::min(A.FStartPixel, A.FEndPixel), end = start + length;
        const int gapLo = at.front() - start, gapHi = end - at.back();
        if (stepLo - gapLo > before + stepLo / 2)
            beforeShare = std::clamp(static_cast<double>(gapLo) / length, 0.0, 1.0);
        if (stepHi - gapHi > after + stepHi / 2) afterShare = std::clamp(static_cast<double>(gapHi) / length, 0.0, 1.0);
    }

    int TitleLength() {
        TChartAxisTitle& t = A.FTitle;
        if (A.FIsDepthAxis || !t.Visible() || t.Caption().empty()) return 0;
        V.SelectFont(t.Font());
        int n = 0;
        const int w = C.MultiLineTextWidth(t.Caption(), n);
        const Extent e = InkExtent(t, w, V.TextLineHeight() * std::max(n, 1), NormalAngle(t.Angle()));
        return static_cast<int>(std::ceil(A.FHorizontal ? e.maxX - e.minX : e.maxY - e.minY));
    }

    // The depth axis' labels stand beside their ticks, its title beyond them, both to the
    // right of its line; the labels past the bottom axis' last label, which may stand out
    // past the plot's corner into the front label's row.
    void PlaceDepthTexts(int line, const TRect& plot) {
        A.LabelsPos = line + TicksSize();
        A.TitlePos = A.LabelsPos;
        const bool labelled = A.Labels() && !A.LabelsLeftOut;
        if (labelled) {
            const TChartAxis* b = C.BottomAxis();
            if (b && C.IsAxisShown(b) && b->Labels() && !b->LabelsLeftOut && b->FPositionPercent == 0)
                A.LabelsPos += std::max(0, b->FKeptFit.after + 1 - TicksSize());
        }
        TChartAxisTitle& t = A.FTitle;
        if (!t.Visible() || t.Caption().empty() || A.TitleLeftOut) return;
        // The title stands at half the depth, beyond every label as drawn (a text keeps its
        // width on the screen, whatever the perspective does to the depth) by what a side
        // axis keeps between its labels' letters and its title's: the blank of the labels'
        // room and the room the title's line leaves before its letters, a blank of its font.
        const int y = plot.Bottom + A.DepthTextsDrop, z = C.ChartDepth3D() / 2;
        int beyond = V.WorldToScreen(A.LabelsPos, y, z).x;
        V.SelectFont(t.Font());
        const int leading = V.MeasureTextWidth(" ");
        if (labelled) {
            V.SelectFont(A.LabelsFont());
            const int blank = V.MeasureTextWidth(" ") + leading;
            for (const TRect& b : DepthLabelBoxes(plot)) beyond = std::max(beyond, b.Right + blank);
        }
        V.SelectFont(t.Font());
        int n = 0;
        const int w = C.MultiLineTextWidth(t.Caption(), n);
        A.TitlePos = ClearedX(plot, A.LabelsPos, y, z, w, V.TextLineHeight() * std::max(1, n), beyond);
    }

    // The labels' top y as drawn (before projection).
    int DepthLabelsY(int bottom) {
        const TView3DOptions* o = V.View3DOptions();
        return (!o || o->Orthogonal() || o->Rotation() == 360 ? bottom + V.TextLineHeight() / 2 : bottom) +
               A.DepthTextsDrop;
    }

    // The world x of the depth label of w x h at depth z: beside its tick, but never left
    // of the front label's place (where the depth runs left, into the series' room) nor
    // on the series' room or a wall as projected.
    int DepthLabelX(const TRect& plot, int z, int w, int h) {
        const int y = DepthLabelsY(plot.Bottom);
        return ClearedX(plot, A.LabelsPos, y, z, w, h, V.WorldToScreen(A.LabelsPos, y, 0).x);
    }

    // The screen boxes of the depth labels as placed, before any too close to the one
    // before is left out: one per series row, or at a few depths for other labels.
    std::vector<TRect> DepthLabelBoxes(const TRect& plot) {
        std::vector<TRect> boxes;
        V.SelectFont(A.LabelsFont());
        const int w = MaxLabelWidth(), h = V.TextLineHeight() * MaxLabelLines();
        const int y = DepthLabelsY(plot.Bottom);
        auto add = [&](int z) {
            const TPoint at = V.WorldToScreen(DepthLabelX(plot, z, w, h), y, z);
            boxes.push_back(TRect{at.x, at.y, at.x + w, at.y + h});
        };
        if (A.FItems.Count() == 0 && EffectiveStyle() == talText && C.ActiveSeriesCount() > 0) {
            const long first = static_cast<long>(std::trunc(std::max(A.FScaleMinimum, -1e9)));
            const long last = static_cast<long>(std::trunc(std::min(A.FScaleMaximum, 1e9)));
            for (long v = first; v <= last && v - first < kMaxLabelSteps; ++v)
                add(A.ValueToPixel(A.FScaleMaximum - static_cast<double>(v) - 0.5));
        } else {
            constexpr int samples = 16;
            for (int k = 0; k <= samples; ++k)
                add(static_cast<int>(A.FStartPixel +
                                     (static_cast<long long>(A.FEndPixel) - A.FStartPixel) * k / samples));
        }
        return boxes;
    }

    // The extent in x of the hull of the eight points c across the rows top .. low; false
    // where it lies wholly above or below them. The hull's edges are among the segments
    // between its corners, clipped to the rows.
    static bool RowsExtent(const TPoint (&c)[8], double top, double low, double& lo, double& hi) {
        bool met = false;
        for (int i = 0; i < 8; ++i)
            for (int j = i; j < 8; ++j) {
                const double y0 = c[i].y, y1 = c[j].y, x0 = c[i].x, x1 = c[j].x;
                const double a = std::max(top, std::min(y0, y1)), e = std::min(low, std::max(y0, y1));
                if (a > e) continue;
                for (double yy : {a, e}) {
                    const double x = y1 == y0 ? std::max(x0, x1) : x0 + (x1 - x0) * (yy - y0) / (y1 - y0);
                    const double xm = y1 == y0 ? std::min(x0, x1) : x;
                    lo = met ? std::min(lo, xm) : xm;
                    hi = met ? std::max(hi, x) : x;
                    met = true;
                }
            }
        return met;
    }

    // The least world x from x on at which a depth text of w x h at (y, z) stands on the
    // screen from least on and clear of the blocks the walls and the series' room make
    // as projected, wherever those reach into its rows: seen at a slant they reach past
    // the axis line, and seen from the right the series stand in front of the labels'
    // places along the depth.
    int ClearedX(const TRect& plot, int x, int y, int z, int w, int h, int least) {
        std::vector<TCustomAxisPanel::TWallBlock> blocks = C.WallBlocks();
        // the walls stand where the chart's plot is now; the room asks for a plot yet to be
        const int ox = plot.Right - C.PlotRect().Right, oy = plot.Bottom - C.PlotRect().Bottom;
        for (TCustomAxisPanel::TWallBlock& b : blocks)
            b.r = TRect{b.r.Left + ox, b.r.Top + oy, b.r.Right + ox, b.r.Bottom + oy};
        blocks.push_back(TCustomAxisPanel::TWallBlock{plot, 0, C.ChartDepth3D()});
        int result = x;
        for (int round = 0; round < 8; ++round) {
            const TPoint at = V.WorldToScreen(result, y, z);
            double need = least;
            for (const TCustomAxisPanel::TWallBlock& b : blocks) {
                TPoint c[8];
                int n = 0;
                for (int bz : {b.z0, b.z1})
                    for (int cx : {b.r.Left, b.r.Right})
                        for (int cy : {b.r.Top, b.r.Bottom}) c[n++] = V.WorldToScreen(cx, cy, bz);
                double lo = 0, hi = 0;
                // a block wholly beside the text leaves it where it is
                if (!RowsExtent(c, at.y, at.y + h, lo, hi) || hi + 2 <= at.x || lo > at.x + w) continue;
                need = std::max(need, hi + 2);
            }
            if (at.x >= need) break;
            // how far one pixel along x moves the text on the screen at its depth (seen
            // turned in perspective, less than one pixel, and unlike further off)
            const int unit = 8;
            const double scale = (V.WorldToScreen(result + unit, y, z).x - at.x) / static_cast<double>(unit);
            result += std::max(1, Round(std::ceil(std::min((need - at.x) / std::max(scale, 0.25), 1e6))));
        }
        return result;
    }

    // The screen box of the depth texts as drawn with the axis line at x = line.
    TRect DepthTextsBox(int line, const TRect& plot) {
        PlaceDepthTexts(line, plot);
        std::vector<TRect> boxes;
        if (A.Labels() && !A.LabelsLeftOut) boxes = DepthLabelBoxes(plot);
        TChartAxisTitle& t = A.FTitle;
        if (t.Visible() && !t.Caption().empty() && !A.TitleLeftOut) {
            V.SelectFont(t.Font());
            int n = 0;
            const int w = C.MultiLineTextWidth(t.Caption(), n);
            const TPoint at = V.WorldToScreen(A.TitlePos, plot.Bottom + A.DepthTextsDrop, C.ChartDepth3D() / 2);
            boxes.push_back(TRect{at.x, at.y, at.x + w, at.y + V.TextLineHeight() * std::max(1, n)});
        }
        TRect box{0, 0, 0, 0};
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            const TRect& b = boxes[i];
            box = i == 0 ? b
                         : TRect{std::min(box.Left, b.Left), std::min(box.Top, b.Top), std::max(box.Right, b.Right),
                                 std::max(box.Bottom, b.Bottom)};
        }
        return box;
    }

    // Nothing else keeps room for the depth texts beside the plot: they would stand past
    // the panel or on the legend. The plot gives way on the right as far as they would
    // reach past the room the walls took there, and at the bottom by what would pass its
    // lower edge. The right and the bottom axis' texts, placed before, move with the
    // plot's edge (TakeAxesRoom); where the depth texts meet the right axis' texts, the
    // layout moves these down (ClearDepthTexts).
    void DepthRoom(TRect& r, const TRect& original) {
        const int line = PositionShift(r.Right, original);
        const TRect box = DepthTextsBox(line, r);
        if (box.Right <= box.Left) return;
        const TRect& before = C.PlotRect();
        TChartAxis* right = C.RightAxis();
        const int walls = right ? C.WallReachForAxis(right).Taken : 0;
        const int limit = V.WorldToScreen(before.Right + walls, r.Bottom, 0).x;
        const TView3DOptions* o = V.View3DOptions();
        const double zoom = o && o->Zoom() > 0 ? o->Zoom() * 0.01 : 1.0;
        // a shrink past the plot's width leaves it empty: the texts are then left out
        const int most = std::max(0, r.Right - r.Left) + 1;
        r.Right -= std::clamp(Round(std::ceil((static_cast<double>(box.Right) - limit) / zoom)), 0, most);
        // below the plot as it was before the axes took their room stand the foot, the
        // legend and the panel's edge
        const double below = static_cast<double>(box.Bottom) - before.Bottom;
        r.Bottom -= std::clamp(Round(std::ceil(below / zoom)), 0, std::max(0, r.Bottom - r.Top) + 1);
        PlaceDepthTexts(PositionShift(r.Right, original), r);
    }

    // The right axis' texts stand beside its ticks, the depth texts beside the plot's
    // corner: where the two would meet as drawn, the depth texts move down below them.
    // Depth texts that still stand on another axis' texts have no room beside their
    // ticks and are left out, the title first.
    void ClearDepthTexts() {
        A.DepthTextsDrop = 0;
        if (!A.FIsDepthAxis) return;
        std::vector<TRect> others, beside;
        for (TChartAxis* a : {C.LeftAxis(), C.TopAxis(), C.RightAxis(), C.BottomAxis()}) {
            if (!a || !C.IsAxisShown(a)) continue;
            std::size_t titles = 0;
            const std::vector<TRect> boxes = a->TextBoxes(titles);
            others.insert(others.end(), boxes.begin(), boxes.end());
            if (a == C.RightAxis()) beside = boxes;
        }
        if (others.empty()) return;
        const TRect& plot = C.PlotRect();
        TRect edge = plot;
        const int line = PositionShift(SideEdge(edge), plot);
        const TView3DOptions* o = V.View3DOptions();
        const double zoom = o && o->Zoom() > 0 ? o->Zoom() * 0.01 : 1.0;
        // the amount the box d must move down to stand clear below those of boxes it meets
        auto below = [](const TRect& d, const std::vector<TRect>& boxes) {
            int most = 0;
            for (const TRect& b : boxes)
                if (d.Left < b.Right && b.Left < d.Right && d.Top < b.Bottom && b.Top < d.Bottom)
                    most = std::max(most, b.Bottom - d.Top);
            return most;
        };
        std::size_t titles = 0;
        for (int round = 0; round < 8; ++round) {
            PlaceDepthTexts(line, plot);
            int drop = 0;
            for (const TRect& d : TextBoxes(titles)) drop = std::max(drop, below(d, beside));
            if (drop == 0) break;
            A.DepthTextsDrop += std::max(1, Round(std::ceil(drop / zoom)));
        }
        for (int round = 0; round < 2; ++round) {
            PlaceDepthTexts(line, plot);
            const std::vector<TRect> mine = TextBoxes(titles);
            for (std::size_t k = 0; k < mine.size(); ++k)
                if (below(mine[k], others) > 0) (k < titles ? A.TitleLeftOut : A.LabelsLeftOut) = true;
        }
        PlaceDepthTexts(line, plot);
    }

    void Room(TRect& r, bool shrink) {
        const TRect original = r;
        if (!shrink) {
            TRect copy = r;
            A.AxisLinePos = PositionShift(SideEdge(copy), original);
            A.LabelsPos = A.AxisLinePos + Outward() * TicksSize();
            A.TitlePos = A.LabelsPos + Outward() * (KeptLabelsRoom() + TitleGap());
            return;
        }
        if (A.FIsDepthAxis) {
            DepthRoom(r, original);
            return;
        }
        // Every draw places the title and the labels afresh; a hidden one sits where
        // its room would begin, so nothing an earlier draw left counts.
        int& edge = SideEdge(r);
        const int inward = -Outward();
        const int t = C.WallSizeForAxis(&A) + TicksSize();
        // Walls seen at a slant may reach past the ticks: the texts then stand beyond them,
        // in the room the walls took on this side as far as it goes, else in room of their own.
        const bool titled = A.FTitle.Visible() && !A.FTitle.Caption().empty() && !A.TitleLeftOut;
        const bool labelled = A.Labels() && !A.LabelsLeftOut;
        int beyond = 0;
        if (A.FPositionPercent == 0 && (titled || labelled)) {
            const TCustomAxisPanel::TWallReach walls = C.WallReachForAxis(&A);
            beyond = std::max(0, walls.Reach - std::max(0, t));
            edge += inward * std::max(0, beyond - walls.Taken);
            // texts the walls as drawn still reached move out into what lies beyond; where
            // that overruns, the plot gives way in the next round
            beyond += A.WallsClear;
        }
        if (titled)
            edge += inward * AxisLabelSize(A.FTitle.Font(), A.FTitle.Angle(), A.FTitleSize, A.FTitle.Caption(), false);
        A.TitlePos = edge - inward * beyond;
        if (labelled) {
            A.LabelsAcross = 0;
            const int across = KeptLabelsRoom();
            edge += inward * (across + TitleGap());
            A.LabelsAcross = A.FLabelsSize != 0 ? 0 : across;
        }
        A.LabelsPos = edge - inward * beyond;
        if (t > 0) edge += inward * t;
        A.TitlePos = PositionShift(A.TitlePos, original);
        A.LabelsPos = PositionShift(A.LabelsPos, original);
    }

    TChartAxis& A;
    TCustomAxisPanel& C;
    TCanvas3D& V;
    double FStep = 0;
    int FStepIndex = dtNone;
    int FPower = 1;
    int FEndLength = 0;
    // the labels drawn are the plan's, which keep clear of each other already
    bool FPlanned = false;
    bool FDepthLabelDrawn = false;
    // what the last label drawn covers along the axis, its separation included
    bool FLabelDrawn = false;
    double FLastLabelFrom = 0, FLastLabelTo = 0;
    TRect FLastDepthLabel{};
    // the screen box of the last depth label placed, without its separation
    TRect FLastDepthLabelDrawn{};
    bool FExponent = true;
    int FLabelsRoom = -1;
    // where Lines records what it would draw instead of drawing it
    std::vector<TRect>* FMeasured = nullptr;
    std::vector<std::vector<std::pair<double, double>>>* FOutlines = nullptr;
};

void TChartAxis::DrawAxis(bool placeAxisLine) {
    if (!FChart) return;
    TAxisDrawer(*this).Draw(placeAxisLine);
}

void TChartAxis::CalcAxisRoom(TRect& r, bool shrink) {
    if (!FChart) return;
    TAxisDrawer(*this).Room(r, shrink);
}

void TChartAxis::LabelsPastEnds(int& before, int& after, double& beforeShare, double& afterShare) {
    before = after = 0;
    beforeShare = afterShare = 0;
    if (FChart) TAxisDrawer(*this).LabelsPastEnds(before, after, beforeShare, afterShare);
}

std::vector<TRect> TChartAxis::TextBoxes(std::size_t& titles,
                                         std::vector<std::vector<std::pair<double, double>>>* outlines) {
    titles = 0;
    return FChart ? TAxisDrawer(*this).TextBoxes(titles, outlines) : std::vector<TRect>{};
}

bool TChartAxis::FlatTextsBound(TRect& r) { return FChart && TAxisDrawer(*this).FlatTextsBound(r); }

void TChartAxis::ClearTitleOfLabels() {
    if (FChart) TAxisDrawer(*this).ClearTitleOfLabels();
}

void TChartAxis::ClearDepthTexts() {
    if (FChart) TAxisDrawer(*this).ClearDepthTexts();
}

bool TChartAxis::WidenLabelsRoom() { return FChart && TAxisDrawer(*this).WidenLabelsRoom(); }

int TChartAxis::TitleLength() { return FChart ? TAxisDrawer(*this).TitleLength() : 0; }

int TChartAxis::MaxLabelWidth() { return FChart ? TAxisDrawer(*this).MaxLabelWidth() : 0; }

int TChartAxis::AxisLabelSize(TPlotFont& font, int angle, int fixedSize, const std::string& text) {
    return FChart ? TAxisDrawer(*this).AxisLabelSize(font, angle, fixedSize, text, text.empty()) : fixedSize;
}

int TChartAxis::TicksSize() { return FChart ? TAxisDrawer(*this).TicksSize() : 0; }

void TChartAxis::DrawAxisLabel(int x, int y, TPlotCustomShape* shape, const std::string& text, int angle) {
    if (FChart) TAxisDrawer(*this).Label(x, y, shape, text, angle);
}

void TChartAxis::DrawLabelExponent(int x, int y, const std::string& text) {
    if (FChart) TAxisDrawer(*this).Exponent(x, y, text);
}
