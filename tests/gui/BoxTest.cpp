// Thin-pen boxes are filled rather than stroked; the pixels must be those of the
// stroked box, also where the brush is clear or a clip region cuts the box.

#include <gtest/gtest.h>

#include <string>

#include "Graphics.h"
#include "GuiApplication.h"

namespace {

std::string Map(const TBitmap& bmp, int size) {
    std::string s;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const TColor c = bmp.GetPixel(x, y);
            s += c == clRed ? 'R' : c == clBlue ? 'B' : c == clWhite ? '.' : '?';
        }
        s += '\n';
    }
    return s;
}

TEST(ThinPenBox, SameAsTheStrokedBox) {
    EnsureGuiApplication();
    struct Case {
        TBrushStyle brush;
        int left, top, right, bottom;
        bool clip;
        const char* map;
    } cases[] = {
        {bsSolid, 1, 1, 4, 4, false, ".....\n.RRR.\n.RBR.\n.RRR.\n.....\n"},
        {bsSolid, 1, 1, 3, 3, false, ".....\n.RR..\n.RR..\n.....\n.....\n"},
        {bsClear, 0, 0, 5, 4, false, "RRRRR\nR...R\nR...R\nRRRRR\n.....\n"},
        {bsSolid, 0, 0, 5, 5, true, ".....\n.BBBR\n.BBBR\n.BBBR\n.....\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.map);
        TBitmap bmp(5, 5);
        TCanvas& canvas = bmp.Canvas();
        canvas.Brush().SetColor(clWhite);
        canvas.FillRect(TRect{0, 0, 5, 5});
        if (c.clip) canvas.IntersectClipRect(TRect{1, 1, 5, 4});
        canvas.Pen().SetColor(clRed);
        canvas.Brush().SetColor(clBlue);
        canvas.Brush().SetStyle(c.brush);
        canvas.Rectangle(c.left, c.top, c.right, c.bottom);
        EXPECT_EQ(Map(bmp, 5), c.map);
    }
}

}  // namespace
