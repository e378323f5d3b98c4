#include "Format.h"

#include "Exception.h"

#include <charconv>
#include <cmath>
#include <cstddef>
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
