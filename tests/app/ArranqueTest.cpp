// The window's mode from its command line, and the completion value's rules.
#include "app/Arranque.h"
#include "app/Finalizacion.h"

#include <gtest/gtest.h>

using namespace ponteva;

TEST(Arranque, CommandLines)
{
    struct Case {
        std::vector<std::string> args;
        bool embebido;
        Direccion direccion;
        std::uint32_t ventana;
        const char* aviso; // nullptr: none
    };
    const Case cases[] = {
        {{}, false, Direccion::Ambas, 0, nullptr},
        {{"exportar"}, false, Direccion::Ambas, 0, nullptr},
        // Three arguments are not looked at, not even a bad handle.
        {{"exportar", "zz", "x"}, false, Direccion::Ambas, 0, nullptr},
        {{"EXPORTAR", "1A2B"}, true, Direccion::Exportar, 0x1A2B, nullptr},
        {{"Exportar", "1a2b"}, true, Direccion::Exportar, 0x1A2B, nullptr},
        {{"importar", "1a2b"}, true, Direccion::Importar, 0x1A2B, nullptr},
        {{"ImPoRtAr", "0"}, true, Direccion::Importar, 0, nullptr},
        {{"otra", "1a2b"}, true, Direccion::Ambas, 0x1A2B, nullptr},
        {{"", "ffffffff"}, true, Direccion::Ambas, 0xFFFFFFFFu, nullptr},
        {{"importar", "00000001"}, true, Direccion::Importar, 1, nullptr},
        // Only A to Z are lowered: a dotted capital I is another word.
        {{"İMPORTAR", "10"}, true, Direccion::Ambas, 0x10, nullptr},
        {{"exportar ", "10"}, true, Direccion::Ambas, 0x10, nullptr},
        {{"exportar", "1g"}, false, Direccion::Ambas, 0, "'$1g' no es un valor entero válido"},
        {{"exportar", ""}, false, Direccion::Ambas, 0, "'$' no es un valor entero válido"},
        {{"exportar", "0x1A"}, false, Direccion::Ambas, 0, "'$0x1A' no es un valor entero válido"},
        {{"exportar", "$1A"}, false, Direccion::Ambas, 0, "'$$1A' no es un valor entero válido"},
        {{"exportar", " 1A"}, false, Direccion::Ambas, 0, "'$ 1A' no es un valor entero válido"},
        {{"exportar", "-1"}, false, Direccion::Ambas, 0, "'$-1' no es un valor entero válido"},
        // More than 32 bits.
        {{"exportar", "123456789"}, false, Direccion::Ambas, 0, "'$123456789' no es un valor entero válido"},
    };
    for (const auto& c : cases) {
        const std::string where = ::testing::PrintToString(c.args);
        const Arranque a = leerArranque(c.args);
        EXPECT_EQ(a.embebido, c.embebido) << where;
        EXPECT_EQ(a.direccion, c.direccion) << where;
        EXPECT_EQ(a.ventana, c.ventana) << where;
        EXPECT_EQ(a.aviso.value_or("(none)"), c.aviso ? c.aviso : "(none)") << where;
    }
}

TEST(Finalizacion, ValueAndClosingAfterEachOutcome)
{
    struct Case {
        bool embebido;
        std::vector<Desenlace> runs;
        int valor;
        bool cierraTrasElUltimo;
    };
    using D = Desenlace;
    const Case cases[] = {
        {true, {}, 0, false},
        {false, {}, 0, false},
        {true, {D::Terminado}, 1, true},
        {false, {D::Terminado}, 1, false},
        {true, {D::FaltaEntrada}, -1, true},
        // Stand-alone, a missing input leaves the value alone and the window open.
        {false, {D::FaltaEntrada}, 0, false},
        {false, {D::Terminado, D::FaltaEntrada}, 1, false},
        {true, {D::Error}, 0, false},
        {true, {D::Error, D::Error}, 0, false},
        {false, {D::Terminado, D::Error}, 1, false},
        {true, {D::Error, D::Terminado}, 1, true},
        {true, {D::Error, D::FaltaEntrada}, -1, true},
    };
    for (const auto& c : cases) {
        Finalizacion f(c.embebido);
        bool cierra = false;
        for (Desenlace d : c.runs)
            cierra = f.anotar(d);
        const std::string where
            = (c.embebido ? "embedded, " : "stand-alone, ") + std::to_string(c.runs.size()) + " runs";
        EXPECT_EQ(f.valor(), c.valor) << where;
        EXPECT_EQ(cierra, c.cierraTrasElUltimo) << where;
        EXPECT_EQ(f.escribeAlCerrar(), c.embebido) << where;
    }
}
