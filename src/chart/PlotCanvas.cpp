#include "PlotCanvas.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>

#include "ScopeExit.h"
#include "Solids.h"

namespace {

constexpr double DegToRad = std::numbers::pi / 180.0;

// Doubles to pixels: nearest, halves to even; values beyond any device saturate at
// +-2^28 (NaN gives 0), which leaves room for the offsets added after.
int roundInt(double v) {
    if (!(v == v)) return 0;
    constexpr double limit = 1 << 28;
    return static_cast<int>(std::clamp(std::nearbyint(v), -limit, limit));
}

}  // namespace

TColor GradientBandColor(TColor start, TColor end, int i, int m, int balance) {
    const TColor s = ColorToRGB(start) & 0xFFFFFF;
    const TColor e = ColorToRGB(end) & 0xFFFFFF;
    const int sc[3] = {GetRValue(s), GetGValue(s), GetBValue(s)};
    const int ec[3] = {GetRValue(e), GetGValue(e), GetBValue(e)};
    int out[3];
    if (balance == 50) {
        for (int k = 0; k < 3; ++k) {
            out[k] = m > 0 ? sc[k] + static_cast<int>(static_cast<long long>(i) * (ec[k] - sc[k]) / m) : sc[k];
        }
    } else {
        const double f = std::pow((i + 1.0) / (m + 1.0), balance * 0.015 + 0.5);
        for (int k = 0; k < 3; ++k) out[k] = sc[k] + roundInt((ec[k] - sc[k]) * f);
    }
    return RGB(std::clamp(out[0], 0, 255), std::clamp(out[1], 0, 255), std::clamp(out[2], 0, 255));
}

// ---------------------------------------------------------------------------
bool IsBackFacing(const TPoint& p0, const TPoint& p1, const TPoint& p2) {
    const long long v =
        static_cast<long long>(p0.x - p1.x) * (p2.y - p1.y) - static_cast<long long>(p2.x - p1.x) * (p0.y - p1.y);
    return v < 0;
}

bool IsBackFacing(const TPoint (&p)[3]) { return IsBackFacing(p[0], p[1], p[2]); }

bool RectContainsPoint(const TRect& r, const TPoint& p) {
    return p.x >= r.Left && p.x < r.Right && p.y >= r.Top && p.y < r.Bottom;
}

TRect OrientRect(const TRect& r) {
    TRect o = r;
    if (o.Left > o.Right) std::swap(o.Left, o.Right);
    if (o.Top > o.Bottom) std::swap(o.Top, o.Bottom);
    return o;
}

void RectExtent(const TRect& r, int& width, int& height) {
    width = r.Right - r.Left;
    height = r.Bottom - r.Top;
}

