// The XML document service on libxml2. Loading treats every file as untrusted: it is read
// into memory by us, parsed without network, external files or entity expansion, and
// refused outright when it declares entities. Saving replaces the file atomically.
#include "xmldoc/XmlDocument.h"

#include "core/Error.h"
#include "text/Ansi.h"
#include "text/Clipper.h"

#include <libxml/encoding.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/xmlIO.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlsave.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <random>
#include <span>
#include <stdexcept>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ponteva::xml {

namespace {

const xmlChar* xc(const char* text) { return reinterpret_cast<const xmlChar*>(text); }
const char* cc(const xmlChar* text) { return reinterpret_cast<const char*>(text); }

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

// Refuses every external entity, DTD or file libxml2 might try to fetch.
xmlParserInputPtr refuseExternalEntity(const char*, const char*, xmlParserCtxtPtr)
{
    return nullptr;
}

void initLibxml()
{
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        xmlSetExternalEntityLoader(refuseExternalEntity);
    });
}

// What went wrong while parsing, gathered from libxml2's callbacks.
struct ParseWatch {
    int entityLine = -1;      // line of the first entity declaration; -1 while none
    int undeclaredLine = -1;  // line of the first reference to an undeclared entity
    std::string fatal;        // first fatal error, which is what ends the parse
    int fatalLine = 0;
    std::string error;        // first non-fatal error, reported when no fatal one came
    int errorLine = 0;
};

// libxml2 messages end in a newline and sometimes carry a second line.
std::string oneLine(const char* message)
{
    std::string text = message ? message : "";
    std::replace(text.begin(), text.end(), '\n', ' ');
    std::replace(text.begin(), text.end(), '\r', ' ');
    return AllTrim(std::move(text));
}

void record(ParseWatch& watch, const xmlError* error)
{
    if (!error)
        return;
    if (error->code == XML_WAR_UNDECLARED_ENTITY && watch.undeclaredLine < 0)
        watch.undeclaredLine = error->line;
    if (error->level == XML_ERR_FATAL && watch.fatal.empty()) {
        watch.fatal = oneLine(error->message);
        watch.fatalLine = error->line;
    } else if (error->level == XML_ERR_ERROR && watch.error.empty()) {
        watch.error = oneLine(error->message);
        watch.errorLine = error->line;
    }
}

// The parser context's own channel: its user data is the context.
void onParserError(void* ctx, xmlErrorPtr error)
{
    auto* ctxt = static_cast<xmlParserCtxtPtr>(ctx);
    record(*static_cast<ParseWatch*>(ctxt->_private), error);
}

// Errors libxml2 raises without a context (encoding conversion, output).
void onStrayError(void* watch, xmlErrorPtr error)
{
    if (watch)
        record(*static_cast<ParseWatch*>(watch), error);
}

void ignoreGenericError(void*, const char*, ...) {}

// Routes this thread's libxml2 messages away from stderr while it lives.
class QuietLibxml {
public:
    explicit QuietLibxml(ParseWatch* watch)
        : m_structured(xmlStructuredError)
        , m_structuredContext(xmlStructuredErrorContext)
        , m_generic(xmlGenericError)
        , m_genericContext(xmlGenericErrorContext)
    {
        xmlSetStructuredErrorFunc(watch, onStrayError);
        xmlSetGenericErrorFunc(nullptr, ignoreGenericError);
    }
    ~QuietLibxml()
    {
        xmlSetStructuredErrorFunc(m_structuredContext, m_structured);
        xmlSetGenericErrorFunc(m_genericContext, m_generic);
    }
    QuietLibxml(const QuietLibxml&) = delete;
    QuietLibxml& operator=(const QuietLibxml&) = delete;

private:
    xmlStructuredErrorFunc m_structured;
    void* m_structuredContext;
    xmlGenericErrorFunc m_generic;
    void* m_genericContext;
};

// An entity declaration stops the parse on the spot, before anything can be expanded:
// the exchange document never declares one, and expansion is what entity attacks use.
void stopAtEntity(void* ctx)
{
    auto* ctxt = static_cast<xmlParserCtxtPtr>(ctx);
    auto* watch = static_cast<ParseWatch*>(ctxt->_private);
    if (watch->entityLine < 0)
        watch->entityLine = ctxt->input ? ctxt->input->line : 0;
    xmlStopParser(ctxt);
}

void onEntityDecl(void* ctx, const xmlChar*, int, const xmlChar*, const xmlChar*, xmlChar*)
{
    stopAtEntity(ctx);
}

