// Reading tables: each stored form as text, number and integer; deleted rows; the cursor;
// locating rows by value.
#include "TableFixtures.h"

#include "core/Error.h"
#include "tables/Table.h"

#include <gtest/gtest.h>

#include <optional>

using namespace ponteva;
using namespace ponteva::dbf;
using test::DbfFixture;
using test::FixtureField;
using test::MemoryTable;
using test::padLeft;
using test::padRight;
using test::row;
using test::ValueCase;

TEST(TableRead, TextFieldsAndTheirNumbers)
{
    const FixtureField c6{"NOMBRE", 'C', 6};
    const ValueCase cases[] = {
        {"trailing blanks dropped", c6, "abc   ", '.', "abc", std::nullopt, std::nullopt},
        {"leading blanks kept", c6, "  abc ", '.', "  abc", std::nullopt, std::nullopt},
        {"blank", c6, "      ", '.', "", 0.0, 0},
        {"8-bit text", c6,
            "\xD1"
            "and\xFA ",
            '.',
            "\xD1"
            "and\xFA",
            std::nullopt, std::nullopt},
        {"whole number", c6, "  12  ", '.', "  12", 12.0, 12},
        {"negative number", c6, "-5    ", '.', "-5", -5.0, -5},
        {"fraction is no integer", c6, "2.5   ", '.', "2.5", 2.5, std::nullopt},
        {"regional decimal comma", c6, "2,5   ", ',', "2,5", 2.5, std::nullopt},
        {"point under decimal comma settings", c6, "2.5   ", ',', "2.5", std::nullopt, std::nullopt},
        {"comma under decimal point settings", c6, "2,5   ", '.', "2,5", std::nullopt, std::nullopt},
        {"whole number under decimal comma settings", c6, "7     ", ',', "7", 7.0, 7},
        {"blank under decimal comma settings", c6, "      ", ',', "", 0.0, 0},
        {"too large for an integer", c6, "3e9   ", '.', "3e9", 3e9, std::nullopt},
    };
    for (const ValueCase& c : cases)
        test::expectValues(c);
}

TEST(TableRead, NumericFields)
{
    const FixtureField n5{"N", 'N', 5};
    const FixtureField n62{"N", 'N', 6, 2};
    const FixtureField f20{"F", 'F', 20, 4};
    const ValueCase cases[] = {
        {"whole", n5, "   42", ',', "42", 42.0, 42},
        {"negative", n5, "  -42", ',', "-42", -42.0, -42},
        {"left-aligned by another writer", n5, "42   ", ',', "42", 42.0, 42},
        {"empty reads 0", n5, "     ", ',', "", 0.0, 0},
        {"fraction with regional separator", n62, "  2.50", ',', "2,5", 2.5, 3},
        {"fraction with a point separator", n62, "  2.50", '.', "2.5", 2.5, 3},
        {"negative half rounds away from zero", n62, " -2.50", ',', "-2,5", -2.5, -3},
        {"whole value of a field with decimals", FixtureField{"N", 'N', 4, 1}, " 4.0", ',', "4", 4.0, 4},
        {"two decimals kept", n62, "  1.25", ',', "1,25", 1.25, 1},
        {"negative whole", n62, " -1.00", ',', "-1", -1.0, -1},
        {"leading zeros dropped", n62, "001.50", ',', "1,5", 1.5, 2},
        {"fraction without a whole part", n62, "   .50", ',', "0,5", 0.5, 1},
        {"negative zero", n62, " -0.00", ',', "0", 0.0, 0},
        {"below half rounds down", n62, "  1.49", ',', "1,49", 1.49, 1},
        {"overflow stars", n62, "******", ',', "******", std::nullopt, std::nullopt},
        {"float shortest text", f20, padLeft("0.1", 20), ',', "0,1", 0.1, 0},
        {"float scientific", f20, padLeft("3.4028235e+38", 20), '.', "3.4028235e+38", 3.4028235e+38, std::nullopt},
        {"float empty", f20, std::string(20, ' '), ',', "", 0.0, 0},
    };
    for (const ValueCase& c : cases)
        test::expectValues(c);
}

