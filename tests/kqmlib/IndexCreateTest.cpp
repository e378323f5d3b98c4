#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <tuple>
#include <string>
#include <vector>

#include "IndexCreate.h"
#include "KQMIndex.h"
#include "RecordingWriter.h"
#include "Stream.h"
#include "TempDir.h"

namespace {

namespace fs = std::filesystem;

// A recording of Count records: sample blocks of varying length, a
// housekeeping record every tenth, times 1000 us apart.
TRecordingWriter& Fill(TRecordingWriter& W, int Count, std::uint64_t T0 = 5000) {
    for (int I = 0; I < Count; ++I) {
        TRecord R;
        R.Time = T0 + std::uint64_t(I) * 1000;
        if (I % 10 == 9) {
            R = TRecord::House(R.Time, 250000ULL * I, 1000u * I);
        } else {
            R.LineEncoderValue = std::uint32_t(I * 37);
            for (int B = 0; B < I % 4; ++B) {
                TRecSampleBlock S;
                S.TimeStamp = std::uint16_t(B * 10);
                S.Channel = std::uint8_t(B << 6);
                S.Samples.assign(std::size_t(4 * (1 + (I + B) % 7)), std::uint8_t(I));
                R.Blocks.push_back(S);
            }
        }
        W.Write(R);
    }
    W.Close();
    return W;
}

TRecHeader Header(std::uint16_t SubMain, std::uint16_t ParMain, std::uint16_t ParSub, std::uint16_t MeasMain,
                  std::uint16_t MeasSub, std::uint32_t Flags) {
    return TRecHeader::Versions(SubMain, ParMain, ParSub, MeasMain, MeasSub, Flags);
}

std::string IndexMessage(const std::function<void()>& F) {
    try {
        F();
    } catch (const EIndex& E) {
        EXPECT_EQ(E.CODE, 1);
        return E.Message();
    } catch (const std::exception& E) {
        return std::string("not EIndex: ") + E.what();
    }
    return "(no error)";
}

// Every entry of the index at Idx agrees with what the writer put down.
void ExpectIndexMatches(const std::string& Idx, const TRecordingWriter& W) {
    TIndex Index(Idx);
    EXPECT_EQ(Index.HeaderMajor(), 1);
    EXPECT_EQ(Index.HeaderMinor(), 0);
    EXPECT_EQ(Index.HeaderFlags(), 0u);
    EXPECT_EQ(Index.HeaderSize(), 12u);
    ASSERT_EQ(Index.Count(), std::int64_t(W.Records().size()));
    for (std::size_t I = 0; I < W.Records().size(); ++I) {
        const TRecordInfo& R = W.Records()[I];
        EXPECT_EQ(Index.Seek(std::int64_t(I) + 1), R.SizeWord) << "record " << I + 1;
        EXPECT_EQ(std::uint64_t(Index.GetTimeStamp()), R.RawTime) << "record " << I + 1;
        EXPECT_EQ(Index.GetTimeStamp() * 250, R.Time4ns) << "record " << I + 1;
    }
}

struct Layout {
    std::uint16_t SubMain, ParMain, ParSub, MeasMain, MeasSub;
    std::uint32_t Flags;
};

class IndexCreateLayouts : public ::testing::TestWithParam<Layout> {};

TEST_P(IndexCreateLayouts, BothBuildersWriteOneEntryPerRecord) {
    const Layout L = GetParam();
    TTempDir Dir;
    const std::string Kqm = Dir.File("shot.kqm");
    TRecordingWriter W(Kqm, Header(L.SubMain, L.ParMain, L.ParSub, L.MeasMain, L.MeasSub, L.Flags));
    Fill(W, 57);

    IndexCreate(Kqm, "");
    ExpectIndexMatches(Dir.File("shot.idx"), W);
    const auto Plain = ReadFileBytes(Dir.File("shot.idx"));
    EXPECT_EQ(Plain.size(), 12u + 57u * 13u);

    int Calls = 0;
    std::int64_t LastPos = -1;
    const TIndexCreateEvent Event = [&](TStream& S, bool& Abort) {
        // Called at the start of each record, in file order.
        ASSERT_LT(std::size_t(Calls), W.Records().size());
        EXPECT_EQ(S.GetPosition(), W.Records()[std::size_t(Calls)].Offset);
        EXPECT_GT(S.GetPosition(), LastPos);
        LastPos = S.GetPosition();
        EXPECT_FALSE(Abort);
        ++Calls;
    };
    ASSERT_TRUE(IndexCreateEx(Event, Kqm, Dir.File("other.idx")));
    EXPECT_EQ(Calls, 57);
    EXPECT_EQ(ReadFileBytes(Dir.File("other.idx")), Plain);
    // Nothing is left beside the index.
    EXPECT_EQ(std::distance(fs::directory_iterator(Dir.Path()), fs::directory_iterator()), 3);
}

INSTANTIATE_TEST_SUITE_P(Versions, IndexCreateLayouts,
                         ::testing::Values(Layout{1, 2, 0, 1, 0, 0}, Layout{1, 2, 1, 1, 1, 1}, Layout{2, 3, 0, 2, 0, 3},
                                           Layout{2, 3, 1, 2, 1, 7}, Layout{2, 4, 1, 1, 0, 2}, Layout{2, 5, 0, 2, 1, 1},
                                           Layout{1, 5, 1, 2, 0, 7}));

TEST(IndexCreate, NamesTheIndexAfterTheRecording) {
    TTempDir Dir;
    for (const auto& [Kqm, Idx] : std::vector<std::pair<std::string, std::string>>{
             {"shot.KQM", "shot.idx"}, {"shot.bin", "shot.bin.idx"}, {"noext", "noext.idx"}}) {
        TRecordingWriter W(Dir.File(Kqm), Header(2, 3, 1, 2, 1, 1));
        Fill(W, 3);
        IndexCreate(Dir.File(Kqm));
        ASSERT_TRUE(fs::exists(Dir.File(Idx))) << Kqm;
        EXPECT_EQ(fs::file_size(Dir.File(Idx)), 12u + 3u * 13u) << Kqm;
        fs::remove(Dir.File(Idx));
        EXPECT_TRUE(IndexCreateEx(nullptr, Dir.File(Kqm)));
        EXPECT_TRUE(fs::exists(Dir.File(Idx))) << Kqm;
    }
}

TEST(IndexCreate, HeaderOnlyGivesAnEmptyValidIndex) {
    TTempDir Dir;
    TRecordingWriter W(Dir.File("empty.kqm"), Header(2, 3, 1, 2, 1, 1));
    W.Close();
    IndexCreate(Dir.File("empty.kqm"));
    EXPECT_EQ(ReadFileBytes(Dir.File("empty.idx")), (std::vector<std::uint8_t>{12, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0}));
    TIndex Index(Dir.File("empty.idx"));
    EXPECT_EQ(Index.Count(), 0);
}

// A failed or aborted build keeps the index that was there and leaves no
// partial file behind.
class IndexCreateFailure : public ::testing::Test {
protected:
    void SetUp() override {
        Kqm = Dir.File("shot.kqm");
        Idx = Dir.File("shot.idx");
        W = std::make_unique<TRecordingWriter>(Kqm, Header(2, 3, 1, 2, 1, 3));
        Fill(*W, 20);
        Old = {12, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 1, 2, 3};
        WriteFileBytes(Idx, Old);
    }
    void ExpectUntouched() {
        EXPECT_EQ(ReadFileBytes(Idx), Old);
        EXPECT_EQ(std::distance(fs::directory_iterator(Dir.Path()), fs::directory_iterator()), 2);
    }
    TTempDir Dir;
    std::string Kqm, Idx;
    std::unique_ptr<TRecordingWriter> W;
    std::vector<std::uint8_t> Old;
};

TEST_F(IndexCreateFailure, WrongSyncWordNamesTheRecord) {
    DamageOverwrite(Kqm, W->Records()[2].Offset, {0x12, 0x34, 0x56, 0x78});
    EXPECT_EQ(IndexMessage([&] { IndexCreate(Kqm); }), "MeasBlock #3: SyncField invalid");
    ExpectUntouched();
    EXPECT_EQ(IndexMessage([&] { IndexCreateEx(nullptr, Kqm); }), "MeasBlock #3: SyncField invalid");
    ExpectUntouched();
}

TEST_F(IndexCreateFailure, CutRecordsFailWithThePieceThatIsMissing) {
    const auto& Last = W->Records().back();
    struct Cut {
        std::int64_t Size;
        std::string Message;
    };
    // From the longest cut file to the shortest: each cut shortens the last.
    const std::vector<Cut> Cuts = {
        {Last.Offset + Last.Length - 1, "Cannot read CrcField"},
        {Last.Offset + Last.Length - 5, "Cannot read MeasBlock #20"},
        {Last.Offset + 12, "Cannot read MeasBlock #20"},
        {Last.Offset + 5, "Cannot read MeasBlockDwords"},
        {Last.Offset + 2, "Cannot read SyncField"},
    };
    for (const Cut& C : Cuts) {
        DamageTruncate(Kqm, C.Size);
        EXPECT_EQ(IndexMessage([&] { IndexCreate(Kqm); }), C.Message) << C.Size;
        ExpectUntouched();
    }
}

TEST_F(IndexCreateFailure, ImplausibleSizeWordsFailWithoutReading) {
    const std::int64_t SizeWord = W->Records()[4].SizeWord;
    // 0 and 3 words cannot hold the 20-byte block header; 0xFFFF runs past the end.
    for (const auto& [Hi, Lo, Message] : std::vector<std::tuple<std::uint8_t, std::uint8_t, std::string>>{
             {0, 0, "MeasBlock #5: MeasBlockDwords invalid (0)"},
             {0, 4, "MeasBlock #5: MeasBlockDwords invalid (4)"},
             {0xFF, 0xFF, "Cannot read MeasBlock #5"}}) {
        DamageOverwrite(Kqm, SizeWord, {Hi, Lo});
        EXPECT_EQ(IndexMessage([&] { IndexCreate(Kqm); }), Message);
        ExpectUntouched();
    }
}

TEST_F(IndexCreateFailure, AbortKeepsTheOldIndex) {
    int Calls = 0;
    EXPECT_FALSE(IndexCreateEx([&](TStream&, bool& Abort) { Abort = true, ++Calls; }, Kqm));
    EXPECT_EQ(Calls, 1);
    ExpectUntouched();
    Calls = 0;
    EXPECT_FALSE(IndexCreateEx([&](TStream&, bool& Abort) { Abort = ++Calls == 7; }, Kqm));
    EXPECT_EQ(Calls, 7);
    ExpectUntouched();
}

TEST_F(IndexCreateFailure, RecordingAndIndexMustDiffer) {
    const auto Before = ReadFileBytes(Kqm);
    EXPECT_EQ(IndexMessage([&] { IndexCreate(Kqm, Kqm); }), "Index file and sample data file are the same: " + Kqm);
    EXPECT_EQ(ReadFileBytes(Kqm), Before);
}

TEST(IndexCreateHeader, IdentifierChecksAgreeForBothBuilders) {
    struct Case {
        std::uint16_t Sub, ParMain, ParSub, MeasMain, MeasSub;
        std::string Message;  // empty: accepted
    };
    const std::vector<Case> Cases = {
        {2, 5, 0, 2, 0, ""},
        {1, 5, 1, 1, 1, ""},
        {2, 3, 0, 3, 0, "Sorry, cannot index kqm files with MeasBlockId 3.x (different time stamping)"},
        {2, 3, 1, 3, 1, "Sorry, cannot index kqm files with MeasBlockId 3.x (different time stamping)"},
    };
    TTempDir Dir;
    for (const Case& C : Cases) {
        const std::string Kqm = Dir.File("ids.kqm");
        TRecordingWriter W(Kqm, Header(C.Sub, C.ParMain, C.ParSub, C.MeasMain, C.MeasSub, 1));
        Fill(W, 4);
        const std::string Expect = C.Message.empty() ? "(no error)" : C.Message;
        EXPECT_EQ(IndexMessage([&] { IndexCreate(Kqm); }), Expect);
        EXPECT_EQ(IndexMessage([&] { IndexCreateEx(nullptr, Kqm); }), Expect);
        fs::remove(Dir.File("ids.idx"));
    }

    // Identifiers no layout exists for, written over a valid header.
    struct Patch {
        std::uint16_t Sub;
        std::int64_t Offset;
        std::vector<std::uint8_t> Bytes;
        std::string Message;
    };
    const std::vector<Patch> Patches = {
        {2, 8, {0, 3, 0, 0}, "Invalid SubHeaderId: 3.0"}, {2, 8, {0, 2, 0, 1}, "Invalid SubHeaderId: 2.1"},
        {2, 12, {6, 0}, "Invalid ParameterId: 6.0"},      {1, 12, {0, 2, 0, 2}, "Invalid ParameterId: 2.2"},
        {2, 14, {4, 0}, "Invalid MeasBlockId: 4.0"},      {1, 16, {0, 0, 0, 0}, "Invalid MeasBlockId: 0.0"},
    };
    for (const Patch& P : Patches) {
        const std::string Kqm = Dir.File("ids.kqm");
        TRecordingWriter W(Kqm, Header(P.Sub, 3, 0, 2, 0, 1));
        Fill(W, 2);
        DamageOverwrite(Kqm, P.Offset, P.Bytes);
        EXPECT_EQ(IndexMessage([&] { IndexCreate(Kqm); }), P.Message);
        EXPECT_EQ(IndexMessage([&] { IndexCreateEx(nullptr, Kqm); }), P.Message);
        EXPECT_FALSE(fs::exists(Dir.File("ids.idx")));
    }
}

TEST(IndexCreateHeader, HeaderSizeWordMustCoverTheTablesAndFitTheFile) {
    TTempDir Dir;
    const std::string Kqm = Dir.File("hdr.kqm");
    TRecordingWriter W(Kqm, Header(2, 2, 0, 1, 0, 0));
    Fill(W, 3);
    const std::int64_t Size = std::int64_t(fs::file_size(Kqm));
    struct Case {
        std::uint32_t Dwords;
        std::string Message;
    };
    for (const Case& C : std::vector<Case>{
             {0, "Invalid HeaderDwordSize: 0 (header shorter than 44 bytes)"},
             {10, "Invalid HeaderDwordSize: 10 (header shorter than 44 bytes)"},
             {620, "Invalid HeaderDwordSize: 620 (ParameterField 2.0 needs a header of 2484 bytes)"},
             {0xFFFFFFFF, "Invalid HeaderDwordSize: 4294967295 (header of 17179869180 bytes in a file of " +
                              std::to_string(Size) + " bytes)"},
         }) {
        DamageOverwrite(Kqm, 0,
                        {std::uint8_t(C.Dwords >> 24), std::uint8_t(C.Dwords >> 16), std::uint8_t(C.Dwords >> 8),
                         std::uint8_t(C.Dwords)});
        EXPECT_EQ(IndexMessage([&] { IndexCreate(Kqm); }), C.Message);
        EXPECT_FALSE(fs::exists(Dir.File("hdr.idx")));
    }
    DamageTruncate(Kqm, 3);
    EXPECT_EQ(IndexMessage([&] { IndexCreate(Kqm); }), "Cannot read HeaderDwordSize");
    DamageTruncate(Kqm, 0);
    EXPECT_EQ(IndexMessage([&] { IndexCreate(Kqm); }), "Cannot read HeaderDwordSize");
}

TEST(IndexCreateHeader, FilesThatCannotBeOpenedOrCreated) {
    TTempDir Dir;
    const std::string Missing = IndexMessage([&] { IndexCreate(Dir.File("missing.kqm")); });
    EXPECT_EQ(Missing.rfind("Cannot open file \"" + Dir.File("missing.kqm") + "\".", 0), 0u) << Missing;
    EXPECT_FALSE(fs::exists(Dir.File("missing.idx")));

    TRecordingWriter W(Dir.File("ok.kqm"), Header(2, 3, 1, 2, 1, 1));
    Fill(W, 2);
    const std::string NoDir = IndexMessage([&] { IndexCreate(Dir.File("ok.kqm"), Dir.File("none/ok.idx")); });
    EXPECT_NE(NoDir.find("Cannot create file"), std::string::npos) << NoDir;
}

}  // namespace

