#include "ChartMessages.h"

namespace {

struct Tables {
    TPlotConst core;
    TPlotExtConst ext;
    bool coreFilled = false;
    bool extFilled = false;
    // Set by the first initialisation, so that first use fills a table but use after a
    // release does not quietly refill it.
    bool coreStarted = false;
    bool extStarted = false;
};

Tables& tables() {
    static Tables t;
    return t;
}

void fillCore(TPlotConst& c) {
    c.ErrFirstLegendValue = "First Legend Value must be > 0";
    c.ErrNoParentChartForSource = "No ParentChart to validate DataSource";
    c.ErrInvalidDataSource = "No valid DataSource: %s";
    c.ErrSampleValueCount = "FillSampleValues NumValues must be > 0";
    c.ErrDateTimeLogAxis = "DateTime Axis cannot be Logarithmic";
    c.ErrLogAxisNegative = "Logarithmic Axis Min and Max values should be >= 0";
    c.ErrLabelSeparation = "Labels Separation % must be greater than 0";
    c.ErrAxisIncrement = "Axis increment must be >= 0";
    c.ErrAxisMinimum = "Axis Minimum Value must be <= Maximum";
    c.ErrAxisMaximum = "Axis Maximum Value must be >= Minimum";
    c.ErrPointsPerPage = "MaxPointsPerPage must be >= 0";
    c.ErrChart3DPercent = "3D effect percent must be between %d and %d";
    c.ErrCircularSource = "Circular Series dependences are not allowed";
    c.TextValueOfTotal = "%s of %s";
    c.TextValueOfTotalMultiLine = std::string("%s") + LineSeparator + "of %s";
    c.FormatPercent = "##0.## %";
    c.FormatValues = "#,##0.###";
    c.DefaultFontSize = "8";
    c.DefaultFontName = "Arial";
    c.ErrPointerSize = "Pointer size must be greater than zero";
    c.ErrFunctionPeriod = "Function Period should be >= 0";
    c.NameXValues = "X";
    c.NameYValues = "Y";
    c.TextSeriesPrefix = "Series";
    c.StyleNormal = "Normal";
    c.StyleNoBorder = "No Border";
    c.StyleColors = "Colors";
    c.StyleMarks = "Marks";
    c.StyleStairs = "Stairs";
    c.StylePoints = "Points";
    c.StyleHeight = "Height";
    c.StyleHollow = "Hollow";
    c.StylePoint2D = "Point 2D";
    c.StyleTriangle = "Triangle";
    c.StyleStar = "Star";
    c.StyleCircle = "Circle";
    c.StyleDownTriangle = "Down Tri.";
    c.StyleCross = "Cross";
    c.StyleDiamond = "Diamond";
    c.StyleGradient = "Gradient";
    c.ErrSeriesDeleteIndex = "Series Delete: ValueIndex %d out of bounds (0 to %d).";
}

void fillExt(TPlotExtConst& e) {
    e.PageExtended = "Extended";
    e.FunctionNameSmoothing = "Smoothing";
    e.ToolNameCursor = "Cursor";
    e.ToolNameDragMarks = "Drag Marks";
    e.ToolNameAxisArrows = "Axis Arrows";
    e.ToolNameDrawLine = "Draw Line";
    e.ToolNameNearestPoint = "Nearest Point";
    e.ToolNameColorBand = "Color Band";
    e.ToolNameColorLine = "Color Line";
    e.ToolNameRotate = "Rotate";
    e.ToolNameImage = "Image";
    e.ToolNameMarkTips = "Mark Tips";
    e.ToolNameAnnotation = "Annotation";
    e.ToolNameSeriesAnimation = "Series Animation";
    e.ToolNameGridBand = "Grid Band";
}

}  // namespace

void InitPlotConst() {
    Tables& t = tables();
    t.coreStarted = true;
    if (!t.coreFilled) {
        fillCore(t.core);
        t.coreFilled = true;
    }
}

void InitPlotExtConst() {
    Tables& t = tables();
    t.extStarted = true;
    if (!t.extFilled) {
        fillExt(t.ext);
        t.extFilled = true;
    }
}

void ReleasePlotConst() {
    Tables& t = tables();
    t.core = TPlotConst{};
    t.coreFilled = false;
    t.coreStarted = true;
}

void ReleasePlotExtConst() {
    Tables& t = tables();
    t.ext = TPlotExtConst{};
    t.extFilled = false;
    t.extStarted = true;
}

TPlotConst& PlotConst() {
    if (!tables().coreStarted) InitPlotConst();
    return tables().core;
}

TPlotExtConst& PlotExtConst() {
    if (!tables().extStarted) InitPlotExtConst();
    return tables().ext;
}
