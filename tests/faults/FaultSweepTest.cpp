// Each file operation of the library is run again and again with one system
// call failing: the first, the second, ... (sampled on long runs), once with
// EIO, once with ENOSPC on the calls that write, once with reads and writes
// moving only half their bytes. Every run must either succeed with exactly
// the result of an undisturbed run or fail with a code and a text that says
// what went wrong; an index build that fails leaves the previous index as it
// was, still usable, and no temporary file.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "CaseBlind.h"
#include "Faults.h"
#include "IndexCreate.h"
#include "IndexWriter.h"
#include "KQMIndex.h"
#include "RecordingWriter.h"
#include "TempDir.h"
#include "narvi.h"

namespace {

using TBytes = std::vector<std::uint8_t>;

// What one narvi_read hands out, by value.
struct TShot {
    std::int32_t Code = 0;
    double TimeSorg = 0, TimeExt = 0;
    std::uint16_t Flags = 0;
    std::vector<std::vector<std::uint16_t>> Blocks;
    bool operator==(const TShot&) const = default;
};

std::string LastError() {
    NARVI_CSZ_T Text = nullptr;
    narvi_get_last_error(&Text);
    return Text ? Text : "(null)";
}

TShot ReadShot(NARVI_FILE_T H) {
    TShot S;
    NARVI_UINT32_T Count = 0, Size = 0;
    NARVI_SBL_PTR_T Sbl = nullptr;
    S.Code = narvi_read(H, &S.TimeSorg, &S.TimeExt, nullptr, nullptr, &S.Flags, nullptr, &Count, &Size, &Sbl);
    if (S.Code == 0 && Sbl)
        for (NARVI_UINT32_T B = 0; B < Count; ++B)
            S.Blocks.emplace_back(Sbl[B].SAMPLE, Sbl[B].SAMPLE + Sbl[B].SAMPLE_COUNT);
    return S;
}

// Reads until the first result other than success; the last shot holds that result.
std::vector<TShot> ReadAll(NARVI_FILE_T H) {
    std::vector<TShot> All;
    do All.push_back(ReadShot(H));
    while (All.back().Code == 0 && All.size() < 100000);
    return All;
}

std::vector<TShot> ReadFile(const std::string& Path) {
    NARVI_FILE_T H = nullptr;
    if (narvi_open(Path.c_str(), &H) != 0) {
        TShot Failed;
        Failed.Code = -100;  // no code of the interface: the file did not open
        return {Failed};
    }
    std::vector<TShot> All = ReadAll(H);
    narvi_close(H);
    return All;
}

// A failure must come with a text of its own, not the success text nor an empty one.
void ExpectClearText(const std::string& Text) {
    EXPECT_FALSE(Text.empty());
    EXPECT_NE(Text, "(no error)");
    EXPECT_NE(Text, "Unknown exception");
}

// Written afresh: a vfat folder through fusefat cannot cut a file to a new length.
void Put(const std::string& Path, const TBytes& Bytes) {
    std::filesystem::remove(Path);
    WriteFileBytes(Path, Bytes);
}

// Every N when there are few calls; else the first and last hundred and a hundred between.
std::vector<long> Points(long Calls) {
    std::vector<long> N;
    for (long I = 1; I <= Calls; ++I)
        if (Calls <= 300 || I <= 100 || I > Calls - 100 || (I - 100) % ((Calls - 200) / 100 + 1) == 0) N.push_back(I);
    return N;
}

class FaultSweep : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Dir = std::make_unique<TTempDir>();
        Kqm = Dir->File("shot.kqm");
        Idx = Dir->File("shot.idx");
        TRecHeader H;
        H.ProtocolFlags = 3;  // sync words and checksums
        H.MeasMain = 2;       // microsecond stamps, which the standalone builders can index too
        TRecordingWriter W(Kqm, H);
        // Pairs of shots a microsecond (250 ticks) apart: the second's first
        // block continues the first's last one, so that a read joins them.
        for (int I = 0; I < 1200; ++I) {
            const std::uint64_t Time = 1000000 + 4000 * std::uint64_t(I / 2) + std::uint64_t(I % 2);
            if (I % 50 == 10) W.Write(TRecord::House(Time, 250000000, 1000 * I));
            TRecord R;
            R.Time = Time;
            R.Descriptor = 0xC0;
            R.Enc0[0] = R.Enc1[0] = 1;
            std::vector<std::uint8_t> S(16 + I % 3 * 8);
            for (std::size_t K = 0; K < S.size(); ++K) S[K] = std::uint8_t(I + 7 * K);
            if (I % 2) {
                R.Blocks.push_back({54, 0x00, S, {}});  // 250 + 54 = 300 + 16 / 4
                R.Blocks.push_back({100, 0x40, S, {}});
            } else {
                R.Blocks.push_back({0, 0x40, S, {}});
                R.Blocks.push_back({300, 0x00, std::vector<std::uint8_t>(16, std::uint8_t(I)), {}});
            }
            W.Write(R);
        }
        W.Close();
        TIndexFile F;
        F.Entries = EntriesOf(W);
        Prior = F.Encode();
        Put(Idx, Prior);

