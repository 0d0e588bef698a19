// Reading and writing the header of a dBase file: the main header, the field descriptors,
// and where the rows start. Every size and offset is checked before it is trusted.
#pragma once

#include "tables/DbfFormat.h"
#include "tables/Table.h"

#include <array>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace ponteva::dbf {

struct TableLayout {
    unsigned char version = format::kVersionDBase3;
    Dialect dialect = Dialect::DBase;
    std::uint32_t headerRecordCount = 0; // as the header says
    std::size_t headerLength = 0; // where the first row starts
    std::size_t recordLength = 0;
    std::vector<FieldInfo> fields;
    std::size_t rowCount = 0; // rows to read: the header count, or the whole rows the file holds
};

Dialect dialectOf(unsigned char version);

// Parses the header at the start of the file's bytes. Throws Error naming the table and the
// byte where the file is broken.
TableLayout parseHeader(std::string_view file, const std::string& table);

// The header of an empty dBase III table with these fields (names already upper case),
// terminator included; the fields' offsets are filled in.
std::string buildHeader(std::vector<FieldInfo>& fields, std::size_t& recordLength, const std::tm& today);

// The seven header bytes from kDateOffset: last-update date and record count.
std::array<char, 7> dateAndCount(const std::tm& today, std::uint32_t recordCount);

std::tm localToday();

} // namespace ponteva::dbf
