// The viewer's untrusted texts: what a user types into the find dialog. The
// first byte picks the record on screen and the record count; the rest is the
// text, which is classified, parsed as an expression, compiled and tested
// against records with ordinary and NaN fields. Every failure must be an
// Exception with a message; anything else (a crash, a hang, another
// exception) is a finding.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "Exception.h"
#include "FindExpression.h"

namespace {

void Try(auto&& f) {
    try {
        f();
    } catch (const Exception&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t pick = data[0];
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::uint32_t current = (pick & 1) ? 0xFFFFFFF0u : 1u + pick;
    const std::uint32_t last = (pick & 2) ? 0u : 0xFFFFFFFEu - pick;

    Try([&] {
        const TFindTarget t = ClassifyFindText(text, current, last);
        if (t.Kind == TFindKind::Record && (t.Record < 1 || (last != 0 && t.Record > last))) __builtin_trap();
        if (t.Kind != TFindKind::Record && t.Kind != TFindKind::Expression && !std::isfinite(t.Time)) __builtin_trap();
    });
    Try([&] { StrToInt64Strict(text); });
    Try([&] {
        const double v = StrToFloatStrict(text);
        if (!std::isfinite(v)) __builtin_trap();
    });
    Try([&] {
        const TFindExpression expression(ParseExpression(text));
        TRecordFields fields;
        fields.Index = current;
        fields.Flags = pick;
        fields.TimeExternal = 3600.5;
        expression.Matches(fields);
        fields.Origin[0] = fields.Direction[2] = NAN;
        fields.TimeSorg = INFINITY;
        expression.Matches(fields);
    });
    return 0;
}
