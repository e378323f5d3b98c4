// The room the layout gives a text must hold what is drawn there: marks stay inside the
// widget, walls stay off the axis labels, depth labels keep apart. Which pixels belong to a
// text or a shape is found from the pictures alone: the chart is painted twice with only
// that element's colours changed, and the pixels that differ are its own.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Chart.h"
#include "ChartAxis.h"
#include "ChartControl.h"
#include "ChartUtils.h"
#include "GuiApplication.h"
#include "LineSeries.h"
#include "SeriesMarks.h"
#include "TextPixels.h"

namespace {

using textpixels::Mask;

// The pixels that differ between two paintings of the chart, the second after paint(true).
Mask Differing(TChart& chart, int width, int height, const std::function<void(bool second)>& paint) {
    return textpixels::Changed(chart, width, height, paint);
}

int Shared(const Mask& a, const Mask& b) { return (a & b).Count(); }

// A failing case leaves its picture beside the test run.
void SaveIfFailed(TChart& chart, int width, int height, const std::string& name) {
    if (::testing::Test::HasFailure()) SaveBitmapToPng(*RenderToBitmap(chart, width, height), name + ".png");
}

TEST(MarksRoom, EveryBoxStaysInsideTheWidget) {
    EnsureGuiApplication();
    constexpr int W = 400, H = 250;
    struct Case {
        bool view3D;
        int angle, length;
    };
    const Case cases[] = {{true, 0, 15},    {true, 90, 15},  {false, 45, 15}, {false, 180, 30},
                          {false, 270, 15}, {false, 0, -30}, {true, 135, -20}};
    for (const Case& k : cases) {
        const std::string name =
            "marks_" + std::to_string(k.view3D) + "_" + std::to_string(k.angle) + "_" + std::to_string(k.length);
        SCOPED_TRACE(name);
        TChart chart(nullptr);
        chart.Legend().SetVisible(false);
        chart.SetView3D(k.view3D);
        auto* s = new TPointSeries(&chart);
        s->SetParentChart(&chart);
        // the widest texts at both ends, the highest and the lowest values among them
        for (int i = 0; i < 12; ++i) s->AddPoint(1 + i * 1.5, 12 + (i % 5) * 0.5);
        s->AddPoint(1000.25, 14);
        s->AddPoint(-1000.25, 12);
        TSeriesMarks& marks = s->Marks();
        marks.SetVisible(true);
        marks.SetStyle(smsXY);
        marks.SetMultiLine(true);
        marks.Callout().SetLength(k.length);
        marks.SetAngle(k.angle);
        marks.Shadow().SetVertSize(k.length < 0 ? 4 : -4);
        const Mask drawn = Differing(chart, W, H, [&](bool second) {
            marks.SetColor(second ? clAqua : clInfoBk);
            marks.Font().SetColor(second ? clRed : clBlack);
            marks.Pen().SetColor(second ? clBlue : clBlack);
            marks.Shadow().SetColor(second ? clLime : 0x808080);
        });
        ASSERT_GT(drawn.Count(), 1000);
        int cut = 0;
        for (int x = 0; x < W; ++x) cut += drawn.At(x, 0) + drawn.At(x, H - 1);
        for (int y = 0; y < H; ++y) cut += drawn.At(0, y) + drawn.At(W - 1, y);
        EXPECT_EQ(cut, 0) << "mark pixels on the widget's edge";
        SaveIfFailed(chart, W, H, name);
    }
}

TEST(WallsRoom, NoWallCoversTheAxisLabels) {
    EnsureGuiApplication();
    constexpr int W = 400, H = 250;
    struct View {
        bool orthogonal;
        int angle;  // the orthogonal view's angle, or the rotation and elevation of another
    };
    const View views[] = {{true, 45},  {true, 60},  {true, 80},   {true, 100},
                          {true, 135}, {true, 160}, {false, 345}, {false, 330}};
    for (const View& v : views) {
        const std::string name = "walls_" + std::to_string(v.orthogonal) + "_" + std::to_string(v.angle);
        SCOPED_TRACE(name);
        TChart chart(nullptr);
        chart.Legend().SetVisible(false);
        chart.View3DOptions().SetOrthogonal(v.orthogonal);
        if (v.orthogonal) {
            chart.View3DOptions().SetOrthoAngle(v.angle);
        } else {
            chart.View3DOptions().SetRotation(v.angle);
            chart.View3DOptions().SetElevation(v.angle);
        }
        chart.BackWall().SetTransparent(false);
        chart.BackWall().SetSize(6);
        chart.LeftWall().SetSize(6);
        chart.BottomWall().SetSize(6);
        chart.RightWall().SetVisible(true);
        chart.RightWall().SetSize(4);
        // labels on all four sides
        TLineSeries* series[2] = {new TLineSeries(&chart), new TLineSeries(&chart)};
        for (int i = 0; i <= 10; ++i) {
            series[0]->AddPoint(i, i * 0.5);
            series[1]->AddPoint(i * 100, 1000 - i * 75);
        }
        series[1]->SetVertAxis(aRightAxis);
        series[1]->SetHorizAxis(aTopAxis);
        for (TLineSeries* l : series) l->SetParentChart(&chart);
        TChartWall* walls[] = {&chart.BackWall(), &chart.LeftWall(), &chart.BottomWall(), &chart.RightWall()};
        TChartAxis* axes[] = {chart.LeftAxis(), chart.RightAxis(), chart.TopAxis(), chart.BottomAxis()};
        auto drawWalls = [&](bool drawn) {
            for (TChartWall* w : walls) {
                w->SetTransparent(!drawn);
                w->Pen().SetVisible(drawn);
            }
        };
        // the letters where they stand, with the walls drawn as nothing (the layout stays)
        drawWalls(false);
        const Mask letters = Differing(chart, W, H, [&](bool second) {
            for (TChartAxis* a : axes) a->LabelsFont().SetColor(second ? clRed : clBlack);
        });
        drawWalls(true);
        const Mask wallPixels = Differing(chart, W, H, [&](bool second) {
            for (TChartWall* w : walls) {
                w->SetColor(second ? clFuchsia : clYellow);
                w->Pen().SetColor(second ? clLime : clBlack);
            }
        });
        ASSERT_GT(letters.Count(), 200);
        ASSERT_GT(wallPixels.Count(), 2000);
        EXPECT_EQ(Shared(letters, wallPixels), 0) << "wall pixels over label letters";
        SaveIfFailed(chart, W, H, name);
    }
}

TEST(DepthAxisRoom, LabelsKeepApartAndTheTitleStandsBeyondThem) {
    EnsureGuiApplication();
    struct Case {
        int width, height, percent;
        bool orthogonal;
        int angle;
    };
    const Case cases[] = {{400, 250, 15, true, 45},
                          {600, 400, 80, true, 45},
                          {600, 400, 60, true, 60},
                          {600, 400, 80, false, 345},
                          {500, 300, 40, true, 30}};
    constexpr int kSeries = 3;
    for (const Case& k : cases) {
        const std::string name = "depth_" + std::to_string(k.width) + "_" + std::to_string(k.percent) + "_" +
                                 std::to_string(k.orthogonal) + "_" + std::to_string(k.angle);
        SCOPED_TRACE(name);
        TChart chart(nullptr);
        chart.SetChart3DPercent(k.percent);
        chart.View3DOptions().SetOrthogonal(k.orthogonal);
        if (k.orthogonal)
            chart.View3DOptions().SetOrthoAngle(k.angle);
        else
            chart.View3DOptions().SetRotation(k.angle);
        TChartAxis* depth = chart.DepthAxis();
        depth->SetVisible(true);
        depth->Title().SetCaption("Depth");
        for (int s = 0; s < kSeries; ++s) {
            auto* line = new TLineSeries(&chart);
            line->SetParentChart(&chart);
            for (int i = 0; i < 10; ++i) line->AddPoint(i, (i * 7 + s * 3) % 10);
        }
        auto labelPixels = [&] {
            return Differing(chart, k.width, k.height,
                             [&](bool second) { depth->LabelsFont().SetColor(second ? clRed : clBlack); });
        };
        const Mask all = labelPixels();
        const Mask title = Differing(chart, k.width, k.height,
                                     [&](bool second) { depth->Title().Font().SetColor(second ? clRed : clBlack); });
        ASSERT_GT(title.Count(), 20);
        EXPECT_EQ(Shared(all, title), 0) << "a label runs into the title";
        // each label alone, the others' texts emptied: where it stands, and whether it was kept
        std::vector<Mask> drawn;
        for (int only = 0; only < kSeries; ++only) {
            chart.OnGetAxisLabel = [only](TChartAxis*, TChartSeries*, int index, std::string& text) {
                if (index != only) text.clear();
            };
            const Mask alone = labelPixels();
            // a label kept has all its letters in the full picture, one left out only some
            if (Shared(alone, all) * 10 >= alone.Count() * 9) drawn.push_back(alone);
        }
        chart.OnGetAxisLabel = nullptr;
        ASSERT_FALSE(drawn.empty());
        // where the depth has room for them, none is left out
        if (k.percent >= 60) {
            EXPECT_EQ(drawn.size(), std::size_t{kSeries});
        }
        for (std::size_t i = 0; i < drawn.size(); ++i)
            for (std::size_t j = i + 1; j < drawn.size(); ++j)
                EXPECT_EQ(Shared(drawn[i], drawn[j]), 0) << "labels " << i << " and " << j << " overlap";
        SaveIfFailed(chart, k.width, k.height, name);
    }
}

// The labels at an axis' ends keep the margin from the legend beside them that the plot
// keeps: a date a pixel from the legend's frame reads as touching it.
TEST(LegendRoom, EndLabelsKeepTheLegendsMargin) {
    EnsureGuiApplication();
    constexpr int W = 500, H = 300, Margin = 10;
    TChart chart(nullptr);
    chart.SetView3D(false);
    chart.Legend().SetHorizMargin(Margin);
    auto* s = new TLineSeries(&chart);
    s->SetParentChart(&chart);
    for (int i = 0; i < 49; ++i) s->AddPoint(EncodeDate(2026, 12, 8) + i / 24.0, 14 + (i * 7) % 13);
    s->XValues()->SetDateTime(true);
    const Mask letters = Differing(
        chart, W, H, [&](bool second) { chart.BottomAxis()->LabelsFont().SetColor(second ? clRed : clBlack); });
    ASSERT_GT(letters.Count(), 100);
    EXPECT_LT(letters.Bounds().maxX, chart.Legend().ShapeBounds().Left - Margin);
    SaveIfFailed(chart, W, H, "legend_margin");
}

}  // namespace

