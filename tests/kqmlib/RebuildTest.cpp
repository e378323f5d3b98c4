// Index rebuild: the file it writes, progress and abort, and what a failed
// or aborted rebuild leaves behind.

#include <cmath>
#include <cstring>
#include <stdexcept>

#include "Buffer.h"
#include "IndexCreate.h"
#include "RebuildTestSupport.h"
#include "Stream.h"

namespace {

TRecHeader ZA14Header(std::uint16_t MeasMain = 3, std::uint32_t Flags = 0) {
    TRecHeader H;
    H.Texts["InstrumentType"] = "ZA14";
    H.MeasMain = MeasMain;
    H.ProtocolFlags = Flags;
    return H;
}

// Shots 4 us apart, with a sample block each so that records differ in length.
std::vector<TRecord> Shots(int Count, std::uint64_t First = 1000) {
    std::vector<TRecord> V;
    for (int I = 0; I < Count; ++I)
        V.push_back(Shot(First + std::uint64_t(I) * 1000, {Blk(3, 0x40, Ramp(4 * std::size_t(1 + I % 5)))}));
    return V;
}

std::vector<TEntry> AllRecords(const std::vector<TRecordInfo>& Records) {
    std::vector<TEntry> V;
    for (const TRecordInfo& R : Records) V.push_back({R.TimeUs, R.SizeWord, R.Time4ns});
    return V;
}

// A ZA26 recording that synchronises: a pulse every second around Count shots.
std::vector<TRecord> SyncedShots(int Count) {
    std::vector<TRecord> V;
    const std::int64_t T0 = 10 * TicksPerSecond;
    const std::int64_t Step = TicksPerSecond / 100;
    for (int I = 0; I < Count; ++I) {
        const std::int64_t T = T0 + I * Step;
        if (I % 100 == 0) V.push_back(PulseAt(T, T, std::uint32_t(5000 + 10 * I)));
        V.push_back(ShotAt(T + 7));
    }
    return V;
}

}  // namespace

// --- The file written, the progress reported ---------------------------------

TEST(RebuildTest, ZA14IndexHoldsOneEntryPerRecordAndReportsEveryThousand) {
    struct {
        const char* Name;
        std::uint16_t MeasMain;
        std::uint32_t Flags;
    } const Cases[] = {
        {"ticks, plain records", 3, 0},
        {"ticks, sync words and checksums", 3, 7},
        {"microseconds, sync words", 2, 1},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        TTestRecording Rec(ZA14Header(C.MeasMain, C.Flags));
        Rec.Write(Shots(2500), false);
        THandle H(Rec.Path());
        TProgress P;
        P.Attach(H.Get());
        ASSERT_EQ(narvi_reindex(H.Get()), 0) << LastError();

        const std::vector<std::uint8_t> Bytes = ReadFileBytes(IdxOf(Rec.Path()));
        ASSERT_EQ(Bytes.size(), 12u + 2500u * 19u);
        const std::uint8_t Header[12] = {12, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0};
        EXPECT_EQ(std::memcmp(Bytes.data(), Header, 12), 0);

        const double Size = double(std::filesystem::file_size(Rec.Path()));
        const std::vector<int> Expected = {int(std::nearbyint(double(Rec.Records()[999].SizeWord) / Size * 100)),
                                           int(std::nearbyint(double(Rec.Records()[1999].SizeWord) / Size * 100))};
        EXPECT_EQ(P.Calls, Expected);
        EXPECT_EQ(IndexEntries(IdxOf(Rec.Path())), AllRecords(Rec.Records()));
        EXPECT_FALSE(Exists(IdxOf(Rec.Path()) + ".tmp"));
    }
}

