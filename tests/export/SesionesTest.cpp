// Hours and the sessions text the timetabler lays them out by.
#include "export/Sesiones.h"
#include "core/Error.h"

#include <gtest/gtest.h>

using namespace ponteva;

namespace {

TEST(Sesiones, HoursTable)
{
    const std::string ones13(13, '1');
    struct Case {
        const char* nhoras;
        float horas;
        std::string sesiones;
    };
    const Case cases[] = {
        {"4", 4, "1111"}, {"0", 1, "1"}, {"13", 13, ones13}, {"14", 14, "1" + ones13}, {"20", 20, "7" + ones13},
        {"25", 25, "12" + ones13}, {"2,5", 2.5f, "111\xBD"}, {"0,5", 0.5f, "1"}, {"13,5", 13.5f, "1" + ones13 + "\xBD"},
        {"2,3", 2.3f, "111\xBD"}, {"-0", 1, "1"}, {"1,0", 1, "1"},
        {"-2,5", -2.5f, "\xBD"}, // nothing to lay out, the half still follows the whole part
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.nhoras);
        const Horas h = calcularHoras(c.nhoras, ',');
        EXPECT_EQ(h.value, c.horas);
        EXPECT_EQ(h.sessions, c.sesiones);
    }
}

TEST(Sesiones, RefusesWhatIsNoNumber)
{
    for (const char* text : {"", "abc", "2.5", "2,5h", "1.000,5"}) {
        try {
            calcularHoras(text, ',');
            ADD_FAILURE() << "accepted '" << text << "'";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), "'" + std::string(text) + "' no es un valor punto flotante válido");
        }
    }
    EXPECT_EQ(calcularHoras("2.5", '.').sessions, "111\xBD"); // the separator follows the settings
    EXPECT_THROW(calcularHoras("1e30", ','), Error); // no session count that large
}

} // namespace
