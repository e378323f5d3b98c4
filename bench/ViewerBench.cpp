// The viewer's two hot paths, each beside its floor in the same run:
// - Next: take a shot of 4 blocks x 2048 samples, update the info rows,
//   rebuild the series (Linear and Smooth) and draw the chart at 833 x 590;
//   against drawing the same, already built series alone. The reader library
//   hands out at most 4097 samples per shot, so the 4 x 2048 shot comes from a
//   block table shaped like the library's (the samples are copied as from the
//   library); "library" runs read real shots of 4 x 1024 through the binding.
// - An expression search over 1,000,000 records that finds nothing, run by
//   the main window with and without its trace window; against calling the
//   bound narvi_read alone over the same file.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "Chart.h"
#include "FindExpression.h"
#include "GuiApplication.h"
#include "IndexWriter.h"
#include "NarviBinding.h"
#include "RecordDisplay.h"
#include "RecordingWriter.h"
#include "TempDir.h"
#include "VantoraMainUnit.h"
#include "VantoraTrace.h"
#include "ViewerTestSupport.h"

namespace {

constexpr int kWidth = 833;
constexpr int kHeight = 590;

// Writes count records, the n-th at 1000000 + 50 n microseconds with the given sample
// blocks, to "<stem>.kqm" in dir, and their index beside it; returns the recording's path.
std::string WriteIndexed(const TTempDir& dir, const std::string& stem, std::uint32_t count,
                         const std::vector<TRecSampleBlock>& blocks) {
    const std::string path = dir.File(stem + ".kqm");
    TRecordingWriter writer(path, TRecHeader{});
    for (std::uint32_t n = 0; n < count; ++n) {
        TRecord r;
        r.Time = 1000000 + 50ULL * n;
        // Encoder counts give every shot a facet and a beam, and with them the
        // full detail block of trace lines a real recording brings.
        r.Enc0[0] = r.Enc1[0] = 1000;
        r.Enc0[1] = r.Enc1[1] = 250;
        r.Enc0[2] = r.Enc1[2] = std::uint16_t(100 + n % 500);
        r.Blocks = blocks;
        writer.Write(r);
    }
    writer.Close();
    TIndexFile index;
    index.Entries = EntriesOf(writer);
    index.Write(dir.File(stem + ".idx"));
    return path;
}

// Shots of four channels, each written as four continued blocks of 256
// samples that the reader joins into one block of 1024.
std::vector<TRecSampleBlock> ShotBlocks() {
    std::vector<TRecSampleBlock> blocks;
    for (std::uint8_t ch = 0; ch < 4; ++ch) {
        for (int part = 0; part < 4; ++part) {
            std::vector<std::uint8_t> samples(256);
            for (std::size_t i = 0; i < samples.size(); ++i) {
                const double x = (part * 256.0 + i) / 1024.0;
                samples[i] = static_cast<std::uint8_t>(120 + 100 * std::sin(x * (12 + ch)) * std::exp(-3 * x));
            }
            const auto stamp = static_cast<std::uint16_t>(100 + ch * 1000 + part * 64);
            blocks.push_back({stamp, static_cast<std::uint8_t>(ch << 6), samples, {}});
        }
    }
    return blocks;
}

struct TShotFile {
    TTempDir Dir;
    std::string Path = WriteIndexed(Dir, "shots", 64, ShotBlocks());
};

TShotFile& Shots() {
    static TShotFile f;
    return f;
}

// One million short shots.
struct TLongFile {
    TTempDir Dir;
    static constexpr std::uint32_t Count = 1000000;
    std::string Path = WriteIndexed(
        Dir, "long", Count,
        {{100, 0x00, std::vector<std::uint8_t>(8, 9), {}}, {120, 0x40, std::vector<std::uint8_t>(4, 3), {}}});
};

TLongFile& Long() {
    static TLongFile f;
    return f;
}

// One shot of 4 x 2048 samples as the library's block table would hold it.
struct TBigShot {
    std::vector<std::vector<std::uint16_t>> Samples;
    std::vector<NARVI_SBL_T> Table;
    TBigShot() {
        for (std::uint32_t ch = 0; ch < 4; ++ch) {
            std::vector<std::uint16_t> s(2048);
            for (std::size_t i = 0; i < s.size(); ++i) {
                const double x = i / 2048.0;
                s[i] = static_cast<std::uint16_t>(120 + 100 * std::sin(x * (24 + 2 * ch)) * std::exp(-3 * x));
            }
            Samples.push_back(std::move(s));
        }
        for (std::uint32_t ch = 0; ch < 4; ++ch) {
            Table.push_back({4.0 + ch * 1e-6, ch, 2048, 2, Samples[ch].data()});
        }
    }
};

// Both enhancements, each with the generated 4 x 2048 shot and with shots read through the library.
void EnhanceAndSource(benchmark::internal::Benchmark* b) {
    b->ArgNames({"enhance", "library"});
    for (int library : {0, 1})
        for (TEnhance e : {TEnhance::Linear, TEnhance::Smooth}) b->Args({static_cast<int>(e), library});
    b->Unit(benchmark::kMillisecond);
}

struct TViewer {
    TWaveFile File{Shots().Path, KQMLIB_DIR};
    TBigShot Big;
    bool FromLibrary;
    TChart Chart;
    TCurrentRecord Record;
    TRecordDisplay Display{Record};
    TBitmap Target{kWidth, kHeight};
    TViewer(TEnhance mode, bool fromLibrary) : FromLibrary(fromLibrary) {
        const char *instrument, *serial, *epoch;
        double vGroup, samplingTime;
        std::uint16_t flags, facets;
        File.Info(instrument, serial, epoch, vGroup, samplingTime, flags, facets);
        Display.OpenFile(TFileKind::Kqm, vGroup, samplingTime);
        Display.InitInfoList();
        Display.SetEnhance(mode);
        SetupViewerChart(Chart);
        Chart.SetSize(kWidth, kHeight);
        Display.ApplyAxis(Chart);
        File.Seek(1);
    }
    void Next() {
        if (!FromLibrary) {
            AcceptRecord(Record, TFileKind::Kqm, 1, 4.0, 90000.0, {0, 0, 0}, {0.6, 0, 0.8}, 0, 1, 4,
                         sizeof(NARVI_SBL_T), Big.Table.data());
            return;
        }
        if (File.Tell() >= 64) File.Seek(1);
        ReadRecordFrom(File, Record, TFileKind::Kqm);
    }
    void Draw() {
        Chart.Invalidate();
        Chart.Paint(Target.Canvas(), TRect{0, 0, kWidth, kHeight});
        benchmark::DoNotOptimize(Target.GetPixel(1, 1));
    }
};

void BM_ViewerNextShot(benchmark::State& state) {
    EnsureGuiApplication();
    TViewer v(static_cast<TEnhance>(state.range(0)), state.range(1) != 0);
    for (auto _ : state) {
        v.Next();
        v.Display.DrawRecord(v.Chart);
        v.Draw();
    }
    state.counters["points"] = v.Chart.Series(0)->PointCount();
}
BENCHMARK(BM_ViewerNextShot)->Apply(EnhanceAndSource);

void BM_ChartDrawOfTheSameSeries(benchmark::State& state) {
    EnsureGuiApplication();
    TViewer v(static_cast<TEnhance>(state.range(0)), state.range(1) != 0);
    v.Next();
    v.Display.DrawRecord(v.Chart);
    for (auto _ : state) v.Draw();
}
BENCHMARK(BM_ChartDrawOfTheSameSeries)->Apply(EnhanceAndSource);

// The viewer's whole search path: the find dialog's "Find next" in the main
// window, every record read through the binding, whose trace lines (about 16
// per record) go to the trace window as in the program. Trace: 0 none
// attached, 1 attached and hidden (as the program starts), 2 shown.
void BM_SearchInWindow(benchmark::State& state) {
    const int trace = int(state.range(0));
    const std::string path = Long().Path;
    TTempDir dir;
    TDialogsDouble dialogs;
    TFormVantoraChart1 window(dialogs, {}, dir.File("Vantora.ini"), KQMLIB_DIR);
    TFormVantoraTrace traceWindow;
    if (trace > 0) window.SetTraceWindow(&traceWindow);
    window.Form.Show();
    if (trace > 1) traceWindow.Show();
    window.OpenFile(path);
    window.ActionFind.Execute();
    window.FormFind->SetText("facet = 9");
    std::uint64_t records = 0;
    for (auto _ : state) {
        state.PauseTiming();
        window.SeekAndShow(1);
        state.ResumeTiming();
        window.FormFind->FindNext();
        if (window.Form.StatusText() != "Expression not found (end of data)") state.SkipWithError("matched");
        records += TLongFile::Count - 1;  // from the record after the one shown to the last
    }
    if (!dialogs.Messages.empty()) state.SkipWithError(dialogs.Messages.front().c_str());
    state.SetItemsProcessed(static_cast<std::int64_t>(records));
    state.counters["lines/record"] = double(traceWindow.Lines().Total()) / double(records);
}
BENCHMARK(BM_SearchInWindow)->ArgName("trace")->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_NarviReadAlone(benchmark::State& state) {
    TWaveFile file(Long().Path, KQMLIB_DIR);
    TWaveIntf& lib = *file.FWaveIntf;
    double sorg, ext;
    NARVI_FLOAT64_VECTOR3_T origin, direction;
    std::uint16_t flags, facet;
    std::uint32_t count, size;
    NARVI_SBL_PTR_T sbl;
    std::uint64_t records = 0;
    for (auto _ : state) {
        lib.Seek(file.FHandle, 1);
        for (std::uint32_t n = 0; n < TLongFile::Count; ++n) {
            lib.Read(file.FHandle, &sorg, &ext, &origin, &direction, &flags, &facet, &count, &size, &sbl);
            benchmark::DoNotOptimize(sbl);
        }
        records += TLongFile::Count;
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(records));
}
BENCHMARK(BM_NarviReadAlone)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    // Windows need the toolkit's application before anything draws.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    TApplication::Initialize(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
