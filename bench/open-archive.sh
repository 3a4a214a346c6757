#!/usr/bin/env bash
# Times opening a ZIP with 100,000 entries in the main window (offscreen, until the list is
# filled, sorted by name and painted) against `quil l --tsv` on the same archive, and reports
# the memory per listed entry. Each window figure is the first opening in a fresh program (what a
# user waits for); each `quil l` figure is a whole process. Medians over RUNS of each.
#   usage: bench/open-archive.sh [ARCHIVE]     (default $QB_DATA/small.zip)
set -euo pipefail
cd "$(dirname "$0")/.."
ZIP=${1:-${QB_DATA:-/tmp/qbench-data}/small.zip}
[[ -f "$ZIP" ]] || { echo "no $ZIP: build it with make-data.sh (small.zip)" >&2; exit 1; }
for t in build/cli/quil build/app/quillet-open-bench; do
  [[ -x $t ]] || { echo "no $t: cmake --build --preset default first" >&2; exit 1; }
done
RUNS=${RUNS:-7}
median() { sort -n | awk '{v[NR]=$1} END {m=(NR%2)?v[(NR+1)/2]:(v[NR/2]+v[NR/2+1])/2; printf "%.1f", m}'; }
echo "archive: $ZIP"
window=() tool=()
for i in $(seq "$RUNS"); do
  # Alternate the two so that a change in the machine's load hits both alike.
  out=$(QT_QPA_PLATFORM=offscreen build/app/quillet-open-bench "$ZIP" 3 2>/dev/null)
  window+=("$(sed -n 's/^first opening: \([0-9.]*\) ms/\1/p' <<<"$out")")
  [[ $i == 1 ]] && grep -E '^(open|memory)' <<<"$out"
  s=$(date +%s%N); build/cli/quil l --tsv "$ZIP" >/dev/null; e=$(date +%s%N)
  tool+=("$(awk -v d=$((e - s)) 'BEGIN {printf "%.1f", d / 1e6}')")
done
w=$(printf '%s\n' "${window[@]}" | median)
q=$(printf '%s\n' "${tool[@]}" | median)
echo "window, first opening: median ${w} ms  (runs: ${window[*]})"
echo "quil l --tsv, whole process: median ${q} ms  (runs: ${tool[*]})"
awk -v w="$w" -v q="$q" 'BEGIN {printf "ratio: %.2fx\n", w / q}'
