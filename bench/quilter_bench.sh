#!/usr/bin/env bash
# Assembly benchmark: wall time, peak memory and per-chain RMSD of Quilter on
# three complexes of the shared data, every chain moved by its own random
# rigid-body motion first (../shared/tools/make_case.py), scored in place
# against the true chains (../shared/tools/assembly_scores.py; CA atoms, P
# atoms for DNA):
#   2dqj  antibody Fv (H, L) with lysozyme (Y), simulated 10 A map (true
#         chains from 2DQJ.pdb)
#   1z5s  four chains, simulated 10 A map
#   3mht  methyltransferase with two DNA strands, 6 A map (mixed road with
#         NA.map and Pro.map)
# Needs the shared data, /usr/bin/python3 with numpy and /usr/bin/time.
#   usage: bash bench/quilter_bench.sh [seed] [processes]   (QUILT_BUILD=<build dir>, default build)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
seed="${1:-1}"
nco="${2:-8}"
data="${QUILT_SHARED_DATA:-$here/../shared/data}"
tools="$(cd "$data/.." && pwd)/tools"
py=/usr/bin/python3

if [ ! -x /usr/bin/time ]; then
  if [ "$(id -u)" = 0 ]; then
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq time >/dev/null
  else
    echo "quilter_bench.sh: /usr/bin/time is missing (Debian package 'time')" >&2; exit 1
  fi
fi
bin="${QUILT_BUILD:-build}/bin"
[ -n "${QUILT_BUILD:-}" ] || bash scripts/build.sh >/dev/null
[ -x "$bin/Quilter" ] || { echo "quilter_bench.sh: no Quilter in $bin" >&2; exit 1; }

work="$(mktemp -d /tmp/quilter_bench_XXXXXX)"
trap 'rm -rf "$work"' EXIT

c="$data/complexes"
run_case() {
  local name="$1"; shift
  local dir="$work/$name"
  "$py" "$tools/make_case.py" "$dir" "$@" >/dev/null
  /usr/bin/time -f '%e %M' -o "$dir/time.txt" \
    "$bin/Quilter" "$dir" "$dir/map.mrc" "$dir/res.txt" -nco "$nco" > "$dir/log.txt" 2>&1 || true
  read -r secs kb < "$dir/time.txt"
  local scores
  if [ -f "$dir/segCmodel1.pdb" ]; then
    scores="$("$py" "$tools/assembly_scores.py" "$dir/segCmodel1.pdb" 3 "$dir"/true_*.pdb | \
      awk '/^true_/{sub("rmsd=","",$3); printf "%s ", $3} /^placed=/{s=$0} END{printf "| %s", s}')"
  else
    scores="no model written"
  fi
  printf '%-6s %8.1f s %8.0f MB   %s\n' "$name" "$secs" "$((kb / 1024))" "$scores"
}

echo "complex   wall time   peak memory   per-chain RMSD (A) | summary   (seed $seed, -nco $nco)"
run_case 2dqj "$c/2dqj/2dqj_10A_tempy.mrc" 10 "$seed" "$c/2dqj/2DQJ.pdb:H" "$c/2dqj/2DQJ.pdb:L" "$c/2dqj/2DQJ.pdb:Y"
run_case 1z5s "$c/1z5s/1z5s_10.mrc" 10 "$seed" "$c"/1z5s/1z5s_{A,B,C,D}.pdb
run_case 3mht "$c/3mht/3mht_sim6A.mrc" 6 "$seed" "$c/3mht/3mht.pdb:A" "$c/3mht/3mht.pdb:C" "$c/3mht/3mht.pdb:D" \
  --na "$c/3mht/NA.map" --pro "$c/3mht/Pro.map"
