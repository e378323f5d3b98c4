#include <gtest/gtest.h>

#include <cfenv>
#include <regex>
#include <string>

#include "ReaderTestAccess.h"
#include "IndexWriter.h"
#include "KQMIndex.h"
#include "KQMReader.h"
#include "KqmlibImpl.h"
#include "ReadTestSupport.h"
#include "RecordingWriter.h"
#include "TempDir.h"
#include "narvi.h"

namespace {

class Interface : public ::testing::Test {
protected:
    void SetUp() override {
        TRecHeader H;
        Path = Dir.File("shot.kqm");
        TRecordingWriter W(Path, H);
        TRecord R;
        R.Time = 4000;
        W.Write(R);
        W.Close();
        ASSERT_EQ(narvi_open(Path.c_str(), &File), 0);
    }
    void TearDown() override { EXPECT_EQ(narvi_close(File), 0); }

    TTempDir Dir;
    std::string Path;
    NARVI_FILE_T File = nullptr;
};

}  // namespace

TEST(InterfaceErrors, ClassesMapToResultCodes) {
    const struct {
        const char* What;
        std::function<void()> Raise;
        int Code;
    } Cases[] = {
        {"not supported", [] { throw ENotSupported("x"); }, 5},
        {"sync lost with code", [] { throw ESyncLost("x", 1); }, 4},
        {"checksum", [] { throw ECRCError("x"); }, 4},
        {"aborted", [] { throw EAborted("*** Aborted ***", 1); }, 4},
        {"no index", [] { throw ENoIndex("x"); }, 3},
        {"end of file with code 1", [] { throw EEOF("x", 1); }, -1},
        {"reader error without code", [] { throw EKQMError("x"); }, 1},
        {"reader error with its code", [] { throw EKQMError("x", 666); }, 666},
        {"stream error with code", [] { throw EStreamError("x", 1); }, 1},
        // Carrying result 0 must never read as success.
        {"stream error, plain", [] { throw EStreamError("x"); }, 4},
        {"reader error with code 0", [] { throw EKQMError("x", 0); }, 4},
        {"index", [] { throw EIndex("x", 1); }, 4},
        {"plain", [] { throw Exception("x"); }, 4},
    };
    for (const auto& C : Cases) {
        try {
            C.Raise();
        } catch (const Exception& E) {
            EXPECT_EQ(ResultCodeOf(E), C.Code) << C.What;
        }
    }
}

TEST_F(Interface, LastErrorFollowsEveryCall) {
    NARVI_UINT16_T Major = 9, Minor = 9;
    NARVI_CSZ_T Build = nullptr, System = nullptr;
    EXPECT_EQ(narvi_get_library_version(&Major, &Minor, &Build, &System), 0);
    EXPECT_EQ(LastError(), "(no error)");

    NARVI_FILE_T Other = nullptr;
    EXPECT_EQ(narvi_open(Dir.File("gone.kqm").c_str(), &Other), 4);
    const std::string Failure = LastError();
    EXPECT_NE(Failure.find("gone.kqm"), std::string::npos) << Failure;
    EXPECT_EQ(LastError(), Failure);  // asking again changes nothing
    EXPECT_EQ(Other, nullptr);

    EXPECT_EQ(narvi_set_mode_int(File, NARVI_MODE_RAW, 0), 0);
    EXPECT_EQ(LastError(), "(no error)");
}

TEST_F(Interface, VersionReport) {
    NARVI_UINT16_T Major = 9, Minor = 9;
    NARVI_CSZ_T Build = nullptr, System = nullptr;
    ASSERT_EQ(narvi_get_library_version(&Major, &Minor, &Build, &System), 0);
    EXPECT_EQ(Major, 1);
    EXPECT_EQ(Minor, 0);
    EXPECT_STREQ(Build, "11");
    ASSERT_NE(System, nullptr);
#ifdef _WIN32
    const std::string OS = "windows";
#else
    const std::string OS = "linux";
#endif
    const std::string Expected = "-" + OS + "-gcc" + (sizeof(void*) == 4 ? "32" : "64") + "-";
    EXPECT_NE(std::string(System).find(Expected), std::string::npos) << System;
    EXPECT_TRUE(std::regex_match(System, std::regex("[a-z0-9_]+-[a-z]+-[a-z]+(32|64)-[0-9]+\\.[0-9]+\\.[0-9]+")))
        << System;
}

TEST_F(Interface, RawModeKey) {
    NARVI_INT32_T Value = -1;
    ASSERT_EQ(narvi_get_mode_int(File, NARVI_MODE_RAW, &Value), 0);
    EXPECT_EQ(Value, 0);
    ASSERT_EQ(narvi_set_mode_int(File, 0x00574152u, 2), 0);
    ASSERT_EQ(narvi_get_mode_int(File, NARVI_MODE_RAW, &Value), 0);
    EXPECT_EQ(Value, 1);

    for (const NARVI_UINT32_T Key : {0x00000001u, 0x52415700u, 0xFFFFFFFFu}) {
        char Expected[64];
        std::snprintf(Expected, sizeof Expected, "Unknown key specified (0x%8.8x)", Key);
        EXPECT_EQ(narvi_set_mode_int(File, Key, 0), 4);
        EXPECT_EQ(LastError(), Expected);
        Value = -1;
        EXPECT_EQ(narvi_get_mode_int(File, Key, &Value), 4);
        EXPECT_EQ(LastError(), Expected);
        EXPECT_EQ(Value, -1);
    }
    EXPECT_EQ(LastError(), "Unknown key specified (0xffffffff)");
    ASSERT_EQ(narvi_get_mode_int(File, NARVI_MODE_RAW, &Value), 0);
    EXPECT_EQ(Value, 1);  // a refused key changes nothing
    EXPECT_EQ(narvi_set_mode_int(File, NARVI_MODE_RAW, 0), 0);
    ASSERT_EQ(narvi_get_mode_int(File, NARVI_MODE_RAW, &Value), 0);
    EXPECT_EQ(Value, 0);
}

