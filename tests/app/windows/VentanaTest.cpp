// Ponteva.exe driven as a person would: stand-alone and embedded in a stand-in timetabler,
// read back through Win32 calls. Runs under Wine with a private prefix, whose C:\VTEMP
// receives the tables.
#include "tests/app/windows/Escritorio.h"
#include "tests/support/Soluc.h"

#include <gtest/gtest.h>

#include <shellapi.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

using namespace ponteva;
using namespace ponteva::test;
namespace fs = std::filesystem;

namespace {

// The build passes its own paths; under Wine a Unix path is reached through drive Z:.
std::wstring rutaDelSistema(const char* ruta)
{
    std::wstring w(ruta, ruta + std::strlen(ruta));
    if (!w.empty() && w[0] == L'/') {
        for (wchar_t& c : w)
            if (c == L'/')
                c = L'\\';
        w = L"Z:" + w;
    }
    return w;
}

const char* const kDocumento = R"(<?xml version="1.0" encoding="UTF-8"?>
<centro codigo_interno="1" nombre="IES Prueba" curso="2026/2027" version="1.0">
<materias><dmaterias abrev="MAT" nombre="Matemáticas" codigo_actividad="DOC" codigo="M1"/></materias>
<profesores><profesor abrev="ICO" nombre="Irene" apellido1="Casals" apellido2="Ordi" codigo="P1"/></profesores>
<grupos><dgrupo nombre="1º ESO A" codigo_nivel="ESO" turno="M" curso="1" codigo="G1"/></grupos>
<asignaturas><dasignatura cgrupo="G1" casig="M1" cprofe="P1" nhoras="2"/></asignaturas>
</centro>
)";

const wchar_t* const kTitulo = L"Exportar e importar datos entre Veltrix y Zedra";
const fs::path kVtemp = L"C:\\VTEMP";
const char* const kTablas[] = {"ASIGNOMT.DBF", "PROFT.DBF", "AULAT.DBF", "GRUPOST.DBF", "DIASHORAST.DBF", "ASIGT.DBF"};

std::string leer(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string comoTexto(const RECT& r)
{
    return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right - r.left) + "x"
        + std::to_string(r.bottom - r.top);
}

std::string comoTexto(int x, int y, int ancho, int alto)
{
    return comoTexto(RECT{x, y, x + ancho, y + alto});
}

