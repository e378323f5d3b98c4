#include <gtest/gtest.h>

#include "Exception.h"
#include "KQMTypes.h"
#include "RecordingWriter.h"
#include "Stream.h"
#include "TempDir.h"

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct Versions {
    std::uint16_t Sub, ParMain, ParSub, MeasMain, MeasSub, SampleMain, SampleSub, HouseMain, HouseSub;
};

std::vector<Versions> AllCombinations() {
    const std::pair<std::uint16_t, std::uint16_t> Pars[] = {{2, 0}, {2, 1}, {3, 0}, {3, 1},
                                                            {4, 0}, {4, 1}, {5, 0}, {5, 1}};
    const std::pair<std::uint16_t, std::uint16_t> Meas[] = {{1, 0}, {1, 1}, {2, 0}, {2, 1}, {3, 0}, {3, 1}};
    const std::pair<std::uint16_t, std::uint16_t> Samples[] = {{1, 0}, {1, 1}};
    const std::pair<std::uint16_t, std::uint16_t> Houses[] = {{1, 0}, {1, 1}, {2, 0}, {2, 1}};
    std::vector<Versions> All;
    for (auto [PM, PS] : Pars)
        for (auto [MM, MS] : Meas) {
            All.push_back({1, PM, PS, MM, MS, 1, 0, 1, 0});
            for (auto [SM, SS] : Samples)
                for (auto [HM, HS] : Houses) All.push_back({2, PM, PS, MM, MS, SM, SS, HM, HS});
        }
    return All;
}

std::uint32_t OnesComplementSum(const std::vector<std::uint8_t>& Bytes, std::size_t From, std::size_t To) {
    std::uint64_t Sum = 0;
    for (std::size_t I = From; I < To; I += 4) Sum += GetBE(&Bytes[I], 4);
    while (Sum >> 32) Sum = (Sum >> 32) + (Sum & 0xFFFFFFFF);
    return static_cast<std::uint32_t>(~Sum);
}

TRecord Shot(std::uint64_t Time, std::vector<std::size_t> Lengths) {
    TRecord R;
    R.Descriptor = 0x80;
    R.Time = Time;
    R.LineEncoderValue = 0xABCDEF;
    R.FrameEncoderValue = 1048577;
    R.Enc0[0] = 0x1111;
    R.Enc0[1] = 0x2222;
    R.Enc0[2] = 0x3333;
    R.Enc1[0] = 0x4444;
    R.Enc1[1] = 0x5555;
    R.Enc1[2] = 0x6666;
    std::uint16_t Ts = 100;
    std::uint8_t Channel = 0;
    for (std::size_t N : Lengths) {
        TRecSampleBlock B;
        B.TimeStamp = Ts;
        B.Channel = Channel;
        for (std::size_t I = 0; I < N; ++I) B.Samples.push_back(static_cast<std::uint8_t>(I * 7 + Ts));
        Ts = static_cast<std::uint16_t>(Ts + N / 4);
        Channel = static_cast<std::uint8_t>(Channel + 0x40);
        R.Blocks.push_back(B);
    }
    return R;
}

