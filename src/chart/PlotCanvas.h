#pragma once
// The chart engine's drawing interface: the abstract 2D canvas TPlotCanvas, the 3D canvas
// TCanvas3D with the projection, and TPlotCanvas3D, the one implementation, on the GUI
// layer's canvas. Everything the engine draws goes through here.

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "ChartAttributes.h"
#include "Graphics.h"

class TPlotBlend;

struct TPoint3D {
    int x = 0;
    int y = 0;
    int z = 0;
    friend bool operator==(const TPoint3D&, const TPoint3D&) = default;
};

using TFourPoints = std::array<TPoint, 4>;

// ---------------------------------------------------------------------------
// Geometry helpers.
bool IsBackFacing(const TPoint& p0, const TPoint& p1, const TPoint& p2);
bool IsBackFacing(const TPoint (&p)[3]);
inline TPoint MakePoint(int x, int y) { return TPoint{x, y}; }
inline TRect MakeRect(int l, int t, int r, int b) { return TRect{l, t, r, b}; }
// left <= x < right and top <= y < bottom.
bool RectContainsPoint(const TRect& r, const TPoint& p);
// Swaps so that left <= right and top <= bottom.
TRect OrientRect(const TRect& r);
void RectExtent(const TRect& r, int& width, int& height);
TPoint RectMidpoint(const TRect& r);
void ExchangeIntegers(int& a, int& b);
void ExchangeDoubles(double& a, double& b);
double Hypotenuse(double x, double y);
// Smallest rect around the points, right and bottom each plus 1; empty for no points.
TRect PointsBoundingRect(const TPoint* points, int count);
// The point d before q on the line from p to q.
TPoint PointBeforeEnd(const TPoint& p, const TPoint& q, int d);

// Colour with each of R, G and B lowered by quantity, stopping at 0.
TColor DarkenColor(TColor color, int quantity);
// Colour i of a gradient fill of divisor m from start to end, along the balance curve when
// the balance is not 50; m = 0 gives the start colour.
TColor GradientBandColor(TColor start, TColor end, int i, int m, int balance);

// ---------------------------------------------------------------------------
class TPlotCanvas : public TObject {
public:
    TPlotCanvas();
    ~TPlotCanvas() override;

