// Reading every shot of a recording through narvi_read, beside a plain
// sequential read() of the same file in the same run, at four record sizes
// (about 100 bytes, 288 bytes, 800 bytes and 2 KB), and again with a trace
// callback that does nothing, as the viewer always has one; each read reports
// its ratio to the plain read (x_plain). And random seek-and-read pairs on a
// recording of 10,000,000 records, with the median and 99th percentile of one
// pair, beside two plain reads at the same places. Every recording is written
// once into a temporary folder, which goes when the program ends.

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "IndexWriter.h"
#include "RecordingWriter.h"
#include "TempDir.h"
#include "narvi.h"

namespace {

TTempDir& Folder() {
    static TTempDir Dir;
    return Dir;
}

// Shots of a 3.1 recording with sync words and checksums: a low-power and a
// high-power block, every eighth waveform continued in the next record.
struct TBenchFile {
    std::string Path;
    std::int64_t Size = 0;
    std::uint32_t Shots = 0;

    TBenchFile(const std::string& Name, std::size_t LoCount, std::size_t HiCount, std::int64_t Bytes) {
        // Encoder counts as a turning mirror gives them: the fine count runs
        // through its period, so that no two angles in a row repeat.
        Path = Folder().File(Name + ".kqm");
        TRecHeader H;
        H.ProtocolFlags = 0x7;
        TRecordingWriter W(Path, H);
        std::vector<std::uint8_t> Lo(LoCount), Hi(HiCount), Tail(60);
        for (std::size_t I = 0; I < Lo.size(); ++I) Lo[I] = std::uint8_t(I * 7);
        for (std::size_t I = 0; I < Hi.size(); ++I) Hi[I] = std::uint8_t(I * 3);
        for (std::size_t I = 0; I < Tail.size(); ++I) Tail[I] = std::uint8_t(I * 5);
        std::uint64_t Time = 1000000;
        for (std::uint32_t N = 0; W.Position() < Bytes; ++N) {
            TRecord R;
            R.Time = Time;
            R.Enc0[0] = R.Enc1[0] = 64;
            R.Enc0[1] = R.Enc1[1] = std::uint16_t(N * 37 % 64);
            R.Enc0[2] = R.Enc1[2] = std::uint16_t(N * 3 % 1024);
            TRecSampleBlock A, B;
            A.TimeStamp = 100, A.Channel = 0x00, A.Samples = Lo;
            B.TimeStamp = 2000, B.Channel = 0x40, B.Samples = Hi;
            R.Blocks = {A};
            if (HiCount) R.Blocks.push_back(B);
            if (N % 8 == 1) {  // continues the LP block of the record before
                TRecSampleBlock C;
                C.TimeStamp = std::uint16_t(100 + LoCount / 4 - 50), C.Channel = 0x00, C.Samples = Tail;
                R.Blocks.insert(R.Blocks.begin(), C);
            }
            W.Write(R);
            Time += 50;
        }
        W.Close();
        TIndexFile F;
        F.Entries = EntriesOf(W);
        F.Write(Folder().File(Name + ".idx"));
        Size = std::int64_t(std::filesystem::file_size(Path));
        Shots = std::uint32_t(W.Count());
    }
};

// Arguments 0, 1, 2, 3: records of about 288 bytes, 800 bytes, 2 KB and 100 bytes.
TBenchFile& File(std::int64_t Kind) {
    static TBenchFile Small("small", 180, 60, 120LL << 20);
    static TBenchFile Medium("medium", 500, 240, 120LL << 20);
    static TBenchFile Large("large", 1020, 1020, 120LL << 20);
    static TBenchFile Tiny("tiny", 64, 0, 60LL << 20);
    return Kind == 0 ? Small : Kind == 1 ? Medium : Kind == 2 ? Large : Tiny;
}

void Report(benchmark::State& State, const TBenchFile& F) {
    State.SetBytesProcessed(State.iterations() * F.Size);
    State.SetItemsProcessed(State.iterations() * F.Shots);
    State.counters["bytes/shot"] = double(F.Size) / F.Shots;
    State.counters["ns/shot"] = benchmark::Counter(double(State.iterations()) * F.Shots * 1e-9,
                                                   benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

std::int64_t PlainRead(const TBenchFile& F, std::vector<char>& Buf) {
    const int Fd = ::open(F.Path.c_str(), O_RDONLY);
    std::int64_t Total = 0;
    for (ssize_t N; (N = ::read(Fd, Buf.data(), Buf.size())) > 0;) Total += N;
    ::close(Fd);
    return Total;
}

void BM_PlainRead(benchmark::State& State) {
    TBenchFile& F = File(State.range(0));
    std::vector<char> Buf(1 << 16);
    for (auto _ : State) benchmark::DoNotOptimize(PlainRead(F, Buf));
    Report(State, F);
}

// The plain read of the same file, timed right after a benchmark of it (the
// best of five), as the ratio of that benchmark's time per shot to it.
void ReportRatio(benchmark::State& State, const TBenchFile& F, std::chrono::steady_clock::duration Spent) {
    std::vector<char> Buf(1 << 16);
    double Best = 1e300;
    for (int I = 0; I < 5; ++I) {
        const auto T0 = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(PlainRead(F, Buf));
        Best = std::min(Best, std::chrono::duration<double>(std::chrono::steady_clock::now() - T0).count());
    }
    const double PerShot = std::chrono::duration<double>(Spent).count() / double(State.iterations());
    State.counters["x_plain"] = PerShot / Best;
}

struct TOut {
    double Sorg, Ext;
    NARVI_FLOAT64_VECTOR3_T Ori, Dir;
    NARVI_UINT16_T Flags, Facet;
    NARVI_UINT32_T Count, Size;
    NARVI_SBL_PTR_T Sbl;
};

NARVI_INT32_T ReadShot(NARVI_FILE_T H, TOut& O) {
    return narvi_read(H, &O.Sorg, &O.Ext, &O.Ori, &O.Dir, &O.Flags, &O.Facet, &O.Count, &O.Size, &O.Sbl);
}

void NARVI_CALL IgnoreTrace(NARVI_FILE_T, NARVI_POINTER_T, NARVI_CSZ_T) {}

// Argument 1, when set: with a trace callback that does nothing.
void BM_NarviRead(benchmark::State& State) {
    TBenchFile& F = File(State.range(0));
    NARVI_FILE_T H = nullptr;
    if (narvi_open(F.Path.c_str(), &H) != 0) {
        State.SkipWithError("open failed");
        return;
    }
    if (State.range(1)) narvi_set_trace_callback(H, IgnoreTrace, nullptr);
    const auto T0 = std::chrono::steady_clock::now();
    for (auto _ : State) {
        narvi_seek(H, 1);
        TOut O;
        double Sum = 0;
        NARVI_INT32_T Code;
        while ((Code = ReadShot(H, O)) == 0) Sum += O.Sbl[0].SAMPLE[0] + O.Dir.x;
        if (Code != NARVI_END_OF_FILE) State.SkipWithError("read failed");
        benchmark::DoNotOptimize(Sum);
    }
    const auto Spent = std::chrono::steady_clock::now() - T0;
    narvi_close(H);
    Report(State, F);
    ReportRatio(State, F, Spent);
}

BENCHMARK(BM_PlainRead)->Arg(3)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NarviRead)->ArgsProduct({{3, 0, 1, 2}, {0}})->Args({3, 1})->Args({0, 1})->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------------------
// 10,000,000 small records; the index is streamed beside them as they go.

constexpr std::uint32_t ManyRecords = 10000000;

void PutLE(std::FILE* F, std::uint64_t V, int Bytes) {
    std::uint8_t B[8];
    for (int I = 0; I < Bytes; ++I) B[I] = std::uint8_t(V >> (8 * I));
    std::fwrite(B, 1, std::size_t(Bytes), F);
}

const std::string& ManyPath() {
    static const std::string Path = [] {
        const std::string Kqm = Folder().File("many.kqm");
        TRecHeader H;
        H.ProtocolFlags = 0x7;
        TRecordingWriter W(Kqm, H, false);
        std::FILE* Idx = std::fopen(Folder().File("many.idx").c_str(), "wb");
        PutLE(Idx, 12, 4);
        PutLE(Idx, 1, 2);
        PutLE(Idx, 1, 2);
        PutLE(Idx, 0, 4);
        TRecord R;
        R.Enc0[0] = R.Enc1[0] = 64;
        TRecSampleBlock A;
        A.TimeStamp = 100, A.Channel = 0x00, A.Samples.assign(32, 9);
        R.Blocks = {A};
        for (std::uint32_t N = 0; N < ManyRecords; ++N) {
            R.Time = 1000000 + std::uint64_t(N) * 50;
            R.Enc0[2] = R.Enc1[2] = std::uint16_t(N % 1024);
            const std::int64_t At = W.Write(R);
            PutLE(Idx, R.Time / 250, 5);
            PutLE(Idx, std::uint64_t(At + 4), 8);
            PutLE(Idx, R.Time, 6);
        }
        W.Close();
        std::fclose(Idx);
        return Kqm;
    }();
    return Path;
}

std::int64_t PeakResidentKiB() {
    std::ifstream Status("/proc/self/status");
    for (std::string Line; std::getline(Status, Line);)
        if (Line.rfind("VmHWM:", 0) == 0) return std::stoll(Line.substr(6));
    return 0;
}

void BM_RandomPairs10M(benchmark::State& State) {
    NARVI_FILE_T H = nullptr;
    if (narvi_open(ManyPath().c_str(), &H) != 0) {
        State.SkipWithError("open failed");
        return;
    }
    std::mt19937 Rng(42);
    std::uniform_int_distribution<std::uint32_t> Pick(1, ManyRecords);
    std::vector<double> Us;
    const std::int64_t PeakBefore = PeakResidentKiB();
    for (auto _ : State) {
        const auto T0 = std::chrono::steady_clock::now();
        TOut O;
        if (narvi_seek(H, Pick(Rng)) != 0 || ReadShot(H, O) != 0) State.SkipWithError("seek/read failed");
        const auto T1 = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(O.Count);
        Us.push_back(std::chrono::duration<double, std::micro>(T1 - T0).count());
    }
    narvi_close(H);
    std::sort(Us.begin(), Us.end());
    State.counters["median_us"] = Us[Us.size() / 2];
    State.counters["p99_us"] = Us[Us.size() * 99 / 100];
    State.counters["peak_growth_KiB"] = double(PeakResidentKiB() - PeakBefore);
    State.SetItemsProcessed(State.iterations());
}
BENCHMARK(BM_RandomPairs10M)->Iterations(200000)->Unit(benchmark::kMicrosecond);

// The floor under a random pair: the least any reader of the two files does,
// one read of the record's index entry and, at the position it gives, one
// read of the record, each a call to the system.
void BM_PlainPairs10M(benchmark::State& State) {
    const std::string Idx = Folder().File("many.idx");
    const int Kqm = ::open(ManyPath().c_str(), O_RDONLY), Index = ::open(Idx.c_str(), O_RDONLY);
    if (Kqm < 0 || Index < 0) State.SkipWithError("open failed");
    std::mt19937 Rng(42);
    std::uniform_int_distribution<std::uint32_t> Pick(1, ManyRecords);
    std::vector<double> Us;
    std::uint8_t Entry[19], Record[128];
    for (auto _ : State) {
        const auto T0 = std::chrono::steady_clock::now();
        const off_t At = 12 + off_t(Pick(Rng) - 1) * off_t(sizeof Entry);
        std::uint64_t Pos = 0;
        if (::pread(Index, Entry, sizeof Entry, At) != off_t(sizeof Entry)) State.SkipWithError("index read failed");
        for (int I = 7; I >= 0; --I) Pos = Pos << 8 | Entry[5 + I];
        if (::pread(Kqm, Record, sizeof Record, off_t(Pos)) <= 0) State.SkipWithError("record read failed");
        const auto T1 = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(Record[0]);
        Us.push_back(std::chrono::duration<double, std::micro>(T1 - T0).count());
    }
    ::close(Kqm);
    ::close(Index);
    std::sort(Us.begin(), Us.end());
    State.counters["median_us"] = Us[Us.size() / 2];
    State.counters["p99_us"] = Us[Us.size() * 99 / 100];
    State.SetItemsProcessed(State.iterations());
}
BENCHMARK(BM_PlainPairs10M)->Iterations(200000)->Unit(benchmark::kMicrosecond);

}  // namespace

// The recordings are written before anything is timed (the one of 10,000,000
// records by the first benchmark that needs it, before its loop).
int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    for (std::int64_t K = 0; K < 4; ++K) File(K);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
