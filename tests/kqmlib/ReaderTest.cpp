#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "ReaderTestAccess.h"
#include "IndexWriter.h"
#include "KQMIndex.h"
#include "KQMReader.h"
#include "KQMTypes.h"
#include "Stream.h"
#include "Buffer.h"
#include "RecordingWriter.h"
#include "TempDir.h"
#include "narvi.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace {

// A recording of Count plain shots (measurement block 3.1 by default).
std::string MakeRecording(const TTempDir& Dir, const TRecHeader& H, int Count = 3, const char* Name = "rec.kqm") {
    const std::string Path = Dir.File(Name);
    TRecordingWriter W(Path, H);
    for (int I = 0; I < Count; ++I) {
        TRecord R;
        R.Time = 1000 + 100 * std::uint64_t(I);
        TRecSampleBlock B;
        B.TimeStamp = 10;
        B.Channel = 0x40;
        B.Samples.assign(8, std::uint8_t(I));
        R.Blocks.push_back(B);
        W.Write(R);
    }
    W.Close();
    return Path;
}

struct TOpenResult {
    int Code;
    std::string Message;
};

TOpenResult OpenThroughInterface(const std::string& Path) {
    NARVI_FILE_T Handle = reinterpret_cast<NARVI_FILE_T>(0x1);  // must stay untouched on failure
    const int Code = narvi_open(Path.c_str(), &Handle);
    NARVI_CSZ_T Text = nullptr;
    EXPECT_EQ(narvi_get_last_error(&Text), 0);
    if (Code == 0)
        narvi_close(Handle);
    else
        EXPECT_EQ(Handle, reinterpret_cast<NARVI_FILE_T>(0x1));
    return {Code, Text ? Text : "(null)"};
}

void SetId(TBlock& Block, const char* Name, std::uint32_t Value) { Block.GetFieldS(Name)->SetUInt(Value); }

}  // namespace

TEST(ReaderHeader, RefusesWhatItCannotDecode) {
    TTempDir Dir;
    const struct {
        const char* What;
        std::function<void(TRecHeader&)> Set;
        int Code;
        const char* Message;
    } Cases[] = {
        // The block tables are built before the reader checks ids, so their own refusal comes first.
        {"subheader 3.0", [](TRecHeader& H) { H.Edit = [](TBlock& P) { SetId(P, "SubheaderIdMain", 3); }; }, 4,
         "Unknown Subheader_3_0"},
        {"parameter field 6.0",
         [](TRecHeader& H) { H.Edit = [](TBlock& P) { SetId(*P.GetBlockS("Subheader*"), "ParameterIdMain", 6); }; }, 4,
         "Unknown ParameterField_6_1"},
        {"parameter field 5.2",
         [](TRecHeader& H) { H.Edit = [](TBlock& P) { SetId(*P.GetBlockS("Subheader*"), "ParameterIdSub", 2); }; }, 4,
         "Unknown ParameterField_5_2"},
        {"sample block 2.0", [](TRecHeader& H) { H.SampleMain = 2; }, 1, "Unknown SampleBlock (2.0)"},
        {"sample block 1.2", [](TRecHeader& H) { H.SampleSub = 2; }, 1, "Unknown SampleBlock (1.2)"},
        {"housekeeping 3.0", [](TRecHeader& H) { H.HouseMain = 3; }, 1, "Unknown Housekeeping (3.0)"},
        {"housekeeping 2.2", [](TRecHeader& H) { H.HouseSub = 2; }, 1, "Unknown Housekeeping (2.2)"},
        {"measurement block 4.1", [](TRecHeader& H) { H.MeasMain = 4; }, 1, "Invalid MeasBlockId: 4.1"},
        {"measurement block 3.2", [](TRecHeader& H) { H.MeasSub = 2; }, 1, "Invalid MeasBlockId: 3.2"},
        {"lower-case model", [](TRecHeader& H) { H.Texts["InstrumentType"] = "za14"; }, 1,
         "Unknown instrument type (za14)"},
        {"unknown model", [](TRecHeader& H) { H.Texts["InstrumentType"] = "ZA27"; }, 1,
         "Unknown instrument type (ZA27)"},
        {"no model", [](TRecHeader& H) { H.Texts["InstrumentType"] = ""; }, 1, "Unknown instrument type ()"},
    };
    for (const auto& C : Cases) {
        TRecHeader H;
        C.Set(H);
        const std::string Path = MakeRecording(Dir, H, 0);
        const TOpenResult R = OpenThroughInterface(Path);
        EXPECT_EQ(R.Code, C.Code) << C.What;
        EXPECT_EQ(R.Message, C.Message) << C.What;
    }
}

