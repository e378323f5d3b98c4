// Reading shots: the three record slots (previous, current, following),
// joining sample blocks that continue one another, and positioning through
// the index by record number, internal time and external time.

#include <cmath>
#include <cstring>

#include "Buffer.h"
#include "KQMIndex.h"
#include "KQMReader.h"
#include "Rounding.h"

namespace {

bool Valid(const TKQMMeasBlock* P) { return P && P->Valid; }
bool IsHousekeeping(const TKQMMeasBlock* P) { return (P->Content & HOUSEKEEPING) != 0; }

// Whole-block copy that leaves the unused tail of the samples alone.
void CopySampleBlock(TKQMSampleBlock& Into, const TKQMSampleBlock& From) {
    Into.SampleBlockTimeStamp = From.SampleBlockTimeStamp;
    Into.ChannelDescriptor = From.ChannelDescriptor;
    Into.SampleCount = From.SampleCount;
    std::memcpy(Into.Samples.data(), From.Samples.data(), std::size_t(From.SampleCount));
}

void DeleteSampleBlock(TKQMMeasBlock* P, int SB) {
    for (int i = SB; i + 1 < int(P->SampleBlockCount); ++i) CopySampleBlock(P->SampleBlocks[i], P->SampleBlocks[i + 1]);
    --P->SampleBlockCount;
}

void MoveSampleValues(TKQMMeasBlock* PFrom, int SBFrom, TKQMMeasBlock* PInto, int SBInto) {
    TKQMSampleBlock& From = PFrom->SampleBlocks[SBFrom];
    TKQMSampleBlock& Into = PInto->SampleBlocks[SBInto];
    const std::int32_t Sum = Into.SampleCount + From.SampleCount;
    if (Sum > MAXSAMPLEVALUES)
        throw EKQMError(Format("Maximum number of sample values per sample block exceeded (%d)", Sum), 1);
    std::memcpy(Into.Samples.data() + Into.SampleCount, From.Samples.data(), std::size_t(From.SampleCount));
    Into.SampleCount = Sum;
    DeleteSampleBlock(PFrom, SBFrom);
}

void MoveSampleBlock(TKQMMeasBlock* PFrom, int SBFrom, TKQMMeasBlock* PInto) {
    const int Count = PInto->SampleBlockCount + 1;
    if (Count > MAXSAMPLEBLOCKS) throw EKQMError(Format("Maximum number of sample blocks exceeded (%d)", Count), 1);
    PInto->SampleBlockCount = std::uint8_t(Count);
    CopySampleBlock(PInto->SampleBlocks[Count - 1], PFrom->SampleBlocks[SBFrom]);
    DeleteSampleBlock(PFrom, SBFrom);
}

// Everything of a record but its sample values.
void CopyWithoutSamples(TKQMMeasBlock& Into, const TKQMMeasBlock& From) {
    const std::uint8_t Count = From.SampleBlockCount;
    Into.Valid = From.Valid;
    Into.Number = From.Number;
    Into.Start = From.Start;
    Into.Content = From.Content;
    Into.Time4ns = From.Time4ns;
    Into.TimeUs = From.TimeUs;
    Into.SampleBlockCount = Count;
    for (int i = 0; i < Count; ++i) {
        TKQMSampleBlock& B = Into.SampleBlocks[i];
        B.SampleBlockTimeStamp = From.SampleBlocks[i].SampleBlockTimeStamp;
        B.ChannelDescriptor = From.SampleBlocks[i].ChannelDescriptor;
        B.SampleCount = From.SampleBlocks[i].SampleCount;
    }
    Into.GPSSynchronized = From.GPSSynchronized;
    Into.GPSSyncLastSecond = From.GPSSyncLastSecond;
}

// Joins the blocks of P that touch in time and share a channel. Going
// downwards lets a run of several blocks collapse into its first block.
void JoinWithinRecord(TKQMMeasBlock* P) {
    for (int i = int(P->SampleBlockCount) - 2; i >= 0; --i) {
        const TKQMSampleBlock& A = P->SampleBlocks[i];
        const TKQMSampleBlock& B = P->SampleBlocks[i + 1];
        if (A.SampleBlockTimeStamp + A.SampleCount / 4 == B.SampleBlockTimeStamp &&
            A.ChannelDescriptor == B.ChannelDescriptor)
            MoveSampleValues(P, i + 1, P, i);
    }
}

// Moves the blocks of PNext that continue a block of PThis to the end of
// PThis. A moved block's time stamp is rebased to PThis's time, the time
// every block of a record counts from.
int MoveContinuations(TKQMMeasBlock* PThis, TKQMMeasBlock* PNext) {
    int Moved = 0;
    const std::int64_t Shift = PNext->Time4ns - PThis->Time4ns;
    for (int i = int(PThis->SampleBlockCount) - 1; i >= 0; --i) {
        for (int k = int(PNext->SampleBlockCount) - 1; k >= 0; --k) {
            const TKQMSampleBlock& A = PThis->SampleBlocks[i];
            const TKQMSampleBlock& B = PNext->SampleBlocks[k];
            if (PThis->Time4ns + A.SampleBlockTimeStamp + A.SampleCount / 4 ==
                    PNext->Time4ns + B.SampleBlockTimeStamp &&
                A.ChannelDescriptor == B.ChannelDescriptor) {
                MoveSampleBlock(PNext, k, PThis);
                PThis->SampleBlocks[PThis->SampleBlockCount - 1].SampleBlockTimeStamp += Shift;
                ++Moved;
            }
        }
    }
    return Moved;
}

// Joins the blocks of PThis that continue one another and moves over those
// of PNext that continue one of them; returns the number moved.
int CheckSampleBlockConnectivity(TKQMMeasBlock* PThis, TKQMMeasBlock* PNext) {
    if (!Valid(PThis) || IsHousekeeping(PThis)) return 0;
    JoinWithinRecord(PThis);
    if (!Valid(PNext) || IsHousekeeping(PNext)) return 0;
    return MoveContinuations(PThis, PNext);
}

// Seconds to whole units (ticks or microseconds), halves to even; a time
// that is no number or lies far beyond any index time is refused.
std::int64_t TimeUnits(double Seconds, double Multiplier, double Divisor) {
    if (!std::isfinite(Seconds))
        throw EKQMError(Format("Invalid time (%s)", std::isnan(Seconds) ? "NaN" : "infinite"), 1);
    const double Units = Seconds * Multiplier / Divisor;
    // Index times are at most 48 bits wide.
    if (!(std::fabs(Units) < 9.0e15)) throw EKQMError(Format("Time out of range (%g s)", Seconds), 1);
    return RoundHalfEven(Units);
}

}  // namespace

