#include "Chart.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "PlotCanvas.h"
#include "ScopeExit.h"
#include "Solids.h"

namespace {

TCustomAxisPanel& ChartOf(const TPlotCustomShapeBrushPen& shape) {
    return *static_cast<TCustomAxisPanel*>(shape.ParentChart());
}

}  // namespace

// ---------------------------------------------------------------------------
TChartTitle::TChartTitle(TCustomPlotPanel* parent, bool top) : TPlotCustomShapePosition(parent), FTop(top) {
    SetTransparent(true);
    Font().SetColor(clBlue);
}

TChartFootTitle::TChartFootTitle(TCustomPlotPanel* parent) : TChartTitle(parent, false) {
    Font().SetColor(clRed);
    Font().SetStyle(fsItalic);
}

void TChartTitle::Assign(const TPersistent* source) {
    if (const auto* t = dynamic_cast<const TChartTitle*>(source)) {
        SetAdjustFrame(t->FAdjustFrame);
        SetAlignment(t->FAlignment);
        SetText(t->FText);
    }
    TPlotCustomShapePosition::Assign(source);
}

void TChartTitle::DrawTitle(const TRect& room, const TRect& legend) {
    if (!Visible() || FText.empty() || !ParentChart()) return;
    TCustomAxisPanel& chart = ChartOf(*this);
    TCanvas3D& canvas = chart.Canvas();
    int f = Pen().Visible() && Pen().Color() != SeriesDefaultColor ? Pen().Width() : 0;
    if (Bevel() != bvNone) f = BevelWidth();
    const bool custom = CustomPosition();
    TRect box = custom ? FShapeBounds : chart.PlotRect();
    if (!custom && FTop) box.Top += f;
    canvas.SelectFont(Font());
    const int h = canvas.TextLineHeight();
    const int n = static_cast<int>(FText.size());
    if (FTop || custom)
        box.Bottom = box.Top + n * h;
    else
        box.Top = box.Bottom - n * h;
    if (!custom) box = TRect{box.Left - f, box.Top - f, box.Right + f, box.Bottom + f};
    const int w = canvas.MeasureTextWidth("W");
    // each line measured once: the frame, the fit and the drawing share the widths
    std::vector<int> widths;
    widths.reserve(FText.size());
    for (const std::string& line : FText) widths.push_back(canvas.MeasureTextWidth(line));
    if (FAdjustFrame) {
        const int widest = *std::max_element(widths.begin(), widths.end());
        const int width = widest + w + f;
        // a place the user set is the box's left edge whatever the alignment;
        // only a computed box is right-aligned to the plot
        if (FAlignment == taLeftJustify || (custom && FAlignment == taRightJustify)) {
            box.Right = box.Left + width;
        } else if (FAlignment == taRightJustify) {
            box.Left = box.Right - width;
        } else {
            if (custom) box.Right = box.Left + width;
            const int c = (box.Left + box.Right) / 2;
            box.Left = c - width / 2;
            box.Right = c + width / 2;
        }
    }
    auto lineX = [&](int lw) {
        if (FAlignment == taLeftJustify) return box.Left + w / 2;
        if (FAlignment == taRightJustify) return box.Right - lw - w / 2;
        return (box.Left + box.Right) / 2 - lw / 2;
    };
    if (!custom && room.Left < room.Right) {
        // A title wider than the plot stands out past its ends: it moves to stay inside
        // the panel, and beside a side legend's rows no nearer to the legend than the
        // plot keeps. Where it cannot, it is left out whole and takes no room.
        int lo = room.Left, hi = room.Right;
        const TRect& plot = chart.PlotRect();
        if (legend.Top < box.Bottom && box.Top < legend.Bottom) {
            if (legend.Left >= plot.Right) hi = std::min(hi, plot.Right);
            if (legend.Right <= plot.Left) lo = std::max(lo, plot.Left);
        }
        // a box drawn counts with its shadow, a transparent one only holds the letters
        int left = Transparent() ? INT_MAX : DrawnBounds(box).Left;
        int right = Transparent() ? INT_MIN : DrawnBounds(box).Right;
        for (const int lw : widths) {
            left = std::min(left, lineX(lw));
            right = std::max(right, lineX(lw) + lw);
        }
        if (right - left > hi - lo) {
            FShapeBounds = TRect{};
            return;
        }
        const int dx = left < lo ? lo - left : right > hi ? hi - right : 0;
        box.Left += dx;
        box.Right += dx;
    }
    FShapeBounds = box;
    DrawShape(canvas, box);
    canvas.SelectFont(Font());
    canvas.SetBackgroundMode(TRANSPARENT);
    canvas.SetTextAlignment(TA_LEFT);
    for (int i = 0; i < n; ++i) {
        const std::string& line = FText[static_cast<std::size_t>(i)];
        const int y = FTop ? box.Top + f + i * h : box.Bottom - h - (f + i * h);
        const int x = lineX(widths[static_cast<std::size_t>(i)]);
        if (canvas.IsHardware3D())
            canvas.WriteText3D(x, y, line, 0);
        else
            canvas.WriteText(x, y, line);
    }
    if (custom) return;
    const int d = 5 + f + (Transparent() ? 0 : Shadow().VertSize());
    TRect plot = chart.PlotRect();
    if (FTop)
        plot.Top = box.Bottom + d;
    else
        plot.Bottom = box.Bottom - d - n * h;
    chart.SetPlotRect(plot);
    chart.RecalcPlotSize();
}

