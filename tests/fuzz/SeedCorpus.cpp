// Writes the fuzzers' seed corpora: small valid tables in every dBase variant the engine
// reads, SOLUC.DBF tables whose codes the return run finds, and small exchange documents.
//   ponteva_fuzz_seeds tests/fuzz/corpus
#include "tests/tables/TableFixtures.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

using namespace ponteva::test;
namespace fs = std::filesystem;

namespace {

void put(const fs::path& file, const std::string& bytes)
{
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The fields every dialect shares: text, number, logical, date.
DbfFixture classic(unsigned char version)
{
    DbfFixture f;
    f.version = version;
    f.fields = {{"NOMBRE", 'C', 8}, {"NOTA", 'N', 5, 2}, {"ACTIVO", 'L', 1}, {"ALTA", 'D', 8}};
    f.rows = {row({"Educaci\xF3n", " 7.50", "T", "20240131"}), row({"Borrado ", " 0.00", "F", "        "}, '*'),
        row({"Otro    ", "-1.00", "?", "19991231"})};
    return f;
}

DbfFixture dBase7(unsigned char version)
{
    DbfFixture f;
    f.version = version;
    f.fields = {{"CODIGO", 'I', 4}, {"NUMERO", '+', 4}, {"IMPORTE", 'O', 8}, {"CREADO", '@', 8}, {"NOMBRE", 'C', 10},
        {"HORAS", 'N', 6, 1}, {"ACTIVO", 'L', 1}};
    f.rows = {row({hexBytes("80 00 00 2A"), hexBytes("80 00 00 01"), hexBytes("C0 0A 00 00 00 00 00 00"),
                  hexBytes("00 25 8A B5 02 F3 66 D0"), "Educaci\xF3n ", "  12.5", "T"}),
        row({hexBytes("7F FF FF F6"), hexBytes("80 00 00 02"), hexBytes("3F DB FF FF FF FF FF FF"),
            hexBytes("00 00 00 00 00 00 00 00"), "          ", "      ", " "})};
    return f;
}

DbfFixture visualFoxPro(unsigned char version)
{
    DbfFixture f;
    f.version = version;
    f.fields = {{"I", 'I', 4}, {"B", 'B', 8}, {"Y", 'Y', 8}, {"T", 'T', 8}, {"M", 'M', 4}, {"C", 'C', 5}};
    f.rows = {row({hexBytes("F9 FF FF FF"), hexBytes("00 00 00 00 00 00 02 40"), hexBytes("40 E2 01 00 00 00 00 00"),
                  hexBytes("B5 8A 25 00 D0 66 F3 02"), hexBytes("05 00 00 00"), "abc  "}),
        row({hexBytes("00 00 00 80"), hexBytes("00 00 00 00 00 00 E0 BF"), hexBytes("B0 3C FF FF FF FF FF FF"),
            hexBytes("00 00 00 00 00 00 00 00"), hexBytes("00 00 00 00"), "     "})};
    return f;
}

// SOLUC as the timetabler leaves it, with codes the small school's tables hold.
DbfFixture soluc(unsigned char version, char horaType, int horaWidth, std::vector<std::string> horas)
{
    DbfFixture f;
    f.version = version;
    f.fields = {{"DIA", 'N', 2}, {"HORA", horaType, horaWidth, horaType == 'N' ? 1 : 0}, {"SESIONES", 'C', 4},
        {"CODGRUPO", 'C', 10}, {"ASIG", 'C', 10}, {"TAREA", 'C', 10}, {"PROF", 'C', 10}, {"AULA", 'C', 10}};
    const char* dias[] = {" 1", " 2", " 0", "-3"};
    const char* asignaturas[] = {"MAT", "LCL", "MAT", "XXX"};
    for (std::size_t i = 0; i < horas.size(); ++i) {
        f.rows.push_back(
            row({dias[i % 4], horas[i], padRight("1", 4), padRight("M1ESOA", 10), padRight(asignaturas[i % 4], 10),
                padRight(i % 2 ? "GUA" : "DOC", 10), padRight("ICO", 10), padRight("AU", 10)}));
    }
    return f;
}

const char* const kDocuments[][2] = {
    {"vacio.xml", "<?xml version=\"1.0\"?><centro/>"},
    {"secciones.xml", R"(<?xml version="1.0" encoding="UTF-8"?>
<centro codigo_interno="1" nombre="IES" curso="2026/2027" version="1.0">
<materias><dmaterias abrev="MAT" nombre="Matemáticas" codigo_actividad="DOC" denivel="ESO" decurso="1" codigo="M1"/>
<dmaterias abrev="" nombre="Lengua Castellana" codigo_actividad="DOC" codigo="M2"/>
<dmaterias abrev="GUA" codigo_actividad="GUA" codigo="T1"/></materias>
<profesores><profesor abrev="ICO" nombre="Irene" apellido1="Casals" apellido2="Ordi" documento="1X" departamen="MAT" codigo="P1"/>
<profesor abrev="ico" codigo="P2"/></profesores>
<aulas><daula nombre="Aula Uno" capacidad_alumnos="30" codigo="A1"/><daula nombre="Gim" capacidad_alumnos="" codigo="A2"/></aulas>
<grupos><dgrupo nombre="1º ESO A" codigo_nivel="ESO" turno="M" curso="1" codigo_tutor="P1" codigo="G1"/></grupos>
<asignaturas><dasignatura cgrupo="G1" casig="M1" cprofe="P1" nhoras="4"/>
<dasignatura cgrupo="G1" casig="M2" cprofe="P2" nhoras="2,5"/>
<dasignatura cgrupo="G9" casig="M1" nhoras="1"/></asignaturas>
</centro>
)"},
    {"latin1.xml",
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<centro><profesores><profesor abrev=\"\xD1U\" "
        "nombre=\"\xD1u\xF1o\" codigo=\"P1\"/></profesores></centro>\n"},
    {"horas.xml", R"(<centro><grupos><dgrupo nombre="B" codigo="G1"/></grupos>
<materias><dmaterias abrev="X" codigo="M1"/></materias>
<asignaturas><dasignatura cgrupo="G1" casig="M1" nhoras="0,5"/><dasignatura cgrupo="G1" casig="M1" nhoras="12"/></asignaturas></centro>)"},
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "uso: ponteva_fuzz_seeds CARPETA\n";
        return 2;
    }
    const fs::path out = argv[1];

    const std::pair<const char*, unsigned char> classics[]
        = {{"dbase3", 0x03}, {"dbase3-memo", 0x83}, {"dbase4-memo", 0x8B}, {"foxbase", 0xFB}, {"foxpro2-memo", 0xF5}};
    for (const auto& [name, version] : classics)
        put(out / "tabla" / (std::string(name) + ".dbf"), classic(version).bytes());
    put(out / "tabla" / "dbase7.dbf", dBase7(0x04).bytes());
    put(out / "tabla" / "dbase7-memo.dbf", dBase7(0x8C).bytes());
    for (unsigned char v : {0x30, 0x31, 0x32})
        put(out / "tabla" / ("visualfoxpro-" + std::to_string(v) + ".dbf"), visualFoxPro(v).bytes());
    DbfFixture cut = classic(0x03);
    cut.endMarker = false;
    cut.recordCount = 2;
    put(out / "tabla" / "dbase3-sin-fin.dbf", cut.bytes());

    put(out / "retorno" / "soluc-dbase3.dbf", soluc(0x03, 'N', 4, {" 1.0", " 2.0", " 3.0", " 0.0"}).bytes());
    put(out / "retorno" / "soluc-float.dbf", soluc(0x03, 'F', 20, {padLeft("1.5000", 20), padLeft("2", 20)}).bytes());
    put(out / "retorno" / "soluc-foxpro.dbf", soluc(0xF5, 'N', 4, {" 1.0", " 4.0"}).bytes());
    put(out / "retorno" / "soluc-vfp.dbf", soluc(0x30, 'N', 4, {" 6.0"}).bytes());
    put(out / "retorno" / "soluc-dbase7.dbf", soluc(0x04, 'N', 4, {" 1.0", " 2.0"}).bytes());

    for (const auto& [name, text] : kDocuments)
        put(out / "exportacion" / name, text);
    return 0;
}
