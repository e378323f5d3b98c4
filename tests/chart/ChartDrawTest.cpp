#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "Chart.h"
#include "ChartAxis.h"
#include "ChartSeries.h"
#include "RecordingChart.h"

namespace {

// A chart that remembers the plot rectangle at the steps the checks look at.
class ProbeChart : public RecordingChart {
public:
    ProbeChart() {
        OnBeforeDrawChart = [this](TObject*) { BeforeTitles = PlotRect(); };
    }
    void CalcWallsRect() override {
        AfterTitles = PlotRect();
        RecordingChart::CalcWallsRect();
    }
    std::vector<const RecordedCall*> Texts() const {
        std::vector<const RecordedCall*> out;
        for (const auto& c : Recorder->Calls)
            if (c.op == "WriteText" || c.op == "WriteText3D" || c.op == "WriteRotatedText3D") out.push_back(&c);
        return out;
    }
    TRect BeforeTitles{};
    TRect AfterTitles{};
};

TEST(PlotRect, DefaultChartAndNarrowPanels) {
    ProbeChart chart;
    chart.DrawNow();
    EXPECT_EQ(chart.PanelRect(), (TRect{0, 0, 400, 250}));
    // 3 % of 400 = 12 and 4 % of 250 = 10, plus the one-pixel raised bevel
    EXPECT_EQ(chart.BeforeTitles, (TRect{13, 11, 387, 239}));

    struct Case {
        int width, margin;
        const char* what;
    } cases[] = {{20, 15, "inverted"}, {32, 15, "empty"}, {2, 0, "bevel only"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ProbeChart narrow;
        narrow.SetSize(c.width, 250);
        narrow.SetMarginUnits(muPixels);
        narrow.SetMarginLeft(c.margin);
        narrow.SetMarginRight(c.margin);
        narrow.DrawNow();
        const TRect& r = narrow.BeforeTitles;
        EXPECT_GE(r.Right - r.Left, 1);
        EXPECT_LE(r.Right - r.Left, narrow.PanelRect().Width());
        EXPECT_LE(r.Right, std::max(narrow.PanelRect().Right, r.Left + 1));
    }
    ProbeChart inverted;
    inverted.SetSize(20, 250);
    inverted.SetMarginUnits(muPixels);
    inverted.SetMarginLeft(15);
    inverted.SetMarginRight(15);
    inverted.DrawNow();
    EXPECT_EQ(inverted.BeforeTitles.Left, 16);
    EXPECT_EQ(inverted.BeforeTitles.Right, 17);

    // A visible border adds its width to the frame.
    ProbeChart bordered;
    bordered.Border().SetVisible(true);
    bordered.Border().SetWidth(3);
    bordered.SetBevelOuter(bvNone);
    bordered.DrawNow();
    EXPECT_EQ(bordered.BeforeTitles, (TRect{15, 13, 385, 237}));
}

TEST(PlotRect, Chart3DPercentRange) {
    TChart chart;
    for (int bad : {0, 101, -5}) {
        EXPECT_EQ(ExceptionText([&] { chart.SetChart3DPercent(bad); }), "3D effect percent must be between 1 and 100");
        EXPECT_EQ(chart.Chart3DPercent(), 15);
    }
    chart.SetChart3DPercent(1);
    EXPECT_EQ(chart.Chart3DPercent(), 1);
    chart.SetChart3DPercent(100);
    EXPECT_EQ(chart.Chart3DPercent(), 100);
}

TEST(Titles, RoomAndLineOrder) {
    ProbeChart chart;
    chart.SetView3D(false);
    chart.Title().SetText({});
    chart.Foot().SetText({});
    chart.DrawNow();
    EXPECT_EQ(chart.AfterTitles, chart.BeforeTitles) << "empty titles take no room";

    chart.Title().SetCaption("Top");
    chart.Foot().SetText({"first", "second"});
    chart.DrawNow();
    // A top title: its pen (width 1) frames a box of one 12-pixel line, then 5 pixels of gap.
    EXPECT_EQ(chart.AfterTitles.Top, 11 + 1 + 12 + 1 + 6);
    // A foot title of two lines rises from the bottom by the same rule.
    EXPECT_EQ(chart.AfterTitles.Bottom, (239 + 1) - 6 - 2 * 12);
    int yFirst = -1, ySecond = -1, yTop = -1;
    for (const RecordedCall* c : chart.Texts()) {
        if (c->text == "first") yFirst = static_cast<int>(c->args[1]);
        if (c->text == "second") ySecond = static_cast<int>(c->args[1]);
        if (c->text == "Top") yTop = static_cast<int>(c->args[1]);
    }
    EXPECT_GT(yFirst, ySecond) << "a foot title's first line is its lowest";
    EXPECT_EQ(yFirst - ySecond, 12);
    EXPECT_EQ(yTop, 11 + 1);

    // Invisible titles and custom-positioned titles leave the plot alone.
    chart.Title().SetVisible(false);
    chart.Foot().SetLeft(5);
    chart.DrawNow();
    EXPECT_EQ(chart.AfterTitles, chart.BeforeTitles);
}

// Logs what the draw sequence calls, in order.
struct Log {
    std::vector<std::string> Events;
    void Add(const std::string& e) { Events.push_back(e); }
};

class LoggingTool : public TPlotCustomTool {
public:
    LoggingTool(Log& log) : TPlotCustomTool(nullptr), FLog(log) {}
    void ChartStageNotify(TChartToolStage stage) override { FLog.Add("tools" + std::to_string(stage)); }

private:
    Log& FLog;
};

class LoggingSeries : public TChartSeries {
public:
    LoggingSeries(Log& log, std::string name) : TChartSeries(nullptr), FLog(log), FName(std::move(name)) {}
    void DrawVisibleValues() override { FLog.Add("draw " + FName); }

private:
    Log& FLog;
    std::string FName;
};

TEST(DrawSequence, OrderOfHooksAndAxes) {
    for (bool behind : {true, false}) {
        SCOPED_TRACE(behind ? "axes behind" : "axes in front");
        Log log;
        ProbeChart chart;
        chart.SetView3D(false);
        chart.SetAxisBehind(behind);
        LoggingTool tool(log);
        tool.SetParentChart(&chart);
        auto* a = new LoggingSeries(log, "a");
        auto* b = new LoggingSeries(log, "b");
        a->AddPoint(0, 1);
        b->AddPoint(1, 2);
        a->SetParentChart(&chart);
        b->SetParentChart(&chart);
        a->BeforeDrawValues = [&](TChartSeries*) { log.Add("before a"); };
        a->AfterDrawValues = [&](TChartSeries*) { log.Add("after a"); };
        chart.OnBeforeDrawChart = [&](TObject*) { log.Add("chart"); };
        chart.OnBeforeDrawAxes = [&](TObject*) { log.Add("axes"); };
        chart.OnBeforeDrawSeries = [&](TObject*) { log.Add("series"); };
        chart.OnAfterDraw = [&](TObject*) { log.Add("after draw"); };
        chart.DrawNow();
        std::vector<std::string> expected = {"tools2", "chart"};
        if (behind) expected.push_back("axes");
        for (const char* e : {"tools1", "series", "before a", "draw a", "after a", "draw b"}) expected.push_back(e);
        if (!behind) expected.push_back("axes");
        for (const char* e : {"tools0", "after draw"}) expected.push_back(e);
        EXPECT_EQ(log.Events, expected);
        tool.SetParentChart(nullptr);
    }
}

TEST(DrawSequence, CanvasOrderAndRepaintRestored) {
    ProbeChart chart;
    chart.SetView3D(false);
    chart.BackWall().SetTransparent(false);
    chart.DrawNow();
    const std::vector<std::string> ops = chart.Recorder->Ops();
    auto at = [&](const std::string& op) {
        return static_cast<int>(std::find(ops.begin(), ops.end(), op) - ops.begin());
    };
    ASSERT_LT(at("BeginDrawing"), static_cast<int>(ops.size()));
    EXPECT_EQ(at("BeginDrawing"), 0);
    // background fill, bevel, back wall, axes, projection, present
    EXPECT_LT(at("FillRectangle"), at("DrawBevelFrame"));
    EXPECT_LT(at("DrawBevelFrame"), at("SetProjectionCenter"));
    EXPECT_LT(at("SetProjectionCenter"), at("DrawRectangle"));
    EXPECT_LT(at("DrawRectangle"), at("DrawHorizontalLine3D"));
    EXPECT_EQ(ops.back(), "PresentBuffer");
    const RecordedCall* wall = chart.Recorder->Find("DrawRectangle");
    ASSERT_NE(wall, nullptr);
    EXPECT_EQ(wall->brushColor, clSilver);
    EXPECT_EQ(wall->args, (std::vector<long long>{chart.PlotRect().Left, chart.PlotRect().Top,
                                                  chart.PlotRect().Right + 1, chart.PlotRect().Bottom + 1}));

    // A hook that throws still leaves AutoRepaint as it was, and the next draw works.
    chart.OnBeforeDrawSeries = [](TObject*) { throw std::runtime_error("hook failed"); };
    EXPECT_THROW(chart.DrawNow(), std::runtime_error);
    EXPECT_TRUE(chart.AutoRepaint());
    const int before = chart.InvalidateCount();
    chart.SetMarginLeft(7);
    EXPECT_EQ(chart.InvalidateCount(), before + 1);
    chart.OnBeforeDrawSeries = nullptr;
    EXPECT_NO_THROW(chart.DrawNow());

    // Property changes made while drawing request no new paint.
    int during = -1;
    chart.OnBeforeDrawSeries = [&](TObject*) {
        const int n = chart.InvalidateCount();
        chart.SetMarginTop(9);
        during = chart.InvalidateCount() - n;
    };
    chart.DrawNow();
    EXPECT_EQ(during, 0);
}

TEST(DrawSequence, SeriesInDepthOrder) {
    Log log;
    ProbeChart chart;
    chart.SetView3D(true);
    chart.DepthAxis()->SetInverted(true);
    auto* a = new LoggingSeries(log, "a");
    auto* b = new LoggingSeries(log, "b");
    a->AddPoint(0, 1);
    b->AddPoint(0, 2);
    a->SetParentChart(&chart);
    b->SetParentChart(&chart);
    chart.DrawNow();
    EXPECT_EQ(log.Events, (std::vector<std::string>{"draw b", "draw a"}));
    EXPECT_GT(chart.ChartDepth3D(), 0);
    EXPECT_EQ(chart.ChartDepth3D(), 2 * chart.SeriesDepth3D());
}

TEST(Paging, PageLimits) {
    TChart chart;
    auto* s = new TChartSeries(nullptr);
    for (int i = 0; i < 25; ++i) s->AddPoint(i, i);
    s->SetParentChart(&chart);
    chart.SetMaxPointsPerPage(10);
    EXPECT_EQ(chart.PageCount(), 3);
    chart.SetPage(7);
    EXPECT_EQ(chart.Page(), 3);
    chart.SetPage(0);
    EXPECT_EQ(chart.Page(), 1);
    EXPECT_EQ(ExceptionText([&] { chart.SetMaxPointsPerPage(-1); }), "MaxPointsPerPage must be >= 0");
    EXPECT_EQ(chart.MaxPointsPerPage(), 10);
}

// ---------------------------------------------------------------------------
// Axis labels: value, text and position of each label drawn on the bottom axis.
struct Label {
    std::string text;
    int pos;
    friend bool operator==(const Label&, const Label&) = default;
};

[[maybe_unused]] std::ostream& operator<<(std::ostream& os, const Label& l) { return os << l.text << "@" << l.pos; }

std::vector<Label> BottomLabels(ProbeChart& chart) {
    std::vector<Label> out;
    const int y = chart.BottomAxis()->LabelsPos;
    for (const RecordedCall* c : chart.Texts())
        if (c->args.size() >= 2 && c->args[1] == y) out.push_back({c->text, static_cast<int>(c->args[0])});
    return out;
}

void FixBottom(ProbeChart& chart, double lo, double hi, double step) {
    chart.SetView3D(false);
    TChartAxis* a = chart.BottomAxis();
    a->SetAutomatic(false);
    a->SetAxisRange(lo, hi);
    a->SetIncrement(step);
    a->SetLabelStyle(talValue);
    chart.LeftAxis()->SetLabels(false);
    chart.TopAxis()->SetVisible(false);
    chart.RightAxis()->SetVisible(false);
}

std::vector<std::string> TextsOf(const std::vector<Label>& labels) {
    std::vector<std::string> out;
    for (const Label& l : labels) out.push_back(l.text);
    return out;
}

TEST(AxisLabels, LinearStepsAndPositions) {
    ProbeChart chart;
    FixBottom(chart, 0, 1.25, 0.25);
    chart.DrawNow();
    TChartAxis* a = chart.BottomAxis();
    const std::vector<Label> labels = BottomLabels(chart);
    EXPECT_EQ(TextsOf(labels), (std::vector<std::string>{"1.25", "1", "0.75", "0.5", "0.25", "0"}));
    ASSERT_EQ(labels.size(), 6u);
    EXPECT_EQ(labels.front().pos, a->EndPixel());
    EXPECT_EQ(labels.back().pos, a->StartPixel());
    for (std::size_t i = 0; i < labels.size(); ++i)
        EXPECT_EQ(labels[i].pos, a->ValueToPixel(1.25 - 0.25 * static_cast<double>(i)));
    // ticks at the labels, grid strictly inside
    EXPECT_EQ(a->TickPositions.size(), 6u);
    EXPECT_EQ(chart.Recorder->Count("DrawVerticalLine"), 4 + 4 * 3 * 0);

    struct Case {
        double lo, hi, step;
        bool round;
        std::vector<std::string> texts;
    } cases[] = {
        {0, 10.7, 2, true, {"10", "8", "6", "4", "2", "0"}},
        {0, 10.7, 2, false, {"10.7", "8.7", "6.7", "4.7", "2.7", "0.7"}},
        {-5, 5, 2.5, true, {"5", "2.5", "0", "-2.5", "-5"}},
        {3, 3, 1, true, {"3"}},
        // 0.3 / 0.1 comes out just below 3: the top label is still the maximum
        {0, 0.3, 0.1, true, {"0.3", "0.2", "0.1", "0"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hi);
        ProbeChart probe;
        FixBottom(probe, c.lo, c.hi, c.step);
        probe.BottomAxis()->SetRoundFirstLabel(c.round);
        probe.DrawNow();
        EXPECT_EQ(TextsOf(BottomLabels(probe)), c.texts);
    }
}

TEST(AxisLabels, NoLabelBeyondTheRangeAtLargeValues) {
    // Far from zero the rounding of the values is many label steps of a fine scale wide.
    for (const double base : {150060.1500028, -150060.1500031, 4.2e9, 12.3456789}) {
        for (const double range : {3e-7, 2.5e-6}) {
            SCOPED_TRACE(std::to_string(base) + " + " + std::to_string(range));
            ProbeChart chart;
            FixBottom(chart, base, base + range, 1e-9);
            chart.BottomAxis()->SetAxisValuesFormat("0.000 000 000");
            std::vector<double> values;
            chart.OnGetAxisLabel = [&](TChartAxis*, TChartSeries*, int, std::string& text) {
                std::string digits;
                for (char c : text)
                    if (c != ' ') digits += c;
                values.push_back(std::stod(digits));
            };
            chart.DrawNow();
            ASSERT_GE(values.size(), 1u);
            for (double v : values) {
                EXPECT_GE(v, base - 1e-9) << std::to_string(v);
                EXPECT_LE(v, base + range + 1e-9) << std::to_string(v);
            }
        }
    }
}

TEST(AxisLabels, BoundedLoops) {
    // Logarithmic 0..1000: the minimum counts as 0.1, labels climb by decades.
    ProbeChart log;
    FixBottom(log, 0, 1000, 0);
    log.BottomAxis()->SetLogarithmic(true);
    log.DrawNow();
    EXPECT_EQ(TextsOf(BottomLabels(log)), (std::vector<std::string>{"0.1", "1", "10", "100", "1,000"}));

    // Between decades the labels climb from the minimum by powers of the base.
    for (const auto& [lo, hi, texts] : {std::tuple{3.0, 5000.0, std::vector<std::string>{"3", "30", "300", "3,000"}},
                                        {2.0, 2000.0, {"2", "20", "200", "2,000"}}}) {
        ProbeChart decades;
        FixBottom(decades, lo, hi, 0);
        decades.BottomAxis()->SetLogarithmic(true);
        decades.DrawNow();
        EXPECT_EQ(TextsOf(BottomLabels(decades)), texts) << lo;
    }

    // A base of 1 or less would never climb: no labels, and no hang.
    for (double base : {1.0, 0.5, 0.0, -10.0}) {
        ProbeChart flat;
        FixBottom(flat, 0, 1000, 0);
        flat.BottomAxis()->SetLogarithmic(true);
        flat.BottomAxis()->SetLogarithmicBase(base);
        flat.DrawNow();
        EXPECT_TRUE(BottomLabels(flat).empty()) << base;
    }

    // An event that never lets go ends after 2001 calls; one that stops at once leaves the value labels.
    ProbeChart events;
    FixBottom(events, 0, 10, 1);
    int calls = 0;
    events.OnGetNextAxisLabel = [&](TChartAxis*, int, double& v, bool& stop) {
        ++calls;
        stop = false;
        v = 5;
    };
    events.DrawNow();
    EXPECT_EQ(calls, 2001);
    events.OnGetNextAxisLabel = [&](TChartAxis*, int, double&, bool&) {};
    events.DrawNow();
    EXPECT_EQ(BottomLabels(events).size(), 11u);
}

TEST(AxisRoom, LabelsTitleAndTicksTakeRoom) {
    ProbeChart chart;
    FixBottom(chart, 0, 10, 1);
    chart.LeftAxis()->SetVisible(false);
    chart.BottomAxis()->Title().SetCaption("Time");
    chart.DrawNow();
    TChartAxis* a = chart.BottomAxis();
    // title line, label line, ticks (axis pen 2 + 1, tick 4)
    EXPECT_EQ(a->TicksSize(), 7);
    EXPECT_EQ(chart.AfterTitles.Bottom - chart.PlotRect().Bottom, 12 + 12 + 7);
    EXPECT_EQ(a->AxisLinePos, chart.PlotRect().Bottom);
    EXPECT_EQ(a->LabelsPos, chart.PlotRect().Bottom + 7);
    EXPECT_EQ(a->TitlePos, chart.PlotRect().Bottom + 19);

    // A custom axis places itself without shrinking the plot.
    ProbeChart custom;
    FixBottom(custom, 0, 10, 1);
    TChartAxis* extra = custom.AddCustomAxis();
    extra->SetHorizontal(true);
    custom.DrawNow();
    const TRect plainPlot = custom.PlotRect();
    EXPECT_EQ(extra->AxisLinePos, plainPlot.Bottom);

    // Texts that need more room than the plot has are left out, the title first; the
    // ticks keep theirs. Drawn where their room would have been, they would stand
    // over the plot.
    ProbeChart tight;
    FixBottom(tight, 0, 10, 1);
    tight.BottomAxis()->Title().SetCaption("Time");
    tight.BottomAxis()->SetTitleSize(1000);
    tight.DrawNow();
    EXPECT_TRUE(tight.BottomAxis()->TitleLeftOut);
    EXPECT_FALSE(tight.BottomAxis()->LabelsLeftOut);
    EXPECT_EQ(tight.AfterTitles.Bottom - tight.PlotRect().Bottom, 12 + 7);
    EXPECT_EQ(tight.Texts().size(), 11u) << "the labels without the title";
    tight.BottomAxis()->SetLabelsSize(1000);
    tight.DrawNow();
    EXPECT_TRUE(tight.BottomAxis()->LabelsLeftOut);
    EXPECT_EQ(tight.AfterTitles.Bottom - tight.PlotRect().Bottom, 7);
    EXPECT_TRUE(tight.Texts().empty());
    EXPECT_EQ(tight.BottomAxis()->TickPositions.size(), 11u) << "the ticks stay";
    // with room again, a later draw shows them
    tight.BottomAxis()->SetLabelsSize(0);
    tight.BottomAxis()->SetTitleSize(0);
    tight.DrawNow();
    EXPECT_FALSE(tight.BottomAxis()->TitleLeftOut || tight.BottomAxis()->LabelsLeftOut);
    EXPECT_EQ(tight.Texts().size(), 12u);
}

}  // namespace
