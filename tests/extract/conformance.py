#!/usr/bin/env python3
"""Runs the archive corpus (MANIFEST.tsv) through the extraction harness.

    conformance.py --harness PATH [--format zip|cab|lzh|none|all] [--corpus DIR]

Each selected row is extracted, as the gadget's command lines allow, through
an archive path and into a folder whose names hold spaces and Japanese
characters; the folder holds a file of the user's beforehand. The row is
judged by its `check` column:

  exact     success, and the tree equals `outputs` (names and contents)
  nocase    as exact, names compared without regard to case
  files     as exact for regular files only (links, empty folders may differ)
  content   success, and the multiset of file sizes and SHA-256 matches
  contained success or failure, but nothing created outside the folder
  rc        failure (non-zero exit)

For every row, whatever its check: nothing may appear beside the destination
folder, no symbolic link may be created, the harness may not crash or hang,
the user's file stays as it was, a failed run must leave the folder exactly
as it was (its own time included: the extraction is all-or-nothing), and an
extracted file carries the time its archive records, not the time of the run.
Rows of scope `beyond` (features the product does not decode) pass when they
fail cleanly.

The library is the row's format's (zip: UnZip, cab: Cab, lzh: Unlha; `none`:
the harness tries all three in order). Exit status: 0 all passed, 1 a row failed,
77 the corpus is missing (a skip for CTest).
"""
import argparse
import collections
import gzip
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

LIBRARY_FOR = {"zip": "UnZip", "cab": "Cab", "lzh": "Unlha"}
# Absolute paths the hostile archives aim at: they must never appear.
CANARIES = ["/etc/corpus_abs_s.txt", "/corpus_abs_s.txt", "/tmp/corpus_abs_s.txt"]
USERS_FILE = "前から ある.txt"


def unescape(s):
    return re.sub(rb"%([0-9A-Fa-f]{2})", lambda m: bytes([int(m.group(1), 16)]), s.encode("utf-8"))


def parse_outputs(field, corpus):
    """Returns {path bytes: 'SIZE:SHA' | 'dir' | 'link:TARGET'}."""
    if not field:
        return {}
    if field.startswith("@"):
        name = field[1:].split(" ", 1)[0]
        with gzip.open(os.path.join(corpus, name), "rt", encoding="utf-8") as f:
            items = [line.rstrip("\n") for line in f if line.strip()]
    else:
        items = field.split(";")
    tree = {}
    for item in items:
        path, _, value = item.partition("=")
        tree[unescape(path[:-1] if path.endswith("/") and value == "dir" else path)] = value
    return tree


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.file_digest(f, "sha256").hexdigest()


def list_tree(root, since_ns):
    """The tree in the manifest's terms; the links found; every item's time
    (the folder's own as b'.'); the files whose time is since_ns or later."""
    tree, links, times, recent = {}, [], {b".": os.stat(root).st_mtime_ns}, []
    rootb = os.fsencode(root)
    for dirpath, dirnames, filenames in os.walk(rootb):
        rel_dir = os.path.relpath(dirpath, rootb)
        for name in dirnames + filenames:
            full = os.path.join(dirpath, name)
            rel = os.path.normpath(os.path.join(rel_dir, name)) if rel_dir != b"." else name
            times[rel] = os.lstat(full).st_mtime_ns
            if os.path.islink(full):
                links.append(rel)
                tree[rel] = "link:" + os.fsdecode(os.readlink(full))
            elif os.path.isdir(full):
                if not os.listdir(full):
                    tree[rel] = "dir"
            else:
                tree[rel] = "%d:%s" % (os.path.getsize(full), sha256(full))
                if times[rel] >= since_ns:
                    recent.append(rel)
    return tree, links, times, recent


def diff(expected, actual, limit=6):
    parts = []
    for label, keys in (("missing", set(expected) - set(actual)), ("unexpected", set(actual) - set(expected)),
                        ("differs", {k for k in set(expected) & set(actual) if expected[k] != actual[k]})):
        keys = sorted(keys)
        if keys:
            shown = ", ".join(k.decode("utf-8", "backslashreplace") for k in keys[:limit])
            parts.append("%s %d: %s%s" % (label, len(keys), shown, " ..." if len(keys) > limit else ""))
    return "; ".join(parts)


