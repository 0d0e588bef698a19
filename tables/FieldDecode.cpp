// Field values read from their stored bytes, for every known type of every dialect.
#include "tables/FieldCodec.h"
#include "tables/FieldKind.h"

#include "core/Regional.h"

#include <algorithm>
#include <bit>
#include <charconv>

namespace ponteva::dbf {

namespace {

using namespace format;

constexpr std::int64_t kCurrencyScale = 10000;
constexpr std::int64_t kMsPerDay = 86400000;
constexpr std::int64_t kJulianDayOfUnixEpoch = 2440588; // 1970-01-01
constexpr std::int64_t kJulianDayOfYearOne = 1721426; // 0001-01-01, proleptic Gregorian
constexpr std::int64_t kJulianDayOfYear10000 = 5373485; // 10000-01-01
constexpr std::uint32_t kSign32 = 0x80000000u;
constexpr std::uint64_t kSign64 = 0x8000000000000000ull;

bool allZero(std::string_view b)
{
    return std::all_of(b.begin(), b.end(), [](char c) { return c == '\0'; });
}

std::uint64_t unsignedAt(std::string_view b, std::size_t at, std::size_t size, bool bigEndian)
{
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const std::size_t from = bigEndian ? at + i : at + size - 1 - i;
        v = v << 8 | static_cast<unsigned char>(b[from]);
    }
    return v;
}

// dBase 7 orders numbers so that their bytes sort like the values: the sign bit is set for
// positives, and every bit is inverted for negatives.
double orderedDouble(std::uint64_t bits)
{
    bits = (bits & kSign64) ? bits ^ kSign64 : ~bits;
    return std::bit_cast<double>(bits);
}

// Nothing stored reads as an empty field: zero bytes in dBase 7 binary fields.
bool isEmptyBinary(const FieldInfo& f, Dialect dialect, std::string_view b)
{
    return (dialect == Dialect::DBase7 || f.type == kAutoIncrement || f.type == kDouble) && allZero(b);
}

std::int64_t longValue(const FieldInfo& f, Dialect dialect, std::string_view b)
{
    if (dialect == Dialect::DBase7 || f.type == kAutoIncrement)
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(unsignedAt(b, 0, 4, true)) ^ kSign32);
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(unsignedAt(b, 0, 4, false)));
}

double doubleValue(const FieldInfo& f, std::string_view b)
{
    if (f.type == kDouble)
        return orderedDouble(unsignedAt(b, 0, 8, true));
    return std::bit_cast<double>(unsignedAt(b, 0, 8, false)); // Visual FoxPro 'B'
}

std::int64_t currencyValue(std::string_view b)
{
    return static_cast<std::int64_t>(unsignedAt(b, 0, 8, false));
}

std::string withSeparator(std::string text, char decimalSeparator)
{
    std::replace(text.begin(), text.end(), '.', decimalSeparator);
    return text;
}

std::string doubleText(double v, char decimalSeparator)
{
    char buf[400];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed);
    // Fixed notation up to the width of a numeric field; beyond it, the shortest form.
    if (r.ec != std::errc{} || r.ptr - buf > 20)
        r = std::to_chars(buf, buf + sizeof buf, v);
    std::string text(buf, r.ptr);
    return withSeparator(text == "-0" ? "0" : text, decimalSeparator);
}

// The value of a numeric field's stored digits, written the shortest way: no leading
// zeros, no trailing zeros in the fraction, no fraction when it is zero ("  2.50" gives
// "2.5", " 4.0" gives "4", "-0.00" gives "0"). Worked on the digits themselves, so no
// value is rounded through a double. Text that is not plain digits (an exponent, the
// stars of an overflow) goes through a double when it is a number, and stays as it is
// when it is not.
std::string decimalText(std::string_view stored, char decimalSeparator)
{
    const std::string_view t = trimBlanks(stored);
    std::size_t i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == '-' || t[i] == '+'))
        negative = t[i++] == '-';
    const std::size_t wholeStart = i;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9')
        ++i;
    std::string_view whole = t.substr(wholeStart, i - wholeStart);
    std::string_view fraction;
    if (i < t.size() && t[i] == '.') {
        const std::size_t fractionStart = ++i;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9')
            ++i;
        fraction = t.substr(fractionStart, i - fractionStart);
    }
    if (i != t.size() || whole.size() + fraction.size() == 0) {
        double v = 0;
        return parseDecimal(t, '.', v) ? doubleText(v, decimalSeparator) : std::string(t);
    }
    whole.remove_prefix(std::min(whole.find_first_not_of('0'), whole.size()));
    fraction = fraction.substr(0, fraction.find_last_not_of('0') + 1);
    std::string text = whole.empty() ? "0" : std::string(whole);
    if (!fraction.empty())
        text += decimalSeparator + std::string(fraction);
    if (negative && (!whole.empty() || !fraction.empty()))
        text.insert(0, 1, '-');
    return text;
}

