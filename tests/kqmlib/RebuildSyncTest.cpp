// GPS time of the index entries: pairs of PPS pulse and GPS milliseconds from
// the housekeeping records, cleaned, and interpolated on the instrument clock.

#include "RebuildTestSupport.h"

namespace {

constexpr std::int64_t Sec = TicksPerSecond;
constexpr std::int64_t TicksPerMs = 250000;
constexpr std::uint32_t Day = 86400000, Week = 604800000;

TRecHeader Model(const char* Name, std::uint32_t Flags = 0) {
    TRecHeader H;
    H.Texts["InstrumentType"] = Name;
    H.ProtocolFlags = Flags;
    return H;
}

struct TRebuilt {
    NARVI_INT32_T Code = 0;
    std::string Error;
    std::vector<TEntry> Entries;  // every entry, housekeeping included
    std::vector<std::string> Lines;
};

TRebuilt Rebuild(TTestRecording& Rec, const std::vector<TRecord>& Records) {
    Rec.Write(Records, false);
    TRebuilt R;
    THandle H(Rec.Path());
    R.Code = narvi_reindex(H.Get());
    if (R.Code != 0) R.Error = LastError();
    if (R.Code == 0) R.Entries = IndexEntries(IdxOf(Rec.Path()));
    R.Lines = H.Lines;
    return R;
}

int Count(const std::vector<std::string>& Lines, const std::string& Text) {
    int N = 0;
    for (const std::string& L : Lines) N += L.find(Text) != std::string::npos;
    return N;
}

std::string PairsLine(int N) { return std::to_string(N) + " valid time synchronization records detected"; }

}  // namespace

// --- The interpolation itself -------------------------------------------------

TEST(RebuildSyncTest, ZA14TakesRecordTimesWhileZA26InterpolatesBetweenPulses) {
    // Pulses at 10 s and 11 s of the instrument clock belong to GPS 1000 ms and 2000 ms.
    const std::vector<TRecord> Records = {ShotAt(8 * Sec),
                                          ShotAt(9 * Sec + Sec / 2),
                                          PulseAt(10 * Sec + 100, 10 * Sec, 1000),
                                          ShotAt(10 * Sec + Sec / 2),
                                          PulseAt(11 * Sec + 100, 11 * Sec, 2000),
                                          ShotAt(12 * Sec)};
    struct {
        const char* Model;
        std::vector<std::int64_t> Ext;
    } const Cases[] = {
        {"ZA14", {8000000, 9500000, 10000000, 10500000, 11000000, 12000000}},
        // Extrapolated before the first pulse, 8 s would be -1 s: held at 0.
        {"ZA26", {0, 500000, 1000000, 1500000, 2000000, 3000000}},
        {"ZA26C", {0, 500000, 1000000, 1500000, 2000000, 3000000}},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Model);
        TTestRecording Rec(Model(C.Model));
        const TRebuilt R = Rebuild(Rec, Records);
        ASSERT_EQ(R.Code, 0) << R.Error;
        ASSERT_EQ(R.Entries.size(), Records.size());
        for (std::size_t I = 0; I < Records.size(); ++I) {
            EXPECT_EQ(R.Entries[I].Ext, C.Ext[I]) << I;
            EXPECT_EQ(R.Entries[I].Int, std::int64_t(Records[I].Time)) << I;
            EXPECT_EQ(R.Entries[I].Pos, Rec.Records()[I].SizeWord) << I;
        }
    }
}

