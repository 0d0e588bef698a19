// Tables as files: exclusive use, letter case of file names, removal, and the messages of
// every failure of the file system (missing directory or table, short reads, full disk).
#include "TableFixtures.h"

#include "core/Error.h"
#include "core/PathText.h"
#include "tables/Table.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

using namespace ponteva;
using namespace ponteva::dbf;
using test::DbfFixture;
using test::row;

namespace {

const std::vector<FieldDef> kFields = {{"ID", FieldType::Character, 4}, {"N", FieldType::Integer}};

std::string fixtureWithId(const std::string& id)
{
    DbfFixture f;
    f.fields = {{"ID", 'C', 4}};
    f.rows = {row({test::padRight(id, 4)})};
    return f.bytes();
}

std::vector<std::string> entries(const std::filesystem::path& dir)
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string messageOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const Error& e) {
        return e.what();
    }
    return "(no error)";
}

// Waits up to half a minute for another process to make the file.
bool waitFor(const std::filesystem::path& file)
{
    for (int i = 0; i < 3000; ++i) {
        if (std::filesystem::exists(file))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

void addRows(Table& t, int count)
{
    for (int i = 0; i < count; ++i) {
        t.append();
        t.setText("ID", "r");
        t.setText("N", std::to_string(i));
        t.post();
    }
}

} // namespace

TEST(TableFiles, SecondOpenOfAHeldTableIsRefused)
{
    test::TempDir dir;
    Table first(dir.path(), "PROFT");
    first.create(kFields);
    first.open();
    Table second(dir.path(), "proft");
    EXPECT_EQ(messageOf([&] { second.open(); }),
        "La tabla PROFT está en uso por otro programa; ciérrela y vuelva a intentarlo.");
    EXPECT_FALSE(second.isOpen());
    first.close();
    second.open();
    EXPECT_TRUE(second.isOpen());
}

// The other side of the tests below, run in a process of its own: holds PROFT in
// $PONTEVA_HOLD_DIR open until $PONTEVA_HOLD_RELEASE appears, after making
// $PONTEVA_HOLD_READY; or, given $PONTEVA_TRY_DIR, expects PROFT there to be in use.
TEST(TableFilesHelper, DISABLED_OtherProcess)
{
    if (const char* dir = std::getenv("PONTEVA_TRY_DIR")) {
        Table t(dir, "PROFT");
        EXPECT_EQ(messageOf([&] { t.open(); }),
            "La tabla PROFT está en uso por otro programa; ciérrela y vuelva a intentarlo.");
        return;
    }
    const char* dir = std::getenv("PONTEVA_HOLD_DIR");
    ASSERT_NE(dir, nullptr);
    Table held(dir, "PROFT");
    held.open();
    test::writeFile(std::getenv("PONTEVA_HOLD_READY"), "");
    ASSERT_TRUE(waitFor(std::getenv("PONTEVA_HOLD_RELEASE")));
}

TEST(TableFiles, TableHeldByAnotherProcessIsRefused)
{
    test::TempDir dir;
    Table(dir.path(), "PROFT").create(kFields);
    test::ChildProcess holder(test::thisProgram(),
        {"--gtest_filter=TableFilesHelper.DISABLED_OtherProcess", "--gtest_also_run_disabled_tests"},
        {{"PONTEVA_HOLD_DIR", pathText(dir.path())}, {"PONTEVA_HOLD_READY", pathText(dir / "ready")},
            {"PONTEVA_HOLD_RELEASE", pathText(dir / "release")}});
    ASSERT_TRUE(holder.started());
    ASSERT_TRUE(waitFor(dir / "ready"));
    Table t(dir.path(), "PROFT");
    const std::string message = messageOf([&] { t.open(); });
    const std::string createMessage = messageOf([&] { t.create(kFields); });
    test::writeFile(dir / "release", "");
    const test::Outcome held = holder.wait();
    EXPECT_EQ(held.status, 0) << held.out;
    EXPECT_EQ(message, "La tabla PROFT está en uso por otro programa; ciérrela y vuelva a intentarlo.");
    EXPECT_EQ(createMessage, "La tabla PROFT está en uso por otro programa; ciérrela y vuelva a intentarlo.");
    t.open();
}

TEST(TableFiles, AnotherProcessSeesOurTableInUse)
{
    test::TempDir dir;
    Table t(dir.path(), "PROFT");
    t.create(kFields);
    t.open();
    const test::Outcome other = test::runProgram(test::thisProgram(),
        {"--gtest_filter=TableFilesHelper.DISABLED_OtherProcess", "--gtest_also_run_disabled_tests"},
        {{"PONTEVA_TRY_DIR", pathText(dir.path())}});
    EXPECT_EQ(other.status, 0) << other.out;
}

TEST(TableFiles, CreateNeverTruncatesAHeldTable)
{
    test::TempDir dir;
    Table held(dir.path(), "PROFT");
    held.create(kFields);
    held.open();
    addRows(held, 3);
    held.close();
    held.open();
    const std::string before = test::readFile(dir / "PROFT.DBF");

    Table other(dir.path(), "PROFT");
    EXPECT_EQ(messageOf([&] {
        other.create({{"OTRO", FieldType::Logical}});
    }),
        "La tabla PROFT está en uso por otro programa; ciérrela y vuelva a intentarlo.");
    EXPECT_EQ(test::readFile(dir / "PROFT.DBF"), before);
    EXPECT_EQ(held.recordCount(), 3u);
}

TEST(TableFiles, CreateRefusesWhenAnotherLetterCaseVariantIsHeld)
{
    test::TempDir dir;
    test::writeFile(dir / "proft.dbf", fixtureWithId("old"));
    Table held(dir.path(), "PROFT");
    held.open(); // finds proft.dbf
    Table other(dir.path(), "PROFT");
    EXPECT_EQ(messageOf([&] { other.create(kFields); }),
        "La tabla PROFT está en uso por otro programa; ciérrela y vuelva a intentarlo.");
    EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"proft.dbf"}) << "a refusal leaves nothing behind";
}

