// What the user or the program set stays as set: a place set to the one a
// shape has, a place set for a right-aligned title, values set on a cursor
// before it is drawn; and changes that show are repainted.

#include <gtest/gtest.h>

#include <string>

#include "Chart.h"
#include "ChartControl.h"
#include "ChartTools.h"
#include "FormSamples.h"
#include "GuiApplication.h"

namespace {

TChart& Drawn(TChart& chart) {
    (void)RenderToBitmap(chart, 400, 300);
    return chart;
}

}  // namespace

// Setting the place a shape already has changes nothing: no custom position,
// no repaint, the same plot on the next paint. Another place is the user's.
TEST(UserValues, SettingThePlaceAShapeHasChangesNothing) {
    EnsureGuiApplication();
    for (const bool left : {true, false}) {
        for (int which = 0; which < 5; ++which) {
            TChart chart;
            formsamples::AddLine(chart, "A")->AddPoint(1, 2);
            formsamples::AddLine(chart, "B")->AddPoint(2, 1);
            chart.Foot().SetCaption("foot");
            TPlotCustomShapePosition* shapes[] = {&chart.Legend(), &chart.Title(), &chart.SubTitle(), &chart.Foot(),
                                                  &chart.SubFoot()};
            TPlotCustomShapePosition& shape = *shapes[which];
            SCOPED_TRACE(std::to_string(which) + (left ? " left" : " top"));
            const TRect plot = Drawn(chart).PlotRect();
            const int repaints = chart.InvalidateCount();
            if (left)
                shape.SetLeft(shape.Left());
            else
                shape.SetTop(shape.Top());
            EXPECT_FALSE(shape.CustomPosition());
            EXPECT_EQ(chart.InvalidateCount(), repaints);
            EXPECT_EQ(Drawn(chart).PlotRect(), plot);
            if (left)
                shape.SetLeft(shape.Left() + 1);
            else
                shape.SetTop(shape.Top() + 1);
            EXPECT_TRUE(shape.CustomPosition());
            EXPECT_GT(chart.InvalidateCount(), repaints);
        }
    }
}

// A title placed by the user stays where it was placed whatever its
// alignment, and shows its whole text there, paint after paint.
TEST(UserValues, APlacedTitleStaysWhereItWasPlaced) {
    EnsureGuiApplication();
    for (const TAlignment alignment : {taLeftJustify, taCenter, taRightJustify}) {
        SCOPED_TRACE(alignment);
        TChart chart;
        chart.Title().SetText({"Title"});
        chart.Title().SetAlignment(alignment);
        chart.Title().SetLeft(20);
        chart.Title().SetTop(100);
        for (int paint = 0; paint < 3; ++paint) {
            Drawn(chart);
            const TRect box = chart.Title().ShapeBounds();
            EXPECT_EQ(box.Left, 20);
            EXPECT_EQ(box.Top, 100);
            // the box is as wide as the text and the width of one "W"
            EXPECT_GE(box.Width(), chart.Canvas().MeasureTextWidth("Title")) << paint;
        }
    }
}

// A panel's shadow is filled with the parent's colour: a new one repaints,
// the same one does not. A font takes the outline, shadow and gradient of
// the font it copies, none when that has none.
TEST(UserValues, ParentColourRepaintsAndFontsCopyTheirParts) {
    TChart chart;
    int repaints = chart.InvalidateCount();
    chart.SetParentColor(clRed);
    EXPECT_GT(chart.InvalidateCount(), repaints);
    repaints = chart.InvalidateCount();
    chart.SetParentColor(clRed);
    EXPECT_EQ(chart.InvalidateCount(), repaints);

    TPlotFont plain, rich;
    rich.OutLine().SetVisible(true);
    rich.Shadow().SetHorizSize(2);
    rich.Gradient().SetVisible(true);
    TPlotFont copy;
    copy.Assign(&rich);
    ASSERT_NE(copy.ShadowIfAny(), nullptr);
    EXPECT_EQ(copy.Shadow().HorizSize(), 2);
    EXPECT_TRUE(copy.OutLine().Visible());
    EXPECT_TRUE(copy.Gradient().Visible());
    copy.Assign(&plain);
    EXPECT_EQ(copy.OutLineIfAny(), nullptr);
    EXPECT_EQ(copy.ShadowIfAny(), nullptr);
    EXPECT_EQ(copy.GradientIfAny(), nullptr);
}

// A cursor's values set before its first paint are where it is drawn; the
// axes' centre stands in only for a value nobody set.
TEST(UserValues, ACursorKeepsTheValuesSetBeforeItsFirstPaint) {
    EnsureGuiApplication();
    for (int set = 0; set < 4; ++set) {
        SCOPED_TRACE(set);
        TChart chart;
        chart.Legend().SetVisible(false);
        TLineSeries* s = formsamples::AddLine(chart, "A");
        for (int i = 0; i <= 10; ++i) s->AddPoint(i * 10, i * 10);
        auto* cursor = new TCursorTool(&chart);
        cursor->SetSeries(s);
        cursor->SetParentChart(&chart);
        if (set & 1) cursor->SetXValue(30);
        if (set & 2) cursor->SetYValue(70);
        Drawn(chart);
        const TChartAxis& h = *chart.BottomAxis();
        const TChartAxis& v = *chart.LeftAxis();
        const int cx = (h.StartPixel() + h.EndPixel()) / 2, cy = (v.StartPixel() + v.EndPixel()) / 2;
        EXPECT_EQ(cursor->CursorX(), (set & 1) ? h.ValueToPixel(30) : cx);
        EXPECT_EQ(cursor->CursorY(), (set & 2) ? v.ValueToPixel(70) : cy);
        for (int paint = 0; paint < 2; ++paint, Drawn(chart)) {
            EXPECT_EQ(cursor->XValue(), (set & 1) ? 30 : h.PixelToValue(cx));
            EXPECT_EQ(cursor->YValue(), (set & 2) ? 70 : v.PixelToValue(cy));
        }
    }
}
