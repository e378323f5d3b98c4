#include "ChartTools.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "AxisPanel.h"
#include "Chart.h"
#include "ChartAxis.h"
#include "ChartUtils.h"
#include "ChartMessages.h"
#include "PlotCanvas.h"
#include "SeriesMarks.h"

namespace {

// The segments a line of the given style is drawn with.
int LineSegments(const TPoint& s, const TPoint& e, TDrawLineStyle style, TPoint (&out)[4]) {
    switch (style) {
    case dlHorizParallel:
        out[0] = s, out[1] = TPoint{e.x, s.y}, out[2] = TPoint{s.x, e.y}, out[3] = e;
        return 2;
    case dlVertParallel:
        out[0] = s, out[1] = TPoint{s.x, e.y}, out[2] = TPoint{e.x, s.y}, out[3] = e;
        return 2;
    default:
        out[0] = s, out[1] = e;
        return 1;
    }
}

TCustomChart* ChartOf(TCustomAxisPanel* panel) { return dynamic_cast<TCustomChart*>(panel); }

template <class T>
TObject* CreateTool(TObject* owner) {
    return new T(dynamic_cast<TComponent*>(owner));
}

}  // namespace

const TClassInfo TCursorTool::ClassInfo{"TCursorTool", CreateTool<TCursorTool>};
const TClassInfo TDragMarksTool::ClassInfo{"TDragMarksTool", CreateTool<TDragMarksTool>};
const TClassInfo TAxisArrowTool::ClassInfo{"TAxisArrowTool", CreateTool<TAxisArrowTool>};
const TClassInfo TDrawLineTool::ClassInfo{"TDrawLineTool", CreateTool<TDrawLineTool>};

// ---------------------------------------------------------------------------
TCursorTool::TCursorTool(TComponent* owner) : TPlotCustomToolSeries(owner) {}

std::string TCursorTool::DisplayText() const { return PlotExtConst().ToolNameCursor; }

void TCursorTool::SetStyle(TCursorToolStyle value) {
    if (FStyle == value) return;
    FStyle = value;
    SnapToSeries();
    RepaintChart();
}

void TCursorTool::SetSeries(TChartSeries* value) {
    TPlotCustomToolSeries::SetSeries(value);
    if (!Series() || IsLoading()) return;
    // lines not drawn yet are not erased
    if (Active() && Placed()) DrawCursor(true);
    SnapToSeries();
    PlaceCursor();
    if (Active() && Placed()) DrawCursor(true);
}

TRect TCursorTool::CursorRect() const {
    const TChartAxis* h = GetHorizAxis();
    const TChartAxis* v = GetVertAxis();
    if (!h || !v) return TRect{0, 0, 0, 0};
    return TRect{h->StartPixel(), v->StartPixel(), h->EndPixel(), v->EndPixel()};
}

void TCursorTool::ValuesFromPixels(int x, int y) {
    const TChartAxis* h = GetHorizAxis();
    const TChartAxis* v = GetVertAxis();
    if (FDraggedPart != cpHorizontal && h) FXValue = h->PixelToValue(x);
    if (FDraggedPart != cpVertical && v) FYValue = v->PixelToValue(y);
}

void TCursorTool::PlaceCursor() {
    const TChartAxis* h = GetHorizAxis();
    const TChartAxis* v = GetVertAxis();
    if (!h || !v) return;
    if (!Placed()) {
        // before the chart's first layout the axes have no length: the centre would be
        // the chart's corner, so the cursor waits for a drawing that gives them one
        if (h->StartPixel() == h->EndPixel() || v->StartPixel() == v->EndPixel()) return;
        // the centre stands in only for values nobody set, and snapping for
        // a cursor whose place nobody chose
        const double x = FXValue, y = FYValue;
        FCursorX = (h->StartPixel() + h->EndPixel()) / 2;
        FCursorY = (v->StartPixel() + v->EndPixel()) / 2;
        ValuesFromPixels(FCursorX, FCursorY);
        if (FXValueSet) FXValue = x;
        if (FYValueSet) FYValue = y;
        const int index = FXValueSet || FYValueSet ? -1 : SnapToSeries();
        FCursorX = h->ValueToPixel(FXValue);
        FCursorY = v->ValueToPixel(FYValue);
        FPlaced = true;
        CursorChanged(index);
        return;
    }
    FCursorX = h->ValueToPixel(FXValue);
    FCursorY = v->ValueToPixel(FYValue);
}

