// The six tables are replaced as one set or not at all: held files, failed moves, failed
// undoing, leftovers of runs that died, and the look-ups reading this run's tables.
#include "ExportFixture.h"

#include "core/Error.h"
#include "export/ReemplazoTablas.h"

#include <cerrno>

using namespace ponteva;
using namespace ponteva::test;
namespace fs = std::filesystem;

namespace {

using Strings = std::vector<std::string>;

const Strings kTables = {"ASIGNOMT", "PROFT", "AULAT", "GRUPOST", "DIASHORAST", "ASIGT"};

bool endsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Folders of the replacement left in dir.
Strings leftovers(const fs::path& dir)
{
    Strings found;
    for (const auto& e : fs::directory_iterator(dir)) {
        if (e.path().filename().string().rfind(ReemplazoTablas::kPrefijoCarpeta, 0) == 0)
            found.push_back(e.path().filename().string());
    }
    return found;
}

class Reemplazo : public ExportTest {
protected:
    // Old tables as the timetabler's folder holds them: some indexes, one table in lower
    // case as a Windows program writes it, and the timetabler's own files beside them.
    void plantFolder()
    {
        for (const std::string& name : kTables) {
            const std::string file = name == "AULAT" ? "aulat.dbf" : name + ".DBF";
            writeFile(workDir() / file, "old " + name);
            if (name == "PROFT" || name == "ASIGT")
                writeFile(workDir() / (name + ".MDX"), "old index " + name);
        }
        writeFile(workDir() / "SOLUC.DBF", "timetable");
        writeFile(workDir() / "SOLUC.MDX", "timetable index");
        writeFile(workDir() / "Veltrix.ini", "[Transformadores]\n");
    }

    // The six new tables written into the replacement's folder.
    static void stageNew(const ReemplazoTablas& r)
    {
        for (const std::string& name : kTables)
            writeFile(r.carpeta() / (name + ".DBF"), "new " + name);
    }

    // Holds a file as another program would: open and locked.
    std::unique_ptr<dbf::File> hold(const fs::path& file)
    {
        int err = 0;
        std::unique_ptr<dbf::File> f = dbf::FileIo::system().open(file, dbf::FileIo::Mode::Read, err);
        EXPECT_TRUE(f && f->lockExclusive()) << file;
        return f;
    }
};

TEST_F(Reemplazo, SuccessReplacesTheSetAndNothingElse)
{
    plantFolder();
    writeFile(workDir() / "proft.dbf", "old lower-case variant");
    {
        ReemplazoTablas r(workDir(), kTables);
        r.preparar();
        EXPECT_EQ(r.carpeta().parent_path(), workDir());
        stageNew(r);
        r.confirmar();
    }
    std::map<std::string, std::string> expected
        = {{"SOLUC.DBF", "timetable"}, {"SOLUC.MDX", "timetable index"}, {"Veltrix.ini", "[Transformadores]\n"}};
    for (const std::string& name : kTables)
        expected[name + ".DBF"] = "new " + name;
    EXPECT_EQ(snapshot(workDir()), expected);
}

TEST_F(Reemplazo, HeldFileStopsBeforeAnythingIsWritten)
{
    struct Case {
        const char* file;
        const char* message;
    };
    const Case cases[] = {
        {"PROFT.DBF", "La tabla PROFT está en uso por otro programa; ciérrela y vuelva a intentarlo."},
        {"aulat.dbf", "La tabla AULAT está en uso por otro programa; ciérrela y vuelva a intentarlo."},
        {"ASIGT.MDX",
            "El índice 'ASIGT.MDX' de la tabla ASIGT está en uso por otro programa; ciérrelo y vuelva a intentarlo."},
    };
    plantFolder();
    const auto before = snapshot(workDir());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        {
            const auto held = hold(workDir() / c.file);
            ReemplazoTablas r(workDir(), kTables);
            try {
                r.preparar();
                ADD_FAILURE() << "no error";
            } catch (const Error& e) {
                EXPECT_EQ(e.what(), std::string(c.message) + " " + kTablasIntactas);
            }
        }
        // Read once released: Windows lets no one read a file held with share mode 0.
        EXPECT_EQ(snapshot(workDir()), before);
    }
}

TEST_F(Reemplazo, FileTakenDuringTheRunStopsTheMoves)
{
    plantFolder();
    const auto before = snapshot(workDir());
    {
        ReemplazoTablas r(workDir(), kTables);
        r.preparar();
        stageNew(r);
        const auto held = hold(workDir() / "DIASHORAST.DBF");
        EXPECT_THROW(r.confirmar(), Error);
    }
    EXPECT_EQ(snapshot(workDir()), before);
}

// Every move of the commit fails in turn, with an errno the system gives: the old set is
// put back, byte for byte and name for name, and the folder goes.
TEST_F(Reemplazo, AFailedMoveAtAnyStepPutsEverythingBack)
{
    plantFolder();
    const auto before = snapshot(workDir());
    const int moves = 8 + 6; // the eight old files aside, the six new ones in
    for (int failing = 1; failing <= moves; ++failing) {
        SCOPED_TRACE("move " + std::to_string(failing));
        int calls = 0;
        ReemplazoTablas::Mover mover = [&](const fs::path& from, const fs::path& to) {
            std::error_code ec;
            if (++calls == failing)
                return std::make_error_code(std::errc::no_space_on_device);
            fs::rename(from, to, ec);
            return ec;
        };
        {
            ReemplazoTablas r(workDir(), kTables, dbf::FileIo::system(), mover);
            r.preparar();
            stageNew(r);
            try {
                r.confirmar();
                ADD_FAILURE() << "no error";
            } catch (const Error& e) {
                const std::string message = e.what();
                EXPECT_TRUE(endsWith(message, std::string("no queda espacio en el disco. ") + kTablasIntactas))
                    << message;
            }
        }
        EXPECT_EQ(snapshot(workDir()), before);
    }
}

