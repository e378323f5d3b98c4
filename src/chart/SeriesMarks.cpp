#include "SeriesMarks.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numbers>

#include "AxisPanel.h"
#include "Chart.h"
#include "ChartAxis.h"
#include "ChartMessages.h"
#include "ChartSeries.h"
#include "ChartUtils.h"
#include "FloatFormat.h"
#include "Format.h"
#include "PlotCanvas.h"
#include "Rounding.h"
#include "ScopeExit.h"

// ---------------------------------------------------------------------------
namespace {

void PutInt(std::vector<std::uint8_t>& out, std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(u >> (8 * i)));
}

std::int32_t GetInt(const std::uint8_t*& p) {
    std::uint32_t u = 0;
    for (int i = 0; i < 4; ++i) u |= static_cast<std::uint32_t>(p[i]) << (8 * i);
    p += 4;
    return static_cast<std::int32_t>(u);
}

// The rectangle a box covers when it is drawn turned about its centre.
TRect TurnedBounds(const TRect& r, int angle) {
    if (angle == 0) return r;
    const auto c = RotateRectangle(r, angle);
    return PointsBoundingRect(c.data(), 4);
}

}  // namespace

void TSeriesMarkPosition::Write(std::vector<std::uint8_t>& out) const {
    PutInt(out, ArrowStart.x);
    PutInt(out, ArrowStart.y);
    out.push_back(ArrowStartFixed ? 1 : 0);
    PutInt(out, ArrowEnd.x);
    PutInt(out, ArrowEnd.y);
    out.push_back(IsCustom ? 1 : 0);
    PutInt(out, BoxHeight);
    PutInt(out, BoxTopLeft.x);
    PutInt(out, BoxTopLeft.y);
    PutInt(out, BoxWidth);
}

void TSeriesMarkPosition::Read(const std::uint8_t* p) {
    ArrowStart.x = GetInt(p);
    ArrowStart.y = GetInt(p);
    ArrowStartFixed = *p++ != 0;
    ArrowEnd.x = GetInt(p);
    ArrowEnd.y = GetInt(p);
    IsCustom = *p++ != 0;
    BoxHeight = GetInt(p);
    BoxTopLeft.x = GetInt(p);
    BoxTopLeft.y = GetInt(p);
    BoxWidth = GetInt(p);
}

bool TSeriesMarkPosition::InRange() const {
    for (int v : {ArrowStart.x, ArrowStart.y, ArrowEnd.x, ArrowEnd.y, BoxHeight, BoxTopLeft.x, BoxTopLeft.y, BoxWidth})
        if (v < -MaxStoredOffset || v > MaxStoredOffset) return false;
    return true;
}

// ---------------------------------------------------------------------------
TSeriesMarkPosition* TSeriesMarksPositions::Position(int index) const {
    if (index < 0 || index >= Count()) return nullptr;
    return FItems[static_cast<std::size_t>(index)].get();
}

TSeriesMarkPosition& TSeriesMarksPositions::Ensure(int index) {
    if (index >= Count()) FItems.resize(static_cast<std::size_t>(index) + 1);
    auto& p = FItems.at(static_cast<std::size_t>(index));
    if (!p) p = std::make_unique<TSeriesMarkPosition>();
    return *p;
}

void TSeriesMarksPositions::Delete(int index) { DeleteRange(index, 1); }

void TSeriesMarksPositions::DeleteRange(int index, int count) {
    if (index < 0 || index >= Count() || count <= 0) return;
    const int end = std::min(Count(), index + count);
    FItems.erase(FItems.begin() + index, FItems.begin() + end);
}

bool TSeriesMarksPositions::ExistCustom() const {
    return std::any_of(FItems.begin(), FItems.end(), [](const auto& p) { return p && p->IsCustom; });
}

