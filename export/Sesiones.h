// The weekly hours of a teaching assignment, read from the document, and the sessions
// text that lays them out for the timetabler.
#pragma once

#include <string>
#include <string_view>

namespace ponteva {

struct Horas {
    float value = 0; // the hours as held in HORAS
    std::string sessions; // the SESIONES text, Windows-1252
};

// Reads the trimmed "nhoras" text with the regional decimal separator and works out the
// hours and sessions. Refuses a text that is not a number with
// "'%s' no es un valor punto flotante válido".
Horas calcularHoras(std::string_view nhoras, char decimalSeparator);

} // namespace ponteva
