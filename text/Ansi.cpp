#include "Ansi.h"

#include <algorithm>
#include <array>

namespace ponteva {

namespace {

#include "AnsiTables.inc"

constexpr unsigned char kUnknown = '?';

// Reverse of kAnsiToUnicode for U+0080..U+FFFF, built once.
struct ReverseMap {
    std::array<unsigned char, 0x10000> ansi{};
    std::array<bool, 0x10000> present{};
    ReverseMap()
    {
        for (int b = 0; b < 256; ++b) {
            ansi[kAnsiToUnicode[b]] = static_cast<unsigned char>(b);
            present[kAnsiToUnicode[b]] = true;
        }
        for (const BaseLetter& l : kBaseLetters) {
            if (!present[l.code]) {
                ansi[l.code] = l.ansi;
                present[l.code] = true;
            }
        }
    }
};

const ReverseMap& reverseMap()
{
    static const ReverseMap map;
    return map;
}

bool isCombiningMark(char32_t c)
{
    return (c >= 0x0300 && c <= 0x036F) || (c >= 0x1AB0 && c <= 0x1AFF) || (c >= 0x1DC0 && c <= 0x1DFF)
        || (c >= 0x20D0 && c <= 0x20FF) || (c >= 0xFE20 && c <= 0xFE2F);
}

// Decodes one UTF-8 sequence at text[i]; advances i. Malformed input gives U+FFFD and
// consumes one byte, so every bad byte becomes one '?'.
char32_t decodeUtf8(std::string_view text, size_t& i)
{
    const auto b0 = static_cast<unsigned char>(text[i]);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    int len = 0;
    char32_t cp = 0;
    if ((b0 & 0xE0) == 0xC0) {
        len = 2;
        cp = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3;
        cp = b0 & 0x0F;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4;
        cp = b0 & 0x07;
    } else {
        ++i;
        return 0xFFFD;
    }
    if (i + static_cast<size_t>(len) > text.size()) {
        ++i;
        return 0xFFFD;
    }
    for (int k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return 0xFFFD;
    }
    i += static_cast<size_t>(len);
    return cp;
}

void appendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// The Windows-1252 letter for base letter + combining mark, or 0.
unsigned char compose(char32_t letter, char32_t mark)
{
    for (const Composition& c : kCompositions) {
        if (c.letter == letter && c.mark == mark)
            return c.ansi;
    }
    return 0;
}

} // namespace

bool isAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::string utf8ToAnsi(std::string_view utf8)
{
    if (isAscii(utf8))
        return std::string(utf8);
    const ReverseMap& map = reverseMap();
    std::string out;
    out.reserve(utf8.size());
    char32_t previous = 0; // the last character written, while a mark may still join it
    for (size_t i = 0; i < utf8.size();) {
        const char32_t cp = decodeUtf8(utf8, i);
        if (cp < 0x80) {
            out += static_cast<char>(cp);
            previous = cp;
            continue;
        }
        if (isCombiningMark(cp)) {
            if (previous != 0) {
                if (const unsigned char composed = compose(previous, cp)) {
                    out.back() = static_cast<char>(composed);
                    previous = kAnsiToUnicode[composed];
                }
                // A mark the code page cannot join to its letter is dropped: the letter
                // stays readable, as for a precomposed letter.
                continue;
            }
            out += static_cast<char>(kUnknown);
            continue;
        }
        if (cp < 0x10000 && map.present[cp]) {
            const unsigned char b = map.ansi[cp];
            out += static_cast<char>(b);
            previous = kAnsiToUnicode[b];
        } else {
            out += static_cast<char>(kUnknown);
            previous = 0;
        }
    }
    return out;
}

std::string ansiToUtf8(std::string_view ansi)
{
    if (isAscii(ansi))
        return std::string(ansi);
    std::string out;
    out.reserve(ansi.size() + ansi.size() / 2);
    for (const char c : ansi)
        appendUtf8(out, kAnsiToUnicode[static_cast<unsigned char>(c)]);
    return out;
}

unsigned char ansiUpper(unsigned char c)
{
    if (c >= 'a' && c <= 'z')
        return static_cast<unsigned char>(c - 0x20);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
        return static_cast<unsigned char>(c - 0x20);
    switch (c) {
    case 0x9A: return 0x8A; // š Š
    case 0x9C: return 0x8C; // œ Œ
    case 0x9E: return 0x8E; // ž Ž
    case 0xFF: return 0x9F; // ÿ Ÿ
    default: return c;
    }
}

std::string ansiUpper(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(ansiUpper(static_cast<unsigned char>(c)));
    return out;
}

bool ansiEqualsIgnoreCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (ansiUpper(static_cast<unsigned char>(a[i])) != ansiUpper(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

} // namespace ponteva
