#!/usr/bin/env bash
# Times opening a ZIP with 100,000 entries in the main window (offscreen, until the list is
# filled, sorted by name and painted) against `quil l --tsv` on the same archive, and reports
# the memory per listed entry.
#   usage: bench/open-archive.sh [ARCHIVE]     (default $QB_DATA/small.zip)
set -euo pipefail
cd "$(dirname "$0")/.."
ZIP=${1:-${QB_DATA:-/tmp/qbench-data}/small.zip}
[[ -f "$ZIP" ]] || { echo "no $ZIP: build it with make-data.sh (small.zip)" >&2; exit 1; }
for t in build/cli/quil build/app/quillet-open-bench; do
  [[ -x $t ]] || { echo "no $t: cmake --build --preset default first" >&2; exit 1; }
done
RUNS=${RUNS:-7}
echo "archive: $ZIP"
QT_QPA_PLATFORM=offscreen build/app/quillet-open-bench "$ZIP" "$RUNS" 2>/dev/null
best=""
for _ in $(seq "$RUNS"); do
  s=$(date +%s%N); build/cli/quil l --tsv "$ZIP" >/dev/null; e=$(date +%s%N)
  ms=$(( (e - s) / 1000000 ))
  [[ -z $best || $ms -lt $best ]] && best=$ms
done
echo "quil l --tsv: best ${best} ms over $RUNS runs (whole process)"
