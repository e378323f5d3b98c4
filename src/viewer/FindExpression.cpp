#include "FindExpression.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>

#include "Exception.h"
#include "Format.h"
#include "NarviBinding.h"
#include "VantoraDocument.h"
#include "StrUtils.h"

namespace {

const char* const kAvailableFields =
    "index, timeext (or time), timeint, flags, facet, ox, oy, oz, dx, dy, dz, sbl_count";

[[noreturn]] void NotAnInteger(std::string_view text) {
    throw Exception(Format("'%s' is not a valid integer value", text));
}

[[noreturn]] void NotAFloat(std::string_view text) {
    throw Exception(Format("'%s' is not a valid floating point value", text));
}

int DigitValue(char c, int base) {
    int v = 36;
    if (c >= '0' && c <= '9') v = c - '0';
    if (c >= 'a' && c <= 'z') v = c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') v = c - 'A' + 10;
    return v < base ? v : -1;
}

struct TFieldName {
    const char* Name;
    TFindExpression::TField Field;
};
const TFieldName kFields[] = {
    {"index", TFindExpression::TField::Index},
    {"timeext", TFindExpression::TField::TimeExt},
    {"extime", TFindExpression::TField::TimeExt},
    {"time", TFindExpression::TField::TimeExt},
    {"timeint", TFindExpression::TField::TimeInt},
    {"intime", TFindExpression::TField::TimeInt},
    {"flags", TFindExpression::TField::Flags},
    {"facet", TFindExpression::TField::Facet},
    {"ox", TFindExpression::TField::Ox},
    {"oy", TFindExpression::TField::Oy},
    {"oz", TFindExpression::TField::Oz},
    {"dx", TFindExpression::TField::Dx},
    {"dy", TFindExpression::TField::Dy},
    {"dz", TFindExpression::TField::Dz},
    {"sbl_count", TFindExpression::TField::SblCount},
};

bool IsIntField(TFindExpression::TField f) {
    using F = TFindExpression::TField;
    return f == F::Index || f == F::Flags || f == F::Facet || f == F::SblCount;
}

TFindExpression::TOp OperatorOf(std::string_view op) {
    using O = TFindExpression::TOp;
    if (op == ">") return O::Greater;
    if (op == ">=") return O::GreaterEq;
    if (op == "<=") return O::LessEq;
    if (op == "<") return O::Less;
    if (op == "=") return O::Equal;
    if (op == "<>") return O::NotEqual;
    throw Exception(Format("Operator \"%s\" not defined", op));
}

bool FloatEqual(double a, double b) {
    if (std::isnan(a) || std::isnan(b)) return false;
    const double tolerance = std::max(std::min(std::fabs(a), std::fabs(b)) * 1e-12, 1e-12);
    return std::fabs(a - b) <= tolerance;
}

bool Equal(double a, double b) { return FloatEqual(a, b); }
bool Equal(std::int64_t a, std::int64_t b) { return a == b; }

// Floating-point fields compare equal within a tolerance, integer fields exactly.
template <class T>
bool Compare(TFindExpression::TOp op, T a, T b) {
    using O = TFindExpression::TOp;
    switch (op) {
    case O::Greater:
        return a > b;
    case O::GreaterEq:
        return a >= b;
    case O::LessEq:
        return a <= b;
    case O::Less:
        return a < b;
    case O::Equal:
        return Equal(a, b);
    case O::NotEqual:
        return !Equal(a, b);
    }
    return false;
}

// A mask is a 32-bit pattern: 0 .. 0xFFFFFFFF, or a negative 32-bit number
// standing for its two's-complement bits.
std::uint32_t MaskOf(std::string_view text) {
    const std::int64_t m = StrToInt64Strict(text);
    if (m < INT32_MIN || m > UINT32_MAX) {
        throw Exception(Format("Mask %s out of range (0 to 4294967295)", text));
    }
    return static_cast<std::uint32_t>(m);
}

}  // namespace

// ---------------------------------------------------------------- numbers

std::int64_t StrToInt64Strict(std::string_view text) {
    std::string_view s = text;
    bool negative = false;
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    int base = 10;
    if (!s.empty() && s[0] == '$') {
        base = 16;
        s.remove_prefix(1);
    } else if (s.size() > 1 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.remove_prefix(2);
    }
    if (s.empty()) NotAnInteger(text);
    // The magnitude may reach 2^63 for the most negative value.
    constexpr std::uint64_t limit = std::uint64_t{1} << 63;
    std::uint64_t magnitude = 0;
    for (char c : s) {
        const int d = DigitValue(c, base);
        if (d < 0) NotAnInteger(text);
        if (magnitude > (limit - static_cast<std::uint64_t>(d)) / static_cast<std::uint64_t>(base)) {
            NotAnInteger(text);
        }
        magnitude = magnitude * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(d);
    }
    if (!negative && magnitude == limit) NotAnInteger(text);
    return negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
}

