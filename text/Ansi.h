// Conversion between document text (UTF-8, as the XML layer hands it) and the 8-bit
// Windows-1252 text of the working tables, and the letter-case rules of that code page.
#pragma once

#include <string>
#include <string_view>

namespace ponteva {

// UTF-8 to Windows-1252. A character the code page cannot hold becomes its base letter
// when it is an accented letter ('Ș' -> 'S', 'Ł' -> 'L'), and '?' otherwise, one '?' per
// character. A combining accent joins the letter before it when the code page has the
// composed letter, and is dropped otherwise. Malformed UTF-8 bytes become '?'.
std::string utf8ToAnsi(std::string_view utf8);

// Windows-1252 to UTF-8. The five unassigned bytes (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to
// the C1 controls of the same value, as Windows does.
std::string ansiToUtf8(std::string_view ansi);

// True when every byte is ASCII, so both conversions are the identity.
bool isAscii(std::string_view text);

// Upper-case form of one Windows-1252 character; letters without one stay as they are.
unsigned char ansiUpper(unsigned char c);
std::string ansiUpper(std::string_view text);

// Equal letter by letter without regard to case: 'Ñ' = 'ñ', 'Š' = 'š'; 'A' != 'Á'.
bool ansiEqualsIgnoreCase(std::string_view a, std::string_view b);

} // namespace ponteva
