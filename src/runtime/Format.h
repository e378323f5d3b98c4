#pragma once
// Printf-like formatting with the directives the system's messages use
// (%d %u %x %s %f %e %g %p %%, with flags, width and precision).
// The decimal separator is always ".", whatever the process locale.

#include "Exception.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

struct FormatArg {
    enum class Kind { Int, UInt, Float, Str, Ptr } kind;
    std::int64_t i = 0;
    std::uint64_t u = 0;
    double f = 0.0;
    std::string_view s;
    const void* p = nullptr;
    // Width in bytes of an integral argument, so that %u and %x show a negative
    // value as the unsigned number of the caller's own type.
    std::uint8_t bytes = 8;

    template <class T>
    requires std::is_integral_v<T> FormatArg(T v)
        : kind(std::is_signed_v<T> ? Kind::Int : Kind::UInt),
          i(static_cast<std::int64_t>(v)),
          u(static_cast<std::uint64_t>(v)),
          bytes(sizeof(T)) {}
    FormatArg(double v) : kind(Kind::Float), f(v) {}
    FormatArg(float v) : kind(Kind::Float), f(v) {}
    FormatArg(long double v) : kind(Kind::Float), f(static_cast<double>(v)) {}
    FormatArg(const char* v) : kind(Kind::Str), s(v ? std::string_view(v) : std::string_view()) {}
    FormatArg(const std::string& v) : kind(Kind::Str), s(v) {}
    FormatArg(std::string_view v) : kind(Kind::Str), s(v) {}
    FormatArg(const void* v) : kind(Kind::Ptr), p(v) {}
};

// Throws Exception on a malformed format or a missing/mismatched argument.
std::string FormatV(std::string_view fmt, std::span<const FormatArg> args);

// The same text written into Out (Size bytes, a terminating zero included),
// without allocating: for the directives %d, %s and %.Nf (N up to 9, values
// below 2^53), with a field width on %d and no flags. Returns the
// length, or FormatNoRoom where the text does not fit or the format needs
// more; the caller then takes FormatV, which also raises for a malformed format.
constexpr std::size_t FormatNoRoom = std::size_t(-1);
std::size_t FormatTo(char* Out, std::size_t Size, std::string_view fmt, std::span<const FormatArg> args);

template <class... A>
std::string Format(std::string_view fmt, const A&... args) {
    if constexpr (sizeof...(A) == 0) {
        return FormatV(fmt, {});
    } else {
        const FormatArg list[] = {FormatArg(args)...};
        return FormatV(fmt, list);
    }
}
