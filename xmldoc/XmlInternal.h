// What the XML document service's own files share, and no one else sees: libxml2 text
// casts, the parse watch and the guard that keeps libxml2's messages off stderr, the
// empty document, and the layout of a new last child in content indented by hand.
#pragma once

#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <string>

namespace ponteva::xml::detail {

inline const xmlChar* xc(const char* text)
{
    return reinterpret_cast<const xmlChar*>(text);
}
inline const char* cc(const xmlChar* text)
{
    return reinterpret_cast<const char*>(text);
}

// Once per process: libxml2 initialised, and every external entity, DTD or file it might
// try to fetch refused. (XmlLoad.cpp)
void initLibxml();

// What went wrong while parsing, gathered from libxml2's callbacks.
struct ParseWatch {
    int entityLine = -1; // line of the first entity declaration; -1 while none
    int undeclaredLine = -1; // line of the first reference to an undeclared entity
    std::string fatal; // first fatal error, which is what ends the parse
    int fatalLine = 0;
    std::string error; // first non-fatal error, reported when no fatal one came
    int errorLine = 0;
    bool rootOnly = false; // loading the root only
    int depth = 0; // elements open, while loading the root only
};

// Routes this thread's libxml2 messages away from stderr while it lives; those that come
// without a parser context are recorded in the watch, when one is given. (XmlLoad.cpp)
class QuietLibxml {
public:
    explicit QuietLibxml(ParseWatch* watch);
    ~QuietLibxml();
    QuietLibxml(const QuietLibxml&) = delete;
    QuietLibxml& operator=(const QuietLibxml&) = delete;

private:
    xmlStructuredErrorFunc m_structured;
    void* m_structuredContext;
    xmlGenericErrorFunc m_generic;
    void* m_genericContext;
};

// A new document without a root, its names interned. (XmlDocument.cpp)
xmlDocPtr newEmptyDoc();

// Whether the node is the ancestor or lies inside it. (XmlDocument.cpp)
bool isWithin(const xmlNode* node, const xmlNode* ancestor);

// How a new last child of an element whose content is indented by hand is laid out:
// libxml2 indents only elements free of text, so such content needs its layout given.
struct HandLayout {
    bool applies = false;
    xmlNode* closing = nullptr; // the blank text before the end tag; the child goes before it
    std::string indent; // text before the child
    std::string after; // text after the child, when the element opens up to hold it
};

// The layout of a new last child of the element. (XmlDocument.cpp)
HandLayout handLayout(xmlNode* element);

} // namespace ponteva::xml::detail
