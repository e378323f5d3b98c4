#include "ChartShapes.h"

#include <algorithm>

#include "ChartPanel.h"
#include "ChartUtils.h"
#include "OptionalPart.h"
#include "PlotCanvas.h"
#include "ScopeExit.h"

void DrawBevelInside(TCanvas3D& canvas, TRect& r, TBevelCut kind, int width, int cornerRadius) {
    if (kind == bvNone || width <= 0) return;
    const TColor light = ColorToRGB(clBtnHighlight);
    const TColor dark = ColorToRGB(clBtnShadow);
    if (cornerRadius > 0) {
        TCanvas* device = canvas.GetDeviceHandle();
        if (device) {
            device->Brush().SetStyle(bsClear);
            device->Pen().SetStyle(psSolid);
            device->Pen().SetWidth(1);
            device->Pen().SetColor(kind == bvLowered ? dark : light);
        }
        canvas.DrawRoundRectangle(r.Left, r.Top, r.Right, r.Bottom, cornerRadius, cornerRadius);
        r = TRect{r.Left + width, r.Top + width, r.Right - width, r.Bottom - width};
        return;
    }
    if (kind == bvRaised)
        canvas.DrawBevelFrame(r, light, width, dark);
    else
        canvas.DrawBevelFrame(r, dark, width, light);
}

// ---------------------------------------------------------------------------
TPlotCustomShapeBrushPen::TPlotCustomShapeBrushPen(TCustomPlotPanel* parent)
    : FParent(parent), FPen(std::make_unique<TChartPen>()) {
    FBrush.OnChange = ChangeHandler();
    FPen->OnChange = ChangeHandler();
}

TNotifyEvent TPlotCustomShapeBrushPen::ChangeHandler() const {
    return [this](TObject*) { Repaint(); };
}

void TPlotCustomShapeBrushPen::ReplacePen(std::unique_ptr<TChartPen> pen) {
    FPen = std::move(pen);
    FPen->OnChange = ChangeHandler();
}

void TPlotCustomShapeBrushPen::Repaint() const {
    if (FParent) FParent->Invalidate();
}

void TPlotCustomShapeBrushPen::Assign(const TPersistent* source) {
    if (const auto* s = dynamic_cast<const TPlotCustomShapeBrushPen*>(source)) {
        FBrush.Assign(&s->FBrush);
        FPen->Assign(s->FPen.get());
        SetVisible(s->FVisible);
    }
}

// ---------------------------------------------------------------------------
TPlotCustomShape::TPlotCustomShape(TCustomPlotPanel* parent)
    : TPlotCustomShapeBrushPen(parent), FFont(ChangeHandler()), FShadow({}, 3, clBlack) {
    FShadow.OnChange = ChangeHandler();
}

TPlotCustomShape::~TPlotCustomShape() = default;

std::unique_ptr<TPlotGradient> TPlotCustomShape::NewGradient() const { return std::make_unique<TPlotGradient>(); }

TPlotGradient& TPlotCustomShape::Gradient() {
    return PartOnDemand(FGradient, [this] {
        std::unique_ptr<TPlotGradient> gradient = NewGradient();
        gradient->OnChange = ChangeHandler();
        return gradient;
    });
}

void TPlotCustomShape::SetGradient(const TPlotGradient* value) {
    if (AssignOptionalPart(FGradient, value, [this]() -> TPlotGradient& { return Gradient(); })) Repaint();
}

void TPlotCustomShape::SetTransparency(int value) { SetValue(FTransparency, std::clamp(value, 0, 100)); }

void TPlotCustomShape::Assign(const TPersistent* source) {
    if (const auto* s = dynamic_cast<const TPlotCustomShape*>(source)) {
        SetBevel(s->FBevel);
        SetBevelWidth(s->FBevelWidth);
        SetColor(s->FColor);
        FFont.Assign(&s->FFont);
        SetGradient(s->FGradient.get());
        SetShapeStyle(s->FShapeStyle);
        FShadow.Assign(&s->FShadow);
        SetTransparent(s->FTransparent);
    }
    TPlotCustomShapeBrushPen::Assign(source);
}

namespace {

// Outline of the shape at r: rectangle, round rectangle or the rotated polygon.
void DrawOutline(TCanvas3D& canvas, const TRect& r, int angle, int z, bool round) {
    if (angle != 0) {
        const auto corners = RotateRectangle(r, angle);
        TPoint p[4] = {corners[0], corners[1], corners[2], corners[3]};
        canvas.DrawPolygon(p, 3);
    } else if (canvas.IsHardware3D()) {
        canvas.DrawRectangleAtDepth(r, z);
    } else if (round) {
        canvas.DrawRoundRectangle(r.Left, r.Top, r.Right, r.Bottom, 16, 16);
    } else {
        canvas.DrawRectangle(r.Left, r.Top, r.Right, r.Bottom);
    }
}

TRect RotatedBounds(const TRect& r, int angle) {
    if (angle == 0) return r;
    const auto c = RotateRectangle(r, angle);
    return PointsBoundingRect(c.data(), 4);
}

}  // namespace

