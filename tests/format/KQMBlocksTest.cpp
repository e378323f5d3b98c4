#include <gtest/gtest.h>

#include "ErrorOf.h"
#include "Exception.h"
#include "KQMTypes.h"
#include "Stream.h"

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

void Put(std::vector<std::uint8_t>& B, std::size_t At, std::uint64_t V, int N) {
    if (B.size() < At + static_cast<std::size_t>(N)) B.resize(At + static_cast<std::size_t>(N));
    for (int I = N - 1; I >= 0; --I, V >>= 8) B[At + static_cast<std::size_t>(I)] = static_cast<std::uint8_t>(V);
}

void PutText(std::vector<std::uint8_t>& B, std::size_t At, const std::string& S) {
    std::memcpy(B.data() + At, S.data(), S.size());
}

std::unique_ptr<TMemoryStream> StreamOf(const std::vector<std::uint8_t>& B) {
    auto S = std::make_unique<TMemoryStream>();
    if (!B.empty()) S->Write(B.data(), static_cast<std::int32_t>(B.size()));
    S->SetPosition(0);
    return S;
}

// One value written by hand at the byte the format gives for it.
struct Probe {
    const char* Name;
    std::int32_t Offset;  // byte of the element probed
    std::int32_t Col;
    int Bytes;  // 0: float, -1: 8-char text, -2: 16-char text
};

struct ParamVersion {
    std::uint16_t Main, Sub;
    std::int64_t Length;  // whole header
    int Fields;
    std::vector<Probe> Probes;
};

const std::vector<ParamVersion>& ParamVersions() {
    static const std::vector<Probe> V2 = {
        {"SerialNumber", 20, 0, -1},       {"InstrumentType", 28, 0, -1},      {"SyncField", 40, 0, 4},
        {"NumberFacets", 60, 0, 1},        {"LineAngleCoarseRes", 62, 0, 2},   {"LineAngleOffset", 64, 0, 4},
        {"RangeCorrPPM", 68, 0, 4},        {"HiChannelRangeOffset", 76, 0, 4}, {"CorrLaserOrigin", 88, 2, 0},
        {"CorrFacetDistance4", 188, 0, 0}, {"LinearizeArray", 702, 255, 2},    {"DelogArray", 704, 0, 2},
        {"AmplCorrArrayHI", 1816, 0, 2},   {"RangeGate", 2456, 0, 2},          {"PreQuadCount", 2467, 3, 1},
        {"LastBlocks", 2480, 0, 1},
    };
    static const std::vector<Probe> V3 = {
        {"SyncField", 40, 0, 4},
        {"LineEncoderFineCountOffset", 68, 0, 2},
        {"RangeCorrPPM", 72, 0, 4},
        {"CorrLaserOrigin", 84, 0, 0},
        {"LinearizeArray", 196, 0, 2},
        {"DelogArray", 1218, 255, 2},
        {"ADCThresholdArrayLO", 4467, 2047, 1},
        {"ADCThresholdArrayHI", 4468, 0, 1},
        {"ADCOffset", 6522, 3, 2},
        {"NearRangeSuppression", 6528, 0, 4},
        {"LaserPulseRate", 6532, 0, 4},
        {"RangeGate", 6572, 0, 2},
        {"PositionStartPulse", 6574, 0, 2},
        {"PreQuadCount", 6581, 1, 1},
        {"ChannelSwitchLevel", 6588, 0, 1},
        {"LogChannel", 6592, 0, 1},
        {"LastBlocks", 6600, 0, 1},
        {"GpsStringDecoder", 6604, 0, -2},
    };
    static const std::vector<Probe> V4 = {
        {"LineAngleOffset0", 64, 0, 4},
        {"LineAngleOffset1", 68, 0, 4},
        {"LineEncoderFineCountOffset0", 72, 0, 2},
        {"LineEncoderFineCountOffset1", 74, 0, 2},
        {"RangeCorrPPM", 76, 0, 4},
        {"LoChannelRangeOffset", 80, 0, 4},
        {"HiChannelRangeOffset", 84, 0, 4},
        {"CorrLaserOrigin", 88, 0, 0},
        {"CorrFacetDistance4", 196, 0, 0},
        {"LinearizeArray", 200, 0, 2},
        {"DelogArray", 712, 0, 2},
        {"ADCThresholdArrayLO", 2424, 0, 1},
        {"LaserPulseRate", 6536, 0, 4},
        {"RangeGate", 6576, 0, 2},
        {"PositionStartPulse", 6578, 0, 2},
        {"PreQuadCount", 6587, 3, 1},
        {"ChannelSwitchLevel", 6592, 0, 1},
        {"LogChannel", 6594, 0, 1},
        {"FirstBlocks", 6600, 0, 1},
        {"LastBlocks", 6604, 0, 1},
        {"GpsStringDecoder", 6608, 0, -2},
    };
    static const std::vector<Probe> V5 = {
        {"LineAngleOffset1", 68, 0, 4},    {"CorrFacetNormal4", 192, 2, 0},    {"LaserPulseRate", 6536, 0, 4},
        {"MTAPrrConfig", 6540, 0, 1},      {"MTAPrrLow", 6544, 0, 4},          {"MTAPrrHigh", 6548, 0, 4},
        {"MTAZone", 6552, 0, 1},           {"LineScanStartValue", 6568, 3, 4}, {"LineScanMeasNumber", 6588, 0, 4},
        {"RangeGate", 6592, 0, 2},         {"PositionStartPulse", 6594, 0, 2}, {"SampleBlockLen", 6596, 0, 1},
        {"PreQuadCount", 6601, 1, 1},      {"ADCThreshold", 6604, 0, 1},       {"ChannelSwitchLevel", 6608, 0, 1},
        {"LogChannel", 6612, 0, 1},        {"FirstBlocks", 6616, 0, 1},        {"LastBlocks", 6620, 0, 1},
        {"GpsStringDecoder", 6624, 0, -2},
    };
    auto With = [](std::vector<Probe> P, std::int32_t FECC) {
        P.push_back({"FrameEncoderCircleCount", FECC, 0, 4});
        P.push_back({"FrameEncoderOffset", FECC + 4, 0, 4});
        return P;
    };
    static const std::vector<ParamVersion> All = {
        {2, 0, 2484, 41, V2}, {2, 1, 2492, 43, With(V2, 2484)}, {3, 0, 6620, 50, V3}, {3, 1, 6628, 52, With(V3, 6620)},
        {4, 0, 6624, 52, V4}, {4, 1, 6632, 54, With(V4, 6624)}, {5, 0, 6640, 56, V5}, {5, 1, 6648, 58, With(V5, 6640)},
    };
    return All;
}

