// Index building: one scan over every record of the recording, one version
// 1.1 entry per record, and for instruments that stamp records only with
// their own clock a GPS time for every entry, interpolated between the PPS
// pulses that the housekeeping records report.
//
// The new index is written beside the old one under a temporary name and
// replaces it only when it is complete, so a rebuild that fails or is
// aborted leaves the index the recording had before.

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <utility>
#include <vector>

#include "Buffer.h"
#include "FileHandle.h"
#include "IndexFiles.h"
#include "KQMIndex.h"
#include "KQMReader.h"
#include "Rounding.h"
#include "Stat.h"

// ---------------------------------------------------------------------------
// Index file records, little-endian.

namespace {

void PutLE(std::uint8_t* P, std::uint64_t V, int N) {
    for (int I = 0; I < N; ++I) P[I] = std::uint8_t(V >> (8 * I));
}

std::uint64_t GetLE(const std::uint8_t* P, int N) {
    std::uint64_t V = 0;
    for (int I = N - 1; I >= 0; --I) V = V << 8 | P[I];
    return V;
}

void WriteIndexHeader(TStream& Stream, std::uint16_t Minor) {
    std::uint8_t B[INDEX_HEADER_SIZE];
    PutLE(B, INDEX_HEADER_SIZE, 4);
    PutLE(B + 4, 1, 2);
    PutLE(B + 6, Minor, 2);
    PutLE(B + 8, INDEX_FLAG_INVALID, 4);
    Stream.WriteBuffer(B, sizeof B);
}

// Layout of a 1.1 entry: external time (5), file position (8), internal time (6).
constexpr int EXT_OFFS = 0, EXT_SIZE = 5;
constexpr int POS_OFFS = 5, POS_SIZE = 8;
constexpr int INT_OFFS = 13, INT_SIZE = 6;
static_assert(POS_OFFS == EXT_OFFS + EXT_SIZE && INT_OFFS == POS_OFFS + POS_SIZE &&
                  INT_OFFS + INT_SIZE == INDEX_RECORD_SIZE_1_1,
              "the entry is written as two words and three bytes");

}  // namespace

void WriteIndexHeader_1_1(TStream& Stream) { WriteIndexHeader(Stream, 1); }
void WriteIndexHeader_1_0(TStream& Stream) { WriteIndexHeader(Stream, 0); }

namespace {

void PutIndexRecord_1_1(std::uint8_t* B, std::int64_t TimeInt, std::int64_t TimeExt, std::int64_t Position) {
    const auto Ext = std::uint64_t(TimeExt), Pos = std::uint64_t(Position), Int = std::uint64_t(TimeInt);
    if constexpr (std::endian::native == std::endian::little) {
        // Two whole words and three bytes: put together byte by byte, the
        // compiler gathers the entry on the stack and reads it back in one
        // piece before the stores that made it are done.
        const std::uint64_t Low = (Ext & 0xFFFFFFFFFF) | Pos << 40, High = Pos >> 24 | Int << 40;
        std::memcpy(B, &Low, 8);
        std::memcpy(B + 8, &High, 8);
        PutLE(B + 16, Int >> 24, 3);
    } else {
        PutLE(B + EXT_OFFS, Ext, EXT_SIZE);
        PutLE(B + POS_OFFS, Pos, POS_SIZE);
        PutLE(B + INT_OFFS, Int, INT_SIZE);
    }
}

// An entry put together in place in the stream's buffer: built in a buffer
// of its own and copied, its bytes would be read back before the stores
// that made them are done, a stall on every record of a scan.
void WriteIndexRecordInPlace(TFileStreamBuffered& Stream, std::int64_t TimeInt, std::int64_t TimeExt,
                             std::int64_t Position) {
    if (std::uint8_t* B = Stream.Reserve(INDEX_RECORD_SIZE_1_1))
        PutIndexRecord_1_1(B, TimeInt, TimeExt, Position);
    else
        WriteIndexRecord_1_1(Stream, TimeInt, TimeExt, Position);
}

}  // namespace

