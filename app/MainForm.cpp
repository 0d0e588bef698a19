// TMForm: layout, modes, the two runs, closing and help.
#include "app/MainForm.h"

#include "app/Ajustes.h"
#include "app/Ayuda.h"
#include "app/Draw3D.h"
#include "app/Mensajes.h"
#include "app/Procesos.h"
#include "app/Recursos.h"
#include "core/Error.h"
#include "core/SystemRegional.h"
#include "core/Win32Text.h"
#include "core/WorkDir.h"

#include <new>

#include <commdlg.h>

namespace ponteva {

namespace {

enum IdControl {
    kDraw3D1 = 101,
    kDraw3D2,
    kDraw3D3,
    kLabel1 = 111,
    kLabel3,
    kLabel4,
    kBClose = 121,
    kButton1,
    kBExportar,
    kBImportar,
};

constexpr int kAnchoCliente = 632;
constexpr int kAltoCliente = 266;
constexpr int kIzquierda = 194;
constexpr int kArriba = 167;
constexpr DWORD kEstilo = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kEstiloExt = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

constexpr Degradado kColoresInferior{
    RGB(0xC2, 0xCD, 0xFE), RGB(0xCF, 0xF2, 0xFE), RGB(0xCC, 0xD8, 0xE6), RGB(0xCC, 0xD8, 0xE6)};
constexpr Degradado kColoresDirecciones{
    RGB(0xF9, 0xD3, 0x7D), RGB(0xFF, 0xFF, 0xFF), RGB(0xFF, 0xEE, 0xDD), RGB(0x00, 0xFF, 0x00)};

struct Panel {
    int id;
    int x, y, ancho, alto;
    const Degradado& colores;
};

// Later panels lie above earlier ones where they meet.
const Panel kPaneles[] = {
    {kDraw3D1, 0, 168, 633, 97, kColoresInferior},
    {kDraw3D2, 0, 0, 315, 169, kColoresDirecciones},
    {kDraw3D3, 316, 0, 317, 169, kColoresDirecciones},
};

enum class Fuente { Ventana, Negrita, Titulos };

struct Etiqueta {
    int id, panel;
    const wchar_t* texto;
    int x, y, ancho, alto;
    Fuente fuente;
    COLORREF color;
};

const Etiqueta kEtiquetas[] = {
    {kLabel1, kDraw3D1, L"Ponteva para QX7 V-1.0", 8, 72, 225, 13, Fuente::Negrita, RGB(0xFF, 0, 0)},
    {kLabel3, kDraw3D2, L"Transformar datos desde Zedra hacia Veltrix ", 24, 24, 265, 57, Fuente::Titulos,
        RGB(0, 0, 0)},
    {kLabel4, kDraw3D3, L"Transformar datos desde Veltrix hacia Zedra", 8, 24, 305, 57, Fuente::Titulos, RGB(0, 0, 0)},
};

enum class Glifo { Ninguno, Ok, Salir };

struct Boton {
    int id, panel;
    const wchar_t* texto;
    int x, y, ancho, alto;
    DWORD estilo;
    Glifo glifo;
};

const Boton kBotones[] = {
    {kBClose, kDraw3D1, L"&Salir", 256, 32, 89, 25, BS_PUSHBUTTON, Glifo::Salir},
    {kButton1, kDraw3D1, L"F1 Ayuda", 48, 40, 75, 25, BS_PUSHBUTTON, Glifo::Ninguno},
    {kBExportar, kDraw3D2, L"Aceptar", 96, 120, 89, 25, BS_DEFPUSHBUTTON, Glifo::Ok},
    {kBImportar, kDraw3D3, L"Aceptar", 96, 120, 89, 25, BS_DEFPUSHBUTTON, Glifo::Ok},
};

HFONT crearFuente(int alto, int peso, const wchar_t* nombre)
{
    // The font mapper stands a substitute in for a face the system lacks.
    return CreateFontW(-alto, 0, 0, 0, peso, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
        CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, nombre);
}

// The whole screen shows the hourglass while a run works: the window takes the mouse,
// and no message is handled until the run ends.
class CursorOcupado {
public:
    explicit CursorOcupado(HWND ventana)
    {
        SetCapture(ventana);
        m_antes = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    }
    ~CursorOcupado()
    {
        ReleaseCapture();
        SetCursor(m_antes ? m_antes : LoadCursorW(nullptr, IDC_ARROW));
    }
    CursorOcupado(const CursorOcupado&) = delete;
    CursorOcupado& operator=(const CursorOcupado&) = delete;

private:
    HCURSOR m_antes = nullptr;
};

} // namespace

void TMForm::registrar(HINSTANCE instancia)
{
    registrarDraw3D(instancia);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = procVentana;
    wc.hInstance = instancia;
    wc.hIcon = static_cast<HICON>(LoadImageW(instancia, MAKEINTRESOURCEW(IDI_PONTEVA), IMAGE_ICON,
        GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
    wc.hIconSm = static_cast<HICON>(LoadImageW(instancia, MAKEINTRESOURCEW(IDI_PONTEVA), IMAGE_ICON,
        GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClaseVentana;
    RegisterClassExW(&wc);
}

TMForm::TMForm(HINSTANCE instancia, const std::vector<std::string>& args)
    : m_instancia(instancia)
{
    RECT marco{0, 0, kAnchoCliente, kAltoCliente};
    AdjustWindowRectEx(&marco, kEstilo, FALSE, kEstiloExt);
    m_ventana = CreateWindowExW(kEstiloExt, kClaseVentana, L"Exportar e importar datos entre Veltrix y Zedra", kEstilo,
        kIzquierda, kArriba, marco.right - marco.left, marco.bottom - marco.top, nullptr, nullptr, instancia, this);
    crearControles();
    FormCreate(args);
}

TMForm::~TMForm()
{
    if (m_ventana)
        DestroyWindow(m_ventana);
    for (HGDIOBJ o :
        {static_cast<HGDIOBJ>(m_fuente), static_cast<HGDIOBJ>(m_fuenteNegrita), static_cast<HGDIOBJ>(m_fuenteTitulos)})
        if (o)
            DeleteObject(o);
    for (HICON i : {m_glifoOk, m_glifoSalir})
        if (i)
            DestroyIcon(i);
}

void TMForm::crearControles()
{
    m_fuente = crearFuente(11, FW_NORMAL, L"MS Sans Serif");
    m_fuenteNegrita = crearFuente(11, FW_BOLD, L"MS Sans Serif");
    m_fuenteTitulos = crearFuente(16, FW_BOLD, L"Arial");
    m_glifoOk = static_cast<HICON>(LoadImageW(m_instancia, MAKEINTRESOURCEW(IDI_OK), IMAGE_ICON, 16, 16, 0));
    m_glifoSalir = static_cast<HICON>(LoadImageW(m_instancia, MAKEINTRESOURCEW(IDI_SALIR), IMAGE_ICON, 16, 16, 0));
    SendMessageW(m_ventana, WM_SETFONT, reinterpret_cast<WPARAM>(m_fuente), FALSE);

    for (const Panel& p : kPaneles) {
        HWND panel = crearDraw3D(m_ventana, p.id, p.x, p.y, p.ancho, p.alto, p.colores);
        SetWindowPos(panel, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        SetWindowContextHelpId(panel, kContextoAyuda);
    }
    for (const Etiqueta& e : kEtiquetas) {
        const HFONT fuente = e.fuente == Fuente::Titulos ? m_fuenteTitulos
            : e.fuente == Fuente::Negrita                ? m_fuenteNegrita
                                                         : m_fuente;
        crearEtiqueta(control(e.panel), e.id, e.texto, e.x, e.y, e.ancho, e.alto, fuente, e.color);
    }
    for (const Boton& b : kBotones) {
        HWND boton
            = CreateWindowExW(0, L"BUTTON", b.texto, WS_CHILD | WS_VISIBLE | WS_TABSTOP | b.estilo, b.x, b.y, b.ancho,
                b.alto, control(b.panel), reinterpret_cast<HMENU>(static_cast<INT_PTR>(b.id)), m_instancia, nullptr);
        SendMessageW(boton, WM_SETFONT, reinterpret_cast<WPARAM>(m_fuente), FALSE);
        SetWindowContextHelpId(boton, kContextoAyuda);
        const HICON glifo = b.glifo == Glifo::Ok ? m_glifoOk : b.glifo == Glifo::Salir ? m_glifoSalir : nullptr;
        if (glifo)
            SendMessageW(boton, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(glifo));
    }
    SetWindowContextHelpId(m_ventana, kContextoAyuda);
}

HWND TMForm::control(int id) const
{
    for (const Panel& p : kPaneles) {
        HWND panel = GetDlgItem(m_ventana, p.id);
        if (p.id == id)
            return panel;
        if (HWND hijo = GetDlgItem(panel, id))
            return hijo;
    }
    return nullptr;
}

void TMForm::FormCreate(const std::vector<std::string>& args)
{
    const Arranque arranque = leerArranque(args);
    if (arranque.aviso) {
        mensajeError(nullptr, *arranque.aviso);
    } else if (arranque.embebido) {
        const HWND padre = reinterpret_cast<HWND>(static_cast<UINT_PTR>(arranque.ventana));
        if (IsWindow(padre))
            incrustar(padre, arranque.direccion);
        else
            mensajeError(nullptr, avisoVentanaInexistente(args[1]));
    }
    // Each export run makes its own subject code list, so any number of runs may follow.
}

void TMForm::incrustar(HWND padre, Direccion direccion)
{
    RECT exterior;
    GetWindowRect(m_ventana, &exterior);
    // A child without frame or caption, as large as the window was with them.
    LONG_PTR estilo = GetWindowLongPtrW(m_ventana, GWL_STYLE);
    estilo
        &= ~static_cast<LONG_PTR>(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX);
    SetWindowLongPtrW(m_ventana, GWL_STYLE, estilo | WS_CHILD);
    LONG_PTR ext = GetWindowLongPtrW(m_ventana, GWL_EXSTYLE);
    ext &= ~static_cast<LONG_PTR>(
        WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE | WS_EX_STATICEDGE | WS_EX_APPWINDOW);
    SetWindowLongPtrW(m_ventana, GWL_EXSTYLE, ext);
    SetParent(m_ventana, padre);
    SetWindowPos(m_ventana, nullptr, 0, 0, exterior.right - exterior.left, exterior.bottom - exterior.top,
        SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    m_finalizacion = Finalizacion(true);

    if (direccion == Direccion::Ambas)
        return;
    const HWND visible = control(direccion == Direccion::Exportar ? kDraw3D2 : kDraw3D3);
    const HWND oculto = control(direccion == Direccion::Exportar ? kDraw3D3 : kDraw3D2);
    ShowWindow(oculto, SW_HIDE);
    RECT cliente;
    GetClientRect(m_ventana, &cliente);
    SetWindowPos(visible, HWND_TOP, 0, 0, cliente.right, cliente.bottom, SWP_NOACTIVATE);
}

void TMForm::mostrar()
{
    ShowWindow(m_ventana, SW_SHOW);
    UpdateWindow(m_ventana);
}

bool TMForm::FormClose()
{
    if (!m_finalizacion.escribeAlCerrar())
        return true;
    try {
        escribirFinalizacion(rutaAjustes(), m_finalizacion.valor());
        return true;
    } catch (const Error& e) {
        mensajeError(m_ventana, e.what());
        return false;
    }
}

void TMForm::cerrar()
{
    PostMessageW(m_ventana, WM_CLOSE, 0, 0);
}

void TMForm::OpenDialogXML()
{
    std::vector<wchar_t> archivo(32768, L'\0');
    m_documento.copy(archivo.data(), archivo.size() - 1);
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = m_ventana;
    ofn.lpstrFilter = L"*.xml\0*.xml\0";
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = archivo.data();
    ofn.nMaxFile = static_cast<DWORD>(archivo.size());
    ofn.lpstrTitle = L"Archivo XML";
    ofn.lpstrDefExt = L"xml";
    // No OFN_FILEMUSTEXIST: the run tells a missing file with its own message.
    ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_NOCHANGEDIR;
    if (GetOpenFileNameW(&ofn))
        m_documento = archivo.data();
}

// Runs one conversion: its summary under "Proceso finalizado", a missing input as a plain
// message, any other failure as an error; the cursor comes back on every path.
template <class Run> void TMForm::ejecutar(Run run)
{
    std::string resumen;
    try {
        CursorOcupado cursor(m_ventana);
        resumen = run();
    } catch (const MissingInputError& e) {
        const bool cierra = m_finalizacion.anotar(Desenlace::FaltaEntrada);
        mensaje(m_ventana, e.what());
        if (cierra)
            cerrar();
        return;
    } catch (const Error& e) {
        m_finalizacion.anotar(Desenlace::Error);
        mensajeError(m_ventana, e.what());
        return;
    } catch (const std::bad_alloc&) {
        m_finalizacion.anotar(Desenlace::Error);
        mensajeError(m_ventana, "No hay memoria suficiente para terminar el proceso.");
        return;
    } catch (const std::exception& e) {
        m_finalizacion.anotar(Desenlace::Error);
        mensajeError(m_ventana, std::string("Error inesperado: ") + e.what());
        return;
    }
    const bool cierra = m_finalizacion.anotar(Desenlace::Terminado);
    mensaje(m_ventana, "Proceso finalizado\n\n" + resumen);
    if (cierra)
        cerrar();
}

void TMForm::BExportarClick()
{
    OpenDialogXML();
    ejecutar([this] { return procesoExportacion(m_documento, defaultWorkingDirectory(), systemRegionalSettings()); });
}

void TMForm::BImportarClick()
{
    mensaje(m_ventana, "Deberá Abrir el fichero XML de Zedra,\r\ndesde el cual realizó la Importación a Veltrix");
    OpenDialogXML();
    ejecutar([this] { return procesoRetorno(m_documento, defaultWorkingDirectory(), systemRegionalSettings()); });
}

void TMForm::Button1Click()
{
    ayudaIndice(m_ventana);
}

LRESULT CALLBACK TMForm::procVentana(HWND ventana, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_NCCREATE) {
        auto* form = static_cast<TMForm*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        form->m_ventana = ventana;
        SetWindowLongPtrW(ventana, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    }
    if (auto* form = reinterpret_cast<TMForm*>(GetWindowLongPtrW(ventana, GWLP_USERDATA)))
        return form->alMensaje(msg, wParam, lParam);
    return DefWindowProcW(ventana, msg, wParam, lParam);
}

LRESULT TMForm::alMensaje(UINT msg, WPARAM wParam, LPARAM lParam)
{
    const HWND ventana = m_ventana;
    switch (msg) {
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED) {
            switch (LOWORD(wParam)) {
            case kBExportar: BExportarClick(); return 0;
            case kBImportar: BImportarClick(); return 0;
            case kButton1: Button1Click(); return 0;
            case kBClose: cerrar(); return 0;
            }
        }
        break;
    case WM_HELP: ayudaContexto(m_ventana, kContextoAyuda); return TRUE;
    case WM_CLOSE:
        if (FormClose())
            DestroyWindow(m_ventana);
        return 0;
    case WM_DESTROY:
        cerrarAyuda();
        PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY:
        SetWindowLongPtrW(m_ventana, GWLP_USERDATA, 0);
        m_ventana = nullptr;
        break;
    }
    return DefWindowProcW(ventana, msg, wParam, lParam);
}

} // namespace ponteva
