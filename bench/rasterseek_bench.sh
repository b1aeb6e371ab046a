#!/usr/bin/env bash
# Rasterseek benchmark: wall time, peak memory and CA RMSD per chain, with 1 and
# 8 threads at 20 and 10 degrees.
#   whole-complex maps: every chain of 2DQJ and 1Z5S (10 A maps), chain A of 3MHT (6 A map)
#   goal case: a 369-residue chain (actin, 3MFP) in a simulated 6 A map of ~100^3 voxels
#   real map: the same chain in EMD-5168 (100^3 voxels, 6.6 A; the filament holds many
#             equivalent copies, so the RMSD to the deposited copy is only indicative)
# Every chain is moved by a random rigid-body motion first (../shared/tools/make_case.py)
# and run with the assembly program's command line (5 results).  Reported per run: the
# CA RMSD of result 1 to the true place, and the rank and RMSD of the first result
# within 3 A (the true pose), or "-" when none of the 5 is.
# Needs the shared data (../shared/data), /usr/bin/python3 with numpy and /usr/bin/time.
#   usage: bash bench/rasterseek_bench.sh [seed] [case ...]   (QUILT_BUILD=<build dir>, default build)
#   cases: 2dqj_H 2dqj_L 2dqj_Y 1z5s_A 1z5s_B 1z5s_C 1z5s_D 3mht_A actin_sim6A emd5168_actin
#   RS_DEGREES and RS_THREADS override the lists "20 10" and "1 8".
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
seed="${1:-7}"
shift || true
data="${QUILT_SHARED_DATA:-$here/../shared/data}"
tools="$(cd "$data/.." && pwd)/tools"
py=/usr/bin/python3
degrees="${RS_DEGREES:-20 10}"
threads="${RS_THREADS:-1 8}"

if [ ! -x /usr/bin/time ]; then
  if [ "$(id -u)" = 0 ]; then
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq time >/dev/null
  else
    echo "rasterseek_bench.sh: /usr/bin/time is missing (Debian package 'time')" >&2; exit 1
  fi
fi
bin="${QUILT_BUILD:-build}/bin"
if [ -z "${QUILT_BUILD:-}" ]; then
  [ -x build/bin/Rasterseek ] && [ -x build/bin/simulate_map ] || BUILD_DIR=build bash scripts/build.sh
fi
[ -x "$bin/Rasterseek" ] && [ -x "$bin/simulate_map" ] || { echo "rasterseek_bench.sh: no Rasterseek/simulate_map in $bin" >&2; exit 1; }
bin="$(cd "$bin" && pwd)"

work="$(mktemp -d /tmp/rasterseek_bench_XXXXXX)"
trap 'rm -rf "$work"' EXIT

cx="$data/complexes"
awk '/^ATOM/ && substr($0,22,1)=="A"' "$data/single/3MFP.pdb" > "$work/actin.pdb"; echo TER >> "$work/actin.pdb"
"$bin/simulate_map" "$work/actin.pdb" "$work/actin_6A.mrc" 6 1.0 14 >/dev/null

declare -A map res chain
for c in H L Y; do map[2dqj_$c]="$cx/2dqj/2dqj_10A_tempy.mrc"; res[2dqj_$c]=10; chain[2dqj_$c]="$cx/2dqj/2DQJ.pdb:$c"; done
for c in A B C D; do map[1z5s_$c]="$cx/1z5s/1z5s_10.mrc"; res[1z5s_$c]=10; chain[1z5s_$c]="$cx/1z5s/1z5s_$c.pdb"; done
map[3mht_A]="$cx/3mht/3mht_sim6A.mrc"; res[3mht_A]=6; chain[3mht_A]="$cx/3mht/3mht.pdb:A"
map[actin_sim6A]="$work/actin_6A.mrc"; res[actin_sim6A]=6; chain[actin_sim6A]="$work/actin.pdb"
map[emd5168_actin]="$data/single/emd_5168.map"; res[emd5168_actin]=6.6; chain[emd5168_actin]="$work/actin.pdb"
cases=("$@")
[ "${#cases[@]}" -gt 0 ] || cases=(2dqj_H 2dqj_L 2dqj_Y 1z5s_A 1z5s_B 1z5s_C 1z5s_D 3mht_A actin_sim6A emd5168_actin)

# CA RMSD (matched by residue number) of each result to the true chain:
# "rmsd1 rank_of_first_within_3A rmsd_of_that".
score() {
  $py - "$1" <<'EOF'
import sys, os
d = sys.argv[1]
def ca(p):
    out = {}
    for l in open(p):
        if l.startswith('ATOM') and l[12:16] == ' CA ':
            out[l[22:27]] = (float(l[30:38]), float(l[38:46]), float(l[46:54]))
    return out
t = ca(os.path.join(d, 'true_1.pdb'))
r = []
k = 1
while os.path.exists(os.path.join(d, 'c1_00%d.pdb' % k)):
    m = ca(os.path.join(d, 'c1_00%d.pdb' % k))
    s = sum(sum((m[key][i] - t[key][i]) ** 2 for i in range(3)) for key in t) / len(t)
    r.append(s ** 0.5); k += 1
hit = [i for i, x in enumerate(r) if x <= 3.0]
print('%.2f %s %s' % (r[0] if r else float('inf'), hit[0] + 1 if hit else '-', '%.2f' % r[hit[0]] if hit else '-'))
EOF
}

rows=()
for name in "${cases[@]}"; do
  [ -n "${map[$name]:-}" ] || { echo "unknown case $name" >&2; exit 1; }
  dir="$work/$name"
  $py "$tools/make_case.py" "$dir" "${map[$name]}" "${res[$name]}" "$seed" "${chain[$name]}" >/dev/null
  dims=$(head -c 12 "$dir/map.mrc" | od -An -t d4 | awk '{ print $1 "x" $2 "x" $3 }')
  nres=$(grep -c '^ATOM.\{8\} CA ' "$dir/chain1.pdb" || true)
  for deg in $degrees; do
    for np in $threads; do
      rm -f "$dir"/c1_00*.pdb
      cp "$dir/chain1.pdb" "$dir/c1.pdb"
      opt=""; [ "$np" -ge 2 ] && opt="-nprocs $np"
      ( cd "$dir" && /usr/bin/time -v -o time.txt "$bin/Rasterseek" map.mrc "$dir/c1.pdb" c1 -res "${res[$name]}" -deg "$deg" -explor 5 $opt > FFTlog.txt )
      wall=$(awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, t, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + t[i]; printf "%.2f", s }' "$dir/time.txt")
      mem=$(awk -F': ' '/Maximum resident set size/ { printf "%.0f", $2 / 1024 }' "$dir/time.txt")
      read -r r1 rank rt <<< "$(score "$dir")"
      cc=$(awk '/c1_001.pdb  correlation/ { print $NF }' "$dir/FFTlog.txt")
      rows+=("$(printf '%-14s %4s %-10s %5s %4s %3s %8s %8s %8s %6s %6s %7s' "$name" "$nres" "$dims" "${res[$name]}" "$deg" "$np" "$wall" "$mem" "$r1" "$rank" "$rt" "${cc:0:6}")")
      echo "${rows[-1]}"
    done
  done
done

echo
printf '%-14s %4s %-10s %5s %4s %3s %8s %8s %8s %6s %6s %7s\n' case res map_vox res_A deg thr wall_s peak_MB rmsd1_A true@ rmsd_A corr1
for r in "${rows[@]}"; do echo "$r"; done
echo "(true@: rank of the first result within 3 A of the true place; EMD-5168: RMSD to the deposited copy only)"
