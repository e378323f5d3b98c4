#include "FileProbe.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "Buffer.h"
#include "EndianFunct.h"
#include "Format.h"
#include "KQMIndex.h"
#include "KQMTypes.h"
#include "StrUtils.h"
#include "Stream.h"

namespace {

// Bytes at the end of a recording searched for the last record's sync word.
constexpr std::int64_t TAIL_WINDOW = 4096;
constexpr std::int32_t LOOK_AHEAD = 4096;

std::unique_ptr<TFileStreamBuffered> OpenRecording(const std::string& FileName) {
    return std::make_unique<TFileStreamBuffered>(FileName, fmOpenRead | fmShareDenyWrite, LOOK_AHEAD);
}

// Loads the header tables; a file that ends inside them would otherwise load
// as zeros without a word.
std::unique_ptr<TBlock> LoadHeader(TStream& Stream, TBlock*& Params) {
    auto Header = CreateBlock("HeaderPreamble", 0, 0);
    Stream.Seek(0, soBeginning);
    Header->Load(Stream);
    Params = Header->Find("ParameterField*");
    if (!Params) throw Exception("ParameterField not found");
    const std::int64_t TablesEnd = Params->EndOffset();
    if (Stream.GetSize() < TablesEnd) {
        throw Exception(Format("File too short for its header (%d of %d bytes)", Stream.GetSize(), TablesEnd));
    }
    return Header;
}

struct TRecordLayout {
    std::int64_t Size = 0;       // file size
    std::int64_t DataStart = 0;  // first record
    bool Sync = false;
    bool Crc = false;
    std::uint32_t SyncWord = 0;
    std::int64_t MeasHeaderLen = 0;
};

// Why the measurement block whose size word is at Pos cannot be a whole
// record of the file; empty when it can.
std::string RecordFault(const TRecordLayout& L, std::int64_t Pos, const std::uint8_t* SizeWord) {
    if (Pos + 2 > L.Size) {
        return Format("Position %d: Cannot read size of measurement block (2 bytes): EOF reached", Pos);
    }
    const unsigned Dwords = Swap2(SizeWord);
    const std::int64_t Bytes = std::int64_t(Dwords) * 4;
    if (Bytes < L.MeasHeaderLen) {
        return Format("Position %d: MeasBlockDwords=%u invalid (block header of %d bytes)", Pos, Dwords,
                      L.MeasHeaderLen);
    }
    if (Pos + Bytes > L.Size) {
        return Format("Position %d: Cannot read measurement block (%d bytes): EOF reached", Pos, Bytes - 2);
    }
    if (L.Crc && Pos + Bytes + 4 > L.Size) {
        return Format("Position %d: Cannot read checksum (4 bytes): EOF reached", Pos + Bytes);
    }
    return std::string();
}

// Reads the record at Pos (its sync word, when there is one) and returns its time stamp.
std::int64_t RecordTime(TStream& Stream, const TRecordLayout& L, TBlock& MeasBlock, std::int64_t Pos) {
    Stream.Seek(Pos, soBeginning);
    if (L.Sync) {
        std::uint8_t B[4];
        if (Stream.Read(B, 4) < 4) throw Exception("Cannot read sync field");
        if (Swap4(B) != L.SyncWord) throw Exception("SyncField invalid");
        Pos += 4;
    }
    std::uint8_t SizeWord[2] = {0, 0};
    Stream.Read(SizeWord, 2);
    const std::string Fault = RecordFault(L, Pos, SizeWord);
    if (!Fault.empty()) throw Exception(Fault);
    Stream.Seek(Pos, soBeginning);
    MeasBlock.Load(Stream);
    return MeasBlock.Field("TimeuSec").GetInt64();
}

}  // namespace

std::string GetSerialNumberFromKQM(const std::string& FileName) {
    auto Stream = OpenRecording(FileName);
    TBlock* Params = nullptr;
    auto Header = LoadHeader(*Stream, Params);
    return Trim(Params->Field("SerialNumber").GetString());
}

