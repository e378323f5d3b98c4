#pragma once
// Synthetic sample data files (".kqm") for tests and benchmarks.
//
//   TRecHeader H;                       // defaults: subheader 2.0, parameter
//   H.ParMain = 3; H.ParSub = 1;        //   field 5.1, meas block 3.1, sample
//   H.ProtocolFlags = 0x7;              //   block 1.0, housekeeping 2.0, "ZA26"
//   H.Numbers["RangeCorrPPM"] = {12};   // any parameter field by name, element-wise
//   H.Texts["SerialNumber"] = "S123";   // blank-padded to the field's size
//
//   TRecordingWriter W(Path, H);        // writes the header at once
//   TRecord R;                          // a shot: time, encoders, sample blocks
//   R.Time = 1000; R.Blocks.push_back({/*TimeStamp*/ 10, /*Channel*/ 0x40, Samples});
//   W.Write(R);                         // returns the record's first byte
//   W.Write(TRecord::House(...));       // housekeeping record (GPS/PPS data)
//   W.WriteGarbage({0xDE, 0xAD});       // bytes between records
//   W.Close();                          // W.Records(): offsets and times per record
//
// The header goes through the block tables' own Save; records are built byte
// by byte here from the record layout, independently of those tables:
//   [sync word if ProtocolFlags bit 0] size word (dwords), descriptor, 40-bit
//   time, encoder counts per measurement block version, sample count at H-1,
//   then sample blocks (2-byte time stamp, channel byte, quad count, samples)
//   or housekeeping data, [checksum if bit 1].
// The checksum is the one's-complement word sum over the sync word and the
// whole measurement block; it is written correct unless overridden.
// Overrides on TRecord (Dwords, Sync, Checksum, NumSampleBlocks, NumQuads,
// GpsN) write inconsistent framing on purpose; Damage* edit a closed file.
// Records are streamed to disk; keep KeepRecords false for millions of records
// when their positions are not needed.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

class TBlock;

struct TRecHeader {
    std::uint32_t ProtocolFlags = 0;
    std::uint16_t SubMain = 2, SubSub = 0;
    std::uint16_t ParMain = 5, ParSub = 1;
    std::uint16_t MeasMain = 3, MeasSub = 1;
    // Written only with subheader 2.0; with 1.0 records use 1.0 for both.
    std::uint16_t SampleMain = 1, SampleSub = 0;
    std::uint16_t HouseMain = 2, HouseSub = 0;
    std::uint32_t SyncField = 0x5AA5C33C;
    // Default: the header's length in dwords.
    std::optional<std::uint32_t> HeaderDwordSize;
    // Parameter-field values by field name; each number goes to one element
    // (column order) in the field's kind: float, signed or unsigned.
    // Preset: InstrumentType "ZA26", SerialNumber "SN000001", identity
    // LinearizeArray/DelogArray, NumberFacets 4, a plausible mirror geometry.
    std::map<std::string, std::vector<double>> Numbers;
    std::map<std::string, std::string> Texts;
    // Last word on the header: called with the filled preamble (sub-blocks
    // "Subheader_x_y" and "ParameterField_x_y" attached) before it is saved.
    std::function<void(TBlock& Preamble)> Edit;

    TRecHeader();
    // Byte length of the header the tables give for these versions.
    std::int64_t TablesLength() const;

    // The preset header with other versions and protocol flags.
    static TRecHeader Versions(std::uint16_t SubMain, std::uint16_t ParMain, std::uint16_t ParSub,
                               std::uint16_t MeasMain, std::uint16_t MeasSub, std::uint32_t Flags);
};

struct TRecSampleBlock {
    std::uint16_t TimeStamp = 0;
    std::uint8_t Channel = 0;              // channel descriptor byte, channel in bits 7-6
    std::vector<std::uint8_t> Samples;     // padded with zeros to a multiple of 4
    std::optional<std::uint8_t> NumQuads;  // override of the quad count written
};

struct TRecord {
    // Bit 0 set makes a housekeeping record; bits 7/6 clear = GPS synchronised
    // / synchronised within the last second (measurement blocks 1.x, 2.x).
    std::uint8_t Descriptor = 0;
    std::uint64_t Time = 0;               // 40 bits: microseconds (1.x, 2.x) or 4-ns ticks (3.x)
    std::uint32_t LineEncoderValue = 0;   // 1.x, 24 bits
    std::uint32_t FrameEncoderValue = 0;  // x.1, 24 bits as stored
    std::uint16_t Enc0[3] = {0, 0, 0};    // 2.x and 3.x: period, fine, coarse count
    std::uint16_t Enc1[3] = {0, 0, 0};    // 3.x: second encoder
    std::vector<TRecSampleBlock> Blocks;

