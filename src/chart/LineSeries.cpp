#include "LineSeries.h"

#include "SeriesMarks.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "AxisPanel.h"
#include "Chart.h"
#include "ChartAxis.h"
#include "ChartUtils.h"
#include "ChartMessages.h"
#include "PlotCanvas.h"
#include "ScopeExit.h"
#include "Series3D.h"

// ---------------------------------------------------------------------------
TSeriesPointer::TSeriesPointer(TChartSeries* series)
    : TPlotCustomShapeBrushPen(series ? series->ParentChart() : nullptr), FSeries(series) {
    FGradient.OnChange = ChangeHandler();
}

void TSeriesPointer::Assign(const TPersistent* source) {
    if (const auto* s = dynamic_cast<const TSeriesPointer*>(source)) {
        FDark3D = s->FDark3D;
        FDraw3D = s->FDraw3D;
        FGradient.Assign(&s->FGradient);
        FHorizSize = s->FHorizSize;
        FVertSize = s->FVertSize;
        FInflateMargins = s->FInflateMargins;
        FStyle = s->FStyle;
    }
    TPlotCustomShapeBrushPen::Assign(source);
}

void TSeriesPointer::SetHorizSize(int value) {
    if (value <= 0) throw ChartException(PlotConst().ErrPointerSize);
    SetValue(FHorizSize, value);
}

void TSeriesPointer::SetVertSize(int value) {
    if (value <= 0) throw ChartException(PlotConst().ErrPointerSize);
    SetValue(FVertSize, value);
}

void TSeriesPointer::PrepareCanvas(TCanvas3D& canvas, TColor color) {
    const TChartPen& pen = Pen();
    if (pen.Visible()) {
        if (pen.Color() == SeriesDefaultColor)
            canvas.SelectPen(pen, color);
        else
            canvas.SelectPen(pen);
    } else if (TCanvas* device = canvas.Canvas()) {
        device->Pen().SetStyle(psClear);
    }
    const TChartBrush& brush = Brush();
    TColor fill = brush.Color();
    if (fill == SeriesDefaultColor) fill = brush.Style() == bsSolid ? color : clBlack;
    canvas.SelectBrush(brush, fill, color);
}

void TSeriesPointer::FillGradient(TCanvas3D& canvas, const TRect& r, TColor color, const TPoint* clip, int count,
                                  bool ellipse) {
    if (!FGradient.Visible()) return;
    TPlotGradient gradient;
    PointGradient(color, gradient);
    if (ellipse)
        canvas.ClipToEllipse(r);
    else if (clip)
        canvas.ClipToPolygon(clip, count);
    const ScopeExit unclip([&] {
        if (ellipse || clip) canvas.RemoveClipping();
    });
    gradient.Draw(canvas, r);
}

void TSeriesPointer::PointGradient(TColor color, TPlotGradient& out) const {
    out.Assign(&FGradient);
    if (GradientTakesPointColor()) out.SetEndColor(color);
}

