// How the stored bytes of a field are to be read, decided by its type letter, its width and
// the dialect; shared by the decoding and encoding of field values.
#pragma once

#include "tables/DbfFormat.h"
#include "tables/Table.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <string_view>

namespace ponteva::dbf {

constexpr char kBlank = ' ';

enum class Kind { Text, Decimal, Logical, Date, Long, Double, Currency, DateTime, Timestamp, MemoText, MemoBlock };

Kind kindOf(const FieldInfo& f, Dialect dialect);

inline std::string_view trimRight(std::string_view s)
{
    const std::size_t last = s.find_last_not_of(kBlank);
    return last == std::string_view::npos ? std::string_view{} : s.substr(0, last + 1);
}

inline std::string_view trimBlanks(std::string_view s)
{
    s = trimRight(s);
    const std::size_t first = s.find_first_not_of(kBlank);
    return first == std::string_view::npos ? std::string_view{} : s.substr(first);
}

// Rounded to the nearest, halves away from zero; false outside the 32-bit range.
inline bool roundToInt32(double v, std::int32_t& value)
{
    if (!std::isfinite(v))
        return false;
    const double r = std::round(v); // halves away from zero
    if (r < std::numeric_limits<std::int32_t>::min() || r > std::numeric_limits<std::int32_t>::max())
        return false;
    value = static_cast<std::int32_t>(r);
    return true;
}

} // namespace ponteva::dbf