    virtual TColor GetBackgroundColor() = 0;
    virtual int GetBackgroundMode() = 0;
    virtual TCanvas* GetDeviceHandle() = 0;
    virtual bool GetMonochrome() = 0;
    virtual TColor GetPixelColor(int x, int y) = 0;
    virtual int GetTextAlignment() = 0;
    virtual bool GetBuffered() = 0;
    virtual void SetBackgroundColor(TColor color) = 0;
    virtual void SetBackgroundMode(int mode) = 0;
    virtual void SetMonochrome(bool value) = 0;
    virtual void SetPixelColor(int x, int y, TColor color) = 0;
    virtual void SetTextAlignment(int flags) = 0;
    virtual void SetBuffered(bool value) = 0;
    // The caller owns the returned blend (null when the canvas blends
    // nothing) and hands it back to EndTransparency, which mixes and frees it.
    virtual std::unique_ptr<TPlotBlend> BeginTransparency(const TRect& r, int percent) = 0;
    virtual void EndTransparency(std::unique_ptr<TPlotBlend> blend) = 0;
    virtual void DrawArc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) = 0;
    // Angles in radians; radii in pixels.
    virtual void DrawDonutSlice(int cx, int cy, int holePercent, double startAngle, double endAngle, int vertRadius,
                                int horizRadius) = 0;
    virtual void DrawGraphic(int x, int y, const TGraphic* graphic) = 0;
    virtual void DrawEllipse(int x1, int y1, int x2, int y2) = 0;
    virtual void FillRectangle(const TRect& r) = 0;
    // Draws width rings of bevel inside r; r comes back inset by the width.
    virtual void DrawBevelFrame(TRect& r, TColor topLeft, int width, TColor bottomRight) = 0;
    virtual void LineToPoint(int x, int y) = 0;
    virtual void MoveToPoint(int x, int y) = 0;
    virtual void DrawPie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) = 0;
    virtual void DrawRectangle(int x0, int y0, int x1, int y1) = 0;
    virtual void DrawRoundRectangle(int x0, int y0, int x1, int y1, int cornerWidth, int cornerHeight) = 0;
    virtual void StretchGraphic(const TRect& r, const TGraphic* graphic) = 0;
    virtual void WriteText(int x, int y, const std::string& text) = 0;
    virtual int MeasureTextWidth(const std::string& text) = 0;
    virtual int MeasureTextHeight(const std::string& text) = 0;
    virtual void ClipToRectangle(const TRect& r) = 0;
    virtual void DrawHorizontalLine(int x0, int x1, int y) = 0;
    virtual void DrawVerticalLine(int x, int y0, int y1) = 0;
    virtual void EraseRectangle(const TRect& r) = 0;
    virtual void FillGradient(const TRect& r, TColor start, int balance, TGradientDirection direction, TColor end) = 0;
    virtual void MarkDirty() = 0;
    virtual void DrawSegment(int x0, int y0, int x1, int y1) = 0;
    // lastIndex is the index of the last point (count - 1).
    virtual void DrawPolyline(const TPoint* points, int lastIndex) = 0;
    virtual void DrawPolygon(const TPoint* points, int lastIndex) = 0;
    virtual void WriteRotatedText(int x, int y, int angle, const std::string& text) = 0;
    // Restores the clip region that the last clip replaced.
    virtual void RemoveClipping() = 0;
    virtual void ClipToEllipse(const TRect& r) = 0;
    virtual void ClipToRoundRectangle(const TRect& r, int cornerSize) = 0;
    virtual void ClipToPolygon(const TPoint* points, int count) = 0;

    // Takes a canvas of the GUI layer (and its pen, brush and font) as the drawing target.
    void AttachCanvas(TCanvas* canvas);
    TCanvas* Canvas() const { return FCanvas; }
    // Pen black, width 1, solid; brush white, solid; font black, size 10; background white,
    // transparent; text alignment left-top.
    void ResetDrawingState();
    void SelectPen(const TPen& pen);
    void SelectPen(const TPen& pen, TColor color);
    void SelectBrush(const TBrush& brush);
    void SelectBrush(const TBrush& brush, TColor foreground, TColor background);
    void SelectFont(TPlotFont& font);
    // Text takes this colour instead of the selected font's until the next SelectFont.
    void SetFontColor(TColor color);
    // The brush (or the background colour when the brush is not solid) gets the colour darkened.
    void DarkenBrush(TColor color, int quantity);
    int TextLineHeight() { return MeasureTextHeight("W"); }

    void DrawRectangle(const TRect& r) { DrawRectangle(r.Left, r.Top, r.Right, r.Bottom); }
    void DrawRoundRectangle(const TRect& r, int cw, int ch) {
        DrawRoundRectangle(r.Left, r.Top, r.Right, r.Bottom, cw, ch);
    }
    void DrawEllipse(const TRect& r) { DrawEllipse(r.Left, r.Top, r.Right, r.Bottom); }
    void MoveToPoint(const TPoint& p) { MoveToPoint(p.x, p.y); }
    void LineToPoint(const TPoint& p) { LineToPoint(p.x, p.y); }
    void DrawSegment(const TPoint& a, const TPoint& b) { DrawSegment(a.x, a.y, b.x, b.y); }
    void DrawPolyline(const std::vector<TPoint>& points);
    void DrawPolygon(const std::vector<TPoint>& points);

    // The font selected last, nil when none or when it has been freed since.
    TPlotFont* CurrentFont() const { return FFontAlive.expired() ? nullptr : FFont; }
    double TextScalePercent() const { return FTextScalePercent; }
    void SetTextScalePercent(double value) { FTextScalePercent = value; }
    int BlendPercent() const { return FBlendPercent; }

