// Bitmaps, clip regions and the canvas on Qt's raster engine. Lines and shapes are
// drawn without antialiasing, so that XOR drawing undoes itself and pixel results
// are exact; text glyphs are smoothed, which reads far better and stays the same
// from run to run with one font version.

#include <QtGui/QFont>
#include <QtGui/QFontMetrics>
#include <QtGui/QGuiApplication>
#include <QtGui/QImage>
#include <QtGui/QPainter>
#include <QtGui/QPainterPath>
#include <QtGui/QPainterPathStroker>
#include <QtGui/QRegion>
#include <QtCore/QLocale>
#include <QtGui/QFontDatabase>
#include <QtGui/QScreen>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <optional>
#include <type_traits>
#include <unordered_map>

#include "Graphics.h"
#include "GuiApplication.h"
#include "QtSupport.h"

namespace {

QColor toQColor(TColor c) {
    const TColor rgb = ColorToRGB(c);
    return QColor(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
}

TColor fromQRgb(QRgb p) { return RGB(qRed(p), qGreen(p), qBlue(p)); }

QRgb toQRgb(TColor c) {
    const TColor rgb = ColorToRGB(c);
    return qRgb(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
}

// The raster engine works in fixed point; coordinates beyond +-2^22 are pulled in (a device
// space far larger than any bitmap) so that no size overflows.
constexpr int CoordLimit = 1 << 22;

int clampCoord(int v) { return std::clamp(v, -CoordLimit, CoordLimit); }

QRect normalized(int l, int t, int r, int b) {
    l = clampCoord(l);
    t = clampCoord(t);
    r = clampCoord(r);
    b = clampCoord(b);
    if (l > r) std::swap(l, r);
    if (t > b) std::swap(t, b);
    return QRect(l, t, r - l, b - t);
}

// Whether the region holds every pixel of the box. A region's rectangles come in bands from
// top to bottom, each band's left to right, so one walk down from the box's top settles it.
bool RegionHolds(const QRegion& region, const QRect& box) {
    int y = box.top();
    // the bands above the box are passed over by halving: a slanted clip has one per row
    const QRect* it =
        std::partition_point(region.begin(), region.end(), [&](const QRect& r) { return r.bottom() < y; });
    for (; it != region.end(); ++it) {
        const QRect& r = *it;
        if (r.bottom() < y) continue;
        if (r.top() > y) return false;
        if (r.left() <= box.left() && r.right() >= box.right()) {
            y = r.bottom() + 1;
            if (y > box.bottom()) return true;
        }
    }
    return false;
}

// The bounding box of 3 to 8 corners that turn one way only and span at most 64 pixels;
// false for any other polygon.
bool SmallConvexBox(const TPoint* p, int n, QRect& box) {
    if (n < 3 || n > 8) return false;
    int minX = p[0].x, maxX = p[0].x, minY = p[0].y, maxY = p[0].y;
    int turn = 0;
    for (int i = 0; i < n; ++i) {
        const TPoint& a = p[i];
        const TPoint& b = p[(i + 1) % n];
        const TPoint& c = p[(i + 2) % n];
        minX = std::min(minX, a.x), maxX = std::max(maxX, a.x);
        minY = std::min(minY, a.y), maxY = std::max(maxY, a.y);
        const long long cross =
            static_cast<long long>(b.x - a.x) * (c.y - b.y) - static_cast<long long>(b.y - a.y) * (c.x - b.x);
        if (cross == 0) continue;
        const int s = cross > 0 ? 1 : -1;
        if (turn != 0 && s != turn) return false;
        turn = s;
    }
    if (maxX - minX > 64 || maxY - minY > 64) return false;
    box = QRect(minX, minY, maxX - minX + 1, maxY - minY + 1);
    return true;
}

bool farOut(const TPoint& p) { return p.x < -CoordLimit || p.x > CoordLimit || p.y < -CoordLimit || p.y > CoordLimit; }

QPolygon toQPolygon(const TPoint* points, int count) {
    QPolygon poly(std::max(0, count));
    for (int i = 0; i < count; ++i) poly.setPoint(i, points[i].x, points[i].y);
    return poly;
}

// Clips a polygon to a rectangle (Sutherland-Hodgman), so that far-away vertices keep the
// visible part exact.
QPolygonF clipPolygon(const QPolygonF& in, const QRectF& box) {
    QPolygonF poly = in;
    for (int edge = 0; edge < 4 && !poly.isEmpty(); ++edge) {
        auto inside = [&](const QPointF& p) {
            switch (edge) {
            case 0:
                return p.x() >= box.left();
            case 1:
                return p.x() <= box.right();
            case 2:
                return p.y() >= box.top();
            default:
                return p.y() <= box.bottom();
            }
        };
        auto cross = [&](const QPointF& a, const QPointF& b) {
            double t;
            switch (edge) {
            case 0:
                t = (box.left() - a.x()) / (b.x() - a.x());
                break;
            case 1:
                t = (box.right() - a.x()) / (b.x() - a.x());
                break;
            case 2:
                t = (box.top() - a.y()) / (b.y() - a.y());
                break;
            default:
                t = (box.bottom() - a.y()) / (b.y() - a.y());
                break;
            }
            return a + (b - a) * t;
        };
        QPolygonF out;
        for (int i = 0; i < poly.size(); ++i) {
            const QPointF& cur = poly[i];
            const QPointF& prev = poly[(i + poly.size() - 1) % poly.size()];
            if (inside(cur)) {
                if (!inside(prev)) out << cross(prev, cur);
                out << cur;
            } else if (inside(prev)) {
                out << cross(prev, cur);
            }
        }
        poly = out;
    }
    return poly;
}

// Clips a segment to a rectangle (Liang-Barsky); false when nothing is left.
bool clipSegment(QPointF& a, QPointF& b, const QRectF& box) {
    double t0 = 0.0, t1 = 1.0;
    const double dx = b.x() - a.x(), dy = b.y() - a.y();
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.x() - box.left(), box.right() - a.x(), a.y() - box.top(), box.bottom() - a.y()};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0) return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0.0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1) return false;
    }
    const QPointF a0 = a;
    a = a0 + QPointF(dx, dy) * t0;
    b = a0 + QPointF(dx, dy) * t1;
    return true;
}

}  // namespace

// ---------------------------------------------------------------------------
void EnsureGuiApplication() { EnsureApplication<QGuiApplication>(); }

// ---------------------------------------------------------------------------
struct TBitmap::Impl {
    QImage image;
    // The canvas whose painter is active on the image; only one may paint at a time.
    TCanvas::Impl* painterOwner = nullptr;
    std::unique_ptr<TCanvas> canvas;
    void releasePainter();
};

struct TRegion::Impl {
    QRegion region;
};

struct TCanvas::Impl {
    TCanvas& owner;
    TBitmap::Impl& bmp;
    QPainter painter;
    std::optional<QRegion> clip;
    bool inPath = false;
    QPainterPath path;
    bool pathReady = false;

    // Font cache: rebuilt when the font description changes.
    QFont qfont;
    struct FontKey {
        std::string name;
        int height = 0;
        TFontStyles style = 0;
        int charExtra = 0;
    };
    // compared field by field: every text measured or written asks for the font
    std::optional<FontKey> fontKey;

