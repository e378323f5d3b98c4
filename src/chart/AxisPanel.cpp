#include "AxisPanel.h"

#include "SeriesMarks.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <tuple>
#include <utility>

#include "ChartAxis.h"
#include "ChartMessages.h"
#include "ChartUtils.h"
#include "Format.h"
#include "Rounding.h"
#include "ScopeExit.h"

TCustomAxisPanel::TCustomAxisPanel(TComponent* owner) : TCustomPlotPanelExtended(owner) {
    SetAutoRepaint(false);
    FBottomAxis = FAxes.Add(std::make_unique<TChartAxis>(this));
    FBottomAxis->SetHorizontal(true);
    FTopAxis = FAxes.Add(std::make_unique<TChartAxis>(this));
    FTopAxis->SetHorizontal(true);
    FTopAxis->SetOtherSide(true);
    FTopAxis->SetZPosition(100);
    FTopAxis->Grid().SetDefaultZPosition(100);
    FLeftAxis = FAxes.Add(std::make_unique<TChartAxis>(this));
    FLeftAxis->Title().SetDefaultAngle(90);
    FRightAxis = FAxes.Add(std::make_unique<TChartAxis>(this));
    FRightAxis->Title().SetDefaultAngle(270);
    FRightAxis->SetOtherSide(true);
    FRightAxis->SetZPosition(100);
    FRightAxis->Grid().SetDefaultZPosition(100);
    FDepthAxis = static_cast<TChartDepthAxis*>(FAxes.Add(std::make_unique<TChartDepthAxis>(this)));
    FDepthAxis->SetVisible(false);
    FDepthAxis->SetIsDepthAxis(true);
    FDepthAxis->SetOtherSide(true);
    FPage = 1;
    FScaleLastPage = true;
    SetAutoRepaint(true);
}

TCustomAxisPanel::~TCustomAxisPanel() {
    Destroying();
    FreeAllSeries();
    FTools.Clear();
    FAxes.Clear();
}

void TCustomAxisPanel::AddSeries(TChartSeries* series) {
    if (!series || SeriesIndexOf(series) >= 0) return;
    series->FParent = this;
    series->AddedToChart();
    FSeriesList.FItems.push_back(series);
    BroadcastSeriesEvent(series, seAdd);
    Invalidate();
}

void TCustomAxisPanel::RemoveSeries(TChartSeries* series) {
    int index = SeriesIndexOf(series);
    if (index < 0) return;
    BroadcastSeriesEvent(series, seRemove);
    series->RemovedFromChart();
    FSeriesList.FItems.erase(FSeriesList.FItems.begin() + index);
    series->FParent = nullptr;
    Invalidate();
}

void TCustomAxisPanel::FreeAllSeries(const std::function<bool(const TChartSeries&)>& filter) {
    const std::vector<TChartSeries*> list = FSeriesList;
    for (TChartSeries* s : list) {
        if (filter && !filter(*s)) continue;
        s->SetParentChart(nullptr);
        delete s;
    }
}

TChartSeries* TChartSeriesList::SeriesAt(int index) const {
    if (index < 0 || index >= Count())
        throw ChartException(Format("Series index %d out of bounds (0 to %d).", index, Count() - 1));
    return FItems[static_cast<std::size_t>(index)];
}

int TChartSeriesList::IndexOf(const TChartSeries* series) const {
    auto it = std::find(FItems.begin(), FItems.end(), series);
    return it == FItems.end() ? -1 : static_cast<int>(it - FItems.begin());
}

TChartSeries* TCustomAxisPanel::Series(int index) const { return FSeriesList.SeriesAt(index); }

int TCustomAxisPanel::SeriesIndexOf(const TChartSeries* series) const { return FSeriesList.IndexOf(series); }

// ---------------------------------------------------------------------------
// The five standard axes come first in the axes list.
constexpr int StandardAxisCount = 5;

int TChartCustomAxes::Count() const { return std::max(0, FChart.AxesList().Count() - StandardAxisCount); }

TChartAxis* TChartCustomAxes::Items(int index) const {
    if (index < 0 || index >= Count())
        throw ChartException(Format("Axis index %d out of bounds (0 to %d).", index, Count() - 1));
    return FChart.AxesList()[StandardAxisCount + index];
}

TChartAxis* TChartCustomAxes::Add() { return FChart.AddCustomAxis(); }

void TChartCustomAxes::Clear() {
    TChartAxes& axes = FChart.AxesList();
    while (Count() > 0) {
        // out of the list first, then freed
        TChartAxis* last = axes[axes.Count() - 1];
        axes.Remove(last);
        std::unique_ptr<TChartAxis> gone(last);
    }
}

void TChartCustomAxes::Assign(const TChartCustomAxes& source) {
    if (&source == this) return;
    Clear();
    for (int i = 0; i < source.Count(); ++i) Add()->Assign(source.Items(i));
}

int TCustomAxisPanel::ActiveSeriesCount() const {
    return static_cast<int>(
        std::count_if(FSeriesList.begin(), FSeriesList.end(), [](TChartSeries* s) { return s->Active(); }));
}

int TCustomAxisPanel::MaxPointCount() const {
    int n = 0;
    for (TChartSeries* s : FSeriesList)
        if (s->Active()) n = std::max(n, s->PointCount());
    return n;
}

TChartSeries* TCustomAxisPanel::FirstSeriesOfAxis(const TChartAxis* axis) const {
    for (TChartSeries* s : FSeriesList)
        if (s->Active() && s->UsesAxis(axis)) return s;
    for (TChartSeries* s : FSeriesList)
        if (s->UsesAxis(axis)) return s;
    return nullptr;
}

TChartSeries* TCustomAxisPanel::LongestSeriesOfAxis(const TChartAxis* axis) const {
    bool anyActive = std::any_of(FSeriesList.begin(), FSeriesList.end(),
                                 [&](TChartSeries* s) { return s->Active() && s->UsesAxis(axis); });
    TChartSeries* best = nullptr;
    for (TChartSeries* s : FSeriesList)
        if ((s->Active() || !anyActive) && s->UsesAxis(axis) && (!best || s->PointCount() > best->PointCount()))
            best = s;
    return best;
}

bool TCustomAxisPanel::IsFreeSeriesColor(TColor color, bool checkAll) const {
    for (TChartSeries* s : FSeriesList)
        if ((checkAll || s->Active()) && s->SeriesColor() == color) return false;
    return true;
}

TColor TCustomAxisPanel::FirstFreeSeriesColor(bool checkAll) const {
    TColor c = PaletteColor(0);
    for (int i = 0; i < ColorPaletteSize; ++i) {
        c = PaletteColor(i);
        if (IsFreeSeriesColor(c, checkAll)) return c;
    }
    return c;
}

void TCustomAxisPanel::BroadcastSeriesEvent(TChartSeries* series, TPlotSeriesEventKind kind) {
    if (ListenerCount() > 0) {
        TPlotSeriesEvent event;
        event.Event = kind;
        event.Series = series;
        BroadcastEvent(event);
    }
    if (OnSeriesEvent) OnSeriesEvent(series, kind);
}

bool TCustomAxisPanel::IsValidDataSource(TChartSeries* series, TComponent* component) const {
    if (!component || component == series) return false;
    if (auto* s = dynamic_cast<TChartSeries*>(component))
        return !series->SeriesFunction() || series->SeriesFunction()->IsValidSource(s);
    if (auto* src = dynamic_cast<TPlotSeriesSource*>(component))
        return src->AcceptsChart(const_cast<TCustomAxisPanel*>(this));
    return false;
}

