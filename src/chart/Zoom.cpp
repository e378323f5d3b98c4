// Mouse handling of a chart: clicks on its parts, the zoom rubber band, undo
// zoom, panning with the scroll button and the mouse wheel.

#include <cmath>
#include <cstdlib>
#include <utility>

#include "Chart.h"
#include "ChartAxis.h"
#include "OptionalPart.h"
#include "Zoom.h"

#include "SeriesMarks.h"

namespace {

// Rectangles take their left and top edges, not their right and bottom ones.
bool Inside(const TRect& r, int x, int y) { return x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom; }

constexpr double AnimationDivisor = 3.0;
constexpr double WheelStepPercent = 3.0;
constexpr long long WheelNotch = 120;

}  // namespace

// ---------------------------------------------------------------------------
void TZoomPanning::Check() {
    if (X1 < X0) std::swap(X0, X1);
    if (Y1 < Y0) std::swap(Y0, Y1);
}

TPlotZoomPen::TPlotZoomPen(TNotifyEvent onChange) : TChartPen(std::move(onChange)) { SetColor(clWhite); }

TPlotZoomBrush::TPlotZoomBrush(TNotifyEvent onChange) : TChartBrush(std::move(onChange)) {
    SetColor(clWhite);
    SetStyle(bsClear);
}

void TPlotZoom::Assign(const TPersistent* source) {
    const auto* z = dynamic_cast<const TPlotZoom*>(source);
    if (!z) return TPersistent::Assign(source);
    Allow = z->Allow;
    Animated = z->Animated;
    AnimatedSteps = z->AnimatedSteps;
    SetBrush(z->BrushIfAny());
    Direction = z->Direction;
    KeyShift = z->KeyShift;
    MouseButton = z->MouseButton;
    SetPen(z->PenIfAny());
}

TPlotZoomPen& TPlotZoom::Pen() {
    return PartOnDemand(FPen, [] { return std::make_unique<TPlotZoomPen>(); });
}

void TPlotZoom::SetPen(const TChartPen* value) {
    AssignOptionalPart(FPen, value, [this]() -> TPlotZoomPen& { return Pen(); });
}

TPlotZoomBrush& TPlotZoom::Brush() {
    return PartOnDemand(FBrush, [] { return std::make_unique<TPlotZoomBrush>(); });
}

void TPlotZoom::SetBrush(const TChartBrush* value) {
    AssignOptionalPart(FBrush, value, [this]() -> TPlotZoomBrush& { return Brush(); });
}

// ---------------------------------------------------------------------------
void TCustomPlotPanelExtended::UndoZoom() {
    if (OnUndoZoom) OnUndoZoom(this);
    Invalidate();
    SetZoomed(false);
}

// ---------------------------------------------------------------------------
void TCustomChart::SaveScales() {
    FSavedScales.clear();
    for (TChartAxis* a : AxesList().Items()) {
        if (a == DepthAxis() || a->IsDepthAxis()) continue;
        FSavedScales.push_back(
            {a, a->Automatic(), a->AutomaticMinimum(), a->AutomaticMaximum(), a->Minimum(), a->Maximum()});
    }
    FScalesSaved = true;
}

void TCustomChart::UndoZoom() {
    if (FScalesSaved) {
        for (const TAxisSavedScales& s : FSavedScales) {
            // an axis freed since the scales were saved is simply gone
            if (AxesList().IndexOf(s.Axis) < 0) continue;
            // as saved, not as the setters would make it: they widen equal
            // ends, turn reversed ones round and tie the automatic flags together
            s.Axis->RestoreScale(s.Automatic, s.AutomaticMinimum, s.AutomaticMaximum, s.Minimum, s.Maximum);
        }
        FSavedScales.clear();
        FScalesSaved = false;
    }
    TCustomAxisPanel::UndoZoom();
}

void TCustomChart::ZoomToRect() {
    FZoom.Check();
    ZoomToValues(TopAxis()->PixelToValue(FZoom.X0), TopAxis()->PixelToValue(FZoom.X1),
                 BottomAxis()->PixelToValue(FZoom.X0), BottomAxis()->PixelToValue(FZoom.X1),
                 LeftAxis()->PixelToValue(FZoom.Y1), LeftAxis()->PixelToValue(FZoom.Y0),
                 RightAxis()->PixelToValue(FZoom.Y1), RightAxis()->PixelToValue(FZoom.Y0));
}

