// Record framing and decoding: every measurement block version, the protocol
// flags, housekeeping records, damage at every framing point with and without
// sync words, and the resynchronisation search.

#include <cmath>
#include <random>

#include "ReaderTestAccess.h"
#include "ReadTestSupport.h"

namespace {

// Decodes every record of a recording straight from the reader, without index.
std::vector<std::unique_ptr<TKQMMeasBlock>> DecodeAll(TKQMReader& R, int Count) {
    std::vector<std::unique_ptr<TKQMMeasBlock>> Out;
    TKQMReaderTestAccess::Reset(R);
    for (int I = 0; I < Count; ++I) {
        Out.push_back(std::make_unique<TKQMMeasBlock>());
        TKQMReaderTestAccess::DecodeRecord(R, Out.back().get());
    }
    return Out;
}

constexpr std::uint64_t Week = 604800000000ULL;

}  // namespace

TEST(Decode, EveryMeasurementBlockVersion) {
    const struct { std::uint16_t Main, Sub; } Versions[] = {{1, 0}, {1, 1}, {2, 0}, {2, 1}, {3, 0}, {3, 1}};
    for (const auto& V : Versions) {
        TRecHeader H;
        H.MeasMain = V.Main;
        H.MeasSub = V.Sub;
        TTestRecording Rec(H);
        std::vector<TRecord> R(4);
        const std::uint64_t Times[] = {5, Week + 7, Week, 0xFFFFFFFFFFULL};
        const std::uint32_t Frames[] = {1048576, 1048577, 0, 0x1FFFFF};
        for (int I = 0; I < 4; ++I) {
            R[I] = Shot(Times[I], {Blk(std::uint16_t(10 + I), 0x40, Ramp(4 * std::size_t(I + 1), std::uint8_t(I)))});
            R[I].Descriptor = std::uint8_t(I == 1 ? 0x00 : 0xC0);
            R[I].LineEncoderValue = 0xABCDEF;
            R[I].FrameEncoderValue = Frames[I];
            R[I].Enc0[0] = 1000, R[I].Enc0[1] = 2000, R[I].Enc0[2] = 3000;
            R[I].Enc1[0] = 4000, R[I].Enc1[1] = 5000, R[I].Enc1[2] = 6000;
        }
        Rec.Write(R, false);
        THandle Handle(Rec.Path());
        TKQMReader& Reader = Handle.Reader();
        const auto P = DecodeAll(Reader, 4);
        const std::string Name = std::to_string(V.Main) + "." + std::to_string(V.Sub);
        for (int I = 0; I < 4; ++I) {
            const TKQMMeasBlock& M = *P[std::size_t(I)];
            ASSERT_TRUE(M.Valid) << Name;
            EXPECT_EQ(M.Start, Rec.Records()[std::size_t(I)].SizeWord) << Name;
            if (V.Main < 3) {
                // Microseconds of the week: above one week folded once, one week itself kept.
                const std::int64_t Us[] = {5, 7, std::int64_t(Week), std::int64_t(0xFFFFFFFFFFULL - Week)};
                EXPECT_EQ(M.TimeUs, Us[I]) << Name;
                EXPECT_EQ(M.Time4ns, Us[I] * 250) << Name;
            } else {
                EXPECT_EQ(M.Time4ns, std::int64_t(Times[I])) << Name;
                EXPECT_EQ(M.TimeUs, std::int64_t(Times[I]) / 250) << Name;
            }
            if (V.Main == 1) {
                EXPECT_EQ(M.LEV, 0xABCDEFu) << Name;
            }
            if (V.Main == 2) {
                EXPECT_EQ(M.LEPC, 1000);
                EXPECT_EQ(M.LEFC, 2000);
                EXPECT_EQ(M.LECC, 3000);
            }
            if (V.Main == 3) {
                EXPECT_EQ(M.LEPC0, 1000);
                EXPECT_EQ(M.LECC0, 3000);
                EXPECT_EQ(M.LEPC1, 4000);
                EXPECT_EQ(M.LEFC1, 5000);
                EXPECT_EQ(M.LECC1, 6000);
            }
            const std::int32_t Fev[] = {1048576, -1048575, 0, -1};
            EXPECT_EQ(M.FEV, V.Sub == 1 ? Fev[I] : 0) << Name << " record " << I;
            ASSERT_EQ(M.SampleBlockCount, 1) << Name;
            EXPECT_EQ(M.SampleBlocks[0].SampleBlockTimeStamp, 10 + I);
            EXPECT_EQ(M.SampleBlocks[0].ChannelDescriptor, 0x40);
            EXPECT_EQ(M.SampleBlocks[0].SampleCount, 4 * (I + 1));
            EXPECT_EQ(M.SampleBlocks[0].Samples[std::size_t(4 * I + 3)], std::uint8_t(I + 4 * I + 3));
        }
        // Versions 1.x and 2.x carry the GPS state in each record; 3.x do not.
        const TKQMHouseBlock& G = TKQMReaderTestAccess::HouseBlock(Reader);
        EXPECT_FALSE(G.GPSSynchronized) << Name;
        EXPECT_EQ(P[1]->GPSSynchronized, V.Main < 3) << Name;
        EXPECT_EQ(P[1]->GPSSyncLastSecond, V.Main < 3) << Name;
        EXPECT_FALSE(P[2]->GPSSynchronized) << Name;
        // The end of the data.
        TKQMMeasBlock Extra;
        EXPECT_THROW(TKQMReaderTestAccess::DecodeRecord(Reader, &Extra), EEOF);
    }
}

