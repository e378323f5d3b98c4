#include "DemoRecording.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>

#include "IndexWriter.h"
#include "RecordingWriter.h"

namespace {

void Copy(char* Out, int Size, const std::string& Text) {
    if (Size <= 0) return;
    const std::size_t N = std::min(Text.size(), std::size_t(Size - 1));
    std::memcpy(Out, Text.data(), N);
    Out[N] = 0;
}

// A laser pulse echo: a Gaussian bump on a small baseline.
std::vector<std::uint8_t> Pulse(int Count, double Centre, double Height) {
    std::vector<std::uint8_t> S(std::size_t(Count), 0);
    for (int I = 0; I < Count; ++I) {
        const double X = (I - Centre) / 3.0;
        S[std::size_t(I)] = std::uint8_t(std::lround(8 + Height * std::exp(-X * X)));
    }
    return S;
}

}  // namespace

extern "C" int demo_recording_write(char* Path, int Size) {
    try {
        namespace fs = std::filesystem;
        const fs::path Dir =
            fs::temp_directory_path() /
            ("narvi-demo-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        fs::create_directories(Dir);
        const std::string File = (Dir / "demo.kqm").string();

        TRecHeader H;           // a ZA26 recording: parameter field 5.1, measurement block 3.1
        H.ProtocolFlags = 0x7;  // sync words and verified checksums
        H.Texts["SerialNumber"] = "DEMO0001";
        H.Numbers["RangeCorrPPM"] = {15};
        H.Numbers["LoChannelRangeOffset"] = {1200};
        H.Numbers["HiChannelRangeOffset"] = {-300};
        TRecordingWriter W(File, H);
        for (int I = 0; I < 8; ++I) {
            const std::uint64_t Ticks = 250000000ull + 50000ull * std::uint64_t(I);  // 200 us apart
            if (I == 4) {
                W.Write(TRecord::House(Ticks - 1000, 250000000ull, 1000));
                continue;
            }
            TRecord R;
            R.Time = Ticks;
            const std::uint16_t Coarse = std::uint16_t(100 + 37 * I);
            R.Enc0[0] = R.Enc1[0] = 1000;
            R.Enc0[1] = R.Enc1[1] = 250;
            R.Enc0[2] = R.Enc1[2] = Coarse;
            TRecSampleBlock Ref;
            Ref.TimeStamp = 2;
            Ref.Channel = 0xC0;
            Ref.Samples = Pulse(16, 6, 180);
            TRecSampleBlock Hi;
            Hi.TimeStamp = std::uint16_t(60 + 5 * I);
            Hi.Channel = 0x40;
            Hi.Samples = Pulse(32, 14, 120 - 10 * I);
            TRecSampleBlock Lo = Hi;
            Lo.Channel = 0x00;
            Lo.Samples = Pulse(32, 14, 40);
            R.Blocks = {Ref, Hi, Lo};
            W.Write(R);
        }
        W.Close();

        TIndexFile Idx;
        Idx.Entries = EntriesOf(W);
        // External time: 10 s into the GPS day, in microseconds.
        for (TIndexEntry& E : Idx.Entries) E.TimeExt = 10000000 + E.TimeInt / 250;
        Idx.Write((Dir / "demo.idx").string());
        Copy(Path, Size, File);
        return 0;
    } catch (const std::exception& E) {
        Copy(Path, Size, E.what());
        return 1;
    }
}

extern "C" void demo_recording_remove(const char* Path) {
    std::error_code Ec;
    std::filesystem::remove_all(std::filesystem::path(Path).parent_path(), Ec);
}