// ---------------------------------------------------------------------------
TMarksItem::TMarksItem(TCustomPlotPanel* parent) : TPlotCustomShape(parent) {
    SetColor(clInfoBk);
    Shadow().SetColor(0x808080);
    SetShadowSize(1);
}

TMarksItem& TMarksItems::Item(int index) {
    if (index < 0) throw ChartException("Mark item index out of range");
    if (index >= Count()) FItems.resize(static_cast<std::size_t>(index) + 1);
    auto& item = FItems[static_cast<std::size_t>(index)];
    if (!item) item = std::make_unique<TMarksItem>(FParent);
    return *item;
}

TMarksItem* TMarksItems::ItemIfAny(int index) const {
    if (index < 0 || index >= Count()) return nullptr;
    return FItems[static_cast<std::size_t>(index)].get();
}

void TMarksItems::Delete(int index) { DeleteRange(index, 1); }

void TMarksItems::DeleteRange(int index, int count) {
    if (index < 0 || index >= Count() || count <= 0) return;
    const int end = std::min(Count(), index + count);
    FItems.erase(FItems.begin() + index, FItems.begin() + end);
}

void TMarksItems::Clear() {
    if (FItems.empty()) return;
    FItems.clear();
    if (FParent) FParent->Invalidate();
}

void TMarksItems::SetParentChart(TCustomPlotPanel* parent) {
    FParent = parent;
    for (auto& item : FItems)
        if (item) item->SetParentChart(parent);
}

// ---------------------------------------------------------------------------
TCallout::TCallout(TChartSeries* series) : TSeriesPointer(series), FArrow(ChangeHandler()) {
    Brush().SetColor(clBlack);
    SetDraw3D(false);
}

void TCallout::Assign(const TPersistent* source) {
    if (const auto* c = dynamic_cast<const TCallout*>(source)) {
        FArrow.Assign(&c->FArrow);
        SetArrowHead(c->FArrowHead);
        SetArrowHeadSize(c->FArrowHeadSize);
        SetDistance(c->FDistance);
    }
    TSeriesPointer::Assign(source);
}

void TCallout::Draw(TCanvas3D& canvas, bool is3D, TColor color, const TPoint& start, const TPoint& end, int z) {
    if (FArrow.Visible()) {
        if (TCanvas* device = canvas.Canvas()) device->Brush().SetStyle(bsClear);
        PrepareCanvas(canvas, color);
        canvas.SelectPen(FArrow);
        if (FArrowHead == ahNone) {
            if (is3D)
                canvas.DrawLineAtDepth(start, end, z);
            else
                canvas.DrawSegment(start, end);
        } else {
            canvas.DrawArrow(FArrowHead == ahSolid, start, end, FArrowHeadSize, FArrowHeadSize, z);
        }
    }
    if (FArrowHead == ahNone && Visible()) {
        const TPoint p = is3D ? canvas.WorldToScreen(start, z) : start;
        PrepareCanvas(canvas, Brush().Color());
        DrawPointer(canvas, false, p.x, p.y, HorizSize(), VertSize(), Brush().Color(), Style());
    }
}

TMarksCallout::TMarksCallout(TChartSeries* series) : TCallout(series) {
    Hide();
    Arrow().SetColor(clWhite);
}

void TMarksCallout::Assign(const TPersistent* source) {
    if (const auto* c = dynamic_cast<const TMarksCallout*>(source)) SetLength(c->FLength);
    TCallout::Assign(source);
}

TSeriesMarksGradient::TSeriesMarksGradient() {
    SetDirection(gdRightLeft);
    SetEndColor(clWhite);
    SetStartColor(clSilver);
}

// ---------------------------------------------------------------------------
TSeriesMarks::TSeriesMarks(TChartSeries* series)
    : TPlotCustomShape(series ? series->ParentChart() : nullptr),
      FSeries(series),
      FCallout(series),
      FItems(series ? series->ParentChart() : nullptr) {
    SetVisible(false);
    SetColor(clInfoBk);
    Shadow().SetColor(0x808080);
    SetShadowSize(1);
}

