#include "CodeList.h"

#include "core/Error.h"
#include "text/Ansi.h"

namespace ponteva {

namespace {
constexpr size_t kCodeWidth = 10;
// Past 12 characters every stored form (first 8 + last 2) has been tried already.
constexpr size_t kLongestUsefulTry = 12;
} // namespace

CodeList::CodeList(Compare compare, std::string tableName)
    : m_compare(compare)
    , m_tableName(std::move(tableName))
{
}

std::string CodeList::folded(std::string_view text) const
{
    return m_compare == Compare::IgnoreCase ? ansiUpper(text) : std::string(text);
}

std::string CodeList::key(std::string_view code) const
{
    // The table keeps the first 10 characters and gives them back without trailing blanks:
    // 'Gimnasi ' and 'Gimnasi' are one code there.
    code = code.substr(0, kCodeWidth);
    return folded(code.substr(0, code.find_last_not_of(' ') + 1));
}

bool CodeList::contains(std::string_view code) const
{
    return m_codes.count(key(code)) != 0;
}

void CodeList::add(std::string_view code)
{
    m_codes.insert(key(code));
}

std::string CodeList::cutTo10(std::string code)
{
    if (code.size() > kCodeWidth)
        code = code.substr(0, 8) + code.substr(code.size() - 2);
    return code;
}

std::string CodeList::settle(const std::string& first, const std::string& stem)
{
    if (!contains(first)) {
        add(first);
        return first;
    }
    // Once every stored form of a stem is taken (a regional document can hold hundreds of
    // subjects with one abbreviation), the count goes on over the stem one character shorter.
    for (std::string current = stem;; current.pop_back()) {
        unsigned long long& last = m_lastCounter[folded(current)];
        for (unsigned long long n = last + 1;; ++n) {
            std::string attempt = current + std::to_string(n);
            if (attempt.size() > kLongestUsefulTry) {
                last = n - 1;
                break;
            }
            std::string stored = cutTo10(std::move(attempt));
            if (!contains(stored)) {
                last = n;
                add(stored);
                return stored;
            }
        }
        if (current.empty())
            break;
    }
    throw Error("No quedan códigos cortos libres para '" + ansiToUtf8(stem) + "' en la tabla " + m_tableName
        + ": hay demasiados elementos con la misma abreviatura.");
}

} // namespace ponteva
