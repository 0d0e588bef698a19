// SOLUC.DBF as the timetabler leaves it, written row by row through the engine: DIA an
// integer, HORA a number, the rest text (given as UTF-8).
#pragma once

#include "tables/Table.h"
#include "text/Ansi.h"

#include <filesystem>
#include <string>
#include <vector>

namespace ponteva::test {

struct Solucion {
    std::string dia, hora, sesiones, grupo, asig, tarea, prof, aula;
};

// HORA is a number unless horaType says otherwise (some timetablers keep it as text).
inline void writeSoluc(const std::filesystem::path& dir, const std::vector<Solucion>& rows,
    dbf::FieldType horaType = dbf::FieldType::Float)
{
    using dbf::FieldType;
    dbf::Table t(dir, "SOLUC");
    t.create({{"DIA", FieldType::Integer, 0}, {"HORA", horaType, horaType == FieldType::Character ? 10 : 0},
        {"SESIONES", FieldType::Character, 20}, {"CODGRUPO", FieldType::Character, 10},
        {"ASIG", FieldType::Character, 10}, {"TAREA", FieldType::Character, 10}, {"PROF", FieldType::Character, 10},
        {"AULA", FieldType::Character, 10}});
    t.open();
    for (const Solucion& s : rows) {
        t.append();
        t.setText("DIA", utf8ToAnsi(s.dia));
        t.setText("HORA", utf8ToAnsi(s.hora));
        t.setText("SESIONES", utf8ToAnsi(s.sesiones));
        t.setText("CODGRUPO", utf8ToAnsi(s.grupo));
        t.setText("ASIG", utf8ToAnsi(s.asig));
        t.setText("TAREA", utf8ToAnsi(s.tarea));
        t.setText("PROF", utf8ToAnsi(s.prof));
        t.setText("AULA", utf8ToAnsi(s.aula));
        t.post();
    }
    t.close();
}

} // namespace ponteva::test