TEST(TableFiles, OpenFindsTheTableWhateverItsLetterCase)
{
    struct Case {
        const char* what;
        std::vector<std::string> files;
        std::string chosen;
    };
    const Case cases[] = {
        {"exact name", {"SOLUC.DBF"}, "SOLUC.DBF"},
        {"lower case from Wine", {"soluc.dbf"}, "soluc.dbf"},
        {"mixed case", {"Soluc.Dbf"}, "Soluc.Dbf"},
        {"other tables ignored", {"SOLUCX.DBF", "soluc.dbf.bak", "soluc.dbf"}, "soluc.dbf"},
#ifndef _WIN32 // on Windows names that differ in case only are one file
        {"exact name preferred", {"soluc.dbf", "SOLUC.DBF", "Soluc.dbf"}, "SOLUC.DBF"},
        {"first variant in byte order", {"soluc.dbf", "sOLUC.DBF", "Soluc.dbf"}, "Soluc.dbf"},
#endif
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempDir dir;
        for (const std::string& name : c.files)
            test::writeFile(dir / name, fixtureWithId(name.substr(0, 4)));
        Table t(dir.path(), "SOLUC");
        t.open();
#ifndef _WIN32 // Windows finds the file itself, under the name asked for
        EXPECT_EQ(t.path().filename().string(), c.chosen);
#endif
        EXPECT_EQ(t.text("ID"), c.chosen.substr(0, 4));
    }
}

TEST(TableFiles, ExistsWhateverTheLetterCase)
{
    struct Case {
        const char* what;
        std::vector<std::string> files;
        bool exists;
    };
    const Case cases[] = {
        {"exact name", {"SOLUC.DBF"}, true},
        {"lower case", {"soluc.dbf"}, true},
        {"no table", {}, false},
        {"only its index", {"SOLUC.MDX"}, false},
        {"a longer name", {"SOLUCION.DBF"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempDir dir;
        for (const std::string& name : c.files)
            test::writeFile(dir / name, fixtureWithId("x"));
        EXPECT_EQ(Table(dir.path(), "SOLUC").exists(), c.exists);
    }
    test::TempDir dir;
    EXPECT_FALSE(Table(dir / "nada", "SOLUC").exists());
}

TEST(TableFiles, RemoveFilesDeletesEveryLetterCaseOfTableAndIndex)
{
    test::TempDir dir;
    for (const char* name :
        {"SOLUC.DBF", "soluc.dbf", "Soluc.Mdx", "SOLUC.MDX", "SOLUC.CDX", "SOLUCX.DBF", "SOLUC.DBT"})
        test::writeFile(dir / name, "x");
    Table::removeFiles(dir.path(), "soluc.DBF");
    EXPECT_EQ(entries(dir.path()), (std::vector<std::string>{"SOLUC.CDX", "SOLUC.DBT", "SOLUCX.DBF"}));
    Table::removeFiles(dir / "missing", "SOLUC"); // failures are ignored
}

TEST(TableFiles, CreateLeavesOnlyTheUpperCaseName)
{
#ifdef _WIN32
    // Windows keeps an existing file's letter case when it is written anew: one table file
    // remains all the same, with the new contents.
    test::TempDir dir;
    test::writeFile(dir / "asignomt.dbf", fixtureWithId("old"));
    test::writeFile(dir / "asignomt.mdx", "x");
    Table t(dir.path(), "asignomt.dbf");
    t.create(kFields);
    EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"asignomt.dbf"});
    t.open();
    EXPECT_EQ(t.recordCount(), 0u);
#else
    test::TempDir dir;
    for (const char* name : {"asignomt.dbf", "AsignoMT.Dbf", "asignomt.mdx", "OTRA.DBF"})
        test::writeFile(dir / name, fixtureWithId("old"));
    Table t(dir.path(), "asignomt.dbf");
    EXPECT_EQ(t.name(), "ASIGNOMT");
    t.create(kFields);
    EXPECT_EQ(entries(dir.path()), (std::vector<std::string>{"ASIGNOMT.DBF", "OTRA.DBF"}));
    EXPECT_EQ(t.path(), dir / "ASIGNOMT.DBF");
    t.open();
    EXPECT_EQ(t.recordCount(), 0u);
#endif
}