TSeriesMarks::~TSeriesMarks() = default;

void TSeriesMarks::SetParentChart(TCustomAxisPanel* chart) {
    TPlotCustomShape::SetParentChart(chart);
    FCallout.SetParentChart(chart);
    FItems.SetParentChart(chart);
}

void TSeriesMarks::Assign(const TPersistent* source) {
    if (const auto* m = dynamic_cast<const TSeriesMarks*>(source)) {
        SetAngle(m->FAngle);
        FCallout.Assign(&m->FCallout);
        SetClip(m->FClip);
        SetDrawEvery(m->FDrawEvery);
        SetStyle(m->FStyle);
        SetMultiLine(m->FMultiLine);
        FItems.Clear();
        for (int i = 0; i < m->FItems.Count(); ++i)
            if (const TMarksItem* item = m->FItems.ItemIfAny(i)) FItems.Item(i).Assign(item);
    }
    TPlotCustomShape::Assign(source);
}

std::unique_ptr<TPlotGradient> TSeriesMarks::NewGradient() const { return std::make_unique<TSeriesMarksGradient>(); }

void TSeriesMarks::SetDrawEvery(int value) { SetValue(FDrawEvery, std::max(1, value)); }

// --- texts -----------------------------------------------------------------
std::string TSeriesMarks::ValueText(int index) const {
    return FormatValueText(FSeries->ValueFormat(), FSeries->PrimaryValueAt(index));
}

std::string TSeriesMarks::PercentText(int index) const {
    const double total = FSeries->PrimaryValues()->AbsValueSum();
    // all values 0: every point is the whole
    const double percent = total == 0 ? 100 : std::fabs(FSeries->PrimaryValueAt(index)) * 100 / total;
    return FormatFloat(FSeries->PercentFormat(), percent);
}

std::string TSeriesMarks::PercentTotalText(int index) const {
    const std::string total = FormatValueText(FSeries->ValueFormat(), FSeries->PrimaryValues()->AbsValueSum());
    const TPlotConst& texts = PlotConst();
    return Format(FMultiLine ? texts.TextValueOfTotalMultiLine : texts.TextValueOfTotal, PercentText(index), total);
}

std::string TSeriesMarks::XText(int index) const {
    const double x = FSeries->SecondaryValues()->ValueAt(index);
    if (const TChartAxis* axis = FSeries->GetHorizAxis()) return axis->FormatAxisLabel(x);
    return FormatValueText(FSeries->ValueFormat(), x);
}

std::string TSeriesMarks::LegendText(int index) const {
    const auto* chart = dynamic_cast<const TCustomChart*>(FSeries->ParentChart());
    const int style = chart ? const_cast<TCustomChart*>(chart)->Legend().TextStyle() : ltsLeftValue;
    // the legend splits its columns at the separator; a mark shows them as words
    std::string text = FSeries->LegendItemText(style, index);
    std::replace(text.begin(), text.end(), LegendColumnSeparator, ' ');
    return text;
}

std::string TSeriesMarks::GetMarkText(int index) const {
    const std::string separator = FMultiLine ? std::string(1, LineSeparator) : std::string(" ");
    auto label = [&] {
        const std::string& l = FSeries->PointLabels().Label(index);
        return l.empty() ? ValueText(index) : l;
    };
    std::string text;
    switch (FStyle) {
    case smsValue:
        text = ValueText(index);
        break;
    case smsPercent:
        text = PercentText(index);
        break;
    case smsLabel:
        text = label();
        break;
    case smsLabelPercent:
        text = label() + separator + PercentText(index);
        break;
    case smsLabelValue:
        text = label() + separator + ValueText(index);
        break;
    case smsLegend:
        text = LegendText(index);
        break;
    case smsPercentTotal:
        text = PercentTotalText(index);
        break;
    case smsLabelPercentTotal:
        text = label() + separator + PercentTotalText(index);
        break;
    case smsXValue:
        text = XText(index);
        break;
    case smsXY:
        text = XText(index) + separator + ValueText(index);
        break;
    }
    if (FSeries->OnGetMarkText) FSeries->OnGetMarkText(FSeries, index, text);
    return text;
}

