#include "KQMReader.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "Buffer.h"
#include "KQMIndex.h"
#include "KQMTypes.h"
#include "StrUtils.h"
#include "Stream.h"

namespace {

// Facet geometry is built from these fields, one per facet.
const char* const FacetNormalNames[4] = {"CorrFacetNormal1", "CorrFacetNormal2", "CorrFacetNormal3",
                                         "CorrFacetNormal4"};
const char* const FacetDistanceNames[4] = {"CorrFacetDistance1", "CorrFacetDistance2", "CorrFacetDistance3",
                                           "CorrFacetDistance4"};

// A field the header tables must hold; the tables raise the error that names it.
const TField& Field(const TBlock& Block, const char* Name) { return Block.Field(Name); }

TKQMVector3F Vector(const TBlock& Block, const char* Name) {
    const TField& F = Field(Block, Name);
    return {F.GetSingle(0), F.GetSingle(1), F.GetSingle(2)};
}

bool IsIn(std::uint16_t Main, std::uint16_t Sub, std::initializer_list<std::pair<int, int>> Versions) {
    for (const auto& V : Versions)
        if (V.first == Main && V.second == Sub) return true;
    return false;
}

std::uint16_t UInt16(const TBlock& Block, const char* Name) { return std::uint16_t(Field(Block, Name).GetUInt()); }

// Protocol flags and the sub-header's version, from the preamble.
void DecodeProtocol(TKQMHeader& H, const TBlock& Preamble) {
    const std::uint32_t Flags = Field(Preamble, "ProtocolFlags").GetBits();
    H.Sync_Field_Present = (Flags & 0x1) != 0;
    H.CRC_Field_Present = (Flags & 0x2) != 0;
    H.XOR_Checksum = (Flags & 0x4) != 0;
    H.Data_Compression = (Flags & 0x8) != 0;
    H.SubHeaderMainId = UInt16(Preamble, "SubheaderIdMain");
    H.SubHeaderSubId = UInt16(Preamble, "SubheaderIdSub");
    if (!IsIn(H.SubHeaderMainId, H.SubHeaderSubId, {{1, 0}, {2, 0}}))
        throw EKQMError(Format("Invalid SubHeaderId: %d.%d", H.SubHeaderMainId, H.SubHeaderSubId), 1);
}

// The versions of the parameter field and of the record's blocks, from the
// sub-header; sub-header 1.0 implies sample blocks and housekeeping 1.0.
void DecodeVersions(TKQMHeader& H, const TBlock& Preamble) {
    const TBlock* Sub = Preamble.GetBlockS("Subheader*");
    if (!Sub) throw EKQMError(Format("SubHeader %d.%d not found", H.SubHeaderMainId, H.SubHeaderSubId), 1);
    H.ParameterMainId = UInt16(*Sub, "ParameterIdMain");
    H.ParameterSubId = UInt16(*Sub, "ParameterIdSub");
    H.MeasBlockMainId = UInt16(*Sub, "MeasIdMain");
    H.MeasBlockSubId = UInt16(*Sub, "MeasIdSub");
    H.SampBlockMainId = 1;
    H.SampBlockSubId = 0;
    H.HouseKeepMainId = 1;
    H.HouseKeepSubId = 0;
    if (H.SubHeaderMainId == 2 && H.SubHeaderSubId == 0) {
        H.SampBlockMainId = UInt16(*Sub, "SampleBlockIdMain");
        H.SampBlockSubId = UInt16(*Sub, "SampleBlockIdSub");
        H.HouseKeepMainId = UInt16(*Sub, "HousekeepingIdMain");
        H.HouseKeepSubId = UInt16(*Sub, "HousekeepingIdSub");
    }
}

// Every version the reader decodes; anything else is refused before a record is read.
void CheckVersions(const TKQMHeader& H) {
    if (!IsIn(H.SampBlockMainId, H.SampBlockSubId, {{1, 0}, {1, 1}}))
        throw EKQMError(Format("Unknown SampleBlock (%d.%d)", H.SampBlockMainId, H.SampBlockSubId), 1);
    if (!IsIn(H.HouseKeepMainId, H.HouseKeepSubId, {{1, 0}, {1, 1}, {2, 0}, {2, 1}}))
        throw EKQMError(Format("Unknown Housekeeping (%d.%d)", H.HouseKeepMainId, H.HouseKeepSubId), 1);
    if (!IsIn(H.ParameterMainId, H.ParameterSubId, {{2, 0}, {2, 1}, {3, 0}, {3, 1}, {4, 0}, {4, 1}, {5, 0}, {5, 1}}))
        throw EKQMError(Format("Invalid ParameterId: %d.%d", H.ParameterMainId, H.ParameterSubId), 1);
    if (!IsIn(H.MeasBlockMainId, H.MeasBlockSubId, {{1, 0}, {1, 1}, {2, 0}, {2, 1}, {3, 0}, {3, 1}}))
        throw EKQMError(Format("Invalid MeasBlockId: %d.%d", H.MeasBlockMainId, H.MeasBlockSubId), 1);
}

TScanner DecodeInstrument(TKQMHeader& H, const TBlock& Par) {
    H.Instrument = Trim(Field(Par, "InstrumentType").GetString());
    H.Serial = Trim(Field(Par, "SerialNumber").GetString());
    if (H.Instrument == "ZA14") return ZA14;
    if (H.Instrument == "ZA26") return ZA26;
    if (H.Instrument == "ZA26C") return ZA26C;
    throw EKQMError(Format("Unknown instrument type (%s)", H.Instrument), 1);
}

// The line encoders' offsets: one encoder up to parameter field 3.x (with a
// fine-count offset from 3.x on), two encoders from 4.x on.
void DecodeLineEncoder_2(TKQMHeader& H, const TBlock& Par) { H.LAO = Field(Par, "LineAngleOffset").GetUInt(); }

void DecodeLineEncoder_3(TKQMHeader& H, const TBlock& Par) {
    H.LAO = Field(Par, "LineAngleOffset").GetUInt();
    H.LEFCO = Field(Par, "LineEncoderFineCountOffset").GetUInt();
}

void DecodeLineEncoder_4_5(TKQMHeader& H, const TBlock& Par) {
    H.LAO0 = Field(Par, "LineAngleOffset0").GetUInt();
    H.LAO1 = Field(Par, "LineAngleOffset1").GetUInt();
    H.LEFCO0 = Field(Par, "LineEncoderFineCountOffset0").GetUInt();
    H.LEFCO1 = Field(Par, "LineEncoderFineCountOffset1").GetUInt();
}

void DecodeEncoders(TKQMHeader& H, const TBlock& Par) {
    H.LEFCO = H.LEFCO0 = H.LEFCO1 = 0;
    H.LACC = Field(Par, "LineAngleCircleCount").GetUInt();
    H.NF = std::uint8_t(Field(Par, "NumberFacets").GetUInt());
    H.LACR = std::uint16_t(Field(Par, "LineAngleCoarseRes").GetUInt());
    if (H.ParameterMainId == 2)
        DecodeLineEncoder_2(H, Par);
    else if (H.ParameterMainId == 3)
        DecodeLineEncoder_3(H, Par);
    else
        DecodeLineEncoder_4_5(H, Par);
    H.SyncField = Field(Par, "SyncField").GetUInt();
    H.FEO = H.FECC = 0;
    if (H.ParameterSubId == 1) {
        H.FEO = Field(Par, "FrameEncoderOffset").GetUInt();
        H.FECC = Field(Par, "FrameEncoderCircleCount").GetUInt();
    }
    H.PositionStartPulse = H.ParameterMainId >= 3 ? Field(Par, "PositionStartPulse").GetUInt() : 0;
}

// Sample conversion tables, channel delays and range scale. Millimetres and
// parts per million in the file; metres in the reader.
void DecodeRanging(TKQMHeader& H, const TBlock& Par) {
    const TField& PreQuad = Field(Par, "PreQuadCount");
    H.PreQuadCount1 = PreQuad.GetUInt(1, 0);
    H.PreQuadCount2 = PreQuad.GetUInt(2, 0);
    H.PreQuadCount3 = PreQuad.GetUInt(3, 0);
    Field(Par, "DelogArray").WritePacked(H.LogArray.data(), std::int64_t(sizeof H.LogArray));
    Field(Par, "LinearizeArray").WritePacked(H.LinArray.data(), std::int64_t(sizeof H.LinArray));
    const long double Ppm = Field(Par, "RangeCorrPPM").GetInt();
    const long double Lo = Field(Par, "LoChannelRangeOffset").GetInt();
    const long double Hi = Field(Par, "HiChannelRangeOffset").GetInt();
    const long double Scale = Ppm * 1e-6L + 1;
    H.RangeFactor = float(Scale * 0.15L);
    H.RangeOffsLP = float(Scale * (Lo * 0.001L));
    H.RangeOffsHP = float(Scale * ((Lo + Hi) * 0.001L));
}

}  // namespace