// Top bit of the first byte set, so that a sign may not leak into unsigned
// fields; the low byte tells the offsets apart.
std::uint64_t ProbeValue(const Probe& P) {
    return (std::uint64_t(0x80) << (8 * (P.Bytes - 1))) | (1 + static_cast<std::uint64_t>(P.Offset % 127));
}

// A header written byte by byte: preamble, subheader of the given version
// naming the parameter field, and a distinct value at every probe.
std::vector<std::uint8_t> HandHeader(std::uint16_t SubMain, const ParamVersion& V) {
    std::vector<std::uint8_t> B(static_cast<std::size_t>(V.Length), 0);
    Put(B, 0, static_cast<std::uint64_t>(V.Length / 4), 4);
    Put(B, 4, 0x0000000F, 4);
    Put(B, 8, SubMain, 2);
    Put(B, 10, 0, 2);
    if (SubMain == 1) {
        Put(B, 12, V.Main, 2);
        Put(B, 14, V.Sub, 2);
        Put(B, 16, 3, 2);
        Put(B, 18, 1, 2);
    } else {
        const std::uint8_t Ids[] = {
            static_cast<std::uint8_t>(V.Main), static_cast<std::uint8_t>(V.Sub), 3, 1, 1, 1, 2, 1};
        std::memcpy(B.data() + 12, Ids, 8);
    }
    for (const Probe& P : V.Probes) {
        const auto At = static_cast<std::size_t>(P.Offset);
        if (P.Bytes == 0)
            Put(B, At, 0xC0490FDB, 4);  // -3.1415927f
        else if (P.Bytes == -1)
            PutText(B, At, " AB-12\t ");
        else if (P.Bytes == -2)
            PutText(B, At, "$GPRMC,ZDA  ");
        else
            Put(B, At, ProbeValue(P), P.Bytes);
    }
    return B;
}

