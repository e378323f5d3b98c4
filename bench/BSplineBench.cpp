// The pass-through spline of one sample block: the linear-time solve beside
// the dense elimination it replaces, in the same run.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "BSpline.h"

namespace {

std::vector<double> Samples(int n) {
    std::vector<double> y(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) y[static_cast<std::size_t>(i)] = 100 * std::sin(i * 0.05) + (i * 7919 % 13);
    return y;
}

void BM_SplineLinear(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::vector<double> y = Samples(n);
    for (auto _ : state) {
        TBSpline s;
        for (int i = 0; i < n; ++i) s.AddSplinePoint(i, y[static_cast<std::size_t>(i)]);
        s.SetPassThroughPoints(true);
        s.SetStepCount(n * 4);
        TSplinePoint sum;
        for (int k = 0; k <= s.StepCount(); ++k) {
            TSplinePoint p = s.PointAt(static_cast<double>(k) / s.StepCount());
            sum.X += p.X;
            sum.Y += p.Y;
        }
        benchmark::DoNotOptimize(sum);
    }
}

// Dense n x n elimination without pivoting and back substitution.
void BM_SplineDenseBaseline(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::vector<double> y = Samples(n);
    for (auto _ : state) {
        std::vector<double> m(static_cast<std::size_t>(n) * n, 0.0);
        auto at = [&](int r, int c) -> double& { return m[static_cast<std::size_t>(r) * n + c]; };
        std::vector<double> bx(static_cast<std::size_t>(n)), by = y;
        for (int i = 0; i < n; ++i) bx[static_cast<std::size_t>(i)] = i;
        at(0, 0) = at(n - 1, n - 1) = 1;
        for (int r = 1; r < n - 1; ++r) {
            at(r, r - 1) = at(r, r + 1) = 1.0 / 6;
            at(r, r) = 2.0 / 3;
        }
        for (int i = 0; i < n; ++i)
            for (int j = i + 1; j < n; ++j) {
                double f = at(j, i) / at(i, i);
                for (int c = 0; c < n; ++c) at(j, c) -= f * at(i, c);
                bx[static_cast<std::size_t>(j)] -= f * bx[static_cast<std::size_t>(i)];
                by[static_cast<std::size_t>(j)] -= f * by[static_cast<std::size_t>(i)];
            }
        std::vector<double> vx(static_cast<std::size_t>(n)), vy(static_cast<std::size_t>(n));
        vx[static_cast<std::size_t>(n - 1)] = bx[static_cast<std::size_t>(n - 1)];
        vy[static_cast<std::size_t>(n - 1)] = by[static_cast<std::size_t>(n - 1)];
        for (int k = n - 2; k >= 0; --k) {
            auto K = static_cast<std::size_t>(k);
            vx[K] = (bx[K] - at(k, k + 1) * vx[K + 1]) / at(k, k);
            vy[K] = (by[K] - at(k, k + 1) * vy[K + 1]) / at(k, k);
        }
        benchmark::DoNotOptimize(vx.data());
        benchmark::DoNotOptimize(vy.data());
    }
}

}  // namespace

BENCHMARK(BM_SplineLinear)->Arg(256)->Arg(2048)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SplineDenseBaseline)->Arg(256)->Arg(2048)->Unit(benchmark::kMicrosecond)->Iterations(1);
BENCHMARK_MAIN();
