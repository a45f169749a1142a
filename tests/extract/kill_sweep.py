#!/usr/bin/env python3
"""The harness killed for real (SIGKILL from an LD_PRELOAD shim) at every call
that changes a folder: after staging, in the middle of placing, in the middle
of a rollback. The next harness run (on a file that is no archive) must bring
the folder back to exactly how it was (contents and times), or, after the
commit, to the finished result. Also: a second run waits for the folder's lock
and gives up with a clear message, and a killed run's lock goes with it.

usage: kill_sweep.py --harness tarvex-extract --shim libtarvex_kill_shim.so
"""
import argparse
import fcntl
import os
import shutil
import subprocess
import sys
import tempfile
import zipfile


def snapshot(root, times=True):
    out = {".": os.stat(root).st_mtime_ns // 100} if times else {}
    for dirpath, dirs, files in os.walk(root):
        for name in dirs + files:
            path = os.path.join(dirpath, name)
            kind = "d" if os.path.isdir(path) else "f" + open(path, "rb").read().decode()
            out[os.path.relpath(path, root)] = kind + (" @%d" % (os.lstat(path).st_mtime_ns // 100) if times else "")
    return out


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--harness", required=True)
    ap.add_argument("--shim", required=True)
    a = ap.parse_args()
    work = tempfile.mkdtemp(prefix="tarvex-kill-")
    archive, junk, dest = (os.path.join(work, n) for n in ("a.zip", "junk.bin", "dest"))
    with zipfile.ZipFile(archive, "w") as z:
        for name, data in [("keep.txt", "new"), ("sub/keep2.txt", "new2"), ("new/dir/f.txt", "f"), ("last.txt", "l")]:
            z.writestr(name, data)
    open(junk, "wb").write(b"no archive at all")

    def populate():
        shutil.rmtree(dest, ignore_errors=True)
        os.makedirs(os.path.join(dest, "sub"))
        for rel, data, t in [("keep.txt", "old", 1e9), ("sub/keep2.txt", "old2", 1e9), ("sub", None, 1.1e9),
                             (".", None, 1.2e9)]:
            if data:
                open(os.path.join(dest, rel), "w").write(data)
            os.utime(os.path.join(dest, rel), ns=(int(t * 1e9) + 123456789,) * 2)

    def run(path, shim=True, *options, **env):
        env = dict(os.environ, **env, **({"LD_PRELOAD": a.shim} if shim else {}))
        return subprocess.run([a.harness, "--overwrite=yes", *options, path, dest], env=env, capture_output=True,
                              text=True)

    populate()
    before = snapshot(dest)
    log = os.path.join(work, "calls.log")
    assert run(archive, TARVEX_SHIM_LOG=log).returncode == 0
    after = snapshot(dest, times=False)
    # The last move from the staging folder into the folder: failing it starts a rollback.
    last_place = max(int(c[0]) for c in map(str.split, open(log))
                     if c[1] == "rename" and ".tarvex-staging-" in c[2] and ".tarvex-staging-" not in c[3])
    def killed_at(n, fail_at):
        populate()
        return run(archive, TARVEX_KILL_AT=str(n), TARVEX_FAIL_AT=str(fail_at or 0)).returncode == -9

    failures = []
    for fail_at in (None, last_place):
        committed = False
        n = (fail_at or 0) + 1
        while killed_at(n, fail_at):  # else it ran to its end: every call has been tried
            run(junk, False)
            if snapshot(dest, times=False) == after and not fail_at:
                committed = True
            elif snapshot(dest) != before or committed:
                failures.append("killed at call %d (failing call %s): %s" % (n, fail_at, snapshot(dest)))
            n += 1
        print("fail at %s: killed at calls %d..%d, %s" % (fail_at, (fail_at or 0) + 1, n - 1,
                                                          "committed at the end" if committed else "never committed"))
    populate()
    fd = os.open(dest, os.O_RDONLY)  # a run holding the folder: the second waits, then gives up
    fcntl.flock(fd, fcntl.LOCK_EX)
    r = run(archive, False, "--wait=300", "UnZip")
    if r.returncode == 0 or "another extraction into this folder is running" not in r.stderr or snapshot(dest) != before:
        failures.append("a locked folder: %s" % r.stderr)
    os.close(fd)
    if run(archive, True, TARVEX_KILL_AT="3").returncode != -9 or run(archive, False, "--wait=300").returncode != 0:
        failures.append("the lock of a killed run stayed")
    shutil.rmtree(work)
    for f in failures:
        print("FAIL", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
