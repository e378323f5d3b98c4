#include "DemoRecording.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>

#include "IndexWriter.h"
#include "KQMIndex.h"
#include "RecordingWriter.h"

namespace {

// The instrument clock counts 4-ns ticks.
constexpr std::uint64_t TicksPerSecond = 250000000;
constexpr std::uint64_t TicksPerMicrosecond = 250;
constexpr std::uint64_t ShotTicks = TicksPerSecond / 50;  // 20 ms
constexpr std::uint64_t FirstShotTicks = TicksPerSecond;  // the clock reads 1 s at the first record
// GPS time of day when the instrument clock read 0: 10 s, in milliseconds.
constexpr std::uint32_t GpsMsAtClockZero = 10000;

// The external time the index gives a record: GPS time of day, microseconds.
std::uint64_t ExternalUs(std::uint64_t ticks) {
    return std::uint64_t(GpsMsAtClockZero) * 1000 + ticks / TicksPerMicrosecond;
}

void Copy(char* Out, int Size, const std::string& Text) {
    if (Size <= 0) return;
    const std::size_t N = std::min(Text.size(), std::size_t(Size - 1));
    std::memcpy(Out, Text.data(), N);
    Out[N] = 0;
}

// A laser pulse echo: a Gaussian bump on a slightly rippled baseline.
std::vector<std::uint8_t> Pulse(int count, double centre, double height, double width) {
    std::vector<std::uint8_t> s(std::size_t(count), 0);
    for (int i = 0; i < count; ++i) {
        const double x = (i - centre) / width;
        const double v = 6 + 2 * std::sin(i * 0.7) + height * std::exp(-x * x);
        s[std::size_t(i)] = std::uint8_t(std::lround(std::min(v, 255.0)));
    }
    return s;
}

// The target's distance and strength drift from shot to shot; the strong echo
// is on the high-power channel (descriptor 0x40), the weak one on the
// low-power channel (0x00), the reference pulse on its own (0xC0).
TRecord Shot(long i, std::uint64_t ticks) {
    TRecord r;
    r.Time = ticks;
    r.Enc0[0] = r.Enc1[0] = 1000;
    r.Enc0[1] = r.Enc1[1] = 250;
    r.Enc0[2] = r.Enc1[2] = std::uint16_t(100 + (37 * i) % 2000);
    const double drift = std::sin(double(i) * 0.05);
    TRecSampleBlock ref;
    ref.TimeStamp = 4;
    ref.Channel = 0xC0;
    ref.Samples = Pulse(24, 9, 170, 2.5);
    TRecSampleBlock high;
    high.TimeStamp = std::uint16_t(14 + std::lround(6 * drift));  // 4-ns ticks after the shot
    high.Channel = 0x40;
    high.Samples = Pulse(64, 30, 150 + 60 * drift, 4);
    TRecSampleBlock low = high;
    low.Channel = 0x00;
    low.Samples = Pulse(64, 30, 45 + 20 * drift, 4.5);
    r.Blocks = {ref, high, low};
    return r;
}

// A housekeeping record carries the instrument clock at the last GPS pulse
// (one per second) and that pulse's GPS time.
TRecord House(std::uint64_t ticks) {
    const std::uint64_t seconds = ticks / TicksPerSecond;
    return TRecord::House(ticks, seconds * TicksPerSecond, GpsMsAtClockZero + std::uint32_t(seconds) * 1000);
}

}  // namespace

void WriteDemoRecording(const std::string& Path, long Count) {
    TRecHeader h;           // a ZA26 recording: parameter field 5.1, measurement block 3.1
    h.ProtocolFlags = 0x7;  // sync words and verified checksums
    h.Texts["SerialNumber"] = "DEMO0001";
    TRecordingWriter w(Path, h);
    for (long i = 0; i < Count; ++i) {
        const std::uint64_t ticks = FirstShotTicks + ShotTicks * std::uint64_t(i);
        w.Write(i % 50 == 49 ? House(ticks) : Shot(i, ticks));
    }
    w.Close();
    TIndexFile idx;
    idx.Entries = EntriesOf(w);
    for (TIndexEntry& e : idx.Entries) e.TimeExt = ExternalUs(e.TimeInt);
    idx.Write(IndexNameBeside(Path, TOtherExtension::Replaced));
}

extern "C" int demo_recording_write(char* Path, int Size) {
    try {
        namespace fs = std::filesystem;
        const fs::path Dir =
            fs::temp_directory_path() /
            ("narvi-demo-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        fs::create_directories(Dir);
        const std::string File = (Dir / "demo.kqm").string();
        WriteDemoRecording(File, 150);
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
