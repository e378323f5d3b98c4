#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Chart.h"
#include "ChartControl.h"
#include "GuiApplication.h"
#include "RecordingChart.h"

namespace {

class WallChart : public RecordingChart {
public:
    WallChart() {
        OnBeforeDrawSeries = [this](TObject*) { Ops = Recorder->Ops(); };
    }
    void CalcWallsRect() override {
        BeforeWalls = PlotRect();
        RecordingChart::CalcWallsRect();
        AfterWalls = PlotRect();
    }
    std::vector<std::vector<long long>> ArgsOf(const std::string& op) const {
        std::vector<std::vector<long long>> out;
        for (const auto& c : Recorder->Calls)
            if (c.op == op) out.push_back(c.args);
        return out;
    }
    std::vector<std::string> Ops;
    TRect BeforeWalls{};
    TRect AfterWalls{};
};

using Args = std::vector<long long>;

TEST(PanelBackground, BorderBevelsAndShadow) {
    WallChart chart;
    chart.SetView3D(false);
    chart.Border().SetVisible(true);
    chart.Border().SetWidth(3);
    chart.SetBevelInner(bvLowered);
    chart.SetBorderWidth(2);
    chart.DrawNow();
    const auto rects = chart.ArgsOf("DrawRectangle");
    ASSERT_FALSE(rects.empty());
    // a 3-pixel border falls inside the panel: one pixel in on every side
    EXPECT_EQ(rects[0], (Args{1, 1, 399, 249}));
    const auto bevels = chart.ArgsOf("DrawBevelFrame");
    ASSERT_EQ(bevels.size(), 3u) << "outer bevel, border-width frame, inner bevel";
    const TColor light = ColorToRGB(clBtnHighlight), dark = ColorToRGB(clBtnShadow);
    EXPECT_EQ(bevels[0], (Args{3, 3, 397, 247, light, 1, dark}));
    EXPECT_EQ(bevels[1], (Args{4, 4, 396, 246, ColorToRGB(clBtnFace), 2, ColorToRGB(clBtnFace)}));
    EXPECT_EQ(bevels[2], (Args{6, 6, 394, 244, dark, 1, light}));

    WallChart round;
    round.SetView3D(false);
    round.Border().SetVisible(true);
    round.SetBorderRound(12);
    round.DrawNow();
    const auto rr = round.ArgsOf("DrawRoundRectangle");
    ASSERT_GE(rr.size(), 2u);
    EXPECT_EQ(rr[0], (Args{0, 0, 399, 249, 12, 12}));
    EXPECT_EQ(rr[1], (Args{0, 0, 400, 250, 12, 12})) << "a rounded bevel is one round rectangle";

    WallChart shadowed;
    shadowed.SetView3D(false);
    shadowed.Shadow().SetHorizSize(5);
    shadowed.Shadow().SetVertSize(4);
    shadowed.DrawNow();
    const auto fills = shadowed.ArgsOf("FillRectangle");
    ASSERT_GE(fills.size(), 2u);
    EXPECT_EQ(fills[0], (Args{0, 0, 400, 250}));
    EXPECT_EQ(fills.back(), (Args{0, 0, 395, 246})) << "the panel fill leaves room for its shadow";
}

TEST(PanelBackground, BackImageModes) {
    TBitmap image(10, 10);
    struct Case {
        TPlotBackImageMode mode;
        const char* op;
        int count;
    } cases[] = {{pbmStretch, "StretchGraphic", 1}, {pbmTile, "DrawGraphic", 40 * 25}, {pbmCenter, "DrawGraphic", 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.op);
        WallChart chart;
        chart.SetView3D(false);
        chart.BackImage().SetGraphic(&image);
        chart.SetBackImageMode(c.mode);
        chart.DrawNow();
        EXPECT_EQ(chart.Recorder->Count(c.op), c.count);
        if (c.mode == pbmCenter) {
            EXPECT_EQ(chart.ArgsOf("DrawGraphic")[0], (Args{195, 120}));
        }
        if (c.mode != pbmStretch) {
            EXPECT_EQ(chart.Recorder->Count("RemoveClipping"), chart.Recorder->Count("ClipToRectangle"));
        }
    }
    // An empty picture draws nothing and cannot loop.
    WallChart empty;
    TBitmap none;
    empty.BackImage().SetGraphic(&none);
    empty.SetBackImageMode(pbmTile);
    empty.DrawNow();
    EXPECT_EQ(empty.Recorder->Count("DrawGraphic"), 0);
    empty.SetBackImage(nullptr);
    EXPECT_EQ(empty.BackImageIfAny(), nullptr);
}

TEST(Walls, RectangleSizesAndColours) {
    WallChart chart;  // 3D by default
    chart.DrawNow();
    const int depth = chart.ChartDepth3D();
    EXPECT_GT(depth, 0);
    EXPECT_EQ(chart.AfterWalls.Right, chart.BeforeWalls.Right - depth);
    EXPECT_EQ(chart.AfterWalls.Top, chart.BeforeWalls.Top + chart.ChartHeight3D());
    // back, left and bottom walls, the back one at the chart's depth
    EXPECT_EQ(chart.Recorder->Count("DrawRectangleAtDepth"), 1);
    EXPECT_EQ(chart.Recorder->Count("DrawSidePlane") + chart.Recorder->Count("DrawHorizontalPlane"), 2);

    chart.RightWall().SetVisible(true);
    chart.RightWall().SetSize(4);
    chart.BackWall().SetSize(2);
    chart.DrawNow();
    EXPECT_EQ(chart.AfterWalls.Right, chart.BeforeWalls.Right - (chart.ChartDepth3D() + 2) - (4 + 1));
    EXPECT_EQ(chart.AfterWalls.Top, chart.BeforeWalls.Top + 2 + chart.ChartHeight3D());
    EXPECT_EQ(chart.WallSizeForAxis(chart.RightAxis()), 4);
    EXPECT_EQ(chart.WallSizeForAxis(chart.TopAxis()), 2);
    chart.RightWall().SetVisible(false);
    EXPECT_EQ(chart.WallSizeForAxis(chart.RightAxis()), 0);
    chart.SetView3D(false);
    EXPECT_EQ(chart.WallSizeForAxis(chart.TopAxis()), 0);

    // 2D: one back-wall rectangle; a hatch in the panel's colour turns black.
    WallChart flat;
    flat.SetView3D(false);
    flat.BackWall().SetTransparent(false);
    flat.BackWall().SetColor(clBtnFace);
    flat.BackWall().Brush().SetStyle(bsCross);
    flat.DrawNow();
    EXPECT_EQ(flat.AfterWalls, flat.BeforeWalls);
    const RecordedCall* wall = nullptr;
    for (const auto& c : flat.Recorder->Calls)
        if (c.op == "DrawRectangle" && c.brushStyle == bsCross) wall = &c;
    ASSERT_NE(wall, nullptr);
    EXPECT_EQ(wall->brushColor, clBlack);

    // Walls follow the chart's default colours and store only changes.
    EXPECT_EQ(chart.LeftWall().Color(), 0x80FFFFu);
    EXPECT_EQ(chart.BottomWall().Color(), clWhite);
    EXPECT_FALSE(chart.BackWall().IsColorStored());
    chart.BackWall().SetColor(clRed);
    EXPECT_TRUE(chart.BackWall().IsColorStored());
    EXPECT_EQ(chart.BackColor(), chart.Color()) << "a transparent back wall shows the panel";
}

}  // namespace

TEST(PanelBackground, ATransparentBackImageShowsThePanelThroughItsKeyColour) {
    EnsureGuiApplication();
    TChart chart;
    TBitmap& image = chart.BackImage().Bitmap();
    image.SetSize(4, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) image.SetPixel(x, y, x < 2 ? clRed : clBlue);  // bottom-left: red
    chart.SetColor(clYellow);
    auto count = [&chart](TColor c) {
        std::unique_ptr<TBitmap> b = RenderToBitmap(chart, 120, 80);
        int n = 0;
        for (int y = 0; y < b->Height(); ++y)
            for (int x = 0; x < b->Width(); ++x) n += b->GetPixel(x, y) == c;
        return n;
    };
    const int blue = count(clBlue);
    EXPECT_GT(count(clRed), 1000);
    chart.SetBackImageTransp(true);
    EXPECT_EQ(count(clRed), 0);
    EXPECT_GT(count(clYellow), 1000);
    EXPECT_EQ(count(clBlue), blue);
}
