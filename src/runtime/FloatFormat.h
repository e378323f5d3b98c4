#pragma once
// Number texts from float-format patterns, and the default
// float-to-text conversion. The decimal separator is always "." and the
// thousands separator ",", whatever the process locale.
//
// Pattern language (up to three sections "positive;negative;zero"):
//   0      digit, always written
//   #      digit, written only when significant
//   .      decimal point (the first one; later ones are ignored)
//   ,      anywhere among the integer placeholders: group thousands with ","
//   E+0 E-0 e+0 e-0   scientific notation, exponent with at least as many
//          digits as "0"s follow (at most 4); "+" also writes a plus sign
//   'x' "x"  quoted literal text
//   other characters (such as blanks) are literals; among the integer digits
//          they are written only once a digit stood before them, among the
//          decimals only when a written digit follows them, so "# ##0" gives
//          "234" and "1 234", and "0.000 ###" gives "1.500" for 1.5.
// Integer digits beyond the placeholders are written at the first one.
// A value that rounds to zero is never written with a minus sign.

#include <string>
#include <string_view>

std::string FormatFloat(std::string_view pattern, double value);

// Shortest text with at most 15 significant digits ("1.5", "1E20",
// "0.0001", "1E-5"); used where two values are compared by their texts.
std::string FloatToStr(double value);
