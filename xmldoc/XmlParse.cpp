// The checked parse of a file. Every file is untrusted: it is read into memory by us,
// parsed without network, external files or entity expansion, and refused outright when it
// declares entities. libxml2's messages are gathered for the caller, never printed.
#include "xmldoc/XmlParse.h"

#include "core/FileAccess.h"
#include "text/Clipper.h"
#include "xmldoc/Windows1252Encoding.h"

#include <libxml/parserInternals.h>
#include <libxml/xmlIO.h>
#include <libxml/xmlerror.h>

#include <algorithm>
#include <mutex>
#include <new>
#include <string>
#include <string_view>

namespace ponteva::xml {

namespace detail {
namespace {

// What went wrong while parsing, gathered from libxml2's callbacks.
struct ParseWatch {
    void* owner = nullptr;
    int entityLine = -1; // line of the first entity declaration; -1 while none
    int undeclaredLine = -1; // line of the first reference to an undeclared entity
    std::string unknownEncoding; // an encoding the system cannot read, as the document names it
    int encodingLine = 0;
    std::string fatal; // first fatal error, which is what ends the parse
    int fatalLine = 0;
    std::string error; // first non-fatal error, reported when no fatal one came
    int errorLine = 0;
};

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

void record(ParseWatch& watch, const xmlError* error)
{
    if (!error)
        return;
    if (error->code == XML_WAR_UNDECLARED_ENTITY && watch.undeclaredLine < 0)
        watch.undeclaredLine = error->line;
    if ((error->code == XML_ERR_UNSUPPORTED_ENCODING || error->code == XML_ERR_UNKNOWN_ENCODING) && error->str1
        && watch.unknownEncoding.empty()) {
        watch.unknownEncoding = error->str1;
        watch.encodingLine = error->line;
    }
    if (error->level == XML_ERR_FATAL && watch.fatal.empty()) {
        watch.fatal = oneLine(error->message);
        watch.fatalLine = error->line;
    } else if (error->level == XML_ERR_ERROR && watch.error.empty()) {
        watch.error = oneLine(error->message);
        watch.errorLine = error->line;
    }
}

ParseWatch& watchOf(void* ctxt)
{
    return *static_cast<ParseWatch*>(static_cast<xmlParserCtxtPtr>(ctxt)->_private);
}

// The parser context's own channel: its user data is the context.
void onParserError(void* ctxt, xmlErrorPtr error)
{
    record(watchOf(ctxt), error);
}

// Errors libxml2 raises without a context (encoding conversion).
void onStrayError(void* watch, xmlErrorPtr error)
{
    if (watch)
        record(*static_cast<ParseWatch*>(watch), error);
}

void ignoreError(void*, xmlErrorPtr) { }
void ignoreGenericError(void*, const char*, ...) { }

// An entity declaration stops the parse on the spot, before anything can be expanded:
// the exchange document never declares one, and expansion is what entity attacks use.
void stopAtEntity(void* ctx)
{
    auto* ctxt = static_cast<xmlParserCtxtPtr>(ctx);
    ParseWatch& watch = watchOf(ctx);
    if (watch.entityLine < 0)
        watch.entityLine = ctxt->input ? ctxt->input->line : 0;
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

// Hands our buffer to libxml2 a chunk at a time, as a file would be: the parser keeps only
// a window of it (converted, when the document is not UTF-8) instead of a second copy.
int readMemory(void* context, char* buffer, int len)
{
    auto* rest = static_cast<std::string_view*>(context);
    const size_t n = std::min(rest->size(), static_cast<size_t>(std::max(len, 0)));
    std::copy_n(rest->data(), n, buffer);
    rest->remove_prefix(n);
    return static_cast<int>(n);
}

LoadResult failure(std::string reason, int line)
{
    LoadResult r;
    r.reason = std::move(reason);
    r.line = std::max(line, 0);
    return r;
}

} // namespace

void initLibxml()
{
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        xmlSetExternalEntityLoader(refuseExternalEntity);
        registerWindows1252Encoding();
    });
}

QuietLibxml::QuietLibxml()
    : m_structured(xmlStructuredError)
    , m_structuredContext(xmlStructuredErrorContext)
    , m_generic(xmlGenericError)
    , m_genericContext(xmlGenericErrorContext)
{
    xmlSetStructuredErrorFunc(nullptr, ignoreError);
    xmlSetGenericErrorFunc(nullptr, ignoreGenericError);
}

QuietLibxml::~QuietLibxml()
{
    xmlSetStructuredErrorFunc(m_structuredContext, m_structured);
    xmlSetGenericErrorFunc(m_genericContext, m_generic);
}

void* parseOwner(void* ctxt)
{
    return watchOf(ctxt).owner;
}

LoadResult parseFile(const std::filesystem::path& file, int options, void* owner,
    const std::function<void(xmlParserCtxtPtr)>& prepare, xmlDocPtr& doc, bool* utf8Bom)
{
    initLibxml();
    doc = nullptr;
    std::string bytes;
    std::string unreadable;
    if (!files::readWholeFile(file, Document::kMaxFileSize, bytes, unreadable))
        return failure(unreadable + ".", 0);
    if (utf8Bom)
        *utf8Bom = bytes.starts_with("\xEF\xBB\xBF");

    ParseWatch watch;
    watch.owner = owner;
    QuietLibxml quiet;
    xmlSetStructuredErrorFunc(&watch, onStrayError);

    xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
    if (!ctxt)
        throw std::bad_alloc();
    ctxt->_private = &watch;
    ctxt->sax->entityDecl = onEntityDecl;
    ctxt->sax->unparsedEntityDecl = onUnparsedEntityDecl;
    ctxt->sax->serror = onParserError;
    // No network, no entity substitution, no external DTD or its default attributes, no XInclude.
    xmlCtxtUseOptions(ctxt, XML_PARSE_NONET | options);
    prepare(ctxt);

    std::string_view rest = bytes;
    xmlParserInputBufferPtr buffer = xmlParserInputBufferCreateIO(readMemory, nullptr, &rest, XML_CHAR_ENCODING_NONE);
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

    xmlDocPtr built = ctxt->myDoc;
    ctxt->myDoc = nullptr;
    const bool wellFormed = ctxt->wellFormed != 0;
    xmlFreeParserCtxt(ctxt);

    LoadResult result;
    if (watch.entityLine >= 0) {
        result = failure("El documento declara entidades (<!ENTITY ...>), que un documento de Zedra no usa; "
                         "no se carga por seguridad.",
            watch.entityLine);
    } else if (!watch.unknownEncoding.empty()) {
        result = failure("El documento está en la codificación '" + watch.unknownEncoding
                + "', que este programa no sabe leer; guárdelo en UTF-8 o en Windows-1252.",
            watch.encodingLine);
    } else if (!wellFormed) {
        if (!watch.fatal.empty())
            result = failure(watch.fatal, watch.fatalLine);
        else if (!watch.error.empty())
            result = failure(watch.error, watch.errorLine);
        else
            result = failure("El documento no es XML bien formado.", 0);
    } else if (watch.undeclaredLine >= 0) {
        // Only possible with an external DTD we never read; the reference would be lost.
        result = failure("El documento usa entidades que no declara (&...;), que un documento de Zedra no usa; "
                         "no se carga.",
            watch.undeclaredLine);
    } else {
        result.ok = true;
        doc = built;
        return result;
    }
    if (built)
        xmlFreeDoc(built);
    return result;
}

} // namespace detail

std::string LoadResult::describe() const
{
    // A sentence with one full stop: the line, when known, goes before it.
    std::string sentence = reason;
    while (!sentence.empty() && (sentence.back() == '.' || sentence.back() == ' '))
        sentence.pop_back();
    if (sentence.empty())
        sentence = "El documento no se pudo cargar";
    if (line > 0)
        sentence += " (línea " + std::to_string(line) + ")";
    return sentence + ".";
}

} // namespace ponteva::xml