TEST(RebuildTest, NewIndexServesReadsAndSeeksAtOnce) {
    TTestRecording Rec(ZA14Header(3, 1));
    Rec.Write(Shots(1500), false);
    THandle H(Rec.Path());
    EXPECT_EQ(H.Seek(1), 3) << "no index before the rebuild";
    ASSERT_EQ(narvi_reindex(H.Get()), 0) << LastError();

    TShot S = H.Read();
    ASSERT_EQ(S.Code, 0) << LastError();
    EXPECT_DOUBLE_EQ(S.TimeExt, Rec.Records()[0].TimeUs * 1e-6);
    ASSERT_EQ(S.Count, 1u);
    EXPECT_EQ(S.Samples(0), Wide(Ramp(4)));

    ASSERT_EQ(H.Seek(1234), 0) << LastError();
    EXPECT_EQ(H.Tell(), 1234u);
    S = H.Read();
    ASSERT_EQ(S.Code, 0) << LastError();
    EXPECT_DOUBLE_EQ(S.TimeExt, Rec.Records()[1233].TimeUs * 1e-6);

    ASSERT_EQ(narvi_seek_time_external(H.Get(), Rec.Records()[700].TimeUs * 1e-6), 0) << LastError();
    EXPECT_EQ(H.Tell(), 701u);
    ASSERT_EQ(narvi_seek_time(H.Get(), Rec.Records()[900].Time4ns * 4e-9), 0) << LastError();
    EXPECT_EQ(H.Tell(), 901u);
}

// Index entries read before a rebuild (and the window they were read
// through) must not outlive it: reads afterwards see the new entries only.
TEST(RebuildTest, ReadsAfterARebuildSeeTheNewEntriesNotThoseReadBefore) {
    TTestRecording Rec(ZA14Header(3, 1));
    // A stale index: every time an hour late.
    Rec.Write(Shots(900), true, [](std::vector<TIndexEntry>& E) {
        for (TIndexEntry& X : E) X.TimeExt += 3600000000ull;
    });
    THandle H(Rec.Path());
    for (const std::uint32_t N : {1u, 2u, 450u, 451u, 900u}) {
        ASSERT_EQ(H.Seek(N), 0) << LastError();
        const TShot S = H.Read();
        ASSERT_EQ(S.Code, 0) << LastError();
        EXPECT_DOUBLE_EQ(S.TimeExt, Rec.Records()[N - 1].TimeUs * 1e-6 + 3600);
    }
    ASSERT_EQ(H.Seek(450), 0) << LastError();
    ASSERT_EQ(narvi_reindex(H.Get()), 0) << LastError();

    for (const std::uint32_t N : {450u, 451u, 1u, 2u, 900u}) {
        SCOPED_TRACE(N);
        ASSERT_EQ(H.Seek(N), 0) << LastError();
        const TShot S = H.Read();
        ASSERT_EQ(S.Code, 0) << LastError();
        EXPECT_DOUBLE_EQ(S.TimeExt, Rec.Records()[N - 1].TimeUs * 1e-6);
    }
    ASSERT_EQ(H.Seek(1), 0) << LastError();
    for (std::size_t I = 0; I < 900; ++I) {
        const TShot S = H.Read();
        ASSERT_EQ(S.Code, 0) << "record " << I + 1 << ": " << LastError();
        ASSERT_DOUBLE_EQ(S.TimeExt, Rec.Records()[I].TimeUs * 1e-6) << "record " << I + 1;
    }
    EXPECT_EQ(H.Read().Code, NARVI_END_OF_FILE);
}

TEST(RebuildTest, AgreesWithTheStandaloneBuilderOnPositionsAndTimes) {
    for (std::uint32_t Flags : {0u, 3u}) {
        SCOPED_TRACE(Flags);
        TTestRecording Rec(ZA14Header(2, Flags));
        Rec.Write(Shots(1200, 604700000000ull), false);
        TTempDir Other;
        const std::string Idx10 = Other.File("standalone.idx");
        IndexCreate(Rec.Path(), Idx10);
        THandle H(Rec.Path());
        ASSERT_EQ(narvi_reindex(H.Get()), 0) << LastError();

        const std::vector<TEntry> Ours = IndexEntries(IdxOf(Rec.Path()));
        TIndex Theirs(Idx10);
        ASSERT_EQ(Theirs.Count(), std::int64_t(Ours.size()));
        for (std::int64_t N = 1; N <= Theirs.Count(); ++N) {
            Theirs.Seek(N);
            const TEntry& E = Ours[std::size_t(N - 1)];
            EXPECT_EQ(Theirs.GetFilePosition(), E.Pos) << N;
            EXPECT_EQ(Theirs.GetTimeStamp(), E.Ext) << N;
            EXPECT_EQ(Theirs.GetTimeStamp() * 250, E.Int) << N;
        }
    }
}

