// The drawing canvas on real pixels (where its results are exact) and its projection maths.

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <utility>

#include "GuiApplication.h"
#include "PlotCanvas.h"

namespace {

// A window-sized bitmap and a canvas drawing straight onto it (no buffer).
struct Direct {
    TBitmap window{100, 100};
    TPlotCanvas3D canvas;
    explicit Direct(int w = 100, int h = 100) : window(w, h) {
        EnsureGuiApplication();
        canvas.SetBuffered(false);
        canvas.BeginDrawing(&window.Canvas(), nullptr, TRect{0, 0, w, h}, false, clWhite);
    }
    TCanvas& device() { return *canvas.GetDeviceHandle(); }
    TColor at(int x, int y) const { return window.GetPixel(x, y); }
    // Leftmost column holding the colour, -1 when none.
    int firstColumn(TColor c) const {
        for (int x = 0; x < window.Width(); ++x)
            for (int y = 0; y < window.Height(); ++y)
                if (window.GetPixel(x, y) == c) return x;
        return -1;
    }
    std::pair<int, int> inkColumns(TColor c) const {
        int first = -1, last = -1;
        for (int x = 0; x < window.Width(); ++x)
            for (int y = 0; y < window.Height(); ++y)
                if (window.GetPixel(x, y) == c) {
                    if (first < 0) first = x;
                    last = x;
                }
        return {first, last};
    }
    // Columns holding any pixel other than the background (smoothed glyphs have few pure ones).
    std::pair<int, int> inkColumnsOn(TColor background) const {
        int first = -1, last = -1;
        for (int x = 0; x < window.Width(); ++x)
            for (int y = 0; y < window.Height(); ++y)
                if (window.GetPixel(x, y) != background) {
                    if (first < 0) first = x;
                    last = x;
                }
        return {first, last};
    }
};

TEST(Geometry, SmallHelpers) {
    // (p0 - p1) x (p2 - p1) < 0: clockwise on the screen, whose y grows downward
    EXPECT_TRUE(IsBackFacing(TPoint{0, 0}, TPoint{10, 0}, TPoint{10, 10}));
    EXPECT_FALSE(IsBackFacing(TPoint{10, 10}, TPoint{10, 0}, TPoint{0, 0}));
    EXPECT_FALSE(IsBackFacing(TPoint{0, 0}, TPoint{5, 5}, TPoint{10, 10}));  // a line faces no way
    EXPECT_EQ(RectMidpoint(TRect{-3, -3, 0, 0}), (TPoint{-1, -1}));          // truncated toward zero
    EXPECT_EQ(OrientRect(TRect{10, 8, 2, 4}), (TRect{2, 4, 10, 8}));
    EXPECT_TRUE(RectContainsPoint(TRect{0, 0, 5, 5}, TPoint{0, 4}));
    EXPECT_FALSE(RectContainsPoint(TRect{0, 0, 5, 5}, TPoint{5, 0}));
    const TPoint pts[3] = {{3, 9}, {-2, 4}, {7, 5}};
    EXPECT_EQ(PointsBoundingRect(pts, 3), (TRect{-2, 4, 8, 10}));
    EXPECT_EQ(PointsBoundingRect(pts, 0), TRect{});
    EXPECT_EQ(PointBeforeEnd(TPoint{0, 0}, TPoint{10, 0}, 3), (TPoint{7, 0}));
    EXPECT_EQ(PointBeforeEnd(TPoint{0, 10}, TPoint{0, 0}, 3), (TPoint{0, 3}));
    EXPECT_EQ(PointBeforeEnd(TPoint{0, 0}, TPoint{0, 10}, 3), (TPoint{0, 7}));
    EXPECT_DOUBLE_EQ(Hypotenuse(3, 4), 5.0);
}

TEST(Projection, FlatViewIgnoresDepth) {
    TPlotCanvas3D c;
    TBitmap w(10, 10);
    c.BeginDrawing(&w.Canvas(), nullptr, TRect{0, 0, 10, 10}, false, clWhite);
    c.SetProjectionCenter(50, TRect{0, 0, 10, 10});
    EXPECT_EQ(c.WorldToScreen(3, 4, 0), (TPoint{3, 4}));
    EXPECT_EQ(c.WorldToScreen(3, 4, 99), (TPoint{3, 4}));
    int x = 7, y = 8;
    c.ScreenToWorld(x, y, 30);
    EXPECT_EQ((TPoint{x, y}), (TPoint{7, 8}));
}

TEST(Projection, OrthogonalAnglesAndZoom) {
    struct Case {
        int angle;
        int zoom;
        TPoint expected;
    };
    // Centre (100, 50); the point (30, 40) at depth 10.
    const Case cases[] = {
        {45, 100, {40, 30}},   // x + z, y - z
        {135, 100, {20, 30}},  // the x shift turns round
        {90, 100, {40, 30}},   // cosine below 0.01: slope 1
        {45, 50, {70, 40}},    // half the distance from the centre
    };
    for (const Case& k : cases) {
        TView3DOptions o;
        o.SetOrthoAngle(k.angle);
        o.SetZoom(k.zoom);
        TPlotCanvas3D c;
        TBitmap w(200, 100);
        c.BeginDrawing(&w.Canvas(), &o, TRect{0, 0, 200, 100}, true, clWhite);
        c.SetProjectionCenter(40, TRect{0, 0, 200, 100});
        EXPECT_EQ(c.CenterX, 100);
        EXPECT_EQ(c.CenterY, 50);
        EXPECT_EQ(c.CenterZ, 20);
        EXPECT_EQ(c.WorldToScreen(30, 40, 10), k.expected) << k.angle << " " << k.zoom;
        int x = k.expected.x, y = k.expected.y;
        c.ScreenToWorld(x, y, 10);
        EXPECT_EQ((TPoint{x, y}), (TPoint{30, 40})) << k.angle << " " << k.zoom;
    }
    // Offsets move the screen centre only.
    TView3DOptions o;
    o.SetHorizOffset(5);
    o.SetVertOffset(-7);
    TPlotCanvas3D c;
    TBitmap w(200, 100);
    c.BeginDrawing(&w.Canvas(), &o, TRect{0, 0, 200, 100}, true, clWhite);
    c.SetProjectionCenter(0, TRect{0, 0, 200, 100});
    EXPECT_EQ(c.WorldToScreen(100, 50, 0), (TPoint{105, 43}));
}

TEST(Projection, RotatedViewAndPerspectiveFactor) {
    TView3DOptions o;
    o.SetOrthogonal(false);
    o.SetRotation(360);
    o.SetElevation(360);
    o.SetPerspective(0);
    TPlotCanvas3D c;
    TBitmap w(600, 300);
    c.BeginDrawing(&w.Canvas(), &o, TRect{0, 0, 600, 300}, true, clWhite);
    c.SetProjectionCenter(100, TRect{0, 0, 600, 300});
    EXPECT_FALSE(c.IsPerspective);
    // Looking straight on, depth does not move a point and the inverse is exact.
    EXPECT_EQ(c.WorldToScreen(120, 80, 70), (TPoint{120, 80}));
    int x = 120, y = 80;
    c.ScreenToWorld(x, y, 70);
    EXPECT_EQ((TPoint{x, y}), (TPoint{120, 80}));

    o.SetRotation(345);
    o.SetElevation(345);
    o.SetPerspective(15);
    c.BeginDrawing(&w.Canvas(), &o, TRect{0, 0, 600, 300}, true, clWhite);
    c.SetProjectionCenter(100, TRect{0, 0, 600, 300});
    EXPECT_TRUE(c.IsPerspective);
    EXPECT_DOUBLE_EQ(c.PerspectiveScale, 15.0 * 1.0 * (1.0 / 150.0) / 600.0);
    EXPECT_GE(c.CoefB, 1e-5);
    EXPECT_GE(c.CoefC, 1e-5);
    // The centre of projection stays put whatever the rotation.
    EXPECT_EQ(c.WorldToScreen(300, 150, 50), (TPoint{300, 150}));

    // A zero-width rectangle keeps perspective off instead of dividing by zero.
    c.SetProjectionCenter(100, TRect{5, 0, 5, 300});
    EXPECT_FALSE(c.IsPerspective);

    o.SetZoom(0);
    c.BeginDrawing(&w.Canvas(), &o, TRect{0, 0, 600, 300}, true, clWhite);
    x = 11;
    y = 12;
    c.ScreenToWorld(x, y, 0);  // zoom 0: left unchanged
    EXPECT_EQ((TPoint{x, y}), (TPoint{11, 12}));
}

TEST(PlotCanvas, FrontPlaneBracketDrawsFlat) {
    TView3DOptions o;
    TPlotCanvas3D c;
    TBitmap w(200, 100);
    c.BeginDrawing(&w.Canvas(), &o, TRect{0, 0, 200, 100}, true, clWhite);
    c.SetProjectionCenter(40, TRect{0, 0, 200, 100});
    EXPECT_NE(c.WorldToScreen(30, 40, 10), (TPoint{30, 40}));
    c.BeginFrontPlane();
    EXPECT_EQ(c.WorldToScreen(30, 40, 10), (TPoint{30, 40}));
    c.EndFrontPlane();
    EXPECT_NE(c.WorldToScreen(30, 40, 10), (TPoint{30, 40}));
}

TEST(PlotCanvas, VerticalGradientPaintsAtMost256Bands) {
    Direct d(10, 300);
    d.canvas.FillGradient(TRect{0, 0, 10, 300}, 0x000000, 50, gdTopBottom, 0x0000FF);
    std::set<TColor> colours;
    for (int y = 0; y < 300; ++y) colours.insert(d.at(5, y));
    EXPECT_EQ(colours.size(), 256u);
    EXPECT_EQ(d.at(5, 299), 0x000000u);  // band 0, the first colour, at the bottom
    EXPECT_EQ(d.at(5, 0), 0x0000FFu);
    // Band i covers rows height * i / 256 to height * (i + 1) / 256 up from the bottom.
    EXPECT_EQ(d.at(5, 298), 0x000001u);
    EXPECT_EQ(d.at(5, 297), 0x000002u);
    EXPECT_EQ(d.at(5, 296), 0x000003u);
    EXPECT_EQ(d.at(5, 294), 0x000005u);  // band 5 spans 300 * 5 / 256 = 5 to 300 * 6 / 256 = 7
    EXPECT_EQ(d.at(5, 293), 0x000005u);

    // Bottom-to-top swaps the colours.
    Direct e(10, 40);
    e.canvas.FillGradient(TRect{0, 0, 10, 40}, 0x000000, 50, gdBottomTop, 0x0000FF);
    EXPECT_EQ(e.at(5, 39), 0x0000FFu);
    EXPECT_EQ(e.at(5, 0), 0x000000u);
}

TEST(PlotCanvas, HorizontalGradientCountsFromTheRight) {
    Direct d(20, 5);
    d.canvas.FillGradient(TRect{0, 0, 20, 5}, 0x000000, 50, gdLeftRight, 0x0000FF);
    EXPECT_EQ(d.at(19, 2), 0x000000u);  // band 0 at the right edge
    EXPECT_EQ(d.at(0, 2), 0x0000FFu);
    // Band i of k = 20: start + i * 255 / 19.
    EXPECT_EQ(d.at(18, 2), static_cast<TColor>(255 / 19));
    // Balance other than 50 follows the power curve.
    Direct b(20, 5);
    b.canvas.FillGradient(TRect{0, 0, 20, 5}, 0x000000, 80, gdLeftRight, 0x0000C8);
    const double f = std::pow(1.0 / 20.0, 80 * 0.015 + 0.5);
    EXPECT_EQ(b.at(19, 2), static_cast<TColor>(std::nearbyint(200 * f)));
}

TEST(PlotCanvas, DegenerateGradientsPaintNothingOrOneColour) {
    const TGradientDirection all[] = {gdTopBottom,  gdBottomTop,   gdLeftRight,      gdRightLeft,
                                      gdFromCenter, gdFromTopLeft, gdFromBottomLeft, gdRadial};
    for (TGradientDirection dir : all) {
        Direct d(6, 6);
        d.canvas.FillGradient(TRect{2, 2, 2, 5}, clRed, 50, dir, clBlue);  // empty
        d.canvas.FillGradient(TRect{2, 2, 8, 2}, clRed, 30, dir, clBlue);  // empty
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 6; ++x) ASSERT_EQ(d.at(x, y), clWhite) << dir;
        d.canvas.FillGradient(TRect{3, 3, 4, 4}, clRed, 50, dir, clBlue);  // 1 x 1
        d.canvas.FillGradient(TRect{3, 3, 4, 4}, clRed, 70, dir, clBlue);
        EXPECT_EQ(d.at(2, 3), clWhite);
        EXPECT_EQ(d.at(4, 3), clWhite);
    }
    // One pixel high: no vertical bands at all.
    Direct one(10, 10);
    one.canvas.FillGradient(TRect{0, 4, 10, 5}, clRed, 50, gdTopBottom, clBlue);
    EXPECT_EQ(one.at(5, 4), clWhite);
}

