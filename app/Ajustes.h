// The settings file the launching timetabler reads: Veltrix.ini beside the program.
#pragma once

#include <filesystem>

namespace ponteva {

// Veltrix.ini in the directory of the program's own file.
std::filesystem::path rutaAjustes();

// Writes the completion value under [Transformadores] Transformado through the system's
// private-profile functions, which keep every other section, key and comment. Throws
// Error "Unable to write to <path>" when the file cannot be written.
void escribirFinalizacion(const std::filesystem::path& ini, int valor);

} // namespace ponteva