double StrToFloatStrict(std::string_view text) {
    std::string_view s = text;
    bool negative = false;
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    // Only digits or a point may start the number: no second sign, and no
    // words such as "inf" or "nan".
    if (s.empty() || !((s[0] >= '0' && s[0] <= '9') || s[0] == '.')) NotAFloat(text);
    double value = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, std::chars_format::general);
    if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(value)) NotAFloat(text);
    return negative ? -value : value;
}

// ---------------------------------------------------------------- jumps

void CheckRecordTarget(std::int64_t n, std::uint32_t lastRecord) {
    // Past the last record the reader itself answers; 0 and below would wrap
    // round to a large number, and 0xFFFFFFFF asks the reader for its last
    // record, which a typed number never does.
    if (n >= 1 && n <= std::int64_t{0xFFFFFFFE}) return;
    if (lastRecord && n < 1) throw Exception(Format("Record %d is out of range (1 to %u)", n, lastRecord));
    throw Exception(Format("Record %d is out of range", n));
}

TFindTarget ClassifyFindText(std::string_view text, std::uint32_t currentRecord, std::uint32_t lastRecord) {
    const std::string t = Trim(text);
    TFindTarget target;
    if (t.find_first_of("=<>&") != std::string::npos) return target;
    if (t.find('.') == std::string::npos) {
        const int sign = t.find('+') != std::string::npos ? 1 : (t.find('-') != std::string::npos ? -1 : 0);
        const std::int64_t n = StrToInt64Strict(t);
        // Beyond 2^32 no target can be valid; this also keeps the sums below in range.
        if (n > 0xFFFFFFFFLL || n < -0xFFFFFFFFLL) {
            throw Exception(Format("Record %s is out of range", t));
        }
        const std::int64_t magnitude = n < 0 ? -n : n;
        const std::int64_t record = sign != 0 ? currentRecord + sign * magnitude : magnitude;
        CheckRecordTarget(record, lastRecord);
        target.Kind = TFindKind::Record;
        target.Record = static_cast<std::uint32_t>(record);
        return target;
    }
    if (t.back() == 'i') {
        target.Kind = TFindKind::InternalTime;
        target.Time = StrToFloatStrict(std::string_view(t).substr(0, t.size() - 1));
    } else {
        target.Kind = TFindKind::ExternalTime;
        target.Time = StrToFloatStrict(t);
    }
    return target;
}

// ---------------------------------------------------------------- expressions

std::vector<TFindTerm> ParseExpression(std::string_view text) {
    constexpr std::string_view opChars = "<=>~";
    std::vector<TFindTerm> terms;
    std::size_t p = 0;
    const std::size_t n = text.size();
    for (;;) {
        std::size_t f = text.find_first_of("&<=>~", p);
        if (f == std::string_view::npos) f = n;
        TFindTerm term;
        term.Field = LowerCase(Trim(text.substr(p, f - p)));
        p = f;
        while (p < n && opChars.find(text[p]) != std::string_view::npos) ++p;
        term.Operator = Trim(text.substr(f, p - f));
        std::size_t v = text.find('&', p);
        if (v == std::string_view::npos) v = n;
        term.Value = Trim(text.substr(p, v - p));
        p = v;
        while (p < n && text[p] == '&') ++p;
        if (term.Value.size() >= 2 && term.Value.front() == '"' && term.Value.back() == '"') {
            term.Value = term.Value.substr(1, term.Value.size() - 2);
        }
        if (term.Field.empty()) {
            // An operator or value without a field would otherwise end the
            // expression silently and match every record.
            if (!term.Operator.empty() || !term.Value.empty()) {
                throw Exception(Format("Field \"\" not defined (available fields: %s)", kAvailableFields));
            }
            break;
        }
        terms.push_back(std::move(term));
    }
    return terms;
}

TRecordFields FieldsOf(const TCurrentRecord& record) {
    TRecordFields f;
    f.Index = record.RecordNo;
    f.TimeExternal = record.TimeExternal;
    f.TimeSorg = record.TimeSorg;
    f.Flags = record.Flags;
    f.Facet = record.Facet;
    f.Origin[0] = record.Origin.x;
    f.Origin[1] = record.Origin.y;
    f.Origin[2] = record.Origin.z;
    f.Direction[0] = record.Direction.x;
    f.Direction[1] = record.Direction.y;
    f.Direction[2] = record.Direction.z;
    f.SblCount = static_cast<std::int32_t>(record.Blocks.size());
    return f;
}

bool CompareFloat(std::string_view op, double fieldValue, double value) {
    return Compare(OperatorOf(op), fieldValue, value);
}

