#!/usr/bin/env bash
# Installs the Debian packages Quillet needs to build and test. Quick when all are present.
set -euo pipefail
PKGS=(
  build-essential cmake ninja-build pkg-config
  zlib1g-dev libdeflate-dev libmspack-dev libarchive-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  qt6-base-dev
  zip unzip 7zip libarchive-tools
)
missing=()
for p in "${PKGS[@]}"; do
  st=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$st" == "install ok installed" ]] || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "[setup] installing: ${missing[*]}" >&2
  SUDO=""; [[ $(id -u) -eq 0 ]] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