void TCustomChart::ZoomToValues(double topMin, double topMax, double bottomMin, double bottomMax, double leftMin,
                                double leftMax, double rightMin, double rightMax) {
    if (!FScalesSaved) SaveScales();
    struct Target {
        TChartAxis* axis;
        double minimum, maximum;
    } targets[] = {{LeftAxis(), leftMin, leftMax},
                   {RightAxis(), rightMin, rightMax},
                   {TopAxis(), topMin, topMax},
                   {BottomAxis(), bottomMin, bottomMax}};
    if (FZoom.Animated) {
        // Once a round moves no axis by a millionth of its range, which no
        // screen shows, further rounds would paint the same picture: a stored
        // step count in the millions must not hang the chart.
        for (int step = 1; step < FZoom.AnimatedSteps; ++step) {
            bool moved = false;
            for (const Target& t : targets) {
                TChartAxis* a = t.axis;
                const double minimum = a->Minimum(), maximum = a->Maximum();
                a->SetAxisRange(minimum + (t.minimum - minimum) / AnimationDivisor,
                                maximum - (maximum - t.maximum) / AnimationDivisor);
                const double seen = std::fabs(a->Maximum() - a->Minimum()) * 1e-6;
                moved = moved || std::fabs(a->Minimum() - minimum) > seen || std::fabs(a->Maximum() - maximum) > seen;
            }
            if (!moved) break;
            Repaint();
        }
    }
    for (const Target& t : targets) t.axis->SetAxisRange(t.minimum, t.maximum);
    SetZoomed(true);
    if (OnZoom) OnZoom(this);
}

void TCustomChart::DrawZoomRectangle() {
    // part of a full draw, which shows itself when done
    if (FZoom.Active) DrawZoomBand(false);
}

void TCustomChart::DrawZoomBand(bool show) {
    TCanvas3D& canvas = Canvas();
    TCanvas* device = canvas.Canvas();
    if (!device) return;
    const TColor b = ColorToRGB(BackColor());
    TPlotZoomBrush* brush = FZoom.BrushIfAny();
    if (brush)
        canvas.SelectBrush(*brush, ColorToRGB(brush->Color()) ^ (0xFFFFFF - b), clNone);
    else
        device->Brush().SetStyle(bsClear);
    TPlotZoomPen& pen = FZoom.Pen();
    // the band is drawn in not-xor, whatever mode the zoom pen holds; the
    // user's pen keeps its own (the form stores it)
    canvas.SelectPen(pen, ColorToRGB(pen.Color()) ^ (0xFFFFFF - b));
    device->Pen().SetMode(pmNotXor);
    if (!brush || brush->Style() == bsClear) canvas.SetBackgroundMode(TRANSPARENT);
    canvas.DrawRectangle(FZoom.X0, FZoom.Y0, FZoom.X1, FZoom.Y1);
    // whatever draws next must not exclusive-or into the picture
    device->Pen().SetMode(pmCopy);
    // shown from the picture as it now is, without drawing the chart again
    if (show && RequestRepaint) RequestRepaint();
}

bool TCustomChart::StartZoomOrPanning(TMouseButton button, TShiftState shift, int x, int y) {
    if (!SeriesUseAxes()) return false;
    bool started = false;
    if (FZoom.Allow && button == FZoom.MouseButton && (shift & FZoom.KeyShift) == FZoom.KeyShift) {
        if (FZoom.Direction == tzdVertical) x = PlotRect().Left;
        if (FZoom.Direction == tzdHorizontal) y = PlotRect().Top;
        FZoom.Activate(x, y);
        if (FZoom.Direction == tzdVertical) FZoom.X1 = PlotRect().Right;
        if (FZoom.Direction == tzdHorizontal) FZoom.Y1 = PlotRect().Bottom;
        DrawZoomBand();
        started = true;
    }
    if (AllowPanning() != pmNone && button == ScrollMouseButton()) {
        FPanning.Activate(x, y);
        started = true;
    }
    if (started) SetMouseCursor(SavedCursor());
    return started;
}

bool TCustomChart::ToolsTakeMouse(TPlotMouseEventKind kind, TMouseButton button, TShiftState shift, int x, int y) {
    const std::vector<TPlotCustomTool*> tools = Tools().Items();
    // a tool may free another one (or itself) while it is called
    for (TPlotCustomTool* tool : tools) {
        if (Tools().IndexOf(tool) < 0 || !tool->Active()) continue;
        tool->ChartMouseNotify(kind, button, shift, x, y);
        if (CancelMouse) break;
    }
    return CancelMouse;
}

