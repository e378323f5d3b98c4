// Reading shots through narvi_read: file order, index times, neighbours and
// continued sample blocks, channels and times, end of data, housekeeping.

#include <cmath>

#include "ReadTestSupport.h"

namespace {

constexpr std::uint8_t LP = 0x00, HP = 0x40, SHP = 0x80, REF = 0xC0;

TRecHeader Header31() {
    TRecHeader H;
    H.ProtocolFlags = 0x7;
    return H;
}

}  // namespace

TEST(Read, WalksTheFileInOrderWithIndexTimesAndEndsWithEndOfFile) {
    TTestRecording Rec(Header31());
    std::vector<TRecord> Records;
    for (int I = 0; I < 5; ++I) Records.push_back(Shot(1000000 + 100 * I, {Blk(8, HP, Ramp(8, std::uint8_t(I)))}));
    // Index times differ from the records' own: the index wins.
    Rec.Write(Records, true, [](std::vector<TIndexEntry>& E) {
        for (std::size_t I = 0; I < E.size(); ++I) {
            E[I].TimeExt = 7000000 + 1000 * I;
            E[I].TimeInt = 900000000 + 250 * I;
        }
    });
    THandle H(Rec.Path());
    EXPECT_EQ(H.Tell(), 1u);
    for (std::uint32_t I = 0; I < 5; ++I) {
        const TShot S = H.Read();
        ASSERT_EQ(S.Code, 0) << LastError();
        EXPECT_DOUBLE_EQ(S.TimeExt, (7000000 + 1000 * I) / 1e6);
        EXPECT_DOUBLE_EQ(S.TimeSorg, double((900000000 + 250 * std::int64_t(I)) * 4) / 1e9);
        ASSERT_EQ(S.Count, 1u) << S.Sbl[0].SAMPLE_COUNT;
        ASSERT_EQ(S.Sbl[0].SAMPLE_COUNT, 8u);
        EXPECT_EQ(S.Size, sizeof(NARVI_SBL_T));
        EXPECT_EQ(S.Samples(0), Wide(Ramp(8, std::uint8_t(I))));
        EXPECT_EQ(H.Tell(), I + 2);
    }
    // Behind the last record: end of file, every time, and the cursor behind it.
    for (int Again = 0; Again < 2; ++Again) {
        EXPECT_EQ(H.Read().Code, NARVI_END_OF_FILE);
        EXPECT_EQ(LastError(), "*** EOF ***");
        EXPECT_EQ(H.Tell(), 6u);
    }
    // A seek brings the records back.
    EXPECT_EQ(H.Seek(5), 0);
    EXPECT_EQ(H.Read().Code, 0);
    EXPECT_EQ(H.Read().Code, NARVI_END_OF_FILE);
}

TEST(Read, JoinsBlocksThatContinueOneAnotherWithinARecord) {
    // Time stamps count 4-ns ticks, a block of n samples lasts n/4 ticks.
    const struct {
        const char* Name;
        std::vector<TRecSampleBlock> Blocks;
        std::vector<std::uint32_t> Counts;  // after joining
    } Cases[] = {
        {"touching", {Blk(10, LP, Ramp(8)), Blk(12, LP, Ramp(4, 8))}, {12}},
        {"one-tick gap", {Blk(10, LP, Ramp(8)), Blk(13, LP, Ramp(4))}, {8, 4}},
        {"other channel", {Blk(10, LP, Ramp(8)), Blk(12, HP, Ramp(4))}, {8, 4}},
        {"three touching", {Blk(10, LP, Ramp(8)), Blk(12, LP, Ramp(8, 8)), Blk(14, LP, Ramp(4, 16))}, {20}},
        {"run after a lone block",
         {Blk(0, REF, Ramp(4)), Blk(20, HP, Ramp(1020)), Blk(275, HP, Ramp(1020)), Blk(530, HP, Ramp(8))},
         {4, 2048}},
    };
    for (const auto& C : Cases) {
        TTestRecording Rec(Header31());
        Rec.Write({Shot(5000, C.Blocks)});
        THandle H(Rec.Path());
        const TShot S = H.Read();
        ASSERT_EQ(S.Code, 0) << C.Name << ": " << LastError();
        ASSERT_EQ(S.Count, C.Counts.size()) << C.Name;
        for (std::size_t I = 0; I < C.Counts.size(); ++I) EXPECT_EQ(S.Sbl[I].SAMPLE_COUNT, C.Counts[I]) << C.Name;
        if (std::string(C.Name) == "three touching") {
            EXPECT_EQ(S.Samples(0), Wide(Ramp(20)));
        }
    }
}

