#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "BSpline.h"
#include "ChartError.h"

namespace {

// The pass-through vertices by full Gaussian elimination on the dense matrix,
// the plain way the fast solve must agree with.
std::vector<TSplinePoint> DenseVertices(const std::vector<TSplinePoint>& slots) {
    const int n = static_cast<int>(slots.size());
    std::vector<std::vector<double>> m(static_cast<std::size_t>(n) + 1,
                                       std::vector<double>(static_cast<std::size_t>(n) + 2, 0));
    std::vector<double> bx(static_cast<std::size_t>(n) + 1), by(static_cast<std::size_t>(n) + 1);
    auto at = [&](int r, int c) -> double& { return m[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)]; };
    for (int i = 1; i <= n; ++i) {
        bx[static_cast<std::size_t>(i)] = slots[static_cast<std::size_t>(i - 1)].X;
        by[static_cast<std::size_t>(i)] = slots[static_cast<std::size_t>(i - 1)].Y;
    }
    for (int r = 2; r <= n - 1; ++r) {
        at(r, r - 1) = 1.0 / 6;
        at(r, r) = 2.0 / 3;
        at(r, r + 1) = 1.0 / 6;
    }
    at(1, 1) = 1;
    at(n, n) = 1;
    auto same = [&](int a, int b) {
        return std::fabs(bx[static_cast<std::size_t>(a)] - bx[static_cast<std::size_t>(b)]) < 1e-5 &&
               std::fabs(by[static_cast<std::size_t>(a)] - by[static_cast<std::size_t>(b)]) < 1e-5;
    };
    for (int r = 3; r < n - 1;) {
        if (same(r - 1, r) && same(r, r + 1)) {
            for (int k = r - 1; k <= r + 1; ++k) {
                at(k, k - 1) = 0;
                at(k, k) = 1;
                at(k, k + 1) = 0;
            }
            r += 2;
        } else {
            ++r;
        }
    }
    for (int i = 1; i <= n; ++i)
        for (int j = i + 1; j <= n; ++j) {
            double f = at(j, i) / at(i, i);
            for (int c = 1; c <= n; ++c) at(j, c) -= f * at(i, c);
            bx[static_cast<std::size_t>(j)] -= f * bx[static_cast<std::size_t>(i)];
            by[static_cast<std::size_t>(j)] -= f * by[static_cast<std::size_t>(i)];
        }
    std::vector<TSplinePoint> v(static_cast<std::size_t>(n) + 1);
    v[static_cast<std::size_t>(n)] = {bx[static_cast<std::size_t>(n)] / at(n, n),
                                      by[static_cast<std::size_t>(n)] / at(n, n)};
    for (int k = n - 1; k >= 1; --k) {
        auto K = static_cast<std::size_t>(k);
        v[K].X = (bx[K] - at(k, k + 1) * v[K + 1].X) / at(k, k);
        v[K].Y = (by[K] - at(k, k + 1) * v[K + 1].Y) / at(k, k);
    }
    return v;
}

void ExpectNear(const TSplinePoint& a, const TSplinePoint& b, double tol = 1e-12) {
    EXPECT_NEAR(a.X, b.X, tol * std::max(1.0, std::fabs(b.X)));
    EXPECT_NEAR(a.Y, b.Y, tol * std::max(1.0, std::fabs(b.Y)));
}

TEST(BSpline, ApproximatingCurveIsTheWeightedMean) {
    TBSpline s;
    EXPECT_EQ(s.PointAt(0.5), (TSplinePoint{0, 0}));
    // between the pieces the curve is (first + 4 x middle + last) / 6, in x as in y:
    // an uneven middle point shows it where the curve through the points would pass it
    TBSpline uneven;
    for (const TSplinePoint& p : {TSplinePoint{0, 0}, TSplinePoint{1, 3}, TSplinePoint{3, 0}})
        uneven.AddSplinePoint(p.X, p.Y);
    ExpectNear(uneven.PointAt(0.5), {7.0 / 6, 2});
    s.AddSplinePoint(0, 0);
    s.AddSplinePoint(1, 1);
    s.AddSplinePoint(2, 0);
    ExpectNear(s.PointAt(0.5), {1, 2.0 / 3});
    EXPECT_EQ(s.VertexCount(), 3);
    EXPECT_EQ(s.Vertex(0), (TSplinePoint{-1, -1}));
    EXPECT_EQ(s.Vertex(4), (TSplinePoint{3, -1}));
    // the ends are the first and last points
    ExpectNear(s.PointAt(0), {0, 0});
    ExpectNear(s.PointAt(1), {2, 0});
    // parameters outside [0, 1] are clamped, NaN counts as 0
    EXPECT_EQ(s.PointAt(1.5), s.PointAt(1));
    EXPECT_EQ(s.PointAt(-3), s.PointAt(0));
    EXPECT_EQ(s.PointAt(std::numeric_limits<double>::quiet_NaN()), s.PointAt(0));
}

