// Positioning: by record number, internal and external time; without an
// index; index entries that cannot point into the recording; damaged
// neighbours.

#include <cmath>
#include <limits>

#include "ReadTestSupport.h"

namespace {

// Five shots 1000 ticks (4 us) apart, each with its number as sample value.
// External times are 3x the tick times in microseconds so both searches differ.
class SeekTest : public ::testing::Test {
protected:
    void SetUp() override {
        TRecHeader H;
        H.ProtocolFlags = 0x1;
        Rec = std::make_unique<TTestRecording>(H);
        std::vector<TRecord> R;
        for (int I = 1; I <= 5; ++I)
            R.push_back(Shot(std::uint64_t(1000 * I), {Blk(0, 0x40, {std::uint8_t(I), 0, 0, 0})}));
        Rec->Write(R, true, [](std::vector<TIndexEntry>& E) {
            for (std::size_t I = 0; I < E.size(); ++I) E[I].TimeExt = 3000000 * (I + 1);
        });
    }
    // The number of the record a read returns, 0 when it fails.
    static int Which(const TShot& S) { return S.Code == 0 && S.Count ? S.Sbl[0].SAMPLE[0] : 0; }

    std::unique_ptr<TTestRecording> Rec;
};

}  // namespace

TEST_F(SeekTest, ByRecordNumber) {
    THandle H(Rec->Path());
    const struct {
        std::uint32_t Index;
        NARVI_INT32_T Code;
        std::uint32_t Tell;
    } Cases[] = {
        {3, 0, 3},           {1, 0, 1}, {5, 0, 5},
        {0xFFFFFFFFu, 0, 5}, {0, 1, 1},  // record numbers start at 1: reported, but positioned on record 1
        {6, 1, 5},                       // past the end: on the last record
        {0xFFFFFFFEu, 1, 5},
    };
    for (const auto& C : Cases) {
        EXPECT_EQ(H.Seek(C.Index), C.Code) << C.Index;
        EXPECT_EQ(LastError(), C.Code ? "Seek beyond end of file" : "(no error)") << C.Index;
        EXPECT_EQ(H.Tell(), C.Tell) << C.Index;
        EXPECT_EQ(Which(H.Read()), int(C.Tell)) << C.Index;
    }
    // Reading on from a seek walks on; a seek after the end brings the reader back.
    ASSERT_EQ(H.Seek(4), 0);
    EXPECT_EQ(Which(H.Read()), 4);
    EXPECT_EQ(Which(H.Read()), 5);
    EXPECT_EQ(H.Read().Code, NARVI_END_OF_FILE);
    EXPECT_EQ(H.Tell(), 6u);
    ASSERT_EQ(H.Seek(0xFFFFFFFFu), 0);
    EXPECT_EQ(H.Tell(), 5u);
    EXPECT_EQ(Which(H.Read()), 5);
}

TEST_F(SeekTest, ByInternalAndExternalTime) {
    THandle H(Rec->Path());
    const double Tick = 4e-9;
    const struct {
        double Internal;  // seconds
        int Record;
    } Internal[] = {{3000 * Tick, 3}, {2999 * Tick, 3}, {2000.5 * Tick, 3}, {2000.4 * Tick, 2},
                    {0, 1},           {-1, 1},          {1e6 * Tick, 5}};
    for (const auto& C : Internal) {
        ASSERT_EQ(narvi_seek_time(H.Get(), C.Internal), 0) << C.Internal << ": " << LastError();
        EXPECT_EQ(H.Tell(), std::uint32_t(C.Record)) << C.Internal;
        EXPECT_EQ(Which(H.Read()), C.Record) << C.Internal;
    }
    const struct {
        double External;
        int Record;
    } External[] = {{9.0, 3}, {8.5, 3}, {0.5, 1}, {15.0, 5}};
    for (const auto& C : External) {
        ASSERT_EQ(narvi_seek_time_external(H.Get(), C.External), 0) << C.External << ": " << LastError();
        EXPECT_EQ(H.Tell(), std::uint32_t(C.Record)) << C.External;
        EXPECT_EQ(Which(H.Read()), C.Record) << C.External;
    }
    EXPECT_EQ(narvi_seek_time_external(H.Get(), 15.000001), NARVI_ERR_UNKNOWN_EXCEPTION);
    EXPECT_EQ(LastError(), "Time stamp out of range (15000001)");

    // Times that are no position at all.
    const double Bad[] = {std::nan(""), std::numeric_limits<double>::infinity(),
                          -std::numeric_limits<double>::infinity(), 1e300, -1e12};
    for (double T : Bad) {
        ASSERT_EQ(H.Seek(2), 0);
        EXPECT_EQ(narvi_seek_time(H.Get(), T), NARVI_ERR_BAD_ARG) << T;
        const std::string Internal = LastError();
        EXPECT_EQ(narvi_seek_time_external(H.Get(), T), NARVI_ERR_BAD_ARG) << T;
        EXPECT_EQ(LastError(), Internal);
        EXPECT_TRUE(Internal.starts_with("Invalid time") || Internal.starts_with("Time out of range")) << Internal;
        EXPECT_EQ(H.Tell(), 2u) << "a refused seek leaves the position alone";
    }
}

