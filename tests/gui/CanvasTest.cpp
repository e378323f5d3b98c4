// Pixel checks where the canvas's semantics are exact: rectangle edges, the missing end
// pixel of lines, raster modes undone by drawing twice, clipping, text metrics.

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <string>
#include <vector>

#include "Graphics.h"
#include "GuiApplication.h"

namespace {

struct Surface {
    TBitmap bmp{20, 20};
    TCanvas& c = bmp.Canvas();
    Surface() { EnsureGuiApplication(); }

    // Marks pixels equal to colour as '#', others '.', row by row.
    std::string Rows(TColor colour, int top, int bottom, int left = 0, int right = 20) const {
        std::string s;
        for (int y = top; y < bottom; ++y) {
            for (int x = left; x < right; ++x) s += bmp.GetPixel(x, y) == colour ? '#' : '.';
            s += '\n';
        }
        return s;
    }
};

TEST(Colors, SystemColoursResolveThroughTheFixedTable) {
    EXPECT_EQ(ColorToRGB(clBtnFace), RGB(240, 240, 240));
    EXPECT_EQ(ColorToRGB(clWindow), clWhite);
    EXPECT_EQ(ColorToRGB(clWindowText), clBlack);
    EXPECT_EQ(ColorToRGB(clSystemColor | 0xFE), clBlack);  // unknown index
    EXPECT_EQ(ColorToRGB(0x123456), 0x123456u);
    EXPECT_EQ(ColorToRGB(clNone), clNone);
    EXPECT_EQ(RGB(1, 2, 3), 0x030201u);
    EXPECT_EQ(GetRValue(0x030201), 1);
    EXPECT_EQ(GetBValue(0x030201), 3);
}

TEST(Colors, MulDivRoundsHalvesAwayFromZero) {
    EXPECT_EQ(MulDiv(8, 96, 72), 11);
    EXPECT_EQ(MulDiv(-8, 96, 72), -11);
    EXPECT_EQ(MulDiv(3, 1, 2), 2);
    EXPECT_EQ(MulDiv(-3, 1, 2), -2);
    EXPECT_EQ(MulDiv(5, 5, 0), -1);
}

TEST(GraphicsObjects, NotifyOnlyOnRealChanges) {
    int pens = 0, brushes = 0, fonts = 0;
    TPen pen;
    pen.OnChange = [&](TObject*) { ++pens; };
    pen.SetColor(clBlack);
    pen.SetWidth(1);
    pen.SetStyle(psSolid);
    EXPECT_EQ(pens, 0);
    pen.SetColor(clRed);
    pen.SetWidth(3);
    pen.SetMode(pmXor);
    EXPECT_EQ(pens, 3);
    TPen other;
    other.Assign(&pen);
    pen.Assign(&other);  // nothing differs
    EXPECT_EQ(pens, 3);

    TBrush brush;
    brush.OnChange = [&](TObject*) { ++brushes; };
    brush.SetColor(clWhite);
    brush.SetStyle(bsSolid);
    brush.SetBitmap(nullptr);
    EXPECT_EQ(brushes, 0);
    brush.SetStyle(bsClear);
    EXPECT_EQ(brushes, 1);

    TFont font;
    font.OnChange = [&](TObject*) { ++fonts; };
    font.SetSize(font.Size());
    font.SetName(font.Name());
    EXPECT_EQ(fonts, 0);
    font.SetSize(10);
    EXPECT_EQ(fonts, 1);
}

TEST(GraphicsObjects, FontSizesConvertAt96PixelsPerInch) {
    TFont f;
    const std::vector<std::pair<int, int>> sizes = {{8, -11}, {10, -13}, {12, -16}, {7, -9}, {1, -1}};
    for (auto [points, height] : sizes) {
        f.SetSize(points);
        EXPECT_EQ(f.Height(), height) << points;
        EXPECT_EQ(f.Size(), points);
    }
}

TEST(Canvas, RectangleCoversLeftToRightMinusOne) {
    Surface s;
    s.c.Pen().SetColor(clRed);
    s.c.Brush().SetColor(clBlue);
    s.c.Rectangle(2, 3, 7, 7);
    EXPECT_EQ(s.Rows(clRed, 2, 8, 0, 9),
              ".........\n"
              "..#####..\n"
              "..#...#..\n"
              "..#...#..\n"
              "..#####..\n"
              ".........\n");
    EXPECT_EQ(s.Rows(clBlue, 4, 6, 0, 9), "...###...\n...###...\n");

    // Without a pen the brush alone covers the whole rectangle; reversed corners are the same rectangle.
    Surface t;
    t.c.Pen().SetStyle(psClear);
    t.c.Brush().SetColor(clBlue);
    t.c.Rectangle(6, 4, 2, 2);
    EXPECT_EQ(t.Rows(clBlue, 1, 5, 0, 8), "........\n..####..\n..####..\n........\n");

    // FillRect ignores the pen; an empty rectangle paints nothing.
    Surface u;
    u.c.Brush().SetColor(clLime);
    u.c.FillRect(TRect{1, 1, 3, 2});
    u.c.FillRect(TRect{5, 5, 5, 9});
    EXPECT_EQ(u.Rows(clLime, 0, 3, 0, 6), "......\n.##...\n......\n");
    EXPECT_EQ(u.Rows(clLime, 5, 9, 5, 6), ".\n.\n.\n.\n");
}

TEST(Canvas, LinesLeaveOutTheirEndPixel) {
    Surface s;
    s.c.MoveTo(2, 1);
    s.c.LineTo(8, 1);
    EXPECT_EQ(s.c.PenPos(), (TPoint{8, 1}));
    s.c.LineTo(8, 5);  // continues from the pen position, so (8, 1) is drawn by this one
    s.c.MoveTo(10, 10);
    s.c.LineTo(14, 14);
    EXPECT_EQ(s.Rows(clBlack, 1, 6, 0, 10),
              "..#######.\n"
              "........#.\n"
              "........#.\n"
              "........#.\n"
              "..........\n");
    EXPECT_EQ(s.Rows(clBlack, 10, 15, 10, 15), "#....\n.#...\n..#..\n...#.\n.....\n");

    // In every direction the start pixel is drawn and the end pixel is not.
    const TPoint ends[] = {{15, 10}, {5, 10}, {10, 15}, {10, 5}, {14, 14}, {6, 6}, {14, 6}, {6, 14}, {13, 7}};
    for (const TPoint& e : ends) {
        Surface d;
        d.c.MoveTo(10, 10);
        d.c.LineTo(e.x, e.y);
        EXPECT_EQ(d.bmp.GetPixel(10, 10), clBlack) << e.x << "," << e.y;
        EXPECT_EQ(d.bmp.GetPixel(e.x, e.y), clWhite) << e.x << "," << e.y;
    }

    // A polyline leaves out only its last point.
    Surface t;
    const TPoint pts[3] = {{1, 1}, {5, 1}, {5, 4}};
    t.c.Polyline(pts, 3);
    EXPECT_EQ(t.Rows(clBlack, 1, 5, 0, 7), ".#####.\n.....#.\n.....#.\n.......\n");
}

TEST(Canvas, XorAndNotXorAreUndoneByDrawingTwice) {
    for (TPenMode mode : {pmXor, pmNotXor}) {
        Surface s;
        s.c.Brush().SetColor(0x336699);
        s.c.FillRect(TRect{0, 0, 10, 20});
        std::vector<TColor> before;
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 20; ++x) before.push_back(s.bmp.GetPixel(x, y));
        s.c.Pen().SetMode(mode);
        s.c.Pen().SetColor(0x0F0F0F);
        s.c.Brush().SetStyle(bsClear);
        for (int pass = 0; pass < 2; ++pass) {
            s.c.MoveTo(0, 5);
            s.c.LineTo(19, 12);
            s.c.Rectangle(3, 3, 15, 15);
            s.c.MoveTo(5, 0);
            s.c.LineTo(5, 19);
            if (pass == 0) {
                EXPECT_NE(s.bmp.GetPixel(5, 8), before[8 * 20 + 5]);
                if (mode == pmXor) {
                    EXPECT_EQ(s.bmp.GetPixel(5, 8), 0x336699u ^ 0x0F0F0Fu);
                }
            }
        }
        std::vector<TColor> after;
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 20; ++x) after.push_back(s.bmp.GetPixel(x, y));
        EXPECT_EQ(after, before) << "mode " << mode;
    }
}