// ---------------------------------------------------------------------------
// Index entries and positions

void TKQMReader::RequireIndex() const {
    if (!FIndex) throw ENoIndex("No index available");
}

// A file position from the index, refused when it cannot lie in the recording.
std::int64_t TKQMReader::CheckedPosition(std::int64_t N, std::int64_t Pos) const {
    const std::int64_t Size = FStream->GetSize();
    if (Pos < 0 || Pos > Size)
        throw EKQMError(Format("Index entry %d: file position %d lies outside the recording (%d bytes)", N, Pos, Size),
                        1);
    return Pos;
}

// Index entry N (1 .. count), from the entries read lately when it is one of
// them; otherwise the index moves there.
const TKQMReader::TIndexEntry& TKQMReader::Entry(std::int64_t N) {
    if (FEntriesOf == FIndex.get()) {
        for (const TIndexEntry& E : FEntries)
            if (E.Number == N) return E;
    } else {
        FEntries = {};
        FEntriesOf = FIndex.get();
    }
    FIndex->Seek(N);
    TIndexEntry& E = FEntries[FEntriesNext];
    FEntriesNext = (FEntriesNext + 1) % FEntries.size();
    E.Number = 0;  // until it is complete
    E.Position = FIndex->GetFilePosition();
    E.TimeUs = FIndex->GetTimeStamp();
    E.Time4ns = FIndex->GetTimeInternal();
    E.Number = FIndex->Block();
    return E;
}

// The stream on record N; returns where the record should begin.
std::int64_t TKQMReader::PositionOn(std::int64_t N) {
    const std::int64_t Pos = CheckedPosition(N, Entry(N).Position);
    FStream->Seek(Pos, soBeginning);
    return Pos;
}

// Where the index would point for a decoded record (at the sync word, if any).
std::int64_t TKQMReader::IndexedPosition(const TKQMMeasBlock* P) const { return P->Start + FIndex->Offset(); }