void TSeriesPointer::DrawPointer(TCanvas3D& canvas, bool is3D, int x, int y, int h, int v, TColor color,
                                 TSeriesPointerStyle style, int z) {
    if (style == psNothing) return;
    // On a 3D chart the 2D shapes are placed at the series' front plane.
    if (is3D) {
        const TPoint p = canvas.WorldToScreen(x, y, z);
        x = p.x;
        y = p.y;
    }
    const int l = x - h, r = x + h, t = y - v, b = y + v;
    auto cross = [&] {
        canvas.MoveToPoint(x, t);
        canvas.LineToPoint(x, b + 1);
        canvas.MoveToPoint(l, y);
        canvas.LineToPoint(r + 1, y);
    };
    auto diagCross = [&] {
        canvas.MoveToPoint(l, t);
        canvas.LineToPoint(r + 1, b + 1);
        canvas.MoveToPoint(r, t);
        canvas.LineToPoint(l - 1, b + 1);
    };
    auto polygon = [&](std::initializer_list<TPoint> pts) {
        const TPoint* p = pts.begin();
        const int n = static_cast<int>(pts.size());
        canvas.DrawPolygon(p, n - 1);
        if (FGradient.Visible()) {
            // the gradient spans the corners themselves, not one pixel past them
            TRect box = PointsBoundingRect(p, n);
            --box.Right;
            --box.Bottom;
            FillGradient(canvas, box, color, p, n, false);
        }
    };
    switch (style) {
    case psRectangle:
        canvas.DrawRectangle(l, t, r + 1, b + 1);
        if (FGradient.Visible()) FillGradient(canvas, TRect{l, t, r + 1, b + 1}, color, nullptr, 0, false);
        break;
    case psCircle:
        canvas.DrawEllipse(l, t, r, b);
        if (FGradient.Visible()) FillGradient(canvas, TRect{l, t, r, b}, color, nullptr, 0, true);
        break;
    case psTriangle:
        polygon({TPoint{l, b}, TPoint{r, b}, TPoint{x, t}});
        break;
    case psDownTriangle:
        polygon({TPoint{l, t}, TPoint{r, t}, TPoint{x, b}});
        break;
    case psCross:
        cross();
        break;
    case psDiagCross:
        diagCross();
        break;
    case psStar:
        cross();
        diagCross();
        break;
    case psDiamond:
        polygon({TPoint{l, y}, TPoint{x, t}, TPoint{r, y}, TPoint{x, b}});
        break;
    case psSmallDot: {
        TCanvas* device = canvas.Canvas();
        canvas.SetPixelColor(x, y, device ? device->Brush().Color() : color);
        break;
    }
    case psNothing:
        break;
    case psLeftTriangle:
        polygon({TPoint{l, y}, TPoint{r, b}, TPoint{r, t}});
        break;
    case psRightTriangle:
        polygon({TPoint{r, y}, TPoint{l, b}, TPoint{l, t}});
        break;
    }
}

// ---------------------------------------------------------------------------
TCustomSeries::TCustomSeries(TComponent* owner)
    : TCustomLineSeries(owner), FPointer(std::make_unique<TSeriesPointer>(this)) {
    SetDrawBetweenPoints(true);
    FOutLine.OnChange = [this](TObject*) { RepaintChart(); };
}

TCustomSeries::~TCustomSeries() = default;

void TCustomSeries::Assign(const TPersistent* source) {
    if (const auto* s = dynamic_cast<const TCustomSeries*>(source)) {
        FPointer->Assign(s->FPointer.get());
        FOutLine.Assign(&s->FOutLine);
        FClickableLine = s->FClickableLine;
        FColorEachLine = s->FColorEachLine;
        FDark3D = s->FDark3D;
        FInvertedStairs = s->FInvertedStairs;
        FLineHeight = s->FLineHeight;
        FStacked = s->FStacked;
        FStairs = s->FStairs;
    }
    TCustomLineSeries::Assign(source);
}

void TCustomSeries::SetParentChart(TCustomAxisPanel* value) {
    TCustomLineSeries::SetParentChart(value);
    FPointer->SetParentChart(ParentChart());
}

// The chart may take or drop the series without going through SetParentChart.
void TCustomSeries::AddedToChart() {
    TCustomLineSeries::AddedToChart();
    FPointer->SetParentChart(ParentChart());
}

void TCustomSeries::RemovedFromChart() {
    TCustomLineSeries::RemovedFromChart();
    FPointer->SetParentChart(nullptr);
}

namespace {

// The marks' room beside the data takes at most half of its axis: the data keeps the larger
// part, and a box that then stands out is moved into the plot or left out when it is drawn,
// as at a fixed axis end. Both sides give up room in proportion.
void BoundMarksRoom(int& low, int& high, const TChartAxis* axis, const TCustomAxisPanel& chart) {
    low = std::max(0, low);
    high = std::max(0, high);
    if (!axis) return;
    // the axis' share of the plot, as it stands before any series widens its range
    const TRect& plot = chart.PlotRect();
    const double share = std::abs(axis->EndPosition() - axis->StartPosition()) * 0.01;
    const double length = (axis->Horizontal() ? plot.Width() : plot.Height()) * std::min(1.0, share);
    const std::int64_t room = std::max<std::int64_t>(0, static_cast<std::int64_t>(length) / 2);
    const std::int64_t total = static_cast<std::int64_t>(low) + high;
    if (total <= room) return;
    low = static_cast<int>(low * room / total);
    high = static_cast<int>(room - low);
}

}  // namespace

