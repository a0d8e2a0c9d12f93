#include "color/depth.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <string>
#include <vector>

#include "color/diffusion.h"
#include "color/mapping.h"
#include "color/optimized_palette.h"
#include "color/quality_palette.h"
#include "image/standard_palette.h"

namespace pixmill {

Result CheckGivenPalette(int bits, const std::vector<uint32_t>& palette) {
  if (bits > 8) return Result::Done();
  const size_t holds = size_t{1} << bits;
  if (palette.size() > holds) {
    return Result::Refused("a palette of " + std::to_string(palette.size()) + " colours is more than a " +
                           std::to_string(bits) + "-bit picture holds (" + std::to_string(holds) + ")");
  }
  if (palette.size() < static_cast<size_t>(FirstColourIndex(bits) + 1)) {
    return Result::Refused("a palette for " + std::to_string(bits) +
                           " bits needs a colour besides entry 0, which is kept for the transparent colour");
  }
  return Result::Done();
}

namespace {

// One channel of the 5-bit diffusion: the sums in double precision, each
// stored error rounded to single precision. The carried error is the one
// of the two candidates nearer to zero, measured before the clamp; for a
// value of 0 or more it is v - q, in 0 .. 7.
uint8_t Quantize5Bit(int32_t i, ErrorRows<float>& rows, int channel, int value) {
  const double v = static_cast<double>(value) + static_cast<double>(rows.Current(channel)[i]);
  const double q = std::trunc(v / 8) * 8;
  const double e1 = v - q;
  const double e2 = v - q + 8;
  const double e = std::fabs(e2) <= std::fabs(e1) ? e2 : e1;
  rows.Spread(channel, i, e / 16);
  return static_cast<uint8_t>(std::clamp(q, 0.0, 248.0));
}

}  // namespace

void Dither5Bit(ImageBuffer& image) {
  if (image.BitCount() != 24) return;
  const int32_t w = image.Width();
  const int32_t h = image.Height();
  ErrorRows<float> errors(w);
  ProgressSink* progress = image.GetProgressBar();
  if (progress) progress->SetRange(0, h);

  for (int32_t y = 0; y < h; ++y) {
    uint8_t* p = image.Row(y);
    for (int32_t x = 0; x < w; ++x, p += 3) {
      // Red, then green, then blue; the bytes are blue, green, red.
      p[2] = Quantize5Bit(x + 1, errors, 0, p[2]);
      p[1] = Quantize5Bit(x + 1, errors, 1, p[1]);
      p[0] = Quantize5Bit(x + 1, errors, 2, p[0]);
    }
    errors.NextRow();
    if (progress) progress->SetPosition(y);
  }
  if (progress) progress->SetPosition(0);
}

Result ChangeColorDepth(ImageBuffer& image, int bits, const std::vector<uint32_t>& given) {
  if (!image.IsValid()) return Result::Refused("there is no picture");
  if (!IsPictureDepth(bits)) {
    return Result::Refused(std::to_string(bits) + " bits per pixel is not a depth the picture can take");
  }
  if (bits == image.BitCount()) {
    return Result::NothingToDo("the picture already has " + std::to_string(bits) + " bits per pixel");
  }
  const bool givenKind = image.m_paletteKind == kPaletteGiven && bits <= 8;
  if (givenKind) {
    if (Result r = CheckGivenPalette(bits, given); !r.ok()) return r;
  }
  try {
    const int target = bits == 16 ? 24 : bits;
    const uint8_t* marks = image.TransparentMask();
    std::vector<uint8_t> mask(marks, marks + (marks ? static_cast<size_t>(image.Width()) * image.Height() : 0));
    ImageBuffer working;
    working.SetProgressBar(image.GetProgressBar());
    working.m_transparentColor = image.m_transparentColor;
    if (bits <= 8) {
      if (Result r = working.Create(image.Width(), image.Height(), target); !r.ok()) return r;
      const int count = 1 << bits;
      int usable = count;  // the mapping chooses among entries below this
      uint32_t palette[256] = {};
      if (givenKind) {
        std::copy(given.begin(), given.end(), palette);
        usable = static_cast<int>(given.size());
      } else if (image.m_paletteKind == kPaletteStandard) {
        FillStandardPalette(palette, count);
      } else if (image.m_paletteKind == kPaletteQuality) {
        BuildQualityPalette(image, marks, palette, count, target);
      } else if (given.size() == static_cast<size_t>(count)) {
        // Fitted over several pictures; entry 0 is still this one's key.
        std::copy(given.begin(), given.end(), palette);
        if (FirstColourIndex(bits) == 1) palette[0] = SwapRedBlue(image.m_transparentColor);
      } else {
        BuildOptimizedPalette(image, palette, count, target);
      }
      for (int i = 0; i < count; ++i) working.SetPaletteColor(static_cast<uint32_t>(i), palette[i]);
      if (image.m_paletteKind != kPaletteQuality) {
        MapToPalette(image, working, usable, target, image.m_ditherMode);
      } else if (image.m_ditherMode != kDitherOrdered) {
        MapToPaletteExact(image, FirstColourIndex(bits) == 1 ? marks : nullptr, working, count, target,
                          image.m_ditherMode == kDitherDiffusion);
      } else {
        // Ordered: the exact nearest entry of each colour moved by its threshold.
        ImageBuffer moved;
        if (Result r = ExpandTo24Bits(image, moved); !r.ok()) return r;
        const std::vector<int> offsets = OrderedOffsets(PaletteSpacing(working, count, target));
        for (int32_t y = 0; y < moved.Height(); ++y) {
          for (int32_t x = 0; x < moved.Width(); ++x) {
            const uint32_t rgb = ReadRgb24(moved.Row(y) + 3 * x);
            WriteRgb24(moved.Row(y) + 3 * x, MovedColour(rgb, offsets[static_cast<size_t>(BayerAt(x, y))]));
          }
        }
        MapToPaletteExact(moved, FirstColourIndex(bits) == 1 ? marks : nullptr, working, count, target, false);
      }
      // The given palette stays as it is; the others show transparent
      // pixels in the key colour, as their entry 0 does once a colour is
      // made transparent.
      if (givenKind) {
        working.SetTransparentMask(std::move(mask));
      } else {
        MarkTransparent(working, std::move(mask));
      }
    } else {
      if (Result r = ExpandTo24Bits(image, working); !r.ok()) return r;
      if (bits == 16) {
        if (image.m_ditherMode == kDitherDiffusion) {
          Dither5Bit(working);
        } else {
          // Truncated to a multiple of 8; ordered: first moved up by the
          // pixel's threshold, (t + 1/2) / 64 of the step of 8, which keeps
          // the mean of a flat 8 x 8 tile below the top step.
          const bool ordered = image.m_ditherMode == kDitherOrdered;
          for (int32_t y = 0; y < working.Height(); ++y) {
            uint8_t* p = working.Row(y);
            for (int32_t x = 0; x < working.Width() * 3; ++x) {
              const int t = ordered ? BayerAt(x / 3, y) : 0;
              p[x] = ordered ? static_cast<uint8_t>(std::min(248, (p[x] * 64 + t * 8 + 4) >> 9 << 3)) : p[x] & 0xF8;
            }
          }
        }
      }
      MarkTransparent(working, std::move(mask));
    }
    image.TakeBlocksFrom(working);
    return Result::Done();
  } catch (const std::bad_alloc&) {
    return Result::Refused("not enough memory to change the colour depth");
  }
}

}  // namespace pixmill
