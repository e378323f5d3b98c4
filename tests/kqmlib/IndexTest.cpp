#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "IndexWriter.h"
#include "KQMIndex.h"
#include "TempDir.h"

namespace {

// Entries with external times T0, T0 + Step, ... and positions 100, 200, ...
TIndexFile Linear(int Count, std::uint64_t T0, std::uint64_t Step) {
    TIndexFile F;
    for (int I = 0; I < Count; ++I)
        F.Entries.push_back({T0 + std::uint64_t(I) * Step, 100 * std::int64_t(I + 1), 1000 + 4 * std::uint64_t(I)});
    return F;
}

std::string ErrorOf(const std::string& Path) {
    try {
        TIndex Index(Path);
    } catch (const EIndex& E) {
        EXPECT_EQ(E.CODE, 1);
        EXPECT_EQ(E.TEXT, E.Message());
        return E.Message();
    }
    return "(opened)";
}

}  // namespace

TEST(IndexFile, NameRule) {
    const struct {
        const char* Given;
        const char* Opened;
    } Cases[] = {
        {"shot.kqm", "shot.idx"},         {"shot.KQM", "shot.idx"},
        {"shot.IDX", "shot.IDX"},         {"shot", "shot.idx"},
        {"shot.dat", "shot.dat.idx"},     {"dir.v2/shot", "dir.v2/shot.idx"},
        {"a.b/shot.kqm", "a.b/shot.idx"},
    };
    for (const auto& C : Cases) EXPECT_EQ(TIndex::IndexFileName(C.Given), C.Opened) << C.Given;
}

TEST(IndexFile, OpensEveryKnownVersionWithItsEntrySize) {
    TTempDir Dir;
    const struct {
        std::uint16_t Major, Minor;
        std::int32_t RecSize;
    } Cases[] = {{1, 0, 13}, {1, 1, 19}, {2, 0, 13}, {3, 0, 16}, {4, 0, 16}};
    for (const auto& C : Cases) {
        TIndexFile F = Linear(3, 5000, 10);
        F.Major = C.Major;
        F.Minor = C.Minor;
        F.HeaderSize = 99;  // never used to find the entries
        const std::string Path = Dir.File("v.idx");
        F.Write(Path);
        TIndex Index(Path);
        EXPECT_EQ(Index.RecordSize(), C.RecSize);
        EXPECT_EQ(Index.Count(), 3);
        EXPECT_EQ(Index.HeaderSize(), 99u);
        EXPECT_EQ(Index.FirstTime(), 5000);
        EXPECT_EQ(Index.LastTime(), 5020);
        EXPECT_EQ(Index.Block(), 1);
        EXPECT_TRUE(Index.Bof());
        EXPECT_EQ(Index.Seek(2), 200) << C.Major << "." << C.Minor;
        EXPECT_EQ(Index.GetTimeStamp(), 5010);
        EXPECT_EQ(Index.HasInternalTime(), C.Major == 1 && C.Minor == 1);
    }
}

TEST(IndexFile, CountIgnoresTrailingPartialEntry) {
    TTempDir Dir;
    TIndexFile F = Linear(2, 0, 1);
    F.Write(Dir.File("a.idx"));
    EXPECT_EQ(TIndex(Dir.File("a.idx")).Count(), 2);  // 50 bytes
    F.Trailing.assign(18, 0xAB);
    F.Write(Dir.File("b.idx"));
    EXPECT_EQ(TIndex(Dir.File("b.idx")).Count(), 2);  // 68 bytes
}

