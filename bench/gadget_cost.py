#!/usr/bin/env python3
"""Cost of the running gadget: CPU seconds and resident memory of tarvex.exe over a
measuring window (60 s by default), against a do-nothing Win32 window (wintool idle)
measured in the same run and prefix, one after the other; also the prefix's
wineserver's share and Xvfb's, since every repaint costs there. The pointer is
parked away from both windows (a hovered tooltip costs CPU).
Usage: bench/gadget_cost.py [SECONDS]   (environment as for the end-to-end tests)
Goal: the readouts add less than 60 ms of CPU per minute over the do-nothing window."""
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from e2e import WINTOOL, Session  # noqa: E402

SECS = int(sys.argv[1]) if len(sys.argv) > 1 else 60


def cpu(pid):  # user + system seconds
    with open("/proc/%d/stat" % pid) as f:
        v = f.read().rsplit(")", 1)[1].split()
    return (int(v[11]) + int(v[12])) / os.sysconf("SC_CLK_TCK")


def rss_kb(pid):
    with open("/proc/%d/status" % pid) as f:
        return int(next(line.split()[1] for line in f if line.startswith("VmRSS")))


def cwd(pid):
    try:
        return os.readlink("/proc/%s/cwd" % pid)
    except OSError:
        return ""


def measure(s, pid):
    """(process CPU s, wineserver CPU s, Xvfb CPU s, RSS kB) over SECS seconds."""
    st = os.stat(s.prefix)
    key = "/server-%x-%x" % (st.st_dev, st.st_ino)  # the prefix's wineserver runs in that folder
    ws = next(int(p) for p in os.listdir("/proc") if p.isdigit() and cwd(p).endswith(key))
    s.park()
    pids = (pid, ws, s.xvfb.pid)
    before = [cpu(p) for p in pids]
    time.sleep(SECS)
    return [cpu(p) - b for p, b in zip(pids, before)] + [rss_kb(pid)]


with Session(deadline=2 * SECS + 180) as s:
    idle = s.bg(["wine", WINTOOL, "idle"])
    window = s.must("the do-nothing window", s.wait(lambda: s.find("IdleWin"), 40))[0]
    time.sleep(3)
    base = measure(s, idle.pid)
    s.post(window["hwnd"], 0x10)
    idle.wait(20)
    g = s.start()
    time.sleep(3)
    digits = " ".join(g.digits())
    cost = measure(s, g.proc.pid)
    s.check("the gadget still runs after the measurement", g.alive())
    g.close()
    extra = (cost[0] - base[0]) * 60000 / SECS
    print("\nGadget cost over %d s (readouts showed: %s)" % (SECS, digits))
    print("%-20s %14s %14s %10s %10s" % ("", "process CPU s", "wineserver s", "Xvfb s", "RSS kB"))
    for name, row in (("do-nothing window", base), ("tarvex.exe", cost)):
        print("%-20s %14.2f %14.2f %10.2f %10d" % ((name,) + tuple(row)))
    print("extra CPU of the gadget process: %.0f ms per minute (goal: < 60 ms)" % extra)
    print("extra CPU with wineserver and Xvfb: %.0f ms per minute" % ((sum(cost[:3]) - sum(base[:3])) * 60000 / SECS))
    print("extra resident memory: %d kB" % (cost[3] - base[3]))
    print("goal met" if extra < 60 else "goal NOT met")
