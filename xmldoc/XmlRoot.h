// What a run that replaces a document's root needs of it, read as a stream: the
// declaration, the comments and processing instructions outside the root, and the root's
// name and attributes. Nothing inside the root is kept, though all of it is checked.
#pragma once

#include "xmldoc/XmlDocument.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ponteva::xml {

// A comment or processing instruction outside the root; text UTF-8.
struct OutsideNode {
    enum class Kind { Comment, ProcessingInstruction };
    Kind kind = Kind::Comment;
    std::string target; // of a processing instruction
    std::string content;
};

// What stands in front of a document's root when it is written again.
struct Prolog {
    std::string version = "1.0";
    std::string encoding; // as the document declares it; empty when it declares none
    std::string standalone; // "yes", "no", or empty when not declared
    bool utf8Bom = false; // the file began with a UTF-8 byte order mark
    std::vector<OutsideNode> outside; // in document order, before and after the root
};

struct RootOutline {
    Prolog prolog;
    std::string name; // the root's local name
    bool inNamespace = false;
    std::vector<std::pair<std::string, std::string>> attributes; // in no namespace, UTF-8, as written

    // The root is the element of this name in no namespace.
    bool is(std::string_view wanted) const { return !inNamespace && name == wanted; }
    bool hasAttribute(std::string_view wanted) const;
    // The attribute's value as 8-bit text through AllTrim; empty when absent.
    std::string attribute(std::string_view wanted) const;
};

// Reads the file as a stream and checks all of it as Document::load does. On failure the
// outline is left empty and the result says why.
LoadResult readRoot(const std::filesystem::path& file, RootOutline& outline);

} // namespace ponteva::xml
