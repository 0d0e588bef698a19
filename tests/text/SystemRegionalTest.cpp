// Regional settings as the system gives them: Windows-style patterns turned into settings,
// and on Linux the locale the environment names.
#include "core/SystemRegional.h"
#include "core/Regional.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

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

// The date and time of the return run's fecha_exportacion, under the settings.
std::string stamp(const RegionalSettings& s, const std::tm& when)
{
    return formatShortDate(s, when) + " " + formatTimeWithSeconds(s, when);
}

TEST(SystemRegional, WindowsPatterns)
{
    struct Case {
        const char* date;
        const char* time;
        const char* am;
        const char* pm;
        const char* morning; // 5 March 2026, 8:04:09
        const char* evening; // the same day, 20:30:00
    };
    const Case cases[] = {
        {"dd/MM/yyyy", "H:mm:ss", "", "", "05/03/2026 8:04:09", "05/03/2026 20:30:00"}, // es-ES
        {"M/d/yyyy", "h:mm:ss tt", "AM", "PM", "3/5/2026 8:04:09 AM", "3/5/2026 8:30:00 PM"}, // en-US
        {"yyyy-MM-dd", "tt h:mm:ss", "오전", "오후", "2026-03-05 오전 8:04:09", "2026-03-05 오후 8:30:00"}, // ko-KR
        {"dd.MM.yy", "HH.mm.ss", "", "", "05.03.26 08.04.09", "05.03.26 20.30.00"},
        {"d MMM yyyy", "HH'h'mm", "", "", "5 03 2026 08h04h09", "5 03 2026 20h30h00"}, // names become numbers
        {"dd/MM/yyyy", "hh:mm:ss", "", "", "05/03/2026 08:04:09 AM", "05/03/2026 08:30:00 PM"}, // no designator given
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.date) + " " + c.time);
        const RegionalSettings s = regionalFromPatterns(',', c.date, c.time, c.am, c.pm);
        EXPECT_EQ(stamp(s, at(2026, 3, 5, 8, 4, 9)), c.morning);
        EXPECT_EQ(stamp(s, at(2026, 3, 5, 20, 30, 0)), c.evening);
    }
}

#ifndef _WIN32
// Sets environment variables for its lifetime (nullopt unsets), then puts them back.
class ScopedEnv {
public:
    void set(const char* name, std::optional<std::string> value)
    {
        const char* old = std::getenv(name);
        m_saved.push_back({name, old ? std::optional<std::string>(old) : std::nullopt});
        apply(name, value);
    }
    ~ScopedEnv()
    {
        for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it)
            apply(it->first, it->second);
    }

private:
    static void apply(const std::string& name, const std::optional<std::string>& value)
    {
        if (value)
            setenv(name.c_str(), value->c_str(), 1);
        else
            unsetenv(name.c_str());
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

bool installed(const char* name)
{
    locale_t l = newlocale(LC_ALL_MASK, name, locale_t{});
    if (l)
        freelocale(l);
    return l != nullptr;
}

TEST(SystemRegional, LinuxLocaleFromTheEnvironment)
{
    if (!installed("es_ES.UTF-8"))
        GTEST_SKIP() << "es_ES.UTF-8 is not installed (scripts/setup.sh makes it)";
    struct Case {
        const char* label;
        std::optional<std::string> all, numeric, time, lang;
        char decimal;
        const char* stamp; // 5 March 2026, 20:30:00
    };
    const Case cases[] = {
        {"LANG alone", std::nullopt, std::nullopt, std::nullopt, "es_ES.UTF-8", ',', "05/03/26 20:30:00"},
        {"LC_ALL over the rest", "C", "es_ES.UTF-8", "es_ES.UTF-8", "es_ES.UTF-8", '.', "03/05/26 20:30:00"},
        {"LC_NUMERIC for the number", std::nullopt, "es_ES.UTF-8", std::nullopt, "C", ',', "03/05/26 20:30:00"},
        {"LC_TIME for the date", std::nullopt, std::nullopt, "es_ES.UTF-8", "C", '.', "05/03/26 20:30:00"},
        {"a locale not installed", std::nullopt, std::nullopt, std::nullopt, "xx_XX.UTF-8", '.', "03/05/26 20:30:00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ScopedEnv env;
        env.set("LC_ALL", c.all);
        env.set("LC_NUMERIC", c.numeric);
        env.set("LC_TIME", c.time);
        env.set("LANG", c.lang);
        const RegionalSettings s = systemRegionalSettings();
        EXPECT_EQ(s.decimalSeparator, c.decimal);
        EXPECT_EQ(stamp(s, at(2026, 3, 5, 20, 30, 0)), c.stamp);
    }
}
#endif

} // namespace
