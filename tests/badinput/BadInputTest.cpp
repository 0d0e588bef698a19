// Hostile and broken input, one case a row: each case arranges a school's folders, runs
// the export or the return, and says what the user reads. After every case the chosen
// document is unchanged, no file anywhere was created or changed (a run that succeeds
// touches only the working directory or its result), and the same process runs a
// sound export and return at once.
#include "core/Error.h"
#include "core/Regional.h"
#include "export/Exportacion.h"
#include "export/ReemplazoTablas.h"
#include "import/RetornoHorario.h"
#include "tests/badinput/Sandbox.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <sys/resource.h>

using namespace ponteva;
using namespace ponteva::test;
namespace fs = std::filesystem;

namespace {

enum class Run { Export, Return };

struct Case {
    const char* name;
    Run run;
    std::function<void(Sandbox&)> arrange; // after fill()
    // What the user reads, in pieces in this order; nothing for a run that succeeds.
    std::vector<std::string> message;
    double maxSeconds = 20; // generous: the suite also runs under the sanitizers
    long maxGrowthMb = 0; // how far the process's peak memory may rise; 0: not checked
};

long peakMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

std::string exportMessage(const std::string& reason)
{
    return "no es un documento XML válido: " + reason;
}

void putBytes(Sandbox& s, const std::string& bytes)
{
    writeFile(s.document, bytes);
}

void putSoluc(Sandbox& s, const DbfFixture& f)
{
    writeFile(s.workDir / "SOLUC.DBF", f.bytes());
}

std::string utf16le(std::string_view ascii)
{
    std::string out;
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

std::string repeated(std::string_view piece, std::size_t times)
{
    std::string out;
    out.reserve(piece.size() * times);
    for (std::size_t i = 0; i < times; ++i)
        out += piece;
    return out;
}

const std::string kIntactas = kTablasIntactas;
const char* const kNoXml = ". No se ha modificado ninguna tabla.";
const char* const kNoResultado = "No se ha escrito ningún resultado.";

std::vector<Case> cases()
{
    std::vector<Case> c;
    // The XML document.
    c.push_back({"NotWellFormed", Run::Export, [](Sandbox& s) { putBytes(s, "<centro><materias>\n<dmaterias>"); },
        {"El archivo '", "centro.xml' ", "no es un documento XML válido", "(línea 2)", kNoXml}});
    c.push_back(
        {"EmptyFile", Run::Export, [](Sandbox& s) { putBytes(s, ""); }, {exportMessage("Document is empty"), kNoXml}});
    c.push_back({"NotXmlAtAll", Run::Export, [](Sandbox& s) { putBytes(s, "\x89PNG\r\n\x1a\n\0\0\0\rIHDR"); },
        {"no es un documento XML válido", kNoXml}});
    c.push_back({"Utf16WithoutByteOrderMark", Run::Export,
        [](Sandbox& s) { putBytes(s, utf16le("<centro><materias/></centro>")); },
        {"no es un documento XML válido", kNoXml}});
    c.push_back({"DeclaredUtf8HoldsLatin1", Run::Export,
        [](Sandbox& s) {
            putBytes(s,
                "<?xml version=\"1.0\" encoding=\"UTF-8\"?><centro><materias><dmaterias abrev=\"\xD1U\"/>"
                "</materias></centro>");
        },
        {"no es un documento XML válido", "UTF-8", kNoXml}});
    c.push_back({"UnknownDeclaredEncoding", Run::Export,
        [](Sandbox& s) { putBytes(s, "<?xml version=\"1.0\" encoding=\"KLINGON\"?><centro/>"); },
        {"no es un documento XML válido", "KLINGON", kNoXml}});
    c.push_back({"ExternalEntityToALocalFile", Run::Export,
        [](Sandbox& s) {
            writeFile(s.tmp / "secreto.txt", "CONTENIDO-SECRETO");
            putBytes(s,
                "<?xml version=\"1.0\"?><!DOCTYPE centro [<!ENTITY x SYSTEM \"file://"
                    + (s.tmp / "secreto.txt").string()
                    + "\">]><centro><materias><dmaterias abrev=\"&x;\" nombre=\"&x;\" codigo=\"1\"/></materias>"
                      "</centro>");
        },
        {"no es un documento XML válido", "declara entidades", kNoXml}});
    c.push_back({"BillionLaughs", Run::Export,
        [](Sandbox& s) {
            std::string dtd = "<!ENTITY l0 \"lol\">";
            for (int i = 1; i <= 9; ++i)
                dtd += "<!ENTITY l" + std::to_string(i) + " \"" + repeated("&l" + std::to_string(i - 1) + ";", 10)
                    + "\">";
            putBytes(s,
                "<?xml version=\"1.0\"?><!DOCTYPE centro [" + dtd
                    + "]><centro><materias><dmaterias abrev=\"&l9;\"/></materias></centro>");
        },
        {"no es un documento XML válido", "declara entidades", kNoXml}, 5, 64});
    c.push_back({"FiftyMegabyteAttribute", Run::Export,
        [](Sandbox& s) {
            putBytes(s,
                "<centro><materias><dmaterias abrev=\"" + std::string(50u << 20, 'A')
                    + "\" codigo=\"1\"/></materias></centro>");
        },
        {"no es un documento XML válido", kNoXml}, 60});
    c.push_back({"HundredThousandSections", Run::Export,
        [](Sandbox& s) {
            std::string doc = "<centro>";
            for (int i = 0; i < 100000; ++i)
                doc += "<profesores><profesor abrev=\"P" + std::to_string(i) + "\" codigo=\"" + std::to_string(i)
                    + "\"/></profesores>";
            putBytes(s, doc + "</centro>");
        },
        {}, 90});
    c.push_back({"DeepNesting", Run::Export,
        [](Sandbox& s) { putBytes(s, "<centro>" + repeated("<a>", 100000) + repeated("</a>", 100000) + "</centro>"); },
        {"no es un documento XML válido", kNoXml}});
    c.push_back({"ReturnOfADocumentThatIsNotXml", Run::Return, [](Sandbox& s) { putBytes(s, "no soy XML"); },
        {"no es un documento XML válido", kNoResultado}});
    c.push_back({"ReturnOfABillionLaughs", Run::Return,
        [](Sandbox& s) {
            std::string dtd = "<!ENTITY l0 \"lol\">";
            for (int i = 1; i <= 9; ++i)
                dtd += "<!ENTITY l" + std::to_string(i) + " \"" + repeated("&l" + std::to_string(i - 1) + ";", 10)
                    + "\">";
            putBytes(s,
                "<?xml version=\"1.0\"?><!DOCTYPE centro [" + dtd
                    + "]><centro codigo_interno=\"&l9;\" nombre=\"\" curso=\"\" version=\"\"/>");
        },
        {"declara entidades", kNoResultado}, 5, 64});

    // The tables.
    c.push_back({"TruncatedHeader", Run::Return,
        [](Sandbox& s) { writeFile(s.workDir / "SOLUC.DBF", soluc().bytes().substr(0, 20)); },
        {"La tabla SOLUC está dañada: el archivo tiene 20 bytes, menos que los 32 del encabezado."}});
    c.push_back({"DescriptorsRunPastTheHeader", Run::Return,
        [](Sandbox& s) {
            DbfFixture f = soluc();
            f.headerLength = 32 + 7 * 32 + 10; // the eighth descriptor is cut
            f.terminator = false;
            putSoluc(s, f);
        },
        {"La tabla SOLUC está dañada: la descripción del campo 8 sale del encabezado"}});
    c.push_back({"RecordCountLargerThanTheFile", Run::Return,
        [](Sandbox& s) {
            DbfFixture f = soluc();
            f.recordCount = 1000;
            putSoluc(s, f);
        },
        {"La tabla SOLUC está dañada: el encabezado anuncia 1000 registros, pero el archivo solo contiene 3 "
         "completos"}});
    c.push_back({"RecordCountSmallerThanTheFile", Run::Return,
        [](Sandbox& s) {
            DbfFixture f = soluc();
            f.recordCount = 1;
            putSoluc(s, f);
        },
        {}});
    c.push_back({"ZeroWidthField", Run::Return,
        [](Sandbox& s) {
            DbfFixture f = soluc();
            f.fields[2].width = 0;
            putSoluc(s, f);
        },
        {"La tabla SOLUC está dañada: el campo 3 ('SESIONES') tiene ancho 0"}});
    c.push_back({"Width255Field", Run::Return,
        [](Sandbox& s) {
            DbfFixture f = soluc(1);
            f.fields[4].width = 255;
            f.rows[0] = row({" 1", " 1.0", "1   ", padRight("M1ESOA", 10), padRight("MAT", 255), padRight("DOC", 10),
                padRight("ICO", 10), padRight("AU", 10)});
            putSoluc(s, f);
        },
        {}});
    c.push_back({"FieldNameWithoutTerminator", Run::Return,
        [](Sandbox& s) {
            DbfFixture f = soluc();
            f.fields[4].name = "ASIGNATURAS"; // eleven letters fill the name bytes: no zero ends it
            putSoluc(s, f);
        },
        {"La tabla SOLUC no tiene el campo 'ASIG'."}});
    c.push_back({"NumericFieldHoldsLetters", Run::Return,
        [](Sandbox& s) {
            DbfFixture f = soluc(1);
            f.rows[0].replace(1, 2, "ab");
            putSoluc(s, f);
        },
        {"'ab' no es un valor entero válido para el campo 'DIA'"}});
    c.push_back({"SolucHeldByAnotherProcess", Run::Return,
        [](Sandbox& s) { s.holder = std::make_unique<Holder>(s.workDir / "SOLUC.DBF"); },
        {"La tabla SOLUC está en uso por otro programa; ciérrela y vuelva a intentarlo."}});
    c.push_back({"TableHeldByAnotherProcessDuringExport", Run::Export,
        [](Sandbox& s) { s.holder = std::make_unique<Holder>(s.workDir / "GRUPOST.DBF"); },
        {"La tabla GRUPOST está en uso por otro programa; ciérrela y vuelva a intentarlo. " + kIntactas}});
    c.push_back({"WorkingDirectoryIsAFile", Run::Export,
        [](Sandbox& s) {
            fs::remove_all(s.workDir);
            writeFile(s.workDir, "not a folder");
        },
        {"No existe el directorio de trabajo '", "VTEMP'. No se ha escrito ninguna tabla."}});
    c.push_back({"WorkingDirectoryIsAFileOnReturn", Run::Return,
        [](Sandbox& s) {
            fs::remove_all(s.workDir);
            writeFile(s.workDir, "not a folder");
        },
        {"No existe archivo XML o Solución."}});
    c.push_back({"ReadOnlyWorkingDirectory", Run::Export,
        [](Sandbox& s) {
            if (s.mountSmall(s.workDir, "1m") && !s.mount->makeReadOnly())
                s.skip = "the file system cannot be made read-only here";
        },
        {"No se puede escribir en el directorio de trabajo '", "': el disco es de solo lectura. " + kIntactas}});
    c.push_back({"ReadOnlyWorkingDirectoryOnReturn", Run::Return,
        [](Sandbox& s) {
            if (s.mountSmall(s.workDir, "1m") && !s.mount->makeReadOnly())
                s.skip = "the file system cannot be made read-only here";
        },
        {}});
    c.push_back({"FullDiskDuringTheExport", Run::Export,
        [](Sandbox& s) {
            std::string doc = "<centro><profesores>";
            for (int i = 0; i < 2000; ++i)
                doc += "<profesor abrev=\"P" + std::to_string(i) + "\" nombre=\"Nombre\" codigo=\"" + std::to_string(i)
                    + "\"/>";
            putBytes(s, doc + "</profesores></centro>");
            s.mountSmall(s.workDir, "128k"); // the old tables fit; 2,000 teachers do not
        },
        {"No se pudo", "PROFT", "no queda espacio en el disco", kIntactas}});
    c.push_back({"FullDiskDuringTheSave", Run::Return,
        [](Sandbox& s) {
            putSoluc(s, soluc(5000)); // a result far larger than the room left beside the document
            s.mountSmall(s.document.parent_path(), "64k");
        },
        {"no queda espacio en el disco"}});

    // Paths.
    c.push_back({"AccentsAndBlanksInNames", Run::Return,
        [](Sandbox& s) {
            const fs::path doc = s.tmp / "Año 2026" / "Horario Ñandú.xml";
            fs::create_directories(doc.parent_path());
            fs::rename(s.document, doc);
            s.document = doc;
        },
        {}});
    c.push_back({"AccentsAndBlanksInNamesOnExport", Run::Export,
        [](Sandbox& s) {
            const fs::path doc = s.tmp / "Año 2026" / "Horario Ñandú.xml";
            fs::create_directories(doc.parent_path());
            fs::rename(s.document, doc);
            s.document = doc;
        },
        {}});
    c.push_back({"CharactersWindowsForbids", Run::Return,
        [](Sandbox& s) {
            const fs::path doc = s.document.parent_path() / "a:b?c*d<e>f|g\"h.xml";
            fs::rename(s.document, doc);
            s.document = doc;
        },
        {}});
    c.push_back({"DocumentPathIsADirectory", Run::Export, [](Sandbox& s) { s.document = s.document.parent_path(); },
        {"No existe archivo"}});
    c.push_back({"DocumentPathIsADirectoryOnReturn", Run::Return,
        [](Sandbox& s) { s.document = s.document.parent_path(); }, {"No existe archivo XML o Solución."}});
    c.push_back({"ReadOnlyResultFile", Run::Return,
        [](Sandbox& s) {
            writeFile(s.result(), "resultado anterior");
            fs::permissions(s.result(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        },
        {"El archivo de resultado '", "' es de solo lectura. ", kNoResultado}});
    return c;
}

std::string runCase(const Case& c, Sandbox& s)
{
    try {
        if (c.run == Run::Export)
            Exportacion(s.document, s.workDir, spanishSettings()).ejecutar();
        else
            RetornoHorario(s.document, s.workDir, spanishSettings()).ejecutar();
    } catch (const Error& e) {
        return e.what();
    }
    return "";
}

// Entries of after that differ from before, outside the allowed place.
std::vector<std::string> changedOutside(const std::map<std::string, std::string>& before,
    const std::map<std::string, std::string>& after, const std::string& allowed)
{
    std::vector<std::string> changed;
    auto outside = [&](const std::string& name) { return allowed.empty() || name.rfind(allowed, 0) != 0; };
    for (const auto& [name, bytes] : after) {
        const auto it = before.find(name);
        if ((it == before.end() || it->second != bytes) && outside(name))
            changed.push_back(name);
    }
    for (const auto& [name, bytes] : before) {
        if (!after.count(name) && outside(name))
            changed.push_back(name);
    }
    return changed;
}

class BadInput : public ::testing::TestWithParam<Case> { };

TEST_P(BadInput, EndsClearlyAndTouchesNothing)
{
    const Case& c = GetParam();
    {
        Sandbox s;
        s.fill();
        c.arrange(s);
        if (!s.skip.empty())
            GTEST_SKIP() << s.skip;
        if (s.holder && !s.holder->holding())
            GTEST_SKIP() << "no other process could hold the table";
        const auto before = snapshot(s.tmp.path());
        const std::string document = fs::is_regular_file(s.document) ? readFile(s.document) : "";

        const long peakBefore = peakMb();
        const auto start = std::chrono::steady_clock::now();
        const std::string message = runCase(c, s);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_LT(seconds, c.maxSeconds);
        if (c.maxGrowthMb > 0) {
            EXPECT_LT(peakMb() - peakBefore, c.maxGrowthMb);
        }

        if (c.message.empty()) {
            EXPECT_EQ(message, "");
        } else {
            std::size_t at = 0;
            for (const std::string& piece : c.message) {
                const std::size_t found = message.find(piece, at);
                EXPECT_NE(found, std::string::npos) << "'" << piece << "' not in order in: " << message;
                at = found == std::string::npos ? at : found + piece.size();
            }
        }
        if (fs::is_regular_file(s.document)) {
            EXPECT_EQ(readFile(s.document), document) << "the document changed";
        }
        // A failed run changes nothing; one that succeeds changes its working directory or
        // writes its result, and nothing else.
        std::string allowed;
        if (c.message.empty())
            allowed = fs::relative(c.run == Run::Export ? s.workDir : s.result(), s.tmp.path()).string();
        EXPECT_EQ(changedOutside(before, snapshot(s.tmp.path()), allowed), std::vector<std::string>{});
        if (!c.message.empty() && c.run == Run::Return && c.name != std::string("ReadOnlyResultFile")) {
            EXPECT_FALSE(fs::exists(s.result())) << "a failed return left a result";
        }
        // The secret a hostile document pointed at reached no table.
        for (const auto& [name, bytes] : snapshot(s.tmp.path())) {
            if (name.find("secreto") == std::string::npos) {
                EXPECT_EQ(bytes.find("CONTENIDO-SECRETO"), std::string::npos) << name;
            }
        }
        EXPECT_EQ(message.find("CONTENIDO-SECRETO"), std::string::npos);
    }
    // The process is still sound: a whole export and return in new folders.
    Sandbox next;
    ASSERT_NO_THROW(next.fill());
    EXPECT_NO_THROW(RetornoHorario(next.document, next.workDir, spanishSettings()).ejecutar());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadInput, ::testing::ValuesIn(cases()), [](const auto& info) { return std::string(info.param.name); });

} // namespace