    Impl(TCanvas& o, TBitmap::Impl& b) : owner(o), bmp(b) {}

    void end() {
        if (painter.isActive()) {
            painter.end();
        }
        if (bmp.painterOwner == this) {
            bmp.painterOwner = nullptr;
        }
    }

    // Begins painting on demand; false for an empty bitmap.
    bool begin() {
        if (bmp.painterOwner == this && painter.isActive()) {
            return true;
        }
        if (bmp.image.isNull() || bmp.image.width() <= 0 || bmp.image.height() <= 0) {
            return false;
        }
        bmp.releasePainter();
        if (!painter.begin(&bmp.image)) {
            return false;
        }
        bmp.painterOwner = this;
        applied.reset();
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setRenderHint(QPainter::TextAntialiasing, false);
        applyClip();
        return true;
    }

    void applyClip() {
        clipBox.reset();
        if (clip && clip->rectCount() == 1) clipBox = clip->boundingRect();
        if (!painter.isActive()) {
            return;
        }
        // A region set over a clip that was switched off can stay switched off in the
        // paint engine while the painter reports clipping on, so switching it on is a
        // no-op: the gradient of an outlined text then filled its whole box once any
        // clip had come and gone. Toggling makes the engine take the state again.
        // Switching off, rather than dropping the clip, keeps the engine's clipping to
        // the device for coordinates far outside it.
        if (clip) {
            painter.setClipRegion(*clip, Qt::ReplaceClip);
            painter.setClipping(false);
            painter.setClipping(true);
        } else {
            painter.setClipping(false);
        }
    }

    QPainter::CompositionMode mode() const {
        switch (owner.FPen.Mode()) {
        case pmXor:
            return QPainter::RasterOp_SourceXorDestination;
        case pmNotXor:
            return QPainter::RasterOp_NotSourceXorDestination;
        case pmNot:
            return QPainter::RasterOp_NotDestination;
        default:
            return QPainter::CompositionMode_SourceOver;
        }
    }

    QPen qpen() const {
        const TPen& p = owner.FPen;
        if (p.Style() == psClear) {
            return QPen(Qt::NoPen);
        }
        const int width = std::max(1, p.Width());
        QPen pen(penColor());
        pen.setWidth(width);
        if (width == 1) {
            pen.setCosmetic(true);
            // A flat cap leaves out the end pixel of one-pixel lines.
            pen.setCapStyle(Qt::FlatCap);
            pen.setJoinStyle(Qt::MiterJoin);
        } else {
            switch (p.Cap()) {
            case pcRound:
                pen.setCapStyle(Qt::RoundCap);
                pen.setJoinStyle(Qt::RoundJoin);
                break;
            case pcSquare:
                pen.setCapStyle(Qt::SquareCap);
                pen.setJoinStyle(Qt::BevelJoin);
                break;
            case pcFlat:
                pen.setCapStyle(Qt::FlatCap);
                pen.setJoinStyle(Qt::MiterJoin);
                break;
            }
        }
        const std::vector<int>& pattern = dashPattern(p.Style());
        if (!pattern.empty()) pen.setDashPattern(QList<qreal>(pattern.begin(), pattern.end()));
        return pen;
    }

    // The pen's colour as drawn: the black and white modes override it.
    QColor penColor() const {
        const TPen& p = owner.FPen;
        if (p.Mode() == pmBlack) return Qt::black;
        if (p.Mode() == pmWhite) return Qt::white;
        return toQColor(p.Color());
    }

    // Dash and gap lengths of each pen style, in pen widths; empty for solid
    // lines. Thin and wide pens draw the same pattern.
    static const std::vector<int>& dashPattern(TPenStyle style) {
        static const std::vector<int> none;
        static const std::vector<int> dash{18, 6};
        static const std::vector<int> dot{3, 3};
        static const std::vector<int> dashDot{9, 6, 3, 6};
        static const std::vector<int> dashDotDot{9, 3, 3, 3, 3, 3};
        static const std::vector<int> alternate{1, 1};
        switch (style) {
        case psDash:
            return dash;
        case psDot:
            return dot;
        case psDashDot:
            return dashDot;
        case psDashDotDot:
            return dashDotDot;
        case psAlternate:
            return alternate;
        default:
            return none;
        }
    }

    QBrush qbrush() const {
        const TBrush& b = owner.FBrush;
        if (b.Bitmap() && !b.Bitmap()->Empty()) {
            return QBrush(b.Bitmap()->impl().image);
        }
        QColor color = toQColor(b.Color());
        switch (b.Style()) {
        case bsSolid:
            return QBrush(color, Qt::SolidPattern);
        case bsClear:
            return QBrush(Qt::NoBrush);
        case bsHorizontal:
            return QBrush(color, Qt::HorPattern);
        case bsVertical:
            return QBrush(color, Qt::VerPattern);
        case bsFDiagonal:
            return QBrush(color, Qt::BDiagPattern);
        case bsBDiagonal:
            return QBrush(color, Qt::FDiagPattern);
        case bsCross:
            return QBrush(color, Qt::CrossPattern);
        case bsDiagCross:
            return QBrush(color, Qt::DiagCrossPattern);
        }
        return QBrush(color);
    }

    // What was last handed to the painter, so that unchanged state is not set again
    // (a chart draws thousands of segments with one pen).
    struct Applied {
        TColor penColor, brushColor, bkColor;
        int penWidth, penStyle, penMode, penCap, brushStyle, bkMode;
        const void* brushBitmap;
        bool withPen, withBrush;
        bool operator==(const Applied&) const = default;
    };
    std::optional<Applied> applied;

    // Sets pen, brush and raster mode for a shape; false when there is nothing to paint on.
    bool prepare(bool withPen = true, bool withBrush = true) {
        if (!begin()) {
            return false;
        }
        const TPen& p = owner.FPen;
        const TBrush& b = owner.FBrush;
        const Applied now{p.Color(), b.Color(), owner.FBkColor, p.Width(),  p.Style(), p.Mode(),
                          p.Cap(),   b.Style(), owner.FBkMode,  b.Bitmap(), withPen,   withBrush};
        if (applied && *applied == now && !b.Bitmap()) {
            return true;
        }
        // Only what changed goes to the painter: the faces of a solid, drawn one after the
        // other, change the brush colour alone.
        const Applied* was = applied ? &*applied : nullptr;
        if (!was || was->penMode != now.penMode) painter.setCompositionMode(mode());
        if (!was || was->penColor != now.penColor || was->penWidth != now.penWidth || was->penStyle != now.penStyle ||
            was->penMode != now.penMode || was->penCap != now.penCap || was->withPen != now.withPen)
            painter.setPen(withPen ? qpen() : QPen(Qt::NoPen));
        if (!was || was->brushColor != now.brushColor || was->brushStyle != now.brushStyle || b.Bitmap() ||
            was->brushBitmap != now.brushBitmap || was->withBrush != now.withBrush)
            painter.setBrush(withBrush ? qbrush() : QBrush(Qt::NoBrush));
        // Hatched brushes fill their gaps with the background colour in opaque mode.
        if (!was || was->bkMode != now.bkMode)
            painter.setBackgroundMode(owner.FBkMode == OPAQUE ? Qt::OpaqueMode : Qt::TransparentMode);
        if (!was || was->bkColor != now.bkColor) painter.setBackground(QBrush(toQColor(owner.FBkColor)));
        applied = now;
        return true;
    }

