#include "ChartUtils.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <numbers>

#include "DateFormat.h"
#include "FloatFormat.h"
#include "PlotCanvas.h"

const std::array<TColor, ColorPaletteSize> ColorPalette = {
    0x0000FF, 0x008000, 0x00FFFF, 0xFF0000, 0xFFFFFF, 0x808080, 0xFF00FF, 0x808000, 0x800000, 0x000080,
    0x00FF00, 0x008080, 0x800080, 0xC0C0C0, 0xFFFF00, 0x000000, 0xC0DCC0, 0xF0CAA6, 0xF0FBFF, 0xA4A0A0,
};

TColor PaletteColor(int index) {
    int i = index % ColorPaletteSize;
    if (i < 0) i += ColorPaletteSize;
    return ColorPalette[static_cast<std::size_t>(i)];
}

const std::string ShortDateFormat{LocaleShortDateFormat};
const std::string ShortTimeFormat{LocaleShortTimeFormat};

std::string DefaultDateTimeFormat(double value) { return value > 1 ? ShortDateFormat : ShortTimeFormat; }

std::string FormatValueText(const std::string& pattern, double value) {
    std::string text = FormatFloat(pattern, value);
    if (std::fabs(value) >= 1e15) {
        std::string scientific = FormatFloat("0.####E+0", value);
        if (scientific.size() < text.size()) return scientific;
    }
    return text;
}

void DrawCheckBox(int x, int y, TPlotCanvas& canvas, bool checked) {
    TCanvas* device = canvas.GetDeviceHandle();
    if (!device) return;
    TPen saved;
    saved.Assign(&device->Pen());
    TBrush savedBrush;
    savedBrush.Assign(&device->Brush());
    device->Pen().SetMode(pmCopy);
    device->Pen().SetWidth(1);
    device->Pen().SetStyle(psSolid);
    device->Brush().SetBitmap(nullptr);
    device->Brush().SetStyle(bsSolid);
    // Sunken frame: dark top-left, light bottom-right, white face.
    device->Brush().SetColor(clWindow);
    device->Pen().SetColor(clBtnShadow);
    canvas.DrawRectangle(x, y, x + 13, y + 13);
    device->Pen().SetColor(clBtnHighlight);
    canvas.DrawSegment(x + 12, y, x + 12, y + 13);
    canvas.DrawSegment(x, y + 12, x + 13, y + 12);
    if (checked) {
        device->Pen().SetColor(clWindowText);
        // A tick three pixels thick.
        for (int d = 0; d < 3; ++d) {
            canvas.DrawSegment(x + 3, y + 5 + d, x + 5, y + 7 + d);
            canvas.DrawSegment(x + 5, y + 7 + d, x + 10, y + 2 + d);
        }
    }
    device->Pen().Assign(&saved);
    device->Brush().Assign(&savedBrush);
}

bool PointOnSegmentTolerance(const TPoint& p, const TPoint& a, const TPoint& b, int t) {
    const long long cross =
        static_cast<long long>(b.y - a.y) * (p.x - a.x) - static_cast<long long>(p.y - a.y) * (b.x - a.x);
    const long long limit =
        std::max(std::llabs(static_cast<long long>(b.x) - a.x), std::llabs(static_cast<long long>(b.y) - a.y));
    if (std::llabs(cross) >= limit) return false;
    auto within = [t](int v, int e1, int e2) {
        const int lo = std::min(e1, e2);
        const int hi = std::max(e1, e2);
        return v >= lo - t && v <= hi + t;
    };
    return within(p.x, a.x, b.x) && within(p.y, a.y, b.y);
}

bool PointOnSegment(const TPoint& p, const TPoint& a, const TPoint& b) { return PointOnSegmentTolerance(p, a, b, 0); }

double SegmentDistance(const TPoint& p, const TPoint& a, const TPoint& b) {
    const double dx = double(b.x) - a.x, dy = double(b.y) - a.y;
    const double px = double(p.x) - a.x, py = double(p.y) - a.y;
    const double length2 = dx * dx + dy * dy;
    const double t = length2 == 0 ? 0 : std::clamp((px * dx + py * dy) / length2, 0.0, 1.0);
    return std::hypot(px - t * dx, py - t * dy);
}