TEST(Canvas, NestedClipsRestoreTheOuterClip) {
    Surface s;
    EXPECT_FALSE(s.c.HasClipRegion());
    s.c.PushClip();
    s.c.IntersectClipRect(TRect{2, 2, 10, 10});
    s.c.PushClip();
    s.c.IntersectClipRect(TRect{5, 0, 20, 20});
    EXPECT_EQ(s.c.ClipRegion().BoundingRect(), (TRect{5, 2, 10, 10}));
    s.c.Brush().SetColor(clRed);
    s.c.FillRect(TRect{0, 0, 20, 20});
    EXPECT_EQ(s.Rows(clRed, 1, 3, 0, 12), "............\n.....#####..\n");
    s.c.PopClip();
    EXPECT_EQ(s.c.ClipRegion().BoundingRect(), (TRect{2, 2, 10, 10}));
    s.c.Brush().SetColor(clBlue);
    s.c.FillRect(TRect{0, 0, 20, 20});
    EXPECT_EQ(s.Rows(clBlue, 2, 3, 0, 12), "..########..\n");
    EXPECT_EQ(s.bmp.GetPixel(15, 15), clWhite);  // outside the outer clip
    EXPECT_EQ(s.bmp.GetPixel(3, 3), clBlue);
    s.c.PopClip();
    EXPECT_FALSE(s.c.HasClipRegion());
    s.c.PopClip();  // one too many: no clip, no fault
    EXPECT_FALSE(s.c.HasClipRegion());
    s.c.SetPixel(0, 0, clLime);
    EXPECT_EQ(s.bmp.GetPixel(0, 0), clLime);
}