// Every version combination: the header reloads through the tables with the
// ids written, and each record's blocks decode through the tables at the
// positions the writer reports.
TEST(RecordingWriter, EveryVersionCombinationReloads) {
    TTempDir Dir;
    int N = 0;
    for (const Versions& V : AllCombinations()) {
        SCOPED_TRACE(testing::Message() << "sub " << V.Sub << " par " << V.ParMain << "." << V.ParSub << " meas "
                                        << V.MeasMain << "." << V.MeasSub << " sample " << V.SampleMain << "."
                                        << V.SampleSub << " house " << V.HouseMain << "." << V.HouseSub);
        TRecHeader H;
        H.SubMain = V.Sub;
        H.ParMain = V.ParMain;
        H.ParSub = V.ParSub;
        H.MeasMain = V.MeasMain;
        H.MeasSub = V.MeasSub;
        H.SampleMain = V.SampleMain;
        H.SampleSub = V.SampleSub;
        H.HouseMain = V.HouseMain;
        H.HouseSub = V.HouseSub;
        H.ProtocolFlags = static_cast<std::uint32_t>(N % 16);  // every flag combination in turn
        H.Texts["InstrumentType"] = N % 3 == 0 ? "ZA14" : N % 3 == 1 ? "ZA26" : "ZA26C";
        H.Numbers["RangeCorrPPM"] = {-17};
        const std::string Path = Dir.File("c" + std::to_string(N++) + ".kqm");

        TRecordingWriter W(Path, H);
        W.Write(Shot(0x12345678, {12, 0, 1020}));
        TRecord House = TRecord::House(0x0102030405, 0xFEDCBA9876, 86399999, 0x40);
        House.GpsData = {0x11111111, 0x22222222};
        House.HouseValues[11] = 77;
        W.Write(House);
        W.Write(Shot(0xFFFFFFFFFF, {4}));
        W.Close();
        const std::vector<std::uint8_t> Bytes = ReadFileBytes(Path);
        ASSERT_EQ(static_cast<std::int64_t>(Bytes.size()), W.Position());

        TFileStream S(Path, fmOpenRead | fmShareDenyWrite);
        THeaderPreamble Pre;
        Pre.Load(S);
        EXPECT_EQ(S.GetPosition(), W.HeaderLength());
        EXPECT_EQ(Pre.Field("HeaderDwordSize").GetUInt() * 4, W.HeaderLength());
        EXPECT_EQ(Pre.Field("ProtocolFlags").GetBits(), H.ProtocolFlags);
        const TBlock& Sub = *Pre.Find("Subheader*");
        EXPECT_EQ(Sub.Name(), V.Sub == 1 ? "Subheader_1_0" : "Subheader_2_0");
        EXPECT_EQ(Sub.Field("MeasIdMain").GetUInt(), V.MeasMain);
        EXPECT_EQ(Sub.Field("MeasIdSub").GetUInt(), V.MeasSub);
        if (V.Sub == 2) {
            EXPECT_EQ(Sub.Field("SampleBlockIdSub").GetUInt(), V.SampleSub);
            EXPECT_EQ(Sub.Field("HousekeepingIdMain").GetUInt(), V.HouseMain);
            EXPECT_EQ(Sub.Field("HousekeepingIdSub").GetUInt(), V.HouseSub);
        }
        const TBlock* Par = Pre.Find("ParameterField_" + std::to_string(V.ParMain) + "_" + std::to_string(V.ParSub));
        ASSERT_NE(Par, nullptr);
        EXPECT_EQ(Par->Field("InstrumentType").Text(), H.Texts["InstrumentType"]);
        EXPECT_EQ(Par->Field("SyncField").GetUInt(), H.SyncField);
        EXPECT_EQ(Par->Field("RangeCorrPPM").GetInt(), -17);
        EXPECT_EQ(Par->Field("DelogArray").GetUInt(255), 255u);

        const auto& Recs = W.Records();
        ASSERT_EQ(Recs.size(), 3u);
        EXPECT_EQ(Recs[0].Offset, W.HeaderLength());
        for (std::size_t I = 0; I < Recs.size(); ++I) {
            SCOPED_TRACE(I);
            const TRecordInfo& R = Recs[I];
            if (I > 0) {
                EXPECT_EQ(R.Offset, Recs[I - 1].Offset + Recs[I - 1].Length);
            }
            const auto Sync = static_cast<std::size_t>(R.Offset);
            const auto Block = static_cast<std::size_t>(R.SizeWord);
            const std::size_t BlockLen = GetBE(&Bytes[Block], 2) * 4;
            const bool HasSync = H.ProtocolFlags & 1, HasCrc = H.ProtocolFlags & 2;
            EXPECT_EQ(R.Length, static_cast<std::int64_t>(BlockLen + (HasSync ? 4 : 0) + (HasCrc ? 4 : 0)));
            if (HasSync) {
                EXPECT_EQ(GetBE(&Bytes[Sync], 4), H.SyncField);
            }
            if (HasCrc) {
                EXPECT_EQ(GetBE(&Bytes[Block + BlockLen], 4), OnesComplementSum(Bytes, Sync, Block + BlockLen));
            }

            S.SetPosition(R.SizeWord);
            auto Meas = CreateBlock("MeasBlockHeader", V.MeasMain, V.MeasSub);
            Meas->Load(S);
            EXPECT_EQ(Meas->Field(V.MeasMain == 3 ? "Time4nsec" : "TimeuSec").GetInt64(),
                      static_cast<std::int64_t>(R.RawTime));
            if (!R.Housekeeping) {  // encoder counts are only set on shots
                if (V.MeasSub == 1) {
                    EXPECT_EQ(Meas->Field("FrameEncoderValue").GetUInt(), 1048577u);
                }
                if (V.MeasMain == 1) {
                    EXPECT_EQ(Meas->Field("LineEncoderValue").GetUInt(), 0xABCDEFu);
                } else if (V.MeasMain == 2) {
                    EXPECT_EQ(Meas->Field("LineEncCoarseCount").GetUInt(), 0x3333u);
                } else {
                    EXPECT_EQ(Meas->Field("LineEncPeriodCount1").GetUInt(), 0x4444u);
                    EXPECT_EQ(Meas->Field("LineEncCoarseCount1").GetUInt(), 0x6666u);
                }
            }
            const std::uint32_t Descriptor = Meas->Field("GpsSyncDescriptor").GetBits();
            EXPECT_EQ((Descriptor & 1) != 0, R.Housekeeping);
            if (R.Housekeeping) {
                const std::uint16_t HM = V.Sub == 2 ? V.HouseMain : 1, HS = V.Sub == 2 ? V.HouseSub : 0;
                auto Hk = CreateBlock("HousekeepingData", HM, HS);
                Hk->Load(S);
                EXPECT_EQ(S.GetPosition(), static_cast<std::int64_t>(Block + BlockLen));
                EXPECT_EQ(Hk->Field("Supply_Photodiode").GetUInt(), 77u);
                if (HM == 2) {
                    EXPECT_EQ(Hk->Field("PPSTimeStamp").GetInt64(), 0xFEDCBA9876LL);
                    EXPECT_EQ(Hk->Field("WeekMilliSeconds").GetUInt(), 86399999u);
                    EXPECT_EQ(Hk->Field("GpsSyncDescriptor").GetBits(), 0x40u);
                }
                if (HS == 1) {
                    EXPECT_EQ(Hk->Field("GPS_Data").GetUInt(1), 0x22222222u);
                }
            } else {
                const std::uint32_t Count = Meas->Field("NumSampleBlocks").GetUInt();
                const TRecord Want = I == 0 ? Shot(0, {12, 0, 1020}) : Shot(0, {4});
                ASSERT_EQ(Count, Want.Blocks.size());
                for (const TRecSampleBlock& WB : Want.Blocks) {
                    if (WB.Samples.empty()) {  // the tables cannot load a block without samples
                        EXPECT_EQ(GetBE(&Bytes[static_cast<std::size_t>(S.GetPosition()) + 3], 1), 0u);
                        S.Seek(4, soCurrent);
                        continue;
                    }
                    auto Sb = CreateBlock("SampleBlock", V.Sub == 2 ? V.SampleMain : 1, V.Sub == 2 ? V.SampleSub : 0);
                    Sb->Load(S);
                    EXPECT_EQ(Sb->Field("SampleBlockTimeStamp").GetUInt(), WB.TimeStamp);
                    EXPECT_EQ(Sb->Field("ChannelDescriptor").GetBits(), WB.Channel);
                    const TField& Sm = Sb->Field("Sample");
                    ASSERT_EQ(static_cast<std::size_t>(Sm.Cols()), WB.Samples.size());
                    EXPECT_EQ(Sm.X(), WB.Samples);
                }
                EXPECT_EQ(S.GetPosition(), static_cast<std::int64_t>(Block + BlockLen));
            }
        }
    }
    EXPECT_EQ(N, 8 * 6 * 9);
}

