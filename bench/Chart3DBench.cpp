// The viewer's scene (four line series of 2048 samples with markers) redrawn as a
// flat chart and, in the same run, on a 3D chart in each projection: lines become
// bands through each series' depth and markers become boxes.

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

#include "Chart.h"
#include "ChartControl.h"
#include "GuiApplication.h"
#include "LineSeries.h"

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 500;
constexpr int kSamples = 2048;
constexpr int kSeries = 4;

enum Scene { Flat, Orthogonal, Rotated, Perspective };

std::unique_ptr<TChart> MakeChart(Scene scene) {
    auto chart = std::make_unique<TChart>();
    chart->SetSize(kWidth, kHeight);
    chart->SetView3D(scene != Flat);
    chart->View3DOptions().SetOrthogonal(scene == Orthogonal);
    chart->View3DOptions().SetPerspective(scene == Perspective ? 15 : 0);
    chart->BackWall().SetTransparent(false);
    chart->BackWall().SetColor(clWhite);
    for (int s = 0; s < kSeries; ++s) {
        auto* series = new TLineSeries(chart.get());
        series->SetParentChart(chart.get());
        series->Pointer().SetVisible(true);
        series->Pointer().SetHorizSize(2);
        series->Pointer().SetVertSize(2);
        for (int i = 0; i < kSamples; ++i)
            series->AddPoint(i, 128 + 100 * std::sin(i * 0.01 * (s + 1)) * std::exp(-i / 1500.0));
    }
    return chart;
}

void BM_ViewerScene(benchmark::State& state) {
    EnsureGuiApplication();
    auto chart = MakeChart(static_cast<Scene>(state.range(0)));
    TBitmap target(kWidth, kHeight);
    for (auto _ : state) {
        chart->Invalidate();
        chart->Paint(target.Canvas(), TRect{0, 0, kWidth, kHeight});
        benchmark::DoNotOptimize(target.GetPixel(1, 1));
    }
    state.SetItemsProcessed(state.iterations() * kSamples * kSeries);
}
BENCHMARK(BM_ViewerScene)->ArgName("flat0_ortho1_rotated2_persp3")->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
