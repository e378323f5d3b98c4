// A scripted stand-in for a backend library. The recording's file name
// (without folder and extension) picks the behaviour:
//   missing      narvi_open fails with code 4 and a text
//   noindex      every positioning and read returns 3
//   c666         narvi_read returns 666 without a last-error text
//   noimpl       narvi_reindex returns 5
//   foreign      narvi_reindex calls back with a sender that is not the handle
//   foreigntrack only the track callback gets the foreign sender
//   noraw        narvi_set_mode_int refuses the raw mode
//   anything else: three records; reading past them returns -1
// narvi_reindex traces one line and reports 0, 50 and 100 percent; it stops
// with "*** Aborted ***" when the client answers with all bits set, and
// complains when the client answers with any other non-zero value.
// The two time seeks fail on purpose with the received time in their text.
// Built without the four optional functions (STUB_NO_OPTIONAL) and without
// narvi_tell (STUB_NO_TELL) as well.

#include <cstdio>
#include <cstring>
#include <string>

#include "narvi.h"

namespace {

std::string LastError;
int OpenHandles = 0;
int SenderDummy = 0;

struct StubFile {
    std::string Scenario;
    NARVI_UINT32_T Pos = 1;
    NARVI_UINT32_T Count = 3;
    NARVI_TRACE_CALLBACK_T Trace = nullptr;
    NARVI_POINTER_T TraceData = nullptr;
    NARVI_TRACK_CALLBACK_T Track = nullptr;
    NARVI_POINTER_T TrackData = nullptr;
    NARVI_INT32_T Raw = 0;
};

NARVI_SAMPLE_T Samples[4] = {1, 2, 3, 4};
NARVI_SBL_T Blocks[1];

NARVI_INT32_T Fail(NARVI_INT32_T code, const std::string& text) {
    LastError = text;
    return code;
}

NARVI_INT32_T Ok() {
    LastError = "(no error)";
    return NARVI_NO_ERROR;
}

StubFile* File(NARVI_FILE_T h) { return static_cast<StubFile*>(h); }

std::string TimeText(const char* what, double t) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s %.17g", what, t);
    return buf;
}

}  // namespace

extern "C" {

// Lets the tests see that every opened handle is closed again.
NARVI_API NARVI_INT32_T NARVI_CALL stub_open_handles() { return OpenHandles; }

NARVI_API NARVI_INT32_T NARVI_CALL narvi_get_library_version(NARVI_UINT16_T* API_MAJOR, NARVI_UINT16_T* API_MINOR,
                                                             NARVI_CSZ_T* BUILD_VERSION, NARVI_CSZ_T* BUILD_SYSTEM) {
    *API_MAJOR = 1;
    *API_MINOR = 0;
    *BUILD_VERSION = "stub";
    *BUILD_SYSTEM = nullptr;
    return NARVI_NO_ERROR;
}

NARVI_API NARVI_INT32_T NARVI_CALL narvi_get_last_error(NARVI_CSZ_T* ERROR_MESSAGE) {
    *ERROR_MESSAGE = LastError.c_str();
    return NARVI_NO_ERROR;
}

NARVI_API NARVI_INT32_T NARVI_CALL narvi_open(NARVI_CSZ_T PATH, NARVI_FILE_T* HANDLE) {
    std::string name = PATH;
    const auto sep = name.find_last_of("/\\");
    if (sep != std::string::npos) name.erase(0, sep + 1);
    const auto dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);
    if (name == "missing") return Fail(NARVI_ERR_UNKNOWN_EXCEPTION, "Cannot open file \"" + std::string(PATH) + "\"");
    auto* f = new StubFile;
    f->Scenario = name;
    *HANDLE = f;
    ++OpenHandles;
    return Ok();
}

NARVI_API NARVI_INT32_T NARVI_CALL narvi_close(NARVI_FILE_T HANDLE) {
    if (HANDLE) --OpenHandles;
    delete File(HANDLE);
    return Ok();
}

NARVI_API NARVI_INT32_T NARVI_CALL narvi_reindex(NARVI_FILE_T HANDLE) {
    StubFile* f = File(HANDLE);
    if (f->Scenario == "noimpl") return Fail(NARVI_ERR_NOT_IMPLEMENTED, "Reindex is not supported by this backend");
    NARVI_FILE_T traceSender = f->Scenario == "foreign" ? &SenderDummy : HANDLE;
    NARVI_FILE_T trackSender = f->Scenario == "foreign" || f->Scenario == "foreigntrack" ? &SenderDummy : HANDLE;
    if (f->Trace) f->Trace(traceSender, f->TraceData, "(i) Reindexing");
    for (NARVI_INT32_T percent : {0, 50, 100}) {
        if (!f->Track) break;
        NARVI_BOOL_T abort = 0;
        f->Track(trackSender, f->TrackData, percent, &abort);
        if (abort == -1) return Fail(NARVI_ERR_UNKNOWN_EXCEPTION, "*** Aborted ***");
        if (abort != 0) return Fail(NARVI_ERR_RUNTIME, "Abort flag with only some bits set");
    }
    f->Pos = 1;
    return Ok();
}

NARVI_API NARVI_INT32_T NARVI_CALL narvi_seek_time(NARVI_FILE_T HANDLE, NARVI_FLOAT64_T TIME) {
    if (File(HANDLE)->Scenario == "noindex") return Fail(NARVI_ERR_MISSING_INDEX, "The index file is missing");
    return Fail(NARVI_ERR_RUNTIME, TimeText("seek_time", TIME));
}