TEST(IndexFile, RefusesDamagedOrForeignFiles) {
    TTempDir Dir;
    const std::string Path = Dir.File("x.idx");
    const std::vector<std::uint8_t> Full = Linear(1, 7, 1).Encode();
    const struct {
        std::size_t Keep;
        const char* Message;
    } Short[] = {{0, "Cannot read IndexHeaderSize"},
                 {3, "Cannot read IndexHeaderSize"},
                 {5, "Cannot read IndexHeaderVersion"},
                 {7, "Cannot read IndexHeaderVersion"},
                 {11, "Cannot read IndexHeaderFlags"}};
    for (const auto& C : Short) {
        std::vector<std::uint8_t> B(Full.begin(), Full.begin() + std::ptrdiff_t(C.Keep));
        std::FILE* Fp = std::fopen(Path.c_str(), "wb");
        ASSERT_NE(Fp, nullptr);
        if (!B.empty()) std::fwrite(B.data(), 1, B.size(), Fp);
        std::fclose(Fp);
        EXPECT_EQ(ErrorOf(Path), C.Message) << C.Keep;
    }

    const struct {
        std::uint16_t Major, Minor;
        const char* Message;
    } Versions[] = {{1, 2, "Cannot decode version 1.2"},
                    {2, 1, "Cannot decode version 2.1"},
                    {0, 0, "Cannot decode version 0.0"},
                    {5, 0, "Cannot decode version 5.0"}};
    for (const auto& C : Versions) {
        TIndexFile F = Linear(2, 0, 1);
        F.Major = C.Major;
        F.Minor = C.Minor;
        F.Write(Path);
        EXPECT_EQ(ErrorOf(Path), C.Message);
    }

    TIndexFile Building = Linear(2, 0, 1);
    Building.Flags = INDEX_FLAG_INVALID | 0x10;
    Building.Write(Path);
    EXPECT_EQ(ErrorOf(Path), "Index is invalid");
    Building.Flags = 0x10;  // other bits carry nothing
    Building.Write(Path);
    EXPECT_EQ(ErrorOf(Path), "(opened)");

    const std::string Missing = ErrorOf(Dir.File("missing.idx"));
    EXPECT_NE(Missing.find("missing.idx"), std::string::npos) << Missing;
}

TEST(IndexFile, SeekClampsAndFlagsTheEnds) {
    TTempDir Dir;
    Linear(5, 0, 10).Write(Dir.File("s.idx"));
    TIndex Index(Dir.File("s.idx"));

    EXPECT_EQ(Index.Seek(0), 100);
    EXPECT_TRUE(Index.Bof());
    EXPECT_FALSE(Index.Eof());
    EXPECT_EQ(Index.Block(), 1);

    EXPECT_EQ(Index.Seek(10), 500);
    EXPECT_TRUE(Index.Eof());
    EXPECT_FALSE(Index.Bof());
    EXPECT_EQ(Index.Block(), 5);

    EXPECT_EQ(Index.Seek(3), 300);
    EXPECT_FALSE(Index.Eof() || Index.Bof());
    EXPECT_EQ(Index.Next(1), 400);
    EXPECT_EQ(Index.Back(3), 100);
    EXPECT_FALSE(Index.Bof());
    EXPECT_EQ(Index.Back(1), 100);
    EXPECT_TRUE(Index.Bof());  // asked for entry 0
    EXPECT_EQ(Index.Last(), 500);
    EXPECT_TRUE(Index.Eof());
    EXPECT_EQ(Index.First(), 100);

    // Records that begin with a sync word start four bytes before the stored position.
    Index.SetOffset(-4);
    EXPECT_EQ(Index.Seek(2), 196);
    EXPECT_EQ(Index.GetTimeInternal(), 1004);
}

TEST(IndexFile, HeaderOnlyIndexHasNoEntriesAndNoGarbage) {
    TTempDir Dir;
    TIndexFile F;
    F.Write(Dir.File("e.idx"));
    TIndex Index(Dir.File("e.idx"));
    EXPECT_EQ(Index.Count(), 0);
    EXPECT_EQ(Index.FirstTime(), 0);
    EXPECT_EQ(Index.LastTime(), 0);
    EXPECT_EQ(Index.Seek(1), 0);  // no entry: zeros, not stale bytes
    EXPECT_EQ(Index.GetTimeStamp(), 0);
    EXPECT_EQ(Index.Block(), 1);
    for (std::int64_t T : {-1, 0, 1}) {
        EXPECT_THROW(Index.Find(T), EIndex) << T;
        EXPECT_THROW(Index.FindInternal(T), EIndex) << T;
    }
}

TEST(IndexFile, FindByExternalTime) {
    TTempDir Dir;
    Linear(1000, 1000000, 1000).Write(Dir.File("f.idx"));
    TIndex Index(Dir.File("f.idx"));

    // Below the first stamp: entry 1, no error.
    EXPECT_EQ(Index.Find(0), 100);
    EXPECT_EQ(Index.Block(), 1);
    // Every stamp finds its own entry; a time between two stamps the later one.
    for (int I = 0; I < 1000; ++I) {
        const std::int64_t T = 1000000 + 1000 * std::int64_t(I);
        ASSERT_EQ(Index.Find(T), 100 * std::int64_t(I + 1)) << I;
        ASSERT_EQ(Index.GetTimeStamp(), T);
        if (I > 0) {
            ASSERT_EQ(Index.Find(T - 1), 100 * std::int64_t(I + 1)) << I;
            ASSERT_EQ(Index.Find(T - 999), 100 * std::int64_t(I + 1)) << I;
        }
    }
    // Exactly the last stamp, then one microsecond later.
    EXPECT_EQ(Index.Find(1999000), 100000);
    Index.Seek(7);
    try {
        Index.Find(1999001);
        FAIL() << "no error";
    } catch (const EIndex& E) {
        EXPECT_EQ(E.Message(), "Time stamp out of range (1999001)");
    }
    EXPECT_EQ(Index.Block(), 7);  // the current entry is unchanged
}

