#include "Series3D.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "ChartUtils.h"
#include "Solids.h"

namespace Series3D {

namespace {

// The pointer's gradient, ending in the point's colour, over the screen polygon.
void GradientOver(TCanvas3D& canvas, TSeriesPointer& pointer, TColor color, const std::vector<TPoint>& outline) {
    if (!pointer.Gradient().Visible()) return;
    TPlotGradient gradient;
    pointer.PointGradient(color, gradient);
    Solid::GradientOverOutline(canvas, gradient, outline);
}

std::vector<TPoint> Projected(TCanvas3D& canvas, std::initializer_list<TPoint> points, int z) {
    std::vector<TPoint> out;
    out.reserve(points.size());
    for (const TPoint& p : points) out.push_back(canvas.WorldToScreen(p.x, p.y, z));
    return out;
}

// A triangle marker: a pyramid through the slot, or a flat triangle at its front.
void Triangle(TCanvas3D& canvas, TSeriesPointer& pointer, TColor color, TSeriesPointerStyle style, int x, int y, int l,
              int t, int r, int b, const TSlot& slot) {
    const int z = slot.startZ;
    const std::vector<TPoint> flat = style == psDownTriangle    ? Projected(canvas, {{l, t}, {r, t}, {x, b}}, z)
                                     : style == psLeftTriangle  ? Projected(canvas, {{l, y}, {r, b}, {r, t}}, z)
                                     : style == psRightTriangle ? Projected(canvas, {{r, y}, {l, b}, {l, t}}, z)
                                                                : Projected(canvas, {{l, b}, {r, b}, {x, t}}, z);
    const bool upright = style == psTriangle || style == psDownTriangle;
    if (pointer.Draw3D()) {
        const bool dark = pointer.Dark3D();
        if (style == psTriangle) canvas.DrawPyramid(true, l, t, r, b, z, slot.endZ, dark);
        if (style == psDownTriangle) canvas.DrawPyramid(true, l, b, r, t, z, slot.endZ, dark);
        if (style == psLeftTriangle) canvas.DrawPyramid(false, r, t, l, b, z, slot.endZ, dark);
        if (style == psRightTriangle) canvas.DrawPyramid(false, l, t, r, b, z, slot.endZ, dark);
    } else {
        canvas.DrawPolygon(flat);
    }
    // Upright pyramids keep their shading; the sideways ones take the gradient on their front.
    if (!(upright && pointer.Draw3D())) GradientOver(canvas, pointer, color, flat);
}

}  // namespace

void DrawPointer(TCanvas3D& canvas, TSeriesPointer& pointer, int x, int y, int h, int v, TColor color,
                 TSeriesPointerStyle style, const TSlot& slot) {
    const int l = x - h, r = x + h, t = y - v, b = y + v;
    const int z = slot.startZ;
    switch (style) {
    case psRectangle:
        if (pointer.Draw3D())
            canvas.DrawBox(l, r, t, b, z, slot.endZ, pointer.Dark3D());
        else
            canvas.DrawRectangleAtDepth(TRect{l, t, r, b}, z);
        if (pointer.Gradient().Visible())
            GradientOver(canvas, pointer, color, Projected(canvas, {{l, t}, {r, t}, {r, b}, {l, b}}, z));
        break;
    case psCircle:
        canvas.DrawEllipse3D(l, t, r, b, z);
        if (pointer.Gradient().Visible()) {
            TPlotGradient gradient;
            pointer.PointGradient(color, gradient);
            const TRect box = canvas.RectBoundsAtDepth(TRect{l, t, r, b}, z);
            canvas.ClipToEllipse(box);
            gradient.Draw(canvas, box);
            canvas.RemoveClipping();
        }
        break;
    case psTriangle:
    case psDownTriangle:
    case psLeftTriangle:
    case psRightTriangle:
        Triangle(canvas, pointer, color, style, x, y, l, t, r, b, slot);
        break;
    case psCross:
    case psDiagCross:
    case psStar:
        if (style != psDiagCross) {
            canvas.DrawLineAtDepth(x, t, x, b + 1, z);
            canvas.DrawLineAtDepth(l, y, r + 1, y, z);
        }
        if (style != psCross) {
            canvas.DrawLineAtDepth(l, t, r + 1, b + 1, z);
            canvas.DrawLineAtDepth(r, t, l - 1, b + 1, z);
        }
        break;
    case psDiamond: {
        const std::vector<TPoint> p = Projected(canvas, {{l, y}, {x, t}, {r, y}, {x, b}}, z);
        canvas.DrawPolygon(p);
        GradientOver(canvas, pointer, color, p);
        break;
    }
    case psSmallDot: {
        TCanvas* device = canvas.GetDeviceHandle();
        const TPoint p = canvas.WorldToScreen(x, y, slot.MiddleZ());
        canvas.SetPixelColor(p.x, p.y, device ? device->Brush().Color() : color);
        break;
    }
    case psNothing:
        break;
    }
}

double DarkSlope(int seriesHeight3D, int seriesDepth3D) {
    if (seriesDepth3D == 0) return 1.0;
    return std::abs(static_cast<double>(seriesHeight3D) / seriesDepth3D);
}

namespace {

// A band rises more steeply than the depth direction when, read from left to right, it
// climbs by more than darkSlope per pixel; a vertical band always counts as steep.
bool ShowsUnderside(const TPoint& a, const TPoint& b, double darkSlope) {
    if (darkSlope <= 0 || a.y == b.y) return false;
    const TPoint& lo = a.x <= b.x ? a : b;
    const TPoint& hi = a.x <= b.x ? b : a;
    if (lo.x == hi.x) return true;
    return hi.y<lo.y&& static_cast<double>(lo.y - hi.y) / (hi.x - lo.x)> darkSlope;
}

}  // namespace

void DrawBand(TCanvas3D& canvas, const TPoint& a, const TPoint& b, const TSlot& slot, int lineHeight, double darkSlope,
              TColor color) {
    TCanvas* device = canvas.GetDeviceHandle();
    if (!device) return;
    const int height = std::max(0, lineHeight);
    if (ShowsUnderside(a, b, darkSlope)) {
        canvas.DarkenBrush(color, 64);
        canvas.DrawPlaneBetween(TPoint{a.x, a.y + height}, TPoint{b.x, b.y + height}, slot.startZ, slot.endZ);
        if (device->Brush().Style() == bsSolid)
            device->Brush().SetColor(color);
        else
            device->SetBackgroundColor(color);
    } else {
        canvas.DrawPlaneBetween(a, b, slot.startZ, slot.endZ);
    }
    if (height > 0) {
        const TFourPoints front{a, b, TPoint{b.x, b.y + height}, TPoint{a.x, a.y + height}};
        canvas.DrawPlaneAtDepth(front, slot.startZ);
    }
}

bool BandContains(TCanvas3D& canvas, const TPoint& a, const TPoint& b, const TSlot& slot, const TPoint& pixel) {
    const TPoint q[4] = {canvas.WorldToScreen(a.x, a.y, slot.startZ), canvas.WorldToScreen(b.x, b.y, slot.startZ),
                         canvas.WorldToScreen(b.x, b.y, slot.endZ), canvas.WorldToScreen(a.x, a.y, slot.endZ)};
    // Inside the convex quadrilateral: on the same side of every edge.
    int sign = 0;
    bool inside = true;
    for (int i = 0; i < 4 && inside; ++i) {
        const TPoint& p = q[i];
        const TPoint& n = q[(i + 1) % 4];
        const double c = (static_cast<double>(n.x) - p.x) * (static_cast<double>(pixel.y) - p.y) -
                         (static_cast<double>(n.y) - p.y) * (static_cast<double>(pixel.x) - p.x);
        if (c == 0) continue;
        const int s = c > 0 ? 1 : -1;
        if (sign == 0)
            sign = s;
        else
            inside = s == sign;
    }
    if (inside && sign != 0) return true;
    // A band seen edge-on (or a thin one) is hit within a pixel of its outline.
    for (int i = 0; i < 4; ++i)
        if (SegmentDistance(pixel, q[i], q[(i + 1) % 4]) <= 1.0) return true;
    return false;
}

}  // namespace Series3D