bool TCursorTool::VisibleIndexRange(int& first, int& last) const {
    const TChartSeries* s = Series();
    if (!s) return false;
    const int count = s->PointCount();
    first = std::max(0, s->FirstVisible());
    last = s->LastVisible();
    if (last < 0 || last >= count) last = count - 1;
    return count > 0 && count >= first && count >= last && first <= last;
}

int TCursorTool::ClosestPointIndex() const {
    int first = 0, last = -1;
    if (!VisibleIndexRange(first, last)) return -1;
    const TChartSeries* s = Series();
    const double* xs = s->XValues()->Data();
    const double* ys = s->YValues()->Data();
    int best = -1;
    double bestDistance = std::numeric_limits<double>::infinity();
    for (int i = first; i <= last; ++i) {
        const double dx = FXValue - xs[i], dy = FYValue - ys[i];
        double d;
        switch (FStyle) {
        case cssHorizontal:
            d = std::fabs(dy);
            break;
        case cssVertical:
            d = std::fabs(dx);
            break;
        default:
            d = std::sqrt(dx * dx + dy * dy);
            break;
        }
        // strictly smaller: a tie keeps the lower index
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}

int TCursorTool::SnapToSeries() {
    if (!Series() || !FSnap) return -1;
    const int i = ClosestPointIndex();
    if (i == -1) return -1;
    if (FStyle != cssVertical) FYValue = Series()->YValues()->ValueAt(i);
    if (FStyle != cssHorizontal) FXValue = Series()->XValues()->ValueAt(i);
    return i;
}

void TCursorTool::DrawCursor(bool show) {
    TCustomAxisPanel* chart = ParentChart();
    if (!chart) return;
    TCanvas3D& canvas = chart->Canvas();
    TCanvas* device = canvas.Canvas();
    if (!device) return;
    const TColor back = ColorToRGB(chart->Color() == SeriesDefaultColor ? clBtnFace : chart->Color());
    canvas.SelectPen(*Pen(), ColorToRGB(Pen()->Color()) ^ back);
    device->Brush().SetStyle(bsClear);
    device->Pen().SetMode(pmXor);
    const TRect r = CursorRect();
    const bool is3D = chart->View3D();
    if (FStyle != cssVertical) {
        if (is3D)
            canvas.DrawHorizontalLine3D(r.Left, r.Right, FCursorY, 0);
        else
            canvas.DrawHorizontalLine(r.Left, r.Right, FCursorY);
    }
    if (FStyle != cssHorizontal) {
        if (is3D)
            canvas.DrawVerticalLine3D(FCursorX, r.Top, r.Bottom, 0);
        else
            canvas.DrawVerticalLine(FCursorX, r.Top, r.Bottom);
    }
    device->Pen().SetMode(pmCopy);
    // the lines went into the kept picture, which stays valid: show it as it is
    if (show && chart->RequestRepaint) chart->RequestRepaint();
}

TCursorPart TCursorTool::HitTestCursor(int x, int y) const {
    const TRect r = CursorRect();
    if (x < r.Left || x > r.Right || y < r.Top || y > r.Bottom) return cpNone;
    const bool nearY = std::abs(y - FCursorY) < 3, nearX = std::abs(x - FCursorX) < 3;
    if (FStyle == cssBoth && nearX && nearY) return cpBoth;
    if (FStyle != cssVertical && nearY) return cpHorizontal;
    if (FStyle != cssHorizontal && nearX) return cpVertical;
    return cpNone;
}

void TCursorTool::CursorChanged(int valueIndex) {
    if (OnChange) OnChange(this, FCursorX, FCursorY, FXValue, FYValue, Series(), valueIndex);
}

void TCursorTool::ChartStageNotify(TChartToolStage stage) {
    if (stage != ctsAfterDraw) return;
    const auto alive = FLife.Token();
    PlaceCursor();
    if (alive.expired() || !Placed()) return;
    DrawCursor();
}

void TCursorTool::MouseMove(int x, int y) {
    TCustomAxisPanel* chart = ParentChart();
    const TRect r = CursorRect();
    const bool inside = x >= r.Left && x <= r.Right && y >= r.Top && y <= r.Bottom;
    if ((FDraggedPart != cpNone || FFollowMouse) && inside) {
        // before the first drawing there are no lines to erase
        if (Placed()) DrawCursor();
        ValuesFromPixels(x, y);
        const int index = SnapToSeries();
        const auto alive = FLife.Token();
        PlaceCursor();
        if (alive.expired() || !Placed()) return;
        DrawCursor(true);
        CursorChanged(index);
        return;
    }
    const TCursorPart part = HitTestCursor(x, y);
    if (part == cpNone) return;
    chart->SetMouseCursor(part == cpHorizontal ? crVSplit : part == cpVertical ? crHSplit : crSizeAll);
    chart->CancelMouse = true;
}

void TCursorTool::ChartMouseNotify(TPlotMouseEventKind kind, TMouseButton button, TShiftState shift, int x, int y) {
    (void)button, (void)shift;
    TCustomAxisPanel* chart = ParentChart();
    if (!chart) return;
    switch (kind) {
    case pmeDown:
        if (FFollowMouse) return;
        FDraggedPart = HitTestCursor(x, y);
        if (FDraggedPart != cpNone) chart->CancelMouse = true;
        break;
    case pmeMove:
        MouseMove(x, y);
        break;
    case pmeUp:
        FDraggedPart = cpNone;
        break;
    }
}

// ---------------------------------------------------------------------------
std::string TDragMarksTool::DisplayText() const { return PlotExtConst().ToolNameDragMarks; }

TChartSeries* TDragMarksTool::MarkAt(int x, int y, int& index) const {
    TCustomAxisPanel* chart = ParentChart();
    index = -1;
    if (!chart) return nullptr;
    auto test = [&](TChartSeries* s) {
        if (!s->Active() || !s->Marks().Visible()) return false;
        index = s->Marks().MarkAtPixel(x, y);
        return index != -1;
    };
    if (Series()) return test(Series()) ? Series() : nullptr;
    const std::vector<TChartSeries*>& list = chart->SeriesList();
    for (auto it = list.rbegin(); it != list.rend(); ++it)
        if (test(*it)) return *it;
    return nullptr;
}

void TDragMarksTool::ChartMouseNotify(TPlotMouseEventKind kind, TMouseButton button, TShiftState shift, int x, int y) {
    (void)button, (void)shift;
    TCustomAxisPanel* chart = ParentChart();
    if (!chart) return;
    // a series freed while dragging is forgotten
    if (FDragSeries && chart->SeriesIndexOf(FDragSeries) < 0) FDragSeries = nullptr;
    int index = -1;
    switch (kind) {
    case pmeDown:
        FDragSeries = MarkAt(x, y, index);
        FDragIndex = index;
        if (FDragSeries) {
            FLastMouse = TPoint{x, y};
            chart->CancelMouse = true;
        }
        break;
    case pmeMove:
        if (FDragSeries) {
            if (TSeriesMarkPosition* p = FDragSeries->Marks().Positions().Position(FDragIndex)) {
                const int dx = x - FLastMouse.x, dy = y - FLastMouse.y;
                p->IsCustom = true;
                p->BoxTopLeft = TPoint{p->BoxTopLeft.x + dx, p->BoxTopLeft.y + dy};
                p->ArrowEnd = TPoint{p->ArrowEnd.x + dx, p->ArrowEnd.y + dy};
            }
            FLastMouse = TPoint{x, y};
            chart->CancelMouse = true;
            chart->Invalidate();
        } else if (MarkAt(x, y, index)) {
            chart->SetMouseCursor(crHandPoint);
            chart->CancelMouse = true;
        }
        break;
    case pmeUp:
        FDragSeries = nullptr;
        break;
    }
}

// ---------------------------------------------------------------------------
TAxisArrowTool::TAxisArrowTool(TComponent* owner) : TPlotCustomToolAxis(owner) {}

std::string TAxisArrowTool::DisplayText() const { return PlotExtConst().ToolNameAxisArrows; }

void TAxisArrowTool::ChartStageNotify(TChartToolStage stage) {
    if (stage == ctsAfterDraw) PaintAxisArrow();
}

void TAxisArrowTool::PaintAxisArrow() {
    TChartAxis* axis = Axis();
    TCustomAxisPanel* chart = ParentChart();
    if (!axis || !chart) return;
    TCanvas3D& canvas = chart->Canvas();
    // arrows without a colour of their own take the colour of the axis line they sit on
    const TColor fill = Brush()->Color() == clDefault ? axis->Axis().Color() : Brush()->Color();
    canvas.SelectBrush(*Brush(), fill, clNone);
    canvas.SelectPen(*Pen());
    const int z = chart->View3D() && axis->OtherSide() ? chart->ChartDepth3D() : 0;
    auto at = [&](int along) {
        return axis->Horizontal() ? TPoint{along, axis->AxisLinePos} : TPoint{axis->AxisLinePos, along};
    };
    if (FPosition != aaEnd) canvas.DrawArrow(true, at(axis->StartPixel() + FLength), at(axis->StartPixel()), 8, 8, z);
    if (FPosition != aaStart) canvas.DrawArrow(true, at(axis->EndPixel() - FLength), at(axis->EndPixel()), 8, 8, z);
}

int TAxisArrowTool::ArrowHitTest(int x, int y) const {
    const TChartAxis* axis = Axis();
    if (!axis) return -1;
    const int along = axis->Horizontal() ? x : y;
    const int across = axis->Horizontal() ? y : x;
    if (std::abs(across - axis->AxisLinePos) >= 3) return -1;
    if (FPosition != aaEnd && axis->StartPixel() < along && along < axis->StartPixel() + FLength) return 0;
    if (FPosition != aaStart && axis->EndPixel() - FLength < along && along < axis->EndPixel()) return 1;
    return -1;
}

void TAxisArrowTool::ScrollByArrow(double offset) {
    TChartAxis* axis = Axis();
    TCustomAxisPanel* panel = ParentChart();
    if (!axis || !panel) return;
    TCustomChart* chart = ChartOf(panel);
    double minimum = axis->Minimum() + offset, maximum = axis->Maximum() + offset;
    bool allow = true;
    const auto alive = FLife.Token();
    if (chart && chart->OnAllowScroll) chart->OnAllowScroll(axis, minimum, maximum, allow);
    if (alive.expired() || !allow || !Axis()) return;
    axis->ScrollAxis(offset, false);
    // an axis pair that a series spans moves together
    TChartAxis* other = nullptr;
    for (TChartSeries* s : panel->SeriesList()) {
        if (!s->UsesAxis(axis)) continue;
        if (axis->Horizontal() && s->HorizAxis() == aBothHorizAxis)
            other = axis == panel->TopAxis() ? panel->BottomAxis() : panel->TopAxis();
        else if (!axis->Horizontal() && s->VertAxis() == aBothVertAxis)
            other = axis == panel->LeftAxis() ? panel->RightAxis() : panel->LeftAxis();
        if (other) break;
    }
    if (other) other->ScrollAxis(offset, false);
    if (chart && chart->OnScroll) chart->OnScroll(chart);
}

void TAxisArrowTool::ChartMouseNotify(TPlotMouseEventKind kind, TMouseButton button, TShiftState shift, int x, int y) {
    (void)button, (void)shift;
    TChartAxis* axis = Axis();
    TCustomAxisPanel* chart = ParentChart();
    if (!axis || !chart || !axis->Visible()) return;
    const int hit = ArrowHitTest(x, y);
    if (kind == pmeMove && hit != -1) {
        chart->SetMouseCursor(crHandPoint);
        chart->CancelMouse = true;
    } else if (kind == pmeDown && FScrollPercent != 0 && hit != -1) {
        double d = (axis->Maximum() - axis->Minimum()) * FScrollPercent / 100;
        if (FScrollInverted) d = -d;
        chart->CancelMouse = true;
        const auto alive = FLife.Token();
        ScrollByArrow(hit == 0 ? d : -d);
        if (!alive.expired() && OnClick) OnClick(this, hit == 0);
    }
}

// ---------------------------------------------------------------------------
TDrawLine::~TDrawLine() {
    if (FTool && FTool->FSelected == this) FTool->FSelected = nullptr;
}

template <class T>
void TDrawLine::Change(T& field, const T& value) {
    if (field == value) return;
    field = value;
    if (FTool) FTool->RepaintChart();
}
template void TDrawLine::Change<double>(double&, const double&);
template void TDrawLine::Change<TDrawLineStyle>(TDrawLineStyle&, const TDrawLineStyle&);

void TDrawLine::Assign(const TPersistent* source) {
    if (const auto* l = dynamic_cast<const TDrawLine*>(source)) {
        FX0 = l->FX0, FY0 = l->FY0, FX1 = l->FX1, FY1 = l->FY1;
        FStyle = l->FStyle;
        if (FTool) FTool->RepaintChart();
    }
}

TRect TDrawLine::StartHandleRect() const {
    const TPoint p = FTool->LinePointToPixel(FX0, FY0);
    return TRect{p.x - 3, p.y - 3, p.x + 3, p.y + 3};
}

TRect TDrawLine::EndHandleRect() const {
    const TPoint p = FTool->LinePointToPixel(FX1, FY1);
    return TRect{p.x - 3, p.y - 3, p.x + 3, p.y + 3};
}

void TDrawLine::DrawHandles() {
    TCustomAxisPanel* chart = FTool ? FTool->ParentChart() : nullptr;
    if (!chart) return;
    TCanvas3D& canvas = chart->Canvas();
    TCanvas* device = canvas.Canvas();
    if (!device) return;
    device->Brush().SetStyle(bsSolid);
    device->Brush().SetColor(chart->Color() == clBlack ? clSilver : clBlack);
    device->Pen().SetStyle(psClear);
    canvas.DrawRectangleAtDepth(StartHandleRect(), 0);
    canvas.DrawRectangleAtDepth(EndHandleRect(), 0);
    device->Pen().SetStyle(psSolid);
}

TDrawLine* TDrawLines::Add() {
    FItems.push_back(std::make_unique<TDrawLine>(FTool));
    return FItems.back().get();
}

void TDrawLines::Delete(int index) {
    if (index < 0 || index >= Count()) return;
    // the line is destroyed before it leaves the list, so a handler sees a consistent list
    std::unique_ptr<TDrawLine> line = std::move(FItems[static_cast<std::size_t>(index)]);
    FItems.erase(FItems.begin() + index);
    line.reset();
    if (FTool) FTool->RepaintChart();
}

void TDrawLines::Clear() {
    if (FItems.empty()) return;
    FItems.clear();
    if (FTool) FTool->RepaintChart();
}

int TDrawLines::IndexOf(const TDrawLine* line) const {
    for (std::size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i].get() == line) return static_cast<int>(i);
    return -1;
}

