// The gradient panel: a child window filled top to bottom through three colours, drawn
// through an off-screen buffer so that it never flickers. It also draws the owner-drawn
// labels it holds over its own gradient, so they look transparent.
#pragma once

#include <windows.h>

namespace ponteva {

struct Degradado {
    COLORREF inicio;
    COLORREF medio;
    COLORREF fin;
    COLORREF base; // beneath the gradient, where it does not reach
};

inline constexpr const wchar_t* kClaseDraw3D = L"TDraw3D";

void registrarDraw3D(HINSTANCE instancia);

// The colours must outlive the panel.
HWND crearDraw3D(HWND padre, int id, int x, int y, int ancho, int alto, const Degradado& colores);

// A label of a panel: a static control drawn by the panel, text in the given colour.
HWND crearEtiqueta(
    HWND panel, int id, const wchar_t* texto, int x, int y, int ancho, int alto, HFONT fuente, COLORREF color);

} // namespace ponteva
