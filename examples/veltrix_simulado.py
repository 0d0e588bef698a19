#!/usr/bin/python3
"""A stand-in for the Veltrix timetabler: reads the exported working tables in a directory
and writes a plausible timetable, SOLUC.DBF, beside them.

Every ASIGT row becomes ceil(HORAS) sessions on days 1..5, periods 1..7, placed so that a
group never has two sessions at once when there is room (teachers and rooms: best effort).
--problems adds entries an import has to cope with: sessions on day 0 (unplaced), one in
period 0, one for an unknown subject code and one in an unknown room.

Usage: veltrix_simulado.py WORKDIR [--problems] [--seed N]
"""

import argparse
import math
import os
import random
import struct
import sys

DAYS = 5
PERIODS = 7
SLOTS = DAYS * PERIODS

SOLUC_FIELDS = [  # name, type, width, decimals
    ("DIA", "N", 1, 0),
    ("HORA", "N", 2, 0),
    ("SESIONES", "C", 20, 0),
    ("CODGRUPO", "C", 10, 0),
    ("ASIG", "C", 10, 0),
    ("TAREA", "C", 10, 0),
    ("PROF", "C", 10, 0),
    ("AULA", "C", 10, 0),
]


class Failure(Exception):
    pass


# ---------------------------------------------------------------------------
# dBase reading and writing
# ---------------------------------------------------------------------------

def find_table(directory, name):
    """The table's path, whatever the case of its file name."""
    wanted = (name + ".DBF").upper()
    for entry in sorted(os.listdir(directory)):
        if entry.upper() == wanted:
            return os.path.join(directory, entry)
    return None


def read_dbf(path):
    """Reads a dBase table into (header date bytes, list of dicts keyed by upper-case field name).

    Character fields are decoded as Windows-1252 and stripped; numeric and float fields
    become floats (0.0 when blank or unreadable). Deleted records are skipped.
    """
    with open(path, "rb") as f:
        data = f.read()
    if len(data) < 32:
        raise Failure("%s: not a dBase table (too short)" % path)
    version = data[0]
    count = struct.unpack_from("<I", data, 4)[0]
    header_len, record_len = struct.unpack_from("<HH", data, 8)
    dbase7 = (version & 0x07) == 0x04
    desc_len, first = (48, 68) if dbase7 else (32, 32)

    fields = []
    pos, offset = first, 1
    while pos + desc_len <= header_len and data[pos] != 0x0D:
        if dbase7:
            name = data[pos:pos + 32]
            ftype, width, dec = chr(data[pos + 32]), data[pos + 33], data[pos + 34]
        else:
            name = data[pos:pos + 11]
            ftype, width, dec = chr(data[pos + 11]), data[pos + 16], data[pos + 17]
            if ftype == "C" and version in (0x30, 0x31, 0x32, 0xF5, 0xFB):
                width += dec << 8  # FoxPro: long character fields
        name = name.split(b"\0")[0].decode("ascii", "replace").strip().upper()
        fields.append((name, ftype, offset, width))
        offset += width
        pos += desc_len

    available = (len(data) - header_len) // record_len if record_len else 0
    count = min(count, available)
    rows = []
    for i in range(count):
        start = header_len + i * record_len
        rec = data[start:start + record_len]
        if rec[:1] == b"*":
            continue
        row = {}
        for name, ftype, off, width in fields:
            raw = rec[off:off + width]
            if ftype in "NF":
                text = raw.strip().replace(b",", b".")
                try:
                    row[name] = float(text) if text else 0.0
                except ValueError:
                    row[name] = 0.0
            elif ftype == "I" and width == 4:
                row[name] = float(struct.unpack("<i", raw)[0])
            elif ftype in "CDL":
                row[name] = raw.decode("cp1252", "replace").strip()
            else:
                row[name] = raw
        rows.append(row)
    return data[1:4], rows


def dbf_bytes(fields, records, date):
    """A dBase III table (version 0x03, language driver 0x03 = Windows-1252)."""
    record_len = 1 + sum(f[2] for f in fields)
    header_len = 32 + 32 * len(fields) + 1
    out = [struct.pack("<B3sIHH16xBB2x", 0x03, date, len(records), header_len, record_len, 0, 0x03)]
    for name, ftype, width, dec in fields:
        out.append(struct.pack("<11sc4xBB14x", name.encode("ascii"), ftype.encode("ascii"), width, dec))
    out.append(b"\x0D")
    for rec in records:
        parts = [b" "]
        for (name, ftype, width, dec), value in zip(fields, rec):
            if ftype in "NF":
                text = ("%*.*f" % (width, dec, value)).encode("ascii")
                if len(text) > width:
                    text = b"*" * width
                parts.append(text)
            else:
                text = str(value).encode("cp1252", "replace")[:width]
                parts.append(text.ljust(width, b" "))
        out.append(b"".join(parts))
    out.append(b"\x1A")
    return b"".join(out)


# ---------------------------------------------------------------------------
# Timetabling
# ---------------------------------------------------------------------------

def load_tables(directory):
    tables = {}
    for name in ("GRUPOST", "ASIGT", "PROFT", "AULAT", "ASIGNOMT"):
        path = find_table(directory, name)
        if path is None:
            raise Failure("missing table %s.DBF in %s" % (name, directory))
        tables[name] = read_dbf(path)
    return tables


def text(row, field):
    value = row.get(field, "")
    return value if isinstance(value, str) else ""


