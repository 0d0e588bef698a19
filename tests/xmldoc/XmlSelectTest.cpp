// Selection by absolute element path and attribute reads, as the import walks a document.
#include "XmlTestSupport.h"

#include <gtest/gtest.h>

using namespace ponteva;
using namespace ponteva::test;
using ponteva::xml::Document;
using ponteva::xml::Element;

namespace {

const char* const kSections = R"(<?xml version="1.0" encoding="UTF-8"?>
<centro id="root">
  <materias>
    <dmaterias id="1"/>
    <dmaterias id="2"><dmaterias id="deep"/></dmaterias>
    <otro><dmaterias id="other-parent"/></otro>
    texto suelto
  </materias>
  <dmaterias id="shallow"/>
  <aulas><daula id="a1"/></aulas>
  <!-- a second section of the same name -->
  <materias>
    <x:dmaterias xmlns:x="urn:otro" id="prefixed"/>
    <dmaterias id="3"/>
  </materias>
  <materias xmlns="urn:por-defecto"><dmaterias id="default-namespace"/></materias>
  <materias/>
  <materias><dmaterias id="4"/></materias>
</centro>
)";

TEST(XmlSelect, AbsolutePaths)
{
    TempDir dir;
    Document doc;
    ASSERT_TRUE(loadBytes(doc, dir, kSections));
    const std::pair<const char*, const char*> cases[] = {
        {"/centro/materias/dmaterias", "1,2,3,4"}, // across repeated sections, in order
        {"/centro/materias/dmaterias/dmaterias", "deep"},
        {"/centro/dmaterias", "shallow"},
        {"/centro/aulas/daula", "a1"},
        {"/centro", "root"},
        {"/centro/profesores/dprofesor", ""}, // missing section
        {"/centro/materias/dmateria", ""}, // a prefix of the name is not the name
        {"/centro/materias/dmateriass", ""},
        {"/materias/dmaterias", ""}, // the first step is the root only
        {"/otro/materias/dmaterias", ""},
        {"centro/materias/dmaterias", ""}, // not absolute
        {"/centro//dmaterias", ""},
        {"/centro/materias/dmaterias/", ""},
        {"/", ""},
        {"", ""},
    };
    for (const auto& [path, expected] : cases) {
        EXPECT_EQ(ids(doc.selectNodes(path)), expected) << path;
        const Element first = doc.selectSingleNode(path);
        const std::string firstId = std::string(expected).substr(0, std::string(expected).find(','));
        EXPECT_EQ(first.isNull(), firstId.empty()) << path;
        EXPECT_EQ(first.attribute("id"), firstId) << path;
    }
}

TEST(XmlSelect, EmptyDocumentSelectsNothing)
{
    Document doc;
    EXPECT_TRUE(doc.documentElement().isNull());
    EXPECT_TRUE(doc.selectNodes("/centro").empty());
    EXPECT_TRUE(doc.selectSingleNode("/centro/materias/dmaterias").isNull());
}