TEST(HeaderLayout, HandWrittenBytesReadBackAtTheirOffsets) {
    for (std::uint16_t SubMain : {1, 2}) {
        for (const ParamVersion& V : ParamVersions()) {
            SCOPED_TRACE(testing::Message()
                         << "subheader " << SubMain << ".0, parameter field " << V.Main << "." << V.Sub);
            const auto Bytes = HandHeader(SubMain, V);
            auto S = StreamOf(Bytes);
            THeaderPreamble H;
            H.Load(*S);
            EXPECT_EQ(S->GetPosition(), V.Length);
            EXPECT_EQ(H.Field("HeaderDwordSize").GetUInt() * 4, V.Length);
            EXPECT_EQ(H.Field("ProtocolFlags").Text(), "0000000F");
            ASSERT_EQ(H.GetBlockCount(), 2);
            TBlock* Sub = H.GetBlockS("Subheader*");
            ASSERT_NE(Sub, nullptr);
            EXPECT_EQ(Sub->Name(), SubMain == 1 ? "Subheader_1_0" : "Subheader_2_0");
            EXPECT_EQ(Sub->Field("MeasIdMain").GetUInt(), 3u);
            if (SubMain == 2) {
                EXPECT_EQ(Sub->Field("HousekeepingIdMain").GetUInt(), 2u);
            }
            TBlock* Par = H.GetBlockS("ParameterField_" + std::to_string(V.Main) + "_" + std::to_string(V.Sub));
            ASSERT_NE(Par, nullptr);
            EXPECT_EQ(Par->GetFieldCount(), V.Fields);
            EXPECT_EQ(Par->EndOffset(), V.Length);
            for (const Probe& P : V.Probes) {
                SCOPED_TRACE(P.Name);
                const TField& F = Par->Field(P.Name);
                if (P.Bytes == 0) {
                    EXPECT_EQ(F.GetSingle(P.Col), -3.1415927f);
                } else if (P.Bytes == -1) {
                    EXPECT_EQ(F.Text(P.Col), "AB-12");
                } else if (P.Bytes == -2) {
                    EXPECT_EQ(F.Text(P.Col), "$GPRMC,ZDA");
                } else {
                    const std::uint64_t Want = ProbeValue(P);
                    EXPECT_EQ(F.GetInt64(P.Col),
                              F.Kind() == fkINT ? static_cast<std::int64_t>(Want) - (std::int64_t(1) << (8 * P.Bytes))
                                                : static_cast<std::int64_t>(Want));
                }
            }
        }
    }
}

TEST(HeaderLayout, FillerAndExtentsOfTheParameterFields) {
    auto P40 = CreateBlock("ParameterField", 4, 0);
    EXPECT_EQ(P40->Field("ChannelSwitchLevel").GetOffs(0), 6592);
    EXPECT_EQ(P40->Field("ChannelSwitchLevel").GetOffs(1), 6593);
    EXPECT_EQ(P40->Field("LogChannel").GetOffs(0), 6594);
    EXPECT_EQ(P40->Field("LogChannel").GetOffs(1), 6599);
    EXPECT_EQ(P40->Field("InstrumentModel").GetOffs(1), 39);  // two filler bytes after a WORD
    EXPECT_EQ(P40->Field("NumberFacets").GetOffs(1), 61);

    auto P31 = CreateBlock("ParameterField", 3, 1);
    EXPECT_EQ(P31->Field("FrameEncoderOffset").GetOffs(1), 6627);
    EXPECT_EQ(P31->Field("GpsStringDecoder").GetOffs(1), 6619);

    auto P20 = CreateBlock("ParameterField", 2, 0);
    EXPECT_EQ(P20->Field("LastBlocks").GetOffs(1), 2483);
    EXPECT_EQ(P20->Field("AmplCorrArrayLO").Cols(), 300);
    EXPECT_EQ(P20->Field("AmplCorrArrayLO").Kind(), fkINT);

    // The x.1 versions are their x.0 version plus the frame encoder fields.
    for (std::uint16_t Main : {2, 3, 4, 5}) {
        auto A = CreateBlock("ParameterField", Main, 0);
        auto B = CreateBlock("ParameterField", Main, 1);
        ASSERT_EQ(B->GetFieldCount(), A->GetFieldCount() + 2);
        for (int I = 0; I < A->GetFieldCount() - 1; ++I) {
            EXPECT_EQ(A->GetFieldI(I)->Name(), B->GetFieldI(I)->Name());
            EXPECT_EQ(A->GetFieldI(I)->GetOffs(1), B->GetFieldI(I)->GetOffs(1));
        }
    }
}

