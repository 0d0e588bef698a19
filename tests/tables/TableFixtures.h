// Test fixtures for the table engine: dBase files built byte by byte, and file seams that
// keep files in memory or fail on demand.
#pragma once

#include "tables/FileIo.h"
#include "tables/Table.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ponteva::test {

struct FixtureField {
    std::string name;
    char type = 'C';
    int width = 1;
    int decimals = 0;
};

// A dBase file described field by field and row by row. The version byte decides the
// layout: 0x04 and 0x8C give the dBase 7 header and 48-byte descriptors; 0x30-0x32 give
// Visual FoxPro displacements and the 263-byte backlink.
struct DbfFixture {
    unsigned char version = 0x03;
    std::vector<FixtureField> fields;
    std::vector<std::string> rows; // each: deletion mark followed by the field bytes
    std::optional<std::uint32_t> recordCount; // default: rows.size()
    std::optional<std::uint16_t> headerLength; // default: computed
    std::optional<std::uint16_t> recordLength; // default: 1 + widths
    bool terminator = true;
    bool endMarker = true;
    unsigned char languageDriver = 0x03;

    std::string bytes() const;
};

// One field of a one-row table: what it stores and what it reads as.
struct ValueCase {
    const char* what;
    FixtureField field;
    std::string stored;
    char separator;
    std::string text;
    std::optional<double> number; // nullopt: refused
    std::optional<std::int32_t> integer; // nullopt: refused as no valid integer
};
// Checks text(), number() and integer() of the case's field in a table of this version.
void expectValues(const ValueCase& c, unsigned char version = 0x03);

// A row: the live mark ' ' (or '*' for deleted) and the fields' bytes in order.
std::string row(std::initializer_list<std::string_view> fields, char mark = ' ');
std::string padRight(std::string_view text, std::size_t width);
std::string padLeft(std::string_view text, std::size_t width);
// Bytes from hex digits, blanks ignored: "80 00 00 01".
std::string hexBytes(std::string_view hex);
std::string littleEndian(std::uint64_t value, int size);

// Files kept in memory; locks are per open file, as flock's are.
class MemoryFileIo : public dbf::FileIo {
public:
    std::map<std::string, std::string> files; // by path
    std::unique_ptr<dbf::File> open(const std::filesystem::path& path, Mode mode, int& err) override;
    bool remove(const std::filesystem::path& path) override;
    bool isDirectory(const std::filesystem::path& path) override;
    std::vector<std::string> list(const std::filesystem::path& dir) override;

    std::map<std::string, const void*> lockHolders;
};

// A table over a fixture kept in memory, in directory "/mem".
class MemoryTable {
public:
    explicit MemoryTable(const DbfFixture& fixture, dbf::TableOptions options = {}, const std::string& name = "SOLUC");
    explicit MemoryTable(std::string bytes, dbf::TableOptions options = {}, const std::string& name = "SOLUC");
    dbf::Table& operator*() { return *table; }
    dbf::Table* operator->() { return table.get(); }

    MemoryFileIo io;
    std::unique_ptr<dbf::Table> table;
};

// The system seam, with faults to order: reads that end early or fail, writes that fail
// after a number of bytes, writable opens refused. Counts the writes.
class FaultyFileIo : public dbf::FileIo {
public:
    std::optional<std::uint64_t> readableBytes; // reads see a file this long
    int readError = 0; // every read fails with this errno
    std::optional<std::uint64_t> writableBytes; // writes beyond this many bytes fail
    int writeError = 28; // ENOSPC
    bool refuseWritableOpen = false; // ReadWrite and Create fail with EACCES
    std::optional<std::int64_t> reportedSize; // what size() says
    int writeCalls = 0;
    std::uint64_t bytesWritten = 0;

    std::unique_ptr<dbf::File> open(const std::filesystem::path& path, Mode mode, int& err) override;
    bool remove(const std::filesystem::path& path) override { return system().remove(path); }
    bool isDirectory(const std::filesystem::path& path) override { return system().isDirectory(path); }
    std::vector<std::string> list(const std::filesystem::path& dir) override { return system().list(dir); }
    bool namesIgnoreCase() override { return system().namesIgnoreCase(); }
};

} // namespace ponteva::test
