// The completion value's rules.
#include "app/Finalizacion.h"

namespace ponteva {

bool Finalizacion::anotar(Desenlace desenlace)
{
    switch (desenlace) {
    case Desenlace::Terminado: m_valor = 1; return m_embebido;
    case Desenlace::FaltaEntrada:
        // Stand-alone, the user may simply choose again.
        if (m_embebido)
            m_valor = -1;
        return m_embebido;
    case Desenlace::Error: return false;
    }
    return false;
}

} // namespace ponteva
