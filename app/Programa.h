// Where the program's own file lies: the settings file and the help file sit beside it.
#pragma once

#include <filesystem>

namespace ponteva {

std::filesystem::path directorioPrograma();

} // namespace ponteva
