#!/usr/bin/env bash
# Installs what is missing, builds, and runs Quillet on ARCHIVE (or on the sample archives).
set -euo pipefail
cd "$(dirname "$0")"
./scripts/setup-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j"$(nproc)" --target quil
if [[ $# -gt 0 ]]; then
  exec ./build/cli/quil info "$@"
else
  exec ./build/cli/quil info samples/*
fi