void TCustomSeries::GetHorizMargins(int& left, int& right) {
    left = right = 0;
    if (FPointer->Visible() && FPointer->InflateMargins()) left = right = FPointer->HorizSize() + 1;
    if (FStairs) left = right = std::max(left, LinePen()->Width());
    if (FOutLine.Visible()) left = right = std::max(left, FOutLine.Width());
    if (Marks().Visible() && ParentChart()) {
        // a box is centred on its point: half of it stands out beside the outermost points
        const TSeriesMarks::TBoxReach box = Marks().BoxReach();
        int low = box.Left, high = box.Right;
        // marks of horizontal values sit beyond the far end
        if (!ValuesVertical()) high = std::max(high, Marks().Callout().Length() + Marks().Callout().Distance());
        BoundMarksRoom(low, high, GetHorizAxis(), *ParentChart());
        left = std::max(left, low);
        right = std::max(right, high);
    }
}

void TCustomSeries::DrawMark(int index, const std::string& text, TSeriesMarkPosition* position) {
    Marks().MarkDepth = SeriesStartZ;
    if (ValuesVertical() && position) Marks().ApplyArrowLength(*position);
    TCustomLineSeries::DrawMark(index, text, position);
}

void TCustomSeries::GetVertMargins(int& top, int& bottom) {
    top = bottom = 0;
    if (FPointer->Visible() && FPointer->InflateMargins()) top = bottom = FPointer->VertSize() + 1;
    if (FStairs) {
        top = std::max(top, LinePen()->Width());
        bottom = std::max(bottom, LinePen()->Width());
    }
    if (FOutLine.Visible()) {
        top = std::max(top, FOutLine.Width());
        bottom = std::max(bottom, FOutLine.Width());
    }
    if (ParentChart() && ParentChart()->View3D() && FLineHeight > 0) bottom = std::max(bottom, FLineHeight);
    if (Marks().Visible() && ParentChart()) {
        // the boxes stand above their points, moved by the callout for vertical values (a
        // negative length puts them below)
        const TSeriesMarks::TBoxReach box = Marks().BoxReach();
        const int up = ValuesVertical() ? Marks().Callout().Length() + Marks().Callout().Distance() : 0;
        int above = up + box.Above, below = box.Below - up;
        BoundMarksRoom(above, below, GetVertAxis(), *ParentChart());
        top = std::max(top, above);
        bottom = std::max(bottom, below);
    }
}

void TCustomSeries::CalcZOrder() {
    if (FStacked != cssNone && FStacked != cssOverlap && ParentChart() && ZOrderSetting() == -1) {
        // shares the depth slot of the series stacked before it
        for (TChartSeries* s : ParentChart()->SeriesList()) {
            if (s == this) break;
            if (s->Active() && StacksWith(s)) {
                SetComputedZOrder(ParentChart()->MaxZOrder());
                return;
            }
        }
    }
    TCustomLineSeries::CalcZOrder();
}

void TCustomSeries::SetStacked(TCustomSeriesStack value) {
    if (FStacked == value) return;
    FStacked = value;
    if (TCustomAxisPanel* chart = ParentChart()) {
        for (TChartSeries* s : chart->SeriesList()) {
            auto* c = dynamic_cast<TCustomSeries*>(s);
            if (!c || c == this) continue;
            if (StacksWith(c)) c->FStacked = value;
        }
    }
    RepaintChart();
}

bool TCustomSeries::StacksWith(const TChartSeries* other) const {
    const auto* o = dynamic_cast<const TCustomSeries*>(other);
    return o && (IsOfKind(o) || o->IsOfKind(this));
}

// Sum of the positive values at index of the active series stacked with this one,
// before this one (upToThis) or all of them.
double TCustomSeries::StackTotal(int index, bool upToThis) const {
    double sum = 0;
    if (!ParentChart()) return sum;
    for (TChartSeries* s : ParentChart()->SeriesList()) {
        if (upToThis && s == this) break;
        if (!s->Active() || (s != this && !StacksWith(s)) || index >= s->PointCount()) continue;
        const double v = s->PrimaryValueAt(index);
        if (v > 0) sum += v;
    }
    return sum;
}

double TCustomSeries::StackedValue(int index) const {
    const double own = PrimaryValueAt(index);
    const double below = StackTotal(index, true) + own;
    if (FStacked == cssStack100) {
        const double total = StackTotal(index, false);
        return total == 0 ? 100.0 : below * 100.0 / total;
    }
    return below;
}

double TCustomSeries::StackedHighest() const {
    if (FStacked == cssStack100) return 100;
    double m = 0;
    for (int i = 0; i < PointCount(); ++i) m = i == 0 ? StackedValue(i) : std::max(m, StackedValue(i));
    return m;
}

