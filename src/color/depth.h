// Changing the colour depth of the picture to 1, 4, 8, 16 or 24 bits.
#pragma once

#include <cstdint>

#include "image/image_buffer.h"
#include "platform/result.h"

namespace pixmill {

// The colour dialog's choices as the picture keeps them.
struct ColorSettings {
  int dither = 1;       // 0 none, 1 error diffusion
  int paletteKind = 0;  // 0 optimised, 1 standard
  int precision = 8;    // 1..16
};

// Stores the choices on the picture, with the fixed 64 x 64 sampling grid
// of the optimised palette.
void ApplyColorSettings(ImageBuffer& image, const ColorSettings& settings);

// 1, 4, 8: a standard or optimised palette and every pixel mapped to it;
// 16: 24-bit storage with every channel a multiple of 8 (truncated or
// diffused); 24: the colours as they are. Nothing to do (1) when `bits` is
// the present depth; refused for another value of `bits`.
Result ChangeColorDepth(ImageBuffer& image, int bits);

// Error-diffuses a 24-bit picture in place so that every channel becomes a
// multiple of 8 (0..248); single-precision error rows. Nothing at other depths.
void Dither5Bit(ImageBuffer& image);

}  // namespace pixmill
