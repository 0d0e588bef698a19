// The teaching assignment table: look-ups by Zedra identifier, hours and sessions.
#include "ExportFixture.h"

#include "core/Error.h"

using namespace ponteva;
using namespace ponteva::test;

namespace {

using Strings = std::vector<std::string>;

const std::string kCatalogos = R"(<materias>
  <dmaterias abrev="MAT" nombre="Matemáticas" codigo_actividad="DOC" codigo="M1"/>
  <dmaterias abrev="" nombre="" codigo_actividad="DOC" codigo="M2"/>
  <dmaterias abrev="FQ" nombre="Física y Química" codigo_actividad="DOC" codigo="M3"/>
</materias>
<profesores>
  <profesor abrev="ICO" nombre="Irene" apellido1="Casals" apellido2="Ordi" codigo="P1"/>
  <profesor abrev="JGP" nombre="Juan" apellido1="García" apellido2="Pérez" codigo="P2"/>
</profesores>
<grupos>
  <dgrupo nombre="1º ESO A" codigo_nivel="ESO" turno="M" curso="1" codigo_tutor="P1" codigo="G1"/>
  <dgrupo nombre="2º ESO B" codigo_nivel="ESO" turno="T" curso="2" codigo_tutor="P2" codigo="G2"/>
</grupos>
)";

class Asignaturas : public ExportTest { };

TEST_F(Asignaturas, LookUpsAndSkips)
{
    const ResumenExportacion resumen = exportar(zedra(kCatalogos + R"(<asignaturas>
  <dasignatura cgrupo="G1" casig="M1" cprofe="P1" nhoras="4"/>
  <dasignatura cgrupo=" G2 " casig=" M3 " cprofe=" P2 " nhoras=" 2,5 "/>
  <dasignatura cgrupo="G9" casig="M1" cprofe="P1" nhoras="no es un número"/>
  <dasignatura cgrupo="g1" casig="M1" cprofe="P1" nhoras="3"/>
  <dasignatura cgrupo="G1" casig="M9" cprofe="P1" nhoras="3"/>
  <dasignatura cgrupo="G1" casig="M1" cprofe="P9" nhoras="0"/>
  <dasignatura cgrupo="G1" casig="M2" cprofe="P1" nhoras="3"/>
  <dasignatura cgrupo="G2" casig="LECT" cprofe="P2" nhoras="1"/>
  <dasignatura cgrupo="G1" casig="M1" cprofe="P1" nhoras="4"/>
</asignaturas>
)"));
    const auto r = rows("ASIGT");
    EXPECT_EQ(fieldNames(workDir(), "ASIGT"),
        (Strings{"CASIG", "CPROF", "CGRUP", "CAULA", "TURNO", "NIVEL", "CURSO", "GRUPO", "HORAS", "SESIONES", "CTAREA",
            "NCONEX", "IDCURSO", "IDGRUP", "IDASIG", "IDPROF"}));
    ASSERT_EQ(r.size(), 5u);
    EXPECT_EQ(r[0],
        (Row{{"CASIG", "MAT"}, {"CPROF", "ICO"}, {"CGRUP", "M1ESOA"}, {"CAULA", ""}, {"TURNO", "M"}, {"NIVEL", "ESO"},
            {"CURSO", "1"}, {"GRUPO", "A"}, {"HORAS", "4"}, {"SESIONES", "1111"}, {"CTAREA", "DOC"}, {"NCONEX", ""},
            {"IDCURSO", ""}, {"IDGRUP", "G1"}, {"IDASIG", "M1"}, {"IDPROF", "P1"}}));
    EXPECT_EQ(r[1].at("CGRUP"), "T2ESOB");
    EXPECT_EQ(r[1].at("HORAS"), "2,5");
    EXPECT_EQ(r[1].at("SESIONES"), "111½");
    EXPECT_EQ(r[1].at("IDGRUP"), "G2");
    // An unknown teacher leaves CPROF empty and keeps the identifier.
    EXPECT_EQ(r[2].at("CPROF"), "");
    EXPECT_EQ(r[2].at("IDPROF"), "P9");
    EXPECT_EQ(r[2].at("HORAS"), "1");
    EXPECT_EQ(r[2].at("SESIONES"), "1");
    // The teaching duty row is a subject like any other.
    EXPECT_EQ(r[3].at("CASIG"), "LECT");
    EXPECT_EQ(r[3].at("CTAREA"), "LECT");
    // Identical assignments are not merged.
    EXPECT_EQ(r[4], r[0]);

    EXPECT_EQ(resumen.asignaturas, 5u);
    EXPECT_EQ(resumen.asignaturasSinGrupo, 2u); // G9, and 'g1' which is not 'G1'
    EXPECT_EQ(resumen.asignaturasSinMateria, 1u); // M9
    EXPECT_EQ(resumen.asignaturasSinCodigoMateria, 1u); // M2 has the empty short code
}

TEST_F(Asignaturas, BadHoursStopTheRunAndWriteNoTable)
{
    try {
        exportar(zedra(kCatalogos + R"(<asignaturas>
  <dasignatura cgrupo="G1" casig="M1" cprofe="P1" nhoras="4"/>
  <dasignatura cgrupo="G1" casig="M2" cprofe="P1" nhoras="2.5"/>
  <dasignatura cgrupo="G1" casig="M1" cprofe="P1" nhoras="3"/>
</asignaturas>)"));
        FAIL() << "no error";
    } catch (const Error& e) {
        // Checked although the subject has no short code and would not be written.
        EXPECT_STREQ(
            e.what(), "'2.5' no es un valor punto flotante válido. Las tablas anteriores no se han modificado.");
    }
    // The last builder failed: none of the six tables reached the working directory.
    EXPECT_TRUE(std::filesystem::is_empty(workDir()));
}

TEST_F(Asignaturas, FloatsReadBackExactly)
{
    std::string asignaturas = "<asignaturas>";
    const char* hours[] = {"2,3", "0,1", "13,7", "1234,5678", "0,333333"};
    for (const char* h : hours)
        asignaturas += std::string("<dasignatura cgrupo=\"G1\" casig=\"M1\" cprofe=\"P1\" nhoras=\"") + h + "\"/>";
    exportar(zedra(kCatalogos + asignaturas + "</asignaturas>"));
    dbf::Table t(workDir(), "ASIGT");
    t.open();
    size_t i = 0;
    for (t.first(); !t.eof(); t.next(), ++i) {
        double expected = 0;
        ASSERT_TRUE(parseDecimal(hours[i], ',', expected));
        EXPECT_EQ(static_cast<float>(t.number("HORAS")), static_cast<float>(expected)) << hours[i];
    }
    EXPECT_EQ(i, std::size(hours));
}

} // namespace