void TPlotCustomShape::DrawShape(TCanvas3D& canvas, const TRect& r, int angle, int z) {
    if (FTransparent) return;
    TCanvas* device = canvas.GetDeviceHandle();
    const bool round = FShapeStyle == fosRoundRectangle;
    std::unique_ptr<TPlotBlend> blend;
    if (FTransparency > 0) blend = canvas.BeginTransparency(RotatedBounds(r, angle), FTransparency);
    const ScopeExit endBlend([&] {
        if (blend) canvas.EndTransparency(std::move(blend));
    });
    if ((FShadow.HorizSize() != 0 || FShadow.VertSize() != 0) && Brush().Style() != bsClear && !canvas.IsHardware3D()) {
        int hs = FShadow.HorizSize(), vs = FShadow.VertSize();
        if (std::max(hs, vs) > 0 && Pen().Visible()) {
            hs += Pen().Width();
            vs += Pen().Width();
        }
        std::unique_ptr<TPlotBlend> shadowBlend;
        const TRect moved{r.Left + hs, r.Top + vs, r.Right + hs, r.Bottom + vs};
        if (FShadow.Transparency() > 0)
            shadowBlend = canvas.BeginTransparency(RotatedBounds(moved, angle), FShadow.Transparency());
        // A blend left open would keep redirecting every later drawing into its bitmap.
        const ScopeExit endShadowBlend([&] {
            if (shadowBlend) canvas.EndTransparency(std::move(shadowBlend));
        });
        if (device) {
            device->Pen().SetStyle(psClear);
            device->Brush().SetBitmap(nullptr);
            device->Brush().SetStyle(bsSolid);
            device->Brush().SetColor(canvas.GetMonochrome() ? clBlack : FShadow.Color());
        }
        DrawOutline(canvas, moved, angle, z, round);
    }
    if (FGradient && FGradient->Visible()) {
        if (angle != 0) {
            const auto c = RotateRectangle(r, angle);
            const TPoint p[4] = {c[0], c[1], c[2], c[3]};
            FGradient->Draw(canvas, p, z);
        } else {
            FGradient->Draw(canvas, r, round ? 16 : 0);
        }
        if (device) device->Brush().SetStyle(bsClear);
    } else {
        canvas.SelectBrush(Brush(), FColor, clNone);
    }
    canvas.SelectPen(Pen());
    DrawOutline(canvas, r, angle, z, round);
    if (angle == 0 && FBevel != bvNone) {
        TRect inner = r;
        DrawBevelInside(canvas, inner, FBevel, FBevelWidth);
    }
}

TRect TPlotCustomShape::DrawnBounds(const TRect& r) const {
    int hs = FShadow.HorizSize(), vs = FShadow.VertSize();
    if (FTransparent || Brush().Style() == bsClear || (hs == 0 && vs == 0)) return r;
    if (std::max(hs, vs) > 0 && Pen().Visible()) {
        hs += Pen().Width();
        vs += Pen().Width();
    }
    return TRect{std::min(r.Left, r.Left + hs), std::min(r.Top, r.Top + vs), std::max(r.Right, r.Right + hs),
                 std::max(r.Bottom, r.Bottom + vs)};
}

// ---------------------------------------------------------------------------
void TPlotCustomShapePosition::Assign(const TPersistent* source) {
    if (const auto* s = dynamic_cast<const TPlotCustomShapePosition*>(source)) {
        SetCustomPosition(s->FCustomPosition);
        if (s->FCustomPosition) {
            SetLeft(s->Left());
            SetTop(s->Top());
        }
    }
    TPlotCustomShape::Assign(source);
}

// The place it already has changes nothing, custom position included: a
// caller that reads a place and sets it back does not pin the shape there.
void TPlotCustomShapePosition::SetLeft(int value) {
    if (FShapeBounds.Left == value) return;
    FCustomPosition = true;
    const int w = FShapeBounds.Width();
    FShapeBounds.Left = value;
    FShapeBounds.Right = value + w;
    Repaint();
}

void TPlotCustomShapePosition::SetTop(int value) {
    if (FShapeBounds.Top == value) return;
    FCustomPosition = true;
    const int h = FShapeBounds.Height();
    FShapeBounds.Top = value;
    FShapeBounds.Bottom = value + h;
    Repaint();
}
