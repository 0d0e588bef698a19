// Writing tables: the bytes of the header and rows, the encoding of each kind of value,
// refused values, and the write path's buffering.
#include "TableFixtures.h"

#include "core/Error.h"
#include "tables/Table.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <bit>
#include <clocale>
#include <cmath>
#include <ctime>
#include <functional>
#include <random>

using namespace ponteva;
using namespace ponteva::dbf;
using ponteva::test::padLeft;

namespace {

unsigned byteAt(const std::string& b, std::size_t at)
{
    return static_cast<unsigned char>(b[at]);
}

unsigned le16(const std::string& b, std::size_t at)
{
    return byteAt(b, at) | byteAt(b, at + 1) << 8;
}

unsigned le32(const std::string& b, std::size_t at)
{
    return le16(b, at) | le16(b, at + 2) << 16;
}

std::tm today()
{
    const std::time_t now = std::time(nullptr);
    return *std::localtime(&now); // the tests run on one thread
}

const std::vector<FieldDef> kSampleFields = {
    {"NOMBRE", FieldType::Character, 10},
    {"MAXALUM", FieldType::Integer},
    {"HORAS", FieldType::Float},
    {"ACTIVO", FieldType::Logical},
};

// The stored bytes of one field of the first row of a one-field table after `fill`.
std::string storedField(FieldDef def, const std::function<void(Table&)>& fill)
{
    test::TempDir dir;
    {
        Table t(dir.path(), "PROBE");
        t.create({def});
        t.open();
        t.append();
        fill(t);
        t.post();
        t.close();
    }
    const std::string file = test::readFile(dir / "PROBE.DBF");
    const std::size_t header = le16(file, 8);
    return file.substr(header + 1, le16(file, 10) - 1);
}

} // namespace

TEST(TableWrite, HeaderDescriptorsAndRowsAreDBase3)
{
    test::TempDir dir;
    const std::tm before = today();
    {
        Table t(dir.path(), "proft.dbf");
        t.create(kSampleFields);
        t.open();
        for (int i = 0; i < 2; ++i) {
            t.append();
            t.setText("NOMBRE", i == 0 ? "Ana" : "Luis");
            t.setText("MAXALUM", std::to_string(30 + i));
            t.setFloat("HORAS", 2.5f);
            t.setBool("ACTIVO", i == 0);
            t.post();
        }
    }
    const std::tm after = today();
    const std::string f = test::readFile(dir / "PROFT.DBF");
    const std::size_t header = 32 + 4 * 32 + 1;
    const std::size_t record = 1 + 10 + 11 + 20 + 1;

    EXPECT_EQ(byteAt(f, 0), 0x03u);
    const bool dateOk = [&] {
        for (const std::tm& t : {before, after}) {
            if (byteAt(f, 1) == static_cast<unsigned>(t.tm_year) && byteAt(f, 2) == static_cast<unsigned>(t.tm_mon + 1)
                && byteAt(f, 3) == static_cast<unsigned>(t.tm_mday))
                return true;
        }
        return false;
    }();
    EXPECT_TRUE(dateOk) << "last-update date " << byteAt(f, 1) << "/" << byteAt(f, 2) << "/" << byteAt(f, 3);
    EXPECT_EQ(le32(f, 4), 2u);
    EXPECT_EQ(le16(f, 8), header);
    EXPECT_EQ(le16(f, 10), record);
    EXPECT_EQ(byteAt(f, 29), 0x03u) << "language driver: Windows-1252";

    struct Descriptor {
        std::string name;
        char type;
        unsigned width, decimals;
    };
    const Descriptor expected[]
        = {{"NOMBRE", 'C', 10, 0}, {"MAXALUM", 'N', 11, 0}, {"HORAS", 'F', 20, 4}, {"ACTIVO", 'L', 1, 0}};
    for (std::size_t i = 0; i < 4; ++i) {
        const std::string d = f.substr(32 + 32 * i, 32);
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(d.substr(0, 11), expected[i].name + std::string(11 - expected[i].name.size(), '\0'));
        EXPECT_EQ(d[11], expected[i].type);
        EXPECT_EQ(byteAt(d, 16), expected[i].width);
        EXPECT_EQ(byteAt(d, 17), expected[i].decimals);
    }
    EXPECT_EQ(byteAt(f, header - 1), 0x0Du);
    ASSERT_EQ(f.size(), header + 2 * record + 1);
    EXPECT_EQ(f.substr(header, record), " Ana       " + padLeft("30", 11) + padLeft("2.5", 20) + "T");
    EXPECT_EQ(f.substr(header + record, record), " Luis      " + padLeft("31", 11) + padLeft("2.5", 20) + "F");
    EXPECT_EQ(byteAt(f, f.size() - 1), 0x1Au);
}