TEST(RebuildTest, DamagedRecordsAreSkippedAndACutLastRecordEndsTheScan) {
    TTestRecording Rec(ZA14Header(3, 1));
    Rec.Write(Shots(50), false);
    const auto& R = Rec.Records();
    // Ruin record 20's sync word and cut record 50 short.
    DamageOverwrite(Rec.Path(), R[19].Offset, {0, 0, 0, 0});
    DamageTruncate(Rec.Path(), R[49].Offset + R[49].Length - 3);
    THandle H(Rec.Path());
    ASSERT_EQ(narvi_reindex(H.Get()), 0) << LastError();

    std::vector<TEntry> Expected = AllRecords(R);
    Expected.pop_back();
    Expected.erase(Expected.begin() + 19);
    EXPECT_EQ(IndexEntries(IdxOf(Rec.Path())), Expected);
    EXPECT_EQ(H.Count("Synchronization successful"), 1);
}

// --- Failures and aborts keep the index that was there --------------------------

TEST(RebuildTest, AbortOrFailureLeavesThePreviousIndexByteIdenticalAndInUse) {
    struct {
        const char* Name;
        const char* Model;
        std::function<void(const std::string& Path, const std::vector<TRecordInfo>&)> Damage;
        NARVI_INT32_T Code;
        const char* Message;
    } const Cases[] = {
        {"ZA14 aborted at 50 %", "ZA14", nullptr, 4, "*** Aborted ***"},
        {"ZA26 aborted at 50 %", "ZA26", nullptr, 4, "*** Aborted ***"},
        {"ZA26 aborted while times are written", "ZA26", nullptr, 4, "*** Aborted ***"},
        {"unsynchronisable damage", "ZA14",
         [](const std::string& Path, const std::vector<TRecordInfo>& R) {
             // A size word below the block header, and no sync words to find the next record.
             DamageOverwrite(Path, R[1800].SizeWord, {0, 1});
         },
         4, "Cannot synchronize - no sync field present!"},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        TRecHeader Hd;
        Hd.Texts["InstrumentType"] = C.Model;
        TTestRecording Rec(Hd);
        Rec.Write(std::string(C.Model) == "ZA14" ? Shots(3000) : SyncedShots(3000), false);
        const std::string Idx = IdxOf(Rec.Path());
        {
            THandle First(Rec.Path());
            ASSERT_EQ(narvi_reindex(First.Get()), 0) << LastError();
        }
        const std::vector<std::uint8_t> Before = ReadFileBytes(Idx);
        // Damaged before the reader opens it: Windows lets nobody write to an open recording.
        if (C.Damage) C.Damage(Rec.Path(), Rec.Records());
        THandle H(Rec.Path());

        TProgress P;
        P.AbortAt = std::string(C.Name).find("written") != std::string::npos ? 96 : 50;
        if (C.Damage) P.AbortAt = 1000;
        P.Attach(H.Get());
        EXPECT_EQ(narvi_reindex(H.Get()), C.Code);
        EXPECT_EQ(LastError(), C.Message);

        EXPECT_EQ(ReadFileBytes(Idx), Before);
        EXPECT_FALSE(Exists(Idx + ".tmp"));
        ASSERT_EQ(H.Seek(1000), 0) << LastError();
        const TShot S = H.Read();
        EXPECT_EQ(S.Code, 0) << LastError();
        EXPECT_EQ(H.Tell(), 1001u);
    }
}

