// Running statistics as the clock-frequency report uses them.

#include <gtest/gtest.h>

#include <cmath>

#include "Stat.h"

TEST(StatTest, EmptyStatisticsHaveNoExtremesAndNoSpread) {
    TStat S;
    S.Delta = true;
    Reset(S);
    EXPECT_EQ(Count(S), 0u);
    EXPECT_TRUE(std::isnan(Min(S)));
    EXPECT_TRUE(std::isnan(Max(S)));
    EXPECT_TRUE(std::isnan(S.Last));
    EXPECT_EQ(Mean(S), 0);
    EXPECT_EQ(Sum(S), 0);
    EXPECT_EQ(Dev(S), 0);
    EXPECT_FALSE(S.Delta);
}

TEST(StatTest, ValuesGiveMeanExtremesAndPopulationDeviation) {
    struct {
        const char* Name;
        std::vector<double> Values;
        double Min, Max, Mean, Dev;
    } const Cases[] = {
        {"one value", {3.5}, 3.5, 3.5, 3.5, 0},
        {"textbook set", {2, 4, 4, 4, 5, 5, 7, 9}, 2, 9, 5, 2},
        {"negatives first", {-1, -3, 4}, -3, 4, 0, std::sqrt(26.0 / 3)},
        {"offset larger than the spread", {1e3 + 1, 1e3 - 1}, 1e3 - 1, 1e3 + 1, 1e3, 1},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        TStat S;
        Reset(S);
        double Total = 0;
        for (double V : C.Values) {
            EXPECT_EQ(Add(S, V), V);
            Total += V;
        }
        EXPECT_EQ(Count(S), C.Values.size());
        EXPECT_EQ(Min(S), C.Min);
        EXPECT_EQ(Max(S), C.Max);
        EXPECT_NEAR(Mean(S), C.Mean, 1e-12 * (1 + std::fabs(C.Mean)));
        EXPECT_EQ(Sum(S), Total);
        EXPECT_NEAR(Dev(S), C.Dev, 1e-9);
        EXPECT_EQ(S.Last, C.Values.back());
    }
}

TEST(StatTest, MergeEqualsEnteringBothSeries) {
    const std::vector<double> A = {1, 8, -2}, B = {10, 0.5};
    TStat SA, SB, All, Empty;
    Reset(SA);
    Reset(SB);
    Reset(All);
    Reset(Empty);
    for (double V : A) Add(SA, V), Add(All, V);
    for (double V : B) Add(SB, V), Add(All, V);

    TStat M = SA;
    Add(M, SB);
    EXPECT_EQ(Count(M), Count(All));
    EXPECT_EQ(Min(M), -2);
    EXPECT_EQ(Max(M), 10);
    EXPECT_DOUBLE_EQ(Mean(M), Mean(All));
    EXPECT_DOUBLE_EQ(Sum(M), Sum(All));
    EXPECT_DOUBLE_EQ(Dev(M), Dev(All));

    // Into an empty one, and an empty one into a filled one.
    TStat E = Empty;
    Add(E, SA);
    EXPECT_EQ(Min(E), -2);
    EXPECT_EQ(Max(E), 8);
    EXPECT_DOUBLE_EQ(Mean(E), Mean(SA));
    TStat F = SA;
    Add(F, Empty);
    EXPECT_EQ(Count(F), 3u);
    EXPECT_DOUBLE_EQ(Mean(F), Mean(SA));
}

TEST(StatTest, DifferenceModeEntersStepsBetweenValues) {
    TStat S;
    Reset(S);
    S.Delta = true;
    EXPECT_TRUE(std::isnan(Add(S, 100)));
    EXPECT_EQ(Count(S), 0u);
    EXPECT_EQ(Add(S, 103), 3);
    EXPECT_EQ(Add(S, 102), -1);
    EXPECT_EQ(Count(S), 2u);
    EXPECT_EQ(Mean(S), 1);
    EXPECT_EQ(Min(S), -1);
    EXPECT_EQ(Max(S), 3);
    EXPECT_EQ(S.Last, 102);
}