TEST(RecordingWriter, RecordLayoutExamples) {
    TRecHeader H;
    H.MeasMain = 2;
    H.MeasSub = 1;
    const auto R = TRecordingWriter::EncodeRecord(H, Shot(5, {12, 0}));
    ASSERT_EQ(R.size(), 40u);
    EXPECT_EQ(GetBE(&R[0], 2), 10u);    // MeasBlockDwords
    EXPECT_EQ(R[19], 2);                // NumSampleBlocks at H - 1
    EXPECT_EQ(R[23], 3);                // first block at 20: 3 quads, 16 bytes
    EXPECT_EQ(GetBE(&R[36], 2), 103u);  // second block at 36, 4 bytes
    EXPECT_EQ(R[39], 0);
    EXPECT_EQ(GetBE(&R[16], 3), 1048577u);
    EXPECT_EQ(R[14], 0);  // filler
    EXPECT_EQ(R[15], 0);

    for (std::uint32_t Flags : {0u, 7u}) {
        H.ProtocolFlags = Flags;
        const auto F = TRecordingWriter::EncodeRecord(H, Shot(5, {12, 0}));
        EXPECT_EQ(F.size(), Flags ? 4 + 40 + 4u : 40u);
    }

    // A housekeeping record carries its data at H whatever the count says.
    TRecord Hk = TRecord::House(1, 2, 3);
    Hk.NumSampleBlocks = 5;
    H.ProtocolFlags = 0;
    const auto HB = TRecordingWriter::EncodeRecord(H, Hk);
    EXPECT_EQ(HB.size(), 20u + 60u);
    EXPECT_EQ(HB[19], 5);
    EXPECT_EQ(GetBE(&HB[20 + 51], 5), 2u);
    EXPECT_EQ(GetBE(&HB[20 + 56], 4), 3u);

    const std::uint8_t One[] = {0, 0, 0, 1};
    EXPECT_EQ(TRecordingWriter::Checksum(One, 4), 0xFFFFFFFEu);
    const std::uint8_t Two[] = {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 2};
    EXPECT_EQ(TRecordingWriter::Checksum(Two, 8), 0xFFFFFFFDu);
    EXPECT_EQ(TRecordingWriter::Checksum(nullptr, 0), 0xFFFFFFFFu);
}

