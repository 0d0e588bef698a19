#!/usr/bin/env bash
# Builds the libFuzzer targets (clang-14, AddressSanitizer, UndefinedBehaviorSanitizer) in
# build-fuzz/ and runs each for SECONDS (default 60), two at a time at most.
#   scripts/fuzz.sh [SECONDS] [TARGET...]      targets: tabla exportacion retorno
# What a run learns stays in build-fuzz/fuzz-out/TARGET/corpus for the next run; an input
# that breaks a target is written there as crash-*, leak-*, timeout-* or oom-*, and the
# script fails naming it. Keep such an input in tests/fuzz/regressions/TARGET/.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
[ $# -gt 0 ] && shift
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(tabla exportacion retorno)

build_dir=${PONTEVA_FUZZ_BUILD_DIR:-build-fuzz}
CXX=${CXX:-clang++-14} cmake -S . -B "$build_dir" -G Ninja -DPONTEVA_FUZZ=ON -DPONTEVA_BUILD_TESTS=OFF >/dev/null
cmake --build "$build_dir" --parallel 2 --target "${targets[@]/#/fuzz_}"

out="$build_dir/fuzz-out"
# The runs write their working files here: a memory file system when there is one.
scratch=$(mktemp -d "$( [ -d /dev/shm ] && echo /dev/shm || echo /tmp )/ponteva-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

run() {
    local t=$1 dir="$out/$1"
    mkdir -p "$dir/corpus"
    local seeds=(tests/fuzz/corpus/"$t")
    [ -d tests/fuzz/regressions/"$t" ] && seeds+=(tests/fuzz/regressions/"$t")
    [ "$t" = tabla ] && seeds+=(tests/fuzz/corpus/retorno)
    local extra=()
    [ -f tests/fuzz/"$t".dict ] && extra+=(-dict=tests/fuzz/"$t".dict)
    TMPDIR="$scratch" "$build_dir/tests/fuzz/fuzz_$t" "${extra[@]}" -max_total_time="$seconds" -timeout=20 \
        -rss_limit_mb=2048 -max_len=16384 -print_final_stats=1 -artifact_prefix="$dir/" \
        "$dir/corpus" "${seeds[@]}" >"$dir/log" 2>&1
}

status=0
pids=()
names=()
for t in "${targets[@]}"; do
    if [ ${#pids[@]} -ge 2 ]; then
        wait "${pids[0]}" || { echo "fuzz: ${names[0]} failed, see $out/${names[0]}/log" >&2; status=1; }
        pids=("${pids[@]:1}")
        names=("${names[@]:1}")
    fi
    echo "fuzz: $t for ${seconds}s"
    run "$t" &
    pids+=($!)
    names+=("$t")
done
for i in "${!pids[@]}"; do
    wait "${pids[$i]}" || { echo "fuzz: ${names[$i]} failed, see $out/${names[$i]}/log" >&2; status=1; }
done

for t in "${targets[@]}"; do
    grep -h -E '^stat::number_of_executed_units|^Done [0-9]+ runs' "$out/$t/log" | sed "s/^/fuzz: $t: /" || true
    for f in "$out/$t"/crash-* "$out/$t"/leak-* "$out/$t"/timeout-* "$out/$t"/oom-*; do
        [ -e "$f" ] && echo "fuzz: $t: finding $f" >&2 && status=1
    done
done
exit $status
