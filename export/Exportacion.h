// The export run: one Zedra exchange document into the six Veltrix working tables.
#pragma once

#include "core/Regional.h"
#include "export/CodeList.h"
#include "tables/Table.h"
#include "xmldoc/XmlDocument.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <unordered_map>
#include <vector>

namespace ponteva {

// A Zedra identifier that the table cannot hold as it is: longer than its field (the table
// keeps its first characters), or with characters that Windows-1252 lacks ('Ω12' is kept
// as '?12'). The timetable cannot find its way back to that item.
struct IdentificadorRecortado {
    std::string tabla; // "PROFT"
    std::string campo; // "IDPROF"
    std::string valor; // the whole identifier, UTF-8
    int ancho = 0; // the field's width
    std::size_t veces = 1; // rows of that table that hold it
    bool caracteresPerdidos = false; // characters lost in the conversion to Windows-1252
    std::string guardado; // what the table holds instead, UTF-8
};

struct ResumenExportacion {
    std::size_t materias = 0; // ASIGNOMT rows, the fixed LECT row included
    std::size_t profesores = 0;
    std::size_t aulas = 0;
    std::size_t grupos = 0;
    std::size_t asignaturas = 0; // ASIGT rows
    std::size_t materiasOmitidas = 0; // abbreviation equal to the activity code
    std::size_t asignaturasSinGrupo = 0; // group not in GRUPOST
    std::size_t asignaturasSinMateria = 0; // subject not in ASIGNOMT
    std::size_t asignaturasSinCodigoMateria = 0; // subject found with an empty short code
    std::vector<IdentificadorRecortado> recortados;
};

class Exportacion {
public:
    Exportacion(std::filesystem::path documento, std::filesystem::path directorio, RegionalSettings regional);

    // The whole run: checks the document is there (MissingInputError "No existe archivo"),
    // loads it (a file that does not parse, or whose root is not 'centro', stops the run
    // before any table is touched), then calls the builders in their fixed order. Tables
    // written before a failing builder stay written; every table is closed on every path.
    // Each call is a run of its own: nothing of an earlier run carries over.
    ResumenExportacion ejecutar();

    // Loads the document; throws when it does not parse or is no Zedra exchange document.
    void cargar();
    // The builders, in the order the run calls them. Each needs the document loaded.
    void ExportarMaterias();
    void ExportarProfesores();
    void ExportarAulas();
    void ExportarGrupos();
    void ExportarTramos();
    void ExportarAsignaturas();

    const ResumenExportacion& resumen() const { return m_resumen; }

private:
    // Reading a section: the shared record state.
    void seleccionar(std::string_view ruta);
    void registro(std::size_t indice);
    std::string campo(std::string_view atributo) const;

    // Notes an identifier, read from the current record's attribute and kept as valor, that
    // the field cannot hold as it is.
    void anotarRecorte(const char* tabla, const char* campo, const char* atributo, const std::string& valor, int ancho);
    // Deletes the table's old files and creates it anew with these fields, then opens it.
    void crearTabla(dbf::Table& tabla, const std::vector<dbf::FieldDef>& campos);
    dbf::TableOptions opcionesTabla() const;
    void cerrarBusquedas() noexcept;

    std::filesystem::path m_documento;
    std::filesystem::path m_directorio;
    RegionalSettings m_regional;
    xml::Document m_doc;
    std::vector<xml::Element> m_nodos;
    xml::Element m_registro;
    CodeList m_codigosMaterias;

    // The look-up tables, as the window's components: opened exclusively by the builders
    // that need them and closed on every path.
    dbf::Table m_tablaProfesor;
    dbf::Table m_tablaGrupos;
    dbf::Table m_tablaNomAsg;

    ResumenExportacion m_resumen;
    std::unordered_map<std::string, std::size_t> m_indiceRecortes; // table, field, value -> entry
};

} // namespace ponteva
