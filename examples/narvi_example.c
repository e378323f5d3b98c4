/* narvi_example: opens a recording through the reader library's C interface,
 * prints its header information and its first shots.
 *
 *   narvi_example [recording.kqm]
 *
 * Without an argument it writes a small demo recording first. A recording
 * without index is indexed once before reading. */

#include <stdio.h>
#include <string.h>

#include "DemoRecording.h"
#include "narvi.h"

#define SHOTS_TO_PRINT 5

static const char* last_error(void) {
    NARVI_CSZ_T text = NULL;
    narvi_get_last_error(&text);
    return text ? text : "";
}

static const char* channel_name(NARVI_UINT32_T channel) {
    switch (channel) {
    case NARVI_CHANNEL_HP:
        return "HP";
    case NARVI_CHANNEL_LP:
        return "LP";
    case NARVI_CHANNEL_SHP:
        return "SHP";
    case NARVI_CHANNEL_REF:
        return "REF";
    default:
        return "?";
    }
}

static void NARVI_CALL on_track(NARVI_FILE_T sender, NARVI_POINTER_T user, NARVI_INT32_T percent,
                                NARVI_BOOL_T* abort_flag) {
    (void)sender;
    (void)user;
    (void)abort_flag;
    printf("  indexing: %d %%\n", (int)percent);
}

static int print_shots(NARVI_FILE_T file) {
    int shot;
    for (shot = 0; shot < SHOTS_TO_PRINT; ++shot) {
        NARVI_FLOAT64_T time = 0, time_ext = 0;
        NARVI_FLOAT64_VECTOR3_T origin, direction;
        NARVI_UINT16_T flags = 0, facet = 0;
        NARVI_UINT32_T count = 0, size = 0, number = 0, i;
        NARVI_SBL_PTR_T blocks = NULL;
        NARVI_INT32_T rc;

        narvi_tell(file, &number);
        rc = narvi_read(file, &time, &time_ext, &origin, &direction, &flags, &facet, &count, &size, &blocks);
        if (rc == NARVI_END_OF_FILE) break;
        if (rc != NARVI_NO_ERROR) {
            printf("read failed (%d): %s\n", (int)rc, last_error());
            return 1;
        }
        printf("shot %u: internal %.9f s, external %.6f s, flags %u, facet %u%s\n", (unsigned)number, time, time_ext,
               (unsigned)flags, (unsigned)facet, (flags & NARVI_FLAGS_HOUSEKEEPING) ? " (housekeeping)" : "");
        if (flags & NARVI_FLAGS_HOUSEKEEPING) continue;
        printf("  origin (%.6f, %.6f, %.6f) direction (%.6f, %.6f, %.6f)\n", origin.x, origin.y, origin.z, direction.x,
               direction.y, direction.z);
        for (i = 0; i < count; ++i) {
            /* Stride by the size the library reports, not by our own idea of it. */
            const NARVI_SBL_T* block = (const NARVI_SBL_T*)((const char*)blocks + (size_t)i * size);
            {
                NARVI_UINT32_T j, peak = 0;
                for (j = 1; j < block->SAMPLE_COUNT; ++j)
                    if (block->SAMPLE[j] > block->SAMPLE[peak]) peak = j;
                printf("  block %u: %-3s start %.9f s, %u samples, peak %u at sample %u\n", (unsigned)i,
                       channel_name(block->CHANNEL), block->TIME_SOSBL, (unsigned)block->SAMPLE_COUNT,
                       block->SAMPLE_COUNT ? (unsigned)block->SAMPLE[peak] : 0u, (unsigned)peak);
            }
        }
    }
    return 0;
}

int main(int argc, char** argv) {
    char demo[1024] = "";
    const char* path;
    NARVI_UINT16_T major = 0, minor = 0, flags = 0, facets = 0;
    NARVI_CSZ_T build = NULL, system = NULL, instrument = NULL, serial = NULL, epoch = NULL;
    NARVI_FLOAT64_T v_group = 0, sampling = 0;
    NARVI_FILE_T file = NULL;
    NARVI_INT32_T rc;
    int result = 0;

    narvi_get_library_version(&major, &minor, &build, &system);
    printf("kqmlib interface %u.%u, build %s (%s)\n", (unsigned)major, (unsigned)minor, build, system);

    if (argc > 1) {
        path = argv[1];
    } else {
        if (demo_recording_write(demo, (int)sizeof demo) != 0) {
            fprintf(stderr, "cannot write the demo recording: %s\n", demo);
            return 1;
        }
        path = demo;
        printf("demo recording: %s\n", path);
    }

    rc = narvi_open(path, &file);
    if (rc != NARVI_NO_ERROR) {
        fprintf(stderr, "cannot open %s (%d): %s\n", path, (int)rc, last_error());
        if (demo[0]) demo_recording_remove(demo);
        return 1;
    }
    narvi_set_track_callback(file, on_track, NULL);
    narvi_get_info(file, &instrument, &serial, &epoch, &v_group, &sampling, &flags, &facets);
    printf("instrument %s, serial %s, epoch %s\n", instrument, serial, epoch);
    printf("group velocity %.3f m/s, sampling time %g s, facets %u\n", v_group, sampling, (unsigned)facets);

    rc = narvi_seek(file, 1);
    if (rc == NARVI_ERR_MISSING_INDEX) {
        printf("no index: building it\n");
        rc = narvi_reindex(file);
        if (rc == NARVI_NO_ERROR) rc = narvi_seek(file, 1);
    }
    if (rc != NARVI_NO_ERROR) {
        printf("cannot position on the first shot (%d): %s\n", (int)rc, last_error());
        result = rc == NARVI_ERR_NOT_IMPLEMENTED ? 0 : 1;
    } else {
        result = print_shots(file);
    }

    narvi_close(file);
    if (demo[0]) demo_recording_remove(demo);
    return result;
}