TEST(PlotCanvas, OtherGradientsRunFromEdgeToCentre) {
    Direct c(21, 21);
    c.canvas.FillGradient(TRect{0, 0, 21, 21}, 0x0000FF, 50, gdFromCenter, 0x000000);
    EXPECT_EQ(c.at(0, 0), 0x000000u);  // colours swapped: the outer ring takes the end colour
    EXPECT_EQ(c.at(10, 10), 0x0000FFu);
    EXPECT_LT(c.at(5, 10), c.at(8, 10));

    Direct t(10, 10);
    t.canvas.FillGradient(TRect{0, 0, 10, 10}, 0x0000FF, 50, gdFromTopLeft, 0x000000);
    EXPECT_EQ(t.at(0, 0), 0x000000u);
    EXPECT_EQ(t.at(3, 4), t.at(4, 3));  // anti-diagonals share a colour
    EXPECT_GT(t.at(9, 9), t.at(5, 5));
    Direct b(10, 10);
    b.canvas.FillGradient(TRect{0, 0, 10, 10}, 0x0000FF, 50, gdFromBottomLeft, 0x000000);
    EXPECT_EQ(b.at(0, 9), 0x000000u);

    Direct r(41, 41);
    r.canvas.FillGradient(TRect{0, 0, 41, 41}, 0x0000FF, 50, gdRadial, 0x000000);
    EXPECT_EQ(r.at(0, 0), 0x000000u);  // the end colour outside the circle
    // Inner ellipses shrink to nothing, so the centre holds the colour of the last visible step.
    EXPECT_GE(r.at(21, 21), 0x0000F0u);
    EXPECT_LE(r.at(21, 21), 0x0000FFu);
    EXPECT_FALSE(r.device().HasClipRegion());  // the radial fill removes its clip
}

