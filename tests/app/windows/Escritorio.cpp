// Window driving through the plain Win32 calls.
#include "tests/app/windows/Escritorio.h"

#include <thread>

namespace ponteva::test {

Proceso::Proceso(const std::wstring& exe, const std::wstring& argumentos)
{
    std::wstring linea = L"\"" + exe + L"\"" + (argumentos.empty() ? L"" : L" " + argumentos);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    if (!CreateProcessW(exe.c_str(), linea.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &m_pi))
        m_pi = {};
}

Proceso::~Proceso()
{
    if (!m_pi.hProcess)
        return;
    if (WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(m_pi.hProcess, 99);
        WaitForSingleObject(m_pi.hProcess, 5000);
    }
    CloseHandle(m_pi.hThread);
    CloseHandle(m_pi.hProcess);
}

DWORD Proceso::esperarFin(std::chrono::milliseconds plazo)
{
    if (!m_pi.hProcess || WaitForSingleObject(m_pi.hProcess, static_cast<DWORD>(plazo.count())) != WAIT_OBJECT_0)
        return STILL_ACTIVE;
    DWORD codigo = STILL_ACTIVE;
    GetExitCodeProcess(m_pi.hProcess, &codigo);
    return codigo;
}

bool esperar(const std::function<bool()>& hecho, std::chrono::milliseconds plazo)
{
    const auto fin = std::chrono::steady_clock::now() + plazo;
    for (;;) {
        if (hecho())
            return true;
        if (std::chrono::steady_clock::now() > fin)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

HWND esperarVentana(const std::function<HWND()>& buscar, std::chrono::milliseconds plazo)
{
    HWND v = nullptr;
    esperar([&] { return (v = buscar()) != nullptr; }, plazo);
    return v;
}

namespace {

struct Busqueda {
    DWORD proceso;
    const wchar_t* clase;
    const wchar_t* titulo;
    HWND encontrada = nullptr;
};

BOOL CALLBACK porVentana(HWND v, LPARAM l)
{
    auto& b = *reinterpret_cast<Busqueda*>(l);
    DWORD pid = 0;
    GetWindowThreadProcessId(v, &pid);
    if (pid != b.proceso || !IsWindowVisible(v))
        return TRUE;
    if (b.clase && clase(v) != b.clase)
        return TRUE;
    if (b.titulo && texto(v) != b.titulo)
        return TRUE;
    b.encontrada = v;
    return FALSE;
}

struct Hijos {
    const wchar_t* clase;
    const wchar_t* texto;
    std::vector<HWND> encontrados;
};

BOOL CALLBACK porHijo(HWND v, LPARAM l)
{
    auto& h = *reinterpret_cast<Hijos*>(l);
    if ((!h.clase || clase(v) == h.clase) && (!h.texto || texto(v) == h.texto))
        h.encontrados.push_back(v);
    return TRUE;
}

} // namespace

HWND ventanaDe(DWORD proceso, const wchar_t* clase, const wchar_t* titulo)
{
    Busqueda b{proceso, clase, titulo};
    EnumWindows(porVentana, reinterpret_cast<LPARAM>(&b));
    return b.encontrada;
}

std::vector<HWND> descendientes(HWND padre, const wchar_t* clase, const wchar_t* texto)
{
    Hijos h{clase, texto, {}};
    EnumChildWindows(padre, porHijo, reinterpret_cast<LPARAM>(&h));
    return h.encontrados;
}

HWND descendiente(HWND padre, const wchar_t* clase, const wchar_t* texto)
{
    const auto v = descendientes(padre, clase, texto);
    return v.empty() ? nullptr : v.front();
}

std::wstring texto(HWND ventana)
{
    wchar_t buf[1024] = {};
    DWORD_PTR n = 0;
    SendMessageTimeoutW(ventana, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 5000, &n);
    return buf;
}

std::wstring clase(HWND ventana)
{
    wchar_t buf[256] = {};
    GetClassNameW(ventana, buf, 256);
    return buf;
}

RECT lugar(HWND ventana)
{
    RECT r;
    GetWindowRect(ventana, &r);
    if (GetWindowLongPtrW(ventana, GWL_STYLE) & WS_CHILD)
        MapWindowPoints(HWND_DESKTOP, GetParent(ventana), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

RECT cliente(HWND ventana)
{
    RECT r;
    GetClientRect(ventana, &r);
    return r;
}

std::wstring textoDeCaja(HWND caja)
{
    std::wstring todo;
    for (HWND s : descendientes(caja, L"Static", nullptr)) {
        const std::wstring t = texto(s);
        if (t.empty())
            continue;
        if (!todo.empty())
            todo += L"\n";
        todo += t;
    }
    return todo;
}

void pulsar(HWND boton)
{
    PostMessageW(boton, BM_CLICK, 0, 0);
}

void elegirArchivo(HWND dialogo, const std::wstring& ruta)
{
    if (ruta.empty()) {
        PostMessageW(dialogo, WM_COMMAND, IDCANCEL, 0);
        return;
    }
    // The explorer-style dialog's file name box (cmb13) or, in older layouts, edt1.
    HWND nombre = GetDlgItem(dialogo, 0x47C);
    if (!nombre)
        nombre = GetDlgItem(dialogo, 0x480);
    SendMessageTimeoutW(nombre, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(ruta.c_str()), SMTO_ABORTIFHUNG, 5000, nullptr);
    PostMessageW(
        dialogo, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialogo, IDOK)));
}

std::string utf8(const std::wstring& w)
{
    if (w.empty())
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

} // namespace ponteva::test