void WriteIndexRecord_1_1(TStream& Stream, std::int64_t TimeInt, std::int64_t TimeExt, std::int64_t Position) {
    std::uint8_t B[INDEX_RECORD_SIZE_1_1];
    PutIndexRecord_1_1(B, TimeInt, TimeExt, Position);
    Stream.WriteBuffer(B, sizeof B);
}

void ReadIndexRecord_1_1(TStream& Stream, std::int64_t& TimeInt, std::int64_t& TimeExt, std::int64_t& Position) {
    TimeInt = TimeExt = Position = 0;
    std::uint8_t B[INDEX_RECORD_SIZE_1_1];
    Stream.ReadBuffer(B, sizeof B);
    TimeExt = std::int64_t(GetLE(B + EXT_OFFS, EXT_SIZE));
    Position = std::int64_t(GetLE(B + POS_OFFS, POS_SIZE));
    TimeInt = std::int64_t(GetLE(B + INT_OFFS, INT_SIZE));
}

void WriteIndexRecord_1_0(TStream& Stream, std::int64_t TimeExt, std::int64_t Position) {
    std::uint8_t B[INDEX_RECORD_SIZE_1_0];
    PutLE(B + EXT_OFFS, std::uint64_t(TimeExt), EXT_SIZE);
    PutLE(B + POS_OFFS, std::uint64_t(Position), POS_SIZE);
    Stream.WriteBuffer(B, sizeof B);
}

void ReadIndexRecord_1_0(TStream& Stream, std::int64_t& TimeExt, std::int64_t& Position) {
    TimeExt = Position = 0;
    std::uint8_t B[INDEX_RECORD_SIZE_1_0];
    Stream.ReadBuffer(B, sizeof B);
    TimeExt = std::int64_t(GetLE(B + EXT_OFFS, EXT_SIZE));
    Position = std::int64_t(GetLE(B + POS_OFFS, POS_SIZE));
}

void FinalizeIndexFile(TStream& Stream) {
    std::uint8_t B[4];
    Stream.Seek(8, soBeginning);
    Stream.ReadBuffer(B, 4);
    const std::uint32_t Flags = std::uint32_t(GetLE(B, 4)) & ~INDEX_FLAG_INVALID;
    PutLE(B, Flags, 4);
    Stream.Seek(8, soBeginning);
    Stream.WriteBuffer(B, 4);
}

// ---------------------------------------------------------------------------

namespace {

constexpr std::int64_t TWO_POW_39 = std::int64_t(1) << 39;
constexpr std::int64_t TWO_POW_40 = std::int64_t(1) << 40;
constexpr std::int64_t TICKS_PER_MS = 250000;
constexpr std::size_t TABLEINCREMENT = 300;
constexpr std::int32_t INDEX_CHUNK = 1000;  // entries per rewrite in the GPS pass
constexpr std::int32_t INDEX_BUFFER = 65536;
constexpr std::int32_t SCAN_LOOK_AHEAD = 1 << 18;

constexpr std::uint32_t MS_PER_DAY = 86400000;
constexpr std::uint32_t MS_PER_WEEK = 604800000;
constexpr std::uint32_t MS_ROLLOVER_WINDOW = 60000;  // a rollover lies within a minute of the boundary

struct TTimeSyncRecord {
    bool Valid = false;
    std::int64_t PPSTimeStamp = 0;  // internal ticks of the pulse
    std::int64_t Milliseconds = 0;  // GPS milliseconds, continuous across rollovers
};

std::int32_t Percent(double Value) { return RoundHalfEven32(Value); }

// The reader's stream has a small window, sized for the few records around a
// seek; a scan of the whole recording widens it for as long as it lasts.
class TWideWindow {
public:
    explicit TWideWindow(TFileStreamBuffered& S) : S(S), Saved(S.LookAhead()) {
        try {
            S.SetLookAhead(SCAN_LOOK_AHEAD);
        } catch (const std::bad_alloc&) {
            // Slower, but the small window scans as correctly.
        }
    }
    ~TWideWindow() {
        try {
            S.SetLookAhead(Saved);
        } catch (const std::exception&) {
            // Out of memory for the small window: the wide one serves as well.
        }
    }
    TWideWindow(const TWideWindow&) = delete;
    TWideWindow& operator=(const TWideWindow&) = delete;

private:
    TFileStreamBuffered& S;
    const std::int32_t Saved;
};

}  // namespace

