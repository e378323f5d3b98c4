#pragma once
// Drawing attributes that chart elements own and hand to the canvas: pens, brushes,
// fonts, shadows, gradients and 3D view settings. Every setter stores a value and tells
// the owner only when the value really changes.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "Graphics.h"

class TCanvas3D;
class TPlotCanvas;

// Colour that means "take the owner's colour".
inline constexpr TColor SeriesDefaultColor = clDefault;

// Process-wide default font, taken from the message table when first asked for.
int PlotDefaultFontSize();
const std::string& PlotDefaultFontName();

// The font new chart texts start with: the process-wide default, except that on a
// Japanese system the stock Arial and size 8 give way to the user-interface font
// and its size, which carry the Japanese glyphs.
std::string ChartDefaultFontName();
int ChartDefaultFontSize();
// The rule itself, for a stock name and size and what the system offers.
struct TSystemFont {
    bool Japanese = false;
    std::string Name;
    int Size = 0;
};
void AdjustFontForSystem(std::string& name, int& size, const TSystemFont& system);

// Stores value when it differs from field; true when it did, so that the caller reports
// the change.
template <class T>
bool StoreChanged(T& field, const T& value) {
    if (field == value) return false;
    field = value;
    return true;
}

// ---------------------------------------------------------------------------
enum TPenEndStyle { esRound, esSquare, esFlat };

class TChartPen : public TPen {
public:
    explicit TChartPen(TNotifyEvent onChange = {});
    void Assign(const TPersistent* source) override;

    TPenEndStyle EndStyle() const { return FEndStyle; }
    void SetEndStyle(TPenEndStyle value);
    bool SmallDots() const { return FSmallDots; }
    void SetSmallDots(bool value);
    bool Visible() const { return FVisible; }
    void SetVisible(bool value);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }

    // Whether the form data would store the property (it differs from this pen's default).
    bool IsVisibleStored() const { return FVisible != FDefaultVisible; }
    bool IsEndStyleStored() const { return FEndStyle != FDefaultEndStyle; }
    // Presets and owners whose pen starts other than the plain one set the
    // values the pen starts with, which are then not stored.
    void SetDefaults(bool visible, TPenEndStyle endStyle);

private:
    TPenEndStyle FEndStyle = esRound;
    bool FSmallDots = false;
    bool FVisible = true;
    bool FDefaultVisible = true;
    TPenEndStyle FDefaultEndStyle = esRound;
};

class TChartHiddenPen : public TChartPen {
public:
    explicit TChartHiddenPen(TNotifyEvent onChange = {});
};

class TDottedGrayPen : public TChartPen {
public:
    explicit TDottedGrayPen(TNotifyEvent onChange = {});
};

class TDarkGrayPen : public TChartPen {
public:
    explicit TDarkGrayPen(TNotifyEvent onChange = {});
};

class TWhitePen : public TChartPen {
public:
    explicit TWhitePen(TNotifyEvent onChange = {});
};

class TChartAxisPen : public TChartPen {
public:
    explicit TChartAxisPen(TNotifyEvent onChange = {});
};

// ---------------------------------------------------------------------------
class TChartBrush : public TBrush {
public:
    explicit TChartBrush(TNotifyEvent onChange = {});
    ~TChartBrush() override;
    void Assign(const TPersistent* source) override;

    // Created on first read; SetImage(nullptr) frees it, any other picture is copied.
    TPicture& Image();
    void SetImage(const TPicture* value);
    // Without creating it.
    TPicture* ImageIfAny() const { return FImage.get(); }
    // The bitmap the image holds, nil when there is no image or it is empty.
    const TBitmap* ImageGraphic() const;

private:
    std::unique_ptr<TPicture> FImage;
};

// ---------------------------------------------------------------------------
using TPlotTransparency = std::uint8_t;  // percent, 0..100

