// Files that claim more than they hold, and things that are no recording at
// all. Claims of gigabytes must not turn into allocations of that size (this
// program counts every allocation through its own operator new), and each
// refusal comes with a code and a text.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "IndexCreate.h"
#include "KQMIndex.h"
#include "RecordingWriter.h"
#include "TempDir.h"
#include "narvi.h"

namespace {

bool Counting = false;
std::size_t Largest = 0, Allocations = 0;

void* Allocate(std::size_t Size) {
    if (Counting && Size > Largest) Largest = Size;
    if (Counting) ++Allocations;
    if (void* P = std::malloc(Size ? Size : 1)) return P;
    throw std::bad_alloc();
}

std::string LastError() {
    NARVI_CSZ_T Text = nullptr;
    narvi_get_last_error(&Text);
    return Text ? Text : "(null)";
}

// Everything a host would do with the file: open, rebuild the index, read
// to the end, and the standalone builder.
void UseWholly(const std::string& Path) {
    NARVI_FILE_T H = nullptr;
    if (narvi_open(Path.c_str(), &H) == 0) {
        narvi_reindex(H);
        for (int N = 0; N < 1000 && narvi_read(H, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                               nullptr, nullptr) == 0;
             ++N) {
        }
        narvi_close(H);
    }
    try {
        IndexCreate(Path, Path + ".other.idx");
    } catch (const EIndex&) {
    }
}

// The reader's own buffers (a window of a megabyte while it scans) are the most it may take.
constexpr std::size_t Allowed = std::size_t(4) << 20;

TRecord ShotAt(std::uint64_t Time) {
    TRecord R;
    R.Time = Time;
    R.Descriptor = 0xC0;
    R.Enc0[0] = R.Enc1[0] = 1;
    R.Blocks.push_back({1, 0x00, std::vector<std::uint8_t>(16, 9), {}});
    return R;
}

}  // namespace

void* operator new(std::size_t Size) { return Allocate(Size); }
void* operator new[](std::size_t Size) { return Allocate(Size); }
void operator delete(void* P) noexcept { std::free(P); }
void operator delete[](void* P) noexcept { std::free(P); }
void operator delete(void* P, std::size_t) noexcept { std::free(P); }
void operator delete[](void* P, std::size_t) noexcept { std::free(P); }

TEST(ResourceLimits, ClaimsOfGigabytesAllocateNothingNearThat) {
    TTempDir Dir;
    struct TCase {
        const char* What;
        std::function<void(TRecHeader&, std::vector<TRecord>&)> Edit;
    } Cases[] = {
        {"header of four gigabytes", [](TRecHeader& H, auto&) { H.HeaderDwordSize = 0xFFFFFFFFu; }},
        {"header of one gigabyte", [](TRecHeader& H, auto&) { H.HeaderDwordSize = 0x10000000u; }},
        {"record of the largest size word", [](TRecHeader&, auto& R) { R[1].Dwords = 0xFFFF; }},
        {"most sample blocks and quads",
         [](TRecHeader&, auto& R) {
             R[1].NumSampleBlocks = 0xFF;
             R[1].Blocks[0].NumQuads = 0xFF;
         }},
        {"four billion GPS words",
         [](TRecHeader& H, auto& R) {
             H.HouseSub = 1;
             R[1] = TRecord::House(2000, 5, 6);
             R[1].GpsN = 0xFFFFFFFFu;
         }},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.What);
        for (std::uint32_t Flags : {0u, 3u}) {
            TRecHeader H;
            H.MeasMain = 2;
            H.ProtocolFlags = Flags;
            std::vector<TRecord> Records = {ShotAt(1000), ShotAt(2000), ShotAt(3000)};
            C.Edit(H, Records);
            const std::string Path = Dir.File("claims.kqm");
            {
                TRecordingWriter W(Path, H);
                for (const TRecord& R : Records) W.Write(R);
            }
            Largest = 0;
            Counting = true;
            UseWholly(Path);
            Counting = false;
            EXPECT_LT(Largest, Allowed) << "flags " << Flags;
        }
    }
}

