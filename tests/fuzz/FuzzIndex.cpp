// Drives the index reader on arbitrary index bytes. Input fields, in order
// (see FuzzInput.h):
//   Part  the index file
//   then calls until the input ends: Byte call (xcX % xcCallCount), its fields.
// Refusals raise the runtime exception and are fine; anything else (another
// exception, a sanitizer report, a hang) is a fault. After every positioning
// call the current entry must be one of the file's.

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "FuzzInput.h"
#include "KQMIndex.h"
#include "RecordingWriter.h"
#include "TempDir.h"

namespace {

void Fail(const char* What, long long Value) {
    std::fprintf(stderr, "FuzzIndex: %s (%lld)\n", What, Value);
    std::abort();
}

volatile std::int64_t Sink;

void Call(TIndex& I, TFuzzInput& In) {
    switch (In.Byte() % xcCallCount) {
    case xcSeek:
        I.Seek(std::int64_t(In.Wide()));
        break;
    case xcNext:
        I.Next(std::int32_t(In.Word()));
        break;
    case xcBack:
        I.Back(std::int32_t(In.Word()));
        break;
    case xcFirst:
        I.First();
        break;
    case xcLast:
        I.Last();
        break;
    case xcFind:
        I.Find(std::int64_t(In.Wide()));
        break;
    case xcFindInternal:
        I.FindInternal(std::int64_t(In.Wide()));
        break;
    case xcEntry:
        Sink = I.GetTimeStamp() ^ I.GetFilePosition();
        if (I.HasInternalTime()) Sink = I.GetTimeInternal();
        break;
    }
    if (I.FCount > 0 && (I.FBlock < 1 || I.FBlock > I.FCount)) Fail("current entry outside the file", I.FBlock);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    static const TTempDir Dir;
    static const std::string Path = Dir.File("i.idx");
    TFuzzInput In(Data, Size);
    WriteFileBytes(Path, In.Part());
    TIndex I;
    try {
        I.Open(Path);
    } catch (const Exception&) {
        return 0;
    }
    while (!In.AtEnd()) {
        try {
            Call(I, In);
        } catch (const Exception&) {
        }
    }
    return 0;
}