    const QFont& font() {
        const TFont& f = owner.FFont;
        if (!fontKey || fontKey->name != f.Name() || fontKey->height != f.Height() || fontKey->style != f.Style() ||
            fontKey->charExtra != owner.FCharExtra) {
            EnsureGuiApplication();
            QFont q(QString::fromStdString(f.Name()));
            int h = f.Height();
            if (h == 0) h = -MulDiv(10, f.PixelsPerInch(), 72);
            // A negative height is the character height (em); a positive one the cell height.
            q.setPixelSize(std::max(1, h < 0 ? -h : h * 4 / 5));
            q.setBold((f.Style() & fsBold) != 0);
            q.setItalic((f.Style() & fsItalic) != 0);
            q.setUnderline((f.Style() & fsUnderline) != 0);
            q.setStrikeOut((f.Style() & fsStrikeOut) != 0);
            // Fixed hinting and smoothed outlines: the same metrics and pixels on every run.
            q.setHintingPreference(QFont::PreferNoHinting);
            q.setStyleStrategy(QFont::StyleStrategy(QFont::PreferAntialias | QFont::PreferOutline));
            q.setKerning(false);
            if (owner.FCharExtra != 0) {
                q.setLetterSpacing(QFont::AbsoluteSpacing, owner.FCharExtra);
            }
            qfont = q;
            fontKey = FontKey{f.Name(), f.Height(), f.Style(), owner.FCharExtra};
            const QFontMetrics fm(qfont);
            fontHeight = fm.height();
            fontAscent = fm.ascent();
            widths.clear();
        }
        return qfont;
    }

