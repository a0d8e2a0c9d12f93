#!/usr/bin/env bash
# Runs the tests of the program in a real window: on a virtual X server with
# a window manager, at each device pixel ratio a screen may have.
#   tests/window-tests.sh BUILD_DIR
set -euo pipefail
build=${1:-build}
for scale in 1 1.25 1.5 2; do
  echo "-- device pixel ratio $scale"
  QT_SCALE_FACTOR=$scale xvfb-run -a -s "-screen 0 1600x1200x24" bash -c '
    openbox >/dev/null 2>&1 &
    manager=$!
    sleep 1
    status=0
    QT_QPA_PLATFORM=xcb "$1" --gtest_brief=1 || status=$?
    kill $manager 2>/dev/null || true
    exit $status' _ "$build/tests/pixmill_window_tests"
done
