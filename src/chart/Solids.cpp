#include "Solids.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// Doubles to pixels: nearest; values beyond any device saturate at
// +-2^28 (NaN gives 0), which leaves room for the offsets added after.
int roundInt(double v) {
    if (!(v == v)) return 0;
    constexpr double limit = 1 << 28;
    return static_cast<int>(std::clamp(std::nearbyint(v), -limit, limit));
}

// Twice the signed screen area of a polygon. A face whose corners, seen from outside,
// run counter-clockwise on the screen (y down) has a negative area: it faces the viewer.
// For the first three corners of a face this is the canvas' cull test; summing over all
// corners keeps a face with two equal first corners (a cone's apex) from being judged
// by chance.
// Summed in doubles: exact for any screen, and no overflow for far-off corners.
double TwiceArea(const TPoint* p, int n) {
    double s = 0;
    for (int i = 0; i < n; ++i) {
        const TPoint& a = p[i];
        const TPoint& b = p[(i + 1) % n];
        s += static_cast<double>(a.x) * b.y - static_cast<double>(b.x) * a.y;
    }
    return s;
}

// The colour a solid starts with, and the darker shades of its other faces. The device
// brush (or, for a hatched brush, the background) gets its colour back at the end, so that
// the caller finds the canvas as it left it.
class TShade {
public:
    TShade(TCanvas3D& canvas, bool dark) : FCanvas(canvas), FDevice(canvas.GetDeviceHandle()), FDark(dark) {
        if (!FDevice) return;
        FSolid = FDevice->Brush().Style() == bsSolid;
        FBase = FSolid ? FDevice->Brush().Color() : FDevice->BackgroundColor();
    }
    ~TShade() { Plain(); }
    TShade(const TShade&) = delete;
    TShade& operator=(const TShade&) = delete;

    void Plain() {
        if (!FDevice || FCurrent == 0) return;
        if (FSolid)
            FDevice->Brush().SetColor(FBase);
        else
            FDevice->SetBackgroundColor(FBase);
        FCurrent = 0;
    }
    void Dark(int quantity) {
        if (!FDark || !FDevice) return;
        if (quantity <= 0) {
            Plain();
        } else if (quantity != FCurrent) {
            FCanvas.DarkenBrush(FBase, quantity);
            FCurrent = quantity;
        }
    }

private:
    TCanvas3D& FCanvas;
    TCanvas* FDevice;
    bool FDark;
    bool FSolid = true;
    TColor FBase = clWhite;
    int FCurrent = 0;
};

// Draws the face when it faces the viewer; reports whether it did.
bool Face(TCanvas3D& canvas, const TPoint* p, int n, bool flip) {
    const double area = TwiceArea(p, n);
    if (area == 0 || (area > 0) != flip) return false;
    canvas.DrawPolygon(p, n - 1);
    return true;
}

struct TCorner {
    int x, y, z;
};

template <int N>
bool Face(TCanvas3D& canvas, const TCorner (&c)[N], bool flip = false) {
    TPoint p[N];
    for (int i = 0; i < N; ++i) p[i] = canvas.WorldToScreen(c[i].x, c[i].y, c[i].z);
    return Face(canvas, p, N, flip);
}

constexpr int ConeSides = 16;

}  // namespace