TEST(RecordingWriter, OverridesWriteInconsistentFraming) {
    TRecHeader H;
    H.ProtocolFlags = 3;
    TRecord R = Shot(9, {8});
    R.Sync = 0xDEADBEEF;
    R.Dwords = 0x4001;
    R.Checksum = 0x12345678;
    R.Blocks[0].NumQuads = 9;
    const auto B = TRecordingWriter::EncodeRecord(H, R);
    EXPECT_EQ(GetBE(&B[0], 4), 0xDEADBEEFu);
    EXPECT_EQ(GetBE(&B[4], 2), 0x4001u);
    EXPECT_EQ(B[4 + 24 + 3], 9);
    EXPECT_EQ(GetBE(&B[B.size() - 4], 4), 0x12345678u);
}

TEST(RecordingWriter, TimesAndPositionsForIndexBuilding) {
    TTempDir Dir;
    TRecHeader H;
    H.MeasMain = 1;
    H.MeasSub = 0;
    H.ProtocolFlags = 1;
    TRecordingWriter W(Dir.File("t.kqm"), H);
    W.Write(Shot(604800000001ULL, {4}));  // just above a week: folded once
    W.Write(Shot(0xFFFFFFFFFFULL, {4}));  // the largest 40-bit time, folded once too
    W.WriteGarbage({1, 2, 3});
    const std::int64_t Third = W.Write(Shot(7, {}));
    W.Close();
    const auto& R = W.Records();
    EXPECT_EQ(R[0].TimeUs, 1);
    EXPECT_EQ(R[0].Time4ns, 250);
    EXPECT_EQ(R[1].TimeUs, 0xFFFFFFFFFFLL - 604800000000LL);
    EXPECT_EQ(R[0].SizeWord, R[0].Offset + 4);
    EXPECT_EQ(Third, R[1].Offset + R[1].Length + 3);
    EXPECT_EQ(R[2].Offset, Third);

    H.MeasMain = 3;
    TRecordingWriter W3(Dir.File("t3.kqm"), H);
    W3.Write(Shot(1000, {}));
    EXPECT_EQ(W3.Records()[0].Time4ns, 1000);
    EXPECT_EQ(W3.Records()[0].TimeUs, 4);
}

TEST(RecordingWriter, DamageEditsTheFile) {
    TTempDir Dir;
    const std::string P = Dir.File("d.kqm");
    WriteFileBytes(P, {1, 2, 3, 4, 5, 6});
    DamageOverwrite(P, 2, {0xAA, 0xBB});
    EXPECT_EQ(ReadFileBytes(P), (std::vector<std::uint8_t>{1, 2, 0xAA, 0xBB, 5, 6}));
    DamageInsert(P, 1, {9});
    EXPECT_EQ(ReadFileBytes(P), (std::vector<std::uint8_t>{1, 9, 2, 0xAA, 0xBB, 5, 6}));
    DamageTruncate(P, 3);
    EXPECT_EQ(ReadFileBytes(P), (std::vector<std::uint8_t>{1, 9, 2}));
    EXPECT_THROW(DamageInsert(P, 4, {1}), std::runtime_error);
    EXPECT_THROW(DamageOverwrite(Dir.File("missing"), 0, {1}), std::runtime_error);
}