// A host reading shot after shot, or jumping about, must not pay for memory
// on every call: once a handle has read, reading and seeking allocate nothing.
TEST(ResourceLimits, ReadsAndSeeksOfAnOpenRecordingAllocateNothing) {
    TTempDir Dir;
    const std::string Path = Dir.File("steady.kqm");
    {
        TRecHeader H;
        H.ProtocolFlags = 3;
        TRecordingWriter W(Path, H);
        // Pairs of shots 250 ticks apart: the second's first block continues
        // the first's (300 + 16 / 4 = 250 + 54), so that reads join them.
        for (int I = 0; I < 400; ++I) {
            const std::uint64_t Time = 100000 + 4000 * std::uint64_t(I / 2) + 250 * std::uint64_t(I % 2);
            if (I % 50 == 10) W.Write(TRecord::House(Time - 100, 250000000, 1000 * I));
            TRecord R = ShotAt(Time);
            R.Blocks = {{std::uint16_t(I % 2 ? 54 : 300), 0x00, std::vector<std::uint8_t>(16, std::uint8_t(I)), {}}};
            if (I % 2) R.Blocks.push_back({400, 0x40, std::vector<std::uint8_t>(8, 1), {}});
            W.Write(R);
        }
    }
    NARVI_FILE_T H = nullptr;
    ASSERT_EQ(narvi_open(Path.c_str(), &H), 0) << LastError();
    ASSERT_EQ(narvi_reindex(H), 0) << LastError();
    auto Read = [H] {
        return narvi_read(H, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    };
    ASSERT_EQ(Read(), 0) << LastError();

    Allocations = 0;
    Counting = true;
    int Shots = 0;
    while (Read() == 0) ++Shots;
    for (std::uint32_t N = 7; N < 400; N = N * 7 % 401) {
        narvi_seek(H, N);
        Read();
    }
    narvi_seek_time(H, 0.0005);
    Read();
    narvi_seek_time_external(H, 0.0);
    Read();
    Counting = false;
    EXPECT_GT(Shots, 350);
    EXPECT_EQ(Allocations, 0u);

    // Nor with a listener for the detail lines of every record.
    static std::size_t Lines = 0;
    narvi_set_trace_callback(
        H, [](NARVI_FILE_T, NARVI_POINTER_T, NARVI_CSZ_T) { ++Lines; }, nullptr);
    narvi_seek(H, 1);
    Counting = true;
    while (Read() == 0) {
    }
    Counting = false;
    narvi_close(H);
    EXPECT_GT(Lines, 15u * 350);
    EXPECT_EQ(Allocations, 0u);
}

TEST(ResourceLimits, WhatIsNoRecordingIsRefusedWithCodeAndText) {
    TTempDir Dir;
    const std::vector<std::uint8_t> Header = TRecordingWriter::EncodeHeader(TRecHeader());
    WriteFileBytes(Dir.File("empty.kqm"), {});
    WriteFileBytes(Dir.File("one.kqm"), {0});
    WriteFileBytes(Dir.File("cut.kqm"), {Header.begin(), Header.begin() + 100});
    std::filesystem::create_directory(Dir.File("folder.kqm"));
    ASSERT_EQ(::mkfifo(Dir.File("fifo.kqm").c_str(), 0600), 0);
    const struct {
        const char* Name;
        const char* Text;  // part of the text expected
    } Cases[] = {
        {"empty.kqm", ""},
        {"one.kqm", ""},
        {"cut.kqm", ""},
        {"folder.kqm", "directory"},
        {"fifo.kqm", "Illegal seek"},
        {"missing.kqm", "No such file"},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        NARVI_FILE_T H = nullptr;
        EXPECT_NE(narvi_open(Dir.File(C.Name).c_str(), &H), 0);  // and returns, even for a pipe without a writer
        EXPECT_EQ(H, nullptr);
        const std::string Text = LastError();
        EXPECT_NE(Text, "(no error)");
        EXPECT_NE(Text.find(C.Text), std::string::npos) << Text;
    }
}

TEST(ResourceLimits, HeaderOnlyRecordingOpensAndHasNothingToRead) {
    TTempDir Dir;
    const std::string Path = Dir.File("bare.kqm");
    TRecordingWriter(Path, TRecHeader()).Close();
    NARVI_FILE_T H = nullptr;
    ASSERT_EQ(narvi_open(Path.c_str(), &H), 0) << LastError();
    EXPECT_EQ(narvi_read(H, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
              NARVI_ERR_MISSING_INDEX);
    EXPECT_NE(LastError(), "(no error)");
    // Without records there is no time to synchronise on: a rebuild may refuse, but says why.
    if (narvi_reindex(H) != 0) {
        EXPECT_NE(LastError(), "(no error)");
    }
    const std::int32_t Code =
        narvi_read(H, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_TRUE(Code == NARVI_END_OF_FILE || Code == NARVI_ERR_MISSING_INDEX) << Code;
    EXPECT_NE(LastError(), "(no error)");
    narvi_close(H);
}

// Root reads every file whatever its mode bits, so as root the check runs in
// a child that has given up root for the unprivileged "nobody" (65534).
TEST(ResourceLimits, UnreadableRecordingIsRefusedWithCodeAndText) {
    TTempDir Dir;
    const std::string Path = Dir.File("locked.kqm");
    TRecordingWriter(Path, TRecHeader()).Close();
    ASSERT_EQ(::chmod(Path.c_str(), 0), 0);
    ASSERT_EQ(::chmod(Dir.Path().c_str(), 0755), 0);
    const auto Check = [&]() -> bool {
        NARVI_FILE_T H = nullptr;
        return narvi_open(Path.c_str(), &H) != 0 && !H && LastError().find("Permission denied") != std::string::npos;
    };
    if (::geteuid() != 0) {
        EXPECT_TRUE(Check()) << LastError();
        return;
    }
    const pid_t Child = ::fork();
    ASSERT_GE(Child, 0);
    if (Child == 0) {
        const bool Dropped = ::setgid(65534) == 0 && ::setuid(65534) == 0;
        ::_exit(!Dropped ? 2 : Check() ? 0 : 1);
    }
    int Status = 0;
    ASSERT_EQ(::waitpid(Child, &Status, 0), Child);
    ASSERT_TRUE(WIFEXITED(Status));
    if (WEXITSTATUS(Status) == 2) GTEST_SKIP() << "cannot give up root here";
    EXPECT_EQ(WEXITSTATUS(Status), 0) << "the unreadable file was not refused with its reason";
}