TPoint RectMidpoint(const TRect& r) { return TPoint{(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2}; }

void ExchangeIntegers(int& a, int& b) { std::swap(a, b); }
void ExchangeDoubles(double& a, double& b) { std::swap(a, b); }
double Hypotenuse(double x, double y) { return std::sqrt(x * x + y * y); }

TRect PointsBoundingRect(const TPoint* points, int count) {
    if (!points || count <= 0) return TRect{};
    TRect r{points[0].x, points[0].y, points[0].x, points[0].y};
    for (int i = 1; i < count; ++i) {
        r.Left = std::min(r.Left, points[i].x);
        r.Top = std::min(r.Top, points[i].y);
        r.Right = std::max(r.Right, points[i].x);
        r.Bottom = std::max(r.Bottom, points[i].y);
    }
    ++r.Right;
    ++r.Bottom;
    return r;
}

TPoint PointBeforeEnd(const TPoint& p, const TPoint& q, int d) {
    if (p.x == q.x) {
        return q.y < p.y ? TPoint{q.x, q.y + d} : TPoint{q.x, q.y - d};
    }
    const double a = std::atan2(q.y - p.y, q.x - p.x);
    return TPoint{q.x - roundInt(d * std::cos(a)), q.y - roundInt(d * std::sin(a))};
}

TColor DarkenColor(TColor color, int quantity) {
    const TColor c = ColorToRGB(color);
    auto dark = [quantity](int v) { return v > quantity ? v - quantity : 0; };
    return RGB(dark(GetRValue(c)), dark(GetGValue(c)), dark(GetBValue(c)));
}

namespace {

// "None" and "the owner's colour" are for the owner to resolve; one that reaches the
// canvas unresolved paints nothing rather than the black its low bytes would give.
bool NamesNoColour(TColor color) { return ColorToRGB(color) > 0xFFFFFF; }

}  // namespace

// ---------------------------------------------------------------------------
TPlotCanvas::TPlotCanvas() = default;
TPlotCanvas::~TPlotCanvas() {
    if (TPlotFont* font = CurrentFont(); font && font->Canvas() == this) font->SetCanvas(nullptr);
}

void TPlotCanvas::AttachCanvas(TCanvas* canvas) { FCanvas = canvas; }

void TPlotCanvas::ResetDrawingState() {
    if (!FCanvas) return;
    TPen& pen = FCanvas->Pen();
    pen.SetColor(clBlack);
    pen.SetWidth(1);
    pen.SetStyle(psSolid);
    pen.SetMode(pmCopy);
    TBrush& brush = FCanvas->Brush();
    brush.SetBitmap(nullptr);
    brush.SetColor(clWhite);
    brush.SetStyle(bsSolid);
    TFont& font = FCanvas->Font();
    font.SetColor(clBlack);
    font.SetSize(10);
    FCanvas->SetBackgroundColor(clWhite);
    FCanvas->SetBackgroundMode(TRANSPARENT);
    FCanvas->SetTextAlign(TA_LEFT | TA_TOP);
}

void TPlotCanvas::SelectPen(const TPen& pen) { SelectPen(pen, pen.Color()); }

void TPlotCanvas::SelectPen(const TPen& pen, TColor color) {
    if (!FCanvas) return;
    if (GetMonochrome()) color = clBlack;
    TPen& device = FCanvas->Pen();
    const auto* chartPen = dynamic_cast<const TChartPen*>(&pen);
    if (chartPen && !chartPen->Visible()) {
        device.SetStyle(psClear);
        return;
    }
    device.Assign(&pen);
    if (NamesNoColour(color)) {
        device.SetStyle(psClear);
        return;
    }
    device.SetColor(color);
    device.SetCap(pcRound);
    if (chartPen) {
        if (chartPen->SmallDots()) {
            device.SetStyle(psAlternate);
            device.SetWidth(1);
        } else if (chartPen->Width() >= 2) {
            device.SetCap(chartPen->EndStyle() == esSquare ? pcSquare
                          : chartPen->EndStyle() == esFlat ? pcFlat
                                                           : pcRound);
        }
    }
}

void TPlotCanvas::SelectBrush(const TBrush& brush) { SelectBrush(brush, brush.Color(), clNone); }

void TPlotCanvas::SelectBrush(const TBrush& brush, TColor foreground, TColor background) {
    if (!FCanvas) return;
    if (GetMonochrome()) foreground = clWhite;
    TBrush& device = FCanvas->Brush();
    const auto* chartBrush = dynamic_cast<const TChartBrush*>(&brush);
    const TBitmap* image = chartBrush ? chartBrush->ImageGraphic() : brush.Bitmap();
    if (image) {
        device.SetStyle(bsClear);
        device.SetBitmap(image);
        device.SetStyle(bsSolid);
        FCanvas->Font().SetColor(foreground);
        FCanvas->SetBackgroundMode(OPAQUE);
        FCanvas->SetBackgroundColor(ColorToRGB(background));
        return;
    }
    device.SetBitmap(nullptr);
    device.SetColor(foreground);
    device.SetStyle(NamesNoColour(foreground) ? bsClear : brush.Style());
    if (background == clNone) {
        FCanvas->SetBackgroundMode(TRANSPARENT);
    } else {
        FCanvas->SetBackgroundMode(OPAQUE);
        FCanvas->SetBackgroundColor(ColorToRGB(background));
    }
}

void TPlotCanvas::SelectFont(TPlotFont& font) {
    if (!FCanvas) return;
    TFont& device = FCanvas->Font();
    font.SetPixelsPerInch(device.PixelsPerInch());
    device.Assign(&font);
    if (FTextScalePercent != 100.0) {
        device.SetSize(roundInt(font.Size() * FTextScalePercent * 0.01));
    }
    if (GetMonochrome()) device.SetColor(clBlack);
    if (FCanvas->TextCharacterExtra() != font.InterCharSize()) {
        FCanvas->SetTextCharacterExtra(font.InterCharSize());
    }
    FFont = &font;
    FFontAlive = font.AliveToken();
    FFontColor = clNone;
    font.SetCanvas(this);
}

void TPlotCanvas::SetFontColor(TColor color) {
    FFontColor = color;
    ApplyTextColor();
}

void TPlotCanvas::ApplyTextColor() {
    const TPlotFont* font = CurrentFont();
    if (!FCanvas || !font) return;
    if (GetMonochrome())
        FCanvas->Font().SetColor(clBlack);
    else
        FCanvas->Font().SetColor(FFontColor == clNone ? font->Color() : FFontColor);
}

void TPlotCanvas::DarkenBrush(TColor color, int quantity) {
    if (!FCanvas) return;
    const TColor dark = DarkenColor(color, quantity);
    if (FCanvas->Brush().Style() == bsSolid) {
        FCanvas->Brush().SetColor(dark);
    } else {
        FCanvas->SetBackgroundColor(dark);
    }
}

void TPlotCanvas::DrawPolyline(const std::vector<TPoint>& points) {
    if (!points.empty()) DrawPolyline(points.data(), static_cast<int>(points.size()) - 1);
}

void TPlotCanvas::DrawPolygon(const std::vector<TPoint>& points) {
    if (!points.empty()) DrawPolygon(points.data(), static_cast<int>(points.size()) - 1);
}

// ---------------------------------------------------------------------------
TFourPoints TCanvas3D::RectToScreen(const TRect& r, int z) {
    return TFourPoints{WorldToScreen(r.Left, r.Top, z), WorldToScreen(r.Right, r.Top, z),
                       WorldToScreen(r.Right, r.Bottom, z), WorldToScreen(r.Left, r.Bottom, z)};
}

TRect TCanvas3D::RectBoundsAtDepth(const TRect& r, int z) {
    const TFourPoints p = RectToScreen(r, z);
    TRect b{p[0].x, p[0].y, p[0].x, p[0].y};
    for (const TPoint& q : p) {
        b.Left = std::min(b.Left, q.x);
        b.Top = std::min(b.Top, q.y);
        b.Right = std::max(b.Right, q.x);
        b.Bottom = std::max(b.Bottom, q.y);
    }
    return b;
}

void TCanvas3D::DrawImageAtDepth(const TRect& r, const TGraphic* graphic, int z) {
    TCanvas* device = GetDeviceHandle();
    if (!device || !graphic || graphic->Empty()) return;
    const int iw = graphic->Width();
    const int ih = graphic->Height();
    const int rw = r.Right - r.Left;
    const int rh = r.Bottom - r.Top;
    const TPenStyle oldPen = device->Pen().Style();
    const TBrushStyle oldBrush = device->Brush().Style();
    device->Pen().SetStyle(psClear);
    device->Brush().SetStyle(bsSolid);
    for (int j = 0; j < ih; ++j) {
        const int top = r.Top + roundInt(static_cast<double>(j) * rh / ih);
        const int bottom = r.Top + roundInt(static_cast<double>(j + 1) * rh / ih);
        for (int i = 0; i < iw; ++i) {
            const int left = r.Left + roundInt(static_cast<double>(i) * rw / iw);
            const int right = r.Left + roundInt(static_cast<double>(i + 1) * rw / iw);
            device->Brush().SetColor(graphic->GetPixel(i, j));
            DrawRectangleAtDepth(TRect{left, top, right, bottom}, z);
        }
    }
    device->Pen().SetStyle(oldPen);
    device->Brush().SetStyle(oldBrush);
}

// ---------------------------------------------------------------------------
TPlotCanvas3D::TPlotCanvas3D() = default;

TPlotCanvas3D::~TPlotCanvas3D() { FreeBuffer(); }

TColor TPlotCanvas3D::GetBackgroundColor() { return FCanvas ? FCanvas->BackgroundColor() : clWhite; }
int TPlotCanvas3D::GetBackgroundMode() { return FCanvas ? FCanvas->BackgroundMode() : TRANSPARENT; }
TColor TPlotCanvas3D::GetPixelColor(int x, int y) { return FCanvas ? FCanvas->GetPixel(x, y) : clNone; }
int TPlotCanvas3D::GetTextAlignment() { return FCanvas ? FCanvas->TextAlign() : 0; }

void TPlotCanvas3D::SetBackgroundColor(TColor color) {
    if (FCanvas) FCanvas->SetBackgroundColor(ColorToRGB(color));
}

void TPlotCanvas3D::SetBackgroundMode(int mode) {
    if (FCanvas) FCanvas->SetBackgroundMode(mode);
}

void TPlotCanvas3D::SetMonochrome(bool value) {
    if (FMonochrome == value) return;
    FMonochrome = value;
    FDirty = true;
    if (FView3DOptions) FView3DOptions->InvalidateParent();
}

void TPlotCanvas3D::SetPixelColor(int x, int y, TColor color) {
    if (FCanvas) FCanvas->SetPixel(x, y, ColorToRGB(color));
}

void TPlotCanvas3D::SetTextAlignment(int flags) {
    if (FCanvas) FCanvas->SetTextAlign(flags);
}

void TPlotCanvas3D::SetBuffered(bool value) {
    if (FBuffered == value) return;
    FBuffered = value;
    if (!value && FBitmap) {
        FreeBuffer();
        FDirty = true;
    } else if (value && FBitmap) {
        FCanvas = &FBitmap->Canvas();
    }
}

std::unique_ptr<TPlotBlend> TPlotCanvas3D::BeginTransparency(const TRect& r, int percent) {
    FBlendPercent = percent & 0x7F;
    return std::make_unique<TPlotBlend>(*this, r);
}

void TPlotCanvas3D::EndTransparency(std::unique_ptr<TPlotBlend> blend) {
    if (blend) blend->SetPercent(FBlendPercent);
}

void TPlotCanvas3D::DrawArc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
    if (FCanvas) FCanvas->Arc(x1, y1, x2, y2, x3, y3, x4, y4);
}

