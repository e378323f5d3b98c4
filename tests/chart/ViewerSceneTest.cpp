// Defects that showed when the viewer's own waveform scene was rendered: text
// over a stale background, non-finite values drawn as data, bottom labels that
// overlap or leave the panel, huge values, points left behind by a data source.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "ChartControl.h"
#include "GuiApplication.h"
#include "RecordingChart.h"
#include "ViewerScene.h"

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

int CountPixels(const TBitmap& b, TColor c, const TRect& r) {
    int n = 0;
    for (int y = r.Top; y < r.Bottom; ++y)
        for (int x = r.Left; x < r.Right; ++x) n += b.GetPixel(x, y) == c;
    return n;
}

int Differing(const TBitmap& a, const TBitmap& b) {
    int n = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x) n += a.GetPixel(x, y) != b.GetPixel(x, y);
    return n;
}

TEST(TextBackground, EveryTextHonoursTheModeInForceWhenItIsDrawn) {
    EnsureGuiApplication();
    TBitmap bmp(120, 40);
    TCanvas& c = bmp.Canvas();
    // an opaque shape leaves the device with an opaque red background behind it
    c.SetBackgroundMode(OPAQUE);
    c.SetBackgroundColor(clRed);
    c.Brush().SetColor(clWhite);
    c.Pen().SetColor(clWhite);
    c.Rectangle(0, 0, 120, 40);
    c.Font().SetColor(clBlack);
    c.SetBackgroundMode(TRANSPARENT);
    c.TextOut(4, 4, "Wave");
    EXPECT_EQ(CountPixels(bmp, clRed, TRect{0, 0, 120, 40}), 0);
    // and an opaque text gets its box
    c.SetBackgroundMode(OPAQUE);
    c.TextOut(60, 4, "Wave");
    EXPECT_GT(CountPixels(bmp, clRed, TRect{60, 0, 120, 40}), 20);
}

TEST(TextBackground, FirstPaintEqualsEveryLaterOne) {
    EnsureGuiApplication();
    TChart chart;
    viewerscene::Build(chart);
    const auto first = RenderToBitmap(chart, 833, 500);
    chart.ZoomToValues(0, 0, viewerscene::BlockStart(0), viewerscene::BlockStart(1), 0, 100, 0, 0);
    RenderToBitmap(chart, 833, 500);
    chart.UndoZoom();
    const auto again = RenderToBitmap(chart, 833, 500);
    EXPECT_EQ(Differing(*first, *again), 0);
    // legend entries and the title are drawn on the panel, not on a series colour
    const TRect legendAndTitle{0, 0, 833, 130};
    for (TColor c : viewerscene::BlockColors) {
        SCOPED_TRACE(c);
        EXPECT_LT(CountPixels(*first, c, legendAndTitle), 200);
    }
}

// ---------------------------------------------------------------------------
class FlatChart : public RecordingChart {
public:
    FlatChart() {
        SetView3D(false);
        Legend().SetVisible(false);
        SetSize(400, 300);
    }
    template <class S>
    S* Add(const std::vector<double>& xs, const std::vector<double>& ys) {
        auto* s = new S(this);
        s->SetParentChart(this);
        s->SetSeriesColor(clRed);
        for (std::size_t i = 0; i < xs.size(); ++i) s->AddPoint(xs[i], ys[i]);
        return s;
    }
    std::vector<const RecordedCall*> Calls(const std::string& op) const {
        std::vector<const RecordedCall*> out;
        for (const auto& c : Recorder->Calls)
            if (c.op == op) out.push_back(&c);
        return out;
    }
};