// ---------------------------------------------------------------------------
TCustomChartWall::TCustomChartWall(TCustomPlotPanel* parent, TColor defaultColor)
    : TPlotCustomShape(parent), FDefaultColor(defaultColor) {
    SetColor(defaultColor);
}

void TCustomChartWall::Assign(const TPersistent* source) {
    if (const auto* w = dynamic_cast<const TCustomChartWall*>(source)) {
        SetDark3D(w->FDark3D);
        SetSize(w->FSize);
    }
    TPlotCustomShape::Assign(source);
}

bool TCustomChartWall::DarkSides() const { return Brush().Style() != bsClear && !Brush().ImageGraphic() && FDark3D; }

TChartBackWall::TChartBackWall(TCustomPlotPanel* parent) : TChartWall(parent, clSilver) { SetTransparent(true); }

TChartRightWall::TChartRightWall(TCustomPlotPanel* parent) : TChartWall(parent, clSilver) { SetVisible(false); }

TChartWalls::TChartWalls(TCustomPlotPanel* parent)
    : Back(parent), Left(parent, 0x80FFFF), Bottom(parent, clWhite), Right(parent) {}

void TChartWalls::Assign(const TPersistent* source) {
    if (const auto* w = dynamic_cast<const TChartWalls*>(source)) {
        Back.Assign(&w->Back);
        Bottom.Assign(&w->Bottom);
        Left.Assign(&w->Left);
        Right.Assign(&w->Right);
    }
}

// ---------------------------------------------------------------------------
TCustomChart::TCustomChart(TComponent* owner) : TCustomAxisPanel(owner) {
    SetAutoRepaint(false);
    FTitle = std::make_unique<TChartTitle>(this);
    FScrollMouseButton = mbRight;
    FSubTitle = std::make_unique<TChartTitle>(this);
    FFoot = std::make_unique<TChartFootTitle>(this);
    FSubFoot = std::make_unique<TChartFootTitle>(this);
    FWalls = std::make_unique<TChartWalls>(this);
    FLegend = std::make_unique<TChartLegend>(this);
    SetAutoRepaint(true);
}

TCustomChart::~TCustomChart() {
    SetAutoRepaint(false);
    FSubTitle.reset();
    FTitle.reset();
    FSubFoot.reset();
    FFoot.reset();
    FWalls.reset();
    FLegend.reset();
}

void TCustomChart::Assign(const TPersistent* source) {
    if (const auto* c = dynamic_cast<const TCustomChart*>(source)) {
        FFoot->Assign(c->FFoot.get());
        FLegend->Assign(c->FLegend.get());
        FScrollMouseButton = c->FScrollMouseButton;
        FSubFoot->Assign(c->FSubFoot.get());
        FSubTitle->Assign(c->FSubTitle.get());
        FTitle->Assign(c->FTitle.get());
        FWalls->Assign(c->FWalls.get());
        FZoom.Assign(&c->FZoom);
    }
    TCustomAxisPanel::Assign(source);
}

