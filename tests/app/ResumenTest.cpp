// The summary texts the window and the command-line tool show after a run.
#include "app/Resumen.h"

#include <gtest/gtest.h>

using namespace ponteva;

TEST(Resumen, ExportWithEveryKindOfOmissionAndCutIdentifiers)
{
    ResumenExportacion r;
    r.materias = 1;
    r.profesores = 12;
    r.aulas = 0;
    r.grupos = 3;
    r.asignaturas = 1;
    r.materiasOmitidas = 1;
    r.asignaturasSinGrupo = 2;
    r.asignaturasSinMateria = 1;
    r.asignaturasSinCodigoMateria = 4;
    r.recortados = {{"PROFT", "IDPROF", "PROFESOR-0001", 10, 1, false, ""},
        {"GRUPOST", "IDGRUPO", "GRUPO-ÑANDÚ-1", 10, 3, false, ""},
        {"AULAT", "IDAULA", "AULA-Ω", 10, 2, true, "AULA-?"}};
    EXPECT_EQ(resumenExportacion(r, "/tmp/VTEMP"),
        "Tablas escritas en /tmp/VTEMP:\n"
        "  ASIGNOMT.DBF    1 fila (materias, con la fila fija LECT)\n"
        "  PROFT.DBF       12 filas (profesores)\n"
        "  AULAT.DBF       0 filas (aulas)\n"
        "  GRUPOST.DBF     3 filas (grupos)\n"
        "  DIASHORAST.DBF  0 filas (rejilla de días y horas, vacía)\n"
        "  ASIGT.DBF       1 fila (asignaturas)\n"
        "Registros omitidos:\n"
        "  1 materia: la abreviatura es igual al código de actividad\n"
        "  2 asignaturas: el grupo no está en GRUPOST\n"
        "  1 asignatura: la materia no está en ASIGNOMT\n"
        "  4 asignaturas: la materia no tiene código corto\n"
        "Aviso: el identificador 'PROFESOR-0001' no cabe en el campo IDPROF de PROFT (10 caracteres); se guarda "
        "recortado y el horario no podrá volver a ese elemento.\n"
        "Aviso: el identificador 'GRUPO-ÑANDÚ-1' no cabe en el campo IDGRUPO de GRUPOST (3 filas) (10 caracteres); "
        "se guarda recortado y el horario no podrá volver a ese elemento.\n"
        "Aviso: el identificador 'AULA-Ω' tiene caracteres que las tablas no admiten; se guarda como 'AULA-?' en el "
        "campo IDAULA de AULAT (2 filas) y el horario no podrá volver a ese elemento.\n");
}

TEST(Resumen, ExportListsOnlyTheOmissionsThatHappened)
{
    ResumenExportacion r;
    r.materias = 2;
    const std::string nada = resumenExportacion(r, "VTEMP");
    EXPECT_NE(nada.find("\nNo se ha omitido ningún registro.\n"), std::string::npos) << nada;
    EXPECT_EQ(nada.find("Registros omitidos"), std::string::npos);
    EXPECT_EQ(nada.find("Aviso"), std::string::npos);

    r.asignaturasSinMateria = 1;
    const std::string una = resumenExportacion(r, "VTEMP");
    EXPECT_NE(una.find("Registros omitidos:\n  1 asignatura: la materia no está en ASIGNOMT\n"), std::string::npos)
        << una;
    for (const char* ausente : {"GRUPOST\n", "código corto", "código de actividad", "No se ha omitido"})
        EXPECT_EQ(una.find(ausente), std::string::npos) << ausente;
}

TEST(Resumen, Return)
{
    ResumenRetorno r;
    r.resultado = "/datos/ResultadoVeltrixcentro.xml";
    r.escritos = 1;
    EXPECT_EQ(resumenRetorno(r),
        "Documento escrito: /datos/ResultadoVeltrixcentro.xml\n"
        "  1 sesión del horario en solucion_horario\n"
        "No se ha omitido ningún registro de SOLUC.\n");

    r.escritos = 0;
    r.omitidosDiaHora = 2;
    r.omitidosSinMateria = 1;
    EXPECT_EQ(resumenRetorno(r),
        "Documento escrito: /datos/ResultadoVeltrixcentro.xml\n"
        "  0 sesiones del horario en solucion_horario\n"
        "Registros de SOLUC omitidos:\n"
        "  2 registros: día u hora 0\n"
        "  1 registro: la materia no está en ASIGNOMT\n");
}
