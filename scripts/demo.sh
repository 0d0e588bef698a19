#!/usr/bin/env bash
# The whole round trip on the bundled example: export the Zedra document into a fresh
# working directory, let a stand-in for the timetabler write SOLUC.DBF, then return the
# timetable into a new Zedra document beside the example's copy.
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${PONTEVA_BUILD_DIR:-build}
cli="$build_dir/cli/ponteva-cli"
[ -x "$cli" ] || { echo "No está compilado $cli: ejecute antes scripts/setup.sh" >&2; exit 1; }

out=out/demo
rm -rf "$out"
mkdir -p "$out/VTEMP"
cp examples/centro.xml "$out/centro.xml"

# Spanish regional settings: hours such as "2,5" are read with the decimal comma.
export LC_ALL=es_ES.UTF-8

echo "== Zedra -> Veltrix: ponteva-cli exportar"
"$cli" exportar "$out/centro.xml" --dir "$out/VTEMP"
echo
echo "== Veltrix (simulado): horario en SOLUC.DBF"
/usr/bin/python3 examples/veltrix_simulado.py "$out/VTEMP" --problems
echo
echo "== Veltrix -> Zedra: ponteva-cli importar"
"$cli" importar "$out/centro.xml" --dir "$out/VTEMP"
echo
echo "Tablas de trabajo: $out/VTEMP"
echo "Documento con el horario: $out/ResultadoVeltrixcentro.xml"
head -c 600 "$out/ResultadoVeltrixcentro.xml"
echo " ..."
