// The XML document service: load, select by absolute element path, read and write
// attributes, rebuild the root, save. Built on libxml2; text crosses this interface
// as 8-bit Windows-1252, converted from and to the document's own text.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct _xmlDoc;
struct _xmlNode;

namespace ponteva::xml {

// Where and why a load failed. ok is true after a successful load.
struct LoadResult {
    bool ok = false;
    std::string reason; // UTF-8: the parser's own reason (libxml2's English), or our Spanish refusal
    int line = 0; // 1-based line of the fault, 0 when it has none
    explicit operator bool() const { return ok; }
    // "<reason> (línea N)" as the user reads it; the line goes before a closing full stop.
    std::string describe() const;
};

// A non-owning handle to an element of a Document; null when nothing was found. It is
// valid until its element is freed: by removeRoot, another load, or the Document's end.
class Element {
public:
    Element() = default;
    explicit Element(_xmlNode* node)
        : m_node(node)
    {
    }

    bool isNull() const { return m_node == nullptr; }
    explicit operator bool() const { return m_node != nullptr; }
    std::string name() const;

    bool hasAttribute(std::string_view name) const;
    // The attribute's value as 8-bit text, trimmed of blanks (code 32) at both ends;
    // the empty text when the element lacks the attribute.
    std::string attribute(std::string_view name) const;
    // The attribute's value exactly as the document holds it, UTF-8; nullptr when absent.
    const char* rawAttribute(std::string_view name) const;

    // The attribute goes after those set before it; setting one it already has replaces
    // the value in place. The value is 8-bit text; control characters other than tab,
    // line feed and carriage return, which XML cannot carry, become blanks.
    void setAttribute(std::string_view name, std::string_view value);
    void setAttribute(std::string_view name, std::int32_t value);
    // The child (of the same document) becomes the last child of this element, moved
    // from wherever it was. When this element's content is indented by hand (it ends in
    // blank text), the child goes on its own line at the indentation of its siblings.
    void appendChild(Element child);

    _xmlNode* node() const { return m_node; }

private:
    _xmlNode* m_node = nullptr;
};

// Children of one element kept as text, as they come, instead of as nodes: a regional
// timetable has a hundred thousand entries, and a node with its attributes costs far more
// than its text. Each row is an empty element with the same attributes in the same order.
// The rows follow the element's other children when the document is saved.
class ElementRows {
public:
    ElementRows(const ElementRows&) = delete;
    ElementRows& operator=(const ElementRows&) = delete;

    // One row: a value for each attribute name, in their order, as 8-bit text that
    // setAttribute would take (control characters other than tab, line feed and carriage
    // return become blanks). A number is given as its decimal text.
    void add(std::span<const std::string_view> values);
    void add(std::initializer_list<std::string_view> values) { add(std::span(values.begin(), values.size())); }
    std::size_t size() const { return m_count; }

    const std::string& name() const { return m_name; }
    const std::vector<std::string>& attributeNames() const { return m_attributeNames; }

private:
    friend class Document;
    ElementRows(_xmlNode* parent, std::string name, std::vector<std::string> attributeNames);
    // The rows as UTF-8, each after indent, in pieces ending at row boundaries.
    void write(std::string_view indent, const std::function<void(std::string_view)>& out) const;

    // Rows in blocks that never move: each row is written whole into one block.
    struct Block {
        std::unique_ptr<char[]> data;
        std::size_t size = 0;
        std::size_t capacity = 0;
    };

    _xmlNode* m_parent;
    std::string m_name;
    std::vector<std::string> m_attributeNames;
    std::string m_markup; // what goes before each value, and after the last one,
    std::vector<std::size_t> m_markupEnd; // each ending at these offsets
    std::vector<Block> m_blocks; // the rows, UTF-8, each ending in a line feed
    std::size_t m_count = 0;
};

// How much of the document a load keeps. The whole file is parsed either way, so a file
// loads, or fails to, alike.
enum class LoadDepth {
    Whole,
    WholeForReading, // the whole tree, to be read and never changed: small texts are kept
                     // inside their nodes (libxml2's compact form, as xmllint loads), which
                     // spares an allocation per attribute; changing the tree is not allowed
    Root, // the root element with its attributes, without its content: for a run that only
          // reads the root and then replaces it, a tree of the content is wasted work
};

class Document {
public:
    // A new empty document.
    Document();
    ~Document();
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    // Reads and parses the file. On failure the document is left empty and the result
    // says why; nothing is thrown for a file that does not parse. The file is read into
    // memory first (files over kMaxFileSize are refused), no network or external file is
    // ever fetched, and a document that declares any entity is refused. What stands before
    // and after the root is kept at either depth.
    LoadResult load(const std::filesystem::path& file, LoadDepth depth = LoadDepth::Whole);

    // All elements on an absolute path of element names ("/centro/aulas/daula"), in
    // document order, possibly none. Only elements in no namespace match, as in XPath.
    std::vector<Element> selectNodes(std::string_view path) const;
    // The first element on the path, or a null element.
    Element selectSingleNode(std::string_view path) const;
    // The root element, or a null element.
    Element documentElement() const;

    // The root leaves the document with everything it holds, and is freed.
    void removeRoot();
    // A new element outside the document.
    Element createElement(std::string_view name);
    // Makes the element the root, in the place the removed root held (before any comment
    // that followed it). The document must have no root: a second one is a logic error.
    void appendChild(Element element);
    // The rows of this document's element, made on first use with this element name and
    // these attribute names; asking again with other names is a logic error. They are
    // saved while the element is in the document, laid out as appendChild lays out
    // children, and live as long as the element does.
    ElementRows& rowsOf(Element parent, std::string name, std::vector<std::string> attributeNames);

    // Writes the whole document in its declared encoding (UTF-8 when it declares none),
    // with its declaration and what stands before and after the root. Content as loaded
    // keeps its own layout; elements without text inside are indented two blanks a level.
    // The file is replaced atomically: a temporary file in the same directory is renamed
    // over it, so a failed save leaves any earlier file of that name intact.
    // Throws ponteva::Error.
    void save(const std::filesystem::path& file) const;
    // The text save would write.
    std::string toBytes() const;

    static constexpr std::uintmax_t kMaxFileSize = 1024ull * 1024 * 1024;

private:
    struct Rendered;
    void adopt(_xmlDoc* doc, bool utf8Bom);
    void freeUnattached();
    Rendered render(std::string& failure) const;

    _xmlDoc* m_doc = nullptr;
    bool m_utf8Bom = false; // the loaded file began with a UTF-8 byte order mark
    std::vector<_xmlNode*> m_created; // from createElement: freed at the end if never attached
    _xmlNode* m_rootNext = nullptr; // what followed the removed root, where a new root goes
    std::vector<std::unique_ptr<ElementRows>> m_rows;
};

} // namespace ponteva::xml
