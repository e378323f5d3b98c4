// Filling a series with one sample block (what the viewer does per shot)
// beside plain vectors of the same values, and the dependent copy of a
// line series, in the same run.
#include <benchmark/benchmark.h>

#include <vector>

#include "AxisPanel.h"
#include "ChartAxis.h"
#include "ChartSeries.h"

namespace {

constexpr int kSamples = 2048;

void BM_SeriesAddPoints(benchmark::State& state) {
    for (auto _ : state) {
        TChartSeries s(nullptr);
        for (int i = 0; i < kSamples; ++i) s.AddPoint(i * 0.25, (i * 7919) % 255);
        benchmark::DoNotOptimize(s.YValues()->HighestValue());
    }
    state.SetItemsProcessed(state.iterations() * kSamples);
}

void BM_VectorBaseline(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<double> x, y;
        for (int i = 0; i < kSamples; ++i) {
            x.push_back(i * 0.25);
            y.push_back((i * 7919) % 255);
        }
        double hi = y[0];
        for (double v : y) hi = v > hi ? v : hi;
        benchmark::DoNotOptimize(hi);
    }
    state.SetItemsProcessed(state.iterations() * kSamples);
}

// A line series that follows a point series, refilled from it.
void BM_DependentRefill(benchmark::State& state) {
    TCustomAxisPanel chart(nullptr);
    auto* points = new TChartSeries(&chart);
    auto* line = new TChartSeries(&chart);
    points->SetParentChart(&chart);
    line->SetParentChart(&chart);
    for (int i = 0; i < kSamples; ++i) points->AddPoint(i * 0.25, (i * 7919) % 255);
    line->SetDataSource(points);
    for (auto _ : state) line->RefillFromSource(points);
    state.SetItemsProcessed(state.iterations() * kSamples);
}

// Value to pixel for every point, as one redraw of a series does.
void BM_ValueToPixel(benchmark::State& state) {
    TCustomAxisPanel chart(nullptr);
    auto* s = new TChartSeries(&chart);
    s->SetParentChart(&chart);
    for (int i = 0; i < kSamples; ++i) s->AddPoint(i * 0.25, (i * 7919) % 255);
    chart.SetPlotRect(Rect(40, 20, 780, 560));
    for (int i = 0; i < chart.AxesList().Count(); ++i) {
        chart.AxesList()[i]->AdjustAxisRange();
        chart.AxesList()[i]->CalcAxisPixels();
    }
    for (auto _ : state) {
        long sum = 0;
        for (int i = 0; i < kSamples; ++i) sum += s->PointScreenX(i) + s->PointScreenY(i);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kSamples);
}

}  // namespace

BENCHMARK(BM_SeriesAddPoints)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_VectorBaseline)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DependentRefill)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ValueToPixel)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
