// A text with a gradient and an outline fills only its letters, whatever was
// clipped before it among a chart's titles.

#include <gtest/gtest.h>

#include "Chart.h"
#include "ChartControl.h"
#include "GoldenCompare.h"
#include "GuiApplication.h"

namespace {

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
