// Reading every shot of a recording of about 200 MB through narvi_read, beside
// a plain sequential read() of the same file; and random seek-and-read pairs.

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <random>
#include <vector>

#include "IndexWriter.h"
#include "RecordingWriter.h"
#include "TempDir.h"
#include "narvi.h"

namespace {

// Shots of a 3.1 recording with sync words and checksums: two channels of 180
// and 60 samples, every eighth waveform continued in the next record.
struct TBenchFile {
    TTempDir Dir;
    std::string Path = Dir.File("bench.kqm");
    std::int64_t Size = 0;
    std::uint32_t Shots = 0;

    TBenchFile() {
        TRecHeader H;
        H.ProtocolFlags = 0x7;
        TRecordingWriter W(Path, H);
        std::vector<std::uint8_t> Lo(180), Hi(60);
        for (std::size_t I = 0; I < Lo.size(); ++I) Lo[I] = std::uint8_t(I * 7);
        for (std::size_t I = 0; I < Hi.size(); ++I) Hi[I] = std::uint8_t(I * 3);
        std::uint64_t Time = 1000000;
        for (std::uint32_t N = 0; W.Position() < 200LL * 1024 * 1024; ++N) {
            TRecord R;
            R.Time = Time;
            R.Enc0[0] = R.Enc1[0] = 64;
            R.Enc0[2] = R.Enc1[2] = std::uint16_t(N % 1024);
            TRecSampleBlock A, B;
            A.TimeStamp = 100, A.Channel = 0x00, A.Samples = Lo;
            B.TimeStamp = 120, B.Channel = 0x40, B.Samples = Hi;
            R.Blocks = {A, B};
            if (N % 8 == 1) {  // continues the LP block of the record before
                TRecSampleBlock C;
                C.TimeStamp = std::uint16_t(100 + 45 - 50), C.Channel = 0x00, C.Samples = Hi;
                R.Blocks.push_back(C);
            }
            W.Write(R);
            Time += 50;
        }
        W.Close();
        TIndexFile F;
        F.Entries = EntriesOf(W);
        F.Write(Dir.File("bench.idx"));
        Size = std::int64_t(std::filesystem::file_size(Path));
        Shots = std::uint32_t(W.Count());
    }
};

TBenchFile& File() {
    static TBenchFile F;
    return F;
}

void BM_PlainRead(benchmark::State& State) {
    TBenchFile& F = File();
    std::vector<char> Buf(1 << 16);
    for (auto _ : State) {
        const int Fd = ::open(F.Path.c_str(), O_RDONLY);
        std::int64_t Total = 0;
        for (ssize_t N; (N = ::read(Fd, Buf.data(), Buf.size())) > 0;) Total += N;
        ::close(Fd);
        benchmark::DoNotOptimize(Total);
    }
    State.SetBytesProcessed(State.iterations() * F.Size);
    State.SetItemsProcessed(State.iterations() * F.Shots);
}
BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond);

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

void BM_NarviReadAll(benchmark::State& State) {
    TBenchFile& F = File();
    NARVI_FILE_T H = nullptr;
    if (narvi_open(F.Path.c_str(), &H) != 0) {
        State.SkipWithError("open failed");
        return;
    }
    std::uint64_t Shots = 0;
    for (auto _ : State) {
        narvi_seek(H, 1);
        TOut O;
        std::uint64_t Samples = 0;
        NARVI_INT32_T Code;
        while ((Code = ReadShot(H, O)) == 0) {
            ++Shots;
            Samples += O.Sbl[0].SAMPLE[0];
        }
        if (Code != NARVI_END_OF_FILE) State.SkipWithError("read failed");
        benchmark::DoNotOptimize(Samples);
    }
    narvi_close(H);
    State.SetBytesProcessed(State.iterations() * F.Size);
    State.SetItemsProcessed(std::int64_t(Shots));
}
BENCHMARK(BM_NarviReadAll)->Unit(benchmark::kMillisecond);

void BM_RandomSeekAndRead(benchmark::State& State) {
    TBenchFile& F = File();
    NARVI_FILE_T H = nullptr;
    if (narvi_open(F.Path.c_str(), &H) != 0) {
        State.SkipWithError("open failed");
        return;
    }
    std::mt19937 Rng(42);
    std::uniform_int_distribution<std::uint32_t> Pick(1, F.Shots);
    for (auto _ : State) {
        for (int I = 0; I < 10000; ++I) {
            TOut O;
            if (narvi_seek(H, Pick(Rng)) != 0 || ReadShot(H, O) != 0) State.SkipWithError("seek/read failed");
            benchmark::DoNotOptimize(O.Count);
        }
    }
    narvi_close(H);
    State.SetItemsProcessed(State.iterations() * 10000);
}
BENCHMARK(BM_RandomSeekAndRead)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