// Pulses every Spacing ms of GPS time from StartMs on, the milliseconds as
// the receiver reports them (folded at Period), the clock starting at
// Clock0; a shot half-way between pulses. Every shot must come out at its
// continuous GPS time, on the unwrapped clock.
TEST(RebuildSyncTest, RolloversAndClockWrapsKeepTimesContinuous) {
    struct {
        const char* Name;
        std::int64_t StartMs, SpacingMs, Pulses;
        std::uint32_t Period;
        std::int64_t Clock0;
        int Glitch;  // pulse after which a step back and a repeat are inserted (-1: none)
    } const Cases[] = {
        {"day rollover", Day - 400000, 40000, 20, Day, 1000 * Sec, -1},
        {"week rollover", Week - 400000, 40000, 20, Week, 1000 * Sec, -1},
        {"two day rollovers", Day - 400000, 40000, 2180, Day, 1000 * Sec, -1},
        {"clock starting just below 2^40", 3600000, 40000, 300, Day, Clock40 - 5 * Sec, -1},
        {"step back after a day rollover", Day - 400000, 40000, 20, Day, 1000 * Sec, 11},
        {"step back after a week rollover", Week - 400000, 40000, 20, Week, 1000 * Sec, 12},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        auto Tick = [&](std::int64_t Ms) { return C.Clock0 + (Ms - C.StartMs) * TicksPerMs; };
        auto Raw = [&](std::int64_t Ms) { return std::uint32_t(Ms % C.Period); };
        std::vector<TRecord> Records;
        std::vector<std::int64_t> ShotMs;
        for (std::int64_t K = 0; K < C.Pulses; ++K) {
            const std::int64_t Ms = C.StartMs + K * C.SpacingMs;
            Records.push_back(PulseAt(Tick(Ms) + 10, Tick(Ms), Raw(Ms)));
            if (K == C.Glitch) {
                Records.push_back(PulseAt(Tick(Ms) + 20, Tick(Ms - 500), Raw(Ms - 500)));
                Records.push_back(PulseAt(Tick(Ms) + 30, Tick(Ms), Raw(Ms)));
            }
            ShotMs.push_back(Ms + C.SpacingMs / 2);
            Records.push_back(ShotAt(Tick(ShotMs.back())));
        }
        TTestRecording Rec(Model("ZA26"));
        const TRebuilt R = Rebuild(Rec, Records);
        ASSERT_EQ(R.Code, 0) << R.Error;
        EXPECT_EQ(Count(R.Lines, PairsLine(int(C.Pulses))), 1);

        const std::vector<TEntry> Shots = ShotsOf(R.Entries, Rec.Records());
        ASSERT_EQ(Shots.size(), ShotMs.size());
        int Wrong = 0;
        for (std::size_t I = 0; I < Shots.size() && Wrong < 5; ++I) {
            const bool Ok = Shots[I].Ext == ShotMs[I] * 1000 && Shots[I].Int == Tick(ShotMs[I]);
            EXPECT_TRUE(Ok) << "shot " << I << ": " << Shots[I] << ", expected ext " << ShotMs[I] * 1000 << ", int "
                            << Tick(ShotMs[I]);
            Wrong += !Ok;
        }
    }
}

// --- Cleaning the pairs -------------------------------------------------------

TEST(RebuildSyncTest, SpacingFilterDropsPulsesOffTheirPeriodExceptFirstAndLast) {
    struct {
        std::int64_t Offset;  // ticks added to pulses 0, 3 and 7 of eight
        int Valid;
    } const Cases[] = {{5000, 7}, {1250, 8}, {1251, 7}};
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Offset);
        std::vector<TRecord> Records = {ShotAt(9 * Sec)};
        for (int K = 0; K < 8; ++K) {
            const std::int64_t T = (10 + K) * Sec;
            const std::int64_t Off = (K == 0 || K == 3 || K == 7) ? C.Offset : 0;
            Records.push_back(PulseAt(T + 10, T + Off, std::uint32_t(1000 * (K + 1))));
            Records.push_back(ShotAt(T + Sec / 2));
        }
        TTestRecording Rec(Model("ZA26"));
        const TRebuilt R = Rebuild(Rec, Records);
        ASSERT_EQ(R.Code, 0) << R.Error;
        EXPECT_EQ(Count(R.Lines, PairsLine(C.Valid)), 1);
        if (C.Valid == 7) {
            // Around the dropped pulse the line through its neighbours holds.
            const std::vector<TEntry> Shots = ShotsOf(R.Entries, Rec.Records());
            EXPECT_EQ(Shots[3].Ext, 3500000);
            EXPECT_EQ(Shots[4].Ext, 4500000);
        }
    }
}

TEST(RebuildSyncTest, PulsePairedWithTheNextSecondMovesOntoItsOwnSecond) {
    // The third pulse reports 4000 ms though it came at 12 s; it belongs to 13 s.
    const std::vector<TRecord> Records = {ShotAt(9 * Sec),
                                          PulseAt(10 * Sec + 10, 10 * Sec, 1000),
                                          PulseAt(11 * Sec + 10, 11 * Sec, 2000),
                                          PulseAt(12 * Sec + 10, 12 * Sec, 4000),
                                          ShotAt(12 * Sec + Sec / 2),
                                          PulseAt(14 * Sec + 10, 14 * Sec, 5000),
                                          ShotAt(13 * Sec + Sec / 2)};
    TTestRecording Rec(Model("ZA26"));
    const TRebuilt R = Rebuild(Rec, Records);
    ASSERT_EQ(R.Code, 0) << R.Error;
    EXPECT_EQ(Count(R.Lines, PairsLine(4)), 1);
    EXPECT_EQ(R.Entries[4].Ext, 3500000);
    EXPECT_EQ(R.Entries[6].Ext, 4500000);
}

