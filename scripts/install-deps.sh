#!/usr/bin/env bash
# Installs the Debian packages Quorrel builds, runs and tests with. Idempotent.
set -euo pipefail
# clang and its runtime libraries build the fuzz targets (libFuzzer with the sanitizers).
PACKAGES=(mpich libmpich-dev libargtable2-dev libgtest-dev cmake g++ make clang libclang-rt-14-dev)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
