#!/usr/bin/env python3
"""End-to-end harness: runs tarvex.exe under Wine on a private virtual X display and
looks at it from outside (xdotool, xwininfo, import, and tools/wintool.exe inside the
prefix). Standard library only. A test is tests/e2e/test_NAME.py (CTest: e2e_NAME):

    with Session() as s:                           # scratch dir, prefix, display, watchdog
        g = s.start(Top=1500, Left=1500, Act=0)    # store, start, wait for the settle step
        s.expect("place", (100, 100, 191, 95), g.rect())   # soft checks go on,
        box = s.must("a box", s.wait(s.box, 10))           # hard ones end the test

Session.wait, the one wait, ends the test at once when the program has ended or stops
responding; a watchdog ends it after E2E_DEADLINE s (default 240), before CTest's limit.
Cleanup ends only what the test started; a failed test keeps its scratch dir (without
the prefix): a picture of the screen, the window list, the program's Wine output.
Environment: TARVEX_WIN_BUILD_DIR (default <source>/build/win), TARVEX_EXE, TARVEX_TOOLS
(folder of wintool.exe), E2E_WORK (prefix template, scratch dirs), E2E_KEEP=1.
Command line: e2e.py boot (boots the prefix template) | e2e.py run (scripts/run.sh)."""
import ctypes
import fcntl
import json
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from collections import Counter
from urllib.parse import quote

HERE = os.path.dirname(os.path.abspath(__file__))
SRC = os.path.dirname(os.path.dirname(HERE))
BUILD = os.environ.get("TARVEX_WIN_BUILD_DIR", os.path.join(SRC, "build", "win"))
EXE = os.environ.get("TARVEX_EXE", os.path.join(BUILD, "tarvex.exe"))
WINTOOL = os.path.join(os.environ.get("TARVEX_TOOLS", BUILD), "wintool.exe")
WORK = os.environ.get("E2E_WORK", os.path.join(tempfile.gettempdir(), "tarvex-e2e-%d" % os.getuid()))
TEMPLATE = os.path.join(WORK, "prefix-template")
JA, C = "ja_JP.UTF-8", "C"
TITLE = "Tarvex"
# Wine's builtin DLLs that a clean Windows lacks are switched off where Wine allows
# it, so that a program depending on one fails to start here as it would there.
# zlib1.dll cannot be: Wine 8's own user32.dll imports it, and every Windows
# program would fail.
WINE_ENV = {"WINEDEBUG": "-all",
            "WINEDLLOVERRIDES": "mscoree,mshtml=;libwinpthread-1,libgcc_s_seh-1,libstdc++-6=d"}

# The gadget's client area, in pixels (15 twips each).
BUTTONS = {"b_close": (95, 5, 17, 17), "b_hide": (112, 5, 17, 17), "b_rach": (129, 5, 35, 25),
           "b_thaw": (94, 22, 35, 47)}
BODY, GRIP, PANEL = (150, 50), (179, 48), (40, 50)  # bare surface, Image6, memory panel
STATUS = (6, 74, 154, 14)  # interior of the status line
PARK = (1270, 790)  # where the pointer rests, away from every window


class Failure(Exception):
    pass


class Skip(Exception):
    pass


def run(args, timeout=30, check=False, **kw):
    """A helper program; its output as text (bytes with text=False)."""
    kw.setdefault("text", True)
    r = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=timeout, **kw)
    if check and r.returncode:
        raise Failure("%s failed (%d)" % (" ".join(map(str, args)), r.returncode))
    return r.stdout if r.returncode == 0 else None


# ---- start and stop, prefix ---------------------------------------------------------

