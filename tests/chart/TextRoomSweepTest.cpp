// A sweep over generated charts: titles, slanted and boxed labels on every axis,
// legends, marks, 3D views and panel sizes, each chart checked for what a reader
// sees of its texts. Every text stands in room of its own (its letters share no
// pixel with another text), axis texts stay outside their axis line and ticks, no
// text is cut by the panel's edge unless the user put it there, and the plot keeps
// a size. A text the engine leaves out for want of room has no letters and passes.
// The other half: nothing a reader expects is missing. The value labels of every
// axis stepping on its own, read as the canvas writes them, are one progression of
// a nice step (whole powers of the base on a logarithmic axis) without a gap, no
// two neighbours read the same, and an axis with room for two of them shows two.
// Besides charts of every setting the generator draws the plain ones anybody draws
// first, point series with large pointers, the viewer's shot with late time stamps
// and logarithmic ranges between powers of the base.
//
// A text's letters are found from the outside (TextPixels.h): the chart is painted
// again with that text's colour changed. Labels of one axis are told apart as even
// and odd neighbours, through the label event, so that neighbours on one another
// show too. A failing chart prints its settings (its seed rebuilds it: block N of
// the test runs seeds 56 N to 56 N + 55, unless NARVI_SWEEP_SEEDS=first,count picks
// others) and leaves its picture in $NARVI_SWEEP_DIR (or the test's temporary folder).

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "Chart.h"
#include "ChartControl.h"
#include "GuiApplication.h"
#include "LineSeries.h"
#include "AxisLabelRules.h"
#include "SeriesMarks.h"
#include "TextPixels.h"
#include "ViewerScene.h"

namespace {

using textpixels::Contrast;
using textpixels::Mask;

// A small generator of its own, so that a seed gives the same charts on every
// compiler and library.
struct Rng {
    std::uint64_t state;
    std::uint32_t Next() {
        state += 0x9E3779B97F4A7C15ull;
        std::uint64_t z = state;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return static_cast<std::uint32_t>((z ^ (z >> 31)) >> 32);
    }
    int Int(int lo, int hi) { return lo + static_cast<int>(Next() % static_cast<std::uint32_t>(hi - lo + 1)); }
    bool Chance(int percent) { return Int(0, 99) < percent; }
    template <class T, std::size_t N>
    T Pick(const T (&options)[N]) {
        return options[Next() % N];
    }
};

enum AxisIndex { Left, Top, Right, Bottom };
const char* const AxisNames[] = {"left", "top", "right", "bottom"};

// Ranges whose labels differ in width: whole numbers, halves, thousands, values
// around zero, small fractions, large numbers, negative ones, and decades.
// and time stamps of a clock that has run for days, to the tenth of a nanosecond.
// Besides: a walk of readings around a thousand, the points' indexes, and a
// logarithmic range between powers of the base.
enum RangeKind {
    rkUnits,
    rkHalves,
    rkThousands,
    rkAroundZero,
    rkSmall,
    rkLarge,
    rkNegative,
    rkLog,
    rkClock,
    rkKinds,
    rkWalk = rkKinds,
    rkIndex,
    rkLogBetween
};
const char* const RangeNames[] = {"units",    "halves", "thousands", "around0", "small", "large",
                                  "negative", "log",    "clock",     "walk",    "index", "log between"};

// What a chart is made of: every setting at random, or one of the charts a user
// draws first and the viewer's shot.
enum Family { fmlAny, fmlPlain, fmlPoints, fmlViewer };
const char* const FamilyNames[] = {"", " plain", " points", " viewer"};

// Label formats: the default, a plain one, two decimals, one of two lines, and the
// viewer's time stamps.
enum { fmTwoLines = 3, fmClock = 4 };
const char* const Formats[] = {"", "0.###", "#,##0.00", "#,##0.#\" V\"", "0.000 000 000"};

struct AxisSettings {
    bool used = false;  // a series is drawn against the axis
    RangeKind range = rkUnits;
    std::string title;
    int titleAngle = -1;  // -1: the axis' own
    int labelsAngle = 0;
    int format = 0;
    bool boxed = false;
    int boxShadow = 0;
    double logLo = 2, logHi = 2000;  // the range of rkLogBetween
};

struct Settings {
    int seed = 0;
    Family family = fmlAny;
    int pointer = 0;       // the points' size when above 0
    double timeStart = 0;  // the viewer's first time stamp
    int width = 400, height = 250;
    bool view3D = false;
    bool orthogonal = true;
    int orthoAngle = 45, rotation = 345, elevation = 345, perspective = 15, percent = 15;
    int wallSize = 0;
    int rightWall = 0;  // visible with this size when above 0
    bool depthAxis = false;
    std::string depthTitle;
    AxisSettings axes[4];
    int seriesCount = 1;  // the series take the used axes in turn
    int points = 11;
    int legend = -1;  // hidden, else the alignment
    bool legendCustom = false;
    std::string title, foot;
    bool titleCustom = false;
    int marks = -1;  // hidden, else the style
    bool marksMultiLine = false;
    int markLength = 8, markAngle = 0;
    int zeroMargins = 0;  // bit per side: left, top, right, bottom

