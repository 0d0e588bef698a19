// Tables written by other programs: the dBase III-5, FoxPro, Visual FoxPro and dBase 7
// layouts, and the binary field types, from fixtures built byte by byte.
#include "TableFixtures.h"

#include "core/Error.h"
#include "tables/Table.h"

#include <gtest/gtest.h>

using namespace ponteva;
using namespace ponteva::dbf;
using test::DbfFixture;
using test::FixtureField;
using test::hexBytes;
using test::MemoryTable;
using test::row;
using test::ValueCase;

TEST(TableFormats, EveryVersionByteIsRead)
{
    // dBase III/IV/5 and their SQL and memo variants, FoxBASE+, FoxPro 2, Visual FoxPro
    // (displacements and backlink) and dBase 7 (68-byte header, 48-byte descriptors).
    const unsigned char versions[]
        = {0x03, 0x83, 0x8B, 0x43, 0x63, 0xCB, 0xE5, 0xF5, 0xFB, 0x30, 0x31, 0x32, 0x04, 0x8C};
    for (unsigned char version : versions) {
        SCOPED_TRACE(static_cast<int>(version));
        DbfFixture f;
        f.version = version;
        f.fields = {{"NOMBRE", 'C', 8}, {"NOTA", 'N', 5, 2}, {"ACTIVO", 'L', 1}, {"ALTA", 'D', 8}};
        f.rows = {row({"\xD1"
                       "and\xFA   ",
                      " 7.25", "T", "20240131"}),
            row({"Borrado ", " 0.00", "F", "        "}, '*'), row({"Otro    ", "-1.00", "F", "19991231"})};
        MemoryTable t(f, TableOptions{','});
        t->open();
        ASSERT_EQ(t->recordCount(), 2u);
        EXPECT_EQ(t->text("NOMBRE"),
            "\xD1"
            "and\xFA");
        EXPECT_EQ(t->text("NOTA"), "7,25");
        EXPECT_EQ(t->number("NOTA"), 7.25);
        EXPECT_EQ(t->text("ACTIVO"), "T");
        EXPECT_EQ(t->text("ALTA"), "20240131");
        t->next();
        EXPECT_EQ(t->text("NOMBRE"), "Otro");
        EXPECT_EQ(t->integer("NOTA"), -1);
        t->next();
        EXPECT_TRUE(t->eof());
    }
}

TEST(TableFormats, DBase7BinaryFields)
{
    const FixtureField i{"LONGFIELDNAME_OF_DBASE7", 'I', 4};
    const FixtureField autoinc{"ID", '+', 4};
    const FixtureField dbl{"PRECIO", 'O', 8};
    const FixtureField stamp{"MOMENTO", '@', 8};
    const ValueCase cases[] = {
        {"long 1", i, hexBytes("80 00 00 01"), '.', "1", 1.0, 1},
        {"long -1", i, hexBytes("7F FF FF FF"), '.', "-1", -1.0, -1},
        {"long 0", i, hexBytes("80 00 00 00"), '.', "0", 0.0, 0},
        {"long max", i, hexBytes("FF FF FF FF"), '.', "2147483647", 2147483647.0, 2147483647},
        {"long -256", i, hexBytes("7F FF FF 00"), '.', "-256", -256.0, -256},
        {"long empty", i, hexBytes("00 00 00 00"), '.', "", 0.0, 0},
        {"autoincrement", autoinc, hexBytes("80 00 01 00"), '.', "256", 256.0, 256},
        {"double 1", dbl, hexBytes("BF F0 00 00 00 00 00 00"), '.', "1", 1.0, 1},
        {"double -1.5", dbl, hexBytes("40 07 FF FF FF FF FF FF"), ',', "-1,5", -1.5, -2},
        {"double 0", dbl, hexBytes("80 00 00 00 00 00 00 00"), '.', "0", 0.0, 0},
        {"double 3.25", dbl, hexBytes("C0 0A 00 00 00 00 00 00"), ',', "3,25", 3.25, 3},
        {"double 0.1", dbl, hexBytes("BF B9 99 99 99 99 99 9A"), ',', "0,1", 0.1, 0},
        {"double 1e300", dbl, hexBytes("FE 37 E4 3C 88 00 75 9C"), '.', "1e+300", 1e300, std::nullopt},
        {"double empty", dbl, hexBytes("00 00 00 00 00 00 00 00"), '.', "", 0.0, 0},
        {"timestamp", stamp, hexBytes("00 25 8A B5 02 F3 66 D0"), '.', "20240131 13:45:06", std::nullopt, std::nullopt},
        {"timestamp midnight", stamp, hexBytes("00 25 3D 8C 00 00 00 00"), '.', "19700101 00:00:00", std::nullopt,
            std::nullopt},
        {"timestamp empty", stamp, hexBytes("00 00 00 00 00 00 00 00"), '.', "", 0.0, 0},
    };
    for (const ValueCase& c : cases)
        test::expectValues(c, 0x04);
}

