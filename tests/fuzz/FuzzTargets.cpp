// The fuzz target bodies: the table reader on a file kept in memory, and the two runs
// on real files in a temporary directory made once per process.
#include "tests/fuzz/FuzzTargets.h"

#include "core/Error.h"
#include "core/Regional.h"
#include "export/Exportacion.h"
#include "export/ReemplazoTablas.h"
#include "import/RetornoHorario.h"
#include "tables/Table.h"
#include "tables/TableFiles.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>

namespace ponteva::fuzz {

namespace {

namespace fs = std::filesystem;

// One table file in memory, at /mem/T.DBF; locks always granted (one holder).
class MemoryIo final : public dbf::FileIo {
public:
    std::string bytes;

    std::unique_ptr<dbf::File> open(const fs::path& path, Mode, int& err) override
    {
        if (path != kPath) {
            err = ENOENT;
            return nullptr;
        }
        err = 0;
        return std::make_unique<MemoryFile>(bytes);
    }
    bool remove(const fs::path&) override { return false; }
    bool isDirectory(const fs::path& path) override { return path == "/mem"; }
    std::vector<std::string> list(const fs::path& dir) override
    {
        return dir == "/mem" ? std::vector<std::string>{"T.DBF"} : std::vector<std::string>{};
    }

    static constexpr const char* kPath = "/mem/T.DBF";

private:
    class MemoryFile final : public dbf::File {
    public:
        explicit MemoryFile(std::string& bytes)
            : m_bytes(bytes)
        {
        }
        std::int64_t readAt(std::uint64_t offset, void* data, std::size_t size) override
        {
            if (offset >= m_bytes.size())
                return 0;
            const std::size_t n = std::min<std::size_t>(size, m_bytes.size() - offset);
            std::memcpy(data, m_bytes.data() + offset, n);
            return static_cast<std::int64_t>(n);
        }
        bool writeAt(std::uint64_t offset, const void* data, std::size_t size) override
        {
            if (m_bytes.size() < offset + size)
                m_bytes.resize(offset + size, '\0');
            std::memcpy(m_bytes.data() + offset, data, size);
            return true;
        }
        bool truncate(std::uint64_t size) override
        {
            m_bytes.resize(size, '\0');
            return true;
        }
        // Not marked override: the Windows port of the seam has no sync().
        bool sync() { return true; }
        std::int64_t size() override { return static_cast<std::int64_t>(m_bytes.size()); }
        bool lockExclusive() override { return true; }

    private:
        std::string& m_bytes;
    };
};

std::string readFile(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeFile(const fs::path& file, const void* data, std::size_t size)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out)
        throw std::runtime_error("cannot write " + file.string());
}

// Every entry under dir with its bytes, to tell what a run changed.
std::map<std::string, std::string> snapshot(const fs::path& dir)
{
    std::map<std::string, std::string> entries;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        entries[fs::relative(e.path(), dir).string()] = e.is_directory() ? "<dir>" : readFile(e.path());
    return entries;
}

// A directory of its own for this process, removed at exit.
class Scratch {
public:
    Scratch()
    {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/ponteva-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        m_root = pattern;
        fs::create_directory(workDir());
    }
    ~Scratch()
    {
        std::error_code ec;
        fs::remove_all(m_root, ec);
    }
    fs::path document() const { return m_root / "centro.xml"; }
    fs::path workDir() const { return m_root / "VTEMP"; }
    const fs::path& root() const { return m_root; }

private:
    fs::path m_root;
};

// A small school whose tables the return run looks codes up in.
constexpr const char* kEscuela = R"(<?xml version="1.0" encoding="UTF-8"?>
<centro codigo_interno="15001" nombre="IES Rosalía" curso="2026/2027" version="1.0">
<materias>
  <dmaterias abrev="MAT" nombre="Matemáticas" codigo_actividad="DOC" codigo="M1"/>
  <dmaterias abrev="LCL" nombre="Lengua" codigo_actividad="DOC" codigo="M2"/>
  <dmaterias abrev="GUA" nombre="Guardia" codigo_actividad="GUA" codigo="T1"/>
</materias>
<profesores><profesor abrev="ICO" nombre="Irene" codigo="P1"/><profesor abrev="JGP" codigo="P2"/></profesores>
<aulas><daula nombre="Aula Uno" capacidad_alumnos="30" codigo="A1"/></aulas>
<grupos><dgrupo nombre="1º ESO A" codigo_nivel="ESO" turno="M" curso="1" codigo_tutor="P1" codigo="G1"/></grupos>
<asignaturas><dasignatura cgrupo="G1" casig="M1" cprofe="P1" nhoras="4"/></asignaturas>
</centro>
)";

