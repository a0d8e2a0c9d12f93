#!/usr/bin/env bash
# Compares the quality palette with the optimised palette and with pngquant
# on real photographs (the nature wallpapers of Debian's mate-backgrounds),
# then times the quality palette and its mapping.
#   scripts/bench-quality.sh
# For each photo, at 16 and 256 colours, without and with diffusion, it
# prints the PSNR in dB of each result as the console shows it (each
# channel's 5-bit value c = v >> 3 shown as c * 255 / 31) against the 24-bit
# photo, and whether the quality palette's is at least pngquant's and the
# optimised palette's; then the rows met per colour count and diffusion.
# pngquant runs as `--posterize 3 --speed 1` (and `--nofs` without
# diffusion); it has all 16 or 256 entries, the quality palette one fewer
# at 4 and 8 bits (entry 0 is the key colour). The photos are cut to 4:3
# and scaled with ImageMagick. The times are of the first photo at 320 x 240
# and 4096 x 4096 and of photo-like pictures, beside the limits (50 ms and
# 3 s).
# PIXMILL_QUALITY_BENCH names another build of the bench program and
# PIXMILL_QUALITY_DATA another folder for the pictures.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
need=()
for p in pngquant imagemagick mate-backgrounds; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

bench=${PIXMILL_QUALITY_BENCH:-build/bench/pixmill_quality_bench}
if [ -z "${PIXMILL_QUALITY_BENCH:-}" ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build build --target pixmill_quality_bench >/dev/null
fi

data=${PIXMILL_QUALITY_DATA:-build/bench-data/quality}
mkdir -p "$data"
photos=(/usr/share/backgrounds/mate/nature/*.jpg)
list="$data/list.tsv"
: >"$list"
# Every photo at 320 x 240 and 640 x 480; every third also at 160 x 120
# and 1280 x 960.
i=0
for photo in "${photos[@]}"; do
  sizes=(320x240 640x480)
  [ $((i % 3)) -eq 0 ] && sizes+=(160x120 1280x960)
  i=$((i + 1))
  for size in "${sizes[@]}"; do
    name="$(basename "$photo" .jpg)"
    src="$data/$name-$size.png"
    [ -f "$src" ] || convert "$photo" -resize "$size^" -gravity center -extent "$size" -strip PNG24:"$src"
    row="$name	$size	$src"
    for job in 16:--nofs 16: 256:--nofs 256:; do
      colours=${job%%:*}
      fs=${job#*:}
      out="$data/$name-$size-pq$colours${fs:+-nofs}.png"
      if [ ! -f "$out" ]; then
        pngquant --posterize 3 --speed 1 $fs --force --output "$out.tmp.png" "$colours" -- "$src"
        convert "$out.tmp.png" -strip PNG24:"$out"
        rm -f "$out.tmp.png"
      fi
      row="$row	$out"
    done
    echo "$row" >>"$list"
  done
done
first="$(basename "${photos[0]}" .jpg)"
large="$data/$first-4096x4096.png"
[ -f "$large" ] || convert "${photos[0]}" -resize "4096x4096^" -gravity center -extent 4096x4096 -strip PNG24:"$large"

echo "pngquant $(pngquant --version)"
"$bench" table "$list"
echo
"$bench" time "$data/$first-320x240.png" "$large"
