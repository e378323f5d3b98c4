/* A small demo recording with its index, made by the test-data writer. */
#ifndef NARVI_DEMO_RECORDING_H
#define NARVI_DEMO_RECORDING_H

#ifdef __cplusplus
extern "C" {
#endif

/* Writes a recording and its index into a fresh temporary folder and copies
 * the recording's path into Path (Size bytes). Returns 0 on success, else
 * non-zero with a reason in Path. */
int demo_recording_write(char* Path, int Size);

/* Removes the folder demo_recording_write made. */
void demo_recording_remove(const char* Path);

#ifdef __cplusplus
}
#endif

#endif