// One run of the rebuild: the working state lives here, not in the reader,
// so that every run starts from scratch.
class TKQMReader::TReindexRun {
public:
    explicit TReindexRun(TKQMReader& R) : R(R) {}

    void Execute();

private:
    void Scan();
    void ScanZA14();
    void ScanZA26();
    void AddTimeSync();
    void Prepare();
    void UnwrapPulses();
    void DropOffPeriodPulses(std::int64_t PPSPeriod);
    void AlignPulseSeconds();
    void DropNonIncreasingPulses();
    void UpdateIndex();
    void RemoveReplaced(const std::string& IndexName);
    void UpdateTimeSyncFactor();
    std::int64_t TimeSync(std::int64_t TimeStamp);
    // Decodes the next record into FThis; false at the end of the data.
    bool NextRecord();

    TKQMReader& R;
    std::unique_ptr<TFileStreamBuffered> IndexStream;

    std::vector<TTimeSyncRecord> TimeSyncs;
    std::int32_t TimeSyncIndexA = 0, TimeSyncIndexB = 1;
    double TimeSyncFactor = 0;
    TStat TimeSyncStat;
    std::int64_t PPSTimeStampFirst = 0;
    std::uint32_t MillisecondsLast = 0;
    std::uint32_t MillisecondsOffset = 0;
    std::uint32_t MillisecondsRawLast = 0;  // raw value behind MillisecondsLast
    std::int64_t MeasCount = 0;
    std::int64_t StreamSize = 0;
    std::int32_t TimeOverflowCount = 0;
    std::int64_t Time4nsLast = 0;
};

void TKQMReader::TReindexRun::Execute() {
    // Written under the one name every writer uses, whatever spelling of an
    // older index the reader found; that one is found after this.
    const std::string IndexName = IndexNameBeside(R.FPath, TOtherExtension::Replaced);
    // Nothing is written where the rename would replace what is not an index.
    if (const std::string Refusal = IndexPlaceRefusal(R.FPath, IndexName); !Refusal.empty())
        throw EKQMError(Refusal, 1);
    const std::string TempName = IndexName + ".tmp";
    std::string Leftover;
    if (const std::string Refusal = ClearIndexTemp(TempName, Leftover); !Refusal.empty()) throw EKQMError(Refusal, 1);
    if (!Leftover.empty()) R.Trace("(i) Unfinished index of an earlier build removed: %s", Leftover);

    // GPS state of earlier reads must not leak into this scan's pairs.
    R.FHouseBlock = TKQMHouseBlock{};
    R.FIndex.reset();
    R.Reset();
    const std::int64_t StreamPos1 = R.FStream->Seek(0, soCurrent);
    bool TempCreated = false;

    try {
        bool TellsCaseApart = false;
        try {
            IndexStream = CreateBuffered(TempName, INDEX_BUFFER, TempCreated);
            // Asked while the temporary file is new and only this run's.
            TellsCaseApart = FolderTellsCaseApart(TempName);
            R.Trace("(i) Index creation started");
            WriteIndexHeader_1_1(*IndexStream);
            {
                TWideWindow Wide(*R.FStream);
                Scan();
            }
            R.FStream->Seek(StreamPos1, soBeginning);
        } catch (...) {
            R.FStream->Seek(StreamPos1, soBeginning);
            throw;
        }
        FinalizeIndexFile(*IndexStream);
        IndexStream->Flush();
        IndexStream.reset();
        TFileHandle::RenameReplace(TempName, IndexName);
        TempCreated = false;
        if (TellsCaseApart) RemoveReplaced(IndexName);
        R.Trace("(i) Index successfully created");
    } catch (...) {
        IndexStream.reset();
        // Only what this run created goes; a file it could not create is not its own.
        if (TempCreated && TFileHandle::Exists(TempName)) {
            try {
                TFileHandle::Delete(TempName);
            } catch (const std::exception&) {
                // The failure that brought us here is the one to report.
            }
        }
        R.FreeBufferBlocksAll();
        R.OpenIndex(IndexName);
        throw;
    }
    R.FreeBufferBlocksAll();
    // A new index the handle cannot use is a failure, not a success.
    if (!R.OpenIndex(IndexName))
        throw EKQMError(Format("Index file %s was rebuilt but cannot be opened", IndexName), NARVI_ERR_MISSING_INDEX);
}

