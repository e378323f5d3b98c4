#pragma once
// Recordings for the index rebuild tests: shots and housekeeping records with
// GPS/PPS pairs, the rebuilt index read back entry by entry, and a progress
// receiver that can ask for an abort.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "KQMIndex.h"
#include "ReadTestSupport.h"

constexpr std::int64_t TicksPerSecond = 250000000;
constexpr std::int64_t Clock40 = std::int64_t(1) << 40;

// A ZA26 shot or housekeeping record, the 40-bit clock wrapped as the
// instrument writes it.
inline TRecord ShotAt(std::int64_t Ticks) { return Shot(std::uint64_t(Ticks % Clock40)); }
inline TRecord PulseAt(std::int64_t Ticks, std::int64_t PPS, std::uint32_t Milliseconds, std::uint8_t Sync = 0) {
    return TRecord::House(std::uint64_t(Ticks % Clock40), std::uint64_t(PPS % Clock40), Milliseconds, Sync);
}

struct TEntry {
    std::int64_t Ext = 0, Pos = 0, Int = 0;
    bool operator==(const TEntry&) const = default;
};

inline std::ostream& operator<<(std::ostream& S, const TEntry& E) {
    return S << "{ext " << E.Ext << ", pos " << E.Pos << ", int " << E.Int << "}";
}

// Every entry of a version 1.1 index, through the index class itself.
inline std::vector<TEntry> IndexEntries(const std::string& IdxPath) {
    TIndex I(IdxPath);
    std::vector<TEntry> V;
    for (std::int64_t N = 1; N <= I.Count(); ++N) {
        I.Seek(N);
        V.push_back({I.GetTimeStamp(), I.GetFilePosition(), I.GetTimeInternal()});
    }
    return V;
}

// The entries a rebuild should write for the shots among Records: index
// position, and the internal time unwrapped from the first record's.
inline std::vector<TEntry> ExpectedShots(const std::vector<TRecordInfo>& Records) {
    std::vector<TEntry> V;
    for (const TRecordInfo& R : Records)
        if (!R.Housekeeping) V.push_back({R.TimeUs, R.SizeWord, R.Time4ns});
    return V;
}

// Progress calls; asks for an abort at the first call at or above AbortAt.
struct TProgress {
    std::vector<int> Calls;
    int AbortAt = 1000;

    static void NARVI_CALL On(NARVI_FILE_T, NARVI_POINTER_T User, NARVI_INT32_T Percent, NARVI_BOOL_T* Abort) {
        auto* P = static_cast<TProgress*>(User);
        P->Calls.push_back(Percent);
        if (Percent >= P->AbortAt) *Abort = 1;
    }
    void Attach(NARVI_FILE_T H) { narvi_set_track_callback(H, &TProgress::On, this); }
};

inline std::string IdxOf(const std::string& Kqm) { return Kqm.substr(0, Kqm.size() - 4) + ".idx"; }
inline bool Exists(const std::string& Path) { return std::filesystem::exists(Path); }

// Shots only of an entry list (housekeeping entries left out), by position.
inline std::vector<TEntry> ShotsOf(const std::vector<TEntry>& All, const std::vector<TRecordInfo>& Records) {
    std::vector<TEntry> V;
    for (std::size_t I = 0; I < All.size() && I < Records.size(); ++I)
        if (!Records[I].Housekeeping) V.push_back(All[I]);
    return V;
}
