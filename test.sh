#!/usr/bin/env bash
# Installs what is missing, checks the formatting, builds everything and
# runs every test, then builds the core and its tests with AddressSanitizer
# and UndefinedBehaviorSanitizer and runs them again, and the batch tests
# and the pictures shared among threads with ThreadSanitizer. Exits non-zero when anything fails.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
export QT_QPA_PLATFORM=offscreen

echo "== formatting (.clang-format)"
git ls-files -z -- 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' 'bench/*.h' 'fuzz/*.cpp' |
  xargs -0 clang-format --dry-run --Werror

echo "== build (release)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DPIXMILL_BUILD_GUI=ON -DPIXMILL_BUILD_TESTS=ON -DPIXMILL_BUILD_BENCH=ON >/dev/null
cmake --build build -j "$jobs"
echo "== tests (release)"
ctest --test-dir build --output-on-failure -j "$jobs"
echo "== the program in a real window, clicked by the pointer (Xvfb, openbox)"
tests/window-tests.sh build

echo "== build (address and undefined-behaviour sanitizers)"
cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPIXMILL_SANITIZE=ON \
  -DPIXMILL_BUILD_GUI=OFF -DPIXMILL_BUILD_TESTS=ON -DPIXMILL_BUILD_BENCH=OFF >/dev/null
cmake --build build-sanitize -j "$jobs"
echo "== tests (sanitizers)"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-sanitize --output-on-failure -j "$jobs"

echo "== build (thread sanitizer)"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPIXMILL_TSAN=ON \
  -DPIXMILL_BUILD_GUI=OFF -DPIXMILL_BUILD_TESTS=ON -DPIXMILL_BUILD_BENCH=OFF >/dev/null
cmake --build build-tsan -j "$jobs" --target pixmill_core_tests
echo "== batch tests (thread sanitizer)"
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 build-tsan/tests/pixmill_core_tests --gtest_filter='Batch.*:Threads.*'