TEST(RebuildTest, ZA26WithoutPulsesFailsAndLeavesWhatWasThere) {
    TTestRecording Rec(TRecHeader{});
    std::vector<TRecord> Records = Shots(100);
    Records.push_back(PulseAt(200000, 100000, 5000, 0x80));  // not synchronised: no pair
    Rec.Write(Records, false);
    const std::string Idx = IdxOf(Rec.Path());

    {  // No index before: none after, and nothing left beside the recording.
        THandle H(Rec.Path());
        EXPECT_NE(narvi_reindex(H.Get()), 0);
        EXPECT_EQ(LastError(), "Not enough time synchronization records");
        EXPECT_FALSE(Exists(Idx));
        EXPECT_FALSE(Exists(Idx + ".tmp"));
        EXPECT_EQ(H.Seek(1), 3);
    }
    {  // An index written before stays, and stays in use.
        TIndexFile F;
        for (const TRecordInfo& R : Rec.Records())
            F.Entries.push_back({std::uint64_t(R.TimeUs), R.SizeWord, std::uint64_t(R.Time4ns)});
        F.Write(Idx);
        const std::vector<std::uint8_t> Before = ReadFileBytes(Idx);
        THandle H(Rec.Path());
        EXPECT_NE(narvi_reindex(H.Get()), 0);
        EXPECT_EQ(ReadFileBytes(Idx), Before);
        ASSERT_EQ(H.Seek(50), 0) << LastError();
        EXPECT_EQ(H.Read().Code, 0) << LastError();
    }
}

TEST(RebuildTest, RecordingWithTheIndexNameIsRefusedUntouched) {
    TTempDir Dir;
    const std::string Path = Dir.File("shot.idx");
    {
        TRecordingWriter W(Path, ZA14Header());
        for (const TRecord& R : Shots(10)) W.Write(R);
    }
    const std::vector<std::uint8_t> Before = ReadFileBytes(Path);
    NARVI_FILE_T H = nullptr;
    ASSERT_EQ(narvi_open(Path.c_str(), &H), 0) << LastError();
    EXPECT_NE(narvi_reindex(H), 0);
    EXPECT_EQ(LastError(), "Index file and sample data file are the same: " + Path);
    narvi_close(H);
    EXPECT_EQ(ReadFileBytes(Path), Before);
}

TEST(RebuildTest, ZA26ProgressClimbsTo95WhileScanningAndTo100WhileWritingTimes) {
    TTestRecording Rec(TRecHeader{});
    Rec.Write(SyncedShots(2500), false);
    THandle H(Rec.Path());
    TProgress P;
    P.Attach(H.Get());
    ASSERT_EQ(narvi_reindex(H.Get()), 0) << LastError();

    // 2525 entries: two calls while scanning, one per 1000 entries rewritten.
    ASSERT_EQ(P.Calls.size(), 5u);
    EXPECT_LE(P.Calls[0], P.Calls[1]);
    EXPECT_LE(P.Calls[1], 95);
    EXPECT_GE(P.Calls[1], 70);
    EXPECT_EQ(P.Calls[2], 95 + int(std::nearbyint((12 + 1000 * 19) * 5.0 / (12 + 2525 * 19))));
    EXPECT_EQ(P.Calls[4], 100);
    const std::vector<std::string> Steps = {"(i) Index creation started",
                                            "Step 1) read and decode measurements...",
                                            "Step 2) Consistency checks and preparation...",
                                            "25 valid time synchronization records detected",
                                            "Step 3) update index file...",
                                            "(i) Index successfully created"};
    for (const std::string& S : Steps) EXPECT_EQ(H.Count(S), 1) << S;
    EXPECT_EQ(H.Count("Mean frequency deviation: "), 1);
}

// --- Index records -----------------------------------------------------------

