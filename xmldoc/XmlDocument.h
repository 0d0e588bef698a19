// The XML document service's tree, for runs that only read a document: load, select by
// absolute element path, read attributes. Built on libxml2; text crosses this interface
// as 8-bit Windows-1252, converted from the document's own text.
#pragma once

#include <cstdint>
#include <filesystem>
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
    // The reason as one sentence the user reads, with the line before its one full stop:
    // "<reason> (línea N)."
    std::string describe() const;
};

// A non-owning handle to an element of a Document; null when nothing was found. It is
// valid until its Document loads again or ends.
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
    // The attribute's value as 8-bit text through AllTrim; the empty text when the
    // element lacks the attribute.
    std::string attribute(std::string_view name) const;
    // The attribute's value exactly as the document holds it, UTF-8; nullptr when absent.
    const char* rawAttribute(std::string_view name) const;

private:
    _xmlNode* m_node = nullptr;
};

// How a document is kept once loaded. The whole file is parsed and checked in any case.
enum class LoadDepth {
    WholeForReading, // the whole tree, to be read and never changed: small texts are kept
                     // inside their nodes (libxml2's compact form, as xmllint loads), which
                     // spares an allocation per attribute
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
    // ever fetched, and a document that declares any entity is refused.
    LoadResult load(const std::filesystem::path& file, LoadDepth depth = LoadDepth::WholeForReading);

    // All elements on an absolute path of element names ("/centro/aulas/daula"), in
    // document order, possibly none. Only elements in no namespace match, as in XPath.
    std::vector<Element> selectNodes(std::string_view path) const;
    // The first element on the path, or a null element.
    Element selectSingleNode(std::string_view path) const;
    // The root element, or a null element.
    Element documentElement() const;

    static constexpr std::uintmax_t kMaxFileSize = 1024ull * 1024 * 1024;

private:
    _xmlDoc* m_doc = nullptr;
};

} // namespace ponteva::xml
