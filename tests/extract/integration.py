#!/usr/bin/env python3
"""End-to-end tests of UnZip through the tarvex-extract harness.

Archives are made here by the real archivers (Info-ZIP zip, bsdtar) from a
tree with spaces, Japanese names, empty files and folders, and by a tiny
writer of our own for hostile names. Paths given to the harness contain
spaces, as the gadget's command line allows. Output trees are compared byte
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
import zlib

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


def stored_zip(path, entries):
    """A plain stored ZIP from (raw name bytes, data, flags, crc or None)."""
    body, central = b"", b""
    for name, data, flags, crc in entries:
        c = zlib.crc32(data) if crc is None else crc
        off = len(body)
        body += struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, flags, 0, 0, 0x5A21, c, len(data), len(data), len(name), 0)
        body += name + data
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, flags, 0, 0, 0x5A21, c, len(data), len(data),
                               len(name), 0, 0, 0, 0, 0, off) + name
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(entries), len(entries), len(central), len(body), 0)
    with open(path, "wb") as f:
        f.write(body + central + end)


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

        # Hand-made archives: CP932 names whose second byte is '\', hostile names, encryption.
        sjis = os.path.join(work, "sjis.zip")
        stored_zip(sjis, [("表示/ソース.txt".encode("cp932"), b"cp932 name", 0, None),
                          ("ソ\\表.txt".encode("cp932"), b"dos separator", 0, None)])
        dest = os.path.join(work, "sjis out")
        os.makedirs(dest)
        check(run(harness, sjis, dest, "UnZip") == 0 and contents(dest) == {
            "表示": ("d",), "表示/ソース.txt": ("f", b"cp932 name"), "ソ": ("d",), "ソ/表.txt": ("f", b"dos separator")},
            "Shift_JIS names with a 0x5C second byte")
        hostile = {
            "../up.txt": False, "a/../../up.txt": False, "..\\up.txt": False,
            "/abs.txt": True, "C:\\drive.txt": True, "\\\\server\\share\\unc.txt": True,
            "ads.txt:stream": True, "NUL.txt": True, "trailing. ": True,
        }
        for name, extracts in hostile.items():
            parent = tempfile.mkdtemp(dir=work)
            arc = os.path.join(parent, "h.zip")
            stored_zip(arc, [(b"fine.txt", b"fine", 0, None), (name.encode(), b"hostile", 0, None)])
            dest = os.path.join(parent, "dest")
            os.makedirs(dest)
            rc = run(harness, arc, dest, "UnZip")
            inside = snapshot(dest)
            contained = sorted(os.listdir(parent)) == ["dest", "h.zip"]
            if extracts:
                good = rc == 0 and contained and len(inside) >= 2 and all(
                    v[0] != "f" or v[1] in (b"fine", b"hostile") for v in inside.values())
            else:
                good = rc != 0 and contained and inside == {}
            check(good, "hostile name %r: %s" % (name, "kept inside" if extracts else "refused, nothing written"))
        enc = os.path.join(work, "encrypted.zip")
        stored_zip(enc, [(b"plain.txt", b"plain", 0, None), (b"secret.txt", b"x" * 24, 1, None)])
        dest = os.path.join(work, "enc out")
        os.makedirs(dest)
        check(run(harness, enc, dest) != 0 and snapshot(dest) == {}, "encrypted entry: non-zero, nothing written")
        badcrc = os.path.join(work, "badcrc.zip")
        stored_zip(badcrc, [(b"a.txt", b"good", 0, None), (b"b.txt", b"data", 0, 12345)])
        check(run(harness, badcrc, dest, "UnZip") != 0 and snapshot(dest) == {}, "wrong CRC: non-zero, nothing written")

        # Library order and other files.
        text = os.path.join(work, "plain text.txt")
        open(text, "w").write("not an archive\n")
        check(run(harness, text, dest) == 1 and snapshot(dest) == {}, "a text file: all three fail")
        check(run(harness, archive, os.path.join(work, "missing folder")) == 1, "a missing folder: failure")
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("%d failure(s)" % len(FAILURES))
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())
