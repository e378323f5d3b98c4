// The demo recordings (the viewer's and the C example's) as the reader
// library sees them: it rebuilds their index, the very one written with them,
// and reads their channels as they are named.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "DemoRecording.h"
#include "NarviBinding.h"
#include "TempDir.h"

namespace {

std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(DemoRecording, TheLibraryRebuildsItsIndexAndReadsItsChannels) {
    TTempDir dir;
    const std::string viewerDemo = dir.File("demo.kqm");
    WriteDemoRecording(viewerDemo, 400);
    char exampleDemo[1024];
    ASSERT_EQ(demo_recording_write(exampleDemo, sizeof exampleDemo), 0) << exampleDemo;
    for (const std::string& path : {viewerDemo, std::string(exampleDemo)}) {
        SCOPED_TRACE(path);
        const std::string index = std::filesystem::path(path).replace_extension(".idx").string();
        const std::string written = Bytes(index);
        std::filesystem::remove(index);
        TWaveFile file(path);
        file.Reindex();
        EXPECT_EQ(Bytes(index), written);

        // GPS time of day 10 s when the instrument clock read 0; the 12th shot at 1.22 s.
        file.Seek(12);
        double sorg = 0, ext = 0;
        NARVI_FLOAT64_VECTOR3_T origin, direction;
        std::uint16_t flags = 0, facet = 0;
        std::uint32_t count = 0, size = 0;
        NARVI_SBL_PTR_T sbl = nullptr;
        file.Read(sorg, ext, origin, direction, flags, facet, count, size, sbl);
        EXPECT_DOUBLE_EQ(ext - sorg, 10.0);
        ASSERT_EQ(count, 3u);
        auto block = [&](std::uint32_t i) {
            return reinterpret_cast<const NARVI_SBL_T*>(reinterpret_cast<const char*>(sbl) + i * size);
        };
        EXPECT_EQ(block(0)->CHANNEL, NARVI_CHANNEL_REF);
        EXPECT_EQ(block(1)->CHANNEL, NARVI_CHANNEL_HP);
        EXPECT_EQ(block(2)->CHANNEL, NARVI_CHANNEL_LP);
        // The strong echo is the high-power channel's.
        EXPECT_GT(block(1)->SAMPLE[30], 2 * block(2)->SAMPLE[30]);
    }
    demo_recording_remove(exampleDemo);
}

}  // namespace
