// Reading shots through the client binding (TWaveFile::Read: result-code
// check and callback-failure check per call) beside calling the same
// library's bound narvi_read directly, on one indexed recording.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "IndexWriter.h"
#include "NarviBinding.h"
#include "RecordingWriter.h"
#include "TempDir.h"

namespace {

struct TBenchFile {
    TTempDir Dir;
    std::string Path = Dir.File("binding.kqm");

    TBenchFile() {
        TRecordingWriter W(Path, TRecHeader{});
        const std::vector<std::uint8_t> Lo(120, 9), Hi(60, 3);
        for (std::uint32_t N = 0; N < 20000; ++N) {
            TRecord R;
            R.Time = 1000000 + 50ULL * N;
            R.Blocks = {{100, 0x00, Lo, {}}, {120, 0x40, Hi, {}}};
            W.Write(R);
        }
        W.Close();
        TIndexFile F;
        F.Entries = EntriesOf(W);
        F.Write(Dir.File("binding.idx"));
    }
};

TBenchFile& File() {
    static TBenchFile F;
    return F;
}

void BM_ReadThroughBinding(benchmark::State& State) {
    TWaveFile F(File().Path, KQMLIB_DIR);
    F.Seek(1);
    double Sorg, Ext;
    NARVI_FLOAT64_VECTOR3_T Ori, Dir;
    std::uint16_t Flags, Facet;
    std::uint32_t Count, Size;
    NARVI_SBL_PTR_T Sbl;
    for (auto _ : State) {
        try {
            F.Read(Sorg, Ext, Ori, Dir, Flags, Facet, Count, Size, Sbl);
        } catch (const EWaveFileEnd&) {
            F.Seek(1);
        }
        benchmark::DoNotOptimize(Sbl);
    }
    State.SetItemsProcessed(State.iterations());
}
BENCHMARK(BM_ReadThroughBinding);

void BM_ReadBoundFunctionDirectly(benchmark::State& State) {
    TWaveFile F(File().Path, KQMLIB_DIR);
    TWaveIntf& I = *F.FWaveIntf;
    I.Seek(F.FHandle, 1);
    double Sorg, Ext;
    NARVI_FLOAT64_VECTOR3_T Ori, Dir;
    std::uint16_t Flags, Facet;
    std::uint32_t Count, Size;
    NARVI_SBL_PTR_T Sbl;
    for (auto _ : State) {
        if (I.Read(F.FHandle, &Sorg, &Ext, &Ori, &Dir, &Flags, &Facet, &Count, &Size, &Sbl) != NARVI_NO_ERROR)
            I.Seek(F.FHandle, 1);
        benchmark::DoNotOptimize(Sbl);
    }
    State.SetItemsProcessed(State.iterations());
}
BENCHMARK(BM_ReadBoundFunctionDirectly);

}  // namespace

BENCHMARK_MAIN();
