// The gradient panel's window class.
#include "app/Draw3D.h"

namespace ponteva {

namespace {

int mezcla(int a, int b, int paso, int pasos)
{
    return pasos <= 0 ? a : a + (b - a) * paso / pasos;
}

COLORREF entre(COLORREF a, COLORREF b, int paso, int pasos)
{
    return RGB(mezcla(GetRValue(a), GetRValue(b), paso, pasos), mezcla(GetGValue(a), GetGValue(b), paso, pasos),
        mezcla(GetBValue(a), GetBValue(b), paso, pasos));
}

// Start to middle over the top half, middle to end over the bottom half.
void pintar(HDC dc, const RECT& area, const Degradado& c)
{
    HBRUSH base = CreateSolidBrush(c.base);
    FillRect(dc, &area, base);
    DeleteObject(base);
    const int alto = area.bottom - area.top;
    const int mitad = alto / 2;
    for (int y = 0; y < alto; ++y) {
        const COLORREF color
            = y < mitad ? entre(c.inicio, c.medio, y, mitad) : entre(c.medio, c.fin, y - mitad, alto - 1 - mitad);
        const RECT linea{area.left, area.top + y, area.right, area.top + y + 1};
        SetDCBrushColor(dc, color);
        FillRect(dc, &linea, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    }
}

const Degradado& colores(HWND panel)
{
    return *reinterpret_cast<const Degradado*>(GetWindowLongPtrW(panel, GWLP_USERDATA));
}

// Paints `rect` of `ventana` (panel client coordinates `origen`) into an off-screen buffer
// and copies it to `destino` at once.
template <class Dibujo> void porBuffer(HDC destino, const RECT& rect, Dibujo dibujo)
{
    const int ancho = rect.right - rect.left;
    const int alto = rect.bottom - rect.top;
    if (ancho <= 0 || alto <= 0)
        return;
    HDC mem = CreateCompatibleDC(destino);
    HBITMAP bmp = CreateCompatibleBitmap(destino, ancho, alto);
    HGDIOBJ antes = SelectObject(mem, bmp);
    dibujo(mem);
    BitBlt(destino, rect.left, rect.top, ancho, alto, mem, 0, 0, SRCCOPY);
    SelectObject(mem, antes);
    DeleteObject(bmp);
    DeleteDC(mem);
}

void dibujarEtiqueta(HWND panel, const DRAWITEMSTRUCT& item)
{
    RECT enPanel = item.rcItem;
    MapWindowPoints(item.hwndItem, panel, reinterpret_cast<POINT*>(&enPanel), 2);
    RECT cliente;
    GetClientRect(panel, &cliente);
    porBuffer(item.hDC, item.rcItem, [&](HDC mem) {
        // The panel's gradient behind the label, shifted to the label's place.
        SetViewportOrgEx(mem, -enPanel.left, -enPanel.top, nullptr);
        pintar(mem, cliente, colores(panel));
        SetViewportOrgEx(mem, 0, 0, nullptr);
        wchar_t texto[256] = {};
        GetWindowTextW(item.hwndItem, texto, 256);
        HGDIOBJ fuente = SelectObject(mem, reinterpret_cast<HFONT>(SendMessageW(item.hwndItem, WM_GETFONT, 0, 0)));
        SetBkMode(mem, TRANSPARENT);
        SetTextColor(mem, static_cast<COLORREF>(GetWindowLongPtrW(item.hwndItem, GWLP_USERDATA)));
        RECT r{0, 0, item.rcItem.right - item.rcItem.left, item.rcItem.bottom - item.rcItem.top};
        DrawTextW(mem, texto, -1, &r, DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
        SelectObject(mem, fuente);
    });
}

LRESULT CALLBACK procDraw3D(HWND ventana, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_NCCREATE:
        SetWindowLongPtrW(ventana, GWLP_USERDATA,
            reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
        break;
    case WM_ERASEBKGND: return 1; // all painting happens in WM_PAINT, through the buffer
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(ventana, &ps);
        RECT cliente;
        GetClientRect(ventana, &cliente);
        porBuffer(dc, cliente, [&](HDC mem) { pintar(mem, cliente, colores(ventana)); });
        EndPaint(ventana, &ps);
        return 0;
    }
    case WM_PRINTCLIENT: {
        // Themed buttons ask for the background behind their rounded corners.
        RECT cliente;
        GetClientRect(ventana, &cliente);
        pintar(reinterpret_cast<HDC>(wParam), cliente, colores(ventana));
        return 0;
    }
    case WM_SIZE: InvalidateRect(ventana, nullptr, FALSE); return 0;
    case WM_DRAWITEM: dibujarEtiqueta(ventana, *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)); return TRUE;
    case WM_COMMAND:
        // The buttons' clicks belong to the window that holds the panel.
        return SendMessageW(GetParent(ventana), msg, wParam, lParam);
    }
    return DefWindowProcW(ventana, msg, wParam, lParam);
}

} // namespace

void registrarDraw3D(HINSTANCE instancia)
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = procDraw3D;
    wc.hInstance = instancia;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kClaseDraw3D;
    RegisterClassExW(&wc);
}

HWND crearDraw3D(HWND padre, int id, int x, int y, int ancho, int alto, const Degradado& colores)
{
    return CreateWindowExW(WS_EX_CONTROLPARENT, kClaseDraw3D, L"",
        WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, x, y, ancho, alto, padre,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
        reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(padre, GWLP_HINSTANCE)), const_cast<Degradado*>(&colores));
}

HWND crearEtiqueta(
    HWND panel, int id, const wchar_t* texto, int x, int y, int ancho, int alto, HFONT fuente, COLORREF color)
{
    HWND etiqueta = CreateWindowExW(0, L"STATIC", texto, WS_CHILD | WS_VISIBLE | SS_OWNERDRAW, x, y, ancho, alto, panel,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
        reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(panel, GWLP_HINSTANCE)), nullptr);
    SendMessageW(etiqueta, WM_SETFONT, reinterpret_cast<WPARAM>(fuente), FALSE);
    SetWindowLongPtrW(etiqueta, GWLP_USERDATA, static_cast<LONG_PTR>(color));
    return etiqueta;
}

} // namespace ponteva