    std::string Describe() const {
        std::ostringstream s;
        s << "seed " << seed << FamilyNames[family] << ": " << width << "x" << height;
        if (view3D) {
            s << " 3D " << (orthogonal ? "ortho " + std::to_string(orthoAngle) : "rot " + std::to_string(rotation))
              << " elev " << elevation << " persp " << perspective << " percent " << percent << " walls " << wallSize
              << " right wall " << rightWall;
            if (depthAxis) s << " depth axis title '" << depthTitle << "'";
        } else {
            s << " 2D";
        }
        for (int i = 0; i < 4; ++i) {
            const AxisSettings& a = axes[i];
            if (!a.used) continue;
            s << "; " << AxisNames[i] << ": " << RangeNames[a.range];
            if (a.range == rkLogBetween) s << " " << a.logLo << ".." << a.logHi;
            s << " angle " << a.labelsAngle << " format '" << Formats[a.format] << "'";
            if (a.boxed) s << " boxed shadow " << a.boxShadow;
            if (!a.title.empty()) s << " title '" << a.title << "' at " << a.titleAngle;
        }
        s << "; series " << seriesCount << " of " << points << " points";
        if (pointer > 0) s << " of size " << pointer;
        if (family == fmlViewer) s << " from " << std::to_string(timeStart) << " s";
        if (legend >= 0) s << "; legend " << legend << (legendCustom ? " custom" : "");
        if (!title.empty()) s << "; title '" << title << "'" << (titleCustom ? " custom" : "");
        if (!foot.empty()) s << "; foot '" << foot << "'";
        if (marks >= 0)
            s << "; marks style " << marks << (marksMultiLine ? " multiline" : "") << " length " << markLength
              << " angle " << markAngle;
        if (zeroMargins) s << "; zero margins " << zeroMargins;
        return s.str();
    }
};

int LabelAngle(Rng& r) {
    static const int common[] = {0, 0, 45, 90, 270, 315, 180, 30, 60, 135};
    return r.Chance(40) ? r.Pick(common) : r.Int(0, 359);
}

// The charts a user draws first: one series with the chart's own settings, at the
// sizes windows commonly have; readings around a thousand over a step of ten, or
// points with large pointers over their indexes; and the viewer's shot, narrow to
// maximised. Some have a logarithmic range between powers of the base.
Settings GenerateFamily(int seed, Family family, Rng& r) {
    Settings s;
    s.seed = seed;
    s.family = family;
    static const int widths[] = {300, 400, 400, 500, 640, 800, 1024};
    static const int heights[] = {200, 250, 250, 300, 350, 360, 370, 480, 600};
    s.width = r.Pick(widths);
    s.height = r.Pick(heights);
    s.axes[Bottom].used = s.axes[Left].used = true;
    s.points = r.Int(5, 30);
    if (family == fmlViewer) {
        s.width = r.Int(420, 1280);
        s.height = r.Int(300, 700);
        s.axes[Bottom].range = rkClock;
        s.axes[Bottom].format = fmClock;
        // a clock that has run for a day and a half, to the nanosecond
        s.timeStart = 150060.1300046 + r.Int(0, 999999) * 1e-9;
        s.legend = -1;
        return s;
    }
    s.view3D = family == fmlPlain && r.Chance(30);
    s.legend = family == fmlPlain ? 0 : -1;
    s.axes[Bottom].range = family == fmlPlain ? rkThousands : rkIndex;
    s.axes[Left].range = family == fmlPlain ? rkWalk : rkIndex;
    if (family == fmlPoints) {
        s.width = r.Int(250, 500);
        s.points = r.Int(6, 20);
        s.pointer = r.Int(4, 9);
    }
    if (r.Chance(25)) {
        AxisSettings& a = s.axes[r.Chance(50) ? Left : Bottom];
        a.range = rkLogBetween;
        static const double lows[] = {0.07, 0.25, 3, 15, 0.003};
        static const double spans[] = {1e3, 1e4, 1e5, 7e2, 3e6};
        a.logLo = r.Pick(lows);
        a.logHi = a.logLo * r.Pick(spans);
    }
    return s;
}

Settings Generate(int seed) {
    // the family from a stream of its own, so that the charts of every setting stay
    // the ones their seeds always gave
    Rng f{static_cast<std::uint64_t>(seed) * 104729 + 7};
    Rng r{static_cast<std::uint64_t>(seed) * 7919 + 17};
    const int pick = f.Int(0, 99);
    if (pick >= 70) return GenerateFamily(seed, pick < 80 ? fmlPlain : pick < 90 ? fmlPoints : fmlViewer, r);
    Settings s;
    s.seed = seed;
    static const int widths[] = {150, 200, 300, 400, 400, 500, 640, 800, 1200};
    static const int heights[] = {100, 150, 200, 250, 250, 350, 480, 600, 800};
    s.width = r.Chance(20) ? r.Int(150, 1200) : r.Pick(widths);
    s.height = r.Chance(20) ? r.Int(100, 800) : r.Pick(heights);
    s.view3D = r.Chance(40);
    if (s.view3D) {
        s.orthogonal = r.Chance(70);
        static const int orthoAngles[] = {45, 45, 20, 70, 90, 110, 135, 160};
        s.orthoAngle = r.Pick(orthoAngles);
        s.rotation = r.Int(330, 380) % 360;
        s.elevation = r.Int(330, 360) % 360;
        s.perspective = r.Int(0, 60);
        s.percent = r.Int(5, 40);
        s.wallSize = r.Chance(50) ? r.Int(1, 8) : 0;
        s.rightWall = r.Chance(25) ? r.Int(1, 6) : 0;
        s.depthAxis = r.Chance(50);
        if (s.depthAxis && r.Chance(60)) s.depthTitle = "Depth";
    }
    s.seriesCount = r.Int(1, 3);
    s.points = r.Int(3, 15);
    // the bottom axis, the top one, or both with a second series; the same on the sides
    const int horizontal = r.Int(0, 3), vertical = r.Int(0, 3);
    s.axes[Top].used = horizontal == 1 || (horizontal == 2 && s.seriesCount > 1);
    s.axes[Bottom].used = !s.axes[Top].used || horizontal == 2;
    s.axes[Right].used = vertical == 1 || (vertical == 2 && s.seriesCount > 1);
    s.axes[Left].used = !s.axes[Right].used || vertical == 2;
    static const char* const titles[] = {"Volts", "Time stamp [sec]", "Amplitude", "x"};
    for (AxisSettings& a : s.axes) {
        a.range = static_cast<RangeKind>(r.Int(0, rkKinds - 1));
        if (r.Chance(50)) a.title = r.Pick(titles);
        a.titleAngle = r.Chance(15) ? r.Int(0, 359) : -1;
        a.labelsAngle = LabelAngle(r);
        a.format = a.range == rkClock ? fmClock : r.Int(0, fmTwoLines);
        a.boxed = r.Chance(25);
        a.boxShadow = a.boxed ? r.Int(0, 4) : 0;
    }
    s.legend = r.Chance(60) ? r.Int(0, 3) : -1;
    s.legendCustom = s.legend >= 0 && r.Chance(10);
    if (r.Chance(40)) s.title = "Shot 1";
    if (r.Chance(25)) s.foot = "foot note";
    s.titleCustom = !s.title.empty() && r.Chance(10);
    if (r.Chance(30)) {
        static const int styles[] = {smsValue, smsXY, smsLabel, smsXValue};
        s.marks = r.Pick(styles);
        s.marksMultiLine = r.Chance(50);
        s.markLength = r.Int(0, 30);
        static const int angles[] = {0, 0, 90, 45, 270};
        s.markAngle = r.Pick(angles);
    }
    if (r.Chance(8)) s.zeroMargins = r.Int(1, 15);
    return s;
}

double RangeValue(RangeKind k, int i, int n) {
    const double t = n > 1 ? static_cast<double>(i) / (n - 1) : 0;
    switch (k) {
    case rkUnits:
        return std::round(t * 10);
    case rkHalves:
        return t * 5;
    case rkThousands:
        return t * 10000;
    case rkAroundZero:
        return -5 + 10 * t;
    case rkSmall:
        return t * 0.002;
    case rkLarge:
        return 1.5e6 + t * 3e5;
    case rkNegative:
        return -1000 + 500 * t;
    case rkLog:
        return 2 * std::pow(1000.0, t);
    case rkClock:
        return 150060.1500028 + 3e-7 * t;
    case rkWalk:
        return 1000 + (i * 37) % 83 + 0.5 * (i % 3);
    case rkIndex:
        return i;
    default:
        return t;
    }
}

void SetUpAxis(TChartAxis& axis, const AxisSettings& a) {
    if (!a.title.empty()) {
        axis.Title().SetCaption(a.title);
        if (a.titleAngle >= 0) axis.Title().SetAngle(a.titleAngle);
    }
    axis.SetLabelsAngle(a.labelsAngle);
    if (a.format > 0) axis.SetAxisValuesFormat(Formats[a.format]);
    axis.SetLabelsMultiLine(a.format == fmTwoLines);
    if (a.range == rkLog || a.range == rkLogBetween) {
        axis.SetLogarithmic(true);
        axis.SetAutomatic(false);
        axis.SetAxisRange(a.range == rkLog ? 2 : a.logLo, a.range == rkLog ? 2000 : a.logHi);
    }
    // the viewer's time axis steps by whole nanoseconds at least
    if (a.range == rkClock) axis.SetIncrement(1e-9);
    if (a.boxed) {
        axis.Items().Format().SetTransparent(false);
        axis.Items().Format().SetColor(clYellow);
        axis.Items().Format().Shadow().SetHorizSize(a.boxShadow);
        axis.Items().Format().Shadow().SetVertSize(a.boxShadow);
    }
}

void Build(TChart& chart, const Settings& s) {
    if (s.family == fmlViewer) {
        viewerscene::Build(chart, false, s.timeStart);
        chart.LeftAxis()->Title().SetCaption("");
        return;
    }
    chart.SetView3D(s.view3D);
    if (s.view3D) {
        TView3DOptions& o = chart.View3DOptions();
        o.SetOrthogonal(s.orthogonal);
        o.SetOrthoAngle(s.orthoAngle);
        o.SetRotation(s.rotation);
        o.SetElevation(s.elevation);
        o.SetPerspective(s.perspective);
        chart.SetChart3DPercent(s.percent);
        if (s.wallSize) {
            chart.BackWall().SetTransparent(false);
            chart.BackWall().SetSize(s.wallSize);
            chart.LeftWall().SetSize(s.wallSize);
            chart.BottomWall().SetSize(s.wallSize);
        }
        if (s.rightWall) {
            chart.RightWall().SetVisible(true);
            chart.RightWall().SetSize(s.rightWall);
        }
        if (s.depthAxis) {
            chart.DepthAxis()->SetVisible(true);
            if (!s.depthTitle.empty()) chart.DepthAxis()->Title().SetCaption(s.depthTitle);
        }
    }
    TChartAxis* axes[4] = {chart.LeftAxis(), chart.TopAxis(), chart.RightAxis(), chart.BottomAxis()};
    for (int i = 0; i < 4; ++i)
        if (s.axes[i].used) SetUpAxis(*axes[i], s.axes[i]);
    for (int k = 0; k < s.seriesCount; ++k) {
        TCustomSeries* series =
            k % 2 || s.pointer > 0 ? static_cast<TCustomSeries*>(new TPointSeries(&chart)) : new TLineSeries(&chart);
        series->SetParentChart(&chart);
        if (s.pointer > 0) {
            series->Pointer().SetHorizSize(s.pointer);
            series->Pointer().SetVertSize(s.pointer);
        }
        const bool bothH = s.axes[Top].used && s.axes[Bottom].used, bothV = s.axes[Left].used && s.axes[Right].used;
        const bool top = bothH ? k % 2 == 1 : s.axes[Top].used, right = bothV ? k % 2 == 1 : s.axes[Right].used;
        series->SetHorizAxis(top ? aTopAxis : aBottomAxis);
        series->SetVertAxis(right ? aRightAxis : aLeftAxis);
        const AxisSettings& h = s.axes[top ? Top : Bottom];
        const AxisSettings& v = s.axes[right ? Right : Left];
        // rising, falling and a slower rise, so that the series cross
        for (int i = 0; i < s.points; ++i) {
            const int j = k == 0 ? i : k == 1 ? s.points - 1 - i : i / 2;
            series->AddPoint(RangeValue(h.range, i, s.points), RangeValue(v.range, j, s.points));
        }
        if (k == 0 && s.marks >= 0) {
            TSeriesMarks& m = series->Marks();
            m.SetVisible(true);
            m.SetStyle(static_cast<TSeriesMarksStyle>(s.marks));
            m.SetMultiLine(s.marksMultiLine);
            m.Callout().SetLength(s.markLength);
            m.SetAngle(s.markAngle);
        }
    }
    chart.Legend().SetVisible(s.legend >= 0);
    if (s.legend >= 0) chart.Legend().SetAlignment(static_cast<TLegendAlignment>(s.legend));
    if (s.legendCustom) {
        chart.Legend().SetCustomPosition(true);
        chart.Legend().SetLeft(s.width / 3);
        chart.Legend().SetTop(s.height / 3);
    }
    chart.Title().SetCaption(s.title);
    if (s.titleCustom) {
        chart.Title().SetCustomPosition(true);
        chart.Title().SetLeft(5);
        chart.Title().SetTop(s.height / 2);
    }
    chart.Foot().SetCaption(s.foot);
    for (int side = 0; side < 4; ++side)
        if (s.zeroMargins & (1 << side)) chart.SetMargin(side, 0);
}

// ---- the texts of a chart ------------------------------------------------

// Switches a text's colours between the chart's own (false) and ones far from them
// (true): first the letters, then the box around them with its frame and shadow.
enum TextKind { tkLabels, tkAxisTitle, tkDepthLabels, tkDepthTitle, tkLegend, tkTitle, tkMarks, tkWalls, tkNone };

struct Text {
    Text(TextKind k, std::string n, std::function<void(bool)> l, std::function<void(bool)> b = {}, int a = -1)
        : kind(k), name(std::move(n)), letters(std::move(l)), box(std::move(b)), axis(a) {}
    TextKind kind;
    std::string name;
    std::function<void(bool)> letters;
    std::function<void(bool)> box;  // empty for a text without a box
    int axis = -1;                  // one of the four axes, for the axis-line check
    bool userPlaced = false;
    // The walls are no text but a block that texts must not lie under.
    bool CoverOnly() const { return kind == tkWalls; }
    Mask ink, touch, boxInk;  // letters, letters with their rims, the box
};

// What a check found: the text at fault and, for texts on texts, the other one.
struct Finding {
    char check;
    TextKind kind = tkNone, other = tkNone;
    int axis = -1, otherAxis = -1;
    std::string what;
};

// A font's colour and its contrast, switched on demand.
std::function<void(bool)> FontSwitch(TFont& font) {
    const TColor normal = font.Color(), other = Contrast(normal);
    return [&font, normal, other](bool on) { font.SetColor(on ? other : normal); };
}

std::function<void(bool)> BoxSwitch(TPlotCustomShape& shape) {
    const TColor fill = shape.Color(), pen = shape.Pen().Color(), shadow = shape.Shadow().Color();
    return [&shape, fill, pen, shadow](bool on) {
        shape.SetColor(on ? Contrast(fill) : fill);
        shape.Pen().SetColor(on ? Contrast(pen) : pen);
        shape.Shadow().SetColor(on ? Contrast(shadow) : shadow);
    };
}

// Labels of one axis share a font and a box, so they are told apart in the label
// event, which asks for each label's text just before the label is drawn: the
// labels of one parity (every other label along the axis) take the contrast
// colours there while the others keep theirs.
class LabelParity {
public:
    explicit LabelParity(TChart& chart) : FChart(chart) {
        chart.OnGetAxisLabel = [this](TChartAxis* axis, TChartSeries*, int index, std::string& text) {
            if (FRecording) FSeen[axis].insert(ValueOf(text));
            if (axis != FAxis) return;
            const bool on = Parity(axis, index, text) == FParity;
            axis->LabelsFont().SetColor(on ? Contrast(FFont) : FFont);
            if (FBox) {
                TPlotShape& f = axis->Items().Format();
                f.SetColor(on ? Contrast(FFill) : FFill);
                f.Pen().SetColor(on ? Contrast(FPen) : FPen);
                f.Shadow().SetColor(on ? Contrast(FShadow) : FShadow);
            }
        };
    }
    ~LabelParity() { FChart.OnGetAxisLabel = nullptr; }
    void Recording(bool on) { FRecording = on; }

