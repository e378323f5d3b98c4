#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "ChartAttributes.h"
#include "RecordingCanvas.h"

namespace {

struct Counter {
    int n = 0;
    std::vector<TObject*> senders;
    TNotifyEvent Handler() {
        return [this](TObject* s) {
            ++n;
            senders.push_back(s);
        };
    }
};

TEST(ChartPen, DefaultsAndPresets) {
    TChartPen pen;
    EXPECT_EQ(pen.Color(), clBlack);
    EXPECT_EQ(pen.Width(), 1);
    EXPECT_EQ(pen.Style(), psSolid);
    EXPECT_EQ(pen.EndStyle(), esRound);
    EXPECT_FALSE(pen.SmallDots());
    EXPECT_TRUE(pen.Visible());

    TChartHiddenPen hidden;
    EXPECT_FALSE(hidden.Visible());
    TDottedGrayPen dotted;
    EXPECT_EQ(dotted.Color(), clGray);
    EXPECT_EQ(dotted.Style(), psDot);
    TDarkGrayPen dark;
    EXPECT_EQ(dark.Color(), clGray);
    EXPECT_EQ(dark.Style(), psSolid);
    TWhitePen white;
    EXPECT_EQ(white.Color(), clWhite);
    TChartAxisPen axis;
    EXPECT_EQ(axis.Width(), 2);
}

TEST(ChartPen, StoredOnlyWhereItDiffersFromItsOwnDefault) {
    TChartHiddenPen hidden;
    EXPECT_FALSE(hidden.IsVisibleStored());
    TChartPen plain;
    EXPECT_FALSE(plain.IsVisibleStored());
    plain.Hide();
    EXPECT_TRUE(plain.IsVisibleStored());
    hidden.Show();
    EXPECT_TRUE(hidden.IsVisibleStored());
    plain.SetEndStyle(esFlat);
    EXPECT_TRUE(plain.IsEndStyleStored());
}

TEST(ChartPen, NotifiesOwnerOnRealChangesOnly) {
    Counter c;
    TChartPen pen(c.Handler());
    TDottedGrayPen dotted(c.Handler());
    EXPECT_EQ(c.n, 0);  // presets set up without telling the owner
    pen.SetVisible(true);
    pen.SetEndStyle(esRound);
    pen.SetSmallDots(false);
    pen.SetColor(clBlack);
    EXPECT_EQ(c.n, 0);
    pen.SetVisible(false);
    pen.SetSmallDots(true);
    pen.SetEndStyle(esSquare);
    pen.SetColor(clRed);
    EXPECT_EQ(c.n, 4);
    EXPECT_EQ(c.senders.back(), &pen);

    // Assign tells once, and only when something differs (including the chart pen's own fields).
    TChartPen other;
    other.Assign(&pen);
    c.n = 0;
    pen.Assign(&other);
    EXPECT_EQ(c.n, 0);
    other.SetVisible(true);
    pen.Assign(&other);
    EXPECT_EQ(c.n, 1);
    EXPECT_TRUE(pen.Visible());
}

TEST(ChartBrush, DefaultColourAndImageLifecycle) {
    Counter c;
    TChartBrush brush(c.Handler());
    EXPECT_EQ(brush.Color(), SeriesDefaultColor);
    EXPECT_EQ(brush.Style(), bsSolid);
    EXPECT_EQ(brush.ImageIfAny(), nullptr);
    EXPECT_EQ(c.n, 0);

    TPicture& image = brush.Image();  // created on first read
    EXPECT_EQ(brush.ImageIfAny(), &image);
    EXPECT_EQ(brush.ImageGraphic(), nullptr);  // empty picture
    TBitmap bmp(2, 2);
    image.SetGraphic(&bmp);
    EXPECT_EQ(c.n, 1);  // the picture's change reaches the brush's owner
    ASSERT_NE(brush.ImageGraphic(), nullptr);

    TChartBrush copy;
    copy.Assign(&brush);
    ASSERT_NE(copy.ImageGraphic(), nullptr);
    EXPECT_NE(copy.ImageGraphic(), brush.ImageGraphic());  // copied, not shared
    EXPECT_EQ(copy.Color(), SeriesDefaultColor);

    brush.SetImage(nullptr);
    EXPECT_EQ(brush.ImageIfAny(), nullptr);
    EXPECT_EQ(c.n, 2);
    brush.SetImage(nullptr);  // nothing to free: nobody told
    EXPECT_EQ(c.n, 2);
}

TEST(PlotShadow, DefaultsExtentAndNotification) {
    Counter c;
    TPlotShadow s(c.Handler());
    EXPECT_EQ(s.Color(), clSilver);
    EXPECT_EQ(s.HorizSize(), 0);
    EXPECT_EQ(s.VertSize(), 0);
    EXPECT_EQ(s.Transparency(), 0);
    s.SetHorizSize(0);
    s.SetColor(clSilver);
    s.SetTransparency(0);
    EXPECT_EQ(c.n, 0);
    s.SetHorizSize(-4);
    s.SetVertSize(2);
    EXPECT_EQ(s.ShadowExtent(), 2);  // the larger signed value
    s.SetShadowExtent(5);
    EXPECT_EQ(s.HorizSize(), 5);
    EXPECT_EQ(s.VertSize(), 5);
    EXPECT_EQ(c.n, 3);
    s.SetShadowExtent(5);
    EXPECT_EQ(c.n, 3);
    s.SetTransparency(250);  // out of range: held at 100
    EXPECT_EQ(s.Transparency(), 100);
    EXPECT_TRUE(s.IsHorizSizeStored());
    TPlotShadow framed({}, 3);
    EXPECT_EQ(framed.HorizSize(), 3);
    EXPECT_FALSE(framed.IsHorizSizeStored());
}

TEST(PlotShadow, DrawsTwoStripsBelowAndRight) {
    RecordingCanvas canvas;
    TPlotShadow s;
    s.Draw(canvas, TRect{10, 10, 50, 30});
    EXPECT_TRUE(canvas.Calls.empty());  // zero sizes: nothing
    s.SetHorizSize(3);
    s.SetVertSize(4);
    s.SetColor(clGray);
    s.Draw(canvas, TRect{10, 10, 50, 30});
    ASSERT_EQ(canvas.Trace(), (std::vector<std::string>{"FillRectangle(13,30,53,34)", "FillRectangle(50,14,53,34)"}));
    EXPECT_EQ(canvas.Calls[0].brushColor, clGray);
    EXPECT_EQ(canvas.Calls[0].penStyle, psClear);

    canvas.Clear();
    s.SetTransparency(40);
    s.Draw(canvas, TRect{10, 10, 50, 30});
    EXPECT_EQ(canvas.Ops(),
              (std::vector<std::string>{"BeginTransparency", "FillRectangle", "FillRectangle", "EndTransparency"}));
    EXPECT_EQ(canvas.Calls[0].args, (std::vector<long long>{13, 14, 53, 34, 40}));

    canvas.Clear();
    s.SetColor(clNone);
    s.Draw(canvas, TRect{10, 10, 50, 30});
    EXPECT_TRUE(canvas.Calls.empty());
}

TEST(PlotGradient, DefaultsAndMidColour) {
    Counter c;
    TPlotGradient g(c.Handler());
    EXPECT_EQ(g.Direction(), gdTopBottom);
    EXPECT_EQ(g.StartColor(), clWhite);
    EXPECT_EQ(g.EndColor(), clYellow);
    EXPECT_EQ(g.MidColor(), clNone);
    EXPECT_EQ(g.Balance(), 50);
    EXPECT_FALSE(g.Visible());
    EXPECT_EQ(g.RadialX(), 0);
    g.SetStartColor(clWhite);
    g.SetMidColor(clNone);
    EXPECT_EQ(c.n, 0);
    g.SetMidColor(clRed);
    EXPECT_TRUE(g.UseMiddleColor());
    EXPECT_EQ(g.MidColor(), clRed);
    g.SetMidColor(clNone);
    EXPECT_EQ(g.MidColor(), clNone);  // whatever was stored before
    EXPECT_EQ(c.n, 2);

    TPlotGradient other;
    other.SetMidColor(clBlue);
    other.SetBalance(30);
    other.SetDirection(gdRadial);
    other.SetRadialX(4);
    other.SetVisible(true);
    g.Assign(&other);
    EXPECT_EQ(c.n, 3);
    EXPECT_EQ(g.MidColor(), clBlue);
    EXPECT_EQ(g.Balance(), 30);
    EXPECT_EQ(g.Direction(), gdRadial);
    EXPECT_EQ(g.RadialX(), 4);
    EXPECT_TRUE(g.Visible());
    g.Assign(&other);
    EXPECT_EQ(c.n, 3);

    TPlotFontGradient fg;
    EXPECT_FALSE(fg.Outline());
}

TEST(PlotGradient, MidColourSplitsIntoTwoHalves) {
    struct Case {
        TGradientDirection dir;
        std::vector<std::string> trace;
    };
    // start white (0xFFFFFF), mid red (0xFF), end yellow (0xFFFF)
    const std::vector<Case> cases = {
        {gdTopBottom, {"FillGradient(0,0,40,20,255,50,0,65535)", "FillGradient(0,20,40,40,16777215,50,0,255)"}},
        {gdBottomTop, {"FillGradient(0,0,40,20,16777215,50,1,255)", "FillGradient(0,20,40,40,255,50,1,65535)"}},
        {gdLeftRight, {"FillGradient(0,0,20,40,255,50,2,65535)", "FillGradient(20,0,40,40,16777215,50,2,255)"}},
        {gdRightLeft, {"FillGradient(0,0,20,40,16777215,50,3,255)", "FillGradient(20,0,40,40,255,50,3,65535)"}},
        {gdFromCenter, {"FillGradient(0,0,40,40,16777215,50,4,65535)"}},
    };
    for (const auto& c : cases) {
        RecordingCanvas canvas;
        TPlotGradient g;
        g.SetMidColor(clRed);
        g.SetBalance(70);  // halves always use 50
        g.SetDirection(c.dir);
        g.Draw(canvas, TRect{0, 0, 40, 40});
        EXPECT_EQ(canvas.Trace(), c.trace) << c.dir;
    }
    RecordingCanvas canvas;
    TPlotGradient g;
    g.SetBalance(70);
    g.Draw(canvas, TRect{40, 40, 0, 0}, 6);  // corner: clipped to the rounded box, reversed rect normalised
    EXPECT_EQ(canvas.Trace(),
              (std::vector<std::string>{"ClipToRoundRectangle(0,0,40,40,6)",
                                        "FillGradient(0,0,40,40,16777215,70,0,65535)", "RemoveClipping()"}));
}

TEST(PlotGradient, RadialStepsFollowTheLargerSide) {
    RecordingCanvas canvas;
    TPlotGradient g;
    g.SetDirection(gdRadial);
    g.Draw(canvas, TRect{0, 0, 101, 51});
    // 100 steps: the larger size, one less since a side is odd; ellipses for i = 100 .. 0.
    EXPECT_EQ(canvas.Count("DrawEllipse"), 101);
    EXPECT_EQ(canvas.Ops().front(), "ClipToRectangle");
    EXPECT_EQ(canvas.Ops().back(), "RemoveClipping");
    const RecordedCall* fill = canvas.Find("FillRectangle");
    ASSERT_NE(fill, nullptr);
    EXPECT_EQ(fill->brushColor, clYellow);  // end colour outside
    const RecordedCall* last = canvas.Find("DrawEllipse", 100);
    EXPECT_EQ(last->brushColor, clWhite);  // start colour in the centre
    EXPECT_EQ(last->penStyle, psClear);
    EXPECT_EQ(last->args, (std::vector<long long>{51, 26, 51, 26}));

    RecordingCanvas empty;
    g.Draw(empty, TRect{5, 5, 5, 9});  // no area: nothing, and no division by zero
    EXPECT_EQ(empty.Count("DrawEllipse"), 0);
    RecordingCanvas one;
    g.Draw(one, TRect{5, 5, 6, 6});  // 1 x 1: no steps, filled in the end colour
    EXPECT_EQ(one.Count("DrawEllipse"), 0);
    EXPECT_EQ(one.Count("FillRectangle"), 1);
}

TEST(PlotFont, DefaultsSubObjectsAndNotification) {
    Counter c;
    TPlotFont f(c.Handler());
    EXPECT_EQ(f.Name(), "Arial");
    EXPECT_EQ(f.Size(), 8);
    EXPECT_EQ(f.Color(), clBlack);
    EXPECT_EQ(f.Charset(), DEFAULT_CHARSET);
    EXPECT_EQ(f.InterCharSize(), 0);
    EXPECT_FALSE(f.IsSizeStored());
    EXPECT_FALSE(f.IsNameStored());
    EXPECT_FALSE(f.IsColorStored());
    EXPECT_EQ(c.n, 0);
    EXPECT_EQ(f.ShadowIfAny(), nullptr);
    EXPECT_EQ(f.OutLineIfAny(), nullptr);
    EXPECT_EQ(f.GradientIfAny(), nullptr);

    f.SetSize(8);
    f.SetName("Arial");
    f.SetInterCharSize(0);
    EXPECT_EQ(c.n, 0);
    f.SetSize(12);
    EXPECT_TRUE(f.IsSizeStored());
    EXPECT_EQ(c.n, 1);

    // Sub-objects appear on first read, hidden outline, and report through the font's handler.
    EXPECT_FALSE(f.OutLine().Visible());
    f.Shadow().SetHorizSize(2);
    f.Gradient().SetVisible(true);
    f.OutLine().SetVisible(true);
    EXPECT_EQ(c.n, 4);
    EXPECT_EQ(c.senders.back(), &f);

    TPlotFont g;
    g.Assign(&f);
    EXPECT_EQ(g.Size(), 12);
    ASSERT_NE(g.ShadowIfAny(), nullptr);
    EXPECT_EQ(g.Shadow().HorizSize(), 2);
    EXPECT_TRUE(g.Gradient().Visible());

    f.SetShadow(nullptr);
    EXPECT_EQ(f.ShadowIfAny(), nullptr);
}

TEST(View3DOptions, DefaultsAndInvalidation) {
    int invalidated = 0;
    TView3DOptions o([&] { ++invalidated; });
    EXPECT_EQ(o.Elevation(), 345);
    EXPECT_EQ(o.HorizOffset(), 0);
    EXPECT_TRUE(o.Orthogonal());
    EXPECT_EQ(o.OrthoAngle(), 45);
    EXPECT_EQ(o.Perspective(), 15);
    EXPECT_EQ(o.Rotation(), 345);
    EXPECT_EQ(o.Tilt(), 0);
    EXPECT_EQ(o.VertOffset(), 0);
    EXPECT_EQ(o.Zoom(), 100);
    EXPECT_TRUE(o.ZoomText());

    o.SetElevation(345);
    o.SetZoom(100);
    o.SetOrthogonal(true);
    EXPECT_EQ(invalidated, 0);
    o.SetRotation(10);
    o.SetTilt(5);
    EXPECT_EQ(invalidated, 2);

    std::vector<bool> offsets;
    o.OnOffsetChanged = [&](bool horizontal) { offsets.push_back(horizontal); };
    o.SetHorizOffset(7);
    o.SetVertOffset(-3);
    o.SetVertOffset(-3);
    EXPECT_EQ(offsets, (std::vector<bool>{true, false}));

    int seenZoom = 0, zoomWhileChanging = 0;
    o.OnZoomChanging = [&](int z) {
        seenZoom = z;
        zoomWhileChanging = o.Zoom();
    };
    o.SetZoom(150);
    EXPECT_EQ(seenZoom, 150);
    EXPECT_EQ(zoomWhileChanging, 100);  // still the old value
    EXPECT_EQ(o.Zoom(), 150);

    TView3DOptions copy;
    copy.Assign(&o);
    EXPECT_EQ(copy.Zoom(), 150);
    EXPECT_EQ(copy.Rotation(), 10);
    EXPECT_EQ(copy.HorizOffset(), 7);
}

TEST(View3DOptions, OrthoSlope) {
    TView3DOptions o;
    EXPECT_NEAR(o.OrthoSlope(), 1.0, 1e-12);
    o.SetOrthoAngle(135);
    EXPECT_NEAR(o.OrthoSlope(), 1.0, 1e-12);
    o.SetOrthoAngle(30);
    EXPECT_NEAR(o.OrthoSlope(), std::tan(30 * 3.14159265358979323846 / 180), 1e-12);
    o.SetOrthogonal(false);
    EXPECT_EQ(o.OrthoSlope(), 1.0);
}

}  // namespace

TEST(PlotFont, AJapaneseSystemReplacesTheStockFontByItsOwn) {
    // the stock name and size give way; other names, and other languages, keep theirs
    for (auto [name, size, system, wantName, wantSize] :
         {std::tuple{"Arial", 8, TSystemFont{true, "Noto Sans CJK JP", 9}, "Noto Sans CJK JP", 9},
          {"Verdana", 10, TSystemFont{true, "Noto Sans CJK JP", 9}, "Verdana", 10},
          {"Arial", 8, TSystemFont{}, "Arial", 8}}) {
        std::string n = name;
        int s = size;
        AdjustFontForSystem(n, s, system);
        EXPECT_EQ(std::tuple(n, s), std::tuple(wantName, wantSize));
    }
}
