// The viewer's untrusted texts. The first byte picks what the rest is:
//   0x00 .. 0x3F  a find text, with the low bits picking the record on screen
//                 and the record count: classified, parsed as an expression,
//                 compiled and tested against records with ordinary and NaN
//                 fields; a jump target must lie within the recording
//   0x40 .. 0x7F  a command-line switch
//   0x80 .. 0xFF  a settings file, read as the window reads it; the window's
//                 bounds must come out within the work area
// Every refusal must be an Exception with a message; anything else (a crash,
// a hang, another exception, a broken promise) is a finding.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <unistd.h>

#include "CommandLine.h"
#include "Exception.h"
#include "FindExpression.h"
#include "IniFile.h"
#include "VantoraSettings.h"

namespace {

void Try(auto&& f) {
    try {
        f();
    } catch (const Exception&) {
    }
}

void FindText(std::uint8_t pick, std::string_view text) {
    const std::uint32_t current = (pick & 1) ? 0xFFFFFFF0u : 1u + pick;
    const std::uint32_t last = (pick & 2) ? 0u : 0xFFFFFFFEu - pick;
    Try([&] {
        const TFindTarget t = ClassifyFindText(text, current, last);
        // Targets past the last record are the reader's to refuse.
        if (t.Kind == TFindKind::Record && (t.Record < 1 || t.Record > 0xFFFFFFFEu)) __builtin_trap();
        if (t.Kind != TFindKind::Record && t.Kind != TFindKind::Expression && !std::isfinite(t.Time)) __builtin_trap();
    });
    Try([&] { StrToInt64Strict(text); });
    Try([&] {
        if (!std::isfinite(StrToFloatStrict(text))) __builtin_trap();
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
}

void Switch(std::string_view text) {
    Try([&] {
        const TSwitch s = ParseSwitch(std::string(text));
        if ((s.Kind == TSwitchKind::SeekTime || s.Kind == TSwitchKind::SeekTimeExternal) && !std::isfinite(s.Time)) {
            __builtin_trap();
        }
    });
}

void Settings(std::string_view text) {
    static const std::string path = [] {
        const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        return std::string(dir) + "/fuzz-viewer-settings-" + std::to_string(getpid()) + ".ini";
    }();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return;
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    Try([&] {
        const TIniFile ini(path);
        const TSettingsRead r = ReadSettings(ini);
        const TRect area{0, 0, 1920, 1080};
        const TRect b = ClampWindowBounds(r.Left, r.Top, r.Width, r.Height, area);
        if (b.Left < area.Left || b.Top < area.Top || b.Right > area.Right || b.Bottom > area.Bottom) __builtin_trap();
        if (r.PointSize != 0 && (r.PointSize < MinPointSize || r.PointSize > MaxPointSize)) __builtin_trap();
    });
    std::remove(path.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t pick = data[0];
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    if (pick < 0x40) {
        FindText(pick, text);
    } else if (pick < 0x80) {
        Switch(text);
    } else {
        Settings(text);
    }
    return 0;
}