namespace {

// Every source of the chain is compared, not only the first one, so that a
// loop through a second source is refused as well.
void CheckChain(const TChartSeries* series, const TComponent* component, std::vector<const TChartSeries*>& seen) {
    if (std::find(seen.begin(), seen.end(), series) != seen.end()) return;
    seen.push_back(series);
    for (TComponent* c : series->SourceList()) {
        if (c == component) throw ChartException(PlotConst().ErrCircularSource);
        if (auto* s = dynamic_cast<TChartSeries*>(c)) CheckChain(s, component, seen);
    }
}

}  // namespace

void TCustomAxisPanel::CheckDataSource(TChartSeries* series, TComponent* component) const {
    std::vector<const TChartSeries*> seen;
    CheckChain(series, component, seen);
}

void TCustomAxisPanel::RefreshSeriesData(TChartSeries* series) {
    if (!series || series->IsLoading()) return;
    TComponent* source = series->DataSource();
    if (auto* s = dynamic_cast<TChartSeries*>(source)) {
        series->RefillFromSource(s);
    } else if (auto* src = dynamic_cast<TPlotSeriesSource*>(source)) {
        src->Refresh();
    } else if (!source && series->SeriesFunction() && series->SeriesFunction()->NoSourceRequired()) {
        series->SuspendNotify();
        try {
            series->ClearPoints();
            series->SeriesFunction()->AddPoints(nullptr);
        } catch (...) {
            series->ResumeNotify();
            throw;
        }
        series->ResumeNotify();
    } else if (!source && !series->ManualData() && (IsDesigning() || series->IsDesigning() || ProcessDesigning())) {
        series->FillSampleValues(series->NumSampleValues());
    }
}

TChartAxis* TCustomAxisPanel::AddCustomAxis() { return FAxes.Add(std::make_unique<TChartAxis>(this)); }

bool TCustomAxisPanel::IsAxisShown(const TChartAxis* axis) const {
    if (!axis || !FAxisVisible || !axis->Visible()) return false;
    if (axis == FDepthAxis) return View3D();
    bool anyActive = false;
    for (TChartSeries* s : FSeriesList) {
        if (!s->Active()) continue;
        anyActive = true;
        if (!s->ParticipatesInAxes()) return false;
        if (s->UsesAxis(axis)) return true;
    }
    return !anyActive;
}

bool TCustomAxisPanel::AxisRunsAlongX(const TChartAxis* axis) const {
    const TChartSeries* first = nullptr;
    for (TChartSeries* s : FSeriesList)
        if (s->UsesAxis(axis)) {
            first = s;
            break;
        }
    return (!first || first->ValuesVertical()) == axis->Horizontal();
}

double TCustomAxisPanel::SeriesExtremeForAxis(const TChartAxis* axis, bool maximum) const {
    if (axis == FDepthAxis) {
        TAxisLabelStyle style = axis->LabelStyle() == talAuto ? axis->CalcLabelStyle() : axis->LabelStyle();
        if (style != talValue) return maximum ? FMaxZOrder + 0.5 : -0.5;
        bool found = false;
        double r = 0;
        for (TChartSeries* s : FSeriesList) {
            if (!s->Active()) continue;
            double v = maximum ? s->HighestZ() : s->LowestZ();
            if (!found || (maximum ? v > r : v < r)) r = v;
            found = true;
        }
        return r;
    }
    if (FMaxPointsPerPage > 0 && AxisRunsAlongX(axis)) {
        const TChartSeries* s = nullptr;
        for (TChartSeries* c : FSeriesList)
            if (c->Active() && c->UsesAxis(axis)) {
                s = c;
                break;
            }
        if (!s || s->PointCount() == 0) return 0;
        const int n = s->PointCount();
        const int p = FMaxPointsPerPage;
        long first = static_cast<long>(FPage - 1) * p;
        // a page past the data shows the real last page
        if (first >= n) first = static_cast<long>((n - 1) / p) * p;
        long last = std::min<long>(first + p - 1, n - 1);
        const TChartValueList* list = axis->Horizontal() ? s->XValues() : s->YValues();
        double v0 = list->ValueAt(static_cast<int>(first));
        double v1 = list->ValueAt(static_cast<int>(last));
        if (!maximum) return v0;
        if (!FScaleLastPage && last - first + 1 < p) return v0 + (v1 - v0) * p / static_cast<double>(last - first + 1);
        return v1;
    }
    bool anyActive = std::any_of(FSeriesList.begin(), FSeriesList.end(),
                                 [&](TChartSeries* s) { return s->Active() && s->UsesAxis(axis); });
    bool found = false;
    double r = 0;
    for (TChartSeries* s : FSeriesList) {
        if ((!s->Active() && anyActive) || !s->UsesAxis(axis)) continue;
        // a series without one finite value along the axis has no data to show there
        if (!(axis->Horizontal() ? s->XValues() : s->YValues())->HasFiniteValue()) continue;
        double v =
            axis->Horizontal() ? (maximum ? s->HighestX() : s->LowestX()) : (maximum ? s->HighestY() : s->LowestY());
        if (!found || (maximum ? v > r : v < r)) r = v;
        found = true;
    }
    return r;
}

void TCustomAxisPanel::NotifyTools(TChartToolStage stage) {
    const std::vector<TPlotCustomTool*> tools = FTools.Items();
    // a tool may free another one (or itself) while it is called
    for (TPlotCustomTool* t : tools)
        if (FTools.IndexOf(t) >= 0 && t->Active()) t->ChartStageNotify(stage);
}

void TCustomAxisPanel::DrawSeriesMarks(TChartSeries* series) {
    TSeriesMarks& marks = series->Marks();
    if (!marks.Visible()) return;
    marks.MarkDepth = series->SeriesMiddleZ;
    TCanvas3D& canvas = Canvas();
    const TRect& p = PlotRect();
    if (marks.Clip()) canvas.ClipToCube(TRect{p.Left, p.Top, p.Right, p.Bottom + 1}, 0, FChartDepth3D);
    const ScopeExit unclip([&] {
        if (marks.Clip()) canvas.RemoveClipping();
    });
    marks.DrawMarks();
}

int TCustomAxisPanel::MaxMarkWidth() const {
    int widest = 0;
    for (const TChartSeries* s : FSeriesList)
        if (s->Active()) widest = std::max(widest, s->WidestMarkWidth());
    return widest;
}

void TCustomAxisPanel::SetMaxPointsPerPage(int value) {
    if (value < 0) throw ChartException(PlotConst().ErrPointsPerPage);
    SetValue(FMaxPointsPerPage, value);
    if (FPage > PageCount()) FPage = PageCount();
    TChartChangePage changed;
    BroadcastEvent(changed);
}

void TCustomAxisPanel::SetPage(int value) {
    value = std::max(std::min(value, PageCount()), 1);
    if (value == FPage) return;
    FPage = value;
    Invalidate();
    TChartChangePage changed;
    BroadcastEvent(changed);
    if (OnPageChange) OnPageChange(this);
}

int TCustomAxisPanel::PageCount() const {
    if (FMaxPointsPerPage < 1 || FSeriesList.empty()) return 1;
    const bool vertical = FSeriesList.front()->ValuesVertical();
    const TChartAxis* axes[2] = {vertical ? FBottomAxis : FLeftAxis, vertical ? FTopAxis : FRightAxis};
    int pages = 1;
    for (const TChartAxis* a : axes) {
        int n = 0;
        for (TChartSeries* s : FSeriesList)
            if (s->Active() && s->UsesAxis(a)) n = std::max(n, s->PointCount());
        int count = n <= 0 ? 1 : (n - 1) / FMaxPointsPerPage + 1;
        pages = std::max(pages, count);
    }
    return pages;
}

