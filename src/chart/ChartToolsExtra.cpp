#include "ChartToolsExtra.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <functional>
#include <cmath>
#include <limits>
#include <vector>

#include "AxisPanel.h"
#include "Chart.h"
#include "ChartAxis.h"
#include "ChartMessages.h"
#include "ChartUtils.h"
#include "MessagePump.h"
#include "PlotCanvas.h"
#include "Rounding.h"
#include "ScopeExit.h"

namespace {

template <class T>
TObject* CreateTool(TObject* owner) {
    return new T(dynamic_cast<TComponent*>(owner));
}

TCustomChart* ChartOf(TCustomAxisPanel* panel) { return dynamic_cast<TCustomChart*>(panel); }

// The frames of an animation that can differ: a value moves in a straight
// line, so it crosses at most the chart's larger side in pixels, and frames
// closer together than a pixel show the same picture. The default count is
// always shown in full.
int ShownAnimationSteps(int steps, const TCustomAxisPanel* chart) {
    constexpr int Largest = 8192;
    const int side = chart ? std::max(chart->Width(), chart->Height()) : Largest;
    return std::clamp(steps, 1, std::max(100, std::min(side, Largest)));
}

}  // namespace

const TClassInfo TNearestTool::ClassInfo{"TNearestTool", CreateTool<TNearestTool>};
const TClassInfo TColorBandTool::ClassInfo{"TColorBandTool", CreateTool<TColorBandTool>};
const TClassInfo TColorLineTool::ClassInfo{"TColorLineTool", CreateTool<TColorLineTool>};
const TClassInfo TRotateTool::ClassInfo{"TRotateTool", CreateTool<TRotateTool>};
const TClassInfo TChartImageTool::ClassInfo{"TChartImageTool", CreateTool<TChartImageTool>};
const TClassInfo TMarksTipTool::ClassInfo{"TMarksTipTool", CreateTool<TMarksTipTool>};
const TClassInfo TAnnotationTool::ClassInfo{"TAnnotationTool", CreateTool<TAnnotationTool>};
const TClassInfo TSeriesAnimationTool::ClassInfo{"TSeriesAnimationTool", CreateTool<TSeriesAnimationTool>};
const TClassInfo TGridBandTool::ClassInfo{"TGridBandTool", CreateTool<TGridBandTool>};

namespace {

// Every tool kind joins the registry of tool types (and of classes made by name)
// while the program runs, in this order.
std::vector<TClass> ToolClasses() {
    return {&TCursorTool::ClassInfo,    &TDragMarksTool::ClassInfo,  &TAxisArrowTool::ClassInfo,
            &TDrawLineTool::ClassInfo,  &TNearestTool::ClassInfo,    &TColorBandTool::ClassInfo,
            &TColorLineTool::ClassInfo, &TRotateTool::ClassInfo,     &TChartImageTool::ClassInfo,
            &TMarksTipTool::ClassInfo,  &TAnnotationTool::ClassInfo, &TSeriesAnimationTool::ClassInfo,
            &TGridBandTool::ClassInfo};
}

struct ToolRegistration {
    ToolRegistration() { RegisterPlotTools(ToolClasses()); }
    ~ToolRegistration() { UnRegisterPlotTools(ToolClasses()); }
};
const ToolRegistration toolRegistration;

}  // namespace

// ---------------------------------------------------------------------------
void TGridBandBrush::SetBackColor(TColor value) {
    if (FBackColor == value) return;
    FBackColor = value;
    if (OnChange) OnChange(this);
}

void TGridBandBrush::SetTransparency(int value) {
    value = std::clamp(value, 0, 100);
    if (FTransparency == value) return;
    FTransparency = value;
    if (OnChange) OnChange(this);
}

TGridBandTool::TGridBandTool(TComponent* owner)
    : TPlotCustomToolAxis(owner),
      FBand1([this](TObject*) { RepaintChart(); }),
      FBand2([this](TObject*) { RepaintChart(); }) {}

TGridBandTool::~TGridBandTool() { ReleaseGridHook(); }

std::string TGridBandTool::DisplayText() const { return PlotExtConst().ToolNameGridBand; }

namespace {

// Calls f for each grid-band tool of the axis' chart that stands on the axis, in tool order.
template <class F>
void ForGridBandTools(TChartAxis* axis, F f) {
    TCustomAxisPanel* chart = axis->ParentChart();
    if (!chart) return;
    TChartTools& tools = chart->Tools();
    for (int i = 0; i < tools.Count(); ++i)
        if (auto* t = dynamic_cast<TGridBandTool*>(tools[i]); t && t->Axis() == axis) f(t);
}

}  // namespace

// An axis has one grid hook, shared by all grid-band tools on it: each draws its bands
// through it, and the hook goes only with the last of them.
void TGridBandTool::SetAxis(TChartAxis* value) {
    ReleaseGridHook();
    TPlotCustomToolAxis::SetAxis(value);
    if (value)
        value->GridHook = [](TChartAxis* axis) {
            ForGridBandTools(axis, [axis](TGridBandTool* t) { t->DrawBands(axis); });
        };
}

