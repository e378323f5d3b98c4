/*
 * narvi.h - C interface of the waveform reader library (kqmlib).
 *
 * Usable from C (C99 or later) and C++. Every function uses the C calling
 * convention, returns a 32-bit result code and leaves its failure text to
 * narvi_get_last_error. Strings and sample buffers handed out stay owned by
 * the library; copy what you want to keep.
 */
#ifndef NARVI_H
#define NARVI_H

#include <stddef.h>
#include <stdint.h>

/* Calling convention: cdecl everywhere; only 32-bit Windows needs it spelled out. */
#if defined(_WIN32) && !defined(_WIN64)
#define NARVI_CALL __cdecl
#else
#define NARVI_CALL
#endif

/* Export macro: NARVI_BUILDING_LIBRARY is defined only while the library itself is compiled. */
#if defined(_WIN32)
#if defined(NARVI_BUILDING_LIBRARY)
#define NARVI_API __declspec(dllexport)
#else
#define NARVI_API
#endif
#else
#if defined(NARVI_BUILDING_LIBRARY)
#define NARVI_API __attribute__((visibility("default")))
#else
#define NARVI_API
#endif
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Interface version */
#define NARVI_API_MAJOR_VERSION 1
#define NARVI_API_MINOR_VERSION 0

/* Result codes (narvi_read may also return 666: more sample values than its buffer holds) */
#define NARVI_END_OF_FILE (-1)
#define NARVI_NO_ERROR 0
#define NARVI_ERR_BAD_ARG 1
#define NARVI_ERR_UNSUPPORTED_FORMAT 2
#define NARVI_ERR_MISSING_INDEX 3
#define NARVI_ERR_UNKNOWN_EXCEPTION 4
#define NARVI_ERR_NOT_IMPLEMENTED 5
#define NARVI_ERR_RUNTIME 6

/* Receiver channels of a sample block */
#define NARVI_CHANNEL_HP 0
#define NARVI_CHANNEL_LP 1
#define NARVI_CHANNEL_SHP 2
#define NARVI_CHANNEL_REF 3

/* Record flags */
#define NARVI_FLAGS_SYNCHRONIZED 1
#define NARVI_FLAGS_SYNC_LASTSEC 2
#define NARVI_FLAGS_HOUSEKEEPING 4

/* Mode key "RAW" (the bytes 'R', 'A', 'W', 0 read as a little-endian integer) */
#define NARVI_MODE_RAW 0x00574152u

typedef void* NARVI_FILE_T;
typedef int32_t NARVI_INT32_T;
typedef uint16_t NARVI_UINT16_T;
typedef uint32_t NARVI_UINT32_T;
typedef int32_t NARVI_BOOL_T;
typedef const char* NARVI_CSZ_T;
typedef uint8_t NARVI_BYTE_T;
typedef double NARVI_FLOAT64_T;
typedef void* NARVI_POINTER_T;

typedef struct NARVI_FLOAT64_VECTOR3_S {
    NARVI_FLOAT64_T x;
    NARVI_FLOAT64_T y;
    NARVI_FLOAT64_T z;
} NARVI_FLOAT64_VECTOR3_T;

typedef uint16_t NARVI_SAMPLE_T;
typedef NARVI_SAMPLE_T* NARVI_SAMPLE_PTR_T;

/* One sample block. 24 bytes on 32-bit builds (SAMPLE at 20); on 64-bit builds
 * the pointer is 8 bytes wide and naturally aligned (32 bytes, SAMPLE at 24),
 * and narvi_read reports that size in SBL_SIZE. */
typedef struct NARVI_SBL_S {
    NARVI_FLOAT64_T TIME_SOSBL; /* start of the block, seconds */
    NARVI_UINT32_T CHANNEL;     /* NARVI_CHANNEL_* */
    NARVI_UINT32_T SAMPLE_COUNT;
    NARVI_UINT32_T SAMPLE_SIZE; /* bytes per sample, always 2 */
    NARVI_SAMPLE_PTR_T SAMPLE;
} NARVI_SBL_T;
typedef NARVI_SBL_T* NARVI_SBL_PTR_T;

#if defined(__cplusplus)
#define NARVI_STATIC_ASSERT(c, m) static_assert(c, m)
#else
#define NARVI_STATIC_ASSERT(c, m) _Static_assert(c, m)
#endif
NARVI_STATIC_ASSERT(sizeof(NARVI_FLOAT64_VECTOR3_T) == 24, "NARVI_FLOAT64_VECTOR3_T must be three packed doubles");
NARVI_STATIC_ASSERT(offsetof(NARVI_SBL_T, CHANNEL) == 8, "NARVI_SBL_T.CHANNEL at 8");
NARVI_STATIC_ASSERT(offsetof(NARVI_SBL_T, SAMPLE_COUNT) == 12, "NARVI_SBL_T.SAMPLE_COUNT at 12");
NARVI_STATIC_ASSERT(offsetof(NARVI_SBL_T, SAMPLE_SIZE) == 16, "NARVI_SBL_T.SAMPLE_SIZE at 16");
#if UINTPTR_MAX == 0xFFFFFFFFu
NARVI_STATIC_ASSERT(offsetof(NARVI_SBL_T, SAMPLE) == 20 && sizeof(NARVI_SBL_T) == 24, "32-bit NARVI_SBL_T layout");
#else
NARVI_STATIC_ASSERT(offsetof(NARVI_SBL_T, SAMPLE) == 24 && sizeof(NARVI_SBL_T) == 32, "64-bit NARVI_SBL_T layout");
#endif