bool TCustomAxisPanel::MouseOverSeries(int x, int y) {
    const std::vector<TChartSeries*> list = FSeriesList;
    for (auto it = list.rbegin(); it != list.rend(); ++it)
        if ((*it)->Active() && (*it)->CheckMouse(x, y)) return true;
    return false;
}

int TCustomAxisPanel::MaxPointLabelWidth() const {
    int width = 0, lines = 0;
    for (TChartSeries* s : FSeriesList)
        for (int i = 0; i < s->PointLabels().Count(); ++i)
            width = std::max(width, MultiLineTextWidth(s->PointLabels().Label(i), lines));
    return width;
}

int TCustomAxisPanel::MultiLineTextWidth(const std::string& text, int& lines) const {
    lines = 0;
    if (text.empty()) return 0;
    int width = 0;
    std::size_t start = 0;
    while (true) {
        std::size_t end = text.find(LineSeparator, start);
        ++lines;
        width =
            std::max(width, TextWidth(text.substr(start, end == std::string::npos ? std::string::npos : end - start)));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return width;
}

int TCustomAxisPanel::TextWidth(const std::string& text) const {
    TCanvas3D& canvas = Canvas();
    return canvas.GetDeviceHandle() ? canvas.MeasureTextWidth(text) : 0;
}

int TCustomAxisPanel::FontHeight() const {
    TCanvas3D& canvas = Canvas();
    return canvas.GetDeviceHandle() ? canvas.TextLineHeight() : 0;
}

void TCustomAxisPanel::Assign(const TPersistent* source) {
    if (const auto* p = dynamic_cast<const TCustomAxisPanel*>(source)) {
        SetAxisBehind(p->FAxisBehind);
        SetAxisVisible(p->FAxisVisible);
        FBottomAxis->Assign(p->FBottomAxis);
        FTopAxis->Assign(p->FTopAxis);
        FLeftAxis->Assign(p->FLeftAxis);
        FRightAxis->Assign(p->FRightAxis);
        FDepthAxis->Assign(p->FDepthAxis);
        FCustomAxes.Assign(p->FCustomAxes);
        SetClipPoints(p->FClipPoints);
        SetMaxPointsPerPage(p->FMaxPointsPerPage);
        SetPage(p->FPage);
        SetScaleLastPage(p->FScaleLastPage);
        SetView3DWalls(p->FView3DWalls);
    }
    TCustomPlotPanelExtended::Assign(source);
}

TChartSeries* TCustomAxisPanel::SeriesForLegend(int index, bool activeOnly) const {
    int n = 0;
    for (TChartSeries* s : FSeriesList) {
        if (!s->ShowInLegend() || (activeOnly && !s->Active())) continue;
        if (n++ == index) return s;
    }
    return nullptr;
}

std::string TCustomAxisPanel::SeriesTitleForLegend(int index, bool activeOnly) const {
    TChartSeries* s = SeriesForLegend(index, activeOnly);
    return s ? s->SeriesTitle() : std::string();
}

bool TCustomAxisPanel::SeriesUseAxes() const {
    bool anyActive = false;
    for (TChartSeries* s : FSeriesList) {
        if (!s->Active()) continue;
        anyActive = true;
        if (s->ParticipatesInAxes()) return true;
    }
    return !anyActive;
}

void TCustomAxisPanel::CalcDepth3D() {
    if (!View3D()) {
        FSeriesDepth3D = FSeriesHeight3D = FChartDepth3D = FChartHeight3D = 0;
        return;
    }
    const double a = Chart3DPercent() * 0.001;
    const bool ortho = View3DOptions().Orthogonal();
    FSeriesDepth3D = static_cast<int>(RoundHalfEven(PlotWidth() * (ortho ? a : 2 * a)));
    const double slope = View3DOptions().OrthoSlope();
    if (slope > 1) FSeriesDepth3D = static_cast<int>(RoundHalfEven(FSeriesDepth3D / slope));
    FSeriesHeight3D = static_cast<int>(RoundHalfEven(FSeriesDepth3D * slope));
    const int n = StackSeriesInDepth() ? std::max(1, FMaxZOrder + 1) : 1;
    // The depth is a share of the plot's width: on a wide, low plot it would rise past
    // the plot's top and leave no plot to see. It takes at most half the plot's height
    // (and width), the plot keeps the rest.
    if (ortho) {
        const int rise = std::max(0, PlotHeight() / 2) / n, side = std::max(0, PlotWidth() / 2) / n;
        if (FSeriesHeight3D > rise) {
            FSeriesHeight3D = rise;
            if (slope > 0) FSeriesDepth3D = static_cast<int>(std::min<double>(FSeriesDepth3D, rise / slope));
        }
        if (FSeriesDepth3D > side) {
            FSeriesDepth3D = side;
            FSeriesHeight3D = static_cast<int>(std::min<double>(FSeriesHeight3D, side * slope));
        }
    }
    FChartHeight3D = n * FSeriesHeight3D;
    FChartDepth3D = n * FSeriesDepth3D;
}

namespace {

TRect Intersection(const TRect& a, const TRect& b) {
    return TRect{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
                 std::min(a.Bottom, b.Bottom)};
}

using TOutline = std::vector<std::pair<double, double>>;

// The convex outline around points, counterclockwise on the screen.
TOutline ConvexOutline(TOutline points) {
    std::sort(points.begin(), points.end());
    if (points.size() < 3) return points;
    auto cross = [](const auto& o, const auto& a, const auto& b) {
        return (a.first - o.first) * (b.second - o.second) - (a.second - o.second) * (b.first - o.first);
    };
    TOutline hull(2 * points.size());
    std::size_t k = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        while (k >= 2 && cross(hull[k - 2], hull[k - 1], points[i]) <= 0) --k;
        hull[k++] = points[i];
    }
    for (std::size_t i = points.size() - 1, t = k + 1; i-- > 0;) {
        while (k >= t && cross(hull[k - 2], hull[k - 1], points[i]) <= 0) --k;
        hull[k++] = points[i];
    }
    hull.resize(k - 1);
    return hull;
}

// The part of a convex outline inside r, as the pixels' bounds (empty: none).
TRect ClipOutline(const TOutline& outline, const TRect& r) {
    TOutline poly = outline;
    // each edge of r in turn: a side (0 x, 1 y), its value, and which side is inside
    const std::tuple<int, double, bool> edges[4] = {
        {0, r.Left, true}, {0, r.Right, false}, {1, r.Top, true}, {1, r.Bottom, false}};
    for (const auto& edge : edges) {
        if (poly.empty()) break;
        // named, not bound: a lambda may not take a structured binding on every compiler we build with
        const int axis = std::get<0>(edge);
        const double at = std::get<1>(edge);
        const bool above = std::get<2>(edge);
        auto value = [axis](const std::pair<double, double>& q) { return axis == 0 ? q.first : q.second; };
        auto inside = [&](const std::pair<double, double>& q) { return above ? value(q) >= at : value(q) <= at; };
        TOutline next;
        for (std::size_t i = 0; i < poly.size(); ++i) {
            const auto& a = poly[i];
            const auto& b = poly[(i + 1) % poly.size()];
            if (inside(a)) next.push_back(a);
            if (inside(a) != inside(b)) {
                const double t = (at - value(a)) / (value(b) - value(a));
                next.emplace_back(a.first + (b.first - a.first) * t, a.second + (b.second - a.second) * t);
            }
        }
        poly = std::move(next);
    }
    if (poly.empty()) return TRect{0, 0, 0, 0};
    double left = poly[0].first, right = left, top = poly[0].second, bottom = top;
    for (const auto& [x, y] : poly) {
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
    }
    // a sliver along an edge of r, where the outline only touches it, covers no pixel
    if (right - left < 0.5 || bottom - top < 0.5) return TRect{0, 0, 0, 0};
    return TRect{static_cast<int>(std::floor(left)), static_cast<int>(std::floor(top)),
                 static_cast<int>(std::ceil(right)), static_cast<int>(std::ceil(bottom))};
}

// Where text, moved along (dx, dy) by t, overlaps wall or comes within a pixel of it, t
// runs over an interval: its end when it holds t = 0, else 0. Two convex outlines are
// apart exactly when their shadows on one of their edges' normals are.
double ExitAlong(const TOutline& text, const TOutline& wall, double dx, double dy) {
    double lo = -1e300, hi = 1e300;
    for (const TOutline* poly : {&text, &wall}) {
        if (poly->size() < 3) continue;
        for (std::size_t i = 0; i < poly->size(); ++i) {
            const auto& e0 = (*poly)[i];
            const auto& e1 = (*poly)[(i + 1) % poly->size()];
            const double length = std::hypot(e1.first - e0.first, e1.second - e0.second);
            if (length == 0) continue;
            const double nx = (e0.second - e1.second) / length, ny = (e1.first - e0.first) / length;
            auto span = [nx, ny](const TOutline& o) {
                double from = 1e300, to = -1e300;
                for (const auto& [x, y] : o) {
                    from = std::min(from, x * nx + y * ny);
                    to = std::max(to, x * nx + y * ny);
                }
                return std::pair<double, double>{from - 0.5, to + 0.5};
            };
            const auto [a0, a1] = span(text);
            const auto [b0, b1] = span(wall);
            const double nd = dx * nx + dy * ny;
            if (std::abs(nd) < 1e-9) {
                if (a0 >= b1 || a1 <= b0) return 0;
                continue;
            }
            const double u = (b1 - a0) / nd, v = (b0 - a1) / nd;
            lo = std::max(lo, std::min(u, v));
            hi = std::min(hi, std::max(u, v));
        }
    }
    return lo < 0 && 0 < hi ? hi : 0;
}

bool Meets(const TRect& a, const TRect& b) {
    return a.Left < b.Right && b.Left < a.Right && a.Top < b.Bottom && b.Top < a.Bottom;
}

}  // namespace

