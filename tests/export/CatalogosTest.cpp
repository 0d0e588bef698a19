// The catalogue tables built from the worked examples: short codes, names, look-ups.
#include "ExportFixture.h"

using namespace ponteva;
using namespace ponteva::test;

namespace {

using Strings = std::vector<std::string>;

class Catalogos : public ExportTest { };

TEST_F(Catalogos, Materias)
{
    exportar(zedra(R"(<materias>
  <dmaterias abrev="MAT" nombre="Matemáticas" codigo_actividad="DOC" denivel="ESO" decurso="1" codigo="M1"/>
  <dmaterias abrev="" nombre="Lengua Castellana y Literatura" codigo_actividad="DOC" denivel="ESO" decurso="1" codigo="M2"/>
  <dmaterias abrev="Mat" nombre="Matemáticas Aplicadas" codigo_actividad="DOC" codigo="M3"/>
  <dmaterias abrev="MAT" nombre="Matemáticas II" codigo_actividad="DOC" codigo="M4"/>
  <dmaterias abrev=" MAT " nombre="Matemáticas III" codigo_actividad="DOC" codigo="M5"/>
  <dmaterias abrev="Ed. Física" nombre="Educación  Física" codigo_actividad="DOC" codigo="M6"/>
  <dmaterias abrev="Tecnología Industrial" nombre="Tecnología Industrial I" codigo_actividad="DOC" codigo="M7"/>
  <dmaterias abrev="Tecnologías" nombre="Tecnologías de la Información" codigo_actividad="DOC" codigo="M8"/>
  <dmaterias abrev="GUARDIA" nombre="Guardia de recreo" codigo_actividad="GUARDIA" codigo="M9"/>
  <dmaterias abrev="" nombre="Música" codigo_actividad="DOC" codigo="M10"/>
  <dmaterias abrev=" LAB " nombre="Laboratorio" codigo_actividad="LAB" codigo="M11"/>
  <dmaterias abrev="lab" nombre="Laboratorio" codigo_actividad="LAB" codigo="M12"/>
  <dmaterias abrev="" nombre="" codigo_actividad="" codigo="M13"/>
  <dmaterias abrev="" nombre="" codigo_actividad="OTRA" codigo="M14"/>
  <dmaterias abrev="" nombre="" codigo_actividad="OTRA" codigo="M15"/>
  <dmaterias abrev="C. Nat" nombre="Ciencias de la Naturaleza, un nombre largo que pasa de los ochenta caracteres del campo" codigo_actividad="ACTIVIDADLARGA" codigo="M16"/>
</materias>
)"));
    const auto r = rows("ASIGNOMT");
    EXPECT_EQ(fieldNames(workDir(), "ASIGNOMT"),
        (Strings{"COD", "CODLARGO", "NOMBRE", "DENIVEL", "DECURSO", "CODTAREA", "ESTAREA", "IDASIG"}));
    EXPECT_EQ(column(r, "COD"),
        (Strings{"MAT", "LCyL", "Mat", "MAT1", "MAT2", "Ed.Física", "Tecnología", "Tecnologí1", "M", "lab", "", "1",
            "C.Nat", "LECT"}));
    EXPECT_EQ(column(r, "CODLARGO"),
        (Strings{"Matemática", "Lengua Cas", "Matemática", "Matemática", "Matemática", "Educación", "Tecnología",
            "Tecnología", "Música", "Laboratori", "", "", "Ciencias d", "LECTIVA"}));
    EXPECT_EQ(column(r, "IDASIG"),
        (Strings{"M1", "M2", "M3", "M4", "M5", "M6", "M7", "M8", "M10", "M12", "M14", "M15", "M16", "LECT"}));
    EXPECT_EQ(r[0].at("DENIVEL"), "ESO");
    EXPECT_EQ(r[0].at("ESTAREA"), "F");
    EXPECT_EQ(r[12].at("NOMBRE").size(), 80u);
    EXPECT_EQ(r[12].at("CODTAREA"), "ACTIVIDADL");
    const Row lect = r.back();
    EXPECT_EQ(lect,
        (Row{{"COD", "LECT"}, {"CODLARGO", "LECTIVA"}, {"NOMBRE", "Materia Lectiva de Docencia Directa"},
            {"DENIVEL", ""}, {"DECURSO", ""}, {"CODTAREA", "LECT"}, {"ESTAREA", "T"}, {"IDASIG", "LECT"}}));
}

TEST_F(Catalogos, Profesores)
{
    exportar(zedra(R"(<profesores>
  <profesor abrev="ICO" nombre="Irene" apellido1="Casals" apellido2="Ordi" departamen="Lengua" documento="12345678Z" codigo="5012"/>
  <profesor abrev=" ico " nombre="Isaac" apellido1="Cobo" apellido2="" departamen="Música" documento="" codigo="5013"/>
  <profesor abrev="ICO" nombre="Inés" apellido1="Cano" apellido2="Oria" codigo="5014"/>
  <profesor abrev="TORRESLAGO" nombre="Tomás" apellido1="Torres" apellido2="Lago" codigo="5015"/>
  <profesor abrev="TORRESLAGO" nombre="Teresa" apellido1="Torres" apellido2="Lago" codigo="5016"/>
  <profesor abrev="TORRESLAGOS" nombre=" Mª  José " apellido1="" apellido2="" codigo="5017"/>
  <profesor abrev="" nombre="" apellido1="" apellido2="" codigo="5018"/>
  <profesor abrev="" nombre="Ana" apellido1="Ruiz" apellido2="Gil" codigo="5019"/>
  <profesor abrev="ÑÁ" nombre="Ñuño" apellido1="Ávila" apellido2="" codigo="5020"/>
  <profesor abrev="ñá" nombre="Ñuño" apellido1="Ávila" apellido2="" codigo="5021"/>
</profesores>
)"));
    const auto r = rows("PROFT");
    EXPECT_EQ(fieldNames(workDir(), "PROFT"), (Strings{"ABREV", "NOMBRE", "DEPART", "DNI", "IDPROF"}));
    // 'TORRESLAGOS' is stored as 'TORRESLAGO', which is taken: the count goes on over its stem.
    EXPECT_EQ(column(r, "ABREV"),
        (Strings{"ICO", "ico1", "ICO2", "TORRESLAGO", "TORRESLAG1", "TORRESLAG2", "", "1", "ÑÁ", "ñá1"}));
    EXPECT_EQ(column(r, "NOMBRE"),
        (Strings{"Irene, Casals Ordi", "Isaac, Cobo", "Inés, Cano Oria", "Tomás, Torres Lago", "Teresa, Torres Lago",
            "Mª  José,", ",", "Ana, Ruiz Gil", "Ñuño, Ávila", "Ñuño, Ávila"}));
    EXPECT_EQ(r[0].at("DEPART"), "Lengua");
    EXPECT_EQ(r[0].at("DNI"), "12345678Z");
    EXPECT_EQ(r[0].at("IDPROF"), "5012");
}

TEST_F(Catalogos, TeacherFullNameKeepsItsBlanks)
{
    // Read back without the engine's trimming: the raw name ends in the blank after the surname.
    exportar(zedra(R"(<profesores><profesor abrev="A" nombre="Isaac" apellido1="Cobo" apellido2="" codigo="1"/>
<profesor abrev="B" nombre="" apellido1="" apellido2="" codigo="2"/></profesores>)"));
    const std::string bytes = readFile(workDir() / "PROFT.DBF");
    EXPECT_NE(bytes.find("Isaac, Cobo " + std::string(80 - 12, ' ')), std::string::npos);
    EXPECT_NE(bytes.find(",  " + std::string(77, ' ')), std::string::npos);
}

TEST_F(Catalogos, Aulas)
{
    exportar(zedra(R"(<aulas>
  <daula nombre="Laboratorio de Física" capacidad_alumnos="24" codigo="A1"/>
  <daula nombre="Aula 3" capacidad_alumnos=" 30 " codigo="A2"/>
  <daula nombre=" aula 3 " capacidad_alumnos="" codigo="A3"/>
  <daula nombre="Biblioteca" capacidad_alumnos="  " codigo="A4"/>
  <daula nombre="Biblioteca" codigo="A5"/>
  <daula nombre="Sala de usos múltiples para el equipo de apoyo y orientación" capacidad_alumnos="-1" codigo="A6"/>
  <daula nombre="Aula  de dibujo" capacidad_alumnos="0" codigo="A7"/>
  <daula nombre="Sala de profesores" capacidad_alumnos="12" codigo="IDENTIFICADOR-DE-AULA-LARGO"/>
  <daula nombre="" capacidad_alumnos="" codigo="A9"/>
  <daula nombre="" capacidad_alumnos="" codigo="A10"/>
</aulas>
)"));
    const auto r = rows("AULAT");
    EXPECT_EQ(fieldNames(workDir(), "AULAT"), (Strings{"ABREV", "NOMBRE", "EDIFICIO", "MAXALUM", "IDAULA"}));
    EXPECT_EQ(column(r, "ABREV"),
        (Strings{"LdF", "Aula 3", "aula 31", "Bibliote", "Bibliote1", "Sdumpeedyo", "A dd", "Sdp", "", "1"}));
    EXPECT_EQ(column(r, "MAXALUM"), (Strings{"24", "30", "", "", "", "-1", "0", "12", "", ""}));
    EXPECT_EQ(column(r, "EDIFICIO"), Strings(10, ""));
    EXPECT_EQ(r[7].at("IDAULA"), "IDENTIFICADOR-DE-AUL");
    EXPECT_EQ(r[2].at("NOMBRE"), "aula 3");
}

TEST_F(Catalogos, CodesUniqueAsTheTablesGiveThemBack)
{
    // 'Gimnasi B' gives 'Gimnasi ' and 'ABCDEFGHI JK' gives 'ABCDEFGHI ': stored, each reads
    // back as the next one's code unless that one counts on.
    exportar(zedra(R"(<profesores>
  <profesor abrev="ABCDEFGHI JK" nombre="A" apellido1="" apellido2="" codigo="P1"/>
  <profesor abrev="ABCDEFGHI" nombre="B" apellido1="" apellido2="" codigo="P2"/>
</profesores>
<aulas>
  <daula nombre="Gimnasi B" capacidad_alumnos="" codigo="A1"/>
  <daula nombre="Gimnasi" capacidad_alumnos="" codigo="A2"/>
</aulas>
)"));
    EXPECT_EQ(column(rows("PROFT"), "ABREV"), (Strings{"ABCDEFGHI", "ABCDEFGHI1"}));
    EXPECT_EQ(column(rows("AULAT"), "ABREV"), (Strings{"Gimnasi", "Gimnasi1"}));
}

TEST_F(Catalogos, CountedRoomCodesCutToTen)
{
    std::string aulas = "<aulas>";
    for (int i = 0; i < 102; ++i)
        aulas += "<daula nombre=\"Biblioteca\" capacidad_alumnos=\"\" codigo=\"B" + std::to_string(i) + "\"/>";
    exportar(zedra(aulas + "</aulas>"));
    const auto codes = column(rows("AULAT"), "ABREV");
    EXPECT_EQ(codes[0], "Bibliote");
    EXPECT_EQ(codes[99], "Bibliote99");
    EXPECT_EQ(codes[100], "Bibliote00"); // 'Bibliote100' cut to its first 8 and last 2
    EXPECT_EQ(codes[101], "Bibliote01");
}

TEST_F(Catalogos, Grupos)
{
    exportar(zedra(R"(<profesores>
  <profesor abrev="ICO" nombre="Irene" apellido1="Casals" apellido2="Ordi" codigo="5012"/>
  <profesor abrev="XX" nombre="Sin" apellido1="Código" apellido2="" codigo=""/>
  <profesor abrev="OTRO" nombre="Otro" apellido1="Con" apellido2="Mismo" codigo="5012"/>
</profesores>
<grupos>
  <dgrupo nombre="Tercero N2 B" codigo_nivel="N2" turno="T" curso="3" codigo_tutor="5012" codigo="G1"/>
  <dgrupo nombre="Taller N2 B" codigo_nivel="N2" turno="T" curso="3" codigo_tutor="9999" codigo="G2"/>
  <dgrupo nombre="Grupo C" codigo_nivel="N2XYZ" turno="Tarde" curso="3" codigo_tutor="" codigo="G3"/>
  <dgrupo nombre="t3n2b" codigo_nivel="N2" turno="T" curso="3" codigo_tutor=" 5012 " codigo="G4"/>
  <dgrupo nombre="Grupo 2" codigo_nivel="ESO" turno="Mañana" curso="1" codigo="G5"/>
  <dgrupo nombre="" codigo_nivel="ESO" turno="M" curso="2" codigo_tutor="5012" codigo="G6"/>
</grupos>
)"));
    const auto r = rows("GRUPOST");
    EXPECT_EQ(fieldNames(workDir(), "GRUPOST"),
        (Strings{"ABREV", "TURNO", "NIVEL", "CURSO", "GRUPO", "DESCRIP", "MARCO", "TUTOR", "IDGRUPO"}));
    EXPECT_EQ(column(r, "ABREV"), (Strings{"T3N2B", "T3N2B1", "Tarde3N2ZC", "T3N2b2", "Mañana1EO2", "M2ESO"}));
    EXPECT_EQ(column(r, "GRUPO"), (Strings{"B", "B", "C", "b", "2", ""}));
    // An empty tutor code names no teacher, not the teacher without a code.
    EXPECT_EQ(column(r, "TUTOR"), (Strings{"ICO", "", "", "ICO", "", "ICO"}));
    EXPECT_EQ(column(r, "TURNO"), (Strings{"T", "T", "T", "T", "M", "M"}));
    EXPECT_EQ(column(r, "NIVEL")[2], "N2XYZ");
    EXPECT_EQ(column(r, "MARCO"), Strings(6, "0"));
    EXPECT_EQ(column(r, "IDGRUPO"), (Strings{"G1", "G2", "G3", "G4", "G5", "G6"}));
}

TEST_F(Catalogos, GroupCodesCountedPastTen)
{
    std::string grupos = "<grupos>";
    for (int i = 0; i < 12; ++i)
        grupos += "<dgrupo nombre=\"J\" codigo_nivel=\"DEFGHI\" turno=\"AB\" curso=\"C\" codigo=\"G" + std::to_string(i)
            + "\"/>";
    exportar(zedra(grupos + "</grupos>"));
    const auto codes = column(rows("GRUPOST"), "ABREV");
    EXPECT_EQ(codes[0], "ABCDEFGHIJ");
    EXPECT_EQ(codes[1], "ABCDEFGHI1");
    EXPECT_EQ(codes[10], "ABCDEFGH10");
    EXPECT_EQ(codes[11], "ABCDEFGH11");
}

TEST_F(Catalogos, Tramos)
{
    exportar(zedra("<materias/>"));
    EXPECT_EQ(fieldNames(workDir(), "DIASHORAST"),
        (Strings{"DIHO", "CODDIHO", "DIA", "TEXTODIA", "HORA", "TEXTOHOR", "HORADESDE", "HORAHASTA", "MINUTOS", "MARCO",
            "MARCOXML"}));
    EXPECT_TRUE(rows("DIASHORAST").empty());
}

} // namespace