protected:
    // Text is written in the font's colour (or the one SetFontColor gave), whatever an
    // image brush or a shadow left in the device font since the font was selected.
    void ApplyTextColor();
    TCanvas* FCanvas = nullptr;
    TPlotFont* FFont = nullptr;
    TColor FFontColor = clNone;
    std::weak_ptr<void> FFontAlive;
    int FBlendPercent = 0;
    double FTextScalePercent = 100.0;
};

// ---------------------------------------------------------------------------
class TCanvas3D : public TPlotCanvas {
public:
    virtual TColor GetPixelColor3D(int x, int y, int z) = 0;
    virtual bool IsHardware3D() = 0;
    virtual bool SupportsRotatedText3D() = 0;
    virtual void SetPixelColor3D(int x, int y, TColor color, int z) = 0;
    virtual void ScreenToWorld(int& x, int& y, int z) = 0;
    virtual TPoint WorldToScreen(int x, int y, int z) = 0;
    // Starts a paint; returns the rectangle to draw in.
    virtual TRect BeginDrawing(TCanvas* canvas, TView3DOptions* options, const TRect& bounds, bool threeD,
                               TColor background) = 0;
    virtual void CopySettings(TCanvas3D& other) = 0;
    virtual void SetProjectionCenter(int depth, const TRect& r) = 0;
    virtual void PresentBuffer(TCanvas* target, TCanvas* next, const TPoint& topLeft) = 0;
    virtual bool RepaintFromBuffer() = 0;
    virtual void DrawArrow(bool filled, const TPoint& from, const TPoint& to, int headWidth, int headLength, int z) = 0;
    virtual void ClipToCube(const TRect& r, int z0, int z1) = 0;
    virtual void DrawCone(bool vertical, int left, int top, int right, int bottom, int z0, int z1, bool darkSides,
                          int conePercent) = 0;
    virtual void DrawBox(int left, int right, int top, int bottom, int z0, int z1, bool darkSides) = 0;
    virtual void DrawCylinder(bool vertical, int left, int top, int right, int bottom, int z0, int z1,
                              bool darkSides) = 0;
    virtual void DrawHorizontalLine3D(int x0, int x1, int y, int z) = 0;
    virtual void DrawVerticalLine3D(int x, int y0, int y1, int z) = 0;
    virtual void DrawDepthLine(int x, int y, int z0, int z1) = 0;
    virtual void DrawEllipse3D(int x1, int y1, int x2, int y2, int z) = 0;
    virtual void BeginFrontPlane() = 0;
    virtual void EndFrontPlane() = 0;
    virtual void DrawLineAtDepth(int x0, int y0, int x1, int y1, int z) = 0;
    virtual void MoveToPoint3D(int x, int y, int z) = 0;
    virtual void LineToPoint3D(int x, int y, int z) = 0;
    virtual void DrawPie3D(int cx, int cy, int rx, int ry, double startAngle, double endAngle, int z0, int z1,
                           int holePercent, bool drawEnds, bool darkSides) = 0;
    virtual void DrawPlaneBetween(const TPoint& p, const TPoint& q, int z0, int z1) = 0;
    virtual void DrawPlaneAtDepth(const TFourPoints& points, int z) = 0;
    virtual void DrawQuadBetweenDepths(const TFourPoints& points, int z0, int z1) = 0;
    virtual void DrawPolygonAtDepth(const TPoint* points, int lastIndex, int z) = 0;
    virtual void DrawPolylineAtDepth(const TPoint* points, int lastIndex, int z) = 0;
    virtual void DrawPyramid(bool vertical, int left, int top, int right, int bottom, int z0, int z1,
                             bool darkSides) = 0;
    virtual void DrawPyramidTrunc(const TRect& r, int z0, int truncX, int truncY, int z1) = 0;
    virtual void DrawRectangleAtDepth(const TRect& r, int z) = 0;
    virtual void DrawHorizontalPlane(int left, int y, int right, int z0, int z1) = 0;
    virtual void DrawSidePlane(int x, int top, int bottom, int z0, int z1) = 0;
    virtual void WriteRotatedText3D(int x, int y, int angle, const std::string& text, int z) = 0;
    virtual void DrawSphere(int x, int y, int z, double radius) = 0;
    virtual void WriteText3D(int x, int y, const std::string& text, int z) = 0;
    virtual void DrawTriangle3D(const TPoint3D& p0, const TPoint3D& p1, const TPoint3D& p2, TColor color) = 0;
    virtual void DrawTriangleAtDepth(const TPoint& p0, const TPoint& p1, const TPoint& p2, int z) = 0;

