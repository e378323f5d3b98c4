// One shot's redraw at 800 x 600 as the viewer shows it: four sample blocks of
// 2048 samples as point series, each with its line series (none, linear or the
// smooth curve), beside the same scene drawn by QCustomPlot in the same run;
// and the spline of one block.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPixmap>
#include <QVector>
#include <qcustomplot.h>

#include <cmath>
#include <vector>

#include "BSpline.h"
#include "Chart.h"
#include "ChartControl.h"
#include "LineSeries.h"

namespace {

constexpr int W = 800;
constexpr int H = 600;
constexpr int kBlocks = 4;
constexpr int kSamples = 2048;
const TColor kColors[kBlocks] = {clRed, clGreen, clBlue, clFuchsia};

enum Enhancement { None = 0, Linear = 1, Smooth = 2 };

// An 8-bit echo waveform: a decaying oscillation on a noise floor.
struct Block {
    std::vector<double> x, y;
};

std::vector<Block> Shot() {
    std::vector<Block> blocks(kBlocks);
    for (int b = 0; b < kBlocks; ++b) {
        Block& k = blocks[static_cast<std::size_t>(b)];
        for (int i = 0; i < kSamples; ++i) {
            const double t = i + b * 0.25;
            const double echo = 90 * std::sin(t * 0.07 + b) * std::exp(-std::abs(i - 600 - 200 * b) / 300.0);
            k.x.push_back(t);
            k.y.push_back(std::round(120 + echo + ((i * 7919 + b * 31) % 9) - 4));
        }
    }
    return blocks;
}

// The smooth curve the viewer draws through a block: 4 steps per sample, at most 600.
Block Spline(const Block& k) {
    TBSpline s;
    s.SetStepCount(4 * static_cast<int>(k.x.size()));
    s.SetPassThroughPoints(true);
    for (std::size_t i = 0; i < k.x.size(); ++i) {
        s.AddSplinePoint(k.x[i], k.y[i]);
        s.SetCorner(static_cast<int>(i) + 1, false);
    }
    Block out;
    for (int j = 0; j <= s.StepCount(); ++j) {
        const TSplinePoint p = s.PointAt(static_cast<double>(j) / s.StepCount());
        out.x.push_back(p.X);
        out.y.push_back(p.Y);
    }
    return out;
}

void Setup() { EnsureWidgetApplication(); }

void BM_Chart_ShotRedraw(benchmark::State& state) {
    Setup();
    const auto mode = static_cast<Enhancement>(state.range(0));
    const auto shot = Shot();
    TChart chart;
    chart.SetView3D(false);
    chart.SetSize(W, H);
    for (int b = 0; b < kBlocks; ++b) {
        const Block& k = shot[static_cast<std::size_t>(b)];
        auto* points = new TPointSeries(&chart);
        points->SetParentChart(&chart);
        points->SetSeriesColor(kColors[b]);
        points->Pointer().SetHorizSize(1);
        points->Pointer().SetVertSize(1);
        for (std::size_t i = 0; i < k.x.size(); ++i) points->AddPoint(k.x[i], k.y[i]);
        if (mode == None) continue;
        auto* line = new TLineSeries(&chart);
        line->SetParentChart(&chart);
        line->SetSeriesColor(kColors[b]);
        if (mode == Linear) {
            line->SetDataSource(points);
        } else {
            const Block s = Spline(k);
            for (std::size_t i = 0; i < s.x.size(); ++i) line->AddPoint(s.x[i], s.y[i]);
        }
    }
    TBitmap target(W, H);
    for (auto _ : state) {
        chart.Invalidate();
        chart.Draw(&target.Canvas(), TRect{0, 0, W, H});
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlocks * kSamples);
}

void BM_QCustomPlot_ShotRedraw(benchmark::State& state) {
    Setup();
    const auto mode = static_cast<Enhancement>(state.range(0));
    const auto shot = Shot();
    QCustomPlot plot;
    plot.resize(W, H);
    // the chart engine draws without antialiasing; so does the baseline
    plot.setNotAntialiasedElements(QCP::aeAll);
    plot.setAntialiasedElements(QCP::aeNone);
    for (int b = 0; b < kBlocks; ++b) {
        const Block& k = shot[static_cast<std::size_t>(b)];
        const TColor tc = kColors[b];
        const QColor colour(GetRValue(tc), GetGValue(tc), GetBValue(tc));
        QCPGraph* points = plot.addGraph();
        points->setData(QVector<double>(k.x.begin(), k.x.end()), QVector<double>(k.y.begin(), k.y.end()), true);
        points->setLineStyle(QCPGraph::lsNone);
        points->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssSquare, colour, colour, 3));
        if (mode == None) continue;
        QCPGraph* line = plot.addGraph();
        line->setPen(QPen(colour, 1));
        const Block s = mode == Linear ? k : Spline(k);
        line->setData(QVector<double>(s.x.begin(), s.x.end()), QVector<double>(s.y.begin(), s.y.end()), true);
        line->setLineStyle(QCPGraph::lsLine);
    }
    for (auto _ : state) {
        plot.rescaleAxes();
        QPixmap pm = plot.toPixmap(W, H);
        benchmark::DoNotOptimize(pm);
    }
    state.SetItemsProcessed(state.iterations() * kBlocks * kSamples);
}

void BM_Spline_OneBlock(benchmark::State& state) {
    const auto shot = Shot();
    for (auto _ : state) {
        const Block s = Spline(shot[0]);
        benchmark::DoNotOptimize(s.y.data());
    }
    state.SetItemsProcessed(state.iterations() * kSamples);
}

}  // namespace

BENCHMARK(BM_Chart_ShotRedraw)->Arg(None)->Arg(Linear)->Arg(Smooth)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QCustomPlot_ShotRedraw)->Arg(None)->Arg(Linear)->Arg(Smooth)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Spline_OneBlock)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    // the toolkit keeps its own arguments; the benchmark takes the rest
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
