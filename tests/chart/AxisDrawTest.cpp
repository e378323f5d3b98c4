#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "Chart.h"
#include "ChartSeries.h"
#include "ChartMessages.h"
#include "ChartControl.h"
#include "GuiApplication.h"
#include "RecordingChart.h"

namespace {

class AxisChart : public RecordingChart {
public:
    AxisChart() {
        SetView3D(false);
        TopAxis()->SetVisible(false);
        RightAxis()->SetVisible(false);
        for (TChartAxis* a : {BottomAxis(), LeftAxis()}) {
            a->SetAutomatic(false);
            a->SetAxisRange(0, 10);
            a->SetIncrement(5);
            a->SetLabelStyle(talValue);
        }
    }
    // Text calls with the alignment in force when each was written.
    struct Text {
        std::string op, text;
        int x, y, align;
    };
    std::vector<Text> Texts() const {
        std::vector<Text> out;
        int align = 0;
        for (const auto& c : Recorder->Calls) {
            if (c.op == "SetTextAlignment") align = static_cast<int>(c.args[0]);
            if (c.op == "WriteText3D" || c.op == "WriteRotatedText3D")
                out.push_back({c.op, c.text, static_cast<int>(c.args[0]), static_cast<int>(c.args[1]), align});
        }
        return out;
    }
    std::vector<Text> TextsAt(bool horizontal, int pos) const {
        std::vector<Text> out;
        for (const Text& t : Texts())
            if ((horizontal ? t.y : t.x) == pos) out.push_back(t);
        return out;
    }
};

TEST(AxisDraw, VerticalLabelsAlignAtTheirColumn) {
    AxisChart chart;
    chart.DrawNow();
    TChartAxis* left = chart.LeftAxis();
    std::vector<AxisChart::Text> labels = chart.TextsAt(false, left->LabelsPos);
    ASSERT_EQ(labels.size(), 3u);
    for (const auto& t : labels) {
        EXPECT_EQ(t.align, TA_RIGHT);
        // centred on the value's pixel: half a 12-pixel line above it
        EXPECT_EQ(t.y, left->ValueToPixel(std::stod(t.text)) - 6) << t.text;
    }

    left->SetLabelsAlign(alOpposite);
    chart.DrawNow();
    // the label column is as wide as "10" plus a blank: 3 characters of 6 pixels
    labels = chart.TextsAt(false, left->LabelsPos - 18);
    ASSERT_EQ(labels.size(), 3u);
    for (const auto& t : labels) EXPECT_EQ(t.align, TA_LEFT);
}

TEST(AxisDraw, MultiLineRotatedAndExponentLabels) {
    AxisChart chart;
    TChartAxis* bottom = chart.BottomAxis();
    chart.LeftAxis()->SetLabels(false);
    chart.OnGetAxisLabel = [](TChartAxis*, TChartSeries*, int, std::string& text) {
        if (text == "5") text = std::string("up") + LineSeparator + "down";
        if (text == "10") text = "2E3";
    };
    bottom->SetLabelsExponent(true);
    chart.DrawNow();
    const int x5 = bottom->ValueToPixel(5), x10 = bottom->ValueToPixel(10);
    std::vector<std::string> seen;
    for (const auto& t : chart.Texts()) {
        if (t.text == "up") {
            EXPECT_EQ(t.x, x5);
            EXPECT_EQ(t.y, bottom->LabelsPos);
            EXPECT_EQ(t.align, TA_CENTER);
        }
        if (t.text == "down") {
            EXPECT_EQ(t.y, bottom->LabelsPos + 12);
        }
        if (t.text == "2") {
            EXPECT_EQ(t.x, x10);
        }
        if (t.text == "3") {
            // the exponent follows the mantissa, raised
            EXPECT_EQ(t.x, x10 + 6 + 1);
            EXPECT_EQ(t.y, bottom->LabelsPos - ((12 - 1) / 2 - 2));
        }
        seen.push_back(t.text);
    }
    for (const char* s : {"up", "down", "2", "3", "0"})
        EXPECT_NE(std::find(seen.begin(), seen.end(), s), seen.end()) << s;

    chart.OnGetAxisLabel = nullptr;
    bottom->SetLabelsAngle(45);
    chart.DrawNow();
    int rotated = 0;
    for (const auto& t : chart.Texts()) {
        if (t.op != "WriteRotatedText3D") continue;
        ++rotated;
        EXPECT_EQ(t.align, TA_LEFT);
        const double shift = 6.0 * static_cast<double>(t.text.size()) * std::sin(std::acos(-1.0) / 4);
        EXPECT_EQ(t.x, bottom->ValueToPixel(std::stod(t.text)) - std::lround(shift)) << t.text;
        // moved down by as much as left, and no line further: the text ends at its tick,
        // its top corner not above the labels' edge
        EXPECT_EQ(t.y, bottom->LabelsPos + static_cast<int>(std::ceil(shift))) << t.text;
    }
    EXPECT_EQ(rotated, 3);
}

// A redraw draws the labels its plan formatted before; a label event set since, or a
// new format, still decides what they read.
TEST(AxisDraw, RedrawnLabelsFollowTheEventAndTheFormat) {
    AxisChart chart;
    TChartAxis* bottom = chart.BottomAxis();
    auto labels = [&] {
        chart.DrawNow();
        std::vector<std::string> out;
        for (const auto& t : chart.TextsAt(true, bottom->LabelsPos)) out.push_back(t.text);
        return out;
    };
    const std::vector<std::string> plain = labels();
    ASSERT_EQ(plain, (std::vector<std::string>{"10", "5", "0"}));
    chart.OnGetAxisLabel = [](TChartAxis*, TChartSeries*, int, std::string& text) { text = "<" + text + ">"; };
    EXPECT_EQ(labels(), (std::vector<std::string>{"<10>", "<5>", "<0>"}));
    chart.OnGetAxisLabel = nullptr;
    bottom->SetAxisValuesFormat("0.0");
    EXPECT_EQ(labels(), (std::vector<std::string>{"10.0", "5.0", "0.0"}));
    bottom->SetAxisValuesFormat("0");
    EXPECT_EQ(labels(), plain);
}

TEST(AxisDraw, TicksGridAndMinorMarks) {
    AxisChart chart;
    TChartAxis* bottom = chart.BottomAxis();
    chart.LeftAxis()->SetVisible(false);
    bottom->SetMinorTickCount(4);
    bottom->TicksInner().SetVisible(true);
    bottom->SetTickInnerLength(3);
    bottom->Grid().SetCentered(true);
    chart.DrawNow();
    const std::vector<int>& ticks = bottom->TickPositions;
    ASSERT_EQ(ticks.size(), 3u);
    const int line = bottom->AxisLinePos;
    int outer = 0, inner = 0, minor = 0;
    for (const auto& c : chart.Recorder->Calls) {
        if (c.op != "DrawVerticalLine3D") continue;
        if (c.args[1] == line + 1 && c.args[2] == line + 1 + 4) ++outer;
        if (c.args[1] == line - 1 && c.args[2] == line - 1 - 3) ++inner;
        if (c.args[1] == line + 1 && c.args[2] == line + 1 + 2) ++minor;
    }
    EXPECT_EQ(outer, 3);
    EXPECT_EQ(inner, 3);
    // four between each pair of ticks; the extra marks beyond the ends fall outside the axis
    EXPECT_EQ(minor, 8);
    // centred grid: half-way between neighbouring ticks
    std::vector<long long> grid;
    for (const auto& c : chart.Recorder->Calls)
        if (c.op == "DrawVerticalLine") grid.push_back(c.args[0]);
    EXPECT_EQ(grid, (std::vector<long long>{(ticks[0] + ticks[1]) / 2, (ticks[1] + ticks[2]) / 2}));

    // The grid hook runs before the grid, also when the grid is hidden.
    int hooked = 0;
    bottom->GridHook = [&](TChartAxis* a) { hooked += a == bottom; };
    bottom->Grid().SetVisible(false);
    chart.DrawNow();
    EXPECT_EQ(hooked, 1);
    EXPECT_EQ(chart.Recorder->Count("DrawVerticalLine"), 0);
}

}  // namespace