    std::function<void(bool)> Letters(TChartAxis* axis, int parity) { return Switch(axis, parity, false); }
    std::function<void(bool)> Box(TChartAxis* axis, int parity) { return Switch(axis, parity, true); }

private:
    std::function<void(bool)> Switch(TChartAxis* axis, int parity, bool box) {
        return [this, axis, parity, box](bool on) {
            TPlotShape& f = axis->Items().Format();
            if (!on) {
                // the last label drawn may have left the contrast colours behind
                axis->LabelsFont().SetColor(FFont);
                f.SetColor(FFill);
                f.Pen().SetColor(FPen);
                f.Shadow().SetColor(FShadow);
                FAxis = nullptr;
                return;
            }
            FAxis = axis;
            FParity = parity;
            FBox = box;
            FFont = axis->LabelsFont().Color();
            FFill = f.Color();
            FPen = f.Pen().Color();
            FShadow = f.Shadow().Color();
        };
    }
    // The value a label shows (its digits, signs and point).
    static double ValueOf(const std::string& text) {
        std::string digits;
        for (char c : text)
            if ((c >= '0' && c <= '9') || c == '.' || c == '-' || c == 'E' || c == 'e' || c == '+') digits += c;
        return std::strtod(digits.c_str(), nullptr);
    }
    // Series rows (the depth axis) come with their index; value labels alternate
    // by their value's rank among the values the axis showed.
    int Parity(TChartAxis* axis, int index, const std::string& text) const {
        if (index >= 0) return index % 2;
        auto seen = FSeen.find(axis);
        if (seen == FSeen.end()) return 0;
        const auto at = seen->second.lower_bound(ValueOf(text));
        return static_cast<int>(std::distance(seen->second.begin(), at)) % 2;
    }

