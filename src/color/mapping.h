// Giving every pixel of a picture an index into a palette: the nearest
// palette colour, searched among the entries of the pixel's luminance band,
// with or without Floyd-Steinberg error diffusion. Above 1 bit index 0 is
// kept for the transparent colour and never given.
#pragma once

#include <cstdint>

#include "image/image_buffer.h"

namespace pixmill {

// `target` has the source's size, depth `bits` (1, 4 or 8), its final
// palette of `count` entries and zero pixels; these write an index for
// every pixel of it from the colours of `source`.
void MapToPalette(const ImageBuffer& source, ImageBuffer& target, int count, int bits);
void MapToPaletteDiffused(const ImageBuffer& source, ImageBuffer& target, int count, int bits);

}  // namespace pixmill
