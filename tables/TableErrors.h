// The Spanish messages of the table engine, built in one place so every one names the table
// the same way. Table text is Windows-1252; it is converted to UTF-8 before it goes in.
#pragma once

#include "core/Error.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace ponteva::dbf::errors {

// 'text' with the 8-bit table text converted to UTF-8.
std::string quoted(std::string_view ansi);

// "La tabla X está dañada: <detail>."
[[noreturn]] void damaged(const std::string& table, const std::string& detail);
[[noreturn]] void missingDirectory(const std::string& table, const std::filesystem::path& dir, std::string_view action);
[[noreturn]] void missingTable(const std::string& table, const std::filesystem::path& dir);
[[noreturn]] void inUse(const std::string& table);
[[noreturn]] void unknownField(const std::string& table, std::string_view field);
[[noreturn]] void systemFailure(const std::string& table, std::string_view action, int err);
[[noreturn]] void shortRead(const std::string& table, std::uint64_t read, std::uint64_t expected);
[[noreturn]] void notOpen(const std::string& table);
[[noreturn]] void notInteger(std::string_view value, std::string_view field);
[[noreturn]] void notNumber(const std::string& table, std::string_view value, std::string_view field);
[[noreturn]] void fail(const std::string& table, const std::string& detail); // "La tabla X <detail>."

} // namespace ponteva::dbf::errors
