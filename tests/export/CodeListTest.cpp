// Short codes stay unique in the form in which the tables store them.
#include "export/CodeList.h"
#include "core/Error.h"
#include "text/Ansi.h"

#include <gtest/gtest.h>

#include <set>

using namespace ponteva;

namespace {

// Test text is written in UTF-8; codes are Windows-1252.
std::string A(const char* utf8)
{
    return utf8ToAnsi(utf8);
}

TEST(CodeList, CountsOnFromTheStemAndCutsLongTries)
{
    CodeList list(CodeList::Compare::CaseSensitive, "ASIGNOMT");
    EXPECT_EQ(list.settle(A("Tecnología"), A("Tecnologí")), A("Tecnología"));
    std::vector<std::string> got;
    for (int i = 0; i < 12; ++i)
        got.push_back(list.settle(A("Tecnología"), A("Tecnologí")));
    const std::vector<std::string> expected
        = {A("Tecnologí1"), A("Tecnologí2"), A("Tecnologí3"), A("Tecnologí4"), A("Tecnologí5"), A("Tecnologí6"),
            A("Tecnologí7"), A("Tecnologí8"), A("Tecnologí9"), A("Tecnolog10"), A("Tecnolog11"), A("Tecnolog12")};
    EXPECT_EQ(got, expected);
}

TEST(CodeList, StoredFormsNeverRepeat)
{
    // A code already handed out in cut form is not handed out again.
    CodeList list(CodeList::Compare::IgnoreCase, "AULAT");
    list.add(A("Tecnolog10"));
    EXPECT_EQ(list.settle(A("Tecnologí"), A("Tecnologí")), A("Tecnologí"));
    for (int i = 1; i <= 9; ++i)
        list.settle(A("Tecnologí"), A("Tecnologí"));
    EXPECT_EQ(list.settle(A("Tecnologí"), A("Tecnologí")), A("Tecnolog11"));
}

TEST(CodeList, CodesCompareAsTheTableGivesThemBack)
{
    // The table pads a code with blanks and returns it without them, and keeps 10 characters.
    struct Case {
        CodeList::Compare compare;
        std::vector<std::pair<std::string, std::string>> tries; // first, stem
        std::vector<std::string> codes;
    };
    const auto sensitive = CodeList::Compare::CaseSensitive;
    const auto ignoring = CodeList::Compare::IgnoreCase;
    const Case cases[] = {
        {ignoring, {{"Gimnasi ", "Gimnasi "}, {"Gimnasi", "Gimnasi"}}, {"Gimnasi ", "Gimnasi1"}},
        {ignoring, {{"Gimnasi", "Gimnasi"}, {"Gimnasi ", "Gimnasi "}}, {"Gimnasi", "Gimnasi 1"}},
        {ignoring, {{"ABCDEFGHI ", "ABCDEFGHI"}, {"ABCDEFGHI", "ABCDEFGHI"}}, {"ABCDEFGHI ", "ABCDEFGHI1"}},
        {ignoring, {{"gimnasi ", "gimnasi "}, {"GIMNASI", "GIMNASI"}}, {"gimnasi ", "GIMNASI1"}},
        {sensitive, {{"MAT ", "MAT "}, {"MAT", "MAT"}, {"mat", "mat"}}, {"MAT ", "MAT1", "mat"}},
        // Counters over a stem with a trailing blank and over the same stem without it are
        // counted apart: each gives its own first free form.
        {ignoring, {{"AB ", "AB "}, {"AB ", "AB "}, {"AB", "AB"}}, {"AB ", "AB 1", "AB1"}},
    };
    for (const Case& c : cases) {
        CodeList list(c.compare, "AULAT");
        std::vector<std::string> got;
        for (const auto& [first, stem] : c.tries)
            got.push_back(list.settle(first, stem));
        EXPECT_EQ(got, c.codes) << c.tries.front().first;
    }
}

TEST(CodeList, LetterCase)
{
    CodeList sensitive(CodeList::Compare::CaseSensitive, "ASIGNOMT");
    EXPECT_EQ(sensitive.settle("MAT", "MAT"), "MAT");
    EXPECT_EQ(sensitive.settle("Mat", "Mat"), "Mat");
    EXPECT_EQ(sensitive.settle("MAT", "MAT"), "MAT1");

    CodeList ignoring(CodeList::Compare::IgnoreCase, "PROFT");
    EXPECT_EQ(ignoring.settle("ICO", "ICO"), "ICO");
    EXPECT_EQ(ignoring.settle("ico", "ico"), "ico1");
    EXPECT_EQ(ignoring.settle("ICO", "ICO"), "ICO2");
    EXPECT_EQ(ignoring.settle("\xD1"
                              "U",
                  "\xD1"
                  "U"),
        "\xD1"
        "U"); // Ñ
    EXPECT_EQ(ignoring.settle("\xF1"
                              "u",
                  "\xF1"
                  "u"),
        "\xF1"
        "u1"); // ñ equals Ñ
    EXPECT_EQ(ignoring.settle("NU", "NU"), "NU"); // N differs from Ñ
}

TEST(CodeList, ShorterStemWhenEveryFormIsTaken)
{
    CodeList list(CodeList::Compare::CaseSensitive, "ASIGNOMT");
    // A 9-character stem has 110 stored forms: itself, 1..9 and the 100 endings of 8 + 2.
    std::set<std::string> codes;
    for (int i = 0; i < 110; ++i)
        codes.insert(list.settle("ABCDEFGHI", "ABCDEFGHI"));
    EXPECT_EQ(codes.size(), 110u);
    // Then the 8-character stem's own forms, then the 7-character stem's.
    std::vector<std::string> next;
    for (int i = 0; i < 11; ++i)
        next.push_back(list.settle("ABCDEFGHI", "ABCDEFGHI"));
    EXPECT_EQ(next.front(), "ABCDEFGH1");
    EXPECT_EQ(next[8], "ABCDEFGH9");
    EXPECT_EQ(next[9], "ABCDEFG1");
    EXPECT_EQ(next[10], "ABCDEFG2");
    for (const auto& code : next)
        EXPECT_TRUE(codes.insert(code).second) << code;
}

} // namespace