TEST(PlotCanvas, DarkenBrushLowersEachByteAndStopsAtZero) {
    EXPECT_EQ(DarkenColor(0x40FF80, 64), 0x00BF40u);
    EXPECT_EQ(DarkenColor(0x414040, 64), 0x010000u);
    EXPECT_EQ(DarkenColor(clBtnFace, 16), 0xE0E0E0u);  // system colours resolve first
    Direct d(10, 10);
    d.device().Brush().SetStyle(bsSolid);
    d.canvas.DarkenBrush(0x40FF80, 64);
    EXPECT_EQ(d.device().Brush().Color(), 0x00BF40u);
    d.device().Pen().SetStyle(psClear);
    d.canvas.FillRectangle(TRect{0, 0, 10, 10});
    EXPECT_EQ(d.at(4, 4), 0x00BF40u);
    // A hatched brush keeps its colour; the background colour takes the dark colour.
    d.device().Brush().SetStyle(bsCross);
    d.canvas.DarkenBrush(0xFFFFFF, 128);
    EXPECT_EQ(d.device().Brush().Color(), 0x00BF40u);
    EXPECT_EQ(d.device().BackgroundColor(), 0x7F7F7Fu);
}

TEST(PlotCanvas, BlendMixesSavedAndNewPixels) {
    struct Case {
        int percent;
        TColor before, drawn, expected;
    };
    const Case cases[] = {
        {100, 0x0000FF, 0xFF0000, 0x0000FF},  // all of what was there
        {0, 0x0000FF, 0xFF0000, 0xFF0000},    // the drawing as drawn
        {50, 0x000000, 0x0000C8, 0x000064},   // 200 + 50 * (0 - 200) / 100
        {30, 0x0A0A0A, 0x000000, 0x030303},   // 0 + 30 * 10 / 100
        {0, 0x000000, 0xFFFFFF, 0xFFFFFE},    // pure white is nudged to 254 red first
    };
    for (const Case& k : cases) {
        Direct d(20, 20);
        d.device().Pen().SetStyle(psClear);
        d.device().Brush().SetColor(k.before);
        d.canvas.FillRectangle(TRect{0, 0, 20, 20});
        std::unique_ptr<TPlotBlend> blend = d.canvas.BeginTransparency(TRect{5, 5, 15, 15}, k.percent);
        d.device().Brush().SetColor(k.drawn);
        d.canvas.FillRectangle(TRect{0, 0, 20, 20});
        d.canvas.EndTransparency(std::move(blend));
        EXPECT_EQ(d.at(10, 10), k.expected) << k.percent;
        EXPECT_EQ(d.at(2, 2), ColorToRGB(k.drawn));  // outside the blend: as drawn
    }
    // Less than 2 x 2 of overlap, or nothing to capture: the drawing stays as it is.
    Direct d(20, 20);
    std::unique_ptr<TPlotBlend> thin = d.canvas.BeginTransparency(TRect{5, 5, 15, 6}, 100);
    d.device().Brush().SetColor(clRed);
    d.canvas.FillRectangle(TRect{0, 0, 20, 20});
    d.canvas.EndTransparency(std::move(thin));
    EXPECT_EQ(d.at(8, 5), clRed);
    std::unique_ptr<TPlotBlend> empty = d.canvas.BeginTransparency(TRect{-10, -10, -2, -2}, 100);
    EXPECT_FALSE(empty->Valid());
    d.canvas.EndTransparency(std::move(empty));
    std::unique_ptr<TPlotBlend> edge =
        d.canvas.BeginTransparency(TRect{-5, 15, 5, 40}, 100);  // clamped and cut at the edge
    EXPECT_EQ(edge->BlendRect(), (TRect{0, 15, 5, 40}));
    d.device().Brush().SetColor(clBlue);
    d.canvas.FillRectangle(TRect{0, 0, 20, 20});
    d.canvas.EndTransparency(std::move(edge));
    EXPECT_EQ(d.at(2, 17), clRed);
    EXPECT_EQ(d.at(8, 17), clBlue);
}