typedef void(NARVI_CALL* NARVI_TRACE_CALLBACK_T)(NARVI_FILE_T SENDER, NARVI_POINTER_T USERDATA, NARVI_CSZ_T TEXT);
typedef void(NARVI_CALL* NARVI_TRACK_CALLBACK_T)(NARVI_FILE_T SENDER, NARVI_POINTER_T USERDATA, NARVI_INT32_T PERCENT,
                                                 NARVI_BOOL_T* ABORT);

NARVI_API NARVI_INT32_T NARVI_CALL narvi_get_library_version(NARVI_UINT16_T* API_MAJOR, NARVI_UINT16_T* API_MINOR,
                                                             NARVI_CSZ_T* BUILD_VERSION, NARVI_CSZ_T* BUILD_SYSTEM);
NARVI_API NARVI_INT32_T NARVI_CALL narvi_get_last_error(NARVI_CSZ_T* ERROR_MESSAGE);
NARVI_API NARVI_INT32_T NARVI_CALL narvi_open(NARVI_CSZ_T PATH, NARVI_FILE_T* HANDLE);
NARVI_API NARVI_INT32_T NARVI_CALL narvi_close(NARVI_FILE_T HANDLE);
NARVI_API NARVI_INT32_T NARVI_CALL narvi_reindex(NARVI_FILE_T HANDLE);
NARVI_API NARVI_INT32_T NARVI_CALL narvi_seek_time(NARVI_FILE_T HANDLE, NARVI_FLOAT64_T TIME);
NARVI_API NARVI_INT32_T NARVI_CALL narvi_seek_time_external(NARVI_FILE_T HANDLE, NARVI_FLOAT64_T TIME);
NARVI_API NARVI_INT32_T NARVI_CALL narvi_seek(NARVI_FILE_T HANDLE, NARVI_UINT32_T INDEX);
NARVI_API NARVI_INT32_T NARVI_CALL narvi_tell(NARVI_FILE_T HANDLE, NARVI_UINT32_T* INDEX);
NARVI_API NARVI_INT32_T NARVI_CALL narvi_get_info(NARVI_FILE_T HANDLE, NARVI_CSZ_T* INSTRUMENT, NARVI_CSZ_T* SERIAL,
                                                  NARVI_CSZ_T* EPOCH, NARVI_FLOAT64_T* V_GROUP,
                                                  NARVI_FLOAT64_T* SAMPLING_TIME, NARVI_UINT16_T* FLAGS,
                                                  NARVI_UINT16_T* NUM_FACETS);
NARVI_API NARVI_INT32_T NARVI_CALL narvi_read(NARVI_FILE_T HANDLE, NARVI_FLOAT64_T* TIME_SORG,
                                              NARVI_FLOAT64_T* TIME_EXTERNAL, NARVI_FLOAT64_VECTOR3_T* ORIGIN,
                                              NARVI_FLOAT64_VECTOR3_T* DIRECTION, NARVI_UINT16_T* FLAGS,
                                              NARVI_UINT16_T* FACET, NARVI_UINT32_T* SBL_COUNT,
                                              NARVI_UINT32_T* SBL_SIZE, NARVI_SBL_PTR_T* SBL);
NARVI_API NARVI_INT32_T NARVI_CALL narvi_set_trace_callback(NARVI_FILE_T HANDLE, NARVI_TRACE_CALLBACK_T TRACE_CALLBACK,
                                                            NARVI_POINTER_T USERDATA);
NARVI_API NARVI_INT32_T NARVI_CALL narvi_set_track_callback(NARVI_FILE_T HANDLE, NARVI_TRACK_CALLBACK_T TRACK_CALLBACK,
                                                            NARVI_POINTER_T USERDATA);
NARVI_API NARVI_INT32_T NARVI_CALL narvi_set_mode_int(NARVI_FILE_T HANDLE, NARVI_UINT32_T KEY, NARVI_INT32_T VALUE);
NARVI_API NARVI_INT32_T NARVI_CALL narvi_get_mode_int(NARVI_FILE_T HANDLE, NARVI_UINT32_T KEY, NARVI_INT32_T* VALUE);

#ifdef __cplusplus
}
#endif

#endif /* NARVI_H */
