// The binding's own logic, driven through scripted stub backends
// (tests/binding/stub): extension rules, loading and binding, result codes,
// callbacks and their refusal of foreign senders.

#include "NarviBinding.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <typeinfo>
#include <stdexcept>
#include <string>
#include <vector>

#include "DynLib.h"

namespace {

const std::string kRoot = BINDING_STUB_ROOT;
const std::string kFull = kRoot + "/stub-full";
const std::string kMinimal = kRoot + "/stub-minimal";
const std::string kBroken = kRoot + "/stub-broken";
const std::string kKqmLib = std::string("kqmlib") + BINDING_LIBRARY_SUFFIX;
const std::string kHxtLib = std::string("hxtlib") + BINDING_LIBRARY_SUFFIX;

// Runs f and returns the message of the exception of exactly type E it raises.
template <class E, class F>
std::string MessageOf(F&& f) {
    try {
        f();
    } catch (const E& e) {
        EXPECT_EQ(typeid(e), typeid(E)) << e.Message();
        return e.Message();
    } catch (const std::exception& e) {
        ADD_FAILURE() << "unexpected exception: " << e.what();
        return {};
    }
    ADD_FAILURE() << "no exception";
    return {};
}

int OpenHandles(const TWaveFile& f) {
    using Fn = NARVI_INT32_T(NARVI_CALL*)();
    auto fn = GetDynLibFunction<Fn>(f.FWaveIntf->hDll, "stub_open_handles");
    return fn ? fn() : -1;
}

void ReadOne(TWaveFile& f, double& time) {
    double ext;
    NARVI_FLOAT64_VECTOR3_T ori, dir;
    std::uint16_t flags, facet;
    std::uint32_t count, size;
    NARVI_SBL_PTR_T sbl;
    f.Read(time, ext, ori, dir, flags, facet, count, size, sbl);
}

TEST(StubBindingTest, ExtensionChoosesTheBackendCaseInsensitively) {
    struct Case {
        const char* path;
        const std::string* library;  // null: unsupported
    };
    const Case cases[] = {
        {"scan.kqm", &kKqmLib}, {"SCAN.KQM", &kKqmLib},    {"dir.d/scan.Kqm", &kKqmLib},
        {"scan.hxt", &kHxtLib}, {"scan.HXT", &kHxtLib},    {"x.kqm.bak", nullptr},
        {"scan", nullptr},      {"dir.kqm/scan", nullptr}, {"", nullptr},
        {"scan.kqmx", nullptr}, {"scan.", nullptr},        {".kqm", &kKqmLib},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        if (c.library) {
            TWaveFile f(c.path, kFull);
            ASSERT_NE(f.FWaveIntf, nullptr);
            EXPECT_EQ(f.FWaveIntf->FDll, *c.library);
            EXPECT_EQ(f.FName, c.path);
            EXPECT_NE(f.FHandle, nullptr);
        } else {
            EXPECT_EQ(MessageOf<EWaveError>([&] { TWaveFile f(c.path, kFull); }), "Unsupported format");
        }
    }
}

TEST(StubBindingTest, LoadingFailuresNameTheLibrary) {
    const std::string missing = "no-such-backend" + std::string(BINDING_LIBRARY_SUFFIX);
    const std::string text = MessageOf<EWaveError>([&] { TWaveIntf intf(missing, kFull); });
    EXPECT_EQ(text.rfind("Cannot load library " + missing + ": ", 0), 0u) << text;
    EXPECT_GT(text.size(), ("Cannot load library " + missing + ": ").size()) << "the system's reason is missing";

    EXPECT_EQ(MessageOf<EWaveError>([&] { TWaveFile f("scan.kqm", kBroken); }),
              "Cannot load library " + kKqmLib + ": Function narvi_tell not found");

    // A file that exists but is no library.
    const std::string notLib = MessageOf<EWaveError>([&] { TWaveIntf intf("cmake_install.cmake", kRoot); });
    EXPECT_EQ(notLib.rfind("Cannot load library cmake_install.cmake: ", 0), 0u) << notLib;
}

TEST(StubBindingTest, BindsRequiredAndOptionalFunctions) {
    TWaveIntf full(kKqmLib, kFull);
    EXPECT_NE(full.hDll, nullptr);
    EXPECT_NE(full.hDll, reinterpret_cast<TLibraryHandle>(~std::uintptr_t{0}));  // nothing loaded
    for (const void* fn :
         {(const void*)full.GetLibraryVersion, (const void*)full.GetLastError, (const void*)full.Open,
          (const void*)full.Close, (const void*)full.Reindex, (const void*)full.SeekTime,
          (const void*)full.SeekTimeExternal, (const void*)full.Seek, (const void*)full.Tell, (const void*)full.GetInfo,
          (const void*)full.Read, (const void*)full.SetTrackCallback, (const void*)full.SetTraceCallback,
          (const void*)full.SetModeInt, (const void*)full.GetModeInt})
        EXPECT_NE(fn, nullptr);

    TWaveIntf minimal(kKqmLib, kMinimal);
    EXPECT_NE(minimal.Read, nullptr);
    EXPECT_EQ(minimal.SetTrackCallback, nullptr);
    EXPECT_EQ(minimal.SetTraceCallback, nullptr);
    EXPECT_EQ(minimal.SetModeInt, nullptr);
    EXPECT_EQ(minimal.GetModeInt, nullptr);
}

TEST(StubBindingTest, BackendWithoutOptionalFunctionsWorks) {
    TWaveFile f("scan.kqm", kMinimal);
    int traced = 0;
    f.FOnTrace = [&](TWaveFile*, const std::string&) { ++traced; };
    f.FOnTrack = [&](TWaveFile*, std::int32_t, bool&) { ++traced; };
    f.Reindex();
    EXPECT_EQ(traced, 0);
    double t = 0;
    ReadOne(f, t);
    EXPECT_DOUBLE_EQ(t, 0.001);
    EXPECT_EQ(f.Tell(), 2u);
}

TEST(StubBindingTest, ResultCodesBecomeExceptions) {
    {
        TWaveFile f("scan.kqm", kFull);
        EXPECT_EQ(MessageOf<EWaveError>([&] { f.Seek(4); }), "Seek beyond end of file");
        EXPECT_EQ(f.Tell(), 3u);
        f.Seek(0xFFFFFFFF);
        double t = 0;
        ReadOne(f, t);
        EXPECT_DOUBLE_EQ(t, 0.003);
        EXPECT_EQ(MessageOf<EWaveFileEnd>([&] { ReadOne(f, t); }), "End of file reached");
        // Success in between leaves nothing behind.
        f.Seek(1);
        ReadOne(f, t);
        EXPECT_DOUBLE_EQ(t, 0.001);
    }
    {
        TWaveFile f("noindex.kqm", kFull);
        double t = 0;
        EXPECT_EQ(MessageOf<EWaveFileNoIndex>([&] { f.Seek(1); }), "No Index available");
        EXPECT_EQ(MessageOf<EWaveFileNoIndex>([&] { ReadOne(f, t); }), "No Index available");
        EXPECT_EQ(MessageOf<EWaveFileNoIndex>([&] { f.SeekTime(1); }), "No Index available");
        EXPECT_EQ(MessageOf<EWaveFileNoIndex>([&] { f.SeekTimeExternal(1); }), "No Index available");
    }
    {
        TWaveFile f("c666.kqm", kFull);
        double t = 0;
        EXPECT_EQ(MessageOf<EWaveError>([&] { ReadOne(f, t); }), "Unknown reason (666)");
    }
    {
        TWaveFile f("noimpl.hxt", kFull);
        EXPECT_EQ(MessageOf<EWaveFileNotImplemented>([&] { f.Reindex(); }), "Reindex is not supported by this backend");
    }
    for (int code : {1, 2, 4, 6, 7, -2}) {
        TWaveFile f("scan.kqm", kFull);
        f.Reindex();  // leaves "(no error)" as the last text
        EXPECT_EQ(MessageOf<EWaveError>([&] { f.Exec(code); }), "(no error)") << code;
    }
    EXPECT_NO_THROW(TWaveFile("scan.kqm", kFull).Exec(0));
}

TEST(StubBindingTest, TimeSeeksArePassedTenNanosecondsEarly) {
    TWaveFile f("scan.kqm", kFull);
    for (double t : {0.0, 1.0, 123456.789, -5.0}) {
        const std::string internal = MessageOf<EWaveError>([&] { f.SeekTime(t); });
        ASSERT_EQ(internal.rfind("seek_time ", 0), 0u) << internal;
        EXPECT_EQ(std::strtod(internal.c_str() + 10, nullptr), t - 1e-8);
        const std::string external = MessageOf<EWaveError>([&] { f.SeekTimeExternal(t); });
        ASSERT_EQ(external.rfind("seek_time_external ", 0), 0u) << external;
        EXPECT_EQ(std::strtod(external.c_str() + 19, nullptr), t - 1e-8);
    }
}

TEST(StubBindingTest, OpeningAndClosing) {
    {
        TWaveFile a("one.kqm", kFull);
        EXPECT_EQ(OpenHandles(a), 1);
        {
            TWaveFile b("two.kqm", kFull);
            EXPECT_EQ(OpenHandles(b), 2);
        }
        EXPECT_EQ(OpenHandles(a), 1);
    }
    // A failed open raises the backend's text and leaves no handle behind.
    EXPECT_EQ(MessageOf<EWaveError>([] { TWaveFile f("missing.kqm", kFull); }), "Cannot open file \"missing.kqm\"");
    TWaveFile c("three.kqm", kFull);
    EXPECT_EQ(OpenHandles(c), 1);

    std::uint16_t major = 9, minor = 9;
    std::string version, tag = "x";
    c.GetVersion(major, minor, version, tag);
    EXPECT_EQ(major, 1);
    EXPECT_EQ(minor, 0);
    EXPECT_EQ(version, "stub");
    EXPECT_EQ(tag, "");  // a null pointer from the backend reads as empty
    EXPECT_EQ(c.GetLastError(), "(no error)");

    const char *instrument, *serial, *epoch;
    double vgroup, sampling;
    std::uint16_t flags, facets;
    c.Info(instrument, serial, epoch, vgroup, sampling, flags, facets);
    EXPECT_STREQ(serial, "SN-STUB");
    EXPECT_EQ(facets, 4);

    // Raw mode through the optional functions, as the viewer calls them.
    ASSERT_NE(c.FWaveIntf->SetModeInt, nullptr);
    c.Exec(c.FWaveIntf->SetModeInt(c.FHandle, NARVI_MODE_RAW, 2));
    NARVI_INT32_T raw = 0;
    c.Exec(c.FWaveIntf->GetModeInt(c.FHandle, NARVI_MODE_RAW, &raw));
    EXPECT_EQ(raw, 1);
}

TEST(StubBindingTest, CallbacksReachTheFileObjectsHandlers) {
    TWaveFile f("scan.kqm", kFull);
    std::vector<std::string> lines;
    std::vector<std::int32_t> percents;
    f.FOnTrace = [&](TWaveFile* sender, const std::string& text) {
        EXPECT_EQ(sender, &f);
        lines.push_back(text);
    };
    f.FOnTrack = [&](TWaveFile* sender, std::int32_t percent, bool& abort) {
        EXPECT_EQ(sender, &f);
        EXPECT_FALSE(abort);
        percents.push_back(percent);
    };
    f.Reindex();
    EXPECT_EQ(lines, std::vector<std::string>{"(i) Reindexing"});
    EXPECT_EQ(percents, (std::vector<std::int32_t>{0, 50, 100}));

    // Abort travels back as all bits set, which the stub insists on.
    f.FOnTrack = [&](TWaveFile*, std::int32_t percent, bool& abort) { abort = percent >= 50; };
    EXPECT_EQ(MessageOf<EWaveError>([&] { f.Reindex(); }), "*** Aborted ***");

    // No handlers: nothing happens.
    f.FOnTrace = nullptr;
    f.FOnTrack = nullptr;
    EXPECT_NO_THROW(f.Reindex());

    // The second backend gets no callbacks registered.
    TWaveFile h("scan.hxt", kFull);
    h.FOnTrace = [&](TWaveFile*, const std::string&) { ADD_FAILURE() << "trace on .hxt"; };
    h.FOnTrack = [&](TWaveFile*, std::int32_t, bool&) { ADD_FAILURE() << "track on .hxt"; };
    h.Reindex();
}

TEST(StubBindingTest, ForeignSendersAreRefusedWithoutThrowingThroughTheBackend) {
    {
        TWaveFile f("foreign.kqm", kFull);
        f.FOnTrace = [&](TWaveFile*, const std::string&) { ADD_FAILURE() << "foreign trace line forwarded"; };
        f.FOnTrack = [&](TWaveFile*, std::int32_t, bool&) { ADD_FAILURE() << "foreign progress forwarded"; };
        EXPECT_EQ(MessageOf<EWaveError>([&] { f.Reindex(); }), "Internal error: Invalid trace notification callback");
        // The refusal is reported once; the file stays usable.
        EXPECT_EQ(f.Tell(), 1u);
    }
    {
        TWaveFile f("foreigntrack.kqm", kFull);
        int lines = 0;
        f.FOnTrace = [&](TWaveFile*, const std::string&) { ++lines; };
        EXPECT_EQ(MessageOf<EWaveError>([&] { f.Reindex(); }), "Internal error: Invalid track notification callback");
        EXPECT_EQ(lines, 1);
        EXPECT_EQ(f.GetLastError(), "*** Aborted ***") << "the backend was asked to stop";
    }
    {
        // Called directly, as any backend could.
        TWaveFile f("scan.kqm", kFull);
        int other = 0;
        NARVI_BOOL_T abort = 0;
        TWaveFile::WaveFileTrackCallback(&other, &f, 10, &abort);
        EXPECT_EQ(abort, -1);
        EXPECT_EQ(MessageOf<EWaveError>([&] { f.Exec(0); }), "Internal error: Invalid track notification callback");
        EXPECT_NO_THROW(f.Exec(0));
        TWaveFile::WaveFileTraceCallback(&other, &f, "line");
        EXPECT_EQ(MessageOf<EWaveError>([&] { f.Exec(0); }), "Internal error: Invalid trace notification callback");
        TWaveFile::WaveFileTraceCallback(f.FHandle, nullptr, "no user data");
        TWaveFile::WaveFileTrackCallback(f.FHandle, nullptr, 10, nullptr);
        EXPECT_NO_THROW(f.Exec(0));
    }
}

TEST(StubBindingTest, HandlerFailuresSurfaceAfterTheBackendCallReturns) {
    TWaveFile f("scan.kqm", kFull);
    int progress = 0;
    f.FOnTrack = [&](TWaveFile*, std::int32_t, bool&) {
        ++progress;
        throw std::runtime_error("cancelled by the user");
    };
    try {
        f.Reindex();
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "cancelled by the user");
    }
    EXPECT_EQ(progress, 1) << "a failed handler stops the operation";
    EXPECT_EQ(f.GetLastError(), "*** Aborted ***");

    f.FOnTrack = nullptr;
    f.FOnTrace = [](TWaveFile*, const std::string&) { throw EWaveError("trace window gone"); };
    EXPECT_EQ(MessageOf<EWaveError>([&] { f.Reindex(); }), "trace window gone");
    f.FOnTrace = nullptr;
    EXPECT_NO_THROW(f.Reindex());
}

}  // namespace
