// The builders of the catalogue tables: subjects, teachers, rooms, groups, and the empty
// day and period grid.
#include "Exportacion.h"

#include "export/CodeList.h"
#include "text/Clipper.h"

namespace ponteva {

using dbf::FieldDef;
using dbf::FieldType;

namespace {

FieldDef texto(const char* name, int width)
{
    return {name, FieldType::Character, width};
}

// First character of a trimmed name followed by its initials.
std::string inicialesDe(const std::string& nombre)
{
    return nombre.empty() ? std::string() : nombre.substr(0, 1) + Initials(nombre);
}

} // namespace

void Exportacion::ExportarMaterias()
{
    dbf::Table tabla(m_directorio, "ASIGNOMT", opcionesTabla());
    crearTabla(tabla,
        {texto("COD", 10), texto("CODLARGO", 10), texto("NOMBRE", 80), texto("DENIVEL", 5), texto("DECURSO", 3),
            texto("CODTAREA", 10), {"ESTAREA", FieldType::Logical, 0}, texto("IDASIG", 10)});
    seleccionar("/centro/materias/dmaterias");
    for (std::size_t i = 0; i < m_nodos.size(); ++i) {
        registro(i);
        const std::string abrev = campo("abrev");
        const std::string nombre = campo("nombre");
        const std::string actividad = campo("codigo_actividad");
        if (abrev == actividad) {
            ++m_resumen.materiasOmitidas;
            continue;
        }
        const std::string base = Left(StripBlanks(abrev.empty() ? inicialesDe(nombre) : abrev), 10);
        const std::string codigo = m_codigosMaterias.settle(base, Left(base, 9));
        const std::string id = campo("codigo");
        anotarRecorte("ASIGNOMT", "IDASIG", "codigo", id, 10);

        tabla.append();
        tabla.setText("COD", codigo);
        tabla.setText("CODLARGO", Left(nombre, 10));
        tabla.setText("NOMBRE", nombre);
        tabla.setText("DENIVEL", campo("denivel"));
        tabla.setText("DECURSO", campo("decurso"));
        tabla.setText("CODTAREA", actividad);
        tabla.setBool("ESTAREA", false);
        tabla.setText("IDASIG", id);
        tabla.post();
        ++m_resumen.materias;
    }
    // Teaching duty, which the timetabler needs whatever the document holds.
    tabla.append();
    tabla.setText("COD", "LECT");
    tabla.setText("CODLARGO", "LECTIVA");
    tabla.setText("NOMBRE", "Materia Lectiva de Docencia Directa");
    tabla.setText("CODTAREA", "LECT");
    tabla.setBool("ESTAREA", true);
    tabla.setText("IDASIG", "LECT");
    tabla.post();
    ++m_resumen.materias;
    tabla.close();
}

void Exportacion::ExportarProfesores()
{
    dbf::Table tabla(m_directorio, "PROFT", opcionesTabla());
    crearTabla(
        tabla, {texto("ABREV", 10), texto("NOMBRE", 80), texto("DEPART", 40), texto("DNI", 14), texto("IDPROF", 10)});
    CodeList codigos(CodeList::Compare::IgnoreCase, "PROFT");
    seleccionar("/centro/profesores/profesor");
    for (std::size_t i = 0; i < m_nodos.size(); ++i) {
        registro(i);
        const std::string abrev = campo("abrev");
        const std::string nombre = campo("nombre") + ", " + campo("apellido1") + " " + campo("apellido2");
        const std::string codigo = codigos.settle(Left(abrev, 10), Left(abrev, 9));
        const std::string id = campo("codigo");
        anotarRecorte("PROFT", "IDPROF", "codigo", id, 10);

        tabla.append();
        tabla.setText("ABREV", codigo);
        tabla.setText("NOMBRE", nombre);
        tabla.setText("DNI", campo("documento"));
        tabla.setText("DEPART", campo("departamen"));
        tabla.setText("IDPROF", id);
        tabla.post();
        ++m_resumen.profesores;
    }
    tabla.close();
}

void Exportacion::ExportarAulas()
{
    dbf::Table tabla(m_directorio, "AULAT", opcionesTabla());
    crearTabla(tabla,
        {texto("ABREV", 10), texto("NOMBRE", 80), texto("EDIFICIO", 1), {"MAXALUM", FieldType::Integer, 0},
            texto("IDAULA", 20)});
    CodeList codigos(CodeList::Compare::IgnoreCase, "AULAT");
    seleccionar("/centro/aulas/daula");
    for (std::size_t i = 0; i < m_nodos.size(); ++i) {
        registro(i);
        const std::string nombre = campo("nombre");
        std::string candidato = inicialesDe(nombre);
        if (candidato.size() < 3)
            candidato = Left(nombre, 8);
        const std::string codigo = codigos.settle(CodeList::cutTo10(candidato), Left(candidato, 8));

        tabla.append();
        tabla.setText("ABREV", codigo);
        tabla.setText("NOMBRE", nombre);
        // The engine refuses a capacity that is not a whole number; the row is not posted.
        tabla.setText("MAXALUM", campo("capacidad_alumnos"));
        const std::string id = campo("codigo");
        anotarRecorte("AULAT", "IDAULA", "codigo", id, 20);
        tabla.setText("IDAULA", id);
        tabla.post();
        ++m_resumen.aulas;
    }
    tabla.close();
}

void Exportacion::ExportarGrupos()
{
    dbf::Table tabla(m_directorio, "GRUPOST", opcionesTabla());
    crearTabla(tabla,
        {texto("ABREV", 10), texto("TURNO", 1), texto("NIVEL", 5), texto("CURSO", 3), texto("GRUPO", 2),
            texto("DESCRIP", 80), texto("MARCO", 1), texto("TUTOR", 10), texto("IDGRUPO", 10)});
    m_tablaProfesor.open();
    CodeList codigos(CodeList::Compare::IgnoreCase, "GRUPOST");
    seleccionar("/centro/grupos/dgrupo");
    for (std::size_t i = 0; i < m_nodos.size(); ++i) {
        registro(i);
        const std::string nombre = campo("nombre");
        const std::string nivel = campo("codigo_nivel");
        const std::string turno = campo("turno");
        const std::string curso = campo("curso");
        const std::string letra = Right(nombre, 1);
        const std::string candidato = turno + curso + nivel + letra;

        // An empty tutor code names no teacher; no look-up is made for it.
        const std::string codigoTutor = campo("codigo_tutor");
        std::string tutor;
        if (!codigoTutor.empty() && m_tablaProfesor.locate("IDPROF", codigoTutor))
            tutor = m_tablaProfesor.text("ABREV");

        const std::string codigo = codigos.settle(CodeList::cutTo10(candidato), Left(candidato, 9));

        tabla.append();
        tabla.setText("ABREV", codigo);
        tabla.setText("TURNO", turno);
        tabla.setText("NIVEL", nivel);
        tabla.setText("CURSO", curso);
        tabla.setText("GRUPO", letra);
        tabla.setText("DESCRIP", nombre);
        tabla.setText("MARCO", "0");
        tabla.setText("TUTOR", tutor);
        const std::string id = campo("codigo");
        anotarRecorte("GRUPOST", "IDGRUPO", "codigo", id, 10);
        tabla.setText("IDGRUPO", id);
        tabla.post();
        ++m_resumen.grupos;
    }
    tabla.close();
}

void Exportacion::ExportarTramos()
{
    dbf::Table tabla(m_directorio, "DIASHORAST", opcionesTabla());
    dbf::Table::removeFiles(m_directorio, tabla.name());
    tabla.create({texto("DIHO", 10), texto("CODDIHO", 10), texto("DIA", 20), texto("TEXTODIA", 20), texto("HORA", 8),
        texto("TEXTOHOR", 15), texto("HORADESDE", 8), texto("HORAHASTA", 8), texto("MINUTOS", 8), texto("MARCO", 1),
        texto("MARCOXML", 10)});
}

} // namespace ponteva
