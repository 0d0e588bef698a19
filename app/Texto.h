// UTF-8 (the core's text) to UTF-16 (the system's wide functions) and back.
#pragma once

#include <string>
#include <string_view>

namespace ponteva {

std::wstring ancho(std::string_view utf8);
std::string utf8(std::wstring_view ancho);

} // namespace ponteva
