// Regional settings as plain values, and the conversions that follow them.
// The window and the command-line tool read them from the system (core/SystemRegional.h);
// the runs never ask the system themselves, so they are reproducible in tests.
#pragma once

#include <ctime>
#include <string>
#include <string_view>

namespace ponteva {

struct RegionalSettings {
    char decimalSeparator = ',';
    // Short date pattern: d, dd, M, MM, yy, yyyy; text between single quotes and any
    // other character are copied as they stand.
    std::string shortDateFormat = "dd/MM/yyyy";
    std::string timeSeparator = ":";
    bool hourLeadingZero = true;
    bool twelveHour = false;
    std::string amDesignator = "AM";
    std::string pmDesignator = "PM";
    bool designatorBeforeTime = false;
};

// The settings of a Spanish (Spain) Windows installation; the tests' reference.
RegionalSettings spanishSettings();

// Settings from patterns in the notation of Windows' regional settings. The date pattern
// is stored as it is, except that month names (MMM, MMMM) become the month's number, as
// the core writes numbers only. The time pattern gives the rest: h (12-hour clock) or H,
// doubled for a leading zero; the text between the hour and the minutes is the
// separator; t or tt marks where the designator goes. Quoted text is skipped.
RegionalSettings regionalFromPatterns(char decimalSeparator, std::string_view shortDatePattern,
    std::string_view timePattern, std::string_view amDesignator, std::string_view pmDesignator);

std::string formatShortDate(const RegionalSettings& settings, const std::tm& when);
// Hours, minutes and seconds, with the designator on a 12-hour clock.
std::string formatTimeWithSeconds(const RegionalSettings& settings, const std::tm& when);

// Reads a decimal number written with the given decimal separator: optional sign,
// digits, optional fraction, optional exponent. No thousands separators, no blanks.
// Returns false when the text is not such a number.
bool parseDecimal(std::string_view text, char decimalSeparator, double& value);
// The same, rounded once, straight to the nearest float.
bool parseDecimal(std::string_view text, char decimalSeparator, float& value);

} // namespace ponteva
