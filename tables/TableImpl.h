// The state behind a Table: the open file, the table's bytes in memory, the cursor, the
// row being filled, and the lookup structures. Shared by the files that implement Table.
#pragma once

#include "tables/DbfHeader.h"
#include "tables/Table.h"
#include "tables/TableFiles.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace ponteva::dbf {

// Field names are matched without regard to ASCII letter case.
struct FieldNameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view name) const;
};
struct FieldNameEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const { return equalsIgnoringAsciiCase(a, b); }
};

struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};

// Field text -> first row holding it.
using ValueIndex = std::unordered_map<std::string, std::size_t, TextHash, std::equal_to<>>;

struct Table::Impl {
    Impl(std::filesystem::path directory, TableOptions tableOptions, FileIo& fileIo)
        : dir(std::move(directory))
        , options(tableOptions)
        , io(fileIo)
    {
    }

    std::filesystem::path dir;
    TableOptions options;
    FileIo& io;
    std::filesystem::path path; // the file found or created

    std::unique_ptr<File> file; // set while open
    bool writable = false;
    TableLayout layout;
    std::unordered_map<std::string, std::size_t, FieldNameHash, FieldNameEqual> fieldByName;
    // For each field, the field its name reads: the first of that name, as in fieldByName.
    std::vector<std::size_t> fieldRead;

    // The header and the rows, as they are (or will be) in the file; appended rows go to
    // the end and are written in large pieces.
    std::string data;
    std::size_t rowCount = 0;
    std::size_t liveCount = 0;
    std::size_t flushedEnd = 0; // data[0, flushedEnd) is in the file
    // Rows appended and written are let go, so that a table of a hundred thousand new rows
    // does not stay in memory: data holds the header, then the rows from this one on.
    std::size_t droppedRows = 0;
    bool appended = false;

    std::size_t cursor = 0;
    std::string newRow;
    std::string blankRow; // a new row before any field is set
    bool editing = false;

    std::unordered_map<std::size_t, ValueIndex> indexes; // by field number; dropped on any write
    mutable std::size_t lastField = 0; // where the next field look-up starts, after this one

    void setLayout(TableLayout newLayout);
    std::string_view row(std::size_t i) const
    {
        return std::string_view(data).substr(
            layout.headerLength + (i - droppedRows) * layout.recordLength, layout.recordLength);
    }
    // Where data[offset] stands in the file.
    std::uint64_t fileOffset(std::size_t offset) const
    {
        return offset + static_cast<std::uint64_t>(droppedRows) * layout.recordLength;
    }
    // Reads back the rows let go, before any row is read.
    void holdAllRows(const std::string& table);
    bool isLive(std::size_t i) const;
    std::size_t nextLive(std::size_t from) const;
    // Writes the rows not yet in the file.
    void flush(const std::string& table);

    struct FieldAt {
        const FieldInfo& info;
        std::string_view bytes;
    };
    // The field's number; throws naming the table when there is no such field.
    std::size_t fieldNumber(const std::string& table, std::string_view field) const;
    FieldAt fieldInRow(std::size_t row, std::size_t number) const;
    FieldAt currentField(const std::string& table, std::string_view field);
    // The field and where its bytes go in the row being filled.
    std::pair<const FieldInfo*, char*> editedField(const std::string& table, std::string_view field);
};

} // namespace ponteva::dbf
