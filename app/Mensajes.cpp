// The system's message box, with its button relabelled while it opens: the box takes its
// button's text from the system's language, and the users read Spanish.
#include "app/Mensajes.h"

#include "core/Win32Text.h"

#include <cwchar>

namespace ponteva {

namespace {

thread_local HHOOK t_gancho = nullptr;

LRESULT CALLBACK alActivar(int codigo, WPARAM wParam, LPARAM lParam)
{
    if (codigo == HCBT_ACTIVATE) {
        const HWND caja = reinterpret_cast<HWND>(wParam);
        wchar_t clase[16] = {};
        GetClassNameW(caja, clase, 16);
        if (std::wcscmp(clase, L"#32770") == 0)
            SetDlgItemTextW(caja, IDOK, L"Aceptar");
    }
    return CallNextHookEx(t_gancho, codigo, wParam, lParam);
}

void mostrar(HWND dueno, const std::string& texto, UINT icono)
{
    t_gancho = SetWindowsHookExW(WH_CBT, alActivar, nullptr, GetCurrentThreadId());
    MessageBoxW(dueno, win32::widen(texto).c_str(), kTituloAplicacion, MB_OK | icono);
    if (t_gancho)
        UnhookWindowsHookEx(t_gancho);
    t_gancho = nullptr;
}

} // namespace

void mensaje(HWND dueno, const std::string& texto)
{
    mostrar(dueno, texto, 0);
}

void mensajeError(HWND dueno, const std::string& texto)
{
    mostrar(dueno, texto, MB_ICONERROR);
}

} // namespace ponteva