// Too few points for a cubic piece: one point is the whole curve, two a straight line.
TEST(BSpline, OneAndTwoPointsStayOnThePoints) {
    for (const bool through : {false, true}) {
        SCOPED_TRACE(through ? "through the points" : "approximating");
        TBSpline s;
        s.SetPassThroughPoints(through);
        s.AddSplinePoint(5, 7);
        for (const double t : {0.0, 0.5, 1.0}) EXPECT_EQ(s.PointAt(t), (TSplinePoint{5, 7}));
        s.AddSplinePoint(9, -1);
        ExpectNear(s.PointAt(0), {5, 7});
        ExpectNear(s.PointAt(0.25), {6, 5});
        ExpectNear(s.PointAt(1), {9, -1});
    }
}

TEST(BSpline, PassThroughHitsEveryPoint) {
    TBSpline s;
    const std::vector<TSplinePoint> pts = {{0, 0}, {1, 3}, {2, -1}, {4, 2}, {5, 5}, {7, 0}};
    for (const auto& p : pts) s.AddSplinePoint(p.X, p.Y);
    s.SetPassThroughPoints(true);
    const int n = s.VertexCount();
    ASSERT_EQ(n, 6);
    for (int k = 0; k < n; ++k)
        ExpectNear(s.PointAt(static_cast<double>(k) / (n - 1)), pts[static_cast<std::size_t>(k)]);
    s.SetPassThroughPoints(false);
    EXPECT_GT(std::fabs(s.PointAt(0.2).Y - 3), 0.1);
}

TEST(BSpline, CornersStayExactlyAtTheirPoint) {
    TBSpline s;
    for (double x : {0.0, 1.0, 2.0, 3.0, 4.0}) s.AddSplinePoint(x, x == 2 ? 5 : 0);
    s.SetCorner(1, true);  // ignored: the ends are never corners
    s.SetCorner(5, true);
    EXPECT_FALSE(s.IsCorner(1));
    EXPECT_FALSE(s.IsCorner(5));
    s.SetCorner(3, true);
    EXPECT_TRUE(s.IsCorner(3));
    s.SetPassThroughPoints(true);
    ASSERT_EQ(s.VertexCount(), 7);
    for (int i = 3; i <= 5; ++i) EXPECT_EQ(s.Vertex(i), (TSplinePoint{2, 5}));
    ExpectNear(s.PointAt(0.5), {2, 5});
    s.SetCorner(3, false);
    EXPECT_EQ(s.VertexCount(), 5);
}

TEST(BSpline, LinearSolveEqualsDenseElimination) {
    std::mt19937 rnd(12345);
    std::uniform_real_distribution<double> coord(-1000, 1000);
    for (int n : {3, 4, 17, 200}) {
        TBSpline s;
        std::vector<TSplinePoint> slots;
        for (int i = 1; i <= n; ++i) {
            TSplinePoint p{coord(rnd), coord(rnd)};
            s.AddSplinePoint(p.X, p.Y);
            bool corner = i > 1 && i < n && rnd() % 7 == 0;
            s.SetCorner(i, corner);
            for (int k = corner ? 3 : 1; k > 0; --k) slots.push_back(p);
        }
        s.SetPassThroughPoints(true);
        ASSERT_EQ(s.VertexCount(), static_cast<int>(slots.size()));
        std::vector<TSplinePoint> dense = DenseVertices(slots);
        for (int i = 1; i <= s.VertexCount(); ++i) ExpectNear(s.Vertex(i), dense[static_cast<std::size_t>(i)]);
    }
}

TEST(BSpline, StepCountCapacityAndClear) {
    TBSpline s;
    EXPECT_EQ(s.StepCount(), 100);
    s.SetStepCount(1000);
    EXPECT_EQ(s.StepCount(), 600);
    s.SetStepCount(-5);
    EXPECT_EQ(s.StepCount(), -5);
    s.AddSplinePoint(0, 0);
    EXPECT_EQ(s.PointCapacity(), 25);
    for (int i = 1; i <= 25; ++i) s.AddSplinePoint(i, i);
    EXPECT_EQ(s.PointCapacity(), 50);
    EXPECT_FALSE(s.IsCorner(26));
    s.SetPassThroughPoints(true);
    s.ClearSpline();
    EXPECT_EQ(s.StepCount(), 100);
    EXPECT_FALSE(s.PassThroughPoints());
    EXPECT_EQ(s.SplinePointCount(), 0);
    EXPECT_EQ(s.PointCapacity(), 0);
    EXPECT_EQ(s.VertexCount(), 0);
}

TEST(BSpline, IndicesOutsideThePointsAreRefused) {
    TBSpline s;
    s.AddSplinePoint(1, 2);
    EXPECT_THROW(s.GetSplinePoint(0), ChartException);
    EXPECT_THROW(s.GetSplinePoint(2), ChartException);
    EXPECT_THROW(s.SetCorner(2, true), ChartException);
    EXPECT_THROW(s.Vertex(0), ChartException);  // one point has no vertices
    s.SetSplinePoint(1, {3, 4});
    EXPECT_EQ(s.GetSplinePoint(1), (TSplinePoint{3, 4}));
}

}  // namespace