TEST(PlotCanvas, BevelFrameRingsAndInsetRect) {
    Direct d(30, 30);
    TRect r{10, 10, 20, 20};
    d.canvas.DrawBevelFrame(r, clRed, 2, clBlue);
    EXPECT_EQ(r, (TRect{12, 12, 18, 18}));
    EXPECT_EQ(d.at(10, 10), clRed);
    EXPECT_EQ(d.at(18, 10), clRed);
    EXPECT_EQ(d.at(19, 10), clBlue);  // the top-right corner belongs to the second colour
    EXPECT_EQ(d.at(19, 19), clBlue);
    EXPECT_EQ(d.at(10, 19), clBlue);
    EXPECT_EQ(d.at(10, 18), clRed);
    EXPECT_EQ(d.at(11, 11), clRed);  // second ring
    EXPECT_EQ(d.at(18, 18), clBlue);
    EXPECT_EQ(d.at(12, 12), clWhite);
    EXPECT_EQ(d.at(20, 20), clWhite);
}

TEST(PlotCanvas, SelectPenRealisesChartPens) {
    Direct d;
    TChartPen pen;
    pen.SetColor(clRed);
    pen.SetWidth(3);
    pen.SetEndStyle(esFlat);
    d.canvas.SelectPen(pen);
    EXPECT_EQ(d.device().Pen().Color(), clRed);
    EXPECT_EQ(d.device().Pen().Width(), 3);
    EXPECT_EQ(d.device().Pen().Cap(), pcFlat);
    d.canvas.SelectPen(pen, clLime);
    EXPECT_EQ(d.device().Pen().Color(), clLime);

    pen.SetVisible(false);  // clear, whatever its width and colour
    d.canvas.SelectPen(pen);
    EXPECT_EQ(d.device().Pen().Style(), psClear);
    EXPECT_EQ(d.device().Pen().Color(), clLime);

    TChartPen dots;
    dots.SetSmallDots(true);
    dots.SetWidth(4);
    d.canvas.SelectPen(dots);
    EXPECT_EQ(d.device().Pen().Style(), psAlternate);
    EXPECT_EQ(d.device().Pen().Width(), 1);
    d.canvas.DrawHorizontalLine(0, 10, 50);
    EXPECT_EQ(d.at(0, 50), clBlack);
    EXPECT_EQ(d.at(1, 50), clWhite);
    EXPECT_EQ(d.at(2, 50), clBlack);

    d.canvas.SetMonochrome(true);
    d.canvas.SelectPen(pen.Visible() ? pen : dots, clRed);
    EXPECT_EQ(d.device().Pen().Color(), clBlack);
}

