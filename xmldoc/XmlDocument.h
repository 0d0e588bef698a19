// The XML document service: load, select by absolute element path, read and write
// attributes, rebuild the root, save. Built on libxml2; text crosses this interface
// as 8-bit Windows-1252, converted from and to the document's own text.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct _xmlDoc;
struct _xmlNode;

namespace ponteva::xml {

// Where and why a load failed. ok is true after a successful load.
struct LoadResult {
    bool ok = false;
    std::string reason; // Spanish, UTF-8: the parser's own reason, or why the file was refused
    int line = 0;       // 1-based line of the fault, 0 when it has none
    explicit operator bool() const { return ok; }
    // "<reason> (línea N)" as the user reads it.
    std::string describe() const;
};

// A non-owning handle to an element of a Document; null when nothing was found.
class Element {
public:
    Element() = default;
    explicit Element(_xmlNode* node) : m_node(node) {}

    bool isNull() const { return m_node == nullptr; }
    explicit operator bool() const { return m_node != nullptr; }
    std::string name() const;

    bool hasAttribute(std::string_view name) const;
    // The attribute's value as 8-bit text, trimmed of blanks (code 32) at both ends;
    // the empty text when the element lacks the attribute.
    std::string attribute(std::string_view name) const;
    // The attribute's value exactly as the document holds it, UTF-8; nullptr when absent.
    const char* rawAttribute(std::string_view name) const;

    // The attribute goes after those set before it. The value is 8-bit text.
    void setAttribute(std::string_view name, std::string_view value);
    void setAttribute(std::string_view name, std::int32_t value);
    // The child becomes the last child of this element.
    void appendChild(Element child);

    _xmlNode* node() const { return m_node; }

private:
    _xmlNode* m_node = nullptr;
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
    LoadResult load(const std::filesystem::path& file);

    // All elements on an absolute path of element names ("/centro/aulas/daula"), in
    // document order, possibly none.
    std::vector<Element> selectNodes(std::string_view path) const;
    // The first element on the path, or a null element.
    Element selectSingleNode(std::string_view path) const;
    // The root element, or a null element.
    Element documentElement() const;

    // The root leaves the document with everything it holds, and is freed.
    void removeRoot();
    // A new element outside the document.
    Element createElement(std::string_view name);
    // Appends the element as the document's last child; without a root it becomes the root.
    void appendChild(Element element);

    // Writes the whole document in its declared encoding (UTF-8 when it declares none),
    // with its declaration and what stands before the root. The file is replaced
    // atomically: a temporary file in the same directory is renamed over it, so a failed
    // save leaves any earlier file of that name intact. Throws ponteva::Error.
    void save(const std::filesystem::path& file) const;
    // The text save would write.
    std::string toBytes() const;

    static constexpr std::uintmax_t kMaxFileSize = 1024ull * 1024 * 1024;

private:
    _xmlDoc* m_doc = nullptr;
};

} // namespace ponteva::xml
