// The two runs as the window starts them: the core run, then its summary text.
#pragma once

#include "core/Regional.h"

#include <filesystem>
#include <string>

namespace ponteva {

// Both throw what the runs throw: MissingInputError for a missing input, Error otherwise.
std::string procesoExportacion(
    const std::filesystem::path& documento, const std::filesystem::path& directorio, const RegionalSettings& regional);
std::string procesoRetorno(
    const std::filesystem::path& documento, const std::filesystem::path& directorio, const RegionalSettings& regional);

} // namespace ponteva
