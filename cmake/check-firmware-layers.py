#!/usr/bin/env python3
"""Fails when a firmware file includes a header of a higher floor without an allowed edge.

Usage: check-firmware-layers.py FIRMWARE_DIR LAYERS_FILE
Prints every include that goes up against the floors and is not listed, and exits 1.
"""
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def read_layers(path):
    floors, allows = {}, []
    level = 0
    with open(path, encoding='utf-8') as f:
        for n, raw in enumerate(f, 1):
            line = raw.split('#', 1)[0].split()
            if not line:
                continue
            if line[0] == 'floor' and len(line) > 1:
                for name in line[1:]:
                    floors[name] = level
                level += 1
            elif line[0] == 'allow' and len(line) == 3:
                allows.append((line[1], line[2]))
            else:
                raise SystemExit(f'{path}:{n}: not a floor or allow line')
    return floors, allows


def unit(rel):
    """The folder a firmware path belongs to ('types.h' for the top-level headers)."""
    return rel.split('/', 1)[0]


def matches(pattern, rel):
    return pattern == '*' or rel == pattern or rel.startswith(pattern + '/')


def check(firmware, layers):
    floors, allows = read_layers(layers)
    bad = []
    for root, _, files in os.walk(firmware):
        for name in sorted(files):
            if not name.endswith(('.cpp', '.h')):
                continue
            path = os.path.join(root, name)
            src = os.path.relpath(path, firmware).replace(os.sep, '/')
            with open(path, encoding='utf-8', errors='replace') as f:
                text = f.read()
            for inc in INCLUDE.findall(text):
                if inc == 'board.h':
                    dst = 'board.h'
                else:
                    dst = os.path.normpath(os.path.join(os.path.dirname(src), inc)).replace(os.sep, '/')
                    if not os.path.exists(os.path.join(firmware, dst)):
                        dst = os.path.normpath(inc).replace(os.sep, '/')  # relative to firmware/
                    if dst.startswith('..') or not os.path.exists(os.path.join(firmware, dst)):
                        bad.append(f'{src}: includes "{inc}", which is no firmware file')
                        continue
                a, b = unit(src), unit(dst)
                if a == b:
                    continue
                if a not in floors or b not in floors:
                    bad.append(f'{src}: folder {a if a not in floors else b} has no floor')
                    continue
                if floors[b] <= floors[a]:
                    continue
                if any(matches(f, src) and matches(t, dst) for f, t in allows):
                    continue
                bad.append(f'{src}: includes "{inc}": {a} reaches up to {b}')
    return bad


def main():
    if len(sys.argv) != 3:
        raise SystemExit(__doc__)
    bad = check(sys.argv[1], sys.argv[2])
    if bad:
        print('firmware includes that go up against the floors of ' + sys.argv[2] + ':', file=sys.stderr)
        for b in bad:
            print('  ' + b, file=sys.stderr)
        return 1
    print('firmware floors: includes OK')
    return 0


if __name__ == '__main__':
    sys.exit(main())
