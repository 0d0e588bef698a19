#!/usr/bin/python3
"""Generates a realistic Zedra exchange document (root <centro>) for Spanish secondary schools.

One school (--scale 1) has about 70 teachers, 40 rooms, 35 groups, 120 subjects and
600 teaching assignments; --scale N puts N such schools into one document, with
identifiers unique across schools and abbreviations repeating between them.
The output depends only on the arguments: the same arguments give byte-identical files.

--problems adds a few deliberate defects that an export has to survive and report:
dangling group/subject/teacher references, a subject with an empty abbreviation,
a guard-duty subject whose abbreviation equals its activity code, a 12-character
teacher identifier, values padded with blanks and a name outside Windows-1252.
"""

import argparse
import math
import random
import sys

# ---------------------------------------------------------------------------
# Catalogues
# ---------------------------------------------------------------------------

# Departments: (name, short key used below)
DEPTS = {
    "MAT": "Matemáticas",
    "LEN": "Lengua Castellana y Literatura",
    "ING": "Inglés",
    "FRA": "Francés",
    "GH": "Geografía e Historia",
    "BG": "Biología y Geología",
    "FQ": "Física y Química",
    "EF": "Educación Física",
    "MUS": "Música",
    "DIB": "Dibujo",
    "TEC": "Tecnología",
    "FIL": "Filosofía",
    "CLA": "Cultura Clásica",
    "ECO": "Economía",
    "REL": "Religión",
    "ORI": "Orientación",
    "INF": "Informática",
}

