// How many calls to the system a read costs. Every call is a trip into the
// kernel, which on some machines costs more than decoding a record: a seek to
// a random record and its read must not come to more than one read of the
// index and one of the recording, whatever the size of the records, and a
// reader walking the file must not make a call for every few records.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "Faults.h"
#include "IndexWriter.h"
#include "RecordingWriter.h"
#include "TempDir.h"
#include "narvi.h"

namespace {

// Records of Samples samples each, indexed.
std::string Recording(TTempDir& Dir, const std::string& Name, std::size_t Samples, int Count) {
    const std::string Path = Dir.File(Name + ".kqm");
    TRecHeader H;
    H.ProtocolFlags = 0x7;
    TRecordingWriter W(Path, H);
    for (int I = 0; I < Count; ++I) {
        TRecord R;
        R.Time = 1000000 + 50 * std::uint64_t(I);
        R.Enc0[0] = R.Enc1[0] = 64;
        R.Enc0[2] = R.Enc1[2] = std::uint16_t(I);
        // A block holds at most 1020 samples: more go into a second channel.
        for (std::size_t Left = Samples, B = 0; Left > 0; Left -= std::min<std::size_t>(Left, 1020), ++B)
            R.Blocks.push_back({std::uint16_t(100 + 2000 * B),
                                std::uint8_t(B * 0x40),
                                std::vector<std::uint8_t>(std::min<std::size_t>(Left, 1020), std::uint8_t(I)),
                                {}});
        W.Write(R);
    }
    W.Close();
    TIndexFile F;
    F.Entries = EntriesOf(W);
    F.Write(Dir.File(Name + ".idx"));
    return Path;
}

std::int32_t Read(NARVI_FILE_T H) {
    NARVI_UINT32_T Count = 0, Size = 0;
    NARVI_SBL_PTR_T Sbl = nullptr;
    return narvi_read(H, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &Count, &Size, &Sbl);
}

TEST(SystemCalls, ARandomSeekAndReadCallTwiceAndAWalkRarely) {
    TTempDir Dir;
    constexpr int Records = 2000;
    for (const std::size_t Samples : {std::size_t(32), std::size_t(240), std::size_t(2040)}) {
        SCOPED_TRACE(std::to_string(Samples) + " samples a record");
        const std::string Path = Recording(Dir, "r" + std::to_string(Samples), Samples, Records);
        NARVI_FILE_T H = nullptr;
        ASSERT_EQ(narvi_open(Path.c_str(), &H), 0);
        // Far apart, so that neither file has the next target buffered.
        for (const std::uint32_t N : {1500u, 17u, 1999u, 800u, 2000u, 2u}) {
            Faults::Arm(Faults::fkEIO, 0);
            const std::int32_t Seek = narvi_seek(H, N), Code = Read(H);
            const long Calls = Faults::Disarm();
            ASSERT_EQ(Seek, 0);
            ASSERT_EQ(Code, 0);
            EXPECT_LE(Calls, 2) << "record " << N;
        }
        ASSERT_EQ(narvi_seek(H, 1), 0);
        Faults::Arm(Faults::fkEIO, 0);
        int Shots = 0;
        while (Read(H) == 0) ++Shots;
        const long Calls = Faults::Disarm();
        EXPECT_EQ(Shots, Records);
        EXPECT_LE(Calls, Records / 20);
        narvi_close(H);
    }
}

}  // namespace
