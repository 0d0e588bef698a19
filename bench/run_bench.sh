#!/usr/bin/env bash
# Times ponteva-cli's export and return runs against xmllint on generated documents.
#
# Usage: bench/run_bench.sh [BUILD_DIR] [--no-cli]
#   BUILD_DIR  CMake build directory holding cli/ponteva-cli (default: build)
#   --no-cli   only generate the documents and time xmllint (while the CLI is not built)
# Environment:
#   KS="1 10 100"    scales to run        RUNS=3    runs per measurement (median time)
#   KEEP=1           keep the temporary directory with documents, tables and logs
#   BENCH_PROBLEMS=1 generate documents and timetables with deliberate problems
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
py=/usr/bin/python3
timer=/usr/bin/time

build_arg=build
use_cli=1
for arg in "$@"; do
  case "$arg" in
    --no-cli) use_cli=0 ;;
    -h|--help) sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    -*) echo "run_bench: unknown option $arg" >&2; exit 2 ;;
    *) build_arg=$arg ;;
  esac
done
KS=${KS:-"1 10 100"}
RUNS=${RUNS:-3}
problems=()
[ "${BENCH_PROBLEMS:-0}" = 1 ] && problems=(--problems)

die() { echo "run_bench: $*" >&2; exit 1; }
note() { echo "$*" >&2; }

[ -x "$timer" ] || die "$timer not found (Debian package 'time')"
command -v xmllint >/dev/null || die "xmllint not found (Debian package 'libxml2-utils')"
[ -x "$py" ] || die "$py not found"

cli=""
if [ "$use_cli" = 1 ]; then
  # A relative build directory is taken from the current directory, else from the repository.
  if [ -d "$build_arg" ]; then build_dir=$(cd "$build_arg" && pwd)
  elif [ -d "$root/$build_arg" ]; then build_dir=$(cd "$root/$build_arg" && pwd)
  else die "build directory '$build_arg' not found; build first (scripts/setup.sh) or pass --no-cli"
  fi
  cli=$build_dir/cli/ponteva-cli
  [ -x "$cli" ] || die "$cli is missing or not executable; build the 'ponteva-cli' target first or pass --no-cli"
fi

tmp=$(mktemp -d "${TMPDIR:-/tmp}/ponteva-bench.XXXXXX")
if [ "${KEEP:-0}" = 1 ]; then note "run_bench: keeping $tmp"; else trap 'rm -rf "$tmp"' EXIT; fi

# measure NAME CMD... : runs CMD once under /usr/bin/time, appends "seconds KiB" to NAME.runs.
# Output goes to NAME.out / NAME.err; a failing command stops the benchmark.
measure() {
  local name=$1; shift
  local rc=0
  "$timer" -f '%e %M' -o "$name.time" "$@" >"$name.out" 2>"$name.err" || rc=$?
  if [ "$rc" -ne 0 ]; then
    echo "run_bench: command failed (exit $rc): $*" >&2
    tail -n 20 "$name.err" >&2
    exit 1
  fi
  tail -n 1 "$name.time" >>"$name.runs"
}

# Median of the times and largest peak RSS over the runs in NAME.runs: "seconds KiB".
summarize() {
  local t m
  t=$(awk '{print $1}' "$1.runs" | sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}')
  m=$(awk 'BEGIN {m=0} $2>m {m=$2} END {print m}' "$1.runs")
  echo "$t $m"
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else printf "n/a" }'; }
mib() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }
size() { awk -v b="$1" 'BEGIN { if (b >= 1048576) printf "%.1f MB", b / 1048576; else printf "%.0f KB", b / 1024 }'; }