void onUnparsedEntityDecl(void* ctx, const xmlChar*, const xmlChar*, const xmlChar*, const xmlChar*)
{
    stopAtEntity(ctx);
}

// No network, no entity substitution, no external DTD or its default attributes, no XInclude.
constexpr int kParseOptions = XML_PARSE_NONET;

struct FreeBytes {
    void operator()(char* p) const { std::free(p); }
};

// The whole file in memory, read by us so that libxml2 never opens it itself (it would
// gunzip a compressed file, or follow a URL).
struct FileBytes {
    std::unique_ptr<char, FreeBytes> data;
    size_t size = 0;
    std::string failure; // Spanish, empty when read
    std::string_view view() const { return {data.get(), size}; }
};

// A large buffer is asked for in huge pages: the kernel then maps it in a few faults
// rather than one per 4 KiB page, which is most of the cost of reading a big file.
char* allocateBuffer(size_t size)
{
    constexpr size_t kHugePage = 2u << 20;
    if (size >= 2 * kHugePage) {
        const size_t rounded = (size + kHugePage - 1) / kHugePage * kHugePage;
        if (void* p = std::aligned_alloc(kHugePage, rounded)) {
            (void)::madvise(p, rounded, MADV_HUGEPAGE);
            return static_cast<char*>(p);
        }
    }
    return static_cast<char*>(std::malloc(std::max<size_t>(size, 1)));
}

FileBytes readWhole(const std::filesystem::path& file)
{
    static const std::string kTooBig = "El archivo ocupa más de 1 GiB; no se carga.";
    FileBytes out;
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        out.failure = "No se pudo abrir el archivo: " + describeErrno(errno) + ".";
        return out;
    }
    struct stat st {};
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (regular && static_cast<std::uintmax_t>(st.st_size) > Document::kMaxFileSize) {
        ::close(fd);
        out.failure = kTooBig;
        return out;
    }
    // A regular file gets its size plus one byte, so that reading its end needs no
    // growth; anything else grows as it comes, up to the same limit.
    size_t capacity = regular ? static_cast<size_t>(st.st_size) + 1 : 64 * 1024;
    out.data.reset(allocateBuffer(capacity));
    if (!out.data)
        throw std::bad_alloc();
    for (;;) {
        if (out.size == capacity) {
            if (out.size > Document::kMaxFileSize)
                break;
            capacity = std::min<size_t>(capacity * 2, Document::kMaxFileSize + 1);
            char* grown = static_cast<char*>(std::realloc(out.data.get(), capacity));
            if (!grown)
                throw std::bad_alloc();
            out.data.release();
            out.data.reset(grown);
        }
        const ssize_t n = ::read(fd, out.data.get() + out.size, capacity - out.size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            ::close(fd);
            out.data.reset();
            out.size = 0;
            out.failure = "No se pudo leer el archivo: " + describeErrno(err) + ".";
            return out;
        }
        if (n == 0)
            break;
        out.size += static_cast<size_t>(n);
    }
    ::close(fd);
    if (out.size > Document::kMaxFileSize) {
        out.data.reset();
        out.size = 0;
        out.failure = kTooBig;
    }
    return out;
}

struct Parsed {
    xmlDocPtr doc = nullptr;
    LoadResult result;
};

LoadResult failure(std::string reason, int line)
{
    LoadResult r;
    r.reason = std::move(reason);
    r.line = std::max(line, 0);
    return r;
}

// Hands our buffer to libxml2 a chunk at a time, as a file would be: the parser keeps only
// a window of it (converted, when the document is not UTF-8) instead of a second copy.
struct MemoryReader {
    std::string_view rest;
};

int readMemory(void* context, char* buffer, int len)
{
    auto* reader = static_cast<MemoryReader*>(context);
    const size_t n = std::min(reader->rest.size(), static_cast<size_t>(std::max(len, 0)));
    std::copy_n(reader->rest.data(), n, buffer);
    reader->rest.remove_prefix(n);
    return static_cast<int>(n);
}