// The index's time stamps replace the decoded ones: index building may have
// corrected them by GPS synchronisation.
void TKQMReader::TakeIndexTimes(TKQMMeasBlock* P, std::int64_t N) {
    const TIndexEntry& E = Entry(N);
    P->Number = N;
    P->TimeUs = E.TimeUs;
    P->Time4ns = E.Time4ns;
}

// Decodes record N as a neighbour of the current one. A neighbour that is
// damaged, or whose resynchronisation landed on another record, is no
// neighbour: false, and nothing is merged with it.
bool TKQMReader::DecodeNeighbour(TKQMMeasBlock* P, std::int64_t N, bool Samples) {
    try {
        const std::int64_t Pos = PositionOn(N);
        P->Number = N;
        DecodeRecord(P, Samples);
        if (IndexedPosition(P) != Pos) {
            P->Valid = false;
            return false;
        }
        TakeIndexTimes(P, N);
        return true;
    } catch (const EInOutError&) {
        // The file failing is no damage of the neighbour: taking it for none
        // would hand out the record without the parts it continues into.
        P->Valid = false;
        throw;
    } catch (const Exception&) {
        P->Valid = false;
        return false;
    }
}

// The entry after From whose record begins at Pos.
std::int64_t TKQMReader::FindEntry(std::int64_t From, std::int64_t Pos, std::int64_t& Following) {
    const std::int64_t Count = FIndex->Count();
    for (std::int64_t N = From + 1; N <= Count; ++N) {
        FIndex->Seek(N);
        const std::int64_t At = FIndex->GetFilePosition();
        if (At == Pos) return N;
        if (At > Pos) {
            Following = N;
            throw EKQMError(Format("Position %d: Record found by resynchronization is not in the index", Pos), 1);
        }
    }
    Following = Count + 1;
    throw EKQMError(Format("Position %d: Record found by resynchronization is not in the index", Pos), 1);
}

// ---------------------------------------------------------------------------
// Slots

void TKQMReader::FreeBufferBlock(TKQMMeasBlock*& P) {
    if (P) {
        P->Valid = false;
        P = nullptr;
    }
}

void TKQMReader::FreeBufferBlocksAll() {
    for (TKQMMeasBlock& M : FMeasBlocks) M.Valid = false;
    FLast = FThis = FNext = nullptr;
    FMeasIndex = -1;
}

void TKQMReader::SeekBufferBlock(TKQMMeasBlock*& P) {
    for (std::size_t Tries = 0; Tries < FMeasBlocks.size(); ++Tries) {
        FMeasIndex = (FMeasIndex + 1) % std::int32_t(FMeasBlocks.size());
        if (!FMeasBlocks[std::size_t(FMeasIndex)].Valid) {
            P = &FMeasBlocks[std::size_t(FMeasIndex)];
            return;
        }
    }
    throw EKQMError("No free record slot", 1);
}

// ---------------------------------------------------------------------------
// Read

void TKQMReader::Fetch() {
    RequireIndex();
    const std::int64_t Count = FIndex->Count();
    std::int64_t Block = FIndex->Block();
    TKQMMeasBlock* const Ready = Reusable(Block) ? FNext : nullptr;
    FFollowing = 0;
    FreeBufferBlocksAll();
    if (FAtEnd || Count == 0 || Block > Count) {
        FAtEnd = true;
        throw EEOF("*** EOF ***", 1);
    }

    // Whatever becomes of the current record, the next read goes on behind
    // it: a damaged record must not stop a reader walking the file.
    std::int64_t Following = Block + 1;
    const auto MoveCursor = [&] {
        FAtEnd = Following > Count;
        const std::int64_t Cursor = FAtEnd ? Count : Following;
        if (FIndex->Block() != Cursor) FIndex->Seek(Cursor);
    };

    try {
        const std::int64_t Asked = Block;
        if (Ready) {
            FLast = &FPrevious[FPreviousSlot];
            FThis = Ready;
            FThis->Valid = true;
        } else {
            if (Block > 1) {
                SeekBufferBlock(FLast);
                if (!DecodeNeighbour(FLast, Block - 1, false)) FreeBufferBlock(FLast);
            }
            Block = DecodeCurrent(Block, Following);
        }
        // The next read's previous record, before merging changes this one.
        CopyWithoutSamples(FPrevious[1 - FPreviousSlot], *FThis);
        if (IsHousekeeping(FThis)) {
            FreeBufferBlock(FLast);
        } else if (Block < Count) {
            SeekBufferBlock(FNext);
            if (!DecodeNeighbour(FNext, Block + 1)) FreeBufferBlock(FNext);
        }
        const bool NextUntouched = JoinNeighbours(Block) == 0;
        if (Block == Asked && NextUntouched && Valid(FNext) && FNext->Number == Block + 1) {
            FPreviousSlot = 1 - FPreviousSlot;
            FFollowing = Block + 1;
        }
    } catch (...) {
        MoveCursor();
        throw;
    }
    MoveCursor();
}

