// Texts with a gradient and an outline fill only their letters, whatever was
// clipped before them: on a bare canvas and among a chart's titles.

#include <gtest/gtest.h>

#include <functional>

#include "Chart.h"
#include "ChartControl.h"
#include "GoldenCompare.h"
#include "GuiApplication.h"
#include "PlotCanvas.h"

namespace {

int DifferencesIn(const TBitmap& a, const TBitmap& b, const TRect& r) {
    int n = 0;
    for (int y = r.Top; y < r.Bottom; ++y)
        for (int x = r.Left; x < r.Right; ++x) n += a.GetPixel(x, y) != b.GetPixel(x, y);
    return n;
}

// A red gradient text with an outline on white, after `before` drew with a clip.
std::unique_ptr<TBitmap> GradientText(const std::function<void(TPlotCanvas3D&)>& before) {
    auto window = std::make_unique<TBitmap>(300, 100);
    TPlotCanvas3D canvas;
    canvas.SetBuffered(false);
    canvas.BeginDrawing(&window->Canvas(), nullptr, TRect{0, 0, 300, 100}, false, clWhite);
    canvas.GetDeviceHandle()->Brush().SetColor(clWhite);
    canvas.GetDeviceHandle()->FillRect(TRect{0, 0, 300, 100});
    before(canvas);
    TPlotFont font;
    font.SetSize(20);
    font.Gradient().SetVisible(true);
    font.Gradient().SetStartColor(clRed);
    font.Gradient().SetEndColor(clRed);
    font.OutLine().SetVisible(true);
    canvas.SelectFont(font);
    canvas.SetTextAlignment(TA_LEFT);
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
    other.Gradient().SetVisible(true);
    const std::function<void(TPlotCanvas3D&)> earlier[] = {
        [&](TPlotCanvas3D& c) {
            c.SelectFont(other);
            c.WriteText(5, 5, "first");
        },
        [](TPlotCanvas3D& c) {
            c.ClipToRectangle(TRect{0, 0, 50, 30});
        },
        [](TPlotCanvas3D& c) {
            c.ClipToEllipse(TRect{0, 0, 50, 30});
        },
    };
    for (std::size_t i = 0; i < std::size(earlier); ++i) {
        SCOPED_TRACE(i);
        const std::unique_ptr<TBitmap> after = GradientText([&](TPlotCanvas3D& c) {
            earlier[i](c);
            c.GetDeviceHandle()->FillRect(TRect{0, 0, 60, 40});
            if (i > 0) c.RemoveClipping();
        });
        EXPECT_EQ(DifferencesIn(*alone, *after, textArea), 0);
    }
}

// A flat chart on a radial panel gradient: a framed left title with a shadow and a
// right subtitle above, a gradient foot with an outline below.
void BuildChart(TChart& c) {
    c.SetView3D(false);
    c.Gradient().SetVisible(true);
    c.Gradient().SetDirection(gdRadial);
    c.Gradient().SetStartColor(0xF0E0D0);
    c.Gradient().SetEndColor(0x806040);
    c.Title().SetCaption("Left title");
    c.Title().SetAlignment(taLeftJustify);
    c.Title().SetTransparent(false);
    c.Title().Font().Shadow().SetHorizSize(-3);
    c.Title().Font().Shadow().SetVertSize(2);
    c.SubTitle().SetCaption("Right subtitle");
    c.SubTitle().SetAlignment(taRightJustify);
    c.Foot().SetCaption("Gradient text");
    c.Foot().Font().SetSize(16);
    c.Foot().Font().Gradient().SetVisible(true);
    c.Foot().Font().OutLine().SetVisible(true);
}

TEST(TextEffects, GradientFootFillsOnlyItsLettersAfterOtherTitles) {
    EnsureGuiApplication();
    TChart chart;
    BuildChart(chart);
    golden::Check(*RenderToBitmap(chart, 400, 250), "gradient_text");
}

}  // namespace
