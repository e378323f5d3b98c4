#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "Exception.h"
#include "FileProbe.h"
#include "IndexCreate.h"
#include "IndexWriter.h"
#include "KQMIndex.h"
#include "RecordingWriter.h"
#include "TempDir.h"

namespace {

namespace fs = std::filesystem;

TRecHeader Header(std::uint16_t ParMain, std::uint16_t ParSub, std::uint16_t MeasMain, std::uint16_t MeasSub,
                  std::uint32_t Flags, std::uint16_t SubMain = 2) {
    return TRecHeader::Versions(SubMain, ParMain, ParSub, MeasMain, MeasSub, Flags);
}

TRecord Shot(std::uint64_t Time, std::size_t Samples, std::uint8_t Fill = 0x11) {
    TRecord R;
    R.Time = Time;
    std::size_t Left = Samples;
    while (Left > 0) {
        TRecSampleBlock B;
        B.Channel = 0x40;
        const std::size_t N = std::min<std::size_t>(Left, 1020);
        B.Samples.assign(N, Fill);
        R.Blocks.push_back(B);
        Left -= N;
    }
    return R;
}

// Count records 250 us apart from T0, sample counts cycling through a few sizes.
void Fill(TRecordingWriter& W, int Count, std::uint64_t T0 = 123456789) {
    for (int I = 0; I < Count; ++I) {
        if (I % 7 == 6) {
            W.Write(TRecord::House(T0 + std::uint64_t(I) * 250, 0, 0));
        } else {
            W.Write(Shot(T0 + std::uint64_t(I) * 250, std::size_t(8 + 24 * (I % 5))));
        }
    }
    W.Close();
}

std::string Message(const std::function<void()>& F) {
    try {
        F();
    } catch (const Exception& E) {
        return E.Message();
    }
    return "(no error)";
}

struct Span {
    bool Result;
    std::int64_t Start, End;
};

Span TimeOf(const std::string& File) {
    Span S{false, -1, -1};
    S.Result = GetTimeFromKQM(File, S.Start, S.End);
    return S;
}

TEST(SerialProbe, ReadsTheTrimmedSerialOfEveryHeaderVersion) {
    TTempDir Dir;
    struct Case {
        std::uint16_t Sub, ParMain, ParSub;
        std::string Stored, Expected;
    };
    for (const Case& C : std::vector<Case>{{1, 2, 0, "SN000001", "SN000001"},
                                           {2, 2, 1, "  42 ", "42"},
                                           {2, 3, 0, "\tAB-7\r", "AB-7"},
                                           {1, 3, 1, "", ""},
                                           {2, 4, 0, "X", "X"},
                                           {2, 4, 1, "12345678", "12345678"},
                                           {2, 5, 0, " 5 0 ", "5 0"},
                                           {2, 5, 1, "Z", "Z"}}) {
        TRecHeader H = Header(C.ParMain, C.ParSub, 2, 0, 0, C.Sub);
        H.Texts["SerialNumber"] = C.Stored;
        const std::string File = Dir.File("serial.kqm");
        TRecordingWriter W(File, H);
        W.Close();
        EXPECT_EQ(GetSerialNumberFromKQM(File), C.Expected) << C.ParMain << "." << C.ParSub;
    }
}

TEST(SerialProbe, RefusesHeadersItCannotRead) {
    TTempDir Dir;
    const std::string File = Dir.File("bad.kqm");
    EXPECT_THROW(GetSerialNumberFromKQM(File), EInOutError);

    TRecordingWriter W(File, Header(3, 1, 2, 1, 1));
    Fill(W, 3);
    DamageOverwrite(File, 8, {0, 3, 0, 0});
    EXPECT_EQ(Message([&] { GetSerialNumberFromKQM(File); }), "Unknown Subheader_3_0");
    DamageOverwrite(File, 8, {0, 2, 0, 0, 7, 0});
    EXPECT_EQ(Message([&] { GetSerialNumberFromKQM(File); }), "Unknown ParameterField_7_0");
    DamageOverwrite(File, 12, {3, 1});
    DamageTruncate(File, 1000);
    // A file that ends inside its header is refused, not read as zeros.
    for (const std::int64_t Size : {1000, 6627, 11, 0}) {
        DamageTruncate(File, Size);
        const std::string Text = Message([&] { GetSerialNumberFromKQM(File); });
        EXPECT_NE(Text.find("short"), std::string::npos) << Size << ": " << Text;
    }
}

class TimeProbe : public ::testing::TestWithParam<std::uint32_t> {};

// Records with and without checksums, sync words in every case.
TEST_P(TimeProbe, FindsFirstAndLastRecordOfLongAndShortFiles) {
    TTempDir Dir;
    for (const int Count : {1, 2, 5, 300}) {
        const std::string File = Dir.File("span.kqm");
        TRecordingWriter W(File, Header(3, 1, 2, 1, GetParam()));
        Fill(W, Count);
        const Span S = TimeOf(File);
        EXPECT_TRUE(S.Result);
        EXPECT_EQ(S.Start, W.Records().front().TimeUs) << Count;
        EXPECT_EQ(S.End, W.Records().back().TimeUs) << Count;
    }
    // Files shorter than the tail window, header included.
    for (const int Count : {1, 3}) {
        const std::string File = Dir.File("short.kqm");
        TRecordingWriter W(File, Header(2, 0, 1, 0, GetParam(), 1));
        Fill(W, Count, 42);
        ASSERT_LT(fs::file_size(File), 4096u);
        const Span S = TimeOf(File);
        EXPECT_EQ(S.Start, 42);
        EXPECT_EQ(S.End, W.Records().back().TimeUs) << Count;
    }
}

INSTANTIATE_TEST_SUITE_P(Framing, TimeProbe, ::testing::Values(1u, 3u, 7u));

TEST(TimeProbeEdges, WithoutSyncWordsOnlyTheStartIsKnown) {
    TTempDir Dir;
    const std::string File = Dir.File("nosync.kqm");
    TRecordingWriter W(File, Header(2, 0, 2, 1, 0));
    Fill(W, 40);
    const Span S = TimeOf(File);
    EXPECT_TRUE(S.Result);
    EXPECT_EQ(S.Start, W.Records().front().TimeUs);
    EXPECT_EQ(S.End, 0);
}

TEST(TimeProbeEdges, TickRecordingsReportNothingAndReadNoRecord) {
    TTempDir Dir;
    for (const std::uint16_t Sub : {0, 1}) {
        const std::string File = Dir.File("ticks.kqm");
        TRecordingWriter W(File, Header(5, 1, 3, Sub, 1));
        Fill(W, 10);
        // Records that could not be read do not matter.
        DamageOverwrite(File, W.Records()[0].Offset, {0, 0, 0, 0, 0, 0});
        const Span S = TimeOf(File);
        EXPECT_FALSE(S.Result);
        EXPECT_EQ(S.Start, 0);
        EXPECT_EQ(S.End, 0);
    }
}

TEST(TimeProbeEdges, TruncatedFileEndsAtTheLastWholeRecord) {
    TTempDir Dir;
    const std::string File = Dir.File("cut.kqm");
    TRecordingWriter W(File, Header(3, 0, 2, 1, 3));
    Fill(W, 60);
    const auto& R = W.Records();
    // Cut inside the last record's sync word, size word, body and checksum.
    for (const std::int64_t Into :
         {std::int64_t(1), std::int64_t(3), std::int64_t(5), std::int64_t(20), R.back().Length - 1}) {
        const std::vector<std::uint8_t> Whole = ReadFileBytes(File);
        DamageTruncate(File, R.back().Offset + Into);
        const Span S = TimeOf(File);
        EXPECT_TRUE(S.Result);
        EXPECT_EQ(S.Start, R.front().TimeUs);
        EXPECT_EQ(S.End, R[R.size() - 2].TimeUs) << Into;
        WriteFileBytes(File, Whole);
    }
}

TEST(TimeProbeEdges, SyncPatternInsideSamplesCountsOnlyWhereItsRecordFits) {
    TTempDir Dir;
    const std::string File = Dir.File("inside.kqm");
    TRecHeader H = Header(3, 1, 2, 0, 1);
    TRecordingWriter W(File, H);
    W.Write(Shot(1000, 8));
    // The last record's samples end in the sync word followed by a size word
    // of 0xFFFF dwords: a record that cannot fit behind it.
    TRecord Last = Shot(2000, 40);
    const std::uint32_t Sync = H.SyncField;
    std::vector<std::uint8_t>& Tail = Last.Blocks.back().Samples;
    Tail.resize(40);
    const std::vector<std::uint8_t> Fake = {
        std::uint8_t(Sync >> 24), std::uint8_t(Sync >> 16), std::uint8_t(Sync >> 8), std::uint8_t(Sync), 0xFF, 0xFF};
    std::copy(Fake.begin(), Fake.end(), Tail.end() - 8);
    W.Write(Last);
    W.Close();
    Span S = TimeOf(File);
    EXPECT_EQ(S.End, 2000);

    // A size word of 0 cannot hold even the block header.
    DamageOverwrite(File, W.Records()[1].Offset + W.Records()[1].Length - 4, {0, 0});
    S = TimeOf(File);
    EXPECT_EQ(S.End, 2000);
}

TEST(TimeProbeEdges, NoSyncWordInTheTailWindowLeavesTheEndOpen) {
    TTempDir Dir;
    const std::string File = Dir.File("big.kqm");
    TRecordingWriter W(File, Header(3, 1, 2, 1, 1));
    W.Write(Shot(7000, 16));
    W.Write(Shot(8000, 5000, 0x22));
    W.Close();
    const Span S = TimeOf(File);
    EXPECT_TRUE(S.Result);
    EXPECT_EQ(S.Start, 7000);
    EXPECT_EQ(S.End, 0);
}

TEST(TimeProbeEdges, BadHeadersAndFirstRecordsFailClearly) {
    TTempDir Dir;
    const std::string File = Dir.File("bad.kqm");
    EXPECT_THROW(TimeOf(File), EInOutError);

    struct Case {
        std::uint32_t Flags;
        std::function<void(const TRecordingWriter&)> Damage;
        std::string Message;
    };
    const auto Dwords = [&](std::uint32_t V) {
        DamageOverwrite(File, 0, {std::uint8_t(V >> 24), std::uint8_t(V >> 16), std::uint8_t(V >> 8), std::uint8_t(V)});
    };
    const std::vector<Case> Cases = {
        {1, [&](const TRecordingWriter&) { Dwords(0); }, "Invalid HeaderDwordSize: 0 (the header tables end at 6628)"},
        {1, [&](const TRecordingWriter&) { Dwords(1656); },
         "Invalid HeaderDwordSize: 1656 (the header tables end at 6628)"},
        {1, [&](const TRecordingWriter& W) { Dwords(std::uint32_t(W.Position() / 4 + 1)); },
         "Invalid HeaderDwordSize: 1671 (header of 6684 bytes in a file of 6680 bytes)"},
        {1,
         [&](const TRecordingWriter&) {
             DamageOverwrite(File, 14, {4, 0});
         },
         "Invalid MeasBlockId: 4.0"},
        {1,
         [&](const TRecordingWriter&) {
             DamageOverwrite(File, 14, {2, 2});
         },
         "Invalid MeasBlockId: 2.2"},
        {1, [&](const TRecordingWriter& W) { DamageTruncate(File, W.HeaderLength() + 3); }, "Cannot read sync field"},
        {1,
         [&](const TRecordingWriter& W) {
             DamageOverwrite(File, W.HeaderLength(), {1, 2, 3, 4});
         },
         "SyncField invalid"},
        {1,
         [&](const TRecordingWriter& W) {
             DamageOverwrite(File, W.HeaderLength() + 4, {0, 0});
         },
         "Position 6632: MeasBlockDwords=0 invalid (block header of 20 bytes)"},
        {1,
         [&](const TRecordingWriter& W) {
             DamageOverwrite(File, W.HeaderLength() + 4, {0, 4});
         },
         "Position 6632: MeasBlockDwords=4 invalid (block header of 20 bytes)"},
        {1,
         [&](const TRecordingWriter& W) {
             DamageOverwrite(File, W.HeaderLength() + 4, {0x40, 0});
         },
         "Position 6632: Cannot read measurement block (65534 bytes): EOF reached"},
        {0, [&](const TRecordingWriter& W) { DamageTruncate(File, W.HeaderLength() + 1); },
         "Position 6628: Cannot read size of measurement block (2 bytes): EOF reached"},
        {3, [&](const TRecordingWriter& W) { DamageTruncate(File, W.Position() - 2); },
         "Position 6680: Cannot read checksum (4 bytes): EOF reached"},
    };
    for (const Case& C : Cases) {
        TRecordingWriter W(File, Header(3, 1, 2, 1, C.Flags));
        W.Write(Shot(100, 24));
        W.Close();
        ASSERT_EQ(W.HeaderLength(), 6628);
        C.Damage(W);
        EXPECT_EQ(Message([&] { TimeOf(File); }), C.Message);
    }
}

TEST(IndexTimeProbe, ReportsTheFirstAndLastEntry) {
    TTempDir Dir;
    TIndexFile F;
    F.Major = 1;
    F.Minor = 0;
    for (int I = 0; I < 1000; ++I) F.Entries.push_back({std::uint64_t(86400000000ULL + 1000ULL * I), 100 + I, 0});
    F.Write(Dir.File("t.idx"));
    std::int64_t A = -1, B = -1;
    ASSERT_TRUE(GetTimeFromIdx(Dir.File("t.kqm"), A, B));
    EXPECT_EQ(A, 86400000000LL);
    EXPECT_EQ(B, 86400000000LL + 999000);

    F.Major = 4;
    F.Entries.resize(2);
    F.Entries[1].TimeExt = 0x123456789AULL << 8;
    F.Write(Dir.File("four.idx"));
    ASSERT_TRUE(GetTimeFromIdx(Dir.File("four.idx"), A, B));
    EXPECT_EQ(B, std::int64_t(0x123456789AULL << 8));
}

TEST(IndexTimeProbe, InvalidOrEmptyIndexesLeaveTheTimesAlone) {
    TTempDir Dir;
    TIndexFile F;
    F.Entries = {{10, 1, 2}, {20, 3, 4}};
    F.Flags = 1;
    F.Write(Dir.File("bad.idx"));
    std::int64_t A = 7, B = 8;
    EXPECT_FALSE(GetTimeFromIdx(Dir.File("bad.idx"), A, B));
    F.Flags = 0;
    F.Entries.clear();
    F.Write(Dir.File("empty.idx"));
    EXPECT_FALSE(GetTimeFromIdx(Dir.File("empty.idx"), A, B));
    EXPECT_EQ(A, 7);
    EXPECT_EQ(B, 8);

    F.Major = 1;
    F.Minor = 7;
    F.Write(Dir.File("version.idx"));
    EXPECT_THROW(GetTimeFromIdx(Dir.File("version.idx"), A, B), EIndex);
    EXPECT_THROW(GetTimeFromIdx(Dir.File("missing.idx"), A, B), EIndex);
    EXPECT_EQ(A, 7);
}

TEST(IndexTimeProbe, AgreesWithTheRecordingAndItsBuiltIndex) {
    TTempDir Dir;
    const std::string Kqm = Dir.File("both.kqm");
    TRecordingWriter W(Kqm, Header(3, 0, 2, 1, 7));
    Fill(W, 500);
    IndexCreate(Kqm);
    std::int64_t A = 0, B = 0;
    ASSERT_TRUE(GetTimeFromIdx(Kqm, A, B));
    const Span S = TimeOf(Kqm);
    EXPECT_EQ(A, S.Start);
    EXPECT_EQ(B, S.End);
    EXPECT_EQ(B, W.Records().back().TimeUs);
}

}  // namespace