void TCustomChart::SourceValueListNames(const TChartSeries* series,
                                        const std::function<void(const std::string&)>& callback) const {
    const auto* source = series ? dynamic_cast<const TChartSeries*>(series->DataSource()) : nullptr;
    if (!source || !callback) return;
    for (int i = 0; i < source->ValueLists().Count(); ++i) callback(source->ValueLists()[i]->Name());
}

void TCustomChart::SetBackColor(TColor value) {
    FWalls->Back.SetColor(value);
    if (HasParent() && !IsLoading()) FWalls->Back.Brush().SetStyle(bsSolid);
}

TColor TCustomChart::BackColor() const { return FWalls->Back.Transparent() ? Color() : FWalls->Back.Color(); }

bool TCustomChart::IsFreeSeriesColor(TColor color, bool checkBackground) const {
    for (TChartSeries* s : SeriesList())
        if (s->SeriesColor() == color) return false;
    return !(checkBackground && (color == Color() || color == FWalls->Back.Color()));
}

void TCustomChart::CalcWallsRect() {
    FWallsTaken = TRect{0, 0, 0, 0};
    CalcDepth3D();
    if (View3D() && !View3DOptions().Orthogonal()) FitRotatedBox();
    if (!View3D() || !View3DOptions().Orthogonal()) return;
    const int s = SeriesUseAxes() ? FWalls->Back.Size() : 0;
    const TRect before = PlotRect();
    TRect r = before;
    r.Top += DepthRise();
    if (View3DOptions().OrthoAngle() <= 90) {
        r.Right -= std::abs(ChartDepth3D()) + s;
        if (FWalls->Right.Visible()) r.Right -= FWalls->Right.Size() + 1;
    } else {
        r.Left += std::abs(ChartDepth3D()) + s;
        if (FWalls->Left.Visible()) r.Left += FWalls->Left.Size() + 1;
    }
    FWallsTaken = TRect{r.Left - before.Left, r.Top - before.Top, before.Right - r.Right, before.Bottom - r.Bottom};
    SetPlotRect(r);
    RecalcPlotSize();
}

int TCustomChart::DepthRise() {
    CalcDepth3D();
    if (!View3D() || !View3DOptions().Orthogonal()) return 0;
    const int s = SeriesUseAxes() ? FWalls->Back.Size() : 0;
    // the back wall's thickness rises by the view's slope, as the depth does: steeper than
    // 45 degrees it stands higher than it is thick (straight up, the projection rises by one)
    const double slope = View3DOptions().OrthoSlope() < 100 ? View3DOptions().OrthoSlope() : 1.0;
    return std::max(s, static_cast<int>(std::ceil(s * slope))) + std::abs(ChartHeight3D());
}

// A rotated view turns the plot box about its centre, and its corners would run past the
// room the titles and margins left: the box shrinks until its projection fits that room.
void TCustomChart::FitRotatedBox() {
    TCanvas3D& canvas = Canvas();
    const TRect room = PlotRect();
    const int back = ChartDepth3D() + (SeriesUseAxes() ? FWalls->Back.Size() : 0);
    TRect r = room;
    for (int round = 0; round < 4; ++round) {
        canvas.SetProjectionCenter(ChartDepth3D(), r);
        TRect b = canvas.RectBoundsAtDepth(r, 0);
        const TRect far = canvas.RectBoundsAtDepth(r, back);
        b = TRect{std::min(b.Left, far.Left), std::min(b.Top, far.Top), std::max(b.Right, far.Right),
                  std::max(b.Bottom, far.Bottom)};
        const TRect next{r.Left + std::max(0, room.Left - b.Left), r.Top + std::max(0, room.Top - b.Top),
                         r.Right - std::max(0, b.Right - room.Right), r.Bottom - std::max(0, b.Bottom - room.Bottom)};
        // a box that would vanish keeps its last size
        if (next == r || next.Right - next.Left < 2 || next.Bottom - next.Top < 2) break;
        r = next;
    }
    SetPlotRect(r);
    RecalcPlotSize();
}

