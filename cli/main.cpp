// ponteva-cli: the export and return runs from the command line, for scripted and batch use.
#include "cli/LocaleSettings.h"
#include "core/Error.h"
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
                           "Los números y las fechas siguen la configuración regional (LC_ALL, LC_NUMERIC, LANG):\n"
                           "con LC_ALL=es_ES.UTF-8 las horas se leen con coma decimal (\"2,5\").\n"
                           "\n"
                           "Salida: 0 si el proceso termina, 2 si falta el documento (o SOLUC.DBF al importar),\n"
                           "1 ante cualquier otro error, con el motivo en la salida de errores.\n";

void printUsage(std::FILE* out)
{
    std::fprintf(out, kUsage, defaultWorkingDirectory().string().c_str());
}

struct Arguments {
    std::string command;
    std::filesystem::path document;
    std::filesystem::path directory;
    bool help = false;
};

// Returns an error message when the arguments are not understood.
std::optional<std::string> parseArguments(int argc, char** argv, Arguments& args)
{
    std::vector<std::string> positional;
    std::optional<std::filesystem::path> directory;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            args.help = true;
        } else if (arg == "--dir") {
            if (i + 1 >= argc)
                return "Falta el directorio después de --dir.";
            directory = argv[++i];
        } else if (arg.rfind("--dir=", 0) == 0) {
            directory = arg.substr(6);
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
    args.document = positional[1];
    args.directory = directory ? *directory : defaultWorkingDirectory();
    return std::nullopt;
}

std::string plural(std::size_t n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

void printExportSummary(const ResumenExportacion& r, const std::filesystem::path& dir)
{
    std::printf("Tablas escritas en %s:\n", dir.string().c_str());
    std::printf(
        "  ASIGNOMT.DBF    %s (materias, con la fila fija LECT)\n", plural(r.materias, "fila", "filas").c_str());
    std::printf("  PROFT.DBF       %s (profesores)\n", plural(r.profesores, "fila", "filas").c_str());
    std::printf("  AULAT.DBF       %s (aulas)\n", plural(r.aulas, "fila", "filas").c_str());
    std::printf("  GRUPOST.DBF     %s (grupos)\n", plural(r.grupos, "fila", "filas").c_str());
    std::printf("  DIASHORAST.DBF  0 filas (rejilla de días y horas, vacía)\n");
    std::printf("  ASIGT.DBF       %s (asignaturas)\n", plural(r.asignaturas, "fila", "filas").c_str());

    const std::size_t omitted
        = r.materiasOmitidas + r.asignaturasSinGrupo + r.asignaturasSinMateria + r.asignaturasSinCodigoMateria;
    if (omitted == 0) {
        std::printf("No se ha omitido ningún registro.\n");
    } else {
        std::printf("Registros omitidos:\n");
        if (r.materiasOmitidas)
            std::printf("  %s: la abreviatura es igual al código de actividad\n",
                plural(r.materiasOmitidas, "materia", "materias").c_str());
        if (r.asignaturasSinGrupo)
            std::printf("  %s: el grupo no está en GRUPOST\n",
                plural(r.asignaturasSinGrupo, "asignatura", "asignaturas").c_str());
        if (r.asignaturasSinMateria)
            std::printf("  %s: la materia no está en ASIGNOMT\n",
                plural(r.asignaturasSinMateria, "asignatura", "asignaturas").c_str());
        if (r.asignaturasSinCodigoMateria)
            std::printf("  %s: la materia no tiene código corto\n",
                plural(r.asignaturasSinCodigoMateria, "asignatura", "asignaturas").c_str());
    }
    for (const IdentificadorRecortado& id : r.recortados) {
        const std::string rows = id.veces > 1 ? " (" + std::to_string(id.veces) + " filas)" : std::string();
        if (id.caracteresPerdidos)
            std::printf("Aviso: el identificador '%s' tiene caracteres que las tablas no admiten; se guarda como "
                        "'%s' en el campo %s de %s%s y el horario no podrá volver a ese elemento.\n",
                id.valor.c_str(), id.guardado.c_str(), id.campo.c_str(), id.tabla.c_str(), rows.c_str());
        else
            std::printf("Aviso: el identificador '%s' no cabe en el campo %s de %s%s (%d caracteres); se guarda "
                        "recortado y el horario no podrá volver a ese elemento.\n",
                id.valor.c_str(), id.campo.c_str(), id.tabla.c_str(), rows.c_str(), id.ancho);
    }
}

void printReturnSummary(const ResumenRetorno& r)
{
    std::printf("Documento escrito: %s\n", r.resultado.string().c_str());
    std::printf("  %s en solucion_horario\n", plural(r.escritos, "sesión del horario", "sesiones del horario").c_str());
    if (r.omitidosDiaHora == 0 && r.omitidosSinMateria == 0) {
        std::printf("No se ha omitido ningún registro de SOLUC.\n");
    } else {
        std::printf("Registros de SOLUC omitidos:\n");
        if (r.omitidosDiaHora)
            std::printf("  %s: día u hora 0\n", plural(r.omitidosDiaHora, "registro", "registros").c_str());
        if (r.omitidosSinMateria)
            std::printf("  %s: la materia no está en ASIGNOMT\n",
                plural(r.omitidosSinMateria, "registro", "registros").c_str());
    }
}

} // namespace

int main(int argc, char** argv)
{
    Arguments args;
    if (const auto problem = parseArguments(argc, argv, args)) {
        std::fprintf(stderr, "%s\n\n", problem->c_str());
        printUsage(stderr);
        return kExitError;
    }
    if (args.help) {
        printUsage(stdout);
        return kExitOk;
    }
    try {
        const RegionalSettings regional = regionalFromSystem();
        if (args.command == "exportar") {
            auto run = std::make_unique<Exportacion>(args.document, args.directory, regional);
            printExportSummary(run->ejecutar(), args.directory);
            std::printf("Proceso finalizado\n");
            // The tables are closed; what the run still holds is the loaded document, which
            // the system takes back at exit at once, where freeing it node by node would
            // cost a tenth of the run on a large document.
            std::fflush(stdout);
            std::_Exit(kExitOk);
        } else {
            RetornoHorario run(args.document, args.directory, regional);
            printReturnSummary(run.ejecutar());
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