void TDrawLines::Assign(const TDrawLines& other) {
    if (&other == this) return;
    const bool hadLines = !FItems.empty();
    FItems.clear();
    for (const auto& line : other.FItems) Add()->Assign(line.get());
    // the chart still shows the lines that went
    if (FTool && hadLines) FTool->RepaintChart();
}

// ---------------------------------------------------------------------------
TDrawLineTool::TDrawLineTool(TComponent* owner) : TPlotCustomToolSeries(owner), FLines(this) {}

TDrawLineTool::~TDrawLineTool() {
    FSelected = nullptr;
    FLines.Clear();
}

std::string TDrawLineTool::DisplayText() const { return PlotExtConst().ToolNameDrawLine; }

void TDrawLineTool::SetEnableSelect(bool value) {
    if (FEnableSelect == value) return;
    FEnableSelect = value;
    if (!value) {
        FSelected = nullptr;
        RepaintChart();
    }
}

// The handles show the selection: they come and go with a repaint. Only a line of the
// tool's own Lines can be selected: a line of another tool is freed without this one
// knowing, and its handles would be drawn from freed memory.
void TDrawLineTool::SetSelectedLine(TDrawLine* value) {
    if (value && FLines.IndexOf(value) < 0) throw ChartException("The selected line must be one of the tool's Lines");
    if (FSelected == value) return;
    FSelected = value;
    RepaintChart();
}

