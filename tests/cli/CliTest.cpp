// ponteva-cli as a script runs it: exit codes, messages, the working directory, the locale.
// Built a second time with PONTEVA_CLI_EXE, the same cases drive ponteva-cli.exe under Wine
// in the Wine session of the Windows suite: both builds answer alike.
#include "core/PathText.h"
#include "tests/support/Process.h"
#include "tests/support/Rows.h"
#include "tests/support/Soluc.h"
#include "tests/support/TempDir.h"

#include "text/Ansi.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace ponteva;
using namespace ponteva::test;

namespace {

const char* const kDocument = R"(<?xml version="1.0" encoding="UTF-8"?>
<centro codigo_interno="1" nombre="IES Prueba" curso="2026/2027" version="1.0">
<materias>
  <dmaterias abrev="MAT" nombre="Matemáticas" codigo_actividad="DOC" codigo="M1"/>
  <dmaterias abrev="GUARDIA" nombre="Guardia" codigo_actividad="GUARDIA" codigo="M2"/>
</materias>
<profesores><profesor abrev="ICO" nombre="Irene" apellido1="Casals" apellido2="Ordi" codigo="PROFESOR-0001"/></profesores>
<grupos><dgrupo nombre="1º ESO A" codigo_nivel="ESO" turno="M" curso="1" codigo="G1"/></grupos>
<asignaturas>
  <dasignatura cgrupo="G1" casig="M1" cprofe="PROFESOR-0001" nhoras="2,5"/>
  <dasignatura cgrupo="G9" casig="M1" cprofe="X" nhoras="1"/>
</asignaturas>
</centro>
)";

class Cli : public ::testing::Test {
protected:
    Cli()
    {
        std::filesystem::create_directories(workDir());
        writeFile(document(), kDocument);
    }
    std::filesystem::path document() const { return m_tmp / "centro.xml"; }
    std::filesystem::path workDir() const { return m_tmp / "wine" / "drive_c" / "VTEMP"; }
#ifdef PONTEVA_CLI_EXE
    // Where the tool works when given no --dir: C:\VTEMP, in the Wine session's own prefix.
    std::filesystem::path defaultDir() const
    {
        const char* prefix = std::getenv("WINEPREFIX");
        return std::filesystem::path(prefix ? prefix : "") / "drive_c" / "VTEMP";
    }
    std::string defaultDirText() const
    {
        return "C:\\VTEMP";
    }

    // Runs the Windows tool under Wine, which takes the regional settings from LANG.
    Outcome run(std::vector<std::string> args, const std::string& locale = "es_ES.UTF-8")
    {
        args.insert(args.begin(), PONTEVA_CLI_EXE);
        return runProgram("/usr/bin/wine", args,
            {{"LANG", locale}, {"LC_ALL", locale},
                { "LC_NUMERIC",
                    std::nullopt }});
    }
#else
    // Where the tool works when given no --dir: drive_c/VTEMP inside the Wine prefix that
    // the test points it to.
    std::filesystem::path defaultDir() const
    {
        return workDir();
    }
    std::string defaultDirText() const
    {
        return pathText(defaultDir());
    }

    // Runs the tool under the given locale, with the Wine prefix in the test's folder.
    Outcome run(const std::vector<std::string>& args, const std::string& locale = "es_ES.UTF-8")
    {
        return runProgram(PONTEVA_CLI, args,
            {{"LANG", locale}, {"LC_ALL", locale}, {"LC_NUMERIC", std::nullopt},
                {"WINEPREFIX", pathText(m_tmp / "wine")}});
    }
#endif
    std::string doc() const
    {
        return pathText(document());
    }
    std::string dir() const
    {
        return pathText(workDir());
    }

    TempDir m_tmp;
};

TEST_F(Cli, ArgumentsAndHelp)
{
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* where; // "out" or "err"
        std::string text;
    };
    const Case cases[] = {
        {{"--help"}, 0, "out", "Uso: ponteva-cli exportar DOCUMENTO.xml"},
        {{"-h"}, 0, "out", defaultDirText()},
        {{}, 1, "err", "Falta la orden"},
        {{"borrar", "x.xml"}, 1, "err", "Orden desconocida: borrar"},
        {{"exportar"}, 1, "err", "Falta el documento XML"},
        {{"exportar", "a.xml", "b.xml"}, 1, "err", "Sobran argumentos"},
        {{"exportar", "a.xml", "--dir"}, 1, "err", "Falta el directorio"},
        // Accents in, accents out: UTF-16 arguments on Windows, UTF-8 text on both.
        {{"exportar", "a.xml", "--rápido"}, 1, "err", "Opción desconocida: --rápido"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.empty() ? std::string() : c.args[0] + " " + (c.args.size() > 1 ? c.args.back() : ""));
        const Outcome r = run(c.args);
        EXPECT_EQ(r.status, c.status);
        const std::string& text = std::string(c.where) == "out" ? r.out : r.err;
        EXPECT_NE(text.find(c.text), std::string::npos) << text;
    }
}

