#pragma once
// The reader object behind every open recording: header, calibration,
// index, record slots, and the trace and progress plumbing.
//
// The class is split over several sources: KQMReader.cpp (construction,
// header, index opening, callbacks), KQMDecode.cpp (record framing),
// KQMRead.cpp (slots, read and seek), KQMGeometry.cpp (beam geometry)
// and KQMRebuild.cpp (index building).

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Exception.h"
#include "Format.h"
#include "narvi.h"

class TBlock;
class TFileStreamBuffered;
class TIndex;
class TStream;

// ---------------------------------------------------------------------------
// Errors. FResult is the code the exported functions report for the error.

class EKQMError : public Exception {
public:
    explicit EKQMError(const std::string& Message) : Exception(Message), FResult(1) {}
    EKQMError(const std::string& Message, std::int32_t Result) : Exception(Message), FResult(Result) {}

    std::int32_t FResult;

protected:
    // Subclasses raised with a plain message carry no code of their own.
    struct NoCode {};
    EKQMError(NoCode, const std::string& Message) : Exception(Message), FResult(0) {}
};

#define NARVI_KQM_ERROR_CLASS(Name)                                                           \
    class Name : public EKQMError {                                                           \
    public:                                                                                   \
        explicit Name(const std::string& Message) : EKQMError(NoCode{}, Message) {}           \
        Name(const std::string& Message, std::int32_t Result) : EKQMError(Message, Result) {} \
    }

NARVI_KQM_ERROR_CLASS(ESyncLost);
NARVI_KQM_ERROR_CLASS(ECRCError);
NARVI_KQM_ERROR_CLASS(EStreamError);
NARVI_KQM_ERROR_CLASS(EEOF);
NARVI_KQM_ERROR_CLASS(EAborted);
NARVI_KQM_ERROR_CLASS(ENoIndex);
NARVI_KQM_ERROR_CLASS(ENotSupported);
#undef NARVI_KQM_ERROR_CLASS

// ---------------------------------------------------------------------------
// Constants of the record layout.

constexpr int MAXSAMPLEVALUES = 2048;
constexpr int MAXSAMPLEBLOCKS = 32;
constexpr std::uint8_t HOUSEKEEPING = 1;  // bit of a record's sync descriptor
constexpr std::uint8_t CH_MASK = 0xC0;
constexpr std::uint8_t CH_LO = 0x00;
constexpr std::uint8_t CH_HI = 0x40;
constexpr std::uint8_t CH_REFPULSE = 0x80;
constexpr std::uint8_t CH_RP = 0xC0;
constexpr std::int32_t C_2POWER20 = 1048576;
constexpr std::int32_t C_2POWER21 = 2097152;

enum TScanner : std::uint8_t { ZA14 = 0, ZA26 = 1, ZA26C = 2 };

using TKQMVector3F = std::array<float, 3>;
using TKQMVector3D = std::array<double, 3>;

struct TKQMHeader {
    std::uint16_t SubHeaderMainId = 0, SubHeaderSubId = 0;
    std::uint16_t ParameterMainId = 0, ParameterSubId = 0;
    std::uint16_t MeasBlockMainId = 0, MeasBlockSubId = 0;
    std::uint16_t HouseKeepMainId = 0, HouseKeepSubId = 0;
    std::uint16_t SampBlockMainId = 0, SampBlockSubId = 0;
    std::string Instrument;
    std::string Serial;
    std::uint32_t SyncField = 0;
    bool Sync_Field_Present = false;
    bool CRC_Field_Present = false;
    bool XOR_Checksum = false;
    bool Data_Compression = false;
    std::array<std::uint16_t, 256> LinArray{};
    std::array<std::uint16_t, 256> LogArray{};
    std::uint32_t PositionStartPulse = 0;
    std::uint32_t PreQuadCount1 = 0, PreQuadCount2 = 0, PreQuadCount3 = 0;
    std::uint32_t LACC = 0;
    std::uint8_t NF = 0;
    std::uint16_t LACR = 0;
    std::uint32_t FEO = 0;
    std::uint32_t FECC = 0;
    std::uint32_t LAO = 0;
    std::uint32_t LEFCO = 0;
    std::uint32_t LAO0 = 0, LAO1 = 0;
    std::uint32_t LEFCO0 = 0, LEFCO1 = 0;
    float RangeFactor = 0;
    float RangeOffsLP = 0, RangeOffsHP = 0;
};

