// Regional date, time and number forms.
#include "core/Regional.h"

#include <gtest/gtest.h>

using namespace ponteva;

namespace {

std::tm at(int y, int mo, int d, int h, int mi, int s)
{
    std::tm t{};
    t.tm_year = y - 1900;
    t.tm_mon = mo - 1;
    t.tm_mday = d;
    t.tm_hour = h;
    t.tm_min = mi;
    t.tm_sec = s;
    return t;
}

TEST(Regional, DateAndTime)
{
    RegionalSettings es = spanishSettings();
    const std::tm morning = at(2026, 3, 5, 8, 4, 9);
    EXPECT_EQ(formatShortDate(es, morning), "05/03/2026");
    EXPECT_EQ(formatTimeWithSeconds(es, morning), "8:04:09");

    RegionalSettings us;
    us.shortDateFormat = "M/d/yyyy";
    us.twelveHour = true;
    us.hourLeadingZero = false;
    EXPECT_EQ(formatShortDate(us, morning), "3/5/2026");
    EXPECT_EQ(formatTimeWithSeconds(us, at(2026, 3, 5, 0, 0, 0)), "12:00:00 AM");
    EXPECT_EQ(formatTimeWithSeconds(us, at(2026, 3, 5, 13, 5, 0)), "1:05:00 PM");

    RegionalSettings other;
    other.shortDateFormat = "yy'.'MM'.'dd";
    other.timeSeparator = ".";
    other.twelveHour = true;
    other.amDesignator = "上午";
    other.designatorBeforeTime = true;
    EXPECT_EQ(formatShortDate(other, morning), "26.03.05");
    EXPECT_EQ(formatTimeWithSeconds(other, morning), "上午 08.04.09");
}

TEST(Regional, ParseDecimal)
{
    struct Case {
        const char* text;
        char sep;
        bool ok;
        double value;
    };
    const Case cases[] = {
        {"4", ',', true, 4},
        {"2,5", ',', true, 2.5},
        {"-0,5", ',', true, -0.5},
        {",5", ',', true, 0.5},
        {"5,", ',', true, 5},
        {"1E2", ',', true, 100},
        {"2.5", '.', true, 2.5},
        {"2.5", ',', false, 0},
        {"1.000,5", ',', false, 0},
        {"", ',', false, 0},
        {",", ',', false, 0},
        {"abc", ',', false, 0},
        {"2,5 h", ',', false, 0},
        {" 2", ',', false, 0},
        {"1e", ',', false, 0},
        {"1e999", ',', false, 0},
        {"+3", ',', true, 3},
    };
    for (const auto& c : cases) {
        double v = -1;
        EXPECT_EQ(parseDecimal(c.text, c.sep, v), c.ok) << c.text;
        if (c.ok) {
            EXPECT_DOUBLE_EQ(v, c.value) << c.text;
        }
    }
}

} // namespace