void TPlotCanvas3D::DrawDonutSlice(int cx, int cy, int holePercent, double startAngle, double endAngle, int vertRadius,
                                   int horizRadius) {
    if (!FCanvas) return;
    const int irx = holePercent * horizRadius / 100;
    const int iry = holePercent * vertRadius / 100;
    auto at = [&](int rx, int ry, double a) {
        return TPoint{cx + roundInt(rx * std::cos(a)), cy - roundInt(ry * std::sin(a))};
    };
    const TPoint o1 = at(horizRadius, vertRadius, startAngle);
    const TPoint o2 = at(horizRadius, vertRadius, endAngle);
    const TPoint i1 = at(irx, iry, startAngle);
    const TPoint i2 = at(irx, iry, endAngle);
    TCanvas& c = *FCanvas;
    c.BeginPath();
    c.MoveTo(o1.x, o1.y);
    c.ArcTo(cx - horizRadius, cy - vertRadius, cx + horizRadius, cy + vertRadius, o1.x, o1.y, o2.x, o2.y);
    c.LineTo(i2.x, i2.y);
    if (i1 != i2) {
        c.SetArcClockwise(true);
        c.ArcTo(cx - irx, cy - iry, cx + irx, cy + iry, i2.x, i2.y, i1.x, i1.y);
        c.SetArcClockwise(false);
    }
    c.LineTo(o1.x, o1.y);
    c.EndPath();
    c.StrokeAndFillPath();
}

void TPlotCanvas3D::DrawGraphic(int x, int y, const TGraphic* graphic) {
    if (FCanvas && graphic && !graphic->Empty()) FCanvas->Draw(x, y, *graphic);
}

void TPlotCanvas3D::DrawEllipse(int x1, int y1, int x2, int y2) {
    if (FCanvas) FCanvas->Ellipse(x1, y1, x2, y2);
}

void TPlotCanvas3D::FillRectangle(const TRect& r) {
    if (FCanvas) FCanvas->FillRect(r);
}

void TPlotCanvas3D::DrawBevelFrame(TRect& r, TColor topLeft, int width, TColor bottomRight) {
    if (!FCanvas) return;
    TPen& pen = FCanvas->Pen();
    pen.SetWidth(1);
    pen.SetStyle(psSolid);
    --r.Right;
    --r.Bottom;
    for (int i = 0; i < width; ++i) {
        pen.SetColor(topLeft);
        const TPoint first[3] = {{r.Left, r.Bottom}, {r.Left, r.Top}, {r.Right, r.Top}};
        FCanvas->Polyline(first, 3);
        pen.SetColor(bottomRight);
        const TPoint second[3] = {{r.Right, r.Top}, {r.Right, r.Bottom}, {r.Left - 1, r.Bottom}};
        FCanvas->Polyline(second, 3);
        ++r.Left;
        ++r.Top;
        --r.Right;
        --r.Bottom;
    }
    ++r.Right;
    ++r.Bottom;
}

void TPlotCanvas3D::LineToPoint(int x, int y) {
    if (FCanvas) FCanvas->LineTo(x, y);
}

void TPlotCanvas3D::MoveToPoint(int x, int y) {
    if (FCanvas) FCanvas->MoveTo(x, y);
}

void TPlotCanvas3D::DrawPie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
    if (FCanvas) FCanvas->Pie(x1, y1, x2, y2, x3, y3, x4, y4);
}

void TPlotCanvas3D::DrawRectangle(int x0, int y0, int x1, int y1) {
    if (FCanvas) FCanvas->Rectangle(x0, y0, x1, y1);
}

void TPlotCanvas3D::DrawRoundRectangle(int x0, int y0, int x1, int y1, int cornerWidth, int cornerHeight) {
    if (FCanvas) FCanvas->RoundRect(x0, y0, x1, y1, cornerWidth, cornerHeight);
}

void TPlotCanvas3D::StretchGraphic(const TRect& r, const TGraphic* graphic) {
    if (FCanvas && graphic && !graphic->Empty()) FCanvas->StretchDraw(r, *graphic);
}

int TPlotCanvas3D::MeasureTextWidth(const std::string& text) {
    if (!FCanvas) return 0;
    int w = FCanvas->TextWidth(text);
    const TPlotFont* font = CurrentFont();
    if (font && font->ShadowIfAny()) w += std::abs(font->ShadowIfAny()->HorizSize());
    return w;
}

int TPlotCanvas3D::MeasureTextHeight(const std::string& text) {
    if (!FCanvas) return 0;
    int h = FCanvas->TextHeight(text);
    const TPlotFont* font = CurrentFont();
    if (font && font->ShadowIfAny()) h += std::abs(font->ShadowIfAny()->VertSize());
    return h;
}