std::array<std::string, 8> IndexSpellingsOf(const std::string& Path) {
    // Where names differ in case, an index written elsewhere may be spelt
    // "REC.IDX" or otherwise. Its eight spellings are asked for in a fixed
    // order, the one the library writes first: a few look-ups on every open
    // of a recording without an index, where reading the folder would cost as
    // much as the folder holds.
    const std::string Own = IndexNameBeside(Path, TOtherExtension::Replaced);
    const std::size_t Ext = Own.size() - 3;
    std::array<std::string, 8> Names;
    for (unsigned Spelling = 0; Spelling < 8; ++Spelling) {
        Names[Spelling] = Own;
        for (unsigned I = 0; I < 3; ++I) Names[Spelling][Ext + I] ^= char((Spelling >> I & 1) << 5);
    }
    return Names;
}

std::string IndexPathOf(const std::string& Path) {
    const std::array<std::string, 8> Names = IndexSpellingsOf(Path);
    std::error_code Ec;
    for (const std::string& Name : Names)
        if (std::filesystem::exists(Name, Ec)) return Name;
    return Names[0];
}

TKQMReader::TKQMReader(const std::string& Path) : FPath(Path) {
    // A small buffer for the few records around a seek, growing while the
    // records are read one after the other.
    FStream = std::make_unique<TFileStreamBuffered>(Path, fmOpenRead | fmShareDenyWrite, 4096);
    FStream->SetGrowth(256 * 1024);
    DecodeHeader();
    OpenIndex(IndexPathOf(Path));
}

