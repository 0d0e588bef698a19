// File paths as the UTF-8 text that messages and the command line carry. On Windows a
// path's plain string() is in the ANSI code page, which cannot hold every name.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace ponteva {

std::string pathText(const std::filesystem::path& path);
std::filesystem::path pathFromText(std::string_view utf8);

} // namespace ponteva