TEST(TableRead, LogicalAndDateFields)
{
    const FixtureField l{"L", 'L', 1};
    const FixtureField d{"D", 'D', 8};
    const ValueCase cases[] = {
        {"T", l, "T", '.', "T", 1.0, 1},
        {"t", l, "t", '.', "T", 1.0, 1},
        {"Y", l, "Y", '.', "T", 1.0, 1},
        {"y", l, "y", '.', "T", 1.0, 1},
        {"F", l, "F", '.', "F", 0.0, 0},
        {"f", l, "f", '.', "F", 0.0, 0},
        {"N", l, "N", '.', "F", 0.0, 0},
        {"n", l, "n", '.', "F", 0.0, 0},
        {"unknown ?", l, "?", '.', "", 0.0, 0},
        {"blank", l, " ", '.', "", 0.0, 0},
        {"date", d, "20240131", '.', "20240131", 20240131.0, 20240131},
        {"blank date", d, "        ", '.', "", 0.0, 0},
    };
    for (const ValueCase& c : cases)
        test::expectValues(c);
}

TEST(TableRead, IntegerErrorNamesTextAndField)
{
    DbfFixture f;
    f.fields = {{"CODIGO", 'C', 4}};
    f.rows = {row({"A\xD1o "})};
    MemoryTable t(f);
    t->open();
    try {
        t->integer("codigo");
        ADD_FAILURE() << "accepted";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "'AÑo' no es un valor entero válido para el campo 'CODIGO'");
    }
    try {
        t->number("CODIGO");
        ADD_FAILURE() << "accepted";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "'AÑo' no es un número válido para el campo 'CODIGO' de la tabla SOLUC.");
    }
}

TEST(TableRead, DeletedRowsAreSkipped)
{
    DbfFixture f;
    f.fields = {{"ID", 'C', 2}};
    f.rows = {row({"A "}, '*'), row({"B "}), row({"C "}, '*'), row({"D "}), row({"E "}, '*')};
    MemoryTable t(f);
    t->open();
    EXPECT_EQ(t->recordCount(), 2u);
    std::vector<std::string> seen;
    for (t->first(); !t->eof(); t->next())
        seen.push_back(t->text("ID"));
    EXPECT_EQ(seen, (std::vector<std::string>{"B", "D"}));
    EXPECT_FALSE(t->locate("ID", "C"));
    EXPECT_TRUE(t->eof());
    EXPECT_TRUE(t->locate("ID", "D"));
    EXPECT_EQ(t->text("ID"), "D");
}

TEST(TableRead, AllRowsDeletedIsEmpty)
{
    DbfFixture f;
    f.fields = {{"ID", 'C', 2}};
    f.rows = {row({"A "}, '*'), row({"B "}, '*')};
    MemoryTable t(f);
    t->open();
    EXPECT_EQ(t->recordCount(), 0u);
    EXPECT_TRUE(t->eof());
    t->next();
    EXPECT_TRUE(t->eof());
}

TEST(TableRead, LocateFindsTheFirstRowWithTheWholeValue)
{
    DbfFixture f;
    f.fields = {{"NOMBRE", 'C', 8}, {"N", 'N', 3}, {"NOTA", 'N', 5, 2}};
    f.rows = {row({"Ana     ", "  1", " 1.50"}), row({"ana     ", "  2", " 2.00"}), row({"Ana Mar ", "  3", " 1.50"}),
        row({"Ana     ", "  4", " 3.00"}), row({"  Pepe  ", "  5", " 0.00"})};
    struct Case {
        const char* field;
        std::string value;
        std::optional<int> foundN; // the row's N, nullopt: not found
    };
    const Case cases[] = {
        {"NOMBRE", "Ana", 1}, // first of two equal rows
        {"nombre", "ana", 2}, // letter case counts in values, not in field names
        {"NOMBRE", "ANA", std::nullopt},
        {"NOMBRE", "An", std::nullopt}, // whole value only
        {"NOMBRE", "Ana Mar", 3},
        {"NOMBRE", "Ana ", std::nullopt}, // trailing blanks are not part of the value
        {"NOMBRE", "  Pepe", 5}, // leading blanks are
        {"NOMBRE", "Pepe", std::nullopt},
        {"N", "4", 4},
        {"NOTA", "1,5", 1}, // numbers compare as their value's text, with the regional separator
        {"NOTA", "1,50", std::nullopt},
        {"NOTA", "1.5", std::nullopt},
        {"NOTA", "0", 5},
    };
    MemoryTable t(f, TableOptions{','});
    t->open();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.field) + " = '" + c.value + "'");
        t->first();
        t->next(); // locate starts from the first row wherever the cursor is
        const bool found = t->locate(c.field, c.value);
        EXPECT_EQ(found, c.foundN.has_value());
        if (c.foundN && found) {
            EXPECT_EQ(t->integer("N"), *c.foundN);
        }
        if (!c.foundN) {
            EXPECT_TRUE(t->eof());
        }
    }
}

