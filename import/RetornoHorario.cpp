#include "RetornoHorario.h"

#include "core/Error.h"
#include "tables/Table.h"
#include "text/Ansi.h"
#include "xmldoc/XmlDocument.h"

#include <array>
#include <chrono>

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

// The text of the key field's match's value field, or nothing.
bool buscar(dbf::Table& tabla, const char* clave, const std::string& codigo, const char* valor, std::string& out)
{
    if (!tabla.locate(clave, codigo))
        return false;
    out = tabla.text(valor);
    return true;
}

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

    xml::Document doc;
    const xml::LoadResult loaded = doc.load(m_documento);
    if (!loaded)
        throw Error("El archivo '" + m_documento.string() + "' no es un documento XML válido: " + loaded.describe()
                    + ". No se ha escrito ningún resultado.");
    const xml::Element raizAntigua = doc.selectSingleNode("/centro");
    if (!raizAntigua)
        throw Error("El archivo '" + m_documento.string()
                    + "' no es un documento de intercambio de Zedra: su elemento raíz no es 'centro'. "
                      "No se ha escrito ningún resultado.");
    std::array<std::string, kAtributosRaiz.size()> valores;
    for (size_t i = 0; i < kAtributosRaiz.size(); ++i) {
        if (!raizAntigua.hasAttribute(kAtributosRaiz[i]))
            throw Error("Al elemento 'centro' del archivo '" + m_documento.string() + "' le falta el atributo '"
                        + kAtributosRaiz[i] + "'. No se ha escrito ningún resultado.");
        valores[i] = raizAntigua.attribute(kAtributosRaiz[i]);
    }

    doc.removeRoot();
    const std::tm momento = m_now ? *m_now : ahora();
    xml::Element raiz = doc.createElement("centro");
    raiz.setAttribute("codigo_interno", valores[0]);
    raiz.setAttribute("nombre", valores[1]);
    raiz.setAttribute("curso", valores[2]);
    raiz.setAttribute("fecha_exportacion",
                      formatShortDate(m_regional, momento) + " " + formatTimeWithSeconds(m_regional, momento));
    raiz.setAttribute("version", valores[3]);
    doc.appendChild(raiz);
    xml::Element solucion = doc.createElement("solucion_horario");
    raiz.appendChild(solucion);

    ResumenRetorno resumen;
    for (soluc.first(); !soluc.eof(); soluc.next()) {
        if (soluc.integer("DIA") == 0 || soluc.number("HORA") == 0) {
            ++resumen.omitidosDiaHora;
            continue;
        }
        std::string casig, cgrupo, cprofe, caula;
        if (!buscar(materias, "COD", soluc.text("ASIG"), "IDASIG", casig)) {
            ++resumen.omitidosSinMateria;
            continue;
        }
        buscar(grupos, "ABREV", soluc.text("CODGRUPO"), "IDGRUPO", cgrupo);
        std::string cactiv = soluc.text("TAREA");
        buscar(materias, "COD", std::string(cactiv), "IDASIG", cactiv);
        buscar(profesores, "ABREV", soluc.text("PROF"), "IDPROF", cprofe);
        buscar(aulas, "ABREV", soluc.text("AULA"), "IDAULA", caula);

        xml::Element d = doc.createElement("dsolucion");
        d.setAttribute("casig", casig);
        d.setAttribute("cgrupo", cgrupo);
        d.setAttribute("cprofe", cprofe);
        d.setAttribute("caula", caula);
        d.setAttribute("cactiv", cactiv);
        d.setAttribute("dia", soluc.integer("DIA"));
        d.setAttribute("hora", soluc.text("HORA"));
        d.setAttribute("sesiones", soluc.text("SESIONES"));
        d.setAttribute("idcurso", "");
        solucion.appendChild(d);
        ++resumen.escritos;
    }
    for (dbf::Table* t : {&soluc, &grupos, &profesores, &aulas, &materias, &asignaturas})
        t->close();

    resumen.resultado = rutaResultado(m_documento.string(), estiloRutaDelSistema());
    doc.save(resumen.resultado);
    return resumen;
}

} // namespace ponteva
