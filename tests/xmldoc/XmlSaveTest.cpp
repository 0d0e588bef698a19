// Building and saving: the export rebuilds the root of a school's document and saves it
// over the original, which must keep its encoding, its prolog and, on failure, itself.
#include "XmlTestSupport.h"

#include "core/Error.h"

#include <gtest/gtest.h>

#include <csignal>
#include <set>
#ifndef _WIN32
#include <sys/resource.h>
#endif

using namespace ponteva;
using namespace ponteva::test;
using ponteva::xml::Document;
using ponteva::xml::Element;

namespace {

// The layout libxml2 itself writes, so an unchanged document comes back byte for byte.
const std::string kLatinPrologue = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
                                   "<!-- Exportado por la secretar\xED"
                                   "a -->\n"
                                   "<?zedra version=\"3.2\"?>\n";
const std::string kLatinDocument = kLatinPrologue
    + "<centro codigo=\"36000001\" nombre=\"IES Ponteva\">\n"
      "  <materias>\n"
      "    <dmaterias codigo=\"MAT\" nombre=\"Matem\xE1ticas\"/>\n"
      "    <dmaterias codigo=\"ESP\" nombre=\"Lengua espa\xF1ola\"/>\n"
      "  </materias>\n"
      "  <notas><![CDATA[a < b & c]]></notas>\n"
      "</centro>\n"
      "<!-- fin -->\n";

std::set<std::string> entries(const std::filesystem::path& dir)
{
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        names.insert(e.path().filename().string());
    return names;
}

TEST(XmlSave, UnchangedDocumentComesBackByteForByte)
{
    const std::pair<const char*, std::string> cases[] = {
        {"ISO-8859-1 with comments and instructions around the root", kLatinDocument},
        {"UTF-8 with BOM",
            "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<centro nombre=\"Ñandú\">\n"
            "  <aulas>\n\t<daula id=\"1\"/>\n  </aulas>\n</centro>\n"},
        {"windows-1252, standalone",
            "<?xml version=\"1.0\" encoding=\"windows-1252\" standalone=\"yes\"?>\n"
            "<centro obra=\"\x8C"
            "uvre \x80\" tab=\"&#9;\" nl=\"a&#10;b\"/>\n"},
    };
    for (const auto& [label, bytes] : cases) {
        TempDir dir;
        Document doc;
        ASSERT_TRUE(loadBytes(doc, dir, bytes)) << label;
        EXPECT_EQ(doc.toBytes(), bytes) << label;
        doc.save(dir / "centro.xml");
        EXPECT_EQ(readFile(dir / "centro.xml"), bytes) << label;
    }
}

TEST(XmlSave, RebuiltRootKeepsPrologueEncodingAndAttributeOrder)
{
    TempDir dir;
    Document doc;
    ASSERT_TRUE(loadBytes(doc, dir, kLatinDocument));
    const Element oldRoot = doc.documentElement();
    ASSERT_EQ(oldRoot.attribute("nombre"), "IES Ponteva");

    doc.removeRoot();
    EXPECT_TRUE(doc.documentElement().isNull());
    EXPECT_TRUE(doc.selectNodes("/centro/materias/dmaterias").empty());

    Element centro = doc.createElement("centro");
    centro.setAttribute("version", "2.0");
    centro.setAttribute("codigo", std::int32_t{36000001});
    centro.setAttribute("nombre", "IES Ponteva");
    Element materias = doc.createElement("materias");
    const std::pair<const char*, std::string> rows[] = {{"MAT", "Matem\xE1ticas"}, {"ING", "Ingl\xE9s \x80"}};
    for (const auto& [codigo, nombre] : rows) {
        Element m = doc.createElement("dmaterias");
        m.setAttribute("nombre", nombre); // set first, so written first
        m.setAttribute("codigo", codigo);
        materias.appendChild(m);
    }
    centro.appendChild(materias);
    centro.appendChild(doc.createElement("aulas"));
    doc.appendChild(centro);

    const std::string expected = kLatinPrologue
        + "<centro version=\"2.0\" codigo=\"36000001\" nombre=\"IES Ponteva\">\n"
          "  <materias>\n"
          "    <dmaterias nombre=\"Matem\xE1ticas\" codigo=\"MAT\"/>\n"
          "    <dmaterias nombre=\"Ingl\xE9s &#8364;\" codigo=\"ING\"/>\n"
          "  </materias>\n"
          "  <aulas/>\n"
          "</centro>\n"
          "<!-- fin -->\n";
    EXPECT_EQ(doc.toBytes(), expected);

    const auto file = dir / "centro.xml";
    doc.save(file);
    EXPECT_EQ(readFile(file), expected);
    Document again;
    ASSERT_TRUE(again.load(file));
    ASSERT_EQ(again.selectNodes("/centro/materias/dmaterias").size(), 2u);
    EXPECT_EQ(again.selectNodes("/centro/materias/dmaterias")[1].attribute("nombre"), "Ingl\xE9s \x80");
}

TEST(XmlSave, NewDocument)
{
    Document doc;
    EXPECT_EQ(doc.toBytes(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    Element centro = doc.createElement("centro");
    centro.setAttribute("nombre", "Jos\xE9");
    doc.appendChild(centro);
    EXPECT_EQ(doc.toBytes(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<centro nombre=\"José\"/>\n");
    EXPECT_EQ(doc.selectSingleNode("/centro").attribute("nombre"), "Jos\xE9");
}

TEST(XmlSave, ChildrenAppendedToHandIndentedContentFollowItsLayout)
{
    struct Case {
        const char* label;
        std::string before;
        std::string after;
    };
    const Case cases[] = {
        {"after siblings", "<centro>\n  <aulas>\n    <daula id=\"1\"/>\n  </aulas>\n</centro>",
            "<centro>\n  <aulas>\n    <daula id=\"1\"/>\n    <daula id=\"n\"/>\n    <daula id=\"m\"/>\n  "
            "</aulas>\n</centro>"},
        {"tab indentation", "<centro>\n\t<aulas>\n\t\t<daula id=\"1\"/>\n\t</aulas>\n</centro>",
            "<centro>\n\t<aulas>\n\t\t<daula id=\"1\"/>\n\t\t<daula id=\"n\"/>\n\t\t<daula "
            "id=\"m\"/>\n\t</aulas>\n</centro>"},
        {"only blank text inside", "<centro>\n  <aulas>\n  </aulas>\n</centro>",
            "<centro>\n  <aulas>\n    <daula id=\"n\"/>\n    <daula id=\"m\"/>\n  </aulas>\n</centro>"},
        {"empty section", "<centro>\n  <aulas/>\n</centro>",
            "<centro>\n  <aulas>\n    <daula id=\"n\"/>\n    <daula id=\"m\"/>\n  </aulas>\n</centro>"},
        {"empty section, tabs", "<centro>\n\t<aulas></aulas>\n</centro>",
            "<centro>\n\t<aulas>\n\t\t<daula id=\"n\"/>\n\t\t<daula id=\"m\"/>\n\t</aulas>\n</centro>"},
        {"no layout at all: libxml2 indents", "<centro><aulas><daula id=\"1\"/></aulas></centro>",
            "<centro>\n  <aulas>\n    <daula id=\"1\"/>\n    <daula id=\"n\"/>\n    <daula id=\"m\"/>\n  "
            "</aulas>\n</centro>"},
        {"records on one line stay so", "<centro>\n  <aulas><daula id=\"1\"/></aulas>\n</centro>",
            "<centro>\n  <aulas><daula id=\"1\"/><daula id=\"n\"/><daula id=\"m\"/></aulas>\n</centro>"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        Document doc;
        ASSERT_TRUE(loadBytes(doc, dir, c.before)) << c.label;
        for (const char* id : {"n", "m"}) {
            Element daula = doc.createElement("daula");
            daula.setAttribute("id", id);
            doc.selectSingleNode("/centro/aulas").appendChild(daula);
        }
        EXPECT_EQ(doc.toBytes(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + c.after + "\n") << c.label;
    }
}

TEST(XmlSave, AttributeValuesSurviveTheRoundTrip)
{
    struct Case {
        const char* label;
        std::string set; // Windows-1252
        std::string read; // after saving and loading again, raw (trimming is not the point)
    };
    const Case cases[] = {
        {"markup characters", "A & B <c> \"d\" 'e'", "A & B <c> \"d\" 'e'"},
        {"accents and euro",
            "Mar\xED"
            "a \x80 \x8C",
            "María € Œ"},
        {"tab, line feed, carriage return", "a\tb\nc\rd", "a\tb\nc\rd"},
        {"blanks at the ends", "  x  ", "  x  "},
        {"controls XML cannot carry",
            "a\x01"
            "b\x1F"
            "c",
            "a b c"},
        {"unassigned code point", "\x81", "\xC2\x81"},
        {"empty", "", ""},
    };
    for (const Case& c : cases) {
        TempDir dir;
        Document doc;
        Element centro = doc.createElement("centro");
        centro.setAttribute("v", c.set);
        doc.appendChild(centro);
        doc.save(dir / "centro.xml");
        Document again;
        const xml::LoadResult r = again.load(dir / "centro.xml");
        ASSERT_TRUE(r.ok) << c.label << ": " << r.describe();
        ASSERT_NE(again.documentElement().rawAttribute("v"), nullptr) << c.label;
        EXPECT_EQ(std::string(again.documentElement().rawAttribute("v")), c.read) << c.label;
    }
}

TEST(XmlSave, IntegerAttributesAreDecimalDigits)
{
    const std::pair<std::int32_t, const char*> cases[]
        = {{0, "0"}, {7, "7"}, {-5, "-5"}, {2147483647, "2147483647"}, {-2147483647 - 1, "-2147483648"}};
    Document doc;
    Element e = doc.createElement("e");
    for (const auto& [value, text] : cases) {
        e.setAttribute("n", value);
        EXPECT_STREQ(e.rawAttribute("n"), text);
    }
    doc.appendChild(e);
}

TEST(XmlSave, SettingAnAttributeAgainReplacesItInPlace)
{
    Document doc;
    Element centro = doc.createElement("centro");
    centro.setAttribute("c", "1");
    centro.setAttribute("a", "2");
    centro.setAttribute("b", "3");
    centro.setAttribute("a", "nuevo");
    doc.appendChild(centro);
    EXPECT_EQ(doc.toBytes(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<centro c=\"1\" a=\"nuevo\" b=\"3\"/>\n");
}

TEST(XmlSave, LoadedAttributeIsReplacedKeepingItsPlace)
{
    TempDir dir;
    Document doc;
    ASSERT_TRUE(loadBytes(doc, dir, "<centro a=\"1\" b=\"Jos&#233;\" c=\"3\"/>"));
    Element centro = doc.documentElement();
    ASSERT_STREQ(centro.rawAttribute("b"), "José");
    centro.setAttribute("b",
        "Mar\xED"
        "a");
    centro.setAttribute("d", std::int32_t{4});
    EXPECT_EQ(
        doc.toBytes(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<centro a=\"1\" b=\"María\" c=\"3\" d=\"4\"/>\n");
}

TEST(XmlSave, AppendingMovesAnElement)
{
    TempDir dir;
    Document doc;
    ASSERT_TRUE(loadBytes(doc, dir, "<centro><a><d id=\"1\"/><d id=\"2\"/></a><b/></centro>"));
    const Element first = doc.selectSingleNode("/centro/a/d");
    doc.selectSingleNode("/centro/b").appendChild(first);
    EXPECT_EQ(ids(doc.selectNodes("/centro/a/d")), "2");
    EXPECT_EQ(ids(doc.selectNodes("/centro/b/d")), "1");
}

TEST(XmlSave, MisuseIsALogicError)
{
    Document doc;
    Document other;
    Element centro = doc.createElement("centro");
    Element child = doc.createElement("aulas");
    centro.appendChild(child);
    doc.appendChild(centro);

    EXPECT_THROW(doc.appendChild(doc.createElement("centro")), std::logic_error); // a second root
    EXPECT_THROW(doc.appendChild(Element()), std::logic_error);
    EXPECT_THROW(child.appendChild(centro), std::logic_error); // into itself
    EXPECT_THROW(centro.appendChild(other.createElement("x")), std::logic_error); // another document
    EXPECT_THROW(Element().setAttribute("a", "b"), std::logic_error);
    EXPECT_EQ(doc.toBytes(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<centro>\n  <aulas/>\n</centro>\n");
}

// Elements created and never attached, or attached under a root that is removed, are
// freed exactly once: the sanitizer build checks both.
TEST(XmlSave, CreatedElementsAreFreedOnce)
{
    Document doc;
    Element loose = doc.createElement("suelto");
    loose.appendChild(doc.createElement("dentro"));
    Element inner = doc.createElement("tambien");
    loose.appendChild(inner);
    Element centro = doc.createElement("centro");
    centro.appendChild(doc.createElement("aulas"));
    doc.appendChild(centro);
    doc.removeRoot();
    Element second = doc.createElement("centro");
    doc.appendChild(second);
    doc.removeRoot();
    doc.removeRoot(); // nothing left to remove
    EXPECT_TRUE(doc.documentElement().isNull());

    TempDir dir;
    doc.createElement("antes-de-cargar");
    ASSERT_TRUE(loadBytes(doc, dir, "<centro/>"));
    EXPECT_FALSE(doc.documentElement().isNull());
}

// ---- Saving to disk ----

TEST(XmlSave, SaveWritesTheFileAndLeavesNothingElse)
{
    TempDir dir;
    Document doc;
    ASSERT_TRUE(loadBytes(doc, dir, kLatinDocument, "origen.xml"));
    const auto file = dir / "destino.xml";
    writeFile(file, "antiguo");
#ifndef _WIN32 // Windows has no permission bits; its attributes are kept instead
    std::filesystem::permissions(file, std::filesystem::perms(0640));
#endif
    doc.save(file);
    EXPECT_EQ(readFile(file), kLatinDocument);
#ifndef _WIN32
    EXPECT_EQ(std::filesystem::status(file).permissions(), std::filesystem::perms(0640));
#endif
    EXPECT_EQ(entries(dir.path()), (std::set<std::string>{"origen.xml", "destino.xml"}));
}

TEST(XmlSave, FailedSaveLeavesNoTraceAndNamesTheFile)
{
    struct Case {
        const char* label;
        std::string target; // relative to the temporary directory
        std::string reason;
    };
    const Case cases[] = {
        {"missing directory", "no-existe/centro.xml", "no existe"},
        {"parent is a file", "archivo.txt/centro.xml", "una parte de la ruta no es un directorio"},
        {"target is a directory", "carpeta", "es un directorio"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        writeFile(dir / "archivo.txt", "intacto");
        std::filesystem::create_directory(dir / "carpeta");
        writeFile(dir / "carpeta" / "dentro.txt", "intacto");
        const std::set<std::string> before = entries(dir.path());

        Document doc;
        doc.appendChild(doc.createElement("centro"));
        const auto target = dir / c.target;
        try {
            doc.save(target);
            ADD_FAILURE() << c.label << ": saved";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), "No se pudo guardar '" + target.string() + "': " + c.reason + ".")
                << c.label;
        }
        EXPECT_EQ(entries(dir.path()), before) << c.label;
        EXPECT_EQ(entries(dir / "carpeta"), std::set<std::string>{"dentro.txt"}) << c.label;
        EXPECT_EQ(readFile(dir / "archivo.txt"), "intacto") << c.label;
        EXPECT_EQ(readFile(dir / "carpeta" / "dentro.txt"), "intacto") << c.label;
    }
}

// A write that fails half way, as on a full disk. The file size limit stops writes even
// for root, where permissions would not.
TEST(XmlSave, WriteFailingHalfWayKeepsTheOldFile)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no file size limit to make a write fail half way";
#else
    TempDir dir;
    const auto file = dir / "centro.xml";
    writeFile(file, "<centro>anterior</centro>");

    Document doc;
    Element centro = doc.createElement("centro");
    for (int i = 0; i < 500; ++i) {
        Element d = doc.createElement("dalumno");
        d.setAttribute("id", std::int32_t{i});
        centro.appendChild(d);
    }
    doc.appendChild(centro);

    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string message;
    try {
        doc.save(file);
    } catch (const Error& e) {
        message = e.what();
    }
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(message, "No se pudo guardar '" + file.string() + "': el archivo es demasiado grande.");
    EXPECT_EQ(readFile(file), "<centro>anterior</centro>");
    EXPECT_EQ(entries(dir.path()), std::set<std::string>{"centro.xml"});
#endif
}

} // namespace