std::string TCustomChart::FormattedLegend(int seriesOrValueIndex) const {
    return FLegend->ItemText(seriesOrValueIndex);
}

int TCustomChart::WallSizeForAxis(const TChartAxis* axis) const {
    if (!View3D() || !View3DWalls()) return 0;
    const TCustomChartWall* wall = &FWalls->Back;
    if (axis == LeftAxis())
        wall = &FWalls->Left;
    else if (axis == BottomAxis())
        wall = &FWalls->Bottom;
    else if (axis == RightAxis())
        wall = &FWalls->Right;
    return wall->Visible() ? wall->Size() : 0;
}

// The blocks DrawWalls draws; none unless the series use axes.
std::vector<TCustomAxisPanel::TWallBlock> TCustomChart::WallBlocks() {
    if (!View3D() || !View3DWalls() || !SeriesUseAxes()) return {};
    const TRect& p = PlotRect();
    const int depth = ChartDepth3D();
    const int bottom = p.Bottom + WallSizeForAxis(BottomAxis());
    const TChartBackWall& back = FWalls->Back;
    std::vector<TWallBlock> blocks;
    if (back.Visible()) {
        if (back.Size() < 1)
            blocks.push_back(TWallBlock{p, depth, depth});
        else
            blocks.push_back(TWallBlock{TRect{p.Left - WallSizeForAxis(LeftAxis()), p.Top, p.Right, bottom}, depth,
                                        depth + (depth < 0 ? -back.Size() : back.Size())});
    }
    if (const TChartWall& w = FWalls->Left; w.Visible())
        blocks.push_back(TWallBlock{TRect{p.Left - std::max(1, w.Size()), p.Top, p.Left, bottom}, 0, depth});
    if (const TChartRightWall& w = FWalls->Right; w.Visible())
        blocks.push_back(TWallBlock{TRect{p.Right, p.Top, p.Right + std::max(1, w.Size()), bottom}, 0,
                                    w.Size() < 1 ? depth + 1 : depth + back.Size()});
    if (const TChartWall& w = FWalls->Bottom; w.Visible())
        blocks.push_back(TWallBlock{TRect{p.Left, p.Bottom, p.Right, p.Bottom + std::max(1, w.Size())}, 0, depth});
    return blocks;
}

// The blocks DrawWalls draws, projected: how far past the plot's edge on the axis' side their
// corners lie, measured from where the axis' own depth puts that edge.
TCustomAxisPanel::TWallReach TCustomChart::WallReachForAxis(const TChartAxis* axis) {
    TWallReach result{WallSizeForAxis(axis), 0};
    if (!View3D() || !View3DWalls() || !SeriesUseAxes() || axis->IsDepthAxis()) return result;
    const std::vector<TWallBlock> blocks = WallBlocks();
    if (blocks.empty()) return result;
    if (!View3DOptions().Orthogonal()) {
        result.Reach = std::max(result.Reach, RotatedWallReach(axis, blocks));
        return result;
    }
    const TRect& p = PlotRect();
    // the projection's shift of a depth, without the zoom that scales the whole picture alike
    TCanvas3D& canvas = Canvas();
    const TPoint origin = canvas.WorldToScreen(0, 0, 0);
    const double zoom = View3DOptions().Zoom() > 0 ? View3DOptions().Zoom() * 0.01 : 1.0;
    auto shift = [&](int z) {
        const TPoint q = canvas.WorldToScreen(0, 0, z);
        return std::pair<double, double>{(q.x - origin.x) / zoom, (q.y - origin.y) / zoom};
    };
    const auto [ax, ay] = shift(axis->ZPixel());
    const bool horizontal = axis->Horizontal(), far = axis->OtherSide();
    double reach = 0;
    bool any = false;
    for (const TWallBlock& b : blocks) {
        for (int z : {b.z0, b.z1}) {
            const auto [dx, dy] = shift(z);
            double past;
            if (horizontal)
                past = far ? (p.Top + ay) - (b.r.Top + dy) : (b.r.Bottom + dy) - (p.Bottom + ay);
            else
                past = far ? (b.r.Right + dx) - (p.Right + ax) : (p.Left + ax) - (b.r.Left + dx);
            reach = any ? std::max(reach, past) : past;
            any = true;
        }
    }
    // two pixels more: the outline drawn on the blocks' edges, and one between it and the
    // letters' rims
    if (any) result.Reach = std::max(result.Reach, static_cast<int>(std::ceil(reach)) + 2);
    result.Taken =
        horizontal ? (far ? FWallsTaken.Top : FWallsTaken.Bottom) : (far ? FWallsTaken.Right : FWallsTaken.Left);
    return result;
}