# Subject catalogue per (level, year): (key, name, abbreviation, department, weekly hours).
# Abbreviations repeat between years (every year has its 'MAT'), as in real schools.
CURRICULUM = {
    ("ESO", "1"): [
        ("BG", "Biología y Geología", "BG", "BG", 3),
        ("GH", "Geografía e Historia", "GH", "GH", 3),
        ("LCL", "Lengua Castellana y Literatura", "LCL", "LEN", 4),
        ("ING", "Lengua Extranjera: Inglés", "ING", "ING", 4),
        ("MAT", "Matemáticas", "MAT", "MAT", 4),
        ("EF", "Educación Física", "Ed. Física", "EF", 2),
        ("MUS", "Música", "MUS", "MUS", 2),
        ("EPVA", "Educación Plástica, Visual y Audiovisual", "EPVA", "DIB", 2),
        ("TYD", "Tecnología y Digitalización", "TyD", "TEC", 2),
        ("FRA", "Segunda Lengua Extranjera: Francés", "FRA", "FRA", 2),
        ("REL", "Religión Católica", "REL", "REL", 1),
        ("AE", "Atención Educativa", "AE", "ORI", 1),
        ("TUT", "Tutoría", "TUT", None, 1),
        ("RMAT", "Refuerzo de Matemáticas", "RMAT", "MAT", 1),
    ],
    ("ESO", "2"): [
        ("FQ", "Física y Química", "FQ", "FQ", 3),
        ("GH", "Geografía e Historia", "GH", "GH", 3),
        ("LCL", "Lengua Castellana y Literatura", "LCL", "LEN", 4),
        ("ING", "Lengua Extranjera: Inglés", "ING", "ING", 4),
        ("MAT", "Matemáticas", "MAT", "MAT", 4),
        ("EF", "Educación Física", "Ed. Física", "EF", 2),
        ("MUS", "Música", "MUS", "MUS", 2),
        ("EPVA", "Educación Plástica, Visual y Audiovisual", "EPVA", "DIB", 2),
        ("TYD", "Tecnología y Digitalización", "TyD", "TEC", 2),
        ("FRA", "Segunda Lengua Extranjera: Francés", "FRA", "FRA", 2),
        ("REL", "Religión Católica", "REL", "REL", 1),
        ("AE", "Atención Educativa", "AE", "ORI", 1),
        ("TUT", "Tutoría", "TUT", None, 1),
        ("RLCL", "Refuerzo de Lengua", "RLCL", "LEN", 1),
    ],
    ("ESO", "3"): [
        ("BG", "Biología y Geología", "BG", "BG", 2),
        ("FQ", "Física y Química", "FQ", "FQ", 2),
        ("GH", "Geografía e Historia", "GH", "GH", 3),
        ("LCL", "Lengua Castellana y Literatura", "LCL", "LEN", 4),
        ("ING", "Lengua Extranjera: Inglés", "ING", "ING", 4),
        ("MAT", "Matemáticas", "MAT", "MAT", 4),
        ("EF", "Educación Física", "Ed. Física", "EF", 2),
        ("MUS", "Música", "MUS", "MUS", 2),
        ("TYD", "Tecnología y Digitalización", "TyD", "TEC", 2),
        ("FRA", "Segunda Lengua Extranjera: Francés", "FRA", "FRA", 2),
        ("EVCE", "Educación en Valores Cívicos y Éticos", "EVCE", "FIL", 1),
        ("REL", "Religión Católica", "REL", "REL", 1),
        ("AE", "Atención Educativa", "AE", "ORI", 1),
        ("TUT", "Tutoría", "TUT", None, 1),
        ("CCL", "Cultura Clásica", "CCL", "CLA", 2),
    ],
    ("ESO", "4"): [
        ("MATA", "Matemáticas A", "MATA", "MAT", 4),
        ("MATB", "Matemáticas B", "MATB", "MAT", 4),
        ("LCL", "Lengua Castellana y Literatura", "LCL", "LEN", 4),
        ("ING", "Lengua Extranjera: Inglés", "ING", "ING", 4),
        ("GH", "Geografía e Historia", "GH", "GH", 3),
        ("EF", "Educación Física", "Ed. Física", "EF", 2),
        ("REL", "Religión Católica", "REL", "REL", 1),
        ("AE", "Atención Educativa", "AE", "ORI", 1),
        ("TUT", "Tutoría", "TUT", None, 1),
        ("BG", "Biología y Geología", "BG", "BG", 3),
        ("FQ", "Física y Química", "FQ", "FQ", 3),
        ("ECE", "Economía y Emprendimiento", "ECE", "ECO", 3),
        ("LAT", "Latín", "LAT", "CLA", 3),
        ("TEC", "Tecnología", "TEC", "TEC", 3),
        ("DIG", "Digitalización", "DIG", "TEC", 3),
        ("EXA", "Expresión Artística", "EXA", "DIB", 3),
        ("FOPP", "Formación y Orientación Personal y Profesional", "FOPP", "ORI", 3),
        ("FRA", "Segunda Lengua Extranjera: Francés", "FRA", "FRA", 2),
    ],
    ("BACH", "1"): [
        ("LCL1", "Lengua Castellana y Literatura I", "LCL I", "LEN", 3),
        ("ING1", "Lengua Extranjera I: Inglés", "ING I", "ING", 3),
        ("FIL", "Filosofía", "FIL", "FIL", 3),
        ("EF", "Educación Física", "EF", "EF", 2),
        ("TUT", "Tutoría", "TUT", None, 1),
        ("MAT1", "Matemáticas I", "MAT I", "MAT", 4),
        ("FQ", "Física y Química", "FyQ", "FQ", 4),
        ("BGCA", "Biología, Geología y Ciencias Ambientales", "BGCA", "BG", 4),
        ("DT1", "Dibujo Técnico I", "DT I", "DIB", 4),
        ("TIN1", "Tecnología Industrial I", "TIN I", "TEC", 4),
        ("MACS1", "Matemáticas Aplicadas a las Ciencias Sociales I", "MACS I", "MAT", 4),
        ("LAT1", "Latín I", "LAT I", "CLA", 4),
        ("GRI1", "Griego I", "GRI I", "CLA", 4),
        ("ECO", "Economía", "ECO", "ECO", 4),
        ("HMC", "Historia del Mundo Contemporáneo", "HMC", "GH", 4),
        ("LU", "Literatura Universal", "LU", "LEN", 4),
        ("ANA", "Anatomía Aplicada", "ANA", "BG", 2),
        ("CC", "Cultura Científica", "CC", "FQ", 2),
        ("FRA1", "Francés I", "FRA I", "FRA", 2),
        ("TIC1", "Tecnologías de la Información y la Comunicación I", "TIC I", "TEC", 2),
        ("PII", "Proyectos de Investigación Integrados", "PII", "ORI", 2),
        ("REL", "Religión Católica", "REL", "REL", 1),
    ],
    ("BACH", "2"): [
        ("LCL2", "Lengua Castellana y Literatura II", "LCL II", "LEN", 3),
        ("ING2", "Lengua Extranjera II: Inglés", "ING II", "ING", 3),
        ("HE", "Historia de España", "HE", "GH", 3),
        ("HFIL", "Historia de la Filosofía", "HFIL", "FIL", 3),
        ("TUT", "Tutoría", "TUT", None, 1),
        ("MAT2", "Matemáticas II", "MAT II", "MAT", 4),
        ("FIS", "Física", "FIS", "FQ", 4),
        ("QUI", "Química", "QUI", "FQ", 4),
        ("BIO", "Biología", "BIO", "BG", 4),
        ("DT2", "Dibujo Técnico II", "DT II", "DIB", 4),
        ("TIN2", "Tecnología Industrial II", "TIN II", "TEC", 4),
        ("MACS2", "Matemáticas Aplicadas a las Ciencias Sociales II", "MACS II", "MAT", 4),
        ("LAT2", "Latín II", "LAT II", "CLA", 4),
        ("GRI2", "Griego II", "GRI II", "CLA", 4),
        ("EDMN", "Empresa y Diseño de Modelos de Negocio", "EDMN", "ECO", 4),
        ("GEO", "Geografía", "GEO", "GH", 4),
        ("HART", "Historia del Arte", "HART", "GH", 4),
        ("PSI", "Psicología", "PSI", "FIL", 2),
        ("FRA2", "Francés II", "FRA II", "FRA", 2),
        ("TIC2", "Tecnologías de la Información y la Comunicación II", "TIC II", "TEC", 2),
        ("CTMA", "Ciencias de la Tierra y del Medio Ambiente", "CTMA", "BG", 2),
        ("FAG", "Fundamentos de Administración y Gestión", "FAG", "ECO", 2),
        ("REL", "Religión Católica", "REL", "REL", 1),
    ],
    ("FPB", "1"): [
        ("CA1", "Ciencias Aplicadas I", "CA I", "MAT", 5),
        ("CS1", "Comunicación y Sociedad I", "CS I", "LEN", 7),
        ("MMSC", "Montaje y Mantenimiento de Sistemas y Componentes Informáticos", "MMSC", "INF", 9),
        ("OACE", "Operaciones Auxiliares para la Configuración y la Explotación", "OACE", "INF", 6),
        ("PRL", "Prevención de Riesgos Laborales", "PRL", "INF", 1),
        ("TUT", "Tutoría", "TUT", None, 1),
    ],
    ("FPB", "2"): [
        ("CA2", "Ciencias Aplicadas II", "CA II", "FQ", 5),
        ("CS2", "Comunicación y Sociedad II", "CS II", "GH", 7),
        ("IMR", "Instalación y Mantenimiento de Redes para Transmisión de Datos", "IMR", "INF", 7),
        ("EEE", "Equipos Eléctricos y Electrónicos", "EEE", "TEC", 6),
        ("IAE", "Iniciación a la Actividad Emprendedora y Empresarial", "IAE", "ECO", 2),
        ("TUT", "Tutoría", "TUT", None, 1),
    ],
}

