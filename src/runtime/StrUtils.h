#pragma once
// String helpers in the shape the system's code expects of its runtime.
// Case mapping is ASCII only: file formats and keys are ASCII, and a host's
// locale must not change how a key compares.

#include <cstdint>
#include <string>
#include <string_view>

// Removes leading and trailing characters up to and including the space
// (control characters too).
std::string Trim(std::string_view s);
std::string TrimLeft(std::string_view s);
std::string TrimRight(std::string_view s);

std::string UpperCase(std::string_view s);
std::string LowerCase(std::string_view s);
// Case-insensitive (ASCII) equality.
bool SameText(std::string_view a, std::string_view b);

std::string IntToStr(std::int64_t value);
