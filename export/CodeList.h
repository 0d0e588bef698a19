// The list of short codes a builder has handed out, and the rule that keeps each new
// code unique in the form in which the table stores it.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace ponteva {

class CodeList {
public:
    enum class Compare { CaseSensitive, IgnoreCase };

    // tableName names the table in the message given when no code is left.
    CodeList(Compare compare, std::string tableName);

    bool contains(std::string_view code) const;
    void add(std::string_view code);

    // The short code for a record: `first` when the list does not hold it, otherwise the
    // first of stem+1, stem+2, ... whose stored form the list does not hold. A try of more
    // than 10 characters is stored as its first 8 and last 2. When every stored form of the
    // stem is taken, the count goes on over the stem without its last character, and so on.
    // `first` must already be in stored form. The code returned is added to the list.
    std::string settle(const std::string& first, const std::string& stem);

    // A text of more than 10 characters cut to its first 8 and last 2.
    static std::string cutTo10(std::string code);

private:
    // The code as the table gives it back (cut to the width, without trailing blanks), in
    // the list's letter case.
    std::string key(std::string_view code) const;
    std::string folded(std::string_view text) const;

    Compare m_compare;
    std::string m_tableName;
    std::unordered_set<std::string> m_codes; // as stored, in comparison form
    // The last counter handed out for a stem: every counter up to it is taken, since
    // codes are never removed, so the next search starts after it.
    std::unordered_map<std::string, unsigned long long> m_lastCounter;
};

} // namespace ponteva
