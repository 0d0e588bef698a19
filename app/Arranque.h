// The window's mode, read from the command line: exactly two arguments (the direction and
// the handle of the window that is to hold it, in hexadecimal) make it embedded.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ponteva {

enum class Direccion { Ambas, Exportar, Importar };

struct Arranque {
    bool embebido = false;
    Direccion direccion = Direccion::Ambas;
    std::uint32_t ventana = 0; // the holding window's handle, a 32-bit value
    // Set when the handle is not a hexadecimal number: the message to show before the
    // window comes up stand-alone.
    std::optional<std::string> aviso;
};

// args: the arguments after the program's name, UTF-8.
Arranque leerArranque(const std::vector<std::string>& args);

// Reads up to 8 hexadecimal digits, either case, without prefix.
std::optional<std::uint32_t> leerHexadecimal(const std::string& texto);

// The message for a handle that names no window; the window then comes up stand-alone.
std::string avisoVentanaInexistente(const std::string& argumento);

} // namespace ponteva
