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

#include <string>

/* Writes Count records to Path and their index beside it (extension ".idx"):
 * shots 20 ms apart, each with a reference pulse and one target's echo on the
 * high- and the low-power channel; every 50th record is a housekeeping record
 * with the GPS time of the last pulse per second, so that the reader library
 * can rebuild the index (it needs two pulses: 100 records or more). The index
 * written is the one the library builds. Throws on failure. */
void WriteDemoRecording(const std::string& Path, long Count);
#endif

#endif