struct TKQMParams {
    std::array<TKQMVector3F, 4> A{}, B{}, C{};  // per facet
    std::array<float, 4> D{};                   // facet distances
    TKQMVector3F O{}, L{}, F{};                 // laser origin, direction, origin minus offset
};

struct TKQMHouseBlock {
    bool GPSSynchronized = false;
    bool GPSSyncLastSecond = false;
    std::int64_t PPSTimeStamp = 0;
    std::uint32_t Milliseconds = 0;
};

struct TKQMSampleBlock {
    std::int64_t SampleBlockTimeStamp = 0;
    std::uint8_t ChannelDescriptor = 0;
    std::int32_t SampleCount = 0;
    std::array<std::uint8_t, MAXSAMPLEVALUES> Samples{};
};

struct TKQMMeasBlock {
    bool Valid = false;
    std::int64_t Number = 0;
    std::int64_t Start = 0;
    std::uint8_t Content = 0;
    std::int64_t Time4ns = 0;
    std::int64_t TimeUs = 0;
    std::uint32_t LEV = 0;
    std::uint16_t LEPC = 0, LEFC = 0, LECC = 0;
    std::uint16_t LEPC0 = 0, LEFC0 = 0, LECC0 = 0, LEPC1 = 0, LEFC1 = 0, LECC1 = 0;
    std::int32_t FEV = 0;
    std::uint8_t SampleBlockCount = 0;
    std::array<TKQMSampleBlock, MAXSAMPLEBLOCKS> SampleBlocks{};
    bool GPSSynchronized = false;  // the reader's GPS state when this record was decoded
    bool GPSSyncLastSecond = false;
    // The mirror angle (radians), when the record's encoders define it: the
    // scan angles follow from it and from the frame encoder on demand.
    bool AngleDefined = false;
    float Tm = 0;
    std::uint8_t Facet = 0;
    TKQMVector3D Ori{}, Dir{};
};

// The parts of the encoder angle that depend on the header alone, worked out
// once; again only when the floating-point control word (rounding, precision)
// differs from the one they were worked out under, so that every angle is
// what working them out per record would give.
struct TKQMAngleConstants {
    bool Ready = false;
    std::uint32_t Control = 0;
    bool QuickFrac = false;       // x87 rounding to nearest with the full significand: FracOfPositive holds
    bool ExactDoubles = false;    // and doubles round to nearest too: EncoderPosition holds
    long double StartPulse = 0;   // position of the start pulse, in fine counts
    float Period = 0;             // coarse counts per facet
    long double Radians = 0;      // radians per coarse count
    double RadiansParts[3] = {};  // the same as doubles of 24, 24 and at most 18 bits
};

// ---------------------------------------------------------------------------

class TKQMReader {
public:
    // Opens the recording, decodes its header and opens the index beside it
    // when there is a usable one; raises EKQMError for anything unreadable.
    explicit TKQMReader(const std::string& Path);
    ~TKQMReader();
    TKQMReader(const TKQMReader&) = delete;
    TKQMReader& operator=(const TKQMReader&) = delete;

    // Reading and positioning go through the index (ENoIndex without one).
    // Read returns the record at the cursor, with its beam geometry unless
    // Geometry is false (origin and direction are then NaN), and moves the
    // cursor behind it; the record stays valid until the next call.
    const TKQMMeasBlock& Read(bool Geometry = true);
    void Seek(std::uint32_t Index);
    void SeekTimeInternal(double Time);
    void SeekTimeExternal(double Time);
    std::uint32_t Tell();
    // Rebuilds the index file and reopens it.
    void Reindex();

    // What the header and the index told.
    const std::string& Path() const { return FPath; }
    const TKQMHeader& Header() const { return FHeader; }
    const TKQMParams& Params() const { return FParams; }
    TScanner Scanner() const { return FScanner; }
    const std::string& Epoch() const { return FEpoch; }
    std::int64_t MinTimeExternal() const { return FMinTimeExternal; }
    std::int64_t MaxTimeExternal() const { return FMaxTimeExternal; }

    // Raw mode leaves the channel delays out of the sample blocks' start times.
    bool RawMode() const { return FRawDataModeEnabled; }
    void SetRawMode(bool Raw) { FRawDataModeEnabled = Raw; }

