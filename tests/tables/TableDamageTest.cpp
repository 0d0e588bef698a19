// Damaged files: each broken size or offset is named with its byte; tolerable defects still
// give the good rows; random garbage never crashes or reads outside the file.
#include "TableFixtures.h"

#include "core/Error.h"
#include "tables/Table.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

using namespace ponteva;
using namespace ponteva::dbf;
using test::DbfFixture;
using test::hexBytes;
using test::MemoryTable;
using test::row;

namespace {

// Header 32 + 3 * 32 + 1 = 129 bytes; records of 1 + 4 + 3 + 1 = 9 bytes.
DbfFixture sample()
{
    DbfFixture f;
    f.fields = {{"NOMBRE", 'C', 4}, {"N", 'N', 3}, {"ACTIVO", 'L', 1}};
    f.rows = {row({"Ana ", "  1", "T"}), row({"Luis", "  2", "F"}), row({"Eva ", "  3", "T"})};
    return f;
}

void putLe16(std::string& bytes, std::size_t at, unsigned value)
{
    bytes[at] = static_cast<char>(value & 0xFF);
    bytes[at + 1] = static_cast<char>(value >> 8);
}

std::vector<std::string> names(Table& t)
{
    std::vector<std::string> out;
    for (t.first(); !t.eof(); t.next())
        out.push_back(t.text("NOMBRE"));
    return out;
}

} // namespace

TEST(TableDamage, BrokenHeadersNameTheTableAndTheByte)
{
    struct Case {
        const char* what;
        std::function<std::string()> bytes;
        std::string message;
    };
    const Case cases[] = {
        {"shorter than a header", [] { return sample().bytes().substr(0, 10); },
            "La tabla SOLUC está dañada: el archivo tiene 10 bytes, menos que los 32 del encabezado."},
        {"empty file", [] { return std::string(); },
            "La tabla SOLUC está dañada: el archivo tiene 0 bytes, menos que los 32 del encabezado."},
        {"header length below the minimum",
            [] {
                auto f = sample();
                f.headerLength = 20;
                return f.bytes();
            },
            "La tabla SOLUC está dañada: la longitud del encabezado es 20 bytes, menos que el mínimo de 32 (byte 8)."},
        {"dBase 7 header length below its minimum",
            [] {
                auto f = sample();
                f.version = 0x04;
                f.headerLength = 60;
                return f.bytes();
            },
            "La tabla SOLUC está dañada: la longitud del encabezado es 60 bytes, menos que el mínimo de 68 (byte 8)."},
        {"header longer than the file",
            [] {
                auto b = sample().bytes();
                putLe16(b, 8, 60000);
                return b;
            },
            "La tabla SOLUC está dañada: el encabezado dice medir 60000 bytes pero el archivo tiene 157 (byte 8)."},
        {"descriptor leaves the header",
            [] {
                auto f = sample();
                f.headerLength = 32 + 32 + 16;
                return f.bytes();
            },
            "La tabla SOLUC está dañada: la descripción del campo 2 sale del encabezado (byte 64)."},
        {"zero width",
            [] {
                auto b = sample().bytes();
                b[64 + 16] = 0;
                return b;
            },
            "La tabla SOLUC está dañada: el campo 2 ('N') tiene ancho 0 (byte 80)."},
        {"type is no letter",
            [] {
                auto b = sample().bytes();
                b[32 + 11] = 0;
                return b;
            },
            "La tabla SOLUC está dañada: el campo 1 ('NOMBRE') tiene un tipo no válido, código 0 (byte 43)."},
        {"field beyond the record",
            [] {
                auto f = sample();
                f.recordLength = 5;
                return f.bytes();
            },
            "La tabla SOLUC está dañada: el campo 2 ('N') sale del registro: ocupa los bytes 5 a 7 de un registro de 5 "
            "(byte 80)."},
        {"zero record length",
            [] {
                auto f = sample();
                f.recordLength = 0;
                return f.bytes();
            },
            "La tabla SOLUC está dañada: el campo 1 ('NOMBRE') sale del registro: ocupa los bytes 1 a 4 de un registro "
            "de 0 (byte 48)."},
        {"count larger than the rows held",
            [] {
                auto f = sample();
                f.recordCount = 10;
                return f.bytes();
            },
            "La tabla SOLUC está dañada: el encabezado anuncia 10 registros, pero el archivo solo contiene 3 completos "
            "(byte 4)."},
        {"file cut inside a row", [] { return sample().bytes().substr(0, 129 + 2 * 9 + 4); },
            "La tabla SOLUC está dañada: el encabezado anuncia 3 registros, pero el archivo solo contiene 2 completos "
            "(byte 4)."},
        {"file cut after the header", [] { return sample().bytes().substr(0, 129 + 9); },
            "La tabla SOLUC está dañada: el encabezado anuncia 3 registros, pero el archivo solo contiene 1 completo "
            "(byte 4)."},
        {"huge count",
            [] {
                auto f = sample();
                f.recordCount = 0xFFFFFFFF;
                return f.bytes();
            },
            "La tabla SOLUC está dañada: el encabezado anuncia 4294967295 registros, pero el archivo solo contiene 3 "
            "completos (byte 4)."},
        {"no fields",
            [] {
                auto b = sample().bytes();
                b[32] = 0x0D;
                return b;
            },
            "La tabla SOLUC está dañada: el encabezado no describe ningún campo (byte 32)."},
        {"displacement beyond the record",
            [] {
                auto f = sample();
                f.version = 0x30;
                auto b = f.bytes();
                b[32 + 12] = static_cast<char>(200);
                return b;
            },
            "La tabla SOLUC está dañada: el campo 1 ('NOMBRE') sale del registro: ocupa los bytes 200 a 203 de un "
            "registro de 9 (byte 44)."},
        {"overlapping fields longer than the record",
            [] {
                DbfFixture f;
                f.version = 0x30;
                f.fields = {{"A", 'C', 3}, {"B", 'C', 3}};
                f.recordLength = 4;
                auto b = f.bytes();
                b[64 + 12] = 1; // B over A
                return b;
            },
            "La tabla SOLUC está dañada: la longitud de registro es 4 bytes, menos que los 7 de sus campos y la marca "
            "de borrado (byte 10)."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MemoryTable t(c.bytes());
        try {
            t->open();
            ADD_FAILURE() << "opened";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), c.message);
        }
        EXPECT_FALSE(t->isOpen());
    }
}

