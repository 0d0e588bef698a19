// The XML document service on libxml2. Loading treats every file as untrusted: it is read
// into memory by us, parsed without network, external files or entity expansion, and
// refused outright when it declares entities. Saving replaces the file atomically.
#include "xmldoc/XmlDocument.h"

#include "core/Error.h"
#include "text/Ansi.h"
#include "text/Clipper.h"
#include "xmldoc/XmlText.h"

#include <libxml/encoding.h>
#include <libxml/parser.h>
#include <libxml/SAX2.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/xmlIO.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlsave.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <limits>
#include <fcntl.h>
#include <functional>
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
    bool rootOnly = false;    // loading the root only
    int depth = 0;            // elements open, while loading the root only
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

// Loading the root only: the tree builder sees the root's start and end and what stands
// outside it (comments and processing instructions; no text is reported there); everything
// inside goes by unbuilt. The parser itself checks the content all the same.
ParseWatch& watchOf(void* ctx)
{
    return *static_cast<ParseWatch*>(static_cast<xmlParserCtxtPtr>(ctx)->_private);
}

void onStartElement(void* ctx, const xmlChar* localname, const xmlChar* prefix, const xmlChar* uri, int nbNamespaces,
                    const xmlChar** namespaces, int nbAttributes, int nbDefaulted, const xmlChar** attributes)
{
    if (watchOf(ctx).depth++ == 0)
        xmlSAX2StartElementNs(ctx, localname, prefix, uri, nbNamespaces, namespaces, nbAttributes, nbDefaulted,
                              attributes);
}

void onEndElement(void* ctx, const xmlChar* localname, const xmlChar* prefix, const xmlChar* uri)
{
    if (--watchOf(ctx).depth == 0)
        xmlSAX2EndElementNs(ctx, localname, prefix, uri);
}

void onCharacters(void* ctx, const xmlChar* text, int len)
{
    if (watchOf(ctx).depth == 0)
        xmlSAX2Characters(ctx, text, len);
}

void onCdata(void* ctx, const xmlChar* text, int len)
{
    if (watchOf(ctx).depth == 0)
        xmlSAX2CDataBlock(ctx, text, len);
}

void onComment(void* ctx, const xmlChar* text)
{
    if (watchOf(ctx).depth == 0)
        xmlSAX2Comment(ctx, text);
}

void onProcessingInstruction(void* ctx, const xmlChar* target, const xmlChar* data)
{
    if (watchOf(ctx).depth == 0)
        xmlSAX2ProcessingInstruction(ctx, target, data);
}