    TChart& FChart;
    bool FRecording = false;
    std::map<TChartAxis*, std::set<double>> FSeen;
    TChartAxis* FAxis = nullptr;
    int FParity = 0;
    bool FBox = false;
    TColor FFont = clBlack, FFill = clWhite, FPen = clBlack, FShadow = clBlack;
};

std::vector<Text> TextsOf(TChart& chart, const Settings& s, LabelParity& parity) {
    std::vector<Text> texts;
    TChartAxis* axes[4] = {chart.LeftAxis(), chart.TopAxis(), chart.RightAxis(), chart.BottomAxis()};
    auto addAxis = [&](TChartAxis* axis, const std::string& name, int index, bool boxed) {
        const bool depth = axis->IsDepthAxis();
        for (int p = 0; p < 2; ++p) {
            Text t{depth ? tkDepthLabels : tkLabels,
                   name + (p ? " labels (odd)" : " labels (even)"),
                   parity.Letters(axis, p),
                   {},
                   index};
            if (boxed) t.box = parity.Box(axis, p);
            texts.push_back(std::move(t));
        }
        if (!axis->Title().Caption().empty())
            texts.push_back(
                {depth ? tkDepthTitle : tkAxisTitle, name + " title", FontSwitch(axis->Title().Font()), {}, index});
    };
    for (int i = 0; i < 4; ++i)
        if (s.axes[i].used) addAxis(axes[i], AxisNames[i], i, s.axes[i].boxed);
    if (s.depthAxis) addAxis(chart.DepthAxis(), "depth", -1, false);
    if (s.legend >= 0) {
        Text t{tkLegend, "legend", FontSwitch(chart.Legend().Font()), BoxSwitch(chart.Legend())};
        t.userPlaced = s.legendCustom;
        texts.push_back(std::move(t));
    }
    if (!s.title.empty()) {
        Text t{tkTitle, "title", FontSwitch(chart.Title().Font())};
        if (!chart.Title().Transparent()) t.box = BoxSwitch(chart.Title());
        t.userPlaced = s.titleCustom;
        texts.push_back(std::move(t));
    }
    if (!s.foot.empty()) {
        Text t{tkTitle, "foot", FontSwitch(chart.Foot().Font())};
        if (!chart.Foot().Transparent()) t.box = BoxSwitch(chart.Foot());
        texts.push_back(std::move(t));
    }
    if (s.view3D) {
        // the walls as one block: their fill, frame and shadow
        std::vector<std::function<void(bool)>> walls;
        for (TCustomChartWall* w :
             {static_cast<TCustomChartWall*>(&chart.BackWall()), static_cast<TCustomChartWall*>(&chart.LeftWall()),
              static_cast<TCustomChartWall*>(&chart.BottomWall()), static_cast<TCustomChartWall*>(&chart.RightWall())})
            walls.push_back(BoxSwitch(*w));
        Text t{tkWalls, "walls", [](bool) {},
               [walls](bool on) {
                   for (const auto& w : walls) w(on);
               }};
        texts.push_back(std::move(t));
    }
    if (s.marks >= 0) {
        TSeriesMarks& m = chart.Series(0)->Marks();
        Text t{tkMarks, "marks", FontSwitch(m.Font())};
        if (!m.Transparent()) t.box = BoxSwitch(m);
        texts.push_back(std::move(t));
    }
    return texts;
}

// ---- the checks ----------------------------------------------------------

std::string At(const Mask& m) {
    return m.Empty() ? "-" : std::to_string(m.X(m.pixels[0])) + "," + std::to_string(m.Y(m.pixels[0]));
}

// Antialiased rims (less than about 40 % cover) are not a text's letters.
constexpr int ChartSweepSolid = 96;

// The pixels of the axis line and its outer ticks, as the axis pens draw them.
Mask AxisLine(TChartAxis& axis, const std::function<std::unique_ptr<TBitmap>()>& paint, const TBitmap& base) {
    const TColor line = axis.Axis().Color(), ticks = axis.Ticks().Color();
    axis.Axis().SetColor(Contrast(line));
    axis.Ticks().SetColor(Contrast(ticks));
    std::unique_ptr<TBitmap> changed = paint();
    axis.Axis().SetColor(line);
    axis.Ticks().SetColor(ticks);
    return textpixels::Differing(base, *changed, ChartSweepSolid);
}

// Letters of an axis' texts on the plot's side of its axis line and ticks: beyond
// the ticks' outer end, across the line's whole length (labels standing out past
// its ends may do so). Only a line drawn straight along a picture axis is checked
// (2D and orthogonal 3D); most of its pixels then share one coordinate.
Mask Crossing(const Mask& line, const Mask& letters, int axis) {
    Mask where(letters.width, letters.height);
    if (line.Empty()) return where;
    int x0 = line.width, x1 = -1, y0 = line.height, y1 = -1;
    const bool vertical = axis == Left || axis == Right;
    std::map<int, int> across;
    for (int p : line.pixels) {
        const int x = line.X(p), y = line.Y(p);
        x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
        ++across[vertical ? x : y];
    }
    int most = 0;
    for (auto [c, n] : across) most = std::max(most, n);
    if (most < (vertical ? y1 - y0 : x1 - x0) * 3 / 4) return where;
    for (int p : letters.pixels) {
        const int x = letters.X(p), y = letters.Y(p);
        const bool alongV = y >= y0 && y <= y1, alongH = x >= x0 && x <= x1;
        const bool inside = axis == Left    ? x >= x0 && alongV
                            : axis == Right ? x <= x1 && alongV
                            : axis == Top   ? y >= y0 && alongH
                                            : y <= y1 && alongH;
        if (inside) where.pixels.push_back(p);
    }
    return where;
}

// How far the labels' nearest letter (or box) stands out from the ticks' outer end,
// the walls as drawn between them not counted: the least over the rows (or columns)
// along the line; -1 where the line is not straight or no label stands beside it.
int Standoff(const Mask& line, const Mask& labels, const Mask& walls, int axis) {
    if (line.Empty() || labels.Empty()) return -1;
    const bool vertical = axis == Left || axis == Right, far = axis == Right || axis == Bottom;
    const Mask::Box l = line.Bounds();
    const int edge = vertical ? (far ? l.maxX : l.minX) : (far ? l.maxY : l.minY);
    // the labels' nearest pixel in each row (or column) beside the line
    std::map<int, int> nearest;
    for (int p : labels.pixels) {
        const int along = vertical ? labels.Y(p) : labels.X(p), across = vertical ? labels.X(p) : labels.Y(p);
        if (along < (vertical ? l.minY : l.minX) || along > (vertical ? l.maxY : l.maxX)) continue;
        if (far ? across <= edge : across >= edge) continue;
        auto [it, added] = nearest.try_emplace(along, across);
        if (!added) it->second = far ? std::min(it->second, across) : std::max(it->second, across);
    }
    int least = -1;
    for (auto [along, across] : nearest) {
        int gap = std::abs(across - edge) - 1;
        for (int c = std::min(across, edge) + 1; c < std::max(across, edge); ++c)
            if (vertical ? walls.At(c, along) : walls.At(along, c)) --gap;
        least = least < 0 ? gap : std::min(least, gap);
    }
    return least;
}

struct Tally {
    int charts = 0, paints = 0;
};

class ChartSweep {
public:
    ChartSweep(const Settings& s, Tally& tally) : S(s), T(tally) {}

