#!/usr/bin/env python3
"""Writes the starting corpora of the fuzz harnesses.

make_seeds.py OUT_DIR [SHARED_DATA_DIR]

OUT_DIR/<harness>/ receives small hand-made inputs (tiny maps in the map
formats' corners: both byte orders, modes 0/1/2, an extended header, permuted
axes, a skewed cell, ORIGIN words, start indices, non-finite values; short PDB
texts with chain breaks, alternate locations and insertion codes; splitter
logs; resolution files; argument lists).  The files of SHARED_DATA_DIR
(../shared/data) are linked in, not copied: maps for the map readers, models
for the PDB readers.
"""
import math
import os
import struct
import sys


def mrc(nc, nr, ns, values, mode=2, swap=False, mx=None, cell=None, angles=(90.0, 90.0, 90.0),
        axes=(1, 2, 3), start=(0, 0, 0), origin=(0.0, 0.0, 0.0), nsymbt=0, stamp=b"MAP "):
    e = ">" if swap else "<"
    mx = mx or (nc, nr, ns)
    cell = cell or tuple(2.0 * m for m in mx)
    words = [nc, nr, ns, mode, start[0], start[1], start[2], mx[0], mx[1], mx[2]]
    head = struct.pack(e + "10i", *words)
    head += struct.pack(e + "6f", *cell, *angles)
    head += struct.pack(e + "3i", *axes)
    lo, hi = (min(values), max(values)) if values else (0.0, 0.0)
    finite = [v for v in values if math.isfinite(v)] or [0.0]
    head += struct.pack(e + "3f", min(finite), max(finite), sum(finite) / len(finite))
    head += struct.pack(e + "3i", 1, nsymbt, 0)           # ISPG, NSYMBT, LSKFLG
    head += b"\0" * (4 * 24)                               # words 26-49
    head += struct.pack(e + "3f", *origin)
    head += stamp
    head += b"\x44\x41\0\0" if not swap else b"\x11\x11\0\0"
    head += struct.pack(e + "f", 1.0)                       # RMS
    head += struct.pack(e + "i", 0)                         # NLABL
    head = head.ljust(1024, b"\0")
    ext = b"\x07" * nsymbt
    if mode == 0:
        data = struct.pack("%db" % len(values), *[max(-128, min(127, int(v))) for v in values])
    elif mode == 1:
        data = struct.pack(e + "%dh" % len(values), *[int(v) for v in values])
    else:
        data = struct.pack(e + "%df" % len(values), *values)
    return head + ext + data


