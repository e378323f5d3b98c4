#pragma once
// Colours, pens, brushes, fonts, bitmaps and the drawing canvas of the GUI layer.
// The rules every drawing keeps: the end pixel of a line is left out; right and
// bottom are exclusive (a rectangle covers left..right-1, top..bottom-1); a XOR
// pen drawn twice undoes itself. The implementation behind it is Qt, which never
// shows in these headers.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Classes.h"

// ---------------------------------------------------------------------------
// Colours: 0x00BBGGRR. 0xFF0000nn is system colour nn, resolved through a fixed table
// so that pictures do not depend on the desktop theme.
using TColor = std::uint32_t;

inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clMaroon = 0x000080;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clOlive = 0x008080;
inline constexpr TColor clNavy = 0x800000;
inline constexpr TColor clPurple = 0x800080;
inline constexpr TColor clTeal = 0x808000;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clYellow = 0x00FFFF;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clFuchsia = 0xFF00FF;
inline constexpr TColor clAqua = 0xFFFF00;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clMoneyGreen = 0xC0DCC0;
inline constexpr TColor clSkyBlue = 0xF0CAA6;
inline constexpr TColor clCream = 0xF0FBFF;
inline constexpr TColor clMedGray = 0xA4A0A0;
inline constexpr TColor clDkGray = 0x808080;
inline constexpr TColor clLtGray = 0xC0C0C0;
// Paint nothing (as a background: transparent).
inline constexpr TColor clNone = 0x1FFFFFFF;
// Take the owner's colour.
inline constexpr TColor clDefault = 0x20000000;

inline constexpr TColor clSystemColor = 0xFF000000;
inline constexpr TColor clScrollBar = clSystemColor | 0;
inline constexpr TColor clBackground = clSystemColor | 1;
inline constexpr TColor clActiveCaption = clSystemColor | 2;
inline constexpr TColor clInactiveCaption = clSystemColor | 3;
inline constexpr TColor clMenu = clSystemColor | 4;
inline constexpr TColor clWindow = clSystemColor | 5;
inline constexpr TColor clWindowFrame = clSystemColor | 6;
inline constexpr TColor clMenuText = clSystemColor | 7;
inline constexpr TColor clWindowText = clSystemColor | 8;
inline constexpr TColor clCaptionText = clSystemColor | 9;
inline constexpr TColor clActiveBorder = clSystemColor | 10;
inline constexpr TColor clInactiveBorder = clSystemColor | 11;
inline constexpr TColor clAppWorkSpace = clSystemColor | 12;
inline constexpr TColor clHighlight = clSystemColor | 13;
inline constexpr TColor clHighlightText = clSystemColor | 14;
inline constexpr TColor clBtnFace = clSystemColor | 15;
inline constexpr TColor clBtnShadow = clSystemColor | 16;
inline constexpr TColor clGrayText = clSystemColor | 17;
inline constexpr TColor clBtnText = clSystemColor | 18;
inline constexpr TColor clInactiveCaptionText = clSystemColor | 19;
inline constexpr TColor clBtnHighlight = clSystemColor | 20;
inline constexpr TColor cl3DDkShadow = clSystemColor | 21;
inline constexpr TColor cl3DLight = clSystemColor | 22;
inline constexpr TColor clInfoText = clSystemColor | 23;
inline constexpr TColor clInfoBk = clSystemColor | 24;
inline constexpr TColor clHotLight = clSystemColor | 26;
inline constexpr TColor clGradientActiveCaption = clSystemColor | 27;
inline constexpr TColor clGradientInactiveCaption = clSystemColor | 28;
inline constexpr TColor clMenuHighlight = clSystemColor | 29;
inline constexpr TColor clMenuBar = clSystemColor | 30;

// Resolves system colours through the table below; other values pass unchanged
// (special values keep their low 24 bits when painted).
TColor ColorToRGB(TColor color);