TKQMReader::~TKQMReader() = default;

void TKQMReader::DecodeHeader() {
    const std::unique_ptr<TBlock> Preamble = CreateBlock("HeaderPreamble", 0, 0);
    Preamble->Load(*FStream);
    FStreamDataOffset = FStream->Seek(0, soCurrent);

    TKQMHeader& H = FHeader;
    DecodeProtocol(H, *Preamble);
    DecodeVersions(H, *Preamble);
    CheckVersions(H);
    const TBlock* Par = Preamble->GetBlockS(Format("ParameterField_%d_%d", H.ParameterMainId, H.ParameterSubId));
    if (!Par) throw EKQMError(Format("ParameterField %d.%d not found", H.ParameterMainId, H.ParameterSubId), 1);
    FScanner = DecodeInstrument(H, *Par);
    DecodeEncoders(H, *Par);
    DecodeRanging(H, *Par);
    DecodeGeometry(*Par);
}

// The calibrated beam geometry: laser origin and direction, and per facet the
// parts of its normal along the mirror axis (a), across it (b), their cross
// product (c), and the facet's distance (d).
void TKQMReader::DecodeGeometry(const TBlock& Par) {
    TKQMParams& P = FParams;
    P.O = Vector(Par, "CorrLaserOrigin");
    Trace("O=(%.9f, %.9f, %.9f)", P.O[0], P.O[1], P.O[2]);
    P.L = Vector(Par, "CorrLaserDir");
    Trace("l=(%.9f, %.9f, %.9f)", P.L[0], P.L[1], P.L[2]);
    const TKQMVector3F Offset = Vector(Par, "CorrOffset");
    for (int k = 0; k < 3; ++k) P.F[k] = P.O[k] - Offset[k];
    Trace("f=(%.9f, %.9f, %.9f)", P.F[0], P.F[1], P.F[2]);

    const TKQMVector3F M = Vector(Par, "CorrMirrorAxis");
    for (int i = 0; i < 4; ++i) {
        const TKQMVector3F N = Vector(Par, FacetNormalNames[i]);
        Trace("Facet %d:", i);
        const float T = M[0] * N[0] + M[1] * N[1] + M[2] * N[2];
        Trace("t=%.9f", T);
        for (int k = 0; k < 3; ++k) P.A[i][k] = T * M[k];
        Trace("a[%d]=(%.9f, %.9f, %.9f)", i, P.A[i][0], P.A[i][1], P.A[i][2]);
        for (int k = 0; k < 3; ++k) P.B[i][k] = N[k] - P.A[i][k];
        Trace("b[%d]=(%.9f, %.9f, %.9f)", i, P.B[i][0], P.B[i][1], P.B[i][2]);
        P.C[i] = {M[1] * N[2] - M[2] * N[1], M[2] * N[0] - M[0] * N[2], M[0] * N[1] - M[1] * N[0]};
        Trace("c[%d]=(%.9f, %.9f, %.9f)", i, P.C[i][0], P.C[i][1], P.C[i][2]);
        P.D[i] = Field(Par, FacetDistanceNames[i]).GetSingle();
        Trace("d[%d]=%.9f", i, P.D[i]);
    }
}

