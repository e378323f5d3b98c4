// Drawing through the chart canvas beside the same work done with Qt directly.

#include <benchmark/benchmark.h>

#include <QtGui/QGuiApplication>
#include <QtGui/QImage>
#include <QtGui/QLinearGradient>
#include <QtGui/QPainter>

#include <cmath>
#include <vector>

#include "GuiApplication.h"
#include "PlotCanvas.h"

namespace {

constexpr int W = 800;
constexpr int H = 600;

// A waveform-like trace of one shot: 4096 samples across the plot.
std::vector<TPoint> tracePoints() {
    std::vector<TPoint> p(4096);
    for (int i = 0; i < 4096; ++i) {
        p[static_cast<std::size_t>(i)] =
            TPoint{i * (W - 1) / 4095, H / 2 + static_cast<int>(200 * std::sin(i * 0.05) * std::exp(-i / 2000.0))};
    }
    return p;
}

struct Chart {
    TBitmap window{W, H};
    TPlotCanvas3D canvas;
    Chart() {
        EnsureGuiApplication();
        canvas.BeginDrawing(&window.Canvas(), nullptr, TRect{0, 0, W, H}, false, clWhite);
    }
};

void BM_Canvas_Polyline(benchmark::State& state) {
    Chart c;
    const auto pts = tracePoints();
    for (auto _ : state) {
        c.canvas.DrawPolyline(pts);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 4095);
}

void BM_Baseline_QtPolyline(benchmark::State& state) {
    EnsureGuiApplication();
    QImage img(W, H, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setPen(QPen(Qt::black, 1));
    const auto pts = tracePoints();
    QPolygon poly;
    for (const TPoint& q : pts) poly << QPoint(q.x, q.y);
    for (auto _ : state) {
        p.drawPolyline(poly);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 4095);
}

void BM_Canvas_LineToSegments(benchmark::State& state) {
    Chart c;
    const auto pts = tracePoints();
    for (auto _ : state) {
        c.canvas.MoveToPoint(pts[0]);
        for (std::size_t i = 1; i < pts.size(); ++i) c.canvas.LineToPoint(pts[i]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 4095);
}

void BM_Baseline_QtLineSegments(benchmark::State& state) {
    EnsureGuiApplication();
    QImage img(W, H, QImage::Format_RGB32);
    QPainter p(&img);
    p.setPen(QPen(Qt::black, 1));
    const auto pts = tracePoints();
    for (auto _ : state) {
        for (std::size_t i = 1; i < pts.size(); ++i) p.drawLine(pts[i - 1].x, pts[i - 1].y, pts[i].x, pts[i].y);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 4095);
}

void BM_Canvas_GradientFill(benchmark::State& state) {
    Chart c;
    for (auto _ : state) {
        c.canvas.FillGradient(TRect{0, 0, W, H}, clWhite, 50, gdTopBottom, clYellow);
        benchmark::ClobberMemory();
    }
}

void BM_Baseline_QtGradientFill(benchmark::State& state) {
    EnsureGuiApplication();
    QImage img(W, H, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient g(0, H, 0, 0);
    g.setColorAt(0, Qt::white);
    g.setColorAt(1, Qt::yellow);
    for (auto _ : state) {
        p.fillRect(QRect(0, 0, W, H), g);
        benchmark::ClobberMemory();
    }
}

void BM_Canvas_RepaintFromBuffer(benchmark::State& state) {
    Chart c;
    c.canvas.PresentBuffer(&c.window.Canvas(), &c.window.Canvas(), TPoint{0, 0});
    for (auto _ : state) {
        benchmark::DoNotOptimize(c.canvas.RepaintFromBuffer());
        benchmark::ClobberMemory();
    }
}

void BM_Baseline_QtImageCopy(benchmark::State& state) {
    EnsureGuiApplication();
    QImage src(W, H, QImage::Format_RGB32);
    src.fill(Qt::red);
    QImage dst(W, H, QImage::Format_RGB32);
    QPainter p(&dst);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    for (auto _ : state) {
        p.drawImage(0, 0, src);
        benchmark::ClobberMemory();
    }
}

void BM_Canvas_MeasureText(benchmark::State& state) {
    Chart c;
    TPlotFont font;
    c.canvas.SelectFont(font);
    for (auto _ : state) benchmark::DoNotOptimize(c.canvas.MeasureTextWidth("1234.567"));
}

void BM_Baseline_QtMeasureText(benchmark::State& state) {
    EnsureGuiApplication();
    QFont f("Arial");
    f.setPixelSize(11);
    for (auto _ : state) {
        QFontMetrics fm(f);
        benchmark::DoNotOptimize(fm.horizontalAdvance(QStringLiteral("1234.567")));
    }
}

// The one-pixel line path alone: a 2,048-point trace and a dotted grid of 30 by 40 lines
// on the canvas's bitmap, beside the painter's own drawPolyline and dotted lines on an
// image of the same size. Arg 1 gives the canvas a clip with a second rectangle off the
// bitmap, which sends the same pixels through the paint engine instead.
std::vector<TPoint> thinTrace() {
    std::vector<TPoint> p(2048);
    for (int i = 0; i < 2048; ++i)
        p[static_cast<std::size_t>(i)] =
            TPoint{i * (W - 1) / 2047, H / 2 + static_cast<int>(250 * std::sin(i * 0.031) * std::cos(i * 0.0047))};
    return p;
}

void thinCanvasClip(TCanvas& c, bool throughEngine) {
    if (!throughEngine) return;
    c.BeginPath();
    c.Rectangle(0, 0, W, H);
    c.Rectangle(-100, -100, -90, -90);
    c.EndPath();
    c.ClipToPath();
}

void BM_Canvas_ThinPolyline(benchmark::State& state) {
    EnsureGuiApplication();
    TBitmap bmp(W, H);
    TCanvas& c = bmp.Canvas();
    thinCanvasClip(c, state.range(0) != 0);
    const auto pts = thinTrace();
    for (auto _ : state) {
        c.Polyline(pts.data(), static_cast<int>(pts.size()));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 2047);
}

void BM_Baseline_QtThinPolyline(benchmark::State& state) {
    EnsureGuiApplication();
    QImage img(W, H, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setPen(QPen(Qt::black, 1));
    QPolygon poly;
    for (const TPoint& q : thinTrace()) poly << QPoint(q.x, q.y);
    for (auto _ : state) {
        p.drawPolyline(poly);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 2047);
}

void BM_Canvas_DottedGrid(benchmark::State& state) {
    EnsureGuiApplication();
    TBitmap bmp(W, H);
    TCanvas& c = bmp.Canvas();
    thinCanvasClip(c, state.range(0) != 0);
    c.Pen().SetStyle(psDot);
    c.Pen().SetColor(clGray);
    for (auto _ : state) {
        for (int y = 10; y < H; y += 20) {
            c.MoveTo(0, y);
            c.LineTo(W, y);
        }
        for (int x = 10; x < W; x += 20) {
            c.MoveTo(x, 0);
            c.LineTo(x, H);
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * (H / 20 + W / 20));
}

void BM_Baseline_QtDottedGrid(benchmark::State& state) {
    EnsureGuiApplication();
    QImage img(W, H, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    QPen pen(Qt::gray, 1);
    pen.setCosmetic(true);
    pen.setCapStyle(Qt::FlatCap);
    pen.setDashPattern({3, 3});
    p.setPen(pen);
    for (auto _ : state) {
        for (int y = 10; y < H; y += 20) p.drawLine(0, y, W, y);
        for (int x = 10; x < W; x += 20) p.drawLine(x, 0, x, H);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * (H / 20 + W / 20));
}

}  // namespace

BENCHMARK(BM_Canvas_Polyline);
BENCHMARK(BM_Baseline_QtPolyline);
BENCHMARK(BM_Canvas_LineToSegments);
BENCHMARK(BM_Baseline_QtLineSegments);
BENCHMARK(BM_Canvas_ThinPolyline)->Arg(0)->Arg(1);
BENCHMARK(BM_Baseline_QtThinPolyline);
BENCHMARK(BM_Canvas_DottedGrid)->Arg(0)->Arg(1);
BENCHMARK(BM_Baseline_QtDottedGrid);
BENCHMARK(BM_Canvas_GradientFill);
BENCHMARK(BM_Baseline_QtGradientFill);
BENCHMARK(BM_Canvas_RepaintFromBuffer);
BENCHMARK(BM_Baseline_QtImageCopy);
BENCHMARK(BM_Canvas_MeasureText);
BENCHMARK(BM_Baseline_QtMeasureText);
BENCHMARK_MAIN();