bool GetTimeFromKQM(const std::string& FileName, std::int64_t& TimeStart, std::int64_t& TimeEnd) {
    TimeStart = 0;
    TimeEnd = 0;
    auto Stream = OpenRecording(FileName);
    TBlock* Params = nullptr;
    auto Header = LoadHeader(*Stream, Params);

    TBlock* Sub = Header->Find("Subheader*");
    if (!Sub) throw Exception("Subheader not found");
    const auto MeasMain = std::uint16_t(Sub->Field("MeasIdMain").GetUInt());
    const auto MeasSub = std::uint16_t(Sub->Field("MeasIdSub").GetUInt());
    if (!(MeasMain >= 1 && MeasMain <= 3 && MeasSub <= 1)) {
        throw Exception(Format("Invalid MeasBlockId: %d.%d", MeasMain, MeasSub));
    }
    if (MeasMain == 3) return false;

    TRecordLayout L;
    L.Size = Stream->GetSize();
    const std::uint32_t Flags = Header->Field("ProtocolFlags").GetBits();
    L.Sync = (Flags & 1) != 0;
    L.Crc = (Flags & 2) != 0;
    L.SyncWord = Params->Field("SyncField").GetUInt();
    const std::uint32_t Dwords = Header->Field("HeaderDwordSize").GetUInt();
    L.DataStart = std::int64_t(Dwords) * 4;
    const std::int64_t TablesEnd = Params->EndOffset();
    if (L.DataStart < TablesEnd) {
        throw Exception(Format("Invalid HeaderDwordSize: %u (the header tables end at %d)", Dwords, TablesEnd));
    }
    if (L.DataStart > L.Size) {
        throw Exception(Format("Invalid HeaderDwordSize: %u (header of %d bytes in a file of %d bytes)", Dwords,
                               L.DataStart, L.Size));
    }
    auto MeasBlock = CreateBlock("MeasBlockHeader", MeasMain, MeasSub);
    L.MeasHeaderLen = MeasBlock->EndOffset();

    TimeStart = RecordTime(*Stream, L, *MeasBlock, L.DataStart);
    if (!L.Sync) return true;

    // The last record is the last sync word whose record fits inside the
    // file. The window never reaches back into the header, so a short file
    // is searched from its first record on.
    const std::int64_t TailStart = std::max(L.Size - TAIL_WINDOW, L.DataStart);
    std::vector<std::uint8_t> Tail(std::size_t(L.Size - TailStart));
    Stream->Seek(TailStart, soBeginning);
    Stream->ReadBuffer(Tail.data(), std::int32_t(Tail.size()));
    const std::uint8_t Pattern[4] = {std::uint8_t(L.SyncWord >> 24), std::uint8_t(L.SyncWord >> 16),
                                     std::uint8_t(L.SyncWord >> 8), std::uint8_t(L.SyncWord)};
    for (std::int64_t I = std::int64_t(Tail.size()) - 4; I >= 0; --I) {
        if (std::memcmp(&Tail[std::size_t(I)], Pattern, 4) != 0) continue;
        const std::int64_t SizePos = TailStart + I + 4;
        const std::uint8_t* SizeWord = SizePos + 2 <= L.Size ? &Tail[std::size_t(I + 4)] : nullptr;
        if (!SizeWord || !RecordFault(L, SizePos, SizeWord).empty()) continue;
        TimeEnd = RecordTime(*Stream, L, *MeasBlock, TailStart + I);
        break;
    }
    return true;
}

bool GetTimeFromIdx(const std::string& FileName, std::int64_t& TimeStart, std::int64_t& TimeEnd) {
    std::unique_ptr<TIndex> Index;
    try {
        Index = std::make_unique<TIndex>(FileName);
    } catch (const EIndex& E) {
        if (E.Message() == "Index is invalid") return false;
        throw;
    }
    if (Index->Count() == 0) return false;
    Index->First();
    TimeStart = Index->GetTimeStamp();
    Index->Last();
    TimeEnd = Index->GetTimeStamp();
    return true;
}
