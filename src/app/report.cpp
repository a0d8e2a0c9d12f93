#include "app/report.h"

#include <cmath>
#include <limits>
#include <vector>

#include "color/oklab.h"

namespace pixmill {

ChangeReport MeasureChange(const ImageBuffer& before, const ImageBuffer& after, const uint8_t* transparent) {
  const int32_t w = before.Width();
  std::vector<uint32_t> was(static_cast<size_t>(w)), now(static_cast<size_t>(w));
  double squares = 0;
  double distances = 0;
  uint64_t pixels = 0;
  for (int32_t y = 0; y < before.Height(); ++y) {
    before.GetRowPixels(y, was.data());
    after.GetRowPixels(y, now.data());
    const uint8_t* hidden = transparent ? transparent + static_cast<size_t>(y) * static_cast<size_t>(w) : nullptr;
    for (int32_t x = 0; x < w; ++x) {
      if (hidden && hidden[x]) continue;
      const uint32_t p = was[static_cast<size_t>(x)];
      const uint32_t q = now[static_cast<size_t>(x)];
      for (int shift = 16; shift >= 0; shift -= 8) {
        const double d = static_cast<double>((p >> shift) & 0xFF) - ShownLevel(Channel5(q >> shift));
        squares += d * d;
      }
      distances += std::sqrt(OklabDistance2(RgbToOklab(p), ShownOklab(q)));
      ++pixels;
    }
  }
  if (pixels == 0) return {std::numeric_limits<double>::infinity(), 0};
  const double n = static_cast<double>(pixels);
  const double mse = squares / (3 * n);
  const double psnr = mse > 0 ? 10 * std::log10(255.0 * 255.0 / mse) : std::numeric_limits<double>::infinity();
  return {psnr, 100 * distances / n};
}

}  // namespace pixmill
