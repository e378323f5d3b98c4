// The demo recordings (the viewer's and the C example's) as the reader
// library sees them: their index can be rebuilt, and is the one written with
// them, and their channels are the ones they are named after.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "DemoRecording.h"
#include "NarviBinding.h"
#include "TempDir.h"

namespace {

std::vector<char> Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Rebuilds the index beside path through the library; returns the bytes of
// the index that was there before.
std::vector<char> RebuildIndex(TWaveFile& file, const std::string& path) {
    const std::string index = std::filesystem::path(path).replace_extension(".idx").string();
    const std::vector<char> written = Bytes(index);
    EXPECT_FALSE(written.empty());
    std::filesystem::remove(index);
    file.Reindex();
    return written;
}

struct TShot {
    double TimeSorg = 0, TimeExternal = 0;
    std::uint16_t Flags = 0;
    std::vector<std::pair<std::uint32_t, NARVI_SAMPLE_T>> PeakPerChannel;
};

TShot Read(TWaveFile& file) {
    TShot s;
    NARVI_FLOAT64_VECTOR3_T origin, direction;
    std::uint16_t facet = 0;
    std::uint32_t count = 0, size = 0;
    NARVI_SBL_PTR_T sbl = nullptr;
    file.Read(s.TimeSorg, s.TimeExternal, origin, direction, s.Flags, facet, count, size, sbl);
    for (std::uint32_t i = 0; i < count; ++i) {
        const auto* b = reinterpret_cast<const NARVI_SBL_T*>(reinterpret_cast<const char*>(sbl) + i * size);
        s.PeakPerChannel.emplace_back(b->CHANNEL, *std::max_element(b->SAMPLE, b->SAMPLE + b->SAMPLE_COUNT));
    }
    return s;
}

TEST(DemoRecording, TheLibraryRebuildsTheIndexItWasWrittenWith) {
    TTempDir dir;
    const std::string viewerDemo = dir.File("demo.kqm");
    WriteDemoRecording(viewerDemo, 400);
    char exampleDemo[1024];
    ASSERT_EQ(demo_recording_write(exampleDemo, sizeof exampleDemo), 0) << exampleDemo;
    for (const std::string& path : {viewerDemo, std::string(exampleDemo)}) {
        SCOPED_TRACE(path);
        TWaveFile file(path);
        const std::vector<char> written = RebuildIndex(file, path);
        EXPECT_EQ(Bytes(std::filesystem::path(path).replace_extension(".idx").string()), written);
        // GPS time of day 10 s when the instrument clock read 0; the first shot at 1 s.
        file.Seek(1);
        const TShot first = Read(file);
        EXPECT_DOUBLE_EQ(first.TimeSorg, 1.0);
        EXPECT_DOUBLE_EQ(first.TimeExternal, 11.0);
        file.Seek(50);
        EXPECT_EQ(Read(file).Flags & NARVI_FLAGS_HOUSEKEEPING, NARVI_FLAGS_HOUSEKEEPING);
    }
    demo_recording_remove(exampleDemo);
}

TEST(DemoRecording, StrongEchoOnTheHighPowerChannel) {
    TTempDir dir;
    const std::string path = dir.File("demo.kqm");
    WriteDemoRecording(path, 60);
    TWaveFile file(path);
    file.Seek(12);
    const TShot shot = Read(file);
    ASSERT_EQ(shot.PeakPerChannel.size(), 3u);
    EXPECT_EQ(shot.PeakPerChannel[0].first, NARVI_CHANNEL_REF);
    EXPECT_EQ(shot.PeakPerChannel[1].first, NARVI_CHANNEL_HP);
    EXPECT_EQ(shot.PeakPerChannel[2].first, NARVI_CHANNEL_LP);
    EXPECT_GT(shot.PeakPerChannel[1].second, 2 * shot.PeakPerChannel[2].second);
}

}  // namespace
