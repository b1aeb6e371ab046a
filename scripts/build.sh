#!/usr/bin/env bash
# Optimised build into build/ (programs in build/bin/).
# Builds every target (programs, libraries, test binaries) unless BUILD_TARGETS
# names some, separated by spaces: then only those and what they need, e.g.
#   BUILD_TARGETS="Quilter Placer" bash scripts/build.sh
# Arguments are passed to the CMake configure step.
# Installs the Debian packages the build needs when they are missing and we are root.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"

need=()
command -v cmake >/dev/null 2>&1 || need+=(cmake)
command -v g++ >/dev/null 2>&1 || need+=(g++)
[ -f /usr/include/gtest/gtest.h ] || need+=(libgtest-dev libgmock-dev)
[ -f /usr/include/boost/version.hpp ] || need+=(libboost-dev)
if [ "${#need[@]}" -gt 0 ]; then
  if [ "$(id -u)" = 0 ]; then
    echo "build.sh: installing ${need[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" >/dev/null
  else
    echo "build.sh: missing packages: ${need[*]} (run as root to install them)" >&2
    exit 1
  fi
fi

builddir="${BUILD_DIR:-build}"
jobs="${JOBS:-$(nproc)}"
cmake -S . -B "$builddir" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
targets=()
if [ -n "${BUILD_TARGETS:-}" ]; then
  read -r -a names <<<"$BUILD_TARGETS"
  targets=(--target "${names[@]}")
fi
cmake --build "$builddir" -j "$jobs" "${targets[@]}"