    // The width of a text in the current font. A chart measures the same labels at every
    // redraw, and each measuring shapes the text anew: thousands of instructions a label.
    int textWidth(const std::string& text) {
        font();
        if (const auto it = widths.find(text); it != widths.end()) return it->second;
        const int w =
            QFontMetrics(qfont).horizontalAdvance(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
        // texts that change at every redraw (a running value) must not pile up
        if (widths.size() >= 4096) widths.clear();
        widths.emplace(text, w);
        return w;
    }
    std::unordered_map<std::string, int> widths;
    int fontHeight = 0, fontAscent = 0;

    // One-pixel pens are rasterised here rather than by the toolkit, so that every line
    // leaves out exactly its end pixel whatever its direction, and dashes run on across
    // the segments of a polyline.
    bool thinPen() const {
        const TPen& p = owner.FPen;
        return p.Style() != psClear && p.Width() <= 1;
    }

    // The on and off pixels of a pen style's pattern, one entry per pixel of its period.
    struct ThinPattern {
        int period = 0;  // 0 for solid lines
        std::array<bool, 64> on{};
    };
    static const ThinPattern& thinPattern(TPenStyle style) {
        static const std::array<ThinPattern, psAlternate + 1> patterns = [] {
            std::array<ThinPattern, psAlternate + 1> all{};
            for (int s = 0; s <= psAlternate; ++s) {
                ThinPattern& t = all[static_cast<std::size_t>(s)];
                const std::vector<int>& pattern = dashPattern(static_cast<TPenStyle>(s));
                for (std::size_t i = 0; i < pattern.size(); ++i)
                    for (int j = 0; j < pattern[i]; ++j) t.on[static_cast<std::size_t>(t.period++)] = i % 2 == 0;
            }
            return all;
        }();
        const auto i = static_cast<std::size_t>(style);
        return i < patterns.size() ? patterns[i] : patterns[psSolid];
    }

    // Visits the pixels from (x0, y0) towards (x1, y1) that fall in box, the end pixel left
    // out; step counts pattern pixels on from earlier segments. Only the steps that can land
    // in the box are visited, so far-away end points cost nothing. The box is the bitmap's
    // or a part of it: the pixels in it do not depend on it.
    template <class Plot>
    void thinSegment(int x0, int y0, int x1, int y1, long long& step, const ThinPattern& pattern, const QRect& box,
                     Plot&& plot) const {
        const long long n =
            std::max(std::llabs(static_cast<long long>(x1) - x0), std::llabs(static_cast<long long>(y1) - y0));
        constexpr int far = 1 << 24;
        auto isFar = [](int v) { return v < -far || v > far; };
        if (isFar(x0) || isFar(y0) || isFar(x1) || isFar(y1)) {
            // Cut to a box far beyond the bitmap first, so that the integer steps below stay
            // small; the slope changes by well under a pixel where it can be seen.
            QPointF a(x0, y0), b(x1, y1);
            const QRectF cut(-far, -far, 2.0 * far + bmp.image.width(), 2.0 * far + bmp.image.height());
            if (clipSegment(a, b, cut)) {
                const int ax = qRound(a.x()), ay = qRound(a.y());
                const bool xMajor =
                    std::llabs(static_cast<long long>(x1) - x0) >= std::llabs(static_cast<long long>(y1) - y0);
                const long long skipped =
                    xMajor ? std::llabs(static_cast<long long>(ax) - x0) : std::llabs(static_cast<long long>(ay) - y0);
                rasterize(ax, ay, qRound(b.x()), qRound(b.y()), step + skipped, pattern, box, plot);
            }
        } else {
            rasterize(x0, y0, x1, y1, step, pattern, box, plot);
        }
        step += n;
    }

    template <class Plot>
    static void rasterize(int x0, int y0, int x1, int y1, long long step, const ThinPattern& pattern, const QRect& box,
                          Plot& plot) {
        const long long dx = static_cast<long long>(x1) - x0;
        const long long dy = static_cast<long long>(y1) - y0;
        const bool xMajor = std::llabs(dx) >= std::llabs(dy);
        const long long major0 = xMajor ? x0 : y0, minor0 = xMajor ? y0 : x0;
        const long long dMajor = xMajor ? dx : dy, dMinor = xMajor ? dy : dx;
        const long long n = std::llabs(dMajor);
        if (n == 0 || box.isEmpty()) return;
        const long long majorLo = xMajor ? box.left() : box.top(), majorHi = xMajor ? box.right() : box.bottom();
        const long long minorLo = xMajor ? box.top() : box.left(), minorHi = xMajor ? box.bottom() : box.right();
        const long long sMajor = dMajor > 0 ? 1 : -1;
        const long long sMinor = dMinor >= 0 ? 1 : -1;
        const long long aMinor = std::llabs(dMinor);
        long long kMin = 0, kMax = n - 1;
        if (sMajor > 0) {
            kMin = std::max(kMin, majorLo - major0);
            kMax = std::min(kMax, majorHi - major0);
        } else {
            kMin = std::max(kMin, major0 - majorHi);
            kMax = std::min(kMax, major0 - majorLo);
        }
        if (kMin > kMax) return;
        // The minor coordinate is the nearest one, halves rounded up: minor0 + sMinor *
        // floor((2 k aMinor + n) / 2n), carried on from step to step as quotient and
        // remainder (all terms below 2^53). aMinor <= n, so the remainder wraps at most once.
        const long long twoN = 2 * n, twoA = 2 * aMinor;
        // Most segments start on the bitmap: no division then (a polyline has thousands).
        const long long first = 2 * kMin * aMinor + n;
        long long r = kMin == 0 ? n : first % twoN;
        long long minor = minor0 + sMinor * (kMin == 0 ? 0 : first / twoN);
        long long major = major0 + sMajor * kMin;
        // A line whose pixels stay between its first one and its end point, both in the box,
        // needs no test per pixel.
        const long long endMinor = minor0 + dMinor;
        const bool inside = std::min(minor, endMinor) >= minorLo && std::max(minor, endMinor) <= minorHi;
        const bool dashed = pattern.period > 0;
        int pos = dashed ? static_cast<int>((step + kMin) % pattern.period) : 0;
        const long long count = kMax - kMin + 1;
        auto run = [&](auto xMajorRun, auto checked, auto dashedRun) {
            for (long long i = 0; i < count; ++i) {
                if ((!checked || (minor >= minorLo && minor <= minorHi)) &&
                    (!dashedRun || pattern.on[static_cast<std::size_t>(pos)])) {
                    if constexpr (xMajorRun)
                        plot(static_cast<int>(major), static_cast<int>(minor));
                    else
                        plot(static_cast<int>(minor), static_cast<int>(major));
                }
                major += sMajor;
                r += twoA;
                if (r >= twoN) {
                    r -= twoN;
                    minor += sMinor;
                }
                if constexpr (dashedRun) {
                    if (++pos == pattern.period) pos = 0;
                }
            }
        };
        auto byKind = [&](auto xMajorRun) {
            using Yes = std::true_type;
            using No = std::false_type;
            if (inside)
                dashed ? run(xMajorRun, No{}, Yes{}) : run(xMajorRun, No{}, No{});
            else
                dashed ? run(xMajorRun, Yes{}, Yes{}) : run(xMajorRun, Yes{}, No{});
        };
        if (xMajor)
            byKind(std::true_type{});
        else
            byKind(std::false_type{});
    }

    // A one-pixel polyline with the pen: written straight into the image where the painter
    // would only copy the pen's colour onto it, else collected and painted as runs.
    void thinLine(const TPoint* p, int count) {
        if (count < 2 || bmp.image.isNull()) return;
        const ThinPattern& pattern = thinPattern(owner.FPen.Style());
        long long step = 0;
        QRect box;
        if (owner.FPen.Mode() == pmCopy && directBounds(box)) {
            const QRgb colour = 0xFF000000u | toQRgb(owner.FPen.Color());
            QImage& img = bmp.image;
            const std::ptrdiff_t stride = img.bytesPerLine() / 4;
            auto* base = reinterpret_cast<QRgb*>(img.bits());
            auto plot = [&](int x, int y) { base[static_cast<std::ptrdiff_t>(y) * stride + x] = colour; };
            for (int i = 1; i < count; ++i)
                thinSegment(p[i - 1].x, p[i - 1].y, p[i].x, p[i].y, step, pattern, box, plot);
            return;
        }
        std::vector<QPoint>& pts = scratch;
        pts.clear();
        auto collect = [&](int x, int y) { pts.emplace_back(x, y); };
        for (int i = 1; i < count; ++i)
            thinSegment(p[i - 1].x, p[i - 1].y, p[i].x, p[i].y, step, pattern, bmp.image.rect(), collect);
        drawThin(pts);
    }

    // Paints the pixels as horizontal or vertical runs, one rectangle each, in one call.
    void drawThin(const std::vector<QPoint>& pts) {
        if (pts.empty() || !begin()) return;
        runs.clear();
        std::size_t i = 0;
        while (i < pts.size()) {
            std::size_t j = i + 1;
            if (j < pts.size() && pts[j].y() == pts[i].y() && std::abs(pts[j].x() - pts[i].x()) == 1) {
                const int dir = pts[j].x() - pts[i].x();
                while (j < pts.size() && pts[j].y() == pts[i].y() && pts[j].x() - pts[j - 1].x() == dir) ++j;
                const int a = pts[i].x(), b = pts[j - 1].x();
                runs.emplace_back(std::min(a, b), pts[i].y(), std::abs(b - a) + 1, 1);
            } else if (j < pts.size() && pts[j].x() == pts[i].x() && std::abs(pts[j].y() - pts[i].y()) == 1) {
                const int dir = pts[j].y() - pts[i].y();
                while (j < pts.size() && pts[j].x() == pts[i].x() && pts[j].y() - pts[j - 1].y() == dir) ++j;
                const int a = pts[i].y(), b = pts[j - 1].y();
                runs.emplace_back(pts[i].x(), std::min(a, b), 1, std::abs(b - a) + 1);
            } else {
                runs.emplace_back(pts[i].x(), pts[i].y(), 1, 1);
            }
            i = j;
        }
        painter.setCompositionMode(mode());
        painter.setPen(Qt::NoPen);
        painter.setBrush(penColor());
        applied.reset();
        painter.drawRects(runs.data(), static_cast<int>(runs.size()));
    }
    std::vector<QRect> runs;
    std::vector<QPoint> scratch;
    std::vector<QPoint> corners;

    // The part of the image that may be written straight into, the painter left out: an
    // image of our own (not shared, 32-bit) and no clip or one that is a rectangle; false
    // leaves the drawing to the painter. The box may be empty: nothing is to be drawn.
    bool directBounds(QRect& box) const {
        const QImage& img = bmp.image;
        if (img.isNull() || img.format() != QImage::Format_RGB32 || !img.isDetached()) return false;
        if (clip && !clipBox) return false;
        const int w = img.width(), h = img.height();
        if (!clip) {
            box = QRect(0, 0, w, h);
            return true;
        }
        const int l = std::max(0, clipBox->left()), t = std::max(0, clipBox->top());
        const int r = std::min(w - 1, clipBox->right()), b = std::min(h - 1, clipBox->bottom());
        box = QRect(QPoint(l, t), QPoint(r, b));
        return true;
    }
    // The clip's one rectangle, kept when the clip changes: the direct writes ask for it
    // at every call.
    std::optional<QRect> clipBox;

    // Writes a small opaque box (ring and inside) straight into the image where
    // directBounds allows; false leaves the box to the painter.
    bool writeBox(const QRect& r, QRgb ring, QRgb inside) {
        QRect bounds;
        if (!directBounds(bounds)) return false;
        const int l = std::max(r.left(), bounds.left()), t = std::max(r.top(), bounds.top());
        const int rt = std::min(r.right(), bounds.right()), b = std::min(r.bottom(), bounds.bottom());
        if (l > rt || t > b) return true;
        QImage& img = bmp.image;
        const std::ptrdiff_t stride = img.bytesPerLine() / 4;
        auto* base = reinterpret_cast<QRgb*>(img.bits());
        ring |= 0xFF000000u;
        inside |= 0xFF000000u;
        // the boxes are a few pixels wide: plain loops, the ring's sides set after the row
        for (int y = t; y <= b; ++y) {
            QRgb* line = base + static_cast<std::ptrdiff_t>(y) * stride;
            const QRgb fill = y == r.top() || y == r.bottom() ? ring : inside;
            for (int x = l; x <= rt; ++x) line[x] = fill;
            if (l == r.left()) line[l] = ring;
            if (rt == r.right()) line[rt] = ring;
        }
        return true;
    }

    // A small convex polygon (the faces of solids come by the thousand) written straight
    // into the image: the rows of its inside, then the pixels of its thin outline. Only
    // where no clip cuts it; false leaves the drawing to the painter.
    bool writeConvex(const TPoint* p, int n, const QRgb* ring, const QRgb* inside) {
        QImage& img = bmp.image;
        QRect box;
        if (img.format() != QImage::Format_RGB32 || !img.isDetached() || !SmallConvexBox(p, n, box)) return false;
        if (clip && !RegionHolds(*clip, box)) return false;
        if (inside) fillConvexRows(p, n, box, *inside);
        if (ring) {
            const ThinPattern& solid = thinPattern(psSolid);
            const QRgb colour = 0xFF000000u | *ring;
            const std::ptrdiff_t stride = img.bytesPerLine() / 4;
            auto* base = reinterpret_cast<QRgb*>(img.bits());
            auto plot = [&](int x, int y) { base[static_cast<std::ptrdiff_t>(y) * stride + x] = colour; };
            long long step = 0;
            for (int i = 0; i < n; ++i)
                thinSegment(p[i].x, p[i].y, p[(i + 1) % n].x, p[(i + 1) % n].y, step, solid, img.rect(), plot);
        }
        return true;
    }

    // Takes a source as wide and high as the image, drawn at its top left, by sharing its
    // pixels instead of copying them: either side copies them only when it is next drawn
    // on, and not at all where that drawing covers the whole bitmap (a chart's frame
    // buffer, cleared at every redraw). False where the painter has to draw it.
    bool shareWhole(const TBitmap& source) {
        QImage& img = bmp.image;
        const QImage& from = source.impl().image;
        if (source.Transparent() || img.format() != QImage::Format_RGB32 || from.format() != img.format() ||
            from.size() != img.size())
            return false;
        if (clip && !RegionHolds(*clip, img.rect())) return false;
        bmp.releasePainter();
        img = QtImageOf(source);
        return true;
    }

    // Before an opaque fill of the whole bitmap: pixels still shared with another bitmap
    // are let go rather than copied, since none of them would be seen.
    void dropCovered(const QRect& r) {
        QImage& img = bmp.image;
        if (img.isNull() || img.isDetached() || img.format() != QImage::Format_RGB32 || !r.contains(img.rect())) return;
        if (clip && !RegionHolds(*clip, img.rect())) return;
        QImage fresh(img.width(), img.height(), img.format());
        if (fresh.isNull()) return;
        bmp.releasePainter();
        img = std::move(fresh);
    }

    // A pixel is inside when its centre is. Each edge that is not level keeps its upper end
    // and its step in x per row, so a row costs one multiplication per edge.
    void fillConvexRows(const TPoint* p, int n, const QRect& box, QRgb color) {
        QImage& img = bmp.image;
        struct Edge {
            double top, bottom, x, perRow;
        } edges[8];
        int m = 0;
        for (int i = 0; i < n; ++i) {
            const TPoint& a = p[i];
            const TPoint& b = p[(i + 1) % n];
            if (a.y == b.y) continue;
            const TPoint& upper = a.y < b.y ? a : b;
            const TPoint& lower = a.y < b.y ? b : a;
            edges[m++] = {static_cast<double>(upper.y), static_cast<double>(lower.y), static_cast<double>(upper.x),
                          static_cast<double>(lower.x - upper.x) / (lower.y - upper.y)};
        }
        // the polygon stays within 64 pixels, so a truncation does for the rounding up
        auto ceilInt = [](double v) {
            const int i = static_cast<int>(v);
            return i + (v > i ? 1 : 0);
        };
        const int stride = static_cast<int>(img.bytesPerLine() / 4);
        const int w = img.width(), h = img.height();
        auto* base = reinterpret_cast<QRgb*>(img.bits());
        for (int y = std::max(box.top(), 0); y <= std::min(box.bottom(), h - 1); ++y) {
            const double cy = y + 0.5;
            double lo = 1e9, hi = -1e9;
            for (int i = 0; i < m; ++i) {
                const Edge& e = edges[i];
                if (cy < e.top || cy >= e.bottom) continue;
                const double x = e.x + (cy - e.top) * e.perRow;
                lo = std::min(lo, x);
                hi = std::max(hi, x);
            }
            if (lo > hi) continue;
            const int x0 = std::max(0, ceilInt(lo - 0.5));
            const int x1 = std::min(w - 1, ceilInt(hi - 0.5) - 1);
            QRgb* line = base + static_cast<std::ptrdiff_t>(y) * stride;
            for (int x = x0; x <= x1; ++x) line[x] = 0xFF000000u | color;
        }
    }
};

void TBitmap::Impl::releasePainter() {
    if (painterOwner) {
        painterOwner->end();
    }
}

QImage QtImageOf(const TBitmap& bitmap) {
    auto& impl = const_cast<TBitmap::Impl&>(bitmap.impl());
    impl.releasePainter();
    return impl.image;
}

namespace {

// The image to draw for a bitmap: a transparent one loses the pixels of its
// bottom-left pixel's colour, which are then blended away instead of copied.
QImage DrawnImageOf(const TBitmap& bitmap, QPainter& painter) {
    QImage img = QtImageOf(bitmap);
    if (!bitmap.Transparent()) {
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        return img;
    }
    img = img.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = img.pixel(0, img.height() - 1) | 0xFF000000u;
    for (int y = 0; y < img.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x)
            if ((line[x] | 0xFF000000u) == key) line[x] = 0;
    }
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    return img;
}

}  // namespace

