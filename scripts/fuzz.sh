#!/usr/bin/env bash
# Builds the fuzz targets with clang (ASan and UBSan on) and runs each for
# SECONDS (default 60) from a seed corpus of its own: the whole loader on
# bitmaps, PNG files, exported data of every form and LZSS streams; LZSS;
# palette files of every format; the PNG and the bitmap readers; exported
# data of every layout, plain and compressed; the command line's grammar
# and planning; and export -> load -> export.
#   [JOBS=N] scripts/fuzz.sh [SECONDS [TARGET...]]
# TARGET is a name after fuzz_ (palette, cli, ...); JOBS run at a time.
# Findings (crash-*, leak-*, timeout-*) are left in build-fuzz/findings/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
./scripts/install-deps.sh

cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DPIXMILL_BUILD_FUZZ=ON \
  -DPIXMILL_BUILD_GUI=OFF -DPIXMILL_BUILD_TESTS=OFF -DPIXMILL_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz -j "$(nproc)"

# Seeds, made by the command line of a normal build.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target pixmill-cli -j "$(nproc)"
cli=build/src/pixmill-cli
seeds=build-fuzz/seeds
rm -rf "$seeds"
mkdir -p "$seeds/load" "$seeds/lzss" "$seeds/roundtrip" build-fuzz/findings
cp tests/data/bmpsuite/g/*.bmp tests/data/bmpsuite/q/*.bmp tests/data/png/*.png "$seeds/load/"
small="$seeds/small.bmp"
$cli tests/data/bmpsuite/g/rgb24.bmp --resize 16x8 --save-bmp "$small"
n=0
for depth in 1 4 8 16 24; do
  for form in bitmap texture character; do
    for palette in --palette --no-palette; do
      for lzss in --no-lzss --lzss; do
        n=$((n + 1))
        $cli "$small" --depth $depth --form $form $palette $lzss --export "$seeds/load/export$n.d" \
          >/dev/null 2>&1 || true
        $cli "$small" --depth $depth --save-bmp "$seeds/load/depth$depth.bmp" >/dev/null 2>&1 || true
      done
    done
  done
done
for f in "$seeds"/load/*; do
  base=$(basename "$f")
  $cli lzss encode "$f" "$seeds/lzss/$base.lzs"
  cp "$f" "$seeds/roundtrip/"
done
cp "$seeds"/lzss/*.lzs "$seeds/load/"
rm -f "$small"

# Palette files: a first byte choosing the name they are read under (the
# name of their own extension, then none), then the file.
mkdir -p "$seeds/palette" "$seeds/png" "$seeds/bmp" "$seeds/exported" "$seeds/cli" "$seeds/export_roundtrip"
for f in tests/data/palettes/* tests/data/golden/in/*.hex tests/data/golden/in/*.gpl; do
  case "$f" in
    *.py) continue ;;
    *.gpl) choice=0 ;; *.pal) choice=1 ;; *.act) choice=2 ;; *.hex) choice=3 ;; *.txt) choice=4 ;; *) choice=5 ;;
  esac
  { printf "\\$(printf %o $choice)"; cat "$f"; } >"$seeds/palette/$(basename "$f")"
done
cp tests/data/png/*.png "$seeds/png/"
cp tests/data/bmpsuite/g/*.bmp tests/data/bmpsuite/q/*.bmp "$seeds/bmp/"
for f in tests/data/golden/in/*.png tests/data/golden/in/*.bmp; do
  cp "$f" "$seeds/${f##*.}/golden-$(basename "$f")"
done
# Exported data: a reading, flags (1 LZSS), width and height, then bytes;
# the command line: the golden cases' arguments, one a line; export round
# trips: pictures of every depth and form.
python3 - "$seeds" <<'PY'
import os, random, sys
seeds = sys.argv[1]
rng = random.Random(32)
for reading in range(7):
    for flags in (0, 1, 2 | 0x30):
        body = bytes(rng.randrange(256) for _ in range(64))
        open(os.path.join(seeds, 'exported', f'r{reading}-{flags}'), 'wb').write(
            bytes([reading, flags, 0, 16, 0, 8]) + body)
for n, line in enumerate(open('tests/data/golden/cases.tsv', encoding='utf-8')):
    if line.startswith('#') or '\t' not in line:
        continue
    args = line.rstrip('\n').split('\t')[2].replace('{in}', 'in').replace('{golden}', 'g').replace('{data}', 'd')
    args = args.replace('{out}', 'out')
    open(os.path.join(seeds, 'cli', f'case{n}'), 'w').write('\n'.join(args.split(' ')))
for depth in range(5):
    for form in range(3):
        for choice in (0, 1, 2, 4, 7, 8, 24, 56):
            body = bytes(rng.randrange(256) for _ in range(200))
            open(os.path.join(seeds, 'export_roundtrip', f'd{depth}-f{form}-c{choice}'), 'wb').write(
                bytes([depth, 15, 15, form, choice]) + body)
PY

run() {
  local target=$1 corpus=$2
  local work="build-fuzz/corpus-$target"
  mkdir -p "$work"
  echo "== $target for $seconds s"
  ASAN_OPTIONS=detect_leaks=1 "build-fuzz/fuzz/$target" -max_total_time="$seconds" -rss_limit_mb=2048 \
    -timeout=10 -max_len=300000 -artifact_prefix=build-fuzz/findings/"$target"- -print_final_stats=1 \
    "$work" "$corpus" 2>&1 | grep -E '^(#[0-9]+.*DONE|stat::number_of_executed_units|stat::peak_rss_mb|==[0-9]+==ERROR|SUMMARY)' || true
}
# All of them, or those named after SECONDS; JOBS at a time (default 1).
targets=("${@:2}")
[ ${#targets[@]} -gt 0 ] || targets=(load lzss_decode lzss_roundtrip palette png bmp exported cli export_roundtrip)
corpus_of() {
  case $1 in
    lzss_decode) echo "$seeds/lzss" ;; lzss_roundtrip) echo "$seeds/roundtrip" ;; *) echo "$seeds/$1" ;;
  esac
}
jobs=${JOBS:-1}
for t in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n; done
  run "fuzz_$t" "$(corpus_of "$t")" >"build-fuzz/log-$t.txt" &
done
wait
for t in "${targets[@]}"; do cat "build-fuzz/log-$t.txt"; done
echo "findings: $(ls build-fuzz/findings | wc -l) (in build-fuzz/findings)"
[ -z "$(ls build-fuzz/findings)" ]
