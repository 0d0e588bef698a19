// The text helpers on the edge cases the converters rely on.
#include "text/Clipper.h"

#include <gtest/gtest.h>

using namespace ponteva;

namespace {

struct TrimCase {
    std::string in, all, left, right;
};

TEST(Clipper, Trims)
{
    const TrimCase cases[] = {
        {"", "", "", ""},
        {"   ", "", "", ""},
        {"  A  B  ", "A  B", "A  B  ", "  A  B"},
        {"  A ", "A", "A ", "  A"},
        {"\tA\t", "\tA\t", "\tA\t", "\tA\t"}, // a tab is no blank
        {"\xA0"
         "A\xA0",
            "\xA0"
            "A\xA0",
            "\xA0"
            "A\xA0",
            "\xA0"
            "A\xA0"}, // nor is a no-break space
        {"\nA ", "\nA", "\nA ", "\nA"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("'" + c.in + "'");
        EXPECT_EQ(AllTrim(c.in), c.all);
        EXPECT_EQ(LTrim(c.in), c.left);
        EXPECT_EQ(RTrim(c.in), c.right);
    }
}

TEST(Clipper, LeftAndRight)
{
    struct Case {
        std::string text;
        int n;
        std::string left, right;
    };
    const Case cases[] = {
        {"ABC", 0, "", ""},
        {"ABC", -1, "", ""},
        {"ABC", 1, "A", "C"},
        {"ABC", 2, "AB", "BC"},
        {"ABC", 3, "ABC", "ABC"},
        {"ABC", 10, "ABC", "ABC"},
        {"", 0, "", ""},
        {"", 5, "", ""},
        {"", -3, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text + " " + std::to_string(c.n));
        EXPECT_EQ(Left(c.text, c.n), c.left);
        EXPECT_EQ(Right(c.text, c.n), c.right);
    }
}

TEST(Clipper, InitialsAndStripBlanks)
{
    const std::pair<std::string, std::string> initials[] = {
        {"LENGUA CASTELLANA Y LITERATURA", "CYL"},
        {"ABC", ""},
        {"", ""},
        {" A", "A"},
        {"A ", ""},
        {"A  B", " B"},
        {"   ", "  "},
    };
    for (const auto& [in, out] : initials)
        EXPECT_EQ(Initials(in), out) << "'" << in << "'";

    const std::pair<std::string, std::string> stripped[] = {
        {" A B  C ", "ABC"},
        {"", ""},
        {"    ", ""},
        {"ABC", "ABC"},
        {"C. Nat", "C.Nat"},
        {"A\tB", "A\tB"},
    };
    for (const auto& [in, out] : stripped)
        EXPECT_EQ(StripBlanks(in), out) << "'" << in << "'";

    // Every blank goes, also past the 255th character.
    std::string longText(300, 'x');
    longText[10] = longText[256] = longText[299] = ' ';
    EXPECT_EQ(StripBlanks(longText), std::string(297, 'x'));
}

TEST(Clipper, CallerTextUnchanged)
{
    const std::string text = "  a b  ";
    (void)AllTrim(text);
    (void)StripBlanks(text);
    EXPECT_EQ(text, "  a b  ");
}

} // namespace
