#!/usr/bin/env bash
# Installs, with apt-get and only when missing, everything Pixmill needs to build,
# test and run: compiler, CMake, Qt 6 Widgets, GoogleTest, Google Benchmark,
# libpng, clang-format, a Japanese font, and Xvfb, a window manager and
# xdotool for the tests of the program in a real window.
set -euo pipefail

packages=(
  build-essential
  cmake
  ninja-build
  pkg-config
  qt6-base-dev
  qt6-base-dev-tools
  qt6-translations-l10n
  qt6-l10n-tools
  libgl-dev
  libgtest-dev
  libgmock-dev
  libbenchmark-dev
  libpng-dev
  libcli11-dev
  gcovr
  clang
  clang-format
  libclang-rt-dev
  fonts-noto-cjk
  xvfb
  xauth
  xdotool
  openbox
  libxcb1-dev
  libxcb-xtest0-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