// A read that walks on from the last one finds its record decoded already, in
// FNext, untouched by merging, and the record before it in FPrevious. Decoding
// them again would give the same records and leave the GPS state as it is:
// every record sets its part of that state to values of its own, so records
// decoded again in the same order change nothing.
bool TKQMReader::Reusable(std::int64_t Block) const {
    return FFollowing != 0 && FFollowing == Block && !FAtEnd && Valid(FNext) && FNext->Number == Block;
}

// Decodes record Block into FThis. When resynchronisation skipped damage, the
// record found is the one whose entry points at it, with that entry's times;
// returns that entry's number, and Following becomes the one behind it.
std::int64_t TKQMReader::DecodeCurrent(std::int64_t Block, std::int64_t& Following) {
    SeekBufferBlock(FThis);
    const std::int64_t Pos = PositionOn(Block);
    FThis->Number = Block;
    DecodeRecord(FThis);
    if (IndexedPosition(FThis) != Pos) {
        Block = FindEntry(Block, IndexedPosition(FThis), Following);
        Following = Block + 1;
        FreeBufferBlock(FLast);
    }
    TakeIndexTimes(FThis, Block);
    return Block;
}

// The previous record only takes back what continues it; when it cannot (its
// own blocks exceed the limits) it is no neighbour, and this record is still
// read. A waveform may go on over several records: follow it as long as each
// record continues what the one before it moved over. Returns the number of
// blocks the following record gave.
int TKQMReader::JoinNeighbours(std::int64_t Block) {
    try {
        CheckSampleBlockConnectivity(FLast, FThis);
    } catch (const EKQMError&) {
        FreeBufferBlock(FLast);
    }
    const int FirstMoved = CheckSampleBlockConnectivity(FThis, FNext);
    const std::int64_t Count = FIndex->Count();
    int Moved = FirstMoved;
    for (std::int64_t N = Block + 2; Moved > 0 && N <= Count; ++N) {
        if (!DecodeNeighbour(FNext, N) || IsHousekeeping(FNext)) break;
        Moved = MoveContinuations(FThis, FNext);
    }
    return FirstMoved;
}

const TKQMMeasBlock& TKQMReader::Read(bool Geometry) {
    Fetch();
    CalculateOutput(Geometry);
    return *FThis;
}

// ---------------------------------------------------------------------------
// Positioning

// Common end of every positioning: the cursor's record checked, no slot in
// use. The stream stays where it is: the next read positions it itself.
void TKQMReader::PositionOnCursor() {
    FreeBufferBlocksAll();
    FFollowing = 0;
    FAtEnd = FIndex->Count() == 0;
    if (!FAtEnd) CheckedPosition(FIndex->Block(), FIndex->GetFilePosition());
}

void TKQMReader::Seek(std::uint32_t Index) {
    RequireIndex();
    FIndex->Seek(std::int64_t(Index));
    PositionOnCursor();
}

void TKQMReader::SeekTimeInternal(double Time) {
    RequireIndex();
    const std::int64_t Ticks = TimeUnits(Time, 1e9, 4);
    if (FIndex->Count() > 0) FIndex->FindInternal(Ticks);
    PositionOnCursor();
}

void TKQMReader::SeekTimeExternal(double Time) {
    RequireIndex();
    const std::int64_t Us = TimeUnits(Time, 1e6, 1);
    if (FIndex->Count() > 0) FIndex->Find(Us);
    PositionOnCursor();
}

std::uint32_t TKQMReader::Tell() {
    RequireIndex();
    return std::uint32_t(FAtEnd ? FIndex->Count() + 1 : FIndex->Block());
}

void TKQMReader::Reset() {
    FEntriesOf = nullptr;  // the index is about to be rebuilt
    FFollowing = 0;
    FLast = FThis = FNext = nullptr;
    FStream->Seek(FStreamDataOffset, soBeginning);
    FMeasIndex = -1;
    FAtEnd = false;
}