TEST(ReaderHeader, RefusesEmptyShortAndMissingFiles) {
    TTempDir Dir;
    // The block tables refuse a header that the file does not hold; their text passes unchanged.
    TRecHeader H;
    const std::vector<std::uint8_t> Head = TRecordingWriter::EncodeHeader(H);
    for (const std::size_t Keep : {std::size_t(0), std::size_t(11), std::size_t(100), Head.size() - 1}) {
        WriteFileBytes(Dir.File("short.kqm"),
                       std::vector<std::uint8_t>(Head.begin(), Head.begin() + std::ptrdiff_t(Keep)));
        const TOpenResult Short = OpenThroughInterface(Dir.File("short.kqm"));
        EXPECT_EQ(Short.Code, 4) << Keep;
        EXPECT_NE(Short.Message, "(no error)") << Keep;
        EXPECT_FALSE(Short.Message.empty()) << Keep;
    }

    const std::string Missing = Dir.File("no such recording.kqm");
    const TOpenResult R = OpenThroughInterface(Missing);
    EXPECT_EQ(R.Code, 4);
    EXPECT_NE(R.Message.find(Missing), std::string::npos) << R.Message;
#ifdef _WIN32
    SetLastError(ERROR_FILE_NOT_FOUND);
    EXPECT_NE(R.Message.find(TFileHandle::SystemErrorText()), std::string::npos) << R.Message;
#else
    EXPECT_NE(R.Message.find("No such file"), std::string::npos) << R.Message;
#endif
}

TEST(ReaderHeader, TakesIdsAndEncoderConstantsByVersion) {
    TTempDir Dir;
    {
        TRecHeader H;  // subheader 1.0 names no sample-block and housekeeping versions
        H.SubMain = 1;
        H.ParMain = 2;
        H.ParSub = 0;
        H.MeasMain = 1;
        H.MeasSub = 0;
        H.Texts["InstrumentType"] = "  ZA14 ";
        H.Texts["SerialNumber"] = " 4711";
        H.Numbers["LineAngleOffset"] = {123};
        H.Numbers["PreQuadCount"] = {9, 1, 2, 3};
        TKQMReader R(MakeRecording(Dir, H));
        EXPECT_EQ(R.Header().SampBlockMainId * 10 + R.Header().SampBlockSubId, 10);
        EXPECT_EQ(R.Header().HouseKeepMainId * 10 + R.Header().HouseKeepSubId, 10);
        EXPECT_EQ(R.Header().Instrument, "ZA14");
        EXPECT_EQ(R.Header().Serial, "4711");
        EXPECT_EQ(R.Scanner(), ZA14);
        EXPECT_EQ(R.Header().LAO, 123u);
        EXPECT_EQ(R.Header().PositionStartPulse, 0u);  // version 2 has none
        EXPECT_EQ(R.Header().FEO, 0u);
        EXPECT_EQ(R.Header().FECC, 0u);
        EXPECT_EQ(R.Header().PreQuadCount1, 1u);
        EXPECT_EQ(R.Header().PreQuadCount2, 2u);
        EXPECT_EQ(R.Header().PreQuadCount3, 3u);
        EXPECT_EQ(R.Header().NF, 4);
        EXPECT_EQ(R.Header().LACC, 65536u);
        EXPECT_EQ(TKQMReaderTestAccess::DataOffset(R), TRecordingWriter::EncodeHeader(H).size());
    }
    {
        TRecHeader H;
        H.ParMain = 3;
        H.ParSub = 1;
        H.SampleSub = 1;
        H.HouseSub = 1;
        H.Texts["InstrumentType"] = "ZA26C";
        H.Numbers["LineAngleOffset"] = {5};
        H.Numbers["LineEncoderFineCountOffset"] = {11};
        H.Numbers["PositionStartPulse"] = {77};
        H.Numbers["FrameEncoderOffset"] = {4000000000.0};
        H.Numbers["FrameEncoderCircleCount"] = {9};
        H.Numbers["LinearizeArray"] = {0x1234, 0xFEDC};
        H.Numbers["SyncField"] = {0xA5A5A5A5u};
        H.ProtocolFlags = 0xE;
        TKQMReader R(MakeRecording(Dir, H));
        EXPECT_EQ(R.Scanner(), ZA26C);
        EXPECT_EQ(R.Header().SampBlockSubId, 1);
        EXPECT_EQ(R.Header().HouseKeepSubId, 1);
        EXPECT_EQ(R.Header().LEFCO, 11u);
        EXPECT_EQ(R.Header().PositionStartPulse, 77u);
        EXPECT_EQ(R.Header().FEO, 4000000000u);
        EXPECT_EQ(R.Header().FECC, 9u);
        EXPECT_EQ(R.Header().LinArray[0], 0x1234);
        EXPECT_EQ(R.Header().LinArray[1], 0xFEDC);
        EXPECT_EQ(R.Header().LogArray[255], 255);
        EXPECT_FALSE(R.Header().Sync_Field_Present);
        EXPECT_TRUE(R.Header().CRC_Field_Present);
        EXPECT_TRUE(R.Header().XOR_Checksum);
        EXPECT_TRUE(R.Header().Data_Compression);
    }
    {
        TRecHeader H;  // 5.0: two encoders, no frame encoder
        H.ParSub = 0;
        H.Numbers["LineAngleOffset0"] = {1};
        H.Numbers["LineAngleOffset1"] = {2};
        H.Numbers["LineEncoderFineCountOffset0"] = {3};
        H.Numbers["LineEncoderFineCountOffset1"] = {4};
        TKQMReader R(MakeRecording(Dir, H));
        EXPECT_EQ(R.Scanner(), ZA26);
        EXPECT_EQ(R.Header().LAO0 + 10 * R.Header().LAO1 + 100 * R.Header().LEFCO0 + 1000 * R.Header().LEFCO1, 4321u);
        EXPECT_EQ(R.Header().LEFCO, 0u);
        EXPECT_EQ(R.Header().FECC, 0u);
        EXPECT_TRUE(R.Header().Sync_Field_Present == false);
    }
}