void TCustomChart::PlacedTexts(std::vector<TRect>& boxes) {
    TChartTitle* titles[4] = {FTitle.get(), FSubTitle.get(), FFoot.get(), FSubFoot.get()};
    for (TChartTitle* t : titles) {
        if (!t->Visible() || t->Text().empty() || t->CustomPosition()) continue;
        const TRect& r = t->ShapeBounds();
        if (r.Right > r.Left) boxes.push_back(t->DrawnBounds(r));
    }
    if (!FLegend->CustomPosition() && FLegend->ResizeChart() && FLegend->ShowsSomething())
        boxes.push_back(FLegend->DrawnBounds(FLegend->ShapeBounds()));
}

// Seen turned, the blocks' corners stand at every depth past the plot's edge as the axis'
// depth puts it on the screen, and the edge's own slant varies along the axis: each corner
// is measured against the edge where it crosses the corner's row (or column), and the
// screen distance is turned back into the plot's pixels by how far one of them moves the
// axis' texts on the screen there.
int TCustomChart::RotatedWallReach(const TChartAxis* axis, const std::vector<TWallBlock>& blocks) {
    TCanvas3D& canvas = Canvas();
    const TRect& p = PlotRect();
    const bool horizontal = axis->Horizontal(), far = axis->OtherSide();
    const int z = axis->ZPixel();
    // the edge's ends and the outward direction, in the plot's pixels
    const int ex = horizontal ? p.Left : (far ? p.Right : p.Left), ey = horizontal ? (far ? p.Top : p.Bottom) : p.Top;
    const int fx = horizontal ? p.Right : ex, fy = horizontal ? ey : p.Bottom;
    const int out = far ? 1 : -1, unit = 100;
    const TPoint e0 = canvas.WorldToScreen(ex, ey, z), e1 = canvas.WorldToScreen(fx, fy, z);
    const TPoint mid = canvas.WorldToScreen((ex + fx) / 2, (ey + fy) / 2, z);
    const TPoint moved = horizontal ? canvas.WorldToScreen((ex + fx) / 2, (ey + fy) / 2 - out * unit, z)
                                    : canvas.WorldToScreen((ex + fx) / 2 + out * unit, (ey + fy) / 2, z);
    // how far outward on the screen one pixel outward moves a text; seen nearly edge on
    // it hardly moves, and no room would clear the walls then
    const double scale =
        std::max(0.05, static_cast<double>(horizontal ? (mid.y - moved.y) * out : (moved.x - mid.x) * out) / unit);
    double reach = 0;
    for (const TWallBlock& b : blocks)
        for (int cz : {b.z0, b.z1})
            for (int cx : {b.r.Left, b.r.Right})
                for (int cy : {b.r.Top, b.r.Bottom}) {
                    const TPoint c = canvas.WorldToScreen(cx, cy, cz);
                    // the edge's point across from the corner, its ends where the corner lies beyond them
                    const double along0 = horizontal ? e0.x : e0.y, along1 = horizontal ? e1.x : e1.y;
                    const double at = horizontal ? c.x : c.y;
                    const double t = along1 == along0 ? 0.0 : std::clamp((at - along0) / (along1 - along0), 0.0, 1.0);
                    const double edge = horizontal ? e0.y + (e1.y - e0.y) * t : e0.x + (e1.x - e0.x) * t;
                    const double past = horizontal ? (far ? edge - c.y : c.y - edge) : (far ? c.x - edge : edge - c.x);
                    reach = std::max(reach, past / scale);
                }
    // one pixel more for the outline drawn on the blocks' edges; never more than the plot
    // could give way
    const int most = horizontal ? p.Bottom - p.Top : p.Right - p.Left;
    return reach > 0 ? std::min(static_cast<int>(std::ceil(reach)) + 1, std::max(0, most)) : 0;
}