TEST(IndexFile, FindSurvivesEqualAndIrregularStamps) {
    TTempDir Dir;
    // One entry: first and last stamp are the same; nothing to interpolate.
    Linear(1, 42, 0).Write(Dir.File("one.idx"));
    TIndex One(Dir.File("one.idx"));
    EXPECT_EQ(One.Find(42), 100);
    EXPECT_EQ(One.Find(41), 100);
    EXPECT_THROW(One.Find(43), EIndex);

    // All stamps equal: the first of them.
    Linear(20, 5, 0).Write(Dir.File("same.idx"));
    TIndex Same(Dir.File("same.idx"));
    Same.Seek(15);
    EXPECT_EQ(Same.Find(5), 100);
    EXPECT_EQ(Same.Block(), 1);

    // Stamps that jump back (a damaged index) must not run the scan off the end.
    TIndexFile Odd = Linear(40, 0, 100);
    for (int I = 20; I < 39; ++I) Odd.Entries[std::size_t(I)].TimeExt = 10;
    Odd.Write(Dir.File("odd.idx"));
    TIndex Bad(Dir.File("odd.idx"));
    Bad.Find(3850);
    EXPECT_GE(Bad.Block(), 1);
    EXPECT_LE(Bad.Block(), 40);

    // Uneven spacing: interpolation probes miss, the scan lands on the later entry.
    TIndexFile Uneven;
    for (int I = 0; I < 200; ++I)
        Uneven.Entries.push_back({std::uint64_t(I < 100 ? I : 100000 + I), 10 * std::int64_t(I + 1), 0});
    Uneven.Write(Dir.File("uneven.idx"));
    TIndex U(Dir.File("uneven.idx"));
    EXPECT_EQ(U.Find(50), 510);
    EXPECT_EQ(U.Find(500), 1010);  // between entry 100 (99) and 101 (100100)
    EXPECT_EQ(U.Find(100150), 1510);
}

TEST(IndexFile, FindByInternalTime) {
    TTempDir Dir;
    TIndexFile F;
    for (int I = 0; I < 300; ++I) F.Entries.push_back({0, 10 * std::int64_t(I + 1), 5000 + 8 * std::uint64_t(I)});
    F.Write(Dir.File("i.idx"));
    TIndex Index(Dir.File("i.idx"));

    EXPECT_EQ(Index.FindInternal(0), 10);  // before the first: entry 1
    EXPECT_EQ(Index.FindInternal(5000), 10);
    EXPECT_EQ(Index.FindInternal(5001), 20);  // between: the later entry
    EXPECT_EQ(Index.FindInternal(5000 + 8 * 150), 1510);
    EXPECT_EQ(Index.FindInternal(5000 + 8 * 299), 3000);
    EXPECT_EQ(Index.FindInternal(1ll << 45), 3000);  // beyond the last: the last, no error
    for (int I = 0; I < 300; I += 7) ASSERT_EQ(Index.FindInternal(5000 + 8 * I), 10 * (I + 1)) << I;

    F.Minor = 0;
    F.Write(Dir.File("old.idx"));
    TIndex Old(Dir.File("old.idx"));
    for (auto Call : {+[](TIndex& X) { X.FindInternal(5000); }, +[](TIndex& X) { X.GetTimeInternal(); }}) {
        try {
            Call(Old);
            ADD_FAILURE() << "no error";
        } catch (const EIndex& E) {
            EXPECT_EQ(E.Message(), "Internal timestamp not supported");
        }
    }
}

TEST(IndexFile, Version4UsesEightByteTimes) {
    TTempDir Dir;
    TIndexFile F;
    F.Major = 4;
    F.Minor = 0;
    F.Entries = {{0x123456789Aull, 77, 0}, {0x0123456789ABCDull, 88, 0}};
    F.Write(Dir.File("v4.idx"));
    TIndex Index(Dir.File("v4.idx"));
    EXPECT_EQ(Index.FirstTime(), 0x123456789A);
    EXPECT_EQ(Index.LastTime(), 0x0123456789ABCD);
    EXPECT_EQ(Index.Seek(2), 88);
}