TPoint TDrawLineTool::LinePointToPixel(double x, double y) const {
    const TChartAxis* h = GetHorizAxis();
    const TChartAxis* v = GetVertAxis();
    return TPoint{h ? h->ValueToPixel(x) : 0, v ? v->ValueToPixel(y) : 0};
}

void TDrawLineTool::PixelToLinePoint(const TPoint& p, double& x, double& y) const {
    const TChartAxis* h = GetHorizAxis();
    const TChartAxis* v = GetVertAxis();
    x = h ? h->PixelToValue(p.x) : 0;
    y = v ? v->PixelToValue(p.y) : 0;
}

void TDrawLineTool::PaintLineShape(const TPoint& start, const TPoint& end, TDrawLineStyle style) {
    TCustomAxisPanel* chart = ParentChart();
    if (!chart) return;
    TCanvas3D& canvas = chart->Canvas();
    TPoint seg[4];
    const int n = LineSegments(start, end, style, seg);
    for (int i = 0; i < n; ++i) {
        if (chart->View3D())
            canvas.DrawLineAtDepth(seg[2 * i], seg[2 * i + 1], 0);
        else
            canvas.DrawSegment(seg[2 * i], seg[2 * i + 1]);
    }
}

void TDrawLineTool::ClipToLineArea() {
    TCustomAxisPanel* chart = ParentChart();
    if (!chart) return;
    TRect r = chart->PlotRect();
    if (Series()) {
        const TChartAxis* h = GetHorizAxis();
        const TChartAxis* v = GetVertAxis();
        if (h && v) r = TRect{h->StartPixel(), v->StartPixel(), h->EndPixel(), v->EndPixel()};
    }
    chart->Canvas().ClipToCube(r, 0, chart->ChartDepth3D());
}