TEST(TableRead, LocateSeesRowsAppendedAfterItsIndexWasBuilt)
{
    test::MemoryFileIo io;
    DbfFixture f;
    f.fields = {{"ID", 'C', 4}, {"V", 'N', 3}};
    f.rows = {row({"A   ", "  1"})};
    io.files["/mem/T.DBF"] = f.bytes();
    Table t("/mem", "T", {}, io);
    t.open();
    EXPECT_FALSE(t.locate("ID", "B"));
    t.append();
    t.setText("ID", "B");
    t.setText("V", std::to_string(2));
    t.post();
    ASSERT_TRUE(t.locate("ID", "B"));
    EXPECT_EQ(t.integer("V"), 2);
    EXPECT_TRUE(t.locate("ID", "A"));
    EXPECT_EQ(t.integer("V"), 1);
}

TEST(TableRead, ReadingWithoutACurrentRowIsRefused)
{
    DbfFixture f;
    f.fields = {{"ID", 'C', 2}};
    f.rows = {row({"A "})};
    MemoryTable t(f);
    EXPECT_TRUE(t->eof()) << "a closed table has no rows";
    EXPECT_EQ(t->recordCount(), 0u);
    try {
        t->text("ID");
        ADD_FAILURE();
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "La tabla SOLUC no está abierta.");
    }
    t->open();
    t->next();
    ASSERT_TRUE(t->eof());
    try {
        t->text("ID");
        ADD_FAILURE();
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "La tabla SOLUC no tiene fila actual: se ha llegado al final.");
    }
    try {
        t->text("XYZ");
        ADD_FAILURE();
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "La tabla SOLUC no tiene el campo 'XYZ'.");
    }
}

TEST(TableRead, FieldsAreDescribedAsStored)
{
    DbfFixture f;
    f.fields = {{"NOMBRE", 'C', 6}, {"NOTA", 'N', 5, 2}, {"ALTA", 'D', 8}};
    f.rows = {};
    MemoryTable t(f);
    t->open();
    const auto& fields = t->fields();
    ASSERT_EQ(fields.size(), 3u);
    EXPECT_EQ(fields[1].name, "NOTA");
    EXPECT_EQ(fields[1].type, 'N');
    EXPECT_EQ(fields[1].width, 5);
    EXPECT_EQ(fields[1].decimals, 2);
    EXPECT_EQ(fields[1].offset, 7);
    EXPECT_EQ(fields[2].offset, 12);
}

TEST(TableRead, AppendingToAForeignTableKeepsItsLayout)
{
    test::MemoryFileIo io;
    DbfFixture f;
    f.version = 0x83;
    f.fields = {{"NOTA", 'N', 5, 2}, {"ALTA", 'D', 8}, {"MEMO", 'M', 10}};
    f.rows = {row({" 1.00", "20240101", "         1"})};
    io.files["/mem/T.DBF"] = f.bytes();
    {
        Table t("/mem", "T", {}, io);
        t.open();
        t.append();
        t.setText("NOTA", "12.3");
        t.setText("ALTA", "20240229");
        EXPECT_THROW(t.setText("NOTA", "123456"), Error) << "does not fit N(5,2)";
        EXPECT_THROW(t.setText("ALTA", "29/02/2024"), Error);
        EXPECT_THROW(t.setText("MEMO", "x"), Error);
        t.post();
    }
    const std::string bytes = io.files["/mem/T.DBF"];
    const std::size_t header = 32 + 3 * 32 + 1;
    EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0x83u) << "the version is kept";
    EXPECT_EQ(bytes.substr(header + 24, 24), " 12.3020240229          ");
    EXPECT_EQ(bytes.back(), '\x1A');
}