// The table of system colours starts with fixed classic values, so that pictures
// are the same everywhere; the control layer replaces entries with the colours an
// application sets in its palette. Values other than system colours are ignored.
void SetSystemColor(TColor systemColor, TColor rgb);
// Back to the classic value.
void ResetSystemColor(TColor systemColor);

inline constexpr std::uint8_t GetRValue(TColor c) { return static_cast<std::uint8_t>(c & 0xFF); }
inline constexpr std::uint8_t GetGValue(TColor c) { return static_cast<std::uint8_t>((c >> 8) & 0xFF); }
inline constexpr std::uint8_t GetBValue(TColor c) { return static_cast<std::uint8_t>((c >> 16) & 0xFF); }
inline constexpr TColor RGB(int r, int g, int b) {
    return static_cast<TColor>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}

// ---------------------------------------------------------------------------
struct TPoint {
    int x = 0;
    int y = 0;
    friend bool operator==(const TPoint&, const TPoint&) = default;
};

struct TSize {
    int cx = 0;
    int cy = 0;
    friend bool operator==(const TSize&, const TSize&) = default;
};

struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    friend bool operator==(const TRect&, const TRect&) = default;
};

inline TPoint Point(int x, int y) { return TPoint{x, y}; }
inline TRect Rect(int l, int t, int r, int b) { return TRect{l, t, r, b}; }

// ---------------------------------------------------------------------------
enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame, psAlternate };
// Raster operation of pen and brush drawing. Xor and NotXor are undone by drawing again.
enum TPenMode { pmCopy, pmXor, pmNotXor, pmNot, pmBlack, pmWhite };
// Cap and join of pens two or more pixels wide (one-pixel pens always leave out the end pixel).
enum TPenCap { pcRound, pcSquare, pcFlat };
enum TBrushStyle { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross };

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = unsigned;  // a set of TFontStyle bits

// Text alignment flags as the device takes them.
inline constexpr int TA_LEFT = 0;
inline constexpr int TA_UPDATECP = 1;
inline constexpr int TA_RIGHT = 2;
inline constexpr int TA_CENTER = 6;
inline constexpr int TA_TOP = 0;
inline constexpr int TA_BOTTOM = 8;
inline constexpr int TA_BASELINE = 24;

// Background modes.
inline constexpr int TRANSPARENT = 1;
inline constexpr int OPAQUE = 2;

inline constexpr int DEFAULT_CHARSET = 1;

// Whether the system's primary language is Japanese (asked once per process).
bool SystemLanguageIsJapanese();
// The font the system gives user-interface texts: its family and size in points.
void UserInterfaceFont(std::string& name, int& pointSize);

class TBitmap;

// Base of pens, brushes and fonts: reports every real change through OnChange.
class TGraphicsObject : public TPersistent {
public:
    TNotifyEvent OnChange;

protected:
    virtual void Changed();
};

class TPen : public TGraphicsObject {
public:
    TPen() = default;
    void Assign(const TPersistent* source) override;

    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    int Width() const { return FWidth; }
    void SetWidth(int value);
    TPenStyle Style() const { return FStyle; }
    void SetStyle(TPenStyle value);
    TPenMode Mode() const { return FMode; }
    void SetMode(TPenMode value);
    TPenCap Cap() const { return FCap; }
    void SetCap(TPenCap value);

protected:
    // Copies the fields of another pen; true when any of them differed.
    bool CopyFields(const TPen& source);

private:
    TColor FColor = clBlack;
    int FWidth = 1;
    TPenStyle FStyle = psSolid;
    TPenMode FMode = pmCopy;
    TPenCap FCap = pcRound;
};

class TBrush : public TGraphicsObject {
public:
    TBrush() = default;
    ~TBrush() override;
    void Assign(const TPersistent* source) override;

    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    TBrushStyle Style() const { return FStyle; }
    void SetStyle(TBrushStyle value);
    // A pattern bitmap (copied); nil removes it. A brush with a bitmap paints the pattern.
    const TBitmap* Bitmap() const { return FBitmap.get(); }
    void SetBitmap(const TBitmap* value);

private:
    TColor FColor = clWhite;
    TBrushStyle FStyle = bsSolid;
    std::unique_ptr<TBitmap> FBitmap;
};