TEST(TableFiles, MissingThingsAreNamed)
{
    test::TempDir dir;
    const std::string missing = (dir / "nada").string();
    EXPECT_EQ(messageOf([&] { Table(dir / "nada", "SOLUC").open(); }),
        "No existe el directorio de trabajo '" + missing + "'; no se puede abrir la tabla SOLUC.");
    EXPECT_EQ(messageOf([&] { Table(dir / "nada", "SOLUC").create(kFields); }),
        "No existe el directorio de trabajo '" + missing + "'; no se puede crear la tabla SOLUC.");
    EXPECT_EQ(messageOf([&] { Table(dir.path(), "SOLUC").open(); }),
        "No existe la tabla SOLUC en '" + dir.path().string() + "'.");
    std::filesystem::create_directory(dir / "SOLUC.DBF");
    EXPECT_EQ(
        messageOf([&] { Table(dir.path(), "SOLUC").open(); }), "No se pudo abrir la tabla SOLUC: es un directorio.");
}

TEST(TableFiles, ReadFailuresAreNamed)
{
    test::TempDir dir;
    Table(dir.path(), "PROFT").create(kFields);
    {
        Table t(dir.path(), "PROFT");
        t.open();
        addRows(t, 5);
    }
    const std::string size = std::to_string(std::filesystem::file_size(dir / "PROFT.DBF"));
    struct Case {
        const char* what;
        std::function<void(test::FaultyFileIo&)> fault;
        std::string message;
    };
    const Case cases[] = {
        {"short read", [](test::FaultyFileIo& io) { io.readableBytes = 100; },
            "No se pudo leer entera la tabla PROFT: se leyeron 100 de " + size + " bytes."},
        {"nothing read", [](test::FaultyFileIo& io) { io.readableBytes = 0; },
            "No se pudo leer entera la tabla PROFT: se leyeron 0 de " + size + " bytes."},
        {"read error", [](test::FaultyFileIo& io) { io.readError = EIO; },
            "No se pudo leer la tabla PROFT: error de entrada/salida del disco."},
        {"absurd size", [](test::FaultyFileIo& io) { io.reportedSize = 3000000000; },
            "La tabla PROFT ocupa 3000000000 bytes; no se pueden abrir tablas de más de 2 GiB."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::FaultyFileIo io;
        c.fault(io);
        Table t(dir.path(), "PROFT", {}, io);
        EXPECT_EQ(messageOf([&] { t.open(); }), c.message);
        EXPECT_FALSE(t.isOpen());
    }
    Table t(dir.path(), "PROFT");
    t.open(); // nothing was left held
    EXPECT_EQ(t.recordCount(), 5u);
}

TEST(TableFiles, WriteFailuresAreNamedAndReleaseTheTable)
{
    const std::string full = "No se pudo escribir la tabla PROFT: no queda espacio en el disco.";
    struct Case {
        const char* what;
        std::uint64_t writable; // bytes the disk takes
        int rows;
        bool failsOnPost;
    };
    const Case cases[] = {
        {"full while rows are written", 100 * 1024, 10000, true},
        {"full when closing", 0, 3, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempDir dir;
        Table(dir.path(), "PROFT").create(kFields);
        test::FaultyFileIo io;
        io.writableBytes = c.writable;
        Table t(dir.path(), "PROFT", {}, io);
        t.open();
        std::string message;
        if (c.failsOnPost) {
            message = messageOf([&] { addRows(t, c.rows); });
            EXPECT_TRUE(t.isOpen());
        } else {
            addRows(t, c.rows);
        }
        const std::string closeMessage = messageOf([&] { t.close(); });
        EXPECT_EQ(c.failsOnPost ? message : closeMessage, full);
        EXPECT_FALSE(t.isOpen());
        Table again(dir.path(), "PROFT");
        again.open(); // released despite the failure
    }
    test::TempDir dir;
    test::FaultyFileIo io;
    io.writableBytes = 10;
    EXPECT_EQ(messageOf([&] { Table(dir.path(), "PROFT", {}, io).create(kFields); }),
        "No se pudo crear la tabla PROFT: no queda espacio en el disco.");
}

TEST(TableFiles, DestructorSwallowsAFailedClose)
{
    test::TempDir dir;
    Table(dir.path(), "PROFT").create(kFields);
    test::FaultyFileIo io;
    io.writableBytes = 0;
    EXPECT_NO_THROW({
        Table t(dir.path(), "PROFT", {}, io);
        t.open();
        addRows(t, 2);
    });
    Table t(dir.path(), "PROFT");
    t.open();
}

TEST(TableFiles, ReadOnlyTableIsReadButNotWritten)
{
    test::TempDir dir;
    test::writeFile(dir / "SOLUC.DBF", fixtureWithId("ro"));
    test::FaultyFileIo io;
    io.refuseWritableOpen = true;
    Table t(dir.path(), "SOLUC", {}, io);
    t.open();
    EXPECT_EQ(t.text("ID"), "ro");
    EXPECT_EQ(messageOf([&] { t.append(); }), "La tabla SOLUC es de solo lectura; no se le pueden añadir filas.");
}