TEST(RebuildSyncTest, EqualOrBackwardPulsesAreDroppedNotDividedBy) {
    struct {
        const char* Name;
        std::vector<std::pair<std::int64_t, std::uint32_t>> Pulses;  // PPS ticks, ms
        int Valid;                                                   // 0: too few pairs
        std::vector<std::pair<std::int64_t, std::int64_t>> Shots;    // ticks, expected us
    } const Cases[] = {
        {"two pulses, one stamp", {{10 * Sec, 1000}, {10 * Sec, 1050}}, 0, {}},
        {"two pulses, second stamp earlier", {{10 * Sec, 1000}, {10 * Sec - 1000, 1050}}, 0, {}},
        // A small step back is a bad pulse, not a wrap of the clock that
        // would move every later pulse by 2^40 ticks.
        {"one stamp a little behind its predecessor",
         {{10 * Sec, 1000}, {11 * Sec, 2000}, {11 * Sec - 100, 3000}, {13 * Sec, 4000}, {14 * Sec, 5000}},
         4,
         {{10 * Sec + Sec / 2, 1500000}, {13 * Sec + Sec / 2, 4500000}}},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        std::vector<TRecord> Records = {ShotAt(9 * Sec)};
        for (const auto& [PPS, Ms] : C.Pulses) Records.push_back(PulseAt(PPS + 10, PPS, Ms));
        for (const auto& S : C.Shots) Records.push_back(ShotAt(S.first));
        TTestRecording Rec(Model("ZA26"));
        const TRebuilt R = Rebuild(Rec, Records);
        if (C.Valid == 0) {
            EXPECT_NE(R.Code, 0);
            EXPECT_EQ(R.Error, "Not enough time synchronization records");
            EXPECT_FALSE(Exists(IdxOf(Rec.Path())));
            continue;
        }
        ASSERT_EQ(R.Code, 0) << R.Error;
        EXPECT_EQ(Count(R.Lines, PairsLine(C.Valid)), 1);
        for (std::size_t I = 0; I < C.Shots.size(); ++I)
            EXPECT_EQ(R.Entries[1 + C.Pulses.size() + I].Ext, C.Shots[I].second) << I;
    }
}

TEST(RebuildSyncTest, OnlyPulsesOfASynchronisedReceiverCount) {
    const std::vector<TRecord> Records = {ShotAt(9 * Sec), PulseAt(10 * Sec, 10 * Sec, 1000),
                                          PulseAt(11 * Sec, 11 * Sec, 2000, 0x80),  // receiver not synchronised
                                          PulseAt(12 * Sec, 12 * Sec, 3000), ShotAt(12 * Sec)};
    TTestRecording Rec(Model("ZA26"));
    const TRebuilt R = Rebuild(Rec, Records);
    ASSERT_EQ(R.Code, 0) << R.Error;
    EXPECT_EQ(Count(R.Lines, PairsLine(2)), 1);
}

// --- State between rebuilds ---------------------------------------------------

TEST(RebuildSyncTest, RebuildingAgainGivesTheSameIndex) {
    // A housekeeping record too short for GPS data, first in the file: it
    // must see no GPS state, not what the previous scan ended with.
    const TRecHeader H = Model("ZA26", 1);
    TRecord Short = PulseAt(9 * Sec + 10, 9 * Sec, 900);
    Short.Dwords = std::uint16_t((TRecordingWriter::EncodeRecord(H, Short).size() - 4) / 4 - 1);
    std::vector<TRecord> Records = {ShotAt(9 * Sec), Short};
    for (int K = 0; K < 5; ++K) {
        Records.push_back(PulseAt((10 + K) * Sec + 10, (10 + K) * Sec, std::uint32_t(1000 * (K + 1))));
        Records.push_back(ShotAt((10 + K) * Sec + Sec / 2));
    }
    TTestRecording Rec(H);
    Rec.Write(Records, false);
    THandle Handle(Rec.Path());
    ASSERT_EQ(narvi_reindex(Handle.Get()), 0) << LastError();
    const std::vector<std::uint8_t> First = ReadFileBytes(IdxOf(Rec.Path()));
    ASSERT_EQ(Handle.Seek(0xFFFFFFFF), 0) << LastError();
    ASSERT_EQ(Handle.Read().Code, 0) << LastError();
    ASSERT_EQ(narvi_reindex(Handle.Get()), 0) << LastError();
    EXPECT_EQ(ReadFileBytes(IdxOf(Rec.Path())), First);
    EXPECT_EQ(Handle.Count(PairsLine(5)), 2);
}
