#!/usr/bin/env bash
# Builds the libFuzzer harnesses of fuzz/ (clang, coverage + AddressSanitizer
# + UndefinedBehaviorSanitizer, in build-fuzz/) and runs each for a bounded
# time:   scripts/fuzz.sh [seconds per harness, default 60]
#
# First every committed regression input (*/tests/fuzz_regressions/<harness>/)
# is replayed through its harness.  The corpora start from the hand-made
# seeds of fuzz/make_seeds.py and the files of ../shared/data (linked, not
# copied) and grow in build-fuzz/corpus/.  Anything found (crash, sanitizer
# report, timeout, out-of-memory, failed check) is saved under
# build-fuzz/artifacts/<harness>/ and makes the script fail.
#
# FUZZ_JOBS harnesses run side by side (default 3); FUZZ_ONLY="a b" limits
# the run to those harnesses.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"

secs="${1:-60}"
jobs="${JOBS:-$(nproc)}"
fuzz_jobs="${FUZZ_JOBS:-3}"
harnesses=(mrc_fast mrc_plain situs pdb_protein pdb_columns domain_log resolution quilter_args placer_args)
if [ -n "${FUZZ_ONLY:-}" ]; then read -r -a harnesses <<<"$FUZZ_ONLY"; fi

# Debian's clang with its libFuzzer runtime.
if ! command -v clang++ >/dev/null 2>&1 || ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
  if [ "$(id -u)" = 0 ]; then
    echo "fuzz.sh: installing clang and its libFuzzer runtime"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq clang >/dev/null
    if ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
      ver="$(clang++ --version | sed -n 's/.*clang version \([0-9]*\).*/\1/p' | head -1)"
      DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "libclang-rt-${ver}-dev" >/dev/null
    fi
  else
    echo "fuzz.sh: clang and libclang-rt-*-dev are needed (run as root to install them)" >&2
    exit 1
  fi
fi

build="$here/build-fuzz"
cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DQUILT_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" >/dev/null
cmake --build "$build" -j "$jobs" --target quilt_fuzzers

seeds="$build/seeds"
rm -rf "$seeds"
/usr/bin/python3 fuzz/make_seeds.py "$seeds" ../shared/data
mkdir -p "$build/corpus" "$build/artifacts" "$build/logs" "$build/tmp"

export ASAN_OPTIONS="detect_leaks=0:allocator_may_return_null=1:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:${UBSAN_OPTIONS:-}"
export TMPDIR="$build/tmp"

dict_of() {
  case "$1" in
    pdb_*) echo "-dict=$here/fuzz/pdb.dict" ;;
    quilter_args|placer_args) echo "-dict=$here/fuzz/args.dict" ;;
    *) echo "" ;;
  esac
}

# Common limits: an input may take 10 s, the process 2 GB, one allocation
# 1 GB.  Inputs are at most 64 kB for the map readers (the small shared maps
# fit, larger ones are cut and still give their headers), 16 kB for the PDB
# readers and 4 kB for the rest.
limits=(-timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=1024 -close_fd_mask=1)
max_len_of() {
  case "$1" in
    mrc_*|situs) echo 65536 ;;
    pdb_*) echo 16384 ;;
    *) echo 4096 ;;
  esac
}

failed=0
echo "== replaying the committed fuzz regression inputs =="
for h in "${harnesses[@]}"; do
  files=()
  while IFS= read -r -d "" f; do files+=("$f"); done < <(find "$here" -path "$here/build*" -prune -o -path "*/tests/fuzz_regressions/$h/*" -type f -print0 | sort -z)
  [ "${#files[@]}" -gt 0 ] || continue
  if "$build/fuzz/fuzz_$h" "${limits[@]}" "${files[@]}" >"$build/logs/$h.replay.log" 2>&1; then
    echo "$h: ${#files[@]} regression inputs pass"
  else
    echo "$h: a regression input fails again (log: $build/logs/$h.replay.log)"
    tail -30 "$build/logs/$h.replay.log"
    failed=1
  fi
done

run_one() {
  local h="$1"
  mkdir -p "$build/corpus/$h" "$build/artifacts/$h"
  # shellcheck disable=SC2046
  "$build/fuzz/fuzz_$h" "$build/corpus/$h" "$seeds/$h" "${limits[@]}" -max_len="$(max_len_of "$h")" $(dict_of "$h") \
    -max_total_time="$secs" -print_final_stats=1 -artifact_prefix="$build/artifacts/$h/" \
    >"$build/logs/$h.log" 2>&1
}

echo "== fuzzing each harness for $secs s ($fuzz_jobs at a time) =="
declare -A pid_of status_of
for h in "${harnesses[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$fuzz_jobs" ]; do wait -n || true; done
  run_one "$h" &
  pid_of[$h]=$!
done
for h in "${harnesses[@]}"; do
  if wait "${pid_of[$h]}"; then status_of[$h]=0; else status_of[$h]=$?; fi
done

printf '%-14s %10s %14s %8s  %s\n' harness exec/s executions corpus result
for h in "${harnesses[@]}"; do
  log="$build/logs/$h.log"
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
  rate="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)"
  corpus="$(find "$build/corpus/$h" -type f | wc -l)"
  if [ "${status_of[$h]}" = 0 ]; then
    result=ok
  else
    result="FOUND SOMETHING (log: $log, input: $build/artifacts/$h/)"
    failed=1
  fi
  printf '%-14s %10s %14s %8s  %s\n' "$h" "${rate:-?}" "${runs:-?}" "$corpus" "$result"
done
bad=0
for h in "${harnesses[@]}"; do [ "${status_of[$h]}" = 0 ] || bad=$((bad + 1)); done
if [ "$failed" != 0 ]; then
  for h in "${harnesses[@]}"; do
    if [ "${status_of[$h]}" != 0 ]; then
      echo "---- $h ----"
      grep -m1 -B2 -A25 "ERROR\|FUZZ CHECK FAILED\|runtime error\|==ERROR\|deadly signal\|timeout\|out-of-memory" "$build/logs/$h.log" || tail -30 "$build/logs/$h.log"
    fi
  done
  echo "fuzz: $(( ${#harnesses[@]} - bad )) passed, $bad failed"
  exit 1
fi
echo "fuzz: ${#harnesses[@]} passed, 0 failed"
