#include "RecordingWriter.h"

#include "KQMTypes.h"
#include "Stream.h"

#include <filesystem>
#include <stdexcept>

namespace {

constexpr std::uint64_t OneWeekUs = 604800000000ULL;

void Fail(const std::string& Text) { throw std::runtime_error("RecordingWriter: " + Text); }

// Every field gets its bytes, so that setters work and Save writes zeros
// for whatever the caller leaves alone.
void SizeAll(TBlock& Block) {
    for (int I = 0; I < Block.GetFieldCount(); ++I) Block.GetFieldI(I)->Store(nullptr, 0);
}

void SetNumbers(TBlock& Block, const std::string& Name, const std::vector<double>& Values) {
    TField* F = Block.GetFieldS(Name);
    if (!F) Fail("no field " + Name + " in " + Block.Name());
    if (static_cast<std::int64_t>(Values.size()) > std::int64_t(F->Cols()) * F->Rows())
        Fail("too many values for " + Name);
    for (std::size_t I = 0; I < Values.size(); ++I) {
        const auto Col = static_cast<std::int32_t>(I % static_cast<std::size_t>(F->Cols()));
        const auto Row = static_cast<std::int32_t>(I / static_cast<std::size_t>(F->Cols()));
        switch (F->Kind()) {
        case fkSINGLE:
            F->SetSingle(static_cast<float>(Values[I]), Col, Row);
            break;
        case fkINT:
            F->SetInt(static_cast<std::int32_t>(Values[I]), Col, Row);
            break;
        case fkUINT:
        case fkBITS:
            F->SetUInt(static_cast<std::uint32_t>(static_cast<std::int64_t>(Values[I])), Col, Row);
            break;
        case fkSTRING:
            Fail("use Texts for the string field " + Name);
        }
    }
}

void SetText(TBlock& Block, const std::string& Name, const std::string& Text) {
    TField* F = Block.GetFieldS(Name);
    if (!F) Fail("no field " + Name + " in " + Block.Name());
    if (static_cast<std::int64_t>(Text.size()) > F->DataSize()) Fail("text too long for " + Name);
    std::string Padded = Text;
    Padded.resize(static_cast<std::size_t>(F->DataSize()), ' ');
    F->Store(Padded.data(), static_cast<std::int64_t>(Padded.size()));
}

void SetIfPresent(TBlock& Block, const char* Name, std::uint32_t Value) {
    if (TField* F = Block.GetFieldS(Name)) F->SetUInt(Value);
}

void Append(std::vector<std::uint8_t>& Buf, std::uint64_t Value, int Bytes) {
    const std::size_t At = Buf.size();
    Buf.resize(At + static_cast<std::size_t>(Bytes));
    PutBE(Buf, At, Value, Bytes);
}

}  // namespace

void PutBE(std::vector<std::uint8_t>& Buf, std::size_t Offset, std::uint64_t Value, int Bytes) {
    if (Offset + static_cast<std::size_t>(Bytes) > Buf.size()) Buf.resize(Offset + static_cast<std::size_t>(Bytes));
    for (int I = Bytes - 1; I >= 0; --I, Value >>= 8)
        Buf[Offset + static_cast<std::size_t>(I)] = static_cast<std::uint8_t>(Value);
}

std::uint64_t GetBE(const std::uint8_t* P, int Bytes) {
    std::uint64_t V = 0;
    for (int I = 0; I < Bytes; ++I) V = (V << 8) | P[I];
    return V;
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& Path) {
    std::FILE* F = std::fopen(Path.c_str(), "rb");
    if (!F) Fail("cannot open " + Path);
    std::vector<std::uint8_t> Data;
    std::uint8_t Chunk[65536];
    std::size_t N;
    while ((N = std::fread(Chunk, 1, sizeof Chunk, F)) > 0) Data.insert(Data.end(), Chunk, Chunk + N);
    std::fclose(F);
    return Data;
}

void WriteFileBytes(const std::string& Path, const std::vector<std::uint8_t>& Bytes) {
    std::FILE* F = std::fopen(Path.c_str(), "wb");
    if (!F) Fail("cannot create " + Path);
    const bool Ok = Bytes.empty() || std::fwrite(Bytes.data(), 1, Bytes.size(), F) == Bytes.size();
    if (std::fclose(F) != 0 || !Ok) Fail("cannot write " + Path);
}

// ---------------------------------------------------------------- header