// Once the new index is in place, the indexes beside it spelt in another
// letter case go: the reader's look-up would take one of them again as soon
// as the new one is gone, with entries of an older rebuild. Only called for
// a folder that tells case apart, where no other spelling can name the new
// index, which this run created under a free name. Of the other spellings
// only complete indexes go; a link, a recording or any other file stays, and
// the trace says which went and which stayed. What cannot be removed stays
// behind a good index, so the rebuild has still succeeded.
void TKQMReader::TReindexRun::RemoveReplaced(const std::string& IndexName) {
    for (const std::string& Name : IndexSpellingsOf(R.FPath)) {
        if (Name == IndexName || Name == R.FPath) continue;
        try {
            if (TFileHandle::EntryKind(Name) == TFileHandle::ekNone) continue;
            const std::string Keep = KeepReason(Name, IndexName);
            if (!Keep.empty()) {
                R.Trace("(i) %s left in place: %s", Name, Keep);
                continue;
            }
            TFileHandle::Delete(Name);
            R.Trace("(i) Older index removed: %s", Name);
        } catch (const std::exception& E) {
            try {
                R.Trace("(i) Older index left in place: %s", E.what());
            } catch (const std::exception&) {
                // Not even the note can be made; the index itself is good.
            }
        }
    }
}

bool TKQMReader::TReindexRun::NextRecord() {
    try {
        R.DecodeRecord(R.FThis, false);
        return true;
    } catch (const EEOF&) {
        return false;
    }
}

void TKQMReader::TReindexRun::Scan() {
    StreamSize = R.FStream->GetSize();
    R.FStream->Seek(R.FStreamDataOffset, soBeginning);
    R.FThis = &R.FMeasBlocks[0];
    MeasCount = 0;
    if (R.FScanner == ZA14) {
        ScanZA14();
        return;
    }
    ScanZA26();
    Prepare();
    UpdateIndex();
}

void TKQMReader::TReindexRun::ScanZA14() {
    TKQMMeasBlock* const P = R.FThis;
    while (NextRecord()) {
        P->Number = ++MeasCount;
        if (MeasCount % 1000 == 0) R.Track(Percent(double(P->Start) / double(StreamSize) * 100));
        WriteIndexRecordInPlace(*IndexStream, P->Time4ns, P->TimeUs, P->Start);
    }
}