void TCustomAxisPanel::InternalDraw(const TRect& r) {
    // changes made while drawing ask for no new paint; however the draw ends, they may again
    const bool repaint = AutoRepaint();
    SetAutoRepaint(false);
    const ScopeExit restoreRepaint([&] { SetAutoRepaint(repaint); });
    DrawBackgroundStage(r);
    // the series as they are after the handlers of the first stage
    const std::vector<TChartSeries*> series = FSeriesList;
    for (TChartSeries* s : series)
        if (s->Active()) s->SeriesHook();
    // The legend formats x values as their axis does, by the axis' range; it
    // draws before the axes are laid out, and must not read the range the
    // previous paint left (a zoom and its undo would change its texts).
    for (TChartAxis* a : FAxes.Items()) a->AdjustAxisRange();
    // the legend leaves room for the depth the series take, stacked in their order
    CalcSeriesZOrder(series);
    if (!Canvas().IsHardware3D()) DrawTitlesAndLegend(true);
    CalcWallsRect();
    CalcAxesRoom(false);
    CalcSeriesDepths(series);
    for (int round = 0; round < 2; ++round) {
        FMarginsPass = ++FMarginsPasses == 0 ? ++FMarginsPasses : FMarginsPasses;
        const ScopeExit endPass([this] { FMarginsPass = 0; });
        bool inflated = false;
        for (TChartAxis* a : FAxes.Items()) inflated = InflateForSeriesMargins(a, series) || inflated;
        if (!inflated) break;
        // The series' margins widen the scales after the room was taken: the labels of
        // the step they bring may need more room across, which the room is then taken
        // again with (once), and may stand on an end.
        bool wider = false;
        if (round == 0 && (!View3D() || View3DOptions().Orthogonal()))
            for (TChartAxis* a : FAxes.Items())
                if (IsAxisShown(a) && a->WidenLabelsRoom()) wider = true;
        if (!wider) {
            // the titles and the depth texts keep clear of the labels of the new step
            Canvas().SetProjectionCenter(FChartDepth3D, PlotRect());
            if (View3D() && !View3DOptions().Orthogonal())
                for (TChartAxis* a : FAxes.Items())
                    if (IsAxisShown(a)) a->ClearTitleOfLabels();
            if (IsAxisShown(FDepthAxis)) FDepthAxis->ClearDepthTexts();
            TextsOverrun(FTextsStart, FTextsInner, FTextsPlaced, true);
            break;
        }
        SetPlotRect(FTextsStart);
        RecalcPlotSize();
        CalcAxesRoom(true);
        CalcSeriesDepths(series);
    }
    DrawPlotStage(series);
}

void TCustomAxisPanel::DrawBackgroundStage(const TRect& r) {
    const TView3DOptions& options = View3DOptions();
    FReversedView = View3D() && (options.Orthogonal() ? options.OrthoAngle() > 90 : options.Rotation() < 270);
    PaintBackground(r);
    NotifyTools(ctsBeforeDraw);
    DoBeforeDrawChart();
}

void TCustomAxisPanel::CalcSeriesZOrder(const std::vector<TChartSeries*>& series) {
    FMaxZOrder = 0;
    const bool stacked = StackSeriesInDepth() && View3D();
    if (stacked) {
        FMaxZOrder = -1;
        for (TChartSeries* s : series)
            if (s->Active()) s->CalcZOrder();
    }
    if (!FDepthAxis->Inverted())
        for (TChartSeries* s : series)
            if (s->Active()) s->SetComputedZOrder(stacked ? FMaxZOrder - s->ZOrder() : 0);
}