bool TKQMReader::OpenIndex(const std::string& IndexFile) {
    FIndex.reset();
    FFollowing = 0;
    try {
        FIndex = std::make_unique<TIndex>(IndexFile);
    } catch (const std::exception&) {
        // A missing or unusable index counts as none: the recording stays
        // open and becomes readable once it is reindexed.
    }
    if (FIndex) {
        if (FHeader.Sync_Field_Present) FIndex->SetOffset(-4);
        if (FIndex->HeaderMajor() != 1 || FIndex->HeaderMinor() != 1) FIndex.reset();
    }

    FMaxTimeExternal = 0;
    FMinTimeExternal = 0;
    FEpoch = "UNKNOWN";
    if (!FIndex) return false;

    try {
        FIndex->Last();
        FMaxTimeExternal = FIndex->GetTimeStamp();
        FIndex->First();
        FMinTimeExternal = FIndex->GetTimeStamp();
    } catch (const std::exception&) {
        // An index that fails while its ends are read is as unusable as one that does not open.
        FIndex.reset();
        FMaxTimeExternal = FMinTimeExternal = 0;
        return false;
    }
    // External times count microseconds: anything past one day must be seconds of the week.
    constexpr std::int64_t OneDayUs = 86400000000LL;
    if (FMaxTimeExternal > 0) FEpoch = FMaxTimeExternal > OneDayUs ? "WEEKSEC" : "DAYSEC";
    FitWindow();
    return true;
}

// A read after a seek decodes the record before its target, the target and
// the one behind it. The stream's first read after a jump is sized to hold
// about four records of this file: one call to the system brings them,
// without copying much more than they take.
void TKQMReader::FitWindow() {
    constexpr std::int64_t Least = 512, Most = 65536;
    const std::int64_t Average = (FStream->GetSize() - FStreamDataOffset) / std::max<std::int64_t>(FIndex->Count(), 1);
    FStream->SetLookAhead(std::int32_t(std::clamp((4 * Average + Least - 1) / Least * Least, Least, Most)));
}

void TKQMReader::SetTraceCallback(NARVI_TRACE_CALLBACK_T Callback, void* UserData) {
    FTraceCallback = Callback;
    FTraceUserData = UserData;
}

void TKQMReader::SetTrackCallback(NARVI_TRACK_CALLBACK_T Callback, void* UserData) {
    FTrackCallback = Callback;
    FTrackUserData = UserData;
}

// Callbacks are client code behind a C interface: an exception thrown there must
// never unwind through our frames. A failing trace callback loses its line; a
// failing track callback counts as a request to abort.
void TKQMReader::Trace(const char* Text) {
    if (!FTraceCallback) return;
    try {
        FTraceCallback(this, FTraceUserData, Text);
    } catch (...) {
    }
}

void TKQMReader::TraceV(std::string_view Fmt, std::span<const FormatArg> Args) {
    char Line[256];
    if (FormatTo(Line, sizeof Line, Fmt, Args) != FormatNoRoom)
        Trace(Line);
    else
        Trace(FormatV(Fmt, Args));
}

void TKQMReader::Track(std::int32_t Percent) {
    if (!FTrackCallback) return;
    NARVI_BOOL_T Aborted = 0;
    try {
        FTrackCallback(this, FTrackUserData, Percent, &Aborted);
    } catch (...) {
        Aborted = 1;
    }
    if (Aborted != 0) throw EAborted("*** Aborted ***", 1);
}