TEST(Canvas, ClipShapesLimitDrawing) {
    Surface s;
    s.c.IntersectClipEllipse(TRect{0, 0, 20, 20});
    s.c.Brush().SetColor(clRed);
    s.c.FillRect(TRect{0, 0, 20, 20});
    EXPECT_NE(s.bmp.GetPixel(10, 10), clWhite);
    EXPECT_EQ(s.bmp.GetPixel(0, 0), clWhite);
    Surface t;
    const TPoint tri[3] = {{0, 0}, {19, 0}, {0, 19}};
    t.c.IntersectClipPolygon(tri, 3);
    t.c.SetPixel(18, 18, clRed);
    t.c.SetPixel(2, 2, clRed);
    EXPECT_EQ(t.bmp.GetPixel(18, 18), clWhite);
    EXPECT_EQ(t.bmp.GetPixel(2, 2), clRed);
}

TEST(Canvas, DefaultFontMeasuresLikeArial) {
    Surface s;
    s.c.Font().SetName("Arial");
    s.c.Font().SetSize(8);
    EXPECT_EQ(s.c.TextWidth("0123456789"), 61);
    const int h = s.c.TextHeight("W");
    EXPECT_GE(h, 11);
    EXPECT_LE(h, 14);
    EXPECT_EQ(s.c.TextWidth(""), 0);
    // Extra character spacing adds to every character.
    s.c.SetTextCharacterExtra(2);
    EXPECT_EQ(s.c.TextWidth("0123456789"), 81);
    // Widths are kept per font: a change of size or style measures anew, and going back
    // gives the first width again.
    s.c.SetTextCharacterExtra(0);
    const int small = s.c.TextWidth("Wide text");
    s.c.Font().SetSize(16);
    const int big = s.c.TextWidth("Wide text");
    EXPECT_GT(big, small * 3 / 2);
    s.c.Font().SetStyle(fsBold);
    EXPECT_GT(s.c.TextWidth("Wide text"), big);
    s.c.Font().SetStyle(0);
    EXPECT_EQ(s.c.TextWidth("Wide text"), big);
    s.c.Font().SetSize(8);
    EXPECT_EQ(s.c.TextWidth("Wide text"), small);
    EXPECT_EQ(s.c.TextHeight("W"), h);
}

TEST(Canvas, TextAlignmentPlacesTheTextAroundThePoint) {
    auto inkColumns = [](int align) {
        TBitmap bmp(120, 30);
        TCanvas& c = bmp.Canvas();
        c.SetBackgroundMode(TRANSPARENT);
        c.SetTextAlign(align);
        c.TextOut(60, 5, "MMMM");
        int first = -1, last = -1;
        // smoothed glyphs: any dark pixel is ink
        for (int x = 0; x < 120; ++x)
            for (int y = 0; y < 30; ++y)
                if (GetRValue(bmp.GetPixel(x, y)) < 128) {
                    if (first < 0) first = x;
                    last = x;
                }
        return std::pair{first, last};
    };
    EnsureGuiApplication();
    const auto left = inkColumns(TA_LEFT);
    const auto right = inkColumns(TA_RIGHT);
    const auto centre = inkColumns(TA_CENTER);
    EXPECT_GE(left.first, 60);
    EXPECT_LT(right.second, 60);
    EXPECT_LT(centre.first, 60);
    EXPECT_GT(centre.second, 60);
}

