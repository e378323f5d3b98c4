#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "AxisPanel.h"
#include "ChartAxis.h"
#include "ChartSeries.h"
#include "ChartUtils.h"
#include "DateFormat.h"
#include "RecordingChart.h"

namespace {

// A chart whose text measurements are fixed: 6 pixels a character, 10 a line.
class TMeasuredPanel : public TCustomAxisPanel {
public:
    TMeasuredPanel() : TCustomAxisPanel(nullptr) {}
    int TextWidth(const std::string& text) const override { return 6 * static_cast<int>(text.size()); }
    int FontHeight() const override { return 10; }
};

struct AxisFixture : ::testing::Test {
    TMeasuredPanel chart;
    TChartAxis* bottom = chart.BottomAxis();
    TChartAxis* left = chart.LeftAxis();
    TChartSeries* series = new TChartSeries(&chart);
    void SetUp() override {
        chart.SetPlotRect(Rect(100, 50, 1100, 450));
        series->SetParentChart(&chart);
    }
    void Layout() {
        for (int i = 0; i < chart.AxesList().Count(); ++i) {
            chart.AxesList()[i]->AdjustAxisRange();
            chart.AxesList()[i]->CalcAxisPixels();
        }
    }
};

TEST(AxisSteps, NextNiceStepLadder) {
    const std::pair<double, double> cases[] = {
        {0.3, 0.5}, {1, 2}, {2, 5}, {5, 10}, {7, 10}, {20, 50}, {0.05, 0.1}, {1e6, 2e6}, {3e-9, 5e-9},
    };
    for (const auto& [x, next] : cases) EXPECT_NEAR(NextNiceStep(x), next, next * 1e-12) << x;
    // one decade factor per level: the very doubles of 0.1 * (0.1 * 5)
    EXPECT_EQ(NextNiceStep(0.03), 0.1 * (0.1 * 5));
    EXPECT_EQ(NextNiceStep(300), 10 * (10 * 5.0));
    // no endless descent or ascent for values without a decade
    EXPECT_GT(NextNiceStep(0), 0);
    EXPECT_GT(NextNiceStep(-5), 0);
    EXPECT_TRUE(std::isnan(NextNiceStep(std::numeric_limits<double>::quiet_NaN())));
    EXPECT_TRUE(std::isinf(NextNiceStep(std::numeric_limits<double>::infinity())));
    EXPECT_GT(NextNiceStep(std::numeric_limits<double>::denorm_min()), 0);
}

TEST(AxisSteps, DateTimeTable) {
    EXPECT_DOUBLE_EQ(DateTimeStepTable[0], 1.0 / 86400000000.0);
    EXPECT_DOUBLE_EQ(DateTimeStepTable[16], 1.0);
    EXPECT_DOUBLE_EQ(DateTimeStepTable[26], 365.0);
    EXPECT_DOUBLE_EQ(NextDateTimeStep(DateTimeStepTable[2]), DateTimeStepTable[3]);
    EXPECT_DOUBLE_EQ(NextDateTimeStep(1.5), 2.0);
    EXPECT_DOUBLE_EQ(NextDateTimeStep(400), 365.0);
}

TEST_F(AxisFixture, LabelIncrements) {
    bottom->SetAxisRange(0, 1000);
    bottom->SetIncrement(1);
    Layout();
    EXPECT_DOUBLE_EQ(bottom->CalcLabelIncrement(8), 200);  // 1, 2, 5, ... 200
    EXPECT_DOUBLE_EQ(bottom->CalcLabelIncrement(0), 1e-12);
    bottom->SetIncrement(300);
    EXPECT_DOUBLE_EQ(bottom->CalcLabelIncrement(8), 300);
    bottom->SetIncrement(0);
    EXPECT_DOUBLE_EQ(bottom->CalcLabelIncrement(9), 200);  // starts at 1000 / 10
    // label size 30 px with 10 % separation on a 1000 px axis: 30 labels fit
    EXPECT_DOUBLE_EQ(bottom->CalcMaxLabelCount(30), bottom->CalcLabelIncrement(30));
    EXPECT_DOUBLE_EQ(bottom->CalcMaxLabelCount(0), bottom->CalcLabelIncrement(1));
    // "1,000" is the wider end label: 30 px
    EXPECT_EQ(bottom->LabelTextSize(1000), 30);
    EXPECT_DOUBLE_EQ(bottom->CurrentLabelIncrement(), bottom->CalcLabelIncrement(30));

    bottom->SetAxisRange(5, 5);
    bottom->SetIncrement(0);
    Layout();
    EXPECT_GT(bottom->CalcLabelIncrement(5), 0);

    // the widest ranges end instead of looping, with no more labels than fit
    const double widest = std::numeric_limits<double>::max();
    bottom->SetAxisRange(0, widest);
    Layout();
    const double step = bottom->CalcLabelIncrement(10);
    EXPECT_TRUE(std::isfinite(step));
    EXPECT_LE(widest / step, 10);
    EXPECT_GT(widest / step, 5);
    // an unbounded one has a single step across it
    bottom->SetMaximum(std::numeric_limits<double>::infinity());
    Layout();
    EXPECT_EQ(bottom->CalcLabelIncrement(10), std::numeric_limits<double>::infinity());
}

TEST_F(AxisFixture, DateTimeLabelIncrement) {
    series->XValues()->SetDateTime(true);
    series->AddPoint(45000, 1);
    series->AddPoint(45010, 2);
    Layout();
    ASSERT_TRUE(bottom->IsDateTime());
    EXPECT_DOUBLE_EQ(bottom->CalcLabelIncrement(5), 2.0);  // ten days, five labels
    EXPECT_DOUBLE_EQ(bottom->CalcLabelIncrement(0), DateTimeStepTable[0]);
    bottom->SetIncrement(DateTimeStepTable[26]);
    EXPECT_DOUBLE_EQ(bottom->CalcLabelIncrement(5), 365.0);
    bottom->SetIncrement(0);
    bottom->SetAxisRange(45000, 45000 + 4 * 365);
    Layout();
    EXPECT_DOUBLE_EQ(bottom->CalcLabelIncrement(2), 730.0);  // years double
    EXPECT_DOUBLE_EQ(bottom->CalcLabelIncrement(1), 1460.0);
}

TEST_F(AxisFixture, FixedRangesAndFlags) {
    bottom->SetAxisRange(10, 2);
    EXPECT_EQ(bottom->Minimum(), 2);
    EXPECT_EQ(bottom->Maximum(), 10);
    EXPECT_FALSE(bottom->Automatic());
    EXPECT_FALSE(bottom->AutomaticMinimum());
    EXPECT_FALSE(bottom->AutomaticMaximum());
    bottom->SetAxisRange(5, 5);
    EXPECT_EQ(bottom->Maximum(), 5 + 1e-10);

    left->SetMaximum(5);
    EXPECT_EQ(ExceptionText([&] { left->SetMinimum(7); }), "Axis Minimum Value must be <= Maximum");
    EXPECT_EQ(ExceptionText([&] { left->SetMaximum(-1); }), "Axis Maximum Value must be >= Minimum");
    EXPECT_THROW(left->SetMinimum(std::numeric_limits<double>::quiet_NaN()), AxisException);
    EXPECT_EQ(left->Minimum(), 0);
    chart.SetLoading(true);
    left->SetMinimum(7);
    chart.SetLoading(false);
    EXPECT_EQ(left->Minimum(), 7);
    EXPECT_TRUE(left->Automatic());  // the checks never switch the automatic flags

    left->SetAutomatic(false);
    EXPECT_FALSE(left->AutomaticMinimum());
    EXPECT_FALSE(left->AutomaticMaximum());
    left->SetAutomaticMinimum(true);
    EXPECT_FALSE(left->Automatic());
    left->SetAutomaticMaximum(true);
    EXPECT_TRUE(left->Automatic());
    left->SetAutomaticMaximum(false);
    EXPECT_FALSE(left->Automatic());

    EXPECT_EQ(ExceptionText([&] { left->SetIncrement(-1); }), "Axis increment must be >= 0");
    EXPECT_THROW(left->SetIncrement(std::nan("")), AxisException);
    EXPECT_EQ(ExceptionText([&] { left->SetLabelsSeparation(-1); }), "Labels Separation % must be greater than 0");
    left->SetLabelsSeparation(0);
    EXPECT_EQ(left->LabelsSeparation(), 0);
    left->SetLabelsAngle(-90);
    EXPECT_EQ(left->LabelsAngle(), -90);  // the remainder keeps the sign
    EXPECT_EQ(left->Title().Angle(), 90);
    EXPECT_EQ(chart.RightAxis()->Title().Angle(), 270);
}

TEST_F(AxisFixture, AutomaticRangeFromSeries) {
    series->SetActive(false);
    Layout();
    EXPECT_EQ(bottom->Minimum(), 0);
    EXPECT_EQ(bottom->Maximum(), 0);
    EXPECT_EQ(bottom->ValueToPixel(123), bottom->CenterPixel());
    EXPECT_EQ(bottom->CalcLabelStyle(), talNone);
    series->SetActive(true);
    EXPECT_EQ(bottom->CalcLabelStyle(), talValue);

    series->AddPoint(-2, 10);
    series->AddPoint(8, 30);
    series->AddPoint(3, std::numeric_limits<double>::infinity());
    Layout();
    EXPECT_EQ(bottom->Minimum(), -2);
    EXPECT_EQ(bottom->Maximum(), 8);
    EXPECT_EQ(left->Minimum(), 10);
    EXPECT_EQ(left->Maximum(), 30);
    EXPECT_EQ(bottom->CalcLabelStyle(), talValue);
    EXPECT_EQ(chart.RightAxis()->CalcLabelStyle(), talNone);

    // inactive series count only when no active one uses the axis
    auto* other = new TChartSeries(&chart);
    other->SetParentChart(&chart);
    other->AddPoint(100, 100);
    other->SetActive(false);
    Layout();
    EXPECT_EQ(bottom->Maximum(), 8);
    series->SetActive(false);
    Layout();
    EXPECT_EQ(bottom->Maximum(), 100);
}

TEST_F(AxisFixture, PixelMappingBothWays) {
    bottom->SetAxisRange(0, 100);
    left->SetAxisRange(0, 40);
    Layout();
    EXPECT_EQ(bottom->StartPixel(), 100);
    EXPECT_EQ(bottom->EndPixel(), 1100);
    EXPECT_EQ(bottom->ValueToPixel(0), 100);
    EXPECT_EQ(bottom->ValueToPixel(50), 600);
    EXPECT_EQ(bottom->ValueToPixel(0.05), 100);  // 0.5 px: ties go to even
    EXPECT_EQ(bottom->ValueToPixel(0.15), 102);  // 1.5 px
    EXPECT_EQ(left->ValueToPixel(0), 450);
    EXPECT_EQ(left->ValueToPixel(40), 50);
    EXPECT_DOUBLE_EQ(bottom->PixelToValue(600), 50);
    EXPECT_DOUBLE_EQ(left->PixelToValue(50), 40);
    EXPECT_DOUBLE_EQ(left->PixelToValue(450), 0);

    bottom->SetInverted(true);
    left->SetInverted(true);
    Layout();
    EXPECT_EQ(bottom->ValueToPixel(0), 1100);
    EXPECT_DOUBLE_EQ(bottom->PixelToValue(1100), 0);
    EXPECT_EQ(left->ValueToPixel(0), 50);
    EXPECT_DOUBLE_EQ(left->PixelToValue(50), 0);
    EXPECT_DOUBLE_EQ(left->PixelToValue(450), 40);
    bottom->SetInverted(false);
    left->SetInverted(false);
    Layout();

    // far, infinite and missing values never overflow
    EXPECT_EQ(bottom->ValueToPixel(1e12), PositionLimit);
    EXPECT_EQ(PositionLimit, 67108863);
    EXPECT_EQ(bottom->ValueToPixel(-1e12), -PositionLimit);
    EXPECT_EQ(bottom->ValueToPixel(std::numeric_limits<double>::infinity()), PositionLimit);
    EXPECT_EQ(left->ValueToPixel(-std::numeric_limits<double>::infinity()), PositionLimit);
    EXPECT_EQ(bottom->ValueToPixel(std::nan("")), bottom->CenterPixel());
    chart.AxesList().UnclampedPositions = true;
    EXPECT_EQ(bottom->ValueToPixel(50), 600);
    EXPECT_GT(bottom->ValueToPixel(1e300), PositionLimit);
    EXPECT_EQ(bottom->ValueToPixel(std::nan("")), bottom->CenterPixel());
    chart.AxesList().UnclampedPositions = false;

    chart.SetPlotRect(Rect(0, 0, 0, 0));
    Layout();
    EXPECT_EQ(bottom->PixelToValue(10), 0);
}

TEST_F(AxisFixture, LogarithmicMapping) {
    series->AddPoint(1, 1);
    series->AddPoint(1000, 1);
    bottom->SetLogarithmic(true);
    Layout();
    EXPECT_EQ(bottom->ValueToPixel(1), 100);
    EXPECT_EQ(bottom->ValueToPixel(1000), 1100);
    EXPECT_EQ(bottom->ValueToPixel(10), 433);
    EXPECT_EQ(bottom->ValueToPixel(0), 100);
    EXPECT_EQ(bottom->ValueToPixel(-5), 100);
    EXPECT_NEAR(bottom->PixelToValue(600), std::sqrt(1000.0), 1e-9);
    EXPECT_EQ(bottom->PixelToValue(100), 1);
    EXPECT_EQ(bottom->PixelToValue(1100), 1000);
    EXPECT_EQ(bottom->ValueToPixel(std::numeric_limits<double>::infinity()), 100 + PositionLimit);

    series->AddPoint(5, -3);
    EXPECT_EQ(ExceptionText([&] { left->SetLogarithmic(true); }), "Logarithmic Axis Min and Max values should be >= 0");
    EXPECT_FALSE(left->Logarithmic());
    series->XValues()->SetDateTime(true);
    bottom->SetLogarithmic(false);
    EXPECT_EQ(ExceptionText([&] { bottom->SetLogarithmic(true); }), "DateTime Axis cannot be Logarithmic");
}

TEST_F(AxisFixture, InflateKeepsDataInsideTheEnds) {
    series->AddPoint(0, 0);
    series->AddPoint(100, 10);
    Layout();
    bottom->InflateAxisRange(Rect(10, 0, 20, 0));
    EXPECT_EQ(bottom->ValueToPixel(0), 110);
    EXPECT_EQ(bottom->ValueToPixel(100), 1080);
    EXPECT_EQ(bottom->StartPixel(), 100);

    bottom->SetAxisRange(5, 5);
    bottom->SetMaximum(5);
    Layout();
    bottom->InflateAxisRange(Rect(10, 0, 10, 0));
    EXPECT_TRUE(bottom->RangeIsZero());
}

TEST_F(AxisFixture, ScrollAxis) {
    for (int i = 0; i <= 10; ++i) series->AddPoint(i, i);
    bottom->SetAxisRange(0, 5);
    bottom->ScrollAxis(2, true);
    EXPECT_EQ(bottom->Minimum(), 2);
    EXPECT_EQ(bottom->Maximum(), 7);
    bottom->SetAxisRange(5, 10);
    bottom->ScrollAxis(2, true);  // no data beyond the end
    EXPECT_EQ(bottom->Maximum(), 10);
    bottom->ScrollAxis(2, false);
    EXPECT_EQ(bottom->Maximum(), 12);
    bottom->ScrollAxis(-20, true);
    EXPECT_EQ(bottom->Minimum(), -13);
}

TEST_F(AxisFixture, PagingRanges) {
    for (int i = 0; i < 25; ++i) series->AddPoint(i * 2, i);
    chart.SetMaxPointsPerPage(10);
    chart.SetPage(3);
    Layout();
    EXPECT_EQ(bottom->Minimum(), 40);
    EXPECT_EQ(bottom->Maximum(), 48);
    chart.SetScaleLastPage(false);
    Layout();
    EXPECT_EQ(bottom->Maximum(), 40 + (48 - 40) * 10 / 5.0);
    // the vertical axis does not page
    EXPECT_EQ(left->Minimum(), 0);
    EXPECT_EQ(left->Maximum(), 24);

    // points removed under a page: the range is the real last page
    series->DeletePoints(12, 100);
    chart.SetScaleLastPage(true);
    Layout();
    EXPECT_EQ(bottom->Minimum(), 20);
    EXPECT_EQ(bottom->Maximum(), 22);
}

TEST_F(AxisFixture, LabelTexts) {
    Layout();
    EXPECT_EQ(bottom->FormatAxisLabel(1234.5678), "1,234.568");
    EXPECT_EQ(bottom->FormatAxisLabel(-0.0001), "0");
    EXPECT_FALSE(bottom->IsAxisValuesFormatStored());
    bottom->SetAxisValuesFormat("# ##0.000");
    EXPECT_TRUE(bottom->IsAxisValuesFormatStored());
    EXPECT_EQ(bottom->FormatAxisLabel(1234.5), "1 234.500");
    bottom->SetLabelsMultiLine(true);
    EXPECT_EQ(bottom->FormatAxisLabel(1234.5), "1\r234.500");
    int lines = 0;
    EXPECT_EQ(chart.MultiLineTextWidth(bottom->FormatAxisLabel(1234.5), lines), 42);
    EXPECT_EQ(lines, 2);
    bottom->SetLabelsMultiLine(false);

    chart.OnGetAxisLabel = [](TChartAxis*, TChartSeries* s, int index, std::string& text) {
        if (!s && index == -1) text += " m";
    };
    EXPECT_EQ(bottom->FormatAxisLabel(2), "2.000 m");
    chart.OnGetAxisLabel = nullptr;

    series->XValues()->SetDateTime(true);
    series->AddPoint(DateFromCivil(2024, 3, 5), 0);
    series->AddPoint(DateFromCivil(2024, 3, 9), 0);
    Layout();
    EXPECT_EQ(bottom->FormatAxisLabel(DateFromCivil(2024, 3, 6)),
              FormatDateTime(ShortDateFormat, DateFromCivil(2024, 3, 6)));
    EXPECT_NE(bottom->FormatAxisLabel(DateFromCivil(2024, 3, 6)).find("2024"), std::string::npos);
    EXPECT_EQ(bottom->FormatAxisLabel(-1), "");
    bottom->SetDateTimeFormat("dd mmm hh:nn");
    EXPECT_EQ(bottom->FormatAxisLabel(DateFromCivil(2024, 3, 6) + 0.5), "06 Mar 12:00");
}

TEST_F(AxisFixture, LabelStyleFollowsPointLabels) {
    series->AddPoint(1, 1, "first");
    Layout();
    EXPECT_EQ(bottom->CalcLabelStyle(), talText);
    EXPECT_EQ(left->CalcLabelStyle(), talValue);
    EXPECT_EQ(chart.DepthAxis()->CalcLabelStyle(), talText);
    EXPECT_EQ(chart.SeriesExtremeForAxis(chart.DepthAxis(), false), -0.5);
}

TEST_F(AxisFixture, AxisShownAndCustomAxes) {
    EXPECT_TRUE(chart.IsAxisShown(bottom));  // no active series: every axis shows
    series->AddPoint(1, 1);
    EXPECT_TRUE(chart.IsAxisShown(bottom));
    EXPECT_FALSE(chart.IsAxisShown(chart.TopAxis()));
    EXPECT_FALSE(chart.IsAxisShown(chart.DepthAxis()));

    TChartAxis* custom = chart.AddCustomAxis();
    EXPECT_EQ(chart.AxesList().Count(), 6);
    series->SetCustomVertAxis(custom);
    EXPECT_EQ(series->GetVertAxis(), custom);
    EXPECT_TRUE(chart.IsAxisShown(custom));
    delete custom;
    EXPECT_EQ(series->VertAxis(), aLeftAxis);
    EXPECT_EQ(series->GetVertAxis(), left);
    EXPECT_EQ(chart.AxesList().Count(), 5);
}

TEST_F(AxisFixture, CustomItems) {
    bottom->Items().Add(1.5, "a");
    TAxisItem* hidden = bottom->Items().Add(2);
    hidden->SetVisible(false);
    hidden->Font().SetSize(20);
    EXPECT_EQ(bottom->Items().Count(), 2);
    EXPECT_EQ(bottom->Items()[0]->Text(), "a");
    EXPECT_THROW(bottom->Items()[2], AxisException);
    left->Assign(bottom);
    EXPECT_EQ(left->Items().Count(), 2);
    EXPECT_EQ(left->Items()[1]->Value(), 2);
    EXPECT_FALSE(left->Items()[1]->Visible());
    EXPECT_EQ(left->Items()[1]->Font().Size(), 20);
    bottom->Items().Clear();
    EXPECT_EQ(left->Items().Count(), 2);
}

}  // namespace