    TPoint WorldToScreen(const TPoint& p, int z) { return WorldToScreen(p.x, p.y, z); }
    // The four corners (l, t), (r, t), (r, b), (l, b) projected at z.
    TFourPoints RectToScreen(const TRect& r, int z);
    // The bounding rectangle of r projected at z.
    TRect RectBoundsAtDepth(const TRect& r, int z);
    void DrawBox(const TRect& r, int z0, int z1, bool darkSides) {
        DrawBox(r.Left, r.Right, r.Top, r.Bottom, z0, z1, darkSides);
    }
    void DrawLineAtDepth(const TPoint& a, const TPoint& b, int z) { DrawLineAtDepth(a.x, a.y, b.x, b.y, z); }
    void DrawEllipse3D(const TRect& r, int z) { DrawEllipse3D(r.Left, r.Top, r.Right, r.Bottom, z); }
    // Draws the graphic cell by cell as filled rectangles at depth z.
    void DrawImageAtDepth(const TRect& r, const TGraphic* graphic, int z);

    TView3DOptions* View3DOptions() const { return FView3DOptions; }
    bool OrthoActive() const { return FOrthoActive; }
    double CenterShiftX = 0.0;
    double CenterShiftY = 0.0;
    double CenterShiftZ = 0.0;

protected:
    TView3DOptions* FView3DOptions = nullptr;
    bool FOrthoActive = false;
};

// ---------------------------------------------------------------------------
class TPlotCanvas3D : public TCanvas3D {
public:
    TPlotCanvas3D();
    ~TPlotCanvas3D() override;

