// Regional settings from Windows: the user's decimal separator, and the short date and
// time patterns that GetDateFormatEx (DATE_SHORTDATE) and GetTimeFormatEx use by default.
#include "core/SystemRegional.h"

#include "core/Win32Text.h"

#include <string>
#include <windows.h>

namespace ponteva {

namespace {

std::string localeInfo(LCTYPE type)
{
    wchar_t buffer[128];
    const int n = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, buffer, 128);
    return n > 1 ? win32::narrow(std::wstring_view(buffer, static_cast<size_t>(n - 1))) : std::string();
}

} // namespace

RegionalSettings systemRegionalSettings()
{
    // The decimal separator is one character in the settings; one that is not one ASCII
    // character is read as the point.
    const std::string decimal = localeInfo(LOCALE_SDECIMAL);
    const char separator = decimal.size() == 1 && static_cast<unsigned char>(decimal[0]) < 0x80 ? decimal[0] : '.';
    return regionalFromPatterns(separator, localeInfo(LOCALE_SSHORTDATE), localeInfo(LOCALE_STIMEFORMAT),
        localeInfo(LOCALE_S1159), localeInfo(LOCALE_S2359));
}

} // namespace ponteva
