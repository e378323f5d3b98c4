#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "Chart.h"
#include "ChartAxis.h"
#include "LineSeries.h"
#include "RecordingChart.h"

namespace {

// A flat chart with one line series from (0, 0) to (100, 100), laid out so that
// the bottom axis spans exactly 400 pixels.
class ZoomChart : public RecordingChart {
public:
    ZoomChart() {
        SetView3D(false);
        Legend().SetVisible(false);
        Series = new TLineSeries(this);
        Series->SetParentChart(this);
        for (int i = 0; i <= 10; ++i) Series->AddPoint(i * 10, i * 10);
        FitBottomAxis();
        OnZoom = [this](TObject*) { ++Zooms; };
        OnUndoZoom = [this](TObject*) { ++Undos; };
        OnScroll = [this](TObject*) { ++Scrolls; };
    }
    void FitBottomAxis() {
        SetSize(500, 400);
        Redraw();
        // labels may take other room at another width: settle in a few rounds
        for (int round = 0; round < 5 && BottomAxis()->AxisLength() != 400; ++round) {
            SetSize(Width() + 400 - BottomAxis()->AxisLength(), 400);
            Redraw();
        }
    }
    void Redraw() {
        Draw(nullptr, GetRectangle());
        Recorder->Clear();
    }
    TPoint Centre() const { return PlotCenter(); }
    void Drag(TMouseButton b, int x0, int y0, int x1, int y1) {
        MouseDown(b, 0, x0, y0);
        MouseMove(0, x1, y1);
        MouseUp(b, 0, x1, y1);
    }
    int Bands() const {
        int n = 0;
        for (const auto& c : Recorder->Calls) n += c.op == "DrawRectangle" && c.penMode == pmNotXor;
        return n;
    }
    TLineSeries* Series;
    int Zooms = 0, Undos = 0, Scrolls = 0;
};

void ExpectRange(const TChartAxis* a, double minimum, double maximum) {
    EXPECT_NEAR(a->Minimum(), minimum, 1e-9);
    EXPECT_NEAR(a->Maximum(), maximum, 1e-9);
}

TEST(Zoom, DragMustExceedTheMinimumBothWays) {
    struct Case {
        int dx, dy;
        bool zooms;
    } cases[] = {{16, 16, false}, {16, 40, false}, {40, 16, false}, {17, 17, true}, {60, 30, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.dx) + "x" + std::to_string(c.dy));
        ZoomChart chart;
        const TPoint p = chart.Centre();
        const double x0 = chart.BottomAxis()->PixelToValue(p.x), x1 = chart.BottomAxis()->PixelToValue(p.x + c.dx);
        const double yTop = chart.LeftAxis()->PixelToValue(p.y), yBottom = chart.LeftAxis()->PixelToValue(p.y + c.dy);
        chart.Drag(mbLeft, p.x, p.y, p.x + c.dx, p.y + c.dy);
        EXPECT_EQ(chart.Zoomed(), c.zooms);
        EXPECT_EQ(chart.Zooms, c.zooms ? 1 : 0);
        EXPECT_EQ(chart.Undos, 0);
        EXPECT_EQ(chart.BottomAxis()->Automatic(), !c.zooms);
        if (c.zooms) {
            ExpectRange(chart.BottomAxis(), x0, x1);
            ExpectRange(chart.LeftAxis(), yBottom, yTop);
        }
        // the band is drawn exclusive-or at the start, twice per move, once more at the end
        EXPECT_EQ(chart.Bands(), 4);
        EXPECT_FALSE(chart.Zoom().Active);
    }
}

TEST(Zoom, DragBackUndoesToAutomaticRanges) {
    ZoomChart chart;
    const TPoint p = chart.Centre();
    chart.Drag(mbLeft, p.x, p.y, p.x + 50, p.y + 50);
    chart.Redraw();
    chart.Drag(mbLeft, p.x, p.y, p.x + 60, p.y + 60);  // a second zoom keeps the first saved scales
    chart.Redraw();
    ASSERT_TRUE(chart.ScalesSaved());
    for (auto [dx, dy] : {std::pair{-30, 30}, std::pair{30, -30}}) {
        chart.Drag(mbLeft, p.x, p.y, p.x + dx, p.y + dy);
        EXPECT_FALSE(chart.Zoomed());
        EXPECT_FALSE(chart.ScalesSaved());
        EXPECT_TRUE(chart.BottomAxis()->Automatic());
        EXPECT_TRUE(chart.LeftAxis()->AutomaticMinimum());
    }
    // with nothing saved an undo only tells and repaints
    EXPECT_EQ(chart.Undos, 2);
    const int before = chart.InvalidateCount();
    chart.UndoZoom();
    EXPECT_EQ(chart.Undos, 3);
    EXPECT_GT(chart.InvalidateCount(), before);
}