bool PointInsidePolygon(const TPoint& p, const TPoint* points, int count) {
    if (!points || count <= 0) return false;
    bool inside = false;
    for (int i = 0, j = count - 1; i < count; j = i++) {
        const TPoint& pi = points[i];
        const TPoint& pj = points[j];
        if ((p.y >= pi.y && p.y < pj.y) || (p.y >= pj.y && p.y < pi.y)) {
            const double x = pj.x + static_cast<double>(p.y - pj.y) * (pi.x - pj.x) / (pi.y - pj.y);
            if (p.x < x) inside = !inside;
        }
    }
    return inside;
}

bool PointInsidePolygon(const TPoint& p, const std::vector<TPoint>& points) {
    return PointInsidePolygon(p, points.data(), static_cast<int>(points.size()));
}

void SortRange(int first, int last, const std::function<int(int, int)>& compare,
               const std::function<void(int, int)>& swap) {
    // Recursion goes into the smaller part and loops over the larger, so the depth stays logarithmic.
    while (first < last) {
        int i = first;
        int j = last;
        int m = first + (last - first) / 2;
        do {
            while (i < last && compare(i, m) < 0) ++i;
            while (j > first && compare(m, j) < 0) --j;
            if (i <= j) {
                if (i < j) {
                    swap(i, j);
                    if (m == i)
                        m = j;
                    else if (m == j)
                        m = i;
                }
                ++i;
                --j;
            }
        } while (i < j);
        if (j - first < last - i) {
            if (first < j) SortRange(first, j, compare, swap);
            first = i;
        } else {
            if (i < last) SortRange(i, last, compare, swap);
            last = j;
        }
    }
}

std::string TextPieceSeparator = ";";

std::string StringTokenSep(const std::string& text, int n, const std::string& separator) {
    if (text.empty() || n < 1) return std::string();
    if (separator.empty()) return n == 1 ? text : std::string();
    std::size_t start = 0;
    for (int piece = 1; piece < n; ++piece) {
        const std::size_t pos = text.find(separator, start);
        if (pos == std::string::npos) return text.substr(start);
        start = pos + separator.size();
    }
    const std::size_t pos = text.find(separator, start);
    return pos == std::string::npos ? text.substr(start) : text.substr(start, pos - start);
}

std::string StringToken(const std::string& text, int n) { return StringTokenSep(text, n, TextPieceSeparator); }

std::string ReplaceChar(const std::string& text, char ch, char replacement) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c != ch)
            out += c;
        else if (replacement != '\0')
            out += replacement;
    }
    return out;
}

std::array<TPoint, 4> RotateRectangle(const TRect& r, double angleDegrees) {
    const double a = angleDegrees * std::numbers::pi / 180.0;
    const double s = std::sin(a);
    const double c = std::cos(a);
    const int cx = (r.Left + r.Right) / 2;
    const int cy = (r.Top + r.Bottom) / 2;
    auto rot = [&](int x, int y) {
        const double dx = x - cx;
        const double dy = y - cy;
        return TPoint{static_cast<int>(std::nearbyint(dx * c + dy * s)) + cx,
                      static_cast<int>(std::nearbyint(-dx * s + dy * c)) + cy};
    };
    return {rot(r.Left, r.Top), rot(r.Right, r.Top), rot(r.Right, r.Bottom), rot(r.Left, r.Bottom)};
}

// ---------------------------------------------------------------------------
namespace {

int daysInMonth(int y, int m) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : days[m - 1];
}

// Moves year/month by a number of months across year ends.
void addMonths(int& y, int& m, int months) {
    const int total = y * 12 + (m - 1) + months;
    y = total >= 0 ? total / 12 : (total - 11) / 12;
    m = total - y * 12 + 1;
}

int monthsOfStep(int step) {
    switch (step) {
    case dtOneMonth:
        return 1;
    case dtTwoMonths:
        return 2;
    case dtThreeMonths:
        return 3;
    case dtFourMonths:
        return 4;
    case dtSixMonths:
        return 6;
    default:
        return 0;
    }
}

}  // namespace

TDateTime EncodeDate(int year, int month, int day) { return DateFromCivil(year, month, day); }

void DecodeDate(TDateTime value, int& year, int& month, int& day) {
    CivilFromDate(static_cast<std::int64_t>(std::floor(value)), year, month, day);
}

TDateTime RoundDateDown(TDateTime value, int step) {
    if (!(value > EarliestCalendarDate) || !std::isfinite(value)) return value;
    int y, m, d;
    DecodeDate(value, y, m, d);
    if (step == dtHalfMonth) {
        d = d < 15 ? 1 : 15;
    } else if (monthsOfStep(step) > 0) {
        d = 1;
    } else if (step == dtOneYear) {
        m = 1;
        d = 1;
    }
    return EncodeDate(y, m, d);
}

