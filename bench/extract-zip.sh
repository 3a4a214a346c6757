#!/usr/bin/env bash
# Times quil t / quil x against unzip, 7zz and bsdtar on a mixed ZIP of about 150 MB
# ($QB_DATA/corpus.zip, built by the shared make-data.sh). Extraction goes into a fresh folder on a
# tmpfs (/dev/shm) for every tool alike; the median wall time of each is printed.
#   usage: bench/extract-zip.sh [ARCHIVE]      (QUIL=path/to/quil to time another build)
set -euo pipefail
cd "$(dirname "$0")/.."
ZIP=${1:-${QB_DATA:-/tmp/qbench-data}/corpus.zip}
QUIL=$(realpath "${QUIL:-./build/cli/quil}")
OUT=${OUT:-/dev/shm/quil-extract-bench}
RUNS=${RUNS:-10}
[[ -f "$ZIP" ]] || { echo "no $ZIP: build it with make-data.sh (corpus.zip)" >&2; exit 1; }
[[ -x "$QUIL" ]] || { echo "no $QUIL: cmake --build --preset default first" >&2; exit 1; }
command -v hyperfine >/dev/null || { echo "hyperfine is needed" >&2; exit 1; }
mkdir -p "$OUT"
trap 'rm -rf "$OUT"' EXIT

echo "archive: $ZIP ($(stat -c %s "$ZIP") bytes), output in $OUT"
prep="rm -rf '$OUT/x' && mkdir -p '$OUT/x'"
hyperfine -w 1 -r "$RUNS" --export-json /tmp/extract-zip-test.json \
  -n "quil t" "$QUIL t '$ZIP'" \
  -n "unzip -t" "unzip -tq '$ZIP'" \
  -n "7zz t" "7zz t -bso0 '$ZIP'" \
  -n "bsdtar -xO" "bsdtar -xOf '$ZIP' >/dev/null" >/dev/null
hyperfine -w 1 -r "$RUNS" --prepare "$prep" --export-json /tmp/extract-zip-x.json \
  -n "quil x" "$QUIL x -y -o '$OUT/x' '$ZIP'" \
  -n "unzip -o" "unzip -q -o '$ZIP' -d '$OUT/x'" \
  -n "7zz x" "7zz x -y -bso0 -o'$OUT/x' '$ZIP'" \
  -n "bsdtar -x" "bsdtar -xf '$ZIP' -C '$OUT/x'" >/dev/null
python3 - <<'PY'
import json
for f in ("/tmp/extract-zip-test.json", "/tmp/extract-zip-x.json"):
    for r in json.load(open(f))["results"]:
        print(f'{r["command"]:12s} median {r["median"]*1000:8.1f} ms   (min {r["min"]*1000:.1f} ms)')
PY