void TPlotCanvas3D::WriteText(int x, int y, const std::string& text) {
    if (!FCanvas) return;
    TCanvas& c = *FCanvas;
    TPlotFont* font = CurrentFont();
    // The box of the text at a given point, for blending and gradients.
    auto textRect = [&](int px, int py) {
        const int w = MeasureTextWidth(text);
        const int h = MeasureTextHeight(text);
        int align = GetTextAlignment();
        if (align > 7) align -= 8;
        int left = px;
        if (align == TA_RIGHT)
            left = px - w;
        else if (align == TA_CENTER)
            left = px - w / 2;
        return TRect{left, py, left + w, py + h};
    };

    int tx = x;
    int ty = y;
    const TPlotShadow* shadow = font ? font->ShadowIfAny() : nullptr;
    if (shadow && (shadow->HorizSize() != 0 || shadow->VertSize() != 0)) {
        int sx = x;
        int sy = y;
        // A negative size keeps the shadow at the point and moves the text instead.
        if (shadow->HorizSize() > 0)
            sx += shadow->HorizSize();
        else
            tx -= shadow->HorizSize();
        if (shadow->VertSize() > 0)
            sy += shadow->VertSize();
        else
            ty -= shadow->VertSize();
        std::unique_ptr<TPlotBlend> blend;
        if (shadow->Transparency() > 0) blend = BeginTransparency(textRect(sx, sy), shadow->Transparency());
        const TColor old = c.Font().Color();
        c.Font().SetColor(shadow->Color());
        c.TextOut(sx, sy, text);
        c.Font().SetColor(old);
        if (blend) EndTransparency(std::move(blend));
    }
    ApplyTextColor();

    TChartHiddenPen* outline = font ? font->OutLineIfAny() : nullptr;
    TPlotFontGradient* gradient = font ? font->GradientIfAny() : nullptr;
    const bool hasOutline = outline && outline->Visible();
    const bool hasGradient = gradient && gradient->Visible();
    if (!hasOutline && !hasGradient) {
        c.TextOut(tx, ty, text);
        return;
    }

    TPen savedPen;
    savedPen.Assign(&c.Pen());
    TBrush savedBrush;
    savedBrush.Assign(&c.Brush());
    const int savedMode = c.BackgroundMode();
    const ScopeExit restore([&] {
        c.Pen().Assign(&savedPen);
        c.Brush().Assign(&savedBrush);
        c.SetBackgroundMode(savedMode);
    });
    if (hasOutline)
        SelectPen(*outline);
    else
        c.Pen().SetStyle(psClear);
    c.Brush().SetBitmap(nullptr);
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(font->Color());
    c.SetBackgroundMode(TRANSPARENT);
    c.BeginPath();
    c.TextOut(tx, ty, text);
    c.EndPath();
    if (hasGradient) {
        if (gradient->Outline()) c.WidenPath();
        c.PushClip();
        c.ClipToPath();
        gradient->Draw(*this, textRect(tx, ty));
        c.PopClip();
        if (gradient->Outline() || !hasOutline) return;
        c.BeginPath();
        c.TextOut(tx, ty, text);
        c.EndPath();
        c.Brush().SetStyle(bsClear);
    }
    if (font->Color() == clNone || c.Brush().Style() == bsClear)
        c.StrokePath();
    else
        c.StrokeAndFillPath();
}

void TPlotCanvas3D::PushClip() {
    if (FCanvas) FCanvas->PushClip();
}

void TPlotCanvas3D::ClipToRectangle(const TRect& r) {
    if (!FCanvas) return;
    PushClip();
    FCanvas->IntersectClipRect(OrientRect(r));
}

void TPlotCanvas3D::ClipToEllipse(const TRect& r) {
    if (!FCanvas) return;
    PushClip();
    FCanvas->IntersectClipEllipse(OrientRect(r));
}

void TPlotCanvas3D::ClipToRoundRectangle(const TRect& r, int cornerSize) {
    if (!FCanvas) return;
    PushClip();
    FCanvas->IntersectClipRoundRect(OrientRect(r), cornerSize, cornerSize);
}

void TPlotCanvas3D::ClipToPolygon(const TPoint* points, int count) {
    if (!FCanvas) return;
    PushClip();
    FCanvas->IntersectClipPolygon(points, count);
}

void TPlotCanvas3D::RemoveClipping() {
    // Each clip saved the region it replaced, so nested clips unwind one at a time.
    if (FCanvas) FCanvas->PopClip();
}

void TPlotCanvas3D::DrawHorizontalLine(int x0, int x1, int y) { TPlotCanvas3D::DrawSegment(x0, y, x1, y); }

void TPlotCanvas3D::DrawVerticalLine(int x, int y0, int y1) { TPlotCanvas3D::DrawSegment(x, y0, x, y1); }

void TPlotCanvas3D::EraseRectangle(const TRect& r) { FillRectangle(r); }

void TPlotCanvas3D::FillGradient(const TRect& rect, TColor start, int balance, TGradientDirection direction,
                                 TColor end) {
    if (!FCanvas) return;
    // Beyond the device's 28-bit space the rectangle is pulled in, so sizes cannot overflow.
    static constexpr int limit = 1 << 28;
    auto pull = [](int v) { return std::clamp(v, -limit, limit); };
    const TRect r = OrientRect(TRect{pull(rect.Left), pull(rect.Top), pull(rect.Right), pull(rect.Bottom)});
    const int w = r.Right - r.Left;
    const int h = r.Bottom - r.Top;
    if (direction == gdRadial) {
        TCustomPlotGradient radial;
        radial.DrawRadial(*this, r, start, end, 50);
        return;
    }
    if (direction == gdBottomTop || direction == gdRightLeft || direction == gdFromCenter ||
        direction == gdFromTopLeft || direction == gdFromBottomLeft) {
        std::swap(start, end);
    }
    if (w <= 0 || h <= 0) return;
    TCanvas& c = *FCanvas;
    TBrush savedBrush;
    savedBrush.Assign(&c.Brush());
    const TPenMode savedMode = c.Pen().Mode();
    // Bands are copied, whatever raster mode the pen is in.
    c.Pen().SetMode(pmCopy);
    c.Brush().SetBitmap(nullptr);
    c.Brush().SetStyle(bsSolid);
    TColor current = clNone;
    auto fill = [&](TColor color, int l, int t, int rr, int b) {
        if (color != current) {
            c.Brush().SetColor(color);
            current = color;
        }
        c.FillRect(TRect{l, t, rr, b});
    };
    switch (direction) {
    case gdTopBottom:
    case gdBottomTop: {
        const int k = std::min(h, 256);
        if (k <= 1) break;
        for (int i = 0; i < k; ++i) {
            fill(GradientBandColor(start, end, i, k - 1, balance), r.Left,
                 r.Bottom - static_cast<int>(static_cast<long long>(h) * (i + 1) / k), r.Right,
                 r.Bottom - static_cast<int>(static_cast<long long>(h) * i / k));
        }
        break;
    }
    case gdLeftRight:
    case gdRightLeft: {
        const int k = std::min(w, 256);
        if (k <= 1) break;
        for (int i = 0; i < k; ++i) {
            fill(GradientBandColor(start, end, i, k - 1, balance),
                 r.Right - static_cast<int>(static_cast<long long>(w) * (i + 1) / k), r.Top,
                 r.Right - static_cast<int>(static_cast<long long>(w) * i / k), r.Bottom);
        }
        break;
    }
    case gdFromCenter: {
        const int m = w / 2 + h / 2;
        // Only rings that can touch the bitmap are visited.
        const TRect v{std::max(r.Left, 0), std::max(r.Top, 0), std::min(r.Right, c.Target().Width()),
                      std::min(r.Bottom, c.Target().Height())};
        if (v.Right <= v.Left || v.Bottom <= v.Top) break;
        const int skip =
            std::min({v.Left - r.Left, r.Right - v.Right, v.Top - r.Top, r.Bottom - v.Bottom, w / 2, h / 2});
        int dx = skip;
        int dy = skip;
        for (;;) {
            const int l = r.Left + dx, t = r.Top + dy, rr = r.Right - dx, b = r.Bottom - dy;
            if (rr <= l || b <= t) break;
            if (rr <= v.Left || l >= v.Right || b <= v.Top || t >= v.Bottom) break;  // inner rings miss it too
            const TColor color = GradientBandColor(start, end, dx + dy, m, balance);
            fill(color, l, t, rr, t + 1);
            fill(color, l, b - 1, rr, b);
            fill(color, l, t, l + 1, b);
            fill(color, rr - 1, t, rr, b);
            bool grew = false;
            if (dy < h / 2) {
                ++dy;
                grew = true;
            }
            if (dx < w / 2) {
                ++dx;
                grew = true;
            }
            if (!grew) break;
        }
        break;
    }
    case gdFromTopLeft:
    case gdFromBottomLeft: {
        const int m = w + h;
        // Pixel (i, j) from the starting corner takes colour i + j: anti-diagonals of equal colour.
        const int x0 = std::max(r.Left, 0), x1 = std::min(r.Right, c.Target().Width());
        const int y0 = std::max(r.Top, 0), y1 = std::min(r.Bottom, c.Target().Height());
        for (int y = y0; y < y1; ++y) {
            const int j = direction == gdFromTopLeft ? y - r.Top : r.Bottom - 1 - y;
            for (int x = x0; x < x1; ++x) c.SetPixel(x, y, GradientBandColor(start, end, x - r.Left + j, m, balance));
        }
        break;
    }
    default:
        break;
    }
    c.Pen().SetMode(savedMode);
    c.Brush().Assign(&savedBrush);
}

