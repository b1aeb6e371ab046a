#!/usr/bin/env bash
# Example run on a real structure: one chain of HIV-1 protease (PDB 1HPV, as
# shipped by Debian's pymol-data) is moved by a random rigid-body motion and
# fitted back by Placer into a 6 A map simulated from its true position.
# Prints the CA RMSD of the fitted chain to the true one.  Works in
# build/example (recreated on every run); the user's files are not touched.
#   usage: bash scripts/example.sh [seed]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
seed="${1:-$RANDOM}"

bash scripts/build.sh

pdb=/usr/share/pymol/data/tut/1hpv.pdb
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
mkdir -p "$work"

# Chain A in its true place, and moved: a random rotation (unit quaternion
# from four normal deviates) about its centroid and a shift of 10-20 A.
awk '/^ATOM/ && substr($0,22,1)=="A"' "$pdb" > "$work/true_A.pdb"
printf 'TER\nEND\n' >> "$work/true_A.pdb"
awk -v seed="$seed" '
  function gauss() { return sqrt(-2 * log(1 - rand())) * cos(6.283185307179586 * rand()) }
  BEGIN { srand(seed) }
  /^ATOM/ { n++; line[n] = $0; x[n] = substr($0,31,8); y[n] = substr($0,39,8); z[n] = substr($0,47,8)
            cx += x[n]; cy += y[n]; cz += z[n]; next }
  { tail = tail $0 "\n" }
  END {
    cx /= n; cy /= n; cz /= n
    a = gauss(); b = gauss(); c = gauss(); d = gauss(); q = sqrt(a*a + b*b + c*c + d*d)
    a /= q; b /= q; c /= q; d /= q
    r11 = a*a+b*b-c*c-d*d; r12 = 2*(b*c-a*d);     r13 = 2*(b*d+a*c)
    r21 = 2*(b*c+a*d);     r22 = a*a-b*b+c*c-d*d; r23 = 2*(c*d-a*b)
    r31 = 2*(b*d-a*c);     r32 = 2*(c*d+a*b);     r33 = a*a-b*b-c*c+d*d
    u = gauss(); v = gauss(); w = gauss(); s = (10 + 10 * rand()) / sqrt(u*u + v*v + w*w)
    tx = u * s; ty = v * s; tz = w * s
    for (i = 1; i <= n; i++) {
      px = x[i] - cx; py = y[i] - cy; pz = z[i] - cz
      printf "%s%8.3f%8.3f%8.3f%s\n", substr(line[i],1,30),
        cx + tx + r11*px + r12*py + r13*pz, cy + ty + r21*px + r22*py + r23*pz,
        cz + tz + r31*px + r32*py + r33*pz, substr(line[i],55)
    }
    printf "%s", tail
  }' "$work/true_A.pdb" > "$work/chainA.pdb"

build/bin/simulate_map "$work/true_A.pdb" "$work/map_6A.mrc" 6 1.5
build/bin/Placer "$work/map_6A.mrc" "$work/chainA.pdb" 6

ca_rmsd() {
  awk '/^ATOM/ && substr($0,13,4)==" CA " { k = FILENAME == ARGV[1] ? "a" : "b"; n[k]++
         X[k, n[k]] = substr($0,31,8); Y[k, n[k]] = substr($0,39,8); Z[k, n[k]] = substr($0,47,8) }
       END { if (n["a"] != n["b"] || n["a"] == 0) { print "n/a"; exit }
             for (i = 1; i <= n["a"]; i++) s += (X["a",i]-X["b",i])^2 + (Y["a",i]-Y["b",i])^2 + (Z["a",i]-Z["b",i])^2
             printf "%.2f\n", sqrt(s / n["a"]) }' "$1" "$2"
}
echo
echo "example (seed $seed): CA RMSD to the true position"
echo "  moved input chainA.pdb:   $(ca_rmsd "$work/chainA.pdb" "$work/true_A.pdb") A"
echo "  fitted model chainA_1.pdb: $(ca_rmsd "$work/chainA_1.pdb" "$work/true_A.pdb") A"
echo "  files in $work"