TEST(XmlSelect, LargeDocumentYieldsEveryRecordInOrder)
{
    constexpr int kRecords = 100000;
    constexpr int kSectionsOf = 4;
    std::string xml = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<centro>\n";
    xml.reserve(16u << 20);
    for (int s = 0; s < kSectionsOf; ++s) {
        xml += "<alumnos>\n";
        for (int i = s * kRecords / kSectionsOf; i < (s + 1) * kRecords / kSectionsOf; ++i) {
            xml += "  <dalumno id=\"" + std::to_string(i)
                + "\" nombre=\"Mar\xED"
                  "a Jos\xE9 \xD1"
                  "and\xFA G\xFC"
                  "emes\" apellido1=\"Fern\xE1ndez\" apellido2=\"Garc\xED"
                  "a\""
                  " fecha_nac=\"01/02/2003\" grupo=\"1\xBA ESO A\" domicilio=\"R\xFA"
                  "a do Progreso 12\"/>\n";
            if (i % 1000 == 0)
                xml += "  <dalumno_extra id=\"x\"><dalumno id=\"nested\"/></dalumno_extra>\n";
        }
        xml += "</alumnos>\n<otros><dalumno id=\"other\"/></otros>\n";
    }
    xml += "</centro>\n";
    ASSERT_GT(xml.size(), 15u << 20);

    TempDir dir;
    Document doc;
    ASSERT_TRUE(loadBytes(doc, dir, xml));
    const std::vector<Element> records = doc.selectNodes("/centro/alumnos/dalumno");
    ASSERT_EQ(records.size(), static_cast<size_t>(kRecords));
    for (int i = 0; i < kRecords; ++i)
        ASSERT_EQ(records[static_cast<size_t>(i)].attribute("id"), std::to_string(i));
    EXPECT_EQ(records.back().attribute("nombre"),
        "Mar\xED"
        "a Jos\xE9 \xD1"
        "and\xFA G\xFC"
        "emes");
}

TEST(XmlSelect, AttributeReads)
{
    TempDir dir;
    Document doc;
    ASSERT_TRUE(loadBytes(doc, dir,
        "<centro><r a=\"  José  \" blanks=\"   \" empty=\"\" lead_tab=\"&#9;x \" trail_tab=\"x&#9;\""
        " inner=\"a  b\" escaped=\"&lt;&amp;&gt;&quot;&apos;\" newline=\"uno&#10;dos\" literal_tab=\"a\tb\""
        " xmlns:x=\"urn:otro\" x:k=\"otro\" k=\"nuestro\" ascii=\" 28001234 \" euro=\"&#x20AC;&#8364;\""
        " greek=\"Ελλάδα\"/></centro>"));
    const Element r = doc.selectSingleNode("/centro/r");
    ASSERT_FALSE(r.isNull());

    struct Case {
        const char* name;
        bool present;
        std::string value;
    };
    const Case cases[] = {
        {"a", true, "Jos\xE9"}, // trimmed and converted
        {"blanks", true, ""}, // blanks only read as empty
        {"empty", true, ""},
        {"missing", false, ""},
        {"lead_tab", true, "\tx"}, // only code 32 is a blank
        {"trail_tab", true, "x\t"},
        {"inner", true, "a  b"},
        {"escaped", true, "<&>\"'"},
        {"newline", true, "uno\ndos"},
        {"literal_tab", true, "a b"}, // XML itself turns a literal tab into a blank
        {"k", true, "nuestro"}, // not the one in another namespace
        {"ascii", true, "28001234"},
        {"euro", true, "\x80\x80"},
        {"greek", true, "??????"}, // what Windows-1252 cannot hold
        {"A", false, ""}, // names are case sensitive
        {"", false, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(r.hasAttribute(c.name), c.present) << c.name;
        EXPECT_EQ(r.attribute(c.name), c.value) << c.name;
        EXPECT_EQ(r.rawAttribute(c.name) != nullptr, c.present) << c.name;
    }
    EXPECT_STREQ(r.rawAttribute("a"), "  José  ");
    EXPECT_STREQ(r.rawAttribute("empty"), "");
    EXPECT_STREQ(r.rawAttribute("escaped"), "<&>\"'");
    EXPECT_STREQ(r.rawAttribute("euro"), "€€");
    EXPECT_EQ(r.name(), "r");
    EXPECT_EQ(doc.documentElement().name(), "centro");
}

TEST(XmlSelect, NullElementReadsAsEmpty)
{
    const Element none;
    EXPECT_TRUE(none.isNull());
    EXPECT_FALSE(static_cast<bool>(none));
    EXPECT_EQ(none.name(), "");
    EXPECT_FALSE(none.hasAttribute("id"));
    EXPECT_EQ(none.attribute("id"), "");
    EXPECT_EQ(none.rawAttribute("id"), nullptr);
}

} // namespace