std::string currencyText(std::int64_t v, char decimalSeparator)
{
    const bool negative = v < 0;
    const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
    std::string text = (negative ? "-" : "") + std::to_string(magnitude / kCurrencyScale);
    std::string fraction = std::to_string(magnitude % kCurrencyScale + kCurrencyScale).substr(1);
    fraction.erase(fraction.find_last_not_of('0') + 1);
    if (!fraction.empty())
        text += decimalSeparator + fraction;
    return text;
}

std::string twoDigits(std::int64_t v)
{
    return std::string{static_cast<char>('0' + v / 10), static_cast<char>('0' + v % 10)};
}

// "YYYYMMDD HH:MM:SS"; empty when the values are out of any calendar.
std::string julianText(std::int64_t julianDay, std::int64_t ms)
{
    if (julianDay < kJulianDayOfYearOne || julianDay >= kJulianDayOfYear10000 || ms < 0 || ms >= kMsPerDay)
        return {};
    // Civil date from a day count (days since 1970-01-01), by 400-year eras.
    const std::int64_t z = julianDay - kJulianDayOfUnixEpoch + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t day = doy - (153 * mp + 2) / 5 + 1;
    const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    const std::int64_t seconds = ms / 1000;
    return twoDigits(year / 100) + twoDigits(year % 100) + twoDigits(month) + twoDigits(day) + " "
        + twoDigits(seconds / 3600) + ":" + twoDigits(seconds / 60 % 60) + ":" + twoDigits(seconds % 60);
}

std::string timestampText(std::string_view b)
{
    const auto day = static_cast<std::int64_t>(unsignedAt(b, 0, 4, true));
    const auto ms = static_cast<std::int64_t>(unsignedAt(b, 4, 4, true));
    if (day >= kJulianDayOfYearOne && day < kJulianDayOfYear10000 && ms < kMsPerDay)
        return julianText(day, ms);
    // Not two longs: some writers store a dBase 7 double of milliseconds since 0001-01-01.
    const double total = orderedDouble(unsignedAt(b, 0, 8, true));
    if (!std::isfinite(total) || total < 0 || total >= 1e15)
        return {};
    const auto whole = static_cast<std::int64_t>(total);
    return julianText(kJulianDayOfYearOne + whole / kMsPerDay, whole % kMsPerDay);
}

} // namespace

Kind kindOf(const FieldInfo& f, Dialect dialect)
{
    using namespace format;
    switch (f.type) {
    case kCharacter: return Kind::Text;
    case kNumeric:
    case kFloat: return Kind::Decimal;
    case kLogical: return Kind::Logical;
    case kDate: return Kind::Date;
    case kLong:
    case kAutoIncrement: return f.width == 4 ? Kind::Long : Kind::Text;
    case kDouble: return f.width == 8 ? Kind::Double : Kind::Text;
    case kBinary:
        if (dialect == Dialect::VisualFoxPro && f.width == 8)
            return Kind::Double;
        return f.width == 4 ? Kind::MemoBlock : Kind::MemoText;
    case kCurrency: return f.width == 8 ? Kind::Currency : Kind::Text;
    case kDateTime: return f.width == 8 ? Kind::DateTime : Kind::Text;
    case kTimestamp: return f.width == 8 ? Kind::Timestamp : Kind::Text;
    case kMemo:
    case kGeneral:
    case kPicture: return f.width == 4 ? Kind::MemoBlock : Kind::MemoText;
    default: return Kind::Text;
    }
}

