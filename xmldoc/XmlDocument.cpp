// The document tree: Element's reading and writing of attributes and adding of children,
// Document's life, root, created elements and rows, and selection by absolute element
// path. Loading is in XmlLoad.cpp, saving in XmlSave.cpp.
#include "xmldoc/XmlDocument.h"

#include "text/Ansi.h"
#include "xmldoc/XmlInternal.h"
#include "xmldoc/XmlText.h"

#include <libxml/tree.h>
#include <libxml/xmlmemory.h>

#include <algorithm>
#include <charconv>
#include <memory>
#include <new>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace ponteva::xml {

using detail::cc;
using detail::handLayout;
using detail::HandLayout;
using detail::isWithin;
using detail::xc;

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

void requireElement(const xmlNode* node, const char* what)
{
    if (!node)
        throw std::logic_error(std::string(what) + " on a null element");
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
    if (path.size() < 2 || path.front() != '/')
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

bool isBlankText(const xmlNode* node)
{
    return node && node->type == XML_TEXT_NODE && xmlIsBlankNode(const_cast<xmlNode*>(node));
}

// One more level of indentation in the style of the given blank text.
std::string indentStep(std::string_view blank)
{
    return blank.find('\t') != std::string_view::npos ? "\t" : "  ";
}

} // namespace

namespace detail {

xmlDocPtr newEmptyDoc()
{
    xmlDocPtr doc = xmlNewDoc(xc("1.0"));
    if (!doc)
        throw std::bad_alloc();
    // Names of created elements and attributes are interned like those of a loaded document.
    doc->dict = xmlDictCreate();
    return doc;
}

HandLayout handLayout(xmlNode* element)
{
    HandLayout layout;
    // The child goes on its own line at the indentation of its siblings, and the closing
    // tag keeps its own.
    xmlNode* closing = element->last;
    if (isBlankText(closing)) {
        layout.applies = true;
        layout.closing = closing;
        const xmlNode* previous = closing->prev;
        if (previous && previous->type == XML_ELEMENT_NODE && isBlankText(previous->prev))
            layout.indent = cc(previous->prev->content);
        else
            layout.indent = std::string(cc(closing->content)) + indentStep(cc(closing->content));
        return layout;
    }
    // An empty element standing on its own indented line opens up to hold the child.
    if (!element->children && isBlankText(element->prev)) {
        const std::string_view before = cc(element->prev->content);
        const size_t newline = before.rfind('\n');
        if (newline != std::string_view::npos) {
            const std::string outer = "\n" + std::string(before.substr(newline + 1));
            layout.applies = true;
            layout.indent = outer + indentStep(outer);
            layout.after = outer;
        }
    }
    return layout;
}

bool isWithin(const xmlNode* node, const xmlNode* ancestor)
{
    for (; node; node = node->parent) {
        if (node == ancestor)
            return true;
    }
    return false;
}

} // namespace detail

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
    if (!raw)
        return {};
    // Blanks are ASCII and stay blanks in 8 bits: trimming first spares a copy.
    std::string_view value(raw);
    const size_t first = value.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    value = value.substr(first, value.find_last_not_of(' ') - first + 1);
    return utf8ToAnsi(value);
}

const char* Element::rawAttribute(std::string_view name) const
{
    if (!m_node)
        return nullptr;
    xmlAttr* attr = findAttribute(m_node, name);
    if (!attr)
        return nullptr;
    xmlNode* value = attr->children;
    if (!value)
        return "";
    if (!value->next && value->type == XML_TEXT_NODE && value->content)
        return cc(value->content);
    // A value held as several nodes is joined into one text node, once, so the pointer
    // handed out stays valid as long as the attribute does.
    xmlChar* joined = xmlNodeListGetString(attr->doc, value, 1);
    xmlSetNsProp(m_node, nullptr, attr->name, joined ? joined : xc(""));
    xmlFree(joined);
    return attr->children && attr->children->content ? cc(attr->children->content) : "";
}

void Element::setAttribute(std::string_view name, std::string_view value)
{
    requireElement(m_node, "setAttribute");
    const std::string utf8 = ansiToUtf8(detail::withoutForbiddenControls(value));
    if (!xmlSetNsProp(m_node, nullptr, xc(std::string(name).c_str()), xc(utf8.c_str())))
        throw std::bad_alloc();
}

void Element::setAttribute(std::string_view name, std::int32_t value)
{
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    setAttribute(name, std::string_view(digits, static_cast<size_t>(end - digits)));
}

