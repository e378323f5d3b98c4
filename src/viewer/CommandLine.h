#pragma once
// The viewer's command-line switches, recognised one parameter at a time.

#include <cstdint>
#include <string>

enum class TSwitchKind { None, Open, Index, Seek, SeekTime, SeekTimeExternal, Close, Exit };

struct TSwitch {
    TSwitchKind Kind = TSwitchKind::None;
    std::string Path;         // Open
    std::int64_t Record = 0;  // Seek
    double Time = 0;          // SeekTime (internal), SeekTimeExternal
};

// "/file=" and "/open=" (any letter case) open the rest; "/index" (any case);
// "/seek=<integer>"; "/time=<seconds>" with an optional "i" (internal time) or
// "e" (external time, the default) at the end; "/close"; "/exit". Numbers
// use "." as decimal point. A parameter that is no switch gives None.
// Throws Exception for a number that does not parse.
TSwitch ParseSwitch(const std::string& parameter);

// Whole-text parses with the messages the user sees on failure.
std::int64_t StrToInt64(const std::string& text);
double StrToFloat(const std::string& text);
