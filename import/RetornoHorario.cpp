#include "RetornoHorario.h"

#include "core/Error.h"
#include "core/PathText.h"
#include "tables/Table.h"
#include "text/Ansi.h"
#include "xmldoc/XmlDocument.h"

#include <array>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <string_view>
#include <unordered_map>

namespace ponteva {

namespace {

constexpr const char* kPrefijoResultado = "ResultadoVeltrix";
constexpr std::array<const char*, 4> kAtributosRaiz = {"codigo_interno", "nombre", "curso", "version"};

// The fields each table must have, checked before anything is read.
void exigirCampos(const dbf::Table& tabla, std::initializer_list<const char*> campos)
{
    for (const char* campo : campos) {
        if (!tabla.hasField(campo))
            throw Error("La tabla " + tabla.name() + " no tiene el campo '" + campo + "'.");
    }
}

std::tm ahora()
{
    const std::time_t t = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &t);
#else
    localtime_r(&t, &local);
#endif
    return local;
}

// A table's key field text to the value field text of the first row holding it, as
// Table::locate finds it: read once, so that each record costs one look-up.
class Traduccion {
public:
    Traduccion(dbf::Table& tabla, const char* clave, const char* valor)
    {
        m_valores.reserve(tabla.recordCount());
        for (tabla.first(); !tabla.eof(); tabla.next())
            m_valores.try_emplace(tabla.text(clave), tabla.text(valor)); // the first row wins
    }

    // The value for the code; nullptr when no row has it.
    const std::string* buscar(std::string_view codigo) const
    {
        const auto it = m_valores.find(codigo);
        return it == m_valores.end() ? nullptr : &it->second;
    }

private:
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
    };
    std::unordered_map<std::string, std::string, Hash, std::equal_to<>> m_valores;
};

} // namespace

EstiloRuta estiloRutaDelSistema()
{
#ifdef _WIN32
    return EstiloRuta::Windows;
#else
    return EstiloRuta::Posix;
#endif
}

std::string rutaResultado(std::string_view documento, EstiloRuta estilo)
{
    const std::string_view separadores = estilo == EstiloRuta::Windows ? "\\/:" : "/";
    const size_t corte = documento.find_last_of(separadores);
    const size_t inicioNombre = corte == std::string_view::npos ? 0 : corte + 1;
    return std::string(documento.substr(0, inicioNombre)) + kPrefijoResultado
        + std::string(documento.substr(inicioNombre));
}

RetornoHorario::RetornoHorario(std::filesystem::path documento, std::filesystem::path directorio,
    RegionalSettings regional, std::optional<std::tm> now)
    : m_documento(std::move(documento))
    , m_directorio(std::move(directorio))
    , m_regional(std::move(regional))
    , m_now(now)
{
}