void TPlotCanvas3D::DrawSegment(int x0, int y0, int x1, int y1) {
    if (!FCanvas) return;
    FCanvas->MoveTo(x0, y0);
    FCanvas->LineTo(x1, y1);
}

void TPlotCanvas3D::DrawPolyline(const TPoint* points, int lastIndex) {
    if (FCanvas && points && lastIndex >= 1) FCanvas->Polyline(points, lastIndex + 1);
}

void TPlotCanvas3D::DrawPolygon(const TPoint* points, int lastIndex) {
    if (FCanvas && points && lastIndex >= 1) FCanvas->Polygon(points, lastIndex + 1);
}

void TPlotCanvas3D::WriteTextScaled(int x, int y, const std::string& text, bool rotated, int angle) {
    TFont& font = FCanvas->Font();
    const int oldHeight = font.Height();
    const int oldOrientation = font.Orientation();
    if (FZoomText && FZoomScale != 1.0) {
        const int size = font.Size();
        const int scaled = std::max(roundInt(size * FZoomScale), 1);
        if (scaled != size) font.SetHeight(-MulDiv(scaled, font.PixelsPerInch(), 72));
    }
    if (rotated) font.SetOrientation(angle * 10);
    WriteText(x, y, text);
    font.SetOrientation(oldOrientation);
    font.SetHeight(oldHeight);
}

void TPlotCanvas3D::WriteRotatedText(int x, int y, int angle, const std::string& text) {
    if (!FCanvas) return;
    if (angle > 360) angle -= 360;
    const TBrushStyle oldStyle = FCanvas->Brush().Style();
    const int oldMode = FCanvas->BackgroundMode();
    FCanvas->Brush().SetStyle(bsClear);
    FCanvas->SetBackgroundMode(TRANSPARENT);
    WriteTextScaled(x, y, text, true, angle);
    FCanvas->Brush().SetStyle(oldStyle);
    FCanvas->SetBackgroundMode(oldMode);
}

// ---------------------------------------------------------------------------
TColor TPlotCanvas3D::GetPixelColor3D(int x, int y, int z) {
    const TPoint p = WorldToScreen(x, y, z);
    return GetPixelColor(p.x, p.y);
}

void TPlotCanvas3D::SetPixelColor3D(int x, int y, TColor color, int z) {
    if (!FCanvas) return;
    const TPoint p = WorldToScreen(x, y, z);
    if (FCanvas->Pen().Width() == 1) {
        SetPixelColor(p.x, p.y, color);
    } else {
        FCanvas->MoveTo(p.x, p.y);
        FCanvas->LineTo(p.x, p.y);
    }
}

TPoint TPlotCanvas3D::WorldToScreen(int x, int y, int z) {
    if (!FThreeDActive) return TPoint{x, y};
    if (FOrthoActive) {
        return TPoint{roundInt(((x - CenterX) + z * OrthoSlopeX) * FZoomScale) + ScreenCenterX,
                      roundInt(((y - CenterY) - z * OrthoSlopeY) * FZoomScale) + ScreenCenterY};
    }
    const double xp = x - CenterX;
    const double yp = y - CenterY;
    const double dz = z - CenterZ;
    double s = FZoomScale;
    if (IsPerspective) s = FZoomScale - (xp * CoefP1 - yp * SinElevation + dz * CoefP2) * PerspectiveScale;
    return TPoint{roundInt((xp * CoefC + yp * CoefA + dz * CoefF) * s) + ScreenCenterX,
                  roundInt(s * (xp * CoefD + yp * CoefB + dz * CoefG)) + ScreenCenterY};
}

void TPlotCanvas3D::ScreenToWorld(int& x, int& y, int z) {
    if (!FThreeDActive || FZoomScale == 0.0) return;
    const double k = 1.0 / FZoomScale;
    if (FOrthoActive) {
        x = roundInt(k * (x - ScreenCenterX) - z * OrthoSlopeX) + CenterX;
        y = roundInt(k * (y - ScreenCenterY) + z * OrthoSlopeY) + CenterY;
        return;
    }
    if (CoefC == 0.0 || CoefB == 0.0) return;
    const double dz = z - CenterZ;
    const int sx = x;
    const int sy = y;
    x = roundInt((k * (sx - ScreenCenterX) - dz * CoefF - (sy - CenterY) * CoefA) / CoefC) + CenterX;
    y = roundInt((k * (sy - ScreenCenterY) - dz * CoefG - (sx - CenterX) * CoefD) / CoefB) + CenterY;
}