# Groups per (level, year): letters; the subjects each group takes.
GROUP_LETTERS = {
    ("ESO", "1"): "ABCDEF",
    ("ESO", "2"): "ABCDEF",
    ("ESO", "3"): "ABCDE",
    ("ESO", "4"): "ABCDE",
    ("BACH", "1"): "ABCDE",
    ("BACH", "2"): "ABCD",
    ("FPB", "1"): "AB",
    ("FPB", "2"): "AB",
}

LEVEL_NAMES = {"ESO": "ESO", "BACH": "Bachillerato", "FPB": "FPB"}

# Subject keys by group for the years with options; other years take every subject.
ESO4_OPTIONS = {
    "A": ["MATB", "BG", "FQ", "TEC", "FRA"],
    "B": ["MATB", "BG", "FQ", "DIG"],
    "C": ["MATA", "ECE", "LAT", "EXA", "FRA"],
    "D": ["MATA", "TEC", "DIG", "EXA"],
    "E": ["MATA", "FOPP", "ECE", "DIG"],
}
ESO4_CORE = ["LCL", "ING", "GH", "EF", "REL", "AE", "TUT"]
BACH1_CORE = ["LCL1", "ING1", "FIL", "EF", "TUT", "REL"]
BACH1_OPTIONS = {
    "A": ["MAT1", "FQ", "BGCA", "ANA", "CC"],
    "B": ["MAT1", "FQ", "DT1", "TIN1", "TIC1"],
    "C": ["MACS1", "ECO", "HMC", "TIC1", "FRA1"],
    "D": ["MACS1", "ECO", "LU", "PII", "FRA1"],
    "E": ["LAT1", "GRI1", "HMC", "LU", "FRA1"],
}
BACH2_CORE = ["LCL2", "ING2", "HE", "HFIL", "TUT", "REL"]
BACH2_OPTIONS = {
    "A": ["MAT2", "QUI", "BIO", "CTMA", "PSI"],
    "B": ["MAT2", "FIS", "DT2", "TIN2", "TIC2"],
    "C": ["MACS2", "EDMN", "GEO", "FAG", "FRA2"],
    "D": ["LAT2", "GRI2", "HART", "PSI", "FRA2"],
}

