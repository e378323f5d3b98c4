// One shot's redraw at 800 x 600: four sample blocks of 2048 samples as point
// series, each with its line series (none, linear or the smooth curve); the
// viewer's own scene at 833 x 500 (blocks of 64, 512 and 2048 samples of a pulse
// on a noise floor, against a time-stamp axis labelled to the nanosecond); each
// beside the same scene drawn by QCustomPlot in the same run; and the spline of
// one block.
//
// Same work on both sides: lines and markers without antialiasing (the peer's
// antialiased elements are aeNone), text drawn smoothed as the toolkit draws it by
// default on both, the peer's adaptive sampling off (it would drop points that
// the engine draws), its tick-label cache left on as it ships.
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
#include "EchoShot.h"
#include "LineSeries.h"

namespace {

using namespace echoshot;

enum Enhancement { None = 0, Linear = 1, Smooth = 2 };

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
        TPointSeries* points = AddPoints(chart, k, b);
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
    plot.setNotAntialiasedElements(QCP::aeAll);
    plot.setAntialiasedElements(QCP::aeNone);
    for (int b = 0; b < kBlocks; ++b) {
        const Block& k = shot[static_cast<std::size_t>(b)];
        const TColor tc = kColors[b];
        const QColor colour(GetRValue(tc), GetGValue(tc), GetBValue(tc));
        QCPGraph* points = plot.addGraph();
        points->setAdaptiveSampling(false);
        points->setData(QVector<double>(k.x.begin(), k.x.end()), QVector<double>(k.y.begin(), k.y.end()), true);
        points->setLineStyle(QCPGraph::lsNone);
        points->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssSquare, colour, colour, 3));
        if (mode == None) continue;
        QCPGraph* line = plot.addGraph();
        line->setAdaptiveSampling(false);
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

// The viewer's scene: three blocks of 64, 512 and 2048 samples one after the
// other on a time axis of 1 ns samples.
constexpr int VW = 833;
constexpr int VH = 500;
constexpr int kViewerBlocks = 3;
constexpr int kViewerSizes[kViewerBlocks] = {64, 512, 2048};
const TColor kViewerColors[kViewerBlocks] = {0x0000FF, 0x008000, 0x800000};

std::vector<Block> ViewerShot() {
    std::vector<Block> blocks(kViewerBlocks);
    for (int b = 0; b < kViewerBlocks; ++b) {
        Block& k = blocks[static_cast<std::size_t>(b)];
        const int n = kViewerSizes[b];
        const double centre = n * 0.4, width = n / 24.0 + 2;
        for (int i = 0; i < n; ++i) {
            k.x.push_back(12.3456789 + b * 0.4e-6 + i * 1e-9);
            const double pulse = 180 * std::exp(-(i - centre) * (i - centre) / (2 * width * width));
            k.y.push_back(std::round(20 + pulse + ((i * 7919 + b * 31) % 7) - 3));
        }
    }
    return blocks;
}

constexpr int kViewerPoints = 64 + 512 + 2048;

void BM_Chart_ViewerScene(benchmark::State& state) {
    Setup();
    const auto mode = static_cast<Enhancement>(state.range(0));
    const auto shot = ViewerShot();
    TChart chart;
    chart.SetView3D(false);
    chart.SetSize(VW, VH);
    chart.Legend().SetVisible(false);
    chart.Title().SetVisible(false);
    chart.BottomAxis()->Title().SetCaption("Time stamp [sec]");
    chart.BottomAxis()->SetIncrement(1e-9);
    chart.BottomAxis()->SetAxisValuesFormat("0.000 000 000");
    for (int b = 0; b < kViewerBlocks; ++b) {
        const Block& k = shot[static_cast<std::size_t>(b)];
        TLineSeries* line = nullptr;
        if (mode != None) {
            line = new TLineSeries(&chart);
            line->SetParentChart(&chart);
            line->SetSeriesColor(kViewerColors[b]);
        }
        auto* points = new TPointSeries(&chart);
        points->SetParentChart(&chart);
        points->SetSeriesColor(kViewerColors[b]);
        points->Pointer().SetHorizSize(1);
        points->Pointer().SetVertSize(1);
        for (std::size_t i = 0; i < k.x.size(); ++i) points->AddPoint(k.x[i], k.y[i]);
        if (mode == Linear) {
            line->SetDataSource(points);
        } else if (mode == Smooth) {
            const Block s = Spline(k);
            for (std::size_t i = 0; i < s.x.size(); ++i) line->AddPoint(s.x[i], s.y[i]);
        }
    }
    TBitmap target(VW, VH);
    for (auto _ : state) {
        chart.Invalidate();
        chart.Draw(&target.Canvas(), TRect{0, 0, VW, VH});
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kViewerPoints);
}

void BM_QCustomPlot_ViewerScene(benchmark::State& state) {
    Setup();
    const auto mode = static_cast<Enhancement>(state.range(0));
    const auto shot = ViewerShot();
    QCustomPlot plot;
    plot.resize(VW, VH);
    plot.setNotAntialiasedElements(QCP::aeAll);
    plot.setAntialiasedElements(QCP::aeNone);
    plot.xAxis->setLabel("Time stamp [sec]");
    plot.xAxis->setNumberFormat("f");
    plot.xAxis->setNumberPrecision(9);
    for (int b = 0; b < kViewerBlocks; ++b) {
        const Block& k = shot[static_cast<std::size_t>(b)];
        const TColor tc = kViewerColors[b];
        const QColor colour(GetRValue(tc), GetGValue(tc), GetBValue(tc));
        if (mode != None) {
            QCPGraph* line = plot.addGraph();
            line->setAdaptiveSampling(false);
            line->setPen(QPen(colour, 1));
            const Block s = mode == Linear ? k : Spline(k);
            line->setData(QVector<double>(s.x.begin(), s.x.end()), QVector<double>(s.y.begin(), s.y.end()), true);
            line->setLineStyle(QCPGraph::lsLine);
        }
        QCPGraph* points = plot.addGraph();
        points->setAdaptiveSampling(false);
        points->setData(QVector<double>(k.x.begin(), k.x.end()), QVector<double>(k.y.begin(), k.y.end()), true);
        points->setLineStyle(QCPGraph::lsNone);
        points->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssSquare, Qt::black, colour, 3));
    }
    for (auto _ : state) {
        plot.rescaleAxes();
        QPixmap pm = plot.toPixmap(VW, VH);
        benchmark::DoNotOptimize(pm);
    }
    state.SetItemsProcessed(state.iterations() * kViewerPoints);
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
BENCHMARK(BM_Chart_ViewerScene)->Arg(None)->Arg(Linear)->Arg(Smooth)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QCustomPlot_ViewerScene)->Arg(None)->Arg(Linear)->Arg(Smooth)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Spline_OneBlock)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    // the toolkit keeps its own arguments; the benchmark takes the rest
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