TEST(TableDamage, TolerableDefectsStillGiveTheGoodRows)
{
    using Names = std::vector<std::string>;
    struct Case {
        const char* what;
        std::function<std::string()> bytes;
        Names rows;
    };
    const Case cases[] = {
        {"intact", [] { return sample().bytes(); }, {"Ana", "Luis", "Eva"}},
        {"no end marker",
            [] {
                auto f = sample();
                f.endMarker = false;
                return f.bytes();
            },
            {"Ana", "Luis", "Eva"}},
        {"garbage after the end marker", [] { return sample().bytes() + "basura"; }, {"Ana", "Luis", "Eva"}},
        {"no header terminator, header filled by fields",
            [] {
                auto f = sample();
                f.terminator = false;
                return f.bytes();
            },
            {"Ana", "Luis", "Eva"}},
        {"half-written row after the rows counted",
            [] {
                auto f = sample();
                f.recordCount = 2;
                return f.bytes().substr(0, 129 + 2 * 9 + 4);
            },
            {"Ana", "Luis"}},
        {"count smaller than the rows held",
            [] {
                auto f = sample();
                f.recordCount = 2;
                return f.bytes();
            },
            {"Ana", "Luis"}},
        {"record longer than its fields",
            [] {
                auto f = sample();
                f.recordLength = 12;
                for (std::string& r : f.rows)
                    r += "xyz";
                return f.bytes();
            },
            {"Ana", "Luis", "Eva"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MemoryTable t(c.bytes());
        t->open();
        EXPECT_EQ(names(*t), c.rows);
        EXPECT_EQ(t->recordCount(), c.rows.size());
    }
}

TEST(TableDamage, AppendingAfterACutRowReplacesIt)
{
    test::MemoryFileIo io;
    DbfFixture counted = sample();
    counted.recordCount = 2;
    io.files["/mem/SOLUC.DBF"] = counted.bytes().substr(0, 129 + 2 * 9 + 4);
    {
        Table t("/mem", "SOLUC", {}, io);
        t.open();
        t.append();
        t.setText("NOMBRE", "Nuevo");
        t.post();
    }
    const std::string& bytes = io.files["/mem/SOLUC.DBF"];
    EXPECT_EQ(bytes.size(), 129u + 3 * 9 + 1);
    EXPECT_EQ(static_cast<unsigned char>(bytes[4]), 3u);
    Table t("/mem", "SOLUC", {}, io);
    t.open();
    EXPECT_EQ(names(t), (std::vector<std::string>{"Ana", "Luis", "Nuev"}));
}

namespace {

std::vector<std::string> garbageBases()
{
    DbfFixture dBase3;
    dBase3.version = 0x83;
    dBase3.fields
        = {{"NOMBRE", 'C', 6}, {"N", 'N', 5, 2}, {"F", 'F', 20, 4}, {"L", 'L', 1}, {"D", 'D', 8}, {"M", 'M', 10}};
    dBase3.rows = {row({"Ana   ", " 1.50", std::string(17, ' ') + "0.1", "T", "20240131", "         1"}),
        row({"Luis  ", "-2.00", std::string(20, ' '), "?", "        ", "          "}, '*')};
    DbfFixture foxPro;
    foxPro.version = 0x30;
    foxPro.fields = {{"C", 'C', 3}, {"I", 'I', 4}, {"B", 'B', 8}, {"Y", 'Y', 8}, {"T", 'T', 8}, {"M", 'M', 4}};
    foxPro.rows = {row({"abc", hexBytes("F9 FF FF FF"), hexBytes("00 00 00 00 00 00 02 40"),
        hexBytes("40 E2 01 00 00 00 00 00"), hexBytes("B5 8A 25 00 D0 66 F3 02"), hexBytes("05 00 00 00")})};
    DbfFixture dBase7;
    dBase7.version = 0x04;
    dBase7.fields = {{"I", 'I', 4}, {"A", '+', 4}, {"O", 'O', 8}, {"S", '@', 8}, {"C", 'C', 2}, {"L", 'L', 1}};
    dBase7.rows = {row({hexBytes("80 00 00 2A"), hexBytes("80 00 00 01"), hexBytes("C0 0A 00 00 00 00 00 00"),
                       hexBytes("00 25 8A B5 02 F3 66 D0"), "xy", "T"}),
        row({hexBytes("7F FF FF F6"), hexBytes("80 00 00 02"), hexBytes("3F DB FF FF FF FF FF FF"),
            hexBytes("00 00 00 00 00 00 00 00"), "zz", "F"})};
    return {dBase3.bytes(), foxPro.bytes(), dBase7.bytes()};
}

// Reads everything there is to read, and appends a row; only ponteva::Error may come out.
bool exercise(std::string bytes)
{
    MemoryTable t(std::move(bytes), TableOptions{','});
    try {
        t->open();
    } catch (const Error&) {
        return false;
    }
    const std::vector<FieldInfo> fields = t->fields();
    for (t->first(); !t->eof(); t->next()) {
        for (const FieldInfo& f : fields) {
            (void)t->text(f.name);
            try {
                (void)t->number(f.name);
            } catch (const Error&) {
            }
            try {
                (void)t->integer(f.name);
            } catch (const Error&) {
            }
        }
    }
    if (!fields.empty()) {
        t->locate(fields.front().name, "x");
        t->append();
        for (const FieldInfo& f : fields) {
            try {
                t->setText(f.name, "1");
            } catch (const Error&) {
            }
        }
        t->post();
    }
    t->close();
    return true;
}

} // namespace

TEST(TableDamage, GarbageNeverCrashes)
{
    const std::vector<std::string> bases = garbageBases();
    for (const std::string& base : bases)
        ASSERT_TRUE(exercise(base)) << "the unspoiled bases open";

    std::mt19937 random(7);
    const auto below = [&](std::size_t n) { return n == 0 ? std::size_t{0} : std::size_t(random() % n); };
    int opened = 0;
    constexpr int kIterations = 4000;
    for (int i = 0; i < kIterations; ++i) {
        std::string bytes = bases[below(bases.size())];
        switch (below(5)) {
        case 0: // a few bytes anywhere
            for (std::size_t n = 1 + below(6); n > 0; --n)
                bytes[below(bytes.size())] = static_cast<char>(random());
            break;
        case 1: // a few bytes in the header
            for (std::size_t n = 1 + below(4); n > 0; --n)
                bytes[below(std::min<std::size_t>(bytes.size(), 140))] = static_cast<char>(random());
            break;
        case 2: // cut anywhere
            bytes.resize(below(bytes.size() + 1));
            break;
        case 3: // sizes and count
            putLe16(bytes, 4 + 2 * below(4), static_cast<unsigned>(random() & 0xFFFF));
            break;
        default: { // noise
            bytes.resize(below(400));
            for (char& c : bytes)
                c = static_cast<char>(random());
            if (bytes.size() > 12 && below(2) == 0) {
                putLe16(bytes, 8, 32 + 32 * static_cast<unsigned>(below(4)) + 1);
                putLe16(bytes, 10, static_cast<unsigned>(below(40)));
            }
        }
        }
        SCOPED_TRACE(i);
        if (exercise(std::move(bytes)))
            ++opened;
    }
    EXPECT_GT(opened, kIterations / 10) << "the mutations should leave many files readable";
}
