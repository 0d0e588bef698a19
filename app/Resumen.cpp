// Summary texts of the export and return runs.
#include "app/Resumen.h"

#include "core/PathText.h"

#include <string_view>

namespace ponteva {

namespace {

std::string plural(std::size_t n, std::string_view one, std::string_view many)
{
    return std::to_string(n) + " " + std::string(n == 1 ? one : many);
}

std::string fila(std::string_view tabla, std::size_t n, std::string_view que)
{
    // Table names padded to one column, as the command-line tool has always printed them.
    std::string linea = "  " + std::string(tabla);
    linea.append(tabla.size() < 16 ? 16 - tabla.size() : 1, ' ');
    return linea + plural(n, "fila", "filas") + " (" + std::string(que) + ")\n";
}

} // namespace

std::string resumenExportacion(const ResumenExportacion& r, const std::filesystem::path& directorio)
{
    std::string s = "Tablas escritas en " + pathText(directorio) + ":\n";
    s += fila("ASIGNOMT.DBF", r.materias, "materias, con la fila fija LECT");
    s += fila("PROFT.DBF", r.profesores, "profesores");
    s += fila("AULAT.DBF", r.aulas, "aulas");
    s += fila("GRUPOST.DBF", r.grupos, "grupos");
    s += fila("DIASHORAST.DBF", 0, "rejilla de días y horas, vacía");
    s += fila("ASIGT.DBF", r.asignaturas, "asignaturas");

    const std::size_t omitidos
        = r.materiasOmitidas + r.asignaturasSinGrupo + r.asignaturasSinMateria + r.asignaturasSinCodigoMateria;
    if (omitidos == 0) {
        s += "No se ha omitido ningún registro.\n";
    } else {
        s += "Registros omitidos:\n";
        if (r.materiasOmitidas)
            s += "  " + plural(r.materiasOmitidas, "materia", "materias")
                + ": la abreviatura es igual al código de actividad\n";
        if (r.asignaturasSinGrupo)
            s += "  " + plural(r.asignaturasSinGrupo, "asignatura", "asignaturas") + ": el grupo no está en GRUPOST\n";
        if (r.asignaturasSinMateria)
            s += "  " + plural(r.asignaturasSinMateria, "asignatura", "asignaturas")
                + ": la materia no está en ASIGNOMT\n";
        if (r.asignaturasSinCodigoMateria)
            s += "  " + plural(r.asignaturasSinCodigoMateria, "asignatura", "asignaturas")
                + ": la materia no tiene código corto\n";
    }
    for (const IdentificadorRecortado& id : r.recortados) {
        const std::string filas = id.veces > 1 ? " (" + std::to_string(id.veces) + " filas)" : std::string();
        if (id.caracteresPerdidos)
            s += "Aviso: el identificador '" + id.valor
                + "' tiene caracteres que las tablas no admiten; se guarda como '" + id.guardado + "' en el campo "
                + id.campo + " de " + id.tabla + filas + " y el horario no podrá volver a ese elemento.\n";
        else
            s += "Aviso: el identificador '" + id.valor + "' no cabe en el campo " + id.campo + " de " + id.tabla
                + filas + " (" + std::to_string(id.ancho)
                + " caracteres); se guarda recortado y el horario no podrá volver a ese elemento.\n";
    }
    return s;
}

std::string resumenRetorno(const ResumenRetorno& r)
{
    std::string s = "Documento escrito: " + pathText(r.resultado) + "\n";
    s += "  " + plural(r.escritos, "sesión del horario", "sesiones del horario") + " en solucion_horario\n";
    if (r.omitidosDiaHora == 0 && r.omitidosSinMateria == 0) {
        s += "No se ha omitido ningún registro de SOLUC.\n";
    } else {
        s += "Registros de SOLUC omitidos:\n";
        if (r.omitidosDiaHora)
            s += "  " + plural(r.omitidosDiaHora, "registro", "registros") + ": día u hora 0\n";
        if (r.omitidosSinMateria)
            s += "  " + plural(r.omitidosSinMateria, "registro", "registros") + ": la materia no está en ASIGNOMT\n";
    }
    return s;
}

} // namespace ponteva
