#!/usr/bin/python3
"""Simulated map of some chains of a complex on the grid of the whole complex's simulated map.

simulate_map sizes its box from the atoms it is given, so a map of a subset of the chains would come
out on a smaller grid.  This script gives it the subset together with two marker atoms at the corners
of the whole model's bounding box (the box, and so the grid, is then that of the whole model), then
the two markers alone, and subtracts the second map from the first: the density is simulate_map's
own, on the whole map's grid.  Used for the protein-only and nucleic-acid-only maps (Pro.map, NA.map)
that Quilter needs beside the map of a protein-nucleic acid complex.
usage: subset_map.py SIMULATE_MAP WHOLE.pdb WHOLE.mrc CHAINS RES VOXEL MARGIN OUT.map
  CHAINS: chain identifiers, e.g. CD; WHOLE.mrc: the map simulate_map wrote for WHOLE.pdb with the
  same RES, VOXEL and MARGIN (its grid is checked against the result)."""
import os, subprocess, sys, tempfile
import numpy as np

if len(sys.argv) != 9: sys.exit(__doc__)
sim, whole_pdb, whole_map, chains, res, voxel, margin, out = sys.argv[1:]

atoms = [l.rstrip('\n') for l in open(whole_pdb) if l.startswith('ATOM') and len(l) >= 54]
xyz = np.array([[float(l[30:38]), float(l[38:46]), float(l[46:54])] for l in atoms])
subset = [l for l in atoms if len(l) > 21 and l[21] in chains]
if not subset: sys.exit('subset_map.py: no ATOM records of chains %s in %s' % (chains, whole_pdb))
markers = ['ATOM  %5d  H   MRK X9999    %8.3f%8.3f%8.3f  1.00  0.00           H' % (k + 1, *p)
           for k, p in enumerate((xyz.min(0), xyz.max(0)))]

def read_mrc(path):
    raw = open(path, 'rb').read()
    head = np.frombuffer(raw[:1024], dtype='<i4').copy()
    n = head[0:3]
    data = np.frombuffer(raw[1024 + head[23]:], dtype='<f4', count=int(n.prod())).copy()
    return head, data

def simulate(lines, path):
    pdb = path + '.pdb'
    with open(pdb, 'w') as f: f.write('\n'.join(lines) + '\nTER\n')
    subprocess.run([sim, pdb, path, res, voxel, margin], check=True, stdout=subprocess.DEVNULL)
    return read_mrc(path)

with tempfile.TemporaryDirectory() as tmp:
    head, with_markers = simulate(markers + subset, os.path.join(tmp, 'subset.mrc'))
    head_m, only_markers = simulate(markers, os.path.join(tmp, 'markers.mrc'))
whole_head, _ = read_mrc(whole_map)
# NX..NZ, NXSTART..NZSTART: the same grid as the whole map.
if not (np.array_equal(head[0:3], whole_head[0:3]) and np.array_equal(head[4:7], whole_head[4:7])
        and np.array_equal(head_m[0:7], head[0:7])):
    sys.exit('subset_map.py: the grid differs from that of ' + whole_map)
data = (with_markers.astype(np.float64) - only_markers).astype('<f4')
fw = head.view('<f4')
fw[19], fw[20], fw[21], fw[54] = data.min(), data.max(), data.mean(), data.std()
head[23] = 0  # no extended header
with open(out + '.part', 'wb') as f:
    f.write(head.astype('<i4').tobytes()); f.write(data.tobytes())
os.replace(out + '.part', out)
