// The fifteen exported functions. Each runs its whole body under one handler:
// nothing is thrown across the C boundary, every failure becomes a result code
// plus the process-wide last-error text.

#include <cfenv>
#include <cstdint>
#include <exception>
#include <memory>
#include <new>
#include <string>
#include <type_traits>

#include "FloatControl.h"
#include "KQMReader.h"
#include "KqmlibImpl.h"
#include "narvi.h"

namespace {

// ---------------------------------------------------------------------------
// Process-wide state: one copy per loaded library, shared by every handle.

std::string LastMessage;
NARVI_SBL_T SampleBlocks[33];
NARVI_SAMPLE_T SampleValues[4097];
constexpr std::int32_t MaxSampleValues = 4097;
constexpr std::int32_t ResultSampleOverflow = 666;

constexpr const char KQMLIB_BUILD_VERSION[] = "11";

#define NARVI_STR2(x) #x
#define NARVI_STR(x) NARVI_STR2(x)

#if defined(__x86_64__) || defined(_M_X64)
#define NARVI_CPU "x86_64"
#elif defined(__i386__) || defined(_M_IX86)
#define NARVI_CPU "x86"
#elif defined(__aarch64__)
#define NARVI_CPU "aarch64"
#else
#define NARVI_CPU "unknown"
#endif

#if defined(_WIN32)
#define NARVI_OS "windows"
#elif defined(__linux__)
#define NARVI_OS "linux"
#else
#define NARVI_OS "unknown"
#endif

#if UINTPTR_MAX == 0xFFFFFFFFu
#define NARVI_PTR_BITS "32"
#else
#define NARVI_PTR_BITS "64"
#endif

#if defined(__clang__)
#define NARVI_CC           \
    "clang" NARVI_PTR_BITS \
    "-" NARVI_STR(__clang_major__) "." NARVI_STR(__clang_minor__) "." NARVI_STR(__clang_patchlevel__)
#elif defined(__GNUC__)
#define NARVI_CC \
    "gcc" NARVI_PTR_BITS "-" NARVI_STR(__GNUC__) "." NARVI_STR(__GNUC_MINOR__) "." NARVI_STR(__GNUC_PATCHLEVEL__)
#else
#define NARVI_CC "cc" NARVI_PTR_BITS "-0"
#endif

// processor-system-compiler<pointer width>-compiler version
constexpr const char KQMLIB_BUILD_SYSTEM[] = NARVI_CPU "-" NARVI_OS "-" NARVI_CC;

// ---------------------------------------------------------------------------

// A host may unmask floating-point traps; our NaNs and overflows must not
// crash it, and its own settings and exception flags must come back
// unchanged. Hosts nearly always run with every trap masked already: then
// there is nothing to change on the way in, and on the way out only flags we
// raised are put back, which a few reads of the control and status words
// find out. Any other state takes the full save, mask and restore.
class TFloatGuard {
public:
    TFloatGuard() {
#if NARVI_HAS_X87
        FX87 = X87Status();
        FSse = SseStatus();
        FFast = (X87Control() & X87Masks) == X87Masks && (FSse & SseMasks) == SseMasks;
        if (FFast) return;
#endif
        FHeld = feholdexcept(&FEnv) == 0;
    }
    ~TFloatGuard() {
#if NARVI_HAS_X87
        if (FFast) {
            if ((X87Status() & X87Flags) != (FX87 & X87Flags)) {
                // A host computing in SSE registers only never sees an x87
                // flag raised; clearing them all is cheap, rewriting the
                // environment is not.
                if ((FX87 & X87Flags) == 0)
                    __asm__ volatile("fnclex");
                else
                    RestoreX87Flags();
            }
            if (SseStatus() != FSse) SetSseStatus(FSse);
            return;
        }
#endif
        if (FHeld) fesetenv(&FEnv);
    }
    TFloatGuard(const TFloatGuard&) = delete;
    TFloatGuard& operator=(const TFloatGuard&) = delete;

private:
#if NARVI_HAS_X87
    // x87 control word: exception masks in bits 0-5; status word: exception
    // flags in bits 0-5, stack fault and error summary in bits 6-7. The SSE
    // control and status register: flags in bits 0-5, masks in bits 7-12.
    static constexpr std::uint16_t X87Masks = 0x3F;
    static constexpr std::uint16_t X87Flags = 0xFF;
    static constexpr std::uint32_t SseMasks = 0x1F80;