TEST(Decode, EveryProtocolFlagCombination) {
    for (std::uint32_t Flags = 0; Flags < 16; ++Flags) {
        TRecHeader H;
        H.ProtocolFlags = Flags;
        TTestRecording Rec(H);
        std::vector<TRecord> R;
        for (int I = 0; I < 4; ++I)
            R.push_back(Shot(1000 * std::uint64_t(I + 1), {Blk(0, 0x40, Ramp(8, std::uint8_t(I)))}));
        // A checksum that does not match: only verified with bit 2.
        R[1].Checksum = 0x12345678;
        Rec.Write(R);
        THandle Handle(Rec.Path());
        const bool Checked = (Flags & 0x6) == 0x6;
        for (int I = 0; I < 4; ++I) {
            const TShot S = Handle.Read();
            if (I == 1 && Checked) {
                if (Flags & 1) {
                    // Resynchronised onto the next record, which is returned with its own number.
                    ASSERT_EQ(S.Code, 0) << Flags << ": " << LastError();
                    EXPECT_EQ(S.Samples(0)[0], 2u) << Flags;
                    EXPECT_EQ(Handle.Tell(), 4u);
                    ++I;
                } else {
                    EXPECT_EQ(S.Code, NARVI_ERR_UNKNOWN_EXCEPTION) << Flags;
                    EXPECT_EQ(LastError(), "Cannot synchronize - no sync field present!");
                }
                // Once as current record, maybe again as a neighbour.
                EXPECT_GE(Handle.Count("CRC checksum invalid (at "), 1) << Flags;
                continue;
            }
            ASSERT_EQ(S.Code, 0) << "flags " << Flags << " record " << I << ": " << LastError();
            ASSERT_EQ(S.Count, 1u);
            EXPECT_EQ(S.Samples(0), Wide(Ramp(8, std::uint8_t(I)))) << Flags;
        }
        EXPECT_EQ(Handle.Read().Code, NARVI_END_OF_FILE) << Flags;
    }
}

TEST(Decode, HousekeepingRecordsUpdateTheGPSState) {
    for (std::uint16_t HouseMain : {1, 2}) {
        TRecHeader H;
        H.HouseMain = HouseMain;
        H.HouseSub = 0;
        TTestRecording Rec(H);
        TRecord Short = TRecord::House(400, 0x1122334455ULL, 2222, 0x00);
        Short.Dwords = std::uint16_t(6 + 12);  // header and readings, but not the GPS state
        Rec.Write({TRecord::House(100, 0xAB12345678ULL, 123456789, 0x00), TRecord::House(200, 5, 6, 0x40),
                   TRecord::House(300, 7, 8, 0x80), Short},
                  false);
        THandle Handle(Rec.Path());
        TKQMReader& Reader = Handle.Reader();
        TKQMReaderTestAccess::Reset(Reader);
        TKQMMeasBlock M;
        const TKQMHouseBlock& G = TKQMReaderTestAccess::HouseBlock(Reader);
        const struct {
            bool Sync, Last;
            std::int64_t PPS;
            std::uint32_t Ms;
        } Expected[] = {
            {true, true, 0xAB12345678LL, 123456789}, {true, false, 5, 6}, {false, true, 7, 8}, {false, true, 7, 8}};
        for (const auto& E : Expected) {
            TKQMReaderTestAccess::DecodeRecord(Reader, &M);
            ASSERT_TRUE(M.Valid);
            EXPECT_EQ(M.Content & 1, 1);
            EXPECT_EQ(M.SampleBlockCount, 0);
            if (HouseMain == 1) {
                EXPECT_FALSE(G.GPSSynchronized);
                EXPECT_EQ(G.PPSTimeStamp, 0);
                continue;
            }
            EXPECT_EQ(G.GPSSynchronized, E.Sync);
            EXPECT_EQ(G.GPSSyncLastSecond, E.Last);
            EXPECT_EQ(G.PPSTimeStamp, E.PPS);
            EXPECT_EQ(G.Milliseconds, E.Ms);
        }
    }
}

