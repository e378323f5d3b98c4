#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "ChartMessages.h"

namespace {

TEST(Messages, CoreTextsAreExact) {
    const TPlotConst& c = PlotConst();
    const std::vector<std::pair<const std::string*, const char*>> texts = {
        {&c.ErrFirstLegendValue, "First Legend Value must be > 0"},
        {&c.ErrNoParentChartForSource, "No ParentChart to validate DataSource"},
        {&c.ErrInvalidDataSource, "No valid DataSource: %s"},
        {&c.ErrSampleValueCount, "FillSampleValues NumValues must be > 0"},
        {&c.ErrDateTimeLogAxis, "DateTime Axis cannot be Logarithmic"},
        {&c.ErrLogAxisNegative, "Logarithmic Axis Min and Max values should be >= 0"},
        {&c.ErrLabelSeparation, "Labels Separation % must be greater than 0"},
        {&c.ErrAxisIncrement, "Axis increment must be >= 0"},
        {&c.ErrAxisMinimum, "Axis Minimum Value must be <= Maximum"},
        {&c.ErrAxisMaximum, "Axis Maximum Value must be >= Minimum"},
        {&c.ErrPointsPerPage, "MaxPointsPerPage must be >= 0"},
        {&c.ErrChart3DPercent, "3D effect percent must be between %d and %d"},
        {&c.ErrCircularSource, "Circular Series dependences are not allowed"},
        {&c.TextValueOfTotal, "%s of %s"},
        {&c.TextValueOfTotalMultiLine, "%s\rof %s"},
        {&c.FormatPercent, "##0.## %"},
        {&c.FormatValues, "#,##0.###"},
        {&c.DefaultFontSize, "8"},
        {&c.DefaultFontName, "Arial"},
        {&c.ErrPointerSize, "Pointer size must be greater than zero"},
        {&c.ErrFunctionPeriod, "Function Period should be >= 0"},
        {&c.NameXValues, "X"},
        {&c.NameYValues, "Y"},
        {&c.TextSeriesPrefix, "Series"},
        {&c.StyleNormal, "Normal"},
        {&c.StyleNoBorder, "No Border"},
        {&c.StyleColors, "Colors"},
        {&c.StyleMarks, "Marks"},
        {&c.StyleStairs, "Stairs"},
        {&c.StylePoints, "Points"},
        {&c.StyleHeight, "Height"},
        {&c.StyleHollow, "Hollow"},
        {&c.StylePoint2D, "Point 2D"},
        {&c.StyleTriangle, "Triangle"},
        {&c.StyleStar, "Star"},
        {&c.StyleCircle, "Circle"},
        {&c.StyleDownTriangle, "Down Tri."},
        {&c.StyleCross, "Cross"},
        {&c.StyleDiamond, "Diamond"},
        {&c.StyleGradient, "Gradient"},
        {&c.ErrSeriesDeleteIndex, "Series Delete: ValueIndex %d out of bounds (0 to %d)."},
    };
    for (const auto& [text, expected] : texts) EXPECT_EQ(*text, expected);
    // The line separator of the two-line percent text is a single CR.
    EXPECT_EQ(c.TextValueOfTotalMultiLine.find('\n'), std::string::npos);
    EXPECT_EQ(c.TextValueOfTotalMultiLine[2], '\r');
}

TEST(Messages, ExtendedTextsAreExact) {
    const TPlotExtConst& e = PlotExtConst();
    const std::vector<std::pair<const std::string*, const char*>> texts = {
        {&e.PageExtended, "Extended"},
        {&e.FunctionNameSmoothing, "Smoothing"},
        {&e.ToolNameCursor, "Cursor"},
        {&e.ToolNameDragMarks, "Drag Marks"},
        {&e.ToolNameAxisArrows, "Axis Arrows"},
        {&e.ToolNameDrawLine, "Draw Line"},
        {&e.ToolNameNearestPoint, "Nearest Point"},
        {&e.ToolNameColorBand, "Color Band"},
        {&e.ToolNameColorLine, "Color Line"},
        {&e.ToolNameRotate, "Rotate"},
        {&e.ToolNameImage, "Image"},
        {&e.ToolNameMarkTips, "Mark Tips"},
        {&e.ToolNameAnnotation, "Annotation"},
        {&e.ToolNameSeriesAnimation, "Series Animation"},
        {&e.ToolNameGridBand, "Grid Band"},
    };
    for (const auto& [text, expected] : texts) EXPECT_EQ(*text, expected);
}

TEST(Messages, ReleaseEmptiesAndInitRefillsOnce) {
    PlotConst().FormatValues = "changed";
    InitPlotConst();  // already filled: a second fill does nothing
    EXPECT_EQ(PlotConst().FormatValues, "changed");
    ReleasePlotConst();
    EXPECT_TRUE(PlotConst().FormatValues.empty());
    EXPECT_TRUE(PlotConst().ErrAxisMinimum.empty());
    InitPlotConst();
    EXPECT_EQ(PlotConst().FormatValues, "#,##0.###");
    ReleasePlotExtConst();  // even before any use, a released table stays empty
    EXPECT_TRUE(PlotExtConst().ToolNameCursor.empty());
    InitPlotExtConst();
    EXPECT_EQ(PlotExtConst().ToolNameCursor, "Cursor");
}

}  // namespace

TEST(Messages, TheLastUserToFinaliseReleasesTheTable) {
    PlotConst();
    InitPlotConst();  // a user besides the engine
    FinalizePlotConst();
    EXPECT_FALSE(PlotConst().FormatValues.empty());
    FinalizePlotConst();  // the engine's own, as when the process ends
    EXPECT_TRUE(PlotConst().FormatValues.empty());
    InitPlotConst();
    EXPECT_FALSE(PlotConst().FormatValues.empty());
}