TEST(RebuildTest, IndexRecordRoutinesRoundTripTheirFieldWidths) {
    TMemoryStream S;
    WriteIndexHeader_1_1(S);
    WriteIndexRecord_1_1(S, 0xFFFFFFFFFFFF, 0xFFFFFFFFFF, 0x7FFFFFFFFFFFFFFF);
    WriteIndexRecord_1_1(S, 0x123456789ABCDE, 0xFF0102030405, -4);  // wider values lose their high bytes
    ASSERT_EQ(S.GetSize(), 12 + 2 * 19);
    const std::uint8_t Header[12] = {12, 0, 0, 0, 1, 0, 1, 0, 1, 0, 0, 0};
    EXPECT_EQ(std::memcmp(S.Memory(), Header, 12), 0);

    S.Seek(12, soBeginning);
    std::int64_t Int = 1, Ext = 1, Pos = 1;
    ReadIndexRecord_1_1(S, Int, Ext, Pos);
    EXPECT_EQ(Int, 0xFFFFFFFFFFFF);
    EXPECT_EQ(Ext, 0xFFFFFFFFFF);
    EXPECT_EQ(Pos, 0x7FFFFFFFFFFFFFFF);
    ReadIndexRecord_1_1(S, Int, Ext, Pos);
    EXPECT_EQ(Int, 0x3456789ABCDE);
    EXPECT_EQ(Ext, 0x0102030405);
    EXPECT_EQ(Pos, -4);
    EXPECT_THROW(ReadIndexRecord_1_1(S, Int, Ext, Pos), EReadError);
    EXPECT_EQ(Int, 0) << "outputs are zeroed before the read";

    // Only the invalid flag is cleared; other bits survive.
    S.Seek(8, soBeginning);
    const std::uint8_t Flags[4] = {0x07, 0, 0, 0x80};
    S.WriteBuffer(Flags, 4);
    FinalizeIndexFile(S);
    EXPECT_EQ(S.Memory()[8], 0x06);
    EXPECT_EQ(S.Memory()[11], 0x80);

    TMemoryStream V10;
    WriteIndexHeader_1_0(V10);
    WriteIndexRecord_1_0(V10, 0x0A0B0C0D0E, 77);
    ASSERT_EQ(V10.GetSize(), 12 + 13);
    EXPECT_EQ(V10.Memory()[6], 0);
    V10.Seek(12, soBeginning);
    ReadIndexRecord_1_0(V10, Ext, Pos);
    EXPECT_EQ(Ext, 0x0A0B0C0D0E);
    EXPECT_EQ(Pos, 77);
}

TEST(RebuildTest, IndexesTheOpenRecordingEvenWhenItsNameNowLeadsElsewhere) {
    TTestRecording Rec(ZA14Header(3, 1));
    Rec.Write(Shots(300), false);
    THandle H(Rec.Path());
#ifdef _WIN32
    // Windows keeps an open recording under its name, so the question does not arise there.
    EXPECT_THROW(std::filesystem::rename(Rec.Path(), Rec.Path() + ".moved"), std::filesystem::filesystem_error);
    ASSERT_EQ(narvi_reindex(H.Get()), 0) << LastError();
    EXPECT_EQ(IndexEntries(IdxOf(Rec.Path())), AllRecords(Rec.Records()));
#else
    // Another recording under the same name, the open one moved aside.
    std::filesystem::rename(Rec.Path(), Rec.Path() + ".moved");
    {
        TRecordingWriter Other(Rec.Path(), ZA14Header(3, 1));
        for (const TRecord& R : Shots(40, 777777)) Other.Write(R);
    }
    ASSERT_EQ(narvi_reindex(H.Get()), 0) << LastError();
    EXPECT_EQ(IndexEntries(IdxOf(Rec.Path())), AllRecords(Rec.Records()));
#endif
}

TEST(RebuildTest, RecordingWithoutRecords) {
    {
        TTestRecording Rec(ZA14Header());
        Rec.Write({}, false);
        THandle H(Rec.Path());
        ASSERT_EQ(narvi_reindex(H.Get()), 0) << LastError();
        EXPECT_EQ(ReadFileBytes(IdxOf(Rec.Path())).size(), 12u);
        EXPECT_NE(H.Read().Code, 0);
    }
    {
        TTestRecording Rec(TRecHeader{});
        Rec.Write({}, false);
        THandle H(Rec.Path());
        EXPECT_NE(narvi_reindex(H.Get()), 0);
        EXPECT_EQ(LastError(), "Not enough time synchronization records");
    }
}

