// The "quality" palette and its exact mapping.
//
// Both judge colours as the change report's PSNR does: by the levels the
// console shows (a 5-bit channel c as c * 255 / 31) against the picture's
// channels, by the sum of the squared differences. The palette is fitted to
// every pixel of the picture for this mapping (k-means, each entry a colour
// the console can show); the mapping gives every pixel the index of the
// entry nearest to it, exactly, with or without error diffusion. How both
// work is told in docs/quality-palette.md.
// Above 1 bit index 0 is kept for the transparent colour and never given to
// a visible pixel.
#pragma once

#include <cstdint>

#include "image/image_buffer.h"

namespace pixmill {

// Fills palette[0..count-1] (count 2, 16 or 256 for bits 1, 4, 8) with RGB
// values 0x00RRGGBB. `transparent` is null or one byte per pixel, rows from
// the top, nonzero for a pixel to leave out. Above 1 bit entry 0 is the key
// colour and the fitted colours follow it; at 1 bit both entries are
// fitted. Fitted channels are multiples of 8; entries left over are black.
void BuildQualityPalette(const ImageBuffer& image, const uint8_t* transparent, uint32_t palette[], int count, int bits);

// `target` has the source's size, depth `bits` (1, 4 or 8), its final
// palette of `count` entries and zero pixels; this writes an index for every
// pixel of it: the entry nearest to the pixel (or, with `diffused`, to the
// pixel plus the error it takes), each entry compared as the console shows
// it, the lowest index among equals. Usable entries are 1 ..
// count - 1 above 1 bit and 0 .. 1 at 1 bit; transparent pixels get index 0
// and take and pass on no error.
void MapToPaletteExact(const ImageBuffer& source, const uint8_t* transparent, ImageBuffer& target, int count, int bits,
                       bool diffused);

}  // namespace pixmill