std::vector<std::string> SplitMarkLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find(LineSeparator, start);
        lines.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) return lines;
        start = end + 1;
    }
}

int TSeriesMarks::MarkTextWidth(int index) const {
    const TCustomAxisPanel* chart = FSeries->ParentChart();
    if (!chart) return 0;
    int lines = 0;
    return chart->MultiLineTextWidth(GetMarkText(index), lines);
}

// --- drawing ---------------------------------------------------------------
void TSeriesMarks::BoxSize(TCanvas3D& canvas, const TPlotCustomShape& shape, const std::string& text, int& width,
                           int& height) const {
    int widest = 0;
    const std::vector<std::string> lines = SplitMarkLines(text);
    for (const std::string& line : lines) widest = std::max(widest, canvas.MeasureTextWidth(line));
    width = widest + FFontMetrics.WideChar;
    height = static_cast<int>(lines.size()) * FFontMetrics.LineHeight;
    if (shape.Pen().Visible()) {
        width += 2 * shape.Pen().Width();
        height += 2 * shape.Pen().Width();
    } else {
        height += 1;
    }
}

TPlotCustomShape* TSeriesMarks::DrawnShape(int index, std::string& text) {
    if (index % FDrawEvery != 0 || FSeries->PointColor(index) == clNone) return nullptr;
    text = GetMarkText(index);
    if (text.empty()) return nullptr;
    TPlotCustomShape* shape = FItems.ItemIfAny(index);
    if (!shape) shape = this;
    return shape->Visible() ? shape : nullptr;
}

void TSeriesMarks::SelectMarkFont(TCanvas3D& canvas, TPlotCustomShape& shape) {
    TCustomAxisPanel* chart = FSeries->ParentChart();
    const TView3DOptions& view = chart->View3DOptions();
    canvas.SelectFont(shape.Font());
    if (chart->View3D() && !canvas.IsHardware3D() && view.ZoomText() && view.Zoom() != 100)
        if (TCanvas* device = canvas.Canvas())
            device->Font().SetSize(std::max(1, RoundHalfEven32(shape.Font().Size() * view.Zoom() * 0.01)));
    FFontMetrics = TFontMetrics{canvas.MeasureTextWidth("W"), canvas.TextLineHeight()};
}

TSeriesMarkPosition TSeriesMarks::PlaceBox(TCanvas3D& canvas, const TPlotCustomShape& shape, const std::string& text,
                                           const TPoint& point) const {
    TSeriesMarkPosition position;
    BoxSize(canvas, shape, text, position.BoxWidth, position.BoxHeight);
    position.ArrowStart = position.ArrowEnd = point;
    position.BoxTopLeft = TPoint{point.x - position.BoxWidth / 2, point.y - position.BoxHeight + 1};
    return position;
}

template <typename Visit>
void TSeriesMarks::ForEachDrawnMark(TCanvas3D& canvas, int first, int last, Visit visit) {
    const TPlotCustomShape* selected = nullptr;
    // measured again by whoever draws a single mark outside this pass
    const ScopeExit forget([this] { FFontMetrics = TFontMetrics{}; });
    for (int i = first; i <= last && i < FSeries->PointCount(); ++i) {
        std::string text;
        TPlotCustomShape* shape = DrawnShape(i, text);
        if (!shape) continue;
        // drawing a mark leaves the font as it is: points of one shape share one selection
        if (shape != selected) {
            selected = shape;
            SelectMarkFont(canvas, *shape);
        }
        visit(i, *shape, text);
    }
}

