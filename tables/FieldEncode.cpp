// Values turned into the stored bytes of the field types this engine writes: C, N, F, L, D.
#include "tables/FieldCodec.h"
#include "tables/FieldKind.h"

#include "core/Regional.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace ponteva::dbf {

namespace {

using namespace format;

Encoded writeRight(std::string_view text, const FieldInfo& f, char* out)
{
    const auto width = static_cast<std::size_t>(f.width);
    if (text.size() > width)
        return Encoded::TooWide;
    std::memset(out, kBlank, width - text.size());
    std::memcpy(out + width - text.size(), text.data(), text.size());
    return Encoded::Ok;
}

void writeBlanks(const FieldInfo& f, char* out)
{
    std::memset(out, kBlank, static_cast<std::size_t>(f.width));
}

// from_chars takes no '+': drop one, refusing "+-" and an empty rest.
bool dropPlusSign(std::string_view& text)
{
    const bool plus = !text.empty() && text.front() == '+';
    if (plus)
        text.remove_prefix(1);
    return !text.empty() && !(plus && text.front() == '-');
}

bool isWholeNumberField(const FieldInfo& f)
{
    return f.type == kNumeric && f.decimals == 0;
}

} // namespace

bool parseWholeNumber(std::string_view text, std::int32_t& value)
{
    text = trimBlanks(text);
    if (!dropPlusSign(text) || (text.front() != '-' && (text.front() < '0' || text.front() > '9')))
        return false;
    std::int32_t v = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (r.ec != std::errc{} || r.ptr != text.data() + text.size())
        return false;
    value = v;
    return true;
}

std::string shortestFloatText(float value, std::size_t width)
{
    char buf[128];
    auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
    if (r.ec == std::errc{} && static_cast<std::size_t>(r.ptr - buf) <= width)
        return std::string(buf, r.ptr);
    r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
    if (r.ec == std::errc{} && static_cast<std::size_t>(r.ptr - buf) <= width)
        return std::string(buf, r.ptr);
    return {};
}

void blankField(const FieldInfo& f, Dialect dialect, char* out)
{
    switch (kindOf(f, dialect)) {
    case Kind::Text:
    case Kind::Decimal:
    case Kind::Logical:
    case Kind::Date:
    case Kind::MemoText: writeBlanks(f, out); break;
    default: std::memset(out, 0, static_cast<std::size_t>(f.width)); break;
    }
}

Encoded encodeText(const FieldInfo& f, std::string_view value, char* out)
{
    if (f.type == kCharacter) {
        const std::size_t n = std::min(value.size(), static_cast<std::size_t>(f.width));
        std::memcpy(out, value.data(), n);
        std::memset(out + n, kBlank, static_cast<std::size_t>(f.width) - n);
        return Encoded::Ok;
    }
    const std::string_view t = trimBlanks(value);
    switch (f.type) {
    case kNumeric:
        if (t.empty()) {
            writeBlanks(f, out);
            return Encoded::Ok;
        }
        if (isWholeNumberField(f)) {
            std::int32_t v = 0;
            return parseWholeNumber(t, v) ? encodeInteger(f, v, out) : Encoded::Invalid;
        } else {
            double v = 0;
            return parseDecimal(t, '.', v) ? encodeNumber(f, v, out) : Encoded::Invalid;
        }
    case kFloat: {
        if (t.empty()) {
            writeBlanks(f, out);
            return Encoded::Ok;
        }
        float v = 0;
        return parseDecimal(t, '.', v) ? encodeFloat(f, v, out) : Encoded::Invalid;
    }
    case kLogical:
        if (t.empty()) {
            out[0] = kBlank;
            return Encoded::Ok;
        }
        if (t.size() != 1)
            return Encoded::Invalid;
        switch (t[0]) {
        case 'T':
        case 't':
        case 'Y':
        case 'y':
        case 'S':
        case 's': out[0] = 'T'; return Encoded::Ok;
        case 'F':
        case 'f':
        case 'N':
        case 'n': out[0] = 'F'; return Encoded::Ok;
        default: return Encoded::Invalid;
        }
    case kDate:
        if (t.empty()) {
            writeBlanks(f, out);
            return Encoded::Ok;
        }
        if (t.size() != 8 || f.width != 8
            || !std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return Encoded::Invalid;
        std::memcpy(out, t.data(), 8);
        return Encoded::Ok;
    default: return Encoded::NotWritable;
    }
}

Encoded encodeNumber(const FieldInfo& f, double value, char* out)
{
    if (f.type == kFloat) {
        if (std::isfinite(value) && std::fabs(value) > std::numeric_limits<float>::max())
            return Encoded::Invalid;
        return encodeFloat(f, static_cast<float>(value), out);
    }
    if (f.type != kNumeric)
        return f.type == kCharacter || f.type == kLogical || f.type == kDate ? Encoded::WrongKind
                                                                             : Encoded::NotWritable;
    if (!std::isfinite(value))
        return Encoded::Invalid;
    if (isWholeNumberField(f)) {
        std::int32_t v = 0;
        return roundToInt32(value, v) ? encodeInteger(f, v, out) : Encoded::Invalid;
    }
    if (value == 0)
        value = 0; // no "-0.00"
    char buf[400];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, f.decimals);
    if (r.ec != std::errc{})
        return Encoded::TooWide;
    return writeRight(std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)), f, out);
}

Encoded encodeFloat(const FieldInfo& f, float value, char* out)
{
    if (f.type != kFloat)
        return encodeNumber(f, static_cast<double>(value), out);
    if (!std::isfinite(value))
        return Encoded::Invalid;
    const std::string text = shortestFloatText(value, static_cast<std::size_t>(f.width));
    if (text.empty())
        return Encoded::TooWide;
    return writeRight(text, f, out);
}

Encoded encodeInteger(const FieldInfo& f, std::int32_t value, char* out)
{
    if (isWholeNumberField(f) || f.type == kFloat) {
        char buf[16];
        const auto r = std::to_chars(buf, buf + sizeof buf, value);
        return writeRight(std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)), f, out);
    }
    return encodeNumber(f, static_cast<double>(value), out);
}

Encoded encodeBool(const FieldInfo& f, bool value, char* out)
{
    if (f.type != kLogical)
        return f.type == kCharacter || f.type == kNumeric || f.type == kFloat || f.type == kDate ? Encoded::WrongKind
                                                                                                 : Encoded::NotWritable;
    out[0] = value ? 'T' : 'F';
    return Encoded::Ok;
}

} // namespace ponteva::dbf
