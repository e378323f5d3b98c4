// Small convex polygons go straight into the image; what that draws must match what the
// painter draws for the same polygon, and clips and concave shapes stay with the painter.

#include <gtest/gtest.h>

#include <vector>

#include "Graphics.h"
#include "GuiApplication.h"

namespace {

struct Board {
    TBitmap bmp{60, 60};
    TCanvas& c = bmp.Canvas();
    Board() {
        EnsureGuiApplication();
        c.Brush().SetColor(clWhite);
        c.FillRect(TRect{0, 0, 60, 60});
        c.Pen().SetColor(clBlack);
        c.Brush().SetColor(clRed);
    }
    int Count(TColor color) const {
        int n = 0;
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 60; ++x) n += bmp.GetPixel(x, y) == color;
        return n;
    }
};

TEST(ConvexFill, FacesMatchThePaintersPolygonClosely) {
    const std::vector<std::vector<TPoint>> shapes = {
        {{10, 10}, {40, 12}, {25, 40}},            // triangle
        {{10, 30}, {30, 10}, {50, 30}, {30, 50}},  // diamond
        {{5, 40}, {35, 40}, {45, 30}, {15, 30}},   // the top face of a box
        {{20, 20}, {20, 20}, {40, 20}, {40, 45}},  // two equal corners
    };
    for (const auto& shape : shapes) {
        SCOPED_TRACE(shape.size());
        Board fast, painter;
        fast.c.Polygon(shape.data(), static_cast<int>(shape.size()));
        // a clip that holds everything but is no single rectangle sends the polygon to the painter
        const TPoint wide[5] = {{-100, -100}, {200, -100}, {200, 200}, {-100, 200}, {-120, 50}};
        painter.c.IntersectClipPolygon(wide, 5);
        painter.c.Polygon(shape.data(), static_cast<int>(shape.size()));
        int differ = 0;
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 60; ++x) differ += fast.bmp.GetPixel(x, y) != painter.bmp.GetPixel(x, y);
        // the same shape; at most the odd pixel along the outline decided the other way
        EXPECT_LE(differ, 12);
        EXPECT_GT(fast.Count(clRed), 50);
        EXPECT_EQ(fast.bmp.GetPixel(shape[0].x, shape[0].y), clBlack);
    }
}

TEST(ConvexFill, ClipsAndConcaveShapesAreHonoured) {
    Board b;
    b.c.IntersectClipRect(TRect{0, 0, 25, 60});
    const TPoint tri[3] = {{10, 10}, {50, 10}, {30, 40}};
    b.c.Polygon(tri, 3);
    for (int y = 0; y < 60; ++y)
        for (int x = 25; x < 60; ++x) ASSERT_EQ(b.bmp.GetPixel(x, y), clWhite) << x << "," << y;

    Board arrow;
    // a notch at the bottom: the pixel in it stays white
    const TPoint shape[5] = {{10, 10}, {50, 10}, {50, 50}, {30, 25}, {10, 50}};
    arrow.c.Polygon(shape, 5);
    EXPECT_EQ(arrow.bmp.GetPixel(30, 45), clWhite);
    EXPECT_EQ(arrow.bmp.GetPixel(15, 40), clRed);
}

}  // namespace
