#pragma once
// The open recording and what the window knows of it: the file object, the
// header values taken at opening, the first and last record, and the current
// record with its sample blocks copied out of the backend at once (the
// backend's buffers are valid only until its next call). No widgets here.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "NarviBinding.h"

// One sample block of the current record, owned by the viewer.
struct TShownBlock {
    double TimeSosbl = 0;
    std::uint32_t Channel = 0;
    std::vector<NARVI_SAMPLE_T> Samples;
};

// The record last read. Replaced only by a read that succeeds, and cleared on
// open and close, so nothing of a failed read or of another file is shown.
struct TCurrentRecord {
    std::uint32_t RecordNo = 0;
    bool Valid = false;
    double TimeSorg = 0;
    double TimeExternal = 0;
    NARVI_FLOAT64_VECTOR3_T Origin{};
    NARVI_FLOAT64_VECTOR3_T Direction{};
    std::uint16_t Flags = 0;
    std::uint16_t Facet = 0;
    std::uint32_t SblCount = 0;
    std::vector<TShownBlock> Blocks;
    int SelectedBlock = 0;
    std::uint16_t Saturation = 0;  // ".hxt": first sample of the channel-2 block
    double RefTime = 0;            // ".hxt": start of the channel-3 block

    void Clear() { *this = TCurrentRecord{}; }
};

class TVantoraDocument {
public:
    // Backend libraries are looked for in libraryFolder first when given,
    // else beside the running program.
    explicit TVantoraDocument(std::string libraryFolder = {});
    ~TVantoraDocument();

    bool IsOpen() const { return bool(FWaveFile); }
    TWaveFile& File() const;
    const std::string& Path() const { return FPath; }
    // Whether path names the open file: canonical paths compared exactly (on
    // Windows without regard to letter case).
    bool IsSameFile(const std::string& path) const;

    // Opens the recording and takes its header values; on failure nothing is
    // left open and the exception goes on.
    void Open(const std::string& path, TWaveFileTrackEvent onTrack, TWaveFileTraceEvent onTrace);
    void Close() noexcept;
    // First and last record's numbers and times; unknown (NaN, 0) when the
    // probe fails, which it does silently. Leaves the reader at record 1.
    void Probe() noexcept;

    // Reads the record at the current position into Record (the reader advances).
    void ReadRecord();
    // Positions on record n. Below 1 (or beyond 32 bits) raises a clear
    // message; past the last record the reader's own refusal goes on. Either
    // way nothing moves.
    void SeekRecord(std::int64_t n);

    // The header list rows (name "=" value, headers without "=").
    std::vector<std::string> HeaderRows();

    std::uint8_t FFileKind = 0;  // 0 ".kqm", 1 ".hxt"
    std::string FInstrument, FSerial, FEpoch;
    double FVGroup = 0, FSamplingTime = 0;
    std::uint16_t FInfoFlags = 0, FNumFacets = 0;
    double FFirstTimeSorg, FFirstTimeExternal;
    std::uint32_t FFirstRecord = 0;
    double FLastTimeSorg, FLastTimeExternal;
    std::uint32_t FLastRecord = 0;

    TCurrentRecord Record;

private:
    void ClearProbe();
    std::string FLibraryFolder;
    std::string FPath;
    std::unique_ptr<TWaveFile> FWaveFile;
};

// "n/a" for NaN, else "%.3f".
std::string FormatOptionalFloat(double x);
