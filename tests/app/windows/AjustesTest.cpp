// Veltrix.ini through the system's private-profile functions: the completion value goes in,
// everything else stays, and a file that cannot be written is told with its full path.
#include "app/Ajustes.h"
#include "core/Error.h"
#include "core/PathText.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <windows.h>

using namespace ponteva;
using namespace ponteva::test;

namespace {

int transformado(const std::filesystem::path& ini)
{
    return static_cast<int>(GetPrivateProfileIntW(L"Transformadores", L"Transformado", 12345, ini.c_str()));
}

} // namespace

TEST(Ajustes, WritesTheValueAndKeepsEverythingElse)
{
    TempDir tmp;
    const auto ini = tmp / "Veltrix.ini";
    writeFile(ini,
        "; Veltrix\r\n[General]\r\nIdioma=es\r\n\r\n[Transformadores]\r\nOtro=7\r\nTransformado=1\r\n"
        "[Final]\r\nClave=valor con espacios\r\n");
    for (int valor : {-1, 0, 1}) {
        escribirFinalizacion(ini, valor);
        EXPECT_EQ(transformado(ini), valor);
    }
    const std::string contenido = readFile(ini);
    for (const char* resto :
        {"; Veltrix", "[General]", "Idioma=es", "Otro=7", "[Final]", "Clave=valor con espacios", "Transformado=1"})
        EXPECT_NE(contenido.find(resto), std::string::npos) << resto << " in\n" << contenido;
    EXPECT_EQ(contenido.find("Transformado=-1"), std::string::npos) << "one key, rewritten in place";
}

TEST(Ajustes, CreatesTheFileAndTheSection)
{
    TempDir tmp;
    const auto ini = tmp / "Veltrix.ini";
    escribirFinalizacion(ini, -1);
    EXPECT_EQ(transformado(ini), -1);
    EXPECT_NE(readFile(ini).find("[Transformadores]"), std::string::npos);
}

TEST(Ajustes, UnwritableFile)
{
    TempDir tmp;
    // A folder where the file should be, and a file in a folder that does not exist.
    const std::filesystem::path casos[] = {tmp / "Veltrix.ini", tmp / "no-existe" / "Veltrix.ini"};
    std::filesystem::create_directory(casos[0]);
    for (const auto& ini : casos) {
        try {
            escribirFinalizacion(ini, 1);
            ADD_FAILURE() << "no error for " << pathText(ini);
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), "Unable to write to " + pathText(ini));
        }
    }
}