    static std::uint16_t X87Status() {
        std::uint16_t W;
        __asm__ volatile("fnstsw %0" : "=m"(W));
        return W;
    }
    static std::uint32_t SseStatus() {
        std::uint32_t W;
        __asm__ volatile("stmxcsr %0" : "=m"(W));
        return W;
    }
    static void SetSseStatus(std::uint32_t W) { __asm__ volatile("ldmxcsr %0" : : "m"(W)); }
    // The status word can only be written through the whole environment.
    void RestoreX87Flags() const {
        std::uint16_t Env[14];
        __asm__ volatile("fnstenv %0" : "=m"(Env));
        Env[2] = std::uint16_t((Env[2] & ~X87Flags) | (FX87 & X87Flags));
        __asm__ volatile("fldenv %0" : : "m"(Env));
    }

    bool FFast = false;
    std::uint16_t FX87 = 0;
    std::uint32_t FSse = 0;
#endif
    fenv_t FEnv;
    bool FHeld = false;
};

void SetLastMessage(const char* Text) noexcept {
    try {
        LastMessage = Text;
    } catch (...) {
        LastMessage.clear();
    }
}

NARVI_INT32_T Success() noexcept {
    SetLastMessage("(no error)");
    return NARVI_NO_ERROR;
}

NARVI_INT32_T Failure(const char* Text, NARVI_INT32_T Code) noexcept {
    SetLastMessage(Text);
    return Code;
}

// Runs Body; a body that returns a code other than 0 has already set its text.
template <class F>
NARVI_INT32_T Run(F&& Body) noexcept {
    TFloatGuard Guard;
    try {
        if constexpr (std::is_void_v<std::invoke_result_t<F&>>) {
            Body();
            return Success();
        } else {
            const NARVI_INT32_T Code = Body();
            return Code == NARVI_NO_ERROR ? Success() : Code;
        }
    } catch (const Exception& E) {
        return Failure(E.Message().c_str(), ResultCodeOf(E));
    } catch (const std::bad_alloc&) {
        return Failure("Out of memory", NARVI_ERR_UNKNOWN_EXCEPTION);
    } catch (const std::exception& E) {
        return Failure(E.what(), NARVI_ERR_UNKNOWN_EXCEPTION);
    } catch (...) {
        return Failure("Unknown exception", NARVI_ERR_UNKNOWN_EXCEPTION);
    }
}

TKQMReader& ReaderOf(NARVI_FILE_T Handle) {
    if (!Handle) throw EKQMError("Invalid handle (null)", NARVI_ERR_BAD_ARG);
    return *static_cast<TKQMReader*>(Handle);
}

template <class T, class V>
void Put(T* Out, const V& Value) {
    if (Out) *Out = Value;
}

std::uint32_t ChannelOf(std::uint8_t Pattern) {
    switch (Pattern) {
    case CH_LO:
        return NARVI_CHANNEL_LP;
    case CH_HI:
        return NARVI_CHANNEL_HP;
    case CH_RP:
        return NARVI_CHANNEL_REF;
    // No channel of its own: report the otherwise unused id rather than a stale one.
    default:
        return NARVI_CHANNEL_SHP;
    }
}

}  // namespace

// The order matters: all but the last two are reader errors.
std::int32_t ResultCodeOf(const Exception& E) noexcept {
    if (dynamic_cast<const ENotSupported*>(&E)) return NARVI_ERR_NOT_IMPLEMENTED;
    if (dynamic_cast<const ESyncLost*>(&E)) return NARVI_ERR_UNKNOWN_EXCEPTION;
    if (dynamic_cast<const ECRCError*>(&E)) return NARVI_ERR_UNKNOWN_EXCEPTION;
    if (dynamic_cast<const EAborted*>(&E)) return NARVI_ERR_UNKNOWN_EXCEPTION;
    if (dynamic_cast<const ENoIndex*>(&E)) return NARVI_ERR_MISSING_INDEX;
    if (dynamic_cast<const EEOF*>(&E)) return NARVI_END_OF_FILE;
    if (const auto* K = dynamic_cast<const EKQMError*>(&E)) {
        // A reader error without a code of its own is still a failure, never success.
        return K->FResult != NARVI_NO_ERROR ? K->FResult : NARVI_ERR_UNKNOWN_EXCEPTION;
    }
    return NARVI_ERR_UNKNOWN_EXCEPTION;
}

