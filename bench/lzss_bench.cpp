// LZSS and DATA-line throughput. Run: build/bench/pixmill_bench --benchmark_filter=Lzss
// BM_LzssSpeedup's "speedup" counter is the fast encoder against the plain
// scan on the diffused gradient.
// The plain scan's time moves with its code layout (from about 100 to over
// 200 ms on the same machine, with nothing but compiler options changed) and
// with the CPU it lands on; the fast encoder's hardly does. For figures that can be
// compared, pin the run: taskset -c 0 build/bench/pixmill_bench ...
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <random>

#include "app/document.h"
#include "color/depth.h"
#include "export/export_writer.h"
#include "export/lzss.h"
#include "oracle/lzss_plain.h"
#include "support/test_support.h"

namespace pixmill {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes RandomInput() {
  Bytes b(256 * 1024);
  std::mt19937 rng(1);
  for (auto& v : b) v = static_cast<uint8_t>(rng());
  return b;
}

Bytes PixelsOf(const ImageBuffer& img) {
  Bytes b;
  for (int y = 0; y < img.Height(); ++y) b.insert(b.end(), img.Row(y), img.Row(y) + img.Width());
  return b;
}

// An 8-bit 640 x 480 picture made by error diffusion of a photo-like
// gradient: smooth colour ramps, as a sky or a studio backdrop.
Bytes DiffusedGradient() {
  ImageBuffer img;
  (void)img.Create(640, 480, 24);
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 640; ++x) {
      const double fx = x / 640.0, fy = y / 480.0;
      const auto r = static_cast<uint32_t>(40 + 180 * fx * (1 - 0.4 * fy));
      const auto g = static_cast<uint32_t>(60 + 150 * fy + 30 * fx * fy);
      const auto b = static_cast<uint32_t>(200 - 120 * fy + 40 * fx);
      WriteRgb24(img.Row(y) + 3 * x, r << 16 | g << 8 | b);
    }
  }
  ApplyColourSettings(img, {1, 0, 8});
  (void)ChangeColorDepth(img, 8);
  return PixelsOf(img);
}

// The same diffused, of a photo-like picture with fine detail and noise:
// far less repetitive, the hardest of these inputs for the match search.
Bytes DiffusedNoisyPhoto() {
  ImageBuffer img;
  (void)img.Create(640, 480, 24);
  testing::FillPhotoLike(img, 3);
  ApplyColourSettings(img, {1, 0, 8});
  (void)ChangeColorDepth(img, 8);
  return PixelsOf(img);
}

// 8-bit pixel art: large flat areas with a few outlined shapes.
Bytes PixelArt() {
  ImageBuffer img;
  (void)img.Create(640, 480, 8);
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 640; ++x) {
      int v = 1 + (y / 120);
      const int cx = x % 160 - 80, cy = y % 120 - 60;
      if (cx * cx + cy * cy < 1600) v = 9;
      if (cx * cx + cy * cy >= 1600 && cx * cx + cy * cy < 1760) v = 12;
      img.SetIndex(x, y, static_cast<uint32_t>(v));
    }
  }
  return PixelsOf(img);
}

const Bytes& Input(int which) {
  static const Bytes inputs[4] = {RandomInput(), DiffusedGradient(), PixelArt(), DiffusedNoisyPhoto()};
  return inputs[which];
}

const char* kNames[] = {"random_256KiB", "diffused_gradient_640x480", "pixel_art_640x480",
                        "diffused_noisy_photo_640x480"};

void BM_LzssEncodeFast(benchmark::State& state) {
  const Bytes& in = Input(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    LzssCodec codec;
    benchmark::DoNotOptimize(codec.Encode(in.data(), static_cast<int64_t>(in.size())));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(in.size()));
  state.SetLabel(kNames[state.range(0)]);
}
BENCHMARK(BM_LzssEncodeFast)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

void BM_LzssEncodePlainScan(benchmark::State& state) {
  const Bytes& in = Input(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    benchmark::DoNotOptimize(oracle::PlainLzssEncode(in.data(), static_cast<int32_t>(in.size())));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(in.size()));
  state.SetLabel(kNames[state.range(0)]);
}
BENCHMARK(BM_LzssEncodePlainScan)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->Iterations(1);

// The fast encoder's speed-up over the plain scan, both timed in turns in
// every iteration: this machine's speed drifts over seconds, and timing the
// two minutes apart measured the drift as much as the encoders. The fast
// encoder's time is the median of 21 runs beside each plain scan.
void BM_LzssSpeedup(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  const Bytes& in = Input(static_cast<int>(state.range(0)));
  const auto size = static_cast<int64_t>(in.size());
  std::vector<double> speedups;
  for (auto _ : state) {
    const auto start = Clock::now();
    benchmark::DoNotOptimize(oracle::PlainLzssEncode(in.data(), static_cast<int32_t>(size)));
    const double plain = std::chrono::duration<double>(Clock::now() - start).count();
    std::vector<double> fast;
    for (int k = 0; k < 21; ++k) {
      const auto begin = Clock::now();
      LzssCodec codec;
      benchmark::DoNotOptimize(codec.Encode(in.data(), size));
      fast.push_back(std::chrono::duration<double>(Clock::now() - begin).count());
    }
    std::nth_element(fast.begin(), fast.begin() + 10, fast.end());
    speedups.push_back(plain / fast[10]);
  }
  std::sort(speedups.begin(), speedups.end());
  state.counters["speedup"] = speedups[speedups.size() / 2];
  state.SetLabel(kNames[state.range(0)]);
}
BENCHMARK(BM_LzssSpeedup)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_LzssDecode(benchmark::State& state) {
  const Bytes& in = Input(static_cast<int>(state.range(0)));
  LzssCodec encoder;
  (void)encoder.Encode(in.data(), static_cast<int64_t>(in.size()));
  const Bytes stream = encoder.Bytes();
  for (auto _ : state) {
    LzssCodec codec;
    benchmark::DoNotOptimize(codec.Decode(stream.data(), static_cast<int64_t>(stream.size())));
  }
  // Measured in expanded bytes.
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(in.size()));
  state.SetLabel(kNames[state.range(0)]);
}
BENCHMARK(BM_LzssDecode)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);

void BM_FormatDataLines(benchmark::State& state) {
  const Bytes& in = Input(0);
  for (auto _ : state) benchmark::DoNotOptimize(FormatDataLines(in.data(), in.size(), 32));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(in.size()));
}
BENCHMARK(BM_FormatDataLines)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace pixmill
