#include "BSpline.h"

#include <cmath>

#include "ChartError.h"
#include "Format.h"

namespace {

constexpr int kCapacityStep = 25;

}  // namespace

void TBSpline::AddSplinePoint(double x, double y) {
    if (FPointCount == PointCapacity()) {
        FPoints.resize(FPoints.size() + kCapacityStep);
        FCornerFlags.resize(FCornerFlags.size() + kCapacityStep, 0);
    }
    FPoints[static_cast<std::size_t>(FPointCount)] = {x, y};
    ++FPointCount;
    Invalidate();
}

TSplinePoint TBSpline::GetSplinePoint(int index) const {
    if (index < 1 || index > FPointCount)
        throw ChartException(Format("Spline point %d out of bounds (1 to %d).", index, FPointCount));
    return FPoints[static_cast<std::size_t>(index - 1)];
}

void TBSpline::SetSplinePoint(int index, const TSplinePoint& point) {
    GetSplinePoint(index);
    FPoints[static_cast<std::size_t>(index - 1)] = point;
    Invalidate();
}

void TBSpline::SetCorner(int index, bool flag) {
    GetSplinePoint(index);
    FCornerFlags[static_cast<std::size_t>(index - 1)] = flag ? 1 : 0;
    Invalidate();
}

bool TBSpline::IsCorner(int index) const {
    GetSplinePoint(index);
    if (index == 1 || index == FPointCount) return false;
    return FCornerFlags[static_cast<std::size_t>(index - 1)] != 0;
}

void TBSpline::SetStepCount(int value) { FStepCount = value > MaxStepCount ? MaxStepCount : value; }

void TBSpline::SetPassThroughPoints(bool value) {
    if (FPassThroughPoints == value) return;
    FPassThroughPoints = value;
    Invalidate();
}

int TBSpline::VertexCount() {
    if (!FBuilt) BuildVertices();
    return FVertexCount;
}

TSplinePoint TBSpline::Vertex(int index) {
    int n = VertexCount();
    if (n == 0 || index < 0 || index > n + 1)
        throw ChartException(Format("Spline vertex %d out of bounds (0 to %d).", index, n + 1));
    return FVertices[static_cast<std::size_t>(index)];
}

void TBSpline::ClearSpline() {
    FVertices.clear();
    FVertices.shrink_to_fit();
    FPoints.clear();
    FPoints.shrink_to_fit();
    FCornerFlags.clear();
    FCornerFlags.shrink_to_fit();
    FPointCount = 0;
    FVertexCount = 0;
    FBuilt = false;
    FPassThroughPoints = false;
    FStepCount = 100;
}

void TBSpline::Invalidate() {
    FVertices.clear();
    FVertexCount = 0;
    FBuilt = false;
}

void TBSpline::BuildVertices() {
    Invalidate();
    if (FPointCount < 2) {
        FBuilt = true;
        return;
    }
    int n = 0;
    for (int i = 1; i <= FPointCount; ++i) n += IsCorner(i) ? 3 : 1;
    FVertexCount = n;
    FVertices.assign(static_cast<std::size_t>(n) + 2, TSplinePoint{});
    std::size_t slot = 1;
    for (int i = 1; i <= FPointCount; ++i) {
        const TSplinePoint& p = FPoints[static_cast<std::size_t>(i - 1)];
        for (int k = IsCorner(i) ? 3 : 1; k > 0; --k) FVertices[slot++] = p;
    }
    if (FPassThroughPoints) SolveThrough();
    FBuilt = true;
    if (n >= 2) {
        const TSplinePoint& v1 = FVertices[1];
        const TSplinePoint& v2 = FVertices[2];
        FVertices[0] = {2 * v1.X - v2.X, 2 * v1.Y - v2.Y};
        const TSplinePoint& vn = FVertices[static_cast<std::size_t>(n)];
        const TSplinePoint& vm = FVertices[static_cast<std::size_t>(n - 1)];
        FVertices[static_cast<std::size_t>(n) + 1] = {2 * vn.X - vm.X, 2 * vn.Y - vm.Y};
    }
}

