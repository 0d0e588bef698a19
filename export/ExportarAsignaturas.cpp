// The builder of the teaching assignment table ASIGT: each assignment named by the short
// codes of its subject, teacher and group, with its hours laid out as sessions.
#include "Exportacion.h"

#include "export/Sesiones.h"

#include <initializer_list>

namespace ponteva {

using dbf::FieldDef;
using dbf::FieldType;

namespace {

// The fields of the first row of a look-up table whose key field holds an identifier.
// Assignments come grouped (a group's, then the next group's), so the last identifier's
// row is kept: the table does not change while the builder reads it.
class Busqueda {
public:
    Busqueda(dbf::Table& tabla, const char* clave, std::initializer_list<const char*> campos)
        : m_tabla(tabla)
        , m_clave(clave)
        , m_campos(campos)
        , m_valores(campos.size())
    {
    }

    bool buscar(const std::string& id)
    {
        if (m_usada && id == m_id)
            return m_hallada;
        m_usada = true;
        m_id = id;
        m_hallada = m_tabla.locate(m_clave, id);
        for (std::size_t i = 0; m_hallada && i < m_campos.size(); ++i)
            m_valores[i] = m_tabla.text(m_campos[i]);
        return m_hallada;
    }

    // The i-th field asked for, of the row found last.
    const std::string& operator[](std::size_t i) const { return m_valores[i]; }

private:
    dbf::Table& m_tabla;
    const char* m_clave;
    std::vector<const char*> m_campos;
    std::vector<std::string> m_valores;
    std::string m_id;
    bool m_usada = false;
    bool m_hallada = false;
};

} // namespace

void Exportacion::ExportarAsignaturas()
{
    auto texto = [](const char* name, int width) { return FieldDef{name, FieldType::Character, width}; };
    dbf::Table tabla(m_directorio, "ASIGT", opcionesTabla());
    crearTabla(tabla,
        {texto("CASIG", 10), texto("CPROF", 10), texto("CGRUP", 10), texto("CAULA", 10), texto("TURNO", 1),
            texto("NIVEL", 5), texto("CURSO", 3), texto("GRUPO", 2), {"HORAS", FieldType::Float, 0},
            texto("SESIONES", 20), texto("CTAREA", 10), texto("NCONEX", 4), texto("IDCURSO", 10), texto("IDGRUP", 10),
            texto("IDASIG", 10), texto("IDPROF", 10)});
    m_tablaGrupos.open();
    m_tablaNomAsg.open();
    m_tablaProfesor.open();
    Busqueda grupo(m_tablaGrupos, "IDGRUPO", {"ABREV", "TURNO", "NIVEL", "CURSO", "GRUPO"});
    Busqueda materia(m_tablaNomAsg, "IDASIG", {"COD", "CODTAREA"});
    Busqueda profesor(m_tablaProfesor, "IDPROF", {"ABREV"});

    seleccionar("/centro/asignaturas/dasignatura");
    for (std::size_t i = 0; i < m_nodos.size(); ++i) {
        registro(i);
        const std::string idGrupo = campo("cgrupo");
        if (!grupo.buscar(idGrupo)) {
            ++m_resumen.asignaturasSinGrupo;
            continue;
        }
        const std::string idMateria = campo("casig");
        if (!materia.buscar(idMateria)) {
            ++m_resumen.asignaturasSinMateria;
            continue;
        }
        const std::string idProfesor = campo("cprofe");
        const bool hayProfesor = profesor.buscar(idProfesor);

        // Worked out before the subject code test: a bad number stops the run either way.
        const Horas horas = calcularHoras(campo("nhoras"), m_regional.decimalSeparator);

        if (materia[0].empty()) {
            ++m_resumen.asignaturasSinCodigoMateria;
            continue;
        }
        anotarRecorte("ASIGT", "IDGRUP", "cgrupo", idGrupo, 10);
        anotarRecorte("ASIGT", "IDASIG", "casig", idMateria, 10);
        anotarRecorte("ASIGT", "IDPROF", "cprofe", idProfesor, 10);

        tabla.append();
        tabla.setText("CASIG", materia[0]);
        tabla.setText("CPROF", hayProfesor ? profesor[0] : std::string());
        tabla.setText("CGRUP", grupo[0]);
        tabla.setText("CAULA", "");
        tabla.setText("TURNO", grupo[1]);
        tabla.setText("NIVEL", grupo[2]);
        tabla.setText("CURSO", grupo[3]);
        tabla.setText("GRUPO", grupo[4]);
        tabla.setFloat("HORAS", horas.value);
        tabla.setText("SESIONES", horas.sessions);
        tabla.setText("CTAREA", materia[1]);
        tabla.setText("NCONEX", "");
        tabla.setText("IDCURSO", "");
        tabla.setText("IDGRUP", idGrupo);
        tabla.setText("IDASIG", idMateria);
        tabla.setText("IDPROF", idProfesor);
        tabla.post();
        ++m_resumen.asignaturas;
    }
    tabla.close();
    m_tablaGrupos.close();
    m_tablaNomAsg.close();
    m_tablaProfesor.close();
}

} // namespace ponteva
