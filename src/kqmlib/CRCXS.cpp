#include "CRCXS.h"

#include <cstring>

bool ChkStart(std::int64_t& Check) {
    Check = 0;
    return true;
}

bool ChkAdd(const void* Data, std::int32_t Count, std::int64_t& Check, bool BigEnd) {
    if (Count < 0 || Count % 4 != 0 || (Count > 0 && !Data)) {
        return false;
    }
    const auto* p = static_cast<const std::uint8_t*>(Data);
    // Unsigned arithmetic: the sum wraps instead of overflowing on absurd input.
    auto sum = static_cast<std::uint64_t>(Check);
    if (BigEnd && Count < 64) {
        // A few words (a sync word) are not worth setting up the columns below.
        for (std::int32_t i = 0; i < Count; i += 4) {
            sum += (std::uint32_t{p[i]} << 24) | (std::uint32_t{p[i + 1]} << 16) | (std::uint32_t{p[i + 2]} << 8) |
                   p[i + 3];
        }
    } else if (BigEnd) {
        // The sum of the words equals the sums of their first, second, third
        // and fourth bytes, each shifted into place: byte columns add up
        // without reassembling every word, which the compiler turns into
        // wide vector adds. 16-bit columns hold a run of 256 words.
        constexpr std::int32_t Run = 1024;
        for (std::int32_t i = 0; i < Count;) {
            const std::int32_t end = Count - i > Run ? i + Run : Count;
            std::uint16_t c0 = 0, c1 = 0, c2 = 0, c3 = 0;
            for (; i < end; i += 4) {
                c0 += p[i];
                c1 += p[i + 1];
                c2 += p[i + 2];
                c3 += p[i + 3];
            }
            sum += (std::uint64_t{c0} << 24) + (std::uint64_t{c1} << 16) + (std::uint64_t{c2} << 8) + c3;
        }
    } else {
        for (std::int32_t i = 0; i < Count; i += 4) {
            std::uint32_t word;
            std::memcpy(&word, p + i, 4);
            sum += word;
        }
    }
    Check = static_cast<std::int64_t>(sum);
    return true;
}

void Split(std::int64_t I64, std::uint32_t& H32, std::uint32_t& L32) {
    const auto u = static_cast<std::uint64_t>(I64);
    H32 = static_cast<std::uint32_t>(u >> 32);
    L32 = static_cast<std::uint32_t>(u);
}

std::uint32_t ChkFinal(std::int64_t Check) {
    std::uint32_t high;
    std::uint32_t low;
    Split(Check, high, low);
    while (high != 0) {
        // End-around carry: at most two rounds, since high + low < 2^33.
        Split(static_cast<std::int64_t>(std::uint64_t{high} + low), high, low);
    }
    return 0xFFFFFFFFu - low;
}

bool ChkValid(std::int64_t Check, std::int64_t Final) { return static_cast<std::int64_t>(ChkFinal(Check)) == Final; }

namespace {

// One byte into a most-significant-bit-first CRC register of T's width.
template <class T>
T CrcStep(std::uint8_t Data, T CRC, T Poly) {
    constexpr int Top = 8 * int(sizeof(T)) - 1;
    T c = T(CRC ^ T(T(Data) << (Top - 7)));
    for (int i = 0; i < 8; ++i) c = ((c >> Top) & 1) ? T(T(c << 1) ^ Poly) : T(c << 1);
    return c;
}

template <class T>
T CrcBlock(const void* Data, std::int32_t Count, T CRC, T Poly) {
    const auto* p = static_cast<const std::uint8_t*>(Data);
    for (std::int32_t i = 0; p && i < Count; ++i) CRC = CrcStep(p[i], CRC, Poly);
    return CRC;
}

}  // namespace

std::uint8_t CRC8(std::uint8_t Data, std::uint8_t CRC, std::uint8_t Poly) { return CrcStep(Data, CRC, Poly); }

std::uint8_t CRC8(const void* Data, std::int32_t Count, std::uint8_t CRC, std::uint8_t Poly) {
    return CrcBlock(Data, Count, CRC, Poly);
}

std::uint16_t CRC16(std::uint8_t Data, std::uint16_t CRC, std::uint16_t Poly) { return CrcStep(Data, CRC, Poly); }

std::uint16_t CRC16(const void* Data, std::int32_t Count, std::uint16_t CRC, std::uint16_t Poly) {
    return CrcBlock(Data, Count, CRC, Poly);
}

std::uint32_t CRC32(std::uint8_t Data, std::uint32_t CRC, std::uint32_t Poly) { return CrcStep(Data, CRC, Poly); }

std::uint32_t CRC32(const void* Data, std::int32_t Count, std::uint32_t CRC, std::uint32_t Poly) {
    return CrcBlock(Data, Count, CRC, Poly);
}