namespace Solid {

void Box(TCanvas3D& canvas, int left, int right, int top, int bottom, int z0, int z1, bool darkSides) {
    if (!canvas.GetDeviceHandle()) return;
    const int l = std::min(left, right), r = std::max(left, right);
    const int t = std::min(top, bottom), b = std::max(top, bottom);
    const int n = std::min(z0, z1), f = std::max(z0, z1);
    TShade shade(canvas, darkSides);
    if (!Face(canvas, {TCorner{l, b, n}, {r, b, n}, {r, t, n}, {l, t, n}}))
        Face(canvas, {TCorner{l, t, f}, {r, t, f}, {r, b, f}, {l, b, f}});
    shade.Dark(128);
    if (!Face(canvas, {TCorner{l, t, n}, {l, t, f}, {l, b, f}, {l, b, n}}))
        Face(canvas, {TCorner{r, b, n}, {r, b, f}, {r, t, f}, {r, t, n}});
    shade.Dark(64);
    if (!Face(canvas, {TCorner{l, t, n}, {r, t, n}, {r, t, f}, {l, t, f}}))
        Face(canvas, {TCorner{l, b, n}, {l, b, f}, {r, b, f}, {r, b, n}});
}

void Cone(TCanvas3D& canvas, bool vertical, int left, int top, int right, int bottom, int z0, int z1, bool darkSides,
          int conePercent) {
    if (!canvas.GetDeviceHandle()) return;
    const double k = std::clamp(conePercent, 0, 100) * 0.01;
    const double cz = (z0 + z1) * 0.5, rz = std::abs(z1 - z0) * 0.5;
    // Along the axis: the base end, the far end; across it: centre and radius.
    const int base = vertical ? bottom : left, tip = vertical ? top : right;
    const double c = vertical ? (left + right) * 0.5 : (top + bottom) * 0.5;
    const double rc = vertical ? std::abs(right - left) * 0.5 : std::abs(bottom - top) * 0.5;
    // A body growing against the usual direction is the mirror image: faces turn round.
    const bool flip = vertical ? bottom < top : right < left;
    TPoint baseRing[ConeSides], tipRing[ConeSides];
    for (int i = 0; i < ConeSides; ++i) {
        const double a = i * 2 * std::numbers::pi / ConeSides;
        const double across = rc * std::cos(a), depth = rz * std::sin(a);
        const int b0 = roundInt(c + across), b1 = roundInt(c + k * across);
        const int zb = roundInt(cz + depth), zt = roundInt(cz + k * depth);
        baseRing[i] = vertical ? canvas.WorldToScreen(b0, base, zb) : canvas.WorldToScreen(base, b0, zb);
        tipRing[i] = vertical ? canvas.WorldToScreen(b1, tip, zt) : canvas.WorldToScreen(tip, b1, zt);
    }
    TShade shade(canvas, darkSides);
    // The visible facets darken one step of 16 each, from the plain first to 128.
    int shown = 0;
    for (int i = 0; i < ConeSides; ++i) {
        const int j = (i + 1) % ConeSides;
        const TPoint facet[4] = {baseRing[i], baseRing[j], tipRing[j], tipRing[i]};
        const double area = TwiceArea(facet, 4);
        if (area == 0 || (area > 0) != flip) continue;
        shade.Dark(16 * std::min(shown++, 8));
        canvas.DrawPolygon(facet, 3);
    }
    shade.Dark(64);
    TPoint ring[ConeSides];
    std::reverse_copy(baseRing, baseRing + ConeSides, ring);
    Face(canvas, ring, ConeSides, flip);
    if (k > 0) Face(canvas, tipRing, ConeSides, flip);
}

void Pyramid(TCanvas3D& canvas, bool vertical, int left, int top, int right, int bottom, int z0, int z1,
             bool darkSides) {
    if (!canvas.GetDeviceHandle()) return;
    const int n = std::min(z0, z1), f = std::max(z0, z1);
    const int cz = (n + f) / 2;
    TShade shade(canvas, darkSides);
    if (vertical) {
        const int l = left, r = right, b = bottom;
        const TCorner apex{(l + r) / 2, top, cz};
        const bool flip = (bottom < top) != (right < left);
        Face(canvas, {TCorner{l, b, n}, {r, b, n}, apex}, flip);
        Face(canvas, {TCorner{r, b, f}, {l, b, f}, apex}, flip);
        shade.Dark(128);
        Face(canvas, {TCorner{r, b, n}, {r, b, f}, apex}, flip);
        Face(canvas, {TCorner{l, b, f}, {l, b, n}, apex}, flip);
        shade.Dark(64);
        Face(canvas, {TCorner{l, b, n}, {l, b, f}, {r, b, f}, {r, b, n}}, flip);
        return;
    }
    const int l = left, t = top, b = bottom;
    const TCorner apex{right, (t + b) / 2, cz};
    const bool flip = (right < left) != (bottom < top);
    Face(canvas, {TCorner{l, t, n}, {l, b, n}, apex}, flip);
    Face(canvas, {TCorner{l, b, f}, {l, t, f}, apex}, flip);
    shade.Dark(64);
    Face(canvas, {TCorner{l, t, f}, {l, t, n}, apex}, flip);
    Face(canvas, {TCorner{l, b, n}, {l, b, f}, apex}, flip);
    shade.Dark(128);
    Face(canvas, {TCorner{l, t, n}, {l, t, f}, {l, b, f}, {l, b, n}}, flip);
}

void PyramidTrunc(TCanvas3D& canvas, const TRect& r, int z0, int halfWidth, int halfDepth, int z1) {
    if (!canvas.GetDeviceHandle()) return;
    const int n = std::min(z0, z1), f = std::max(z0, z1);
    const int l = r.Left, rt = r.Right, t = r.Top, b = r.Bottom;
    const int cx = (l + rt) / 2, cz = (n + f) / 2;
    const int tl = cx - std::abs(halfWidth), tr = cx + std::abs(halfWidth);
    const int tn = cz - std::abs(halfDepth), tf = cz + std::abs(halfDepth);
    const bool flip = (b < t) != (rt < l);
    TShade shade(canvas, true);
    Face(canvas, {TCorner{l, b, n}, {rt, b, n}, {tr, t, tn}, {tl, t, tn}}, flip);
    Face(canvas, {TCorner{rt, b, f}, {l, b, f}, {tl, t, tf}, {tr, t, tf}}, flip);
    shade.Dark(128);
    Face(canvas, {TCorner{rt, b, n}, {rt, b, f}, {tr, t, tf}, {tr, t, tn}}, flip);
    Face(canvas, {TCorner{l, b, f}, {l, b, n}, {tl, t, tn}, {tl, t, tf}}, flip);
    shade.Dark(64);
    Face(canvas, {TCorner{l, b, n}, {l, b, f}, {rt, b, f}, {rt, b, n}}, flip);
    Face(canvas, {TCorner{tl, t, tn}, {tr, t, tn}, {tr, t, tf}, {tl, t, tf}}, flip);
}

namespace {

// Points of an arc of the ellipse, angles in radians, y growing downwards.
std::vector<TPoint> ArcPoints(int cx, int cy, double rx, double ry, double a0, double a1, int count) {
    std::vector<TPoint> p(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const double a = a0 + (a1 - a0) * i / (count - 1);
        p[i] = TPoint{cx + roundInt(rx * std::cos(a)), cy - roundInt(ry * std::sin(a))};
    }
    return p;
}

// The curved side along the arc between the depths: facets facing the viewer are joined
// into runs, each drawn as one polygon so that no seams show between them.
void CurvedSide(TCanvas3D& canvas, const std::vector<TPoint>& arc, int z0, int z1, bool inner) {
    const int count = static_cast<int>(arc.size());
    std::vector<TPoint> front, back;
    auto flush = [&] {
        if (front.size() >= 2) {
            std::vector<TPoint> poly(front);
            poly.insert(poly.end(), back.rbegin(), back.rend());
            canvas.DrawPolygon(poly);
        }
        front.clear();
        back.clear();
    };
    for (int i = 0; i + 1 < count; ++i) {
        const TPoint& a = arc[inner ? i : i + 1];
        const TPoint& b = arc[inner ? i + 1 : i];
        const TPoint facet[4] = {canvas.WorldToScreen(a.x, a.y, z0), canvas.WorldToScreen(b.x, b.y, z0),
                                 canvas.WorldToScreen(b.x, b.y, z1), canvas.WorldToScreen(a.x, a.y, z1)};
        if (TwiceArea(facet, 4) >= 0) {
            flush();
            continue;
        }
        const TPoint& s = arc[i];
        const TPoint& e = arc[i + 1];
        if (front.empty()) {
            front.push_back(canvas.WorldToScreen(s.x, s.y, z0));
            back.push_back(canvas.WorldToScreen(s.x, s.y, z1));
        }
        front.push_back(canvas.WorldToScreen(e.x, e.y, z0));
        back.push_back(canvas.WorldToScreen(e.x, e.y, z1));
    }
    flush();
}

}  // namespace

void Pie3D(TCanvas3D& canvas, int cx, int cy, int rx, int ry, double startAngle, double endAngle, int z0, int z1,
           int holePercent, bool drawEnds, bool darkSides) {
    if (!canvas.GetDeviceHandle() || !std::isfinite(startAngle) || !std::isfinite(endAngle)) return;
    if (endAngle < startAngle) std::swap(startAngle, endAngle);
    // More than a full turn draws the full turn once.
    endAngle = std::min(endAngle, startAngle + 2 * std::numbers::pi);
    const int n = std::min(z0, z1), f = std::max(z0, z1);
    const double degrees = (endAngle - startAngle) * 180.0 / std::numbers::pi;
    const int count = std::min(roundInt(degrees / 10.0), 30) + 2;
    const std::vector<TPoint> outer = ArcPoints(cx, cy, rx, ry, startAngle, endAngle, count);
    const double k = std::clamp(holePercent, 0, 100) * 0.01;
    const std::vector<TPoint> inner =
        holePercent > 0 ? ArcPoints(cx, cy, rx * k, ry * k, startAngle, endAngle, count) : std::vector<TPoint>{};
    TShade shade(canvas, darkSides);
    shade.Dark(32);
    if (!inner.empty()) CurvedSide(canvas, inner, n, f, true);
    if (drawEnds) {
        const TPoint is = inner.empty() ? TPoint{cx, cy} : inner.front();
        const TPoint ie = inner.empty() ? TPoint{cx, cy} : inner.back();
        const TPoint& os = outer.front();
        const TPoint& oe = outer.back();
        Face(canvas, {TCorner{is.x, is.y, n}, {is.x, is.y, f}, {os.x, os.y, f}, {os.x, os.y, n}});
        Face(canvas, {TCorner{oe.x, oe.y, n}, {oe.x, oe.y, f}, {ie.x, ie.y, f}, {ie.x, ie.y, n}});
    }
    shade.Plain();
    std::vector<TPoint> front;
    front.reserve(outer.size() + inner.size() + 1);
    for (const TPoint& p : outer) front.push_back(canvas.WorldToScreen(p.x, p.y, n));
    if (inner.empty())
        front.push_back(canvas.WorldToScreen(cx, cy, n));
    else
        for (auto it = inner.rbegin(); it != inner.rend(); ++it) front.push_back(canvas.WorldToScreen(it->x, it->y, n));
    canvas.DrawPolygon(front);
    shade.Dark(32);
    CurvedSide(canvas, outer, n, f, false);
}

std::vector<TPoint> BoxOutline(TCanvas3D& canvas, const TRect& r, int z0, int z1) {
    std::vector<TPoint> p;
    for (int z : {z0, z1})
        for (int y : {r.Top, r.Bottom})
            for (int x : {r.Left, r.Right}) p.push_back(canvas.WorldToScreen(x, y, z));
    std::sort(p.begin(), p.end(), [](const TPoint& a, const TPoint& b) { return a.x != b.x ? a.x < b.x : a.y < b.y; });
    p.erase(std::unique(p.begin(), p.end()), p.end());
    if (p.size() < 3) return p;
    // Andrew's monotone chain: lower hull, then upper hull.
    auto cross = [](const TPoint& o, const TPoint& a, const TPoint& b) {
        return (static_cast<double>(a.x) - o.x) * (static_cast<double>(b.y) - o.y) -
               (static_cast<double>(a.y) - o.y) * (static_cast<double>(b.x) - o.x);
    };
    std::vector<TPoint> hull(2 * p.size());
    std::size_t k = 0;
    for (const TPoint& q : p) {
        while (k >= 2 && cross(hull[k - 2], hull[k - 1], q) <= 0) --k;
        hull[k++] = q;
    }
    for (std::size_t i = p.size() - 1, lower = k + 1; i-- > 0;) {
        while (k >= lower && cross(hull[k - 2], hull[k - 1], p[i]) <= 0) --k;
        hull[k++] = p[i];
    }
    hull.resize(k - 1);
    return hull;
}

void GradientOverOutline(TCanvas3D& canvas, const TCustomPlotGradient& gradient, const std::vector<TPoint>& outline) {
    if (outline.size() < 3) return;
    const int count = static_cast<int>(outline.size());
    const TRect bounds = PointsBoundingRect(outline.data(), count);
    canvas.ClipToPolygon(outline.data(), count);
    gradient.Draw(canvas, bounds);
    canvas.RemoveClipping();
}

}  // namespace Solid
