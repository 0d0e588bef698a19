#include "Regional.h"

#include <charconv>
#include <cstdio>
#include <string>

namespace ponteva {

RegionalSettings spanishSettings()
{
    RegionalSettings s;
    s.decimalSeparator = ',';
    s.shortDateFormat = "dd/MM/yyyy";
    s.timeSeparator = ":";
    s.hourLeadingZero = false;
    s.twelveHour = false;
    return s;
}

namespace {

std::string twoDigits(int v)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}

// Length of the run of the same character starting at pos.
size_t runLength(std::string_view s, size_t pos)
{
    size_t n = 1;
    while (pos + n < s.size() && s[pos + n] == s[pos])
        ++n;
    return n;
}

} // namespace

std::string formatShortDate(const RegionalSettings& settings, const std::tm& when)
{
    const std::string_view f = settings.shortDateFormat;
    const int year = when.tm_year + 1900;
    std::string out;
    for (size_t i = 0; i < f.size();) {
        const char c = f[i];
        if (c == '\'') {
            const size_t end = f.find('\'', i + 1);
            if (end == std::string_view::npos) {
                out.append(f.substr(i + 1));
                break;
            }
            out.append(f.substr(i + 1, end - i - 1));
            i = end + 1;
            continue;
        }
        const size_t n = runLength(f, i);
        if (c == 'd') {
            out += n >= 2 ? twoDigits(when.tm_mday) : std::to_string(when.tm_mday);
        } else if (c == 'M') {
            out += n >= 2 ? twoDigits(when.tm_mon + 1) : std::to_string(when.tm_mon + 1);
        } else if (c == 'y') {
            out += n <= 2 ? twoDigits(year % 100) : std::to_string(year);
        } else {
            out.append(f.substr(i, n));
        }
        i += n;
    }
    return out;
}

std::string formatTimeWithSeconds(const RegionalSettings& settings, const std::tm& when)
{
    int hour = when.tm_hour;
    std::string designator;
    if (settings.twelveHour) {
        designator = hour < 12 ? settings.amDesignator : settings.pmDesignator;
        hour %= 12;
        if (hour == 0)
            hour = 12;
    }
    std::string time = settings.hourLeadingZero ? twoDigits(hour) : std::to_string(hour);
    time += settings.timeSeparator + twoDigits(when.tm_min) + settings.timeSeparator + twoDigits(when.tm_sec);
    if (designator.empty())
        return time;
    return settings.designatorBeforeTime ? designator + " " + time : time + " " + designator;
}

namespace {

// The number in C notation ('.' as separator, no '+'), for from_chars; false when the text
// is not a number of the accepted form.
bool cNotation(std::string_view text, char decimalSeparator, std::string& normal)
{
    size_t i = 0;
    const size_t n = text.size();
    normal.clear();
    normal.reserve(n);
    auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-')
            normal += '-';
        ++i;
    }
    size_t digits = 0;
    while (i < n && isDigit(text[i])) {
        normal += text[i++];
        ++digits;
    }
    if (i < n && text[i] == decimalSeparator) {
        normal += '.';
        ++i;
        while (i < n && isDigit(text[i])) {
            normal += text[i++];
            ++digits;
        }
    }
    if (digits == 0)
        return false;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        normal += 'e';
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-'))
            normal += text[i++];
        size_t expDigits = 0;
        while (i < n && isDigit(text[i])) {
            normal += text[i++];
            ++expDigits;
        }
        if (expDigits == 0)
            return false;
    }
    return i == n;
}

template <typename Number> bool parse(std::string_view text, char decimalSeparator, Number& value)
{
    std::string normal;
    if (!cNotation(text, decimalSeparator, normal))
        return false;
    // from_chars ignores the process locale. Out of range is refused, never infinity.
    Number v = 0;
    const auto [end, ec] = std::from_chars(normal.data(), normal.data() + normal.size(), v);
    if (ec != std::errc() || end != normal.data() + normal.size())
        return false;
    value = v;
    return true;
}

} // namespace

bool parseDecimal(std::string_view text, char decimalSeparator, double& value)
{
    return parse(text, decimalSeparator, value);
}

bool parseDecimal(std::string_view text, char decimalSeparator, float& value)
{
    return parse(text, decimalSeparator, value);
}

RegionalSettings regionalFromPatterns(char decimalSeparator, std::string_view shortDatePattern,
    std::string_view timePattern, std::string_view amDesignator, std::string_view pmDesignator)
{
    RegionalSettings s;
    s.decimalSeparator = decimalSeparator;

    s.shortDateFormat.clear();
    for (size_t i = 0; i < shortDatePattern.size();) {
        if (shortDatePattern[i] == '\'') {
            const size_t end = shortDatePattern.find('\'', i + 1);
            const size_t stop = end == std::string_view::npos ? shortDatePattern.size() : end + 1;
            s.shortDateFormat.append(shortDatePattern.substr(i, stop - i));
            i = stop;
            continue;
        }
        const size_t n = runLength(shortDatePattern, i);
        if (shortDatePattern[i] == 'M' && n > 2)
            s.shortDateFormat += "MM";
        else
            s.shortDateFormat.append(shortDatePattern.substr(i, n));
        i += n;
    }

    // The hour, the designator and the minutes, outside quoted text.
    size_t hour = std::string_view::npos, hourRun = 0, designator = std::string_view::npos;
    size_t minute = std::string_view::npos;
    for (size_t i = 0; i < timePattern.size();) {
        const char c = timePattern[i];
        if (c == '\'') {
            const size_t end = timePattern.find('\'', i + 1);
            i = end == std::string_view::npos ? timePattern.size() : end + 1;
            continue;
        }
        const size_t n = runLength(timePattern, i);
        if ((c == 'h' || c == 'H') && hour == std::string_view::npos) {
            hour = i;
            hourRun = n;
        } else if (c == 't' && designator == std::string_view::npos) {
            designator = i;
        } else if (c == 'm' && minute == std::string_view::npos && hour != std::string_view::npos) {
            minute = i;
        }
        i += n;
    }
    if (hour != std::string_view::npos) {
        s.twelveHour = timePattern[hour] == 'h';
        s.hourLeadingZero = hourRun >= 2;
        if (minute != std::string_view::npos && minute > hour + hourRun) {
            s.timeSeparator.clear();
            for (char c : timePattern.substr(hour + hourRun, minute - hour - hourRun)) {
                if (c != '\'')
                    s.timeSeparator += c;
            }
        }
    }
    s.designatorBeforeTime = s.twelveHour && designator != std::string_view::npos && designator < hour;
    if (!amDesignator.empty())
        s.amDesignator = amDesignator;
    if (!pmDesignator.empty())
        s.pmDesignator = pmDesignator;
    return s;
}

} // namespace ponteva
