// Block tables against direct byte decoding, in the same run: field access
// by name and by a resolved handle, a sample block loaded through the tables
// and copied straight from its bytes, and a whole header load.

#include <benchmark/benchmark.h>

#include "KQMTypes.h"
#include "RecordingWriter.h"
#include "Stream.h"

#include <cstring>

namespace {

std::vector<std::uint8_t> MeasBytes() {
    TRecHeader H;
    TRecord R;
    R.Time = 123456789;
    TRecSampleBlock B;
    B.Samples.assign(1020, 7);
    R.Blocks.push_back(B);
    return TRecordingWriter::EncodeRecord(H, R);
}

void Fill(TMemoryStream& S, const std::vector<std::uint8_t>& B) {
    S.Write(B.data(), static_cast<std::int32_t>(B.size()));
}

void BM_FieldByName(benchmark::State& State) {
    TMemoryStream S;
    Fill(S, MeasBytes());
    auto M = CreateBlock("MeasBlockHeader", 3, 1);
    S.SetPosition(0);
    M->Load(S);
    for (auto _ : State) benchmark::DoNotOptimize(M->GetFieldS("NumSampleBlocks")->GetUInt());
}
BENCHMARK(BM_FieldByName);

void BM_FieldByHandle(benchmark::State& State) {
    TMemoryStream S;
    Fill(S, MeasBytes());
    auto M = CreateBlock("MeasBlockHeader", 3, 1);
    S.SetPosition(0);
    M->Load(S);
    const TField* F = M->GetFieldS("NumSampleBlocks");
    for (auto _ : State) benchmark::DoNotOptimize(F->GetUInt());
}
BENCHMARK(BM_FieldByHandle);

void BM_MeasBlockHeaderTables(benchmark::State& State) {
    TMemoryStream S;
    Fill(S, MeasBytes());
    auto M = CreateBlock("MeasBlockHeader", 3, 1);
    const TField* T = M->GetFieldS("Time4nsec");
    for (auto _ : State) {
        S.SetPosition(0);
        M->Load(S);
        benchmark::DoNotOptimize(T->GetInt64());
    }
}
BENCHMARK(BM_MeasBlockHeaderTables);

void BM_SampleBlockTables(benchmark::State& State) {
    TMemoryStream S;
    Fill(S, MeasBytes());
    auto B = CreateBlock("SampleBlock", 1, 0);
    for (auto _ : State) {
        S.SetPosition(24);
        B->Load(S);
        benchmark::DoNotOptimize(B->GetFieldI(3)->X().data());
    }
    State.SetBytesProcessed(static_cast<std::int64_t>(State.iterations()) * 1024);
}
BENCHMARK(BM_SampleBlockTables);

// Baseline: what a decoder reading the same bytes itself does.
void BM_SampleBlockDirect(benchmark::State& State) {
    TMemoryStream S;
    Fill(S, MeasBytes());
    std::uint8_t Buf[1024];
    std::uint8_t Samples[2048];
    for (auto _ : State) {
        S.SetPosition(24);
        S.Read(Buf, 4);
        const int N = Buf[3] * 4;
        S.Read(Samples, N);
        benchmark::DoNotOptimize(Samples);
    }
    State.SetBytesProcessed(static_cast<std::int64_t>(State.iterations()) * 1024);
}
BENCHMARK(BM_SampleBlockDirect);

void BM_HeaderLoad(benchmark::State& State) {
    const auto Bytes = TRecordingWriter::EncodeHeader(TRecHeader());
    TMemoryStream S;
    Fill(S, Bytes);
    THeaderPreamble H;
    for (auto _ : State) {
        S.SetPosition(0);
        H.Load(S);
        benchmark::DoNotOptimize(H.GetBlockCount());
    }
}
BENCHMARK(BM_HeaderLoad);

}  // namespace

BENCHMARK_MAIN();
