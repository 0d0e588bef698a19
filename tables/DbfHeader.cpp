// Parsing and building dBase headers.
#include "tables/DbfHeader.h"

#include "tables/TableErrors.h"

#include <algorithm>
#include <cstring>

namespace ponteva::dbf {

namespace {

using namespace format;

unsigned byteAt(std::string_view b, std::size_t at)
{
    return static_cast<unsigned char>(b[at]);
}

std::uint32_t le16(std::string_view b, std::size_t at)
{
    return byteAt(b, at) | byteAt(b, at + 1) << 8;
}

std::uint32_t le32(std::string_view b, std::size_t at)
{
    return le16(b, at) | le16(b, at + 2) << 16;
}

std::string byteNote(std::size_t at)
{
    return " (byte " + std::to_string(at) + ")";
}

std::string fieldLabel(int number, const std::string& name)
{
    return "el campo " + std::to_string(number) + " (" + errors::quoted(name) + ")";
}

struct DescriptorShape {
    std::size_t size, nameSize, typeOffset, widthOffset, decimalsOffset;
};

constexpr DescriptorShape kClassicDescriptor{kDescriptorSize, kNameSize, kTypeOffset, kWidthOffset, kDecimalsOffset};
constexpr DescriptorShape kDBase7Descriptor{
    kDBase7DescriptorSize, kDBase7NameSize, kDBase7TypeOffset, kDBase7WidthOffset, kDBase7DecimalsOffset};

} // namespace

Dialect dialectOf(unsigned char version)
{
    switch (version) {
    case kVersionDBase7:
    case kVersionDBase7Memo: return Dialect::DBase7;
    case kVersionVisualFoxPro:
    case kVersionVisualFoxProAutoIncrement:
    case kVersionVisualFoxProVarchar: return Dialect::VisualFoxPro;
    case kVersionFoxPro2Memo:
    case kVersionFoxBasePlus: return Dialect::FoxPro;
    default: return Dialect::DBase;
    }
}

TableLayout parseHeader(std::string_view file, const std::string& table)
{
    if (file.size() < kHeaderSize)
        errors::damaged(table,
            "el archivo tiene " + std::to_string(file.size()) + " bytes, menos que los " + std::to_string(kHeaderSize)
                + " del encabezado");
    TableLayout layout;
    layout.version = static_cast<unsigned char>(file[kVersionOffset]);
    layout.dialect = dialectOf(layout.version);
    layout.headerRecordCount = le32(file, kRecordCountOffset);
    layout.headerLength = le16(file, kHeaderLengthOffset);
    layout.recordLength = le16(file, kRecordLengthOffset);

    const bool dBase7 = layout.dialect == Dialect::DBase7;
    const std::size_t firstDescriptor = dBase7 ? kDBase7HeaderSize : kHeaderSize;
    const DescriptorShape shape = dBase7 ? kDBase7Descriptor : kClassicDescriptor;
    if (layout.headerLength < firstDescriptor)
        errors::damaged(table,
            "la longitud del encabezado es " + std::to_string(layout.headerLength) + " bytes, menos que el mínimo de "
                + std::to_string(firstDescriptor) + byteNote(kHeaderLengthOffset));
    if (layout.headerLength > file.size())
        errors::damaged(table,
            "el encabezado dice medir " + std::to_string(layout.headerLength) + " bytes pero el archivo tiene "
                + std::to_string(file.size()) + byteNote(kHeaderLengthOffset));

    std::size_t nextOffset = 1; // byte 0 of a record is the deletion mark
    std::size_t widthSum = 0;
    std::size_t pos = firstDescriptor;
    for (int number = 1;; ++number, pos += shape.size) {
        // Tolerated: a header length that leaves no byte for the terminator; the descriptors
        // that fill it are complete, and the header length, not the terminator, places the rows.
        if (pos >= layout.headerLength)
            break;
        if (byteAt(file, pos) == kHeaderTerminator)
            break;
        if (pos + shape.size > layout.headerLength)
            errors::damaged(
                table, "la descripción del campo " + std::to_string(number) + " sale del encabezado" + byteNote(pos));
        const std::string_view d = file.substr(pos, shape.size);
        FieldInfo field;
        const std::string_view rawName = d.substr(0, shape.nameSize);
        field.name = std::string(rawName.substr(0, std::min(rawName.find('\0'), rawName.size())));
        field.type = d[shape.typeOffset];
        field.width = static_cast<int>(byteAt(d, shape.widthOffset));
        field.decimals = static_cast<int>(byteAt(d, shape.decimalsOffset));
        const unsigned type = static_cast<unsigned char>(field.type);
        if (type < 0x21 || type > 0x7E)
            errors::damaged(table,
                fieldLabel(number, field.name) + " tiene un tipo no válido, código " + std::to_string(type)
                    + byteNote(pos + shape.typeOffset));
        if (field.width == 0)
            errors::damaged(
                table, fieldLabel(number, field.name) + " tiene ancho 0" + byteNote(pos + shape.widthOffset));
        std::size_t offset = nextOffset;
        if (layout.dialect == Dialect::VisualFoxPro) {
            const std::uint32_t displacement = le32(d, kDisplacementOffset);
            // Tolerated: byte 0 is the deletion mark, so a zero displacement can only mean the
            // writer left it unfilled; the fields are then contiguous, as in dBase.
            if (displacement != 0)
                offset = displacement;
        }
        const std::size_t end = offset + static_cast<std::size_t>(field.width);
        if (end > layout.recordLength)
            errors::damaged(table,
                fieldLabel(number, field.name) + " sale del registro: ocupa los bytes " + std::to_string(offset) + " a "
                    + std::to_string(end - 1) + " de un registro de " + std::to_string(layout.recordLength)
                    + byteNote(
                        pos + (layout.dialect == Dialect::VisualFoxPro ? kDisplacementOffset : shape.widthOffset)));
        field.offset = static_cast<int>(offset);
        nextOffset = end;
        widthSum += static_cast<std::size_t>(field.width);
        layout.fields.push_back(std::move(field));
    }
    if (layout.fields.empty())
        errors::damaged(table, "el encabezado no describe ningún campo" + byteNote(firstDescriptor));
    // Tolerated: a record longer than its fields (writers that reserve room at the end of
    // each row); the fields are still where the descriptors say.
    if (widthSum + 1 > layout.recordLength)
        errors::damaged(table,
            "la longitud de registro es " + std::to_string(layout.recordLength) + " bytes, menos que los "
                + std::to_string(widthSum + 1) + " de sus campos y la marca de borrado"
                + byteNote(kRecordLengthOffset));

    // A file cut short (copied while its writer was still at it) would silently lose the
    // rows it lacks: refused. Rows or bytes beyond the count are tolerated (writers that
    // append the end marker late, or leave a half-written row after the last one counted).
    const std::size_t rowsInFile = (file.size() - layout.headerLength) / layout.recordLength;
    if (rowsInFile < layout.headerRecordCount)
        errors::damaged(table,
            "el encabezado anuncia " + std::to_string(layout.headerRecordCount) + " registros, pero el archivo solo "
                + (rowsInFile == 1 ? "contiene 1 completo" : "contiene " + std::to_string(rowsInFile) + " completos")
                + byteNote(kRecordCountOffset));
    layout.rowCount = layout.headerRecordCount;
    return layout;
}

std::tm localToday()
{
    const std::time_t now = std::time(nullptr);
    std::tm today{};
#ifdef _WIN32
    localtime_s(&today, &now);
#else
    localtime_r(&now, &today);
#endif
    return today;
}

std::array<char, 7> dateAndCount(const std::tm& today, std::uint32_t recordCount)
{
    std::array<char, 7> bytes{};
    bytes[0] = static_cast<char>(std::clamp(today.tm_year, 0, 255)); // tm_year counts from 1900
    bytes[1] = static_cast<char>(today.tm_mon + 1);
    bytes[2] = static_cast<char>(today.tm_mday);
    for (int i = 0; i < 4; ++i)
        bytes[3 + i] = static_cast<char>((recordCount >> (8 * i)) & 0xFF);
    return bytes;
}

std::string buildHeader(std::vector<FieldInfo>& fields, std::size_t& recordLength, const std::tm& today)
{
    const std::size_t headerLength = kHeaderSize + fields.size() * kDescriptorSize + 1;
    std::string header(headerLength, '\0');
    header[kVersionOffset] = static_cast<char>(kVersionDBase3);
    const auto stamp = dateAndCount(today, 0);
    std::memcpy(&header[kDateOffset], stamp.data(), stamp.size());
    header[kHeaderLengthOffset] = static_cast<char>(headerLength & 0xFF);
    header[kHeaderLengthOffset + 1] = static_cast<char>(headerLength >> 8);
    header[kLanguageDriverOffset] = static_cast<char>(kLanguageDriverWindows1252);

    std::size_t offset = 1;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        FieldInfo& f = fields[i];
        char* d = &header[kHeaderSize + i * kDescriptorSize];
        std::memcpy(d, f.name.data(), std::min(f.name.size(), kNameSize - 1));
        d[kTypeOffset] = f.type;
        d[kWidthOffset] = static_cast<char>(f.width);
        d[kDecimalsOffset] = static_cast<char>(f.decimals);
        f.offset = static_cast<int>(offset);
        offset += static_cast<std::size_t>(f.width);
    }
    recordLength = offset;
    header[kRecordLengthOffset] = static_cast<char>(recordLength & 0xFF);
    header[kRecordLengthOffset + 1] = static_cast<char>(recordLength >> 8);
    header[headerLength - 1] = static_cast<char>(kHeaderTerminator);
    return header;
}

} // namespace ponteva::dbf