Parsed parse(std::string_view bytes)
{
    Parsed out;
    ParseWatch watch;
    QuietLibxml quiet(&watch);

    xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
    if (!ctxt)
        throw std::bad_alloc();
    ctxt->_private = &watch;
    ctxt->sax->entityDecl = onEntityDecl;
    ctxt->sax->unparsedEntityDecl = onUnparsedEntityDecl;
    ctxt->sax->serror = onParserError;
    xmlCtxtUseOptions(ctxt, kParseOptions);

    MemoryReader reader{bytes};
    xmlParserInputBufferPtr buffer = xmlParserInputBufferCreateIO(readMemory, nullptr, &reader, XML_CHAR_ENCODING_NONE);
    xmlParserInputPtr input = buffer ? xmlNewIOInputStream(ctxt, buffer, XML_CHAR_ENCODING_NONE) : nullptr;
    if (!input) {
        if (buffer)
            xmlFreeParserInputBuffer(buffer);
        xmlFreeParserCtxt(ctxt);
        throw std::bad_alloc();
    }
    if (inputPush(ctxt, input) < 0) {
        xmlFreeInputStream(input);
        xmlFreeParserCtxt(ctxt);
        throw std::bad_alloc();
    }
    xmlParseDocument(ctxt);

    xmlDocPtr doc = ctxt->myDoc;
    ctxt->myDoc = nullptr;
    const bool wellFormed = ctxt->wellFormed != 0;
    xmlFreeParserCtxt(ctxt);

    if (watch.entityLine >= 0) {
        out.result = failure("El documento declara entidades (<!ENTITY ...>), que un documento de Zedra no usa; "
                             "no se carga por seguridad.",
            watch.entityLine);
    } else if (!wellFormed || !doc) {
        if (!watch.fatal.empty())
            out.result = failure(watch.fatal, watch.fatalLine);
        else if (!watch.error.empty())
            out.result = failure(watch.error, watch.errorLine);
        else
            out.result = failure("El documento no es XML bien formado.", 0);
    } else if (watch.undeclaredLine >= 0) {
        // Only possible with an external DTD we never read; the reference would be lost.
        out.result = failure("El documento usa entidades que no declara (&...;), que un documento de Zedra no usa; "
                             "no se carga.",
            watch.undeclaredLine);
    } else {
        out.doc = doc;
        out.result.ok = true;
        return out;
    }
    if (doc)
        xmlFreeDoc(doc);
    return out;
}

xmlDocPtr newEmptyDoc()
{
    xmlDocPtr doc = xmlNewDoc(xc("1.0"));
    if (!doc)
        throw std::bad_alloc();
    // Names of created elements and attributes are interned like those of a loaded document.
    doc->dict = xmlDictCreate();
    return doc;
}

int appendToString(void* context, const char* buffer, int len)
{
    static_cast<std::string*>(context)->append(buffer, static_cast<size_t>(len));
    return len;
}

// The document as bytes, or why it cannot be written (a Spanish phrase, no full stop).
std::string serialize(xmlDocPtr doc, bool utf8Bom, std::string& failure)
{
    // A document without a declared encoding is written as UTF-8 and says so; left
    // unnamed, libxml2 would escape every non-ASCII character.
    const char* encoding = doc->encoding ? cc(doc->encoding) : "UTF-8";
    std::string out;
    if (utf8Bom && xmlParseCharEncoding(encoding) == XML_CHAR_ENCODING_UTF8)
        out = "\xEF\xBB\xBF";

    ParseWatch watch;
    QuietLibxml quiet(&watch);
    xmlSaveCtxtPtr save = xmlSaveToIO(appendToString, nullptr, &out, encoding, XML_SAVE_FORMAT);
    if (!save) {
        failure = std::string("el sistema no sabe escribir la codificación '") + encoding + "' que declara el documento";
        return {};
    }
    const long written = xmlSaveDoc(save, doc);
    const int closed = xmlSaveClose(save);
    if (written < 0 || closed < 0) {
        failure = std::string("no se pudo convertir el documento a la codificación '") + encoding + "'";
        return {};
    }
    return out;
}

// XML 1.0 cannot carry these characters at all, not even as references.
std::string withoutForbiddenControls(std::string_view ansi)
{
    std::string text(ansi);
    for (char& c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 && b != '\t' && b != '\n' && b != '\r')
            c = ' ';
    }
    return text;
}

std::string saveFailure(const std::filesystem::path& file, const std::string& reason)
{
    return "No se pudo guardar '" + file.string() + "': " + reason + ".";
}