// ---------------------------------------------------------------------------
TBitmap::TBitmap() : FImpl(std::make_unique<Impl>()) {}

TBitmap::TBitmap(int width, int height) : TBitmap() { SetSize(width, height); }

TBitmap::~TBitmap() {
    FImpl->canvas.reset();
    FImpl->releasePainter();
}

void TBitmap::Assign(const TPersistent* source) {
    if (const auto* b = dynamic_cast<const TBitmap*>(source)) {
        if (b == this) return;
        FImpl->releasePainter();
        const_cast<TBitmap*>(b)->FImpl->releasePainter();
        FImpl->image = b->FImpl->image.copy();
        FTransparent = b->FTransparent;
    } else if (!source) {
        FImpl->releasePainter();
        FImpl->image = QImage();
    }
}

int TBitmap::Width() const { return FImpl->image.isNull() ? 0 : FImpl->image.width(); }
int TBitmap::Height() const { return FImpl->image.isNull() ? 0 : FImpl->image.height(); }

void TBitmap::SetSize(int width, int height) {
    width = std::max(0, width);
    height = std::max(0, height);
    if (width == Width() && height == Height()) return;
    FImpl->releasePainter();
    if (width == 0 || height == 0) {
        FImpl->image = QImage();
        return;
    }
    QImage next(width, height, QImage::Format_RGB32);
    next.fill(0xFFFFFFFFu);
    if (!FImpl->image.isNull()) {
        QPainter p(&next);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(0, 0, FImpl->image);
    }
    FImpl->image = std::move(next);
}

TCanvas& TBitmap::Canvas() {
    if (!FImpl->canvas) {
        FImpl->canvas = std::make_unique<TCanvas>(*this);
    }
    return *FImpl->canvas;
}

TColor TBitmap::GetPixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= Width() || y >= Height()) return clNone;
    return fromQRgb(FImpl->image.pixel(x, y));
}

