#!/usr/bin/env bash
# Times `quil l --tsv` against bsdtar -tf, lsar and 7zz l on a large TAR (10,000 small entries,
# made from the benchmark corpus's small/ tree) and on the corpus's LHA and ARJ archives.
# Usage: bench/list_readers.sh [path/to/quil]   (corpus: /work/shared/bench/make-data.sh)
set -euo pipefail
export LC_ALL=C
QUIL=${1:-$(dirname "$0")/../build/cli/quil}
D=${QB_DATA:-/tmp/qbench-data}
[ -x "$QUIL" ] || { echo "no quil at $QUIL (build the default preset first)" >&2; exit 1; }
[ -d "$D/small" ] || { echo "no corpus in $D: run make-data.sh" >&2; exit 1; }

TAR10K=$D/small10k.tar
if [ ! -f "$TAR10K" ]; then
  (cd "$D/small" && find . -type f | sort | head -n 10000 |
     tar --format=gnu --mtime=@1700000000 --owner=0 --group=0 -cf "$TAR10K" -T -)
fi

run() {  # run NAME ARCHIVE: every peer that can list the archive
  local name=$1 a=$2 peers=()
  echo "== $name: $(du -h "$a" | cut -f1), $("$QUIL" l --tsv "$a" | wc -l) entries"
  bsdtar -tf "$a" >/dev/null 2>&1 && peers+=(-n bsdtar "bsdtar -tf $a")
  lsar "$a" >/dev/null 2>&1 && peers+=(-n lsar "lsar $a")
  7zz l "$a" >/dev/null 2>&1 && peers+=(-n 7zz "7zz l $a")
  hyperfine -N --warmup 3 --min-runs 15 --style basic --export-markdown /dev/stdout \
    -n quil "$QUIL l --tsv $a" "${peers[@]}"
}

run "TAR, 10,000 small entries" "$TAR10K"
run "TAR corpus" "$D/corpus.tar"
run "LHA corpus (level 2)" "$D/corpus.lzh"
run "ARJ corpus" "$D/corpus.arj"
