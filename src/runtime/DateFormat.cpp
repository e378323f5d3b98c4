#include "DateFormat.h"

#include <cctype>
#include <cmath>
#include <cstdint>

namespace {

constexpr const char* kShortMonth[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr const char* kLongMonth[] = {"January", "February", "March",     "April",   "May",      "June",
                                      "July",    "August",   "September", "October", "November", "December"};
constexpr const char* kShortDay[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kLongDay[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

// Days between 1970-01-01 and 1899-12-30.
constexpr std::int64_t kUnixOffset = 25569;
// 0001-01-01 and 9999-12-31 as date-time values.
constexpr double kMinDate = -693593;
constexpr double kMaxDate = 2958466;

std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& y, int& m, int& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2));
}

struct TParts {
    int Year, Month, Day, DayOfWeek, Hour, Minute, Second, MSec;
};

TParts Decode(double value) {
    TParts p{};
    double whole = std::trunc(value);
    // milliseconds rounded to the nearest; a day that rounds up to midnight
    // moves to the next date
    auto ms = static_cast<std::int64_t>(std::llround(std::fabs(value - whole) * 86400000.0));
    auto days = static_cast<std::int64_t>(whole);
    if (ms >= 86400000) {
        ms -= 86400000;
        days += value < 0 ? -1 : 1;
    }
    CivilFromDays(days - kUnixOffset, p.Year, p.Month, p.Day);
    std::int64_t w = (days - kUnixOffset + 4) % 7;  // 1970-01-01 was a Thursday
    p.DayOfWeek = static_cast<int>(w < 0 ? w + 7 : w);
    p.Hour = static_cast<int>(ms / 3600000);
    p.Minute = static_cast<int>(ms / 60000 % 60);
    p.Second = static_cast<int>(ms / 1000 % 60);
    p.MSec = static_cast<int>(ms % 1000);
    return p;
}

std::string Pad(int v, int width) {
    std::string s = std::to_string(v);
    if (static_cast<int>(s.size()) < width) s.insert(0, static_cast<std::size_t>(width) - s.size(), '0');
    return s;
}

bool StartsWithNoCase(std::string_view s, std::size_t at, std::string_view what) {
    if (s.size() - at < what.size()) return false;
    for (std::size_t i = 0; i < what.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[at + i])) != what[i]) return false;
    return true;
}

void Append(std::string& out, std::string_view pattern, const TParts& p, int depth);

// Whether the pattern has an am/pm element, which switches hours to 12.
bool HasAmPm(std::string_view pattern) {
    char quote = 0;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        char c = pattern[i];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (StartsWithNoCase(pattern, i, "am/pm") || StartsWithNoCase(pattern, i, "a/p") ||
                   StartsWithNoCase(pattern, i, "ampm")) {
            return true;
        }
    }
    return false;
}

void Append(std::string& out, std::string_view pattern, const TParts& p, int depth) {
    // nested formats (c, t, ddddd ...) are fixed and never nest further
    if (depth > 2) return;
    const bool twelve = HasAmPm(pattern);
    bool lastWasHour = false;
    std::size_t i = 0;
    while (i < pattern.size()) {
        char c = pattern[i];
        char lc = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        std::size_t run = 1;
        while (i + run < pattern.size() && std::tolower(static_cast<unsigned char>(pattern[i + run])) == lc) ++run;
        bool hour = false;
        if (c == '\'' || c == '"') {
            std::size_t end = pattern.find(c, i + 1);
            if (end == std::string_view::npos) end = pattern.size();
            out += pattern.substr(i + 1, end - i - 1);
            i = end + 1;
            continue;
        }
        if (lc == 'a') {
            if (StartsWithNoCase(pattern, i, "am/pm")) {
                out += p.Hour < 12 ? "am" : "pm";
                i += 5;
            } else if (StartsWithNoCase(pattern, i, "a/p")) {
                out += p.Hour < 12 ? "a" : "p";
                i += 3;
            } else if (StartsWithNoCase(pattern, i, "ampm")) {
                out += p.Hour < 12 ? "AM" : "PM";
                i += 4;
            } else {
                out += c;
                ++i;
            }
            continue;
        }
        switch (lc) {
        case 'c':
            Append(out, LocaleShortDateFormat, p, depth + 1);
            if (p.Hour || p.Minute || p.Second || p.MSec) {
                out += ' ';
                Append(out, LocaleLongTimeFormat, p, depth + 1);
            }
            break;
        case 'd':
            if (run >= 6) {
                run = 6;
                Append(out, LocaleLongDateFormat, p, depth + 1);
            } else if (run == 5) {
                Append(out, LocaleShortDateFormat, p, depth + 1);
            } else if (run == 4) {
                out += kLongDay[p.DayOfWeek];
            } else if (run == 3) {
                out += kShortDay[p.DayOfWeek];
            } else {
                out += Pad(p.Day, static_cast<int>(run));
            }
            break;
        case 'm':
            if (lastWasHour && run <= 2) {
                out += Pad(p.Minute, static_cast<int>(run));
            } else if (run >= 4) {
                run = 4;
                out += kLongMonth[p.Month - 1];
            } else if (run == 3) {
                out += kShortMonth[p.Month - 1];
            } else {
                out += Pad(p.Month, static_cast<int>(run));
            }
            break;
        case 'y':
            if (run <= 2)
                out += Pad(p.Year % 100, 2);
            else
                out += Pad(p.Year, 4);
            break;
        case 'h': {
            if (run > 2) run = 2;
            int h = p.Hour;
            if (twelve) {
                h %= 12;
                if (h == 0) h = 12;
            }
            out += Pad(h, static_cast<int>(run));
            hour = true;
            break;
        }
        case 'n':
            if (run > 2) run = 2;
            out += Pad(p.Minute, static_cast<int>(run));
            break;
        case 's':
            if (run > 2) run = 2;
            out += Pad(p.Second, static_cast<int>(run));
            break;
        case 'z':
            if (run >= 3) {
                run = 3;
                out += Pad(p.MSec, 3);
            } else {
                run = 1;
                out += std::to_string(p.MSec);
            }
            break;
        case 't':
            if (run >= 2) {
                run = 2;
                Append(out, LocaleLongTimeFormat, p, depth + 1);
            } else {
                Append(out, LocaleShortTimeFormat, p, depth + 1);
            }
            break;
        default:
            out.append(pattern.substr(i, run));
            break;
        }
        // a blank or separator between hour and "mm" still means minutes
        if (hour)
            lastWasHour = true;
        else if (std::isalpha(static_cast<unsigned char>(c)))
            lastWasHour = false;
        i += run;
    }
}

}  // namespace

std::string FormatDateTime(std::string_view pattern, double value) {
    if (!std::isfinite(value) || value < kMinDate || value >= kMaxDate) return {};
    std::string out;
    Append(out, pattern.empty() ? std::string_view("c") : pattern, Decode(value), 0);
    return out;
}

double DateFromCivil(int year, int month, int day) {
    return static_cast<double>(DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) +
                               kUnixOffset);
}

void CivilFromDate(std::int64_t days, int& year, int& month, int& day) {
    CivilFromDays(days - kUnixOffset, year, month, day);
}
