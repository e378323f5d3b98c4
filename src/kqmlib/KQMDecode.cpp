// Record framing: sync word, size word, measurement block, checksum; the
// fields of the block; resynchronisation on the next sync word after damage.

#include <cstring>

#include "Buffer.h"
#include "CRCXS.h"
#include "KQMReader.h"

namespace {

// Big-endian fields of the block buffer, decoded in place.
inline std::uint32_t Be16(const std::uint8_t* B) { return std::uint32_t(B[0]) << 8 | B[1]; }
inline std::uint32_t Be24(const std::uint8_t* B) { return std::uint32_t(B[0]) << 16 | std::uint32_t(B[1]) << 8 | B[2]; }
inline std::uint32_t Be32(const std::uint8_t* B) { return std::uint32_t(B[0]) << 24 | Be24(B + 1); }
inline std::int64_t Be40(const std::uint8_t* B) { return std::int64_t(B[0]) << 32 | Be32(B + 1); }

constexpr std::int64_t OneWeekUs = 604800000000;
constexpr std::int64_t MaxBlockSize = 65536;

// The frame encoder counts in 21 bits; values above 2^20 are negative.
std::int32_t FrameEncoder(const std::uint8_t* B) {
    std::int32_t V = std::int32_t(Be24(B));
    if (V > C_2POWER20) V -= C_2POWER21;
    return V;
}

// Length of the measurement block header, where the sample blocks begin.
std::int64_t HeaderLength(const TKQMHeader& H) {
    switch (H.MeasBlockMainId) {
    case 1:
        return H.MeasBlockSubId == 1 ? 16 : 12;
    case 2:
        return H.MeasBlockSubId == 1 ? 20 : 16;
    default:
        return 24;
    }
}

// Housekeeping data 2.x end with the GPS state: descriptor at 48, PPS time at 51, milliseconds at 56.
constexpr std::int64_t HouseGPSLength = 60;

bool ReadExactly(TFileStreamBuffered& S, void* Buffer, std::int64_t Count) {
    return S.Read(Buffer, std::int32_t(Count)) == Count;
}

// Version 3.x counts 4-ns ticks.
void DecodeTimes_3(TKQMMeasBlock* P) { P->TimeUs = P->Time4ns / 250; }

// The encoder counts of each measurement block version.
void DecodeEncoders_1(const TKQMHeader& H, TKQMMeasBlock* P, const std::uint8_t* B) {
    P->LEV = Be24(B + 8);
    if (H.MeasBlockSubId == 1) P->FEV = FrameEncoder(B + 12);
}

void DecodeEncoders_2(const TKQMHeader& H, TKQMMeasBlock* P, const std::uint8_t* B) {
    P->LEPC = std::uint16_t(Be16(B + 8));
    P->LEFC = std::uint16_t(Be16(B + 10));
    P->LECC = std::uint16_t(Be16(B + 12));
    if (H.MeasBlockSubId == 1) P->FEV = FrameEncoder(B + 16);
}

void DecodeEncoders_3(const TKQMHeader& H, TKQMMeasBlock* P, const std::uint8_t* B) {
    P->LEPC0 = std::uint16_t(Be16(B + 8));
    P->LEFC0 = std::uint16_t(Be16(B + 10));
    P->LECC0 = std::uint16_t(Be16(B + 12));
    P->LEPC1 = std::uint16_t(Be16(B + 14));
    P->LEFC1 = std::uint16_t(Be16(B + 16));
    P->LECC1 = std::uint16_t(Be16(B + 18));
    if (H.MeasBlockSubId == 1) P->FEV = FrameEncoder(B + 20);
}

}  // namespace