    TColor GetBackgroundColor() override;
    int GetBackgroundMode() override;
    TCanvas* GetDeviceHandle() override { return FCanvas; }
    bool GetMonochrome() override { return FMonochrome; }
    TColor GetPixelColor(int x, int y) override;
    int GetTextAlignment() override;
    bool GetBuffered() override { return FBuffered; }
    void SetBackgroundColor(TColor color) override;
    void SetBackgroundMode(int mode) override;
    void SetMonochrome(bool value) override;
    void SetPixelColor(int x, int y, TColor color) override;
    void SetTextAlignment(int flags) override;
    void SetBuffered(bool value) override;
    std::unique_ptr<TPlotBlend> BeginTransparency(const TRect& r, int percent) override;
    void EndTransparency(std::unique_ptr<TPlotBlend> blend) override;
    void DrawArc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) override;
    void DrawDonutSlice(int cx, int cy, int holePercent, double startAngle, double endAngle, int vertRadius,
                        int horizRadius) override;
    void DrawGraphic(int x, int y, const TGraphic* graphic) override;
    void DrawEllipse(int x1, int y1, int x2, int y2) override;
    void FillRectangle(const TRect& r) override;
    void DrawBevelFrame(TRect& r, TColor topLeft, int width, TColor bottomRight) override;
    void LineToPoint(int x, int y) override;
    void MoveToPoint(int x, int y) override;
    void DrawPie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) override;
    void DrawRectangle(int x0, int y0, int x1, int y1) override;
    void DrawRoundRectangle(int x0, int y0, int x1, int y1, int cornerWidth, int cornerHeight) override;
    void StretchGraphic(const TRect& r, const TGraphic* graphic) override;
    void WriteText(int x, int y, const std::string& text) override;
    int MeasureTextWidth(const std::string& text) override;
    int MeasureTextHeight(const std::string& text) override;
    void ClipToRectangle(const TRect& r) override;
    void DrawHorizontalLine(int x0, int x1, int y) override;
    void DrawVerticalLine(int x, int y0, int y1) override;
    void EraseRectangle(const TRect& r) override;
    void FillGradient(const TRect& r, TColor start, int balance, TGradientDirection direction, TColor end) override;
    void MarkDirty() override { FDirty = true; }
    void DrawSegment(int x0, int y0, int x1, int y1) override;
    void DrawPolyline(const TPoint* points, int lastIndex) override;
    void DrawPolygon(const TPoint* points, int lastIndex) override;
    void WriteRotatedText(int x, int y, int angle, const std::string& text) override;
    void RemoveClipping() override;
    void ClipToEllipse(const TRect& r) override;
    void ClipToRoundRectangle(const TRect& r, int cornerSize) override;
    void ClipToPolygon(const TPoint* points, int count) override;

    TColor GetPixelColor3D(int x, int y, int z) override;
    bool IsHardware3D() override { return false; }
    bool SupportsRotatedText3D() override { return false; }
    void SetPixelColor3D(int x, int y, TColor color, int z) override;
    void ScreenToWorld(int& x, int& y, int z) override;
    TPoint WorldToScreen(int x, int y, int z) override;
    TRect BeginDrawing(TCanvas* canvas, TView3DOptions* options, const TRect& bounds, bool threeD,
                       TColor background) override;
    void CopySettings(TCanvas3D& other) override;
    void SetProjectionCenter(int depth, const TRect& r) override;
    void PresentBuffer(TCanvas* target, TCanvas* next, const TPoint& topLeft) override;
    bool RepaintFromBuffer() override;
    void DrawArrow(bool filled, const TPoint& from, const TPoint& to, int headWidth, int headLength, int z) override;
    void ClipToCube(const TRect& r, int z0, int z1) override;
    void DrawCone(bool vertical, int left, int top, int right, int bottom, int z0, int z1, bool darkSides,
                  int conePercent) override;
    void DrawBox(int left, int right, int top, int bottom, int z0, int z1, bool darkSides) override;
    void DrawCylinder(bool vertical, int left, int top, int right, int bottom, int z0, int z1, bool darkSides) override;
    void DrawHorizontalLine3D(int x0, int x1, int y, int z) override;
    void DrawVerticalLine3D(int x, int y0, int y1, int z) override;
    void DrawDepthLine(int x, int y, int z0, int z1) override;
    void DrawEllipse3D(int x1, int y1, int x2, int y2, int z) override;
    void BeginFrontPlane() override;
    void EndFrontPlane() override;
    void DrawLineAtDepth(int x0, int y0, int x1, int y1, int z) override;
    void MoveToPoint3D(int x, int y, int z) override;
    void LineToPoint3D(int x, int y, int z) override;
    void DrawPie3D(int cx, int cy, int rx, int ry, double startAngle, double endAngle, int z0, int z1, int holePercent,
                   bool drawEnds, bool darkSides) override;
    void DrawPlaneBetween(const TPoint& p, const TPoint& q, int z0, int z1) override;
    void DrawPlaneAtDepth(const TFourPoints& points, int z) override;
    void DrawQuadBetweenDepths(const TFourPoints& points, int z0, int z1) override;
    void DrawPolygonAtDepth(const TPoint* points, int lastIndex, int z) override;
    void DrawPolylineAtDepth(const TPoint* points, int lastIndex, int z) override;
    void DrawPyramid(bool vertical, int left, int top, int right, int bottom, int z0, int z1, bool darkSides) override;
    void DrawPyramidTrunc(const TRect& r, int z0, int truncX, int truncY, int z1) override;
    void DrawRectangleAtDepth(const TRect& r, int z) override;
    void DrawHorizontalPlane(int left, int y, int right, int z0, int z1) override;
    void DrawSidePlane(int x, int top, int bottom, int z0, int z1) override;
    void WriteRotatedText3D(int x, int y, int angle, const std::string& text, int z) override;
    void DrawSphere(int x, int y, int z, double radius) override;
    void WriteText3D(int x, int y, const std::string& text, int z) override;
    void DrawTriangle3D(const TPoint3D& p0, const TPoint3D& p1, const TPoint3D& p2, TColor color) override;
    void DrawTriangleAtDepth(const TPoint& p0, const TPoint& p1, const TPoint& p2, int z) override;

    using TCanvas3D::DrawBox;
    using TCanvas3D::DrawEllipse3D;
    using TCanvas3D::DrawLineAtDepth;
    using TCanvas3D::WorldToScreen;
    using TPlotCanvas::DrawEllipse;
    using TPlotCanvas::DrawPolygon;
    using TPlotCanvas::DrawPolyline;
    using TPlotCanvas::DrawRectangle;
    using TPlotCanvas::DrawRoundRectangle;
    using TPlotCanvas::DrawSegment;
    using TPlotCanvas::LineToPoint;
    using TPlotCanvas::MoveToPoint;

    // Polygon of the four-point buffer.
    virtual void DrawFourPoints();
    // Frees the off-screen bitmap.
    virtual void FreeBuffer();
    // Copies the whole bitmap to the target at (x, y).
    virtual void CopyBuffer(int x, int y, TCanvas& target);

    TFourPoints& FourPoints() { return FFourPoints; }
    bool Dirty() const { return FDirty; }
    bool ThreeDActive() const { return FThreeDActive; }
    bool ZoomText() const { return FZoomText; }
    void SetZoomText(bool value) { FZoomText = value; }
    double ZoomScale() const { return FZoomScale; }
    const TBitmap* Bitmap() const { return FBitmap.get(); }
    const TRect& Bounds() const { return FBounds; }

    int CenterX = 0;
    int CenterY = 0;
    int CenterZ = 0;
    int ScreenCenterX = 0;
    int ScreenCenterY = 0;
    double OrthoSlopeX = 1.0;
    double OrthoSlopeY = 1.0;
    bool IsPerspective = false;
    double PerspectiveScale = 0.0;
    // Projection coefficients of the rotated view.
    double CoefA = 0.0, CoefB = 1.0, CoefC = 1.0, CoefD = 0.0, CoefF = 0.0, CoefG = 0.0;
    double CoefP1 = 0.0, CoefP2 = 0.0, SinElevation = 0.0;