void TSeriesMarks::DrawMarks() {
    TCustomAxisPanel* chart = FSeries->ParentChart();
    if (!chart) return;
    FDrawn.clear();
    FDrawnIn = chart->DrawCount();
    if (FSeries->FirstVisible() < 0) return;
    TCanvas3D& canvas = chart->Canvas();
    ForEachDrawnMark(canvas, FSeries->FirstVisible(), FSeries->LastVisible(),
                     [&](int i, TPlotCustomShape& shape, const std::string& text) {
                         TSeriesMarkPosition position =
                             PlaceBox(canvas, shape, text, TPoint{FSeries->PointScreenX(i), FSeries->PointScreenY(i)});
                         FSeries->DrawMark(i, text, &position);
                     });
}

TRect TSeriesMarks::CoveredBounds(TPlotCustomShape& shape, const TRect& box) const {
    // what DrawShape covers: the turned box, its shadow beside it and the frame's width around
    const int angle = FAngle % 360;
    TRect covered = TurnedBounds(box, angle);
    const TPlotShadow& shadow = shape.Shadow();
    if (!shape.Transparent() && (shadow.HorizSize() != 0 || shadow.VertSize() != 0)) {
        int hs = shadow.HorizSize(), vs = shadow.VertSize();
        if (std::max(hs, vs) > 0 && shape.Pen().Visible()) {
            hs += shape.Pen().Width();
            vs += shape.Pen().Width();
        }
        const TRect moved = TurnedBounds(TRect{box.Left + hs, box.Top + vs, box.Right + hs, box.Bottom + vs}, angle);
        covered = TRect{std::min(covered.Left, moved.Left), std::min(covered.Top, moved.Top),
                        std::max(covered.Right, moved.Right), std::max(covered.Bottom, moved.Bottom)};
    }
    const int pen = shape.Pen().Visible() ? shape.Pen().Width() : 0;
    return TRect{covered.Left - pen, covered.Top - pen, covered.Right + pen, covered.Bottom + pen};
}

TSeriesMarks::TBoxReach TSeriesMarks::BoxReach() {
    TBoxReach reach;
    TCustomAxisPanel* chart = FSeries->ParentChart();
    if (!chart || !Visible()) return reach;
    const unsigned pass = chart->MarginsPass();
    if (pass != 0 && pass == FReachPass) return FReach;
    TCanvas3D& canvas = chart->Canvas();
    // The axes are scaled before their margins: the points DrawMarks will walk are known, and
    // a redraw measures the marks it can show, not every point the series holds. Widening an
    // automatic end takes in no further points, so the walk stays the same.
    FSeries->CalcVisibleRange();
    if (FSeries->FirstVisible() >= 0)
        ForEachDrawnMark(
            canvas, FSeries->FirstVisible(), FSeries->LastVisible(),
            [&](int, TPlotCustomShape& shape, const std::string& text) {
                const TRect covered = CoveredBounds(shape, PlaceBox(canvas, shape, text, TPoint{0, 0}).Bounds());
                reach.Above = std::max(reach.Above, -covered.Top);
                reach.Below = std::max(reach.Below, covered.Bottom);
                reach.Left = std::max(reach.Left, -covered.Left);
                reach.Right = std::max(reach.Right, covered.Right);
            });
    FReachPass = pass;
    FReach = reach;
    return reach;
}