// Creates a uniquely named file next to the target, readable as a new file would be.
int createTemporary(const std::filesystem::path& file, std::string& tmpName)
{
    static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<size_t> pick(0, sizeof(kAlphabet) - 2);
    const std::filesystem::path dir = file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string suffix(6, 'x');
        for (char& c : suffix)
            c = kAlphabet[pick(random)];
        tmpName = (dir / ("." + file.filename().string() + ".tmp-" + suffix)).string();
        const int fd = ::open(tmpName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

bool writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

void replaceAtomically(const std::filesystem::path& file, std::string_view bytes)
{
    std::string tmpName;
    const int fd = createTemporary(file, tmpName);
    if (fd < 0)
        throw Error(saveFailure(file, describeErrno(errno)));

    // The replaced file keeps its permissions.
    struct stat old {};
    if (::stat(file.c_str(), &old) == 0 && S_ISREG(old.st_mode))
        (void)::fchmod(fd, old.st_mode & 07777);

    int err = 0;
    if (!writeAll(fd, bytes) || ::fsync(fd) != 0)
        err = errno;
    if (::close(fd) != 0 && err == 0)
        err = errno;
    if (err == 0 && ::rename(tmpName.c_str(), file.c_str()) != 0)
        err = errno;
    if (err != 0) {
        ::unlink(tmpName.c_str());
        throw Error(saveFailure(file, describeErrno(err)));
    }

    // Makes the rename itself durable; the file is already in place if this fails.
    const std::filesystem::path dir = file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
    const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        (void)::fsync(dirFd);
        ::close(dirFd);
    }
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

std::string LoadResult::describe() const
{
    if (line <= 0)
        return reason;
    const std::string where = " (línea " + std::to_string(line) + ")";
    // Our own reasons are sentences: the line goes before their full stop.
    if (!reason.empty() && reason.back() == '.')
        return reason.substr(0, reason.size() - 1) + where + ".";
    return reason + where;
}

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
    const std::string utf8 = ansiToUtf8(withoutForbiddenControls(value));
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
    auto addText = [doc](const std::string& text, auto&& place) {
        xmlNode* node = xmlNewDocTextLen(doc, xc(text.c_str()), static_cast<int>(text.size()));
        if (!node)
            throw std::bad_alloc();
        place(node);
    };

    // libxml2 indents only elements free of text, so inside content indented by hand the
    // child is given the layout its siblings have, and the closing tag keeps its own.
    xmlNode* closing = m_node->last;
    if (isBlankText(closing)) {
        std::string indent;
        const xmlNode* previous = closing->prev;
        if (previous && previous->type == XML_ELEMENT_NODE && isBlankText(previous->prev))
            indent = cc(previous->prev->content);
        else
            indent = std::string(cc(closing->content)) + indentStep(cc(closing->content));
        xmlAddPrevSibling(closing, node);
        addText(indent, [node](xmlNode* text) { xmlAddPrevSibling(node, text); });
        return;
    }
    // An empty element standing on its own indented line opens up to hold the child.
    if (!m_node->children && isBlankText(m_node->prev)) {
        const std::string_view before = cc(m_node->prev->content);
        const size_t newline = before.rfind('\n');
        if (newline != std::string_view::npos) {
            const std::string outer = "\n" + std::string(before.substr(newline + 1));
            xmlNode* self = m_node;
            addText(outer + indentStep(outer), [self](xmlNode* text) { xmlAddChild(self, text); });
            xmlAddChild(m_node, node);
            addText(outer, [self](xmlNode* text) { xmlAddChild(self, text); });
            return;
        }
    }
    xmlAddChild(m_node, node);
}

// ---- Document ----

Document::Document()
{
    initLibxml();
    m_doc = newEmptyDoc();
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
}

LoadResult Document::load(const std::filesystem::path& file)
{
    adopt(newEmptyDoc(), false);
    FileBytes read = readWhole(file);
    if (!read.failure.empty())
        return failure(read.failure, 0);
    const bool bom = read.view().starts_with("\xEF\xBB\xBF");
    Parsed parsed = parse(read.view());
    read.data.reset();
    if (parsed.doc)
        adopt(parsed.doc, bom);
    return parsed.result;
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
    // Created elements inside the root go with it.
    std::erase_if(m_created, [root](const xmlNode* node) {
        for (; node; node = node->parent) {
            if (node == root)
                return true;
        }
        return false;
    });
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

std::string Document::toBytes() const
{
    std::string failure;
    std::string bytes = serialize(m_doc, m_utf8Bom, failure);
    if (!failure.empty())
        throw Error("No se pudo escribir el documento XML: " + failure + ".");
    return bytes;
}

void Document::save(const std::filesystem::path& file) const
{
    std::string failure;
    const std::string bytes = serialize(m_doc, m_utf8Bom, failure);
    if (!failure.empty())
        throw Error(saveFailure(file, failure));
    replaceAtomically(file, bytes);
}

} // namespace ponteva::xml