private:
    void CalcRotation();
    void WriteTextScaled(int x, int y, const std::string& text, bool rotated, int angle);
    void PushClip();
    // The points projected at depth z.
    std::vector<TPoint> ProjectAtDepth(const TPoint* points, int lastIndex, int z);

    bool FThreeDActive = false;
    bool FSavedThreeD = false;
    bool FZoomText = true;
    bool FBuffered = true;
    bool FMonochrome = false;
    bool FDirty = true;
    double FZoomScale = 1.0;
    std::unique_ptr<TBitmap> FBitmap;
    TRect FBounds;
    TFourPoints FFourPoints{};
};

// ---------------------------------------------------------------------------
// Makes what was drawn over a rectangle partly transparent: the content before the drawing
// is captured at creation and mixed back in at the end.
class TPlotBlend {
public:
    TPlotBlend(TPlotCanvas& canvas, const TRect& r);
    ~TPlotBlend();
    TPlotBlend(const TPlotBlend&) = delete;
    TPlotBlend& operator=(const TPlotBlend&) = delete;

    bool Valid() const { return FValid; }
    const TRect& BlendRect() const { return FRect; }
    // p = 0 keeps the new drawing, p = 100 restores what was there before.
    void SetPercent(int percent);

private:
    TPlotCanvas& FCanvas;
    TRect FRect;
    bool FValid = false;
    int FSavedAlign = 0;
    std::unique_ptr<TBitmap> FSaved;
};