namespace {

enum class TDamage { SyncWord, SizeHuge, SizeZero, SizeOne, SizeBelowHeader, Checksum };

struct TDamageCase {
    const char* Name;
    TDamage Kind;
};

const TDamageCase DamageCases[] = {
    {"wrong sync word", TDamage::SyncWord},
    {"size word 0x4001", TDamage::SizeHuge},
    {"size word 0", TDamage::SizeZero},
    {"size word 1", TDamage::SizeOne},
    {"size below header", TDamage::SizeBelowHeader},
    {"wrong checksum", TDamage::Checksum},
};

}  // namespace

TEST(Decode, DamageAtEveryFramingPoint) {
    for (const bool Sync : {true, false}) {
        for (const TDamageCase& C : DamageCases) {
            if (C.Kind == TDamage::SyncWord && !Sync) continue;
            const std::string Name = std::string(C.Name) + (Sync ? " with" : " without") + " sync words";
            TRecHeader H;
            H.ProtocolFlags = Sync ? 0x7 : 0x6;
            TTestRecording Rec(H);
            std::vector<TRecord> R;
            for (int I = 1; I <= 5; ++I)
                R.push_back(Shot(std::uint64_t(1000 * I), {Blk(0, 0x40, {std::uint8_t(I), 0, 0, 0})}));
            TRecord& Bad = R[2];
            switch (C.Kind) {
            case TDamage::SyncWord:
                Bad.Sync = 0x5AA5C33D;
                break;
            case TDamage::SizeHuge:
                Bad.Dwords = 0x4001;
                break;
            case TDamage::SizeZero:
                Bad.Dwords = 0;
                break;
            case TDamage::SizeOne:
                Bad.Dwords = 1;
                break;
            case TDamage::SizeBelowHeader:
                Bad.Dwords = 5;
                break;  // 20 bytes, header is 24
            case TDamage::Checksum:
                Bad.Checksum = 0;
                break;
            }
            Rec.Write(R);
            THandle Handle(Rec.Path());
            ASSERT_EQ(Handle.Seek(3), 0) << Name;
            const TShot S = Handle.Read();
            EXPECT_EQ(Handle.Count("<!> MeasBlock#        3: Position "), 1) << Name;
            if (Sync) {
                // The record behind the damage is returned, as what it is.
                ASSERT_EQ(S.Code, 0) << Name << ": " << LastError();
                EXPECT_EQ(S.Sbl[0].SAMPLE[0], 4u) << Name;
                EXPECT_DOUBLE_EQ(S.TimeSorg, 4000 * 4e-9) << Name;
                EXPECT_EQ(Handle.Count("(i) Synchronization successful ("), 1) << Name;
                EXPECT_EQ(Handle.Tell(), 5u) << Name;
            } else {
                EXPECT_EQ(S.Code, NARVI_ERR_UNKNOWN_EXCEPTION) << Name;
                EXPECT_EQ(LastError(), "Cannot synchronize - no sync field present!") << Name;
                EXPECT_EQ(Handle.Count("[x] Synchronization failed: Cannot synchronize - no sync field present!"), 1)
                    << Name;
                // The next read succeeds on the next good record.
                const TShot Next = Handle.Read();
                ASSERT_EQ(Next.Code, 0) << Name << ": " << LastError();
                EXPECT_EQ(Next.Sbl[0].SAMPLE[0], 4u) << Name;
            }
            const TShot Last = Handle.Read();
            ASSERT_EQ(Last.Code, 0) << Name << ": " << LastError();
            EXPECT_EQ(Last.Sbl[0].SAMPLE[0], 5u) << Name;

            // Walking the file from the start passes the damage as well, and
            // the damaged record is no neighbour of the ones around it.
            ASSERT_EQ(Handle.Seek(1), 0);
            int Good = 0;
            for (int I = 0; I < 8; ++I) {
                const TShot W = Handle.Read();
                if (W.Code == NARVI_END_OF_FILE) break;
                Good += W.Code == 0;
            }
            EXPECT_EQ(Good, 4) << Name;
        }
    }
}

