#pragma once
// Small routines several parts of the chart engine share, and the registries of series,
// function and tool classes.

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Classes.h"
#include "Graphics.h"

class TPlotCanvas;

// ---------------------------------------------------------------------------
inline constexpr int ColorPaletteSize = 20;
extern const std::array<TColor, ColorPaletteSize> ColorPalette;
// Palette entry index mod 20; negative indices wrap round to a valid entry too.
TColor PaletteColor(int index);

// Date-time values count days since 30 December 1899; the fraction is the time of day.
using TDateTime = double;
// The system's short date and time patterns: the date formatter's own, so that
// the chart's labels and the formatter's short date and time elements agree.
extern const std::string ShortDateFormat;
extern const std::string ShortTimeFormat;
// Short date format for values of more than one day, else the short time format.
std::string DefaultDateTimeFormat(double value);
// A value as text in a number pattern. A double carries 15 significant digits: a fixed
// pattern would print a huge value with hundreds of noise digits that fit no room, so
// a value of 1e15 or more goes into scientific notation when that is shorter.
std::string FormatValueText(const std::string& pattern, double value);

// A check box of 13 x 13 pixels with its top-left corner at (x, y).
void DrawCheckBox(int x, int y, TPlotCanvas& canvas, bool checked);

bool PointOnSegmentTolerance(const TPoint& p, const TPoint& a, const TPoint& b, int tolerance);
bool PointOnSegment(const TPoint& p, const TPoint& a, const TPoint& b);
// Distance of p from the nearest point of the segment a-b, in pixels.
double SegmentDistance(const TPoint& p, const TPoint& a, const TPoint& b);
// Even-odd crossing test; no points: false.
bool PointInsidePolygon(const TPoint& p, const TPoint* points, int count);
bool PointInsidePolygon(const TPoint& p, const std::vector<TPoint>& points);

// Quicksort of the indices first..last through callbacks: compare(a, b) < 0 puts a before b.
void SortRange(int first, int last, const std::function<int(int, int)>& compare,
               const std::function<void(int, int)>& swap);

// Separator of StringToken; ";" by default.
extern std::string TextPieceSeparator;
// The n-th piece (from 1) of text cut at the separator; the rest of the text when fewer
// separators follow; empty for an empty text or n < 1.
std::string StringToken(const std::string& text, int n);
std::string StringTokenSep(const std::string& text, int n, const std::string& separator);
// Every ch replaced by replacement, or deleted when replacement is '\0'.
std::string ReplaceChar(const std::string& text, char ch, char replacement);
// Corners top-left, top-right, bottom-right, bottom-left rotated about the centre.
std::array<TPoint, 4> RotateRectangle(const TRect& r, double angleDegrees);

// ---------------------------------------------------------------------------
// Calendar steps of date axes (indices into the date-time step table).
inline constexpr int dtHalfMonth = 20;
inline constexpr int dtOneMonth = 21;
inline constexpr int dtTwoMonths = 22;
inline constexpr int dtThreeMonths = 23;
inline constexpr int dtFourMonths = 24;
inline constexpr int dtSixMonths = 25;
inline constexpr int dtOneYear = 26;
inline constexpr int dtNone = 27;

TDateTime EncodeDate(int year, int month, int day);
void DecodeDate(TDateTime value, int& year, int& month, int& day);
// 1 January 1900: dates up to it are not rounded.
inline constexpr TDateTime EarliestCalendarDate = 2.0;

// Rounds a date down to the start of a step (the time of day is always dropped).
TDateTime RoundDateDown(TDateTime value, int step);
// Steps value up or down by one step. Plain values (isDateTime false) and steps other than
// the calendar ones move by increment.
void StepDateTime(bool up, double& value, double increment, bool isDateTime, int step);

// ---------------------------------------------------------------------------
struct TPlotSeriesType {
    TClass SeriesClass = nullptr;
    TClass FunctionClass = nullptr;
    std::string Description;
    std::string GalleryPage;
    int NumGallerySeries = 1;
};

class TPlotSeriesTypes {
public:
    int Count() const { return static_cast<int>(FItems.size()); }
    const TPlotSeriesType& Items(int index) const { return *FItems.at(static_cast<std::size_t>(index)); }
    // The first entry with this series class (and no function), nil when none.
    const TPlotSeriesType* Find(TClass seriesClass) const;
    void Add(std::unique_ptr<TPlotSeriesType> item) { FItems.push_back(std::move(item)); }
    void RemoveIf(const std::function<bool(const TPlotSeriesType&)>& pred);
    void Clear() { FItems.clear(); }

private:
    std::vector<std::unique_ptr<TPlotSeriesType>> FItems;
};

class TPlotToolTypes {
public:
    int Count() const { return static_cast<int>(FItems.size()); }
    TClass Items(int index) const { return FItems.at(static_cast<std::size_t>(index)); }
    int IndexOf(TClass cls) const;
    void Add(TClass cls) { FItems.push_back(cls); }
    void Remove(TClass cls);
    void Clear() { FItems.clear(); }

private:
    std::vector<TClass> FItems;
};

TPlotSeriesTypes& PlotSeriesTypes();
TPlotToolTypes& PlotToolTypes();

void RegisterPlotSeries(TClass seriesClass, TClass functionClass, const std::string& description,
                        const std::string& galleryPage, int numGallerySeries = 1);
void RegisterPlotSeries(TClass seriesClass, const std::string& description, const std::string& galleryPage,
                        int numGallerySeries = 1);
void RegisterPlotFunction(TClass functionClass, const std::string& description, const std::string& galleryPage,
                          int numGallerySeries = 1);
void UnRegisterPlotSeries(TClass seriesClass);
void UnRegisterPlotFunction(TClass functionClass);
void RegisterPlotTools(const std::vector<TClass>& tools);
void UnRegisterPlotTools(const std::vector<TClass>& tools);