TEST_F(Reemplazo, UndoThatFailsKeepsTheOldFilesAndSaysWhere)
{
    plantFolder();
    int calls = 0;
    // The first new table cannot go in, and the first old file cannot come back.
    ReemplazoTablas::Mover mover = [&](const fs::path& from, const fs::path& to) {
        ++calls;
        std::error_code ec;
        if (calls == 9 || calls == 10 + 7)
            return std::make_error_code(std::errc::io_error);
        fs::rename(from, to, ec);
        return ec;
    };
    fs::path kept;
    {
        ReemplazoTablas r(workDir(), kTables, dbf::FileIo::system(), mover);
        r.preparar();
        stageNew(r);
        kept = r.carpeta() / "anteriores";
        try {
            r.confirmar();
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            const std::string message = e.what();
            EXPECT_EQ(message.find(kTablasIntactas), std::string::npos) << message;
            EXPECT_NE(message.find("están en '" + kept.string() + "'"), std::string::npos) << message;
        }
    }
    ASSERT_EQ(snapshot(kept).size(), 1u);
    // A later run does not sweep a folder that holds old tables.
    {
        ReemplazoTablas r(workDir(), kTables);
        r.preparar();
    }
    EXPECT_EQ(snapshot(kept).size(), 1u);
}

TEST_F(Reemplazo, LeftoversOfDeadRunsAreSweptLiveOnesKept)
{
    plantFolder();
    const fs::path dead = workDir() / (std::string(ReemplazoTablas::kPrefijoCarpeta) + "dead");
    fs::create_directories(dead / "anteriores");
    writeFile(dead / "ponteva.lock", "");
    writeFile(dead / "PROFT.DBF", "half-written");
    const fs::path live = workDir() / (std::string(ReemplazoTablas::kPrefijoCarpeta) + "live");
    fs::create_directories(live / "anteriores");
    writeFile(live / "ponteva.lock", "");
    const auto liveLock = hold(live / "ponteva.lock");
    {
        ReemplazoTablas r(workDir(), kTables);
        r.preparar();
        EXPECT_EQ(leftovers(workDir()).size(), 2u); // its own and the live one
    }
    EXPECT_EQ(leftovers(workDir()), Strings{live.filename().string()});
}

TEST_F(Reemplazo, ReadOnlyOrMissingFolderIsRefused)
{
    ReemplazoTablas r(m_tmp / "no-existe", kTables);
    try {
        r.preparar();
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()),
            "No se puede escribir en el directorio de trabajo '" + (m_tmp / "no-existe").string() + "': no existe. "
                + kTablasIntactas);
    }
    EXPECT_FALSE(fs::exists(m_tmp / "no-existe"));
}

// The run through Exportacion: the group and assignment builders look up this run's
// teachers, subjects and groups, not those of the tables being replaced.
TEST_F(Reemplazo, LookUpsReadTheNewTables)
{
    auto plant = [&](const char* name, std::vector<dbf::FieldDef> fields, std::vector<std::string> values) {
        dbf::Table t(workDir(), name);
        t.create(fields);
        t.open();
        t.append();
        for (std::size_t i = 0; i < fields.size(); ++i)
            t.setText(fields[i].name, values[i]);
        t.post();
        t.close();
    };
    using dbf::FieldType;
    plant("PROFT", {{"ABREV", FieldType::Character, 10}, {"IDPROF", FieldType::Character, 10}}, {"VIEJO", "P1"});
    plant("GRUPOST",
        {{"ABREV", FieldType::Character, 10}, {"TURNO", FieldType::Character, 1}, {"NIVEL", FieldType::Character, 5},
            {"CURSO", FieldType::Character, 3}, {"GRUPO", FieldType::Character, 2},
            {"IDGRUPO", FieldType::Character, 10}},
        {"GVIEJO", "X", "X", "X", "X", "G1"});
    plant("ASIGNOMT",
        {{"COD", FieldType::Character, 10}, {"CODTAREA", FieldType::Character, 10},
            {"IDASIG", FieldType::Character, 10}},
        {"MVIEJA", "X", "M1"});
    exportar(zedra(R"(<materias><dmaterias abrev="MAT" codigo_actividad="DOC" codigo="M1"/></materias>
<profesores><profesor abrev="ICO" codigo="P1"/></profesores>
<grupos><dgrupo nombre="A" turno="M" curso="1" codigo_nivel="ESO" codigo_tutor="P1" codigo="G1"/></grupos>
<asignaturas><dasignatura cgrupo="G1" casig="M1" cprofe="P1" nhoras="2"/></asignaturas>)"));
    EXPECT_EQ(column(rows("GRUPOST"), "TUTOR"), Strings{"ICO"});
    const auto asigt = rows("ASIGT");
    ASSERT_EQ(asigt.size(), 1u);
    EXPECT_EQ(asigt[0].at("CASIG"), "MAT");
    EXPECT_EQ(asigt[0].at("CPROF"), "ICO");
    EXPECT_EQ(asigt[0].at("CGRUP"), "M1ESOA");
    EXPECT_TRUE(leftovers(workDir()).empty());
}

} // namespace
