#pragma once
// The CPU time a benchmark spent in its own code and in the kernel, per
// iteration, as two counters: for a reader, the kernel's share is mostly the
// copy out of the page cache, which no change of ours can take away.

#include <benchmark/benchmark.h>
#include <sys/resource.h>

class TCpuSplit {
public:
    TCpuSplit() { getrusage(RUSAGE_SELF, &FStart); }

    // Adds user_ms and sys_ms per iteration to State's counters.
    void Report(benchmark::State& State) const {
        rusage End{};
        getrusage(RUSAGE_SELF, &End);
        const double N = State.iterations() > 0 ? double(State.iterations()) : 1.0;
        State.counters["user_ms"] = Ms(FStart.ru_utime, End.ru_utime) / N;
        State.counters["sys_ms"] = Ms(FStart.ru_stime, End.ru_stime) / N;
    }

private:
    static double Ms(const timeval& A, const timeval& B) {
        return double(B.tv_sec - A.tv_sec) * 1e3 + double(B.tv_usec - A.tv_usec) / 1e3;
    }
    rusage FStart{};
};
