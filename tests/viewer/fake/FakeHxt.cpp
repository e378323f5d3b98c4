// A second backend for the viewer's tests, loaded as "hxtlib": three
// records, each with one block per channel 0 to 3, so that the window's
// ".hxt" rules (draw channels 0 and 1, saturation from channel 2, reference
// time from channel 3) can be seen. Only the required functions are there.

#include <string>

#include "narvi.h"

namespace {

struct TFakeFile {
    NARVI_UINT32_T Pos = 1;
};
constexpr NARVI_UINT32_T kCount = 3;

NARVI_SAMPLE_T Hp[6] = {10, 30, 60, 30, 10, 5};
NARVI_SAMPLE_T Lp[4] = {4, 8, 4, 2};
NARVI_SAMPLE_T Shp[3] = {211, 1, 1};
NARVI_SAMPLE_T Ref[2] = {50, 60};
NARVI_SBL_T Blocks[4];
std::string LastError = "(no error)";

TFakeFile* File(NARVI_FILE_T h) { return static_cast<TFakeFile*>(h); }

NARVI_INT32_T Ok() {
    LastError = "(no error)";
    return NARVI_NO_ERROR;
}

}  // namespace

extern "C" {

NARVI_API NARVI_INT32_T NARVI_CALL narvi_get_library_version(NARVI_UINT16_T* API_MAJOR, NARVI_UINT16_T* API_MINOR,
                                                             NARVI_CSZ_T* BUILD_VERSION, NARVI_CSZ_T* BUILD_SYSTEM) {
    *API_MAJOR = 1;
    *API_MINOR = 0;
    *BUILD_VERSION = "fake";
    *BUILD_SYSTEM = "test";
    return NARVI_NO_ERROR;
}

NARVI_API NARVI_INT32_T NARVI_CALL narvi_get_last_error(NARVI_CSZ_T* ERROR_MESSAGE) {
    *ERROR_MESSAGE = LastError.c_str();
    return NARVI_NO_ERROR;
}

NARVI_API NARVI_INT32_T NARVI_CALL narvi_open(NARVI_CSZ_T, NARVI_FILE_T* HANDLE) {
    *HANDLE = new TFakeFile;
    return Ok();
}

NARVI_API NARVI_INT32_T NARVI_CALL narvi_close(NARVI_FILE_T HANDLE) {
    delete File(HANDLE);
    return Ok();
}

NARVI_API NARVI_INT32_T NARVI_CALL narvi_reindex(NARVI_FILE_T) { return Ok(); }

NARVI_API NARVI_INT32_T NARVI_CALL narvi_seek_time(NARVI_FILE_T, NARVI_FLOAT64_T) { return Ok(); }

NARVI_API NARVI_INT32_T NARVI_CALL narvi_seek_time_external(NARVI_FILE_T, NARVI_FLOAT64_T) { return Ok(); }

NARVI_API NARVI_INT32_T NARVI_CALL narvi_seek(NARVI_FILE_T HANDLE, NARVI_UINT32_T INDEX) {
    File(HANDLE)->Pos = INDEX == 0 ? 1 : (INDEX > kCount ? kCount : INDEX);
    return Ok();
}

NARVI_API NARVI_INT32_T NARVI_CALL narvi_tell(NARVI_FILE_T HANDLE, NARVI_UINT32_T* INDEX) {
    *INDEX = File(HANDLE)->Pos;
    return Ok();
}

NARVI_API NARVI_INT32_T NARVI_CALL narvi_get_info(NARVI_FILE_T, NARVI_CSZ_T* INSTRUMENT, NARVI_CSZ_T* SERIAL,
                                                  NARVI_CSZ_T* EPOCH, NARVI_FLOAT64_T* V_GROUP,
                                                  NARVI_FLOAT64_T* SAMPLING_TIME, NARVI_UINT16_T* FLAGS,
                                                  NARVI_UINT16_T* NUM_FACETS) {
    *INSTRUMENT = "FAKE";
    *SERIAL = "SN-FAKE";
    *EPOCH = "UNKNOWN";
    *V_GROUP = 2e8;
    *SAMPLING_TIME = 1e-9;
    *FLAGS = 0;
    *NUM_FACETS = 1;
    return Ok();
}

NARVI_API NARVI_INT32_T NARVI_CALL narvi_read(NARVI_FILE_T HANDLE, NARVI_FLOAT64_T* TIME_SORG,
                                              NARVI_FLOAT64_T* TIME_EXTERNAL, NARVI_FLOAT64_VECTOR3_T* ORIGIN,
                                              NARVI_FLOAT64_VECTOR3_T* DIRECTION, NARVI_UINT16_T* FLAGS,
                                              NARVI_UINT16_T* FACET, NARVI_UINT32_T* SBL_COUNT,
                                              NARVI_UINT32_T* SBL_SIZE, NARVI_SBL_PTR_T* SBL) {
    TFakeFile* f = File(HANDLE);
    const double t = f->Pos;
    *TIME_SORG = t;
    *TIME_EXTERNAL = 1000 + t;
    *ORIGIN = {0, 0, 0};
    *DIRECTION = {1, 0, 1};
    *FLAGS = 1;
    *FACET = 0;
    Blocks[0] = {t + 1e-7, NARVI_CHANNEL_HP, 6, 2, Hp};
    Blocks[1] = {t + 2e-7, NARVI_CHANNEL_LP, 4, 2, Lp};
    Blocks[2] = {t + 3e-7, NARVI_CHANNEL_SHP, 3, 2, Shp};
    Blocks[3] = {t + 5e-8, NARVI_CHANNEL_REF, 2, 2, Ref};
    *SBL_COUNT = 4;
    *SBL_SIZE = sizeof(NARVI_SBL_T);
    *SBL = Blocks;
    if (f->Pos < kCount) ++f->Pos;
    return Ok();
}

}  // extern "C"
