// Windows-1252 conversion and case folding: names of staff from every European country
// must stay readable in the tables, and codes compare as the tables need.
#include "text/Ansi.h"

#include <gtest/gtest.h>

using namespace ponteva;

namespace {

TEST(Ansi, Utf8ToAnsi)
{
    const std::pair<const char*, const char*> cases[] = {
        {"Matemáticas", "Matem\xE1ticas"},
        {"Ñandú Güemes",
            "\xD1"
            "and\xFA"
            " G\xFC"
            "emes"},
        {"€ Š Ž š ž Œ œ Ÿ ƒ", "\x80 \x8A \x8E \x9A \x9E \x8C \x9C \x9F \x83"}, // the 0x80-0x9F range
        {"“citas” – ‘x’ … ™ •",
            "\x93"
            "citas\x94 \x96 \x91x\x92 \x85 \x99 \x95"},
        {"Ștefan Bădescu", "Stefan Badescu"}, // comma below, breve: base letters
        {"Şerban Ţepeş", "Serban Tepes"}, // cedilla forms too
        {"Łukasz Żółć",
            "Lukasz Z\xF3l"
            "c"}, // stroke has no decomposition
        {"Dvořák", "Dvor\xE1k"}, // accents the code page holds stay
        {"Đorđe Ħal ı", "Dorde Hal i"},
        {"Nguyễn", "Nguy\xEAn"}, // keeps the accent the code page has
        {"Ελλάδα", "??????"}, // no base letter in the code page
        {"日本", "??"},
        {"😀x", "?x"}, // beyond the BMP: one '?'
        {"e\xCC\x81", "\xE9"}, // e + combining acute composes
        {"s\xCC\xA6", "s"}, // s + comma below: the mark is dropped
        {"\xCC\x81", "?"}, // a lone mark
        {"a\xFF"
         "b",
            "a?b"}, // malformed byte
        {"\xE2\x82", "??"}, // truncated sequence
        {"\xC0\x80", "??"}, // overlong form
        {"", ""},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(utf8ToAnsi(in), out) << in;
}

TEST(Ansi, RoundTripOfTheWholeCodePage)
{
    std::string all;
    for (int b = 1; b < 256; ++b)
        all += static_cast<char>(b);
    EXPECT_EQ(utf8ToAnsi(ansiToUtf8(all)), all);
    EXPECT_EQ(ansiToUtf8("\x80\x8A\xBD"), "€Š½");
}

TEST(Ansi, CaseInsensitiveEquality)
{
    struct Case {
        std::string a, b;
        bool equal;
    };
    const Case cases[] = {
        {"ico", "ICO", true},
        {utf8ToAnsi("Ñandú"), utf8ToAnsi("ñANDÚ"), true},
        {utf8ToAnsi("É"), utf8ToAnsi("é"), true},
        {utf8ToAnsi("Š"), utf8ToAnsi("š"), true},
        {utf8ToAnsi("Žœÿ"), utf8ToAnsi("žŒŸ"), true},
        {utf8ToAnsi("É"), "E", false}, // accented differs from unaccented
        {utf8ToAnsi("ß"), "SS", false},
        {utf8ToAnsi("×"), utf8ToAnsi("÷"), false}, // not a letter pair
        {"aula 3", "Aula 3", true},
        {"a", "ab", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ansiEqualsIgnoreCase(c.a, c.b), c.equal) << ansiToUtf8(c.a) << " / " << ansiToUtf8(c.b);
}

} // namespace