TEST(Zoom, UndoRestoresPartlyAutomaticAxesAndSurvivesAFreedAxis) {
    ZoomChart chart;
    TChartAxis* gone = chart.AddCustomAxis();
    TChartAxis* kept = chart.AddCustomAxis();
    kept->SetAxisRange(5, 6);
    chart.LeftAxis()->SetMinimum(-10);
    chart.LeftAxis()->SetAutomaticMinimum(false);
    chart.Redraw();
    chart.ZoomToValues(0, 1, 0, 1, 0, 1, 0, 1);
    kept->SetAxisRange(7, 8);
    delete gone;
    chart.UndoZoom();
    // kept by axis, not by list position: the freed axis' record is not applied to another
    ExpectRange(kept, 5, 6);
    EXPECT_FALSE(kept->Automatic());
    EXPECT_FALSE(chart.LeftAxis()->AutomaticMinimum());
    EXPECT_TRUE(chart.LeftAxis()->AutomaticMaximum());
    EXPECT_NEAR(chart.LeftAxis()->Minimum(), -10, 1e-9);
}

TEST(Zoom, DirectionAnimationAndClaimedClicks) {
    ZoomChart chart;
    const TPoint p = chart.Centre();
    chart.Zoom().Direction = tzdHorizontal;
    chart.MouseDown(mbLeft, 0, p.x, p.y);
    EXPECT_EQ(chart.Zoom().Y0, chart.PlotRect().Top);
    EXPECT_EQ(chart.Zoom().Y1, chart.PlotRect().Bottom);
    chart.MouseUp(mbLeft, 0, p.x + 20, p.y);  // the band is as high as the plot
    EXPECT_TRUE(chart.Zoomed());
    EXPECT_FALSE(chart.LeftAxis()->Automatic());

    ZoomChart animated;
    animated.Zoom().Animated = true;
    animated.Zoom().AnimatedSteps = 1;
    animated.ZoomToValues(0, 1, 20, 30, 40, 50, 0, 1);
    ExpectRange(animated.BottomAxis(), 20, 30);
    ExpectRange(animated.LeftAxis(), 40, 50);
    animated.Zoom().AnimatedSteps = 8;
    animated.ZoomToValues(0, 1, 60, 70, 40, 50, 0, 1);
    ExpectRange(animated.BottomAxis(), 60, 70);
    EXPECT_EQ(animated.Zooms, 2);

    ZoomChart claimed;
    int clicks = 0;
    claimed.OnClickBackground = [&](TCustomChart*, TMouseButton, TShiftState, int, int) { ++clicks; };
    claimed.Drag(mbLeft, p.x, p.y, p.x + 50, p.y + 50);
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(claimed.Zoomed());
    claimed.OnClickBackground = [&](TCustomChart* c, TMouseButton, TShiftState, int, int) {
        ++clicks;
        c->CancelMouse = false;  // lets the zoom go on
    };
    claimed.Drag(mbLeft, p.x, p.y, p.x + 50, p.y + 50);
    EXPECT_EQ(clicks, 2);
    EXPECT_TRUE(claimed.Zoomed());

    ZoomChart outside;
    outside.Drag(mbLeft, 2, 2, 100, 100);  // on the panel's edge: nothing to click
    EXPECT_FALSE(outside.Zoomed());
    EXPECT_EQ(outside.Bands(), 0);
}

TEST(Panning, MovesTheAxesWithThePointer) {
    ZoomChart chart;
    chart.BottomAxis()->SetAxisRange(0, 100);
    chart.LeftAxis()->SetAxisRange(0, 100);
    chart.FitBottomAxis();
    ASSERT_EQ(chart.BottomAxis()->AxisLength(), 400);
    const TPoint p = chart.Centre();
    chart.MouseDown(mbRight, 0, p.x, p.y);
    chart.MouseMove(0, p.x + 10, p.y);
    ExpectRange(chart.BottomAxis(), -2.5, 97.5);
    ExpectRange(chart.LeftAxis(), 0, 100);
    EXPECT_EQ(chart.Scrolls, 1);
    EXPECT_TRUE(chart.ScalesSaved());
    // each step from the last position, also back left of the start
    chart.Redraw();
    chart.MouseMove(0, p.x - 10, p.y);
    ExpectRange(chart.BottomAxis(), 2.5, 102.5);
    chart.Redraw();
    chart.MouseMove(0, p.x - 20, p.y);
    ExpectRange(chart.BottomAxis(), 5, 105);
    chart.MouseUp(mbRight, 0, p.x - 20, p.y);
    chart.Redraw();
    chart.MouseMove(0, p.x + 50, p.y);  // no longer panning
    ExpectRange(chart.BottomAxis(), 5, 105);

    // leaving the plot ends panning; a refused scroll leaves the axis alone
    chart.MouseDown(mbRight, 0, p.x, p.y);
    chart.MouseMove(0, 1, p.y);
    EXPECT_FALSE(chart.Panning().Active);
    chart.SetAllowPanning(pmVertical);
    chart.OnAllowScroll = [](TChartAxis*, double&, double&, bool& allow) { allow = false; };
    chart.MouseDown(mbRight, 0, p.x, p.y);
    chart.MouseMove(0, p.x + 30, p.y + 30);
    ExpectRange(chart.BottomAxis(), 5, 105);
    ExpectRange(chart.LeftAxis(), 0, 100);
    chart.MouseUp(mbRight, 0, p.x + 30, p.y + 30);

    // undo returns to the scales before the first pan
    chart.UndoZoom();
    ExpectRange(chart.BottomAxis(), 0, 100);
}