TRecHeader::TRecHeader() {
    Texts["InstrumentType"] = "ZA26";
    Texts["SerialNumber"] = "SN000001";
    std::vector<double> Identity(256);
    for (int I = 0; I < 256; ++I) Identity[static_cast<std::size_t>(I)] = I;
    Numbers["LinearizeArray"] = Identity;
    Numbers["DelogArray"] = Identity;
    Numbers["NumberFacets"] = {4};
    Numbers["LineAngleCircleCount"] = {65536};
    Numbers["LineAngleCoarseRes"] = {64};
    // A four-sided mirror turning about x, the laser shooting down onto it.
    const double S = 0.70710678;
    Numbers["CorrLaserOrigin"] = {0, 0, 0.1};
    Numbers["CorrLaserDir"] = {0, 0, -1};
    Numbers["CorrMirrorAxis"] = {1, 0, 0};
    Numbers["CorrOffset"] = {0, 0, 0};
    Numbers["CorrFacetNormal1"] = {0, S, S};
    Numbers["CorrFacetNormal2"] = {0, -S, S};
    Numbers["CorrFacetNormal3"] = {0, -S, -S};
    Numbers["CorrFacetNormal4"] = {0, S, -S};
    for (const char* D : {"CorrFacetDistance1", "CorrFacetDistance2", "CorrFacetDistance3", "CorrFacetDistance4"})
        Numbers[D] = {0.05};
}

TRecHeader TRecHeader::Versions(std::uint16_t SubMain, std::uint16_t ParMain, std::uint16_t ParSub,
                                std::uint16_t MeasMain, std::uint16_t MeasSub, std::uint32_t Flags) {
    TRecHeader H;
    H.SubMain = SubMain;
    H.ParMain = ParMain;
    H.ParSub = ParSub;
    H.MeasMain = MeasMain;
    H.MeasSub = MeasSub;
    H.ProtocolFlags = Flags;
    return H;
}

std::int64_t TRecHeader::TablesLength() const { return CreateBlock("ParameterField", ParMain, ParSub)->EndOffset(); }

std::vector<std::uint8_t> TRecordingWriter::EncodeHeader(const TRecHeader& H) {
    THeaderPreamble Preamble;
    SizeAll(Preamble);
    auto Sub = CreateBlock("Subheader", H.SubMain, H.SubSub);
    auto Par = CreateBlock("ParameterField", H.ParMain, H.ParSub);
    SizeAll(*Sub);
    SizeAll(*Par);
    const std::int64_t Length = Par->EndOffset();
    Preamble.Field("HeaderDwordSize").SetUInt(H.HeaderDwordSize.value_or(static_cast<std::uint32_t>(Length / 4)));
    Preamble.Field("ProtocolFlags").SetUInt(H.ProtocolFlags);
    Preamble.Field("SubheaderIdMain").SetUInt(H.SubMain);
    Preamble.Field("SubheaderIdSub").SetUInt(H.SubSub);
    Sub->Field("ParameterIdMain").SetUInt(H.ParMain);
    Sub->Field("ParameterIdSub").SetUInt(H.ParSub);
    Sub->Field("MeasIdMain").SetUInt(H.MeasMain);
    Sub->Field("MeasIdSub").SetUInt(H.MeasSub);
    SetIfPresent(*Sub, "SampleBlockIdMain", H.SampleMain);
    SetIfPresent(*Sub, "SampleBlockIdSub", H.SampleSub);
    SetIfPresent(*Sub, "HousekeepingIdMain", H.HouseMain);
    SetIfPresent(*Sub, "HousekeepingIdSub", H.HouseSub);
    Par->Field("SyncField").SetUInt(H.SyncField);
    for (const auto& [Name, Values] : H.Numbers) SetNumbers(*Par, Name, Values);
    for (const auto& [Name, Text] : H.Texts) SetText(*Par, Name, Text);
    Preamble.Add(std::move(Sub));
    Preamble.Add(std::move(Par));
    if (H.Edit) H.Edit(Preamble);
    TMemoryStream S;
    Preamble.Save(S);
    return std::vector<std::uint8_t>(S.Memory(), S.Memory() + S.GetSize());
}

// ---------------------------------------------------------------- records

std::int32_t TRecordingWriter::MeasHeaderLength(std::uint16_t Main, std::uint16_t Sub) {
    if (Sub > 1) return 0;
    switch (Main) {
    case 1:
        return Sub == 0 ? 12 : 16;
    case 2:
        return Sub == 0 ? 16 : 20;
    case 3:
        return 24;
    default:
        return 0;
    }
}

