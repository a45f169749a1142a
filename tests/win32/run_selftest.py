#!/usr/bin/env python3
"""Runs the Win32 layer's self-test (test_win32_layer.exe) under Wine on a private
display, once with LANG=C and once with LANG=ja_JP.UTF-8. Exit 0 when both pass, 77
(a CTest skip) when the program or Wine is missing, 1 otherwise."""
import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from e2e import BUILD, C, JA, Session  # noqa: E402

exe = sys.argv[1] if len(sys.argv) > 1 else os.path.join(BUILD, "test_win32_layer.exe")
for need in (exe, shutil.which("wine"), shutil.which("Xvfb")):
    if not need or not os.path.exists(need):
        print("SKIP: %s missing" % (need or "wine or Xvfb"))
        sys.exit(77)
with Session(wm=False, deadline=540) as s:
    for lang in (C, JA):
        r = subprocess.run(["wine", exe], env=dict(os.environ, LANG=lang, LC_ALL=lang), stdout=subprocess.PIPE,
                           stderr=subprocess.DEVNULL, text=True, timeout=240)
        lines = r.stdout.replace("\r", "").splitlines() or [""]
        print("\n".join("[%s] %s" % (lang, line) for line in lines if line.startswith("FAIL")) or "[%s] %s" % (lang, lines[-1]))
        s.check("the Win32 layer's self-test under " + lang, r.returncode == 0)
