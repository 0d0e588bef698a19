// The working tables replaced as one set: the new tables are written into a temporary
// folder inside the working directory and moved into place only when all are complete,
// so the timetabler never finds new tables beside old ones.
#pragma once

#include "tables/FileIo.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

namespace ponteva {

// Appended to the message of every failure that leaves the tables as they were.
inline constexpr const char* kTablasIntactas = "Las tablas anteriores no se han modificado.";

// "<message>. <kTablasIntactas>", with one full stop between them.
std::string conTablasIntactas(const std::string& mensaje);

class ReemplazoTablas {
public:
    // Renames a file; the system's rename (which replaces on every platform) unless a
    // test puts a failing one in its place.
    using Mover = std::function<std::error_code(const std::filesystem::path& from, const std::filesystem::path& to)>;

    // tablas: base names ("ASIGNOMT"); each stands for NAME.DBF and NAME.MDX in any letter case.
    ReemplazoTablas(std::filesystem::path directorio, std::vector<std::string> tablas,
        dbf::FileIo& io = dbf::FileIo::system(), Mover mover = {});
    // Removes the temporary folder and whatever it holds, unless it keeps the old tables
    // after a move that could not be undone. Never throws.
    ~ReemplazoTablas();
    ReemplazoTablas(const ReemplazoTablas&) = delete;
    ReemplazoTablas& operator=(const ReemplazoTablas&) = delete;

    // Checks that no file of the tables is held by another program, then makes the
    // temporary folder. Leftover folders of runs that died are removed first. Throws
    // ponteva::Error, the tables untouched.
    void preparar();
    // Where the new tables are written; valid after preparar().
    const std::filesystem::path& carpeta() const { return m_carpeta; }

    // Checks again that the old files are free, moves them aside, moves each new NAME.DBF
    // into place, and drops the old ones. A failure puts every old file back where it
    // was and throws ponteva::Error saying so.
    void confirmar();

    // Folders of this kind are named this, then a random suffix.
    static constexpr const char* kPrefijoCarpeta = "~ponteva-";

private:
    struct Archivo {
        std::string tabla;
        std::string nombre; // as found in the directory
    };
    std::vector<Archivo> archivosActuales();
    void verificarLibres();
    // Moves the new tables back out and the old files back in; false when an old one stays out.
    bool deshacer(const std::vector<std::filesystem::path>& nuevas, const std::vector<Archivo>& apartados);
    void limpiarRestos();
    std::error_code mover(const std::filesystem::path& from, const std::filesystem::path& to);

    std::filesystem::path m_directorio;
    std::vector<std::string> m_tablas;
    dbf::FileIo& m_io;
    Mover m_mover;
    std::filesystem::path m_carpeta;
    std::unique_ptr<dbf::File> m_cerrojo; // held while the folder is in use: tells it from a leftover
    bool m_conservar = false;
};

} // namespace ponteva
