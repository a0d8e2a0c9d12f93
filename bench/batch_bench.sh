#!/usr/bin/env bash
# Many pictures at once: 1,000 sprites of 32 x 32 (24-bit PNG) through
#   --depth 4 --form texture --lzss --export out/{name}.d
# as one batch at -j1 and -j2, as 1,000 single runs in a shell loop, and as
# a batch with one palette shared by all. Prints the wall times and ratios.
#   bench/batch_bench.sh [BUILD]   (default build)
set -euo pipefail
export LC_ALL=C  # a decimal point in the clock's figures
cd "$(dirname "$0")/.."
cli=$(realpath "${1:-build}/src/pixmill-cli")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/in" "$work/out"

# Sprites: a two-colour gradient, a disc and a bar, colours from a seeded
# generator, written as plain 24-bit PNG files.
python3 - "$work/in" <<'PY'
import random, struct, sys, zlib
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
rng = random.Random(1)
for n in range(1000):
    c = [[rng.randrange(256) for _ in range(3)] for _ in range(4)]
    cx, cy, r = rng.randrange(8, 24), rng.randrange(8, 24), rng.randrange(4, 12)
    rows = b""
    for y in range(32):
        row = bytearray(b"\0")
        for x in range(32):
            t = (x + y) / 62
            p = [int(a + (b - a) * t) for a, b in zip(c[0], c[1])]
            if (x - cx) ** 2 + (y - cy) ** 2 <= r * r: p = c[2]
            if 12 <= y < 16 and x > 4: p = c[3]
            row += bytes(p)
        rows += bytes(row)
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 32, 32, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b"")
    open(f"{sys.argv[1]}/sprite{n:04d}.png", "wb").write(png)
PY

cd "$work"
steps=(--depth 4 --form texture --lzss --export 'out/{name}.d')
# Wall seconds of a command, each run in a folder of its own with an empty
# out/. The folders go only at the end: files deleted just before a run
# slow down ext4's choice of inodes for the new ones, which would be timed.
seconds() {
  local t0 t1 run
  run=$(mktemp -d "$PWD/run.XXXXXX")
  ln -s "$PWD/in" "$run/in" && mkdir "$run/out" && sync
  # The shell's own clock: no clock program is timed with the command.
  t0=$EPOCHREALTIME; (cd "$run" && "$@" >/dev/null 2>&1); t1=$EPOCHREALTIME
  echo "$t1 - $t0" | bc
}
# The median of five runs: a single run of half a second moves with
# whatever else the machine does.
median5() {
  local runs=()
  for _ in 1 2 3 4 5; do runs+=("$(seconds "$@")"); done
  printf '%s\n' "${runs[@]}" | sort -g | sed -n 3p
}
ratio() { printf '%.2f' "$(echo "$1 / $2" | bc -l)"; }
report() {
  local j1 j2 shared
  j1=$(median5 "$cli" in/*.png "${steps[@]}" -j 1)
  j2=$(median5 "$cli" in/*.png "${steps[@]}" -j 2)
  shared=$(median5 "$cli" in/*.png --shared-palette "${steps[@]}" -j 1)
  printf '%s\n  batch -j1          %6.2f s\n' "$1" "$j1"
  printf '  batch -j2          %6.2f s   (%s x -j1; goal at most 0.6)\n' "$j2" "$(ratio "$j2" "$j1")"
  printf '  shared palette -j1 %6.2f s   (sampling and fitting add %.2f s; goal under 1)\n' "$shared" "$(echo "$shared - $j1" | bc -l)"
  [ -z "${2:-}" ] && return
  loop=$(seconds bash -c 'for f in in/*.png; do "$0" "$f" --depth 4 --form texture --lzss --export "out/$(basename "$f" .png).d"; done' "$cli")
  printf '  shell loop         %6.2f s   (%s x -j1; goal at least 20)\n' "$loop" "$(ratio "$loop" "$j1")"
}
# Against pngquant's own batch mode on 200 of the sprites: 16 colours, no
# dithering, PNG out, each side into an empty folder of new files, in
# alternating pairs; the median of seven pair ratios (goal at most 0.35).
if ! command -v pngquant >/dev/null; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends pngquant >/dev/null
fi
peer() {
  local ours theirs ratios=() i
  # Folders of each pair kept to the end (see seconds above).
  for i in 1 2 3 4 5 6 7; do
    mkdir "q$i" "ours$i" && cp in/sprite0[01]*.png "q$i/" && sync
    ours=$(date +%s.%N)
    "$cli" "q$i"/*.png --no-dither --depth 4 --save-png "ours$i/{name}.png" >/dev/null 2>&1
    ours=$(echo "$(date +%s.%N) - $ours" | bc)
    theirs=$(date +%s.%N)
    pngquant --nofs --force --ext -q.png 16 "q$i"/*.png >/dev/null 2>&1
    theirs=$(echo "$(date +%s.%N) - $theirs" | bc)
    ratios+=("$(echo "$ours / $theirs" | bc -l) $ours $theirs")
  done
  printf '%s\n' "${ratios[@]}" | sort -g | sed -n 4p |
    awk '{ printf "200 sprites, 16 colours, PNG: pixmill %.3f s, pngquant %.3f s, median ratio %.2f (goal at most 0.35)\n", $2, $3, $1 }'
}
peer

# Into an empty out/ every output is a new file, which is not synced; a file
# that replaces another is (fsync, then rename), and on a disk those flushes
# queue one after another whatever -j is. In memory (/dev/shm) the same runs
# show the processing alone.
report "outputs on $(df --output=fstype . | tail -1) ($work)" loop
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
  shm=$(mktemp -d /dev/shm/pixmill-bench.XXXXXX)
  trap 'rm -rf "$work" "$shm"' EXIT
  cp -r in "$shm/" && cd "$shm" && report "outputs on tmpfs ($shm)"
fi
