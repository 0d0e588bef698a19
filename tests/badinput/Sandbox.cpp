#include "tests/badinput/Sandbox.h"

#include "core/Regional.h"
#include "export/Exportacion.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ponteva::test {

namespace fs = std::filesystem;

const char* const kEscuela = R"(<?xml version="1.0" encoding="UTF-8"?>
<centro codigo_interno="15001" nombre="IES Rosalía" curso="2026/2027" version="1.0">
<materias>
  <dmaterias abrev="MAT" nombre="Matemáticas" codigo_actividad="DOC" codigo="M1"/>
  <dmaterias abrev="LCL" nombre="Lengua" codigo_actividad="DOC" codigo="M2"/>
</materias>
<profesores><profesor abrev="ICO" nombre="Irene" apellido1="Casals" codigo="P1"/></profesores>
<aulas><daula nombre="Aula Uno" capacidad_alumnos="30" codigo="A1"/></aulas>
<grupos><dgrupo nombre="1º ESO A" codigo_nivel="ESO" turno="M" curso="1" codigo_tutor="P1" codigo="G1"/></grupos>
<asignaturas><dasignatura cgrupo="G1" casig="M1" cprofe="P1" nhoras="4"/></asignaturas>
</centro>
)";

DbfFixture soluc(std::size_t rows)
{
    DbfFixture f;
    f.fields = {{"DIA", 'N', 2}, {"HORA", 'N', 4, 1}, {"SESIONES", 'C', 4}, {"CODGRUPO", 'C', 10}, {"ASIG", 'C', 10},
        {"TAREA", 'C', 10}, {"PROF", 'C', 10}, {"AULA", 'C', 10}};
    for (std::size_t i = 0; i < rows; ++i)
        f.rows.push_back(row({padLeft(std::to_string(1 + i % 5), 2), padLeft(std::to_string(1 + i % 6) + ".0", 4),
            "1   ", padRight("M1ESOA", 10), padRight(i % 2 ? "LCL" : "MAT", 10), padRight("DOC", 10),
            padRight("ICO", 10), padRight("AU", 10)}));
    return f;
}

Tmpfs::Tmpfs(const fs::path& at, const char* size)
    : m_at(at)
{
    fs::create_directories(at);
    m_mounted = ::mount("tmpfs", at.c_str(), "tmpfs", 0, (std::string("size=") + size).c_str()) == 0;
}

Tmpfs::~Tmpfs()
{
    if (m_mounted)
        ::umount2(m_at.c_str(), MNT_DETACH);
}

bool Tmpfs::makeReadOnly()
{
    return ::mount(nullptr, m_at.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
}

Holder::Holder(const fs::path& file)
{
    int ready[2], release[2];
    if (::pipe(ready) != 0 || ::pipe(release) != 0)
        return;
    m_pid = ::fork();
    if (m_pid == 0) {
        ::close(ready[0]);
        ::close(release[1]);
        const int fd = ::open(file.c_str(), O_RDWR);
        const char ok = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? 'y' : 'n';
        (void)!::write(ready[1], &ok, 1);
        char c;
        (void)!::read(release[0], &c, 1);
        ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    m_release = release[1];
    char ok = 'n';
    m_holding = ::read(ready[0], &ok, 1) == 1 && ok == 'y';
    ::close(ready[0]);
}

Holder::~Holder()
{
    if (m_pid > 0) {
        ::close(m_release);
        ::waitpid(m_pid, nullptr, 0);
    }
}

Sandbox::Sandbox()
{
    fs::create_directories(document.parent_path());
    fs::create_directories(workDir);
}

void Sandbox::fill()
{
    writeFile(document, kEscuela);
    Exportacion(document, workDir, spanishSettings()).ejecutar();
    writeFile(workDir / "SOLUC.DBF", soluc().bytes());
}

fs::path Sandbox::result() const
{
    return document.parent_path() / ("ResultadoVeltrix" + document.filename().string());
}

bool Sandbox::mountSmall(const fs::path& dir, const char* size)
{
    const fs::path keep = tmp / "keep";
    fs::rename(dir, keep);
    mount = std::make_unique<Tmpfs>(dir, size);
    if (!mount->mounted()) {
        mount.reset();
        fs::remove(dir);
        fs::rename(keep, dir);
        skip = "a small file system cannot be mounted here (mount needs root)";
        return false;
    }
    for (const auto& e : fs::directory_iterator(keep))
        fs::copy(e.path(), dir / e.path().filename(), fs::copy_options::recursive);
    fs::remove_all(keep);
    return true;
}

} // namespace ponteva::test
