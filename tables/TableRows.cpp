// A table's rows: the cursor, reading fields of the current row, locating by value, and
// appending new rows.
#include "tables/Table.h"

#include "tables/FieldCodec.h"
#include "tables/TableErrors.h"
#include "tables/TableImpl.h"

#include <algorithm>
#include <charconv>

namespace ponteva::dbf {

namespace {

constexpr std::size_t kWriteChunk = 64 * 1024; // rows are written in pieces at least this large

// A refused number as the user would write it: plain digits unless it is huge or tiny.
template <typename Number> std::string numberText(Number value)
{
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
    if (r.ec != std::errc{} || r.ptr - buf > 24)
        r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}

// The message for a value the field refused.
[[noreturn]] void refused(
    Encoded result, const std::string& table, const FieldInfo& f, std::string_view value, std::string_view expectedKind)
{
    const std::string field = errors::quoted(f.name);
    const std::string where = " el campo " + field + " de la tabla " + table;
    switch (result) {
    case Encoded::Invalid:
        switch (f.type) {
        case format::kNumeric:
            if (f.decimals == 0)
                errors::notInteger(value, f.name);
            errors::notNumber(table, value, f.name);
        case format::kFloat: errors::notNumber(table, value, f.name);
        case format::kLogical: throw Error(errors::quoted(value) + " no es un valor lógico válido para" + where + ".");
        case format::kDate:
            throw Error(errors::quoted(value) + " no es una fecha válida (AAAAMMDD) para" + where + ".");
        default: throw Error(errors::quoted(value) + " no es un valor válido para" + where + ".");
        }
    case Encoded::TooWide:
        throw Error(
            "El valor " + errors::quoted(value) + " no cabe en" + where + " (ancho " + std::to_string(f.width) + ").");
    case Encoded::WrongKind:
        throw Error("El campo " + field + " de la tabla " + table + " no es " + std::string(expectedKind) + ".");
    case Encoded::NotWritable:
    case Encoded::Ok: break;
    }
    throw Error("El campo " + field + " de la tabla " + table + " es de tipo '" + std::string(1, f.type)
        + "', que no se puede escribir.");
}

} // namespace

// Cursor.

void Table::first()
{
    if (!m->file)
        errors::notOpen(m_name);
    m->holdAllRows(m_name);
    m->cursor = m->nextLive(0);
}

bool Table::eof() const
{
    return !m->file || m->cursor >= m->rowCount;
}

void Table::next()
{
    if (!m->file)
        errors::notOpen(m_name);
    m->holdAllRows(m_name);
    if (m->cursor < m->rowCount)
        m->cursor = m->nextLive(m->cursor + 1);
}

std::size_t Table::recordCount() const
{
    return m->file ? m->liveCount : 0;
}

// Reading.

std::size_t Table::Impl::fieldNumber(const std::string& table, std::string_view field) const
{
    // Callers name fields as stored, and mostly in table order: trying the fields from the one
    // after the last found is far cheaper than hashing without regard to case, on every
    // value of every row.
    const std::vector<FieldInfo>& fields = layout.fields;
    const std::size_t n = fields.size();
    for (std::size_t k = 0, i = lastField; k < n; ++k) {
        if (++i >= n)
            i = 0;
        const std::string& name = fields[i].name;
        if (name.size() == field.size() && std::equal(name.begin(), name.end(), field.begin())) {
            lastField = i;
            return i;
        }
    }
    const auto it = fieldByName.find(field);
    if (it == fieldByName.end())
        errors::unknownField(table, field);
    return it->second;
}

Table::Impl::FieldAt Table::Impl::fieldInRow(std::size_t rowNumber, std::size_t number) const
{
    const FieldInfo& f = layout.fields[number];
    return {f, row(rowNumber).substr(static_cast<std::size_t>(f.offset), static_cast<std::size_t>(f.width))};
}

Table::Impl::FieldAt Table::Impl::currentField(const std::string& table, std::string_view field)
{
    if (!file)
        errors::notOpen(table);
    const std::size_t number = fieldNumber(table, field);
    if (cursor < droppedRows)
        holdAllRows(table);
    if (cursor >= rowCount)
        errors::fail(table, "no tiene fila actual: se ha llegado al final");
    return fieldInRow(cursor, number);
}

std::string Table::text(std::string_view field) const
{
    const Impl::FieldAt f = m->currentField(m_name, field);
    return fieldText(f.info, m->layout.dialect, f.bytes, m->options.decimalSeparator);
}

std::int32_t Table::integer(std::string_view field) const
{
    const Impl::FieldAt f = m->currentField(m_name, field);
    std::int32_t value = 0;
    if (!fieldInteger(f.info, m->layout.dialect, f.bytes, m->options.decimalSeparator, value))
        errors::notInteger(storedText(f.info, m->layout.dialect, f.bytes), f.info.name);
    return value;
}

double Table::number(std::string_view field) const
{
    const Impl::FieldAt f = m->currentField(m_name, field);
    double value = 0;
    if (!fieldNumber(f.info, m->layout.dialect, f.bytes, m->options.decimalSeparator, value))
        errors::notNumber(m_name, storedText(f.info, m->layout.dialect, f.bytes), f.info.name);
    return value;
}

bool Table::locate(std::string_view field, std::string_view value)
{
    if (!m->file)
        errors::notOpen(m_name);
    const std::size_t number = m->fieldNumber(m_name, field);
    m->holdAllRows(m_name);
    auto built = m->indexes.find(number);
    if (built == m->indexes.end()) {
        ValueIndex index;
        index.reserve(m->liveCount);
        for (std::size_t row = 0; row < m->rowCount; ++row) {
            if (!m->isLive(row))
                continue;
            const Impl::FieldAt f = m->fieldInRow(row, number);
            index.emplace(fieldText(f.info, m->layout.dialect, f.bytes, m->options.decimalSeparator), row);
        }
        built = m->indexes.emplace(number, std::move(index)).first;
    }
    const auto hit = built->second.find(value);
    m->cursor = hit == built->second.end() ? m->rowCount : hit->second;
    return hit != built->second.end();
}

// Writing.

std::pair<const FieldInfo*, char*> Table::Impl::editedField(const std::string& table, std::string_view field)
{
    if (!file)
        errors::notOpen(table);
    const FieldInfo& f = layout.fields[fieldNumber(table, field)];
    if (!editing)
        errors::fail(table, "no tiene una fila nueva en curso");
    return {&f, newRow.data() + f.offset};
}

void Table::append()
{
    if (!m->file)
        errors::notOpen(m_name);
    if (!m->writable)
        errors::fail(m_name, "es de solo lectura; no se le pueden añadir filas");
    m->newRow = m->blankRow;
    m->editing = true;
}

void Table::setText(std::string_view field, std::string_view value)
{
    const auto [f, out] = m->editedField(m_name, field);
    const Encoded result = encodeText(*f, value, out);
    if (result != Encoded::Ok)
        refused(result, m_name, *f, value, "de texto");
}

void Table::setBool(std::string_view field, bool value)
{
    const auto [f, out] = m->editedField(m_name, field);
    const Encoded result = encodeBool(*f, value, out);
    if (result != Encoded::Ok)
        refused(result, m_name, *f, value ? "T" : "F", "lógico");
}

void Table::setFloat(std::string_view field, float value)
{
    const auto [f, out] = m->editedField(m_name, field);
    const Encoded result = encodeFloat(*f, value, out);
    if (result != Encoded::Ok)
        refused(result, m_name, *f, numberText(value), "numérico");
}

void Table::post()
{
    if (!m->file)
        errors::notOpen(m_name);
    if (!m->editing)
        errors::fail(m_name, "no tiene una fila nueva en curso");
    if (m->rowCount >= 0xFFFFFFFFu)
        errors::fail(m_name, "no admite más filas");
    m->data += m->newRow;
    ++m->rowCount;
    ++m->liveCount;
    m->editing = false;
    m->appended = true;
    m->indexes.clear();
    if (m->data.size() - m->flushedEnd >= kWriteChunk) {
        m->flush(m_name);
        m->droppedRows += (m->data.size() - m->layout.headerLength) / m->layout.recordLength;
        m->data.resize(m->layout.headerLength);
        m->flushedEnd = m->data.size();
    }
}

} // namespace ponteva::dbf
