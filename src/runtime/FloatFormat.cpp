#include "FloatFormat.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

// A non-negative decimal number: Digits with the decimal point after
// PointPos of them (PointPos may lie outside the digit string).
struct TDecimal {
    std::string Digits;
    int PointPos = 0;
};

// A double becomes 15 significant digits before any pattern is applied;
// rounding to the pattern then works on these decimal digits (halves away
// from zero), so 2.675 with "0.00" gives "2.68".
TDecimal ToDecimal(double v) {
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::scientific, 14);
    std::string_view s(buf, static_cast<std::size_t>(res.ptr - buf));
    TDecimal d;
    std::size_t e = s.find('e');
    for (std::size_t i = 0; i < e; ++i)
        if (s[i] != '.') d.Digits += s[i];
    d.PointPos = std::atoi(std::string(s.substr(e + 1)).c_str()) + 1;
    if (v == 0) d.PointPos = 1;
    return d;
}

// Rounds to Decimals digits after the point; may move PointPos on carry.
void RoundTo(TDecimal& d, int decimals) {
    long keep = static_cast<long>(d.PointPos) + decimals;
    if (keep >= static_cast<long>(d.Digits.size())) return;
    if (keep < 0) {
        d.Digits = "0";
        d.PointPos = 1;
        return;
    }
    bool up = d.Digits[static_cast<std::size_t>(keep)] >= '5';
    d.Digits.resize(static_cast<std::size_t>(keep));
    if (up) {
        long i = keep - 1;
        for (; i >= 0; --i) {
            char& c = d.Digits[static_cast<std::size_t>(i)];
            if (c == '9') {
                c = '0';
            } else {
                ++c;
                break;
            }
        }
        if (i < 0) {
            d.Digits.insert(d.Digits.begin(), '1');
            ++d.PointPos;
        }
    }
    if (d.Digits.empty()) {
        d.Digits = "0";
        d.PointPos = 1;
    }
}

std::string IntegerDigits(const TDecimal& d) {
    std::string r;
    for (int i = 0; i < d.PointPos; ++i)
        r += i < static_cast<int>(d.Digits.size()) ? d.Digits[static_cast<std::size_t>(i)] : '0';
    std::size_t nz = r.find_first_not_of('0');
    return nz == std::string::npos ? std::string() : r.substr(nz);
}

std::string FractionDigits(const TDecimal& d, int count) {
    std::string r;
    for (int i = 0; i < count; ++i) {
        int k = d.PointPos + i;
        r += (k >= 0 && k < static_cast<int>(d.Digits.size())) ? d.Digits[static_cast<std::size_t>(k)] : '0';
    }
    return r;
}

enum class TTok { IntDigit, FracDigit, Point, Literal, Exponent };

struct TToken {
    TTok Kind;
    char Ch = 0;       // placeholder character or literal character
    std::string Text;  // literal text
};

struct TSection {
    std::vector<TToken> Tokens;
    int IntCount = 0;     // integer placeholders
    int IntRequired = 0;  // integer placeholders from the first "0" on
    int FracCount = 0;
    int FracRequired = 0;  // fraction placeholders up to the last "0"
    bool Thousands = false;
    bool Scientific = false;
    bool ExpPlus = false;
    char ExpChar = 'E';
    int ExpDigits = 0;
};

std::vector<std::string_view> SplitSections(std::string_view p) {
    std::vector<std::string_view> out;
    std::size_t start = 0;
    char quote = 0;
    for (std::size_t i = 0; i < p.size(); ++i) {
        char c = p[i];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == ';') {
            out.push_back(p.substr(start, i - start));
            start = i + 1;
        }
    }
    out.push_back(p.substr(start));
    return out;
}