void TKQMReader::DecodeRecord(TKQMMeasBlock* P, bool Samples) {
    P->Valid = false;
    std::int64_t BlockSize = 0;
    const std::uint8_t* B = nullptr;
    for (;;) {
        try {
            B = ReadFrame(P, BlockSize);
            break;
        } catch (const EEOF&) {
            throw;
        } catch (const Exception& E) {
            if (!Handle(P, E)) throw;
        }
    }

    P->Number = 0;
    P->Content = B[2];
    P->Time4ns = Be40(B + 3);
    switch (FHeader.MeasBlockMainId) {
    case 1:
        DecodeTimes_1_2(P);
        DecodeEncoders_1(FHeader, P, B);
        break;
    case 2:
        DecodeTimes_1_2(P);
        DecodeEncoders_2(FHeader, P, B);
        break;
    default:
        DecodeTimes_3(P);
        DecodeEncoders_3(FHeader, P, B);
        break;
    }

    P->SampleBlockCount = 0;
    if (P->Content & HOUSEKEEPING)
        DecodeHousekeeping(B, BlockSize);
    else
        DecodeSampleBlocks(P, B, BlockSize, Samples);

    P->GPSSynchronized = FHouseBlock.GPSSynchronized;
    P->GPSSyncLastSecond = FHouseBlock.GPSSyncLastSecond;
    P->Valid = true;
}

// One frame at the stream's position: sync word, size word, measurement block
// and checksum, each checked. Returns the block, standing in the stream's
// buffer or copied into our own; the stream stands behind the frame.
const std::uint8_t* TKQMReader::ReadFrame(TKQMMeasBlock* P, std::int64_t& BlockSize) {
    if (const std::uint8_t* B = ReadSoundFrame(P, BlockSize)) return B;
    std::int64_t Start = FStream->Seek(0, soCurrent);
    P->Start = Start;
    std::int64_t Check;
    ChkStart(Check);
    if (FHeader.Sync_Field_Present) {
        ReadSyncWord(Start, Check);
        Start += 4;
        P->Start = Start;
    }
    BlockSize = ReadBlockSize(Start);
    const std::uint8_t* B = ReadBlock(Start, BlockSize);
    if (FHeader.CRC_Field_Present) ReadChecksum(Start, BlockSize, B, Check);
    return B;
}

// A frame that stands whole in the stream's buffer and passes every check,
// taken without a copy or a call per field; null, with nothing consumed,
// when anything is missing or wrong, for the checked path to read it again
// and report what it finds.
const std::uint8_t* TKQMReader::ReadSoundFrame(TKQMMeasBlock* P, std::int64_t& BlockSize) {
    const std::int64_t Start = FStream->Seek(0, soCurrent);
    const std::int32_t Before = FHeader.Sync_Field_Present ? 4 : 0;
    const std::int32_t Behind = FHeader.CRC_Field_Present ? 4 : 0;
    const std::uint8_t* F = FStream->Window(Start, Before + 2);
    if (!F) return nullptr;
    const std::int64_t Size = std::int64_t(Be16(F + Before)) * 4;
    if (Size > MaxBlockSize || Size < HeaderLength(FHeader)) return nullptr;
    const std::int64_t End = Start + Before + Size + Behind;
    if (End > FStream->GetSize()) return nullptr;
    F = FStream->Window(Start, std::int32_t(End - Start));
    if (!F) return nullptr;
    if (Before != 0 && Be32(F) != FHeader.SyncField) return nullptr;
    const std::uint8_t* B = F + Before;
    if (Behind != 0 && FHeader.XOR_Checksum) {
        std::int64_t Check;
        ChkStart(Check);
        ChkAdd(F, std::int32_t(Before + Size), Check, true);
        if (ChkFinal(Check) != Be32(B + Size)) return nullptr;
    }
    FStream->Seek(End, soBeginning);
    P->Start = Start + Before;
    BlockSize = Size;
    return B;
}

void TKQMReader::ReadSyncWord(std::int64_t Start, std::int64_t& Check) {
    if (Start + 4 > FStream->GetSize())
        throw EEOF(Format("Position %d: Cannot read sync field (4 bytes): EOF reached", Start), 1);
    std::uint8_t Sync[4];
    if (!ReadExactly(*FStream, Sync, 4))
        throw EStreamError(Format("Position %d: Cannot read sync field (4 bytes)", Start), 1);
    ChkAdd(Sync, 4, Check, true);
    if (Be32(Sync) != FHeader.SyncField)
        throw ESyncLost(Format("Position %d: SyncField invalid (synchronization lost)", Start));
}