class TPlotShadow : public TPersistent {
public:
    // The defaults are also the values that are not stored.
    explicit TPlotShadow(TNotifyEvent onChange = {}, int defaultSize = 0, TColor defaultColor = clSilver);
    void Assign(const TPersistent* source) override;

    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    int HorizSize() const { return FHorizSize; }
    void SetHorizSize(int value);
    int VertSize() const { return FVertSize; }
    void SetVertSize(int value);
    TPlotTransparency Transparency() const { return FTransparency; }
    // Values above 100 are taken as 100.
    void SetTransparency(int value);
    // The larger of the two sizes; setting it sets both.
    int ShadowExtent() const;
    void SetShadowExtent(int value);

    bool IsColorStored() const { return FColor != FDefaultColor; }
    bool IsHorizSizeStored() const { return FHorizSize != FDefaultSize; }
    bool IsVertSizeStored() const { return FVertSize != FDefaultSize; }

    // Draws the shadow under r at depth z.
    void Draw(TCanvas3D& canvas, const TRect& r, int z = 0) const;

    TNotifyEvent OnChange;

private:
    void Changed();
    TColor FColor = clSilver;
    int FHorizSize = 0;
    int FVertSize = 0;
    TPlotTransparency FTransparency = 0;
    TColor FDefaultColor = clSilver;
    int FDefaultSize = 0;
};

// ---------------------------------------------------------------------------
enum TGradientDirection {
    gdTopBottom,
    gdBottomTop,
    gdLeftRight,
    gdRightLeft,
    gdFromCenter,
    gdFromTopLeft,
    gdFromBottomLeft,
    gdRadial
};

class TCustomPlotGradient : public TPersistent {
public:
    explicit TCustomPlotGradient(TNotifyEvent onChange = {});
    void Assign(const TPersistent* source) override;

    TGradientDirection Direction() const { return FDirection; }
    void SetDirection(TGradientDirection value);
    TColor StartColor() const { return FStartColor; }
    void SetStartColor(TColor value);
    TColor EndColor() const { return FEndColor; }
    void SetEndColor(TColor value);
    // clNone while no mid colour is set; setting clNone switches it off.
    TColor MidColor() const { return FUseMiddle ? FMidColor : clNone; }
    void SetMidColor(TColor value);
    bool UseMiddleColor() const { return FUseMiddle; }
    int Balance() const { return FBalance; }
    void SetBalance(int value);
    bool Visible() const { return FVisible; }
    void SetVisible(bool value);
    int RadialX() const { return FRadialX; }
    void SetRadialX(int value);
    int RadialY() const { return FRadialY; }
    void SetRadialY(int value);

    // Fills r (clipped to a rounded rectangle when cornerSize > 0).
    void Draw(TCanvas3D& canvas, const TRect& r, int cornerSize = 0) const;
    // Fills the quadrilateral of four points projected at depth z.
    void Draw(TCanvas3D& canvas, const TPoint (&points)[4], int z) const;
    // The radial fill (also used by the canvas for radial gradient fills).
    void DrawRadial(TCanvas3D& canvas, const TRect& r, TColor start, TColor end, int balance) const;

    TNotifyEvent OnChange;

protected:
    void Changed();

private:
    TGradientDirection FDirection = gdTopBottom;
    TColor FStartColor = clWhite;
    TColor FEndColor = clYellow;
    TColor FMidColor = clNone;
    bool FUseMiddle = false;
    int FBalance = 50;
    bool FVisible = false;
    int FRadialX = 0;
    int FRadialY = 0;
};

class TPlotGradient : public TCustomPlotGradient {
public:
    using TCustomPlotGradient::TCustomPlotGradient;
};

class TPlotFontGradient : public TPlotGradient {
public:
    using TPlotGradient::TPlotGradient;
    void Assign(const TPersistent* source) override;
    // Fill only the widened outline of the text.
    bool Outline() const { return FOutline; }
    void SetOutline(bool value);

private:
    bool FOutline = false;
};

