// Element rows: many simple children of one element kept as UTF-8 text rather than as
// libxml2 nodes, escaped as libxml2 escapes attribute values.
#include "xmldoc/XmlDocument.h"

#include "text/Ansi.h"
#include "xmldoc/XmlText.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

namespace ponteva::xml {

namespace {

constexpr std::size_t kBlockSize = 1u << 20; // rows are kept in blocks of about this size
constexpr std::size_t kPieceSize = 64u * 1024; // and handed on in pieces of about this size
constexpr std::size_t kLongestByte = 6; // the longest text one byte becomes: &quot;

// What each Windows-1252 byte becomes inside a double-quoted attribute value, UTF-8: the
// control rule of setAttribute, the code page's character, markup and white space escaped
// as libxml2 escapes them.
struct ByteText {
    std::array<char, 8> text{}; // copied whole, a word at a time
    unsigned char size = 0;
};

std::array<ByteText, 256> buildByteTexts()
{
    std::array<ByteText, 256> table{};
    for (int b = 0; b < 256; ++b) {
        const std::string utf8 = ansiToUtf8(detail::withoutForbiddenControls(std::string(1, static_cast<char>(b))));
        std::string_view text = utf8;
        if (utf8.size() == 1) {
            switch (utf8[0]) {
            case '&': text = "&amp;"; break;
            case '<': text = "&lt;"; break;
            case '>': text = "&gt;"; break;
            case '"': text = "&quot;"; break;
            case '\t': text = "&#9;"; break;
            case '\n': text = "&#10;"; break;
            case '\r': text = "&#13;"; break;
            default: break;
            }
        }
        ByteText& entry = table[static_cast<std::size_t>(b)];
        std::memcpy(entry.text.data(), text.data(), text.size());
        entry.size = static_cast<unsigned char>(text.size());
    }
    return table;
}

const std::array<ByteText, 256>& byteTexts()
{
    static const std::array<ByteText, 256> table = buildByteTexts();
    return table;
}

} // namespace

ElementRows::ElementRows(_xmlNode* parent, std::string name, std::vector<std::string> attributeNames)
    : m_parent(parent)
    , m_name(std::move(name))
    , m_attributeNames(std::move(attributeNames))
{
    m_markup = "<" + m_name;
    for (const std::string& attribute : m_attributeNames) {
        m_markup += " " + attribute + "=\"";
        m_markupEnd.push_back(m_markup.size());
        m_markup += "\"";
    }
    m_markup += "/>\n";
    m_markupEnd.push_back(m_markup.size());
}

void ElementRows::add(std::span<const std::string_view> values)
{
    if (values.size() != m_attributeNames.size())
        throw std::logic_error("ElementRows::add: " + std::to_string(values.size()) + " values for "
            + std::to_string(m_attributeNames.size()) + " attributes of " + m_name);
    // Room for the longest text the row can become, and for the whole last copy of a
    // byte's text: a row never straddles blocks.
    std::size_t longest = m_markup.size() + sizeof(ByteText::text);
    for (std::string_view value : values)
        longest += value.size() * kLongestByte;
    if (m_blocks.empty() || m_blocks.back().capacity - m_blocks.back().size < longest) {
        const std::size_t capacity = std::max(kBlockSize, longest);
        m_blocks.push_back({std::make_unique_for_overwrite<char[]>(capacity), 0, capacity});
    }
    Block& block = m_blocks.back();
    char* out = block.data.get() + block.size;

    const std::array<ByteText, 256>& texts = byteTexts();
    std::size_t markup = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        std::memcpy(out, m_markup.data() + markup, m_markupEnd[i] - markup);
        out += m_markupEnd[i] - markup;
        markup = m_markupEnd[i];
        for (const char c : values[i]) {
            const ByteText& t = texts[static_cast<unsigned char>(c)];
            std::memcpy(out, t.text.data(), sizeof t.text);
            out += t.size;
        }
    }
    std::memcpy(out, m_markup.data() + markup, m_markup.size() - markup);
    out += m_markup.size() - markup;
    block.size = static_cast<std::size_t>(out - block.data.get());
    ++m_count;
}

void ElementRows::write(std::string_view indent, const std::function<void(std::string_view)>& out) const
{
    std::string piece;
    piece.reserve(kPieceSize * 2);
    for (const Block& block : m_blocks) {
        std::string_view rest(block.data.get(), block.size);
        while (!rest.empty()) {
            const std::size_t end = rest.find('\n');
            piece += indent;
            piece.append(rest.data(), end);
            rest.remove_prefix(end + 1);
            if (piece.size() >= kPieceSize) {
                out(piece);
                piece.clear();
            }
        }
    }
    if (!piece.empty())
        out(piece);
}

} // namespace ponteva::xml