void TKQMReader::TReindexRun::ScanZA26() {
    R.Trace("Step 1) read and decode measurements...");
    PPSTimeStampFirst = 0;
    MillisecondsLast = MillisecondsOffset = MillisecondsRawLast = 0;
    TimeOverflowCount = 0;
    Time4nsLast = 0;
    TKQMMeasBlock* const P = R.FThis;
    while (NextRecord()) {
        P->Number = ++MeasCount;
        // The instrument clock counts 40 bits; a step back by more than half
        // its range is a wrap, not a glitch.
        P->Time4ns += std::int64_t(TimeOverflowCount) * TWO_POW_40;
        if (Time4nsLast - P->Time4ns > TWO_POW_39) {
            P->Time4ns += TWO_POW_40;
            TimeOverflowCount += 1;
        }
        Time4nsLast = P->Time4ns;
        if (MeasCount % 1000 == 0) R.Track(Percent(double(P->Start) / double(StreamSize) * 100 * 0.95));
        if (P->Number == 1) PPSTimeStampFirst = P->Time4ns;
        if ((P->Content & HOUSEKEEPING) != 0 && R.FHouseBlock.GPSSynchronized) AddTimeSync();
        // The external field holds the internal time until the GPS pass replaces it.
        WriteIndexRecordInPlace(*IndexStream, P->Time4ns, P->Time4ns, P->Start);
    }
}

void TKQMReader::TReindexRun::AddTimeSync() {
    const std::uint32_t Raw = R.FHouseBlock.Milliseconds;
    std::uint32_t Corrected = Raw + MillisecondsOffset;
    if (Corrected < MillisecondsLast && Raw < MS_ROLLOVER_WINDOW) {
        // Only a step from the last minute of a week or day into the first
        // minute of the next is a rollover; any other step back is a glitch
        // and must not shift every later time by a day.
        if (MillisecondsRawLast > MS_PER_WEEK - MS_ROLLOVER_WINDOW && MillisecondsRawLast < MS_PER_WEEK)
            MillisecondsOffset += MS_PER_WEEK;
        else if (MillisecondsRawLast > MS_PER_DAY - MS_ROLLOVER_WINDOW && MillisecondsRawLast < MS_PER_DAY)
            MillisecondsOffset += MS_PER_DAY;
        Corrected = Raw + MillisecondsOffset;
    }
    if (Corrected <= MillisecondsLast) return;
    if (TimeSyncs.size() == TimeSyncs.capacity()) TimeSyncs.reserve(TimeSyncs.capacity() + TABLEINCREMENT);
    TimeSyncs.push_back({true, R.FHouseBlock.PPSTimeStamp, std::int64_t(Corrected)});
    MillisecondsLast = Corrected;
    MillisecondsRawLast = Raw;
}

void TKQMReader::TReindexRun::Prepare() {
    R.Trace("Step 2) Consistency checks and preparation...");
    std::vector<TTimeSyncRecord>& T = TimeSyncs;
    std::int64_t PPSPeriod = std::numeric_limits<std::int64_t>::max();
    for (std::size_t I = 0; I + 1 < T.size(); ++I)
        PPSPeriod = std::min(PPSPeriod, T[I + 1].Milliseconds - T[I].Milliseconds);

    UnwrapPulses();
    DropOffPeriodPulses(PPSPeriod);
    AlignPulseSeconds();
    DropNonIncreasingPulses();

    TimeSyncIndexA = 0;
    TimeSyncIndexB = 1;
    if (T.size() < 2) throw EKQMError("Not enough time synchronization records");
    R.Trace("%d valid time synchronization records detected", std::int64_t(T.size()));
    UpdateTimeSyncFactor();

    ::Reset(TimeSyncStat);
    for (std::size_t I = 0; I + 1 < T.size(); ++I) {
        const double Ms = double(T[I + 1].Milliseconds - T[I].Milliseconds);
        const double Ticks = double(T[I + 1].PPSTimeStamp - T[I].PPSTimeStamp);
        ::Add(TimeSyncStat, (Ms / Ticks * double(TICKS_PER_MS) - 1) * 1000000);
    }
    R.Trace("Mean frequency deviation: %.3f [ppm]", ::Mean(TimeSyncStat));
}