    // The host's receivers of diagnostic lines and of progress (null: none).
    void SetTraceCallback(NARVI_TRACE_CALLBACK_T Callback, void* UserData);
    void SetTrackCallback(NARVI_TRACK_CALLBACK_T Callback, void* UserData);

private:
    friend class TKQMReaderTestAccess;  // tests reach the decoding phases through it
    class TReindexRun;                  // one run of Reindex, in KQMRebuild.cpp

    // Header (KQMReader.cpp).
    void DecodeHeader();
    void DecodeGeometry(const TBlock& Par);
    bool OpenIndex(const std::string& IndexFile);
    void FitWindow();

    void Trace(const char* Text);
    void Trace(const std::string& Text) { Trace(Text.c_str()); }
    // Without a listener nothing is formatted; with one, a line is formatted
    // on the stack (a record's detail lines are 16 of them).
    template <class A0, class... A>
    void Trace(std::string_view Fmt, const A0& Arg0, const A&... Args) {
        if (!FTraceCallback) return;
        const FormatArg List[] = {FormatArg(Arg0), FormatArg(Args)...};
        TraceV(Fmt, List);
    }
    void TraceV(std::string_view Fmt, std::span<const FormatArg> Args);
    // Raises EAborted when the host asks to stop.
    void Track(std::int32_t Percent);

    // Record framing (KQMDecode.cpp). Samples false leaves the sample values
    // out, for scans that need only the record's times and positions; block
    // counts and times still come.
    void DecodeRecord(TKQMMeasBlock* P, bool Samples = true);
    const std::uint8_t* ReadFrame(TKQMMeasBlock* P, std::int64_t& BlockSize);
    const std::uint8_t* ReadSoundFrame(TKQMMeasBlock* P, std::int64_t& BlockSize);
    void ReadSyncWord(std::int64_t Start, std::int64_t& Check);
    std::int64_t ReadBlockSize(std::int64_t Start);
    const std::uint8_t* ReadBlock(std::int64_t Start, std::int64_t BlockSize);
    void ReadChecksum(std::int64_t Start, std::int64_t BlockSize, const std::uint8_t* B, std::int64_t& Check);
    void DecodeTimes_1_2(TKQMMeasBlock* P);
    void DecodeHousekeeping(const std::uint8_t* B, std::int64_t BlockSize);
    void DecodeSampleBlocks(TKQMMeasBlock* P, const std::uint8_t* B, std::int64_t BlockSize, bool Samples);
    bool Handle(TKQMMeasBlock* P, const Exception& E);
    std::int32_t Synchronize();

    // Slots, read and seek (KQMRead.cpp).
    void Fetch();
    std::int64_t DecodeCurrent(std::int64_t Block, std::int64_t& Following);
    int JoinNeighbours(std::int64_t Block);
    bool Reusable(std::int64_t Block) const;
    void FreeBufferBlock(TKQMMeasBlock*& P);
    void FreeBufferBlocksAll();
    void SeekBufferBlock(TKQMMeasBlock*& P);
    void Reset();
    void RequireIndex() const;
    std::int64_t CheckedPosition(std::int64_t N, std::int64_t Pos) const;
    struct TIndexEntry;
    const TIndexEntry& Entry(std::int64_t N);
    std::int64_t PositionOn(std::int64_t N);
    std::int64_t IndexedPosition(const TKQMMeasBlock* P) const;
    void TakeIndexTimes(TKQMMeasBlock* P, std::int64_t N);
    bool DecodeNeighbour(TKQMMeasBlock* P, std::int64_t N, bool Samples = true);
    std::int64_t FindEntry(std::int64_t From, std::int64_t Pos, std::int64_t& Following);
    void PositionOnCursor();

    // Beam geometry of FThis (KQMGeometry.cpp).
    void CalculateOutput(bool Geometry);
    // The encoder angle's constants for the floating-point control word in force.
    const TKQMAngleConstants& AngleConstants();
    struct TMirror;
    TMirror MirrorAngle(const TKQMMeasBlock* P);
    TMirror MirrorAngle_3(const TKQMMeasBlock* P);
    void WarnGeometry(const TKQMMeasBlock* P, const TMirror& M);
    void BeamGeometry(TKQMMeasBlock* P, float Tm, bool Tracing);
    void TraceBeamGeometry(TKQMMeasBlock* P, float Tm);
    // Scan angles in degrees: the mirror's (45 degrees at angle 0) and the
    // frame's; NaN where the record or the header does not define them.
    float Theta(const TKQMMeasBlock& P) const;
    float Phi(const TKQMMeasBlock& P) const;