void TCustomChart::DrawTitlesAndLegend(bool beforeSeries) {
    TCanvas3D& canvas = Canvas();
    TChartTitle* titles[4] = {FTitle.get(), FSubTitle.get(), FFoot.get(), FSubFoot.get()};
    {
        canvas.BeginFrontPlane();
        const ScopeExit endFront([&] { canvas.EndFrontPlane(); });
        if (beforeSeries) {
            const bool legendNow = !FLegend->CustomPosition() && FLegend->ShowsSomething();
            if (legendNow && FLegend->Vertical()) FLegend->DrawLegend();
            const int frame = FrameWidth();
            const TRect inner{FPanelRect.Left + frame, FPanelRect.Top + frame, FPanelRect.Right - frame,
                              FPanelRect.Bottom - frame};
            TRect legend{};
            if (legendNow && FLegend->Vertical() && FLegend->ResizeChart())
                legend = FLegend->DrawnBounds(FLegend->ShapeBounds());
            for (TChartTitle* t : titles)
                if (!t->CustomPosition()) t->DrawTitle(inner, legend);
            if (legendNow && !FLegend->Vertical()) FLegend->DrawLegend();
        } else {
            if (FLegend->CustomPosition() && FLegend->ShowsSomething()) FLegend->DrawLegend();
            for (TChartTitle* t : titles)
                if (t->CustomPosition()) t->DrawTitle();
        }
    }
    if (beforeSeries || !View3D() || !View3DWalls() || !SeriesUseAxes()) return;
    // Sides facing the viewer go over the series.
    const TRect& p = PlotRect();
    if (!SideCulled(p.Right)) {
        if (FWalls->Right.Visible()) DrawSideWall(true);
        if (IsAxisShown(RightAxis())) {
            RightAxis()->OverWalls = true;
            RightAxis()->DrawAxis(true);
            RightAxis()->OverWalls = false;
        }
    }
    if (SideCulled(p.Left)) {
        if (FWalls->Left.Visible()) DrawSideWall(false);
        if (IsAxisShown(LeftAxis())) {
            LeftAxis()->OverWalls = true;
            LeftAxis()->DrawAxis(true);
            LeftAxis()->OverWalls = false;
        }
    }
}

bool TCustomChart::SideCulled(int x) {
    TCanvas3D& canvas = Canvas();
    const TRect& p = PlotRect();
    const int bottom = p.Bottom + WallSizeForAxis(BottomAxis());
    const TPoint a = canvas.WorldToScreen(x, p.Top, 0);
    const TPoint b = canvas.WorldToScreen(x, bottom, 0);
    const TPoint c = canvas.WorldToScreen(x, bottom, FWalls->Back.Size() + ChartDepth3D());
    return IsBackFacing(a, b, c);
}

// A visible gradient is painted first, over the wall's outline on the screen (its rectangle
// on a flat chart); the wall's
// own brush then stays clear so that its faces show the gradient through their outlines.
void TCustomChart::DrawWall(TCustomChartWall& wall, const TRect& r, int z0, int z1) {
    TCanvas3D& canvas = Canvas();
    TCanvas* device = canvas.GetDeviceHandle();
    const TPlotGradient* gradient = wall.GradientIfAny();
    const bool useGradient = gradient && gradient->Visible() && !wall.Transparent();
    if (useGradient && View3D() && View3DWalls())
        Solid::GradientOverOutline(canvas, *gradient, Solid::BoxOutline(canvas, r, z0, z1));
    else if (useGradient)
        gradient->Draw(canvas, r);
    canvas.SelectPen(wall.Pen());
    if (wall.Transparent() || useGradient) {
        if (device) device->Brush().SetStyle(bsClear);
    } else {
        TColor color = wall.Color();
        // a hatch in the colour of the panel behind it would not show
        const TColor back = ColorToRGB(Color());
        if (wall.Brush().Style() != bsSolid && wall.Brush().Style() != bsClear && ColorToRGB(color) == back)
            color = back == clBlack ? clWhite : clBlack;
        canvas.SelectBrush(wall.Brush(), color, clNone);
    }
}