// The pulses carry 40-bit clock values; bring them onto the unwrapped clock
// of the records, starting from the first record's time.
void TKQMReader::TReindexRun::UnwrapPulses() {
    std::vector<TTimeSyncRecord>& T = TimeSyncs;
    if (T.empty()) return;
    const std::int64_t D = T[0].PPSTimeStamp - PPSTimeStampFirst;
    std::int64_t K = 0;
    if (std::llabs(D) >= TWO_POW_39) {
        if (T[0].PPSTimeStamp + TWO_POW_39 < PPSTimeStampFirst) {
            R.Trace("(i) PPS timestamp overflow detected (1)");
            K = 1;
        } else if (PPSTimeStampFirst + TWO_POW_39 < T[0].PPSTimeStamp) {
            R.Trace("(i) PPS timestamp overflow detected (2)");
            K = -1;
        }
    }
    T[0].PPSTimeStamp += K * TWO_POW_40;
    for (std::size_t I = 1; I < T.size(); ++I) {
        // As for the records: only a step back by more than half the clock's
        // range is a wrap. A smaller one is a bad pulse, dropped later, not a
        // reason to move every later pulse by a wrap.
        if (T[I].PPSTimeStamp + K * TWO_POW_40 < T[I - 1].PPSTimeStamp - TWO_POW_39) K += 1;
        T[I].PPSTimeStamp += K * TWO_POW_40;
    }
}

// A pulse is kept when its distance to one neighbour matches the period.
void TKQMReader::TReindexRun::DropOffPeriodPulses(std::int64_t PPSPeriod) {
    std::vector<TTimeSyncRecord>& T = TimeSyncs;
    if (T.size() >= 3) {
        const std::int64_t Expected = PPSPeriod * TICKS_PER_MS;
        for (std::size_t I = 1; I + 1 < T.size(); ++I) {
            const bool Before = std::llabs(T[I].PPSTimeStamp - T[I - 1].PPSTimeStamp - Expected) <= 1250;
            const bool After = std::llabs(T[I + 1].PPSTimeStamp - T[I].PPSTimeStamp - Expected) <= 1250;
            T[I].Valid = Before || After;
        }
    }
    std::erase_if(T, [](const TTimeSyncRecord& S) { return !S.Valid; });
}

// A pulse paired with the GPS time of another second goes onto its own second.
void TKQMReader::TReindexRun::AlignPulseSeconds() {
    std::vector<TTimeSyncRecord>& T = TimeSyncs;
    if (T.empty()) return;
    auto Offset = [](const TTimeSyncRecord& S) {
        return double(S.Milliseconds) / 1000.0 - double(S.PPSTimeStamp * 4) / 1e9;
    };
    const double PPSOffs1 = Offset(T[0]);
    for (std::size_t I = 1; I < T.size(); ++I) {
        const double PPSOffsX = Offset(T[I]);
        if (std::fabs(PPSOffsX - PPSOffs1) > 0.1) {
            const double Seconds = double(RoundHalfEven(PPSOffsX - PPSOffs1));
            T[I].PPSTimeStamp += RoundHalfEven(1e9 * Seconds / 4);
        }
    }
}

// Interpolation needs strictly increasing pulses: equal or decreasing ones
// would divide by zero or run time backwards.
void TKQMReader::TReindexRun::DropNonIncreasingPulses() {
    std::vector<TTimeSyncRecord>& T = TimeSyncs;
    std::size_t Kept = 0;
    for (std::size_t I = 0; I < T.size(); ++I) {
        if (Kept > 0 &&
            (T[I].PPSTimeStamp <= T[Kept - 1].PPSTimeStamp || T[I].Milliseconds <= T[Kept - 1].Milliseconds))
            continue;
        T[Kept++] = T[I];
    }
    if (Kept < T.size()) {
        R.Trace("<!> %d time synchronization records dropped (PPS time stamps not increasing)",
                std::int64_t(T.size() - Kept));
        T.resize(Kept);
    }
}

