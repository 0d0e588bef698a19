/* pulsar.exe VENTANA BOTON: presses, as a click would, the button captioned BOTON inside
   the top-level window captioned VENTANA. Exit status 0 when pressed, 1 when either is
   not found. The help test uses it under Wine, where a window's controls are not windows
   of the X server and cannot be clicked from outside. */
#include <windows.h>

struct search {
    const wchar_t* caption;
    HWND found;
};

static BOOL CALLBACK visit(HWND child, LPARAM data)
{
    struct search* s = (struct search*)data;
    wchar_t text[256];
    if (GetWindowTextW(child, text, 256) > 0 && lstrcmpW(text, s->caption) == 0) {
        s->found = child;
        return FALSE;
    }
    return TRUE;
}

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3)
        return 2;
    HWND top = FindWindowW(NULL, argv[1]);
    if (!top)
        return 1;
    struct search s = {argv[2], NULL};
    EnumChildWindows(top, visit, (LPARAM)&s); /* goes through grandchildren too */
    if (!s.found)
        return 1;
    DWORD_PTR result;
    SendMessageTimeoutW(s.found, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 10000, &result);
    return 0;
}