def judge(row, rc, before, after, outside, corpus):
    check, scope = row["check"], row["scope"]
    (tree0, _, times0, _), (tree, links, times, recent) = before, after
    if rc is None:
        return "crashed or hung"
    if outside:
        return "created outside the destination: " + ", ".join(outside)
    if links:
        return "created links: " + ", ".join(l.decode("utf-8", "replace") for l in links)
    users = os.fsencode(USERS_FILE)
    if tree.get(users) != tree0[users] or times.get(users) != times0[users]:
        return "the user's own file changed"
    if rc != 0 and (tree, times) != (tree0, times0):
        return "failed (exit %d) but changed the destination: %s" % (rc, diff(tree0, tree) or "times")
    if rc == 0 and recent:
        return "files without the time their archive records: " + diff({}, {k: "" for k in recent})
    del tree[users]
    if check == "contained":
        return None
    if check == "rc":
        return None if rc != 0 else "succeeded where a failure is required"
    if rc != 0:
        if scope == "beyond":
            return None
        return "failed with exit %d" % rc
    expected = parse_outputs(row["outputs"], corpus)
    files = lambda t: {k: v for k, v in t.items() if v != "dir" and not v.startswith("link:")}
    if check == "exact":
        return diff(expected, tree) or None
    if check == "nocase":
        lower = lambda t: {k.lower(): v for k, v in t.items()}
        return diff(lower(expected), lower(tree)) or None
    if check == "files":
        return diff(files(expected), files(tree)) or None
    if check == "content":
        want, got = (collections.Counter(files(t).values()) for t in (expected, tree))
        return None if want == got else "contents differ: missing %s, unexpected %s" % (
            sorted(want - got)[:3], sorted(got - want)[:3])
    return "unknown check " + check


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    ap = argparse.ArgumentParser()
    ap.add_argument("--harness", required=True)
    ap.add_argument("--format", default="all")
    ap.add_argument("--corpus", default=os.path.normpath(os.path.join(here, "..", "..", "..", "shared", "corpus")))
    args = ap.parse_args()

    manifest = os.path.join(args.corpus, "MANIFEST.tsv")
    if not os.path.exists(manifest):
        print("corpus not found at %s: skipped" % args.corpus)
        return 77
    with open(manifest, encoding="utf-8") as f:
        header = f.readline().rstrip("\n").split("\t")
        rows = [dict(zip(header, line.rstrip("\n").split("\t"))) for line in f if line.strip()]
    rows = [r for r in rows if args.format == "all" or r["format"] == args.format]
    if not rows:
        print("no rows selected")
        return 1

    failures = 0
    links = tempfile.mkdtemp(prefix="tarvex conf 書庫 ")
    for n, row in enumerate(rows):
        library = LIBRARY_FOR.get(row["format"])
        parent = tempfile.mkdtemp(prefix="tarvex-conf-")
        dest = os.path.join(parent, "展開 先")
        os.mkdir(dest)
        open(os.path.join(dest, USERS_FILE), "w").write("mine")
        for path in (os.path.join(dest, USERS_FILE), dest):
            os.utime(path, ns=(1234567891234567800,) * 2)
        archive = os.path.join(links, "%d %s" % (n, os.path.basename(row["archive"])))
        os.symlink(os.path.join(os.path.abspath(args.corpus), row["archive"]), archive)
        cmd = [args.harness] + ([library] if library else []) + [archive, dest]
        canaries_before = {c for c in CANARIES if os.path.lexists(c)}
        start = time.time_ns()
        before = list_tree(dest, start)
        try:
            proc = subprocess.run(cmd, stdin=subprocess.DEVNULL, capture_output=True, timeout=300)
            rc = proc.returncode if proc.returncode >= 0 else None  # negative: killed by a signal
            log = proc.stderr.decode("utf-8", "replace").strip()
        except subprocess.TimeoutExpired:
            rc, log = None, "timeout"
        outside = [name for name in os.listdir(parent) if name != "展開 先"]
        outside += [c for c in CANARIES if os.path.lexists(c) and c not in canaries_before]
        problem = judge(row, rc, before, list_tree(dest, start), outside, args.corpus)
        shutil.rmtree(parent, ignore_errors=True)
        failures += problem is not None
        print("%s %-45s %-9s rc=%s%s" % ("ok  " if problem is None else "FAIL", row["archive"], row["check"], rc,
                                         "" if problem is None else "  " + problem))
        for line in log.splitlines()[-3:] if problem else []:
            print("       " + line)
    shutil.rmtree(links, ignore_errors=True)
    print("%d of %d rows passed" % (len(rows) - failures, len(rows)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
