// The dBase table engine: create, open, append and read working tables.
//
// Writes dBase III tables (language driver 0x03, Windows-1252); reads dBase III/IV/5,
// dBase 7 and FoxPro/Visual FoxPro tables. Text is 8-bit Windows-1252 throughout.
// Every failure throws ponteva::Error with a Spanish message naming the table.
#pragma once

#include "tables/FileIo.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace ponteva::dbf {

// Logical kinds of field the runs define. Read-only foreign types are kept as their letter.
enum class FieldType : char {
    Character = 'C',
    Logical = 'L',
    Integer = 'I', // a 32-bit signed integer; written as a numeric field N(11,0)
    Float = 'F', // a floating-point number; written as F(20,..) holding the shortest
                 // decimal text that reads back as the same 32-bit float
};

struct FieldDef {
    std::string name;
    FieldType type = FieldType::Character;
    int width = 0; // character fields only; the other kinds have fixed widths
};

// A field as found in the file.
struct FieldInfo {
    std::string name; // as stored, upper case in our own tables
    char type = 'C'; // the file's type letter: C N F L D I O B + @ Y T M G ...
    int width = 0;
    int decimals = 0;
    int offset = 0; // from the start of the record, the deletion flag being byte 0
};

struct TableOptions {
    // The regional decimal separator, used when a numeric field is read as text.
    char decimalSeparator = '.';
};

class Table {
public:
    // A table named baseName ("ASIGNOMT", or "ASIGNOMT.DBF") in directory dir.
    Table(std::filesystem::path dir, std::string baseName, TableOptions options = {}, FileIo& io = FileIo::system());
    ~Table(); // closes, never throws
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;

    // Deletes NAME.DBF and NAME.MDX, matching the names without regard to letter case.
    // Failures are ignored, as the builders ignore them.
    static void removeFiles(const std::filesystem::path& dir, std::string_view baseName, FileIo& io = FileIo::system());

    // Creates an empty table with exactly these fields, in this order. The table is
    // closed afterwards. Fails when the directory is missing or the file is held.
    void create(const std::vector<FieldDef>& fields);

    // Opens for exclusive use; opening an open table changes nothing. The file is found
    // without regard to letter case. After open the cursor is on the first row.
    void open();
    // Writes what is pending and releases the file; closing a closed table does nothing.
    void close();
    bool isOpen() const;
    // The table's file is there (found without regard to letter case).
    bool exists() const;

    // Writing: append() starts a blank row, set*() fill it, post() stores it.
    void append();
    // Character: the first bytes up to the width. Integer: empty text leaves the field
    // empty, a whole number (blanks around it allowed) is stored, anything else is refused.
    // Float and Logical fields are set from their text form too.
    void setText(std::string_view field, std::string_view value);
    void setBool(std::string_view field, bool value);
    // Stores the shortest decimal text that reads back as exactly this 32-bit float.
    void setFloat(std::string_view field, float value);
    void post();

    // Reading, rows in the order written, deleted rows skipped.
    void first();
    bool eof() const;
    void next();
    std::size_t recordCount() const; // rows that are not deleted

    // Character fields without their trailing blanks; numeric fields as their value written
    // the shortest way, with the regional decimal separator ("2,5", "4"); logical fields
    // "T", "F" or "".
    std::string text(std::string_view field) const;
    // Numeric value; an empty field reads 0. A number kept in a character field is read with
    // the regional decimal separator. Text that is no number is refused.
    std::int32_t integer(std::string_view field) const;
    double number(std::string_view field) const;

    // From the first row, the first row whose field text equals value exactly (whole
    // value, letter case counting) becomes current. Uses a hashed index built on first
    // use and kept while the table is open and unchanged. When no row matches, the cursor
    // is past the last row (eof).
    bool locate(std::string_view field, std::string_view value);

    const std::vector<FieldInfo>& fields() const;
    bool hasField(std::string_view field) const;
    const std::string& name() const { return m_name; } // e.g. "ASIGNOMT"
    std::filesystem::path path() const; // the file found or created

private:
    struct Impl;
    std::string m_name;
    std::unique_ptr<Impl> m;
};

} // namespace ponteva::dbf
