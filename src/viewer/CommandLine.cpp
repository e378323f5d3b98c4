#include "CommandLine.h"

#include <charconv>
#include <cmath>

#include "Exception.h"
#include "StrUtils.h"

namespace {

bool StartsWithText(const std::string& s, const char* prefix) {
    const std::string p(prefix);
    return s.size() >= p.size() && SameText(s.substr(0, p.size()), p);
}

// The value after a six-character switch, at most 255 characters.
std::string ValueOf(const std::string& parameter) { return parameter.substr(6, 255); }

}  // namespace

std::int64_t StrToInt64(const std::string& text) {
    const std::string t = Trim(text);
    const char* b = t.data();
    const char* e = b + t.size();
    if (b != e && *b == '+') ++b;
    std::int64_t n = 0;
    const auto r = std::from_chars(b, e, n);
    if (b == e || r.ec != std::errc{} || r.ptr != e) throw Exception("'" + text + "' is not a valid integer value");
    return n;
}

double StrToFloat(const std::string& text) {
    const std::string t = Trim(text);
    const char* b = t.data();
    const char* e = b + t.size();
    if (b != e && *b == '+') ++b;
    double v = 0;
    const auto r = std::from_chars(b, e, v, std::chars_format::general);
    if (b == e || r.ec != std::errc{} || r.ptr != e || !std::isfinite(v))
        throw Exception("'" + text + "' is not a valid floating point value");
    return v;
}

TSwitch ParseSwitch(const std::string& parameter) {
    TSwitch s;
    if (StartsWithText(parameter, "/file=") || StartsWithText(parameter, "/open=")) {
        s.Kind = TSwitchKind::Open;
        s.Path = parameter.substr(6);
    } else if (SameText(parameter, "/index")) {
        s.Kind = TSwitchKind::Index;
    } else if (parameter.compare(0, 6, "/seek=") == 0) {
        s.Kind = TSwitchKind::Seek;
        s.Record = StrToInt64(ValueOf(parameter));
    } else if (parameter.compare(0, 6, "/time=") == 0) {
        std::string v = ValueOf(parameter);
        s.Kind = TSwitchKind::SeekTimeExternal;
        if (!v.empty() && v.back() == 'e') {
            v.pop_back();
        } else if (!v.empty() && v.back() == 'i') {
            v.pop_back();
            s.Kind = TSwitchKind::SeekTime;
        }
        s.Time = StrToFloat(v);
    } else if (parameter == "/close") {
        s.Kind = TSwitchKind::Close;
    } else if (parameter == "/exit") {
        s.Kind = TSwitchKind::Exit;
    }
    return s;
}