TEST(Canvas, OpaqueTextFillsItsBoxWithTheBackgroundColour) {
    Surface s;
    s.c.SetBackgroundMode(OPAQUE);
    s.c.SetBackgroundColor(clYellow);
    s.c.TextOut(1, 1, "i");
    const TSize e = s.c.TextExtent("i");
    EXPECT_EQ(s.bmp.GetPixel(1, 1), clYellow);
    EXPECT_EQ(s.bmp.GetPixel(1, 1 + e.cy - 1), clYellow);
    EXPECT_EQ(s.bmp.GetPixel(1, 1 + e.cy), clWhite);
    Surface t;
    t.c.SetBackgroundMode(TRANSPARENT);
    t.c.TextOut(1, 1, "i");
    EXPECT_EQ(t.bmp.GetPixel(1, 1), clWhite);
}

TEST(Bitmap, SizePixelsAndCopies) {
    TBitmap b;
    EXPECT_TRUE(b.Empty());
    b.Canvas().Rectangle(0, 0, 5, 5);  // nothing to paint on: no effect, no fault
    EXPECT_EQ(b.GetPixel(0, 0), clNone);
    b.SetSize(4, 3);
    EXPECT_EQ(b.GetPixel(3, 2), clWhite);
    b.SetPixel(1, 1, 0x123456);
    EXPECT_EQ(b.GetPixel(1, 1), 0x123456u);
    EXPECT_EQ(b.ScanLine(1)[1], 0xFF563412u);  // 0xFFRRGGBB words
    b.SetPixel(-1, 0, clRed);                  // outside: ignored
    EXPECT_EQ(b.ScanLine(3), nullptr);
    b.SetSize(6, 6);  // content kept
    EXPECT_EQ(b.GetPixel(1, 1), 0x123456u);
    EXPECT_EQ(b.GetPixel(5, 5), clWhite);

    TBitmap target(10, 10);
    target.Canvas().Draw(2, 3, b);
    EXPECT_EQ(target.GetPixel(3, 4), 0x123456u);
    TBitmap copy;
    copy.Assign(&b);
    b.SetPixel(1, 1, clRed);
    EXPECT_EQ(copy.GetPixel(1, 1), 0x123456u);
    target.Canvas().StretchDraw(TRect{0, 0, 10, 10}, copy);
    EXPECT_EQ(target.GetPixel(2, 2), 0x123456u);
}

TEST(Bitmap, WholeBitmapDrawnStaysApartFromItsSource) {
    // A bitmap drawn whole onto another of its size; afterwards each is drawn on by every
    // route (direct lines and boxes, the painter, a fill of the whole, pixel access), and
    // neither may show what was done to the other.
    EnsureGuiApplication();
    TBitmap frame(20, 20), window(20, 20);
    frame.Canvas().Brush().SetColor(clYellow);
    frame.Canvas().FillRect(TRect{0, 0, 20, 20});
    auto present = [&] { window.Canvas().Draw(0, 0, frame); };
    present();
    EXPECT_EQ(window.GetPixel(3, 3), clYellow);

    frame.Canvas().MoveTo(0, 3);
    frame.Canvas().LineTo(20, 3);
    frame.Canvas().Brush().SetColor(clRed);
    frame.Canvas().Rectangle(10, 10, 13, 13);
    EXPECT_EQ(frame.GetPixel(3, 3), clBlack);
    EXPECT_EQ(window.GetPixel(3, 3), clYellow);
    EXPECT_EQ(window.GetPixel(11, 11), clYellow);

    present();
    window.Canvas().Pen().SetStyle(psDot);
    window.Canvas().MoveTo(0, 15);
    window.Canvas().LineTo(20, 15);
    window.ScanLine(16)[0] = 0xFF0000FFu;
    EXPECT_EQ(window.GetPixel(0, 15), clBlack);
    EXPECT_EQ(frame.GetPixel(0, 15), clYellow);
    EXPECT_EQ(frame.GetPixel(0, 16), clYellow);

    // the next frame starts with a fill of the whole bitmap
    present();
    frame.Canvas().Brush().SetColor(clLime);
    frame.Canvas().FillRect(TRect{0, 0, 20, 20});
    EXPECT_EQ(frame.GetPixel(3, 3), clLime);
    EXPECT_EQ(window.GetPixel(3, 3), clBlack);
    EXPECT_EQ(window.GetPixel(11, 11), clRed);

    // a clip that leaves pixels out keeps the old ones under it
    present();
    frame.Canvas().IntersectClipRect(TRect{0, 0, 10, 20});
    frame.Canvas().Brush().SetColor(clBlue);
    frame.Canvas().FillRect(TRect{0, 0, 20, 20});
    EXPECT_EQ(frame.GetPixel(5, 5), clBlue);
    EXPECT_EQ(frame.GetPixel(15, 5), clLime);
    EXPECT_EQ(window.GetPixel(5, 5), clLime);
}

