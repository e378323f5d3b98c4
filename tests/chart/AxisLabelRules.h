#pragma once
// What a reader expects of an axis' value labels as drawn: one progression of a
// nice step (or of whole powers of the base on a logarithmic axis) with none
// missing between the first and the last, and no two neighbours reading the same.
// The labels are read from the picture's own canvas, in a colour only that axis'
// labels are written in.

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Chart.h"
#include "ChartControl.h"
#include "RecordingCanvas.h"

namespace labelrules {

// The value a label shows: its digits, sign, point and exponent (group separators
// and units dropped); NaN when it shows no digit, as the second line " V" of a unit.
inline double ValueOf(const std::string& text) {
    std::string digits;
    bool any = false;
    for (char c : text) {
        if (c >= '0' && c <= '9') any = true;
        if ((c >= '0' && c <= '9') || c == '.' || c == '-' || c == 'E' || c == 'e' || c == '+') digits += c;
    }
    return any ? std::strtod(digits.c_str(), nullptr) : std::nan("");
}

// Whether a step is 1, 2 or 5 times a power of ten (within the rounding of the texts).
inline bool NiceStep(double step) {
    if (!(step > 0) || !std::isfinite(step)) return false;
    const double m = step / std::pow(10.0, std::floor(std::log10(step)));
    for (double nice : {1.0, 2.0, 5.0, 10.0})
        if (std::fabs(m - nice) <= 0.05 * nice) return true;
    return false;
}

// What is wrong with the labels (their texts, as drawn); empty when nothing is.
inline std::string ProgressionFault(const std::vector<std::string>& texts, bool logarithmic = false, double base = 10) {
    std::vector<std::pair<double, std::string>> labels;
    for (const std::string& t : texts)
        if (const double v = ValueOf(t); !std::isnan(v)) labels.push_back({v, t});
    std::sort(labels.begin(), labels.end());
    std::string all;
    for (const auto& l : labels) all += (all.empty() ? "" : " ") + l.second;
    for (std::size_t i = 1; i < labels.size(); ++i)
        if (labels[i].second == labels[i - 1].second) return "neighbours read the same: " + all;
    if (labels.size() < 2) return {};
    const std::size_t n = labels.size();
    if (logarithmic) {
        const double ratio = std::pow(labels[n - 1].first / labels[0].first, 1.0 / (n - 1));
        const double power = std::log(ratio) / std::log(base);
        if (std::fabs(power - std::round(power)) > 0.02 || std::round(power) < 1)
            return "not whole powers of the base apart: " + all;
        for (std::size_t i = 1; i < n; ++i)
            if (std::fabs(labels[i].first / labels[i - 1].first / ratio - 1) > 0.05) return "a gap: " + all;
        return {};
    }
    const double step = (labels[n - 1].first - labels[0].first) / (n - 1);
    for (std::size_t i = 1; i < n; ++i)
        if (std::fabs(labels[i].first - labels[i - 1].first - step) > 0.1 * step) return "uneven or a gap: " + all;
    if (!NiceStep(step)) return "not a nice step: " + all;
    return {};
}

// Puts a canvas that notes the texts it writes under the chart.
inline TextRecordingCanvas& RecordTexts(TChart& chart) {
    auto canvas = std::make_unique<TextRecordingCanvas>();
    TextRecordingCanvas& r = *canvas;
    chart.SetCanvas(std::move(canvas));
    return r;
}

// A colour nothing else in a chart is written in.
constexpr TColor MarkColor = 0x00010203;

// The texts of the axis' labels as a paint of the chart at width x height draws them.
inline std::vector<std::string> DrawnLabels(TChart& chart, TextRecordingCanvas& r, TChartAxis& axis, int width,
                                            int height) {
    const TColor normal = axis.LabelsFont().Color();
    axis.LabelsFont().SetColor(MarkColor);
    r.Texts.clear();
    chart.Invalidate();
    (void)RenderToBitmap(chart, width, height);
    axis.LabelsFont().SetColor(normal);
    std::vector<std::string> out;
    for (std::size_t i = 0; i < r.Texts.size(); ++i) {
        const auto& t = r.Texts[i];
        // a 3D chart draws the axes on the sides facing the viewer again over the walls
        bool again = false;
        for (std::size_t j = 0; j < i; ++j)
            again = again || (r.Texts[j].text == t.text && r.Texts[j].x == t.x && r.Texts[j].y == t.y);
        if (t.color == MarkColor && !again) out.push_back(t.text);
    }
    return out;
}

// The labels' texts as drawn with their widths.
struct Drawn {
    std::vector<std::string> texts;
    int widest = 0;
};
inline Drawn DrawnWithWidths(TChart& chart, TextRecordingCanvas& r, TChartAxis& axis, int width, int height) {
    Drawn d;
    d.texts = DrawnLabels(chart, r, axis, width, height);
    for (const auto& t : r.Texts)
        if (t.color == MarkColor) d.widest = std::max(d.widest, t.width);
    return d;
}

// Whether the axis as last drawn has room for two of its labels side by side at a
// regular step: some nice step (not finer than `least`) has two values in the range
// that the format shows apart, and labels at them reaching extentOf(text) pixels
// along the axis keep clear by the axis' separation. The labels stand where the axis
// draws them, on whole pixels (a step of 19.5 px is drawn 19 and 20 px apart), and
// every neighbouring two of the step in the range keep clear, as the plan asks.
inline bool RoomForTwo(TChartAxis& axis, const std::function<double(const std::string&)>& extentOf, double least = 0) {
    const double lo = axis.ScaleMinimum(), hi = axis.ScaleMaximum(), range = hi - lo;
    if (axis.Logarithmic() || !(range > 0) || axis.AxisLength() <= 0) return false;
    double s = std::max({axis.Increment(), least, std::pow(10.0, std::floor(std::log10(range)) - 4)});
    for (int i = 0; i < 200 && s <= range; ++i, s = NextNiceStep(s)) {
        const double first = std::ceil(lo / s) * s;
        if (first + s > hi) continue;
        const std::string a = axis.FormatAxisLabel(first), b = axis.FormatAxisLabel(first + s);
        if (a == b) continue;
        const double grow = 1 + 0.01 * axis.LabelsSeparation();
        if (s * axis.AxisLength() / range + 1 < grow * std::max(extentOf(a), extentOf(b))) continue;
        bool clear = true;
        for (double v = first; clear && v + s <= hi + 1e-9 * s; v += s) {
            const int apart = std::abs(axis.ValueToPixel(v + s) - axis.ValueToPixel(v));
            clear = apart >= grow * std::max(extentOf(axis.FormatAxisLabel(v)), extentOf(axis.FormatAxisLabel(v + s)));
        }
        if (clear) return true;
    }
    return false;
}

inline std::string Joined(const std::vector<std::string>& texts) {
    std::string s;
    for (const std::string& t : texts) s += (s.empty() ? "" : " | ") + t;
    return s;
}

}  // namespace labelrules
