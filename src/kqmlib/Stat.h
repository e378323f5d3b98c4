#pragma once
// Running statistics of a series of values: count, extremes, mean, sums and
// the population standard deviation, without keeping the values.

#include <cstdint>

struct TStat {
    std::uint32_t Count = 0;
    double Min = 0, Max = 0, Mean = 0, Sum = 0, Sum2 = 0, Last = 0;
    // Values enter as differences to the previous one.
    bool Delta = false;
};

// Empty: no values, extremes and last value NaN.
void Reset(TStat& S);
// Enters X and returns the value that entered (X itself, or its difference
// to the previous X in difference mode; NaN for the first value there).
double Add(TStat& S, double X);
// Merges S2 into S1, as if S2's values had been entered into S1.
void Add(TStat& S1, const TStat& S2);
// Population standard deviation; 0 for fewer than two values.
double Dev(const TStat& S);

inline double Min(const TStat& S) { return S.Min; }
inline double Max(const TStat& S) { return S.Max; }
inline double Mean(const TStat& S) { return S.Mean; }
inline double Sum(const TStat& S) { return S.Sum; }
inline std::uint32_t Count(const TStat& S) { return S.Count; }
