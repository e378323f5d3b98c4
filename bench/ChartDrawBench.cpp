// A whole chart drawn off-screen (background, titles, walls, four axes with
// labels, ticks and grid) beside two baselines on a bitmap of the same size: a
// plain fill, and the repaint of a valid buffer that the control uses between draws.

#include <benchmark/benchmark.h>

#include <memory>

#include "Chart.h"
#include "ChartControl.h"
#include "GuiApplication.h"

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 500;

std::unique_ptr<TChart> MakeChart() {
    auto chart = std::make_unique<TChart>();
    chart->SetView3D(false);
    chart->SetSize(kWidth, kHeight);
    chart->Title().SetCaption("Waveform");
    chart->Foot().SetCaption("Samples");
    chart->BackWall().SetTransparent(false);
    chart->BackWall().SetColor(clWhite);
    for (TChartAxis* a : {chart->BottomAxis(), chart->LeftAxis(), chart->TopAxis(), chart->RightAxis()}) {
        a->SetAutomatic(false);
        a->SetLabelStyle(talValue);
    }
    chart->BottomAxis()->SetAxisRange(0, 2048);
    chart->TopAxis()->SetAxisRange(0, 8.192);
    chart->LeftAxis()->SetAxisRange(0, 255);
    chart->RightAxis()->SetAxisRange(-1, 1);
    chart->LeftAxis()->MinorGrid().SetVisible(true);
    return chart;
}

void BM_ChartFullDraw(benchmark::State& state) {
    EnsureGuiApplication();
    auto chart = MakeChart();
    TBitmap target(kWidth, kHeight);
    for (auto _ : state) {
        chart->Invalidate();
        chart->Paint(target.Canvas(), TRect{0, 0, kWidth, kHeight});
        benchmark::DoNotOptimize(target.GetPixel(1, 1));
    }
}
BENCHMARK(BM_ChartFullDraw)->Unit(benchmark::kMicrosecond);

void BM_BaselineRepaintFromBuffer(benchmark::State& state) {
    EnsureGuiApplication();
    auto chart = MakeChart();
    TBitmap target(kWidth, kHeight);
    chart->Paint(target.Canvas(), TRect{0, 0, kWidth, kHeight});
    for (auto _ : state) {
        chart->Paint(target.Canvas(), TRect{0, 0, kWidth, kHeight});
        benchmark::DoNotOptimize(target.GetPixel(1, 1));
    }
}
BENCHMARK(BM_BaselineRepaintFromBuffer)->Unit(benchmark::kMicrosecond);

void BM_BaselineFill(benchmark::State& state) {
    EnsureGuiApplication();
    TBitmap target(kWidth, kHeight);
    TColor c = clWhite;
    for (auto _ : state) {
        target.Canvas().Brush().SetColor(c ^= 0x010101);
        target.Canvas().FillRect(TRect{0, 0, kWidth, kHeight});
        benchmark::DoNotOptimize(target.GetPixel(1, 1));
    }
}
BENCHMARK(BM_BaselineFill)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
