// Drives the C interface the way a host does, on a recording (and an index
// beside it) made of the fuzz input: open, info, optionally reindex, then
// the calls the input lists. Input fields, in order (see FuzzInput.h):
//   Byte  flags (if*)
//   Part  the recording
//   Part  the index, when flags hold ifIndex
//   then calls until the input ends: Byte call (icX % icCallCount), its fields.
// An input without calls reads the recording to its end.
//
// Every call must come back with a known result code and a text that fits
// it; a successful read must hand out blocks and samples that can be read
// whole; no call may leave the index builder's temporary file behind.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "FuzzInput.h"
#include "RecordingWriter.h"
#include "TempDir.h"
#include "narvi.h"

namespace {

void Fail(const char* What, std::int32_t Code, const char* Text) {
    std::fprintf(stderr, "FuzzInterface: %s (code %d, text \"%s\")\n", What, Code, Text ? Text : "(null)");
    std::abort();
}

// The code must be one the interface documents and the last-error text must
// say success exactly when the code does.
std::int32_t Check(std::int32_t Code) {
    NARVI_CSZ_T Text = nullptr;
    narvi_get_last_error(&Text);
    const bool Known = (Code >= NARVI_END_OF_FILE && Code <= NARVI_ERR_RUNTIME) || Code == 666;
    if (!Known) Fail("unknown result code", Code, Text);
    if (!Text) Fail("no last-error text", Code, Text);
    const bool SaysSuccess = std::strcmp(Text, "(no error)") == 0;
    if ((Code == NARVI_NO_ERROR) != SaysSuccess) Fail("code and text disagree", Code, Text);
    if (Code != NARVI_NO_ERROR && !*Text) Fail("empty failure text", Code, Text);
    return Code;
}

// Everything a successful read hands out is read back, so that the sanitizer
// sees any block or sample outside the library's buffers.
volatile std::uint32_t Sink;

void ReadOne(NARVI_FILE_T H) {
    NARVI_FLOAT64_T TimeSorg = 0, TimeExternal = 0;
    NARVI_FLOAT64_VECTOR3_T Origin, Direction;
    NARVI_UINT16_T Flags = 0, Facet = 0;
    NARVI_UINT32_T Count = 0, Size = 0;
    NARVI_SBL_PTR_T Blocks = nullptr;
    const std::int32_t Code =
        Check(narvi_read(H, &TimeSorg, &TimeExternal, &Origin, &Direction, &Flags, &Facet, &Count, &Size, &Blocks));
    if (Code != NARVI_NO_ERROR) return;
    if (Size != sizeof(NARVI_SBL_T)) Fail("wrong SBL_SIZE", Code, "");
    if (!Blocks) return;  // housekeeping record
    if (Count > 32) Fail("more than 32 sample blocks", std::int32_t(Count), "");
    std::uint32_t Sum = 0;
    for (NARVI_UINT32_T B = 0; B < Count; ++B) {
        if (Blocks[B].SAMPLE_SIZE != 2) Fail("sample size other than 2", std::int32_t(Blocks[B].SAMPLE_SIZE), "");
        for (NARVI_UINT32_T S = 0; S < Blocks[B].SAMPLE_COUNT; ++S) Sum += Blocks[B].SAMPLE[S];
    }
    Sink = Sum;
}

void Info(NARVI_FILE_T H) {
    NARVI_CSZ_T Instrument = nullptr, Serial = nullptr, Epoch = nullptr;
    NARVI_FLOAT64_T VGroup = 0, Sampling = 0;
    NARVI_UINT16_T Flags = 0, Facets = 0;
    if (Check(narvi_get_info(H, &Instrument, &Serial, &Epoch, &VGroup, &Sampling, &Flags, &Facets)) == 0) {
        if (!Instrument || !Serial || !Epoch) Fail("info without its texts", 0, "");
        Sink = std::uint32_t(std::strlen(Instrument) + std::strlen(Serial) + std::strlen(Epoch));
    }
}

double Bits(std::uint64_t V) {
    double D;
    std::memcpy(&D, &V, sizeof D);
    return D;
}

void Call(NARVI_FILE_T H, TFuzzInput& In) {
    switch (In.Byte() % icCallCount) {
    case icSeek:
        Check(narvi_seek(H, In.Word()));
        break;
    case icSeekTime:
        Check(narvi_seek_time(H, std::int32_t(In.Word()) * 1e-3));
        break;
    case icSeekTimeBits:
        Check(narvi_seek_time(H, Bits(In.Wide())));
        break;
    case icSeekTimeExternal:
        Check(narvi_seek_time_external(H, std::int32_t(In.Word()) * 1e-3));
        break;
    case icSeekTimeExternalBits:
        Check(narvi_seek_time_external(H, Bits(In.Wide())));
        break;
    case icRead:
        for (int N = 1 + In.Byte() % 16; N > 0; --N) ReadOne(H);
        break;
    case icTell: {
        NARVI_UINT32_T Index = 0;
        Check(narvi_tell(H, &Index));
        break;
    }
    case icRawMode:
        Check(narvi_set_mode_int(H, NARVI_MODE_RAW, In.Byte() & 1));
        break;
    case icReindex:
        Check(narvi_reindex(H));
        break;
    case icInfo:
        Info(H);
        break;
    }
}

struct TTrack {
    int Calls = 0;
    static void NARVI_CALL On(NARVI_FILE_T, NARVI_POINTER_T User, NARVI_INT32_T Percent, NARVI_BOOL_T* Abort) {
        if (Percent < 0 || Percent > 100) Fail("progress outside 0..100", Percent, "");
        if (++static_cast<TTrack*>(User)->Calls == 2) *Abort = 1;
    }
};

void NARVI_CALL OnTrace(NARVI_FILE_T, NARVI_POINTER_T, NARVI_CSZ_T Text) { Sink = std::uint32_t(std::strlen(Text)); }

const TTempDir& Dir() {
    static const TTempDir D;
    return D;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    static const std::string Kqm = Dir().File("r.kqm"), Idx = Dir().File("r.idx"), Tmp = Idx + ".tmp";
    TFuzzInput In(Data, Size);
    const std::uint8_t Flags = In.Byte();
    WriteFileBytes(Kqm, In.Part());
    std::filesystem::remove(Idx);
    if (Flags & ifIndex) WriteFileBytes(Idx, In.Part());

    NARVI_FILE_T H = nullptr;
    if (Check(narvi_open(Kqm.c_str(), &H)) != NARVI_NO_ERROR) {
        if (H) Fail("a failed open handed out a handle", 0, "");
        return 0;
    }
    TTrack Track;
    if (Flags & ifAbortTrack) Check(narvi_set_track_callback(H, &TTrack::On, &Track));
    if (Flags & ifTrace) Check(narvi_set_trace_callback(H, &OnTrace, nullptr));
    Info(H);
    if (Flags & ifReindex) Check(narvi_reindex(H));
    if (In.AtEnd()) {
        for (int N = 0; N < 256 && Check(narvi_read(H, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                                    nullptr, nullptr)) == NARVI_NO_ERROR;
             ++N) {
        }
    }
    while (!In.AtEnd()) {
        Call(H, In);
        if (std::filesystem::exists(Tmp)) Fail("temporary index file left behind", 0, Tmp.c_str());
    }
    Check(narvi_close(H));
    return 0;
}
