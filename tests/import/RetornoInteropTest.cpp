// SOLUC.DBF comes from another program: the run on tables written by python3-dbf, in the
// dBase III and Visual FoxPro variants, with numeric and character SESIONES.
#include "RetornoFixture.h"

using namespace ponteva;
using namespace ponteva::test;

namespace {

class RetornoInterop : public RetornoTest {
protected:
    // Returns false when python3-dbf is missing.
    bool writeWithPython(const std::string& type, const std::string& sesionesField, const std::string& sesiones)
    {
        const std::string script = "import dbf, sys\n"
                                   "t = dbf.Table(sys.argv[1], 'DIA N(1,0); HORA N(4,1); SESIONES "
            + sesionesField + "; CODGRUPO C(10); ASIG C(10); TAREA C(10); PROF C(10); AULA C(10)', dbf_type='" + type
            + "', codepage='cp1252')\n"
              "t.open(dbf.READ_WRITE)\n"
              "t.append((1, 2.5, "
            + sesiones
            + ", 'M1ESOA', 'MAT', 'LECT', 'ICO', 'LdF'))\n"
              "t.append((3, 4, "
            + sesiones
            + ", 'T2ESOB', 'FQ', 'FQ', 'JGP', 'Gimnasio'))\n"
              "t.append((0, 4, "
            + sesiones
            + ", 'T2ESOB', 'FQ', 'FQ', 'JGP', 'Gimnasio'))\n"
              "t.append((4, 4, "
            + sesiones
            + ", 'T2ESOB', 'FQ', 'FQ', 'JGP', 'Gimnasio'))\n"
              "dbf.delete(t[3])\n"
              "t.close()\n";
        writeFile(m_tmp / "soluc.py", script);
        std::string out;
        const int status = runCommand(systemPython() + " " + shellQuote((m_tmp / "soluc.py").string()) + " "
                + shellQuote((workDir() / "soluc").string()) + " 2>&1",
            out);
        if (status != 0 && out.find("No module named 'dbf'") != std::string::npos)
            return false;
        EXPECT_EQ(status, 0) << out;
        return true;
    }
};

TEST_F(RetornoInterop, SolucFromAnotherWriter)
{
    PONTEVA_SKIP_HOST_TOOLS();
    struct Case {
        const char* type;
        const char* field;
        const char* value;
        const char* text;
    };
    const Case cases[] = {
        {"db3", "N(2,0)", "11", "11"},
        {"db3", "C(20)", "'11 '", "11"},
        {"vfp", "N(2,0)", "2", "2"},
        {"vfp", "C(20)", "'1\\xbd'", "1½"},
    };
    exportar(kCatalogo);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.type) + " " + c.field);
        for (const auto& entry : std::filesystem::directory_iterator(workDir())) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("soluc.", 0) == 0 || name.rfind("SOLUC.", 0) == 0)
                std::filesystem::remove(entry.path());
        }
        if (!writeWithPython(c.type, c.field, c.value))
            GTEST_SKIP() << "python3-dbf is not installed";
        const ResumenRetorno r = retornar();
        EXPECT_EQ(r.escritos, 2u);
        EXPECT_EQ(r.omitidosDiaHora, 1u);
        const XmlElement root = parseXml(result());
        ASSERT_EQ(root.children.size(), 1u);
        const auto& entries = root.children[0].children;
        ASSERT_EQ(entries.size(), 2u);
        EXPECT_EQ(entries[0].attributes,
            (Attributes{{"casig", "M1"}, {"cgrupo", "G1"}, {"cprofe", "P1"}, {"caula", "A1"}, {"cactiv", "LECT"},
                {"dia", "1"}, {"hora", "2,5"}, {"sesiones", c.text}, {"idcurso", ""}}));
        EXPECT_EQ(entries[1].attributes[4], (std::pair<std::string, std::string>{"cactiv", "M2"}));
        EXPECT_EQ(entries[1].attributes[6].second, "4") << "a numeric field's text is its value";
    }
}

// HORA in numeric fields of other widths: its text is its value, written the shortest way
// with the regional separator, never the stored digits.
TEST_F(RetornoInterop, HoraTextIsItsValue)
{
    PONTEVA_SKIP_HOST_TOOLS();
    struct Case {
        const char* field;
        const char* value;
        const char* text;
    };
    const Case cases[] = {
        {"N(4,1)", "4", "4"},
        {"N(5,2)", "2.5", "2,5"},
        {"N(5,2)", "1.25", "1,25"},
        {"N(5,2)", "-1", "-1"},
        {"N(3,0)", "12", "12"},
    };
    exportar(kCatalogo);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.field) + " " + c.value);
        const std::string script = std::string("import dbf, sys\n"
                                               "t = dbf.Table(sys.argv[1], 'DIA N(1,0); HORA ")
            + c.field
            + "; SESIONES N(2,0); CODGRUPO C(10); ASIG C(10); TAREA C(10); PROF C(10); AULA C(10)', "
              "dbf_type='db3', codepage='cp1252')\n"
              "t.open(dbf.READ_WRITE)\n"
              "t.append((1, "
            + c.value
            + ", 2, 'M1ESOA', 'MAT', 'LECT', 'ICO', 'LdF'))\n"
              "t.close()\n";
        std::filesystem::remove(workDir() / "SOLUC.DBF");
        std::filesystem::remove(workDir() / "soluc.dbf");
        writeFile(m_tmp / "horas.py", script);
        std::string out;
        const int status = runCommand(systemPython() + " " + shellQuote((m_tmp / "horas.py").string()) + " "
                + shellQuote((workDir() / "soluc").string()) + " 2>&1",
            out);
        if (status != 0 && out.find("No module named 'dbf'") != std::string::npos)
            GTEST_SKIP() << "python3-dbf is not installed";
        ASSERT_EQ(status, 0) << out;
        EXPECT_EQ(retornar().escritos, 1u);
        const auto parsed = parseXml(result()); // the entry below lives inside it
        const auto& entry = parsed.children.at(0).children.at(0);
        EXPECT_EQ(entry.attributes.at(6), (std::pair<std::string, std::string>{"hora", c.text}));
        EXPECT_EQ(entry.attributes.at(7), (std::pair<std::string, std::string>{"sesiones", "2"}));
    }
}

} // namespace