void TCustomChart::RaiseClick(TClickState& click, const std::function<void()>& handler) {
    // the handler takes the click unless it clears CancelMouse
    CancelMouse = true;
    handler();
    click.Handled = CancelMouse;
}

void TCustomChart::ZoomOrPanUnlessHandled(TClickState& click) {
    if (!click.Handled) click.Handled = StartZoomOrPanning(click.Button, click.Shift, click.X, click.Y);
}

bool TCustomChart::ClickLegend(TClickState& c) {
    if (!Legend().Visible() || Legend().Clicked(c.X, c.Y) == -1) return false;
    if (Legend().CheckBoxesShown() && Legend().ToggleCheckBoxAt(c.X, c.Y)) c.Handled = true;
    if (OnClickLegend) RaiseClick(c, [&] { OnClickLegend(this, c.Button, c.Shift, c.X, c.Y); });
    return true;
}

bool TCustomChart::ClickSeries(TClickState& c) {
    const auto& series = SeriesList();
    for (auto it = series.rbegin(); it != series.rend(); ++it) {
        TChartSeries* s = *it;
        if (!s->Active() || !(s->TakesClicks() || OnClickSeries)) continue;
        const int index = s->PointClicked(c.X, c.Y);
        // a click on a mark belongs to the mark, which takes no action
        if (index == -1 && s->Marks().Visible() && s->Marks().MarkAtPixel(c.X, c.Y) != -1) return true;
        if (index == -1) continue;
        CancelMouse = false;
        const TSeriesClick& own = (c.Shift & ssDouble) ? s->OnDblClick : s->OnClick;
        if (own) own(s, index, c.Button, c.Shift, c.X, c.Y);
        c.Handled = CancelMouse;
        if (OnClickSeries) RaiseClick(c, [&] { OnClickSeries(this, s, index, c.Button, c.Shift, c.X, c.Y); });
        ZoomOrPanUnlessHandled(c);
        return true;
    }
    return false;
}

bool TCustomChart::ClickAxis(TClickState& c) {
    for (TChartAxis* a : AxesList().Items()) {
        if (!a->AxisClicked(c.X, c.Y)) continue;
        if (OnClickAxis) RaiseClick(c, [&] { OnClickAxis(this, a, c.Button, c.Shift, c.X, c.Y); });
        ZoomOrPanUnlessHandled(c);
        return true;
    }
    return false;
}

bool TCustomChart::ClickTitle(TClickState& c) {
    for (TChartTitle* t :
         {&Title(), &SubTitle(), static_cast<TChartTitle*>(&Foot()), static_cast<TChartTitle*>(&SubFoot())}) {
        if (!t->Visible() || t->Text().empty() || !Inside(t->ShapeBounds(), c.X, c.Y)) continue;
        if (OnClickTitle) RaiseClick(c, [&] { OnClickTitle(this, t, c.Button, c.Shift, c.X, c.Y); });
        ZoomOrPanUnlessHandled(c);
        return true;
    }
    return false;
}

bool TCustomChart::ClickPlotBackground(TClickState& c) {
    if (!Inside(PlotRect(), c.X, c.Y) || ActiveSeriesCount() == 0) return false;
    if (OnClickBackground) RaiseClick(c, [&] { OnClickBackground(this, c.Button, c.Shift, c.X, c.Y); });
    ZoomOrPanUnlessHandled(c);
    return true;
}

void TCustomChart::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    TCustomAxisPanel::MouseDown(button, shift, x, y);
    if (CancelMouse || FZoom.Active || FPanning.Active) return;
    CancelMouse = false;
    if (ToolsTakeMouse(pmeDown, button, shift, x, y)) return;
    // the first part under the pointer gets the click, front to back
    TClickState click{button, shift, x, y};
    (void)(ClickLegend(click) || ClickSeries(click) || ClickAxis(click) || ClickTitle(click) ||
           ClickPlotBackground(click));
    if (!click.Handled && OnClickBackground) RaiseClick(click, [&] { OnClickBackground(this, button, shift, x, y); });
    CancelMouse = false;
}