void TPlotCanvas3D::CalcRotation() {
    const double r = FView3DOptions ? FView3DOptions->Rotation() * DegToRad : 0.0;
    const double e = FView3DOptions ? FView3DOptions->Elevation() * DegToRad : 0.0;
    const double t = FView3DOptions ? FView3DOptions->Tilt() * DegToRad : 0.0;
    const double sR = std::sin(r), cR = std::cos(r);
    const double sE = std::sin(e), cE = std::cos(e);
    const double sT = std::sin(t), cT = std::cos(t);
    IsPerspective = false;
    PerspectiveScale = 0.0;
    CoefA = cE * sT;
    CoefB = std::max(cE * cT, 1e-5);
    CoefC = std::max(sR * sE * sT + cR * cT, 1e-5);
    CoefD = cT * sR * sE - cR * sT;
    CoefF = cR * sE * sT - cT * sR;
    CoefG = cR * cT * sE + sR * sT;
    CoefP1 = cE * sR;
    CoefP2 = cR * cE;
    SinElevation = sE;
}

TRect TPlotCanvas3D::BeginDrawing(TCanvas* canvas, TView3DOptions* options, const TRect& bounds, bool threeD,
                                  TColor background) {
    FBounds = bounds;
    FView3DOptions = options;
    FThreeDActive = threeD;
    FOrthoActive = false;
    FZoomScale = 1.0;
    if (FThreeDActive) {
        if (options) {
            FOrthoActive = options->Orthogonal();
            if (FOrthoActive) {
                int a = options->OrthoAngle();
                if (a > 90) {
                    OrthoSlopeX = -1.0;
                    a = 180 - a;
                } else {
                    OrthoSlopeX = 1.0;
                }
                const double c = std::cos(a * DegToRad);
                OrthoSlopeY = c < 0.01 ? 1.0 : std::sin(a * DegToRad) / c;
            }
            FZoomScale = options->Zoom() * 0.01;
            FZoomText = options->ZoomText();
        }
        if (!FOrthoActive) CalcRotation();
    }
    const int w = std::max(0, bounds.Right - bounds.Left);
    const int h = std::max(0, bounds.Bottom - bounds.Top);
    if (FBuffered) {
        if (!FBitmap) FBitmap = std::make_unique<TBitmap>();
        FBitmap->SetSize(w, h);
        FCanvas = &FBitmap->Canvas();
        // A panel without a colour shows what lies behind it, never its previous frame.
        if (background == clNone && canvas) FCanvas->CopyRect(TRect{0, 0, w, h}, canvas->Target(), bounds);
        return TRect{0, 0, w, h};
    }
    FCanvas = canvas;
    return bounds;
}

void TPlotCanvas3D::CopySettings(TCanvas3D& other) { SetMonochrome(other.GetMonochrome()); }

void TPlotCanvas3D::SetProjectionCenter(int depth, const TRect& r) {
    const TPoint mid = RectMidpoint(r);
    CenterX = mid.x + roundInt(CenterShiftX);
    CenterY = mid.y + roundInt(CenterShiftY);
    CenterZ = roundInt(depth * 0.5 + CenterShiftZ);
    ScreenCenterX = CenterX;
    ScreenCenterY = CenterY;
    if (FView3DOptions) {
        ScreenCenterX += FView3DOptions->HorizOffset();
        ScreenCenterY += FView3DOptions->VertOffset();
        IsPerspective = FView3DOptions->Perspective() > 0;
        const int width = r.Right - r.Left;
        // A zero-width rectangle keeps the flat projection rather than dividing by zero.
        if (IsPerspective && width != 0) {
            PerspectiveScale = FView3DOptions->Perspective() * FZoomScale * (1.0 / 150.0) / width;
        } else {
            IsPerspective = false;
            PerspectiveScale = 0.0;
        }
    }
}

void TPlotCanvas3D::PresentBuffer(TCanvas* target, TCanvas* next, const TPoint& topLeft) {
    if (FBuffered && FBitmap && target) {
        CopyBuffer(topLeft.x, topLeft.y, *target);
        FDirty = false;
    }
    if (next) FCanvas = next;
}

bool TPlotCanvas3D::RepaintFromBuffer() {
    if (FDirty || !FBitmap || !FCanvas) return false;
    CopyBuffer(0, 0, *FCanvas);
    return true;
}

void TPlotCanvas3D::DrawArrow(bool filled, const TPoint& from, const TPoint& to, int headWidth, int headLength, int z) {
    const double dx = to.x - from.x;
    const double dy = to.y - from.y;
    const double len = Hypotenuse(dx, dy);
    if (len == 0.0) return;
    const int hl = std::min(headLength, roundInt(len));
    const double ux = dx / len, uy = dy / len;
    const double nx = -uy, ny = ux;
    const double bx = to.x - ux * hl, by = to.y - uy * hl;
    const double half = headWidth / 2.0;
    const TPoint c1{roundInt(bx + nx * half), roundInt(by + ny * half)};
    const TPoint c2{roundInt(bx - nx * half), roundInt(by - ny * half)};
    if (!filled) {
        MoveToPoint3D(from.x, from.y, z);
        LineToPoint3D(to.x, to.y, z);
        MoveToPoint3D(to.x, to.y, z);
        LineToPoint3D(c1.x, c1.y, z);
        MoveToPoint3D(to.x, to.y, z);
        LineToPoint3D(c2.x, c2.y, z);
        return;
    }
    const double shaft = headWidth / 4.0;  // half of the shaft's width (half the head's)
    const TPoint p[7] = {
        {roundInt(from.x + nx * shaft), roundInt(from.y + ny * shaft)},
        {roundInt(bx + nx * shaft), roundInt(by + ny * shaft)},
        c1,
        to,
        c2,
        {roundInt(bx - nx * shaft), roundInt(by - ny * shaft)},
        {roundInt(from.x - nx * shaft), roundInt(from.y - ny * shaft)},
    };
    DrawPolygonAtDepth(p, 6, z);
}