        Reference = ReadFile(Kqm);
        NARVI_FILE_T Handle = nullptr;
        ASSERT_EQ(narvi_open(Kqm.c_str(), &Handle), 0);
        ASSERT_EQ(narvi_reindex(Handle), 0) << LastError();
        narvi_close(Handle);
        Rebuilt = ReadFileBytes(Idx);
        ReferenceRebuilt = ReadFile(Kqm);
        Put(Idx, Prior);
        IndexCreate(Kqm, Dir->File("made.idx"));
        Made = ReadFileBytes(Dir->File("made.idx"));
    }
    static void TearDownTestSuite() { Dir.reset(); }

    void SetUp() override {
        ASSERT_GT(Reference.size(), 1200u);
        ASSERT_EQ(Reference.back().Code, NARVI_END_OF_FILE);
        ASSERT_NE(Rebuilt, Prior) << "a rebuild must be told apart from the index before it";
    }

    // Runs Op once per fault point of every kind; Op reports its own findings.
    static void Sweep(const char* What, const std::function<void()>& Reset,
                      const std::function<void(const std::string& Trace)>& Op) {
        for (Faults::TKind Kind : {Faults::fkEIO, Faults::fkENOSPC, Faults::fkShort}) {
            Reset();
            Faults::Arm(Kind, 0);
            Op("count");
            const long Calls = Faults::Disarm();
            for (long N : Points(Calls)) {
                const std::string Trace = std::string(What) + ", " + Faults::KindName(Kind) + " at call " +
                                          std::to_string(N) + " of " + std::to_string(Calls);
                SCOPED_TRACE(Trace);
                Reset();
                Faults::Arm(Kind, N);
                Op(Trace);
                Faults::Disarm();
                if (::testing::Test::HasFailure()) ADD_FAILURE() << "the call that failed: " << Faults::Fired();
                ++Tried[std::string(What) + ", " + Faults::KindName(Kind)];
                if (::testing::Test::HasFailure()) return;
            }
        }
    }

    // Sweeps narvi_reindex on H, opened afresh after Prepare at every fault point;
    // Check sees the code with the faults off and a failure's text checked.
    static void SweepReindex(const char* What, NARVI_FILE_T& H, const std::function<void()>& Prepare,
                             const std::function<void(std::int32_t Code)>& Check) {
        Sweep(
            What,
            [&] {
                narvi_close(H), H = nullptr;
                Prepare();
                narvi_open(Kqm.c_str(), &H);
            },
            [&](const std::string& Trace) {
                const std::int32_t Code = narvi_reindex(H);
                Faults::Disarm();
                if (Trace == "count") return;
                if (Code != 0) ExpectClearText(LastError());
                SCOPED_TRACE("reindex: " + std::to_string(Code) + " " + LastError());
                Check(Code);
            });
    }

    static void Restore() {
        Put(Idx, Prior);
        std::filesystem::remove(Idx + ".tmp");
    }

    // After an index build, failed or not: no temporary file, and the index
    // is either the one before or the new one, and reads the whole recording.
    static void ExpectIndexAfter(bool Succeeded, const std::string& Path, const TBytes& Before, const TBytes& After) {
        EXPECT_FALSE(std::filesystem::exists(Path + ".tmp"));
        EXPECT_TRUE(ReadFileBytes(Path) == (Succeeded ? After : Before))
            << (Succeeded ? "new" : "previous") << " index";
    }

    static void Tally(const std::string& Outcome) { ++Outcomes[Outcome]; }

    static inline std::unique_ptr<TTempDir> Dir;
    static inline std::string Kqm, Idx;
    static inline TBytes Prior, Rebuilt, Made;
    // Every record read with the index before, and with the one a rebuild writes.
    static inline std::vector<TShot> Reference, ReferenceRebuilt;

public:
    static inline std::map<std::string, int> Tried, Outcomes;
};

