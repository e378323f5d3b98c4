#include "Format.h"

#include "Exception.h"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <system_error>

namespace {

struct Spec {
    bool left = false;
    bool zero = false;
    bool plus = false;
    bool space = false;
    bool alt = false;
    int width = -1;
    int precision = -1;
    char type = 0;
};

[[noreturn]] void Invalid(std::string_view fmt) {
    throw Exception("Format '" + std::string(fmt) + "' invalid or incompatible with argument");
}

// Pads Body (already holding its sign/prefix in Prefix) to the field width.
// Zero padding goes between the sign and the digits, as printf does.
void Emit(std::string& out, const Spec& sp, std::string_view prefix, std::string_view body, bool zeroAllowed) {
    const std::size_t len = prefix.size() + body.size();
    const std::size_t width = sp.width > 0 ? static_cast<std::size_t>(sp.width) : 0;
    const std::size_t pad = width > len ? width - len : 0;
    if (sp.left) {
        out.append(prefix);
        out.append(body);
        out.append(pad, ' ');
    } else if (sp.zero && zeroAllowed) {
        out.append(prefix);
        out.append(pad, '0');
        out.append(body);
    } else {
        out.append(pad, ' ');
        out.append(prefix);
        out.append(body);
    }
}

std::uint64_t UnsignedOf(const FormatArg& a) {
    if (a.kind == FormatArg::Kind::Int && a.i < 0 && a.bytes < 8) {
        return a.u & ((std::uint64_t{1} << (a.bytes * 8)) - 1);
    }
    return a.u;
}

void FormatInteger(std::string& out, const Spec& sp, const FormatArg& a, std::string_view fmt) {
    if (a.kind != FormatArg::Kind::Int && a.kind != FormatArg::Kind::UInt) {
        Invalid(fmt);
    }
    bool negative = false;
    std::uint64_t magnitude = 0;
    int base = 10;
    if (sp.type == 'd' || sp.type == 'i') {
        if (a.kind == FormatArg::Kind::Int && a.i < 0) {
            negative = true;
            magnitude = 0 - static_cast<std::uint64_t>(a.i);
        } else {
            magnitude = a.u;
        }
    } else {
        magnitude = UnsignedOf(a);
        if (sp.type == 'x' || sp.type == 'X') {
            base = 16;
        }
    }
    char buf[32];
    auto res = std::to_chars(buf, buf + sizeof buf, magnitude, base);
    std::string digits(buf, res.ptr);
    if (sp.type == 'X') {
        for (char& c : digits) {
            if (c >= 'a' && c <= 'f') {
                c = static_cast<char>(c - 'a' + 'A');
            }
        }
    }
    if (sp.precision >= 0) {
        // An explicit precision is the minimum digit count; zero with precision 0 prints nothing.
        if (sp.precision == 0 && magnitude == 0) {
            digits.clear();
        } else if (digits.size() < static_cast<std::size_t>(sp.precision)) {
            digits.insert(0, static_cast<std::size_t>(sp.precision) - digits.size(), '0');
        }
    }
    std::string prefix;
    if (negative) {
        prefix = "-";
    } else if (sp.type == 'd' || sp.type == 'i') {
        if (sp.plus) {
            prefix = "+";
        } else if (sp.space) {
            prefix = " ";
        }
    }
    if (sp.alt && base == 16 && magnitude != 0) {
        prefix += sp.type == 'X' ? "0X" : "0x";
    }
    Emit(out, sp, prefix, digits, sp.precision < 0);
}

void FormatFloat(std::string& out, const Spec& sp, const FormatArg& a, std::string_view fmt) {
    double v = 0.0;
    switch (a.kind) {
    case FormatArg::Kind::Float:
        v = a.f;
        break;
    case FormatArg::Kind::Int:
        v = static_cast<double>(a.i);
        break;
    case FormatArg::Kind::UInt:
        v = static_cast<double>(a.u);
        break;
    default:
        Invalid(fmt);
    }
    std::string prefix;
    if (std::signbit(v) && !std::isnan(v)) {
        prefix = "-";
        v = -v;
    } else if (sp.plus) {
        prefix = "+";
    } else if (sp.space) {
        prefix = " ";
    }
    if (!std::isfinite(v)) {
        const bool upper = sp.type == 'E' || sp.type == 'G' || sp.type == 'F';
        std::string_view body = std::isnan(v) ? (upper ? "NAN" : "nan") : (upper ? "INF" : "inf");
        Emit(out, sp, prefix, body, false);
        return;
    }
    const int precision = sp.precision >= 0 ? sp.precision : 6;
    std::chars_format cf = std::chars_format::fixed;
    switch (sp.type) {
    case 'e':
    case 'E':
        cf = std::chars_format::scientific;
        break;
    case 'g':
    case 'G':
        cf = std::chars_format::general;
        break;
    default:
        break;
    }
    // Large enough for the widest fixed-notation double (309 integer digits)
    // plus any sensible precision; larger precisions are clamped.
    const int prec = precision > 400 ? 400 : precision;
    char buf[800];
    auto res = std::to_chars(buf, buf + sizeof buf, v, cf, (cf == std::chars_format::general && prec == 0) ? 1 : prec);
    if (res.ec != std::errc()) {
        Invalid(fmt);
    }
    std::string body(buf, res.ptr);
    if (sp.alt && prec == 0 && cf == std::chars_format::fixed) {
        body += '.';
    }
    if (sp.type == 'E' || sp.type == 'G') {
        for (char& c : body) {
            if (c == 'e') {
                c = 'E';
            }
        }
    }
    Emit(out, sp, prefix, body, true);
}

void FormatString(std::string& out, const Spec& sp, const FormatArg& a, std::string_view fmt) {
    if (a.kind != FormatArg::Kind::Str) {
        Invalid(fmt);
    }
    std::string_view s = a.s;
    if (sp.precision >= 0 && s.size() > static_cast<std::size_t>(sp.precision)) {
        s = s.substr(0, static_cast<std::size_t>(sp.precision));
    }
    Emit(out, sp, {}, s, false);
}

void FormatPointer(std::string& out, const Spec& sp, const FormatArg& a, std::string_view fmt) {
    std::uint64_t value = 0;
    switch (a.kind) {
    case FormatArg::Kind::Ptr:
        value = reinterpret_cast<std::uintptr_t>(a.p);
        break;
    case FormatArg::Kind::Int:
    case FormatArg::Kind::UInt:
        value = a.u;
        break;
    default:
        Invalid(fmt);
    }
    char buf[32];
    auto res = std::to_chars(buf, buf + sizeof buf, value, 16);
    std::string digits(buf, res.ptr);
    for (char& c : digits) {
        if (c >= 'a' && c <= 'f') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    const std::size_t full = sizeof(void*) * 2;
    if (digits.size() < full) {
        digits.insert(0, full - digits.size(), '0');
    }
    Emit(out, sp, {}, digits, false);
}

}  // namespace

std::string FormatV(std::string_view fmt, std::span<const FormatArg> args) {
    std::string out;
    out.reserve(fmt.size() + 16);
    std::size_t next = 0;
    const std::size_t n = fmt.size();
    std::size_t i = 0;
    auto takeArg = [&]() -> const FormatArg& {
        if (next >= args.size()) {
            Invalid(fmt);
        }
        return args[next++];
    };
    auto takeCount = [&]() -> int {
        const FormatArg& a = takeArg();
        if (a.kind == FormatArg::Kind::Int) {
            return a.i < 0 ? -1 : static_cast<int>(a.i > 100000 ? 100000 : a.i);
        }
        if (a.kind == FormatArg::Kind::UInt) {
            return static_cast<int>(a.u > 100000 ? 100000 : a.u);
        }
        Invalid(fmt);
    };
    while (i < n) {
        const char c = fmt[i];
        if (c != '%') {
            const std::size_t pct = fmt.find('%', i);
            const std::size_t end = pct == std::string_view::npos ? n : pct;
            out.append(fmt.substr(i, end - i));
            i = end;
            continue;
        }
        ++i;
        if (i >= n) {
            Invalid(fmt);
        }
        if (fmt[i] == '%') {
            out += '%';
            ++i;
            continue;
        }
        Spec sp;
        for (; i < n; ++i) {
            const char f = fmt[i];
            if (f == '-')
                sp.left = true;
            else if (f == '0')
                sp.zero = true;
            else if (f == '+')
                sp.plus = true;
            else if (f == ' ')
                sp.space = true;
            else if (f == '#')
                sp.alt = true;
            else
                break;
        }
        if (i < n && fmt[i] == '*') {
            sp.width = takeCount();
            ++i;
        } else {
            int w = 0;
            bool any = false;
            while (i < n && fmt[i] >= '0' && fmt[i] <= '9') {
                w = w * 10 + (fmt[i] - '0');
                if (w > 100000) {
                    Invalid(fmt);
                }
                any = true;
                ++i;
            }
            if (any) {
                sp.width = w;
            }
        }
        if (i < n && fmt[i] == '.') {
            ++i;
            if (i < n && fmt[i] == '*') {
                sp.precision = takeCount();
                ++i;
            } else {
                int p = 0;
                while (i < n && fmt[i] >= '0' && fmt[i] <= '9') {
                    p = p * 10 + (fmt[i] - '0');
                    if (p > 100000) {
                        Invalid(fmt);
                    }
                    ++i;
                }
                sp.precision = p;
            }
        }
        // Length modifiers carry no meaning here: every argument knows its own type.
        while (i < n && (fmt[i] == 'l' || fmt[i] == 'h' || fmt[i] == 'z' || fmt[i] == 'j' || fmt[i] == 't' ||
                         fmt[i] == 'L' || fmt[i] == 'q')) {
            ++i;
        }
        if (i >= n) {
            Invalid(fmt);
        }
        sp.type = fmt[i++];
        switch (sp.type) {
        case 'd':
        case 'i':
        case 'u':
        case 'x':
        case 'X':
            FormatInteger(out, sp, takeArg(), fmt);
            break;
        case 'f':
        case 'F':
        case 'e':
        case 'E':
        case 'g':
        case 'G':
            FormatFloat(out, sp, takeArg(), fmt);
            break;
        case 's':
            FormatString(out, sp, takeArg(), fmt);
            break;
        case 'p':
            FormatPointer(out, sp, takeArg(), fmt);
            break;
        default:
            Invalid(fmt);
        }
    }
    return out;
}

// ---------------------------------------------------------------------------
// The quick way for the directives of log lines, into the caller's buffer.

namespace {

// Writes the value with Digits decimals (at most 9), rounded exactly as
// std::to_chars rounds: to the nearest, a tie to even. Returns the end, or
// null where the value is too large for this way.
char* FixedDecimals(char* Out, char* End, double V, int Digits) {
    static constexpr std::uint32_t Pow5[] = {1, 5, 25, 125, 625, 3125, 15625, 78125, 390625, 1953125};
    static constexpr std::uint32_t Pow10[] = {1,      10,      100,      1000,      10000,
                                              100000, 1000000, 10000000, 100000000, 1000000000};
    if (!(V < 9007199254740992.0)) return nullptr;  // 2^53 and beyond, NaN
    std::uint64_t Whole = std::uint64_t(V);
    const double Fraction = V - double(Whole);  // exact
    std::uint64_t Scaled = 0;
    if (Fraction != 0) {
        // Fraction = M * 2^-Shift with a 53-bit M; Fraction * 10^Digits =
        // M * 5^Digits * 2^(Digits - Shift), formed exactly in 96 bits.
        std::uint64_t Bits;
        std::memcpy(&Bits, &Fraction, sizeof Bits);
        const int Exponent = int(Bits >> 52);
        std::uint64_t M = Bits & ((std::uint64_t{1} << 52) - 1);
        int Shift = 1074;
        if (Exponent != 0) {
            M |= std::uint64_t{1} << 52;
            Shift = 1075 - Exponent;
        }
        Shift -= Digits;  // at least 44: the fraction lies below 1
        if (Shift < 96) {
            const std::uint64_t Low = (M & 0xFFFFFFFFu) * Pow5[Digits];
            const std::uint64_t High = (M >> 32) * Pow5[Digits];  // below 2^42
            const std::uint64_t Mid = (High & 0xFFFFFFFFu) << 32;
            std::uint64_t Lo = Mid + Low;
            std::uint64_t Hi = (High >> 32) + (Lo < Mid);
            // Hi:Lo >> Shift, and the bits shifted out against one half.
            bool Above = false, Tie = false;
            if (Shift > 64) {
                Scaled = Hi >> (Shift - 64);
                const std::uint64_t Rest = Hi & ((std::uint64_t{1} << (Shift - 64)) - 1);
                const std::uint64_t Half = std::uint64_t{1} << (Shift - 65);
                Above = Rest > Half || (Rest == Half && Lo != 0);
                Tie = Rest == Half && Lo == 0;
            } else if (Shift == 64) {
                Scaled = Hi;
                Above = Lo > std::uint64_t{1} << 63;
                Tie = Lo == std::uint64_t{1} << 63;
            } else {
                Scaled = (Lo >> Shift) | (Hi << (64 - Shift));
                const std::uint64_t Rest = Lo & ((std::uint64_t{1} << Shift) - 1);
                const std::uint64_t Half = std::uint64_t{1} << (Shift - 1);
                Above = Rest > Half;
                Tie = Rest == Half;
            }
            // Without decimals the whole part holds the last digit.
            const std::uint64_t Last = Digits ? Scaled : Whole;
            if (Above || (Tie && (Last & 1))) ++Scaled;
            if (Scaled == Pow10[Digits]) {
                Scaled = 0;
                ++Whole;
            }
        }
    }
    if (Whole < 10 && Out < End) {
        *Out++ = char('0' + Whole);
    } else {
        const auto R = std::to_chars(Out, End, Whole);
        if (R.ec != std::errc()) return nullptr;
        Out = R.ptr;
    }
    if (Digits == 0) return Out;
    if (End - Out < Digits + 1) return nullptr;
    *Out++ = '.';
    // Two digits at a time, from the last.
    static constexpr char Pairs[] =
        "0001020304050607080910111213141516171819202122232425262728293031323334353637383940414243444546474849"
        "5051525354555657585960616263646566676869707172737475767778798081828384858687888990919293949596979899";
    // Below 10^9: the last four digits apart from the others, so that the two
    // chains of divisions run side by side.
    std::uint32_t Rest = std::uint32_t(Scaled);
    int At = Digits;
    if (At > 4) {
        const std::uint32_t Low = Rest % 10000;
        Rest /= 10000;
        std::memcpy(Out + At - 2, Pairs + 2 * (Low % 100), 2);
        std::memcpy(Out + At - 4, Pairs + 2 * (Low / 100), 2);
        At -= 4;
    }
    for (; At >= 2; At -= 2, Rest /= 100) std::memcpy(Out + At - 2, Pairs + 2 * (Rest % 100), 2);
    if (At == 1) Out[0] = char('0' + Rest);
    return Out + Digits;
}

}  // namespace

std::size_t FormatTo(char* Out, std::size_t Size, std::string_view fmt, std::span<const FormatArg> args) {
    if (Size == 0) return FormatNoRoom;
    char* P = Out;
    char* const End = Out + Size - 1;  // room for the terminating zero
    std::size_t Next = 0;
    const std::size_t N = fmt.size();
    for (std::size_t I = 0; I < N;) {
        if (fmt[I] != '%') {
            // Runs of text between directives are short: copied as they are scanned.
            for (; I < N && fmt[I] != '%'; ++I) {
                if (P == End) return FormatNoRoom;
                *P++ = fmt[I];
            }
            continue;
        }
        if (++I >= N) return FormatNoRoom;
        if (fmt[I] == '%') {
            if (P == End) return FormatNoRoom;
            *P++ = '%';
            ++I;
            continue;
        }
        // Flags and counts taken from the arguments are left to the full way.
        if (std::string_view("-+ #0*").find(fmt[I]) != std::string_view::npos) return FormatNoRoom;
        int Width = 0, Precision = -1;
        while (I < N && fmt[I] >= '0' && fmt[I] <= '9' && Width < 100) Width = Width * 10 + (fmt[I++] - '0');
        if (I < N && fmt[I] == '.') {
            Precision = 0;
            while (++I < N && fmt[I] >= '0' && fmt[I] <= '9' && Precision < 100)
                Precision = Precision * 10 + (fmt[I] - '0');
        }
        if (I >= N || Next >= args.size()) return FormatNoRoom;
        const FormatArg& A = args[Next++];
        char* Start = P;
        switch (fmt[I++]) {
        case 'd':
            if (Precision >= 0 || A.kind == FormatArg::Kind::Float || A.kind == FormatArg::Kind::Str ||
                A.kind == FormatArg::Kind::Ptr)
                return FormatNoRoom;
            {
                const auto R = A.kind == FormatArg::Kind::Int ? std::to_chars(P, End, A.i) : std::to_chars(P, End, A.u);
                if (R.ec != std::errc()) return FormatNoRoom;
                P = R.ptr;
            }
            break;
        case 'f':
            if (A.kind != FormatArg::Kind::Float || Precision > 9 || Width > 0) return FormatNoRoom;
            {
                double V = A.f;
                if (std::signbit(V)) {
                    if (P == End) return FormatNoRoom;
                    *P++ = '-';
                    V = -V;
                }
                P = FixedDecimals(P, End, V, Precision < 0 ? 6 : Precision);
                if (!P) return FormatNoRoom;
            }
            break;
        case 's':
            if (A.kind != FormatArg::Kind::Str || Precision >= 0 || Width > 0) return FormatNoRoom;
            if (std::size_t(End - P) < A.s.size()) return FormatNoRoom;
            if (!A.s.empty()) std::memcpy(P, A.s.data(), A.s.size());
            P += A.s.size();
            break;
        default:
            return FormatNoRoom;
        }
        // Right-aligned in the field width.
        const std::size_t Len = std::size_t(P - Start);
        if (std::size_t(Width) > Len) {
            const std::size_t Pad = std::size_t(Width) - Len;
            if (std::size_t(End - P) < Pad) return FormatNoRoom;
            std::memmove(Start + Pad, Start, Len);
            std::memset(Start, ' ', Pad);
            P += Pad;
        }
    }
    if (Next != args.size()) return FormatNoRoom;
    *P = 0;
    return std::size_t(P - Out);
}
