#!/usr/bin/env bash
# Counts the non-blank, non-comment lines of the .cpp and .h files under
# src/ and tests/, and prints the tests' share of the source.
set -euo pipefail
cd "$(dirname "$0")/.."
python3 - <<'PY'
import os, re

def count(folder):
    total = 0
    for root, _, files in os.walk(folder):
        for name in files:
            if not name.endswith(('.cpp', '.h')):
                continue
            text = open(os.path.join(root, name), encoding='utf-8').read()
            text = re.sub(r'/\*.*?\*/', '', text, flags=re.S)
            for line in text.splitlines():
                line = line.strip()
                if line and not line.startswith('//'):
                    total += 1
    return total

src, tests = count('src'), count('tests')
print(f'src {src} lines, tests {tests} lines: tests are {100 * tests / src:.1f}% of src')
PY