TEST_F(Interface, WithoutIndexEveryPositioningReportsMissingIndex) {
    NARVI_CSZ_T Epoch = nullptr;
    ASSERT_EQ(narvi_get_info(File, nullptr, nullptr, &Epoch, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_STREQ(Epoch, "UNKNOWN");

    NARVI_UINT32_T Index = 0;
    double T = 0, Te = 0;
    NARVI_FLOAT64_VECTOR3_T O{}, D{};
    NARVI_UINT16_T Flags = 0, Facet = 0;
    NARVI_UINT32_T Count = 0, Size = 0;
    NARVI_SBL_PTR_T Sbl = nullptr;
    const int Codes[] = {
        narvi_seek(File, 1),        narvi_seek(File, 0xFFFFFFFFu),
        narvi_seek_time(File, 1.0), narvi_seek_time_external(File, 1.0),
        narvi_tell(File, &Index),   narvi_read(File, &T, &Te, &O, &D, &Flags, &Facet, &Count, &Size, &Sbl),
    };
    for (const int Code : Codes) EXPECT_EQ(Code, 3);
    EXPECT_EQ(LastError(), "No index available");
}

TEST_F(Interface, CallbacksAndHandlesAreChecked) {
    EXPECT_EQ(narvi_close(nullptr), 0);
    EXPECT_EQ(LastError(), "(no error)");

    // A null handle is refused instead of crashing the host.
    NARVI_UINT32_T Index = 0;
    EXPECT_EQ(narvi_tell(nullptr, &Index), 1);
    EXPECT_EQ(narvi_get_mode_int(nullptr, NARVI_MODE_RAW, nullptr), 1);

    int Calls = 0;
    auto Trace = [](NARVI_FILE_T, NARVI_POINTER_T User, NARVI_CSZ_T) { ++*static_cast<int*>(User); };
    EXPECT_EQ(narvi_set_trace_callback(File, Trace, &Calls), 0);
    EXPECT_EQ(TKQMReaderTestAccess::TraceUserData(*static_cast<TKQMReader*>(File)), &Calls);
    EXPECT_EQ(narvi_set_trace_callback(File, nullptr, nullptr), 0);
    EXPECT_EQ(TKQMReaderTestAccess::TraceCallback(*static_cast<TKQMReader*>(File)), nullptr);
    auto Track = [](NARVI_FILE_T, NARVI_POINTER_T, NARVI_INT32_T, NARVI_BOOL_T*) {};
    EXPECT_EQ(narvi_set_track_callback(File, Track, &Calls), 0);
    EXPECT_EQ(TKQMReaderTestAccess::TrackUserData(*static_cast<TKQMReader*>(File)), &Calls);
}

#if defined(__GLIBC__) && (defined(__x86_64__) || defined(__i386__))
TEST_F(Interface, CallerFloatingPointEnvironmentSurvives) {
    fenv_t Saved;
    ASSERT_EQ(fegetenv(&Saved), 0);
    ASSERT_EQ(fesetround(FE_UPWARD), 0);
    feenableexcept(FE_DIVBYZERO);
    feclearexcept(FE_ALL_EXCEPT);

    NARVI_CSZ_T Epoch = nullptr;
    double VGroup = 0;
    const int Code = narvi_get_info(File, nullptr, nullptr, &Epoch, &VGroup, nullptr, nullptr, nullptr);
    const int Round = fegetround();
    const int Traps = fegetexcept();
    fesetenv(&Saved);

    EXPECT_EQ(Code, 0);
    EXPECT_EQ(Round, FE_UPWARD);
    EXPECT_EQ(Traps, FE_DIVBYZERO);
}

TEST(InterfaceFloat, TrapsAreMaskedInsideEveryCall) {
    // The trace callback runs inside narvi_read: it sees the library's environment.
    TTempDir Dir;
    const std::string Path = Dir.File("t.kqm");
    TRecordingWriter W(Path, TRecHeader());
    TRecord R;
    R.Time = 1000;
    W.Write(R);
    W.Close();
    TIndexFile Idx;
    Idx.Entries = EntriesOf(W);
    Idx.Write(Dir.File("t.idx"));

    NARVI_FILE_T F = nullptr;
    ASSERT_EQ(narvi_open(Path.c_str(), &F), 0);
    static int TrapsInside = -1;
    ASSERT_EQ(narvi_set_trace_callback(
                  F, [](NARVI_FILE_T, NARVI_POINTER_T, NARVI_CSZ_T) { TrapsInside = fegetexcept(); }, nullptr),
              0);
    fenv_t Saved;
    ASSERT_EQ(fegetenv(&Saved), 0);
    feenableexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
    double T = 0, Te = 0;
    NARVI_FLOAT64_VECTOR3_T O{}, D{};
    NARVI_UINT16_T Flags = 0, Facet = 0;
    NARVI_UINT32_T Count = 0, Size = 0;
    NARVI_SBL_PTR_T Sbl = nullptr;
    const int Code = narvi_read(F, &T, &Te, &O, &D, &Flags, &Facet, &Count, &Size, &Sbl);
    const int TrapsAfter = fegetexcept();
    fesetenv(&Saved);
    narvi_close(F);
    EXPECT_EQ(Code, 0) << LastError();
    EXPECT_EQ(TrapsInside, 0);
    EXPECT_EQ(TrapsAfter, FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
}
#endif
