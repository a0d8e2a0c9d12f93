#!/usr/bin/env bash
# Times pixmill-cli and ImageMagick, whole process, side by side on the same
# jobs over a 4096 x 4096 24-bit photo-like bitmap, and prints the figures
# of each side and the ratio pixmill / ImageMagick.
#   scripts/bench-peers.sh [RUNS]   (default 7)
# PIXMILL_BENCH_TRACE=1 prints every pair's seconds on standard error.
set -euo pipefail
export LC_ALL=C  # a decimal point in the clock's figures
cd "$(dirname "$0")/.."
runs=${1:-7}
./scripts/install-deps.sh
# ImageMagick's own convert: another program of that name earlier on PATH
# does not count.
if ! /usr/bin/convert -version 2>/dev/null | grep -q ImageMagick; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends imagemagick >/dev/null
fi
convert=/usr/bin/convert
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
  $convert -size 4096x4096 -seed 7 plasma:fractal -blur 0x2 \
    \( -size 4096x4096 gradient:navy-orange \) -compose blend -define compose:args=50 -composite \
    -attenuate 0.3 +noise Gaussian -type TrueColor BMP3:"$big"
fi
[ -f "$small" ] || $cli "$big" --resize 1024x1024 --save-bmp "$small"

# Each job runs RUNS times as alternating pairs (ours, then theirs), so that
# a slow spell of the machine falls on both. Printed: min, median and max
# of each side's seconds, the median of the pair ratios, and how far our
# slowest run is from our median (steadiness).

# The shell's own clock, read before and after: no clock program and no
# second shell are timed with the command (they took 3 to 4 ms a run).
seconds() {
  local start end
  start=$EPOCHREALTIME
  eval "$1" >/dev/null 2>&1
  end=$EPOCHREALTIME
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f\n", b - a }'
}
stats() {  # min median max of the numbers on standard input
  sort -n | awk '{a[NR]=$1} END {printf "%.3f %.3f %.3f\n", a[1], a[int((NR+1)/2)], a[NR]}'
}
printf "%-30s %-23s %-23s %6s %8s\n" job "pixmill min/med/max" "imagemagick min/med/max" ratio max/med
job() {
  local name=$1 ours=$2 theirs=$3 a b
  local -a mine=() peer=() ratios=()
  [ -n "${PIXMILL_BENCH_TRACE:-}" ] && echo "$name" >&2
  # One pair first, not counted: the job's input and output files are then
  # in the system's cache for both sides, as they are for every later pair.
  seconds "$ours" >/dev/null
  seconds "$theirs" >/dev/null
  for _ in $(seq "$runs"); do
    a=$(seconds "$ours")
    b=$(seconds "$theirs")
    mine+=("$a")
    peer+=("$b")
    ratios+=("$(awk -v a="$a" -v b="$b" 'BEGIN { printf "%.4f", a / b }')")
    [ -n "${PIXMILL_BENCH_TRACE:-}" ] && echo "  $a $b" >&2
  done
  read -r mmin mmed mmax < <(printf "%s\n" "${mine[@]}" | stats)
  read -r pmin pmed pmax < <(printf "%s\n" "${peer[@]}" | stats)
  read -r _ rmed _ < <(printf "%s\n" "${ratios[@]}" | stats)
  printf "%-30s %-23s %-23s %6.2f %8.2f\n" "$name" "$mmin/$mmed/$mmax" "$pmin/$pmed/$pmax" "$rmed" \
    "$(awk -v a="$mmax" -v b="$mmed" 'BEGIN { print a / b }')"
}
out="$data/out.bmp"
peer="$data/peer.bmp"
job "load and save as BMP" "$cli $big --save-bmp $out" "$convert $big BMP3:$peer"
job "8 bits, optimised, diffusion" "$cli $big --depth 8 --save-bmp $out" \
  "$convert $big -dither FloydSteinberg -colors 256 BMP3:$peer"
job "4 bits, diffusion" "$cli $big --depth 4 --save-bmp $out" "$convert $big -colors 16 BMP3:$peer"
job "shrink to 1024 x 1024" "$cli $big --resize 1024x1024 --save-bmp $out" "$convert $big -scale 25% BMP3:$peer"
job "enlarge 1024 to 4096" "$cli $small --resize 4096x4096 --save-bmp $out" "$convert $small -scale 400% BMP3:$peer"
