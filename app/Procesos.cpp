// The runs and their summaries.
#include "app/Procesos.h"

#include "app/Resumen.h"
#include "export/Exportacion.h"
#include "import/RetornoHorario.h"

namespace ponteva {

std::string procesoExportacion(
    const std::filesystem::path& documento, const std::filesystem::path& directorio, const RegionalSettings& regional)
{
    Exportacion run(documento, directorio, regional);
    return resumenExportacion(run.ejecutar(), directorio);
}

std::string procesoRetorno(
    const std::filesystem::path& documento, const std::filesystem::path& directorio, const RegionalSettings& regional)
{
    RetornoHorario run(documento, directorio, regional);
    return resumenRetorno(run.ejecutar());
}

} // namespace ponteva