TEST(Canvas, ShapesStayInsideTheirBox) {
    Surface s;
    s.c.Pen().SetColor(clRed);
    s.c.Brush().SetColor(clRed);
    s.c.Ellipse(4, 4, 14, 12);
    s.c.Pie(4, 4, 14, 12, 14, 8, 9, 4);
    s.c.Arc(4, 4, 14, 12, 4, 8, 9, 12);
    s.c.RoundRect(4, 4, 14, 12, 4, 4);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            if (s.bmp.GetPixel(x, y) == clRed) {
                EXPECT_TRUE(x >= 4 && x < 14 && y >= 4 && y < 12) << x << "," << y;
            }
    EXPECT_EQ(s.bmp.GetPixel(9, 8), clRed);
}

TEST(Canvas, PathsStrokeFillAndClip) {
    Surface s;
    s.c.BeginPath();
    s.c.MoveTo(2, 2);
    s.c.LineTo(12, 2);
    s.c.LineTo(12, 12);
    s.c.LineTo(2, 12);
    s.c.CloseFigure();
    s.c.EndPath();
    EXPECT_EQ(s.bmp.GetPixel(5, 2), clWhite);  // building a path draws nothing
    s.c.Brush().SetColor(clBlue);
    s.c.FillPath();
    EXPECT_EQ(s.bmp.GetPixel(7, 7), clBlue);
    s.c.StrokePath();  // the path is gone after use: nothing happens

    Surface t;
    t.c.BeginPath();
    t.c.Rectangle(0, 0, 5, 5);
    t.c.EndPath();
    t.c.ClipToPath();
    t.c.Brush().SetColor(clRed);
    t.c.FillRect(TRect{0, 0, 20, 20});
    EXPECT_EQ(t.bmp.GetPixel(2, 2), clRed);
    EXPECT_EQ(t.bmp.GetPixel(10, 10), clWhite);
}

}  // namespace