namespace {

// A stacked sum beyond the axis is drawn on the axis' end, not outside the plot.
int StackedPixel(const TChartAxis& axis, double value) {
    const int a = axis.StartPixel(), b = axis.EndPixel();
    return std::clamp(axis.ValueToPixel(value), std::min(a, b), std::max(a, b));
}

}  // namespace

int TCustomSeries::PointScreenX(int index) const {
    if (!ValuesVertical() && Stacks() && GetHorizAxis()) return StackedPixel(*GetHorizAxis(), StackedValue(index));
    return TCustomLineSeries::PointScreenX(index);
}

int TCustomSeries::PointScreenY(int index) const {
    if (ValuesVertical() && Stacks() && GetVertAxis()) return StackedPixel(*GetVertAxis(), StackedValue(index));
    return TCustomLineSeries::PointScreenY(index);
}

double TCustomSeries::HighestY() const {
    return ValuesVertical() && Stacks() ? StackedHighest() : TCustomLineSeries::HighestY();
}

double TCustomSeries::LowestY() const {
    if (ValuesVertical() && FStacked == cssStack100) return 0;
    return TCustomLineSeries::LowestY();
}

double TCustomSeries::HighestX() const {
    return !ValuesVertical() && Stacks() ? StackedHighest() : TCustomLineSeries::HighestX();
}

double TCustomSeries::LowestX() const {
    if (!ValuesVertical() && FStacked == cssStack100) return 0;
    return TCustomLineSeries::LowestX();
}

int TCustomSeries::OriginPosition(int index) const {
    if (Stacks()) {
        const double base = FStacked == cssStack100 && StackTotal(index, false) != 0
                                ? StackTotal(index, true) * 100.0 / StackTotal(index, false)
                                : StackTotal(index, true);
        TChartAxis* a = ValuesVertical() ? GetVertAxis() : GetHorizAxis();
        return a ? a->ValueToPixel(base) : 0;
    }
    if (ValuesVertical()) {
        TChartAxis* a = GetVertAxis();
        if (!a) return 0;
        return a->Inverted() ? a->StartPixel() : a->EndPixel();
    }
    TChartAxis* a = GetHorizAxis();
    if (!a) return 0;
    return a->Inverted() ? a->EndPixel() : a->StartPixel();
}

TSeriesPointerStyle TCustomSeries::PointerStyleOf(int index) const {
    if (OnGetPointerStyle) return OnGetPointerStyle(const_cast<TCustomSeries*>(this), index);
    return FPointer->Style();
}

bool TCustomSeries::PointerHit(int index, int px, int py, int x, int y) const {
    return PointerStyleOf(index) != psNothing && std::abs(px - x) < FPointer->HorizSize() &&
           std::abs(py - y) < FPointer->VertSize();
}

void TCustomSeries::DrawPointer(int x, int y, int index, TColor color) {
    TCustomAxisPanel* chart = ParentChart();
    if (!chart) return;
    TCanvas3D& canvas = chart->Canvas();
    TCanvas* device = canvas.Canvas();
    auto state = [&] {
        const TPen& p = device->Pen();
        const TBrush& b = device->Brush();
        return TPreparedMarker{color, p.Color(), b.Color(), p.Width(), p.Style(), p.Mode(), b.Style()};
    };
    if (!device || !FMarkerPrepared || !(state() == FMarker) || FPointer->Brush().ImageGraphic()) {
        FPointer->PrepareCanvas(canvas, color);
        FMarkerPrepared = device != nullptr;
        if (device) FMarker = state();
    }
    if (chart->View3D())
        Series3D::DrawPointer(canvas, *FPointer, x, y, FPointer->HorizSize(), FPointer->VertSize(), color,
                              PointerStyleOf(index), Series3D::TSlot{SeriesStartZ, SeriesEndZ});
    else
        FPointer->DrawPointer(canvas, false, x, y, FPointer->HorizSize(), FPointer->VertSize(), color,
                              PointerStyleOf(index));
    // a gradient fill changes the brush behind the canvas' back
    if (FPointer->Gradient().Visible()) FMarkerPrepared = false;
}

