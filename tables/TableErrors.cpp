// The Spanish messages of the table engine.
#include "tables/TableErrors.h"

#include "core/PathText.h"
#include "text/Ansi.h"

namespace ponteva::dbf::errors {

std::string quoted(std::string_view ansi)
{
    return "'" + ansiToUtf8(ansi) + "'";
}

void damaged(const std::string& table, const std::string& detail)
{
    throw Error("La tabla " + table + " está dañada: " + detail + ".");
}

void missingDirectory(const std::string& table, const std::filesystem::path& dir, std::string_view action)
{
    throw Error("No existe el directorio de trabajo '" + pathText(dir) + "'; no se puede " + std::string(action)
        + " la tabla " + table + ".");
}

void missingTable(const std::string& table, const std::filesystem::path& dir)
{
    throw Error("No existe la tabla " + table + " en '" + pathText(dir) + "'.");
}

void inUse(const std::string& table)
{
    throw Error("La tabla " + table + " está en uso por otro programa; ciérrela y vuelva a intentarlo.");
}

void unknownField(const std::string& table, std::string_view field)
{
    throw Error("La tabla " + table + " no tiene el campo " + quoted(field) + ".");
}

void systemFailure(const std::string& table, std::string_view action, int err)
{
    throw Error("No se pudo " + std::string(action) + " la tabla " + table + ": " + describeErrno(err) + ".");
}

void shortRead(const std::string& table, std::uint64_t read, std::uint64_t expected)
{
    throw Error("No se pudo leer entera la tabla " + table + ": se leyeron " + std::to_string(read) + " de "
        + std::to_string(expected) + " bytes.");
}

void notOpen(const std::string& table)
{
    throw Error("La tabla " + table + " no está abierta.");
}

void notInteger(std::string_view value, std::string_view field)
{
    throw Error(quoted(value) + " no es un valor entero válido para el campo " + quoted(field));
}

void notNumber(const std::string& table, std::string_view value, std::string_view field)
{
    throw Error(
        quoted(value) + " no es un número válido para el campo " + quoted(field) + " de la tabla " + table + ".");
}

void fail(const std::string& table, const std::string& detail)
{
    throw Error("La tabla " + table + " " + detail + ".");
}

} // namespace ponteva::dbf::errors
