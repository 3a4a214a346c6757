#!/usr/bin/env bash
# Installs what is missing, builds, and lists ARCHIVE (or the sample archives) with quil l.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/setup-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j"$(nproc)" --target quil
[[ $# -gt 0 ]] || set -- samples/*
rc=0
for a in "$@"; do
  echo "== $a"
  ./build/cli/quil l "$a" || rc=$?
done
exit "$rc"
