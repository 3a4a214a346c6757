#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite twice: once normally and once
# with AddressSanitizer + UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/setup-deps.sh
jobs=$(nproc)
for preset in default sanitize; do
  echo "== $preset build =="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j"$jobs"
  echo "== $preset tests =="
  ctest --preset "$preset" -j"$jobs"
done