void TCustomSeries::SelectLinePen(TCanvas3D& canvas, TColor color) {
    if (FOutlinePass) {
        canvas.SelectPen(FOutLine);
        if (TCanvas* device = canvas.Canvas()) {
            device->Pen().SetWidth(2 * FOutLine.Width() + 2);
            device->Brush().SetStyle(bsClear);
        }
        return;
    }
    TColor c = FColorEachLine ? color : SeriesColor();
    if (ParentChart() && ParentChart()->Monochrome()) c = clWhite;
    canvas.SelectPen(*LinePen(), c);
    if (TCanvas* device = canvas.Canvas()) device->Brush().SetStyle(bsClear);
}

void TCustomSeries::DrawVisibleValues() {
    // a failed pass leaves no half-collected run behind for the next one
    const ScopeExit dropRun([this] { FRun.clear(); });
    if (FOutLine.Visible() && FDrawLine) {
        // The outline pass draws the lines only, wider and in the outline's colour,
        // without touching the series' own pen or colour.
        FOutlinePass = true;
        FPointer->SetVisibleQuietly(false);
        const ScopeExit endOutline([this] {
            FOutlinePass = false;
            FPointer->SetVisibleQuietly(true);
        });
        TCustomLineSeries::DrawVisibleValues();
        FlushRun();
    }
    TCustomLineSeries::DrawVisibleValues();
    FlushRun();
}

void TCustomSeries::FlushRun() {
    if (FRun.size() >= 2 && ParentChart()) {
        TCanvas3D& canvas = ParentChart()->Canvas();
        SelectLinePen(canvas, FRunColor);
        canvas.DrawPolyline(FRun.data(), static_cast<int>(FRun.size()) - 1);
    }
    FRun.clear();
}

void TCustomSeries::DrawSegment(int index, int x, int y, TColor color, bool withPointers, bool last) {
    TCustomAxisPanel* chart = ParentChart();
    TCanvas3D& canvas = chart->Canvas();
    if ((x != PrevX || y != PrevY) && color != clNone && FDrawLine) {
        if (chart->View3D()) {
            DrawBands(canvas, x, y, color);
        } else if (!FPointer->Shown() || !withPointers) {
            if (!FRun.empty() && (FRunColor != color || FRun.back().x != PrevX || FRun.back().y != PrevY)) FlushRun();
            if (FRun.empty()) {
                FRun.push_back(TPoint{PrevX, PrevY});
                FRunColor = color;
            }
            if (FStairs) FRun.push_back(StepCorner(x, y));
            FRun.push_back(TPoint{x, y});
        } else {
            // markers go between the lines, each after the line leaving it
            FlushRun();
            SelectLinePen(canvas, color);
            canvas.MoveToPoint(PrevX, PrevY);
            if (FStairs) {
                const TPoint corner = StepCorner(x, y);
                canvas.LineToPoint(corner.x, corner.y);
            }
            canvas.LineToPoint(x, y);
        }
    }
    if (!withPointers || !FPointer->Shown()) return;
    // Each non-null point gets its marker once, after the line that leaves it,
    // also when no line is drawn (a null point follows, or both share a pixel).
    if (PrevPointerPending && PrevColor != clNone) DrawPointer(PrevX, PrevY, PrevIndex, PrevColor);
    PrevPointerPending = false;
    if (last && color != clNone) DrawPointer(x, y, index, color);
}

// A segment on a 3D chart: a band through the series' depth slot (two for a step), outlined
// with the line pen and filled with the line brush in the point's or the series' colour.
void TCustomSeries::DrawBands(TCanvas3D& canvas, int x, int y, TColor color) {
    TColor fill = FColorEachLine ? color : SeriesColor();
    if (FOutlinePass) {
        SelectLinePen(canvas, color);
    } else {
        canvas.SelectPen(*LinePen());
        canvas.SelectBrush(*Brush(), fill, clNone);
        if (canvas.GetMonochrome()) fill = clWhite;
    }
    const Series3D::TSlot slot{SeriesStartZ, SeriesEndZ};
    // The darker underside is for canvases that do not shade faces themselves.
    const double darkSlope = FDark3D && !canvas.IsHardware3D() ? DarkSlope : 0.0;
    const TPoint from{PrevX, PrevY}, to{x, y};
    if (FStairs) {
        const TPoint corner = StepCorner(x, y);
        Series3D::DrawBand(canvas, from, corner, slot, FLineHeight, darkSlope, fill);
        Series3D::DrawBand(canvas, corner, to, slot, FLineHeight, darkSlope, fill);
    } else {
        Series3D::DrawBand(canvas, from, to, slot, FLineHeight, darkSlope, fill);
    }
}