TEST_F(SeekTest, EverythingPositionalNeedsTheIndex) {
    std::filesystem::remove(std::filesystem::path(Rec->Path()).replace_extension(".idx"));
    THandle H(Rec->Path());
    EXPECT_EQ(H.Read().Code, NARVI_ERR_MISSING_INDEX);
    EXPECT_EQ(LastError(), "No index available");
    NARVI_UINT32_T N = 77;
    EXPECT_EQ(narvi_tell(H.Get(), &N), NARVI_ERR_MISSING_INDEX);
    EXPECT_EQ(H.Seek(1), NARVI_ERR_MISSING_INDEX);
    EXPECT_EQ(narvi_seek_time(H.Get(), 0), NARVI_ERR_MISSING_INDEX);
    EXPECT_EQ(narvi_seek_time_external(H.Get(), 0), NARVI_ERR_MISSING_INDEX);
    EXPECT_EQ(LastError(), "No index available");
}

TEST_F(SeekTest, IndexEntriesOutsideTheRecordingAreRefused) {
    // Entries hold the size word's position; the record begins 4 bytes earlier at its sync word.
    const std::int64_t Size = std::int64_t(std::filesystem::file_size(Rec->Path())) + 4;
    for (std::int64_t Bad : {std::int64_t(-100), Size + 1, std::int64_t(1) << 40}) {
        Rec->Entries()[1].Position = Bad;
        Rec->WriteIndex();
        THandle H(Rec->Path());
        EXPECT_EQ(Which(H.Read()), 1);
        const TShot S = H.Read();
        EXPECT_EQ(S.Code, NARVI_ERR_BAD_ARG) << Bad;
        EXPECT_NE(LastError().find("lies outside the recording"), std::string::npos) << LastError();
        EXPECT_EQ(Which(H.Read()), 3) << "the reader goes on behind the bad entry";
        EXPECT_EQ(H.Seek(2), NARVI_ERR_BAD_ARG);
        EXPECT_NE(LastError().find("lies outside the recording"), std::string::npos) << LastError();
    }
    // An entry right at the end of the file is the end of the data.
    Rec->Entries()[1].Position = Size;
    Rec->WriteIndex();
    THandle H(Rec->Path());
    ASSERT_EQ(H.Seek(2), 0);
    EXPECT_EQ(H.Read().Code, NARVI_END_OF_FILE);
    EXPECT_NE(LastError().find("EOF reached"), std::string::npos) << LastError();
    EXPECT_EQ(Which(H.Read()), 3);
}

TEST_F(SeekTest, AnEmptyIndexHasNoRecords) {
    Rec->Entries().clear();
    Rec->WriteIndex();
    THandle H(Rec->Path());
    EXPECT_EQ(H.Read().Code, NARVI_END_OF_FILE);
    EXPECT_EQ(H.Seek(0xFFFFFFFFu), 0);
    EXPECT_EQ(narvi_seek_time(H.Get(), 1.0), 0);
    EXPECT_EQ(H.Read().Code, NARVI_END_OF_FILE);
}
