// Writes the seed corpora of the fuzz harnesses, made by the test-data
// writers rather than kept as binary files:
//   fuzz_seeds <folder>   fills <folder>/FuzzInterface, FuzzIndex, FuzzViewerText, FuzzFormStream
//                         and (in builds with the chart) FuzzChartForm
// Interface seeds: every header version with every framing flag, a couple
// of shots and a housekeeping record each, some with an index beside them,
// and damaged recordings (cut, bad sync word or checksum, wrong counts).
// Index seeds: every index version, invalid and cut files, odd time orders.
// Viewer text seeds: find texts of every kind.
// Form seeds: trees written by the form layer, and hand-written texts.
// Chart form seeds: the round-trip tests' charts written by the chart.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "FormFuzzModel.h"
#include "FuzzInput.h"
#include "IndexWriter.h"
#include "KQMIndex.h"
#include "RecordingWriter.h"
#include "TempDir.h"

#ifdef NARVI_CHART_SEEDS
#include <cstdlib>

#include "ChartFormData.h"
#include "FormSamples.h"
#include "GuiApplication.h"
#endif

namespace {

using TBytes = std::vector<std::uint8_t>;

struct TSeeds {
    std::filesystem::path Folder;
    int Count = 0;

    void Add(const TBytes& Bytes) {
        char Name[32];
        std::snprintf(Name, sizeof Name, "seed-%04d", Count++);
        WriteFileBytes((Folder / Name).string(), Bytes);
    }
};

TBytes Samples(std::size_t Count, std::uint8_t First) {
    TBytes V(Count);
    for (std::size_t I = 0; I < Count; ++I) V[I] = std::uint8_t(First + 3 * I);
    return V;
}

// Times in the unit of the measurement block: microseconds, or 4-ns ticks for 3.x.
std::vector<TRecord> Records(std::uint16_t MeasMain) {
    const std::uint64_t Unit = MeasMain == 3 ? 250 : 1;
    std::vector<TRecord> R;
    for (int I = 0; I < 4; ++I) {
        TRecord S;
        S.Time = std::uint64_t(1000 + 700 * I) * Unit;
        S.Descriptor = I % 2 ? 0x00 : 0xC0;
        S.LineEncoderValue = std::uint32_t(100 * I);
        S.FrameEncoderValue = std::uint32_t(50 * I);
        S.Enc0[0] = S.Enc1[0] = 1;
        S.Enc0[1] = std::uint16_t(17 * I);
        S.Blocks.push_back({std::uint16_t(10 + I), 0x00, Samples(8, std::uint8_t(I)), {}});
        S.Blocks.push_back({std::uint16_t(20 + I), 0x40, Samples(12, 7), {}});
        if (I == 2) S.Blocks.push_back({30, 0xC0, Samples(4, 1), {}});
        R.push_back(S);
        if (I == 1) R.push_back(TRecord::House(1500 * Unit, 250000000, 345600, 0x00));
    }
    return R;
}

// A call list that walks, seeks and reads back.
TBytes Calls() {
    TFuzzOutput C;
    C.Byte(icInfo).Byte(icRead).Byte(3).Byte(icTell).Byte(icSeek).Word(0).Byte(icRead).Byte(1);
    C.Byte(icSeek).Word(2).Byte(icRead).Byte(2).Byte(icSeekTime).Word(2).Byte(icRead).Byte(1);
    C.Byte(icSeekTimeExternal).Word(2).Byte(icRead).Byte(1).Byte(icRawMode).Byte(1).Byte(icRead).Byte(2);
    C.Byte(icSeek).Word(0xFFFFFFFFu).Byte(icTell).Byte(icReindex).Byte(icSeek).Word(1).Byte(icRead).Byte(9);
    return C.Bytes();
}

TBytes Input(std::uint8_t Flags, const TBytes& Recording, const TBytes& Index, const TBytes& CallList) {
    TFuzzOutput O;
    O.Byte(Flags).Part(Recording);
    if (Flags & ifIndex) O.Part(Index);
    TBytes B = O.Bytes();
    B.insert(B.end(), CallList.begin(), CallList.end());
    return B;
}

struct TRecording {
    TBytes Bytes;
    TBytes Index;  // version 1.1, one entry per record
};

TRecording Make(const TTempDir& Dir, const TRecHeader& H, const std::vector<TRecord>& Recs,
                const std::function<void(TRecordingWriter&)>& Between = {}) {
    const std::string Path = Dir.File("seed.kqm");
    TRecordingWriter W(Path, H);
    for (std::size_t I = 0; I < Recs.size(); ++I) {
        W.Write(Recs[I]);
        if (I == 1 && Between) Between(W);
    }
    W.Close();
    TIndexFile Idx;
    Idx.Entries = EntriesOf(W);
    return {ReadFileBytes(Path), Idx.Encode()};
}

void InterfaceVersions(TSeeds& S, const TTempDir& Dir) {
    for (std::uint16_t Sub : {1, 2})
        for (std::uint16_t ParMain = 2; ParMain <= 5; ++ParMain)
            for (std::uint16_t ParSub : {0, 1})
                for (std::uint16_t MeasMain = 1; MeasMain <= 3; ++MeasMain)
                    for (std::uint16_t MeasSub : {0, 1})
                        for (std::uint32_t Flags : {0u, 1u, 2u, 3u}) {
                            TRecHeader H = TRecHeader::Versions(Sub, ParMain, ParSub, MeasMain, MeasSub, Flags);
                            if (Sub == 1) H.HouseMain = 1;
                            const TRecording R = Make(Dir, H, Records(MeasMain));
                            const std::uint8_t F = (ParMain + MeasMain + Flags) % 3 == 0 ? ifIndex : ifReindex;
                            S.Add(Input(F, R.Bytes, R.Index, Calls()));
                        }
}

void InterfaceDamage(TSeeds& S, const TTempDir& Dir) {
    const TRecHeader H = TRecHeader::Versions(2, 5, 1, 3, 1, 3);
    std::vector<std::vector<TRecord>> Broken;
    for (int Kind = 0; Kind < 6; ++Kind) {
        std::vector<TRecord> R = Records(3);
        TRecord& Bad = R[3];  // the third shot; R[2] is housekeeping
        switch (Kind) {
        case 0:
            Bad.Checksum = 0x12345678;
            break;
        case 1:
            Bad.Sync = 0xDEADBEEF;
            break;
        case 2:
            Bad.Dwords = 3;
            break;
        case 3:
            Bad.Dwords = 0xFFFF;
            break;
        case 4:
            Bad.NumSampleBlocks = 40;
            break;
        case 5:
            Bad.Blocks[0].NumQuads = 0xFF;
            break;
        }
        Broken.push_back(R);
    }
    for (const auto& R : Broken) {
        const TRecording Rec = Make(Dir, H, R);
        S.Add(Input(0, Rec.Bytes, {}, Calls()));
        S.Add(Input(ifReindex | ifTrace, Rec.Bytes, {}, Calls()));
    }
    const TRecording Garbage = Make(Dir, H, Records(3), [](TRecordingWriter& W) { W.WriteGarbage({0xDE, 0xAD, 7}); });
    S.Add(Input(ifReindex, Garbage.Bytes, {}, Calls()));

    const TRecording Whole = Make(Dir, H, Records(3));
    const std::size_t Header = std::size_t(H.TablesLength());
    for (std::size_t Cut :
         {std::size_t(0), std::size_t(1), std::size_t(43), Header, Header + 5, Whole.Bytes.size() - 3}) {
        const TBytes Part(Whole.Bytes.begin(), Whole.Bytes.begin() + std::ptrdiff_t(Cut));
        S.Add(Input(ifReindex, Part, {}, Calls()));
    }
    S.Add(Input(ifIndex | ifAbortTrack | ifReindex, Whole.Bytes, Whole.Index, Calls()));
    TRecHeader Huge = H;
    Huge.HeaderDwordSize = 0x40000000;
    S.Add(Input(ifReindex, Make(Dir, Huge, Records(3)).Bytes, {}, Calls()));
}

void IndexSeeds(TSeeds& S) {
    TFuzzOutput C;
    C.Byte(xcFirst).Byte(xcEntry).Byte(xcLast).Byte(xcEntry).Byte(xcSeek).Wide(2).Byte(xcNext).Word(1);
    C.Byte(xcBack).Word(5).Byte(xcFind).Wide(1500).Byte(xcEntry).Byte(xcFindInternal).Wide(3000).Byte(xcEntry);
    C.Byte(xcFind).Wide(0).Byte(xcFind).Wide(99999999).Byte(xcSeek).Wide(std::uint64_t(-3));
    const TBytes Calls = C.Bytes();

    const std::pair<std::uint16_t, std::uint16_t> Versions[] = {{1, 0}, {1, 1}, {2, 0}, {3, 0}, {4, 0}, {5, 0}};
    for (const auto& V : Versions)
        for (int Order = 0; Order < 3; ++Order)
            for (int Count : {0, 1, 7, 40}) {
                TIndexFile F;
                F.Major = V.first;
                F.Minor = V.second;
                for (int I = 0; I < Count; ++I) {
                    const std::uint64_t T = Order == 0 ? 1000 + 100 * I : Order == 1 ? 1000 : 9000 - 100 * I;
                    F.Entries.push_back({T, 4000 + 60 * I, 4 * T});
                }
                if (Count == 7) F.Trailing = {1, 2, 3};
                if (Count == 1) F.Flags = INDEX_FLAG_INVALID;
                TFuzzOutput O;
                O.Part(F.Encode());
                TBytes B = O.Bytes();
                B.insert(B.end(), Calls.begin(), Calls.end());
                S.Add(B);
            }
}

}  // namespace

