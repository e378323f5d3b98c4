#include "ChartAttributes.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include "ChartMessages.h"
#include "OptionalPart.h"
#include "PlotCanvas.h"

namespace {

int textToInt(const std::string& s, int fallback) {
    try {
        std::size_t used = 0;
        const int v = std::stoi(s, &used);
        return used == s.size() ? v : fallback;
    } catch (...) {
        return fallback;
    }
}

}  // namespace

int PlotDefaultFontSize() { return textToInt(PlotConst().DefaultFontSize, 8); }

const std::string& PlotDefaultFontName() { return PlotConst().DefaultFontName; }

void AdjustFontForSystem(std::string& name, int& size, const TSystemFont& system) {
    if (!system.Japanese) return;
    if (size == 8 && system.Size > 0) size = system.Size;
    if (name == "Arial" && !system.Name.empty()) name = system.Name;
}

namespace {

// What the system offers; the user-interface font is only asked for on a Japanese system.
TSystemFont SystemFont() {
    TSystemFont f;
    f.Japanese = SystemLanguageIsJapanese();
    if (f.Japanese) UserInterfaceFont(f.Name, f.Size);
    return f;
}

}  // namespace

std::string ChartDefaultFontName() {
    std::string name = PlotDefaultFontName();
    int size = 0;
    AdjustFontForSystem(name, size, SystemFont());
    return name;
}

int ChartDefaultFontSize() {
    std::string name;
    int size = PlotDefaultFontSize();
    AdjustFontForSystem(name, size, SystemFont());
    return size;
}

// ---------------------------------------------------------------------------
TChartPen::TChartPen(TNotifyEvent onChange) { OnChange = std::move(onChange); }

void TChartPen::Assign(const TPersistent* source) {
    const auto* pen = dynamic_cast<const TPen*>(source);
    if (!pen) return;
    bool changed = CopyFields(*pen);
    if (const auto* p = dynamic_cast<const TChartPen*>(source)) {
        changed |= StoreChanged(FEndStyle, p->FEndStyle);
        changed |= StoreChanged(FSmallDots, p->FSmallDots);
        changed |= StoreChanged(FVisible, p->FVisible);
    }
    if (changed) Changed();
}

void TChartPen::SetEndStyle(TPenEndStyle value) {
    if (StoreChanged(FEndStyle, value)) Changed();
}

void TChartPen::SetSmallDots(bool value) {
    if (StoreChanged(FSmallDots, value)) Changed();
}

void TChartPen::SetVisible(bool value) {
    if (StoreChanged(FVisible, value)) Changed();
}

void TChartPen::SetDefaults(bool visible, TPenEndStyle endStyle) {
    FVisible = FDefaultVisible = visible;
    FEndStyle = FDefaultEndStyle = endStyle;
}

TChartHiddenPen::TChartHiddenPen(TNotifyEvent onChange) : TChartPen(std::move(onChange)) {
    SetDefaults(false, esRound);
}

// Presets are set up before the owner's handler is attached, so construction notifies nobody.
TDottedGrayPen::TDottedGrayPen(TNotifyEvent onChange) {
    SetColor(clGray);
    SetStyle(psDot);
    OnChange = std::move(onChange);
}

TDarkGrayPen::TDarkGrayPen(TNotifyEvent onChange) {
    SetColor(clGray);
    OnChange = std::move(onChange);
}

TWhitePen::TWhitePen(TNotifyEvent onChange) {
    SetColor(clWhite);
    OnChange = std::move(onChange);
}

TChartAxisPen::TChartAxisPen(TNotifyEvent onChange) {
    SetWidth(2);
    OnChange = std::move(onChange);
}

// ---------------------------------------------------------------------------
TChartBrush::TChartBrush(TNotifyEvent onChange) {
    SetColor(SeriesDefaultColor);
    OnChange = std::move(onChange);
}

TChartBrush::~TChartBrush() = default;

void TChartBrush::Assign(const TPersistent* source) {
    if (const auto* b = dynamic_cast<const TChartBrush*>(source)) {
        SetImage(b->FImage.get());
    }
    TBrush::Assign(source);
}

