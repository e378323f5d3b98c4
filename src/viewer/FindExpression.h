#pragma once
// The find dialog's text: a jump (record number, relative offset, internal or
// external time) or an expression of terms "field operator value" joined by
// "&", all of which must hold, tested record by record.
//
// Expressions are untrusted text: numbers are read whole, without regard to
// the locale, range-checked, and never infinite or NaN; scanning is linear and
// bounded by the text, so any length is safe.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct TCurrentRecord;

// "'abc' is not a valid integer value": decimal with an optional sign, or
// hexadecimal after "$" or "0x"; must fit 64 bits.
std::int64_t StrToInt64Strict(std::string_view text);
// "'abc' is not a valid floating point value": decimal with "." and an
// optional exponent; infinities, NaN and values beyond the double range fail.
double StrToFloatStrict(std::string_view text);

enum class TFindKind { Expression, Record, InternalTime, ExternalTime };

struct TFindTarget {
    TFindKind Kind = TFindKind::Expression;
    std::uint32_t Record = 0;  // TFindKind::Record: the record to show
    double Time = 0;           // the time kinds: seconds
};

// Refuses a record target below 1 or beyond 0xFFFFFFFE ("Record %d is out of
// range", with the range 1 .. lastRecord when the record count is known); a
// target past lastRecord is left to the reader to refuse.
void CheckRecordTarget(std::int64_t n, std::uint32_t lastRecord);
// Classifies the dialog's text. Relative jumps count from currentRecord;
// every target is computed in 64 bits and checked as above. Numbers that
// cannot be read fail with the conversion messages above.
TFindTarget ClassifyFindText(std::string_view text, std::uint32_t currentRecord, std::uint32_t lastRecord);

struct TFindTerm {
    std::string Field;  // lower case, may carry " and <mask>"
    std::string Operator;
    std::string Value;  // enclosing double quotes removed
    friend bool operator==(const TFindTerm&, const TFindTerm&) = default;
};

std::vector<TFindTerm> ParseExpression(std::string_view text);

// The values a term can compare, taken from the current record.
struct TRecordFields {
    std::uint32_t Index = 0;
    double TimeExternal = 0;
    double TimeSorg = 0;
    std::uint16_t Flags = 0;
    std::uint16_t Facet = 0;
    double Origin[3] = {0, 0, 0};
    double Direction[3] = {0, 0, 0};
    std::int32_t SblCount = 0;
};
TRecordFields FieldsOf(const TCurrentRecord& record);

// Operators: ">", ">=", "<=", "<", "=", "<>"; anything else fails with
// 'Operator "%s" not defined'. Floats are equal within a relative tolerance of
// 1e-12 (at least 1e-12); a NaN field only satisfies "<>".
bool CompareFloat(std::string_view op, double fieldValue, double value);
bool CompareInt(std::string_view op, std::int64_t fieldValue, std::int64_t value);

// Terms checked and converted once, then tested against many records.
class TFindExpression {
public:
    // Throws for an unknown field or operator and for values or masks that
    // cannot be read.
    explicit TFindExpression(const std::vector<TFindTerm>& terms);
    // True when every term holds (an empty expression matches at once).
    bool Matches(const TRecordFields& fields) const;

    enum class TField : std::uint8_t { Index, TimeExt, TimeInt, Flags, Facet, Ox, Oy, Oz, Dx, Dy, Dz, SblCount };
    enum class TOp : std::uint8_t { Greater, GreaterEq, LessEq, Less, Equal, NotEqual };

private:
    struct TCondition {
        TField Field;
        TOp Op;
        std::uint32_t Mask;
        std::int64_t IntValue;
        double FloatValue;
    };
    std::vector<TCondition> FConditions;
};

bool MatchRecord(const std::vector<TFindTerm>& terms, const TRecordFields& fields);

// How a search ended.
enum class TSearchResult { Found, Aborted, NotFound };

// The expression search, record by record from the current position. It
// reads through readRecord (which shows nothing) and reports progress through
// progress(percent), which returns true to abort. The percentage is the
// record number against lastRecord (0 while that is unknown), clamped to
// 0 .. 100; progress is reported when it changes and otherwise about every
// 50 ms, so that reporting never dominates the reading. The search ends at
// the end of the data: at lastRecord, when the reader repeats a record
// number (it keeps returning its last record), or when it reports the end.
class TExpressionSearch {
public:
    using TReadRecord = std::function<TRecordFields()>;
    using TProgress = std::function<bool(int percent)>;

    TExpressionSearch(TReadRecord readRecord, TProgress progress)
        : FReadRecord(std::move(readRecord)), FProgress(std::move(progress)) {}

    TSearchResult Run(const TFindExpression& expression, std::uint32_t lastRecord);
    // Records read by the last Run.
    std::uint64_t RecordsRead() const { return FRecordsRead; }

    static int Percent(std::uint32_t recordNo, std::uint32_t lastRecord);

private:
    TReadRecord FReadRecord;
    TProgress FProgress;
    std::uint64_t FRecordsRead = 0;
};

// Status texts of a search.
const char* SearchResultText(TSearchResult result);