    // Runs the checks and returns what they found.
    std::vector<Finding> Run() {
        TChart chart;
        TextRecordingCanvas& written = labelrules::RecordTexts(chart);
        Build(chart, S);
        LabelParity parity(chart);
        auto paint = [&] {
            ++T.paints;
            // a label's colour changes in the label event, which a buffered picture would not see
            chart.Invalidate();
            return RenderToBitmap(chart, S.width, S.height);
        };
        // the first paint writes each axis' labels in a colour of their own
        TChartAxis* axes[4] = {chart.LeftAxis(), chart.TopAxis(), chart.RightAxis(), chart.BottomAxis()};
        TColor colors[4];
        for (int i = 0; i < 4; ++i) {
            colors[i] = axes[i]->LabelsFont().Color();
            axes[i]->LabelsFont().SetColor(labelrules::MarkColor + i);
        }
        parity.Recording(true);
        written.Texts.clear();
        paint();
        parity.Recording(false);
        for (int i = 0; i < 4; ++i) axes[i]->LabelsFont().SetColor(colors[i]);
        std::vector<TextRecordingCanvas::Written> labels = std::move(written.Texts);
        written.Texts.clear();
        Base = paint();
        std::vector<Finding> out;
        // every difference below must come from a colour: a chart that paints
        // differently twice would show texts that are not there
        const Mask unsteady = textpixels::Differing(*Base, *paint(), 1);
        if (!unsteady.Empty()) {
            out.push_back({'r', tkNone, tkNone, -1, -1, "a second paint differs at " + At(unsteady)});
            return out;
        }
        std::vector<Text> texts = TextsOf(chart, S, parity);
        for (Text& t : texts) {
            if (!t.CoverOnly()) {
                t.letters(true);
                std::vector<Mask> found = textpixels::Differing(*Base, *paint(), {Solid, Rim});
                t.ink = std::move(found[0]);
                t.touch = std::move(found[1]);
                t.letters(false);
            }
            if (t.box) {
                t.box(true);
                // the walls' dark sides change least of all with their colours
                t.boxInk = textpixels::Differing(*Base, *paint(), t.CoverOnly() ? 1 : Solid);
                t.box(false);
            }
        }
        // (d) the plot keeps a size within the panel
        const TRect& plot = chart.PlotRect();
        if (std::min(plot.Right, S.width) <= std::max(plot.Left, 0) ||
            std::min(plot.Bottom, S.height) <= std::max(plot.Top, 0))
            out.push_back({'d', tkNone, tkNone, -1, -1, "no plot left in the panel"});
        CheckOverprint(texts, out);
        CheckAxisLines(chart, texts, paint, out);
        CheckEdges(texts, out);
        CheckLabelsExpected(axes, labels, out);
        Plot = chart.PlotRect();
        return out;
    }