class Ventana : public ::testing::Test {
protected:
    Ventana()
    {
        static int serie = 0;
        wchar_t tmp[MAX_PATH];
        GetTempPathW(MAX_PATH, tmp);
        m_dir = fs::path(tmp)
            / (L"ponteva-ventana-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++serie));
        fs::remove_all(m_dir); // left by an earlier run that was stopped
        fs::create_directories(m_dir);
        // The settings file goes beside the program, so each test has its own copy.
        const fs::path original = rutaDelSistema(PONTEVA_EXE);
        for (const auto& e : fs::directory_iterator(original.parent_path()))
            if (e.path().extension() == L".dll")
                fs::copy_file(e.path(), m_dir / e.path().filename());
        fs::copy_file(original, programa());
        fs::create_directories(kVtemp);
        for (const char* t : kTablas)
            fs::remove(kVtemp / t);
        std::ofstream(documento(), std::ios::binary) << kDocumento;
    }
    ~Ventana() override
    {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }

    fs::path programa() const { return m_dir / L"Ponteva.exe"; }
    fs::path ini() const { return m_dir / L"Veltrix.ini"; }
    fs::path documento() const { return m_dir / L"centro.xml"; }

    // The value the timetabler reads, or nullopt without the key.
    std::optional<int> transformado() const
    {
        if (!fs::exists(ini()))
            return std::nullopt;
        const UINT sin = 12345;
        const UINT v = GetPrivateProfileIntW(L"Transformadores", L"Transformado", sin, ini().c_str());
        if (v == sin)
            return std::nullopt;
        return static_cast<int>(v);
    }

    // The window's stand-alone form, after any message its start shows.
    HWND esperarFormulario(const Proceso& p)
    {
        return esperarVentana([&] { return ventanaDe(p.id(), L"TMForm", kTitulo); });
    }

    // Waits for a message box of the process, checks its caption and single "Aceptar"
    // button, returns its text and dismisses it.
    std::wstring cerrarMensaje(DWORD proceso)
    {
        const HWND caja = esperarVentana([&] { return ventanaDe(proceso, L"#32770", L"Ponteva"); });
        if (!caja) {
            ADD_FAILURE() << "no message box";
            return {};
        }
        const auto botones = descendientes(caja, L"Button", nullptr);
        std::vector<HWND> visibles;
        for (HWND b : botones)
            if (IsWindowVisible(b))
                visibles.push_back(b);
        EXPECT_EQ(visibles.size(), 1u);
        if (!visibles.empty()) {
            EXPECT_EQ(utf8(texto(visibles.front())), "Aceptar");
        }
        const std::wstring t = textoDeCaja(caja);
        if (!visibles.empty())
            pulsar(visibles.front());
        EXPECT_TRUE(esperar([&] { return !IsWindow(caja); })) << "message box still open";
        return t;
    }

    void elegir(DWORD proceso, const std::wstring& ruta)
    {
        const HWND dialogo = esperarVentana([&] { return ventanaDe(proceso, L"#32770", L"Archivo XML"); });
        ASSERT_NE(dialogo, nullptr) << "no file dialog";
        elegirArchivo(dialogo, ruta);
    }

    // The controls, found the way a person finds them: by what they show.
    struct Controles {
        HWND label1, label3, label4, draw3d1, draw3d2, draw3d3, bclose, button1, bexportar, bimportar;
    };
    static Controles controles(HWND form)
    {
        Controles c{};
        c.label1 = descendiente(form, L"Static", L"Ponteva para QX7 V-1.0");
        c.label3 = descendiente(form, L"Static", L"Transformar datos desde Zedra hacia Veltrix ");
        c.label4 = descendiente(form, L"Static", L"Transformar datos desde Veltrix hacia Zedra");
        c.draw3d1 = GetParent(c.label1);
        c.draw3d2 = GetParent(c.label3);
        c.draw3d3 = GetParent(c.label4);
        c.bclose = descendiente(c.draw3d1, L"Button", L"&Salir");
        c.button1 = descendiente(c.draw3d1, L"Button", L"F1 Ayuda");
        c.bexportar = descendiente(c.draw3d2, L"Button", L"Aceptar");
        c.bimportar = descendiente(c.draw3d3, L"Button", L"Aceptar");
        return c;
    }

    fs::path m_dir;
};

TEST_F(Ventana, StandAloneLayout)
{
    Proceso p(programa(), L"");
    const HWND form = esperarFormulario(p);
    ASSERT_NE(form, nullptr);

    RECT r;
    GetWindowRect(form, &r);
    EXPECT_EQ(r.left, 194);
    EXPECT_EQ(r.top, 167);
    EXPECT_EQ(comoTexto(cliente(form)), comoTexto(0, 0, 632, 266));
    const LONG_PTR estilo = GetWindowLongPtrW(form, GWL_STYLE);
    EXPECT_EQ(estilo & WS_CAPTION, WS_CAPTION);
    EXPECT_TRUE(estilo & WS_SYSMENU);
    EXPECT_FALSE(estilo & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_CHILD));
    EXPECT_TRUE(GetWindowLongPtrW(form, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
    // An icon of its own: another process cannot read a window's icon under Wine, so it is
    // taken from the program's file as the shell does.
    EXPECT_GE(ExtractIconExW(programa().c_str(), -1, nullptr, nullptr, 0), 1u);

    const Controles c = controles(form);
    struct Esperado {
        const char* nombre;
        HWND ventana;
        HWND padre;
        const wchar_t* clase;
        int x, y, ancho, alto;
    };
    const Esperado esperados[] = {
        {"Draw3D1", c.draw3d1, form, L"TDraw3D", 0, 168, 633, 97},
        {"Label1", c.label1, c.draw3d1, L"Static", 8, 72, 225, 13},
        {"BClose", c.bclose, c.draw3d1, L"Button", 256, 32, 89, 25},
        {"Button1", c.button1, c.draw3d1, L"Button", 48, 40, 75, 25},
        {"Draw3D2", c.draw3d2, form, L"TDraw3D", 0, 0, 315, 169},
        {"Label3", c.label3, c.draw3d2, L"Static", 24, 24, 265, 57},
        {"BExportar", c.bexportar, c.draw3d2, L"Button", 96, 120, 89, 25},
        {"Draw3D3", c.draw3d3, form, L"TDraw3D", 316, 0, 317, 169},
        {"Label4", c.label4, c.draw3d3, L"Static", 8, 24, 305, 57},
        {"BImportar", c.bimportar, c.draw3d3, L"Button", 96, 120, 89, 25},
    };
    for (const auto& e : esperados) {
        ASSERT_NE(e.ventana, nullptr) << e.nombre;
        EXPECT_EQ(GetParent(e.ventana), e.padre) << e.nombre;
        EXPECT_EQ(clase(e.ventana), e.clase) << e.nombre;
        EXPECT_EQ(comoTexto(lugar(e.ventana)), comoTexto(e.x, e.y, e.ancho, e.alto)) << e.nombre;
        EXPECT_TRUE(IsWindowVisible(e.ventana)) << e.nombre;
    }
    for (HWND b : {c.bexportar, c.bimportar, c.bclose})
        EXPECT_NE(SendMessageW(b, BM_GETIMAGE, IMAGE_ICON, 0), LRESULT{0}) << "glyph of " << utf8(texto(b));

    pulsar(c.bclose);
    EXPECT_EQ(p.esperarFin(), 0u);
    EXPECT_FALSE(fs::exists(ini())) << "stand-alone writes no settings";
}

TEST_F(Ventana, ArgumentsThatLeaveItStandAlone)
{
    struct Case {
        const wchar_t* args;
        const char* aviso; // the message shown first, or nullptr
    };
    const Case cases[] = {
        {L"exportar", nullptr},
        {L"exportar 1A2B tercero", nullptr},
        {L"exportar 1G2B", "'$1G2B' no es un valor entero válido"},
        {L"importar 123456789", "'$123456789' no es un valor entero válido"},
        // A handle that names no window.
        {L"exportar 0", "No existe la ventana '$0'; Ponteva se abre como ventana independiente."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(utf8(c.args));
        Proceso p(programa(), c.args);
        if (c.aviso) {
            EXPECT_EQ(utf8(cerrarMensaje(p.id())), c.aviso);
        }
        const HWND form = esperarFormulario(p);
        ASSERT_NE(form, nullptr);
        RECT r;
        GetWindowRect(form, &r);
        EXPECT_EQ(r.left, 194);
        EXPECT_EQ(r.top, 167);
        EXPECT_EQ(GetParent(form), nullptr);
        const Controles ctl = controles(form);
        EXPECT_TRUE(IsWindowVisible(ctl.draw3d2) && IsWindowVisible(ctl.draw3d3));
        pulsar(ctl.bclose);
        EXPECT_EQ(p.esperarFin(), 0u);
        EXPECT_FALSE(fs::exists(ini()));
    }
}

TEST_F(Ventana, EmbeddedExportEndToEnd)
{
    Proceso host(rutaDelSistema(VELTRIX_SIMULADO), L"\"" + programa().wstring() + L"\" EXPORTAR");
    const HWND veltrix = esperarVentana([&] { return ventanaDe(host.id(), L"VeltrixSimulado"); });
    ASSERT_NE(veltrix, nullptr);
    const HWND form = esperarVentana([&] { return FindWindowExW(veltrix, nullptr, L"TMForm", nullptr); });
    ASSERT_NE(form, nullptr);
    DWORD ponteva = 0;
    GetWindowThreadProcessId(form, &ponteva);

    // A child at 0,0 of the host's client area, without frame, as large as the framed window.
    EXPECT_EQ(GetParent(form), veltrix);
    const LONG_PTR estilo = GetWindowLongPtrW(form, GWL_STYLE);
    EXPECT_TRUE(estilo & WS_CHILD);
    EXPECT_FALSE(estilo & (WS_CAPTION | WS_THICKFRAME | WS_SYSMENU));
    RECT marco{0, 0, 632, 266};
    AdjustWindowRectEx(&marco, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, FALSE, WS_EX_DLGMODALFRAME);
    EXPECT_EQ(comoTexto(lugar(form)), comoTexto(0, 0, marco.right - marco.left, marco.bottom - marco.top));
    EXPECT_EQ(comoTexto(cliente(form)), comoTexto(lugar(form)));

    // Only the export panel, over the whole client area.
    const Controles c = controles(form);
    EXPECT_TRUE(IsWindowVisible(c.draw3d2));
    EXPECT_FALSE(IsWindowVisible(c.draw3d3));
    EXPECT_EQ(comoTexto(lugar(c.draw3d2)), comoTexto(cliente(form)));
    EXPECT_EQ(GetWindow(form, GW_CHILD), c.draw3d2) << "the export panel lies on top";

    pulsar(c.bexportar);
    elegir(ponteva, documento().wstring());
    const std::string mensaje = utf8(cerrarMensaje(ponteva));
    EXPECT_EQ(mensaje.rfind("Proceso finalizado", 0), 0u) << mensaje;
    EXPECT_NE(mensaje.find("ASIGNOMT.DBF    2 filas"), std::string::npos) << mensaje;

    EXPECT_EQ(host.esperarFin(), 0u) << "the window closes after its run";
    EXPECT_EQ(transformado(), 1);
    for (const char* t : kTablas)
        EXPECT_TRUE(fs::exists(kVtemp / t)) << t;
}

TEST_F(Ventana, EmbeddedReturnWithoutInputWritesMinusOne)
{
    Proceso host(rutaDelSistema(VELTRIX_SIMULADO), L"\"" + programa().wstring() + L"\" importar");
    const HWND veltrix = esperarVentana([&] { return ventanaDe(host.id(), L"VeltrixSimulado"); });
    ASSERT_NE(veltrix, nullptr);
    const HWND form = esperarVentana([&] { return FindWindowExW(veltrix, nullptr, L"TMForm", nullptr); });
    ASSERT_NE(form, nullptr);
    DWORD ponteva = 0;
    GetWindowThreadProcessId(form, &ponteva);
    const Controles c = controles(form);
    EXPECT_FALSE(IsWindowVisible(c.draw3d2));
    EXPECT_TRUE(IsWindowVisible(c.draw3d3));
    EXPECT_EQ(comoTexto(lugar(c.draw3d3)), comoTexto(cliente(form)));

    pulsar(c.bimportar);
    EXPECT_EQ(utf8(cerrarMensaje(ponteva)),
        "Deberá Abrir el fichero XML de Zedra,\r\ndesde el cual realizó la Importación a Veltrix");
    elegir(ponteva, L""); // cancelled: no document yet
    EXPECT_EQ(utf8(cerrarMensaje(ponteva)), "No existe archivo XML o Solución.");
    EXPECT_EQ(host.esperarFin(), 0u);
    EXPECT_EQ(transformado(), -1);
}

TEST_F(Ventana, EmbeddedCloseWithoutRunWritesZeroAndKeepsTheRest)
{
    std::ofstream(ini(), std::ios::binary) << "; ajustes de Veltrix\r\n[General]\r\nIdioma=es\r\n"
                                              "[Transformadores]\r\nOtro=7\r\nTransformado=1\r\n";
    Proceso host(rutaDelSistema(VELTRIX_SIMULADO), L"\"" + programa().wstring() + L"\" otra");
    const HWND veltrix = esperarVentana([&] { return ventanaDe(host.id(), L"VeltrixSimulado"); });
    ASSERT_NE(veltrix, nullptr);
    const HWND form = esperarVentana([&] { return FindWindowExW(veltrix, nullptr, L"TMForm", nullptr); });
    ASSERT_NE(form, nullptr);
    // Any other direction: both panels as designed.
    const Controles c = controles(form);
    EXPECT_TRUE(IsWindowVisible(c.draw3d2) && IsWindowVisible(c.draw3d3));
    EXPECT_EQ(comoTexto(lugar(c.draw3d3)), comoTexto(316, 0, 317, 169));

    pulsar(c.bclose);
    EXPECT_EQ(host.esperarFin(), 0u);
    EXPECT_EQ(transformado(), 0);
    const std::string contenido = leer(ini());
    for (const char* resto : {"; ajustes de Veltrix", "[General]", "Idioma=es", "Otro=7"})
        EXPECT_NE(contenido.find(resto), std::string::npos) << resto << " in\n" << contenido;
}

TEST_F(Ventana, EmbeddedStaysOpenWhileTheSettingsCannotBeWritten)
{
    fs::create_directory(ini()); // a folder where the file should be
    Proceso host(rutaDelSistema(VELTRIX_SIMULADO), L"\"" + programa().wstring() + L"\" exportar");
    const HWND veltrix = esperarVentana([&] { return ventanaDe(host.id(), L"VeltrixSimulado"); });
    ASSERT_NE(veltrix, nullptr);
    const HWND form = esperarVentana([&] { return FindWindowExW(veltrix, nullptr, L"TMForm", nullptr); });
    ASSERT_NE(form, nullptr);
    DWORD ponteva = 0;
    GetWindowThreadProcessId(form, &ponteva);

    PostMessageW(form, WM_CLOSE, 0, 0);
    EXPECT_EQ(utf8(cerrarMensaje(ponteva)), "Unable to write to " + utf8(ini().wstring()));
    EXPECT_TRUE(IsWindow(form));
    EXPECT_EQ(host.esperarFin(std::chrono::milliseconds(500)), STILL_ACTIVE);

    fs::remove(ini());
    PostMessageW(form, WM_CLOSE, 0, 0);
    EXPECT_EQ(host.esperarFin(), 0u);
    EXPECT_EQ(transformado(), 0);
}

TEST_F(Ventana, StandAloneExportThenReturnOnTheSameDocument)
{
    Proceso p(programa(), L"");
    const HWND form = esperarFormulario(p);
    ASSERT_NE(form, nullptr);
    const Controles c = controles(form);

    pulsar(c.bexportar);
    elegir(p.id(), documento().wstring());
    EXPECT_EQ(utf8(cerrarMensaje(p.id())).rfind("Proceso finalizado", 0), 0u);
    // The timetabler's answer: one session of the exported subject, one with day 0.
    fs::remove(kVtemp / "SOLUC.DBF");
    writeSoluc(kVtemp, {{"1", "2", "1", "", "MAT", "MAT", "ICO", ""}, {"0", "1", "1", "", "MAT", "", "", ""}});

    // The dialog cancelled: the return run takes the document of the export run.
    pulsar(c.bimportar);
    cerrarMensaje(p.id());
    elegir(p.id(), L"");
    const std::string mensaje = utf8(cerrarMensaje(p.id()));
    const fs::path resultado = m_dir / L"ResultadoVeltrixcentro.xml";
    EXPECT_EQ(mensaje,
        "Proceso finalizado\n\nDocumento escrito: " + utf8(resultado.wstring())
            + "\n  1 sesión del horario en solucion_horario\nRegistros de SOLUC omitidos:\n  1 registro: día u hora "
              "0\n");
    const std::string xml = leer(resultado);
    EXPECT_NE(xml.find("casig=\"M1\""), std::string::npos) << xml;
    EXPECT_NE(xml.find("cprofe=\"P1\""), std::string::npos) << xml;
    EXPECT_TRUE(IsWindow(form));

    pulsar(c.bclose);
    EXPECT_EQ(p.esperarFin(), 0u);
    fs::remove(kVtemp / "SOLUC.DBF");
}

TEST_F(Ventana, ErrorsAndMissingInputKeepTheStandAloneWindowOpen)
{
    const fs::path roto = m_dir / L"roto.xml";
    std::ofstream(roto, std::ios::binary) << "<centro><materias>";
    Proceso p(programa(), L"");
    const HWND form = esperarFormulario(p);
    ASSERT_NE(form, nullptr);
    const Controles c = controles(form);

    pulsar(c.bexportar);
    elegir(p.id(), roto.wstring());
    const std::string error = utf8(cerrarMensaje(p.id()));
    EXPECT_EQ(error.find("Proceso finalizado"), std::string::npos) << error;
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(IsWindow(form));

    // A name that names no file; the dialog does not refuse it, the run does.
    pulsar(c.bexportar);
    elegir(p.id(), (m_dir / L"no-existe.xml").wstring());
    EXPECT_EQ(utf8(cerrarMensaje(p.id())), "No existe archivo");
    EXPECT_TRUE(IsWindow(form));

    // A further run in the same window, the dialog cancelled: the last path, which names no file.
    pulsar(c.bimportar);
    cerrarMensaje(p.id());
    elegir(p.id(), L"");
    EXPECT_EQ(utf8(cerrarMensaje(p.id())), "No existe archivo XML o Solución.");

    // Then a good export, and the window still stays.
    pulsar(c.bexportar);
    elegir(p.id(), documento().wstring());
    EXPECT_EQ(utf8(cerrarMensaje(p.id())).rfind("Proceso finalizado", 0), 0u);
    EXPECT_TRUE(IsWindow(form));

    // Help without Zedra.chm: nothing, and the window answers at once.
    pulsar(c.button1);
    DWORD_PTR r = 0;
    EXPECT_NE(SendMessageTimeoutW(form, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &r), LRESULT{0});

    pulsar(c.bclose);
    EXPECT_EQ(p.esperarFin(), 0u);
    EXPECT_FALSE(fs::exists(ini()));
}

} // namespace