void TDrawLineTool::DrawLines() {
    TCustomAxisPanel* chart = ParentChart();
    if (!chart || FLines.Count() == 0) return;
    TCanvas3D& canvas = chart->Canvas();
    canvas.SetBackgroundMode(TRANSPARENT);
    ClipToLineArea();
    for (int i = 0; i < FLines.Count(); ++i) {
        const TDrawLine* line = FLines[i];
        canvas.SelectPen(*Pen());
        PaintLineShape(LinePointToPixel(line->X0(), line->Y0()), LinePointToPixel(line->X1(), line->Y1()),
                       line->Style());
    }
    if (FSelected) FSelected->DrawHandles();
    canvas.RemoveClipping();
}

void TDrawLineTool::ChartStageNotify(TChartToolStage stage) {
    if (stage == ctsAfterDraw) DrawLines();
}

TDrawLine* TDrawLineTool::LineAt(int x, int y, int part) const {
    TCustomAxisPanel* chart = ParentChart();
    if (!chart) return nullptr;
    if (chart->View3D()) chart->Canvas().ScreenToWorld(x, y, 0);
    const TPoint p{x, y};
    auto matches = [&](const TDrawLine* line) {
        if (part == 1) return RectContainsPoint(line->StartHandleRect(), p);
        if (part == 2) return RectContainsPoint(line->EndHandleRect(), p);
        TPoint seg[4];
        const int n = LineSegments(LinePointToPixel(line->X0(), line->Y0()), LinePointToPixel(line->X1(), line->Y1()),
                                   line->Style(), seg);
        for (int i = 0; i < n; ++i)
            if (SegmentDistance(p, seg[2 * i], seg[2 * i + 1]) <= 4) return true;
        return false;
    };
    if (FSelected && matches(FSelected)) return FSelected;
    for (int i = 0; i < FLines.Count(); ++i)
        if (matches(FLines[i])) return FLines[i];
    return nullptr;
}

