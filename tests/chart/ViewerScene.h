#pragma once
// The waveform scene the viewer shows: three sample blocks (64, 512 and 2048 samples
// of a pulse on a noise floor) as point series, each with a line series fed from it,
// against a time-stamp axis labelled to the nanosecond.

#include <cmath>
#include <vector>

#include "Chart.h"
#include "ChartAxis.h"
#include "LineSeries.h"

namespace viewerscene {

constexpr int BlockSizes[3] = {64, 512, 2048};
constexpr TColor BlockColors[3] = {0x0000FF, 0x008000, 0x800000};
constexpr double SampleTime = 1e-9;

// Sample n of block b: a pulse on a noise floor of a few counts.
inline double Sample(int b, int n) {
    const int count = BlockSizes[b];
    const double centre = count * 0.4;
    const double width = count / 24.0 + 2;
    const double pulse = 180 * std::exp(-(n - centre) * (n - centre) / (2 * width * width));
    return std::round(20 + pulse + ((n * 7919 + b * 31) % 7) - 3);
}

// Start time of block b in seconds: the blocks of one shot follow each other closely.
// A recording made late in the day has the same shots at a later start.
inline double BlockStart(int b, double start = 12.3456789) { return start + b * 0.4e-6; }

struct Series {
    TPointSeries* points;
    TLineSeries* line;
};

// Fills the chart as the viewer does (line series first, so it lies below its points).
inline std::vector<Series> Build(TChart& chart, bool legendAndTitle = true, double start = 12.3456789) {
    chart.SetView3D(false);
    chart.Legend().SetVisible(legendAndTitle);
    chart.Title().SetVisible(legendAndTitle);
    chart.Title().SetText(std::vector<std::string>{"Shot 1"});
    TChartAxis& bottom = *chart.BottomAxis();
    bottom.Title().SetCaption("Time stamp [sec]");
    bottom.SetIncrement(SampleTime);
    bottom.SetAxisValuesFormat("0.000 000 000");
    std::vector<Series> out;
    for (int b = 0; b < 3; ++b) {
        auto* line = new TLineSeries(&chart);
        line->SetParentChart(&chart);
        line->SetSeriesColor(BlockColors[b]);
        auto* points = new TPointSeries(&chart);
        points->SetParentChart(&chart);
        points->SetSeriesColor(BlockColors[b]);
        points->Pointer().SetHorizSize(1);
        points->Pointer().SetVertSize(1);
        line->Pointer().SetHorizSize(1);
        line->Pointer().SetVertSize(1);
        for (int n = 0; n < BlockSizes[b]; ++n) points->AddPoint(BlockStart(b, start) + n * SampleTime, Sample(b, n));
        line->SetDataSource(points);
        out.push_back({points, line});
    }
    return out;
}

}  // namespace viewerscene
