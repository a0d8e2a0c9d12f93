// Resizing the picture. Paletted pictures by nearest neighbour, keeping
// their palette; 24-bit pictures in two passes, rows first, each pass
// averaging areas when it shrinks and interpolating linearly when it grows.
#pragma once

#include <cstdint>

#include "image/image_buffer.h"
#include "platform/result.h"

namespace pixmill {

inline constexpr int kMaxResizeSide = 4096;

// Refused for a side outside 1..4096; nothing to do for the present size.
// A 16-bit picture is first expanded to 24 bits.
Result Resize(ImageBuffer& image, int32_t width, int32_t height);

// Adds weight x each channel of the colour to the three sums.
inline void AccumulateWeighted(uint32_t colour, double sums[3], double weight) {
  sums[0] += weight * static_cast<double>((colour >> 16) & 0xFF);
  sums[1] += weight * static_cast<double>((colour >> 8) & 0xFF);
  sums[2] += weight * static_cast<double>(colour & 0xFF);
}

// Each channel trunc((1 - t) a + t b).
inline uint32_t LerpColor(uint32_t a, uint32_t b, double t) {
  uint32_t out = 0;
  for (int shift = 16; shift >= 0; shift -= 8) {
    const double ca = static_cast<double>((a >> shift) & 0xFF);
    const double cb = static_cast<double>((b >> shift) & 0xFF);
    out |= static_cast<uint32_t>(static_cast<int>((1 - t) * ca + t * cb)) << shift;
  }
  return out;
}

// The four passes of the 24-bit path; `target` is already created at the
// pass's output size.
void ShrinkHorizontal(const ImageBuffer& source, ImageBuffer& target, int32_t newWidth);
void EnlargeHorizontal(const ImageBuffer& source, ImageBuffer& target, int32_t newWidth);
void ShrinkVertical(const ImageBuffer& source, ImageBuffer& target, int32_t newHeight, int32_t progressBase);
void EnlargeVertical(const ImageBuffer& source, ImageBuffer& target, int32_t newHeight, int32_t progressBase);

}  // namespace pixmill