void TBitmap::SetPixel(int x, int y, TColor color) {
    if (x < 0 || y < 0 || x >= Width() || y >= Height()) return;
    FImpl->releasePainter();
    const TColor c = ColorToRGB(color);
    FImpl->image.setPixel(x, y, qRgb(GetRValue(c), GetGValue(c), GetBValue(c)));
}

std::uint32_t* TBitmap::ScanLine(int y) {
    if (y < 0 || y >= Height()) return nullptr;
    FImpl->releasePainter();
    return reinterpret_cast<std::uint32_t*>(FImpl->image.scanLine(y));
}

const std::uint32_t* TBitmap::ScanLine(int y) const {
    if (y < 0 || y >= Height()) return nullptr;
    FImpl->releasePainter();
    return reinterpret_cast<const std::uint32_t*>(FImpl->image.constScanLine(y));
}

// ---------------------------------------------------------------------------
TRegion::TRegion() : FImpl(std::make_unique<Impl>()) {}
TRegion::~TRegion() = default;
TRegion::TRegion(const TRegion& o) : FImpl(std::make_unique<Impl>(*o.FImpl)) {}
TRegion& TRegion::operator=(const TRegion& o) {
    *FImpl = *o.FImpl;
    return *this;
}
bool TRegion::IsEmpty() const { return FImpl->region.isEmpty(); }
TRect TRegion::BoundingRect() const {
    const QRect r = FImpl->region.boundingRect();
    return TRect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}
bool TRegion::Contains(int x, int y) const { return FImpl->region.contains(QPoint(x, y)); }

// ---------------------------------------------------------------------------
TCanvas::TCanvas(TBitmap& target) : FTarget(target), FImpl(std::make_unique<Impl>(*this, target.impl())) {}

TCanvas::~TCanvas() { FImpl->end(); }

void TCanvas::MoveTo(int x, int y) {
    if (FImpl->inPath) {
        FImpl->path.moveTo(x, y);
    }
    FPenPos = TPoint{x, y};
}

void TCanvas::LineTo(int x, int y) {
    if (FImpl->inPath) {
        if (FImpl->path.elementCount() == 0) FImpl->path.moveTo(FPenPos.x, FPenPos.y);
        FImpl->path.lineTo(x, y);
    } else if (FImpl->thinPen()) {
        const TPoint ends[2] = {FPenPos, TPoint{x, y}};
        FImpl->thinLine(ends, 2);
    } else if (FImpl->prepare(true, false)) {
        QPointF a(FPenPos.x, FPenPos.y), b(x, y);
        const double margin = FPen.Width() + 2.0;
        const QRectF box(-margin, -margin, FTarget.Width() + 2 * margin, FTarget.Height() + 2 * margin);
        if (clipSegment(a, b, box)) FImpl->painter.drawLine(QLineF(a, b));
    }
    FPenPos = TPoint{x, y};
}

void TCanvas::Polyline(const TPoint* points, int count) {
    if (!points || count < 2) return;
    if (FImpl->inPath) {
        FImpl->path.addPolygon(toQPolygon(points, count));
        return;
    }
    if (FImpl->thinPen()) {
        FImpl->thinLine(points, count);
        return;
    }
    if (!FImpl->prepare(true, false)) return;
    const double margin = FPen.Width() + 2.0;
    const QRectF box(-margin, -margin, FTarget.Width() + 2 * margin, FTarget.Height() + 2 * margin);
    if (std::any_of(points, points + count, farOut)) {
        // A wide polyline reaching far out is drawn segment by segment, each clipped.
        for (int j = 1; j < count; ++j) {
            QPointF p(points[j - 1].x, points[j - 1].y), q(points[j].x, points[j].y);
            if (clipSegment(p, q, box)) FImpl->painter.drawLine(QLineF(p, q));
        }
        return;
    }
    FImpl->painter.drawPolyline(toQPolygon(points, count));
}

void TCanvas::Polygon(const TPoint* points, int count) {
    if (!points || count < 2) return;
    if (FImpl->inPath) {
        FImpl->path.addPolygon(toQPolygon(points, count));
        FImpl->path.closeSubpath();
        return;
    }
    if (!FImpl->prepare()) return;
    if (std::any_of(points, points + count, farOut)) {
        QPolygonF f;
        for (int i = 0; i < count; ++i) f << QPointF(points[i].x, points[i].y);
        const double margin = FPen.Width() + 64.0;
        f = clipPolygon(f, QRectF(-margin, -margin, FTarget.Width() + 2 * margin, FTarget.Height() + 2 * margin));
        if (f.size() >= 2) FImpl->painter.drawPolygon(f.toPolygon(), Qt::OddEvenFill);
        return;
    }
    if (FPen.Mode() == pmCopy && FPen.Width() <= 1 && (FPen.Style() == psSolid || FPen.Style() == psClear) &&
        !FBrush.Bitmap() && (FBrush.Style() == bsSolid || FBrush.Style() == bsClear)) {
        const QRgb ring = toQRgb(FPen.Color());
        const QRgb inside = toQRgb(FBrush.Color());
        if (FImpl->writeConvex(points, count, FPen.Style() == psSolid ? &ring : nullptr,
                               FBrush.Style() == bsSolid ? &inside : nullptr))
            return;
    }
    // the corners go through a buffer kept between calls: faces come by the thousand
    std::vector<QPoint>& corners = FImpl->corners;
    corners.resize(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) corners[static_cast<std::size_t>(i)] = QPoint(points[i].x, points[i].y);
    FImpl->painter.drawPolygon(corners.data(), count, Qt::OddEvenFill);
}

void TCanvas::Rectangle(int left, int top, int right, int bottom) {
    const QRect r = normalized(left, top, right, bottom);
    if (r.width() <= 0 || r.height() <= 0) return;
    if (FImpl->inPath) {
        FImpl->path.addRect(r);
        return;
    }
    const bool plainBox = FPen.Style() == psSolid && FPen.Width() <= 1 && FPen.Mode() == pmCopy && !FBrush.Bitmap() &&
                          (FBrush.Style() == bsSolid || FBrush.Style() == bsClear);
    // Small boxes in their thousands (point markers) go straight into the image, without
    // the painter's state being set for them.
    if (plainBox && FBrush.Style() == bsSolid && r.width() <= 16 && r.height() <= 16 &&
        FImpl->writeBox(r, toQRgb(FPen.Color()), toQRgb(FBrush.Color())))
        return;
    if (!FImpl->prepare()) return;
    if (FPen.Style() == psClear) {
        FImpl->painter.setPen(Qt::NoPen);
        FImpl->painter.drawRect(r);
    } else if (r.width() == 1 || r.height() == 1) {
        // The outline alone covers a one-pixel-wide box.
        FImpl->painter.fillRect(r, FImpl->painter.pen().color());
    } else if (plainBox) {
        // Filling the ring and the inside sets the same pixels as stroking, at a fraction
        // of the cost.
        const QColor pen = FImpl->painter.pen().color();
        if (FBrush.Style() == bsSolid) {
            FImpl->painter.fillRect(r, pen);
            if (r.width() > 2 && r.height() > 2)
                FImpl->painter.fillRect(r.adjusted(1, 1, -1, -1), toQColor(FBrush.Color()));
        } else {
            FImpl->painter.fillRect(QRect(r.left(), r.top(), r.width(), 1), pen);
            FImpl->painter.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), pen);
            FImpl->painter.fillRect(QRect(r.left(), r.top() + 1, 1, r.height() - 2), pen);
            FImpl->painter.fillRect(QRect(r.right(), r.top() + 1, 1, r.height() - 2), pen);
        }
    } else {
        FImpl->painter.drawRect(QRect(r.left(), r.top(), r.width() - 1, r.height() - 1));
    }
}

