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