void AddText(TSeeds& Seeds, std::uint8_t Pick, const std::string& Text) {
    TBytes Bytes{Pick};
    Bytes.insert(Bytes.end(), Text.begin(), Text.end());
    Seeds.Add(Bytes);
}

// The viewer's texts behind the byte that says what they are (see
// FuzzViewerText.cpp). Find texts of every kind, under each choice of the
// record on screen and the record count: jumps, times, expressions with
// masks, quotes and every operator, and faulty ones.
void ViewerTextSeeds(TSeeds& Seeds) {
    const char* const Texts[] = {
        "+5",
        "-5",
        "5",
        "12.5i",
        "12.5",
        "12.5e",
        "0x10",
        "$ff",
        "-9223372036854775808",
        "flags and 4 = 4 & facet > 1",
        "FLAGS AND $2 <> 0",
        "time = 3600.0",
        "timeext >= 3600 && sbl_count >= 3",
        "ox <> 0 & oy < -1.5e3 & oz <= 7 & dx > .5 & dy >= 0 & dz = 1",
        "index = \"42\"",
        "intime = 1e308",
        "facet => 1",
        "facet ~ 1",
        "speed > 3",
        "= 5",
        "flags and 99999999999 = 1",
        "time = nan",
        "&&&",
    };
    for (std::uint8_t Pick = 0; Pick < 4; ++Pick)
        for (const char* Text : Texts) AddText(Seeds, Pick, Text);
    // Command-line switches.
    for (const char* Text : {"/file=rec.kqm", "/OPEN=x.hxt", "/index", "/seek=10", "/seek=-1", "/time=12.5i",
                             "/time=12.5e", "/time=12.5", "/time=e", "/close", "/exit", "/seek=99999999999999999999"}) {
        AddText(Seeds, 0x40, Text);
    }
    // Settings files.
    AddText(Seeds, 0x80,
            "[WAVECHART]\r\nAxisX=RawRange\r\nEnhance=Smooth\r\nInfoPanel=0\r\nSampleBlocks=1\r\nPointSize=3\r\n"
            "Left=100\r\nTop=100\r\nHeight=590\r\nWidth=833\r\n");
    AddText(Seeds, 0x80, "[wavechart]\nEnhance=smooth\nPointSize=-5\nLeft=-99999\nWidth=2147483647\nHeight=x\n");
    AddText(Seeds, 0x80, "[OTHER]\nAxisX=RangeGate\n[WAVECHART]\nAxisX = RangeGate\nTop=9223372036854775808\n");
}