MALE_NAMES = [
    "José María", "Juan Carlos", "Antonio", "Manuel", "Francisco Javier", "David", "Jesús",
    "Javier", "Carlos", "Miguel Ángel", "Rafael", "Pedro", "Álvaro", "Sergio", "Pablo",
    "Fernando", "Jorge", "Luis", "Alberto", "Íñigo", "Raúl", "Rubén", "Óscar", "Andrés",
    "Ramón", "Enrique", "Vicente", "Joaquín", "Ignacio", "Gonzalo", "Tomás", "Agustín",
]
FEMALE_NAMES = [
    "María José", "María del Carmen", "Ana Belén", "Carmen", "Isabel", "Laura", "Lucía",
    "Cristina", "Marta", "Pilar", "Elena", "Rosa María", "Beatriz", "Inmaculada", "Sonia",
    "Raquel", "Begoña", "Nuria", "Montserrat", "Mónica", "Silvia", "Patricia", "Rocío",
    "Ángeles", "Susana", "Yolanda", "Noelia", "Mercedes", "Eva", "Amparo", "Sofía", "Irene",
]
SURNAMES = [
    "García", "Fernández", "González", "Rodríguez", "López", "Martínez", "Sánchez", "Pérez",
    "Gómez", "Martín", "Jiménez", "Ruiz", "Hernández", "Díaz", "Moreno", "Muñoz", "Álvarez",
    "Romero", "Alonso", "Gutiérrez", "Navarro", "Torres", "Domínguez", "Vázquez", "Ramos",
    "Gil", "Ramírez", "Serrano", "Blanco", "Molina", "Morales", "Suárez", "Ortega", "Delgado",
    "Castro", "Ortiz", "Rubio", "Marín", "Sanz", "Núñez", "Iglesias", "Medina", "Garrido",
    "Cortés", "Castillo", "Santos", "Lozano", "Guerrero", "Cano", "Prieto", "Méndez", "Cruz",
    "Calvo", "Gallego", "Vidal", "León", "Márquez", "Herrera", "Peña", "Flores", "Cabrera",
    "Campos", "Vega", "Fuentes", "Carrasco", "Díez", "Caballero", "Reyes", "Nieto", "Aguilar",
    "Pascual", "Santana", "Herrero", "Lorenzo", "Montero", "Hidalgo", "Giménez", "Ibáñez",
    "Ferrer", "Durán", "Santiago", "Benítez", "Mora", "Vicente", "Vargas", "Arias", "Carmona",
    "Crespo", "Román", "Pastor", "Soto", "Sáez", "Velasco", "Moya", "Soler", "Parra",
    "Esteban", "Bravo", "Gallardo", "Rojas", "Güell", "Echeverría", "Otxoa", "Mañas", "Ibarra",
    "de la Fuente", "del Río",
]

