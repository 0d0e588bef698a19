// Ponteva.exe: the window's program. Creates TMForm from the command line and runs the
// message loop until the window closes.
#include "app/MainForm.h"
#include "core/Win32Text.h"

#include <string>
#include <vector>

#include <commctrl.h>
#include <shellapi.h>
#include <windows.h>

namespace {

std::vector<std::string> argumentos()
{
    std::vector<std::string> args;
    int n = 0;
    if (LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &n)) {
        for (int i = 1; i < n; ++i)
            args.push_back(ponteva::win32::narrow(argv[i]));
        LocalFree(argv);
    }
    return args;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instancia, HINSTANCE, PWSTR, int)
{
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    ponteva::TMForm::registrar(instancia);
    ponteva::TMForm form(instancia, argumentos());
    form.mostrar();

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        // Tab, Enter and the buttons' access keys move and press as in a dialog.
        if (form.ventana() && IsDialogMessageW(form.ventana(), &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
