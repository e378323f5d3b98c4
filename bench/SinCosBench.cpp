// The beam's extended-precision sine and cosine over the arguments the beam
// passes (pi/4 plus a float mirror angle anywhere on the circle, in a
// scrambled order), beside the C runtime's sinl and cosl in the same run:
// independent calls, as the reader makes them shot after shot, and a chain in
// which every argument waits for the previous result.
#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "SinCos.h"

namespace {

using Real = long double;

constexpr Real Pi = std::numbers::pi_v<long double>;

// Mirror angles; the argument is formed in the loop, as the beam does.
std::vector<float> MirrorAngles() {
    constexpr int Count = 4096;
    std::vector<float> Tm(Count);
    for (int I = 0; I < Count; ++I) Tm[I] = float(2 * Pi * ((I * 1531) % Count) / Count);
    return Tm;
}

void LibrarySinCos(Real X, Real& S, Real& C) { SinCosExtended(X, S, C); }

void RuntimeSinCos(Real X, Real& S, Real& C) {
    S = std::sin(X);
    C = std::cos(X);
}

template <void (*SinCos)(Real, Real&, Real&)>
void BM_Independent(benchmark::State& State) {
    const std::vector<float> Tm = MirrorAngles();
    double SumS = 0, SumC = 0;  // not long double: the call would make them go through memory as 80 bits
    for (auto _ : State)
        for (float T : Tm) {
            Real S, C;
            SinCos(Pi / 4 + T, S, C);
            SumS += double(S);
            SumC += double(C);
        }
    benchmark::DoNotOptimize(SumS);
    benchmark::DoNotOptimize(SumC);
    State.SetItemsProcessed(State.iterations() * std::int64_t(Tm.size()));
}

// The previous sine moves the next argument by no more than 2^-40, so the
// arguments stay the beam's while each call waits for the one before.
template <void (*SinCos)(Real, Real&, Real&)>
void BM_Chain(benchmark::State& State) {
    const std::vector<float> Tm = MirrorAngles();
    Real S = 0, C = 0;
    for (auto _ : State)
        for (float T : Tm) SinCos(Pi / 4 + T + S * 0x1p-40L, S, C);
    benchmark::DoNotOptimize(S);
    benchmark::DoNotOptimize(C);
    State.SetItemsProcessed(State.iterations() * std::int64_t(Tm.size()));
}

BENCHMARK(BM_Independent<LibrarySinCos>)->Name("SinCos/Independent/library");
BENCHMARK(BM_Independent<RuntimeSinCos>)->Name("SinCos/Independent/sinl_cosl");
BENCHMARK(BM_Chain<LibrarySinCos>)->Name("SinCos/Chain/library");
BENCHMARK(BM_Chain<RuntimeSinCos>)->Name("SinCos/Chain/sinl_cosl");

}  // namespace

BENCHMARK_MAIN();
