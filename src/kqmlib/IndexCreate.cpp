#include "IndexCreate.h"

#include <cstdint>
#include <memory>

#include "Buffer.h"
#include "EndianFunct.h"
#include "FileHandle.h"
#include "IndexFiles.h"
#include "KQMIndex.h"
#include "KQMTypes.h"
#include "StrUtils.h"
#include "Stream.h"

namespace {

// The header bytes the builders look at: the preamble, the subheader's ids
// and the sync word at bytes 40-43, which every parameter field holds there.
constexpr std::int64_t HEADER_PEEK = 44;
constexpr std::int64_t SYNC_FIELD_OFFSET = 40;
constexpr std::int32_t LOOK_AHEAD = 65536;

struct TFraming {
    std::int64_t DataStart = 0;  // first record
    bool Sync = false;           // records begin with a sync word
    bool Crc = false;            // records end with a checksum
    std::uint32_t SyncWord = 0;
    std::int64_t MeasHeaderLen = 0;  // smallest plausible measurement block
};

void PutLE(std::uint8_t* P, std::uint64_t V, int N) {
    for (int I = 0; I < N; ++I) P[I] = std::uint8_t(V >> (8 * I));
}

// Identifier checks, the same lists the reader accepts when it opens a
// recording; records with 4-ns time stamps cannot fill a version 1.0 index,
// whose entries hold microseconds.
void CheckIdentifiers(const std::uint8_t* H, std::uint16_t& MeasMain, std::uint16_t& MeasSub, std::uint16_t& ParamMain,
                      std::uint16_t& ParamSub) {
    const unsigned SubMain = Swap2(H + 8), SubSub = Swap2(H + 10);
    if (!((SubMain == 1 || SubMain == 2) && SubSub == 0)) {
        IndexErrorFmt("Invalid SubHeaderId: %d.%d", 1, SubMain, SubSub);
    }
    if (SubMain == 1) {
        ParamMain = Swap2(H + 12);
        ParamSub = Swap2(H + 14);
        MeasMain = Swap2(H + 16);
        MeasSub = Swap2(H + 18);
    } else {
        ParamMain = H[12];
        ParamSub = H[13];
        MeasMain = H[14];
        MeasSub = H[15];
    }
    if (!(ParamMain >= 2 && ParamMain <= 5 && ParamSub <= 1)) {
        IndexErrorFmt("Invalid ParameterId: %d.%d", 1, ParamMain, ParamSub);
    }
    if (!(MeasMain >= 1 && MeasMain <= 3 && MeasSub <= 1)) {
        IndexErrorFmt("Invalid MeasBlockId: %d.%d", 1, MeasMain, MeasSub);
    }
    if (MeasMain > 2) {
        IndexErrorFmt("Sorry, cannot index kqm files with MeasBlockId %d.x (different time stamping)", 1, MeasMain);
    }
}

class TIndexBuild {
public:
    TIndexBuild(const std::string& FileKQM, const std::string& FileIdx, bool FieldWise)
        : FFileKQM(FileKQM),
          FFileIdx(FileIdx.empty() ? IndexNameBeside(FileKQM, TOtherExtension::Kept) : FileIdx),
          FFieldWise(FieldWise) {}

    ~TIndexBuild() {
        if (FTempCreated) {
            // A build that did not finish leaves nothing behind but what was there before.
            try {
                FStrIdx.reset();
            } catch (...) {
            }
            try {
                TFileHandle::Delete(FTempName);
            } catch (...) {
            }
        }
    }

    bool Run(const TIndexCreateEvent* Event) {
        try {
            Open();
            WriteHeader();
            const TFraming F = ReadHeader();
            if (!Records(F, Event)) return false;
            Finish();
            return true;
        } catch (const EIndex&) {
            throw;
        } catch (const Exception& E) {
            // Stream failures (open, seek, a full disk on flush) fail the build as the index's own error.
            IndexError(E.Message(), 1);
        }
    }

private:
    void Read(void* Buffer, std::int32_t Count, const char* Text) {
        if (FStrKQM->Read(Buffer, Count) < Count && *Text) IndexError(std::string("Cannot read ") + Text, 1);
    }

    void Write(const void* Buffer, std::int32_t Count, const char* Text) {
        if (FStrIdx->Write(Buffer, Count) < Count && *Text) IndexError(std::string("Cannot write ") + Text, 1);
    }

    void Open() {
        // Nothing is written where the rename would replace what is not an index.
        if (const std::string Refusal = IndexPlaceRefusal(FFileKQM, FFileIdx); !Refusal.empty()) IndexError(Refusal, 1);
        FTempName = FFileIdx + ".tmp";
        std::string Leftover;
        if (const std::string Refusal = ClearIndexTemp(FTempName, Leftover); !Refusal.empty()) IndexError(Refusal, 1);
        FStrKQM = std::make_unique<TFileStreamBuffered>(FFileKQM, fmOpenRead | fmShareDenyWrite, LOOK_AHEAD);
        FStrIdx = CreateBuffered(FTempName, LOOK_AHEAD, FTempCreated);
    }

    void WriteHeader() {
        std::uint8_t B[4];
        PutLE(B, 12, 4);
        Write(B, 4, "IndexHeaderSize");
        if (FFieldWise) {
            PutLE(B, 1, 2);
            Write(B, 2, "IndexHeaderID(Major)");
            PutLE(B, 0, 2);
            Write(B, 2, "IndexHeaderID(Minor)");
        } else {
            PutLE(B, 1, 4);  // major 1, minor 0 as one little-endian word
            Write(B, 4, "IndexHeaderID");
        }
        PutLE(B, INDEX_FLAG_INVALID, 4);
        Write(B, 4, "IndexHeaderFlags");
    }