bool TSeriesMarks::KeepInsidePlot(int index, TPlotCustomShape& shape, TSeriesMarkPosition& position) const {
    TCustomAxisPanel* chart = FSeries->ParentChart();
    if (!FSeries->ParticipatesInAxes()) return true;
    // The series' margins make room for the boxes at automatic axis ends only: at a fixed
    // end, or on a plot too small for its margins, a box would stand over the axis texts,
    // the legend or the titles, so it is moved into the plot, or left out where the plot
    // cannot hold it.
    TCanvas3D& canvas = chart->Canvas();
    const bool projected = chart->View3D() && !canvas.IsHardware3D();
    const auto screen = [&](const TPoint& p) { return projected ? canvas.WorldToScreen(p, MarkDepth) : p; };
    const TRect& plot = chart->PlotRect();
    const TPoint tl = screen(TPoint{plot.Left, plot.Top}), tr = screen(TPoint{plot.Right, plot.Top});
    const TPoint bl = screen(TPoint{plot.Left, plot.Bottom}), br = screen(TPoint{plot.Right, plot.Bottom});
    const TRect room{std::max(tl.x, bl.x), std::max(tl.y, tr.y), std::min(tr.x, br.x), std::min(bl.y, br.y)};
    if (chart->ClipPoints()) {
        // the point itself is clipped away: a mark pulled into the plot would name a point not shown
        const TPoint point = screen(TPoint{FSeries->PointScreenX(index), FSeries->PointScreenY(index)});
        if (point.x < room.Left || point.x > room.Right || point.y < room.Top || point.y > room.Bottom) return false;
    }
    const TPoint end = screen(position.ArrowEnd);
    const TRect box = position.Bounds();
    const int sx = end.x - position.ArrowEnd.x, sy = end.y - position.ArrowEnd.y;
    const TRect c = CoveredBounds(shape, TRect{box.Left + sx, box.Top + sy, box.Right + sx, box.Bottom + sy});
    if (c.Right - c.Left > room.Right - room.Left || c.Bottom - c.Top > room.Bottom - room.Top) return false;
    const int dx = c.Left < room.Left ? room.Left - c.Left : c.Right > room.Right ? room.Right - c.Right : 0;
    const int dy = c.Top < room.Top ? room.Top - c.Top : c.Bottom > room.Bottom ? room.Bottom - c.Bottom : 0;
    position.BoxTopLeft = TPoint{position.BoxTopLeft.x + dx, position.BoxTopLeft.y + dy};
    position.ArrowEnd = TPoint{position.ArrowEnd.x + dx, position.ArrowEnd.y + dy};
    return true;
}

void TSeriesMarks::DrawOneMark(int index, TColor color, TSeriesMarkPosition& position, const std::string& text) {
    TCustomAxisPanel* chart = FSeries->ParentChart();
    if (!chart) return;
    TPlotCustomShape* shape = FItems.ItemIfAny(index);
    if (!shape) shape = this;
    TSeriesMarkPosition* previous = FPositions.Position(index);
    if ((!previous || !previous->IsCustom) && !KeepInsidePlot(index, *shape, position)) return;
    TSeriesMarkPosition& stored = FPositions.Ensure(index);
    if (!stored.IsCustom) {
        stored = position;
    } else {
        const TPoint computedStart = position.ArrowStart;
        position = stored;
        if (stored.ArrowStartFixed) position.ArrowStart = computedStart;
    }
    TCanvas3D& canvas = chart->Canvas();
    const bool is3D = chart->View3D();
    if (FCallout.Visible() || FCallout.Arrow().Visible())
        FCallout.Draw(canvas, is3D, color, position.ArrowStart, position.ArrowEnd, MarkDepth);

    TCanvas* device = canvas.Canvas();
    if (shape->Transparent()) {
        if (device) device->Brush().SetStyle(bsClear);
        canvas.SetBackgroundMode(TRANSPARENT);
    } else {
        canvas.SelectBrush(shape->Brush(), shape->Color(), clNone);
    }
    canvas.SelectPen(shape->Pen());
    TRect box = position.Bounds();
    if (is3D && !canvas.IsHardware3D()) {
        const TPoint p = canvas.WorldToScreen(position.ArrowEnd, MarkDepth);
        const int dx = p.x - position.ArrowEnd.x, dy = p.y - position.ArrowEnd.y;
        box = TRect{box.Left + dx, box.Top + dy, box.Right + dx, box.Bottom + dy};
    }
    shape->DrawShape(canvas, box, FAngle % 360, MarkDepth + 1);
    DrawText(canvas, *shape, box, text);
    if (FDrawnIn != chart->DrawCount()) {
        FDrawn.clear();
        FDrawnIn = chart->DrawCount();
    }
    FDrawn.push_back(index);
}

