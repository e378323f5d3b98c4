#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "Chart.h"
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
        const int shift =
            static_cast<int>(std::lround(6.0 * static_cast<double>(t.text.size()) * std::sin(std::acos(-1.0) / 4)));
        EXPECT_EQ(t.x, bottom->ValueToPixel(std::stod(t.text)) - shift) << t.text;
    }
    EXPECT_EQ(rotated, 3);
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

// The recorded call index of the first op with the given text, or -1.
int IndexOfText(const RecordingCanvas& r, const std::string& text) {
    for (std::size_t i = 0; i < r.Calls.size(); ++i)
        if (r.Calls[i].text == text) return static_cast<int>(i);
    return -1;
}

// The last rectangle drawn before call index end, or nullptr.
const RecordedCall* RectangleBefore(const RecordingCanvas& r, int end) {
    const RecordedCall* found = nullptr;
    for (int i = 0; i < end; ++i)
        if (r.Calls[static_cast<std::size_t>(i)].op == "DrawRectangle") found = &r.Calls[static_cast<std::size_t>(i)];
    return found;
}

TEST(AxisFramedTexts, LabelsTitleAndItemsDrawTheirBoxBeforeTheText) {
    AxisChart chart;
    TChartAxis* bottom = chart.BottomAxis();
    TChartAxis* left = chart.LeftAxis();
    // transparent when created: nothing but text, as before any frame is asked for
    EXPECT_TRUE(bottom->Title().Transparent());
    EXPECT_TRUE(bottom->Items().Format().Transparent());
    bottom->Title().SetCaption("time");
    chart.DrawNow();
    const int panel = chart.Recorder->Count("DrawRectangle");
    ASSERT_GE(IndexOfText(*chart.Recorder, "time"), 0);
    EXPECT_EQ(RectangleBefore(*chart.Recorder, IndexOfText(*chart.Recorder, "time")),
              RectangleBefore(*chart.Recorder, IndexOfText(*chart.Recorder, "0")));

    // the labels' Format shape frames every value label: text centred, one line
    // of 12 pixels, widened by half a "W" (3 pixels) on both sides
    bottom->Items().Format().SetTransparent(false);
    bottom->Items().Format().SetColor(clYellow);
    bottom->Items().Format().Shadow().SetHorizSize(0);
    bottom->Items().Format().Shadow().SetVertSize(0);
    chart.DrawNow();
    const int at5 = IndexOfText(*chart.Recorder, "5");
    ASSERT_GE(at5, 0);
    const RecordedCall* box = RectangleBefore(*chart.Recorder, at5);
    ASSERT_NE(box, nullptr);
    const long long x5 = bottom->ValueToPixel(5), y = bottom->LabelsPos;
    EXPECT_EQ(box->args, (std::vector<long long>{x5 - 6, y, x5 + 6, y + 12}));
    EXPECT_EQ(box->brushColor, clYellow);
    EXPECT_EQ(chart.Recorder->Count("DrawRectangle"), panel + 3);  // one per label, none for the title

    // the title frames itself, as the labels' Format shape does not
    bottom->Items().Format().SetTransparent(true);
    bottom->Title().SetTransparent(false);
    bottom->Title().Shadow().SetHorizSize(0);
    bottom->Title().Shadow().SetVertSize(0);
    chart.DrawNow();
    EXPECT_EQ(chart.Recorder->Count("DrawRectangle"), panel + 1);
    box = RectangleBefore(*chart.Recorder, IndexOfText(*chart.Recorder, "time"));
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->args[2] - box->args[0], 4 * 6 + 6);

    // a custom item draws with its own frame and font, and not at all when hidden
    bottom->Title().SetTransparent(true);
    TAxisItem* a = bottom->Items().Add(2, "a");
    TAxisItem* b = bottom->Items().Add(8, "b");
    a->SetTransparent(false);
    a->Shadow().SetVertSize(0);
    a->Shadow().SetHorizSize(0);
    a->Font().SetColor(clRed);
    b->SetVisible(false);
    bottom->SetTickOnLabelsOnly(false);
    left->SetLabels(false);
    chart.DrawNow();
    const int atA = IndexOfText(*chart.Recorder, "a");
    ASSERT_GE(atA, 0);
    EXPECT_EQ(chart.Recorder->Calls[static_cast<std::size_t>(atA)].fontColor, clRed);
    EXPECT_EQ(IndexOfText(*chart.Recorder, "b"), -1);
    EXPECT_EQ(chart.Recorder->Count("DrawRectangle"), panel + 1);
    // the hidden item still places its tick
    EXPECT_NE(std::find(bottom->TickPositions.begin(), bottom->TickPositions.end(), bottom->ValueToPixel(8)),
              bottom->TickPositions.end());
}

