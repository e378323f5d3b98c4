#include "DateFormat.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

TEST(DateFormat, Elements) {
    const double t = DateFromCivil(2024, 3, 5) + (13 * 3600 + 7 * 60 + 9.25) / 86400.0;  // a Tuesday
    const std::pair<const char*, const char*> cases[] = {
        {"yyyy-mm-dd", "2024-03-05"},
        {"d/m/yy", "5/3/24"},
        {"ddd dddd", "Tue Tuesday"},
        {"mmm mmmm", "Mar March"},
        {"hh:nn:ss.zzz", "13:07:09.250"},
        {"h:mm", "13:07"},  // "mm" after an hour means minutes
        {"hh mm", "13 07"},
        {"h:nn am/pm", "1:07 pm"},
        {"h AMPM", "1 PM"},
        {"'day' d", "day 5"},
        {"ddddd", "2024-03-05"},
        {"t", "13:07"},
        {"tt", "13:07:09"},
        {"c", "2024-03-05 13:07:09"},
        {"", "2024-03-05 13:07:09"},
    };
    for (const auto& [pattern, text] : cases) EXPECT_EQ(FormatDateTime(pattern, t), text) << pattern;
}

TEST(DateFormat, EpochRoundingAndRange) {
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn", 0), "1899-12-30 00:00");
    EXPECT_EQ(FormatDateTime("c", DateFromCivil(2000, 2, 29)), "2000-02-29");
    // a time a fraction of a millisecond before midnight rounds into the next day
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss", DateFromCivil(2023, 12, 31) + 1 - 1e-10), "2024-01-01 00:00:00");
    EXPECT_EQ(FormatDateTime("c", std::numeric_limits<double>::quiet_NaN()), "");
    EXPECT_EQ(FormatDateTime("c", 1e300), "");
    EXPECT_EQ(FormatDateTime("yyyy", DateFromCivil(9999, 12, 31)), "9999");
}

}  // namespace