// The interpolation matrix is tridiagonal (rows of 1/6, 2/3, 1/6, and
// identity rows at the ends and around corners). Elimination without
// pivoting touches only the diagonal below each pivot, so solving it on the
// three diagonals performs the very operations of the full elimination, in
// the same order, in linear time and memory.
void TBSpline::SolveThrough() {
    const int n = FVertexCount;
    if (n < 3) return;
    const auto N = static_cast<std::size_t>(n) + 1;
    std::vector<double> sub(N, 0), diag(N, 0), sup(N, 0);
    diag[1] = 1;
    diag[N - 1] = 1;
    for (int r = 2; r <= n - 1; ++r) {
        sub[static_cast<std::size_t>(r)] = 1.0 / 6;
        diag[static_cast<std::size_t>(r)] = 2.0 / 3;
        sup[static_cast<std::size_t>(r)] = 1.0 / 6;
    }
    // three coincident vertices (a corner) keep their place exactly
    auto same = [&](int a, int b) {
        const TSplinePoint& p = FVertices[static_cast<std::size_t>(a)];
        const TSplinePoint& q = FVertices[static_cast<std::size_t>(b)];
        return std::fabs(p.X - q.X) < 1e-5 && std::fabs(p.Y - q.Y) < 1e-5;
    };
    for (int r = 3; r < n - 1;) {
        if (same(r - 1, r) && same(r, r + 1)) {
            for (int k = r - 1; k <= r + 1; ++k) {
                sub[static_cast<std::size_t>(k)] = 0;
                diag[static_cast<std::size_t>(k)] = 1;
                sup[static_cast<std::size_t>(k)] = 0;
            }
            r += 2;
        } else {
            r += 1;
        }
    }
    std::vector<double> bx(N), by(N);
    for (std::size_t i = 1; i < N; ++i) {
        bx[i] = FVertices[i].X;
        by[i] = FVertices[i].Y;
    }
    for (std::size_t i = 1; i + 1 < N; ++i) {
        const double m = sub[i + 1] / diag[i];
        diag[i + 1] -= m * sup[i];
        bx[i + 1] -= m * bx[i];
        by[i + 1] -= m * by[i];
    }
    std::vector<TSplinePoint> v(N + 1);
    v[N - 1] = {bx[N - 1] / diag[N - 1], by[N - 1] / diag[N - 1]};
    for (std::size_t k = N - 2; k >= 1; --k) {
        v[k].X = (bx[k] - sup[k] * v[k + 1].X) / diag[k];
        v[k].Y = (by[k] - sup[k] * v[k + 1].Y) / diag[k];
    }
    FVertices.swap(v);
}

TSplinePoint TBSpline::PointAt(double t) {
    // a single point has no vertices to weigh: the curve is that point
    if (FPointCount == 1) return FPoints[0];
    if (FPointCount < 2) return {};
    if (!FBuilt) BuildVertices();
    // outside [0, 1] the weights would reach past the phantom vertices
    if (!(t >= 0)) t = 0;
    if (t > 1) t = 1;
    const double u = (FVertexCount - 1) * t + 1;
    int c = static_cast<int>(u - 1);
    if (c < 0) c = 0;
    TSplinePoint r;
    for (int j = c; j <= c + 3 && j <= FVertexCount + 1; ++j) {
        const double d = std::fabs(j - u);
        double w;
        if (d < 1)
            w = 2.0 / 3 - d * d + d * d * d / 2;
        else if (d < 2)
            w = (2 - d) * (2 - d) * (2 - d) / 6;
        else
            continue;
        r.X += w * FVertices[static_cast<std::size_t>(j)].X;
        r.Y += w * FVertices[static_cast<std::size_t>(j)].Y;
    }
    return r;
}