// The size word, in bytes. A size that cannot even hold the block header is
// as much a lost synchronisation as one beyond the buffer.
std::int64_t TKQMReader::ReadBlockSize(std::int64_t Start) {
    if (Start + 2 > FStream->GetSize())
        throw EEOF(Format("Position %d: Cannot read size of measurement block (2 bytes): EOF reached", Start), 1);
    std::uint8_t* const Own = FRecordBuffer.data();
    if (!ReadExactly(*FStream, Own, 2))
        throw EStreamError(Format("Position %d: Cannot read size of measurement block (2 bytes)", Start), 1);
    const std::int64_t BlockSize = std::int64_t(Be16(Own)) * 4;
    if (BlockSize > MaxBlockSize || BlockSize < HeaderLength(FHeader)) {
        FStream->Seek(Start, soBeginning);
        throw ESyncLost(Format("Position %d: MeasBlockSize=%d (synchronization lost)", Start, BlockSize));
    }
    return BlockSize;
}

// Most blocks, with the checksum behind them, stand in the stream's buffer
// whole: decoded in place, they need no copy. Nothing else reads the stream
// before the block is decoded but the checksum, which is inside the same window.
const std::uint8_t* TKQMReader::ReadBlock(std::int64_t Start, std::int64_t BlockSize) {
    if (Start + BlockSize > FStream->GetSize())
        throw EEOF(Format("Position %d: Cannot read measurement block (%d bytes): EOF reached", Start, BlockSize - 2),
                   1);
    const std::int32_t Behind = FHeader.CRC_Field_Present ? 4 : 0;
    if (const std::uint8_t* InPlace = FStream->Window(Start, std::int32_t(BlockSize) + Behind)) {
        FStream->Seek(Start + BlockSize, soBeginning);
        return InPlace;
    }
    std::uint8_t* const Own = FRecordBuffer.data();
    if (!ReadExactly(*FStream, Own + 2, BlockSize - 2))
        throw EStreamError(Format("Position %d: Cannot read measurement block (%d bytes)", Start, BlockSize - 2), 1);
    return Own;
}

// The checksum word behind the block; compared only when the header says it is the word sum.
void TKQMReader::ReadChecksum(std::int64_t Start, std::int64_t BlockSize, const std::uint8_t* B, std::int64_t& Check) {
    if (Start + BlockSize + 4 > FStream->GetSize())
        throw EEOF(Format("Position %d: Cannot read checksum (4 bytes): EOF reached", Start + BlockSize), 1);
    std::uint8_t Crc[4];
    if (!ReadExactly(*FStream, Crc, 4))
        throw EStreamError(Format("Position %d: Cannot read checksum (4 bytes)", Start), 1);
    if (!FHeader.XOR_Checksum) return;
    ChkAdd(B, std::int32_t(BlockSize), Check, true);
    if (ChkFinal(Check) != Be32(Crc)) {
        const std::int64_t At = FStream->Seek(0, soCurrent) - 4;
        FStream->Seek(Start, soBeginning);
        throw ECRCError(Format("Position %d: CRC checksum invalid (at %d)", Start, At));
    }
}

// Versions 1.x and 2.x count microseconds of the GPS week and carry the GPS
// state in the record's descriptor.
void TKQMReader::DecodeTimes_1_2(TKQMMeasBlock* P) {
    P->TimeUs = P->Time4ns;
    if (P->TimeUs > OneWeekUs) P->TimeUs -= OneWeekUs;
    P->Time4ns = P->TimeUs * 250;
    FHouseBlock.GPSSynchronized = (P->Content & 0x80) == 0;
    FHouseBlock.GPSSyncLastSecond = (P->Content & 0x40) == 0;
}

