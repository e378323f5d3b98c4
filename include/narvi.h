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

/* Callbacks run on the caller's thread, inside the narvi_ call that produces
 * the event, with the handle as SENDER and the USERDATA given when they were
 * set. A callback must not call back into the library (no narvi_ function at
 * all, not even narvi_get_last_error): the library is not reentrant. An
 * exception thrown out of a C++ callback is caught: a trace line is lost, a
 * progress call counts as a request to abort.
 *
 * Trace: one diagnostic line; TEXT is valid only during the call.
 * Track: progress of narvi_reindex in PERCENT (0 .. 100); setting *ABORT to
 * non-zero stops the rebuild, which then fails with code 4 and keeps the
 * index that was there before. */
typedef void(NARVI_CALL* NARVI_TRACE_CALLBACK_T)(NARVI_FILE_T SENDER, NARVI_POINTER_T USERDATA, NARVI_CSZ_T TEXT);
typedef void(NARVI_CALL* NARVI_TRACK_CALLBACK_T)(NARVI_FILE_T SENDER, NARVI_POINTER_T USERDATA, NARVI_INT32_T PERCENT,
                                                 NARVI_BOOL_T* ABORT);

/* Common to every function:
 * - Nothing is thrown out of the library; every failure is a result code,
 *   and its text is what narvi_get_last_error hands out next. A call that
 *   succeeds sets that text to "(no error)".
 * - Result codes: 0 success; -1 (NARVI_END_OF_FILE) no further record;
 *   1 bad argument (also any reader error raised without a code of its own);
 *   3 no index; 4 any failure without a code of its own (file layer, damaged
 *   framing or checksum, abort, unknown mode key); 5 not supported; 666 see
 *   narvi_read.
 * - HANDLE is a value narvi_open returned and narvi_close has not yet taken
 *   back; a null HANDLE fails with code 1 (narvi_close: does nothing). Any
 *   other value is undefined behaviour.
 * - Every output pointer may be null: that output is then not written. Outputs
 *   may have been written when a call fails; treat them as undefined then.
 * - One call at a time in the whole process: the last-error text and the
 *   sample buffers of narvi_read are shared by all handles, without a lock.
 * - The caller's floating-point environment (rounding, exception masks and
 *   flags) is the same after every call as before it; inside, the library
 *   masks floating-point traps. */

/* Interface version (1.0) and the build's version ("11") and build-system
 * tag (processor-system-compiler and pointer width-compiler version). The
 * strings are constants of the library: valid while it is loaded. Always 0. */
NARVI_API NARVI_INT32_T NARVI_CALL narvi_get_library_version(NARVI_UINT16_T* API_MAJOR, NARVI_UINT16_T* API_MINOR,
                                                             NARVI_CSZ_T* BUILD_VERSION, NARVI_CSZ_T* BUILD_SYSTEM);

/* The text of the last call's outcome: an empty string before any call,
 * "(no error)" after a success, the failure's message after a failure. Leaves
 * that state alone, so it may be asked any number of times. The text stays
 * valid until the next call of any other narvi_ function. Always 0. */
NARVI_API NARVI_INT32_T NARVI_CALL narvi_get_last_error(NARVI_CSZ_T* ERROR_MESSAGE);

/* Opens the recording at PATH (read-only; others may read it too), decodes
 * its header and opens the index beside it (PATH with its extension replaced
 * by ".idx") when there is a usable one. A missing or unusable index is no
 * failure: reading then fails with code 3 until narvi_reindex. PATH or
 * HANDLE null: code 1. A file that cannot be opened: code 4 with the
 * system's reason; a header this library does not decode: code 1 (4 when the
 * file ends inside it). On
 * failure *HANDLE is left as it was and nothing stays open. */
NARVI_API NARVI_INT32_T NARVI_CALL narvi_open(NARVI_CSZ_T PATH, NARVI_FILE_T* HANDLE);

/* Closes the recording and its index and frees the handle; every string and
 * buffer handed out for it becomes invalid. A null HANDLE does nothing.
 * Always 0. */
NARVI_API NARVI_INT32_T NARVI_CALL narvi_close(NARVI_FILE_T HANDLE);

/* Rebuilds the index file from the recording (one pass over every record,
 * internal times corrected by the GPS time synchronisation records, where
 * the instrument writes them), replaces the old index file only once the new
 * one is complete, and reopens it; the cursor then stands on record 1.
 * Reports progress through the track callback; an abort there gives code 4
 * and leaves the previous index in place. A recording that cannot be indexed
 * (framing lost for good, too few time synchronisation records) fails with
 * its reason. Strings from narvi_get_info become invalid. */
NARVI_API NARVI_INT32_T NARVI_CALL narvi_reindex(NARVI_FILE_T HANDLE);

/* Positions on the first record whose internal time (seconds, rounded to
 * whole 4-ns ticks) is not before TIME; before the first record: record 1; after the last: the last record.
 * TIME that is NaN, infinite or beyond any index time: code 1, the position
 * unchanged. Without an index: code 3. */
NARVI_API NARVI_INT32_T NARVI_CALL narvi_seek_time(NARVI_FILE_T HANDLE, NARVI_FLOAT64_T TIME);

/* As narvi_seek_time, by external (GPS) time in seconds; a TIME after the
 * last record's external time fails with code 4 ("Time stamp out of range"). */