void StepDateTime(bool up, double& value, double increment, bool isDateTime, int step) {
    const int months = monthsOfStep(step);
    const bool calendar = months > 0 || step == dtHalfMonth || step == dtOneYear;
    if (!isDateTime || !calendar || !std::isfinite(value)) {
        value += up ? increment : -increment;
        return;
    }
    int y, m, d;
    DecodeDate(value, y, m, d);
    if (months > 0) {
        addMonths(y, m, up ? months : -months);
        d = 1;
    } else if (step == dtOneYear) {
        y += up ? 1 : -1;
        // 29 February of a leap year steps to the last day of February.
        d = std::min(d, daysInMonth(y, m));
    } else if (up) {
        // Stepping up always moves forward, so that label loops end.
        if (d < 15) {
            d = 15;
        } else {
            addMonths(y, m, 1);
            d = 1;
        }
    } else if (d > 15) {
        d = 15;
    } else if (d > 1) {
        d = 1;
    } else {
        addMonths(y, m, -1);
        d = 15;
    }
    value = EncodeDate(y, m, d);
}

// ---------------------------------------------------------------------------
const TPlotSeriesType* TPlotSeriesTypes::Find(TClass seriesClass) const {
    for (const auto& t : FItems) {
        if (t->SeriesClass == seriesClass && !t->FunctionClass) return t.get();
    }
    return nullptr;
}

void TPlotSeriesTypes::RemoveIf(const std::function<bool(const TPlotSeriesType&)>& pred) {
    std::erase_if(FItems, [&](const std::unique_ptr<TPlotSeriesType>& t) { return pred(*t); });
}

int TPlotToolTypes::IndexOf(TClass cls) const {
    const auto it = std::find(FItems.begin(), FItems.end(), cls);
    return it == FItems.end() ? -1 : static_cast<int>(it - FItems.begin());
}

void TPlotToolTypes::Remove(TClass cls) { std::erase(FItems, cls); }

TPlotSeriesTypes& PlotSeriesTypes() {
    static TPlotSeriesTypes types;
    return types;
}

TPlotToolTypes& PlotToolTypes() {
    static TPlotToolTypes types;
    return types;
}

void RegisterPlotSeries(TClass seriesClass, TClass functionClass, const std::string& description,
                        const std::string& galleryPage, int numGallerySeries) {
    if (seriesClass) RegisterClass(seriesClass);
    if (functionClass) RegisterClass(functionClass);
    TPlotSeriesTypes& types = PlotSeriesTypes();
    for (int i = 0; i < types.Count(); ++i) {
        const TPlotSeriesType& t = types.Items(i);
        if (t.SeriesClass == seriesClass && t.FunctionClass == functionClass) return;
    }
    auto entry = std::make_unique<TPlotSeriesType>();
    entry->SeriesClass = seriesClass;
    entry->FunctionClass = functionClass;
    entry->Description = description;
    entry->GalleryPage = galleryPage;
    entry->NumGallerySeries = numGallerySeries;
    types.Add(std::move(entry));
}

void RegisterPlotSeries(TClass seriesClass, const std::string& description, const std::string& galleryPage,
                        int numGallerySeries) {
    RegisterPlotSeries(seriesClass, nullptr, description, galleryPage, numGallerySeries);
}

void RegisterPlotFunction(TClass functionClass, const std::string& description, const std::string& galleryPage,
                          int numGallerySeries) {
    RegisterPlotSeries(nullptr, functionClass, description, galleryPage, numGallerySeries);
}

void UnRegisterPlotSeries(TClass seriesClass) {
    PlotSeriesTypes().RemoveIf([seriesClass](const TPlotSeriesType& t) { return t.SeriesClass == seriesClass; });
}

void UnRegisterPlotFunction(TClass functionClass) {
    PlotSeriesTypes().RemoveIf([functionClass](const TPlotSeriesType& t) { return t.FunctionClass == functionClass; });
}

void RegisterPlotTools(const std::vector<TClass>& tools) {
    for (TClass cls : tools) {
        if (!cls) continue;
        RegisterClass(cls);
        if (PlotToolTypes().IndexOf(cls) < 0) PlotToolTypes().Add(cls);
    }
}

void UnRegisterPlotTools(const std::vector<TClass>& tools) {
    for (TClass cls : tools) PlotToolTypes().Remove(cls);
}
