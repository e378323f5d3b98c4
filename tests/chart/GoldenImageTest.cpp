// Whole charts rendered headless and compared pixel by pixel with the PNGs under
// tests/chart/golden/: framed and 3D charts without text, and the viewer's
// waveform scene with its labels, legend and title at the widths the viewer's
// window gives it. After an intended change of the drawing, regenerate them with
// NARVI_UPDATE_GOLDEN=1 set while running chart_tests, and review the new
// pictures before committing them.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <limits>
#include <string>

#include "Chart.h"
#include "ChartControl.h"
#include "GoldenCompare.h"
#include "GuiApplication.h"
#include "LineSeries.h"
#include "ViewerScene.h"

namespace {

void NoLabels(TChart& chart) {
    // value labels place the ticks and the grid; their texts stay hidden
    for (TChartAxis* a : chart.AxesList().Items()) {
        a->SetLabels(false);
        a->SetLabelStyle(talValue);
        a->SetTickOnLabelsOnly(false);
    }
}

void FixRanges(TChart& chart) {
    chart.BottomAxis()->SetAutomatic(false);
    chart.BottomAxis()->SetAxisRange(0, 10);
    chart.LeftAxis()->SetAutomatic(false);
    chart.LeftAxis()->SetAxisRange(0, 100);
}

struct GoldenCase {
    const char* name;
    std::function<void(TChart&)> setUp;
};

const GoldenCase Cases[] = {
    {"plain2d",
     [](TChart& c) {
         c.SetView3D(false);
         c.BackWall().SetTransparent(false);
         c.BackWall().SetColor(clWhite);
     }},
    {"framed",
     [](TChart& c) {
         c.SetView3D(false);
         c.Gradient().SetVisible(true);
         c.Gradient().SetStartColor(0xF0E0D0);
         c.Gradient().SetEndColor(0x806040);
         c.Border().SetVisible(true);
         c.Border().SetWidth(3);
         c.Border().SetColor(clNavy);
         c.SetBorderRound(12);
         c.SetBevelInner(bvLowered);
         c.SetBevelWidth(2);
         c.Shadow().SetHorizSize(4);
         c.Shadow().SetVertSize(4);
         c.Shadow().SetColor(clGray);
         c.BackWall().SetTransparent(false);
         c.BackWall().Gradient().SetVisible(true);
         c.BottomAxis()->Grid().SetVisible(false);
         c.LeftAxis()->MinorGrid().SetVisible(true);
         c.LeftAxis()->MinorGrid().SetColor(clSilver);
     }},
    {"walls3d",
     [](TChart& c) {
         c.BackWall().SetTransparent(false);
         c.BottomWall().SetSize(4);
         c.LeftWall().SetColor(0xC0FFC0);
     }},
};

// Compares a picture with its golden file, or writes the file when asked to.
TEST(GoldenImages, WholeChartsPixelExact) {
    EnsureGuiApplication();
    const bool update = golden::Updating();
    for (const GoldenCase& c : Cases) {
        SCOPED_TRACE(c.name);
        TChart chart;
        NoLabels(chart);
        FixRanges(chart);
        c.setUp(chart);
        std::unique_ptr<TBitmap> image = RenderToBitmap(chart, 240, 160);
        ASSERT_FALSE(image->Empty());
        golden::Check(*image, c.name);
        if (update) continue;

        // The buffered repaint shows the very same picture.
        TBitmap again(240, 160);
        chart.Paint(again.Canvas(), TRect{0, 0, 240, 160});
        EXPECT_EQ(golden::CountDifferences(*image, again), 0);

        // Drawn straight into a bitmap, without the buffer, the picture is the same too.
        std::unique_ptr<TBitmap> direct = chart.DrawToBitmap();
        ASSERT_EQ(direct->Width(), 240);
        EXPECT_EQ(golden::CountDifferences(*image, *direct), 0);
        EXPECT_TRUE(chart.Canvas().GetBuffered());
    }
}

// Settings of every kind a chart copies (panel, walls, titles, legend, axes,
// 3D view, a series with its pointer), so that a field missing from one of
// the copy lists shows in the picture.
void SetEverything(TChart& c) {
    c.Title().SetCaption("Copied");
    c.Title().SetAlignment(taLeftJustify);
    c.Foot().SetCaption("foot");
    c.Legend().SetAlignment(laBottom);
    c.Legend().SetColorWidth(40);
    c.Border().SetVisible(true);
    c.Border().SetColor(clMaroon);
    c.SetBorderRound(6);
    c.Shadow().SetHorizSize(3);
    c.Gradient().SetVisible(true);
    c.Gradient().SetEndColor(0x80C0FF);
    c.View3DOptions().SetOrthogonal(false);
    c.View3DOptions().SetRotation(340);
    c.View3DOptions().SetElevation(350);
    c.View3DOptions().SetPerspective(30);
    c.SetChart3DPercent(25);
    c.BackWall().SetTransparent(false);
    c.BackWall().SetColor(0xE0FFE0);
    c.LeftWall().SetSize(6);
    c.BottomAxis()->SetInverted(true);
    c.BottomAxis()->Grid().SetColor(clRed);
    c.LeftAxis()->MinorGrid().SetVisible(true);
    c.LeftAxis()->SetLabels(true);
    c.LeftAxis()->Title().SetCaption("left");
    c.SetAxisBehind(false);
    c.Zoom().Direction = tzdHorizontal;
    c.Zoom().Allow = false;
}

void AddSeries(TChart& c, const TLineSeries* copyOf) {
    auto* s = new TLineSeries(&c);
    s->SetParentChart(&c);
    if (copyOf) {
        s->Assign(copyOf);
        return;
    }
    s->SetSeriesColor(clPurple);
    s->SetStairs(true);
    s->Pointer().SetStyle(psTriangle);
    s->Pointer().SetVisible(true);
    s->LinePen()->SetWidth(2);
    s->SetTitle("line");
    for (int i = 0; i <= 10; ++i) s->AddPoint(i, i * i);
}

TEST(GoldenImages, AnAssignedChartDrawsTheSame) {
    EnsureGuiApplication();
    std::vector<GoldenCase> cases(std::begin(Cases), std::end(Cases));
    cases.push_back({"everything", SetEverything});
    for (const GoldenCase& c : cases) {
        SCOPED_TRACE(c.name);
        TChart original;
        NoLabels(original);
        FixRanges(original);
        c.setUp(original);
        AddSeries(original, nullptr);
        TChart copy;
        copy.Assign(&original);
        // bevels belong to the control the chart sits in, not to the chart's settings
        copy.SetBevelInner(original.BevelInner());
        copy.SetBevelWidth(original.BevelWidth());
        AddSeries(copy, dynamic_cast<const TLineSeries*>(original.Series(0)));
        std::unique_ptr<TBitmap> want = RenderToBitmap(original, 240, 160);
        std::unique_ptr<TBitmap> got = RenderToBitmap(copy, 240, 160);
        EXPECT_EQ(golden::CountDifferences(*want, *got), 0);
        EXPECT_EQ(copy.Zoom().Direction, original.Zoom().Direction);
        EXPECT_EQ(copy.Zoom().Allow, original.Zoom().Allow);
    }
}

// The viewer's scene: time labels to the nanosecond, three blocks with their lines,
// legend and title, at the widths the window leaves beside its info panel, zoomed
// into one pulse, and with samples that are no numbers.
struct SceneCase {
    const char* name;
    int width;
    std::function<void(TChart&, std::vector<viewerscene::Series>&)> change;
};

const SceneCase SceneCases[] = {
    {"scene833", 833, nullptr},
    {"scene600", 600, nullptr},
    {"scene400", 400, nullptr},
    {"scene833zoom", 833,
     [](TChart& c, std::vector<viewerscene::Series>&) {
         const double t0 = viewerscene::BlockStart(2) + 700e-9, t1 = viewerscene::BlockStart(2) + 950e-9;
         c.ZoomToValues(0, 0, t0, t1, 0, 220, 0, 0);
     }},
    {"scene600gaps", 600,
     [](TChart&, std::vector<viewerscene::Series>& s) {
         // samples without a value leave gaps, never marks at mid-height or a line to the edge
         const double nan = std::numeric_limits<double>::quiet_NaN();
         for (int i = 760; i < 800; ++i) s[2].points->YValues()->SetValue(i, nan);
         s[2].points->YValues()->SetValue(880, nan);
         s[2].points->XValues()->SetValue(840, nan);
         s[2].line->SetDataSource(nullptr);
         s[2].line->SetDataSource(s[2].points);
     }},
};

TEST(GoldenImages, ViewerScenePixelExact) {
    EnsureGuiApplication();
    for (const SceneCase& c : SceneCases) {
        SCOPED_TRACE(c.name);
        TChart chart;
        auto series = viewerscene::Build(chart);
        if (c.change) c.change(chart, series);
        std::unique_ptr<TBitmap> image = RenderToBitmap(chart, c.width, 500);
        golden::Check(*image, c.name);
    }
}

}  // namespace

