#include "XmlTestSupport.h"

namespace ponteva::test {

xml::LoadResult loadBytes(xml::Document& doc, const TempDir& dir, std::string_view bytes, std::string_view name)
{
    const auto file = dir / name;
    writeFile(file, bytes);
    return doc.load(file);
}

xml::LoadResult readRootBytes(xml::RootOutline& root, const TempDir& dir, std::string_view bytes, std::string_view name)
{
    const auto file = dir / name;
    writeFile(file, bytes);
    return xml::readRoot(file, root);
}

const char* readerName(Reader reader)
{
    return reader == Reader::Tree ? "tree" : "root only";
}

xml::LoadResult readBytes(Reader reader, const TempDir& dir, std::string_view bytes, bool& empty)
{
    if (reader == Reader::Tree) {
        xml::Document doc;
        const xml::LoadResult r = loadBytes(doc, dir, bytes);
        empty = doc.documentElement().isNull();
        return r;
    }
    xml::RootOutline root;
    const xml::LoadResult r = readRootBytes(root, dir, bytes);
    empty = root.name.empty() && root.attributes.empty() && root.prolog.outside.empty();
    return r;
}

std::string toUtf16(std::string_view utf8, bool bigEndian)
{
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    auto put = [&](char32_t unit) {
        const char hi = static_cast<char>(unit >> 8), lo = static_cast<char>(unit & 0xFF);
        out += bigEndian ? hi : lo;
        out += bigEndian ? lo : hi;
    };
    for (size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        const int len = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        char32_t cp = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
        for (int k = 1; k < len; ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + static_cast<size_t>(k)]) & 0x3F);
        i += static_cast<size_t>(len);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            put(0xD800 + (cp >> 10));
            put(0xDC00 + (cp & 0x3FF));
        } else {
            put(cp);
        }
    }
    return out;
}

std::string ids(const std::vector<xml::Element>& elements)
{
    std::string out;
    for (const xml::Element& e : elements) {
        if (!out.empty())
            out += ',';
        out += e.attribute("id");
    }
    return out;
}

} // namespace ponteva::test