SCHOOL_PATRONS = [
    "Ramón y Cajal", "Severo Ochoa", "Clara Campoamor", "María Moliner", "Miguel Hernández",
    "Antonio Machado", "Rosalía de Castro", "Emilia Pardo Bazán", "Margarita Salas",
    "Juan de la Cierva", "Luis Vives", "Francisco de Goya", "Gregorio Marañón",
    "Isaac Peral", "Concepción Arenal", "Benito Pérez Galdós", "Federico García Lorca",
    "Gaspar Melchor de Jovellanos", "Jorge Juan", "Santiago Grisolía",
]
TOWNS = [
    "Alcalá de Henares", "Móstoles", "Getafe", "Torrejón de Ardoz", "Talavera de la Reina",
    "Ponferrada", "Jerez de la Frontera", "Elche", "Gandía", "Lorca", "Mérida", "Cáceres",
    "Huesca", "Logroño", "Soria", "Zamora", "Linares", "Úbeda", "Motril", "Avilés",
    "Ferrol", "Vigo", "Reus", "Manresa", "Calatayud", "Cuenca", "Segovia", "Ávila",
]

DNI_LETTERS = "TRWAGMYFPDXBNJZSQVHLCKE"
PARTICLES = {"de", "del", "la", "las", "los", "y"}


def xml_attr(value):
    """Escapes a value for a double-quoted XML attribute."""
    return (value.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")
            .replace('"', "&quot;").replace("\t", "&#9;").replace("\n", "&#10;"))


def format_hours(h):
    """Weekly hours as Zedra writes them: whole numbers plain, fractions with a comma."""
    if h == int(h):
        return str(int(h))
    return ("%g" % h).replace(".", ",")


def initials(words):
    return "".join(w[0] for w in words.split() if w.lower() not in PARTICLES)


class Ids:
    """Document-wide identifier counters with small random gaps, like a real database."""

    def __init__(self, rng):
        self.rng = rng
        self.next = {"materia": 100200, "profesor": 200050, "aula": 5000300, "grupo": 300010}

    def take(self, kind):
        value = self.next[kind]
        self.next[kind] = value + self.rng.choice((1, 1, 1, 2, 3))
        return str(value)


# ---------------------------------------------------------------------------
# One school
# ---------------------------------------------------------------------------

def split_hours(rng, hours, whole_only):
    """One way for two teachers to share a subject's hours in one group, or None."""
    options = {
        2: [(1, 1)],
        3: [(2, 1), (1.5, 1.5)],
        4: [(2, 2), (3, 1), (2.5, 1.5)],
        5: [(3, 2), (2.5, 2.5)],
        6: [(3, 3), (4, 2)],
        7: [(4, 3), (3.5, 3.5)],
        9: [(5, 4), (4.5, 4.5)],
    }.get(hours)
    if options and whole_only:
        options = [o for o in options if o[0] == int(o[0])]
    return rng.choice(options) if options else None


