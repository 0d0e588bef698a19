// The stream writer: libxml2's xmlTextWriter over an output buffer whose bytes go straight
// into a files::AtomicFile.
#include "xmldoc/XmlWriter.h"

#include "core/Error.h"
#include "core/FileAccess.h"
#include "xmldoc/XmlParse.h"

#include <libxml/encoding.h>
#include <libxml/xmlIO.h>
#include <libxml/xmlwriter.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

namespace ponteva::xml {

using detail::xc;

namespace {

// XML 1.0 cannot carry these characters at all, not even as references.
bool isForbiddenControl(unsigned char b)
{
    return b < 0x20 && b != '\t' && b != '\n' && b != '\r';
}

char* put(char* out, std::string_view text)
{
    std::memcpy(out, text.data(), text.size());
    return out + text.size();
}

// The most bytes one byte of a value becomes: "&quot;".
constexpr size_t kLongestEscape = 6;

// Writes the value as libxml2 writes an attribute value between double quotes: markup and
// white space other than the blank as references, what XML cannot carry as a blank.
char* putAttributeValue(char* out, std::string_view utf8)
{
    for (const char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        if (c > '>') { // letters and every byte of a multibyte character
            *out++ = ch;
            continue;
        }
        switch (c) {
        case '&': out = put(out, "&amp;"); break;
        case '<': out = put(out, "&lt;"); break;
        case '>': out = put(out, "&gt;"); break;
        case '"': out = put(out, "&quot;"); break;
        case '\t': out = put(out, "&#9;"); break;
        case '\n': out = put(out, "&#10;"); break;
        case '\r': out = put(out, "&#13;"); break;
        default: *out++ = isForbiddenControl(c) ? ' ' : ch;
        }
    }
    return out;
}

} // namespace

struct StreamWriter::Impl {
    detail::QuietLibxml quiet; // first made, last gone
    files::AtomicFile file;
    xmlTextWriterPtr writer = nullptr;
    std::exception_ptr failure; // why the file could not take the bytes
    std::string name; // reused, NUL-terminated copies for libxml2
    std::string value;
    std::vector<char> row; // an empty element written in one piece
    std::vector<bool> pieces; // for each open element, whether it holds elements written in one piece

    explicit Impl(const std::filesystem::path& target)
        : file(target)
    {
    }
    ~Impl()
    {
        if (writer)
            xmlFreeTextWriter(writer);
    }

    static int take(void* context, const char* bytes, int len)
    {
        auto* self = static_cast<Impl*>(context);
        try {
            self->file.write(bytes, static_cast<size_t>(len));
            return len;
        } catch (...) {
            self->failure = std::current_exception();
            return -1;
        }
    }

    [[noreturn]] void fail(const std::string& reason)
    {
        if (failure)
            std::rethrow_exception(failure);
        throw Error("No se pudo guardar '" + file.target().string() + "': " + reason + ".");
    }

    void check(int status)
    {
        if (status < 0 || failure)
            fail("no se pudo escribir el documento");
    }