TEST(TableFormats, DBase7TableWithEveryKindOfField)
{
    DbfFixture f;
    f.version = 0x8C;
    f.fields = {{"CODIGO", 'I', 4}, {"NUMERO", '+', 4}, {"IMPORTE", 'O', 8}, {"CREADO", '@', 8}, {"NOMBRE", 'C', 10},
        {"HORAS", 'N', 6, 1}, {"ACTIVO", 'L', 1}};
    f.rows = {row({hexBytes("80 00 00 2A"), hexBytes("80 00 00 01"), hexBytes("C0 0A 00 00 00 00 00 00"),
                  hexBytes("00 25 8A B5 02 F3 66 D0"), "Educaci\xF3n ", "  12.5", "T"}),
        row({hexBytes("7F FF FF F6"), hexBytes("80 00 00 02"), hexBytes("3F DB FF FF FF FF FF FF"),
            hexBytes("00 00 00 00 00 00 00 00"),
            "\xD1"
            "and\xFA     ",
            "      ", "F"})};
    MemoryTable t(f, TableOptions{','});
    t->open();
    ASSERT_EQ(t->recordCount(), 2u);
    ASSERT_EQ(t->fields().size(), 7u);
    EXPECT_EQ(t->fields()[3].offset, 17);
    EXPECT_EQ(t->integer("codigo"), 42);
    EXPECT_EQ(t->integer("NUMERO"), 1);
    EXPECT_EQ(t->number("IMPORTE"), 3.25);
    EXPECT_EQ(t->text("CREADO"), "20240131 13:45:06");
    EXPECT_EQ(t->text("NOMBRE"), "Educaci\xF3n");
    EXPECT_EQ(t->text("HORAS"), "12,5");
    EXPECT_EQ(t->text("ACTIVO"), "T");
    t->next();
    EXPECT_EQ(t->integer("CODIGO"), -10);
    EXPECT_EQ(t->number("IMPORTE"), -10.0);
    EXPECT_EQ(t->text("CREADO"), "");
    EXPECT_EQ(t->text("NOMBRE"),
        "\xD1"
        "and\xFA");
    EXPECT_EQ(t->number("HORAS"), 0.0);
    EXPECT_TRUE(t->locate("NOMBRE", "Educaci\xF3n"));
    EXPECT_EQ(t->text("CODIGO"), "42");
}