TPicture& TChartBrush::Image() {
    return PartOnDemand(FImage, [this] {
        auto image = std::make_unique<TPicture>();
        image->OnChange = [this](TObject*) { Changed(); };
        return image;
    });
}

void TChartBrush::SetImage(const TPicture* value) {
    if (AssignOptionalPart(FImage, value, [this]() -> TPicture& { return Image(); })) Changed();
}

const TBitmap* TChartBrush::ImageGraphic() const {
    if (!FImage || !FImage->Graphic() || FImage->Graphic()->Empty()) return nullptr;
    return FImage->Graphic();
}

// ---------------------------------------------------------------------------
TPlotShadow::TPlotShadow(TNotifyEvent onChange, int defaultSize, TColor defaultColor)
    : OnChange(std::move(onChange)),
      FColor(defaultColor),
      FHorizSize(defaultSize),
      FVertSize(defaultSize),
      FDefaultColor(defaultColor),
      FDefaultSize(defaultSize) {}

void TPlotShadow::Changed() {
    if (OnChange) OnChange(this);
}

void TPlotShadow::Assign(const TPersistent* source) {
    if (const auto* s = dynamic_cast<const TPlotShadow*>(source)) {
        bool changed = StoreChanged(FColor, s->FColor);
        changed |= StoreChanged(FHorizSize, s->FHorizSize);
        changed |= StoreChanged(FVertSize, s->FVertSize);
        changed |= StoreChanged(FTransparency, s->FTransparency);
        if (changed) Changed();
    }
}

void TPlotShadow::SetColor(TColor value) {
    if (StoreChanged(FColor, value)) Changed();
}

void TPlotShadow::SetHorizSize(int value) {
    if (StoreChanged(FHorizSize, value)) Changed();
}

void TPlotShadow::SetVertSize(int value) {
    if (StoreChanged(FVertSize, value)) Changed();
}

void TPlotShadow::SetTransparency(int value) {
    const auto v = static_cast<TPlotTransparency>(std::clamp(value, 0, 100));
    if (StoreChanged(FTransparency, v)) Changed();
}

int TPlotShadow::ShadowExtent() const { return std::max(FHorizSize, FVertSize); }

void TPlotShadow::SetShadowExtent(int value) {
    bool changed = StoreChanged(FHorizSize, value);
    changed |= StoreChanged(FVertSize, value);
    if (changed) Changed();
}

void TPlotShadow::Draw(TCanvas3D& canvas, const TRect& r, int z) const {
    if (FColor == clNone || (FHorizSize == 0 && FVertSize == 0)) return;
    TCanvas* device = canvas.GetDeviceHandle();
    if (device) {
        device->Brush().SetStyle(bsSolid);
        device->Brush().SetBitmap(nullptr);
        device->Brush().SetColor(canvas.GetMonochrome() ? clBlack : FColor);
        device->Pen().SetStyle(psClear);
    }
    std::unique_ptr<TPlotBlend> blend;
    if (FTransparency > 0) {
        const TRect moved{r.Left + FHorizSize, r.Top + FVertSize, r.Right + FHorizSize, r.Bottom + FVertSize};
        blend = canvas.BeginTransparency(canvas.RectBoundsAtDepth(moved, z), FTransparency);
    }
    const TRect below{r.Left + FHorizSize, r.Bottom, r.Right + FHorizSize, r.Bottom + FVertSize};
    const TRect right{r.Right, r.Top + FVertSize, r.Right + FHorizSize, r.Bottom + FVertSize};
    if (z == 0) {
        canvas.FillRectangle(OrientRect(below));
        canvas.FillRectangle(OrientRect(right));
    } else {
        canvas.DrawRectangleAtDepth(below, z);
        canvas.DrawRectangleAtDepth(right, z);
    }
    if (blend) canvas.EndTransparency(std::move(blend));
}

// ---------------------------------------------------------------------------
TCustomPlotGradient::TCustomPlotGradient(TNotifyEvent onChange) : OnChange(std::move(onChange)) {}

void TCustomPlotGradient::Changed() {
    if (OnChange) OnChange(this);
}

