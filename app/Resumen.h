// The plain-Spanish summary of a finished run: what each table received, what was left
// out and why, and the identifiers that cannot come back. The window shows it under
// "Proceso finalizado"; the command-line tool prints it.
#pragma once

#include "export/Exportacion.h"
#include "import/RetornoHorario.h"

#include <filesystem>
#include <string>

namespace ponteva {

// Lines end in '\n'; paths are written in UTF-8.
std::string resumenExportacion(const ResumenExportacion& r, const std::filesystem::path& directorio);
std::string resumenRetorno(const ResumenRetorno& r);

} // namespace ponteva
