// ponteva-cli: the export and return runs from the command line, for scripted and batch use.
#include "app/Resumen.h"
#include "core/Error.h"
#include "core/PathText.h"
#include "core/SystemRegional.h"
#include "core/WorkDir.h"
#include "export/Exportacion.h"
#include "import/RetornoHorario.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>
#ifdef _WIN32
#include "core/Win32Text.h"
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

using namespace ponteva;

namespace {

constexpr int kExitOk = 0;
constexpr int kExitError = 1;
constexpr int kExitMissingInput = 2;

const char* const kUsage = "Uso: ponteva-cli exportar DOCUMENTO.xml [--dir DIRECTORIO]\n"
                           "     ponteva-cli importar DOCUMENTO.xml [--dir DIRECTORIO]\n"
                           "\n"
                           "Pasa los datos de un centro entre Zedra y Veltrix.\n"
                           "\n"
                           "  exportar   Lee el documento de intercambio de Zedra y crea de nuevo las tablas de\n"
                           "             trabajo de Veltrix (ASIGNOMT, PROFT, AULAT, GRUPOST, DIASHORAST y ASIGT).\n"
                           "  importar   Lee el horario de Veltrix (SOLUC.DBF) y escribe, junto al documento\n"
                           "             elegido, el documento ResultadoVeltrix<nombre> con la sección\n"
                           "             solucion_horario. El documento elegido no se modifica.\n"
                           "\n"
                           "Opciones:\n"
                           "  --dir DIRECTORIO  Directorio de trabajo de Veltrix (debe existir). Por omisión:\n"
                           "                    %s\n"
                           "  -h, --help        Muestra esta ayuda.\n"
                           "\n"
#ifdef _WIN32
                           "Los números y las fechas siguen la configuración regional de Windows: con la\n"
                           "de España las horas se leen con coma decimal (\"2,5\").\n"
#else
                           "Los números y las fechas siguen la configuración regional (LC_ALL, LC_NUMERIC, LANG):\n"
                           "con LC_ALL=es_ES.UTF-8 las horas se leen con coma decimal (\"2,5\").\n"
#endif
                           "\n"
                           "Salida: 0 si el proceso termina, 2 si falta el documento (o SOLUC.DBF al importar),\n"
                           "1 ante cualquier otro error, con el motivo en la salida de errores.\n";

void printUsage(std::FILE* out)
{
    std::fprintf(out, kUsage, pathText(defaultWorkingDirectory()).c_str());
}

struct Arguments {
    std::string command;
    std::filesystem::path document;
    std::filesystem::path directory;
    bool help = false;
};

// Returns an error message when the arguments (UTF-8, the program's name first) are not
// understood.
std::optional<std::string> parseArguments(const std::vector<std::string>& argv, Arguments& args)
{
    const int argc = static_cast<int>(argv.size());
    std::vector<std::string> positional;
    std::optional<std::filesystem::path> directory;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            args.help = true;
        } else if (arg == "--dir") {
            if (i + 1 >= argc)
                return "Falta el directorio después de --dir.";
            directory = pathFromText(argv[++i]);
        } else if (arg.rfind("--dir=", 0) == 0) {
            directory = pathFromText(arg.substr(6));
        } else if (arg == "--") {
            for (++i; i < argc; ++i)
                positional.emplace_back(argv[i]);
        } else if (arg.size() > 1 && arg[0] == '-') {
            return "Opción desconocida: " + arg;
        } else {
            positional.push_back(arg);
        }
    }
    if (args.help)
        return std::nullopt;
    if (positional.empty())
        return "Falta la orden: exportar o importar.";
    args.command = positional[0];
    if (args.command != "exportar" && args.command != "importar")
        return "Orden desconocida: " + args.command + " (use exportar o importar).";
    if (positional.size() < 2)
        return "Falta el documento XML.";
    if (positional.size() > 2)
        return "Sobran argumentos: " + positional[2];
    args.document = pathFromText(positional[1]);
    args.directory = directory ? *directory : defaultWorkingDirectory();
    return std::nullopt;
}

int run(const std::vector<std::string>& argv)
{
    Arguments args;
    if (const auto problem = parseArguments(argv, args)) {
        std::fprintf(stderr, "%s\n\n", problem->c_str());
        printUsage(stderr);
        return kExitError;
    }
    if (args.help) {
        printUsage(stdout);
        return kExitOk;
    }
    try {
        const RegionalSettings regional = systemRegionalSettings();
        if (args.command == "exportar") {
            auto run = std::make_unique<Exportacion>(args.document, args.directory, regional);
            std::fputs(resumenExportacion(run->ejecutar(), args.directory).c_str(), stdout);
            std::printf("Proceso finalizado\n");
            // The tables are closed; what the run still holds is the loaded document, which
            // the system takes back at exit at once, where freeing it node by node would
            // cost a tenth of the run on a large document.
            std::fflush(stdout);
            std::_Exit(kExitOk);
        } else {
            RetornoHorario run(args.document, args.directory, regional);
            std::fputs(resumenRetorno(run.ejecutar()).c_str(), stdout);
        }
        std::printf("Proceso finalizado\n");
        return kExitOk;
    } catch (const MissingInputError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return kExitMissingInput;
    } catch (const Error& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return kExitError;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "No hay memoria suficiente para terminar el proceso.\n");
        return kExitError;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Error inesperado: %s\n", e.what());
        return kExitError;
    }
}

} // namespace

#ifdef _WIN32
// The arguments arrive as UTF-16, so that any path works; messages go out as UTF-8, which
// the console shows as such once its output code page says so. Lines end in "\n" alone,
// as on Linux, so that scripts read the same bytes from both.
int wmain(int argc, wchar_t** argv)
{
    SetConsoleOutputCP(CP_UTF8);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i)
        args.push_back(win32::narrow(argv[i]));
    return run(args);
}
#else
int main(int argc, char** argv)
{
    return run(std::vector<std::string>(argv, argv + argc));
}
#endif
