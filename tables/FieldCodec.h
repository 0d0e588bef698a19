// The values of single fields: the bytes of a field read as text or as a number, and
// values turned into the bytes of a field. Locale-independent (to_chars/from_chars only).
#pragma once

#include "tables/DbfFormat.h"
#include "tables/Table.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace ponteva::dbf {

// Character: without trailing blanks. Numbers: their value written the shortest way, with
// decimalSeparator ("2.50" gives "2,5", "4.0" gives "4"). Logical: "T", "F" or "".
// Date-times as "YYYYMMDD HH:MM:SS".
std::string fieldText(const FieldInfo& field, Dialect dialect, std::string_view bytes, char decimalSeparator);
// The stored text, trimmed, as it stands: for messages about a value that is no number.
std::string storedText(const FieldInfo& field, Dialect dialect, std::string_view bytes);

// False when the field holds text that is no number. An empty field is 0. A number kept in
// a text field is read with decimalSeparator, as the user's regional settings write it;
// numeric fields always hold a point.
bool fieldNumber(const FieldInfo& field, Dialect dialect, std::string_view bytes, char decimalSeparator, double& value);
// Fractions are rounded to the nearest, halves away from zero. False when the field holds no
// number, or one outside the 32-bit range.
bool fieldInteger(
    const FieldInfo& field, Dialect dialect, std::string_view bytes, char decimalSeparator, std::int32_t& value);

enum class Encoded {
    Ok,
    Invalid, // the value is not of the field's kind
    TooWide, // the value's text does not fit the field
    WrongKind, // this kind of value does not go into this kind of field
    NotWritable, // a binary or memo field, which this engine does not write
};

// The blank contents of a field in a new row: blanks for text kinds, zeros for binary ones.
void blankField(const FieldInfo& field, Dialect dialect, char* out);

Encoded encodeText(const FieldInfo& field, std::string_view value, char* out);
Encoded encodeNumber(const FieldInfo& field, double value, char* out);
Encoded encodeFloat(const FieldInfo& field, float value, char* out);
Encoded encodeInteger(const FieldInfo& field, std::int32_t value, char* out);
Encoded encodeBool(const FieldInfo& field, bool value, char* out);

// A whole number, blanks around it allowed, an optional sign, within 32 bits.
bool parseWholeNumber(std::string_view text, std::int32_t& value);
// The shortest decimal text that reads back as exactly this float: fixed notation when it
// fits in width characters, scientific otherwise. Empty when neither fits.
std::string shortestFloatText(float value, std::size_t width);

} // namespace ponteva::dbf
