#include "Clipper.h"

#include <algorithm>

namespace ponteva {

namespace {
constexpr char kBlank = ' ';
}

std::string LTrim(std::string text)
{
    const size_t first = text.find_first_not_of(kBlank);
    if (first == std::string::npos)
        return {};
    text.erase(0, first);
    return text;
}

std::string RTrim(std::string text)
{
    const size_t last = text.find_last_not_of(kBlank);
    if (last == std::string::npos)
        return {};
    text.erase(last + 1);
    return text;
}

std::string AllTrim(std::string text)
{
    return LTrim(RTrim(std::move(text)));
}

std::string Left(std::string text, int n)
{
    if (n <= 0)
        return {};
    if (static_cast<size_t>(n) < text.size())
        text.resize(static_cast<size_t>(n));
    return text;
}

std::string Right(std::string text, int n)
{
    if (n <= 0)
        return {};
    if (static_cast<size_t>(n) < text.size())
        text.erase(0, text.size() - static_cast<size_t>(n));
    return text;
}

std::string Initials(std::string text)
{
    std::string result;
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == kBlank)
            result += text[i + 1];
    }
    return result;
}

std::string StripBlanks(std::string text)
{
    text = AllTrim(std::move(text));
    text.erase(std::remove(text.begin(), text.end(), kBlank), text.end());
    return text;
}

} // namespace ponteva
