// Help from "Zedra.chm" beside the program, through the HTML Help viewer.
#pragma once

#include <windows.h>

namespace ponteva {

inline constexpr DWORD kContextoAyuda = 3;

// The help file's table of contents.
void ayudaIndice(HWND llamante);
// The topic of a help context.
void ayudaContexto(HWND llamante, DWORD contexto);
// Closes any help window the program opened.
void cerrarAyuda();

} // namespace ponteva
