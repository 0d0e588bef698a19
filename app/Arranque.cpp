// Command-line reading of the window's mode.
#include "app/Arranque.h"

namespace ponteva {

namespace {

// Only A to Z are lowered: the direction words are plain ASCII, and a locale-aware
// lowering would let other letters match on some systems and not on others.
std::string minusculasAscii(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

} // namespace

std::optional<std::uint32_t> leerHexadecimal(const std::string& texto)
{
    if (texto.empty() || texto.size() > 8)
        return std::nullopt;
    std::uint32_t valor = 0;
    for (char c : texto) {
        std::uint32_t digito;
        if (c >= '0' && c <= '9')
            digito = static_cast<std::uint32_t>(c - '0');
        else if (c >= 'a' && c <= 'f')
            digito = static_cast<std::uint32_t>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            digito = static_cast<std::uint32_t>(c - 'A' + 10);
        else
            return std::nullopt;
        valor = valor << 4 | digito;
    }
    return valor;
}

Arranque leerArranque(const std::vector<std::string>& args)
{
    Arranque a;
    if (args.size() != 2)
        return a;
    const auto ventana = leerHexadecimal(args[1]);
    if (!ventana) {
        a.aviso = "'$" + args[1] + "' no es un valor entero válido";
        return a;
    }
    a.embebido = true;
    a.ventana = *ventana;
    const std::string direccion = minusculasAscii(args[0]);
    if (direccion == "exportar")
        a.direccion = Direccion::Exportar;
    else if (direccion == "importar")
        a.direccion = Direccion::Importar;
    return a;
}

std::string avisoVentanaInexistente(const std::string& argumento)
{
    return "No existe la ventana '$" + argumento + "'; Ponteva se abre como ventana independiente.";
}

} // namespace ponteva