namespace {

// Coordinates far outside the bitmap (a series point mapped off screen, a huge zoom) must
// neither hang, nor overflow, nor lose the part that is visible.
TEST(Canvas, FarAwayCoordinatesDrawTheirVisiblePartQuickly) {
    Surface s;
    s.c.MoveTo(-2000000000, 5);
    s.c.LineTo(2000000000, 5);
    EXPECT_EQ(s.Rows(clBlack, 5, 6), "####################\n");
    s.c.MoveTo(10, -2147483647);
    s.c.LineTo(10, 2147483647);
    EXPECT_EQ(s.bmp.GetPixel(10, 0), clBlack);
    EXPECT_EQ(s.bmp.GetPixel(10, 19), clBlack);
    // A steep line through the picture keeps its slope.
    Surface d;
    d.c.MoveTo(-1000000000, -1000000000);
    d.c.LineTo(1000000000, 1000000000);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(d.bmp.GetPixel(i, i), clBlack) << i;
    EXPECT_EQ(d.bmp.GetPixel(1, 0), clWhite);

    Surface w;
    w.c.Pen().SetWidth(3);
    w.c.MoveTo(-2000000000, 10);
    w.c.LineTo(2000000000, 10);
    EXPECT_EQ(w.bmp.GetPixel(0, 10), clBlack);
    EXPECT_EQ(w.bmp.GetPixel(19, 10), clBlack);
    const TPoint zig[3] = {{-2000000000, 0}, {10, 15}, {2000000000, 0}};
    w.c.Polyline(zig, 3);

    Surface f;
    f.c.Brush().SetColor(clRed);
    f.c.Rectangle(-2147483647, -2147483647, 2147483647, 2147483647);
    EXPECT_EQ(f.bmp.GetPixel(0, 0), clRed);
    EXPECT_EQ(f.bmp.GetPixel(19, 19), clRed);
    const TPoint tri[3] = {{-2000000000, 19}, {10, -2000000000}, {2000000000, 19}};
    Surface g;
    g.c.Brush().SetColor(clRed);
    g.c.Pen().SetStyle(psClear);
    g.c.Polygon(tri, 3);
    EXPECT_EQ(g.bmp.GetPixel(10, 10), clRed);
    EXPECT_EQ(g.bmp.GetPixel(0, 18), clRed);
    g.c.Ellipse(-2000000000, -2000000000, 2000000000, 2000000000);
    g.c.TextOut(2000000000, -2000000000, "far");
    g.c.Arc(-2000000000, -5, 2000000000, 5, 0, 0, 1, 1);
}

TEST(Canvas, DashedLinesRunOnAcrossPolylineCorners) {
    Surface s;
    s.c.Pen().SetStyle(psDot);  // 3 on, 3 off
    const TPoint pts[3] = {{0, 2}, {4, 2}, {4, 10}};
    s.c.Polyline(pts, 3);
    EXPECT_EQ(s.Rows(clBlack, 2, 3, 0, 6), "###...\n");
    // The second segment goes on with pattern pixel 4: two off, three on, three off.
    EXPECT_EQ(s.Rows(clBlack, 2, 10, 4, 5), ".\n.\n#\n#\n#\n.\n.\n.\n");
}

// One-pixel lines are written straight into a bitmap of our own where the clip is one
// rectangle, and are left to the paint engine otherwise. Both must set the same pixels:
// each case is drawn twice, once under a clip with a second rectangle far off the bitmap,
// which leaves it to the engine.
TEST(Canvas, LinesWrittenDirectlyMatchThePaintEngine) {
    EnsureGuiApplication();
    std::mt19937 rng(45);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const int farAway[] = {INT_MIN, INT_MIN + 1, -2000000000, -(1 << 24) - 1, 1 << 24, 1000000000, INT_MAX};
    const TPenStyle styles[] = {psSolid, psDash, psDot, psDashDot, psDashDotDot, psAlternate};
    long long pixels = 0;
    for (int round = 0; round < 400; ++round) {
        const int w = pick(1, 64), h = pick(1, 64);
        TBitmap direct(w, h), engine(w, h);
        TCanvas& d = direct.Canvas();
        TCanvas& e = engine.Canvas();
        const bool clipped = round % 3 != 0;
        const TRect r{pick(-10, w), pick(-10, h), pick(-10, w + 10), pick(-10, h + 10)};
        const TRect whole{0, 0, w, h};
        for (TCanvas* c : {&d, &e}) {
            c->BeginPath();
            c->Rectangle(clipped ? r.Left : whole.Left, clipped ? r.Top : whole.Top, clipped ? r.Right : whole.Right,
                         clipped ? r.Bottom : whole.Bottom);
            if (c == &e) c->Rectangle(-1000, -1000, -990, -990);
            c->EndPath();
            if (c == &d && !clipped) continue;
            c->ClipToPath();
        }
        if (clipped && round % 2 == 0) {
            // the same rectangle set the usual way
            const TRect box = d.ClipRegion().BoundingRect();
            d.SelectClipRegion(nullptr);
            d.IntersectClipRect(box);
        }
        for (int item = 0; item < 6; ++item) {
            const TColor colour = static_cast<TColor>(pick(0, 0xFFFFFF));
            const TPenStyle style = styles[pick(0, 5)];
            const int width = pick(0, 1);
            std::vector<TPoint> pts(static_cast<std::size_t>(pick(2, 12)));
            for (TPoint& q : pts) {
                q = TPoint{pick(-20, w + 20), pick(-20, h + 20)};
                if (pick(0, 9) == 0) q.x = farAway[pick(0, 6)];
                if (pick(0, 9) == 0) q.y = farAway[pick(0, 6)];
            }
            const bool segments = pick(0, 2) == 0;
            for (TCanvas* c : {&d, &e}) {
                c->Pen().SetColor(colour);
                c->Pen().SetStyle(style);
                c->Pen().SetWidth(width);
                if (segments) {
                    c->MoveTo(pts[0].x, pts[0].y);
                    for (std::size_t i = 1; i < pts.size(); ++i) c->LineTo(pts[i].x, pts[i].y);
                } else {
                    c->Polyline(pts.data(), static_cast<int>(pts.size()));
                }
            }
        }
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                ASSERT_EQ(direct.GetPixel(x, y), engine.GetPixel(x, y)) << round << ": " << x << "," << y;
        pixels += static_cast<long long>(w) * h;
    }
    EXPECT_GT(pixels, 100000);
}

}  // namespace