namespace {

TEST_F(AxisFixture, PartialAxesDepthAndClicks) {
    bottom->SetAxisRange(0, 10);
    bottom->SetStartPosition(10);
    bottom->SetEndPosition(90);
    Layout();
    EXPECT_EQ(bottom->StartPixel(), 200);
    EXPECT_EQ(bottom->EndPixel(), 1000);
    EXPECT_EQ(bottom->CenterPixel(), 600);
    EXPECT_EQ(bottom->ValueToPixel(10), 1000);

    chart.SetChartDepth3D(50);
    TChartAxis* depth = chart.DepthAxis();
    depth->SetAxisRange(0, 5);
    depth->AdjustAxisRange();
    depth->CalcAxisPixels();
    EXPECT_EQ(depth->StartPixel(), 0);
    EXPECT_EQ(depth->EndPixel(), 50);
    EXPECT_EQ(depth->ValueToPixel(1), 10);
    depth->SetInverted(true);
    EXPECT_EQ(depth->ValueToPixel(1), 40);
    EXPECT_DOUBLE_EQ(depth->PixelToValue(40), 1);  // the way back agrees

    chart.TopAxis()->CalcAxisPixels();
    EXPECT_EQ(chart.TopAxis()->ZPixel(), 50);  // at the back of the chart

    bottom->AxisLinePos = 450;
    bottom->LabelsPos = 470;
    EXPECT_TRUE(bottom->AxisClicked(500, 449));  // three pixels of slack on the line side
    EXPECT_TRUE(bottom->AxisClicked(500, 470));
    EXPECT_FALSE(bottom->AxisClicked(500, 471));
    EXPECT_FALSE(bottom->AxisClicked(150, 460));  // before the axis start
    bottom->SetVisible(false);
    EXPECT_FALSE(bottom->AxisClicked(500, 460));
}

}  // namespace
