#pragma once
// The chart engine's exception classes.

#include "Exception.h"

// Series, function, pointer and paging errors.
class ChartException : public Exception {
public:
    using Exception::Exception;
};

// Axis errors.
class AxisException : public Exception {
public:
    using Exception::Exception;
};

// Legend errors.
class LegendException : public Exception {
public:
    using Exception::Exception;
};
