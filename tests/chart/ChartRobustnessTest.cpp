#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Chart.h"
#include "ChartControl.h"
#include "GuiApplication.h"
#include "RecordingCanvas.h"

namespace {

// Nonsense sizes, margins and contents draw something sensible: no crash, no
// hang, a plot rectangle inside the panel.
TEST(ChartRobustness, DegenerateSizesAndContents) {
    EnsureGuiApplication();
    struct Case {
        const char* what;
        int width, height;
        std::function<void(TChart&)> setUp;
    } cases[] = {
        {"empty", 0, 0, [](TChart&) {}},
        {"negative", -10, -20, [](TChart&) {}},
        {"one pixel", 1, 1, [](TChart& c) { c.SetChart3DPercent(100); }},
        {"huge margins", 300, 200,
         [](TChart& c) {
             for (int i = 0; i < 4; ++i) c.SetMargin(i, 400);
         }},
        {"negative margins", 300, 200,
         [](TChart& c) {
             c.SetMarginUnits(muPixels);
             for (int i = 0; i < 4; ++i) c.SetMargin(i, -1000);
         }},
        {"tall title", 300, 200,
         [](TChart& c) {
             c.Title().SetText(std::vector<std::string>(500, "line"));
             c.Foot().SetText(std::vector<std::string>(500, "foot"));
         }},
        {"many series", 120, 90,
         [](TChart& c) {
             for (int k = 0; k < 300; ++k) {
                 auto* s = new TChartSeries(nullptr);
                 s->AddPoint(k, k);
                 s->SetTitle(std::string(static_cast<std::size_t>(k % 40), 'x'));
                 s->SetParentChart(&c);
             }
             c.Legend().SetAlignment(laBottom);
             c.Legend().SetCheckBoxes(true);
         }},
        {"wild axes", 300, 200,
         [](TChart& c) {
             TChartAxis* a = c.BottomAxis();
             a->SetAutomatic(false);
             a->SetAxisRange(-1e300, 1e300);
             a->SetLabelStyle(talValue);
             c.LeftAxis()->SetLogarithmic(true);
             c.LeftAxis()->SetAutomatic(false);
             c.LeftAxis()->SetAxisRange(-5, 1e-300);
             c.LeftAxis()->SetLabelStyle(talValue);
             c.LeftAxis()->MinorGrid().SetVisible(true);
             c.RightAxis()->SetPositionPercent(250);
             c.TopAxis()->SetLabelsAngle(45);
             c.TopAxis()->Title().SetCaption("Top\rtwo lines");
         }},
        {"wild depth axis", 300, 200,
         [](TChart& c) {
             c.SetView3D(true);
             c.View3DOptions().SetOrthoAngle(135);
             c.View3DOptions().SetZoom(1);
             for (int k = 0; k < 3; ++k) {
                 auto* s = new TChartSeries(nullptr);
                 s->AddPoint(k, k);
                 s->SetParentChart(&c);
             }
             c.BottomWall().SetSize(1000000);
             c.RightWall().SetVisible(true);
             c.RightWall().SetSize(2000000000);
             TChartAxis* d = c.DepthAxis();
             d->SetVisible(true);
             d->SetStartPosition(-1e9);
             d->SetEndPosition(1e9);
             d->SetLabelsSeparation(0);
             d->Title().SetCaption(std::string(5000, 'd'));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TChart chart;
        c.setUp(chart);
        std::unique_ptr<TBitmap> image;
        ASSERT_NO_THROW(image = RenderToBitmap(chart, c.width, c.height));
        EXPECT_EQ(image->Width(), std::max(c.width, 0));
        const TRect& p = chart.PlotRect();
        EXPECT_LT(p.Left, p.Right);
        EXPECT_LT(p.Top, p.Bottom);
        EXPECT_LE(p.Right - p.Left, std::max(chart.PanelRect().Width(), 1));
        EXPECT_TRUE(chart.AutoRepaint());
    }
}

}  // namespace
