// Index lookups against a forward scan over the same index (the baseline a
// lookup must beat), and the cost of the exported functions' guard (error
// handler plus floating-point environment) against reading the same value
// from the reader directly.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>

#include "IndexWriter.h"
#include "KQMIndex.h"
#include "KQMReader.h"
#include "RecordingWriter.h"
#include "TempDir.h"
#include "narvi.h"

namespace {

constexpr int ENTRIES = 1000000;

// One million entries: external times 100 us apart with a little jitter,
// internal times 25000 ticks apart, like a 10 kHz acquisition.
const std::string& IndexPath() {
    static TTempDir Dir;
    static const std::string Path = [] {
        TIndexFile F;
        F.Entries.reserve(ENTRIES);
        std::mt19937 Rng(7);
        for (int I = 0; I < ENTRIES; ++I)
            F.Entries.push_back({1000000 + 100 * std::uint64_t(I) + Rng() % 50, 6648 + 80 * std::int64_t(I),
                                 250000000 + 25000 * std::uint64_t(I)});
        const std::string P = Dir.File("bench.idx");
        F.Write(P);
        return P;
    }();
    return Path;
}

std::int64_t RandomTime(std::mt19937& Rng, std::int64_t Lo, std::int64_t Hi) {
    return Lo + std::int64_t(Rng() % std::uint64_t(Hi - Lo));
}

void BM_FindExternal(benchmark::State& State) {
    TIndex Index(IndexPath());
    std::mt19937 Rng(1);
    for (auto _ : State) benchmark::DoNotOptimize(Index.Find(RandomTime(Rng, Index.FirstTime(), Index.LastTime())));
}
BENCHMARK(BM_FindExternal);

void BM_FindInternal(benchmark::State& State) {
    TIndex Index(IndexPath());
    std::mt19937 Rng(1);
    for (auto _ : State)
        benchmark::DoNotOptimize(Index.FindInternal(RandomTime(Rng, 250000000, 250000000 + 25000ll * ENTRIES)));
}
BENCHMARK(BM_FindInternal);

// Baseline: walk the entries from the first until the time is reached, over
// a stretch of Range(0) entries (a full scan of a million is too slow to repeat).
void BM_ForwardScanBaseline(benchmark::State& State) {
    TIndex Index(IndexPath());
    const std::int64_t Span = State.range(0);
    std::mt19937 Rng(1);
    for (auto _ : State) {
        const std::int64_t Target = Index.FirstTime() + 100 * RandomTime(Rng, 0, Span);
        Index.First();
        while (Index.GetTimeStamp() < Target && Index.Block() < Index.Count()) Index.Next(1);
        benchmark::DoNotOptimize(Index.GetFilePosition());
    }
}
BENCHMARK(BM_ForwardScanBaseline)->Arg(1000)->Arg(100000);

const std::string& RecordingPath() {
    static TTempDir Dir;
    static const std::string Path = [] {
        const std::string P = Dir.File("bench.kqm");
        TRecordingWriter W(P, TRecHeader());
        W.Close();
        return P;
    }();
    return Path;
}

void BM_ExportedCall(benchmark::State& State) {
    NARVI_FILE_T F = nullptr;
    narvi_open(RecordingPath().c_str(), &F);
    NARVI_INT32_T Value = 0;
    for (auto _ : State) {
        narvi_get_mode_int(F, NARVI_MODE_RAW, &Value);
        benchmark::DoNotOptimize(Value);
    }
    narvi_close(F);
}
BENCHMARK(BM_ExportedCall);

void BM_DirectFieldBaseline(benchmark::State& State) {
    TKQMReader Reader(RecordingPath());
    for (auto _ : State) {
        benchmark::DoNotOptimize(&Reader);
        NARVI_INT32_T Value = Reader.RawMode() ? 1 : 0;
        benchmark::DoNotOptimize(Value);
    }
}
BENCHMARK(BM_DirectFieldBaseline);

}  // namespace

BENCHMARK_MAIN();