void ReadOutput(const TKQMReader& Reader, const TKQMMeasBlock& P, NARVI_FLOAT64_T* TIME_SORG,
                NARVI_FLOAT64_T* TIME_EXTERNAL, NARVI_FLOAT64_VECTOR3_T* ORIGIN, NARVI_FLOAT64_VECTOR3_T* DIRECTION,
                NARVI_UINT16_T* FLAGS, NARVI_UINT16_T* FACET, NARVI_UINT32_T* SBL_COUNT, NARVI_UINT32_T* SBL_SIZE,
                NARVI_SBL_PTR_T* SBL) {
    const TKQMHeader& H = Reader.Header();
    const double GroupVelocityHalf = double(H.RangeFactor) * 1e9;

    Put(TIME_SORG, double(P.Time4ns * 4) / 1e9);
    Put(TIME_EXTERNAL, double(P.TimeUs) / 1e6);
    Put(ORIGIN, NARVI_FLOAT64_VECTOR3_T{P.Ori[0], P.Ori[1], P.Ori[2]});
    Put(DIRECTION, NARVI_FLOAT64_VECTOR3_T{P.Dir[0], P.Dir[1], P.Dir[2]});
    Put(FACET, NARVI_UINT16_T(P.Facet));

    NARVI_UINT16_T Flags = 0;
    const std::uint32_t Count = P.SampleBlockCount;
    NARVI_SBL_PTR_T Blocks = SampleBlocks;
    if (P.Content & HOUSEKEEPING) {
        Blocks = nullptr;
        Flags |= NARVI_FLAGS_HOUSEKEEPING;
    }
    // The GPS state in force when this record was decoded, not after its neighbours.
    if (P.GPSSyncLastSecond) Flags |= NARVI_FLAGS_SYNC_LASTSEC;
    if (P.GPSSynchronized) Flags |= NARVI_FLAGS_SYNCHRONIZED;
    Put(FLAGS, Flags);
    Put(SBL_COUNT, Count);
    Put(SBL_SIZE, NARVI_UINT32_T(sizeof(NARVI_SBL_T)));
    Put(SBL, Blocks);

    if (Count > std::uint32_t(MAXSAMPLEBLOCKS))
        throw EKQMError(Format("Maximum number of sample blocks exceeded (%d)", Count), NARVI_ERR_BAD_ARG);
    std::int32_t Total = 0;
    for (std::uint32_t i = 0; i < Count; ++i) {
        const TKQMSampleBlock& B = P.SampleBlocks[i];
        NARVI_SBL_T& S = SampleBlocks[i];
        const std::uint8_t C = B.ChannelDescriptor & CH_MASK;
        S.CHANNEL = ChannelOf(C);
        S.TIME_SOSBL = double(B.SampleBlockTimeStamp * 4 + P.Time4ns * 4) / 1e9;
        S.SAMPLE_COUNT = NARVI_UINT32_T(B.SampleCount);
        S.SAMPLE_SIZE = 2;
        S.SAMPLE = &SampleValues[Total];
        if (!Reader.RawMode()) {
            if (C == CH_LO) S.TIME_SOSBL += double(H.RangeOffsLP) / GroupVelocityHalf;
            if (C == CH_HI) S.TIME_SOSBL += double(H.RangeOffsHP) / GroupVelocityHalf;
            if (H.ParameterMainId == 5 && C != CH_REFPULSE) {
                const std::uint32_t N = C == CH_LO ? H.PreQuadCount3 : C == CH_HI ? H.PreQuadCount2 : H.PreQuadCount1;
                S.TIME_SOSBL -= double(std::uint64_t(N) << 2) * 1e-9;
            }
        }
        if (B.SampleCount < 0 || B.SampleCount > MAXSAMPLEVALUES)
            throw EKQMError(Format("Maximum number of sample values per sample block exceeded (%d)", B.SampleCount),
                            NARVI_ERR_BAD_ARG);
        if (B.SampleCount + Total > MaxSampleValues)
            throw EKQMError(Format("Maximum sample values exceeded (%d)", MaxSampleValues), ResultSampleOverflow);
        // The count in a local lets the widening copy run in vector registers.
        const std::int32_t N = B.SampleCount;
        const std::uint8_t* const In = B.Samples.data();
        NARVI_SAMPLE_T* const Out = SampleValues + Total;
        for (std::int32_t j = 0; j < N; ++j) Out[j] = In[j];
        Total += N;
    }
}