TSection ParseSection(std::string_view p) {
    TSection s;
    bool inFrac = false;
    bool sawZeroInt = false;
    bool sawDigit = false;
    for (std::size_t i = 0; i < p.size(); ++i) {
        char c = p[i];
        if (c == '\'' || c == '"') {
            std::size_t end = p.find(c, i + 1);
            if (end == std::string_view::npos) end = p.size();
            s.Tokens.push_back({TTok::Literal, 0, std::string(p.substr(i + 1, end - i - 1))});
            i = end;
        } else if ((c == 'E' || c == 'e') && !s.Scientific && i + 1 < p.size() &&
                   (p[i + 1] == '+' || p[i + 1] == '-') && sawDigit) {
            s.Scientific = true;
            s.ExpChar = c;
            s.ExpPlus = p[i + 1] == '+';
            i += 2;
            while (i < p.size() && p[i] == '0') {
                ++s.ExpDigits;
                ++i;
            }
            --i;
            if (s.ExpDigits > 4) s.ExpDigits = 4;
            s.Tokens.push_back({TTok::Exponent, c, {}});
        } else if ((c == '0' || c == '#') && !s.Scientific) {
            sawDigit = true;
            if (inFrac) {
                ++s.FracCount;
                if (c == '0') s.FracRequired = s.FracCount;
                s.Tokens.push_back({TTok::FracDigit, c, {}});
            } else {
                ++s.IntCount;
                if (c == '0') sawZeroInt = true;
                if (sawZeroInt) ++s.IntRequired;
                s.Tokens.push_back({TTok::IntDigit, c, {}});
            }
        } else if (c == '.' && !inFrac && !s.Scientific) {
            inFrac = true;
            s.Tokens.push_back({TTok::Point, c, {}});
        } else if (c == ',' && !inFrac && !s.Scientific) {
            s.Thousands = true;
        } else if (c == '.' || c == ',') {
            // a second point, or a separator after the point, carries no meaning
        } else {
            s.Tokens.push_back({TTok::Literal, 0, std::string(1, c)});
        }
    }
    return s;
}

std::string Render(const TSection& s, double value, bool writeMinus) {
    TDecimal d = ToDecimal(value);
    int exponent = 0;
    if (s.Scientific) {
        int intPlaces = s.IntCount > 0 ? s.IntCount : 1;
        bool zero = d.Digits.find_first_not_of('0') == std::string::npos;
        if (!zero) {
            exponent = d.PointPos - intPlaces;
            d.PointPos = intPlaces;
            RoundTo(d, s.FracCount);
            if (d.PointPos > intPlaces) {
                ++exponent;
                d.PointPos = intPlaces;
            }
        }
    } else {
        RoundTo(d, s.FracCount);
    }
    std::string intDigits = IntegerDigits(d);
    std::string fracDigits = FractionDigits(d, s.FracCount);

    int fracShown = s.FracRequired;
    for (int j = s.FracCount - 1; j >= fracShown; --j)
        if (fracDigits[static_cast<std::size_t>(j)] != '0') {
            fracShown = j + 1;
            break;
        }

    bool nonZero =
        intDigits.find_first_not_of('0') != std::string::npos ||
        fracDigits.substr(0, static_cast<std::size_t>(fracShown)).find_first_not_of('0') != std::string::npos;

    // Index of the first and last digit placeholder: literals outside them
    // are prefix and suffix text and always written.
    int firstPh = -1, lastPh = -1;
    for (int i = 0; i < static_cast<int>(s.Tokens.size()); ++i) {
        TTok k = s.Tokens[static_cast<std::size_t>(i)].Kind;
        if (k == TTok::IntDigit || k == TTok::FracDigit) {
            if (firstPh < 0) firstPh = i;
            lastPh = i;
        }
    }

    const int nDigits = static_cast<int>(intDigits.size());
    const int totalInt = std::max(nDigits, s.IntRequired);
    int intIndex = 0;   // integer placeholder index
    int written = 0;    // integer digits written
    int fracIndex = 0;  // fraction placeholder index
    bool started = false;
    bool afterPoint = false;
    std::string out;
    if (writeMinus && nonZero) out += '-';

    auto writeIntDigit = [&](char ch) {
        out += ch;
        ++written;
        started = true;
        int remaining = totalInt - written;
        if (s.Thousands && remaining > 0 && remaining % 3 == 0) out += ',';
    };

    for (int i = 0; i < static_cast<int>(s.Tokens.size()); ++i) {
        const TToken& t = s.Tokens[static_cast<std::size_t>(i)];
        switch (t.Kind) {
        case TTok::IntDigit: {
            // digit of this placeholder counted from the left of intDigits
            int idx = nDigits - s.IntCount + intIndex;
            if (intIndex == 0)
                for (int k = 0; k < idx; ++k) writeIntDigit(intDigits[static_cast<std::size_t>(k)]);
            if (idx >= 0)
                writeIntDigit(intDigits[static_cast<std::size_t>(idx)]);
            else if (s.IntCount - intIndex <= s.IntRequired)
                writeIntDigit('0');
            ++intIndex;
            break;
        }
        case TTok::Point:
            afterPoint = true;
            if (fracShown > 0) out += '.';
            break;
        case TTok::FracDigit:
            if (fracIndex < fracShown) out += fracDigits[static_cast<std::size_t>(fracIndex)];
            ++fracIndex;
            break;
        case TTok::Exponent: {
            out += s.ExpChar;
            if (exponent < 0)
                out += '-';
            else if (s.ExpPlus)
                out += '+';
            std::string e = std::to_string(std::abs(exponent));
            if (static_cast<int>(e.size()) < s.ExpDigits)
                e.insert(0, static_cast<std::size_t>(s.ExpDigits) - e.size(), '0');
            out += e;
            break;
        }
        case TTok::Literal: {
            bool show = true;
            if (i > firstPh && i < lastPh) {
                show = afterPoint ? fracIndex < fracShown : started;
            }
            if (show) out += t.Text;
            break;
        }
        }
    }
    return out;
}

}  // namespace

