#pragma once
// An open uniform cubic B-spline in the plane, optionally solved so that the
// curve passes through its points. Point indices are 1-based.

#include <cstdint>
#include <vector>

#include "Classes.h"

struct TSplinePoint {
    double X = 0;
    double Y = 0;
    friend bool operator==(const TSplinePoint&, const TSplinePoint&) = default;
};

class TBSpline : public TObject {
public:
    static constexpr int MaxStepCount = 600;

    TBSpline() { ClearSpline(); }
    ~TBSpline() override = default;

    void AddSplinePoint(double x, double y);
    // 1-based; ChartException outside 1 .. SplinePointCount.
    TSplinePoint GetSplinePoint(int index) const;
    void SetSplinePoint(int index, const TSplinePoint& point);
    void SetCorner(int index, bool flag);
    // The first and last point are never corners.
    bool IsCorner(int index) const;
    int SplinePointCount() const { return FPointCount; }
    int PointCapacity() const { return static_cast<int>(FPoints.size()); }

    int StepCount() const { return FStepCount; }
    // Values above MaxStepCount are stored as MaxStepCount.
    void SetStepCount(int value);
    bool PassThroughPoints() const { return FPassThroughPoints; }
    void SetPassThroughPoints(bool value);

    // Builds the control vertices when needed.
    int VertexCount();
    // Control vertex 0 .. VertexCount + 1 (0 and VertexCount + 1 are the
    // phantom ends); ChartException outside.
    TSplinePoint Vertex(int index);
    // Curve point at t, clamped to [0, 1]; the point itself when there is one, (0, 0) when none.
    TSplinePoint PointAt(double t);
    void ClearSpline();

private:
    void Invalidate();
    void BuildVertices();
    void SolveThrough();

    std::vector<TSplinePoint> FPoints;  // slot i - 1 holds point i
    std::vector<std::uint8_t> FCornerFlags;
    int FPointCount = 0;
    std::vector<TSplinePoint> FVertices;  // slots 0 .. VertexCount + 1
    int FVertexCount = 0;
    bool FBuilt = false;
    bool FPassThroughPoints = false;
    int FStepCount = 100;
};
