#!/usr/bin/env python3
"""Peak memory of the extraction harness on archives that stress the engine's
planning rather than the decoders: many entries, very deep paths, one huge
name. Prints one line per archive: entries, archive size, result, wall time
and peak RSS (GNU time). Not a test: it prints figures.

usage: bench/engine_memory.py [HARNESS] [--entries N ...] [--name-length N] [--keep DIR] [--out DIR]
  --name-length: bytes in each name of the many-entry archives (default 24)
  --out: where the files are extracted (a tmpfs keeps the wall times short)
"""
import argparse
import os
import re
import shutil
import struct
import subprocess
import tempfile
import time
import zlib


def zip_archive(entries):
    """entries: (name bytes, data bytes); stored, DOS time 2024-01-01."""
    body, central = [], []
    offset = 0
    for name, data in entries:
        crc = zlib.crc32(data)
        local = struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0, 0, 0, 0x5821, crc, len(data), len(data),
                            len(name), 0) + name + data
        central.append(struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, 0, 0, 0, 0x5821, crc, len(data),
                                   len(data), len(name), 0, 0, 0, 0, 0, offset) + name)
        body.append(local)
        offset += len(local)
    cd = b"".join(central)
    n = len(entries)
    if n < 0xFFFF:
        end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, n, n, len(cd), offset, 0)
    else:  # zip64 end records for the entry count
        end = struct.pack("<IQHHIIQQQQ", 0x06064B50, 44, 45, 45, 0, 0, n, n, len(cd), offset)
        end += struct.pack("<IIQI", 0x07064B50, 0, offset + len(cd), 1)
        end += struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 0xFFFF, 0xFFFF, len(cd), offset, 0)
    return b"".join(body) + cd + end


def crc16(data):
    crc = 0
    for b in data:
        crc ^= b
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return crc


def lzh_level3(dirs, name, data):
    """One stored member with a level-3 header: directory (0xFF separators) and name extensions."""
    exts = [(0x00, b"\0\0"), (0x01, name), (0x02, dirs)]
    h = bytearray(struct.pack("<H5sIIIBBHB", 4, b"-lh0-", len(data), len(data), 1700000000, 0x20, 3,
                              crc16(data), ord("U")))
    h += struct.pack("<I", 0)  # header size, below
    crc_at = 0
    for t, d in exts:
        h += struct.pack("<I", len(d) + 5)
        if t == 0:
            crc_at = len(h) + 1
        h.append(t)
        h += d
    h += struct.pack("<I", 0)
    h[24:28] = struct.pack("<I", len(h))
    c = crc16(bytes(h))
    h[crc_at:crc_at + 2] = struct.pack("<H", c)
    return bytes(h) + data + b"\0"


def measure(harness, library, archive, work):
    out = os.path.join(work, "out")
    shutil.rmtree(out, ignore_errors=True)
    os.mkdir(out)
    t = time.time()
    p = subprocess.run(["/usr/bin/time", "-v", harness, "--overwrite=yes", library, archive, out],
                       capture_output=True, text=True, errors="replace")
    wall = time.time() - t
    rss = re.search(r"Maximum resident set size \(kbytes\): (\d+)", p.stderr)
    lines = [l for l in p.stderr.splitlines() if l.startswith("tarvex-extract:")]
    shutil.rmtree(out, ignore_errors=True)
    return p.returncode, wall, int(rss.group(1)) if rss else -1, lines[-1] if lines else p.stderr[-200:]


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    ap = argparse.ArgumentParser()
    ap.add_argument("harness", nargs="?", default=os.path.join(here, "..", "build", "native", "tarvex-extract"))
    ap.add_argument("--entries", type=int, nargs="*", default=[100000])
    ap.add_argument("--name-length", type=int, default=24)
    ap.add_argument("--keep", help="folder for the archives (default: a temporary one)")
    ap.add_argument("--out", help="folder to extract into (default: beside the archives)")
    a = ap.parse_args()
    work = a.keep or tempfile.mkdtemp(prefix="tarvex-mem-")
    os.makedirs(work, exist_ok=True)
    cases = []
    pad = b"n" * max(0, a.name_length - 24)
    for n in a.entries:
        # 100 folders of n/100 files, one byte each; names of 24 bytes or longer.
        cases.append((f"zip {n} entries, {24 + len(pad)}-byte names", "many%d-%d.zip" % (n, 24 + len(pad)),
                      lambda n=n: zip_archive([(b"folder%03d/%sfile%08d.txt" % (i % 100, pad, i), b"x")
                                               for i in range(n)])))
    cases.append(("zip 4 entries 32,000 folders deep", "deep.zip",
                  lambda: zip_archive([(b"d/" * 32000 + b"f%d" % i, b"x") for i in range(4)])))
    cases.append(("zip 4 entries 16,000 folders deep (longest Windows path)", "deepest.zip",
                  lambda: zip_archive([(b"d/" * 16000 + b"f%d" % i, b"x") for i in range(4)])))
    cases.append(("lzh level 3, one 600 KB name", "longname.lzh",
                  lambda: lzh_level3(b"a\xff" * 300000, b"f.txt", b"x")))
    for label, fname, make in cases:
        path = os.path.join(work, fname)
        if not os.path.exists(path):
            with open(path, "wb") as f:
                f.write(make())
        rc, wall, rss, msg = measure(a.harness, "Unlha" if fname.endswith(".lzh") else "UnZip", path,
                                     a.out or work)
        print(f"{label}: {os.path.getsize(path) // 1024} KB, exit {rc}, {wall:.1f} s, "
              f"peak {rss / 1024:.1f} MB  [{msg}]", flush=True)
    if not a.keep:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
