#include "ChartMessages.h"

namespace {

struct Tables {
    TPlotConst core;
    TPlotExtConst ext;
    // Initialisations not yet finalised.
    int coreUsers = 0;
    int extUsers = 0;
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
    if (t.coreUsers++ == 0) fillCore(t.core);
}

void InitPlotExtConst() {
    Tables& t = tables();
    t.extStarted = true;
    if (t.extUsers++ == 0) fillExt(t.ext);
}

void ReleasePlotConst() {
    Tables& t = tables();
    t.core = TPlotConst{};
    t.coreUsers = 0;
    t.coreStarted = true;
}

void ReleasePlotExtConst() {
    Tables& t = tables();
    t.ext = TPlotExtConst{};
    t.extUsers = 0;
    t.extStarted = true;
}

void FinalizePlotConst() {
    Tables& t = tables();
    if (t.coreUsers > 0 && --t.coreUsers == 0) ReleasePlotConst();
}

void FinalizePlotExtConst() {
    Tables& t = tables();
    if (t.extUsers > 0 && --t.extUsers == 0) ReleasePlotExtConst();
}

TPlotConst& PlotConst() {
    if (!tables().coreStarted) InitPlotConst();
    return tables().core;
}

TPlotExtConst& PlotExtConst() {
    if (!tables().extStarted) InitPlotExtConst();
    return tables().ext;
}

namespace {

// The engine's own use of the tables: started at load (or at an earlier first
// use), finalised when the process ends, which releases them unless another
// user still holds one.
struct EngineUse {
    EngineUse() {
        PlotConst();
        PlotExtConst();
    }
    ~EngineUse() {
        FinalizePlotConst();
        FinalizePlotExtConst();
    }
} engineUse;

}  // namespace