void TKQMReader::TReindexRun::UpdateTimeSyncFactor() {
    const TTimeSyncRecord& A = TimeSyncs[std::size_t(TimeSyncIndexA)];
    const TTimeSyncRecord& B = TimeSyncs[std::size_t(TimeSyncIndexB)];
    TimeSyncFactor = double(static_cast<long double>(B.Milliseconds - A.Milliseconds) /
                            static_cast<long double>(B.PPSTimeStamp - A.PPSTimeStamp));
}

std::int64_t TKQMReader::TReindexRun::TimeSync(std::int64_t TimeStamp) {
    const std::int32_t Count = std::int32_t(TimeSyncs.size());
    auto PPS = [this](std::int32_t I) { return TimeSyncs[std::size_t(I)].PPSTimeStamp; };
    if (TimeStamp < PPS(TimeSyncIndexA)) {
        while (TimeSyncIndexA >= 1 && TimeStamp < PPS(TimeSyncIndexA)) TimeSyncIndexA -= 1;
        TimeSyncIndexB = TimeSyncIndexA + 1;
        UpdateTimeSyncFactor();
    } else if (TimeStamp > PPS(TimeSyncIndexB)) {
        while (TimeSyncIndexB < Count - 1 && PPS(TimeSyncIndexB) < TimeStamp) TimeSyncIndexB += 1;
        TimeSyncIndexA = TimeSyncIndexB - 1;
        UpdateTimeSyncFactor();
    }
    const TTimeSyncRecord& A = TimeSyncs[std::size_t(TimeSyncIndexA)];
    const std::int64_t Us =
        1000 * A.Milliseconds + RoundHalfEven(TimeSyncFactor * 1000 * double(TimeStamp - A.PPSTimeStamp));
    // Extrapolated back before the first pulse, a time may fall below the
    // epoch; it is not to become a huge unsigned stamp.
    return std::max<std::int64_t>(Us, 0);
}

void TKQMReader::TReindexRun::UpdateIndex() {
    R.Trace("Step 3) update index file...");
    TFileStreamBuffered& S = *IndexStream;
    const std::int64_t Size = S.GetSize();
    std::vector<std::uint8_t> IndexRecords(std::size_t(INDEX_CHUNK) * INDEX_RECORD_SIZE_1_1);
    // A buffer of one chunk: each chunk is then read straight into place and
    // written in one piece, instead of refilling a wider buffer for every
    // chunk only to drop it at the seek back.
    S.SetLookAhead(std::int32_t(IndexRecords.size()));
    S.Seek(INDEX_HEADER_SIZE, soBeginning);
    std::int64_t Position = INDEX_HEADER_SIZE;
    while (Position < Size) {
        const std::int64_t IndexStreamPos1 = Position;
        const std::int32_t Got = S.Read(IndexRecords.data(), std::int32_t(IndexRecords.size()));
        const std::int32_t N = Got / INDEX_RECORD_SIZE_1_1;
        if (N <= 0) break;
        for (std::int32_t I = 0; I < N; ++I) {
            std::uint8_t* E = IndexRecords.data() + std::size_t(I) * INDEX_RECORD_SIZE_1_1;
            // The internal field carries the unwrapped clock; the external
            // field's 40 bits would lose every wrap after the first.
            const std::int64_t Internal = std::int64_t(GetLE(E + INT_OFFS, INT_SIZE));
            PutLE(E + EXT_OFFS, std::uint64_t(TimeSync(Internal)), EXT_SIZE);
        }
        S.Seek(IndexStreamPos1, soBeginning);
        S.WriteBuffer(IndexRecords.data(), N * INDEX_RECORD_SIZE_1_1);
        Position = S.Seek(0, soCurrent);
        R.Track(Percent(double(Position) / double(Size) * 100 * 0.05 + 95));
    }
}

void TKQMReader::Reindex() { TReindexRun(*this).Execute(); }
