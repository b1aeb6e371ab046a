#!/usr/bin/env bash
# Example run on a real complex: the heat-labile enterotoxin IIb of E. coli
# (PDB 1TII, as shipped by Debian's pymol-data): an A subunit, its A2 helix
# (chain C) and five identical B subunits (D-H).  Every chain is moved by its
# own random rigid-body motion, a 7 A map of the true complex is simulated,
# and Quilter assembles the complex from the moved chains.  Prints the CA
# RMSD of every assembled chain to its true place (copies of one sequence
# are interchangeable).  Works in build/example (recreated on every run);
# the user's files are not touched.
#   usage: bash scripts/example.sh [seed]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
seed="${1:-$RANDOM}"

# Only the programs this example runs: Quilter, the programs Quilter starts
# (Placer, PlacerRNA, Rasterseek, Lobeplace, Lobetune, lobecut) and the map
# simulator; the test binaries are left to scripts/test.sh.
BUILD_TARGETS="Quilter Placer PlacerRNA Rasterseek Lobeplace Lobetune lobecut simulate_map" bash scripts/build.sh
bin="${BUILD_DIR:-build}/bin"   # where build.sh put the programs

pdb=/usr/share/pymol/data/demo/1tii.pdb
if [ ! -f "$pdb" ]; then
  if [ "$(id -u)" = 0 ]; then
    echo "example.sh: installing pymol-data (for $pdb)"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq pymol-data >/dev/null
  else
    echo "example.sh: $pdb is missing; install the Debian package pymol-data (as root)" >&2
    exit 1
  fi
fi

work="$here/build/example"
rm -rf "$work"
mkdir -p "$work/data"

# The true complex (ATOM records, one TER after each chain).
awk '/^ATOM/ { c = substr($0,22,1); if (prev != "" && c != prev) print "TER"; print; prev = c }
     END { print "TER" }' "$pdb" > "$work/true.pdb"

# Every chain moved by a random rotation (unit quaternion from four normal
# deviates) about its centroid and a shift of 10-25 A: chain1.pdb ...
awk -v seed="$seed" -v dir="$work/data" '
  function gauss() { return sqrt(-2 * log(1 - rand())) * cos(6.283185307179586 * rand()) }
  function flush_chain(   i, cx, cy, cz, a, b, c, d, q, u, v, w, s, px, py, pz, f) {
    if (n == 0) return
    k++; f = dir "/chain" k ".pdb"
    for (i = 1; i <= n; i++) { cx += x[i]; cy += y[i]; cz += z[i] }
    cx /= n; cy /= n; cz /= n
    a = gauss(); b = gauss(); c = gauss(); d = gauss(); q = sqrt(a*a + b*b + c*c + d*d)
    a /= q; b /= q; c /= q; d /= q
    u = gauss(); v = gauss(); w = gauss(); s = (10 + 15 * rand()) / sqrt(u*u + v*v + w*w)
    for (i = 1; i <= n; i++) {
      px = x[i] - cx; py = y[i] - cy; pz = z[i] - cz
      printf "%s%8.3f%8.3f%8.3f%s\n", substr(line[i],1,30),
        cx + u*s + (a*a+b*b-c*c-d*d)*px + 2*(b*c-a*d)*py + 2*(b*d+a*c)*pz,
        cy + v*s + 2*(b*c+a*d)*px + (a*a-b*b+c*c-d*d)*py + 2*(c*d-a*b)*pz,
        cz + w*s + 2*(b*d-a*c)*px + 2*(c*d+a*b)*py + (a*a-b*b-c*c+d*d)*pz, substr(line[i],55) > f
    }
    print "TER" > f
    close(f); n = 0
  }
  BEGIN { srand(seed) }
  /^ATOM/ { n++; line[n] = $0; x[n] = substr($0,31,8); y[n] = substr($0,39,8); z[n] = substr($0,47,8); next }
  /^TER/ { flush_chain() }
  END { flush_chain() }' "$work/true.pdb"

"$bin/simulate_map" "$work/true.pdb" "$work/data/map.mrc" 7 1.5
echo 7 > "$work/data/resolution.txt"

nco="$(nproc)"
start=$(date +%s)
"$bin/Quilter" "$work/data" "$work/data/map.mrc" "$work/data/resolution.txt" -nco "$nco" | tee "$work/quilter.log" | \
  grep -E "Input information|Models:|GetInitModel> (Fit|RSCC of the best model|segCmodel)|ASSEMBLY|ERROR|Warning" || true
end=$(date +%s)

# CA RMSD of every true chain to the assembled chain of the same sequence
# that lies closest (chains split at TER records).
chain_rmsd() {
  awk '
    FNR == 1 { file++; ch = 0; open = 0 }
    /^TER/ { open = 0; next }
    /^ATOM/ && substr($0,13,4) == " CA " {
      if (!open) { ch++; open = 1; nch[file] = ch; id[file, ch] = substr($0,22,1) }
      m = ++len[file, ch]; seq[file, ch] = seq[file, ch] substr($0,18,3)
      X[file, ch, m] = substr($0,31,8); Y[file, ch, m] = substr($0,39,8); Z[file, ch, m] = substr($0,47,8) }
    END {
      for (t = 1; t <= nch[1]; t++) {
        best = -1
        for (c = 1; c <= nch[2]; c++) {
          if (seq[2, c] != seq[1, t]) continue
          s = 0
          for (i = 1; i <= len[1, t]; i++)
            s += (X[1,t,i]-X[2,c,i])^2 + (Y[1,t,i]-Y[2,c,i])^2 + (Z[1,t,i]-Z[2,c,i])^2
          r = sqrt(s / len[1, t]); if (best < 0 || r < best) best = r
        }
        printf "  chain %s (%3d residues): %s\n", id[1, t], len[1, t], best < 0 ? "not placed" : sprintf("%.2f A", best)
      }
    }' "$1" "$2"
}

echo
echo "example (seed $seed): 1TII, 7 chains, 7 A simulated map, $((end - start)) s with -nco $nco"
if [ -f "$work/data/segCmodel1.pdb" ]; then
  echo "CA RMSD of the assembled chains to their true places:"
  chain_rmsd "$work/true.pdb" "$work/data/segCmodel1.pdb"
  echo "  model: build/example/data/segCmodel1.pdb"
else
  echo "no model was written; see $work/quilter.log"
  exit 1
fi
