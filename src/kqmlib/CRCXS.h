#pragma once
// The record checksum (a 32-bit one's-complement word sum) and plain
// shift-register CRCs: most significant bit first, not reflected, no final
// inversion, no tables.

#include <cstdint>

constexpr std::uint32_t CRC_32 = 0x04C11DB7;
constexpr std::uint32_t CRC32POLY = 0x04C11DB7;
constexpr std::uint32_t CRC32INIT = 0xFFFFFFFF;
constexpr std::uint16_t CRC_16 = 0x1021;
constexpr std::uint16_t CRC_XMODEM = 0x1021;
constexpr std::uint16_t CRC16POLY = 0x1021;
constexpr std::uint16_t CRC16INIT = 0xFFFF;
constexpr std::uint8_t CRC_8 = 0x31;
constexpr std::uint8_t CRC8POLY = 0x31;
constexpr std::uint8_t CRC8INIT = 0xFF;
constexpr std::uint8_t CRC_4 = 0x13;
constexpr std::uint8_t CRC_5 = 0x25;

// Record checksum: ChkStart, then ChkAdd for every piece, then ChkFinal.
bool ChkStart(std::int64_t& Check);
// Adds Data as 32-bit words, big-endian when BigEnd is set, else in host
// order. False, with nothing added, when Count is not a multiple of 4.
bool ChkAdd(const void* Data, std::int32_t Count, std::int64_t& Check, bool BigEnd);
std::uint32_t ChkFinal(std::int64_t Check);
bool ChkValid(std::int64_t Check, std::int64_t Final);

void Split(std::int64_t I64, std::uint32_t& H32, std::uint32_t& L32);

namespace CRCXS {
// Adds the big-endian words of Data to Sum in vectors of Width bytes: 16, 32
// (where the processor has AVX2) or 64 (AVX-512). False, with nothing added,
// for a width this processor lacks. ChkAdd takes the widest there is; this
// lets the ways be compared with one another.
bool WordSum(int Width, const void* Data, std::int32_t Count, std::uint64_t& Sum);

// Reverses the bytes of a value. Kept in its own namespace: the global
// Swap4 reads four big-endian bytes from an address.
constexpr std::uint32_t Swap4(std::uint32_t X) {
    return (X >> 24) | ((X >> 8) & 0x0000FF00u) | ((X << 8) & 0x00FF0000u) | (X << 24);
}
}  // namespace CRCXS

std::uint8_t CRC8(std::uint8_t Data, std::uint8_t CRC, std::uint8_t Poly);
std::uint8_t CRC8(const void* Data, std::int32_t Count, std::uint8_t CRC, std::uint8_t Poly);
std::uint16_t CRC16(std::uint8_t Data, std::uint16_t CRC, std::uint16_t Poly);
std::uint16_t CRC16(const void* Data, std::int32_t Count, std::uint16_t CRC, std::uint16_t Poly);
std::uint32_t CRC32(std::uint8_t Data, std::uint32_t CRC, std::uint32_t Poly);
std::uint32_t CRC32(const void* Data, std::int32_t Count, std::uint32_t CRC, std::uint32_t Poly);

class TCRC32 {
public:
    TCRC32(std::uint32_t Poly = CRC_32, std::uint32_t Init = CRC32INIT) : FPoly(Poly), FInit(Init), FCRC(Init) {}
    std::uint32_t Reset() { return FCRC = FInit; }
    std::uint32_t Add(const void* Data, std::int32_t Count) { return FCRC = CRC32(Data, Count, FCRC, FPoly); }
    std::uint32_t Value() const { return FCRC; }

private:
    std::uint32_t FPoly;
    std::uint32_t FInit;
    std::uint32_t FCRC;
};

class TCRC16 {
public:
    TCRC16(std::uint16_t Poly = CRC_16, std::uint16_t Init = CRC16INIT) : FPoly(Poly), FInit(Init), FCRC(Init) {}
    std::uint16_t Reset() { return FCRC = FInit; }
    std::uint16_t Add(const void* Data, std::int32_t Count) { return FCRC = CRC16(Data, Count, FCRC, FPoly); }
    std::uint16_t Value() const { return FCRC; }

private:
    std::uint16_t FPoly;
    std::uint16_t FInit;
    std::uint16_t FCRC;
};