TDrawLine* TDrawLineTool::LineUnderPoint(int x, int y) const {
    for (int part = 0; part < 3; ++part)
        if (TDrawLine* line = LineAt(x, y, part)) return line;
    return nullptr;
}

void TDrawLineTool::DrawRubberLine(bool show) {
    TCustomAxisPanel* chart = ParentChart();
    if (!chart) return;
    TCanvas3D& canvas = chart->Canvas();
    TCanvas* device = canvas.Canvas();
    if (!device) return;
    canvas.SelectPen(*Pen(), ColorToRGB(Pen()->Color()) ^ (0xFFFFFF - ColorToRGB(chart->BackColor())));
    device->Pen().SetMode(pmNotXor);
    PaintLineShape(FRubberStart, FRubberEnd, FSelected ? FSelected->Style() : dlLine);
    device->Pen().SetMode(pmCopy);
    if (show && chart->RequestRepaint) chart->RequestRepaint();
}

void TDrawLineTool::MouseDown(int x, int y) {
    TCustomAxisPanel* chart = ParentChart();
    TDrawLine* line = FEnableSelect ? LineUnderPoint(x, y) : nullptr;
    if (!line) {
        if (FSelected) {
            FSelected = nullptr;
            // now, so that the rubber line below is drawn on the picture without the handles
            chart->Repaint();
        }
        if (!FEnableDraw) return;
        FIsDrawing = true;
        FRubberStart = FRubberEnd = TPoint{x, y};
        DrawRubberLine(true);
        chart->CancelMouse = true;
        return;
    }
    chart->CancelMouse = true;
    FRubberStart = LinePointToPixel(line->X0(), line->Y0());
    FRubberEnd = LinePointToPixel(line->X1(), line->Y1());
    FLastMouse = TPoint{x, y};
    FDragMoved = false;
    if (line == FSelected) {
        FLineDragPart = ldWhole;
        if (LineAt(x, y, 1) == line)
            FLineDragPart = ldStart;
        else if (LineAt(x, y, 2) == line)
            FLineDragPart = ldEnd;
        return;
    }
    bool allow = true;
    const auto alive = FLife.Token();
    if (OnSelecting) OnSelecting(this, line, allow);
    if (alive.expired()) return;
    // a refused line is not dragged either: the release would move a line the user did not pick
    if (!allow || FLines.IndexOf(line) < 0) return;
    const bool hadSelection = FSelected != nullptr;
    FSelected = line;
    FLineDragPart = ldWhole;
    if (hadSelection) {
        RepaintChart();
    } else {
        line->DrawHandles();
        if (chart->RequestRepaint) chart->RequestRepaint();
    }
    if (OnSelect) OnSelect(this);
}

