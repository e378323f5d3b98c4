// Texts with a gradient and an outline fill only their letters, whatever was drawn
// and clipped before them: on a bare canvas and among a chart's titles.

#include <gtest/gtest.h>

#include <functional>

#include "Chart.h"
#include "ChartControl.h"
#include "GoldenCompare.h"
#include "GuiApplication.h"
#include "PlotCanvas.h"

namespace {

// Pixels of the rectangle that differ between the two pictures.
int DifferencesIn(const TBitmap& a, const TBitmap& b, const TRect& r) {
    int n = 0;
    for (int y = std::max(0, r.Top); y < std::min(a.Height(), r.Bottom); ++y)
        for (int x = std::max(0, r.Left); x < std::min(a.Width(), r.Right); ++x)
            n += a.GetPixel(x, y) != b.GetPixel(x, y);
    return n;
}

// A red gradient text with an outline on white, after what `before` draws above it.
std::unique_ptr<TBitmap> GradientText(const std::function<void(TPlotCanvas3D&)>& before) {
    auto window = std::make_unique<TBitmap>(300, 100);
    TPlotCanvas3D canvas;
    canvas.SetBuffered(false);
    canvas.BeginDrawing(&window->Canvas(), nullptr, TRect{0, 0, 300, 100}, false, clWhite);
    canvas.GetDeviceHandle()->Brush().SetColor(clWhite);
    canvas.GetDeviceHandle()->FillRect(TRect{0, 0, 300, 100});
    canvas.SetTextAlignment(TA_LEFT);
    canvas.SetBackgroundMode(TRANSPARENT);
    before(canvas);
    TPlotFont font;
    font.SetSize(20);
    font.Gradient().SetVisible(true);
    font.Gradient().SetStartColor(clRed);
    font.Gradient().SetEndColor(clRed);
    font.OutLine().SetVisible(true);
    canvas.SelectFont(font);
    canvas.WriteText(10, 50, "Gradient text");
    return window;
}

TEST(TextEffects, GradientTextIsClippedToItsLettersAfterEarlierClips) {
    EnsureGuiApplication();
    const std::unique_ptr<TBitmap> alone = GradientText([](TPlotCanvas3D&) {});
    const TRect textArea{0, 45, 300, 100};
    int red = 0;
    for (int y = textArea.Top; y < textArea.Bottom; ++y)
        for (int x = 0; x < 300; ++x) red += alone->GetPixel(x, y) == clRed;
    ASSERT_GT(red, 100);
    ASSERT_LT(red, 2000);  // the letters, not their 155 x 30 box

    TPlotFont other;
    const std::pair<const char*, std::function<void(TPlotCanvas3D&)>> earlier[] = {
        {"gradient text",
         [&](TPlotCanvas3D& c) {
             other.Gradient().SetVisible(true);
             c.SelectFont(other);
             c.WriteText(5, 5, "first");
         }},
        {"rectangle clip",
         [](TPlotCanvas3D& c) {
             c.ClipToRectangle(TRect{0, 0, 50, 30});
             c.GetDeviceHandle()->FillRect(TRect{0, 0, 60, 40});
             c.RemoveClipping();
         }},
        {"ellipse clip",
         [](TPlotCanvas3D& c) {
             c.ClipToEllipse(TRect{0, 0, 50, 30});
             c.GetDeviceHandle()->FillRect(TRect{0, 0, 60, 40});
             c.RemoveClipping();
         }},
    };
    for (const auto& [name, before] : earlier) {
        SCOPED_TRACE(name);
        EXPECT_EQ(DifferencesIn(*alone, *GradientText(before), textArea), 0);
    }
}

// A flat chart on a radial panel gradient: a framed left title with a shadow and a
// right subtitle above, a gradient foot with an outline below.
void BuildChart(TChart& c, bool withTitles) {
    c.SetView3D(false);
    c.Gradient().SetVisible(true);
    c.Gradient().SetDirection(gdRadial);
    c.Gradient().SetStartColor(0xF0E0D0);
    c.Gradient().SetEndColor(0x806040);
    c.Title().SetCaption(withTitles ? "Left title" : "");
    c.Title().SetAlignment(taLeftJustify);
    c.Title().SetTransparent(false);
    c.Title().Font().Shadow().SetHorizSize(-3);
    c.Title().Font().Shadow().SetVertSize(2);
    c.SubTitle().SetCaption(withTitles ? "Right subtitle" : "");
    c.SubTitle().SetAlignment(taRightJustify);
    c.Foot().SetCaption("Gradient text");
    c.Foot().Font().SetSize(16);
    c.Foot().Font().Gradient().SetVisible(true);
    c.Foot().Font().OutLine().SetVisible(true);
}

TEST(TextEffects, GradientFootFillsOnlyItsLettersAfterOtherTitles) {
    EnsureGuiApplication();
    TChart full;
    BuildChart(full, true);
    std::unique_ptr<TBitmap> image = RenderToBitmap(full, 400, 250);
    golden::Check(*image, "gradient_text");

    // The top titles take no room at the bottom and the panel gradient depends on
    // the panel alone, so the foot's strip is the same with and without them.
    TChart alone;
    BuildChart(alone, false);
    std::unique_ptr<TBitmap> single = RenderToBitmap(alone, 400, 250);
    const TRect foot = full.Foot().ShapeBounds();
    ASSERT_EQ(foot, alone.Foot().ShapeBounds());
    ASSERT_GT(foot.Right - foot.Left, 50);
    EXPECT_EQ(DifferencesIn(*image, *single, foot), 0);
}

}  // namespace
