#!/usr/bin/env bash
# Times pixmill-cli and ImageMagick, whole process, side by side on the same
# jobs over a 4096 x 4096 24-bit photo-like bitmap, and prints each median
# and the ratio pixmill / ImageMagick.
#   scripts/bench-peers.sh [RUNS]   (default 5)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
./scripts/install-deps.sh
if ! command -v convert >/dev/null; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends imagemagick >/dev/null
fi
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target pixmill-cli >/dev/null
cli=build/src/pixmill-cli
data=build/bench-data
mkdir -p "$data"
# ImageMagick limits its own resources by default; lift them for the big picture.
export MAGICK_AREA_LIMIT=1GP MAGICK_MEMORY_LIMIT=4GiB MAGICK_MAP_LIMIT=4GiB MAGICK_WIDTH_LIMIT=100KP MAGICK_HEIGHT_LIMIT=100KP
big="$data/photo-4096.bmp"
small="$data/photo-1024.bmp"
if [ ! -f "$big" ]; then
  echo "making $big"
  # Smooth gradients with fine detail and noise.
  convert -size 4096x4096 -seed 7 plasma:fractal -blur 0x2 \
    \( -size 4096x4096 gradient:navy-orange \) -compose blend -define compose:args=50 -composite \
    -attenuate 0.3 +noise Gaussian -type TrueColor BMP3:"$big"
fi
[ -f "$small" ] || $cli "$big" --resize 1024x1024 --save-bmp "$small"

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
timeit() {  # runs the command $runs times and prints the median seconds
  local start end
  for _ in $(seq "$runs"); do
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f\n", b - a }'
  done | median
}

printf "%-34s %10s %12s %8s\n" job pixmill imagemagick ratio
job() {
  local name=$1; shift
  local ours theirs
  ours=$(timeit bash -c "$1")
  theirs=$(timeit bash -c "$2")
  printf "%-34s %9ss %11ss %8.2f\n" "$name" "$ours" "$theirs" "$(awk -v a="$ours" -v b="$theirs" 'BEGIN { print a / b }')"
}
out="$data/out.bmp"
job "load and save as BMP" "$cli $big --save-bmp $out" "convert $big BMP3:$out"
job "8 bits, optimised, diffusion" "$cli $big --depth 8 --save-bmp $out" \
  "convert $big -dither FloydSteinberg -colors 256 BMP3:$out"
job "4 bits" "$cli $big --depth 4 --save-bmp $out" "convert $big -colors 16 BMP3:$out"
job "shrink to 1024 x 1024" "$cli $big --resize 1024x1024 --save-bmp $out" "convert $big -scale 25% BMP3:$out"
job "enlarge 1024 to 4096" "$cli $small --resize 4096x4096 --save-bmp $out" "convert $small -scale 400% BMP3:$out"
