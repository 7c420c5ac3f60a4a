#!/usr/bin/env bash
# Configures and builds one tree: scripts/build.sh <build-dir> [extra cmake arguments]
#
# Release trees use link-time optimisation (CMake option QUORREL_LTO, on where
# the toolchain supports it). Profile-guided optimisation is available on
# request with -DQUORREL_PGO=ON on a Release tree: the first time, an
# instrumented engine in <build-dir>/pgo-train searches the bench positions to
# depth 6 (a few seconds, the same tree every run), and its profiles in
# <build-dir>/pgo-profile steer the real build from then on (delete that folder
# to train again). It is not the default: measured on quorrel-bench 10 it was
# slower than the build without it. Sanitizer builds never use it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:?build directory}
shift
mkdir -p "$dir"
dir_abs=$(cd "$dir" && pwd)
profile="$dir_abs/pgo-profile"
common=(-DMPI_CXX_COMPILER=/usr/bin/mpicxx.mpich -DMPIEXEC_EXECUTABLE=/usr/bin/mpiexec.mpich)

release=false
pgo=off
sanitize=false
args=()
for arg in "$@"; do
  case "$arg" in
    -DCMAKE_BUILD_TYPE=Release) release=true ;;
    -DCMAKE_BUILD_TYPE=*) release=false ;;
    -DQUORREL_SANITIZE=ON) sanitize=true ;;
  esac
  case "$arg" in
    -DQUORREL_PGO=ON) pgo=on ;;
    -DQUORREL_PGO=*) pgo=off ;;
    *) args+=("$arg") ;;
  esac
done

train() {
  local train_dir="$dir_abs/pgo-train"
  rm -rf "$profile"
  cmake -S "$root" -B "$train_dir" "${common[@]}" "${args[@]}" -DBUILD_TESTING=OFF \
    -DQUORREL_PGO=GENERATE -DQUORREL_PGO_PROFILE_DIR="$profile" >/dev/null &&
    cmake --build "$train_dir" -j"$(nproc)" --target quorrel-bench >/dev/null &&
    (cd "$train_dir" && ./quorrel-bench 6 >/dev/null 2>&1)
}

mode=""
if [ "$pgo" = on ] && [ "$release" = true ] && [ "$sanitize" = false ]; then
  if [ -d "$profile" ] || train; then
    mode=USE
  else
    echo "build.sh: profile-guided optimisation unavailable here; building without it" >&2
    rm -rf "$profile"
  fi
fi
cmake -S "$root" -B "$dir" "${common[@]}" "${args[@]}" -DQUORREL_PGO="$mode" \
  -DQUORREL_PGO_PROFILE_DIR="$profile" >/dev/null
cmake --build "$dir" -j"$(nproc)"
