#!/usr/bin/env bash
# Line coverage of src/ (the core, the commands and the command line; not the
# Qt program) by the test run: builds with coverage into build-coverage/,
# runs the tests and prints gcovr's summary, ending with the total.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build-coverage -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPIXMILL_BUILD_GUI=OFF -DPIXMILL_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="--coverage -fprofile-update=atomic -O0" -DCMAKE_EXE_LINKER_FLAGS=--coverage >/dev/null
cmake --build build-coverage -j "$(nproc 2>/dev/null || echo 2)"
find build-coverage -name '*.gcda' -delete
ctest --test-dir build-coverage -j "$(nproc 2>/dev/null || echo 2)" >/dev/null
gcovr --root . --filter 'src/' --exclude 'src/ui/' --object-directory build-coverage build-coverage