TEST(ReaderHeader, RangeCalibration) {
    TTempDir Dir;
    const struct {
        double Ppm, Lo, Hi;
        float Factor, OffsLP, OffsHP;
    } Cases[] = {
        {0, 0, 0, 0.15f, 0.0f, 0.0f},
        {12, 1500, -250, 0.1500018f, 1.500018f, 1.250015f},
        {-40, -2000, 500, 0.149994f, -1.99992f, -1.49994f},
        {1000000, 1, 1, 0.3f, 0.002f, 0.004f},
    };
    for (const auto& C : Cases) {
        TRecHeader H;
        H.Numbers["RangeCorrPPM"] = {C.Ppm};
        H.Numbers["LoChannelRangeOffset"] = {C.Lo};
        H.Numbers["HiChannelRangeOffset"] = {C.Hi};
        const std::string Path = MakeRecording(Dir, H);
        TKQMReader R(Path);
        EXPECT_FLOAT_EQ(R.Header().RangeFactor, C.Factor) << C.Ppm;
        EXPECT_FLOAT_EQ(R.Header().RangeOffsLP, C.OffsLP) << C.Ppm;
        EXPECT_FLOAT_EQ(R.Header().RangeOffsHP, C.OffsHP) << C.Ppm;

        NARVI_FILE_T F = nullptr;
        ASSERT_EQ(narvi_open(Path.c_str(), &F), 0);
        double VGroup = 0, Sampling = 0;
        NARVI_UINT16_T Flags = 0, Facets = 0;
        NARVI_CSZ_T Instrument = nullptr, Serial = nullptr, Epoch = nullptr;
        ASSERT_EQ(narvi_get_info(F, &Instrument, &Serial, &Epoch, &VGroup, &Sampling, &Flags, &Facets), 0);
        EXPECT_DOUBLE_EQ(VGroup, 2.0 * double(R.Header().RangeFactor) * 1e9);
        EXPECT_EQ(Sampling, 1e-9);
        EXPECT_EQ(Flags, 1);
        EXPECT_EQ(Facets, 4);
        EXPECT_STREQ(Instrument, "ZA26");
        EXPECT_STREQ(Serial, "SN000001");
        EXPECT_STREQ(Epoch, "UNKNOWN");
        narvi_close(F);
    }
}

