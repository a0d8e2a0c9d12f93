// LZSS and DATA-line throughput. Run: build/bench/pixmill_bench --benchmark_filter=Lzss
#include <benchmark/benchmark.h>

#include <random>

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
      img.SetPixel(x, y, r << 16 | g << 8 | b);
    }
  }
  ApplyColorSettings(img, {1, 0, 8});
  (void)ChangeColorDepth(img, 8);
  return PixelsOf(img);
}

// The same diffused, of a photo-like picture with fine detail and noise:
// far less repetitive, the hardest of these inputs for the match search.
Bytes DiffusedNoisyPhoto() {
  ImageBuffer img;
  (void)img.Create(640, 480, 24);
  testing::FillPhotoLike(img, 3);
  ApplyColorSettings(img, {1, 0, 8});
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