void TCustomAxisPanel::CalcAxesRoom(bool keepFloors) {
    for (TChartAxis* a : FAxes.Items()) {
        a->AdjustAxisRange();
        a->CalcAxisPixels();
    }
    const TRect start = PlotRect();
    TRect room = start;
    const int frame = FrameWidth();
    const TRect inner{FPanelRect.Left + frame, FPanelRect.Top + frame, FPanelRect.Right - frame,
                      FPanelRect.Bottom - frame};
    std::vector<TRect> placed;
    PlacedTexts(placed);
    // a title longer than what the legend and the titles leave could only be cut
    TRect outer = inner;
    for (const TRect& b : placed) {
        if (b.Bottom <= room.Top) outer.Top = std::max(outer.Top, b.Bottom);
        if (b.Top >= room.Bottom) outer.Bottom = std::min(outer.Bottom, b.Top);
        if (b.Right <= room.Left) outer.Left = std::max(outer.Left, b.Right);
        if (b.Left >= room.Right) outer.Right = std::min(outer.Right, b.Left);
    }
    const bool turned = View3D() && !View3DOptions().Orthogonal();
    if (!keepFloors)
        for (TChartAxis* a : FAxes.Items()) {
            a->LabelsRoomFloor = a->WallsClear = 0;
            // The labels' first measure projects them where they stand: in a turned view
            // that sets their length on the screen, hence their step. They start at the
            // plot's edge, not where the last paint left them, or each paint would differ.
            if (turned)
                a->LabelsPos = a->TitlePos = a->Horizontal() ? (a->OtherSide() ? start.Top : start.Bottom)
                                                             : (a->OtherSide() ? start.Right : start.Left);
        }
    // The room measures the labels before the plot's final length chooses their step,
    // and before the projection and the slant move them: where that step's labels need
    // more, or the texts as drawn reach past the panel or onto the legend and the
    // titles, the room is taken again with that much.
    auto layout = [&](const TRect& inset) {
        SetPlotRect(TRect{start.Left + inset.Left, start.Top + inset.Top, start.Right - inset.Right,
                          start.Bottom - inset.Bottom});
        RecalcPlotSize();
        for (TChartAxis* a : FAxes.Items()) a->CalcAxisPixels();
        room = PlotRect();
        TakeAxesRoom(outer, room);
        // Twice: the plot's new length may choose another step, whose labels stand elsewhere.
        for (int pass = 0; pass < 2; ++pass) {
            FitEndLabels(inner, placed, room);
            SetPlotRect(room);
            RecalcPlotSize();
            for (TChartAxis* a : FAxes.Items()) a->CalcAxisPixels();
            room = PlotRect();
        }
        ShiftTitles(outer);
        if (View3D() && !View3DOptions().Orthogonal()) {
            Canvas().SetProjectionCenter(FChartDepth3D, PlotRect());
            for (TChartAxis* a : FAxes.Items())
                if (IsAxisShown(a)) a->ClearTitleOfLabels();
        }
        if (IsAxisShown(FDepthAxis)) {
            Canvas().SetProjectionCenter(FChartDepth3D, PlotRect());
            FDepthAxis->ClearDepthTexts();
        }
    };
    FTextsStart = start;
    FTextsInner = inner;
    FTextsPlaced = placed;
    TRect inset{0, 0, 0, 0}, best = inset;
    int least = -1;
    int rounds = 3;
    for (int round = 0;; ++round) {
        layout(inset);
        bool wider = false;
        // a turned view projects the room elsewhere than it is taken: its labels keep
        // the first measure, and only what the projection makes of it counts
        if (!View3D() || View3DOptions().Orthogonal())
            for (TChartAxis* a : FAxes.Items())
                if (IsAxisShown(a) && a->WidenLabelsRoom()) wider = true;
        bool moved = false;
        const TRect need = TextsOverrun(start, inner, placed, false, &moved);
        wider = wider || moved;
        const int total = need.Left + need.Top + need.Right + need.Bottom;
        if (!wider && total == 0) break;
        // Where more room does not bring the texts in (a turned view may move them
        // further out), or after a few rounds, what still reaches out is left out. A round
        // that asks as much as the best is not worse: the walls may still settle.
        const bool worse = least >= 0 && total > least && !wider;
        if (round == rounds || worse) {
            if (worse) layout(best);
            TextsOverrun(start, inner, placed, true);
            break;
        }
        // a round that asked nothing but to move texts off the walls is no measure to beat:
        // the room they then reach out of is first seen in the next
        if (total == 0) {
            best = inset;
        } else if (least < 0 || total < least) {
            least = total;
            best = inset;
        }
        // the projection's zoom scales every distance of the plot alike
        const double zoom = View3D() && View3DOptions().Zoom() > 0 ? View3DOptions().Zoom() * 0.01 : 1.0;
        auto grow = [zoom](int& side, int by) { side += static_cast<int>(std::ceil(by / zoom)); };
        TRect next = inset;
        grow(next.Left, need.Left);
        grow(next.Top, need.Top);
        grow(next.Right, need.Right);
        grow(next.Bottom, need.Bottom);
        // the plot is what the chart is for: texts take no more than two thirds of it
        const bool capped =
            3 * (next.Left + next.Right) > 2 * start.Width() || 3 * (next.Top + next.Bottom) > 2 * start.Height();
        // Turned, the plot's width stands high on the screen and its height wide: where
        // giving way on the side the walls reach past cannot bring them in, the whole plot
        // shrinks about its middle, by as much as the side that needs most, down to a
        // sixth of its size.
        double keep = 1;
        if (capped && View3D() && !View3DOptions().Orthogonal()) {
            std::vector<TOutline> walls;
            TRect bound{0, 0, 0, 0};
            WallOutlines(walls, bound);
            const TRect& p = PlotRect();
            const double cx = 0.5 * (p.Left + p.Right), cy = 0.5 * (p.Top + p.Bottom);
            auto fit = [&keep](double reach, int by) {
                if (by > 0 && reach > 0) keep = std::min(keep, std::max(0.0, reach - by) / reach);
            };
            // only what the walls reach out past the plot's first room is theirs to bring in
            if (!walls.empty()) {
                fit(cx - bound.Left, std::min(need.Left, start.Left - bound.Left));
                fit(cy - bound.Top, std::min(need.Top, start.Top - bound.Top));
                fit(bound.Right - cx, std::min(need.Right, bound.Right - start.Right));
                fit(bound.Bottom - cy, std::min(need.Bottom, bound.Bottom - start.Bottom));
            }
        }
        if (keep < 1) {
            const TRect& p = PlotRect();
            // half as much again: the perspective, set by the plot's width, grows as it shrinks
            const double by = 0.75 * (1 - keep) / zoom;
            const int dx = static_cast<int>(std::ceil(by * p.Width())),
                      dy = static_cast<int>(std::ceil(by * p.Height()));
            next = TRect{std::max(next.Left, inset.Left + dx), std::max(next.Top, inset.Top + dy),
                         std::max(next.Right, inset.Right + dx), std::max(next.Bottom, inset.Bottom + dy)};
            auto cap = [](int& lo, int& hi, int length) {
                const int most = 5 * std::max(0, length) / 6;
                if (lo + hi <= most) return;
                const long long sum = static_cast<long long>(lo) + hi;
                lo = static_cast<int>(static_cast<long long>(lo) * most / sum);
                hi = most - lo;
            };
            cap(next.Left, next.Right, start.Width());
            cap(next.Top, next.Bottom, start.Height());
            // the projection changes with the plot's size: the walls settle in more rounds
            rounds = 6;
        } else if (capped) {
            TextsOverrun(start, inner, placed, true);
            break;
        }
        if (!wider && next.Left <= inset.Left && next.Top <= inset.Top && next.Right <= inset.Right &&
            next.Bottom <= inset.Bottom) {
            TextsOverrun(start, inner, placed, true);
            break;
        }
        inset = next;
    }
}

// A title longer than its axis but not than the room beside it moves off the
// axis' middle as far as it must to be read whole.
void TCustomAxisPanel::ShiftTitles(const TRect& outer) {
    for (TChartAxis* a : FAxes.Items()) {
        a->TitleShift = 0;
        if (!IsAxisShown(a) || a->TitleLeftOut) continue;
        // a pixel more for the rounding of the title's middle
        const int length = a->TitleLength() + 1;
        if (length == 1) continue;
        const int lo = a->Horizontal() ? outer.Left : outer.Top;
        const int hi = a->Horizontal() ? outer.Right : outer.Bottom;
        const int start = a->CenterPixel() - length / 2;
        if (start < lo)
            a->TitleShift = lo - start;
        else if (start + length > hi)
            a->TitleShift = hi - start - length;
    }
}