TEST(HeaderLoad, ThreeOneExampleStopsAtHeaderDwordSize) {
    const ParamVersion& V = ParamVersions()[3];
    ASSERT_EQ(V.Main, 3);
    ASSERT_EQ(V.Sub, 1);
    auto Bytes = HandHeader(2, V);
    Put(Bytes, 0, 1657, 4);
    Bytes.resize(Bytes.size() + 100, 0xEE);  // a record follows
    auto S = StreamOf(Bytes);
    THeaderPreamble H;
    H.Load(*S);
    EXPECT_EQ(S->GetPosition(), 6628);
    EXPECT_EQ(H.Field("HeaderDwordSize").GetUInt() * 4, 6628u);
    EXPECT_EQ(H.Find("ParameterField*")->GetFieldI(51)->Name(), "FrameEncoderOffset");
    // Loading again rebuilds the sub-blocks instead of piling them up.
    S->SetPosition(0);
    H.Load(*S);
    EXPECT_EQ(H.GetBlockCount(), 2);
}

TEST(HeaderLoad, BadHeadersFailWithTheirNames) {
    const ParamVersion& V51 = ParamVersions()[7];
    struct Case {
        std::vector<std::uint8_t> Bytes;
        std::string Message;
    };
    std::vector<Case> Cases;
    Cases.push_back({{}, "Header too short: HeaderPreamble ends at byte 11, the file holds 0 bytes"});
    auto Full = HandHeader(2, V51);
    Cases.push_back({std::vector<std::uint8_t>(Full.begin(), Full.begin() + 15),
                     "Header too short: Subheader_2_0 ends at byte 19, the file holds 15 bytes"});
    Cases.push_back({std::vector<std::uint8_t>(Full.begin(), Full.end() - 1),
                     "Header too short: ParameterField_5_1 ends at byte 6647, the file holds 6647 bytes"});
    auto Sub3 = Full;
    Put(Sub3, 8, 3, 2);
    Cases.push_back({Sub3, "Unknown Subheader_3_0"});
    auto Sub0 = Full;
    Put(Sub0, 8, 0, 2);
    Cases.push_back({Sub0, "Unknown Subheader_0_0"});
    auto Par = Full;
    Par[12] = 6;
    Par[13] = 0;
    Cases.push_back({Par, "Unknown ParameterField_6_0"});
    auto Par1 = HandHeader(1, V51);
    Put(Par1, 12, 0xFFFF, 2);
    Put(Par1, 14, 0xFFFF, 2);
    Cases.push_back({Par1, "Unknown ParameterField_65535_65535"});
    for (const Case& C : Cases) {
        auto S = StreamOf(C.Bytes);
        THeaderPreamble H;
        EXPECT_EQ(ErrorOf([&] { H.Load(*S); }), C.Message);
    }
}

TEST(RecordBlocks, MeasurementHeadersAtTheirOffsets) {
    struct Case {
        std::uint16_t Main, Sub;
        std::int64_t Length;
        std::vector<std::pair<const char*, std::int32_t>> Fields;  // name, first byte
    } Cases[] = {
        {1,
         0,
         12,
         {{"MeasBlockDwords", 0},
          {"GpsSyncDescriptor", 2},
          {"TimeuSec", 3},
          {"LineEncoderValue", 8},
          {"NumSampleBlocks", 11}}},
        {1, 1, 16, {{"TimeuSec", 3}, {"LineEncoderValue", 8}, {"FrameEncoderValue", 12}, {"NumSampleBlocks", 15}}},
        {2,
         0,
         16,
         {{"LineEncPeriodCount", 8}, {"LineEncFineCount", 10}, {"LineEncCoarseCount", 12}, {"NumSampleBlocks", 15}}},
        {2, 1, 20, {{"LineEncCoarseCount", 12}, {"FrameEncoderValue", 16}, {"NumSampleBlocks", 19}}},
        {3,
         0,
         24,
         {{"Time4nsec", 3},
          {"LineEncPeriodCount0", 8},
          {"LineEncFineCount0", 10},
          {"LineEncCoarseCount0", 12},
          {"LineEncPeriodCount1", 14},
          {"LineEncFineCount1", 16},
          {"LineEncCoarseCount1", 18},
          {"NumSampleBlocks", 23}}},
        {3, 1, 24, {{"Time4nsec", 3}, {"LineEncCoarseCount1", 18}, {"FrameEncoderValue", 20}, {"NumSampleBlocks", 23}}},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(testing::Message() << "measurement block " << C.Main << "." << C.Sub);
        auto B = CreateBlock("MeasBlockHeader", C.Main, C.Sub);
        EXPECT_EQ(B->EndOffset(), C.Length);
        std::vector<std::uint8_t> Bytes(static_cast<std::size_t>(C.Length), 0);
        for (const auto& [Name, At] : C.Fields) {
            const TField& F = B->Field(Name);
            EXPECT_EQ(F.GetOffs(0), At) << Name;
            Put(Bytes, static_cast<std::size_t>(At), 0xA0 + static_cast<std::uint64_t>(At), F.Size());
        }
        Bytes.push_back(0x77);  // the first sample block's byte must stay unread
        auto S = StreamOf(Bytes);
        B->Load(*S);
        EXPECT_EQ(S->GetPosition(), C.Length);
        for (const auto& [Name, At] : C.Fields) EXPECT_EQ(B->Field(Name).GetInt64(), 0xA0 + At) << Name;
    }
    auto T = CreateBlock("MeasBlockHeader", 3, 0);
    EXPECT_EQ(T->Field("Time4nsec").Size(), 5);
    EXPECT_EQ(T->Field("LineEncCoarseCount1").GetOffs(1), 22);
}