TEST(Read, JoinLimitsFailTheRead) {
    TTestRecording Rec(Header31());
    // Three touching blocks of 1020 samples: 3060 samples cannot be one block.
    std::vector<TRecSampleBlock> Long = {Blk(0, LP, Ramp(1020)), Blk(255, LP, Ramp(1020)), Blk(510, LP, Ramp(1020))};
    // 32 blocks in the first record and a continuation in the second: a 33rd block.
    std::vector<TRecSampleBlock> Full;
    for (int I = 0; I < 32; ++I) Full.push_back(Blk(std::uint16_t(10 * I), HP, Ramp(4)));
    Rec.Write({Shot(1000, Long), Shot(2000, Full), Shot(2100, {Blk(211 - 100, HP, Ramp(4))}), Shot(3000)});
    THandle H(Rec.Path());
    TShot S = H.Read();
    EXPECT_EQ(S.Code, 1);
    EXPECT_EQ(LastError(), "Maximum number of sample values per sample block exceeded (3060)");
    S = H.Read();
    EXPECT_EQ(S.Code, 1);
    EXPECT_EQ(LastError(), "Maximum number of sample blocks exceeded (33)");
    // A failed read does not hold the reader on the record.
    EXPECT_EQ(H.Tell(), 3u);
}

TEST(Read, MovesContinuationsFromFollowingRecordsWithTheirTimesRebased) {
    TTestRecording Rec(Header31());
    // A waveform of four parts over three records, and a second channel that
    // continues once; times in ticks.
    const std::uint64_t T = 1000000;
    Rec.Write({
        Shot(T, {Blk(100, LP, Ramp(16)), Blk(300, HP, Ramp(8))}),           // LP ends at T+104, HP at T+302
        Shot(T + 50, {Blk(54, LP, Ramp(16, 16)), Blk(252, HP, Ramp(4, 8)),  // continuations
                      Blk(500, REF, Ramp(4, 200))}),                        // the record's own
        Shot(T + 100, {Blk(8, LP, Ramp(8, 32))}),                           // LP ends at T+108: third part
        Shot(T + 200, {Blk(0, LP, Ramp(4, 40))}),                           // T+200: not touching
    });
    THandle H(Rec.Path());
    ASSERT_EQ(narvi_set_mode_int(H.Get(), NARVI_MODE_RAW, 1), 0);

    TShot S = H.Read();
    ASSERT_EQ(S.Code, 0) << LastError();
    ASSERT_EQ(S.Count, 5u);
    // Moved blocks keep their own start time although they now count from this record.
    const double Tick = 4e-9;
    EXPECT_DOUBLE_EQ(S.Sbl[0].TIME_SOSBL, double((T + 100) * 4) / 1e9);
    std::vector<std::uint16_t> All;
    std::vector<double> Starts;
    for (std::uint32_t I = 0; I < S.Count; ++I) {
        Starts.push_back(S.Sbl[I].TIME_SOSBL);
        if (S.Sbl[I].CHANNEL == NARVI_CHANNEL_LP)
            for (std::uint16_t V : S.Samples(I)) All.push_back(V);
    }
    EXPECT_EQ(All, Wide(Ramp(40)));  // every LP part, none dropped, in order
    // Appended in the order found: LP, HP, then the HP and LP continuations.
    const std::uint32_t Channels[] = {NARVI_CHANNEL_LP, NARVI_CHANNEL_HP, NARVI_CHANNEL_HP, NARVI_CHANNEL_LP,
                                      NARVI_CHANNEL_LP};
    for (std::uint32_t I = 0; I < 5; ++I) EXPECT_EQ(S.Sbl[I].CHANNEL, Channels[I]) << I;
    EXPECT_NEAR(Starts[3] - Starts[0], 4 * Tick, 1e-15);  // where the first LP part ends
    EXPECT_NEAR(Starts[2] - Starts[1], 2 * Tick, 1e-15);  // where the HP block ends
    EXPECT_NEAR(Starts[4] - Starts[0], 8 * Tick, 1e-15);

    // The next records no longer hold what went to the first one.
    S = H.Read();
    ASSERT_EQ(S.Code, 0) << LastError();
    ASSERT_EQ(S.Count, 1u);
    EXPECT_EQ(S.Sbl[0].CHANNEL, NARVI_CHANNEL_REF);
    EXPECT_EQ(S.Samples(0), Wide(Ramp(4, 200)));
    S = H.Read();
    ASSERT_EQ(S.Code, 0) << LastError();
    EXPECT_EQ(S.Count, 0u);
    S = H.Read();
    ASSERT_EQ(S.Code, 0) << LastError();
    EXPECT_EQ(S.Count, 1u);
}

