#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Chart.h"
#include "ChartLegend.h"
#include "ChartSeries.h"
#include "RecordingChart.h"

namespace {

class LegendChart : public RecordingChart {
public:
    LegendChart() {
        SetView3D(false);
        OnBeforeDrawChart = [this](TObject*) { BeforeLegend = PlotRect(); };
    }
    void CalcWallsRect() override {
        AfterLegend = PlotRect();
        RecordingChart::CalcWallsRect();
    }
    TChartSeries* AddSeries(int points, const std::string& label = "Item", bool active = true) {
        auto* s = new TChartSeries(nullptr);
        for (int i = 0; i < points; ++i) s->AddPoint(i, i, label);
        s->SetParentChart(this);
        s->SetActive(active);
        return s;
    }
    TRect BeforeLegend{};
    TRect AfterLegend{};
};

TEST(LegendStyle, AutoFollowsActiveSeries) {
    LegendChart chart;
    TChartLegend& legend = chart.Legend();
    EXPECT_FALSE(legend.ShowsSomething()) << "nothing active, no check boxes";
    TChartSeries* a = chart.AddSeries(5);
    EXPECT_EQ(legend.ResolvedStyle(), lsValues);
    EXPECT_EQ(legend.ItemCount(), 5);
    TChartSeries* b = chart.AddSeries(3);
    EXPECT_EQ(legend.ResolvedStyle(), lsSeries);
    EXPECT_EQ(legend.ItemCount(), 2);
    b->SetShowInLegend(false);
    EXPECT_EQ(legend.ItemCount(), 1);
    b->SetShowInLegend(true);

    legend.SetFirstValue(1);
    EXPECT_EQ(legend.ItemCount(), 1);
    legend.SetFirstValue(5);
    EXPECT_EQ(legend.ItemCount(), 0) << "never below 0";
    EXPECT_EQ(ExceptionText([&] { legend.SetFirstValue(-1); }), "First Legend Value must be > 0");
    EXPECT_EQ(legend.FirstValue(), 5);
    legend.SetFirstValue(0);

    // Check boxes list every series, active or not.
    b->SetActive(false);
    EXPECT_EQ(legend.ResolvedStyle(), lsValues);
    legend.SetCheckBoxes(true);
    EXPECT_EQ(legend.ResolvedStyle(), lsSeries);
    EXPECT_EQ(legend.ItemCount(), 2);
    EXPECT_GE(legend.ItemHeight(), 17);
    a->SetActive(false);
    EXPECT_TRUE(legend.ShowsSomething());

    // Setting a style resolves it at once.
    legend.SetCheckBoxes(false);
    a->SetActive(true);
    legend.SetLegendStyle(lsAuto);
    EXPECT_EQ(legend.LegendStyle(), lsValues);
}

TEST(LegendLayout, RowsAndColumns) {
    struct Case {
        const char* what;
        TLegendAlignment align;
        int vertSpacing, symbolPixels;
        int rows, columns, last;
    } cases[] = {
        // a right legend with room for 10 rows lists 10 items and ignores MaxNumRows
        {"right", laRight, 9, 0, 10, 1, 9},
        // a bottom legend with room for 4 columns: ceil(25 / 4) rows, every item
        {"bottom", laBottom, 0, 47, 7, 4, 24},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LegendChart chart;
        chart.AddSeries(25);
        TChartLegend& legend = chart.Legend();
        legend.SetTextStyle(ltsPlain);
        legend.SetAlignment(c.align);
        legend.SetVertSpacing(c.vertSpacing);
        legend.SetMaxNumRows(c.align == laRight ? 3 : 10);
        if (c.symbolPixels) {
            legend.Symbol().SetWidthUnits(lcsPixels);
            legend.Symbol().SetWidth(c.symbolPixels);
        }
        chart.DrawNow();
        EXPECT_EQ(legend.Rows(), c.rows);
        EXPECT_EQ(legend.Columns(), c.columns);
        EXPECT_EQ(legend.LastValue(), c.last);
        EXPECT_EQ(legend.Texts().size(), static_cast<std::size_t>(c.last + 1));
        int items = 0;
        for (const auto& call : chart.Recorder->Calls) items += call.op == "WriteText" && call.text == "Item";
        EXPECT_EQ(items, c.last + 1);
    }
}

TEST(LegendLayout, RowLimitCutsABottomLegend) {
    LegendChart chart;
    chart.AddSeries(25);
    TChartLegend& legend = chart.Legend();
    legend.SetAlignment(laBottom);
    legend.SetMaxNumRows(3);
    legend.SetInverted(true);
    legend.Symbol().SetWidthUnits(lcsPixels);
    legend.Symbol().SetWidth(54);
    chart.OnGetLegendText = [](TCustomChart*, TLegendStyle, int index, std::string& text) {
        text = "#" + std::to_string(index);
    };
    chart.DrawNow();
    // "#24" is the widest text, so 3 characters set the column: 4 columns of 91 pixels
    EXPECT_EQ(legend.TextWidth(), 2 * 6 - 1 + 18);
    EXPECT_EQ(legend.Columns(), 4);
    EXPECT_EQ(legend.Rows(), 3);
    EXPECT_EQ(legend.LastValue(), 11);
    std::vector<std::string> written;
    for (const auto& c : chart.Recorder->Calls)
        if (c.op == "WriteText") written.push_back(c.text);
    ASSERT_EQ(written.size(), 12u);
    EXPECT_EQ(written.front(), "#11") << "inverted: the last listed value first";
    EXPECT_EQ(written.back(), "#0");
}

// A top or bottom legend lists only the rows that fit in the plot's height, as a side
// legend does: more would run past the panel's edge and push the plot out of it.
TEST(LegendLayout, TopAndBottomLegendsKeepToThePlotsHeight) {
    for (TLegendAlignment align : {laTop, laBottom}) {
        SCOPED_TRACE(align == laTop ? "top" : "bottom");
        LegendChart chart;
        chart.AddSeries(25);
        TChartLegend& legend = chart.Legend();
        legend.SetAlignment(align);
        legend.SetVertSpacing(50);  // rows of 62 pixels: the 5 rows of 5 columns would need 312 of 228
        chart.DrawNow();
        EXPECT_EQ(legend.Rows(), 3);
        const TRect r = legend.ShapeBounds();
        EXPECT_GE(r.Top, chart.BeforeLegend.Top);
        EXPECT_LE(r.Bottom, chart.BeforeLegend.Bottom);
        EXPECT_GT(chart.AfterLegend.Height(), 0);

        // no room for one row: no legend, and the plot keeps its room
        legend.SetVertSpacing(300);
        chart.DrawNow();
        EXPECT_EQ(legend.Rows(), 0);
        EXPECT_EQ(chart.AfterLegend, chart.BeforeLegend);
    }
}

// In 3D the series stand in the depth that rises from the plot's top: a top or bottom
// legend lists only the rows that leave the plot that much and more, so that no series
// is drawn over its items.
TEST(LegendLayout, TopAndBottomLegendsLeaveThe3DDepth) {
    for (TLegendAlignment align : {laTop, laBottom}) {
        for (int series : {30, 6}) {
            SCOPED_TRACE(std::string(align == laTop ? "top " : "bottom ") + std::to_string(series));
            LegendChart chart;
            chart.SetSize(400, 160);
            chart.SetView3D(true);
            chart.SetChart3DPercent(15);
            for (int i = 0; i < series; ++i) chart.AddSeries(3, "Series " + std::to_string(i));
            TChartLegend& legend = chart.Legend();
            legend.SetAlignment(align);
            legend.SetLegendStyle(lsSeries);
            chart.DrawNow();
            const TRect plot = chart.PlotRect(), box = legend.ShapeBounds();
            EXPECT_TRUE(series == 30 || plot.Height() > 1);
            // the depth stands above the plot's top, the front at its bottom
            const int depthTop = plot.Top - chart.ChartHeight3D();
            const bool shown = legend.Rows() > 0;
            EXPECT_TRUE(!shown || (align == laTop ? box.Bottom <= depthTop : box.Top >= plot.Bottom))
                << box.Top << "-" << box.Bottom << " beside " << depthTop << "-" << plot.Bottom;
            // a few series leave room for the legend, which then lists every one
            EXPECT_TRUE(series != 6 || legend.Rows() * legend.Columns() >= 6);
        }
    }
}

TEST(LegendLayout, PlacementAndPlotReduction) {
    LegendChart chart;
    chart.AddSeries(3);
    TChartLegend& legend = chart.Legend();
    chart.DrawNow();
    const TRect r = legend.ShapeBounds();
    // the top sits TopPos percent down the panel
    EXPECT_EQ(r.Top, 25);
    EXPECT_EQ(r.Bottom - r.Top, 3 * 12 + 2);
    // the right edge leaves the legend's shadow and its frame inside the plot
    EXPECT_EQ(r.Right, 387 - 3 - 2);
    // the plot gives way to the legend plus 3 % of the plot's width before the legend's cut
    EXPECT_EQ(chart.BeforeLegend.Width(), 387 - 13);
    EXPECT_EQ(chart.AfterLegend.Right, r.Left - 3 * 374 / 100);
    EXPECT_NE(3 * 374 / 100, 3 * (r.Left - 13) / 100) << "the two readings must differ here";

    legend.SetTopPos(0);
    chart.DrawNow();
    EXPECT_EQ(legend.ShapeBounds().Top, 0);

    // A custom position draws after the series, keeps the plot's side but still applies the margin.
    legend.SetLeft(20);
    legend.SetTop(30);
    TRect beforeSeries{};
    chart.OnBeforeDrawSeries = [&](TObject*) { beforeSeries = chart.PlotRect(); };
    chart.DrawNow();
    EXPECT_EQ(chart.AfterLegend.Right, 387);
    EXPECT_EQ(chart.PlotRect().Right, beforeSeries.Right - 3 * beforeSeries.Width() / 100);
    EXPECT_EQ(legend.ShapeBounds().Top, 30);
    EXPECT_EQ(legend.ShapeBounds().Left, 20);

    // Nothing to list: nothing drawn, the plot as the titles left it.
    LegendChart empty;
    empty.DrawNow();
    EXPECT_EQ(empty.AfterLegend, empty.BeforeLegend);
    empty.Legend().SetVisible(false);
    empty.AddSeries(2);
    empty.DrawNow();
    EXPECT_EQ(empty.AfterLegend, empty.BeforeLegend);
}

TEST(LegendItems, TextsColumnsAndSymbols) {
    LegendChart chart;
    chart.AddSeries(3);
    chart.Legend().SetTextStyle(ltsPlain);
    chart.OnGetLegendText = [](TCustomChart*, TLegendStyle, int index, std::string& text) {
        if (index == 1) text = std::string("A") + LegendColumnSeparator + "B" + LegendColumnSeparator + "C";
    };
    TChartLegend& legend = chart.Legend();
    chart.DrawNow();
    ASSERT_EQ(legend.Texts().size(), 3u);
    EXPECT_EQ(legend.Texts()[1], (std::array<std::string, 2>{"A", "B"}));
    EXPECT_EQ(legend.Texts()[0], (std::array<std::string, 2>{"Item", ""}));

    legend.Symbol().SetSquared(true);
    legend.Symbol().SetWidth(80);
    chart.DrawNow();
    EXPECT_EQ(legend.SymbolWidth(), 12 - 5);
    legend.Symbol().SetVisible(false);
    chart.DrawNow();
    EXPECT_EQ(legend.SymbolWidth(), 0);

    // Inverted: the last value first.
    legend.SetInverted(true);
    chart.OnGetLegendText = [](TCustomChart*, TLegendStyle, int index, std::string& text) {
        text = std::to_string(index);
    };
    chart.DrawNow();
    std::vector<std::string> written;
    for (const auto& c : chart.Recorder->Calls)
        if (c.op == "WriteText") written.push_back(c.text);
    EXPECT_EQ(written, (std::vector<std::string>{"2", "1", "0"}));
}

TEST(LegendClicks, ItemsAndCheckBoxes) {
    LegendChart chart;
    TChartSeries* a = chart.AddSeries(2);
    TChartSeries* b = chart.AddSeries(2);
    TChartLegend& legend = chart.Legend();
    legend.SetCheckBoxes(true);
    chart.DrawNow();
    const TRect r = legend.ShapeBounds();
    const int h = legend.ItemHeight();
    EXPECT_EQ(legend.Clicked(r.Left + 5, r.Top + 2), 0);
    EXPECT_EQ(legend.Clicked(r.Left + 5, r.Top + h + 3), 1);
    EXPECT_EQ(legend.Clicked(r.Left - 1, r.Top + 2), -1);
    EXPECT_EQ(legend.Clicked(r.Left + 5, r.Bottom), -1);
    legend.SetInverted(true);
    EXPECT_EQ(legend.Clicked(r.Left + 5, r.Top + 2), 1);
    legend.SetInverted(false);

    EXPECT_TRUE(legend.ToggleCheckBoxAt(r.Left + 5, r.Top + h + 3));
    EXPECT_FALSE(b->Active());
    EXPECT_TRUE(a->Active());
    EXPECT_FALSE(legend.ToggleCheckBoxAt(r.Right + 5, r.Top + 2));
    legend.SetCheckBoxes(false);
    EXPECT_FALSE(legend.ToggleCheckBoxAt(r.Left + 5, r.Top + 2));
}

TEST(FramedShape, ShadowFillOutlineBevelAndTransparency) {
    LegendChart chart;
    RecordingCanvas& rec = *chart.Recorder;
    TPlotShape shape(&chart);
    const TRect box{10, 20, 110, 70};

    shape.SetColor(clYellow);
    shape.DrawShape(rec, box);
    ASSERT_EQ(rec.Count("DrawRectangle"), 2);
    const RecordedCall* shadow = rec.Find("DrawRectangle", 0);
    const RecordedCall* body = rec.Find("DrawRectangle", 1);
    // the shadow is moved by its size plus the pen width, drawn without a pen
    EXPECT_EQ(shadow->args, (std::vector<long long>{14, 24, 114, 74}));
    EXPECT_EQ(shadow->penStyle, psClear);
    EXPECT_EQ(shadow->brushColor, clBlack);
    EXPECT_EQ(body->args, (std::vector<long long>{10, 20, 110, 70}));
    EXPECT_EQ(body->brushColor, clYellow);

    rec.Clear();
    shape.SetShapeStyle(fosRoundRectangle);
    shape.SetBevel(bvRaised);
    shape.SetTransparency(40);
    shape.Shadow().SetShadowExtent(0);
    rec.Clear();
    shape.DrawShape(rec, box);
    EXPECT_EQ(rec.Ops(), (std::vector<std::string>{"BeginTransparency", "DrawRoundRectangle", "DrawBevelFrame",
                                                   "EndTransparency"}));
    EXPECT_EQ(rec.Find("DrawRoundRectangle")->args, (std::vector<long long>{10, 20, 110, 70, 16, 16}));

    rec.Clear();
    shape.Gradient().SetVisible(true);
    shape.DrawShape(rec, box);
    const RecordedCall* outline = rec.Find("DrawRoundRectangle");
    ASSERT_NE(outline, nullptr);
    EXPECT_EQ(outline->brushStyle, bsClear) << "the gradient replaces the brush";

    shape.SetTransparent(true);
    rec.Clear();
    shape.DrawShape(rec, box);
    EXPECT_TRUE(rec.Calls.empty()) << "a transparent shape draws no frame, fill, shadow or bevel";

    // Changes repaint the owner only when the value changes.
    const int before = chart.InvalidateCount();
    shape.SetColor(clYellow);
    EXPECT_EQ(chart.InvalidateCount(), before);
    shape.Pen().SetWidth(3);
    shape.Font().SetSize(20);
    EXPECT_EQ(chart.InvalidateCount(), before + 2);

    // Assign copies the shape settings.
    TPlotShape copy(&chart);
    copy.Assign(&shape);
    EXPECT_TRUE(copy.Transparent());
    EXPECT_EQ(copy.ShapeStyle(), fosRoundRectangle);
    EXPECT_EQ(copy.Pen().Width(), 3);
    EXPECT_TRUE(copy.Gradient().Visible());
    shape.SetGradient(nullptr);
    EXPECT_EQ(shape.GradientIfAny(), nullptr);
}

}  // namespace