TEST(TableWrite, EmptyTableIsHeaderAndEndMarker)
{
    test::TempDir dir;
    Table t(dir.path(), "VACIA");
    t.create({{"A", FieldType::Character, 3}});
    EXPECT_FALSE(t.isOpen());
    const std::string f = test::readFile(dir / "VACIA.DBF");
    ASSERT_EQ(f.size(), 32u + 32 + 1 + 1);
    EXPECT_EQ(le32(f, 4), 0u);
    EXPECT_EQ(byteAt(f, 65), 0x1Au);
    t.open();
    EXPECT_EQ(t.recordCount(), 0u);
    EXPECT_TRUE(t.eof());
}

TEST(TableWrite, ValuesAreStoredInTheirFieldFormat)
{
    const FieldDef c5{"F", FieldType::Character, 5};
    const FieldDef integer{"F", FieldType::Integer};
    const FieldDef real{"F", FieldType::Float};
    const FieldDef logical{"F", FieldType::Logical};
    struct Case {
        const char* what;
        FieldDef def;
        std::function<void(Table&)> fill;
        std::string stored;
    };
    const Case cases[] = {
        {"short text padded", c5, [](Table& t) { t.setText("F", "ab"); }, "ab   "},
        {"leading blanks kept", c5, [](Table& t) { t.setText("F", " x"); }, " x   "},
        {"long text keeps its first bytes", c5, [](Table& t) { t.setText("F", "abcdefgh"); }, "abcde"},
        {"8-bit text as given", c5,
            [](Table& t) {
                t.setText("F",
                    "\xD1"
                    "and\xFA");
            },
            "\xD1"
            "and\xFA"},
        {"unset character", c5, [](Table&) {}, "     "},
        {"integer text", integer, [](Table& t) { t.setText("F", "42"); }, padLeft("42", 11)},
        {"integer with blanks and sign", integer, [](Table& t) { t.setText("F", "  -7 "); }, padLeft("-7", 11)},
        {"integer with plus sign", integer, [](Table& t) { t.setText("F", "+5"); }, padLeft("5", 11)},
        {"integer leading zeros", integer, [](Table& t) { t.setText("F", "007"); }, padLeft("7", 11)},
        {"smallest integer", integer, [](Table& t) { t.setText("F", "-2147483648"); }, "-2147483648"},
        {"largest integer", integer, [](Table& t) { t.setText("F", std::to_string(2147483647)); }, " 2147483647"},
        {"empty integer text", integer, [](Table& t) { t.setText("F", ""); }, std::string(11, ' ')},
        {"blank integer text", integer, [](Table& t) { t.setText("F", "   "); }, std::string(11, ' ')},
        {"unset integer", integer, [](Table&) {}, std::string(11, ' ')},
        {"float shortest", real, [](Table& t) { t.setFloat("F", 0.1f); }, padLeft("0.1", 20)},
        {"float third", real, [](Table& t) { t.setFloat("F", 1.0f / 3.0f); }, padLeft("0.33333334", 20)},
        {"float whole", real, [](Table& t) { t.setFloat("F", 16777216.0f); }, padLeft("16777216", 20)},
        {"float large fixed", real, [](Table& t) { t.setFloat("F", 1e10f); }, padLeft("10000000000", 20)},
        {"float too long for fixed", real, [](Table& t) { t.setFloat("F", 3.4028235e38f); },
            padLeft("3.4028235e+38", 20)},
        {"float tiny", real, [](Table& t) { t.setFloat("F", 1e-45f); }, padLeft("1e-45", 20)},
        {"float negative", real, [](Table& t) { t.setFloat("F", -2.5f); }, padLeft("-2.5", 20)},
        {"float from text", real, [](Table& t) { t.setText("F", " 2.50 "); }, padLeft("2.5", 20)},
        {"float from integer", real, [](Table& t) { t.setText("F", std::to_string(-12)); }, padLeft("-12", 20)},
        {"empty float text", real, [](Table& t) { t.setText("F", ""); }, std::string(20, ' ')},
        {"logical true", logical, [](Table& t) { t.setBool("F", true); }, "T"},
        {"logical false", logical, [](Table& t) { t.setBool("F", false); }, "F"},
        {"logical text S", logical, [](Table& t) { t.setText("F", "S"); }, "T"},
        {"logical text y", logical, [](Table& t) { t.setText("F", "y"); }, "T"},
        {"logical text n", logical, [](Table& t) { t.setText("F", "n"); }, "F"},
        {"logical text empty", logical, [](Table& t) { t.setText("F", ""); }, " "},
        {"unset logical", logical, [](Table&) {}, " "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(storedField(c.def, c.fill), c.stored);
    }
}

TEST(TableWrite, FloatsReadBackAsTheSameFloat)
{
    test::TempDir dir;
    std::vector<float> values = {0.0f, -0.0f, 0.1f, 1.0f / 3.0f, 1e-45f, 1.17549435e-38f, 3.4028235e38f, -3.4028235e38f,
        123456.789f, 1e7f, 1e8f, 5e-5f};
    std::mt19937 random(20240131);
    while (values.size() < 5000) {
        const float v = std::bit_cast<float>(static_cast<std::uint32_t>(random()));
        if (std::isfinite(v))
            values.push_back(v);
    }
    {
        Table t(dir.path(), "FLOTAS");
        t.create({{"V", FieldType::Float}});
        t.open();
        for (float v : values) {
            t.append();
            t.setFloat("V", v);
            t.post();
        }
    }
    Table t(dir.path(), "FLOTAS");
    t.open();
    for (float v : values) {
        ASSERT_FALSE(t.eof());
        const auto back = static_cast<float>(t.number("V"));
        ASSERT_EQ(std::bit_cast<std::uint32_t>(back), std::bit_cast<std::uint32_t>(v))
            << v << " stored as '" << t.text("V") << "'";
        t.next();
    }
    EXPECT_TRUE(t.eof());
}

TEST(TableWrite, FieldNamesIgnoreLetterCase)
{
    test::TempDir dir;
    Table t(dir.path(), "PROFT");
    t.create(kSampleFields);
    t.open();
    t.append();
    t.setText("nombre", "x");
    t.setText("MaxAlum", std::to_string(3));
    t.post();
    t.first();
    EXPECT_EQ(t.text("NoMbRe"), "x");
    EXPECT_EQ(t.integer("maxalum"), 3);
    EXPECT_TRUE(t.hasField("activo"));
    EXPECT_FALSE(t.hasField("activ"));
    EXPECT_EQ(t.fields().at(1).name, "MAXALUM");
}

TEST(TableWrite, ReopenAppendsAfterExistingRows)
{
    test::TempDir dir;
    for (int round = 0; round < 3; ++round) {
        Table t(dir.path(), "PROFT");
        if (round == 0)
            t.create(kSampleFields);
        t.open();
        t.open(); // opening an open table changes nothing
        t.append();
        t.setText("MAXALUM", std::to_string(round));
        t.post();
        t.close();
        t.close(); // closing a closed table does nothing
    }
    const std::string f = test::readFile(dir / "PROFT.DBF");
    EXPECT_EQ(le32(f, 4), 3u);
    EXPECT_EQ(f.size(), 161u + 3 * 43 + 1);
    EXPECT_EQ(f.find('\x1A', 161), f.size() - 1) << "one end marker, after the last row";
    Table t(dir.path(), "PROFT");
    t.open();
    for (int round = 0; round < 3; ++round, t.next())
        EXPECT_EQ(t.integer("MAXALUM"), round);
}

TEST(TableWrite, RowsAreWrittenInLargePieces)
{
    test::TempDir dir;
    test::FaultyFileIo io;
    constexpr int kRows = 100000;
    {
        Table t(dir.path(), "GRANDE", {}, io);
        t.create(kSampleFields);
        t.open();
        for (int i = 0; i < kRows; ++i) {
            t.append();
            t.setText("NOMBRE", "Fila");
            t.setText("MAXALUM", std::to_string(i));
            t.setFloat("HORAS", static_cast<float>(i) / 4);
            t.setBool("ACTIVO", i % 2 == 0);
            t.post();
        }
        t.close();
    }
    const std::uint64_t rowBytes = std::uint64_t{kRows} * 43;
    EXPECT_LE(io.writeCalls, static_cast<int>(rowBytes / (64 * 1024)) + 6) << "rows must not be written one by one";

    Table t(dir.path(), "GRANDE", {}, io);
    t.open();
    ASSERT_EQ(t.recordCount(), static_cast<std::size_t>(kRows));
    long long sum = 0;
    int n = 0;
    for (t.first(); !t.eof(); t.next(), ++n) {
        sum += t.integer("MAXALUM");
        if (n % 9973 == 0) {
            ASSERT_EQ(t.number("HORAS"), static_cast<double>(static_cast<float>(n) / 4));
            ASSERT_EQ(t.text("ACTIVO"), n % 2 == 0 ? "T" : "F");
        }
    }
    EXPECT_EQ(n, kRows);
    EXPECT_EQ(sum, static_cast<long long>(kRows) * (kRows - 1) / 2);
    EXPECT_TRUE(t.locate("MAXALUM", "99999"));
    EXPECT_EQ(t.number("HORAS"), 24999.75);
}

TEST(TableWrite, RowsWrittenAndLetGoAreReadBackWhileOpen)
{
    // A large table keeps only its unwritten rows in memory; reading it while still open
    // must find every row, those already in the file included.
    test::TempDir dir;
    Table t(dir.path(), "GRANDE");
    t.create(kSampleFields);
    t.open();
    constexpr int kRows = 5000; // well past one 64 KiB piece
    for (int i = 0; i < kRows; ++i) {
        t.append();
        t.setText("MAXALUM", std::to_string(i));
        t.post();
    }
    EXPECT_EQ(t.integer("MAXALUM"), 0); // the cursor stayed on the first row
    EXPECT_TRUE(t.locate("MAXALUM", "3"));
    EXPECT_TRUE(t.locate("MAXALUM", "4999"));
    int n = 0;
    for (t.first(); !t.eof(); t.next(), ++n)
        ASSERT_EQ(t.integer("MAXALUM"), n);
    EXPECT_EQ(n, kRows);
    // Appending again after the rows were read back, then closing, leaves a sound file.
    t.append();
    t.setText("MAXALUM", std::to_string(kRows));
    t.post();
    t.close();
    t.open();
    EXPECT_EQ(t.recordCount(), static_cast<std::size_t>(kRows + 1));
    EXPECT_TRUE(t.locate("MAXALUM", "5000"));
}

TEST(TableWrite, NumbersIgnoreTheProcessLocale)
{
    const char* previous = std::setlocale(LC_ALL, nullptr);
    const std::string saved = previous ? previous : "C";
    const char* comma = nullptr;
    // The last two are the C runtime's names on Windows.
    for (const char* name :
        {"es_ES.UTF-8", "de_DE.UTF-8", "fr_FR.UTF-8", "es_ES.utf8", "de_DE.utf8", "Spanish_Spain.1252", "German"}) {
        if (std::setlocale(LC_ALL, name)) {
            comma = name;
            break;
        }
    }
    if (!comma)
        GTEST_SKIP() << "no locale with a decimal comma is installed";
    test::TempDir dir;
    {
        Table t(dir.path(), "LOCALE");
        t.create({{"V", FieldType::Float}});
        t.open();
        t.append();
        t.setText("V", "2.5");
        t.post();
        t.append();
        t.setFloat("V", 0.25f);
        t.post();
    }
    Table t(dir.path(), "LOCALE");
    t.open();
    const std::string first = t.text("V");
    const double value = t.number("V");
    t.next();
    const std::string second = t.text("V");
    std::setlocale(LC_ALL, saved.c_str());
    EXPECT_EQ(first, "2.5");
    EXPECT_EQ(value, 2.5);
    EXPECT_EQ(second, "0.25");
}

TEST(TableWrite, DestructorClosesAndWritesPendingRows)
{
    test::TempDir dir;
    {
        Table t(dir.path(), "PROFT");
        t.create(kSampleFields);
        t.open();
        t.append();
        t.setText("NOMBRE", "Sin cerrar");
        t.post();
    }
    Table t(dir.path(), "PROFT");
    t.open();
    ASSERT_EQ(t.recordCount(), 1u);
    EXPECT_EQ(t.text("NOMBRE"), "Sin cerrar");
}
