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
#
# Accuracy by resolution: with --resolutions "R1 R2 ..." the maps are not the
# shipped ones but simulated here (build/bin/simulate_map, all chains
# together) at every resolution R, with voxels of R/3 A (at least 1 A) and a
# margin of max(12, R) A around the model; for 3mht the protein-only and
# DNA-only maps (Pro.map, NA.map) are simulated on the same grid
# (bench/subset_map.py).  The complexes are 2dqj, 1z5s, 3mht and, when the
# Debian package pymol-data is installed (installed here when run as root),
# 1tii (heat-labile enterotoxin IIb, 7 chains, as in scripts/example.sh).
# Every case is assembled twice, with the default correlation threshold and
# with -rsc 0 (threshold derived from the resolution), and printed as one
# markdown table row: chains, wall time, per-chain RMSD, chains within 3 A,
# largest RMSD, Quilter's exit status, whether it printed ASSEMBLY FINISHED
# and how many warnings it printed, with the threshold it reported.
#   usage: bash bench/quilter_bench.sh --resolutions "6 10 15 20" [seed] [processes]
#          (QUILT_BENCH_COMPLEXES="2dqj 1z5s 3mht 1tii" to choose complexes;
#           QUILT_BENCH_KEEP=1 keeps the cases and Quilter's logs)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
resolutions=""
if [ "${1:-}" = "--resolutions" ]; then
  [ $# -ge 2 ] || { echo "quilter_bench.sh: --resolutions needs a list, e.g. \"6 10 15 20\"" >&2; exit 2; }
  resolutions="$2"; shift 2
fi
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
[ -n "${QUILT_BUILD:-}" ] || BUILD_DIR=build bash scripts/build.sh >/dev/null
[ -x "$bin/Quilter" ] || { echo "quilter_bench.sh: no Quilter in $bin" >&2; exit 1; }

work="$(mktemp -d /tmp/quilter_bench_XXXXXX)"
if [ -n "${QUILT_BENCH_KEEP:-}" ]; then
  echo "quilter_bench.sh: cases and logs kept in $work" >&2
else
  trap 'rm -rf "$work"' EXIT
fi

c="$data/complexes"
run_case() {
  local name="$1"; shift
  local dir="$work/$name"
  "$py" "$tools/make_case.py" "$dir" "$@" >/dev/null
  /usr/bin/time -f '%e %M' -o "$dir/time.txt" \
    "$bin/Quilter" "$dir" "$dir/map.mrc" "$dir/res.txt" -nco "$nco" > "$dir/log.txt" 2>&1 || true
  read -r secs kb < <(tail -n 1 "$dir/time.txt")
  local scores
  if [ -f "$dir/segCmodel1.pdb" ]; then
    scores="$({ "$py" "$tools/assembly_scores.py" "$dir/segCmodel1.pdb" 3 "$dir"/true_*.pdb || true; } | \
      awk '/^true_/{sub("rmsd=","",$3); printf "%s ", $3} /^placed=/{s=$0} END{printf "| %s", s}')"
  else
    scores="no model written"
  fi
  printf '%-6s %8.1f s %8.0f MB   %s\n' "$name" "$secs" "$((kb / 1024))" "$scores"
}

# One complex at one resolution: simulated map(s), the moved-chain case, and
# Quilter with the default threshold and with -rsc 0.
#   run_resolution NAME RES WHOLE.pdb NA_CHAINS PRO_CHAINS chainspec ...
# (NA_CHAINS/PRO_CHAINS: chain identifiers for NA.map and Pro.map, "-" when
# the complex has no nucleic acid)
run_resolution() {
  local name="$1" res="$2" whole="$3" na="$4" pro="$5"; shift 5
  local voxel margin base="$work/$name-$res"
  voxel="$(awk -v r="$res" 'BEGIN { v = r / 3; if (v < 1) v = 1; printf "%.2f", v }')"
  margin="$(awk -v r="$res" 'BEGIN { print (r > 12 ? r : 12) }')"
  mkdir -p "$base"
  "$bin/simulate_map" "$whole" "$base/map.mrc" "$res" "$voxel" "$margin" >/dev/null
  local extra=()
  if [ "$na" != "-" ]; then
    "$py" bench/subset_map.py "$bin/simulate_map" "$whole" "$base/map.mrc" "$na" "$res" "$voxel" "$margin" "$base/NA.map"
    "$py" bench/subset_map.py "$bin/simulate_map" "$whole" "$base/map.mrc" "$pro" "$res" "$voxel" "$margin" "$base/Pro.map"
    extra=(--na "$base/NA.map" --pro "$base/Pro.map")
  fi
  local mode
  for mode in default rsc0; do
    local dir="$base/$mode" opts=() status=0
    [ "$mode" = rsc0 ] && opts=(-rsc 0)
    "$py" "$tools/make_case.py" "$dir" "$base/map.mrc" "$res" "$seed" "$@" "${extra[@]}" >/dev/null
    /usr/bin/time -f '%e %M' -o "$dir/time.txt" \
      "$bin/Quilter" "$dir" "$dir/map.mrc" "$dir/res.txt" -nco "$nco" "${opts[@]}" > "$dir/log.txt" 2>&1 || status=$?
    local secs kb cut finished=no scores
    read -r secs kb < <(tail -n 1 "$dir/time.txt")
    cut="$(sed -n 's/.*Initial RSCC_cut=\([0-9.]*\).*/\1/p' "$dir/log.txt" | head -n 1)"
    grep -q "ASSEMBLY FINISHED" "$dir/log.txt" && finished=yes
    # Warnings of the run (the closing "Check these chains" line not counted).
    local warnings
    warnings="$(grep '^Warning!' "$dir/log.txt" | grep -vc '^Warning! Check these chains' || true)"
    if [ -f "$dir/segCmodel1.pdb" ]; then
      scores="$({ "$py" "$tools/assembly_scores.py" "$dir/segCmodel1.pdb" 3 "$dir"/true_*.pdb || true; } | \
        awk '/^true_/ { sub("rmsd=", "", $3); list = list (list == "" ? "" : " ") $3 }
             /^placed=/ { split($2, w, "="); sub("max_rmsd=", "", $3); within = w[2]; max = $3 }
             END { printf "%s | %s | %s", list, within, max }')"
    else
      scores="no model written | 0 | -"
    fi
    printf '| %s | %d | %s | %s | %s | %s (%s) | %.0f | %s | %d | %s | %s |\n' "$name" "$#" "$res" "$voxel" "$seed" \
      "$([ "$mode" = rsc0 ] && echo "-rsc 0" || echo default)" "${cut:-?}" "$secs" "$scores" "$status" "$finished" \
      "$warnings"
  done
}

if [ -n "$resolutions" ]; then
  complexes="${QUILT_BENCH_COMPLEXES:-2dqj 1z5s 3mht 1tii}"
  tii=/usr/share/pymol/data/demo/1tii.pdb
  if [[ " $complexes " == *" 1tii "* && ! -f "$tii" ]]; then
    if [ "$(id -u)" = 0 ]; then
      apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq pymol-data >/dev/null
    else
      echo "quilter_bench.sh: $tii is missing (Debian package pymol-data): 1tii left out" >&2
    fi
  fi
  # The whole complexes (ATOM records), as simulate_map reads them.
  grep '^ATOM' "$c/2dqj/2DQJ.pdb" > "$work/2dqj.pdb"
  cat "$c"/1z5s/1z5s_{A,B,C,D}.pdb | grep '^ATOM' > "$work/1z5s.pdb"
  grep '^ATOM' "$c/3mht/3mht.pdb" > "$work/3mht.pdb"
  if [ -f "$tii" ]; then grep '^ATOM' "$tii" > "$work/1tii.pdb"; fi
  echo "Quilter by resolution: seed $seed, -nco $nco, $(git -C "$here" rev-parse --short HEAD 2>/dev/null || echo '?')"
  echo "| complex | chains | res (A) | voxel (A) | seed | threshold (cut) | time (s) | per-chain RMSD (A) | within 3 A | max RMSD (A) | status | finished | warnings |"
  echo "|---|---|---|---|---|---|---|---|---|---|---|---|---|"
  for res in $resolutions; do
    for name in $complexes; do
      case "$name" in
        2dqj) run_resolution 2dqj "$res" "$work/2dqj.pdb" - - "$c/2dqj/2DQJ.pdb:"{H,L,Y} ;;
        1z5s) run_resolution 1z5s "$res" "$work/1z5s.pdb" - - "$c"/1z5s/1z5s_{A,B,C,D}.pdb ;;
        3mht) run_resolution 3mht "$res" "$work/3mht.pdb" CD A "$c/3mht/3mht.pdb:"{A,C,D} ;;
        1tii) if [ -f "$work/1tii.pdb" ]; then
                run_resolution 1tii "$res" "$work/1tii.pdb" - - "$work/1tii.pdb:"{A,C,D,E,F,G,H}
              fi ;;
        *) echo "quilter_bench.sh: unknown complex $name" >&2; exit 2 ;;
      esac
    done
  done
  exit 0
fi

echo "complex   wall time   peak memory   per-chain RMSD (A) | summary   (seed $seed, -nco $nco)"
run_case 2dqj "$c/2dqj/2dqj_10A_tempy.mrc" 10 "$seed" "$c/2dqj/2DQJ.pdb:H" "$c/2dqj/2DQJ.pdb:L" "$c/2dqj/2DQJ.pdb:Y"
run_case 1z5s "$c/1z5s/1z5s_10.mrc" 10 "$seed" "$c"/1z5s/1z5s_{A,B,C,D}.pdb
run_case 3mht "$c/3mht/3mht_sim6A.mrc" 6 "$seed" "$c/3mht/3mht.pdb:A" "$c/3mht/3mht.pdb:C" "$c/3mht/3mht.pdb:D" \
  --na "$c/3mht/NA.map" --pro "$c/3mht/Pro.map"
