#!/usr/bin/env bash
# Placer benchmark: wall time, peak memory and CA RMSD on three cases.
#   1. a ~100-residue chain (2DQJ light chain) in its simulated 5 A map
#   2. a ~300-residue chain (actin, 3MFP, 369 residues) in its simulated 5 A map (~100^3 voxels of 1 A)
#   3. the real filament map EMD-5168 with the actin protomer 3MFP (any copy in the
#      filament is a correct fit, so the RMSD to the deposited copy is only indicative;
#      the correlation is compared with the deposited protomer's)
# Every chain is moved by a random rigid-body motion first (../shared/tools/make_case.py).
# Needs the shared data (../shared/data), /usr/bin/python3 with numpy and /usr/bin/time.
#   usage: bash bench/placer_bench.sh [seed]     (QUILT_BUILD=<build dir>, default build)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
seed="${1:-7}"
data="${QUILT_SHARED_DATA:-$here/../shared/data}"
tools="$(cd "$data/.." && pwd)/tools"
py=/usr/bin/python3

if [ ! -x /usr/bin/time ]; then
  if [ "$(id -u)" = 0 ]; then
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq time >/dev/null
  else
    echo "placer_bench.sh: /usr/bin/time is missing (Debian package 'time')" >&2; exit 1
  fi
fi
bin="${QUILT_BUILD:-build}/bin"
if [ -z "${QUILT_BUILD:-}" ]; then
  [ -x build/bin/Placer ] && [ -x build/bin/simulate_map ] || BUILD_DIR=build bash scripts/build.sh
fi
[ -x "$bin/Placer" ] && [ -x "$bin/simulate_map" ] || { echo "placer_bench.sh: no Placer/simulate_map in $bin" >&2; exit 1; }

work="$(mktemp -d /tmp/placer_bench_XXXXXX)"
trap 'rm -rf "$work"' EXIT

# ATOM records of one chain, without inner TER records, ending in TER.
chain_of() { awk -v c="$2" '/^ATOM/ && substr($0,22,1)==c' "$1"; echo TER; }

chain_of "$data/complexes/2dqj/2DQJ.pdb" L > "$work/light.pdb"
chain_of "$data/single/3MFP.pdb" A > "$work/actin.pdb"
"$bin/simulate_map" "$work/light.pdb" "$work/light_5A.mrc" 5 1.0 12 >/dev/null
"$bin/simulate_map" "$work/actin.pdb" "$work/actin_5A.mrc" 5 1.0 14 >/dev/null

results=()
run_case() {  # name map resolution model [placer options...]
  local name="$1" map="$2" res="$3" model="$4"; shift 4
  local dir="$work/$name"
  $py "$tools/make_case.py" "$dir" "$map" "$res" "$seed" "$model" >/dev/null
  /usr/bin/time -v -o "$dir/time.txt" "$bin/Placer" "$dir/map.mrc" "$dir/chain1.pdb" "$res" -sl 0 "$@" > "$dir/log.txt"
  local wall mem rmsd rscc dims
  wall=$(awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, t, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + t[i]; printf "%.2f", s }' "$dir/time.txt")
  mem=$(awk -F': ' '/Maximum resident set size/ { printf "%.0f", $2 / 1024 }' "$dir/time.txt")
  rmsd=$( ($py "$tools/assembly_scores.py" "$dir/chain1_1.pdb" 1 "$dir/true_1.pdb" || true) | awk '/rmsd=/ { sub(/.*rmsd=/, ""); print; exit }')
  rscc=$(awk '/RSCC of chain1_1:/ { print $NF }' "$dir/log.txt")
  dims=$(head -c 12 "$dir/map.mrc" | od -An -t d4 | awk '{ print $1 "x" $2 "x" $3 }')
  results+=("$(printf '%-22s %-12s %6s %9s %9s %8s %8s' "$name" "$dims" "$res" "$wall" "$mem" "$rmsd" "$rscc")")
}

run_case chain_107_res_5A "$work/light_5A.mrc" 5 "$work/light.pdb"
run_case chain_369_res_5A "$work/actin_5A.mrc" 5 "$work/actin.pdb"
run_case emd5168_actin "$data/single/emd_5168.map" 6.6 "$work/actin.pdb"

echo
printf '%-22s %-12s %6s %9s %9s %8s %8s\n' case map_voxels res_A wall_s peak_MB rmsd_A rscc
for r in "${results[@]}"; do echo "$r"; done
echo "(EMD-5168: the RMSD is to the deposited copy; the filament has many equivalent copies)"