NARVI_API NARVI_INT32_T NARVI_CALL narvi_seek_time_external(NARVI_FILE_T HANDLE, NARVI_FLOAT64_T TIME) {
    if (File(HANDLE)->Scenario == "noindex") return Fail(NARVI_ERR_MISSING_INDEX, "The index file is missing");
    return Fail(NARVI_ERR_RUNTIME, TimeText("seek_time_external", TIME));
}

NARVI_API NARVI_INT32_T NARVI_CALL narvi_seek(NARVI_FILE_T HANDLE, NARVI_UINT32_T INDEX) {
    StubFile* f = File(HANDLE);
    if (f->Scenario == "noindex") return Fail(NARVI_ERR_MISSING_INDEX, "The index file is missing");
    if (INDEX == 0xFFFFFFFFu) {
        f->Pos = f->Count;
        return Ok();
    }
    if (INDEX == 0 || INDEX > f->Count) {
        f->Pos = f->Count;
        return Fail(NARVI_ERR_BAD_ARG, "Seek beyond end of file");
    }
    f->Pos = INDEX;
    return Ok();
}

#ifndef STUB_NO_TELL
NARVI_API NARVI_INT32_T NARVI_CALL narvi_tell(NARVI_FILE_T HANDLE, NARVI_UINT32_T* INDEX) {
    *INDEX = File(HANDLE)->Pos;
    return Ok();
}
#endif

NARVI_API NARVI_INT32_T NARVI_CALL narvi_get_info(NARVI_FILE_T, NARVI_CSZ_T* INSTRUMENT, NARVI_CSZ_T* SERIAL,
                                                  NARVI_CSZ_T* EPOCH, NARVI_FLOAT64_T* V_GROUP,
                                                  NARVI_FLOAT64_T* SAMPLING_TIME, NARVI_UINT16_T* FLAGS,
                                                  NARVI_UINT16_T* NUM_FACETS) {
    *INSTRUMENT = "STUB";
    *SERIAL = "SN-STUB";
    *EPOCH = "UNKNOWN";
    *V_GROUP = 299792458.0;
    *SAMPLING_TIME = 1e-9;
    *FLAGS = 1;
    *NUM_FACETS = 4;
    return Ok();
}

NARVI_API NARVI_INT32_T NARVI_CALL narvi_read(NARVI_FILE_T HANDLE, NARVI_FLOAT64_T* TIME_SORG,
                                              NARVI_FLOAT64_T* TIME_EXTERNAL, NARVI_FLOAT64_VECTOR3_T* ORIGIN,
                                              NARVI_FLOAT64_VECTOR3_T* DIRECTION, NARVI_UINT16_T* FLAGS,
                                              NARVI_UINT16_T* FACET, NARVI_UINT32_T* SBL_COUNT,
                                              NARVI_UINT32_T* SBL_SIZE, NARVI_SBL_PTR_T* SBL) {
    StubFile* f = File(HANDLE);
    if (f->Scenario == "noindex") return Fail(NARVI_ERR_MISSING_INDEX, "The index file is missing");
    if (f->Scenario == "c666") return Fail(666, "");
    if (f->Pos > f->Count) return Fail(NARVI_END_OF_FILE, "End of file reached");
    *TIME_SORG = f->Pos * 0.001;
    *TIME_EXTERNAL = 100 + f->Pos;
    *ORIGIN = {0, 0, 0};
    *DIRECTION = {0, 0, 1};
    *FLAGS = 0;
    *FACET = NARVI_UINT16_T(f->Pos % 4);
    Blocks[0] = {*TIME_SORG, NARVI_CHANNEL_HP, 4, 2, Samples};
    *SBL_COUNT = 1;
    *SBL_SIZE = sizeof(NARVI_SBL_T);
    *SBL = Blocks;
    ++f->Pos;
    return Ok();
}

#ifndef STUB_NO_OPTIONAL
NARVI_API NARVI_INT32_T NARVI_CALL narvi_set_trace_callback(NARVI_FILE_T HANDLE, NARVI_TRACE_CALLBACK_T TRACE_CALLBACK,
                                                            NARVI_POINTER_T USERDATA) {
    File(HANDLE)->Trace = TRACE_CALLBACK;
    File(HANDLE)->TraceData = USERDATA;
    return Ok();
}

NARVI_API NARVI_INT32_T NARVI_CALL narvi_set_track_callback(NARVI_FILE_T HANDLE, NARVI_TRACK_CALLBACK_T TRACK_CALLBACK,
                                                            NARVI_POINTER_T USERDATA) {
    File(HANDLE)->Track = TRACK_CALLBACK;
    File(HANDLE)->TrackData = USERDATA;
    return Ok();
}

NARVI_API NARVI_INT32_T NARVI_CALL narvi_set_mode_int(NARVI_FILE_T HANDLE, NARVI_UINT32_T KEY, NARVI_INT32_T VALUE) {
    if (KEY != NARVI_MODE_RAW) return Fail(NARVI_ERR_UNKNOWN_EXCEPTION, "Unknown key specified");
    if (File(HANDLE)->Scenario == "noraw") return Fail(NARVI_ERR_RUNTIME, "Raw mode not available");
    File(HANDLE)->Raw = VALUE != 0;
    return Ok();
}

NARVI_API NARVI_INT32_T NARVI_CALL narvi_get_mode_int(NARVI_FILE_T HANDLE, NARVI_UINT32_T KEY, NARVI_INT32_T* VALUE) {
    if (KEY != NARVI_MODE_RAW) return Fail(NARVI_ERR_UNKNOWN_EXCEPTION, "Unknown key specified");
    *VALUE = File(HANDLE)->Raw;
    return Ok();
}
#endif

}  // extern "C"