std::uint32_t TRecordingWriter::Checksum(const std::uint8_t* Data, std::size_t Count, std::uint64_t Start) {
    std::uint64_t Sum = Start;
    for (std::size_t I = 0; I + 4 <= Count; I += 4) Sum += GetBE(Data + I, 4);
    while (Sum >> 32) Sum = (Sum >> 32) + (Sum & 0xFFFFFFFFULL);
    return 0xFFFFFFFFU - static_cast<std::uint32_t>(Sum);
}

std::vector<std::uint8_t> TRecordingWriter::EncodeRecord(const TRecHeader& H, const TRecord& R) {
    const std::int32_t HLen = MeasHeaderLength(H.MeasMain, H.MeasSub);
    if (HLen == 0)
        Fail("no record layout for measurement block " + std::to_string(H.MeasMain) + "." + std::to_string(H.MeasSub));
    const bool House = R.Descriptor & 1;
    std::vector<std::uint8_t> B(static_cast<std::size_t>(HLen), 0);
    B[2] = R.Descriptor;
    PutBE(B, 3, R.Time & 0xFFFFFFFFFFULL, 5);
    switch (H.MeasMain) {
    case 1:
        PutBE(B, 8, R.LineEncoderValue & 0xFFFFFF, 3);
        if (H.MeasSub == 1) PutBE(B, 12, R.FrameEncoderValue & 0xFFFFFF, 3);
        break;
    case 2:
        for (int I = 0; I < 3; ++I) PutBE(B, static_cast<std::size_t>(8 + 2 * I), R.Enc0[I], 2);
        if (H.MeasSub == 1) PutBE(B, 16, R.FrameEncoderValue & 0xFFFFFF, 3);
        break;
    case 3:
        for (int I = 0; I < 3; ++I) {
            PutBE(B, static_cast<std::size_t>(8 + 2 * I), R.Enc0[I], 2);
            PutBE(B, static_cast<std::size_t>(14 + 2 * I), R.Enc1[I], 2);
        }
        if (H.MeasSub == 1) PutBE(B, 20, R.FrameEncoderValue & 0xFFFFFF, 3);
        break;
    }
    B[static_cast<std::size_t>(HLen - 1)] =
        R.NumSampleBlocks.value_or(House ? 0 : static_cast<std::uint8_t>(R.Blocks.size()));

    if (House) {
        // Subheader 1.0 names no housekeeping version; readers take 1.0.
        const bool V2 = H.SubMain == 2;
        const std::uint16_t Main = V2 ? H.HouseMain : 1;
        const std::uint16_t Sub = V2 ? H.HouseSub : 0;
        for (std::uint32_t V : R.HouseValues) Append(B, V, 4);
        if (Main == 2) {
            Append(B, R.HouseSyncDescriptor, 1);
            Append(B, 0, 2);
            Append(B, R.PPSTimeStamp & 0xFFFFFFFFFFULL, 5);
            Append(B, R.WeekMilliSeconds, 4);
        }
        if (Sub == 1) {
            Append(B, R.GpsN.value_or(static_cast<std::uint32_t>(R.GpsData.size())), 4);
            for (std::uint32_t V : R.GpsData) Append(B, V, 4);
        }
    } else {
        for (const TRecSampleBlock& S : R.Blocks) {
            const std::size_t Quads = (S.Samples.size() + 3) / 4;
            Append(B, S.TimeStamp, 2);
            Append(B, S.Channel, 1);
            Append(B, S.NumQuads.value_or(static_cast<std::uint8_t>(Quads)), 1);
            if (Quads > 255 && !S.NumQuads) Fail("sample block of more than 1020 samples");
            const std::size_t At = B.size();
            B.resize(At + Quads * 4, 0);
            std::copy(S.Samples.begin(), S.Samples.end(), B.begin() + static_cast<std::ptrdiff_t>(At));
        }
    }
    if (B.size() / 4 > 0xFFFF && !R.Dwords) Fail("measurement block longer than the size word can state");
    PutBE(B, 0, R.Dwords.value_or(static_cast<std::uint16_t>(B.size() / 4)), 2);

    std::vector<std::uint8_t> Out;
    Out.reserve(B.size() + 8);
    std::uint64_t Start = 0;
    if (H.ProtocolFlags & 1) {
        const std::uint32_t Sync = R.Sync.value_or(H.SyncField);
        Append(Out, Sync, 4);
        Start = Sync;
    }
    Out.insert(Out.end(), B.begin(), B.end());
    if (H.ProtocolFlags & 2) Append(Out, R.Checksum.value_or(Checksum(B.data(), B.size(), Start)), 4);
    return Out;
}

