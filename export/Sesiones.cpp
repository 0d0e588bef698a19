#include "Sesiones.h"

#include "core/Error.h"
#include "core/Regional.h"
#include "text/Ansi.h"

#include <cmath>

namespace ponteva {

namespace {
constexpr long long kSessionsPerLine = 13;
constexpr char kHalf = '\xBD'; // ½ in Windows-1252
} // namespace

Horas calcularHoras(std::string_view nhoras, char decimalSeparator)
{
    double parsed = 0;
    const bool ok = parseDecimal(nhoras, decimalSeparator, parsed);
    const float hours = static_cast<float>(parsed);
    if (!ok || !std::isfinite(hours))
        throw Error("'" + ansiToUtf8(nhoras) + "' no es un valor punto flotante válido");
    // Far beyond any week; the session count would not fit a whole number.
    if (std::fabs(hours) > 1e9f)
        throw Error("El número de horas '" + ansiToUtf8(nhoras) + "' está fuera de rango.");

    Horas result;
    result.value = hours == 0 ? 1.0f : hours;
    long long n = static_cast<long long>(std::ceil(result.value));
    if (n > kSessionsPerLine) {
        result.sessions = std::to_string(n - kSessionsPerLine);
        n = kSessionsPerLine;
    }
    if (n > 0)
        result.sessions.append(static_cast<size_t>(n), '1');
    const float whole = std::trunc(result.value);
    if (result.value != whole && whole != 0)
        result.sessions += kHalf;
    return result;
}

} // namespace ponteva