// Form texts: trees of the harness's model written by the form layer's own
// writer, and hand-written ones with every kind of value and some faults.
void FormSeeds(TSeeds& Seeds) {
    auto add = [&Seeds](const std::string& Text) { Seeds.Add(TBytes(Text.begin(), Text.end())); };
    for (const std::string& Text : formfuzz::SeedForms()) add(Text);
    add("object R: TNode\n  Items = <\n    item\n      X = 1e300\n    end\n    item\n    end>\n"
        "  Shape.Inner.Inner.Flags = [fA, fD]\n  Shape.Color = $FF00FF\n  Shape.Lines = ('a'#13'b' '')\n"
        "  object N: TNode\n    Index = 1\n    Peer = R\n    Blob = {00 FF\n 10}\n  end\nend\n");
    add("object R: TNode\n  Value = 99999999999\nend\n");
    add("object R: TNode\n  Shape.Ratio = -inf\n  Shape.Kind = kNowhere\n  Peer = Nobody\nend\n");
    add("object C: TChart\n  BorderStyle = bsSingle\n  Title.Text = ('x')\n  object S: TPointSeries\n"
        "    Data = {0001000000000000000000F03F}\n  end\nend\n");
}

#ifdef NARVI_CHART_SEEDS
// The charts of the round-trip tests, whole and a part at a time, and forms
// with legacy names and values a setter folds.
void ChartFormSeeds(TSeeds& Seeds) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    EnsureGuiApplication();
    auto add = [&Seeds](const std::string& Text) { Seeds.Add(TBytes(Text.begin(), Text.end())); };
    using namespace formsamples;
    // the series refer to the custom axis, the tools to the series
    const std::vector<std::vector<void (*)(TChart&)>> Parts = {
        {SetEverything}, {SetLooks}, {SetAxes}, {SetAxes, SetSeries}, {SetAxes, SetSeries, SetTools}};
    for (const auto& Part : Parts) {
        TChart Chart;
        for (void (*Set)(TChart&) : Part) Set(Chart);
        add(WriteChartForm(Chart));
    }
    add("object Chart1: TChart\n  BorderStyle = bsSingle\n  AllowZoom = False\n  AnimatedZoom = True\n"
        "  AnimatedZoomSteps = 4\n  BackColor = clYellow\n  Title.ShadowColor = clRed\n  Title.ShadowSize = 5\n"
        "  Legend.ShadowColor = 255\n  object S: TPointSeries\n    XValues.Multiplier = 1.0\n"
        "    Style = 255\n    Identifier = 'old'\n  end\nend\n");
    add("object C: TChart\n  LeftAxis.AutomaticMinimum = False\n  LeftAxis.Minimum = -5\n"
        "  LeftAxis.Minimum = -0.0\nend\n");
}
#endif