extern "C" {

NARVI_API NARVI_INT32_T NARVI_CALL narvi_get_library_version(NARVI_UINT16_T* API_MAJOR, NARVI_UINT16_T* API_MINOR,
                                                             NARVI_CSZ_T* BUILD_VERSION, NARVI_CSZ_T* BUILD_SYSTEM) {
    return Run([&] {
        Put(API_MAJOR, NARVI_UINT16_T(NARVI_API_MAJOR_VERSION));
        Put(API_MINOR, NARVI_UINT16_T(NARVI_API_MINOR_VERSION));
        Put(BUILD_VERSION, KQMLIB_BUILD_VERSION);
        Put(BUILD_SYSTEM, KQMLIB_BUILD_SYSTEM);
    });
}

NARVI_API NARVI_INT32_T NARVI_CALL narvi_get_last_error(NARVI_CSZ_T* ERROR_MESSAGE) {
    // Leaves the last-error state alone, so it can be asked any number of times.
    Put(ERROR_MESSAGE, LastMessage.c_str());
    return NARVI_NO_ERROR;
}

NARVI_API NARVI_INT32_T NARVI_CALL narvi_open(NARVI_CSZ_T PATH, NARVI_FILE_T* HANDLE) {
    return Run([&] {
        if (!PATH) throw EKQMError("No file name given", NARVI_ERR_BAD_ARG);
        if (!HANDLE) throw EKQMError("No handle to return the file in", NARVI_ERR_BAD_ARG);
        // The handle owns the reader until narvi_close takes it back.
        *HANDLE = std::make_unique<TKQMReader>(std::string(PATH)).release();
    });
}

NARVI_API NARVI_INT32_T NARVI_CALL narvi_close(NARVI_FILE_T HANDLE) {
    return Run([&] { std::unique_ptr<TKQMReader>(static_cast<TKQMReader*>(HANDLE)).reset(); });
}

NARVI_API NARVI_INT32_T NARVI_CALL narvi_reindex(NARVI_FILE_T HANDLE) {
    return Run([&] { ReaderOf(HANDLE).Reindex(); });
}

NARVI_API NARVI_INT32_T NARVI_CALL narvi_seek_time(NARVI_FILE_T HANDLE, NARVI_FLOAT64_T TIME) {
    return Run([&] { ReaderOf(HANDLE).SeekTimeInternal(TIME); });
}

NARVI_API NARVI_INT32_T NARVI_CALL narvi_seek_time_external(NARVI_FILE_T HANDLE, NARVI_FLOAT64_T TIME) {
    return Run([&] { ReaderOf(HANDLE).SeekTimeExternal(TIME); });
}

NARVI_API NARVI_INT32_T NARVI_CALL narvi_seek(NARVI_FILE_T HANDLE, NARVI_UINT32_T INDEX) {
    return Run([&]() -> NARVI_INT32_T {
        TKQMReader& Reader = ReaderOf(HANDLE);
        Reader.Seek(INDEX);
        if (INDEX != 0xFFFFFFFFu && Reader.Tell() != INDEX)
            return Failure("Seek beyond end of file", NARVI_ERR_BAD_ARG);
        return NARVI_NO_ERROR;
    });
}

NARVI_API NARVI_INT32_T NARVI_CALL narvi_tell(NARVI_FILE_T HANDLE, NARVI_UINT32_T* INDEX) {
    return Run([&] { Put(INDEX, ReaderOf(HANDLE).Tell()); });
}

NARVI_API NARVI_INT32_T NARVI_CALL narvi_get_info(NARVI_FILE_T HANDLE, NARVI_CSZ_T* INSTRUMENT, NARVI_CSZ_T* SERIAL,
                                                  NARVI_CSZ_T* EPOCH, NARVI_FLOAT64_T* V_GROUP,
                                                  NARVI_FLOAT64_T* SAMPLING_TIME, NARVI_UINT16_T* FLAGS,
                                                  NARVI_UINT16_T* NUM_FACETS) {
    return Run([&] {
        const TKQMReader& Reader = ReaderOf(HANDLE);
        Put(INSTRUMENT, Reader.Header().Instrument.c_str());
        Put(SERIAL, Reader.Header().Serial.c_str());
        Put(EPOCH, Reader.Epoch().c_str());
        Put(V_GROUP, 2.0 * double(Reader.Header().RangeFactor) * 1e9);
        Put(SAMPLING_TIME, 1e-9);
        Put(FLAGS, NARVI_UINT16_T(1));
        Put(NUM_FACETS, NARVI_UINT16_T(Reader.Header().NF));
    });
}

NARVI_API NARVI_INT32_T NARVI_CALL narvi_read(NARVI_FILE_T HANDLE, NARVI_FLOAT64_T* TIME_SORG,
                                              NARVI_FLOAT64_T* TIME_EXTERNAL, NARVI_FLOAT64_VECTOR3_T* ORIGIN,
                                              NARVI_FLOAT64_VECTOR3_T* DIRECTION, NARVI_UINT16_T* FLAGS,
                                              NARVI_UINT16_T* FACET, NARVI_UINT32_T* SBL_COUNT,
                                              NARVI_UINT32_T* SBL_SIZE, NARVI_SBL_PTR_T* SBL) {
    return Run([&] {
        TKQMReader& Reader = ReaderOf(HANDLE);
        ReadOutput(Reader, Reader.Read(ORIGIN || DIRECTION), TIME_SORG, TIME_EXTERNAL, ORIGIN, DIRECTION, FLAGS, FACET,
                   SBL_COUNT, SBL_SIZE, SBL);
    });
}

NARVI_API NARVI_INT32_T NARVI_CALL narvi_set_trace_callback(NARVI_FILE_T HANDLE, NARVI_TRACE_CALLBACK_T TRACE_CALLBACK,
                                                            NARVI_POINTER_T USERDATA) {
    return Run([&] { ReaderOf(HANDLE).SetTraceCallback(TRACE_CALLBACK, USERDATA); });
}

NARVI_API NARVI_INT32_T NARVI_CALL narvi_set_track_callback(NARVI_FILE_T HANDLE, NARVI_TRACK_CALLBACK_T TRACK_CALLBACK,
                                                            NARVI_POINTER_T USERDATA) {
    return Run([&] { ReaderOf(HANDLE).SetTrackCallback(TRACK_CALLBACK, USERDATA); });
}

NARVI_API NARVI_INT32_T NARVI_CALL narvi_set_mode_int(NARVI_FILE_T HANDLE, NARVI_UINT32_T KEY, NARVI_INT32_T VALUE) {
    return Run([&] {
        TKQMReader& Reader = ReaderOf(HANDLE);
        if (KEY != NARVI_MODE_RAW) throw Exception(Format("Unknown key specified (0x%8.8x)", KEY));
        Reader.SetRawMode(VALUE != 0);
    });
}

NARVI_API NARVI_INT32_T NARVI_CALL narvi_get_mode_int(NARVI_FILE_T HANDLE, NARVI_UINT32_T KEY, NARVI_INT32_T* VALUE) {
    return Run([&] {
        const TKQMReader& Reader = ReaderOf(HANDLE);
        if (KEY != NARVI_MODE_RAW) throw Exception(Format("Unknown key specified (0x%8.8x)", KEY));
        Put(VALUE, NARVI_INT32_T(Reader.RawMode() ? 1 : 0));
    });
}

}  // extern "C"