TEST(RebuildTest, IndexThatCannotBeWrittenFailsWithTheFilesReasonAndKeepsTheOldOne) {
    TTestRecording Rec(ZA14Header());
    Rec.Write(Shots(20), false);
    const std::string Idx = IdxOf(Rec.Path());
    THandle H(Rec.Path());
    ASSERT_EQ(narvi_reindex(H.Get()), 0) << LastError();
    const std::vector<std::uint8_t> Before = ReadFileBytes(Idx);
    std::filesystem::create_directory(Idx + ".tmp");  // where the new index would be written

    EXPECT_EQ(narvi_reindex(H.Get()), 1);
    EXPECT_NE(LastError().find(Idx + ".tmp"), std::string::npos) << LastError();
    EXPECT_EQ(ReadFileBytes(Idx), Before);
    EXPECT_TRUE(std::filesystem::is_directory(Idx + ".tmp"));
    EXPECT_EQ(H.Seek(20), 0) << LastError();
}

// Two readers of one recording: the one that rebuilds must not pull the index
// from under the other. Windows refuses to replace a file that another reader
// holds, so there the rebuild fails with the system's reason and both go on
// with the old index; elsewhere the other reader keeps the file it opened.
TEST(RebuildTest, IndexHeldByAnotherReaderStaysUsableForBoth) {
    TTestRecording Rec(ZA14Header());
    Rec.Write(Shots(20), false);
    const std::string Idx = IdxOf(Rec.Path());
    {
        THandle First(Rec.Path());
        ASSERT_EQ(narvi_reindex(First.Get()), 0) << LastError();
    }
    const std::vector<std::uint8_t> Before = ReadFileBytes(Idx);
    THandle A(Rec.Path());
    THandle B(Rec.Path());
#ifdef _WIN32
    EXPECT_EQ(narvi_reindex(A.Get()), 4);
    EXPECT_NE(LastError().find("Cannot rename file \"" + Idx + ".tmp\""), std::string::npos) << LastError();
#else
    ASSERT_EQ(narvi_reindex(A.Get()), 0) << LastError();
#endif
    EXPECT_EQ(ReadFileBytes(Idx), Before);
    EXPECT_FALSE(Exists(Idx + ".tmp"));
    for (THandle* H : {&A, &B}) {
        ASSERT_EQ(H->Seek(10), 0) << LastError();
        EXPECT_EQ(H->Read().Code, 0) << LastError();
        EXPECT_EQ(H->Tell(), 11u);
    }
}

// Client callbacks are foreign code: what they throw must stay on their side of
// the interface. A throwing progress callback aborts the rebuild cleanly, a
// throwing trace callback only loses its lines.
TEST(RebuildTest, ThrowingCallbacksNeverUnwindThroughTheLibrary) {
    TTestRecording Rec(ZA14Header(3, 1));
    Rec.Write(Shots(2500), false);
    const std::string Idx = IdxOf(Rec.Path());
    THandle H(Rec.Path());
    ASSERT_EQ(narvi_reindex(H.Get()), 0) << LastError();
    const std::vector<std::uint8_t> Before = ReadFileBytes(Idx);

    auto ThrowingTrack = [](NARVI_FILE_T, NARVI_POINTER_T, NARVI_INT32_T, NARVI_BOOL_T*) { throw 42; };
    ASSERT_EQ(narvi_set_track_callback(H.Get(), ThrowingTrack, nullptr), 0);
    EXPECT_EQ(narvi_reindex(H.Get()), 4);
    EXPECT_EQ(LastError(), "*** Aborted ***");
    EXPECT_EQ(ReadFileBytes(Idx), Before);

    auto ThrowingTrace = [](NARVI_FILE_T, NARVI_POINTER_T, const char*) { throw std::runtime_error("client"); };
    ASSERT_EQ(narvi_set_track_callback(H.Get(), nullptr, nullptr), 0);
    ASSERT_EQ(narvi_set_trace_callback(H.Get(), ThrowingTrace, nullptr), 0);
    EXPECT_EQ(narvi_reindex(H.Get()), 0) << LastError();
    ASSERT_EQ(H.Seek(1), 0) << LastError();
    EXPECT_EQ(H.Read().Code, 0) << LastError();
}
