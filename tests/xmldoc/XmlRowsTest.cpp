// Element rows: many simple children of one element written as text. They must come out as
// the same children built as nodes would, in every layout and encoding, and leave the tree
// as it was.
#include "XmlTestSupport.h"

#include "text/Ansi.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace ponteva;
using namespace ponteva::test;
using ponteva::xml::Document;
using ponteva::xml::Element;
using ponteva::xml::ElementRows;

namespace {

using Row = std::vector<std::string>; // Windows-1252, as callers hand values in

const std::vector<std::string> kNames = {"a", "b", "c"};
const std::vector<Row> kRows = {
    {"1", "Jos\xE9", "a&b<c>d\"e'f"},
    {"tab\tx", "nl\nx", "cr\rx"},
    {"ctl\x01x\x1F", "\x80 \x8C \x81", ""},
};
// The same rows as a parser reads them back, UTF-8.
const std::vector<Row> kRowsRead = {
    {"1", "José", "a&b<c>d\"e'f"},
    {"tab\tx", "nl\nx", "cr\rx"},
    {"ctl x ", "€ Œ \xC2\x81", ""},
};

enum class As { Nodes, Rows };

void addRows(Document& doc, Element parent, As as, const std::vector<Row>& rows)
{
    if (as == As::Rows) {
        ElementRows& out = doc.rowsOf(parent, "d", kNames);
        for (const Row& row : rows) {
            const std::vector<std::string_view> values(row.begin(), row.end());
            out.add(values);
        }
        return;
    }
    for (const Row& row : rows) {
        Element d = doc.createElement("d");
        for (size_t i = 0; i < kNames.size(); ++i)
            d.setAttribute(kNames[i], row[i]);
        parent.appendChild(d);
    }
}

// The document (its text UTF-8) in the encoding it declares; none when encoding is empty.
std::string inEncoding(const std::string& encoding, const std::string& body)
{
    if (encoding.empty())
        return body;
    const std::string declaration = "<?xml version=\"1.0\" encoding=\"" + encoding + "\"?>\n";
    if (encoding == "UTF-16")
        return toUtf16(declaration + body, false);
    if (encoding == "UTF-8")
        return declaration + body;
    return declaration + utf8ToAnsi(body);
}

struct Layout {
    const char* label;
    std::string body;
    const char* path; // of the element that gets the rows
};

const Layout kLayouts[] = {
    {"libxml2 indents", "<centro><sec><x/></sec></centro>", "/centro/sec"},
    {"libxml2 indents an empty element deeper down", "<centro><a><sec/></a></centro>", "/centro/a/sec"},
    {"indented by hand, after siblings", "<centro>\n  <sec>\n    <x/>\n  </sec>\n</centro>", "/centro/sec"},
    {"indented by hand with tabs, only blank text inside", "<centro>\n\t<sec>\n\t</sec>\n</centro>", "/centro/sec"},
    {"empty element on its own line", "<centro>\n  <sec/>\n</centro>", "/centro/sec"},
    {"children on one line", "<centro>\n  <sec><x/></sec>\n</centro>", "/centro/sec"},
    {"mixed content", "<centro>\n  <sec>texto<x/>más</sec>\n</centro>", "/centro/sec"},
};

const char* const kEncodings[] = {"", "UTF-8", "ISO-8859-1", "windows-1252", "UTF-16"};

// The document's bytes once the rows are added under the element at path.
std::string withRows(const std::string& bytes, const char* path, As as, const std::vector<Row>& rows = kRows)
{
    TempDir dir;
    Document doc;
    const xml::LoadResult r = loadBytes(doc, dir, bytes);
    if (!r)
        throw std::runtime_error(r.describe());
    addRows(doc, doc.selectSingleNode(path), as, rows);
    return doc.toBytes();
}

TEST(XmlRows, WrittenAsTheSameChildrenBuiltAsNodesWouldBe)
{
    for (const Layout& layout : kLayouts) {
        for (const char* encoding : kEncodings) {
            SCOPED_TRACE(std::string(layout.label) + ", encoding '" + encoding + "'");
            const std::string bytes = inEncoding(encoding, layout.body);
            const std::string rows = withRows(bytes, layout.path, As::Rows);
            EXPECT_EQ(rows, withRows(bytes, layout.path, As::Nodes));

            // And a parser reads back the values given.
            TempDir dir;
            Document again;
            ASSERT_TRUE(loadBytes(again, dir, rows)) << rows;
            const std::vector<Element> read = again.selectNodes(std::string(layout.path) + "/d");
            ASSERT_EQ(read.size(), kRowsRead.size());
            for (size_t r = 0; r < read.size(); ++r) {
                for (size_t i = 0; i < kNames.size(); ++i)
                    EXPECT_STREQ(read[r].rawAttribute(kNames[i]), kRowsRead[r][i].c_str()) << "row " << r;
            }
        }
    }
}

TEST(XmlRows, EscapedAsAttributeValuesAre)
{
    Document doc;
    Element centro = doc.createElement("centro");
    doc.appendChild(centro);
    addRows(doc, centro, As::Rows, kRows);
    EXPECT_EQ(doc.toBytes(),
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<centro>\n"
        "  <d a=\"1\" b=\"José\" c=\"a&amp;b&lt;c&gt;d&quot;e'f\"/>\n"
        "  <d a=\"tab&#9;x\" b=\"nl&#10;x\" c=\"cr&#13;x\"/>\n"
        "  <d a=\"ctl x \" b=\"€ Œ \xC2\x81\" c=\"\"/>\n"
        "</centro>\n");
}

TEST(XmlRows, CharactersTheEncodingLacksBecomeReferences)
{
    const std::string saved = withRows(inEncoding("ISO-8859-1", "<centro/>"), "/centro", As::Rows);
    EXPECT_NE(saved.find("<d a=\"1\" b=\"Jos\xE9\""), std::string::npos) << saved;
    EXPECT_NE(saved.find("b=\"&#8364; &#338; \x81\""), std::string::npos) << saved;
}

TEST(XmlRows, Utf16HasOneByteOrderMark)
{
    const std::string saved = withRows(inEncoding("UTF-16", "<centro/>"), "/centro", As::Rows);
    ASSERT_EQ(saved.rfind("\xFF\xFE", 0), 0u);
    EXPECT_EQ(saved.find("\xFF\xFE", 2), std::string::npos);
    EXPECT_EQ(saved.size() % 2, 0u);
}

// Rows across several blocks of storage and pieces of output.
TEST(XmlRows, ManyLongRows)
{
    std::vector<Row> rows;
    for (int i = 0; i < 5000; ++i)
        rows.push_back({std::to_string(i), std::string(300, static_cast<char>('a' + i % 26)) + "\xE9&", ""});
    for (const char* encoding : {"UTF-8", "UTF-16"}) {
        SCOPED_TRACE(encoding);
        const std::string bytes = inEncoding(encoding, "<centro><sec/></centro>");
        EXPECT_EQ(withRows(bytes, "/centro/sec", As::Rows, rows), withRows(bytes, "/centro/sec", As::Nodes, rows));
    }
}

TEST(XmlRows, NoRowsLeaveTheElementAsItWas)
{
    for (const Layout& layout : kLayouts) {
        SCOPED_TRACE(layout.label);
        EXPECT_EQ(withRows(layout.body, layout.path, As::Rows, {}), withRows(layout.body, layout.path, As::Nodes, {}));
    }
    Document doc;
    Element centro = doc.createElement("centro");
    Element sec = doc.createElement("sec");
    centro.appendChild(sec);
    doc.appendChild(centro);
    EXPECT_EQ(doc.rowsOf(sec, "d", kNames).size(), 0u);
    const std::string saved = doc.toBytes();
    TempDir dir;
    Document again;
    ASSERT_TRUE(loadBytes(again, dir, saved)) << saved;
    ASSERT_FALSE(again.selectSingleNode("/centro/sec").isNull()) << saved;
    EXPECT_TRUE(again.selectNodes("/centro/sec/d").empty()) << saved;
}

// Saving leaves the tree as it was: a second save writes the same bytes, and a child
// appended afterwards is laid out as if there had been no save.
TEST(XmlRows, SavingLeavesTheTreeAsItWas)
{
    for (const Layout& layout : kLayouts) {
        SCOPED_TRACE(layout.label);
        TempDir dir;
        Document saved;
        Document unsaved;
        ASSERT_TRUE(loadBytes(saved, dir, layout.body));
        ASSERT_TRUE(loadBytes(unsaved, dir, layout.body));
        addRows(saved, saved.selectSingleNode(layout.path), As::Rows, kRows);
        addRows(unsaved, unsaved.selectSingleNode(layout.path), As::Rows, kRows);

        const std::string first = saved.toBytes();
        saved.save(dir / "guardado.xml");
        EXPECT_EQ(readFile(dir / "guardado.xml"), first);
        EXPECT_EQ(saved.toBytes(), first);

        for (Document* doc : {&saved, &unsaved}) {
            Element x = doc->createElement("y");
            doc->selectSingleNode(layout.path).appendChild(x);
        }
        const std::string after = saved.toBytes();
        EXPECT_EQ(after, unsaved.toBytes());
        // The rows still follow the element's other children.
        EXPECT_LT(after.find("<y/>"), after.find("<d "));
    }
}

TEST(XmlRows, EachElementsRowsGoInsideIt)
{
    // Rows asked for in the opposite order of their elements in the document.
    const std::string body = "<centro><uno/><dos><x/></dos></centro>";
    TempDir dir;
    Document rows;
    Document nodes;
    ASSERT_TRUE(loadBytes(rows, dir, body));
    ASSERT_TRUE(loadBytes(nodes, dir, body));
    for (const char* path : {"/centro/dos", "/centro/uno"}) {
        const std::vector<Row> some = {{path, "1", "2"}};
        addRows(rows, rows.selectSingleNode(path), As::Rows, some);
        addRows(nodes, nodes.selectSingleNode(path), As::Nodes, some);
    }
    EXPECT_EQ(rows.toBytes(), nodes.toBytes());
}

TEST(XmlRows, WrittenOnlyWhileTheirElementIsInTheDocument)
{
    Document doc;
    Element centro = doc.createElement("centro");
    Element sec = doc.createElement("sec");
    addRows(doc, sec, As::Rows, {{"1", "2", "3"}});
    Element loose = doc.createElement("suelto");
    addRows(doc, loose, As::Rows, {{"4", "5", "6"}});
    doc.appendChild(centro);
    EXPECT_EQ(doc.toBytes(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<centro/>\n");
    centro.appendChild(sec);
    EXPECT_EQ(doc.toBytes(),
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<centro>\n  <sec>\n    <d a=\"1\" b=\"2\" c=\"3\"/>\n  </sec>\n</centro>\n");

    // Rows go with their element: after the root is removed, and after another load.
    doc.removeRoot();
    doc.appendChild(doc.createElement("centro"));
    EXPECT_EQ(doc.toBytes(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<centro/>\n");
    TempDir dir;
    ASSERT_TRUE(loadBytes(doc, dir, "<centro/>"));
    EXPECT_EQ(doc.toBytes(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<centro/>\n");
}

TEST(XmlRows, MisuseIsALogicError)
{
    Document doc;
    Document other;
    Element centro = doc.createElement("centro");
    doc.appendChild(centro);
    ElementRows& rows = doc.rowsOf(centro, "d", kNames);
    EXPECT_EQ(&doc.rowsOf(centro, "d", kNames), &rows);
    EXPECT_THROW(doc.rowsOf(centro, "e", kNames), std::logic_error);
    EXPECT_THROW(doc.rowsOf(centro, "d", {"a", "b"}), std::logic_error);
    EXPECT_THROW(doc.rowsOf(Element(), "d", kNames), std::logic_error);
    EXPECT_THROW(doc.rowsOf(other.createElement("x"), "d", kNames), std::logic_error);
    Element sec = doc.createElement("sec");
    EXPECT_THROW(doc.rowsOf(sec, "d\n", kNames), std::logic_error);
    EXPECT_THROW(doc.rowsOf(sec, "d", {"a", "b c"}), std::logic_error);
    EXPECT_THROW(rows.add({"1", "2"}), std::logic_error);
    EXPECT_THROW(rows.add({"1", "2", "3", "4"}), std::logic_error);
    EXPECT_EQ(rows.size(), 0u);
    EXPECT_EQ(doc.toBytes(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<centro/>\n");
}

} // namespace
