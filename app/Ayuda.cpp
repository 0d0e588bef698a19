// HtmlHelpW loaded from hhctrl.ocx when first asked for: linking the import library would
// keep the program from starting on a system without the viewer. With no viewer or no
// file, help does nothing; the program goes on.
#include "app/Ayuda.h"

#include "app/Programa.h"

#include <filesystem>
#include <system_error>

#include <htmlhelp.h>

namespace ponteva {

namespace {

using HtmlHelpWFn = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);

HtmlHelpWFn g_htmlHelp = nullptr;
bool g_cargado = false;

HtmlHelpWFn visor()
{
    if (!g_cargado) {
        g_cargado = true;
        if (const HMODULE m = LoadLibraryW(L"hhctrl.ocx"))
            g_htmlHelp = reinterpret_cast<HtmlHelpWFn>(reinterpret_cast<void*>(GetProcAddress(m, "HtmlHelpW")));
    }
    return g_htmlHelp;
}

void pedir(HWND llamante, UINT orden, DWORD_PTR dato)
{
    const std::filesystem::path archivo = directorioPrograma() / L"Zedra.chm";
    std::error_code ec;
    // The viewer answers a missing file with a box of its own that waits for the user.
    if (!std::filesystem::is_regular_file(archivo, ec))
        return;
    if (const HtmlHelpWFn f = visor())
        f(llamante, archivo.c_str(), orden, dato);
}

} // namespace

void ayudaIndice(HWND llamante)
{
    pedir(llamante, HH_DISPLAY_TOC, 0);
}

void ayudaContexto(HWND llamante, DWORD contexto)
{
    pedir(llamante, HH_HELP_CONTEXT, contexto);
}

void cerrarAyuda()
{
    if (g_htmlHelp)
        g_htmlHelp(nullptr, nullptr, HH_CLOSE_ALL, 0);
}

} // namespace ponteva
