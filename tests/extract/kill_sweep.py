#!/usr/bin/env python3
"""The harness killed for real (SIGKILL from an LD_PRELOAD shim) at every call
that changes a folder: after staging, in the middle of placing, in the middle
of a rollback. The next harness run (on a file that is no archive) must bring
the folder back to exactly how it was (contents and times), or, after the
commit, to the finished result. Also: a second run waits for the folder's lock
and gives up with a clear message.

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
    out = {}
    for dirpath, dirs, files in os.walk(root):
        for name in dirs + files:
            path = os.path.join(dirpath, name)
            st = os.lstat(path)
            rel = os.path.relpath(path, root)
            kind = "d" if os.path.isdir(path) else "f" + open(path, "rb").read().decode()
            out[rel] = kind + (" @%d" % (st.st_mtime_ns // 100) if times else "")
    if times:
        out["."] = os.stat(root).st_mtime_ns // 100
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
        for rel, data in [("keep.txt", "old"), ("sub/keep2.txt", "old2")]:
            open(os.path.join(dest, rel), "w").write(data)
        for rel, t in [("sub/keep2.txt", 1e9), ("keep.txt", 1e9), ("sub", 1.1e9), (".", 1.2e9)]:
            os.utime(os.path.join(dest, rel), ns=(int(t * 1e9) + 123456789,) * 2)

    def run(path, env_extra=None, shim=True):
        env = dict(os.environ, **(env_extra or {}))
        if shim:
            env["LD_PRELOAD"] = a.shim
        return subprocess.run([a.harness, "--overwrite=yes", path, dest], env=env, capture_output=True, text=True)

    populate()
    before = snapshot(dest)
    log = os.path.join(work, "calls.log")
    assert run(archive, {"TARVEX_SHIM_LOG": log}).returncode == 0
    after = snapshot(dest, times=False)
    calls = [line.split() for line in open(log)]
    # The last move from the staging folder into the folder: failing it starts a rollback.
    last_place = max(int(c[0]) for c in calls if c[1] == "rename" and ".tarvex-staging-" in c[2]
                     and ".tarvex-staging-" not in c[3])
    failures = []
    for fail_at in (None, last_place):
        committed = False
        n = (fail_at or 0) + 1
        while True:
            populate()
            env = {"TARVEX_KILL_AT": str(n)}
            if fail_at:
                env["TARVEX_FAIL_AT"] = str(fail_at)
            r = run(archive, env)
            if r.returncode != -9:  # ran to its end: every call has been tried
                break
            r = run(junk, shim=False)
            now = snapshot(dest)
            if snapshot(dest, times=False) == after and not fail_at:
                committed = True
            elif now != before or committed:
                failures.append("killed at call %d (failing call %s): %s" % (n, fail_at, now))
            n += 1
        print("fail at %s: killed at calls %d..%d, %s" % (fail_at, (fail_at or 0) + 1, n - 1,
                                                          "committed at the end" if committed else "never committed"))
    # A run holding the folder: the second waits, then gives up; the folder is left alone.
    populate()
    fd = os.open(dest, os.O_RDONLY)
    fcntl.flock(fd, fcntl.LOCK_EX)
    r = subprocess.run([a.harness, "--wait=300", "--overwrite=yes", "UnZip", archive, dest],
                       capture_output=True, text=True)
    if r.returncode == 0 or "another extraction into this folder is running" not in r.stderr or snapshot(dest) != before:
        failures.append("a locked folder: %s" % r.stderr)
    os.close(fd)
    if run(archive, shim=False).returncode != 0:
        failures.append("the folder stayed locked")
    shutil.rmtree(work)
    for f in failures:
        print("FAIL", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