TEST_F(FaultSweep, Open) {
    Sweep("open", Restore, [](const std::string& Trace) {
        NARVI_FILE_T H = nullptr;
        const std::int32_t Code = narvi_open(Kqm.c_str(), &H);
        Faults::Disarm();  // what follows only looks at the result
        if (Trace == "count") {
            narvi_close(H);
            return;
        }
        if (Code != 0) {
            ExpectClearText(LastError());
            EXPECT_EQ(H, nullptr);
            Tally("open failed with a text");
            return;
        }
        // An index the fault kept from opening counts as none and shows as such.
        const std::vector<TShot> Shots = ReadAll(H);
        narvi_close(H);
        if (Shots == Reference) {
            Tally("open succeeded, whole recording read");
        } else {
            EXPECT_EQ(Shots.size(), 1u);
            EXPECT_EQ(Shots[0].Code, NARVI_ERR_MISSING_INDEX);
            Tally("open succeeded without its index, reads say so");
        }
    });
}

TEST_F(FaultSweep, ReadWholeRecording) {
    NARVI_FILE_T H = nullptr;
    Sweep(
        "read", [&] { narvi_close(H), H = nullptr, narvi_open(Kqm.c_str(), &H); },
        [&](const std::string& Trace) {
            const std::vector<TShot> Shots = ReadAll(H);
            Faults::Disarm();
            if (Trace == "count") return;
            if (Shots == Reference) return Tally("read succeeded in full");
            const TShot& Last = Shots.back();
            ASSERT_NE(Last.Code, NARVI_END_OF_FILE)
                << "end of file after " << Shots.size() - 1 << " of " << Reference.size() - 1 << " records";
            ExpectClearText(LastError());
            for (std::size_t I = 0; I + 1 < Shots.size(); ++I) ASSERT_EQ(Shots[I], Reference[I]) << "record " << I;
            Tally("read failed with a text after equal records");
        });
    narvi_close(H);
}

TEST_F(FaultSweep, Reindex) {
    NARVI_FILE_T H = nullptr;
    SweepReindex(
        "reindex", H, [&] { Restore(); },
        [&](std::int32_t Code) {
            // A failure after the new index took the old one's place (reopening
            // it) leaves the new one, and the handle without an index says so.
            const bool New = ReadFileBytes(Idx) == Rebuilt;
            if (Code == 0 || !New) ExpectIndexAfter(Code == 0, Idx, Prior, Rebuilt);
            EXPECT_FALSE(std::filesystem::exists(Idx + ".tmp"));
            const std::vector<TShot>& Expected = New ? ReferenceRebuilt : Reference;
            const std::vector<TShot> Same = ReadAll(H);
            EXPECT_TRUE(Same == Expected || (Code != 0 && Same.size() == 1 && Same[0].Code == NARVI_ERR_MISSING_INDEX))
                << "the same handle after the rebuild";
            EXPECT_TRUE(ReadFile(Kqm) == Expected) << "a new handle after the rebuild";
            Tally(Code == 0 ? "reindex succeeded"
                  : New     ? "reindex wrote the index, reopening it failed with a text"
                            : "reindex failed with a text, previous index kept");
        });
    narvi_close(H);
}

// Only "shot.Idx" before the rebuild: the new "shot.idx" replaces it, and the
// old one goes once the new one is in place. A fault before then keeps the
// old one as it was; a fault in its removal leaves it behind the new one, and
// the rebuild has still succeeded. Beside them, spelt like the index too,
// another recording, a user's 22 bytes and a symbolic link to the recording:
// whatever fails, none of them is removed, written over or followed. (The
// look-up takes the first spelling there is, in its order; they come later.)
TEST_F(FaultSweep, ReindexReplacingAnIndexSpeltOtherwise) {
    REQUIRE_FOLDER(*Dir, false);
    const std::string Upper = Dir->File("shot.Idx");
    const std::string Other = Dir->File("shot.iDX"), User = Dir->File("shot.IDx"), Link = Dir->File("shot.IdX");
    WriteFileBytes(Other, ReadFileBytes(Kqm));
    WriteFileBytes(User, TBytes(22, 'u'));
    std::error_code Ec;
    std::filesystem::create_symlink(Kqm, Link, Ec);
    const TBytes OtherBytes = ReadFileBytes(Other), UserBytes = ReadFileBytes(User);
    NARVI_FILE_T H = nullptr;
    SweepReindex(
        "reindex over shot.Idx", H,
        [&] {
            Restore();
            std::filesystem::remove(Idx);
            Put(Upper, Prior);
        },
        [&](std::int32_t Code) {
            EXPECT_FALSE(std::filesystem::exists(Idx + ".tmp"));
            const bool New = std::filesystem::exists(Idx), Old = std::filesystem::exists(Upper);
            EXPECT_TRUE(!New || ReadFileBytes(Idx) == Rebuilt) << "new index";
            EXPECT_TRUE(!Old || ReadFileBytes(Upper) == Prior) << "previous index";
            EXPECT_TRUE(New || Old);
            EXPECT_TRUE(Code != 0 || New);
            // A success keeps the old one only where a fault kept it from being
            // told apart from the new one, read as an index or removed.
            EXPECT_TRUE(Code != 0 || !Old || !Faults::Fired().empty());
            EXPECT_EQ(ReadFileBytes(Other), OtherBytes);
            EXPECT_EQ(ReadFileBytes(User), UserBytes);
            EXPECT_TRUE(Ec || std::filesystem::is_symlink(Link));
            const std::vector<TShot>& Expected = New ? ReferenceRebuilt : Reference;
            const std::vector<TShot> Same = ReadAll(H);
            EXPECT_TRUE(Same == Expected || (Code != 0 && Same.size() == 1 && Same[0].Code == NARVI_ERR_MISSING_INDEX))
                << "the same handle after the rebuild";
            EXPECT_TRUE(ReadFile(Kqm) == Expected) << "a new handle after the rebuild";
            Tally(Code == 0
                      ? (Old ? "reindex succeeded, shot.Idx left in place" : "reindex succeeded, shot.Idx removed")
                  : New ? "reindex wrote the index, reopening it failed with a text"
                        : "reindex failed with a text, shot.Idx kept");
        });
    narvi_close(H);
    for (const std::string& F : {Upper, Other, User, Link}) std::filesystem::remove(F);
    Restore();
}