def schedule(tables, rng):
    date, asigt = tables["ASIGT"]
    _, grupos = tables["GRUPOST"]
    _, aulas = tables["AULAT"]
    _, nombres = tables["ASIGNOMT"]

    rooms = [r for r in (text(a, "ABREV") for a in aulas) if r]
    room_set = set(rooms)
    codes = set(text(n, "COD") for n in nombres)
    group_by_parts = {}
    for g in grupos:
        group_by_parts.setdefault((text(g, "NIVEL"), text(g, "CURSO"), text(g, "GRUPO")), text(g, "ABREV"))

    group_busy, teacher_busy, room_busy, home = {}, {}, {}, {}
    entries = []  # [dia, hora, sesiones, codgrupo, asig, tarea, prof, aula]
    for index, row in enumerate(asigt):
        hours = row.get("HORAS", 0.0)
        n = min(SLOTS, math.ceil(hours)) if isinstance(hours, float) and hours > 0 else 0
        if n == 0:
            continue
        group = text(row, "CGRUP") or group_by_parts.get(
            (text(row, "NIVEL"), text(row, "CURSO"), text(row, "GRUPO")), "")
        teacher = text(row, "CPROF")
        subject = text(row, "CASIG")
        gb = group_busy.setdefault(group or "#%d" % index, bytearray(SLOTS))
        tb = teacher_busy.setdefault(teacher, bytearray(SLOTS)) if teacher else bytearray(SLOTS)
        if group not in home:
            home[group] = len(home) % len(rooms) if rooms else 0

        ctarea = text(row, "CTAREA")
        tarea = ctarea if ctarea in codes else ("LECT" if "LECT" in codes else ctarea)
        fixed_room = text(row, "CAULA")
        sesiones = text(row, "SESIONES")

        used_days = set()
        day0 = index % DAYS
        period0 = (index * 3) % PERIODS
        for _ in range(n):
            slot = find_slot(gb, tb, used_days, day0, period0)
            gb[slot] += 1
            tb[slot] += 1
            used_days.add(slot // PERIODS)
            room = fixed_room if fixed_room in room_set else pick_room(rooms, room_busy, home[group], slot)
            task = subject if subject in codes and rng.random() < 0.05 else tarea
            entries.append([slot // PERIODS + 1, slot % PERIODS + 1, sesiones, group, subject,
                            task, teacher, room])
    return date, entries, rooms


def find_slot(gb, tb, used_days, day0, period0):
    """First free slot: group and teacher free on a new day, then group and teacher free,
    then group free, then the group's least busy slot."""
    order = [((day0 + d) % DAYS) * PERIODS + (period0 + p) % PERIODS
             for d in range(DAYS) for p in range(PERIODS)]
    for s in order:
        if not gb[s] and not tb[s] and s // PERIODS not in used_days:
            return s
    for s in order:
        if not gb[s] and not tb[s]:
            return s
    for s in order:
        if not gb[s]:
            return s
    return min(order, key=lambda s: (gb[s], tb[s]))


def pick_room(rooms, room_busy, start, slot):
    if not rooms:
        return ""
    for step in range(8):
        room = rooms[(start + step) % len(rooms)]
        busy = room_busy.setdefault(room, bytearray(SLOTS))
        if not busy[slot]:
            busy[slot] = 1
            return room
    return rooms[start % len(rooms)]


def add_problems(entries, rooms):
    """Entries an import must survive: unplaced sessions (day 0), one in period 0, and
    placed sessions naming an unknown subject or an unknown room."""
    if not entries:
        return
    picks = [entries[(len(entries) * k) // 7] for k in range(1, 5)]
    extra = [list(e) for e in picks]
    extra[0][0] = 0                      # day 0, period kept
    extra[1][0] = 0                      # day 0, period kept
    extra[2][0], extra[2][1] = 0, 0      # day 0, period 0
    extra[3][1] = 0                      # a real day, period 0
    entries.extend(extra)
    entries[len(entries) // 3][4] = "ZZZ"            # unknown subject code
    unknown = "ZZ99"
    while unknown in rooms:
        unknown += "9"
    entries[(2 * len(entries)) // 3][7] = unknown[:10]  # unknown room


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("workdir", help="directory holding the exported tables")
    ap.add_argument("--problems", action="store_true", help="add entries an import must cope with")
    ap.add_argument("--seed", type=int, default=7, help="random seed (default 7)")
    args = ap.parse_args()

    try:
        rng = random.Random(args.seed)
        tables = load_tables(args.workdir)
        date, entries, rooms = schedule(tables, rng)
        if args.problems:
            add_problems(entries, rooms)
        entries.sort(key=lambda e: (e[0], e[1], e[3], e[4], e[6]))
        data = dbf_bytes(SOLUC_FIELDS, entries, date)
        # Keep one solution file: drop a differently-cased leftover.
        old = find_table(args.workdir, "SOLUC")
        if old and os.path.basename(old) != "SOLUC.DBF":
            os.remove(old)
        target = os.path.join(args.workdir, "SOLUC.DBF")
        with open(target, "wb") as f:
            f.write(data)
    except (Failure, OSError) as e:
        print("veltrix_simulado: %s" % e, file=sys.stderr)
        return 1
    clashes = count_clashes(entries)
    print("veltrix_simulado: %d sessions written to %s (group clashes: %d)"
          % (len(entries), target, clashes), file=sys.stderr)
    return 0


def count_clashes(entries):
    seen = set()
    clashes = 0
    for e in entries:
        if e[0] == 0 or e[1] == 0:
            continue
        key = (e[3], e[0], e[1])
        if key in seen:
            clashes += 1
        seen.add(key)
    return clashes


if __name__ == "__main__":
    sys.exit(main())