bool TCustomChart::PanAxes(bool horizontal, int newPixel, int oldPixel) {
    if (newPixel == oldPixel) return false;
    const TPanningMode mode = AllowPanning();
    if (mode != pmBoth && mode != (horizontal ? pmHorizontal : pmVertical)) return false;
    for (TChartAxis* a : std::vector<TChartAxis*>(AxesList().Items())) {
        if (a == DepthAxis() || a->IsDepthAxis() || a->Horizontal() != horizontal) continue;
        // the value under the pointer stays under the pointer
        const double d = a->PixelToValue(oldPixel) - a->PixelToValue(newPixel);
        double minimum = a->Minimum() + d, maximum = a->Maximum() + d;
        bool allow = true;
        if (OnAllowScroll) OnAllowScroll(a, minimum, maximum, allow);
        if (allow) a->SetAxisRange(minimum, maximum);
    }
    return true;
}

void TCustomChart::MouseMove(TShiftState shift, int x, int y) {
    TCustomAxisPanel::MouseMove(shift, x, y);
    if (!IsDesigning()) ToolsTakeMouse(pmeMove, mbLeft, shift, x, y);
    if (CancelMouse) return;
    if (FZoom.Active) {
        if (FZoom.Direction == tzdVertical) x = PlotRect().Right;
        if (FZoom.Direction == tzdHorizontal) y = PlotRect().Bottom;
        if (x != FZoom.X1 || y != FZoom.Y1) {
            DrawZoomBand();
            FZoom.X1 = x;
            FZoom.Y1 = y;
            DrawZoomBand();
        }
    } else if (FPanning.Active) {
        if (!Inside(PlotRect(), x, y)) {
            FPanning.Active = false;
        } else if (x != FPanning.X1 || y != FPanning.Y1) {
            // Each step is measured from the last pointer position; ordering the
            // corners first would measure from an older one after a move left or up.
            if (!FScalesSaved) SaveScales();
            const bool h = PanAxes(true, x, FPanning.X1);
            const bool v = PanAxes(false, y, FPanning.Y1);
            FPanning.X1 = x;
            FPanning.Y1 = y;
            if (h || v) {
                if (OnScroll) OnScroll(this);
                Invalidate();
            }
        }
    } else if (!MouseOverSeries(x, y)) {
        // no tool or series claims the point: the chart's own pointer shows
        SetMouseCursor(SavedCursor());
    }
}

void TCustomChart::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    CancelMouse = false;
    TCustomAxisPanel::MouseUp(button, shift, x, y);
    if (FZoom.Active && button == FZoom.MouseButton) {
        FZoom.Active = false;
        DrawZoomBand();
        if (FZoom.Direction == tzdVertical) x = PlotRect().Right;
        if (FZoom.Direction == tzdHorizontal) y = PlotRect().Bottom;
        FZoom.X1 = x;
        FZoom.Y1 = y;
        if (std::abs(FZoom.X1 - FZoom.X0) > FZoom.MinimumPixels &&
            std::abs(FZoom.Y1 - FZoom.Y0) > FZoom.MinimumPixels) {
            if (FZoom.X1 > FZoom.X0 && FZoom.Y1 > FZoom.Y0)
                ZoomToRect();
            else
                UndoZoom();
            Invalidate();
        }
    }
    FPanning.Active = false;
    ToolsTakeMouse(pmeUp, button, shift, x, y);
}

bool TCustomChart::MouseWheel(TShiftState shift, int delta, int x, int y) {
    const bool result = TCustomAxisPanel::MouseWheel(shift, delta, x, y);
    // A notch is WheelNotch units. Fine wheels and touch pads send parts of a
    // notch and fast turns several notches in one event: the step is per notch,
    // and what is left of a notch waits for the next event (the other way
    // takes it back).
    FWheelRemainder += delta;
    const long long notches = FWheelRemainder / WheelNotch;
    FWheelRemainder -= notches * WheelNotch;
    if (notches == 0) return result;
    // saved as before a pan, so that undo zoom brings the automatic ranges back
    if (!FScalesSaved) SaveScales();
    // a positive delta turns the wheel up, away from the user
    const double steps = -static_cast<double>(notches);
    for (TChartAxis* a : std::vector<TChartAxis*>(AxesList().Items())) {
        if (a->Horizontal() || a == DepthAxis() || a->IsDepthAxis()) continue;
        a->ScrollAxis(steps * (a->Maximum() - a->Minimum()) * WheelStepPercent * 0.01, false);
    }
    return result;
}

void TCustomChart::MouseLeave() {
    TCustomAxisPanel::MouseLeave();
    FPanning.Active = false;
}
