#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for SECONDS (default 60)
# from a seed corpus: small bitmaps of every depth and kind, PNG files,
# exported data of every form, and LZSS streams.
#   scripts/fuzz.sh [SECONDS]
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

run() {
  local target=$1 corpus=$2
  local work="build-fuzz/corpus-$target"
  mkdir -p "$work"
  echo "== $target for $seconds s"
  ASAN_OPTIONS=detect_leaks=1 "build-fuzz/fuzz/$target" -max_total_time="$seconds" -rss_limit_mb=2048 \
    -timeout=10 -max_len=300000 -artifact_prefix=build-fuzz/findings/"$target"- -print_final_stats=1 \
    "$work" "$corpus" 2>&1 | grep -E '^(#[0-9]+.*DONE|stat::number_of_executed_units|stat::peak_rss_mb|==[0-9]+==ERROR|SUMMARY)' || true
}
run fuzz_load "$seeds/load"
run fuzz_lzss_decode "$seeds/lzss"
run fuzz_lzss_roundtrip "$seeds/roundtrip"
echo "findings: $(ls build-fuzz/findings | wc -l) (in build-fuzz/findings)"
[ -z "$(ls build-fuzz/findings)" ]
