// Rules for 8-bit text written into a document, shared by attributes and element rows.
#pragma once

#include <string>
#include <string_view>

namespace ponteva::xml::detail {

// XML 1.0 cannot carry these characters at all, not even as references.
inline bool isForbiddenControl(unsigned char b)
{
    return b < 0x20 && b != '\t' && b != '\n' && b != '\r';
}

// The text with each forbidden control character turned into a blank.
inline std::string withoutForbiddenControls(std::string_view ansi)
{
    std::string text(ansi);
    for (char& c : text) {
        if (isForbiddenControl(static_cast<unsigned char>(c)))
            c = ' ';
    }
    return text;
}

} // namespace ponteva::xml::detail
