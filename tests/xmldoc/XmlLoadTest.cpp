// Loading: every encoding a school's document may come in, the parser's reasons for a
// broken file, and the refusal of anything that could expand or reach outside the file.
#include "XmlTestSupport.h"

#include "text/Ansi.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace ponteva;
using namespace ponteva::test;
using ponteva::xml::Document;

namespace {

const std::string kNandu = "\xD1"
                           "and\xFA G\xFC"
                           "emes"; // Ñandú Güemes in Windows-1252
const std::string kJose = "Jos\xE9 Mar\xED"
                          "a"; // José María
const std::string kOeuvre = "\x8C"
                            "uvre \x80"; // Œuvre €

// A file loads, or fails to, alike whatever the depth: the parser reads all of it.
constexpr xml::LoadDepth kDepths[] = {xml::LoadDepth::Whole, xml::LoadDepth::Root};

const char* depthName(xml::LoadDepth depth)
{
    return depth == xml::LoadDepth::Whole ? "whole document" : "root only";
}

std::string centroWith(std::string_view oeuvre)
{
    return "<centro>\n  <alumnos>\n    <dalumno nombre=\"Ñandú Güemes\" otro=\"José María\" obra=\""
        + std::string(oeuvre) + "\"/>\n  </alumnos>\n</centro>\n";
}

struct EncodingCase {
    const char* label;
    std::string bytes;
};

std::vector<EncodingCase> encodingCases()
{
    const std::string body = centroWith("Œuvre €");
    const std::string latinBody = centroWith("&#x152;uvre &#x20AC;"); // Latin-1 holds neither
    const std::string decl8 = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    const std::string decl16 = "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n";
    return {
        {"UTF-8", decl8 + body},
        {"UTF-8 with BOM", "\xEF\xBB\xBF" + decl8 + body},
        {"UTF-8 with BOM, no declaration", "\xEF\xBB\xBF" + body},
        {"no declaration", body},
        {"UTF-16 LE", toUtf16(decl16 + body, false)},
        {"UTF-16 BE", toUtf16(decl16 + body, true)},
        {"ISO-8859-1", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n" + utf8ToAnsi(latinBody)},
        {"windows-1252", "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n" + utf8ToAnsi(body)},
    };
}

void expectAccents(const Document& doc, const char* label)
{
    const xml::Element alumno = doc.selectSingleNode("/centro/alumnos/dalumno");
    ASSERT_FALSE(alumno.isNull()) << label;
    EXPECT_EQ(alumno.attribute("nombre"), kNandu) << label;
    EXPECT_EQ(alumno.attribute("otro"), kJose) << label;
    EXPECT_EQ(alumno.attribute("obra"), kOeuvre) << label;
    EXPECT_STREQ(alumno.rawAttribute("nombre"), "Ñandú Güemes") << label;
}

TEST(XmlLoad, EveryEncodingReadsAccentsRight)
{
    for (const EncodingCase& c : encodingCases()) {
        TempDir dir;
        Document doc;
        const xml::LoadResult r = loadBytes(doc, dir, c.bytes);
        ASSERT_TRUE(r.ok) << c.label << ": " << r.describe();
        expectAccents(doc, c.label);
    }
}

TEST(XmlLoad, EveryEncodingSurvivesASave)
{
    for (const EncodingCase& c : encodingCases()) {
        TempDir dir;
        Document doc;
        ASSERT_TRUE(loadBytes(doc, dir, c.bytes)) << c.label;
        const std::string saved = doc.toBytes();
        Document again;
        const xml::LoadResult r = loadBytes(again, dir, saved, "again.xml");
        ASSERT_TRUE(r.ok) << c.label << ": " << r.describe();
        expectAccents(again, c.label);
    }
}

TEST(XmlLoad, SavedBytesKeepTheDeclaredEncoding)
{
    struct Case {
        const char* label;
        std::vector<std::string> present;
        std::vector<std::string> absent;
    };
    const Case cases[] = {
        {"UTF-8", {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<centro>", "Ñandú", "Œuvre €"}, {"\xEF\xBB\xBF"}},
        {"UTF-8 with BOM", {"\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n", "Ñandú"}, {}},
        {"no declaration", {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n", "Ñandú", "Œuvre €"}, {"&#"}},
        {"UTF-16 LE", {toUtf16("<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n<centro>", false)}, {}},
        // "UTF-16" is written little endian with its mark, whichever order the file came in.
        {"UTF-16 BE", {toUtf16("<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n<centro>", false)}, {}},
        // The accents stay single bytes; what Latin-1 lacks becomes a character reference.
        {"ISO-8859-1",
            {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n",
                "\xD1"
                "and\xFA",
                "Jos\xE9", "uvre &#"},
            {"\xC3", "\xC5\x92", "\x8C", "\x80"}},
        {"windows-1252",
            {"<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n",
                "\xD1"
                "and\xFA",
                "\x8C"
                "uvre \x80"},
            {"\xC3", "&#"}},
    };
    const std::vector<EncodingCase> inputs = encodingCases();
    for (const Case& c : cases) {
        const auto input = std::find_if(
            inputs.begin(), inputs.end(), [&](const EncodingCase& e) { return std::string_view(e.label) == c.label; });
        ASSERT_NE(input, inputs.end()) << c.label;
        TempDir dir;
        Document doc;
        ASSERT_TRUE(loadBytes(doc, dir, input->bytes)) << c.label;
        const std::string saved = doc.toBytes();
        for (const std::string& p : c.present)
            EXPECT_NE(saved.find(p), std::string::npos) << c.label << " lacks " << p;
        for (const std::string& a : c.absent)
            EXPECT_EQ(saved.find(a), std::string::npos) << c.label << " holds " << a;
    }
}

TEST(XmlLoad, BrokenDocumentsReportTheParsersReasonAndLine)
{
    struct Case {
        const char* label;
        std::string bytes;
        std::string describe; // whole text, or its start when prefix is set
        int line;
        bool prefix;
    };
    const Case cases[] = {
        {"tag mismatch", "<?xml version=\"1.0\"?>\n<centro>\n<aulas>\n<daula/>\n</centro>\n",
            "Opening and ending tag mismatch: aulas line 3 and centro (línea 5)", 5, false},
        {"empty file", "", "Document is empty", 1, true},
        {"no root", "<?xml version=\"1.0\"?>\n<!-- nada -->\n", "Start tag expected", 3, true},
        {"two roots", "<centro/>\n<centro/>\n", "Extra content at the end of the document (línea 2)", 2, false},
        {"bytes not in the declared encoding",
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<centro>\n<d n=\"\xD1"
            "and\xFA\"/>\n</centro>\n",
            "Input is not proper UTF-8, indicate encoding ! Bytes: 0xD1", 3, true},
        {"unknown encoding", "<?xml version=\"1.0\" encoding=\"x-desconocida\"?>\n<centro/>\n",
            "El documento está en la codificación 'x-desconocida', que este programa no sabe leer; guárdelo en UTF-8 "
            "o en Windows-1252 (línea 1).",
            1, false},
        {"unquoted attribute", "<centro>\n<d n=1/>\n</centro>", "AttValue: \" or ' expected (línea 2)", 2, false},
    };
    for (const Case& c : cases) {
        for (const xml::LoadDepth depth : kDepths) {
            SCOPED_TRACE(depthName(depth));
            TempDir dir;
            Document doc;
            testing::internal::CaptureStderr();
            const xml::LoadResult r = loadBytes(doc, dir, c.bytes, "centro.xml", depth);
            EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << c.label; // the reason goes to the caller only
            EXPECT_FALSE(r.ok) << c.label;
            EXPECT_EQ(r.line, c.line) << c.label << ": " << r.describe();
            if (c.prefix)
                EXPECT_EQ(r.describe().rfind(c.describe, 0), 0u) << c.label << ": " << r.describe();
            else
                EXPECT_EQ(r.describe(), c.describe) << c.label;
            EXPECT_EQ(r.reason.find('\n'), std::string::npos) << c.label;
            EXPECT_TRUE(doc.documentElement().isNull()) << c.label;
        }
    }
}

TEST(XmlLoad, FailedLoadLeavesTheDocumentEmpty)
{
    TempDir dir;
    Document doc;
    ASSERT_TRUE(loadBytes(doc, dir, "<centro><aulas><daula id=\"1\"/></aulas></centro>"));
    ASSERT_EQ(doc.selectNodes("/centro/aulas/daula").size(), 1u);
    EXPECT_FALSE(loadBytes(doc, dir, "<centro><aulas>", "roto.xml"));
    EXPECT_TRUE(doc.documentElement().isNull());
    EXPECT_TRUE(doc.selectNodes("/centro/aulas/daula").empty());
}

TEST(XmlLoad, FilesThatCannotBeReadAreRefusedInSpanish)
{
    TempDir dir;
    std::filesystem::create_directory(dir / "carpeta");
    // A sparse file just past the limit: refused from its size, never read.
    const auto huge = dir / "enorme.xml";
    writeFile(huge, "");
    std::filesystem::resize_file(huge, Document::kMaxFileSize + 1);
    const std::pair<std::filesystem::path, std::string> cases[] = {
        {dir / "no-esta.xml", "No se pudo abrir el archivo: no existe."},
        {dir / "carpeta", "No se pudo leer el archivo: es un directorio."},
        {huge, "El archivo ocupa más de 1 GiB; no se carga."},
    };
    for (const auto& [file, reason] : cases) {
        Document doc;
        const xml::LoadResult r = doc.load(file);
        EXPECT_FALSE(r.ok) << file;
        EXPECT_EQ(r.reason, reason) << file;
        EXPECT_EQ(r.line, 0) << file;
        EXPECT_EQ(r.describe(), reason) << file;
    }
}

// ---- Untrusted input ----

const std::string kEntityRefusal
    = "El documento declara entidades (<!ENTITY ...>), que un documento de Zedra no usa; no se carga por seguridad.";
const std::string kSecret = "SECRETO-DE-LA-SECRETARIA";

std::string billionLaughs()
{
    std::string dtd = "<!DOCTYPE centro [\n<!ENTITY lol0 \"lol\">\n";
    for (int i = 1; i <= 10; ++i) {
        dtd += "<!ENTITY lol" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; ++k)
            dtd += "&lol" + std::to_string(i - 1) + ";";
        dtd += "\">\n";
    }
    return "<?xml version=\"1.0\"?>\n" + dtd + "]>\n<centro nombre=\"&lol10;\">&lol10;</centro>\n";
}

std::string quadraticBlowup()
{
    std::string refs;
    for (int i = 0; i < 20000; ++i)
        refs += "&a;";
    return "<?xml version=\"1.0\"?>\n<!DOCTYPE centro [\n<!ENTITY a \"" + std::string(50000, 'a') + "\">\n]>\n"
        + "<centro nombre=\"" + refs + "\">" + refs + "</centro>\n";
}

TEST(XmlLoad, DocumentsDeclaringEntitiesAreRefused)
{
    TempDir dir;
    const auto secretFile = dir / "secreto.txt";
    writeFile(secretFile, kSecret);
#ifdef _WIN32
    const std::string secretUrl = "file:///" + secretFile.generic_string();
#else
    const std::string secretUrl = "file://" + secretFile.string();
#endif

    struct Case {
        const char* label;
        std::string bytes;
        int line;
    };
    const Case cases[] = {
        {"billion laughs", billionLaughs(), 3},
        {"quadratic blowup", quadraticBlowup(), 3},
        {"external entity reading a local file",
            "<?xml version=\"1.0\"?>\n<!DOCTYPE centro [\n<!ENTITY x SYSTEM \"" + secretUrl
                + "\">\n]>\n<centro nombre=\"a\">&x;</centro>\n",
            3},
        {"external entity by plain path",
            "<!DOCTYPE centro [<!ENTITY x SYSTEM \"" + secretFile.string() + "\">]><centro>&x;</centro>", 1},
        {"external parameter entity",
            "<!DOCTYPE centro [\n<!ENTITY % x SYSTEM \"" + secretUrl + "\">\n%x;\n]>\n<centro/>", 2},
        {"internal parameter entity",
            "<!DOCTYPE centro [\n<!ENTITY % p \"<!ENTITY y 'z'>\">\n%p;\n]>\n<centro>&y;</centro>", 2},
        {"unparsed entity",
            "<!DOCTYPE centro [\n<!NOTATION t SYSTEM \"text/plain\">\n<!ENTITY u SYSTEM \"" + secretUrl
                + "\" NDATA t>\n]>\n<centro/>",
            3},
        {"harmless internal entity", "<!DOCTYPE centro [<!ENTITY nombre \"Jos&#233;\">]><centro n=\"&nombre;\"/>", 1},
        {"network entity", "<!DOCTYPE centro [<!ENTITY x SYSTEM \"http://127.0.0.1:9/x\">]><centro>&x;</centro>", 1},
    };
    for (const Case& c : cases) {
        for (const xml::LoadDepth depth : kDepths) {
            SCOPED_TRACE(depthName(depth));
            Document doc;
            const xml::LoadResult r = loadBytes(doc, dir, c.bytes, "centro.xml", depth);
            EXPECT_FALSE(r.ok) << c.label;
            EXPECT_EQ(r.reason, kEntityRefusal) << c.label;
            EXPECT_EQ(r.line, c.line) << c.label;
            EXPECT_EQ(r.describe().find(kSecret), std::string::npos) << c.label;
            EXPECT_TRUE(doc.documentElement().isNull()) << c.label;
            EXPECT_EQ(doc.toBytes().find(kSecret), std::string::npos) << c.label;
        }
    }
}

TEST(XmlLoad, DoctypeWithoutEntitiesLoads)
{
    TempDir dir;
    const auto dtd = dir / "secreto.dtd";
    // Were this DTD read, its default attribute and entity would leak the secret.
    writeFile(dtd, "<!ATTLIST centro fuga CDATA \"" + kSecret + "\">\n<!ENTITY s \"" + kSecret + "\">\n");

    struct Case {
        const char* label;
        std::string bytes;
        std::string keptInSave;
    };
    const Case cases[] = {
        {"internal subset of element and attribute lists",
            "<?xml version=\"1.0\"?>\n<!DOCTYPE centro [\n<!ELEMENT centro ANY>\n<!ATTLIST centro nombre CDATA "
            "#IMPLIED>\n]>\n"
            "<centro nombre=\"IES Ponteva\"/>\n",
            "<!ELEMENT centro ANY>"},
        {"external DTD, never read",
            "<!DOCTYPE centro SYSTEM \"" + dtd.string() + "\">\n<centro nombre=\"IES Ponteva\"/>\n",
            "<!DOCTYPE centro SYSTEM"},
        {"external DTD by URL, never read",
            "<!DOCTYPE centro SYSTEM \"file://" + dtd.string() + "\">\n<centro nombre=\"IES Ponteva\"/>\n", "file://"},
        {"XInclude, left as an element",
            "<centro nombre=\"IES Ponteva\"><xi:include xmlns:xi=\"http://www.w3.org/2001/XInclude\" href=\""
                + dtd.string() + "\" parse=\"text\"/></centro>",
            "<xi:include"},
    };
    for (const Case& c : cases) {
        Document doc;
        const xml::LoadResult r = loadBytes(doc, dir, c.bytes);
        ASSERT_TRUE(r.ok) << c.label << ": " << r.describe();
        const xml::Element centro = doc.documentElement();
        EXPECT_EQ(centro.attribute("nombre"), "IES Ponteva") << c.label;
        EXPECT_FALSE(centro.hasAttribute("fuga")) << c.label;
        const std::string saved = doc.toBytes();
        EXPECT_EQ(saved.find(kSecret), std::string::npos) << c.label;
        EXPECT_NE(saved.find(c.keptInSave), std::string::npos) << c.label;
    }
}

TEST(XmlLoad, UndeclaredEntityBehindAnUnreadDtdIsRefused)
{
    const std::pair<const char*, std::string> cases[] = {
        {"in an attribute", "<!DOCTYPE centro SYSTEM \"centro.dtd\">\n<centro>\n<d n=\"a&falta;b\"/>\n</centro>\n"},
        {"in text", "<!DOCTYPE centro SYSTEM \"centro.dtd\">\n<centro>\n<d>a&falta;b</d>\n</centro>\n"},
    };
    for (const auto& [label, bytes] : cases) {
        for (const xml::LoadDepth depth : kDepths) {
            SCOPED_TRACE(depthName(depth));
            TempDir dir;
            Document doc;
            const xml::LoadResult r = loadBytes(doc, dir, bytes, "centro.xml", depth);
            EXPECT_FALSE(r.ok) << label;
            EXPECT_EQ(r.describe(),
                "El documento usa entidades que no declara (&...;), que un documento de Zedra no "
                "usa; no se carga (línea 3).")
                << label;
            EXPECT_TRUE(doc.documentElement().isNull()) << label;
        }
    }
}

// Loading the root only keeps what stands around the root and the root's attributes, and
// none of its content.
TEST(XmlLoad, RootOnlyKeepsTheRootWithoutItsContent)
{
    const std::string prologue = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
                                 "<!DOCTYPE centro [\n<!ELEMENT centro ANY>\n]>\n"
                                 "<!-- antes -->\n<?zedra version=\"3\"?>\n";
    const std::string epilogue = "<!-- despu\xE9s -->\n";
    const std::string bytes = prologue
        + "<centro codigo=\"1\" nombre=\"Jos\xE9\">\n"
          "  <!-- dentro --><?pi x?>\n"
          "  <aulas><daula id=\"1\">texto &amp; <![CDATA[<crudo>]]>&#233;</daula></aulas>\n"
          "</centro>\n"
        + epilogue;
    TempDir dir;
    Document doc;
    const xml::LoadResult r = loadBytes(doc, dir, bytes, "centro.xml", xml::LoadDepth::Root);
    ASSERT_TRUE(r.ok) << r.describe();
    const xml::Element centro = doc.documentElement();
    EXPECT_EQ(centro.name(), "centro");
    EXPECT_EQ(centro.attribute("nombre"), "Jos\xE9");
    EXPECT_TRUE(doc.selectNodes("/centro/aulas").empty());
    EXPECT_EQ(doc.toBytes(), prologue + "<centro codigo=\"1\" nombre=\"Jos\xE9\"/>\n" + epilogue);
}

} // namespace