bool hasLeftoverFolder(const fs::path& dir)
{
    for (const auto& e : fs::directory_iterator(dir)) {
        if (e.path().filename().string().rfind(ReemplazoTablas::kPrefijoCarpeta, 0) == 0)
            return true;
    }
    return false;
}

} // namespace

std::string tabla(const std::uint8_t* data, std::size_t size)
{
    MemoryIo io;
    io.bytes.assign(reinterpret_cast<const char*>(data), size);
    dbf::TableOptions options;
    options.decimalSeparator = size % 2 ? '.' : ',';
    dbf::Table t("/mem", "T", options, io);
    try {
        t.open();
    } catch (const Error&) {
        return "";
    }
    std::size_t visited = 0;
    std::vector<std::optional<std::string>> firstRow; // nullopt: the text was refused
    for (t.first(); !t.eof(); t.next()) {
        std::vector<std::optional<std::string>> texts;
        for (const dbf::FieldInfo& f : t.fields()) {
            try {
                texts.push_back(t.text(f.name));
            } catch (const Error&) {
                texts.emplace_back(std::nullopt);
            }
            try {
                (void)t.integer(f.name);
            } catch (const Error&) {
            }
            try {
                (void)t.number(f.name);
            } catch (const Error&) {
            }
        }
        if (visited == 0)
            firstRow = texts;
        ++visited;
        if (visited > t.recordCount())
            return "more rows visited than recordCount() says";
    }
    if (visited != t.recordCount())
        return "rows visited differ from recordCount()";
    // Every value of the first row is found again, on a row that reads the same. A repeated
    // field name reads the first field of that name, so only first names are checked.
    for (std::size_t i = 0; i < firstRow.size(); ++i) {
        if (!firstRow[i])
            continue;
        const std::string& name = t.fields()[i].name;
        bool firstOfName = true;
        for (std::size_t j = 0; j < i; ++j)
            firstOfName = firstOfName && !dbf::equalsIgnoringAsciiCase(t.fields()[j].name, name);
        try {
            const bool found = t.locate(name, *firstRow[i]);
            if (firstOfName && !found)
                return "locate did not find a value read from the first row";
            if (found && t.text(name) != *firstRow[i])
                return "locate stopped on a row whose value differs";
            t.locate(name, "");
        } catch (const Error&) {
        }
    }
    t.close();
    return "";
}

std::string exportacion(const std::uint8_t* data, std::size_t size)
{
    static Scratch scratch;
    writeFile(scratch.document(), data, size);
    const auto before = snapshot(scratch.root());
    bool ok = false;
    try {
        Exportacion run(scratch.document(), scratch.workDir(), spanishSettings());
        run.ejecutar();
        ok = true;
    } catch (const Error&) {
    }
    if (hasLeftoverFolder(scratch.workDir()))
        return "the temporary folder was left behind";
    if (readFile(scratch.document()).size() != size)
        return "the document was changed";
    const auto after = snapshot(scratch.root());
    if (!ok)
        return after == before ? "" : "a failed export changed the working directory";
    for (const char* t : {"ASIGNOMT", "PROFT", "AULAT", "GRUPOST", "DIASHORAST", "ASIGT"}) {
        if (!after.count(std::string("VTEMP/") + t + ".DBF"))
            return std::string("an export that succeeded left no ") + t;
    }
    if (after.size() != 2 + 6)
        return "an export left files other than the six tables";
    return "";
}

std::string retorno(const std::uint8_t* data, std::size_t size)
{
    static Scratch scratch;
    static const bool ready = [] {
        writeFile(scratch.document(), kEscuela, std::strlen(kEscuela));
        Exportacion(scratch.document(), scratch.workDir(), spanishSettings()).ejecutar();
        return true;
    }();
    (void)ready;
    const fs::path result = scratch.root() / "ResultadoVeltrixcentro.xml";
    std::error_code ec;
    fs::remove(result, ec);
    writeFile(scratch.workDir() / "SOLUC.DBF", data, size);
    const auto before = snapshot(scratch.root());
    std::tm when{};
    when.tm_year = 126;
    when.tm_mday = 1;
    bool ok = false;
    try {
        RetornoHorario run(scratch.document(), scratch.workDir(), spanishSettings(), when);
        run.ejecutar();
        ok = true;
    } catch (const Error&) {
    }
    auto after = snapshot(scratch.root());
    if (!ok)
        return after == before ? "" : "a failed return run changed or left a file";
    if (!after.count(result.filename().string()))
        return "a return run that succeeded left no result";
    after.erase(result.filename().string());
    return after == before ? "" : "a return run changed a file other than its result";
}

} // namespace ponteva::fuzz