void TCanvas::RoundRect(int left, int top, int right, int bottom, int cw, int ch) {
    const QRect r = normalized(left, top, right, bottom);
    if (r.width() <= 0 || r.height() <= 0) return;
    const bool pen = FPen.Style() != psClear;
    const QRect box = pen ? QRect(r.left(), r.top(), r.width() - 1, r.height() - 1) : r;
    if (FImpl->inPath) {
        FImpl->path.addRoundedRect(box, cw / 2.0, ch / 2.0);
        return;
    }
    if (FImpl->prepare()) FImpl->painter.drawRoundedRect(box, cw / 2.0, ch / 2.0, Qt::AbsoluteSize);
}

void TCanvas::Ellipse(int left, int top, int right, int bottom) {
    const QRect r = normalized(left, top, right, bottom);
    if (r.width() <= 0 || r.height() <= 0) return;
    const bool pen = FPen.Style() != psClear;
    const QRect box = pen ? QRect(r.left(), r.top(), r.width() - 1, r.height() - 1) : r;
    if (FImpl->inPath) {
        FImpl->path.addEllipse(box);
        return;
    }
    if (FImpl->prepare()) FImpl->painter.drawEllipse(box);
}

void TCanvas::FillRect(const TRect& rc) {
    const QRect r = normalized(rc.Left, rc.Top, rc.Right, rc.Bottom);
    if (r.width() <= 0 || r.height() <= 0) return;
    if (FBrush.Style() == bsClear && !FBrush.Bitmap()) return;
    if (FBrush.Style() == bsSolid && !FBrush.Bitmap() && FPen.Mode() == pmCopy) FImpl->dropCovered(r);
    if (FImpl->prepare(false, true)) FImpl->painter.drawRect(r);
}

namespace {

// Start angle and counter-clockwise span in degrees of an arc on box r from the ray through
// p3 to the ray through p4 (or clockwise); equal rays make a full turn.
void arcAngles(const QRectF& r, int x3, int y3, int x4, int y4, bool clockwise, double& start, double& span) {
    const QPointF c = r.center();
    const double a3 = std::atan2(-(y3 - c.y()), x3 - c.x()) * 180.0 / std::numbers::pi;
    const double a4 = std::atan2(-(y4 - c.y()), x4 - c.x()) * 180.0 / std::numbers::pi;
    double d = clockwise ? a3 - a4 : a4 - a3;
    while (d <= 0) d += 360.0;
    while (d > 360.0) d -= 360.0;
    start = a3;
    span = clockwise ? -d : d;
}

}  // namespace

void TCanvas::Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
    const QRect r = normalized(x1, y1, x2, y2);
    if (r.width() <= 0 || r.height() <= 0) return;
    const QRectF box(r.left(), r.top(), r.width() - 1, r.height() - 1);
    double start, span;
    arcAngles(box, x3, y3, x4, y4, FArcClockwise, start, span);
    if (FImpl->inPath) {
        FImpl->path.arcMoveTo(box, start);
        FImpl->path.arcTo(box, start, span);
        return;
    }
    if (FImpl->prepare(true, false)) {
        FImpl->painter.drawArc(box.toRect(), qRound(start * 16), qRound(span * 16));
    }
}

void TCanvas::ArcTo(int left, int top, int right, int bottom, int x3, int y3, int x4, int y4) {
    const QRect r = normalized(left, top, right, bottom);
    const QRectF box(r.left(), r.top(), std::max(0, r.width() - 1), std::max(0, r.height() - 1));
    double start, span;
    arcAngles(box, x3, y3, x4, y4, FArcClockwise, start, span);
    if (FImpl->inPath) {
        if (FImpl->path.elementCount() == 0) FImpl->path.moveTo(FPenPos.x, FPenPos.y);
        FImpl->path.arcTo(box, start, span);
        const QPointF end = FImpl->path.currentPosition();
        FPenPos = TPoint{qRound(end.x()), qRound(end.y())};
        return;
    }
    QPainterPath p;
    p.moveTo(FPenPos.x, FPenPos.y);
    p.arcTo(box, start, span);
    if (FImpl->prepare(true, false)) FImpl->painter.drawPath(p);
    const QPointF end = p.currentPosition();
    FPenPos = TPoint{qRound(end.x()), qRound(end.y())};
}

void TCanvas::Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
    const QRect r = normalized(x1, y1, x2, y2);
    if (r.width() <= 0 || r.height() <= 0) return;
    const QRectF box(r.left(), r.top(), r.width() - 1, r.height() - 1);
    double start, span;
    arcAngles(box, x3, y3, x4, y4, FArcClockwise, start, span);
    if (FImpl->inPath) {
        FImpl->path.moveTo(box.center());
        FImpl->path.arcTo(box, start, span);
        FImpl->path.closeSubpath();
        return;
    }
    if (FImpl->prepare()) FImpl->painter.drawPie(box.toRect(), qRound(start * 16), qRound(span * 16));
}

TColor TCanvas::GetPixel(int x, int y) const { return FTarget.GetPixel(x, y); }

void TCanvas::SetPixel(int x, int y, TColor color) {
    if (FImpl->clip && !FImpl->clip->contains(QPoint(x, y))) return;
    FTarget.SetPixel(x, y, color);
}

// ---------------------------------------------------------------------------
TSize TCanvas::TextExtent(const std::string& text) {
    const int w = FImpl->textWidth(text);
    return TSize{w, FImpl->fontHeight};
}

void TCanvas::TextOut(int x, int y, const std::string& text) {
    x = clampCoord(x);
    y = clampCoord(y);
    const QFont& f = FImpl->font();
    const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    const int w = FImpl->textWidth(text);
    const int h = FImpl->fontHeight;
    const int ascent = FImpl->fontAscent;
    int dx = 0;
    switch (FTextAlign & 6) {
    case TA_RIGHT:
        dx = -w;
        break;
    case TA_CENTER:
        dx = -w / 2;
        break;
    default:
        break;
    }
    int top = 0;  // top of the text box relative to y
    switch (FTextAlign & 24) {
    case TA_BOTTOM:
        top = -h;
        break;
    case TA_BASELINE:
        top = -ascent;
        break;
    default:
        break;
    }
    const double angle = FFont.Orientation() / 10.0;
    if (FImpl->inPath) {
        QPainterPath p;
        p.addText(QPointF(dx, top + ascent), f, s);
        QTransform t;
        t.translate(x, y);
        t.rotate(-angle);
        FImpl->path.addPath(t.map(p));
        return;
    }
    if (!FImpl->begin()) return;
    QPainter& p = FImpl->painter;
    p.save();
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.translate(x, y);
    if (angle != 0.0) p.rotate(-angle);
    // The box behind the text is the background mode's at this moment; the painter's
    // own mode is still that of the last shape drawn.
    if (FBkMode == OPAQUE) {
        p.fillRect(QRect(dx, top, w, h), toQColor(FBkColor));
    }
    p.setBackgroundMode(Qt::TransparentMode);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.setFont(f);
    p.setPen(toQColor(FFont.Color()));
    p.drawText(QPoint(dx, top + ascent), s);
    p.restore();
}