namespace {

int PixelsOf(const TBitmap& image, TColor colour, int fromY) {
    int n = 0;
    for (int y = std::max(fromY, 0); y < image.Height(); ++y)
        for (int x = 0; x < image.Width(); ++x) n += image.GetPixel(x, y) == colour;
    return n;
}

// Axis texts are only their letters, whatever an element drawn before them left
// in the canvas: a legend of point symbols leaves a solid brush and an opaque
// text background behind.
TEST(GoldenImages, AxisTextsAfterALegendOfPoints) {
    EnsureGuiApplication();
    TChart chart;
    chart.SetView3D(false);
    auto* s = new TPointSeries(&chart);
    s->SetParentChart(&chart);
    for (int i = 0; i <= 10; ++i) s->AddPoint(i, (i * 3) % 7);
    chart.BottomAxis()->Title().SetCaption("Time stamp");
    std::unique_ptr<TBitmap> image = RenderToBitmap(chart, 400, 250);
    golden::Check(*image, "pointlegend");
    EXPECT_EQ(PixelsOf(*image, ColorToRGB(s->SeriesColor()), chart.BottomAxis()->LabelsPos), 0);
}

TEST(GoldenImages, EveryAxisTextPathSetsItsOwnBackground) {
    EnsureGuiApplication();
    TChart chart;
    chart.DepthAxis()->SetVisible(true);
    auto* s = new TLineSeries(&chart);
    s->SetParentChart(&chart);
    for (int i = 0; i <= 10; ++i) s->AddPoint(i, i);
    chart.BottomAxis()->Title().SetCaption("bottom");
    chart.LeftAxis()->Title().SetCaption("left");
    chart.LeftAxis()->Title().SetAngle(-30);
    chart.DepthAxis()->Title().SetCaption("depth");
    chart.OnBeforeDrawAxes = [&](TObject*) {
        TCanvas* device = chart.Canvas().GetDeviceHandle();
        device->Brush().SetStyle(bsSolid);
        device->Brush().SetColor(clLime);
        device->SetBackgroundColor(clLime);
        device->SetBackgroundMode(OPAQUE);
    };
    std::unique_ptr<TBitmap> image = RenderToBitmap(chart, 400, 250);
    EXPECT_EQ(PixelsOf(*image, clLime, 0), 0);
}

}  // namespace
