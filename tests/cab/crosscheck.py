#!/usr/bin/env python3
"""LZX and Quantum at every window size, judged by the reference extractors.

Real cabinets of these methods are rare (the corpus has LZX 2^15 and 2^18
and Quantum 2^18 only), so cabgen.py writes streams from random plans of
literals and matches, reaching the whole window. For each cabinet, the
reference extractors (cabextract, and 7z where it agrees with the format)
must reproduce the planned bytes -- that shows the stream is valid -- and
then `tarvex-extract Cab` must reproduce them too.

    crosscheck.py --harness PATH [--quick]

Exit status 0 when every case passed.
"""
import argparse
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))


def sha(path):
    h = hashlib.sha256()
    with open(path, 'rb') as f:
        for chunk in iter(lambda: f.read(1 << 20), b''):
            h.update(chunk)
    return h.hexdigest()


def extract_with(tool, cab, dest):
    os.makedirs(dest)
    if tool == 'cabextract':
        cmd = ['cabextract', '-q', '-d', dest, cab]
    elif tool == '7z':
        cmd = ['7z', 'x', '-y', '-o' + dest, cab]
    else:
        cmd = [tool, 'Cab', cab, dest]
    r = subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)
    out = os.path.join(dest, 'payload.bin')
    if r.returncode != 0 or not os.path.exists(out):
        return None
    return sha(out)


def cases(quick):
    # (label, cabgen arguments, judges)
    out = []
    for bits in range(15, 22):
        window = 1 << bits
        size = max(140000, window + 200000)
        if quick and bits > 17:
            size = 140000
        # 7z mishandles matches at the largest distance (window - 3); keep
        # one below it where 7z judges too, and check that distance alone
        # against cabextract.
        args = ['lzx', str(bits), None, str(bits), '--size', str(size), '--max-dist', str(window - 4)]
        if bits % 2:
            args.append('--e8')
        out.append(('lzx-%d-mixed%s' % (bits, '-e8' if bits % 2 else ''), args, ['cabextract', '7z']))
    out.append(('lzx-15-max-distance', ['lzx', '15', None, '77', '--size', '150000'], ['cabextract']))
    out.append(('lzx-16-verbatim-only', ['lzx', '16', None, '5', '--size', '100000', '--blocks', 'v',
                                         '--max-dist', '65532'], ['cabextract', '7z']))
    out.append(('lzx-17-aligned-stored-e8', ['lzx', '17', None, '6', '--size', '100000', '--blocks', 'a,s',
                                             '--e8', '--max-dist', '131068'], ['cabextract', '7z']))
    for bits in range(10, 22):
        window = 1 << bits
        size = max(100000, window + 150000)
        if quick and bits > 16:
            size = 100000
        out.append(('quantum-%d' % bits, ['quantum', str(bits), None, str(100 + bits), '--size', str(size)],
                    ['cabextract', '7z']))
    # The last match runs past the end of the data, inside the short last
    # frame: cabextract keeps what the file needs (7z refuses it).
    out.append(('quantum-15-overshoot', ['quantum', '15', None, '40', '--size', '100000', '--overshoot', '200'],
                ['cabextract']))
    return out


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--harness', required=True)
    ap.add_argument('--quick', action='store_true')
    a = ap.parse_args()
    judges_here = {t for t in ('cabextract', '7z') if shutil.which(t)}
    work = tempfile.mkdtemp(prefix='cab_crosscheck_')
    passed = failed = 0
    try:
        for label, args, judges in cases(a.quick):
            cab = os.path.join(work, label + '.cab')
            args = list(args)
            args[2] = cab
            r = subprocess.run([sys.executable, os.path.join(HERE, 'cabgen.py')] + args,
                               capture_output=True, text=True, timeout=600)
            if r.returncode != 0:
                print('FAIL %-28s cabgen: %s' % (label, r.stderr.strip()[-300:]))
                failed += 1
                continue
            want = r.stdout.split()[0]
            problems = []
            for j in judges:
                if j not in judges_here:
                    continue
                got = extract_with(j, cab, os.path.join(work, label + '.' + j))
                if got != want:
                    problems.append('%s does not reproduce the plan (stream invalid?)' % j)
            got = extract_with(a.harness, cab, os.path.join(work, label + '.ours'))
            if got != want:
                problems.append('Cab gives %s' % ('failure' if got is None else 'other bytes'))
            if problems:
                failed += 1
                print('FAIL %-28s %s' % (label, '; '.join(problems)))
            else:
                passed += 1
                print('ok   %-28s judged by %s' % (label, ', '.join(j for j in judges if j in judges_here) or 'plan only'))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print('%d passed, %d failed' % (passed, failed))
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