TEST(TableFormats, VisualFoxProBinaryFields)
{
    const FixtureField i{"I", 'I', 4};
    const FixtureField b{"B", 'B', 8};
    const FixtureField y{"Y", 'Y', 8};
    const FixtureField dt{"T", 'T', 8};
    const FixtureField memo{"M", 'M', 4};
    const ValueCase cases[] = {
        {"integer -7", i, hexBytes("F9 FF FF FF"), '.', "-7", -7.0, -7},
        {"integer 0", i, hexBytes("00 00 00 00"), '.', "0", 0.0, 0},
        {"integer max", i, hexBytes("FF FF FF 7F"), '.', "2147483647", 2147483647.0, 2147483647},
        {"integer min", i, hexBytes("00 00 00 80"), '.', "-2147483648", -2147483648.0, -2147483647 - 1},
        {"double 2.25", b, hexBytes("00 00 00 00 00 00 02 40"), ',', "2,25", 2.25, 2},
        {"double -0.5", b, hexBytes("00 00 00 00 00 00 E0 BF"), ',', "-0,5", -0.5, -1},
        {"double 0", b, hexBytes("00 00 00 00 00 00 00 00"), ',', "0", 0.0, 0},
        {"currency 12.3456", y, hexBytes("40 E2 01 00 00 00 00 00"), ',', "12,3456", 12.3456, 12},
        {"currency -5", y, hexBytes("B0 3C FF FF FF FF FF FF"), ',', "-5", -5.0, -5},
        {"currency 2.5 rounds up", y, hexBytes("A8 61 00 00 00 00 00 00"), '.', "2.5", 2.5, 3},
        {"currency -2.5 rounds down", y, hexBytes("58 9E FF FF FF FF FF FF"), '.', "-2.5", -2.5, -3},
        {"currency 0.0001", y, hexBytes("01 00 00 00 00 00 00 00"), '.', "0.0001", 0.0001, 0},
        {"datetime", dt, hexBytes("B5 8A 25 00 D0 66 F3 02"), '.', "20240131 13:45:06", std::nullopt, std::nullopt},
        {"empty datetime", dt, hexBytes("00 00 00 00 00 00 00 00"), '.', "", 0.0, 0},
        {"memo block", memo, hexBytes("05 00 00 00"), '.', "5", 5.0, 5},
        {"no memo", memo, hexBytes("00 00 00 00"), '.', "", 0.0, 0},
    };
    for (const ValueCase& c : cases)
        test::expectValues(c, 0x30);
}

TEST(TableFormats, DBase3MemoAndBinaryFieldsHoldBlockNumbers)
{
    const ValueCase cases[] = {
        {"memo", {"M", 'M', 10}, "         7", '.', "7", 7.0, 7},
        {"binary", {"B", 'B', 10}, "        12", '.', "12", 12.0, 12},
        {"no memo", {"M", 'M', 10}, "          ", '.', "", 0.0, 0},
        {"general", {"G", 'G', 10}, "         3", '.', "3", 3.0, 3},
        {"unknown type as text", {"X", 'X', 3}, "ab ", '.', "ab", std::nullopt, std::nullopt},
    };
    for (const ValueCase& c : cases)
        test::expectValues(c, 0x83);
}

TEST(TableFormats, VisualFoxProFieldsAreWhereTheirDisplacementSays)
{
    DbfFixture f;
    f.version = 0x30;
    f.fields = {{"A", 'C', 3}, {"B", 'C', 2}};
    f.rows = {row({"bb", "aaa"})};
    std::string bytes = f.bytes();
    // Field A stored after field B: displacements 3 and 1.
    bytes[32 + 12] = 3;
    bytes[64 + 12] = 1;
    MemoryTable t(bytes);
    t->open();
    EXPECT_EQ(t->text("A"), "aaa");
    EXPECT_EQ(t->text("B"), "bb");
    EXPECT_EQ(t->fields()[0].offset, 3);
}

TEST(TableFormats, RowsStartWhereTheHeaderLengthSays)
{
    // Visual FoxPro's backlink and any padding after the terminator are skipped.
    DbfFixture f;
    f.fields = {{"ID", 'C', 2}};
    f.rows = {row({"ok"})};
    f.headerLength = 32 + 32 + 1 + 40;
    MemoryTable t(f);
    t->open();
    EXPECT_EQ(t->text("ID"), "ok");
}