void onReference(void* ctx, const xmlChar* name)
{
    if (watchOf(ctx).depth == 0)
        xmlSAX2Reference(ctx, name);
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

Parsed parse(std::string_view bytes, LoadDepth depth)
{
    Parsed out;
    ParseWatch watch;
    watch.rootOnly = depth == LoadDepth::Root;
    QuietLibxml quiet(&watch);

    xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
    if (!ctxt)
        throw std::bad_alloc();
    ctxt->_private = &watch;
    ctxt->sax->entityDecl = onEntityDecl;
    ctxt->sax->unparsedEntityDecl = onUnparsedEntityDecl;
    ctxt->sax->serror = onParserError;
    xmlCtxtUseOptions(ctxt, depth == LoadDepth::WholeForReading ? kParseOptions | XML_PARSE_COMPACT : kParseOptions);
    if (watch.rootOnly) {
        ctxt->sax->startElementNs = onStartElement;
        ctxt->sax->endElementNs = onEndElement;
        ctxt->sax->characters = onCharacters;
        ctxt->sax->ignorableWhitespace = onCharacters;
        ctxt->sax->cdataBlock = onCdata;
        ctxt->sax->comment = onComment;
        ctxt->sax->processingInstruction = onProcessingInstruction;
        ctxt->sax->reference = onReference;
    }

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

// Where the bytes of a document go, piece by piece.
using Sink = std::function<void(std::string_view)>;

// Writes what produce hands its sink into a new file that then takes the file's place.
// produce returns why the document cannot be written (empty when it can): nothing is
// replaced then.
void replaceAtomically(const std::filesystem::path& file, const std::function<std::string(const Sink&)>& produce)
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
    std::string reason;
    try {
        reason = produce([fd, &err](std::string_view bytes) {
            if (err == 0 && !writeAll(fd, bytes))
                err = errno;
        });
    } catch (...) {
        ::close(fd);
        ::unlink(tmpName.c_str());
        throw;
    }
    if (!reason.empty()) {
        ::close(fd);
        ::unlink(tmpName.c_str());
        throw Error(saveFailure(file, reason));
    }
    if (err == 0 && ::fsync(fd) != 0)
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

// How a new last child of an element whose content is indented by hand is laid out:
// libxml2 indents only elements free of text, so such content needs its layout given.
struct HandLayout {
    bool applies = false;
    xmlNode* closing = nullptr; // the blank text before the end tag; the child goes before it
    std::string indent;         // text before the child
    std::string after;          // text after the child, when the element opens up to hold it
};

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

// Turns UTF-8 into the encoding a document is saved in as libxml2's own output does: a
// character the encoding cannot hold becomes a character reference, and no byte order
// mark is written.
class Encoder {
public:
    explicit Encoder(const char* encoding)
    {
        if (xmlParseCharEncoding(encoding) == XML_CHAR_ENCODING_UTF8)
            return;
        m_handler = xmlFindCharEncodingHandler(encoding);
        m_in = xmlBufferCreate();
        m_out = xmlBufferCreate();
        if (!m_in || !m_out) {
            close();
            throw std::bad_alloc();
        }
    }
    ~Encoder() { close(); }
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;

    bool identity() const { return !m_in; }

    // Appends the text converted to out; false when it cannot be converted.
    bool encode(std::string_view utf8, std::string& out)
    {
        if (identity()) {
            out.append(utf8);
            return true;
        }
        if (!m_handler || utf8.size() > static_cast<size_t>(std::numeric_limits<int>::max()))
            return false;
        QuietLibxml quiet(nullptr);
        xmlBufferEmpty(m_in);
        xmlBufferEmpty(m_out);
        if (xmlBufferAdd(m_in, xc(utf8.data()), static_cast<int>(utf8.size())) != 0)
            throw std::bad_alloc();
        const int converted = xmlCharEncOutFunc(m_handler, m_out, m_in);
        if (converted < 0 || xmlBufferLength(m_in) != 0)
            return false;
        out.append(cc(xmlBufferContent(m_out)), static_cast<size_t>(xmlBufferLength(m_out)));
        return true;
    }

private:
    void close()
    {
        if (m_handler)
            xmlCharEncCloseFunc(m_handler);
        if (m_in)
            xmlBufferFree(m_in);
        if (m_out)
            xmlBufferFree(m_out);
        m_handler = nullptr;
        m_in = m_out = nullptr;
    }

    xmlCharEncodingHandlerPtr m_handler = nullptr;
    xmlBufferPtr m_in = nullptr; // both null for UTF-8, which needs no conversion
    xmlBufferPtr m_out = nullptr;
};

// 128 random bits as hexadecimal digits, to mark a place in a document no one can foresee.
std::string randomToken()
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::random_device random;
    std::string token;
    for (int i = 0; i < 4; ++i) {
        const std::uint32_t bits = random();
        for (int k = 0; k < 8; ++k)
            token += kDigits[(bits >> (4 * k)) & 0xF];
    }
    return token;
}

// The first occurrence at or after from that starts a character, for characters of unit bytes.
size_t findAligned(std::string_view bytes, std::string_view wanted, size_t unit, size_t from = 0)
{
    for (size_t at = bytes.find(wanted, from); at != std::string_view::npos; at = bytes.find(wanted, at + 1)) {
        if (at % unit == 0)
            return at;
    }
    return std::string_view::npos;
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
    m_rows.clear();
}

LoadResult Document::load(const std::filesystem::path& file, LoadDepth depth)
{
    adopt(newEmptyDoc(), false);
    FileBytes read = readWhole(file);
    if (!read.failure.empty())
        return failure(read.failure, 0);
    const bool bom = read.view().starts_with("\xEF\xBB\xBF");
    Parsed parsed = parse(read.view(), depth);
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

// The document as libxml2 writes it, with a placeholder where each element's rows go, and
// what replaces each placeholder. The rows are written only into the output, so that
// neither they nor their layout ever become nodes.
struct Document::Rendered {
    struct Insertion {
        size_t from = 0;  // the bytes the rows replace: their placeholder, with the line
        size_t to = 0;    // break and indentation libxml2 gave it
        const ElementRows* rows = nullptr;
        std::string indent; // UTF-8, before each row
        std::string after;  // UTF-8, after the last row
    };
    std::string bytes;
    std::string encoding;
    std::vector<Insertion> insertions; // in the order of the bytes

    // Hands the whole document to out; returns why it cannot, or the empty text.
    std::string writeTo(const Sink& out) const
    {
        if (insertions.empty()) {
            out(bytes);
            return {};
        }
        Encoder encoder(encoding.c_str());
        std::string converted;
        bool ok = true;
        auto emit = [&](std::string_view utf8) {
            if (!ok || utf8.empty())
                return;
            if (encoder.identity()) {
                out(utf8);
                return;
            }
            converted.clear();
            ok = encoder.encode(utf8, converted);
            if (ok)
                out(converted);
        };
        const std::string_view all = bytes;
        size_t done = 0;
        for (const Insertion& insertion : insertions) {
            out(all.substr(done, insertion.from - done));
            insertion.rows->write(insertion.indent, emit);
            emit(insertion.after);
            done = insertion.to;
        }
        out(all.substr(done));
        return ok ? std::string() : conversionFailure(encoding);
    }

    static std::string conversionFailure(const std::string& encoding)
    {
        return "no se pudo convertir el documento a la codificación '" + encoding + "'";
    }
};

Document::Rendered Document::render(std::string& failure) const
{
    struct Placeholder {
        const ElementRows* rows;
        xmlNode* node;
        HandLayout layout;
    };
    // The placeholders leave the tree on every path, so that it is as it was.
    struct Placeholders : std::vector<Placeholder> {
        ~Placeholders()
        {
            for (const Placeholder& p : *this) {
                xmlUnlinkNode(p.node);
                xmlFreeNode(p.node);
            }
        }
    } placeholders;

    // A comment as the last child of each element with rows to write (before the blank
    // text that ends content indented by hand) keeps it open and marks where they go.
    const std::string token = "ponteva-rows-" + randomToken() + "-";
    placeholders.reserve(m_rows.size()); // so that a placeholder in the tree is always in the list
    for (const std::unique_ptr<ElementRows>& rows : m_rows) {
        if (rows->size() == 0 || !isWithin(rows->m_parent, reinterpret_cast<xmlNode*>(m_doc)))
            continue;
        const std::string text = token + std::to_string(placeholders.size());
        xmlNode* comment = xmlNewDocComment(m_doc, xc(text.c_str()));
        if (!comment)
            throw std::bad_alloc();
        HandLayout layout = handLayout(rows->m_parent);
        if (layout.closing)
            xmlAddPrevSibling(layout.closing, comment);
        else
            xmlAddChild(rows->m_parent, comment);
        placeholders.push_back({rows.get(), comment, std::move(layout)});
    }

    Rendered out;
    out.bytes = serialize(m_doc, m_utf8Bom, failure);
    if (!failure.empty() || placeholders.empty())
        return out;
    out.encoding = m_doc->encoding ? cc(m_doc->encoding) : "UTF-8";

    Encoder encoder(out.encoding.c_str());
    auto encoded = [&](std::string_view utf8) {
        std::string bytes;
        if (!encoder.encode(utf8, bytes))
            failure = Rendered::conversionFailure(out.encoding);
        return bytes;
    };
    const std::string blank = encoded(" ");
    const std::string newline = encoded("\n");
    const size_t unit = std::max<size_t>(blank.size(), 1); // bytes of a blank: 2 in UTF-16
    const std::string_view all = out.bytes;
    for (const Placeholder& p : placeholders) {
        const std::string mark = encoded("<!--" + std::string(cc(p.node->content)) + "-->");
        if (!failure.empty())
            return out;
        const size_t at = findAligned(all, mark, unit);
        if (at == std::string_view::npos || findAligned(all, mark, unit, at + 1) != std::string_view::npos) {
            failure = "no se encontró dónde escribir los elementos '" + p.rows->name() + "'";
            return out;
        }
        Rendered::Insertion insertion{at, at + mark.size(), p.rows, p.layout.indent, p.layout.after};
        if (!p.layout.applies) {
            // libxml2 put the placeholder on a line of its own when it indents the element:
            // each row gets that line break and indentation.
            size_t start = at;
            while (start >= unit && all.substr(start - unit, unit) == blank)
                start -= unit;
            if (start >= newline.size() && all.substr(start - newline.size(), newline.size()) == newline) {
                insertion.from = start - newline.size();
                insertion.indent = "\n" + std::string((at - start) / unit, ' ');
            }
        }
        out.insertions.push_back(std::move(insertion));
    }
    std::sort(out.insertions.begin(), out.insertions.end(),
              [](const Rendered::Insertion& a, const Rendered::Insertion& b) { return a.from < b.from; });
    return out;
}

std::string Document::toBytes() const
{
    std::string failure;
    const Rendered rendered = render(failure);
    std::string bytes;
    if (failure.empty())
        failure = rendered.writeTo([&bytes](std::string_view piece) { bytes.append(piece); });
    if (!failure.empty())
        throw Error("No se pudo escribir el documento XML: " + failure + ".");
    return bytes;
}

void Document::save(const std::filesystem::path& file) const
{
    std::string failure;
    const Rendered rendered = render(failure);
    if (!failure.empty())
        throw Error(saveFailure(file, failure));
    replaceAtomically(file, [&rendered](const Sink& out) { return rendered.writeTo(out); });
}

} // namespace ponteva::xml