    static constexpr int Solid = ChartSweepSolid;
    // Where two texts meet, the one below shows only through what the one above
    // leaves of a pixel, so meeting is told by lighter cover (an eighth).
    static constexpr int Rim = 32;

private:
    // (a) A text's letters share no pixel with another text's letters, nor come
    // within a pixel of its box or shadow: a box drawn later hides what it covers,
    // so a text under it shows only as letters running up to its edge. Allowed: a
    // text on its own box (the legend's items on the legend), marks on marks of
    // their series and on the walls (they stand where the points are), and
    // whatever meets a text the user placed.
    void CheckOverprint(const std::vector<Text>& texts, std::vector<Finding>& out) {
        std::vector<Mask> covers(texts.size());
        for (std::size_t j = 0; j < texts.size(); ++j) {
            covers[j] = texts[j].touch;
            if (texts[j].box) covers[j] |= texts[j].boxInk.Grown();
        }
        for (std::size_t i = 0; i < texts.size(); ++i)
            for (std::size_t j = 0; j < texts.size(); ++j) {
                const bool mark = texts[i].kind == tkMarks;
                if (i == j || texts[i].CoverOnly() || (mark && (texts[j].kind == tkMarks || texts[j].CoverOnly())))
                    continue;
                if (texts[i].userPlaced || texts[j].userPlaced) continue;
                // letters on letters count once
                if (j < i && !texts[j].box && !texts[i].box) continue;
                const Mask both = texts[i].touch & covers[j];
                if (both.Empty()) continue;
                out.push_back({'a', texts[i].kind, texts[j].kind, texts[i].axis, texts[j].axis,
                               texts[i].name + " on " + texts[j].name + (texts[j].box ? " (or its box)" : "") + ": " +
                                   std::to_string(both.Count()) + " px, first at " + At(both)});
            }
    }