void TDrawLineTool::MouseMove(int x, int y) {
    TCustomAxisPanel* chart = ParentChart();
    if (FIsDrawing || FLineDragPart != ldNone) {
        if (FLineDragPart != ldNone && TPoint{x, y} != FLastMouse) FDragMoved = true;
        DrawRubberLine();
        if (FIsDrawing || FLineDragPart == ldEnd) {
            FRubberEnd = TPoint{x, y};
        } else if (FLineDragPart == ldStart) {
            FRubberStart = TPoint{x, y};
        } else {
            const int dx = x - FLastMouse.x, dy = y - FLastMouse.y;
            FRubberStart = TPoint{FRubberStart.x + dx, FRubberStart.y + dy};
            FRubberEnd = TPoint{FRubberEnd.x + dx, FRubberEnd.y + dy};
            FLastMouse = TPoint{x, y};
        }
        DrawRubberLine(true);
        chart->CancelMouse = true;
        if (OnDragLine) OnDragLine(this);
        return;
    }
    if (!FEnableSelect) return;
    if (FSelected && (LineAt(x, y, 1) == FSelected || LineAt(x, y, 2) == FSelected)) {
        chart->SetMouseCursor(crCross);
        chart->CancelMouse = true;
    } else if (LineUnderPoint(x, y)) {
        chart->SetMouseCursor(crHandPoint);
        chart->CancelMouse = true;
    }
}

void TDrawLineTool::MouseUp() {
    if (FLineDragPart != ldNone) {
        const TLineDragPart part = FLineDragPart;
        FLineDragPart = ldNone;
        // a click only selects: the line keeps the values it was given, which its pixels
        // could only approximate
        if (!FDragMoved) return;
        if (FSelected) {
            double x = 0, y = 0;
            // a point the drag left where it was keeps its values too
            if ((part == ldStart || part == ldWhole) &&
                FRubberStart != LinePointToPixel(FSelected->X0(), FSelected->Y0())) {
                PixelToLinePoint(FRubberStart, x, y);
                FSelected->SetX0(x);
                FSelected->SetY0(y);
            }
            if ((part == ldEnd || part == ldWhole) &&
                FRubberEnd != LinePointToPixel(FSelected->X1(), FSelected->Y1())) {
                PixelToLinePoint(FRubberEnd, x, y);
                FSelected->SetX1(x);
                FSelected->SetY1(y);
            }
        }
        RepaintChart();
        if (OnDraggedLine) OnDraggedLine(this);
        return;
    }
    if (!FIsDrawing) return;
    FIsDrawing = false;
    // a click without a drag draws no line
    if (FRubberStart == FRubberEnd) {
        DrawRubberLine(true);
        return;
    }
    TDrawLine* line = FLines.Add();
    double x = 0, y = 0;
    PixelToLinePoint(FRubberStart, x, y);
    line->SetX0(x);
    line->SetY0(y);
    PixelToLinePoint(FRubberEnd, x, y);
    line->SetX1(x);
    line->SetY1(y);
    RepaintChart();
    if (OnNewLine) OnNewLine(this);
}

void TDrawLineTool::ChartMouseNotify(TPlotMouseEventKind kind, TMouseButton button, TShiftState shift, int x, int y) {
    (void)shift;
    if (!ParentChart()) return;
    switch (kind) {
    case pmeDown:
        if (button == FButton) MouseDown(x, y);
        break;
    case pmeMove:
        MouseMove(x, y);
        break;
    case pmeUp:
        if (button == FButton) MouseUp();
        break;
    }
}