    std::string FPath;
    std::unique_ptr<TFileStreamBuffered> FStream;
    std::int64_t FStreamDataOffset = 0;
    TKQMHeader FHeader;
    TKQMParams FParams;
    TScanner FScanner = ZA14;
    TKQMHouseBlock FHouseBlock;
    std::array<TKQMMeasBlock, 3> FMeasBlocks{};
    std::int32_t FMeasIndex = -1;
    std::int64_t FMinTimeExternal = 0;
    std::int64_t FMaxTimeExternal = 0;
    std::string FEpoch = "UNKNOWN";
    bool FLECC1_Invalid = false;
    TKQMMeasBlock* FLast = nullptr;
    TKQMMeasBlock* FThis = nullptr;
    TKQMMeasBlock* FNext = nullptr;
    std::unique_ptr<TIndex> FIndex;
    NARVI_TRACE_CALLBACK_T FTraceCallback = nullptr;
    void* FTraceUserData = nullptr;
    NARVI_TRACK_CALLBACK_T FTrackCallback = nullptr;
    void* FTrackUserData = nullptr;
    bool FRawDataModeEnabled = false;

    std::vector<std::uint8_t> FRecordBuffer = std::vector<std::uint8_t>(65536);  // one measurement block
    bool FGeometryWarned = false;                                                // one geometry warning per file
    TKQMAngleConstants FAngleConstants;
    bool FAtEnd = false;  // the last record has been read; the cursor stands behind it
    // Index entries read lately: a sequential read needs two of them again.
    struct TIndexEntry {
        std::int64_t Number = 0;  // 0: unused
        std::int64_t Position = 0, TimeUs = 0, Time4ns = 0;
    };
    std::array<TIndexEntry, 4> FEntries{};
    // The current record of the last read, without its samples, and the one
    // before it: the previous record of a read that walks on.
    std::array<TKQMMeasBlock, 2> FPrevious{};
    std::size_t FPreviousSlot = 0;
    // The record the last read left whole in FNext for the next one (0: none).
    std::int64_t FFollowing = 0;
    const TIndex* FEntriesOf = nullptr;
    std::size_t FEntriesNext = 0;
};

// The recording's index file: the path with its extension replaced by ".idx"
// (IndexNameBeside); an index that exists beside the recording with ".idx" in
// another letter case is taken when that one does not exist.
std::string IndexPathOf(const std::string& Path);
// The names IndexPathOf asks for, in its order: the one every writer uses
// first, then the other spellings of ".idx" in letter case.
std::array<std::string, 8> IndexSpellingsOf(const std::string& Path);

// Index file writing, little-endian, all or nothing per call. Headers are
// written with the invalid flag set; FinalizeIndexFile clears it.
void WriteIndexHeader_1_1(TStream& Stream);
void WriteIndexRecord_1_1(TStream& Stream, std::int64_t TimeInt, std::int64_t TimeExt, std::int64_t Position);
void ReadIndexRecord_1_1(TStream& Stream, std::int64_t& TimeInt, std::int64_t& TimeExt, std::int64_t& Position);
void WriteIndexHeader_1_0(TStream& Stream);
void WriteIndexRecord_1_0(TStream& Stream, std::int64_t TimeExt, std::int64_t Position);
void ReadIndexRecord_1_0(TStream& Stream, std::int64_t& TimeExt, std::int64_t& Position);
void FinalizeIndexFile(TStream& Stream);

// narvi_read's outputs for a decoded record: times, geometry, flags, and the
// sample blocks in the library's process-wide buffers (valid until the next
// call). Raises with code 666 when the samples exceed those buffers.
void ReadOutput(const TKQMReader& Reader, const TKQMMeasBlock& P, NARVI_FLOAT64_T* TIME_SORG,
                NARVI_FLOAT64_T* TIME_EXTERNAL, NARVI_FLOAT64_VECTOR3_T* ORIGIN, NARVI_FLOAT64_VECTOR3_T* DIRECTION,
                NARVI_UINT16_T* FLAGS, NARVI_UINT16_T* FACET, NARVI_UINT32_T* SBL_COUNT, NARVI_UINT32_T* SBL_SIZE,
                NARVI_SBL_PTR_T* SBL);
