#!/usr/bin/env python3
"""The harness's own watchdog, with the faults a test meets: a program that stops
responding (stopped with SIGSTOP) ends a waiting test at once, and a test stuck in a
helper that never returns ends at its deadline. Either way the test fails with the
reason, and nothing it started is left running: no process of its Wine prefix, no X
server."""
import glob
import os
import re
import shutil
import signal
import subprocess
import sys
import time

INNER = r"""
import os, signal, subprocess, sys
sys.argv[0] = "watchdog_" + sys.argv[1]
from e2e import Session
with Session(wm=False) as s:
    g = s.start()
    if sys.argv[1] == "stopped":
        os.kill(g.proc.pid, signal.SIGSTOP)
        s.wait(lambda: False, 200)
    else:
        subprocess.run(["sleep", "600"])
"""


def of_prefix(prefix):
    """PIDs of the processes that run in a Wine prefix."""
    pids = []
    for env in glob.glob("/proc/[0-9]*/environ"):
        try:
            with open(env, "rb") as f:
                if b"WINEPREFIX=%s\0" % prefix.encode() in f.read():
                    pids.append(int(env.split("/")[2]))
        except OSError:
            pass
    return pids


def xvfb_alive(pid):
    try:
        with open("/proc/%d/cmdline" % pid, "rb") as f:
            return b"Xvfb" in f.read()
    except OSError:
        return False


fails = 0
for case, deadline, reason, limit in (("stopped", 240, "stopped responding", 60), ("stuck", 20, "watchdog", 60)):
    t0 = time.time()
    try:
        r = subprocess.run([sys.executable, "-c", INNER, case], cwd=os.path.dirname(os.path.abspath(__file__)),
                           env=dict(os.environ, E2E_DEADLINE=str(deadline)), stderr=subprocess.PIPE, text=True,
                           timeout=150)
        out, code = r.stderr, r.returncode
    except subprocess.TimeoutExpired as e:
        out, code = (e.stderr or b"").decode(), None
    took = time.time() - t0
    m = re.search(r"T=(\S+) DISPLAY=:\d+ \(Xvfb (\d+)\)", out)
    left = of_prefix(m.group(1) + "/pfx") if m else []
    for pid in left:  # a failed watchdog: end what it left, by PID
        os.kill(pid, signal.SIGKILL)
    ok = {"failed with its reason": code == 1 and reason in out, "within %d s (%.0f s)" % (limit, took): took < limit,
          "no process of its prefix left (%s)" % left: m and not left,
          # its own Xvfb process, not the display number: a test running beside it may
          # take that number as soon as it is free
          "its X server gone": m and not xvfb_alive(int(m.group(2)))}
    for what, good in ok.items():
        print("%s: %s: %s" % ("ok" if good else "FAIL", case, what), file=sys.stderr)
        fails += not good
    if not all(ok.values()):
        print(out[-3000:], file=sys.stderr)
    elif m:
        shutil.rmtree(m.group(1), ignore_errors=True)  # the kept artifacts of an expected failure
print("FAIL: %d check(s) failed" % fails if fails else "PASS", file=sys.stderr)
sys.exit(1 if fails else 0)
