// The chart classes' properties as form data: what each class stores, under
// which name, and when; legacy names that are only read; the references
// (data sources, custom axes, tool series and axes) resolved once the whole
// form is read.

#include "ChartFormData.h"

#include <limits>

#include "ChartTools.h"
#include "ChartToolsExtra.h"
#include "ChartUtils.h"
#include "Format.h"
#include "Forms.h"
#include "LineSeries.h"
#include "MessagePump.h"
#include "SeriesFunction.h"
#include "SeriesMarks.h"
#include "StrUtils.h"

namespace {

using TBytes = std::vector<std::uint8_t>;

// Property helpers: the getter is the property's name, the setter Set + name.
#define P_INT(T, N) \
    Int<T>(         \
        #N, [](T& o) { return o.N(); }, [](T& o, std::int64_t v) { o.Set##N(static_cast<int>(v)); })
// An integer refused outside low .. high (the ranges below).
#define P_INT_IN(T, N, low, high) \
    IntIn<T>(                     \
        #N, low, high, [](T& o) { return o.N(); }, [](T& o, std::int64_t v) { o.Set##N(static_cast<int>(v)); })
#define P_FLOAT(T, N) \
    Float<T>(         \
        #N, [](T& o) { return o.N(); }, [](T& o, double v) { o.Set##N(v); })
#define P_BOOL(T, N) \
    Bool<T>(         \
        #N, [](T& o) { return o.N(); }, [](T& o, bool v) { o.Set##N(v); })
#define P_STR(T, N) \
    String<T>(      \
        #N, [](T& o) { return o.N(); }, [](T& o, const std::string& v) { o.Set##N(v); })
#define P_COLOR(T, N) \
    Color<T>(         \
        #N, [](T& o) { return o.N(); }, [](T& o, std::uint32_t v) { o.Set##N(v); })
#define P_ENUM(T, N, names)                    \
    Enum<T>(                                   \
        #N, names, [](T& o) { return o.N(); }, \
        [](T& o, std::int64_t v) { o.Set##N(static_cast<decltype(o.N())>(v)); })
#define P_OBJ(T, N, props) Object<T>(#N, props, [](T& o, bool) -> TObject* { return &o.N(); })
// A public field without a setter.
#define F_INT(T, N) \
    Int<T>(         \
        #N, [](T& o) { return o.N; }, [](T& o, std::int64_t v) { o.N = static_cast<int>(v); })
#define F_BOOL(T, N) \
    Bool<T>(         \
        #N, [](T& o) { return o.N; }, [](T& o, bool v) { o.N = v; })
#define F_ENUM(T, N, names) \
    Enum<T>(                \
        #N, names, [](T& o) { return o.N; }, [](T& o, std::int64_t v) { o.N = static_cast<decltype(o.N)>(v); })

const TFormNames PenStyleNames{"psSolid",      "psDash",  "psDot",         "psDashDot",
                               "psDashDotDot", "psClear", "psInsideFrame", "psAlternate"};
const TFormNames PenModeNames{"pmCopy", "pmXor", "pmNotXor", "pmNot", "pmBlack", "pmWhite"};
const TFormNames EndStyleNames{"esRound", "esSquare", "esFlat"};
const TFormNames BrushStyleNames{"bsSolid",     "bsClear",     "bsHorizontal", "bsVertical",
                                 "bsFDiagonal", "bsBDiagonal", "bsCross",      "bsDiagCross"};
const TFormNames FontStyleNames{"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"};
const TFormNames GradientDirectionNames{"gdTopBottom",  "gdBottomTop",   "gdLeftRight",      "gdRightLeft",
                                        "gdFromCenter", "gdFromTopLeft", "gdFromBottomLeft", "gdRadial"};
const TFormNames BevelNames{"bvNone", "bvLowered", "bvRaised"};
const TFormNames ShapeStyleNames{"fosRectangle", "fosRoundRectangle"};
const TFormNames AlignmentNames{"taLeftJustify", "taRightJustify", "taCenter"};
const TFormNames LegendAlignmentNames{"laLeft", "laRight", "laTop", "laBottom"};
const TFormNames LegendStyleNames{"lsAuto", "lsSeries", "lsValues", "lsLastValues"};
const TFormNames LegendTextStyleNames{"ltsPlain",  "ltsLeftValue", "ltsRightValue", "ltsLeftPercent", "ltsRightPercent",
                                      "ltsXValue", "ltsValue",     "ltsPercent",    "ltsXAndValue",   "ltsXAndPercent"};
const TFormNames SymbolSizeNames{"lcsPercent", "lcsPixels"};
const TFormNames SymbolPositionNames{"spLeft", "spRight"};
const TFormNames UnitsNames{"muPercent", "muPixels"};
const TFormNames LabelAlignNames{"alDefault", "alOpposite"};
const TFormNames LabelStyleNames{"talAuto", "talNone", "talValue", "talMark", "talText"};
const TFormNames BackImageModeNames{"pbmStretch", "pbmTile", "pbmCenter"};
const TFormNames PanningNames{"pmNone", "pmHorizontal", "pmVertical", "pmBoth"};
const TFormNames ZoomDirectionNames{"tzdHorizontal", "tzdVertical", "tzdBoth"};
const TFormNames MouseButtonNames{"mbLeft", "mbRight", "mbMiddle"};
const TFormNames ShiftNames{"ssShift", "ssAlt", "ssCtrl", "ssLeft", "ssRight", "ssMiddle", "ssDouble"};
const TFormNames ListOrderNames{"loNone", "loAscending", "loDescending"};
const TFormNames HorizAxisNames{"aTopAxis", "aBottomAxis", "aBothHorizAxis", "aCustomHorizAxis"};
const TFormNames VertAxisNames{"aLeftAxis", "aRightAxis", "aBothVertAxis", "aCustomVertAxis"};
const TFormNames PointerStyleNames{"psRectangle", "psCircle",    "psTriangle",     "psDownTriangle",
                                   "psCross",     "psDiagCross", "psStar",         "psDiamond",
                                   "psSmallDot",  "psNothing",   "psLeftTriangle", "psRightTriangle"};
const TFormNames StackNames{"cssNone", "cssOverlap", "cssStack", "cssStack100"};
const TFormNames MarksStyleNames{"smsValue",      "smsPercent", "smsLabel",        "smsLabelPercent",
                                 "smsLabelValue", "smsLegend",  "smsPercentTotal", "smsLabelPercentTotal",
                                 "smsXValue",     "smsXY"};
const TFormNames ArrowHeadNames{"ahNone", "ahLine", "ahSolid"};
const TFormNames PeriodAlignNames{"paFirst", "paCenter", "paLast"};
const TFormNames PeriodStyleNames{"psNumPoints", "psRange"};
const TFormNames CursorStyleNames{"cssHorizontal", "cssVertical", "cssBoth"};
const TFormNames ArrowPositionNames{"aaStart", "aaEnd", "aaBoth"};
const TFormNames DrawLineStyleNames{"dlLine", "dlHorizParallel", "dlVertParallel"};
const TFormNames NearestStyleNames{"hsNone", "hsCircle", "hsRectangle", "hsDiamond"};
const TFormNames ColorLineStyleNames{"clCustom", "clMaximum", "clCenter", "clMinimum"};
const TFormNames AnnotationPositionNames{"ppLeftTop", "ppLeftBottom", "ppRightTop", "ppRightBottom"};
const TFormNames RotateStyleNames{"rsAll", "rsRotation", "rsElevation"};
const TFormNames MouseActionNames{"mtmMove", "mtmClick"};

// What a drawable chart allows. A chart is at most MaxChartSide pixels a side
// (its bitmap stays at 256 MB); what is drawn inside it (pens, bevels, walls,
// ticks, pointers, depths) is at most that large, and positions and offsets
// reach at most MaxOffset beyond an edge. With every term that small, the
// sums and products drawing makes of them stay far inside an int.
constexpr int MaxChartSide = 8192;
constexpr int MaxOffset = 4 * MaxChartSide;
constexpr int MaxFontHeight = 2048;
constexpr int MaxDegrees = 360;
// Cursor ids are 16-bit.
constexpr int MinCursor = -32768;
constexpr int MaxCursor = 32767;
// As many marks as a form can hold points.
constexpr std::uint32_t MaxMarksItems = 1u << 20;

// Runs f with any refusal of the chart classes turned into a form error at line.
template <class F>
void AtLine(int line, F&& f) {
    try {
        f();
    } catch (const EFormError&) {
        throw;
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& e) {
        throw EFormError(e.what(), line);
    }
}

// ---------------------------------------------------------------------------
// Pictures as binary data: int32 width and height, then the pixels row by row
// as 32-bit colours, then, only for a transparent picture, a flags byte 1.
constexpr std::uint8_t PictureTransparent = 1;

TBytes PictureBytes(const TPicture* picture) {
    TBytes out;
    const TBitmap* b = picture ? picture->Graphic() : nullptr;
    if (!b || b->Empty()) return out;
    auto put = [&out](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    put(static_cast<std::uint32_t>(b->Width()));
    put(static_cast<std::uint32_t>(b->Height()));
    for (int y = 0; y < b->Height(); ++y)
        for (int x = 0; x < b->Width(); ++x) put(b->GetPixel(x, y));
    if (b->Transparent()) out.push_back(PictureTransparent);
    return out;
}

void SetPictureBytes(TPicture& picture, const TBytes& data, TFormReader& reader) {
    if (data.empty()) {
        picture.SetGraphic(nullptr);
        return;
    }
    auto get = [&data](std::size_t at) {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= std::uint32_t(data[at + static_cast<std::size_t>(i)]) << (8 * i);
        return v;
    };
    if (data.size() < 8) reader.Fail("Picture data cut short");
    const std::uint32_t w = get(0), h = get(4);
    const std::uint64_t pixels = 8 + std::uint64_t{4} * w * h, size = data.size();
    if (w == 0 || h == 0 || w > 0x8000 || h > 0x8000 || size < pixels || size > pixels + 1)
        reader.Fail("Picture data does not match its size");
    const bool transparent = size > pixels;
    if (transparent && data.back() != PictureTransparent)
        reader.Fail(Format("Unknown picture flags %d", static_cast<int>(data.back())));
    TBitmap bitmap(static_cast<int>(w), static_cast<int>(h));
    bitmap.SetTransparent(transparent);
    std::size_t at = 8;
    for (std::uint32_t y = 0; y < h; ++y)
        for (std::uint32_t x = 0; x < w; ++x, at += 4)
            bitmap.SetPixel(static_cast<int>(x), static_cast<int>(y), get(at));
    picture.SetGraphic(&bitmap);
}

// A picture property; get(obj, create) gives the picture, or nil when there is none.
template <class T>
TFormProp PictureProp(const char* name, TPicture* (*get)(T& obj, bool create)) {
    TFormProp p;
    p.Name = name;
    p.Write = [get](TObject& obj, TObject&) -> std::optional<TFormValue> {
        TBytes bytes = PictureBytes(get(dynamic_cast<T&>(obj), false));
        if (bytes.empty()) return std::nullopt;
        return TFormValue::OfBytes(std::move(bytes));
    };
    p.Read = [get](TObject& obj, const TFormValue& value, TFormReader& reader) {
        SetPictureBytes(*get(dynamic_cast<T&>(obj), true), ExpectKind(value, TFormKind::Binary, reader).Bytes, reader);
    };
    return p;
}

// A component reference written by name and resolved when the form is read.
std::optional<TFormValue> ReferenceValue(const TComponent* c) {
    if (!c) return std::nullopt;
    if (c->Name().empty()) throw EFormError("A referenced component has no name", 0);
    return TFormValue::OfIdent(c->Name());
}

// ---------------------------------------------------------------------------
// Drawing attributes.
struct TAttributeProps {
    TFormProps Pen, Brush, Shadow, Gradient, FontGradient, Font, View3D;

    TAttributeProps() {
        // What a sub-object starts as is its owner's doing (a callout hides its arrow, a
        // tool its pen): every value that is only left out when it is the default is
        // compared with the same sub-object of a freshly made owner, never with a
        // default the sub-object keeps for itself.
        Pen.P_COLOR(TChartPen, Color).P_INT_IN(TChartPen, Width, 0, MaxChartSide);
        Pen.P_ENUM(TChartPen, Style, PenStyleNames);
        Pen.P_ENUM(TChartPen, Mode, PenModeNames).P_BOOL(TChartPen, SmallDots);
        Pen.P_ENUM(TChartPen, EndStyle, EndStyleNames).P_BOOL(TChartPen, Visible);

        Brush.P_COLOR(TChartBrush, Color).P_ENUM(TChartBrush, Style, BrushStyleNames);
        Brush.Add(PictureProp<TChartBrush>(
            "Image", [](TChartBrush& o, bool create) -> TPicture* { return create ? &o.Image() : o.ImageIfAny(); }));

        Shadow.P_COLOR(TPlotShadow, Color).P_INT_IN(TPlotShadow, HorizSize, -MaxChartSide, MaxChartSide);
        Shadow.P_INT_IN(TPlotShadow, VertSize, -MaxChartSide, MaxChartSide);
        Shadow.P_INT(TPlotShadow, Transparency);

        for (TFormProps* g : {&Gradient, &FontGradient}) {
            g->P_INT(TCustomPlotGradient, Balance).P_ENUM(TCustomPlotGradient, Direction, GradientDirectionNames);
            // MidColor reads clNone while there is none, so that comparing it says whether it is set
            g->P_COLOR(TCustomPlotGradient, EndColor).P_COLOR(TCustomPlotGradient, MidColor);
            g->P_INT_IN(TCustomPlotGradient, RadialX, -MaxOffset, MaxOffset);
            g->P_INT_IN(TCustomPlotGradient, RadialY, -MaxOffset, MaxOffset);
            g->P_COLOR(TCustomPlotGradient, StartColor).P_BOOL(TCustomPlotGradient, Visible);
        }
        FontGradient.P_BOOL(TPlotFontGradient, Outline);

        Font.P_INT(TPlotFont, Charset);
        // colour and style against the values the font was made with
        Font.P_COLOR(TPlotFont, Color);
        Font.P_INT_IN(TPlotFont, Height, -MaxFontHeight, MaxFontHeight);
        Font.P_INT_IN(TPlotFont, InterCharSize, -MaxChartSide, MaxChartSide).P_STR(TPlotFont, Name);
        Font.Set<TPlotFont>(
            "Style", FontStyleNames, [](TPlotFont& o) { return o.Style(); },
            [](TPlotFont& o, std::int64_t v) { o.SetStyle(static_cast<TFontStyles>(v)); });
        Font.Object<TPlotFont>("OutLine", Pen, [](TPlotFont& o, bool create) -> TObject* {
            return create ? &o.OutLine() : o.OutLineIfAny();
        });
        Font.Object<TPlotFont>("Shadow", Shadow, [](TPlotFont& o, bool create) -> TObject* {
            return create ? &o.Shadow() : o.ShadowIfAny();
        });
        Font.Object<TPlotFont>("Gradient", FontGradient, [](TPlotFont& o, bool create) -> TObject* {
            return create ? &o.Gradient() : o.GradientIfAny();
        });

        using V = TView3DOptions;
        View3D.P_INT_IN(V, Elevation, -MaxDegrees, MaxDegrees).P_INT_IN(V, HorizOffset, -MaxOffset, MaxOffset);
        View3D.P_BOOL(V, Orthogonal).P_INT_IN(V, OrthoAngle, 0, 180);
        // perspective and zoom in percent
        View3D.P_INT_IN(V, Perspective, 0, 100).P_INT_IN(V, Rotation, -MaxDegrees, MaxDegrees);
        View3D.P_INT_IN(V, Tilt, -MaxDegrees, MaxDegrees).P_INT_IN(V, VertOffset, -MaxOffset, MaxOffset);
        View3D.P_INT_IN(V, Zoom, 0, 10000).P_BOOL(V, ZoomText);
    }
};

// Framed shapes: brush and pen, the shape, the positioned shape.
struct TShapeProps {
    TFormProps BrushPen, Shape, Position;

    explicit TShapeProps(const TAttributeProps& a) {
        BrushPen.P_OBJ(TPlotCustomShapeBrushPen, Brush, a.Brush).P_OBJ(TPlotCustomShapeBrushPen, Pen, a.Pen);
        BrushPen.P_BOOL(TPlotCustomShapeBrushPen, Visible);
        for (TFormProps* s : {&Shape, &Position}) {
            *s = BrushPen;
            s->P_ENUM(TPlotCustomShape, Bevel, BevelNames).P_INT_IN(TPlotCustomShape, BevelWidth, 0, MaxChartSide);
            s->P_COLOR(TPlotCustomShape, Color).P_OBJ(TPlotCustomShape, Font, a.Font);
            s->Object<TPlotCustomShape>("Gradient", a.Gradient, [](TPlotCustomShape& o, bool create) -> TObject* {
                return create ? &o.Gradient() : o.GradientIfAny();
            });
            s->P_OBJ(TPlotCustomShape, Shadow, a.Shadow);
            s->P_ENUM(TPlotCustomShape, ShapeStyle, ShapeStyleNames).P_INT(TPlotCustomShape, Transparency);
            s->P_BOOL(TPlotCustomShape, Transparent);
            s->ObjectAlias<TPlotCustomShape>("Frame", a.Pen,
                                             [](TPlotCustomShape& o, bool) -> TObject* { return &o.Pen(); });
            // older forms kept the shadow as a colour and one size, which is
            // written as the two sizes: it takes what they take
            s->ReadOnly<TPlotCustomShape>("ShadowColor", [](TPlotCustomShape& o, const TFormValue& v, TFormReader& r) {
                o.SetShadowColor(FormColor(v, r));
            });
            s->ReadOnly<TPlotCustomShape>("ShadowSize", [](TPlotCustomShape& o, const TFormValue& v, TFormReader& r) {
                o.SetShadowSize(static_cast<int>(ExpectInt(v, -MaxChartSide, MaxChartSide, r)));
            });
        }
        Position.P_BOOL(TPlotCustomShapePosition, CustomPosition);
        using SP = TPlotCustomShapePosition;
        const auto custom = [](SP& o) { return o.CustomPosition(); };
        Position.IntIn<SP>(
            "Left", -MaxOffset, MaxOffset, [](SP& o) { return o.Left(); },
            [](SP& o, std::int64_t v) { o.SetLeft(static_cast<int>(v)); }, custom);
        Position.IntIn<SP>(
            "Top", -MaxOffset, MaxOffset, [](SP& o) { return o.Top(); },
            [](SP& o, std::int64_t v) { o.SetTop(static_cast<int>(v)); }, custom);
    }
};

// ---------------------------------------------------------------------------
// Axes.
struct TAxisProps {
    TFormProps Title, Grid, Axis;

    TAxisProps(const TAttributeProps& a) {
        Title.P_STR(TChartAxisTitle, Caption);
        Title.P_INT(TChartAxisTitle, Angle).P_OBJ(TChartAxisTitle, Font, a.Font).P_BOOL(TChartAxisTitle, Visible);

        Grid = a.Pen;
        Grid.P_BOOL(TAxisGridPen, Centered).P_FLOAT(TAxisGridPen, ZPosition);

        using A = TChartAxis;
        Axis.P_BOOL(A, Automatic).P_BOOL(A, AutomaticMaximum).P_BOOL(A, AutomaticMinimum);
        Axis.P_OBJ(A, Axis, a.Pen);
        Axis.P_STR(A, AxisValuesFormat).P_STR(A, DateTimeFormat).P_BOOL(A, ExactDateTime).P_OBJ(A, Grid, Grid);
        // the grid pen keeps it and stores it; the axis' name is only read
        Axis.ReadOnly<A>("GridCentered",
                         [](A& o, const TFormValue& v, TFormReader& r) { o.SetGridCentered(FormBool(v, r)); });
        // a main axis lies as its place says and is stored without it: a form
        // that turns it would not write what it read
        Axis.Bool<A>(
            "Horizontal", [](A& o) { return o.Horizontal(); },
            [](A& o, bool v) {
                if (!IsCustomAxis(o) && v != o.Horizontal())
                    throw ChartException(v ? "A vertical main axis cannot be made horizontal"
                                           : "A horizontal main axis cannot be made vertical");
                o.SetHorizontal(v);
            },
            [](A& o) { return IsCustomAxis(o); });
        Axis.P_FLOAT(A, Increment).P_BOOL(A, Inverted).P_BOOL(A, Labels);
        Axis.P_ENUM(A, LabelsAlign, LabelAlignNames).P_INT(A, LabelsAngle).P_BOOL(A, LabelsExponent);
        Axis.P_OBJ(A, LabelsFont, a.Font).P_BOOL(A, LabelsMultiLine).P_BOOL(A, LabelsOnAxis);
        Axis.P_INT_IN(A, LabelsSeparation, 0, MaxOffset).P_INT_IN(A, LabelsSize, 0, MaxChartSide);
        Axis.P_ENUM(A, LabelStyle, LabelStyleNames);
        Axis.P_FLOAT(A, LogarithmicBase);
        // an automatic end is recomputed at every draw: only a fixed one is stored
        Axis.Float<A>(
            "Maximum", [](A& o) { return o.Maximum(); }, [](A& o, double v) { o.SetMaximum(v); },
            [](A& o) { return !o.Automatic() && !o.AutomaticMaximum(); });
        Axis.P_INT_IN(A, MaximumOffset, -MaxOffset, MaxOffset);
        Axis.Float<A>(
            "Minimum", [](A& o) { return o.Minimum(); }, [](A& o, double v) { o.SetMinimum(v); },
            [](A& o) { return !o.Automatic() && !o.AutomaticMinimum(); });
        // more minor ticks than pixels between two labels would not show
        Axis.P_INT_IN(A, MinimumOffset, -MaxOffset, MaxOffset).P_OBJ(A, MinorGrid, a.Pen);
        Axis.P_INT_IN(A, MinorTickCount, 0, MaxChartSide).P_INT_IN(A, MinorTickLength, -MaxChartSide, MaxChartSide);
        Axis.P_OBJ(A, MinorTicks, a.Pen).P_BOOL(A, OtherSide);
        Axis.P_FLOAT(A, PositionPercent).P_ENUM(A, PositionUnits, UnitsNames).P_BOOL(A, RoundFirstLabel);
        Axis.P_FLOAT(A, StartPosition).P_FLOAT(A, EndPosition);
        Axis.P_INT_IN(A, TickInnerLength, -MaxChartSide, MaxChartSide);
        Axis.P_INT_IN(A, TickLength, -MaxChartSide, MaxChartSide);
        Axis.P_BOOL(A, TickOnLabelsOnly).P_OBJ(A, Ticks, a.Pen).P_OBJ(A, TicksInner, a.Pen);
        Axis.P_OBJ(A, Title, Title).P_INT_IN(A, TitleSize, 0, MaxChartSide).P_BOOL(A, Visible).P_FLOAT(A, ZPosition);
        // after the range, which a logarithmic scale checks
        Axis.P_BOOL(A, Logarithmic);
    }

    static bool IsCustomAxis(TChartAxis& axis) {
        const TCustomAxisPanel* chart = axis.ParentChart();
        return chart && chart->AxesList().IndexOf(&axis) >= 5;
    }
};

// ---------------------------------------------------------------------------
// Everything built once.
struct TChartProps {
    TAttributeProps A;
    TShapeProps S{A};
    TAxisProps X{A};
    TFormProps Zoom, Wall, Title, Symbol, Legend, Chart;
    TFormProps ValueList, Pointer, Callout, MarksCallout, MarksItem, Marks, Series, CustomSeries;
    TFormProps Function, Smoothing;
    TFormProps Tool, SeriesTool, AxisTool, Cursor, AxisArrow, DrawLine, DrawLineTool, Nearest, ColorBand, ColorLine,
        Rotate, Image, MarksTip, AnnotationCallout, Annotation, Animation, GridBand, GridBandTool;

    TChartProps() {
        BuildChart();
        BuildSeries();
        BuildTools();
    }

    void BuildChart();
    void BuildPanel();
    void BuildLegacy();
    void BuildSeries();
    void BuildSeriesReferences();
    void BuildTools();
};

// A series by name (a tool's or the legend's), set once every series is read.
template <class T>
TFormProp SeriesRefProp() {
    TFormProp series;
    series.Name = "Series";
    series.Write = [](TObject& obj, TObject&) { return ReferenceValue(dynamic_cast<T&>(obj).Series()); };
    series.Read = [](TObject& obj, const TFormValue& value, TFormReader& reader) {
        const std::string name = ExpectKind(value, TFormKind::Ident, reader).Text;
        const int line = reader.Line();
        auto* owner = &dynamic_cast<T&>(obj);
        reader.AfterLoad([owner, name, line, &reader] {
            auto* s = dynamic_cast<TChartSeries*>(reader.FindComponent(name, line));
            if (!s) throw EFormError("'" + name + "' is not a series", line);
            AtLine(line, [&] { owner->SetSeries(s); });
        });
    };
    return series;
}

const TChartProps& Props();

void TChartProps::BuildChart() {
    Zoom.F_BOOL(TPlotZoom, Allow).F_BOOL(TPlotZoom, Animated).F_INT(TPlotZoom, AnimatedSteps);
    Zoom.F_ENUM(TPlotZoom, Direction, ZoomDirectionNames);
    Zoom.Set<TPlotZoom>(
        "KeyShift", ShiftNames, [](TPlotZoom& o) { return o.KeyShift; },
        [](TPlotZoom& o, std::int64_t v) { o.KeyShift = static_cast<TShiftState>(v); });
    Zoom.F_INT(TPlotZoom, MinimumPixels).F_ENUM(TPlotZoom, MouseButton, MouseButtonNames);
    Zoom.Object<TPlotZoom>("Pen", A.Pen,
                           [](TPlotZoom& o, bool create) -> TObject* { return create ? &o.Pen() : o.PenIfAny(); });
    Zoom.Object<TPlotZoom>("Brush", A.Brush,
                           [](TPlotZoom& o, bool create) -> TObject* { return create ? &o.Brush() : o.BrushIfAny(); });

    Wall = S.Shape;
    Wall.P_INT_IN(TCustomChartWall, Size, 0, MaxChartSide).P_BOOL(TCustomChartWall, Dark3D);

    Title = S.Position;
    Title.Strings<TChartTitle>(
        "Text", [](TChartTitle& o) { return o.Text(); },
        [](TChartTitle& o, const std::vector<std::string>& v) { o.SetText(v); });
    Title.P_ENUM(TChartTitle, Alignment, AlignmentNames).P_BOOL(TChartTitle, AdjustFrame);

    using L = TChartLegend;
    Symbol.P_BOOL(TLegendSymbol, Visible).P_INT_IN(TLegendSymbol, Width, 0, MaxChartSide);
    Symbol.P_ENUM(TLegendSymbol, WidthUnits, SymbolSizeNames).P_ENUM(TLegendSymbol, Position, SymbolPositionNames);
    Symbol.P_BOOL(TLegendSymbol, Squared).P_BOOL(TLegendSymbol, Continuous).P_BOOL(TLegendSymbol, DefaultPen);
    Symbol.P_OBJ(TLegendSymbol, Pen, A.Pen);
    Legend = S.Position;
    Legend.P_ENUM(L, Alignment, LegendAlignmentNames).P_BOOL(L, CheckBoxes).P_BOOL(L, CurrentPage);
    Legend.P_OBJ(L, DividingLines, A.Pen).P_INT(L, FirstValue).P_BOOL(L, FontSeriesColor);
    Legend.P_INT_IN(L, HorizMargin, -MaxChartSide, MaxChartSide);
    Legend.P_INT_IN(L, VertMargin, -MaxChartSide, MaxChartSide).P_BOOL(L, Inverted);
    Legend.P_ENUM(L, LegendStyle, LegendStyleNames).P_INT(L, MaxNumRows).P_BOOL(L, ResizeChart);
    Legend.P_OBJ(L, Symbol, Symbol).P_ENUM(L, TextStyle, LegendTextStyleNames);
    Legend.P_INT_IN(L, TopPos, -MaxOffset, MaxOffset).P_INT_IN(L, VertSpacing, -MaxChartSide, MaxChartSide);
    Legend.Add(SeriesRefProp<L>());
    Legend.Alias<L>("ColorWidth", Symbol, "Width", [](L& o) -> TObject* { return &o.Symbol(); });

    BuildPanel();
    BuildLegacy();
}

// The four print margins as one list, stored when any differs from 15.
TFormProp PrintMarginsProp() {
    using C = TCustomChart;
    TFormProp margins;
    margins.Name = "PrintMargins";
    margins.Write = [](TObject& obj, TObject&) -> std::optional<TFormValue> {
        auto& c = dynamic_cast<C&>(obj);
        if (!c.IsPrintMarginsStored()) return std::nullopt;
        TFormValue v;
        v.Kind = TFormKind::List;
        for (int m : c.PrintMargins()) v.List.push_back(TFormValue::OfInt(m));
        return v;
    };
    margins.Read = [](TObject& obj, const TFormValue& value, TFormReader& reader) {
        const auto& list = ExpectKind(value, TFormKind::List, reader).List;
        if (list.size() != 4) reader.Fail("Expected four margins");
        std::array<int, 4> m{};
        for (std::size_t i = 0; i < 4; ++i) m[i] = static_cast<int>(ExpectInt(list[i], -100000, 100000, reader));
        dynamic_cast<C&>(obj).SetPrintMargins(m);
    };
    return margins;
}

void TChartProps::BuildPanel() {
    using C = TCustomChart;
    Chart.IntIn<C>(
        "Width", 0, MaxChartSide, [](C& o) { return o.Width(); },
        [](C& o, std::int64_t v) { o.SetSize(static_cast<int>(v), o.Height()); });
    Chart.IntIn<C>(
        "Height", 0, MaxChartSide, [](C& o) { return o.Height(); },
        [](C& o, std::int64_t v) { o.SetSize(o.Width(), static_cast<int>(v)); });
    Chart.P_COLOR(C, Color).P_ENUM(C, BevelInner, BevelNames).P_ENUM(C, BevelOuter, BevelNames);
    Chart.P_INT_IN(C, BevelWidth, 0, MaxChartSide).P_INT_IN(C, BorderWidth, 0, MaxChartSide);
    Chart.P_OBJ(C, Border, A.Pen).P_INT_IN(C, BorderRound, 0, MaxChartSide).P_INT(C, Chart3DPercent);
    // margins in pixels or percent
    Chart.P_INT_IN(C, MarginLeft, -MaxOffset, MaxOffset).P_INT_IN(C, MarginTop, -MaxOffset, MaxOffset);
    Chart.P_INT_IN(C, MarginRight, -MaxOffset, MaxOffset).P_INT_IN(C, MarginBottom, -MaxOffset, MaxOffset);
    Chart.P_ENUM(C, MarginUnits, UnitsNames);
    Chart.Add(PrintMarginsProp());
    Chart.P_BOOL(C, PrintProportional).P_OBJ(C, Shadow, A.Shadow).P_BOOL(C, View3D);
    Chart.P_OBJ(C, View3DOptions, A.View3D).P_BOOL(C, Monochrome);
    Chart.Add(PictureProp<C>(
        "BackImage", [](C& o, bool create) -> TPicture* { return create ? &o.BackImage() : o.BackImageIfAny(); }));
    Chart.P_BOOL(C, BackImageInside).P_ENUM(C, BackImageMode, BackImageModeNames);
    // the picture's own data carries the flag; a form that names it reaches the
    // picture wherever the two stand in the form
    Chart.ReadOnly<C>("BackImageTransp", [](C& o, const TFormValue& v, TFormReader& r) {
        const bool transparent = FormBool(v, r);
        r.AfterLoad([chart = &o, transparent] { chart->SetBackImageTransp(transparent); });
    });
    Chart.Object<C>("Gradient", A.Gradient,
                    [](C& o, bool create) -> TObject* { return create ? &o.Gradient() : o.GradientIfAny(); });
    Chart.P_ENUM(C, AllowPanning, PanningNames).P_OBJ(C, Zoom, Zoom);
    Chart.P_BOOL(C, AxisBehind).P_BOOL(C, AxisVisible).P_BOOL(C, ClipPoints);
    AddCollection<C>(Chart, "CustomAxes", X.Axis,
                     TFormCollection{
                         [](TObject& o) { return dynamic_cast<C&>(o).CustomAxes().Count(); },
                         [](TObject& o, int i) -> TObject* { return dynamic_cast<C&>(o).CustomAxes().Items(i); },
                         [](TObject& o) -> TObject* { return dynamic_cast<C&>(o).AddCustomAxis(); },
                         [](TObject& o) { dynamic_cast<C&>(o).CustomAxes().Clear(); },
                     });
    Chart.Object<C>("BottomAxis", X.Axis, [](C& o, bool) -> TObject* { return o.BottomAxis(); });
    Chart.Object<C>("TopAxis", X.Axis, [](C& o, bool) -> TObject* { return o.TopAxis(); });
    Chart.Object<C>("LeftAxis", X.Axis, [](C& o, bool) -> TObject* { return o.LeftAxis(); });
    Chart.Object<C>("RightAxis", X.Axis, [](C& o, bool) -> TObject* { return o.RightAxis(); });
    Chart.Object<C>("DepthAxis", X.Axis, [](C& o, bool) -> TObject* { return o.DepthAxis(); });
    Chart.P_BOOL(C, View3DWalls).P_INT(C, MaxPointsPerPage).P_BOOL(C, ScaleLastPage);
    // the page is limited by the points, which are read later
    TFormProp page;
    page.Name = "Page";
    page.Write = [](TObject& obj, TObject& ref) -> std::optional<TFormValue> {
        const int value = dynamic_cast<C&>(obj).Page();
        if (value == dynamic_cast<C&>(ref).Page()) return std::nullopt;
        return TFormValue::OfInt(value);
    };
    page.Read = [](TObject& obj, const TFormValue& value, TFormReader& reader) {
        const auto v = static_cast<int>(ExpectInt(value, 1, std::numeric_limits<int>::max(), reader));
        auto* chart = &dynamic_cast<C&>(obj);
        reader.WhenLoaded([chart, v] { chart->SetPage(v); });
    };
    Chart.Add(std::move(page));
    Chart.P_OBJ(C, Title, Title).P_OBJ(C, SubTitle, Title).P_OBJ(C, Foot, Title).P_OBJ(C, SubFoot, Title);
    Chart.P_OBJ(C, Legend, Legend);
    Chart.P_OBJ(C, BackWall, Wall).P_OBJ(C, LeftWall, Wall).P_OBJ(C, BottomWall, Wall).P_OBJ(C, RightWall, Wall);
    Chart.P_ENUM(C, ScrollMouseButton, MouseButtonNames);
    Chart.ObjectAlias<C>("Frame", A.Pen, [](C& o, bool) -> TObject* { return &o.Frame(); });
}

// Names older forms used; read, never written.
void TChartProps::BuildLegacy() {
    using C = TCustomChart;
    Chart.ReadOnly<C>("BorderStyle", [](C& o, const TFormValue& v, TFormReader& r) {
        o.Border().SetVisible(SameText(ExpectKind(v, TFormKind::Ident, r).Text, "bsSingle"));
    });
    Chart.ReadOnly<C>("AllowZoom", [](C& o, const TFormValue& v, TFormReader& r) { o.Zoom().Allow = FormBool(v, r); });
    Chart.ReadOnly<C>("AnimatedZoom",
                      [](C& o, const TFormValue& v, TFormReader& r) { o.Zoom().Animated = FormBool(v, r); });
    Chart.ReadOnly<C>("AnimatedZoomSteps", [](C& o, const TFormValue& v, TFormReader& r) {
        o.Zoom().AnimatedSteps = static_cast<int>(ExpectInt(v, 0, std::numeric_limits<int>::max(), r));
    });
    Chart.ReadOnly<C>("BackColor", [](C& o, const TFormValue& v, TFormReader& r) { o.SetBackColor(FormColor(v, r)); });
}

// ---------------------------------------------------------------------------
// Series.
// The marks' per-point shapes: a count, then one binary property list per
// point (an empty list for a point without its own shape).
TFormProp MarksItemsProp() {
    using M = TSeriesMarks;
    TFormProp items;
    items.Name = "Items";
    items.Write = [](TObject& obj, TObject&) -> std::optional<TFormValue> {
        const TMarksItems& list = dynamic_cast<M&>(obj).Items();
        if (list.Count() == 0) return std::nullopt;
        TFormValue v;
        v.Kind = TFormKind::Binary;
        for (int i = 0; i < 4; ++i) v.Bytes.push_back(static_cast<std::uint8_t>(list.Count() >> (8 * i)));
        TMarksItem fresh(nullptr);
        for (int i = 0; i < list.Count(); ++i) {
            std::vector<TFormProperty> props;
            if (TMarksItem* item = list.ItemIfAny(i)) {
                WriteProperties(*item, fresh, Props().MarksItem, props);
                // an empty list stands for a point without a shape: a shape at its
                // defaults still draws in its own colours, not the marks', so it
                // says that it is there
                if (props.empty())
                    props.push_back({"Visible", TFormValue::OfIdent(item->Visible() ? "True" : "False"), 0});
            }
            WriteBinaryProperties(v.Bytes, props);
        }
        return v;
    };
    items.Read = [](TObject& obj, const TFormValue& value, TFormReader& reader) {
        const TBytes& bytes = ExpectKind(value, TFormKind::Binary, reader).Bytes;
        const std::uint8_t* at = bytes.data();
        const std::uint8_t* end = at + bytes.size();
        if (bytes.size() < 4) reader.Fail("Marks items cut short");
        const std::uint32_t n = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (std::uint32_t(bytes[3]) << 24);
        at += 4;
        // every item takes at least its two list bytes
        if (n > static_cast<std::size_t>(end - at) / 2 || n > MaxMarksItems)
            reader.Fail(Format("Invalid marks item count %u", n));
        // only a point with properties of its own gets a shape (they cost a
        // kilobyte each), and each one counts against the form's bound
        auto& marks = dynamic_cast<M&>(obj);
        for (std::uint32_t i = 0; i < n; ++i) {
            const std::vector<TFormProperty> list = ReadBinaryProperties(at, end, reader.Line());
            if (list.empty()) continue;
            reader.CountObject();
            reader.ReadProperties(marks.Items().Item(static_cast<int>(i)), Props().MarksItem, list);
        }
        if (at != end) reader.Fail("Data after the marks items");
        if (n > 0) marks.Items().ItemsLoaded = true;
    };
    return items;
}

void TChartProps::BuildSeries() {
    ValueList.P_BOOL(TChartValueList, DateTime).P_STR(TChartValueList, Name);
    ValueList.P_ENUM(TChartValueList, Order, ListOrderNames).P_STR(TChartValueList, ValueSource);
    ValueList.ReadOnly<TChartValueList>("Multiplier", [](TChartValueList&, const TFormValue& v, TFormReader& r) {
        if (FormFloat(v, r) != 1)
            ObsoletePropertyBox()(
                "Error: Multiplier property is obsolete.\rModify PlotDefs (enable Multiplier) and "
                "recompile.");
    });

    Pointer = S.BrushPen;
    Pointer.P_BOOL(TSeriesPointer, Dark3D).P_BOOL(TSeriesPointer, Draw3D).P_OBJ(TSeriesPointer, Gradient, A.Gradient);
    // a size of 0 or less is the pointer's own refusal
    Pointer.P_INT_IN(TSeriesPointer, HorizSize, -MaxChartSide, MaxChartSide);
    Pointer.P_INT_IN(TSeriesPointer, VertSize, -MaxChartSide, MaxChartSide).P_BOOL(TSeriesPointer, InflateMargins);
    Pointer.P_ENUM(TSeriesPointer, Style, PointerStyleNames);
    Callout = Pointer;
    Callout.P_OBJ(TCallout, Arrow, A.Pen).P_ENUM(TCallout, ArrowHead, ArrowHeadNames);
    Callout.P_INT_IN(TCallout, ArrowHeadSize, 0, MaxChartSide)
        .P_INT_IN(TCallout, Distance, -MaxChartSide, MaxChartSide);
    MarksCallout = Callout;
    MarksCallout.P_INT_IN(TMarksCallout, Length, -MaxChartSide, MaxChartSide);
    MarksItem = S.Shape;

    using M = TSeriesMarks;
    Marks = S.Shape;
    Marks.P_INT_IN(M, Angle, -MaxDegrees, MaxDegrees)
        .P_OBJ(M, Callout, MarksCallout)
        .P_BOOL(M, Clip)
        .P_INT_IN(M, DrawEvery, 1, std::numeric_limits<int>::max());
    Marks.P_BOOL(M, MultiLine).P_ENUM(M, Style, MarksStyleNames);
    Marks.Add(MarksItemsProp());
    Marks.ObjectAlias<M>("Arrow", A.Pen, [](M& o, bool) -> TObject* { return &o.Callout().Arrow(); });
    Marks.Alias<M>("ArrowLength", MarksCallout, "Length", [](M& o) -> TObject* { return &o.Callout(); });
    Marks.Alias<M>("BackColor", S.Shape, "Color", [](M& o) -> TObject* { return &o; });

    using T = TChartSeries;
    Series.P_BOOL(T, Active).P_BOOL(T, ColorEachPoint).P_STR(T, ColorSource);
    Series.P_INT_IN(T, Cursor, MinCursor, MaxCursor);
    // -1: the chart's depth
    Series.P_INT_IN(T, Depth, -1, MaxChartSide);
    Series.P_ENUM(T, HorizAxis, HorizAxisNames).P_OBJ(T, Marks, Marks).P_STR(T, PercentFormat);
    Series.P_COLOR(T, SeriesColor).P_BOOL(T, ShowInLegend).P_STR(T, Title).P_STR(T, ValueFormat);
    Series.P_ENUM(T, VertAxis, VertAxisNames).P_STR(T, XLabelsSource);
    Series.Object<T>("XValues", ValueList, [](T& o, bool) -> TObject* { return o.XValues(); });
    Series.Object<T>("YValues", ValueList, [](T& o, bool) -> TObject* { return o.YValues(); });

    using CS = TCustomSeries;
    CustomSeries = Series;
    CustomSeries.Object<CS>("Brush", A.Brush, [](CS& o, bool) -> TObject* { return o.Brush(); });
    CustomSeries.P_BOOL(CS, ClickableLine).P_BOOL(CS, ColorEachLine).P_BOOL(CS, Dark3D).P_BOOL(CS, InvertedStairs);
    CustomSeries.P_INT_IN(CS, LineHeight, -MaxChartSide, MaxChartSide);
    CustomSeries.Object<CS>("LinePen", A.Pen, [](CS& o, bool) -> TObject* { return o.Pen(); });
    CustomSeries.P_OBJ(CS, OutLine, A.Pen).P_OBJ(CS, Pointer, Pointer).P_ENUM(CS, Stacked, StackNames);
    CustomSeries.P_BOOL(CS, Stairs);
    CustomSeries.Alias<CS>("LineBrush", A.Brush, "Style", [](CS& o) -> TObject* { return o.Brush(); });
    BuildSeriesReferences();

    Function.P_FLOAT(TPlotFunction, Period).P_ENUM(TPlotFunction, PeriodAlign, PeriodAlignNames);
    Function.P_ENUM(TPlotFunction, PeriodStyle, PeriodStyleNames);
    Smoothing = Function;
    Smoothing.P_INT(TSmoothingFunction, Factor).P_BOOL(TSmoothingFunction, Interpolate);
}

// The series' sources: one by name, several as a list of names; both are
// looked up once every component of the form exists.
TFormProp DataSourceProp() {
    using T = TChartSeries;
    TFormProp source;
    source.Name = "DataSource";
    source.Write = [](TObject& obj, TObject&) -> std::optional<TFormValue> {
        const auto& list = dynamic_cast<T&>(obj).SourceList();
        return list.size() == 1 ? ReferenceValue(list[0]) : std::nullopt;
    };
    source.Read = [](TObject& obj, const TFormValue& value, TFormReader& reader) {
        const std::string name = ExpectKind(value, TFormKind::Ident, reader).Text;
        const int line = reader.Line();
        auto* s = &dynamic_cast<T&>(obj);
        reader.AfterLoad([s, name, line, &reader] {
            TComponent* c = reader.FindComponent(name, line);
            AtLine(line, [&] { s->SetDataSource(c); });
        });
    };
    return source;
}

TFormProp DataSourcesProp() {
    using T = TChartSeries;
    TFormProp sources;
    sources.Name = "DataSources";
    sources.Write = [](TObject& obj, TObject&) -> std::optional<TFormValue> {
        const auto& list = dynamic_cast<T&>(obj).SourceList();
        if (list.size() < 2) return std::nullopt;
        TFormValue v;
        v.Kind = TFormKind::List;
        for (TComponent* c : list) v.List.push_back(TFormValue::OfString(ReferenceValue(c)->Text));
        return v;
    };
    sources.Read = [](TObject& obj, const TFormValue& value, TFormReader& reader) {
        const std::vector<std::string> names = FormStrings(value, reader);
        const int line = reader.Line();
        auto* s = &dynamic_cast<T&>(obj);
        // the sources are looked up once every component of the form exists
        reader.AfterLoad([s, names, line, &reader] {
            std::vector<TComponent*> found;
            for (const std::string& name : names) found.push_back(reader.FindComponent(name, line));
            AtLine(line, [&] {
                s->SetDataSource(nullptr);
                for (TComponent* c : found) s->SetDataSource(c);
            });
        });
    };
    return sources;
}

// A custom axis kept as its index among the chart's custom axes.
TFormProp CustomAxisProp(bool horizontal) {
    using T = TChartSeries;
    TFormProp axis;
    axis.Name = horizontal ? "CustomHorizAxis" : "CustomVertAxis";
    axis.Write = [horizontal](TObject& obj, TObject&) -> std::optional<TFormValue> {
        auto& s = dynamic_cast<T&>(obj);
        TChartAxis* a = horizontal ? s.CustomHorizAxis() : s.CustomVertAxis();
        if (!a || !s.ParentChart()) return std::nullopt;
        const TChartCustomAxes& custom = s.ParentChart()->CustomAxes();
        for (int i = 0; i < custom.Count(); ++i)
            if (custom.Items(i) == a) return TFormValue::OfInt(i);
        return std::nullopt;
    };
    axis.Read = [horizontal](TObject& obj, const TFormValue& value, TFormReader& reader) {
        const auto index = static_cast<int>(ExpectInt(value, 0, std::numeric_limits<int>::max(), reader));
        const int line = reader.Line();
        auto* s = &dynamic_cast<T&>(obj);
        reader.AfterLoad([s, index, line, horizontal] {
            TCustomAxisPanel* chart = s->ParentChart();
            if (!chart || index >= chart->CustomAxes().Count())
                throw EFormError(Format("No custom axis %d", index), line);
            TChartAxis* a = chart->CustomAxes().Items(index);
            horizontal ? s->SetCustomHorizAxis(a) : s->SetCustomVertAxis(a);
        });
    };
    return axis;
}

// An axis tool's axis by its index in the chart.
TFormProp AxisIdProp() {
    TFormProp axis;
    axis.Name = "AxisID";
    axis.Write = [](TObject& obj, TObject&) -> std::optional<TFormValue> {
        auto& tool = dynamic_cast<TPlotCustomToolAxis&>(obj);
        if (!tool.Axis()) return std::nullopt;
        return TFormValue::OfInt(tool.AxisID());
    };
    axis.Read = [](TObject& obj, const TFormValue& value, TFormReader& reader) {
        const auto id = static_cast<int>(ExpectInt(value, 0, std::numeric_limits<int>::max(), reader));
        const int line = reader.Line();
        auto* tool = &dynamic_cast<TPlotCustomToolAxis&>(obj);
        // custom axes are all there once the chart is read
        reader.AfterLoad([tool, id, line] {
            TCustomAxisPanel* chart = tool->ParentChart();
            if (!chart || id >= chart->AxesList().Count()) throw EFormError(Format("No axis %d", id), line);
            tool->SetAxisID(id);
        });
    };
    return axis;
}

// The properties that only the series' own code stores: its sources by name,
// custom axes by index, and the points; last, so that the points find their
// lists set up.
void TChartProps::BuildSeriesReferences() {
    using T = TChartSeries;
    CustomSeries.Add(DataSourceProp());
    CustomSeries.Add(DataSourcesProp());
    for (const bool horizontal : {true, false}) CustomSeries.Add(CustomAxisProp(horizontal));
    CustomSeries.String<T>(
        "Identifier", [](T& o) { return o.Identifier(); }, [](T& o, const std::string& v) { o.SetIdentifier(v); });
    // six flags, read back bit by bit: other bits are dropped
    CustomSeries.Int<T>(
        "Style", [](T& o) { return o.Style(); }, [](T& o, std::int64_t v) { o.SetStyle(static_cast<int>(v & 0x3F)); });
    CustomSeries.Binary<T>(
        "Data", [](T& o) { return o.WritePointData(); },
        [](T& o, const TBytes& v) { o.ReadPointData(v.data(), v.size()); }, [](T& o) { return o.ManualData(); });
}

// ---------------------------------------------------------------------------
// Tools.
// The marks-tip delay is the application's hint pause: a fresh tool reads the
// same value, so it is stored when it differs from the application's default,
// and a form sets it only once the whole form has been read.
TFormProp MouseDelayProp() {
    TFormProp delay;
    delay.Name = "MouseDelay";
    delay.Write = [](TObject& obj, TObject&) -> std::optional<TFormValue> {
        const int value = dynamic_cast<TMarksTipTool&>(obj).MouseDelay();
        if (value == DefaultHintPause) return std::nullopt;
        return TFormValue::OfInt(value);
    };
    delay.Read = [](TObject& obj, const TFormValue& value, TFormReader& reader) {
        const auto v = static_cast<int>(ExpectInt(value, 0, std::numeric_limits<int>::max(), reader));
        reader.OnSuccess([tool = &dynamic_cast<TMarksTipTool&>(obj), v] { tool->SetMouseDelay(v); });
    };
    return delay;
}

void TChartProps::BuildTools() {
    Tool.P_BOOL(TPlotCustomTool, Active);
    Tool.Object<TPlotCustomTool>("Brush", A.Brush, [](TPlotCustomTool& o, bool) -> TObject* { return o.Brush(); });
    Tool.Object<TPlotCustomTool>("Pen", A.Pen, [](TPlotCustomTool& o, bool) -> TObject* { return o.Pen(); });

    SeriesTool = Tool;
    SeriesTool.Add(SeriesRefProp<TPlotCustomToolSeries>());

    AxisTool = Tool;
    AxisTool.Add(AxisIdProp());

    Cursor = SeriesTool;
    Cursor.P_BOOL(TCursorTool, FollowMouse).P_BOOL(TCursorTool, Snap).P_ENUM(TCursorTool, Style, CursorStyleNames);
    AxisArrow = AxisTool;
    AxisArrow.P_INT_IN(TAxisArrowTool, Length, -MaxChartSide, MaxChartSide)
        .P_ENUM(TAxisArrowTool, Position, ArrowPositionNames);
    AxisArrow.P_BOOL(TAxisArrowTool, ScrollInverted).P_INT(TAxisArrowTool, ScrollPercent);
    DrawLine.P_ENUM(TDrawLine, Style, DrawLineStyleNames).P_FLOAT(TDrawLine, X0).P_FLOAT(TDrawLine, Y0);
    DrawLine.P_FLOAT(TDrawLine, X1).P_FLOAT(TDrawLine, Y1);
    using DT = TDrawLineTool;
    DrawLineTool = SeriesTool;
    DrawLineTool.P_ENUM(DT, Button, MouseButtonNames).P_BOOL(DT, EnableDraw).P_BOOL(DT, EnableSelect);
    AddCollection<DT>(DrawLineTool, "Lines", DrawLine,
                      TFormCollection{
                          [](TObject& o) { return dynamic_cast<DT&>(o).Lines().Count(); },
                          [](TObject& o, int i) -> TObject* { return dynamic_cast<DT&>(o).Lines()[i]; },
                          [](TObject& o) -> TObject* { return dynamic_cast<DT&>(o).Lines().Add(); },
                          [](TObject& o) { dynamic_cast<DT&>(o).Lines().Clear(); },
                      });
    Nearest = SeriesTool;
    Nearest.P_BOOL(TNearestTool, DrawLine)
        .P_BOOL(TNearestTool, FullRepaint)
        .P_INT_IN(TNearestTool, Size, 0, MaxChartSide);
    Nearest.P_ENUM(TNearestTool, Style, NearestStyleNames);
    ColorBand = AxisTool;
    ColorBand.P_COLOR(TColorBandTool, Color).P_BOOL(TColorBandTool, DrawBehind);
    ColorBand.P_FLOAT(TColorBandTool, StartValue).P_FLOAT(TColorBandTool, EndValue);
    ColorBand.P_OBJ(TColorBandTool, Gradient, A.Gradient).P_INT(TColorBandTool, Transparency);
    using CL = TColorLineTool;
    ColorLine = AxisTool;
    ColorLine.P_BOOL(CL, AllowDrag).P_BOOL(CL, DragRepaint).P_BOOL(CL, Draw3D).P_BOOL(CL, DrawBehind);
    // Value before Style: setting a value makes the style custom
    ColorLine.P_BOOL(CL, NoLimitDrag).P_FLOAT(CL, Value).P_ENUM(CL, Style, ColorLineStyleNames);
    Rotate = Tool;
    Rotate.P_ENUM(TRotateTool, Button, MouseButtonNames).P_BOOL(TRotateTool, Inverted);
    Rotate.P_ENUM(TRotateTool, Style, RotateStyleNames);
    Image = SeriesTool;
    Image.Add(
        PictureProp<TChartImageTool>("Picture", [](TChartImageTool& o, bool) -> TPicture* { return &o.Picture(); }));
    MarksTip = SeriesTool;
    MarksTip.P_ENUM(TMarksTipTool, MouseAction, MouseActionNames);
    MarksTip.Add(MouseDelayProp());
    MarksTip.P_ENUM(TMarksTipTool, Style, MarksStyleNames);
    AnnotationCallout = Callout;
    AnnotationCallout.P_INT_IN(TAnnotationCallout, XPosition, -MaxOffset, MaxOffset);
    AnnotationCallout.P_INT_IN(TAnnotationCallout, YPosition, -MaxOffset, MaxOffset);
    AnnotationCallout.P_INT_IN(TAnnotationCallout, ZPosition, -MaxOffset, MaxOffset);
    using AT = TAnnotationTool;
    Annotation = Tool;
    Annotation.P_STR(AT, Text).P_ENUM(AT, TextAlignment, AlignmentNames);
    Annotation.P_ENUM(AT, Position, AnnotationPositionNames).P_OBJ(AT, Shape, S.Position);
    Annotation.P_OBJ(AT, Callout, AnnotationCallout).P_INT_IN(AT, Cursor, MinCursor, MaxCursor);
    using AN = TSeriesAnimationTool;
    Animation = SeriesTool;
    Animation.P_INT(AN, DrawEvery).P_BOOL(AN, StartAtMin).P_FLOAT(AN, StartValue).P_INT(AN, Steps);
    GridBand = A.Brush;
    GridBand.P_COLOR(TGridBandBrush, BackColor).P_INT(TGridBandBrush, Transparency);
    GridBandTool = AxisTool;
    GridBandTool.P_OBJ(TGridBandTool, Band1, GridBand).P_OBJ(TGridBandTool, Band2, GridBand);
}

const TChartProps& Props() {
    static const TChartProps props;
    return props;
}

// ---------------------------------------------------------------------------
// Classes.
template <class T>
TObject* CreateComponent(TObject* owner) {
    return new T(dynamic_cast<TComponent*>(owner));
}

const TClassInfo ChartClass{"TChart", CreateComponent<TChart>};
const TClassInfo LineSeriesClass{"TLineSeries", CreateComponent<TLineSeries>};
const TClassInfo PointSeriesClass{"TPointSeries", CreateComponent<TPointSeries>};

void AddChartChild(TObject& parent, TObject& child, TFormReader& reader) {
    auto& chart = dynamic_cast<TCustomChart&>(parent);
    if (dynamic_cast<TPlotSeriesSource*>(&child)) {
        // owned by the chart already; its series finds it by name
    } else if (auto* s = dynamic_cast<TChartSeries*>(&child)) {
        AtLine(reader.Line(), [&] { s->SetParentChart(&chart); });
    } else if (auto* t = dynamic_cast<TPlotCustomTool*>(&child)) {
        AtLine(reader.Line(), [&] { t->SetParentChart(&chart); });
    } else {
        reader.Fail("A chart holds only series sources, series and tools");
    }
}

void AddSeriesChild(TObject& parent, TObject& child, TFormReader& reader) {
    auto* f = dynamic_cast<TPlotFunction*>(&child);
    if (!f) reader.Fail("A series holds only a function");
    // the function attaches itself to the series it is read into
    AtLine(reader.Line(), [&] { dynamic_cast<TChartSeries&>(parent).SetSeriesFunction(f); });
}

template <class T>
TFormClassDesc Describe(const char* name, const TFormProps& props) {
    TFormClassDesc d;
    d.Name = name;
    d.Is = [](const TObject& o) { return dynamic_cast<const T*>(&o) != nullptr; };
    d.Props = &props;
    d.MakeReference = [] { return std::unique_ptr<TObject>(new T(nullptr)); };
    return d;
}

void RegisterSeries(const char* name, const char* description, const TClassInfo& cls, const TFormClassDesc& base) {
    TFormClassDesc d = base;
    d.Name = name;
    d.AddChild = AddSeriesChild;
    d.Children = [](TObject& o) {
        std::vector<TComponent*> out;
        if (TPlotFunction* f = dynamic_cast<TChartSeries&>(o).SeriesFunction()) out.push_back(f);
        return out;
    };
    RegisterFormClass(std::move(d));
    RegisterPlotSeries(&cls, description, "Standard");
}

// The form classes, once: the chart, both series kinds, the smoothing
// function and every tool the tool registry lists.
void RegisterChartForms() {
    static const bool done = [] {
        const TChartProps& p = Props();
        RegisterClass(&ChartClass);
        TFormClassDesc chart = Describe<TChart>("TChart", p.Chart);
        chart.AddChild = AddChartChild;
        chart.Children = [](TObject& o) {
            auto& c = dynamic_cast<TCustomChart&>(o);
            // the components the chart owns come first, then its series and tools
            std::vector<TComponent*> out;
            for (int i = 0; i < c.ComponentCount(); ++i)
                if (dynamic_cast<TPlotSeriesSource*>(c.Components(i))) out.push_back(c.Components(i));
            out.insert(out.end(), c.SeriesList().begin(), c.SeriesList().end());
            for (int i = 0; i < c.Tools().Count(); ++i) out.push_back(c.Tools()[i]);
            return out;
        };
        RegisterFormClass(std::move(chart));
        RegisterSeries("TLineSeries", "Line", LineSeriesClass, Describe<TLineSeries>("", p.CustomSeries));
        RegisterSeries("TPointSeries", "Point", PointSeriesClass, Describe<TPointSeries>("", p.CustomSeries));
        RegisterFormClass(Describe<TSmoothingFunction>("TSmoothingFunction", p.Smoothing));
        RegisterFormClass(Describe<TCursorTool>("TCursorTool", p.Cursor));
        RegisterFormClass(Describe<TDragMarksTool>("TDragMarksTool", p.SeriesTool));
        RegisterFormClass(Describe<TAxisArrowTool>("TAxisArrowTool", p.AxisArrow));
        RegisterFormClass(Describe<TDrawLineTool>("TDrawLineTool", p.DrawLineTool));
        RegisterFormClass(Describe<TNearestTool>("TNearestTool", p.Nearest));
        RegisterFormClass(Describe<TColorBandTool>("TColorBandTool", p.ColorBand));
        RegisterFormClass(Describe<TColorLineTool>("TColorLineTool", p.ColorLine));
        RegisterFormClass(Describe<TRotateTool>("TRotateTool", p.Rotate));
        RegisterFormClass(Describe<TChartImageTool>("TChartImageTool", p.Image));
        RegisterFormClass(Describe<TMarksTipTool>("TMarksTipTool", p.MarksTip));
        RegisterFormClass(Describe<TAnnotationTool>("TAnnotationTool", p.Annotation));
        RegisterFormClass(Describe<TSeriesAnimationTool>("TSeriesAnimationTool", p.Animation));
        RegisterFormClass(Describe<TGridBandTool>("TGridBandTool", p.GridBandTool));
        return true;
    }();
    (void)done;
}

// Creates through the class registry, which the series and tool type registries fill.
TObject* CreateByName(const std::string& className, TObject* owner) {
    TClass cls = FindClass(className.c_str());
    return cls ? cls->Create(owner) : nullptr;
}

}  // namespace

void RegisterChartFormSource(const TClassInfo& cls, std::function<bool(const TObject&)> is,
                             std::function<std::unique_ptr<TObject>()> makeReference) {
    static const TFormProps props = [] {
        TFormProps p;
        p.Bool<TPlotSeriesSource>(
            "Active", [](TPlotSeriesSource& o) { return o.Active(); },
            [](TPlotSeriesSource& o, bool v) { o.SetSourceActive(v); });
        return p;
    }();
    RegisterChartForms();
    RegisterClass(&cls);
    TFormClassDesc d;
    d.Name = cls.Name;
    d.Is = std::move(is);
    d.Props = &props;
    d.MakeReference = std::move(makeReference);
    RegisterFormClass(std::move(d));
}

std::function<void(const std::string& text)>& ObsoletePropertyBox() {
    static std::function<void(const std::string&)> box = [](const std::string& text) { ShowErrorBox(text, ""); };
    return box;
}

std::string WriteChartForm(TCustomChart& chart) {
    RegisterChartForms();
    return WriteForm(chart);
}

std::unique_ptr<TCustomChart> ReadChartForm(std::string_view text) {
    RegisterChartForms();
    TFormReader reader(CreateByName);
    std::unique_ptr<TComponent> root = reader.Read(text, [](TComponent& root) {
        auto* chart = dynamic_cast<TCustomChart*>(&root);
        if (!chart) throw EFormError("The form holds no chart", 1);
        // points of sources and functions are made once everything is in place;
        // an active series source fills its series here
        for (TChartSeries* s : chart->SeriesList()) chart->RefreshSeriesData(s);
        chart->Invalidate();
    });
    return std::unique_ptr<TCustomChart>(dynamic_cast<TCustomChart*>(root.release()));
}
