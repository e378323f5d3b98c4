#pragma once
// Series functions: the smoothing function, which replaces a series' points by
// a B-spline through (or near) the points of its source. The function frame
// itself, TPlotFunction, is declared beside the series in ChartSeries.h.

#include "ChartSeries.h"
#include "Classes.h"

class TSmoothingFunction : public TPlotFunction {
public:
    explicit TSmoothingFunction(TComponent* owner = nullptr);
    void Assign(const TPersistent* source) override;
    void AddPoints(TChartSeries* source) override;
    std::string EditorClassName() const override { return "TSmoothFuncEditor"; }
    std::unique_ptr<TPlotFunction> NewOfSameKind() const override { return std::make_unique<TSmoothingFunction>(); }

    // Curve points per source point; values below 1 are taken as 1.
    int Factor() const { return FFactor; }
    void SetFactor(int value);
    // Whether the curve passes through the source points.
    bool Interpolate() const { return FInterpolate; }
    void SetInterpolate(bool value);

    static const TClassInfo ClassInfo;

private:
    int FFactor = 4;
    bool FInterpolate = true;
};