NARVI_API NARVI_INT32_T NARVI_CALL narvi_seek_time_external(NARVI_FILE_T HANDLE, NARVI_FLOAT64_T TIME);

/* Positions on record INDEX (1-based), so that the next narvi_read returns
 * it. 0xFFFFFFFF is the last record and always succeeds. INDEX 0 positions on
 * record 1, an INDEX past the last on the last record; both then fail with
 * code 1 and "Seek beyond end of file". Without an index: code 3. */
NARVI_API NARVI_INT32_T NARVI_CALL narvi_seek(NARVI_FILE_T HANDLE, NARVI_UINT32_T INDEX);

/* *INDEX := the 1-based number of the record the next narvi_read returns;
 * the record count + 1 once the last record has been read. Without an
 * index: code 3. */
NARVI_API NARVI_INT32_T NARVI_CALL narvi_tell(NARVI_FILE_T HANDLE, NARVI_UINT32_T* INDEX);

/* The recording's instrument type and serial number (blanks trimmed), the
 * epoch of its external times ("UNKNOWN" without an index or external times,
 * "DAYSEC" for seconds of the day, "WEEKSEC" for seconds of the GPS week),
 * the group velocity of light in m/s, the sampling time (1e-9 s), FLAGS 1
 * and the mirror's facet count. The three strings stay valid until the
 * handle is closed or reindexed. Works without an index. */
NARVI_API NARVI_INT32_T NARVI_CALL narvi_get_info(NARVI_FILE_T HANDLE, NARVI_CSZ_T* INSTRUMENT, NARVI_CSZ_T* SERIAL,
                                                  NARVI_CSZ_T* EPOCH, NARVI_FLOAT64_T* V_GROUP,
                                                  NARVI_FLOAT64_T* SAMPLING_TIME, NARVI_UINT16_T* FLAGS,
                                                  NARVI_UINT16_T* NUM_FACETS);

/* Reads the record at the cursor and moves the cursor behind it, also when
 * the record cannot be returned (a damaged record never stops a reader
 * walking the file). Outputs: internal and external time in seconds; beam
 * origin and direction (NaN where the mirror position or the facet is
 * unknown); NARVI_FLAGS_* (the GPS state when this record was decoded);
 * facet; the sample blocks. Sample blocks that continue one another, within
 * the record or in the records that follow it, are returned joined, as one.
 * *SBL points to *SBL_COUNT blocks of *SBL_SIZE bytes each
 * (sizeof(NARVI_SBL_T)); a housekeeping record has no blocks and *SBL null.
 * The blocks and the samples they point to are the library's: valid until
 * the next narvi_read on any handle, or until the library is unloaded; copy
 * what you keep.
 * Codes: -1 at the end of the data (and on every further read); 3 without
 * an index; 666 when the record's samples exceed the 4097 values the buffer
 * holds; 1 when a joined block would exceed 2048 samples or a record 32
 * blocks, or an index entry points outside the recording; 4 for framing or
 * checksum damage the reader could not step over. */
NARVI_API NARVI_INT32_T NARVI_CALL narvi_read(NARVI_FILE_T HANDLE, NARVI_FLOAT64_T* TIME_SORG,
                                              NARVI_FLOAT64_T* TIME_EXTERNAL, NARVI_FLOAT64_VECTOR3_T* ORIGIN,
                                              NARVI_FLOAT64_VECTOR3_T* DIRECTION, NARVI_UINT16_T* FLAGS,
                                              NARVI_UINT16_T* FACET, NARVI_UINT32_T* SBL_COUNT,
                                              NARVI_UINT32_T* SBL_SIZE, NARVI_SBL_PTR_T* SBL);

/* Sets the handle's receiver of diagnostic lines; a null TRACE_CALLBACK
 * switches them off. Lines of narvi_open's header decoding reach nobody. */
NARVI_API NARVI_INT32_T NARVI_CALL narvi_set_trace_callback(NARVI_FILE_T HANDLE, NARVI_TRACE_CALLBACK_T TRACE_CALLBACK,
                                                            NARVI_POINTER_T USERDATA);

/* Sets the handle's receiver of progress; a null TRACK_CALLBACK switches it off. */
NARVI_API NARVI_INT32_T NARVI_CALL narvi_set_track_callback(NARVI_FILE_T HANDLE, NARVI_TRACK_CALLBACK_T TRACK_CALLBACK,
                                                            NARVI_POINTER_T USERDATA);

/* Sets a mode of the handle. The one KEY is NARVI_MODE_RAW: any non-zero
 * VALUE turns raw mode on (sample block start times without the channels'
 * range delays and pre-trigger shift), 0 off; a new handle starts with it
 * off. Any other KEY: code 4, "Unknown key specified (0x%8.8x)", nothing
 * changed. */
NARVI_API NARVI_INT32_T NARVI_CALL narvi_set_mode_int(NARVI_FILE_T HANDLE, NARVI_UINT32_T KEY, NARVI_INT32_T VALUE);

/* *VALUE := 1 when raw mode is on, else 0; other keys as narvi_set_mode_int. */
NARVI_API NARVI_INT32_T NARVI_CALL narvi_get_mode_int(NARVI_FILE_T HANDLE, NARVI_UINT32_T KEY, NARVI_INT32_T* VALUE);

#ifdef __cplusplus
}
#endif

#endif /* NARVI_H */