TEST(NonFiniteValues, AreNoDataAndNeverDrawn) {
    struct Case {
        const char* what;
        std::vector<double> xs, ys;
        int markers;
        int segments;
    } cases[] = {
        {"NaN value", {0, 1, 2, 3, 4}, {1, 2, NaN, 4, 5}, 4, 2},
        {"infinite value", {0, 1, 2, 3, 4}, {1, 2, INFINITY, 4, 5}, 4, 2},
        {"NaN position", {0, 1, NaN, 3, 4}, {1, 2, 3, 4, 5}, 4, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FlatChart chart;
        auto* s = chart.Add<TLineSeries>(c.xs, c.ys);
        s->Pointer().SetVisible(true);
        chart.DrawNow();
        int markers = 0;
        for (const RecordedCall* r : chart.Calls("DrawRectangle"))
            markers += r->args[2] - r->args[0] == 2 * s->Pointer().HorizSize() + 1;
        EXPECT_EQ(markers, c.markers);
        const auto segs = Segments(*chart.Recorder);
        EXPECT_EQ(static_cast<int>(segs.size()), c.segments);
        // the finite points alone decide the ranges
        EXPECT_EQ(chart.BottomAxis()->Minimum(), 0);
        EXPECT_EQ(chart.BottomAxis()->Maximum(), 4);
        EXPECT_EQ(chart.LeftAxis()->Maximum(), 5);
    }
}

TEST(NonFiniteValues, AllNaNSeriesTakesNoPartInRangesOrLabels) {
    FlatChart alone;
    alone.Add<TLineSeries>({0, 1, 2}, {NaN, NaN, NaN});
    alone.DrawNow();
    EXPECT_TRUE(Segments(*alone.Recorder).empty());
    // the value axis has nothing to label
    for (const auto& c : alone.Recorder->Calls)
        if (c.op.rfind("Write", 0) == 0) {
            EXPECT_GT(c.args[1], alone.PlotRect().Bottom) << c.text;
        }

    FlatChart beside;
    beside.Add<TLineSeries>({0, 1, 2}, {NaN, NaN, NaN});
    beside.Add<TLineSeries>({0, 1, 2}, {10, 20, 30});
    beside.DrawNow();
    EXPECT_EQ(beside.LeftAxis()->Minimum(), 10);
    EXPECT_EQ(beside.LeftAxis()->Maximum(), 30);
}

// ---------------------------------------------------------------------------
// Horizontal extents of the bottom axis' labels as the recording canvas measures them.
struct Extent {
    long long left, right;
    std::string text;
};

std::vector<Extent> BottomLabels(const FlatChart& chart, const std::string& prefix) {
    std::vector<Extent> out;
    int align = TA_LEFT;
    for (const auto& c : chart.Recorder->Calls) {
        if (c.op == "SetTextAlignment") align = static_cast<int>(c.args[0]);
        if (c.op.rfind("Write", 0) != 0 || c.text.rfind(prefix, 0) != 0) continue;
        const long long w = static_cast<long long>(c.text.size()) * RecordingCanvas::CharWidth;
        const long long x = c.args[0];
        const long long left = (align & 6) == TA_CENTER ? x - w / 2 : (align & 6) == TA_RIGHT ? x - w : x;
        out.push_back({left, left + w, c.text});
    }
    return out;
}

TEST(BottomLabels, KeepTheirSeparationAndStayInsideThePanel) {
    for (int width = 300; width <= 900; width += 7) {
        SCOPED_TRACE(width);
        FlatChart chart;
        viewerscene::Build(chart, false);
        chart.SetSize(width, 500);
        chart.DrawNow();
        const auto labels = BottomLabels(chart, "12.345");
        ASSERT_GE(labels.size(), width < 400 ? 1u : 2u);
        for (std::size_t i = 0; i < labels.size(); ++i) {
            EXPECT_GE(labels[i].left, 0) << labels[i].text;
            EXPECT_LE(labels[i].right, width) << labels[i].text;
            if (i == 0) continue;
            // labels are drawn from the highest down; 10 % of the width stays free
            const long long w = labels[i].right - labels[i].left;
            EXPECT_GE(labels[i - 1].left - labels[i].right, w / 10) << labels[i].text;
        }
    }
}

TEST(BottomLabels, RisingLabelsStayInsideThePanel) {
    for (int width : {400, 600, 833}) {
        SCOPED_TRACE(width);
        FlatChart chart;
        viewerscene::Build(chart, false);
        chart.BottomAxis()->SetLabelsAngle(45);
        chart.SetSize(width, 500);
        chart.DrawNow();
        int n = 0;
        for (const auto& c : chart.Recorder->Calls) {
            if (c.op != "WriteRotatedText3D" || c.text.rfind("12.345", 0) != 0) continue;
            // left-aligned from (x, y), rising to the right
            const double w = static_cast<double>(c.text.size()) * RecordingCanvas::CharWidth;
            EXPECT_GE(c.args[0], 0) << c.text;
            EXPECT_LE(c.args[0] + w * 0.7072, width) << c.text;
            ++n;
        }
        EXPECT_GE(n, 2);
    }
}

// ---------------------------------------------------------------------------
TEST(HugeValues, LabelsFitAndEveryAxisWithDataGetsThem) {
    struct Case {
        const char* what;
        std::vector<double> xs, ys;
    } cases[] = {
        {"values near 1e300", {0, 1, 2}, {1e300, 3e300, 2e300}},
        {"range beyond the largest double", {0, 1, 2}, {-1.5e308, 0, 1.5e308}},
        {"positions near 1e302", {1e301, 5e301, 9.9e301}, {1, 2, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FlatChart chart;
        chart.Legend().SetVisible(true);  // it shows the values too
        auto* s = chart.Add<TLineSeries>(c.xs, c.ys);
        chart.DrawNow();
        int left = 0, bottom = 0;
        for (const auto& call : chart.Recorder->Calls) {
            if (call.op.rfind("Write", 0) != 0) continue;
            EXPECT_LE(call.text.size(), 24u) << call.text;
            EXPECT_EQ(call.text.find("NAN"), std::string::npos);
            EXPECT_EQ(call.text.find("INF"), std::string::npos);
            (call.args[1] > chart.PlotRect().Bottom ? bottom : left)++;
        }
        EXPECT_GE(left, 2);
        EXPECT_GE(bottom, 2);
        // the points are spread over the plot, not drawn flat, and in proportion
        EXPECT_NE(s->PointScreenY(0), s->PointScreenY(2));
        if (c.ys[1] == 0) {
            EXPECT_NEAR(s->PointScreenY(1), (s->PointScreenY(0) + s->PointScreenY(2)) / 2, 1);
        }
        EXPECT_NE(s->PointScreenX(0), s->PointScreenX(2));
        EXPECT_GT(chart.PlotRect().Width(), 200);
    }
}

// ---------------------------------------------------------------------------
// A source set to none takes its points along; a freed source leaves the copy,
// which the line goes on drawing.
TEST(DataSource, PointsGoWithASourceSetToNoneAndStayWhenItIsFreed) {
    for (bool freeIt : {false, true}) {
        SCOPED_TRACE(freeIt ? "source freed" : "source set to none");
        FlatChart chart;
        auto* points = chart.Add<TPointSeries>({0, 1, 2}, {3, 4, 5});
        auto* line = chart.Add<TLineSeries>({}, {});
        line->SetDataSource(points);
        ASSERT_EQ(line->PointCount(), 3);
        if (freeIt)
            delete points;
        else
            line->SetDataSource(nullptr);
        EXPECT_EQ(line->DataSource(), nullptr);
        EXPECT_EQ(line->PointCount(), freeIt ? 3 : 0);
        chart.DrawNow();
        EXPECT_EQ(Segments(*chart.Recorder).empty(), !freeIt);
    }
}

}  // namespace