def make_school(rng, ids, used_dni, index):
    school = {"materias": [], "profesores": [], "aulas": [], "grupos": [], "asignaturas": []}

    # Subjects: one record per (level, year, subject).
    subject_codes = {}  # (level, year, key) -> codigo
    subject_info = {}   # codigo -> (dept, hours)
    for (level, year), subjects in CURRICULUM.items():
        for key, name, abrev, dept, hours in subjects:
            code = ids.take("materia")
            subject_codes[(level, year, key)] = code
            subject_info[code] = (dept, hours)
            school["materias"].append({
                "abrev": abrev, "nombre": name, "codigo_actividad": "DOC",
                "denivel": level, "decurso": year, "codigo": code,
            })

    # Groups and the hours each one takes per subject.
    group_rows = []  # (group dict, [(subject codigo, dept, [hour shares])])
    for (level, year), letters in GROUP_LETTERS.items():
        for letter in letters:
            code = ids.take("grupo")
            turno = "T" if level == "FPB" or (level == "BACH" and letter == "E") else "M"
            group = {"nombre": "%sº %s %s" % (year, LEVEL_NAMES[level], letter),
                     "codigo_nivel": level, "turno": turno, "curso": year,
                     "codigo_tutor": "", "codigo": code}
            school["grupos"].append(group)
            if level == "ESO" and year == "4":
                keys = ESO4_CORE + ESO4_OPTIONS[letter]
            elif level == "BACH" and year == "1":
                keys = BACH1_CORE + BACH1_OPTIONS[letter]
            elif level == "BACH" and year == "2":
                keys = BACH2_CORE + BACH2_OPTIONS[letter]
            else:
                keys = [s[0] for s in CURRICULUM[(level, year)]]
                if (level, year) == ("ESO", "3") and letter in "AB":
                    keys.remove("CCL")  # these groups take French only
            rows = []
            periods = sum(math.ceil(subject_info[subject_codes[(level, year, k)]][1]) for k in keys)
            for k in keys:
                scode = subject_codes[(level, year, k)]
                dept, hours = subject_info[scode]
                shares = [hours]
                if k != "TUT" and rng.random() < 0.6:
                    split = split_hours(rng, hours, whole_only=False)
                    extra = sum(math.ceil(s) for s in split) - hours if split else 0
                    if extra and periods + extra > 34:  # keep room for a 5x7 timetable
                        split, extra = split_hours(rng, hours, whole_only=True), 0
                    if split:
                        shares = list(split)
                        periods += extra
                rows.append((scode, dept, k, shares))
            group_rows.append((group, rows))

    # Teachers per department, sized to the department's hours (about 15 each).
    dept_hours = {}
    for _, rows in group_rows:
        for _, dept, _, shares in rows:
            if dept:
                dept_hours[dept] = dept_hours.get(dept, 0) + sum(shares)
    teachers_by_dept = {}
    for dept in sorted(dept_hours):
        count = max(1, round(dept_hours[dept] / 14.5))
        teachers_by_dept[dept] = [make_teacher(rng, ids, used_dni, DEPTS[dept]) for _ in range(count)]
    for dept in sorted(teachers_by_dept):
        school["profesores"].extend(teachers_by_dept[dept])

    # Each share goes to the least-loaded teacher of the department (two shares of one
    # subject to two different teachers); tutorials go to a teacher of the group.
    load = {t["codigo"]: 0.0 for t in school["profesores"]}
    tutors = set()
    for group, rows in group_rows:
        in_group = []
        tut_row = None
        for scode, dept, key, shares in rows:
            if key == "TUT":
                tut_row = (scode, shares[0])
                continue
            used = set()
            for h in shares:
                candidates = [t for t in teachers_by_dept[dept] if t["codigo"] not in used]
                if not candidates:
                    candidates = teachers_by_dept[dept]
                teacher = min(candidates, key=lambda t: (load[t["codigo"]], rng.random()))
                used.add(teacher["codigo"])
                load[teacher["codigo"]] += h
                in_group.append(teacher["codigo"])
                school["asignaturas"].append({"cgrupo": group["codigo"], "casig": scode,
                                              "cprofe": teacher["codigo"], "nhoras": format_hours(h)})
        free = [c for c in in_group if c not in tutors] or in_group
        tutor = min(free, key=lambda c: (load[c], c))
        tutors.add(tutor)
        group["codigo_tutor"] = tutor
        if tut_row:
            load[tutor] += tut_row[1]
            school["asignaturas"].append({"cgrupo": group["codigo"], "casig": tut_row[0],
                                          "cprofe": tutor, "nhoras": format_hours(tut_row[1])})

    # Rooms.
    rooms = []
    for floor in range(3):
        for n in range(1, 10 if floor else 8):
            rooms.append(("Aula %d.%02d" % (floor, n), rng.choice(("30", "30", "32", "28", "25"))))
    rooms += [
        ("Aula de Desdobles 1", "15"), ("Aula de Desdobles 2", "15"),
        ("Laboratorio de Física", "24"), ("Laboratorio de Química", "24"),
        ("Laboratorio de Biología", "24"), ("Aula de Informática 1", "30"),
        ("Aula de Informática 2", "20"), ("Taller de Tecnología", "24"),
        ("Taller de Informática FPB", "16"), ("Aula de Música", "30"),
        ("Aula de Plástica", "30"), ("Gimnasio", ""), ("Pista polideportiva", ""),
        ("Biblioteca", "40"), ("Sala de usos múltiples", "60"),
        ('Aula "Severo Ochoa"', "30"), ("Salón de actos", "180"),
    ]
    for name, capacity in rooms:
        school["aulas"].append({"nombre": name, "capacidad_alumnos": capacity,
                                "codigo": ids.take("aula")})
    return school


