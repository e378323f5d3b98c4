#include "EndianFunct.h"

#include "Exception.h"
#include "Format.h"

#include <utility>

void SwapN(void* X, int N) {
    auto* b = static_cast<std::uint8_t*>(X);
    for (int i = 0, j = N - 1; i < j; ++i, --j) {
        std::swap(b[i], b[j]);
    }
}

namespace {

std::uint64_t BigEndianBits(const void* X, int N) {
    const auto* b = static_cast<const std::uint8_t*>(X);
    std::uint64_t v = (b[0] & 0x80) ? ~std::uint64_t{0} : 0;
    for (int i = 0; i < N; ++i) {
        v = (v << 8) | b[i];
    }
    return v;
}

}  // namespace

std::int32_t BEToInt32(const void* X, int N) {
    if (N < 1 || N > 4) {
        throw Exception(Format("Invalid byte count %d for a 32-bit value", N));
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(BigEndianBits(X, N)));
}

std::int64_t BEToInt64(const void* X, int N) {
    if (N < 1 || N > 8) {
        throw Exception(Format("Invalid byte count %d for a 64-bit value", N));
    }
    return static_cast<std::int64_t>(BigEndianBits(X, N));
}