void TCustomPlotGradient::Assign(const TPersistent* source) {
    if (const auto* g = dynamic_cast<const TCustomPlotGradient*>(source)) {
        bool changed = StoreChanged(FBalance, g->FBalance);
        changed |= StoreChanged(FDirection, g->FDirection);
        changed |= StoreChanged(FStartColor, g->FStartColor);
        changed |= StoreChanged(FMidColor, g->FMidColor);
        changed |= StoreChanged(FEndColor, g->FEndColor);
        changed |= StoreChanged(FRadialX, g->FRadialX);
        changed |= StoreChanged(FRadialY, g->FRadialY);
        changed |= StoreChanged(FVisible, g->FVisible);
        changed |= StoreChanged(FUseMiddle, g->FUseMiddle);
        if (changed) Changed();
    }
}

void TCustomPlotGradient::SetDirection(TGradientDirection value) {
    if (StoreChanged(FDirection, value)) Changed();
}
void TCustomPlotGradient::SetStartColor(TColor value) {
    if (StoreChanged(FStartColor, value)) Changed();
}
void TCustomPlotGradient::SetEndColor(TColor value) {
    if (StoreChanged(FEndColor, value)) Changed();
}
void TCustomPlotGradient::SetMidColor(TColor value) {
    if (value == clNone) {
        if (FUseMiddle) {
            FUseMiddle = false;
            Changed();
        }
        return;
    }
    bool changed = StoreChanged(FMidColor, value);
    changed |= StoreChanged(FUseMiddle, true);
    if (changed) Changed();
}
void TCustomPlotGradient::SetBalance(int value) {
    if (StoreChanged(FBalance, value)) Changed();
}
void TCustomPlotGradient::SetVisible(bool value) {
    if (StoreChanged(FVisible, value)) Changed();
}
void TCustomPlotGradient::SetRadialX(int value) {
    if (StoreChanged(FRadialX, value)) Changed();
}
void TCustomPlotGradient::SetRadialY(int value) {
    if (StoreChanged(FRadialY, value)) Changed();
}

namespace {

TColor mono(TColor c, bool monochrome) {
    if (!monochrome) return c;
    const TColor rgb = ColorToRGB(c);
    const int grey = (GetRValue(rgb) + GetGValue(rgb) + GetBValue(rgb)) / 3;
    return RGB(grey, grey, grey);
}

}  // namespace

void TCustomPlotGradient::DrawRadial(TCanvas3D& canvas, const TRect& rect, TColor start, TColor end,
                                     int balance) const {
    // Pulled into the device's 28-bit space so that sizes cannot overflow.
    auto pull = [](int v) { return std::clamp(v, -(1 << 28), 1 << 28); };
    const TRect r = OrientRect(TRect{pull(rect.Left), pull(rect.Top), pull(rect.Right), pull(rect.Bottom)});
    const int w = r.Right - r.Left;
    const int h = r.Bottom - r.Top;
    if (w <= 0 || h <= 0) return;
    TCanvas* device = canvas.GetDeviceHandle();
    if (!device) return;
    canvas.ClipToRectangle(r);
    device->Brush().SetBitmap(nullptr);
    device->Brush().SetStyle(bsSolid);
    device->Brush().SetColor(end);
    canvas.FillRectangle(r);
    int n = std::min(255, std::max(w, h));
    if ((w % 2) != 0 || (h % 2) != 0) --n;
    const TPenStyle oldStyle = device->Pen().Style();
    device->Pen().SetStyle(psClear);
    if (n > 0) {
        const int cx =
            pull(static_cast<int>(std::clamp<long long>(FRadialX + 1LL + (r.Left + r.Right) / 2, -(1 << 29), 1 << 29)));
        const int cy =
            pull(static_cast<int>(std::clamp<long long>(FRadialY + 1LL + (r.Top + r.Bottom) / 2, -(1 << 29), 1 << 29)));
        for (int i = n; i >= 0; --i) {
            const int rx = static_cast<int>(static_cast<long long>(w / 2) * i / n);
            const int ry = static_cast<int>(static_cast<long long>(h / 2) * i / n);
            device->Brush().SetColor(GradientBandColor(start, end, i, n, balance));
            canvas.DrawEllipse(cx - rx, cy - ry, cx + rx, cy + ry);
        }
    }
    device->Pen().SetStyle(oldStyle);
    canvas.RemoveClipping();
}

