// The labels an axis shows are one plan: a step of which every label keeps clear
// of its neighbours and reads differently from them, drawn whole, on plain charts
// as on the viewer's time axis; at the ends only a label that cannot stand whole
// is left out.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "AxisLabelRules.h"
#include "Chart.h"
#include "GuiApplication.h"
#include "LineSeries.h"
#include "ViewerScene.h"

namespace {

using labelrules::DrawnLabels;
using labelrules::Joined;
using labelrules::ProgressionFault;

// A series of the points at(0) to at(last) on the chart.
template <class S = TLineSeries, class F>
S* Plot(TChart& chart, int last, F at) {
    auto* s = new S(&chart);
    s->SetParentChart(&chart);
    for (int i = 0; i <= last; ++i) s->AddPoint(at(i).first, at(i).second);
    return s;
}

void ExpectRegular(const std::vector<std::string>& texts, std::size_t atLeast) {
    EXPECT_GE(texts.size(), atLeast) << Joined(texts);
    EXPECT_EQ(ProgressionFault(texts), "") << Joined(texts);
}

// A chart whose left axis would otherwise hold a wider label than its step allows.
TEST(AxisLabelPlan, PlainChartsShowEveryLabelOfARegularStep) {
    EnsureGuiApplication();
    for (bool threeD : {false, true}) {
        SCOPED_TRACE(threeD ? "3D" : "2D");
        TChart chart;
        auto& r = labelrules::RecordTexts(chart);
        chart.SetView3D(threeD);
        const double ys[] = {1000, 1037, 1074, 1011, 1048};
        Plot(chart, 4, [&](int i) { return std::pair{i * 10.0, ys[i]}; });
        for (TChartAxis* axis : {chart.BottomAxis(), chart.LeftAxis()})
            ExpectRegular(DrawnLabels(chart, r, *axis, 400, 250), 4);
    }
    // large pointers widen the scale past the points after the layout chose the step
    for (int height : {350, 360, 370}) {
        SCOPED_TRACE(height);
        TChart chart;
        auto& r = labelrules::RecordTexts(chart);
        chart.SetView3D(false);
        chart.Legend().SetVisible(false);
        auto* points = Plot<TPointSeries>(chart, 11, [](int i) { return std::pair{double(i), double(i)}; });
        points->Pointer().SetHorizSize(6);
        points->Pointer().SetVertSize(6);
        ExpectRegular(DrawnLabels(chart, r, *chart.LeftAxis(), 300, height), 6);
    }
}

// The viewer's axes: late time stamps to the nanosecond in a narrow window and a
// wide one, and the raw range to the millimetre.
TEST(AxisLabelPlan, ViewerAxesShowARegularStepAtEveryWidth) {
    EnsureGuiApplication();
    TChart chart;
    auto& r = labelrules::RecordTexts(chart);
    viewerscene::Build(chart, false, 150060.1300046);
    chart.LeftAxis()->Title().SetCaption("");
    for (int width : {240, 300, 423, 480, 560, 833, 1280}) {
        SCOPED_TRACE(width);
        const auto d = labelrules::DrawnWithWidths(chart, r, *chart.BottomAxis(), width, 400);
        // the narrowest chart the viewer allows holds one time stamp whole; two where they fit
        const double widest = d.widest;
        const bool two = width >= 480 ||
                         labelrules::RoomForTwo(*chart.BottomAxis(), [widest](const std::string&) { return widest; });
        ExpectRegular(d.texts, two ? 2 : 1);
    }
    TChart raw;
    auto& rr = labelrules::RecordTexts(raw);
    viewerscene::Build(raw, false);
    raw.BottomAxis()->SetIncrement(0.001);
    raw.BottomAxis()->SetAxisValuesFormat("# ##0.000");
    for (TChartSeries* s : raw.SeriesList())
        if (auto* p = dynamic_cast<TPointSeries*>(s))
            for (int i = 0; i < p->PointCount(); ++i)
                p->XValues()->SetValue(i, 391.2 + 5.9 * p->XValueAt(i) / 12.3456812);
    for (int width : {420, 833, 1280}) {
        SCOPED_TRACE(width);
        ExpectRegular(DrawnLabels(raw, rr, *raw.BottomAxis(), width, 400), 2);
    }
}

// A step finer than the format shows would draw the same text over and over; a
// logarithmic axis keeps the power on its maximum; -90 is 270 when the step is chosen.
TEST(AxisLabelPlan, StepsTheLabelsCanShow) {
    EnsureGuiApplication();
    struct Case {
        double lo, hi, increment;
    };
    for (const Case c : {Case{150060.1500028, 150060.1500031, 0}, Case{1e15, 1e15 + 50, 10}}) {
        SCOPED_TRACE(c.lo);
        TChart chart;
        auto& r = labelrules::RecordTexts(chart);
        Plot(chart, 30, [&](int i) { return std::pair{c.lo + (c.hi - c.lo) * i / 30, double(i)}; });
        chart.BottomAxis()->SetIncrement(c.increment);
        ExpectRegular(DrawnLabels(chart, r, *chart.BottomAxis(), 800, 300), 1);
    }
    {
        TChart chart;
        auto& r = labelrules::RecordTexts(chart);
        Plot(chart, 1, [](int i) { return std::pair{double(i), i ? 7000.0 : 0.07}; });
        chart.LeftAxis()->SetLogarithmic(true);
        EXPECT_EQ(Joined(DrawnLabels(chart, r, *chart.LeftAxis(), 400, 400)), "0.07 | 0.7 | 7 | 70 | 700 | 7,000");
    }
    std::vector<std::string> drawn[2];
    for (int k = 0; k < 2; ++k) {
        TChart chart;
        auto& r = labelrules::RecordTexts(chart);
        Plot(chart, 20, [](int i) { return std::pair{i * 50.0, double(i)}; });
        chart.BottomAxis()->SetLabelsAngle(k == 0 ? -90 : 270);
        drawn[k] = DrawnLabels(chart, r, *chart.BottomAxis(), 400, 300);
    }
    EXPECT_EQ(Joined(drawn[0]), Joined(drawn[1]));
    EXPECT_GE(drawn[0].size(), 8u) << Joined(drawn[0]);
}

}  // namespace