ResumenRetorno RetornoHorario::ejecutar()
{
    dbf::TableOptions opciones;
    opciones.decimalSeparator = m_regional.decimalSeparator;
    dbf::Table soluc(m_directorio, "SOLUC", opciones);
    std::error_code ec;
    const bool hayDocumento = !m_documento.empty() && std::filesystem::is_regular_file(m_documento, ec);
    if (!hayDocumento || !soluc.exists())
        throw MissingInputError("No existe archivo XML o Solución.");

    // Opened in this order, exclusively; closed by their destructors on every path.
    dbf::Table grupos(m_directorio, "GRUPOST", opciones);
    dbf::Table profesores(m_directorio, "PROFT", opciones);
    dbf::Table aulas(m_directorio, "AULAT", opciones);
    dbf::Table materias(m_directorio, "ASIGNOMT", opciones);
    dbf::Table asignaturas(m_directorio, "ASIGT", opciones);
    for (dbf::Table* t : {&soluc, &grupos, &profesores, &aulas, &materias, &asignaturas})
        t->open();
    exigirCampos(soluc, {"DIA", "HORA", "SESIONES", "CODGRUPO", "ASIG", "TAREA", "PROF", "AULA"});
    exigirCampos(grupos, {"ABREV", "IDGRUPO"});
    exigirCampos(profesores, {"ABREV", "IDPROF"});
    exigirCampos(aulas, {"ABREV", "IDAULA"});
    exigirCampos(materias, {"COD", "IDASIG"});

    // Only the root's attributes are read before the root is replaced: its content is
    // parsed, but not built.
    xml::Document doc;
    const xml::LoadResult loaded = doc.load(m_documento, xml::LoadDepth::Root);
    if (!loaded)
        throw Error("El archivo '" + pathText(m_documento) + "' no es un documento XML válido: " + loaded.describe()
            + ". No se ha escrito ningún resultado.");
    const xml::Element raizAntigua = doc.selectSingleNode("/centro");
    if (!raizAntigua)
        throw Error("El archivo '" + pathText(m_documento)
            + "' no es un documento de intercambio de Zedra: su elemento raíz no es 'centro'. "
              "No se ha escrito ningún resultado.");
    std::array<std::string, kAtributosRaiz.size()> valores;
    for (size_t i = 0; i < kAtributosRaiz.size(); ++i) {
        if (!raizAntigua.hasAttribute(kAtributosRaiz[i]))
            throw Error("Al elemento 'centro' del archivo '" + pathText(m_documento) + "' le falta el atributo '"
                + kAtributosRaiz[i] + "'. No se ha escrito ningún resultado.");
        valores[i] = raizAntigua.attribute(kAtributosRaiz[i]);
    }

    doc.removeRoot();
    const std::tm momento = m_now ? *m_now : ahora();
    xml::Element raiz = doc.createElement("centro");
    raiz.setAttribute("codigo_interno", valores[0]);
    raiz.setAttribute("nombre", valores[1]);
    raiz.setAttribute("curso", valores[2]);
    raiz.setAttribute(
        "fecha_exportacion", formatShortDate(m_regional, momento) + " " + formatTimeWithSeconds(m_regional, momento));
    raiz.setAttribute("version", valores[3]);
    doc.appendChild(raiz);
    xml::Element solucion = doc.createElement("solucion_horario");
    raiz.appendChild(solucion);

    // A hundred thousand records at most: their elements are written as text, not held as nodes.
    xml::ElementRows& filas = doc.rowsOf(
        solucion, "dsolucion", {"casig", "cgrupo", "cprofe", "caula", "cactiv", "dia", "hora", "sesiones", "idcurso"});
    const Traduccion idMateria(materias, "COD", "IDASIG");
    const Traduccion idGrupo(grupos, "ABREV", "IDGRUPO");
    const Traduccion idProfesor(profesores, "ABREV", "IDPROF");
    const Traduccion idAula(aulas, "ABREV", "IDAULA");
    // The identifier for a code; a code not found gives the empty text, or the one given.
    auto id = [](const Traduccion& tabla, std::string_view codigo, std::string_view siFalta = {}) {
        const std::string* encontrado = tabla.buscar(codigo);
        return encontrado ? std::string_view(*encontrado) : siFalta;
    };

    ResumenRetorno resumen;
    for (soluc.first(); !soluc.eof(); soluc.next()) {
        // Each field is read once, in the table's order, in which the table finds names fastest.
        const std::int32_t dia = soluc.integer("DIA");
        if (dia == 0 || soluc.number("HORA") == 0) {
            ++resumen.omitidosDiaHora;
            continue;
        }
        const std::string hora = soluc.text("HORA");
        const std::string sesiones = soluc.text("SESIONES");
        const std::string grupo = soluc.text("CODGRUPO");
        const std::string asig = soluc.text("ASIG");
        const std::string tarea = soluc.text("TAREA");
        const std::string prof = soluc.text("PROF");
        const std::string aula = soluc.text("AULA");
        const std::string* casig = idMateria.buscar(asig);
        if (!casig) {
            ++resumen.omitidosSinMateria;
            continue;
        }
        char digitos[16];
        const char* finDia = std::to_chars(digitos, digitos + sizeof digitos, dia).ptr;
        filas.add({*casig, id(idGrupo, grupo), id(idProfesor, prof), id(idAula, aula), id(idMateria, tarea, tarea),
            std::string_view(digitos, static_cast<size_t>(finDia - digitos)), hora, sesiones, ""});
        ++resumen.escritos;
    }
    for (dbf::Table* t : {&soluc, &grupos, &profesores, &aulas, &materias, &asignaturas})
        t->close();

    resumen.resultado = pathFromText(rutaResultado(pathText(m_documento), estiloRutaDelSistema()));
    doc.save(resumen.resultado);
    return resumen;
}

} // namespace ponteva