TEST(PlotCanvas, SelectBrushAndFont) {
    Direct d;
    TChartBrush brush;
    brush.SetColor(clRed);
    brush.SetStyle(bsCross);
    d.canvas.SelectBrush(brush);
    EXPECT_EQ(d.device().Brush().Color(), clRed);
    EXPECT_EQ(d.device().Brush().Style(), bsCross);
    EXPECT_EQ(d.canvas.GetBackgroundMode(), TRANSPARENT);
    d.canvas.SelectBrush(brush, clBlue, clYellow);
    EXPECT_EQ(d.device().Brush().Color(), clBlue);
    EXPECT_EQ(d.canvas.GetBackgroundMode(), OPAQUE);
    EXPECT_EQ(d.canvas.GetBackgroundColor(), clYellow);

    TPlotFont font;
    font.SetSize(10);
    font.SetInterCharSize(2);
    font.SetColor(clNavy);
    d.canvas.SetTextScalePercent(200);
    d.canvas.SelectFont(font);
    EXPECT_EQ(d.device().Font().Size(), 20);
    EXPECT_EQ(d.device().Font().Color(), clNavy);
    EXPECT_EQ(d.device().TextCharacterExtra(), 2);
    EXPECT_EQ(d.canvas.CurrentFont(), &font);
    EXPECT_EQ(font.Canvas(), &d.canvas);
    EXPECT_EQ(font.Size(), 10);  // the font itself is untouched
}

// A colour that names none ("none", "the owner's colour") paints nothing; it must not
// reach the window as the black of its low bytes.
TEST(PlotCanvas, ColoursThatNameNoColourPaintNothing) {
    for (TColor special : {clDefault, clNone}) {
        SCOPED_TRACE(special);
        Direct d;
        TChartBrush brush;
        brush.SetColor(special);
        TChartPen pen;
        pen.SetColor(special);
        d.canvas.SelectBrush(brush);
        d.canvas.SelectPen(pen);
        d.canvas.DrawRectangle(TRect{10, 10, 40, 40});
        d.canvas.DrawHorizontalLine(0, 90, 60);
        for (TPoint p : {TPoint{10, 10}, TPoint{25, 25}, TPoint{39, 39}, TPoint{45, 60}})
            EXPECT_EQ(d.at(p.x, p.y), clWhite);
        // a real colour afterwards paints again
        brush.SetColor(clRed);
        pen.SetColor(clBlue);
        d.canvas.SelectBrush(brush);
        d.canvas.SelectPen(pen);
        d.canvas.DrawRectangle(TRect{10, 10, 40, 40});
        EXPECT_EQ(d.at(25, 25), clRed);
        EXPECT_EQ(d.at(10, 25), clBlue);
    }
}