int main(int Argc, char** Argv) {
    if (Argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds <folder>\n");
        return 2;
    }
    const std::filesystem::path Root = Argv[1];
    TSeeds Interface{Root / "FuzzInterface"}, Index{Root / "FuzzIndex"}, ViewerText{Root / "FuzzViewerText"};
    std::filesystem::create_directories(Interface.Folder);
    std::filesystem::create_directories(Index.Folder);
    std::filesystem::create_directories(ViewerText.Folder);
    TSeeds Form{Root / "FuzzFormStream"};
    std::filesystem::create_directories(Form.Folder);
    FormSeeds(Form);
#ifdef NARVI_CHART_SEEDS
    TSeeds Chart{Root / "FuzzChartForm"};
    std::filesystem::create_directories(Chart.Folder);
    ChartFormSeeds(Chart);
    std::printf("%d chart form seeds\n", Chart.Count);
#endif
    const TTempDir Dir;
    InterfaceVersions(Interface, Dir);
    InterfaceDamage(Interface, Dir);
    IndexSeeds(Index);
    ViewerTextSeeds(ViewerText);
    std::printf("%d interface seeds, %d index seeds, %d viewer text seeds, %d form seeds in %s\n", Interface.Count,
                Index.Count, ViewerText.Count, Form.Count, Root.c_str());
    return 0;
}