void TGridBandTool::ReleaseGridHook() {
    TChartAxis* axis = Axis();
    if (!axis) return;
    bool shared = false;
    ForGridBandTools(axis, [&](TGridBandTool* t) { shared = shared || t != this; });
    if (!shared) axis->GridHook = nullptr;
}

// A band without a colour of its own leaves the plot as it is: painted in any colour it
// would cover the back wall and the grids drawn before it.
bool TGridBandTool::Paints(const TGridBandBrush& band) {
    return band.Style() != bsClear && (band.Color() != clDefault || band.ImageGraphic());
}

void TGridBandTool::DrawBand(TChartAxis* axis, const TGridBandBrush& band, int p0, int p1) {
    if (!Paints(band)) return;
    TCustomAxisPanel* panel = ParentChart();
    TCanvas3D& canvas = panel->Canvas();
    TColor back = band.BackColor();
    if (back == clNone)
        if (TCustomChart* chart = ChartOf(panel)) back = chart->BackWall().Color();
    canvas.SelectBrush(band, band.Color(), back);
    const TRect& plot = panel->PlotRect();
    TRect r = axis->Horizontal() ? TRect{p0, plot.Top, p1, plot.Bottom} : TRect{plot.Left + 1, p0, plot.Right, p1 + 1};
    r = OrientRect(r);
    const bool is3D = panel->View3D();
    const int z = panel->ChartDepth3D();
    std::unique_ptr<TPlotBlend> blend;
    if (band.Transparency() > 0)
        blend = canvas.BeginTransparency(is3D ? canvas.RectBoundsAtDepth(r, z) : r, band.Transparency());
    const ScopeExit endBlend([&] {
        if (blend) canvas.EndTransparency(std::move(blend));
    });
    if (is3D)
        canvas.DrawRectangleAtDepth(r, z);
    else
        canvas.DrawRectangle(r.Left, r.Top, r.Right + 1, r.Bottom);
}

void TGridBandTool::DrawBands(TChartAxis* axis) {
    TCustomAxisPanel* panel = ParentChart();
    if (!Active() || !axis || !panel) return;
    std::vector<int> t = axis->TickPositions;
    // no tick, no band: nothing is read from an empty list
    if (t.empty()) return;
    // the bands run from the axis' far end (right, top) back to its start
    if (axis->Horizontal())
        std::sort(t.begin(), t.end(), std::greater<int>());
    else
        std::sort(t.begin(), t.end());
    const std::size_t n = t.size() - 1;
    if (!((n > 0 && Paints(FBand1)) || Paints(FBand2))) return;
    if (TCanvas* device = panel->Canvas().Canvas()) device->Pen().SetStyle(psClear);
    const TGridBandBrush* band = &FBand1;
    auto next = [&] { band = band == &FBand1 ? &FBand2 : &FBand1; };
    if (axis->Horizontal() ? t[0] < axis->EndPixel() : axis->StartPixel() < t[0]) {
        DrawBand(axis, *band, axis->Horizontal() ? axis->EndPixel() - 1 : axis->StartPixel() + 1, t[0]);
        next();
    }
    for (std::size_t i = 0; i < n; ++i) {
        DrawBand(axis, *band, t[i], t[i + 1]);
        next();
    }
    if (axis->Horizontal() && axis->StartPixel() < t[n]) DrawBand(axis, *band, t[n], axis->StartPixel());
    if (!axis->Horizontal() && t[n] < axis->EndPixel()) DrawBand(axis, *band, t[n], axis->EndPixel());
    if (TCanvas* device = panel->Canvas().Canvas()) device->Pen().SetStyle(psSolid);
}

// ---------------------------------------------------------------------------
TColorBandTool::TColorBandTool(TComponent* owner) : TPlotCustomToolAxis(owner) {
    FGradient.OnChange = [this](TObject*) { RepaintChart(); };
}

std::string TColorBandTool::DisplayText() const { return PlotExtConst().ToolNameColorBand; }

bool TColorBandTool::BandRect(TRect& r) const {
    const TChartAxis* axis = Axis();
    const TCustomAxisPanel* panel = ParentChart();
    if (!axis || !panel) return false;
    double s = FStartValue, e = FEndValue;
    // a band given from its high end is the same band
    if (axis->Inverted() ? s < e : s > e) std::swap(s, e);
    if (std::max(s, e) < axis->Minimum() || std::min(s, e) > axis->Maximum()) return false;
    const bool penVisible = Pen()->Visible();
    r = panel->PlotRect();
    if (axis->Horizontal()) {
        r.Left = std::max(axis->StartPixel(), axis->ValueToPixel(s));
        r.Right = std::min(axis->EndPixel(), axis->ValueToPixel(e));
        if (!penVisible) ++r.Right;
    } else {
        r.Top = std::max(axis->StartPixel(), axis->ValueToPixel(e));
        r.Bottom = std::min(axis->EndPixel(), axis->ValueToPixel(s));
        ++r.Left;
        if (!penVisible) ++r.Bottom, ++r.Right;
    }
    return true;
}