TEST(RecordBlocks, SampleBlockSizesItsSamplesFromTheQuadCount) {
    for (std::uint16_t Sub : {0, 1}) {
        auto B = CreateBlock("SampleBlock", 1, Sub);
        std::vector<std::uint8_t> Bytes = {0x01, 0x02, 0xC0, 3};
        for (int I = 0; I < 12; ++I) Bytes.push_back(static_cast<std::uint8_t>(200 + I));
        Bytes.push_back(0x99);
        auto S = StreamOf(Bytes);
        B->Load(*S);
        EXPECT_EQ(S->GetPosition(), 16);
        EXPECT_EQ(B->Field("SampleBlockTimeStamp").GetUInt(), 0x102u);
        EXPECT_EQ(B->Field("ChannelDescriptor").Text(), "C0");
        const TField& Sm = B->Field("Sample");
        EXPECT_EQ(Sm.Cols(), 12);
        EXPECT_EQ(Sm.GetUInt(11), 211u);
    }
    auto B = CreateBlock("SampleBlock", 1, 0);
    auto Zero = StreamOf({0, 0, 0, 0, 1, 2, 3, 4});
    EXPECT_EQ(ErrorOf([&] { B->Load(*Zero); }), "Sample: Cols/Rows invalid");
    auto Short = StreamOf({0, 0, 0, 255, 1, 2, 3, 4});
    EXPECT_EQ(ErrorOf([&] { B->Load(*Short); }), "Sample: 1020 elements need 1020 bytes, the stream holds only 4 more");
}

TEST(RecordBlocks, HousekeepingVersions) {
    std::vector<std::uint8_t> Base(48);
    for (int I = 0; I < 12; ++I) Put(Base, static_cast<std::size_t>(I * 4), 1000 + static_cast<std::uint64_t>(I), 4);

    auto H10 = CreateBlock("HousekeepingData", 1, 0);
    auto S10 = StreamOf(Base);
    H10->Load(*S10);
    EXPECT_EQ(H10->EndOffset(), 48);
    EXPECT_EQ(H10->Field("TempADCInt").GetUInt(), 1000u);
    EXPECT_EQ(H10->Field("Supply_Photodiode").GetUInt(), 1011u);

    auto V11 = Base;
    Put(V11, 48, 2, 4);
    Put(V11, 52, 0xDEADBEEF, 4);
    Put(V11, 56, 0x01020304, 4);
    auto H11 = CreateBlock("HousekeepingData", 1, 1);
    auto S11 = StreamOf(V11);
    H11->Load(*S11);
    EXPECT_EQ(S11->GetPosition(), 60);
    EXPECT_EQ(H11->Field("GPS_Data").Cols(), 2);
    EXPECT_EQ(H11->Field("GPS_Data").GetUInt(1), 0x01020304u);

    auto V20 = Base;
    Put(V20, 48, 0x40, 1);
    Put(V20, 49, 0xFFFF, 2);
    Put(V20, 51, 0xFF00000001ULL, 5);
    Put(V20, 56, 604799999, 4);
    auto H20 = CreateBlock("HousekeepingData", 2, 0);
    auto S20 = StreamOf(V20);
    H20->Load(*S20);
    EXPECT_EQ(H20->EndOffset(), 60);
    EXPECT_EQ(H20->Field("GpsSyncDescriptor").GetBits(), 0x40u);
    EXPECT_EQ(H20->Field("PPSTimeStamp").GetInt64(), 0xFF00000001LL);
    EXPECT_EQ(H20->Field("WeekMilliSeconds").GetUInt(), 604799999u);

    // 2.1 keeps the 2.0 layout and carries its GPS words behind it.
    auto V21 = V20;
    Put(V21, 60, 1, 4);
    Put(V21, 64, 0xCAFE, 4);
    auto H21 = CreateBlock("HousekeepingData", 2, 1);
    auto S21 = StreamOf(V21);
    H21->Load(*S21);
    EXPECT_EQ(S21->GetPosition(), 68);
    EXPECT_EQ(H21->Field("PPSTimeStamp").GetInt64(), 0xFF00000001LL);
    EXPECT_EQ(H21->Field("GPS_Data").GetUInt(0), 0xCAFEu);
}

