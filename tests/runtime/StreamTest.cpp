#include "DynLib.h"
#include "FileHandle.h"
#include "Stream.h"

#include "../support/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <numeric>
#include <vector>
#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace {

// The system's own wording for a failure, as the file layer reports it.
#ifdef _WIN32
std::string SystemText(DWORD Code) {
    SetLastError(Code);
    return TFileHandle::SystemErrorText();
}
const std::string NoSuchFile = SystemText(ERROR_FILE_NOT_FOUND);
const std::string NoSuchFolder = SystemText(ERROR_PATH_NOT_FOUND);
// Windows refuses to open a folder as a file without saying why.
const std::string IsAFolder = SystemText(ERROR_ACCESS_DENIED);
#else
const std::string NoSuchFile = "No such file or directory";
const std::string NoSuchFolder = "No such file or directory";
const std::string IsAFolder = "Is a directory";
#endif

void WriteFile(const std::string& name, const std::vector<std::uint8_t>& data) {
    std::ofstream f(name, std::ios::binary);
    f.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

std::vector<std::uint8_t> Ramp(std::size_t n) {
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i) {
        v[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
    return v;
}

template <class E, class F>
std::string MessageOf(F&& f) {
    try {
        f();
    } catch (const E& e) {
        return e.Message();
    }
    return "(no exception)";
}

TEST(FileStreamTest, OpenFailuresNameTheFileAndTheReason) {
    TTempDir dir;
    const std::string missing = dir.File("missing.kqm");
    EXPECT_EQ(MessageOf<EFOpenError>([&] { TFileStream s(missing, fmOpenRead | fmShareDenyWrite); }),
              "Cannot open file \"" + missing + "\". " + NoSuchFile);
    EXPECT_EQ(MessageOf<EFOpenError>([&] { TFileStream s(dir.Path().string(), fmOpenRead); }),
              "Cannot open file \"" + dir.Path().string() + "\". " + IsAFolder);
    const std::string nowhere = dir.File("no/such/dir.idx");
    EXPECT_EQ(MessageOf<EFCreateError>([&] { TFileStream s(nowhere, fmCreate); }),
              "Cannot create file \"" + nowhere + "\". " + NoSuchFolder);
    // All of them are input/output errors for callers that do not care which.
    EXPECT_THROW(TFileStream(missing, fmOpenReadWrite), EInOutError);
}

TEST(FileStreamTest, WriteSeekReadRoundTripAndShortReads) {
    TTempDir dir;
    const std::string name = dir.File("rt.bin");
    const auto data = Ramp(1000);
    {
        TFileStream s(name, fmCreate);
        s.WriteBuffer(data.data(), 1000);
        EXPECT_EQ(s.GetSize(), 1000);
        s.SetPosition(10);
        const std::uint8_t patch[3] = {1, 2, 3};
        s.WriteBuffer(patch, 3);
        EXPECT_EQ(s.GetPosition(), 13);
    }
    TFileStream s(name, fmOpenRead | fmShareDenyWrite);
    EXPECT_EQ(s.GetSize(), 1000);
    std::vector<std::uint8_t> got(1000);
    s.ReadBuffer(got.data(), 1000);
    EXPECT_EQ(got[10], 1);
    EXPECT_EQ(got[12], 3);
    EXPECT_EQ(got[13], data[13]);
    EXPECT_EQ(got[999], data[999]);
    // At the end, Read reports what it got; ReadBuffer insists on all of it.
    EXPECT_EQ(s.Seek(-4, soEnd), 996);
    EXPECT_EQ(s.Read(got.data(), 10), 4);
    EXPECT_EQ(s.Read(got.data(), 10), 0);
    // A read at an offset gets the same bytes wherever the stream stands, and nothing past the end.
    EXPECT_EQ(s.ReadAt(got.data(), 5, 8), 5);
    EXPECT_EQ(got[2], 1);
    EXPECT_EQ(got[4], 3);
    EXPECT_EQ(s.ReadAt(got.data(), 10, 995), 5);
    EXPECT_EQ(got[4], data[999]);
    EXPECT_EQ(s.ReadAt(got.data(), 10, 1000), 0);
    EXPECT_EQ(s.ReadAt(got.data(), 10, 5000), 0);
    s.SetPosition(998);
    EXPECT_EQ(MessageOf<EReadError>([&] { s.ReadBuffer(got.data(), 3); }), "Stream read error");
    EXPECT_EQ(s.Write(got.data(), 1), 0) << "a read-only stream must not write";
    EXPECT_THROW(s.WriteBuffer(got.data(), 1), EWriteError);
    EXPECT_THROW(s.Seek(-1, soBeginning), EInOutError);
}

TEST(FileStreamTest, SetSizeTruncatesAndExtends) {
    TTempDir dir;
    TFileStream s(dir.File("size.bin"), fmCreate);
    const auto data = Ramp(100);
    s.WriteBuffer(data.data(), 100);
    s.SetSize(40);
    EXPECT_EQ(s.GetSize(), 40);
    s.SetSize(60);
    EXPECT_EQ(s.GetSize(), 60);
    std::uint8_t b[20];
    s.SetPosition(35);
    s.ReadBuffer(b, 10);
    EXPECT_EQ(b[4], data[39]);
    EXPECT_EQ(b[5], 0) << "bytes past a truncation come back as zeros";
}

TEST(FileHandleTest, ExistsRenameReplaceAndDelete) {
    TTempDir dir;
    const std::string a = dir.File("a.tmp");
    const std::string b = dir.File("b.idx");
    WriteFile(a, {1, 2, 3});
    WriteFile(b, {9});
    EXPECT_TRUE(TFileHandle::Exists(a));
    EXPECT_FALSE(TFileHandle::Exists(dir.Path().string())) << "a directory is not a file";
    TFileHandle::RenameReplace(a, b);
    EXPECT_FALSE(TFileHandle::Exists(a));
    {
        TFileStream s(b, fmOpenRead | fmShareDenyWrite);
        EXPECT_EQ(s.GetSize(), 3);
#ifdef _WIN32
        // A reader denies writers: nobody replaces or deletes the file under it.
        WriteFile(a, {4});
        EXPECT_THROW(TFileHandle::RenameReplace(a, b), EInOutError);
        EXPECT_THROW(TFileHandle::Delete(b), EInOutError);
        EXPECT_EQ(s.GetSize(), 3);
        TFileHandle::Delete(a);
#endif
    }
    TFileHandle::Delete(b);
    EXPECT_FALSE(TFileHandle::Exists(b));
    EXPECT_THROW(TFileHandle::Delete(b), EInOutError);
    EXPECT_EQ(MessageOf<EInOutError>([&] { TFileHandle::RenameReplace(a, b); }),
              "Cannot rename file \"" + a + "\" to \"" + b + "\". " + NoSuchFile);
}

TEST(FileHandleTest, MovedHandleIsOwnedOnce) {
    TTempDir dir;
    WriteFile(dir.File("m"), {1});
    TFileHandle h;
    h.Open(dir.File("m"), TFileHandle::faRead, TFileHandle::fsDenyWrite);
    TFileHandle g(std::move(h));
    EXPECT_FALSE(h.IsOpen());
    ASSERT_TRUE(g.IsOpen());
    std::uint8_t b = 0;
    EXPECT_EQ(g.Read(&b, 1), 1);
    EXPECT_EQ(b, 1);
}

TEST(MemoryStreamTest, BehavesLikeAFile) {
    TMemoryStream m;
    const auto data = Ramp(50);
    m.WriteBuffer(data.data(), 50);
    EXPECT_EQ(m.GetSize(), 50);
    EXPECT_EQ(m.Seek(10, soEnd), 60);
    m.WriteBuffer(data.data(), 5);
    EXPECT_EQ(m.GetSize(), 65);
    EXPECT_EQ(m.Memory()[55], 0) << "a gap left by seeking past the end reads as zeros";
    EXPECT_EQ(m.Memory()[60], data[0]);
    std::uint8_t b[8];
    m.SetPosition(63);
    EXPECT_EQ(m.Read(b, 8), 2);
    EXPECT_EQ(m.Read(b, 8), 0);
    EXPECT_THROW(m.Seek(-1, soBeginning), EInOutError);
    m.SetSize(20);
    EXPECT_EQ(m.GetPosition(), 20);
    EXPECT_THROW(m.ReadBuffer(b, 1), EReadError);

    TMemoryStream copy;
    EXPECT_EQ(copy.CopyFrom(m, 0), 20);
    EXPECT_EQ(std::memcmp(copy.Memory(), data.data(), 20), 0);
    m.SetPosition(15);
    EXPECT_THROW(copy.CopyFrom(m, 10), EReadError) << "fewer bytes than asked must not pass silently";
}

TEST(DynLibTest, LoadsLooksUpAndReportsFailures) {
#ifdef _WIN32
    // The system's texts name neither the file nor the function; the binding adds the name.
    EXPECT_EQ(LoadDynLib("C:\\nonexistent\\nothing.dll"), nullptr);
    EXPECT_EQ(DynLibLastError(), SystemText(ERROR_MOD_NOT_FOUND));
    TLibHandle lib = LoadDynLib("msvcrt.dll");
#else
    EXPECT_EQ(LoadDynLib("/nonexistent/libnothing.so"), nullptr);
    EXPECT_NE(DynLibLastError().find("libnothing.so"), std::string::npos) << DynLibLastError();
    TLibHandle lib = LoadDynLib("libm.so.6");
#endif
    ASSERT_NE(lib, nullptr) << DynLibLastError();
    using CosFn = double (*)(double);
    auto cosFn = GetDynLibFunction<CosFn>(lib, "cos");
    ASSERT_NE(cosFn, nullptr);
    EXPECT_DOUBLE_EQ(cosFn(0.0), 1.0);
    EXPECT_EQ(GetDynLibSymbol(lib, "narvi_no_such_function"), nullptr);
#ifdef _WIN32
    EXPECT_EQ(DynLibLastError(), SystemText(ERROR_PROC_NOT_FOUND));
#else
    EXPECT_NE(DynLibLastError().find("narvi_no_such_function"), std::string::npos) << DynLibLastError();
#endif
    EXPECT_TRUE(FreeDynLib(lib));
    EXPECT_EQ(GetDynLibSymbol(nullptr, "cos"), nullptr);
}

}  // namespace