void TCustomPlotGradient::Draw(TCanvas3D& canvas, const TRect& rect, int cornerSize) const {
    const bool m = canvas.GetMonochrome();
    const TColor start = mono(FStartColor, m);
    const TColor end = mono(FEndColor, m);
    const TColor mid = mono(FMidColor, m);
    const TRect r = OrientRect(rect);
    if (cornerSize > 0) canvas.ClipToRoundRectangle(r, cornerSize);
    if (FDirection == gdRadial) {
        DrawRadial(canvas, r, start, end, FBalance);
    } else if (FUseMiddle) {
        const int midY = (r.Top + r.Bottom) / 2;
        const int midX = (r.Left + r.Right) / 2;
        const TRect top{r.Left, r.Top, r.Right, midY};
        const TRect bottom{r.Left, midY, r.Right, r.Bottom};
        const TRect left{r.Left, r.Top, midX, r.Bottom};
        const TRect right{midX, r.Top, r.Right, r.Bottom};
        switch (FDirection) {
        case gdTopBottom:
            canvas.FillGradient(top, mid, 50, gdTopBottom, end);
            canvas.FillGradient(bottom, start, 50, gdTopBottom, mid);
            break;
        case gdBottomTop:
            canvas.FillGradient(top, start, 50, gdBottomTop, mid);
            canvas.FillGradient(bottom, mid, 50, gdBottomTop, end);
            break;
        case gdLeftRight:
            canvas.FillGradient(left, mid, 50, gdLeftRight, end);
            canvas.FillGradient(right, start, 50, gdLeftRight, mid);
            break;
        case gdRightLeft:
            canvas.FillGradient(left, start, 50, gdRightLeft, mid);
            canvas.FillGradient(right, mid, 50, gdRightLeft, end);
            break;
        default:
            canvas.FillGradient(r, start, 50, FDirection, end);
            break;
        }
    } else {
        canvas.FillGradient(r, start, FBalance, FDirection, end);
    }
    if (cornerSize > 0) canvas.RemoveClipping();
}

void TCustomPlotGradient::Draw(TCanvas3D& canvas, const TPoint (&points)[4], int z) const {
    TPoint projected[4];
    for (int i = 0; i < 4; ++i) projected[i] = canvas.WorldToScreen(points[i].x, points[i].y, z);
    canvas.ClipToPolygon(projected, 4);
    // the quadrilateral's box takes the same fill as a rectangle, mid colour included
    Draw(canvas, PointsBoundingRect(projected, 4));
    canvas.RemoveClipping();
}

void TPlotFontGradient::Assign(const TPersistent* source) {
    if (const auto* g = dynamic_cast<const TPlotFontGradient*>(source)) {
        if (StoreChanged(FOutline, g->FOutline)) Changed();
    }
    TCustomPlotGradient::Assign(source);
}

void TPlotFontGradient::SetOutline(bool value) {
    if (StoreChanged(FOutline, value)) Changed();
}

// ---------------------------------------------------------------------------
TPlotFont::TPlotFont(TNotifyEvent onChange) {
    SetColor(clBlack);
    SetCharset(DEFAULT_CHARSET);
    SetName(ChartDefaultFontName());
    SetSize(ChartDefaultFontSize());
    FDefaultStyle = Style();
    FDefaultColor = Color();
    OnChange = std::move(onChange);
}

TPlotFont::~TPlotFont() = default;

void TPlotFont::SubChanged(TObject*) { Changed(); }

void TPlotFont::Assign(const TPersistent* source) {
    if (const auto* f = dynamic_cast<const TPlotFont*>(source)) {
        FInterCharSize = f->FInterCharSize;
        // a source without one of the parts has none to give: the copy drops its own
        AssignOptionalPart(FOutLine, f->FOutLine.get(), [this]() -> TChartHiddenPen& { return OutLine(); });
        AssignOptionalPart(FShadow, f->FShadow.get(), [this]() -> TPlotShadow& { return Shadow(); });
        AssignOptionalPart(FGradient, f->FGradient.get(), [this]() -> TPlotFontGradient& { return Gradient(); });
    }
    TFont::Assign(source);
}

void TPlotFont::SetInterCharSize(int value) {
    if (StoreChanged(FInterCharSize, value)) Changed();
}