// ---------------------------------------------------------------------------
class TPlotFont : public TFont {
public:
    explicit TPlotFont(TNotifyEvent onChange = {});
    ~TPlotFont() override;
    void Assign(const TPersistent* source) override;

    // Extra pixels between characters.
    int InterCharSize() const { return FInterCharSize; }
    void SetInterCharSize(int value);

    // Created on first read; Set...(nullptr) frees, any other value is copied.
    TChartHiddenPen& OutLine();
    void SetOutLine(const TChartPen* value);
    TPlotShadow& Shadow();
    void SetShadow(const TPlotShadow* value);
    TPlotFontGradient& Gradient();
    void SetGradient(const TPlotFontGradient* value);
    // Without creating them.
    TChartHiddenPen* OutLineIfAny() const { return FOutLine.get(); }
    TPlotShadow* ShadowIfAny() const { return FShadow.get(); }
    TPlotFontGradient* GradientIfAny() const { return FGradient.get(); }

    bool IsSizeStored() const;
    bool IsNameStored() const;
    bool IsStyleStored() const { return Style() != FDefaultStyle; }
    bool IsColorStored() const { return Color() != FDefaultColor; }

    // The canvas that selected this font last (not owned).
    TPlotCanvas* Canvas() const { return FCanvas; }
    void SetCanvas(TPlotCanvas* canvas) { FCanvas = canvas; }
    // Expires with the font, so that a canvas never uses a font freed after it was selected.
    std::weak_ptr<void> AliveToken() const { return FAlive; }

private:
    void SubChanged(TObject* sender);
    int FInterCharSize = 0;
    std::unique_ptr<TChartHiddenPen> FOutLine;
    std::unique_ptr<TPlotShadow> FShadow;
    std::unique_ptr<TPlotFontGradient> FGradient;
    TFontStyles FDefaultStyle = 0;
    TColor FDefaultColor = clBlack;
    TPlotCanvas* FCanvas = nullptr;
    std::shared_ptr<int> FAlive = std::make_shared<int>(0);
};

// ---------------------------------------------------------------------------
class TView3DOptions : public TPersistent {
public:
    // invalidateParent repaints the panel the options belong to.
    explicit TView3DOptions(std::function<void()> invalidateParent = {});
    void Assign(const TPersistent* source) override;

    int Elevation() const { return FElevation; }
    void SetElevation(int value);
    int HorizOffset() const { return FHorizOffset; }
    void SetHorizOffset(int value);
    bool Orthogonal() const { return FOrthogonal; }
    void SetOrthogonal(bool value);
    int OrthoAngle() const { return FOrthoAngle; }
    void SetOrthoAngle(int value);
    int Perspective() const { return FPerspective; }
    void SetPerspective(int value);
    int Rotation() const { return FRotation; }
    void SetRotation(int value);
    int Tilt() const { return FTilt; }
    void SetTilt(int value);
    int VertOffset() const { return FVertOffset; }
    void SetVertOffset(int value);
    int Zoom() const { return FZoom; }
    void SetZoom(int value);
    bool ZoomText() const { return FZoomText; }
    void SetZoomText(bool value);

    // Slope of the orthogonal projection.
    double OrthoSlope() const;

    void InvalidateParent() const;

    // After an offset change: true for the horizontal offset.
    std::function<void(bool horizontal)> OnOffsetChanged;
    // Before a zoom change is stored, with the new value.
    std::function<void(int newZoom)> OnZoomChanging;

private:
    std::function<void()> FInvalidateParent;
    int FElevation = 345;
    int FHorizOffset = 0;
    bool FOrthogonal = true;
    int FOrthoAngle = 45;
    int FPerspective = 15;
    int FRotation = 345;
    int FTilt = 0;
    int FVertOffset = 0;
    int FZoom = 100;
    bool FZoomText = true;
};
