#!/usr/bin/env python3
"""End-to-end tests of UnZip through the tarvex-extract harness.

Archives are made here by the real archivers (Info-ZIP zip, bsdtar) from a
tree with spaces, Japanese names, empty files and folders (hostile and
hand-made archives are covered by the unit tests and the corpus). Paths
given to the harness contain spaces, as the gadget's command line allows. Output trees are compared byte
for byte; after every failure the destination must equal its snapshot from
before the call.

    integration.py --harness PATH        exit 0 pass, 1 fail, 77 skipped
"""
import argparse
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile

FAILURES = []


def check(cond, what):
    print(("ok   " if cond else "FAIL ") + what)
    if not cond:
        FAILURES.append(what)


def snapshot(root):
    """{relative path: ('d',) | ('f', bytes, mtime) | ('l', target)}, hidden items included."""
    out = {}
    for dirpath, dirnames, filenames in os.walk(root):
        for name in dirnames + filenames:
            full = os.path.join(dirpath, name)
            rel = os.path.relpath(full, root)
            if os.path.islink(full):
                out[rel] = ("l", os.readlink(full))
            elif os.path.isdir(full):
                out[rel] = ("d",)
            else:
                with open(full, "rb") as f:
                    out[rel] = ("f", f.read(), int(os.stat(full).st_mtime))
    return out


def contents(root):
    """As snapshot, without times."""
    return {k: v[:2] for k, v in snapshot(root).items()}


def run(harness, archive, dest, *extra):
    p = subprocess.run([harness, *extra, archive, dest], stdin=subprocess.DEVNULL, capture_output=True, timeout=300)
    return p.returncode


def make_tree(root):
    rnd = random.Random(7)
    files = {
        "readme.txt": b"Tarvex test tree\r\n" * 40,
        "docs/big text.txt": b"".join(b"line %d of a long text\n" % i for i in range(60000)),
        "docs/empty.txt": b"",
        "data/random.bin": bytes(rnd.getrandbits(8) for _ in range(300000)),
        "data/zeros.bin": bytes(1 << 20),
        "a/b/c/d/deep.txt": b"deep",
        "日本語 フォルダ/表示 ソース.txt": "表とソの入った名前\n".encode("utf-8"),
    }
    for rel, data in files.items():
        path = os.path.join(root, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
    os.makedirs(os.path.join(root, "empty dir"))
    # Times the archive must carry back (whole seconds, even: DOS times have 2 s steps).
    for i, rel in enumerate(sorted(files)):
        t = 1500000000 + 86400 * 37 * i
        os.utime(os.path.join(root, rel), (t, t))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--harness", required=True)
    args = ap.parse_args()
    harness = os.path.abspath(args.harness)
    for tool in ("zip", "bsdtar"):
        if not shutil.which(tool):
            print("%s not installed: skipped" % tool)
            return 77

    work = tempfile.mkdtemp(prefix="tarvex integration ")
    try:
        src = os.path.join(work, "source tree")
        make_tree(src)
        arcdir = os.path.join(work, "my archives")
        os.makedirs(arcdir)
        made = {
            "infozip deflate.zip": ["zip", "-q", "-r", "-X"],
            "infozip stored.zip": ["zip", "-q", "-r", "-0"],
            "bsdtar deflate.zip": ["bsdtar", "--format", "zip", "-cf"],
            "bsdtar stored.zip": ["bsdtar", "--format", "zip", "--options", "zip:compression=store", "-cf"],
        }
        for name, cmd in made.items():
            out = os.path.join(arcdir, name)
            subprocess.run(cmd + [out, "."], cwd=src, check=True)

        want = contents(src)
        want_times = {k: v[2] for k, v in snapshot(src).items() if v[0] == "f"}
        for name in made:
            dest = os.path.join(work, "out " + name)
            os.makedirs(dest)
            rc = run(harness, os.path.join(arcdir, name), dest, "UnZip")
            check(rc == 0 and contents(dest) == want, "%s: extracted tree equals the source" % name)
            got_times = {k: v[2] for k, v in snapshot(dest).items() if v[0] == "f"}
            check(all(abs(got_times.get(k, 0) - t) <= 1 for k, t in want_times.items()), "%s: file times restored" % name)

        archive = os.path.join(arcdir, "infozip deflate.zip")
        # The overwrite question: two files exist with other contents.
        dest = os.path.join(work, "overwrite dest")
        os.makedirs(os.path.join(dest, "docs"))
        for rel in ("readme.txt", "docs/empty.txt"):
            with open(os.path.join(dest, rel), "wb") as f:
                f.write(b"user's own version")
        with open(os.path.join(dest, "unrelated.txt"), "wb") as f:
            f.write(b"not in the archive")
        before = snapshot(dest)
        check(run(harness, archive, dest, "--overwrite=cancel", "UnZip") != 0 and snapshot(dest) == before,
              "overwrite Cancel: non-zero, folder unchanged")
        rc = run(harness, archive, dest, "--overwrite=no", "UnZip")
        after = contents(dest)
        check(rc == 0 and after["readme.txt"] == ("f", b"user's own version")
              and after["docs/empty.txt"] == ("f", b"user's own version")
              and after["docs/big text.txt"] == want["docs/big text.txt"], "overwrite No: existing files kept, the rest extracted")
        rc = run(harness, archive, dest, "--overwrite=yes", "UnZip")
        after = contents(dest)
        check(rc == 0 and all(after.get(k) == v for k, v in want.items())
              and after["unrelated.txt"] == ("f", b"not in the archive"), "overwrite Yes: files replaced, others untouched")

        # Damage: a changed byte in the last entry, and cuts at many offsets.
        data = open(archive, "rb").read()
        dest = os.path.join(work, "damage dest")
        os.makedirs(dest)
        with open(os.path.join(dest, "readme.txt"), "wb") as f:
            f.write(b"keep me")
        before = snapshot(dest)
        damaged = os.path.join(work, "damaged archive.zip")
        cd = data.rfind(b"PK\x01\x02")  # the last central entry, its local header...
        local = struct.unpack("<I", data[cd + 42:cd + 46])[0]
        nlen, xlen = struct.unpack("<HH", data[local + 26:local + 30])
        csize = struct.unpack("<I", data[local + 18:local + 22])[0]
        bad = bytearray(data)
        bad[local + 30 + nlen + xlen + csize // 2] ^= 0x55
        open(damaged, "wb").write(bad)
        check(run(harness, damaged, dest, "--overwrite=yes") != 0 and snapshot(dest) == before,
              "changed byte in the last entry: all three archivers fail, folder unchanged")
        rng = random.Random(3)
        cuts = sorted(set([len(data) - 1, len(data) - 22, len(data) // 2] +
                          [rng.randrange(len(data)) for _ in range(12)]))
        ok = True
        for cut in cuts:
            open(damaged, "wb").write(data[:cut])
            ok = ok and run(harness, damaged, dest, "--overwrite=yes", "UnZip") != 0 and snapshot(dest) == before
        check(ok, "archive cut at %d offsets: non-zero, folder unchanged" % len(cuts))
        check(run(harness, archive, os.path.join(work, "missing folder")) == 1, "a missing folder: failure")
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("%d failure(s)" % len(FAILURES))
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())