TEST(AxisFramedTexts, ARotatedTitleHasItsBoxTurnedAroundTheText) {
    AxisChart chart;
    TChartAxis* left = chart.LeftAxis();
    left->Title().SetCaption("volts");  // 90 degrees: read upward, centred on the axis
    left->Title().SetTransparent(false);
    chart.DrawNow();
    const int at = IndexOfText(*chart.Recorder, "volts");
    ASSERT_GE(at, 0);
    const RecordedCall& text = chart.Recorder->Calls[static_cast<std::size_t>(at)];
    ASSERT_EQ(text.op, "WriteRotatedText3D");
    const RecordedCall* polygon = nullptr;
    for (int i = 0; i < at; ++i)
        if (chart.Recorder->Calls[static_cast<std::size_t>(i)].op == "DrawPolygon")
            polygon = &chart.Recorder->Calls[static_cast<std::size_t>(i)];
    ASSERT_NE(polygon, nullptr);
    long long minX = 1 << 30, maxX = -(1 << 30), minY = 1 << 30, maxY = -(1 << 30);
    for (std::size_t i = 0; i + 1 < polygon->args.size(); i += 2) {
        minX = std::min(minX, polygon->args[i]);
        maxX = std::max(maxX, polygon->args[i]);
        minY = std::min(minY, polygon->args[i + 1]);
        maxY = std::max(maxY, polygon->args[i + 1]);
    }
    // bottom-aligned text turned by 90 degrees lies left of its point, one line
    // high, and runs up and down from the axis centre by half its width plus 3
    EXPECT_EQ(maxX, text.args[0]);
    EXPECT_EQ(minX, text.args[0] - 12);
    EXPECT_EQ(minY, left->CenterPixel() - 15 - 3);
    EXPECT_EQ(maxY, left->CenterPixel() + 15 + 3);
}

TEST(AxisFramedTexts, FormatIsTheLabelsVisibilityAndFontAndCopiesWithTheAxis) {
    AxisChart chart;
    TChartAxis* bottom = chart.BottomAxis();
    bottom->Items().Format().SetVisible(false);
    EXPECT_FALSE(bottom->Labels());
    bottom->SetLabels(true);
    EXPECT_TRUE(bottom->Items().Format().Visible());
    bottom->LabelsFont().SetSize(17);
    EXPECT_EQ(bottom->Items().Format().Font().Size(), 17);

    bottom->Items().Format().SetTransparent(false);
    bottom->Title().SetTransparent(false);
    bottom->Title().SetColor(clAqua);
    bottom->Title().SetCaption("c");
    TChartAxis* top = chart.TopAxis();
    top->Assign(bottom);
    EXPECT_FALSE(top->Items().Format().Transparent());
    EXPECT_EQ(top->Items().Format().Font().Size(), 17);
    EXPECT_FALSE(top->Title().Transparent());
    EXPECT_EQ(top->Title().Color(), clAqua);
    EXPECT_EQ(top->Title().Caption(), "c");
}

}  // namespace

namespace {

TEST(AxisFramedTexts, CustomItemsTakeRoomByTheirOwnFont) {
    EnsureGuiApplication();
    TChart chart;
    chart.SetView3D(false);
    TChartAxis* left = chart.LeftAxis();
    left->SetAutomatic(false);
    left->SetAxisRange(0, 10);
    left->Items().Add(5, "level");
    RenderToBitmap(chart, 300, 200);
    const int narrow = left->MaxLabelWidth();
    const int plotLeft = chart.PlotRect().Left;
    ASSERT_GT(narrow, 0);
    left->Items()[0]->Font().SetSize(30);
    RenderToBitmap(chart, 300, 200);
    EXPECT_GT(left->MaxLabelWidth(), 2 * narrow);
    EXPECT_GT(chart.PlotRect().Left, plotLeft + narrow);
}

}  // namespace
