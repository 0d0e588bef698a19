// Windows-1252 to UTF-8 and back, as libxml2's character encoding handler functions.
#include "xmldoc/Windows1252Encoding.h"

#include <libxml/encoding.h>

#include <array>
#include <cstdint>
#include <unordered_map>

namespace ponteva {
namespace {
#include "text/AnsiTables.inc"
} // namespace
} // namespace ponteva

namespace ponteva::xml::detail {

namespace {

// What libxml2 takes a handler's return values to mean.
constexpr int kInvalidInput = -2; // a character the other side cannot hold, at *inlen

const std::unordered_map<char32_t, unsigned char>& unicodeToAnsi()
{
    static const std::unordered_map<char32_t, unsigned char> map = [] {
        std::unordered_map<char32_t, unsigned char> m;
        for (int byte = 0; byte < 256; ++byte)
            m.emplace(kAnsiToUnicode[byte], static_cast<unsigned char>(byte));
        return m;
    }();
    return map;
}

// Windows-1252 in, UTF-8 out. Every byte has a character (the five unassigned ones are
// the C1 controls of the same value, as Windows reads them).
int decodeAnsi(unsigned char* out, int* outlen, const unsigned char* in, int* inlen)
{
    if (!out || !outlen || !inlen)
        return -1;
    if (!in) {
        *outlen = *inlen = 0;
        return 0;
    }
    int done = 0, written = 0;
    while (done < *inlen) {
        const char16_t c = kAnsiToUnicode[in[done]];
        const int need = c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
        if (written + need > *outlen)
            break;
        if (need == 1) {
            out[written] = static_cast<unsigned char>(c);
        } else if (need == 2) {
            out[written] = static_cast<unsigned char>(0xC0 | (c >> 6));
            out[written + 1] = static_cast<unsigned char>(0x80 | (c & 0x3F));
        } else {
            out[written] = static_cast<unsigned char>(0xE0 | (c >> 12));
            out[written + 1] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
            out[written + 2] = static_cast<unsigned char>(0x80 | (c & 0x3F));
        }
        written += need;
        ++done;
    }
    *inlen = done;
    *outlen = written;
    return written;
}

// UTF-8 in, Windows-1252 out. A character the code page lacks stops the conversion there
// with kInvalidInput; libxml2 then writes it as a character reference. A character cut at
// the end of the input is left for the next call.
int encodeAnsi(unsigned char* out, int* outlen, const unsigned char* in, int* inlen)
{
    if (!out || !outlen || !inlen)
        return -1;
    if (!in) {
        *outlen = *inlen = 0;
        return 0;
    }
    const auto& map = unicodeToAnsi();
    int done = 0, written = 0, result = 0;
    while (done < *inlen && written < *outlen) {
        const unsigned char lead = in[done];
        int length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
        if (length == 0) {
            result = kInvalidInput;
            break;
        }
        if (done + length > *inlen)
            break;
        char32_t c = length == 1 ? lead : lead & (0xFF >> (length + 1));
        bool valid = true;
        for (int k = 1; k < length; ++k) {
            const unsigned char next = in[done + k];
            valid = valid && (next & 0xC0) == 0x80;
            c = (c << 6) | (next & 0x3F);
        }
        const auto found = valid ? map.find(c) : map.end();
        if (found == map.end()) {
            result = kInvalidInput;
            break;
        }
        out[written++] = found->second;
        done += length;
    }
    *inlen = done;
    *outlen = written;
    return result == 0 ? written : result;
}

} // namespace

void registerWindows1252Encoding()
{
    // Registered handlers live as long as libxml2; this one is never freed.
    xmlCharEncodingHandlerPtr handler = xmlNewCharEncodingHandler("windows-1252", decodeAnsi, encodeAnsi);
    if (handler)
        xmlAddEncodingAlias("windows-1252", "CP1252");
}

} // namespace ponteva::xml::detail