// A step's corner belongs to the data, not to the way it is drawn: the step holds the
// lower index' value up to the higher index' X (the other way round with InvertedStairs).
// Drawn backward (an inverted horizontal axis, a 3D view turned round) the previous point
// is the higher index, so the same steps show as the mirror image.
TPoint TCustomSeries::StepCorner(int x, int y) const {
    const bool verticalFirst = FInvertedStairs == DrawsForward();
    return verticalFirst ? TPoint{PrevX, y} : TPoint{x, PrevY};
}

// Where the line from the point before the first visible one comes into the plot: on
// the plot's near edge, at the height the segment has there (a step's, at the earlier
// point's value, whichever way it is drawn). Drawn backward the line leaves toward that
// point instead.
TPoint TCustomSeries::LineEntryPoint(int index, const TChartAxis& h, const TChartAxis& v) const {
    const int before = index - 1;
    if (v.Logarithmic()) return TPoint{PointScreenX(before), PointScreenY(before)};
    const TRect& r = ParentChart()->PlotRect();
    const int x = h.Inverted() ? r.Right : r.Left;
    if (FStairs) return TPoint{x, PointScreenY(before)};
    const double x0 = XValueAt(before), x1 = XValueAt(index);
    if (x0 == x1) return TPoint{x, PointScreenY(before)};
    const double y0 = YValueAt(before), y1 = YValueAt(index);
    return TPoint{x, v.ValueToPixel(y0 + (y1 - y0) * (h.PixelToValue(x) - x0) / (x1 - x0))};
}

// The first visible point, reached last when drawing backward: the line goes on to the
// plot's edge toward the point before the range, under this point's marker.
void TCustomSeries::DrawLineExit(int index, int x, int y, TColor color) {
    TChartAxis* h = GetHorizAxis();
    TChartAxis* v = GetVertAxis();
    if (h && v && PointColor(index - 1) != clNone) {
        const TPoint exit = LineEntryPoint(index, *h, *v);
        PrevX = x;
        PrevY = y;
        DrawSegment(index, exit.x, exit.y, color, false, false);
        FlushRun();
    }
    if (FPointer->Shown() && color != clNone) DrawPointer(x, y, index, color);
}

void TCustomSeries::DrawPoint(int index) {
    TCustomAxisPanel* chart = ParentChart();
    if (!chart) return;
    const TColor color = PointColor(index);
    const int x = PointScreenX(index);
    const int y = PointScreenY(index);
    const bool forward = DrawsForward();
    const int first = forward ? FirstVisible() : LastVisible();
    const int last = forward ? LastVisible() : FirstVisible();
    if (index == first || PrevIndex == -1) {
        // a new pass: nothing carries over from the previous one
        FRun.clear();
        FMarkerPrepared = false;
        PrevColor = clNone;
        PrevPointerPending = false;
    }
    if (PrevColor == clNone) {
        PrevX = x;
        PrevY = y;
    }
    OriginPos = OriginPosition(index);
    const bool isLast = index == last;
    if (index == first) {
        if (FDark3D) DarkSlope = Series3D::DarkSlope(chart->SeriesHeight3D(), chart->SeriesDepth3D());
        TChartAxis* h = GetHorizAxis();
        TChartAxis* v = GetVertAxis();
        if (index == FirstVisible() && index > 0 && FDrawLine && h && v) {
            const TPoint entry = LineEntryPoint(index, *h, *v);
            PrevX = entry.x;
            PrevY = entry.y;
            if (PointColor(index - 1) != clNone) DrawSegment(index, x, y, color, false, false);
        }
        if (FPointer->Shown()) {
            if (isLast) {
                if (color != clNone) DrawPointer(x, y, index, color);
            } else {
                PrevPointerPending = color != clNone;
            }
        }
    } else {
        const bool exit = isLast && !forward && index == FirstVisible() && index > 0 && FDrawLine;
        DrawSegment(index, x, y, color, true, isLast && !exit);
        PrevPointerPending = !isLast && color != clNone;
        if (exit) DrawLineExit(index, x, y, color);
    }
    PrevX = x;
    PrevY = y;
    PrevOriginPos = OriginPos;
    PrevColor = color;
    PrevIndex = isLast ? -1 : index;
    if (isLast) FlushRun();
}

