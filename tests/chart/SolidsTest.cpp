// Solids of the 3D canvas: which faces are drawn, in which shade and order, under a known
// oblique projection, and what they look like on a real canvas.

#include <gtest/gtest.h>

#include <limits>
#include <numbers>
#include <set>

#include "GuiApplication.h"
#include "RecordingCanvas.h"
#include "Solids.h"

namespace {

// Depth runs up and to the right (the chart's usual view) or, mirrored, down and to the left.
class ObliqueCanvas : public RecordingCanvas {
public:
    int Slope = 1;
    TPoint WorldToScreen(int x, int y, int z) override { return TPoint{x + Slope * z, y - Slope * z}; }
    using RecordingCanvas::WorldToScreen;
};

constexpr TColor Base = 0xC08040;

std::vector<const RecordedCall*> Polygons(const RecordingCanvas& c) {
    std::vector<const RecordedCall*> out;
    for (const auto& call : c.Calls)
        if (call.op == "DrawPolygon") out.push_back(&call);
    return out;
}

void Prepare(RecordingCanvas& c) {
    c.GetDeviceHandle()->Brush().SetStyle(bsSolid);
    c.GetDeviceHandle()->Brush().SetColor(Base);
}

TEST(Solids, BoxDrawsTheThreeFacesTowardTheViewerInTheirShades) {
    struct Case {
        const char* name;
        int slope;
        int z0, z1;
        bool dark;
        std::vector<std::vector<long long>> faces;
        std::vector<TColor> colors;
    };
    const Case cases[] = {
        // front at z 0, right side (x = 30), top (y = 10)
        {"up-right view",
         1,
         0,
         5,
         true,
         {{10, 40, 30, 40, 30, 10, 10, 10}, {30, 40, 35, 35, 35, 5, 30, 10}, {10, 10, 30, 10, 35, 5, 15, 5}},
         {Base, DarkenColor(Base, 128), DarkenColor(Base, 64)}},
        {"depths given back to front", 1, 5, 0, true, {}, {Base, DarkenColor(Base, 128), DarkenColor(Base, 64)}},
        {"no dark sides", 1, 0, 5, false, {}, {Base, Base, Base}},
        // mirrored: the left side and the bottom face the viewer
        {"down-left view",
         -1,
         0,
         5,
         true,
         {{10, 40, 30, 40, 30, 10, 10, 10}, {10, 10, 5, 15, 5, 45, 10, 40}, {10, 40, 5, 45, 25, 45, 30, 40}},
         {Base, DarkenColor(Base, 128), DarkenColor(Base, 64)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ObliqueCanvas canvas;
        canvas.Slope = c.slope;
        Prepare(canvas);
        Solid::Box(canvas, 10, 30, 10, 40, c.z0, c.z1, c.dark);
        const auto faces = Polygons(canvas);
        ASSERT_EQ(faces.size(), 3u);
        for (std::size_t i = 0; i < faces.size(); ++i) {
            EXPECT_EQ(faces[i]->brushColor, c.colors[i]) << i;
            if (!c.faces.empty()) {
                EXPECT_EQ(faces[i]->args, c.faces[i]) << i;
            }
        }
        // the caller finds its brush as it left it
        EXPECT_EQ(canvas.GetDeviceHandle()->Brush().Color(), Base);
    }
}

TEST(Solids, ConeAndCylinderShowTheirFrontFacetsAndTheTopOnly) {
    for (int percent : {100, 50, 0}) {
        SCOPED_TRACE(percent);
        ObliqueCanvas canvas;
        Prepare(canvas);
        Solid::Cone(canvas, true, 0, 0, 40, 60, 0, 40, true, percent);
        const auto faces = Polygons(canvas);
        std::size_t facets = 0, caps = 0;
        std::set<TColor> shades;
        for (const RecordedCall* f : faces) {
            if (f->args.size() == 8) {
                ++facets;
                shades.insert(f->brushColor);
            } else {
                ASSERT_EQ(f->args.size(), 32u);
                ++caps;
                EXPECT_EQ(f->brushColor, DarkenColor(Base, 64));
            }
        }
        // about half of the 16 sides face the viewer (a pointed cone seen from above shows
        // a few more); the lit one keeps the plain colour
        EXPECT_GE(facets, 7u);
        EXPECT_LE(facets, percent == 100 ? 9u : 11u);
        EXPECT_TRUE(shades.count(Base));
        for (TColor s : shades) {
            bool known = false;
            for (int q = 0; q <= 128; q += 16) known |= s == DarkenColor(Base, q);
            EXPECT_TRUE(known) << std::hex << s;
        }
        // seen from above the base is hidden; the top shows unless the cone ends in a point
        EXPECT_EQ(caps, percent > 0 ? 1u : 0u);
    }
    // A body growing downward is the mirror image: the base is now the face on top.
    ObliqueCanvas canvas;
    Prepare(canvas);
    Solid::Cone(canvas, true, 0, 60, 40, 0, 0, 40, true, 0);
    std::size_t caps = 0;
    for (const RecordedCall* f : Polygons(canvas)) caps += f->args.size() == 32;
    EXPECT_EQ(caps, 1u);
}

TEST(Solids, PyramidsAndTruncsDrawTheirVisibleSides) {
    {
        ObliqueCanvas canvas;
        Prepare(canvas);
        Solid::Pyramid(canvas, true, 0, 0, 40, 40, 0, 10, true);
        const auto faces = Polygons(canvas);
        // front triangle, right side; back, left and the base face away
        ASSERT_EQ(faces.size(), 2u);
        EXPECT_EQ(faces[0]->args.size(), 6u);
        EXPECT_EQ(faces[0]->brushColor, Base);
        EXPECT_EQ(faces[1]->brushColor, DarkenColor(Base, 128));
    }
    {
        ObliqueCanvas canvas;
        Prepare(canvas);
        Solid::PyramidTrunc(canvas, TRect{0, 0, 40, 40}, 0, 10, 2, 10);
        const auto faces = Polygons(canvas);
        // front, right side and the top
        ASSERT_EQ(faces.size(), 3u);
        EXPECT_EQ(faces[0]->brushColor, Base);
        EXPECT_EQ(faces[1]->brushColor, DarkenColor(Base, 128));
        EXPECT_EQ(faces[2]->brushColor, DarkenColor(Base, 64));
        EXPECT_EQ(faces[2]->args, (std::vector<long long>{13, -3, 33, -3, 37, -7, 17, -7}));
    }
}

TEST(Solids, PieSliceDrawsInnerSideEndsFrontAndOuterSideInThatOrder) {
    ObliqueCanvas canvas;
    Prepare(canvas);
    // the upper half of a ring: its outer side faces up, toward the viewer
    Solid::Pie3D(canvas, 100, 100, 50, 40, 0, std::numbers::pi, 0, 10, 50, true, true);
    const auto faces = Polygons(canvas);
    ASSERT_GE(faces.size(), 2u);
    const RecordedCall* front = nullptr;
    std::size_t frontAt = 0;
    for (std::size_t i = 0; i < faces.size(); ++i)
        if (faces[i]->brushColor == Base) {
            front = faces[i];
            frontAt = i;
        }
    ASSERT_NE(front, nullptr);
    // 180 degrees: 18 + 2 points on each arc
    EXPECT_EQ(front->args.size(), 2u * 40u);
    for (std::size_t i = 0; i < faces.size(); ++i)
        if (i != frontAt) {
            EXPECT_EQ(faces[i]->brushColor, DarkenColor(Base, 32)) << i;
        }
    // the outer side comes last, after the front face
    EXPECT_GT(faces.size() - 1, frontAt);
    EXPECT_EQ(canvas.GetDeviceHandle()->Brush().Color(), Base);
}

TEST(Solids, DegenerateInputDrawsNothingOrAFlatShapeAndNeverHangs) {
    ObliqueCanvas canvas;
    Prepare(canvas);
    Solid::Box(canvas, 5, 5, 5, 5, 0, 0, true);
    EXPECT_EQ(Polygons(canvas).size(), 0u);
    canvas.Clear();
    Solid::Pie3D(canvas, 0, 0, 10, 10, 0, std::numeric_limits<double>::quiet_NaN(), 0, 5, 0, true, true);
    EXPECT_EQ(Polygons(canvas).size(), 0u);
    canvas.Clear();
    // a huge angle range is one full turn of at most 32 points
    Solid::Pie3D(canvas, 0, 0, 10, 10, 0, 1e12, 0, 5, 0, false, true);
    for (const RecordedCall* f : Polygons(canvas)) EXPECT_LE(f->args.size(), 2u * 33u);
    canvas.Clear();
    Solid::Box(canvas, -2000000000, 2000000000, -2000000000, 2000000000, 0, 100, true);
    EXPECT_EQ(Polygons(canvas).size(), 3u);
}

// The chart's usual orthogonal view on a 100 x 100 bitmap: depth z moves a point z to the
// right and z up. Solids are drawn without outline, in the base colour.
struct OrthoPixels {
    TView3DOptions options;
    TBitmap window{100, 100};
    TPlotCanvas3D canvas;
    OrthoPixels() {
        EnsureGuiApplication();
        canvas.SetBuffered(false);
        canvas.BeginDrawing(&window.Canvas(), &options, TRect{0, 0, 100, 100}, true, clWhite);
        canvas.SetProjectionCenter(0, TRect{0, 0, 100, 100});
        TCanvas& d = *canvas.GetDeviceHandle();
        d.Brush().SetColor(clWhite);
        d.FillRect(TRect{0, 0, 100, 100});
        d.Pen().SetStyle(psClear);
        d.Brush().SetColor(Base);
    }
    TColor at(int x, int y) const { return window.GetPixel(x, y); }
};

TEST(Solids, BoxAndCylinderOnRealPixels) {
    {
        OrthoPixels p;
        Solid::Box(p.canvas, 20, 60, 40, 80, 0, 20, true);
        EXPECT_EQ(p.at(40, 60), Base);                    // front
        EXPECT_EQ(p.at(70, 50), DarkenColor(Base, 128));  // right side
        EXPECT_EQ(p.at(45, 30), DarkenColor(Base, 64));   // top
        EXPECT_EQ(p.at(10, 10), clWhite);
        EXPECT_EQ(p.at(75, 75), clWhite);  // below the right side
        EXPECT_EQ(p.at(25, 25), clWhite);  // left of the top
    }
    {
        OrthoPixels p;
        Solid::Cone(p.canvas, true, 20, 20, 60, 80, 0, 20, true, 100);
        EXPECT_EQ(p.at(36, 50), DarkenColor(Base, 48));  // the fourth facet seen, from the left
        EXPECT_EQ(p.at(50, 10), DarkenColor(Base, 64));  // the top
        EXPECT_EQ(p.at(10, 50), clWhite);
        EXPECT_EQ(p.at(90, 50), clWhite);
        EXPECT_EQ(p.at(40, 95), clWhite);  // nothing below the base
    }
}

}  // namespace

TEST(Solids, ConeFacetsDarkenStepByStepAndThePieShowsOnlyFacesTowardTheViewer) {
    ObliqueCanvas canvas;
    Prepare(canvas);
    Solid::Cone(canvas, true, 0, 0, 40, 60, 0, 40, true, 100);
    int step = 0;
    for (const RecordedCall* f : Polygons(canvas))
        if (f->args.size() == 8) {
            EXPECT_EQ(f->brushColor, DarkenColor(Base, 16 * std::min(step, 8))) << step;
            ++step;
        }
    EXPECT_GE(step, 7);

    // The lower left quarter of a slice: its arc runs to growing x, yet with the depth
    // going up and to the right its curved side faces away; both flat ends face the viewer.
    canvas.Clear();
    Solid::Pie3D(canvas, 100, 100, 50, 40, std::numbers::pi, 1.5 * std::numbers::pi, 0, 10, 0, true, true);
    const auto faces = Polygons(canvas);
    ASSERT_EQ(faces.size(), 3u);
    EXPECT_EQ(faces[0]->args.size(), 8u);
    EXPECT_EQ(faces[1]->args.size(), 8u);
    EXPECT_EQ(faces[2]->brushColor, Base);  // the front face, and no side after it
}
