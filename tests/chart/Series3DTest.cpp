// Line bands and markers of line and point series on a 3D chart, checked on the recording
// canvas under an oblique projection (depth up and to the right).

#include <gtest/gtest.h>

#include "RecordingCanvas.h"
#include "Series3D.h"

namespace {

class ObliqueCanvas : public RecordingCanvas {
public:
    TPoint WorldToScreen(int x, int y, int z) override { return TPoint{x + z, y - z}; }
    using RecordingCanvas::WorldToScreen;
};

const Series3D::TSlot Slot{10, 20};

TEST(Series3D, BandsRisingSteeperThanTheDepthShowTheirDarkerUnderside) {
    struct Case {
        const char* name;
        TPoint a, b;
        int lineHeight;
        double darkSlope;
        std::vector<std::string> trace;
        TColor bandBrush;
    };
    constexpr TColor c = 0x60A0E0;
    const Case cases[] = {
        {"flat", {0, 50}, {40, 50}, 0, 1.0, {"DrawPlaneBetween(0,50,40,50,10,20)"}, c},
        {"falling steeply", {0, 0}, {10, 50}, 0, 1.0, {"DrawPlaneBetween(0,0,10,50,10,20)"}, c},
        {"rising steeply", {0, 50}, {10, 0}, 0, 1.0, {"DrawPlaneBetween(0,50,10,0,10,20)"}, DarkenColor(c, 64)},
        {"vertical", {5, 50}, {5, 0}, 0, 1.0, {"DrawPlaneBetween(5,50,5,0,10,20)"}, DarkenColor(c, 64)},
        {"no dark sides", {0, 50}, {10, 0}, 0, 0.0, {"DrawPlaneBetween(0,50,10,0,10,20)"}, c},
        {"with a line height",
         {0, 50},
         {10, 0},
         4,
         1.0,
         {"DrawPlaneBetween(0,54,10,4,10,20)", "DrawPlaneAtDepth(0,50,10,0,10,4,0,54,10)"},
         DarkenColor(c, 64)},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        ObliqueCanvas canvas;
        canvas.GetDeviceHandle()->Brush().SetColor(c);
        Series3D::DrawBand(canvas, k.a, k.b, Slot, k.lineHeight, k.darkSlope, c);
        EXPECT_EQ(canvas.Trace(), k.trace);
        EXPECT_EQ(canvas.Calls.at(0).brushColor, k.bandBrush);
        // the front face and whatever follows get the plain colour back
        EXPECT_EQ(canvas.GetDeviceHandle()->Brush().Color(), c);
    }
    EXPECT_DOUBLE_EQ(Series3D::DarkSlope(10, 0), 1.0);
    EXPECT_DOUBLE_EQ(Series3D::DarkSlope(-5, 10), 0.5);
}

TEST(Series3D, MarkersBecomeSolidsThroughTheSlotOrShapesAtItsFront) {
    struct Case {
        TSeriesPointerStyle style;
        bool draw3D;
        std::vector<std::string> trace;
    };
    const Case cases[] = {
        {psRectangle, true, {"DrawBox(96,104,47,53,10,20,1)"}},
        {psCircle, true, {"DrawEllipse3D(96,47,104,53,10)"}},
        {psTriangle, true, {"DrawPyramid(1,96,47,104,53,10,20,1)"}},
        {psDownTriangle, true, {"DrawPyramid(1,96,53,104,47,10,20,1)"}},
        {psLeftTriangle, true, {"DrawPyramid(0,104,47,96,53,10,20,1)"}},
        {psTriangle, false, {"DrawPolygon(106,43,114,43,110,37)"}},
        {psCross, true, {"DrawLineAtDepth(100,47,100,54,10)", "DrawLineAtDepth(96,50,105,50,10)"}},
        {psDiamond, true, {"DrawPolygon(106,40,110,37,114,40,110,43)"}},
        {psSmallDot, true, {"SetPixelColor(115,35,255)"}},
        {psNothing, true, {}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << "style " << k.style << (k.draw3D ? " 3D" : " flat"));
        ObliqueCanvas canvas;
        canvas.GetDeviceHandle()->Brush().SetColor(clRed);
        TSeriesPointer pointer(nullptr);
        pointer.SetDraw3D(k.draw3D);
        Series3D::DrawPointer(canvas, pointer, 100, 50, 4, 3, clRed, k.style, Slot);
        EXPECT_EQ(canvas.Trace(), k.trace);
    }
}

}  // namespace