void TPlotCanvas3D::ClipToCube(const TRect& r, int z0, int z1) {
    if (!FCanvas) return;
    if (!FThreeDActive) {
        ClipToRectangle(TRect{r.Left + 1, r.Top + 1, r.Right, r.Bottom - 1});
        return;
    }
    const TView3DOptions* o = FView3DOptions;
    if (o && o->Elevation() == 270 && (o->Rotation() == 270 || o->Rotation() == 360)) {
        const TPoint a = WorldToScreen(r.Left, r.Top, z0);
        const TPoint b = WorldToScreen(r.Right, r.Top, z1);
        ClipToRectangle(OrientRect(TRect{a.x, a.y, b.x, b.y}));
        return;
    }
    const bool mirrored = FOrthoActive && o && o->OrthoAngle() > 90;
    if (!FOrthoActive && o && o->Rotation() < 270) {
        // No clip, but RemoveClipping must still find what to restore.
        PushClip();
        return;
    }
    TPoint p[6];
    if (!mirrored) {
        p[0] = WorldToScreen(r.Left, r.Bottom, z0);
        p[1] = WorldToScreen(r.Left, r.Top, z0);
        p[2] = WorldToScreen(r.Left, r.Top, z1);
        p[3] = WorldToScreen(r.Right, r.Top, z1);
        p[4] = WorldToScreen(r.Right, r.Bottom, z1);
        p[5] = WorldToScreen(r.Right, r.Bottom, z0);
    } else {
        p[0] = WorldToScreen(r.Right, r.Bottom, z0);
        p[1] = WorldToScreen(r.Right, r.Top, z0);
        p[2] = WorldToScreen(r.Right, r.Top, z1);
        p[3] = WorldToScreen(r.Left, r.Top, z1);
        p[4] = WorldToScreen(r.Left, r.Bottom, z1);
        p[5] = WorldToScreen(r.Left, r.Bottom, z0);
    }
    ClipToPolygon(p, 6);
}

void TPlotCanvas3D::DrawCone(bool vertical, int left, int top, int right, int bottom, int z0, int z1, bool darkSides,
                             int conePercent) {
    Solid::Cone(*this, vertical, left, top, right, bottom, z0, z1, darkSides, conePercent);
}

void TPlotCanvas3D::DrawBox(int left, int right, int top, int bottom, int z0, int z1, bool darkSides) {
    Solid::Box(*this, left, right, top, bottom, z0, z1, darkSides);
}

void TPlotCanvas3D::DrawCylinder(bool vertical, int left, int top, int right, int bottom, int z0, int z1,
                                 bool darkSides) {
    DrawCone(vertical, left, top, right, bottom, z0, z1, darkSides, 100);
}

void TPlotCanvas3D::DrawPie3D(int cx, int cy, int rx, int ry, double startAngle, double endAngle, int z0, int z1,
                              int holePercent, bool drawEnds, bool darkSides) {
    Solid::Pie3D(*this, cx, cy, rx, ry, startAngle, endAngle, z0, z1, holePercent, drawEnds, darkSides);
}

void TPlotCanvas3D::DrawPyramid(bool vertical, int left, int top, int right, int bottom, int z0, int z1,
                                bool darkSides) {
    Solid::Pyramid(*this, vertical, left, top, right, bottom, z0, z1, darkSides);
}

void TPlotCanvas3D::DrawPyramidTrunc(const TRect& r, int z0, int truncX, int truncY, int z1) {
    Solid::PyramidTrunc(*this, r, z0, truncX, truncY, z1);
}

void TPlotCanvas3D::DrawHorizontalLine3D(int x0, int x1, int y, int z) {
    TPlotCanvas3D::DrawLineAtDepth(x0, y, x1, y, z);
}

void TPlotCanvas3D::DrawVerticalLine3D(int x, int y0, int y1, int z) {
    TPlotCanvas3D::DrawLineAtDepth(x, y0, x, y1, z);
}

void TPlotCanvas3D::DrawDepthLine(int x, int y, int z0, int z1) {
    MoveToPoint3D(x, y, z0);
    LineToPoint3D(x, y, z1);
}

void TPlotCanvas3D::DrawEllipse3D(int x1, int y1, int x2, int y2, int z) {
    if (!FCanvas) return;
    if (!FThreeDActive) {
        FCanvas->Ellipse(x1, y1, x2 + 1, y2 + 1);
        return;
    }
    if (FOrthoActive) {
        const TPoint a = WorldToScreen(x1, y1, z);
        const TPoint b = WorldToScreen(x2, y2, z);
        FCanvas->Ellipse(a.x, a.y, b.x, b.y);
        return;
    }
    const int cx = (x1 + x2) / 2;
    const int cy = (y1 + y2) / 2;
    const int rx = (x2 - x1) / 2;
    const int ry = (y2 - y1) / 2;
    TPoint p[64];
    for (int i = 0; i < 64; ++i) {
        const double a = i * std::numbers::pi / 20.0;
        p[i] = WorldToScreen(cx + static_cast<int>(rx * std::sin(a)), cy + static_cast<int>(ry * std::cos(a)), z);
    }
    if (FCanvas->Brush().Style() != bsClear) {
        const TPoint c = WorldToScreen(cx, cy, z);
        const TPenStyle old = FCanvas->Pen().Style();
        FCanvas->Pen().SetStyle(psClear);
        for (int i = 0; i < 63; ++i) {
            const TPoint t[3] = {c, p[i], p[i + 1]};
            FCanvas->Polygon(t, 3);
        }
        FCanvas->Pen().SetStyle(old);
    }
    if (FCanvas->Pen().Style() != psClear) FCanvas->Polyline(p, 64);
}

void TPlotCanvas3D::BeginFrontPlane() {
    FSavedThreeD = FThreeDActive;
    FThreeDActive = false;
}

void TPlotCanvas3D::EndFrontPlane() { FThreeDActive = FSavedThreeD; }

void TPlotCanvas3D::DrawLineAtDepth(int x0, int y0, int x1, int y1, int z) {
    MoveToPoint3D(x0, y0, z);
    LineToPoint3D(x1, y1, z);
}

void TPlotCanvas3D::MoveToPoint3D(int x, int y, int z) {
    const TPoint p = WorldToScreen(x, y, z);
    MoveToPoint(p.x, p.y);
}

void TPlotCanvas3D::LineToPoint3D(int x, int y, int z) {
    const TPoint p = WorldToScreen(x, y, z);
    LineToPoint(p.x, p.y);
}

void TPlotCanvas3D::DrawPlaneBetween(const TPoint& p, const TPoint& q, int z0, int z1) {
    FFourPoints = {WorldToScreen(p.x, p.y, z0), WorldToScreen(q.x, q.y, z0), WorldToScreen(q.x, q.y, z1),
                   WorldToScreen(p.x, p.y, z1)};
    DrawFourPoints();
}

void TPlotCanvas3D::DrawPlaneAtDepth(const TFourPoints& points, int z) {
    for (int i = 0; i < 4; ++i) FFourPoints[i] = WorldToScreen(points[i].x, points[i].y, z);
    DrawFourPoints();
}

void TPlotCanvas3D::DrawQuadBetweenDepths(const TFourPoints& points, int z0, int z1) {
    FFourPoints = {WorldToScreen(points[0].x, points[0].y, z0), WorldToScreen(points[1].x, points[1].y, z0),
                   WorldToScreen(points[2].x, points[2].y, z1), WorldToScreen(points[3].x, points[3].y, z1)};
    DrawFourPoints();
}