TEST(PlotCanvas, NestedClipsUnwindOneAtATime) {
    Direct d(40, 40);
    d.canvas.ClipToRectangle(TRect{0, 0, 20, 20});
    d.canvas.ClipToRectangle(TRect{10, 10, 40, 40});
    d.device().Brush().SetColor(clRed);
    d.canvas.FillRectangle(TRect{0, 0, 40, 40});
    EXPECT_EQ(d.at(15, 15), clRed);
    EXPECT_EQ(d.at(5, 5), clWhite);
    d.canvas.RemoveClipping();  // back to the first clip, not to none
    d.device().Brush().SetColor(clBlue);
    d.canvas.FillRectangle(TRect{0, 0, 40, 40});
    EXPECT_EQ(d.at(5, 5), clBlue);
    EXPECT_EQ(d.at(30, 30), clWhite);
    d.canvas.RemoveClipping();
    d.canvas.FillRectangle(TRect{0, 0, 40, 40});
    EXPECT_EQ(d.at(30, 30), clBlue);
    d.canvas.RemoveClipping();  // unbalanced: harmless
    EXPECT_FALSE(d.device().HasClipRegion());

    // A 2D cube clip leaves a one-pixel margin on three sides.
    Direct c(20, 20);
    c.canvas.ClipToCube(TRect{2, 2, 12, 12}, 0, 10);
    c.device().Brush().SetColor(clRed);
    c.canvas.FillRectangle(TRect{0, 0, 20, 20});
    EXPECT_EQ(c.at(2, 5), clWhite);
    EXPECT_EQ(c.at(3, 3), clRed);
    EXPECT_EQ(c.at(11, 10), clRed);
    EXPECT_EQ(c.at(11, 11), clWhite);
    c.canvas.RemoveClipping();
    EXPECT_FALSE(c.device().HasClipRegion());
}

TEST(PlotCanvas, TextShadowAndMeasuring) {
    Direct d(120, 60);
    TPlotFont font;
    font.SetSize(20);
    font.Shadow().SetColor(clRed);
    font.Shadow().SetHorizSize(-3);
    d.canvas.SelectFont(font);
    d.canvas.SetBackgroundMode(TRANSPARENT);
    d.canvas.WriteText(20, 10, "l");
    const int shadow = d.firstColumn(clRed);
    const int text = d.firstColumn(clBlack);
    ASSERT_GE(shadow, 0);
    ASSERT_GE(text, 0);
    EXPECT_EQ(text - shadow, 3);  // the shadow stays at x, the text moves right

    Direct e(120, 60);
    font.Shadow().SetHorizSize(4);
    e.canvas.SelectFont(font);
    e.canvas.SetBackgroundMode(TRANSPARENT);
    e.canvas.WriteText(20, 10, "l");
    EXPECT_EQ(e.firstColumn(clRed) - e.firstColumn(clBlack), 4);

    const int plain = e.device().TextWidth("abc");
    EXPECT_EQ(e.canvas.MeasureTextWidth("abc"), plain + 4);
    font.Shadow().SetHorizSize(-6);
    font.Shadow().SetVertSize(-2);
    EXPECT_EQ(e.canvas.MeasureTextWidth("abc"), plain + 6);
    EXPECT_EQ(e.canvas.MeasureTextHeight("abc"), e.device().TextHeight("abc") + 2);
    EXPECT_EQ(e.canvas.TextLineHeight(), e.device().TextHeight("W") + 2);
}

TEST(PlotCanvas, FontsAndCanvasesMayBeFreedInEitherOrder) {
    Direct d(60, 30);
    {
        TPlotFont font;
        font.Shadow().SetHorizSize(5);
        d.canvas.SelectFont(font);
        EXPECT_EQ(d.canvas.CurrentFont(), &font);
    }
    EXPECT_EQ(d.canvas.CurrentFont(), nullptr);
    d.canvas.WriteText(5, 5, "x");  // draws with the device font only
    EXPECT_EQ(d.canvas.MeasureTextWidth("x"), d.device().TextWidth("x"));

    TPlotFont font;
    {
        Direct e(10, 10);
        e.canvas.SelectFont(font);
        EXPECT_EQ(font.Canvas(), &e.canvas);
    }
    EXPECT_EQ(font.Canvas(), nullptr);
}

TEST(PlotCanvas, OutlinedAndGradientText) {
    Direct d(120, 60);
    TPlotFont font;
    font.SetSize(24);
    font.SetStyle(fsBold);
    font.OutLine().SetVisible(true);
    font.OutLine().SetColor(clBlue);
    font.SetColor(clRed);
    d.canvas.SelectFont(font);
    d.canvas.WriteText(10, 10, "H");
    EXPECT_GE(d.firstColumn(clBlue), 0);
    EXPECT_GE(d.firstColumn(clRed), 0);
    EXPECT_FALSE(d.device().HasClipRegion());

    Direct g(120, 60);
    TPlotFont gf;
    gf.SetSize(24);
    gf.SetStyle(fsBold);
    gf.Gradient().SetVisible(true);
    gf.Gradient().SetStartColor(clLime);
    gf.Gradient().SetEndColor(clLime);
    g.canvas.SelectFont(gf);
    g.canvas.WriteText(10, 10, "H");
    const auto ink = g.inkColumns(clLime);
    EXPECT_GE(ink.first, 10);  // the gradient is clipped to the letter
    EXPECT_LT(ink.second, 10 + g.device().TextWidth("H"));
    EXPECT_FALSE(g.device().HasClipRegion());
}