void TSeriesMarks::DrawText(TCanvas3D& canvas, const TPlotCustomShape& shape, const TRect& box,
                            const std::string& text) {
    if (TCanvas* device = canvas.Canvas()) device->Brush().SetStyle(bsClear);
    canvas.SetBackgroundMode(TRANSPARENT);
    canvas.SetTextAlignment(TA_CENTER | TA_TOP);
    const TRect r{box.Left + 2, box.Top, box.Right, box.Bottom};
    const int cx = (r.Left + r.Right) / 2, cy = (r.Top + r.Bottom) / 2;
    const int fontHeight = FFontMetrics.LineHeight >= 0 ? FFontMetrics.LineHeight : canvas.TextLineHeight();
    const int penWidth = shape.Pen().Visible() ? shape.Pen().Width() : 0;
    const bool full3D = canvas.IsHardware3D();
    const std::vector<std::string> lines = SplitMarkLines(text);
    const int angle = FAngle % 360;
    for (std::size_t k = 0; k < lines.size(); ++k) {
        const int offset = static_cast<int>(k) * fontHeight;
        if (angle == 0) {
            const int y = r.Top + offset + penWidth;
            if (full3D)
                canvas.WriteText3D(cx, y, lines[k], MarkDepth);
            else
                canvas.WriteText(cx, y, lines[k]);
            continue;
        }
        const double a = angle * std::numbers::pi / 180;
        const int b = offset + cy - r.Bottom;
        const int x = cx + RoundHalfEven32(std::sin(a) * b) + (angle == 90 ? 2 : 0);
        const int y = cy + RoundHalfEven32(std::cos(a) * b);
        if (full3D)
            canvas.WriteRotatedText3D(x, y, angle, lines[k], MarkDepth);
        else
            canvas.WriteRotatedText(x, y, angle, lines[k]);
    }
}

// Only the boxes of the chart's last draw answer: a box kept from an earlier one (its point
// scrolled away, its mark left out for want of room, the marks hidden) shows nothing there.
int TSeriesMarks::MarkAtPixel(int x, int y) const {
    TCustomAxisPanel* chart = FSeries->ParentChart();
    if (!chart || FDrawnIn != chart->DrawCount()) return -1;
    if (chart->View3D()) chart->Canvas().ScreenToWorld(x, y, MarkDepth);
    int found = -1;
    for (const int i : FDrawn) {
        if (i % FDrawEvery != 0 || (found != -1 && i > found)) continue;
        const TSeriesMarkPosition* p = FPositions.Position(i);
        if (p && RectContainsPoint(p->Bounds(), TPoint{x, y})) found = i;
    }
    return found;
}

void TSeriesMarks::ApplyArrowLength(TSeriesMarkPosition& position) const {
    const int distance = FCallout.Distance();
    const int up = FCallout.Length() + distance;
    position.BoxTopLeft.y -= up;
    position.ArrowEnd.y -= up;
    position.ArrowStart.y -= distance;
}

void TSeriesMarks::ClearMarkPositions() {
    FPositions.Clear();
    FDrawn.clear();
    if (!FItems.ItemsLoaded) FItems.Clear();
}

void TSeriesMarks::DeletePoints(int index, int count) {
    FPositions.DeleteRange(index, count);
    FItems.DeleteRange(index, count);
    // the boxes drawn stay where they are, under the points' new numbers
    std::erase_if(FDrawn, [&](int i) { return i >= index && i < index + count; });
    for (int& i : FDrawn)
        if (i >= index + count) i -= count;
}
