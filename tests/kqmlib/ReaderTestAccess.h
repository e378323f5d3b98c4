#pragma once
// The reader's inner state and phases, for tests that check one phase alone
// (header decoding, one record's framing, the GPS state, the callbacks held).

#include <string>
#include <utility>

#include "Buffer.h"
#include "KQMIndex.h"
#include "KQMReader.h"

class TKQMReaderTestAccess {
public:
    static TFileStreamBuffered& Stream(TKQMReader& R) { return *R.FStream; }
    static std::int64_t DataOffset(const TKQMReader& R) { return R.FStreamDataOffset; }
    static const TIndex* Index(const TKQMReader& R) { return R.FIndex.get(); }
    static const TKQMHouseBlock& HouseBlock(const TKQMReader& R) { return R.FHouseBlock; }
    // The record the last read returned.
    static const TKQMMeasBlock& Current(const TKQMReader& R) { return *R.FThis; }
    static bool SecondEncoderIgnored(const TKQMReader& R) { return R.FLECC1_Invalid; }
    static NARVI_TRACE_CALLBACK_T TraceCallback(const TKQMReader& R) { return R.FTraceCallback; }
    static void* TraceUserData(const TKQMReader& R) { return R.FTraceUserData; }
    static void* TrackUserData(const TKQMReader& R) { return R.FTrackUserData; }

    static void DecodeHeader(TKQMReader& R) { R.DecodeHeader(); }
    static bool OpenIndex(TKQMReader& R, const std::string& File) { return R.OpenIndex(File); }
    // The stream back on the first record, no record held.
    static void Reset(TKQMReader& R) { R.Reset(); }
    static void DecodeRecord(TKQMReader& R, TKQMMeasBlock* P) { R.DecodeRecord(P); }
    template <class... A>
    static void Trace(TKQMReader& R, A&&... Args) {
        R.Trace(std::forward<A>(Args)...);
    }
    static void Track(TKQMReader& R, std::int32_t Percent) { R.Track(Percent); }
};
