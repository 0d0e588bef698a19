// Driving another program's windows as a person would: find windows by class and caption,
// read their places back, press buttons, fill and confirm dialogs.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include <windows.h>

namespace ponteva::test {

// A started program; ends it on destruction if it still runs.
class Proceso {
public:
    Proceso(const std::wstring& exe, const std::wstring& argumentos);
    ~Proceso();
    Proceso(const Proceso&) = delete;
    Proceso& operator=(const Proceso&) = delete;

    DWORD id() const { return m_pi.dwProcessId; }
    // The exit code, or STILL_ACTIVE when it did not end in time.
    DWORD esperarFin(std::chrono::milliseconds plazo = std::chrono::seconds(20));

private:
    PROCESS_INFORMATION m_pi{};
};

// Polls until `hecho` holds; false when the time ran out.
bool esperar(const std::function<bool()>& hecho, std::chrono::milliseconds plazo = std::chrono::seconds(20));
// Polls until `buscar` gives a window or the time runs out (then nullptr).
HWND esperarVentana(const std::function<HWND()>& buscar, std::chrono::milliseconds plazo = std::chrono::seconds(20));

// A visible top-level window of the process with this class (and caption, when given).
HWND ventanaDe(DWORD proceso, const wchar_t* clase, const wchar_t* titulo = nullptr);
// Descendants of `padre` with this class and caption (either may be null to match any).
std::vector<HWND> descendientes(HWND padre, const wchar_t* clase, const wchar_t* texto);
HWND descendiente(HWND padre, const wchar_t* clase, const wchar_t* texto);

std::wstring texto(HWND ventana);
std::wstring clase(HWND ventana);
// Rectangle in the client coordinates of its parent (or the screen for a top-level window).
RECT lugar(HWND ventana);
RECT cliente(HWND ventana);
// The texts of a message box's labels, joined by '\n'.
std::wstring textoDeCaja(HWND caja);

// Presses a button without waiting for what it starts.
void pulsar(HWND boton);
// Fills the file name of an open dialog and confirms it, or cancels it when empty.
void elegirArchivo(HWND dialogo, const std::wstring& ruta);

std::string utf8(const std::wstring& w);

} // namespace ponteva::test
