// The return run on a timetable: each SOLUC record translated back to Zedra identifiers.
#include "RetornoFixture.h"

using namespace ponteva;
using namespace ponteva::test;

namespace {

class Retorno : public RetornoTest { };

TEST_F(Retorno, TranslatesEveryRecord)
{
    exportar(kCatalogo);
    writeSoluc({
        {"1", "1", "1", "M1ESOA", "MAT", "LECT", "ICO", "LdF"},
        {"0", "2", "1", "M1ESOA", "MAT", "LECT", "ICO", "LdF"}, // day 0: left out
        {"2", "0", "1", "M1ESOA", "MAT", "LECT", "ICO", "LdF"}, // period 0: left out
        {"2", "3", "11", "ZZZ", "FQ", "FQ", "NADIE", "NINGUNA"}, // not found: empty, even after a match
        {"3", "4", "", "T2ESOB", "ZZZ", "LECT", "JGP", "Gimnasio"}, // unknown subject: left out
        {"5", "2.5", "1½", "T2ESOB", "FQ", "OTRA", "JGP", "Gimnasio"},
        {"-1", "-2", "1", "t2esob", "MAT", "lect", "ico", "ldf"}, // codes match with case
        {"", "1", "1", "M1ESOA", "MAT", "LECT", "ICO", "LdF"}, // empty day reads 0
    });
    const ResumenRetorno r = retornar();
    EXPECT_EQ(r.resultado, result());
    EXPECT_EQ(r.escritos, 4u);
    EXPECT_EQ(r.omitidosDiaHora, 3u);
    EXPECT_EQ(r.omitidosSinMateria, 1u);

    const XmlElement root = parseXml(result());
    EXPECT_EQ(root.name, "centro");
    EXPECT_EQ(root.attributes,
        (Attributes{{"codigo_interno", "15001"}, {"nombre", "IES  Rosalía de Castro"}, {"curso", "2026/2027"},
            {"fecha_exportacion", "11/12/2026 9:05:07"}, {"version", "1.0"}}));
    ASSERT_EQ(root.children.size(), 1u);
    const XmlElement& solucion = root.children[0];
    EXPECT_EQ(solucion.name, "solucion_horario");
    EXPECT_TRUE(solucion.attributes.empty());
    auto d = [](const char* casig, const char* cgrupo, const char* cprofe, const char* caula, const char* cactiv,
                 const char* dia, const char* hora, const char* sesiones) {
        return Attributes{{"casig", casig}, {"cgrupo", cgrupo}, {"cprofe", cprofe}, {"caula", caula},
            {"cactiv", cactiv}, {"dia", dia}, {"hora", hora}, {"sesiones", sesiones}, {"idcurso", ""}};
    };
    const std::vector<Attributes> expected = {
        d("M1", "G1", "P1", "A1", "LECT", "1", "1", "1"),
        d("M2", "", "", "", "M2", "2", "3", "11"),
        d("M2", "G2", "P2", "A2", "OTRA", "5", "2,5", "1½"),
        d("M1", "", "", "", "lect", "-1", "-2", "1"),
    };
    ASSERT_EQ(solucion.children.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(solucion.children[i].name, "dsolucion");
        EXPECT_EQ(solucion.children[i].attributes, expected[i]) << "dsolucion " << i;
        EXPECT_TRUE(solucion.children[i].children.empty());
    }
}

// A code that appears twice in a table is translated by its first row, as a search from
// the top finds it.
TEST_F(Retorno, RepeatedCodeTakesItsFirstRow)
{
    exportar(kCatalogo);
    const struct {
        const char* table;
        const char* key;
        const char* code;
        const char* idField;
    } repeated[] = {
        {"ASIGNOMT", "COD", "MAT", "IDASIG"},
        {"GRUPOST", "ABREV", "M1ESOA", "IDGRUPO"},
        {"PROFT", "ABREV", "ICO", "IDPROF"},
        {"AULAT", "ABREV", "LdF", "IDAULA"},
    };
    for (const auto& r : repeated) {
        dbf::Table t(workDir(), r.table);
        t.open();
        t.append();
        t.setText(r.key, r.code);
        t.setText(r.idField, "OTRO");
        t.post();
        t.close();
    }
    writeSoluc({{"1", "1", "1", "M1ESOA", "MAT", "MAT", "ICO", "LdF"}});
    EXPECT_EQ(retornar().escritos, 1u);
    const XmlElement root = parseXml(result());
    ASSERT_EQ(root.children.size(), 1u);
    ASSERT_EQ(root.children[0].children.size(), 1u);
    EXPECT_EQ(root.children[0].children[0].attributes,
        (Attributes{{"casig", "M1"}, {"cgrupo", "G1"}, {"cprofe", "P1"}, {"caula", "A1"}, {"cactiv", "M1"},
            {"dia", "1"}, {"hora", "1"}, {"sesiones", "1"}, {"idcurso", ""}}));
}

TEST_F(Retorno, EmptyTimetable)
{
    exportar(kCatalogo);
    writeSoluc({{"0", "1", "1", "M1ESOA", "MAT", "LECT", "ICO", "LdF"}});
    const ResumenRetorno r = retornar();
    EXPECT_EQ(r.escritos, 0u);
    const XmlElement root = parseXml(result());
    ASSERT_EQ(root.children.size(), 1u);
    EXPECT_TRUE(root.children[0].children.empty());
}

TEST_F(Retorno, KeepsTheProlog)
{
    // An ISO-8859-1 document with a comment and a processing instruction before the root,
    // and a comment after it, which the result puts before its new root.
    const std::string latin1 = std::string("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n")
        + "<!-- exportado por Zedra -->\n<?zedra version=\"7\"?>\n"
        + "<centro codigo_interno=\"1\" nombre=\"IES Nuestra Se\xF1ora de Bego\xF1"
          "a\" curso=\"2026\" version=\"2\">"
        + "<materias><dmaterias abrev=\"MAT\" codigo_actividad=\"DOC\" codigo=\"M1\"/></materias></centro>\n"
        + "<!-- fin -->\n";
    exportar(latin1);
    writeSoluc({{"1", "1", "1", "", "MAT", "LECT", "", ""}});
    retornar();
    const std::string bytes = readFile(result());
    EXPECT_EQ(bytes.rfind("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
                          "<!-- exportado por Zedra -->\n<?zedra version=\"7\"?>\n<!-- fin -->\n<centro ",
                  0),
        0u)
        << bytes;
    EXPECT_NE(bytes.find("nombre=\"IES Nuestra Se\xF1ora de Bego\xF1"
                         "a\""),
        std::string::npos)
        << bytes;
    EXPECT_EQ(bytes.find("<materias"), std::string::npos);
    EXPECT_EQ(bytes.find("<!-- fin -->", bytes.find("<centro")), std::string::npos);
}

// fecha_exportacion follows whatever regional settings the system has, in any script; a
// result whose encoding cannot hold a character writes it as a character reference.
TEST_F(Retorno, DateOfTheRunInEveryLocaleAndEncoding)
{
    struct Locale {
        const char* label;
        RegionalSettings settings;
        std::string written; // UTF-8
    };
    RegionalSettings greek = spanishSettings();
    greek.shortDateFormat = "d/M/yyyy";
    greek.twelveHour = true;
    greek.hourLeadingZero = false;
    greek.amDesignator = "π.μ.";
    greek.pmDesignator = "μ.μ.";
    RegionalSettings arabic = spanishSettings();
    arabic.shortDateFormat = "dd\u060DMM\u060Dyyyy"; // the Arabic date separator
    RegionalSettings korean = spanishSettings();
    korean.shortDateFormat = "yyyy-MM-dd";
    korean.twelveHour = true;
    korean.hourLeadingZero = false;
    korean.amDesignator = "오전";
    korean.pmDesignator = "오후";
    korean.designatorBeforeTime = true;
    const Locale locales[] = {
        {"Greek", greek, "11/12/2026 9:05:07 μ.μ."},
        {"Arabic", arabic, "11\u060D12\u060D2026 21:05:07"},
        {"Korean", korean, "2026-12-11 오후 9:05:07"},
    };
    exportar(kCatalogo);
    writeSoluc({{"1", "1", "1", "M1ESOA", "MAT", "LECT", "ICO", "LdF"}});
    std::tm tarde = momento();
    tarde.tm_hour = 21;
    const std::string root = "<centro codigo_interno=\"1\" nombre=\"N\" curso=\"C\" version=\"V\"/>";
    for (const char* encoding : {"UTF-8", "ISO-8859-1"}) {
        writeFile(document(), "<?xml version=\"1.0\" encoding=\"" + std::string(encoding) + "\"?>\n" + root);
        for (const Locale& l : locales) {
            SCOPED_TRACE(std::string(encoding) + ", " + l.label);
            RetornoHorario run(document(), workDir(), l.settings, tarde);
            run.ejecutar();
            const XmlElement written = parseXml(result());
            ASSERT_EQ(written.attributes.size(), 5u);
            EXPECT_EQ(written.attributes[3], (std::pair<std::string, std::string>{"fecha_exportacion", l.written}));
            const std::string bytes = readFile(result());
            const bool latin = std::string_view(encoding) == "ISO-8859-1";
            EXPECT_EQ(bytes.find(l.written) != std::string::npos, !latin);
            EXPECT_EQ(bytes.find("fecha_exportacion=\"" + std::string(l.written.substr(0, 2))) != std::string::npos
                    && bytes.find("&#") != std::string::npos,
                latin);
        }
    }
}

TEST(RutaResultado, FileNameRule)
{
    struct Case {
        const char* document;
        EstiloRuta style;
        const char* result;
    };
    const Case cases[] = {
        {"D:\\datos\\centro.xml", EstiloRuta::Windows, "D:\\datos\\ResultadoVeltrixcentro.xml"},
        {"D:centro.xml", EstiloRuta::Windows, "D:ResultadoVeltrixcentro.xml"},
        {"D:/datos/centro.xml", EstiloRuta::Windows, "D:/datos/ResultadoVeltrixcentro.xml"},
        {"centro.xml", EstiloRuta::Windows, "ResultadoVeltrixcentro.xml"},
        {"D:\\datos\\ResultadoVeltrixcentro.xml", EstiloRuta::Windows,
            "D:\\datos\\ResultadoVeltrixResultadoVeltrixcentro.xml"},
        {"/home/ana/centro.xml", EstiloRuta::Posix, "/home/ana/ResultadoVeltrixcentro.xml"},
        {"datos\\centro.xml", EstiloRuta::Posix, "ResultadoVeltrixdatos\\centro.xml"},
        {"a:b/c.xml", EstiloRuta::Posix, "a:b/ResultadoVeltrixc.xml"},
        {"centro.xml", EstiloRuta::Posix, "ResultadoVeltrixcentro.xml"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(rutaResultado(c.document, c.style), c.result) << c.document;
}

} // namespace
