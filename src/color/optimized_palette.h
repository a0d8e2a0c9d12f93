// A palette fitted to the picture: a sample grid, each sample cut to 5
// bits per channel, the distinct colours counted and ordered from most to
// least frequent, then the least frequent merged again and again into its
// nearest colour further up, as a count-weighted mean, until the list fits.
#pragma once

#include <cstdint>

#include "image/image_buffer.h"

namespace pixmill {

// Fills palette[0..count-1] (count 2, 16 or 256 for bits 1, 4, 8). Above
// 1 bit entry 0 is the key colour and the fitted colours follow it.
void BuildOptimizedPalette(const ImageBuffer& image, uint32_t palette[], int count, int bits);

}  // namespace pixmill
