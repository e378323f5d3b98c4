#include "Stat.h"

#include <cmath>
#include <limits>

namespace {
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
}

void Reset(TStat& S) {
    S.Count = 0;
    S.Min = S.Max = S.Last = NaN;
    S.Mean = S.Sum = S.Sum2 = 0;
    S.Delta = false;
}

double Add(TStat& S, double X) {
    double V = X;
    if (S.Delta) {
        // The first value only gives the reference for the next difference.
        const bool First = std::isnan(S.Last);
        V = X - S.Last;
        S.Last = X;
        if (First) return NaN;
    }
    S.Mean = (double(S.Count) * S.Mean + V) / (double(S.Count) + 1);
    S.Count += 1;
    S.Sum2 += V * V;
    S.Sum += V;
    if (std::isnan(S.Max) || V > S.Max) S.Max = V;
    // Written as "not >=" so that a NaN Min is replaced as well.
    if (std::isnan(S.Min) || !(V >= S.Min)) S.Min = V;
    S.Last = X;
    return V;
}

void Add(TStat& S1, const TStat& S2) {
    if (S2.Count == 0) return;
    const double N1 = S1.Count, N2 = S2.Count;
    S1.Mean = (N1 * S1.Mean + N2 * S2.Mean) / (N1 + N2);
    S1.Count += S2.Count;
    S1.Sum += S2.Sum;
    S1.Sum2 += S2.Sum2;
    if (std::isnan(S1.Max) || S2.Max > S1.Max) S1.Max = S2.Max;
    if (std::isnan(S1.Min) || S2.Min < S1.Min) S1.Min = S2.Min;
}

double Dev(const TStat& S) {
    if (S.Count < 2) return 0;
    const double N = S.Count;
    return std::sqrt(std::fabs(S.Sum2 - S.Sum * S.Sum / N) / N);
}