TEST(ReaderHeader, FacetAndLaserGeometry) {
    TTempDir Dir;
    TRecHeader H;
    H.Numbers["CorrMirrorAxis"] = {0, 0, 1};
    H.Numbers["CorrFacetNormal1"] = {1, 0, 0};
    H.Numbers["CorrFacetNormal2"] = {0.6, 0, 0.8};
    H.Numbers["CorrFacetNormal3"] = {0, -1, 0};
    H.Numbers["CorrFacetNormal4"] = {0, 0, 1};
    H.Numbers["CorrFacetDistance2"] = {0.125};
    H.Numbers["CorrLaserOrigin"] = {1, 2, 3};
    H.Numbers["CorrLaserDir"] = {0, 1, 0};
    H.Numbers["CorrOffset"] = {0.5, 0.25, -1};
    TKQMReader R(MakeRecording(Dir, H));
    const TKQMParams& P = R.Params();
    using V = TKQMVector3F;
    EXPECT_EQ(P.O, (V{1, 2, 3}));
    EXPECT_EQ(P.L, (V{0, 1, 0}));
    EXPECT_EQ(P.F, (V{0.5f, 1.75f, 4}));
    // Facet 1 is parallel to the axis: all of its normal turns.
    EXPECT_EQ(P.A[0], (V{0, 0, 0}));
    EXPECT_EQ(P.B[0], (V{1, 0, 0}));
    EXPECT_EQ(P.C[0], (V{0, 1, 0}));
    // Facet 2 is tilted: the axial part stays, the rest turns.
    EXPECT_EQ(P.A[1], (V{0, 0, 0.8f}));
    EXPECT_EQ(P.B[1], (V{0.6f, 0, 0}));
    EXPECT_EQ(P.C[1], (V{0, 0.6f, 0}));
    EXPECT_EQ(P.D[1], 0.125f);
    EXPECT_EQ(P.C[2], (V{1, 0, 0}));
    // Facet 4 lies on the axis: nothing turns.
    EXPECT_EQ(P.A[3], (V{0, 0, 1}));
    EXPECT_EQ(P.B[3], (V{0, 0, 0}));
    EXPECT_EQ(P.C[3], (V{0, 0, 0}));

    // Decoding again with a receiver set shows the calibration in the trace.
    std::vector<std::string> Lines;
    R.SetTraceCallback([](NARVI_FILE_T, NARVI_POINTER_T User,
                          NARVI_CSZ_T Text) { static_cast<std::vector<std::string>*>(User)->emplace_back(Text); },
                       &Lines);
    TKQMReaderTestAccess::Stream(R).Seek(0, soBeginning);
    TKQMReaderTestAccess::DecodeHeader(R);
    ASSERT_EQ(Lines.size(), 3u + 4u * 6u);
    EXPECT_EQ(Lines[0], "O=(1.000000000, 2.000000000, 3.000000000)");
    EXPECT_EQ(Lines[1], "l=(0.000000000, 1.000000000, 0.000000000)");
    EXPECT_EQ(Lines[2], "f=(0.500000000, 1.750000000, 4.000000000)");
    const std::vector<std::string> Facet2(Lines.begin() + 9, Lines.begin() + 15);
    EXPECT_EQ(Facet2,
              (std::vector<std::string>{"Facet 1:", "t=0.800000012", "a[1]=(0.000000000, 0.000000000, 0.800000012)",
                                        "b[1]=(0.600000024, 0.000000000, 0.000000000)",
                                        "c[1]=(0.000000000, 0.600000024, 0.000000000)", "d[1]=0.125000000"}));
}