namespace {

// The rectangle drawn last before the call with the given text.
std::vector<long long> BoxBefore(const RecordingCanvas& r, const std::string& text, const char* op = "DrawRectangle") {
    std::vector<long long> box;
    for (const auto& c : r.Calls) {
        if (c.text == text) return box;
        if (c.op == op) box = c.args;
    }
    return {};
}

TEST(AxisFramedTexts, BoxesGoUnderLabelsTitlesAndItemsThatAskForThem) {
    AxisChart chart;
    TChartAxis* bottom = chart.BottomAxis();
    bottom->Title().SetCaption("time");
    chart.DrawNow();
    const int plain = chart.Recorder->Count("DrawRectangle");  // transparent when created
    TPlotShape& format = bottom->Items().Format();
    format.SetTransparent(false);
    format.Shadow().SetShadowExtent(0);
    chart.DrawNow();
    // "5" centred on its pixel, one 12-pixel line, widened by half a "W" (3) each side
    const long long x5 = bottom->ValueToPixel(5), y = bottom->LabelsPos;
    EXPECT_EQ(BoxBefore(*chart.Recorder, "5"), (std::vector<long long>{x5 - 6, y, x5 + 6, y + 12}));
    EXPECT_EQ(chart.Recorder->Count("DrawRectangle"), plain + 3);  // the labels', not the title's

    // the left title reads upward: its box turns with it, left of its point, around its centre
    format.SetTransparent(true);
    TChartAxis* left = chart.LeftAxis();
    left->Title().SetCaption("volts");
    left->Title().SetTransparent(false);
    TAxisItem* a = bottom->Items().Add(2, "a");
    bottom->Items().Add(8, "b")->SetVisible(false);
    a->SetTransparent(false);
    a->Font().SetColor(clRed);
    chart.DrawNow();
    const std::vector<long long> p = BoxBefore(*chart.Recorder, "volts", "DrawPolygon");
    ASSERT_EQ(p.size(), 8u);
    const RecordedCall* title = chart.Recorder->Find("WriteRotatedText3D");
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(std::min({p[0], p[2], p[4], p[6]}), title->args[0] - 12);
    EXPECT_EQ(std::max({p[1], p[3], p[5], p[7]}), left->CenterPixel() + 15 + 3);
    EXPECT_EQ(BoxBefore(*chart.Recorder, "a").size(), 4u);
    for (const auto& c : chart.Recorder->Calls) {
        EXPECT_NE(c.text, "b");
        EXPECT_TRUE(c.text != "a" || c.fontColor == clRed);
    }
}

// Custom items crowded on their axis: one that would overlap the last one drawn
// is left out, measured by what it draws along the axis (its box too), and with
// ticks on labels only it gets no tick; with a separation of 0 every item is drawn.
TEST(AxisFramedTexts, ItemsThatWouldOverlapAlongTheAxisAreLeftOut) {
    for (const bool boxed : {false, true}) {
        for (const int separation : {10, 0}) {
            AxisChart chart;
            TChartAxis* bottom = chart.BottomAxis();
            bottom->SetLabelsSeparation(separation);
            bottom->SetTickOnLabelsOnly(true);
            for (int i = 0; i <= 20; ++i) {
                TAxisItem* item = bottom->Items().Add(i * 0.5, "item " + std::to_string(i % 10));
                item->SetTransparent(!boxed);
                item->Shadow().SetShadowExtent(0);
            }
            chart.DrawNow();
            std::vector<long long> xs;
            for (const auto& c : chart.Recorder->Calls)
                if (c.op == "WriteText3D" && c.text.rfind("item ", 0) == 0) xs.push_back(c.args[0]);
            std::sort(xs.begin(), xs.end());
            EXPECT_EQ(bottom->TickPositions.size(), xs.size());
            SCOPED_TRACE(std::string(boxed ? "boxed" : "plain") + " separation " + std::to_string(separation));
            if (separation == 0) {
                EXPECT_EQ(xs.size(), 21u);
                continue;
            }
            // six letters of 6 pixels, the box half a "W" (3) wider on either side
            const long long width = 36 + (boxed ? 6 : 0);
            ASSERT_GT(xs.size(), 1u);
            EXPECT_LT(xs.size(), 21u);
            for (std::size_t i = 1; i < xs.size(); ++i) EXPECT_GE(xs[i] - xs[i - 1], width) << xs[i];
        }
    }
}

// Slanted or framed value labels take more along the axis than the end labels'
// width that chose the step: the step grows until every label of it keeps clear,
// so no label of the step is left out and each one has its tick.
TEST(AxisFramedTexts, SlantedOrFramedLabelsWidenTheStepUntilAllKeepClear) {
    for (const int angle : {45, 0}) {
        AxisChart chart;
        chart.LeftAxis()->SetLabels(false);
        TChartAxis* bottom = chart.BottomAxis();
        // the ends "0" and "2" are narrower than "0.1" and every label between
        bottom->SetAxisRange(0, 2);
        bottom->SetIncrement(0.1);
        bottom->SetAxisValuesFormat("0.#");
        bottom->SetLabelsAngle(angle);
        bottom->Items().Format().SetTransparent(angle != 0);
        chart.DrawNow();
        std::vector<double> values;
        for (const auto& c : chart.Recorder->Calls)
            if (c.op == "WriteText3D" || c.op == "WriteRotatedText3D") values.push_back(std::stod(c.text));
        std::sort(values.begin(), values.end());
        SCOPED_TRACE("angle " + std::to_string(angle));
        ASSERT_GT(values.size(), 2u);
        EXPECT_EQ(bottom->TickPositions.size(), values.size());
        for (std::size_t i = 2; i < values.size(); ++i)
            EXPECT_NEAR(values[i] - values[i - 1], values[1] - values[0], 1e-9) << values[i];
        EXPECT_GT(values[1] - values[0], 0.1 + 1e-9);
    }
}

TEST(AxisFramedTexts, ItemsTakeRoomByTheirOwnFont) {
    EnsureGuiApplication();
    TChart chart;
    TChartAxis* left = chart.LeftAxis();
    left->Items().Add(5, "level");
    RenderToBitmap(chart, 300, 200);
    const int narrow = left->MaxLabelWidth(), plotLeft = chart.PlotRect().Left;
    left->Items()[0]->Font().SetSize(30);
    RenderToBitmap(chart, 300, 200);
    EXPECT_GT(left->MaxLabelWidth(), 2 * narrow);
    EXPECT_GT(chart.PlotRect().Left, plotLeft + narrow);
}

}  // namespace

