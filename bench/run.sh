#!/usr/bin/env bash
# Builds the benchmarks into build-bench/ and runs them all (or those named).
# FFTW is installed here only as the FFT benchmark's reference; the programs never link it.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
if [ "$(id -u)" = 0 ]; then
  need=()
  [ -f /usr/include/fftw3.h ] || need+=(libfftw3-dev)
  [ -f /usr/include/benchmark/benchmark.h ] || need+=(libbenchmark-dev)
  if [ "${#need[@]}" -gt 0 ]; then
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" >/dev/null
  fi
fi
BUILD_DIR=build-bench bash scripts/build.sh -DQUILT_BENCH=ON
names=("$@")
if [ "${#names[@]}" -eq 0 ]; then
  for b in build-bench/bench/*; do names+=("$(basename "$b")"); done
fi
for n in "${names[@]}"; do
  echo "== $n"
  "build-bench/bench/$n"
done
