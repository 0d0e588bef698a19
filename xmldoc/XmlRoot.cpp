// Reading the root of a document through libxml2's SAX interface: no tree is built, and
// what lies inside the root goes by once, checked and forgotten.
#include "xmldoc/XmlRoot.h"

#include "text/Ansi.h"
#include "text/Clipper.h"
#include "xmldoc/XmlParse.h"

#include <libxml/SAX2.h>
#include <libxml/parser.h>

#include <algorithm>

namespace ponteva::xml {

using detail::cc;

namespace {

struct Reading {
    RootOutline& outline;
    int depth = 0; // elements open
};

Reading& readingOf(void* ctxt)
{
    return *static_cast<Reading*>(detail::parseOwner(ctxt));
}

// Outside the root, and not inside the document type declaration, whose comments belong to it.
bool isOutside(void* ctx)
{
    return readingOf(ctx).depth == 0 && static_cast<xmlParserCtxtPtr>(ctx)->inSubset == 0;
}

// Without entity substitution libxml2 hands an ampersand over as "&#38;", for a tree to
// rebuild; it is the only reference left in a value, since every other is replaced.
std::string attributeValue(const char* begin, const char* end)
{
    std::string value(begin, end);
    for (size_t at = value.find("&#38;"); at != std::string::npos; at = value.find("&#38;", at + 1))
        value.replace(at, 5, "&");
    return value;
}

void onStartElement(void* ctx, const xmlChar* localname, const xmlChar*, const xmlChar* uri, int, const xmlChar**,
    int nbAttributes, int nbDefaulted, const xmlChar** attributes)
{
    Reading& reading = readingOf(ctx);
    if (reading.depth++ != 0)
        return;
    RootOutline& root = reading.outline;
    root.name = cc(localname);
    root.inNamespace = uri != nullptr;
    // Defaults from the document type declaration come last; the document did not write them.
    for (int i = 0; i < nbAttributes - nbDefaulted; ++i) {
        const xmlChar** a = attributes + 5 * i; // local name, prefix, namespace, value, value end
        if (a[2] == nullptr)
            root.attributes.emplace_back(cc(a[0]), attributeValue(cc(a[3]), cc(a[4])));
    }
}

void onEndElement(void* ctx, const xmlChar*, const xmlChar*, const xmlChar*)
{
    --readingOf(ctx).depth;
}

void onComment(void* ctx, const xmlChar* text)
{
    if (isOutside(ctx))
        readingOf(ctx).outline.prolog.outside.push_back({OutsideNode::Kind::Comment, {}, cc(text)});
}

void onProcessingInstruction(void* ctx, const xmlChar* target, const xmlChar* data)
{
    if (isOutside(ctx))
        readingOf(ctx).outline.prolog.outside.push_back(
            {OutsideNode::Kind::ProcessingInstruction, cc(target), data ? cc(data) : ""});
}

} // namespace

bool RootOutline::hasAttribute(std::string_view wanted) const
{
    return std::any_of(attributes.begin(), attributes.end(), [&](const auto& a) { return a.first == wanted; });
}

std::string RootOutline::attribute(std::string_view wanted) const
{
    for (const auto& [name, value] : attributes) {
        if (name == wanted)
            return AllTrim(utf8ToAnsi(value));
    }
    return {};
}

LoadResult readRoot(const std::filesystem::path& file, RootOutline& outline)
{
    outline = RootOutline();
    Reading reading{outline};
    // libxml2's own start and end of the document record the declaration in a document
    // without nodes; every handler that would add a node is replaced or left out.
    auto prepare = [](xmlParserCtxtPtr ctxt) {
        xmlSAXHandler* sax = ctxt->sax;
        sax->startElementNs = onStartElement;
        sax->endElementNs = onEndElement;
        sax->comment = onComment;
        sax->processingInstruction = onProcessingInstruction;
        sax->characters = nullptr;
        sax->ignorableWhitespace = nullptr;
        sax->cdataBlock = nullptr;
        sax->reference = nullptr;
        sax->internalSubset = nullptr;
        sax->externalSubset = nullptr;
        sax->elementDecl = nullptr;
        sax->attributeDecl = nullptr;
        sax->notationDecl = nullptr;
    };
    xmlDocPtr doc = nullptr;
    bool utf8Bom = false;
    LoadResult result = detail::parseFile(file, 0, &reading, prepare, doc, &utf8Bom);
    if (!result) {
        outline = RootOutline();
        return result;
    }
    if (doc) {
        Prolog& prolog = outline.prolog;
        prolog.utf8Bom = utf8Bom;
        if (doc->version)
            prolog.version = cc(doc->version);
        if (doc->encoding)
            prolog.encoding = cc(doc->encoding);
        if (doc->standalone == 1 || doc->standalone == 0)
            prolog.standalone = doc->standalone == 1 ? "yes" : "no";
        xmlFreeDoc(doc);
    }
    return result;
}

} // namespace ponteva::xml
