#!/usr/bin/python3
"""Writes minimal Veltrix working tables (GRUPOST, ASIGT, PROFT, AULAT, ASIGNOMT) from a
Zedra document, to try examples/veltrix_simulado.py without the ponteva-cli export.

This is a test fixture only: codes are the Zedra identifiers cut to 10 characters and
records that refer to missing items are kept; it makes no attempt to export faithfully.

Usage: tablas_prueba.py DOC WORKDIR [--lower]   (--lower: lower-case file names)
"""

import argparse
import os
import sys
import xml.etree.ElementTree as ET

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "examples"))
from veltrix_simulado import dbf_bytes  # noqa: E402

DATE = bytes((126, 9, 1))


def c(name, width):
    return (name, "C", width, 0)


TABLES = {
    "GRUPOST": [c("ABREV", 10), c("TURNO", 1), c("NIVEL", 5), c("CURSO", 3), c("GRUPO", 10),
                c("DESCRIP", 40), c("MARCO", 10), c("TUTOR", 10), c("IDGRUPO", 10)],
    "ASIGT": [c("CASIG", 10), c("CPROF", 10), c("CGRUP", 10), c("CAULA", 10), c("TURNO", 1),
              c("NIVEL", 5), c("CURSO", 3), c("GRUPO", 10), ("HORAS", "F", 20, 6),
              c("SESIONES", 20), c("CTAREA", 10), ("NCONEX", "N", 11, 0), c("IDCURSO", 10),
              c("IDGRUP", 10), c("IDASIG", 10), c("IDPROF", 10)],
    "PROFT": [c("ABREV", 10), c("NOMBRE", 40), c("DEPART", 40), c("DNI", 12), c("IDPROF", 10)],
    "AULAT": [c("ABREV", 10), c("NOMBRE", 40), c("EDIFICIO", 20), ("MAXALUM", "N", 11, 0),
              c("IDAULA", 20)],
    "ASIGNOMT": [c("COD", 10), c("CODLARGO", 20), c("NOMBRE", 60), c("DENIVEL", 5),
                 c("DECURSO", 3), c("CODTAREA", 10), ("ESTAREA", "L", 1, 0), c("IDASIG", 10)],
}


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("doc")
    ap.add_argument("workdir")
    ap.add_argument("--lower", action="store_true", help="write lower-case file names")
    args = ap.parse_args()

    root = ET.parse(args.doc).getroot()
    get = lambda e, k: (e.get(k) or "").strip()  # noqa: E731
    groups = {get(g, "codigo"): g for g in root.iter("dgrupo")}
    rows = {name: [] for name in TABLES}
    for g in groups.values():
        rows["GRUPOST"].append([get(g, "codigo")[:10], get(g, "turno"), get(g, "codigo_nivel"),
                                get(g, "curso"), get(g, "nombre").split()[-1], get(g, "nombre"),
                                "", get(g, "codigo_tutor")[:10], get(g, "codigo")[:10]])
    for a in root.iter("dasignatura"):
        g = groups.get(get(a, "cgrupo"))
        hours = float(get(a, "nhoras").replace(",", ".") or 0)
        rows["ASIGT"].append([get(a, "casig")[:10], get(a, "cprofe")[:10], get(a, "cgrupo")[:10], "",
                              get(g, "turno") if g is not None else "",
                              get(g, "codigo_nivel") if g is not None else "",
                              get(g, "curso") if g is not None else "", "", hours,
                              get(a, "nhoras"), "LECT", 0, "", get(a, "cgrupo")[:10],
                              get(a, "casig")[:10], get(a, "cprofe")[:10]])
    for p in root.iter("profesor"):
        name = " ".join(x for x in (get(p, "apellido1"), get(p, "apellido2")) if x) + ", " + get(p, "nombre")
        rows["PROFT"].append([get(p, "codigo")[:10], name, get(p, "departamen"),
                              get(p, "documento"), get(p, "codigo")[:10]])
    for r in root.iter("daula"):
        rows["AULAT"].append([get(r, "codigo")[:10], get(r, "nombre"), "",
                              int(get(r, "capacidad_alumnos") or 0), get(r, "codigo")])
    rows["ASIGNOMT"].append(["LECT", "LECT", "Lectiva", "", "", "LECT", "T", "LECT"])
    for m in root.iter("dmaterias"):
        rows["ASIGNOMT"].append([get(m, "codigo")[:10], get(m, "abrev"), get(m, "nombre"),
                                 get(m, "denivel"), get(m, "decurso"), "LECT", "F", get(m, "codigo")[:10]])

    os.makedirs(args.workdir, exist_ok=True)
    for name, fields in TABLES.items():
        fname = (name.lower() + ".dbf") if args.lower else (name + ".DBF")
        with open(os.path.join(args.workdir, fname), "wb") as f:
            f.write(dbf_bytes(fields, rows[name], DATE))
    print("tablas_prueba: %s" % ", ".join("%s=%d" % (n, len(r)) for n, r in rows.items()), file=sys.stderr)


if __name__ == "__main__":
    main()