def boot_template():
    """Boots the prefix template once (a second caller waits); later runs reuse it
    until Wine changes. User folders are made real folders, not links to $HOME."""
    os.makedirs(WORK, exist_ok=True)
    with open(os.path.join(WORK, "template.lock"), "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        mark = os.path.join(TEMPLATE, ".booted")
        if os.path.exists(mark) and os.path.getmtime(mark) > os.path.getmtime(os.path.realpath(shutil.which("wineserver"))):
            return
        shutil.rmtree(TEMPLATE, ignore_errors=True)
        boot_prefix(TEMPLATE)
        for d in Session.user_dirs(TEMPLATE):
            if os.path.islink(d):
                os.unlink(d)
                os.makedirs(d)
        open(mark, "w").close()


def boot_prefix(prefix):
    env = dict(os.environ, WINEPREFIX=prefix, **WINE_ENV)
    env.pop("DISPLAY", None)  # no desktop window while booting
    os.makedirs(prefix, exist_ok=True)
    try:
        subprocess.run(["wineboot", "-i"], env=env, timeout=180, capture_output=True)
        subprocess.run(["wineserver", "-w"], env=env, timeout=60)
    except subprocess.TimeoutExpired:
        subprocess.run(["wineserver", "-k"], env=env, timeout=20)
        raise Failure("wineboot did not finish")


class Session:
    """One test run: scratch dir, Wine prefix, display, watchdog, results, cleanup."""

    def __init__(self, lang=JA, wm=True, prefix=None, display=None, deadline=None):
        self.lang, self.wm, self.prefix, self.display, self.own_display = lang, wm, prefix, display, not display
        self.deadline = int(deadline or os.environ.get("E2E_DEADLINE", 240))
        self.name = os.path.splitext(os.path.basename(sys.argv[0]))[0]
        self.fails, self.gadgets, self.procs, self.T = 0, [], [], None
        self._listed = (0, [])

    def __enter__(self):
        def stop(signum, _):
            raise Failure("watchdog: the test ran longer than %d s" % self.deadline
                          if signum == signal.SIGALRM else "stopped by signal %d" % signum)
        for sig in (signal.SIGALRM, signal.SIGTERM, signal.SIGINT):
            signal.signal(sig, stop)
        signal.alarm(self.deadline)
        try:
            self._set_up()
        except BaseException:
            self.__exit__(*sys.exc_info())
        return self

    def _set_up(self):
        for f in (EXE, WINTOOL):
            if not os.path.exists(f):
                raise Failure("not built: " + f)
        os.makedirs(os.path.join(WORK, "runs"), exist_ok=True)
        self.T = tempfile.mkdtemp(prefix=self.name + ".", dir=os.path.join(WORK, "runs"))
        if self.prefix is None:
            boot_template()
            self.prefix = os.path.join(self.T, "pfx")
            run(["cp", "-a", TEMPLATE, self.prefix], timeout=120, check=True)
        elif not os.path.exists(os.path.join(self.prefix, "system.reg")):
            boot_prefix(self.prefix)
        os.environ.update(WINE_ENV, WINEPREFIX=self.prefix, LANG=self.lang, LC_ALL=self.lang)
        self.desktop_dir = next((d for d in self.user_dirs(self.prefix) if d.endswith("/Desktop")), None)
        if not self.display:
            r, w = os.pipe()
            self.xvfb = self.bg(["Xvfb", "-displayfd", str(w), "-screen", "0", "1280x800x24", "-nolisten", "tcp", "-r"],
                                pass_fds=(w,), stderr=open(os.path.join(self.T, "xvfb.log"), "w"))
            os.close(w)
            got = b""
            while not got.endswith(b"\n") and select.select([r], [], [], 15)[0]:  # Xvfb writes "N", then "\n"
                got += os.read(r, 16) or b"\n"
            os.close(r)
            if not got.strip():
                raise Failure("Xvfb did not start")
            self.display = ":" + got.decode().strip()
        os.environ["DISPLAY"] = self.display
        if self.wm:
            self.bg(["openbox", "--sm-disable"])
            self.wait(lambda: "window id" in (run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"]) or ""), 10)
        # A running wineserver makes the start quick (about 0.8 s instead of 2 s), so that
        # the first second can be watched. It ends by itself 30 s after its last program.
        subprocess.run(["wineserver", "-p30"], timeout=30)
        if self.own_display:
            self.park()
        xvfb = " (Xvfb %d)" % self.xvfb.pid if getattr(self, "xvfb", None) else ""
        self.log("set up: T=%s DISPLAY=%s%s LANG=%s%s" % (self.T, self.display, xvfb, self.lang, "" if self.wm else " (no WM)"))

    @staticmethod
    def user_dirs(prefix):
        users = os.path.join(prefix, "drive_c", "users")
        return [os.path.join(users, u, d) for u in os.listdir(users) if u != "Public"
                for d in ("Desktop", "Documents", "Downloads", "Music", "Pictures", "Videos", "Templates")]

    def __exit__(self, kind, exc, tb):
        signal.alarm(0)
        signal.signal(signal.SIGTERM, signal.SIG_IGN)
        signal.signal(signal.SIGINT, signal.SIG_IGN)
        if kind is Skip:
            code, msg = 77, "SKIP: %s" % exc
        elif kind is not None:
            code, msg = 1, "FAIL: %s" % (exc if isinstance(exc, Failure) else "%s: %s" % (kind.__name__, exc))
        elif self.fails:
            code, msg = 1, "FAIL: %d check(s) failed" % self.fails
        else:
            code, msg = 0, "PASS"
        if kind not in (None, Skip) and not isinstance(exc, Failure):
            import traceback
            traceback.print_exception(kind, exc, tb)
        if code or self.own_display:
            print(msg, file=sys.stderr, flush=True)
        if code == 1 and self.T and self.own_display:  # what the screen and Windows showed
            try:
                run(["import", "-window", "root", os.path.join(self.T, "failure.png")], timeout=20)
                with open(os.path.join(self.T, "failure.windows.txt"), "w") as f:
                    f.writelines(json.dumps(w, ensure_ascii=False) + "\n" for w in self.windows())
            except (subprocess.TimeoutExpired, OSError, Failure) as e:
                print("NOTE: no failure pictures: %s" % e, file=sys.stderr)
        self._clean_up(keep=code == 1 or os.environ.get("E2E_KEEP") == "1")
        raise SystemExit(code)

    def _clean_up(self, keep):
        for g in self.gadgets:
            g.proc.kill()
        for p in [g.proc for g in self.gadgets] + self.procs[::-1]:  # the X server last; it removes its socket
            p.terminate()
            try:
                p.wait(10)
            except subprocess.TimeoutExpired:
                p.kill()
        if self.prefix and os.path.isdir(self.prefix):
            for args in (["wineserver", "-k"], ["wineserver", "-w"]):
                try:
                    subprocess.run(args, timeout=20)
                except subprocess.TimeoutExpired:
                    print("NOTE: %s did not finish" % " ".join(args), file=sys.stderr)
        if self.T and os.path.isdir(self.T):
            if keep:
                shutil.rmtree(os.path.join(self.T, "pfx"), ignore_errors=True)
                print("artifacts kept in " + self.T, file=sys.stderr)
            else:
                shutil.rmtree(self.T, ignore_errors=True)

    def bg(self, args, **kw):
        """A background process; cleanup ends it."""
        kw.setdefault("stderr", subprocess.DEVNULL)
        p = subprocess.Popen(args, stdout=subprocess.DEVNULL, **kw)
        self.procs.append(p)
        return p

    def churn(self, mb=64):
        """Keeps the free memory moving (mb MB taken and given back twice a second), so
        that running readouts change their digits at every tick."""
        self.bg([sys.executable, "-c", "import time\nwhile 1: b = b'1' * (%d << 20); time.sleep(0.25); del b; "
                 "time.sleep(0.25)" % mb])

    # ---- results ----
    def log(self, text):
        print("[%s %s] %s" % (self.name, time.strftime("%T"), text), file=sys.stderr, flush=True)

    def check(self, what, ok):
        """Soft check: a failure is counted and the test goes on."""
        print("%s: %s" % ("ok" if ok else "FAIL", what), file=sys.stderr, flush=True)
        self.fails += not ok
        return ok

    def expect(self, what, want, got):
        return self.check("%s: %r" % (what, got) if want == got else "%s: expected %r, got %r" % (what, want, got),
                          want == got)

    def must(self, what, value):
        """Hard check: the test ends unless value is true; returns the value."""
        if not value:
            raise Failure(what)
        return value

    def skip(self, why):
        raise Skip(why)

    def wait(self, fn, timeout=10, every=0.1):
        """The one wait: polls fn until it returns something true (returned) or the time
        is up (fn's last answer is returned). Ends the test at once when a program
        started by start() has ended or stopped responding meanwhile."""
        end = time.time() + timeout
        while True:
            v = fn()
            if v or time.time() >= end:
                return v
            self.health()
            time.sleep(every)

    def pause(self, secs):
        """Lets time pass, still watching the programs' health."""
        self.wait(lambda: False, secs)

    def health(self):
        for g in self.gadgets:
            if g.closing:
                continue
            if g.proc.poll() is not None:
                raise Failure("the program ended by itself (exit status %s)%s" % (g.proc.returncode, g.output()))
            if g._hwnd and any(w["hung"] for w in self.windows(max_age=3) if w["hwnd"] == g._hwnd):
                raise Failure("the program stopped responding (no messages taken for 5 s)")

    # ---- the program ----
    def store(self, **values):
        """Settings of HKCU\\Software\\Tarvex\\startup (one registry import); None
        removes a value."""
        if not values:
            return
        esc = lambda v: '"%s"' % str(v).replace("\\", "\\\\").replace('"', '\\"')
        lines = ["Windows Registry Editor Version 5.00", "", "[%s]" % REG_KEY.replace("HKCU", "HKEY_CURRENT_USER")]
        lines += ["%s=%s" % (esc(k), "-" if v is None else esc(v)) for k, v in values.items()]
        path = os.path.join(self.T, "store.reg")
        with open(path, "w", encoding="utf-16") as f:
            f.write("\r\n".join(lines) + "\r\n")
        run(["wine", "reg", "import", "Z:" + path.replace("/", "\\")], check=True)

    def reg(self, name):
        """A stored setting exactly as text, None when absent (read while Wine runs)."""
        out = run(["wine", "reg", "query", REG_KEY, "/v", name], text=False)
        for line in (out or b"").decode("cp932" if self.lang.startswith("ja") else "cp1252").splitlines():
            m = re.match(r"^    (\S+)    REG_\w+(?:    (.*))?$", line.rstrip("\r"))
            if m and m.group(1) == name:
                return m.group(2) or ""
        return None

    def start(self, exe=None, lang=None, settle=True, env=None, shown=True, **store):
        """Stores the given settings, starts the program and waits for its window on the
        screen (its first place is kept in .first) and, unless settle=False, for its
        settle step. shown=False: a start off the screen, waits for the window only as
        Windows sees it."""
        self.store(**store)
        out = open(os.path.join(self.T, "exe%d.out" % len(self.gadgets)), "w")
        e = dict(os.environ, **(env or {}))
        if lang:
            e.update(LANG=lang, LC_ALL=lang)
        g = Gadget(self, subprocess.Popen(["wine", exe or EXE], stdout=out, stderr=subprocess.STDOUT, env=e), out.name)
        self.gadgets.append(g)
        if not shown:
            return g.hwnd and g
        g.first = self.xgeom(g.wid)
        self.log("started (PID %d) at %s" % (g.proc.pid, g.first))
        if settle:
            self.must("the settle step within 15 s (total memory drawn, status line empty)", self.wait(g.settled, 15))
            g.hwnd  # known before another copy starts
        return g

    # ---- windows as Windows sees them ----
    def wintool(self, *args, timeout=20):
        return run(["wine", WINTOOL] + [str(a) for a in args], timeout=timeout)

    def windows(self, max_age=0):
        if time.time() - self._listed[0] > max_age:
            out = self.wintool("list") or ""
            self._listed = (time.time(), [json.loads(line) for line in out.splitlines() if line.startswith("{")])
        return self._listed[1]

    def children(self, hwnd):
        return [json.loads(line) for line in (self.wintool("children", hwnd) or "").splitlines() if line.startswith("{")]

    def find(self, text=None, cls=None, visible=True):
        return [w for w in self.windows() if (text is None or w["text"] == text) and (cls is None or w["class"] == cls)
                and (not visible or w["visible"])]

    def post(self, hwnd, msg, w=0, l=0):
        return self.wintool("post", hwnd, msg, w, l) is not None

    def memstat(self):
        return tuple(map(int, (self.wintool("mem") or "0 0").split()))

    # ---- X windows, screenshots, pixels ----
    def xwins(self, regex):
        return (run(["xdotool", "search", "--onlyvisible", "--name", regex]) or "").split()

    def xgeom(self, wid):
        """(x, y, w, h) of an X window on the screen."""
        out = run(["xwininfo", "-id", str(wid)]) or ""
        v = [re.search(p + r":\s+(-?\d+)", out) for p in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height")]
        return tuple(int(m.group(1)) for m in v) if all(v) else None

    def shot(self, wid="root", crop=None, save=None):
        """A picture of a window (or of a region of the screen) as an Image."""
        args = ["import", "-window", str(wid)] + (["-crop", "%dx%d+%d+%d" % (crop[2:] + crop[:2]), "+repage"] if crop else [])
        img = Image(run(args + ["-depth", "8", "ppm:-"], text=False) or b"")
        if save:
            img.save(os.path.join(self.T, save))
        return img

    # ---- mouse and keys ----
    def xdo(self, *args):
        return run(["xdotool"] + [str(a) for a in args]) is not None

    def move(self, x, y):
        self.xdo("mousemove", x, y)

    def click(self, x, y, button=1):
        self.xdo("mousemove", x, y, "click", button)

    def park(self):
        self.move(*PARK)

    def focus(self, wid, hwnd):
        """Gives an X window the keyboard focus and waits until Windows has made it
        (hwnd) the foreground window: Wine hands keys to the foreground window's
        focus, whatever window an X event names."""
        self.xdo("windowactivate" if self.wm else "windowfocus", "--sync", wid)
        self.must("window %s in the foreground" % hwnd, self.wait(
            lambda: any(w["foreground"] for w in self.windows() if w["hwnd"] == hwnd), 10))

    def key(self, wid, hwnd, *keys):
        """Keys typed into an X window as real input, after giving it the focus. Not
        xdotool's --window: it sends a key's press through the X server's input when
        the window has the focus and through XSendEvent when not, so a Return whose
        press closed the window had its release sent aside; the X server kept Return
        down and repeated it into the next box, which closed by itself."""
        self.focus(wid, hwnd)
        self.xdo("key", *keys)
        self.must("no key left down after %s" % (keys,), not keys_down())

    def drag(self, x, y, dx, dy, button=1, end=True):
        """Press at a screen point, nudge by a pixel (the drag starts with the first move
        while pressed), move in ten steps by dx, dy from the press point, release. With
        end, a click where the pointer is ends a drag that did not end at the release
        (test_drag.py checks that fault; the other tests test only their own subject)."""
        steps = [a for i in range(1, 11) for a in ("mousemove", x + dx * i // 10, y + dy * i // 10, "sleep", 0.05)]
        self.xdo("mousemove", x, y, "mousedown", button, "sleep", 0.2, "mousemove", x + 1, y + 1, "sleep", 0.3,
                 *steps, "sleep", 0.2, "mouseup", button, *(("sleep", 0.5, "click", 1, "sleep", 0.3) if end else ()))

    # ---- message boxes and the folder picker ----
    def box(self, laid_out=True):
        """hwnd of the program's visible message box, None when there is none. A box shows
        before its buttons exist; laid_out (for waiting on one) counts it once they do."""
        hwnd = next((w["hwnd"] for w in self.find(TITLE, "#32770")), None)
        if hwnd and laid_out and not any(c["class"] == "Button" for c in self.children(hwnd)):
            return None
        return hwnd

    def box_text(self, hwnd, cid=65535):
        return next((c["text"] for c in self.children(hwnd) if c["id"] == cid), None)

    def box_buttons(self, hwnd):
        return sorted((c["id"], c["text"]) for c in self.children(hwnd) if c["class"] == "Button")

    def box_icon(self, hwnd):
        """'warning' (Wine draws it orange), 'information' (blue) or 'none'."""
        icon = next((c for c in self.children(hwnd) if c["id"] == 1088), None)
        if not icon:
            return "none"
        px = list(self.shot(crop=tuple(icon["rect"])).pixels())
        if sum(r > 200 and 60 < g < 200 and b < 90 for r, g, b in px) >= 30:
            return "warning"
        return "information" if sum(b > 140 and r < 110 and g < 150 for r, g, b in px) >= 30 else "none"

    def press_child(self, hwnd, cid):
        """Clicks a dialog's child in its middle; posts WM_COMMAND when it has none."""
        c = next((c for c in self.children(hwnd) if c["id"] == cid), None)
        if c:
            x, y, w, h = c["rect"]
            self.click(x + w // 2, y + h // 2)
        else:
            self.post(hwnd, 0x111, cid)

    def answer(self, hwnd, cid):
        """Presses a box's button (1 OK, 2 Cancel, 6 Yes, 7 No); waits for the box to go."""
        gone = lambda: not any(w["hwnd"] == hwnd for w in self.find())
        self.press_child(hwnd, cid)
        if not self.wait(gone, 15):
            self.post(hwnd, 0x111, cid)  # a click that came while the box was being laid out
        return self.wait(gone, 10)

    def picker_title(self):
        return "フォルダーの参照" if self.lang.startswith("ja") else "Browse for Folder"

    def picker(self):
        return next((w["hwnd"] for w in self.find(self.picker_title())), None)

    def pick(self, folder):
        """In the open folder picker: selects the Desktop folder by typing its name into
        the tree, then OK. The keys wait until the picker is the foreground: a Shift+Tab
        that came before left the focus on OK, and the picker returned the Desktop."""
        xw = self.must("a folder picker window", self.wait(lambda: self.xwins("^%s$" % self.picker_title()), 15))[0]
        hwnd = self.must("the folder picker in the window list", self.wait(self.picker, 10))
        self.focus(xw, hwnd)
        self.xdo("sleep", 0.3, "key", "shift+Tab", "sleep", 0.2)
        self.xdo("type", "--delay", 60, folder)
        self.key(xw, hwnd, "Return")
        return self.wait(lambda: not self.xwins("^%s$" % self.picker_title()), 15)

    def desktop(self, name=""):
        return os.path.join(self.desktop_dir, name)

    def desktop_win(self, name):
        return "C:\\users\\%s\\Desktop\\%s" % (os.path.basename(os.path.dirname(self.desktop_dir)), name)

    # ---- tray ----
    def tray_click(self):
        """A left click on the first icon of Wine's own tray window."""
        tw = self.must("Wine's tray window", self.wait(lambda: self.xwins("^Wine System Tray$"), 10))[0]
        self.xdo("mousemove", "--window", tw, 10, 10, "click", 1)

    # ---- tooltips ----
    def balloon(self):
        """Screen rect of the visible tooltip once it stands still (placed), else None."""
        tips = [tuple(w["rect"]) for w in self.find(cls="tooltips_class32")]
        last, self._tip = getattr(self, "_tip", None), tips[0] if tips else None
        return self._tip if self._tip and self._tip == last and self._tip[:2] != (0, 0) else None


REG_KEY = "HKCU\\Software\\Tarvex\\startup"


class Gadget:
    """One running tarvex.exe."""

    def __init__(self, session, proc, out):
        self.s, self.proc, self.out, self.closing, self._hwnd, self._wid = session, proc, out, False, None, None

    @property
    def wid(self):
        """Its main window on the X screen (visible, named Tarvex, not another copy's)."""
        if not self._wid:
            taken = {g._wid for g in self.s.gadgets if g.alive()}  # X ids of ended programs come again
            self._wid = self.s.must("a visible 'Tarvex' window within 40 s", self.s.wait(
                lambda: next((w for w in self.s.xwins("^Tarvex$") if w not in taken), None), 40))
        return self._wid

    @property
    def hwnd(self):
        """Its main window (class TarvexForm, text Tarvex) as Windows sees it."""
        if not self._hwnd:
            taken = {g._hwnd for g in self.s.gadgets if g.alive()}
            self._hwnd = self.s.must("the main window in the window list", self.s.wait(lambda: next(
                (w["hwnd"] for w in self.s.find(TITLE, "TarvexForm", visible=False) if w["hwnd"] not in taken), None), 10))
        return self._hwnd

    def info(self):
        return next((w for w in self.s.windows() if w["hwnd"] == self.hwnd), None)

    def rect(self):
        w = self.info()
        return tuple(w["rect"]) if w else None

    def output(self):
        with open(self.out, errors="replace") as f:
            tail = f.read()[-600:]
        return ("; its Wine output ends: " + tail) if tail else ""

    # geometry, on the X screen (where clicks go)
    def at(self, x, y):
        g = self.s.xgeom(self.wid)
        return g[0] + x, g[1] + y

    def button(self, name):
        x, y, w, h = BUTTONS[name]
        return self.at(x + w // 2, y + h // 2)

    def shot(self, save=None):
        return self.s.shot(self.wid, save=save)

    def digits(self, img=None):
        return (img or self.shot()).digits()

    def status_empty(self, img=None):
        img = img or self.shot()
        return img.w > 0 and img.ink(*STATUS)[0] == 0

    def settled(self):
        img = self.shot()
        total = img.digits()[2]
        return "?" not in total and total != "0000.000" and self.status_empty(img)

    def look(self, name, img=None):
        """'normal' when a button's inner highlight (second row and column) is white,
        'pressed' when it is the face colour (162,181,255)."""
        img = img or self.shot()
        x, y, w, h = BUTTONS[name]
        edge = {img.px(i, y + 1) for i in range(x + 2, x + w - 2)} | {img.px(x + 1, j) for j in range(y + 2, y + h - 2)}
        return {frozenset({(255, 255, 255)}): "normal", frozenset({(162, 181, 255)}): "pressed"}.get(
            frozenset(edge), "other:%s" % sorted(edge))

    def wait_look(self, name, want, timeout=5):
        """Waits until the button shows `want`; returns the last look seen."""
        seen = []
        self.s.wait(lambda: seen.append(self.look(name)) or seen[-1] == want, timeout)
        return seen[-1]

    def readouts(self):
        """A checksum of the date/time and memory panels (client 4,5 to 93,69)."""
        return hash(self.shot().region(4, 5, 89, 64))

    def readouts_change(self, timeout=10):
        first = self.readouts()
        return self.s.wait(lambda: self.readouts() != first, timeout, every=0.2)

    def readouts_still(self, secs):
        first = self.readouts()
        return not self.s.wait(lambda: self.readouts() != first, secs, every=0.2)

    def first_second(self, timeout=8):
        """For a start whose settled place differs from its first place: the last picture
        taken while the window still stood there (the most complete picture of the
        first second), and the place the settle step moved it to (None: not moved)."""
        shot, end = None, time.time() + timeout
        while time.time() < end:
            img, at = self.shot(), self.s.xgeom(self.wid)
            if at[:2] != self.first[:2]:
                # X may report a move half done (x new, y old): read until two agree.
                for _ in range(20):
                    time.sleep(0.05)
                    again = self.s.xgeom(self.wid)
                    if again[:2] == at[:2]:
                        break
                    at = again
                return shot, at[:2]
            shot = img
        return shot, None

    def near(self, x, y):
        """Its top-left within 2 px of (x, y) (the nudge before a drag may count or not)."""
        r = self.rect()
        return r and abs(r[0] - x) <= 2 and abs(r[1] - y) <= 2 and r[2:] == (191, 95)

    def resumed(self, after):
        """After a box or window that paused them: the readouts run and the status line is empty."""
        self.s.park()
        self.s.check("readouts run again after " + after, self.readouts_change(10))
        self.s.check("status line empty after " + after, self.s.wait(self.status_empty, 5))

    def check_balloons(self):
        """Hovers each button the way a user does (from outside into it) and checks its
        balloon: the blue background, as many text lines as the title and body have,
        and the Japanese text drawn as glyphs rather than a row of alike boxes."""
        s = self.s
        for name, lines in (("b_close", 4), ("b_hide", 5), ("b_thaw", 5), ("b_rach", 4)):
            for attempt in range(3):  # under Wine a balloon now and then stays at 0,0 for a whole hover
                s.park()
                s.wait(lambda: not s.find(cls="tooltips_class32"), 5)
                x, y = self.button(name)
                s.xdo("mousemove", x - 5, y - 3, "sleep", 0.1, "mousemove", x, y)
                rect = s.wait(s.balloon, 4, every=0.2)
                if rect:
                    break
            if s.check("balloon of %s appears" % name, rect):
                time.sleep(0.4)  # let it finish painting
                blue, n, segs, same = s.shot(crop=rect, save="balloon-%s.ppm" % name).balloon()
                s.check("balloon of %s: blue background (%d px)" % (name, blue), blue >= 3000)
                s.expect("balloon of %s: text lines, title included" % name, lines, n)
                s.check("balloon of %s: Japanese drawn as glyphs (%d of %d runs alike)" % (name, same, segs),
                        segs >= 10 and same * 3 < segs)
        s.park()

    def drop(self, x, y, *files):
        """Files dropped at a screen point of the gadget (see drop())."""
        return drop(self.wid, x, y, files)

    def alive(self):
        return self.proc.poll() is None

    def wait_exit(self, timeout=20):
        self.closing = True
        try:
            self.proc.wait(timeout)
            return True
        except subprocess.TimeoutExpired:
            return False

    def close(self, timeout=20):
        """A close request (WM_CLOSE, as the system sends it); waits for the end."""
        self.s.post(self.hwnd, 0x10)
        self.s.must("the program ended within %d s of a close request" % timeout, self.wait_exit(timeout))


class Image:
    """A picture from `import ... ppm:-`."""

    def __init__(self, ppm):
        m = re.match(rb"P6\s+(\d+)\s+(\d+)\s+(\d+)\s", ppm)
        self.w, self.h = (int(m.group(1)), int(m.group(2))) if m else (0, 0)
        self.data = ppm[m.end():] if m else b""

    def px(self, x, y):
        i = 3 * (y * self.w + x)
        return tuple(self.data[i:i + 3]) if 0 <= x < self.w and 0 <= y < self.h else None

    def pixels(self):
        return (tuple(self.data[i:i + 3]) for i in range(0, len(self.data), 3))

    def region(self, x, y, w, h):
        return tuple(self.px(i, j) for j in range(y, y + h) for i in range(x, x + w))

    def save(self, path):
        with open(path, "wb") as f:
            f.write(b"P6 %d %d 255\n" % (self.w, self.h) + self.data)

    def count(self, rgb, x, y, w, h):
        return sum(p == rgb for p in self.region(x, y, w, h))

    def ink(self, x, y, w, h):
        """(pixels that differ from the most common colour, distinct glyph shapes):
        a shape is a run of inked columns, compared by its exact pixel mask."""
        bg = Counter(self.region(x, y, w, h)).most_common(1)[0][0] if self.w else None
        cols = [tuple(self.px(i, j) != bg for j in range(y, y + h)) for i in range(x, x + w)]
        shapes, run = set(), []
        for col in cols + [()]:
            if any(col):
                run.append(col)
            elif run:
                shapes.add(tuple(run))
                run = []
        return sum(map(sum, cols)), len(shapes)

    def ring_ok(self):
        """The 2-pixel bevel along all four edges has its exact colours: light outside
        and inside along the top and left, dark along the bottom and right."""
        lo, li, do, di = (210, 218, 255), (179, 193, 255), (104, 134, 255), (142, 165, 255)
        w, h = self.w, self.h
        want = {}
        for x in range(2, w - 2):
            want[x, 0], want[x, 1], want[x, h - 2], want[x, h - 1] = lo, li, di, do
        for y in range(2, h - 2):
            want[0, y], want[1, y], want[w - 2, y], want[w - 1, y] = lo, li, di, do
        for (x, y), four in {(0, 0): (lo, lo, lo, li), (w - 2, 0): (lo, do, di, do), (0, h - 2): (lo, di, do, do),
                             (w - 2, h - 2): (di, do, do, do)}.items():  # 2 x 2 corners, rows top to bottom
            want[x, y], want[x + 1, y], want[x, y + 1], want[x + 1, y + 1] = four
        return w > 4 and all(self.px(x, y) == c for (x, y), c in want.items())

    def digits(self, x0=0, y0=0):
        """The gadget's digit cells read from a picture whose (x0, y0) is the window's
        top-left: ("MM/DD", "hh:mm", "TTTT.TTT", "FFFF.FFF"), "?" for a cell that
        shows no exact glyph. A cell is 6 x 7 pixels, lit in (107,198,255)."""
        cells = [(4 + x, 13) for x in (8, 15, 26, 33, 49, 56, 67, 74)] + \
                [(4 + x, 32 + y) for y in (9, 23) for x in (28, 35, 42, 49, 60, 67, 74)]
        s = ""
        for x, y in cells:
            mask = "".join("X" if self.px(x0 + x + c, y0 + y + r) == (107, 198, 255) else "." for r in range(7)
                           for c in range(6))
            s += next((d for d, g in GLYPHS.items() if g == mask), "?")
        return s[0:2] + "/" + s[2:4], s[4:6] + ":" + s[6:8], s[8:12] + "." + s[12:15], s[15:19] + "." + s[19:22]

    def balloon(self):
        """(blue pixels, text lines, glyph runs, most runs alike) of a balloon on the
        blue (56,112,168) background. Text the font cannot show comes out as a row
        of identical boxes (most runs alike); real Japanese text does not."""
        bg = (56, 112, 168)
        rows, blue = [], 0
        for y in range(self.h):
            xs = [x for x in range(self.w) if self.px(x, y) == bg]
            blue += len(xs)
            rows.append([bool(xs) and xs[0] <= x <= xs[-1] and min(self.px(x, y)) > 200 for x in range(self.w)])
        bands, y = [], 0
        while y < self.h:
            start = y
            while y < self.h and any(rows[y]):
                y += 1
            if y > start:
                bands.append((start, y))
            y += 1
        segs = []
        for a, b in bands:
            if b - a < 6:
                continue  # rule lines: a row of dashes, alike by nature
            cols = [any(rows[j][x] for j in range(a, b)) for x in range(self.w)] + [False]
            x = 0
            while x < self.w:
                start = x
                while cols[x]:
                    x += 1
                if x - start >= 3:
                    segs.append(tuple(tuple(rows[j][start:x]) for j in range(a, b)))
                x += 1
        return blue, len(bands), len(segs), Counter(segs).most_common(1)[0][1] if segs else 0


with open(os.path.join(SRC, "src", "assets", "glyphs.h")) as _f:  # the program's own glyph table
    GLYPHS = {m.group(2): "".join(re.findall(r'"([X.]{6})"', m.group(1)))
              for m in re.finditer(r'\{("[^}]*)\},\s*// (\d)', _f.read())}
assert len(GLYPHS) == 10, "src/assets/glyphs.h: ten digit glyphs expected"


# ---- drops: an X drag-and-drop source (XDND), through Xlib ------------------------------

def _struct(name, *fields, tail=()):
    head = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int), ("display", ctypes.c_void_p)]
    return type(name, (ctypes.Structure,), {"_fields_": head + [(f, ctypes.c_ulong) for f in fields] + list(tail)})


class _Ev(ctypes.Union):  # the parts of XEvent used here
    _fields_ = [("type", ctypes.c_int), ("pad", ctypes.c_long * 24),
                ("client", _struct("Client", "window", "message_type", tail=[("format", ctypes.c_int),
                                                                              ("l", ctypes.c_long * 5)])),
                ("request", _struct("Request", "owner", "requestor", "selection", "target", "property", "time")),
                ("notify", _struct("Notify", "requestor", "selection", "target", "property", "time"))]


_X = None


def _xlib():
    global _X
    if not _X:
        _X = ctypes.CDLL("libX11.so.6")
        ul, vp, i = ctypes.c_ulong, ctypes.c_void_p, ctypes.c_int
        for name, res, args in [
                ("XOpenDisplay", vp, [ctypes.c_char_p]), ("XInternAtom", ul, [vp, ctypes.c_char_p, i]),
                ("XDefaultRootWindow", ul, [vp]), ("XCreateSimpleWindow", ul, [vp, ul] + [i] * 5 + [ul, ul]),
                ("XChangeProperty", i, [vp, ul, ul, ul, i, i, vp, i]), ("XSetSelectionOwner", i, [vp, ul, ul, ul]),
                ("XPending", i, [vp]), ("XNextEvent", i, [vp, ctypes.POINTER(_Ev)]),
                ("XSendEvent", i, [vp, ul, i, ctypes.c_long, ctypes.POINTER(_Ev)]), ("XFlush", i, [vp]),
                ("XConnectionNumber", i, [vp]), ("XCloseDisplay", i, [vp]), ("XQueryKeymap", i, [vp, vp])]:
            getattr(_X, name).restype, getattr(_X, name).argtypes = res, args
        _X.on_error = ctypes.CFUNCTYPE(i, vp, vp)(lambda d, e: 0)  # a window that went away is no reason to exit
        _X.XSetErrorHandler(_X.on_error)
    return _X


def keys_down():
    """Key codes the X server holds down."""
    X, km = _xlib(), (ctypes.c_ubyte * 32)()
    d = X.XOpenDisplay(None)
    X.XQueryKeymap(d, ctypes.addressof(km))
    X.XCloseDisplay(d)
    return [8 * i + b for i in range(32) for b in range(8) if km[i] >> b & 1]


def drop(target, x, y, files):
    """Drops files at screen point (x, y) of the X window target (a top-level window
    of Wine's) the way a file manager does (XDND, text/uri-list). True when dropped,
    False when refused (XdndStatus accept bit 0). It does not wait for the end of the
    drop: the program's drop handler opens modal windows."""
    X = _xlib()
    d = X.XOpenDisplay(None)
    if not d:
        raise Failure("xdnd: cannot open the display")
    atom = {n: X.XInternAtom(d, n.encode(), 0) for n in (
        "XdndSelection", "XdndEnter", "XdndPosition", "XdndStatus", "XdndLeave", "XdndDrop", "XdndFinished",
        "XdndActionCopy", "text/uri-list")}
    data = "".join("file://%s\r\n" % quote(os.path.abspath(f)) for f in files).encode()
    src = X.XCreateSimpleWindow(d, X.XDefaultRootWindow(d), -10, -10, 1, 1, 0, 0, 0)  # never mapped
    ev = _Ev()

    def send(kind, *l):
        m = _Ev()
        m.client.type, m.client.window, m.client.message_type, m.client.format = 33, int(target), atom[kind], 32
        m.client.l[:len(l) + 1] = (src,) + l
        X.XSendEvent(d, int(target), 0, 0, ctypes.byref(m))
        X.XFlush(d)

    def serve(kind, secs):
        """Serves the data until a message of that kind comes (True) or the time is up."""
        end = time.time() + secs
        while True:
            while X.XPending(d):
                X.XNextEvent(d, ctypes.byref(ev))
                if ev.type == 30:  # SelectionRequest: the data as text/uri-list, nothing else
                    rq, reply = ev.request, _Ev()
                    prop = rq.property or rq.target if rq.target == atom["text/uri-list"] else 0
                    if prop:
                        X.XChangeProperty(d, rq.requestor, prop, rq.target, 8, 0, data, len(data))
                    n = reply.notify
                    n.type, n.requestor, n.selection, n.target, n.property, n.time = \
                        31, rq.requestor, rq.selection, rq.target, prop, rq.time
                    X.XSendEvent(d, rq.requestor, 0, 0, ctypes.byref(reply))
                    X.XFlush(d)
                elif ev.type == 33 and ev.client.message_type == atom.get(kind):
                    return True
            if time.time() >= end:
                return False
            select.select([X.XConnectionNumber(d)], [], [], end - time.time())

    try:
        X.XSetSelectionOwner(d, atom["XdndSelection"], src, 0)
        # Wine fetches the data while it handles the Enter and gives up after ~0.5 s.
        send("XdndEnter", 5 << 24, atom["text/uri-list"])
        serve(None, 0.05)
        send("XdndPosition", 0, (x << 16) | y, 0, atom["XdndActionCopy"])
        if not serve("XdndStatus", 5):
            raise Failure("xdnd: no answer from window %s at %d,%d" % (target, x, y))
        if not ev.client.l[1] & 1:
            send("XdndLeave")
            return False
        send("XdndDrop", 0, 0)
        serve("XdndFinished", 0.5)  # serve a moment more in case the data is fetched again
        return True
    finally:
        X.XCloseDisplay(d)


# ---- command line -------------------------------------------------------------------------

def quick_run():
    """scripts/run.sh: the gadget in the user's own prefix. With a display it runs there
    until closed; without one it runs on a private display, and once its readouts show
    real figures a picture of it goes to build/screenshot.png and it is closed."""
    prefix = os.environ.get("TARVEX_WINEPREFIX", os.path.expanduser("~/.local/share/tarvex/wineprefix"))
    lang = JA if re.search(r"(?im)^ja_JP\.utf-?8$", run(["locale", "-a"]) or "") else C
    shown = os.environ.get("DISPLAY")
    if not os.path.exists(os.path.join(prefix, "system.reg")):
        print("Preparing the Wine prefix %s (once, about 15 s)..." % prefix)
    with Session(lang=lang, prefix=prefix, display=shown, deadline=10 ** 6 if shown else 120) as s:
        if shown:
            print("Starting Tarvex on %s; close it with its close button." % shown)
            s.gadgets.append(Gadget(s, subprocess.Popen(["wine", EXE]), os.devnull))
            s.gadgets[-1].wait_exit(None)
            return
        g = s.start()
        time.sleep(0.3)
        out = os.path.join(SRC, "build", "screenshot.png")
        run(["import", "-window", str(g.wid), out], check=True)
        print("Screenshot of the gadget: %s (readouts: %s)" % (out, " ".join(g.digits())))
        g.close()
        print("Tarvex closed.")


if __name__ == "__main__":
    if sys.argv[1:] == ["boot"]:
        boot_template()
    elif sys.argv[1:] == ["run"]:
        quick_run()
    else:
        sys.exit("usage: e2e.py boot | run")
