#include "ExportFixture.h"

namespace ponteva::test {

std::string zedra(const std::string& sections)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<centro codigo_interno=\"15001\" nombre=\"IES Rosalía de Castro\" curso=\"2026/2027\" version=\"1.0\">\n"
        + sections + "</centro>\n";
}

ExportTest::ExportTest()
{
    std::filesystem::create_directory(workDir());
}

ResumenExportacion ExportTest::exportar(const std::string& doc)
{
    writeFile(document(), doc);
    Exportacion run(document(), workDir(), spanishSettings());
    return run.ejecutar();
}

} // namespace ponteva::test
