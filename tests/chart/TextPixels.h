#pragma once
// Finding the pixels of one text (or shape) in a chart's picture without knowing how
// the chart lays it out: the chart is painted again with only that text's colour
// changed, and the pixels that differ are its letters. A colour change moves nothing,
// so both pictures have the same layout. The chart tests share these helpers.

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <memory>
#include <vector>

#include "Chart.h"
#include "ChartControl.h"
#include "Graphics.h"

namespace textpixels {

// A set of pixels of a picture, kept as their sorted indices (y * width + x): the
// pixels of one text are few, and sets of them meet and join quickly so.
struct Mask {
    int width = 0, height = 0;
    std::vector<int> pixels;

    Mask() = default;
    Mask(int w, int h) : width(w), height(h) {}
    int X(int pixel) const { return pixel % width; }
    int Y(int pixel) const { return pixel / width; }
    bool Empty() const { return pixels.empty(); }
    int Count() const { return static_cast<int>(pixels.size()); }
    bool At(int x, int y) const {
        return x >= 0 && y >= 0 && x < width && y < height &&
               std::binary_search(pixels.begin(), pixels.end(), y * width + x);
    }
    Mask& operator|=(const Mask& other) {
        if (width == 0) width = other.width, height = other.height;
        std::vector<int> joined;
        std::set_union(pixels.begin(), pixels.end(), other.pixels.begin(), other.pixels.end(),
                       std::back_inserter(joined));
        pixels = std::move(joined);
        return *this;
    }
    Mask operator&(const Mask& other) const {
        Mask out(width, height);
        std::set_intersection(pixels.begin(), pixels.end(), other.pixels.begin(), other.pixels.end(),
                              std::back_inserter(out.pixels));
        return out;
    }
    // The box around the pixels (empty: minX > maxX).
    struct Box {
        int minX = INT_MAX, maxX = INT_MIN, minY = INT_MAX, maxY = INT_MIN;
    };
    Box Bounds() const {
        Box b;
        for (int p : pixels) {
            b.minX = std::min(b.minX, X(p)), b.maxX = std::max(b.maxX, X(p));
            b.minY = std::min(b.minY, Y(p)), b.maxY = std::max(b.maxY, Y(p));
        }
        return b;
    }
    // Whether the boxes around two masks meet: two texts of which one stands in the
    // other's lines, or a box and what its letters might hide.
    bool BoxesMeet(const Mask& o) const {
        if (Empty() || o.Empty()) return false;
        const Box a = Bounds(), b = o.Bounds();
        return a.minX <= b.maxX && b.minX <= a.maxX && a.minY <= b.maxY && b.minY <= a.maxY;
    }
    // The mask grown by one pixel in the eight directions.
    Mask Grown() const {
        Mask out(width, height);
        for (int p : pixels)
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int x = X(p) + dx, y = Y(p) + dy;
                    if (x >= 0 && y >= 0 && x < width && y < height) out.pixels.push_back(y * width + x);
                }
        std::sort(out.pixels.begin(), out.pixels.end());
        out.pixels.erase(std::unique(out.pixels.begin(), out.pixels.end()), out.pixels.end());
        return out;
    }
};

// Pixels of a and b (pictures of one size) whose channels differ by at least
// threshold in one of them, for each of the thresholds in one pass. With a colour
// swapped for one far from it in every channel (Contrast), a threshold of t keeps
// the pixels a text covers by more than t / 255 of what lies over it.
inline std::vector<Mask> Differing(const TBitmap& a, const TBitmap& b, const std::vector<int>& thresholds) {
    const int w = a.Width(), h = a.Height();
    std::vector<Mask> out(thresholds.size(), Mask(w, h));
    for (int y = 0; y < h; ++y) {
        const std::uint32_t* p = a.ScanLine(y);
        const std::uint32_t* q = b.ScanLine(y);
        for (int x = 0; x < w; ++x) {
            if (p[x] == q[x]) continue;
            int most = 0;
            for (int shift = 0; shift < 24; shift += 8)
                most = std::max(most, std::abs(static_cast<int>((p[x] >> shift) & 0xFF) -
                                               static_cast<int>((q[x] >> shift) & 0xFF)));
            for (std::size_t i = 0; i < thresholds.size(); ++i)
                if (most >= thresholds[i]) out[i].pixels.push_back(y * w + x);
        }
    }
    return out;
}

inline Mask Differing(const TBitmap& a, const TBitmap& b, int threshold) {
    return std::move(Differing(a, b, std::vector<int>{threshold})[0]);
}

// A colour each channel of which lies at the far end from c's: a text in it differs
// from the same text in c by the full range wherever it covers a pixel wholly.
inline TColor Contrast(TColor c) {
    const TColor rgb = ColorToRGB(c);
    TColor out = 0;
    for (int shift = 0; shift < 24; shift += 8)
        if (((rgb >> shift) & 0xFF) < 128) out |= static_cast<TColor>(0xFF) << shift;
    return out;
}

// The pixels of a w x h picture of the chart that differ when recolour(true) has
// changed some colours; recolour(false) puts them back.
inline Mask Changed(TChart& chart, int w, int h, const std::function<void(bool)>& recolour) {
    recolour(false);
    const std::unique_ptr<TBitmap> a = RenderToBitmap(chart, w, h);
    recolour(true);
    const std::unique_ptr<TBitmap> b = RenderToBitmap(chart, w, h);
    recolour(false);
    return Differing(*a, *b, 1);
}

// The letters of the texts written in font.
inline Mask Letters(TChart& chart, int w, int h, TPlotFont& font) {
    const TColor normal = font.Color();
    return Changed(chart, w, h, [&font, normal](bool on) { font.SetColor(on ? Contrast(normal) : normal); });
}

}  // namespace textpixels
