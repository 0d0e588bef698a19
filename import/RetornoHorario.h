// The timetable return run: the timetabler's SOLUC.DBF back into a rebuilt Zedra
// exchange document, saved beside the chosen one.
#pragma once

#include "core/Regional.h"

#include <cstddef>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace ponteva {

struct ResumenRetorno {
    std::filesystem::path resultado;
    std::size_t escritos = 0; // dsolucion elements written
    std::size_t omitidosDiaHora = 0; // DIA or HORA 0
    std::size_t omitidosSinMateria = 0; // ASIG not a COD of ASIGNOMT
};

enum class EstiloRuta { Windows, Posix };

// The result's path: the directory part of the document path (up to and including its
// last separator: '\', '/' or ':' on Windows, '/' elsewhere), "ResultadoVeltrix", the file name.
std::string rutaResultado(std::string_view documento, EstiloRuta estilo);
EstiloRuta estiloRutaDelSistema();

class RetornoHorario {
public:
    // now: the moment written as fecha_exportacion; the current local time when absent.
    RetornoHorario(std::filesystem::path documento, std::filesystem::path directorio, RegionalSettings regional,
        std::optional<std::tm> now = std::nullopt);

    // Checks the document and SOLUC.DBF are there (MissingInputError "No existe archivo XML
    // o Solución."), opens SOLUC, GRUPOST, PROFT, AULAT, ASIGNOMT and ASIGT exclusively,
    // translates every record and saves the result atomically. The chosen document is never
    // written; the tables are closed on every path; a failure writes no result.
    ResumenRetorno ejecutar();

private:
    std::filesystem::path m_documento;
    std::filesystem::path m_directorio;
    RegionalSettings m_regional;
    std::optional<std::tm> m_now;
};

} // namespace ponteva