    // (b) An axis' labels and title stay on the outside of its line and ticks. The
    // grid and the inner ticks lie inside the plot and do not count; walls are
    // checked as blocks in (a).
    void CheckAxisLines(TChart& chart, const std::vector<Text>& texts,
                        const std::function<std::unique_ptr<TBitmap>()>& paint, std::vector<Finding>& out) {
        TChartAxis* axes[4] = {chart.LeftAxis(), chart.TopAxis(), chart.RightAxis(), chart.BottomAxis()};
        for (int i = 0; i < 4; ++i) {
            if (!S.axes[i].used || (S.view3D && !S.orthogonal)) continue;
            Mask letters;
            for (const Text& t : texts)
                if (t.axis == i) letters |= t.ink;
            if (letters.Empty()) continue;
            const Mask where = Crossing(AxisLine(*axes[i], paint, *Base), letters, i);
            if (!where.Empty())
                out.push_back({'b', tkNone, tkNone, i, -1,
                               std::string(AxisNames[i]) + " texts cross the axis line: " +
                                   std::to_string(where.Count()) + " px, first at " + At(where)});
        }
    }

    // (c) No text touches the panel's outermost pixels, where it would be cut:
    // letters, box and shadow. Allowed where the user placed the text or left no
    // margin on that side.
    void CheckEdges(const std::vector<Text>& texts, std::vector<Finding>& out) {
        const int w = S.width, h = S.height;
        for (const Text& t : texts) {
            if (t.userPlaced || t.CoverOnly()) continue;
            Mask ink = t.ink;
            if (t.box) ink |= t.boxInk;
            Mask cut(w, h);
            for (int p : ink.pixels) {
                const int x = ink.X(p), y = ink.Y(p);
                const int side = x == 0 ? 0 : y == 0 ? 1 : x == w - 1 ? 2 : y == h - 1 ? 3 : -1;
                if (side >= 0 && !(S.zeroMargins & (1 << side))) cut.pixels.push_back(p);
            }
            if (!cut.Empty())
                out.push_back(
                    {'c', t.kind, tkNone, t.axis, -1,
                     t.name + " cut by the panel's edge: " + std::to_string(cut.Count()) + " px, first at " + At(cut)});
        }
    }

    // (e) The value labels of an axis that steps on its own (no increment, or one
    // that is a nice step the labels start from) are one progression of a nice step
    // without a gap, no two neighbours read the same, and where two labels fit side
    // by side at such a step, at least two are drawn. Axes whose labels the layout
    // left out for want of room across, or cut at the ends, only the first two.
    void CheckLabelsExpected(TChartAxis* const (&axes)[4], const std::vector<TextRecordingCanvas::Written>& labels,
                             std::vector<Finding>& out) {
        for (int i = 0; i < 4; ++i) {
            TChartAxis& a = *axes[i];
            if (!S.axes[i].used || !a.Labels() || (a.Increment() != 0 && !labelrules::NiceStep(a.Increment())))
                continue;
            std::vector<std::string> texts;
            int w = 0, h = 0;
            // a 3D chart draws the axes on the sides facing the viewer again over the walls
            std::set<std::tuple<std::string, int, int>> seen;
            for (const auto& t : labels)
                if (t.color == labelrules::MarkColor + i && seen.insert({t.text, t.x, t.y}).second) {
                    texts.push_back(t.text);
                    w = std::max(w, t.width);
                    h = std::max(h, t.height);
                }
            const std::string fault = labelrules::ProgressionFault(texts, a.Logarithmic(), a.LogarithmicBase());
            if (!fault.empty())
                out.push_back({'e', tkLabels, tkNone, i, -1, std::string(AxisNames[i]) + " labels: " + fault});
            if (a.LabelsLeftOut || a.LabelsLimited || texts.size() >= 2 || (S.view3D && !S.orthogonal)) continue;
            // what a label takes along the axis at most, its turn, lines and box counted,
            // its width measured in the labels' font (no less than as drawn)
            TBitmap b(1, 1);
            b.Canvas().Font().Assign(&a.LabelsFont());
            h = std::max(h, b.Canvas().TextHeight("Wg"));
            const AxisSettings& as = S.axes[i];
            const double turn = a.LabelsAngle() * 3.14159265358979 / 180;
            const double c = std::fabs(std::cos(turn)), sn = std::fabs(std::sin(turn));
            auto extentOf = [&](const std::string& text) {
                double along = b.Canvas().TextWidth(text), across = h * (as.format == fmTwoLines ? 2 : 1);
                for (const auto& t : labels)
                    if (t.text == text) along = std::max<double>(along, t.width);
                if (as.boxed) {
                    along += h + 2 + as.boxShadow;
                    across += 2 + as.boxShadow;
                }
                // a label wider across than the room the layout gave the labels has no room
                const double wide = b.Canvas().TextWidth(" ") +
                                    (i == Top || i == Bottom ? along * sn + across * c : along * c + across * sn);
                if (a.LabelsAcross > 0 && wide > a.LabelsAcross + 2) return 1e9;
                return i == Top || i == Bottom ? along * c + across * sn : along * sn + across * c;
            };
            // a series of as few points as labels would fit keeps whole steps
            const double least = S.family == fmlViewer || S.points * 8 > a.AxisLength() ? 0 : 1;
            if (labelrules::RoomForTwo(a, extentOf, least))
                out.push_back({'e', tkLabels, tkNone, i, -1,
                               std::string(AxisNames[i]) + " labels: room for two, " + std::to_string(texts.size()) +
                                   " drawn: " + labelrules::Joined(texts)});
        }
    }

public:
    // Leaves the chart's picture where $NARVI_SWEEP_DIR (or the test's temporary
    // folder) says, and returns the file's path.
    std::string Save() const {
        const char* dir = std::getenv("NARVI_SWEEP_DIR");
        const std::filesystem::path folder = dir && *dir ? dir : ::testing::TempDir();
        std::filesystem::create_directories(folder);
        const std::string file = (folder / ("sweep" + std::to_string(S.seed) + ".png")).string();
        SaveBitmapToPng(*Base, file);
        return file;
    }

