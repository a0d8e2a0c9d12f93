// Depth change and resize on a 4096 x 4096 photo-like picture.
// Run: build/bench/pixmill_bench --benchmark_filter='Depth|Resize'
#include <benchmark/benchmark.h>

#include "app/document.h"
#include "color/depth.h"
#include "image/resize.h"
#include "support/test_support.h"

namespace pixmill {
namespace {

const ImageBuffer& Photo(int side) {
  static ImageBuffer big, small;
  ImageBuffer& img = side == 4096 ? big : small;
  if (!img.IsValid()) {
    (void)img.Create(side, side, 24);
    testing::FillPhotoLike(img, 11);
  }
  return img;
}

void BM_DepthChange(benchmark::State& state) {
  const int bits = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    ImageBuffer img;
    testing::Copy(Photo(4096), img);
    ApplyColourSettings(img, {1, 0, 8});
    state.ResumeTiming();
    benchmark::DoNotOptimize(ChangeColorDepth(img, bits));
  }
  state.SetLabel(std::to_string(bits) + " bits, optimised palette, diffusion");
}
BENCHMARK(BM_DepthChange)->Arg(8)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Resize(benchmark::State& state) {
  const int from = static_cast<int>(state.range(0));
  const int to = static_cast<int>(state.range(1));
  for (auto _ : state) {
    state.PauseTiming();
    ImageBuffer img;
    testing::Copy(Photo(from), img);
    state.ResumeTiming();
    benchmark::DoNotOptimize(Resize(img, to, to));
  }
}
BENCHMARK(BM_Resize)->Args({4096, 1024})->Args({1024, 4096})->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
}  // namespace pixmill
