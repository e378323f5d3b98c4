// The viewer's scene at 800 x 600 (four sample blocks of 2048 samples as point
// series, each with its linear line series) redrawn with marks on every 16th
// point and a cursor tool that follows the mouse, beside the same scene without
// them; and one move of the cursor, which draws only the cursor lines. Then a long line
// series of which the bottom axis shows 21 points, redrawn with and without its marks.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "Chart.h"
#include "ChartAxis.h"
#include "ChartControl.h"
#include "ChartTools.h"
#include "EchoShot.h"
#include "GuiApplication.h"
#include "LineSeries.h"
#include "SeriesMarks.h"

namespace {

using namespace echoshot;

std::unique_ptr<TChart> Scene(bool withMarksAndCursor) {
    auto chart = std::make_unique<TChart>();
    chart->SetView3D(false);
    chart->SetSize(W, H);
    const std::vector<Block> shot = Shot();
    for (int b = 0; b < kBlocks; ++b) {
        TPointSeries* points = AddPoints(*chart, shot[static_cast<std::size_t>(b)], b);
        auto* line = new TLineSeries(chart.get());
        line->SetParentChart(chart.get());
        line->SetSeriesColor(kColors[b]);
        line->SetDataSource(points);
        if (!withMarksAndCursor) continue;
        points->Marks().SetVisible(true);
        points->Marks().SetStyle(smsValue);
        points->Marks().SetDrawEvery(16);
    }
    if (withMarksAndCursor) {
        auto* cursor = new TCursorTool(chart.get());
        cursor->SetFollowMouse(true);
        cursor->SetParentChart(chart.get());
    }
    return chart;
}

void BM_ViewerScene_Redraw(benchmark::State& state) {
    EnsureGuiApplication();
    auto chart = Scene(state.range(0) != 0);
    TBitmap target(W, H);
    for (auto _ : state) {
        chart->Invalidate();
        chart->Paint(target.Canvas(), TRect{0, 0, W, H});
        benchmark::ClobberMemory();
    }
    state.SetLabel(state.range(0) ? "marks every 16th point and a cursor" : "plain");
}
BENCHMARK(BM_ViewerScene_Redraw)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_ViewerScene_CursorMove(benchmark::State& state) {
    EnsureGuiApplication();
    auto chart = Scene(true);
    TBitmap target(W, H);
    chart->Paint(target.Canvas(), TRect{0, 0, W, H});
    const TPoint c = chart->PlotCenter();
    int step = 0;
    for (auto _ : state) {
        chart->MouseMove(0, c.x + (step & 63) - 32, c.y + ((step * 7) & 31) - 16);
        ++step;
        // the moved lines reach the screen from the kept picture
        chart->Paint(target.Canvas(), TRect{0, 0, W, H});
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ViewerScene_CursorMove)->Unit(benchmark::kMicrosecond);

// A redraw costs what it can show: 21 marks of 1,000 points or of 200,000.
void BM_LongSeries_Redraw(benchmark::State& state) {
    EnsureGuiApplication();
    const int count = static_cast<int>(state.range(0));
    const bool marks = state.range(1) != 0;
    TChart chart;
    chart.SetView3D(false);
    chart.SetSize(W, H);
    auto* line = new TLineSeries(&chart);
    line->SetParentChart(&chart);
    for (int i = 0; i < count; ++i) line->AddPoint(i, 100 + (i * 37) % 101);
    line->Marks().SetVisible(marks);
    const double middle = count / 2;
    chart.BottomAxis()->SetAxisRange(middle - 10, middle + 10);
    TBitmap target(W, H);
    for (auto _ : state) {
        chart.Invalidate();
        chart.Paint(target.Canvas(), TRect{0, 0, W, H});
        benchmark::ClobberMemory();
    }
    state.SetLabel(marks ? "21 marks shown" : "marks hidden");
}
BENCHMARK(BM_LongSeries_Redraw)
    ->Args({1000, 0})
    ->Args({1000, 1})
    ->Args({200000, 0})
    ->Args({200000, 1})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