void TCustomSeries::DrawLegendShape(int index, const TRect& rect) {
    TCustomAxisPanel* chart = ParentChart();
    if (!chart) return;
    TCanvas3D& canvas = chart->Canvas();
    const TColor color = index == -1 ? SeriesColor() : LegendItemColor(index);
    const int midY = (rect.Top + rect.Bottom) / 2;
    const int midX = (rect.Left + rect.Right) / 2;
    // the symbol's line shows with the legend's own pen when the legend does not use the series'
    const auto* legendChart = dynamic_cast<const TCustomChart*>(chart);
    const TChartPen* symbolPen = legendChart && legendChart->LegendPen ? legendChart->LegendPen : LinePen();
    const bool line = FDrawLine && symbolPen->Visible();
    if (FPointer->Visible()) {
        if (FDrawLine) {
            SelectLinePen(canvas, color);
            canvas.MoveToPoint(rect.Left, midY);
            canvas.LineToPoint(rect.Right, midY);
        }
        int h, v;
        if (line) {
            h = std::min(FPointer->HorizSize(), rect.Width() / 3);
            v = std::min(FPointer->VertSize(), rect.Height() / 3);
        } else {
            h = std::min(FPointer->HorizSize(), rect.Width() / 2 + 1);
            v = std::min(FPointer->VertSize(), rect.Height() / 2 + 1);
        }
        FPointer->PrepareCanvas(canvas, color);
        FPointer->DrawPointer(canvas, false, midX, midY, h, v, color, PointerStyleOf(index < 0 ? 0 : index));
        return;
    }
    // On a 3D chart a line is a band: its symbol is the base rectangle.
    if (FDrawLine && !chart->View3D()) {
        SelectLinePen(canvas, color);
        canvas.MoveToPoint(rect.Left, midY);
        canvas.LineToPoint(rect.Right, midY);
        return;
    }
    TCustomLineSeries::DrawLegendShape(index, rect);
}

int TCustomSeries::PointAtPixel(int x, int y) const {
    bool onMarker = false;
    return HitPoint(x, y, onMarker);
}

int TCustomSeries::PointClicked(int x, int y) {
    bool onMarker = false;
    const int index = HitPoint(x, y, onMarker);
    if (onMarker && OnClickPointer) OnClickPointer(this, index, x, y);
    return index;
}

int TCustomSeries::HitPoint(int x, int y, bool& onMarker) const {
    onMarker = false;
    if (FirstVisible() < 0) return -1;
    const TPoint screen{x, y};
    TCanvas3D* canvas3D = ParentChart() && ParentChart()->View3D() ? &ParentChart()->Canvas() : nullptr;
    if (canvas3D) canvas3D->ScreenToWorld(x, y, SeriesStartZ);
    // On a 3D chart the line is a band through the depth slot: the click is tested on the screen.
    auto onLine = [&](int ax, int ay, int bx, int by) {
        if (!canvas3D) return PointOnSegment(TPoint{x, y}, TPoint{ax, ay}, TPoint{bx, by});
        return Series3D::BandContains(*canvas3D, TPoint{ax, ay}, TPoint{bx, by},
                                      Series3D::TSlot{SeriesStartZ, SeriesEndZ}, screen);
    };
    // Nothing is drawn for a null point nor for a segment with a null end, so nothing is hit there.
    int px = 0, py = 0;
    bool prevShown = false;
    for (int i = FirstVisible(); i <= LastVisible() && i < PointCount(); ++i) {
        const int cx = PointScreenX(i), cy = PointScreenY(i);
        const bool shown = PointColor(i) != clNone;
        if (shown) {
            if (FPointer->Visible() && PointerHit(i, cx, cy, x, y)) {
                onMarker = true;
                return i;
            }
            if (cx == x && cy == y) return i;
        }
        if (shown && prevShown && FClickableLine) {
            const bool hit = FStairs ? (FInvertedStairs ? onLine(px, py, px, cy) || onLine(px, cy, cx, cy)
                                                        : onLine(px, py, cx, py) || onLine(cx, py, cx, cy))
                                     : onLine(px, py, cx, cy);
            if (hit) return i - 1;
        }
        px = cx;
        py = cy;
        prevShown = shown;
    }
    return -1;
}

// ---------------------------------------------------------------------------
TLineSeries::TLineSeries(TComponent* owner) : TCustomSeries(owner) {
    FDrawLine = true;
    Pointer().SetVisible(false);
    SetSinglePointResult(false);
}