// ---------------------------------------------------------------------------
void TCanvas::BeginPath() {
    FImpl->inPath = true;
    FImpl->pathReady = false;
    FImpl->path = QPainterPath();
    FImpl->path.setFillRule(Qt::OddEvenFill);
}

void TCanvas::EndPath() {
    if (FImpl->inPath) {
        FImpl->inPath = false;
        FImpl->pathReady = true;
    }
}

void TCanvas::AbortPath() {
    FImpl->inPath = false;
    FImpl->pathReady = false;
    FImpl->path = QPainterPath();
}

void TCanvas::CloseFigure() {
    if (FImpl->inPath) FImpl->path.closeSubpath();
}

void TCanvas::StrokePath() {
    if (FImpl->pathReady && FImpl->prepare(true, false)) FImpl->painter.drawPath(FImpl->path);
    AbortPath();
}

void TCanvas::FillPath() {
    if (FImpl->pathReady && FImpl->prepare(false, true)) FImpl->painter.drawPath(FImpl->path);
    AbortPath();
}

void TCanvas::StrokeAndFillPath() {
    if (FImpl->pathReady && FImpl->prepare()) FImpl->painter.drawPath(FImpl->path);
    AbortPath();
}

void TCanvas::WidenPath() {
    if (!FImpl->pathReady) return;
    QPainterPathStroker stroker;
    stroker.setWidth(std::max(1, FPen.Width()));
    QPainterPath widened = stroker.createStroke(FImpl->path);
    FImpl->path = widened;
}

void TCanvas::ClipToPath() {
    if (!FImpl->pathReady) return;
    // Even-odd region of the path's outlines (letters keep their holes).
    QRegion region;
    for (const QPolygonF& poly : FImpl->path.toFillPolygons()) {
        region = region.xored(QRegion(poly.toPolygon(), Qt::OddEvenFill));
    }
    FImpl->clip = FImpl->clip ? FImpl->clip->intersected(region) : region;
    FImpl->applyClip();
    AbortPath();
}

// ---------------------------------------------------------------------------
bool TCanvas::HasClipRegion() const { return FImpl->clip.has_value(); }

TRegion TCanvas::ClipRegion() const {
    TRegion r;
    if (FImpl->clip) r.impl().region = *FImpl->clip;
    return r;
}

void TCanvas::SelectClipRegion(const TRegion* region) {
    if (region) {
        FImpl->clip = region->impl().region;
    } else {
        FImpl->clip.reset();
    }
    FImpl->applyClip();
}

namespace {
void intersect(std::optional<QRegion>& clip, const QRegion& r) { clip = clip ? clip->intersected(r) : r; }
}  // namespace

void TCanvas::IntersectClipRect(const TRect& rc) {
    intersect(FImpl->clip, QRegion(normalized(rc.Left, rc.Top, rc.Right, rc.Bottom)));
    FImpl->applyClip();
}

void TCanvas::IntersectClipEllipse(const TRect& rc) {
    intersect(FImpl->clip, QRegion(normalized(rc.Left, rc.Top, rc.Right, rc.Bottom), QRegion::Ellipse));
    FImpl->applyClip();
}

void TCanvas::IntersectClipRoundRect(const TRect& rc, int cw, int ch) {
    QPainterPath p;
    p.addRoundedRect(normalized(rc.Left, rc.Top, rc.Right, rc.Bottom), cw / 2.0, ch / 2.0);
    intersect(FImpl->clip, QRegion(p.toFillPolygon().toPolygon()));
    FImpl->applyClip();
}

void TCanvas::IntersectClipPolygon(const TPoint* points, int count) {
    intersect(FImpl->clip, QRegion(toQPolygon(points, count), Qt::OddEvenFill));
    FImpl->applyClip();
}

void TCanvas::PushClip() {
    if (FImpl->clip) {
        auto saved = std::make_unique<TRegion>();
        saved->impl().region = *FImpl->clip;
        FClipStack.push_back(std::move(saved));
    } else {
        FClipStack.push_back(nullptr);
    }
}

void TCanvas::PopClip() {
    if (FClipStack.empty()) {
        FImpl->clip.reset();
    } else {
        std::unique_ptr<TRegion> top = std::move(FClipStack.back());
        FClipStack.pop_back();
        if (top) {
            FImpl->clip = top->impl().region;
        } else {
            FImpl->clip.reset();
        }
    }
    FImpl->applyClip();
}

// ---------------------------------------------------------------------------
void TCanvas::Draw(int x, int y, const TBitmap& source) {
    if (source.Empty()) return;
    if (&source == &FTarget) return;
    if (x == 0 && y == 0 && FImpl->shareWhole(source)) return;
    if (FImpl->begin()) {
        FImpl->applied.reset();
        // Shares the pixels: a source still being painted on would otherwise be copied whole.
        const QImage img = DrawnImageOf(source, FImpl->painter);
        FImpl->painter.drawImage(QPoint(x, y), img);
    }
}

void TCanvas::StretchDraw(const TRect& rc, const TBitmap& source) {
    if (source.Empty() || &source == &FTarget) return;
    const QRect r = normalized(rc.Left, rc.Top, rc.Right, rc.Bottom);
    if (r.isEmpty()) return;
    if (FImpl->begin()) {
        FImpl->applied.reset();
        const QImage img = DrawnImageOf(source, FImpl->painter);
        FImpl->painter.drawImage(r, img);
    }
}

void TCanvas::CopyRect(const TRect& dest, const TBitmap& source, const TRect& sourceRect) {
    if (source.Empty()) return;
    const QRect d = normalized(dest.Left, dest.Top, dest.Right, dest.Bottom);
    const QRect s = normalized(sourceRect.Left, sourceRect.Top, sourceRect.Right, sourceRect.Bottom);
    if (d.isEmpty() || s.isEmpty()) return;
    const QImage img = (&source == &FTarget) ? source.impl().image.copy(s) : QtImageOf(source);
    if (FImpl->begin()) {
        FImpl->applied.reset();
        FImpl->painter.setCompositionMode(QPainter::CompositionMode_Source);
        if (&source == &FTarget) {
            FImpl->painter.drawImage(d, img);
        } else {
            FImpl->painter.drawImage(d, img, s);
        }
    }
}

// ---------------------------------------------------------------------------
bool SystemLanguageIsJapanese() {
    static const bool japanese = QLocale::system().language() == QLocale::Japanese;
    return japanese;
}

void UserInterfaceFont(std::string& name, int& pointSize) {
    name.clear();
    pointSize = 0;
    // the system's fonts are known once the application runs
    if (!QGuiApplication::instance()) return;
    const QFont f = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    name = f.family().toStdString();
    pointSize = f.pointSize();
    if (pointSize <= 0) {
        // a font given in pixels: points at the screen's resolution
        const QScreen* screen = QGuiApplication::primaryScreen();
        const double dpi = screen ? screen->logicalDotsPerInchY() : 96.0;
        pointSize = static_cast<int>(std::lround(f.pixelSize() * 72.0 / dpi));
    }
}