void TColorBandTool::PaintBand() {
    TRect r;
    if (!BandRect(r)) return;
    TCustomAxisPanel* panel = ParentChart();
    TCanvas3D& canvas = panel->Canvas();
    const bool is3D = panel->View3D();
    const int z = FDrawBehind ? panel->ChartDepth3D() : 0;
    canvas.SelectBrush(*Brush(), FColor, clNone);
    canvas.SelectPen(*Pen());
    if (FGradient.Visible() && panel->View3DOptions().Orthogonal()) {
        const TRect inner{r.Left, r.Top, r.Right - 1, r.Bottom - 1};
        FGradient.Draw(canvas, is3D ? canvas.RectBoundsAtDepth(inner, z) : inner);
        if (TCanvas* device = canvas.Canvas()) device->Brush().SetStyle(bsClear);
    }
    std::unique_ptr<TPlotBlend> blend;
    if (FTransparency > 0) blend = canvas.BeginTransparency(is3D ? canvas.RectBoundsAtDepth(r, z) : r, FTransparency);
    const ScopeExit endBlend([&] {
        if (blend) canvas.EndTransparency(std::move(blend));
    });
    if (is3D)
        canvas.DrawRectangleAtDepth(r, z);
    else
        canvas.DrawRectangle(r);
}

void TColorBandTool::ChartStageNotify(TChartToolStage stage) {
    if ((stage == ctsBeforeSeries && FDrawBehind) || (stage == ctsAfterDraw && !FDrawBehind)) PaintBand();
}

// ---------------------------------------------------------------------------
TColorLineTool::TColorLineTool(TComponent* owner) : TPlotCustomToolAxis(owner) {}

std::string TColorLineTool::DisplayText() const { return PlotExtConst().ToolNameColorLine; }

void TColorLineTool::SetValue(double value) {
    // a line that stood at the axis' end or centre moves even when the value was stored already
    if (FValue == value && FStyle == clCustom) return;
    FStyle = clCustom;
    FValue = value;
    if (!FDragging || FDragRepaint) RepaintChart();
}

double TColorLineTool::LineValue() const {
    const TChartAxis* axis = Axis();
    if (!axis) return FValue;
    switch (FStyle) {
    case clMaximum:
        return axis->Maximum();
    case clCenter:
        return (axis->Maximum() + axis->Minimum()) * 0.5;
    case clMinimum:
        return axis->Minimum();
    default:
        return FValue;
    }
}

double TColorLineTool::LimitValue(double value) const {
    const TChartAxis* axis = Axis();
    if (FNoLimitDrag || !axis) return value;
    const double a = axis->PixelToValue(axis->StartPixel()), b = axis->PixelToValue(axis->EndPixel());
    return std::clamp(value, std::min(a, b), std::max(a, b));
}

// Only where the line is drawn is kept inside the axis: the stored value stays
// what the user set, so that a zoom and its undo find the line where it was.
double TColorLineTool::DrawnValue() const { return LimitValue(LineValue()); }

void TColorLineTool::DrawColorLine(bool back) {
    TChartAxis* axis = Axis();
    TCustomAxisPanel* panel = ParentChart();
    TCanvas3D& canvas = panel->Canvas();
    const TRect& plot = panel->PlotRect();
    const int p = axis->ValueToPixel(DrawnValue());
    const int depth = panel->ChartDepth3D();
    const bool is3D = panel->View3D();
    const bool h = axis->Horizontal();
    if (back) {
        if (FDraw3D && is3D) {
            if (h)
                canvas.DrawDepthLine(p, plot.Bottom, depth, 0);
            else
                canvas.DrawDepthLine(plot.Left, p, depth, 0);
        }
        if (FDrawBehind || FDraw3D) {
            if (h)
                canvas.DrawVerticalLine3D(p, plot.Top, plot.Bottom, depth);
            else
                canvas.DrawHorizontalLine3D(plot.Left, plot.Right, p, depth);
        }
        return;
    }
    if (FDraw3D && is3D) {
        if (h)
            canvas.DrawDepthLine(p, plot.Top, depth, 0);
        else
            canvas.DrawDepthLine(plot.Right, p, depth, 0);
    }
    if (!FDrawBehind) {
        if (h)
            canvas.DrawVerticalLine3D(p, plot.Top, plot.Bottom, 0);
        else
            canvas.DrawHorizontalLine3D(plot.Left, plot.Right, p, 0);
    }
}

void TColorLineTool::ChartStageNotify(TChartToolStage stage) {
    TCustomAxisPanel* panel = ParentChart();
    if (!Axis() || !panel || stage == ctsBeforeDraw) return;
    TCanvas3D& canvas = panel->Canvas();
    canvas.SelectPen(*Pen());
    canvas.SetBackgroundMode(TRANSPARENT);
    // A drag without repaints leaves the line out of the picture and draws it over the
    // finished one, where each move can take it away again without a full draw.
    const bool dragLine = FDragging && !FDragRepaint;
    if (stage == ctsBeforeSeries) {
        if (!dragLine) DrawColorLine(true);
    } else if (dragLine) {
        DrawDragLine();
    } else {
        DrawColorLine(false);
    }
}

