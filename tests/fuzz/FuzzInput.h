#pragma once
// The layout of a fuzz input, shared by the harnesses that take it apart and
// the seed writer that puts it together. An input is a run of fields:
//   Byte()   one byte
//   Word()   four bytes, little-endian
//   Part()   a word giving a length, then that many bytes (cut to what is left)
// Reading past the end gives zeros and empty parts, so every byte string is
// an input. Each harness states its own order of fields.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class TFuzzInput {
public:
    TFuzzInput(const std::uint8_t* Data, std::size_t Size) : FData(Data), FSize(Size) {}

    bool AtEnd() const { return FPos >= FSize; }

    std::uint8_t Byte() { return AtEnd() ? 0 : FData[FPos++]; }

    std::uint32_t Word() {
        std::uint32_t V = 0;
        for (int I = 0; I < 4; ++I) V |= std::uint32_t(Byte()) << (8 * I);
        return V;
    }

    std::uint64_t Wide() { return Word() | (std::uint64_t(Word()) << 32); }

    std::vector<std::uint8_t> Part() {
        const std::size_t Want = Word();
        const std::size_t Take = Want < FSize - FPos ? Want : FSize - FPos;
        std::vector<std::uint8_t> V(FData + FPos, FData + FPos + Take);
        FPos += Take;
        return V;
    }

private:
    const std::uint8_t* FData;
    std::size_t FSize;
    std::size_t FPos = 0;
};

class TFuzzOutput {
public:
    TFuzzOutput& Byte(std::uint8_t V) {
        FBytes.push_back(V);
        return *this;
    }
    TFuzzOutput& Word(std::uint32_t V) {
        for (int I = 0; I < 4; ++I) FBytes.push_back(std::uint8_t(V >> (8 * I)));
        return *this;
    }
    TFuzzOutput& Wide(std::uint64_t V) { return Word(std::uint32_t(V)).Word(std::uint32_t(V >> 32)); }
    TFuzzOutput& Part(const std::vector<std::uint8_t>& V) {
        Word(std::uint32_t(V.size()));
        FBytes.insert(FBytes.end(), V.begin(), V.end());
        return *this;
    }
    const std::vector<std::uint8_t>& Bytes() const { return FBytes; }

private:
    std::vector<std::uint8_t> FBytes;
};

// Calls of the interface harness; each takes the fields listed.
enum TInterfaceCall : std::uint8_t {
    icSeek,              // Word: record number
    icSeekTime,          // Word: milliseconds (signed)
    icSeekTimeBits,      // Wide: the bits of a double, NaN and infinities included
    icSeekTimeExternal,  // Word: milliseconds (signed)
    icSeekTimeExternalBits,
    icRead,  // Byte: records to read, at least one
    icTell,
    icRawMode,  // Byte: bit 0 on or off
    icReindex,
    icInfo,
    icCallCount
};

// Flags, the interface harness's first byte.
constexpr std::uint8_t ifIndex = 1;       // an index part follows the recording
constexpr std::uint8_t ifReindex = 2;     // rebuild the index right after opening
constexpr std::uint8_t ifAbortTrack = 4;  // the progress receiver asks to abort at its second call
constexpr std::uint8_t ifTrace = 8;       // a trace receiver takes every line

// Calls of the index harness.
enum TIndexCall : std::uint8_t {
    xcSeek,  // Wide: entry number (signed)
    xcNext,  // Word: count (signed)
    xcBack,  // Word: count (signed)
    xcFirst,
    xcLast,
    xcFind,          // Wide: external time (signed)
    xcFindInternal,  // Wide: internal time (signed)
    xcEntry,         // the current entry's times and position
    xcCallCount
};
