#!/usr/bin/env python3
"""Checks the layering of src/ from the sources' own #include lines.

- The extraction library (src/extract) includes nothing of the gadget: every
  quoted include there names a header under extract/ or base/ (the handle
  owner and text conversion both sides share), and base/ includes only base/.
- The folders of src/ include each other without a cycle.
Prints the folder graph; exits 1 on a breach.
"""
import os
import re
import sys

src = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..', '..', 'src')
include = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
edges, breaches = {}, []
for root, _, files in os.walk(src):
    folder = os.path.relpath(root, src).split(os.sep)[0]
    for name in files:
        if not name.endswith(('.h', '.cpp')):
            continue
        text = open(os.path.join(root, name), encoding='utf-8', errors='replace').read()
        for target in include.findall(text):
            if '/' not in target:
                continue  # generated files of the build folder (resource ids)
            to = target.split('/')[0]
            allowed = {'extract': ('extract', 'base'), 'base': ('base',)}.get(folder)
            if allowed and to not in allowed:
                breaches.append(f'src/{folder}/{name} includes "{target}"')
            if to != folder:
                edges.setdefault(folder, set()).add(to)

def cycle_from(node, path, seen):
    for nxt in sorted(edges.get(node, ())):
        if nxt in path:
            return path[path.index(nxt):] + [nxt]
        if nxt not in seen:
            seen.add(nxt)
            found = cycle_from(nxt, path + [nxt], seen)
            if found:
                return found
    return None

for folder in sorted(edges):
    print(f'{folder} -> {", ".join(sorted(edges[folder]))}')
    found = cycle_from(folder, [folder], {folder})
    if found:
        breaches.append('include cycle between folders: ' + ' -> '.join(found))
for b in sorted(set(breaches)):
    print('FAIL:', b)
sys.exit(1 if breaches else 0)
