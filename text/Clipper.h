// Text helpers on 8-bit (Windows-1252) text. A blank is the space character, code 32, only.
#pragma once

#include <string>

namespace ponteva {

std::string AllTrim(std::string text);
std::string LTrim(std::string text);
std::string RTrim(std::string text);
// The first n characters, or the whole text when n is not smaller than its length.
std::string Left(std::string text, int n);
// The last n characters, or the whole text when n is not smaller than its length.
std::string Right(std::string text, int n);
// The characters that directly follow blanks, in order.
std::string Initials(std::string text);
// The trimmed text with every blank removed, whatever its length.
std::string StripBlanks(std::string text);

} // namespace ponteva