TEST(Read, ChannelsAndBlockTimesWithAndWithoutRawMode) {
    TRecHeader Header = Header31();
    Header.Numbers["PreQuadCount"] = {0, 1, 2, 3};
    Header.Numbers["RangeCorrPPM"] = {100};
    Header.Numbers["LoChannelRangeOffset"] = {1500};
    Header.Numbers["HiChannelRangeOffset"] = {-300};
    TTestRecording Rec(Header);
    const std::uint64_t T = 123456789;
    Rec.Write({Shot(T, {Blk(10, 0x00, Ramp(4)), Blk(20, 0x40, Ramp(4)), Blk(30, 0x80, Ramp(4)), Blk(40, 0xC0, Ramp(4)),
                        Blk(50, 0x7F, Ramp(4))})});
    THandle H(Rec.Path());
    const TKQMHeader& K = H.Reader().Header();
    ASSERT_EQ(K.PreQuadCount3, 3u);
    const double Half = double(K.RangeFactor) * 1e9;
    const std::int64_t Stamps[] = {10, 20, 30, 40, 50};
    const std::uint32_t Channels[] = {NARVI_CHANNEL_LP, NARVI_CHANNEL_HP, NARVI_CHANNEL_SHP, NARVI_CHANNEL_REF,
                                      NARVI_CHANNEL_HP};
    const double Shifts[] = {K.RangeOffsLP / Half - 12e-9, K.RangeOffsHP / Half - 8e-9, 0, -4e-9,
                             K.RangeOffsHP / Half - 8e-9};

    for (int Raw = 0; Raw < 2; ++Raw) {
        ASSERT_EQ(narvi_set_mode_int(H.Get(), NARVI_MODE_RAW, Raw), 0);
        ASSERT_EQ(H.Seek(1), 0);
        // A stale channel value from an earlier read must not survive.
        NARVI_SBL_PTR_T Dirty = nullptr;
        const TShot S = H.Read();
        ASSERT_EQ(S.Code, 0) << LastError();
        ASSERT_EQ(S.Count, 5u);
        Dirty = S.Sbl;
        for (int I = 0; I < 5; ++I) {
            EXPECT_EQ(Dirty[I].CHANNEL, Channels[I]) << I;
            const double Base = double((Stamps[I] + std::int64_t(T)) * 4) / 1e9;
            EXPECT_DOUBLE_EQ(Dirty[I].TIME_SOSBL, Raw ? Base : Base + Shifts[I]) << "block " << I << " raw " << Raw;
            EXPECT_EQ(Dirty[I].SAMPLE_SIZE, 2u);
        }
    }
}

