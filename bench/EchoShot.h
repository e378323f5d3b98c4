#pragma once
// One shot at 800 x 600: four blocks of 2048 samples of an 8-bit echo waveform (a
// decaying oscillation on a noise floor), each drawn as a point series of 1-pixel markers.

#include <cmath>
#include <cstddef>
#include <vector>

#include "Chart.h"
#include "LineSeries.h"

namespace echoshot {

constexpr int W = 800;
constexpr int H = 600;
constexpr int kBlocks = 4;
constexpr int kSamples = 2048;
const TColor kColors[kBlocks] = {clRed, clGreen, clBlue, clFuchsia};

struct Block {
    std::vector<double> x, y;
};

inline std::vector<Block> Shot() {
    std::vector<Block> blocks(kBlocks);
    for (int b = 0; b < kBlocks; ++b) {
        Block& k = blocks[static_cast<std::size_t>(b)];
        for (int i = 0; i < kSamples; ++i) {
            const double t = i + b * 0.25;
            const double echo = 90 * std::sin(t * 0.07 + b) * std::exp(-std::abs(i - 600 - 200 * b) / 300.0);
            k.x.push_back(t);
            k.y.push_back(std::round(120 + echo + ((i * 7919 + b * 31) % 9) - 4));
        }
    }
    return blocks;
}

// Block b of the shot as a point series of the chart (which owns it).
inline TPointSeries* AddPoints(TChart& chart, const Block& k, int b) {
    auto* points = new TPointSeries(&chart);
    points->SetParentChart(&chart);
    points->SetSeriesColor(kColors[b]);
    points->Pointer().SetHorizSize(1);
    points->Pointer().SetVertSize(1);
    for (std::size_t i = 0; i < k.x.size(); ++i) points->AddPoint(k.x[i], k.y[i]);
    return points;
}

}  // namespace echoshot
