#!/usr/bin/env bash
# zipadd-bench.sh - time adding the benchmark corpus to a new ZIP at the default level:
# quil a (libqzip) against zip -6 and 7zz -mx5. Median wall time of RUNS runs and output size.
# Inputs: /work/shared/bench/make-data.sh builds $QB_DATA/corpus (default /tmp/qbench-data).
# Usage: bench/zipadd-bench.sh [path/to/quil]     (RUNS=5 by default)
set -euo pipefail
export LC_ALL=C
D=${QB_DATA:-/tmp/qbench-data}
QUIL=${1:-$(cd "$(dirname "$0")/.." && pwd)/build/cli/quil}
RUNS=${RUNS:-5}
[ -d "$D/corpus" ] || { echo "no corpus in $D: run make-data.sh first" >&2; exit 1; }
OUT=$(mktemp -d /tmp/zipadd-bench.XXXXXX)
trap 'rm -rf "$OUT"' EXIT
cd "$D"

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

run() {  # name command...   (the command writes $OUT/out.zip)
  local name=$1; shift
  local times=()
  for _ in $(seq "$RUNS"); do
    rm -f "$OUT/out.zip"
    local t0 t1
    t0=$(date +%s.%N)
    "$@" >/dev/null
    t1=$(date +%s.%N)
    times+=("$(echo "$t1 - $t0" | bc)")
  done
  local med size
  med=$(printf '%s\n' "${times[@]}" | median)
  size=$(stat -c %s "$OUT/out.zip")
  printf '%-10s median %6.2f s   size %11d bytes   (runs: %s)\n' "$name" "$med" "$size" "${times[*]}"
}

echo "corpus: $(du -sb corpus | cut -f1) bytes, $(find corpus -type f | wc -l) files; $(nproc) cores"
run quil "$QUIL" a -r "$OUT/out.zip" corpus
run zip-6 zip -6 -r -q "$OUT/out.zip" corpus
run 7zz-mx5 7zz a -tzip -mx5 "$OUT/out.zip" corpus
# The archive quil wrote must be sound.
"$QUIL" a -r "$OUT/out.zip" corpus >/dev/null && unzip -tq "$OUT/out.zip" >/dev/null && echo "quil output: unzip -tq OK"
