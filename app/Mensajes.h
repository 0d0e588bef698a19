// Message boxes as the window shows them: caption "Ponteva" and one button that reads
// "Aceptar" whatever the system's language.
#pragma once

#include <string>

#include <windows.h>

namespace ponteva {

inline constexpr const wchar_t* kTituloAplicacion = L"Ponteva";

// An expected outcome ("Proceso finalizado", "No existe archivo").
void mensaje(HWND dueno, const std::string& texto);
// An error that ended what the user asked for.
void mensajeError(HWND dueno, const std::string& texto);

} // namespace ponteva
