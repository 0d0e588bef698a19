// Working tables made by a real export, a SOLUC.DBF written row by row, and the result
// document read back element by element with its attributes in order.
#pragma once

#include "export/Exportacion.h"
#include "import/RetornoHorario.h"
#include "tests/support/Rows.h"
#include "tests/support/Soluc.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace ponteva::test {

using Attributes = std::vector<std::pair<std::string, std::string>>;

struct XmlElement {
    std::string name;
    Attributes attributes;
    std::vector<XmlElement> children;
};

// The root element of an XML file, parsed by libxml2 itself; text and comments are left out.
XmlElement parseXml(const std::filesystem::path& file);

// The catalogue of a small school: groups G1/G2, subjects M1/M2, teachers P1/P2, rooms A1/A2.
extern const char* const kCatalogo;

class RetornoTest : public ::testing::Test {
protected:
    RetornoTest();
    std::filesystem::path document() const { return m_tmp / "centro.xml"; }
    std::filesystem::path workDir() const { return m_tmp / "VTEMP"; }
    std::filesystem::path result() const { return m_tmp / "ResultadoVeltrixcentro.xml"; }
    // Writes the document and exports it, as the school did before timetabling.
    void exportar(const std::string& document);
    // SOLUC.DBF with DIA and HORA numeric and the other fields character.
    void writeSoluc(const std::vector<Solucion>& rows, dbf::FieldType horaType = dbf::FieldType::Float);
    ResumenRetorno retornar();
    static std::tm momento();

    TempDir m_tmp;
};

} // namespace ponteva::test
