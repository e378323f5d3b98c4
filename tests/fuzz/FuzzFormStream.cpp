// Form text as untrusted input. The whole input is the text:
//   - parsed, it prints and parses back to the same print;
//   - read into components, what they write reads back and writes the same;
//   - taken as a binary property list, it is read without running past its end.
// Every refusal must be an EFormError with a message; anything else (a crash,
// a hang, a leak, another exception, a round trip that changes) is a finding.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FormFuzzModel.h"
#include "FormStream.h"

namespace {

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

void Refused(const EFormError& e) { Check(!e.Message().empty()); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    formfuzz::RegisterForms();
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        const std::string printed = PrintForm(ParseForm(text));
        Check(PrintForm(ParseForm(printed)) == printed);
    } catch (const EFormError& e) {
        Refused(e);
    }
    try {
        TFormReader reader(formfuzz::Create);
        std::unique_ptr<TComponent> root = reader.Read(text);
        const std::string written = WriteForm(*root);
        TFormReader again(formfuzz::Create);
        std::unique_ptr<TComponent> copy = again.Read(written);
        Check(WriteForm(*copy) == written);
    } catch (const EFormError& e) {
        Refused(e);
    }
    try {
        const std::uint8_t* at = data;
        ReadBinaryProperties(at, data + size, 1);
        Check(at >= data && at <= data + size);
    } catch (const EFormError& e) {
        Refused(e);
    }
    return 0;
}
