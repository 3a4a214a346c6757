#!/usr/bin/env bash
# Installs what is missing, builds, and lists ARCHIVE (or the sample archives) with quil l.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/setup-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j"$(nproc)" --target quil
if [[ $# -gt 0 ]]; then
  for a in "$@"; do ./build/cli/quil l "$a"; done
else
  for a in samples/*; do ./build/cli/quil l "$a"; done
fi
