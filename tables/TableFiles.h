// The files of a table on disk: names matched without regard to letter case, as the
// Windows timetabler (under Wine, too) may write them in either case.
#pragma once

#include "tables/FileIo.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace ponteva::dbf {

constexpr std::string_view kTableExtension = ".DBF";
constexpr std::string_view kIndexExtension = ".MDX";

// "asignomt.dbf" -> "ASIGNOMT": without the table extension, ASCII letters upper case.
std::string tableBaseName(std::string_view baseName);

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b);

// The entries of dir equal to fileName without regard to letter case, in byte order.
std::vector<std::string> caseVariants(FileIo& io, const std::filesystem::path& dir, std::string_view fileName);

} // namespace ponteva::dbf