def make_teacher(rng, ids, used_dni, department):
    given = rng.choice(MALE_NAMES if rng.random() < 0.45 else FEMALE_NAMES)
    first, second = rng.sample(SURNAMES, 2)
    while True:
        number = rng.randrange(1000000, 80000000)
        if number not in used_dni:
            used_dni.add(number)
            break
    dni = "%08d%s" % (number, DNI_LETTERS[number % 23])
    abrev = initials(given) + initials(first)[:1]
    if len(abrev) < 3:
        abrev += initials(second)[:1]
    return {"abrev": abrev.upper(),
            "nombre": given, "apellido1": first, "apellido2": second,
            "departamen": department, "documento": dni, "codigo": ids.take("profesor")}


# ---------------------------------------------------------------------------
# Deliberate problems (first school only)
# ---------------------------------------------------------------------------

def add_problems(school, ids):
    materias, profes, grupos, asigs = (school[k] for k in
                                       ("materias", "profesores", "grupos", "asignaturas"))
    # Assignments referring to a group, a subject and a teacher that do not exist.
    real = asigs[0]
    asigs.insert(5, {"cgrupo": "399999", "casig": real["casig"], "cprofe": real["cprofe"], "nhoras": "2"})
    asigs.insert(40, {"cgrupo": real["cgrupo"], "casig": "199999", "cprofe": real["cprofe"], "nhoras": "1"})
    asigs.insert(80, {"cgrupo": grupos[3]["codigo"], "casig": asigs[79]["casig"],
                      "cprofe": "299999", "nhoras": "1,5"})
    # A subject without abbreviation: the code is formed from the name's initials.
    for m in materias:
        if m["abrev"] == "EVCE":
            m["abrev"] = ""
            break
    # A guard-duty subject: its abbreviation equals its activity code.
    materias.append({"abrev": "GUARDIA", "nombre": "Guardia", "codigo_actividad": "GUARDIA",
                     "denivel": "", "decurso": "", "codigo": ids.take("materia")})
    # A teacher identifier longer than the 10 characters its field holds.
    victim = profes[7]
    old, new = victim["codigo"], "2000" + victim["codigo"].rjust(8, "0")
    victim["codigo"] = new
    for a in asigs:
        if a["cprofe"] == old:
            a["cprofe"] = new
    for g in grupos:
        if g["codigo_tutor"] == old:
            g["codigo_tutor"] = new
    # Values with blanks around them.
    for m in materias:
        if m["abrev"] == "FQ":
            m["abrev"] = "  FQ "
            break
    school["aulas"][12]["nombre"] = " " + school["aulas"][12]["nombre"] + "  "
    profes[3]["apellido2"] = profes[3]["apellido2"] + " "
    asigs[10]["cprofe"] = " " + asigs[10]["cprofe"] + " "
    asigs[11]["nhoras"] = " " + asigs[11]["nhoras"] + " "
    # A name with characters that Windows-1252 cannot hold.
    ro = profes[12]
    ro.update({"nombre": "Ștefan", "apellido1": "Bădescu", "apellido2": "Popescu", "abrev": "ȘB"})