TEST(Decode, TruncatedLastRecordEndsWithEndOfFile) {
    TRecHeader H;
    H.ProtocolFlags = 0x7;
    TTestRecording Rec(H);
    Rec.Write({Shot(1000, {Blk(0, 0x40, Ramp(8))}), Shot(2000, {Blk(0, 0x40, Ramp(8))})});
    const TRecordInfo Last = Rec.Records()[1];
    const std::vector<std::uint8_t> Whole = ReadFileBytes(Rec.Path());
    const struct {
        std::int64_t Keep;  // bytes of the last record left
        const char* Message;
    } Cases[] = {
        {2, "Cannot read sync field (4 bytes): EOF reached"},
        {5, "Cannot read size of measurement block (2 bytes): EOF reached"},
        {20, "Cannot read measurement block (34 bytes): EOF reached"},
        {Last.Length - 1, "Cannot read checksum (4 bytes): EOF reached"},
    };
    for (const auto& C : Cases) {
        std::vector<std::uint8_t> Cut(Whole.begin(), Whole.begin() + Last.Offset + C.Keep);
        WriteFileBytes(Rec.Path(), Cut);
        THandle Handle(Rec.Path());
        ASSERT_EQ(Handle.Read().Code, 0) << C.Message;
        EXPECT_EQ(Handle.Read().Code, NARVI_END_OF_FILE) << C.Message;
        EXPECT_NE(LastError().find(C.Message), std::string::npos) << LastError();
        EXPECT_EQ(Handle.Count("Synchronization"), 0) << "no resynchronisation at the end";
        EXPECT_EQ(Handle.Read().Code, NARVI_END_OF_FILE);
        EXPECT_EQ(Handle.Tell(), 3u);
    }
}

TEST(Decode, SampleBlocksThatDoNotFitAreDroppedWithAWarning) {
    TRecHeader H;
    H.ProtocolFlags = 0x7;
    TTestRecording Rec(H);
    std::vector<TRecSampleBlock> Many;
    for (int I = 0; I < 40; ++I) Many.push_back(Blk(std::uint16_t(10 * I), 0x40, {std::uint8_t(I), 0, 0, 0}));
    TRecord TooMany = Shot(1000, Many);
    TRecord PastEnd = Shot(2000, {Blk(0, 0x40, Ramp(8)), Blk(100, 0x40, Ramp(4))});
    PastEnd.Blocks[1].NumQuads = 200;  // runs far past the block
    TRecord Declared = Shot(3000, {Blk(0, 0x40, Ramp(8)), Blk(100, 0x00, Ramp(4))});
    Declared.NumSampleBlocks = 255;
    Rec.Write({TooMany, PastEnd, Declared, Shot(4000, {Blk(0, 0x40, Ramp(4))})});
    THandle Handle(Rec.Path());
    const std::uint32_t Kept[] = {32, 1, 2, 1};
    for (std::uint32_t K : Kept) {
        const TShot S = Handle.Read();
        ASSERT_EQ(S.Code, 0) << LastError();
        EXPECT_EQ(S.Count, K);
    }
    // Each of the three records warns once as current record (and may again as a neighbour).
    EXPECT_GE(Handle.Count("SampleBlockLength ("), 3);
    EXPECT_NE(Handle.Lines.end(), std::find(Handle.Lines.begin(), Handle.Lines.end(),
                                            "<!> MeasBlock#        0: SampleBlockLength (344) and MeasBlockSize (344) "
                                            "inconsistent"));
}

TEST(Decode, ResynchronisationFindsSyncWordsAcrossChunkBorders) {
    // The search reads 256-byte chunks; put the next sync word 254 bytes
    // behind where the search starts, so that it straddles two chunks.
    for (const std::int64_t Skip : {std::int64_t(254), std::int64_t(253), std::int64_t(256), std::int64_t(3)}) {
        TRecHeader H;
        H.ProtocolFlags = 0x7;
        TTestRecording Rec(H);
        TRecord Bad = Shot(2000, {Blk(0, 0x40, Ramp(8))});
        Bad.Sync = 0;
        const std::int64_t BadLength = std::int64_t(TRecordingWriter::EncodeRecord(H, Bad).size());
        const std::int64_t Garbage = Skip - (BadLength - 4);
        std::vector<std::uint8_t> Pad(std::size_t(std::max<std::int64_t>(Garbage, 0)), 0x11);
        {
            TRecordingWriter W(Rec.Path(), H);
            W.Write(Shot(1000, {Blk(0, 0x40, {1, 0, 0, 0})}));
            if (Garbage >= 0) {
                W.Write(Bad);
                W.WriteGarbage(Pad);
            } else {
                // A sync word that is wrong in its last byte only, right before the good one.
                W.WriteGarbage({0x5A, 0xA5, 0xC3, 0x00});
            }
            W.Write(Shot(3000, {Blk(0, 0x40, {3, 0, 0, 0})}));
            W.Close();
            std::vector<TIndexEntry> E = EntriesOf(W);
            // The index knows the damaged record where it was written.
            if (Garbage < 0) E.insert(E.begin() + 1, TIndexEntry{2000, E[1].Position - 4, 2000});
            TIndexFile F;
            F.Entries = E;
            F.Write(std::filesystem::path(Rec.Path()).replace_extension(".idx").string());
        }
        THandle Handle(Rec.Path());
        ASSERT_EQ(Handle.Seek(2), 0);
        const TShot S = Handle.Read();
        ASSERT_EQ(S.Code, 0) << Skip << ": " << LastError();
        EXPECT_EQ(S.Sbl[0].SAMPLE[0], 3u);
        const std::int64_t Expected = Garbage >= 0 ? Skip : 0;
        EXPECT_EQ(Handle.Count("(i) Synchronization successful (" + std::to_string(Expected) + " bytes skipped)"), 1)
            << Skip;
    }
}