TEST(PlotCanvas, ZoomedTextScalesThePointSize) {
    auto inkWidth = [](int zoom, int size) {
        TView3DOptions o;
        o.SetZoom(zoom);
        Direct d(200, 60);
        d.canvas.BeginDrawing(&d.window.Canvas(), &o, TRect{0, 0, 200, 60}, true, clWhite);
        d.canvas.SetProjectionCenter(0, TRect{0, 0, 200, 60});
        TPlotFont font;
        font.SetSize(size);
        d.canvas.SelectFont(font);
        d.canvas.SetBackgroundMode(TRANSPARENT);
        d.canvas.WriteText3D(100, 30, "MMMM", 0);
        EXPECT_EQ(d.device().Font().Size(), size);  // restored after
        const auto ink = d.inkColumnsOn(clWhite);
        return ink.first < 0 ? 0 : ink.second - ink.first + 1;
    };
    EXPECT_EQ(inkWidth(50, 16), inkWidth(100, 8));
    EXPECT_GT(inkWidth(50, 1), 0);  // never below one point
}

TEST(PlotCanvas, BufferCycle) {
    EnsureGuiApplication();
    TBitmap window(80, 60);
    TPlotCanvas3D c;
    EXPECT_TRUE(c.GetBuffered());
    EXPECT_TRUE(c.Dirty());
    EXPECT_FALSE(c.RepaintFromBuffer());  // nothing drawn yet
    const TRect r = c.BeginDrawing(&window.Canvas(), nullptr, TRect{10, 10, 60, 50}, false, clWhite);
    EXPECT_EQ(r, (TRect{0, 0, 50, 40}));
    c.GetDeviceHandle()->Brush().SetColor(clRed);
    c.GetDeviceHandle()->Pen().SetStyle(psClear);
    c.FillRectangle(r);
    EXPECT_EQ(window.GetPixel(20, 20), clWhite);  // still off screen
    c.PresentBuffer(&window.Canvas(), &window.Canvas(), TPoint{10, 10});
    EXPECT_FALSE(c.Dirty());
    EXPECT_EQ(window.GetPixel(10, 10), clRed);
    EXPECT_EQ(window.GetPixel(59, 49), clRed);
    EXPECT_EQ(window.GetPixel(60, 50), clWhite);
    EXPECT_EQ(c.GetDeviceHandle(), &window.Canvas());

    window.Canvas().Brush().SetColor(clBlue);
    window.Canvas().FillRect(TRect{0, 0, 80, 60});
    EXPECT_TRUE(c.RepaintFromBuffer());  // a clean buffer repaints with one copy
    EXPECT_EQ(window.GetPixel(5, 5), clRed);
    c.MarkDirty();
    EXPECT_FALSE(c.RepaintFromBuffer());

    // The bitmap is reused by the next paint and only resized.
    const TBitmap* bitmap = c.Bitmap();
    c.BeginDrawing(&window.Canvas(), nullptr, TRect{0, 0, 30, 20}, false, clWhite);
    EXPECT_EQ(c.Bitmap(), bitmap);
    EXPECT_EQ(bitmap->Width(), 30);

    c.SetBuffered(false);
    EXPECT_EQ(c.Bitmap(), nullptr);
    EXPECT_TRUE(c.Dirty());
    c.FillRectangle(TRect{0, 0, 5, 5});  // no target left: nothing, no fault
    const TRect direct = c.BeginDrawing(&window.Canvas(), nullptr, TRect{10, 10, 60, 50}, false, clWhite);
    EXPECT_EQ(direct, (TRect{10, 10, 60, 50}));
    EXPECT_EQ(c.GetDeviceHandle(), &window.Canvas());

    c.SetMonochrome(true);
    EXPECT_TRUE(c.GetMonochrome());
    TPlotCanvas3D other;
    other.CopySettings(c);
    EXPECT_TRUE(other.GetMonochrome());
}

TEST(PlotCanvas, FlatShapesAndArrows) {
    Direct d(100, 100);
    d.device().Pen().SetColor(clRed);
    d.device().Brush().SetColor(clRed);
    d.canvas.DrawEllipse3D(10, 10, 20, 20, 0);  // one pixel larger than the corners
    EXPECT_EQ(d.at(20, 15), clRed);
    EXPECT_EQ(d.at(21, 15), clWhite);
    d.canvas.DrawHorizontalLine(30, 40, 5);
    EXPECT_EQ(d.at(39, 5), clRed);
    EXPECT_EQ(d.at(40, 5), clWhite);

    Direct a(100, 100);
    a.device().Pen().SetColor(clBlue);
    a.device().Brush().SetColor(clBlue);
    a.canvas.DrawArrow(true, TPoint{10, 50}, TPoint{90, 50}, 20, 10, 0);
    EXPECT_EQ(a.at(85, 50), clBlue);
    EXPECT_EQ(a.at(82, 44), clBlue);  // the head is wider than the shaft
    EXPECT_EQ(a.at(30, 44), clWhite);
    EXPECT_EQ(a.at(30, 47), clBlue);
    Direct z(20, 20);
    z.canvas.DrawArrow(true, TPoint{5, 5}, TPoint{5, 5}, 20, 10, 0);  // no length: nothing
    EXPECT_EQ(z.firstColumn(clBlack), -1);

    Direct s(40, 40);
    s.device().Brush().SetColor(clRed);
    s.canvas.DrawDonutSlice(20, 20, 50, 0.0, 3.14159265358979 / 2, 15, 15);
    EXPECT_EQ(s.at(30, 13), clRed);    // in the ring, upper right quarter
    EXPECT_EQ(s.at(22, 18), clWhite);  // in the hole
    EXPECT_EQ(s.at(10, 30), clWhite);  // other quarter
}

}  // namespace