TEST(ReaderIndex, OpensOnlyAUsableIndexBesideTheRecording) {
    TTempDir Dir;
    for (const std::uint32_t Flags : {0u, 1u}) {
        TRecHeader H;
        H.ProtocolFlags = Flags;  // bit 0: records begin with a sync word
        const std::string Path = Dir.File("r.kqm");
        TRecordingWriter W(Path, H);
        for (int I = 0; I < 4; ++I) {
            TRecord R;
            R.Time = 250 * 1000 * std::uint64_t(I + 1);
            W.Write(R);
        }
        W.Close();
        TIndexFile Idx;
        Idx.Entries = EntriesOf(W);
        Idx.Entries.back().TimeExt = 86400000000ull;  // exactly one day
        Idx.Write(Dir.File("r.idx"));

        TKQMReader R(Path);
        ASSERT_TRUE(TKQMReaderTestAccess::Index(R)) << Flags;
        EXPECT_EQ(TKQMReaderTestAccess::Index(R)->Offset(), Flags ? -4 : 0);
        EXPECT_EQ(TKQMReaderTestAccess::Index(R)->Block(), 1);
        EXPECT_EQ(TKQMReaderTestAccess::Index(R)->GetFilePosition(), W.Records()[0].Offset);
        EXPECT_EQ(R.MinTimeExternal(), 1000);
        EXPECT_EQ(R.MaxTimeExternal(), 86400000000);
        EXPECT_EQ(R.Epoch(), "DAYSEC");
    }

    TRecHeader H;
    const std::string Path = MakeRecording(Dir, H, 2, "e.kqm");
    const struct {
        std::uint16_t Major, Minor;
        std::uint32_t Flags;
        std::uint64_t Last;
        bool Opened;
        const char* Epoch;
    } Cases[] = {
        {1, 1, 0, 86400000001ull, true, "WEEKSEC"},
        {1, 1, 0, 86400ull, true, "DAYSEC"},  // not seconds: microseconds of the first day
        {1, 1, 0, 0, true, "UNKNOWN"},
        {1, 1, 1, 5, false, "UNKNOWN"},  // still being built
        {1, 0, 0, 5, false, "UNKNOWN"},  // no internal times
        {4, 0, 0, 5, false, "UNKNOWN"},
        {7, 7, 0, 5, false, "UNKNOWN"},
    };
    for (const auto& C : Cases) {
        TIndexFile Idx;
        Idx.Major = C.Major;
        Idx.Minor = C.Minor;
        Idx.Flags = C.Flags;
        Idx.Entries = {{0, 100, 1}, {C.Last, 200, 2}};
        Idx.Write(Dir.File("e.idx"));
        TKQMReader R(Path);
        EXPECT_EQ(bool(TKQMReaderTestAccess::Index(R)), C.Opened) << C.Major << "." << C.Minor << " flags " << C.Flags;
        EXPECT_EQ(R.Epoch(), C.Epoch) << C.Major << "." << C.Minor << " last " << C.Last;
        if (!C.Opened) {
            EXPECT_EQ(R.MaxTimeExternal(), 0);
        }
    }

    // A header-only index opens without entries and reports no epoch.
    TIndexFile Empty;
    Empty.Write(Dir.File("e.idx"));
    TKQMReader R(Path);
    EXPECT_TRUE(TKQMReaderTestAccess::Index(R));
    EXPECT_EQ(R.Epoch(), "UNKNOWN");
    EXPECT_EQ(R.MinTimeExternal(), 0);
    // Reopening from a file that is not there leaves the reader without index.
    EXPECT_FALSE(TKQMReaderTestAccess::OpenIndex(R, Dir.File("gone.idx")));
    EXPECT_FALSE(TKQMReaderTestAccess::Index(R));
}

// The index is found beside the recording whatever the letter case of its
// extension; ".idx" in lower case, the name every writer uses, comes first.
// Only the first index of each case has entries. Windows names are blind to
// case: there any spelling finds any index beside it, and two spellings are
// one file.
#if !defined(_WIN32)
TEST(ReaderIndex, FoundWhateverTheCaseOfItsExtension) {
    TTempDir Dir;
    const std::vector<std::vector<std::string>> Cases = {
        {"UP.KQM", "UP.IDX", "UP.IDX"},
        {"low.kqm", "low.IDX", "low.IDX"},
        {"Mixed.Kqm", "Mixed.iDx", "Mixed.iDx"},
        {"BOTH.KQM", "BOTH.idx", "BOTH.idx", "BOTH.IDX"},
        {"both.kqm", "both.idx", "both.idx", "both.IDX"},
        {"NONE.KQM", "NONE.idx"},
        {"other.kqm", "other.idx", "other2.idx", "othe.idx"}};  // recording, index taken, indexes written
    for (const auto& C : Cases) {
        SCOPED_TRACE(C[0]);
        const std::string Path = MakeRecording(Dir, TRecHeader{}, 2, C[0].c_str());
        for (std::size_t I = 2; I < C.size(); ++I) {
            TIndexFile Idx;
            if (I == 2) Idx.Entries = {{0, 100, 1}, {50, 200, 2}};
            Idx.Write(Dir.File(C[I]));
        }
        EXPECT_EQ(IndexPathOf(Path), Dir.File(C[1]));
        EXPECT_EQ(TKQMReader(Path).MaxTimeExternal() == 50, C.size() > 2 && C[1] == C[2]);
    }
}