TEST(RecordingWriter, HeaderSettingsAndMistakes) {
    TRecHeader H;
    H.Texts["SerialNumber"] = "ABCDEFGH";
    H.Numbers["CorrFacetNormal2"] = {0.25, -0.5, 1};
    H.HeaderDwordSize = 12345;
    H.Edit = [](TBlock& P) { P.Find("ParameterField*")->Field("BeamFocus").SetUInt(0xBEEF); };
    const auto Bytes = TRecordingWriter::EncodeHeader(H);
    ASSERT_EQ(static_cast<std::int64_t>(Bytes.size()), H.TablesLength());
    EXPECT_EQ(GetBE(&Bytes[0], 4), 12345u);
    EXPECT_EQ(std::string(Bytes.begin() + 20, Bytes.begin() + 28), "ABCDEFGH");
    EXPECT_EQ(std::string(Bytes.begin() + 28, Bytes.begin() + 36), "ZA26    ");
    EXPECT_EQ(GetBE(&Bytes[152 + 4], 4), 0xBF000000u);  // -0.5f, 5.1 layout
    EXPECT_EQ(GetBE(&Bytes[52], 2), 0xBEEFu);

    TRecHeader Bad;
    Bad.Numbers["LineAngleOffset"] = {1};  // only in versions 2 and 3
    EXPECT_THROW(TRecordingWriter::EncodeHeader(Bad), std::runtime_error);
    TRecHeader Long;
    Long.Texts["InstrumentType"] = "TOO LONG!";
    EXPECT_THROW(TRecordingWriter::EncodeHeader(Long), std::runtime_error);
    TRecHeader Unknown;
    Unknown.ParMain = 6;
    EXPECT_THROW(TRecordingWriter::EncodeHeader(Unknown), Exception);
}

// Saving a loaded header gives back the bytes it came from, for every
// subheader and parameter field version.
TEST(HeaderRoundTrip, SaveReproducesEveryHeaderVersion) {
    for (std::uint16_t Sub : {1, 2})
        for (auto [PM, PS] : std::vector<std::pair<std::uint16_t, std::uint16_t>>{
                 {2, 0}, {2, 1}, {3, 0}, {3, 1}, {4, 0}, {4, 1}, {5, 0}, {5, 1}}) {
            SCOPED_TRACE(testing::Message() << Sub << " " << PM << "." << PS);
            TRecHeader H;
            H.SubMain = Sub;
            H.ParMain = PM;
            H.ParSub = PS;
            H.ProtocolFlags = 0xFFFFFFFF;
            std::vector<double> Ramp(300);
            for (int I = 0; I < 300; ++I) Ramp[static_cast<std::size_t>(I)] = I - 150;
            H.Numbers["AmplCorrArrayHI"] = Ramp;
            H.Texts["SerialNumber"] = "\x01x y\xFF";
            const auto Bytes = TRecordingWriter::EncodeHeader(H);
            TMemoryStream In;
            In.Write(Bytes.data(), static_cast<std::int32_t>(Bytes.size()));
            In.SetPosition(0);
            THeaderPreamble P;
            P.Load(In);
            EXPECT_EQ(P.Find("ParameterField*")->Field("AmplCorrArrayHI").GetInt(0), -150);
            TMemoryStream Out;
            P.Save(Out);
            const std::vector<std::uint8_t> Again(Out.Memory(), Out.Memory() + Out.GetSize());
            EXPECT_EQ(Again, Bytes);
        }
}

TEST(RecordingWriter, StreamsManyRecordsWithoutKeepingThem) {
    TTempDir Dir;
    TRecHeader H;
    H.ProtocolFlags = 7;
    TRecordingWriter W(Dir.File("big.kqm"), H, false);
    const TRecord R = Shot(0, {64, 64});
    const std::int64_t Len = static_cast<std::int64_t>(TRecordingWriter::EncodeRecord(H, R).size());
    for (int I = 0; I < 200000; ++I) W.Write(R);
    W.Close();
    EXPECT_TRUE(W.Records().empty());
    EXPECT_EQ(W.Count(), 200000);
    EXPECT_EQ(static_cast<std::int64_t>(std::filesystem::file_size(Dir.File("big.kqm"))),
              W.HeaderLength() + 200000 * Len);
}

}  // namespace
