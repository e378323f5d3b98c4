// Sequential reading of a large file through the buffered stream, beside a
// plain read() loop over the same file in the same run.

#include "Buffer.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr std::int64_t kFileSize = 256LL * 1024 * 1024;
std::string FileName;

void MakeFile() {
    const auto dir = std::filesystem::temp_directory_path() / ("narvi-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    FileName = (dir / "sequential.bin").string();
    std::vector<char> chunk(1 << 20);
    for (std::size_t i = 0; i < chunk.size(); ++i) {
        chunk[i] = static_cast<char>(i * 31 + 7);
    }
    std::FILE* f = std::fopen(FileName.c_str(), "wb");
    for (std::int64_t done = 0; f && done < kFileSize; done += static_cast<std::int64_t>(chunk.size())) {
        std::fwrite(chunk.data(), 1, chunk.size(), f);
    }
    if (f) {
        std::fclose(f);
    }
}

void Finish(benchmark::State& state, std::int64_t total) {
    if (total != kFileSize) {
        state.SkipWithError("did not read the whole file");
    }
    state.SetBytesProcessed(state.iterations() * kFileSize);
}

void BM_PlainRead(benchmark::State& state) {
    const auto request = static_cast<std::size_t>(state.range(0));
    std::vector<char> buf(request);
    std::int64_t total = 0;
    for (auto _ : state) {
        const int fd = ::open(FileName.c_str(), O_RDONLY);
        total = 0;
        ssize_t n;
        while ((n = ::read(fd, buf.data(), request)) > 0) {
            total += n;
        }
        ::close(fd);
        benchmark::DoNotOptimize(buf.data());
    }
    Finish(state, total);
}

void BM_BufferedRead(benchmark::State& state) {
    const auto lookAhead = static_cast<std::int32_t>(state.range(0));
    const auto request = static_cast<std::int32_t>(state.range(1));
    std::vector<char> buf(static_cast<std::size_t>(request));
    std::int64_t total = 0;
    for (auto _ : state) {
        TFileStreamBuffered s(FileName, fmOpenRead | fmShareDenyWrite, lookAhead);
        total = 0;
        std::int32_t n;
        while ((n = s.Read(buf.data(), request)) > 0) {
            total += n;
        }
        benchmark::DoNotOptimize(buf.data());
    }
    Finish(state, total);
}

BENCHMARK(BM_PlainRead)->ArgName("request")->Arg(4096)->Arg(65536)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_BufferedRead)
    ->ArgNames({"lookahead", "request"})
    ->Args({4096, 4})
    ->Args({65536, 4})
    ->Args({4096, 65536})
    ->Args({65536, 65536})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    MakeFile();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::path(FileName).parent_path(), ec);
    return 0;
}
