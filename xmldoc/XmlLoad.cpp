// Loading a document. Every file is untrusted: it is read into memory by us, parsed
// without network, external files or entity expansion, and refused outright when it
// declares entities. Holds the parse watch that gathers libxml2's errors, the guard that
// keeps them off stderr, and the tree builder that keeps only the root.
#include "xmldoc/XmlDocument.h"

#include "core/Error.h"
#include "text/Clipper.h"
#include "xmldoc/Windows1252Encoding.h"
#include "xmldoc/XmlInternal.h"

#include <libxml/SAX2.h>
#include <libxml/encoding.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/xmlIO.h>
#include <libxml/xmlerror.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <string_view>
#ifdef _WIN32
#include "core/FileAccess.h"
#include <cstring>
#else
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace ponteva::xml {

using detail::ParseWatch;
using detail::QuietLibxml;

namespace {

// Refuses every external entity, DTD or file libxml2 might try to fetch.
xmlParserInputPtr refuseExternalEntity(const char*, const char*, xmlParserCtxtPtr)
{
    return nullptr;
}

// libxml2 messages end in a newline and sometimes carry a second line.
std::string oneLine(const char* message)
{
    std::string text = message ? message : "";
    std::replace(text.begin(), text.end(), '\n', ' ');
    std::replace(text.begin(), text.end(), '\r', ' ');
    return AllTrim(std::move(text));
}

// libxml2's message, or ours where the user can act on it: a document in an encoding
// that neither platform reads can be saved again in one they do.
std::string describe(const xmlError* error)
{
    if (error->code == XML_ERR_UNSUPPORTED_ENCODING && error->str1)
        return std::string("El documento está en la codificación '") + error->str1
            + "', que este programa no sabe leer; guárdelo en UTF-8 o en Windows-1252.";
    return oneLine(error->message);
}

void record(ParseWatch& watch, const xmlError* error)
{
    if (!error)
        return;
    if (error->code == XML_WAR_UNDECLARED_ENTITY && watch.undeclaredLine < 0)
        watch.undeclaredLine = error->line;
    if (error->level == XML_ERR_FATAL && watch.fatal.empty()) {
        watch.fatal = describe(error);
        watch.fatalLine = error->line;
    } else if (error->level == XML_ERR_ERROR && watch.error.empty()) {
        watch.error = describe(error);
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

void ignoreGenericError(void*, const char*, ...) { }

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
        xmlSAX2StartElementNs(
            ctx, localname, prefix, uri, nbNamespaces, namespaces, nbAttributes, nbDefaulted, attributes);
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

#ifdef _WIN32
FileBytes readWhole(const std::filesystem::path& file)
{
    FileBytes out;
    std::string data;
    if (!files::readWholeFile(file, Document::kMaxFileSize, data, out.failure)) {
        out.failure += ".";
        return out;
    }
    out.data.reset(static_cast<char*>(std::malloc(std::max<size_t>(data.size(), 1))));
    if (!out.data)
        throw std::bad_alloc();
    std::memcpy(out.data.get(), data.data(), data.size());
    out.size = data.size();
    return out;
}
#else
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
    struct stat st { };
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
#endif

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

} // namespace

namespace detail {

void initLibxml()
{
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        xmlSetExternalEntityLoader(refuseExternalEntity);
        registerWindows1252Encoding();
    });
}

QuietLibxml::QuietLibxml(ParseWatch* watch)
    : m_structured(xmlStructuredError)
    , m_structuredContext(xmlStructuredErrorContext)
    , m_generic(xmlGenericError)
    , m_genericContext(xmlGenericErrorContext)
{
    xmlSetStructuredErrorFunc(watch, onStrayError);
    xmlSetGenericErrorFunc(nullptr, ignoreGenericError);
}

QuietLibxml::~QuietLibxml()
{
    xmlSetStructuredErrorFunc(m_structuredContext, m_structured);
    xmlSetGenericErrorFunc(m_genericContext, m_generic);
}

} // namespace detail

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

LoadResult Document::load(const std::filesystem::path& file, LoadDepth depth)
{
    adopt(detail::newEmptyDoc(), false);
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

} // namespace ponteva::xml