// How far the axes' texts as drawn reach past the panel's frame or onto the legend and
// the titles, on each side of the plot as it was before the axes took their room.
// With leaveOut, the texts that do are left out instead.
TRect TCustomAxisPanel::TextsOverrun(const TRect& start, const TRect& inner, const std::vector<TRect>& placed,
                                     bool leaveOut, bool* moved) {
    TRect need{0, 0, 0, 0};
    // the texts stand where the projection about the final plot puts them
    Canvas().SetProjectionCenter(FChartDepth3D, PlotRect());
    // Seen in depth, the walls as drawn reach out of the plot's rectangle: past the
    // panel or onto the titles and the legend, the plot gives way on that side.
    std::vector<TOutline> walls;
    TRect wallsBound{0, 0, 0, 0};
    if (View3D()) WallOutlines(walls, wallsBound);
    if (!walls.empty()) {
        // a projection seen from too close throws corners far out: the plot can give
        // way no more than it is large
        const int wide = std::max(0, start.Width()), high = std::max(0, start.Height());
        auto past = [](long long by, int most) { return static_cast<int>(std::clamp<long long>(by, 0, most)); };
        need = TRect{past(static_cast<long long>(inner.Left) - wallsBound.Left, wide),
                     past(static_cast<long long>(inner.Top) - wallsBound.Top, high),
                     past(static_cast<long long>(wallsBound.Right) - inner.Right, wide),
                     past(static_cast<long long>(wallsBound.Bottom) - inner.Bottom, high)};
        for (const TRect& q : placed) {
            const TRect p{q.Left - 1, q.Top - 1, q.Right + 1, q.Bottom + 1};
            if (!Meets(p, wallsBound)) continue;
            const int above = start.Top - p.Top, below = p.Bottom - start.Bottom;
            const int before = start.Left - p.Left, after = p.Right - start.Right;
            const int most = std::max({above, below, before, after});
            if (most <= 0) continue;
            for (const TOutline& w : walls) {
                const TRect c = ClipOutline(w, p);
                if (c.Right <= c.Left) continue;
                if (most == above)
                    need.Top = std::clamp(p.Bottom - c.Top, need.Top, std::max(need.Top, high));
                else if (most == below)
                    need.Bottom = std::clamp(c.Bottom - p.Top, need.Bottom, std::max(need.Bottom, high));
                else if (most == before)
                    need.Left = std::clamp(p.Right - c.Left, need.Left, std::max(need.Left, wide));
                else
                    need.Right = std::clamp(c.Right - p.Left, need.Right, std::max(need.Right, wide));
            }
        }
    }
    bool leftOut = false;
    for (int i = 0; i < std::min(FAxes.Count(), 5); ++i) {
        TChartAxis* a = FAxes[i];
        if (!IsAxisShown(a)) continue;
        // the depth texts stand past the bottom axis' labels and below the right axis'
        // texts: where those were just left out, they take their places afresh
        if (leftOut && a == FDepthAxis) a->ClearDepthTexts();
        // in a flat view the layout's measures bound the texts: where that box stands
        // clear of all, measuring each text is not needed
        TRect bound{};
        if (!View3D() && a->FlatTextsBound(bound) && inner.Left <= bound.Left && inner.Top <= bound.Top &&
            bound.Right <= inner.Right && bound.Bottom <= inner.Bottom &&
            std::none_of(placed.begin(), placed.end(), [&bound](const TRect& p) {
                return bound.Left < p.Right + 1 && p.Left - 1 < bound.Right && bound.Top < p.Bottom + 1 &&
                       p.Top - 1 < bound.Bottom;
            }))
            continue;
        std::size_t titles = 0;
        int offWalls = 0;
        std::vector<TOutline> outlines;
        const std::vector<TRect> boxes = a->TextBoxes(titles, walls.empty() ? nullptr : &outlines);
        for (std::size_t k = 0; k < boxes.size(); ++k) {
            const TRect& b = boxes[k];
            TRect out{inner.Left - b.Left, inner.Top - b.Top, b.Right - inner.Right, b.Bottom - inner.Bottom};
            for (const TRect& q : placed) {
                // a pixel clear of the box, where the letters' rims would meet its edge
                const TRect p{q.Left - 1, q.Top - 1, q.Right + 1, q.Bottom + 1};
                if (b.Right <= p.Left || p.Right <= b.Left || b.Bottom <= p.Top || p.Bottom <= b.Top) continue;
                // the side of the plot the legend or title stands on: the one it reaches
                // furthest past (its shadow may reach a pixel into the plot's room)
                const int above = start.Top - p.Top, below = p.Bottom - start.Bottom;
                const int before = start.Left - p.Left, after = p.Right - start.Right;
                const int most = std::max({above, below, before, after});
                if (most <= 0) continue;
                if (most == above)
                    out.Top = std::max(out.Top, p.Bottom - b.Top);
                else if (most == below)
                    out.Bottom = std::max(out.Bottom, b.Bottom - p.Top);
                else if (most == before)
                    out.Left = std::max(out.Left, p.Right - b.Left);
                else
                    out.Right = std::max(out.Right, b.Right - p.Left);
            }
            need = TRect{std::max(need.Left, out.Left), std::max(need.Top, out.Top), std::max(need.Right, out.Right),
                         std::max(need.Bottom, out.Bottom)};
            const int clear = k < outlines.size() ? OffWalls(*a, walls, wallsBound, b, outlines[k]) : 0;
            if (clear > 0 && !leaveOut) offWalls = std::max(offWalls, clear);
            if (leaveOut && (out.Left > 0 || out.Top > 0 || out.Right > 0 || out.Bottom > 0 || clear > 0))
                (k < titles ? a->TitleLeftOut : a->LabelsLeftOut) = leftOut = true;
        }
        // The walls' reach across the axis was measured about the plot's edge: texts
        // still on a wall move out beyond it, and the room is taken again.
        if (offWalls > 0) {
            a->WallsClear += offWalls;
            if (moved) *moved = true;
        }
    }
    return need;
}

// The walls' blocks as drawn, each the outline of its projected corners, and their bounds.
void TCustomAxisPanel::WallOutlines(std::vector<TOutline>& outlines, TRect& bound) {
    const std::vector<TWallBlock> blocks = WallBlocks();
    TCanvas3D& canvas = Canvas();
    for (const TWallBlock& b : blocks) {
        TOutline corners;
        // a pixel more right and down for the outline drawn on the blocks' edges
        for (int z : {b.z0, b.z1})
            for (int x : {b.r.Left, b.r.Right + 1})
                for (int y : {b.r.Top, b.r.Bottom + 1}) {
                    const TPoint q = canvas.WorldToScreen(x, y, z);
                    corners.emplace_back(q.x, q.y);
                    const TRect one{q.x, q.y, q.x + 1, q.y + 1};
                    bound = outlines.empty() && corners.size() == 1
                                ? one
                                : TRect{std::min(bound.Left, one.Left), std::min(bound.Top, one.Top),
                                        std::max(bound.Right, one.Right), std::max(bound.Bottom, one.Bottom)};
                }
        outlines.push_back(ConvexOutline(std::move(corners)));
    }
}

