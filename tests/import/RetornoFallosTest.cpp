// The return run's refusals: the chosen document is never written, and a failure leaves
// no result (and an earlier result as it was).
#include "RetornoFixture.h"

#include "core/Error.h"

using namespace ponteva;
using namespace ponteva::test;

namespace {

class RetornoFallos : public RetornoTest {
protected:
    void SetUp() override
    {
        exportar(kCatalogo);
        writeSoluc({{"1", "1", "1", "M1ESOA", "MAT", "LECT", "ICO", "LdF"}});
    }
    // Runs on the given document; returns the error's message.
    std::string failWith(const std::string& doc)
    {
        writeFile(document(), doc);
        try {
            retornar();
        } catch (const Error& e) {
            return e.what();
        }
        return "no error";
    }
};

TEST_F(RetornoFallos, DocumentsThatCannotBeReturned)
{
    struct Case {
        const char* why;
        std::string doc;
        const char* message;
    };
    const std::string attrs = "codigo_interno=\"1\" nombre=\"N\" curso=\"C\" version=\"V\"";
    const Case cases[] = {
        {"not well-formed", "<centro " + attrs + "><materias></centro>", "no es un documento XML válido"},
        {"empty file", "", "no es un documento XML válido"},
        {"other root", "<colegio " + attrs + "/>", "su elemento raíz no es 'centro'"},
        {"no codigo_interno", "<centro nombre=\"N\" curso=\"C\" version=\"V\"/>",
            "le falta el atributo 'codigo_interno'"},
        {"no nombre", "<centro codigo_interno=\"1\" curso=\"C\" version=\"V\"/>", "le falta el atributo 'nombre'"},
        {"no curso", "<centro codigo_interno=\"1\" nombre=\"N\" version=\"V\"/>", "le falta el atributo 'curso'"},
        {"no version", "<centro codigo_interno=\"1\" nombre=\"N\" curso=\"C\"/>", "le falta el atributo 'version'"},
        {"entity", "<!DOCTYPE centro [<!ENTITY x \"y\">]><centro " + attrs + "/>", "entidades"},
    };
    writeFile(result(), "earlier result");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const std::string message = failWith(c.doc);
        EXPECT_NE(message.find(c.message), std::string::npos) << message;
        EXPECT_EQ(readFile(document()), c.doc);
        EXPECT_EQ(readFile(result()), "earlier result");
    }
    // The tables were closed on the failure path: the next run opens them.
    writeFile(document(), kCatalogo);
    EXPECT_NO_THROW(retornar());
}

TEST_F(RetornoFallos, MissingInput)
{
    RetornoHorario noDocument(m_tmp / "no-existe.xml", workDir(), spanishSettings());
    RetornoHorario noPath("", workDir(), spanishSettings());
    writeFile(document(), kCatalogo);
    std::filesystem::remove(workDir() / "SOLUC.DBF");
    RetornoHorario noSoluc(document(), workDir(), spanishSettings());
    for (RetornoHorario* run : {&noDocument, &noPath, &noSoluc}) {
        try {
            run->ejecutar();
            ADD_FAILURE() << "no error";
        } catch (const MissingInputError& e) {
            EXPECT_STREQ(e.what(), "No existe archivo XML o Solución.");
        }
    }
    EXPECT_FALSE(std::filesystem::exists(result()));
}

TEST_F(RetornoFallos, SolucWrittenInLowerCaseIsFound)
{
    std::filesystem::rename(workDir() / "SOLUC.DBF", workDir() / "soluc.dbf");
    writeFile(document(), kCatalogo);
    EXPECT_EQ(retornar().escritos, 1u);
}

TEST_F(RetornoFallos, HeldOrMissingTables)
{
    writeFile(document(), kCatalogo);
    const std::string original = readFile(document());
    for (const char* name : {"SOLUC", "GRUPOST", "ASIGT"}) {
        SCOPED_TRACE(name);
        dbf::Table held(workDir(), name);
        held.open();
        try {
            retornar();
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(name), std::string::npos) << e.what();
        }
        EXPECT_FALSE(std::filesystem::exists(result()));
    }
    std::filesystem::remove(workDir() / "AULAT.DBF");
    try {
        retornar();
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("AULAT"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(std::filesystem::exists(result()));
    EXPECT_EQ(readFile(document()), original);
}

TEST_F(RetornoFallos, SolucWithoutAField)
{
    dbf::Table t(workDir(), "SOLUC");
    dbf::Table::removeFiles(workDir(), "SOLUC");
    t.create({{"DIA", dbf::FieldType::Integer, 0}, {"HORA", dbf::FieldType::Integer, 0}});
    writeFile(document(), kCatalogo);
    try {
        retornar();
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "La tabla SOLUC no tiene el campo 'SESIONES'.");
    }
}

TEST_F(RetornoFallos, SolucCutShortIsRefused)
{
    writeSoluc({{"1", "1", "1", "M1ESOA", "MAT", "LECT", "ICO", "LdF"},
        {"2", "1", "1", "M1ESOA", "MAT", "LECT", "ICO", "LdF"}});
    const std::filesystem::path soluc = workDir() / "SOLUC.DBF";
    std::string bytes = readFile(soluc);
    bytes.resize(bytes.size() - 1 - 10); // the end marker and part of the last row
    writeFile(soluc, bytes);
    writeFile(document(), kCatalogo);
    try {
        retornar();
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("La tabla SOLUC está dañada: el encabezado anuncia 2 registros, pero el "
                                             "archivo solo contiene 1 completo"),
            std::string::npos)
            << e.what();
    }
    EXPECT_FALSE(std::filesystem::exists(result()));
}

TEST_F(RetornoFallos, HoraKeptAsText)
{
    writeFile(document(), kCatalogo);
    // Spanish settings: the decimal comma.
    writeSoluc({{"1", "2,5", "1", "M1ESOA", "MAT", "LECT", "ICO", "LdF"},
                   {"2", "", "1", "M1ESOA", "MAT", "LECT", "ICO", "LdF"}},
        dbf::FieldType::Character);
    const ResumenRetorno r = retornar();
    EXPECT_EQ(r.escritos, 1u);
    EXPECT_EQ(r.omitidosDiaHora, 1u) << "an empty HORA reads as 0";
    EXPECT_EQ(parseXml(result()).children.at(0).children.at(0).attributes.at(6),
        (std::pair<std::string, std::string>{"hora", "2,5"}));

    std::filesystem::remove(result());
    writeSoluc({{"1", "2.5", "1", "M1ESOA", "MAT", "LECT", "ICO", "LdF"}}, dbf::FieldType::Character);
    try {
        retornar();
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("'2.5' no es un número válido para el campo 'HORA'"), std::string::npos)
            << e.what();
    }
    EXPECT_FALSE(std::filesystem::exists(result()));
}

TEST_F(RetornoFallos, SaveFailureIsReported)
{
    writeFile(document(), kCatalogo);
    std::filesystem::create_directory(result()); // a folder stands where the result goes
    EXPECT_THROW(retornar(), Error);
    EXPECT_TRUE(std::filesystem::is_directory(result()));
    for (const auto& entry : std::filesystem::directory_iterator(m_tmp.path()))
        EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
}

TEST_F(RetornoFallos, ExportMayFollowAReturn)
{
    writeFile(document(), kCatalogo);
    retornar();
    exportar(kCatalogo);
    EXPECT_EQ(readRows(workDir(), "GRUPOST").size(), 2u);
    EXPECT_EQ(retornar().escritos, 1u);
}

} // namespace