std::vector<TPoint> TPlotCanvas3D::ProjectAtDepth(const TPoint* points, int lastIndex, int z) {
    std::vector<TPoint> p(static_cast<std::size_t>(lastIndex) + 1);
    for (int i = 0; i <= lastIndex; ++i) p[i] = WorldToScreen(points[i].x, points[i].y, z);
    return p;
}

void TPlotCanvas3D::DrawPolygonAtDepth(const TPoint* points, int lastIndex, int z) {
    if (points && lastIndex >= 1) DrawPolygon(ProjectAtDepth(points, lastIndex, z).data(), lastIndex);
}

void TPlotCanvas3D::DrawPolylineAtDepth(const TPoint* points, int lastIndex, int z) {
    if (points && lastIndex >= 1) DrawPolyline(ProjectAtDepth(points, lastIndex, z).data(), lastIndex);
}

void TPlotCanvas3D::DrawRectangleAtDepth(const TRect& r, int z) {
    FFourPoints = RectToScreen(r, z);
    DrawFourPoints();
}

void TPlotCanvas3D::DrawHorizontalPlane(int left, int y, int right, int z0, int z1) {
    FFourPoints = {WorldToScreen(left, y, z0), WorldToScreen(right, y, z0), WorldToScreen(right, y, z1),
                   WorldToScreen(left, y, z1)};
    DrawFourPoints();
}

void TPlotCanvas3D::DrawSidePlane(int x, int top, int bottom, int z0, int z1) {
    FFourPoints = {WorldToScreen(x, top, z0), WorldToScreen(x, top, z1), WorldToScreen(x, bottom, z1),
                   WorldToScreen(x, bottom, z0)};
    DrawFourPoints();
}

void TPlotCanvas3D::WriteRotatedText3D(int x, int y, int angle, const std::string& text, int z) {
    const TPoint p = WorldToScreen(x, y, z);
    WriteRotatedText(p.x, p.y, angle, text);
}

void TPlotCanvas3D::DrawSphere(int x, int y, int z, double radius) {
    const int r = roundInt(radius);
    DrawEllipse3D(x - r, y - r, x + r, y + r, z);
}

void TPlotCanvas3D::WriteText3D(int x, int y, const std::string& text, int z) {
    if (!FCanvas) return;
    const TPoint p = WorldToScreen(x, y, z);
    if (!FZoomText) {
        WriteText(p.x, p.y, text);
        return;
    }
    WriteTextScaled(p.x, p.y, text, false, 0);
}

void TPlotCanvas3D::DrawTriangle3D(const TPoint3D& p0, const TPoint3D& p1, const TPoint3D& p2, TColor color) {
    if (!FCanvas) return;
    const TPoint p[3] = {WorldToScreen(p0.x, p0.y, p0.z), WorldToScreen(p1.x, p1.y, p1.z),
                         WorldToScreen(p2.x, p2.y, p2.z)};
    if (FCanvas->Brush().Style() != bsClear) FCanvas->Brush().SetColor(color);
    DrawPolygon(p, 2);
}

void TPlotCanvas3D::DrawTriangleAtDepth(const TPoint& p0, const TPoint& p1, const TPoint& p2, int z) {
    const TPoint p[3] = {WorldToScreen(p0.x, p0.y, z), WorldToScreen(p1.x, p1.y, z), WorldToScreen(p2.x, p2.y, z)};
    DrawPolygon(p, 2);
}

void TPlotCanvas3D::DrawFourPoints() { DrawPolygon(FFourPoints.data(), 3); }

void TPlotCanvas3D::FreeBuffer() {
    if (!FBitmap) return;
    // Drawing moves back to the window rather than to a freed bitmap.
    if (FCanvas == &FBitmap->Canvas()) FCanvas = nullptr;
    FBitmap.reset();
}

void TPlotCanvas3D::CopyBuffer(int x, int y, TCanvas& target) {
    if (FBitmap) target.Draw(x, y, *FBitmap);
}

// ---------------------------------------------------------------------------
TPlotBlend::TPlotBlend(TPlotCanvas& canvas, const TRect& r) : FCanvas(canvas) {
    FRect = OrientRect(r);
    FRect.Left = std::max(0, FRect.Left);
    FRect.Top = std::max(0, FRect.Top);
    FRect.Right = std::max(0, FRect.Right);
    FRect.Bottom = std::max(0, FRect.Bottom);
    TCanvas* device = canvas.GetDeviceHandle();
    FValid = device && FRect.Width() > 0 && FRect.Height() > 0;
    if (!FValid) return;
    FSavedAlign = device->TextAlign();
    const TBitmap& target = device->Target();
    // Only the part over the bitmap can be mixed back, so only that part is kept.
    const int w = std::min(FRect.Right, target.Width()) - FRect.Left;
    const int h = std::min(FRect.Bottom, target.Height()) - FRect.Top;
    if (w <= 0 || h <= 0) return;
    FSaved = std::make_unique<TBitmap>(w, h);
    for (int j = 0; j < h; ++j) {
        const std::uint32_t* src = target.ScanLine(FRect.Top + j);
        std::uint32_t* dst = FSaved->ScanLine(j);
        std::copy(src + FRect.Left, src + FRect.Left + w, dst);
    }
}

TPlotBlend::~TPlotBlend() = default;

void TPlotBlend::SetPercent(int p) {
    if (!FValid || !FSaved) return;
    TCanvas* device = FCanvas.GetDeviceHandle();
    if (!device) return;
    TBitmap& target = device->Target();
    const int w = std::min({FRect.Right, target.Width(), FRect.Left + FSaved->Width()}) - FRect.Left;
    const int h = std::min({FRect.Bottom, target.Height(), FRect.Top + FSaved->Height()}) - FRect.Top;
    if (w >= 2 && h >= 2) {
        for (int j = 0; j < h; ++j) {
            std::uint32_t* t = target.ScanLine(FRect.Top + j) + FRect.Left;
            const std::uint32_t* s = FSaved->ScanLine(j);
            for (int i = 0; i < w; ++i) {
                std::uint32_t tv = t[i];
                // Pure white is nudged off white first, as the mixing has always done.
                if ((tv & 0xFFFFFFu) == 0xFFFFFFu) tv = (tv & 0xFF00FFFFu) | 0x00FE0000u;
                std::uint32_t out = 0xFF000000u;
                for (int shift = 0; shift <= 16; shift += 8) {
                    const int tb = static_cast<int>((tv >> shift) & 0xFF);
                    const int sb = static_cast<int>((s[i] >> shift) & 0xFF);
                    const int v = tb + p * (sb - tb) / 100;
                    out |= static_cast<std::uint32_t>(std::clamp(v, 0, 255)) << shift;
                }
                t[i] = out;
            }
        }
    }
    if (device->TextAlign() != FSavedAlign) device->SetTextAlign(FSavedAlign);
}
