// The document tree: loading it read-only, Element's reading of attributes, and selection
// by absolute element path.
#include "xmldoc/XmlDocument.h"

#include "text/Ansi.h"
#include "text/Clipper.h"
#include "xmldoc/XmlParse.h"

#include <libxml/tree.h>

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ponteva::xml {

using detail::cc;

namespace {

// Equal to a NUL-terminated libxml2 name, without measuring or copying it.
bool nameIs(const xmlChar* name, std::string_view wanted)
{
    for (size_t i = 0; i < wanted.size(); ++i) {
        if (wanted[i] == '\0' || name[i] != static_cast<xmlChar>(wanted[i]))
            return false;
    }
    return name[wanted.size()] == 0;
}

// Only names without a namespace match: the exchange document uses none, and an element
// another program added in its own namespace is not one of ours.
bool isElementNamed(const xmlNode* node, std::string_view name)
{
    return node->type == XML_ELEMENT_NODE && node->ns == nullptr && nameIs(node->name, name);
}

xmlAttr* findAttribute(xmlNode* node, std::string_view name)
{
    for (xmlAttr* a = node->properties; a; a = a->next) {
        if (a->ns == nullptr && nameIs(a->name, name))
            return a;
    }
    return nullptr;
}

void collect(xmlNode* parent, std::span<const std::string_view> rest, std::vector<Element>& out, bool firstOnly)
{
    for (xmlNode* child = parent->children; child; child = child->next) {
        if (!isElementNamed(child, rest.front()))
            continue;
        if (rest.size() == 1)
            out.emplace_back(child);
        else
            collect(child, rest.subspan(1), out, firstOnly);
        if (firstOnly && !out.empty())
            return;
    }
}

std::vector<Element> select(xmlDocPtr doc, std::string_view path, bool firstOnly)
{
    std::vector<Element> out;
    if (!doc || path.size() < 2 || path.front() != '/')
        return out;
    std::vector<std::string_view> steps;
    for (size_t start = 1;;) {
        const size_t slash = path.find('/', start);
        const std::string_view step = path.substr(start, slash == std::string_view::npos ? slash : slash - start);
        if (step.empty())
            return out;
        steps.push_back(step);
        if (slash == std::string_view::npos)
            break;
        start = slash + 1;
    }
    xmlNode* root = xmlDocGetRootElement(doc);
    if (!root || !isElementNamed(root, steps.front()))
        return out;
    if (steps.size() == 1)
        out.emplace_back(root);
    else
        collect(root, std::span<const std::string_view>(steps).subspan(1), out, firstOnly);
    return out;
}

} // namespace

// ---- Element ----

std::string Element::name() const
{
    return m_node ? std::string(cc(m_node->name)) : std::string();
}

bool Element::hasAttribute(std::string_view name) const
{
    return m_node && findAttribute(m_node, name);
}

std::string Element::attribute(std::string_view name) const
{
    const char* raw = rawAttribute(name);
    return raw ? AllTrim(utf8ToAnsi(raw)) : std::string();
}

const char* Element::rawAttribute(std::string_view name) const
{
    const xmlAttr* attr = m_node ? findAttribute(m_node, name) : nullptr;
    if (!attr)
        return nullptr;
    // Entities are refused on loading, so a value is one text node, or none when empty.
    const xmlNode* value = attr->children;
    return value && value->type == XML_TEXT_NODE && value->content ? cc(value->content) : "";
}

// ---- Document ----

Document::Document()
{
    detail::initLibxml();
}

Document::~Document()
{
    xmlFreeDoc(m_doc);
}

LoadResult Document::load(const std::filesystem::path& file, LoadDepth)
{
    xmlFreeDoc(m_doc);
    m_doc = nullptr;
    xmlDocPtr doc = nullptr;
    LoadResult result = detail::parseFile(
        file, XML_PARSE_COMPACT, nullptr, [](xmlParserCtxtPtr) {}, doc);
    m_doc = doc;
    return result;
}

std::vector<Element> Document::selectNodes(std::string_view path) const
{
    return select(m_doc, path, false);
}

Element Document::selectSingleNode(std::string_view path) const
{
    std::vector<Element> found = select(m_doc, path, true);
    return found.empty() ? Element() : found.front();
}

Element Document::documentElement() const
{
    return Element(m_doc ? xmlDocGetRootElement(m_doc) : nullptr);
}

} // namespace ponteva::xml
