#!/usr/bin/env bash
# Build (into BUILD_DIR, default build/), then run every test there.
# Afterwards the unit tests run once more in a build with AddressSanitizer
# and UndefinedBehaviorSanitizer (build-asan/), and every fuzz harness of
# fuzz/ runs for 20 s under both (build-fuzz/, clang; SKIP_FUZZ=1 leaves
# that out).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"

# Independent readers used by some map tests; optional.
if [ "$(id -u)" = 0 ] && ! /usr/bin/python3 -c 'import mrcfile, numpy' >/dev/null 2>&1; then
  (apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq python3-numpy python3-mrcfile >/dev/null) || true
fi

# The tests run where the programs were just built (BUILD_DIR, as build.sh
# reads it), never on what another build directory holds.
builddir="${BUILD_DIR:-build}"
# Every target, whatever BUILD_TARGETS the caller has set.
export BUILD_TARGETS=
bash scripts/build.sh
jobs="${JOBS:-$(nproc)}"
ctest --test-dir "$builddir" --output-on-failure --no-tests=error -j "$jobs"

if [ "${SKIP_SANITIZERS:-0}" != 1 ]; then
  echo "== unit tests under AddressSanitizer + UndefinedBehaviorSanitizer =="
  BUILD_DIR=build-asan bash scripts/build.sh -DQUILT_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure --no-tests=error -j "$jobs" -LE 'realdata|slow'
fi

if [ "${SKIP_FUZZ:-0}" != 1 ]; then
  echo "== fuzz harnesses, 20 s each, under AddressSanitizer + UndefinedBehaviorSanitizer =="
  FUZZ_JOBS="${FUZZ_JOBS:-3}" bash scripts/fuzz.sh 20
fi
