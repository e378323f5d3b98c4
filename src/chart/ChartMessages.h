#pragma once
// The chart engine's user-visible texts: errors, default formats, the default font,
// gallery and tool names. Read them at the time of use (never copy them at start-up).

#include <string>

// Texts of the core engine.
struct TPlotConst {
    std::string ErrFirstLegendValue;
    std::string ErrNoParentChartForSource;
    std::string ErrInvalidDataSource;
    std::string ErrSampleValueCount;
    std::string ErrDateTimeLogAxis;
    std::string ErrLogAxisNegative;
    std::string ErrLabelSeparation;
    std::string ErrAxisIncrement;
    std::string ErrAxisMinimum;
    std::string ErrAxisMaximum;
    std::string ErrPointsPerPage;
    std::string ErrChart3DPercent;
    std::string ErrCircularSource;
    std::string TextValueOfTotal;
    std::string TextValueOfTotalMultiLine;
    std::string FormatPercent;
    std::string FormatValues;
    std::string DefaultFontSize;
    std::string DefaultFontName;
    std::string ErrPointerSize;
    std::string ErrFunctionPeriod;
    std::string NameXValues;
    std::string NameYValues;
    std::string TextSeriesPrefix;
    std::string StyleNormal;
    std::string StyleNoBorder;
    std::string StyleColors;
    std::string StyleMarks;
    std::string StyleStairs;
    std::string StylePoints;
    std::string StyleHeight;
    std::string StyleHollow;
    std::string StylePoint2D;
    std::string StyleTriangle;
    std::string StyleStar;
    std::string StyleCircle;
    std::string StyleDownTriangle;
    std::string StyleCross;
    std::string StyleDiamond;
    std::string StyleGradient;
    std::string ErrSeriesDeleteIndex;
};

// Texts of the extended series, functions and tools.
struct TPlotExtConst {
    std::string PageExtended;
    std::string FunctionNameSmoothing;
    std::string ToolNameCursor;
    std::string ToolNameDragMarks;
    std::string ToolNameAxisArrows;
    std::string ToolNameDrawLine;
    std::string ToolNameNearestPoint;
    std::string ToolNameColorBand;
    std::string ToolNameColorLine;
    std::string ToolNameRotate;
    std::string ToolNameImage;
    std::string ToolNameMarkTips;
    std::string ToolNameAnnotation;
    std::string ToolNameSeriesAnimation;
    std::string ToolNameGridBand;
};

// The process-wide tables. They are filled before any code of the engine runs, even from
// other translation units' static initialisers (they are constructed on first use).
TPlotConst& PlotConst();
TPlotExtConst& PlotExtConst();

// Line separator inside texts.
inline constexpr char LineSeparator = '\r';

// Each user of a table initialises it once and finalises it once: the first
// initialisation fills it (again, after a release), later ones only count; the
// last finalisation releases it. The engine itself is the first user, from its
// first use of a table until the process ends.
void InitPlotConst();
void InitPlotExtConst();
void FinalizePlotConst();
void FinalizePlotExtConst();
// Releases every text of a table (set to empty) whoever still uses it; the next
// Init... fills it again.
void ReleasePlotConst();
void ReleasePlotExtConst();
