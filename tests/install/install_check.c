/* install_check: a client built only from the installed header and library
 * (through pkg-config or the CMake package): prints the library's version,
 * the recording's header information and one shot.
 *
 *   install_check <recording.kqm> [record] */

#include <stdio.h>
#include <stdlib.h>

#include <narvi.h>

static int fail(const char* what, NARVI_INT32_T code) {
    NARVI_CSZ_T text = NULL;
    narvi_get_last_error(&text);
    fprintf(stderr, "%s failed (%d): %s\n", what, (int)code, text ? text : "");
    return 1;
}

int main(int argc, char** argv) {
    NARVI_UINT16_T major = 0, minor = 0, flags = 0, facets = 0, facet = 0;
    NARVI_CSZ_T version = NULL, tag = NULL, instrument = NULL, serial = NULL, epoch = NULL;
    NARVI_FLOAT64_T v_group = 0, sampling = 0, time = 0, time_ext = 0;
    NARVI_FLOAT64_VECTOR3_T origin, direction;
    NARVI_UINT32_T count = 0, size = 0, record = 0;
    NARVI_SBL_PTR_T blocks = NULL;
    NARVI_FILE_T file = NULL;
    NARVI_INT32_T rc;

    if (argc < 2) {
        fprintf(stderr, "usage: %s <recording.kqm> [record]\n", argv[0]);
        return 2;
    }
    record = argc > 2 ? (NARVI_UINT32_T)strtoul(argv[2], NULL, 10) : 1;
    narvi_get_library_version(&major, &minor, &version, &tag);
    printf("kqmlib interface %u.%u, build %s (%s)\n", (unsigned)major, (unsigned)minor, version, tag);
    if ((rc = narvi_open(argv[1], &file)) != NARVI_NO_ERROR) return fail("narvi_open", rc);
    if ((rc = narvi_get_info(file, &instrument, &serial, &epoch, &v_group, &sampling, &flags, &facets)) != 0)
        return fail("narvi_get_info", rc);
    printf("instrument %s, serial %s, epoch %s, %u facets\n", instrument, serial, epoch, (unsigned)facets);
    if ((rc = narvi_seek(file, record)) != NARVI_NO_ERROR) return fail("narvi_seek", rc);
    rc = narvi_read(file, &time, &time_ext, &origin, &direction, &flags, &facet, &count, &size, &blocks);
    if (rc != NARVI_NO_ERROR) return fail("narvi_read", rc);
    printf("record %u: internal %.6f s, external %.6f s, %u sample blocks", (unsigned)record, time, time_ext,
           (unsigned)count);
    if (count > 0) printf(", first with %u samples", (unsigned)blocks[0].SAMPLE_COUNT);
    printf("\n");
    narvi_close(file);
    return 0;
}
