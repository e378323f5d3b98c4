// The standalone index builder against the cost of merely reading the
// recording once (the I/O floor), in the same run, and the time-span probe
// against the header load it cannot avoid.

#include <benchmark/benchmark.h>

#include "Buffer.h"
#include "FileProbe.h"
#include "IndexCreate.h"
#include "KQMTypes.h"
#include "RecordingWriter.h"
#include "TempDir.h"

#include <memory>
#include <vector>

namespace {

constexpr int RECORDS = 100000;

// One recording for the whole run: 100000 records of one 64-sample block,
// sync words and checksums, like a short real acquisition.
const std::string& Recording() {
    static TTempDir Dir;
    static const std::string Path = [] {
        const std::string P = Dir.File("bench.kqm");
        TRecHeader H;
        H.MeasMain = 2;
        H.MeasSub = 1;
        H.ProtocolFlags = 0x7;
        TRecordingWriter W(P, H, false);
        TRecord R;
        TRecSampleBlock B;
        B.Samples.assign(64, 9);
        R.Blocks.push_back(B);
        for (int I = 0; I < RECORDS; ++I) {
            R.Time = 1000000 + std::uint64_t(I) * 10;
            W.Write(R);
        }
        W.Close();
        return P;
    }();
    return Path;
}

void BM_ReadWholeFile(benchmark::State& State) {
    std::vector<std::uint8_t> Buf(65536);
    for (auto _ : State) {
        TFileStreamBuffered S(Recording(), fmOpenRead | fmShareDenyWrite, 0);
        std::int64_t Total = 0;
        for (std::int32_t N; (N = S.Read(Buf.data(), std::int32_t(Buf.size()))) > 0;) Total += N;
        benchmark::DoNotOptimize(Total);
    }
    State.counters["records/s"] =
        benchmark::Counter(double(RECORDS) * double(State.iterations()), benchmark::Counter::kIsRate);
}

void BM_IndexCreate(benchmark::State& State) {
    const std::string Idx = Recording() + ".idx";
    for (auto _ : State) IndexCreate(Recording(), Idx);
    State.counters["records/s"] =
        benchmark::Counter(double(RECORDS) * double(State.iterations()), benchmark::Counter::kIsRate);
}

void BM_HeaderLoad(benchmark::State& State) {
    for (auto _ : State) {
        TFileStreamBuffered S(Recording(), fmOpenRead | fmShareDenyWrite, 4096);
        auto H = CreateBlock("HeaderPreamble", 0, 0);
        H->Load(S);
        benchmark::DoNotOptimize(H.get());
    }
}

void BM_GetTimeFromKQM(benchmark::State& State) {
    for (auto _ : State) {
        std::int64_t A = 0, B = 0;
        benchmark::DoNotOptimize(GetTimeFromKQM(Recording(), A, B));
    }
}

BENCHMARK(BM_ReadWholeFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IndexCreate)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HeaderLoad)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GetTimeFromKQM)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
