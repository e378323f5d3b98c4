// The trace window's store of lines and the decoding of the backend's
// single-byte texts, without a window.

#include <gtest/gtest.h>

#include "LibraryText.h"
#include "NarviBinding.h"
#include "VantoraTrace.h"

namespace {

std::string Stamped(std::time_t when, const std::string& text) {
    std::tm local{};
    localtime_r(&when, &local);
    return TraceLine(local, text);
}

TEST(TraceLines, KeepTheLastLinesWithTheSecondEachArrived) {
    TTraceLines lines(3);
    EXPECT_TRUE(lines.Since(0).empty());
    const std::time_t t0 = 1700000000;
    lines.Add(t0, "a rather long first line that leaves its room to a later one");
    lines.Add(t0, "second");
    lines.Add(t0 + 1, "third");
    EXPECT_EQ(lines.Since(1), (std::vector<std::string>{Stamped(t0, "second"), Stamped(t0 + 1, "third")}));
    // Full: the oldest line goes, whatever its length was.
    lines.Add(t0 + 3600, "x");
    lines.Add(t0 + 3601, "");
    EXPECT_EQ(lines.Count(), 3u);
    EXPECT_EQ(lines.Total(), 5u);
    const std::vector<std::string> kept{Stamped(t0 + 1, "third"), Stamped(t0 + 3600, "x"), Stamped(t0 + 3601, "")};
    // Asked from a line that is gone, the store gives what it still has.
    EXPECT_EQ(lines.Since(0), kept);
    EXPECT_EQ(lines.Since(4), std::vector<std::string>{kept.back()});
    EXPECT_TRUE(lines.Since(5).empty());
}

TEST(LibraryTexts, AreSingleByteAndBecomeUtf8) {
    EXPECT_EQ(LibraryText("Block: 12"), "Block: 12");
    EXPECT_EQ(LibraryText("Theta [deg+45\xB0]=1.5"), "Theta [deg+45\u00B0]=1.5");
    EXPECT_EQ(LibraryText("\x80\xE4\xFF"), "\u0080\u00E4\u00FF");
    EXPECT_EQ(LibraryText(static_cast<const char*>(nullptr)), "");
    // A failure of the backend carries its text; the viewer's own are UTF-8 already.
    EXPECT_EQ(MessageText(EWaveFileEnd("Angle 90\xB0 out of range")), "Angle 90\u00B0 out of range");
    EXPECT_EQ(MessageText(Exception("File '/data/M\u00FCnster.kqm'")), "File '/data/M\u00FCnster.kqm'");
}

}  // namespace
