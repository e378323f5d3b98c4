// Writes a demo recording for the viewer with its index:
//   vantora_demo <file.kqm> [records]
// Every shot carries a reference pulse and the echo of a target on the high-
// and the low-power channel; the target's distance and strength drift from
// shot to shot, and every 50th record is a housekeeping record.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>

#include "IndexWriter.h"
#include "RecordingWriter.h"

namespace {

std::vector<std::uint8_t> Pulse(int count, double centre, double height, double width) {
    std::vector<std::uint8_t> s(std::size_t(count), 0);
    for (int i = 0; i < count; ++i) {
        const double x = (i - centre) / width;
        const double v = 6 + 2 * std::sin(i * 0.7) + height * std::exp(-x * x);
        s[std::size_t(i)] = std::uint8_t(std::lround(std::min(v, 255.0)));
    }
    return s;
}

TRecord Shot(int i, std::uint64_t ticks) {
    TRecord r;
    r.Time = ticks;
    const std::uint16_t coarse = std::uint16_t(100 + (37 * i) % 2000);
    r.Enc0[0] = r.Enc1[0] = 1000;
    r.Enc0[1] = r.Enc1[1] = 250;
    r.Enc0[2] = r.Enc1[2] = coarse;
    const double drift = std::sin(i * 0.05);
    TRecSampleBlock ref;
    ref.TimeStamp = 4;
    ref.Channel = 0xC0;
    ref.Samples = Pulse(24, 9, 170, 2.5);
    TRecSampleBlock hi;
    hi.TimeStamp = std::uint16_t(14 + std::lround(6 * drift));  // 4-ns ticks after the shot
    hi.Channel = 0x00;
    hi.Samples = Pulse(64, 30, 150 + 60 * drift, 4);
    TRecSampleBlock lo = hi;
    lo.Channel = 0x40;
    lo.Samples = Pulse(64, 30, 45 + 20 * drift, 4.5);
    r.Blocks = {ref, hi, lo};
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <file.kqm> [records]\n", argv[0]);
        return 2;
    }
    try {
        const std::string file = argv[1];
        const long count = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 400;
        const std::filesystem::path dir = std::filesystem::path(file).parent_path();
        if (!dir.empty()) std::filesystem::create_directories(dir);
        TRecHeader h;           // a ZA26 recording: parameter field 5.1, measurement block 3.1
        h.ProtocolFlags = 0x7;  // sync words and verified checksums
        h.Texts["SerialNumber"] = "DEMO0001";
        TRecordingWriter w(file, h);
        for (long i = 0; i < count; ++i) {
            const std::uint64_t ticks = 250000000ull + 50000ull * std::uint64_t(i);  // 200 us apart
            if (i % 50 == 49)
                w.Write(TRecord::House(ticks - 1000, 250000000ull, 1000));
            else
                w.Write(Shot(int(i), ticks));
        }
        w.Close();
        TIndexFile idx;
        idx.Entries = EntriesOf(w);
        // External time: 10 s into the GPS day, in microseconds.
        for (TIndexEntry& e : idx.Entries) e.TimeExt = 10000000 + e.TimeInt / 250;
        idx.Write(std::filesystem::path(file).replace_extension(".idx").string());
        std::printf("%s\n", file.c_str());
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
