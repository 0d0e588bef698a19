// The builder of the teaching assignment table ASIGT: each assignment named by the short
// codes of its subject, teacher and group, with its hours laid out as sessions.
#include "Exportacion.h"

#include "export/Sesiones.h"

namespace ponteva {

using dbf::FieldDef;
using dbf::FieldType;

void Exportacion::ExportarAsignaturas()
{
    auto texto = [](const char* name, int width) { return FieldDef{name, FieldType::Character, width}; };
    dbf::Table tabla(m_directorio, "ASIGT", opcionesTabla());
    crearTabla(tabla, {texto("CASIG", 10), texto("CPROF", 10), texto("CGRUP", 10), texto("CAULA", 10),
                       texto("TURNO", 1), texto("NIVEL", 5), texto("CURSO", 3), texto("GRUPO", 2),
                       {"HORAS", FieldType::Float, 0}, texto("SESIONES", 20), texto("CTAREA", 10),
                       texto("NCONEX", 4), texto("IDCURSO", 10), texto("IDGRUP", 10), texto("IDASIG", 10),
                       texto("IDPROF", 10)});
    m_tablaGrupos.open();
    m_tablaNomAsg.open();
    m_tablaProfesor.open();

    seleccionar("/centro/asignaturas/dasignatura");
    for (std::size_t i = 0; i < m_nodos.size(); ++i) {
        registro(i);
        const std::string idGrupo = campo("cgrupo");
        if (!m_tablaGrupos.locate("IDGRUPO", idGrupo)) {
            ++m_resumen.asignaturasSinGrupo;
            continue;
        }
        const std::string idMateria = campo("casig");
        if (!m_tablaNomAsg.locate("IDASIG", idMateria)) {
            ++m_resumen.asignaturasSinMateria;
            continue;
        }
        const std::string idProfesor = campo("cprofe");
        std::string profesor;
        if (m_tablaProfesor.locate("IDPROF", idProfesor))
            profesor = m_tablaProfesor.text("ABREV");

        // Worked out before the subject code test: a bad number stops the run either way.
        const Horas horas = calcularHoras(campo("nhoras"), m_regional.decimalSeparator);

        const std::string materia = m_tablaNomAsg.text("COD");
        if (materia.empty()) {
            ++m_resumen.asignaturasSinCodigoMateria;
            continue;
        }
        anotarRecorte("ASIGT", "IDGRUP", idGrupo, 10);
        anotarRecorte("ASIGT", "IDASIG", idMateria, 10);
        anotarRecorte("ASIGT", "IDPROF", idProfesor, 10);

        tabla.append();
        tabla.setText("CASIG", materia);
        tabla.setText("CPROF", profesor);
        tabla.setText("CGRUP", m_tablaGrupos.text("ABREV"));
        tabla.setText("CAULA", "");
        tabla.setText("TURNO", m_tablaGrupos.text("TURNO"));
        tabla.setText("NIVEL", m_tablaGrupos.text("NIVEL"));
        tabla.setText("CURSO", m_tablaGrupos.text("CURSO"));
        tabla.setText("GRUPO", m_tablaGrupos.text("GRUPO"));
        tabla.setFloat("HORAS", horas.value);
        tabla.setText("SESIONES", horas.sessions);
        tabla.setText("CTAREA", m_tablaNomAsg.text("CODTAREA"));
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