std::string fieldText(const FieldInfo& f, Dialect dialect, std::string_view b, char decimalSeparator)
{
    switch (kindOf(f, dialect)) {
    case Kind::Text: return std::string(trimRight(b));
    case Kind::Decimal: return trimBlanks(b).empty() ? std::string() : decimalText(b, decimalSeparator);
    case Kind::Logical:
        switch (b[0]) {
        case 'T':
        case 't':
        case 'Y':
        case 'y': return "T";
        case 'F':
        case 'f':
        case 'N':
        case 'n': return "F";
        default: return {}; // blank, or '?' as Visual FoxPro writes for a logical never set
        }
    case Kind::Date: return std::string(trimBlanks(b));
    case Kind::Long: return isEmptyBinary(f, dialect, b) ? std::string{} : std::to_string(longValue(f, dialect, b));
    case Kind::Double:
        return isEmptyBinary(f, dialect, b) ? std::string{} : doubleText(doubleValue(f, b), decimalSeparator);
    case Kind::Currency: return currencyText(currencyValue(b), decimalSeparator);
    case Kind::DateTime: {
        const auto day = static_cast<std::int32_t>(static_cast<std::uint32_t>(unsignedAt(b, 0, 4, false)));
        const auto ms = static_cast<std::int32_t>(static_cast<std::uint32_t>(unsignedAt(b, 4, 4, false)));
        return julianText(day, ms);
    }
    case Kind::Timestamp: return allZero(b) ? std::string{} : timestampText(b);
    case Kind::MemoText: return std::string(trimBlanks(b));
    case Kind::MemoBlock: {
        const std::uint64_t block = unsignedAt(b, 0, 4, false);
        return block == 0 ? std::string{} : std::to_string(block);
    }
    }
    return {};
}

std::string storedText(const FieldInfo& f, Dialect dialect, std::string_view b)
{
    const Kind kind = kindOf(f, dialect);
    if (kind == Kind::Decimal || kind == Kind::Text || kind == Kind::MemoText)
        return std::string(trimBlanks(b));
    return fieldText(f, dialect, b, '.');
}

bool fieldNumber(const FieldInfo& f, Dialect dialect, std::string_view b, char decimalSeparator, double& value)
{
    const Kind kind = kindOf(f, dialect);
    switch (kind) {
    case Kind::Long:
        value = isEmptyBinary(f, dialect, b) ? 0.0 : static_cast<double>(longValue(f, dialect, b));
        return true;
    case Kind::Double: value = isEmptyBinary(f, dialect, b) ? 0.0 : doubleValue(f, b); return true;
    case Kind::Currency: value = static_cast<double>(currencyValue(b)) / kCurrencyScale; return true;
    case Kind::Logical: value = fieldText(f, dialect, b, '.') == "T" ? 1.0 : 0.0; return true;
    default: {
        const std::string text = storedText(f, dialect, b);
        if (text.empty()) {
            value = 0;
            return true;
        }
        // Numeric fields hold a point whatever the settings; a number kept in a text field is
        // written as the user writes numbers.
        const bool inText = kind == Kind::Text || kind == Kind::MemoText;
        return parseDecimal(text, inText ? decimalSeparator : '.', value);
    }
    }
}

bool fieldInteger(const FieldInfo& f, Dialect dialect, std::string_view b, char decimalSeparator, std::int32_t& value)
{
    switch (kindOf(f, dialect)) {
    case Kind::Long:
        value = isEmptyBinary(f, dialect, b) ? 0 : static_cast<std::int32_t>(longValue(f, dialect, b));
        return true;
    case Kind::Currency: {
        const std::int64_t v = currencyValue(b);
        std::int64_t whole = v / kCurrencyScale;
        const std::int64_t rest = v % kCurrencyScale;
        if (rest * 2 >= kCurrencyScale)
            ++whole;
        else if (rest * 2 <= -kCurrencyScale)
            --whole;
        if (whole < std::numeric_limits<std::int32_t>::min() || whole > std::numeric_limits<std::int32_t>::max())
            return false;
        value = static_cast<std::int32_t>(whole);
        return true;
    }
    case Kind::Double:
    case Kind::Decimal:
    case Kind::Logical: {
        if (parseWholeNumber(storedText(f, dialect, b), value))
            return true;
        double v = 0;
        return fieldNumber(f, dialect, b, decimalSeparator, v) && roundToInt32(v, value);
    }
    default: {
        // A whole number kept as text; a fraction there is no integer.
        const std::string text = storedText(f, dialect, b);
        if (text.empty()) {
            value = 0;
            return true;
        }
        return parseWholeNumber(text, value);
    }
    }
}

} // namespace ponteva::dbf
