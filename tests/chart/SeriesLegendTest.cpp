#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "Chart.h"
#include "ChartLegend.h"
#include "ChartSeries.h"
#include "RecordingCanvas.h"

namespace {

struct LegendFixture : ::testing::Test {
    TChart chart;
    RecordingCanvas* canvas = nullptr;
    TChartSeries* s = new TChartSeries(&chart);
    void SetUp() override {
        auto c = std::make_unique<RecordingCanvas>();
        canvas = c.get();
        chart.SetCanvas(std::move(c));
        s->SetParentChart(&chart);
    }
};

TEST_F(LegendFixture, SymbolTakesTheSeriesOrPointColour) {
    s->SetSeriesColor(clGreen);
    s->AddPoint(0, 1, "", clRed);
    s->AddPoint(1, 2);
    s->DrawLegendItem(-1, Rect(1, 2, 11, 12));
    ASSERT_EQ(canvas->Count("DrawRectangle"), 1);
    EXPECT_EQ(canvas->Calls.back().Str(), "DrawRectangle(1,2,11,12)");
    EXPECT_EQ(canvas->Calls.back().brushColor, clGreen);
    canvas->Clear();
    s->DrawLegendItem(0, Rect(1, 2, 11, 12));
    EXPECT_EQ(canvas->Calls.back().brushColor, clRed);

    // null points and colour-each-point series have no symbol of their own
    canvas->Clear();
    s->AddNullPoint(2, 3);
    s->DrawLegendItem(2, Rect(1, 2, 11, 12));
    s->SetColorEachPoint(true);
    s->DrawLegendItem(-1, Rect(1, 2, 11, 12));
    EXPECT_EQ(canvas->Count("DrawRectangle"), 0);
}

TEST_F(LegendFixture, SymbolInTheBackColourIsOutlined) {
    s->SetSeriesColor(chart.BackColor());
    s->DrawLegendItem(-1, Rect(0, 0, 10, 10));
    ASSERT_EQ(canvas->Count("DrawRectangle"), 2);
    EXPECT_EQ(canvas->Calls.back().brushStyle, bsClear);
    EXPECT_EQ(s->Brush()->Style(), bsSolid);
}

TEST(SeriesLegendText, EveryTextStyle) {
    TChartSeries s(nullptr);
    s.SetValueFormat("0.0");
    s.SetPercentFormat("0 %");
    s.AddPoint(1, 30, "a");
    s.AddPoint(2, -10);
    const std::string sep(1, '\x06');
    const std::pair<int, std::string> cases0[] = {
        {ltsPlain, "a"},
        {ltsLeftValue, "30.0" + sep + "a"},
        {ltsRightValue, "a" + sep + "30.0"},
        {ltsLeftPercent, "75 %" + sep + "a"},
        {ltsRightPercent, "a" + sep + "75 %"},
        {ltsXValue, "1.0"},
        {ltsValue, "30.0"},
        {ltsPercent, "75 %"},
        {ltsXAndValue, "1.0" + sep + "30.0"},
        {ltsXAndPercent, "1.0" + sep + "75 %"},
    };
    for (const auto& [style, text] : cases0) EXPECT_EQ(s.LegendItemText(style, 0), text) << style;
    EXPECT_EQ(s.LegendItemText(ltsLeftValue, 1), "-10.0");  // no label, no separator
    EXPECT_EQ(s.LegendItemText(ltsPercent, 1), "-25 %");    // the value keeps its sign
    EXPECT_EQ(s.LegendItemText(ltsValue, 5), "");
}

}  // namespace