namespace {

TEST(PlotCanvas, RotatedTextTurnsAboutItsPoint) {
    Direct d(100, 100);
    TPlotFont font;
    font.SetSize(14);
    d.canvas.SelectFont(font);
    d.canvas.WriteRotatedText(50, 80, 90, "MMMM");  // reads upwards from (50, 80)
    int top = -1, bottom = -1;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x)
            if (d.at(x, y) == clBlack) {
                if (top < 0) top = y;
                bottom = y;
            }
    ASSERT_GE(top, 0);
    EXPECT_LE(bottom, 80);
    EXPECT_GT(80 - top, 30);                        // the text's length runs up the page
    EXPECT_EQ(d.device().Font().Orientation(), 0);  // the device font comes back level
    EXPECT_EQ(d.device().Brush().Style(), bsSolid);
}

TEST(PlotCanvas, GradientObjectOnAMonochromeCanvasAndOnFourPoints) {
    Direct d(20, 20);
    d.canvas.SetMonochrome(true);
    TPlotGradient g;
    g.SetStartColor(RGB(30, 60, 90));
    g.SetEndColor(RGB(30, 60, 90));
    g.Draw(d.canvas, TRect{0, 0, 20, 20});
    EXPECT_EQ(d.at(10, 10), RGB(60, 60, 60));  // grey = (R + G + B) / 3

    Direct q(40, 40);
    TPlotGradient red;
    red.SetStartColor(clRed);
    red.SetEndColor(clRed);
    const TPoint corners[4] = {{5, 5}, {30, 5}, {30, 30}, {5, 30}};
    red.Draw(q.canvas, corners, 0);
    EXPECT_EQ(q.at(10, 10), clRed);
    EXPECT_EQ(q.at(35, 35), clWhite);  // clipped to the quadrilateral
    EXPECT_FALSE(q.device().HasClipRegion());
}

TEST(PlotCanvas, TransparentTextShadowIsBlended) {
    Direct d(120, 60);
    TPlotFont font;
    font.SetSize(24);
    font.SetStyle(fsBold);
    font.Shadow().SetColor(clBlack);
    font.Shadow().SetHorizSize(6);
    font.Shadow().SetVertSize(6);
    font.Shadow().SetTransparency(50);
    font.SetColor(clRed);
    d.canvas.SelectFont(font);
    d.canvas.SetBackgroundMode(TRANSPARENT);
    d.canvas.WriteText(10, 5, "I");
    // Half-transparent black over white lands half-way.
    bool halfGrey = false;
    for (int y = 0; y < 60 && !halfGrey; ++y)
        for (int x = 0; x < 120 && !halfGrey; ++x) halfGrey = d.at(x, y) == RGB(127, 127, 127);
    EXPECT_TRUE(halfGrey);
    EXPECT_GE(d.firstColumn(clRed), 0);
}

}  // namespace

namespace {

// Huge rectangles (a zoomed-in chart) fill only what is visible, in bounded time.
TEST(PlotCanvas, HugeGradientsAndBlendsStayBounded) {
    const TGradientDirection all[] = {gdTopBottom,   gdLeftRight,      gdFromCenter,
                                      gdFromTopLeft, gdFromBottomLeft, gdRadial};
    for (TGradientDirection dir : all) {
        Direct d(30, 30);
        d.canvas.FillGradient(TRect{-2147483647, -2147483647, 2147483647, 2147483647}, clRed, 50, dir, clBlue);
        d.canvas.FillGradient(TRect{-1000000000, 10, 20, 20}, clRed, 60, dir, clBlue);
        EXPECT_NE(d.at(15, 15), clWhite) << dir;
    }
    Direct e(30, 30);
    std::unique_ptr<TPlotBlend> blend = e.canvas.BeginTransparency(TRect{0, 0, 2000000000, 2000000000}, 100);
    EXPECT_TRUE(blend->Valid());
    e.device().Brush().SetColor(clRed);
    e.canvas.FillRectangle(TRect{0, 0, 30, 30});
    e.canvas.EndTransparency(std::move(blend));
    EXPECT_EQ(e.at(29, 29), clWhite);
}

}  // namespace