TEST_F(Cli, ExportSummary)
{
    std::filesystem::create_directories(defaultDir());
    const Outcome r = run({"exportar", doc()});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* line : {"ASIGNOMT.DBF    2 filas", "PROFT.DBF       1 fila ", "ASIGT.DBF       1 fila ",
             "1 materia: la abreviatura es igual al código de actividad", "1 asignatura: el grupo no está en GRUPOST",
             "Aviso: el identificador 'PROFESOR-0001' no cabe en el campo IDPROF de PROFT", "Proceso finalizado\n"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
    // The default working directory; the hours "2,5" read with the decimal comma.
    EXPECT_EQ(readRows(defaultDir(), "ASIGT").at(0).at("SESIONES"), "111½");
}

TEST_F(Cli, RefusalsAndExitCodes)
{
    writeFile(m_tmp / "roto.xml", "<centro><materias></centro>");
    const std::string missing = pathText(m_tmp / "no.xml");
    struct Case {
        std::vector<std::string> args;
        std::string locale;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {{"exportar", missing, "--dir", dir()}, "es_ES.UTF-8", 2, "No existe archivo\n"},
        {{"exportar", doc(), "--dir", pathText(m_tmp / "no")}, "es_ES.UTF-8", 1, "No existe el directorio de trabajo"},
        {{"exportar", pathText(m_tmp / "roto.xml"), "--dir", dir()}, "es_ES.UTF-8", 1, "(línea 1)"},
        // Under a locale whose decimal separator is the point, "2,5" is no number.
        {{"exportar", doc(), "--dir", dir()}, "C", 1, "'2,5' no es un valor punto flotante válido"},
        {{"importar", doc(), "--dir", dir()}, "es_ES.UTF-8", 2, "No existe archivo XML o Solución.\n"},
        {{"importar", missing, "--dir", dir()}, "es_ES.UTF-8", 2, "No existe archivo XML o Solución."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1] + " " + c.locale);
        const Outcome r = run(c.args, c.locale);
        EXPECT_EQ(r.status, c.status);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(r.out.find("Proceso finalizado"), std::string::npos);
    }
}

TEST_F(Cli, ReturnSummary)
{
    ASSERT_EQ(run({"exportar", doc(), "--dir", dir()}).status, 0);
    writeSoluc(workDir(),
        {{"1", "1", "", "M1ESOA", "MAT", "", "", ""}, {"0", "2", "", "M1ESOA", "MAT", "", "", ""},
            {"2", "1", "", "M1ESOA", "ZZZ", "", "", ""}, {"3", "2", "", "M1ESOA", "MAT", "", "", ""}});
    const Outcome r = run({"importar", doc(), "--dir", dir()});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string result = pathText(m_tmp / "ResultadoVeltrixcentro.xml");
    for (const std::string& line :
        {"Documento escrito: " + result, std::string("2 sesiones del horario"), std::string("1 registro: día u hora 0"),
            std::string("1 registro: la materia no está en ASIGNOMT"), std::string("Proceso finalizado\n")})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
    EXPECT_TRUE(std::filesystem::exists(pathFromText(result)));
}

// A document in the Windows code page, in a folder with an accent and a blank: exported,
// returned, and the result saved beside it in the same code page.
TEST_F(Cli, AccentedFolderAndWindows1252Document)
{
    const std::filesystem::path folder = m_tmp.path() / pathFromText("Año 2026");
    const std::filesystem::path vtemp = folder / "VTEMP";
    std::filesystem::create_directories(vtemp);
    const std::filesystem::path document = folder / pathFromText("centro escolar.xml");
    std::string text = kDocument;
    text.replace(text.find("UTF-8"), 5, "windows-1252");
    text.replace(text.find("IES Prueba"), 10, "IES Señera");
    writeFile(document, utf8ToAnsi(text));

    Outcome r = run({"exportar", pathText(document), "--dir", pathText(vtemp)});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Tablas escritas en " + pathText(vtemp)), std::string::npos) << r.out;
    EXPECT_EQ(readRows(vtemp, "ASIGNOMT").at(0).at("NOMBRE"), "Matemáticas");

    writeSoluc(vtemp, {{"1", "1", "", "M1ESOA", "MAT", "", "", ""}});
    r = run({"importar", pathText(document), "--dir", pathText(vtemp)});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::filesystem::path result = folder / pathFromText("ResultadoVeltrixcentro escolar.xml");
    EXPECT_NE(r.out.find("Documento escrito: " + pathText(result)), std::string::npos) << r.out;
    const std::string saved = readFile(result);
    EXPECT_EQ(saved.rfind("<?xml version=\"1.0\" encoding=\"windows-1252\"?>", 0), 0u) << saved;
    EXPECT_NE(saved.find(utf8ToAnsi("nombre=\"IES Señera\"")), std::string::npos) << saved;
}

// A document in an encoding the system cannot read is refused, naming the encoding.
TEST_F(Cli, UnknownEncodingIsNamed)
{
    std::string text = kDocument;
    text.replace(text.find("UTF-8"), 5, "x-ponteva-desconocida");
    writeFile(document(), text);
    const Outcome r = run({"exportar", doc(), "--dir", dir()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("El documento está en la codificación 'x-ponteva-desconocida', que este programa no sabe "
                         "leer; guárdelo en UTF-8 o en Windows-1252 (línea 1)."),
        std::string::npos)
        << r.err;
}

} // namespace