void TLineSeries::Assign(const TPersistent* source) {
    TCustomSeries::Assign(source);
    if (!dynamic_cast<const TLineSeries*>(source)) Pointer().SetVisible(false);
}

void TLineSeries::EnumSubStyles(const std::function<void(const std::string&)>& callback) {
    TCustomSeries::EnumSubStyles(callback);
    if (!callback) return;
    const TPlotConst& c = PlotConst();
    for (const std::string* s : {&c.StyleStairs, &c.StylePoints, &c.StyleHeight, &c.StyleHollow, &c.StyleColors,
                                 &c.StyleMarks, &c.StyleNoBorder})
        callback(*s);
}

void TLineSeries::ApplySubStyle(TChartSeries* series, int index) {
    auto* s = dynamic_cast<TLineSeries*>(series);
    if (!s) return;
    switch (index) {
    case 1:
        s->SetStairs(true);
        break;
    case 2:
        s->Pointer().SetVisible(true);
        break;
    case 3:
        s->SetLineHeight(5);
        break;
    case 4:
        s->SetLineBrush(bsClear);
        break;
    case 5:
        s->SetColorEachPoint(true);
        break;
    case 6:
        s->Marks().SetVisible(true);
        break;
    case 7:
        s->Pen()->SetVisible(false);
        break;
    default:
        break;
    }
}

void TLineSeries::PrepareLegendSymbol(int index, TColor& backColor, TBrushStyle& brushStyle) {
    (void)index, (void)backColor;
    if (ParentChart()) ParentChart()->Canvas().SelectPen(*LinePen());
    brushStyle = LineBrush();
}

// ---------------------------------------------------------------------------
TPointSeries::TPointSeries(TComponent* owner) : TCustomSeries(owner) {
    ApplyPointSettings();
    Marks().Callout().SetLength(0);
}

void TPointSeries::ApplyPointSettings() {
    Pointer().SetVisible(true);
    FDrawArea = false;
    FDrawLine = false;
    SetClickableLine(false);
}

void TPointSeries::Assign(const TPersistent* source) {
    TCustomSeries::Assign(source);
    ApplyPointSettings();
}

void TPointSeries::SetColorEachPoint(bool value) {
    TCustomSeries::SetColorEachPoint(value);
    if (value) Pointer().Brush().SetColor(SeriesDefaultColor);
}

void TPointSeries::PrepareForGallery(bool enabled) {
    TCustomSeries::PrepareForGallery(enabled);
    TCustomAxisPanel* chart = ParentChart();
    const int size = chart && chart->Width() < 50 ? 4 : 6;
    Pointer().SetHorizSize(size);
    Pointer().SetVertSize(size);
    if (chart && chart->SeriesIndexOf(this) == 1) Pointer().SetStyle(psTriangle);
}

void TPointSeries::EnumSubStyles(const std::function<void(const std::string&)>& callback) {
    TCustomSeries::EnumSubStyles(callback);
    if (!callback) return;
    const TPlotConst& c = PlotConst();
    for (const std::string* s :
         {&c.StyleColors, &c.StyleMarks, &c.StyleHollow, &c.StyleNoBorder, &c.StyleGradient, &c.StylePoint2D,
          &c.StyleTriangle, &c.StyleStar, &c.StyleCircle, &c.StyleDownTriangle, &c.StyleCross, &c.StyleDiamond})
        callback(*s);
}

void TPointSeries::ApplySubStyle(TChartSeries* series, int index) {
    auto* s = dynamic_cast<TPointSeries*>(series);
    if (!s) return;
    TSeriesPointer& p = s->Pointer();
    switch (index) {
    case 1:
        s->SetColorEachPoint(true);
        break;
    case 2:
        s->Marks().SetVisible(true);
        break;
    case 3:
        p.Brush().SetStyle(bsClear);
        break;
    case 4:
        p.Pen().SetVisible(false);
        break;
    case 5:
        p.Gradient().SetVisible(true);
        break;
    case 6:
        p.SetDraw3D(false);
        break;
    case 7:
        p.SetStyle(psTriangle);
        break;
    case 8:
        p.SetStyle(psStar);
        break;
    case 9:
        p.SetStyle(psCircle);
        p.SetHorizSize(8);
        p.SetVertSize(8);
        break;
    case 10:
        p.SetStyle(psDownTriangle);
        break;
    case 11:
        p.SetStyle(psCross);
        break;
    case 12:
        p.SetStyle(psDiamond);
        break;
    default:
        break;
    }
}