std::string FormatFloat(std::string_view pattern, double value) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
    std::vector<std::string_view> sections = SplitSections(pattern);
    std::string_view use = sections[0];
    bool writeMinus = value < 0;
    if (value < 0 && sections.size() > 1 && !sections[1].empty()) {
        use = sections[1];
        writeMinus = false;
    } else if (value == 0 && sections.size() > 2 && !sections[2].empty()) {
        use = sections[2];
    }
    TSection s = ParseSection(use);
    if (s.IntCount == 0 && s.FracCount == 0) {
        // no digit placeholder: the section is plain text, or empty
        if (use.empty()) return FloatToStr(value);
        std::string out;
        for (const TToken& t : s.Tokens)
            if (t.Kind == TTok::Literal) out += t.Text;
        return out;
    }
    return Render(s, value, writeMinus);
}

std::string FloatToStr(double value) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
    TDecimal d = ToDecimal(value);
    std::size_t nz = d.Digits.find_last_not_of('0');
    if (nz == std::string::npos) return "0";
    d.Digits.resize(nz + 1);
    std::string out = value < 0 ? "-" : "";
    int e = d.PointPos - 1;
    if (e < -4 || e >= 15) {
        out += d.Digits[0];
        if (d.Digits.size() > 1) out += "." + d.Digits.substr(1);
        out += "E" + std::to_string(e);
        return out;
    }
    if (d.PointPos <= 0) {
        out += "0." + std::string(static_cast<std::size_t>(-d.PointPos), '0') + d.Digits;
    } else if (d.PointPos >= static_cast<int>(d.Digits.size())) {
        out += d.Digits + std::string(static_cast<std::size_t>(d.PointPos) - d.Digits.size(), '0');
    } else {
        out += d.Digits.substr(0, static_cast<std::size_t>(d.PointPos)) + "." +
               d.Digits.substr(static_cast<std::size_t>(d.PointPos));
    }
    return out;
}