TRecord TRecord::House(std::uint64_t Time, std::uint64_t PPSTimeStamp, std::uint32_t WeekMilliSeconds,
                       std::uint8_t HouseSyncDescriptor) {
    TRecord R;
    R.Descriptor = 1;
    R.Time = Time;
    R.PPSTimeStamp = PPSTimeStamp;
    R.WeekMilliSeconds = WeekMilliSeconds;
    R.HouseSyncDescriptor = HouseSyncDescriptor;
    return R;
}

// ---------------------------------------------------------------- writer

TRecordingWriter::TRecordingWriter(const std::string& Path, const TRecHeader& Header, bool KeepRecords)
    : FHeader(Header), FPath(Path), FKeep(KeepRecords) {
    const std::vector<std::uint8_t> Bytes = EncodeHeader(FHeader);
    FFile = std::fopen(Path.c_str(), "wb");
    if (!FFile) Fail("cannot create " + Path);
    std::setvbuf(FFile, nullptr, _IOFBF, 1 << 20);
    Put(Bytes.data(), Bytes.size());
    FHeaderLength = FPosition;
}

TRecordingWriter::~TRecordingWriter() {
    if (FFile) std::fclose(FFile);
}

void TRecordingWriter::Put(const std::uint8_t* Data, std::size_t Count) {
    if (!FFile) Fail("write after Close");
    if (Count && std::fwrite(Data, 1, Count, FFile) != Count) Fail("cannot write " + FPath);
    FPosition += static_cast<std::int64_t>(Count);
}

std::int64_t TRecordingWriter::Write(const TRecord& R) {
    FScratch = EncodeRecord(FHeader, R);
    const std::int64_t Offset = FPosition;
    Put(FScratch.data(), FScratch.size());
    ++FCount;
    if (FKeep) {
        TRecordInfo I;
        I.Offset = Offset;
        I.SizeWord = Offset + ((FHeader.ProtocolFlags & 1) ? 4 : 0);
        I.Length = static_cast<std::int64_t>(FScratch.size());
        I.RawTime = R.Time & 0xFFFFFFFFFFULL;
        if (FHeader.MeasMain == 3) {
            I.Time4ns = static_cast<std::int64_t>(I.RawTime);
            I.TimeUs = I.Time4ns / 250;
        } else {
            std::uint64_t Us = I.RawTime;
            if (Us > OneWeekUs) Us -= OneWeekUs;
            I.TimeUs = static_cast<std::int64_t>(Us);
            I.Time4ns = I.TimeUs * 250;
        }
        I.Housekeeping = R.Descriptor & 1;
        FRecords.push_back(I);
    }
    return Offset;
}

void TRecordingWriter::WriteGarbage(const std::vector<std::uint8_t>& Bytes) { Put(Bytes.data(), Bytes.size()); }

void TRecordingWriter::Close() {
    if (FFile) {
        const bool Ok = std::fclose(FFile) == 0;
        FFile = nullptr;
        if (!Ok) Fail("cannot write " + FPath);
    }
}

// ---------------------------------------------------------------- damage

void DamageTruncate(const std::string& Path, std::int64_t Size) {
    std::error_code Ec;
    std::filesystem::resize_file(Path, static_cast<std::uintmax_t>(Size), Ec);
    if (Ec) Fail("cannot truncate " + Path + ": " + Ec.message());
}

void DamageOverwrite(const std::string& Path, std::int64_t Offset, const std::vector<std::uint8_t>& Bytes) {
    std::FILE* F = std::fopen(Path.c_str(), "r+b");
    if (!F) Fail("cannot open " + Path);
#ifdef _WIN32
    const bool Sought = _fseeki64(F, Offset, SEEK_SET) == 0;
#else
    const bool Sought = fseeko(F, static_cast<off_t>(Offset), SEEK_SET) == 0;
#endif
    const bool Ok = Sought && (Bytes.empty() || std::fwrite(Bytes.data(), 1, Bytes.size(), F) == Bytes.size());
    if (std::fclose(F) != 0 || !Ok) Fail("cannot overwrite " + Path);
}

void DamageInsert(const std::string& Path, std::int64_t Offset, const std::vector<std::uint8_t>& Bytes) {
    std::vector<std::uint8_t> Data = ReadFileBytes(Path);
    if (Offset < 0 || Offset > static_cast<std::int64_t>(Data.size())) Fail("insert offset beyond the end of " + Path);
    Data.insert(Data.begin() + static_cast<std::ptrdiff_t>(Offset), Bytes.begin(), Bytes.end());
    WriteFileBytes(Path, Data);
}
