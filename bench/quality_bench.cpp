// The quality palette beside the optimised palette and pngquant, and its time.
//
//   pixmill_quality_bench table LIST   one row per photo, colour count and
//       diffusion: the PSNR (dB) of each result as the console shows it
//       against the 24-bit photo, then the mean Oklab delta E (x 100). Each
//       line of LIST is: name, the photo, then pngquant's results for 16
//       colours without and with diffusion and for 256 colours without and
//       with diffusion (PNG files of 24 bits), separated by tabs.
//   pixmill_quality_bench time [PHOTO]  the median time of BuildQualityPalette
//       + MapToPaletteExact at 256 colours on PHOTO cut to 320 x 240, and on
//       photo-like pictures (gradients with noise, so many colours) of
//       320 x 240 and 4096 x 4096.
// scripts/bench-quality.sh makes the files and runs both.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "color/depth.h"
#include "color/quality_palette.h"
#include "color/report.h"
#include "export/loader.h"
#include "image/resize.h"
#include "support/test_support.h"

namespace pixmill {
namespace {

bool Load(ImageBuffer& image, const std::string& path) {
  const Result r = LoadFile(image, path);
  if (!r.ok()) std::fprintf(stderr, "cannot load %s\n", path.c_str());
  return r.ok();
}

// The quality palette and exact mapping of `source` into `target`.
void Quality(const ImageBuffer& source, ImageBuffer& target, int bits, bool diffused) {
  const int count = 1 << bits;
  (void)target.Create(source.Width(), source.Height(), bits);
  uint32_t palette[256] = {};
  BuildQualityPalette(source, nullptr, palette, count, bits);
  for (int i = 0; i < count; ++i) target.SetPaletteColor(static_cast<uint32_t>(i), palette[i]);
  MapToPaletteExact(source, nullptr, target, count, bits, diffused);
}

void Optimised(const ImageBuffer& source, ImageBuffer& target, int bits, bool diffused) {
  testing::Copy(source, target);
  ApplyColorSettings(target, {diffused ? 1 : 0, 0, 8});
  (void)ChangeColorDepth(target, bits);
}

int Table(const std::string& list) {
  std::ifstream in(list);
  std::string line;
  std::printf("%-22s %6s %6s %10s %10s %10s   %8s %8s %8s\n", "photo", "colours", "dither", "optimised", "quality",
              "pngquant", "dE opt", "dE qual", "dE pngq");
  int below = 0, rows = 0;
  double sum[3] = {};
  while (std::getline(in, line)) {
    std::vector<std::string> f;
    std::stringstream fields(line);
    for (std::string s; std::getline(fields, s, '\t');) f.push_back(s);
    if (f.size() != 6) continue;
    ImageBuffer photo;
    if (!Load(photo, f[1])) return 1;
    for (int job = 0; job < 4; ++job) {
      const int bits = job < 2 ? 4 : 8;
      const bool diffused = job % 2 == 1;
      ImageBuffer optimised, quality, pngquant;
      Optimised(photo, optimised, bits, diffused);
      Quality(photo, quality, bits, diffused);
      if (!Load(pngquant, f[2 + static_cast<size_t>(job)])) return 1;
      const ChangeReport o = MeasureChange(photo, optimised, nullptr);
      const ChangeReport q = MeasureChange(photo, quality, nullptr);
      const ChangeReport p = MeasureChange(photo, pngquant, nullptr);
      const bool short_ = q.psnr < p.psnr || q.psnr < o.psnr;
      below += short_;
      ++rows;
      sum[0] += o.psnr;
      sum[1] += q.psnr;
      sum[2] += p.psnr;
      std::printf("%-22s %6d %6s %10.2f %10.2f %10.2f   %8.2f %8.2f %8.2f%s\n", f[0].c_str(), 1 << bits,
                  diffused ? "yes" : "no", o.psnr, q.psnr, p.psnr, o.meanDeltaE, q.meanDeltaE, p.meanDeltaE,
                  short_ ? "  <" : "");
      std::fflush(stdout);
    }
  }
  if (rows > 0) {
    std::printf("%-22s %6s %6s %10.2f %10.2f %10.2f\n", "mean", "", "", sum[0] / rows, sum[1] / rows, sum[2] / rows);
  }
  std::printf("rows where quality is below pngquant or optimised: %d of %d\n", below, rows);
  return 0;
}

double MedianMs(const ImageBuffer& source, int bits, bool diffused, int runs) {
  std::vector<double> ms;
  for (int r = 0; r < runs; ++r) {
    ImageBuffer target;
    const auto t0 = std::chrono::steady_clock::now();
    Quality(source, target, bits, diffused);
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
  }
  std::sort(ms.begin(), ms.end());
  return ms[ms.size() / 2];
}

int Time(const char* photoPath) {
  struct Job {
    std::string name;
    ImageBuffer picture;
    int runs;
  };
  std::vector<Job> jobs(photoPath ? 3 : 2);
  size_t next = 0;
  if (photoPath) {
    Job& j = jobs[next++];
    j.name = "320 x 240 photo";
    j.runs = 21;
    if (!Load(j.picture, photoPath)) return 1;
    if (j.picture.Width() != 320 || j.picture.Height() != 240) (void)Resize(j.picture, 320, 240);
  }
  for (const int side : {320, 4096}) {
    Job& j = jobs[next++];
    j.name = side == 320 ? "320 x 240 photo-like" : "4096 x 4096 photo-like";
    j.runs = side == 320 ? 21 : 3;
    (void)j.picture.Create(side, side == 320 ? 240 : side, 24);
    testing::FillPhotoLike(j.picture, 11);
  }
  for (const Job& j : jobs) {
    for (const bool diffused : {false, true}) {
      std::printf("%-24s 256 colours, %-10s %8.1f ms (median of %d)\n", j.name.c_str(),
                  diffused ? "diffused" : "undiffused", MedianMs(j.picture, 8, diffused, j.runs), j.runs);
    }
  }
  return 0;
}

}  // namespace
}  // namespace pixmill

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "table" && argc == 3) return pixmill::Table(argv[2]);
  if (mode == "time") return pixmill::Time(argc > 2 ? argv[2] : nullptr);
  std::fprintf(stderr, "usage: %s table LIST | time [PHOTO]\n", argv[0]);
  return 2;
}