    // Housekeeping data (Descriptor bit 0).
    std::uint32_t HouseValues[12] = {};    // temperatures and supply voltages
    std::uint8_t HouseSyncDescriptor = 0;  // 2.x
    std::uint64_t PPSTimeStamp = 0;        // 2.x, 40 bits of 4-ns ticks
    std::uint32_t WeekMilliSeconds = 0;    // 2.x
    std::vector<std::uint32_t> GpsData;    // 1.1 and 2.1

    // Deliberate inconsistencies.
    std::optional<std::uint16_t> Dwords;
    std::optional<std::uint32_t> Sync;
    std::optional<std::uint32_t> Checksum;
    std::optional<std::uint8_t> NumSampleBlocks;
    std::optional<std::uint32_t> GpsN;

    static TRecord House(std::uint64_t Time, std::uint64_t PPSTimeStamp, std::uint32_t WeekMilliSeconds,
                         std::uint8_t HouseSyncDescriptor = 0);
};

// Where a record went and what times a decoder should derive from it.
struct TRecordInfo {
    std::int64_t Offset = 0;    // first byte (the sync word when there is one)
    std::int64_t SizeWord = 0;  // the size word, which is what an index stores
    std::int64_t Length = 0;    // bytes including sync word and checksum
    std::uint64_t RawTime = 0;  // the 40 bits as written
    std::int64_t Time4ns = 0;   // 4-ns ticks (microseconds x 250 for 1.x/2.x)
    std::int64_t TimeUs = 0;    // microseconds (ticks div 250 for 3.x), one week folded once
    bool Housekeeping = false;
};

class TRecordingWriter {
public:
    TRecordingWriter(const std::string& Path, const TRecHeader& Header, bool KeepRecords = true);
    ~TRecordingWriter();
    TRecordingWriter(const TRecordingWriter&) = delete;
    TRecordingWriter& operator=(const TRecordingWriter&) = delete;

    // Appends one record; returns its first byte's file offset.
    std::int64_t Write(const TRecord& Record);
    // Appends raw bytes between records.
    void WriteGarbage(const std::vector<std::uint8_t>& Bytes);
    void Close();

    std::int64_t Position() const { return FPosition; }
    std::int64_t HeaderLength() const { return FHeaderLength; }
    std::int64_t Count() const { return FCount; }
    const std::vector<TRecordInfo>& Records() const { return FRecords; }
    const TRecHeader& Header() const { return FHeader; }

    // The bytes Write would append for a record under Header.
    static std::vector<std::uint8_t> EncodeRecord(const TRecHeader& Header, const TRecord& Record);
    // The header bytes, through the block tables.
    static std::vector<std::uint8_t> EncodeHeader(const TRecHeader& Header);
    // Header length in bytes of a measurement block version (0 if unknown).
    static std::int32_t MeasHeaderLength(std::uint16_t Main, std::uint16_t Sub);
    // One's-complement sum of big-endian words (Count a multiple of 4).
    static std::uint32_t Checksum(const std::uint8_t* Data, std::size_t Count, std::uint64_t Start = 0);

private:
    void Put(const std::uint8_t* Data, std::size_t Count);

    TRecHeader FHeader;
    std::FILE* FFile = nullptr;
    std::string FPath;
    std::int64_t FPosition = 0;
    std::int64_t FHeaderLength = 0;
    std::int64_t FCount = 0;
    bool FKeep;
    std::vector<TRecordInfo> FRecords;
    std::vector<std::uint8_t> FScratch;
};

// Damage to a written file. All raise std::runtime_error on I/O failure.
void DamageTruncate(const std::string& Path, std::int64_t Size);
void DamageOverwrite(const std::string& Path, std::int64_t Offset, const std::vector<std::uint8_t>& Bytes);
void DamageInsert(const std::string& Path, std::int64_t Offset, const std::vector<std::uint8_t>& Bytes);

// Big-endian stores for tests that build bytes by hand.
void PutBE(std::vector<std::uint8_t>& Buf, std::size_t Offset, std::uint64_t Value, int Bytes);
std::uint64_t GetBE(const std::uint8_t* P, int Bytes);
std::vector<std::uint8_t> ReadFileBytes(const std::string& Path);
void WriteFileBytes(const std::string& Path, const std::vector<std::uint8_t>& Bytes);