TChartHiddenPen& TPlotFont::OutLine() {
    return PartOnDemand(FOutLine,
                        [this] { return std::make_unique<TChartHiddenPen>([this](TObject* s) { SubChanged(s); }); });
}

void TPlotFont::SetOutLine(const TChartPen* value) {
    if (AssignOptionalPart(FOutLine, value, [this]() -> TChartHiddenPen& { return OutLine(); })) Changed();
}

TPlotShadow& TPlotFont::Shadow() {
    return PartOnDemand(FShadow,
                        [this] { return std::make_unique<TPlotShadow>([this](TObject* s) { SubChanged(s); }); });
}

void TPlotFont::SetShadow(const TPlotShadow* value) {
    if (AssignOptionalPart(FShadow, value, [this]() -> TPlotShadow& { return Shadow(); })) Changed();
}

TPlotFontGradient& TPlotFont::Gradient() {
    return PartOnDemand(FGradient,
                        [this] { return std::make_unique<TPlotFontGradient>([this](TObject* s) { SubChanged(s); }); });
}

void TPlotFont::SetGradient(const TPlotFontGradient* value) {
    if (AssignOptionalPart(FGradient, value, [this]() -> TPlotFontGradient& { return Gradient(); })) Changed();
}

bool TPlotFont::IsSizeStored() const { return Size() != ChartDefaultFontSize(); }

bool TPlotFont::IsNameStored() const { return Name() != ChartDefaultFontName(); }

// ---------------------------------------------------------------------------
TView3DOptions::TView3DOptions(std::function<void()> invalidateParent)
    : FInvalidateParent(std::move(invalidateParent)) {}

void TView3DOptions::InvalidateParent() const {
    if (FInvalidateParent) FInvalidateParent();
}

void TView3DOptions::Assign(const TPersistent* source) {
    if (const auto* v = dynamic_cast<const TView3DOptions*>(source)) {
        FElevation = v->FElevation;
        FHorizOffset = v->FHorizOffset;
        FOrthogonal = v->FOrthogonal;
        FOrthoAngle = v->FOrthoAngle;
        FPerspective = v->FPerspective;
        FRotation = v->FRotation;
        FTilt = v->FTilt;
        FVertOffset = v->FVertOffset;
        FZoom = v->FZoom;
        FZoomText = v->FZoomText;
        InvalidateParent();
    }
}

void TView3DOptions::SetElevation(int value) {
    if (StoreChanged(FElevation, value)) InvalidateParent();
}

void TView3DOptions::SetHorizOffset(int value) {
    if (StoreChanged(FHorizOffset, value)) {
        InvalidateParent();
        if (OnOffsetChanged) OnOffsetChanged(true);
    }
}

void TView3DOptions::SetOrthogonal(bool value) {
    if (StoreChanged(FOrthogonal, value)) InvalidateParent();
}

void TView3DOptions::SetOrthoAngle(int value) {
    if (StoreChanged(FOrthoAngle, value)) InvalidateParent();
}

void TView3DOptions::SetPerspective(int value) {
    if (StoreChanged(FPerspective, value)) InvalidateParent();
}

void TView3DOptions::SetRotation(int value) {
    if (StoreChanged(FRotation, value)) InvalidateParent();
}

void TView3DOptions::SetTilt(int value) {
    if (StoreChanged(FTilt, value)) InvalidateParent();
}

void TView3DOptions::SetVertOffset(int value) {
    if (StoreChanged(FVertOffset, value)) {
        InvalidateParent();
        if (OnOffsetChanged) OnOffsetChanged(false);
    }
}

void TView3DOptions::SetZoom(int value) {
    if (FZoom == value) return;
    if (OnZoomChanging) OnZoomChanging(value);
    FZoom = value;
    InvalidateParent();
}

void TView3DOptions::SetZoomText(bool value) {
    if (StoreChanged(FZoomText, value)) InvalidateParent();
}

double TView3DOptions::OrthoSlope() const {
    if (!FOrthogonal) return 1.0;
    int a = FOrthoAngle;
    if (a > 90) a = 180 - a;
    return std::tan(a * std::numbers::pi / 180.0);
}