    const xmlChar* nameOf(std::string_view text)
    {
        name.assign(text);
        return xc(name.c_str());
    }
};

StreamWriter::StreamWriter(const std::filesystem::path& target, const Prolog& prolog)
    : m(std::make_unique<Impl>(target))
{
    detail::initLibxml();
    const std::string encoding = prolog.encoding.empty() ? "UTF-8" : prolog.encoding;
    xmlCharEncodingHandlerPtr known = xmlFindCharEncodingHandler(encoding.c_str());
    if (!known)
        m->fail("el sistema no sabe escribir la codificación '" + encoding + "' que declara el documento");
    xmlCharEncCloseFunc(known);

    if (prolog.utf8Bom && xmlParseCharEncoding(encoding.c_str()) == XML_CHAR_ENCODING_UTF8)
        m->file.write("\xEF\xBB\xBF", 3);
    xmlOutputBufferPtr out = xmlOutputBufferCreateIO(Impl::take, nullptr, m.get(), nullptr);
    if (!out)
        throw std::bad_alloc();
    m->writer = xmlNewTextWriter(out); // owns out from here on, even when it fails
    if (!m->writer)
        throw std::bad_alloc();
    m->check(xmlTextWriterSetIndent(m->writer, 1));
    m->check(xmlTextWriterSetIndentString(m->writer, xc("  ")));
    m->check(xmlTextWriterStartDocument(m->writer, prolog.version.c_str(), encoding.c_str(),
        prolog.standalone.empty() ? nullptr : prolog.standalone.c_str()));
    for (const OutsideNode& node : prolog.outside) {
        if (node.kind == OutsideNode::Kind::Comment) {
            m->check(xmlTextWriterWriteComment(m->writer, xc(node.content.c_str())));
        } else if (node.content.empty()) {
            m->check(xmlTextWriterStartPI(m->writer, xc(node.target.c_str())));
            m->check(xmlTextWriterEndPI(m->writer));
        } else {
            m->check(xmlTextWriterWritePI(m->writer, xc(node.target.c_str()), xc(node.content.c_str())));
        }
    }
}

StreamWriter::~StreamWriter() = default;

void StreamWriter::startElement(std::string_view name)
{
    m->check(xmlTextWriterStartElement(m->writer, m->nameOf(name)));
    m->pieces.push_back(false);
}

void StreamWriter::attribute(std::string_view name, std::string_view utf8)
{
    m->value.assign(utf8);
    for (char& c : m->value) {
        if (isForbiddenControl(static_cast<unsigned char>(c)))
            c = ' ';
    }
    m->check(xmlTextWriterWriteAttribute(m->writer, m->nameOf(name), xc(m->value.c_str())));
}

void StreamWriter::endElement()
{
    if (m->pieces.empty())
        throw std::logic_error("StreamWriter::endElement without an open element");
    // libxml2 does not indent after what it was given in one piece: its end tag goes on a
    // line of its own here.
    if (m->pieces.back()) {
        const std::string closing = "\n" + std::string(2 * (m->pieces.size() - 1), ' ');
        m->check(xmlTextWriterWriteRaw(m->writer, xc(closing.c_str())));
    }
    m->pieces.pop_back();
    m->check(xmlTextWriterEndElement(m->writer));
}

void StreamWriter::emptyElement(
    std::string_view name, std::span<const std::string_view> attributeNames, std::span<const std::string_view> values)
{
    if (m->pieces.empty() || attributeNames.size() != values.size())
        throw std::logic_error("StreamWriter::emptyElement outside an element, or not a value per attribute");
    const size_t indent = 2 * m->pieces.size();
    size_t longest = 1 + indent + 1 + name.size() + 2;
    for (size_t i = 0; i < values.size(); ++i)
        longest += 1 + attributeNames[i].size() + 3 + kLongestEscape * values[i].size();
    if (m->row.size() < longest)
        m->row.resize(longest);
    char* const start = m->row.data();
    char* out = start;
    *out++ = '\n';
    out = std::fill_n(out, indent, ' ');
    *out++ = '<';
    out = put(out, name);
    for (size_t i = 0; i < values.size(); ++i) {
        *out++ = ' ';
        out = put(out, attributeNames[i]);
        out = put(out, "=\"");
        out = putAttributeValue(out, values[i]);
        *out++ = '"';
    }
    out = put(out, "/>");
    m->check(xmlTextWriterWriteRawLen(m->writer, xc(start), static_cast<int>(out - start)));
    m->pieces.back() = true;
}

void StreamWriter::commit()
{
    while (!m->pieces.empty())
        endElement();
    m->check(xmlTextWriterEndDocument(m->writer));
    // Freeing the writer hands the last bytes to the file.
    xmlFreeTextWriter(m->writer);
    m->writer = nullptr;
    m->check(0);
    m->file.commit();
}

} // namespace ponteva::xml