rows=()
last_k=""
for k in $KS; do
  dir=$tmp/k$k
  mkdir -p "$dir"
  doc=$dir/centro_k$k.xml
  note "== K=$k: generating"
  gen_start=$(date +%s.%N)
  "$py" "$here/generate_school.py" --scale "$k" "${problems[@]}" --stats --out "$doc" 2>"$dir/gen.stats"
  gen_s=$(awk -v a="$gen_start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.2f", b - a }')
  bytes=$(stat -c %s "$doc")
  records=$(sed -n 's/.*total=\([0-9]*\).*/\1/p' "$dir/gen.stats")
  note "   $(cat "$dir/gen.stats") in ${gen_s}s"

  for ((i = 1; i <= RUNS; i++)); do
    note "   xmllint run $i"
    measure "$dir/xmllint" xmllint --noout "$doc"
  done
  read -r x_t x_m < <(summarize "$dir/xmllint")

  e_cells="— | — | — | —"
  r_cells="— | — | — | —"
  if [ -n "$cli" ]; then
    for ((i = 1; i <= RUNS; i++)); do
      note "   export run $i"
      work=$dir/work$i
      rm -rf "$work"; mkdir -p "$work"
      measure "$dir/export" env LC_ALL=es_ES.UTF-8 "$cli" exportar "$doc" --dir "$work"
      if [ "$i" -gt 1 ]; then rm -rf "$dir/work$((i - 1))"; fi
    done
    work=$dir/work$RUNS
    ntables=$(find "$work" -maxdepth 1 -iname '*.dbf' | wc -l)
    [ "$ntables" -ge 5 ] || die "export at K=$k left $ntables .DBF tables in $work"
    read -r e_t e_m < <(summarize "$dir/export")

    note "   timetabling (not timed)"
    sim_problems=()
    [ "${BENCH_PROBLEMS:-0}" = 1 ] && sim_problems=(--problems)
    "$py" "$root/examples/veltrix_simulado.py" "$work" "${sim_problems[@]}" 2>"$dir/simulado.err" \
      || { cat "$dir/simulado.err" >&2; die "veltrix_simulado failed at K=$k"; }

    result=$dir/ResultadoVeltrix$(basename "$doc")
    for ((i = 1; i <= RUNS; i++)); do
      note "   return run $i"
      rm -f "$result"
      measure "$dir/return" env LC_ALL=es_ES.UTF-8 "$cli" importar "$doc" --dir "$work"
    done
    [ -s "$result" ] || note "run_bench: warning: the return run did not write $result"
    read -r r_t r_m < <(summarize "$dir/return")

    e_cells="$e_t | $(ratio "$e_t" "$x_t") | $(mib "$e_m") | $(ratio "$e_m" "$x_m")"
    r_cells="$r_t | $(ratio "$r_t" "$x_t") | $(mib "$r_m") | $(ratio "$r_m" "$x_m")"
    echo "$x_t $x_m $e_t $e_m $r_t $r_m" >"$dir/summary"
  fi
  rows+=("| $k | $(size "$bytes") | $records | $x_t | $(mib "$x_m") | $e_cells | $r_cells |")
  last_k=$k
done

echo
echo "Times in seconds (median of $RUNS), memory as peak RSS in MiB (largest of $RUNS); ratios are to xmllint."
echo
echo "| K | document | records | xmllint s | xmllint MiB | export s | × time | export MiB | × mem | return s | × time | return MiB | × mem |"
echo "|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
printf '%s\n' "${rows[@]}"
echo

if [ -z "$cli" ]; then
  echo "Export and return not measured (--no-cli)."
  exit 0
fi

target_k=$last_k
case " $KS " in *" 100 "*) target_k=100 ;; esac
read -r x_t x_m e_t e_m r_t r_m <"$tmp/k$target_k/summary"
verdict=held
check() { # label value reference limit
  local r
  r=$(ratio "$2" "$3")
  if [ "$r" = n/a ] || awk -v r="$r" -v l="$4" 'BEGIN { exit !(r > l) }'; then
    [ "$r" = n/a ] && echo "- $1: n/a (xmllint measured 0)" || echo "- $1: ${r}× — over $4×"
    verdict=missed
  else
    echo "- $1: ${r}× — within $4×"
  fi
}
echo "Targets at K=$target_k (ratios to xmllint):"
check "export time" "$e_t" "$x_t" 1.5
check "export peak memory" "$e_m" "$x_m" 1.5
check "return time" "$r_t" "$x_t" 0.8
check "return peak memory" "$r_m" "$x_m" 0.5
echo
if [ "$verdict" = held ]; then echo "All targets hold at K=$target_k."; else echo "Targets NOT met at K=$target_k."; fi
