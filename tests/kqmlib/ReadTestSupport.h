#pragma once
// Recordings with an index beside them, opened through the C interface, for
// the record decoding, read and geometry tests.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "IndexWriter.h"
#include "KQMReader.h"
#include "RecordingWriter.h"
#include "TempDir.h"
#include "narvi.h"

// Everything narvi_read hands out for one call.
struct TShot {
    NARVI_INT32_T Code = 0;
    double TimeSorg = 0, TimeExt = 0;
    NARVI_FLOAT64_VECTOR3_T Ori{}, Dir{};
    NARVI_UINT16_T Flags = 0, Facet = 0;
    NARVI_UINT32_T Count = 0, Size = 0;
    NARVI_SBL_PTR_T Sbl = nullptr;

    std::vector<std::uint16_t> Samples(std::uint32_t Block) const {
        return {Sbl[Block].SAMPLE, Sbl[Block].SAMPLE + Sbl[Block].SAMPLE_COUNT};
    }
};

inline std::string LastError() {
    NARVI_CSZ_T Text = nullptr;
    EXPECT_EQ(narvi_get_last_error(&Text), 0);
    return Text ? Text : "(null)";
}

// A recording in a fresh folder, its records as the writer placed them and,
// unless asked otherwise, an index with one entry per record written.
class TTestRecording {
public:
    explicit TTestRecording(const TRecHeader& Header) : FHeader(Header), FPath(FDir.File("shot.kqm")) {}

    // Writes the file (and the index); Edit may change the entries first.
    void Write(const std::vector<TRecord>& Records, bool WithIndex = true,
               const std::function<void(std::vector<TIndexEntry>&)>& Edit = {}) {
        TRecordingWriter W(FPath, FHeader);
        for (const TRecord& R : Records) W.Write(R);
        W.Close();
        FRecords = W.Records();
        if (!WithIndex) return;
        FEntries = EntriesOf(W);
        if (Edit) Edit(FEntries);
        WriteIndex();
    }
    void WriteIndex() const {
        TIndexFile F;
        F.Entries = FEntries;
        F.Write(FDir.File("shot.idx"));
    }

    const std::string& Path() const { return FPath; }
    const std::vector<TRecordInfo>& Records() const { return FRecords; }
    std::vector<TIndexEntry>& Entries() { return FEntries; }

private:
    TTempDir FDir;
    TRecHeader FHeader;
    std::string FPath;
    std::vector<TRecordInfo> FRecords;
    std::vector<TIndexEntry> FEntries;
};

// An open handle that collects every trace line.
class THandle {
public:
    explicit THandle(const std::string& Path) {
        const NARVI_INT32_T Code = narvi_open(Path.c_str(), &FHandle);
        EXPECT_EQ(Code, 0) << LastError();
        if (FHandle) narvi_set_trace_callback(FHandle, &THandle::OnTrace, this);
    }
    ~THandle() { narvi_close(FHandle); }
    THandle(const THandle&) = delete;
    THandle& operator=(const THandle&) = delete;

    NARVI_FILE_T Get() const { return FHandle; }
    TKQMReader& Reader() const { return *static_cast<TKQMReader*>(FHandle); }

    TShot Read() {
        TShot S;
        S.Code =
            narvi_read(FHandle, &S.TimeSorg, &S.TimeExt, &S.Ori, &S.Dir, &S.Flags, &S.Facet, &S.Count, &S.Size, &S.Sbl);
        return S;
    }
    std::uint32_t Tell() {
        NARVI_UINT32_T N = 0;
        EXPECT_EQ(narvi_tell(FHandle, &N), 0) << LastError();
        return N;
    }
    NARVI_INT32_T Seek(std::uint32_t N) { return narvi_seek(FHandle, N); }

    std::vector<std::string> Lines;
    // Lines that contain Text.
    int Count(const std::string& Text) const {
        int N = 0;
        for (const std::string& L : Lines) N += L.find(Text) != std::string::npos;
        return N;
    }

private:
    static void NARVI_CALL OnTrace(NARVI_FILE_T, NARVI_POINTER_T User, NARVI_CSZ_T Text) {
        static_cast<THandle*>(User)->Lines.emplace_back(Text);
    }
    NARVI_FILE_T FHandle = nullptr;
};

inline TRecSampleBlock Blk(std::uint16_t TimeStamp, std::uint8_t Channel, std::vector<std::uint8_t> Samples) {
    TRecSampleBlock B;
    B.TimeStamp = TimeStamp;
    B.Channel = Channel;
    B.Samples = std::move(Samples);
    return B;
}

// A shot whose one block of Samples (LP channel unless given) starts at TimeStamp.
inline TRecord Shot(std::uint64_t Time, std::vector<TRecSampleBlock> Blocks = {}) {
    TRecord R;
    R.Time = Time;
    R.Descriptor = 0xC0;  // not synchronised
    R.Enc0[0] = R.Enc1[0] = 1;
    R.Blocks = std::move(Blocks);
    return R;
}

inline std::vector<std::uint8_t> Ramp(std::size_t Count, std::uint8_t First = 0) {
    std::vector<std::uint8_t> V(Count);
    for (std::size_t I = 0; I < Count; ++I) V[I] = std::uint8_t(First + I);
    return V;
}

inline std::vector<std::uint16_t> Wide(const std::vector<std::uint8_t>& V) { return {V.begin(), V.end()}; }
