// Writing front to back: the result keeps the chosen document's declaration and what stood
// outside its root, takes UTF-8 values in any encoding, and replaces its file atomically.
#include "XmlTestSupport.h"

#include "core/Error.h"
#include "xmldoc/XmlWriter.h"

#include <gtest/gtest.h>

#include <csignal>
#include <set>
#ifndef _WIN32
#include <sys/resource.h>
#endif

using namespace ponteva;
using namespace ponteva::test;
using ponteva::xml::StreamWriter;

namespace {

std::set<std::string> entries(const std::filesystem::path& dir)
{
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        names.insert(e.path().filename().string());
    return names;
}

// Reads the document's root and writes it again, with its attributes and no content.
std::string rootRewritten(const TempDir& dir, const std::string& bytes)
{
    xml::RootOutline root;
    const xml::LoadResult r = readRootBytes(root, dir, bytes);
    EXPECT_TRUE(r.ok) << r.describe();
    const auto file = dir / "nuevo.xml";
    StreamWriter out(file, root.prolog);
    out.startElement(root.name);
    for (const auto& [name, value] : root.attributes)
        out.attribute(name, value);
    out.commit();
    return readFile(file);
}

TEST(XmlWriter, PrologComesBackAsItWasBeforeTheNewRoot)
{
    struct Case {
        const char* label;
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"ISO-8859-1; what followed the root now goes before it",
            "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<!-- Exportado por la secretar\xED"
            "a -->\n"
            "<?zedra version=\"3.2\"?>\n<centro codigo=\"36000001\" nombre=\"IES Ponteva\">\n  <materias/>\n"
            "</centro>\n<!-- fin --><?otra?>\n",
            "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<!-- Exportado por la secretar\xED"
            "a -->\n"
            "<?zedra version=\"3.2\"?>\n<!-- fin -->\n<?otra?>\n<centro codigo=\"36000001\" nombre=\"IES "
            "Ponteva\"/>\n"},
        {"UTF-8 with BOM",
            "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<centro nombre=\"Ñandú\">\n  "
            "<aulas/>\n</centro>\n",
            "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<centro nombre=\"Ñandú\"/>\n"},
        {"no declaration: UTF-8, declared", "<centro nombre=\"Ñandú\"/>",
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<centro nombre=\"Ñandú\"/>\n"},
        // The encoding is named as its converter is ("WINDOWS-1252"), on every platform.
        {"windows-1252, standalone, white space as references",
            "<?xml version=\"1.0\" encoding=\"windows-1252\" standalone=\"yes\"?>\n"
            "<centro obra=\"\x8C"
            "uvre \x80\" tab=\"&#9;\" nl=\"a&#10;b\"/>\n",
            "<?xml version=\"1.0\" encoding=\"WINDOWS-1252\" standalone=\"yes\"?>\n"
            "<centro obra=\"\x8C"
            "uvre \x80\" tab=\"&#9;\" nl=\"a&#10;b\"/>\n"},
        {"version 1.1, standalone no", "<?xml version=\"1.1\" standalone=\"no\"?><centro/>",
            "<?xml version=\"1.1\" encoding=\"UTF-8\" standalone=\"no\"?>\n<centro/>\n"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        EXPECT_EQ(rootRewritten(dir, c.in), c.out) << c.label;
    }
}

TEST(XmlWriter, ElementsAreIndentedAndReferencesStandForWhatTheEncodingLacks)
{
    TempDir dir;
    xml::Prolog prolog;
    prolog.encoding = "ISO-8859-1";
    const auto file = dir / "centro.xml";
    StreamWriter out(file, prolog);
    out.startElement("centro");
    out.attribute("nombre", "IES Ponteva");
    out.startElement("materias");
    for (const auto& [codigo, nombre] : {std::pair{"MAT", "Matemáticas"}, std::pair{"ING", "Inglés € Ελλάδα"}}) {
        out.startElement("dmaterias");
        out.attribute("nombre", nombre);
        out.attribute("codigo", codigo);
        out.endElement();
    }
    out.endElement();
    out.startElement("aulas");
    out.commit(); // closes what is open
    EXPECT_EQ(readFile(file),
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
        "<centro nombre=\"IES Ponteva\">\n"
        "  <materias>\n"
        "    <dmaterias nombre=\"Matem\xE1ticas\" codigo=\"MAT\"/>\n"
        "    <dmaterias nombre=\"Ingl\xE9s &#8364; &#917;&#955;&#955;&#940;&#948;&#945;\" codigo=\"ING\"/>\n"
        "  </materias>\n"
        "  <aulas/>\n"
        "</centro>\n");
}

TEST(XmlWriter, AttributeValuesSurviveTheRoundTripInEveryEncoding)
{
    struct Case {
        const char* label;
        std::string written; // UTF-8
        std::string read; // as a parser reads it back, UTF-8
    };
    const Case cases[] = {
        {"markup characters", "A & B <c> \"d\" 'e'", "A & B <c> \"d\" 'e'"},
        {"accents, euro, Greek, Korean", "María € Œ μ.μ. 오후", "María € Œ μ.μ. 오후"},
        {"tab, line feed, carriage return", "a\tb\nc\rd", "a\tb\nc\rd"},
        {"blanks at the ends", "  x  ", "  x  "},
        {"controls XML cannot carry",
            "a\x01"
            "b\x1F"
            "c",
            "a b c"},
        {"C1 control", "\xC2\x81", "\xC2\x81"},
        {"empty", "", ""},
    };
    for (const char* encoding : {"", "UTF-8", "ISO-8859-1", "windows-1252", "UTF-16"}) {
        SCOPED_TRACE(encoding);
        for (const Case& c : cases) {
            TempDir dir;
            xml::Prolog prolog;
            prolog.encoding = encoding;
            // The same values also as empty elements, each written by calls and in one piece.
            const std::string_view names[] = {"v", "w"};
            const std::string_view values[] = {c.written, "x"};
            for (const bool inOnePiece : {false, true}) {
                StreamWriter out(dir / (inOnePiece ? "piezas.xml" : "centro.xml"), prolog);
                out.startElement("centro");
                out.attribute("v", c.written);
                out.startElement("filas");
                for (int i = 0; i < 2; ++i) {
                    if (inOnePiece) {
                        out.emptyElement("d", names, values);
                        continue;
                    }
                    out.startElement("d");
                    out.attribute("v", c.written);
                    out.attribute("w", "x");
                    out.endElement();
                }
                out.endElement();
                out.startElement("despues");
                out.commit();
            }
            EXPECT_EQ(readFile(dir / "piezas.xml"), readFile(dir / "centro.xml")) << c.label;
            xml::RootOutline root;
            const xml::LoadResult r = xml::readRoot(dir / "centro.xml", root);
            ASSERT_TRUE(r.ok) << c.label << ": " << r.describe();
            ASSERT_EQ(root.attributes.size(), 1u) << c.label;
            EXPECT_EQ(root.attributes[0].second, c.read) << c.label;
        }
    }
}

// ---- Replacing the file ----

xml::Prolog latinProlog()
{
    xml::Prolog prolog;
    prolog.encoding = "ISO-8859-1";
    return prolog;
}

TEST(XmlWriter, CommitReplacesTheFileKeepingItsPermissionsAndLeavesNothingElse)
{
    TempDir dir;
    const auto file = dir / "destino.xml";
    writeFile(file, "antiguo");
#ifndef _WIN32 // Windows has no permission bits; its attributes are kept instead
    std::filesystem::permissions(file, std::filesystem::perms(0640));
#endif
    {
        StreamWriter out(file, latinProlog());
        out.startElement("centro");
        EXPECT_EQ(readFile(file), "antiguo"); // untouched until committed
        out.commit();
    }
    EXPECT_EQ(readFile(file), "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<centro/>\n");
#ifndef _WIN32
    EXPECT_EQ(std::filesystem::status(file).permissions(), std::filesystem::perms(0640));
#endif
    EXPECT_EQ(entries(dir.path()), std::set<std::string>{"destino.xml"});
}

TEST(XmlWriter, AnAbandonedWriterLeavesTheOldFileAndNoTrace)
{
    TempDir dir;
    const auto file = dir / "centro.xml";
    writeFile(file, "anterior");
    try {
        StreamWriter out(file, latinProlog());
        out.startElement("centro");
        for (int i = 0; i < 20000; ++i) { // more than the writer's buffers hold
            out.startElement("dsolucion");
            out.attribute("dia", std::to_string(i));
            out.endElement();
        }
        throw std::runtime_error("the run fails half way");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(readFile(file), "anterior");
    EXPECT_EQ(entries(dir.path()), std::set<std::string>{"centro.xml"});
}

TEST(XmlWriter, FailedSaveLeavesNoTraceAndNamesTheFile)
{
    struct Case {
        const char* label;
        std::string target; // relative to the temporary directory
        std::string encoding;
        std::string reason;
    };
    const Case cases[] = {
        {"missing directory", "no-existe/centro.xml", "UTF-8", "no existe"},
        {"parent is a file", "archivo.txt/centro.xml", "UTF-8", "una parte de la ruta no es un directorio"},
        {"target is a directory", "carpeta", "UTF-8", "es un directorio"},
        {"encoding the system cannot write", "centro.xml", "x-desconocida",
            "el sistema no sabe escribir la codificación 'x-desconocida' que declara el documento"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        writeFile(dir / "archivo.txt", "intacto");
        std::filesystem::create_directory(dir / "carpeta");
        writeFile(dir / "carpeta" / "dentro.txt", "intacto");
        const std::set<std::string> before = entries(dir.path());

        const auto target = dir / c.target;
        xml::Prolog prolog;
        prolog.encoding = c.encoding;
        try {
            StreamWriter out(target, prolog);
            out.startElement("centro");
            out.commit();
            ADD_FAILURE() << c.label << ": saved";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), "No se pudo guardar '" + target.string() + "': " + c.reason + ".")
                << c.label;
        }
        EXPECT_EQ(entries(dir.path()), before) << c.label;
        EXPECT_EQ(entries(dir / "carpeta"), std::set<std::string>{"dentro.txt"}) << c.label;
        EXPECT_EQ(readFile(dir / "archivo.txt"), "intacto") << c.label;
    }
}

// A write that fails half way, as on a full disk. The file size limit stops writes even
// for root, where permissions would not.
TEST(XmlWriter, WriteFailingHalfWayKeepsTheOldFile)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no file size limit to make a write fail half way";
#else
    TempDir dir;
    const auto file = dir / "centro.xml";
    writeFile(file, "<centro>anterior</centro>");

    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string message;
    try {
        StreamWriter out(file, latinProlog());
        out.startElement("centro");
        for (int i = 0; i < 5000; ++i) {
            out.startElement("dalumno");
            out.attribute("id", std::to_string(i));
            out.endElement();
        }
        out.commit();
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
