// What the XML document service's own files share, and no one else sees: libxml2 text
// casts, its one-time set-up, and the checked parse of a file that both the tree and the
// root reader use.
#pragma once

#include "xmldoc/XmlDocument.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <filesystem>
#include <functional>

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
// try to fetch refused.
void initLibxml();

// Routes this thread's libxml2 messages away from stderr while it lives.
class QuietLibxml {
public:
    QuietLibxml();
    ~QuietLibxml();
    QuietLibxml(const QuietLibxml&) = delete;
    QuietLibxml& operator=(const QuietLibxml&) = delete;

private:
    xmlStructuredErrorFunc m_structured;
    void* m_structuredContext;
    xmlGenericErrorFunc m_generic;
    void* m_genericContext;
};

// The parser context's user data while parseFile runs: the caller's own state.
void* parseOwner(void* ctxt);

// Reads the file and parses all of it, however little prepare lets the handlers keep: a
// file that is not well-formed, declares an entity, uses an undeclared one or is in an
// encoding the system cannot read is refused. prepare sets the context's handlers and
// options; owner is what parseOwner returns to them. On success the document libxml2 built,
// if any, is the caller's to free, and utf8Bom (when given) says whether the file began
// with a UTF-8 byte order mark.
LoadResult parseFile(const std::filesystem::path& file, int options, void* owner,
    const std::function<void(xmlParserCtxtPtr)>& prepare, xmlDocPtr& doc, bool* utf8Bom = nullptr);

} // namespace ponteva::xml::detail
