#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
# Exits non-zero when anything fails.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
export QT_QPA_PLATFORM=offscreen

echo "== build (release)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$jobs"
echo "== tests (release)"
ctest --test-dir build --output-on-failure -j "$jobs"