TEST(Read, SampleValuesUpToTheBufferAndNotBeyond) {
    TTestRecording Rec(Header31());
    auto Blocks = [](int Last) {
        std::vector<TRecSampleBlock> B;
        for (int I = 0; I < 4; ++I) B.push_back(Blk(std::uint16_t(1000 * I), HP, Ramp(1020, std::uint8_t(I))));
        B.push_back(Blk(5000, LP, Ramp(std::size_t(Last))));
        return B;
    };
    Rec.Write({Shot(1000, Blocks(16)), Shot(2000, Blocks(20)), Shot(3000)});  // 4096 and 4100 samples
    THandle H(Rec.Path());
    TShot S = H.Read();
    ASSERT_EQ(S.Code, 0) << LastError();
    EXPECT_EQ(S.Count, 5u);
    EXPECT_EQ(S.Sbl[4].SAMPLE, S.Sbl[0].SAMPLE + 4080);  // back to back in block order
    EXPECT_EQ(S.Samples(3).front(), 3u);
    S = H.Read();
    EXPECT_EQ(S.Code, 666);
    EXPECT_EQ(LastError(), "Maximum sample values exceeded (4097)");
    EXPECT_EQ(H.Tell(), 3u);  // the position is behind the refused record
    EXPECT_EQ(H.Read().Code, 0);

    // Counts that are no multiple of four come only from a slot filled by hand.
    auto Slot = std::make_unique<TKQMMeasBlock>();
    Slot->SampleBlockCount = 3;
    for (int I = 0; I < 3; ++I) {
        Slot->SampleBlocks[I].SampleCount = I < 2 ? 2048 : 1;
        Slot->SampleBlocks[I].ChannelDescriptor = HP;
        Slot->SampleBlocks[I].Samples.fill(std::uint8_t(7 + I));
    }
    NARVI_UINT32_T Count = 0, Size = 0;
    NARVI_SBL_PTR_T Sbl = nullptr;
    ReadOutput(H.Reader(), *Slot, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &Count, &Size, &Sbl);
    ASSERT_EQ(Count, 3u);
    EXPECT_EQ(Sbl[2].SAMPLE[0], 9u);
    EXPECT_EQ(Sbl[2].SAMPLE - Sbl[0].SAMPLE, 4096);
    Slot->SampleBlocks[2].SampleCount = 2;
    try {
        ReadOutput(H.Reader(), *Slot, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &Count, &Size, &Sbl);
        ADD_FAILURE() << "4098 samples accepted";
    } catch (const EKQMError& E) {
        EXPECT_EQ(E.FResult, 666);
        EXPECT_EQ(E.Message(), "Maximum sample values exceeded (4097)");
    }
}

TEST(Read, HousekeepingRecordsAndTheGPSStateOfEachRecord) {
    TTestRecording Rec(Header31());
    // Measurement block 3.x takes the GPS state from housekeeping records only.
    Rec.Write({Shot(1000, {Blk(0, LP, Ramp(4))}), TRecord::House(1100, 1050, 500000, 0x00),
               Shot(1200, {Blk(0, LP, Ramp(4))}), TRecord::House(1300, 1250, 501000, 0x80),
               Shot(1400, {Blk(0, LP, Ramp(4))})});
    THandle H(Rec.Path());
    const struct {
        NARVI_UINT16_T Flags;
        bool House;
    } Expected[] = {{0, false}, {4 | 3, true}, {3, false}, {4 | 2, true}, {2, false}};
    for (std::uint32_t I = 0; I < 5; ++I) {
        const TShot S = H.Read();
        ASSERT_EQ(S.Code, 0) << LastError();
        EXPECT_EQ(S.Flags, Expected[I].Flags) << "record " << I + 1;
        EXPECT_EQ(H.Tell(), I + 2);  // never stalls on a housekeeping record
        EXPECT_DOUBLE_EQ(S.TimeSorg, double((1000 + 100 * std::int64_t(I)) * 4) / 1e9);
        if (Expected[I].House) {
            EXPECT_EQ(S.Sbl, nullptr);
            EXPECT_EQ(S.Count, 0u);
            EXPECT_EQ(S.Size, sizeof(NARVI_SBL_T));
            EXPECT_EQ(S.Facet, 0u);
            EXPECT_TRUE(std::isnan(S.Ori.x) && std::isnan(S.Dir.z));
        } else {
            EXPECT_EQ(S.Count, 1u);
            EXPECT_FALSE(std::isnan(S.Dir.x));
        }
    }

    // Measurement blocks 1.x and 2.x carry the state in every record.
    TRecHeader H2 = Header31();
    H2.MeasMain = 2;
    H2.MeasSub = 0;
    TTestRecording Rec2(H2);
    TRecord A = Shot(1000), B = Shot(2000);
    A.Descriptor = 0x00;  // synchronised, also within the last second
    B.Descriptor = 0xC0;
    Rec2.Write({A, B});
    THandle H2Handle(Rec2.Path());
    EXPECT_EQ(H2Handle.Read().Flags, 3u);
    EXPECT_EQ(H2Handle.Read().Flags, 0u);
}
