// The binding against the real reader library, copied beside this program
// (where the binding looks first), on recordings from the test writer.
// Operations the library does not offer yet report "not implemented"; the
// checks that need them skip with that message until they land.

#include "NarviBinding.h"

#include <gtest/gtest.h>

#include <regex>
#include <typeinfo>
#include <string>
#include <vector>

#include "IndexWriter.h"
#include "RecordingWriter.h"
#include "TempDir.h"

namespace {

constexpr int kRecords = 6;

// Hosts built for 32-bit x86 rely on the 24-byte block record.
static_assert(sizeof(void*) != 4 || sizeof(NARVI_SBL_T) == 24);

// Writes a recording of kRecords shots, each with one high-power sample block.
std::string WriteRecording(const TTempDir& dir, const std::string& name, bool withIndex) {
    const std::string path = dir.File(name);
    TRecordingWriter w(path, TRecHeader{});
    for (int i = 0; i < kRecords; ++i) {
        TRecord r;
        r.Time = 1000000 + 2500u * i;
        r.Blocks.push_back({std::uint16_t(10 + i), 0x40, std::vector<std::uint8_t>(8, std::uint8_t(i + 1)), {}});
        w.Write(r);
    }
    w.Close();
    if (withIndex) {
        TIndexFile idx;
        idx.Entries = EntriesOf(w);
        idx.Write(path.substr(0, path.size() - 4) + ".idx");
    }
    return path;
}

// Shots 0.1 s apart with a GPS-synchronised housekeeping record every third,
// enough for an index build to tie internal to external time. Returns the
// number of records.
int WriteSynchronisedRecording(const std::string& path) {
    constexpr std::uint64_t kTenthSecond = 25000000;  // 4-ns ticks
    TRecordingWriter w(path, TRecHeader{});
    int count = 0;
    for (int i = 0; i < 12; ++i, ++count) {
        const std::uint64_t t = 1000000 + kTenthSecond * i;
        if (i % 3 == 2) {
            w.Write(TRecord::House(t, t, 500000u + 100u * i));
            continue;
        }
        TRecord r;
        r.Time = t;
        r.Blocks.push_back({0, 0x00, std::vector<std::uint8_t>(4, 7), {}});
        w.Write(r);
    }
    w.Close();
    return count;
}

struct TShot {
    double TimeSorg = 0, TimeExternal = 0;
    std::uint16_t Flags = 0, Facet = 0;
    std::uint32_t Count = 0, Size = 0;
    NARVI_SBL_PTR_T Sbl = nullptr;
};

TShot ReadShot(TWaveFile& f) {
    TShot s;
    NARVI_FLOAT64_VECTOR3_T ori, dir;
    f.Read(s.TimeSorg, s.TimeExternal, ori, dir, s.Flags, s.Facet, s.Count, s.Size, s.Sbl);
    return s;
}

#define SKIP_IF_NOT_IMPLEMENTED(statement)               \
    try {                                                \
        statement;                                       \
    } catch (const EWaveFileNotImplemented& e) {         \
        GTEST_SKIP() << "library says: " << e.Message(); \
    }

TEST(RealBackendTest, VersionReportNamesTheBuild) {
    TTempDir dir;
    TWaveFile f(WriteRecording(dir, "v.kqm", false));
    EXPECT_EQ(f.FWaveIntf->FDll, std::string("kqmlib") + BINDING_LIBRARY_SUFFIX);
    std::uint16_t major = 0, minor = 9;
    std::string version, tag;
    f.GetVersion(major, minor, version, tag);
    EXPECT_EQ(major, 1);
    EXPECT_EQ(minor, 0);
    EXPECT_EQ(version, "11");
#if defined(_WIN32)
    const char* os = "windows";
#else
    const char* os = "linux";
#endif
    const std::string bits = sizeof(void*) == 4 ? "32" : "64";
    EXPECT_TRUE(
        std::regex_match(tag, std::regex(std::string("x86(_64)?-") + os + "-gcc" + bits + "-[0-9]+(\\.[0-9]+)*")))
        << tag;
}

TEST(RealBackendTest, FailedOpenRaisesTheLibrarysText) {
    TTempDir dir;
    try {
        TWaveFile f(dir.File("absent.KQM"));
        FAIL() << "opened a missing file";
    } catch (const EWaveError& e) {
        EXPECT_EQ(typeid(e), typeid(EWaveError));
        EXPECT_FALSE(e.Message().empty());
        EXPECT_EQ(e.Message().find("Unknown reason"), std::string::npos) << e.Message();
    }
    // Not a recording at all.
    const std::string junk = dir.File("junk.kqm");
    WriteFileBytes(junk, std::vector<std::uint8_t>(64, 0xAB));
    EXPECT_THROW(TWaveFile{junk}, EWaveError);
}

TEST(RealBackendTest, WithoutIndexEveryPositioningReportsNoIndex) {
    TTempDir dir;
    TWaveFile f(WriteRecording(dir, "plain.kqm", false));
    const char *instrument = nullptr, *serial = nullptr, *epoch = nullptr;
    double vgroup = 0, sampling = 0;
    std::uint16_t flags = 0, facets = 0;
    f.Info(instrument, serial, epoch, vgroup, sampling, flags, facets);
    EXPECT_STREQ(serial, "SN000001");
    EXPECT_STREQ(epoch, "UNKNOWN");
    EXPECT_EQ(sampling, 1e-9);
    EXPECT_EQ(facets, 4);

    for (auto op : {+[](TWaveFile& w) { w.Seek(1); }, +[](TWaveFile& w) { ReadShot(w); },
                    +[](TWaveFile& w) { w.SeekTime(0.004); }, +[](TWaveFile& w) { w.SeekTimeExternal(1.0); }}) {
        try {
            op(f);
            ADD_FAILURE() << "no exception";
        } catch (const EWaveFileNoIndex& e) {
            EXPECT_EQ(e.Message(), "No Index available");
        } catch (const EWaveFileNotImplemented& e) {
            GTEST_SKIP() << "library says: " << e.Message();
        }
    }
}

TEST(RealBackendTest, SeekAndReadToTheEnd) {
    TTempDir dir;
    TWaveFile f(WriteRecording(dir, "indexed.kqm", true));
    std::vector<double> times;
    SKIP_IF_NOT_IMPLEMENTED(f.Seek(1));
    EXPECT_EQ(f.Tell(), 1u);
    try {
        for (int i = 0; i < kRecords + 1; ++i) {
            const TShot s = ReadShot(f);
            ASSERT_EQ(s.Count, 1u);
            EXPECT_EQ(s.Size, sizeof(NARVI_SBL_T));
            ASSERT_NE(s.Sbl, nullptr);
            EXPECT_EQ(s.Sbl[0].CHANNEL, std::uint32_t(NARVI_CHANNEL_HP));
            EXPECT_EQ(s.Sbl[0].SAMPLE_COUNT, 8u);
            EXPECT_EQ(s.Sbl[0].SAMPLE[0], i + 1);
            times.push_back(s.TimeSorg);
        }
        ADD_FAILURE() << "read past the last record";
    } catch (const EWaveFileEnd&) {
    } catch (const EWaveFileNotImplemented& e) {
        GTEST_SKIP() << "library says: " << e.Message();
    }
    ASSERT_EQ(times.size(), std::size_t(kRecords));
    for (std::size_t i = 1; i < times.size(); ++i) EXPECT_GT(times[i], times[i - 1]);

    try {
        f.Seek(kRecords + 1);
        ADD_FAILURE() << "seek past the end accepted";
    } catch (const EWaveError& e) {
        EXPECT_EQ(typeid(e), typeid(EWaveError));
        EXPECT_EQ(e.Message(), "Seek beyond end of file");
    }
    f.Seek(0xFFFFFFFF);
    EXPECT_EQ(f.Tell(), std::uint32_t(kRecords));
    EXPECT_EQ(ReadShot(f).TimeSorg, times.back());
    EXPECT_THROW(ReadShot(f), EWaveFileEnd);
}

TEST(RealBackendTest, ReindexReportsProgressAndCanBeAborted) {
    TTempDir dir;
    const std::string path = dir.File("reindex.kqm");
    const int count = WriteSynchronisedRecording(path);
    TWaveFile f(path);
    std::vector<std::int32_t> percents;
    std::vector<std::string> lines;
    f.FOnTrack = [&](TWaveFile* sender, std::int32_t percent, bool&) {
        EXPECT_EQ(sender, &f);
        percents.push_back(percent);
    };
    f.FOnTrace = [&](TWaveFile*, const std::string& text) { lines.push_back(text); };
    SKIP_IF_NOT_IMPLEMENTED(f.Reindex());
    ASSERT_FALSE(percents.empty());
    for (std::size_t i = 1; i < percents.size(); ++i) EXPECT_GE(percents[i], percents[i - 1]);
    EXPECT_LE(percents.back(), 100);
    EXPECT_FALSE(lines.empty());

    // The new index serves seeks and reads at once.
    f.Seek(1);
    int read = 0;
    try {
        for (; read <= count; ++read) ReadShot(f);
    } catch (const EWaveFileEnd&) {
    } catch (const EWaveFileNotImplemented& e) {
        GTEST_SKIP() << "library says: " << e.Message();
    }
    EXPECT_EQ(read, count);

    f.FOnTrack = [](TWaveFile*, std::int32_t, bool& abort) { abort = true; };
    try {
        f.Reindex();
        ADD_FAILURE() << "abort ignored";
    } catch (const EWaveError& e) {
        EXPECT_EQ(typeid(e), typeid(EWaveError));
        EXPECT_EQ(e.Message(), "*** Aborted ***");
    }
}

}  // namespace