// Where the folder is blind to letter case (a vfat mount as the temporary
// folder), the older index stored as "shot.IDX" is the new index's own file:
// the rebuild replaces it and removes nothing, so after any fault exactly one
// index is there, the old one or the new one, and it reads the recording.
TEST_F(FaultSweep, ReindexInAFolderBlindToCase) {
    REQUIRE_FOLDER(*Dir, true);
    const std::string Upper = Dir->File("shot.IDX");
    auto Indexes = [&] {
        int N = 0;
        for (const auto& E : std::filesystem::directory_iterator(Dir->Path()))
            N += E.path().stem() == "shot" && E.path().extension() != ".kqm";
        return N;
    };
    NARVI_FILE_T H = nullptr;
    SweepReindex(
        "reindex blind to case", H,
        [&] {
            std::filesystem::remove(Idx);
            std::filesystem::remove(Idx + ".tmp");
            Put(Upper, Prior);
        },
        [&](std::int32_t Code) {
            EXPECT_EQ(Indexes(), 1);
            const bool New = ReadFileBytes(Idx) == Rebuilt;
            if (Code == 0 || !New) ExpectIndexAfter(Code == 0, Upper, Prior, Rebuilt);
            EXPECT_TRUE(ReadFile(Kqm) == (New ? ReferenceRebuilt : Reference)) << "a new handle after the rebuild";
            Tally(Code == 0 ? "reindex blind to case succeeded"
                  : New     ? "reindex blind to case wrote the index, reopening it failed with a text"
                            : "reindex blind to case failed with a text, previous index kept");
        });
    narvi_close(H);
    std::filesystem::remove(Upper);
    Restore();
}

TEST_F(FaultSweep, StandaloneIndexBuilders) {
    const std::string Out = Dir->File("made.idx");
    for (bool Ex : {false, true}) {
        const TBytes Before = Prior;  // any earlier file in the way
        Sweep(
            Ex ? "IndexCreateEx" : "IndexCreate", [&] { Put(Out, Before); },
            [&](const std::string& Trace) {
                std::string Text;
                try {
                    if (Ex)
                        EXPECT_TRUE(IndexCreateEx([](TStream&, bool&) {}, Kqm, Out));
                    else
                        IndexCreate(Kqm, Out);
                } catch (const EIndex& E) {
                    Text = E.Message();
                }
                Faults::Disarm();
                if (Trace == "count") return;
                if (!Text.empty()) ExpectClearText(Text);
                SCOPED_TRACE("builder: " + Text);
                // Both builders write the same bytes; only how they put the header differs.
                ExpectIndexAfter(Text.empty(), Out, Before, Made);
                Tally(Text.empty() ? "index builder succeeded" : "index builder failed with a text, earlier file kept");
            });
    }
}

// The figures for whoever reads the log.
class TSummary : public ::testing::Environment {
public:
    void TearDown() override {
        for (const auto& [What, N] : FaultSweep::Tried) std::printf("fault points: %-28s %d\n", What.c_str(), N);
        for (const auto& [What, N] : FaultSweep::Outcomes) std::printf("outcome: %-52s %d\n", What.c_str(), N);
    }
};
const auto* const Summary = ::testing::AddGlobalTestEnvironment(new TSummary);

}  // namespace
