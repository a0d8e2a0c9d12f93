// How far a changed picture, as the console shows it, is from the picture
// it was made from.
#pragma once

#include <cstdint>

#include "image/image_buffer.h"

namespace pixmill {

struct ChangeReport {
  // Peak signal-to-noise ratio in dB over the red, green and blue of every
  // pixel counted; +infinity when they are all equal (or none is counted).
  double psnr;
  // Mean Oklab distance x 100 over the same pixels; 0 when none is counted.
  double meanDeltaE;
};

// `before` is taken as it is, 8 bits a channel; `after` as the console shows
// it: each channel's 5-bit value c = v >> 3 as c * 255 / 31. Both pictures
// have the same size and any depth. `transparent` is null or one byte per
// pixel, rows from the top; pixels with a nonzero byte are not counted.
ChangeReport MeasureChange(const ImageBuffer& before, const ImageBuffer& after, const uint8_t* transparent);

}  // namespace pixmill
