#include "RetornoFixture.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

namespace ponteva::test {

const char* const kCatalogo = R"(<?xml version="1.0" encoding="UTF-8"?>
<centro codigo_interno=" 15001 " nombre="  IES  Rosalía de Castro " curso="2026/2027" version="1.0" fecha_exportacion="01/01/2020 9:00:00" otro="se pierde">
<materias>
  <dmaterias abrev="MAT" nombre="Matemáticas" codigo_actividad="DOC" codigo="M1"/>
  <dmaterias abrev="FQ" nombre="Física y Química" codigo_actividad="DOC" codigo="M2"/>
</materias>
<profesores>
  <profesor abrev="ICO" nombre="Irene" apellido1="Casals" apellido2="Ordi" codigo="P1"/>
  <profesor abrev="JGP" nombre="Juan" apellido1="García" apellido2="Pérez" codigo="P2"/>
</profesores>
<aulas>
  <daula nombre="Laboratorio de Física" capacidad_alumnos="24" codigo="A1"/>
  <daula nombre="Gimnasio" capacidad_alumnos="" codigo="A2"/>
</aulas>
<grupos>
  <dgrupo nombre="1º ESO A" codigo_nivel="ESO" turno="M" curso="1" codigo_tutor="P1" codigo="G1"/>
  <dgrupo nombre="2º ESO B" codigo_nivel="ESO" turno="T" curso="2" codigo_tutor="P2" codigo="G2"/>
</grupos>
<asignaturas>
  <dasignatura cgrupo="G1" casig="M1" cprofe="P1" nhoras="4"/>
</asignaturas>
</centro>
)";

namespace {

XmlElement convert(xmlNode* node)
{
    XmlElement e;
    e.name = reinterpret_cast<const char*>(node->name);
    for (xmlAttr* a = node->properties; a; a = a->next) {
        xmlChar* value = xmlNodeGetContent(reinterpret_cast<xmlNode*>(a));
        e.attributes.emplace_back(reinterpret_cast<const char*>(a->name), reinterpret_cast<const char*>(value));
        xmlFree(value);
    }
    for (xmlNode* c = node->children; c; c = c->next) {
        if (c->type == XML_ELEMENT_NODE)
            e.children.push_back(convert(c));
    }
    return e;
}

} // namespace

XmlElement parseXml(const std::filesystem::path& file)
{
    // From memory: the document service refuses every external load in this process.
    const std::string bytes = readFile(file);
    xmlDoc* doc = xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr, XML_PARSE_NONET);
    if (!doc)
        throw std::runtime_error("cannot parse " + file.string());
    XmlElement root = convert(xmlDocGetRootElement(doc));
    xmlFreeDoc(doc);
    return root;
}

RetornoTest::RetornoTest()
{
    std::filesystem::create_directory(workDir());
}

void RetornoTest::exportar(const std::string& doc)
{
    writeFile(document(), doc);
    Exportacion run(document(), workDir(), spanishSettings());
    run.ejecutar();
}

void RetornoTest::writeSoluc(const std::vector<Solucion>& rows, dbf::FieldType horaType)
{
    test::writeSoluc(workDir(), rows, horaType);
}

std::tm RetornoTest::momento()
{
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 11;
    t.tm_mday = 11;
    t.tm_hour = 9;
    t.tm_min = 5;
    t.tm_sec = 7;
    return t;
}

ResumenRetorno RetornoTest::retornar()
{
    RetornoHorario run(document(), workDir(), spanishSettings(), momento());
    return run.ejecutar();
}

} // namespace ponteva::test