def blob(n, scale=1.0):
    return [scale * math.exp(-((i % 5) - 2) ** 2 - ((i // 5) % 4 - 1.5) ** 2) for i in range(n)]


def map_seeds():
    s = {}
    s["cube"] = mrc(4, 4, 4, blob(64))
    s["swapped"] = mrc(4, 3, 2, blob(24), swap=True)
    s["mode0"] = mrc(3, 3, 3, [10 * v for v in blob(27)], mode=0)
    s["mode1"] = mrc(3, 3, 3, [100 * v for v in blob(27)], mode=1)
    s["exthdr"] = mrc(3, 2, 2, blob(12), nsymbt=80)
    s["permuted"] = mrc(2, 3, 4, blob(24), axes=(3, 1, 2))
    s["skewed"] = mrc(3, 3, 3, blob(27), angles=(80.0, 95.0, 110.0))
    s["origin"] = mrc(3, 3, 3, blob(27), origin=(10.5, -4.0, 3.25))
    s["start"] = mrc(3, 3, 3, blob(27), start=(-5, 2, 7), mx=(20, 20, 20))
    s["nonfinite"] = mrc(3, 2, 2, [1.0, float("nan"), 2.0, float("inf"), 0.5, 0.0, 1.0, 2.0, 3.0, 4.0, 5.0, 6.0])
    s["nostamp"] = mrc(2, 2, 2, blob(8), stamp=b"\0\0\0\0")
    s["flat"] = mrc(2, 2, 2, [1.0] * 8)
    s["wide_cell"] = mrc(4, 4, 4, blob(64), cell=(40.0, 40.0, 40.0))
    s["fine"] = mrc(6, 6, 6, blob(216), cell=(3.0, 3.0, 3.0))
    return s


def situs_seeds():
    s = {}
    vals = " ".join("%.3f" % v for v in blob(12))
    s["small"] = "2.0 0.0 0.0 0.0 3 2 2\n\n%s\n" % vals
    s["origin"] = "1.5 -10.0 4.5 3.0 2 2 3\n%s\n" % vals
    s["exp"] = "1e0 0 0 0 2 2 2\n1e-3 2E2 0 0 -1 1 1.5 2\n"
    return s


PDB = (
    "HEADER    TEST\n"
    "ATOM      1  N   MET A   1     -12.345  67.891  -0.123  1.00 20.00           N\n"
    "ATOM      2  CA  MET A   1     -11.000  66.500   0.250  1.00 20.00           C\n"
    "ATOM      3  C   MET A   1     -10.100  67.000   1.300  1.00 20.00           C\n"
    "ATOM      4  O   MET A   1      -9.900  68.200   1.500  1.00 20.00           O\n"
    "ATOM      5  CB  MET A   1     -11.500  65.100  -0.300  1.00 20.00           C\n"
    "ATOM      6  SD  MET A   1     -12.700  64.000   0.100  1.00 20.00           S\n"
    "ATOM      7  N   GLY A   2      -9.500  66.100   2.000  1.00 20.00           N\n"
    "ATOM      8  CA  GLY A   2      -8.400  66.400   2.900  1.00 20.00           C\n"
    "ATOM      9  CA AALA A   3      -7.000  65.000   3.000  0.50 20.00           C\n"
    "ATOM     10  CA BALA A   3      -7.100  65.100   3.100  0.50 20.00           C\n"
    "ATOM     11  CA  SER A   3A     -6.000  64.000   4.000  1.00 20.00           C\n"
    "TER      12      SER A   3A\n"
    "ATOM     13  CA  LYS A   7      -2.000  60.000   5.000  1.00 20.00           C\n"
    "HETATM   14  O   HOH A 101       1.000   1.000   1.000  1.00 20.00           O\n"
    "TER      15      LYS A   7\n"
    "ATOM     16  CA  CYX B   1       1.000   2.000   3.000  1.00 20.00           C\n"
    "ATOM     17  P    DA C   1       4.000   5.000   6.000  1.00 20.00           P\n"
    "ENDMDL\n"
    "END\n"
)


def pdb_seeds():
    return {
        "model": PDB,
        "short_lines": "ATOM      1  CA  ALA A   1\nATOM      2  CA  GLY A   2      1.0\nATOM\nTER\n",
        "no_ca": "ATOM      1  N   ALA A   1       0.000   0.000   0.000\n"
                 "ATOM      2  N   GLY A   2       1.000   0.000   0.000\n",
        "big_numbers": "ATOM  99999  CA  ALA A9999    9999.9999999.9999999.999\n"
                       "ATOM  99999  CA  ALA A-999   -999.999-999.999-999.999\n",
    }


LOGS = {
    "one": "xxxxA 250 1\nmore text\n",
    "two": "xxxxA 120 2 (1-50;80-120) (51-79)\n",
    "three": "xxxxA 9 3 1-20 21-40\n",
    "negative": "xxxxA 9 2 (-5-10) (11--3;40-30)\n",
    "empty": "\n",
}


def log_seeds():
    # Two bytes of residue count (little endian), then the log.
    out = {}
    for name, text in LOGS.items():
        out[name] = struct.pack("<H", 120) + text.encode()
    out["def"] = struct.pack("<H", 60) + b"c 2 1-20,41-60;21-40;\n"
    return out


RESOLUTIONS = {
    "plain": "4.5\n", "exp": "3.2e0 A\nsecond line\n", "nan": "nan\n", "inf": "inf",
    "blank_first": "\n7\n", "hex": "0x1p2\n", "signs": "+-3\n", "spaces": "   6.5   \n",
}

QUILTER_ARGS = {
    "number": "data\nmap.mrc\n4.5",
    "file": "data\nmap.mrc\nreso.txt\n-gw\n1.5\n-rsc\n0.3\n-opn\nout.pdb\n-ipn\nch",
    "options": "data\nmap.mrc\n6\n-nft\n3\n-nlb\n7\n-nco\n2\n-sl\n0\n-ft\n1\n-rm\n0\n-it\n0\n-glo\n1\n-lco\n0"
               "\n-dmm\n0\n-seg\n1\n-dc\n0.01\n-stm\n1\n-rps\n2\n-msc\n3\n-py3\nx",
    "bad_reso": "data\nmap.mrc\nbad.txt",
    "dir_reso": "data\nmap.mrc\ndir.txt",
    "help": "data\nmap.mrc",
    "bad_gw": "data\nmap.mrc\n5\n-gw\n9",
    "bad_opn": "data\nmap.mrc\n5\n-opn\nx/y.pdb",
}

PLACER_ARGS = {
    "plain": "map.mrc\nmodel.pdb\n5.0",
    "options": "map.mrc\nmodel.pdb\n5\n-gw\n2\n-dc\n0.01\n-nm\n3\n-sl\n0\n-rc\n0",
    "bad_count": "map.mrc\nmodel.pdb\n5\n-nm\n2.9",
    "bad_reso": "map.mrc\nmodel.pdb\n-1",
    "help": "map.mrc",
}


def write_all(out, harness, seeds):
    d = os.path.join(out, harness)
    os.makedirs(d, exist_ok=True)
    for name, data in seeds.items():
        if isinstance(data, str):
            data = data.encode()
        with open(os.path.join(d, "seed_" + name), "wb") as f:
            f.write(data)


def link_shared(out, harness, shared, suffixes):
    if not shared or not os.path.isdir(shared):
        return
    d = os.path.join(out, harness)
    for root, _dirs, files in os.walk(shared):
        for f in sorted(files):
            if f.lower().endswith(suffixes):
                src = os.path.abspath(os.path.join(root, f))
                dst = os.path.join(d, "shared_" + os.path.relpath(src, os.path.abspath(shared)).replace("/", "_"))
                if os.path.lexists(dst):
                    os.remove(dst)
                os.symlink(src, dst)


def main():
    out = sys.argv[1]
    shared = sys.argv[2] if len(sys.argv) > 2 else None
    maps = map_seeds()
    for h in ("mrc_fast", "mrc_plain"):
        write_all(out, h, maps)
        link_shared(out, h, shared, (".mrc", ".map"))
    write_all(out, "situs", situs_seeds())
    for h in ("pdb_protein", "pdb_columns"):
        write_all(out, h, pdb_seeds())
        link_shared(out, h, shared, (".pdb",))
    write_all(out, "domain_log", log_seeds())
    write_all(out, "resolution", RESOLUTIONS)
    write_all(out, "quilter_args", QUILTER_ARGS)
    write_all(out, "placer_args", PLACER_ARGS)


if __name__ == "__main__":
    main()