// Drawn twice at one place, a not-XOR line leaves the pixels under it as they were.
void TColorLineTool::DrawDragLine() {
    TCustomAxisPanel* panel = ParentChart();
    TCanvas* device = panel->Canvas().Canvas();
    if (!device) return;
    panel->Canvas().SelectPen(*Pen());
    device->Pen().SetMode(pmNotXor);
    // flat, the two passes would fall on the same pixels and cancel out
    if (panel->View3D()) {
        DrawColorLine(true);
        DrawColorLine(false);
    } else {
        DrawColorLine(FDrawBehind);
    }
    device->Pen().SetMode(pmCopy);
    FDragLineShown = true;
}

bool TColorLineTool::Clicked(int x, int y) const {
    const TChartAxis* axis = Axis();
    const TCustomAxisPanel* panel = ParentChart();
    if (!axis || !panel) return false;
    const int p = axis->ValueToPixel(DrawnValue());
    const TRect& plot = panel->PlotRect();
    if (axis->Horizontal()) return std::abs(x - p) <= 2 && y >= plot.Top && y <= plot.Bottom;
    return std::abs(y - p) <= 2 && x >= plot.Left && x <= plot.Right;
}

void TColorLineTool::DoEndDragLine() {
    if (OnEndDragLine) OnEndDragLine(this);
}

void TColorLineTool::ChartMouseNotify(TPlotMouseEventKind kind, TMouseButton button, TShiftState shift, int x, int y) {
    (void)button, (void)shift;
    TChartAxis* axis = Axis();
    TCustomAxisPanel* panel = ParentChart();
    if (!axis || !panel || !FAllowDrag) return;
    const auto alive = FLife.Token();
    if (kind == pmeDown) {
        if (!Clicked(x, y)) return;
        FDragging = true;
        FDragLineShown = false;
        panel->CancelMouse = true;
    } else if (kind == pmeUp) {
        const bool wasDragging = FDragging;
        FDragging = false;
        FDragLineShown = false;
        if (wasDragging && !FDragRepaint) RepaintChart();
        DoEndDragLine();
    } else if (FDragging) {
        const double v = LimitValue(axis->PixelToValue(axis->Horizontal() ? x : y));
        const bool moved = !FDragRepaint && v != LineValue();
        if (FDragRepaint) {
            SetValue(v);
        } else if (moved) {
            if (FDragLineShown) DrawDragLine();
            FStyle = clCustom;
            FValue = v;
        }
        panel->CancelMouse = true;
        if (OnDragLine) OnDragLine(this);
        if (alive.expired() || !moved) return;
        // The first move draws the picture once without the line (the line in copy mode
        // cannot be taken away); later ones only move the line over it.
        if (!FDragLineShown) return RepaintChart();
        DrawDragLine();
        if (panel->RequestRepaint) panel->RequestRepaint();
    } else if (Clicked(x, y)) {
        panel->SetMouseCursor(axis->Horizontal() ? crHSplit : crVSplit);
        panel->CancelMouse = true;
    }
}

// ---------------------------------------------------------------------------
TNearestTool::TNearestTool(TComponent* owner) : TPlotCustomToolSeries(owner) {
    Brush()->SetStyle(bsClear);
    Pen()->SetStyle(psDot);
    Pen()->SetColor(clWhite);
}

std::string TNearestTool::DisplayText() const { return PlotExtConst().ToolNameNearestPoint; }

