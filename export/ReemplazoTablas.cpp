// Replacing the working tables as one set: exclusivity check, temporary folder, the moves
// into place and their undoing.
#include "export/ReemplazoTablas.h"

#include "core/Error.h"
#include "tables/TableFiles.h"

#include <cerrno>
#include <cstdio>
#include <random>

namespace ponteva {

namespace {

namespace fs = std::filesystem;

constexpr const char* kCerrojo = "ponteva.lock";
constexpr const char* kAnteriores = "anteriores";

std::string describir(const std::error_code& ec)
{
    const std::error_condition condicion = ec.default_error_condition();
    if (condicion.category() == std::generic_category())
        return describeErrno(condicion.value());
    return ec.message();
}

std::string sufijoAleatorio()
{
    static std::mt19937 generador{std::random_device{}()};
    char texto[16];
    std::snprintf(texto, sizeof texto, "%08x", static_cast<unsigned>(generador()));
    return texto;
}

bool esIndice(const std::string& nombre)
{
    return nombre.size() >= dbf::kIndexExtension.size()
        && dbf::equalsIgnoringAsciiCase(
            std::string_view(nombre).substr(nombre.size() - dbf::kIndexExtension.size()), dbf::kIndexExtension);
}

} // namespace

std::string conTablasIntactas(const std::string& mensaje)
{
    if (mensaje.empty())
        return kTablasIntactas;
    return mensaje + (mensaje.back() == '.' ? " " : ". ") + kTablasIntactas;
}

ReemplazoTablas::ReemplazoTablas(fs::path directorio, std::vector<std::string> tablas, dbf::FileIo& io, Mover mover)
    : m_directorio(std::move(directorio))
    , m_tablas(std::move(tablas))
    , m_io(io)
    , m_mover(std::move(mover))
{
}

ReemplazoTablas::~ReemplazoTablas()
{
    m_cerrojo.reset(); // Windows deletes no open file
    if (m_carpeta.empty())
        return;
    std::error_code ec;
    if (m_conservar)
        fs::remove(m_carpeta / kCerrojo, ec); // what is left there is the user's: no sweep takes it
    else
        fs::remove_all(m_carpeta, ec);
}

std::error_code ReemplazoTablas::mover(const fs::path& from, const fs::path& to)
{
    if (m_mover)
        return m_mover(from, to);
    std::error_code ec;
    fs::rename(from, to, ec);
    return ec;
}

std::vector<ReemplazoTablas::Archivo> ReemplazoTablas::archivosActuales()
{
    std::vector<Archivo> archivos;
    for (const std::string& tabla : m_tablas) {
        for (std::string_view extension : {dbf::kTableExtension, dbf::kIndexExtension}) {
            for (std::string& nombre : dbf::caseVariants(m_io, m_directorio, tabla + std::string(extension)))
                archivos.push_back({tabla, std::move(nombre)});
        }
    }
    return archivos;
}

void ReemplazoTablas::verificarLibres()
{
    for (const Archivo& a : archivosActuales()) {
        // Opened and locked as the engine opens a table: another program's hold (a lock, or
        // on Windows an open without sharing) makes one of the two fail.
        int err = 0;
        const std::unique_ptr<dbf::File> archivo = m_io.open(m_directorio / a.nombre, dbf::FileIo::Mode::Read, err);
        const bool enUso = archivo ? !archivo->lockExclusive() : (err == EBUSY || err == ETXTBSY || err == EAGAIN);
        if (!archivo && err == ENOENT)
            continue; // gone since the listing: nothing to keep
        if (enUso) {
            throw Error(conTablasIntactas(esIndice(a.nombre)
                    ? "El índice '" + a.nombre + "' de la tabla " + a.tabla
                        + " está en uso por otro programa; ciérrelo y vuelva a intentarlo."
                    : "La tabla " + a.tabla + " está en uso por otro programa; ciérrela y vuelva a intentarlo."));
        }
        if (!archivo)
            throw Error(conTablasIntactas("No se puede usar el archivo '" + a.nombre + "' de la tabla " + a.tabla + ": "
                + describeErrno(err) + "."));
    }
}

void ReemplazoTablas::limpiarRestos()
{
    // A run that died leaves its folder behind; its lock died with it. A folder that holds
    // old tables set aside is left alone: they may be the only copy.
    for (const std::string& nombre : m_io.list(m_directorio)) {
        if (nombre.rfind(kPrefijoCarpeta, 0) != 0)
            continue;
        const fs::path resto = m_directorio / nombre;
        int err = 0;
        std::unique_ptr<dbf::File> cerrojo = m_io.open(resto / kCerrojo, dbf::FileIo::Mode::Read, err);
        if (!cerrojo || !cerrojo->lockExclusive())
            continue;
        cerrojo.reset();
        std::error_code ec;
        if (!fs::is_empty(resto / kAnteriores, ec) || ec)
            continue;
        fs::remove_all(resto, ec);
    }
}

void ReemplazoTablas::preparar()
{
    limpiarRestos();
    verificarLibres();
    std::error_code ec;
    for (int intento = 0; intento < 100 && m_carpeta.empty(); ++intento) {
        const fs::path carpeta = m_directorio / (kPrefijoCarpeta + sufijoAleatorio());
        if (fs::create_directory(carpeta, ec))
            m_carpeta = carpeta;
        else if (ec)
            break;
    }
    if (m_carpeta.empty())
        throw Error(conTablasIntactas("No se puede escribir en el directorio de trabajo '" + m_directorio.string()
            + "': " + describir(ec) + "."));
    fs::create_directory(m_carpeta / kAnteriores, ec);
    int err = ec.value();
    if (!ec)
        m_cerrojo = m_io.open(m_carpeta / kCerrojo, dbf::FileIo::Mode::Create, err);
    if (ec || !m_cerrojo || !m_cerrojo->lockExclusive())
        throw Error(conTablasIntactas("No se puede escribir en el directorio de trabajo '" + m_directorio.string()
            + "': " + (ec ? describir(ec) : describeErrno(err)) + "."));
}

bool ReemplazoTablas::deshacer(const std::vector<fs::path>& nuevas, const std::vector<Archivo>& apartados)
{
    for (auto it = nuevas.rbegin(); it != nuevas.rend(); ++it) {
        std::error_code ec;
        if (mover(*it, m_carpeta / it->filename()))
            fs::remove(*it, ec);
    }
    bool devueltas = true;
    for (auto it = apartados.rbegin(); it != apartados.rend(); ++it) {
        if (mover(m_carpeta / kAnteriores / it->nombre, m_directorio / it->nombre))
            devueltas = false;
    }
    m_conservar = !devueltas;
    return devueltas;
}

void ReemplazoTablas::confirmar()
{
    verificarLibres();
    std::vector<Archivo> apartados;
    std::vector<fs::path> nuevas;
    const auto fallo = [&](const std::string& que, const std::error_code& ec) {
        const std::string causa = que + ": " + describir(ec) + ".";
        if (deshacer(nuevas, apartados))
            throw Error(conTablasIntactas(causa));
        throw Error(causa + " Las tablas anteriores no se pudieron devolver a su sitio: están en '"
            + (m_carpeta / kAnteriores).string()
            + "'. Cópielas al directorio de trabajo antes de abrir el programa de horarios.");
    };
    for (const Archivo& a : archivosActuales()) {
        if (const std::error_code ec = mover(m_directorio / a.nombre, m_carpeta / kAnteriores / a.nombre))
            fallo("No se pudo apartar el archivo '" + a.nombre + "' de la tabla " + a.tabla, ec);
        apartados.push_back(a);
    }
    for (const std::string& tabla : m_tablas) {
        const std::string nombre = tabla + std::string(dbf::kTableExtension);
        if (const std::error_code ec = mover(m_carpeta / nombre, m_directorio / nombre))
            fallo("No se pudo colocar la tabla nueva " + tabla, ec);
        nuevas.push_back(m_directorio / nombre);
    }
}

} // namespace ponteva
