// Values and definitions the engine refuses: the exact messages, and a refused row never
// reaching the file.
#include "core/Error.h"
#include "tables/Table.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>

using namespace ponteva;
using namespace ponteva::dbf;

namespace {

const std::vector<FieldDef> kSampleFields = {
    {"NOMBRE", FieldType::Character, 10},
    {"MAXALUM", FieldType::Integer},
    {"HORAS", FieldType::Float},
    {"ACTIVO", FieldType::Logical},
};

} // namespace

TEST(TableRefusal, RefusedIntegerTextNamesValueAndField)
{
    const std::pair<std::string, std::string> cases[] = {
        {"2.5", "'2.5' no es un valor entero válido para el campo 'MAXALUM'"},
        {"abc", "'abc' no es un valor entero válido para el campo 'MAXALUM'"},
        {"1e3", "'1e3' no es un valor entero válido para el campo 'MAXALUM'"},
        {"12 34", "'12 34' no es un valor entero válido para el campo 'MAXALUM'"},
        {"+-1", "'+-1' no es un valor entero válido para el campo 'MAXALUM'"},
        {"-", "'-' no es un valor entero válido para el campo 'MAXALUM'"},
        {"0x10", "'0x10' no es un valor entero válido para el campo 'MAXALUM'"},
        {"2147483648", "'2147483648' no es un valor entero válido para el campo 'MAXALUM'"},
        {"-2147483649", "'-2147483649' no es un valor entero válido para el campo 'MAXALUM'"},
        {"Ni\xF1o", "'Niño' no es un valor entero válido para el campo 'MAXALUM'"},
    };
    test::TempDir dir;
    Table t(dir.path(), "PROFT");
    t.create(kSampleFields);
    t.open();
    for (const auto& [value, message] : cases) {
        SCOPED_TRACE(value);
        t.append();
        try {
            t.setText("maxalum", value);
            ADD_FAILURE() << "accepted";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), message);
        }
    }
}

TEST(TableRefusal, OtherRefusedValuesNameTableAndField)
{
    struct Case {
        const char* what;
        std::function<void(Table&)> set;
        std::string message;
    };
    const Case cases[] = {
        {"float text", [](Table& t) { t.setText("HORAS", "dos"); },
            "'dos' no es un número válido para el campo 'HORAS' de la tabla PROFT."},
        {"float out of range", [](Table& t) { t.setText("HORAS", "1e39"); },
            "'1e39' no es un número válido para el campo 'HORAS' de la tabla PROFT."},
        {"float not finite", [](Table& t) { t.setFloat("HORAS", std::numeric_limits<float>::infinity()); },
            "'inf' no es un número válido para el campo 'HORAS' de la tabla PROFT."},
        {"integer out of range", [](Table& t) { t.setText("MAXALUM", "3000000000"); },
            "'3000000000' no es un valor entero válido para el campo 'MAXALUM'"},
        {"logical text", [](Table& t) { t.setText("ACTIVO", "quiz\xE1s"); },
            "'quizás' no es un valor lógico válido para el campo 'ACTIVO' de la tabla PROFT."},
        {"number into text", [](Table& t) { t.setFloat("NOMBRE", 1); },
            "El campo 'NOMBRE' de la tabla PROFT no es numérico."},
        {"bool into number", [](Table& t) { t.setBool("HORAS", true); },
            "El campo 'HORAS' de la tabla PROFT no es lógico."},
        {"unknown field", [](Table& t) { t.setText("XYZ", "1"); }, "La tabla PROFT no tiene el campo 'XYZ'."},
        {"unknown accented field", [](Table& t) { t.setText("A\xD1O", "1"); },
            "La tabla PROFT no tiene el campo 'AÑO'."},
    };
    test::TempDir dir;
    Table t(dir.path(), "PROFT");
    t.create(kSampleFields);
    t.open();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        t.append();
        try {
            c.set(t);
            ADD_FAILURE() << "accepted";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), c.message);
        }
    }
}

TEST(TableRefusal, RefusedRowIsNeverStored)
{
    test::TempDir dir;
    {
        Table t(dir.path(), "PROFT");
        t.create(kSampleFields);
        t.open();
        t.append();
        t.setText("NOMBRE", "Mala");
        EXPECT_THROW(t.setText("MAXALUM", "2.5"), Error);
        // The caller gives the row up; the next row starts blank.
        t.append();
        t.setText("NOMBRE", "Buena");
        t.post();
    }
    Table t(dir.path(), "PROFT");
    t.open();
    ASSERT_EQ(t.recordCount(), 1u);
    EXPECT_EQ(t.text("NOMBRE"), "Buena");
    EXPECT_EQ(t.text("MAXALUM"), "");
    EXPECT_EQ(t.integer("MAXALUM"), 0);
}

TEST(TableRefusal, CreateRefusesBadFieldLists)
{
    struct Case {
        const char* what;
        std::vector<FieldDef> fields;
        std::string message;
    };
    const Case cases[] = {
        {"no fields", {}, "No se puede crear la tabla T: no tiene campos."},
        {"long name", {{"DEMASIADOLARGO", FieldType::Logical}},
            "No se puede crear la tabla T: el nombre de campo 'DEMASIADOLARGO' no es válido (de 1 a 10 letras sin "
            "acentos, cifras o '_')."},
        {"blank in name", {{"A B", FieldType::Logical}},
            "No se puede crear la tabla T: el nombre de campo 'A B' no es válido (de 1 a 10 letras sin acentos, cifras "
            "o '_')."},
        {"repeated name", {{"A", FieldType::Logical}, {"a", FieldType::Integer}},
            "No se puede crear la tabla T: el campo 'A' está repetido."},
        {"width 0", {{"A", FieldType::Character, 0}},
            "No se puede crear la tabla T: el campo 'A' tiene ancho 0; debe estar entre 1 y 254."},
        {"width 255", {{"A", FieldType::Character, 255}},
            "No se puede crear la tabla T: el campo 'A' tiene ancho 255; debe estar entre 1 y 254."},
    };
    test::TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Table t(dir.path(), "T");
        try {
            t.create(c.fields);
            ADD_FAILURE() << "created";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), c.message);
        }
    }
}
