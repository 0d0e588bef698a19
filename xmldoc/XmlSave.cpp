// Saving a document: libxml2's serialization in the declared encoding, the placeholders
// that mark where each element's rows are spliced into its output, and the atomic
// replacement of the file by a temporary one renamed over it.
#include "xmldoc/XmlDocument.h"

#include "core/Error.h"
#include "core/PathText.h"
#include "xmldoc/XmlInternal.h"

#include <libxml/encoding.h>
#include <libxml/tree.h>
#include <libxml/xmlsave.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <functional>
#include <limits>
#include <new>
#include <random>
#include <string>
#include <string_view>
#include <vector>
#ifdef _WIN32
#include "core/FileAccess.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace ponteva::xml {

using detail::cc;
using detail::handLayout;
using detail::HandLayout;
using detail::isWithin;
using detail::ParseWatch;
using detail::QuietLibxml;
using detail::xc;

namespace {

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
        failure
            = std::string("el sistema no sabe escribir la codificación '") + encoding + "' que declara el documento";
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
    return "No se pudo guardar '" + pathText(file) + "': " + reason + ".";
}

// Where the bytes of a document go, piece by piece.
using Sink = std::function<void(std::string_view)>;

#ifdef _WIN32
void replaceAtomically(const std::filesystem::path& file, const std::function<std::string(const Sink&)>& produce)
{
    files::AtomicFile out(file);
    const std::string reason = produce([&out](std::string_view bytes) { out.write(bytes.data(), bytes.size()); });
    if (!reason.empty())
        throw Error(saveFailure(file, reason));
    out.commit();
}
#else
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
    struct stat old { };
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
#endif

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

// The document as libxml2 writes it, with a placeholder where each element's rows go, and
// what replaces each placeholder. The rows are written only into the output, so that
// neither they nor their layout ever become nodes.
struct Document::Rendered {
    struct Insertion {
        size_t from = 0; // the bytes the rows replace: their placeholder, with the line
        size_t to = 0; // break and indentation libxml2 gave it
        const ElementRows* rows = nullptr;
        std::string indent; // UTF-8, before each row
        std::string after; // UTF-8, after the last row
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