int TNearestTool::GetNearestPoint(int x, int y) const {
    const TChartSeries* s = Series();
    const TCustomAxisPanel* panel = s ? s->ParentChart() : nullptr;
    if (!panel || s->FirstVisible() < 0) return -1;
    const TRect& plot = panel->PlotRect();
    int best = -1;
    long long bestDistance = 10000;
    const int last = std::min(s->LastVisible(), s->PointCount() - 1);
    for (int i = s->FirstVisible(); i <= last; ++i) {
        const int px = s->PointScreenX(i), py = s->PointScreenY(i);
        if (px < plot.Left || px >= plot.Right || py < plot.Top || py >= plot.Bottom) continue;
        // in doubles: far pixels square beyond 32 bits
        const double dx = double(x) - px, dy = double(y) - py;
        const long long d = std::llround(std::sqrt(dx * dx + dy * dy));
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}

void TNearestTool::PaintHint(bool exclusiveOr) {
    TChartSeries* s = Series();
    TCustomAxisPanel* panel = ParentChart();
    if (!s || !panel || FPoint < 0 || FPoint >= s->PointCount()) return;
    TCanvas3D& canvas = panel->Canvas();
    TCanvas* device = canvas.Canvas();
    if (!device) return;
    canvas.SelectPen(*Pen());
    if (exclusiveOr) device->Pen().SetMode(pmNotXor);
    canvas.SelectBrush(*Brush());
    const int x = s->PointScreenX(FPoint), y = s->PointScreenY(FPoint), z = s->SeriesStartZ;
    const bool is3D = panel->View3D();
    const TRect r{x - FSize, y - FSize, x + FSize, y + FSize};
    switch (FStyle) {
    case hsCircle:
        if (is3D)
            canvas.DrawEllipse3D(r, z);
        else
            canvas.DrawEllipse(r);
        break;
    case hsRectangle:
        if (is3D)
            canvas.DrawRectangleAtDepth(r, z);
        else
            canvas.DrawRectangle(r);
        break;
    case hsDiamond: {
        const TPoint p[4] = {{x, y - FSize}, {x + FSize, y}, {x, y + FSize}, {x - FSize, y}};
        if (is3D)
            canvas.DrawPolygonAtDepth(p, 3, z);
        else
            canvas.DrawPolygon(p, 3);
        break;
    }
    case hsNone:
        break;
    }
    if (FDrawLine) {
        device->Pen().SetStyle(psSolid);
        canvas.DrawSegment(FMouse.x, FMouse.y, x, y);
    }
    device->Pen().SetMode(pmCopy);
}

void TNearestTool::ChartStageNotify(TChartToolStage stage) {
    // drawn as the mouse left it; without full repaints in the mode the next move erases
    if (stage == ctsAfterDraw) PaintHint(!FFullRepaint);
}

void TNearestTool::ChartMouseNotify(TPlotMouseEventKind kind, TMouseButton button, TShiftState shift, int x, int y) {
    (void)button, (void)shift;
    TCustomAxisPanel* panel = ParentChart();
    if (kind != pmeMove || !Series() || !panel) return;
    if (!FFullRepaint) PaintHint(true);
    FPoint = GetNearestPoint(x, y);
    FMouse = TPoint{x, y};
    if (!FFullRepaint) {
        PaintHint(true);
        if (panel->RequestRepaint) panel->RequestRepaint();
    }
    const auto alive = FLife.Token();
    if (OnChange) OnChange(this);
    if (!alive.expired() && FFullRepaint) panel->Invalidate();
}

// ---------------------------------------------------------------------------
TAnnotationCallout::TAnnotationCallout(TChartSeries* series) : TCallout(series) {
    Hide();
    // hidden is where this arrow starts, so hidden is its default
    Arrow().SetDefaults(false, Arrow().EndStyle());
}

void TAnnotationCallout::Assign(const TPersistent* source) {
    if (const auto* c = dynamic_cast<const TAnnotationCallout*>(source)) {
        SetXPosition(c->FXPosition);
        SetYPosition(c->FYPosition);
        SetZPosition(c->FZPosition);
    }
    TCallout::Assign(source);
}

TAnnotationTool::TAnnotationTool(TComponent* owner) : TPlotCustomTool(owner), FShape(nullptr), FCallout(nullptr) {}

std::string TAnnotationTool::DisplayText() const { return PlotExtConst().ToolNameAnnotation; }

void TAnnotationTool::SetParentChart(TCustomAxisPanel* value) {
    TPlotCustomTool::SetParentChart(value);
    FShape.SetParentChart(value);
    FCallout.SetParentChart(value);
}

void TAnnotationTool::SetPosition(TAnnotationPosition value) {
    FShape.SetCustomPosition(false);
    SetValue(FPosition, value);
}

void TAnnotationTool::DrawText() {
    TCustomAxisPanel* panel = ParentChart();
    TCanvas3D& canvas = panel->Canvas();
    const std::string text = FText.empty() ? std::string(" ") : FText;
    canvas.SelectFont(FShape.Font());
    const int h = canvas.TextLineHeight();
    int lines = 0;
    const int w = panel->MultiLineTextWidth(text, lines);
    const int height = lines * h;
    int x = 10, y = 10;
    if (FShape.CustomPosition()) {
        x = FShape.Left() + 4;
        y = FShape.Top() + 2;
    } else {
        if (FPosition == ppRightTop || FPosition == ppRightBottom) x = panel->Width() - w - 8;
        if (FPosition == ppLeftBottom || FPosition == ppRightBottom) y = panel->Height() - height - 8;
    }
    const TRect box{x - 4, y - 2, x + w + 2, y + height + 2};
    FShape.SetShapeBounds(box);
    if (FShape.Visible()) FShape.DrawShape(canvas, box);
    canvas.SetBackgroundMode(TRANSPARENT);
    int tx = x;
    if (FTextAlignment == taLeftJustify) {
        canvas.SetTextAlignment(TA_LEFT | TA_TOP);
    } else if (FTextAlignment == taCenter) {
        canvas.SetTextAlignment(TA_CENTER | TA_TOP);
        tx = (box.Left + box.Right) / 2 + 2;
    } else {
        canvas.SetTextAlignment(TA_RIGHT | TA_TOP);
        tx = box.Right - 2;
    }
    const std::vector<std::string> parts = SplitMarkLines(text);
    for (std::size_t i = 0; i < parts.size(); ++i) canvas.WriteText(tx, y + static_cast<int>(i) * h, parts[i]);
    canvas.SetTextAlignment(TA_LEFT | TA_TOP);
    if (!FCallout.Visible() && !FCallout.Arrow().Visible()) return;
    TPoint target{FCallout.XPosition(), FCallout.YPosition()};
    auto side = [](int p, int lo, int hi) { return p > hi ? hi : p < lo ? lo : (lo + hi) / 2; };
    const TPoint start{side(target.x, box.Left, box.Right), side(target.y, box.Top, box.Bottom)};
    if (FCallout.Distance() != 0) {
        const double dx = double(start.x) - target.x, dy = double(start.y) - target.y;
        const double length = std::hypot(dx, dy);
        if (length > 0) {
            target.x += RoundHalfEven32(dx * FCallout.Distance() / length);
            target.y += RoundHalfEven32(dy * FCallout.Distance() / length);
        }
    }
    FCallout.Draw(canvas, panel->View3D(), FCallout.Brush().Color(), start, target, FCallout.ZPosition());
}

void TAnnotationTool::ChartStageNotify(TChartToolStage stage) {
    if (stage == ctsAfterDraw && ParentChart()) DrawText();
}

void TAnnotationTool::ChartMouseNotify(TPlotMouseEventKind kind, TMouseButton button, TShiftState shift, int x, int y) {
    TCustomAxisPanel* panel = ParentChart();
    if (!panel || !RectContainsPoint(Bounds(), TPoint{x, y})) return;
    if (kind == pmeDown && OnClick) {
        OnClick(this, button, shift, x, y);
    } else if (kind == pmeMove && FCursor != 0) {
        panel->SetMouseCursor(static_cast<TCursor>(FCursor));
        panel->CancelMouse = true;
    }
}

// ---------------------------------------------------------------------------
TSeriesAnimationTool::TSeriesAnimationTool(TComponent* owner) : TPlotCustomToolSeries(owner) {
    ShowFrame = [](TCustomAxisPanel* chart) {
        chart->Invalidate();
        ProcessMessages();
    };
}

// Freed while running: the series keeps its own values and its notifications.
TSeriesAnimationTool::~TSeriesAnimationTool() { EndRun(true); }

std::string TSeriesAnimationTool::DisplayText() const { return PlotExtConst().ToolNameSeriesAnimation; }

// Another series (or none) while running: the one being animated gets its values back.
void TSeriesAnimationTool::SetSeries(TChartSeries* value) {
    if (value != FAnimated) EndRun(true);
    TPlotCustomToolSeries::SetSeries(value);
}

void TSeriesAnimationTool::Notification(TComponent* component, TOperation operation) {
    if (operation == opRemove && component == FAnimated) FAnimated = nullptr;
    TPlotCustomToolSeries::Notification(component, operation);
}

void TSeriesAnimationTool::EndRun(bool restore) {
    TChartSeries* series = FAnimated;
    FAnimated = nullptr;
    if (series) {
        if (restore) RestoreValues(*series);
        series->ResumeNotify();
    }
    FTarget.clear();
    FKeys.clear();
}

// The points are known by their other values, which the run leaves alone. A handler may add
// or delete points: those matching from either end, before and after its change, get their
// own values back, and points it added keep the values it gave them.
void TSeriesAnimationTool::RestoreValues(TChartSeries& series) const {
    TChartValueList* values = series.PrimaryValues();
    const TChartValueList* keys = series.SecondaryValues();
    const int count = values->Count(), held = static_cast<int>(FTarget.size());
    const int most = std::min({count, held, keys->Count(), static_cast<int>(FKeys.size())});
    const auto same = [&](int now, int then) {
        return std::bit_cast<std::uint64_t>(keys->Data()[now]) ==
               std::bit_cast<std::uint64_t>(FKeys[static_cast<std::size_t>(then)]);
    };
    int head = 0;
    while (head < most && same(head, head)) ++head;
    int tail = 0;
    while (tail < most - head && same(count - 1 - tail, held - 1 - tail)) ++tail;
    for (int i = 0; i < head; ++i) values->SetValue(i, FTarget[static_cast<std::size_t>(i)]);
    for (int k = 1; k <= tail; ++k) values->SetValue(count - k, FTarget[static_cast<std::size_t>(held - k)]);
}

void TSeriesAnimationTool::RunAnimation() {
    TChartSeries* series = Series();
    if (!series || !FIdle) return;
    // a tool outside any chart shows its frames in the series' chart
    TCustomAxisPanel* chart = ParentChart() ? ParentChart() : series->ParentChart();
    TChartValueList* values = series->PrimaryValues();
    const int count = values->Count();
    // the values to reach, kept aside while the series shows the frames
    FTarget.assign(values->Data(), values->Data() + count);
    const TChartValueList* keys = series->SecondaryValues();
    FKeys.assign(keys->Data(), keys->Data() + keys->Count());
    const std::vector<double>& target = FTarget;
    const auto alive = FLife.Token();
    FIdle = false;
    FAnimated = series;
    series->SuspendNotify();
    // a series or tool freed by a handler or while a frame was shown is left alone; points
    // added or deleted there end the run
    auto gone = [&] {
        return alive.expired() || FAnimated != series || Series() != series ||
               series->PrimaryValues()->Count() != count;
    };
    bool finished = false;
    const ScopeExit finish([&] {
        if (alive.expired()) return;
        // a run cut short leaves the series its own values, not a frame
        EndRun(!finished);
        FIdle = true;
    });
    const double start = FStartAtMin ? values->LowestValue() : FStartValue;
    for (int i = 0; i < count; ++i) values->SetValue(i, start);
    auto show = [&] {
        if (chart && ShowFrame) ShowFrame(chart);
        return !gone();
    };
    if (!show()) return;
    const int steps = ShownAnimationSteps(FSteps, chart);
    const int group = FDrawEvery <= 0 ? std::max(count, 1) : FDrawEvery;
    for (int first = 0; first < count; first += group) {
        const int end = std::min(count, first + group);
        for (int d = 0; d <= steps; ++d) {
            const double f = static_cast<double>(d) / steps;
            // the last frame sets the values themselves, free of rounding
            for (int j = first; j < end; ++j)
                values->SetValue(j, d == steps ? target[static_cast<std::size_t>(j)]
                                               : start + (target[static_cast<std::size_t>(j)] - start) * f);
            if (OnStep) OnStep(this, d);
            if (gone() || !show()) return;
            values = series->PrimaryValues();
        }
    }
    finished = true;
}

// ---------------------------------------------------------------------------
TRotateTool::TRotateTool(TComponent* owner) : TPlotCustomTool(owner) {
    // the outline is off until asked for, and off is its default
    Pen()->SetDefaults(false, Pen()->EndStyle());
    Pen()->SetMode(pmXor);
    Pen()->SetColor(clWhite);
}

std::string TRotateTool::DisplayText() const { return PlotExtConst().ToolNameRotate; }

int TRotateTool::TurnRotation(int rotation, int delta) {
    int r = rotation + delta;
    if (delta > 0) {
        if (r > 360) r -= 360;
        if (r >= 91 && r <= 269) r = 90;
    } else if (delta < 0) {
        if (r < 0) r += 360;
        if (r >= 91 && r <= 269) r = 270;
    }
    return r;
}

int TRotateTool::TurnElevation(int elevation, int delta) { return std::clamp(elevation + delta, 270, 360); }

void TRotateTool::DrawOutline() {
    TCustomAxisPanel* panel = ParentChart();
    TCanvas3D& canvas = panel->Canvas();
    TCanvas* device = canvas.Canvas();
    if (!device) return;
    canvas.SelectPen(*Pen());
    device->Pen().SetMode(pmXor);
    device->Brush().SetStyle(bsClear);
    const TRect& r = panel->PlotRect();
    const int depth = panel->ChartDepth3D();
    canvas.DrawRectangleAtDepth(r, 0);
    canvas.DrawRectangleAtDepth(r, depth);
    for (const TPoint& p :
         {TPoint{r.Left, r.Top}, TPoint{r.Right, r.Top}, TPoint{r.Right, r.Bottom}, TPoint{r.Left, r.Bottom}})
        canvas.DrawDepthLine(p.x, p.y, 0, depth);
    device->Pen().SetMode(pmCopy);
}

void TRotateTool::MouseMove(int x, int y) {
    TCustomAxisPanel* panel = ParentChart();
    // a panel of no width or height turns nothing
    const int a0 = panel->Width() > 0 ? RoundHalfEven32((x - FLast.x) * 90.0 / panel->Width()) : 0;
    const int b0 = panel->Height() > 0 ? RoundHalfEven32((FLast.y - y) * 90.0 / panel->Height()) : 0;
    const int a = FInverted ? -a0 : a0, b = FInverted ? -b0 : b0;
    const bool outline = Pen()->Visible();
    if (outline) {
        if (FFirstMove) {
            FOldAutoRepaint = panel->AutoRepaint();
            panel->SetAutoRepaint(false);
        } else {
            DrawOutline();
        }
    }
    FFirstMove = false;
    panel->SetView3D(true);
    TView3DOptions& view = panel->View3DOptions();
    view.SetOrthogonal(false);
    const bool turn = FStyle != rsElevation, lift = FStyle != rsRotation;
    if (panel->Canvas().IsHardware3D()) {
        auto wrap = [](int v) { return v > 360 ? v - 360 : v < 0 ? v + 360 : v; };
        if (turn) view.SetRotation(wrap(view.Rotation() + a));
        if (lift) view.SetElevation(wrap(view.Elevation() + b));
    } else {
        if (turn && a != 0) view.SetRotation(TurnRotation(view.Rotation(), a));
        if (lift && b != 0) view.SetElevation(TurnElevation(view.Elevation(), b));
    }
    FLast = TPoint{x, y};
    panel->CancelMouse = true;
    if (outline) {
        panel->Canvas().SetProjectionCenter(panel->ChartDepth3D(), panel->PlotRect());
        DrawOutline();
        if (panel->RequestRepaint) panel->RequestRepaint();
    }
    if (OnRotate) OnRotate(this);
}

void TRotateTool::ChartMouseNotify(TPlotMouseEventKind kind, TMouseButton button, TShiftState shift, int x, int y) {
    (void)shift;
    TCustomAxisPanel* panel = ParentChart();
    if (!panel) return;
    if (kind == pmeDown && button == FButton) {
        FDragging = true;
        FLast = TPoint{x, y};
        FFirstMove = true;
        panel->CancelMouse = true;
    } else if (kind == pmeMove && FDragging) {
        MouseMove(x, y);
    } else if (kind == pmeUp && FDragging) {
        FDragging = false;
        if (Pen()->Visible() && !FFirstMove) {
            panel->SetAutoRepaint(FOldAutoRepaint);
            panel->Invalidate();
        }
    }
}

// ---------------------------------------------------------------------------
TChartImageTool::TChartImageTool(TComponent* owner) : TPlotCustomToolSeries(owner) {
    FPicture.OnChange = [this](TObject*) { RepaintChart(); };
}

std::string TChartImageTool::DisplayText() const { return PlotExtConst().ToolNameImage; }

TRect TChartImageTool::ImageRect() const {
    const TChartAxis* h = GetHorizAxis();
    const TChartAxis* v = GetVertAxis();
    if (!h || !v) return TRect{0, 0, 0, 0};
    if (const TChartSeries* s = Series())
        return TRect{h->ValueToPixel(s->LowestX()), v->ValueToPixel(s->HighestY()), h->ValueToPixel(s->HighestX()),
                     v->ValueToPixel(s->LowestY())};
    return TRect{h->ValueToPixel(h->Minimum()), v->ValueToPixel(v->Maximum()), h->ValueToPixel(h->Maximum()),
                 v->ValueToPixel(v->Minimum())};
}

void TChartImageTool::ChartStageNotify(TChartToolStage stage) {
    TCustomAxisPanel* panel = ParentChart();
    const TBitmap* graphic = FPicture.Graphic();
    if (stage != ctsBeforeSeries || !panel || !graphic || graphic->Empty()) return;
    TCanvas3D& canvas = panel->Canvas();
    const TRect& plot = panel->PlotRect();
    const int depth = panel->ChartDepth3D();
    canvas.ClipToCube(TRect{plot.Left, plot.Top, plot.Right, plot.Bottom + 1}, 0, depth);
    const ScopeExit unclip([&] { canvas.RemoveClipping(); });
    const TRect r = ImageRect();
    if (!panel->View3D() || panel->View3DOptions().Orthogonal())
        canvas.StretchGraphic(canvas.RectBoundsAtDepth(r, depth), graphic);
    else
        canvas.DrawImageAtDepth(r, graphic, depth);
}

// ---------------------------------------------------------------------------
TMarksTipTool::TMarksTipTool(TComponent* owner) : TPlotCustomToolSeries(owner) {}

std::string TMarksTipTool::DisplayText() const { return PlotExtConst().ToolNameMarkTips; }

int TMarksTipTool::MouseDelay() const { return HintPause(); }

void TMarksTipTool::SetMouseDelay(int value) { SetHintPause(value); }

void TMarksTipTool::ClearHint() {
    TCustomAxisPanel* chart = Series() ? Series()->ParentChart() : ParentChart();
    if (chart) chart->SetHint({}, 0, 0);
}

void TMarksTipTool::SetActive(bool value) {
    TPlotCustomToolSeries::SetActive(value);
    if (!value) ClearHint();
}

void TMarksTipTool::SetMouseAction(TMarkToolMouseAction value) {
    FMouseAction = value;
    ClearHint();
}

void TMarksTipTool::ShowTip(int x, int y) {
    TCustomAxisPanel* chart = Series() ? Series()->ParentChart() : ParentChart();
    if (!chart) return;
    TChartSeries* series = nullptr;
    int index = -1;
    if (Series()) {
        index = Series()->PointAtPixel(x, y);
        if (index != -1) series = Series();
    } else {
        const std::vector<TChartSeries*>& list = chart->SeriesList();
        for (auto it = list.rbegin(); it != list.rend() && !series; ++it)
            if ((index = (*it)->PointAtPixel(x, y)) != -1) series = *it;
    }
    if (!series) {
        // another tip tool may be showing its own hint
        for (TPlotCustomTool* t : chart->Tools().Items())
            if (t != this && dynamic_cast<TMarksTipTool*>(t)) return;
        chart->SetHint({}, 0, 0);
        return;
    }
    std::string text;
    {
        const bool repaint = chart->AutoRepaint();
        chart->SetAutoRepaint(false);
        TSeriesMarks& marks = series->Marks();
        const TSeriesMarksStyle old = marks.Style();
        const ScopeExit restore([&] {
            marks.SetStyle(old);
            chart->SetAutoRepaint(repaint);
        });
        marks.SetStyle(FStyle);
        text = marks.GetMarkText(index);
    }
    const auto alive = FLife.Token();
    if (OnGetText) OnGetText(this, text);
    if (alive.expired()) return;
    if (text != chart->Hint()) chart->SetHint(text, x, y);
}

void TMarksTipTool::ChartMouseNotify(TPlotMouseEventKind kind, TMouseButton button, TShiftState shift, int x, int y) {
    (void)button, (void)shift;
    if ((kind == pmeMove && FMouseAction == mtmMove) || (kind == pmeDown && FMouseAction == mtmClick)) ShowTip(x, y);
}