namespace {

// Where the axis texts go: beside the depth axis' ticks, inside the room taken for
// every line and for a slanted title, and placed afresh at every draw.
TEST(AxisPlacement, DepthAxisLabelsStandBesideItsTicks) {
    RecordingChart chart;
    chart.DepthAxis()->SetVisible(true);
    for (int k = 0; k < 3; ++k) {
        auto* s = new TChartSeries(nullptr);
        s->SetTitle("Series " + std::to_string(k));
        for (int i = 0; i <= 10; ++i) s->AddPoint(i, i * (k + 1));
        s->SetParentChart(&chart);
    }
    chart.DepthAxis()->Title().SetCaption("depth");
    TChartAxis* depth = chart.DepthAxis();
    // this canvas does not project the depth: the three labels fall on one spot, and only
    // the first is kept unless the separation is switched off
    for (int separation : {10, 0}) {
        depth->SetLabelsSeparation(separation);
        chart.DrawNow();
        EXPECT_EQ(depth->AxisLinePos, chart.PlotRect().Right);
        // beside the ticks, or past the bottom axis' last label ("10" and a blank, centred
        // on the plot's corner) that would stand in the front label's row
        const int pastBottomLabel = (2 + 1) * 6 / 2 + 1;
        EXPECT_EQ(depth->LabelsPos, depth->AxisLinePos + std::max(depth->TicksSize(), pastBottomLabel));
        // the title beyond the widest series title, the labels' blank and its own
        EXPECT_EQ(depth->TitlePos, depth->LabelsPos + 8 * 6 + 6 + 6);
        int labels = 0;
        for (const auto& c : chart.Recorder->Calls) {
            if (c.op != "WriteText3D") continue;
            if (c.text.rfind("Series ", 0) == 0) {
                ++labels;
                EXPECT_EQ(c.args[0], depth->LabelsPos) << c.text;
            }
            if (c.text == "depth") {
                EXPECT_EQ(c.args[0], depth->TitlePos);
            }
        }
        EXPECT_EQ(labels, separation ? 1 : 3);
    }
}

TEST(AxisPlacement, PositionsOfHiddenOrShiftedTextsAreFreshAtEveryDraw) {
    AxisChart chart;
    TChartAxis* left = chart.LeftAxis();
    left->SetPositionPercent(10);
    chart.DrawNow();
    const int title = left->TitlePos, labels = left->LabelsPos;
    chart.DrawNow();
    chart.DrawNow();
    EXPECT_EQ(left->TitlePos, title);
    EXPECT_EQ(left->LabelsPos, labels);
    // without a title, its place is the outer edge of the labels' column
    EXPECT_EQ(labels - title, 3 * 6);

    // Hidden labels: the axis spans its line and ticks only, and a click in the plot is no axis click.
    AxisChart hidden;
    TChartAxis* bottom = hidden.BottomAxis();
    bottom->SetLabels(false);
    int axisClicks = 0;
    hidden.OnClickAxis = [&](TCustomChart*, TChartAxis*, TMouseButton, TShiftState, int, int) { ++axisClicks; };
    hidden.DrawNow();
    const TRect plot = hidden.PlotRect();
    EXPECT_EQ(bottom->LabelsPos, plot.Bottom + bottom->TicksSize());
    const int cx = (plot.Left + plot.Right) / 2, cy = (plot.Top + plot.Bottom) / 2;
    EXPECT_FALSE(bottom->AxisClicked(cx, cy));
    hidden.MouseDown(mbLeft, 0, cx, cy);
    hidden.MouseUp(mbLeft, 0, cx, cy);
    EXPECT_EQ(axisClicks, 0);
    EXPECT_TRUE(bottom->AxisClicked(cx, plot.Bottom + 2));
    hidden.MouseDown(mbLeft, 0, cx, plot.Bottom + 2);
    hidden.MouseUp(mbLeft, 0, cx, plot.Bottom + 2);
    EXPECT_EQ(axisClicks, 1);
}

TEST(AxisPlacement, EveryLineAndASlantedTitleStayInTheirRoom) {
    AxisChart chart;
    TChartAxis* bottom = chart.BottomAxis();
    bottom->SetLabelStyle(talText);
    auto* s = new TChartSeries(nullptr);
    s->AddPoint(2, 1, std::string("two") + LineSeparator + "lines");
    s->AddPoint(8, 1, "one");
    s->SetParentChart(&chart);
    bottom->Title().SetCaption("time");
    chart.DrawNow();
    // two lines of 12 pixels between the labels and the title
    EXPECT_EQ(bottom->TitlePos - bottom->LabelsPos, 2 * 12);
    for (const auto& t : chart.Texts()) {
        if (t.text == "lines") {
            EXPECT_EQ(t.y, bottom->LabelsPos + 12);
        }
        if (t.text == "time") {
            EXPECT_EQ(t.y, bottom->TitlePos);
        }
    }

    // A title at -30 degrees: its turned box lies left of its edge, clear of the labels.
    TChartAxis* left = chart.LeftAxis();
    left->Title().SetCaption("volts");
    left->Title().SetAngle(-30);
    chart.DrawNow();
    const AxisChart::Text* title = nullptr;
    const std::vector<AxisChart::Text> texts = chart.Texts();
    for (const auto& t : texts)
        if (t.text == "volts") title = &t;
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->align, TA_LEFT);
    const double a = -30 * std::acos(-1.0) / 180, w = 5 * 6, h = 12;
    double lo = 1e9, hi = -1e9;
    for (const auto& [px, py] : {std::pair{0.0, 0.0}, {w, 0.0}, {0.0, h}, {w, h}}) {
        const double x = title->x + px * std::cos(a) + py * std::sin(a);
        lo = std::min(lo, x);
        hi = std::max(hi, x);
    }
    EXPECT_LE(hi, left->TitlePos + 0.5);
    EXPECT_GE(lo, left->TitlePos - (hi - lo) - 1.5);
    EXPECT_GE(lo, chart.PanelRect().Left);
    EXPECT_LT(left->TitlePos, left->LabelsPos);
}

}  // namespace
