// The completion value the launching timetabler reads from Veltrix.ini: 0 until a run
// ends, 1 after a run that went through all its steps, -1 when an embedded run finds
// its input missing. A run that ends by an error changes nothing.
#pragma once

#include <string>

namespace ponteva {

enum class Desenlace { Terminado, FaltaEntrada, Error };

class Finalizacion {
public:
    explicit Finalizacion(bool embebido)
        : m_embebido(embebido)
    {
    }

    // Records how a run ended; returns whether the window closes now.
    bool anotar(Desenlace desenlace);

    int valor() const { return m_valor; }
    bool embebido() const { return m_embebido; }
    // Only an embedded window tells the timetabler how it ended.
    bool escribeAlCerrar() const { return m_embebido; }

private:
    bool m_embebido;
    int m_valor = 0;
};

// Where the completion value is written.
inline constexpr const char* kSeccionAjustes = "Transformadores";
inline constexpr const char* kClaveAjustes = "Transformado";
inline constexpr const char* kArchivoAjustes = "Veltrix.ini";

} // namespace ponteva
