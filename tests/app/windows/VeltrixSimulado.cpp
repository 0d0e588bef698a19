// A stand-in for the timetabler: opens a window of its own, starts Ponteva.exe embedded in
// it with a direction and the window's handle, and keeps its own messages flowing until
// Ponteva ends. A message box owned by the embedded window disables this window, which
// therefore must go on pumping. Exits with Ponteva's exit code.
//
//   VeltrixSimulado.exe PONTEVA.EXE DIRECCION
#include <string>

#include <windows.h>

namespace {

LRESULT CALLBACK procVentana(HWND ventana, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(ventana, msg, wParam, lParam);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3)
        return 100;
    const HINSTANCE instancia = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = procVentana;
    wc.hInstance = instancia;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
    wc.lpszClassName = L"VeltrixSimulado";
    RegisterClassExW(&wc);
    const HWND ventana = CreateWindowExW(0, wc.lpszClassName, L"Veltrix simulado",
        WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 40, 40, 800, 450, nullptr, nullptr, instancia, nullptr);

    wchar_t handle[16];
    wsprintfW(handle, L"%lX", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(ventana)));
    std::wstring linea = L"\"" + std::wstring(argv[1]) + L"\" " + argv[2] + L" " + handle;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(argv[1], linea.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return 101;
    CloseHandle(pi.hThread);

    for (;;) {
        const DWORD r = MsgWaitForMultipleObjects(1, &pi.hProcess, FALSE, INFINITE, QS_ALLINPUT);
        if (r == WAIT_OBJECT_0)
            break;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    DWORD codigo = 102;
    GetExitCodeProcess(pi.hProcess, &codigo);
    CloseHandle(pi.hProcess);
    DestroyWindow(ventana);
    return static_cast<int>(codigo);
}