TEST(Wheel, ScrollsTheVerticalAxesOnly) {
    ZoomChart chart;
    chart.LeftAxis()->SetAxisRange(0, 100);
    chart.BottomAxis()->SetAxisRange(0, 100);
    const double depthMin = chart.DepthAxis()->Minimum(), depthMax = chart.DepthAxis()->Maximum();
    chart.MouseWheel(0, -120, 10, 10);  // down, wherever the pointer is
    ExpectRange(chart.LeftAxis(), 3, 103);
    ExpectRange(chart.BottomAxis(), 0, 100);
    EXPECT_EQ(chart.DepthAxis()->Minimum(), depthMin);
    EXPECT_EQ(chart.DepthAxis()->Maximum(), depthMax);
    chart.MouseWheel(ssCtrl, 120, 10, 10);
    chart.MouseWheel(0, 120, 10, 10);
    ExpectRange(chart.LeftAxis(), -3, 97);  // keys held change nothing

    ZoomChart automatic;
    automatic.MouseWheel(0, 120, 10, 10);
    EXPECT_FALSE(automatic.LeftAxis()->Automatic());
    automatic.UndoZoom();
    EXPECT_TRUE(automatic.LeftAxis()->Automatic());
    EXPECT_TRUE(automatic.RightAxis()->Automatic());
}

// Each round of an animated zoom is a painted frame: every axis a third nearer its target.
TEST(Zoom, AnimatedStepsArePaintedOneByOne) {
    ZoomChart chart;
    chart.BottomAxis()->SetAxisRange(0, 90);
    chart.LeftAxis()->SetAxisRange(0, 90);
    struct Frame {
        double bottomMin, bottomMax, leftMin, leftMax;
    };
    std::vector<Frame> frames;
    chart.RequestRepaintNow = [&] {
        const TChartAxis *b = chart.BottomAxis(), *l = chart.LeftAxis();
        frames.push_back({b->Minimum(), b->Maximum(), l->Minimum(), l->Maximum()});
    };
    chart.Zoom().Animated = true;
    chart.Zoom().AnimatedSteps = 4;
    chart.ZoomToValues(0, 1, 27, 36, 54, 63, 0, 1);
    ASSERT_EQ(frames.size(), 3u);
    double bMin = 0, bMax = 90, lMin = 0, lMax = 90;
    for (const Frame& f : frames) {
        bMin += (27 - bMin) / 3, bMax -= (bMax - 36) / 3, lMin += (54 - lMin) / 3, lMax -= (lMax - 63) / 3;
        EXPECT_NEAR(f.bottomMin, bMin, 1e-9);
        EXPECT_NEAR(f.bottomMax, bMax, 1e-9);
        EXPECT_NEAR(f.leftMin, lMin, 1e-9);
        EXPECT_NEAR(f.leftMax, lMax, 1e-9);
    }
    ExpectRange(chart.BottomAxis(), 27, 36);
    ExpectRange(chart.LeftAxis(), 54, 63);

    // a step count beyond reason stops painting once the axes stand still
    frames.clear();
    chart.Zoom().AnimatedSteps = std::numeric_limits<int>::max();
    chart.ZoomToValues(0, 1, 0, 90, 0, 90, 0, 1);
    EXPECT_GT(frames.size(), 20u);
    EXPECT_LT(frames.size(), 100u);
    ExpectRange(chart.BottomAxis(), 0, 90);

    // without animation, or with a single step, nothing is painted on the way
    for (int steps : {1, 8}) {
        frames.clear();
        chart.Zoom().Animated = steps == 1;
        chart.Zoom().AnimatedSteps = steps;
        chart.ZoomToValues(0, 1, 10, 20, 10, 20, 0, 1);
        EXPECT_TRUE(frames.empty());
    }
}

}  // namespace
