// The export run and the document-reading rule every builder follows.
#include "Exportacion.h"

#include "core/Error.h"
#include "core/PathText.h"
#include "export/ReemplazoTablas.h"
#include "text/Ansi.h"

#include <algorithm>
#include <system_error>

namespace ponteva {

Exportacion::Exportacion(std::filesystem::path documento, std::filesystem::path directorio, RegionalSettings regional)
    : m_documento(std::move(documento))
    , m_directorio(std::move(directorio))
    , m_regional(std::move(regional))
    , m_codigosMaterias(CodeList::Compare::CaseSensitive, "ASIGNOMT")
{
    usarSalida(m_directorio);
}

void Exportacion::usarSalida(const std::filesystem::path& carpeta)
{
    m_salida = carpeta;
    m_tablaProfesor.emplace(m_salida, "PROFT", opcionesTabla());
    m_tablaGrupos.emplace(m_salida, "GRUPOST", opcionesTabla());
    m_tablaNomAsg.emplace(m_salida, "ASIGNOMT", opcionesTabla());
}

dbf::TableOptions Exportacion::opcionesTabla() const
{
    dbf::TableOptions options;
    options.decimalSeparator = m_regional.decimalSeparator;
    return options;
}

ResumenExportacion Exportacion::ejecutar()
{
    std::error_code ec;
    if (m_documento.empty() || !std::filesystem::is_regular_file(m_documento, ec))
        throw MissingInputError("No existe archivo");
    if (!std::filesystem::is_directory(m_directorio, ec))
        throw Error(
            "No existe el directorio de trabajo '" + pathText(m_directorio) + "'. No se ha escrito ninguna tabla.");
    m_resumen = {};
    m_indiceRecortes.clear();
    m_codigosMaterias = CodeList(CodeList::Compare::CaseSensitive, "ASIGNOMT");
    cargar();
    ReemplazoTablas reemplazo(m_directorio, {"ASIGNOMT", "PROFT", "AULAT", "GRUPOST", "DIASHORAST", "ASIGT"});
    reemplazo.preparar();
    usarSalida(reemplazo.carpeta());
    try {
        ExportarMaterias();
        ExportarProfesores();
        ExportarAulas();
        ExportarGrupos();
        ExportarTramos();
        ExportarAsignaturas();
    } catch (const Error& e) {
        // The look-up tables would otherwise stay held until this object goes.
        cerrarBusquedas();
        usarSalida(m_directorio);
        throw Error(conTablasIntactas(e.what()));
    } catch (...) {
        cerrarBusquedas();
        usarSalida(m_directorio);
        throw;
    }
    usarSalida(m_directorio);
    reemplazo.confirmar();
    return m_resumen;
}

void Exportacion::cargar()
{
    // The export only reads the document.
    const xml::LoadResult loaded = m_doc.load(m_documento, xml::LoadDepth::WholeForReading);
    if (!loaded)
        throw Error("El archivo '" + pathText(m_documento) + "' no es un documento XML válido: " + loaded.describe()
            + " No se ha modificado ninguna tabla.");
    // Another document would give six empty tables in place of the school's.
    if (!m_doc.selectSingleNode("/centro")) {
        const xml::Element raiz = m_doc.documentElement();
        const std::string nombre = raiz ? raiz.name() : std::string();
        const std::string hallado = nombre == "centro" ? "su elemento raíz 'centro' pertenece a un espacio de nombres"
                                                       : "su elemento raíz es '" + nombre + "' y no 'centro'";
        throw Error("El archivo '" + pathText(m_documento) + "' no es un documento de intercambio de Zedra: " + hallado
            + ". No se ha modificado ninguna tabla.");
    }
}

void Exportacion::seleccionar(std::string_view ruta)
{
    m_nodos = m_doc.selectNodes(ruta);
    m_registro = xml::Element();
}

void Exportacion::registro(std::size_t indice)
{
    m_registro = m_nodos[indice];
}

std::string Exportacion::campo(std::string_view atributo) const
{
    // A missing attribute reads as the empty text.
    return m_registro.attribute(atributo);
}

void Exportacion::anotarRecorte(
    const char* tabla, const char* campo, const char* atributo, const std::string& valor, int ancho)
{
    // The identifier as the document holds it, trimmed as every value is.
    std::string_view original = m_registro.rawAttribute(atributo) ? m_registro.rawAttribute(atributo) : "";
    original.remove_prefix(std::min(original.find_first_not_of(' '), original.size()));
    original = original.substr(0, original.find_last_not_of(' ') + 1);
    const std::string convertido = ansiToUtf8(valor);
    const bool perdidos = convertido != original;
    if (!perdidos && valor.size() <= static_cast<std::size_t>(ancho))
        return;
    const std::string clave = std::string(tabla) + '\n' + campo + '\n' + std::string(original);
    const auto [it, nuevo] = m_indiceRecortes.emplace(clave, m_resumen.recortados.size());
    if (nuevo)
        m_resumen.recortados.push_back(
            {tabla, campo, std::string(original), ancho, 1, perdidos, ansiToUtf8(valor.substr(0, ancho))});
    else
        ++m_resumen.recortados[it->second].veces;
}

void Exportacion::crearTabla(dbf::Table& tabla, const std::vector<dbf::FieldDef>& campos)
{
    dbf::Table::removeFiles(m_salida, tabla.name());
    tabla.create(campos);
    tabla.open();
}

void Exportacion::cerrarBusquedas() noexcept
{
    for (std::optional<dbf::Table>* t : {&m_tablaGrupos, &m_tablaNomAsg, &m_tablaProfesor}) {
        try {
            (*t)->close();
        } catch (...) {
            // Nothing was written through a look-up table; closing cannot lose data.
        }
    }
}

} // namespace ponteva
