#!/usr/bin/env bash
# Times `quil l --tsv` against unzip -Z1, 7zz l and bsdtar -tf on a ZIP with 100,000 entries
# ($QB_DATA/small.zip, built by the shared make-data.sh), and reports each one's peak memory.
#   usage: bench/list-zip.sh [ARCHIVE]      (QUIL=path/to/quil to time another build)
set -euo pipefail
cd "$(dirname "$0")/.."
ZIP=${1:-${QB_DATA:-/tmp/qbench-data}/small.zip}
QUIL=${QUIL:-./build/cli/quil}
[[ -f "$ZIP" ]] || { echo "no $ZIP: build it with make-data.sh (small.zip)" >&2; exit 1; }
[[ -x "$QUIL" ]] || { echo "no $QUIL: cmake --build --preset default first" >&2; exit 1; }

declare -A CMD=(
  [quil]="$QUIL l --tsv '$ZIP'"
  [unzip]="unzip -Z1 '$ZIP'"
  [7zz]="7zz l '$ZIP'"
  [bsdtar]="bsdtar -tf '$ZIP'"
)
ORDER=(quil unzip 7zz bsdtar)

echo "archive: $ZIP ($(stat -c %s "$ZIP") bytes)"
if command -v hyperfine >/dev/null; then
  args=()
  for n in "${ORDER[@]}"; do
    command -v "${CMD[$n]%% *}" >/dev/null && args+=(-n "$n" "${CMD[$n]} >/dev/null")
  done
  hyperfine -N -w 3 -r "${RUNS:-20}" --export-json /tmp/list-zip-bench.json "${args[@]}" >/dev/null 2>&1 ||
    hyperfine -w 3 -r "${RUNS:-20}" --export-json /tmp/list-zip-bench.json "${args[@]}" >/dev/null
  python3 - <<'PY'
import json
for r in json.load(open("/tmp/list-zip-bench.json"))["results"]:
    print(f'{r["command"]:8s} median {r["median"]*1000:8.1f} ms   (min {r["min"]*1000:.1f} ms)')
PY
else
  for n in "${ORDER[@]}"; do
    ts=()
    for _ in $(seq "${RUNS:-15}"); do
      s=$(date +%s%N); sh -c "${CMD[$n]}" >/dev/null 2>&1; e=$(date +%s%N)
      ts+=($(( (e - s) / 1000 )))
    done
    med=$(printf '%s\n' "${ts[@]}" | sort -n | awk '{a[NR]=$1} END{print a[int((NR+1)/2)]}')
    printf '%-8s median %8.1f ms\n' "$n" "$(echo "$med / 1000" | bc -l)"
  done
fi
for n in "${ORDER[@]}"; do
  rss=$(/usr/bin/time -f %M sh -c "${CMD[$n]} >/dev/null" 2>&1 | tail -1)
  printf '%-8s max RSS %7s KiB\n' "$n" "$rss"
done