void Element::appendChild(Element child)
{
    requireElement(m_node, "appendChild");
    xmlNode* node = child.m_node;
    requireElement(node, "appendChild of");
    if (node->doc != m_node->doc)
        throw std::logic_error("appendChild: the child belongs to another document");
    for (const xmlNode* n = m_node; n; n = n->parent) {
        if (n == node)
            throw std::logic_error("appendChild: the child holds this element");
    }
    xmlUnlinkNode(node);

    xmlDoc* doc = m_node->doc;
    auto addText = [doc](const std::string& text) {
        xmlNode* node = xmlNewDocTextLen(doc, xc(text.c_str()), static_cast<int>(text.size()));
        if (!node)
            throw std::bad_alloc();
        return node;
    };

    const HandLayout layout = handLayout(m_node);
    if (layout.closing)
        xmlAddPrevSibling(layout.closing, node);
    else
        xmlAddChild(m_node, node);
    if (!layout.applies)
        return;
    xmlAddPrevSibling(node, addText(layout.indent));
    if (!layout.after.empty())
        xmlAddChild(m_node, addText(layout.after));
}

// ---- Document ----

Document::Document()
{
    detail::initLibxml();
    m_doc = detail::newEmptyDoc();
}

Document::~Document()
{
    freeUnattached();
    xmlFreeDoc(m_doc);
}

void Document::freeUnattached()
{
    // Collected first: freeing one tree may free other created elements inside it.
    std::vector<xmlNode*> loose;
    for (xmlNode* node : m_created) {
        if (!node->parent)
            loose.push_back(node);
    }
    for (xmlNode* node : loose)
        xmlFreeNode(node);
    m_created.clear();
}

void Document::adopt(_xmlDoc* doc, bool utf8Bom)
{
    freeUnattached();
    xmlFreeDoc(m_doc);
    m_doc = doc;
    m_utf8Bom = utf8Bom;
    m_rootNext = nullptr;
    m_rows.clear();
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
    return Element(xmlDocGetRootElement(m_doc));
}

void Document::removeRoot()
{
    xmlNode* root = xmlDocGetRootElement(m_doc);
    if (!root)
        return;
    // Created elements inside the root go with it, and so do the rows of elements inside it.
    std::erase_if(m_created, [root](const xmlNode* node) { return isWithin(node, root); });
    std::erase_if(m_rows, [root](const std::unique_ptr<ElementRows>& rows) { return isWithin(rows->m_parent, root); });
    m_rootNext = root->next;
    xmlUnlinkNode(root);
    xmlFreeNode(root);
}

Element Document::createElement(std::string_view name)
{
    xmlNode* node = xmlNewDocNode(m_doc, nullptr, xc(std::string(name).c_str()), nullptr);
    if (!node)
        throw std::bad_alloc();
    m_created.push_back(node);
    return Element(node);
}

void Document::appendChild(Element element)
{
    xmlNode* node = element.node();
    requireElement(node, "Document::appendChild of");
    if (node->doc != m_doc)
        throw std::logic_error("Document::appendChild: the element belongs to another document");
    if (xmlDocGetRootElement(m_doc))
        throw std::logic_error("Document::appendChild: the document already has a root");
    xmlUnlinkNode(node);
    xmlNode* docNode = reinterpret_cast<xmlNode*>(m_doc);
    if (m_rootNext && m_rootNext->parent == docNode)
        xmlAddPrevSibling(m_rootNext, node);
    else
        xmlAddChild(docNode, node);
    m_rootNext = nullptr;
}

ElementRows& Document::rowsOf(Element parent, std::string name, std::vector<std::string> attributeNames)
{
    xmlNode* node = parent.node();
    requireElement(node, "rowsOf");
    if (node->doc != m_doc)
        throw std::logic_error("rowsOf: the element belongs to another document");
    // Names are written as given: they must be names, which also keeps line breaks out of a row.
    auto isName = [](const std::string& text) { return xmlValidateName(xc(text.c_str()), 0) == 0; };
    if (!isName(name) || !std::all_of(attributeNames.begin(), attributeNames.end(), isName))
        throw std::logic_error("rowsOf: '" + name + "' or one of its attribute names is not an XML name");
    for (const std::unique_ptr<ElementRows>& rows : m_rows) {
        if (rows->m_parent != node)
            continue;
        if (rows->m_name != name || rows->m_attributeNames != attributeNames)
            throw std::logic_error("rowsOf: the element already has rows of another kind");
        return *rows;
    }
    m_rows.push_back(std::unique_ptr<ElementRows>(new ElementRows(node, std::move(name), std::move(attributeNames))));
    return *m_rows.back();
}

} // namespace ponteva::xml
