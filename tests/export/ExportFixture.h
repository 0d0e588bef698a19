// A Zedra document written to a temporary folder, exported into a working directory there.
#pragma once

#include "export/Exportacion.h"
#include "tests/support/Rows.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <string>

namespace ponteva::test {

// A document whose root holds the given sections.
std::string zedra(const std::string& sections);

class ExportTest : public ::testing::Test {
protected:
    ExportTest();
    // Writes the document and runs the whole export into workDir().
    ResumenExportacion exportar(const std::string& document);
    std::vector<Row> rows(const std::string& table) { return readRows(workDir(), table); }
    std::filesystem::path document() const { return m_tmp / "centro.xml"; }
    std::filesystem::path workDir() const { return m_tmp / "VTEMP"; }

    TempDir m_tmp;
};

} // namespace ponteva::test
