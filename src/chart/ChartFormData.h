#pragma once
// A chart in form data: the chart with its axes, walls, titles, legend,
// series (with their marks, points and functions) and tools written as form
// text (FormStream.h) and read back into a new chart.

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "Chart.h"
#include "FormStream.h"

// The form text of the chart and everything it owns. Components that others
// refer to (data sources, a tool's or the legend's series) need names made of
// letters, digits and "_"; EFormError says which does not have one.
std::string WriteChartForm(TCustomChart& chart);

// A new chart from form text. Bad text raises EFormError naming what and the
// line; nothing of a half-read chart is left behind.
std::unique_ptr<TCustomChart> ReadChartForm(std::string_view text);

// Makes a series source class (a component that fills a series from outside
// the chart, which the engine itself has none of) readable and writable as a
// child of the chart: its "Active" is stored, and an active source fills its
// series once the form is read. cls creates the class by name.
void RegisterChartFormSource(const TClassInfo& cls, std::function<bool(const TObject&)> is,
                             std::function<std::unique_ptr<TObject>()> makeReference);

// Shown when a form sets the obsolete "Multiplier" of a value list to
// anything but 1; a message box unless replaced (tests record the text).
std::function<void(const std::string& text)>& ObsoletePropertyBox();