TEST(Decode, NoFurtherSyncWordIsTheEnd) {
    TRecHeader H;
    H.ProtocolFlags = 0x1;
    TTestRecording Rec(H);
    TRecord Bad = Shot(2000, {Blk(0, 0x40, Ramp(300))});
    Bad.Sync = 0x01020304;
    Rec.Write({Shot(1000), Bad});
    THandle Handle(Rec.Path());
    ASSERT_EQ(Handle.Seek(2), 0);
    EXPECT_EQ(Handle.Read().Code, NARVI_END_OF_FILE);
    EXPECT_EQ(LastError(), "*** EOF ***");
    EXPECT_EQ(Handle.Count("[x] Synchronization failed: *** EOF ***"), 1);
}

TEST(Decode, ARecordFoundByResynchronisationMustBeInTheIndex) {
    TRecHeader H;
    H.ProtocolFlags = 0x7;
    TTestRecording Rec(H);
    std::vector<TRecord> R;
    for (int I = 1; I <= 5; ++I) R.push_back(Shot(std::uint64_t(1000 * I), {Blk(0, 0x40, {std::uint8_t(I), 0, 0, 0})}));
    R[2].Checksum = 0;
    // An index that does not know record 4, which the decoder finds behind the damaged record 3.
    Rec.Write(R, true, [](std::vector<TIndexEntry>& E) { E.erase(E.begin() + 3); });
    THandle Handle(Rec.Path());
    ASSERT_EQ(Handle.Seek(3), 0);
    EXPECT_EQ(Handle.Read().Code, NARVI_ERR_BAD_ARG);
    EXPECT_NE(LastError().find("Record found by resynchronization is not in the index"), std::string::npos)
        << LastError();
    // The next read is the next record the index knows.
    EXPECT_EQ(Handle.Tell(), 4u);
    const TShot S = Handle.Read();
    ASSERT_EQ(S.Code, 0) << LastError();
    EXPECT_EQ(S.Sbl[0].SAMPLE[0], 5u);
}

TEST(Decode, RandomDamageNeverStopsAWalkThroughTheFile) {
    std::mt19937 Rng(7);
    for (const std::uint32_t Flags : {0x0u, 0x1u, 0x6u, 0x7u}) {
        TRecHeader H;
        H.ProtocolFlags = Flags;
        TTestRecording Rec(H);
        std::vector<TRecord> R;
        for (int I = 0; I < 60; ++I) {
            R.push_back(Shot(std::uint64_t(1000 + 50 * I), {Blk(100, 0x00, Ramp(180)), Blk(95, 0x40, Ramp(60))}));
            if (I % 7 == 3) R.push_back(TRecord::House(std::uint64_t(1000 + 50 * I + 1), 5, 6));
        }
        Rec.Write(R);
        std::vector<std::uint8_t> Bytes = ReadFileBytes(Rec.Path());
        const std::size_t Header = std::size_t(Rec.Records().front().Offset);
        std::uniform_int_distribution<std::size_t> Where(Header, Bytes.size() - 1);
        for (int I = 0; I < 40; ++I) Bytes[Where(Rng)] = std::uint8_t(Rng());
        WriteFileBytes(Rec.Path(), Bytes);

        THandle Handle(Rec.Path());
        int Reads = 0;
        while (Handle.Read().Code != NARVI_END_OF_FILE || Handle.Tell() <= Rec.Records().size()) {
            ASSERT_LE(++Reads, int(Rec.Records().size()) + 1) << "flags " << Flags;
        }
        EXPECT_EQ(Handle.Tell(), Rec.Records().size() + 1);
    }
}
