// What an index build may replace and remove beside a recording: only what
// reads as an index of it, on folders that tell letter case apart and on
// folders that do not (the ones the temporary folder is not of skip).

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "CaseBlind.h"
#include "ErrorOf.h"
#include "IndexCreate.h"
#include "IndexWriter.h"
#include "KQMIndex.h"
#include "KQMReader.h"
#include "ReadTestSupport.h"
#include "RecordingWriter.h"
#include "TempDir.h"
#include "narvi.h"

namespace fs = std::filesystem;

namespace {

using TBytes = std::vector<std::uint8_t>;

// 200 records: an index of more than 2 KiB, beyond a fusefat fault that
// misplaces a rewrite in a file of one cluster.
std::string WriteRecording(const TTempDir& Dir, const std::string& Name, int Count = 200) {
    TRecHeader H;
    H.Texts["InstrumentType"] = "ZA14";  // indexed without time synchronisation
    H.MeasMain = 2;                      // microsecond stamps, which the standalone builders index too
    const std::string Path = Dir.File(Name);
    TRecordingWriter W(Path, H);
    for (int I = 0; I < Count; ++I) W.Write(Shot(1000 + 1000 * std::uint64_t(I), {Blk(3, 0x40, Ramp(8))}));
    return Path;
}

TBytes IndexBytes(std::uint32_t Flags = 0, std::size_t Trailing = 0) {
    TIndexFile F;
    F.Flags = Flags;
    F.Entries = {{0, 100, 1}, {77, 200, 2}};
    F.Trailing.assign(Trailing, 0x5A);
    return F.Encode();
}

// Every entry of the folder as the folder stores it: the bytes of a file, the
// target of a link, "<dir>" for anything else.
std::map<std::string, std::string> Listing(const TTempDir& Dir) {
    std::map<std::string, std::string> L;
    for (const fs::directory_entry& E : fs::directory_iterator(Dir.Path())) {
        const std::string Name = E.path().filename().string();
        if (E.is_symlink())
            L[Name] = "-> " + fs::read_symlink(E.path()).string();
        else if (E.is_regular_file()) {
            const TBytes B = ReadFileBytes(E.path().string());
            L[Name] = std::string(B.begin(), B.end());
        } else
            L[Name] = "<dir>";
    }
    return L;
}

bool MakeLink(const std::string& Target, const std::string& Link) {
    std::error_code Ec;
    fs::create_symlink(Target, Link, Ec);
    return !Ec;
}

// The three builders, each reporting the error text or "(no error)".
std::string Reindex(const std::string& Recording) {
    THandle H(Recording);
    return narvi_reindex(H.Get()) == 0 ? "(no error)" : LastError();
}

const struct TBuilder {
    const char* Name;
    TOtherExtension Other;  // how the builder names the index
    std::function<std::string(const std::string& Recording)> Run;
} Builders[] = {
    {"reindex", TOtherExtension::Replaced, Reindex},
    {"IndexCreate", TOtherExtension::Kept, [](const std::string& R) { return ErrorOf([&] { IndexCreate(R, ""); }); }},
    {"IndexCreateEx", TOtherExtension::Kept,
     [](const std::string& R) { return ErrorOf([&] { IndexCreateEx([](TStream&, bool&) {}, R, ""); }); }}};

std::string IndexOf(const TBuilder& B, const std::string& Recording) { return IndexNameBeside(Recording, B.Other); }

// --- Any folder ---------------------------------------------------------------

// A recording spelt like its own index is one file with it where case is not
// told apart: refused before anything is written, on every folder alike.
TEST(IndexPlace, RecordingSpeltLikeItsIndexIsRefusedBeforeAnythingIsWritten) {
    for (const char* Name : {"rec.IDX", "Rec.Idx", "data.iDX", "rec.idx"}) {
        SCOPED_TRACE(Name);
        TTempDir Dir;
        const std::string Path = WriteRecording(Dir, Name);
        const auto Before = Listing(Dir);
        const std::string Text = Reindex(Path);
        if (std::string(Name) == "rec.idx")
            EXPECT_EQ(Text, "Index file and sample data file are the same: " + Path);
        else
            EXPECT_EQ(Text, "Recording " + Path + " is spelt like its own index file " +
                                IndexNameBeside(Path, TOtherExtension::Replaced) +
                                ": give the recording another name to index it");
        const std::string Asked = IndexNameBeside(Path, TOtherExtension::Replaced);
        EXPECT_NE(ErrorOf([&] { IndexCreate(Path, Asked); }), "(no error)");
        EXPECT_EQ(Listing(Dir), Before);
    }
}

// What stands where the index goes is replaced only when it reads as an
// index or holds nothing; a temporary name in the way is cleared only of an
// unfinished index. Anything else refuses the build with its name, before a
// byte is written, and stays as it was.
TEST(IndexPlace, NothingButAnIndexIsWrittenOver) {
    struct TCase {
        const char* What;
        bool Temp;  // in the temporary file's place, else in the index's
        std::function<bool(const std::string& Path)> Put;
        bool Built;
    };
    // Bytes put in the place, or a link there to them elsewhere; false where no link can be made.
    const auto Put = [](TBytes Bytes) { return [=](const std::string& P) { return WriteFileBytes(P, Bytes), true; }; };
    const auto Link = [](TBytes Bytes) {
        return [=](const std::string& P) {
            return WriteFileBytes(P + ".elsewhere", Bytes), MakeLink(P + ".elsewhere", P);
        };
    };
    const TBytes User(22, 'u');
    const std::vector<TCase> Cases = {
        {"no file", false, [](const std::string&) { return true; }, true},
        {"an empty file", false, Put({}), true},
        {"an older index", false, Put(IndexBytes()), true},
        {"an unfinished index", false, Put(IndexBytes(1)), true},
        {"a user's 22 bytes", false, Put(User), false},
        {"a folder", false, [](const std::string& P) { return fs::create_directory(P); }, false},
        {"a link to an index", false, Link(IndexBytes()), false},
        {"an unfinished index left by a build", true, Put(IndexBytes(1, 7)), true},
        {"an empty leftover", true, Put({}), true},
        {"a finished index", true, Put(IndexBytes()), false},
        {"a user's 22 bytes", true, Put(User), false},
        {"a link to a user's file", true, Link(User), false},
    };
    for (const TBuilder& B : Builders)
        for (const TCase& C : Cases) {
            SCOPED_TRACE(std::string(B.Name) + ": " + C.What + (C.Temp ? " in the temporary file's place" : ""));
            TTempDir Dir;
            const std::string Path = WriteRecording(Dir, "rec.kqm");
            const std::string Idx = IndexOf(B, Path), Target = C.Temp ? Idx + ".tmp" : Idx;
            if (!C.Put(Target)) {
                std::printf("[ skipped  ] %s: %s (the folder takes no symbolic links)\n", B.Name, C.What);
                continue;
            }
            const auto Before = Listing(Dir);
            const std::string Text = B.Run(Path);
            if (C.Built) {
                EXPECT_EQ(Text, "(no error)");
                EXPECT_TRUE(LookAtIndexFile(Idx).CompleteIndex());
                EXPECT_NE(ReadFileBytes(Idx), IndexBytes());
                EXPECT_FALSE(fs::exists(fs::symlink_status(Idx + ".tmp")));
            } else {
                EXPECT_NE(Text.find(Target), std::string::npos) << Text;
                EXPECT_EQ(Listing(Dir), Before);
            }
        }
}

// --- A folder that tells letter case apart ----------------------------------

// After a rebuild only the complete indexes spelt otherwise go, each named in
// a trace line; another recording, a user's file, a link (even one that leads
// to an index), an unfinished index, one with a torn entry and one with the
// new index's very bytes (as every spelling would show on a folder blind to
// case) stay, and the trace says why.
TEST(IndexPlace, RebuildRemovesOnlyCompleteIndexesSpeltOtherwise) {
    TTempDir Dir;
    REQUIRE_FOLDER(Dir, false);
    for (const char* Name : {"scan.kqm", "rec"}) {
        SCOPED_TRACE(Name);
        TTempDir Here;
        const std::string Path = WriteRecording(Here, Name);
        const std::array<std::string, 8> Spelt = IndexSpellingsOf(Path);
        // Spelt[0] is the new index's own name; the others are its neighbours.
        ASSERT_EQ(Reindex(Path), "(no error)");
        WriteFileBytes(Spelt[7], ReadFileBytes(Spelt[0]));
        fs::remove(Spelt[0]);
        WriteFileBytes(Spelt[1], IndexBytes());
        WriteFileBytes(Spelt[2], ReadFileBytes(WriteRecording(Here, "other.kqm", 40)));
        WriteFileBytes(Spelt[3], TBytes(22, 'u'));
        WriteFileBytes(Spelt[4], IndexBytes(1));
        WriteFileBytes(Spelt[5], IndexBytes(0, 11));
        WriteFileBytes(Here.File("kept.idx"), IndexBytes());
        const bool Linked = MakeLink(Here.File("kept.idx"), Spelt[6]);
        auto Before = Listing(Here);

        THandle H(Path);
        ASSERT_EQ(narvi_reindex(H.Get()), 0) << LastError();
        auto After = Listing(Here);
        EXPECT_EQ(H.Count("(i) Older index removed: " + Spelt[1]), 1);
        Before.erase(fs::path(Spelt[1]).filename().string());
        After.erase(fs::path(Spelt[0]).filename().string());
        EXPECT_EQ(After, Before);
        EXPECT_EQ(H.Count("Older index removed"), 1);
        EXPECT_EQ(H.Count(Spelt[7] + " left in place: the same as the new index"), 1);
        EXPECT_EQ(H.Count("left in place: not an index"), 2);
        EXPECT_EQ(H.Count(Spelt[4] + " left in place: an index whose build did not finish"), 1);
        EXPECT_EQ(H.Count(Spelt[5] + " left in place: not whole index entries"), 1);
        EXPECT_EQ(H.Count(Spelt[6] + " left in place: a symbolic link"), Linked ? 1 : 0);
        ASSERT_EQ(H.Seek(5), 0) << LastError();
        EXPECT_EQ(H.Read().Code, 0) << LastError();
    }
}

// --- A folder blind to letter case ------------------------------------------

// Every spelling names the new index there: the rebuild keeps it (however the
// folder stores the name it replaced) and removes nothing. A file of another
// kind stored under the index's name in another case is the index's place on
// such a folder: refused, not written over.
TEST(IndexPlaceBlindToCase, RebuildKeepsItsNewIndexAndWritesOverNoOtherFile) {
    TTempDir Dir;
    REQUIRE_FOLDER(Dir, true);
    for (const char* Stored : {"", "rec.idx", "rec.IDX", "Rec.iDx"}) {
        SCOPED_TRACE(std::string("older index stored as ") + Stored);
        TTempDir Here;
        const std::string Path = WriteRecording(Here, "rec.kqm");
        if (*Stored) WriteFileBytes(Here.File(Stored), IndexBytes());
        THandle H(Path);
        ASSERT_EQ(narvi_reindex(H.Get()), 0) << LastError();
        EXPECT_EQ(H.Count("removed"), 0);
        const auto After = Listing(Here);
        ASSERT_EQ(After.size(), 2u);
        const TBytes New = ReadFileBytes(Here.File("rec.idx"));
        EXPECT_NE(New, IndexBytes());
        EXPECT_EQ(TIndex(Here.File("REC.IDX")).Count(), 200);
        ASSERT_EQ(H.Seek(5), 0) << LastError();
        EXPECT_EQ(H.Read().Code, 0) << LastError();
        THandle Again(Path);
        ASSERT_EQ(Again.Seek(5), 0) << LastError();
    }
    for (const TBuilder& B : Builders) {
        SCOPED_TRACE(B.Name);
        TTempDir Here;
        const std::string Path = WriteRecording(Here, "scan.kqm");
        const std::string Idx = IndexOf(B, Path);
        const std::string Upper = Idx.substr(0, Idx.size() - 3) + "IDX";
        WriteRecording(Here, fs::path(Upper).filename().string(), 40);  // another recording
        const auto Before = Listing(Here);
        const std::string Text = B.Run(Path);
        EXPECT_NE(Text.find(Idx), std::string::npos) << Text;
        EXPECT_EQ(Listing(Here), Before);
    }
}

}  // namespace
