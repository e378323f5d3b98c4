// Rebuilding the index of a recording of about 200 MB, with GPS/PPS
// synchronisation, against merely reading the same file once, in the same
// run: the rebuild should be bound by the reading, not by the decoding.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "Buffer.h"
#include "CpuSplit.h"
#include "RecordingWriter.h"
#include "TempDir.h"
#include "narvi.h"

namespace {

constexpr std::int64_t TICKS_PER_SECOND = 250000000;
constexpr std::int64_t CLOCK = std::int64_t(1) << 40;

struct TBenchFile {
    std::string Path;
    std::int64_t Size = 0;
    std::int64_t Records = 0;
};

// ZA26 shots at 10 kHz with two 256-sample blocks each and sync words, with
// or without verified checksums; a housekeeping record with a PPS pulse
// every second. The clock wraps along the way.
TBenchFile Write(const std::string& Path, std::uint32_t Flags) {
    TBenchFile F;
    F.Path = Path;
    TRecHeader H;
    H.ProtocolFlags = Flags;
    TRecordingWriter W(F.Path, H, false);
    TRecord Shot;
    Shot.Descriptor = 0xC0;
    for (std::uint8_t Channel : {std::uint8_t(0x40), std::uint8_t(0x00)}) {
        TRecSampleBlock B;
        B.TimeStamp = Channel == 0x40 ? 10 : 300;
        B.Channel = Channel;
        B.Samples.assign(256, 7);
        Shot.Blocks.push_back(B);
    }
    const std::int64_t Start = CLOCK - 10 * TICKS_PER_SECOND;
    const std::int64_t Step = TICKS_PER_SECOND / 10000;
    for (std::int64_t I = 0; W.Position() < 200 * 1000 * 1000; ++I) {
        const std::int64_t T = Start + I * Step;
        if (I % 10000 == 0) {
            W.Write(
                TRecord::House(std::uint64_t(T % CLOCK), std::uint64_t(T % CLOCK), std::uint32_t(3600000 + I / 10)));
            ++F.Records;
        }
        Shot.Time = std::uint64_t(T % CLOCK);
        W.Write(Shot);
        ++F.Records;
    }
    W.Close();
    F.Size = W.Position();
    return F;
}

const TBenchFile& Recording(bool Checksums) {
    static TTempDir Dir;
    static const TBenchFile Checked = Write(Dir.File("checked.kqm"), 0x7);
    static const TBenchFile Plain = Write(Dir.File("plain.kqm"), 0x1);
    return Checksums ? Checked : Plain;
}

void Report(benchmark::State& State) {
    const TBenchFile& F = Recording(State.range(0) != 0);
    State.SetBytesProcessed(F.Size * std::int64_t(State.iterations()));
    State.counters["records/s"] =
        benchmark::Counter(double(F.Records) * double(State.iterations()), benchmark::Counter::kIsRate);
}

void BM_PlainRead(benchmark::State& State) {
    std::vector<std::uint8_t> Buf(65536);
    const TCpuSplit Cpu;
    for (auto _ : State) {
        TFileStreamBuffered S(Recording(State.range(0) != 0).Path, fmOpenRead | fmShareDenyWrite, 0);
        std::int64_t Total = 0;
        for (std::int32_t N; (N = S.Read(Buf.data(), std::int32_t(Buf.size()))) > 0;) Total += N;
        benchmark::DoNotOptimize(Total);
    }
    Cpu.Report(State);
    Report(State);
}

void BM_Reindex(benchmark::State& State) {
    NARVI_FILE_T H = nullptr;
    if (narvi_open(Recording(State.range(0) != 0).Path.c_str(), &H) != 0) {
        State.SkipWithError("cannot open the recording");
        return;
    }
    const TCpuSplit Cpu;
    for (auto _ : State) {
        if (narvi_reindex(H) != 0) {
            NARVI_CSZ_T Text = nullptr;
            narvi_get_last_error(&Text);
            State.SkipWithError(Text);
            break;
        }
    }
    Cpu.Report(State);
    narvi_close(H);
    Report(State);
}

// Argument: 1 = checksums verified, 0 = sync words only.
BENCHMARK(BM_PlainRead)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Reindex)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

}  // namespace

// The recordings are written before anything is timed.
int main(int argc, char** argv) {
    Recording(true);
    Recording(false);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