TEST(RecordBlocks, CorruptGpsCountsAreRefusedBeforeAllocating) {
    struct Case {
        std::uint16_t Main, Sub;
        std::size_t CountAt;
        std::uint32_t Count;
        std::string Message;
    } Cases[] = {
        {1, 1, 48, 0, "GPS_Data: Cols/Rows invalid"},
        {1, 1, 48, 0xFFFFFFFF, "GPS_Data: 4294967295 elements need 17179869180 bytes, the stream holds only 8 more"},
        {1, 1, 48, 3, "GPS_Data: 3 elements need 12 bytes, the stream holds only 8 more"},
        {2, 1, 60, 0x40000000, "GPS_Data: 1073741824 elements need 4294967296 bytes, the stream holds only 8 more"},
        {2, 1, 60, 0, "GPS_Data: Cols/Rows invalid"},
    };
    for (const Case& C : Cases) {
        std::vector<std::uint8_t> Bytes(C.CountAt + 12, 0);
        Put(Bytes, C.CountAt, C.Count, 4);
        auto S = StreamOf(Bytes);
        auto B = CreateBlock("HousekeepingData", C.Main, C.Sub);
        EXPECT_EQ(ErrorOf([&] { B->Load(*S); }), C.Message);
    }
}

// Damaged input either loads or raises the tables' own error; anything else
// (a crash, a sanitizer report, a foreign exception) fails.
TEST(RecordBlocks, RandomDamageLoadsOrFailsCleanly) {
    std::mt19937 Rng(20261208);
    const auto Header = HandHeader(2, ParamVersions()[7]);
    int Loaded = 0, Refused = 0;
    for (int Round = 0; Round < 1500; ++Round) {
        auto Bytes = Header;
        const int Edits = 1 + static_cast<int>(Rng() % 4);
        for (int E = 0; E < Edits; ++E)
            Bytes[Rng() % 24] = static_cast<std::uint8_t>(Rng());  // the ids steer the loading
        if (Rng() % 2) Bytes.resize(Rng() % (Bytes.size() + 1));
        auto S = StreamOf(Bytes);
        THeaderPreamble H;
        try {
            H.Load(*S);
            ++Loaded;
        } catch (const Exception&) {
            ++Refused;
        }
    }
    EXPECT_GT(Loaded, 0);
    EXPECT_GT(Refused, 0);

    const std::pair<const char*, std::pair<int, int>> Kinds[] = {
        {"SampleBlock", {1, 0}}, {"HousekeepingData", {1, 1}}, {"HousekeepingData", {2, 1}}};
    for (const auto& [Kind, Version] : Kinds) {
        auto B =
            CreateBlock(Kind, static_cast<std::uint16_t>(Version.first), static_cast<std::uint16_t>(Version.second));
        for (int Round = 0; Round < 1000; ++Round) {
            std::vector<std::uint8_t> Bytes(Rng() % 200);
            for (auto& C : Bytes) C = static_cast<std::uint8_t>(Rng() % 4 == 0 ? Rng() : 1);
            auto S = StreamOf(Bytes);
            try {
                B->Load(*S);
                EXPECT_LE(S->GetPosition(), static_cast<std::int64_t>(Bytes.size()) + 4);
            } catch (const Exception&) {
            }
        }
    }
}

}  // namespace
