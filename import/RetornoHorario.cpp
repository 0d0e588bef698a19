#include "RetornoHorario.h"

#include "core/Error.h"
#include "core/PathText.h"
#include "tables/Table.h"
#include "text/Ansi.h"
#include "xmldoc/XmlRoot.h"
#include "xmldoc/XmlWriter.h"

#include <array>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <string_view>
#include <vector>

namespace ponteva {

namespace {

constexpr const char* kPrefijoResultado = "ResultadoVeltrix";
constexpr std::array<const char*, 4> kAtributosRaiz = {"codigo_interno", "nombre", "curso", "version"};
constexpr std::array<std::string_view, 9> kAtributosSolucion
    = {"casig", "cgrupo", "cprofe", "caula", "cactiv", "dia", "hora", "sesiones", "idcurso"};

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
// Table::locate finds it, the value as UTF-8: read once, so that each record costs one look-up.
// An open-addressed table of row numbers: the 561,000 look-ups of bench/ at K=100 take
// 25 ms in it against 45 ms in std::unordered_map.
class Traduccion {
public:
    Traduccion(dbf::Table& tabla, const char* clave, const char* valor)
    {
        std::size_t capacidad = 16;
        while (capacidad < 2 * tabla.recordCount())
            capacidad *= 2;
        m_huecos.assign(capacidad, Hueco{});
        m_mascara = capacidad - 1;
        for (tabla.first(); !tabla.eof(); tabla.next()) {
            std::string codigo = tabla.text(clave);
            const std::size_t hash = std::hash<std::string_view>{}(codigo);
            std::size_t i = hash & m_mascara;
            while (m_huecos[i].fila != kVacio && m_codigos[m_huecos[i].fila] != codigo)
                i = (i + 1) & m_mascara;
            if (m_huecos[i].fila != kVacio)
                continue; // the first row wins
            m_huecos[i] = {static_cast<std::uint32_t>(m_codigos.size()), static_cast<std::uint32_t>(hash)};
            m_codigos.push_back(std::move(codigo));
            m_valores.push_back(ansiToUtf8(tabla.text(valor)));
        }
    }

    // The value for the code, UTF-8; nullptr when no row has it.
    const std::string* buscar(std::string_view codigo) const
    {
        const std::size_t hash = std::hash<std::string_view>{}(codigo);
        for (std::size_t i = hash & m_mascara; m_huecos[i].fila != kVacio; i = (i + 1) & m_mascara) {
            const Hueco& h = m_huecos[i];
            if (h.hash == static_cast<std::uint32_t>(hash) && m_codigos[h.fila] == codigo)
                return &m_valores[h.fila];
        }
        return nullptr;
    }

private:
    static constexpr std::uint32_t kVacio = 0xFFFFFFFF;
    struct Hueco {
        std::uint32_t fila = kVacio; // into the two lists
        std::uint32_t hash = 0; // its code's, in part: most codes that differ are told apart here
    };
    std::vector<Hueco> m_huecos;
    std::size_t m_mascara = 0;
    std::vector<std::string> m_codigos;
    std::vector<std::string> m_valores;
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

    // Only the old root's attributes are kept: the rest of the document is checked as it
    // streams by, and never built.
    xml::RootOutline documento;
    const xml::LoadResult loaded = xml::readRoot(m_documento, documento);
    if (!loaded)
        throw Error("El archivo '" + pathText(m_documento) + "' no es un documento XML válido: " + loaded.describe()
            + " No se ha escrito ningún resultado.");
    if (!documento.is("centro"))
        throw Error("El archivo '" + pathText(m_documento)
            + "' no es un documento de intercambio de Zedra: su elemento raíz no es 'centro'. "
              "No se ha escrito ningún resultado.");
    std::array<std::string, kAtributosRaiz.size()> valores;
    for (size_t i = 0; i < kAtributosRaiz.size(); ++i) {
        if (!documento.hasAttribute(kAtributosRaiz[i]))
            throw Error("Al elemento 'centro' del archivo '" + pathText(m_documento) + "' le falta el atributo '"
                + kAtributosRaiz[i] + "'. No se ha escrito ningún resultado.");
        valores[i] = documento.attribute(kAtributosRaiz[i]);
    }

    // The result is written front to back as the records are translated, into a file that
    // takes the result's place only once it is whole.
    ResumenRetorno resumen;
    resumen.resultado = pathFromText(rutaResultado(pathText(m_documento), estiloRutaDelSistema()));
    // A result the user made read-only is kept, as Windows keeps it; POSIX would let the
    // rename of the save replace it.
    const auto permisos = std::filesystem::status(resumen.resultado, ec).permissions();
    if (!ec && std::filesystem::is_regular_file(resumen.resultado, ec)
        && (permisos & std::filesystem::perms::owner_write) == std::filesystem::perms::none)
        throw Error("El archivo de resultado '" + pathText(resumen.resultado)
            + "' es de solo lectura. No se ha escrito ningún resultado.");
    xml::StreamWriter salida(resumen.resultado, documento.prolog);
    const std::tm momento = m_now ? *m_now : ahora();
    salida.startElement("centro");
    salida.attribute("codigo_interno", ansiToUtf8(valores[0]));
    salida.attribute("nombre", ansiToUtf8(valores[1]));
    salida.attribute("curso", ansiToUtf8(valores[2]));
    // Regional settings are UTF-8 already.
    salida.attribute(
        "fecha_exportacion", formatShortDate(m_regional, momento) + " " + formatTimeWithSeconds(m_regional, momento));
    salida.attribute("version", ansiToUtf8(valores[3]));
    salida.startElement("solucion_horario");

    const Traduccion idMateria(materias, "COD", "IDASIG");
    const Traduccion idGrupo(grupos, "ABREV", "IDGRUPO");
    const Traduccion idProfesor(profesores, "ABREV", "IDPROF");
    const Traduccion idAula(aulas, "ABREV", "IDAULA");
    // The identifier for a code, UTF-8; a code not found gives the empty text.
    auto id = [](const Traduccion& tabla, std::string_view codigo) {
        const std::string* encontrado = tabla.buscar(codigo);
        return encontrado ? std::string_view(*encontrado) : std::string_view();
    };

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
        const std::string* actividad = idMateria.buscar(tarea);
        const std::string cactiv = actividad ? *actividad : ansiToUtf8(tarea);
        const std::string horaUtf8 = ansiToUtf8(hora);
        const std::string sesionesUtf8 = ansiToUtf8(sesiones);
        const std::array<std::string_view, kAtributosSolucion.size()> valoresSolucion
            = {*casig, id(idGrupo, grupo), id(idProfesor, prof), id(idAula, aula), cactiv,
                std::string_view(digitos, static_cast<size_t>(finDia - digitos)), horaUtf8, sesionesUtf8, ""};
        salida.emptyElement("dsolucion", kAtributosSolucion, valoresSolucion);
        ++resumen.escritos;
    }
    for (dbf::Table* t : {&soluc, &grupos, &profesores, &aulas, &materias, &asignaturas})
        t->close();

    salida.commit();
    return resumen;
}

} // namespace ponteva