// How far (in the plot's pixels) an axis' text must move out for the walls as drawn to
// leave it a pixel clear; 0 where it lies on none.
int TCustomAxisPanel::OffWalls(TChartAxis& a, const std::vector<TOutline>& walls, const TRect& bound, const TRect& box,
                               const TOutline& outline) {
    const TRect b{box.Left - 1, box.Top - 1, box.Right + 1, box.Bottom + 1};
    if (!Meets(b, bound)) return 0;
    // where one pixel out moves the axis' texts on the screen, at the middle of its edge
    const TRect& p = PlotRect();
    const bool horizontal = a.Horizontal(), far = a.OtherSide();
    const int unit = 100, z = a.ZPixel();
    const int mx = horizontal ? (p.Left + p.Right) / 2 : (far ? p.Right : p.Left);
    const int my = horizontal ? (far ? p.Top : p.Bottom) : (p.Top + p.Bottom) / 2;
    const TPoint m0 = Canvas().WorldToScreen(mx, my, z);
    const TPoint m1 = horizontal ? Canvas().WorldToScreen(mx, my + (far ? -unit : unit), z)
                                 : Canvas().WorldToScreen(mx + (far ? unit : -unit), my, z);
    double dx = static_cast<double>(m1.x - m0.x) / unit, dy = static_cast<double>(m1.y - m0.y) / unit;
    // seen nearly edge on the texts hardly move: the move asked for is then too far to
    // be given, and they are left out
    const double scale = std::hypot(dx, dy);
    if (scale < 0.05) {
        dx = horizontal ? 0 : (far ? 1 : -1);
        dy = horizontal ? (far ? -1 : 1) : 0;
    } else {
        dx /= scale;
        dy /= scale;
    }
    const TOutline text = ConvexOutline(outline);
    double most = 0;
    for (const TOutline& w : walls) most = std::max(most, ExitAlong(text, w, dx, dy));
    // never further than across the panel: past that the texts are left out anyway
    const double panel = std::max(FPanelRect.Right - FPanelRect.Left, FPanelRect.Bottom - FPanelRect.Top) + 1;
    return most > 0 ? static_cast<int>(std::ceil(std::clamp(most / std::max(scale, 0.05), 1.0, panel))) : 0;
}

void TCustomAxisPanel::TakeAxesRoom(const TRect& outer, TRect& room) {
    for (int i = 0; i < FAxes.Count(); ++i) {
        TChartAxis* a = FAxes[i];
        a->TitleLeftOut = a->LabelsLeftOut = a->LabelsLimited = false;
        a->LabelsAcross = 0;
        a->TitleShift = 0;
        a->DepthTextsDrop = 0;
        if (!IsAxisShown(a)) continue;
        const int along = a->Horizontal() ? outer.Width() : outer.Height();
        const int first = a->TitleLength() + 1 > along ? 1 : 0;
        // Texts the plot has no room for are left out, the title first: placed where
        // their room would have been, they would stand over the plot and the other
        // axes' texts. An axis that has no room even for its ticks leaves it as it is.
        for (int leaveOut = first; leaveOut < 3; ++leaveOut) {
            a->TitleLeftOut = leaveOut >= 1;
            a->LabelsLeftOut = leaveOut >= 2;
            TRect shrunk = room;
            a->CalcAxisRoom(shrunk, i < 5);
            const TRect both = Intersection(room, shrunk);
            if (both.Left < both.Right && both.Top < both.Bottom) {
                // where the plot gives way to the depth texts, the texts of the axes beside
                // the edges it moves, placed before, stay beside their ticks
                if (a->IsDepthAxis())
                    for (auto [axis, by] : {std::pair{FRightAxis, room.Right - both.Right},
                                            std::pair{FBottomAxis, room.Bottom - both.Bottom}}) {
                        axis->LabelsPos -= by;
                        axis->TitlePos -= by;
                    }
                room = both;
                break;
            }
        }
    }
}

void TCustomAxisPanel::FitEndLabels(const TRect& inner, const std::vector<TRect>& placed, TRect& room) {
    // The first and last labels stand out past the plot's ends: the plot gives way
    // so that they stay inside the frame, clear of the legend and the titles beside
    // the ends and of the texts of the axes across, which stand where the room put them.
    struct Ends {
        TChartAxis* axis;
        int before = 0, after = 0;
        double beforeShare = 0, afterShare = 0;
        int title = 0;        // its length along the axis
        bool placed = false;  // texts in the room beside the plot
    };
    std::vector<Ends> ends;
    for (TChartAxis* a : FAxes.Items()) {
        if (!IsAxisShown(a) || a->IsDepthAxis()) continue;
        Ends e{a};
        a->LabelsPastEnds(e.before, e.after, e.beforeShare, e.afterShare);
        const int length = a->Horizontal() ? room.Width() : room.Height();
        e.before = std::max(0, e.before - static_cast<int>(e.beforeShare * length));
        e.after = std::max(0, e.after - static_cast<int>(e.afterShare * length));
        e.title = a->TitleLeftOut ? 0 : a->TitleLength();
        e.placed = a->PositionPercent() == 0;
        ends.push_back(e);
    }
    // Whether the texts of p, an axis across x, reach past its end on x's side into
    // the row or column where x's labels begin; at is then where they begin.
    // In an orthogonal 3D view each axis is drawn at its own depth, shifted on the
    // screen by it: p's texts are compared where they stand from x's depth.
    const bool shifted = View3D() && View3DOptions().Orthogonal();
    auto reaches = [&](const Ends& p, const TChartAxis& x, int& at) {
        if (!p.placed) return false;
        TPoint d{0, 0};
        if (shifted && p.axis->ZPixel() != x.ZPixel()) {
            const TPoint a = Canvas().WorldToScreen(0, 0, p.axis->ZPixel()),
                         b = Canvas().WorldToScreen(0, 0, x.ZPixel());
            d = TPoint{a.x - b.x, a.y - b.y};
        }
        const int across = x.Horizontal() ? d.y : d.x, along = x.Horizontal() ? d.x : d.y;
        const bool labels = x.Horizontal() ? (x.OtherSide() ? room.Top - p.before + across < x.LabelsPos
                                                            : room.Bottom + p.after + across > x.LabelsPos)
                                           : (x.OtherSide() ? room.Right + p.after + across > x.LabelsPos
                                                            : room.Left - p.before + across < x.LabelsPos);
        if (labels && (p.before > 0 || p.after > 0)) {
            at = p.axis->LabelsPos + along;
            return true;
        }
        if (p.title == 0) return false;
        // the title stands at the middle of p
        const int lo = (x.Horizontal() ? room.Top + room.Bottom : room.Left + room.Right) / 2 - p.title / 2 + across;
        const int hi = lo + p.title;
        at = p.axis->TitlePos + along;
        return x.OtherSide() == x.Horizontal() ? lo < x.LabelsPos : hi > x.LabelsPos;
    };
    for (const Ends& e : ends) {
        if (e.before == 0 && e.after == 0) continue;
        const TChartAxis& x = *e.axis;
        TRect bounds = inner;
        // what stands beside an end, across from where the labels begin outward; the
        // labels keep the gap from it that the plot kept (the legend's margin), a pixel
        // at least, which its rim would touch (a turned view projects them elsewhere
        // than measured here: there they only stay off it)
        const int from = x.LabelsPos;
        const bool flat = !View3D() || View3DOptions().Orthogonal();
        const TRect& s = FTextsStart;
        auto gap = [flat](int kept) { return flat ? std::max(1, kept) : 0; };
        for (const TRect& b : placed) {
            const bool beyond = x.Horizontal() ? (x.OtherSide() ? b.Top < from : b.Bottom > from)
                                               : (x.OtherSide() ? b.Right > from : b.Left < from);
            if (!beyond) continue;
            if (x.Horizontal()) {
                if (b.Right <= room.Left) bounds.Left = std::max(bounds.Left, b.Right + gap(s.Left - b.Right));
                if (b.Left >= room.Right) bounds.Right = std::min(bounds.Right, b.Left - gap(b.Left - s.Right));
            } else {
                if (b.Bottom <= room.Top) bounds.Top = std::max(bounds.Top, b.Bottom + gap(s.Top - b.Bottom));
                if (b.Top >= room.Bottom) bounds.Bottom = std::min(bounds.Bottom, b.Top - gap(b.Top - s.Bottom));
            }
        }
        for (const Ends& p : ends) {
            int at = 0;
            if (p.axis->Horizontal() == x.Horizontal() || !reaches(p, x, at)) continue;
            if (x.Horizontal()) {
                if (p.axis->OtherSide())
                    bounds.Right = std::min(bounds.Right, std::max(at, room.Right));
                else
                    bounds.Left = std::max(bounds.Left, std::min(at, room.Left));
            } else if (p.axis->OtherSide()) {
                bounds.Top = std::max(bounds.Top, std::min(at, room.Top));
            } else {
                bounds.Bottom = std::min(bounds.Bottom, std::max(at, room.Bottom));
            }
        }
        TRect fitted = room;
        if (x.Horizontal()) {
            fitted.Left = std::max(fitted.Left, bounds.Left + e.before);
            fitted.Right = std::min(fitted.Right, bounds.Right - e.after);
        } else {
            fitted.Top = std::max(fitted.Top, bounds.Top + e.before);
            fitted.Bottom = std::min(fitted.Bottom, bounds.Bottom - e.after);
        }
        // Where the plot cannot give way that far, the labels at the ends that would
        // still stand out, over the legend or cut, are left out, the others stay.
        if (fitted.Left < fitted.Right && fitted.Top < fitted.Bottom) {
            room = fitted;
        } else {
            e.axis->LabelsLimited = true;
            e.axis->LabelsFrom = x.Horizontal() ? bounds.Left : bounds.Top;
            e.axis->LabelsTo = x.Horizontal() ? bounds.Right : bounds.Bottom;
        }
    }
}

