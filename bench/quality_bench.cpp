// The quality palette beside the optimised palette and pngquant, and its time.
//
//   pixmill_quality_bench table LIST   one row per photo, colour count and
//       diffusion: the PSNR (dB) of each result as the console shows it
//       against the 24-bit photo, and whether the quality palette's is at
//       least pngquant's and the optimised palette's; then, per colour count
//       and diffusion, the rows met and the means (PSNR, and the mean Oklab
//       delta E x 100); last, the mean PSNR of every palette kind (optimised,
//       standard, quality) with every dithering (none, diffusion, ordered)
//       through the depth change the program runs, beside pngquant's.
//       Each line of LIST is: name, size, the photo, then
//       pngquant's results for 16 colours without and with diffusion and for
//       256 colours without and with diffusion (PNG files of 24 bits),
//       separated by tabs.
//   pixmill_quality_bench time SMALL [LARGE]   the median time of
//       BuildQualityPalette + MapToPaletteExact at 16 and 256 colours, with
//       and without diffusion, on the photo SMALL cut to 320 x 240, the photo
//       LARGE (if given) at 4096 x 4096, and on photo-like pictures
//       (gradients with noise, so many colours) of both sizes, beside the
//       limits of 50 ms and 3 s.
// scripts/bench-quality.sh makes the files and runs both.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/document.h"
#include "app/report.h"
#include "color/depth.h"
#include "color/quality_palette.h"
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
  ApplyColourSettings(target, {diffused ? 1 : 0, 0, 8});
  (void)ChangeColorDepth(target, bits);
}

const char* YesNo(bool b) { return b ? "yes" : "no"; }

