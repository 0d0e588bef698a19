// ponteva-cli as a script runs it: exit codes, messages, the working directory, the locale.
#include "tests/support/Rows.h"
#include "tests/support/Soluc.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

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

struct Outcome {
    int status = -1;
    std::string out, err;
};

class Cli : public ::testing::Test {
protected:
    Cli()
    {
        std::filesystem::create_directories(workDir());
        writeFile(document(), kDocument);
    }
    std::filesystem::path document() const { return m_tmp / "centro.xml"; }
    std::filesystem::path workDir() const { return m_tmp / "wine" / "drive_c" / "VTEMP"; }

    // Runs the tool with the given arguments under the given locale, with the Wine prefix
    // pointing into the test's folder.
    Outcome run(const std::string& args, const std::string& locale = "es_ES.UTF-8")
    {
        const std::string errFile = (m_tmp / "stderr.txt").string();
        Outcome r;
        r.status = runCommand("env -u LANG -u LC_NUMERIC LC_ALL=" + locale
                + " WINEPREFIX=" + shellQuote((m_tmp / "wine").string()) + " " + shellQuote(PONTEVA_CLI) + " " + args
                + " 2>" + shellQuote(errFile),
            r.out);
        r.err = readFile(errFile);
        return r;
    }
    std::string doc() const { return shellQuote(document().string()); }
    std::string dir() const { return "--dir " + shellQuote(workDir().string()); }

    TempDir m_tmp;
};

TEST_F(Cli, ArgumentsAndHelp)
{
    struct Case {
        std::string args;
        int status;
        const char* where; // "out" or "err"
        const char* text;
    };
    const Case cases[] = {
        {"--help", 0, "out", "Uso: ponteva-cli exportar DOCUMENTO.xml"},
        {"-h", 0, "out", "drive_c/VTEMP"},
        {"", 1, "err", "Falta la orden"},
        {"borrar x.xml", 1, "err", "Orden desconocida: borrar"},
        {"exportar", 1, "err", "Falta el documento XML"},
        {"exportar a.xml b.xml", 1, "err", "Sobran argumentos"},
        {"exportar a.xml --dir", 1, "err", "Falta el directorio"},
        {"exportar a.xml --rapido", 1, "err", "Opción desconocida: --rapido"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const Outcome r = run(c.args);
        EXPECT_EQ(r.status, c.status);
        const std::string& text = std::string(c.where) == "out" ? r.out : r.err;
        EXPECT_NE(text.find(c.text), std::string::npos) << text;
    }
}

TEST_F(Cli, ExportSummary)
{
    const Outcome r = run("exportar " + doc());
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* line : {"ASIGNOMT.DBF    2 filas", "PROFT.DBF       1 fila ", "ASIGT.DBF       1 fila ",
             "1 materia: la abreviatura es igual al código de actividad", "1 asignatura: el grupo no está en GRUPOST",
             "Aviso: el identificador 'PROFESOR-0001' no cabe en el campo IDPROF de PROFT", "Proceso finalizado\n"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
    // The default working directory is the Wine prefix's drive_c/VTEMP.
    EXPECT_EQ(readRows(workDir(), "ASIGT").at(0).at("SESIONES"), "111½");
}

TEST_F(Cli, RefusalsAndExitCodes)
{
    writeFile(m_tmp / "roto.xml", "<centro><materias></centro>");
    struct Case {
        std::string args;
        std::string locale;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {"exportar " + shellQuote((m_tmp / "no.xml").string()) + " " + dir(), "es_ES.UTF-8", 2, "No existe archivo\n"},
        {"exportar " + doc() + " --dir " + shellQuote((m_tmp / "no").string()), "es_ES.UTF-8", 1,
            "No existe el directorio de trabajo"},
        {"exportar " + shellQuote((m_tmp / "roto.xml").string()) + " " + dir(), "es_ES.UTF-8", 1, "(línea 1)"},
        // Under a locale whose decimal separator is the point, "2,5" is no number.
        {"exportar " + doc() + " " + dir(), "C", 1, "'2,5' no es un valor punto flotante válido"},
        {"importar " + doc() + " " + dir(), "es_ES.UTF-8", 2, "No existe archivo XML o Solución.\n"},
        {"importar " + shellQuote((m_tmp / "no.xml").string()) + " " + dir(), "es_ES.UTF-8", 2,
            "No existe archivo XML o Solución."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const Outcome r = run(c.args, c.locale);
        EXPECT_EQ(r.status, c.status);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(r.out.find("Proceso finalizado"), std::string::npos);
    }
}

TEST_F(Cli, ReturnSummary)
{
    ASSERT_EQ(run("exportar " + doc() + " " + dir()).status, 0);
    writeSoluc(workDir(),
        {{"1", "1", "", "M1ESOA", "MAT", "", "", ""}, {"0", "2", "", "M1ESOA", "MAT", "", "", ""},
            {"2", "1", "", "M1ESOA", "ZZZ", "", "", ""}, {"3", "2", "", "M1ESOA", "MAT", "", "", ""}});
    const Outcome r = run("importar " + doc() + " " + dir());
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string result = (m_tmp / "ResultadoVeltrixcentro.xml").string();
    for (const std::string& line :
        {"Documento escrito: " + result, std::string("2 sesiones del horario"), std::string("1 registro: día u hora 0"),
            std::string("1 registro: la materia no está en ASIGNOMT"), std::string("Proceso finalizado\n")})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
    EXPECT_TRUE(std::filesystem::exists(result));
}

} // namespace