class TFont : public TGraphicsObject {
public:
    TFont();
    void Assign(const TPersistent* source) override;

    const std::string& Name() const { return FName; }
    void SetName(const std::string& value);
    // Size in points; Height in pixels (negative: character height without leading).
    int Size() const;
    void SetSize(int value);
    int Height() const { return FHeight; }
    void SetHeight(int value);
    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    TFontStyles Style() const { return FStyle; }
    void SetStyle(TFontStyles value);
    int Charset() const { return FCharset; }
    void SetCharset(int value);
    int PixelsPerInch() const { return FPixelsPerInch; }
    void SetPixelsPerInch(int value);
    // Text angle in tenths of a degree, counter-clockwise.
    int Orientation() const { return FOrientation; }
    void SetOrientation(int value);

private:
    std::string FName = "Arial";
    int FHeight = -11;
    TColor FColor = clBlack;
    TFontStyles FStyle = 0;
    int FCharset = DEFAULT_CHARSET;
    int FPixelsPerInch = 96;
    int FOrientation = 0;
};

// Pixels per inch of every device of this layer.
inline constexpr int ScreenPixelsPerInch = 96;

// (a * b) / c rounded to the nearest integer, halves away from zero; c = 0 gives -1.
int MulDiv(int a, int b, int c);

class TCanvas;

// Off-screen 32-bit picture. Pixels are 0xFFRRGGBB words in memory (one per pixel).
class TBitmap : public TPersistent {
public:
    TBitmap();
    TBitmap(int width, int height);
    ~TBitmap() override;
    void Assign(const TPersistent* source) override;

    int Width() const;
    int Height() const;
    bool Empty() const { return Width() <= 0 || Height() <= 0; }
    // Resizes; the content is kept where it overlaps, new area is white.
    void SetSize(int width, int height);
    TCanvas& Canvas();

    TColor GetPixel(int x, int y) const;  // clNone outside
    // A transparent bitmap is drawn without the pixels of its bottom-left pixel's colour.
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool value) { FTransparent = value; }
    void SetPixel(int x, int y, TColor color);
    std::uint32_t* ScanLine(int y);
    const std::uint32_t* ScanLine(int y) const;

    struct Impl;
    Impl& impl() { return *FImpl; }
    const Impl& impl() const { return *FImpl; }

private:
    std::unique_ptr<Impl> FImpl;
    bool FTransparent = false;
};

using TGraphic = TBitmap;

// A graphic holder with change notification (a brush image, a back image).
class TPicture : public TPersistent {
public:
    TPicture();
    ~TPicture() override;
    void Assign(const TPersistent* source) override;
    TNotifyEvent OnChange;

    // The held bitmap, nil when empty.
    TBitmap* Graphic() const { return FGraphic.get(); }
    void SetGraphic(const TBitmap* value);
    // Created on first use.
    TBitmap& Bitmap();

private:
    std::unique_ptr<TBitmap> FGraphic;
};

// A clip region (shapes combined by intersection), opaque to callers.
class TRegion {
public:
    TRegion();
    ~TRegion();
    TRegion(const TRegion&);
    TRegion& operator=(const TRegion&);
    bool IsEmpty() const;
    TRect BoundingRect() const;
    bool Contains(int x, int y) const;

    struct Impl;
    Impl& impl() { return *FImpl; }
    const Impl& impl() const { return *FImpl; }

private:
    std::unique_ptr<Impl> FImpl;
};

// Drawing surface over a bitmap. The pen, brush and font are read at each call.
class TCanvas : public TObject {
public:
    explicit TCanvas(TBitmap& target);
    ~TCanvas() override;

    TPen& Pen() { return FPen; }
    TBrush& Brush() { return FBrush; }
    TFont& Font() { return FFont; }
    TBitmap& Target() { return FTarget; }