// Housekeeping data 2.x end with the GPS state; only a block long enough to
// hold it may change it.
void TKQMReader::DecodeHousekeeping(const std::uint8_t* B, std::int64_t BlockSize) {
    const std::int64_t HLen = HeaderLength(FHeader);
    if (FHeader.HouseKeepMainId != 2 || BlockSize < HLen + HouseGPSLength) return;
    const std::uint8_t* D = B + HLen;
    FHouseBlock.GPSSynchronized = (D[48] & 0x80) == 0;
    FHouseBlock.GPSSyncLastSecond = (D[48] & 0x40) == 0;
    FHouseBlock.PPSTimeStamp = Be40(D + 51);
    FHouseBlock.Milliseconds = Be32(D + 56);
}

// Blocks that do not fit the slot or run past the block are dropped; the
// rest of the record is still worth returning.
void TKQMReader::DecodeSampleBlocks(TKQMMeasBlock* P, const std::uint8_t* B, std::int64_t BlockSize, bool Samples) {
    const std::int64_t HLen = HeaderLength(FHeader);
    const int Declared = B[HLen - 1];
    bool Consistent = true;
    std::int64_t O = HLen;
    for (int i = 0; i < Declared; ++i) {
        if (O + 4 > BlockSize) {
            Consistent = false;
            break;
        }
        const std::int32_t Count = std::int32_t(B[O + 3]) * 4;
        if (O + 4 + Count > BlockSize) {
            O += 4 + Count;
            Consistent = false;
            break;
        }
        if (P->SampleBlockCount < MAXSAMPLEBLOCKS) {
            TKQMSampleBlock& SB = P->SampleBlocks[P->SampleBlockCount++];
            SB.SampleBlockTimeStamp = Be16(B + O);
            SB.ChannelDescriptor = B[O + 2];
            SB.SampleCount = Count;
            if (Samples) std::memcpy(SB.Samples.data(), B + O + 4, std::size_t(Count));
        } else {
            Consistent = false;
        }
        O += 4 + Count;
    }
    if (!Consistent || O != BlockSize)
        Trace("<!> MeasBlock# %8d: SampleBlockLength (%d) and MeasBlockSize (%d) inconsistent", P->Number, O,
              BlockSize);
}

bool TKQMReader::Handle(TKQMMeasBlock* P, const Exception& E) {
    Trace("<!> MeasBlock# %8d: %s", P->Number, E.Message());
    if (!dynamic_cast<const ECRCError*>(&E) && !dynamic_cast<const ESyncLost*>(&E)) return false;
    std::int32_t Skipped;
    try {
        Skipped = Synchronize();
    } catch (const Exception& X) {
        Trace("[x] Synchronization failed: %s", X.Message());
        throw;
    }
    Trace("(i) Synchronization successful (%d bytes skipped)", Skipped);
    return true;
}

std::int32_t TKQMReader::Synchronize() {
    if (!FHeader.Sync_Field_Present) throw ESyncLost("Cannot synchronize - no sync field present!");

    const std::uint32_t W = FHeader.SyncField;
    const std::uint8_t Pattern[4] = {std::uint8_t(W >> 24), std::uint8_t(W >> 16), std::uint8_t(W >> 8),
                                     std::uint8_t(W)};
    const std::int64_t Size = FStream->GetSize();
    const std::int64_t Origin = FStream->Seek(0, soCurrent);
    std::int64_t Pos = Origin;
    std::uint8_t Chunk[256];

    while (Pos <= Size - 1) {
        const std::int64_t ChunkStart = Pos;
        const std::int32_t N = FStream->Read(Chunk, sizeof Chunk);
        for (std::int32_t K = 0; K + 4 <= N; ++K) {
            if (Chunk[K] == Pattern[0] && std::memcmp(Chunk + K, Pattern, 4) == 0) {
                Pos = FStream->Seek(ChunkStart + K, soBeginning);
                if (Pos > Size - 1) throw EEOF("*** EOF ***", 1);
                return std::int32_t(Pos - Origin);
            }
        }
        Pos = ChunkStart + N;
        // A chunk too short to step back from can only be the end of the file.
        if (Pos >= Size - 1 || N <= 3) throw EEOF("*** EOF ***", 1);
        // A sync word across the chunk border is found in the next chunk.
        Pos = FStream->Seek(Pos - 3, soBeginning);
    }
    throw EEOF("*** EOF ***", 1);
}