# ---------------------------------------------------------------------------
# Output
# ---------------------------------------------------------------------------

SECTIONS = [
    ("materias", "dmaterias", ("abrev", "nombre", "codigo_actividad", "denivel", "decurso", "codigo")),
    ("profesores", "profesor", ("abrev", "nombre", "apellido1", "apellido2", "departamen",
                                "documento", "codigo")),
    ("aulas", "daula", ("nombre", "capacidad_alumnos", "codigo")),
    ("grupos", "dgrupo", ("nombre", "codigo_nivel", "turno", "curso", "codigo_tutor", "codigo")),
    ("asignaturas", "dasignatura", ("cgrupo", "casig", "cprofe", "nhoras")),
]


def generate(scale, seed, problems):
    rng = random.Random(seed)
    ids = Ids(random.Random(seed + 1))
    used_dni = set()
    schools = []
    for i in range(scale):
        school = make_school(random.Random(rng.randrange(1 << 30)), ids, used_dni, i)
        if problems and i == 0:
            add_problems(school, ids)
        schools.append(school)

    patron = rng.choice(SCHOOL_PATRONS)
    town = rng.choice(TOWNS)
    if scale == 1:
        name = "IES %s (%s)" % (patron, town)
    else:
        name = "IES %s (%s) y otros %d centros" % (patron, town, scale - 1)
    code = "%02d%06d" % (rng.choice((3, 5, 10, 13, 28, 30, 37, 41, 46, 50)), rng.randrange(1000000))
    day = 1 + rng.randrange(28)
    stamp = "2026-06-%02dT%02d:%02d:%02d" % (day, 8 + rng.randrange(10), rng.randrange(60), rng.randrange(60))

    out = ['<?xml version="1.0" encoding="UTF-8"?>\n',
           '<centro codigo_interno="%s" nombre="%s" curso="2026/2027" version="1.0" '
           'fecha_exportacion="%s">\n' % (code, xml_attr(name), stamp)]
    for section, element, fields in SECTIONS:
        out.append("  <%s>\n" % section)
        for school in schools:
            for rec in school[section]:
                attrs = " ".join('%s="%s"' % (f, xml_attr(rec[f])) for f in fields)
                out.append("    <%s %s/>\n" % (element, attrs))
        out.append("  </%s>\n" % section)
    out.append("</centro>\n")
    counts = {s: sum(len(sc[s]) for sc in schools) for s, _, _ in SECTIONS}
    return "".join(out), counts


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--scale", type=int, default=1, help="number of schools (default 1)")
    ap.add_argument("--seed", type=int, default=2026, help="random seed (default 2026)")
    ap.add_argument("--out", help="output file (default: standard output)")
    ap.add_argument("--problems", action="store_true", help="add deliberate defects")
    ap.add_argument("--stats", action="store_true", help="print record counts to stderr")
    args = ap.parse_args()
    if args.scale < 1:
        ap.error("--scale must be at least 1")

    text, counts = generate(args.scale, args.seed, args.problems)
    data = text.encode("utf-8")
    if args.out:
        with open(args.out, "wb") as f:
            f.write(data)
    else:
        sys.stdout.buffer.write(data)
    if args.stats:
        print(" ".join("%s=%d" % kv for kv in counts.items()) +
              " total=%d bytes=%d" % (sum(counts.values()), len(data)), file=sys.stderr)


if __name__ == "__main__":
    main()