#include "KQMReader.h"

namespace {

// The reader's own rebuild (version 1.1) and the standalone builder agree on
// every record's position and time for recordings whose records carry GPS
// microseconds.
TEST(IndexCreateVersusReader, SameRecordsAsTheReadersRebuild) {
    for (const auto& [Sub, ParMain, MeasMain, MeasSub, Flags] :
         std::vector<std::tuple<std::uint16_t, std::uint16_t, std::uint16_t, std::uint16_t, std::uint32_t>>{
             {1, 2, 1, 0, 0}, {2, 3, 2, 1, 7}, {2, 5, 1, 1, 3}, {2, 4, 2, 0, 1}}) {
        TTempDir Dir;
        const std::string Kqm = Dir.File("za14.kqm");
        TRecHeader H = Header(Sub, ParMain, 1, MeasMain, MeasSub, Flags);
        H.Texts["InstrumentType"] = "ZA14";
        TRecordingWriter W(Kqm, H);
        Fill(W, 2345);

        {
            TKQMReader Reader(Kqm);
            Reader.Reindex();
        }
        TIndex Rebuilt(Dir.File("za14.idx"));
        ASSERT_EQ(Rebuilt.HeaderMinor(), 1);
        IndexCreate(Kqm, Dir.File("standalone.idx"));
        TIndex Own(Dir.File("standalone.idx"));
        ASSERT_EQ(Own.Count(), Rebuilt.Count());
        for (std::int64_t I = 1; I <= Own.Count(); ++I) {
            ASSERT_EQ(Own.Seek(I), Rebuilt.Seek(I)) << "record " << I;
            ASSERT_EQ(Own.GetTimeStamp(), Rebuilt.GetTimeStamp()) << "record " << I;
            ASSERT_EQ(Own.GetTimeStamp() * 250, Rebuilt.GetTimeInternal()) << "record " << I;
        }
    }
}

}  // namespace
