// The export run as a whole: what it touches, what it leaves, and how it fails.
#include "ExportFixture.h"

#include "core/Error.h"

using namespace ponteva;
using namespace ponteva::test;

namespace {

using Strings = std::vector<std::string>;

const char* const kTables[] = {"ASIGNOMT", "PROFT", "AULAT", "GRUPOST", "DIASHORAST", "ASIGT"};

class ExportRun : public ExportTest {
protected:
    // Old tables with one row each, and old index files, as a previous run would leave.
    void plantOldTables()
    {
        for (const char* name : kTables) {
            dbf::Table t(workDir(), name);
            t.create({{"VIEJO", dbf::FieldType::Character, 5}});
            t.open();
            t.append();
            t.setText("VIEJO", "x");
            t.post();
            t.close();
            writeFile(workDir() / (std::string(name) + ".MDX"), "old index");
        }
    }
    std::string errorOf(const std::string& doc)
    {
        try {
            exportar(doc);
        } catch (const Error& e) {
            return e.what();
        }
        return "no error";
    }
};

TEST_F(ExportRun, DocumentWithoutSections)
{
    plantOldTables();
    writeFile(workDir() / "asigt.mdx", "lower-case index left by a Windows program");
    const ResumenExportacion r = exportar(zedra("<otra_cosa/>"));
    for (const char* name : kTables) {
        EXPECT_FALSE(std::filesystem::exists(workDir() / (std::string(name) + ".MDX"))) << name;
        EXPECT_EQ(readRows(workDir(), name).size(), std::string(name) == "ASIGNOMT" ? 1u : 0u) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(workDir() / "asigt.mdx"));
    EXPECT_EQ(column(rows("ASIGNOMT"), "COD"), Strings{"LECT"});
    EXPECT_EQ(r.materias, 1u);
}

TEST_F(ExportRun, MalformedDocumentTouchesNothing)
{
    plantOldTables();
    std::map<std::string, std::string> before;
    for (const char* name : kTables)
        before[name] = readFile(workDir() / (std::string(name) + ".DBF"));

    const std::string message = errorOf("<centro><materias>\n<dmaterias abrev='A'>\n</centro>");
    EXPECT_NE(message.find("no es un documento XML válido"), std::string::npos) << message;
    EXPECT_NE(message.find("línea 3"), std::string::npos) << message;
    EXPECT_EQ(message.find(".."), std::string::npos) << message;
    EXPECT_EQ(message.substr(message.size() - 34), "No se ha modificado ninguna tabla.") << message;
    for (const char* name : kTables)
        EXPECT_EQ(readFile(workDir() / (std::string(name) + ".DBF")), before[name]) << name;
}

TEST_F(ExportRun, OtherDocumentsTouchNothing)
{
    struct Case {
        const char* what;
        const char* doc;
        const char* found;
    };
    const Case cases[] = {
        {"another root", "<colegio><materias/></colegio>", "su elemento raíz es 'colegio' y no 'centro'"},
        {"centro in a default namespace", "<centro xmlns='urn:otro'><materias/></centro>",
            "su elemento raíz 'centro' pertenece a un espacio de nombres"},
        {"centro with a prefix", "<z:centro xmlns:z='urn:z'><materias/></z:centro>",
            "su elemento raíz 'centro' pertenece a un espacio de nombres"},
    };
    plantOldTables();
    std::map<std::string, std::string> before;
    for (const char* name : kTables)
        before[name] = readFile(workDir() / (std::string(name) + ".DBF"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(errorOf(c.doc),
            "El archivo '" + document().string() + "' no es un documento de intercambio de Zedra: " + c.found
                + ". No se ha modificado ninguna tabla.");
        for (const char* name : kTables) {
            EXPECT_EQ(readFile(workDir() / (std::string(name) + ".DBF")), before[name]) << name;
            EXPECT_TRUE(std::filesystem::exists(workDir() / (std::string(name) + ".MDX"))) << name;
        }
    }
}

TEST_F(ExportRun, MissingDocumentAndDirectory)
{
    Exportacion missing(m_tmp / "no-existe.xml", workDir(), spanishSettings());
    EXPECT_THROW(missing.ejecutar(), MissingInputError);
    Exportacion empty("", workDir(), spanishSettings());
    EXPECT_THROW(empty.ejecutar(), MissingInputError);

    writeFile(document(), zedra(""));
    Exportacion noDir(document(), m_tmp / "no-existe", spanishSettings());
    try {
        noDir.ejecutar();
        FAIL() << "no error";
    } catch (const MissingInputError&) {
        FAIL() << "the document is there";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("No existe el directorio de trabajo"), std::string::npos) << e.what();
    }
}

TEST_F(ExportRun, BadCapacityKeepsEarlierRoomsAndLaterTables)
{
    plantOldTables();
    const std::string message = errorOf(zedra(R"(<aulas>
  <daula nombre="Aula 1" capacidad_alumnos="30" codigo="A1"/>
  <daula nombre="Aula 2" capacidad_alumnos="25,5" codigo="A2"/>
  <daula nombre="Aula 3" capacidad_alumnos="20" codigo="A3"/>
</aulas>)"));
    EXPECT_EQ(message, "'25,5' no es un valor entero válido para el campo 'MAXALUM'");
    EXPECT_EQ(column(rows("AULAT"), "ABREV"), Strings{"Aula 1"});
    // The builders after the failing one never ran: their old tables stand.
    EXPECT_EQ(column(rows("GRUPOST"), "VIEJO"), Strings{"x"});
    EXPECT_EQ(column(rows("ASIGT"), "VIEJO"), Strings{"x"});
}

TEST_F(ExportRun, HeldTableIsNamedAndReleasedAfterwards)
{
    const std::string doc = zedra(R"(<profesores><profesor abrev="A" codigo="1"/></profesores>)");
    {
        dbf::Table held(workDir(), "PROFT");
        held.create({{"X", dbf::FieldType::Character, 1}});
        held.open();
        const std::string message = errorOf(doc);
        EXPECT_NE(message.find("PROFT"), std::string::npos) << message;
        EXPECT_EQ(column(rows("ASIGNOMT"), "COD"), Strings{"LECT"}); // written before the failure
    }
    // Same process, a new run: nothing from the failed one is held any more.
    exportar(doc);
    EXPECT_EQ(column(rows("PROFT"), "ABREV"), Strings{"A"});
}

TEST_F(ExportRun, SingleRecordsAndMissingAttributes)
{
    const ResumenExportacion r = exportar(zedra(R"(<materias><dmaterias abrev="MAT" codigo="M1"/></materias>
<profesores><profesor abrev="ICO" codigo="P1"/></profesores>
<aulas><daula nombre="Gimnasio"/></aulas>
<grupos><dgrupo nombre="A" codigo="G1"/></grupos>
<asignaturas><dasignatura cgrupo="G1" casig="M1" nhoras="2"/></asignaturas>)"));
    EXPECT_EQ(column(rows("ASIGNOMT"), "COD"), (Strings{"MAT", "LECT"}));
    EXPECT_EQ(column(rows("PROFT"), "NOMBRE"), Strings{","});
    EXPECT_EQ(column(rows("AULAT"), "ABREV"), Strings{"Gimnasio"});
    EXPECT_EQ(column(rows("GRUPOST"), "ABREV"), Strings{"A"});
    EXPECT_EQ(column(rows("ASIGT"), "CASIG"), Strings{"MAT"});
    EXPECT_EQ(r.profesores + r.aulas + r.grupos + r.asignaturas, 4u);
}

TEST_F(ExportRun, RepeatedSectionsAndASecondRun)
{
    const std::string doc = zedra(R"(<materias><dmaterias abrev="MAT" codigo_actividad="DOC" codigo="M1"/></materias>
<materias><dmaterias abrev="MAT" codigo_actividad="DOC" codigo="M2"/></materias>)");
    exportar(doc);
    EXPECT_EQ(column(rows("ASIGNOMT"), "COD"), (Strings{"MAT", "MAT1", "LECT"}));
    // A second run starts from an empty code list: the same codes again.
    exportar(doc);
    EXPECT_EQ(column(rows("ASIGNOMT"), "COD"), (Strings{"MAT", "MAT1", "LECT"}));
}

TEST_F(ExportRun, TruncatedIdentifiersAreReported)
{
    const ResumenExportacion r
        = exportar(zedra(R"(<materias><dmaterias abrev="MAT" codigo_actividad="DOC" codigo="12345678901"/></materias>
<profesores><profesor abrev="ICO" codigo="PROFESOR-0001"/></profesores>
<aulas><daula nombre="Aula" codigo="123456789012345678901"/></aulas>
<grupos><dgrupo nombre="A" codigo="1234567890"/></grupos>
<asignaturas><dasignatura cgrupo="1234567890" casig="LECT" cprofe="PROFESOR-0001" nhoras="1"/>
<dasignatura cgrupo="1234567890" casig="LECT" cprofe="PROFESOR-0001" nhoras="2"/></asignaturas>)"));
    ASSERT_EQ(r.recortados.size(), 4u);
    EXPECT_EQ(r.recortados[3].tabla, "ASIGT");
    EXPECT_EQ(r.recortados[3].veces, 2u);
    EXPECT_EQ(r.recortados[0].campo, "IDASIG");
    EXPECT_EQ(r.recortados[0].valor, "12345678901");
    EXPECT_EQ(r.recortados[1].tabla, "PROFT");
    EXPECT_EQ(r.recortados[2].ancho, 20);
}

TEST_F(ExportRun, IdentifiersThatLoseCharactersAreReported)
{
    // 'Ω' has no place in Windows-1252 and is stored as '?'; 'Ș' as 'S'. Neither comes back.
    const ResumenExportacion r = exportar(zedra(R"(<materias>
<dmaterias abrev="MAT" codigo_actividad="DOC" codigo="Ω12"/>
<dmaterias abrev="FQ" codigo_actividad="DOC" codigo="Ψ12"/>
<dmaterias abrev="LEN" codigo_actividad="DOC" codigo="Ñ12"/></materias>
<grupos><dgrupo nombre="A" codigo="Ș1"/></grupos>
<asignaturas><dasignatura cgrupo="Ș1" casig="Ω12" nhoras="1"/>
<dasignatura cgrupo="Ș1" casig="Ω12" nhoras="2"/></asignaturas>)"));
    struct Expected {
        const char* tabla;
        const char* campo;
        const char* valor;
        const char* guardado;
        std::size_t veces;
    };
    const Expected expected[] = {
        {"ASIGNOMT", "IDASIG", "Ω12", "?12", 1},
        {"ASIGNOMT", "IDASIG", "Ψ12", "?12", 1},
        {"GRUPOST", "IDGRUPO", "Ș1", "S1", 1},
        {"ASIGT", "IDGRUP", "Ș1", "S1", 2},
        {"ASIGT", "IDASIG", "Ω12", "?12", 2},
    };
    ASSERT_EQ(r.recortados.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(i);
        const IdentificadorRecortado& got = r.recortados[i];
        EXPECT_EQ(got.tabla, expected[i].tabla);
        EXPECT_EQ(got.campo, expected[i].campo);
        EXPECT_EQ(got.valor, expected[i].valor);
        EXPECT_EQ(got.guardado, expected[i].guardado);
        EXPECT_EQ(got.veces, expected[i].veces);
        EXPECT_TRUE(got.caracteresPerdidos);
    }
}

TEST_F(ExportRun, EachRunOnOneObjectIsARunOfItsOwn)
{
    writeFile(document(), zedra(R"(<materias><dmaterias abrev="MAT" codigo_actividad="DOC" codigo="12345678901"/>
<dmaterias abrev="MAT" codigo_actividad="MAT" codigo="M2"/></materias>
<grupos><dgrupo nombre="A" codigo="G1"/></grupos>
<asignaturas><dasignatura cgrupo="G1" casig="12345678901" nhoras="2"/>
<dasignatura cgrupo="G9" casig="M1" nhoras="2"/></asignaturas>)"));
    auto tables = [&] {
        std::map<std::string, std::vector<Row>> all;
        for (const char* name : kTables)
            all[name] = rows(name);
        return all;
    };
    Exportacion run(document(), workDir(), spanishSettings());
    const ResumenExportacion first = run.ejecutar();
    const auto firstTables = tables();
    for (int i = 0; i < 2; ++i) {
        const ResumenExportacion again = run.ejecutar();
        EXPECT_EQ(again.materias, first.materias);
        EXPECT_EQ(again.materiasOmitidas, 1u);
        EXPECT_EQ(again.asignaturasSinGrupo, 1u);
        ASSERT_EQ(again.recortados.size(), first.recortados.size());
        EXPECT_EQ(again.recortados[0].veces, 1u);
        EXPECT_EQ(tables(), firstTables);
        EXPECT_EQ(column(rows("ASIGNOMT"), "COD"), (Strings{"MAT", "LECT"}));
    }
}

TEST_F(ExportRun, IndependentReaderSeesTheLayouts)
{
    PONTEVA_SKIP_HOST_TOOLS();
    exportar(zedra(""));
    struct Field {
        const char* name;
        char type;
        int length, decimals;
    };
    auto text = [](const char* name, int length) { return Field{name, 'C', length, 0}; };
    const std::vector<std::pair<const char*, std::vector<Field>>> layouts = {
        {"ASIGNOMT",
            {text("COD", 10), text("CODLARGO", 10), text("NOMBRE", 80), text("DENIVEL", 5), text("DECURSO", 3),
                text("CODTAREA", 10), {"ESTAREA", 'L', 1, 0}, text("IDASIG", 10)}},
        {"PROFT", {text("ABREV", 10), text("NOMBRE", 80), text("DEPART", 40), text("DNI", 14), text("IDPROF", 10)}},
        {"AULAT",
            {text("ABREV", 10), text("NOMBRE", 80), text("EDIFICIO", 1), {"MAXALUM", 'N', 11, 0}, text("IDAULA", 20)}},
        {"GRUPOST",
            {text("ABREV", 10), text("TURNO", 1), text("NIVEL", 5), text("CURSO", 3), text("GRUPO", 2),
                text("DESCRIP", 80), text("MARCO", 1), text("TUTOR", 10), text("IDGRUPO", 10)}},
        {"DIASHORAST",
            {text("DIHO", 10), text("CODDIHO", 10), text("DIA", 20), text("TEXTODIA", 20), text("HORA", 8),
                text("TEXTOHOR", 15), text("HORADESDE", 8), text("HORAHASTA", 8), text("MINUTOS", 8), text("MARCO", 1),
                text("MARCOXML", 10)}},
        {"ASIGT",
            {text("CASIG", 10), text("CPROF", 10), text("CGRUP", 10), text("CAULA", 10), text("TURNO", 1),
                text("NIVEL", 5), text("CURSO", 3), text("GRUPO", 2), {"HORAS", 'F', 20, 4}, text("SESIONES", 20),
                text("CTAREA", 10), text("NCONEX", 4), text("IDCURSO", 10), text("IDGRUP", 10), text("IDASIG", 10),
                text("IDPROF", 10)}},
    };
    std::string expected;
    for (const auto& [table, fields] : layouts) {
        for (const Field& f : fields)
            expected += std::string(table) + " " + f.name + " " + f.type + " " + std::to_string(f.length) + " "
                + std::to_string(f.decimals) + "\n";
    }
    const std::string script = "import dbfread, sys\n"
                               "for t in sys.argv[2:]:\n"
                               "    for f in dbfread.DBF(sys.argv[1] + '/' + t + '.DBF').fields:\n"
                               "        print(t, f.name, f.type, f.length, f.decimal_count)\n";
    writeFile(m_tmp / "layout.py", script);
    std::string out;
    std::string command
        = systemPython() + " " + shellQuote((m_tmp / "layout.py").string()) + " " + shellQuote(workDir().string());
    for (const auto& [table, fields] : layouts)
        command += std::string(" ") + table;
    const int status = runCommand(command + " 2>&1", out);
    if (status != 0 && out.find("No module named 'dbfread'") != std::string::npos)
        GTEST_SKIP() << "python3-dbfread is not installed";
    ASSERT_EQ(status, 0) << out;
    EXPECT_EQ(out, expected);
}

TEST_F(ExportRun, IndependentReaderSeesTheTables)
{
    PONTEVA_SKIP_HOST_TOOLS();
    exportar(zedra(
        R"(<materias><dmaterias abrev="EF" nombre="Educación Física" codigo_actividad="DOC" codigo="M1"/></materias>
<profesores><profesor abrev="ÑU" nombre="Ñuño" apellido1="Güemes" apellido2="Peña" codigo="P1"/></profesores>
<grupos><dgrupo nombre="1º ESO A" codigo_nivel="ESO" turno="M" curso="1" codigo="G1"/></grupos>
<asignaturas><dasignatura cgrupo="G1" casig="M1" cprofe="P1" nhoras="2,5"/></asignaturas>)"));
    const std::string script = "import dbfread, sys\n"
                               "for r in dbfread.DBF(sys.argv[1] + '/ASIGT.DBF'):\n"
                               "    print(r['CASIG'], r['CPROF'], r['CGRUP'], r['HORAS'], r['SESIONES'], sep='|')\n"
                               "for r in dbfread.DBF(sys.argv[1] + '/PROFT.DBF'):\n"
                               "    print(r['NOMBRE'])\n";
    writeFile(m_tmp / "read.py", script);
    std::string out;
    const int status = runCommand(systemPython() + " " + shellQuote((m_tmp / "read.py").string()) + " "
            + shellQuote(workDir().string()) + " 2>&1",
        out);
    if (status != 0 && out.find("No module named 'dbfread'") != std::string::npos)
        GTEST_SKIP() << "python3-dbfread is not installed";
    ASSERT_EQ(status, 0) << out;
    EXPECT_EQ(out, "EF|ÑU|M1ESOA|2.5|111½\nÑuño, Güemes Peña\n");
}

} // namespace
