#include "Buffer.h"

#include "../support/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace {

std::vector<std::uint8_t> Ramp(std::size_t n) {
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i) {
        v[i] = static_cast<std::uint8_t>(i * 13 + i / 256);
    }
    return v;
}

void WriteFile(const std::string& name, const std::vector<std::uint8_t>& data) {
    std::ofstream f(name, std::ios::binary);
    f.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

std::vector<std::uint8_t> ReadFile(const std::string& name) {
    std::ifstream f(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

std::int64_t SizeOnDisk(const std::string& name) {
    struct stat st;
    return ::stat(name.c_str(), &st) == 0 ? st.st_size : -1;
}

std::int64_t HandlePosition(const TFileStreamBuffered& s) {
#ifdef _WIN32
    LARGE_INTEGER zero{}, pos{};
    return SetFilePointerEx(s.Handle(), zero, &pos, FILE_CURRENT) ? pos.QuadPart : -1;
#else
    return ::lseek(s.Handle(), 0, SEEK_CUR);
#endif
}

class BufferTest : public ::testing::Test {
protected:
    TTempDir Dir;
};

TEST_F(BufferTest, SmallReadsCostOneFileReadPerBuffer) {
    const std::string name = Dir.File("10000.bin");
    const auto data = Ramp(10000);
    WriteFile(name, data);
    TFileStreamBuffered s(name, fmOpenRead | fmShareDenyWrite, 4096);
    EXPECT_EQ(s.GetSize(), 10000);
    std::vector<std::uint8_t> got;
    std::uint8_t piece[10];
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(s.Read(piece, 10), 10) << "read " << i;
        got.insert(got.end(), piece, piece + 10);
    }
    EXPECT_EQ(got, data);
    EXPECT_EQ(s.ReadCalls(), 3u);
    EXPECT_EQ(s.Read(piece, 10), 0);
    EXPECT_EQ(s.GetPosition(), 10000);
    EXPECT_EQ(s.GetSize(), 10000);
}

// Reading on doubles the read size per refill up to the limit; a seek
// outside the buffer starts again with the look-ahead, so that a reader
// jumping about reads no more than that.
TEST_F(BufferTest, GrowingReadsFollowAWalkAndShrinkAfterAJump) {
    const std::string name = Dir.File("1m.bin");
    const auto data = Ramp(1 << 20);
    WriteFile(name, data);
    TFileStreamBuffered s(name, fmOpenRead | fmShareDenyWrite, 4096);
    s.SetGrowth(65536);
    EXPECT_EQ(s.LookAhead(), 4096);
    std::vector<std::uint8_t> got;
    std::uint8_t piece[100];
    for (std::int32_t n; (n = s.Read(piece, sizeof piece)) > 0;) got.insert(got.end(), piece, piece + n);
    EXPECT_EQ(got, data);
    // 4, 8, 16, 32 KB, then 64 KB at a time, less the quarter kept for
    // stepping back, and the reads at the end: 27 calls, where the look-ahead
    // alone (3 KB new per call) takes over 340.
    EXPECT_EQ(s.ReadCalls(), 27u);

    const std::uint64_t before = s.ReadCalls();
    s.Seek(300000, soBeginning);
    ASSERT_EQ(s.Read(piece, 10), 10);
    EXPECT_EQ(std::vector<std::uint8_t>(piece, piece + 10), std::vector<std::uint8_t>(&data[300000], &data[300010]));
    EXPECT_EQ(s.ReadCalls(), before + 1);
    EXPECT_NE(s.Window(300000, 4096), nullptr);
    EXPECT_EQ(s.Window(300000, 4097), nullptr) << "a jump reads the look-ahead only";
}

TEST_F(BufferTest, SeeksInsideTheBufferCostNothing) {
    const std::string name = Dir.File("4096.bin");
    const auto data = Ramp(4096);
    WriteFile(name, data);
    TFileStreamBuffered s(name, fmOpenRead | fmShareDenyWrite, 4096);
    std::uint8_t b[100];
    ASSERT_EQ(s.Read(b, 100), 100);
    const auto handleAt = HandlePosition(s);
    EXPECT_EQ(s.ReadCalls(), 1u) << "the whole file is read ahead";
    ASSERT_NE(s.Window(0, 4096), nullptr);

    EXPECT_EQ(s.Seek(0, soCurrent), 100);
    EXPECT_EQ(s.Seek(50, soBeginning), 50);
    EXPECT_EQ(HandlePosition(s), handleAt) << "a seek inside the buffer must not touch the file";
    ASSERT_EQ(s.Read(b, 4), 4);
    EXPECT_EQ(b[0], data[50]);
    // Resynchronisation steps back a few bytes relative to where it stands.
    EXPECT_EQ(s.Seek(-3, soCurrent), 51);
    ASSERT_EQ(s.Read(b, 1), 1);
    EXPECT_EQ(b[0], data[51]);
    EXPECT_EQ(s.Seek(-20, soEnd), 4076);
    ASSERT_EQ(s.Read(b, 20), 20);
    EXPECT_EQ(b[19], data[4095]);
    EXPECT_EQ(s.ReadCalls(), 1u);
    EXPECT_EQ(HandlePosition(s), handleAt);
}

// A reader that decodes a record and its neighbours steps back over the
// border of the last refill; the bytes just before it are still there.
TEST_F(BufferTest, SteppingBackOverARefillBorderCostsNoFileAccess) {
    const std::string name = Dir.File("records.bin");
    const auto data = Ramp(40000);
    WriteFile(name, data);
    TFileStreamBuffered s(name, fmOpenRead | fmShareDenyWrite, 4096);
    std::uint8_t b[700];
    std::int64_t pos = 0;
    while (pos + 700 <= 40000) {
        // Read two "records" ahead, then go back to the start of the second.
        ASSERT_EQ(s.Seek(pos, soBeginning), pos);
        ASSERT_EQ(s.Read(b, 500), 500);
        ASSERT_EQ(s.Read(b, 500), pos + 1000 <= 40000 ? 500 : 40000 - pos - 500);
        pos += 500;
        ASSERT_EQ(s.Seek(pos, soBeginning), pos);
        ASSERT_EQ(s.Read(b, 200), 200);
        ASSERT_TRUE(std::equal(b, b + 200, data.begin() + pos)) << "at " << pos;
    }
    // Every byte read once: each refill brings 3072 new bytes after the first 4096.
    EXPECT_EQ(s.ReadCalls(), 13u);
    // Further back than the bytes kept is a real seek, and still right.
    ASSERT_EQ(s.Seek(pos - 2000, soBeginning), pos - 2000);
    ASSERT_EQ(s.Read(b, 8), 8);
    EXPECT_TRUE(std::equal(b, b + 8, data.begin() + (pos - 2000)));
}

// Bytes lent in place are the file's own, and only what is buffered is lent.
TEST_F(BufferTest, WindowLendsExactlyTheBufferedBytes) {
    const std::string name = Dir.File("window.bin");
    const auto data = Ramp(20000);
    WriteFile(name, data);
    TFileStreamBuffered s(name, fmOpenRead | fmShareDenyWrite, 4096);
    EXPECT_EQ(s.Window(0, 1), nullptr) << "nothing read yet";
    std::mt19937 rng(5);
    std::uint8_t b[600];
    for (int step = 0; step < 3000; ++step) {
        const auto at = static_cast<std::int64_t>(rng() % 20000);
        std::int32_t got = 0;
        if (rng() % 3 == 0) {
            s.Seek(at, soBeginning);
        } else {
            got = s.Read(b, static_cast<std::int32_t>(rng() % 600));
        }
        const std::int64_t pos = s.GetPosition();
        const auto from = pos - static_cast<std::int64_t>(rng() % 1500);
        const auto count = static_cast<std::int32_t>(1 + rng() % 3000);
        const std::uint8_t* w = s.Window(from, count);
        if (w) {
            ASSERT_GE(from, 0);
            ASSERT_LE(from + count, 20000);
            ASSERT_TRUE(std::equal(w, w + count, data.begin() + from)) << "step " << step;
        }
        ASSERT_EQ(s.GetPosition(), pos) << "lending does not move the stream";
        // What was just read is always lent.
        if (got >= 4) {
            ASSERT_NE(s.Window(pos - 4, 4), nullptr) << "step " << step;
        }
    }
    EXPECT_EQ(s.Window(0, 0), nullptr);
    EXPECT_EQ(s.Window(0, -1), nullptr);
}

TEST_F(BufferTest, SeeksOutsideTheBufferRefillFromTheRightPlace) {
    const std::string name = Dir.File("big.bin");
    const auto data = Ramp(20000);
    WriteFile(name, data);
    TFileStreamBuffered s(name, fmOpenRead, 4096);
    std::uint8_t b[8];
    ASSERT_EQ(s.Read(b, 8), 8);
    EXPECT_EQ(s.Seek(12345, soBeginning), 12345);
    ASSERT_EQ(s.Read(b, 8), 8);
    EXPECT_EQ(b[0], data[12345]);
    EXPECT_EQ(s.Seek(-12000, soCurrent), 353);
    ASSERT_EQ(s.Read(b, 8), 8);
    EXPECT_EQ(b[7], data[360]);
    EXPECT_EQ(s.ReadCalls(), 3u);
    EXPECT_EQ(s.Seek(5, soEnd), 20005) << "beyond the end is a position, not an error";
    EXPECT_EQ(s.Read(b, 8), 0);
    EXPECT_THROW(s.Seek(-1, soBeginning), EInOutError);
    EXPECT_EQ(s.GetPosition(), 20005) << "a refused seek leaves the position alone";
}

TEST_F(BufferTest, WritesReachTheFileOneBufferAtATime) {
    const std::string name = Dir.File("w.bin");
    const auto data = Ramp(5000);
    {
        TFileStreamBuffered s(name, fmCreate, 4096);
        for (int i = 0; i < 5000; i += 100) {
            ASSERT_EQ(s.Write(data.data() + i, 100), 100);
        }
        EXPECT_EQ(SizeOnDisk(name), 4096);
        EXPECT_EQ(s.GetSize(), 5000);
        EXPECT_EQ(s.GetPosition(), 5000);
    }
    EXPECT_EQ(ReadFile(name), data) << "the destructor writes the rest";
}

TEST_F(BufferTest, WriteThenReadRoundTrips) {
    const std::string name = Dir.File("rw.bin");
    auto data = Ramp(9000);
    {
        TFileStreamBuffered s(name, fmCreate, 4096);
        s.WriteBuffer(data.data(), 9000);
        // Reading flushes first and sees every byte just written.
        EXPECT_EQ(s.Seek(8990, soBeginning), 8990);
        std::uint8_t b[20];
        EXPECT_EQ(s.Read(b, 20), 10);
        EXPECT_EQ(b[9], data[8999]);
        // Overwrite in the middle of read-ahead data, then read across it.
        s.SetPosition(100);
        s.ReadBuffer(b, 4);
        const std::uint8_t patch[3] = {0xAA, 0xBB, 0xCC};
        s.WriteBuffer(patch, 3);
        std::copy(patch, patch + 3, data.begin() + 104);
        s.ReadBuffer(b, 4);
        EXPECT_EQ(b[0], data[107]);
        s.SetPosition(102);
        s.ReadBuffer(b, 6);
        EXPECT_TRUE(std::equal(b, b + 6, data.begin() + 102));
        s.Flush();
        // Windows lets nobody else open a file its creator holds; there the
        // bytes can be looked at only after the close.
#ifndef _WIN32
        EXPECT_EQ(ReadFile(name), data) << "flushed while still open";
#endif
    }
    EXPECT_EQ(ReadFile(name), data);
}

TEST_F(BufferTest, SetSizeKeepsPositionAndBufferConsistent) {
    const std::string name = Dir.File("size.bin");
    const auto data = Ramp(300);
    TFileStreamBuffered s(name, fmCreate, 64);
    s.WriteBuffer(data.data(), 300);
    s.SetSize(200);
    EXPECT_EQ(s.GetSize(), 200);
    EXPECT_EQ(s.GetPosition(), 200);
    const std::uint8_t tail[2] = {1, 2};
    s.WriteBuffer(tail, 2);
    s.SetPosition(0);
    std::uint8_t b[300];
    EXPECT_EQ(s.Read(b, 300), 202);
    EXPECT_TRUE(std::equal(b, b + 200, data.begin()));
    EXPECT_EQ(b[200], 1);
}

TEST_F(BufferTest, FailedFlushReportsAndKeepsTheBytes) {
    std::string target = "/dev/full";
    std::uint16_t mode = fmOpenWrite;
    if (::access(target.c_str(), W_OK) != 0) {
        // Without a full device (Windows), a file opened for reading refuses
        // every write just the same.
        target = Dir.File("readonly.bin");
        WriteFile(target, {});
        mode = fmOpenRead | fmShareDenyWrite;
    }
    auto s = std::make_unique<TFileStreamBuffered>(target, mode, 16);
    const std::uint8_t b[10] = {};
    EXPECT_EQ(s->Write(b, 10), 10);
    try {
        s->Flush();
        FAIL() << "a full disk must not pass silently";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.Message(), "Cannot flush buffer");
    }
    EXPECT_EQ(s->GetPosition(), 10);
    // Filling the buffer forces a flush inside Write: the error surfaces, and
    // the position still counts only what the buffer took.
    EXPECT_THROW(s->Write(b, 10), EInOutError);
    EXPECT_EQ(s->GetPosition(), 16);
    EXPECT_NO_THROW(s.reset()) << "the destructor swallows the failed flush";
}

TEST_F(BufferTest, UnbufferedStreamPassesEverythingThrough) {
    const std::string name = Dir.File("nobuf.bin");
    const auto data = Ramp(100);
    TFileStreamBuffered s(name, fmCreate, 0);
    s.WriteBuffer(data.data(), 100);
    EXPECT_EQ(SizeOnDisk(name), 100);
    EXPECT_EQ(s.GetSize(), 100);
    EXPECT_EQ(s.Seek(-10, soEnd), 90);
    std::uint8_t b[20];
    EXPECT_EQ(s.Read(b, 20), 10);
    EXPECT_EQ(s.GetPosition(), 100);
    EXPECT_EQ(s.ReadCalls(), 1u);
    std::string line;
    EXPECT_EQ(([&] {
                  try {
                      s.LineRead(line);
                  } catch (const EInOutError& e) {
                      return e.Message();
                  }
                  return std::string();
              }()),
              "No lookahead defined");
}

TEST_F(BufferTest, LinesRoundTripAcrossBufferBorders) {
    const std::string name = Dir.File("lines.txt");
    {
        TFileStreamBuffered s(name, fmCreate, 5);
        EXPECT_EQ(s.LineWrite("first line"), 12);
        EXPECT_EQ(s.LineWrite(""), 2);
        EXPECT_EQ(s.LineWrite("a\rb"), 5);
        EXPECT_EQ(s.Write("tail", 4), 4);
    }
    TFileStreamBuffered s(name, fmOpenRead, 5);
    std::string line;
    EXPECT_EQ(s.LineRead(line), 12);
    EXPECT_EQ(line, "first line");
    EXPECT_EQ(s.LineRead(line), 2);
    EXPECT_EQ(line, "");
    EXPECT_EQ(s.LineRead(line), 5);
    EXPECT_EQ(line, "a\rb") << "a lone carriage return is not a break";
    EXPECT_EQ(s.LineRead(line), 4);
    EXPECT_EQ(line, "tail");
    EXPECT_EQ(s.LineRead(line), 0);
    EXPECT_EQ(line, "");
    EXPECT_EQ(s.GetPosition(), s.GetSize());
    s.SetPosition(0);
    EXPECT_EQ(s.LineRead(line, " "), 6);
    EXPECT_EQ(line, "first");
}

TEST_F(BufferTest, OpenErrorsPassThrough) {
    const std::string name = Dir.File("absent.kqm");
    try {
        TFileStreamBuffered s(name, fmOpenRead | fmShareDenyWrite, 4096);
        FAIL() << "opened a missing file";
    } catch (const EFOpenError& e) {
#ifdef _WIN32
        SetLastError(ERROR_FILE_NOT_FOUND);
        const std::string Reason = TFileHandle::SystemErrorText();
#else
        const std::string Reason = "No such file or directory";
#endif
        EXPECT_EQ(e.Message(), "Cannot open file \"" + name + "\". " + Reason);
    }
}

// Random mixes of reads, writes, seeks and size changes must leave the
// buffered stream indistinguishable from a plain one, for buffer sizes from
// degenerate to larger than the file.
TEST_F(BufferTest, AgreesWithAnUnbufferedModelUnderRandomOperations) {
    for (const std::int32_t ahead : {0, 1, 7, 64, 4096}) {
        SCOPED_TRACE("look-ahead " + std::to_string(ahead));
        const std::string name = Dir.File("model" + std::to_string(ahead));
        auto initial = Ramp(3000);
        WriteFile(name, initial);
        TMemoryStream model;
        model.WriteBuffer(initial.data(), 3000);
        model.SetPosition(0);
        std::mt19937 rng(1234 + static_cast<unsigned>(ahead));
        {
            TFileStreamBuffered s(name, fmOpenReadWrite, ahead);
            std::vector<std::uint8_t> a(600), b(600);
            for (int step = 0; step < 3000; ++step) {
                // Phases alternate between read-heavy work with short hops
                // (what resynchronisation does) and write-heavy work.
                const bool readPhase = (step / 150) % 2 == 0;
                const int roll = static_cast<int>(rng() % 20);
                const int op = readPhase ? (roll < 11   ? 0
                                            : roll < 12 ? 1
                                            : roll < 19 ? 2
                                                        : 3)
                                         : (roll < 6    ? 0
                                            : roll < 13 ? 1
                                            : roll < 19 ? 2
                                                        : 3);
                const auto n = static_cast<std::int32_t>(rng() % (rng() % 4 == 0 ? 600 : 12));
                if (op == 0) {
                    const std::int32_t ga = s.Read(a.data(), n);
                    const std::int32_t gb = model.Read(b.data(), n);
                    ASSERT_EQ(ga, gb) << "step " << step;
                    ASSERT_TRUE(std::equal(a.begin(), a.begin() + ga, b.begin())) << "step " << step;
                } else if (op == 1) {
                    for (auto& x : a) {
                        x = static_cast<std::uint8_t>(rng());
                    }
                    // Half the writes go in place, where the buffer has room for them.
                    std::uint8_t* const at = rng() % 2 ? s.Reserve(n) : nullptr;
                    if (at) {
                        std::memcpy(at, a.data(), static_cast<std::size_t>(n));
                        ASSERT_EQ(model.Write(a.data(), n), n) << "step " << step;
                    } else {
                        ASSERT_EQ(s.Write(a.data(), n), model.Write(a.data(), n)) << "step " << step;
                    }
                } else if (op == 2) {
                    const auto origin = static_cast<TSeekOrigin>(rng() % 3);
                    std::int64_t off = 0;
                    switch (origin) {
                    case soBeginning:
                        off = static_cast<std::int64_t>(rng() % 3500);
                        break;
                    case soCurrent:
                        off = static_cast<std::int64_t>(rng() % 41) - 20;
                        break;
                    case soEnd:
                        off = -static_cast<std::int64_t>(rng() % 300);
                        break;
                    }
                    const std::int64_t base = origin == soCurrent ? model.GetPosition()
                                              : origin == soEnd   ? model.GetSize()
                                                                  : 0;
                    if (base + off < 0) {
                        off = -base;
                    }
                    ASSERT_EQ(s.Seek(off, origin), model.Seek(off, origin)) << "step " << step;
                } else {
                    const std::int64_t size = 2000 + static_cast<std::int64_t>(rng() % 2000);
                    s.SetSize(size);
                    model.SetSize(size);
                }
                ASSERT_EQ(s.GetSize(), model.GetSize()) << "step " << step;
                ASSERT_EQ(s.GetPosition(), model.GetPosition()) << "step " << step;
            }
            s.Flush();
        }
        const auto onDisk = ReadFile(name);
        ASSERT_EQ(static_cast<std::int64_t>(onDisk.size()), model.GetSize());
        EXPECT_TRUE(std::equal(onDisk.begin(), onDisk.end(), model.Memory()));
    }
}

// A new buffer size in the middle of reading or writing loses nothing and
// keeps the position: pending writes reach the file, reads go on from where
// they were.
TEST_F(BufferTest, ChangingTheLookAheadKeepsPositionAndPendingWrites) {
    const std::string name = Dir.File("resize.bin");
    WriteFile(name, Ramp(5000));
    TMemoryStream model;
    const auto initial = Ramp(5000);
    model.WriteBuffer(initial.data(), 5000);
    model.SetPosition(0);
    std::mt19937 rng(99);
    const std::int32_t sizes[] = {0, 1, 16, 300, 4096, 1 << 16};
    {
        TFileStreamBuffered s(name, fmOpenReadWrite, 64);
        std::vector<std::uint8_t> a(700), b(700);
        for (int step = 0; step < 2000; ++step) {
            const auto n = static_cast<std::int32_t>(rng() % 700);
            switch (rng() % 4) {
            case 0: {
                const std::int32_t ga = s.Read(a.data(), n);
                ASSERT_EQ(ga, model.Read(b.data(), n)) << "step " << step;
                ASSERT_TRUE(std::equal(a.begin(), a.begin() + ga, b.begin())) << "step " << step;
                break;
            }
            case 1:
                for (auto& x : a) {
                    x = static_cast<std::uint8_t>(rng());
                }
                ASSERT_EQ(s.Write(a.data(), n), model.Write(a.data(), n)) << "step " << step;
                break;
            case 2: {
                const auto to = static_cast<std::int64_t>(rng() % 5500);
                ASSERT_EQ(s.Seek(to, soBeginning), model.Seek(to, soBeginning)) << "step " << step;
                break;
            }
            default: {
                const std::int32_t ahead = sizes[rng() % 6];
                s.SetLookAhead(ahead);
                ASSERT_EQ(s.LookAhead(), ahead);
                break;
            }
            }
            ASSERT_EQ(s.GetPosition(), model.GetPosition()) << "step " << step;
            ASSERT_EQ(s.GetSize(), model.GetSize()) << "step " << step;
        }
        s.Flush();
    }
    const auto onDisk = ReadFile(name);
    ASSERT_EQ(static_cast<std::int64_t>(onDisk.size()), model.GetSize());
    EXPECT_TRUE(std::equal(onDisk.begin(), onDisk.end(), model.Memory()));
}

TEST(CopyStreamTest, EveryByteReadOrSkippedReachesTheTargetOnce) {
    TMemoryStream source;
    const auto data = Ramp(100);
    source.WriteBuffer(data.data(), 100);
    TMemoryStream target;
    TCopyStream copy(source, target);
    std::uint8_t b[10];
    EXPECT_EQ(copy.Read(b, 10), 10);
    EXPECT_EQ(copy.Seek(50, soBeginning), 50);
    EXPECT_EQ(copy.Read(b, 10), 10);
    EXPECT_EQ(b[0], data[50]);
    ASSERT_EQ(target.GetSize(), 60);
    EXPECT_TRUE(std::equal(data.begin(), data.begin() + 60, target.Memory()));
    // Going back and reading again copies nothing twice; reading on past the
    // old end copies only the new part.
    copy.Seek(55, soBeginning);
    EXPECT_EQ(copy.Read(b, 10), 10);
    EXPECT_EQ(b[0], data[55]);
    EXPECT_EQ(copy.Last, 65);
    ASSERT_EQ(target.GetSize(), 65);
    EXPECT_TRUE(std::equal(data.begin(), data.begin() + 65, target.Memory()));
    // Skipping past the end of the source copies what exists and no more.
    copy.Seek(150, soBeginning);
    EXPECT_EQ(copy.Read(b, 10), 0);
    ASSERT_EQ(target.GetSize(), 100);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), target.Memory()));
    EXPECT_EQ(copy.GetSize(), 100);
}

}  // namespace