namespace {

// Seen from the right (OrthoAngle past 90) the depth runs left into the series' room: the
// labels still show whole, beside it; the title keeps from the labels what a side axis
// keeps between its labels' letters and its title's: two blanks; and the right axis'
// labels stay beside their ticks, the depth texts below them.
TEST(DepthAxisRoom, LabelsShowBesideTheSeriesAndTheTitleKeepsItsGap) {
    EnsureGuiApplication();
    constexpr int W = 500, H = 350, kSeries = 4;
    for (int angle : {135, 90}) {
        SCOPED_TRACE(angle);
        TChart chart(nullptr);
        chart.SetChart3DPercent(40);
        chart.View3DOptions().SetOrthoAngle(angle);
        TChartAxis* depth = chart.DepthAxis();
        depth->SetVisible(true);
        depth->Title().SetCaption("Depth title");
        std::vector<TLineSeries*> lines;
        for (int s = 0; s < kSeries; ++s) {
            lines.push_back(new TLineSeries(&chart));
            lines.back()->SetParentChart(&chart);
            lines.back()->SetTitle("Series " + std::to_string(s));
            if (s % 2) lines.back()->SetVertAxis(aRightAxis);
            // a tenth of the range up at the right end, across the labels' rows along the depth
            for (int i = 0; i < 10; ++i) lines.back()->AddPoint(i, i < 7 ? (i * 7 + s * 3) % 10 : 1);
        }
        const Mask series = Differing(chart, W, H, [&](bool second) {
            for (TLineSeries* l : lines) l->SetSeriesColor(second ? clFuchsia : clRed);
        });
        auto inkOf = [&](TPlotFont& font) {
            return Differing(chart, W, H, [&](bool second) { font.SetColor(second ? clRed : clBlack); });
        };
        const Mask labels = inkOf(depth->LabelsFont()), title = inkOf(depth->Title().Font());
        ASSERT_GT(labels.Count(), 20);
        // each label alone: kept whole, clear of the series' pixels
        int shown = 0;
        for (int only = 0; only < kSeries; ++only) {
            chart.OnGetAxisLabel = [only](TChartAxis*, TChartSeries*, int index, std::string& text) {
                if (index != only) text.clear();
            };
            const Mask alone = inkOf(depth->LabelsFont());
            if (Shared(alone, labels) * 10 < alone.Count() * 9) continue;
            ++shown;
            const Mask::Box b = alone.Bounds();
            const auto inside = [&b, &series](int p) {
                const int x = series.X(p), y = series.Y(p);
                return x >= b.minX && x <= b.maxX && y >= b.minY && y <= b.maxY;
            };
            EXPECT_EQ(std::count_if(series.pixels.begin(), series.pixels.end(), inside), 0) << "label " << only;
        }
        chart.OnGetAxisLabel = nullptr;
        // at 135 the depth has room for the four rows' labels (at 90 it has no depth)
        if (angle == 135) {
            EXPECT_EQ(shown, kSeries);
        }
        TBitmap font(1, 1);
        font.Canvas().Font().Assign(&depth->LabelsFont());
        EXPECT_GE(title.Bounds().minX - labels.Bounds().maxX, 2 * font.Canvas().TextWidth(" "));
        // seen straight (at 90 the depth has no width on the screen) the right axis' line
        // stands where it is laid out
        TChartAxis* right = chart.RightAxis();
        if (angle == 90) {
            EXPECT_LE(inkOf(right->LabelsFont()).Bounds().minX - right->AxisLinePos,
                      right->TicksSize() + font.Canvas().TextWidth(" "));
        }
        SaveIfFailed(chart, W, H, "depth_item_" + std::to_string(angle));
    }
}

}  // namespace
