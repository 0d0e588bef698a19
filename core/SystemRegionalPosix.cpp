// Regional settings from the C library's locale, as the environment names it (LC_ALL,
// then LC_NUMERIC or LC_TIME, then LANG). The strftime formats of the locale are turned
// into the Windows-style patterns that the settings hold.
#include "core/SystemRegional.h"

#include <clocale>
#include <langinfo.h>
#include <locale.h>
#include <string>
#include <string_view>

namespace ponteva {

namespace {

// The locale the environment names for one category, or the "C" locale when it names
// none or one that is not installed (as setlocale does).
class CategoryLocale {
public:
    explicit CategoryLocale(int mask)
    {
        m_locale = newlocale(mask, "", locale_t{});
        if (!m_locale)
            m_locale = newlocale(mask, "C", locale_t{});
    }
    ~CategoryLocale()
    {
        if (m_locale)
            freelocale(m_locale);
    }
    CategoryLocale(const CategoryLocale&) = delete;
    CategoryLocale& operator=(const CategoryLocale&) = delete;

    std::string info(nl_item item) const { return m_locale ? nl_langinfo_l(item, m_locale) : ""; }

private:
    locale_t m_locale{};
};

// Appends literal text to a pattern, quoted when it holds a pattern letter.
void appendLiteral(std::string& pattern, std::string_view text)
{
    if (text.find_first_of("dMyghHmst'") == std::string_view::npos) {
        pattern.append(text);
        return;
    }
    for (char c : text) {
        if (c == '\'')
            pattern += "''";
        else
            pattern += std::string("'") + c + "'";
    }
}

// A strftime date or time format as a Windows-style pattern. Conversions that the
// settings cannot hold (weekday and month names) are dropped with nothing in their place.
std::string patternFromStrftime(std::string_view format, const std::string& ampmFormat)
{
    std::string out;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%' || i + 1 == format.size()) {
            appendLiteral(out, format.substr(i, 1));
            continue;
        }
        char c = format[++i];
        // Flags and the alternative forms of the same conversion.
        while (
            (c == 'E' || c == 'O' || c == '-' || c == '_' || c == '0' || c == '^' || c == '#') && i + 1 < format.size())
            c = format[++i];
        switch (c) {
        case 'd': out += "dd"; break;
        case 'e': out += "d"; break;
        case 'm': out += "MM"; break;
        case 'y': out += "yy"; break;
        case 'Y': out += "yyyy"; break;
        case 'D': out += "MM/dd/yy"; break;
        case 'F': out += "yyyy-MM-dd"; break;
        case 'H': out += "HH"; break;
        case 'k': out += "H"; break;
        case 'I': out += "hh"; break;
        case 'l': out += "h"; break;
        case 'M': out += "mm"; break;
        case 'S': out += "ss"; break;
        case 'p':
        case 'P': out += "tt"; break;
        case 'T': out += "HH:mm:ss"; break;
        case 'R': out += "HH:mm"; break;
        case 'r': out += patternFromStrftime(ampmFormat, "%I:%M:%S %p"); break;
        case '%': out += "%"; break;
        default: break;
        }
    }
    return out;
}

} // namespace

RegionalSettings systemRegionalSettings()
{
    const CategoryLocale numeric(LC_NUMERIC_MASK);
    const CategoryLocale time(LC_TIME_MASK);

    // The decimal separator is one character in the settings; a locale whose separator is
    // not one ASCII character is read with the point.
    const std::string radix = numeric.info(RADIXCHAR);
    const char decimal = radix.size() == 1 && static_cast<unsigned char>(radix[0]) < 0x80 ? radix[0] : '.';

    const std::string ampm = time.info(T_FMT_AMPM);
    return regionalFromPatterns(decimal, patternFromStrftime(time.info(D_FMT), ampm),
        patternFromStrftime(time.info(T_FMT), ampm), time.info(AM_STR), time.info(PM_STR));
}

} // namespace ponteva