void TCustomAxisPanel::CalcSeriesDepths(const std::vector<TChartSeries*>& series) {
    for (TChartSeries* s : series) {
        if (!s->Active()) continue;
        s->SeriesStartZ = FSeriesDepth3D * s->ComputedZOrder();
        s->SeriesEndZ = s->SeriesStartZ + (s->Depth() == -1 ? FSeriesDepth3D : s->Depth());
        s->SeriesMiddleZ = (s->SeriesStartZ + s->SeriesEndZ) / 2;
    }
}

bool TCustomAxisPanel::InflateForSeriesMargins(TChartAxis* a, const std::vector<TChartSeries*>& series) {
    TRect m{0, 0, 0, 0};
    for (TChartSeries* s : series) {
        if (!s->Active() || !s->UsesAxis(a)) continue;
        int lo = 0, hi = 0;
        if (a->Horizontal()) {
            s->GetHorizMargins(lo, hi);
            if (a->AutomaticMinimum()) m.Left = std::max(m.Left, lo);
            if (a->AutomaticMaximum()) m.Right = std::max(m.Right, hi);
        } else {
            s->GetVertMargins(lo, hi);
            if (a->AutomaticMaximum()) m.Top = std::max(m.Top, lo);
            if (a->AutomaticMinimum()) m.Bottom = std::max(m.Bottom, hi);
        }
    }
    if (a->Horizontal()) {
        (a->Inverted() ? m.Right : m.Left) += a->MinimumOffset();
        (a->Inverted() ? m.Left : m.Right) += a->MaximumOffset();
    } else {
        (a->Inverted() ? m.Top : m.Bottom) += a->MinimumOffset();
        (a->Inverted() ? m.Bottom : m.Top) += a->MaximumOffset();
    }
    // zero margins leave the scale as it is; skipping keeps it bit-exact
    if (m.Left == 0 && m.Top == 0 && m.Right == 0 && m.Bottom == 0) return false;
    a->InflateAxisRange(m);
    return true;
}

void TCustomAxisPanel::DrawPlotStage(const std::vector<TChartSeries*>& series) {
    TCanvas3D& canvas = Canvas();
    canvas.SetProjectionCenter(FChartDepth3D, PlotRect());
    if (canvas.IsHardware3D()) {
        const TRect saved = PlotRect();
        SetPlotRect(PanelRect());
        const ScopeExit restore([&] { SetPlotRect(saved); });
        DrawTitlesAndLegend(true);
    }
    DrawWalls();
    if (FAxisBehind) DrawAxes();
    NotifyTools(ctsBeforeSeries);
    DoBeforeDrawSeries();
    if (FDepthAxis->Inverted()) {
        for (auto it = series.rbegin(); it != series.rend(); ++it)
            if ((*it)->Active()) DrawSeriesValues(*it);
    } else {
        for (TChartSeries* s : series)
            if (s->Active()) DrawSeriesValues(s);
    }
    if (!FAxisBehind) DrawAxes();
    DrawTitlesAndLegend(false);
    DrawZoomRectangle();
    NotifyTools(ctsAfterDraw);
    canvas.ResetDrawingState();
    DoAfterDraw();
}

void TCustomAxisPanel::DrawAxes() {
    if (!FAxisVisible) return;
    DoBeforeDrawAxes();
    for (TChartAxis* a : FAxes.Items())
        if (IsAxisShown(a)) a->DrawAxis(true);
}

void TCustomAxisPanel::DrawSeriesValues(TChartSeries* series) {
    TCanvas3D& canvas = Canvas();
    const TRect& p = PlotRect();
    const TRect box{p.Left, p.Top, p.Right, p.Bottom + 1};
    if (!View3D() || !series->SharesZWithOther()) {
        series->CalcVisibleRange();
        if (series->FirstVisible() == -1) return;
        series->DoBeforeDrawValues();
        {
            const bool clip = series->ParticipatesInAxes() && FClipPoints;
            if (clip) canvas.ClipToCube(box, 0, FChartDepth3D);
            const ScopeExit unclip([&] {
                if (clip) canvas.RemoveClipping();
            });
            series->DrawVisibleValues();
        }
        if (series->PointCount() > 0) DrawSeriesMarks(series);
        series->DoAfterDrawValues();
        return;
    }
    // Series that share one depth slot are drawn point by point together, by
    // the first active series of the group.
    const int index = SeriesIndexOf(series);
    for (int i = 0; i < index; ++i)
        if (FSeriesList[static_cast<std::size_t>(i)]->Active() &&
            FSeriesList[static_cast<std::size_t>(i)]->ZOrder() == series->ZOrder())
            return;
    std::vector<TChartSeries*> group;
    for (std::size_t i = static_cast<std::size_t>(index); i < FSeriesList.size(); ++i)
        if (FSeriesList[i]->Active() && FSeriesList[i]->ZOrder() == series->ZOrder()) group.push_back(FSeriesList[i]);
    int first = -1, last = -1;
    bool clipped = false;
    for (TChartSeries* s : group) {
        s->CalcVisibleRange();
        if (s->FirstVisible() == -1) continue;
        first = first == -1 ? s->FirstVisible() : std::min(first, s->FirstVisible());
        last = std::max(last, s->LastVisible());
        s->DoBeforeDrawValues();
        if (FClipPoints && !clipped) {
            canvas.ClipToCube(box, 0, FChartDepth3D);
            clipped = true;
        }
    }
    if (first != -1) {
        const ScopeExit unclip([&] {
            if (clipped) canvas.RemoveClipping();
        });
        const bool forward = series->DrawsForward();
        for (int k = 0; k <= last - first; ++k) {
            const int v = forward ? first + k : last - k;
            const bool backwards = series->PointCount() > v && !series->DrawsInFront();
            for (std::size_t j = 0; j < group.size(); ++j) {
                TChartSeries* s = backwards ? group[group.size() - 1 - j] : group[j];
                if (s->PointCount() > v) s->DrawPoint(v);
            }
        }
    }
    for (TChartSeries* s : group)
        if (s->FirstVisible() != -1) {
            if (s->PointCount() > 0) DrawSeriesMarks(s);
            s->DoAfterDrawValues();
        }
}
