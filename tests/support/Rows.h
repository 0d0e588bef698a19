// Reads a whole table back through the engine, as UTF-8 text per field, for assertions.
#pragma once

#include "tables/Table.h"
#include "text/Ansi.h"

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace ponteva::test {

using Row = std::map<std::string, std::string>;

inline std::vector<Row> readRows(const std::filesystem::path& dir, const std::string& table, char decimal = ',')
{
    dbf::TableOptions options;
    options.decimalSeparator = decimal;
    dbf::Table t(dir, table, options);
    t.open();
    std::vector<Row> rows;
    for (t.first(); !t.eof(); t.next()) {
        Row row;
        for (const auto& f : t.fields())
            row[f.name] = ansiToUtf8(t.text(f.name));
        rows.push_back(std::move(row));
    }
    return rows;
}

inline std::vector<std::string> column(const std::vector<Row>& rows, const std::string& field)
{
    std::vector<std::string> out;
    for (const auto& r : rows)
        out.push_back(r.at(field));
    return out;
}

inline std::vector<std::string> fieldNames(const std::filesystem::path& dir, const std::string& table)
{
    dbf::Table t(dir, table);
    t.open();
    std::vector<std::string> names;
    for (const auto& f : t.fields())
        names.push_back(f.name);
    return names;
}

} // namespace ponteva::test
