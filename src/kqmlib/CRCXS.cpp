#include "CRCXS.h"

#include <algorithm>
#include <bit>
#include <cstring>

bool ChkStart(std::int64_t& Check) {
    Check = 0;
    return true;
}

namespace {

inline std::uint32_t Be32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

// The sum of big-endian words equals the sums of their first, second, third
// and fourth bytes, each shifted into place. Loaded in the host's
// little-endian order, a word's bytes 0 and 2 and its bytes 1 and 3 fall into
// the 16-bit halves of two masked copies, which add up lane by lane in vector
// registers without reassembling any word. A lane takes one word a step, so
// 256 steps cannot carry out of a half; then the halves go into the 64-bit sum.
typedef std::uint32_t TWords4 __attribute__((vector_size(16)));
typedef std::uint32_t TWords8 __attribute__((vector_size(32)));
typedef std::uint32_t TWords16 __attribute__((vector_size(64)));

// The sum of V's lanes, halving the vector until one lane is left.
template <class V>
[[gnu::always_inline]] inline std::uint32_t Lanes(const V& v) {
    if constexpr (sizeof(V) == 64) {
        TWords8 lo, hi;
        std::memcpy(&lo, &v, 32);
        std::memcpy(&hi, reinterpret_cast<const char*>(&v) + 32, 32);
        return Lanes(TWords8(lo + hi));
    } else if constexpr (sizeof(V) == 32) {
        TWords4 lo, hi;
        std::memcpy(&lo, &v, 16);
        std::memcpy(&hi, reinterpret_cast<const char*>(&v) + 16, 16);
        return Lanes(lo + hi);
    } else {
        const TWords4 a = v + TWords4{v[2], v[3], 0, 0};
        return a[0] + a[1];
    }
}

template <class V>
[[gnu::always_inline]] inline std::uint64_t ColumnSum(const std::uint8_t* p, std::int32_t count) {
    constexpr std::int32_t Width = sizeof(V);
    constexpr std::int32_t run = 256 * Width;
    const V mask = V{} + 0x00FF00FFu;
    std::uint64_t sum = 0;
    std::int32_t i = 0;
    while (count - i >= Width) {
        const std::int32_t start = i, end = i + std::min(run, (count - i) / Width * Width);
        V even{}, odd{};
        for (; i < end; i += Width) {
            V w;
            std::memcpy(&w, p + i, Width);
            even += w & mask;
            odd += (w >> 8) & mask;
        }
        std::uint64_t c0, c1, c2, c3;
        if ((end - start) / 4 <= 256) {
            // No more than 256 words in all: the halves cannot carry even
            // when every lane is added up, so each vector is summed once.
            const std::uint32_t e = Lanes(even), o = Lanes(odd);
            c0 = e & 0xFFFF, c2 = e >> 16, c1 = o & 0xFFFF, c3 = o >> 16;
        } else {
            // Sixteen lanes of at most 65280 each still fit 32 bits.
            c0 = Lanes(even & 0xFFFF), c2 = Lanes(even >> 16);
            c1 = Lanes(odd & 0xFFFF), c3 = Lanes(odd >> 16);
        }
        sum += (c0 << 24) + (c1 << 16) + (c2 << 8) + c3;
    }
    for (; i < count; i += 4) sum += Be32(p + i);
    return sum;
}

using TColumnSum = std::uint64_t (*)(const std::uint8_t*, std::int32_t);

std::uint64_t ColumnSumNarrow(const std::uint8_t* p, std::int32_t count) { return ColumnSum<TWords4>(p, count); }

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
[[gnu::target("avx2")]] std::uint64_t ColumnSumWide(const std::uint8_t* p, std::int32_t count) {
    return ColumnSum<TWords8>(p, count);
}

[[gnu::target("avx512f")]] std::uint64_t ColumnSumWidest(const std::uint8_t* p, std::int32_t count) {
    return ColumnSum<TWords16>(p, count);
}

// The sum in vectors of Width bytes; null where the processor has none.
TColumnSum ColumnSumOf(int Width) {
    switch (Width) {
    case 16:
        return ColumnSumNarrow;
    case 32:
        return __builtin_cpu_supports("avx2") ? ColumnSumWide : nullptr;
    case 64:
        return __builtin_cpu_supports("avx512f") ? ColumnSumWidest : nullptr;
    default:
        return nullptr;
    }
}
#else
TColumnSum ColumnSumOf(int Width) { return Width == 16 ? ColumnSumNarrow : nullptr; }
#endif

// The widest vectors the processor has.
TColumnSum WidestColumnSum() {
    static const TColumnSum widest = [] {
        for (const int width : {64, 32})
            if (const TColumnSum sum = ColumnSumOf(width)) return sum;
        return TColumnSum(ColumnSumNarrow);
    }();
    return widest;
}

// A few words (a sync word) are not worth asking for the wide vectors.
std::uint64_t BigEndianSum(const std::uint8_t* p, std::int32_t count) {
    if constexpr (std::endian::native != std::endian::little) {
        std::uint64_t sum = 0;
        for (std::int32_t i = 0; i < count; i += 4) sum += Be32(p + i);
        return sum;
    }
    return count < 64 ? ColumnSum<TWords4>(p, count) : WidestColumnSum()(p, count);
}

}  // namespace

bool ChkAdd(const void* Data, std::int32_t Count, std::int64_t& Check, bool BigEnd) {
    if (Count < 0 || Count % 4 != 0 || (Count > 0 && !Data)) {
        return false;
    }
    const auto* p = static_cast<const std::uint8_t*>(Data);
    // Unsigned arithmetic: the sum wraps instead of overflowing on absurd input.
    auto sum = static_cast<std::uint64_t>(Check);
    if (BigEnd) {
        sum += BigEndianSum(p, Count);
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

bool CRCXS::WordSum(int Width, const void* Data, std::int32_t Count, std::uint64_t& Sum) {
    const TColumnSum sum = ColumnSumOf(Width);
    if (!sum || std::endian::native != std::endian::little || Count < 0 || Count % 4 != 0) return false;
    Sum += sum(static_cast<const std::uint8_t*>(Data), Count);
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