bool CompareInt(std::string_view op, std::int64_t fieldValue, std::int64_t value) {
    return Compare(OperatorOf(op), fieldValue, value);
}

TFindExpression::TFindExpression(const std::vector<TFindTerm>& terms) {
    FConditions.reserve(terms.size());
    for (const TFindTerm& term : terms) {
        std::string name = term.Field;
        std::uint32_t mask = 0xFFFFFFFFu;
        const auto and_ = name.find(" and ");
        if (and_ != std::string::npos) {
            mask = MaskOf(Trim(std::string_view(name).substr(and_ + 5)));
            name = Trim(std::string_view(name).substr(0, and_));
        }
        const TFieldName* known = nullptr;
        for (const TFieldName& f : kFields)
            if (name == f.Name) known = &f;
        if (!known) throw Exception(Format("Field \"%s\" not defined (available fields: %s)", name, kAvailableFields));
        TCondition c{known->Field, TOp::Equal, mask, 0, 0};
        if (IsIntField(c.Field)) {
            c.IntValue = StrToInt64Strict(term.Value);
        } else {
            c.FloatValue = StrToFloatStrict(term.Value);
        }
        c.Op = OperatorOf(term.Operator);
        FConditions.push_back(c);
    }
}

bool TFindExpression::Matches(const TRecordFields& r) const {
    for (const TCondition& c : FConditions) {
        bool holds = false;
        if (IsIntField(c.Field)) {
            std::uint32_t raw = 0;
            switch (c.Field) {
            case TField::Index:
                raw = r.Index;
                break;
            case TField::Flags:
                raw = r.Flags;
                break;
            case TField::Facet:
                raw = r.Facet;
                break;
            default:
                raw = static_cast<std::uint32_t>(r.SblCount);
                break;
            }
            holds = Compare(c.Op, static_cast<std::int64_t>(std::uint64_t{raw & c.Mask}), c.IntValue);
        } else {
            double v = 0;
            switch (c.Field) {
            case TField::TimeExt:
                v = r.TimeExternal;
                break;
            case TField::TimeInt:
                v = r.TimeSorg;
                break;
            case TField::Ox:
            case TField::Oy:
            case TField::Oz:
                v = r.Origin[static_cast<int>(c.Field) - static_cast<int>(TField::Ox)];
                break;
            default:
                v = r.Direction[static_cast<int>(c.Field) - static_cast<int>(TField::Dx)];
                break;
            }
            holds = Compare(c.Op, v, c.FloatValue);
        }
        if (!holds) return false;
    }
    return true;
}

bool MatchRecord(const std::vector<TFindTerm>& terms, const TRecordFields& fields) {
    return TFindExpression(terms).Matches(fields);
}

// ---------------------------------------------------------------- search

int TExpressionSearch::Percent(std::uint32_t recordNo, std::uint32_t lastRecord) {
    if (lastRecord == 0) return 0;
    const double p = std::round(static_cast<double>(recordNo) * 100.0 / lastRecord);
    return p < 0 ? 0 : (p > 100 ? 100 : static_cast<int>(p));
}

TSearchResult TExpressionSearch::Run(const TFindExpression& expression, std::uint32_t lastRecord) {
    using Clock = std::chrono::steady_clock;
    constexpr auto reportEvery = std::chrono::milliseconds(50);
    FRecordsRead = 0;
    try {
        TRecordFields fields = FReadRecord();
        ++FRecordsRead;
        int lastPercent = -1;
        Clock::time_point lastReport = Clock::now();
        for (;;) {
            if (expression.Matches(fields)) return TSearchResult::Found;
            const std::uint32_t previous = fields.Index;
            if (lastRecord != 0 && previous >= lastRecord) return TSearchResult::NotFound;
            const int percent = Percent(previous, lastRecord);
            bool report = percent != lastPercent;
            // The clock is read only every 64 records: reading it costs about
            // as much as testing a record.
            if (!report && (FRecordsRead & 63) == 0) report = Clock::now() - lastReport >= reportEvery;
            if (report) {
                lastPercent = percent;
                lastReport = Clock::now();
                if (FProgress && FProgress(percent)) return TSearchResult::Aborted;
            }
            fields = FReadRecord();
            ++FRecordsRead;
            // After its last record the reader returns that record again.
            if (fields.Index == previous) return TSearchResult::NotFound;
        }
    } catch (const EWaveFileEnd&) {
        return TSearchResult::NotFound;
    }
}

const char* SearchResultText(TSearchResult result) {
    switch (result) {
    case TSearchResult::Found:
        return "Expression found";
    case TSearchResult::Aborted:
        return "Search aborted";
    case TSearchResult::NotFound:
        break;
    }
    return "Expression not found (end of data)";
}