    TPoint PenPos() const { return FPenPos; }
    void MoveTo(int x, int y);
    // Draws from the pen position to (x, y) without the end pixel and moves the pen there.
    void LineTo(int x, int y);
    void Polyline(const TPoint* points, int count);
    void Polygon(const TPoint* points, int count);  // alternate fill
    // Pen outline on left..right-1 x top..bottom-1, brush inside; without a pen the brush covers it all.
    void Rectangle(int left, int top, int right, int bottom);
    void Rectangle(const TRect& r) { Rectangle(r.Left, r.Top, r.Right, r.Bottom); }
    void RoundRect(int left, int top, int right, int bottom, int cornerWidth, int cornerHeight);
    void Ellipse(int left, int top, int right, int bottom);
    // Brush only over left..right-1 x top..bottom-1.
    void FillRect(const TRect& r);
    // Counter-clockwise (or clockwise, see ArcDirection) from the ray through (x3, y3) to the one through (x4, y4).
    void Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);
    void Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);
    bool ArcClockwise() const { return FArcClockwise; }
    void SetArcClockwise(bool value) { FArcClockwise = value; }

    TColor GetPixel(int x, int y) const;
    void SetPixel(int x, int y, TColor color);

    // Text relative to (x, y) by the text alignment; opaque mode fills its box with the background colour.
    void TextOut(int x, int y, const std::string& text);
    TSize TextExtent(const std::string& text);
    int TextWidth(const std::string& text) { return TextExtent(text).cx; }
    int TextHeight(const std::string& text) { return TextExtent(text).cy; }
    int TextAlign() const { return FTextAlign; }
    void SetTextAlign(int flags) { FTextAlign = flags; }
    int BackgroundMode() const { return FBkMode; }
    void SetBackgroundMode(int mode) { FBkMode = mode; }
    TColor BackgroundColor() const { return FBkColor; }
    void SetBackgroundColor(TColor color) { FBkColor = color; }
    // Extra pixels after every character.
    int TextCharacterExtra() const { return FCharExtra; }
    void SetTextCharacterExtra(int value) { FCharExtra = value; }

    // Paths: between BeginPath and EndPath, MoveTo/LineTo/ArcTo/TextOut build the path instead of drawing.
    void BeginPath();
    void EndPath();
    void AbortPath();
    void ArcTo(int left, int top, int right, int bottom, int x3, int y3, int x4, int y4);
    void CloseFigure();
    void StrokePath();
    void FillPath();
    void StrokeAndFillPath();
    // Widens the path by the current pen (its outline becomes the path).
    void WidenPath();
    // Intersects the clip region with the path and discards the path.
    void ClipToPath();

    // Clipping. Every Intersect... narrows the current clip region.
    bool HasClipRegion() const;
    TRegion ClipRegion() const;
    void SelectClipRegion(const TRegion* region);  // nil: no clipping
    void IntersectClipRect(const TRect& r);
    void IntersectClipEllipse(const TRect& r);
    void IntersectClipRoundRect(const TRect& r, int cornerWidth, int cornerHeight);
    void IntersectClipPolygon(const TPoint* points, int count);
    // A per-canvas stack, so that nested clips restore the clip around them.
    void PushClip();
    void PopClip();
    std::size_t ClipDepth() const { return FClipStack.size(); }

    // Copies a bitmap 1:1 to (x, y), or stretched into a rect.
    void Draw(int x, int y, const TBitmap& source);
    void StretchDraw(const TRect& r, const TBitmap& source);
    void CopyRect(const TRect& dest, const TBitmap& source, const TRect& sourceRect);

    struct Impl;

private:
    TBitmap& FTarget;
    TPen FPen;
    TBrush FBrush;
    TFont FFont;
    TPoint FPenPos;
    int FTextAlign = TA_LEFT | TA_TOP;
    int FBkMode = OPAQUE;
    TColor FBkColor = clWhite;
    int FCharExtra = 0;
    bool FArcClockwise = false;
    std::vector<std::unique_ptr<TRegion>> FClipStack;  // nil entries: no clip was set
    std::unique_ptr<Impl> FImpl;
};