    TFraming ReadHeader() {
        const std::int64_t Size = FStrKQM->GetSize();
        std::uint8_t H[HEADER_PEEK];
        Read(H, 4, "HeaderDwordSize");
        const std::uint32_t Dwords = Swap4(H);
        const std::int64_t HeaderBytes = std::int64_t(Dwords) * 4;
        if (HeaderBytes < HEADER_PEEK) {
            IndexErrorFmt("Invalid HeaderDwordSize: %u (header shorter than %d bytes)", 1, Dwords, HEADER_PEEK);
        }
        if (HeaderBytes > Size) {
            IndexErrorFmt("Invalid HeaderDwordSize: %u (header of %d bytes in a file of %d bytes)", 1, Dwords,
                          HeaderBytes, Size);
        }
        Read(H + 4, HEADER_PEEK - 4, "header block");

        std::uint16_t MeasMain = 0, MeasSub = 0, ParamMain = 0, ParamSub = 0;
        CheckIdentifiers(H, MeasMain, MeasSub, ParamMain, ParamSub);
        const std::int64_t TablesEnd = CreateBlock("ParameterField", ParamMain, ParamSub)->EndOffset();
        if (HeaderBytes < TablesEnd) {
            IndexErrorFmt("Invalid HeaderDwordSize: %u (ParameterField %d.%d needs a header of %d bytes)", 1, Dwords,
                          ParamMain, ParamSub, TablesEnd);
        }

        TFraming F;
        const std::uint32_t Flags = Swap4(H + 4);
        F.Sync = (Flags & 1) != 0;
        F.Crc = (Flags & 2) != 0;
        F.SyncWord = Swap4(H + SYNC_FIELD_OFFSET);
        F.DataStart = HeaderBytes;
        F.MeasHeaderLen = CreateBlock("MeasBlockHeader", MeasMain, MeasSub)->EndOffset();
        FStrKQM->Seek(F.DataStart, soBeginning);
        return F;
    }

    // One entry per record; false when the event asked to stop.
    bool Records(const TFraming& F, const TIndexCreateEvent* Event) {
        const std::int64_t Size = FStrKQM->GetSize();
        std::int64_t Pos = F.DataStart;
        std::int64_t MeasBlockCount = 0;
        std::uint8_t B[8];
        std::uint8_t Entry[INDEX_RECORD_SIZE_1_0];
        while (Pos < Size) {
            if (Event && *Event) {
                bool Abort = false;
                (*Event)(*FStrKQM, Abort);
                if (Abort) return false;
            }
            ++MeasBlockCount;
            if (F.Sync) {
                Read(B, 4, "SyncField");
                if (Swap4(B) != F.SyncWord) IndexErrorFmt("MeasBlock #%d: SyncField invalid", 1, MeasBlockCount);
                Pos += 4;
            }
            const std::int64_t MeasBlockStart = Pos;
            Read(B, 2, "MeasBlockDwords");
            const unsigned Dwords = Swap2(B);
            const std::int64_t BlockBytes = std::int64_t(Dwords) * 4;
            // A size word that cannot hold the block header would index
            // garbage as records; one that runs past the end is a cut file.
            if (BlockBytes < F.MeasHeaderLen) {
                IndexErrorFmt("MeasBlock #%d: MeasBlockDwords invalid (%u)", 1, MeasBlockCount, Dwords);
            }
            if (MeasBlockStart + BlockBytes > Size || FStrKQM->Read(B + 2, 6) < 6) {
                IndexError("Cannot read MeasBlock #" + IntToStr(MeasBlockCount), 1);
            }
            // Only the time stamp is needed: the rest of the block and the
            // checksum are stepped over, not read.
            Pos = MeasBlockStart + BlockBytes;
            if (F.Crc) {
                if (Pos + 4 > Size) IndexError("Cannot read CrcField", 1);
                Pos += 4;
            }
            FStrKQM->Seek(Pos, soBeginning);
            const std::uint64_t Time = (std::uint64_t(B[3]) << 32) | (std::uint64_t(B[4]) << 24) |
                                       (std::uint64_t(B[5]) << 16) | (std::uint64_t(B[6]) << 8) | B[7];
            PutLE(Entry, Time, 5);
            PutLE(Entry + 5, std::uint64_t(MeasBlockStart), 8);
            Write(Entry, 5, "TimeuSec");
            Write(Entry + 5, 8, "MeasBlockStart");
        }
        return true;
    }

    void Finish() {
        std::uint8_t B[4];
        PutLE(B, 0, 4);
        FStrIdx->Seek(8, soBeginning);
        Write(B, 4, "IndexHeaderFlags");
        FStrIdx->Flush();
        FStrIdx.reset();
        FStrKQM.reset();
        TFileHandle::RenameReplace(FTempName, FFileIdx);
        FTempCreated = false;
    }

    std::string FFileKQM;
    std::string FFileIdx;
    std::string FTempName;
    bool FFieldWise;
    bool FTempCreated = false;
    std::unique_ptr<TFileStreamBuffered> FStrKQM;
    std::unique_ptr<TFileStreamBuffered> FStrIdx;
};

}  // namespace

void IndexCreate(const std::string& FileKQM, const std::string& FileIdx) {
    TIndexBuild(FileKQM, FileIdx, false).Run(nullptr);
}

bool IndexCreateEx(const TIndexCreateEvent& Event, const std::string& FileKQM, const std::string& FileIdx) {
    return TIndexBuild(FileKQM, FileIdx, true).Run(&Event);
}
