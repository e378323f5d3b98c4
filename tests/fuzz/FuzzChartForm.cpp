// Chart form text as untrusted input, read by the real chart classes. The
// whole input is the text:
//   - it is read into a chart or refused with an EFormError that has a message;
//   - a chart it gave writes a form that reads back (not refused) and writes
//     the same;
//   - that chart paints at a small size, zooms and undoes, pans, scrolls and
//     undoes with the mouse, paints again, still writes the same form and
//     draws as a chart read from it.
// Anything else (a crash, a hang, a leak, undefined behaviour, another
// exception, a round trip that changes) is a finding.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "ChartControl.h"
#include "ChartFormData.h"
#include "FormUse.h"
#include "GuiApplication.h"

namespace {

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

}  // namespace

// Fontconfig and Qt's platform plugins keep caches for the life of the
// process; the tests suppress the same (tests/lsan.supp).
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\nleak:libdbus-1.so\n"; }

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    EnsureGuiApplication();
    // A message box would wait for a user.
    ObsoletePropertyBox() = [](const std::string&) {};
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::unique_ptr<TCustomChart> chart;
    try {
        chart = ReadChartForm(text);
    } catch (const EFormError& e) {
        Check(!e.Message().empty());
        return 0;
    }
    Check(chart != nullptr);
    const std::string written = WriteChartForm(*chart);
    std::unique_ptr<TCustomChart> copy;
    try {
        copy = ReadChartForm(written);
    } catch (const EFormError&) {
        Check(false);  // a form the reader took, written as one it refuses
    }
    Check(WriteChartForm(*copy) == written);
    // what a paint, a zoom or a scroll writes into the chart would be lost or
    // changed on the next save, and what it leaves behind would show
    Check(formuse::UseAndWrite(*chart) == written);
    Check(formuse::DrawnOtherwise(*chart, written) == 0);
    Check(RenderToBitmap(*chart, 160, 120) != nullptr);
    return 0;
}