// A rebuild writes "NAME.idx" whatever the case of the recording's extension,
// like the standalone builders, and the new one is what the reader uses then
// and on the next open. The indexes it replaced, spelt otherwise, are gone:
// with the new one removed the recording has no index, rather than an older
// one coming back.
TEST(ReaderIndex, RebuildWritesIdxInLowerCaseAndRemovesTheOthers) {
    TTempDir Dir;
    TRecHeader Za14;  // a recording without time synchronisation to wait for
    Za14.Texts["InstrumentType"] = "ZA14";
    Za14.MeasMain = 3;
    // The recording, then the indexes beside it; the look-up takes the first.
    const std::vector<std::vector<std::string>> Cases = {{"UPPER.KQM", "UPPER.IDX"},
                                                         {"Mixed.kQm", "Mixed.iDx", "Mixed.IDX", "Mixed.IdX"},
                                                         {"lower.kqm"},
                                                         {"both.kqm", "both.idx", "both.IDX"}};
    for (const auto& C : Cases) {
        SCOPED_TRACE(C[0]);
        const std::string Path = MakeRecording(Dir, Za14, 3, C[0].c_str());
        const std::string Stem = Path.substr(0, Path.size() - 4);
        for (std::size_t I = 1; I < C.size(); ++I) {
            TIndexFile Old;
            Old.Entries = {{0, 100, 1}, {I == 1 ? 77u : 66u, 200, 2}};
            Old.Write(Dir.File(C[I]));
        }
        TKQMReader R(Path);
        EXPECT_EQ(R.MaxTimeExternal(), C.size() > 1 ? 77 : 0);
        R.Reindex();
        EXPECT_NE(R.MaxTimeExternal(), 77);
        EXPECT_EQ(IndexPathOf(Path), Stem + ".idx");
        EXPECT_EQ(TKQMReader(Path).MaxTimeExternal(), R.MaxTimeExternal());
        for (const std::string& Name : IndexSpellingsOf(Path))
            EXPECT_EQ(std::filesystem::exists(Name), Name == Stem + ".idx" || Name == Path) << Name;

        std::filesystem::remove(Stem + ".idx");
        EXPECT_FALSE(TKQMReaderTestAccess::Index(TKQMReader(Path)));
    }
}
#endif

TEST(ReaderCallbacks, TraceAndTrackReachTheirReceivers) {
    TTempDir Dir;
    TKQMReader R(MakeRecording(Dir, TRecHeader()));
    TKQMReaderTestAccess::Trace(R, "nobody listens %d", 1);  // no receiver: nothing happens
    TKQMReaderTestAccess::Track(R, 10);

    struct TLog {
        std::vector<std::string> Lines;
        std::vector<int> Percents;
        void* Sender = nullptr;
        int AbortAt = 1000;
    } Log;
    R.SetTraceCallback(
        [](NARVI_FILE_T Sender, NARVI_POINTER_T User, NARVI_CSZ_T Text) {
            auto* L = static_cast<TLog*>(User);
            L->Sender = Sender;
            L->Lines.emplace_back(Text);
        },
        &Log);
    R.SetTrackCallback(
        [](NARVI_FILE_T Sender, NARVI_POINTER_T User, NARVI_INT32_T Percent, NARVI_BOOL_T* Abort) {
            auto* L = static_cast<TLog*>(User);
            L->Sender = Sender;
            L->Percents.push_back(Percent);
            EXPECT_EQ(*Abort, 0);
            if (Percent >= L->AbortAt) *Abort = 7;
        },
        &Log);

    TKQMReaderTestAccess::Trace(R, "Facet %d: %.3f", 2, 0.5f);
    TKQMReaderTestAccess::Trace(R, std::string());
    EXPECT_EQ(Log.Lines, (std::vector<std::string>{"Facet 2: 0.500", ""}));
    EXPECT_EQ(Log.Sender, &R);

    TKQMReaderTestAccess::Track(R, 0);
    TKQMReaderTestAccess::Track(R, 99);
    Log.AbortAt = 50;
    try {
        TKQMReaderTestAccess::Track(R, 50);
        FAIL() << "no abort";
    } catch (const EAborted& E) {
        EXPECT_EQ(E.Message(), "*** Aborted ***");
    }
    EXPECT_EQ(Log.Percents, (std::vector<int>{0, 99, 50}));
}