void TCustomChart::DrawSideWall(bool right) {
    TCanvas3D& canvas = Canvas();
    const TRect& p = PlotRect();
    TCustomChartWall& wall = right ? static_cast<TCustomChartWall&>(FWalls->Right) : FWalls->Left;
    const int bottom = p.Bottom + WallSizeForAxis(BottomAxis());
    const int depth = ChartDepth3D();
    const int x = right ? p.Right : p.Left;
    const TRect bounds = right ? TRect{x, p.Top, x + std::max(1, wall.Size()), bottom}
                               : TRect{x - std::max(1, wall.Size()), p.Top, x, bottom};
    std::unique_ptr<TPlotBlend> blend =
        wall.Transparency() > 0 ? canvas.BeginTransparency(canvas.RectBoundsAtDepth(bounds, 0), wall.Transparency())
                                : nullptr;
    const int far = wall.Size() < 1 ? (right ? depth + 1 : depth) : (right ? depth + FWalls->Back.Size() : depth);
    if (wall.Size() < 1) {
        DrawWall(wall, TRect{x, p.Top, x, bottom}, 0, far);
        canvas.DrawSidePlane(x, p.Top, bottom, 0, far);
    } else {
        DrawWall(wall, bounds, 0, far);
        canvas.DrawBox(bounds, 0, far, wall.DarkSides());
    }
    if (blend) canvas.EndTransparency(std::move(blend));
}

void TCustomChart::DrawWalls() {
    if (!SeriesUseAxes()) return;
    TCanvas3D& canvas = Canvas();
    const bool walls3D = View3D() && View3DWalls();
    const TRect& p = PlotRect();
    const int depth = ChartDepth3D();
    if (walls3D && FWalls->Right.Visible() && SideCulled(p.Right)) DrawSideWall(true);
    TChartBackWall& back = FWalls->Back;
    if (back.Visible()) {
        const TRect r{p.Left, p.Top, p.Right + 1, p.Bottom + 1};
        std::unique_ptr<TPlotBlend> blend =
            back.Transparency() > 0
                ? canvas.BeginTransparency(canvas.RectBoundsAtDepth(r, walls3D ? depth : 0), back.Transparency())
                : nullptr;
        if (!walls3D) {
            DrawWall(back, r, 0, 0);
            canvas.DrawRectangle(r);
        } else if (back.Size() < 1) {
            DrawWall(back, p, depth, depth);
            canvas.DrawRectangleAtDepth(p, depth);
        } else {
            const int size = depth < 0 ? -back.Size() : back.Size();
            const TRect box{p.Left - WallSizeForAxis(LeftAxis()), p.Top, p.Right,
                            p.Bottom + WallSizeForAxis(BottomAxis())};
            DrawWall(back, box, depth, depth + size);
            canvas.DrawBox(box, depth, depth + size, back.DarkSides());
        }
        if (blend) canvas.EndTransparency(std::move(blend));
        if (BackImageInside()) {
            TRect inner = p;
            if (back.Pen().Visible()) {
                ++inner.Left;
                ++inner.Top;
            }
            DrawBackImage(inner, depth);
        }
    }
    if (!walls3D) return;
    if (FWalls->Left.Visible() && !SideCulled(p.Left)) DrawSideWall(false);
    TChartWall& bottomWall = FWalls->Bottom;
    if (bottomWall.Visible()) {
        const int y = p.Bottom + (canvas.IsHardware3D() ? 1 : 0);
        const TRect bounds{p.Left, y, p.Right, y + std::max(1, bottomWall.Size())};
        std::unique_ptr<TPlotBlend> blend =
            bottomWall.Transparency() > 0
                ? canvas.BeginTransparency(canvas.RectBoundsAtDepth(bounds, 0), bottomWall.Transparency())
                : nullptr;
        if (bottomWall.Size() < 1) {
            DrawWall(bottomWall, TRect{p.Left, y, p.Right, y}, 0, depth);
            canvas.DrawHorizontalPlane(p.Left, y, p.Right, 0, depth);
        } else {
            DrawWall(bottomWall, bounds, 0, depth);
            canvas.DrawBox(bounds, 0, depth, bottomWall.DarkSides());
        }
        if (blend) canvas.EndTransparency(std::move(blend));
    }
}