    TRect Plot{};

private:
    const Settings& S;
    Tally& T;
    std::unique_ptr<TBitmap> Base;
};

class TextRoomSweep : public ::testing::TestWithParam<int> {};

constexpr int ChartsPerBlock = 56;
constexpr int Blocks = 8;

// NARVI_SWEEP_SEEDS=first,count sweeps other seeds, shared out over the blocks, to see
// that a fix holds beyond the fixed set.
struct SeedRange {
    int first = 0, count = Blocks * ChartsPerBlock;
};
SeedRange SweepSeeds() {
    SeedRange r;
    if (const char* env = std::getenv("NARVI_SWEEP_SEEDS")) {
        int first = 0, count = 0;
        if (std::sscanf(env, "%d,%d", &first, &count) == 2 && first >= 0 && count > 0) r = SeedRange{first, count};
    }
    return r;
}

TEST_P(TextRoomSweep, EveryTextHasItsRoom) {
    EnsureGuiApplication();
    Tally tally;
    std::map<std::string, int> checks;
    const SeedRange range = SweepSeeds();
    const int per = (range.count + Blocks - 1) / Blocks;
    const int first = range.first + GetParam() * per;
    const int end = std::min(range.first + range.count, first + per);
    for (int seed = first; seed < end; ++seed) {
        const Settings s = Generate(seed);
        ++tally.charts;
        ChartSweep sweep(s, tally);
        std::string text;
        for (const Finding& f : sweep.Run()) {
            ++checks[std::string(1, f.check)];
            text += "\n  (" + std::string(1, f.check) + ") " + f.what;
        }
        if (text.empty()) continue;
        const TRect& p = sweep.Plot;
        ADD_FAILURE() << s.Describe() << text << "\n  plot " << p.Left << "," << p.Top << " - " << p.Right << ","
                      << p.Bottom << "; picture: " << sweep.Save();
    }
    std::string counts;
    for (const auto& [check, n] : checks) counts += " (" + check + ") " + std::to_string(n);
    std::printf("%d charts, %d paints; found:%s\n", tally.charts, tally.paints,
                counts.empty() ? " nothing" : counts.c_str());
}

INSTANTIATE_TEST_SUITE_P(Seeds, TextRoomSweep, ::testing::Range(0, Blocks));

// A thick wall between the left labels and their ticks: seen turned the labels keep
// off it, and seen at 135 degrees they stand next to its block, no further out from
// the ticks than an unwalled axis' labels.
TEST(WallsBesideLabels, LabelsStandNextToTheWallsNotOnThem) {
    EnsureGuiApplication();
    for (const bool turned : {true, false})
        for (const int size : {12, 30}) {
            SCOPED_TRACE(std::string(turned ? "rotation 300" : "ortho 135") + ", walls " + std::to_string(size));
            TChart chart;
            for (int k = 0; k < 2; ++k) {
                auto* s = new TLineSeries(&chart);
                s->SetParentChart(&chart);
                for (int i = 0; i < 12; ++i) s->AddPoint(i, 1000 + 40 * k + 60 * std::sin(i + 4 * k));
            }
            chart.View3DOptions().SetOrthogonal(!turned);
            chart.View3DOptions().SetRotation(300);
            chart.View3DOptions().SetElevation(340);
            chart.View3DOptions().SetOrthoAngle(135);
            chart.LeftAxis()->Title().SetCaption("Left title");
            std::vector<std::function<void(bool)>> walls;
            for (TCustomChartWall* w :
                 {static_cast<TCustomChartWall*>(&chart.BackWall()), static_cast<TCustomChartWall*>(&chart.LeftWall()),
                  static_cast<TCustomChartWall*>(&chart.BottomWall())}) {
                w->SetSize(size);
                walls.push_back(BoxSwitch(*w));
            }
            chart.BackWall().SetTransparent(false);
            auto paint = [&] {
                chart.Invalidate();
                return RenderToBitmap(chart, 640, 480);
            };
            const std::unique_ptr<TBitmap> base = paint();
            const auto labelsSwitch = FontSwitch(chart.LeftAxis()->LabelsFont());
            labelsSwitch(true);
            const std::vector<Mask> labels = textpixels::Differing(*base, *paint(), {ChartSweepSolid, 32});
            labelsSwitch(false);
            for (const auto& w : walls) w(true);
            // every pixel the walls' colours reach: their dark sides change least
            const Mask wallInk = textpixels::Differing(*base, *paint(), 1);
            for (const auto& w : walls) w(false);
            ASSERT_FALSE(labels[0].Empty());
            EXPECT_TRUE((labels[1] & wallInk.Grown()).Empty());
            if (!turned) {
                EXPECT_LE(Standoff(AxisLine(*chart.LeftAxis(), paint, *base), labels[0], wallInk, Left), 6);
            }
        }
}

}  // namespace
