#!/usr/bin/env python3
"""LZX and Quantum at every window size, judged by a reference extractor.

Real cabinets of these methods are rare (the corpus has LZX 2^15 and 2^18
and Quantum 2^18 only), so cabgen.py writes streams from random plans of
literals and matches, reaching the whole window, with every LZX block type
and the call translation (also with calls at every offset). For each
cabinet, cabextract must reproduce the planned bytes -- that shows the
stream is valid -- and then `tarvex-extract Cab` must reproduce them too.

    crosscheck.py --harness PATH        exit 0 when every case passed
"""
import argparse
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))


def extracted(command, dest):
    """SHA-256 of the payload that command(dest) extracts into dest, or None."""
    os.makedirs(dest)
    r = subprocess.run(command(dest), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)
    out = os.path.join(dest, 'payload.bin')
    if r.returncode != 0 or not os.path.exists(out):
        return None
    with open(out, 'rb') as f:
        return hashlib.sha256(f.read()).hexdigest()


def cases():
    """(label, cabgen arguments after the output path)"""
    out = [('lzx-%d%s' % (bits, '-e8' if bits % 2 else ''),
            ['lzx', str(bits), str(bits), '--size', str(max(140000, (1 << bits) + 200000))] + ['--e8'] * (bits % 2))
           for bits in range(15, 22)]
    out += [('lzx-16-verbatim-only', ['lzx', '16', '5', '--size', '100000', '--blocks', 'v']),
            ('lzx-17-aligned-stored-e8', ['lzx', '17', '6', '--size', '100000', '--blocks', 'a,s', '--e8']),
            ('lzx-16-calls-everywhere', ['lzx', '16', '8', '--size', '70000', '--e8', '--calls', '--blocks', 's,v,a'])]
    out += [('quantum-%d' % bits, ['quantum', str(bits), str(100 + bits), '--size', str(max(100000, (1 << bits) + 150000))])
            for bits in range(10, 22)]
    # The last match runs past the end of the data, inside the short last
    # frame: the file keeps what it needs.
    out.append(('quantum-15-overshoot', ['quantum', '15', '40', '--size', '100000', '--overshoot', '200']))
    return out


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--harness', required=True)
    a = ap.parse_args()
    judge = shutil.which('cabextract')
    work = tempfile.mkdtemp(prefix='cab_crosscheck_')
    failed = 0
    try:
        for label, args in cases():
            cab = os.path.join(work, label + '.cab')
            r = subprocess.run([sys.executable, os.path.join(HERE, 'cabgen.py'), args[0], args[1], cab] + args[2:],
                               capture_output=True, text=True, timeout=600)
            problems = ['cabgen: ' + r.stderr.strip()[-300:]] if r.returncode else []
            want = r.stdout.split()[0] if not problems else None
            if judge and not problems and extracted(lambda d: ['cabextract', '-q', '-d', d, cab], cab + '.ref') != want:
                problems.append('cabextract does not reproduce the plan (stream invalid?)')
            if not problems:
                got = extracted(lambda d: [a.harness, 'Cab', cab, d], cab + '.ours')
                if got != want:
                    problems.append('Cab gives %s' % ('failure' if got is None else 'other bytes'))
            failed += bool(problems)
            print('%s %-26s %s' % ('FAIL' if problems else 'ok  ', label, '; '.join(problems) or
                                   ('judged by cabextract' if judge else 'plan only')))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print('%d failed' % failed)
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
