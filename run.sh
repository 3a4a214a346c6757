#!/usr/bin/env bash
# Installs what is missing, builds, and opens ARCHIVE (or samples/sample.zip) in the window
# program. Without a display it says so and lists the archive with quil l instead.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/setup-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j"$(nproc)" --target quil quillet
archive=${1:-samples/sample.zip}
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  echo "No display (\$DISPLAY and \$WAYLAND_DISPLAY are empty): listing $archive with quil l instead."
  exec ./build/cli/quil l "$archive"
fi
exec ./build/app/quillet "$archive"