int Table(const std::string& list) {
  std::ifstream in(list);
  std::string line;
  std::printf("%-14s %-9s %7s %6s %10s %10s %10s   %-6s %-6s\n", "photo", "size", "colours", "dither", "optimised",
              "quality", "pngquant", ">=pngq", ">=opt");
  struct Group {
    int rows = 0, met = 0, metPngquant = 0, metOptimised = 0;
    double psnr[3] = {}, deltaE[3] = {};
  };
  std::map<int, Group> groups;  // by job: 16 / 256 colours, without / with diffusion
  double kinds[2][3][3] = {};   // PSNR sums by colour count, dithering and palette kind
  const int kKinds[3] = {kPaletteOptimized, kPaletteStandard, kPaletteQuality};
  int photos = 0;
  while (std::getline(in, line)) {
    std::vector<std::string> f;
    std::stringstream fields(line);
    for (std::string s; std::getline(fields, s, '\t');) f.push_back(s);
    if (f.size() != 7) continue;
    ImageBuffer photo;
    if (!Load(photo, f[2])) return 1;
    for (int job = 0; job < 4; ++job) {
      const int bits = job < 2 ? 4 : 8;
      const bool diffused = job % 2 == 1;
      ImageBuffer optimised, quality, pngquant;
      Optimised(photo, optimised, bits, diffused);
      Quality(photo, quality, bits, diffused);
      if (!Load(pngquant, f[3 + static_cast<size_t>(job)])) return 1;
      const ChangeReport r[3] = {MeasureChange(photo, optimised, nullptr), MeasureChange(photo, quality, nullptr),
                                 MeasureChange(photo, pngquant, nullptr)};
      const bool overPngquant = r[1].psnr >= r[2].psnr, overOptimised = r[1].psnr >= r[0].psnr;
      Group& g = groups[job];
      ++g.rows;
      g.met += overPngquant && overOptimised;
      g.metPngquant += overPngquant;
      g.metOptimised += overOptimised;
      for (int k = 0; k < 3; ++k) {
        g.psnr[k] += r[k].psnr;
        g.deltaE[k] += r[k].meanDeltaE;
      }
      std::printf("%-14s %-9s %7d %6s %10.2f %10.2f %10.2f   %-6s %-6s\n", f[0].c_str(), f[1].c_str(), 1 << bits,
                  YesNo(diffused), r[0].psnr, r[1].psnr, r[2].psnr, YesNo(overPngquant), YesNo(overOptimised));
      std::fflush(stdout);
    }
    ++photos;
    for (int b = 0; b < 2; ++b) {
      for (int d = 0; d < 3; ++d) {
        for (int k = 0; k < 3; ++k) {
          ImageBuffer changed;
          testing::Copy(photo, changed);
          ApplyColourSettings(changed, {d, kKinds[k], 8, {}, {}});
          (void)ChangeColorDepth(changed, b == 0 ? 4 : 8);
          kinds[b][d][k] += MeasureChange(photo, changed, nullptr).psnr;
        }
      }
    }
  }
  std::printf("\n%7s %9s %10s %10s %10s %10s   (mean PSNR over %d pictures)\n", "colours", "dither", "optimised",
              "standard", "quality", "pngquant", photos);
  for (int b = 0; b < 2; ++b) {
    for (int d = 0; d < 3; ++d) {
      const double n = photos;
      std::printf("%7d %9s %10.2f %10.2f %10.2f", b == 0 ? 16 : 256,
                  d == 0   ? "none"
                  : d == 1 ? "diffusion"
                           : "ordered",
                  kinds[b][d][0] / n, kinds[b][d][1] / n, kinds[b][d][2] / n);
      if (d < 2 && groups.count(2 * b + d)) std::printf(" %10.2f", groups[2 * b + d].psnr[2] / groups[2 * b + d].rows);
      std::printf("\n");
    }
  }
  std::printf("\n%7s %6s %9s %8s %8s   %27s   %27s\n", "colours", "dither", "rows met", ">=pngq", ">=opt",
              "mean PSNR opt / qual / pngq", "mean dE opt / qual / pngq");
  for (const auto& [job, g] : groups) {
    const double n = g.rows;
    std::printf("%7d %6s %4d / %-2d %8d %8d   %8.2f %8.2f %8.2f   %8.2f %8.2f %8.2f\n", job < 2 ? 16 : 256,
                YesNo(job % 2 == 1), g.met, g.rows, g.metPngquant, g.metOptimised, g.psnr[0] / n, g.psnr[1] / n,
                g.psnr[2] / n, g.deltaE[0] / n, g.deltaE[1] / n, g.deltaE[2] / n);
  }
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

int Time(const char* smallPhoto, const char* largePhoto) {
  struct Job {
    std::string name;
    ImageBuffer picture;
    int runs;
    double limitMs;
  };
  std::vector<Job> jobs;
  for (const char* path : {smallPhoto, largePhoto}) {
    if (!path) continue;
    const bool small = path == smallPhoto;
    Job& j = jobs.emplace_back();
    j.name = small ? "photo 320 x 240" : "photo 4096 x 4096";
    j.runs = small ? 21 : 3;
    j.limitMs = small ? 50 : 3000;
    if (!Load(j.picture, path)) return 1;
    const int side = small ? 320 : 4096;
    if (j.picture.Width() != side || j.picture.Height() != (small ? 240 : side)) {
      (void)Resize(j.picture, side, small ? 240 : side);
    }
  }
  for (const int side : {320, 4096}) {
    Job& j = jobs.emplace_back();
    j.name = side == 320 ? "photo-like 320 x 240" : "photo-like 4096 x 4096";
    j.runs = side == 320 ? 21 : 3;
    j.limitMs = side == 320 ? 50 : 3000;
    (void)j.picture.Create(side, side == 320 ? 240 : side, 24);
    testing::FillPhotoLike(j.picture, 11);
  }
  std::printf("%-24s %7s %6s %10s %9s %4s\n", "picture", "colours", "dither", "median ms", "limit ms", "met");
  for (const Job& j : jobs) {
    for (const int bits : {4, 8}) {
      for (const bool diffused : {false, true}) {
        const double ms = MedianMs(j.picture, bits, diffused, j.runs);
        std::printf("%-24s %7d %6s %10.1f %9.0f %4s\n", j.name.c_str(), 1 << bits, YesNo(diffused), ms, j.limitMs,
                    YesNo(ms <= j.limitMs));
        std::fflush(stdout);
      }
    }
  }
  std::printf("(median of %d runs at 320 x 240, of %d at 4096 x 4096)\n", jobs.front().runs, jobs.back().runs);
  return 0;
}

}  // namespace
}  // namespace pixmill

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "table" && argc == 3) return pixmill::Table(argv[2]);
  if (mode == "time" && (argc == 3 || argc == 4)) return pixmill::Time(argv[2], argc == 4 ? argv[3] : nullptr);
  std::fprintf(stderr, "usage: %s table LIST | time SMALL [LARGE]\n", argv[0]);
  return 2;
}
